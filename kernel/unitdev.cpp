// The recorder-unit device objects: their port links, the two-unit card's
// binding by name and board-memory handles, and the parallel-port links of
// the EPP units.
#include "kernel/unitdev.h"

#include "kernel/boardmem.h"

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }

bool IsTwoUnitCard(uint32_t boardId) { return boardId == BoardIdTkePci; }
PortLink LinkOf(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTkePci: return PortLink::Memory;
    case BoardIdTkeEpp:
    case BoardIdTkeEppPci: return PortLink::Epp;
    default: return PortLink::Io;
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
  return boardId == BoardIdTke || boardId == BoardIdTkePci || boardId == BoardIdTkeEpp ||
         boardId == BoardIdTkeEppPci;
}

CUnitDevice::CUnitDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
                         uint32_t number)
    : CDspBoardDevice(device, pdo, lower, row, number),
      m_units(IsTwoUnitCard(row->boardId) ? 2 : 1),
      m_link(LinkOf(row->boardId)),
      m_pciCard(row->boardId == BoardIdTkeEppPci),
      m_dsp{{this, LinkOf(row->boardId), 0}, {this, LinkOf(row->boardId), 1}} {
  SetDefaultDsp(&m_dsp[0]);
}

CUnitDevice::~CUnitDevice() {
  if (m_portCounted) EppPortRelease(m_portNumber);
}

NTSTATUS CUnitDevice::StartHardware() {
  uint32_t length = 0;
  if (OnParallelPort() && m_pciCard) {
    // The card's first range is the port, the second holds its extended
    // control register; the port itself is borrowed at each open.
    void* port = MapRegisterWindow(0, &length);
    void* extended = MapRegisterWindow(1, &length);
    if (!port || !extended) return STATUS_DEVICE_CONFIGURATION_ERROR;
    EppCardEppMode(HwRegs{reinterpret_cast<uintptr_t>(extended), true});
    m_cardPort = reinterpret_cast<uintptr_t>(port);
    return STATUS_SUCCESS;
  }
  if (OnParallelPort()) {
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
  bool io = m_link == PortLink::Io;
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
  m_cardPort = 0;
  CDspBoardDevice::Stop();
}

bool CUnitDevice::FirstMemoryRange(MemoryRange* range) const {
  const CM_RESOURCE_LIST& translated = TranslatedResources();
  for (uint32_t i = 0; i < translated.Count; ++i) {
    const CM_PARTIAL_RESOURCE_DESCRIPTOR& d = translated.Descriptors[i];
    if (d.Type != CmResourceTypeMemory) continue;
    *range = {d.Start, d.Length, static_cast<uint32_t>(RawResources().InterfaceType)};
    return true;
  }
  return false;
}

CDspDevice* CUnitDevice::BindDsp(FILE_OBJECT* file) {
  int unit = m_units == 2 ? UnitOfName(file->FileName) : (file->FileName.Length ? -1 : 0);
  return unit < 0 ? nullptr : &m_dsp[unit];
}

NTSTATUS CUnitDevice::OpenDsp(CDspDevice* dsp, IRP* irp) {
  if (!OnParallelPort()) return dsp->Open(irp);
  // One handle at a time holds the borrowed port.
  if (m_epp.file) return STATUS_ACCESS_DENIED;
  if (m_pciCard && !m_cardPort) return STATUS_DEVICE_NOT_READY;
  NTSTATUS status = m_pciCard ? EppLinkOpenController(&m_epp, m_cardPort) : EppLinkOpen(&m_epp, m_portNumber);
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
  if (!OnParallelPort()) {
    dsp->Close(irp);
    return;
  }
  // Only one handle is ever open here, the one that borrowed the port.
  EppLinkClose(&m_epp);
  dsp->Close(irp);
  dsp->Stop();  // the port mapping ends with the link
}

NTSTATUS CUnitDevice::DispatchCode(IRP* irp, CDspDevice*, bool* handled) {
  *handled = false;
  if (m_link != PortLink::Memory || Stack(irp)->Parameters.DeviceIoControl.IoControlCode != IOCTL_QV_PCI_CONFIG_GET)
    return STATUS_SUCCESS;
  // The handle becomes a board-memory handle, which answers from now on.
  // Under the device's mutex, so that two requests at once make one.
  *handled = true;
  Lock();
  auto* made = static_cast<CKeHandle*>(Stack(irp)->FileObject->FsContext);
  NTSTATUS status = made ? made->DeviceControl(irp) : BoardMemoryHandleOpen(this, irp);
  Unlock();
  return status;
}
