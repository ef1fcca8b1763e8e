// The simulated host interface of the Tavrion family.
#include "sim/pcidsp/hostif.h"
#include "sim/pcidsp/streams.h"

#include <algorithm>
#include <cstring>

namespace simpcidsp {

std::vector<uint32_t> BootImage(uint32_t boardId, uint32_t firmware, uint32_t programWords) {
  std::vector<uint32_t> image = {6 + programWords, 2, ImageMark, programWords, firmware, boardId};
  for (uint32_t i = 0; i < programWords; ++i) image.push_back(0x0C0000 + i);
  return image;
}

std::vector<uint8_t> BootImageBytes(uint32_t boardId, uint32_t firmware, uint32_t programWords) {
  std::vector<uint32_t> words = BootImage(boardId, firmware, programWords);
  std::vector<uint8_t> bytes(words.size() * 4);
  std::memcpy(bytes.data(), words.data(), bytes.size());
  return bytes;
}

std::vector<uint8_t> LoadImage(uint32_t unitWord, uint16_t value0, uint16_t value1, uint32_t codeBytes) {
  uint32_t length = 12 + codeBytes;
  std::vector<uint8_t> bytes(length);
  std::memcpy(&bytes[0], &length, 4);
  std::memcpy(&bytes[4], &unitWord, 4);
  std::memcpy(&bytes[8], &value0, 2);
  std::memcpy(&bytes[10], &value1, 2);
  for (uint32_t i = 0; i < codeBytes; ++i) bytes[12 + i] = uint8_t(0xA0 + i);
  return bytes;
}

HostInterface::HostInterface(uint32_t boardId) : m_boardId(boardId) {
  std::memset(converterRoutes, 0x7F, sizeof converterRoutes);
}

bool HostInterface::Running() {
  if (m_state == State::Starting && simbus::Now() >= m_runAt) {
    m_state = State::Running;
    for (uint32_t w : postWords) m_rx.push_back(w);
  }
  return m_state == State::Running;
}

uint32_t HostInterface::Status() {
  uint32_t s = 0;
  bool running = Running();
  if (running) s |= 0x20;
  if (running && m_streamProgram) s |= 0x10;
  if (m_interrupt) s |= 0x40;
  if (m_flushWanted) s |= 0x08;
  if (!m_rx.empty()) s |= 0x04;
  if (!stall) s |= 0x03;
  return s;
}

uint32_t HostInterface::Read(uint32_t offset, uint32_t) {
  std::lock_guard<std::recursive_mutex> one(m_registers);
  switch (offset) {
    case Hctr: return hctr | 0x4000;
    case Hstr: return Status();
    case Hcvr: return hcvrWrites.empty() ? 0 : hcvrWrites.back();
    case Data: {
      if (m_rx.empty()) return 0;
      uint32_t w = m_rx.front();
      m_rx.pop_front();
      return w;
    }
    default: return offset >= 0x20 && streamRegisters ? streamRegisters(offset) : 0;
  }
}

void HostInterface::Write(uint32_t offset, uint32_t, uint32_t value) {
  std::lock_guard<std::recursive_mutex> one(m_registers);
  if (offset == Hctr) {
    hctr = value;
    return;
  }
  if (offset == Hcvr) {
    hcvrWrites.push_back(value);
    switch (value) {
      case HcvrAck: m_interrupt = false; break;
      case HcvrReset:
      case HcvrStop: {
        std::lock_guard<std::mutex> bus(m_bus);
        Reset();
        break;
      }
      case HcvrFlush: m_flushWanted = false; ++flushes; break;
      case 107: m_mailboxRung = true; break;
      case HcvrMailbox:
        if (m_mailboxRung && Running()) SharedMailbox();
        m_mailboxRung = false;
        break;
      default: break;
    }
    return;
  }
  if (offset >= Data && offset <= Data + 0x14 && !stall) TakeWord(value);
}

void HostInterface::AttachEngine(StreamEngine* engine) {
  if (engine) streamRegisters = [engine](uint32_t offset) { return engine->Register(offset); };
  else streamRegisters = nullptr;
}

void HostInterface::Reset() {
  m_state = State::Bootstrap;
  m_firmware = 0;
  m_in.clear();
  m_rx.clear();
  m_loading = false;
  m_flushWanted = false;
  m_streamProgram = false;
}

// The shared mailbox sits after the sample memory of the board's one
// 16-channel block: the command's words, then the reply from +64.
void HostInterface::SharedMailbox() {
  constexpr uint32_t Offset = 32768, ReplyOffset = 64, Bytes = 192;
  uint8_t* area = m_common ? simbus::SystemMemory(m_common + Offset, Bytes) : nullptr;
  if (!area) return;
  uint32_t head[4];
  std::memcpy(head, area, sizeof head);
  uint32_t count = head[0] < 2 ? 2 : head[0] > 14 ? 14 : head[0];
  Command c{head[0], head[1], head[2], head[3], std::vector<uint32_t>(count - 2)};
  if (count > 2) std::memcpy(c.words.data(), area + 16, (count - 2) * 4);
  commands.push_back(c);
  ++sharedCommands;
  m_shared = true;
  size_t before = m_rx.size();
  Execute(c);
  m_shared = false;
  // The reply went to the receive queue's end: moved to the shared area.
  std::vector<uint32_t> reply(m_rx.begin() + long(before), m_rx.end());
  m_rx.resize(before);
  if (reply.empty()) return;  // silence
  uint32_t header = reply[0] | 0x80000000u;
  uint32_t words = uint32_t(reply.size() - 1);
  if (words > (Bytes - ReplyOffset - 4) / 4) words = (Bytes - ReplyOffset - 4) / 4;
  std::memcpy(area + ReplyOffset + 4, reply.data() + 1, words * 4);
  std::memcpy(area + ReplyOffset, &header, 4);
  m_flushWanted = false;
}

void HostInterface::TakeWord(uint32_t word) {
  if (m_state != State::Running) {
    if (Running()) {
      TakeWord(word);
      return;
    }
    if (m_state == State::Starting) return;
    // The bootstrap: {count, address, count words}; a firmware image,
    // marked by its second and third words, counts all its words.
    m_in.push_back(word);
    bool image = m_in.size() >= 3 && m_in[1] == 2 && m_in[2] == ImageMark;
    size_t whole = image ? std::max<size_t>(m_in[0], 6) : (m_in.size() >= 2 ? 2 + size_t(m_in[0]) : 3);
    if (m_in.size() < whole) return;
    if (!image) {
      bootstrapPrograms.insert(bootstrapPrograms.end(), m_in.begin(), m_in.end());
    } else {
      m_firmware = m_in[4];
      if (failBoots > 0) {
        --failBoots;
      } else {
        m_state = State::Starting;
        m_runAt = simbus::Now() + startDelay;
      }
    }
    m_in.clear();
    return;
  }
  if (m_loading) {
    m_load.push_back(uint8_t(word));
    uint32_t length = 0;
    if (m_load.size() >= 4) std::memcpy(&length, m_load.data(), 4);
    if (m_load.size() >= 12 && m_load.size() >= length) {
      std::memcpy(&m_unitWord, &m_load[4], 4);
      uint16_t v[2];
      std::memcpy(v, &m_load[8], 4);
      programValue[0] = v[0];
      programValue[1] = v[1];
      m_loading = false;
    }
    return;
  }
  m_in.push_back(word);
  if (m_in.size() < 4) return;
  uint32_t count = m_in[0] < 2 ? 2 : m_in[0];
  if (m_in.size() < 2 + size_t(count)) return;
  Command c{m_in[0], m_in[1], m_in[2], m_in[3], std::vector<uint32_t>(m_in.begin() + 4, m_in.end())};
  m_in.clear();
  commands.push_back(c);
  Execute(c);
}

namespace {
uint32_t Word(const Command& c, size_t i) { return i < c.words.size() ? c.words[i] : 0; }
}  // namespace

void HostInterface::Execute(const Command& c) {
  if (c.code >= 0x800000) {
    // The pass-through range: operation 2 reaches DSP memory, the rest echoes.
    Reply(c, c.words);
    return;
  }
  switch (c.code) {
    case 0: {
      bool refuse = refuseStarts != 0;
      if (refuseStarts > 0) --refuseStarts;
      m_common = uint64_t(Word(c, 2)) << 8;
      m_streamProgram = !refuse;
      Reply(c, {programValue[0], programValue[1], 0, refuse ? 0x800000u : 0u});
      break;
    }
    case 1:
      m_loading = true;
      m_load.clear();
      Reply(c, {});
      break;
    case 2: {
      // DSP memory: {count | bit 23 write, address, data...}.
      uint32_t head = Word(c, 0), address = Word(c, 1), count = head & 0x7FFFFF;
      std::vector<uint32_t> reply;
      for (uint32_t i = 0; i < count; ++i) {
        uint32_t a = (address + i) % MemoryWords;
        if (head & 0x800000) {
          if (i + 2 < c.words.size()) m_memory[a] = c.words[i + 2];
        } else {
          reply.push_back(m_memory[a]);
        }
      }
      if (c.words.empty()) reply.assign(status, status + 3);
      Reply(c, reply);
      break;
    }
    case 7: Reply(c, {status[0], status[1], status[2]}); break;
    case 6:
      // The Corbelle's router: route words name their bank by bit 21 or 22;
      // any other word is the expansion setting word.
      for (uint32_t w : c.words) {
        uint32_t bank = (w & 0x200000) ? 0 : (w & 0x400000) ? 1 : 2;
        if (bank == 2) {
          routerSetting = w;
          continue;
        }
        uint32_t d = (w >> 8) & 0x1FF;  // bits 17..19 above it are the flags
        if (d >= RouterDestinations) continue;
        router[bank][d] = {uint8_t(w), bank == 0 ? (w & 0x80000) != 0 : (w & 0x20000) == 0};
      }
      Reply(c, {});
      break;
    case 9: {
      if (Word(c, 0) == 0xA20000 && Word(c, 1) == 38) {
        Reply(c, converterReply);
        break;
      }
      if (Word(c, 0) == 6 && c.words.size() == 12) {
        // A batch of converter route pairs {destination, source}.
        for (uint32_t i = 0; i <= Word(c, 1) && i < 10; ++i)
          converterRoutes[uint8_t(c.words[2 + i])] = uint8_t(c.words[2 + i] >> 8);
        Reply(c, {});
        break;
      }
      if (c.words.size() == 1 && Word(c, 0) == 5) {
        ++converterBatchEnds;
        Reply(c, {});
        break;
      }
      if (Word(c, 0) == 0xA10000) {
        converterConfig.assign(c.words.begin() + 1, c.words.end());
        Reply(c, {});
        break;
      }
      uint32_t w = Word(c, 0);
      Reply(c, {extAnswer ? extAnswer(w) : w});
      break;
    }
    case 10:
      if (c.words.size() >= 3) rateWords.assign(c.words.begin(), c.words.begin() + 3);
      Reply(c, {});
      break;
    case 11:
      // Four clock words, or one word that re-arms the lost clocks it names.
      if (c.words.size() == 1)
        status[1] &= ~c.words[0];
      else
        clockWords = c.words;
      Reply(c, {});
      break;
    case 12: Reply(c, {m_boardId, m_firmware, 16, 0}); break;
    default: Reply(c, {}); break;  // 3, 4, 5, 6
  }
}

void HostInterface::Reply(const Command& c, std::vector<uint32_t> words) {
  if (silence) return;
  if (errorHeader) {
    m_rx.push_back(errorHeader);
    errorHeader = 0;
    m_flushWanted = true;
    return;
  }
  if (overlong) {
    overlong = false;
    words.resize(c.capacity + 3);
    m_flushWanted = true;
  } else if (words.size() > c.capacity) {
    words.resize(c.capacity);
  }
  m_rx.push_back(uint32_t(words.size()));
  for (uint32_t w : words) m_rx.push_back(w);
}

}  // namespace simpcidsp
