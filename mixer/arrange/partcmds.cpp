#include "partcmds.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>

#include "editpriv.h"
#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/arrview.h"
#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/mixdown.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/procnorm.h"
#include "mixer/arrange/eophost.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partdlg.h"
#include "mixer/arrange/partops.h"
#include "mixer/arrange/solo.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/arrange/xfade.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/taketime.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/wvfcache.h"
#include "mixer/shell/services.h"

using arredit::End;
using arredit::Sel;

int32_t ArrRepeatCount = 1;

namespace {

constexpr int kOpCutAtPointer = 9;
constexpr int kOpFadeIn = 12;
constexpr int32_t kMenuChannels = 128;
constexpr int32_t kMuteShift = 192;

struct Member {
  uint32_t Track;
  uint32_t Slot;
};

std::vector<Member> Selected(const ArrRec* arr) {
  std::vector<Member> out;
  arrlist::WalkAll(arr, [&](uint32_t t, uint32_t s, const PartRec& p) {
    if (Sel(p)) out.push_back({t, s});
  });
  return out;
}

bool AnySelectedNotAudio(const ArrRec* arr) {
  bool found = false;
  arrlist::WalkAll(arr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (Sel(p) && p.TakeKind != kTakeAudio) found = true;
  });
  return found;
}

void Draw(DcHandle dc, ArrRec* arr, uint32_t slot, uint32_t track) {
  if (dc != nullptr) ArrDrawPart(dc, arr, slot, track, 1, 0);
}

// The snap point of a piece that keeps [from, from + length) of a Part
// whose snap point was `snap`: kept when it lies inside, else 0.
int32_t PieceSnap(int32_t snap, int64_t from, int32_t length) {
  if (snap == 0) return 0;
  const int64_t s = snap - from;
  return s < 0 || s >= length ? 0 : static_cast<int32_t>(s);
}

ArrRectView RectView() {
  const ArrViewRec& v = ArrView();
  return ArrRectView{v.Origin, v.Hzoom, v.FirstTrack, v.Vzoom, v.TopHeight};
}

// The Take's length as the Part sees it; without an open Take, what the
// Part already uses.
int64_t TakeLength(const PartRec& p) {
  TakeRec* take = TakeFromRef(p.Take);
  if (take == nullptr) return int64_t{p.Offset} + p.Length;
  return TakeLenAtKind(take, p.TakeKind, p.Start);
}

}  // namespace

ArrMoveDragRec::~ArrMoveDragRec() {
  if (Source != nullptr) ArrHeap.Free(Source);
}

int ArrTakeSharedByUnsel(ArrRec* arr, uint32_t take, int select, DcHandle dc) {
  int found = 0;
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    if (Sel(p) || p.Take != take) return;
    found = 1;
    if (select) {
      p.Flags |= kPartSelected;
      Draw(dc, arr, slot, track);
    }
  });
  return found;
}

ArrMoveDragRec* ArrBeginMoveCopy(DcHandle dc, int x, int y, int op, int copy, int mode,
                                 ArrRec* source, int rateConversion) {
  ArrRec* src = source != nullptr ? source : CurArr;
  const std::vector<Member> sel = Selected(src);
  ArrMoveDragRec* rec = sel.empty() ? nullptr : new (std::nothrow) ArrMoveDragRec;
  if (rec == nullptr) {
    if (source != nullptr) ArrHeap.Free(source);
    return nullptr;
  }
  rec->Source = source;
  const ArrRectView view = RectView();
  std::vector<ArrRectPx> rects;
  int32_t left = INT32_MAX, top = INT32_MAX;
  int64_t first = INT64_MAX, last = INT64_MIN, snap = INT64_MAX;
  for (const Member& m : sel) {
    PartRec p = *ArrPart(src, m.Slot);
    if (rateConversion) {
      TakeRec* take = TakeFromRef(p.Take);
      const uint32_t rate = take != nullptr ? take->sampleRate : 0;
      if (rate != 0 && Settings().SampleRate != 0)
        p.Length = arrlist::Clamp32(int64_t{p.Length} * Settings().SampleRate / rate, 0, INT32_MAX);
    }
    const ArrRectPx r = ArrPartToRectCalc(static_cast<int32_t>(m.Track), p, view);
    rects.push_back(r);
    left = std::min(left, r.Left);
    top = std::min(top, r.Top);
    first = std::min<int64_t>(first, p.Start);
    last = std::max(last, End(p));
    snap = std::min(snap, int64_t{p.Start} + p.SnapPoint);
  }
  std::vector<int32_t>& w = rec->Words;
  w.assign(kMoveDragHeader + 5 * sel.size(), 0);
  w[kMoveDragMode] = mode;
  w[kMoveDragSource] = source != nullptr ? 1 : 0;
  w[kMoveDragCount] = static_cast<int32_t>(sel.size());
  w[kMoveDragDx] = x - left;
  w[kMoveDragDy] = y - top;
  w[kMoveDragOp] = op;
  w[kMoveDragCopy] = copy;
  w[kMoveDragSpan] = arrlist::Clamp32(last - first, 0, INT32_MAX);
  w[kMoveDragSnap] = arrlist::Clamp32(snap - first, 0, INT32_MAX);
  w[kMoveDragRate] = rateConversion;
  for (size_t i = 0; i < sel.size(); ++i) {
    int32_t* e = &w[kMoveDragHeader + 5 * i];
    e[0] = static_cast<int32_t>(sel[i].Slot);
    e[1] = rects[i].Left - left;
    e[2] = rects[i].Top - top;
    e[3] = rects[i].Right - left;
    e[4] = rects[i].Bottom - top;
  }
  ArrEditWnd().DrawMoveOutline(dc, w.data());
  return rec;
}

