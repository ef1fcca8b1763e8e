// The in-memory arrangement: one block holding the slot count, the 256
// Virtual Tracks, their list heads and the Part slots, laid out exactly as the
// arrangement section of the arrangement file so that it is copied, stored
// and read as one image. Parts are addressed by slot index, never by pointer,
// so the block may move when it grows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block.h"

constexpr uint32_t kArrTracks = 256;
constexpr uint32_t kArrMaxParts = 16384;
constexpr uint32_t kArrNoSlot = 0xFFFFFFFF;  // ends a list, or an empty track
constexpr uint16_t kArrNoLink = 65535;       // overlap or crossfade link: none
constexpr int32_t kPartFreeStart = -1;       // start of a free slot

// Part flag bits.
enum : uint32_t {
  kPartSelected = 1u << 0,
  kPartLinkNext = 1u << 1,     // channel-linked to the partner on the next track
  kPartLinkPrev = 1u << 2,     // channel-linked to the partner on the previous track
  kPartPhaseInvert = 1u << 3,
  kPartTimelocked = 1u << 4,
  kPartTempMark = 1u << 5,
  kPartPassMark = 1u << 6,
};

// Virtual Track flag bits.
enum : uint32_t {
  kTrkSelected = 1u << 0,
  kTrkLinkNext = 1u << 1,
  kTrkLinkPrev = 1u << 2,
};

struct TrkRec {
  uint8_t Reserved[32];  // zero when new; copied and stored unchanged
  uint32_t RecTrack;     // record track the track records onto, 0 = none
  uint32_t Flags;
  uint32_t RecKind;      // TakeKind: 3 Audio, 20 Automation, 21 Midi
  uint8_t Reserved2[4];
};
static_assert(sizeof(TrkRec) == 48);
static_assert(offsetof(TrkRec, RecTrack) == 32);
static_assert(offsetof(TrkRec, Flags) == 36);
static_assert(offsetof(TrkRec, RecKind) == 40);
static_assert(offsetof(TrkRec, Reserved2) == 44);

struct PartRec {
  int32_t Start;         // first sample on the time line; -1 marks a free slot
  char Name[64];         // NUL-terminated
  uint32_t Flags;
  int32_t PlayChannel;   // 0 muted, 1..192, 193..384 muted keeping value - 192, < 0 recording
  uint8_t FadeCurve;     // 0..7, the gain ramp from GainStart to GainEnd
  uint8_t XfadeInCurve;
  uint16_t XfadeOutCurve;
  uint32_t GainStart;    // linear, 32768 = unity, at most 65536
  uint32_t GainEnd;
  uint32_t Take;         // the Take store's reference; in a file, the Take table index
  int32_t Offset;        // sample of the Take that plays at Start
  int32_t Length;        // samples
  uint16_t TakeKind;
  uint16_t OverlapLink;  // slot of the first other overlapping Part, or kArrNoLink
  uint16_t AutoMapValue;
  int16_t Layer;
  uint16_t XfadeInPartner;
  uint8_t XfadeInWindow[2];   // begin and end in 255ths of the overlap
  uint16_t XfadeOutPartner;
  uint8_t XfadeOutWindow[2];
  int32_t SnapPoint;     // samples from Start, 0 = none
  uint32_t Reserved;
  uint32_t Next;         // next slot of the track's list, or kArrNoSlot
};
static_assert(sizeof(PartRec) == 128);
static_assert(offsetof(PartRec, Name) == 4);
static_assert(offsetof(PartRec, Flags) == 68);
static_assert(offsetof(PartRec, PlayChannel) == 72);
static_assert(offsetof(PartRec, FadeCurve) == 76);
static_assert(offsetof(PartRec, XfadeInCurve) == 77);
static_assert(offsetof(PartRec, XfadeOutCurve) == 78);
static_assert(offsetof(PartRec, GainStart) == 80);
static_assert(offsetof(PartRec, GainEnd) == 84);
static_assert(offsetof(PartRec, Take) == 88);
static_assert(offsetof(PartRec, Offset) == 92);
static_assert(offsetof(PartRec, Length) == 96);
static_assert(offsetof(PartRec, TakeKind) == 100);
static_assert(offsetof(PartRec, OverlapLink) == 102);
static_assert(offsetof(PartRec, AutoMapValue) == 104);
static_assert(offsetof(PartRec, Layer) == 106);
static_assert(offsetof(PartRec, XfadeInPartner) == 108);
static_assert(offsetof(PartRec, XfadeInWindow) == 110);
static_assert(offsetof(PartRec, XfadeOutPartner) == 112);
static_assert(offsetof(PartRec, XfadeOutWindow) == 114);
static_assert(offsetof(PartRec, SnapPoint) == 116);
static_assert(offsetof(PartRec, Reserved) == 120);
static_assert(offsetof(PartRec, Next) == 124);

