#include "Drv/Qvdrv/deviceio.h"

#include <cstdlib>
#include <cstring>

namespace {

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
  DeviceIoFunctions platform{CreateFileA, DeviceIoControl, CloseHandle, false};
  if (!SimulationWanted()) return platform;
  HMODULE sim = LoadSimulatedMachine();
  if (!sim) return platform;
  DeviceIoFunctions simulated{};
  simulated.simulated = true;
  if (Bind(sim, "QvSimCreateFile", &simulated.Open) && Bind(sim, "QvSimDeviceIoControl", &simulated.IoControl) &&
      Bind(sim, "QvSimCloseHandle", &simulated.Close))
    return simulated;
  FreeLibrary(sim);
  return platform;
}

}  // namespace

const DeviceIoFunctions& DeviceIo() {
  static const DeviceIoFunctions chosen = Choose();
  return chosen;
}
