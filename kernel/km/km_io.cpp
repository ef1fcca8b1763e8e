// The I/O manager of the simulated kernel: handles, object references,
// device objects and their names, device stacks, requests with their stack
// locations, completion, cancel, share access, memory descriptors.
#include "kernel/km/km_private.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <vector>

namespace {
std::mutex g_objects;
// Never destroyed: a system thread may drop its last reference while the
// program's exit handlers run.
std::map<void*, km::ObjectKind>& g_kinds = *new std::map<void*, km::ObjectKind>;
struct HandleEntry {
  km::HandleKind kind;
  void* object;
};
std::vector<HandleEntry> g_handles;

std::recursive_mutex g_names;
std::map<std::u16string, DEVICE_OBJECT*> g_devices;      // lower-case name -> device
std::map<std::u16string, std::u16string> g_links;        // lower-case link -> target
std::mutex g_cancelLock;

void FreeDevice(DEVICE_OBJECT* d) {
  km::UnregisterObject(d);
  ::operator delete(d->DeviceExtension, std::align_val_t(16));
  delete d;
}
}  // namespace

namespace km {

std::u16string Lower(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return s;
}

std::u16string U16(const char* ascii) {
  std::u16string s;
  for (; ascii && *ascii; ++ascii) s += static_cast<char16_t>(static_cast<unsigned char>(*ascii));
  return s;
}

std::u16string Str(const UNICODE_STRING* s) {
  if (!s || !s->Buffer) return {};
  return std::u16string(s->Buffer, s->Length / 2);
}

bool MakePoolString(const std::u16string& text, UNICODE_STRING* out) {
  size_t bytes = text.size() * 2;
  if (bytes > 0xFFFC) return false;
  auto* b = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, bytes + 2, Tag("KmSt")));
  if (!b) return false;
  std::memcpy(b, text.data(), bytes);
  out->Buffer = b;
  out->Length = static_cast<uint16_t>(bytes);
  out->MaximumLength = static_cast<uint16_t>(bytes + 2);
  return true;
}

HANDLE NewHandle(HandleKind kind, void* object) {
  std::lock_guard<std::mutex> lk(g_objects);
  size_t i = 0;
  while (i < g_handles.size() && g_handles[i].object) ++i;
  if (i == g_handles.size()) g_handles.push_back({kind, nullptr});
  g_handles[i] = {kind, object};
  return reinterpret_cast<HANDLE>((i + 1) * 4);
}

static HandleEntry* Entry(HANDLE h) {
  size_t v = reinterpret_cast<size_t>(h);
  if (v == 0 || v % 4 || v / 4 > g_handles.size()) return nullptr;
  HandleEntry* e = &g_handles[v / 4 - 1];
  return e->object ? e : nullptr;
}

void* HandleObject(HANDLE h, HandleKind kind) {
  std::lock_guard<std::mutex> lk(g_objects);
  HandleEntry* e = Entry(h);
  return e && e->kind == kind ? e->object : nullptr;
}

bool CloseHandleEntry(HANDLE h, HandleKind* kind, void** object) {
  std::lock_guard<std::mutex> lk(g_objects);
  HandleEntry* e = Entry(h);
  if (!e) return false;
  *kind = e->kind;
  *object = e->object;
  e->object = nullptr;
  return true;
}

void RegisterObject(void* object, ObjectKind kind) {
  std::lock_guard<std::mutex> lk(g_objects);
  g_kinds[object] = kind;
}

void UnregisterObject(void* object) {
  std::lock_guard<std::mutex> lk(g_objects);
  g_kinds.erase(object);
}

static ObjectKind KindOf(void* object) {
  std::lock_guard<std::mutex> lk(g_objects);
  auto it = g_kinds.find(object);
  if (it == g_kinds.end()) BugCheck("reference to an unknown object");
  return it->second;
}

void ResetIo() {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  g_devices.clear();
  g_links.clear();
  std::lock_guard<std::mutex> lo(g_objects);
  g_handles.clear();
}

DEVICE_OBJECT* FindDevice(const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  auto it = g_devices.find(Lower(name));
  return it == g_devices.end() ? nullptr : it->second;
}

std::u16string LinkTarget(const std::u16string& link) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  auto it = g_links.find(Lower(link));
  return it == g_links.end() ? std::u16string() : it->second;
}

size_t DeviceCount(DRIVER_OBJECT* driver) {
  size_t n = 0;
  for (DEVICE_OBJECT* d = driver->DeviceObject; d; d = d->NextDevice) ++n;
  return n;
}