// Header of the arrangement block; PartCount PartRec slots follow it in the
// same block.
struct ArrRec {
  uint32_t PartCount;             // slots, used or free
  TrkRec Trk[kArrTracks];
  uint32_t ListHead[kArrTracks];  // first slot of each track's list, or kArrNoSlot
};
static_assert(sizeof(ArrRec) == 13316);
static_assert(offsetof(ArrRec, Trk) == 4);
static_assert(offsetof(ArrRec, ListHead) == 12292);

// Bytes of an arrangement block with n slots.
constexpr uint32_t ArrBlockSize(uint32_t n) { return BlockBytes<ArrRec, PartRec>(n); }

// Slot `slot` of the arrangement; null when the slot does not exist.
inline PartRec* ArrPart(ArrRec* arr, uint32_t slot) {
  return arr ? BlockSlot<PartRec>(arr, arr->PartCount, slot) : nullptr;
}
inline const PartRec* ArrPart(const ArrRec* arr, uint32_t slot) {
  return ArrPart(const_cast<ArrRec*>(arr), slot);
}

// The one rule of every walk along a Part list: calls fn(slot, part) from
// `first` while fn returns true, and ends at the end of the list, at an index
// outside the block, at a free slot (start kPartFreeStart, which no list may
// hold: a repair must never see fewer Parts than a query hands out) and after
// one step per slot, so a damaged chain neither crashes nor hangs it. With
// `nextFirst` each next link is read before the call, so that fn may take the
// Part out of its list. A is ArrRec or const ArrRec.
template <bool nextFirst = false, typename A, typename Fn>
void ArrWalkList(A* arr, uint32_t first, Fn fn) {
  if (arr == nullptr) return;
  uint32_t slot = first;
  for (uint32_t steps = 0; steps < arr->PartCount; ++steps) {
    auto* part = ArrPart(arr, slot);
    if (part == nullptr || part->Start == kPartFreeStart) return;
    const uint32_t next = part->Next;
    if (!fn(slot, *part)) return;
    slot = nextFirst ? next : part->Next;
  }
}

// Calls fn(slot, part) for every Part of the track's list, in list order,
// by the rule of ArrWalkList.
template <typename Fn> void ArrForEachTrackPart(const ArrRec* arr, uint32_t track, Fn fn) {
  if (arr == nullptr || track >= kArrTracks) return;
  ArrWalkList(arr, arr->ListHead[track], [&fn](uint32_t slot, const PartRec& part) {
    fn(slot, part);
    return true;
  });
}

// Calls fn(track, slot, part) for every Part of every track.
template <typename Fn> void ArrForEachPart(const ArrRec* arr, Fn fn) {
  for (uint32_t track = 0; track < kArrTracks; ++track)
    ArrForEachTrackPart(arr, track, [&](uint32_t slot, const PartRec& part) { fn(track, slot, part); });
}

struct MrkList;

// The current arrangement: the one the arrange windows show; null until the
// program makes one. It, and every undo copy, comes from ArrHeap (arrheap.h).
extern ArrRec* CurArr;

// Every operation below accepts a damaged block: a slot index read from a
// record (list head, next link, overlap or crossfade link) is checked against
// the slot count before use, and a walk along a list takes at most one step
// per slot, so a cycle ends it. Slots and tracks given by a caller are
// checked the same way; an index out of range reads as "no Part".
// Operations that report an error store a string id in *error when error is
// not null; they never show a message themselves.

// ---- List primitives ----

