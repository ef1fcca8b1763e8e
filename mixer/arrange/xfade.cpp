#include "xfade.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <vector>

#include "editpriv.h"
#include "mixer/arrange/editseams.h"
#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/ini.h"
#include "mixer/model/options.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/fileio.h"
#include "mixer/model/util/numbers.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/services.h"
#include "mixer/units/services.h"
#include "mixer/units/solo.h"

using arredit::End;
using arredit::Sel;

XfadeSettings XfadeDefaults;
int32_t XfadeLastView = kXfViewSeparateFaded;
int32_t XfadeLastLink = kXfLinkNone;
int32_t XfadePreviewChannel = 1;

namespace {

constexpr int32_t kUnity = 32768;
constexpr int32_t kMinLength = 10;

int32_t MulDiv255(int64_t length, int32_t fraction) {
  return static_cast<int32_t>(length * fraction / 255);
}

// Every selected Part whose end partner is selected too, with that partner.
template <typename Fn> void ForSelectedPairs(ArrRec* arr, Fn fn) {
  arrlist::WalkAll(arr, [&](uint32_t track, uint32_t slot, PartRec& p) {
    if (!Sel(p)) return;
    PartRec* g = arrlist::UsedPart(arr, arrlist::LinkSlot(p.XfadeOutPartner));
    if (g != nullptr && Sel(*g)) fn(track, slot, p, *g);
  });
}

bool ObeysLink(const XfadeSettings& v) {
  if (v.Link == kXfLinkNone) return true;
  if (v.OutStart != 0 || v.OutEnd != 255 || v.InStart != 0 || v.InEnd != 255) return false;
  return XfadeCurveAllowed(v.Link, v.OutCurve) && XfadeLinkedCurve(v.Link, v.OutCurve) == v.InCurve;
}

}  // namespace

void ReadXfadeDefaults(const char* iniFile) {
  XfadeSettings d;
  int32_t* values[9] = {&d.Length, &d.OutCurve, &d.OutStart, &d.OutEnd, &d.InCurve,
                        &d.InStart, &d.InEnd,   &d.View,     &d.Link};
  d.View -= kXfViewNone;
  d.Link -= kXfLinkNone;
  char buf[256] = {};
  ReadIniString(iniFile, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_XFDEF, buf, sizeof buf);
  const char* cursor = buf;
  for (int32_t* v : values) {
    if (!IniTextLeft(cursor)) break;
    *v = ParseNumber(&cursor);
  }
  d.View += kXfViewNone;
  d.Link += kXfLinkNone;
  // A stored value out of its range takes its default rather than reach the
  // Part records or the dialog's controls.
  const XfadeSettings def;
  if (d.Length < kMinLength) d.Length = def.Length;
  for (int32_t* c : {&d.OutCurve, &d.InCurve})
    if (*c < 0 || *c > 7) *c = 0;
  for (int32_t* f : {&d.OutStart, &d.OutEnd, &d.InStart, &d.InEnd}) *f = std::clamp(*f, 0, 255);
  if (d.OutStart >= d.OutEnd) d.OutStart = 0, d.OutEnd = 255;
  if (d.InStart >= d.InEnd) d.InStart = 0, d.InEnd = 255;
  if (d.View < kXfViewNone || d.View > kXfViewOverlaid) d.View = def.View;
  if (d.Link < kXfLinkNone || d.Link > kXfLinkEqualPower) d.Link = def.Link;
  XfadeDefaults = d;
  XfadeLastView = d.View;
  XfadeLastLink = d.Link;
  XfadePreviewChannel =
      ReadIniInt(iniFile, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_XF_PREV_CHAN, 1, 1, 192);
}

void WriteXfadeDefaults(const char* iniFile) {
  const XfadeSettings& d = XfadeDefaults;
  WriteIniValue(iniFile, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_XFDEF, "%d %d %d %d %d %d %d %d %d",
                d.Length, d.OutCurve, d.OutStart, d.OutEnd, d.InCurve, d.InStart, d.InEnd,
                d.View - kXfViewNone, d.Link - kXfLinkNone);
  WriteIniValue(iniFile, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_XF_PREV_CHAN, "%d",
                XfadePreviewChannel);
}

int XfadeCurveAllowed(int32_t link, int32_t curve) {
  if (curve < 0 || curve > 7) return 0;
  return link != kXfLinkEqualPower || curve == 0 || curve == 4 || curve == 6;
}

