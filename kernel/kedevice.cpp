// CKeDevice and CKeHandle: default behaviour, states, reference counting,
// children and removal.
#include "kernel/kedevice.h"

#include <cstring>

void (*g_KeAfterRemoval)(DRIVER_OBJECT* driver);

NTSTATUS CKeHandle::DeviceControl(IRP*) { return STATUS_INVALID_DEVICE_REQUEST; }

CKeDevice::CKeDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower)
    : m_refs(1), m_device(device), m_pdo(pdo), m_lower(lower) {
  KeInitializeEvent(&m_removed, NotificationEvent, false);
  KeInitializeMutex(&m_mutex, 0);
  InitializeListHead(&m_children);
  InitializeListHead(&m_childLink.Entry);
  m_childLink.Owner = this;
}

CKeDevice::~CKeDevice() { KsStringFree(m_link); }

void CKeDevice::Lock() { KeWaitForSingleObject(&m_mutex, Executive, KernelMode, false, nullptr); }
void CKeDevice::Unlock() { KeReleaseMutex(&m_mutex, false); }

UNICODE_STRING CKeDevice::Name() const {
  UNICODE_STRING n{};
  if (!m_link) return n;
  // The link is "\??\" followed by the name.
  uint16_t skip = m_link->Length >= 8 ? 8 : m_link->Length;
  n.Buffer = m_link->Buffer + skip / 2;
  n.Length = n.MaximumLength = static_cast<uint16_t>(m_link->Length - skip);
  return n;
}

NTSTATUS CKeDevice::SetLinkName(const UNICODE_STRING* link) {
  UNICODE_STRING* copy = KsStringAlloc(static_cast<uint16_t>(link->Length / 2 + 1));
  if (!copy) return STATUS_INSUFFICIENT_RESOURCES;
  KsStringAppend(copy, link);
  KsStringFree(m_link);
  m_link = copy;
  return STATUS_SUCCESS;
}

void CKeDevice::SetState(KeState state) {
  m_previous = m_state;
  m_state = state;
}

void CKeDevice::RestoreState() { m_state = m_previous; }

bool CKeDevice::Acquire() {
  InterlockedIncrement(&m_refs);
  if (m_state == KeStateRemoved) {
    Release();
    return false;
  }
  return true;
}

void CKeDevice::Release() {
  if (InterlockedDecrement(&m_refs) == 0) KeSetEvent(&m_removed, IO_NO_INCREMENT, false);
}

void CKeDevice::CompletePending(IRP* irp, NTSTATUS status, int32_t boost) {
  irp->IoStatus.Status = status;
  if (status != STATUS_SUCCESS) KeLogIoctlFailure(m_device, irp, status);
  IoCompleteRequest(irp, boost);
  Release();
}

void CKeDevice::CancelQueued(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = From(device);
  KsDefaultCancel(device, irp);
  d->Release();
}

// ---- default operations --------------------------------------------------------

NTSTATUS CKeDevice::Power(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  if (s->MinorFunction == IRP_MN_SET_POWER) {
    if (s->Parameters.Power.Type == DevicePowerState)
      m_power = s->Parameters.Power.State.DeviceState;
    else
      m_systemPower = s->Parameters.Power.State.SystemState;
  }
  if (g_KsRoutines.PoStartNextPowerIrp) g_KsRoutines.PoStartNextPowerIrp(irp);
  if (!m_lower || !g_KsRoutines.PoCallDriver) {
    NTSTATUS status = irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
  }
  IoSkipCurrentIrpStackLocation(irp);
  return g_KsRoutines.PoCallDriver(m_lower, irp);
}

NTSTATUS CKeDevice::CreateHook(IRP* irp) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  return file->FileName.Length ? STATUS_NO_SUCH_DEVICE : STATUS_SUCCESS;
}

NTSTATUS CKeDevice::Start(IRP*) { return STATUS_SUCCESS; }
void CKeDevice::Stop() {}

