// Settings, knobs and the engine's four knob lists (seen, gliding, touched,
// matching).
#include "logs/qvMxAut/autlog.h"

int32_t AutEngine::Init(AutKnobValueFn callback, void* context) {
  callback_ = callback;
  context_ = context;
  return 1;
}

int32_t AutEngine::SetSampleRate(uint32_t hz) { sampleRate_ = hz; return 1; }
int32_t AutEngine::SetTouchTimeout(uint32_t ms) { touchTimeout_ = ms; return 1; }
int32_t AutEngine::SetFadeResolTime(uint32_t ms) { fadeResolTime_ = ms; return 1; }
int32_t AutEngine::SetMatchTime(uint32_t ms) { matchTime_ = ms; return 1; }
int32_t AutEngine::SetRecordMode(uint32_t mode) { recordMode_ = mode; return 1; }

AutKnobList& AutEngine::ListOf(KnobListId id) {
  switch (id) {
    case KnobListId::Seen: return seen_;
    case KnobListId::Gliding: return gliding_;
    case KnobListId::Touched: return touched_;
    case KnobListId::Matching: break;
  }
  return matching_;
}

AutKnobLink& AutEngine::LinkOf(AutKnob& knob, KnobListId id) {
  switch (id) {
    case KnobListId::Seen: return knob.seen.link;
    case KnobListId::Gliding: return knob.glideTo.link;
    case KnobListId::Touched: return knob.touched.link;
    case KnobListId::Matching: break;
  }
  return knob.match.link;
}

bool AutEngine::InList(AutKnobHandle h, KnobListId id) {
  AutKnob* k = Knob(h);
  return k != nullptr && LinkOf(*k, id).inList != 0;
}

void AutEngine::ListAppend(KnobListId id, AutKnobHandle h) {
  AutKnob* k = Knob(h);
  if (k == nullptr || LinkOf(*k, id).inList != 0) return;
  AutKnobList& list = ListOf(id);
  LinkOf(*k, id) = AutKnobLink{1, 0};
  if (list.tail != 0) {
    LinkOf(*Knob(list.tail), id).link = h;
  } else {
    list.head = h;
  }
  list.tail = h;
}

void AutEngine::ListPrepend(KnobListId id, AutKnobHandle h) {
  AutKnob* k = Knob(h);
  if (k == nullptr) return;
  ListRemove(id, h);
  AutKnobList& list = ListOf(id);
  LinkOf(*k, id) = AutKnobLink{1, list.head};
  list.head = h;
  if (list.tail == 0) list.tail = h;
}

void AutEngine::ListRemove(KnobListId id, AutKnobHandle h) {
  AutKnob* k = Knob(h);
  if (k == nullptr || LinkOf(*k, id).inList == 0) return;
  AutKnobList& list = ListOf(id);
  AutKnobHandle prev = 0;
  for (AutKnobHandle c = list.head; c != 0 && c != h; c = LinkOf(*Knob(c), id).link) prev = c;
  const AutKnobHandle next = LinkOf(*k, id).link;
  if (prev != 0) {
    LinkOf(*Knob(prev), id).link = next;
  } else {
    list.head = next;
  }
  if (list.tail == h) list.tail = prev;
  LinkOf(*k, id) = AutKnobLink{0, 0};
}

void AutEngine::ListClear(KnobListId id) {
  for (AutKnobHandle h : ListSnapshot(id)) LinkOf(*Knob(h), id) = AutKnobLink{0, 0};
  ListOf(id) = AutKnobList{};
}

// The members in order, taken before a walk whose callbacks may change the
// list: each is checked again before use.
std::vector<AutKnobHandle> AutEngine::ListSnapshot(KnobListId id) {
  std::vector<AutKnobHandle> out;
  for (AutKnobHandle c = ListOf(id).head; c != 0; c = LinkOf(*Knob(c), id).link) out.push_back(c);
  return out;
}

void AutEngine::ResetTouches() {
  for (AutKnobHandle c = knobChain_.head; c != 0; c = Knob(c)->nextKnob) {
    Knob(c)->touchTime = 0;
    Knob(c)->touchTimeout = 0;
  }
}

int32_t AutEngine::CreateKnob(uint32_t hostKnobId, const AutKnobDesc* desc, AutKnobHandle* out) {
  if (out == nullptr) return 0;
  *out = 0;
  if (Busy() || desc == nullptr) return 0;
  AutKnob k{};
  k.hostId = hostKnobId;
  k.glide = desc->glide;
  for (int i = 0; i < 3; ++i) k.descUnread[i] = desc->unread[i];
  k.track = 0xFFFFFFFFu;
  const AutKnobHandle h = knobs_.Add(std::move(k));
  if (h == 0) return 0;
  if (knobChain_.tail != 0) {
    Knob(knobChain_.tail)->nextKnob = h;
  } else {
    knobChain_.head = h;
  }
  knobChain_.tail = h;
  *out = h;
  return 1;
}

int32_t AutEngine::SetKnobTrkAndIndx(AutKnobHandle knob, uint32_t track, uint32_t index) {
  if (Busy() || Knob(knob) == nullptr) return 0;
  const AutViewListHandle record = FirstListOfTrack(1, track), play = FirstListOfTrack(0, track);
  AutKnob& k = *Knob(knob);
  k.track = track;
  k.index = index;
  k.recordList = record;
  k.playList = play;
  ListRemove(KnobListId::Gliding, knob);
  return 1;
}

int32_t AutEngine::SetKnobAutomEnableMode(AutKnobHandle knob, uint32_t mode) {
  AutKnob* k = Knob(knob);
  if (k == nullptr) return 0;
  k->enableMode = mode;
  return 1;
}

int32_t AutEngine::GetKnobValue(AutKnobHandle knob, int32_t* value) {
  const AutKnob* k = Knob(knob);
  if (k == nullptr || value == nullptr) return 0;
  *value = k->value;
  return 1;
}

// The library sends no DSP commands of its own: nothing to invalidate.
int32_t AutEngine::InvalidateKnobDspCmds(AutKnobHandle knob) { return Knob(knob) != nullptr ? 1 : 0; }

int32_t AutEngine::DeleteKnob(AutKnobHandle knob) {
  if (Busy() || Knob(knob) == nullptr) return 0;
  for (KnobListId id : {KnobListId::Matching, KnobListId::Touched, KnobListId::Gliding, KnobListId::Seen}) {
    ListRemove(id, knob);
  }
  AutKnobHandle prev = 0;
  for (AutKnobHandle c = knobChain_.head; c != knob; c = Knob(c)->nextKnob) prev = c;
  const AutKnobHandle next = Knob(knob)->nextKnob;
  if (prev != 0) {
    Knob(prev)->nextKnob = next;
  } else {
    knobChain_.head = next;
  }
  if (knobChain_.tail == knob) knobChain_.tail = prev;
  knobs_.Remove(knob);
  return 1;
}
