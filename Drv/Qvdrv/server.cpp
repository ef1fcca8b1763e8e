// The server half of the remote device service: registration, listening
// and its end, the name-service lookup, the security callback and the
// manager routines that carry out a client's open, close and I/O control
// with the local device functions.
#include "Drv/Qvdrv/qvdrv_private.h"
#include "Drv/Qvdrv/remote.h"

#include "qvrpc.h"

#include <rpcdce.h>
#include <rpcnsi.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstdio>
#include <cstring>
#include <type_traits>

namespace {

const char kAccessKey[] = "Software\\Quorvale\\Interface";

LONG OpenAccessKey() {
  HKEY key;
  LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAccessKey, 0, KEY_QUERY_VALUE, &key);
  if (r == ERROR_SUCCESS) RegCloseKey(key);
  return r;
}

RPC_STATUS Impersonate(RPC_BINDING_HANDLE call) { return RpcImpersonateClient(call); }
RPC_STATUS Revert(RPC_BINDING_HANDLE call) { return RpcRevertToSelfEx(call); }

bool g_authenticates = true;
bool ClientsAuthenticate() { return g_authenticates; }

ServerCalls g_calls = PlatformServerCalls();

// Registration state, under one lock: listen and end may come from the
// service's control thread and from the end of a blocking listen.
CRITICAL_SECTION g_lock;
INIT_ONCE g_lockOnce = INIT_ONCE_STATIC_INIT;
BOOL CALLBACK InitLock(INIT_ONCE*, void*, void**) {
  InitializeCriticalSection(&g_lock);
  return TRUE;
}
struct Lock {
  Lock() {
    InitOnceExecuteOnce(&g_lockOnce, InitLock, nullptr, nullptr);
    EnterCriticalSection(&g_lock);
  }
  ~Lock() { LeaveCriticalSection(&g_lock); }
};
RPC_BINDING_VECTOR* g_bindings = nullptr;
bool g_exported = false;     // the entry went to the name service
bool g_registered = false;   // the interface is registered with the runtime
bool g_listening = false;
// The thread that waits for the runtime's listening to end; its exit code
// is the wait's status. A stop is only complete once a wait returned.
HANDLE g_waiter = nullptr;
HANDLE g_waiting = nullptr;  // set by the waiter just before it waits

DWORD WINAPI WaitForListenEnd(LPVOID waiting) {
  SetEvent(waiting);
  return static_cast<DWORD>(RpcMgmtWaitServerListen());
}


// Windows authentication exists when its package gives the service
// credentials to accept clients with.
bool WindowsAuthenticationAvailable() {
  CredHandle credentials;
  TimeStamp expiry;
  SECURITY_STATUS st = AcquireCredentialsHandleA(nullptr, const_cast<char*>("NTLM"), SECPKG_CRED_INBOUND, nullptr,
                                                 nullptr, nullptr, nullptr, &credentials, &expiry);
  if (st != SEC_E_OK) return false;
  FreeCredentialsHandle(&credentials);
  return true;
}

// The name-service calls come from the platform's name-service library,
// bound when first needed; where the platform has none, every one of them
// answers that the name service is unavailable.
struct NameService {
  RPC_STATUS(RPC_ENTRY* exportBinding)(unsigned long, RPC_CSTR, RPC_IF_HANDLE, RPC_BINDING_VECTOR*, UUID_VECTOR*);
  RPC_STATUS(RPC_ENTRY* unexportBinding)(unsigned long, RPC_CSTR, RPC_IF_HANDLE, UUID_VECTOR*);
  RPC_STATUS(RPC_ENTRY* lookupBegin)(unsigned long, RPC_CSTR, RPC_IF_HANDLE, UUID*, unsigned long, RPC_NS_HANDLE*);
  RPC_STATUS(RPC_ENTRY* lookupNext)(RPC_NS_HANDLE, RPC_BINDING_VECTOR**);
  RPC_STATUS(RPC_ENTRY* select)(RPC_BINDING_VECTOR*, RPC_BINDING_HANDLE*);
  RPC_STATUS(RPC_ENTRY* lookupDone)(RPC_NS_HANDLE*);
};
INIT_ONCE g_nsOnce = INIT_ONCE_STATIC_INIT;
NameService g_ns{};
BOOL CALLBACK BindNameService(INIT_ONCE*, void*, void**) {
  HMODULE dll = LoadLibraryA("rpcns4.dll");
  if (!dll) return TRUE;
  NameService ns;
  auto bind = [dll](auto& slot, const char* name) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(
        reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return slot != nullptr;
  };
  if (bind(ns.exportBinding, "RpcNsBindingExportA") && bind(ns.unexportBinding, "RpcNsBindingUnexportA") &&
      bind(ns.lookupBegin, "RpcNsBindingLookupBeginA") && bind(ns.lookupNext, "RpcNsBindingLookupNext") &&
      bind(ns.select, "RpcNsBindingSelect") && bind(ns.lookupDone, "RpcNsBindingLookupDone"))
    g_ns = ns;
  else
    FreeLibrary(dll);
  return TRUE;
}
const NameService* Ns() {
  InitOnceExecuteOnce(&g_nsOnce, BindNameService, nullptr, nullptr);
  return g_ns.exportBinding ? &g_ns : nullptr;
}

