// What the files of qvMidRec share: the stored records, the node heaps and
// the library's state, and the list walks common to events, views and play
// nodes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logs/qvMidRec/handles.h"
#include "logs/qvMidRec/midlog.h"
#include "logs/qvMidRec/nodeheap.h"

// Links are node indices of the node's own heap (0 = none).
struct MidiEventNode {
  MidiLogEvent ev;
  uint32_t prev;
  uint32_t next;
};
static_assert(sizeof(MidiEventNode) == 20);
static_assert(offsetof(MidiEventNode, prev) == 12);

struct MidiLog {
  uint32_t resolution;  // ticks per quarter note of the positions; 0: samples
  uint32_t first;       // event node
  uint32_t cursor;      // event node last found or added: searches start here
};
static_assert(sizeof(MidiLog) == 12);

struct MidiViewNode {
  uint32_t start;
  uint32_t length;
  uint32_t offset;
  MidiLogHandle log;
  uint32_t cursor;  // event node of the log last played or recorded through this view
  uint32_t prev;
  uint32_t next;
};
static_assert(sizeof(MidiViewNode) == 28);
static_assert(offsetof(MidiViewNode, cursor) == 16);

struct MidiViewList {
  uint32_t kind;       // nonzero: record list
  uint32_t track;      // 0-based
  uint32_t firstView;  // views ascending by start
  uint32_t reserved;   // never shown to the host
  uint32_t next;       // next list of the same chain
};
static_assert(sizeof(MidiViewList) == 20);

struct MidiPlayNode {
  uint32_t position;  // samples on the time line
  uint32_t message;   // status | data1 << 8 | data2 << 16
  uint32_t prev;
  uint32_t next;
};
static_assert(sizeof(MidiPlayNode) == 16);

constexpr uint32_t kEventsPerBlock = 1024;
constexpr uint32_t kViewsPerBlock = 64;
constexpr uint32_t kPlayNodesPerBlock = 1024;

using EventHeap = NodeHeap<MidiEventNode, kEventsPerBlock>;
using ViewHeap = NodeHeap<MidiViewNode, kViewsPerBlock>;
using PlayHeap = NodeHeap<MidiPlayNode, kPlayNodesPerBlock>;

struct ViewChain {
  MidiViewListHandle head;
  MidiViewListHandle tail;
};

struct MidiLibState {
  MidiInitRecord init{};
  EventHeap events;  // exists while some log exists
  ViewHeap views;    // exists while some view list exists
  PlayHeap play;     // created at the first play list
  HandleTable<MidiLog> logs;
  HandleTable<MidiViewList> lists;
  ViewChain chains[2]{};  // [0] play lists, [1] record lists
};

MidiLibState& Lib();

inline ViewChain& ChainOf(uint32_t isRecord) { return Lib().chains[isRecord != 0 ? 1 : 0]; }

// Heaps used by tests to reach exhaustion: a cap on blocks carved.
enum class MidiHeapKind { kEvents, kViews, kPlayNodes };
void MidiSetHeapBlockLimit(MidiHeapKind heap, uint32_t blocks);

// Events: the node where a search in log starts (its cursor, else its first).
inline uint32_t SearchStart(const MidiLog& log, uint32_t cursor) { return cursor != 0 ? cursor : log.first; }

// Takes node out of the log, keeping the log and every view on it off the
// node, and returns it to the free list.
void RemoveLogEvent(MidiLogHandle logHandle, MidiLog& log, uint32_t node);
// Views on the log lose their cursors (its events are gone).
void ForgetLogCursors(MidiLogHandle logHandle);
// Every view cursor equal to `node` (an event of log) becomes `replacement`.
void MoveViewCursors(MidiLogHandle logHandle, uint32_t node, uint32_t replacement);

// ---- List walks over any heap of nodes with prev, next and a position ----

inline uint32_t NodePos(const MidiEventNode& n) { return n.ev.position; }
inline uint32_t NodePos(const MidiPlayNode& n) { return n.position; }
inline uint32_t NodePos(const MidiViewNode& n) { return n.start; }

// The last node with position <= p, starting the walk at cursor (a node of
// the list); 0 when every node lies after p.
template <class Heap>
uint32_t LastAtOrBefore(const Heap& heap, uint32_t cursor, uint32_t p) {
  uint32_t c = cursor;
  if (p < NodePos(heap.At(c))) {
    while (c != 0 && p < NodePos(heap.At(c))) c = heap.At(c).prev;
    return c;
  }
  for (uint32_t n = heap.At(c).next; n != 0 && NodePos(heap.At(n)) <= p; n = heap.At(n).next) c = n;
  return c;
}

// The first node with position >= p from cursor; 0 when every node lies
// before p. *last (may be null) gets the last node the walk stood on.
template <class Heap>
uint32_t FirstAtOrAfter(const Heap& heap, uint32_t cursor, uint32_t p, uint32_t* last = nullptr) {
  uint32_t c = cursor;
  if (NodePos(heap.At(c)) < p) {
    uint32_t at = c;
    while (c != 0 && NodePos(heap.At(c)) < p) {
      at = c;
      c = heap.At(c).next;
    }
    if (last != nullptr) *last = c != 0 ? c : at;
    return c;
  }
  for (uint32_t q = heap.At(c).prev; q != 0 && NodePos(heap.At(q)) >= p; q = heap.At(q).prev) c = q;
  if (last != nullptr) *last = c;
  return c;
}

// Links node after `after` (at the head when after is 0).
template <class Heap>
void LinkAfter(Heap& heap, uint32_t& head, uint32_t after, uint32_t node) {
  auto& n = heap.At(node);
  n.prev = after;
  n.next = after != 0 ? heap.At(after).next : head;
  if (n.next != 0) heap.At(n.next).prev = node;
  if (after != 0) {
    heap.At(after).next = node;
  } else {
    head = node;
  }
}

template <class Heap>
void Unlink(Heap& heap, uint32_t& head, uint32_t node) {
  auto& n = heap.At(node);
  if (n.prev != 0) {
    heap.At(n.prev).next = n.next;
  } else {
    head = n.next;
  }
  if (n.next != 0) heap.At(n.next).prev = n.prev;
}

// ---- Placing a view's log on the time line ----

// What maps a log's axis onto the time line: the view and its log's
// resolution.
struct ViewMap {
  uint32_t resolution;
  uint32_t start;
  uint32_t length;
  uint32_t offset;
};

// The log range [lo, hi) the view shows; false when the log's ticks cannot
// be converted (no callbacks).
bool ViewLogRange(const ViewMap& m, int64_t* lo, int64_t* hi);
// Time-line position of a log position, held to the 32-bit time line.
bool LogToTimeline(const ViewMap& m, uint64_t logPos, uint32_t* out);
// Log position of a time-line position (may be negative before the origin).
bool TimelineToLog(const ViewMap& m, uint32_t p, int64_t* out);
