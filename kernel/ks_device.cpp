// Other devices, reference-counted interfaces, threads and work items of
// the kernel services layer.
#include "kernel/services.h"

#include <cstring>

NTSTATUS KsOpenDevice(const WCHAR* name, ACCESS_MASK access, FILE_OBJECT** file, DEVICE_OBJECT** device) {
  UNICODE_STRING* full = KsStringAlloc(static_cast<uint16_t>(8 + std::char_traits<char16_t>::length(name) + 1));
  if (!full) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = KsStringAppendText(full, u"\\Device\\");
  if (NT_SUCCESS(status)) status = KsStringAppendText(full, name);
  if (NT_SUCCESS(status)) status = IoGetDeviceObjectPointer(full, access, file, device);
  KsStringFree(full);
  return status;
}

NTSTATUS KsSendIoctl(DEVICE_OBJECT* device, uint32_t code, void* in, uint32_t inLen, void* out, uint32_t outLen,
                     bool internal, uintptr_t* information) {
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, false);
  IO_STATUS_BLOCK iosb{};
  IRP* irp = IoBuildDeviceIoControlRequest(code, device, in, inLen, out, outLen, internal, &done, &iosb);
  if (!irp) return STATUS_INSUFFICIENT_RESOURCES;
  // The request's last step sets the event also when it completes at once.
  IoCallDriver(device, irp);
  KeWaitForSingleObject(&done, Executive, KernelMode, false, nullptr);
  if (information) *information = iosb.Information;
  return iosb.Status;
}

namespace {
NTSTATUS SignalDone(DEVICE_OBJECT*, IRP*, void* context) {
  KeSetEvent(static_cast<KEVENT*>(context), IO_NO_INCREMENT, false);
  return STATUS_MORE_PROCESSING_REQUIRED;
}
}  // namespace

