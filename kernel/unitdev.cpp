// The recorder-unit device objects: binding, open and close with the worker
// thread, and the unit's I/O-control handler.
#include "kernel/unitdev.h"

#include <cstring>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
CDspDevice* DspOf(FILE_OBJECT* file) { return file ? static_cast<CDspDevice*>(file->FsContext2) : nullptr; }

bool IsTwoUnitCard(uint32_t boardId) { return boardId == BoardIdTkePci; }
PortLink LinkOf(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTkePci: return PortLink::Memory;
    case BoardIdTkeEpp: return PortLink::Epp;
    default: return PortLink::Io;
  }
}

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

// The file name below the card's name: empty or \Unit0: 0; \Unit1: 1.
int UnitOfName(const UNICODE_STRING& name) {
  if (!name.Length) return 0;
  for (int unit = 0; unit < 2; ++unit) {
    UNICODE_STRING want = KsStringOf(unit ? u"\\Unit1" : u"\\Unit0");
    if (KsStringEqual(&name, &want, true)) return unit;
  }
  return -1;
}

// Unit 1 of the card sits 256 bytes above unit 0; the card's own register
// (at +0x200) is addressed from the card's base.
constexpr uint32_t UnitStride = 256;
}  // namespace

bool CUnitDevice::HasUnits(uint32_t boardId) {
  return boardId == BoardIdTke || boardId == BoardIdTkePci || boardId == BoardIdTkeEpp;
}

CUnitDevice::CUnitDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
                         uint32_t number)
    : CBoardDevice(device, pdo, lower, row, number),
      m_units(IsTwoUnitCard(row->boardId) ? 2 : 1),
      m_link(LinkOf(row->boardId)),
      m_dsp{{this, LinkOf(row->boardId), 0}, {this, LinkOf(row->boardId), 1}} {
  KsQueueInit(&m_queue, nullptr);
  KeInitializeEvent(&m_wake, SynchronizationEvent, false);
}

CUnitDevice::~CUnitDevice() {
  StopWorker();
  if (m_portCounted) EppPortRelease(m_portNumber);
}

NTSTATUS CUnitDevice::StartHardware() {
  uint32_t length = 0;
  if (m_link == PortLink::Epp) {
    // The port itself is borrowed at each open; here only its number.
    if (m_portCounted) EppPortRelease(m_portNumber);
    m_portCounted = false;
    bool resource = RegisterWindowCount() > 0;
    void* window = resource ? MapRegisterWindow(0, &length) : nullptr;
    if (resource && !window) return STATUS_DEVICE_CONFIGURATION_ERROR;
    return EppPortNumber(resource, reinterpret_cast<uintptr_t>(window), &m_portNumber, &m_portCounted);
  }
  void* window = MapRegisterWindow(0, &length);
  if (!window) return STATUS_DEVICE_CONFIGURATION_ERROR;
  auto base = reinterpret_cast<uintptr_t>(window);
  bool io = LinkOf(BoardId()) == PortLink::Io;
  HwRegs board = io ? HwRegs{} : HwRegs{base, false};
  for (uint32_t n = 0; n < m_units; ++n) {
    NTSTATUS status = m_dsp[n].Start(HwRegs{base + n * UnitStride, io}, board);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

void CUnitDevice::Stop() {
  for (uint32_t n = 0; n < m_units; ++n) m_dsp[n].Stop();
  if (m_portCounted) EppPortRelease(m_portNumber);
  m_portCounted = false;
  CBoardDevice::Stop();
}

NTSTATUS CUnitDevice::CreateHook(IRP* irp) {
  FILE_OBJECT* file = Stack(irp)->FileObject;
  int unit = m_units == 2 ? UnitOfName(file->FileName) : (file->FileName.Length ? -1 : 0);
  if (unit < 0) return STATUS_NO_SUCH_DEVICE;
  file->FsContext2 = &m_dsp[unit];
  return STATUS_SUCCESS;
}

NTSTATUS CUnitDevice::Create(IRP* irp) {
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

NTSTATUS CUnitDevice::Close(IRP* irp) {
  if (CDspDevice* dsp = DspOf(Stack(irp)->FileObject)) {
    dsp->Lock();
    CloseDsp(dsp, irp);
    dsp->Unlock();
  }
  NTSTATUS status = CBoardDevice::Close(irp);
  if (OpenHandles() == 0) StopWorker();
  return status;
}

NTSTATUS CUnitDevice::Cleanup(IRP* irp) {
  KsQueueFlush(&m_queue, Stack(irp)->FileObject);
  return CBoardDevice::Cleanup(irp);
}

NTSTATUS CUnitDevice::OpenDsp(CDspDevice* dsp, IRP* irp) {
  if (m_link != PortLink::Epp) return dsp->Open(irp);
  // One handle at a time holds the borrowed port.
  if (m_epp.file) return STATUS_ACCESS_DENIED;
  NTSTATUS status = EppLinkOpen(&m_epp, m_portNumber);
  if (!NT_SUCCESS(status)) return status;
  status = dsp->Start(EppLinkRegisters(m_epp), HwRegs{});
  if (NT_SUCCESS(status)) status = dsp->Open(irp);
  if (!NT_SUCCESS(status)) {
    dsp->Stop();
    EppLinkClose(&m_epp);
  }
  return status;
}

void CUnitDevice::CloseDsp(CDspDevice* dsp, IRP* irp) {
  if (m_link != PortLink::Epp) {
    dsp->Close(irp);
    return;
  }
  // Only one handle is ever open here, the one that borrowed the port.
  EppLinkClose(&m_epp);
  dsp->Close(irp);
  dsp->Stop();  // the port mapping ends with the link
}

void CUnitDevice::StopWorker() {
  if (!m_worker.Object) return;
  m_worker.StopFlag = true;
  KeSetEvent(&m_wake, IO_NO_INCREMENT, false);
  KsThreadStop(&m_worker);
}

// "CDspDevice::Thread": carries out the queued requests one at a time, each
// under its DSP device's mutex.
void CUnitDevice::Thread(void* context) {
  auto* self = static_cast<CUnitDevice*>(context);
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

NTSTATUS CUnitDevice::Identity(IRP* irp, CDspDevice* dsp) {
  // Version, the DSP program's word (none is known on a host port) and the kind.
  uint32_t words[3] = {QvInterfaceVersion, 0, dsp->Kind()};
  uint32_t out = Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  uint32_t bytes = out < sizeof words ? out / 4 * 4 : sizeof words;
  std::memcpy(irp->AssociatedIrp.SystemBuffer, words, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CUnitDevice::DeviceControl(IRP* irp) {
  IO_STACK_LOCATION* s = Stack(irp);
  FILE_OBJECT* file = s->FileObject;
  uint32_t code = s->Parameters.DeviceIoControl.IoControlCode;
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  CDspDevice* dsp = DspOf(file);
  if (!dsp) return STATUS_INTERNAL_ERROR;
  if ((out && !file->ReadAccess) || (in && !file->WriteAccess)) return STATUS_ACCESS_DENIED;
  uint32_t information = 0;
  NTSTATUS status = QvCheckBuffers(code, irp->AssociatedIrp.SystemBuffer, in, out, &information);
  if (!NT_SUCCESS(status)) {
    irp->IoStatus.Information = information;
    return status;
  }
  if (code == IOCTL_QV_GET_NAME) return CBoardDevice::DeviceControl(irp);
  if (QvIsOwnerOnly(code, in)) {
    if (dsp->Owner() && dsp->Owner() != file) return STATUS_DEVICE_BUSY;
    if (!dsp->Owner()) return STATUS_INVALID_DEVICE_STATE;
  }
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
