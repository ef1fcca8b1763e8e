// Recording automation and the user's hand on the knobs: carrying played
// events into the record logs, writing the user's moves, touches and the
// match glides that bring a released knob back to its automation.
#include <algorithm>

#include "logs/qvMxAut/autlog.h"
#include "logs/qvMxAut/autmath.h"

namespace {

// A second move of a glide knob sooner than this after the previous one
// continues the same gesture; a later one starts with a step from the old
// value (ms).
constexpr uint32_t kNewGestureMs = 200;

}  // namespace

bool AutEngine::IsTouched(const AutKnob& knob) const {
  return knob.touchTime != 0 &&
         static_cast<uint64_t>(stepTime_) < static_cast<uint64_t>(knob.touchTime) + knob.touchTimeout;
}

// Whether playback must leave the knob alone at this location because the
// track records there: in record mode 0, or in mode 2 once the user touched
// the knob, a record view at or before the location takes over.
bool AutEngine::RecordGuards(const AutKnob& knob, uint32_t location) {
  if (knob.recordList == 0 || running_ == 0) return false;
  if (!(recordMode_ == 0 || (knob.touchTime != 0 && recordMode_ == 2))) return false;
  return RecordViewAt(knob.recordList, location) != kAutNoNode;
}

// Where a knob records at a time-line location: the record view there, the
// knob's log key in that view's map (given on first use) and the location in
// the view's log. False when the track does not record there.
bool AutEngine::RecordSlot(AutKnobHandle knob, int64_t time, uint32_t* view, int32_t* key, uint32_t* location) {
  const AutKnob& k = *Knob(knob);
  if (time < 0 || time > 0xFFFFFFFFll) return false;
  const uint32_t v = RecordViewAt(k.recordList, time);
  if (v == kAutNoNode) return false;
  AutRecordMap* map = recordMaps_.Find(views_[v].map);
  if (map == nullptr || k.index >= map->entries.size() || logs_.Find(views_[v].log) == nullptr) return false;
  const int64_t at = time - views_[v].start + views_[v].offset;
  if (at < 0 || at > 0xFFFFFFFFll) return false;
  AutRecordMapEntry& entry = map->entries[k.index];
  if (entry.key == -1) entry.key = static_cast<int32_t>(map->nextKey++);
  *view = v;
  *key = entry.key;
  *location = static_cast<uint32_t>(at);
  return true;
}

void AutEngine::PutRecorded(uint32_t view, int32_t key, uint32_t location, int32_t value) {
  const uint32_t node = PutEvent(views_[view].log, views_[view].eventCursor, key, location, value);
  if (node != kAutNoNode) views_[view].eventCursor = node;
}

// A played event goes on into the record log, unless the user owns the knob:
// in enable mode 2 a touched knob records only its own moves.
void AutEngine::CarryOver(AutKnobHandle knob, int64_t time, int32_t value) {
  const AutKnob& k = *Knob(knob);
  if (k.recordList == 0 || running_ == 0 || recordMode_ == 0 || k.enableMode == 0) return;
  if (k.enableMode == 2 && k.touchTime != 0 &&
      (recordMode_ == 2 || static_cast<uint64_t>(stepTime_) < static_cast<uint64_t>(k.touchTime) + k.touchTimeout)) {
    return;
  }
  uint32_t view, location;
  int32_t key;
  if (RecordSlot(knob, time, &view, &key, &location)) PutRecorded(view, key, location, value);
}

void AutEngine::WriteOwn(AutKnobHandle knob, int64_t time, int32_t value) {
  const AutKnob& k = *Knob(knob);
  if (k.recordList == 0 || running_ == 0 || k.enableMode != 2) return;
  uint32_t view, location;
  int32_t key;
  if (!RecordSlot(knob, time, &view, &key, &location)) return;
  AutRecordMap& map = *recordMaps_.Find(views_[view].map);
  map.entries[k.index].written = 1;
  map.lastKey = key;
  PutRecorded(view, key, location, value);
}

void AutEngine::SetFromAutomation(AutKnobHandle knob, uint32_t location, int32_t value) {
  AutKnob* k = Knob(knob);
  if (k == nullptr || k->enableMode == 0 || IsTouched(*k) || RecordGuards(*k, location)) return;
  if (value == k->value) return;
  k->value = value;
  const uint32_t id = k->hostId;
  const uint32_t outer = inCallback_;
  inCallback_ = 1;
  if (callback_ != nullptr) callback_(context_, id, value);
  inCallback_ = outer;
}

