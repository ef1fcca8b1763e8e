// The status bar: its eight labelled fields, their layout and the position
// texts drawn into it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/controls.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/win32/statwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

// The fields' descriptors, shared with the update functions.
SelDat9Desc statusFields[6] = {};
StatusLayoutRec statusLayout = {};
static bool statusInit = false;

void InitStatusFields() {
  if (statusInit) return;
  statusInit = true;
  static const uint32_t kStart[6] = {40520, 40501, 41583, 41602, 40356, 40408};
  static const uint32_t kTips[6] = {1560, 1561, 1568, 1569, 1570, 1572};
  // Fields 0, 1 and 4 lead to no sub-menu; 5 to Settings > Master Clock >
  // Unit 1.
  static const uint32_t kPaths[6] = {0xFFFF02, 0xFFFF02, 0x000402, 0x000602, 0xFFFF02, 0x010002};
  for (int i = 0; i < 6; ++i) {
    SelDat9Desc& d = statusFields[i];
    d = SelDat9Desc{};
    d.value = kStart[i];
    d.menuPath = kPaths[i];
    d.textColour = RGB(0, 0, 0);
    d.textX = 3;
    d.textY = 1;
    d.tooltip = kTips[i];
  }
}

namespace {

HINSTANCE Instance() { return Shell().instance ? Shell().instance : GetModuleHandleA(nullptr); }

void Uncheck(UINT id) {
  if (HWND main = WndTable[kMainWnd]) CheckMenuItem(GetMenu(main), id, MF_BYCOMMAND | MF_UNCHECKED);
}

const uint32_t kLabelIds[kStatusItems] = {592, 594, 595, 596, 597, 598, 600, 593};
int32_t labelWidth[kStatusItems] = {};
char lastDistance[64] = "", lastPointer[64] = "";

bool FirstClockInternal() { return GetMClkUnit(0) == 40408; }

void LayOutStatus(HWND wnd, int width) {
  HDC dc = GetDC(wnd);
  if (!dc) return;
  HFONT font = CreateAppFont(5);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  for (int i = 0; i < kStatusItems; ++i) {
    char text[32];
    const int n = StrLoad(kLabelIds[i], text, sizeof text);
    SIZE s = {};
    GetTextExtentPoint32A(dc, text, n, &s);
    labelWidth[i] = s.cx;
  }
  SelectObject(dc, old);
  if (font) DeleteObject(font);
  ReleaseDC(wnd, dc);
  StatusLayout(labelWidth, width, &statusLayout);
}

LRESULT StatusCreate(HWND wnd) {
  InitStatusFields();
  RECT c;
  GetClientRect(wnd, &c);
  LayOutStatus(wnd, c.right);
  if (UnitCount() > 1) statusFields[5].menuPath &= 0x00FFFF;
  for (int i = 0; i < 6; ++i) {
    const int item = i + 1;
    CreateWindowExA(0, kSelDat9Class, "", WS_CHILD | WS_VISIBLE, statusLayout.fieldX[item], 3,
                    kStatusFieldWidth[item], 15, wnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i)),
                    Instance(), &statusFields[i]);
  }
  return 0;
}

void StatusSize(HWND wnd, int width) {
  LayOutStatus(wnd, width);
  // Fields 3..5 ("FRate", "Res", "MClk") follow the layout; a hidden one
  // stands off the bar.
  for (int field = 3; field <= 5; ++field)
    if (statusFields[field].wnd)
      MoveWindow(statusFields[field].wnd, statusLayout.fieldX[field + 1], 3,
                 kStatusFieldWidth[field + 1], 15, TRUE);
  lastDistance[0] = '\0';
}

void StatusPaint(HWND wnd) {
  InvalidateRect(wnd, nullptr, FALSE);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  Draw3dFrame(dc, GetSysColor(20), GetSysColor(16), -1, 0, c.right, c.bottom - 1);
  HFONT font = CreateAppFont(5);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  for (int i = 0; i < kStatusItems; ++i) {
    if (statusLayout.labelX[i] < 0) continue;
    char text[32];
    const int n = StrLoad(kLabelIds[i], text, sizeof text);
    TextOutA(dc, statusLayout.labelX[i], 6, text, n);
  }
  SelectObject(dc, old);
  if (font) DeleteObject(font);
  EndPaint(wnd, &ps);
  lastDistance[0] = lastPointer[0] = '\0';
  PosTextBitmap(Locs().LeftLoc, Locs().RightLoc);
}

