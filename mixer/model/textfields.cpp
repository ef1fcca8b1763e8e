#include "mixer/model/textfields.h"

#include <algorithm>
#include <limits>

#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"

namespace {

constexpr int32_t kFieldMax = std::numeric_limits<int32_t>::max();

int32_t Clamp32(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }

}  // namespace

int SplitDigitFields(const char* text, int n, int32_t* values, int32_t* lzCounts) {
  if (values == nullptr || n <= 0) return 0;
  for (int i = 0; i < n; ++i) {
    values[i] = 0;
    if (lzCounts != nullptr) lzCounts[i] = 0;
  }
  if (text == nullptr) return 0;
  int cur = 0, lastWithDigits = -1;
  bool open = true;   // the current field takes the next digit
  int negField = -1;  // the field the latest '-' marked; its digits may still come
  bool minus = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c >= '0' && *c <= '9') {
      if (!open) {
        cur = lastWithDigits + 1;
        open = true;
      }
      lastWithDigits = cur;
      if (cur >= n) continue;
      const int digit = *c - '0';
      int64_t mag = values[cur] < 0 ? -int64_t{values[cur]} : values[cur];
      if (digit == 0 && mag == 0) {
        if (lzCounts != nullptr) ++lzCounts[cur];
        continue;
      }
      mag = std::min<int64_t>(mag * 10 + digit, kFieldMax);
      values[cur] = static_cast<int32_t>(negField == cur ? -mag : mag);
    } else if (*c == '-') {
      minus = true;
      negField = open ? cur : lastWithDigits + 1;
      if (negField < n && values[negField] > 0) values[negField] = -values[negField];
    } else {
      open = false;
    }
  }
  return minus ? 1 : 0;
}

int32_t TextToNumber(const char* text, int32_t scale) {
  int32_t v[2], lz[2];
  const bool minus = SplitDigitFields(text, 2, v, lz) != 0;
  const int64_t sc = std::max(scale, 1);
  int64_t whole = v[0] < 0 ? -int64_t{v[0]} : v[0];
  int64_t frac = v[1] < 0 ? -int64_t{v[1]} : v[1];
  // Bring the fraction's digits to the scale's width, then shift it right
  // once per leading zero ("05" is five hundredths). A zero fraction stays 0.
  if (frac != 0) {
    while (frac < sc / 10) frac *= 10;
    while (frac >= sc) frac /= 10;
    for (int i = 0; i < lz[1] && frac != 0; ++i) frac /= 10;
  }
  const int64_t r = std::min<int64_t>(whole * sc + frac, int64_t{kFieldMax} + 1);
  return Clamp32(minus ? -r : r, std::numeric_limits<int32_t>::min(), kFieldMax);
}

void TextToTimeCode(const char* text, TcRec* out, int withSubFrames) {
  const ProjectSettings& s = Settings();
  const FrameRateInfo& fr = FrameRateOf(s.CurFrameRate);
  int32_t f[5];
  SplitDigitFields(text, 5, f, nullptr);
  out->Hours = static_cast<uint8_t>(Clamp32(f[0], 0, 23));
  out->Minutes = static_cast<uint8_t>(Clamp32(f[1], 0, 59));
  out->Seconds = static_cast<uint8_t>(Clamp32(f[2], 0, 59));
  out->Frames = static_cast<uint8_t>(Clamp32(f[3], 0, fr.Nominal - 1));
  if (fr.DropFrame && out->Seconds == 0 && out->Minutes % 10 != 0 && out->Frames < 2) out->Frames += 2;
  // Samples in a frame, trunc(R x scale / numerator); the field is read back
  // as signed 16-bit.
  const int64_t frameLen = int64_t{s.SampleRate} * fr.Scale / fr.Numerator;
  out->SubFrames = withSubFrames ? static_cast<uint16_t>(Clamp32(f[4], 0, std::clamp<int64_t>(frameLen - 1, 0, 0x7FFF))) : 0;
}

void TextToBbt(const char* text, BbtRec* out, int32_t lowest) {
  // The meter of the settings limits beat and tick only without a tempo
  // map: under a map the meter changes along the time line, and the
  // conversion carries surplus beats and ticks on.
  const ProjectSettings& s = Settings();
  int32_t f[3];
  SplitDigitFields(text, 3, f, nullptr);
  const bool fixed = TempoMap == nullptr;
  out->Bar = std::min(std::max(f[0], lowest), 32767);
  out->Beat = fixed ? std::min<int32_t>(std::max(f[1], lowest), s.MeterNum) : std::max(f[1], lowest);
  out->Tick = fixed ? Clamp32(f[2], 0, std::max<int64_t>(int64_t{TicksPerBeat()} - 1, 0)) : std::max(f[2], 0);
}

void TextToMeter(const char* text, MeterValue* out) {
  int32_t f[2];
  SplitDigitFields(text, 2, f, nullptr);
  out->Num = std::clamp(f[0], 1, 15);
  out->Den = f[1] <= 4 ? 4 : f[1] <= 8 ? 8 : 16;
}
