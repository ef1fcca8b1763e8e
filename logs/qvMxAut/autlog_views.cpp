// View lists: per track and kind, the views that place stretches of logs on
// the time line, with the knobs that play from or record into them.
#include "logs/qvMxAut/autlog.h"

AutViewListHandle AutEngine::FirstListOfTrack(uint32_t kind, uint32_t track) {
  for (AutViewListHandle h = ChainHead(kind); h != 0; h = lists_.Find(h)->nextList) {
    if (lists_.Find(h)->track == track) return h;
  }
  return 0;
}

int32_t AutEngine::CreateViewList(uint32_t track, uint32_t kind, AutViewListHandle* out) {
  if (out == nullptr) return 0;
  *out = 0;
  if (Busy()) return 0;
  AutViewList list;
  list.kind = kind;
  list.track = track;
  const AutViewListHandle h = lists_.Add(std::move(list));
  if (h == 0) return 0;
  uint32_t* link = &ChainHead(kind);
  while (*link != 0) link = &lists_.Find(*link)->nextList;
  *link = h;
  for (AutKnobHandle c = knobChain_.head; c != 0; c = Knob(c)->nextKnob) {
    AutKnob& k = *Knob(c);
    if (k.track != track) continue;
    (kind != 0 ? k.recordList : k.playList) = h;
  }
  *out = h;
  return 1;
}

// The view goes after the last view whose start is at or before its own, so
// views of equal start keep the order they were added in.
int32_t AutEngine::AddView(AutViewListHandle list, const AutView* view) {
  if (Busy() || view == nullptr) return 0;
  const AutViewList* l = lists_.Find(list);
  if (l == nullptr) return 0;
  const AutLog* log = logs_.Find(view->log);
  const bool mapFits = l->kind != 0 ? recordMaps_.Find(view->knobMap) != nullptr
                                    : playMaps_.Find(view->knobMap) != nullptr;
  if (log == nullptr || !mapFits) return 0;
  const uint32_t firstEvent = log->first;
  const uint32_t node = views_.Take(list);
  if (node == kAutNoNode) return 0;
  AutViewList& ls = *lists_.Find(list);
  uint32_t after = kAutNoNode;
  for (uint32_t v = ls.firstView; v != kAutNoNode && views_[v].start <= view->start; v = views_[v].next) after = v;
  AutViewNode& n = views_[node];
  n = AutViewNode{view->start, view->length, view->offset, view->log, view->knobMap, firstEvent, after, kAutNoNode};
  n.next = after == kAutNoNode ? ls.firstView : views_[after].next;
  if (n.next != kAutNoNode) views_[n.next].previous = node;
  if (after == kAutNoNode) {
    ls.firstView = node;
  } else {
    views_[after].next = node;
  }
  return 1;
}

void AutEngine::DestroyViewList(AutViewListHandle list) {
  AutViewList& l = *lists_.Find(list);
  for (uint32_t v = l.firstView; v != kAutNoNode;) {
    const uint32_t next = views_[v].next;
    views_.Give(v);
    v = next;
  }
  const bool record = l.kind != 0;
  for (AutKnobHandle c = knobChain_.head; c != 0; c = Knob(c)->nextKnob) {
    AutKnob& k = *Knob(c);
    if (k.recordList == list) k.recordList = 0;
    if (k.playList == list) {
      k.playList = 0;
      ListRemove(KnobListId::Gliding, c);
    }
  }
  uint32_t* link = &ChainHead(record ? 1 : 0);
  while (*link != list) link = &lists_.Find(*link)->nextList;
  *link = lists_.Find(list)->nextList;
  lists_.Remove(list);
  if (lists_.Count() == 0) views_.Destroy();
}

int32_t AutEngine::DeleteViewList(AutViewListHandle list) {
  if (Busy() || lists_.Find(list) == nullptr) return 0;
  DestroyViewList(list);
  return 1;
}

int32_t AutEngine::DeleteAllViewLists(uint32_t kind) {
  if (Busy()) return 0;
  while (ChainHead(kind) != 0) DestroyViewList(ChainHead(kind));
  return 1;
}

// The record view at a time-line location: the last view that starts at or
// before it, found from the list's view cursor, which moves there. A record
// view runs on from its start: recording extends it.
uint32_t AutEngine::RecordViewAt(AutViewListHandle list, int64_t time) {
  AutViewList* l = lists_.Find(list);
  if (l == nullptr) return kAutNoNode;
  uint32_t v = views_.Owns(list, l->viewCursor) ? l->viewCursor : l->firstView;
  if (v == kAutNoNode) return kAutNoNode;
  if (views_[v].start <= time) {
    while (views_[v].next != kAutNoNode && views_[views_[v].next].start <= time) v = views_[v].next;
  } else {
    while (v != kAutNoNode && views_[v].start > time) v = views_[v].previous;
  }
  if (v != kAutNoNode) l->viewCursor = v;
  return v;
}
