// Automation logs: the shared event heap, ordered insertion, searches from
// the log's cursor, removal, copies of a range.
#include <algorithm>

#include "logs/qvMxAut/autlog.h"

AutEngine::AutEngine(AutSystem& system, uint32_t eventLimit, uint32_t viewLimit)
    : system_(system), events_(eventLimit), views_(viewLimit) {}

// Searches start at the cursor when it is an event of this log, else at the
// first event: a cursor left by another log's node is never followed.
uint32_t AutEngine::StartNode(AutLogHandle handle, const AutLog& log, uint32_t cursor) const {
  return events_.Owns(handle, cursor) ? cursor : log.first;
}

uint32_t AutEngine::LastAtOrBefore(AutLogHandle handle, const AutLog& log, uint32_t cursor,
                                   uint32_t location) const {
  uint32_t n = StartNode(handle, log, cursor);
  if (n == kAutNoNode) return kAutNoNode;
  if (events_[n].location <= location) {
    while (events_[n].next != kAutNoNode && events_[events_[n].next].location <= location) n = events_[n].next;
    return n;
  }
  while (n != kAutNoNode && events_[n].location > location) n = events_[n].previous;
  return n;
}

uint32_t AutEngine::FirstAtOrAfter(AutLogHandle handle, const AutLog& log, uint32_t cursor,
                                   uint32_t location) const {
  uint32_t n = StartNode(handle, log, cursor);
  if (n == kAutNoNode) return kAutNoNode;
  if (events_[n].location >= location) {
    while (events_[n].previous != kAutNoNode && events_[events_[n].previous].location >= location) {
      n = events_[n].previous;
    }
    return n;
  }
  while (n != kAutNoNode && events_[n].location < location) n = events_[n].next;
  return n;
}

// Inserts or updates one event, searching from cursor: an event of the same
// key at the same location takes the value, else a new node follows the
// last event at or before the location. The log's cursor moves to the node.
uint32_t AutEngine::PutEvent(AutLogHandle handle, uint32_t cursor, int32_t key, uint32_t location, int32_t value) {
  AutLog* log = logs_.Find(handle);
  if (log == nullptr) return kAutNoNode;
  const uint32_t after = LastAtOrBefore(handle, *log, cursor, location);
  for (uint32_t q = after; q != kAutNoNode && events_[q].location == location; q = events_[q].previous) {
    if (events_[q].key == key) {
      events_[q].value = value;
      log->cursor = q;
      return q;
    }
  }
  const uint32_t node = events_.Take(handle);
  if (node == kAutNoNode) return kAutNoNode;
  AutEventNode& e = events_[node];
  e.key = key;
  e.location = location;
  e.value = value;
  e.previous = after;
  e.next = after == kAutNoNode ? log->first : events_[after].next;
  if (e.next != kAutNoNode) events_[e.next].previous = node;
  if (after == kAutNoNode) {
    log->first = node;
  } else {
    events_[after].next = node;
  }
  log->cursor = node;
  return node;
}

// Unlinks and frees one event; the log's cursor never keeps it. The caller
// then points every cursor of the log's views somewhere valid.
void AutEngine::UnlinkEvent(AutLogHandle handle, uint32_t node) {
  AutLog* log = logs_.Find(handle);
  const AutEventNode e = events_[node];
  if (e.previous != kAutNoNode) {
    events_[e.previous].next = e.next;
  } else {
    log->first = e.next;
  }
  if (e.next != kAutNoNode) events_[e.next].previous = e.previous;
  if (log->cursor == node) log->cursor = kAutNoNode;
  events_.Give(node);
}

void AutEngine::FreeLogEvents(AutLog& log) {
  for (uint32_t n = log.first; n != kAutNoNode;) {
    const uint32_t next = events_[n].next;
    events_.Give(n);
    n = next;
  }
  log.first = kAutNoNode;
  log.cursor = kAutNoNode;
}

void AutEngine::SetViewCursors(AutLogHandle handle, uint32_t cursor) {
  for (AutViewListHandle lh : lists_.Handles()) {
    for (uint32_t v = lists_.Find(lh)->firstView; v != kAutNoNode; v = views_[v].next) {
      if (views_[v].log == handle) views_[v].eventCursor = cursor;
    }
  }
}

void AutEngine::DestroyLog(AutLogHandle handle) {
  FreeLogEvents(*logs_.Find(handle));
  SetViewCursors(handle, kAutNoNode);
  logs_.Remove(handle);
  if (logs_.Count() == 0) events_.Destroy();
}

