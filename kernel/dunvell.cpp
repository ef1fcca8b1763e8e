// The Dunvell board: its controller's short and long commands, the reset
// sequence of a DSP, start and stop, the clock set-up and the DSPs' rate
// message, the flash and per-DSP boots, the stream commands it carries out
// itself, the pass-through operations with "ResetOnError", its parameter
// codes and its router.
#include "kernel/pciboard.h"
#include "kernel/striface.h"

#include <cstring>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
uint32_t Code(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.IoControlCode; }
uint32_t InLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.InputBufferLength; }
uint32_t OutLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength; }
uint8_t* Buffer(IRP* irp) { return static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer); }
bool IsOwner(CDspDevice* d, IRP* irp) { return Stack(irp)->FileObject == d->Owner(); }
bool IsPassThroughCode(uint32_t code) { return code >= IOCTL_QV_DSP && code <= IOCTL_QV_DSP_LAST; }

constexpr uint32_t DunvellFirmware = 0x70430;
constexpr uint16_t ControlDone = 1, ControlAfter = 0x1000, ControlReset = 0x4000, ControlAbort = 0xF000,
                   ControlClock = 0x2001, ControlStopped = 0x2000;
constexpr uint32_t ShortTimeoutMs = 15000, LongTimeoutMs = 250, BootPollMs = 1000;
constexpr uint32_t MaxLongWords = 256;
// Controller commands.
constexpr uint16_t CmdIdentify = 0x4100, CmdClockInfo = 0x2300, CmdFlashPages = 0x5100, CmdFlashChunk = 0x3100,
                   CmdRoutes = 0x3000, CmdLong = 0x3210;
// A DSP's ports behind the controller (plus the DSP number << 6): write
// register r at 0x1200 + r, read it at 0x2200 + r; 2 status, 8 data.
constexpr uint16_t DspWrite = 0x1200, DspRead = 0x2200, DspStatus = 2, DspData = 8, DspResetPort = 1;
constexpr uint16_t DspBootstrapReady = 6, DspProgramReady = 14;
// The controller flash image: its mark, the board information words, the
// word that carries the DSP count.
constexpr uint32_t FlashLength = 746219, FlashMarkAt = 746214, FlashInfoAt[2] = {746212, 746216},
                   FlashDspCountAt = 746218;
constexpr uint16_t FlashMark = 0xDBEB;
constexpr uint32_t FlashPage = 65536, FlashMaxPages = 16, FlashChunk = 128;

uint16_t Word16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Word32(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}
}  // namespace

CBoardDnv::~CBoardDnv() { CBoardDnv::Stop(); }

NTSTATUS CBoardDnv::NotOwner(uint32_t code, bool otherOwner) const {
  return IsPassThroughCode(code) ? STATUS_SHARING_VIOLATION : CPciDsp::NotOwner(code, otherOwner);
}

// Ready without DSPs, or once the firmware that speaks this protocol runs.
NTSTATUS CBoardDnv::Probe() {
  if (!Registers().base) return STATUS_DEVICE_NOT_READY;
  return m_dspCountByte == NoDsps || ProgramWord() == DunvellFirmware ? STATUS_SUCCESS : STATUS_BUS_RESET;
}

// The DSP-count byte is the low byte of the third board information word;
// a byte outside 0xD1..0xD4 means no DSPs.
uint32_t CBoardDnv::DspCount() const {
  return m_dspCountByte > NoDsps && m_dspCountByte <= NoDsps + 4 ? m_dspCountByte - NoDsps : 0;
}

// ---- the controller's commands ----------------------------------------------------------------

bool CBoardDnv::WaitDone(uint32_t ms) {
  uint32_t start = KsTimeMs();
  for (;;) {
    if (HwRead16(Registers(), Control) & ControlDone) return true;
    uint32_t elapsed = KsTimeMs() - start;
    if (elapsed >= ms) return false;
    if (elapsed >= 1) KsSleepMs(1);
  }
}

