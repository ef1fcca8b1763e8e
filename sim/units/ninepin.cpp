#include "sim/units/ninepin.h"

namespace simunit {
namespace {

uint8_t Bcd(int v) { return static_cast<uint8_t>(v / 10 << 4 | v % 10); }

}  // namespace

void NinePinEngine::Command(uint8_t vector, std::deque<uint32_t>&) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_state = vector == Vector ? State::Header : State::Idle;
  m_request.clear();
}

void NinePinEngine::Word(uint32_t word, std::deque<uint32_t>& toHost) {
  std::lock_guard<std::mutex> lk(m_lock);
  if (m_state == State::Idle) return;
  m_request.push_back(static_cast<uint8_t>(word));
  if (m_state == State::Header) {
    if (m_request.size() < 3) return;
    if (m_request[0] != 19) {
      m_state = State::Idle;
      return;
    }
    m_expect = m_request[2];
    m_request = {m_request[1]};  // the code; its parameters follow
    m_state = State::Params;
    if (m_expect) return;
  } else if (m_request.size() < 1 + m_expect) {
    return;
  }
  m_state = State::Idle;
  Reply(toHost);
}

void NinePinEngine::Advance() {
  if (!m_playing) return;
  if (++m_tc[3] < 30) return;
  m_tc[3] = 0;
  if (++m_tc[2] < 60) return;
  m_tc[2] = 0;
  if (++m_tc[1] < 60) return;
  m_tc[1] = 0;
  m_tc[0] = static_cast<uint8_t>((m_tc[0] + 1) % 24);
}

void NinePinEngine::Reply(std::deque<uint32_t>& toHost) {
  m_taken.push_back(m_request);
  const uint8_t code = m_request[0];
  std::vector<uint8_t> data;
  uint8_t kind = 0;
  if (m_oversize) {
    data.assign(m_oversize, 0x11);
  } else if (m_busy) {
    --m_busy;
    kind = 1;
    data = {5};
  } else if (m_refusal) {
    kind = 1;
    data = {m_refusal};
  } else {
    switch (code) {
      case 0x20: m_playing = false; break;             // stop
      case 0x21: case 0x22: m_playing = true; break;   // play, record
      case 0x87: m_flagA = true; break;
      case 0x88: m_flagA = false; break;
      case 0x89: m_flagB = true; break;
      case 0x8A: m_flagB = false; break;
      case 0x19: data = {static_cast<uint8_t>(m_type >> 8), static_cast<uint8_t>(m_type)}; break;
      case 0x3F: case 0xAC: case 0xAD:
        Advance();
        data = {Bcd(m_tc[0]), Bcd(m_tc[1]), Bcd(m_tc[2]), Bcd(m_tc[3])};
        break;
      case 0x9F:
        data = {static_cast<uint8_t>(m_playing ? 1 : 0),
                static_cast<uint8_t>((m_flagA ? 1 : 0) | (m_flagB ? 2 : 0)), Bcd(m_tc[0]),
                Bcd(m_tc[1]),       Bcd(m_tc[2]),
                Bcd(m_tc[3])};
        break;
      case 0x30: case 0x32: case 0x33: case 0x34: case 0x35: case 0x37: case 0x38:
        // A time code sent: the machine takes it as its position.
        if (m_request.size() == 5)
          for (int i = 0; i < 4; ++i) m_tc[i] = static_cast<uint8_t>((m_request[1 + i] >> 4) * 10 + (m_request[1 + i] & 15));
        break;
      default: {
        auto it = m_values.find(code);
        if (it != m_values.end()) data = it->second;
      }
    }
  }
  toHost.push_back(kind);
  toHost.push_back(static_cast<uint32_t>(data.size()));
  for (uint8_t b : data) toHost.push_back(b);
}

void NinePinEngine::SetDeviceType(uint16_t type) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_type = type;
}
void NinePinEngine::SetValue(uint8_t code, std::vector<uint8_t> data) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_values[code] = std::move(data);
}
void NinePinEngine::SetTimecode(uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_tc[0] = h, m_tc[1] = m, m_tc[2] = s, m_tc[3] = f;
}
void NinePinEngine::SetBusy(uint32_t count) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_busy = count;
}
void NinePinEngine::SetRefusal(uint8_t status) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_refusal = status;
}
void NinePinEngine::SetOversize(uint8_t count) {
  std::lock_guard<std::mutex> lk(m_lock);
  m_oversize = count;
}
bool NinePinEngine::Playing() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_playing;
}
bool NinePinEngine::FlagA() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_flagA;
}
bool NinePinEngine::FlagB() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_flagB;
}
std::vector<std::vector<uint8_t>> NinePinEngine::Taken() const {
  std::lock_guard<std::mutex> lk(m_lock);
  return m_taken;
}

}  // namespace simunit
