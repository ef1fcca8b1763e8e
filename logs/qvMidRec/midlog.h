// MIDI event logs, view lists and play lists: the portable core of qvMidRec.
//
// Logs, view lists, views and events are handed out as nonzero 32-bit
// handles (0 = none); a handle whose object is gone is refused, never
// followed. Every call returns 1 for success and 0 for failure unless said
// otherwise. One host thread only: nothing here takes a lock.
#pragma once

#include <cstddef>
#include <cstdint>

// The host's conversion callbacks use the standard calling convention of the
// 32-bit Windows build; elsewhere the plain one.
#if defined(_WIN32) && defined(__i386__)
#define QVMIV_CALLBACK __attribute__((stdcall))
#else
#define QVMIV_CALLBACK
#endif

using MidiLogHandle = uint32_t;
using MidiViewListHandle = uint32_t;
using MidiViewHandle = uint32_t;
using MidiEventHandle = uint32_t;
// A play or chase list: its first play node, 0 for an empty list.
using MidiPlayList = uint32_t;

// Event kinds; data1/data2 meaning per kind is in the field comments below.
enum MidiEventKind : uint8_t {
  kMidiNote = 1,
  kMidiKeyPressure = 2,
  kMidiControl = 3,
  kMidiProgram = 4,
  kMidiChannelPressure = 5,
  kMidiPitchBend = 6,
};

#pragma pack(push, 1)
struct MidiLogEvent {
  uint32_t position;  // ticks of the log's resolution, samples when it is 0
  uint8_t kind;       // MidiEventKind
  uint8_t data1;      // note, key or controller number; 0 for kinds 4-6
  int16_t data2;      // velocity, pressure, value, program; bend: both message bytes, first low
  uint32_t value;     // a note's length on the log's time axis; 0 otherwise
};
#pragma pack(pop)
static_assert(sizeof(MidiLogEvent) == 12);
static_assert(offsetof(MidiLogEvent, kind) == 4);
static_assert(offsetof(MidiLogEvent, data1) == 5);
static_assert(offsetof(MidiLogEvent, data2) == 6);
static_assert(offsetof(MidiLogEvent, value) == 8);

// A stretch of a log placed on the time line. The log's origin lies at
// start - offset on the time line.
struct MidiView {
  uint32_t start;   // samples on the time line
  uint32_t length;  // samples
  uint32_t offset;  // samples from the log's origin to the view's start
  MidiLogHandle log;
};
static_assert(sizeof(MidiView) == 16);
static_assert(offsetof(MidiView, log) == 12);

// Ticks at `resolution` per quarter note from start to end (both 64-bit
// sample positions, low word first).
using MidiSpanToTicksFn = int32_t(QVMIV_CALLBACK*)(uint32_t startLo, uint32_t startHi, uint32_t resolution,
                                                   uint32_t endLo, uint32_t endHi);
// The sample position `ticks` ticks of `resolution` after start.
using MidiTicksToLocFn = uint32_t(QVMIV_CALLBACK*)(uint32_t startLo, uint32_t startHi, uint32_t resolution,
                                                   uint32_t ticks);

// 8 bytes in the 32-bit build: the two callbacks, in this order.
struct MidiInitRecord {
  MidiSpanToTicksFn LocSpanToMidiTicks;
  MidiTicksToLocFn MidiTicksToLocEnd;
};
static_assert(sizeof(MidiInitRecord) == 2 * sizeof(MidiSpanToTicksFn));

// Keeps the host's two conversion callbacks (null record: 0). Until they are
// given, logs with a nonzero resolution cannot be placed on the time line:
// their views play nothing and record nothing.
int32_t MidiSetInitRecord(const MidiInitRecord* init);

// Logs.
int32_t MidiCreateLog(MidiLogHandle* out, uint32_t resolution);
int32_t MidiDeleteLog(MidiLogHandle log);
int32_t MidiAddLogEvent(MidiLogHandle log, const MidiLogEvent* event);
int32_t MidiDeleteAllLogEvents(MidiLogHandle log);
int32_t MidiGetLogEventCnt(MidiLogHandle log, int32_t* count);
// *count: capacity in, number copied out.
int32_t MidiGetAllLogEvents(MidiLogHandle log, int32_t* count, MidiLogEvent* out);
// kind 0 matches any kind; outNode may be null.
int32_t MidiGetLogFirstEqualOrNxtEventFromTickPos(MidiLogHandle log, uint8_t kind, uint32_t position,
                                                  MidiLogEvent* out, MidiEventHandle* outNode);
int32_t MidiGetLogNxtEvent(MidiEventHandle node, uint8_t kind, MidiLogEvent* out, MidiEventHandle* outNode);

// View lists and views.
int32_t MidiCreateViewList(uint32_t track, uint32_t isRecord, MidiViewListHandle* out);
int32_t MidiDeleteViewList(MidiViewListHandle list);
int32_t MidiDeleteAllViewLists(uint32_t isRecord);
int32_t MidiAddView(MidiViewListHandle list, const MidiView* view);

// Walking the chains and a list's views, for the play/record engine:
// 0 at the end.
MidiViewListHandle MidiFirstViewList(uint32_t isRecord);
MidiViewListHandle MidiNextViewList(MidiViewListHandle list);
int32_t MidiGetViewListTrack(MidiViewListHandle list, uint32_t* track);
MidiViewHandle MidiFirstView(MidiViewListHandle list);
MidiViewHandle MidiNextView(MidiViewHandle view);
int32_t MidiGetView(MidiViewHandle view, MidiView* out);

// Play lists (ready-made short messages on sample positions).
struct MidiPlayEntry {
  uint32_t position;  // samples on the time line
  uint32_t message;   // status | data1 << 8 | data2 << 16
};

MidiPlayList BuildPlayList(uint32_t channel, uint32_t firstTrack, uint32_t count);
MidiPlayList BuildChaseList(MidiPlayList playList, uint32_t position);
// Returns the whole list to the play free list; 0 for an empty list.
int32_t FreePlayList(MidiPlayList list);
// Walking a play list: the first entry and each next one; 0 at the end.
uint32_t MidiPlayNodeNext(uint32_t node);
int32_t MidiGetPlayNode(uint32_t node, MidiPlayEntry* out);

// Writes one recorded short message at time-line position `position` into
// the log of `view`; `cap` (time line) ends notes still sounding.
int32_t WriteRecordedEvent(MidiViewHandle view, uint32_t position, uint32_t message, uint32_t cap);

// Frees every log, list, view and node and forgets the callbacks: the state
// of a freshly loaded library.
void MidiLibRelease();
