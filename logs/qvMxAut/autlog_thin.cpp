// Thinning a knob's events and collapsing them to their first and last
// values.
#include "logs/qvMxAut/autlog.h"

namespace {

// Unsigned 128-bit magnitudes: the line test multiplies a location span
// (32 bits) by a value span (33 bits), which does not fit 64 bits, and
// 32-bit targets have no wider integer.
struct U128 {
  uint64_t hi, lo;
};

U128 Mul(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return U128{p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
}

bool Less(U128 a, U128 b) { return a.hi != b.hi ? a.hi < b.hi : a.lo < b.lo; }

U128 Add(U128 a, U128 b) {
  const uint64_t lo = a.lo + b.lo;
  return U128{a.hi + b.hi + (lo < a.lo ? 1 : 0), lo};
}

// a - b for a >= b.
U128 Sub(U128 a, U128 b) { return U128{a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo}; }

uint64_t Abs(int64_t x) { return x < 0 ? static_cast<uint64_t>(-x) : static_cast<uint64_t>(x); }

// Whether m lies within tolerance (in location) of the line from a to f.
// With dv = f.value - a.value the line puts m.value at
// a.location + (f.location - a.location) * (m.value - a.value) / dv, so the
// test is |(m.loc - a.loc) * dv - (f.loc - a.loc) * (m.value - a.value)|
// <= tolerance * |dv|, exact in integers. A flat line takes only its value.
bool OnLine(const AutEventNode& a, const AutEventNode& f, const AutEventNode& m, uint32_t tolerance) {
  const int64_t dv = static_cast<int64_t>(f.value) - a.value;
  if (dv == 0) return m.value == a.value;
  const int64_t mv = static_cast<int64_t>(m.value) - a.value;
  // Events are in location order, so both location spans are >= 0.
  const U128 t1 = Mul(m.location - a.location, Abs(dv));
  const U128 t2 = Mul(f.location - a.location, Abs(mv));
  const bool n1 = dv < 0, n2 = mv < 0;
  const U128 diff = n1 != n2 ? Add(t1, t2) : (Less(t1, t2) ? Sub(t2, t1) : Sub(t1, t2));
  return !Less(Mul(tolerance, Abs(dv)), diff);
}

}  // namespace

// Anchored at each event of the key in turn, pushes a far event F as far as
// every event between the anchor and F stays on the line from the anchor to
// F, then drops those between. The event after the anchor always passes (no
// events lie between), so only a run of at least three can lose events.
void AutEngine::Thin(AutLogHandle handle, int32_t key, uint32_t start, uint32_t end, uint32_t tolerance) {
  auto nextOfKey = [&](uint32_t n) {
    do n = events_[n].next;
    while (n != kAutNoNode && events_[n].key != key);
    return n;
  };
  auto before = [&](uint32_t n) { return n != kAutNoNode && events_[n].location < end; };
  const AutLog& log = *logs_.Find(handle);
  uint32_t anchor = FirstAtOrAfter(handle, log, log.cursor, start);
  if (anchor != kAutNoNode && events_[anchor].key != key) anchor = nextOfKey(anchor);
  while (before(anchor)) {
    uint32_t good = nextOfKey(anchor);
    if (!before(good)) break;
    for (uint32_t far = nextOfKey(good); before(far); far = nextOfKey(far)) {
      bool all = true;
      for (uint32_t m = nextOfKey(anchor); all && m != far; m = nextOfKey(m)) {
        all = OnLine(events_[anchor], events_[far], events_[m], tolerance);
      }
      if (!all) break;
      good = far;
    }
    for (uint32_t m = nextOfKey(anchor); m != good;) {
      const uint32_t next = nextOfKey(m);
      UnlinkEvent(handle, m);
      m = next;
    }
    anchor = good;
  }
}

int32_t AutEngine::ReduceLogKnobEvents(AutLogHandle log, int32_t key, uint32_t start, uint32_t end,
                                       uint32_t tolerance) {
  if (Busy() || logs_.Find(log) == nullptr) return 0;
  Thin(log, key, start, end, 0);
  Thin(log, key, start, end, tolerance);
  logs_.Find(log)->cursor = kAutNoNode;
  SetViewCursors(log, kAutNoNode);
  return 1;
}

int32_t AutEngine::ApplyLastLogKnobEventsFromBegin(AutLogHandle log, int32_t key, int32_t keepFirst) {
  if (Busy()) return 0;
  AutLog* l = logs_.Find(log);
  if (l == nullptr) return 0;
  uint32_t first = kAutNoNode, last = kAutNoNode;
  for (uint32_t n = l->first; n != kAutNoNode; n = events_[n].next) {
    if (events_[n].key != key) continue;
    if (first == kAutNoNode) first = n;
    last = n;
  }
  if (first != kAutNoNode) {
    const int32_t firstValue = events_[first].value, lastValue = events_[last].value;
    for (uint32_t n = l->first; n != kAutNoNode;) {
      const uint32_t next = events_[n].next;
      if (events_[n].key == key) UnlinkEvent(log, n);
      n = next;
    }
    // The nodes just freed serve these two: neither can fail.
    if (keepFirst != 0) {
      PutEvent(log, kAutNoNode, key, 0, firstValue);
      if (lastValue != firstValue) PutEvent(log, kAutNoNode, key, 1, lastValue);
    } else {
      PutEvent(log, kAutNoNode, key, 0, lastValue);
    }
  }
  logs_.Find(log)->cursor = kAutNoNode;
  SetViewCursors(log, kAutNoNode);
  return 1;
}
