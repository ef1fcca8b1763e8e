// The host-port variants: register layouts, probes, resets, command
// encodings, transfer preparation and the movers.
#include "kernel/hostport.h"

#include "kernel/protocol.h"
#include "kernel/services.h"

#include <cstring>

enum class Encoding : uint8_t { First, SecondIo, SecondMemory, SecondEpp };
constexpr uint8_t None = 0xFF;

// Register offsets and bits of one variant.
struct PortVariant {
  uint32_t kind;
  Encoding encoding;
  uint8_t control, command, status;
  uint8_t pending;             // command-pending bit of the command register
  uint8_t transmitReady, receiveReady;
  uint8_t writeHigh, writeMiddle, writeLow;
  uint8_t readHigh, readMiddle, readLow;
  uint8_t pair;                // middle and low as one 16-bit access here, or None
  bool pairMiddleFirst;        // the pair's low byte is the middle byte
  uint8_t data;                // one data register for whole words (the mode register packs), or None
  uint8_t mode;                // transfer-mode register, or None
  bool epp;                    // registers reached through EPP cycles of a parallel port
};

namespace {
constexpr uint32_t BoardRegister = 0x200;
constexpr uint32_t ProbeWaitMs = 2000;
constexpr uint32_t ProbePollMs = 50;

const PortVariant FirstIo = {UnitKindPort1, Encoding::First, 0, 1, 2, 0x80, 0x02, 0x01,
                             5, 6, 7, 5, 6, 7, 6, true, None, None, false};
const PortVariant SecondIo = {UnitKindPort2, Encoding::SecondIo, 0, 2, 1, 0x01, 0x01, 0x04,
                              7, 4, 5, 4, 7, 6, 6, false, None, None, false};
const PortVariant FirstMemory = {UnitKindPort1, Encoding::First, 0x00, 0x04, 0x08, 0x80, 0x02, 0x01,
                                 0x14, 0x18, 0x1C, 0x14, 0x18, 0x1C, None, false, None, None, false};
const PortVariant SecondMemory = {UnitKindPort2, Encoding::SecondMemory, 0x00, 0x18, 0x14, 0x01, 0x01, 0x04,
                                  None, None, None, None, None, None, None, false, 0x1C, 0x10, false};
// On EPP the unit's registers are EPP addresses; its data words go through
// data cycles (register 3 on the first generation) and its ready line is the
// parallel port's status bit 6.
const PortVariant FirstEpp = {UnitKindPort1, Encoding::First, 0, 1, None, 0x80, 0, 0,
                              5, 6, 7, 5, 6, 7, None, false, None, None, true};
const PortVariant SecondEpp = {UnitKindPort2, Encoding::SecondEpp, 0, 16, None, 0x01, 0, 0,
                               None, None, None, None, None, None, None, false, None, None, true};

// The parallel port's registers from its base, and the control values the
// EPP links use: output direction, input direction (bit 5).
constexpr uint32_t ParStatus = 1, ParControl = 2, EppAddressPort = 3, EppDataPort = 4;
constexpr uint8_t ControlOut = 0x04, ControlIn = 0x24;
constexpr uint8_t StatusNotReady = 0x40, StatusNoUnit = 0x10;
constexpr uint8_t FirstEppData = 3;                    // the data-cycle register
constexpr uint8_t FirstEppRun = 0x43, FirstEppHold = 0x53;  // reset line released / held
constexpr uint8_t SecondEppHold = 10, SecondEppRun = 2;

void EppSelect(HostPort* p, uint8_t address) {
  HwWrite8(p->regs, ParControl, ControlOut);
  HwWrite8(p->regs, EppAddressPort, address);
}
void EppInput(HostPort* p) { HwWrite8(p->regs, ParControl, ControlIn); }
uint8_t EppIn(HostPort* p) { return HwRead8(p->regs, EppDataPort); }
void EppOut(HostPort* p, uint32_t v) { HwWrite8(p->regs, EppDataPort, static_cast<uint8_t>(v)); }

// A second-generation register: 24 bits, read low byte first; written as
// the top three bytes of `v << 8 | address`, most significant first.
uint32_t EppGet24(HostPort* p, uint8_t reg) {
  EppSelect(p, reg);
  EppInput(p);
  uint32_t low = EppIn(p), middle = EppIn(p), high = EppIn(p);
  return high << 16 | middle << 8 | low;
}
void EppPut24(HostPort* p, uint8_t reg, uint32_t v) {
  uint32_t packed = v << 8 | reg;
  EppSelect(p, reg);
  EppOut(p, packed >> 24);
  EppOut(p, packed >> 16);
  EppOut(p, packed >> 8);
}

// A byte register of the unit: a port or memory register, or a
// first-generation EPP address.
uint8_t Get(HostPort* p, uint8_t reg) {
  if (!p->variant->epp) return HwRead8(p->regs, reg);
  EppSelect(p, reg);
  EppInput(p);
  return EppIn(p);
}
void Put(HostPort* p, uint8_t reg, uint8_t v) {
  if (!p->variant->epp) return HwWrite8(p->regs, reg, v);
  EppSelect(p, reg);
  EppOut(p, v);
}

bool Ready(HostPort* p, bool write) {
  const PortVariant& v = *p->variant;
  if (v.epp) return !(HwRead8(p->regs, ParStatus) & StatusNotReady);
  return Get(p, v.status) & (write ? v.transmitReady : v.receiveReady);
}

// ---- movers -------------------------------------------------------------------------------

// The formats each direction has: reads 0..5 (and 6 on the second
// generation), writes 0..5.
const Mover Reads[7] = {{false, 0}, {false, 1}, {false, 2}, {false, 3}, {false, 4}, {false, 5}, {false, 6}};
const Mover Writes[6] = {{true, 0}, {true, 1}, {true, 2}, {true, 3}, {true, 4}, {true, 5}};
const Mover* const FirstMovers[16] = {&Reads[0], &Reads[1], &Reads[2], &Reads[3], &Reads[4], &Reads[5],
                                      nullptr,   nullptr,   &Writes[0], &Writes[1], &Writes[2], &Writes[3],
                                      &Writes[4], &Writes[5], nullptr,  nullptr};
const Mover* const SecondMovers[16] = {&Reads[0], &Reads[1], &Reads[2], &Reads[3], &Reads[4], &Reads[5],
                                       &Reads[6], nullptr,   &Writes[0], &Writes[1], &Writes[2], &Writes[3],
                                       &Writes[4], &Writes[5], nullptr,  nullptr};

// Middle and low bytes: one 16-bit access where the port has the pair.
uint32_t ReadMiddleLow(HostPort* p) {
  const PortVariant& v = *p->variant;
  if (v.pair != None && (p->wide || v.encoding == Encoding::SecondIo)) {
    uint16_t w = HwRead16(p->regs, v.pair);
    uint32_t lo = w & 0xFF, hi = w >> 8;
    return v.pairMiddleFirst ? lo << 8 | hi : hi << 8 | lo;
  }
  uint32_t middle = Get(p, v.readMiddle);
  return middle << 8 | Get(p, v.readLow);
}

void WriteMiddleLow(HostPort* p, uint32_t middle, uint32_t low) {
  const PortVariant& v = *p->variant;
  if (p->wide) return HwWrite16(p->regs, v.pair, static_cast<uint16_t>(middle | low << 8));
  Put(p, v.writeMiddle, static_cast<uint8_t>(middle));
  Put(p, v.writeLow, static_cast<uint8_t>(low));
}

// The bytes of a word an EPP data-cycle set moves for a format: 3 (high,
// middle, low), 2 (middle, low) or 1 (low). The unit's transfer mode tells
// it the same count.
uint32_t EppLanes(bool write, uint32_t format) {
  if (format == 4 || format == 5) return 2;
  if (write ? format == 0 : format == 6) return 1;
  return 3;
}

// A 24-bit DSP word as the host value of a read format, and back.
uint32_t HostValue(uint32_t format, uint32_t w) {
  switch (format) {
    case 0: return (w & 0x800000) ? w | 0xFF000000u : w;
    case 1: return w;
    case 2: case 3: return w >> 8;
    case 4: case 5: return w & 0xFFFF;
    default: return w & 0xFF;
  }
}
uint32_t DspWord(uint32_t format, uint32_t value) {
  switch (format) {
    case 0: return value & 0xFF;
    case 1: return value & 0xFFFFFF;
    case 2: case 3: return (value & 0xFFFF) << 8;
    default: return value & 0xFFFF;
  }
}

// Bit position of the i-th of n data cycles: the first generation sends the
// most significant byte first, the second the least significant.
uint32_t EppShift(const PortVariant& v, uint32_t i, uint32_t n) {
  return 8 * (v.encoding == Encoding::First ? n - 1 - i : i);
}
uint32_t EppReadWord(HostPort* p, uint32_t lanes) {
  uint32_t w = 0;
  for (uint32_t i = 0; i < lanes; ++i) w |= uint32_t(EppIn(p)) << EppShift(*p->variant, i, lanes);
  return w;
}
void EppWriteWord(HostPort* p, uint32_t lanes, uint32_t w) {
  for (uint32_t i = 0; i < lanes; ++i) EppOut(p, w >> EppShift(*p->variant, i, lanes));
}

// The EPP mover called with a count of 0: the unit's transfer mode for the
// direction and format, then data cycles selected (input for reads).
void EppSelectMode(HostPort* p, bool write, uint32_t format) {
  uint32_t lanes = EppLanes(write, format);
  if (p->variant->encoding == Encoding::First) {
    // Bits 5..6: bytes per word (1: three, 2: two, 3: one); bit 0 read, bit 1 write.
    uint8_t mode = static_cast<uint8_t>((4 - lanes) << 5 | (write ? 2 : 1));
    Put(p, 0, static_cast<uint8_t>((Get(p, 0) & 0x18) | mode));
    EppSelect(p, FirstEppData);
  } else {
    static const uint8_t Modes[4] = {0, 0x58, 0x38, 0x18};
    EppSelect(p, Modes[lanes]);
  }
  if (!write) EppInput(p);
}

// One DSP word read as the host value of a format.
uint32_t ReadValue(HostPort* p, uint32_t format) {
  const PortVariant& v = *p->variant;
  if (v.epp) return HostValue(format, EppReadWord(p, EppLanes(false, format)));
  if (v.data != None) {
    switch (format) {
      case 0: case 1: return HostValue(format, HwRead32(p->regs, v.data) & 0xFFFFFF);
      case 6: return HwRead8(p->regs, v.data);
      default: return HwRead16(p->regs, v.data);  // the mode register chose the bytes
    }
  }
  switch (format) {
    case 0: case 1: case 2: case 3:
      // Formats 2 and 3 read the low byte too, and drop it.
      return HostValue(format, uint32_t(Get(p, v.readHigh)) << 16 | ReadMiddleLow(p));
    case 4: case 5: return HostValue(format, ReadMiddleLow(p));
    default: return Get(p, v.readLow);
  }
}

void WriteValue(HostPort* p, uint32_t format, uint32_t value) {
  const PortVariant& v = *p->variant;
  if (v.epp) return EppWriteWord(p, EppLanes(true, format), DspWord(format, value));
  if (v.data != None) {
    switch (format) {
      case 0: return HwWrite8(p->regs, v.data, static_cast<uint8_t>(value));
      case 1: return HwWrite32(p->regs, v.data, value & 0xFFFFFF);
      default: return HwWrite16(p->regs, v.data, static_cast<uint16_t>(value));
    }
  }
  uint32_t w = DspWord(format, value);
  switch (format) {
    case 0: return Put(p, v.writeLow, static_cast<uint8_t>(w));
    case 1: case 2: case 3:
      Put(p, v.writeHigh, static_cast<uint8_t>(w >> 16));
      return WriteMiddleLow(p, (w >> 8) & 0xFF, w & 0xFF);
    default: return WriteMiddleLow(p, (w >> 8) & 0xFF, w & 0xFF);  // the high byte as the port has it
  }
}
}  // namespace

