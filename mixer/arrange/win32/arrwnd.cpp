// The arrange frame ArrWnd_WC: children, layout, zoom and follow buttons,
// scrolling, the view operations other windows call, and the settings of
// section ArrangeWnd.
#include "mixer/arrange/win32/arrwnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mixer/arrange/csetools.h"
#include "mixer/arrange/partdlg.h"
#include "mixer/arrange/xfade.h"
#include "mixer/arrange/services.h"
#include "mixer/model/docnames.h"
#include "mixer/model/ini.h"
#include "mixer/model/settings.h"
#include "mixer/model/marker.h"
#include "mixer/model/snap.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/arrscroll.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/controls.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/console.h"
#include "mixer/units/services.h"

namespace {

constexpr char kFrameClass[] = "ArrWnd_WC";
constexpr UINT kMenuArrangeWnd = 42310;
constexpr UINT kMenuMrkBar = 42305;
constexpr UINT kMenuGrid = 42306;
constexpr UINT kMenuFollow = 41809;
constexpr uint32_t kStrCaption = 515;
constexpr uint32_t kStrTempoMap = 623;
constexpr uint32_t kIdleWaitMs = 10000;  // the longest wait for the units after a locate

HWND frame = nullptr;
HWND column = nullptr;
HBmButton9Desc buttons[8] = {};
HBRUSH headerBrush = nullptr;
HBRUSH backBrush = nullptr;
HBRUSH locBrush[3] = {};
HBITMAP locFlag[3] = {};
POINT locBrushOrg = {0, 0};

// The frame's client area moved to screen point (x, y).
void SetLocatorBrushOrigin(int x, int y) {
  locBrushOrg = {((x % 8) + 8) % 8, ((y % 8) + 8) % 8};
  for (HBRUSH b : locBrush)
    if (b) UnrealizeObject(b);
}

const char* IniFile() { return MainIniPath(); }

void Invalidate(HWND w) {
  if (w) InvalidateRect(w, nullptr, FALSE);
}

void RepaintBoth() {
  Invalidate(ArrView().PartArea ? static_cast<HWND>(ArrView().PartArea) : nullptr);
  Invalidate(column);
}

HWND PartArea() { return static_cast<HWND>(ArrView().PartArea); }

// The check of a main-menu item. The menu is the main frame's, so the
// switches show there whether the arrange window is open or not.
void CheckMenu(UINT id, int on) {
  HWND owner = WndTable[kMainWnd] ? WndTable[kMainWnd] : frame ? GetWindow(frame, GW_OWNER) : nullptr;
  if (HMENU menu = owner ? GetMenu(owner) : nullptr)
    CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void SetButton(int id, int on) {
  HBmButton9Desc& b = buttons[id];
  b.state = on ? (b.state | kHbOn) : (b.state & ~kHbOn);
  if (b.wnd) InvalidateRect(b.wnd, nullptr, FALSE);
}

void MakeBrushes() {
  if (headerBrush) DeleteObject(headerBrush);
  if (backBrush) DeleteObject(backBrush);
  headerBrush = CreateSolidBrush(ColorScale(GetSysColor(COLOR_BTNFACE), 17, 16, 0));
  backBrush = CreateSolidBrush(ArrView().Color[0]);
}

void AfterZoomH() {
  ArrUpdateHScroll();
  Invalidate(PartArea());
  ConsoleNotifyZoom(ArrView().Hzoom);
}

void Layout(int w, int h) {
  struct Place {
    int id, x, y, cx, cy;
  } const places[] = {
      {kArrHScroll, kArrBarSize, h - 16, w - 48, 16},
      {kArrHZoomIn, w - 32, h - 16, 16, 16},
      {kArrHZoomOut, 0, h - 16, 16, 16},
      {kArrVScroll, w - 16, 32, 16, h - 64},
      {kArrVZoomIn, w - 16, 16, 16, 16},
      {kArrVZoomOut, w - 16, h - 32, 16, 16},
      {kArrRectZoom, w - 16, h - 16, 16, 16},
      {kArrFollow, w - 16, 0, 16, 16},
      {kArrColumn, 0, 0, kArrColumnWidth, h - 16},
      {kArrPartArea, kArrColumnWidth, 0, w - 16 - kArrColumnWidth, h - 16},
  };
  for (const Place& p : places)
    if (HWND c = GetDlgItem(frame, p.id))
      MoveWindow(c, p.x, p.y, std::max(p.cx, 0), std::max(p.cy, 0), TRUE);
  ArrResizeCalc(ArrView(), w - kArrColumnWidth - 16, h - 16);
  ArrUpdateVScroll();
  ArrUpdateHScroll();
}

void CreateChildren(HWND wnd, HINSTANCE inst) {
  RECT c;
  GetClientRect(wnd, &c);
  const int w = c.right, h = c.bottom;
  ArrViewRec& v = ArrView();
  v.HScrollBar = CreateWindowExA(0, "scrollbar", "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 16, h - 16,
                                 std::max(w - 48, 0), 16, wnd, reinterpret_cast<HMENU>(kArrHScroll),
                                 inst, nullptr);
  v.VScrollBar = CreateWindowExA(0, "scrollbar", "", WS_CHILD | WS_VISIBLE | SBS_VERT, w - 16, 32, 16,
                                 std::max(h - 64, 0), wnd, reinterpret_cast<HMENU>(kArrVScroll), inst,
                                 nullptr);
  struct Btn {
    int id;
    uint32_t bitmap, tip;
  } const btns[] = {{kArrHZoomIn, 247, 1538}, {kArrHZoomOut, 248, 1539}, {kArrVZoomIn, 247, 1536},
                    {kArrVZoomOut, 248, 1537}, {kArrRectZoom, 249, 1540}, {kArrFollow, 250, 1541}};
  for (const Btn& b : btns) {
    HBmButton9Desc& d = buttons[b.id];
    const uint32_t keep = d.state & kHbOn;
    d = HBmButton9Desc{};
    d.state = keep;
    d.bitmapRes = b.bitmap;
    d.style = kHbButton;
    d.mask = 0xC0C0C0;
    d.tooltip = b.tip;
    CreateWindowExA(0, kHBmButton9Class, "", WS_CHILD | WS_VISIBLE, 0, 0, 16, 16, wnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)), inst, &d);
  }
  column = CreateWindowExA(0, "ArrColWnd_WC", "", WS_CHILD | WS_VISIBLE, 0, 0, kArrColumnWidth,
                           std::max(h - 16, 0), wnd, reinterpret_cast<HMENU>(kArrColumn), inst, nullptr);
  v.PartArea = CreateWindowExA(0, "ArrChildWnd_WC", "", WS_CHILD | WS_VISIBLE, kArrColumnWidth, 0,
                               std::max(w - 16 - kArrColumnWidth, 0), std::max(h - 16, 0), wnd,
                               reinterpret_cast<HMENU>(kArrPartArea), inst, nullptr);
  v.Frame = wnd;
}

