// The Part area ArrChildWnd_WC: painting
// through a memory bitmap, the mouse tools and their drags (rubber bands,
// move/copy, trim, slip, ruler locators, markers, the right-button view
// drag), keys, and the edit seams the edit operations reach the window by.
#include <windows.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "mixer/arrange/csetools.h"
#include "mixer/arrange/dragops.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/partcmds.h"
#include "mixer/arrange/partops.h"
#include "mixer/arrange/procthin.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/solo.h"
#include "mixer/arrange/automfront.h"
#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/arrange/win32/eopwin.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/marker.h"
#include "mixer/model/options.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrscroll.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"
#include "mixer/units/solo.h"
#include "mixer/units/transport.h"
#include "mixer/units/unitmotion.h"

void ArrSetRectZoom(int on);

namespace {

constexpr UINT kUndoMove = 91;

HCURSOR currentCursor = nullptr;
ArrZoomDrag zoomDrag;
uint32_t markerDrag = 0;  // marker number being dragged, 0 none
int markerAnchorX = 0;    // the press's distance right of the marker's pixel
int markerLastX = INT32_MIN;
ArrTrimDragRec* trim = nullptr;
ArrVolDragRec* vol = nullptr;
POINT lastPointer = {0, 0};  // the pointer at the last move, client coordinates
int slipKeyed = 0;           // the slip was moved by the arrow keys
int32_t slipKeyDistance = 0; // its signed distance in samples (negative: leftward)
int moveKeyed = 0;           // the move/copy drag was moved by the arrow keys
int32_t moveKeyDistance = 0; // its time offset in samples
int volLastY = INT32_MIN;
int dropDrag = 0;            // a dropped file's Parts follow the pointer until a click
int soloPlaying = 0;         // a Part plays solo while the button is held
int32_t scrubLast = -1;      // the last scrub position sent, -1 none
int32_t scrubStep = 0;       // and the step it moved by
ArrAutomDragRec* autom = nullptr;

// Where the dragged marker goes for pointer x: its pixel keeps its
// distance from the pointer; snapped, never before the time line's start.
int32_t MarkerDragPos(int x) {
  return std::max(0, SnapLoc(ArrPosOfX(ArrView(), x - markerAnchorX), 0, 0, CurArr, CurMrkList, 0, 0));
}

// The dragged marker's flag in the marker strip, under XOR in yellow:
// drawn again at the same pixel it is gone.
void MarkerFlagXor(HDC dc, int x) {
  const int saved = SetROP2(dc, R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, 0x00FFFF);
  HGDIOBJ old = SelectObject(dc, pen);
  ArrDrawRulerTick(dc, x, ArrView().TopHeight - 1);
  SelectObject(dc, old);
  DeleteObject(pen);
  SetROP2(dc, saved);
}

// The flag moves to the pointer's pixel, the last one erased first; drawn
// only when the pixel changed.
void DragMarkerFeedback(HDC dc, int x) {
  const int mx = ArrXOfPos(ArrView(), MarkerDragPos(x));
  if (dc == nullptr || mx == markerLastX) return;
  if (markerLastX != INT32_MIN) MarkerFlagXor(dc, markerLastX);
  MarkerFlagXor(dc, mx);
  markerLastX = mx;
}

// The release: the feedback goes, the marker moves as one undo step.
void DragMarkerCommit(HDC dc, int x) {
  if (dc != nullptr && markerLastX != INT32_MIN) MarkerFlagXor(dc, markerLastX);
  markerLastX = INT32_MIN;
  const int32_t p = MarkerDragPos(x);
  UndoRecord(kUndoMove);
  MrkEdit(kMrkEditMove, markerDrag, p);
  markerDrag = 0;
  ArrRedrawMarkerRuler();
}

int LogAxisOn() { return RadioValue(kGrpWavAxis) == 40724 ? 1 : 0; }

// The gain feedback: the envelopes of the dragged Parts at the gains the
// pointer gives, drawn under XOR (drawn twice they are gone), one pixel
// taller than the painted ones so that they stand beside them.
void VolOutline(HDC dc, int y) {
  if (dc == nullptr || vol == nullptr) return;
  const ArrViewRec& v = ArrView();
  const int32_t change = ArrVolDragChange(*vol, y, LogAxisOn());
  const int half = std::max(v.Vzoom / 2 - 1, 1);
  const int saved = SetROP2(dc, R2_XORPEN);
  HGDIOBJ pen = SelectObject(dc, GetStockObject(WHITE_PEN));
  HGDIOBJ brush = SelectObject(dc, GetStockObject(HOLLOW_BRUSH));
  auto moved = [&](uint32_t gain) {
    return DeciDbToGain(std::min(GainToDeciDb(gain) + change, 0));  // never above unity
  };
  for (const ArrVolEdge& e : vol->Parts) {
    const PartRec* p = ArrPart(CurArr, e.Slot);
    if (p == nullptr) continue;
    const int centre = ArrRowTop(v, static_cast<int32_t>(e.Track) - v.FirstTrack) + v.Vzoom / 2;
    const uint32_t g0 = e.Which == 1 ? p->GainStart : moved(p->GainStart);
    const uint32_t g1 = e.Which == 0 ? p->GainEnd : moved(p->GainEnd);
    ArrDrawGainEnvelope(dc, p->Start, p->Length, centre, half, g0, g1, p->FadeCurve, 1);
  }
  SelectObject(dc, brush);
  SelectObject(dc, pen);
  SetROP2(dc, saved);
}

ArrInput Input(UINT time = 0) {
  ArrInput in;
  in.Shift = GetKeyState(VK_SHIFT) < 0;
  in.Ctrl = GetKeyState(VK_CONTROL) < 0;
  in.Alt = GetKeyState(VK_MENU) < 0;
  in.Time = time ? time : GetMessageTime();
  in.DoubleClickTime = GetDoubleClickTime();
  return in;
}

HCURSOR CursorOf(int32_t id) {
  switch (id) {
    case kCurSizeWE: return LoadCursorA(nullptr, IDC_SIZEWE);
    case kCurSizeNWSE: return LoadCursorA(nullptr, IDC_SIZENWSE);
    case kCurSizeNESW: return LoadCursorA(nullptr, IDC_SIZENESW);
    case kCurSizeNS: return LoadCursorA(nullptr, IDC_SIZENS);
    case kCurArrow: return LoadCursorA(nullptr, IDC_ARROW);
    default: {
      HCURSOR c = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
      return c ? c : LoadCursorA(nullptr, IDC_ARROW);
    }
  }
}

// The window side of the edit operations.
class ArrWindowSeams : public ArrEditWindow {
 public:
  int Exists() override { return ArrPartAreaWnd() != nullptr; }
  void UpdateScrollRanges() override {
    ArrUpdateHScroll();
    ArrUpdateVScroll();
  }
  void RedrawNow() override {
    if (HWND w = ArrPartAreaWnd()) {
      InvalidateRect(w, nullptr, FALSE);
      UpdateWindow(w);
    }
  }
  // The Part's context menu, with the external modules' processes under
  // its "Process" pop-up.
  int32_t TrackPartMenu(uint32_t menuId, int x, int y) override {
    HWND w = ArrPartAreaWnd();
    return w ? EopPartContextMenu(w, menuId, x, y) : -1;
  }
  void* ToolCursor(int tool, int zone) override { return CursorOf(ArrToolCursorId(tool, zone)); }
  void ShowCursor(void* c) override {
    currentCursor = c ? static_cast<HCURSOR>(c) : LoadCursorA(nullptr, IDC_ARROW);
    SetCursor(currentCursor);
  }
  void BeginRubberBand(int x, int y, int moveNow) override {
    ArrChildState& s = ArrChild();
    s.RubberBand = 1;
    s.Anchor = s.Corner = {x, y};
    s.MoveNowOnRelease = moveNow;
    if (HWND w = ArrPartAreaWnd()) {
      HDC dc = GetDC(w);
      DrawXorRect(dc, {x, y, x, y});
      ReleaseDC(w, dc);
    }
  }
  void DrawMoveOutline(DcHandle dc, const int32_t* words) override { MoveOutline(reinterpret_cast<HDC>(dc), words, 0, 0); }
  void DrawSlipFeedback(DcHandle dc, const int32_t* words) override { SlipOutline(reinterpret_cast<HDC>(dc), words, 0); }

