#include "mixer/arrange/wavepoints.h"

#include <algorithm>

namespace {

WvfEntry At(const WvfEntry* e, uint32_t n, int64_t b) {
  return b >= 0 && b < n ? e[b] : WvfEntry{0, 0};
}

}  // namespace

WvfSpan WvfBlocksFor(int64_t start, int32_t columns, int64_t length) {
  constexpr int64_t kStep = kWvfSamplesPerEntry;
  start = std::max<int64_t>(start, 0);
  const int64_t last = (start + std::max<int64_t>(length, 1) - 1) / kStep;
  int64_t first = start / kStep;
  // Interpolation reads the block before the first one.
  if (length < int64_t{columns} * kStep && first > 0) --first;
  return {first, last - first + 1};
}

int WvfPointsFromEntries(const WvfEntry* e, uint32_t n, int64_t start, int32_t columns,
                         int64_t length, int16_t* out) {
  return WavePointsFromSteps(e, n, kWvfSamplesPerEntry, start, columns, length, out);
}

int WavePointsFromSteps(const WvfEntry* e, uint32_t n, int64_t kStep, int64_t start, int32_t columns,
                        int64_t length, int16_t* out) {
  if (columns <= 0 || length <= 0 || kStep <= 0) return 0;
  start = std::max<int64_t>(start, 0);
  const int64_t exact = int64_t{columns} * kStep;
  for (int32_t i = 0; i < columns; ++i) {
    WvfEntry p;
    if (length == exact) {
      p = At(e, n, start / kStep + i);
    } else if (length > exact) {
      const int64_t from = start + length * i / columns;
      const int64_t to = start + length * (i + 1) / columns;
      int16_t hi = INT16_MIN, lo = INT16_MAX;
      for (int64_t b = from / kStep; b <= (std::max(to, from + 1) - 1) / kStep; ++b) {
        const WvfEntry q = At(e, n, b);
        hi = std::max(hi, q.max);
        lo = std::min(lo, q.min);
      }
      p = {hi, lo};
    } else {
      const int64_t s = start + length * i / columns;
      const int64_t b = s / kStep, rem = s % kStep;
      const WvfEntry a = At(e, n, b - 1), c = At(e, n, b);
      p.max = static_cast<int16_t>(a.max + (int64_t{c.max} - a.max) * rem / kStep);
      p.min = static_cast<int16_t>(a.min + (int64_t{c.min} - a.min) * rem / kStep);
    }
    out[2 * i] = p.max;
    out[2 * i + 1] = p.min;
  }
  return 1;
}

WavePeakFetch WavePeaksFor(int64_t start, int32_t columns, int64_t length) {
  WavePeakFetch f{};
  start = std::max<int64_t>(start, 0);
  length = std::max<int64_t>(length, 1);
  f.step = std::max<int64_t>(1, length / std::max(columns, 1));
  // Only interpolation (more columns than steps) reads the step before the
  // start; otherwise the steps start at the stretch's first sample, so that
  // each column's peak covers its own samples.
  const bool interpolate = length < f.step * std::max(columns, 1);
  f.from = interpolate && start >= f.step ? start - f.step : start;
  f.startInFetch = start - f.from;
  f.count = (f.startInFetch + length + f.step - 1) / f.step;
  return f;
}
