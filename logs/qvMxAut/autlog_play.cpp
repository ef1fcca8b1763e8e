// Playing automation: the locator step, the forward and backward walks over
// the play view lists, the seen events and the glides between events.
#include <algorithm>

#include "logs/qvMxAut/autlog.h"
#include "logs/qvMxAut/autmath.h"

namespace {

constexpr int64_t kMaxLocation = 0xFFFFFFFFll;

int64_t ViewEnd(const AutViewNode& v) { return static_cast<int64_t>(v.start) + v.length; }

// The time-line location of a log location seen through a view.
int64_t TimeOf(const AutViewNode& v, uint32_t location) {
  return static_cast<int64_t>(location) - v.offset + v.start;
}

// Whether an event lies in the view's stretch of its log (the walks include
// the stretch's end) and on the time line.
bool InView(const AutViewNode& v, uint32_t location) {
  const int64_t t = TimeOf(v, location);
  return location >= v.offset && static_cast<int64_t>(location) <= static_cast<int64_t>(v.offset) + v.length &&
         t >= 0 && t <= kMaxLocation;
}

uint32_t ClampLocation(int64_t x) { return static_cast<uint32_t>(std::clamp<int64_t>(x, 0, kMaxLocation)); }

}  // namespace

int32_t AutEngine::SetLocator(uint32_t location, uint32_t fromStart) {
  if (Busy()) return 0;
  LocatorStep(location, fromStart);
  return 1;
}

void AutEngine::LocatorStep(uint32_t location, uint32_t fromStart) {
  uint32_t from = previous_;
  if (fromStart != 0) {
    from = 0;
  } else if (location == previous_) {
    return;
  }
  stepTime_ = system_.NowMs();
  const Dir dir = location < from ? Dir::Backward : Dir::Forward;
  for (AutViewListHandle h = playChain_; h != 0; h = lists_.Find(h)->nextList) {
    if (dir == Dir::Forward) {
      WalkForward(h, from, location);
    } else {
      WalkBackward(h, from, location);
    }
  }
  ProcessTouched(location);
  ProcessMatches(location);
  ProcessSeen(dir, location);
  ProcessGlides(dir, location);
  previous_ = location;
}

// From the view that holds `from` (the first one still running past it), the
// views that start by `to`, each over its events from `from` to `to`, both
// included: an event exactly at `from` is visited again.
void AutEngine::WalkForward(AutViewListHandle list, uint32_t from, uint32_t to) {
  const AutViewList& l = *lists_.Find(list);
  uint32_t v = views_.Owns(list, l.viewCursor) ? l.viewCursor : l.firstView;
  if (v == kAutNoNode) return;
  while (views_[v].previous != kAutNoNode && ViewEnd(views_[views_[v].previous]) > from) v = views_[v].previous;
  while (v != kAutNoNode && ViewEnd(views_[v]) <= from) v = views_[v].next;
  for (; v != kAutNoNode && views_[v].start <= to; v = views_[v].next) {
    lists_.Find(list)->viewCursor = v;
    const AutViewNode view = views_[v];
    const AutLog* log = logs_.Find(view.log);
    if (log == nullptr) continue;
    const int64_t lo = view.offset + std::max<int64_t>(static_cast<int64_t>(from) - view.start, 0);
    const int64_t hi = view.offset + std::min<int64_t>(static_cast<int64_t>(to) - view.start, view.length);
    if (hi < lo || lo > kMaxLocation) continue;
    // Indices, not references: a carried-over event may carve new nodes.
    for (uint32_t e = FirstAtOrAfter(view.log, *log, view.eventCursor, static_cast<uint32_t>(lo));
         e != kAutNoNode && events_[e].location <= hi; e = events_[e].next) {
      views_[v].eventCursor = e;
      Visit(v, e);
    }
  }
}