int32_t AutEngine::CreateLog(AutLogHandle* out) {
  if (out == nullptr) return 0;
  *out = 0;
  if (Busy()) return 0;
  *out = logs_.Add(AutLog{});
  return *out != 0 ? 1 : 0;
}

int32_t AutEngine::DeleteLog(AutLogHandle log) {
  if (Busy() || logs_.Find(log) == nullptr) return 0;
  DestroyLog(log);
  return 1;
}

int32_t AutEngine::AddLogKnobEvent(AutLogHandle log, const AutLogKnobEvent* event) {
  if (Busy() || event == nullptr) return 0;
  const AutLog* l = logs_.Find(log);
  if (l == nullptr) return 0;
  return PutEvent(log, l->cursor, event->key, event->location, event->value) != kAutNoNode ? 1 : 0;
}

int32_t AutEngine::GetLogKnobEventCnt(AutLogHandle log, int32_t* count) {
  const AutLog* l = logs_.Find(log);
  if (l == nullptr || count == nullptr) return 0;
  int32_t n = 0;
  for (uint32_t e = l->first; e != kAutNoNode; e = events_[e].next) ++n;
  *count = n;
  return 1;
}

static AutLogKnobEvent ToRecord(const AutEventNode& e) { return AutLogKnobEvent{e.key, e.location, e.value, 0}; }

int32_t AutEngine::GetAllLogKnobEvents(AutLogHandle log, int32_t* count, AutLogKnobEvent* out) {
  const AutLog* l = logs_.Find(log);
  if (l == nullptr || count == nullptr || (out == nullptr && *count > 0)) return 0;
  int32_t copied = 0;
  for (uint32_t e = l->first; e != kAutNoNode && copied < *count; e = events_[e].next) out[copied++] = ToRecord(events_[e]);
  *count = copied;
  return 1;
}

int32_t AutEngine::GetPrvLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out) {
  AutLog* l = logs_.Find(log);
  if (l == nullptr || out == nullptr) return 0;
  uint32_t n = LastAtOrBefore(log, *l, l->cursor, location);
  while (n != kAutNoNode && events_[n].key != key) n = events_[n].previous;
  l->cursor = n;
  if (n == kAutNoNode) return 0;
  *out = ToRecord(events_[n]);
  return 1;
}

int32_t AutEngine::GetNxtLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out) {
  AutLog* l = logs_.Find(log);
  if (l == nullptr || out == nullptr) return 0;
  uint32_t n = FirstAtOrAfter(log, *l, l->cursor, location);
  while (n != kAutNoNode && events_[n].key != key) n = events_[n].next;
  l->cursor = n;
  if (n == kAutNoNode) return 0;
  *out = ToRecord(events_[n]);
  return 1;
}

int32_t AutEngine::DeleteLogKnobEvent(AutLogHandle log, int32_t key, uint32_t location) {
  if (Busy()) return 0;
  AutLog* l = logs_.Find(log);
  if (l == nullptr) return 0;
  uint32_t n = LastAtOrBefore(log, *l, l->cursor, location);
  while (n != kAutNoNode && events_[n].location == location && events_[n].key != key) n = events_[n].previous;
  if (n == kAutNoNode || events_[n].location != location) return 1;  // nothing to remove
  uint32_t after = events_[n].next;
  while (after != kAutNoNode && events_[after].key != key) after = events_[after].next;
  UnlinkEvent(log, n);
  l->cursor = after;
  SetViewCursors(log, after);
  return 1;
}

int32_t AutEngine::CopyLog(AutLogHandle* out, AutLogHandle source, uint32_t start, uint32_t end) {
  if (out == nullptr) return 0;
  *out = 0;
  if (Busy() || logs_.Find(source) == nullptr) return 0;
  const AutLogHandle copy = logs_.Add(AutLog{});
  if (copy == 0) return 0;
  // Handles, not references: adding a log or carving nodes moves the tables.
  uint32_t tail = kAutNoNode;
  const AutLog& src = *logs_.Find(source);
  for (uint32_t n = FirstAtOrAfter(source, src, src.cursor, start);
       n != kAutNoNode && events_[n].location < end; n = events_[n].next) {
    const AutEventNode e = events_[n];
    const uint32_t node = events_.Take(copy);
    if (node == kAutNoNode) {
      DestroyLog(copy);
      return 0;
    }
    events_[node] = AutEventNode{e.key, e.location - start, e.value, tail, kAutNoNode};
    AutLog& dst = *logs_.Find(copy);
    if (tail == kAutNoNode) {
      dst.first = node;
    } else {
      events_[tail].next = node;
    }
    tail = node;
  }
  *out = copy;
  return 1;
}
