// View lists: per track and direction, views ascending by start. The lists
// form two chains (play and record), new lists at the tail.
#include <cstdint>

#include "logs/qvMidRec/midlog_private.h"

namespace {

template <class Fn>
void ForEachView(Fn fn) {
  MidiLibState& lib = Lib();
  for (const ViewChain& chain : lib.chains) {
    for (MidiViewListHandle h = chain.head; h != 0; h = lib.lists.Get(h)->next) {
      for (uint32_t v = lib.lists.Get(h)->firstView; v != 0; v = lib.views.At(v).next) fn(lib.views.At(v));
    }
  }
}

void AppendToChain(MidiViewListHandle h, uint32_t isRecord) {
  MidiLibState& lib = Lib();
  ViewChain& chain = ChainOf(isRecord);
  if (chain.tail != 0) {
    lib.lists.Get(chain.tail)->next = h;
  } else {
    chain.head = h;
  }
  chain.tail = h;
}

void UnlinkFromChain(MidiViewListHandle h, const MidiViewList& rec) {
  MidiLibState& lib = Lib();
  ViewChain& chain = ChainOf(rec.kind);
  MidiViewListHandle prev = 0;
  MidiViewListHandle cur = chain.head;
  while (cur != 0 && cur != h) {
    prev = cur;
    cur = lib.lists.Get(cur)->next;
  }
  if (cur == 0) return;
  if (prev != 0) {
    lib.lists.Get(prev)->next = rec.next;
  } else {
    chain.head = rec.next;
  }
  if (chain.tail == h) chain.tail = prev;
}

}  // namespace

int32_t MidiCreateViewList(uint32_t track, uint32_t isRecord, MidiViewListHandle* out) {
  if (out == nullptr) return 0;
  *out = 0;
  MidiLibState& lib = Lib();
  const MidiViewListHandle h = lib.lists.Add();
  if (h == 0) return 0;
  if (!lib.views.Create()) {  // the first list brings the view heap
    lib.lists.Remove(h);
    return 0;
  }
  MidiViewList* rec = lib.lists.Get(h);
  rec->kind = isRecord;
  rec->track = track;
  AppendToChain(h, isRecord);
  *out = h;
  return 1;
}

int32_t MidiDeleteViewList(MidiViewListHandle h) {
  MidiLibState& lib = Lib();
  MidiViewList* rec = lib.lists.Get(h);
  if (rec == nullptr) return 0;
  lib.views.GiveChain(rec->firstView);
  UnlinkFromChain(h, *rec);
  lib.lists.Remove(h);
  if (lib.lists.Count() == 0) lib.views.Destroy();
  return 1;
}

int32_t MidiDeleteAllViewLists(uint32_t isRecord) {
  ViewChain& chain = ChainOf(isRecord);
  while (chain.head != 0) MidiDeleteViewList(chain.head);
  return 1;
}

int32_t MidiAddView(MidiViewListHandle h, const MidiView* view) {
  MidiLibState& lib = Lib();
  MidiViewList* rec = lib.lists.Get(h);
  if (rec == nullptr || view == nullptr) return 0;
  const MidiLog* log = lib.logs.Get(view->log);
  if (log == nullptr) return 0;
  const uint32_t node = lib.views.Take();
  if (node == 0) return 0;
  MidiViewNode& v = lib.views.At(node);
  v.start = view->start;
  v.length = view->length;
  v.offset = view->offset;
  v.log = view->log;
  v.cursor = log->first;
  // After the last view starting at or before it: equal starts keep their order.
  const uint32_t after = rec->firstView != 0 ? LastAtOrBefore(lib.views, rec->firstView, view->start) : 0;
  LinkAfter(lib.views, rec->firstView, after, node);
  return 1;
}

MidiViewListHandle MidiFirstViewList(uint32_t isRecord) { return ChainOf(isRecord).head; }

MidiViewListHandle MidiNextViewList(MidiViewListHandle h) {
  const MidiViewList* rec = Lib().lists.Get(h);
  return rec != nullptr ? rec->next : 0;
}

int32_t MidiGetViewListTrack(MidiViewListHandle h, uint32_t* track) {
  const MidiViewList* rec = Lib().lists.Get(h);
  if (rec == nullptr || track == nullptr) return 0;
  *track = rec->track;
  return 1;
}

MidiViewHandle MidiFirstView(MidiViewListHandle h) {
  const MidiViewList* rec = Lib().lists.Get(h);
  return rec != nullptr ? rec->firstView : 0;
}

MidiViewHandle MidiNextView(MidiViewHandle view) {
  const ViewHeap& heap = Lib().views;
  return heap.Live(view) ? heap.At(view).next : 0;
}

int32_t MidiGetView(MidiViewHandle view, MidiView* out) {
  const ViewHeap& heap = Lib().views;
  if (out == nullptr || !heap.Live(view)) return 0;
  const MidiViewNode& v = heap.At(view);
  *out = MidiView{v.start, v.length, v.offset, v.log};
  return 1;
}

void ForgetLogCursors(MidiLogHandle log) {
  ForEachView([log](MidiViewNode& v) {
    if (v.log == log) v.cursor = 0;
  });
}

void MoveViewCursors(MidiLogHandle log, uint32_t node, uint32_t replacement) {
  ForEachView([=](MidiViewNode& v) {
    if (v.log == log && v.cursor == node) v.cursor = replacement;
  });
}
