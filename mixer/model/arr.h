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

// Calls fn(slot, part) for every Part of the track's list, in list order. A
// damaged chain (an index out of range, or a cycle) ends the walk: no list
// is longer than the slot count.
template <typename Fn> void ArrForEachTrackPart(const ArrRec* arr, uint32_t track, Fn fn) {
  if (arr == nullptr || track >= kArrTracks) return;
  WalkChain(arr->ListHead[track], arr->PartCount, [arr](uint32_t i) { return ArrPart(arr, i); }, fn);
}

// Calls fn(track, slot, part) for every Part of every track.
template <typename Fn> void ArrForEachPart(const ArrRec* arr, Fn fn) {
  for (uint32_t track = 0; track < kArrTracks; ++track)
    ArrForEachTrackPart(arr, track, [&](uint32_t slot, const PartRec& part) { fn(track, slot, part); });
}
