// PCI DSP boards: the board classes' request paths and ready checks, and
// the boards' device objects with their published interfaces.
#include "kernel/pciboard.h"
#include "kernel/gsif.h"
#include "kernel/wdmiface.h"
#include "kernel/striface.h"

#include <cstring>
#include <new>

const GUID GUID_QvWdmInterface = {0xAD2EC378, 0x222B, 0x43A9, {0xA6, 0xB7, 0x1A, 0xE0, 0x16, 0xA2, 0x62, 0x3B}};
// The class of the mixer-device interface is the mixer device's COM class.
const GUID CLSID_QvMixerDevice = {0x5AC6EFF0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const GUID GUID_QvGsifInterface = {0x00B253E1, 0x099D, 0x11D5, {0x9A, 0x47, 0x00, 0xE0, 0x29, 0x09, 0x5C, 0x67}};

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
bool IsPassThroughCode(uint32_t code) { return code >= IOCTL_QV_DSP && code <= IOCTL_QV_DSP_LAST; }
}  // namespace

// ---- the board classes -------------------------------------------------------------

NTSTATUS CPciDsp::Request(IRP* irp) {
  if (irp->IoStatus.Status != STATUS_PENDING) return DspDeviceIoctl(irp);
  uint32_t code = Stack(irp)->Parameters.DeviceIoControl.IoControlCode;
  QvBoardCommand command;
  NTSTATUS status = QvBoardPassThrough(BoardId(), code, DspCount(), &command);
  if (NT_SUCCESS(status)) return PassThroughCommand(command, irp);
  if (status != STATUS_INVALID_DEVICE_REQUEST) return status;
  return BoardRequest(irp);
}

NTSTATUS CPciDsp::PassThroughCommand(const QvBoardCommand& command, IRP* irp) {
  return BufferCommand(command.command, irp);
}

NTSTATUS CPciDsp::BoardRequest(IRP* irp) {
  switch (Stack(irp)->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_LOAD:
      // A program load under a stream of this handle would pull the program
      // from under it.
      if (m_stream && m_stream->Engine() && m_stream->Engine()->StreamBound(Stack(irp)->FileObject))
        return STATUS_DEVICE_BUSY;
      return Load(irp);
    case IOCTL_QV_DSP_MEMORY: return DspMemory(irp);
    default: break;
  }
  if (m_stream) {
    bool handled = false;
    NTSTATUS status = m_stream->Ioctl(irp, &handled);
    if (handled) return status;
  }
  return DspDeviceIoctl(irp);
}

NTSTATUS CBoardMio::NotOwner(uint32_t code, bool otherOwner) const {
  return IsPassThroughCode(code) ? STATUS_SHARING_VIOLATION : CPciDsp::NotOwner(code, otherOwner);
}

// ---- the device objects --------------------------------------------------------------

CPciBoardDevice::CPciBoardDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower,
                                 const BoardRow* row, uint32_t number)
    : CDspBoardDevice(device, pdo, lower, row, number) {}

CPciBoardDevice::~CPciBoardDevice() {
  m_gsif.Set(nullptr);
  for (UNICODE_STRING* link : {&m_mixerLink, &m_wdmLink, &m_gsifLink})
    if (link->Buffer) ExFreePool(link->Buffer);
}

NTSTATUS CPciBoardDevice::StartHardware() {
  uint32_t length = 0;
  void* registers = MapRegisterWindow(0, &length);
  if (!registers) return STATUS_DEVICE_CONFIGURATION_ERROR;
  NTSTATUS status = Dsp()->Start(HwRegs{reinterpret_cast<uintptr_t>(registers), false}, HwRegs{});
  // The board's channels, known before it joins the ring that numbers them.
  if (NT_SUCCESS(status) && Dsp()->Stream()) SetChannels(Dsp()->Stream()->ChannelCount(), Dsp()->Stream()->ChannelCount());
  return status;
}

NTSTATUS CPciBoardDevice::Start(IRP* irp) {
  NTSTATUS status = CDspBoardDevice::Start(irp);
  if (!NT_SUCCESS(status)) return status;
  RegisterInterfaces();
  // The device mode is read once the key of "DeviceMode" exists.
  if (CStrIface* s = Dsp()->Stream()) s->ReadDeviceMode();
  Dsp()->Lock();
  Dsp()->ModeKeyReady();
  Dsp()->Unlock();
  return status;
}

// GET_CHANNELS, the WAVE_MAP query and GET_INFO under 16 bytes are
// answered at once, under the board's lock.
NTSTATUS CPciBoardDevice::DispatchCode(IRP* irp, CDspDevice* dsp, bool* handled) {
  *handled = false;
  IO_STACK_LOCATION* s0 = Stack(irp);
  uint32_t code = s0->Parameters.DeviceIoControl.IoControlCode;
  // The Dunvell answers GET_INFO from its own statistics and registers.
  bool shortInfo = code == IOCTL_QV_GET_INFO && BoardId() != BoardIdDnv && s0->Parameters.DeviceIoControl.OutputBufferLength >= 4 &&
                   s0->Parameters.DeviceIoControl.OutputBufferLength < 16;
  if (code != IOCTL_QV_GET_CHANNELS && code != IOCTL_QV_WAVE_MAP && !shortInfo) return STATUS_SUCCESS;
  dsp->Lock();
  CStrIface* s = static_cast<CPciDsp*>(dsp)->Stream();
  NTSTATUS status = STATUS_SUCCESS;
  if (s) status = s->Ioctl(irp, handled);
  dsp->Unlock();
  return status;
}

