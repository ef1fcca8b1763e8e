#include "mixer/shell/wndlogic.h"

#include <cstdio>
#include <cstring>

#include "mixer/model/ini.h"
#include "mixer/model/timecode.h"

const int32_t kStatusFieldWidth[kStatusItems] = {128, 80, 104, 73, 78, 44, 172, 108};

void StatusLayout(const int32_t labelWidth[kStatusItems], int32_t width, StatusLayoutRec* out) {
  // Items 4 ("FRate") and 6 ("MClk") give way on narrow bars.
  const bool hideFrame = width < 906;
  const bool hideClock = width < 1108;
  int32_t x = 6;
  for (int i = 0; i < kStatusItems; ++i) {
    if ((i == 4 && hideFrame) || (i == 6 && hideClock)) {
      out->labelX[i] = out->fieldX[i] = -1000;
      continue;
    }
    out->labelX[i] = x;
    out->fieldX[i] = x + labelWidth[i] + 4;
    x = out->fieldX[i] + kStatusFieldWidth[i] + 4;
  }
}

int32_t AudBufBarLength(uint32_t reserve, uint32_t bufSize) {
  if (bufSize == 0) return 0;
  if (reserve > bufSize) reserve = bufSize;
  return static_cast<int32_t>(static_cast<uint64_t>(reserve) * kAudBufBar / bufSize);
}

void AudBufPercentText(uint32_t lowest, uint32_t bufSize, char* out, int size) {
  const uint64_t v = bufSize ? static_cast<uint64_t>(lowest > bufSize ? bufSize : lowest) * 1000 / bufSize : 0;
  std::snprintf(out, static_cast<size_t>(size), "%ld.%01ld%%", static_cast<long>(v / 10),
                static_cast<long>(v % 10));
}

void BigClockParse(const char* line, uint32_t sysColour15, BigClockSettings* out) {
  const char* p = line ? line : "";
  // Defaults: black on the system colour, height 64, width 32, weight
  // 700, quality 2, pitch and family 32.
  uint32_t values[15];
  const uint32_t defaults[15] = {0, sysColour15, 64, 32, 0, 0, 700, 0, 0, 0, 0, 0, 0, 2, 32};
  for (int i = 0; i < 15; ++i) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') {
      values[i] = defaults[i];
      continue;
    }
    values[i] = static_cast<uint32_t>(ParseNumber(&p));
  }
  *out = BigClockSettings{};
  out->textColour = values[0];
  out->background = values[1];
  for (int i = 0; i < 5; ++i) out->font[i] = values[2 + i];
  // Eight byte fields packed into two words, as the font record lays them.
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(values[7 + i]);
  std::memcpy(&out->font[5], bytes, 8);
  // The face: the rest of the line after the one character that follows
  // the last number.
  const char* face = "Arial";
  if (*p != '\0' && p[1] != '\0') face = p + 1;
  char* dst = reinterpret_cast<char*>(&out->font[7]);
  std::strncpy(dst, face, kBigClockFaceWords * 4 - 1);
  dst[kBigClockFaceWords * 4 - 1] = '\0';
}

const char* BigClockFace(const BigClockSettings& s) {
  return reinterpret_cast<const char*>(&s.font[7]);
}

void BigClockFormat(const BigClockSettings& s, char* out, int size) {
  uint8_t b[8];
  std::memcpy(b, &s.font[5], 8);
  char face[kBigClockFaceWords * 4];
  std::memcpy(face, &s.font[7], sizeof face);
  face[sizeof face - 1] = '\0';
  std::snprintf(out, static_cast<size_t>(size), "%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d %s",
                static_cast<int>(s.textColour), static_cast<int>(s.background),
                static_cast<int>(s.font[0]), static_cast<int>(s.font[1]),
                static_cast<int>(s.font[2]), static_cast<int>(s.font[3]),
                static_cast<int>(s.font[4]), b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], face);
}

void BigClockTcText(int32_t h, int32_t m, int32_t s, int32_t f, char out[12]) {
  auto two = [](int32_t v) { return v < 0 ? 0 : v > 99 ? 99 : v; };
  std::snprintf(out, 12, "%02d:%02d:%02d:%02d", static_cast<int>(two(h)), static_cast<int>(two(m)),
                static_cast<int>(two(s)), static_cast<int>(two(f)));
}

void BigClockBarsText(int32_t bar, int32_t beat, int32_t tick, char out[13]) {
  auto clamp = [](int32_t v, int32_t hi) { return v < 0 ? 0 : v > hi ? hi : v; };
  std::snprintf(out, 13, "%5d.%2d.%3d", static_cast<int>(clamp(bar, 99999)),
                static_cast<int>(clamp(beat, 99)), static_cast<int>(clamp(tick, 999)));
}