int32_t XfadeLinkedCurve(int32_t link, int32_t curve) {
  if (!XfadeCurveAllowed(link, curve)) return -1;
  if (link == kXfLinkEqualPower) return curve == 0 ? 6 : curve == 6 ? 0 : 4;
  if (link == kXfLinkEqualGain) return curve < 2 ? curve : (curve ^ 1);
  return curve;
}

int32_t XfadeGainAt(const ArrRec* arr, uint32_t slot, int32_t position) {
  const PartRec* p = arrlist::UsedPart(arr, slot);
  if (p == nullptr) return kUnity;
  int64_t gain = kUnity;
  if (const PartRec* f = arrlist::UsedPart(arr, arrlist::LinkSlot(p->XfadeInPartner))) {
    const int64_t len = End(*f) - p->Start;
    const int64_t b = p->Start + MulDiv255(len, p->XfadeInWindow[0]);
    const int64_t e = p->Start + MulDiv255(len, p->XfadeInWindow[1]);
    int64_t g = kUnity;
    if (position < b) g = 0;
    else if (position < e)
      g = FadeCurveValue(static_cast<int32_t>(position - b), p->XfadeInCurve, 0, kUnity,
                         static_cast<int32_t>(e - b));
    gain = gain * g / kUnity;
  }
  if (const PartRec* g2 = arrlist::UsedPart(arr, arrlist::LinkSlot(p->XfadeOutPartner))) {
    const int64_t len = End(*p) - g2->Start;
    const int64_t b = g2->Start + MulDiv255(len, p->XfadeOutWindow[0]);
    const int64_t e = g2->Start + MulDiv255(len, p->XfadeOutWindow[1]);
    int64_t g = 0;
    if (position < b) g = kUnity;
    else if (position < e)
      g = FadeCurveValue(static_cast<int32_t>(position - b), p->XfadeOutCurve, kUnity, 0,
                         static_cast<int32_t>(e - b));
    gain = gain * g / kUnity;
  }
  return static_cast<int32_t>(gain);
}

XfadeDlg::XfadeDlg(int32_t first) : first_(-1) {
  const PartRec* f = first >= 0 ? arrlist::UsedPart(CurArr, static_cast<uint32_t>(first)) : nullptr;
  const PartRec* g = f != nullptr ? arrlist::UsedPart(CurArr, arrlist::LinkSlot(f->XfadeOutPartner)) : nullptr;
  if (g == nullptr) {
    v_ = XfadeDefaults;
  } else {
    first_ = first;
    v_.Length = static_cast<int32_t>(std::clamp<int64_t>(End(*f) - g->Start, 0, INT32_MAX));
    v_.OutCurve = f->XfadeOutCurve & 7;
    v_.OutStart = f->XfadeOutWindow[0];
    v_.OutEnd = f->XfadeOutWindow[1];
    v_.InCurve = g->XfadeInCurve & 7;
    v_.InStart = g->XfadeInWindow[0];
    v_.InEnd = g->XfadeInWindow[1];
    v_.View = XfadeLastView;
    v_.Link = XfadeLastLink;
  }
  if (!ObeysLink(v_)) v_.Link = kXfLinkNone;
}

void XfadeDlg::ApplyCurves(int side) {
  if (first_ < 0) return;
  ForSelectedPairs(CurArr, [&](uint32_t, uint32_t, PartRec& f, PartRec& g) {
    if (side == 0) f.XfadeOutCurve = static_cast<uint16_t>(v_.OutCurve);
    else g.XfadeInCurve = static_cast<uint8_t>(v_.InCurve);
  });
}

void XfadeDlg::PressCurve(int side, int32_t curve) {
  if (!XfadeCurveAllowed(v_.Link, curve)) return;
  (side == 0 ? v_.OutCurve : v_.InCurve) = curve;
  ApplyCurves(side);
  if (v_.Link == kXfLinkNone) return;
  const int32_t other = XfadeLinkedCurve(v_.Link, curve);
  (side == 0 ? v_.InCurve : v_.OutCurve) = other;
  ApplyCurves(1 - side);
}

void XfadeDlg::SetLink(int32_t link) {
  if (link < kXfLinkNone || link > kXfLinkEqualPower) return;
  v_.Link = link;
  if (link != kXfLinkNone) PressCurve(0, XfadeCurveAllowed(link, v_.OutCurve) ? v_.OutCurve : 0);
}

void XfadeDlg::SetView(int32_t view) {
  if (view >= kXfViewNone && view <= kXfViewOverlaid) v_.View = view;
}