ArrSlipDragRec* ArrBeginSlip(DcHandle dc, int x, int y) {
  const std::vector<Member> sel = Selected(CurArr);
  if (sel.empty()) return nullptr;
  auto* rec = new (std::nothrow) ArrSlipDragRec;
  if (rec == nullptr) return nullptr;
  const ArrRectView view = RectView();
  const int64_t pixel = std::max(1, ArrView().Hzoom);
  int64_t right = INT64_MAX, leftRoom = INT64_MAX;
  std::vector<int32_t>& w = rec->Words;
  w.assign(5 + 5 * sel.size(), 0);
  for (size_t i = 0; i < sel.size(); ++i) {
    const PartRec& p = *ArrPart(CurArr, sel[i].Slot);
    const int64_t limit = std::max<int64_t>(0, p.Length - pixel);
    right = std::min(right, std::clamp<int64_t>(TakeLength(p) - p.Offset - p.Length, 0, limit));
    leftRoom = std::min(leftRoom, std::clamp<int64_t>(p.Offset, 0, limit));
    const ArrRectPx r = ArrPartToRectCalc(static_cast<int32_t>(sel[i].Track), p, view);
    int32_t* e = &w[5 + 5 * i];
    e[0] = static_cast<int32_t>(sel[i].Slot);
    e[1] = r.Left - x;
    e[2] = r.Top - y;
    e[3] = r.Right - x;
    e[4] = r.Bottom - y;
  }
  w[0] = static_cast<int32_t>(sel.size());
  w[1] = x;
  w[2] = y;
  w[3] = static_cast<int32_t>(right);
  w[4] = static_cast<int32_t>(leftRoom);
  ArrEditWnd().DrawSlipFeedback(dc, w.data());
  return rec;
}

int32_t ArrIoMenuChannels(uint32_t) { return kMenuChannels; }

int ArrIoAssignMenu(WndHandle, DcHandle dc, int x, int y, int32_t part, int button) {
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (clicked == nullptr) return 0;
  bool audio = false, autom = false, midi = false;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (!Sel(p)) return;
    audio |= p.TakeKind == kTakeAudio;
    autom |= p.TakeKind == kTakeAutom;
    midi |= p.TakeKind == kTakeMidi;
  });
  if (int{audio} + int{autom} + int{midi} > 1) return arredit::Refuse(IDS_EQUAL_TAKE_TYPES_ONLY);
  const uint32_t kind = clicked->TakeKind;
  const int32_t n = ArrIoMenuChannels(kind);
  int32_t ch = clicked->PlayChannel;
  if (ch > kMuteShift) ch -= kMuteShift;
  const int current = ch >= 1 && ch <= n ? ch - 1 : -1;
  std::vector<std::string> texts(static_cast<size_t>(n));
  std::vector<ArrMenuItem> items(static_cast<size_t>(n));
  char buf[32];
  for (int32_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, StrText(IDS_TRACK_N), i + 1);
    texts[static_cast<size_t>(i)] = buf;
  }
  for (int32_t i = 0; i < n; ++i)
    items[static_cast<size_t>(i)] = {texts[static_cast<size_t>(i)].c_str(), i == current ? 1 : 0};
  const int pick = ArrEditWnd().TrackMenu(items.data(), n, current, x, y, button);
  if (pick < 0 || pick >= n) return 0;
  return ArrAssignOutputs(part, dc, kind, pick + 1);
}