uint32_t MoverHostBytes(bool write, uint32_t format) {
  static const uint8_t ReadBytes[8] = {4, 4, 2, 2, 2, 2, 1, 0};
  static const uint8_t WriteBytes[8] = {1, 4, 2, 2, 2, 2, 0, 0};
  return format < 8 ? (write ? WriteBytes : ReadBytes)[format] : 0;
}

uint8_t* RunMover(HostPort* p, const Mover& m, uint8_t* pos, uint32_t count) {
  uint32_t size = MoverHostBytes(m.write, m.format);
  if (!size) return pos;
  bool polled = m.format != 3 && m.format != 5;
  const PortVariant& v = *p->variant;
  if (v.epp && count == 0) {
    EppSelectMode(p, m.write, m.format);
    return pos;
  }
  if (m.write && v.encoding == Encoding::SecondIo && m.format >= 4) Put(p, v.writeHigh, 0);
  if (!m.write && m.format == 5 && v.encoding == Encoding::SecondIo) {
    // Back to back in one string input: the pair register holds middle and low.
    uint16_t chunk[64];
    for (uint32_t n = count / 2; n;) {
      uint32_t k = n < 64 ? n : 64;
      HwReadString16(p->regs, v.pair, chunk, k);
      std::memcpy(pos, chunk, k * 2);
      pos += k * 2;
      n -= k;
    }
    return pos;
  }
  for (bool first = true; count >= size; first = false) {
    if (polled && !first && !Ready(p, m.write)) break;
    uint32_t value = 0;
    if (m.write) {
      std::memcpy(&value, pos, size);
      WriteValue(p, m.format, value);
    } else {
      value = ReadValue(p, m.format);
      std::memcpy(pos, &value, size);
    }
    pos += size;
    count -= size;
  }
  return pos;
}