// A new empty arrangement (slot count 0, every list empty) from ArrHeap;
// null and error 192 when the heap has no room.
ArrRec* ArrNew(uint32_t* error);

// 1 when k more Parts fit: the free slots count first, and the slot count
// plus the remainder may not pass kArrMaxParts (else 0, error 216). With
// `grow` the block is grown to hold them (0, error 193 and *arr unchanged
// when it cannot). The slot count does not change.
int ArrReserveParts(ArrRec** arr, uint32_t k, int grow, uint32_t* error);

// Copies `part` into the lowest free slot, or a new last slot (the block may
// grow, so *arr may move), and links it into the track's list after every
// Part starting at or before it. The slot is stored in *slot when slot is
// not null. 0 with error 193 when the block cannot grow, 216 when every one
// of kArrMaxParts slots is used, 145 for a track outside 0..255 or a
// record whose start is kPartFreeStart (it would read as a free slot).
int ArrInsertPart(ArrRec** arr, const PartRec& part, uint32_t* slot, uint32_t track,
                  uint32_t* error);

// Takes the slot out of the track's list (track kArrNoSlot: out of whichever
// list holds it) and frees it (start kPartFreeStart, next kArrNoSlot); 0 when
// no list searched holds it.
int ArrUnlinkPart(ArrRec* arr, uint32_t slot, uint32_t track);

// ---- Queries ----

// A visible stretch of one Part: samples [Start, Start + Length) of the
// track where no Part of a higher layer covers it. Part -1: none.
struct ArrSection {
  int32_t Part;
  int32_t Start;
  int32_t Length;
};

// The Part of the highest layer covering `position` (the first in list order
// among equal layers); -1 when none. *under (when not null) receives the Part
// that was the best before it, or, when none covered the position before it,
// the Part just before it in the list; -1 when there is none or no Part
// covers the position.
int32_t ArrTopPartAtLoc(const ArrRec* arr, uint32_t track, int32_t position, int32_t* under);

// The track whose list holds the slot; -1 when none.
int32_t ArrTrackOfPart(const ArrRec* arr, uint32_t slot);

// 1 when the Part's span [start, start + length) overlaps [from, to): one
// span's start lies in the other, or one span's end lies in (start, end] of
// the other, or one contains the other.
int PartOverlapsRange(int32_t from, int32_t to, const PartRec& part);

// 1 when some sample of [from, to) is not covered by another Part of the
// track with a higher layer than the Part in `slot`.
int PartSpanIsVisible(const ArrRec* arr, uint32_t track, uint32_t slot, int32_t from, int32_t to);

// Clear flag bit 5 (kPartTempMark), respectively bit 6 (kPartPassMark), of
// every slot.
void ArrClearTempMarks(ArrRec* arr);
void ArrClearWriteMarks(ArrRec* arr);

// The arrange view values a Part rectangle depends on.
struct ArrRectView {
  int32_t Origin;      // view origin: a position p is drawn at (p + 44100 - Origin) / Hzoom
  int32_t Hzoom;       // samples per pixel; below 1 counts as 1
  int32_t FirstTrack;  // track in the top row
  int32_t RowHeight;   // pixels of a track row, without the 2-pixel gap
  int32_t TopMargin;   // pixels above the first row
};

struct ArrRectPx {
  int32_t Left;
  int32_t Top;
  int32_t Right;
  int32_t Bottom;
};

// Where a Part of `track` lies in the arrange Part area: left and right from
// its start and end in 64-bit arithmetic, kept within -32768..32767; top =
// (track - FirstTrack) x (RowHeight + 2) + TopMargin + 1, bottom = top +
// RowHeight + 1.
ArrRectPx ArrPartToRectCalc(int32_t track, const PartRec& part, const ArrRectView& view);

// Selected Parts of the kind selection: mode 0 all, 1 only Parts of the Take
// kind, 2 all but that kind.
enum : int32_t { kArrCountAll = 0, kArrCountKind = 1, kArrCountNotKind = 2 };
uint32_t ArrCountSelParts(const ArrRec* arr, int32_t mode, uint32_t kind);