int ArrCutParts(DcHandle dc, int32_t position, int op) {
  int32_t p = position;
  auto cuts = [](const PartRec& q, int32_t at) { return q.Start < at && at < End(q); };
  if (op == kOpCutAtPointer) {
    p = SnapLoc(position, 0, kSnapNearest, CurArr, CurMrkList, kSnapExcludeNone, 0);
  } else {
    const Locators& l = Locs();
    int32_t t[3] = {l.NowLoc, l.LeftLoc, l.RightLoc};
    bool any = false;
    for (int32_t& target : t) {
      bool inside = false;
      arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& q) {
        if (Sel(q) && cuts(q, target)) inside = true;
      });
      if (!inside) target = kSnapNoTarget;
      any |= inside;
    }
    if (!any) return 0;
    p = SnapDragToTargets(position, 0, t[0], t[1], t[2]);
  }
  std::vector<Member> cut;
  arrlist::WalkAll(CurArr, [&](uint32_t track, uint32_t slot, const PartRec& q) {
    if (Sel(q) && cuts(q, p)) cut.push_back({track, slot});
  });
  if (cut.empty()) return 0;
  uint32_t error = 0;
  if (!ArrReserveParts(&CurArr, static_cast<uint32_t>(cut.size()), 1, &error))
    return arredit::Refuse(error);
  if (!arredit::BeginStep(IDS_UNDO_CUT)) return 0;
  ArrClearTempMarks(CurArr);
  for (const Member& m : cut) {
    if (!arredit::CutPartAt(&CurArr, m.Slot, m.Track, p, KeepSel, KeepSel, nullptr, &error)) {
      arredit::FailStep(error);
      return 0;
    }
  }
  arredit::Finish(dc);
  return 1;
}

int ArrCropParts(DcHandle dc) {
  const int64_t l = Locs().LeftLoc, r = Locs().RightLoc;
  const std::vector<Member> sel = Selected(CurArr);
  auto overlaps = [&](const PartRec& p) { return p.Start < r && End(p) > l; };
  bool any = false;
  for (const Member& m : sel) any |= overlaps(*ArrPart(CurArr, m.Slot));
  if (!(l < r) || !any) return arredit::Refuse(IDS_LOCATORS_NOT_SET);
  for (const Member& m : sel) {
    const PartRec& p = *ArrPart(CurArr, m.Slot);
    if ((p.Flags & kPartTimelocked) && !overlaps(p)) return arredit::Refuse(IDS_TIMELOCKED_NO_MOVE);
  }
  if (!arredit::BeginStep(IDS_UNDO_CROP)) return 0;
  ArrClearTempMarks(CurArr);
  bool sync = false;
  for (const Member& m : sel) {
    PartRec p = *ArrPart(CurArr, m.Slot);
    if (p.Start >= l && End(p) <= r) continue;
    ArrErasePart(dc, CurArr, m.Slot, m.Track, 0);
    arrlist::WalkTrack(CurArr, m.Track, [&](uint32_t s, PartRec& o) {
      if (s != m.Slot && arrlist::PartsOverlap(o, p)) o.Flags |= kPartTempMark;
      return true;
    });
    ArrUnlinkPart(CurArr, m.Slot, m.Track);
    if (!overlaps(p)) {
      if (ArrTakeIsUnreferenced(CurArr, p.Take)) sync = true;
      continue;
    }
    const PartRec whole = p;
    if (End(whole) > r) {
      p.Length = static_cast<int32_t>(r - whole.Start);
      if (whole.TakeKind == kTakeAudio) p.GainEnd = ArrPartGainAt(p.Length, whole);
    }
    int64_t cut = 0;
    if (whole.Start < l) {
      cut = l - whole.Start;
      if (whole.TakeKind == kTakeAudio)
        p.GainStart = ArrPartGainAt(static_cast<int32_t>(cut), whole);
      p.Start = static_cast<int32_t>(l);
      p.Offset = arrlist::Clamp32(whole.Offset + cut, 0, INT32_MAX);
      p.Length -= static_cast<int32_t>(cut);
    }
    p.SnapPoint = PieceSnap(whole.SnapPoint, cut, p.Length);
    p.Flags |= kPartTempMark;
    p.Next = kArrNoSlot;
    uint32_t slot = kArrNoSlot;
    // The slot just freed takes it again: the insert cannot need room.
    if (ArrInsertPart(&CurArr, p, &slot, m.Track, nullptr)) PartCheckXfade(CurArr, slot);
  }
  if (sync) ArrSyncTakeRefs(CurArr, 0);
  arredit::Finish(dc);
  ArrEditWnd().UpdateScrollRanges();
  return 1;
}