namespace {
// ---- commands, transfers ------------------------------------------------------------------

uint32_t CommandRegister(HostPort* p) {
  const PortVariant& v = *p->variant;
  return v.encoding == Encoding::SecondEpp ? EppGet24(p, v.command) : Get(p, v.command);
}

int Command(HostPort* p, uint32_t vector) {
  const PortVariant& v = *p->variant;
  if (CommandRegister(p) & v.pending) return 0;
  if (vector < 0x12 || vector > 0x1F) return 1;
  switch (v.encoding) {
    case Encoding::First:
      Put(p, v.command, static_cast<uint8_t>(vector | 0x80));
      Put(p, v.writeHigh, 0);
      Put(p, v.writeMiddle, 0);
      break;
    case Encoding::SecondIo:
      Put(p, v.writeHigh, 0);
      Put(p, v.writeMiddle, 0);
      Put(p, v.command, static_cast<uint8_t>(2 * vector + 0x51));
      break;
    case Encoding::SecondMemory:
      HwWrite32(p->regs, v.command, (2 * vector + 0x50) | 1);
      break;
    case Encoding::SecondEpp:
      EppPut24(p, v.command, 2 * vector + 0x51);
      break;
  }
  return 1;
}

const Mover* MoverOf(HostPort* p, bool write, uint32_t format) {
  return p->movers ? p->movers[(write ? 8 : 0) + (format & 7)] : nullptr;
}

// The second-generation memory port packs 16-bit values by its mode
// register; the EPP units take a transfer mode from the mover.
void Prepare(HostPort* p, bool write, uint32_t format) {
  const PortVariant& v = *p->variant;
  if (v.epp) {
    if (const Mover* m = MoverOf(p, write, format)) RunMover(p, *m, nullptr, 0);
    return;
  }
  if (v.mode == None) return;
  uint32_t mode = 0;
  if (write)
    mode = format == 2 || format == 3 ? 0x300 : format == 4 || format == 5 ? 0x100 : 0;
  else
    mode = format == 2 || format == 3 ? 0x1800 : 0;
  HwWrite32(p->regs, v.mode, mode);
}

uint8_t* Transfer(HostPort* p, bool write, uint32_t format, uint8_t* pos, uint8_t* end) {
  if (!end) {
    Prepare(p, write, format);
    return nullptr;
  }
  if (!Ready(p, write)) return nullptr;
  const Mover* m = MoverOf(p, write, format);
  if (!m) return nullptr;
  uint8_t* next = RunMover(p, *m, pos, static_cast<uint32_t>(end - pos));
  // The first-generation EPP unit leaves its transfer mode once the last word moved.
  if (p->variant->epp && p->variant->encoding == Encoding::First &&
      static_cast<uint32_t>(end - next) < MoverHostBytes(write, format))
    Put(p, 0, Get(p, 0) & 0x18);
  return next;
}

uint8_t* Write(HostPort* p, uint32_t format, uint8_t* pos, uint8_t* end) { return Transfer(p, true, format, pos, end); }
uint8_t* Read(HostPort* p, uint32_t format, uint8_t* pos, uint8_t* end) { return Transfer(p, false, format, pos, end); }

// ---- probes and resets ----------------------------------------------------------------------

// Waits until the control register's initialise bit clears.
bool InitialiseClears(HostPort* p) {
  uint32_t start = KsTimeMs();
  for (;;) {
    if (!(Get(p, p->variant->control) & 0x80)) return true;
    if (KsTimeMs() - start >= ProbeWaitMs) return false;
    KsSleepMs(ProbePollMs);
  }
}

// The first-generation handshake, the same through ports and memory.
bool FirstHandshake(HostPort* p) {
  const PortVariant& v = *p->variant;
  Put(p, v.command, Get(p, v.command) & 0x1F);
  Put(p, v.command, 0);
  Put(p, v.writeHigh, 0x12);
  Put(p, v.writeMiddle, 0x12);
  if (Get(p, v.command) != 0) return false;
  Put(p, v.command, 0x12);
  Put(p, v.writeHigh, 0);
  Put(p, v.writeMiddle, 0);
  if (Get(p, v.command) != 0x12) return false;
  Put(p, v.control, 0x80);
  if (!InitialiseClears(p)) return false;
  Put(p, v.control, 0);
  Put(p, v.command, 0x12);
  return true;
}

int ProbeFirstIo(HostPort* p) {
  p->wide = false;
  if (!FirstHandshake(p)) return 0;
  // A card that decodes 16-bit accesses reads back the low byte of a word write.
  HwWrite16(p->regs, 0, 0x0020);
  p->wide = HwRead8(p->regs, 0) == 0x20;
  HwWrite16(p->regs, 0, 0);
  return 1;
}

int ProbeFirstMemory(HostPort* p) {
  HwWrite8(p->board, BoardRegister, 0x80);
  return FirstHandshake(p) ? 1 : 0;
}

int ProbeSecondIo(HostPort* p) {
  Put(p, 7, 0);
  Put(p, 4, 0);
  Put(p, 2, 0);
  if (Get(p, 2) != 0) return 0;
  Put(p, 2, 0x72);
  Put(p, 7, 0);
  if (Get(p, 2) != 0x72) return 0;
  Put(p, 0, 0);
  return 1;
}

void ResetSecondMemory(HostPort* p) {
  HwWrite32(p->regs, 0x00, 8);
  HwWrite32(p->regs, 0x00, 0);
  KsSleepMs(100);
  HwWrite32(p->regs, 0x10, 0);
}

int ProbeSecondMemory(HostPort* p) {
  HwWrite8(p->board, BoardRegister, 0);
  if (HwRead32(p->regs, 0x18) & 1) ResetSecondMemory(p);
  HwWrite32(p->regs, 0x10, 0);
  HwWrite32(p->regs, 0x18, 0);
  if ((HwRead32(p->regs, 0x18) & 0xFF) != 0) return 0;
  HwWrite32(p->regs, 0x18, 0x72);
  return (HwRead32(p->regs, 0x18) & 0xFF) == 0x72 ? 1 : 0;
}

void ResetFirstIo(HostPort* p) {
  Put(p, 3, 0);
  KsSleepMs(50);
}

void ResetSecondIo(HostPort* p) {
  Put(p, 3, 8);
  KsSleepMs(1);
  Put(p, 3, 0);
  KsSleepMs(100);
}

void NoReset(HostPort*) {}

void ResetFirstEpp(HostPort* p) {
  EppSelect(p, FirstEppHold);
  KsSleepMs(10);
  EppSelect(p, FirstEppRun);
  KsSleepMs(100);
}

void ResetSecondEpp(HostPort* p) {
  EppSelect(p, SecondEppHold);
  KsSleepMs(10);
  EppSelect(p, SecondEppRun);
  KsSleepMs(500);
}

int ProbeFirstEpp(HostPort* p) {
  EppSelect(p, FirstEppRun);
  return FirstHandshake(p) ? 1 : 0;
}

int ProbeSecondEpp(HostPort* p) {
  if (HwRead8(p->regs, ParStatus) & StatusNoUnit) return 0;
  EppPut24(p, 0, 0);
  EppSelect(p, SecondEppRun);
  if (EppGet24(p, 16) & 1) ResetSecondEpp(p);
  EppPut24(p, 16, 0);
  if (EppGet24(p, 16) != 0) return 0;
  EppPut24(p, 16, 0x72);
  return EppGet24(p, 16) == 0x72 ? 1 : 0;
}

const PortOps FirstIoOps = {ProbeFirstIo, Command, ResetFirstIo, Write, Read};
const PortOps SecondIoOps = {ProbeSecondIo, Command, ResetSecondIo, Write, Read};
const PortOps FirstMemoryOps = {ProbeFirstMemory, Command, NoReset, Write, Read};
const PortOps SecondMemoryOps = {ProbeSecondMemory, Command, ResetSecondMemory, Write, Read};
const PortOps FirstEppOps = {ProbeFirstEpp, Command, ResetFirstEpp, Write, Read};
const PortOps SecondEppOps = {ProbeSecondEpp, Command, ResetSecondEpp, Write, Read};

struct OpsRow {
  const PortOps* ops;
  const PortVariant* variant;
  const Mover* const* movers;
};
const OpsRow Rows[] = {
    {&FirstIoOps, &FirstIo, FirstMovers},
    {&SecondIoOps, &SecondIo, SecondMovers},
    {&FirstMemoryOps, &FirstMemory, FirstMovers},
    {&SecondMemoryOps, &SecondMemory, SecondMovers},
    {&FirstEppOps, &FirstEpp, FirstMovers},
    {&SecondEppOps, &SecondEpp, SecondMovers},
};

int NullProbe(HostPort*) { return 1; }
int NullCommand(HostPort*, uint32_t) { return 0; }
uint8_t* NullTransfer(HostPort*, uint32_t, uint8_t*, uint8_t*) { return nullptr; }
}  // namespace

const PortOps NullPortOps = {NullProbe, NullCommand, NoReset, NullTransfer, NullTransfer};

void HostPortClear(HostPort* p) {
  p->ops = &NullPortOps;
  p->variant = nullptr;
  p->movers = nullptr;
  p->wide = false;
}

const PortOps* HostPortOpsFor(PortLink link, uint32_t kind) {
  bool first = kind == UnitKindPort1;
  switch (link) {
    case PortLink::Io: return first ? &FirstIoOps : &SecondIoOps;
    case PortLink::Memory: return first ? &FirstMemoryOps : &SecondMemoryOps;
    default: return first ? &FirstEppOps : &SecondEppOps;
  }
}

void HostPortSelect(HostPort* p, const PortOps* ops) {
  HostPortClear(p);
  for (const auto& r : Rows)
    if (r.ops == ops) {
      p->ops = r.ops;
      p->variant = r.variant;
      p->movers = r.movers;
    }
}