// Splits a kernel object name into its device and the rest below it: the
// longest device name that ends at a separator.
DEVICE_OBJECT* ResolveName(std::u16string name, std::u16string* rest) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  if (name.rfind(u"\\\\.\\", 0) == 0 || name.rfind(u"\\\\?\\", 0) == 0) name = u"\\??\\" + name.substr(4);
  if (name.rfind(u"\\??\\", 0) == 0) {
    size_t end = name.find(u'\\', 4);
    std::u16string link = name.substr(0, end);
    auto it = g_links.find(Lower(link));
    if (it == g_links.end()) return nullptr;
    name = it->second + (end == std::u16string::npos ? std::u16string() : name.substr(end));
  }
  std::u16string lower = Lower(name);
  for (size_t end = lower.size(); end > 0; end = lower.rfind(u'\\', end - 1)) {
    auto it = g_devices.find(lower.substr(0, end));
    if (it != g_devices.end() && !it->second->DeletePending) {
      *rest = name.substr(end);
      return it->second;
    }
    if (end == 0) break;
  }
  return nullptr;
}

}  // namespace km

// ---- object references ---------------------------------------------------

static void CloseFileObject(FILE_OBJECT* file);

void ObReferenceObject(void* object) {
  switch (km::KindOf(object)) {
    case km::ObjectKind::Device: ++static_cast<DEVICE_OBJECT*>(object)->ReferenceCount; break;
    case km::ObjectKind::File: ++static_cast<FILE_OBJECT*>(object)->ReferenceCount; break;
    case km::ObjectKind::Thread: km::ReferenceThread(object); break;
  }
}

void ObDereferenceObject(void* object) {
  switch (km::KindOf(object)) {
    case km::ObjectKind::Device: {
      auto* d = static_cast<DEVICE_OBJECT*>(object);
      if (--d->ReferenceCount == 0 && d->DeletePending) FreeDevice(d);
      break;
    }
    case km::ObjectKind::File: {
      auto* f = static_cast<FILE_OBJECT*>(object);
      if (--f->ReferenceCount == 0) CloseFileObject(f);
      break;
    }
    case km::ObjectKind::Thread: km::DereferenceThread(object); break;
  }
}

// ---- device objects and names ------------------------------------------------

NTSTATUS IoCreateDevice(DRIVER_OBJECT* driver, uint32_t extensionSize, const UNICODE_STRING* name,
                        uint32_t deviceType, uint32_t characteristics, bool, DEVICE_OBJECT** out) {
  *out = nullptr;
  std::u16string text = km::Str(name);
  std::lock_guard<std::recursive_mutex> lk(g_names);
  if (!text.empty() && g_devices.count(km::Lower(text))) return STATUS_OBJECT_NAME_COLLISION;
  if (!text.empty() && text[0] != u'\\') return STATUS_OBJECT_NAME_INVALID;
  auto* d = new (std::nothrow) DEVICE_OBJECT();
  if (!d) return STATUS_INSUFFICIENT_RESOURCES;
  d->DeviceExtension = ::operator new(std::max<uint32_t>(extensionSize, 1), std::align_val_t(16), std::nothrow);
  if (!d->DeviceExtension) {
    delete d;
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  std::memset(d->DeviceExtension, 0, std::max<uint32_t>(extensionSize, 1));
  d->DriverObject = driver;
  d->DeviceType = deviceType;
  d->Characteristics = characteristics;
  d->Flags = DO_DEVICE_INITIALIZING;
  d->StackSize = 1;
  d->Name = text;
  d->NextDevice = driver->DeviceObject;
  driver->DeviceObject = d;
  if (!text.empty()) g_devices[km::Lower(text)] = d;
  km::RegisterObject(d, km::ObjectKind::Device);
  *out = d;
  return STATUS_SUCCESS;
}

void IoDeleteDevice(DEVICE_OBJECT* device) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  if (device->DeletePending) km::BugCheck("IoDeleteDevice twice");
  for (DEVICE_OBJECT** p = &device->DriverObject->DeviceObject; *p; p = &(*p)->NextDevice)
    if (*p == device) {
      *p = device->NextDevice;
      break;
    }
  if (!device->Name.empty()) g_devices.erase(km::Lower(device->Name));
  device->DeletePending = true;
  if (device->ReferenceCount == 0) FreeDevice(device);
}

