// Play lists: what one output track plays, sample by sample, compiled from
// the arrangement's visible sections with their fades and crossfades, or made
// for one Take, for silence or for a list of Takes. Each list is handed to the
// device that serves the track (SendTrackPlayList) and freed.
#pragma once

#include <cstddef>
#include <cstdint>

struct ArrRec;

// One event of a play list: a stretch of one Take, or silence (Take 0). The
// exchange format with the native device layer: 22 bytes, packed.
#pragma pack(push, 1)
struct PlayEvent {
  uint32_t Take;       // the Take store's reference; 0 = silence
  uint64_t Offset;     // sample of the Take where the event starts
  uint32_t Length;     // samples
  uint16_t GainStart;  // 0x8000 = unity
  uint16_t GainEnd;
  uint16_t Flags;      // kPlayEvent* and the curve byte in bits 1-8
};
#pragma pack(pop)
static_assert(sizeof(PlayEvent) == 22);
static_assert(offsetof(PlayEvent, Offset) == 4);
static_assert(offsetof(PlayEvent, Length) == 12);
static_assert(offsetof(PlayEvent, GainStart) == 16);
static_assert(offsetof(PlayEvent, GainEnd) == 18);
static_assert(offsetof(PlayEvent, Flags) == 20);

enum : uint16_t {
  kPlayEventGainForm = 0x001,  // bit 3 of the Part's flags
  kPlayEventCurveMask = 0x1FE, // curve number << 1
  kPlayEventRecord = 0x200,    // the Take is recorded, not played
  kPlayEventFade = 0x400,      // fade at this event's leading edge
};
inline constexpr uint16_t kPlayUnity = 0x8000;
// Every list runs to this many samples.
inline constexpr uint32_t kPlayListEnd = 0x7FFFFFFF;
// The end of a looped record section is held below this location.
inline constexpr int32_t kPlayRecordEnd = 0x7FFF05FF;
// Output tracks of the program.
inline constexpr int kPlayChannels = 192;

inline uint16_t PlayEventCurve(const PlayEvent& e) { return (e.Flags & kPlayEventCurveMask) >> 1; }

// Header of a track's list: list 0 is the track's main lane, list 1 the
// second lane that carries the fade-ins of crossfades.
struct PlayList {
  uint32_t Unused[2];
  uint32_t Count0;
  PlayEvent* List0;
  uint32_t Count1;
  PlayEvent* List1;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PlayList) == 24);
#endif

// A header with room for the two counts of events (the counts are set to
// them); null when the heap has no room.
PlayList* PlayListNew(uint32_t count0, uint32_t count1);
// Room for `more0` and `more1` events beyond the counts (which do not
// change). An absent array is made exactly that big; a present one grows in
// steps of 4096 bytes (list 0) or 8192 bytes (list 1) when it is too small.
// On failure the whole list is freed and 0 returned; else 1.
int PlayListGrow(PlayList* list, uint32_t more0, uint32_t more1);
// 0 for a null list, else frees both arrays and the header and returns 1.
int PlayListFree(PlayList* list);

// Compiles the list of output track `channel` (1..kPlayChannels) from every
// Virtual Track of the arrangement (track -1) or from one, and sends it. 0
// after message 195 (new list) or 196 (growth) when the heap fails, or when
// the send fails; else 1.
int CompileTrackPlayList(const ArrRec* arr, int32_t channel, int32_t track);
// The same onto output track `channel` from the Parts whose play channel is
// `source`, which need not be a valid output (solo play puts Parts without
// an output of their own on a spare one).
int CompileChannelOnTrack(const ArrRec* arr, int32_t channel, int32_t source, int32_t track);
// Compiles and sends the list of every output track; 0 when any failed.
int CompileAllPlayLists(const ArrRec* arr);
// The Take from its data start after a silence of `leadIn` samples, then
// silence to the end; fade sets the fade flag on the Take and the closing
// silence. The send result.
int PlayOneTake(int32_t channel, uint32_t leadIn, uint32_t take, int fade);
// The same with the Take as a record entry and no fade flags; `arg` goes to
// the send.
int PlayTakeOnTrack(int32_t channel, uint32_t leadIn, uint32_t take, int32_t arg);
// One silence over the whole time line.
int SilenceTrack(int32_t channel);

struct PlayTakeEntry {
  uint32_t Take;    // 0: silence
  uint32_t Offset;  // samples after the Take's data start
  uint32_t Length;
};
// One event per entry, then a closing silence when the lengths fall short of
// the whole time line. The send result.
int PlayTakeListOnTrack(int32_t channel, uint32_t n, const PlayTakeEntry* entries, int fade);

// Hands the list of output track `channel` to the device that serves it
// (the native device link); nonzero on success. The caller keeps and frees
// the list.
int SendTrackPlayList(int32_t channel, const PlayList* list, int32_t arg);

// The play-list heap, which the MIDI logs' records share: a zero-filled
// block (null when the heap has no room), and its release (null is ignored).
void* PlayListHeapAlloc(size_t bytes);
void PlayListHeapFree(void* block);

// Tests: the play-list heap fails every allocation after `n` more succeed
// (-1: never fails); the number of blocks it holds.
void PlayListHeapFailAfter(int32_t n);
int32_t PlayListHeapBlocks();