// Knobs whose touch has run out go back to automation: a step knob at once
// to its last event, a glide knob over the match time.
void AutEngine::ProcessTouched(uint32_t location) {
  for (AutKnobHandle h : ListSnapshot(KnobListId::Touched)) {
    if (!InList(h, KnobListId::Touched)) continue;
    AutKnob& k = *Knob(h);
    if (k.touchTimeout == kAutCapturedTimeout && !system_.MouseCaptured()) k.touchTimeout = 0;
    if (IsTouched(k)) continue;
    ListRemove(KnobListId::Touched, h);
    if (k.enableMode == 0 || running_ == 0 || RecordGuards(k, location)) continue;
    if (k.glide == 0) {
      ViewEvent e;
      if (LastPlayEvent(k, h, location, &e) && e.value != k.value) {
        WriteOwn(h, location, e.value);
        SetFromAutomation(h, location, e.value);
      }
      continue;
    }
    const uint64_t samples = (static_cast<uint64_t>(matchTime_) * sampleRate_ + 500) / 1000;
    const uint32_t target =
        static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(location) + std::max<uint64_t>(samples, 1),
                                                 0xFFFFFFFFull));
    int32_t targetValue;
    if (!AutomationValue(h, target, &targetValue) || targetValue == Knob(h)->value) continue;
    WriteOwn(h, location, Knob(h)->value);
    auto& m = Knob(h)->match;
    m.startLocation = location;
    m.startValue = Knob(h)->value;
    m.endLocation = target;
    m.endValue = targetValue;
    ListAppend(KnobListId::Matching, h);
  }
}

void AutEngine::ProcessMatches(uint32_t location) {
  for (AutKnobHandle h : ListSnapshot(KnobListId::Matching)) {
    if (!InList(h, KnobListId::Matching)) continue;
    const auto m = Knob(h)->match;
    const uint32_t at = std::clamp(location, m.startLocation, m.endLocation);
    const int32_t value = AutLerp(m.startValue, m.endValue, at - m.startLocation, m.endLocation - m.startLocation);
    if (location >= m.endLocation) {
      WriteOwn(h, m.endLocation, value);
      ListRemove(KnobListId::Matching, h);
    }
    SetFromAutomation(h, location, value);
  }
}

int32_t AutEngine::StartPlayRec() {
  if (Busy()) return 0;
  running_ = 1;
  ResetTouches();
  ListClear(KnobListId::Touched);
  return 1;
}

int32_t AutEngine::StopPlayRec(uint32_t flag, uint32_t location) {
  if (Busy()) return 0;
  if (flag != 0) LocatorStep(location, 0);
  running_ = 0;
  ResetTouches();
  ListClear(KnobListId::Touched);
  ListClear(KnobListId::Matching);
  return 1;
}

int32_t AutEngine::SetKnobValue(AutKnobHandle knob, int32_t value, uint32_t location, uint32_t flags) {
  AutKnob* k = Knob(knob);
  if (k == nullptr) return 0;
  const int32_t old = k->value;
  int32_t now = value;
  if ((flags & kAutMoveToAutomation) != 0) AutomationValue(knob, location, &now);
  Knob(knob)->value = now;
  if (Busy()) return 0;
  if (running_ == 0) {
    LocatorStep(location, 0);
    return 1;
  }
  const uint32_t previousTouch = Knob(knob)->touchTime;
  const uint32_t time = system_.NowMs();
  Knob(knob)->touchTime = time;
  Knob(knob)->touchTimeout = system_.MouseCaptured() ? kAutCapturedTimeout : touchTimeout_;
  ListRemove(KnobListId::Matching, knob);
  ListAppend(KnobListId::Touched, knob);
  LocatorStep(location, 0);
  if ((flags & kAutMoveNoWrite) != 0) return 1;
  const bool newGesture = previousTouch == 0 || time - previousTouch > kNewGestureMs;
  if (Knob(knob)->glide != 0 && now != old && newGesture) {
    WriteOwn(knob, location, old);
    WriteOwn(knob, static_cast<int64_t>(location) + 1, now);
  } else if (!((flags & kAutMoveSkipSame) != 0 && now == old)) {
    WriteOwn(knob, location, now);
  }
  return 1;
}
