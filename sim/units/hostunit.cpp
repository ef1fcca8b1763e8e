#include "sim/units/hostunit.h"

namespace simunit {

namespace {
// The first generation's unit clears the initialise bit this long after the
// host sets it (100-ns units).
constexpr int64_t InitialiseTime = 10 * 10000;
}  // namespace

HostUnit::HostUnit(Generation generation, bool wideBus) : m_generation(generation), m_wide(wideBus) {}

void HostUnit::Answer(uint8_t vector, std::vector<uint32_t> words) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_script[vector] = std::move(words);
}

void HostUnit::Queue(const std::vector<uint32_t>& words) {
  std::lock_guard<std::mutex> lk(m_lock);
  for (uint32_t w : words) m_toHost.push_back(w & 0xFFFFFF);
}

void HostUnit::StallAfter(uint32_t words) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_stallAt = m_moved + words;
}

void HostUnit::SetFaults(const Faults& f) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_faults = f;
}

std::vector<uint8_t> HostUnit::Commands() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_commands;
}
std::vector<uint32_t> HostUnit::Received() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_received;
}
uint32_t HostUnit::Resets() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_resets;
}
uint32_t HostUnit::TransferMode() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_mode;
}

// ---- the firmware --------------------------------------------------------------------------

void HostUnit::TakeCommand(uint8_t vector) {
  if (m_faults.silent) {
    m_pending = true;  // nobody takes it
    return;
  }
  m_pending = false;
  m_commands.push_back(vector);
  auto it = m_script.find(vector);
  if (it != m_script.end())
    for (uint32_t w : it->second) m_toHost.push_back(w & 0xFFFFFF);
  if (m_firmware) m_firmware->Command(vector, m_toHost);
}

void HostUnit::SetFirmware(Firmware* firmware) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_firmware = firmware;
}

void HostUnit::TakeWord(uint32_t word) {
  if (!CanReceive()) return;  // the host wrote while the port was not ready: lost
  m_received.push_back(word & 0xFFFFFF);
  ++m_moved;
  if (m_firmware) m_firmware->Word(word & 0xFFFFFF, m_toHost);
}

bool HostUnit::Stalled() const { return m_faults.silent || m_moved >= m_stallAt; }
bool HostUnit::CanSend() const { return !Stalled() && !m_toHost.empty(); }
bool HostUnit::CanReceive() const { return !Stalled(); }
uint32_t HostUnit::Front() const { return CanSend() ? m_toHost.front() : 0; }

void HostUnit::Pop() {
  if (!CanSend()) return;
  m_toHost.pop_front();
  ++m_moved;
}

void HostUnit::ResetUnit() {
  ++m_resets;
  m_toHost.clear();
  m_pending = false;
  m_command = 0;
  m_mode = 0;
}

// ---- registers -------------------------------------------------------------------------------

void HostUnit::HoldBus(bool hold) {
  {
    std::lock_guard<std::mutex> lk(m_lock);
    m_busHeld = hold;
  }
  m_busFree.notify_all();
}

void HostUnit::WaitForBus(std::unique_lock<std::mutex>& lk) {
  ++m_busWaiters;
  m_busFree.wait(lk, [this] { return !m_busHeld; });
  --m_busWaiters;
}

uint32_t HostUnit::BusWaiters() {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_busWaiters;
}

uint32_t HostUnit::Read(uint32_t reg, uint32_t width, bool memory) {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  if (m_generation == Generation::First) return ReadFirst(reg, width);
  return memory ? ReadSecondMemory(reg, width) : ReadSecondIo(reg, width);
}

void HostUnit::Write(uint32_t reg, uint32_t width, uint32_t value, bool memory) {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  if (m_generation == Generation::First) return WriteFirst(reg, width, value);
  if (memory) return WriteSecondMemory(reg, width, value);
  WriteSecondIo(reg, width, value);
}