int ArrFadeParts(int32_t part, DcHandle dc, int op) {
  if (AnySelectedNotAudio(CurArr)) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (clicked == nullptr) return 0;
  if (!arredit::BeginStep(IDS_UNDO_FADE_CHANGE)) return 0;
  const int curve = clicked->FadeCurve;
  const bool remove = clicked->GainStart != clicked->GainEnd;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    const int32_t first = TrkFirstSelPart(CurArr, track);
    if (first < 0) continue;
    const int32_t last = TrkLastSelPart(CurArr, track);
    if (remove) {
      uint32_t g = 0;
      arrlist::WalkTrack(CurArr, track, [&](uint32_t, const PartRec& p) {
        if (Sel(p)) g = std::max({g, p.GainStart, p.GainEnd});
        return true;
      });
      ArrSetTrackFade(dc, CurArr, track, g, g, curve);
    } else if (op == kOpFadeIn) {
      ArrSetTrackFade(dc, CurArr, track, 0, ArrPart(CurArr, static_cast<uint32_t>(last))->GainEnd,
                      curve);
    } else {
      ArrSetTrackFade(dc, CurArr, track, ArrPart(CurArr, static_cast<uint32_t>(first))->GainStart,
                      0, curve);
    }
  }
  arredit::RebuildPlay();
  ArrChangeCountRaise();
  return 1;
}

int32_t ArrMakeAdjXfade(ArrRec** arrp, uint32_t a, uint32_t* bp, uint32_t track, int32_t length) {
  ArrRec* arr = *arrp;
  PartRec* pa = arrlist::UsedPart(arr, a);
  PartRec* pb = bp != nullptr ? arrlist::UsedPart(arr, *bp) : nullptr;
  if (length < 1 || pa == nullptr || pb == nullptr || pa == pb) return 0;
  const int64_t x = length;
  int64_t aLimit = std::min(int64_t{pa->Start} - pa->Offset + TakeLength(*pa), End(*pb) - 1);
  if (const PartRec* c = arrlist::UsedPart(arr, arrlist::LinkSlot(pb->XfadeOutPartner)))
    aLimit = std::min<int64_t>(aLimit, c->Start);
  int64_t bLimit = std::max(int64_t{pb->Start} - pb->Offset, int64_t{pa->Start} + 1);
  if (const PartRec* d = arrlist::UsedPart(arr, arrlist::LinkSlot(pa->XfadeInPartner)))
    bLimit = std::max(bLimit, End(*d));
  const int64_t gap = pb->Start - End(*pa);
  int64_t aEnd = End(*pa) + (gap + x) / 2;
  int64_t bStart = aEnd - x;
  if (aEnd > aLimit) {
    aEnd = aLimit;
    bStart = std::max(bLimit, aLimit - x);
  }
  if (bStart < bLimit) {
    bStart = bLimit;
    aEnd = std::min(aLimit, bLimit + x);
  }
  if (bStart >= aEnd) return 0;
  if (aEnd - bStart > x) {
    const int64_t excess = aEnd - bStart - x;
    aEnd -= excess / 2;
    bStart += excess - excess / 2;
  }
  auto flattenLong = [](PartRec& p) {
    if (p.Length >= arredit::kLongPartSamples) p.GainStart = p.GainEnd = std::max(p.GainStart, p.GainEnd);
  };
  pa->Length = static_cast<int32_t>(aEnd - pa->Start);
  if (pa->SnapPoint >= pa->Length) pa->SnapPoint = 0;
  flattenLong(*pa);
  const int64_t delta = bStart - pb->Start;
  pb->Start = static_cast<int32_t>(bStart);
  pb->Offset = static_cast<int32_t>(pb->Offset + delta);
  pb->Length = static_cast<int32_t>(pb->Length - delta);
  pb->SnapPoint = PieceSnap(pb->SnapPoint, delta, pb->Length);
  flattenLong(*pb);
  // B keeps its slot (its partners name it) and moves to its sorted place.
  arredit::ResortPart(arr, *bp, track);
  return static_cast<int32_t>(aEnd - bStart);
}

