#include "arrcopy.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mixer/arrange/partlink.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/marker.h"
#include "mixer/model/musical.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/taketime.h"
#include "mixer/model/tempomap.h"

ArrTempoState ArrPrevTempo = {nullptr, 0, 0};

namespace {

constexpr int32_t kNoOverlapMode = 40892;
constexpr int32_t kAutoMuteMode = 40896;
// The last sample a placed Part may end at, and what an end beyond 32 bits
// becomes (so that it fails the range check).
constexpr int64_t kLastEnd = 2147419647;
constexpr int64_t kOverflowEnd = 2147419648;
constexpr int32_t kMutedChannelShift = 192;

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

struct TempoFrame {
  const TempoMapRec* Map;
  uint32_t Tempo;
  uint32_t Rate;
};

TempoFrame CurrentTempo() { return {TempoMap, Settings().Tempo, Settings().SampleRate}; }

TempoFrame SourceTempo(int oldTempo) {
  TempoFrame cur = CurrentTempo();
  if (!oldTempo) return cur;
  return {ArrPrevTempo.Map, ArrPrevTempo.Tempo ? ArrPrevTempo.Tempo : cur.Tempo,
          ArrPrevTempo.Rate ? ArrPrevTempo.Rate : cur.Rate};
}

bool FollowsTempo(const PartRec& part) {
  return part.TakeKind == kTakeMidi &&
         TakeGetAttr(TakeFromRef(part.Take), kTakeAttrTickResolution) != 0;
}

// A position carried through ticks from the source frame to the current one.
int64_t Retime(const TempoFrame& from, const TempoFrame& to, double tickShift, int64_t position) {
  double ticks = LocToTicks(from.Map, from.Tempo, from.Rate, position) + tickShift;
  if (from.Map != to.Map) ticks = double(RescaleTicks(to.Map, from.Map, std::llround(ticks)));
  return TicksToLoc(to.Map, to.Tempo, to.Rate, ticks);
}

// The end of the Part's Take on the time line when the Part starts at
// `start` with `offset`; no limit when the Take is not open.
int64_t TakeEndAt(const PartRec& part, int64_t start, int64_t offset) {
  TakeRec* take = TakeFromRef(part.Take);
  if (take == nullptr) return INT64_MAX;
  const int64_t takeStart = start - offset;
  return takeStart + TakeLenAtKind(take, part.TakeKind, Clamp32(takeStart));
}

struct Listed {
  uint32_t Slot;
  uint32_t Track;
};

// Where one source Part lands.
struct Placement {
  int64_t Start;
  int64_t End;
  int32_t Offset;
  int32_t SnapPoint;
  uint32_t Track;
  uint32_t Error;  // 0, or 186 out of range
};

struct CopyJob {
  DcHandle Dc;
  ArrRec* Dest;
  ArrRec* Src;
  bool Same;
  int32_t TrackOffset;
  bool Copy, Snap, Shift, KeepGoing, OldTempo, Channel;
  bool Retiming;             // tempo-following Midi Parts keep their musical position
  int32_t EarliestStart;     // of the selected source Parts
  int64_t TimeOffset;
  std::vector<Listed> Parts;  // the selected source Parts, track by track
};

Placement Place(const CopyJob& job, const PartRec& part, uint32_t srcTrack) {
  Placement pl{};
  const int64_t track = int64_t{srcTrack} + job.TrackOffset;
  pl.Track = static_cast<uint32_t>(std::clamp<int64_t>(track, 0, kArrTracks - 1));
  pl.Offset = part.Offset;
  pl.SnapPoint = part.SnapPoint;
  int32_t start = 0, end = 0;
  if (job.Retiming &&
      ArrRetimeMidiPart(job.OldTempo, part,
                        ArrTickShift(job.EarliestStart, Clamp32(job.TimeOffset)), &start, &end,
                        &pl.SnapPoint, &pl.Offset)) {
    pl.Start = start;
    pl.End = std::min<int64_t>(end, TakeEndAt(part, start, pl.Offset));
  } else {
    pl.Start = int64_t{part.Start} + job.TimeOffset;
    pl.End = pl.Start + part.Length;
    if (pl.End > INT32_MAX) pl.End = kOverflowEnd;
  }
  if (job.Snap && pl.Start >= 0 && pl.Start <= INT32_MAX && pl.End <= INT32_MAX) {
    start = static_cast<int32_t>(pl.Start);
    end = static_cast<int32_t>(pl.End);
    SnapRangeToGrid(INT32_MAX, &start, &end, &pl.Offset, kSnapNearest, job.Dest, CurMrkList,
                    kSnapOnlyUnselParts, 0);
    // A start snapped before the Take's first sample goes back to it.
    if (pl.Offset < 0) {
      start -= pl.Offset;
      pl.Offset = 0;
    }
    pl.Start = start;
    pl.End = std::min<int64_t>(end, TakeEndAt(part, start, pl.Offset));
  }
  if (pl.Start < 0 || pl.End > kLastEnd || track < 0 || track >= kArrTracks)
    pl.Error = IDS_PARTS_OUT_OF_RANGE;
  return pl;
}

// The first Part of the destination track that blocks the range: any Part
// when copying, else one that does not move with the selection; within one
// arrangement never a crossfade partner of the source Part. -1 when none.
int32_t FindBlocker(const CopyJob& job, const Placement& pl, uint32_t srcSlot, bool anyBlocks) {
  int32_t blocker = -1;
  arrlist::WalkTrack(job.Dest, pl.Track, [&](uint32_t slot, const PartRec& other) {
    if (other.Start > pl.End) return false;
    if (!arrlist::SpansOverlap(pl.Start, pl.End, other.Start, arrlist::End64(other))) return true;
    if (!anyBlocks && arrlist::IsSelected(other)) return true;
    if (job.Same && PartsAreXfadePartners(job.Dest, srcSlot, slot)) return true;
    blocker = static_cast<int32_t>(slot);
    return false;
  });
  return blocker;
}

bool BlocksInCheck(const CopyJob& job) { return job.Copy || !job.Same; }

// The time offset that makes the range meet the blocker: its end at the
// blocker's start when it starts before it, else its start at the
// blocker's end. False when the range would then start before 0.
bool ShiftPast(CopyJob& job, const Placement& pl, const PartRec& blocker) {
  int64_t offset = job.TimeOffset;
  if (pl.Start < blocker.Start) {
    const int64_t by = pl.End - blocker.Start;
    if (pl.Start - by < 0) return false;
    offset -= by;
  } else {
    offset += arrlist::End64(blocker) - pl.Start;
  }
  if (offset < INT32_MIN || offset > INT32_MAX) return false;
  job.TimeOffset = offset;
  return true;
}

// The placement check before anything changes. 0, or the error that stops
// the copy (never with keepGoing, which lets placement skip the Part).
uint32_t CheckPlacement(CopyJob& job) {
  const bool checkOverlap = EditOverlapMode == kNoOverlapMode;
  int64_t lastShifter = -1;
  for (size_t i = 0; i < job.Parts.size();) {
    const Listed& item = job.Parts[i];
    const PartRec& part = *ArrPart(job.Src, item.Slot);
    const Placement pl = Place(job, part, item.Track);
    uint32_t error = pl.Error;
    if (error == 0 && checkOverlap) {
      const int32_t b = FindBlocker(job, pl, item.Slot, BlocksInCheck(job));
      if (b >= 0) {
        // Each Part may shift the offset once; a shift restarts the check.
        if (job.Shift && int64_t(i) > lastShifter && ShiftPast(job, pl, *ArrPart(job.Dest, b))) {
          lastShifter = int64_t(i);
          i = 0;
          continue;
        }
        error = IDS_PARTS_CANNOT_OVERLAP;
      }
    }
    if (error != 0 && !job.KeepGoing) return error;
    ++i;
  }
  return 0;
}

void ListSelected(CopyJob& job) {
  arrlist::WalkAll(job.Src, [&](uint32_t track, uint32_t slot, const PartRec& part) {
    if (!arrlist::IsSelected(part)) return;
    job.Parts.push_back({slot, track});
    job.EarliestStart = std::min(job.EarliestStart, part.Start);
  });
}

// Marks every other Part of the track that shares a sample with the Part.
void MarkOverlapping(ArrRec* arr, uint32_t track, uint32_t slot) {
  const PartRec part = *ArrPart(arr, slot);
  arrlist::WalkTrack(arr, track, [&](uint32_t s, PartRec& other) {
    if (other.Start > arrlist::End64(part)) return false;
    if (s != slot && arrlist::PartsOverlap(part, other)) other.Flags |= kPartTempMark;
    return true;
  });
}

bool OverlapsSameLayer(const ArrRec* arr, uint32_t track, uint32_t slot) {
  const PartRec part = *ArrPart(arr, slot);
  bool found = false;
  arrlist::WalkTrack(arr, track, [&](uint32_t s, const PartRec& other) {
    if (other.Start > arrlist::End64(part)) return false;
    found = s != slot && other.Layer == part.Layer && arrlist::PartsOverlap(part, other);
    return !found;
  });
  return found;
}

struct PlaceResult {
  std::vector<uint32_t> NewSlot;  // by source slot; kArrNoSlot when not placed
  std::vector<Listed> Placed;     // the copies, in placement order
  bool Skipped = false;
  bool RaiseLayers = false;
  bool Retimed = false;
};

// Places one listed Part; false when it was skipped.
bool PlaceOne(CopyJob& job, const Listed& item, PlaceResult& result) {
  const PartRec source = *ArrPart(job.Src, item.Slot);
  const Placement pl = Place(job, source, item.Track);
  if (pl.Error != 0 ||
      (EditOverlapMode == kNoOverlapMode && FindBlocker(job, pl, item.Slot, false) >= 0))
    return false;
  if (job.Copy)
    ArrPart(job.Src, item.Slot)->Flags &= ~kPartSelected;
  else
    ArrUnlinkPart(job.Src, item.Slot, item.Track);
  const int64_t length = pl.End - pl.Start;
  if (length <= 0) return true;
  PartRec part = source;
  part.Start = static_cast<int32_t>(pl.Start);
  part.Offset = pl.Offset;
  part.Length = static_cast<int32_t>(length);
  part.SnapPoint = pl.SnapPoint > 0 && pl.SnapPoint < length ? pl.SnapPoint : 0;
  part.Flags |= kPartSelected | (job.Dc ? uint32_t{kPartTempMark} : 0u);
  part.OverlapLink = kArrNoLink;
  part.Next = kArrNoSlot;
  uint32_t slot = kArrNoSlot;
  // Room was reserved (or, moving within one arrangement, the source's slot
  // was just freed), so the insertion cannot fail for want of a slot.
  if (!ArrInsertPart(&job.Dest, part, &slot, pl.Track, nullptr)) return false;
  if (job.Same) job.Src = job.Dest;
  result.NewSlot[item.Slot] = slot;
  result.Placed.push_back({slot, pl.Track});
  result.Retimed |= job.Retiming && FollowsTempo(source);
  result.RaiseLayers |=
      job.TrackOffset != 0 || !job.Same || OverlapsSameLayer(job.Dest, pl.Track, slot);
  return true;
}

uint16_t Renumber(uint16_t link, const std::vector<uint32_t>& newSlot, bool clearUnplaced) {
  if (link == kArrNoLink) return link;
  if (link < newSlot.size() && newSlot[link] != kArrNoSlot) return static_cast<uint16_t>(newSlot[link]);
  return clearUnplaced ? kArrNoLink : link;
}

// Crossfade partners named by old slot numbers get the new ones: in the
// copies, and, when Parts moved within one arrangement, in every Part.
void RenumberPartners(CopyJob& job, const PlaceResult& result) {
  std::vector<bool> placed(job.Dest->PartCount, false);
  for (const Listed& p : result.Placed) {
    placed[p.Slot] = true;
    PartRec& part = *ArrPart(job.Dest, p.Slot);
    part.XfadeInPartner = Renumber(part.XfadeInPartner, result.NewSlot, !job.Same);
    part.XfadeOutPartner = Renumber(part.XfadeOutPartner, result.NewSlot, !job.Same);
  }
  if (!job.Same || job.Copy) return;
  arrlist::WalkAll(job.Dest, [&](uint32_t, uint32_t slot, PartRec& part) {
    if (placed[slot]) return;
    part.XfadeInPartner = Renumber(part.XfadeInPartner, result.NewSlot, false);
    part.XfadeOutPartner = Renumber(part.XfadeOutPartner, result.NewSlot, false);
  });
}

// Every member of the Part's link group lies on a track that records its
// kind.
bool GroupTracksRecordKind(const ArrRec* arr, uint32_t slot, uint32_t track, uint32_t kind) {
  auto records = [&](uint32_t t) { return arr->Trk[t].RecTrack != 0 && arr->Trk[t].RecKind == kind; };
  if (!PartIsChannelLinked(*ArrPart(arr, slot))) return records(track);
  uint32_t t = 0;
  int32_t member = ArrLinkHead(arr, slot, track, &t);
  if (member < 0) return false;
  for (uint32_t steps = 0; member >= 0 && steps < kArrTracks; ++steps) {
    if (!records(t)) return false;
    member = ArrLinkNxt(arr, static_cast<uint32_t>(member), t, &t);
  }
  return true;
}

void AdoptRecTrackChannels(ArrRec* arr, const std::vector<Listed>& placed) {
  for (const Listed& p : placed) {
    PartRec* part = arrlist::UsedPart(arr, p.Slot);
    if (part == nullptr || !arrlist::IsSelected(*part)) continue;
    const TrkRec& trk = arr->Trk[p.Track];
    if (trk.RecTrack == 0 || part->TakeKind != trk.RecKind ||
        !GroupTracksRecordKind(arr, p.Slot, p.Track, part->TakeKind))
      continue;
    const int32_t muted = part->PlayChannel > kMutedChannelShift ? kMutedChannelShift : 0;
    part->PlayChannel = static_cast<int32_t>(trk.RecTrack) + muted;
  }
}

// Marks the Parts of a lower layer under each selected Part.
void MarkUnderSelected(ArrRec* arr) {
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t, const PartRec& part) {
    if (!arrlist::IsSelected(part)) return;
    arrlist::WalkTrack(arr, track, [&](uint32_t, PartRec& other) {
      if (other.Start > arrlist::End64(part)) return false;
      if (other.Layer < part.Layer && arrlist::PartsOverlap(part, other)) other.Flags |= kPartTempMark;
      return true;
    });
  });
}