// First generation: 0 control (bit 7 initialise), 1 command (bit 7 pending,
// bits 0-4 vector), 2 status (bit 0 receive data ready, bit 1 transmit
// ready), 3 reset, 5/6/7 data high, middle, low. Writing the low byte sends
// the word; reading it takes the word.
uint32_t HostUnit::ReadFirst(uint32_t reg, uint32_t width) {
  if (width == 2 && reg == 6 && m_wide) {
    uint32_t w = Front();
    uint32_t v = ((w >> 8) & 0xFF) | (w & 0xFF) << 8;
    Pop();
    return v;
  }
  if (width == 2) return ReadFirst(reg, 1) | ReadFirst(reg + 1, 1) << 8;
  switch (reg) {
    case 0: {
      if ((m_control & 0x80) && !m_faults.silent && !m_faults.initNeverClears &&
          simbus::Now() - m_initSince >= InitialiseTime)
        m_control &= 0x7F;
      // A card on the 8-bit bus keeps only the initialise bit.
      return m_wide ? m_control : m_control & 0x80;
    }
    case 1: return (m_pending ? m_command : m_command & 0x7F) ^ (m_faults.wrongProbe ? 0x01 : 0);
    case 2: return (CanSend() ? 0x01 : 0) | (CanReceive() ? 0x02 : 0);
    case 5: return Front() >> 16 & 0xFF;
    case 6: return Front() >> 8 & 0xFF;
    case 7: {
      uint32_t v = Front() & 0xFF;
      Pop();
      return v;
    }
    default: return 0xFF;
  }
}

void HostUnit::WriteFirst(uint32_t reg, uint32_t width, uint32_t value) {
  if (width == 2 && reg == 6 && m_wide) {
    m_middle = value & 0xFF;
    return TakeWord(uint32_t(m_high) << 16 | uint32_t(m_middle) << 8 | (value >> 8 & 0xFF));
  }
  if (width == 2) {
    WriteFirst(reg, 1, value & 0xFF);
    return WriteFirst(reg + 1, 1, value >> 8 & 0xFF);
  }
  switch (reg) {
    case 0:
      if ((value & 0x80) && !(m_control & 0x80)) m_initSince = simbus::Now();
      m_control = static_cast<uint8_t>(value);
      break;
    case 1:
      m_command = value;
      if (value & 0x80) TakeCommand(value & 0x1F);
      break;
    case 3: ResetUnit(); break;
    case 5: m_high = static_cast<uint8_t>(value); break;
    case 6: m_middle = static_cast<uint8_t>(value); break;
    case 7: TakeWord(uint32_t(m_high) << 16 | uint32_t(m_middle) << 8 | (value & 0xFF)); break;
    default: break;
  }
}

// Second generation on I/O ports: 0 control, 1 status (bit 0 transmit ready,
// bit 2 receive data ready), 2 command (bit 0 pending; 2v + 0x51), 3 reset
// line (8 holds it), writes 7 high, 4 middle, 5 low; reads 4 high,
// 7 middle, 6 low, and 6 as one 16-bit access: low, then middle.
uint32_t HostUnit::ReadSecondIo(uint32_t reg, uint32_t width) {
  if (width == 2 && reg == 6) {
    uint32_t w = Front();
    Pop();
    return (w & 0xFF) | (w >> 8 & 0xFF) << 8;
  }
  if (width == 2) return ReadSecondIo(reg, 1) | ReadSecondIo(reg + 1, 1) << 8;
  switch (reg) {
    case 0: return m_control;
    case 1: return (CanReceive() ? 0x01 : 0) | (CanSend() ? 0x04 : 0);
    case 2: return ((m_pending ? m_command : m_command & ~1u) ^ (m_faults.wrongProbe ? 0x02 : 0)) & 0xFF;
    case 4: return Front() >> 16 & 0xFF;
    case 7: return Front() >> 8 & 0xFF;
    case 6: {
      uint32_t v = Front() & 0xFF;
      Pop();
      return v;
    }
    default: return 0xFF;
  }
}

void HostUnit::WriteSecondIo(uint32_t reg, uint32_t width, uint32_t value) {
  if (width == 2) {
    WriteSecondIo(reg, 1, value & 0xFF);
    return WriteSecondIo(reg + 1, 1, value >> 8 & 0xFF);
  }
  switch (reg) {
    case 0: m_control = static_cast<uint8_t>(value); break;
    case 2:
      m_command = value;
      if (value & 1) TakeCommand(static_cast<uint8_t>((value - 0x51) / 2));
      break;
    case 3:
      if (value & 8) ResetUnit();
      break;
    case 7: m_high = static_cast<uint8_t>(value); break;
    case 4: m_middle = static_cast<uint8_t>(value); break;
    case 5: TakeWord(uint32_t(m_high) << 16 | uint32_t(m_middle) << 8 | (value & 0xFF)); break;
    default: break;
  }
}

