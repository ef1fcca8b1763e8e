// Recorded short messages written into the log of the record view that
// covers them. A note-on is stored lasting to the cap; its note-off then
// shortens it (or removes it when both fall on the same log position).
#include <algorithm>
#include <cstdint>

#include "logs/qvMidRec/midlog_private.h"

namespace {

struct ShortMessage {
  uint32_t status;
  uint8_t data1;
  uint8_t data2;
};

ShortMessage Unpack(uint32_t message) {
  return {message & 0xFF, static_cast<uint8_t>(message >> 8), static_cast<uint8_t>(message >> 16)};
}

bool IsNoteOff(const ShortMessage& m) { return m.status >> 4 == 0x8 || (m.status >> 4 == 0x9 && m.data2 == 0); }
bool IsNoteOn(const ShortMessage& m) { return m.status >> 4 == 0x9 && m.data2 != 0; }

// How each status other than a note becomes an event.
enum class EventShape { kBothBytes, kFirstAsData2, kBend };

struct StatusEvent {
  uint32_t statusHigh;  // high nibble of the status byte
  uint8_t kind;
  EventShape shape;
};

constexpr StatusEvent kStatusEvents[] = {
    {0xA, kMidiKeyPressure, EventShape::kBothBytes},   {0xB, kMidiControl, EventShape::kBothBytes},
    {0xC, kMidiProgram, EventShape::kFirstAsData2},    {0xD, kMidiChannelPressure, EventShape::kFirstAsData2},
    {0xE, kMidiPitchBend, EventShape::kBend},
};

// The event of a message other than a note; false for statuses with none.
bool ControlEvent(const ShortMessage& m, MidiLogEvent* e) {
  for (const StatusEvent& s : kStatusEvents) {
    if (s.statusHigh != m.status >> 4) continue;
    e->kind = s.kind;
    switch (s.shape) {
      case EventShape::kBothBytes:
        e->data1 = m.data1;
        e->data2 = m.data2;
        break;
      case EventShape::kFirstAsData2: e->data2 = m.data1; break;
      case EventShape::kBend: e->data2 = static_cast<int16_t>(m.data1 | m.data2 << 8); break;
    }
    return true;
  }
  return false;
}

// A note-on at log position L lasts to the cap (time line) until its note-off
// comes; false when the cap lies at or before it.
bool NoteOnEvent(const ViewMap& map, uint32_t position, uint32_t cap, int64_t L, const ShortMessage& m,
                 MidiLogEvent* e) {
  int64_t capped = 0;
  if (cap < position || !TimelineToLog(map, cap, &capped) || L >= capped) return false;
  e->kind = kMidiNote;
  e->data1 = m.data1;
  e->data2 = m.data2;
  e->value = static_cast<uint32_t>(std::min<int64_t>(capped - L, UINT32_MAX));
  return true;
}

// The nearest note of that number at or before n.
uint32_t FindNote(const EventHeap& heap, uint32_t n, uint8_t note) {
  for (; n != 0; n = heap.At(n).prev) {
    const MidiLogEvent& e = heap.At(n).ev;
    if (e.kind == kMidiNote && e.data1 == note) return n;
  }
  return 0;
}

// A note-off at L ends the nearest earlier note of its number: shortens it,
// or removes it when it began at L too (then 0).
int32_t CloseNote(MidiViewNode& v, MidiLog& log, uint32_t n, uint8_t note, uint32_t L) {
  EventHeap& heap = Lib().events;
  const uint32_t noteNode = FindNote(heap, n, note);
  if (noteNode == 0) return 0;
  MidiLogEvent& e = heap.At(noteNode).ev;
  if (e.position == L) {
    v.cursor = heap.At(noteNode).prev;
    RemoveLogEvent(v.log, log, noteNode);
    return 0;
  }
  const uint32_t sounding = L - e.position;  // L lies after the note's start here
  if (sounding < e.value) e.value = sounding;
  return 1;
}

}  // namespace

int32_t WriteRecordedEvent(MidiViewHandle view, uint32_t position, uint32_t message, uint32_t cap) {
  MidiLibState& lib = Lib();
  if (!lib.views.Live(view)) return 0;
  MidiViewNode& v = lib.views.At(view);
  MidiLog* log = lib.logs.Get(v.log);
  if (log == nullptr) return 0;
  const ViewMap map{log->resolution, v.start, v.length, v.offset};
  int64_t logPos = 0;
  // Before the log's origin or past its axis there is nowhere to store it.
  if (!TimelineToLog(map, position, &logPos) || logPos < 0 || logPos > UINT32_MAX) return 0;
  const uint32_t L = static_cast<uint32_t>(logPos);
  const uint32_t n = log->first != 0 ? LastAtOrBefore(lib.events, SearchStart(*log, v.cursor), L) : 0;
  const ShortMessage m = Unpack(message);
  if (IsNoteOff(m)) return CloseNote(v, *log, n, m.data1, L);

  MidiLogEvent e{};
  e.position = L;
  const bool stored = IsNoteOn(m) ? NoteOnEvent(map, position, cap, logPos, m, &e) : ControlEvent(m, &e);
  if (!stored) return 0;
  const uint32_t node = lib.events.Take();
  if (node == 0) return 0;
  lib.events.At(node).ev = e;
  LinkAfter(lib.events, log->first, n, node);  // never merged with an equal event
  v.cursor = node;
  return 1;
}
