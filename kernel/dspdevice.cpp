// CDspDevice: ownership, time-out, the pass-through of host commands and
// block transfers, links and the group command.
#include "kernel/dspdevice.h"

#include "kernel/protocol.h"
#include "kernel/dspboard.h"

#include <cstring>

namespace {
// The driver-wide list of DSP devices. Its links change only under both
// locks; a walk that waits for nothing needs only the spin lock. The group
// lock orders group commands: a group command takes its members' mutexes
// only while holding it, and holds no device mutex while waiting for it, so
// two group commands never wait on each other's members.
CDspDevice* g_dspHead;
KSPIN_LOCK g_dspListLock;
KMUTEX g_dspGroupLock;
bool InitLocks() {
  KeInitializeSpinLock(&g_dspListLock);
  KeInitializeMutex(&g_dspGroupLock, 0);
  return true;
}
void EnsureLocks() { static const bool done = InitLocks(); (void)done; }

void LockGroup() { KeWaitForSingleObject(&g_dspGroupLock, Executive, KernelMode, false, nullptr); }
void UnlockGroup() { KeReleaseMutex(&g_dspGroupLock, false); }

IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
uint32_t InLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.InputBufferLength; }
uint32_t OutLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength; }
FILE_OBJECT* FileOf(IRP* irp) { return Stack(irp)->FileObject; }
constexpr uint32_t SpinMs = 2;
}  // namespace

// The list walks that need the device internals.
class CDspList {
 public:
  static void Insert(CDspDevice* d) {
    KIRQL irql;
    KeAcquireSpinLock(&g_dspListLock, &irql);
    d->m_next = g_dspHead;
    g_dspHead = d;
    KeReleaseSpinLock(&g_dspListLock, irql);
  }
  static void Remove(CDspDevice* d) {
    KIRQL irql;
    KeAcquireSpinLock(&g_dspListLock, &irql);
    for (CDspDevice** p = &g_dspHead; *p; p = &(*p)->m_next)
      if (*p == d) {
        *p = d->m_next;
        break;
      }
    KeReleaseSpinLock(&g_dspListLock, irql);
  }
};

CDspDevice::CDspDevice(CDspBoardDevice* device, PortLink link, uint32_t unit)
    : m_device(device), m_linkKind(link), m_unit(unit) {
  EnsureLocks();
  KeInitializeMutex(&m_mutex, 0);
  HostPortClear(&m_port);
  LockGroup();
  CDspList::Insert(this);
  UnlockGroup();
}

CDspDevice::~CDspDevice() {
  // No group command may be walking the list while this device leaves it.
  LockGroup();
  CDspList::Remove(this);
  UnlockGroup();
  Stop();
}

void CDspDevice::Lock() { KeWaitForSingleObject(&m_mutex, Executive, KernelMode, false, nullptr); }
void CDspDevice::Unlock() { KeReleaseMutex(&m_mutex, false); }

void CDspDevice::SetOwner(FILE_OBJECT* owner) { m_owner = owner; }

NTSTATUS CDspDevice::NotOwner(uint32_t, bool otherOwner) const {
  return otherOwner ? STATUS_DEVICE_BUSY : STATUS_INVALID_DEVICE_STATE;
}

void CDspDevice::Stop() {
  m_regs = {};
  m_board = {};
  m_port.regs = {};
  m_port.board = {};
}

