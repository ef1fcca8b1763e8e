// The remote interface's three procedures as the client calls them: open on
// a binding (out context handle), close (in/out context) and I/O control.
// Each returns a Win32 error status.
#pragma once
#include <windows.h>

struct RemoteProcedures {
  DWORD (*open)(void* binding, HANDLE* context, const char* name, DWORD access, DWORD share, DWORD flags);
  DWORD (*close)(HANDLE* context);
  DWORD (*ioControl)(HANDLE context, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                     LPDWORD returned, DWORD reserved);
  void* interfaceSpec;  // for resolving the endpoint outside the NT family
};
RemoteProcedures& RemoteCalls();