namespace {

// 1 when the selected Parts of a track each have the partners their
// selected neighbours expect: the first an end partner, the last a start
// partner, those between both; a single selected Part at least one.
bool TrackPairsComplete(const ArrRec* arr, uint32_t track) {
  std::vector<const PartRec*> sel;
  arrlist::WalkTrack(arr, track, [&](uint32_t, const PartRec& p) {
    if (Sel(p)) sel.push_back(&p);
    return true;
  });
  if (sel.size() == 1)
    return sel[0]->XfadeInPartner != kArrNoLink || sel[0]->XfadeOutPartner != kArrNoLink;
  for (size_t i = 0; i < sel.size(); ++i) {
    if (i > 0 && sel[i]->XfadeInPartner == kArrNoLink) return false;
    if (i + 1 < sel.size() && sel[i]->XfadeOutPartner == kArrNoLink) return false;
  }
  return true;
}

// Sets the temporary mark on every selected Part and on every Part of a
// lower layer that a selected Part overlaps.
void MarkSelectedAndUnder(ArrRec* arr) {
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    arrlist::WalkTrack(arr, track, [&](uint32_t, PartRec& p) {
      if (!Sel(p)) return true;
      p.Flags |= kPartTempMark;
      arrlist::WalkTrack(arr, track, [&](uint32_t, PartRec& o) {
        if (o.Layer < p.Layer && arrlist::PartsOverlap(o, p)) o.Flags |= kPartTempMark;
        return true;
      });
      return true;
    });
  }
}

}  // namespace

int ArrCrossfadeAtPointer(DcHandle dc) {
  if (AnySelectedNotAudio(CurArr)) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  if (!arredit::BeginStep(IDS_UNDO_CROSSFADE)) return 0;
  ArrClearTempMarks(CurArr);
  bool linkRepair = false;
  const XfadeSettings& xs = XfadeDefaults;
  for (uint32_t track = 0; track < kArrTracks; ++track) {
    std::vector<uint32_t> firsts;
    arrlist::WalkTrack(CurArr, track, [&](uint32_t s, const PartRec& p) {
      if (Sel(p) && p.XfadeOutPartner == kArrNoLink) firsts.push_back(s);
      return true;
    });
    for (uint32_t a : firsts) {
      PartRec* pa = arrlist::UsedPart(CurArr, a);
      if (pa == nullptr || pa->XfadeOutPartner != kArrNoLink) continue;
      uint32_t b = kArrNoSlot;
      bool after = false;
      arrlist::WalkTrack(CurArr, track, [&](uint32_t s, const PartRec& p) {
        if (s == a) return (after = true);
        if (after && Sel(p) && p.XfadeInPartner == kArrNoLink && p.Start > pa->Start &&
            End(p) > End(*pa)) {
          b = s;
          return false;
        }
        return true;
      });
      if (b == kArrNoSlot) continue;
      PartRec* pb = ArrPart(CurArr, b);
      if (pb->Start >= End(*pa)) {
        if (ArrMakeAdjXfade(&CurArr, a, &b, track, xs.Length) == 0) continue;
        pa = ArrPart(CurArr, a);
        pb = ArrPart(CurArr, b);
        if ((pa->Flags | pb->Flags) & kPartLinkPrev) linkRepair = true;
      } else {
        const PartRec* d = arrlist::UsedPart(CurArr, arrlist::LinkSlot(pa->XfadeInPartner));
        const PartRec* c = arrlist::UsedPart(CurArr, arrlist::LinkSlot(pb->XfadeOutPartner));
        if ((d != nullptr && End(*d) > pb->Start) || (c != nullptr && c->Start < End(*pa))) continue;
      }
      pa->XfadeOutPartner = static_cast<uint16_t>(b);
      pb->XfadeInPartner = static_cast<uint16_t>(a);
      pa->XfadeOutCurve = static_cast<uint16_t>(xs.OutCurve);
      pa->XfadeOutWindow[0] = static_cast<uint8_t>(xs.OutStart);
      pa->XfadeOutWindow[1] = static_cast<uint8_t>(xs.OutEnd);
      pb->XfadeInCurve = static_cast<uint8_t>(xs.InCurve);
      pb->XfadeInWindow[0] = static_cast<uint8_t>(xs.InStart);
      pb->XfadeInWindow[1] = static_cast<uint8_t>(xs.InEnd);
    }
  }
  ArrRelinkOverlaps(CurArr);
  ArrRaiseSelLayers(CurArr, 1, 1);
  MarkSelectedAndUnder(CurArr);
  if (linkRepair) ArrCheckPartLinks(CurArr, 1, dc);
  bool complete = true;
  for (uint32_t track = 0; track < kArrTracks; ++track)
    if (TrkFirstSelPart(CurArr, track) >= 0) complete &= TrackPairsComplete(CurArr, track);
  ArrRedrawMarked(dc, CurArr);
  ArrClearTempMarks(CurArr);
  arredit::MuteSelectedOverlaps(CurArr, dc);
  arredit::SelectionToKeepSel(CurArr);
  arredit::RebuildPlay();
  if (!complete) arredit::Refuse(IDS_XFADE_FAILED);
  ArrChangeCountRaise();
  return 1;
}