bool CBoardDnv::ShortCommand(uint16_t header, const uint16_t* payload, uint32_t count, uint16_t* reply,
                             uint32_t replyCount) {
  const HwRegs& r = Registers();
  if (!r.base) return false;
  if (HwRead16(r, Control) & ControlDone) HwWrite16(r, Control, ControlAfter);
  HwWrite16(r, Data, header);
  for (uint32_t i = 0; i < count; ++i) HwWrite16(r, Data, payload[i]);
  HwWrite16(r, Control, 0);
  if (!WaitDone(ShortTimeoutMs)) {
    HwWrite16(r, Control, ControlAfter);
    return false;
  }
  bool matched = HwRead16(r, Data) == ((header & 0x0FFF) | 0xE000);
  for (uint32_t i = 0; i < replyCount; ++i) {
    uint16_t w = HwRead16(r, Data);
    if (reply) reply[i] = w;
  }
  HwWrite16(r, Control, ControlAfter);
  return matched;
}

// Resets one DSP: its reset port, then its eight registers read back.
void CBoardDnv::ResetDsp(uint32_t dsp) {
  uint16_t c = uint16_t((dsp & 3) << 6);
  uint16_t word = 0xB4;
  ShortCommand(uint16_t(c | DspWrite | DspResetPort), &word, 1);
  uint16_t h = uint16_t(((dsp & 3) + 0x88) << 6);
  for (uint16_t i = 0; i < 8; ++i) ShortCommand(uint16_t(h + i), nullptr, 0, &word, 1);
}

NTSTATUS CBoardDnv::DnvCommand(uint32_t code, const uint32_t* payload, uint32_t count, uint32_t* reply,
                               uint32_t capacity, uint32_t* replied) {
  if (replied) *replied = 0;
  if (count > MaxLongWords) return STATUS_INVALID_BUFFER_SIZE;
  if (capacity > MaxLongWords) capacity = MaxLongWords;
  const HwRegs& r = Registers();
  if (!r.base) return STATUS_DEVICE_NOT_READY;
  uint16_t dspBits = uint16_t(code & 0xC0);
  if (HwRead16(r, Control) & ControlDone) HwWrite16(r, Control, ControlAfter);
  HwWrite16(r, Data, uint16_t(dspBits | CmdLong));
  HwWrite16(r, Data, uint16_t(count + 2));
  const uint32_t head[3] = {capacity, 0, code & 0x80003F};
  for (uint32_t w : head) {
    HwWrite16(r, Data, uint16_t(w));
    HwWrite16(r, Data, uint16_t(w >> 16));
  }
  for (uint32_t i = 0; i < count; ++i) {
    HwWrite16(r, Data, uint16_t(payload[i]));
    HwWrite16(r, Data, uint16_t(payload[i] >> 16));
  }
  HwWrite16(r, Control, 0);
  if (!WaitDone(LongTimeoutMs)) {
    HwWrite16(r, Control, ControlAbort);
    KeStallExecutionProcessor(30);
    HwWrite16(r, Control, ControlAfter);
    ResetDsp((code >> 6) & 3);
    return STATUS_IO_TIMEOUT;
  }
  NTSTATUS status = STATUS_SUCCESS;
  if (HwRead16(r, Data) != (dspBits | 0xE210)) {
    status = STATUS_DATA_ERROR;
  } else {
    uint16_t w = HwRead16(r, Data);
    if (w & 0x8000) {
      status = static_cast<NTSTATUS>(0xC0060000u | (w >> 8));
    } else {
      uint32_t n = w < capacity ? w : capacity;
      for (uint32_t i = 0; i < n; ++i) {
        uint32_t lo = HwRead16(r, Data), hi = HwRead16(r, Data);
        uint32_t word = (lo | hi << 16) & 0xFFFFFF;
        if (word & 0x800000) word |= 0xFF000000u;
        reply[i] = word;
      }
      if (replied) *replied = n;
    }
  }
  HwWrite16(r, Control, ControlAfter);
  return status;
}

// ---- start and stop -----------------------------------------------------------------------------

