// The simulated boards' stream engine.
#include "sim/pcidsp/streams.h"

#include "kernel/streamlayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace simpcidsp {

namespace {
constexpr uint32_t Mask24 = 0xFFFFFF;
constexpr uint32_t BlockUnits = 16;
constexpr uint32_t BlockBytes = 32768;

void Put32(std::FILE* f, uint32_t v) { std::fwrite(&v, 4, 1, f); }
void Put16(std::FILE* f, uint16_t v) { std::fwrite(&v, 2, 1, f); }
}  // namespace

StreamEngine::StreamEngine(StreamBoard* board, uint32_t channels)
    : m_board(board), m_channels(channels), m_played(channels),
      m_lastPlayed(((channels + 15) / 16) * QvSlotFrames * 16, 0) {
  m_board->AttachEngine(this);
}

StreamEngine::~StreamEngine() {
  m_board->AttachEngine(nullptr);
  if (m_playFile) {
    FinishPlayFile();
    std::fclose(static_cast<std::FILE*>(m_playFile));
  }
}

uint32_t StreamEngine::Register(uint32_t offset) const {
  switch (offset) {
    case QvRegInput: return m_input;
    case QvRegOutput: return m_output;
    case QvRegLatch: return m_latch;
    case QvRegRunning: return running;
    case QvRegRate: return rate;
    case QvRegTcLatch: return m_tcLatch;
    case QvRegTc0: return m_tc[0];
    case QvRegTc1: return m_tc[1];
    case QvRegFrameCount: return m_frameCount;
    case QvRegTcSource: return m_tcSource;
    default: return 0;
  }
}

void StreamEngine::TimeCode(uint32_t word0, uint32_t word1, uint32_t source, uint32_t frameCount) {
  m_tc[0] = word0;
  m_tc[1] = word1;
  m_tcSource = source;
  m_frameCount = frameCount;
  m_tcLatch = m_input;
}

uint8_t* StreamEngine::Memory() const {
  uint64_t common = m_board->StreamMemory();
  if (!common) return nullptr;
  return simbus::SystemMemory(common, ((m_channels + 15) / 16) * BlockBytes);
}

uint32_t* StreamEngine::Slot(uint8_t* memory, uint32_t block, uint32_t ring, uint64_t k) const {
  return reinterpret_cast<uint32_t*>(memory + block * BlockBytes + ring + (k % QvRingSlots) * QvSlotBytes);
}

uint32_t StreamEngine::Advance(int64_t time) {
  // Frames x 10^7 of the board's own clock: time in 100-ns units times the
  // rate, the drift added; the fraction of a block is kept.
  int64_t v = time * int64_t(rate);
  m_clock += v + v / 1000000 * driftPpm;
  const int64_t perBlock = int64_t(QvSlotFrames) * 10000000;
  uint32_t n = uint32_t(m_clock / perBlock);
  m_clock -= int64_t(n) * perBlock;
  return n;
}

void StreamEngine::RunInStep(const std::vector<StreamEngine*>& engines, int64_t time) {
  struct Due {
    double age;  // how long ago the block was made, in 100-ns units
    size_t engine;
  };
  std::vector<Due> due;
  const int64_t perBlock = int64_t(QvSlotFrames) * 10000000;
  for (size_t e = 0; e < engines.size(); ++e) {
    StreamEngine* s = engines[e];
    const uint32_t n = s->Advance(time);
    // Clock units made per 100 ns, as Advance counts them.
    const double speed = double(s->rate) * (1.0 + s->driftPpm * 1e-6);
    for (uint32_t j = 0; j < n; ++j) due.push_back({double(s->m_clock + int64_t(n - 1 - j) * perBlock) / speed, e});
  }
  std::stable_sort(due.begin(), due.end(), [](const Due& a, const Due& b) { return a.age > b.age; });
  for (const Due& d : due) engines[d.engine]->Block();
}

uint32_t StreamEngine::Run(int64_t time) {
  uint32_t n = Advance(time);
  for (uint32_t i = 0; i < n; ++i) Block();
  return n;
}

