// The stream interface of the PCI host-interface boards.
#include "kernel/striface.h"

#include "kernel/hostif.h"
#include "kernel/pciboard.h"
#include "kernel/protocol.h"
#include "kernel/qvdev.h"
#include "kernel/wavestream.h"

#include <atomic>
#include <cstring>
#include <new>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
constexpr uint32_t HardwareChannels = 16;
constexpr uint32_t StartCommand = 4, StopCommand = 3;
constexpr uint32_t SharedReplyOffset = 64;
constexpr uint32_t SharedReplyWords = (CStrIface::MailboxBytes - SharedReplyOffset - 4) / 4;

// The board whose streams run first, and the order in which two boards'
// locks are taken: the order in which their stream interfaces were made.
CStrIface* g_firstBoard;
KSPIN_LOCK g_firstLock;
std::atomic<int32_t> g_boardOrder{0};
bool InitFirstLock() {
  KeInitializeSpinLock(&g_firstLock);
  return true;
}
void EnsureFirstLock() {
  static const bool done = InitFirstLock();
  (void)done;
}
}  // namespace

CStrIface* CStrIface::FirstBoard() {
  EnsureFirstLock();
  KIRQL irql;
  KeAcquireSpinLock(&g_firstLock, &irql);
  CStrIface* s = g_firstBoard;
  KeReleaseSpinLock(&g_firstLock, irql);
  return s;
}

void CStrIface::ClaimFirst(CStrIface* s) {
  KIRQL irql;
  KeAcquireSpinLock(&g_firstLock, &irql);
  if (!g_firstBoard) g_firstBoard = s;
  KeReleaseSpinLock(&g_firstLock, irql);
}

void CStrIface::ReleaseFirst(CStrIface* s) {
  EnsureFirstLock();
  KIRQL irql;
  KeAcquireSpinLock(&g_firstLock, &irql);
  if (g_firstBoard == s) g_firstBoard = nullptr;
  KeReleaseSpinLock(&g_firstLock, irql);
}

CStrIface* CStrIface::Create(CPciDsp* dsp, uint8_t hardwareChannels) {
  CStrIface* s = new CStrIface(dsp, hardwareChannels);
  if (s && !s->AllocateCommonBuffer()) {
    delete s;
    return nullptr;
  }
  return s;
}

CStrIface::~CStrIface() {
  ReleaseFirst(this);
  FreeScratch();
  SetEngine(nullptr);
  QvEngineFree(engine);
  KsFreeCommonBuffer(m_adapter, m_length, m_physical, m_memory);
  KsPutDmaAdapter(m_adapter);
}

// The board reaches the buffer by bus master; a board without an adapter
// has no shared mailbox and uses the host port.
bool CStrIface::AllocateCommonBuffer() {
  auto* board = static_cast<CBoardDevice*>(m_dsp->Device());
  m_length = Blocks() * BlockBytes + MailboxBytes;
  m_adapter = KsGetDmaAdapter(board ? board->Pdo() : nullptr, (m_length + 4095) / 4096);
  if (!m_adapter) return true;
  m_memory = static_cast<uint8_t*>(KsAllocateCommonBuffer(m_adapter, m_length, &m_physical));
  if (!m_memory) return false;
  for (uint32_t i = 0; i < Blocks(); ++i) {
    uint32_t first = 16 * i;
    m_blocks[i] = {i * BlockBytes, static_cast<uint32_t>(m_physical) + i * BlockBytes, BlockBytes, first,
                   m_channels - first < 16 ? m_channels - first : 16};
  }
  return true;
}

