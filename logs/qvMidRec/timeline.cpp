// Log positions and time-line positions. A log in samples (resolution 0)
// moves by plain addition; a log in ticks goes through the host's two
// callbacks, always from the log's origin (view start - view offset).
#include <cstdint>

#include "logs/qvMidRec/midlog_private.h"

namespace {

constexpr int64_t kTimelineMax = UINT32_MAX;

// The 64-bit origin as the callbacks take it: low word, then high word (all
// ones when start - offset borrows).
struct Origin {
  uint32_t lo;
  uint32_t hi;
};

Origin OriginOf(const ViewMap& m) {
  const int64_t origin = int64_t{m.start} - int64_t{m.offset};
  return {static_cast<uint32_t>(origin), static_cast<uint32_t>(static_cast<uint64_t>(origin) >> 32)};
}

bool TicksTo(const ViewMap& m, uint64_t timelinePos, int64_t* ticks) {
  const MidiSpanToTicksFn span = Lib().init.LocSpanToMidiTicks;
  if (span == nullptr) return false;
  const Origin o = OriginOf(m);
  *ticks = span(o.lo, o.hi, m.resolution, static_cast<uint32_t>(timelinePos), static_cast<uint32_t>(timelinePos >> 32));
  return true;
}

}  // namespace

bool ViewLogRange(const ViewMap& m, int64_t* lo, int64_t* hi) {
  if (m.resolution == 0) {
    // 64-bit: offset + length may pass the end of the 32-bit axis.
    *lo = m.offset;
    *hi = int64_t{m.offset} + m.length;
    return true;
  }
  return TicksTo(m, m.start, lo) && TicksTo(m, uint64_t{m.start} + m.length, hi);
}

bool LogToTimeline(const ViewMap& m, uint64_t logPos, uint32_t* out) {
  if (m.resolution == 0) {
    const int64_t p = static_cast<int64_t>(logPos) - m.offset + m.start;
    *out = static_cast<uint32_t>(p < 0 ? 0 : p > kTimelineMax ? kTimelineMax : p);
    return true;
  }
  const MidiTicksToLocFn toLoc = Lib().init.MidiTicksToLocEnd;
  if (toLoc == nullptr) return false;
  const Origin o = OriginOf(m);
  const uint32_t ticks = static_cast<uint32_t>(logPos > UINT32_MAX ? UINT32_MAX : logPos);
  *out = toLoc(o.lo, o.hi, m.resolution, ticks);
  return true;
}

bool TimelineToLog(const ViewMap& m, uint32_t p, int64_t* out) {
  if (m.resolution == 0) {
    *out = int64_t{p} - m.start + m.offset;
    return true;
  }
  return TicksTo(m, p, out);
}
