// The remote device service, both halves: the settings, the three remote
// procedures as the client calls them, and the calls the server's manager
// routines make (the platform's or a test's).
#pragma once
#include "Drv/Qvdrv/qvdrv.h"

#include <rpc.h>

// The remote-access settings, read when the library is loaded: the protocol
// sequences (a multi-string), the name-service entry, the server's
// description and the name-service address (empty: none configured).
struct RemoteSettings {
  char protocol[128];
  char entryName[128];
  char description[128];
  char nameServiceAddress[128];
};
RemoteSettings& RemoteConfig();

// The well-known endpoint on which the service also listens for a protocol
// sequence (null: none), for clients whose endpoint lookup finds no endpoint
// mapper on the server's computer.
const char* RemoteKnownEndpoint(const char* protocolSequence);

// The remote interface's three procedures as the client calls them: open on
// a binding (out context handle), close (in/out context) and I/O control.
// Each returns a Win32 error status; a failure of the call itself (no
// server, a broken connection) comes back as its RPC status.
struct RemoteProcedures {
  DWORD (*open)(void* binding, HANDLE* context, const char* name, DWORD access, DWORD share, DWORD flags);
  DWORD (*close)(HANDLE* context);
  DWORD (*ioControl)(HANDLE context, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                     LPDWORD returned, DWORD reserved);
  void* interfaceSpec;  // for resolving the endpoint outside the NT family
};
RemoteProcedures& RemoteCalls();
// The stubs of the remote interface.
RemoteProcedures RemoteStubs();

// What the server's manager routines call: impersonation of the calling
// client and its end, the access check (open the access key for reading as
// whoever the thread is; a Win32 error), and the local device functions.
// The security callback the interface is registered with.
struct ServerCalls {
  // Whether calls carry a Windows identity at all on this platform (decided
  // when the service starts); when not, the work runs in the service's own.
  bool (*clientsAuthenticate)();
  RPC_STATUS (*impersonate)(RPC_BINDING_HANDLE call);
  RPC_STATUS (*revert)(RPC_BINDING_HANDLE call);
  LONG (*openAccessKey)();
  QVDEVHANDLE(WINAPI* open)(LPCSTR name, DWORD access, DWORD share, DWORD flags);
  BOOL(WINAPI* close)(QVDEVHANDLE h);
  BOOL(WINAPI* ioControl)(QVDEVHANDLE h, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                          LPDWORD returned, LPOVERLAPPED ov);
};
ServerCalls& ServerSeams();
ServerCalls PlatformServerCalls();

// The manager routines of the interface, as the server stubs call them.
extern "C" {
DWORD RpcDevOpen(RPC_BINDING_HANDLE call, void** context, const char* name, unsigned long access,
                 unsigned long share, unsigned long flags);
DWORD RpcDevClose(void** context);
DWORD RpcDevIoControl(void* context, unsigned long code, unsigned char* in, unsigned long inLength,
                      unsigned char* out, unsigned long outLength, unsigned long* returned, unsigned long reserved);
void RpcDevRundown(void* context);
RPC_STATUS CALLBACK RpcSecurityCallback(RPC_IF_HANDLE iface, void* context);
}

// The largest in or out buffer a client may name in one I/O control; the
// server refuses a larger length before it allocates anything.
constexpr unsigned long RemoteMaxBuffer = 0x100000;
