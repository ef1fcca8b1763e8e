// The simulated Dunvell board.
#include "sim/pcidsp/dunvell.h"

#include "kernel/streamlayout.h"
#include "sim/pcidsp/streams.h"

#include <cstring>

namespace simpcidsp {

namespace {
constexpr uint16_t CmdIdentify = 0x4100, CmdClockInfo = 0x2300, CmdFlashPages = 0x5100, CmdFlashChunk = 0x3100,
                   CmdRoutes = 0x3000, CmdLong = 0x3210;
constexpr uint16_t DspWrite = 0x1200, DspRead = 0x2200;
}  // namespace

Dunvell::Dunvell(uint32_t dsps, bool wideInputs)
    : info{0x1101, 0x0102, uint16_t(0xD0 + (dsps > 4 ? 4 : dsps)), uint16_t(wideInputs ? 0xA000 : 0x1000)} {}

uint32_t Dunvell::Read(uint32_t offset, uint32_t) {
  std::lock_guard<std::recursive_mutex> one(m_registers);
  if (m_engine && offset >= 16 && offset <= 24) {
    if (offset == 16) return m_engine->Register(QvRegInput) & 0xFFFFFF;
    return (m_engine->Register(offset == 20 ? QvRegOutput : QvRegLatch) & 0xFFFFFF) / 4;
  }
  switch (offset) {
    case Control: return uint32_t(m_control & ~1u) | (m_done ? 1u : 0u);
    case Data: {
      if (m_out.empty()) return 0;
      uint16_t w = m_out.front();
      m_out.pop_front();
      return w;
    }
    case FirmwareId: return dsp[0].running ? dsp[0].firmware : 0;
    case InterruptStatus: {
      uint32_t v = m_interrupted ? 1 : 0;
      m_interrupted = false;
      return v;
    }
    default: return offset / 4 < 16 ? regs[offset / 4] : 0;
  }
}

void Dunvell::Write(uint32_t offset, uint32_t, uint32_t value) {
  std::lock_guard<std::recursive_mutex> one(m_registers);
  switch (offset) {
    case Control: {
      uint16_t v = uint16_t(value);
      controlWrites.push_back(v);
      m_control = v;
      if (v == 0x1000) {
        m_done = false;
        m_in.clear();
        m_out.clear();
      } else if (v == 0) {
        Execute();
      } else if (v == 0xF000) {
        ++aborts;
        m_done = false;
        m_in.clear();
        m_out.clear();
      } else if ((v & 0xF000) == 0x4000) {
        modeByte = uint8_t(v);
        ++resets;
        for (uint32_t d = 0; d < 4; ++d) {
          dsp[d].running = false;
          dsp[d].firmware = 0;
          dsp[d].loading = false;
          dsp[d].out.clear();
          dsp[d].in.clear();
        }
      } else if ((v & 0xE000) == 0x2000 && (v & 1)) {
        divider = ((v >> 9) & 0xF) * 16;
      }
      return;
    }
    case Data: m_in.push_back(uint16_t(value)); return;
    case InterruptStatus: {
      std::lock_guard<std::mutex> bus(m_bus);
      m_running = (value & 1) != 0;
      return;
    }
    default:
      if (offset / 4 < 16) regs[offset / 4] = value;
      return;
  }
}

uint64_t Dunvell::StreamMemory() { return m_running ? regs[0] : 0; }

void Dunvell::AttachEngine(StreamEngine* engine) {
  std::lock_guard<std::recursive_mutex> one(m_registers);
  m_engine = engine;
}

void Dunvell::RaiseBlock() {
  {
    std::lock_guard<std::recursive_mutex> one(m_registers);
    if (!m_running) return;
    m_interrupted = true;
  }
  if (interruptLine) interruptLine();
}

void Dunvell::Block() {
  if (m_engine) return m_engine->Block();
  {
    std::lock_guard<std::recursive_mutex> one(m_registers);
    if (!m_running) return;
    regs[4] = (regs[4] + 16) & 0xFFFFFF;
    regs[5] = (regs[5] + 4) & 0xFFFFFF;
    regs[6] = (regs[6] + 4) & 0xFFFFFF;
  }
  RaiseBlock();
}

void Dunvell::Execute() {
  if (m_in.empty()) return;
  uint16_t h = m_in[0];
  std::vector<uint16_t> p(m_in.begin() + 1, m_in.end());
  m_in.clear();
  m_out.clear();
  commands.push_back({h, p});
  m_done = false;
  if (silent) return;
  uint32_t d = (h >> 6) & 3;
  if ((h & ~0xC0) == CmdLong) {
    if (dsp[d].silent) return;
    LongToDsp(d, p);
  } else {
    ShortCommand(h, p);
  }
  if (garble && !m_out.empty()) m_out.front() ^= 1;
  m_done = true;
}

void Dunvell::ResetDsp(uint32_t d) {
  Dsp& x = dsp[d];
  x.running = false;
  x.firmware = 0;
  x.loading = false;
  x.out.clear();
  x.in.clear();
  ++x.resets;
}

void Dunvell::ShortCommand(uint16_t h, const std::vector<uint16_t>& p) {
  uint16_t ok = uint16_t((h & 0x0FFF) | 0xE000), wrong = uint16_t(ok ^ 0x0F00);
  uint32_t d = (h >> 6) & 3;
  uint16_t base = uint16_t(h & ~0xC0);
  Dsp& x = dsp[d];
  auto word = [&](size_t i) { return i < p.size() ? p[i] : uint16_t(0); };
  if (h == CmdIdentify) {
    m_out = {ok, info[0], info[1], info[2], info[3]};
  } else if (h == CmdClockInfo) {
    m_out = {ok};
    for (uint16_t w : clockInfo) m_out.push_back(w);
  } else if (h == CmdFlashPages) {
    flashPages = word(0) + 1u;
    flash.assign(size_t(flashPages) * 65536, 0xFF);
    chunkLengths.clear();
    m_chunks = 0;
    m_out = {ok};
  } else if (h == CmdFlashChunk) {
    uint32_t offset = word(0) | uint32_t(word(1)) << 16, length = word(2) + 1u;
    bool refused = int(m_chunks++) == refuseChunk;
    chunkLengths.push_back(length);
    for (uint32_t i = 0; i < length && offset + i < flash.size(); ++i)
      flash[offset + i] = uint8_t(word(3 + i / 2) >> (8 * (i % 2)));
    m_out = {refused ? wrong : ok};
  } else if (h == CmdRoutes) {
    uint16_t first = word(0), count = word(1);
    uint32_t bank = (first & 0x8000) ? 0 : 1;
    uint32_t at = bank == 0 ? first - 0x8000u : first - 0x400u;
    ++routeRuns;
    for (uint32_t k = 0; k < count && at + k < Destinations; ++k) {
      uint16_t w = word(2 + k);
      Route& r = router[bank][at + k];
      r.word = w;
      r.source = w & 0x3FF;
      r.on = bank == 0 ? (w & 0x1000) != 0 : !(w & 0x400);
    }
    m_out = {ok};
  } else if (base == (DspWrite | 1)) {
    if (word(0) == 0xB4) ResetDsp(d);
    m_out = {ok};
  } else if (base == DspWrite) {
    if (word(0) == 32 && !x.running) {
      x.loading = true;
      x.image.clear();
    }
    m_out = {ok};
  } else if (base == (DspWrite | 8)) {
    uint32_t w = word(0) | uint32_t(word(1)) << 16;
    if (x.loading) {
      x.image.push_back(w);
      if (x.image.size() >= 6 && x.image.size() >= x.image[0]) {
        x.loading = false;
        x.running = true;
        x.firmware = x.image[4];
        for (uint32_t i = 0; i < postWords; ++i) x.out.push_back(0x00AA0000 + i);
      }
    } else if (x.running) {
      DataPortWord(d, w);
    }
    m_out = {ok};
  } else if (base == (DspRead | 2)) {
    if (x.deaf) {
      m_out = {wrong, 0};
      return;
    }
    uint16_t status = uint16_t((x.running ? 14 : 6) | (x.out.empty() ? 0 : 1));
    m_out = {ok, status};
  } else if (base == (DspRead | 8)) {
    uint32_t w = 0;
    if (!x.out.empty()) {
      w = x.out.front();
      x.out.pop_front();
    }
    m_out = {ok, uint16_t(w), uint16_t(w >> 16)};
  } else if ((base & 0xFFF8) == DspRead) {
    m_out = {ok, 0};
  } else {
    m_out = {wrong};
  }
}

// The DSP's commands: 0 the start message ({two clock words, DSP}), with
// bit 23 a memory write {address, words...}; 1 with bit 23 a memory read
// {address, count}; 10 the rate message; 14..23 echo their payload.
uint32_t Dunvell::RunCommand(uint32_t d, uint32_t code, const std::vector<uint32_t>& payload,
                             std::vector<uint32_t>* reply) {
  Dsp& x = dsp[d];
  if (x.errorCode) return x.errorCode;
  uint32_t cmd = code & 0x3F;
  bool flag = (code & 0x800000) != 0;
  if (cmd == 0 && flag && !payload.empty()) {
    for (size_t i = 1; i < payload.size(); ++i) x.memory[(payload[0] + i - 1) % 1024] = payload[i] & 0xFFFFFF;
  } else if (cmd == 1 && flag && payload.size() >= 2) {
    for (uint32_t i = 0; i < payload[1] && i < 1024; ++i) reply->push_back(x.memory[(payload[0] + i) % 1024]);
  } else if (cmd >= 14 && cmd <= 23) {
    for (uint32_t w : payload) reply->push_back(w & 0xFFFFFF);
  }
  return 0;
}

void Dunvell::LongToDsp(uint32_t d, const std::vector<uint16_t>& p) {
  uint16_t ok = uint16_t(0xE210 | d << 6);
  auto half = [&](size_t k) { return k < p.size() ? uint32_t(p[k]) : 0u; };
  auto word32 = [&](size_t i) { return half(1 + 2 * i) | half(2 + 2 * i) << 16; };
  uint32_t n = p.empty() ? 0 : p[0];
  uint32_t capacity = word32(0), code = word32(2);
  std::vector<uint32_t> payload;
  for (uint32_t i = 0; i + 2 < n && i < 256; ++i) payload.push_back(word32(3 + i));
  dsp[d].longCommands.push_back({code, capacity, payload});
  std::vector<uint32_t> reply;
  uint32_t error = RunCommand(d, code, payload, &reply);
  m_out = {ok};
  if (error) {
    m_out.push_back(uint16_t(0x8000 | (error & 0x7F) << 8));
    return;
  }
  m_out.push_back(uint16_t(reply.size()));
  for (uint32_t w : reply) {
    m_out.push_back(uint16_t(w));
    m_out.push_back(uint16_t(w >> 16));
  }
}

// The running program's data port: {count, capacity, second word, code},
// then count - 2 words; the reply header (bit 23 error with its code in
// bits 16..22, else the word count) and the words. Code 11 echoes its
// words; the others are kept and answered with none.
void Dunvell::DataPortWord(uint32_t d, uint32_t word) {
  Dsp& x = dsp[d];
  x.in.push_back(word);
  if (x.in.size() < 4 || x.in.size() < x.in[0] + 2) return;
  std::vector<uint32_t> c = x.in;
  x.in.clear();
  x.streamCommands.push_back(c);
  if (x.silent) return;
  if (x.errorCode) {
    x.out.push_back(0x800000u | uint32_t(x.errorCode) << 16);
    return;
  }
  if ((c[3] & 0x3F) == 11) {
    x.out.push_back(uint32_t(c.size() - 4));
    for (size_t i = 4; i < c.size(); ++i) x.out.push_back(c[i]);
  } else {
    x.out.push_back(0);
  }
}

}  // namespace simpcidsp