void ButtonPress(int id, int right) {
  ArrViewRec& v = ArrView();
  switch (id) {
    case kArrHZoomIn:
    case kArrHZoomOut:
      SetButton(id, 1);
      ArrZoomH(id == kArrHZoomIn ? v.Hzoom / 2 : v.Hzoom * 2, Locs().NowLoc, 0);
      return;
    case kArrVZoomIn:
    case kArrVZoomOut:
      SetButton(id, 1);
      if (!right) {
        ArrZoomV(id == kArrVZoomIn ? ArrRowHeightUp(v.Vzoom) : ArrRowHeightDown(v.Vzoom), 0, 0);
      } else {
        v.WaveZoom = std::clamp(v.WaveZoom + (id == kArrVZoomIn ? 1 : -1), 0, 8);
        RepaintBoth();
      }
      return;
    case kArrRectZoom: {
      const int on = (buttons[id].state & kHbOn) ? 0 : 1;
      SetButton(id, on);
      if (!on) ArrZoomHistoryStep(right ? 0 : 1);
      // Whatever tool the left button holds: the Part area now drags zoom
      // bands, or no longer does.
      ArrShowZoomCursor(on);
      return;
    }
    case kArrFollow:
      v.Follow = !v.Follow;
      FollowCloc = v.Follow;
      CheckMenu(kMenuFollow, v.Follow);
      SetButton(id, v.Follow ? 0 : 1);
      if (v.Follow) ArrScrollToNow(1);
      return;
    default:
      return;
  }
}

