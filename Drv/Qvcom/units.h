// What the board unit objects of the mixer device compute, free of the
// platform: channel-group names, the incoming sample rate from the board's
// status words, the Corbelle's initial routing, the two advise-sink slots
// with their cookies, and the settings record that reaches the board.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qvunit {

enum class Family { Dnv, Tv2, Cbl, Tvr };

// The name of a channel group {count, first channel (1-based), kind} in a
// style; false when the kind (2 or more) is named by the unit base.
// unitDigit: the last character of the unit's device name minus '1'.
bool FormatSourceName(Family family, uint8_t count, uint8_t first, uint8_t kind, int style, int unitDigit,
                      wchar_t* out, size_t size);

// The incoming rate when the status words changed (0: none). `previous`
// holds the words last read.
uint32_t DnvDetectRate(const uint32_t previous[2], const uint32_t now[2]);
uint32_t Tv2DetectRate(const uint32_t previous[4], const uint32_t now[4]);
// The Corbelle's four-rate table; a nibble beyond it gives no rate.
uint32_t CblDetectRate(const uint32_t previous[4], const uint32_t now[4], uint32_t currentRate);

// The initial routing of a Corbelle card: 258 entries {kind, channel, route
// word (little-endian)} of 4 bytes each.
constexpr size_t CblRouteEntries = 258;
void BuildCblRoutes(uint8_t out[CblRouteEntries * 4]);

// The converter unit behind a Corbelle card as the card's 16 status bytes
// show it: word 0 the converter flags (bit 28: a converter answers), word 1
// its type code (low 16 bits) and firmware version (the low byte of the
// high half: major in its high nibble, minor in its low one), word 2 its
// settings word.
struct ConverterState {
  bool present;
  uint32_t type;
  uint8_t version;
  uint32_t settings;
};
ConverterState ReadConverterState(const uint32_t words[4]);
// The model name of a converter type code (5 to 18), else "Unknown Type".
const char* ConverterModelName(uint32_t type);
// The converter's tree text "<model> V<major>.<minor>".
void FormatConverterItem(const ConverterState& state, wchar_t* out, size_t size);
// The settings word the card's activation sends: bit 30 set, bit 29 clear.
constexpr uint32_t ActivationSettings(uint32_t word) { return (word | 0x40000000u) & ~0x20000000u; }

// Result codes as the COM objects return them.
constexpr int32_t ResultOk = 0;
constexpr int32_t ResultPointer = static_cast<int32_t>(0x80004003);
constexpr int32_t ResultNoSlot = static_cast<int32_t>(0x80040201);   // both slots taken
constexpr int32_t ResultBadCookie = static_cast<int32_t>(0x80040200);  // a slot cookie naming no slot
constexpr int32_t ResultPassOn = 1;  // not a slot cookie: the base's unadvise decides

// Two sink slots. A cookie is the slot's address with its two low bits set.
// Sink: AddRef() and Release().
template <class Sink>
class SinkSlots {
 public:
  ~SinkSlots() {
    for (Sink*& s : m_slots)
      if (s) s->Release();
  }
  int32_t Advise(Sink* sink, uintptr_t* cookie) {
    if (!sink || !cookie) return ResultPointer;
    for (Sink*& s : m_slots) {
      if (s) continue;
      sink->AddRef();
      s = sink;
      *cookie = reinterpret_cast<uintptr_t>(&s) | 3;
      return ResultOk;
    }
    *cookie = 0;
    return ResultNoSlot;
  }
  int32_t Unadvise(uintptr_t cookie) {
    if ((cookie & 3) != 3) return ResultPassOn;
    for (Sink*& s : m_slots) {
      if ((reinterpret_cast<uintptr_t>(&s) | 3) != cookie) continue;
      Sink* old = s;
      s = nullptr;
      if (old) old->Release();
      return ResultOk;
    }
    return ResultBadCookie;
  }
  template <class F>
  void ForEach(F call) {
    for (Sink* s : m_slots)
      if (s) call(s);
  }

 private:
  Sink* m_slots[2] = {nullptr, nullptr};
};

// The settings record: Words words, of which the last Taken are what the
// board takes. Set sends them (send: (const uint32_t*, bytes) -> result) and
// keeps them only once the board has them, so that the same words sent
// again after a failure really go out again.
template <size_t Words, size_t Taken>
class Settings {
 public:
  void Get(uint32_t out[Words]) const { std::memcpy(out, m_record, sizeof m_record); }
  // changed: set when the words went to the board (whatever its answer).
  template <class Send>
  int32_t Set(const uint32_t words[Taken], Send send, bool* changed) {
    *changed = false;
    uint32_t* stored = m_record + (Words - Taken);
    if (std::memcmp(stored, words, Taken * 4) == 0) return ResultOk;
    *changed = true;
    int32_t result = send(words, static_cast<uint32_t>(Taken * 4));
    if (result >= 0) std::memcpy(stored, words, Taken * 4);
    return result;
  }
  uint32_t m_record[Words] = {};
};

}  // namespace qvunit
