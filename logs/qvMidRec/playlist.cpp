// Play lists and chase lists: ready-made MIDI short messages on time-line
// positions, built from the play view lists on the host's thread.
#include <cstdint>
#include <memory>
#include <new>

#include "logs/qvMidRec/midlog_private.h"

namespace {

constexpr uint32_t kLastChannel = 15;
// A note-off is its note-on with the velocity byte cleared and bits 5-6 of
// the status (0x9n stays 0x9n): a note-on of velocity 0.
constexpr uint32_t kNoteOffMask = 0xFF9F;

// How a kind's event becomes the message's data bytes.
enum class DataShape { kNone, kTwoBytes, kOneByte, kBend };

struct KindMessage {
  uint32_t status;
  DataShape shape;
};

// Indexed by MidiEventKind.
constexpr KindMessage kKindMessages[] = {
    {0x00, DataShape::kNone},     {0x90, DataShape::kTwoBytes}, {0xA0, DataShape::kTwoBytes},
    {0xB0, DataShape::kTwoBytes}, {0xC0, DataShape::kOneByte},  {0xD0, DataShape::kOneByte},
    {0xE0, DataShape::kBend},
};

// The event's message on channel ch; false for a kind that has none.
bool EventMessage(const MidiLogEvent& e, uint32_t ch, uint32_t* m) {
  if (e.kind >= std::size(kKindMessages)) return false;
  const KindMessage& k = kKindMessages[e.kind];
  const uint32_t d2 = static_cast<uint16_t>(e.data2);
  switch (k.shape) {
    case DataShape::kNone: return false;
    case DataShape::kTwoBytes: *m = k.status | ch | uint32_t{e.data1} << 8 | (d2 & 0xFF) << 16; return true;
    case DataShape::kOneByte: *m = k.status | ch | (d2 & 0xFF) << 8; return true;
    case DataShape::kBend: *m = k.status | ch | d2 << 8; return true;
  }
  return false;
}

// Builds one list in ascending position; equal positions keep the order of
// insertion. Each search starts at the node inserted last.
class PlayListBuilder {
 public:
  explicit PlayListBuilder(PlayHeap& heap) : heap_(heap) {}

  // Without a node the list simply lacks the message.
  void Insert(uint32_t position, uint32_t message) {
    const uint32_t node = heap_.Take();
    if (node == 0) return;
    const uint32_t after = head_ != 0 ? LastAtOrBefore(heap_, last_, position) : 0;
    heap_.At(node).position = position;
    heap_.At(node).message = message;
    LinkAfter(heap_, head_, after, node);
    last_ = node;
  }

  MidiPlayList Head() const { return head_; }

