// How many samples a Part covers, and the lengths that follow from it for
// recording, off-line processing and mixdown. One rule for all of them:
// a Part covers the samples [Start, Start + Length) of the time line and
// [Offset, Offset + Length) of its Take; Length is a count of samples.
// Every routine that turns a Part into a Take stretch, or a recording into
// a Part, goes through these helpers, so no path adds or drops a sample.
#pragma once

#include <algorithm>
#include <cstdint>

// The Take stretch a Part plays: from its offset, Length samples, but ending
// at the end of the Take (takeSamples) at the latest. The returned length is
// 0 when the offset lies at or past the Take's end.
struct TakeStretch {
  int64_t start;
  int64_t length;
};
inline TakeStretch PartTakeStretch(int32_t offset, int32_t length, int64_t takeSamples) {
  const int64_t start = std::max<int64_t>(offset, 0);
  const int64_t end = std::min<int64_t>(int64_t{offset} + std::max<int32_t>(length, 0), takeSamples);
  return {start, std::max<int64_t>(end - start, 0)};
}

// The Part laid for a recording of `recorded` samples: that many samples
// long (a recording of 0 samples lays a Part of length 0, which the stop
// removes).
inline int32_t RecordedPartLength(int64_t recorded) {
  return static_cast<int32_t>(std::clamp<int64_t>(recorded, 0, INT32_MAX));
}

// The Take a record range [start, end) is recorded into: end - start
// samples.
inline int64_t RecordTakeSamples(int64_t start, int64_t end) { return std::max<int64_t>(end - start, 0); }

// Mixdown of [left, right) through a path of `delay` samples: the Take
// receives the range plus the delay; the delay is then cut off its head, and
// the Part covers exactly [left, right).
inline int64_t MixdownTakeSamples(int32_t left, int32_t right, int32_t delay) {
  return std::max<int64_t>(int64_t{right} - left, 0) + std::max(delay, 0);
}
inline int32_t MixdownPartLength(int32_t left, int32_t right) {
  return static_cast<int32_t>(std::max<int64_t>(int64_t{right} - left, 0));
}