void StreamEngine::Block() {
  std::unique_lock<std::mutex> bus(m_board->BusLock());
  uint8_t* memory = Memory();
  uint64_t k = m_blocks;
  uint32_t groups = (m_channels + 15) / 16;
  for (uint32_t b = 0; memory && b < groups; ++b) {
    uint32_t* last = &m_lastPlayed[b * QvSlotFrames * 16];
    std::memcpy(last, Slot(memory, b, QvPlayRing, k), QvSlotBytes);
    for (uint32_t c = 0; m_keep && c < 16 && b * 16 + c < m_channels; ++c)
      for (uint32_t f = 0; f < QvSlotFrames; ++f) m_played[b * 16 + c].push_back(last[f * 16 + c]);
    uint32_t* record = Slot(memory, b, QvRecordRing, k);
    for (uint32_t f = 0; f < QvSlotFrames; ++f) {
      for (uint32_t c = 0; c < 16; ++c) {
        uint32_t channel = b * 16 + c;
        uint32_t v = 0;
        switch (input) {
          case Input::Silence: break;
          case Input::Ramp: v = RampSample(k * QvSlotFrames + f, channel); break;
          case Input::Loopback: v = last[f * 16 + c]; break;
          case Input::Cable:
            if (cable && b < cable->m_lastPlayed.size() / (QvSlotFrames * 16))
              v = cable->m_lastPlayed[b * QvSlotFrames * 16 + f * 16 + c];
            break;
          case Input::Wav:
            if (!m_wavInputs.empty()) {
              const auto& in = m_wavInputs[channel % m_wavInputs.size()];
              uint64_t n = k * QvSlotFrames + f;
              if (n < in.size()) v = uint32_t(uint16_t(in[n])) << 16;
            }
            break;
        }
        record[f * 16 + c] = v;
      }
    }
  }
  if (m_playFile) {
    auto* f = static_cast<std::FILE*>(m_playFile);
    const uint32_t* last = m_lastPlayed.data();
    for (uint32_t n = 0; n < QvSlotFrames; ++n)
      for (uint32_t c = 0; c < m_channels; ++c)
        Put16(f, memory ? uint16_t(last[(c / 16) * QvSlotFrames * 16 + n * 16 + c % 16] >> 16) : 0);
    m_playFrames += QvSlotFrames;
    if (k % 256 == 0) FinishPlayFile();
  }
  bus.unlock();
  m_input = (m_input + BlockUnits) & Mask24;
  m_output = (m_output + BlockUnits) & Mask24;
  m_latch = m_output;
  ++m_blocks;
  m_board->RaiseBlock();  // and the board's interrupt line with it
}

namespace {
void WavHeader(std::FILE* f, uint32_t channels, uint32_t rate, uint32_t data) {
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, uint16_t(channels));
  Put32(f, rate);
  Put32(f, rate * channels * 2);
  Put16(f, uint16_t(channels * 2));
  Put16(f, 16);
  std::fwrite("data", 1, 4, f);
  Put32(f, data);
}
}  // namespace

bool StreamEngine::PlayTo(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  WavHeader(f, m_channels, rate, 0);
  m_playFile = f;
  m_playFrames = 0;
  return true;
}

// The header's sizes brought up to what was written.
void StreamEngine::FinishPlayFile() {
  auto* f = static_cast<std::FILE*>(m_playFile);
  long end = std::ftell(f);
  std::fseek(f, 0, SEEK_SET);
  WavHeader(f, m_channels, rate, m_playFrames * m_channels * 2);
  std::fseek(f, end, SEEK_SET);
  std::fflush(f);
}

void StreamEngine::WritePlayed(const std::string& path) const {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  size_t frames = m_channels ? m_played[0].size() : 0;
  uint32_t data = uint32_t(frames * m_channels * 2);
  WavHeader(f, m_channels, rate, data);
  for (size_t n = 0; n < frames; ++n)
    for (uint32_t c = 0; c < m_channels; ++c) Put16(f, uint16_t(m_played[c][n] >> 16));
  std::fclose(f);
}

// A 16-bit PCM WAV file: its "fmt " and "data" chunks, the rest skipped.
bool StreamEngine::ReadInputs(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char head[12];
  bool ok = std::fread(head, 1, 12, f) == 12 && !std::memcmp(head, "RIFF", 4) && !std::memcmp(head + 8, "WAVE", 4);
  uint16_t channels = 0, bits = 0;
  while (ok) {
    char id[4];
    uint32_t size;
    if (std::fread(id, 1, 4, f) != 4 || std::fread(&size, 4, 1, f) != 1) {
      ok = false;
      break;
    }
    if (!std::memcmp(id, "fmt ", 4) && size >= 16) {
      uint8_t fmt[16];
      ok = std::fread(fmt, 1, 16, f) == 16 && std::fseek(f, long(size - 16 + (size & 1)), SEEK_CUR) == 0;
      std::memcpy(&channels, fmt + 2, 2);
      std::memcpy(&bits, fmt + 14, 2);
      ok = ok && fmt[0] == 1 && fmt[1] == 0 && channels && bits == 16;
    } else if (!std::memcmp(id, "data", 4)) {
      if (!channels) ok = false;
      break;
    } else {
      ok = std::fseek(f, long(size + (size & 1)), SEEK_CUR) == 0;
    }
  }
  if (ok) {
    m_wavInputs.assign(channels, {});
    int16_t frame[256];
    while (channels <= 256 && std::fread(frame, 2, channels, f) == channels)
      for (uint16_t c = 0; c < channels; ++c) m_wavInputs[c].push_back(frame[c]);
    input = Input::Wav;
  }
  std::fclose(f);
  return ok;
}

}  // namespace simpcidsp
