// DSP-bearing device objects: binding, open and close with the worker
// thread, and the I/O-control handler every board and unit shares.
#include "kernel/dspboard.h"

#include <cstring>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }

// The codes answered in the caller's thread; every other one goes to the
// worker.
bool AnsweredAtOnce(uint32_t code) {
  switch (code) {
    case IOCTL_QV_GET_ID:
    case IOCTL_QV_GET_STATUS:
    case IOCTL_QV_ATTACH:
    case IOCTL_QV_DETACH:
    case IOCTL_QV_BOOT:
    case IOCTL_QV_TIMEOUT: return true;
    default: return false;
  }
}
}  // namespace

CDspBoardDevice::CDspBoardDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower,
                                 const BoardRow* row, uint32_t number)
    : CBoardDevice(device, pdo, lower, row, number) {
  KsQueueInit(&m_queue, nullptr);
  KeInitializeEvent(&m_wake, SynchronizationEvent, false);
}

CDspBoardDevice::~CDspBoardDevice() { StopWorker(); }

CDspDevice* CDspBoardDevice::BindDsp(FILE_OBJECT* file) { return file->FileName.Length ? nullptr : m_default; }

NTSTATUS CDspBoardDevice::CreateHook(IRP* irp) {
  FILE_OBJECT* file = Stack(irp)->FileObject;
  CDspDevice* dsp = BindDsp(file);
  if (!dsp) return STATUS_NO_SUCH_DEVICE;
  file->FsContext2 = dsp;
  return STATUS_SUCCESS;
}

NTSTATUS CDspBoardDevice::Create(IRP* irp) {
  NTSTATUS status = CBoardDevice::Create(irp);
  if (!NT_SUCCESS(status)) return status;
  CDspDevice* dsp = DspOf(Stack(irp)->FileObject);
  if (!dsp) {
    CBoardDevice::Close(irp);
    return STATUS_INTERNAL_ERROR;
  }
  dsp->Lock();
  status = OpenDsp(dsp, irp);
  if (NT_SUCCESS(status) && !m_worker.Object) {
    status = KsThreadStart(&m_worker, Thread, this);
    if (!NT_SUCCESS(status)) CloseDsp(dsp, irp);
  }
  dsp->Unlock();
  if (!NT_SUCCESS(status)) CBoardDevice::Close(irp);
  return status;
}

NTSTATUS CDspBoardDevice::Close(IRP* irp) {
  if (CDspDevice* dsp = DspOf(Stack(irp)->FileObject)) {
    dsp->Lock();
    CloseDsp(dsp, irp);
    dsp->Unlock();
  }
  NTSTATUS status = CBoardDevice::Close(irp);
  if (OpenHandles() == 0) StopWorker();
  return status;
}

NTSTATUS CDspBoardDevice::Cleanup(IRP* irp) {
  KsQueueFlush(&m_queue, Stack(irp)->FileObject);
  return CBoardDevice::Cleanup(irp);
}

void CDspBoardDevice::StopWorker() {
  if (!m_worker.Object) return;
  m_worker.StopFlag = true;
  KeSetEvent(&m_wake, IO_NO_INCREMENT, false);
  KsThreadStop(&m_worker);
}

// "CDspDevice::Thread": carries out the queued requests one at a time, each
// under its DSP device's mutex.
void CDspBoardDevice::Thread(void* context) {
  auto* self = static_cast<CDspBoardDevice*>(context);
  for (;;) {
    IRP* irp = KsQueueRemoveFirst(&self->m_queue);
    if (!irp) {
      if (self->m_worker.StopFlag) PsTerminateSystemThread(STATUS_SUCCESS);
      KeWaitForSingleObject(&self->m_wake, Executive, KernelMode, false, nullptr);
      continue;
    }
    CDspDevice* dsp = DspOf(Stack(irp)->FileObject);
    dsp->Lock();
    // The ready check, then the second pass of the request.
    NTSTATUS status = dsp->Probe();
    if (NT_SUCCESS(status)) status = dsp->Request(irp);
    if (status != STATUS_PENDING) self->CompletePending(irp, status);
    dsp->Unlock();
  }
}

NTSTATUS CDspBoardDevice::Identity(IRP* irp, CDspDevice* dsp) {
  uint32_t words[3] = {QvInterfaceVersion, dsp->ProgramWord(), dsp->Kind()};
  uint32_t out = Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  uint32_t bytes = out < sizeof words ? out / 4 * 4 : sizeof words;
  std::memcpy(irp->AssociatedIrp.SystemBuffer, words, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CDspBoardDevice::DeviceControl(IRP* irp) {
  IO_STACK_LOCATION* s = Stack(irp);
  FILE_OBJECT* file = s->FileObject;
  uint32_t code = s->Parameters.DeviceIoControl.IoControlCode;
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  CDspDevice* dsp = DspOf(file);
  if (!dsp) return STATUS_INTERNAL_ERROR;
  if ((out && !file->ReadAccess) || (in && !file->WriteAccess)) return STATUS_ACCESS_DENIED;
  bool handled = false;
  NTSTATUS status = DispatchCode(irp, dsp, &handled);
  if (handled) return status;
  uint32_t information = 0;
  status = QvCheckBuffers(code, irp->AssociatedIrp.SystemBuffer, in, out, &information);
  if (!NT_SUCCESS(status)) {
    irp->IoStatus.Information = information;
    return status;
  }
  if (code == IOCTL_QV_GET_NAME) return CBoardDevice::DeviceControl(irp);
  if (QvIsOwnerOnly(code, in) && dsp->Owner() != file) return dsp->NotOwner(code, dsp->Owner() != nullptr);
  if (!AnsweredAtOnce(code)) {
    // Carried out on the worker, so the caller's thread never waits for the
    // hardware (the worker may hold the unit for a whole time-out).
    status = KsQueueInsert(&m_queue, irp, CancelQueued);
    if (status == STATUS_PENDING) KeSetEvent(&m_wake, IO_NO_INCREMENT, false);
    return status;
  }
  irp->IoStatus.Status = STATUS_SUCCESS;  // the dispatch pass
  dsp->Lock();
  if (code == IOCTL_QV_BOOT) {
    status = dsp->Boot(irp->AssociatedIrp.SystemBuffer, in);
  } else {
    status = dsp->Request(irp);
    if (NT_SUCCESS(status) && (code == IOCTL_QV_GET_ID || code == IOCTL_QV_GET_STATUS)) status = Identity(irp, dsp);
  }
  dsp->Unlock();
  return status;
}