NTSTATUS KsSendPnp(DEVICE_OBJECT* target, const IO_STACK_LOCATION* params, NTSTATUS preset,
                   uintptr_t* information, bool toTop) {
  DEVICE_OBJECT* top = target;
  if (toTop) {
    // Only through the resolved routine, so the image loads where it is missing.
    if (!g_KsRoutines.IoGetAttachedDeviceReference) return STATUS_NOT_SUPPORTED;
    top = g_KsRoutines.IoGetAttachedDeviceReference(target);
  } else {
    ObReferenceObject(top);
  }
  IRP* irp = IoAllocateIrp(top->StackSize, false);
  if (!irp) {
    ObDereferenceObject(top);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  KEVENT done;
  KeInitializeEvent(&done, NotificationEvent, false);
  irp->IoStatus.Status = preset;
  irp->IoStatus.Information = information ? *information : 0;
  IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
  *next = *params;
  IoSetCompletionRoutine(irp, SignalDone, &done, true, true, true);
  // The completion routine sets the event whether or not the answer pended.
  IoCallDriver(top, irp);
  KeWaitForSingleObject(&done, Executive, KernelMode, false, nullptr);
  NTSTATUS status = irp->IoStatus.Status;
  if (information) *information = irp->IoStatus.Information;
  IoFreeIrp(irp);
  ObDereferenceObject(top);
  return status;
}

NTSTATUS KsQueryDeviceInterface(const WCHAR* name, const GUID* type, uint16_t size, uint16_t version,
                                INTERFACE* record) {
  FILE_OBJECT* file;
  DEVICE_OBJECT* device;
  NTSTATUS status = KsOpenDevice(name, FILE_READ_DATA | FILE_WRITE_DATA, &file, &device);
  if (!NT_SUCCESS(status)) return status;
  IO_STACK_LOCATION s{};
  s.MajorFunction = IRP_MJ_PNP;
  s.MinorFunction = IRP_MN_QUERY_INTERFACE;
  s.Parameters.QueryInterface = {type, size, version, record, nullptr};
  status = KsSendPnp(device, &s, STATUS_NOT_SUPPORTED, nullptr);
  ObDereferenceObject(file);
  return status;
}

// ---- interfaces --------------------------------------------------------------------

const GUID KsIidBase = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

NTSTATUS CKsInterface::QueryInterface(const GUID& iid, void** out) {
  if (!IsEqualGUID(iid, KsIidBase)) {
    *out = nullptr;
    return STATUS_NOT_SUPPORTED;
  }
  AddRef();
  *out = this;
  return STATUS_SUCCESS;
}

uint32_t CKsInterface::AddRef() { return static_cast<uint32_t>(InterlockedIncrement(&m_refs)); }

uint32_t CKsInterface::Release() {
  int32_t left = InterlockedDecrement(&m_refs);
  if (left == 0) delete this;
  return static_cast<uint32_t>(left);
}

void CKsInterfacePtr::Set(CKsInterface* p) {
  if (p) p->AddRef();
  CKsInterface* old = m_p;
  m_p = p;
  if (old) old->Release();
}

// ---- threads and work items -------------------------------------------------------------

NTSTATUS KsThreadStart(KsThread* t, PKSTART_ROUTINE routine, void* context) {
  KeInitializeEvent(&t->Stop, NotificationEvent, false);
  t->StopFlag = false;
  t->Object = nullptr;
  HANDLE h;
  NTSTATUS status = PsCreateSystemThread(&h, THREAD_ALL_ACCESS, nullptr, nullptr, nullptr, routine, context);
  if (!NT_SUCCESS(status)) return status;
  status = ObReferenceObjectByHandle(h, THREAD_ALL_ACCESS, nullptr, KernelMode, &t->Object, nullptr);
  ZwClose(h);
  return status;
}

void KsThreadStop(KsThread* t) {
  if (!t->Object) return;
  t->StopFlag = true;
  KeSetEvent(&t->Stop, IO_NO_INCREMENT, false);
  KeWaitForSingleObject(t->Object, Executive, KernelMode, false, nullptr);
  ObDereferenceObject(t->Object);
  t->Object = nullptr;
}

namespace {
struct WorkContext {
  KsWorkRoutine routine;
  void* context;
  NTSTATUS status;
  KEVENT done;
};

void RunWork(DEVICE_OBJECT*, void* context) {
  auto* w = static_cast<WorkContext*>(context);
  w->status = w->routine(w->context);
  KeSetEvent(&w->done, IO_NO_INCREMENT, false);
}
}  // namespace

NTSTATUS KsRunWorkItem(DEVICE_OBJECT* device, KsWorkRoutine routine, void* context) {
  IO_WORKITEM* item = IoAllocateWorkItem(device);
  if (!item) return STATUS_INSUFFICIENT_RESOURCES;
  WorkContext w{routine, context, STATUS_SUCCESS, {}};
  KeInitializeEvent(&w.done, NotificationEvent, false);
  IoQueueWorkItem(item, RunWork, DelayedWorkQueue, &w);
  KeWaitForSingleObject(&w.done, Executive, KernelMode, false, nullptr);
  IoFreeWorkItem(item);
  return w.status;
}

// ---- physical-memory views ------------------------------------------------------------

NTSTATUS KsMapPhysicalView(uint64_t physical, uint32_t length, KsPhysicalView* view) {
  *view = {};
  UNICODE_STRING name = KsStringOf(u"\\Device\\PhysicalMemory");
  OBJECT_ATTRIBUTES a;
  InitializeObjectAttributes(&a, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
  NTSTATUS status = ZwOpenSection(&view->Section, SECTION_MAP_READ | SECTION_MAP_WRITE, &a);
  if (!NT_SUCCESS(status)) {
    *view = {};
    return status;
  }
  // The view starts on the range's page; the offset within it is added back.
  int64_t offset = static_cast<int64_t>(physical);
  size_t bytes = length;
  status = ZwMapViewOfSection(view->Section, ZwCurrentProcess(), &view->Base, 0, length, &offset, &bytes, ViewShare,
                              0, PAGE_READWRITE | PAGE_NOCACHE);
  if (!NT_SUCCESS(status)) {
    ZwClose(view->Section);
    *view = {};
    return status;
  }
  uintptr_t within = static_cast<uintptr_t>(physical - static_cast<uint64_t>(offset));
  view->Address = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(view->Base) + within);
  return STATUS_SUCCESS;
}

void KsUnmapPhysicalView(KsPhysicalView* view) {
  if (view->Base) ZwUnmapViewOfSection(ZwCurrentProcess(), view->Base);
  if (view->Section) ZwClose(view->Section);
  *view = {};
}

// ---- DMA ---------------------------------------------------------------------------

DMA_ADAPTER* KsGetDmaAdapter(DEVICE_OBJECT* pdo, uint32_t pages) {
  DEVICE_DESCRIPTION d{};
  d.Version = 0;
  d.Master = true;
  d.ScatterGather = true;
  d.Dma32BitAddresses = true;
  d.InterfaceType = PCIBus;
  d.MaximumLength = pages * 4096;
  uint32_t mapRegisters = 0;
  if (g_KsRoutines.IoGetDmaAdapter) return pdo ? g_KsRoutines.IoGetDmaAdapter(pdo, &d, &mapRegisters) : nullptr;
  return HalGetAdapter(&d, &mapRegisters);
}

DMA_OPERATIONS g_KsDmaOperations;

void KsBuildDmaOperations(bool nt4) {
  g_KsDmaOperations = {};
  if (!nt4) return;
  DMA_OPERATIONS& o = g_KsDmaOperations;
  o.Size = sizeof(DMA_OPERATIONS);
  o.PutDmaAdapter = IoFreeAdapterChannel;
  o.AllocateCommonBuffer = HalAllocateCommonBuffer;
  o.FreeCommonBuffer = HalFreeCommonBuffer;
  o.AllocateAdapterChannel = IoAllocateAdapterChannel;
  o.FlushAdapterBuffers = IoFlushAdapterBuffers;
  o.FreeAdapterChannel = IoFreeAdapterChannel;
  o.FreeMapRegisters = IoFreeMapRegisters;
  o.MapTransfer = IoMapTransfer;
}

namespace {
const DMA_OPERATIONS* Operations(DMA_ADAPTER* adapter) {
  return g_KsDmaOperations.Size ? &g_KsDmaOperations : adapter->DmaOperations;
}
}  // namespace

void KsPutDmaAdapter(DMA_ADAPTER* adapter) {
  if (adapter) Operations(adapter)->PutDmaAdapter(adapter);
}

void* KsAllocateCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t* physical) {
  if (!adapter) return nullptr;
  void* p = Operations(adapter)->AllocateCommonBuffer(adapter, length, physical, false);
  if (p) std::memset(p, 0, length);
  return p;
}

void KsFreeCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t physical, void* address) {
  if (adapter && address) Operations(adapter)->FreeCommonBuffer(adapter, length, physical, address, false);
}