CStrIface::CStrIface(CPciDsp* dsp, uint8_t hardwareChannels) : m_dsp(dsp) {
  EnsureFirstLock();
  m_order = InterlockedIncrement(&g_boardOrder);
  // "ChannelCount" lowers the hardware's count, rounded up to even.
  uint32_t count = 0xFFFFFFFF;
  auto* board = static_cast<CBoardDevice*>(dsp->Device());
  HANDLE key;
  if (board && board->Pdo() && NT_SUCCESS(KsOpenDeviceKey(board->Pdo(), &key))) {
    KsRegReadDword(key, u"ChannelCount", &count);
    KsRegClose(key);
  }
  uint32_t hardware = hardwareChannels && hardwareChannels <= 64 ? hardwareChannels : HardwareChannels;
  m_channels = static_cast<uint8_t>(hardware);
  if (count < hardware) m_channels = static_cast<uint8_t>((count + 1) & ~1u);
  m_mode.rate = 44100;
  m_mode.flags = 25025;
}

// ---- commands ---------------------------------------------------------------------

NTSTATUS CStrIface::Command(QvMailbox* m) {
  if (m->count < 2 || m->count > MailboxWords) return STATUS_INVALID_BUFFER_SIZE;
  NTSTATUS status = m_dsp->Probe();
  if (!NT_SUCCESS(status)) return status;
  // The Dunvell has no host interface: its board carries the commands out.
  if (m_dsp->BoardId() == BoardIdDnv) return m_dsp->Command(m);
  uint32_t hstr = m_dsp->ReadStatus();
  if ((hstr & 0x30) == 0x30 && SharedArea() && m->capacity <= SharedReplyWords) return SharedCommand(m);
  if ((hstr & 0x30) != 0x30 && m->word1 != StartCommand && m_running) {
    hstr = m_dsp->LogHostRegisters(u"CStrIface::Command", hstr);
    if ((hstr & 0x30) != 0x20) return STATUS_DEVICE_NOT_READY;
  }
  return m_dsp->Mailbox(m);
}

// The shared mailbox: the command's words at its start, the reply's
// header (bit 31 done, bit 23 error, bits 0..22 length) and words from
// +64; the host command 107 then 0x8000 tells the program.
NTSTATUS CStrIface::SharedCommand(QvMailbox* m) {
  uint8_t* area = SharedArea();
  uint32_t head[4] = {m->count, m->capacity, m->word0, m->word1};
  uint32_t zero = 0;
  std::memcpy(area + SharedReplyOffset, &zero, 4);
  std::memcpy(area, head, sizeof head);
  if (m->count > 2) std::memcpy(area + sizeof head, m->extra, (m->count - 2) * 4);
  m_dsp->WriteHostCommand(HcvrMailbox);
  m_dsp->WriteHostCommand(0x8000);
  uint32_t start = KsTimeMs();
  for (;;) {
    uint32_t header;
    std::memcpy(&header, area + SharedReplyOffset, 4);
    if (header & 0x80000000u) {
      if (header & 0x800000) return static_cast<NTSTATUS>(0xC0060000u | ((header >> 16) & 0xFF));
      uint32_t length = header & 0x7FFFFF;
      if (length > m->capacity) return STATUS_DATA_ERROR;
      if (length) std::memcpy(m->reply, area + SharedReplyOffset + 4, length * 4);
      m->replyBytes = length * 4;
      return STATUS_SUCCESS;
    }
    // The status read is a bus access: it lets time pass while polling.
    if (!(m_dsp->ReadStatus() & HstrRunning)) return STATUS_BUS_RESET;
    NTSTATUS status = m_dsp->Stall(start);
    if (status == STATUS_IO_TIMEOUT) m_dsp->WriteHostCommand(HcvrStop);
    if (!NT_SUCCESS(status)) return status;
  }
}

NTSTATUS CStrIface::StreamStatus() {
  return NT_SUCCESS(m_dsp->Probe()) ? STATUS_SUCCESS : STATUS_DEVICE_NOT_READY;
}

uint32_t CStrIface::ActiveWord() const {
  uint32_t word = m_activeWord & 0xFFFF0000u;
  for (uint32_t i = 0; i < 4; ++i) {
    if (m_users[i][0]) word |= 1u << (2 * i + 1);
    if (m_users[i][1]) word |= 1u << (2 * i);
  }
  return word;
}

