#include "outside/MidiFile/smf_parse.h"

#include <algorithm>

namespace {

constexpr uint8_t kMetaStatus = 0xFF;
constexpr uint8_t kSysExStatus = 0xF0;
constexpr uint8_t kSysExContinue = 0xF7;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kHeaderDataSize = 6;
constexpr uint64_t kTickMax = 0x7FFFFFFF;

// A bounded view of bytes being read; every read checks what is left.
struct Cursor {
  const uint8_t* p;
  size_t left;

  bool Byte(uint8_t* out) {
    if (left == 0) return false;
    *out = *p++;
    --left;
    return true;
  }
  bool Skip(size_t n) {
    if (n > left) return false;
    p += n;
    left -= n;
    return true;
  }
  // A variable-length quantity: at most four bytes of seven bits.
  bool Vlq(uint32_t* out) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(&b)) return false;
      v = (v << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) {
        *out = v;
        return true;
      }
    }
    return false;
  }
};

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

bool IsChunk(const uint8_t* p, const char* id) { return std::equal(p, p + 4, id); }

// Data bytes after a channel status.
size_t ChannelDataBytes(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

class TrackReader {
 public:
  TrackReader(Cursor track, SmfHandler& handler) : in_(track), handler_(handler) {}

  SmfResult Read() {
    while (in_.left > 0) {
      uint32_t delta;
      if (!in_.Vlq(&delta)) return kSmfBadEvent;
      tick_ = std::min<uint64_t>(tick_ + delta, kTickMax);
      bool ended = false;
      const SmfResult r = Event(&ended);
      if (r != kSmfOk || ended) return r;
    }
    return kSmfOk;  // a track without its end marker ends with its chunk
  }

 private:
  SmfResult Event(bool* ended) {
    uint8_t b;
    if (!in_.Byte(&b)) return kSmfBadEvent;
    if (b == kMetaStatus) return Meta(ended);
    if (b == kSysExStatus || b == kSysExContinue) return SysEx();
    if (b >= 0xF0) return kSmfBadEvent;  // real-time and common messages have no place in a file
    size_t data = 0;
    if (b >= 0x80) {
      running_ = b;
      data = ChannelDataBytes(b);
    } else {
      if (running_ == 0) return kSmfBadEvent;
      data = ChannelDataBytes(running_) - 1;  // b was the first data byte
    }
    return in_.Skip(data) ? kSmfOk : kSmfBadEvent;
  }

  // System-exclusive and meta events cancel running status.
  SmfResult SysEx() {
    running_ = 0;
    uint32_t len;
    return in_.Vlq(&len) && in_.Skip(len) ? kSmfOk : kSmfBadEvent;
  }

  SmfResult Meta(bool* ended) {
    running_ = 0;
    uint8_t type;
    uint32_t len;
    if (!in_.Byte(&type) || !in_.Vlq(&len) || len > in_.left) return kSmfBadEvent;
    const uint8_t* d = in_.p;
    in_.Skip(len);
    const int32_t tick = static_cast<int32_t>(tick_);
    int answer = 0;
    if (type == kMetaEndOfTrack) *ended = true;
    else if (type == kMetaTempo && len >= 3)
      answer = handler_.Tempo(tick, uint32_t{d[0]} << 16 | uint32_t{d[1]} << 8 | d[2]);
    else if (type == kMetaTimeSignature && len >= 2)
      answer = handler_.TimeSignature(tick, d[0], d[1]);
    return answer != 0 ? kSmfStopped : kSmfOk;
  }

  Cursor in_;
  SmfHandler& handler_;
  uint64_t tick_ = 0;
  uint8_t running_ = 0;
};

SmfResult ReadHeader(Cursor* in, SmfHandler& handler) {
  if (in->left < kChunkHeaderSize + kHeaderDataSize || !IsChunk(in->p, "MThd")) return kSmfNotMidi;
  const uint32_t len = Be32(in->p + 4);
  if (len < kHeaderDataSize) return kSmfNotMidi;
  const uint8_t* d = in->p + kChunkHeaderSize;
  const SmfHeader h{Be16(d), Be16(d + 2), Be16(d + 4)};
  // Format 2 holds independent sequences with no common time line, and a
  // division with the top bit set counts time code, not quarter notes.
  if (h.Format > 1 || (h.Division & 0x8000) != 0) return kSmfNotMidi;
  in->Skip(kChunkHeaderSize);
  if (!in->Skip(len)) return kSmfTrackCut;  // a header chunk longer than the data
  return handler.Header(h) != 0 ? kSmfStopped : kSmfOk;
}

}  // namespace

SmfResult SmfParse(const uint8_t* data, size_t size, SmfHandler& handler) {
  if (data == nullptr) return kSmfNotMidi;
  Cursor in{data, size};
  const SmfResult head = ReadHeader(&in, handler);
  if (head != kSmfOk) return head;
  SmfResult worst = kSmfOk;
  while (in.left > 0) {
    if (in.left < kChunkHeaderSize) return kSmfTrackCut;
    const bool track = IsChunk(in.p, "MTrk");
    const uint32_t len = Be32(in.p + 4);
    in.Skip(kChunkHeaderSize);
    const bool cut = len > in.left;
    const size_t have = std::min<size_t>(len, in.left);
    if (track) {
      const SmfResult r = TrackReader(Cursor{in.p, have}, handler).Read();
      if (r == kSmfStopped) return r;
      // Running out of bytes inside a cut chunk is the cut, not damage.
      if (r != kSmfOk && !cut) worst = kSmfBadEvent;
    }
    in.Skip(have);
    if (cut) return kSmfTrackCut;
  }
  return worst;
}