// 1 when no Part uses the Take.
int ArrTakeIsUnreferenced(const ArrRec* arr, uint32_t take);
// 1 when no other Part uses the Take of the Part in `slot`.
int ArrPartTakeIsUnshared(const ArrRec* arr, uint32_t slot);
// 1 when some selected Part uses a Take that no unselected Part uses.
int ArrSelHasUnsharedTakes(const ArrRec* arr);
// Moves, once each, the Takes of the selected Parts that no unselected Part
// uses into their "qvReBin" folder (TakeMoveToReBin), telling the file
// manager first when `notify` is set. Returns how many were moved.
uint32_t ArrReBinUnsharedSelTakes(const ArrRec* arr, int notify);

// Snaps *start and *end each to the edit grid (SnapLoc with length 0 and the
// given snap arguments) when the grid point is at most `distance` samples
// away; a start moved by d moves *offset (the Take offset) by d as well.
void SnapRangeToGrid(int32_t distance, int32_t* start, int32_t* end, int32_t* offset,
                     int32_t direction, const ArrRec* arr, const MrkList* markers,
                     int32_t exclusion, int32_t noDistanceLimit);

// Fills mask[0..255] with the tracks an operation applies to: when a Part of
// CurArr is selected the user is asked whether only tracks with selected
// Parts count; Yes gives 1 for each such track and 0 elsewhere; No, or no
// selection, gives 1 everywhere.
void AskTrksWithSelParts(uint8_t mask[kArrTracks]);

// Value at `position` of a fade from `from` to `to` over `length` samples
// along curve 0..7: `from` at positions below 1 or when from = to, `to` at
// positions >= length. A falling fade takes the pair of curves 2..7 (2 with
// 3, 4 with 5, 6 with 7), so a fade-out mirrors the fade-in.
int32_t FadeCurveValue(int32_t position, int32_t curve, int32_t from, int32_t to, int32_t length);

// The visible section of the Part in `slot` that contains `position`: 1 and
// the section, or 0 and {-1, 0, 0}. Reads the overlap links, which must be
// current (ArrRelinkOverlaps).
int PartVisibleEnd(const ArrRec* arr, uint32_t slot, int32_t position, ArrSection* section);

// The next visible section of the track after *section, in time order; start
// with section->Part = -1. 0 and {-1, 0, 0} after the last. Sections never
// overlap, and each starts where the one before it ended or later.
int ArrNxtVisibleSection(const ArrRec* arr, uint32_t track, ArrSection* section);

// Neighbours of the selection on one track; -1 when none.
// The first selected Part; a selected Part with the same start and a higher
// layer that follows it replaces it.
int32_t TrkFirstSelPart(const ArrRec* arr, uint32_t track);
// The selected Part with the latest end; on equal ends the later in list
// order unless its layer is lower.
int32_t TrkLastSelPart(const ArrRec* arr, uint32_t track);
// The Part of the highest layer (first on ties) that starts before the first
// selected Part and ends exactly at its start.
int32_t TrkPartBeforeSel(const ArrRec* arr, uint32_t track);
// The Part of the highest layer (first on ties) after TrkLastSelPart in list
// order that starts exactly at its end.
int32_t TrkPartAfterSel(const ArrRec* arr, uint32_t track);
// The first Part starting at `position` whose first sample is visible.
int32_t TrkPartStartingAt(const ArrRec* arr, uint32_t track, int32_t position);
// The first Part ending at `position` whose last sample is visible.
int32_t TrkPartEndingAt(const ArrRec* arr, uint32_t track, int32_t position);

// ---- Channel links ----

// 1 when the two Parts may be channel partners on adjacent tracks: equal
// start, length and layer, both Audio, Takes of equal bytes per sample.
int PartsAreChannelPartners(const PartRec& a, const PartRec& b);
// 1 when flag bit 1 or 2 is set.
int PartIsChannelLinked(const PartRec& part);
// 1 when flag bit 2 is clear.
int PartIsLinkHead(const PartRec& part);

