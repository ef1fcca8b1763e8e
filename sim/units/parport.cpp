#include "sim/units/parport.h"

#include <algorithm>
#include <string>
#include <vector>

namespace simunit {

namespace {
std::mutex g_portsLock;
std::vector<ParallelPort*> g_ports;
DRIVER_OBJECT* g_driver;  // the parallel-port driver while loaded

NTSTATUS AddPortDevice(DRIVER_OBJECT* driver, ParallelPort* port);

// Offsets from the port's base, and of the extended block.
constexpr uint32_t Data = 0, Status = 1, Control = 2, EppAddress = 3, EppData = 4;
constexpr uint32_t ExtendedOffset = 0x400, EcrOffset = 2;
constexpr uint8_t ControlInput = 0x20;
}  // namespace

ParallelPort::ParallelPort(uint32_t number, uint64_t base, HostUnit* unit, uint8_t ecr)
    : m_number(number), m_base(base), m_unit(unit), m_ecr(ecr) {
  m_registers.port = this;
  m_extended.port = this;
  simbus::Place(simbus::ResKind::Port, base, 8, &m_registers);
  simbus::Place(simbus::ResKind::Port, base + ExtendedOffset, 3, &m_extended);
  std::lock_guard<std::mutex> lk(g_portsLock);
  g_ports.push_back(this);
  // A port that appears while the driver is loaded gets its device at once.
  if (g_driver) AddPortDevice(g_driver, this);
}

ParallelPort::~ParallelPort() {
  simbus::Unplace(&m_registers);
  simbus::Unplace(&m_extended);
  std::lock_guard<std::mutex> lk(g_portsLock);
  std::erase(g_ports, this);
  if (m_device) IoDeleteDevice(m_device);
}

uint8_t ParallelPort::Ecr() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_ecr;
}
bool ParallelPort::Allocated() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_allocated;
}
uint32_t ParallelPort::InfoHeld() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_infoHeld;
}
void ParallelPort::AllocatedElsewhere(bool held) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_heldElsewhere = held;
}

void ParallelPort::ShortInformation(bool shortAnswer) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_shortInfo = shortAnswer;
}
bool ParallelPort::ShortInformation() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_shortInfo;
}

bool ParallelPort::TryAllocate() {
  std::lock_guard<std::mutex> lk(m_lock);
  if (m_allocated || m_heldElsewhere) return false;
  m_allocated = true;
  return true;
}
void ParallelPort::Free() {
  std::lock_guard<std::mutex> lk(m_lock);
  m_allocated = false;
}
void ParallelPort::InfoTaken(int delta) {
  std::lock_guard<std::mutex> lk(m_lock);
  if (delta < 0 && !m_infoHeld) return;
  m_infoHeld += delta;
}

// The unit's own lock orders its accesses; the port's lock only guards the
// port's latches, and is not held while the unit is called.
uint32_t ParallelPort::Registers::Read(uint32_t offset, uint32_t width) {
  if (width != 1) return 0xFFFFFFFF >> (32 - 8 * width);
  std::unique_lock<std::mutex> lk(port->m_lock);
  bool epp = port->EppMode() && port->m_unit;
  bool input = port->m_control & ControlInput;
  switch (offset) {
    case Data: return port->m_data;
    case Status:
      lk.unlock();
      return port->m_unit ? port->m_unit->EppStatus(input) : 0xFF;
    case Control: return port->m_control;
    case EppAddress: return port->m_address;
    case EppData:
      lk.unlock();
      return epp ? port->m_unit->EppRead() : 0xFF;
    default: return 0xFF;
  }
}

void ParallelPort::Registers::Write(uint32_t offset, uint32_t width, uint32_t value) {
  if (width != 1) return;
  std::unique_lock<std::mutex> lk(port->m_lock);
  bool epp = port->EppMode() && port->m_unit;
  auto byte = static_cast<uint8_t>(value);
  switch (offset) {
    case Data: port->m_data = byte; break;
    case Control: port->m_control = byte; break;
    case EppAddress:
      port->m_address = byte;
      lk.unlock();
      if (epp) port->m_unit->EppAddress(byte);
      break;
    case EppData:
      lk.unlock();
      if (epp) port->m_unit->EppWrite(byte);
      break;
    default: break;
  }
}

// The extended control register: modes in bits 5..7 and the interrupt and
// DMA switches in bits 3..4 as written; bit 0 (FIFO empty) reads 1, bit 1
// (FIFO full) 0, bit 2 as written.
uint32_t ParallelPort::Extended::Read(uint32_t offset, uint32_t width) {
  if (width != 1 || offset != EcrOffset) return 0xFF;
  std::lock_guard<std::mutex> lk(port->m_lock);
  return (port->m_ecr & 0xFC) | 0x01;
}

