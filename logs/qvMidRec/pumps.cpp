// The real-time side: the play pump copies each block's messages out of the
// port's play list, the record pump files the messages a module received.
// Neither allocates nor waits: lists come through guards, loop parameters
// through the port's snapshot, record nodes from the port's free list and
// the spare block, and the record lock is only tried.
#include <algorithm>

#include "logs/qvMidRec/engine_private.h"

namespace {

constexpr uint32_t kAllChannels = 16;
// Controller 123, All Notes Off, value 0, on channel 0.
constexpr uint32_t kAllNotesOff = 0x7BB0;

// Appends messages while room remains.
class BlockWriter {
 public:
  BlockWriter(MipMidiEvent* out, uint32_t capacity) : out_(out), capacity_(capacity) {}
  bool Full() const { return n_ >= capacity_; }
  void Put(uint64_t position, uint32_t message) {
    if (!Full()) out_[n_++] = MipMidiEvent{position, message};
  }
  void AllNotesOff(uint64_t position, uint32_t base, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) Put(position, kAllNotesOff | (base + i));
  }
  uint32_t Count() const { return n_; }

 private:
  MipMidiEvent* out_;
  uint32_t capacity_;
  uint32_t n_ = 0;
};

// Copies the list's messages with position in [from, to), each stamped with
// its position plus `shift`, starting the search at `cursor`. Returns the
// last node copied, or 0.
uint32_t CopyPlayNodes(BlockWriter& out, uint32_t cursor, uint64_t from, uint64_t to, uint64_t shift) {
  const PlayHeap& heap = Lib().play;
  uint32_t last = 0;
  const uint32_t lo = static_cast<uint32_t>(std::min<uint64_t>(from, UINT32_MAX));
  for (uint32_t n = FirstAtOrAfter(heap, cursor, lo); n != 0 && !out.Full(); n = heap.At(n).next) {
    const MidiPlayNode& node = heap.At(n);
    if (node.position < from || node.position >= to) break;
    out.Put(node.position + shift, node.message);
    last = n;
  }
  return last;
}

// The whole list, every message stamped `at`.
void CopyListAt(BlockWriter& out, ListGuard& guard, uint64_t at) {
  const uint32_t list = guard.Acquire();
  if (list == 0) return;
  const PlayHeap& heap = Lib().play;
  for (uint32_t n = list; n != 0 && !out.Full(); n = heap.At(n).next) out.Put(at, heap.At(n).message);
  guard.Release();
}

// The position of a record node: a block's samples may lie past the 32-bit
// time line, where nothing can be stored apart from its end.
uint32_t ToTimeline(int64_t p) { return static_cast<uint32_t>(std::clamp<int64_t>(p, 0, UINT32_MAX)); }

}  // namespace

uint32_t QVMIV_CALLBACK MidiReadBlock(MidiPort* port, uint64_t* blockPos, uint32_t blockLength, MipMidiEvent* out,
                                      uint32_t capacity) {
  if (port == nullptr || blockPos == nullptr || (out == nullptr && capacity != 0)) return 0;
  MidiEngineState& engine = Engine();
  BlockWriter writer(out, capacity);
  const uint64_t p0 = *blockPos;
  const uint64_t tc = engine.timeCodeOffset.load();
  *blockPos -= tc;
  const uint32_t base = BaseChannel(port->channel.load());
  const uint32_t tracks = port->trackCount.load();

  if (const int32_t r = port->allNotesOff.load(); r != 0) {
    const uint32_t k = r == 1 ? tracks : kAllChannels;
    const uint32_t from = r == 1 ? base : 0;
    if (capacity < k) return 0;
    writer.AllNotesOff(p0, from, k);
    int32_t expected = r;  // a newer request stays for the next block
    port->allNotesOff.compare_exchange_strong(expected, 0);
  }

  if (port->chasePending.load() != 0) {
    if (const uint32_t list = port->chaseGuard.Acquire(); list != 0) {
      const PlayHeap& heap = Lib().play;
      for (uint32_t n = list; n != 0 && !writer.Full(); n = heap.At(n).next) writer.Put(p0, heap.At(n).message);
      // Cleared while the list is still held: a new list is only published
      // (and pending set again) after the host's hold, which waits for us.
      port->chasePending.store(0);
      port->chaseGuard.Release();
    }
  }

  if (engine.running.load() == 0 || blockLength == 0) return writer.Count();
  port->blockEnd.store(p0 + blockLength);

  // A new transport start begins at loop offset 0.
  if (const uint32_t starts = engine.starts.load(); starts != port->playStarts) {
    port->playStarts = starts;
    port->playLoopOffset = 0;
  }
  port->loopShared.Load(&port->playLoop);
  const LoopParams& loop = port->playLoop;
  int64_t p = static_cast<int64_t>(p0 - (tc + port->playLoopOffset));
  uint64_t m = 0;
  uint64_t e = 0;
  if (loop.length != 0) {
    if (p >= int64_t{loop.end}) {
      const uint64_t wraps = static_cast<uint64_t>(p - loop.end) / loop.length + 1;
      p -= static_cast<int64_t>(wraps * loop.length);
      port->playLoopOffset += wraps * loop.length;
    }
    m = p > 0 ? static_cast<uint64_t>(p) : 0;
    e = std::min<uint64_t>(m + blockLength, loop.end);
  } else {
    m = static_cast<uint32_t>(p);
    e = m + blockLength;
  }
  *blockPos = m;

  const uint32_t cursor = port->playGuard.Acquire();
  if (cursor == 0) return writer.Count();
  uint32_t last = CopyPlayNodes(writer, cursor, m, e, tc + port->playLoopOffset);

  if (loop.length != 0 && e == loop.end) {
    // The block reaches the loop's end: the notes stop there and the rest
    // of the block plays from the loop's start, with the controllers as
    // they stand at the start.
    writer.AllNotesOff(loop.end + tc + port->playLoopOffset, base, tracks);
    port->playLoopOffset += loop.length;
    // A block longer than the loop plays its start once.
    const uint64_t rest = std::min<uint64_t>(blockLength - (e - m), loop.length);
    const uint64_t shift = tc + port->playLoopOffset;
    CopyListAt(writer, port->loopChaseGuard, loop.start + shift);
    const uint32_t wrapped = CopyPlayNodes(writer, last != 0 ? last : cursor, loop.start, loop.start + rest, shift);
    if (wrapped != 0) last = wrapped;
  }

  if (last != 0) port->playGuard.Advance(cursor, last);
  port->playGuard.Release();
  return writer.Count();
}