// A scroll request from the bars or from another sender (the control
// surface sends scroll codes too). The vertical thumb position comes with the
// message (0..255 fits its 16 bits); the horizontal one, a 32-bit origin,
// only from the bar's track position.
void Scroll(int horizontal, WPARAM wParam) {
  ArrViewRec& v = ArrView();
  const int code = LOWORD(wParam);
  int32_t thumb = HIWORD(wParam);
  if (horizontal && (code == SB_THUMBPOSITION || code == SB_THUMBTRACK)) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_TRACKPOS;
    if (HWND bar = static_cast<HWND>(v.HScrollBar)) GetScrollInfo(bar, SB_CTL, &si);
    thumb = si.nTrackPos;
  }
  if (horizontal) {
    if (ArrHScrollCalc(v, code, thumb)) {
      ArrSetHScrollPos();
      Invalidate(PartArea());
    }
  } else if (ArrVScrollCalc(v, code, thumb)) {
    ArrSetVScrollPos();
    RepaintBoth();
  }
}

void SaveSettings() {
  const ArrViewRec& v = ArrView();
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_HZOOM, "%ld", static_cast<long>(v.Hzoom));
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_VZOOM, "%ld", static_cast<long>(v.Vzoom));
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_MRK_BAR, "%ld", static_cast<long>(v.MrkBar));
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_GRID, "%ld", static_cast<long>(v.Grid));
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_COLORS, "%d %d %d",
                static_cast<int>(v.Color[0]), static_cast<int>(v.Color[1]), static_cast<int>(v.Color[2]));
}

LRESULT CALLBACK ArrWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      frame = wnd;
      WndTable[kArrangeWnd] = wnd;
      ArrLoadLocatorImages(reinterpret_cast<const CREATESTRUCTA*>(lParam)->hInstance);
      MakeBrushes();
      CreateChildren(wnd, reinterpret_cast<const CREATESTRUCTA*>(lParam)->hInstance);
      {
        RECT c;
        GetClientRect(wnd, &c);
        Layout(c.right, c.bottom);
      }
      ArrUpdateCaption();
      return 0;
    case WM_DESTROY:
      CheckMenu(kMenuArrangeWnd, 0);
      if (headerBrush) DeleteObject(headerBrush);
      if (backBrush) DeleteObject(backBrush);
      headerBrush = backBrush = nullptr;
      ArrFreeLocatorImages();
      locBrushOrg = {0, 0};
      for (HBmButton9Desc& b : buttons) b.wnd = nullptr;
      ArrView().HScrollBar = ArrView().VScrollBar = nullptr;
      ArrView().Frame = nullptr;
      ArrView().PartArea = nullptr;
      column = nullptr;
      frame = nullptr;
      WndTable[kArrangeWnd] = nullptr;
      return 0;
    case WM_MOVE:
      SetLocatorBrushOrigin(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      return 0;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) Layout(LOWORD(lParam), HIWORD(lParam));
      return 0;
    case WM_SETFOCUS:
      if (PartArea()) SetFocus(PartArea());
      return 0;
    case WM_ERASEBKGND:
      return 0;
    case WM_SYSCOLORCHANGE:
      MakeBrushes();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mm = reinterpret_cast<MINMAXINFO*>(lParam);
      const ArrViewRec& v = ArrView();
      mm->ptMinTrackSize.y = 100;
      const int64_t most = int64_t{GetSystemMetrics(SM_CYCAPTION)} + 2 * GetSystemMetrics(SM_CYFRAME) +
                           256 * int64_t{v.Vzoom} + 512 - 1 + v.TopHeight + 16;
      mm->ptMaxTrackSize.y = static_cast<LONG>(std::min<int64_t>(32767, most));
      return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      Scroll(msg == WM_HSCROLL, wParam);
      return 0;
    case WM_MOUSEWHEEL:
      if (ArrWheelCalc(ArrView(), static_cast<short>(HIWORD(wParam)))) {
        ArrSetVScrollPos();
        RepaintBoth();
      }
      return 0;
    case kArrMsgBtnLeftDown:
    case kArrMsgBtnRightDown:
      if (wParam >= 1 && wParam <= 7) ButtonPress(static_cast<int>(wParam), msg == kArrMsgBtnRightDown);
      return 0;
    case kArrMsgBtnLeftUp:
    case kArrMsgBtnRightUp:
      if (wParam == kArrHZoomIn || wParam == kArrHZoomOut || wParam == kArrVZoomIn || wParam == kArrVZoomOut)
        SetButton(static_cast<int>(wParam), 0);
      return 0;
    case kArrMsgSaveSettings:
      SaveSettings();
      return 0;
    default:
      return DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

}  // namespace

