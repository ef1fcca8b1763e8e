#include "mixer/model/util/gain.h"

#include <algorithm>
#include <cmath>
#include <limits>

const LawPoint FaderLawTable[kFaderLawCount] = {
    {0, 32768}, {120, 18427}, {235, 10362}, {374, 5827}, {487, 3277}, {615, 1036},
    {733, 328}, {853, 104},   {908, 33},    {939, 10},   {1000, 0},
};

const LawPoint Fader6LawTable[kFader6LawCount] = {
    {0, 65536}, {190, 32768}, {310, 18427}, {425, 10362}, {564, 5827}, {677, 3277},
    {805, 1036}, {923, 328},  {1043, 104},  {1098, 33},   {1129, 10},  {1190, 0},
};

const LawPoint NgLawTable[kNgLawCount] = {
    {0, 10000}, {450, 1000}, {540, 100}, {558, 10}, {568, 0},
};

namespace {

int32_t TruncToI32(double v) {
  if (!(v == v)) return 0;  // NaN
  return static_cast<int32_t>(std::clamp(std::trunc(v), double(std::numeric_limits<int32_t>::min()),
                                         double(std::numeric_limits<int32_t>::max())));
}

// Gain of a level in units of 1/unitsPerDb dB; `ceilingLevel` and above give
// the ceiling. Cuts round down, boosts round up (to the ceiling at most).
uint32_t LevelToGain(int32_t v, double unitsPerDb, int32_t ceilingLevel) {
  if (v >= ceilingLevel) return kGainMax;
  const double x = std::pow(10.0, v / (20.0 * unitsPerDb)) * kGainUnity;
  if (v < 0) return static_cast<uint32_t>(std::floor(x));
  return static_cast<uint32_t>(std::min(std::ceil(x), double(kGainMax)));
}

int32_t GainToLevel(uint32_t g, double unitsPerDb, int32_t silence) {
  if (g == 0) return silence;
  return TruncToI32(std::log10(double(g) / kGainUnity) * 20.0 * unitsPerDb);
}

// A slider law over a table of points falling from table[0].Value at
// position 0 to table[n-1].Value at table[n-1].Pos (the law's full travel).
struct Law {
  const LawPoint* table;
  int count;
};

int32_t LawPosToValue(const Law& law, int32_t position, int32_t range, bool invert) {
  const int32_t travel = law.table[law.count - 1].Pos;
  if (range <= 0) return law.table[0].Value;
  const int64_t pos = invert ? int64_t{range} - position : position;
  const int64_t p = pos * travel / range;
  int i = 0;
  while (i < law.count && law.table[i].Pos <= p) ++i;
  if (i == 0) return law.table[0].Value;
  if (i == law.count) return law.table[law.count - 1].Value;
  const LawPoint& a = law.table[i - 1];
  const LawPoint& b = law.table[i];
  return static_cast<int32_t>(int64_t{a.Value - b.Value} * (b.Pos - p) / (b.Pos - a.Pos) + b.Value);
}

int32_t LawValueToPos(const Law& law, int32_t value, int32_t range, bool invert) {
  const int32_t travel = law.table[law.count - 1].Pos;
  int i = 0;
  while (i < law.count && law.table[i].Value >= value) ++i;
  int64_t pos;
  if (i == 0) {
    pos = 0;
  } else if (i == law.count) {
    pos = travel;
  } else {
    const LawPoint& a = law.table[i - 1];
    const LawPoint& b = law.table[i];
    pos = int64_t{a.Pos - b.Pos} * (int64_t{b.Value} - value) / (b.Value - a.Value) + b.Pos;
  }
  const int64_t r = pos * range / travel;
  return static_cast<int32_t>(invert ? int64_t{range} - r : r);
}

constexpr Law kFaderLaw{FaderLawTable, kFaderLawCount};
constexpr Law kFader6Law{Fader6LawTable, kFader6LawCount};
constexpr Law kNgLaw{NgLawTable, kNgLawCount};

}  // namespace

uint32_t DeciDbToGain(int32_t v) { return LevelToGain(v, 10.0, 60); }
int32_t GainToDeciDb(uint32_t g) { return GainToLevel(g, 10.0, -960); }
uint32_t MilliDbToGain(int32_t v) { return LevelToGain(v, 1000.0, 6000); }
int32_t GainToMilliDb(uint32_t g) { return GainToLevel(g, 1000.0, -96000); }

int32_t ScaleByCentiDb(int32_t v, int32_t value) { return TruncToI32(std::pow(10.0, v / 2000.0) * value); }

int32_t RatioToCentiDb(uint32_t a, uint32_t b) {
  if (a == 0) return -9600;
  if (b == 0) return 9600;
  return TruncToI32(std::log10(double(a) / double(b)) * 2000.0);
}

uint32_t FaderPosToGain(int32_t position, int32_t range, int invert) {
  return static_cast<uint32_t>(LawPosToValue(kFaderLaw, position, range, invert != 0));
}

int32_t GainToFaderPos(int32_t gain, int32_t range, int invert) {
  return LawValueToPos(kFaderLaw, gain, range, invert != 0);
}

uint32_t Fader6PosToGain(int32_t position, int32_t range, int invert) {
  return static_cast<uint32_t>(LawPosToValue(kFader6Law, position, range, invert != 0));
}

int32_t GainToFader6Pos(int32_t gain, int32_t range, int invert) {
  return LawValueToPos(kFader6Law, gain, range, invert != 0);
}

int32_t NgPosToValue(int32_t position, int32_t range) { return LawPosToValue(kNgLaw, position, range, false); }
int32_t NgValueToPos(int32_t value, int32_t range) { return LawValueToPos(kNgLaw, value, range, false); }
