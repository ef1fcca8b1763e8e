#include "mixer/arrange/dragops.h"

#include <algorithm>
#include <memory>

#include "editpriv.h"
#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/partlink.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/options.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"

namespace {

constexpr uint32_t kUndoCopy = 92;
constexpr uint32_t kUndoTrim = 104;
constexpr int32_t kNoOverlapEditMode = 40892;  // EditOverlapMode: Parts of a track may not overlap

int64_t TakeSamples(const PartRec& p) {
  TakeRec* t = TakeFromRef(p.Take);
  return t ? static_cast<int64_t>(TakeGetAttr(t, kTakeAttrLength)) : int64_t{p.Offset} + p.Length;
}

}  // namespace

int ArrMoveCopyDragEnd(DcHandle dc, ArrMoveDragRec* rec, int pressX, int pressY, int x, int y, int inside,
                       int transportState) {
  std::unique_ptr<ArrMoveDragRec> own(rec);
  if (rec == nullptr || !inside) return 0;
  const ArrViewRec& v = ArrView();
  int64_t first = 0;
  const int64_t start = ArrMoveDragTarget(*rec, pressX, x, &first);
  if (start == INT64_MIN) return 0;
  const int32_t timeOffset = static_cast<int32_t>(start - first);
  const int32_t row = std::clamp(ArrTrackAtY(v, y), 0, static_cast<int32_t>(kArrTracks) - 1);
  const int32_t pressRow = std::clamp(ArrTrackAtY(v, pressY), 0, static_cast<int32_t>(kArrTracks) - 1);
  const int32_t trackOffset = row - pressRow;
  own.release();
  return ArrMoveCopyDragEndBy(dc, rec, timeOffset, trackOffset, transportState);
}

int64_t ArrMoveDragTarget(const ArrMoveDragRec& rec, int pressX, int x, int64_t* first) {
  const std::vector<int32_t>& w = rec.Words;
  const ArrRec* src = rec.Source != nullptr ? rec.Source : CurArr;
  int64_t from = INT64_MAX;
  for (int32_t i = 0; i < w[kMoveDragCount]; ++i) {
    const PartRec* p = ArrPart(src, static_cast<uint32_t>(w[kMoveDragHeader + 5 * i]));
    if (p != nullptr && p->Start != kPartFreeStart) from = std::min<int64_t>(from, p->Start);
  }
  if (from == INT64_MAX) return INT64_MIN;
  *first = from;
  const int mode = w[kMoveDragMode];
  if (mode == 1) return from;
  int64_t start = from + int64_t{x - pressX} * std::max(ArrView().Hzoom, 1);
  start = std::clamp<int64_t>(start, 0, EndOfTime);
  if (mode == 2)
    start = SnapDragToTargets(static_cast<int32_t>(start), w[kMoveDragSpan], Locs().NowLoc, Locs().LeftLoc,
                              Locs().RightLoc);
  else
    start = SnapLoc(static_cast<int32_t>(start), w[kMoveDragSpan], 0, CurArr, CurMrkList, 0, 0);
  return std::max<int64_t>(start, 0);
}

int ArrSlipDragShift(const ArrSlipDragRec& rec, int x) {
  if (rec.Words.size() < 5) return 0;
  const int32_t hz = std::max(ArrView().Hzoom, 1);
  const int64_t dx = int64_t{x} - rec.Words[1];
  const int64_t most = std::max(dx < 0 ? rec.Words[4] : rec.Words[3], 0) / hz;
  return static_cast<int>(dx < 0 ? -std::min(-dx, most) : std::min(dx, most));
}