NTSTATUS CDspDevice::Start(const HwRegs& regs, const HwRegs& board) {
  if (!regs.base) return STATUS_DEVICE_CONFIGURATION_ERROR;
  m_regs = regs;
  m_board = board;
  m_port.regs = regs;
  m_port.board = board;
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::Open(IRP*) {
  if (m_kind) return STATUS_SHARING_VIOLATION;
  if (!m_regs.base) return STATUS_DEVICE_NOT_READY;
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::Close(IRP* irp) {
  m_link = nullptr;
  HostPortClear(&m_port);
  m_timeout = DefaultTimeout;
  m_kind = 0;
  if (FileOf(irp) == m_owner) SetOwner(nullptr);
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::Boot(const void*, uint32_t length) {
  if (length) return STATUS_INVALID_PARAMETER;
  m_port.ops->Reset(&m_port);
  return Probe();
}

NTSTATUS CDspDevice::Probe() {
  if (m_kind) return STATUS_SUCCESS;
  uint32_t order[2] = {UnitKindPort1, UnitKindPort2};
  uint32_t tries = 2;
  if (m_linkKind == PortLink::Memory) {
    // The PCI card: second generation first; the first generation only on
    // unit 0, and unit 1 not at all beside a first-generation unit 0.
    CDspDevice* unit0 = m_device->UnitDsp(0);
    if (m_unit == 1 && unit0 && unit0->m_kind == UnitKindPort1) return STATUS_DEVICE_NOT_READY;
    order[0] = UnitKindPort2;
    order[1] = UnitKindPort1;
    tries = m_unit == 0 ? 2 : 1;
  }
  for (uint32_t i = 0; i < tries; ++i) {
    HostPortSelect(&m_port, HostPortOpsFor(m_linkKind, order[i]));
    m_port.regs = m_regs;
    m_port.board = m_board;
    if (m_port.ops->Probe(&m_port)) {
      m_kind = order[i];
      return STATUS_SUCCESS;
    }
  }
  HostPortClear(&m_port);
  return STATUS_DEVICE_NOT_READY;
}

// ---- the codes on the dispatch path --------------------------------------------------

NTSTATUS CDspDevice::DspDeviceIoctl(IRP* irp) {
  FILE_OBJECT* file = FileOf(irp);
  switch (Stack(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_ATTACH:
      if (m_owner && m_owner != file) return STATUS_DEVICE_BUSY;
      SetOwner(file);
      return Probe();
    case IOCTL_QV_DETACH:
      if (m_owner == file) SetOwner(nullptr);
      return STATUS_SUCCESS;
    case IOCTL_QV_GET_ID:
    case IOCTL_QV_GET_STATUS: return STATUS_SUCCESS;
    case IOCTL_QV_TIMEOUT: {
      uint32_t old = m_timeout;
      auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
      if (InLength(irp) >= 4) {
        uint32_t ms;
        std::memcpy(&ms, buffer, 4);
        m_timeout = ms < DefaultTimeout ? DefaultTimeout : ms > MaxTimeout ? MaxTimeout : ms;
      }
      if (OutLength(irp) >= 4) {
        std::memcpy(buffer, &old, 4);
        irp->IoStatus.Information = 4;
      }
      return STATUS_SUCCESS;
    }
    default: return STATUS_INVALID_DEVICE_REQUEST;
  }
}

// ---- queued requests ---------------------------------------------------------------------

NTSTATUS CDspDevice::Request(IRP* irp) { return DspCommandIoctl(irp); }

NTSTATUS CDspDevice::DspCommandIoctl(IRP* irp) {
  if (irp->IoStatus.Status != STATUS_PENDING) return DspDeviceIoctl(irp);
  uint32_t code = Stack(irp)->Parameters.DeviceIoControl.IoControlCode;
  if (code == IOCTL_QV_LOAD) code = 0x83AE3200;
  QvHostCommand c;
  if (QvHostPassThrough(code, &c)) return PassThrough(irp, code);
  if (code == IOCTL_QV_LINK) return Link(irp);
  return DspDeviceIoctl(irp);
}

NTSTATUS CDspDevice::Link(IRP* irp) {
  uint32_t in = InLength(irp), out = OutLength(irp);
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (in >= 4 && out == 0) {
    uint32_t cookie;
    std::memcpy(&cookie, buffer, 4);
    if (cookie == 0) {
      m_link = nullptr;
      return STATUS_SUCCESS;
    }
    // The cookie travels as a 32-bit word: compare it with each handed-out
    // address's word rather than turning it back into a pointer.
    KIRQL irql;
    KeAcquireSpinLock(&g_dspListLock, &irql);
    CDspDevice* master = nullptr;
    for (CDspDevice* d = g_dspHead; d && !master; d = d->m_next)
      if (d->m_link && static_cast<uint32_t>(reinterpret_cast<uintptr_t>(d->m_link)) == cookie) master = d->m_link;
    KeReleaseSpinLock(&g_dspListLock, irql);
    if (!master) return STATUS_INVALID_PARAMETER;
    m_link = master;
    return STATUS_SUCCESS;
  }
  if (in >= 1 && in <= 3) return STATUS_BUFFER_TOO_SMALL;
  if (in == 0 && out >= 4) {
    m_link = this;
    uint32_t cookie = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this));
    std::memcpy(buffer, &cookie, 4);
    irp->IoStatus.Information = 4;
    return STATUS_SUCCESS;
  }
  if (in == 0 && out >= 1) return STATUS_BUFFER_TOO_SMALL;
  return STATUS_INVALID_PARAMETER;
}

NTSTATUS CDspDevice::StallCheck(uint32_t start) const {
  uint32_t elapsed = KsTimeMs() - start;
  if (elapsed >= m_timeout) return STATUS_IO_TIMEOUT;
  if (elapsed >= SpinMs) KsSleepMs(1);
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::WaitCommandReady() {
  uint32_t start = KsTimeMs();
  while (!m_port.ops->Command(&m_port, 0)) {
    NTSTATUS status = StallCheck(start);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::IssueCommand(uint32_t vector) {
  NTSTATUS status = WaitCommandReady();
  if (!NT_SUCCESS(status)) return status;
  m_port.ops->Command(&m_port, vector);
  return STATUS_SUCCESS;
}

NTSTATUS CDspDevice::TransferLoop(bool write, uint32_t format, uint8_t* buffer, uint32_t length, uint32_t* done) {
  *done = 0;
  if (!m_port.movers || !m_port.movers[(write ? 8 : 0) + format]) return STATUS_INVALID_PARAMETER;
  if (!length) return STATUS_SUCCESS;
  auto op = write ? m_port.ops->Write : m_port.ops->Read;
  op(&m_port, format, nullptr, nullptr);
  uint8_t* end = buffer + length;
  uint8_t* position = buffer;
  uint32_t start = KsTimeMs();
  for (;;) {
    uint8_t* p = op(&m_port, format, position, end);
    if (!p || p == position) {
      // No progress (a port that took no whole word counts as not ready).
      NTSTATUS status = StallCheck(start);
      if (!NT_SUCCESS(status)) {
        *done = static_cast<uint32_t>(position - buffer);
        return status;
      }
      continue;
    }
    if (p >= end || static_cast<uint32_t>(end - p) < MoverHostBytes(write, format)) {
      *done = static_cast<uint32_t>(p - buffer);
      return STATUS_SUCCESS;
    }
    position = p;
    start = KsTimeMs();
  }
}

NTSTATUS CDspDevice::PassThrough(IRP* irp, uint32_t code) {
  QvHostCommand c;
  QvHostPassThrough(code, &c);
  uint32_t vector = 0x10 | c.nibble;
  uint32_t in = InLength(irp), out = OutLength(irp);
  if (m_link) {
    if (in || out) return STATUS_INVALID_PARAMETER;
    return GroupCommand(vector);
  }
  if (c.nibble != 1) {
    NTSTATUS status = IssueCommand(vector);
    if (!NT_SUCCESS(status)) return status;
  }
  // Input and output share the system buffer: the input is written before
  // the reply overwrites it.
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  uint32_t done = 0;
  NTSTATUS status = STATUS_SUCCESS;
  if (in) {
    status = TransferLoop(true, c.writeFormat, buffer, in, &done);
    if (!NT_SUCCESS(status)) return status;
  }
  if (out) {
    status = TransferLoop(false, c.readFormat, buffer, out, &done);
    irp->IoStatus.Information = done;
  }
  return status;
}

NTSTATUS CDspDevice::GroupCommand(uint32_t vector) {
  CDspDevice* cookie = m_link;
  // This thread holds its own mutex once (the worker took it); it lets it go
  // so that only the group lock is held while waiting for members.
  Unlock();
  LockGroup();
  NTSTATUS status = STATUS_SUCCESS;
  constexpr uint32_t MaxMembers = 64;
  CDspDevice* members[MaxMembers];
  uint32_t count = 0;
  for (CDspDevice* d = g_dspHead; d; d = d->m_next) {
    if (d->m_link != cookie) continue;
    d->Lock();
    // The link may have gone while waiting for the mutex.
    if (d->m_link != cookie || count == MaxMembers) {
      d->Unlock();
      continue;
    }
    members[count++] = d;
    if (!NT_SUCCESS(d->WaitCommandReady())) status = STATUS_DEVICE_NOT_READY;
  }
  if (NT_SUCCESS(status)) {
    KIRQL irql;
    IoAcquireCancelSpinLock(&irql);
    for (uint32_t i = 0; i < count; ++i)
      if (!members[i]->m_port.ops->Command(&members[i]->m_port, vector)) status = STATUS_DEVICE_NOT_READY;
    IoReleaseCancelSpinLock(irql);
  }
  for (uint32_t i = 0; i < count; ++i) {
    members[i]->m_link = nullptr;
    members[i]->Unlock();
  }
  UnlockGroup();
  Lock();
  return status;
}