namespace {

// The next record node: from the port's free list, else the spare block,
// in which case the allocator thread is asked for another. 0 when none.
uint32_t TakeRecordNode(MidiPort& port) {
  MidiEngineState& engine = Engine();
  if (port.recordFree == 0) {
    port.recordFree = engine.spare.exchange(0);
    // One request at a time: while the heap cannot grow, dropped messages
    // do not pile requests up.
    if (engine.allocator != nullptr && !engine.spareAsked.exchange(true)) MidiOsWorkerQueue(engine.allocator);
    if (port.recordFree == 0) return 0;
  }
  PlayHeap& heap = Lib().play;
  const uint32_t n = port.recordFree;
  port.recordFree = heap.At(n).next;
  heap.At(n).prev = heap.At(n).next = 0;
  return n;
}

void GiveRecordNode(MidiPort& port, uint32_t n) {
  Lib().play.At(n).next = port.recordFree;
  port.recordFree = n;
}

// Removes the recorded messages with position in [from, to).
void ClearRange(MidiPort& port, uint64_t from, uint64_t to) {
  PlayHeap& heap = Lib().play;
  for (uint32_t n = port.recordHead; n != 0;) {
    const uint32_t next = heap.At(n).next;
    const uint32_t pos = heap.At(n).position;
    if (pos >= to) break;
    if (pos >= from) {
      Unlink(heap, port.recordHead, n);
      if (port.recordCursor == n) port.recordCursor = port.recordHead;
      GiveRecordNode(port, n);
    }
    n = next;
  }
}

// A loop recording reaching a pass again replaces what that pass recorded
// before: every pass up to l whose bit is still set is cleared once.
void ClearPasses(MidiPort& port, const LoopParams& loop, int64_t l) {
  if (port.passClearMask == 0 || loop.length == 0 || l < int64_t{loop.start}) return;
  const uint64_t lastPass = static_cast<uint64_t>(l - loop.start) / loop.length;
  for (uint64_t j = 0; j <= lastPass && port.passClearMask != 0; ++j) {
    const uint32_t bit = 1u << (j % 32);
    if ((port.passClearMask & bit) == 0) continue;
    ClearRange(port, loop.start + j * loop.length, loop.end + j * loop.length);
    port.passClearMask &= ~bit;
  }
}

void InsertRecorded(MidiPort& port, uint32_t position, uint32_t message) {
  const uint32_t node = TakeRecordNode(port);
  if (node == 0) return;  // dropped: no node to be had
  PlayHeap& heap = Lib().play;
  heap.At(node).position = position;
  heap.At(node).message = message;
  const uint32_t from = port.recordCursor != 0 ? port.recordCursor : port.recordHead;
  const uint32_t after = from != 0 ? LastAtOrBefore(heap, from, position) : 0;
  LinkAfter(heap, port.recordHead, after, node);
  port.recordCursor = node;
}

}  // namespace

uint32_t QVMIV_CALLBACK MidiRecordEvents(MidiPort* port, const MipMidiEvent* events, uint32_t count) {
  if (port == nullptr || (events == nullptr && count != 0)) return 0;
  MidiEngineState& engine = Engine();
  if (engine.running.load() == 0) return 0;
  // The host holds the lock while it converts: these messages are dropped.
  if (!MidiOsLockTryEnter(port->recordLock)) return 0;
  const uint64_t tc = engine.timeCodeOffset.load();
  port->loopShared.Load(&port->recordLoop);
  const LoopParams& loop = port->recordLoop;
  const uint32_t passBits = loop.passes >= 32 ? 0xFFFFFFFFu : (1u << loop.passes) - 1;
  for (uint32_t i = 0; i < count; ++i) {
    int64_t p = static_cast<int64_t>(events[i].position - (port->recordLoopOffset + tc));
    if (loop.span != 0 && p >= int64_t{loop.finish}) {
      const uint64_t wraps = static_cast<uint64_t>(p - loop.finish) / loop.span + 1;
      p -= static_cast<int64_t>(wraps * loop.span);
      port->recordLoopOffset += wraps * loop.span;
      port->passClearMask |= passBits;
    }
    const int64_t l = p > 0 ? p : 0;
    if (loop.span != 0) ClearPasses(*port, loop, l);
    InsertRecorded(*port, ToTimeline(l), events[i].message);
  }
  MidiOsLockLeave(port->recordLock);
  return count;
}
