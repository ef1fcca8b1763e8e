#include "timemodule/tmconv.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mixer/model/util/numbers.h"
#include "mixer/model/util/numtext.h"

namespace tmod {

namespace {

int64_t CeilDiv(int64_t a, int64_t b) {
  if (b <= 0) return 0;
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}
int32_t Hold(int64_t v, int64_t lo, int64_t hi) { return static_cast<int32_t>(std::clamp(v, lo, hi)); }
bool DropFrame(uint32_t type) { return type == 3 || type == 5; }

std::string Format(const char* fmt, long a, long b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

}  // namespace

int32_t TmMulDiv(int32_t a, int32_t b, int32_t c) { return MulDivNearest(a, b, c); }

int64_t TmFps100(uint32_t type) {
  switch (type) {
    case 0: return 2400;
    case 1: return 2500;
    case 2:
    case 3: return 2997;
    default: return 3000;
  }
}
int32_t TmNominalFps(uint32_t type) { return type == 0 ? 24 : type == 1 ? 25 : 30; }

TmTimeCode TmSamplesToTc(int64_t samples, uint32_t rate, uint32_t type, bool wrap) {
  TmTimeCode tc{};
  if (rate == 0) return tc;
  if (samples < 0) samples = 0;
  const int64_t fps100 = TmFps100(type);
  const int64_t F = samples * fps100 / (int64_t{rate} * 100);
  tc.SubFrames = static_cast<int32_t>(samples - CeilDiv(F * rate * 100, fps100));
  if (DropFrame(type)) {
    const int64_t r = F % 17982;
    int64_t m, minuteInTen;
    if (r <= 1799) {
      m = r;
      minuteInTen = 0;
    } else {
      m = (r - 1800) % 1798 + 2;
      minuteInTen = (r - 1800) / 1798 + 1;
    }
    const int64_t hours = F / 107892;
    tc.Minutes = static_cast<int32_t>((F / 17982) * 10 + minuteInTen - hours * 60);
    tc.Hours = static_cast<int32_t>(wrap ? hours % 24 : hours);
    tc.Seconds = static_cast<int32_t>(m / 30);
    tc.Frames = static_cast<int32_t>(m % 30);
  } else {
    const int64_t fps = TmNominalFps(type);
    const int64_t S = F / fps;
    tc.Hours = static_cast<int32_t>(wrap ? (S / 3600) % 24 : S / 3600);
    tc.Minutes = static_cast<int32_t>((S / 60) % 60);
    tc.Seconds = static_cast<int32_t>(S % 60);
    tc.Frames = static_cast<int32_t>(F % fps);
  }
  return tc;
}

int64_t TmTcToSamples(const TmTimeCode& tc, uint32_t rate, uint32_t type) {
  const int64_t h = tc.Hours, m = tc.Minutes, s = tc.Seconds, f = tc.Frames;
  int64_t frames;
  if (DropFrame(type))
    frames = (h * 6 + m / 10) * 17982 + (m % 10) * 1798 + s * 30 + f;
  else if (type == 0)
    frames = h * 86400 + m * 1440 + s * 24 + f;
  else if (type == 1)
    frames = h * 90000 + m * 1500 + s * 25 + f;
  else
    frames = h * 108000 + m * 1800 + s * 30 + f;
  const int64_t samples = CeilDiv(frames * rate * 100, TmFps100(type)) + tc.SubFrames;
  return samples < 0 ? 0 : samples;
}

TmTimeCode TmTextToTc(const char* text, uint32_t rate, uint32_t type) {
  int32_t v[5] = {};
  SplitDigitFields(text ? text : "", 5, v, nullptr);
  TmTimeCode tc{};
  tc.Hours = Hold(v[0], 0, 23);
  tc.Minutes = Hold(v[1], 0, 59);
  tc.Seconds = Hold(v[2], 0, 59);
  tc.Frames = Hold(v[3], 0, TmNominalFps(type) - 1);
  if (DropFrame(type) && tc.Frames < 2 && tc.Seconds == 0 && tc.Minutes % 10 != 0) tc.Frames += 2;
  const int64_t perFrame = std::max<int64_t>(1, int64_t{rate} * 100 / TmFps100(type));
  tc.SubFrames = Hold(v[4], 0, perFrame - 1);
  return tc;
}

std::string TmTcText(const TmTimeCode& tc) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%02d.%04d", tc.Hours, tc.Minutes, tc.Seconds, tc.Frames,
                tc.SubFrames);
  return buf;
}

TmBbt TmSamplesToBbt(int64_t samples, uint32_t rate, uint32_t tempo, uint32_t num, uint32_t den,
                     int32_t first) {
  TmBbt b{first, first, 0};
  if (rate == 0 || num == 0 || den == 0 || samples < 0) return b;
  const int64_t denom = int64_t{rate} * 24000;
  const int64_t whole = samples * tempo * 3840 / denom;
  const int64_t perBeat = std::max<int64_t>(1, 3840 / den);
  b.Tick = static_cast<int32_t>(whole % perBeat);
  const int64_t beats = samples * tempo * den / denom;
  b.Beat = static_cast<int32_t>(first + beats % num);
  b.Bar = static_cast<int32_t>(first + beats / num);
  return b;
}