HWND ArrFrameWnd() { return frame; }
HWND ArrPartAreaWnd() { return PartArea(); }
HWND ArrColumnWnd() { return column; }
int ArrLoadLocatorImages(HINSTANCE instance) {
  ArrFreeLocatorImages();
  int found = 1;
  for (int k = 0; k < 3; ++k) {
    HBITMAP pattern = LoadBitmapA(instance, MAKEINTRESOURCEA(282 + k));
    locFlag[k] = LoadBitmapA(instance, MAKEINTRESOURCEA(285 + k));
    // The brush keeps its own copy of the pattern.
    if (pattern) locBrush[k] = CreatePatternBrush(pattern);
    if (pattern) DeleteObject(pattern);
    if (!locBrush[k] || !locFlag[k]) found = 0;
  }
  return found;
}

void ArrFreeLocatorImages() {
  for (int k = 0; k < 3; ++k) {
    if (locBrush[k]) DeleteObject(locBrush[k]);
    if (locFlag[k]) DeleteObject(locFlag[k]);
    locBrush[k] = nullptr;
    locFlag[k] = nullptr;
  }
}

POINT ArrLocatorBrushOrigin() { return locBrushOrg; }
HBRUSH ArrLocatorBrush(int k) { return k >= 0 && k < 3 ? locBrush[k] : nullptr; }
HBITMAP ArrLocatorFlag(int k) { return k >= 0 && k < 3 ? locFlag[k] : nullptr; }

HBRUSH ArrHeaderBrush() { return headerBrush; }
HBRUSH ArrBackBrush() { return backBrush; }
int ArrRectZoomOn() { return (buttons[kArrRectZoom].state & kHbOn) ? 1 : 0; }
int ArrFollowOn() { return ArrView().Follow; }
void ArrSetRectZoom(int on) { SetButton(kArrRectZoom, on); }

void RegisterArrWnd(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ArrWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(100));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = kFrameClass;
  RegisterClassA(&wc);
}

HWND ArrCreateWnd(HWND owner) {
  if (frame) return frame;
  WindowPosRec pos;
  ReadIniWindowPos(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_WINDOW, &pos);
  if (pos.width <= 0 || pos.height <= 0) pos.width = 800, pos.height = 500;
  HWND w = CreateWindowExA(0, kFrameClass, "",
                           WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
                               WS_MAXIMIZEBOX,
                           pos.x, pos.y, pos.width, pos.height, owner, nullptr,
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(owner, GWLP_HINSTANCE)), nullptr);
  if (w) CheckMenu(kMenuArrangeWnd, 1);
  return w;
}