NTSTATUS IoCreateSymbolicLink(const UNICODE_STRING* link, const UNICODE_STRING* target) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  std::u16string l = km::Lower(km::Str(link));
  if (l.empty()) return STATUS_OBJECT_NAME_INVALID;
  if (g_links.count(l)) return STATUS_OBJECT_NAME_COLLISION;
  g_links[l] = km::Str(target);
  return STATUS_SUCCESS;
}

NTSTATUS IoDeleteSymbolicLink(const UNICODE_STRING* link) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  return g_links.erase(km::Lower(km::Str(link))) ? STATUS_SUCCESS : STATUS_OBJECT_NAME_NOT_FOUND;
}

static DEVICE_OBJECT* TopOfStack(DEVICE_OBJECT* d) {
  while (d->AttachedDevice) d = d->AttachedDevice;
  return d;
}

DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  DEVICE_OBJECT* top = TopOfStack(target);
  top->AttachedDevice = source;
  source->AttachedTo = top;
  source->StackSize = static_cast<int8_t>(top->StackSize + 1);
  return top;
}

void IoDetachDevice(DEVICE_OBJECT* target) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  if (target->AttachedDevice) target->AttachedDevice->AttachedTo = nullptr;
  target->AttachedDevice = nullptr;
}

DEVICE_OBJECT* IoGetAttachedDeviceReference(DEVICE_OBJECT* device) {
  std::lock_guard<std::recursive_mutex> lk(g_names);
  DEVICE_OBJECT* top = TopOfStack(device);
  ObReferenceObject(top);
  return top;
}

// ---- requests ----------------------------------------------------------------

IRP* IoAllocateIrp(int8_t stackSize, bool) {
  if (stackSize < 1) return nullptr;
  auto* irp = new (std::nothrow) IRP();
  if (!irp) return nullptr;
  // One spare location above the top keeps the completed request's current
  // location inside the array.
  irp->Stack = new (std::nothrow) IO_STACK_LOCATION[stackSize + 1]();
  if (!irp->Stack) {
    delete irp;
    return nullptr;
  }
  irp->StackCount = stackSize;
  irp->CurrentLocation = static_cast<int8_t>(stackSize + 1);
  irp->Tail.Overlay.CurrentStackLocation = irp->Stack + stackSize;
  irp->Origin = km::IrpAllocated;
  InitializeListHead(&irp->Tail.Overlay.ListEntry);
  return irp;
}

void IoFreeIrp(IRP* irp) {
  if (!irp) return;
  delete[] irp->Stack;
  delete irp;
}

constexpr uint32_t IrpCopyOutput = 0x10;
constexpr uint32_t IrpFreeBuffer = 0x20;

namespace km {
bool AttachSystemBuffer(IRP* irp, const void* in, uint32_t inLen, uint32_t size) {
  if (size == 0) return true;
  irp->AssociatedIrp.SystemBuffer = ExAllocatePoolWithTag(NonPagedPool, size, km::Tag("KmIo"));
  if (!irp->AssociatedIrp.SystemBuffer) return false;
  if (in && inLen) std::memcpy(irp->AssociatedIrp.SystemBuffer, in, inLen);
  return true;
}
}  // namespace km

IRP* IoBuildDeviceIoControlRequest(uint32_t code, DEVICE_OBJECT* device, void* in, uint32_t inLen, void* out,
                                   uint32_t outLen, bool internal, KEVENT* event, IO_STATUS_BLOCK* iosb) {
  IRP* irp = IoAllocateIrp(device->StackSize, false);
  if (!irp) return nullptr;
  IO_STACK_LOCATION* s = IoGetNextIrpStackLocation(irp);
  s->MajorFunction = internal ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
  s->Parameters.DeviceIoControl = {outLen, inLen, code, nullptr};
  if (IoctlMethod(code) == METHOD_NEITHER) {
    s->Parameters.DeviceIoControl.Type3InputBuffer = in;
  } else {
    uint32_t size = IoctlMethod(code) == METHOD_BUFFERED ? std::max(inLen, outLen) : inLen;
    if (!km::AttachSystemBuffer(irp, in, inLen, size)) {
      IoFreeIrp(irp);
      return nullptr;
    }
    if (size) irp->Flags |= IrpFreeBuffer;
    if (IoctlMethod(code) == METHOD_BUFFERED) {
      irp->Flags |= IrpCopyOutput;
    } else if (out && outLen) {
      MDL* mdl = IoAllocateMdl(out, outLen, false, false, irp);
      if (mdl) MmProbeAndLockPages(mdl, KernelMode, IoWriteAccess);
    }
  }
  irp->UserBuffer = out;
  irp->UserOutputLength = outLen;
  irp->UserEvent = event;
  irp->UserIosb = iosb;
  irp->Origin = km::IrpBuiltSync;
  return irp;
}