// The selection ends as KeepSel; each selected Part first mutes the Parts
// that share its play channel on other tracks.
void FinishSelection(DcHandle dc, ArrRec* arr) {
  std::vector<Listed> selected;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, const PartRec& part) {
    if (arrlist::IsSelected(part)) selected.push_back({slot, track});
  });
  for (const Listed& s : selected) {
    if (EditMultiOutMode == kAutoMuteMode) ArrMuteSameOutputOverlaps(arr, s.Slot, s.Track, dc, KeepSel == 0);
    PartRec& part = *ArrPart(arr, s.Slot);
    part.Flags = KeepSel ? (part.Flags | kPartSelected) : (part.Flags & ~kPartSelected);
  }
}

uint32_t ReserveRoom(CopyJob& job) {
  if (!job.Copy && job.Same) return 0;
  uint32_t error = 0;
  if (!ArrReserveParts(&job.Dest, static_cast<uint32_t>(job.Parts.size()), 1, &error))
    return error == IDS_MAX_PARTS_REACHED ? error : uint32_t{IDS_GLOBAL_ALLOC_FAILED};
  if (job.Same) job.Src = job.Dest;
  return 0;
}

void EraseMovingParts(CopyJob& job) {
  if (job.Dc == nullptr || job.Copy || !job.Same) return;
  for (const Listed& item : job.Parts) {
    ArrErasePart(job.Dc, job.Dest, item.Slot, item.Track, 0);
    MarkOverlapping(job.Dest, item.Track, item.Slot);
  }
}

