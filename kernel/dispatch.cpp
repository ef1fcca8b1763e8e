// The dispatch routines: each takes a reference on the device's object,
// calls its operation and completes the request unless it was left pending.
#include "kernel/kedevice.h"
#include "kernel/qvdev.h"

#include <cstdio>
#include <cstring>

namespace {
NTSTATUS Complete(IRP* irp, NTSTATUS status, uintptr_t information = 0) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// Results that callers meet in normal use and that are not logged.
struct QuietResult {
  NTSTATUS status;
  uint32_t onlyCode[2];  // when set, quiet only for these codes
};
const QuietResult QuietResults[] = {
    {STATUS_DEVICE_BUSY, {}},        {STATUS_NO_MORE_ENTRIES, {}},  {STATUS_INVALID_PARAMETER, {}},
    {STATUS_BUFFER_TOO_SMALL, {}},   {STATUS_SHARING_VIOLATION, {}}, {STATUS_DEVICE_NOT_READY, {}},
    {STATUS_CANCELLED, {}},          {STATUS_BUS_RESET, {IOCTL_QV_ATTACH, IOCTL_QV_BOOT}},
};

bool IsQuiet(NTSTATUS status, uint32_t code) {
  for (const auto& q : QuietResults) {
    if (q.status != status) continue;
    if (!q.onlyCode[0]) return true;
    if (q.onlyCode[0] == code || q.onlyCode[1] == code) return true;
  }
  return false;
}
}  // namespace

void KeLogIoctlFailure(DEVICE_OBJECT* device, const IRP* irp, NTSTATUS status) {
  if (status == STATUS_SUCCESS || status == STATUS_PENDING) return;
  const IO_STACK_LOCATION* s = const_cast<IRP*>(irp)->Tail.Overlay.CurrentStackLocation;
  uint32_t code = s->Parameters.DeviceIoControl.IoControlCode;
  if (IsQuiet(status, code)) return;
  if (status == STATUS_IO_TIMEOUT) return KsLogEvent(device, QvEventTimeout, status, nullptr, 0, nullptr);
  if (status == STATUS_BUS_RESET) return KsLogEvent(device, QvEventReset, status, nullptr, 0, nullptr);
  char text[12];
  std::snprintf(text, sizeof text, "0x%08X", code);
  WCHAR wide[12];
  for (size_t i = 0; i < sizeof text; ++i) wide[i] = static_cast<unsigned char>(text[i]);
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  const void* input = irp->AssociatedIrp.SystemBuffer;
  KsLogEvent(device, QvEventIoctlFailed, status, wide, input ? (in < 64 ? in : 64) : 0, input);
}

NTSTATUS KeDispatchCreateClose(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  uint8_t major = IoGetCurrentIrpStackLocation(irp)->MajorFunction;
  bool closing = major == IRP_MJ_CLOSE || major == IRP_MJ_CLEANUP;
  bool referenced = d->Acquire();
  // A handle open when its device went away must still be cleaned up and
  // closed; everything else is refused.
  if (!referenced && !closing) return Complete(irp, STATUS_DELETE_PENDING);
  NTSTATUS status;
  bool destroy = false;
  d->Lock();
  switch (major) {
    case IRP_MJ_CREATE: status = d->Create(irp); break;
    case IRP_MJ_CLOSE: status = d->HandleClose(irp, &destroy); break;
    case IRP_MJ_CLEANUP: status = d->Cleanup(irp); break;
    case IRP_MJ_FLUSH_BUFFERS: status = d->Flush(irp); break;
    default: status = STATUS_INVALID_DEVICE_REQUEST; break;
  }
  d->Unlock();
  Complete(irp, status);
  if (referenced) d->Release();
  if (destroy) d->Destroy();  // only without a reference: the device was removed
  return status;
}

NTSTATUS KeDispatchReadWrite(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) return Complete(irp, STATUS_DELETE_PENDING);
  bool read = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_READ;
  NTSTATUS status = read ? d->Read(irp) : d->Write(irp);
  if (status == STATUS_PENDING) return status;
  Complete(irp, status, NT_SUCCESS(status) ? irp->IoStatus.Information : 0);
  d->Release();
  return status;
}