int32_t SlvMtcPrepFromEntry(int32_t value) { return value < 100 ? 100 : value > 4000 ? 4000 : value; }

int32_t DropOutFromMs(int32_t ms, uint32_t rate) {
  if (ms <= 0) return 0;
  const int64_t samples = (static_cast<int64_t>(ms) * rate + 999) / 1000;
  return samples > 960000 ? 960000 : static_cast<int32_t>(samples);
}

int32_t SetupPositionLimit(int32_t position) {
  if (position < 0) return 0;
  return position >= EndOfTime ? EndOfTime - 1 : position;
}

void ToolPageParse(const char* text, ToolPage* page) {
  const char* p = text ? text : kToolPageDefault;
  for (int i = 0; i < kToolPageSlots; ++i) {
    while (*p == ' ' || *p == '\t') ++p;
    int32_t v = kToolEmpty;
    if (*p != '\0') v = ParseNumber(&p);
    if (v < 0 || (v >= kToolCount && v != kToolSeparator) || v == 36) v = kToolEmpty;
    page->slot[i] = v;
  }
  for (int i = 0; i < kToolPageSlots; ++i) {
    const int32_t v = page->slot[i];
    if (v >= kToolCount) continue;
    for (int j = i + 1; j < kToolPageSlots; ++j)
      if (page->slot[j] == v) page->slot[j] = kToolEmpty;
  }
}

void ToolPageFormat(const ToolPage& page, char* out, int size) {
  int n = 0;
  out[0] = '\0';
  for (int i = 0; i < kToolPageSlots && n < size; ++i)
    n += std::snprintf(out + n, static_cast<size_t>(size - n), i ? " %d" : "%d",
                       static_cast<int>(page.slot[i]));
}

int32_t ToolSlotWidth(int32_t tool) { return tool == kToolSeparator ? 12 : 24; }

int32_t ToolSlotX(const ToolPage& page, int slot) {
  int32_t x = 40;
  for (int i = 0; i < slot && i < kToolPageSlots; ++i) x += ToolSlotWidth(page.slot[i]);
  return x;
}

int32_t ToolPageEnd(const ToolPage& page) { return ToolSlotX(page, kToolPageSlots); }

int32_t ToolPageAt(const ToolPage& page, int n) {
  for (int i = 0; i < kToolPageSlots; ++i) {
    if (page.slot[i] >= kToolCount) continue;
    if (n-- == 0) return page.slot[i];
  }
  return kToolEmpty;
}

int ToolPageDrop(ToolPage* page, int32_t tool, int32_t x, int32_t y, int32_t clientWidth) {
  const bool real = tool >= 0 && tool < kToolCount && tool != 36;
  if (!real && tool != kToolSeparator) return 0;
  if (y < 4 || y > 28 || x < 40 || x >= clientWidth || x >= ToolPageEnd(*page)) return 0;
  int target = 0;
  for (int i = 0; i < kToolPageSlots; ++i)
    if (ToolSlotX(*page, i) <= x) target = i;
  if (real) {
    for (int i = 0; i < kToolPageSlots; ++i)
      if (page->slot[i] == tool) page->slot[i] = kToolEmpty;
  }
  const int32_t held = page->slot[target];
  if (held >= 0 && held < kToolCount) {
    for (int i = kToolPageSlots - 1; i > target; --i) page->slot[i] = page->slot[i - 1];
  }
  page->slot[target] = tool;
  return 1;
}

namespace {
void Assign(ToolSlots* s, int slot, int32_t tool, int changed[4]) {
  if (s->tool[slot] == tool) return;
  s->tool[slot] = tool;
  if (changed) changed[slot] = 1;
}
}  // namespace

void ToolSlotsSelect(ToolSlots* s, int slot, int32_t tool, int changed[4]) {
  if (changed) std::memset(changed, 0, 4 * sizeof(int));
  if (slot < 0 || slot > 3 || tool < 0 || tool >= kToolCount) return;
  if (tool == kToolContextEdit) {
    if (s->tool[0] != kToolContextEdit) std::memcpy(s->saved, s->tool, sizeof s->saved);
    for (int i = 0; i < 4; ++i) Assign(s, i, tool, changed);
    return;
  }
  const bool restore = s->tool[0] == kToolContextEdit;
  Assign(s, slot, tool, changed);
  if (restore)
    for (int i = 0; i < 4; ++i)
      if (i != slot) Assign(s, i, s->saved[i], changed);
}