void CPciBoardDevice::Stop() {
  SetInterfaces(false);
  if (m_mixerLink.Buffer && g_KsRoutines.IoSetDeviceInterfaceState)
    g_KsRoutines.IoSetDeviceInterfaceState(&m_mixerLink, false);
  Dsp()->Stop();
  CDspBoardDevice::Stop();
}

// A board whose streams run is not given up.
NTSTATUS CPciBoardDevice::Pnp(IRP* irp) {
  CStrIface* stream = Dsp()->Stream();
  if (Stack(irp)->MinorFunction == IRP_MN_QUERY_REMOVE_DEVICE && stream && stream->RunningStreams()) {
    irp->IoStatus.Status = STATUS_UNSUCCESSFUL;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_UNSUCCESSFUL;
  }
  // The WDM driver's and the GSIF hosts' queries for their interface records.
  if (Stack(irp)->MinorFunction == IRP_MN_QUERY_INTERFACE) {
    auto& q = Stack(irp)->Parameters.QueryInterface;
    NTSTATUS status = QvWdmQueryInterface(this, q.InterfaceType, q.Size, q.Version, q.Interface);
    if (status == STATUS_NOT_SUPPORTED) status = GsifQueryInterface(this, q.InterfaceType, q.Size, q.Version, q.Interface);
    if (status != STATUS_NOT_SUPPORTED) {
      irp->IoStatus.Status = status;
      IoCompleteRequest(irp, IO_NO_INCREMENT);
      return status;
    }
  }
  return CDspBoardDevice::Pnp(irp);
}

// GET_STATUS: the identity words, and with 16 bytes or more on a running
// board the status words of command 7 from +12.
NTSTATUS CPciBoardDevice::Identity(IRP* irp, CDspDevice* dsp) {
  NTSTATUS status = CDspBoardDevice::Identity(irp, dsp);
  IO_STACK_LOCATION* s = Stack(irp);
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  CStrIface* stream = static_cast<CPciDsp*>(dsp)->Stream();
  if (!NT_SUCCESS(status) || s->Parameters.DeviceIoControl.IoControlCode != IOCTL_QV_GET_STATUS || out < 16 ||
      !stream || !NT_SUCCESS(dsp->Probe()))
    return status;
  uint32_t words[14] = {}, bytes = 0;
  status = stream->StatusWords(words, (out - 12) / 4, &bytes);
  if (!NT_SUCCESS(status)) return status;
  std::memcpy(static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer) + 12, words, bytes);
  irp->IoStatus.Information = 12 + bytes;
  return STATUS_SUCCESS;
}

void CPciBoardDevice::IdentityWords(uint32_t words[3]) const {
  words[0] = QvInterfaceVersion;
  words[1] = Dsp()->ProgramWord();
  words[2] = BoardId();
}

namespace {
// Writes the board's "FriendlyName" with a suffix into an interface's key.
void NameInterface(DEVICE_OBJECT* pdo, const UNICODE_STRING* link, const WCHAR* suffix) {
  WCHAR text[128] = {};
  uint32_t type = 0, got = 0;
  HANDLE key;
  if (!NT_SUCCESS(KsOpenDeviceKey(pdo, &key))) return;
  NTSTATUS status = KsRegReadValue(key, u"FriendlyName", text, sizeof text - 2 * 8, &type, &got);
  KsRegClose(key);
  if (!NT_SUCCESS(status) || type != REG_SZ) return;
  UNICODE_STRING name{0, sizeof text - 2, text};
  KsStringFixLength(&name);
  KsStringAppendText(&name, suffix);
  if (NT_SUCCESS(KsOpenInterfaceKey(link, &key))) {
    KsRegWriteString(key, u"FriendlyName", text);
    KsRegClose(key);
  }
}
}  // namespace

void CPciBoardDevice::RegisterInterfaces() {
  if (!m_pdo || !g_KsRoutines.IoRegisterDeviceInterface || !g_KsRoutines.IoSetDeviceInterfaceState) return;
  struct Interface {
    const GUID* cls;
    UNICODE_STRING* link;
    const WCHAR* suffix;
  };
  const Interface interfaces[] = {{&GUID_QvWdmInterface, &m_wdmLink, u" WDM"},
                                  {&GUID_QvGsifInterface, &m_gsifLink, u" GSIF"},
                                  {&CLSID_QvMixerDevice, &m_mixerLink, nullptr}};
  for (const Interface& i : interfaces) {
    if (i.link->Buffer) continue;
    if (!NT_SUCCESS(g_KsRoutines.IoRegisterDeviceInterface(m_pdo, i.cls, nullptr, i.link))) {
      *i.link = {};
      continue;
    }
    if (i.suffix) NameInterface(m_pdo, i.link, i.suffix);
  }
  if (m_mixerLink.Buffer) g_KsRoutines.IoSetDeviceInterfaceState(&m_mixerLink, true);
}