NTSTATUS CKeDevice::Create(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  if (!s->FileObject) return STATUS_INVALID_PARAMETER;
  if (m_state != KeStateStarted) return STATUS_INVALID_DEVICE_STATE;
  NTSTATUS status = CreateHook(irp);
  if (!NT_SUCCESS(status)) return status;
  status = IoCheckShareAccess(s->Parameters.Create.DesiredAccess, s->Parameters.Create.ShareAccess, s->FileObject,
                              &m_share, true);
  if (NT_SUCCESS(status)) m_openHandles++;
  return status;
}

NTSTATUS CKeDevice::Close(IRP* irp) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (!file) return STATUS_SUCCESS;
  IoRemoveShareAccess(file, &m_share);
  delete static_cast<CKeHandle*>(file->FsContext);
  file->FsContext = nullptr;
  file->FsContext2 = nullptr;
  if (m_openHandles) m_openHandles--;
  return STATUS_SUCCESS;
}

NTSTATUS CKeDevice::Cleanup(IRP* irp) {
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  if (file && file->FsContext) static_cast<CKeHandle*>(file->FsContext)->Cleanup(irp);
  return STATUS_SUCCESS;
}

NTSTATUS CKeDevice::DeviceControl(IRP*) { return STATUS_INVALID_DEVICE_REQUEST; }
NTSTATUS CKeDevice::Read(IRP*) { return STATUS_INVALID_DEVICE_REQUEST; }
NTSTATUS CKeDevice::Write(IRP*) { return STATUS_INVALID_DEVICE_REQUEST; }
NTSTATUS CKeDevice::Flush(IRP*) { return STATUS_SUCCESS; }
NTSTATUS CKeDevice::Pnp(IRP* irp) { return PnpBase(irp); }

NTSTATUS CKeDevice::HandleClose(IRP* irp, bool* destroyNow) {
  NTSTATUS status = Close(irp);
  *destroyNow = m_destroyOnLastClose && m_openHandles == 0;
  return status;
}

// ---- Plug and Play ------------------------------------------------------------------

namespace {
NTSTATUS Complete(IRP* irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}
}  // namespace

NTSTATUS CKeDevice::ForwardAndWait(IRP* irp) {
  if (!m_lower) return irp->IoStatus.Status == STATUS_NOT_SUPPORTED ? STATUS_SUCCESS : irp->IoStatus.Status;
  uintptr_t info = irp->IoStatus.Information;
  NTSTATUS status = KsSendPnp(m_lower, IoGetCurrentIrpStackLocation(irp), irp->IoStatus.Status, &info, false);
  irp->IoStatus.Information = info;
  return status;
}

NTSTATUS CKeDevice::PassDown(IRP* irp) {
  if (!m_lower) {
    NTSTATUS status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
  }
  IoSkipCurrentIrpStackLocation(irp);
  return IoCallDriver(m_lower, irp);
}

void CKeDevice::StopIfRunning(KeState before) {
  if (before == KeStateStarted || before == KeStateStopPending || before == KeStateRemovePending) Stop();
}