// The mirror of the forward walk: from the last view that starts by `from`,
// backwards over the views that end after `to`.
void AutEngine::WalkBackward(AutViewListHandle list, uint32_t from, uint32_t to) {
  const AutViewList& l = *lists_.Find(list);
  uint32_t v = views_.Owns(list, l.viewCursor) ? l.viewCursor : l.firstView;
  if (v == kAutNoNode) return;
  if (views_[v].start <= from) {
    while (views_[v].next != kAutNoNode && views_[views_[v].next].start <= from) v = views_[v].next;
  } else {
    while (v != kAutNoNode && views_[v].start > from) v = views_[v].previous;
  }
  for (; v != kAutNoNode && ViewEnd(views_[v]) > to; v = views_[v].previous) {
    lists_.Find(list)->viewCursor = v;
    const AutViewNode view = views_[v];
    const AutLog* log = logs_.Find(view.log);
    if (log == nullptr) continue;
    const int64_t hi = view.offset + std::min<int64_t>(static_cast<int64_t>(from) - view.start,
                                                       static_cast<int64_t>(view.length) - 1);
    const int64_t lo = view.offset + std::max<int64_t>(static_cast<int64_t>(to) - view.start, 0);
    if (hi < lo || lo > kMaxLocation) continue;
    for (uint32_t e = LastAtOrBefore(view.log, *log, view.eventCursor, ClampLocation(hi));
         e != kAutNoNode && events_[e].location >= lo; e = events_[e].previous) {
      views_[v].eventCursor = e;
      Visit(v, e);
    }
  }
}

// One event passed by the locator: its knob (if the view's map names one)
// remembers it as the step's latest, and the event is carried over into the
// knob's record log.
void AutEngine::Visit(uint32_t view, uint32_t event) {
  const AutViewNode v = views_[view];
  const AutEventNode e = events_[event];
  const int64_t t = TimeOf(v, e.location);
  if (t < 0 || t > kMaxLocation) return;
  const AutKnobHandle h = PlayKnobOf(v, e.key);
  if (h == 0) return;
  AutKnob& k = *Knob(h);
  k.seen.view = view;
  k.seen.event = event;
  ListAppend(KnobListId::Seen, h);
  if (Knob(h)->match.link.inList == 0) CarryOver(h, t, e.value);
}

// The knob's event next to `event` (after it going forward, before it going
// backward): in the same view first, then in the list's later (earlier)
// views, through each view's own map.
bool AutEngine::NeighbourEvent(uint32_t view, uint32_t event, AutKnobHandle knob, Dir dir, ViewEvent* out) {
  const bool fwd = dir == Dir::Forward;
  auto step = [&](uint32_t n) { return fwd ? events_[n].next : events_[n].previous; };
  auto found = [&](uint32_t w, uint32_t n) {
    *out = ViewEvent{w, n, TimeOf(views_[w], events_[n].location), events_[n].value};
    return true;
  };
  const AutViewNode here = views_[view];
  for (uint32_t n = step(event); n != kAutNoNode && InView(here, events_[n].location); n = step(n)) {
    if (PlayKnobOf(here, events_[n].key) == knob) return found(view, n);
  }
  for (uint32_t w = fwd ? here.next : here.previous; w != kAutNoNode; w = fwd ? views_[w].next : views_[w].previous) {
    const AutViewNode v = views_[w];
    const AutLog* log = logs_.Find(v.log);
    if (log == nullptr) continue;
    uint32_t n = fwd ? FirstAtOrAfter(v.log, *log, v.eventCursor, v.offset)
                     : LastAtOrBefore(v.log, *log, v.eventCursor, ClampLocation(static_cast<int64_t>(v.offset) + v.length));
    for (; n != kAutNoNode && InView(v, events_[n].location); n = step(n)) {
      if (PlayKnobOf(v, events_[n].key) == knob) return found(w, n);
    }
  }
  return false;
}