uint8_t* CStrIface::Scratch() {
  if (!m_scratch) m_scratch = static_cast<uint8_t*>(KsAllocate(ScratchBytes));
  return m_scratch;
}

void CStrIface::FreeScratch() {
  KsFree(m_scratch);
  m_scratch = nullptr;
}

NTSTATUS CStrIface::SendActiveWord(uint32_t word) {
  QvMailbox m{0, nullptr, &word, 3, 0, 0, StartCommand};
  return Command(&m);
}

NTSTATUS CStrIface::StreamStart(uint32_t block, uint32_t direction) {
  if (block >= Blocks() || direction > 1) return STATUS_INVALID_PARAMETER;
  // What a first start needs from outside the board is gathered before its
  // lock is taken: the wave device's lock ranks above the boards'.
  bool first = m_running == 0;
  SystemMode mode{};
  CStrIface* other = nullptr;
  if (first) {
    mode = ReadSystemMode();
    other = FirstBoard();
    if (other == this) other = nullptr;
  }
  // Two boards' locks are taken in the boards' driver-wide order, so that
  // two boards starting at once never wait on each other.
  CPciDsp* locks[2] = {m_dsp, other ? other->m_dsp : nullptr};
  if (other && other->m_order < m_order) {
    locks[0] = other->m_dsp;
    locks[1] = m_dsp;
  }
  for (CPciDsp* d : locks)
    if (d) d->Lock();
  if (m_running == 0 && !first) {
    // The last stream stopped meanwhile: this start is a first one after all.
    for (CPciDsp* d : locks)
      if (d) d->Unlock();
    return StreamStart(block, direction);
  }
  ++m_users[block][direction];
  uint32_t word = ActiveWord();
  NTSTATUS status = STATUS_SUCCESS;
  if (m_running == 0) {
    status = StreamStatus();
    // The board whose streams run first is served before this one starts.
    if (NT_SUCCESS(status) && other && other->m_running) status = other->SendActiveWord(other->m_activeWord);
    if (NT_SUCCESS(status)) status = ApplySystemMode(mode);
    if (NT_SUCCESS(status)) {
      HANDLE key;
      uint32_t offsets[2] = {0, 0};
      if (NT_SUCCESS(KsRegOpen(u"Software\\Quorvale\\MultiMedia", &key))) {
        KsRegReadDword(key, u"MtcInpOffset", &offsets[0]);
        KsRegReadDword(key, u"MtcOutOffset", &offsets[1]);
        KsRegClose(key);
      }
      m_mtcOffset[0] = static_cast<int32_t>(offsets[0]);
      m_mtcOffset[1] = static_cast<int32_t>(offsets[1]);
      if (CStreamEngineLink* e = Engine()) e->ResetPosition(m_mtcOffset[0], m_mtcOffset[1]);
      if (m_memory) std::memset(m_memory, 0, Blocks() * BlockBytes);
      status = SendActiveWord(word);
    }
    if (NT_SUCCESS(status)) {
      ClaimFirst(this);
      if (CStreamEngineLink* e = Engine()) e->FirstStartDone();
    }
  } else if (word != m_activeWord) {
    status = SendActiveWord(word);
  }
  if (NT_SUCCESS(status)) {
    m_activeWord = word;
    ++m_running;
  } else {
    --m_users[block][direction];
  }
  for (CPciDsp* d : locks)
    if (d) d->Unlock();
  return status;
}

