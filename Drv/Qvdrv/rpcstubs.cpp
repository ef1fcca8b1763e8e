// The client calls of the remote interface over its generated stubs, the
// memory the stubs take, and the rundown hook of the context handle.
#include "Drv/Qvdrv/remote.h"

#include "qvrpc.h"

#include <csetjmp>

namespace {

// A call of the remote interface raises its RPC status when the call itself
// fails (no server, a broken connection, data the other side refused).
// The compiler has no structured exception frames, so a vectored handler,
// present only while such a call runs, takes the thread back to the call's
// start with the status; the unwind runs the runtime's own clean-up.
struct CallGuard {
  std::jmp_buf jump;
  DWORD status;
};
thread_local CallGuard* t_guard = nullptr;

LONG CALLBACK RaisedStatus(EXCEPTION_POINTERS* e) {
  CallGuard* guard = t_guard;
  const DWORD code = e->ExceptionRecord->ExceptionCode;
  // RPC statuses are Win32 error codes; exceptions with a severity (access
  // violations and the like) are not the call's to handle.
  if (!guard || code == 0 || code > 0xFFFF) return EXCEPTION_CONTINUE_SEARCH;
  guard->status = code;
  t_guard = nullptr;
  std::longjmp(guard->jump, 1);
}

template <class Call>
DWORD Guarded(Call call) {
  CallGuard guard{};
  CallGuard* const outer = t_guard;
  void* const handler = AddVectoredExceptionHandler(1, RaisedStatus);
  if (!handler) return GetLastError();
  DWORD status;
  if (setjmp(guard.jump) == 0) {
    t_guard = &guard;
    status = call();
  } else {
    status = guard.status;
  }
  t_guard = outer;
  RemoveVectoredExceptionHandler(handler);
  return status;
}

DWORD StubOpen(void* binding, HANDLE* context, const char* name, DWORD access, DWORD share, DWORD flags) {
  return Guarded([&] {
    return static_cast<DWORD>(c_RpcDevOpen(binding, reinterpret_cast<QVRPC_CONTEXT*>(context), name, access,
                                           share, flags));
  });
}

DWORD StubClose(HANDLE* context) {
  DWORD status = Guarded([&] { return static_cast<DWORD>(c_RpcDevClose(reinterpret_cast<QVRPC_CONTEXT*>(context))); });
  // A close that never reached the server leaves the client's context:
  // drop it here, the server's rundown ends the device there.
  if (status != 0 && *context) {
    RpcSsDestroyClientContext(context);
  }
  return status;
}

DWORD StubIoControl(HANDLE context, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen, LPDWORD returned,
                    DWORD reserved) {
  if (!out && outLen) return ERROR_INVALID_PARAMETER;
  unsigned char scratch = 0;  // the out buffer is a reference: never null on the wire
  unsigned long count = 0;
  DWORD status = Guarded([&] {
    return static_cast<DWORD>(c_RpcDevIoControl(context, code, static_cast<unsigned char*>(in), in ? inLen : 0,
                                                out ? static_cast<unsigned char*>(out) : &scratch, outLen,
                                                &count, reserved));
  });
  if (returned) *returned = status == 0 ? count : 0;
  return status;
}

}  // namespace

RemoteProcedures RemoteStubs() {
  return {StubOpen, StubClose, StubIoControl, c_QvRpcIface_v1_0_c_ifspec};
}

// The stubs' memory: fixed global memory.
extern "C" void* __RPC_USER MIDL_user_allocate(size_t size) { return GlobalAlloc(GMEM_FIXED, size); }
extern "C" void __RPC_USER MIDL_user_free(void* p) {
  if (p) GlobalFree(p);
}

// A client that vanished without closing.
extern "C" void __RPC_USER QVRPC_CONTEXT_rundown(QVRPC_CONTEXT context) { RpcDevRundown(context); }