void Finish(CopyJob& job, const PlaceResult& result) {
  ArrRec* arr = job.Dest;
  RenumberPartners(job, result);
  ArrRelinkOverlaps(arr);
  if (result.RaiseLayers) ArrRaiseSelLayers(arr, 1, 1);
  // With a window to draw in, the copies' crossfade links are made mutual
  // again before the check drops (and marks) what is left invalid.
  if (job.Dc != nullptr)
    for (const Listed& p : result.Placed) PartCheckXfade(arr, p.Slot);
  ArrCheckXfades(arr, job.Dc != nullptr);
  if (job.Channel) AdoptRecTrackChannels(arr, result.Placed);
  if (job.Dc != nullptr) {
    if (result.Retimed) MarkUnderSelected(arr);
    ArrRedrawMarked(job.Dc, arr);
  }
  FinishSelection(job.Dc, arr);
  if (job.KeepGoing) ArrCheckPartLinks(arr, 1, job.Dc);
}

}  // namespace

double ArrTickShift(int32_t position, int32_t offset) {
  if (TempoMap == nullptr || offset == 0) return 0.0;
  const TempoFrame cur = CurrentTempo();
  return LocToTicks(cur.Map, cur.Tempo, cur.Rate, int64_t{position} + offset) -
         LocToTicks(cur.Map, cur.Tempo, cur.Rate, position);
}

