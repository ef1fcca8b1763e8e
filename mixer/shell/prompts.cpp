#include "mixer/shell/prompts.h"

#include <cstdio>

#include "mixer/model/util/numtext.h"

namespace {

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

constexpr int32_t kAudioTracks = 192;

}  // namespace

void VarispeedPromptText(int32_t value, char* out, int size) {
  const int32_t magnitude = value < 0 ? -value : value;
  std::snprintf(out, static_cast<size_t>(size), value < 0 ? "-%02d.%02d" : "%02d.%02d",
                magnitude / 100, magnitude % 100);
}

int32_t VarispeedFromEntry(const char* text) { return Clamp(TextToNumber(text, 100), -1000, 1000); }

int32_t UndoLevelsFromEntry(const char* text) {
  const int32_t entered = Clamp(TextToNumber(text, 1), 0, 1000);  // no overflow in the + 1
  return Clamp(entered + 1, 2, 100);
}

int32_t AutoSaveFromEntry(const char* text) { return Clamp(TextToNumber(text, 1), 0, 60); }

int32_t SmpBufSizeFromEntry(const char* text) {
  const int32_t entered = TextToNumber(text, 1);
  return Clamp(entered / 64 * 64, 64, 8192);
}

int32_t BarsFromEntry(const char* text) {
  const int32_t bars = TextToNumber(text, 1);
  return bars < 1 ? 1 : bars;
}

int32_t TempoFromLocators(int32_t bars, uint32_t num, uint32_t den, uint32_t rate, int32_t left,
                          int32_t right) {
  if (right <= left || den == 0) return 24000;
  const double tempo = bars * 4.0 * num / den * rate * 6000.0 /
                       (static_cast<double>(right) - static_cast<double>(left));
  // Clamped before the conversion, so that no value is out of int's range.
  if (!(tempo >= 3000.0)) return 3000;
  if (tempo >= 24000.0) return 24000;
  return static_cast<int32_t>(tempo);
}

bool RecReadyRange(int32_t typedFirst, int32_t typedLast, int32_t* first, int32_t* last) {
  if (typedLast <= 0) {
    *first = 1;
    *last = kAudioTracks;
    return true;
  }
  if (typedLast > kAudioTracks) return false;
  *last = typedLast;
  *first = typedFirst >= 1 && typedFirst < typedLast ? typedFirst : typedLast;
  return true;
}