// Each knob that saw events this step follows the last of them: it glides
// towards the neighbouring event when it is a glide knob and the value
// changes there, else it takes the value that holds at the locator.
void AutEngine::ProcessSeen(Dir dir, uint32_t location) {
  for (AutKnobHandle h : ListSnapshot(KnobListId::Seen)) {
    if (!InList(h, KnobListId::Seen)) continue;
    const AutKnob k = *Knob(h);
    const AutEventNode e = events_[k.seen.event];
    const int64_t t = TimeOf(views_[k.seen.view], e.location);
    ViewEvent n;
    const bool hasNeighbour = NeighbourEvent(k.seen.view, k.seen.event, h, dir, &n);
    if (k.glide != 0 && hasNeighbour && n.value != e.value) {
      auto& g = Knob(h)->glideTo;
      if (dir == Dir::Forward) {
        g.startLocation = static_cast<uint32_t>(t), g.startValue = e.value;
        g.endLocation = static_cast<uint32_t>(n.time), g.endValue = n.value;
      } else {
        g.startLocation = static_cast<uint32_t>(n.time), g.startValue = n.value;
        g.endLocation = static_cast<uint32_t>(t), g.endValue = e.value;
      }
      g.lastUpdate = 0;
      ListPrepend(KnobListId::Gliding, h);  // the list stays in order of last update
      continue;
    }
    ListRemove(KnobListId::Gliding, h);
    int32_t value = e.value;
    if (dir == Dir::Backward && hasNeighbour && location < t) value = n.value;
    if (k.match.link.inList == 0) SetFromAutomation(h, location, value);
  }
  ListClear(KnobListId::Seen);
}

// Glides are updated at most once per fade resolution time. The list is kept
// in order of last update (updated knobs move to its tail, new glides start
// at its head), so the walk stops at the first knob not yet due.
void AutEngine::ProcessGlides(Dir dir, uint32_t location) {
  const size_t count = ListSnapshot(KnobListId::Gliding).size();
  for (size_t i = 0; i < count && gliding_.head != 0; ++i) {
    const AutKnobHandle h = gliding_.head;
    AutKnob& k = *Knob(h);
    if (static_cast<uint64_t>(k.glideTo.lastUpdate) + fadeResolTime_ >= stepTime_) break;
    const auto& g = k.glideTo;
    const uint32_t span = g.endLocation > g.startLocation ? g.endLocation - g.startLocation : 0;
    const uint32_t at = std::clamp(location, g.startLocation, std::max(g.startLocation, g.endLocation));
    const int32_t value = dir == Dir::Forward ? AutLerp(g.startValue, g.endValue, at - g.startLocation, span)
                                              : AutLerp(g.endValue, g.startValue, g.startLocation + span - at, span);
    k.glideTo.lastUpdate = stepTime_;
    ListRemove(KnobListId::Gliding, h);
    ListAppend(KnobListId::Gliding, h);
    if (Knob(h)->match.link.inList == 0) SetFromAutomation(h, location, value);
  }
}

// The knob's last event at or before a time-line location in its play list,
// the latest view first.
bool AutEngine::LastPlayEvent(const AutKnob& knob, AutKnobHandle handle, uint32_t location, ViewEvent* out) {
  const AutViewList* l = lists_.Find(knob.playList);
  if (l == nullptr) return false;
  uint32_t w = l->firstView;
  if (w == kAutNoNode || views_[w].start > location) return false;
  while (views_[w].next != kAutNoNode && views_[views_[w].next].start <= location) w = views_[w].next;
  for (; w != kAutNoNode; w = views_[w].previous) {
    const AutViewNode v = views_[w];
    const AutLog* log = logs_.Find(v.log);
    if (log == nullptr) continue;
    const int64_t hi = v.offset + std::min<int64_t>(static_cast<int64_t>(location) - v.start, v.length);
    for (uint32_t n = LastAtOrBefore(v.log, *log, v.eventCursor, ClampLocation(hi));
         n != kAutNoNode && InView(v, events_[n].location); n = events_[n].previous) {
      if (PlayKnobOf(v, events_[n].key) == handle) {
        *out = ViewEvent{w, n, TimeOf(v, events_[n].location), events_[n].value};
        return true;
      }
    }
  }
  return false;
}

// The automation's value for a knob at a time-line location: its last event
// there, or for a glide knob the line from it to the knob's next event.
bool AutEngine::AutomationValue(AutKnobHandle handle, uint32_t location, int32_t* value) {
  const AutKnob* k = Knob(handle);
  ViewEvent e;
  if (k == nullptr || !LastPlayEvent(*k, handle, location, &e)) return false;
  *value = e.value;
  ViewEvent n;
  if (k->glide != 0 && NeighbourEvent(e.view, e.event, handle, Dir::Forward, &n) && n.time > e.time) {
    const int64_t at = std::min<int64_t>(location, n.time);
    *value = AutLerp(e.value, n.value, static_cast<uint32_t>(at - e.time), static_cast<uint32_t>(n.time - e.time));
  }
  return true;
}
