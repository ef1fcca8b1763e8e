// The child device on which the WDM driver loads: it answers the Plug and
// Play queries about itself and sends the rest to its parent's stack.
#include "kernel/qvdev.h"

#include <cstring>

namespace {
NTSTATUS Complete(IRP* irp, NTSTATUS status) {
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// A new pool text ending in two zero characters, as PnP answers are.
WCHAR* PoolText(const UNICODE_STRING* text) {
  auto* b = static_cast<WCHAR*>(KsAllocatePool(PagedPool, text->Length + 4u));
  if (b) std::memcpy(b, text->Buffer, text->Length);
  return b;
}

bool Unanswered(uint8_t minor) {
  switch (minor) {
    case IRP_MN_READ_CONFIG:
    case IRP_MN_WRITE_CONFIG:
    case IRP_MN_EJECT:
    case IRP_MN_SET_LOCK:
    case IRP_MN_QUERY_BUS_INFORMATION:
    case IRP_MN_QUERY_LEGACY_BUS_INFORMATION: return true;
    default: return false;
  }
}
}  // namespace

CWdmChild::CWdmChild(DEVICE_OBJECT* device, CBoardDevice* parent, uint32_t busNumber)
    : CKeDevice(device, nullptr, nullptr), m_board(parent), m_busNumber(busNumber) {}

CWdmChild::~CWdmChild() {
  if (m_board) m_board->ForgetChild();
}

NTSTATUS CWdmChild::QueryId(IRP* irp) {
  UNICODE_STRING text;
  switch (IoGetCurrentIrpStackLocation(irp)->Parameters.QueryId.IdType) {
    case BusQueryDeviceID: text = KsStringOf(u"Quorvale\\Wdm"); break;
    case BusQueryHardwareIDs: text = KsStringOf(u"Qvwdm"); break;
    case BusQueryInstanceID: text = m_board->Name(); break;
    default: return STATUS_NOT_SUPPORTED;
  }
  WCHAR* answer = PoolText(&text);
  if (!answer) return STATUS_INSUFFICIENT_RESOURCES;
  irp->IoStatus.Information = reinterpret_cast<uintptr_t>(answer);
  return STATUS_SUCCESS;
}

NTSTATUS CWdmChild::DeviceText(IRP* irp) {
  DEVICE_TEXT_TYPE type = IoGetCurrentIrpStackLocation(irp)->Parameters.QueryDeviceText.DeviceTextType;
  if (type != DeviceTextDescription && type != DeviceTextLocationInformation) return irp->IoStatus.Status;
  WCHAR name[128] = {};
  uint32_t got = 0, valueType = 0;
  HANDLE key;
  bool found = false;
  if (NT_SUCCESS(KsOpenDeviceKey(m_board->Pdo(), &key))) {
    found = NT_SUCCESS(KsRegReadValue(key, u"FriendlyName", name, sizeof name - 2, &valueType, &got)) &&
            valueType == REG_SZ;
    KsRegClose(key);
  }
  if (!found && m_board->Pdo() && g_KsRoutines.IoGetDeviceProperty) {
    std::memset(name, 0, sizeof name);
    g_KsRoutines.IoGetDeviceProperty(m_board->Pdo(), DevicePropertyDeviceDescription, sizeof name - 2, name, &got);
  }
  name[127] = 0;
  UNICODE_STRING* text = KsStringAlloc(160);
  if (!text) return STATUS_INSUFFICIENT_RESOURCES;
  KsStringAppendText(text, u"WDM/KS on ");
  KsStringAppendText(text, name);
  WCHAR* answer = PoolText(text);
  KsStringFree(text);
  if (!answer) return STATUS_INSUFFICIENT_RESOURCES;
  irp->IoStatus.Information = reinterpret_cast<uintptr_t>(answer);
  return STATUS_SUCCESS;
}

NTSTATUS CWdmChild::Capabilities(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  DEVICE_CAPABILITIES* caps = s->Parameters.DeviceCapabilities.Capabilities;
  if (!caps || caps->Size < sizeof(DEVICE_CAPABILITIES)) return STATUS_INVALID_PARAMETER;
  NTSTATUS status = KsSendPnp(m_board->DeviceObject(), s, STATUS_NOT_SUPPORTED, nullptr);
  if (!NT_SUCCESS(status)) return status;
  caps->Flags |= CAP_Removable | CAP_UniqueID | CAP_SilentInstall | CAP_SurpriseRemovalOK;
  caps->Address = 0xFFFFFFFF;
  caps->UINumber = 0xFFFFFFFF;
  return STATUS_SUCCESS;
}

NTSTATUS CWdmChild::DeviceRelations(IRP* irp) {
  if (IoGetCurrentIrpStackLocation(irp)->Parameters.QueryDeviceRelations.Type != TargetDeviceRelation)
    return irp->IoStatus.Status;
  auto* list = static_cast<DEVICE_RELATIONS*>(KsAllocatePool(PagedPool, DeviceRelationsSize(1)));
  if (!list) return STATUS_INSUFFICIENT_RESOURCES;
  list->Count = 1;
  DeviceRelationsObjects(list)[0] = m_device;
  ObReferenceObject(m_device);
  irp->IoStatus.Information = reinterpret_cast<uintptr_t>(list);
  return STATUS_SUCCESS;
}

NTSTATUS CWdmChild::ForwardToParent(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  uintptr_t info = irp->IoStatus.Information;
  NTSTATUS status = KsSendPnp(m_board->DeviceObject(), s, irp->IoStatus.Status, &info);
  irp->IoStatus.Information = info;
  if (status == STATUS_NOT_SUPPORTED && Unanswered(s->MinorFunction)) status = STATUS_UNSUCCESSFUL;
  return status;
}

NTSTATUS CWdmChild::Pnp(IRP* irp) {
  switch (IoGetCurrentIrpStackLocation(irp)->MinorFunction) {
    case IRP_MN_QUERY_ID: return Complete(irp, QueryId(irp));
    case IRP_MN_QUERY_DEVICE_TEXT: return Complete(irp, DeviceText(irp));
    case IRP_MN_QUERY_CAPABILITIES: return Complete(irp, Capabilities(irp));
    case IRP_MN_QUERY_DEVICE_RELATIONS: return Complete(irp, DeviceRelations(irp));
    case IRP_MN_QUERY_RESOURCES:
    case IRP_MN_QUERY_RESOURCE_REQUIREMENTS:
    case IRP_MN_FILTER_RESOURCE_REQUIREMENTS: return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_START_DEVICE: SetState(KeStateStarted); return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_STOP_DEVICE: SetState(KeStateStopPending); return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_STOP_DEVICE: SetState(KeStateStopped); return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_CANCEL_STOP_DEVICE:
      if (m_state == KeStateStopPending) RestoreState();
      return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_QUERY_REMOVE_DEVICE:
      if (m_openHandles) return Complete(irp, STATUS_UNSUCCESSFUL);
      SetState(KeStateRemovePending);
      return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_CANCEL_REMOVE_DEVICE:
      if (m_state == KeStateRemovePending) RestoreState();
      return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_SURPRISE_REMOVAL: SetState(KeStateSurpriseRemoved); return Complete(irp, STATUS_SUCCESS);
    case IRP_MN_REMOVE_DEVICE:
      // A child its parent still reports stays for the next start; one
      // reported gone leaves its parent and is torn down.
      if (m_present && m_parent) {
        SetState(KeStateNone);
      } else {
        if (m_parent) m_parent->UnlinkChild(this);
        SetState(KeStateRemoved);
      }
      return Complete(irp, STATUS_SUCCESS);
    default: return Complete(irp, ForwardToParent(irp));
  }
}