// The head of the link group of the Part in `slot` on `track`, and its track
// in *headTrack; -1 when a link of the chain up is broken.
int32_t ArrLinkHead(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* headTrack);
// The partner on the next (previous) track, and that track in *outTrack; -1
// when none.
int32_t ArrLinkNxt(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* outTrack);
int32_t ArrLinkPrv(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* outTrack);
// Parts (channels) in the group, and the head's track in *headTrack; 0 when
// the head cannot be found.
uint32_t ArrLinkCount(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t* headTrack);
// The group's slots from the head down, ended by kArrNoSlot, in a block from
// ArrSlotListAlloc; null when the head cannot be found or there is no memory.
uint32_t* ArrLinkList(const ArrRec* arr, uint32_t slot, uint32_t track);
void ArrLinkListFree(uint32_t* list);
// In a group of three or more channels: cuts the pair of positions {2j,
// 2j + 1} (from 0 at the head) that holds the Part out of the group, the
// pair staying linked (a last single channel stays alone). 1 when a link was
// cleared.
int ArrBreakChannelLink(ArrRec* arr, uint32_t slot, uint32_t track);
// 1 when a track with a record track, or a Part, has both link bits: the
// middle of a group of three or more.
int ArrHasMultiChanLinks(const ArrRec* arr);
// 1 when a track with a record track records Midi, or a Part is Midi.
int ArrHasMidi(const ArrRec* arr);
// 1 when a Midi Part's Take has a tick resolution (its length counts ticks).
int ArrHasTempoMidiParts(const ArrRec* arr);

// ---- Overlaps and layers ----

// Recomputes every overlap link: a Part's link names the first other Part of
// its list that overlaps it, kArrNoLink when none.
void ArrRelinkOverlaps(ArrRec* arr);
// The same for one track, only for the Parts from the first that overlaps
// [from, to) up to the range's end.
void TrkFindOverlap(uint32_t track, ArrRec* arr, int32_t from, int32_t to);
// The highest layer of the track's Parts overlapping [from, to), with
// `onlyPlayed` only of those whose play channel is not negative; -1 when none.
int32_t TrkTopLayerInRange(uint32_t track, const ArrRec* arr, int32_t from, int32_t to,
                           int onlyPlayed);
// 1 when a Part (a selected Part) has an overlap link.
int ArrHasOverlaps(const ArrRec* arr, int selectedOnly);
// Raises the selected Parts above every unselected Part they overlap,
// keeping their own order; with `onlyOnConflict` only when one of those
// shares a selected Part's layer. `firstPass` first lifts a selected Part
// that shares its layer with another selected Part it overlaps. 1 when
// layers changed; nothing changes (0) when a layer would pass 32767.
int ArrRaiseSelLayers(ArrRec* arr, int onlyOnConflict, int firstPass);

// ---- Crossfades ----

// 1 when a Part has a crossfade partner; with `remove` every crossfade link
// is cleared as well.
int ArrHasXfades(ArrRec* arr, int remove);
// Makes the crossfade links of the Part in `slot` mutual again after an edit.
void PartCheckXfade(ArrRec* arr, uint32_t slot);
// Clears every crossfade link that does not form a valid pair, marking its
// Part with kPartTempMark when `mark` is set.
void ArrCheckXfades(ArrRec* arr, int mark);
// 1 when either Part names the other as a crossfade partner.
int PartsAreXfadePartners(const ArrRec* arr, uint32_t a, uint32_t b);
// The Part's crossfade-in partner when the position lies in [start of the
// Part, end of the partner); else its crossfade-out partner when it lies in
// [start of the partner, end of the Part); else -1.
int32_t PartCoveringLoc(const ArrRec* arr, uint32_t slot, int32_t position);

// ---- Selection and extent ----

// The slots of every selected Part, track 0 first and in list order, ended
// by kArrNoSlot, in a block from ArrSlotListAlloc; null when there is no
// memory.
uint32_t* ArrSelPartList(const ArrRec* arr);
void ArrSelPartListFree(uint32_t* list);

// The smallest start of the tracks' first Parts; 0 when there is none.
int32_t ArrStartLoc(const ArrRec* arr);
// The largest end of any Part (at most 0x7FFFFFFF); 0 when there is none.
int32_t ArrEndLoc(const ArrRec* arr);

// The nearest edge of a visible section of CurArr after (forward) or before
// the position; the position itself when there is none.
int32_t ArrNxtSectionEdge(int32_t position, int forward);