RPC_IF_HANDLE Interface() { return QvRpcIface_v1_0_s_ifspec; }

void Report(DWORD messageId, DWORD status, const void* data, DWORD dataLen, LPCSTR s2 = nullptr,
            LPCSTR s3 = nullptr) {
  DWORD n = s3 ? 2 : s2 ? 1 : 0;
  SetLastError(status);  // an informational report carries no error
  qvDevError(0, QvdrvModule(), messageId, const_cast<void*>(data), data ? dataLen : 0, n, status, s2, s3, nullptr);
  SetLastError(status);
}

// Runs `call` in the client's identity, reverting afterwards; without
// Windows authentication on this platform it runs in the server's.
struct Impersonation {
  explicit Impersonation(RPC_BINDING_HANDLE call) : m_call(call) {
    if (!QvdrvIsNt()) return;
    if (!g_calls.clientsAuthenticate()) return;
    m_status = g_calls.impersonate(call);
    m_active = m_status == RPC_S_OK;
  }
  ~Impersonation() {
    if (m_active) g_calls.revert(m_call);
  }
  RPC_BINDING_HANDLE m_call;
  RPC_STATUS m_status = RPC_S_OK;
  bool m_active = false;
};

}  // namespace

const char* RemoteKnownEndpoint(const char* protocolSequence) {
  return protocolSequence && !lstrcmpiA(protocolSequence, "ncacn_ip_tcp") ? "11725" : nullptr;
}

ServerCalls PlatformServerCalls() {
  return {ClientsAuthenticate, Impersonate, Revert, OpenAccessKey, qvDevOpen, qvDevClose, qvDevIoControl};
}
ServerCalls& ServerSeams() { return g_calls; }

// Every call is let in only when the client's identity can be taken on; the
// identity is given back at once, each routine takes it again for its work.
extern "C" RPC_STATUS CALLBACK RpcSecurityCallback(RPC_IF_HANDLE, void* context) {
  if (!QvdrvIsNt() || !g_calls.clientsAuthenticate()) return RPC_S_OK;
  RPC_STATUS status = g_calls.impersonate(context);
  if (status == RPC_S_OK) g_calls.revert(context);
  return status;
}

extern "C" DWORD RpcDevOpen(RPC_BINDING_HANDLE call, void** context, const char* name, unsigned long access,
                            unsigned long share, unsigned long flags) {
  const DWORD words[3] = {access, share, flags};
  *context = nullptr;
  Impersonation as(call);
  if (as.m_status != RPC_S_OK) {
    Report(0x80051389, as.m_status, words, sizeof words, name);
    return as.m_status;
  }
  if (QvdrvIsNt()) {
    LONG r = g_calls.openAccessKey();
    if (r != ERROR_SUCCESS) {
      Report(0x80051389, static_cast<DWORD>(r), words, sizeof words, name);
      return static_cast<DWORD>(r);
    }
  }
  QVDEVHANDLE h = g_calls.open(name, access, share, flags);
  DWORD status = GetLastError();
  if (h != INVALID_HANDLE_VALUE) {
    char text[24];
    snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    *context = h;
    Report(0x4005138A, 0, words, sizeof words, name, text);
    status = 0;
  } else {
    Report(0xC005138B, status ? status : ERROR_GEN_FAILURE, words, sizeof words, name);
    if (!status) status = ERROR_GEN_FAILURE;
  }
  SetLastError(status);
  return status;
}

extern "C" DWORD RpcDevClose(void** context) {
  DWORD status = 0;
  void* h = *context;
  if (h && h != INVALID_HANDLE_VALUE) {
    Impersonation as(nullptr);
    BOOL ok = g_calls.close(static_cast<QVDEVHANDLE>(h));
    status = ok ? 0 : GetLastError();
    if (ok && !status)
      Report(0x4005138C, 0, &h, 4);
    else
      Report(0xC005138D, status ? status : ERROR_GEN_FAILURE, &h, 4);
    if (!ok && !status) status = ERROR_GEN_FAILURE;
  }
  *context = nullptr;
  SetLastError(status);
  return status;
}

