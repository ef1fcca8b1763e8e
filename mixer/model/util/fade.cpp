#include "fade.h"

#include <cmath>

namespace {

// The pi of the cosine curve, kept at this precision so that gains match
// those the curves were always computed with.
constexpr double kFadePi = 3.14159265359;

// Steepness of the logarithmic pairs (2, 3), (4, 5), (6, 7).
double LogSteepness(int32_t shape) { return shape <= 3 ? 4.0 : shape <= 5 ? 16.0 : 128.0; }

double LogCurve(double k, double x) { return std::log10(k * x + 1.0) / std::log10(k + 1.0); }

double ShapeGain(int32_t shape, double x) {
  switch (shape) {
    case 0: return x;
    case 1: return 0.5 - 0.5 * std::cos(kFadePi * x);
    case 2: case 4: case 6: return LogCurve(LogSteepness(shape), x);
    case 3: case 5: case 7: return 1.0 - LogCurve(LogSteepness(shape), 1.0 - x);
    default: return 0.0;
  }
}

}  // namespace

int32_t FadeShape(int32_t shape, int32_t position, int32_t length) {
  double x = 1.0;
  if (length > 0) {
    x = static_cast<double>(position) / static_cast<double>(length);
    if (x < 0.0) x = 0.0;
    if (x > 1.0) x = 1.0;
  }
  return static_cast<int32_t>(ShapeGain(shape, x) * kFadeOne);
}