IO_STACK_LOCATION* IoGetCurrentIrpStackLocation(IRP* irp) { return irp->Tail.Overlay.CurrentStackLocation; }
IO_STACK_LOCATION* IoGetNextIrpStackLocation(IRP* irp) { return irp->Tail.Overlay.CurrentStackLocation - 1; }

void IoSkipCurrentIrpStackLocation(IRP* irp) {
  irp->CurrentLocation++;
  irp->Tail.Overlay.CurrentStackLocation++;
}

void IoCopyCurrentIrpStackLocationToNext(IRP* irp) {
  IO_STACK_LOCATION* cur = IoGetCurrentIrpStackLocation(irp);
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  *next = *cur;
  next->CompletionRoutine = nullptr;
  next->Context = nullptr;
  next->Control = 0;
}

void IoSetCompletionRoutine(IRP* irp, IO_COMPLETION_ROUTINE routine, void* context, bool onSuccess, bool onError,
                            bool onCancel) {
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  next->CompletionRoutine = routine;
  next->Context = context;
  next->Control = 0;
  if (onSuccess) next->Control |= SL_INVOKE_ON_SUCCESS;
  if (onError) next->Control |= SL_INVOKE_ON_ERROR;
  if (onCancel) next->Control |= SL_INVOKE_ON_CANCEL;
}

void IoMarkIrpPending(IRP* irp) { IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED; }

NTSTATUS IoCallDriver(DEVICE_OBJECT* device, IRP* irp) {
  if (--irp->CurrentLocation <= 0) km::BugCheck("IoCallDriver: no stack location left");
  irp->Tail.Overlay.CurrentStackLocation--;
  IO_STACK_LOCATION* s = irp->Tail.Overlay.CurrentStackLocation;
  s->DeviceObject = device;
  return device->DriverObject->MajorFunction[s->MajorFunction](device, irp);
}

static void FinishBuiltIrp(IRP* irp) {
  if ((irp->Flags & IrpCopyOutput) && NT_SUCCESS(irp->IoStatus.Status) && irp->UserBuffer &&
      irp->AssociatedIrp.SystemBuffer) {
    size_t n = std::min<uintptr_t>(irp->IoStatus.Information, irp->UserOutputLength);
    std::memcpy(irp->UserBuffer, irp->AssociatedIrp.SystemBuffer, n);
  }
  if (irp->Flags & IrpFreeBuffer) ExFreePool(irp->AssociatedIrp.SystemBuffer);
  if (irp->MdlAddress) {
    MmUnlockPages(irp->MdlAddress);
    IoFreeMdl(irp->MdlAddress);
  }
  if (irp->UserIosb) *irp->UserIosb = irp->IoStatus;
  KEVENT* event = irp->UserEvent;
  IoFreeIrp(irp);
  if (event) KeSetEvent(event, 0, false);
}

void IoCompleteRequest(IRP* irp, int32_t) {
  if (irp->IoStatus.Status == STATUS_PENDING) km::BugCheck("IoCompleteRequest with STATUS_PENDING");
  if (irp->CancelRoutine.load()) km::BugCheck("IoCompleteRequest with a cancel routine set");
  while (irp->CurrentLocation <= irp->StackCount) {
    IO_STACK_LOCATION* s = irp->Tail.Overlay.CurrentStackLocation;
    irp->PendingReturned = (s->Control & SL_PENDING_RETURNED) != 0;
    IO_COMPLETION_ROUTINE routine = s->CompletionRoutine;
    void* context = s->Context;
    uint8_t control = s->Control;
    irp->CurrentLocation++;
    irp->Tail.Overlay.CurrentStackLocation++;
    bool ok = NT_SUCCESS(irp->IoStatus.Status);
    bool invoke = routine && ((ok && (control & SL_INVOKE_ON_SUCCESS)) || (!ok && (control & SL_INVOKE_ON_ERROR)) ||
                              (irp->Cancel && (control & SL_INVOKE_ON_CANCEL)));
    if (invoke) {
      DEVICE_OBJECT* d = irp->CurrentLocation > irp->StackCount
                             ? nullptr
                             : irp->Tail.Overlay.CurrentStackLocation->DeviceObject;
      if (routine(d, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) return;
    } else if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
      IoMarkIrpPending(irp);
    }
  }
  switch (irp->Origin) {
    case km::IrpBuiltSync: FinishBuiltIrp(irp); break;
    case km::IrpUser: km::FinishUserIrp(irp); break;
    default: km::BugCheck("a request of IoAllocateIrp reached the top without its completion routine");
  }
}

