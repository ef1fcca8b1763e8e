// The Tavrion, second-generation Tavrion, Corbelle and Mixer I/O boards:
// their start words, rate and clock commands, parameters, the expansion
// query, and the Corbelle's router, converter and boot retries.
#include "kernel/hostif.h"
#include "kernel/pciboard.h"
#include "kernel/striface.h"

#include <cstring>

namespace {
IO_STACK_LOCATION* Stack(IRP* irp) { return IoGetCurrentIrpStackLocation(irp); }
uint32_t Code(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.IoControlCode; }
uint32_t InLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.InputBufferLength; }
uint32_t OutLength(IRP* irp) { return Stack(irp)->Parameters.DeviceIoControl.OutputBufferLength; }
uint8_t* Buffer(IRP* irp) { return static_cast<uint8_t*>(irp->AssociatedIrp.SystemBuffer); }
uint32_t Word(IRP* irp, uint32_t i) {
  uint32_t w;
  std::memcpy(&w, Buffer(irp) + 4 * i, 4);
  return w;
}
bool IsOwner(CDspDevice* d, IRP* irp) { return Stack(irp)->FileObject == d->Owner(); }

constexpr uint32_t RateCommandCode = 10, ClockCommandCode = 11, ExpansionCommand = 9, RouterCommand = 6;
constexpr uint32_t ProtocolFirmware = 0x70430;

// The rate adjusted by the vari-speed (1/100000 of the rate), rounded to
// nearest with the sign kept; a quotient beyond 32 bits gives -1.
uint32_t WithVariSpeed(uint32_t r, int16_t variSpeed) {
  return r + static_cast<uint32_t>(MulDiv(static_cast<int32_t>(r), variSpeed, 100000));
}

// The expansion query's 20-bit value spread over the word: every carry
// out of the low 20 bits is added above them.
uint32_t Spread(uint32_t v) {
  uint32_t x = v, y = v, d, c;
  do {
    d = y << 4;
    c = d & 0xFFF00000u;
    x += c;
    y = d ^ c;
  } while (d != c);
  return x;
}
uint32_t Unspread(uint32_t w) {
  uint32_t x = w, y = w & 0xFFFFF, d, c;
  do {
    d = y << 4;
    c = d & 0xFFF00000u;
    x -= c;
    y = d ^ c;
  } while (d != c);
  return x;
}
}  // namespace

// ---- the firmware start (expansion and Mixer I/O cards) -----------------------------------

NTSTATUS CPciDsp::FirmwareStart(uint32_t commonBuffer) {
  if (ProgramWord() != ProtocolFirmware) return STATUS_SUCCESS;
  uint32_t params[4] = {0xFFF00, 128, commonBuffer >> 8, commonBuffer >> 8};
  uint32_t reply[4] = {};
  QvMailbox m{0, reply, params, 6, 4, 0, 0};
  NTSTATUS status = Mailbox(&m);
  if (!NT_SUCCESS(status)) return status;
  if (reply[3] & 0x800000) {
    // The firmware refused its start: it is stopped.
    HwWrite32(Registers(), HostCommand, HcvrReset);
    SetProgramWord(0);
    return STATUS_DATA_ERROR;
  }
  if (m_stream) m_stream->SetProgramValues(uint16_t(reply[0]), uint16_t(reply[1]));
  HwWrite32(Registers(), HostControl, HctrStreaming);
  return STATUS_SUCCESS;
}

// ---- Tavrion ------------------------------------------------------------------------------------

// The bootstrap takes a four-word program for address 0.
NTSTATUS CBoardTvr::StartBoard() {
  static const uint32_t words[6] = {4, 0, 0x08F4BD, 0xB40054, 0x0AF080, 0xFF0000};
  for (uint32_t i = 0; i < 6; ++i) HwWrite32(Registers(), HostData + 4 * i, words[i]);
  return STATUS_SUCCESS;
}

NTSTATUS CBoardTvr::RateCommand(uint32_t r) {
  if (!m_stream) return STATUS_DEVICE_NOT_READY;
  const DeviceModeRecord& mode = m_stream->Mode();
  uint32_t words[3] = {mode.rate, WithVariSpeed(r, mode.variSpeed), 0};
  return StreamCommand(RateCommandCode, words, 3);
}

