// Standard MIDI files assembled byte by byte for the tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

inline Bytes Vlq(uint32_t v) {
  Bytes b{static_cast<uint8_t>(v & 0x7F)};
  while ((v >>= 7) != 0) b.insert(b.begin(), static_cast<uint8_t>(0x80 | (v & 0x7F)));
  return b;
}

// One event: its delta time and its bytes.
inline Bytes Ev(uint32_t delta, std::initializer_list<uint8_t> bytes) {
  Bytes b = Vlq(delta);
  b.insert(b.end(), bytes);
  return b;
}
inline Bytes TempoEv(uint32_t delta, uint32_t us) {
  return Ev(delta, {0xFF, 0x51, 0x03, uint8_t(us >> 16), uint8_t(us >> 8), uint8_t(us)});
}
inline Bytes MeterEv(uint32_t delta, uint8_t num, uint8_t denPower) {
  return Ev(delta, {0xFF, 0x58, 0x04, num, denPower, 24, 8});
}
inline Bytes EndEv(uint32_t delta = 0) { return Ev(delta, {0xFF, 0x2F, 0x00}); }

inline Bytes Be(uint64_t v, int n) {
  Bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

inline Bytes Chunk(const char* id, const Bytes& data, uint32_t statedLength) {
  Bytes b(id, id + 4);
  Append(&b, Be(statedLength, 4));
  Append(&b, data);
  return b;
}
inline Bytes Chunk(const char* id, const Bytes& data) {
  return Chunk(id, data, static_cast<uint32_t>(data.size()));
}

inline Bytes HeaderChunk(uint16_t format, uint16_t tracks, uint16_t division) {
  Bytes d = Be(format, 2);
  Append(&d, Be(tracks, 2));
  Append(&d, Be(division, 2));
  return Chunk("MThd", d);
}

// A track chunk of the events given in order.
inline Bytes Track(std::initializer_list<Bytes> events) {
  Bytes d;
  for (const Bytes& e : events) Append(&d, e);
  return Chunk("MTrk", d);
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) Append(&b, p);
  return b;
}
