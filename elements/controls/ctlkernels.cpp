#include <algorithm>
#include <cmath>
#include <cstdio>

#include "elements/controls/ctldata.h"
#include "mixer/model/util/numtext.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

int32_t Clamp(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

int32_t SpinBox8Step(const SpinBox8Data* d, int down, int divisor) {
  int32_t n = divisor > 0 ? d->StepCount / divisor : d->StepCount;
  if (n < 2) n = 1;
  const int32_t v = d->Value, lo = d->Minimum, hi = d->Maximum;
  const double l0 = std::log10(double(lo) + 1), l1 = std::log10(double(hi) + 1);
  if (!(d->Flags & kSpinLog) || n < 2 || lo < 0 || !(l1 > l0)) {
    const int64_t step = (int64_t{hi} - lo) / n;
    return down ? int32_t(std::max<int64_t>(int64_t{v} - step, lo)) : int32_t(std::min<int64_t>(v + step, hi));
  }
  // Logarithmic: the value's place among n points spread evenly over
  // log10(value + 1), one point on; a step that rounds back onto the value
  // moves it by one instead.
  const double p = (std::log10(std::max(double(v), -0.5) + 1) - l0) * (n - 1) / (l1 - l0);
  const double q = down ? std::max(p - 1, 0.0) : std::min(p + 1, double(n - 1));
  const int32_t c = Clamp(int32_t(std::floor(std::pow(10.0, l0 + q * (l1 - l0) / (n - 1)) - 1 + 0.5)), lo, hi);
  if (c != v) return c;
  return down ? std::max(v - 1, lo) : std::min(v + 1, hi);
}

int32_t SpinBox8ParseValue(const SpinBox8Data* d, const char* text) {
  const int32_t div = d->Divisor == 10 || d->Divisor == 100 ? d->Divisor : 1;
  return Clamp(TextToNumber(text ? text : "", div), d->Minimum, d->Maximum);
}

void SpinBox8FormatValue(int32_t value, int32_t divisor, char* out, int size) {
  if (size <= 0) return;
  const long long v = value, mag = v < 0 ? -v : v;
  if (divisor == 10)
    std::snprintf(out, size, v < 0 ? "-%lld.%01lld" : "%lld.%01lld", mag / 10, mag % 10);
  else if (divisor == 100)
    std::snprintf(out, size, v < 0 ? "-%lld.%02lld" : "%lld.%02lld", mag / 100, mag % 100);
  else
    std::snprintf(out, size, "%lld", v);
}

int32_t RotPot8PointToValue(int32_t x, int32_t y, int32_t diameter, int32_t maximum) {
  const int32_t c = diameter / 2;
  double a;
  if (x == c)
    a = y < c ? -kPi / 2 : kPi / 2;
  else
    a = std::atan(double(y - c) / double(x - c)) + (x < c ? kPi : 0);
  a -= 3 * kPi / 4;
  if (a < 0) a += 2 * kPi;
  const double full = maximum * 360.0 / 270.0;  // the value of a whole turn
  const int32_t g = int32_t(std::floor(a * full / (2 * kPi) + 0.5));
  if (g <= maximum) return std::max(g, 0);
  // The dead zone below the centre: its right part keeps the maximum.
  return g > int32_t(maximum * 360.0 / 315.0) ? 0 : maximum;
}

void RotPot8PointerEnd(const RotPot8Data* d, int32_t* x, int32_t* y) {
  const int32_t c = d->Diameter / 2, r = (d->Diameter - 2) / 2;
  const double full = d->Maximum > 0 ? d->Maximum * 360.0 / 270.0 : 1;
  const double a = d->Value * 2 * kPi / full + 3 * kPi / 4;
  *x = c + int32_t(std::cos(a) * r);
  *y = c + int32_t(std::sin(a) * r);
  if (*x > c) --*x;
}

int RotPot8AtDetent(const RotPot8Data* d) {
  return d->Value == 0 || d->Value == d->Maximum || d->Value == d->Maximum / 2;
}

int32_t FaderClampPos(int32_t pos, int32_t travel, int32_t cap) {
  const int32_t room = travel - cap;
  return room <= 0 ? 0 : Clamp(pos, 0, room);
}

int32_t WheelStep(int32_t delta, int shiftAlone) { return (shiftAlone ? delta : 4 * delta) / 120; }

// --- Peak meters ----------------------------------------------------------

namespace {

constexpr int32_t kThresholds28[28] = {104,   155,   232,   328,   490,   725,   1036,  1398,  1680,  2457,
                                       3277,  4370,  5827,  7336,  8820,  10362, 11761, 13045, 14637, 16423,
                                       18429, 20675, 23198, 25436, 27571, 30230, 32766, 32767};
constexpr int32_t kThresholds25[25] = {104,   232,   490,   1036,  1398,  1680,  2457,  3277,  4370,
                                       5827,  7336,  8820,  10362, 11761, 13045, 14637, 16423, 18429,
                                       20675, 23198, 25436, 27571, 30230, 32766, 32767};
constexpr int32_t kThresholds14[14] = {104,  490,   1036,  1680,  3277,  5827,  8820,
                                       11761, 14637, 18429, 23198, 27571, 32766, 32767};

int32_t LedCount(const Peak8Data* d) { return Clamp(d->Leds, 0, kPeakLeds); }
int32_t MeterCount(const Peak8Data* d) { return Clamp(d->Meters, 0, kPeakMeters); }

void Draw(Peak8LedFn fn, void* ctx, const Peak8Data* d, int m, int led, Peak8LedColor c) {
  if (fn && led >= 0 && led < LedCount(d)) fn(ctx, d, m, led, c);
}

// The lit colour of an LED: the last is the overload LED.
Peak8LedColor Lit(const Peak8Data* d, int led, Peak8LedColor c) {
  return led == LedCount(d) - 1 ? kLedOverload : c;
}

}  // namespace

const int32_t* Peak8Thresholds(int32_t n) {
  if (n >= 26) return kThresholds28 + (28 - std::min(n, 28));
  if (n >= 15) return kThresholds25 + (25 - n);
  return kThresholds14 + (14 - std::max(n, 0));
}

void Peak8Clear(Peak8Data* d, Peak8LedFn fn, void* ctx) {
  for (int m = 0; m < MeterCount(d); ++m) {
    for (int j = 0; j < LedCount(d); ++j) Draw(fn, ctx, d, m, j, kLedOff);
  }
  for (int m = 0; m < kPeakMeters; ++m) d->Level[m] = d->Work[m] = d->Top[m] = d->Peak[m] = d->Fall[m] = d->Hold[m] = 0;
}

void Peak8Update(Peak8Data* d, Peak8LedFn fn, void* ctx) {
  const int32_t n = LedCount(d);
  if (n == 0) return;
  const int32_t* t = Peak8Thresholds(n);
  for (int m = 0; m < MeterCount(d); ++m) {
    d->Level[m] = Clamp(d->Level[m], 0, 32767);
    int32_t k = 0;
    while (k < n - 1 && t[k] < d->Level[m]) ++k;
    d->Work[m] = k;
    // Peak: a higher level takes it at once; a lower one lets it fall after
    // the hold time, to the bar's top or the level.
    if (k < d->Peak[m]) {
      if (d->Hold[m] > 0) {
        --d->Hold[m];
      } else {
        Draw(fn, ctx, d, m, d->Peak[m], kLedOff);
        if (d->Top[m] <= k) {
          d->Peak[m] = k--;
        } else {
          d->Peak[m] = d->Top[m]--;
        }
        Draw(fn, ctx, d, m, d->Peak[m], Lit(d, d->Peak[m], kLedPeak));
        d->Hold[m] = kPeakHold;
      }
    } else {
      Draw(fn, ctx, d, m, k, Lit(d, k, kLedPeak));
      d->Peak[m] = k--;
      d->Hold[m] = kPeakHold;
    }
    // Bar: rises at once, falls one LED every second update.
    if (d->Top[m] < k) {
      for (int32_t j = d->Top[m] + 1; j <= k; ++j) Draw(fn, ctx, d, m, j, Lit(d, j, kLedOn));
      d->Top[m] = k;
      d->Fall[m] = 1;
    } else if (k < d->Top[m]) {
      if (d->Fall[m] > 0) {
        --d->Fall[m];
      } else {
        d->Fall[m] = 1;
        Draw(fn, ctx, d, m, d->Top[m], kLedOff);
        --d->Top[m];
      }
    }
  }
}

// --- EQ curve -------------------------------------------------------------

int32_t LogFreqToX(int32_t count, double f, double lo, double hi) {
  if (count < 2 || f <= 0 || lo <= 0 || hi <= lo) return 0;
  return int32_t((std::log10(f) - std::log10(lo)) * (count - 1) / (std::log10(hi) - std::log10(lo)));
}

void BpEqFs8ComputeCurve(BpEqFs8Data* d) {
  if (!d->Current || d->Points <= 0) return;
  const double fs = d->SampleRate;
  const int bands = Clamp(d->Bands, 0, kEqBands);
  double bandK[kEqBands], bandS[kEqBands], bandC[kEqBands], bandG[kEqBands];
  bool used[kEqBands] = {};
  for (int i = 0; i < bands && fs > 0; ++i) {
    const double w0 = 2 * kPi * d->Freq[i] / fs, s = std::sin(w0);
    if (d->Width[i] <= 0 || s == 0) continue;
    bandS[i] = s;
    bandC[i] = std::cos(w0);
    bandK[i] = 2 * std::tan(w0 / (2.0 * d->Width[i] / 100.0)) / s;
    bandG[i] = std::pow(10.0, d->Gain[i] / 200.0) - 1;
    used[i] = true;
  }
  const double lo = std::log10(20.0), hi = fs > 40 ? std::log10(fs / 2) : lo;
  for (int32_t p = 0; p < d->Points; ++p) {
    double product = 1;
    if (fs > 0 && d->Points > 1) {
      const double f = std::pow(10.0, lo + p * (hi - lo) / (d->Points - 1));
      const double w = 2 * kPi * f / fs, s = std::sin(w), c = std::cos(w);
      for (int i = 0; i < bands; ++i) {
        if (!used[i]) continue;
        const double e = bandK[i] * bandS[i] * s, q = c - bandC[i];
        if (e == 0) continue;
        const double u = e * bandG[i] / std::sqrt(4 * q * q + e * e);
        const double v = std::cos(std::atan(2 * q / e));
        product *= std::sqrt(std::max(0.0, 1 + u * (2 * v + u)));
      }
    }
    product = std::clamp(product, 0.0178, 56.2);
    d->Current[p] = int32_t(std::log10(product) * d->Height / 3);
  }
}

// --- Surround field -------------------------------------------------------

int32_t SurPannerPixel(int32_t v32, int32_t size, int32_t inset) {
  if (size < 2) return inset;
  const uint64_t from = uint32_t(0x7FFFFFFFu - uint32_t(v32));
  return inset + int32_t((uint64_t(size - 1) * from + 0x80000000ull) / 0xFFFFFFFFull);
}

int32_t SurPannerValue(int32_t pixel, int32_t size, int32_t inset) {
  if (size < 2) return INT32_MIN;
  const int64_t rel = std::clamp<int64_t>(pixel - inset, 0, size - 1);
  const int64_t v = (rel * 0xFFFFFFFFll + size / 2) / (size - 1) - 0x80000000ll;
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