DRIVER_CANCEL IoSetCancelRoutine(IRP* irp, DRIVER_CANCEL routine) { return irp->CancelRoutine.exchange(routine); }

void IoAcquireCancelSpinLock(KIRQL* irql) {
  g_cancelLock.lock();
  KeRaiseIrql(DISPATCH_LEVEL, irql);
}

void IoReleaseCancelSpinLock(KIRQL irql) {
  KeLowerIrql(irql);
  g_cancelLock.unlock();
}

bool IoCancelIrp(IRP* irp) {
  KIRQL irql;
  IoAcquireCancelSpinLock(&irql);
  irp->Cancel = true;
  DRIVER_CANCEL routine = IoSetCancelRoutine(irp, nullptr);
  if (!routine) {
    IoReleaseCancelSpinLock(irql);
    return false;
  }
  irp->CancelIrql = irql;
  routine(irp->Tail.Overlay.CurrentStackLocation->DeviceObject, irp);  // releases the cancel lock
  return true;
}

// ---- files --------------------------------------------------------------------

namespace km {

static ACCESS_MASK MapGeneric(ACCESS_MASK a) {
  if (a & GENERIC_ALL) a |= FILE_READ_DATA | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE;
  if (a & GENERIC_READ) a |= FILE_READ_DATA;
  if (a & GENERIC_WRITE) a |= FILE_WRITE_DATA | FILE_APPEND_DATA;
  return a & ~(GENERIC_ALL | GENERIC_READ | GENERIC_WRITE);
}

// Sends a create, cleanup or close for the file to the top of its device's
// stack and waits for it.
NTSTATUS SendFileRequest(FILE_OBJECT* file, uint8_t major, ACCESS_MASK access, uint32_t share) {
  DEVICE_OBJECT* top = TopOfStack(file->DeviceObject);
  IRP* irp = IoAllocateIrp(top->StackSize, false);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, false);
  IO_STATUS_BLOCK iosb{};
  irp->Origin = IrpBuiltSync;
  irp->UserEvent = &done;
  irp->UserIosb = &iosb;
  irp->Tail.Overlay.OriginalFileObject = file;
  IO_STACK_LOCATION* s = IoGetNextIrpStackLocation(irp);
  s->MajorFunction = major;
  s->FileObject = file;
  s->Parameters.Create.DesiredAccess = access;
  s->Parameters.Create.ShareAccess = static_cast<uint16_t>(share);
  IoCallDriver(top, irp);
  KeWaitForSingleObject(&done, Executive, KernelMode, false, nullptr);
  return iosb.Status;
}

NTSTATUS OpenFile(const std::u16string& name, ACCESS_MASK access, uint32_t share, FILE_OBJECT** out) {
  *out = nullptr;
  std::u16string rest;
  DEVICE_OBJECT* device;
  {
    std::lock_guard<std::recursive_mutex> lk(g_names);
    device = ResolveName(name, &rest);
    if (!device) return STATUS_OBJECT_NAME_NOT_FOUND;
    ObReferenceObject(device);
  }
  auto* file = new FILE_OBJECT();
  file->DeviceObject = device;
  file->NameStorage = rest;
  file->FileName.Buffer = file->NameStorage.empty() ? nullptr : file->NameStorage.data();
  file->FileName.Length = static_cast<uint16_t>(std::min<size_t>(rest.size() * 2, 0xFFFC));
  file->FileName.MaximumLength = file->FileName.Length;
  RegisterObject(file, ObjectKind::File);
  file->GrantedAccess = MapGeneric(access);
  NTSTATUS status = SendFileRequest(file, IRP_MJ_CREATE, file->GrantedAccess, share);
  if (!NT_SUCCESS(status)) {
    UnregisterObject(file);
    delete file;
    ObDereferenceObject(device);
    return status;
  }
  file->ReferenceCount = 1;
  *out = file;
  return STATUS_SUCCESS;
}

}  // namespace km

static void CloseFileObject(FILE_OBJECT* file) {
  km::SendFileRequest(file, IRP_MJ_CLOSE, 0, 0);
  DEVICE_OBJECT* device = file->DeviceObject;
  km::UnregisterObject(file);
  delete file;
  ObDereferenceObject(device);
}