void ReadArrZoomCfg() {
  ArrViewRec& v = ArrView();
  const char* f = IniFile();
  v.Hzoom = ArrClampHzoom(ReadIniInt(f, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_HZOOM, 1024, INT32_MIN, INT32_MAX));
  v.Vzoom = ArrSnapRowHeight(
      ReadIniInt(f, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_VZOOM, 13, kArrMinVzoom, kArrMaxVzoom));
  v.Grid = ReadIniInt(f, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_GRID, 0, 0, 1);
  ArrSetTopCalc(v, ReadIniInt(f, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_MRK_BAR, 1, 0, 1));
  const COLORREF defaults[3] = {0xFFFFFF, 0xE0E0E0, 0xFFFFFF};
  char text[128] = "";
  ReadIniString(f, IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_COLORS, text, sizeof text);
  const char* p = text;
  for (int i = 0; i < 3; ++i) {
    v.Color[i] = defaults[i];
    if (IniTextLeft(p)) v.Color[i] = static_cast<COLORREF>(ParseNumber(&p)) & 0xFFFFFF;
  }
  v.CloseZoom = v.Hzoom <= 128 ? 1 : 0;
  v.Span = static_cast<int32_t>(int64_t{v.Hzoom} * v.PartAreaWidth);
  for (ArrViewSnapshot& s : v.History) s = {v.Hzoom, v.Origin, v.Vzoom, v.FirstTrack};
  v.HistoryIndex = 0;
  v.Follow = FollowCloc ? 1 : 0;
  buttons[kArrFollow].state = v.Follow ? 0u : uint32_t{kHbOn};
  CheckMenu(kMenuMrkBar, v.MrkBar);
  CheckMenu(kMenuGrid, v.Grid);
}

void LoadCseToolSets() {
  static const uint32_t kKeys[kCseSets] = {967, 968, 969, 970, 971, 972};
  for (int k = 0; k < kCseSets; ++k) {
    char text[513] = "";
    if (ReadIniString(IniFile(), IDS_INI_SEC_ARRANGE_WND, kKeys[k], text, sizeof text) <= 0) continue;
    int32_t ids[kCseUserEntries];
    CseParseSet(text, ids);
    CseNormalize(k, ids);
  }
}

void CseWriteSets() {
  static const uint32_t kKeys[kCseSets] = {967, 968, 969, 970, 971, 972};
  for (int k = 0; k < kCseSets; ++k) {
    char text[128];
    CseFormatSet(CseTools[k], text, sizeof text);
    WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, kKeys[k], "%s", text);
  }
}

int ArrZoomH(int32_t target, int32_t anchor, int strict) {
  if (!ArrZoomHCalc(ArrView(), target, anchor, strict)) return 0;
  AfterZoomH();
  return 1;
}

int ArrZoomV(int32_t target, int32_t y, int strict) {
  if (!ArrZoomVCalc(ArrView(), target, y, strict)) return 0;
  ArrUpdateVScroll();
  if (!ArrFitWndHeight(1)) RepaintBoth();
  return 1;
}

void ArrZoomToRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ArrZoomRectCalc(ArrView(), left, top, right, bottom);
  ArrFitWndHeight(0);
  ArrUpdateHScroll();
  ArrUpdateVScroll();
  RepaintBoth();
  ConsoleNotifyZoom(ArrView().Hzoom);
}

void ArrZoomHistoryPush() { ArrZoomHistoryPushCalc(ArrView()); }

void ArrZoomHistoryStep(int back) {
  if (!ArrZoomHistoryStepCalc(ArrView(), back)) return;
  ArrUpdateHScroll();
  ArrUpdateVScroll();
  RepaintBoth();
  ConsoleNotifyZoom(ArrView().Hzoom);
}

void ArrScrollToNow(int onlyIfOutside) {
  if (!frame) return;
  ArrViewRec& v = ArrView();
  if (onlyIfOutside && ArrPosVisible(v, Locs().NowLoc)) return;
  v.Origin = ArrCentredOrigin(v, Locs().NowLoc);
  ArrSetHScrollPos();
  Invalidate(PartArea());
}

void ArrRepaintDeferredWaves() {
  ArrViewRec& v = ArrView();
  const int state = TransportState();
  if (!v.WavesDeferred || !v.CloseZoom || state == kTransportPlaying || state == kTransportRecording) return;
  v.WavesDeferred = 0;
  Invalidate(PartArea());
}