NTSTATUS CBoardTvr::ApplyDeviceMode(bool) {
  if (!m_stream) return STATUS_DEVICE_NOT_READY;
  return RateCommand(m_stream->Mode().rate);
}

NTSTATUS CBoardTvr::BoardRequest(IRP* irp) {
  if (Code(irp) == IOCTL_QV_EXT_QUERY) return ExtQuery(irp);
  return CPciDsp::BoardRequest(irp);
}

NTSTATUS CBoardTvr::ExtQuery(IRP* irp) {
  if (InLength(irp) != 4 || OutLength(irp) > 4) return STATUS_INVALID_BUFFER_SIZE;
  uint32_t word = Spread(Word(irp, 0) & 0xFFFFF), answer = 0, got = 0;
  NTSTATUS status = StreamCommand(ExpansionCommand, &word, 1, &answer, 1, &got);
  if (!NT_SUCCESS(status)) return status;
  uint32_t value = Unspread(answer);
  if (value & 0xF00000) return STATUS_DATA_ERROR;
  value &= 0xFFFFF;
  std::memcpy(Buffer(irp), &value, OutLength(irp));
  irp->IoStatus.Information = 4;
  return STATUS_SUCCESS;
}

// ---- Mixer I/O ----------------------------------------------------------------------------------

NTSTATUS CBoardMio::ApplyDeviceMode(bool) {
  if (!m_stream) return STATUS_DEVICE_NOT_READY;
  uint32_t rate = m_stream->Mode().rate;
  return RateCommand(rate > 50000 ? rate / 2 : rate);
}

NTSTATUS CBoardMio::Boot(const void* image, uint32_t length) {
  NTSTATUS status = BootFirmware(image, length);
  if (NT_SUCCESS(status) && image && length) status = FirmwareStart(m_stream ? m_stream->CommonBufferAddress() : 0);
  return status;
}

// ---- second-generation Tavrion ------------------------------------------------------------------