// Second generation in memory: +0x00 control (8: reset), +0x10 transfer
// mode, +0x14 status (bit 0 transmit ready, bit 1 room, bit 2 receive data
// ready), +0x18 command ((2v + 0x50) | 1), +0x1C data: one access per word,
// packed by the mode (0x300: 16-bit values into high and middle, 0x100: into
// middle and low; 0x1800: high and middle read as 16 bits).
uint32_t HostUnit::ReadSecondMemory(uint32_t reg, uint32_t width) {
  switch (reg) {
    case 0x00: return m_control;
    case 0x10: return m_mode;
    case 0x14: return (CanReceive() ? 0x03 : 0) | (CanSend() ? 0x04 : 0);
    case 0x18: return (m_pending ? m_command : m_command & ~1u) ^ (m_faults.wrongProbe ? 0x02 : 0);
    case 0x1C: {
      uint32_t w = Front();
      Pop();
      if (width == 4) return w;
      if (width == 2) return (m_mode & 0x1800) ? w >> 8 & 0xFFFF : w & 0xFFFF;
      return w & 0xFF;
    }
    default: return 0;
  }
}

void HostUnit::WriteSecondMemory(uint32_t reg, uint32_t width, uint32_t value) {
  switch (reg) {
    case 0x00:
      if (value & 8) ResetUnit();
      m_control = static_cast<uint8_t>(value);
      break;
    case 0x10: m_mode = value; break;
    case 0x18:
      m_command = value;
      if (value & 1) TakeCommand(static_cast<uint8_t>(((value & ~1u) - 0x50) / 2));
      break;
    case 0x1C:
      if (width == 4)
        TakeWord(value);
      else if (width == 2)
        TakeWord((m_mode & 0x300) == 0x300 ? value << 8 : value);
      else
        TakeWord(value & 0xFF);
      break;
    default: break;
  }
}

// ---- EPP ---------------------------------------------------------------------------------------

// First generation: an address byte with bit 6 set drives the reset line
// (bit 4 holds it); the low three bits select a register of the I/O
// numbering, except that register 3 runs data cycles: in the transfer mode
// of the control register (bits 5..6: 1 three bytes, 2 two, 3 one; bit 0
// read, bit 1 write), high, middle, low, through the data registers 5, 6, 7.
// Second generation: 10 holds the reset line, 2 releases it; 0x18, 0x38 and
// 0x58 run data cycles of three, two and one bytes, least significant
// first; any other address selects a 24-bit register (0 control, 16
// command), read low byte first and written high byte first.
void HostUnit::EppAddress(uint8_t address) {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  m_eppLane = 0;
  m_eppWord = 0;
  bool hold = m_resetHeld;
  if (m_generation == Generation::First) {
    if (address & 0x40) hold = (address & 0x10) != 0;
    m_eppAddress = address & 0x07;
  } else if (address == 10 || address == 2) {
    hold = address == 10;
    m_eppAddress = address;
  } else {
    m_eppAddress = address;
  }
  if (hold && !m_resetHeld) ResetUnit();
  m_resetHeld = hold;
}

int HostUnit::EppLanes() const {
  if (m_generation == Generation::Second) {
    switch (m_eppAddress) {
      case 0x18: return 3;
      case 0x38: return 2;
      case 0x58: return 1;
      default: return -1;
    }
  }
  if (m_eppAddress != 3) return -1;
  uint32_t code = m_control >> 5 & 3;
  return code ? static_cast<int>(4 - code) : 0;
}

uint8_t HostUnit::EppRead() {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  if (m_resetHeld) return 0xFF;
  if (m_generation == Generation::Second) return EppReadSecond();
  int lanes = EppLanes();
  if (lanes < 0) return static_cast<uint8_t>(ReadFirst(m_eppAddress, 1));
  if (!lanes || !(m_control & 1)) return 0xFF;  // no read mode
  uint32_t reg = 8 - lanes + m_eppLane;
  m_eppLane = (m_eppLane + 1) % lanes;
  return static_cast<uint8_t>(ReadFirst(reg, 1));
}

void HostUnit::EppWrite(uint8_t value) {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  if (m_resetHeld) return;
  if (m_generation == Generation::Second) return EppWriteSecond(value);
  int lanes = EppLanes();
  if (lanes < 0) return WriteFirst(m_eppAddress, 1, value);
  if (!lanes || !(m_control & 2)) return;  // no write mode
  uint32_t reg = 8 - lanes + m_eppLane;
  m_eppLane = (m_eppLane + 1) % lanes;
  WriteFirst(reg, 1, value);
}