NTSTATUS CStrIface::StreamStop(uint32_t block, uint32_t direction) {
  if (block >= Blocks() || direction > 1) return STATUS_INVALID_PARAMETER;
  m_dsp->Lock();
  NTSTATUS status = STATUS_SUCCESS;
  if (!m_users[block][direction] || !m_running) {
    status = STATUS_INVALID_PARAMETER;
  } else {
    --m_users[block][direction];
    --m_running;
    if (m_running) {
      uint32_t word = ActiveWord();
      if (word != m_activeWord) {
        m_activeWord = word;
        status = SendActiveWord(word);
      }
    } else {
      m_activeWord = 0;
      FreeScratch();
      ReleaseFirst(this);
      uint32_t zero = 0;
      QvMailbox m{0, nullptr, &zero, 3, 0, 0, StopCommand};
      status = Command(&m);
    }
  }
  m_dsp->Unlock();
  return status;
}

// ---- the device mode --------------------------------------------------------------------

NTSTATUS CStrIface::OpenModeKey(HANDLE* key) {
  auto* board = static_cast<CPciBoardDevice*>(m_dsp->Device());
  const UNICODE_STRING* link = board ? board->ModeLink() : nullptr;
  if (!link) return STATUS_UNSUCCESSFUL;
  return KsOpenInterfaceKey(link, key);
}

CStrIface::SystemMode CStrIface::ReadSystemMode() {
  SystemMode m{m_mode.rate, m_mode.variSpeed, static_cast<uint16_t>(m_mode.flags), false};
  if (g_QvWave) {
    g_QvWave->Lock();
    m.rate = g_QvWave->SampleRate();
    m.variSpeed = static_cast<int16_t>(g_QvWave->VariSpeed() & 0xFFFF);
    m.frame = static_cast<uint16_t>(g_QvWave->FrameWord());
    g_QvWave->Unlock();
  }
  uint32_t mode = 0;
  HANDLE key;
  if (NT_SUCCESS(OpenModeKey(&key))) {
    KsRegReadDword(key, u"DeviceMode", &mode);
    KsRegClose(key);
  }
  m.systemRate = (mode & 1) != 0;
  return m;
}

// The values came from the system-wide ones: they are not stored back.
NTSTATUS CStrIface::ApplySystemMode(const SystemMode& m) {
  DeviceModeRecord r = m_mode;
  r.rate = m.rate;
  r.variSpeed = m.variSpeed;
  r.flags = (r.flags & ~(0xFFFFu | ModeSystemRate)) | m.frame | (m.systemRate ? ModeSystemRate : 0);
  return ApplyMode(r, nullptr, false);
}

NTSTATUS CStrIface::ReadDeviceMode() {
  SystemMode m = ReadSystemMode();
  m_dsp->Lock();
  NTSTATUS status = ApplySystemMode(m);
  m_dsp->Unlock();
  return status;
}

NTSTATUS CStrIface::SetDeviceMode(const DeviceModeRecord& r, uint32_t* changes) {
  return ApplyMode(r, changes, true);
}

NTSTATUS CStrIface::ApplyMode(const DeviceModeRecord& r, uint32_t* changes, bool storeSystemRate) {
  uint32_t c = 0;
  if (r.rate != m_mode.rate || r.variSpeed != m_mode.variSpeed) c |= ModeRateChanged;
  if ((r.flags & 0xFFFF) != (m_mode.flags & 0xFFFF)) c |= ModeFrameChanged;
  if ((r.flags ^ m_mode.flags) & ModeSystemRate) c |= ModeSyncChanged;
  if ((r.flags ^ m_mode.flags) & 0x00F00000) c |= ModeNibbleHighChanged;
  if ((r.flags ^ m_mode.flags) & 0x000F0000) c |= ModeNibbleLowChanged;
  if (changes) *changes = c;
  if (!c) return STATUS_SUCCESS;
  DeviceModeRecord old = m_mode;
  m_mode = r;
  if (c & ModeSyncChanged) {
    HANDLE key;
    if (NT_SUCCESS(OpenModeKey(&key))) {
      KsRegWriteDword(key, u"DeviceMode", (r.flags & ModeSystemRate) ? 1 : 0);
      KsRegClose(key);
    }
  }
  if (storeSystemRate && (c & (ModeRateChanged | ModeFrameChanged)) && (r.flags & ModeSystemRate) && g_QvWave)
    g_QvWave->StoreRates(r.rate, static_cast<uint16_t>(r.variSpeed), r.flags & 0xFFFF);
  // A board that runs no program keeps the record; the program load
  // applies it.
  if (!NT_SUCCESS(m_dsp->Probe())) return STATUS_SUCCESS;
  NTSTATUS status = m_dsp->ApplyDeviceMode(false);
  if (!NT_SUCCESS(status)) m_mode = old;
  return status;
}