NTSTATUS CBoardDnv::Start(const HwRegs& regs, const HwRegs&) {
  if (!regs.base) return STATUS_DEVICE_CONFIGURATION_ERROR;
  NTSTATUS status = CDspDevice::Start(regs, HwRegs{});
  if (!NT_SUCCESS(status)) return status;
  if (!DpcsReady()) InitBoardDpcs();
  auto* board = static_cast<CBoardDevice*>(Device());
  if (board && !board->ConnectBoardInterrupt(BoardIsrDnv, this)) return STATUS_DEVICE_CONFIGURATION_ERROR;
  const HwRegs& r = Registers();
  HwWrite32(r, StreamBlocks, 16);
  HwWrite32(r, InterruptStatus, 0);
  HwWrite16(r, Control, ControlClock);
  SetProgramWord(HwRead32(r, FirmwareId));
  // The identification comes before the stream interface is made, since it
  // says how many input channels the board has.
  const uint16_t ask[3] = {0x62E4, 11, 7};
  if (!ShortCommand(CmdIdentify, ask, 3, m_info, 4)) return STATUS_ADAPTER_HARDWARE_ERROR;
  m_dspCountByte = uint8_t(m_info[2]);
  uint8_t channels = (m_info[3] >> 8) == 0xA0 || (m_info[3] >> 8) == 0xA1 ? 64 : 16;
  if (!m_router) {
    m_router = new DnvRouter;
    if (!m_router) return STATUS_INSUFFICIENT_RESOURCES;
  }
  if (!m_stream) {
    m_stream = CStrIface::Create(this, channels);
    if (!m_stream) return STATUS_INSUFFICIENT_RESOURCES;
  }
  // The board takes the stream buffer's address and that of its status area.
  uint32_t address = m_stream->CommonBufferAddress();
  uint32_t second = address + m_stream->Blocks() * CStrIface::BlockBytes;
  HwWrite32(r, BufferAddress, address);
  HwWrite32(r, BufferAddressB, address);
  HwWrite32(r, BufferAddress2, second);
  HwWrite32(r, BufferAddressB2, second);
  uint16_t clock[5] = {};
  if (ShortCommand(CmdClockInfo, nullptr, 0, clock, 5)) {
    m_format[0] = uint32_t(clock[2] & 0xFF) << 16 | clock[1];
    m_format[1] = uint32_t(clock[2] >> 8) | uint32_t(clock[3]) << 8;
  }
  ClockSetup();
  return STATUS_SUCCESS;
}

// The stored clock/mode word once the key that holds it exists, and the
// device mode applied with it.
void CBoardDnv::ModeKeyReady() {
  uint32_t word = 0, got = 0;
  if (m_stream && NT_SUCCESS(m_stream->ReadConfig(&word, sizeof word, &got)) && got == 4) m_clockWord = word;
  ApplyDeviceMode(true);
}

void CBoardDnv::Stop() {
  if (Registers().base) {
    HwWrite32(Registers(), InterruptStatus, 0);
    HwWrite16(Registers(), Control, ControlStopped);
    HwWrite32(Registers(), StreamBlocks, 0);
  }
  CPciDsp::Stop();
  delete m_router;
  m_router = nullptr;
}

// ---- clock ---------------------------------------------------------------------------------------

// The clock/mode word: bits 0..1 the clock source, bits 2..3 the source
// used with external sync (each 1..3), bits 8..15 the clock divider.
void CBoardDnv::ClockSetup() {
  if (!Registers().base) return;
  uint32_t source = m_clockWord & 3, alternate = (m_clockWord >> 2) & 3;
  if (!source) source = 1;
  if (!alternate) alternate = 1;
  uint32_t divider = (m_clockWord >> 8) & 0xFF;
  uint32_t rate = m_stream ? m_stream->Mode().rate : 44100;
  bool external = m_stream && (m_stream->Mode().flags & ModeSystemRate);
  uint32_t halvings = 0;
  while (rate > 50000 && halvings < 3) {
    rate /= 2;
    ++halvings;
  }
  uint8_t mode = uint8_t(halvings | (rate < 46001 ? 0x10 : 0) | (external ? alternate : source) << 2 |
                         (DspCount() ? 0x80 : 0));
  m_modeByte = mode;
  HwWrite16(Registers(), Control, uint16_t((divider / 16) * 512 + ControlClock));
  HwWrite16(Registers(), Control, uint16_t(ControlReset + mode));
  m_latency[0] = m_latency[1] = uint16_t((1u << halvings) + 6);
}

