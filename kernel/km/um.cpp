// The user-mode side of the simulated kernel: a process's handles on device
// objects and its I/O-control requests through the I/O manager.
#include "kernel/km/um.h"

#include "kernel/km/km_private.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

struct UmRequest {
  IRP* irp;
  FILE_OBJECT* file;  // referenced until the request is waited for
  KEVENT done;
  IO_STATUS_BLOCK iosb;
  void* userOut;
  uint32_t outLen;
  uint32_t returned;
};

namespace {
std::mutex g_umLock;
UmHandle g_nextHandle = 1;
struct HandleState {
  FILE_OBJECT* file;
  std::vector<UmRequest*> inFlight;
};
std::map<UmHandle, HandleState> g_handles;

// The file object behind a handle, referenced for the caller.
FILE_OBJECT* ReferenceFile(UmHandle h) {
  std::lock_guard<std::mutex> lk(g_umLock);
  auto it = g_handles.find(h);
  if (it == g_handles.end()) return nullptr;
  ObReferenceObject(it->second.file);
  return it->second.file;
}

void Forget(UmHandle h, UmRequest* r) {
  std::lock_guard<std::mutex> lk(g_umLock);
  auto it = g_handles.find(h);
  if (it != g_handles.end()) std::erase(it->second.inFlight, r);
}

// The access bits of a code against what the handle was granted.
bool AccessGranted(const FILE_OBJECT* file, uint32_t code) {
  uint32_t need = IoctlAccess(code);
  if ((need & FILE_READ_ACCESS) && !(file->GrantedAccess & FILE_READ_DATA)) return false;
  if ((need & FILE_WRITE_ACCESS) && !(file->GrantedAccess & FILE_WRITE_DATA)) return false;
  return true;
}

// Builds the request as the I/O manager does for the code's transfer method.
IRP* BuildRequest(FILE_OBJECT* file, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen) {
  DEVICE_OBJECT* top = file->DeviceObject;
  while (top->AttachedDevice) top = top->AttachedDevice;
  IRP* irp = IoAllocateIrp(top->StackSize, false);
  if (!irp) return nullptr;
  irp->Origin = km::IrpUser;
  irp->RequestorMode = UserMode;
  irp->Tail.Overlay.OriginalFileObject = file;
  IO_STACK_LOCATION* s = IoGetNextIrpStackLocation(irp);
  s->MajorFunction = IRP_MJ_DEVICE_CONTROL;
  s->FileObject = file;
  s->Parameters.DeviceIoControl = {outLen, inLen, code, nullptr};
  uint32_t method = IoctlMethod(code);
  if (method == METHOD_NEITHER) {
    s->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(in);
    irp->UserBuffer = out;
    return irp;
  }
  uint32_t size = method == METHOD_BUFFERED ? std::max(inLen, outLen) : inLen;
  if (!km::AttachSystemBuffer(irp, in, inLen, size)) {
    IoFreeIrp(irp);
    return nullptr;
  }
  if (method != METHOD_BUFFERED && outLen) {
    MDL* mdl = IoAllocateMdl(out, outLen, false, false, irp);
    try {
      if (mdl) MmProbeAndLockPages(mdl, UserMode, method == METHOD_IN_DIRECT ? IoReadAccess : IoWriteAccess);
    } catch (const KmException&) {
      IoFreeMdl(mdl);
      ExFreePool(irp->AssociatedIrp.SystemBuffer);
      IoFreeIrp(irp);
      return nullptr;
    }
  }
  irp->UserBuffer = out;
  irp->UserOutputLength = outLen;
  return irp;
}
}  // namespace

namespace km {
void FinishUserIrp(IRP* irp) {
  auto* r = static_cast<UmRequest*>(irp->KmRequest);
  uint32_t method = IoctlMethod(irp->Stack[irp->StackCount - 1].Parameters.DeviceIoControl.IoControlCode);
  r->returned = static_cast<uint32_t>(std::min<uintptr_t>(irp->IoStatus.Information, r->outLen));
  // Buffered output goes back for success and warnings, never more than the
  // caller's buffer holds whatever Information says.
  if (method == METHOD_BUFFERED) {
    if (irp->IoStatus.Status >= 0 && r->userOut && irp->AssociatedIrp.SystemBuffer)
      std::memcpy(r->userOut, irp->AssociatedIrp.SystemBuffer, r->returned);
    else if (irp->IoStatus.Status < 0)
      r->returned = 0;
  }
  ExFreePool(irp->AssociatedIrp.SystemBuffer);
  irp->AssociatedIrp.SystemBuffer = nullptr;
  if (irp->MdlAddress) {
    MmUnlockPages(irp->MdlAddress);
    IoFreeMdl(irp->MdlAddress);
    irp->MdlAddress = nullptr;
  }
  r->iosb = irp->IoStatus;
  KeSetEvent(&r->done, 0, false);
}
}  // namespace km