NTSTATUS IoGetDeviceObjectPointer(const UNICODE_STRING* name, ACCESS_MASK access, FILE_OBJECT** file,
                                  DEVICE_OBJECT** device) {
  FILE_OBJECT* f;
  NTSTATUS status = km::OpenFile(km::Str(name), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &f);
  if (!NT_SUCCESS(status)) return status;
  // The caller's reference on the file object is the only one: no handle.
  km::SendFileRequest(f, IRP_MJ_CLEANUP, 0, 0);
  *file = f;
  *device = TopOfStack(f->DeviceObject);
  return STATUS_SUCCESS;
}

NTSTATUS IoCheckShareAccess(ACCESS_MASK desired, uint32_t shareAccess, FILE_OBJECT* file, SHARE_ACCESS* share,
                            bool update) {
  file->ReadAccess = (desired & FILE_READ_DATA) != 0;
  file->WriteAccess = (desired & (FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  file->DeleteAccess = (desired & DELETE) != 0;
  if (!file->ReadAccess && !file->WriteAccess && !file->DeleteAccess) return STATUS_SUCCESS;
  file->SharedRead = (shareAccess & FILE_SHARE_READ) != 0;
  file->SharedWrite = (shareAccess & FILE_SHARE_WRITE) != 0;
  file->SharedDelete = (shareAccess & FILE_SHARE_DELETE) != 0;
  uint32_t open = share->OpenCount;
  if ((file->ReadAccess && share->SharedRead < open) || (file->WriteAccess && share->SharedWrite < open) ||
      (file->DeleteAccess && share->SharedDelete < open) || (share->Readers && !file->SharedRead) ||
      (share->Writers && !file->SharedWrite) || (share->Deleters && !file->SharedDelete))
    return STATUS_SHARING_VIOLATION;
  if (update) {
    share->OpenCount++;
    share->Readers += file->ReadAccess;
    share->Writers += file->WriteAccess;
    share->Deleters += file->DeleteAccess;
    share->SharedRead += file->SharedRead;
    share->SharedWrite += file->SharedWrite;
    share->SharedDelete += file->SharedDelete;
  }
  return STATUS_SUCCESS;
}

void IoRemoveShareAccess(FILE_OBJECT* file, SHARE_ACCESS* share) {
  if (!file->ReadAccess && !file->WriteAccess && !file->DeleteAccess) return;
  if (share->OpenCount == 0) km::BugCheck("IoRemoveShareAccess without an open");
  share->OpenCount--;
  share->Readers -= file->ReadAccess;
  share->Writers -= file->WriteAccess;
  share->Deleters -= file->DeleteAccess;
  share->SharedRead -= file->SharedRead;
  share->SharedWrite -= file->SharedWrite;
  share->SharedDelete -= file->SharedDelete;
}

// ---- memory descriptors ---------------------------------------------------------

MDL* IoAllocateMdl(void* address, uint32_t length, bool, bool, IRP* irp) {
  auto* mdl = new (std::nothrow) MDL{address, length, false, nullptr};
  if (mdl && irp) irp->MdlAddress = mdl;
  return mdl;
}

void IoFreeMdl(MDL* mdl) { delete mdl; }

void MmProbeAndLockPages(MDL* mdl, KPROCESSOR_MODE, LOCK_OPERATION) {
  if (!mdl->UserAddress && mdl->ByteCount) ExRaiseStatus(STATUS_ACCESS_VIOLATION);
  mdl->Locked = true;
  // One address space in the simulation: the system view is the same address.
  mdl->MappedSystemVa = mdl->UserAddress;
}

void MmUnlockPages(MDL* mdl) {
  mdl->Locked = false;
  mdl->MappedSystemVa = nullptr;
}

void* MmGetSystemAddressForMdlSafe(MDL* mdl, int32_t) { return mdl->Locked ? mdl->MappedSystemVa : nullptr; }

size_t DeviceRelationsSize(uint32_t count) {
  return offsetof(DEVICE_RELATIONS, Objects) + sizeof(DEVICE_OBJECT*) * (count ? count : 1);
}

DEVICE_OBJECT** DeviceRelationsObjects(DEVICE_RELATIONS* r) {
  return reinterpret_cast<DEVICE_OBJECT**>(reinterpret_cast<char*>(r) + offsetof(DEVICE_RELATIONS, Objects));
}