NTSTATUS CStrIface::ReadConfig(void* data, uint32_t length, uint32_t* got) {
  *got = 0;
  HANDLE key;
  NTSTATUS status = OpenModeKey(&key);
  if (!NT_SUCCESS(status)) return status;
  uint32_t type = 0;
  status = KsRegReadValue(key, u"DeviceConfig", data, length, &type, got);
  KsRegClose(key);
  return status;
}

NTSTATUS CStrIface::WriteConfig(uint32_t type, const void* data, uint32_t length) {
  HANDLE key;
  NTSTATUS status = OpenModeKey(&key);
  if (!NT_SUCCESS(status)) return status;
  status = KsRegWriteValue(key, u"DeviceConfig", type, data, length);
  KsRegClose(key);
  return status;
}

// ---- channel records ---------------------------------------------------------------------

void CStrIface::SetChannelValues(uint32_t channel, uint16_t v0, uint16_t v1) {
  if (channel >= m_channels) return;
  m_channelValues[channel][0] = v0;
  m_channelValues[channel][1] = v1;
}

void CStrIface::ChannelInfo(qvChannelInfo* info) const {
  *info = {};
  info->inputs = info->outputs = m_channels;
  info->minFrames = QvMinFrames;
  info->maxFrames = QvMaxFrames;
  info->stepFrames = QvFrameStep;
  info->programWord[0] = m_programValues[0];
  info->programWord[1] = m_programValues[1];
  info->sampleRate = m_mode.rate;
  info->variSpeed = static_cast<uint16_t>(m_mode.variSpeed);
  info->boardId = m_dsp->BoardId();
}

