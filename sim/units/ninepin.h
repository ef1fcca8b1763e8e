// The 9-pin engine of a recorder unit's firmware, as the host sees it: it
// takes an engine command (the header {19, code, parameter count} with the
// 9-pin command vector, then the parameter bytes one per word) and answers
// with {reply kind, data count, data...}, one byte per word. Behind it sits
// a simulated machine: a device type, a time code that advances while
// playing, the two flag pairs, query values; every command is recorded.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "sim/units/hostunit.h"

namespace simunit {

class NinePinEngine : public Firmware {
 public:
  static constexpr uint8_t Vector = 0x19;

  void Command(uint8_t vector, std::deque<uint32_t>& toHost) override;
  void Word(uint32_t word, std::deque<uint32_t>& toHost) override;

  // The machine's state.
  void SetDeviceType(uint16_t type);
  void SetValue(uint8_t code, std::vector<uint8_t> data);  // the data of a query code
  void SetTimecode(uint8_t h, uint8_t m, uint8_t s, uint8_t f);
  // The next `count` commands are answered busy (status 5); then `status`
  // (0 none) refuses every command until cleared.
  void SetBusy(uint32_t count);
  void SetRefusal(uint8_t status);
  // A reply of `count` data bytes to every command, beyond what any buffer
  // takes (0: off).
  void SetOversize(uint8_t count);

  bool Playing() const;
  bool FlagA() const;  // 0x87 sets, 0x88 clears
  bool FlagB() const;  // 0x89 sets, 0x8A clears
  // Every command taken: code and parameter bytes.
  std::vector<std::vector<uint8_t>> Taken() const;

 private:
  void Reply(std::deque<uint32_t>& toHost);
  void Advance();

  mutable std::mutex m_lock;
  enum class State { Idle, Header, Params } m_state = State::Idle;
  std::vector<uint8_t> m_request;  // header, then code and parameters
  uint32_t m_expect = 0;
  uint16_t m_type = 0xF0FF;
  std::map<uint8_t, std::vector<uint8_t>> m_values;
  uint8_t m_tc[4] = {1, 0, 0, 0};  // hours, minutes, seconds, frames
  uint32_t m_busy = 0;
  uint8_t m_refusal = 0;
  uint8_t m_oversize = 0;
  bool m_playing = false;
  bool m_flagA = false, m_flagB = false;
  std::vector<std::vector<uint8_t>> m_taken;
};

}  // namespace simunit