void SetItem(HMENU menu, UINT id, bool enabled) {
  EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void StatusMouseActivate() {
  HWND main = WndTable[kMainWnd];
  HMENU menu = main ? GetMenu(main) : nullptr;
  if (!menu) return;
  const bool internal = FirstClockInternal();
  for (UINT id = 41580; id <= 41590; ++id) SetItem(menu, id, internal);
  const bool linked = Shell().severalPcs == 0 && UnitHasHostUnit(1);
  for (int n = 0; n < UnitCount() && n < 4; ++n)
    SetItem(menu, 40408 + 14 * static_cast<UINT>(n), !(n > 0 && linked));
  const bool sync = UnitHasSyncBoard(1) != 0;
  for (UINT id : {40490u, 40503u, 40504u}) SetItem(menu, id, sync);
  for (UINT id = 40520; id <= 40538; ++id) SetItem(menu, id, Settings().SnapEnable != 0);
  SetItem(menu, 40512, internal && VSyncedMClk == 0);
  SetItem(menu, 40501, true);
  SetItem(menu, 40502, true);
  SetItem(menu, 40505, sync && NinePinSyncEnabled());
}

}  // namespace

LRESULT CALLBACK StatusProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      WndTable[kStatusBar] = wnd;
      return StatusCreate(wnd);
    case WM_SIZE:
      StatusSize(wnd, static_cast<int16_t>(LOWORD(lParam)));
      return 0;
    case WM_PAINT:
      StatusPaint(wnd);
      return 0;
    case WM_MOUSEACTIVATE:
      StatusMouseActivate();
      return MA_ACTIVATE;
    case WM_DESTROY:
      Uncheck(42303);
      WndTable[kStatusBar] = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

namespace {

// Draws a position text into the status bar at x, as wide as its field.
void DrawStatusText(int item, const char* text, char* last) {
  HWND bar = WndTable[kStatusBar];
  if (!bar || std::strcmp(text, last) == 0) return;
  const int x = statusLayout.fieldX[item];
  if (x < 0) return;
  std::snprintf(last, 64, "%s", text);
  const int w = kStatusFieldWidth[item];
  HDC dc = GetDC(bar);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bm = CreateCompatibleBitmap(dc, w, 12);
  HGDIOBJ oldBm = SelectObject(mem, bm);
  HFONT font = CreateAppFont(6);
  HGDIOBJ oldFont = SelectObject(mem, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkColor(mem, GetSysColor(15));
  SetTextAlign(mem, TA_CENTER);
  RECT r = {0, 0, w, 12};
  ExtTextOutA(mem, w / 2 + 1, 0, ETO_OPAQUE, &r, text, static_cast<UINT>(std::strlen(text)), nullptr);
  BitBlt(dc, x, 4, w, 12, mem, 0, 0, SRCCOPY);
  SelectObject(mem, oldFont);
  if (font) DeleteObject(font);
  SelectObject(mem, oldBm);
  DeleteObject(bm);
  DeleteDC(mem);
  ReleaseDC(bar, dc);
}

void PositionText(int32_t p, char* out, int size) {
  if (RadioValue(kGrpTimebar) == 40518) {
    if (TempoMap) {
      std::snprintf(out, static_cast<size_t>(size), "   -. -.---");
      return;
    }
    BbtRec b;
    LocToBbt(&b, p, 1);
    std::snprintf(out, static_cast<size_t>(size), "%04ld.%02d.%03d", static_cast<long>(b.Bar),
                  static_cast<int>(b.Beat), static_cast<int>(b.Tick));
    return;
  }
  TcRec t;
  LocToTimeCode(&t, p, 0);
  std::snprintf(out, static_cast<size_t>(size), "%02d:%02d:%02d:%02d.%04d", t.Hours, t.Minutes,
                t.Seconds, t.Frames, t.SubFrames);
}

}  // namespace

void PosTextBitmap(int32_t a, int32_t b) {
  int64_t d = static_cast<int64_t>(b) - a;
  if (d < 0) d = -d;
  char text[64];
  PositionText(static_cast<int32_t>(d > 0x7FFFFFFF ? 0x7FFFFFFF : d), text, sizeof text);
  DrawStatusText(7, text, lastDistance);
}

void PosTextBitmapTrk(int32_t position, int32_t track) {
  char pos[48], text[64];
  PositionText(position, pos, sizeof pos);
  std::snprintf(text, sizeof text, "%02d  %s", static_cast<int>(track + 1), pos);
  DrawStatusText(0, text, lastPointer);
}

