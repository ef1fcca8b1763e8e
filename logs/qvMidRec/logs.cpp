// MIDI logs: events in ascending position on the log's own axis, equal
// positions in the order added, searched from the log's cursor.
#include <cstdint>

#include "logs/qvMidRec/midlog_private.h"

namespace {

bool KindMatches(uint8_t wanted, uint8_t kind) { return wanted == 0 || wanted == kind; }

// Walking back from n over the events at exactly e's position: the one with
// e's kind and data1, which an add updates instead of adding; 0 when none.
uint32_t FindSameEvent(const EventHeap& heap, uint32_t n, const MidiLogEvent& e) {
  for (; n != 0 && heap.At(n).ev.position == e.position; n = heap.At(n).prev) {
    const MidiLogEvent& s = heap.At(n).ev;
    if (s.kind == e.kind && s.data1 == e.data1) return n;
  }
  return 0;
}

// The first event from n on (n included) whose kind matches; every event
// stood on becomes the log's cursor when cursor is given.
uint32_t WalkToKind(const EventHeap& heap, uint32_t n, uint8_t kind, uint32_t* cursor) {
  while (n != 0 && !KindMatches(kind, heap.At(n).ev.kind)) {
    n = heap.At(n).next;
    if (n != 0 && cursor != nullptr) *cursor = n;
  }
  return n;
}

}  // namespace

int32_t MidiCreateLog(MidiLogHandle* out, uint32_t resolution) {
  if (out == nullptr) return 0;
  *out = 0;
  MidiLibState& lib = Lib();
  const MidiLogHandle h = lib.logs.Add();
  if (h == 0) return 0;
  if (!lib.events.Create()) {  // the first log brings the event heap
    lib.logs.Remove(h);
    return 0;
  }
  lib.logs.Get(h)->resolution = resolution;
  *out = h;
  return 1;
}

int32_t MidiDeleteLog(MidiLogHandle h) {
  MidiLibState& lib = Lib();
  MidiLog* log = lib.logs.Get(h);
  if (log == nullptr) return 0;
  ForgetLogCursors(h);
  lib.events.GiveChain(log->first);
  lib.logs.Remove(h);
  if (lib.logs.Count() == 0) lib.events.Destroy();
  return 1;
}

int32_t MidiAddLogEvent(MidiLogHandle h, const MidiLogEvent* event) {
  MidiLibState& lib = Lib();
  MidiLog* log = lib.logs.Get(h);
  if (log == nullptr || event == nullptr) return 0;
  const MidiLogEvent e = *event;
  const uint32_t n = log->first != 0 ? LastAtOrBefore(lib.events, SearchStart(*log, log->cursor), e.position) : 0;
  if (const uint32_t same = FindSameEvent(lib.events, n, e); same != 0) {
    lib.events.At(same).ev.data2 = e.data2;
    lib.events.At(same).ev.value = e.value;
    log->cursor = same;
    return 1;
  }
  const uint32_t node = lib.events.Take();
  if (node == 0) return 0;  // the log stays as it was
  lib.events.At(node).ev = e;
  LinkAfter(lib.events, log->first, n, node);
  log->cursor = node;
  return 1;
}

int32_t MidiDeleteAllLogEvents(MidiLogHandle h) {
  MidiLibState& lib = Lib();
  MidiLog* log = lib.logs.Get(h);
  if (log == nullptr || log->first == 0) return 0;
  ForgetLogCursors(h);
  lib.events.GiveChain(log->first);
  log->first = 0;
  log->cursor = 0;
  return 1;
}

int32_t MidiGetLogEventCnt(MidiLogHandle h, int32_t* count) {
  MidiLibState& lib = Lib();
  const MidiLog* log = lib.logs.Get(h);
  if (log == nullptr || count == nullptr) return 0;
  int32_t n = 0;
  for (uint32_t e = log->first; e != 0; e = lib.events.At(e).next) ++n;
  *count = n;
  return 1;
}

int32_t MidiGetAllLogEvents(MidiLogHandle h, int32_t* count, MidiLogEvent* out) {
  MidiLibState& lib = Lib();
  const MidiLog* log = lib.logs.Get(h);
  if (log == nullptr || count == nullptr) return 0;
  const int32_t capacity = *count > 0 ? *count : 0;
  if (out == nullptr && capacity > 0) return 0;
  int32_t n = 0;
  for (uint32_t e = log->first; e != 0 && n < capacity; e = lib.events.At(e).next) out[n++] = lib.events.At(e).ev;
  *count = n;
  return 1;
}

int32_t MidiGetLogFirstEqualOrNxtEventFromTickPos(MidiLogHandle h, uint8_t kind, uint32_t position,
                                                  MidiLogEvent* out, MidiEventHandle* outNode) {
  if (outNode != nullptr) *outNode = 0;
  MidiLibState& lib = Lib();
  MidiLog* log = lib.logs.Get(h);
  if (log == nullptr || out == nullptr || log->first == 0) return 0;
  uint32_t n = FirstAtOrAfter(lib.events, SearchStart(*log, log->cursor), position, &log->cursor);
  n = WalkToKind(lib.events, n, kind, &log->cursor);
  if (n == 0) return 0;
  *out = lib.events.At(n).ev;
  if (outNode != nullptr) *outNode = n;
  return 1;
}

int32_t MidiGetLogNxtEvent(MidiEventHandle node, uint8_t kind, MidiLogEvent* out, MidiEventHandle* outNode) {
  if (outNode != nullptr) *outNode = 0;
  const EventHeap& heap = Lib().events;
  // A node returned to the free list is refused rather than walked into it.
  if (out == nullptr || !heap.Live(node)) return 0;
  const uint32_t n = WalkToKind(heap, heap.At(node).next, kind, nullptr);
  if (n == 0) return 0;
  *out = heap.At(n).ev;
  if (outNode != nullptr) *outNode = n;
  return 1;
}

void RemoveLogEvent(MidiLogHandle logHandle, MidiLog& log, uint32_t node) {
  EventHeap& heap = Lib().events;
  const uint32_t before = heap.At(node).prev;
  const uint32_t after = heap.At(node).next;
  if (log.cursor == node) log.cursor = before != 0 ? before : after;
  MoveViewCursors(logHandle, node, before);  // a view cursor of 0 starts at the first event
  Unlink(heap, log.first, node);
  heap.Give(node);
}
