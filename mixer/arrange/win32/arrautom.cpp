// The automation event drag of the Part area (tool 41): a node of the
// curve that an Automation Part shows is grabbed (or, on a double click, a
// new one made), follows the pointer under XOR feedback, and at the release
// is written into a new Automation Take by ArrAutomEventEdit.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/automfront.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/shell/win32/settings.h"

namespace {

constexpr uint32_t kIdsAutomOnly = 322;
constexpr int kGrabPixels = 4;
constexpr int kNameBand = 16;
constexpr int kLabelWidth = 100;
constexpr int kLabelHeight = 14;

// The press before this one, for the double click that makes a new event.
uint32_t lastPressTime = 0;
int lastPressValid = 0;

int32_t EndOf(const PartRec& p) {
  return static_cast<int32_t>(std::min<int64_t>(arrlist::End64(p), INT32_MAX));
}

// The curve's node at a time-line position and a value, in pixels.
POINT NodeAt(const ArrAutomDragRec& r, int32_t position, int32_t value) {
  return {ArrXOfPos(ArrView(), position), r.Bottom - value};
}

// The knob's event before (previous) or after a time-line position inside
// the Part, as a time-line position and a value; -1 when none.
int32_t Neighbour(const ArrAutomDragRec& r, const PartRec& p, int previous, int32_t position, int32_t* value) {
  const int64_t onTake = int64_t{position} - p.Start + p.Offset;
  if (onTake < 0 || onTake > UINT32_MAX) return -1;
  uint32_t location = static_cast<uint32_t>(onTake);
  if (!ArrAutomFrontEnd().EventNear(r.Take, previous, r.Knob, r.Height, &location, value)) return -1;
  const int64_t at = int64_t{location} - p.Offset + p.Start;
  if (at < p.Start || at > EndOf(p)) return -1;
  return static_cast<int32_t>(at);
}

}  // namespace

ArrAutomDragRec* ArrAutomEditStart(HDC dc, int x, int y, int32_t part, const ArrInput& input) {
  const int doubleClick = lastPressValid && input.Time - lastPressTime < input.DoubleClickTime;
  lastPressTime = input.Time;
  lastPressValid = !doubleClick;
  if (!KeepSel) ArrClearSelection(CurArr, reinterpret_cast<DcHandle>(dc), 1);
  const ArrViewRec& v = ArrView();
  const int names = ShowNameInWave ? 1 : 0;
  if (v.Vzoom <= (names ? 20 : 13)) return nullptr;
  const PartRec* p = part >= 0 ? arrlist::UsedPart(CurArr, static_cast<uint32_t>(part)) : nullptr;
  if (p == nullptr) return nullptr;
  if (p->TakeKind != kTakeAutom) {
    MessageBoxById(nullptr, kIdsAutomOnly, kMbWarnOk);
    return nullptr;
  }
  if (!ArrAutomFrontEnd().HasKnob(p->Take, p->AutoMapValue)) return nullptr;
  auto r = std::make_unique<ArrAutomDragRec>();
  r->Slot = static_cast<uint32_t>(part);
  r->Track = static_cast<uint32_t>(std::max(ArrTrackOfPart(CurArr, r->Slot), 0));
  r->Take = p->Take;
  r->Knob = p->AutoMapValue;
  r->PressX = x;
  r->PressY = y;
  r->PressTime = input.Time;
  const int rowTop = ArrRowTop(v, static_cast<int32_t>(r->Track) - v.FirstTrack);
  r->Height = (v.Vzoom - 3 - (names ? kNameBand : 0)) << std::clamp(v.WaveZoom, 0, 8);
  r->Bottom = rowTop + v.Vzoom - 2;
  r->First = p->Start;
  r->Last = std::max(p->Start, EndOf(*p) - 1);
  const int32_t at = static_cast<int32_t>(std::clamp<int64_t>(ArrPosOfX(v, x), p->Start, r->Last));
  // The event before the pointer, or else the one after it, within reach.
  for (const int previous : {1, 0}) {
    int32_t value = 0;
    const int32_t pos = Neighbour(*r, *p, previous, at, &value);
    if (pos < 0) continue;
    const POINT n = NodeAt(*r, pos, value);
    if (std::abs(x - n.x) <= kGrabPixels && std::abs(y - n.y) <= kGrabPixels) {
      r->Grabbed = pos;
      r->GrabDx = x - n.x;
      r->GrabDy = y - n.y;
      r->LastPos = pos;
      r->LastValue = value;
      break;
    }
  }
  if (r->Grabbed < 0) {
    if (!doubleClick) return nullptr;
    r->DoubleClick = 1;
  }
  // The node stays between its neighbours.
  const int32_t from = r->Grabbed >= 0 ? r->Grabbed : at;
  r->Low = r->First;
  r->High = r->Last;
  if (from > p->Start) {
    const int32_t prev = Neighbour(*r, *p, 1, from - 1, &r->PrevValue);
    if (prev >= 0 && prev < from) {
      r->PrevPos = prev;
      r->Low = std::min(prev + 1, from);
    }
  }
  {
    const int32_t next = Neighbour(*r, *p, 0, from + 1, &r->NextValue);
    if (next > from) {
      r->NextPos = next;
      r->High = std::max(next - 1, from);
    }
  }
  int32_t pos = 0, value = 0;
  ArrAutomEditTarget(*r, x, y, &pos, &value);
  r->Drawn = 0;
  ArrAutomEditFeedback(dc, *r, x, y, 0);
  return r.release();
}