NTSTATUS CPciBoardDevice::SetInterfaces(bool on) {
  Lock();
  bool gsif = on && Inputs();
  if (gsif) {
    uint32_t enable = 1;
    HANDLE key;
    if (NT_SUCCESS(KsOpenDeviceKey(m_pdo, &key))) {
      KsRegReadOrCreateDword(key, u"EnableGsif", &enable);
      KsRegClose(key);
    }
    // A channel count of 0 in the interface's key keeps it off as well.
    uint32_t channels = 0xFFFFFFFF;
    if (m_gsifLink.Buffer && NT_SUCCESS(KsOpenInterfaceKey(&m_gsifLink, &key))) {
      KsRegReadOrCreateDword(key, u"ChannelCount", &channels);
      KsRegClose(key);
    }
    gsif = enable && channels;
  }
  if (gsif != m_gsifOn) SetGsif(gsif);
  NTSTATUS status = CDspBoardDevice::SetInterfaces(on);
  if (m_wdmLink.Buffer && g_KsRoutines.IoSetDeviceInterfaceState)
    g_KsRoutines.IoSetDeviceInterfaceState(&m_wdmLink, WdmOn());
  Unlock();
  return status;
}

NTSTATUS CPciBoardDevice::WdmKey(HANDLE* key) const {
  if (!m_wdmLink.Buffer) return STATUS_OBJECT_NAME_NOT_FOUND;
  return KsOpenInterfaceKey(&m_wdmLink, key);
}

NTSTATUS CPciBoardDevice::GsifKey(HANDLE* key) const {
  if (!m_gsifLink.Buffer) return STATUS_OBJECT_NAME_NOT_FOUND;
  return KsOpenInterfaceKey(&m_gsifLink, key);
}

CKeGsif* CPciBoardDevice::Gsif() {
  if (!m_gsif.Get()) {
    CKeGsif* g = CKeGsif::Create(this);
    if (!g) return nullptr;
    m_gsif.Set(g);
    g->Release();  // the holder keeps the one reference
  }
  return static_cast<CKeGsif*>(m_gsif.Get());
}

// The interface key names the entry routine and this board while the
// interface is on, and 0 for both while it is off. The words hold the low
// 32 bits of each address (the whole address on the 32-bit system).
void CPciBoardDevice::SetGsif(bool wanted) {
  m_gsifOn = wanted;
  HANDLE key;
  if (m_gsifLink.Buffer && NT_SUCCESS(KsOpenInterfaceKey(&m_gsifLink, &key))) {
    KsRegWriteDword(key, u"GetInterfaceCallback", wanted ? uint32_t(reinterpret_cast<uintptr_t>(&GsifEntry)) : 0);
    KsRegWriteDword(key, u"DeviceExtension", wanted ? uint32_t(reinterpret_cast<uintptr_t>(this)) : 0);
    KsRegClose(key);
  }
  if (m_gsifLink.Buffer && g_KsRoutines.IoSetDeviceInterfaceState)
    g_KsRoutines.IoSetDeviceInterfaceState(&m_gsifLink, wanted);
  if (!wanted) m_gsif.Set(nullptr);
}

void CPciBoardDevice::MediaLimits(uint32_t* index, uint32_t* count) {
  *index = 0;
  *count = 0xFFFFFFFF;
  Lock();
  HANDLE key;
  if (WdmOn() && m_wdmLink.Buffer && NT_SUCCESS(KsOpenInterfaceKey(&m_wdmLink, &key))) {
    KsRegReadDword(key, u"MediaIndex", index);
    KsRegReadDword(key, u"MediaCount", count);
    KsRegClose(key);
  }
  Unlock();
}

// ---- the factory ------------------------------------------------------------------------

uint32_t PciBoardSize(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTvr: return sizeof(CTvrDevice);
    case BoardIdTv2: return sizeof(CTv2Device);
    case BoardIdCbl: return sizeof(CCblDevice);
    case BoardIdMio: return sizeof(CMioDevice);
    case BoardIdDnv: return sizeof(CDnvDevice);
    default: return 0;
  }
}

CBoardDevice* NewPciBoard(void* extension, DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower,
                          const BoardRow* row, uint32_t number) {
  switch (row->boardId) {
    case BoardIdTvr: return new (extension) CTvrDevice(device, pdo, lower, row, number);
    case BoardIdTv2: return new (extension) CTv2Device(device, pdo, lower, row, number);
    case BoardIdCbl: return new (extension) CCblDevice(device, pdo, lower, row, number);
    case BoardIdMio: return new (extension) CMioDevice(device, pdo, lower, row, number);
    case BoardIdDnv: return new (extension) CDnvDevice(device, pdo, lower, row, number);
    default: return nullptr;
  }
}
