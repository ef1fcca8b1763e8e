// The client half of remote devices: the settings, the binding to a
// server's remote device service, authentication and its retry.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Drv/Qvdrv/remote.h"

#include <cstring>

namespace {

RemoteSettings g_settings = {"ncacn_ip_tcp", "/.:/Quorvale", "Quorvale RPC server", ""};
char* const g_protocol = g_settings.protocol;
char* const g_entryName = g_settings.entryName;
char* const g_description = g_settings.description;
char* const g_nameServiceAddress = g_settings.nameServiceAddress;

// The one binding slot shared by the client calls of the remote interface:
// opens take it one at a time.
RPC_BINDING_HANDLE g_binding = nullptr;
CRITICAL_SECTION g_bindingLock;
INIT_ONCE g_bindingLockOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK InitBindingLock(INIT_ONCE*, void*, void**) {
  InitializeCriticalSection(&g_bindingLock);
  return TRUE;
}

// A value of at most size - 1 bytes; the rest of the buffer is cleared, so a
// multi-string always ends in two NULs and keeps nothing of the default.
void ReadValue(HKEY key, const char* name, char* to, DWORD size) {
  DWORD type = 0, n = size - 1;
  char value[128] = {};
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &n) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_MULTI_SZ) && n > 0 && n < size) {
    std::memset(to, 0, size);
    std::memcpy(to, value, n);
  }
}

RemoteProcedures g_procedures = RemoteStubs();

}  // namespace

RemoteProcedures& RemoteCalls() { return g_procedures; }
RemoteSettings& RemoteConfig() { return g_settings; }

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
    ReadValue(key, "RpcProtocol", g_protocol, sizeof g_settings.protocol);
    ReadValue(key, "RpcEntryName", g_entryName, sizeof g_settings.entryName);
    ReadValue(key, "RpcDescription", g_description, sizeof g_settings.description);
    RegCloseKey(key);
  }
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Rpc\\NameService", 0, KEY_QUERY_VALUE, &key) ==
      ERROR_SUCCESS) {
    ReadValue(key, "ServerNetworkAddress", g_nameServiceAddress, sizeof g_settings.nameServiceAddress);
    RegCloseKey(key);
  }
}

namespace {

BOOL WINAPI RemoteIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                            LPDWORD returned, LPOVERLAPPED) {
  DWORD status = g_procedures.ioControl ? g_procedures.ioControl(h, code, in, inLen, out, outLen, returned, 0)
                                        : static_cast<DWORD>(RPC_S_UNKNOWN_IF);
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

// The slot's binding again, on the service's well-known endpoint.
RPC_STATUS BindToKnownEndpoint(const char* server) {
  const char* endpoint = RemoteKnownEndpoint(g_protocol);
  if (!endpoint) return RPC_S_SERVER_UNAVAILABLE;
  RPC_CSTR text = nullptr;
  RPC_STATUS status = RpcStringBindingComposeA(nullptr, reinterpret_cast<RPC_CSTR>(g_protocol),
                                               reinterpret_cast<RPC_CSTR>(const_cast<char*>(server)),
                                               reinterpret_cast<RPC_CSTR>(const_cast<char*>(endpoint)), nullptr,
                                               &text);
  RPC_BINDING_HANDLE binding = nullptr;
  if (status == RPC_S_OK) status = RpcBindingFromStringBindingA(text, &binding);
  if (text) RpcStringFreeA(&text);
  if (status == RPC_S_OK) {
    RpcBindingFree(&g_binding);
    g_binding = binding;
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
    // No endpoint mapper answered on the server's computer: the service
    // listens on its well-known endpoint too.
    if (status == RPC_S_SERVER_UNAVAILABLE && !block->handle && BindToKnownEndpoint(server) == RPC_S_OK)
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