int XfadeDlg::SetLength(int32_t samples, DcHandle dc) {
  const int32_t length = std::max(samples, kMinLength);
  int ok = 1;
  if (length != v_.Length) {
    if (first_ < 0) {
      v_.Length = length;
    } else {
      std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (track, first Part)
      ForSelectedPairs(CurArr, [&](uint32_t t, uint32_t s, PartRec&, PartRec&) { pairs.push_back({t, s}); });
      for (const auto& pr : pairs) {
        PartRec* f = arrlist::UsedPart(CurArr, pr.second);
        if (f == nullptr) continue;
        uint32_t g = arrlist::LinkSlot(f->XfadeOutPartner);
        const int32_t reached = ArrMakeAdjXfade(&CurArr, pr.second, &g, pr.first, length);
        if (reached != length) ok = 0;
        if (pr.second == static_cast<uint32_t>(first_) && reached > 0) v_.Length = reached;
      }
      ArrRelinkOverlaps(CurArr);
      ArrRaiseSelLayers(CurArr, 1, 1);
      ArrCheckPartLinks(CurArr, 1, dc);
      ArrRedrawMarked(dc, CurArr);
    }
  }
  v_.OutStart = v_.InStart = 0;
  v_.OutEnd = v_.InEnd = 255;
  ReleaseHandles();
  if (!ok) arredit::Refuse(IDS_XFADE_LENGTH_FAILED);
  return ok;
}

void XfadeDlg::DragHandle(int side, int end, int32_t fraction) {
  if (v_.Link != kXfLinkNone) return;
  int32_t& s = side == 0 ? v_.OutStart : v_.InStart;
  int32_t& e = side == 0 ? v_.OutEnd : v_.InEnd;
  if (end == 0) s = std::clamp(fraction, 0, e - 1);
  else e = std::clamp(fraction, s + 1, 255);
}

void XfadeDlg::ReleaseHandles() {
  if (first_ < 0) return;
  ForSelectedPairs(CurArr, [&](uint32_t, uint32_t, PartRec& f, PartRec& g) {
    f.XfadeOutWindow[0] = static_cast<uint8_t>(v_.OutStart);
    f.XfadeOutWindow[1] = static_cast<uint8_t>(v_.OutEnd);
    g.XfadeInWindow[0] = static_cast<uint8_t>(v_.InStart);
    g.XfadeInWindow[1] = static_cast<uint8_t>(v_.InEnd);
  });
}

void XfadeDlg::Ok() {
  if (first_ < 0) XfadeDefaults = v_;
  XfadeLastView = v_.View;
  XfadeLastLink = v_.Link;
}