NTSTATUS UmOpen(const char16_t* name, ACCESS_MASK access, uint32_t shareAccess, UmHandle* handle) {
  *handle = 0;
  if (!name) return STATUS_OBJECT_NAME_INVALID;
  FILE_OBJECT* file;
  NTSTATUS status = km::OpenFile(name, access, shareAccess, &file);
  if (!NT_SUCCESS(status)) return status;
  std::lock_guard<std::mutex> lk(g_umLock);
  *handle = g_nextHandle++;
  g_handles[*handle] = {file, {}};
  return STATUS_SUCCESS;
}

NTSTATUS UmOpen(const char* name, ACCESS_MASK access, uint32_t shareAccess, UmHandle* handle) {
  std::u16string n = km::U16(name);
  return UmOpen(n.c_str(), access, shareAccess, handle);
}

UmRequest* UmIoControlBegin(UmHandle handle, uint32_t code, const void* in, uint32_t inLen, void* out,
                            uint32_t outLen) {
  FILE_OBJECT* file = ReferenceFile(handle);
  if (!file) return nullptr;
  if (!AccessGranted(file, code)) {
    // Refused by the I/O manager: the driver never sees the request.
    auto* r = new UmRequest{nullptr, file, {}, {STATUS_ACCESS_DENIED, 0}, out, outLen, 0};
    KeInitializeEvent(&r->done, NotificationEvent, true);
    return r;
  }
  IRP* irp = BuildRequest(file, code, in, inLen, out, outLen);
  if (!irp) {
    ObDereferenceObject(file);
    return nullptr;
  }
  auto* r = new UmRequest{irp, file, {}, {}, out, outLen, 0};
  KeInitializeEvent(&r->done, NotificationEvent, false);
  irp->KmRequest = r;
  {
    std::lock_guard<std::mutex> lk(g_umLock);
    auto it = g_handles.find(handle);
    if (it != g_handles.end()) it->second.inFlight.push_back(r);
  }
  DEVICE_OBJECT* top = file->DeviceObject;
  while (top->AttachedDevice) top = top->AttachedDevice;
  IoCallDriver(top, irp);
  return r;
}

bool UmIsDone(UmRequest* request) { return KeReadStateEvent(&request->done) != 0; }

NTSTATUS UmWait(UmRequest* request, uint32_t* returned, uintptr_t* information) {
  UmHandle handle = 0;
  {
    std::lock_guard<std::mutex> lk(g_umLock);
    for (auto& [h, state] : g_handles)
      if (std::find(state.inFlight.begin(), state.inFlight.end(), request) != state.inFlight.end()) handle = h;
  }
  KeWaitForSingleObject(&request->done, Executive, UserMode, false, nullptr);
  if (handle) Forget(handle, request);
  NTSTATUS status = request->iosb.Status;
  if (returned) *returned = request->returned;
  if (information) *information = request->iosb.Information;
  if (request->irp) IoFreeIrp(request->irp);
  ObDereferenceObject(request->file);
  delete request;
  return status;
}

NTSTATUS UmIoControl(UmHandle handle, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
                     uint32_t* returned, uintptr_t* information) {
  if (returned) *returned = 0;
  if (information) *information = 0;
  UmRequest* r = UmIoControlBegin(handle, code, in, inLen, out, outLen);
  if (!r) return ReferenceFile(handle) ? STATUS_INSUFFICIENT_RESOURCES : STATUS_INVALID_HANDLE;
  return UmWait(r, returned, information);
}

NTSTATUS UmCancelIo(UmHandle handle) {
  // The lock keeps every listed request alive: its owner frees it only after
  // taking it off the list.
  std::lock_guard<std::mutex> lk(g_umLock);
  auto it = g_handles.find(handle);
  if (it == g_handles.end()) return STATUS_INVALID_HANDLE;
  for (UmRequest* r : it->second.inFlight)
    if (!UmIsDone(r) && r->irp) IoCancelIrp(r->irp);
  return STATUS_SUCCESS;
}

NTSTATUS UmClose(UmHandle handle) {
  FILE_OBJECT* file;
  {
    std::lock_guard<std::mutex> lk(g_umLock);
    auto it = g_handles.find(handle);
    if (it == g_handles.end()) return STATUS_INVALID_HANDLE;
    file = it->second.file;
    g_handles.erase(it);
  }
  // The cleanup goes at once; the close follows when the last request of
  // the handle has been waited for.
  km::SendFileRequest(file, IRP_MJ_CLEANUP, 0, 0);
  ObDereferenceObject(file);
  return STATUS_SUCCESS;
}
