// The client half of remote devices: the settings, the binding to a
// server's remote device service, authentication and its retry.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Drv/Qvdrv/remote.h"

#include <rpc.h>

#include <cstring>

namespace {

char g_protocol[128] = "ncacn_ip_tcp";
char g_entryName[128] = "/.:/Quorvale";
char g_description[128] = "Quorvale RPC server";
char g_nameServiceAddress[128] = "";

// The one binding slot shared by the client calls of the remote interface:
// opens take it one at a time.
RPC_BINDING_HANDLE g_binding = nullptr;
CRITICAL_SECTION g_bindingLock;
INIT_ONCE g_bindingLockOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InitBindingLock(INIT_ONCE*, void*, void**) {
  InitializeCriticalSection(&g_bindingLock);
  return TRUE;
}

void ReadValue(HKEY key, const char* name, char* to, DWORD size) {
  DWORD type = 0, n = size;
  char value[128];
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &n) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_MULTI_SZ) && n > 0 && n <= size) {
    value[n - 1] = 0;
    std::memcpy(to, value, n);
  }
}

// Until the remote service's stubs are built, the remote procedures are
// this table; an entry that is not set answers that the interface is unknown.
RemoteProcedures g_procedures{};

}  // namespace

RemoteProcedures& RemoteCalls() { return g_procedures; }

void ReadRemoteSettings() {
  HKEY key;
  LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Interface", 0, KEY_QUERY_VALUE, &key);
  if (r == ERROR_FILE_NOT_FOUND) {
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Interface", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      char multi[sizeof "ncacn_ip_tcp" + 1] = "ncacn_ip_tcp";  // a multi-string: double NUL
      RegSetValueExA(key, "RpcProtocol", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
      RegSetValueExA(key, "RpcEntryName", 0, REG_SZ, reinterpret_cast<const BYTE*>(g_entryName),
                     static_cast<DWORD>(std::strlen(g_entryName) + 1));
      RegSetValueExA(key, "RpcDescription", 0, REG_SZ, reinterpret_cast<const BYTE*>(g_description),
                     static_cast<DWORD>(std::strlen(g_description) + 1));
      RegCloseKey(key);
    }
  } else if (r == ERROR_SUCCESS) {
    ReadValue(key, "RpcProtocol", g_protocol, 127);
    ReadValue(key, "RpcEntryName", g_entryName, sizeof g_entryName);
    ReadValue(key, "RpcDescription", g_description, sizeof g_description);
    RegCloseKey(key);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Rpc\\NameService", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    ReadValue(key, "ServerNetworkAddress", g_nameServiceAddress, sizeof g_nameServiceAddress);
    RegCloseKey(key);
  }
}

namespace {

BOOL WINAPI RemoteIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                            LPDWORD returned, LPOVERLAPPED) {
  DWORD status = g_procedures.ioControl ? g_procedures.ioControl(h, code, in, inLen, out, outLen, returned, 0)
                                        : RPC_S_UNKNOWN_IF;
  SetLastError(status);
  return status == 0;
}

BOOL WINAPI RemoteClose(HANDLE h) {
  DWORD status = g_procedures.close ? g_procedures.close(&h) : RPC_S_UNKNOWN_IF;
  SetLastError(status);
  return status == 0;
}

// Procedure 0 on the slot's binding, once more without authentication when
// the server knows no authentication service.
DWORD OpenOnBinding(HANDLE* context, const char* localName, DWORD access, DWORD share, DWORD flags) {
  RpcBindingSetAuthInfoA(g_binding, nullptr, RPC_C_AUTHN_LEVEL_CONNECT, RPC_C_AUTHN_WINNT, nullptr, 0);
  auto open = [&] {
    return g_procedures.open ? g_procedures.open(g_binding, context, localName, access, share, flags)
                             : static_cast<DWORD>(RPC_S_UNKNOWN_IF);
  };
  DWORD status = open();
  if (status == RPC_S_UNKNOWN_AUTHN_SERVICE) {
    RpcBindingSetAuthInfoA(g_binding, nullptr, RPC_C_AUTHN_LEVEL_NONE, RPC_C_AUTHN_NONE, nullptr, 0);
    status = open();
  }
  return status;
}

}  // namespace

QVDEVHANDLE qvDevOpenRemote(const char* server, const char* localName, DWORD access, DWORD share, DWORD flags) {
  auto* block = static_cast<QVDEVHANDLE>(GlobalAlloc(GMEM_FIXED, sizeof(QvDevBlock)));
  if (!block) return static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);
  block->handle = nullptr;
  block->IoControl = RemoteIoControl;
  block->Close = RemoteClose;

  InitOnceExecuteOnce(&g_bindingLockOnce, InitBindingLock, nullptr, nullptr);
  EnterCriticalSection(&g_bindingLock);
  RPC_CSTR stringBinding = nullptr;
  DWORD status = RpcStringBindingComposeA(nullptr, reinterpret_cast<RPC_CSTR>(g_protocol),
                                          reinterpret_cast<RPC_CSTR>(const_cast<char*>(server)), nullptr, nullptr,
                                          &stringBinding);
  if (status == RPC_S_OK) status = RpcBindingFromStringBindingA(stringBinding, &g_binding);
  if (status == RPC_S_OK && !QvdrvIsNt() && g_procedures.interfaceSpec)
    status = RpcEpResolveBinding(g_binding, g_procedures.interfaceSpec);
  if (status == RPC_S_OK) {
    status = OpenOnBinding(&block->handle, localName, access, share, flags);
    if (status != RPC_S_OK && block->handle && g_procedures.close) g_procedures.close(&block->handle);
  }
  if (g_binding) RpcBindingFree(&g_binding);
  g_binding = nullptr;
  if (stringBinding) RpcStringFreeA(&stringBinding);
  LeaveCriticalSection(&g_bindingLock);

  if (status == RPC_S_OK) {
    SetLastError(0);
    return block;
  }
  GlobalFree(block);
  SetLastError(status);
  return static_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE);
}