// GET_CHANNELS: per channel its two 16-bit values.
NTSTATUS CStrIface::ChannelsIoctl(IRP* irp) {
  uint32_t out = Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  uint32_t bytes = m_channels * 4u;
  if (out < bytes) {
    irp->IoStatus.Information = bytes;
    return STATUS_BUFFER_TOO_SMALL;
  }
  std::memcpy(irp->AssociatedIrp.SystemBuffer, m_channelValues, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

// WAVE_MAP on a board: a query answers this board's record; a channel map
// opens a stream, which the wave streams serve.
NTSTATUS CStrIface::MapIoctl(IRP* irp) {
  IO_STACK_LOCATION* s = Stack(irp);
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  const auto* buffer = static_cast<const uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (out && in <= 4) {
    if (in == 1 && buffer[0] != 0) return STATUS_INVALID_PARAMETER;
    qvChannelInfo info;
    ChannelInfo(&info);
    KsCopyOutput(irp, &info, sizeof info);
    return STATUS_SUCCESS;
  }
  // A channel map opens a stream on this board, its channels counted on
  // the board, bound to the handle; an empty input only releases it.
  FILE_OBJECT* file = s->FileObject;
  if (in == 0 && !(file && file->FsContext)) return STATUS_SUCCESS;
  CStreamHandle* handle = QvStreamHandleOf(file);
  if (!handle) return STATUS_INVALID_PARAMETER;
  return handle->Open(irp, m_dsp->Device(), m_dsp);
}

// GET_STATUS beyond the identity words: command 7's status words.
NTSTATUS CStrIface::StatusWords(uint32_t* words, uint32_t capacity, uint32_t* bytes) {
  *bytes = 0;
  if (capacity > MailboxWords) capacity = MailboxWords;
  QvMailbox m{0, words, nullptr, 2, capacity, 0, 7};
  NTSTATUS status = Command(&m);
  if (NT_SUCCESS(status)) *bytes = m.replyBytes;
  return status;
}

// GET_INFO: the board's four information words; from 16 bytes on, asked
// afresh by command 12, whose reply words follow from +16.
NTSTATUS CStrIface::InfoIoctl(IRP* irp) {
  uint32_t out = Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (out < sizeof m_info) {
    uint32_t bytes = out / 4 * 4;
    std::memcpy(buffer, m_info, bytes);
    irp->IoStatus.Information = bytes;
    return STATUS_SUCCESS;
  }
  uint32_t reply[MailboxWords] = {};
  uint32_t capacity = (out - 16) / 4 < MailboxWords ? (out - 16) / 4 : MailboxWords;
  QvMailbox m{0, reply, nullptr, 2, capacity, 0, 12};
  NTSTATUS status = Command(&m);
  if (!NT_SUCCESS(status)) return status;
  uint32_t got = m.replyBytes / 4;
  for (uint32_t i = 0; i < 4 && i < got; ++i) m_info[i] = reply[i];
  std::memcpy(buffer, m_info, sizeof m_info);
  std::memcpy(buffer + 16, reply, m.replyBytes);
  irp->IoStatus.Information = 16 + m.replyBytes;
  return STATUS_SUCCESS;
}

// ---- the generic codes --------------------------------------------------------------------

NTSTATUS CStrIface::DeviceModeIoctl(IRP* irp) {
  IO_STACK_LOCATION* s = Stack(irp);
  uint32_t in = s->Parameters.DeviceIoControl.InputBufferLength;
  uint32_t out = s->Parameters.DeviceIoControl.OutputBufferLength;
  auto* buffer = static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer);
  if (in) {
    if (in < 4) return STATUS_INVALID_BUFFER_SIZE;
    uint32_t words[5] = {};
    uint32_t n = in / 4 < 6 ? in / 4 : 6;
    uint32_t raw[6] = {};
    std::memcpy(raw, buffer, n * 4);
    uint32_t first = 0;
    if (n >= 2 && raw[0] == 0) first = 1;  // a leading zero word is skipped
    uint32_t have = n - first > 5 ? 5 : n - first;
    for (uint32_t i = 0; i < have; ++i) words[i] = raw[first + i];
    DeviceModeRecord r = m_mode;
    r.rate = words[0];
    if (have > 1) r.variSpeed = static_cast<int16_t>(words[1] & 0xFFFF);
    if (have > 2) r.flags = words[2];
    if (r.rate == 0) return STATUS_INVALID_PARAMETER;
    if (have > 4 && ((r.flags >> 20) & 0xF) == 7) {
      r.extra[0] = words[3];
      r.extra[1] = words[4];
    }
    NTSTATUS status = SetDeviceMode(r, nullptr);
    if (!NT_SUCCESS(status)) return status;
  }
  uint32_t record[3] = {m_mode.rate, static_cast<uint16_t>(m_mode.variSpeed), m_mode.flags};
  uint32_t bytes = out < 12 ? out / 4 * 4 : 12;
  std::memcpy(buffer, record, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CStrIface::Ioctl(IRP* irp, bool* handled) {
  IO_STACK_LOCATION* s = Stack(irp);
  *handled = true;
  switch (s->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_QV_GET_INFO: return InfoIoctl(irp);
    case IOCTL_QV_DEVICE_MODE: return DeviceModeIoctl(irp);
    case IOCTL_QV_GET_CHANNELS: return ChannelsIoctl(irp);
    case IOCTL_QV_WAVE_MAP: return MapIoctl(irp);
    default: *handled = false; return STATUS_SUCCESS;
  }
}