int ArrMoveCopyDragEndBy(DcHandle dc, ArrMoveDragRec* rec, int32_t timeOffset, int32_t trackOffset,
                         int transportState) {
  std::unique_ptr<ArrMoveDragRec> own(rec);
  if (rec == nullptr) return 0;
  const std::vector<int32_t>& w = rec->Words;
  ArrRec* src = rec->Source != nullptr ? rec->Source : CurArr;
  const int op = w[kMoveDragOp], copy = w[kMoveDragCopy];
  bool timelocked = false;
  for (int32_t i = 0; i < w[kMoveDragCount]; ++i) {
    const PartRec* p = ArrPart(src, static_cast<uint32_t>(w[kMoveDragHeader + 5 * i]));
    if (p != nullptr && p->Start != kPartFreeStart) timelocked = timelocked || (p->Flags & kPartTimelocked);
  }
  if (rec->Source != nullptr && transportState != kTransportStopped) return arredit::Refuse(IDS_NOT_DURING_PLAYBACK);
  if (!copy && op >= 3 && op <= 5 && timeOffset != 0 && timelocked) return arredit::Refuse(IDS_TIMELOCKED_NO_MOVE);
  if (timeOffset == 0 && trackOffset == 0 && !copy && rec->Source == nullptr) return 0;
  if (!arredit::BeginStep(copy ? kUndoCopy : IDS_UNDO_MOVE)) return 0;
  uint32_t error = 0;
  CurArr = ArrCopyParts(dc, CurArr, src, &timeOffset, trackOffset, copy, 0, 0, 0, 0, 1, &error);
  if (error != 0) {
    arredit::FailStep(error);
    ArrRedrawWindows();
    return 0;
  }
  ArrRedrawWindows();
  ArrEditWnd().UpdateScrollRanges();
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

ArrTrimDragRec* ArrTrimDragStart(DcHandle dc, int x, int y, int32_t position, int includeAdjacent) {
  ArrRec* arr = CurArr;
  if (includeAdjacent) {
    // The Part on each track that touches a selected Part's edge at the
    // position joins the trim.
    std::vector<std::pair<uint32_t, uint32_t>> join;
    arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& p) {
      if (arredit::Sel(p)) return;
      const bool endsHere = arredit::End(p) == position, startsHere = p.Start == position;
      if (!endsHere && !startsHere) return;
      bool touches = false;
      arrlist::WalkAll(arr, [&](uint32_t t2, uint32_t, PartRec& q) {
        if (t2 == track && arredit::Sel(q) &&
            ((endsHere && q.Start == position) || (startsHere && arredit::End(q) == position)))
          touches = true;
      });
      if (touches) join.push_back({track, slot});
    });
    for (const auto& j : join) {
      ArrPart(arr, j.second)->Flags |= kPartSelected;
      if (dc != nullptr) ArrDrawPart(dc, arr, j.second, j.first, 1, 0);
    }
  }
  auto rec = std::make_unique<ArrTrimDragRec>();
  rec->PressX = x;
  rec->PressY = y;
  rec->Edge = position;
  int64_t low = 0, high = EndOfTime;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    if (!arredit::Sel(p)) return;
    const int64_t takeStart = int64_t{p.Start} - p.Offset;
    if (p.Start == position) {
      rec->Parts.push_back({slot, track, 0});
      low = std::max(low, takeStart);
      high = std::min<int64_t>(high, arredit::End(p) - 1);
    } else if (arredit::End(p) == position) {
      rec->Parts.push_back({slot, track, 1});
      high = std::min(high, takeStart + TakeSamples(p));
      low = std::max<int64_t>(low, int64_t{p.Start} + 1);
    }
  });
  if (rec->Parts.empty()) return nullptr;
  // Parts of one track may not overlap: a start edge stays after the Parts
  // before it, an end edge before the next one, other than Parts trimmed
  // along with it.
  if (EditOverlapMode == kNoOverlapEditMode) {
    auto trimmed = [&](uint32_t slot) {
      return std::any_of(rec->Parts.begin(), rec->Parts.end(), [&](const ArrTrimEdge& e) { return e.Slot == slot; });
    };
    for (const ArrTrimEdge& e : rec->Parts) {
      const PartRec& p = *ArrPart(arr, e.Slot);
      arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& q) {
        if (track != e.Track || slot == e.Slot || trimmed(slot)) return;
        if (!e.End && q.Start < p.Start) low = std::max(low, arredit::End(q));
        if (e.End && q.Start > p.Start) high = std::min<int64_t>(high, q.Start);
      });
    }
  }
  if (low > high) return nullptr;
  rec->Low = static_cast<int32_t>(low);
  rec->High = static_cast<int32_t>(high);
  return rec.release();
}

int32_t ArrTrimDragTarget(const ArrTrimDragRec& rec, int x) {
  const ArrViewRec& v = ArrView();
  const int64_t p = int64_t{rec.Edge} + int64_t{x - rec.PressX} * std::max(v.Hzoom, 1);
  // The trimmed Parts are the selected ones: only the others' edges draw
  // the edge.
  int32_t edge = SnapLoc(static_cast<int32_t>(std::clamp<int64_t>(p, 0, EndOfTime)), 0, kSnapNearest, CurArr,
                         CurMrkList, kSnapOnlyUnselParts, 0);
  return std::max(std::clamp(edge, rec.Low, rec.High), 0);
}

int32_t ArrTrimDragKey(ArrTrimDragRec& rec, int right) {
  const int64_t from = rec.Nudged != INT32_MIN ? rec.Nudged : rec.Edge;
  const int64_t p = std::clamp<int64_t>(from + (right ? 1 : -1), 0, EndOfTime);
  // Snapped on in the key's direction: to the nearest point the edge would
  // often come straight back.
  const int32_t snapped =
      SnapLoc(static_cast<int32_t>(p), 0, right ? kSnapLater : kSnapEarlier, CurArr, CurMrkList, 0, 0);
  rec.Nudged = std::max(std::clamp(snapped, rec.Low, rec.High), 0);
  return rec.Nudged;
}