NTSTATUS CKeDevice::PnpBase(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  switch (s->MinorFunction) {
    case IRP_MN_START_DEVICE: {
      NTSTATUS status = ForwardAndWait(irp);
      if (NT_SUCCESS(status)) status = Start(irp);
      if (NT_SUCCESS(status)) SetState(KeStateStarted);
      return Complete(irp, status);
    }
    case IRP_MN_QUERY_REMOVE_DEVICE: {
      Lock();
      bool open = m_openHandles != 0;
      if (!open) SetState(KeStateRemovePending);
      Unlock();
      if (open) return Complete(irp, STATUS_UNSUCCESSFUL);
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    }
    case IRP_MN_QUERY_STOP_DEVICE: return Complete(irp, STATUS_UNSUCCESSFUL);
    case IRP_MN_CANCEL_STOP_DEVICE:
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_CANCEL_REMOVE_DEVICE:
      if (m_state == KeStateRemovePending) RestoreState();
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    case IRP_MN_REMOVE_DEVICE:
    case IRP_MN_SURPRISE_REMOVAL: {
      KeState before = m_state;
      SetState(s->MinorFunction == IRP_MN_REMOVE_DEVICE ? KeStateRemoved : KeStateSurpriseRemoved);
      StopIfRunning(before);
      irp->IoStatus.Status = STATUS_SUCCESS;
      return PassDown(irp);
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
      if (s->Parameters.QueryDeviceRelations.Type == ::BusRelations) {
        NTSTATUS status = BusRelations(irp);
        if (!NT_SUCCESS(status)) return Complete(irp, status);
        irp->IoStatus.Status = STATUS_SUCCESS;
      }
      return PassDown(irp);
    case IRP_MN_QUERY_CAPABILITIES: return Complete(irp, ForwardAndWait(irp));
    default: return PassDown(irp);
  }
}

// ---- children ------------------------------------------------------------------------

static CKeDevice* ChildOf(LIST_ENTRY* e) { return ContainingRecord<KeChildLink>(e, offsetof(KeChildLink, Entry))->Owner; }

void CKeDevice::AddChild(CKeDevice* child) {
  Lock();
  InsertTailList(&m_children, &child->m_childLink.Entry);
  child->m_parent = this;
  Unlock();
}

void CKeDevice::UnlinkChild(CKeDevice* child) {
  Lock();
  RemoveEntryList(&child->m_childLink.Entry);
  child->m_parent = nullptr;
  Unlock();
}

NTSTATUS CKeDevice::BusRelations(IRP* irp) {
  auto* old = reinterpret_cast<DEVICE_RELATIONS*>(irp->IoStatus.Information);
  uint32_t oldCount = old ? old->Count : 0;
  Lock();
  uint32_t present = 0;
  for (LIST_ENTRY* e = m_children.Flink; e != &m_children; e = e->Flink)
    present += ChildOf(e)->Present();
  auto* list = static_cast<DEVICE_RELATIONS*>(KsAllocatePool(PagedPool, DeviceRelationsSize(oldCount + present)));
  if (!list) {
    Unlock();
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  DEVICE_OBJECT** out = DeviceRelationsObjects(list);
  if (old) std::memcpy(out, DeviceRelationsObjects(old), sizeof(DEVICE_OBJECT*) * oldCount);
  uint32_t n = oldCount;
  for (LIST_ENTRY* e = m_children.Flink; e != &m_children; e = e->Flink) {
    CKeDevice* c = ChildOf(e);
    if (!c->m_present) continue;
    ObReferenceObject(c->m_device);
    out[n++] = c->m_device;
  }
  list->Count = n;
  Unlock();
  if (old) ExFreePool(old);
  irp->IoStatus.Information = reinterpret_cast<uintptr_t>(list);
  return STATUS_SUCCESS;
}

// ---- removal ---------------------------------------------------------------------------

void CKeDevice::Remove(bool dropRequestReference) {
  SetState(KeStateRemoved);
  if (dropRequestReference) Release();
  Release();  // the initial reference
  // Children go first, depth first; a surprise-removed child only leaves
  // the list (its own remove request finishes it).
  for (;;) {
    Lock();
    CKeDevice* child = IsListEmpty(&m_children)
                           ? nullptr
                           : ChildOf(m_children.Flink);
    if (child) {
      RemoveEntryList(&child->m_childLink.Entry);
      child->m_parent = nullptr;
    }
    Unlock();
    if (!child) break;
    if (child->m_state.load() != KeStateSurpriseRemoved) child->Remove(false);
  }
  KeWaitForSingleObject(&m_removed, Executive, KernelMode, false, nullptr);
  if (m_link) IoDeleteSymbolicLink(m_link);
  WithdrawResources();
  if (m_lower) IoDetachDevice(m_lower);
  Lock();
  bool now = m_openHandles == 0;
  m_destroyOnLastClose = !now;
  Unlock();
  if (now) {
    Destroy();
  } else {
    // The name goes now; the object stays for the handles still open and
    // goes with the last close.
    IoDeleteDevice(m_device);
  }
}

void CKeDevice::WithdrawResources() {
  if (!m_legacyResources) return;
  bool conflict;
  IoReportResourceUsage(nullptr, m_device->DriverObject, nullptr, 0, m_device, nullptr, 0, false, &conflict);
  m_legacyResources = false;
}

void CKeDevice::Destroy() {
  WithdrawResources();
  DEVICE_OBJECT* device = m_device;
  bool deleted = m_destroyOnLastClose;
  this->~CKeDevice();
  if (!deleted) IoDeleteDevice(device);
}