void ArrRefreshAfterLocate() {
  ArrRepaintDeferredWaves();
  ArrViewRec& v = ArrView();
  if (frame && v.Vzoom > 13 && v.CloseZoom && v.SamplesDrawn) {
    // The waveform is read from the Takes again: the units must have
    // finished with the disk first.
    for (uint32_t waited = 0; !UnitsAllIdle() && waited < kIdleWaitMs; waited += 10) Sleep(10);
    if (PartArea()) {
      InvalidateRect(PartArea(), nullptr, FALSE);
      UpdateWindow(PartArea());
    }
  }
  v.SamplesDrawn = 0;
}

namespace {
// The name part of a path.
const char* NamePart(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p)
    if (*p == '\\' || *p == '/') name = p + 1;
  return name;
}
}  // namespace

void ArrUpdateCaption() {
  if (!frame) return;
  char format[64] = "Arrange - %s", tail[32] = " (Tempo map)";
  StrLoad(kStrCaption, format, sizeof format);
  char path[600] = "";
  ArrNameGet(path, sizeof path);
  char arg[700];
  // A tempo map is imported from the MIDI file last chosen, whose path the
  // MIDI folder setting keeps while the map is active.
  if (TempoMap != nullptr) {
    StrLoad(kStrTempoMap, tail, sizeof tail);
    std::snprintf(arg, sizeof arg, "%s - %s%s", NamePart(path), NamePart(Folders[kFolderMidi]), tail);
  } else {
    std::snprintf(arg, sizeof arg, "%s", NamePart(path));
  }
  char caption[800];
  std::snprintf(caption, sizeof caption, format, arg);
  SetWindowTextA(frame, caption);
}

int32_t ArrGetHzoom() { return ArrView().Hzoom; }
COLORREF ArrGetColor1() { return ArrView().Color[0]; }
COLORREF ArrGetColor2() { return ArrView().Color[1]; }
COLORREF ArrGetColor3() { return ArrView().Color[2]; }

void ArrSetColor1(COLORREF c) {
  ArrView().Color[0] = ArrView().Color[2] = c;
  if (frame) SendMessageA(frame, WM_SYSCOLORCHANGE, 0, 0);
  Invalidate(PartArea());
}
void ArrSetColor2(COLORREF c) {
  ArrView().Color[1] = c;
  Invalidate(PartArea());
}
void ArrSetColor3(COLORREF c) {
  ArrView().Color[2] = c;
  Invalidate(PartArea());
}

int ArrSetMrkBar(int mode) {
  ArrViewRec& v = ArrView();
  const int on = mode == 2 ? !v.MrkBar : (mode ? 1 : 0);
  ArrSetTopCalc(v, on);
  ArrUpdateVScroll();
  CheckMenu(kMenuMrkBar, on);
  if (!ArrFitWndHeight(1)) RepaintBoth();
  return on;
}

int ArrSetGrid(int mode) {
  ArrViewRec& v = ArrView();
  v.Grid = mode == 2 ? !v.Grid : (mode ? 1 : 0);
  CheckMenu(kMenuGrid, v.Grid);
  Invalidate(PartArea());
  return v.Grid;
}

int ArrFitWndHeight(int repaint) {
  const ArrViewRec& v = ArrView();
  if (!frame || v.PartAreaHeight <= 256 * v.Vzoom + v.TopHeight + 513) return 0;
  RECT r;
  GetWindowRect(frame, &r);
  const int h = 256 * v.Vzoom + 511 + v.TopHeight + 16 + GetSystemMetrics(SM_CYCAPTION) +
                2 * GetSystemMetrics(SM_CYFRAME);
  SetWindowPos(frame, nullptr, 0, 0, r.right - r.left, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (repaint) RepaintBoth();
  return 1;
}

void ArrSetHScrollPos() {
  if (HWND bar = static_cast<HWND>(ArrView().HScrollBar)) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = ArrView().Origin;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
  }
}