namespace {

void MarkSelectedAndUnder(ArrRec* arr) {
  for (uint32_t track = 0; track < kArrTracks; ++track)
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

}  // namespace

int ArrCrossfadeTool(int32_t position, uint32_t track, DcHandle dc, int32_t part) {
  bool notAudio = false;
  arrlist::WalkAll(CurArr, [&](uint32_t, uint32_t, const PartRec& p) {
    if (Sel(p) && p.TakeKind != kTakeAudio) notAudio = true;
  });
  if (notAudio) return arredit::Refuse(IDS_AUDIO_PARTS_ONLY);
  const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
  if (p == nullptr) return 0;
  const uint32_t aSlot = arrlist::LinkSlot(p->XfadeInPartner);
  const uint32_t bSlot = arrlist::LinkSlot(p->XfadeOutPartner);
  const PartRec* a = arrlist::UsedPart(CurArr, aSlot);
  const PartRec* b = arrlist::UsedPart(CurArr, bSlot);
  const bool aCounts = a != nullptr && p->Start <= position && position < End(*a);
  const bool bCounts = b != nullptr && b->Start <= position && position < End(*p);
  // Decided before the undo step, so that a click on neither leaves none.
  if (!aCounts && !bCounts) return 0;
  if (!arredit::BeginStep(IDS_UNDO_CROSSFADE)) return 0;
  const uint32_t other = aCounts ? aSlot : bSlot;
  PartRec& o = *ArrPart(CurArr, other);
  if (!Sel(o)) {
    o.Flags |= kPartSelected;
    const int32_t otherTrack = ArrTrackOfPart(CurArr, other);
    if (dc != nullptr && otherTrack >= 0)
      ArrDrawPart(dc, CurArr, other, static_cast<uint32_t>(otherTrack), 1, 0);
  }
  ArrExtendSelectionToLinks(dc, CurArr);
  const int32_t first = aCounts ? static_cast<int32_t>(aSlot) : part;
  (void)track;
  ArrClearTempMarks(CurArr);
  MarkSelectedAndUnder(CurArr);
  const int ok = ArrEditWnd().RunCrossfadeDialog(first) == 1;
  if (ok) {
    MarkSelectedAndUnder(CurArr);
    ArrRedrawMarked(dc, CurArr);
    ArrClearTempMarks(CurArr);
    arredit::MuteSelectedOverlaps(CurArr, dc);
    arredit::SelectionToKeepSel(CurArr);
    ArrChangeCountRaise();
  } else {
    UndoApply(0);
    if (!KeepSel) ArrClearSelection(CurArr, dc, 1);
  }
  arredit::RebuildPlay();
  return ok;
}

// ---- Preview ----

namespace {

constexpr int32_t kHandleBox = 128;
constexpr int32_t kTopBoxAbove = 61;
constexpr int32_t kBottomBoxAbove = 67;
constexpr int32_t kOverviewStepMin = 256;
constexpr int32_t kSamplesSecondsMax = 20;

bool InBox(int32_t hx, int32_t boxTop, int32_t x, int32_t y) {
  return x >= hx - kHandleBox / 2 && x < hx + kHandleBox / 2 && y >= boxTop &&
         y < boxTop + kHandleBox;
}

// The handle of a row nearer in x among those whose box holds the point;
// 0 when none does.
int PickInRow(int32_t x0, int32_t x1, int32_t boxTop, int32_t x, int32_t y, int* which) {
  const bool h0 = InBox(x0, boxTop, x, y), h1 = InBox(x1, boxTop, x, y);
  if (!h0 && !h1) return 0;
  *which = h0 && h1 ? (std::abs(x - x0) <= std::abs(x - x1) ? 0 : 1) : (h0 ? 0 : 1);
  return 1;
}

// `columns` peak pairs of [position, position + length) of the Take from
// its overview file: each column merges the 512-sample blocks it covers.
bool PointsFromOverview(TakeRec* take, int64_t position, int64_t length, int32_t columns,
                        std::vector<int16_t>* out) {
  char path[kTakePathSize];
  StrCopyN(path, GetWvFormFilePath(), sizeof path);
  if (!WvfCacheExists(take, path, sizeof path)) return false;
  const FioHandle file = FioOpen(path, kFioRead);
  if (file == kFioInvalid) return false;
  uint8_t head[kWvfHeaderSize];
  uint64_t size = 0;
  uint32_t got = 0;
  WvfHeader h{};
  bool ok = FioGetSize(file, &size) && FioReadAt(file, 0, head, sizeof head, &got) &&
            got == sizeof head && WvfParseHeader(head, sizeof head, size, &h) && h.entries > 0;
  const int64_t first = std::max<int64_t>(0, position / kWvfSamplesPerEntry);
  const int64_t last =
      std::min<int64_t>(h.entries - 1, (position + std::max<int64_t>(length, 1) - 1) / kWvfSamplesPerEntry);
  std::vector<uint8_t> bytes;
  if (ok && first <= last) {
    // One read for the whole stretch.
    bytes.resize(static_cast<size_t>(last - first + 1) * kWvfEntryBytes);
    ok = FioReadAt(file, kWvfHeaderSize + static_cast<uint64_t>(first) * kWvfEntryBytes, bytes.data(),
                   static_cast<uint32_t>(bytes.size()), &got) &&
         got == bytes.size();
  } else {
    ok = false;
  }
  FioClose(file);
  if (!ok) return false;
  auto entry = [&](int64_t b, int j) {
    const size_t at = static_cast<size_t>(b - first) * kWvfEntryBytes + 2 * j;
    return static_cast<int16_t>(bytes[at] | (bytes[at + 1] << 8));
  };
  out->assign(2 * static_cast<size_t>(columns), 0);
  for (int32_t i = 0; i < columns; ++i) {
    const int64_t from = position + length * i / columns;
    const int64_t to = position + length * (i + 1) / columns;
    const int64_t b0 = std::clamp<int64_t>(from / kWvfSamplesPerEntry, first, last);
    const int64_t b1 = std::clamp<int64_t>((std::max(to, from + 1) - 1) / kWvfSamplesPerEntry, b0, last);
    int16_t hi = INT16_MIN, lo = INT16_MAX;
    for (int64_t b = b0; b <= b1; ++b) {
      hi = std::max(hi, entry(b, 0));
      lo = std::min(lo, entry(b, 1));
    }
    (*out)[2 * static_cast<size_t>(i)] = hi;
    (*out)[2 * static_cast<size_t>(i) + 1] = lo;
  }
  return true;
}

// The same from the Take's samples, one peak pair per column from the
// native devices.
bool PointsFromSamples(TakeRec* take, int64_t position, int64_t length, int32_t columns,
                       std::vector<int16_t>* out) {
  const int64_t step = std::max<int64_t>(1, length / columns);
  out->assign(2 * static_cast<size_t>(columns), 0);
  return position >= 0 && position <= UINT32_MAX &&
         NatDevGetEnvelopes(static_cast<uint32_t>(columns), static_cast<uint32_t>(step), take,
                            static_cast<uint32_t>(position), out->data()) != 0;
}

}  // namespace

int32_t XfadeHandleX(int32_t width, int32_t fraction) { return MulDivNearest(width, fraction, 255); }

int32_t XfadeFractionAt(int32_t width, int32_t x) {
  if (width <= 0) return 0;
  return std::clamp(MulDivNearest(x, 255, width), 0, 255);
}

int XfadeHandleAt(const XfadeSettings& v, int32_t width, int32_t height, int32_t x, int32_t y,
                  int* side, int* end) {
  int top = 0, bottom = 0;
  // Top row: fade-out start, fade-in end. Bottom row: fade-out end, fade-in start.
  const bool hitTop = PickInRow(XfadeHandleX(width, v.OutStart), XfadeHandleX(width, v.InEnd),
                                -kTopBoxAbove, x, y, &top) != 0;
  const bool hitBottom = PickInRow(XfadeHandleX(width, v.OutEnd), XfadeHandleX(width, v.InStart),
                                   height - kBottomBoxAbove, x, y, &bottom) != 0;
  if (!hitTop && !hitBottom) return 0;
  const bool useTop = hitTop && (!hitBottom || y < height / 2);
  if (useTop) {
    *side = top == 0 ? 0 : 1;
    *end = top == 0 ? 0 : 1;
  } else {
    *side = bottom == 0 ? 0 : 1;
    *end = bottom == 0 ? 1 : 0;
  }
  return 1;
}

int XfadeLoadWaves(const XfadeDlg& dlg, int32_t columns, XfadeWaves* out) {
  out->First.clear();
  out->Second.clear();
  if (dlg.First() < 0 || dlg.Values().View == kXfViewNone || columns <= 0) return 1;
  const PartRec* f = arrlist::UsedPart(CurArr, static_cast<uint32_t>(dlg.First()));
  const PartRec* g = f != nullptr ? arrlist::UsedPart(CurArr, arrlist::LinkSlot(f->XfadeOutPartner)) : nullptr;
  if (g == nullptr) return 0;
  TakeRec* tf = TakeFromRef(f->Take);
  TakeRec* tg = TakeFromRef(g->Take);
  const int64_t length = End(*f) - g->Start;
  if (tf == nullptr || tg == nullptr || length <= 0) return 0;
  const int64_t fPos = int64_t{f->Offset} + (g->Start - f->Start);
  const int64_t gPos = g->Offset;
  const bool busy = NatDevAllIdle() == 0;
  const bool overviews = TakeGetAttr(tf, kTakeAttrWaveExists) && TakeGetAttr(tg, kTakeAttrWaveExists);
  bool ok = false;
  if ((length / columns >= kOverviewStepMin || busy) && overviews) {
    ok = PointsFromOverview(tf, fPos, length, columns, &out->First) &&
         PointsFromOverview(tg, gPos, length, columns, &out->Second);
  } else if (length <= int64_t{kSamplesSecondsMax} * Settings().SampleRate && !busy) {
    ok = PointsFromSamples(tf, fPos, length, columns, &out->First) &&
         PointsFromSamples(tg, gPos, length, columns, &out->Second);
  }
  if (!ok) {
    out->First.clear();
    out->Second.clear();
  }
  return ok ? 1 : 0;
}

void XfadeFadeWaves(const XfadeSettings& v, int32_t columns, XfadeWaves* waves) {
  const auto span = [&](int32_t from, int32_t to, int32_t* k, int32_t* m) {
    *k = XfadeHandleX(columns, from);
    *m = std::max(0, XfadeHandleX(columns, to) - *k);
  };
  int32_t k = 0, m = 0;
  if (waves->First.size() == 2 * static_cast<size_t>(columns)) {
    span(v.OutStart, v.OutEnd, &k, &m);
    XfdApplyFade(columns, k, m, 32768, 0, v.OutCurve, waves->First.data());
  }
  if (waves->Second.size() == 2 * static_cast<size_t>(columns)) {
    span(v.InStart, v.InEnd, &k, &m);
    XfdApplyFade(columns, k, m, 0, 32768, v.InCurve, waves->Second.data());
  }
}

// ---- Audition ----

namespace {

constexpr int16_t kTopLayer = 32767;
constexpr int32_t kAudioChannels = 192;

}  // namespace

XfadeAudition* XfadeAuditionStart(int button, uint32_t first, uint32_t second) {
  if (button < 719 || button > 723) return nullptr;
  const auto secondGroup = arredit::LinkGroup(CurArr, second);
  auto* a = new (std::nothrow) XfadeAudition;
  if (a == nullptr) return nullptr;
  for (const auto& m : arredit::LinkGroup(CurArr, first)) {
    const bool covered = std::any_of(secondGroup.begin(), secondGroup.end(),
                                     [&](const auto& o) { return o.first == m.first; });
    if (!covered) continue;
    const PartRec& f = *ArrPart(CurArr, m.second);
    const PartRec* g = arrlist::UsedPart(CurArr, arrlist::LinkSlot(f.XfadeOutPartner));
    if (g == nullptr) break;
    a->Pairs.push_back({m.second, f.XfadeOutPartner, f, *g});
  }
  if (a->Pairs.empty()) {
    delete a;
    return nullptr;
  }
  const int32_t pairs = static_cast<int32_t>(a->Pairs.size());
  int32_t nextChannel = std::clamp(XfadePreviewChannel, 1, kAudioChannels + 1 - pairs);
  for (const auto& pr : a->Pairs) {
    PartRec& f = *ArrPart(CurArr, pr.First);
    PartRec& g = *ArrPart(CurArr, pr.Second);
    auto unity = [](PartRec& p, uint32_t gain) { p.GainStart = p.GainEnd = gain; };
    switch (button) {
      case 719:
        f.Layer = kTopLayer, unity(f, 32768);
        f.XfadeOutPartner = kArrNoLink;
        g.XfadeInPartner = kArrNoLink;
        break;
      case 720: f.Layer = kTopLayer, unity(f, 32768), unity(g, 0); break;
      case 721: f.Layer = kTopLayer, unity(f, 32768), unity(g, 32768); break;
      case 722: f.Layer = kTopLayer, unity(f, 0), unity(g, 32768); break;
      case 723:
        g.XfadeInPartner = kArrNoLink;
        f.XfadeOutPartner = kArrNoLink;
        g.Layer = kTopLayer, unity(g, 32768);
        break;
    }
    // The higher-layer Part plays on its own channel, or on the next of the
    // audition's run.
    PartRec& top = g.Layer > f.Layer ? g : f;
    if (top.PlayChannel < 1 || top.PlayChannel > kAudioChannels) top.PlayChannel = nextChannel++;
  }
  const XfadeAudition::Pair& p0 = a->Pairs.front();
  const int32_t from = p0.SecondRec.Start;
  // Only the top Parts sound: every channel is silenced, then the channels
  // of the top Parts are compiled alone.
  UnitsStop();
  SoloSilenceAll();
  for (const auto& pr : a->Pairs) {
    const PartRec& f = *ArrPart(CurArr, pr.First);
    const PartRec& g = *ArrPart(CurArr, pr.Second);
    const int32_t ch = (g.Layer > f.Layer ? g : f).PlayChannel;
    SoloCompileTrack(CurArr, ch, from, ch, -1);
  }
  const int32_t end = static_cast<int32_t>(std::min<int64_t>(End(p0.FirstRec), INT32_MAX));
  if (!TransportStartAudition(from, end)) {
    XfadeAuditionStop(a);
    return nullptr;
  }
  return a;
}

void XfadeAuditionStop(XfadeAudition* audition) {
  if (audition == nullptr) return;
  TransportStopAudition();
  for (const auto& pr : audition->Pairs) {
    if (PartRec* f = ArrPart(CurArr, pr.First)) *f = pr.FirstRec;
    if (PartRec* g = ArrPart(CurArr, pr.Second)) *g = pr.SecondRec;
  }
  // The audition's lists held only its own channels, compiled from the
  // altered copies: the arrangement's own lists come back.
  RebuildAllPlayLists(CurArr, Locs().NowLoc, 0);
  delete audition;
}
