// The one seam between the library and the devices it opens: the platform's
// device I/O, or the simulated machine in this process. Chosen once, at the
// first use:
// - the environment variable QVDRV_SIMULATION set to 1 chooses the simulated
//   machine, set to 0 the platform;
// - otherwise the simulated machine is chosen where the kernel driver is not
//   installed (no service key "Qvdev" under
//   HKLM\System\CurrentControlSet\Services), that is where no board exists.
// The simulated machine is QvSim.dll beside the library; when it cannot be
// loaded the platform's functions are used.
// The same choice serves the device installer's side: the platform's is
// SetupAPI, the simulated machine's lists the interfaces its kernel
// registered.
#pragma once
#include <windows.h>
#include <oleauto.h>

struct DeviceIoFunctions {
  HANDLE(WINAPI* Open)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                       DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* IoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* Close)(HANDLE);
  // The index-th interface of a class on a present device, under an
  // enumerator or device instance id when one is given: its path, a number
  // the installer keeps for it and its flags (DeviceInterfaceActive).
  // Returns a Win32 error: ERROR_NO_MORE_ITEMS past the last one,
  // ERROR_INSUFFICIENT_BUFFER when the path needs *needed characters.
  LONG(WINAPI* EnumInterface)(const GUID* cls, LPCWSTR enumerator, DWORD index, LPWSTR path, DWORD chars,
                              DWORD* needed, DWORD* token, DWORD* flags);
  // A value of the interface's registry key, read or written as the
  // registry does (reading with no buffer returns the size).
  LONG(WINAPI* InterfaceValue)(LPCWSTR path, LPCWSTR name, BOOL write, DWORD* type, BYTE* data, DWORD* size);
  // A registry property (SPDRP_*) of the interface's device, read or written;
  // a short buffer gives ERROR_INSUFFICIENT_BUFFER and the size.
  LONG(WINAPI* DeviceProperty)(LPCWSTR path, DWORD id, BOOL write, DWORD* type, BYTE* data, DWORD* size);
  bool simulated;
};

constexpr DWORD DeviceInterfaceActive = 1;

const DeviceIoFunctions& DeviceIo();

// The path of the index-th interface (see EnumInterface) in a new BSTR, or
// null with the error as the thread's last error.
BSTR DeviceInterfacePath(const GUID* cls, LPCWSTR enumerator, DWORD index, DWORD* token, DWORD* flags);