int64_t TmBbtToSamples(const TmBbt& m, uint32_t rate, uint32_t tempo, uint32_t num, uint32_t den,
                       int32_t first) {
  if (tempo == 0 || den == 0) return 0;
  const int64_t beats = (int64_t{m.Bar} - first) * num + (int64_t{m.Beat} - first);
  // One fraction over tempo x den x 3840, rounded up once.
  const int64_t numer = int64_t{rate} * 24000 * (beats * 3840 + int64_t{m.Tick} * den);
  const int64_t samples = CeilDiv(numer, int64_t{tempo} * den * 3840);
  return std::clamp<int64_t>(samples, 0, 2147483647);
}

TmBbt TmTextToBbt(const char* text, uint32_t num, uint32_t den, int32_t first) {
  int32_t v[3] = {};
  SplitDigitFields(text ? text : "", 3, v, nullptr);
  TmBbt b;
  b.Bar = Hold(v[0], first, 32767);
  b.Beat = Hold(v[1], first, num);
  b.Tick = Hold(v[2], 0, (den ? 3840 / den : 3840) - 1);
  return b;
}

std::string TmBbtText(const TmBbt& m) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%4ld.%2d.%3d", static_cast<long>(m.Bar), m.Beat, m.Tick);
  return buf;
}

int32_t TmReadHundredths(const char* text) { return TextToNumber(text ? text : "", 100); }

void TmLimits(uint32_t mode, int32_t* lo, int32_t* hi) {
  if (mode == kEopRateConvert) {
    *lo = 2500;
    *hi = 40000;
  } else {
    *lo = 6700;
    *hi = 15000;
  }
}

void TmParams::Clamp() {
  int32_t lo, hi;
  TmLimits(f_.mode, &lo, &hi);
  const int32_t a = TmMulDiv(f_.L0, lo, 10000), b = TmMulDiv(f_.L0, hi, 10000);
  if (L1_ < a) L1_ = a;
  if (b >= 0 && L1_ > b) L1_ = b;
  if (L1_ <= 0) L1_ = 1;
}

void TmParams::SetL1(int64_t l1) {
  L1_ = static_cast<int32_t>(std::clamp<int64_t>(l1, -1, 2147483647));
  Clamp();
}

void TmParams::SetRatioText(const char* text) { SetL1(TmMulDiv(f_.L0, TmReadHundredths(text), 10000)); }

void TmParams::SetNewTcText(const char* text) {
  SetL1(TmTcToSamples(TmTextToTc(text, f_.rate, f_.frameType), f_.rate, f_.frameType));
}

void TmParams::SetNewBbtText(const char* text) {
  SetL1(TmBbtToSamples(TmTextToBbt(text, f_.num, f_.den, 0), f_.rate, f_.tempo, f_.num, f_.den, 0));
}

void TmParams::SetNewTempoText(const char* text) {
  int32_t t = TmReadHundredths(text);
  if (t <= 0) t = 1;
  SetL1(TmMulDiv(f_.L0, static_cast<int32_t>(f_.tempo), t));
}

void TmParams::SetNewRateText(const char* text) {
  int32_t v = 0;
  SplitDigitFields(text ? text : "", 1, &v, nullptr);
  SetL1(TmMulDiv(f_.L0, v, static_cast<int32_t>(f_.takeRate)));
}

void TmParams::SetSemitonesText(const char* text) {
  const int32_t c = std::clamp(TmReadHundredths(text), -10000, 10000);
  SetL1(std::llround(f_.L0 * std::pow(2.0, c / 1200.0)));
}

std::string TmParams::RatioText() const {
  const int64_t v = f_.L0 > 0 ? int64_t{L1_} * 10000 / f_.L0 : 0;
  return Format("%3ld.%02ld", static_cast<long>(v / 100), static_cast<long>(v % 100));
}
std::string TmParams::SourceTcText() const { return TmTcText(TmSamplesToTc(f_.L0, f_.rate, f_.frameType, false)); }
std::string TmParams::NewTcText() const { return TmTcText(TmSamplesToTc(L1_, f_.rate, f_.frameType, false)); }
std::string TmParams::SourceBbtText() const {
  return TmBbtText(TmSamplesToBbt(f_.L0, f_.rate, f_.tempo, f_.num, f_.den, 0));
}
std::string TmParams::NewBbtText() const {
  return TmBbtText(TmSamplesToBbt(L1_, f_.rate, f_.tempo, f_.num, f_.den, 0));
}
std::string TmParams::SourceTempoText() const {
  return Format("%3ld.%02ld", static_cast<long>(f_.tempo / 100), static_cast<long>(f_.tempo % 100));
}
std::string TmParams::NewTempoText() const {
  const int64_t v = L1_ > 0 ? int64_t{f_.L0} * f_.tempo / L1_ : 0;
  return Format("%3ld.%02ld", static_cast<long>(v / 100), static_cast<long>(v % 100));
}
std::string TmParams::SourceRateText() const { return Format("%5ld", static_cast<long>(f_.takeRate), 0); }
std::string TmParams::NewRateText() const {
  return Format("%5ld", static_cast<long>(TmMulDiv(L1_, static_cast<int32_t>(f_.takeRate), f_.L0)), 0);
}
std::string TmParams::SemitonesText() const {
  const double r = f_.L0 > 0 ? static_cast<double>(L1_) / f_.L0 : 1.0;
  const long c = std::lround(std::log10(r) / std::log10(std::pow(2.0, 1.0 / 1200.0)));
  const long a = c < 0 ? -c : c;
  return Format(c < 0 ? "-%01ld.%02ld" : "+%01ld.%02ld", a / 100, a % 100);
}

}  // namespace tmod