extern "C" DWORD RpcDevIoControl(void* context, unsigned long code, unsigned char* in, unsigned long inLength,
                                 unsigned char* out, unsigned long outLength, unsigned long* returned,
                                 unsigned long) {
  DWORD bytes = 0;
  if (returned) *returned = 0;
  if (inLength > RemoteMaxBuffer || outLength > RemoteMaxBuffer) return ERROR_INVALID_PARAMETER;
  if (!in) inLength = 0;
  if (g_calls.ioControl(static_cast<QVDEVHANDLE>(context), code, in, inLength, out, outLength, &bytes, nullptr)) {
    if (returned) *returned = bytes;
    SetLastError(0);
    return 0;
  }
  DWORD status = GetLastError();
  if (!status) status = ERROR_GEN_FAILURE;
  const DWORD words[6] = {static_cast<DWORD>(reinterpret_cast<uintptr_t>(context)), code,
                          static_cast<DWORD>(reinterpret_cast<uintptr_t>(in)), inLength,
                          static_cast<DWORD>(reinterpret_cast<uintptr_t>(out)), outLength};
  Report(0xC005138E, status, words, sizeof words);
  return status;
}

extern "C" void RpcDevRundown(void* context) {
  if (context && context != INVALID_HANDLE_VALUE) g_calls.close(static_cast<QVDEVHANDLE>(context));
  Report(0x80051388, 0, &context, 4);
}

namespace {

// Ends what registration made; idempotent.
void EndLocked() {
  if (g_listening) {
    // A stop that comes before anyone waits for the end of listening leaves
    // the platform's runtime (Wine's) listening for good, and the later
    // wait never returns: the stop follows the waiter into its wait.
    if (g_waiting && WaitForSingleObject(g_waiting, 5000) == WAIT_OBJECT_0) Sleep(100);
    RpcMgmtStopServerListening(nullptr);
    if (g_waiter) {
      WaitForSingleObject(g_waiter, 10000);
      CloseHandle(g_waiter);
    }
    if (g_waiting) CloseHandle(g_waiting);
    g_waiter = g_waiting = nullptr;
    g_listening = false;
  }
  if (g_bindings) {
    RemoteSettings& s = RemoteConfig();
    if (g_exported && Ns())
      Ns()->unexportBinding(RPC_C_NS_SYNTAX_DEFAULT, reinterpret_cast<RPC_CSTR>(s.entryName), Interface(), nullptr);
    RpcEpUnregister(Interface(), g_bindings, nullptr);
    RpcBindingVectorFree(&g_bindings);
    g_bindings = nullptr;
  }
  g_exported = false;
  if (g_registered) {
    RpcServerUnregisterIf(Interface(), nullptr, FALSE);
    g_registered = false;
  }
}

}  // namespace

extern "C" void WINAPI qvServerEnd() {
  Lock lock;
  EndLocked();
}

