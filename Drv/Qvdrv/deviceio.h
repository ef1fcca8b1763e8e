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
#pragma once
#include <windows.h>

struct DeviceIoFunctions {
  HANDLE(WINAPI* Open)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                       DWORD flags, HANDLE templateFile);
  BOOL(WINAPI* IoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
  BOOL(WINAPI* Close)(HANDLE);
  bool simulated;
};

const DeviceIoFunctions& DeviceIo();