int32_t ArrSlipDragKey(int32_t distance, int right, int32_t leftRoom, int32_t rightRoom) {
  const int64_t d = int64_t{distance} + (right ? 1 : -1);
  if (d == 0) return 0;
  const int64_t size = std::min<int64_t>(d < 0 ? -d : d, kTimeLineLimit - 1);
  // The size snaps the way the key moved it: a growing distance to the next
  // snap step, a shrinking one to the one before (0 ends the slip).
  const bool grows = (d < 0 ? -d : d) > (distance < 0 ? -int64_t{distance} : int64_t{distance});
  const int64_t snapped =
      SnapLoc(static_cast<int32_t>(size), 0, grows ? kSnapLater : kSnapEarlier, CurArr, CurMrkList, 0, 0);
  if (snapped <= 0) return 0;
  return static_cast<int32_t>(d < 0 ? -std::min<int64_t>(snapped, std::max(leftRoom, 0))
                                    : std::min<int64_t>(snapped, std::max(rightRoom, 0)));
}

int ArrTrimDragEnd(DcHandle dc, ArrTrimDragRec* rec, int x) {
  std::unique_ptr<ArrTrimDragRec> own(rec);
  if (rec == nullptr) return 0;
  const int32_t edge = rec->Nudged != INT32_MIN ? rec->Nudged : ArrTrimDragTarget(*rec, x);
  if (edge == rec->Edge) return 0;
  if (!arredit::BeginStep(kUndoTrim)) return 0;
  for (const ArrTrimEdge& e : rec->Parts) {
    PartRec* p = ArrPart(CurArr, e.Slot);
    if (p == nullptr || p->Start == kPartFreeStart) continue;
    if (e.End) {
      p->Length = static_cast<int32_t>(int64_t{edge} - p->Start);
    } else {
      const int32_t delta = edge - p->Start;
      p->Offset += delta;
      p->Length -= delta;
      p->Start = edge;
      arredit::ResortPart(CurArr, e.Slot, e.Track);
    }
    if (p->SnapPoint >= p->Length) p->SnapPoint = 0;
    p->Flags |= kPartTempMark;
  }
  ArrRedrawWindows();
  arredit::Finish(dc);
  return 1;
}

ArrVolDragRec* ArrVolDragStart(int y, int32_t part, int zone) {
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (clicked == nullptr) return nullptr;
  const int which = zone >= 0 && zone <= 3 ? 0 : zone >= 8 && zone <= 11 ? 1 : 2;
  auto rec = std::make_unique<ArrVolDragRec>();
  rec->PressY = y;
  rec->AnchorGain = which == 1 ? clicked->GainEnd : clicked->GainStart;
  const int32_t start = clicked->Start, length = clicked->Length;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    if (static_cast<int32_t>(slot) == part || (arredit::Sel(p) && p.Start == start && p.Length == length))
      rec->Parts.push_back({slot, track, which});
  });
  return rec.release();
}

int32_t ArrVolDragChange(const ArrVolDragRec& rec, int y, int logAxis) {
  // The gain scale of a row: half its height less a pixel, unity at the top.
  const int32_t pixels = std::max(ArrView().Vzoom / 2 - 1, 1);
  const uint32_t anchor = std::min<uint32_t>(rec.AnchorGain, 32768);
  const int32_t level =
      std::clamp(GainToPixels(static_cast<int32_t>(anchor), 32768, pixels, logAxis) + (rec.PressY - y), 0, pixels);
  const int32_t gain = std::max(PixelsToGain(level, pixels, 32768, logAxis), 0);
  return GainToDeciDb(static_cast<uint32_t>(gain)) - GainToDeciDb(anchor);
}

int ArrVolDragEnd(DcHandle dc, ArrVolDragRec* rec, int y, int logAxis) {
  std::unique_ptr<ArrVolDragRec> own(rec);
  if (rec == nullptr) return 0;
  const int32_t change = ArrVolDragChange(*rec, y, logAxis);
  if (change == 0) return 0;
  if (!arredit::BeginStep(IDS_UNDO_VOLUME_CHANGE)) return 0;
  auto apply = [change](uint32_t g) {
    return DeciDbToGain(std::min(GainToDeciDb(g) + change, 0));  // never above unity
  };
  if (!KeepSel) ArrClearSelection(CurArr, nullptr, 0);
  for (const ArrVolEdge& e : rec->Parts) {
    PartRec* p = ArrPart(CurArr, e.Slot);
    if (p == nullptr || p->Start == kPartFreeStart) continue;
    if (e.Which != 1) p->GainStart = apply(p->GainStart);
    if (e.Which != 0) p->GainEnd = apply(p->GainEnd);
    p->Flags = KeepSel ? (p->Flags | kPartSelected) : (p->Flags & ~kPartSelected);
    if (dc != nullptr) ArrDrawPart(dc, CurArr, e.Slot, e.Track, 1, 0);
  }
  ArrRedrawWindows();
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}
