// Segment lists as the native device layer builds them for the recorder,
// and the conversion of a track's play events into its five lists.
#pragma once

#include <cstdint>

#include "mixer/units/playlist.h"
#include "native/qvNatRec/recorder.h"

// A segment list under construction: `count` entries, of which the last is
// the open run, `open` samples long so far. Each entry starts where the one
// before it ends. The entries follow the header in the same block, which
// grows in steps of 4096 bytes on the layer's heap.
struct RecSegList {
  uint32_t count;
  uint32_t open;
  RecSeg* entries() { return reinterpret_cast<RecSeg*>(this + 1); }
  const RecSeg* entries() const { return reinterpret_cast<const RecSeg*>(this + 1); }
};
static_assert(sizeof(RecSegList) == 8);

// The builders take the list by reference, create it when it is null, and
// merge with the open run where they can. False when memory fails: the list
// is then freed and null.
bool SegSilence(RecSegList*& list, uint32_t length);  // silence or unity gain
bool SegDisk(RecSegList*& list, int32_t take, uint64_t position, uint32_t length);
bool SegLevel(RecSegList*& list, int32_t level, uint32_t length);
bool SegShape(RecSegList*& list, int32_t shape, int32_t from, int32_t to, uint32_t length);
bool SegRampIn(RecSegList*& list, int32_t level, uint32_t length);
bool SegRampOut(RecSegList*& list, int32_t level, uint32_t length);
// Marks the end: the last entry gets the closing flag, after an empty entry
// is appended when the open run has samples.
bool SegClose(RecSegList*& list);
void SegFree(RecSegList*& list);

// The level a play event's gain is stored as: in the recorder's scale
// (-0x800000 plays at unity); with the gain-form bit the polarity inverts.
int32_t NatStoredLevel(uint16_t gain, uint16_t flags);

// The five lists of one track from its two lanes.
enum NatListIndex { kNatDisk0, kNatDisk1, kNatFade0, kNatFade1, kNatDiskR, kNatLists };
struct NatTrackLists {
  RecSegList* list[kNatLists] = {};
};
// Builds and closes all five lists; false (everything freed) when memory
// fails. Counts must not be negative; null lanes need count 0.
bool NatConvertTrack(const PlayEvent* list0, uint32_t count0, const PlayEvent* list1,
                     uint32_t count1, NatTrackLists& out);
// The record list alone: record entries are disk runs, the rest silence.
bool NatConvertRecordOnly(const PlayEvent* list, uint32_t count, RecSegList*& out);
void NatFreeTrack(NatTrackLists& lists);

// Tests: the layer's heap fails every allocation after `n` more succeed
// (-1: never); the blocks it holds.
void NatHeapFailAfter(int32_t n);
int32_t NatHeapBlocks();
void* NatHeapAlloc(uint32_t bytes);
void* NatHeapRealloc(void* block, uint32_t bytes);
void NatHeapFree(void* block);