void ParallelPort::Extended::Write(uint32_t offset, uint32_t width, uint32_t value) {
  if (width != 1 || offset != EcrOffset) return;
  std::lock_guard<std::mutex> lk(port->m_lock);
  port->m_ecr = static_cast<uint8_t>((value & 0xFC) | 0x01);
}

// ---- the parallel-port driver ----------------------------------------------------------------

namespace {
ParallelPort* PortOf(DEVICE_OBJECT* device) { return *static_cast<ParallelPort**>(device->DeviceExtension); }

bool TryAllocateRoutine(void* context) { return static_cast<ParallelPort*>(context)->TryAllocate(); }
void FreeRoutine(void* context) { static_cast<ParallelPort*>(context)->Free(); }
uint32_t QueryWaitersRoutine(void*) { return 0; }

NTSTATUS Complete(IRP* irp, NTSTATUS status, uintptr_t information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

NTSTATUS OpenClose(DEVICE_OBJECT*, IRP* irp) { return Complete(irp, STATUS_SUCCESS, 0); }

NTSTATUS Internal(DEVICE_OBJECT* device, IRP* irp) {
  ParallelPort* port = PortOf(device);
  const auto& p = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl;
  switch (p.IoControlCode) {
    case IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO: {
      if (p.OutputBufferLength < sizeof(PARALLEL_PORT_INFORMATION)) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
      auto* info = static_cast<PARALLEL_PORT_INFORMATION*>(irp->AssociatedIrp.SystemBuffer);
      *info = {};
      info->OriginalController = port->Base();
      info->Controller = reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(port->Base()));
      info->SpanOfController = 8;
      info->TryAllocatePort = TryAllocateRoutine;
      info->FreePort = FreeRoutine;
      info->QueryNumWaiters = QueryWaitersRoutine;
      info->Context = port;
      port->InfoTaken(1);
      return Complete(irp, STATUS_SUCCESS, port->ShortInformation() ? 16 : sizeof *info);
    }
    case IOCTL_INTERNAL_RELEASE_PARALLEL_PORT_INFO:
      port->InfoTaken(-1);
      return Complete(irp, STATUS_SUCCESS, 0);
    default: return Complete(irp, STATUS_INVALID_PARAMETER, 0);
  }
}

void Unload(DRIVER_OBJECT* driver) {
  std::lock_guard<std::mutex> lk(g_portsLock);
  for (ParallelPort* port : g_ports) port->m_device = nullptr;
  while (DEVICE_OBJECT* d = driver->DeviceObject) IoDeleteDevice(d);
  g_driver = nullptr;
}

NTSTATUS AddPortDevice(DRIVER_OBJECT* driver, ParallelPort* port) {
  std::u16string name = u"\\Device\\ParallelPort";
  for (char c : std::to_string(port->Number())) name += static_cast<char16_t>(c);
  UNICODE_STRING u{static_cast<uint16_t>(name.size() * 2), static_cast<uint16_t>(name.size() * 2), name.data()};
  DEVICE_OBJECT* device;
  NTSTATUS status = IoCreateDevice(driver, sizeof(ParallelPort*), &u, 0x16, 0, false, &device);
  if (!NT_SUCCESS(status)) return status;
  *static_cast<ParallelPort**>(device->DeviceExtension) = port;
  device->Flags &= ~DO_DEVICE_INITIALIZING;
  port->m_device = device;
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS ParallelPortDriverEntry(DRIVER_OBJECT* driver, const UNICODE_STRING*) {
  driver->MajorFunction[IRP_MJ_CREATE] = OpenClose;
  driver->MajorFunction[IRP_MJ_CLEANUP] = OpenClose;
  driver->MajorFunction[IRP_MJ_CLOSE] = OpenClose;
  driver->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] = Internal;
  driver->DriverUnload = Unload;
  {
    std::lock_guard<std::mutex> lk(g_portsLock);
    for (ParallelPort* port : g_ports) {
      NTSTATUS status = AddPortDevice(driver, port);
      if (NT_SUCCESS(status)) continue;
      for (ParallelPort* p : g_ports) p->m_device = nullptr;
      while (DEVICE_OBJECT* d = driver->DeviceObject) IoDeleteDevice(d);
      return status;
    }
    g_driver = driver;
  }
  return STATUS_SUCCESS;
}

}  // namespace simunit
