// The simulated machine's door for the device library: open, I/O control
// and close shaped as the platform's CreateFileA, DeviceIoControl and
// CloseHandle, over the user-mode side of the simulated kernel. Requests
// complete before the call returns; a failure leaves the Win32 error the
// status maps to as the thread's last error.
// Beside them, what the platform's device installer tells a process about
// device interfaces: the interfaces of a class, the values of an
// interface's registry key and the properties of its device. These return
// the Win32 error.
#include "kernel/km/kmsim.h"
#include "kernel/km/um.h"
#include "sim/machine/simmachine.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if defined(__i386__)
#define SIM_API __attribute__((stdcall))
#else
#define SIM_API
#endif

// The two platform calls the door needs; this file cannot include the
// platform's headers beside the simulated kernel's.
extern "C" __declspec(dllimport) void SIM_API SetLastError(unsigned long error);
extern "C" __declspec(dllimport) unsigned long SIM_API RtlNtStatusToDosError(long status);

namespace {

constexpr uintptr_t InvalidHandle = ~uintptr_t{0};

int Result(NTSTATUS status) {
  if (NT_SUCCESS(status)) {
    SetLastError(0);
    return 1;
  }
  SetLastError(RtlNtStatusToDosError(status));
  return 0;
}

UmHandle HandleOf(void* h) { return static_cast<UmHandle>(reinterpret_cast<uintptr_t>(h)); }

constexpr long ErrorFileNotFound = 2, ErrorNotSupported = 50, ErrorInvalidParameter = 87,
               ErrorInsufficientBuffer = 122, ErrorMoreData = 234, ErrorNoMoreItems = 259, ErrorInvalidData = 13;

long ErrorOf(NTSTATUS status) { return NT_SUCCESS(status) ? 0 : static_cast<long>(RtlNtStatusToDosError(status)); }

size_t Length(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// A process's interface path ("\\?\SIM#...") as the kernel names the link.
std::u16string KernelLink(const char16_t* path) {
  std::u16string link(path, Length(path));
  if (link.rfind(u"\\\\?\\", 0) == 0 || link.rfind(u"\\\\.\\", 0) == 0) link = u"\\??\\" + link.substr(4);
  return link;
}

// An enumerator ("SIM") or a device instance id ("SIM\\0") that the
// interface's device falls under.
bool Under(const std::u16string& instance, const char16_t* enumerator) {
  if (!enumerator || !*enumerator) return true;
  std::u16string e = km::Lower(std::u16string(enumerator, Length(enumerator)));
  std::u16string i = km::Lower(instance);
  return i == e || (i.size() > e.size() && i.compare(0, e.size(), e) == 0 && i[e.size()] == u'\\');
}

// Copies a value out the way the platform's registry does: no buffer asks
// for the size, a short buffer gets `shortError` and the size.
long CopyOut(const void* value, uint32_t length, void* data, uint32_t* size, long shortError) {
  if (!size) return ErrorInvalidParameter;
  uint32_t room = *size;
  *size = length;
  if (!data) return 0;
  if (room < length) return shortError;
  std::memcpy(data, value, length);
  return 0;
}

}  // namespace

extern "C" __declspec(dllexport) void* SIM_API QvSimCreateFile(const char* path, uint32_t access, uint32_t share,
                                                                void*, uint32_t, uint32_t, void*) {
  simmachine::StartDefault();
  UmHandle h = 0;
  if (!Result(UmOpen(path, access, share, &h))) return reinterpret_cast<void*>(InvalidHandle);
  return reinterpret_cast<void*>(static_cast<uintptr_t>(h));
}

extern "C" __declspec(dllexport) int SIM_API QvSimDeviceIoControl(void* h, uint32_t code, void* in, uint32_t inLen,
                                                                   void* out, uint32_t outLen, uint32_t* returned,
                                                                   void*) {
  uint32_t n = 0;
  NTSTATUS status = UmIoControl(HandleOf(h), code, in, inLen, out, outLen, &n);
  if (returned) *returned = n;
  return Result(status);
}

extern "C" __declspec(dllexport) int SIM_API QvSimCloseHandle(void* h) { return Result(UmClose(HandleOf(h))); }

// The index-th interface of a class whose device is present and falls under
// `enumerator` (all when null): its path, the installer's number for it and
// its state (bit 0: enabled). ERROR_NO_MORE_ITEMS past the last one.
extern "C" __declspec(dllexport) long SIM_API QvSimEnumDeviceInterface(const GUID* cls, const char16_t* enumerator,
                                                                        uint32_t index, char16_t* path,
                                                                        uint32_t chars, uint32_t* needed,
                                                                        uint32_t* token, uint32_t* flags) {
  if (!cls) return ErrorInvalidParameter;
  simmachine::StartDefault();
  km::InterfaceInfo info;
  for (size_t k = 0; km::DeviceInterfaceAt(*cls, k, &info); ++k) {
    if (!Under(info.instance, enumerator) || index--) continue;
    std::u16string p = u"\\\\?\\" + info.link.substr(4);
    if (needed) *needed = static_cast<uint32_t>(p.size() + 1);
    if (token) *token = info.token;
    if (flags) *flags = info.enabled ? 1 : 0;
    if (!path || chars <= p.size()) return ErrorInsufficientBuffer;
    std::memcpy(path, p.c_str(), (p.size() + 1) * 2);
    return 0;
  }
  return ErrorNoMoreItems;
}

// Reads or writes a value of an interface's registry key: reading, *type
// and *size are returned; writing, they describe `data`.
extern "C" __declspec(dllexport) long SIM_API QvSimInterfaceValue(const char16_t* path, const char16_t* name,
                                                                   int write, uint32_t* type, void* data,
                                                                   uint32_t* size) {
  if (!path || !name || !size) return ErrorInvalidParameter;
  std::u16string link = KernelLink(path), valueName(name, Length(name));
  if (!km::DeviceInterfacePdo(link)) return ErrorFileNotFound;
  UNICODE_STRING l{static_cast<uint16_t>(link.size() * 2), static_cast<uint16_t>(link.size() * 2), link.data()};
  UNICODE_STRING v{static_cast<uint16_t>(valueName.size() * 2), static_cast<uint16_t>(valueName.size() * 2),
                   valueName.data()};
  HANDLE key;
  NTSTATUS status = IoOpenDeviceInterfaceRegistryKey(&l, KEY_ALL_ACCESS, &key);
  if (!NT_SUCCESS(status)) return ErrorOf(status);
  long error;
  if (write) {
    error = ErrorOf(ZwSetValueKey(key, &v, 0, type ? *type : REG_BINARY, data, *size));
  } else {
    uint32_t got = 0;
    status = ZwQueryValueKey(key, &v, KeyValuePartialInformation, nullptr, 0, &got);
    std::vector<uint8_t> buffer(got ? got : KeyValuePartialHeader);
    if (status == STATUS_BUFFER_TOO_SMALL || status == STATUS_BUFFER_OVERFLOW)
      status = ZwQueryValueKey(key, &v, KeyValuePartialInformation, buffer.data(),
                               static_cast<uint32_t>(buffer.size()), &got);
    if (NT_SUCCESS(status)) {
      auto* p = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
      if (type) *type = p->Type;
      error = CopyOut(buffer.data() + KeyValuePartialHeader, p->DataLength, data, size, ErrorMoreData);
    } else {
      error = ErrorOf(status);
    }
  }
  ZwClose(key);
  return error;
}

// Reads a property of an interface's device by its installer id: 0 the
// description, 1 the hardware ids, 0x1C the bus address. The device's
// properties are the kernel's: writing them is not offered.
extern "C" __declspec(dllexport) long SIM_API QvSimDeviceProperty(const char16_t* path, uint32_t id, int write,
                                                                   uint32_t* type, void* data, uint32_t* size) {
  if (!path || !size) return ErrorInvalidParameter;
  DEVICE_OBJECT* pdo = km::DeviceInterfacePdo(KernelLink(path));
  if (!pdo) return ErrorFileNotFound;
  if (write) return ErrorNotSupported;
  DEVICE_REGISTRY_PROPERTY property;
  uint32_t kind;
  switch (id) {
    case 0: property = DevicePropertyDeviceDescription, kind = REG_SZ; break;
    case 1: property = DevicePropertyHardwareID, kind = REG_MULTI_SZ; break;
    case 0x1C: property = DevicePropertyAddress, kind = REG_DWORD; break;
    default: return ErrorInvalidData;
  }
  uint32_t length = 0;
  IoGetDeviceProperty(pdo, property, 0, nullptr, &length);
  std::vector<uint8_t> value(length);
  NTSTATUS status = IoGetDeviceProperty(pdo, property, length, value.data(), &length);
  if (!NT_SUCCESS(status)) return ErrorOf(status);
  if (type) *type = kind;
  return CopyOut(value.data(), length, data, size, ErrorInsufficientBuffer);
}