int ArrRetimeMidiPart(int oldTempo, const PartRec& part, double tickShift, int32_t* start,
                      int32_t* end, int32_t* snapPoint, int32_t* offset) {
  if (!FollowsTempo(part)) return 0;
  const TempoFrame from = SourceTempo(oldTempo), to = CurrentTempo();
  auto retime = [&](int64_t position) { return Retime(from, to, tickShift, position); };
  const int64_t newStart = retime(part.Start);
  if (start) *start = Clamp32(newStart);
  if (end) *end = Clamp32(retime(arrlist::End64(part)));
  if (snapPoint)
    *snapPoint = part.SnapPoint == 0 ? 0 : Clamp32(retime(int64_t{part.Start} + part.SnapPoint) - newStart);
  if (offset) *offset = Clamp32(newStart - retime(int64_t{part.Start} - part.Offset));
  return 1;
}

ArrRec* ArrCopyParts(DcHandle dc, ArrRec* dest, ArrRec* src, int32_t* timeOffset,
                     int32_t trackOffset, int copy, int snap, int shiftOnOverlap, int keepGoing,
                     int oldTempo, int channel, uint32_t* error) {
  auto fail = [&](uint32_t id) {
    if (error) *error = id;
    return dest;
  };
  if (error) *error = 0;
  if (dest == nullptr || src == nullptr || timeOffset == nullptr) return fail(IDS_INTERNAL_CODE_ERROR);

  CopyJob job{dc, dest, src, dest == src, trackOffset, copy != 0, snap != 0, shiftOnOverlap != 0,
              keepGoing != 0, oldTempo != 0, channel != 0, false, INT32_MAX, *timeOffset, {}};
  job.Retiming = TempoMap != nullptr || job.OldTempo;
  if (dc) ArrClearTempMarks(job.Dest);
  ListSelected(job);
  if (job.Parts.empty()) return dest;

  if (uint32_t e = CheckPlacement(job)) return fail(e);
  if (uint32_t e = ReserveRoom(job)) return fail(e);
  *timeOffset = static_cast<int32_t>(job.TimeOffset);
  EraseMovingParts(job);

  PlaceResult result;
  result.NewSlot.assign(job.Src->PartCount, kArrNoSlot);
  for (const Listed& item : job.Parts)
    if (!PlaceOne(job, item, result)) result.Skipped = true;
  Finish(job, result);
  if (result.Skipped && error) *error = IDS_APPENDED_PARTS_REMOVED;
  return job.Dest;
}