int ArrRepeatParts(DcHandle dc) {
  int32_t count = ArrRepeatCount;
  if (ArrEditWnd().InputNumber(IDS_REPEAT_COUNT, &count) != 1) return 0;
  return ArrRepeatPartsApply(dc, count);
}

int ArrRepeatPartsApply(DcHandle dc, int32_t count) {
  if (count < 1) count = 1;
  ArrRepeatCount = count;
  if (Selected(CurArr).empty()) return 0;
  if (!arredit::BeginStep(IDS_UNDO_REPEAT)) return 0;
  const int32_t keep = KeepSel;
  for (int32_t i = 0; i < count; ++i) {
    KeepSel = i + 1 < count ? 1 : keep;
    int64_t s = INT64_MAX, e = INT64_MIN, snap = INT64_MAX;
    arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
      if (!Sel(p)) return;
      s = std::min<int64_t>(s, p.Start);
      e = std::max(e, End(p));
      snap = std::min(snap, int64_t{p.Start} + p.SnapPoint);
    });
    uint32_t error = 0;
    const int64_t target = snap - s + e;
    if (target > INT32_MAX) {
      error = IDS_PARTS_OUT_OF_RANGE;
    } else {
      int32_t shift = static_cast<int32_t>(
          SnapLoc(static_cast<int32_t>(target), 0, kSnapNearest, CurArr, CurMrkList, kSnapExcludeNone, 0) -
          snap);
      ArrRec* out = ArrCopyParts(dc, CurArr, CurArr, &shift, 0, 1, 0, 0, 0, 0, 0, &error);
      if (out != nullptr) CurArr = out;
    }
    if (error != 0) {
      KeepSel = keep;
      arredit::Refuse(error);
      break;
    }
  }
  KeepSel = keep;
  arredit::RebuildPlay();
  ArrEditWnd().UpdateScrollRanges();
  ArrChangeCountRaise();
  return 1;
}

namespace {

int LinkCmd(int32_t part, DcHandle dc, bool multi) {
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (clicked == nullptr) return 0;
  if (!arredit::BeginStep(multi ? IDS_UNDO_MULTI_LINK : IDS_UNDO_STEREO_LINK)) return 0;
  const bool link = !PartIsChannelLinked(*clicked);
  arrlist::WalkAll(CurArr, [](uint32_t, uint32_t, PartRec& p) { p.Flags &= ~kPartPassMark; });
  int failures = 0;
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    if (p.Flags & kPartPassMark) continue;
    p.Flags = KeepSel ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
    const int32_t s = static_cast<int32_t>(m.Slot);
    bool ok = true;
    if (!link) {
      ArrUnlinkGroup(dc, CurArr, s, m.Track, 1);
    } else if (multi) {
      ok = ArrMultiChanLink(dc, CurArr, s, m.Track, 1, 1) > 0;
    } else {
      if (PartIsChannelLinked(p)) ArrUnlinkGroup(dc, CurArr, s, m.Track, 0);
      ok = ArrStereoLink(dc, CurArr, s, m.Track, 1) != 0;
    }
    if (!ok) {
      ++failures;
      if (!KeepSel) Draw(dc, CurArr, m.Slot, m.Track);
    }
  }
  if (failures) arredit::Refuse(multi ? IDS_MULTI_LINK_FAILED : IDS_STEREO_LINK_FAILED);
  ArrChangeCountRaise();
  return 1;
}

}  // namespace

int ArrStereoLinkCmd(int32_t part, DcHandle dc) { return LinkCmd(part, dc, false); }
int ArrMultiLinkCmd(int32_t part, DcHandle dc) { return LinkCmd(part, dc, true); }