void ArrAutomEditTarget(const ArrAutomDragRec& r, int x, int y, int32_t* position, int32_t* value) {
  const ArrViewRec& v = ArrView();
  const int32_t raw = static_cast<int32_t>(std::clamp<int64_t>(ArrPosOfX(v, x - r.GrabDx), 0, EndOfTime));
  const int32_t snapped = SnapLoc(raw, 0, 0, CurArr, CurMrkList, 0, 0);
  *position = std::clamp(snapped, r.Low, r.High);
  int32_t val = std::clamp(r.Bottom - (y - r.GrabDy), 0, std::max(r.Height, 0));
  ArrAutomFrontEnd().KnobScale(r.Take, r.Knob, r.Height, &val);
  *value = std::clamp(val, 0, std::max(r.Height, 0));
}

void DrawXorNodeLine(HDC dc, POINT previous, POINT next, POINT node, int straight, const char* label,
                     int labelBelow) {
  if (dc == nullptr) return;
  const int top = ArrView().TopHeight;
  const int saved = SetROP2(dc, R2_XORPEN);
  HGDIOBJ pen = SelectObject(dc, GetStockObject(WHITE_PEN));
  // Each segment once, clipped below the rows top, so that a second
  // drawing takes exactly the same pixels away.
  auto segment = [&](POINT a, POINT b) {
    if (a.y <= top && b.y <= top) return;
    a.y = std::max<LONG>(a.y, top + 1);
    b.y = std::max<LONG>(b.y, top + 1);
    MoveToEx(dc, a.x, a.y, nullptr);
    LineTo(dc, b.x, b.y);
  };
  auto join = [&](POINT from, POINT to) {
    if (straight || from.y == to.y) {
      segment(from, to);
    } else {
      // Stepped: the value holds until the next node.
      segment(from, {to.x, from.y});
      segment({to.x, from.y}, to);
    }
  };
  if (previous.x >= 0) join(previous, node);
  if (next.x >= 0) join(node, next);
  SelectObject(dc, pen);
  SetROP2(dc, saved);
  if (node.y > top) {
    PatBlt(dc, node.x - 1, node.y - 2, 3, 5, DSTINVERT);
    PatBlt(dc, node.x - 2, node.y - 1, 5, 3, DSTINVERT);
  }
  if (label != nullptr && label[0] != '\0') {
    // The label is inverted in through a mask, so that it comes off again.
    const RECT box = {node.x - 4 - kLabelWidth, labelBelow ? node.y + 18 - kLabelHeight : node.y - kLabelHeight - 2,
                      node.x - 4, labelBelow ? node.y + 18 : node.y - 2};
    if (box.top <= top) return;
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bm = CreateCompatibleBitmap(dc, kLabelWidth, kLabelHeight);
    HGDIOBJ old = SelectObject(mem, bm);
    RECT all = {0, 0, kLabelWidth, kLabelHeight};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(255, 255, 255));
    HGDIOBJ font = SelectObject(mem, GetStockObject(DEFAULT_GUI_FONT));
    DrawTextA(mem, label, -1, &all, DT_RIGHT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(mem, font);
    BitBlt(dc, box.left, box.top, kLabelWidth, kLabelHeight, mem, 0, 0, SRCINVERT);
    SelectObject(mem, old);
    DeleteObject(bm);
    DeleteDC(mem);
  }
}

namespace {

void DrawNode(HDC dc, const ArrAutomDragRec& r, int32_t pos, int32_t value) {
  const PartRec* p = ArrPart(CurArr, r.Slot);
  char label[64] = "";
  const int32_t channel = p != nullptr && p->PlayChannel >= 0 && p->PlayChannel <= 128 ? p->PlayChannel : 0;
  ArrAutomFrontEnd().ValueText(r.Take, r.Knob, r.Height, value, channel, label, sizeof label);
  const POINT none = {-1, 0};
  DrawXorNodeLine(dc, r.PrevPos >= 0 ? NodeAt(r, r.PrevPos, r.PrevValue) : none,
                  r.NextPos >= 0 ? NodeAt(r, r.NextPos, r.NextValue) : none, NodeAt(r, pos, value), 0, label, 0);
}

}  // namespace

void ArrAutomEditFeedback(HDC dc, ArrAutomDragRec& r, int x, int y, int eraseOnly) {
  if (dc == nullptr) return;
  if (eraseOnly) {
    if (r.Drawn) DrawNode(dc, r, r.LastPos, r.LastValue);
    r.Drawn = 0;
    return;
  }
  int32_t pos = 0, value = 0;
  ArrAutomEditTarget(r, x, y, &pos, &value);
  if (r.Drawn && pos == r.LastPos && value == r.LastValue) return;
  if (r.Drawn) DrawNode(dc, r, r.LastPos, r.LastValue);
  DrawNode(dc, r, pos, value);
  r.Drawn = 1;
  r.LastPos = pos;
  r.LastValue = value;
}

int ArrAutomEditDrop(HDC dc, ArrAutomDragRec* rec, int x, int y, uint32_t time, uint32_t doubleClickTime) {
  std::unique_ptr<ArrAutomDragRec> own(rec);
  if (rec == nullptr) return 0;
  if (x == rec->PressX && y == rec->PressY && time - rec->PressTime < doubleClickTime) {
    ArrAutomFrontEnd().RefreshAfterEdit(Locs().NowLoc);
    return 0;
  }
  int32_t pos = 0, value = 0;
  ArrAutomEditTarget(*rec, x, y, &pos, &value);
  const int done = ArrAutomEventEdit(reinterpret_cast<DcHandle>(dc), rec->Slot, rec->Grabbed, pos, value,
                                     std::max(rec->Height, 1));
  ArrRedrawWindows();
  ArrAutomFrontEnd().RefreshAfterEdit(Locs().NowLoc);
  return done;
}
