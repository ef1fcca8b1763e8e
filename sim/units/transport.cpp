#include "sim/units/transport.h"

namespace simunit {
namespace {

int64_t Joined(uint32_t low, uint32_t high) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 24) | (low & 0xFFFFFF));
}

}  // namespace

int UnitTransport::ParamCount(uint8_t vector, uint32_t command) {
  if (vector == CmdFamily) {
    switch (command) {
      case 3: return 2;   // locate
      case 16: return 3;  // scrub or shuttle position and speed
      case 17: return 2;  // play/record end
      case 18: return 8;  // loop or punch range
      default: return -1;
    }
  }
  if (vector == CmdPlay) {
    switch (command) {
      case 0: return 9;    // prepare the play buffers
      case 1: return 0;    // start play or record
      case 11: return 0;   // prepare scrub
      case 12: return 0;   // start scrub
      default: return -1;
    }
  }
  return -1;
}

void UnitTransport::Command(uint8_t vector, std::deque<uint32_t>& toHost) {
  {
    std::lock_guard<std::mutex> lk(m_lock);
    m_vector = vector;
    m_open = vector == CmdFamily || vector == CmdPlay;
    m_current = {vector, 0, {}};
    m_expect = -2;  // the command number comes first
    switch (vector) {
      case CmdStatus:
        if (m_busy) {
          --m_busy;
          toHost.push_back(1);
        } else {
          toHost.push_back(0);
        }
        break;
      case CmdLocation:
        toHost.push_back(static_cast<uint32_t>(m_location) & 0xFFFFFF);
        toHost.push_back(static_cast<uint32_t>(static_cast<uint64_t>(m_location) >> 24) & 0xFFFFFF);
        break;
      case CmdStop:
        m_taken.push_back({vector, 0, {}});
        m_motions.push_back("stop");
        m_state = State::Stopped;
        m_wind = 0;
        break;
      default: break;
    }
  }
  if (m_next) m_next->Command(vector, toHost);
}

void UnitTransport::Word(uint32_t word, std::deque<uint32_t>& toHost) {
  {
    std::lock_guard<std::mutex> lk(m_lock);
    if (m_open) {
      if (m_expect == -2) {
        m_current.command = word;
        m_expect = ParamCount(m_vector, word);
        if (m_expect < 0) m_open = false;
      } else {
        m_current.params.push_back(word);
      }
      if (m_open && static_cast<int>(m_current.params.size()) == m_expect) {
        m_open = false;
        Apply();
      }
    }
  }
  if (m_next) m_next->Word(word, toHost);
}

void UnitTransport::Apply() {
  m_taken.push_back(m_current);
  const std::vector<uint32_t>& p = m_current.params;
  if (m_current.vector == CmdFamily) {
    switch (m_current.command) {
      case 3:
        m_location = Joined(p[0], p[1]);
        m_motions.push_back("locate");
        break;
      case 16: {
        // Speed 0 at a position is a scrub position; a speed winds the
        // shuttle from the position; speed 0 parked ends the wind.
        m_wind = static_cast<int32_t>(p[2] << 8) >> 8;  // a signed 24-bit word
        const bool parked = Joined(p[0], p[1]) == 0xFFFFFFFFFFFF;
        if (!parked) m_location = Joined(p[0], p[1]);
        m_motions.push_back(m_wind != 0 || parked ? "wind" : "scrubloc");
        break;
      }
      case 17:
        m_end = Joined(p[0], p[1]);
        m_motions.push_back("end");
        break;
      case 18: m_motions.push_back("loop"); break;
    }
    return;
  }
  switch (m_current.command) {
    case 0:
      m_location = Joined(p[0], p[1]);
      m_state = State::Prepared;
      m_motions.push_back("prep");
      break;
    case 1:
      m_state = State::Playing;
      m_motions.push_back("start");
      break;
    case 11:
      m_state = State::ScrubPrepared;
      m_motions.push_back("scrubprep");
      break;
    case 12:
      m_state = State::Scrubbing;
      m_motions.push_back("scrubstart");
      break;
  }
}

void UnitTransport::SetBusy(uint32_t count) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_busy = count;
}
UnitTransport::State UnitTransport::GetState() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_state;
}
int64_t UnitTransport::Location() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_location;
}
int64_t UnitTransport::End() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_end;
}
int32_t UnitTransport::WindSpeed() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_wind;
}
std::vector<UnitTransport::Taken> UnitTransport::TakenCommands() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_taken;
}
std::vector<const char*> UnitTransport::Motions() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_motions;
}

}  // namespace simunit
