// The track column ArrColWnd_WC: the header of each visible Virtual Track,
// record-track assignment through the header's context menu, loop stacks,
// selection, arming, and the drag of assignments to other rows with its
// auto-scroll.
#include "mixer/arrange/win32/arrcol.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/mix/services.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrscroll.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/units/services.h"

namespace {

constexpr uint32_t kWidths[5] = {1, 2, 4, 6, 8};
constexpr int kRecButtonX = 29;  // the record-button strip begins here

int columnButton = 0;         // held button: 0 none, 1 left, 2 right
POINT lastPointer = {0, 0};   // client coordinates at the last move

// A running track drag: the dragged assignments, the press in column
// coordinates counted from track 0 (so that scrolling moves the target),
// and the offset whose feedback is drawn (none: INT32_MIN).
struct TrkDrag {
  bool running = false;
  std::vector<ArrTrkDragItem> items;
  int32_t pressY = 0;
  int32_t shown = INT32_MIN;
} drag;

int32_t Pitch() { return ArrView().Vzoom + kArrRowGap; }

int32_t AbsoluteY(int32_t y) { return y + ArrView().FirstTrack * Pitch(); }

int32_t DragOffsetAt(int32_t y) {
  if (drag.items.empty()) return 0;
  return ArrTrkDropOffset(drag.items.front().Track, AbsoluteY(y) - drag.pressY, Pitch());
}

// The XOR outline of every dragged track's row at `offset`; drawing it
// twice takes it away.
void DrawDragFeedback(HDC dc, int32_t offset) {
  if (offset == INT32_MIN) return;
  const ArrViewRec& v = ArrView();
  for (const ArrTrkDragItem& d : drag.items) {
    const int32_t row = static_cast<int32_t>(d.Track) + offset - v.FirstTrack;
    if (row < 0 || row > v.VisibleRows) continue;
    const int top = ArrRowTop(v, row);
    DrawXorRect(dc, {1, top, kArrColumnWidth - 2, top + v.Vzoom - 1});
  }
}

void ShowDragOffset(HWND wnd, int32_t offset) {
  if (offset == drag.shown) return;
  HDC dc = GetDC(wnd);
  DrawDragFeedback(dc, drag.shown);
  DrawDragFeedback(dc, offset);
  ReleaseDC(wnd, dc);
  drag.shown = offset;
}

void Redraw(HWND wnd) {
  if (wnd) InvalidateRect(wnd, nullptr, FALSE);
}

// After every change of the assignments: links checked, the mixer told,
// the headers redrawn, the arrangement counted as changed.
void AfterAssignChange(HWND wnd) {
  ArrTrkCheckLinks(CurArr);
  MixSyncRecTrkAssign();
  ArrChangeCountRaise();
  Redraw(wnd ? wnd : ArrColumnWnd());
}

void DragStart(int32_t y) {
  drag = TrkDrag();
  drag.items.resize(kArrTracks);
  drag.items.resize(ArrTrkDragCollect(CurArr, drag.items.data()));
  drag.running = !drag.items.empty();
  drag.pressY = AbsoluteY(y);
}

// Ends the drag at client point (x, y): a release inside the column drops
// the assignments there, outside it nothing.
void DragEnd(HWND wnd, int x, int y) {
  if (!drag.running) return;
  HDC dc = GetDC(wnd);
  DrawDragFeedback(dc, drag.shown);
  ReleaseDC(wnd, dc);
  drag.shown = INT32_MIN;
  drag.running = false;
  RECT c;
  GetClientRect(wnd, &c);
  const POINT p = {x, y};
  if (!PtInRect(&c, p) || CurArr == nullptr) return;
  const int32_t offset = DragOffsetAt(y);
  if (offset == 0) return;
  if (static_cast<int64_t>(drag.items.back().Track) + offset >= kArrTracks) {
    MessageBoxById(nullptr, IDS_REC_TRACKS_OUT_OF_RANGE, kMbWarnOk);
    return;
  }
  UndoRecord(IDS_UNDO_REC_TRACK_EDIT);
  ArrTrkDrop(CurArr, drag.items.data(), static_cast<uint32_t>(drag.items.size()), offset);
  AfterAssignChange(wnd);
}

// Release of the held button.
void Release(HWND wnd, int x, int y) {
  if (!columnButton) return;
  columnButton = 0;
  SetBlinkWnd(nullptr);
  if (GetCapture() == wnd) ReleaseCapture();
  DragEnd(wnd, x, y);
}

void Press(HWND wnd, int button, int x, int y) {
  if (columnButton) Release(wnd, lastPointer.x, lastPointer.y);
  columnButton = button;
  lastPointer = {x, y};
  SetCapture(wnd);
  const ArrViewRec& v = ArrView();
  if (y <= v.TopHeight || CurArr == nullptr) return;
  const int32_t track = ArrTrackAtY(v, y);
  if (track < 0 || track >= static_cast<int32_t>(kArrTracks)) return;
  if (TransportState() == kTransportRecording && !(Settings().PlayRecMode & kModeArmDuringRec)) {
    MessageBoxById(nullptr, IDS_NOT_DURING_RECORD, kMbWarnOk);
    return;
  }
  const uint32_t t = static_cast<uint32_t>(track);
  const TrkRec& r = CurArr->Trk[t];
  const bool shift = GetKeyState(VK_SHIFT) < 0, ctrl = GetKeyState(VK_CONTROL) < 0;
  if (r.RecTrack != 0 && x >= kRecButtonX) {
    const int32_t kind = static_cast<int32_t>(r.RecKind), n = static_cast<int32_t>(r.RecTrack);
    if (button == 1)
      SetRecReady(kind, n, n, 2);
    else
      SetRecReady(kind, 1, RecTrkCount(kind), RecTrkGetState(kind, n) == kRecTrkReady ? 0 : 1);
    return;
  }
  if (r.RecTrack != 0) {
    if (shift) {
      ArrTrkSelectRange(CurArr, t);
    } else if (ctrl) {
      ArrTrkSelect(CurArr, t, 2);
    } else {
      ArrTrkSelect(CurArr, t, 1);
      Redraw(wnd);
      if (button == 1)
        DragStart(y);
      else
        ArrTrkContextMenu(wnd, x, y, button, track);
    }
  } else if (button == 1) {
    ArrTrkDeselectAll(CurArr);
  } else if (!shift && !ctrl) {
    ArrTrkSelect(CurArr, t, 1);
    Redraw(wnd);
    ArrTrkContextMenu(wnd, x, y, button, track);
  }
  Redraw(wnd);
}

void MouseMove(HWND wnd, int x, int y) {
  lastPointer = {x, y};
  if (!drag.running) return;
  RECT c;
  GetClientRect(wnd, &c);
  const POINT p = {x, y};
  const bool inside = PtInRect(&c, p) != 0;
  SetBlinkWnd(inside ? nullptr : wnd);
  if (inside) ShowDragOffset(wnd, DragOffsetAt(y));
}

// One auto-scroll tick of a drag held outside the column: the rows move a
// quarter of the visible rows toward the pointer.
void AutoScrollTick(HWND wnd) {
  if (!drag.running) return;
  ArrViewRec& v = ArrView();
  RECT c;
  GetClientRect(wnd, &c);
  const int32_t step = std::max(v.VisibleRows / 4, 1), old = v.FirstTrack;
  if (lastPointer.y < v.TopHeight + 1) v.FirstTrack = std::max(0, v.FirstTrack - step);
  if (lastPointer.y >= c.bottom) v.FirstTrack = std::min(256 - v.VisibleRows, v.FirstTrack + step);
  v.FirstTrack = std::max(v.FirstTrack, 0);
  if (v.FirstTrack == old) return;
  ArrSetHScrollPos();
  ArrSetVScrollPos();
  // The repaint takes the feedback away and draws it again at the offset
  // the pointer now gives.
  drag.shown = DragOffsetAt(std::clamp<int32_t>(lastPointer.y, v.TopHeight + 1, c.bottom - 1));
  Redraw(ArrPartAreaWnd());
  Redraw(wnd);
  UpdateWindow(wnd);
}

void Paint(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  if (FastRedraw) {
    ArrPaintColumn(dc, c.right, c.bottom);
  } else {
    ArrPaintBuffered(dc, c.right, c.bottom, ArrPaintColumn);
  }
  if (drag.running) DrawDragFeedback(dc, drag.shown);
  EndPaint(wnd, &ps);
}

LRESULT CALLBACK ArrColWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DESTROY:
      if (columnButton) Release(wnd, lastPointer.x, lastPointer.y);
      return 0;
    case WM_PAINT:
      Paint(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_CANCELMODE:
      Release(wnd, lastPointer.x, lastPointer.y);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      Press(wnd, msg == WM_LBUTTONDOWN ? 1 : 2, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_MOUSEMOVE:
      MouseMove(wnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (columnButton == (msg == WM_LBUTTONUP ? 1 : 2))
        Release(wnd, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case kArrMsgAutoScroll:
      AutoScrollTick(wnd);
      return 0;
    default:
      return DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

HMENU TrackList(UINT base, uint32_t width, uint32_t checked, bool all) {
  HMENU m = CreatePopupMenu();
  int item = 0;
  for (uint32_t n = 1; n + width - 1 <= kArrMaxRecTrack; n += width, ++item) {
    char text[32];
    if (width == 1)
      std::snprintf(text, sizeof text, "Track %u", n);
    else
      std::snprintf(text, sizeof text, "Track %u-%u", n, n + width - 1);
    const UINT flags =
        MF_STRING | (item > 0 && item % 32 == 0 ? MF_MENUBARBREAK : 0) | (n == checked ? MF_CHECKED : 0);
    AppendMenuA(m, flags, base + n, text);
  }
  if (all) AppendMenuA(m, MF_STRING, base + kArrTrkCmdAll, "All");
  return m;
}

}  // namespace

HMENU ArrTrkBuildMenu(int32_t track) {
  if (CurArr == nullptr || track < 0 || track >= static_cast<int32_t>(kArrTracks)) return nullptr;
  const uint32_t t = static_cast<uint32_t>(track);
  const TrkRec& r = CurArr->Trk[t];
  HMENU menu = CreatePopupMenu();
  HMENU create = CreatePopupMenu();
  HMENU audio = CreatePopupMenu();
  static const char* const kWidthNames[5] = {"Mono", "Stereo", "4 chan", "6 chan", "8 chan"};
  for (int w = 0; w < 5; ++w)
    AppendMenuA(audio, MF_POPUP,
                reinterpret_cast<UINT_PTR>(TrackList(kArrTrkCmdAudio + 200 * w, kWidths[w], 0, true)),
                kWidthNames[w]);
  AppendMenuA(create, MF_POPUP, reinterpret_cast<UINT_PTR>(audio), "Audio");
  AppendMenuA(create, MF_POPUP, reinterpret_cast<UINT_PTR>(TrackList(kArrTrkCmdAutom, 1, 0, true)), "Automation");
  AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(create), "Create Record Track");
  if (r.RecTrack != 0) {
    uint32_t head = t;
    const uint32_t width = ArrTrkGroupExtent(CurArr, t, &head);
    AppendMenuA(menu, MF_POPUP,
                reinterpret_cast<UINT_PTR>(TrackList(kArrTrkCmdReassign, width, CurArr->Trk[head].RecTrack, false)),
                "Reassign Record Track");
    HMENU stack = CreatePopupMenu();
    const uint32_t depth = ArrTrkLoopStackDepth(CurArr, t);
    for (uint32_t d = 1; d <= kArrMaxLoopStack; ++d) {
      char text[16];
      std::snprintf(text, sizeof text, "Stack %u", d);
      AppendMenuA(stack, MF_STRING | (d == depth ? MF_CHECKED : 0), kArrTrkCmdStack + d, text);
    }
    AppendMenuA(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(stack), "Record Loop Stack");
    AppendMenuA(menu, MF_STRING, kArrTrkCmdDelete, "Delete Record Track");
  }
  return menu;
}

void ArrTrkContextMenu(HWND wnd, int x, int y, int button, int32_t track) {
  HMENU menu = ArrTrkBuildMenu(track);
  if (menu == nullptr) return;
  PostMessageA(wnd, WM_CANCELMODE, 0, 0);
  POINT p = {x, y};
  ClientToScreen(wnd, &p);
  const UINT cmd = TrackPopupMenu(menu, TPM_RETURNCMD | (button == 2 ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON), p.x, p.y,
                                  0, wnd, nullptr);
  DestroyMenu(menu);
  if (cmd != 0) ArrTrkMenuCommand(track, cmd);
}

void ArrTrkMenuCommand(int32_t track, UINT cmd) {
  if (CurArr == nullptr || track < 0 || track >= static_cast<int32_t>(kArrTracks)) return;
  const uint32_t t = static_cast<uint32_t>(track);
  const TrkRec r = CurArr->Trk[t];
  uint32_t head = t;
  const uint32_t width = r.RecTrack != 0 ? ArrTrkGroupExtent(CurArr, t, &head) : 0;
  UndoRecord(IDS_UNDO_REC_TRACK_EDIT);
  uint32_t refused = 0;
  if (cmd >= kArrTrkCmdAudio && cmd < kArrTrkCmdAudio + 200 * 5) {
    const uint32_t w = kWidths[(cmd - kArrTrkCmdAudio) / 200], n = (cmd - kArrTrkCmdAudio) % 200;
    if (n == kArrTrkCmdAll)
      ArrTrkAssignAll(CurArr, t, kTakeAudio, 1, w);
    else
      refused = ArrTrkAssignGroup(CurArr, t, kTakeAudio, n, w);
  } else if (cmd >= kArrTrkCmdAutom && cmd < kArrTrkCmdAutom + 200) {
    const uint32_t n = cmd - kArrTrkCmdAutom;
    if (n == kArrTrkCmdAll)
      ArrTrkAssignAll(CurArr, t, kTakeAutom, 1, 1);
    else
      refused = ArrTrkAssignGroup(CurArr, t, kTakeAutom, n, 1);
  } else if (width != 0 && cmd > kArrTrkCmdReassign && cmd <= kArrTrkCmdReassign + kArrMaxRecTrack) {
    refused = ArrTrkAssignGroup(CurArr, head, r.RecKind, cmd - kArrTrkCmdReassign, width);
  } else if (width != 0 && cmd > kArrTrkCmdStack && cmd <= kArrTrkCmdStack + kArrMaxLoopStack) {
    refused = ArrTrkSetLoopStack(CurArr, t, cmd - kArrTrkCmdStack);
  } else if (cmd == kArrTrkCmdDelete) {
    ArrTrkDeleteSelected(CurArr);
  }
  if (refused != 0) MessageBoxById(nullptr, refused, kMbWarnOk);
  AfterAssignChange(nullptr);
}

ArrTrkDragState ArrTrkDragGet() {
  ArrTrkDragState s;
  s.Running = drag.running ? 1 : 0;
  s.Count = static_cast<uint32_t>(drag.items.size());
  s.Offset = drag.shown == INT32_MIN ? 0 : drag.shown;
  return s;
}

void RegisterArrColWnd(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ArrColWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "ArrColWnd_WC";
  RegisterClassA(&wc);
}

void ArrDrawTrkLinks(HDC dc) {
  if (dc == nullptr || CurArr == nullptr) return;
  const ArrViewRec& v = ArrView();
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  constexpr int kX = 42;
  for (int32_t row = 0; row <= v.VisibleRows; ++row) {
    const int32_t t = v.FirstTrack + row;
    if (t >= static_cast<int32_t>(kArrTracks)) break;
    const bool down = ArrTrkGroupNext(CurArr, static_cast<uint32_t>(t)) >= 0;
    const bool up = !ArrTrkIsGroupHead(CurArr, static_cast<uint32_t>(t));
    if (!down && !up) continue;
    const int mid = ArrRowTop(v, row) + v.Vzoom / 2;
    // The member's tick, and the line toward the next member.
    MoveToEx(dc, kX - 2, mid, nullptr);
    LineTo(dc, kX + 1, mid);
    MoveToEx(dc, kX, up ? ArrRowTop(v, row) - 1 : mid, nullptr);
    LineTo(dc, kX, down ? ArrRowTop(v, row + 1) : mid + 1);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

// ---- Services the model and the mixer call ----

int ArrFindRecTrkGroup(int kind, int recTrack, int* lastTrack) {
  if (kind < 0 || recTrack < 0) return -1;
  uint32_t last = 0;
  const int32_t first =
      ArrFindRecTrkGroup(CurArr, static_cast<uint32_t>(kind), static_cast<uint32_t>(recTrack), &last);
  if (first >= 0 && lastTrack) *lastTrack = static_cast<int>(last);
  return first;
}

int ArrCountRecTrks(int kind, int recTrack) {
  if (kind < 0 || recTrack < 0) return 1;
  return static_cast<int>(ArrCountRecTrks(CurArr, static_cast<uint32_t>(kind), static_cast<uint32_t>(recTrack)));
}

void ArrRedrawRecTrkHeaders(int kind, int recTrack) {
  HWND col = ArrColumnWnd();
  if (col == nullptr || CurArr == nullptr) return;
  const ArrViewRec& v = ArrView();
  for (int32_t row = 0; row < v.VisibleRows; ++row) {
    const int32_t t = v.FirstTrack + row;
    if (t >= static_cast<int32_t>(kArrTracks)) break;
    const TrkRec& r = CurArr->Trk[t];
    if (r.RecTrack != static_cast<uint32_t>(recTrack) || r.RecKind != static_cast<uint32_t>(kind)) continue;
    const int top = ArrRowTop(v, row);
    RECT rc = {0, top - 1, kArrColumnWidth, top + v.Vzoom + 1};
    InvalidateRect(col, &rc, FALSE);
  }
}
