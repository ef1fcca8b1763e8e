// Board unit computations: names, rate detection, the Corbelle routing.
#include "Drv/Qvcom/units.h"

#include <cstdio>
#include <cwchar>

namespace qvunit {

bool FormatSourceName(Family family, uint8_t count, uint8_t first, uint8_t kind, int style, int unitDigit,
                      wchar_t* out, size_t size) {
  if (kind >= 2) return false;
  unsigned firstNo = first, lastNo = first + count - 1u;
  wchar_t prefix[8] = L"";
  if (style != 0) {
    const wchar_t* name = nullptr;
    unsigned groupSize = 0;  // 0: no group letter
    switch (family) {
      case Family::Dnv: name = L"MADI"; groupSize = count < 3 ? 64 : 0; break;
      case Family::Tv2: name = L"TDIF"; groupSize = count < 3 ? 8 : 0; break;
      case Family::Cbl: name = L"EXP"; break;
      case Family::Tvr:
        name = count < 3 ? L"TDIF" : L"EXT";
        groupSize = count < 3 ? 8 : 0;
        break;
    }
    if (groupSize) {
      wchar_t letter = static_cast<wchar_t>(L'A' + (first - 1u) / groupSize);
      swprintf(prefix, 8, L"%ls%lc ", name, letter);
      unsigned base = (first - 1u) / groupSize * groupSize;
      firstNo -= base;
      lastNo -= base;
    } else {
      swprintf(prefix, 8, L"%ls ", name);
    }
  }
  wchar_t numbers[24];
  if (count <= 1)
    swprintf(numbers, 24, L"%u ", firstNo);
  else
    swprintf(numbers, 24, L"%u-%u", firstNo, lastNo);
  const wchar_t* tail = L"";
  bool cbl = family == Family::Cbl;
  if (style == 0) tail = cbl ? L"p" : L"m";
  if (style == 1) tail = cbl ? L" P" : L" M";
  swprintf(out, size, L"%ls%ls%ls%lc", prefix, numbers, tail, static_cast<wchar_t>(L'1' + unitDigit));
  return true;
}

namespace {
constexpr uint32_t Locked = 0xC0000000u;  // bits 30 and 31
}

uint32_t DnvDetectRate(const uint32_t previous[2], const uint32_t now[2]) {
  static const uint32_t rates[6] = {44100, 48000, 88200, 96000, 176400, 192000};
  if (previous[0] == now[0] && previous[1] == now[1]) return 0;
  uint32_t nibble = now[0] & 0xF;
  if ((now[0] & Locked) != Locked || nibble > 5 || (now[1] & 0xC) == 0) return 0;
  bool lockChanged = ((previous[0] ^ now[0]) & Locked) != 0;
  bool rateChanged = ((previous[0] ^ now[0]) & 0xF) != 0;
  return lockChanged || rateChanged ? rates[nibble] : 0;
}

uint32_t Tv2DetectRate(const uint32_t previous[4], const uint32_t now[4]) {
  if (std::memcmp(previous, now, 16) == 0) return 0;
  if ((now[0] & Locked) != Locked || ((previous[0] ^ now[0]) & Locked) == 0) return 0;
  uint32_t selector = (now[1] >> 8) & 0xF;
  uint32_t code = selector == 1 ? (now[0] >> 16) & 0xF : selector == 2 ? (now[0] >> 20) & 0xF : 0;
  switch (code) {
    case 0: return 48000;
    case 1: return 44100;
    case 4: return 96000;
    case 5: return 88200;
    case 8: return 192000;
    default: return 0;
  }
}

uint32_t CblDetectRate(const uint32_t previous[4], const uint32_t now[4], uint32_t currentRate) {
  static const uint32_t rates[4] = {44100, 48000, 88200, 96000};
  if (std::memcmp(previous, now, 12) == 0) return 0;
  uint32_t nibble = now[0] & 0xF;
  if ((now[0] & Locked) != Locked || ((previous[0] ^ now[0]) & 0xF) == 0) return 0;
  if (nibble >= 4) return 0;  // no rate of the table
  return rates[nibble] != currentRate ? rates[nibble] : 0;
}

void BuildCblRoutes(uint8_t out[CblRouteEntries * 4]) {
  size_t n = 0;
  auto put = [&](uint8_t kind, uint8_t channel, uint16_t route) {
    out[n++] = kind;
    out[n++] = channel;
    out[n++] = static_cast<uint8_t>(route);
    out[n++] = static_cast<uint8_t>(route >> 8);
  };
  put(0xFF, 0, 0x1000);
  for (uint16_t ch = 0; ch < 64; ++ch) {
    uint8_t c = static_cast<uint8_t>(ch);
    put(0, c, ch);
    put(1, c, ch | 0x4000);
    put(1, c, ch + 64);
    put(0, c, (ch + 64) | 0x4000);
  }
  put(0xFF, 0, 0x2009);
}

ConverterState ReadConverterState(const uint32_t words[4]) {
  ConverterState s;
  s.present = (words[0] & 0x10000000u) != 0;
  s.type = words[1] & 0xFFFF;
  s.version = static_cast<uint8_t>(words[1] >> 16);
  s.settings = words[2];
  return s;
}

const char* ConverterModelName(uint32_t type) {
  static const char* const names[14] = {
      "Lumora AD8",  "Lumora DA8",  "Lumora ADA8",  "Lumora AD16",  "Lumora DA16",  "Lumora ADA16",  "Lumora MP4",
      "Lumora MP8",  "Lumora AD8X", "Lumora DA8X", "Lumora ADA8X", "Lumora AES16", "Lumora OPT16", "Lumora SRC16",
  };
  return type >= 5 && type <= 18 ? names[type - 5] : "Unknown Type";
}

void FormatConverterItem(const ConverterState& state, wchar_t* out, size_t size) {
  swprintf(out, size, L"%hs V%u.%u", ConverterModelName(state.type), static_cast<unsigned>(state.version >> 4),
           static_cast<unsigned>(state.version & 0xF));
}

}  // namespace qvunit
