#include "Drv/Qvdrv/deviceio.h"

#include <setupapi.h>

#include <cstdlib>
#include <cstring>

namespace {

// ---- the platform's device installer ----

LONG Error() {
  DWORD e = GetLastError();
  return e ? static_cast<LONG>(e) : ERROR_GEN_FAILURE;
}

LONG WINAPI PlatformEnumInterface(const GUID* cls, LPCWSTR enumerator, DWORD index, LPWSTR path, DWORD chars,
                                  DWORD* needed, DWORD* token, DWORD* flags) {
  HDEVINFO set = SetupDiGetClassDevsW(cls, enumerator, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return Error();
  SP_DEVICE_INTERFACE_DATA itf{};
  itf.cbSize = sizeof itf;
  LONG e = ERROR_SUCCESS;
  if (!SetupDiEnumDeviceInterfaces(set, nullptr, cls, index, &itf)) {
    e = Error();
  } else {
    if (token) *token = static_cast<DWORD>(itf.Reserved);
    if (flags) *flags = itf.Flags & SPINT_ACTIVE ? DeviceInterfaceActive : 0;
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &itf, nullptr, 0, &size, nullptr);
    auto* detail = size >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
                       ? static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(calloc(1, size))
                       : nullptr;
    if (!detail) {
      e = size ? ERROR_NOT_ENOUGH_MEMORY : Error();
    } else {
      detail->cbSize = sizeof *detail;
      if (!SetupDiGetDeviceInterfaceDetailW(set, &itf, detail, size, nullptr, nullptr)) {
        e = Error();
      } else {
        DWORD n = static_cast<DWORD>(lstrlenW(detail->DevicePath)) + 1;
        if (needed) *needed = n;
        if (!path || chars < n) e = ERROR_INSUFFICIENT_BUFFER;
        else memcpy(path, detail->DevicePath, n * sizeof(WCHAR));
      }
      free(detail);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return e;
}

// The device interface of a path in a new device-information set.
struct InterfaceOfPath {
  explicit InterfaceOfPath(LPCWSTR path) {
    set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) return;
    itf.cbSize = sizeof itf;
    found = SetupDiOpenDeviceInterfaceW(set, path, 0, &itf);
  }
  ~InterfaceOfPath() {
    if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  }
  HDEVINFO set;
  SP_DEVICE_INTERFACE_DATA itf = {};
  BOOL found = FALSE;
};

LONG WINAPI PlatformInterfaceValue(LPCWSTR path, LPCWSTR name, BOOL write, DWORD* type, BYTE* data, DWORD* size) {
  InterfaceOfPath device(path);
  if (!device.found) return Error();
  HKEY key = SetupDiOpenDeviceInterfaceRegKey(device.set, &device.itf, 0, write ? KEY_WRITE : KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return Error();
  LONG rc =
      write ? RegSetValueExW(key, name, 0, *type, data, *size) : RegQueryValueExW(key, name, nullptr, type, data, size);
  RegCloseKey(key);
  return rc;
}

LONG WINAPI PlatformDeviceProperty(LPCWSTR path, DWORD id, BOOL write, DWORD* type, BYTE* data, DWORD* size) {
  InterfaceOfPath device(path);
  if (!device.found) return Error();
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!SetupDiEnumDeviceInfo(device.set, 0, &info)) return Error();
  BOOL ok = write ? SetupDiSetDeviceRegistryPropertyW(device.set, &info, id, data, *size)
                  : SetupDiGetDeviceRegistryPropertyW(device.set, &info, id, type, data, *size, size);
  return ok ? ERROR_SUCCESS : Error();
}

// ---- the choice ----

bool DriverInstalled() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\Qvdev", 0, KEY_QUERY_VALUE, &key))
    return false;
  RegCloseKey(key);
  return true;
}

bool SimulationWanted() {
  char value[8];
  DWORD n = GetEnvironmentVariableA("QVDRV_SIMULATION", value, sizeof value);
  if (n > 0 && n < sizeof value) return std::strcmp(value, "0") != 0;
  return !DriverInstalled();
}

// QvSim.dll is looked for beside this library first, then on the search path.
HMODULE LoadSimulatedMachine() {
  char path[MAX_PATH];
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&DeviceIo), &self);
  DWORD n = GetModuleFileNameA(self, path, sizeof path);
  if (n > 0 && n < sizeof path) {
    char* slash = std::strrchr(path, '\\');
    if (slash && static_cast<size_t>(slash + 1 - path) + sizeof "QvSim.dll" <= sizeof path) {
      std::strcpy(slash + 1, "QvSim.dll");
      if (HMODULE m = LoadLibraryA(path)) return m;
    }
  }
  return LoadLibraryA("QvSim.dll");
}

template <class F>
bool Bind(HMODULE m, const char* name, F* to) {
  FARPROC p = GetProcAddress(m, name);
  if (!p) return false;
  *to = reinterpret_cast<F>(reinterpret_cast<void*>(p));
  return true;
}

DeviceIoFunctions Choose() {
  DeviceIoFunctions platform{CreateFileA,           DeviceIoControl,        CloseHandle,
                             PlatformEnumInterface, PlatformInterfaceValue, PlatformDeviceProperty,
                             false};
  if (!SimulationWanted()) return platform;
  HMODULE sim = LoadSimulatedMachine();
  if (!sim) return platform;
  DeviceIoFunctions simulated{};
  simulated.simulated = true;
  if (Bind(sim, "QvSimCreateFile", &simulated.Open) && Bind(sim, "QvSimDeviceIoControl", &simulated.IoControl) &&
      Bind(sim, "QvSimCloseHandle", &simulated.Close) &&
      Bind(sim, "QvSimEnumDeviceInterface", &simulated.EnumInterface) &&
      Bind(sim, "QvSimInterfaceValue", &simulated.InterfaceValue) &&
      Bind(sim, "QvSimDeviceProperty", &simulated.DeviceProperty))
    return simulated;
  FreeLibrary(sim);
  return platform;
}

}  // namespace

const DeviceIoFunctions& DeviceIo() {
  static const DeviceIoFunctions chosen = Choose();
  return chosen;
}

BSTR DeviceInterfacePath(const GUID* cls, LPCWSTR enumerator, DWORD index, DWORD* token, DWORD* flags) {
  WCHAR small[MAX_PATH];
  DWORD needed = 0;
  LONG e = DeviceIo().EnumInterface(cls, enumerator, index, small, MAX_PATH, &needed, token, flags);
  if (e == ERROR_SUCCESS) return SysAllocString(small);
  if (e != ERROR_INSUFFICIENT_BUFFER || needed <= MAX_PATH) {
    SetLastError(static_cast<DWORD>(e));
    return nullptr;
  }
  BSTR path = SysAllocStringLen(nullptr, needed - 1);
  if (!path) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  e = DeviceIo().EnumInterface(cls, enumerator, index, path, needed, &needed, token, flags);
  if (e == ERROR_SUCCESS) return path;
  SysFreeString(path);
  SetLastError(static_cast<DWORD>(e));
  return nullptr;
}
