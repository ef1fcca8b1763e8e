#include "elements/elemscale.h"

#include <cmath>
#include <limits>

#include "mixer/model/util/gain.h"
#include "mixer/model/util/numbers.h"

uint32_t GainFromTenthsDb(int32_t t) { return DeciDbToGain(t); }
int32_t TenthsDbFromGain(uint32_t g) { return GainToDeciDb(g); }

uint32_t FaderGainFromPos(int32_t pos, int32_t range, int reversed) { return FaderPosToGain(pos, range, reversed); }
int32_t FaderPosFromGain(int32_t gain, int32_t range, int reversed) { return GainToFaderPos(gain, range, reversed); }
uint32_t FaderGainFromPos6(int32_t pos, int32_t range, int reversed) { return Fader6PosToGain(pos, range, reversed); }
int32_t FaderPosFromGain6(int32_t gain, int32_t range, int reversed) { return GainToFader6Pos(gain, range, reversed); }

int32_t ClampToInt32(int64_t v) {
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

namespace {

int32_t Reflect(int32_t v, int32_t range, int reversed) {
  return reversed ? ClampToInt32(int64_t{range} - v) : v;
}

// A double truncated toward zero into 32 bits; NaN gives 0.
int32_t TruncClamp(double v) {
  if (std::isnan(v)) return 0;
  if (v <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (v >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

int32_t ScaleLinear(int32_t v, int32_t range, int32_t out, int reversed) {
  if (range <= 0) return 0;
  return MulDivNearest(Reflect(v, range, reversed), out, range);
}

int32_t ScaleLinearInv(int32_t p, int32_t range, int32_t out, int reversed) {
  if (range == 0) return out;
  const int32_t v = out > 0 ? MulDivNearest(p, range, out) : 0;
  return Reflect(v, range, reversed);
}

// The log scale runs from log10(lo) to log10(hi) with lo = 1 and hi =
// range + 1; reversed swaps the two ends.
int32_t ScaleLog(int32_t v, int32_t range, int32_t out, int reversed) {
  if (range <= 0) return reversed ? out : 0;
  const double top = std::log10(double(range) + 1.0);
  const double lo = reversed ? top : 0.0;
  const double hi = reversed ? 0.0 : top;
  const double x = std::log10(double(v < 0 ? 0 : v) + 1.0);
  return TruncClamp((x - lo) * out / (hi - lo));
}

int32_t ScaleLogInv(int32_t p, int32_t range, int32_t out, int reversed) {
  if (out <= 0) return reversed ? range : 0;
  const double top = std::log10(double(range < 0 ? 0 : range) + 1.0);
  const double lo = reversed ? top : 0.0;
  const double hi = reversed ? 0.0 : top;
  // The tolerance keeps a value that the forward scale hit exactly from
  // coming back one below it through rounding in pow.
  return TruncClamp(std::pow(10.0, lo + (hi - lo) * p / out) - 1.0 + 1e-9);
}

int32_t PanToPos(int32_t v, int32_t range, int reversed) {
  if (range <= 0) return 64;
  return MulDivNearest(Reflect(v, range, reversed), 128, range);
}

int32_t PosToPan(int32_t p, int32_t out, int reversed) {
  return Reflect(MulDivNearest(p, out, 128), out, reversed);
}