NTSTATUS CBoardDnv::RateMessage() {
  if (!DspCount() || ProgramWord() != DunvellFirmware || !m_stream) return STATUS_SUCCESS;
  const DeviceModeRecord& mode = m_stream->Mode();
  uint32_t words[3] = {mode.rate, m_modeByte & 3u, mode.flags & 0xFFFF};
  for (uint32_t k = 0; k < DspCount(); ++k) {
    NTSTATUS status = DnvCommand(10 + 64 * k, words, 3, nullptr, 0, nullptr);
    if (!NT_SUCCESS(status)) return status;
  }
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::ApplyDeviceMode(bool) {
  ClockSetup();
  return RateMessage();
}

// Firmware identifier 0, the controller reset and the clock set up again:
// the next request finds the board not booted.
void CBoardDnv::ResetBoard() {
  SetProgramWord(0);
  HwWrite16(Registers(), Control, ControlReset);
  ClockSetup();
  KeStallExecutionProcessor(20);
}

// ---- boot ----------------------------------------------------------------------------------------

NTSTATUS CBoardDnv::Boot(const void* image, uint32_t length) {
  if (!Registers().base) return STATUS_DEVICE_NOT_READY;
  const auto* bytes = static_cast<const uint8_t*>(image);
  if (!bytes || !length) {
    ResetBoard();
    return STATUS_SUCCESS;
  }
  if (length > FlashLength && Word16(bytes + FlashMarkAt) == FlashMark) return FlashBoot(bytes, length);
  return DspBoot(bytes, length);
}

// The controller's flash: the pages named, then the image in chunks of up
// to 128 bytes; the board's DSP-count word replaces the image's.
NTSTATUS CBoardDnv::FlashBoot(const uint8_t* image, uint32_t length) {
  uint32_t pages = (length + FlashPage - 1) / FlashPage;
  if (pages > FlashMaxPages) return STATUS_INVALID_USER_BUFFER;
  uint16_t list[1 + 2 * FlashMaxPages];
  list[0] = uint16_t(pages - 1);
  for (uint32_t p = 0; p < pages; ++p) {
    uint32_t address = p * FlashPage;
    list[1 + 2 * p] = uint16_t(address);
    list[2 + 2 * p] = uint16_t(address >> 16);
  }
  if (!ShortCommand(CmdFlashPages, list, 1 + 2 * pages)) return STATUS_DATA_ERROR;
  uint16_t dspWord = m_info[2];
  for (uint32_t offset = 0; offset < length; offset += FlashChunk) {
    uint32_t n = length - offset < FlashChunk ? length - offset : FlashChunk;
    uint8_t chunk[FlashChunk + 1] = {};
    std::memcpy(chunk, image + offset, n);
    for (uint32_t k = 0; k < 2; ++k) {
      uint32_t at = FlashDspCountAt + k;
      if (dspWord && at >= offset && at < offset + n) chunk[at - offset] = uint8_t(dspWord >> (8 * k));
    }
    uint16_t words[3 + FlashChunk / 2];
    words[0] = uint16_t(offset);
    words[1] = uint16_t(offset >> 16);
    words[2] = uint16_t(n - 1);
    uint32_t count = (n + 1) / 2;
    for (uint32_t i = 0; i < count; ++i) words[3 + i] = Word16(chunk + 2 * i);
    if (!ShortCommand(CmdFlashChunk, words, 3 + count)) return STATUS_DATA_ERROR;
  }
  m_info[0] = Word16(image + FlashInfoAt[0]);
  m_info[1] = Word16(image + FlashInfoAt[1]);
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::ReadDspWord(uint16_t c, uint32_t* word) {
  uint16_t halves[2] = {};
  if (!ShortCommand(uint16_t(c | DspRead | DspData), nullptr, 0, halves, 2)) return STATUS_DATA_ERROR;
  *word = halves[0] | uint32_t(halves[1]) << 16;
  return STATUS_SUCCESS;
}

// A DSP image: {.., .., .., .., firmware identifier, board id, ...}; words
// 4 and 5 are read whole, so it must hold 24 bytes. Each DSP takes the
// whole image through its bootstrap, then the start message.
NTSTATUS CBoardDnv::DspBoot(const uint8_t* image, uint32_t length) {
  if (length < 24 || Word32(image + 20) != BoardId()) return STATUS_INVALID_USER_BUFFER;
  if (!DspCount()) return STATUS_NOT_SUPPORTED;
  ResetBoard();
  uint32_t words = length / 4;
  for (uint32_t d = 0; d < DspCount(); ++d) {
    uint16_t c = uint16_t(d << 6), status = 0;
    if (!ShortCommand(uint16_t(c | DspRead | DspStatus), nullptr, 0, &status, 1) ||
        status != DspBootstrapReady) {
      ResetDsp(d);
      return STATUS_DEVICE_NOT_READY;
    }
    uint16_t go = 32;
    if (!ShortCommand(uint16_t(c | DspWrite), &go, 1)) return STATUS_DATA_ERROR;
    for (uint32_t i = 0; i < words; ++i) {
      uint32_t w = Word32(image + 4 * i);
      uint16_t halves[2] = {uint16_t(w), uint16_t(w >> 16)};
      if (!ShortCommand(uint16_t(c | DspWrite | DspData), halves, 2)) return STATUS_DATA_ERROR;
    }
    uint32_t start = KsTimeMs();
    for (;;) {
      if (!ShortCommand(uint16_t(c | DspRead | DspStatus), nullptr, 0, &status, 1)) return STATUS_DATA_ERROR;
      if (status & 1) {
        uint32_t dropped;
        ReadDspWord(c, &dropped);
      }
      if (status & 8) break;
      if (KsTimeMs() - start >= BootPollMs) {
        ResetDsp(d);
        return STATUS_DEVICE_NOT_READY;
      }
      KsSleepMs(1);
    }
    const uint32_t hello[3] = {m_format[0], m_format[1], d};
    NTSTATUS s = DnvCommand(d << 6, hello, 3, nullptr, 0, nullptr);
    if (!NT_SUCCESS(s)) return s;
  }
  SetProgramWord(Word32(image + 16));
  return RateMessage();
}

// ---- the stream interface's commands -------------------------------------------------------------

// A command record to a DSP's running program through its data port:
// the four header words and the payload, then the reply header and words.
NTSTATUS CBoardDnv::StreamDspCommand(uint32_t dsp, QvMailbox* m) {
  uint16_t c = uint16_t(dsp << 6), status = 0;
  m->replyBytes = 0;
  if (!ShortCommand(uint16_t(c | DspRead | DspStatus), nullptr, 0, &status, 1) || status != DspProgramReady) {
    ResetDsp(dsp);
    return STATUS_DEVICE_NOT_READY;
  }
  auto send = [&](uint32_t w) {
    uint16_t halves[2] = {uint16_t(w), uint16_t(w >> 16)};
    return ShortCommand(uint16_t(c | DspWrite | DspData), halves, 2);
  };
  const uint32_t head[4] = {m->count, m->capacity, m->word0, m->word1};
  for (uint32_t w : head)
    if (!send(w)) return STATUS_DATA_ERROR;
  for (uint32_t i = 0; i + 2 < m->count; ++i)
    if (!send(m->extra[i])) return STATUS_DATA_ERROR;
  // Each word waits for the DSP to have one (status bit 0).
  auto next = [&](uint32_t* word) -> NTSTATUS {
    uint32_t start = KsTimeMs();
    for (;;) {
      uint16_t st = 0;
      if (!ShortCommand(uint16_t(c | DspRead | DspStatus), nullptr, 0, &st, 1)) return STATUS_DATA_ERROR;
      if (st & 1) return ReadDspWord(c, word);
      if (KsTimeMs() - start >= Timeout()) {
        ResetDsp(dsp);
        return STATUS_IO_TIMEOUT;
      }
      KsSleepMs(1);
    }
  };
  uint32_t header = 0;
  NTSTATUS s = next(&header);
  if (!NT_SUCCESS(s)) return s;
  if (header & 0x800000) return static_cast<NTSTATUS>(0xC0060000u | ((header >> 16) & 0xFF));
  uint32_t count = header & 0xFFFF;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t w = 0;
    s = next(&w);
    if (!NT_SUCCESS(s)) return s;
    // Words beyond the caller's room are read and dropped.
    if (i < m->capacity && m->reply) {
      m->reply[i] = w;
      m->replyBytes = (i + 1) * 4;
    }
  }
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::Command(QvMailbox* m) {
  if (!Registers().base) return STATUS_DEVICE_NOT_READY;
  m->replyBytes = 0;
  uint32_t type = m->word1 & 0x3F, dsp = (m->word1 >> 6) & 3;
  const HwRegs& r = Registers();
  switch (type) {
    case 0:
    case 2:
    case 10:
    case 11:
      if (dsp >= DspCount()) return STATUS_NOT_SUPPORTED;
      return StreamDspCommand(dsp, m);
    case 3:
      HwWrite32(r, StreamBlocks, 16);
      HwWrite32(r, InterruptStatus, 0);
      std::memset(m_stats, 0, sizeof m_stats);
      return STATUS_SUCCESS;
    case 4:
      HwWrite32(r, StreamBlocks, (uint32_t(m_stream ? m_stream->Blocks() : 1) << 16) + 16);
      HwWrite32(r, InterruptStatus, 1);
      return STATUS_SUCCESS;
    case 7: {
      uint32_t words[4] = {m_format[0], m_format[1], m_info[0], m_info[1]};
      uint32_t n = m->capacity >= 4 ? 4 : m->capacity >= 2 ? 2 : 0;
      if (m->reply && n) std::memcpy(m->reply, words, n * 4);
      m->replyBytes = n * 4;
      return STATUS_SUCCESS;
    }
    default: return STATUS_NOT_SUPPORTED;
  }
}

// ---- requests ------------------------------------------------------------------------------------

bool CBoardDnv::ResetOnError() {
  uint32_t value = 1;
  auto* board = static_cast<CBoardDevice*>(Device());
  HANDLE key;
  if (board && board->Pdo() && NT_SUCCESS(KsOpenDeviceKey(board->Pdo(), &key))) {
    KsRegReadDword(key, u"ResetOnError", &value);
    KsRegClose(key);
  }
  return value != 0;
}

// A pass-through: the input words as the payload of the DSP command, its
// reply into the output.
NTSTATUS CBoardDnv::PassThroughCommand(const QvBoardCommand& command, IRP* irp) {
  uint32_t in = InLength(irp), out = OutLength(irp);
  if (in / 4 > MaxLongWords) return STATUS_INVALID_BUFFER_SIZE;
  uint32_t payload[MaxLongWords], reply[MaxLongWords];
  uint32_t n = in / 4;
  if (n) std::memcpy(payload, Buffer(irp), n * 4);
  uint32_t capacity = out / 4 < MaxLongWords ? out / 4 : MaxLongWords;
  uint32_t code = (command.command & 0x80003F) | (command.dsp & 3) << 6, got = 0;
  NTSTATUS status = DnvCommand(code, payload, n, reply, capacity, &got);
  if (!NT_SUCCESS(status)) {
    if (ResetOnError()) ResetBoard();
    return status;
  }
  std::memcpy(Buffer(irp), reply, got * 4);
  irp->IoStatus.Information = got * 4;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::BoardRequest(IRP* irp) {
  switch (Code(irp)) {
    case IOCTL_QV_GET_INFO: return GetInfo(irp);
    case IOCTL_QV_LOAD:
    case IOCTL_QV_EXT_QUERY: return STATUS_NOT_SUPPORTED;
    case IOCTL_QV_SET_PARAM: return SetParam(irp);
    case IOCTL_QV_GET_PARAM: return GetParam(irp);
    case IOCTL_QV_EXP_SETTING: return ExpSetting(irp);
    case IOCTL_QV_SET_ROUTES: return SetRoutes(irp);
    case IOCTL_QV_DEVICE_MODE: {
      // A time-code reference (clock nibble 7 with its two words) marks the
      // mode word: bit 24 set, bit 25 cleared.
      uint32_t in = InLength(irp), flags = 0;
      if (in >= 20) std::memcpy(&flags, Buffer(irp) + 8, 4);
      NTSTATUS status = CPciDsp::BoardRequest(irp);
      if (NT_SUCCESS(status) && in >= 20 && ((flags >> 20) & 0xF) == 7 && m_stream)
        m_stream->SetModeFlags((m_stream->Mode().flags | 1u << 24) & ~(1u << 25));
      return status;
    }
    default: return CPciDsp::BoardRequest(irp);
  }
}

// Up to four statistics words, then up to four words of the buffer
// address registers.
NTSTATUS CBoardDnv::GetInfo(IRP* irp) {
  uint32_t words[8];
  std::memcpy(words, m_stats, sizeof m_stats);
  for (uint32_t i = 0; i < 4; ++i) words[4 + i] = HwRead32(Registers(), 4 * i);
  uint32_t bytes = OutLength(irp) / 4 * 4;
  if (bytes > sizeof words) bytes = sizeof words;
  std::memcpy(Buffer(irp), words, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::SetParam(IRP* irp) {
  if (!m_router) return STATUS_INVALID_DEVICE_STATE;
  if (InLength(irp)) {
    if (!IsOwner(this, irp)) return NotOwner(Code(irp), Owner() != nullptr);
    if (InLength(irp) < 4) return STATUS_INVALID_BUFFER_SIZE;
    uint32_t word = Word32(Buffer(irp));
    bool changed = word != m_clockWord;
    m_clockWord = word;
    ClockSetup();
    if (changed && m_stream) m_stream->WriteConfig(REG_BINARY, &word, 4);
  }
  if (OutLength(irp) < 4) {
    irp->IoStatus.Information = 0;
    return STATUS_SUCCESS;
  }
  std::memcpy(Buffer(irp), &m_clockWord, 4);
  irp->IoStatus.Information = 4;
  return STATUS_SUCCESS;
}

// The control register (bit 31 set, bit 30 external sync, the low nibble
// the lock state: the clock source in use and the 44.1 kHz family bit from
// the mode byte) and the clock/mode word.
NTSTATUS CBoardDnv::GetParam(IRP* irp) {
  if (OutLength(irp) < 8) return STATUS_BUFFER_TOO_SMALL;
  uint32_t divider = (m_clockWord >> 8) & 0xFF;
  HwWrite16(Registers(), Control, uint16_t((divider / 16) * 512 + 0x2101));
  uint32_t control = HwRead16(Registers(), Control);
  HwWrite16(Registers(), Control, uint16_t((divider / 16) * 512 + ControlClock));
  bool external = m_stream && (m_stream->Mode().flags & ModeSystemRate);
  uint32_t words[2] = {(control & ~0xFu) | 0x80000000u | (external ? 0x40000000u : 0) | ((m_modeByte >> 2) & 0xF),
                       m_clockWord};
  std::memcpy(Buffer(irp), words, 8);
  irp->IoStatus.Information = 8;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardDnv::ExpSetting(IRP* irp) {
  if (!m_router) return STATUS_INVALID_DEVICE_STATE;
  if (InLength(irp) && m_stream) {
    uint8_t v = Buffer(irp)[0];
    uint32_t flags = m_stream->Mode().flags;
    if (v == 0) flags &= ~(1u << 25);
    else if (v <= 2) flags |= 3u << 24;
    m_stream->SetModeFlags(flags);
  }
  irp->IoStatus.Information = 0;
  if (OutLength(irp)) {
    Buffer(irp)[0] = 0;
    irp->IoStatus.Information = 1;
  }
  return STATUS_SUCCESS;
}

// ---- the router ----------------------------------------------------------------------------------

// Both banks group the destinations by pairs of indices, 28 to a pair
// (32 pairs of 64 indices, 896 destinations). Bank 0 holds per pair the
// two destinations of each of types 0 to 3 and 5 to 7 (slots 0..13), then
// four of type 4 and four of type 8 (slots 14..21; their 128 indices go
// four to a group); slots 22..27 stay unused. Bank 1 puts types 4 and 8
// first (slots 0..7) and the other types after them (slots 8..21).
uint32_t CBoardDnv::Destination(uint32_t bank, uint8_t type, uint8_t index) {
  uint32_t group, slot;
  if (type == 4 || type == 8) {
    group = index / 4;
    uint32_t first = bank == 0 ? (type == 4 ? 14 : 18) : (type == 4 ? 0 : 4);
    slot = first + index % 4;
  } else {
    group = index / 2;
    uint32_t order = type <= 3 ? type : type - 1;  // 0..6
    slot = (bank == 0 ? 0 : 8) + 2 * order + index % 2;
  }
  return group * 28 + slot;
}

NTSTATUS CBoardDnv::SetRoutes(IRP* irp) {
  if (!m_router) return STATUS_INVALID_DEVICE_STATE;
  if (!IsOwner(this, irp)) return NotOwner(Code(irp), Owner() != nullptr);
  uint32_t in = InLength(irp);
  if (in % 4) return STATUS_INVALID_PARAMETER;
  const uint8_t* entries = Buffer(irp);
  uint32_t count = in / 4;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t type = entries[4 * i], index = entries[4 * i + 1];
    uint16_t value = Word16(entries + 4 * i + 2);
    if (type == 255) continue;
    uint32_t limit = type <= 3 || (type >= 5 && type <= 7) ? 64 : (type == 4 || type == 8) ? 128 : 0;
    if (index >= limit || (value & 0x3FFF) > 1022) return STATUS_INVALID_PARAMETER;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t type = entries[4 * i], index = entries[4 * i + 1];
    uint16_t value = Word16(entries + 4 * i + 2);
    if (type == 255) {
      if (entries[4 * i + 3] & 0x10) m_router->Reset();
      continue;
    }
    uint32_t bank = (value >> 14) & 1;
    uint16_t& e = m_router->bank[bank][Destination(bank, type, index)];
    if (value & 0x8000) {
      e |= 0xC000;
    } else {
      uint16_t source = value & 0x3FF;
      e = uint16_t(((e & 0x3FF) != source ? source : e & 0x3FF) | 0x4000);
    }
  }
  irp->IoStatus.Information = 0;
  return SendRoutes();
}

// Changed entries go in runs of at most 64 from the first changed one,
// each run ending at its last changed entry.
NTSTATUS CBoardDnv::SendRoutes() {
  constexpr uint32_t N = DnvRouter::Destinations, RunMax = 64;
  for (uint32_t bank = 0; bank < 2; ++bank) {
    uint16_t* b = m_router->bank[bank];
    for (uint32_t d = 0; d < N;) {
      if (!(b[d] & 0x4000)) {
        ++d;
        continue;
      }
      uint32_t end = d;
      for (uint32_t k = d; k < N && k < d + RunMax; ++k)
        if (b[k] & 0x4000) end = k;
      uint32_t n = end - d + 1;
      uint16_t words[2 + RunMax];
      words[0] = uint16_t(bank == 0 ? 0x8000 + d : 0x8000 + d - 0x7C00);
      words[1] = uint16_t(n);
      for (uint32_t k = 0; k < n; ++k) {
        uint32_t at = d + k;
        uint16_t e = b[at], source = e & 0x3FF;
        bool on = !(e & 0x8000);
        if (bank == 0) {
          uint16_t w = source;
          if (on) {
            w |= 0x1000;
            bool first = true;
            for (uint32_t p = 0; p < at && first; ++p)
              if (!(b[p] & 0x8000) && (b[p] & 0x3FF) == source) first = false;
            if (first) w |= 0x0800;
            if (at > 0 && !(b[at - 1] & 0x8000) && (b[at - 1] & 0x3FF) == source) w |= 0x0400;
          }
          words[2 + k] = w;
        } else {
          words[2 + k] = uint16_t(on ? source : source | 0x400);
        }
      }
      if (!ShortCommand(CmdRoutes, words, 2 + n)) return STATUS_DATA_ERROR;
      for (uint32_t k = 0; k < n; ++k) b[d + k] &= uint16_t(~0x4000);
      d = end + 1;
    }
  }
  return STATUS_SUCCESS;
}