int ArrToggleWaveforms(int32_t part, DcHandle dc) {
  if (AnySelectedNotAudio(CurArr)) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  const PartRec* clicked = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (clicked == nullptr) return 0;
  TakeRec* clickedTake = TakeFromRef(clicked->Take);
  if (clickedTake == nullptr) return 0;
  const int on = TakeGetAttr(clickedTake, kTakeAttrWaveExists) == 0;
  // The switch belongs to the Take: every Part that shares a selected
  // Part's Take takes part.
  std::vector<uint32_t> takes;
  for (const Member& m : Selected(CurArr)) takes.push_back(ArrPart(CurArr, m.Slot)->Take);
  std::sort(takes.begin(), takes.end());
  takes.erase(std::unique(takes.begin(), takes.end()), takes.end());
  for (const uint32_t t : takes) ArrTakeSharedByUnsel(CurArr, t, 1, dc);
  for (const Member& m : Selected(CurArr)) {
    PartRec& p = *ArrPart(CurArr, m.Slot);
    TakeRec* take = TakeFromRef(p.Take);
    if (take == nullptr) continue;
    if (on) {
      char path[kTakePathSize];
      StrCopyN(path, GetWvFormFilePath(), sizeof path);
      if (!WvfCacheExists(take, path, sizeof path) && !ArrEditWnd().BuildWaveform(p.Take)) {
        Draw(dc, CurArr, m.Slot, m.Track);
        return 0;
      }
    }
    TakeSetAttr(take, kTakeAttrWaveExists, static_cast<uintptr_t>(on), nullptr);
    p.Flags = KeepSel ? (p.Flags | kPartSelected) : (p.Flags & ~kPartSelected);
    Draw(dc, CurArr, m.Slot, m.Track);
  }
  if (ArrEditWnd().Exists()) ArrEditWnd().RedrawNow();
  return 1;
}

void XfdApplyFade(int32_t n, int32_t k, int32_t m, int32_t a, int32_t b, int32_t curve,
                  int16_t* pairs) {
  if (pairs == nullptr) return;
  for (int32_t i = 0; i < n; ++i) {
    int64_t g = b;
    if (i < k) g = a;
    else if (i < int64_t{k} + m) g = FadeCurveValue(i - k, curve, a, b, m);
    for (int j = 0; j < 2; ++j) {
      int16_t& v = pairs[2 * i + j];
      v = static_cast<int16_t>(std::clamp<int64_t>(v * g / 32768, INT16_MIN, INT16_MAX));
    }
  }
}

void XfdQuantise(int32_t n, int32_t levels, int32_t shift, int16_t* pairs) {
  if (pairs == nullptr || levels < 2) return;
  // Indices are stored back as 16-bit values.
  const int32_t last = std::min(levels - 2, int32_t{INT16_MAX});
  const int32_t step = std::max(shift, 0);
  for (int64_t i = 0; i < 2 * int64_t{n}; ++i) {
    const int32_t v = pairs[i];
    const int32_t magnitude = v < 0 ? -v : v;
    int32_t index = last;
    // Threshold j (below the last) is 32768 >> (step x (last - j)); the
    // first one not below the magnitude wins.
    for (int32_t j = 0; j < last; ++j) {
      const int64_t bits = int64_t{step} * (last - j);
      const int32_t threshold = bits > 15 ? 0 : 32768 >> bits;
      if (threshold >= magnitude) {
        index = j;
        break;
      }
    }
    pairs[i] = static_cast<int16_t>(v < 0 ? -index : index);
  }
}

ArrMenuPlacement ArrMenuPlace(int32_t count, int32_t current, int32_t x, int32_t y,
                              int32_t entryHeight, int32_t screenHeight) {
  ArrMenuPlacement out{};
  out.Columns = std::max<int32_t>(1, (std::max(count, 0) + kArrMenuColumn - 1) / kArrMenuColumn);
  const int32_t at = current >= 0 && current < count ? current : 0;
  const int32_t column = at / kArrMenuColumn;
  // The menu is centred on X: shifting X by half the columns to the right
  // less the current column brings that column's middle under the pointer.
  out.X = x + (out.Columns - 1) * 42 - column * 84;
  const int64_t top = int64_t{y} - entryHeight / 2 - int64_t{at % kArrMenuColumn} * entryHeight;
  const int64_t lowest = int64_t{screenHeight} - int64_t{kArrMenuColumn} * entryHeight - 6;
  out.Y = static_cast<int32_t>(std::max<int64_t>(0, std::min(top, lowest)));
  return out;
}