uint8_t HostUnit::EppReadSecond() {
  int lanes = EppLanes();
  if (lanes > 0) {
    uint32_t w = Front();
    uint8_t b = static_cast<uint8_t>(w >> (8 * m_eppLane));
    if (++m_eppLane == static_cast<uint32_t>(lanes)) {
      m_eppLane = 0;
      Pop();
    }
    return b;
  }
  uint32_t reg = 0;
  if (m_eppAddress == 16)
    reg = (m_pending ? m_command : m_command & ~1u) ^ (m_faults.wrongProbe ? 0x02 : 0);
  else if (m_eppAddress == 0)
    reg = m_control;
  else
    return 0xFF;
  uint8_t b = static_cast<uint8_t>(reg >> (8 * m_eppLane));
  m_eppLane = (m_eppLane + 1) % 3;
  return b;
}

void HostUnit::EppWriteSecond(uint8_t value) {
  int lanes = EppLanes();
  if (lanes > 0) {
    m_eppWord |= uint32_t(value) << (8 * m_eppLane);
    if (++m_eppLane == static_cast<uint32_t>(lanes)) {
      TakeWord(m_eppWord);
      m_eppLane = 0;
      m_eppWord = 0;
    }
    return;
  }
  if (m_eppAddress != 16 && m_eppAddress != 0) return;
  m_eppWord = m_eppWord << 8 | value;
  if (++m_eppLane < 3) return;
  uint32_t v = m_eppWord & 0xFFFFFF;
  m_eppLane = 0;
  m_eppWord = 0;
  if (m_eppAddress == 0) {
    m_control = static_cast<uint8_t>(v);
    return;
  }
  m_command = v;
  if (v & 1) TakeCommand(static_cast<uint8_t>(((v & 0xFF) - 0x51) / 2));
}

uint8_t HostUnit::EppStatus(bool input) {
  std::unique_lock<std::mutex> lk(m_lock);
  WaitForBus(lk);
  bool ready = !m_resetHeld && (input ? CanSend() : CanReceive());
  return ready ? 0 : 0x40;
}

// ---- links --------------------------------------------------------------------------------------

IoLink::IoLink(HostUnit* unit, uint64_t base) : m_unit(unit) {
  simbus::Place(simbus::ResKind::Port, base, 8, this);
}
IoLink::~IoLink() { simbus::Unplace(this); }
uint32_t IoLink::Read(uint32_t offset, uint32_t width) { return m_unit->Read(offset, width, false); }
void IoLink::Write(uint32_t offset, uint32_t width, uint32_t value) { m_unit->Write(offset, width, value, false); }

PciCard::PciCard(HostUnit* unit0, HostUnit* unit1, Generation generation, uint64_t base, uint32_t length)
    : m_units{unit0, unit1}, m_generation(generation) {
  simbus::Place(simbus::ResKind::Memory, base, length, this);
}
PciCard::~PciCard() { simbus::Unplace(this); }

// The first generation's memory registers are its I/O registers spread
// over words: +0x00 control, +0x04 command, +0x08 status, +0x14, +0x18,
// +0x1C data high, middle, low.
HostUnit* PciCard::UnitAt(uint32_t offset, uint32_t* reg, bool* known) {
  *known = false;
  if (offset >= 0x200) return nullptr;
  HostUnit* unit = m_units[offset >> 8];
  uint32_t r = offset & 0xFF;
  if (m_generation == Generation::Second) {
    *reg = r;
    *known = r == 0x00 || r == 0x10 || r == 0x14 || r == 0x18 || r == 0x1C;
    return unit;
  }
  static const int8_t FirstRegs[8] = {0, 1, 2, -1, -1, 5, 6, 7};
  if (r % 4 || r / 4 >= 8 || FirstRegs[r / 4] < 0) return unit;
  *reg = static_cast<uint32_t>(FirstRegs[r / 4]);
  *known = true;
  return unit;
}

uint32_t PciCard::Read(uint32_t offset, uint32_t width) {
  if (offset == 0x200) return m_board;
  uint32_t reg = 0;
  bool known;
  HostUnit* unit = UnitAt(offset, &reg, &known);
  if (!unit || !known) return 0xFFFFFFFF;
  return unit->Read(reg, m_generation == Generation::First ? 1 : width, true);
}

void PciCard::Write(uint32_t offset, uint32_t width, uint32_t value) {
  if (offset == 0x200) {
    m_board = static_cast<uint8_t>(value);
    return;
  }
  uint32_t reg = 0;
  bool known;
  HostUnit* unit = UnitAt(offset, &reg, &known);
  if (unit && known) unit->Write(reg, m_generation == Generation::First ? 1 : width, value, true);
}

}  // namespace simunit