NTSTATUS KeDispatchDeviceControl(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) return Complete(irp, STATUS_DELETE_PENDING);
  irp->IoStatus.Information = 0;
  FILE_OBJECT* file = IoGetCurrentIrpStackLocation(irp)->FileObject;
  auto* handle = file ? static_cast<CKeHandle*>(file->FsContext) : nullptr;
  NTSTATUS status = handle ? handle->DeviceControl(irp) : STATUS_INVALID_DEVICE_REQUEST;
  if (status == STATUS_INVALID_DEVICE_REQUEST) status = d->DeviceControl(irp);
  // A pending request belongs to whoever queued it, with its reference.
  if (status == STATUS_PENDING) return status;
  KeLogIoctlFailure(device, irp, status);
  // Information never claims more than the caller's output buffer.
  uint32_t out = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  uintptr_t info = irp->IoStatus.Information;
  if (info > out && status != STATUS_BUFFER_TOO_SMALL) info = out;
  irp->IoStatus.Information = info;
  irp->IoStatus.Status = status;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  d->Release();
  return status;
}

namespace {
NTSTATUS QueryInformation(IRP* irp) {
  IO_STACK_LOCATION* s = IoGetCurrentIrpStackLocation(irp);
  void* buffer = irp->AssociatedIrp.SystemBuffer;
  uint32_t length = s->Parameters.QueryFile.Length;
  switch (s->Parameters.QueryFile.FileInformationClass) {
    case FileStandardInformation: {
      if (length < sizeof(FILE_STANDARD_INFORMATION) || !buffer) return STATUS_BUFFER_TOO_SMALL;
      std::memset(buffer, 0, sizeof(FILE_STANDARD_INFORMATION));
      irp->IoStatus.Information = sizeof(FILE_STANDARD_INFORMATION);
      return STATUS_SUCCESS;
    }
    case FilePositionInformation: {
      if (length < sizeof(FILE_POSITION_INFORMATION) || !buffer) return STATUS_BUFFER_TOO_SMALL;
      std::memset(buffer, 0, sizeof(FILE_POSITION_INFORMATION));
      irp->IoStatus.Information = sizeof(FILE_POSITION_INFORMATION);
      return STATUS_SUCCESS;
    }
    default: return STATUS_INVALID_PARAMETER;
  }
}

NTSTATUS SetInformation(IRP* irp) {
  switch (IoGetCurrentIrpStackLocation(irp)->Parameters.SetFile.FileInformationClass) {
    case FileAllocationInformation:
    case FileEndOfFileInformation: return STATUS_SUCCESS;
    default: return STATUS_INVALID_PARAMETER;
  }
}
}  // namespace

NTSTATUS KeDispatchInformation(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) return Complete(irp, STATUS_DELETE_PENDING);
  irp->IoStatus.Information = 0;
  bool query = IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_QUERY_INFORMATION;
  NTSTATUS status = query ? QueryInformation(irp) : SetInformation(irp);
  Complete(irp, status, NT_SUCCESS(status) ? irp->IoStatus.Information : 0);
  d->Release();
  return status;
}

NTSTATUS KeDispatchPnp(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) return Complete(irp, STATUS_DELETE_PENDING);
  DRIVER_OBJECT* driver = device->DriverObject;
  NTSTATUS status = d->Pnp(irp);
  if (d->State() == KeStateRemoved) {
    d->Remove(true);
    if (g_KeAfterRemoval) g_KeAfterRemoval(driver);
  } else {
    d->Release();
  }
  return status;
}

NTSTATUS KeDispatchPower(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) {
    if (g_KsRoutines.PoStartNextPowerIrp) g_KsRoutines.PoStartNextPowerIrp(irp);
    return Complete(irp, STATUS_DELETE_PENDING);
  }
  NTSTATUS status = d->Power(irp);
  d->Release();
  return status;
}

NTSTATUS KeDispatchSystemControl(DEVICE_OBJECT* device, IRP* irp) {
  CKeDevice* d = CKeDevice::From(device);
  if (!d->Acquire()) return Complete(irp, STATUS_DELETE_PENDING);
  NTSTATUS status;
  if (d->Lower()) {
    IoSkipCurrentIrpStackLocation(irp);
    status = IoCallDriver(d->Lower(), irp);
  } else {
    status = irp->IoStatus.Status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
  }
  d->Release();
  return status;
}