int ArrPartEditRoutines::ProcessAudio(DcHandle dc, uint32_t undoName, int routine) {
  return ArrProcessAudioParts(dc, undoName, routine == 0 ? ProcNormalize : ProcRemoveDc);
}
int ArrPartEditRoutines::ProcessAutomation(DcHandle dc, uint32_t undoName) {
  const ProcParamDialogs& d = ProcParamDlgs();
  if (d.reduceEvents == nullptr) return 0;
  return ArrProcessAutomParts(dc, undoName, &ReduceEventsCurrent(), d.reduceEvents, ProcThinAutomation);
}
int ArrPartEditRoutines::NoiseGateDialog() {
  const ProcParamDialogs& d = ProcParamDlgs();
  return d.noiseGate != nullptr && d.noiseGate() == kIdOk ? 1 : 0;
}
int ArrPartEditRoutines::NoiseGateScan(DcHandle dc) { return ArrNoiseGate(dc); }
int ArrPartEditRoutines::Consolidate(DcHandle dc) { return ArrConsolidate(dc); }
int ArrPartEditRoutines::Mixdown(WndHandle, DcHandle dc, int x, int y, int) {
  uint32_t track = 0;
  int32_t position = 0;
  ArrHitTest(CurArr, x, y, nullptr, &track, &position);
  return ArrMixdown(position, dc, track);
}
int ArrPartEditRoutines::ToggleWaveforms(int32_t p, DcHandle dc) { return ArrToggleWaveforms(p, dc); }
int ArrPartEditRoutines::ToolRunner(WndHandle child, int x, int y, int32_t id, int32_t tool) {
  return EopRunToolFrom(reinterpret_cast<uintptr_t>(child), x, y, static_cast<uint32_t>(id), tool);
}
int ArrPartEditRoutines::SoloPart(DcHandle dc, int32_t p, uint32_t t, int32_t position) {
  return ArrSoloPart(dc, p, t, position);
}
int ArrPartEditRoutines::SoloPartSpan(int32_t position, DcHandle dc, int32_t p, uint32_t t) {
  return ArrSoloPartSpan(position, dc, p, t);
}
int ArrPartEditRoutines::SoloScrub(DcHandle dc, uint32_t t, int x, int y, int32_t p, int32_t position) {
  return ArrSoloScrub(dc, t, x, y, p, position);
}
int ArrPartEditRoutines::ScrubAll(DcHandle dc, int32_t position, int x, int y) {
  return ArrScrubAll(dc, position, x, y);
}
int ArrPartEditRoutines::IoAssignMenu(WndHandle w, DcHandle dc, int x, int y, int32_t p, int b) {
  return ArrIoAssignMenu(w, dc, x, y, p, b);
}
void* ArrPartEditRoutines::BeginMoveCopy(DcHandle dc, int x, int y, int mode, int copy) {
  return ArrBeginMoveCopy(dc, x, y, 3 + mode + (copy ? 3 : 0), copy, mode, nullptr, 0);
}
void* ArrPartEditRoutines::BeginSlip(DcHandle dc, int x, int y) { return ArrBeginSlip(dc, x, y); }
int ArrPartEditRoutines::CutParts(DcHandle dc, int32_t position, int op) {
  return ArrCutParts(dc, position, op);
}
int ArrPartEditRoutines::CropParts(DcHandle dc) { return ArrCropParts(dc); }
int ArrPartEditRoutines::FadeParts(int32_t p, DcHandle dc, int op) { return ArrFadeParts(p, dc, op); }
int ArrPartEditRoutines::CrossfadeAtPointer(DcHandle dc) { return ArrCrossfadeAtPointer(dc); }
int ArrPartEditRoutines::CrossfadeDialog(int32_t position, int32_t p, uint32_t track, DcHandle dc) {
  return ArrCrossfadeTool(position, track, dc, p);
}
int ArrPartEditRoutines::RepeatParts(DcHandle dc) { return ArrRepeatParts(dc); }
int ArrPartEditRoutines::StereoLinkCmd(int32_t p, DcHandle dc) { return ArrStereoLinkCmd(p, dc); }
int ArrPartEditRoutines::MultiLinkCmd(int32_t p, DcHandle dc) { return ArrMultiLinkCmd(p, dc); }
int ArrPartEditRoutines::VolumeDialog(int32_t p, DcHandle dc) { return ArrVolumeTool(p, dc); }
int ArrPartEditRoutines::InfoDialog(int32_t p, DcHandle dc) { return ArrInfoTool(p, dc); }
