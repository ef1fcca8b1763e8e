// The simulated machine's door for the device library: open, I/O control
// and close shaped as the platform's CreateFileA, DeviceIoControl and
// CloseHandle, over the user-mode side of the simulated kernel. Requests
// complete before the call returns; a failure leaves the Win32 error the
// status maps to as the thread's last error.
#include "kernel/km/um.h"
#include "sim/machine/simmachine.h"

#include <cstdint>

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
