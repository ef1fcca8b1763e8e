// The transport of a recorder unit's firmware, as the host sees it: the
// status word (idle unless a busy spell is switched on), the current
// location, and the play commands: locate, play end, loop, play-buffer
// preparation, start, stop, the shuttle (wind) and scrub. Commands arrive
// as a host-command vector followed by the command number and its
// parameter words; each is recorded whole. Words of commands it does not
// know pass by, and so do the 9-pin engine's exchanges, which the firmware
// after it in the chain (`next`) takes.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "sim/units/hostunit.h"

namespace simunit {

class UnitTransport : public Firmware {
 public:
  // Host-command vectors of the driver's pass-through codes.
  static constexpr uint8_t CmdLocation = 0x16, CmdStatus = 0x17, CmdGeneric = 0x18,
                           CmdFamily = 0x19, CmdPlay = 0x1A, CmdStop = 0x1C;

  enum class State { Stopped, Prepared, Playing, ScrubPrepared, Scrubbing };

  // One command taken: its vector, its number and its parameter words.
  struct Taken {
    uint8_t vector;
    uint32_t command;
    std::vector<uint32_t> params;
  };

  explicit UnitTransport(Firmware* next = nullptr) : m_next(next) {}

  void Command(uint8_t vector, std::deque<uint32_t>& toHost) override;
  void Word(uint32_t word, std::deque<uint32_t>& toHost) override;

  // The next `count` status reads answer busy (low bits 1).
  void SetBusy(uint32_t count);

  State GetState() const;
  int64_t Location() const;
  int64_t End() const;
  int32_t WindSpeed() const;  // shuttle speed word; 0 parked
  std::vector<Taken> TakenCommands() const;
  // The command numbers of the play family and the stops, in order, as
  // "locate", "prep", "start", "stop", "wind", "end", "loop", "scrubprep",
  // "scrubstart".
  std::vector<const char*> Motions() const;

 private:
  // Parameter words of a command, -1 for one this firmware does not take.
  static int ParamCount(uint8_t vector, uint32_t command);
  void Apply();

  Firmware* m_next;
  mutable std::mutex m_lock;
  uint8_t m_vector = 0;
  bool m_open = false;       // a command's words are being gathered
  int m_expect = 0;
  Taken m_current{};
  std::vector<Taken> m_taken;
  std::vector<const char*> m_motions;
  uint32_t m_busy = 0;
  State m_state = State::Stopped;
  int64_t m_location = 0;
  int64_t m_end = 0;
  int32_t m_wind = 0;
};

}  // namespace simunit
