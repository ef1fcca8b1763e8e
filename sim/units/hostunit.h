// The simulated recorder units behind their DSP host ports: the host
// interface chip of each port generation (command, status and data
// registers, 24-bit FIFOs both ways, reset line, transfer modes) with a
// scripted unit firmware that takes host commands and answers them, and
// the links that put a unit on the bus: eight I/O ports of a host card, the
// memory window of the two-unit PCI card, or the EPP cycles of a parallel
// port (sim/units/parport.h).
#pragma once
#include "sim/bus/simbus.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace simunit {

enum class Generation { First, Second };

// A firmware program beside the script: told of each command vector the
// unit takes and each word the host writes, it appends what it sends back.
// Called under the unit's lock.
class Firmware {
 public:
  virtual ~Firmware() = default;
  virtual void Command(uint8_t vector, std::deque<uint32_t>& toHost) = 0;
  virtual void Word(uint32_t word, std::deque<uint32_t>& toHost) = 0;
};

// Fault switches.
struct Faults {
  bool silent = false;           // the firmware is dead: commands stay pending, no data moves
  bool wrongProbe = false;       // the command register reads back a wrong value
  bool initNeverClears = false;  // first generation: the initialise bit stays set
};

class HostUnit {
 public:
  explicit HostUnit(Generation generation, bool wideBus = true);

  // The firmware's script: the words it sends back for a host-command vector.
  void Answer(uint8_t vector, std::vector<uint32_t> words);
  // Words the firmware has ready for the host now.
  void Queue(const std::vector<uint32_t>& words);
  // The data path stops after this many more words (either way).
  void StallAfter(uint32_t words);
  void SetFaults(const Faults& f);
  // Runs `firmware` (not owned; null: none) beside the script.
  void SetFirmware(Firmware* firmware);
  // The unit holds the bus's ready line: every access waits until released.
  void HoldBus(bool hold);
  uint32_t BusWaiters();  // accesses waiting for the held bus

  std::vector<uint8_t> Commands();      // vectors taken, in order
  std::vector<uint32_t> Received();     // words the host wrote, in order
  uint32_t Resets();
  uint32_t TransferMode();              // the second-generation memory port's mode register

  // Register accesses through the unit's own register numbering: the first
  // generation's I/O offsets 0..7 and the second generation's I/O offsets
  // 0..7, or the second generation's memory offsets (0x00..0x1C) with
  // `memory` set.
  uint32_t Read(uint32_t reg, uint32_t width, bool memory);
  void Write(uint32_t reg, uint32_t width, uint32_t value, bool memory);

  // The unit's EPP interface: the address and data cycles a parallel port
  // runs, and the status lines the unit drives: bit 4 set when no unit
  // answers (never here), bit 6 set while the unit is not ready in the
  // direction the port's control lines set (input: data for the host).
  void EppAddress(uint8_t address);
  uint8_t EppRead();
  void EppWrite(uint8_t value);
  uint8_t EppStatus(bool input);

 private:
  // Data cycles of the current EPP address: bytes per word, -1 none.
  int EppLanes() const;
  uint8_t EppReadSecond();
  void EppWriteSecond(uint8_t value);
  uint32_t ReadFirst(uint32_t reg, uint32_t width);
  void WriteFirst(uint32_t reg, uint32_t width, uint32_t value);
  uint32_t ReadSecondIo(uint32_t reg, uint32_t width);
  void WriteSecondIo(uint32_t reg, uint32_t width, uint32_t value);
  uint32_t ReadSecondMemory(uint32_t reg, uint32_t width);
  void WriteSecondMemory(uint32_t reg, uint32_t width, uint32_t value);

  void TakeCommand(uint8_t vector);
  void TakeWord(uint32_t word);
  uint32_t Front() const;
  void Pop();
  bool Stalled() const;
  bool CanSend() const;     // a word waits for the host
  bool CanReceive() const;  // the unit takes a word
  void ResetUnit();

  void WaitForBus(std::unique_lock<std::mutex>& lk);

  std::mutex m_lock;
  std::condition_variable m_busFree;
  bool m_busHeld = false;
  uint32_t m_busWaiters = 0;
  Generation m_generation;
  bool m_wide;
  Faults m_faults;
  Firmware* m_firmware = nullptr;
  std::map<uint8_t, std::vector<uint32_t>> m_script;
  std::deque<uint32_t> m_toHost;
  std::vector<uint8_t> m_commands;
  std::vector<uint32_t> m_received;
  uint64_t m_moved = 0;
  uint64_t m_stallAt = UINT64_MAX;
  uint32_t m_resets = 0;
  uint8_t m_control = 0;
  int64_t m_initSince = 0;
  uint32_t m_command = 0;  // the command register's latch
  bool m_pending = false;
  uint8_t m_high = 0, m_middle = 0;  // the host's latched data bytes
  uint32_t m_mode = 0;
  // EPP: the address byte, the byte of the current word or register, the
  // bytes gathered so far, and the reset line.
  uint8_t m_eppAddress = 0;
  uint32_t m_eppLane = 0;
  uint32_t m_eppWord = 0;
  bool m_resetHeld = false;
};

// A unit on eight I/O ports from `base`.
class IoLink : public simbus::RegisterDevice {
 public:
  IoLink(HostUnit* unit, uint64_t base);
  ~IoLink() override;
  uint32_t Read(uint32_t offset, uint32_t width) override;
  void Write(uint32_t offset, uint32_t width, uint32_t value) override;

 private:
  HostUnit* m_unit;
};

// The two-unit PCI card: unit 0 at +0x000, unit 1 at +0x100 of its memory
// window, the card's register at +0x200. Both units must be of one
// generation (a unit may be absent).
class PciCard : public simbus::RegisterDevice {
 public:
  PciCard(HostUnit* unit0, HostUnit* unit1, Generation generation, uint64_t base, uint32_t length);
  ~PciCard() override;
  uint32_t Read(uint32_t offset, uint32_t width) override;
  void Write(uint32_t offset, uint32_t width, uint32_t value) override;
  uint8_t BoardRegister() const { return m_board; }

 private:
  HostUnit* UnitAt(uint32_t offset, uint32_t* reg, bool* known);
  HostUnit* m_units[2];
  Generation m_generation;
  uint8_t m_board = 0;
};

}  // namespace simunit