  // The dragged Parts' rectangles shifted by dx pixels and rows.
  static void MoveOutline(HDC dc, const int32_t* w, int dx, int rows) {
    if (dc == nullptr) return;
    const ArrChildState& s = ArrChild();
    const int left = s.Press.x - w[kMoveDragDx], top = s.Press.y - w[kMoveDragDy];
    const int dy = rows * (ArrView().Vzoom + kArrRowGap);
    for (int32_t i = 0; i < w[kMoveDragCount]; ++i) {
      const int32_t* e = &w[kMoveDragHeader + 5 * i];
      DrawXorRect(dc, {left + e[1] + dx, top + e[2] + dy, left + e[3] + dx, top + e[4] + dy});
    }
  }
  static void SlipOutline(HDC dc, const int32_t* w, int dx) {
    if (dc == nullptr) return;
    for (int32_t i = 0; i < w[0]; ++i) {
      const int32_t* e = &w[5 + 5 * i];
      const RECT r = {w[1] + e[1], w[2] + e[2], w[1] + e[3], w[2] + e[4]};
      DrawXorRect(dc, r);
      // The contents mark: a line where the Take's start now lies.
      const int mx = std::clamp<int>(r.left + dx, r.left, r.right);
      DrawXorRect(dc, {mx, r.top + 2, mx, r.bottom - 2});
    }
  }
};

// The edit routines the window adds: the zones and tool sets, and the trim
// drag's start.
class ArrWindowRoutines : public ArrPartEditRoutines {
 public:
  int PartZone(const ArrRec* arr, uint32_t slot, uint32_t, int32_t position, int32_t line) override {
    const PartRec* p = ArrPart(arr, slot);
    if (p == nullptr) return 4;
    const int32_t hz = std::max(ArrView().Hzoom, 1);
    const int64_t fromStart = (int64_t{position} - p->Start) / hz;
    const int64_t toEnd = (int64_t{p->Start} + p->Length - position) / hz;
    return ArrCseZoneOf(static_cast<int32_t>(std::min<int64_t>(fromStart, INT32_MAX)),
                        static_cast<int32_t>(std::min<int64_t>(toEnd, INT32_MAX)), line, ArrView().Vzoom);
  }
  int ContextTool(int32_t part, int zone, uint32_t) override {
    const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
    if (p == nullptr || zone < 0 || zone >= kCseEntries) return kCseNone;
    return CseTools[CseSetOf(p->TakeKind, GetKeyState(VK_MENU) < 0)][zone];
  }
  int CursorTool(int kind, int alt, int zone) override {
    if (zone < 0 || zone >= kCseEntries) return kCseNone;
    return CseTools[std::clamp(kind, 0, 2) + (alt ? 3 : 0)][zone];
  }
  void* BeginTrim(DcHandle dc, int x, int y, int32_t part, int zone, int op) override {
    const PartRec* p = arrlist::UsedPart(CurArr, static_cast<uint32_t>(part));
    if (p == nullptr) return nullptr;
    const bool atEnd = (zone >= 8 && zone <= 11) || (zone >= 16 && zone <= 19);
    const int32_t edge = atEnd ? static_cast<int32_t>(std::min<int64_t>(int64_t{p->Start} + p->Length, INT32_MAX))
                               : p->Start;
    trim = ArrTrimDragStart(dc, x, y, edge, op == 44);
    if (trim != nullptr) TrimOutline(reinterpret_cast<HDC>(dc), trim->Edge);
    return trim;
  }
  void* BeginGainDrag(DcHandle dc, int x, int y, int32_t part) override {
    vol = ArrVolDragStart(y, part, ArrHitTest(CurArr, x, y, nullptr, nullptr, nullptr));
    volLastY = y;
    VolOutline(reinterpret_cast<HDC>(dc), y);
    return vol;
  }
  // Solo play lasts while the button is held; the release stops it.
  int SoloPart(DcHandle dc, int32_t p, uint32_t t, int32_t position) override {
    soloPlaying = ArrPartEditRoutines::SoloPart(dc, p, t, position);
    return soloPlaying;
  }
  int SoloPartSpan(int32_t position, DcHandle dc, int32_t p, uint32_t t) override {
    soloPlaying = ArrPartEditRoutines::SoloPartSpan(position, dc, p, t);
    return soloPlaying;
  }
  int SoloScrub(DcHandle dc, uint32_t t, int x, int y, int32_t p, int32_t position) override {
    scrubLast = -1;
    scrubStep = 0;
    return ArrPartEditRoutines::SoloScrub(dc, t, x, y, p, position);
  }
  int ScrubAll(DcHandle dc, int32_t position, int x, int y) override {
    scrubLast = -1;
    scrubStep = 0;
    return ArrPartEditRoutines::ScrubAll(dc, position, x, y);
  }
  void* BeginAutomEdit(DcHandle dc, int x, int y, int32_t part, int) override {
    ArrInput in = Input();
    autom = ArrAutomEditStart(reinterpret_cast<HDC>(dc), x, y, part, in);
    return autom;
  }
  // The trimmed Parts' rectangles with the moving edge at `edge`.
  static void TrimOutline(HDC dc, int32_t edge) {
    if (dc == nullptr || trim == nullptr) return;
    const ArrViewRec& v = ArrView();
    for (const ArrTrimEdge& e : trim->Parts) {
      const PartRec* p = ArrPart(CurArr, e.Slot);
      if (p == nullptr) continue;
      const int y0 = ArrRowTop(v, static_cast<int32_t>(e.Track) - v.FirstTrack);
      int x0 = ArrXOfPos(v, p->Start);
      int x1 = ArrXOfPos(v, static_cast<int32_t>(std::min<int64_t>(int64_t{p->Start} + p->Length, INT32_MAX)));
      (e.End ? x1 : x0) = ArrXOfPos(v, edge);
      DrawXorRect(dc, {x0, y0, x1, y0 + v.Vzoom});
    }
  }
};

ArrWindowSeams windowSeams;
ArrWindowRoutines windowRoutines;
ArrChildState childState;

HDC ChildDc() { return ArrPartAreaWnd() ? GetDC(ArrPartAreaWnd()) : nullptr; }
void DoneDc(HDC dc) {
  if (dc) ReleaseDC(ArrPartAreaWnd(), dc);
}

// Draws the running drag's XOR feedback where it last stood, into a
// picture that a repaint has just made without it. The automation node and
// the marker have no kept place to draw at: they are drawn again at the
// next pointer move, with nothing to erase first.
void RedrawFeedback(HDC dc) {
  const ArrChildState& s = childState;
  ArrDragHandles& d = ArrDrags();
  if (s.RubberBand) {
    DrawXorRect(dc, {s.Anchor.x, s.Anchor.y, s.Corner.x, s.Corner.y});
  } else if (d.MoveCopy) {
    const auto* rec = static_cast<ArrMoveDragRec*>(d.MoveCopy);
    ArrWindowSeams::MoveOutline(dc, rec->Words.data(), s.LastMoveX == INT32_MIN ? 0 : s.LastMoveX,
                                s.LastMoveX == INT32_MIN ? 0 : s.LastMoveRow);
  } else if (d.Trim && trim) {
    ArrWindowRoutines::TrimOutline(dc, s.LastTrimX == INT32_MIN ? trim->Edge : s.LastTrimX);
  } else if (d.Slip) {
    ArrWindowSeams::SlipOutline(dc, static_cast<ArrSlipDragRec*>(d.Slip)->Words.data(),
                                s.LastSlipX == INT32_MIN ? 0 : s.LastSlipX);
  } else if (d.GainDrag && vol) {
    VolOutline(dc, volLastY);
  } else if (d.AutomEdit && autom) {
    autom->Drawn = 0;
  } else if (markerDrag) {
    markerLastX = INT32_MIN;
  }
}

// The whole picture, with the running drag's feedback on top: a repaint
// while a drag runs (the auto-scrolling view moving under it, or any other
// redraw) leaves the feedback drawn, so that the drag's next XOR step
// erases it rather than drawing it a second time.
void PaintWithFeedback(HDC dc, int w, int h) {
  ArrPaintPartArea(dc, w, h);
  RedrawFeedback(dc);
}

void PaintChild(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  if (FastRedraw && !AutoScrollArrWnd) {
    PaintWithFeedback(dc, c.right, c.bottom);
  } else {
    ArrPaintBuffered(dc, c.right, c.bottom, PaintWithFeedback);
  }
  EndPaint(wnd, &ps);
}

int Row(int y) { return std::clamp(ArrTrackAtY(ArrView(), y), 0, 255) ; }

void EndDrags(HWND wnd, int x, int y) {
  ArrChildState& s = childState;
  ArrDragHandles& d = ArrDrags();
  HDC dc = ChildDc();
  RECT c;
  GetClientRect(wnd, &c);
  const bool inside = x >= 0 && y >= 0 && x < c.right && y < c.bottom;
  if (s.RubberBand) {
    DrawXorRect(dc, {s.Anchor.x, s.Anchor.y, s.Corner.x, s.Corner.y});
    s.RubberBand = 0;
    const int l = std::min(s.Anchor.x, s.Corner.x), r = std::max(s.Anchor.x, s.Corner.x);
    const int t = std::min(s.Anchor.y, s.Corner.y), b = std::max(s.Anchor.y, s.Corner.y);
    if (ArrRectZoomOn()) {
      ArrZoomToRect(l, t, r + 1, b + 1);
      ArrSetRectZoom(0);
      currentCursor = LoadCursorA(nullptr, IDC_ARROW);
    } else if (r != l || b != t) {
      ArrRubberBandSelect(dc, {l, t, r, b});
      ArrExtendSelectionToLinks(dc, CurArr);
      s.MoveNowOnRelease = 0;
    }
    if (s.MoveNowOnRelease) {
      // The current position itself is no snap target for its own move.
      SetLocator(kLocNowLocate, std::max(0, SnapLoc(ArrPosOfX(ArrView(), x), 0, kSnapNearest, CurArr, CurMrkList,
                                                    kSnapExcludeNow, 0)));
      s.MoveNowOnRelease = 0;
    }
  } else if (d.MoveCopy) {
    auto* rec = static_cast<ArrMoveDragRec*>(d.MoveCopy);
    d.MoveCopy = nullptr;
    if (s.LastMoveX != INT32_MIN)
      ArrWindowSeams::MoveOutline(dc, rec->Words.data(), s.LastMoveX, s.LastMoveRow);
    else
      ArrWindowSeams::MoveOutline(dc, rec->Words.data(), 0, 0);
    DoneDc(dc);
    dc = nullptr;
    if (moveKeyed) {
      // A keyed move ends at its keyed offset on its own track; a release
      // outside the area still cancels it.
      moveKeyed = 0;
      if (inside)
        ArrMoveCopyDragEndBy(nullptr, rec, moveKeyDistance, 0, TransportState());
      else
        delete rec;
    } else {
      ArrMoveCopyDragEnd(nullptr, rec, s.Press.x, s.Press.y, x, y, inside, TransportState());
    }
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (d.Trim) {
    ArrWindowRoutines::TrimOutline(dc, s.LastTrimX != INT32_MIN ? s.LastTrimX : trim->Edge);
    d.Trim = nullptr;
    ArrTrimDragRec* rec = trim;
    trim = nullptr;
    DoneDc(dc);
    dc = nullptr;
    ArrTrimDragEnd(nullptr, rec, x);
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (d.GainDrag) {
    VolOutline(dc, volLastY);
    d.GainDrag = nullptr;
    ArrVolDragRec* rec = vol;
    vol = nullptr;
    DoneDc(dc);
    dc = nullptr;
    ArrVolDragEnd(nullptr, rec, y, LogAxisOn());
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (d.Slip) {
    std::unique_ptr<ArrSlipDragRec> rec(static_cast<ArrSlipDragRec*>(d.Slip));
    d.Slip = nullptr;
    ArrWindowSeams::SlipOutline(dc, rec->Words.data(), s.LastSlipX != INT32_MIN ? s.LastSlipX : 0);
    ArrSlipDrag slip{rec->Words[1], rec->Words[4], rec->Words[3], 0};
    int commitX = x;
    if (slipKeyed) {
      // The keyboard's distance, as a pointer far enough that way and the
      // distance itself as the limit.
      const int32_t hz = std::max(ArrView().Hzoom, 1);
      const int32_t n = static_cast<int32_t>((std::abs(int64_t{slipKeyDistance}) + hz - 1) / hz);
      commitX = slip.PressX + (slipKeyDistance < 0 ? -n : n);
      slip.KeyStep = slipKeyDistance;
      slipKeyed = 0;
    }
    DoneDc(dc);
    dc = nullptr;
    ArrSlipCommit(commitX, nullptr, slip);
    slipKeyDistance = 0;
    ArrRedrawWindows();
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (d.AutomEdit) {
    ArrAutomDragRec* rec = autom;
    d.AutomEdit = nullptr;
    autom = nullptr;
    if (rec != nullptr) ArrAutomEditFeedback(dc, *rec, x, y, 1);
    DoneDc(dc);
    dc = nullptr;
    ArrAutomEditDrop(nullptr, rec, x, y, GetMessageTime(), GetDoubleClickTime());
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (markerDrag) {
    DragMarkerCommit(dc, x);
  } else if (s.ViewDrag) {
    s.ViewDrag = 0;
    if (zoomDrag.State == 1) {
      int32_t part = -1;
      ArrHitTest(CurArr, x, y, &part, nullptr, nullptr);
      ArrPartContextMenu(wnd, dc, x, y, TransportState(), 0, part, Input());
    }
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  } else if (s.RulerCode) {
    ArrRulerSetLocator(x, y, s.RulerCode + 1, 1);
    s.RulerCode = 0;
  }
  if (soloPlaying || ArrScrubState != 0) {
    // The transport's stop brings the arrangement's own play lists, play
    // flags, loop and record state back; the units are then located at
    // the current position.
    if (ArrScrubState != 0) SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    TransportCommand(kTcStop);
    TransportCommand(kTcStopStep2);
    soloPlaying = 0;
    ArrScrubState = 0;
    scrubLast = -1;
    SetLocator(kLocNowLocate, Locs().NowLoc);
    ArrRefreshAfterLocate();
    currentCursor = LoadCursorA(nullptr, IDC_ARROW);
  }
  s.LastMoveX = s.LastMoveRow = s.LastSlipX = s.LastTrimX = INT32_MIN;
  DoneDc(dc);
}

void Release(HWND wnd, int button, int x, int y) {
  ArrChildState& s = childState;
  if (s.Button != button) return;
  s.Button = 0;
  SetBlinkWnd(nullptr);
  EndDrags(wnd, x, y);
  ReleaseCapture();
  InvalidateRect(wnd, nullptr, FALSE);
}

void Press(HWND wnd, int button, int x, int y) {
  ArrChildState& s = childState;
  if (dropDrag) {
    // The click places the dropped Parts.
    dropDrag = 0;
    EndDrags(wnd, x, y);
    ReleaseCapture();
    InvalidateRect(wnd, nullptr, FALSE);
    return;
  }
  if (s.Button == button) return;
  if (s.Button != 0) SendMessageA(wnd, s.Button == 1 ? WM_LBUTTONUP : WM_RBUTTONUP, 0, MAKELPARAM(x, y));
  const int transport = TransportState();
  const ArrInput in = Input();
  s.Button = button;
  const int tool = ToolGet(button == 2 ? (in.Alt ? 2 : 0) : (in.Alt ? 3 : 1));
  SetCapture(wnd);
  s.Press = {x, y};
  const ArrViewRec& v = ArrView();
  RECT c;
  GetClientRect(wnd, &c);
  const int trackBottom = std::min(256 * v.Vzoom + v.TopHeight + 513, static_cast<int>(c.bottom));
  if (y > v.TopHeight && y < trackBottom) {
    if (ArrRectZoomOn()) {
      windowSeams.BeginRubberBand(x, y, 0);
      return;
    }
    if (button == 2 && tool == kToolContext) {
      const int zone = ArrHitTest(CurArr, x, y, nullptr, nullptr, nullptr);
      if (zone >= kZoneBefore || in.Shift || in.Ctrl) return;
      zoomDrag = ArrZoomDrag{};
      zoomDrag.PressX = x;
      zoomDrag.PressY = y;
      s.ViewDrag = 1;
      currentCursor = LoadCursorA(nullptr, in.Alt ? IDC_SIZEALL : IDC_ARROW);
      return;
    }
    HDC dc = ChildDc();
    if (button == 2) {
      int32_t part = -1;
      ArrHitTest(CurArr, x, y, &part, nullptr, nullptr);
      ArrPartContextMenu(wnd, dc, x, y, transport, 0, part, in);
    } else {
      ArrChildClick(wnd, dc, x, y, transport, 0, tool, in);
    }
    DoneDc(dc);
    return;
  }
  if (y > v.TopHeight) return;
  if (transport == kTransportRecording) {
    MessageBoxById(nullptr, IDS_NOT_DURING_RECORD, kMbWarnOk);
    return;
  }
  if (const uint32_t m = ArrMrkBarHit(x, y)) {
    if (button == 1) {
      markerDrag = m;
      markerAnchorX = x - ArrXOfPos(v, MrkGetLoc(CurMrkList, m));
      markerLastX = INT32_MIN;
    } else if (transport == kTransportStopped) {
      SetLocator(kLocNowLocate, MrkGetLoc(CurMrkList, m));
    }
    return;
  }
  if (in.Shift) {
    if (transport != kTransportStopped) return;
    s.RulerCode = 5;
  } else {
    s.RulerCode = button == 1 ? 1 : 3;
  }
  ArrRulerSetLocator(x, y, s.RulerCode, 1);
}

// The scrub follows the pointer: by speed (state 4), the distance from the
// current position (following it) or from the press in whole pixels;
// otherwise the scrub position, once the pointer moved farther than the
// last step.
void ScrubFollow(int x) {
  const ArrViewRec& v = ArrView();
  const int32_t hz = std::max(v.Hzoom, 1);
  if (ArrScrubState == 4) {
    const int from = AutoScrollArrWnd ? ArrXOfPos(v, Locs().NowLoc) : ArrScrubPressX;
    const int32_t speed = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x - from} * hz, -kArrScrubMaxLoc,
                                                                   kArrScrubMaxLoc));
    if (!NinePinIsLockMode()) UnitsWind(speed / 10);
    currentCursor = CursorOf(speed > 0 ? 406 : speed < 0 ? 405 : 404);
    SetCursor(currentCursor);
    return;
  }
  const int32_t pos = static_cast<int32_t>(std::clamp<int64_t>(ArrPosOfX(v, x), 0, int64_t{EndOfTime} - 1));
  const int64_t step = scrubLast < 0 ? int64_t{pos} : int64_t{pos} - scrubLast;
  if (scrubLast >= 0 && std::abs(step) <= std::abs(int64_t{scrubStep})) return;
  scrubStep = static_cast<int32_t>(std::clamp<int64_t>(step, -kArrScrubMaxLoc, kArrScrubMaxLoc));
  scrubLast = pos;
  ArrScrubState = 3;
  UnitsSetScrubLoc(pos, scrubStep);
}

void Move(HWND wnd, int x, int y) {
  ArrChildState& s = childState;
  ArrDragHandles& d = ArrDrags();
  const ArrInput in = Input();
  lastPointer = {x, y};
  if (s.Button == 0 && ToolGet(1) == kToolContext && !ArrRectZoomOn()) ArrHitCursor(x, y, in);
  if (s.ViewDrag && ArrZoomScrollDrag(x, y, zoomDrag, in)) {
    ArrUpdateHScroll();
    ArrUpdateVScroll();
    ArrRedrawWindows();
  }
  if (currentCursor) SetCursor(currentCursor);
  // With the status bar open it shows the track and the position under the
  // pointer, snapped to the grid (targets left out).
  if (WndTable[kStatusBar] != nullptr && y >= ArrView().TopHeight) {
    const int32_t pos = static_cast<int32_t>(std::clamp<int64_t>(ArrPosOfX(ArrView(), x), 0, EndOfTime));
    PosTextBitmapTrk(SnapLoc(pos, 0, 0, CurArr, CurMrkList, kSnapNoTargets, 0),
                     std::clamp(ArrTrackAtY(ArrView(), y), 0, static_cast<int32_t>(kArrTracks) - 1));
  }
  if (s.Button == 0 && !dropDrag) return;
  RECT client;
  GetClientRect(wnd, &client);
  const bool outside = x < 0 || y < 0 || x >= client.right || y >= client.bottom;
  const bool dragging = s.RubberBand || d.MoveCopy || d.Trim || d.Slip || d.AutomEdit || markerDrag;
  // Outside the area a drag asks the shell's timer for scroll ticks; a
  // scrub is parked there, or, scrubbing by speed, follows on.
  if (outside && ArrScrubState != 0 && !dragging) {
    SetBlinkWnd(nullptr);
    if (ArrScrubState != 4) {
      if (scrubLast != -1) UnitsSetScrubLoc(-1, 0);
      scrubLast = -1;
      ArrScrubState = 2;
    } else {
      ScrubFollow(x);
    }
    return;
  }
  SetBlinkWnd(outside && dragging ? wnd : nullptr);
  HDC dc = ChildDc();
  if (s.RubberBand) {
    DrawXorRect(dc, {s.Anchor.x, s.Anchor.y, s.Corner.x, s.Corner.y});
    s.Corner = {x, y};
    DrawXorRect(dc, {s.Anchor.x, s.Anchor.y, s.Corner.x, s.Corner.y});
  } else if (d.MoveCopy && !moveKeyed) {
    // The rectangles stand where the release would put the Parts: snapped,
    // or on a locator.
    const auto* rec = static_cast<ArrMoveDragRec*>(d.MoveCopy);
    int64_t first = 0;
    const int64_t to = ArrMoveDragTarget(*rec, s.Press.x, x, &first);
    const ArrViewRec& v = ArrView();
    const int dx = to == INT64_MIN ? 0
                                   : ArrXOfPos(v, static_cast<int32_t>(to)) - ArrXOfPos(v, static_cast<int32_t>(first));
    const int rows = std::clamp(ArrTrackAtY(ArrView(), y), 0, 255) - Row(s.Press.y);
    if (dx != s.LastMoveX || rows != s.LastMoveRow) {
      ArrWindowSeams::MoveOutline(dc, rec->Words.data(), s.LastMoveX == INT32_MIN ? 0 : s.LastMoveX,
                                  s.LastMoveX == INT32_MIN ? 0 : s.LastMoveRow);
      ArrWindowSeams::MoveOutline(dc, rec->Words.data(), dx, rows);
      s.LastMoveX = dx;
      s.LastMoveRow = rows;
    }
  } else if (d.Trim && trim && trim->Nudged == INT32_MIN) {
    const int32_t edge = ArrTrimDragTarget(*trim, x);
    if (edge != s.LastTrimX) {
      ArrWindowRoutines::TrimOutline(dc, s.LastTrimX == INT32_MIN ? trim->Edge : s.LastTrimX);
      ArrWindowRoutines::TrimOutline(dc, edge);
      s.LastTrimX = edge;
    }
  } else if (d.GainDrag && vol) {
    // Only a new level changes the picture: within the clamps the pointer
    // moves without redrawing.
    if (y != volLastY && ArrVolDragChange(*vol, y, LogAxisOn()) != ArrVolDragChange(*vol, volLastY, LogAxisOn())) {
      VolOutline(dc, volLastY);
      VolOutline(dc, y);
      volLastY = y;
    }
  } else if (d.Slip && !slipKeyed) {
    const auto* rec = static_cast<ArrSlipDragRec*>(d.Slip);
    const int dx = ArrSlipDragShift(*rec, x);
    if (dx != s.LastSlipX) {
      ArrWindowSeams::SlipOutline(dc, rec->Words.data(), s.LastSlipX == INT32_MIN ? 0 : s.LastSlipX);
      ArrWindowSeams::SlipOutline(dc, rec->Words.data(), dx);
      s.LastSlipX = dx;
    }
  } else if (d.AutomEdit && autom) {
    ArrAutomEditFeedback(dc, *autom, x, y, 0);
  } else if (markerDrag) {
    DragMarkerFeedback(dc, x);
  } else if (s.RulerCode) {
    ArrRulerSetLocator(x, y, s.RulerCode, 1);
  } else if (ArrScrubState != 0) {
    ScrubFollow(x);
  }
  DoneDc(dc);
}

// An arrow key during a trim or slip drag: the drag leaves the pointer and
// follows the keys.
void ArrowKey(HWND, int right) {
  ArrChildState& s = childState;
  ArrDragHandles& d = ArrDrags();
  HDC dc = ChildDc();
  if (d.Trim && trim) {
    const int32_t before = trim->Nudged != INT32_MIN ? trim->Nudged : (s.LastTrimX != INT32_MIN ? s.LastTrimX : trim->Edge);
    const int32_t edge = ArrTrimDragKey(*trim, right);
    ArrWindowRoutines::TrimOutline(dc, before);
    ArrWindowRoutines::TrimOutline(dc, edge);
    s.LastTrimX = edge;
  } else if (d.MoveCopy) {
    auto* rec = static_cast<ArrMoveDragRec*>(d.MoveCopy);
    const std::vector<int32_t>& w = rec->Words;
    if (w[kMoveDragMode] != 1) {
      const int32_t hz = std::max(ArrView().Hzoom, 1);
      // The first key erases the pointer's outline and starts from the
      // Parts' own places.
      if (!moveKeyed) {
        ArrWindowSeams::MoveOutline(dc, w.data(), s.LastMoveX == INT32_MIN ? 0 : s.LastMoveX,
                                    s.LastMoveX == INT32_MIN ? 0 : s.LastMoveRow);
        moveKeyed = 1;
        moveKeyDistance = 0;
      } else {
        ArrWindowSeams::MoveOutline(dc, w.data(), moveKeyDistance / hz, 0);
      }
      int64_t first = INT64_MAX;
      const ArrRec* src = rec->Source != nullptr ? rec->Source : CurArr;
      for (int32_t i = 0; i < w[kMoveDragCount]; ++i) {
        const PartRec* p = ArrPart(src, static_cast<uint32_t>(w[kMoveDragHeader + 5 * i]));
        if (p != nullptr && p->Start != kPartFreeStart) first = std::min<int64_t>(first, p->Start);
      }
      // The offset steps as a slip's distance does, and keeps the Parts
      // on the time line.
      if (first != INT64_MAX)
        moveKeyDistance = ArrSlipDragKey(moveKeyDistance, right, static_cast<int32_t>(first),
                                         static_cast<int32_t>(EndOfTime - first));
      ArrWindowSeams::MoveOutline(dc, w.data(), moveKeyDistance / hz, 0);
      s.LastMoveX = moveKeyDistance / hz;
      s.LastMoveRow = 0;
    }
  } else if (d.Slip) {
    auto* rec = static_cast<ArrSlipDragRec*>(d.Slip);
    const int32_t hz = std::max(ArrView().Hzoom, 1);
    if (!slipKeyed) {
      ArrWindowSeams::SlipOutline(dc, rec->Words.data(), s.LastSlipX == INT32_MIN ? 0 : s.LastSlipX);
      slipKeyed = 1;
      slipKeyDistance = 0;
    } else {
      ArrWindowSeams::SlipOutline(dc, rec->Words.data(), slipKeyDistance / hz);
    }
    // Words 4 and 3: the room to the left and to the right.
    slipKeyDistance = ArrSlipDragKey(slipKeyDistance, right, rec->Words[4], rec->Words[3]);
    ArrWindowSeams::SlipOutline(dc, rec->Words.data(), slipKeyDistance / hz);
    s.LastSlipX = slipKeyDistance / hz;
  }
  DoneDc(dc);
}

// One auto-scroll tick: the view moves a quarter span or a quarter of the
// rows toward the pointer, and the running drag moves with the picture.
void AutoScrollTick(HWND wnd) {
  ArrChildState& s = childState;
  ArrDragHandles& d = ArrDrags();
  ArrViewRec& v = ArrView();
  const POINT p = lastPointer;
  RECT c;
  GetClientRect(wnd, &c);
  const int32_t oldOrigin = v.Origin, oldFirst = v.FirstTrack;
  const bool moving = TransportState() != kTransportStopped;
  if (!(AutoScrollArrWnd && moving)) {
    if (p.x < 0) v.Origin = std::max(0, v.Origin - v.Span / 4);
    if (p.x >= c.right) v.Origin = std::min(std::max(0, ArrLargestOrigin(v.Span)), v.Origin + v.Span / 4);
  }
  const int32_t step = std::max(v.VisibleRows / 4, 1);
  if (p.y < 0) v.FirstTrack = std::max(0, v.FirstTrack - step);
  if (p.y >= c.bottom) v.FirstTrack = std::min(256 - v.VisibleRows, v.FirstTrack + step);
  if (v.Origin == oldOrigin && v.FirstTrack == oldFirst) return;
  const int dx = (v.Origin - oldOrigin) / std::max(v.Hzoom, 1);
  const int dy = (v.FirstTrack - oldFirst) * (v.Vzoom + kArrRowGap);
  // The drag moves with the picture: its press point, and the anchor of a
  // band, as far as the view moved. The repaint then draws its feedback
  // where it now stands.
  s.Press.x -= dx;
  s.Press.y -= dy;
  if (s.RubberBand) {
    s.Anchor.x -= dx;
    s.Anchor.y -= dy;
  } else if (d.Trim && trim) {
    trim->PressX -= dx;
  } else if (d.Slip) {
    auto* rec = static_cast<ArrSlipDragRec*>(d.Slip);
    rec->Words[1] -= dx;
    rec->Words[2] -= dy;
  } else if (d.AutomEdit && autom) {
    autom->Bottom -= dy;  // the node's row moved with the picture
  }
  ArrSetHScrollPos();
  ArrSetVScrollPos();
  if (HWND col = ArrColumnWnd()) InvalidateRect(col, nullptr, FALSE);
  InvalidateRect(wnd, nullptr, FALSE);
  UpdateWindow(wnd);
}

void NowMoved(HWND wnd) {
  ArrRepaintDeferredWaves();
  ArrViewRec& v = ArrView();
  const int32_t now = Locs().NowLoc;
  if (AutoScrollArrWnd) {
    const int32_t o = ArrCentredOrigin(v, now);
    if (std::abs(int64_t{o} - v.Origin) >= std::max(v.Hzoom, 1)) {
      const int dx = static_cast<int>((int64_t{o} - v.Origin) / std::max(v.Hzoom, 1));
      v.Origin = o;
      ArrSetHScrollPos();
      InvalidateRect(wnd, nullptr, FALSE);
      // A move/copy drag stays under the pointer while the view moves under
      // it: its press point moves with the picture, and its feedback is
      // drawn again where the pointer now puts it.
      if (ArrDrags().MoveCopy != nullptr && !moveKeyed) {
        childState.Press.x -= dx;
        UpdateWindow(wnd);
        Move(wnd, lastPointer.x, lastPointer.y);
      }
    }
    return;
  }
  HDC dc = GetDC(wnd);
  const int visible = ArrDrawLocFlag(dc, 0, now, 1);
  ReleaseDC(wnd, dc);
  if (visible || !v.Follow || childState.RubberBand || childState.Button) return;
  const int t = TransportState();
  int64_t o;
  if (t == kTransportRewind)
    o = int64_t{now} - v.Span + kArrTimeShift + 1;
  else if (t == kTransportStopped)
    o = ArrCentredOrigin(v, now);
  else
    o = std::min<int64_t>(now, int64_t{EndOfTime} - v.Span) + kArrTimeShift;
  v.Origin = static_cast<int32_t>(std::clamp<int64_t>(o, 0, std::max(0, ArrLargestOrigin(v.Span))));
  ArrSetHScrollPos();
  InvalidateRect(wnd, nullptr, FALSE);
}

LRESULT CALLBACK ArrChildWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      DragAcceptFiles(wnd, TRUE);
      ArrSetEditSeams(&windowSeams, &windowRoutines);
      currentCursor = LoadCursorA(nullptr, IDC_ARROW);
      return 0;
    case WM_DESTROY:
      ArrSetEditSeams(nullptr, nullptr);
      return 0;
    case WM_PAINT:
      PaintChild(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_CANCELMODE:
      if (dropDrag) {
        // Taken away before the click: the dropped Parts go with it.
        dropDrag = 0;
        EndDrags(wnd, -1, -1);
        ReleaseCapture();
        InvalidateRect(wnd, nullptr, FALSE);
        return 0;
      }
      if (childState.Button) {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(wnd, &p);
        Release(wnd, childState.Button, p.x, p.y);
      }
      return 0;
    case WM_KEYDOWN:
      switch (wParam) {
        case 'L': SetLocator(kLocLeftPrime, GetCurrentLoc()); return 0;
        case 'R': SetLocator(kLocRightPrime, GetCurrentLoc()); return 0;
        case VK_DELETE:
          if (GetCapture() == wnd || ArrCountSelParts(CurArr, kArrCountAll, 0) == 0) return 0;
          if (TransportState() == kTransportStopped) {
            HDC dc = ChildDc();
            ArrDeleteSelected(dc);
            DoneDc(dc);
          } else {
            MessageBoxById(nullptr, TransportState() == kTransportRecording ? IDS_NOT_DURING_RECORD
                                                                             : IDS_NOT_DURING_PLAYBACK,
                           kMbWarnOk);
          }
          return 0;
        case VK_LEFT:
        case VK_RIGHT:
          ArrowKey(wnd, wParam == VK_RIGHT);
          return 0;
        default:
          return 0;
      }
    case WM_MOUSEMOVE:
      Move(wnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      Press(wnd, msg == WM_LBUTTONDOWN ? 1 : 2, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      Release(wnd, msg == WM_LBUTTONUP ? 1 : 2, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_DROPFILES:
      if (childState.Button == 0 && !dropDrag)
        ArrDropFiles(wnd, reinterpret_cast<HDROP>(wParam));
      else
        DragFinish(reinterpret_cast<HDROP>(wParam));
      return 0;
    case kArrMsgNowMoved:
      NowMoved(wnd);
      return 0;
    case kArrMsgAutoScroll:
      if (childState.Button) AutoScrollTick(wnd);
      return 0;
    case kArrMsgLeftMoved:
    case kArrMsgRightMoved: {
      HDC dc = GetDC(wnd);
      ArrDrawLocFlag(dc, msg == kArrMsgLeftMoved ? 1 : 2,
                     msg == kArrMsgLeftMoved ? Locs().LeftLoc : Locs().RightLoc, 1);
      ReleaseDC(wnd, dc);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && currentCursor) {
        SetCursor(currentCursor);
        return TRUE;
      }
      return DefWindowProcA(wnd, msg, wParam, lParam);
    default:
      return DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

}  // namespace

ArrChildState& ArrChild() { return childState; }

void ArrChildBeginDropDrag(void* rec, int x, int y, int capture) {
  ArrChildState& s = childState;
  ArrDrags().MoveCopy = rec;
  dropDrag = 1;
  s.Press = {x, y};
  s.LastMoveX = s.LastMoveRow = INT32_MIN;
  moveKeyed = 0;
  HWND w = ArrPartAreaWnd();
  if (capture && w) SetCapture(w);
  const auto* r = static_cast<ArrMoveDragRec*>(rec);
  currentCursor = CursorOf(ArrToolCursorId(r->Words[kMoveDragOp], 0));
  SetCursor(currentCursor);
}

int ArrDropDragActive() { return dropDrag; }

int ArrSoloPlaying() { return soloPlaying; }
int ArrScrubbing() { return ArrScrubState != 0 ? 1 : 0; }
int ArrSoloPlayState() { return soloPlaying ? 1 : 0; }

void RegisterArrChildWnd(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ArrChildWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = "ArrChildWnd_WC";
  RegisterClassA(&wc);
}

void ArrShowZoomCursor(int on) { currentCursor = on ? CursorOf(400) : LoadCursorA(nullptr, IDC_ARROW); }

HCURSOR ArrCurrentCursor() { return currentCursor; }

void ArrRefreshToolCursor() {
  if (ToolGet(1) != kToolContext) ArrShowZoomCursor(ArrRectZoomOn());
  HWND w = ArrPartAreaWnd();
  if (w == nullptr || childState.ViewDrag) return;
  POINT p;
  GetCursorPos(&p);
  ScreenToClient(w, &p);
  RECT c;
  GetClientRect(w, &c);
  if (PtInRect(&c, p)) SendMessageA(w, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
}

void ArrUpdateToolCursor() { ArrRefreshToolCursor(); }