extern "C" BOOL WINAPI qvServerListen(BOOL dontWait) {
  RemoteSettings& s = RemoteConfig();
  HANDLE waiter = nullptr;
  {
    Lock lock;
    if (g_listening) {
      SetLastError(RPC_S_ALREADY_LISTENING);
      return FALSE;
    }
    for (const char* p = s.protocol; *p && p < s.protocol + sizeof s.protocol; p += strlen(p) + 1) {
      Report(0x40051392, 0, nullptr, 0, p);
      RPC_STATUS st = RpcServerUseProtseqA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(p)), 8, nullptr);
      if (st != RPC_S_OK) {
        Report(0xC005139C, st, nullptr, 0, p);
        continue;
      }
      // The well-known endpoint beside the dynamic one; taken when free.
      if (const char* known = RemoteKnownEndpoint(p))
        RpcServerUseProtseqEpA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(p)), 8,
                               reinterpret_cast<RPC_CSTR>(const_cast<char*>(known)), nullptr);
    }
    Report(0x40051393, 0, nullptr, 0, s.description);
    RPC_STATUS st = RpcServerRegisterIfEx(Interface(), nullptr, nullptr, RPC_IF_ALLOW_CALLBACKS_WITH_NO_AUTH, 0,
                                          RpcSecurityCallback);
    if (st != RPC_S_OK) {
      RPC_IF_HANDLE spec = Interface();
      Report(0xC005139D, st, &spec, 4, s.description);
      return FALSE;
    }
    g_registered = true;
    st = RpcServerInqBindings(&g_bindings);
    if (st != RPC_S_OK) {
      g_bindings = nullptr;
      Report(0xC005139E, st, nullptr, 0, s.description);
      EndLocked();
      SetLastError(st);
      return FALSE;
    }
    Report(0x40051395, 0, nullptr, 0, s.description);
    st = RpcEpRegisterA(Interface(), g_bindings, nullptr, reinterpret_cast<RPC_CSTR>(s.description));
    if (st != RPC_S_OK) {
      Report(0xC005139F, st, nullptr, 0, s.description);
      EndLocked();
      SetLastError(st);
      return FALSE;
    }
    if (s.nameServiceAddress[0]) {
      Report(0x40051396, 0, nullptr, 0, s.entryName, s.nameServiceAddress);
      st = !Ns() ? RPC_S_NAME_SERVICE_UNAVAILABLE
                 : Ns()->exportBinding(RPC_C_NS_SYNTAX_DEFAULT, reinterpret_cast<RPC_CSTR>(s.entryName), Interface(),
                               g_bindings, nullptr);
      if (st == RPC_S_OK)
        g_exported = true;
      else
        Report(0x800513A0, st, nullptr, 0, s.entryName, s.nameServiceAddress);
    }
    // Windows authentication for the callers that bring it; where the
    // platform has none, calls carry no identity and the access key is
    // checked in the service's own.
    g_authenticates = RpcServerRegisterAuthInfoA(nullptr, RPC_C_AUTHN_WINNT, nullptr, nullptr) == RPC_S_OK &&
                      WindowsAuthenticationAvailable();
    Report(0x40051397, 0, nullptr, 0, s.description);
    st = RpcServerListen(1, 8, TRUE);
    if (st != RPC_S_OK) {
      Report(0xC00513A1, st, nullptr, 0, s.description);
      EndLocked();
      SetLastError(st);
      return FALSE;
    }
    g_listening = true;
    g_waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_waiter = g_waiting ? CreateThread(nullptr, 0, WaitForListenEnd, g_waiting, 0, nullptr) : nullptr;
    if (!g_waiter) {
      st = GetLastError();
      Report(0xC00513A1, st, nullptr, 0, s.description);
      EndLocked();
      SetLastError(st);
      return FALSE;
    }
    if (!dontWait && !DuplicateHandle(GetCurrentProcess(), g_waiter, GetCurrentProcess(), &waiter, SYNCHRONIZE,
                                      FALSE, 0))
      waiter = nullptr;
  }
  if (dontWait) {
    SetLastError(0);
    return TRUE;
  }
  // Blocks until the service is ended (qvServerEnd) or the runtime stops.
  DWORD st = RPC_S_OK;
  if (waiter) {
    WaitForSingleObject(waiter, INFINITE);
    GetExitCodeThread(waiter, &st);
    CloseHandle(waiter);
  }
  qvServerEnd();
  SetLastError(st);
  return st == RPC_S_OK;
}

extern "C" BOOL WINAPI qvServerEnum(QvServerEnumCallback callback, LPVOID a, LPVOID b, LPVOID c) {
  RemoteSettings& s = RemoteConfig();
  RPC_NS_HANDLE lookup = nullptr;
  const NameService* ns = Ns();
  if (!ns) {
    SetLastError(RPC_S_NAME_SERVICE_UNAVAILABLE);
    return FALSE;
  }
  RPC_STATUS st = ns->lookupBegin(RPC_C_NS_SYNTAX_DEFAULT, reinterpret_cast<RPC_CSTR>(s.entryName),
                                           c_QvRpcIface_v1_0_c_ifspec, nullptr, 8, &lookup);
  if (st != RPC_S_OK) {
    SetLastError(st);
    return FALSE;
  }
  RPC_BINDING_VECTOR* vector = nullptr;
  while (ns->lookupNext(lookup, &vector) == RPC_S_OK && vector) {
    RPC_BINDING_HANDLE binding = nullptr;
    while (ns->select(vector, &binding) == RPC_S_OK && binding) {
      if (RpcEpResolveBinding(binding, c_QvRpcIface_v1_0_c_ifspec) == RPC_S_OK) {
        RPC_CSTR text = nullptr;
        if (RpcBindingToStringBindingA(binding, &text) == RPC_S_OK) {
          if (callback) callback(a, b, c, reinterpret_cast<LPCSTR>(text));
          RpcStringFreeA(&text);
        }
      }
      RpcBindingFree(&binding);
      binding = nullptr;
    }
    RpcBindingVectorFree(&vector);
    vector = nullptr;
  }
  ns->lookupDone(&lookup);
  SetLastError(0);
  return TRUE;
}