void ArrSetVScrollPos() {
  if (HWND bar = static_cast<HWND>(ArrView().VScrollBar)) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = ArrView().FirstTrack;
    SetScrollInfo(bar, SB_CTL, &si, TRUE);
  }
}

void ArrRulerSetLocator(int x, int y, int which, int skipHitTest) {
  const ArrViewRec& v = ArrView();
  if (!skipHitTest && (x < 0 || y < 0 || x >= v.PartAreaWidth || y >= kArrRulerHeight)) return;
  int32_t p = SnapLoc(ArrPosOfX(v, x), 0, 0, CurArr, CurMrkList, 0, 0);
  p = std::clamp(p, 0, EndOfTime);
  static const int32_t kIndex[6] = {kLocLeft, kLocLeftPrime, kLocRight, kLocRightPrime, kLocNowView,
                                    kLocNowLocate};
  if (which < 1 || which > 6) return;
  const int32_t current = which <= 2 ? Locs().LeftLoc : which <= 4 ? Locs().RightLoc : Locs().NowLoc;
  if ((which & 1) && current == p) return;
  SetLocator(kIndex[which - 1], p);
}

uint32_t ArrMrkBarHit(int x, int y) {
  const ArrViewRec& v = ArrView();
  if (!v.MrkBar || x < 0 || x >= v.PartAreaWidth || y < kArrRulerHeight || y >= v.TopHeight) return 0;
  const int32_t p = std::max(0, ArrPosOfX(v, x));
  uint32_t found = 0;
  int32_t at = 0;
  MrkForEach(CurMrkList, [&](uint32_t n, const MrkRec& m) {
    if (m.Position <= p) found = n, at = m.Position;
  });
  return found != 0 && at >= ArrPosOfX(v, 0) ? found : 0;
}

// ---- Services the model and the shell call ----

void ArrRedrawWindows() { RepaintBoth(); }

void ArrRedrawMarkerRuler() {
  if (!PartArea()) return;
  RECT r = {0, 0, ArrView().PartAreaWidth, ArrView().TopHeight};
  InvalidateRect(PartArea(), &r, FALSE);
}

void ArrZoomStep(int in) {
  if (frame) SendMessageA(frame, in == 1 ? kArrMsgBtnLeftDown : kArrMsgBtnRightDown, kArrRectZoom, 0);
  ArrRefreshToolCursor();
}

void ArrSetFollowButton(int pressed) {
  HBmButton9Desc& b = buttons[kArrFollow];
  b.state = pressed ? (b.state | kHbOn) : (b.state & ~kHbOn);
  if (b.wnd) InvalidateRect(b.wnd, nullptr, FALSE);
}

void ArrScrollToLoc(int32_t position) {
  if (!frame) return;
  ArrViewRec& v = ArrView();
  v.Origin = ArrCentredOrigin(v, position);
  ArrSetHScrollPos();
  Invalidate(PartArea());
}

void ReadInfoToolCfg() {
  const int32_t defaults[3] = {1, 1, 0};
  int32_t* const values[3] = {&InfoUpdateAllNames, &InfoAppendSpeakerExt, &InfoUpdateTakeNames};
  char text[128] = "";
  ReadIniString(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_INFO_TOOL, text, sizeof text);
  const char* p = text;
  for (int i = 0; i < 3; ++i) *values[i] = IniTextLeft(p) ? (ParseNumber(&p) ? 1 : 0) : defaults[i];
}

void WriteInfoToolCfg() {
  WriteIniValue(IniFile(), IDS_INI_SEC_ARRANGE_WND, IDS_INI_KEY_INFO_TOOL, "%d %d %d", InfoUpdateAllNames,
                InfoAppendSpeakerExt, InfoUpdateTakeNames);
}

void ArrReadStartSettings() {
  ReadArrZoomCfg();
  LoadCseToolSets();
  ReadInfoToolCfg();
  ReadXfadeDefaults(IniFile());
}

void ArrSaveSettings() {
  SaveSettings();
  WriteInfoToolCfg();
  WriteXfadeDefaults(IniFile());
}