NTSTATUS CBoardTv2::ApplyDeviceMode(bool forced) {
  if (!m_stream) return STATUS_DEVICE_NOT_READY;
  if (forced) {
    uint32_t stored[2], got = 0;
    if (NT_SUCCESS(m_stream->ReadConfig(stored, sizeof stored, &got)) && got >= 8) {
      m_clock[0] = stored[0] & ClockMask;
      m_clock[1] = stored[1] & ClockMask;
    } else {
      m_clock[0] = 0x800060;
      m_clock[1] = 0x801060;
    }
  }
  const DeviceModeRecord& mode = m_stream->Mode();
  uint32_t rate = mode.rate;
  bool external = (mode.flags & ModeSystemRate) != 0;
  // The external word keeps bit 4 of byte 1 after the mask, so that
  // external and internal clocking stay apart.
  uint32_t word = external ? (m_clock[1] & ClockMask) | 0x1000 : m_clock[0] & ClockMask;
  uint8_t b[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
  uint32_t s = b[1] & 0x0F, e = b[1] & 0xF0;
  uint32_t d = mode.flags & 0xFFFF;
  if (!d) d = 25025;
  uint32_t h = 0;
  switch (s) {
    case 3: b[2] = uint8_t((b[2] & 0xEF) | 0x20); break;
    case 4: b[1] = uint8_t(e + 3); b[2] &= 0xCF; break;
    case 5: b[1] = uint8_t(e + 3); b[2] = uint8_t((b[2] & 0xDF) | 0x10); break;
    case 6: b[1] = uint8_t(e); h = d; break;
    case 7: b[1] = uint8_t(e); h = d + 0x10000; break;
    default: break;
  }
  if (((mode.flags >> 20) & 0xF) == 2) h = d + 0x20000;
  uint32_t c = rate;
  if (rate <= 50000) {
    b[1] &= 0x7F;
    b[2] = uint8_t((b[2] & 0xF3) | 3);
  } else if (rate > 99999) {
    b[1] &= 0x7F;
    b[2] = uint8_t((b[2] & 0xF0) | 0xB);
    c = rate / 4;
  } else {
    b[2] = uint8_t((b[2] & 0xF0) ^ (((b[1] ^ 0xFF) | 0x60) >> 5));
    c = rate / 2;
  }
  if (!(b[1] & 0x80)) {
    uint32_t lower = c == 32000 ? 1 : c == 44100 ? 2 : c == 48000 ? 3 : 0;
    b[2] = uint8_t((b[2] & 0xF0) | ((b[2] - lower) & 0x0F));
  }
  if (!(b[3] & 0x10)) b[3] = 0x60;
  c = WithVariSpeed(c, mode.variSpeed);
  word = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  if (!forced && m_sent && word == m_last[0] && c == m_last[1] && h == m_last[2]) return STATUS_SUCCESS;
  uint32_t rateWords[3] = {rate, c, h};
  NTSTATUS status = StreamCommand(RateCommandCode, rateWords, 3);
  if (!NT_SUCCESS(status)) return status;
  uint32_t t;
  switch (rate) {
    case 32000: t = 0x300A3; break;
    case 44100: t = 0xA3; break;
    case 48000: t = 0x200A3; break;
    case 88200: t = 0x800A3; break;
    case 96000: t = 0xA00A3; break;
    case 176400: t = 0xC00A3; break;
    case 192000: t = 0xE00A3; break;
    default: t = 0x100A3; break;
  }
  uint32_t clockWords[4] = {word, rate < 100000 ? 0x240021u : 0x400021u, 0x400A0, t};
  status = StreamCommand(ClockCommandCode, clockWords, 4);
  if (!NT_SUCCESS(status)) return status;
  m_last[0] = word;
  m_last[1] = c;
  m_last[2] = h;
  m_sent = true;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardTv2::BoardRequest(IRP* irp) {
  switch (Code(irp)) {
    case IOCTL_QV_SET_PARAM: return SetParam(irp);
    case IOCTL_QV_GET_PARAM: return GetParam(irp);
    default: return CBoardTvr::BoardRequest(irp);
  }
}

NTSTATUS CBoardTv2::SetParam(IRP* irp) {
  uint32_t in = InLength(irp);
  if (in) {
    if (!IsOwner(this, irp)) return NotOwner(IOCTL_QV_SET_PARAM, Owner() != nullptr);
    if (in < 4) return STATUS_INVALID_BUFFER_SIZE;
    uint32_t clock[2] = {Word(irp, 0) & ClockMask, in >= 8 ? Word(irp, 1) & ClockMask : m_clock[1]};
    if (clock[0] != m_clock[0] || clock[1] != m_clock[1]) {
      m_clock[0] = clock[0];
      m_clock[1] = clock[1];
      if (m_stream) m_stream->WriteConfig(REG_BINARY, m_clock, sizeof m_clock);
      NTSTATUS status = ApplyDeviceMode(false);
      if (!NT_SUCCESS(status)) return status;
    }
  }
  uint32_t bytes = OutLength(irp) < 8 ? OutLength(irp) / 4 * 4 : 8;
  std::memcpy(Buffer(irp), m_clock, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardTv2::GetParam(IRP* irp) {
  if (OutLength(irp) < 4) {
    irp->IoStatus.Information = 4;
    return STATUS_BUFFER_TOO_SMALL;
  }
  uint32_t status[3] = {}, got = 0;
  NTSTATUS s = StreamCommand(2, nullptr, 0, status, 3, &got);
  if (!NT_SUCCESS(s)) return s;
  uint32_t lock = status[0] & 0xF;
  // Lock states 0, 9 and 12 report no valid clock.
  if (lock == 0 || lock == 9 || lock == 12) status[0] &= ~0x10u;
  // The second status word has a bit per clock source that lost its
  // signal; the sources the stored words select are re-armed.
  uint32_t expected = (1u << ((m_clock[0] >> 8) & 0xF)) | (1u << ((m_clock[1] >> 8) & 0xF));
  uint32_t rearm = status[1] & expected & 0xFFFF;
  if (rearm) {
    s = StreamCommand(ClockCommandCode, &rearm, 1);
    if (!NT_SUCCESS(s)) return s;
  }
  uint32_t out[4] = {status[0], status[1], status[2], m_last[0]};
  uint32_t bytes = OutLength(irp) < 16 ? OutLength(irp) / 4 * 4 : 16;
  std::memcpy(Buffer(irp), out, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

// ---- Corbelle ------------------------------------------------------------------------------------

namespace {
constexpr uint32_t CblPending = 1u << 31, CblExternal = 1u << 30, CblOwnerSet = 1u << 29, CblValid = 1u << 28;
constexpr uint8_t NotRouted = 0x7F;
constexpr uint8_t EntryChanged = 0x80, EntryOff = 0x40;
constexpr uint32_t Destinations = 416;
constexpr uint32_t PairsPerBatch = 10;
// The rate bands of the converter: below each threshold.
constexpr uint32_t RateBands[3] = {50000, 100000, 200000};
}  // namespace

CblExpansion::CblExpansion() {
  std::memset(routes, NotRouted, sizeof routes);
  std::memset(lastRoutes, NotRouted, sizeof lastRoutes);
  for (uint32_t i = 0; i < 64; ++i) banks[2][i] = uint8_t(127 - i);
  for (uint8_t& n : bankCount) n = 64;
  for (auto& bank : matrix)
    for (Entry& e : bank) e = {0xFF, EntryOff};
}

CBoardCbl::~CBoardCbl() { CBoardCbl::Stop(); }

uint32_t CBoardCbl::Destination(uint8_t type, uint8_t index) {
  switch (type) {
    case 0: return index / 4 * 26 + index % 4 + 16;
    case 1: return index / 4 * 26 + index % 4 + 20;
    default: return (index & 1) + index / 2 * 26 + 2 * type - 4;
  }
}

void CBoardCbl::Stop() {
  delete m_exp;
  m_exp = nullptr;
  CPciDsp::Stop();
}

void CBoardCbl::SetOwner(FILE_OBJECT* owner) {
  CPciDsp::SetOwner(owner);
  if (!m_exp) return;
  if (owner) {
    m_exp->flags &= ~CblOwnerSet;
    return;
  }
  // Released: the expansion goes back to its defaults.
  m_exp->lockMode = 0;
  if (m_exp->flags & CblExternal) Reconfigure(m_exp->setting);
  m_exp->flags |= CblPending;
}

NTSTATUS CBoardCbl::Boot(const void* image, uint32_t length) {
  if (image && length && !m_exp) {
    m_exp = new CblExpansion;
    if (!m_exp) return STATUS_INSUFFICIENT_RESOURCES;
    uint8_t stored[8];
    uint32_t got = 0;
    if (m_stream && NT_SUCCESS(m_stream->ReadConfig(stored, sizeof stored, &got)) && got >= 8) {
      std::memcpy(&m_exp->format, stored, 2);
      std::memcpy(&m_exp->subCode, stored + 2, 2);
      std::memcpy(&m_exp->setting, stored + 4, 4);
    }
  }
  NTSTATUS status = STATUS_DATA_ERROR;
  for (int tries = 0; tries < 5 && status == STATUS_DATA_ERROR; ++tries) {
    status = BootFirmware(image, length);
    if (NT_SUCCESS(status) && image && length) status = FirmwareStart(m_stream ? m_stream->CommonBufferAddress() : 0);
  }
  return status;
}

NTSTATUS CBoardCbl::ApplyDeviceMode(bool) {
  if (!m_stream) return STATUS_DEVICE_NOT_READY;
  const DeviceModeRecord& mode = m_stream->Mode();
  uint32_t f = mode.flags;
  uint32_t r = mode.rate < 50000 ? mode.rate : mode.rate / 2;
  // The second word carries the vari-speed as the other boards' rate
  // command does.
  uint32_t words[3] = {mode.rate, WithVariSpeed(r, mode.variSpeed), (f ^ (f >> 4) ^ ((f << 8) >> 12)) & 0xFFFF};
  NTSTATUS status = StreamCommand(RateCommandCode, words, 3);
  if (!NT_SUCCESS(status) || !m_exp) return status;
  status = Reconfigure(m_exp->setting);
  if (!NT_SUCCESS(status)) return status;
  return SendSetting(m_exp->applied ? m_exp->applied : m_exp->setting);
}

NTSTATUS CBoardCbl::SendSetting(uint32_t word) {
  if (!m_exp || !m_stream) return STATUS_INVALID_DEVICE_STATE;
  if (m_stream->Mode().rate > 49999)
    word |= 4;
  else
    word &= ~4u;
  if (word == m_exp->applied) return STATUS_SUCCESS;
  if (((word >> 12) & 3) == 1)
    for (auto& bank : m_exp->matrix)
      for (CblExpansion::Entry& e : bank) e = {0xFF, EntryOff};
  NTSTATUS status = StreamCommand(RouterCommand, &word, 1);
  if (!NT_SUCCESS(status)) return status;
  m_exp->applied = word;
  m_exp->latency[0] = 9;
  m_exp->latency[1] = (word & 4) ? 33 : 17;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::BoardRequest(IRP* irp) {
  switch (Code(irp)) {
    case IOCTL_QV_EXT_QUERY: return BufferCommand(ExpansionCommand, irp);
    case IOCTL_QV_SET_PARAM: return SetParam(irp);
    case IOCTL_QV_GET_PARAM: return GetParam(irp);
    case IOCTL_QV_EXP_SETTING: return ExpSetting(irp);
    case IOCTL_QV_SET_ROUTES: return SetRoutes(irp);
    default: return CPciDsp::BoardRequest(irp);
  }
}

NTSTATUS CBoardCbl::SetRoutes(IRP* irp) {
  if (!m_exp) return STATUS_INVALID_DEVICE_STATE;
  uint32_t count = InLength(irp) / 4;
  const uint8_t* in = Buffer(irp);
  // Every entry is checked before any is applied.
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t type = in[4 * i], index = in[4 * i + 1];
    uint16_t value;
    std::memcpy(&value, in + 4 * i + 2, 2);
    uint32_t source = value & 0x3FFF;
    bool ok;
    if (type <= 1) ok = source < 256 && index < 64;
    else if (type == 64) ok = (value & 0x4000) && source < 256;
    else if (type == 255) ok = true;
    else ok = type <= 9 && source < 256 && index < 32;
    if (!ok) return STATUS_INVALID_PARAMETER;
  }
  bool tableChanged = false, resetTable = false;
  uint32_t deferred = 0;
  bool haveDeferred = false;
  NTSTATUS status = STATUS_SUCCESS;
  for (uint32_t i = 0; i < count && NT_SUCCESS(status); ++i) {
    uint8_t type = in[4 * i], index = in[4 * i + 1];
    uint16_t value;
    std::memcpy(&value, in + 4 * i + 2, 2);
    uint8_t source = uint8_t(value & 0xFF);
    bool off = (value & 0x8000) != 0;
    if (type == 255) {
      uint32_t setting = (m_exp->setting & ~0x7FFu) | (value & 0x7FF);
      if ((value & 0x1800) == 0x1800 && (m_exp->setting & CblExternal)) {
        std::memset(m_exp->routes, NotRouted, sizeof m_exp->routes);
        resetTable = true;
      } else if (value & 0x2000) {
        deferred = setting;
        haveDeferred = true;
      } else if (value & 0x1000) {
        status = SendSetting(setting);
      }
      continue;
    }
    if (type == 64) {
      m_exp->routes[index] = off ? NotRouted : source;
      tableChanged = true;
      continue;
    }
    CblExpansion::Entry& e = m_exp->matrix[(value & 0x4000) ? 1 : 0][Destination(type, index)];
    if (off) {
      e.flag = EntryChanged | EntryOff;
    } else {
      e.flag = EntryChanged;
      e.source = source;
    }
  }
  if (NT_SUCCESS(status)) status = SendMatrix();
  if (NT_SUCCESS(status) && tableChanged && (m_exp->setting & CblExternal)) status = SendRouteTable();
  if (NT_SUCCESS(status) && resetTable) {
    status = Reconfigure(m_exp->setting);
    if (NT_SUCCESS(status)) status = RefreshBanks();
  }
  if (NT_SUCCESS(status) && haveDeferred) status = SendSetting(deferred);
  return status;
}

// Changed matrix entries, ten words to a router command.
NTSTATUS CBoardCbl::SendMatrix() {
  uint32_t words[PairsPerBatch];
  uint32_t n = 0;
  for (uint32_t bank = 0; bank < 2; ++bank) {
    CblExpansion::Entry* m = m_exp->matrix[bank];
    for (uint32_t d = 0; d < Destinations; ++d) {
      if (!(m[d].flag & EntryChanged)) continue;
      bool on = !(m[d].flag & EntryOff);
      uint32_t w;
      if (bank == 0) {
        w = ((d | 0x2000) << 8) | m[d].source;
        if (on) w |= 0x80000;
        bool first = true;
        for (uint32_t k = 0; k < d && first; ++k)
          if (!(m[k].flag & EntryOff) && m[k].source == m[d].source) first = false;
        if (on && first) w |= 0x40000;
        if (d && m[d - 1].source == m[d].source && !(m[d - 1].flag & EntryOff)) w |= 0x20000;
      } else {
        w = ((d | 0x4000) << 8) | m[d].source;
        if (!on) w |= 0x20000;
      }
      m[d].flag &= uint8_t(~EntryChanged);
      words[n++] = w;
      if (n == PairsPerBatch) {
        NTSTATUS status = StreamCommand(RouterCommand, words, n);
        if (!NT_SUCCESS(status)) return status;
        n = 0;
      }
    }
  }
  return n ? StreamCommand(RouterCommand, words, n) : STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::Batch(const uint8_t (*pairs)[2], uint32_t count) {
  m_exp->converterMode &= ~1u;
  if (count) {
    uint32_t words[12] = {6, count - 1};
    for (uint32_t i = 0; i < count; ++i) words[2 + i] = uint32_t(pairs[i][0]) | uint32_t(pairs[i][1]) << 8;
    NTSTATUS status = StreamCommand(ExpansionCommand, words, 12);
    if (!NT_SUCCESS(status)) return status;
  }
  if (count == PairsPerBatch) return STATUS_SUCCESS;
  uint32_t end = 5;
  return StreamCommand(ExpansionCommand, &end, 1);
}

NTSTATUS CBoardCbl::SendPairs(const uint8_t (*pairs)[2], uint32_t count) {
  uint32_t at = 0;
  do {
    uint32_t n = count - at < PairsPerBatch ? count - at : PairsPerBatch;
    NTSTATUS status = Batch(pairs + at, n);
    if (!NT_SUCCESS(status)) return status;
    at += n;
  } while (at < count);
  return STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::SendRouteTable() {
  if (!(m_exp->flags & CblPending) || !(m_exp->setting & CblExternal)) return STATUS_SUCCESS;
  uint8_t pairs[256][2];
  uint32_t n = 0;
  for (uint32_t d = 0; d < 256; ++d) {
    uint8_t s = m_exp->routes[d];
    if (s == m_exp->lastRoutes[d]) continue;
    if (s != NotRouted && (s & 0x3F) >= m_exp->bankCount[s >> 6]) continue;
    pairs[n][0] = uint8_t(d);
    pairs[n][1] = s;
    ++n;
  }
  NTSTATUS status = SendPairs(pairs, n);
  if (NT_SUCCESS(status)) std::memcpy(m_exp->lastRoutes, m_exp->routes, sizeof m_exp->routes);
  return status;
}

NTSTATUS CBoardCbl::RefreshBanks() {
  CblExpansion& x = *m_exp;
  if (!(x.setting & CblExternal)) {
    x.pendingBanks = 0;
    return STATUS_SUCCESS;
  }
  if (!(x.flags & CblPending)) return STATUS_SUCCESS;
  uint8_t mode = x.converterMode;
  bool bit1 = mode & 2, bit2 = mode & 4, bit3 = mode & 8;
  if (x.pendingBanks & 8) {
    uint32_t n = (x.setting & (1u << 16)) ? 56 : 64;
    if (bit1 && bit3) {
      for (uint32_t k = 0; k < n / 2; ++k) {
        x.banks[3][k] = uint8_t(n - 1 - 2 * k);
        x.banks[3][n / 2 + k] = uint8_t(n - 2 - 2 * k);
      }
    } else {
      for (uint32_t k = 0; k < n; ++k) x.banks[3][k] = uint8_t(n - 1 - k);
    }
    x.bankCount[3] = uint8_t(n);
  }
  if (x.pendingBanks & 1) {
    uint8_t* b = x.banks[0];
    if (!bit1) {
      for (uint32_t k = 0; k < 6; ++k) {
        b[2 * k] = uint8_t(0x86 + k), b[2 * k + 1] = uint8_t(0x80 + k);
        b[12 + 2 * k] = uint8_t(0xA6 + k), b[13 + 2 * k] = uint8_t(0xA0 + k);
      }
      x.bankCount[0] = 24;
    } else if (bit2) {
      for (uint32_t k = 0; k < 6; ++k) {
        b[k] = uint8_t(0x86 + k), b[6 + k] = uint8_t(0xA6 + k);
        b[12 + k] = uint8_t(0x80 + k), b[18 + k] = uint8_t(0xA0 + k);
      }
      x.bankCount[0] = 24;
    } else {
      const uint8_t firsts[4][2] = {{0x92, 0x8C}, {0xB2, 0xAC}, {0x86, 0x80}, {0xA6, 0xA0}};
      for (uint32_t g = 0; g < 4; ++g)
        for (uint32_t k = 0; k < 6; ++k) {
          b[12 * g + 2 * k] = uint8_t(firsts[g][0] + k);
          b[12 * g + 2 * k + 1] = uint8_t(firsts[g][1] + k);
        }
      x.bankCount[0] = 48;
    }
  }
  if (x.pendingBanks & 2) {
    uint8_t* b = x.banks[1];
    bool low = x.subCode < 32;
    for (uint32_t k = 0; k < 12; ++k) {
      if (bit1) {
        b[2 * k] = uint8_t((low ? 0xE4 : 0xD8) + k), b[2 * k + 1] = uint8_t((low ? 0xD8 : 0xE4) + k);
        b[24 + 2 * k] = uint8_t((low ? 0xCC : 0xC0) + k), b[25 + 2 * k] = uint8_t((low ? 0xC0 : 0xCC) + k);
      } else {
        b[2 * k] = uint8_t((low ? 0xCC : 0xC0) + k), b[2 * k + 1] = uint8_t((low ? 0xC0 : 0xCC) + k);
      }
    }
    x.bankCount[1] = bit1 ? 48 : 24;
  }
  uint8_t pairs[PairsPerBatch][2];
  uint32_t n = 0;
  for (uint32_t g = 0; g < 4; ++g)
    for (uint32_t j = 0; j < x.bankCount[g]; ++j) {
      uint32_t d = 64 * g + j;
      uint8_t s = x.routes[d];
      if (s == NotRouted || (s & 0x3F) >= x.bankCount[s >> 6]) continue;
      if (!(x.pendingBanks & (1u << g)) && !(x.pendingBanks & (1u << (s >> 6)))) continue;
      pairs[n][0] = uint8_t(d);
      pairs[n][1] = s;
      if (++n == PairsPerBatch) {
        NTSTATUS status = Batch(pairs, n);
        if (!NT_SUCCESS(status)) return status;
        n = 0;
      }
    }
  NTSTATUS status = Batch(pairs, n);
  if (NT_SUCCESS(status)) x.pendingBanks = 0;
  return status;
}

NTSTATUS CBoardCbl::Reconfigure(uint32_t setting) {
  CblExpansion& x = *m_exp;
  setting &= ~0xE00000u;
  if ((setting ^ x.setting) & 0x1FFFFF) {
    uint8_t stored[8];
    uint32_t low = setting & 0x1FFFFF;
    std::memcpy(stored, &x.format, 2);
    std::memcpy(stored + 2, &x.subCode, 2);
    std::memcpy(stored + 4, &low, 4);
    if (m_stream) m_stream->WriteConfig(REG_BINARY, stored, sizeof stored);
  }
  x.setting = setting;
  if (!m_stream) return STATUS_SUCCESS;
  uint32_t rate = m_stream->Mode().rate, band = 0;
  while (band < 3 && rate >= RateBands[band]) ++band;
  bool external = (m_stream->Mode().flags & ModeSystemRate) != 0;
  uint32_t clock = external ? (setting >> 4) & 0xF : (x.setting >> 4) & 0xF;
  if (!clock) clock = 1;
  if (!(x.flags & CblValid) || !((x.flags & CblOwnerSet) || (setting & CblExternal))) return STATUS_SUCCESS;
  uint32_t config[5] = {0xA10000, uint32_t(x.format) << 16 | x.subCode, clock, band, setting & 0x1FFFFF};
  if (std::memcmp(config + 1, x.lastConfig, sizeof x.lastConfig)) {
    NTSTATUS status = StreamCommand(ExpansionCommand, config, 5);
    if (!NT_SUCCESS(status)) return status;
    std::memcpy(x.lastConfig, config + 1, sizeof x.lastConfig);
  }
  uint8_t mode = uint8_t((x.lockMode & 1) | ((clock == 3 && external) ? 2 : 0));
  if (mode != (x.converterMode & 3)) {
    x.converterMode = uint8_t((x.converterMode & ~3u) | mode);
    uint32_t word = ((0xC00000u | mode) | 0xFE00) & ~0x100u;
    return StreamCommand(ExpansionCommand, &word, 1);
  }
  return STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::StatusPoll(uint32_t* reply) {
  uint32_t words[2] = {0xA20000, 38}, got = 0;
  NTSTATUS status = StreamCommand(ExpansionCommand, words, 2, reply, 8, &got);
  if (!NT_SUCCESS(status)) return status;
  CblExpansion& x = *m_exp;
  // Reply: {format << 16 | sub-code, clock state, lock state, loss of sync}.
  uint16_t format = uint16_t(reply[0] >> 16), sub = uint16_t(reply[0]);
  if (got >= 1 && (format != x.format || sub != x.subCode)) {
    x.format = format;
    x.subCode = sub;
    x.flags &= ~CblValid;
    x.pendingBanks = 0xF;
  }
  x.flags |= CblValid;
  uint32_t lock = reply[2] & 0xF;
  if (lock == 1 || lock == 3 || (lock >= 5 && lock <= 8) || lock == 10)
    x.flags = (x.flags & ~0xF0000u) | (lock << 16);
  if ((reply[3] & 1) && (x.flags & CblPending)) {
    std::memset(x.lastConfig, 0, sizeof x.lastConfig);
    status = Reconfigure(x.setting);
  }
  if (NT_SUCCESS(status) && x.pendingBanks) {
    if (x.flags & CblPending)
      status = SendRouteTable();
    else
      x.flags |= CblPending;
    if (NT_SUCCESS(status)) status = RefreshBanks();
  }
  return status;
}

NTSTATUS CBoardCbl::SetParam(IRP* irp) {
  if (!m_exp) return STATUS_INVALID_DEVICE_STATE;
  uint32_t in = InLength(irp);
  if (in) {
    if (in < 4) return STATUS_INVALID_BUFFER_SIZE;
    if (!Owner()) return STATUS_INVALID_DEVICE_STATE;
    uint32_t word = Word(irp, 0);
    if (IsOwner(this, irp)) {
      m_exp->flags |= CblOwnerSet;
    } else {
      if (!(m_exp->setting & CblOwnerSet)) return STATUS_DEVICE_BUSY;
      word = (m_exp->setting & 0xE0000000u) | (word & 0x1FFFFFFF);
    }
    uint32_t old = m_exp->setting;
    NTSTATUS status = Reconfigure(word);
    if (!NT_SUCCESS(status)) {
      m_exp->setting = old;
      return status;
    }
  }
  uint32_t bytes = OutLength(irp) < 4 ? 0 : 4;
  std::memcpy(Buffer(irp), &m_exp->setting, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::GetParam(IRP* irp) {
  if (!m_exp) return STATUS_INVALID_DEVICE_STATE;
  uint32_t reply[8] = {};
  NTSTATUS status = StatusPoll(reply);
  if (!NT_SUCCESS(status)) return status;
  uint32_t flags = m_exp->flags;
  if (!IsOwner(this, irp) && (flags & CblOwnerSet)) flags &= ~CblValid;
  uint32_t out[4] = {flags, uint32_t(m_exp->format) | uint32_t(m_exp->subCode) << 16, m_exp->setting, reply[1]};
  uint32_t bytes = OutLength(irp) < 16 ? OutLength(irp) / 4 * 4 : 16;
  std::memcpy(Buffer(irp), out, bytes);
  irp->IoStatus.Information = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS CBoardCbl::ExpSetting(IRP* irp) {
  if (!m_exp) return STATUS_INVALID_DEVICE_STATE;
  if (InLength(irp)) {
    uint8_t value = Buffer(irp)[0];
    uint8_t old = m_exp->lockMode;
    bool external = m_stream && (m_stream->Mode().flags & ModeSystemRate);
    uint8_t mode = value > 2 ? (external ? 2 : 1) : value;
    m_exp->lockMode = mode;
    NTSTATUS status = STATUS_SUCCESS;
    if (m_exp->flags & CblValid) {
      if ((mode ^ old) & 1) status = Reconfigure(m_exp->setting);
      if (NT_SUCCESS(status) && ((mode ^ old) & 2)) {
        uint32_t word = 0xC0FF00 | (mode & 2);
        status = StreamCommand(ExpansionCommand, &word, 1);
      }
    }
    if (!NT_SUCCESS(status)) {
      m_exp->lockMode = old;
      return status;
    }
  }
  if (OutLength(irp)) {
    Buffer(irp)[0] = m_exp->lockMode;
    irp->IoStatus.Information = 1;
  }
  return STATUS_SUCCESS;
}