 private:
  PlayHeap& heap_;
  uint32_t head_ = 0;
  uint32_t last_ = 0;
};

MidiViewListHandle FindPlayList(uint64_t track) {
  MidiLibState& lib = Lib();
  for (MidiViewListHandle h = lib.chains[0].head; h != 0; h = lib.lists.Get(h)->next) {
    if (lib.lists.Get(h)->track == track) return h;
  }
  return 0;
}

uint32_t ToAxis(int64_t logPos) { return static_cast<uint32_t>(logPos < 0 ? 0 : logPos > UINT32_MAX ? UINT32_MAX : logPos); }

// The events of one view's log range, as messages on channel ch. The view's
// cursor follows the events handled, so the next build starts near them.
void AddViewEvents(PlayListBuilder& list, MidiViewNode& v, uint32_t ch) {
  MidiLibState& lib = Lib();
  const MidiLog* log = lib.logs.Get(v.log);
  if (log == nullptr || log->first == 0) return;
  const ViewMap map{log->resolution, v.start, v.length, v.offset};
  int64_t lo = 0;
  int64_t hi = 0;
  if (!ViewLogRange(map, &lo, &hi) || lo > UINT32_MAX) return;
  uint32_t e = FirstAtOrAfter(lib.events, SearchStart(*log, v.cursor), ToAxis(lo));
  for (; e != 0 && lib.events.At(e).ev.position < hi; e = lib.events.At(e).next) {
    v.cursor = e;
    const MidiLogEvent& ev = lib.events.At(e).ev;
    uint32_t message = 0;
    uint32_t at = 0;
    if (!EventMessage(ev, ch, &message) || !LogToTimeline(map, ev.position, &at)) continue;
    list.Insert(at, message);
    if (ev.kind != kMidiNote) continue;
    uint32_t end = 0;
    if (LogToTimeline(map, uint64_t{ev.position} + ev.value, &end)) list.Insert(end, message & kNoteOffMask);
  }
}

// Chase entries are found by status and, below 0xC0, the first data byte:
// (status & 0x7F) << 8 | data1.
constexpr uint32_t kChaseKeys = 128 * 256;

uint32_t ChaseKey(uint32_t message) {
  const uint32_t status = message & 0xFF;
  const uint32_t data1 = status >= 0xC0 ? 0 : (message >> 8) & 0xFF;
  return (status & 0x7F) << 8 | data1;
}

bool IsChased(uint32_t message) {
  const uint32_t status = message & 0xFF;
  return status >= 0x80 && status >> 4 != 0x9;  // note-ons and their note-offs are not chased
}

}  // namespace

MidiPlayList BuildPlayList(uint32_t channel, uint32_t firstTrack, uint32_t count) {
  MidiLibState& lib = Lib();
  if (count == 0 || channel > 16 || !lib.play.Create()) return 0;
  const uint32_t base = channel != 0 ? channel - 1 : 0;
  PlayListBuilder list(lib.play);
  // Tracks past channel 16 have no channel to play on.
  for (uint32_t i = 0; i < count && base + i <= kLastChannel; ++i) {
    const MidiViewListHandle h = FindPlayList(uint64_t{firstTrack} + i);
    if (h == 0) continue;
    for (uint32_t v = lib.lists.Get(h)->firstView; v != 0; v = lib.views.At(v).next) {
      AddViewEvents(list, lib.views.At(v), base + i);
    }
  }
  return list.Head();
}

MidiPlayList BuildChaseList(MidiPlayList playList, uint32_t position) {
  MidiLibState& lib = Lib();
  PlayHeap& heap = lib.play;
  if (!heap.Live(playList)) return 0;
  std::unique_ptr<uint32_t[]> found(new (std::nothrow) uint32_t[kChaseKeys]());
  if (found == nullptr) return 0;
  uint32_t head = 0;
  uint32_t tail = 0;
  for (uint32_t n = playList; n != 0 && heap.At(n).position < position; n = heap.At(n).next) {
    const uint32_t message = heap.At(n).message;
    if (!IsChased(message)) continue;
    uint32_t& entry = found[ChaseKey(message)];
    if (entry != 0) {
      heap.At(entry).message = message;  // the later value wins, in the first one's place
      continue;
    }
    const uint32_t node = heap.Take();
    if (node == 0) continue;
    heap.At(node).position = position;
    heap.At(node).message = message;
    LinkAfter(heap, head, tail, node);
    tail = entry = node;
  }
  return head;
}

int32_t FreePlayList(MidiPlayList list) {
  PlayHeap& heap = Lib().play;
  if (!heap.Live(list)) return 0;
  heap.GiveChain(list);
  return 1;
}

uint32_t MidiPlayNodeNext(uint32_t node) {
  const PlayHeap& heap = Lib().play;
  return heap.Live(node) ? heap.At(node).next : 0;
}

int32_t MidiGetPlayNode(uint32_t node, MidiPlayEntry* out) {
  const PlayHeap& heap = Lib().play;
  if (out == nullptr || !heap.Live(node)) return 0;
  *out = MidiPlayEntry{heap.At(node).position, heap.At(node).message};
  return 1;
}
