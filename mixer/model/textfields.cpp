#include "mixer/model/textfields.h"

#include <algorithm>
#include <limits>

#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"

namespace {

int32_t Clamp32(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }

}  // namespace

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
