// The tool window: a page of tool buttons along the top of the main frame
// and the marks of the four mouse slots; the tile window that is dragged
// onto it and the custom tool page dialog that offers the tiles.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/partdlgs_win.h"
#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/controls.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"

namespace {

// Bitmap of tool t's button: three 24 x 24 images (normal, hot, disabled).
constexpr uint32_t kToolBitmapBase = 1282;
constexpr int kToolWndHeight = 31;

ToolSlots slots = {{20, 0, 19, 1}, {20, 0, 19, 1}};
ToolPage page;
bool pageRead = false;
int pageNumber = 1;
HBmButton9Desc buttons[kToolCount] = {};
DWORD lastPressTime = 0;
int32_t lastPressTool = -1;

HINSTANCE Instance() { return Shell().instance ? Shell().instance : GetModuleHandleA(nullptr); }

void ReadPage() {
  char text[512] = "";
  ReadIniString(Shell().iniPath, IDS_INI_SEC_TOOL_WND, IDS_INI_KEY_PAGE1 + static_cast<uint32_t>(pageNumber - 1),
                text, sizeof text);
  ToolPageParse(text[0] ? text : nullptr, &page);
  pageRead = true;
}

bool ToolHeld(int32_t tool) {
  for (int32_t t : slots.tool)
    if (t == tool) return true;
  return false;
}

void SetButton(int32_t tool, bool on) {
  if (tool < 0 || tool >= kToolCount) return;
  HBmButton9Desc& b = buttons[tool];
  const uint32_t before = b.state;
  if (on) b.state |= kHbOn;
  else b.state &= ~kHbOn;
  if (b.wnd && b.state != before) InvalidateRect(b.wnd, nullptr, FALSE);
}

void CreateButton(HWND wnd, int32_t tool, int x) {
  HBmButton9Desc& b = buttons[tool];
  const uint32_t state = ToolHeld(tool) ? uint32_t(kHbOn) : 0u;
  b = HBmButton9Desc{};
  b.state = state;
  b.bitmapRes = kToolBitmapBase + static_cast<uint32_t>(tool);
  b.style = kHbTool;
  b.mask = RGB(192, 192, 192);
  b.tooltip = 1024 + static_cast<uint32_t>(tool);
  CreateWindowExA(0, kHBmButton9Class, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, 4, 24, 24, wnd,
                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(tool)), Instance(), &b);
}

// Places the buttons of the page: moves those still on it, destroys those
// no longer on it and makes those new on it.
void LayOutButtons(HWND wnd) {
  bool onPage[kToolCount] = {};
  for (int i = 0; i < kToolPageSlots; ++i) {
    const int32_t t = page.slot[i];
    if (t < 0 || t >= kToolCount) continue;
    onPage[t] = true;
    const int x = ToolSlotX(page, i);
    if (buttons[t].wnd) MoveWindow(buttons[t].wnd, x, 4, 24, 24, TRUE);
    else CreateButton(wnd, t, x);
  }
  for (int32_t t = 0; t < kToolCount; ++t)
    if (!onPage[t] && buttons[t].wnd) {
      DestroyWindow(buttons[t].wnd);
      buttons[t].wnd = nullptr;
    }
  InvalidateRect(wnd, nullptr, TRUE);
}

int SlotOf(int32_t tool) {
  for (int i = 0; i < kToolPageSlots; ++i)
    if (page.slot[i] == tool) return i;
  return -1;
}

// The mark of slot `slot` under its tool's button: left half for the right
// button's slots (0, 2), right half for the left button's (1, 3), in the
// Alt colour for 2 and 3; a plain and an Alt slot holding the same tool
// share the plain colour.
void DrawMark(HDC dc, int slot, bool erase) {
  const int i = SlotOf(slots.tool[slot]);
  if (i < 0) return;
  const int x = ToolSlotX(page, i) + ((slot & 1) ? 12 : 0);
  const bool alt = slot >= 2;
  const bool same = slots.tool[slot & 1] == slots.tool[(slot & 1) + 2];
  COLORREF c = erase ? Shell().skin.toolBackground
                     : (alt && !same ? Shell().skin.toolAltMarker : Shell().skin.toolMarker);
  if (!erase && c == Shell().skin.toolBackground) c = alt && !same ? RGB(0, 128, 0) : RGB(0, 0, 160);
  HBRUSH b = CreateSolidBrush(c);
  RECT r = {x, 28, x + 12, 30};
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void PaintToolWnd(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  HBRUSH back = CreateSolidBrush(Shell().skin.toolBackground);
  FillRect(dc, &c, back);
  DeleteObject(back);
  Draw3dFrame(dc, Shell().skin.toolBorderTop, Shell().skin.toolBorderBottom, c.left, c.top,
              c.right - 1, c.bottom - 1);
  for (int s = 0; s < 4; ++s) DrawMark(dc, s, false);
  EndPaint(wnd, &ps);
}

void Press(HWND wnd, int32_t tool, bool right) {
  const bool alt = GetKeyState(VK_MENU) < 0;
  const int slot = right ? (alt ? 2 : 0) : (alt ? 3 : 1);
  const DWORD now = GetTickCount();
  const bool twice = tool == lastPressTool && now - lastPressTime <= GetDoubleClickTime();
  lastPressTool = tool;
  lastPressTime = now;
  ToolSelect(slot, tool);
  if (twice && tool == 43) ArrRunCustomSmartToolDlg(GetParent(wnd));
  if (twice && tool == 45) ArrRunCrossfadeDlg(GetParent(wnd), -1);
}

}  // namespace

LRESULT CALLBACK ToolWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      WndTable[kToolWnd] = wnd;
      if (!pageRead) ReadPage();
      LayOutButtons(wnd);
      return 0;
    case WM_PAINT:
      PaintToolWnd(wnd);
      return 0;
    case WM_ERASEBKGND: {
      // Also asked by the buttons for the area behind their images.
      RECT c;
      GetClientRect(wnd, &c);
      HBRUSH back = CreateSolidBrush(Shell().skin.toolBackground);
      FillRect(reinterpret_cast<HDC>(wParam), &c, back);
      DeleteObject(back);
      return 1;
    }
    case WMU_CTL_LBUTTONDOWN:
    case WMU_CTL_RBUTTONDOWN:
      Press(wnd, static_cast<int32_t>(wParam), msg == WMU_CTL_RBUTTONDOWN);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      // The page control at the left end: the next stored page (left
      // button) or the previous one (right).
      if (LOWORD(lParam) < 36) {
        pageNumber = msg == WM_LBUTTONDOWN ? pageNumber % 9 + 1 : (pageNumber + 7) % 9 + 1;
        ReadPage();
        LayOutButtons(wnd);
      }
      return 0;
    case WM_DESTROY:
      if (HWND main = WndTable[kMainWnd]) CheckMenuItem(GetMenu(main), 42300, MF_BYCOMMAND | MF_UNCHECKED);
      WndTable[kToolWnd] = nullptr;
      for (HBmButton9Desc& b : buttons) b.wnd = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

void ToolSelect(int slot, int tool) {
  const ToolSlots before = slots;
  int changed[4];
  ToolSlotsSelect(&slots, slot, tool, changed);
  HWND wnd = WndTable[kToolWnd];
  HDC dc = wnd ? GetDC(wnd) : nullptr;
  for (int s = 0; s < 4; ++s) {
    if (!changed[s]) continue;
    if (!ToolHeld(before.tool[s])) SetButton(before.tool[s], false);
    SetButton(slots.tool[s], true);
    if (dc) {
      ToolSlots now = slots;
      slots = before;
      DrawMark(dc, s, true);
      slots = now;
    }
  }
  if (dc) {
    for (int s = 0; s < 4; ++s) DrawMark(dc, s, false);
    ReleaseDC(wnd, dc);
  }
}

int ToolGet(int slot) { return slot >= 0 && slot < 4 ? slots.tool[slot] : 0; }
int ContextEditToolActive() { return slots.tool[1] == kToolContextEdit; }

void ToolWndCreate(void* mainWnd) {
  HWND main = static_cast<HWND>(mainWnd);
  RECT c;
  GetClientRect(main, &c);
  CreateWindowExA(0, "ToolWnd_WC", "", WS_CHILD | WS_VISIBLE, c.left, c.top, c.right - c.left,
                  kToolWndHeight, main, nullptr, Instance(), nullptr);
}

void ToolWndClick(int right) {
  if (HWND wnd = WndTable[kToolWnd])
    PostMessageA(wnd, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, 0, MAKELPARAM(8, 4));
}

int32_t ToolAtIndex(int n) { return WndTable[kToolWnd] ? ToolPageAt(page, n) : kToolEmpty; }

int ToolWndDrop(int32_t tool, POINT screen) {
  HWND wnd = WndTable[kToolWnd];
  if (!wnd) return 0;
  POINT p = screen;
  ScreenToClient(wnd, &p);
  RECT c;
  GetClientRect(wnd, &c);
  if (p.y < 0 || p.y >= c.bottom) return 0;
  if (!ToolPageDrop(&page, tool, p.x, p.y, c.right)) return 0;
  LayOutButtons(wnd);
  return 1;
}

void ToolPageSave() {
  char text[kToolPageSlots * 4 + 1];
  ToolPageFormat(page, text, sizeof text);
  WriteIniValue(Shell().iniPath, IDS_INI_SEC_TOOL_WND, IDS_INI_KEY_PAGE1 + static_cast<uint32_t>(pageNumber - 1),
                "%s", text);
}

// ---- Tiles ----
namespace {
struct TileState {
  bool dragging;
  POINT grab;
  RECT outline;
};
TileState tile = {};

void InvertTile(HWND wnd) {
  HDC dc = GetDC(wnd);
  RECT c;
  GetClientRect(wnd, &c);
  InvertRect(dc, &c);
  ReleaseDC(wnd, dc);
}

void DrawOutline(const RECT& r) {
  HDC dc = GetDC(nullptr);
  DrawFocusRect(dc, &r);
  ReleaseDC(nullptr, dc);
}
}  // namespace

LRESULT CALLBACK DragnDropWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      const auto* name = reinterpret_cast<const unsigned char*>(cs->lpszName);
      if (!name || name[0] != 0xFF) return -1;
      uint32_t id = name[1] | (static_cast<uint32_t>(name[2]) << 8);
      if (!Shell().sw.XpLook && id != 702 && id != 703) id += 1;
      SetWindowLongA(wnd, 0, static_cast<LONG>(id));
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT c;
      GetClientRect(wnd, &c);
      const int side = c.right < c.bottom ? c.right : c.bottom;
      const UINT id = static_cast<UINT>(GetWindowLongA(wnd, 0));
      if (HBITMAP bm = LoadBitmapA(Instance(), MAKEINTRESOURCEA(id))) {
        HIMAGELIST list = ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, 1, 1);
        ImageList_AddMasked(list, bm, RGB(192, 192, 192));
        ImageList_Draw(list, 0, dc, 0, 0, ILD_TRANSPARENT);
        ImageList_Destroy(list);
        DeleteObject(bm);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      SetCapture(wnd);
      InvertTile(wnd);
      tile.dragging = true;
      tile.grab = POINT{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
      GetWindowRect(wnd, &tile.outline);
      DrawOutline(tile.outline);
      SendMessageA(GetParent(wnd), kTilePressed, static_cast<WPARAM>(GetDlgCtrlID(wnd)), 0);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (tile.dragging && GetCapture() == wnd) {
        POINT p = {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
        ClientToScreen(wnd, &p);
        DrawOutline(tile.outline);
        const int w = tile.outline.right - tile.outline.left, h = tile.outline.bottom - tile.outline.top;
        tile.outline = RECT{p.x - tile.grab.x, p.y - tile.grab.y, p.x - tile.grab.x + w, p.y - tile.grab.y + h};
        DrawOutline(tile.outline);
      }
      return 0;
    case WM_LBUTTONUP:
      if (tile.dragging) {
        tile.dragging = false;
        DrawOutline(tile.outline);
        InvertTile(wnd);
        ReleaseCapture();
        const POINT centre = {(tile.outline.left + tile.outline.right) / 2,
                              (tile.outline.top + tile.outline.bottom) / 2};
        SendMessageA(GetParent(wnd), kTileReleased, static_cast<WPARAM>(GetDlgCtrlID(wnd)),
                     MAKELPARAM(centre.x, centre.y));
      }
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- Custom tool page ----
namespace {
void ShowHelp(HWND dlg, uint32_t id) {
  char text[256];
  StrLoad(id, text, sizeof text);
  SetDlgItemTextA(dlg, 101, text);
}

// One tile per tool, in rows of twelve under the help text.
void MakeTiles(HWND dlg) {
  int n = 0;
  for (int32_t t = 0; t < kToolCount; ++t) {
    if (t == 36) continue;
    const uint32_t nameId = kToolBitmapBase - 1 + static_cast<uint32_t>(t);
    const char name[4] = {static_cast<char>(0xFF), static_cast<char>(nameId & 0xFF),
                          static_cast<char>(nameId >> 8), 0};
    CreateWindowExA(0, "DragnDropWnd_WC", name, WS_CHILD | WS_VISIBLE, 10 + (n % 12) * 28,
                    60 + (n / 12) * 28, 24, 24, dlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(t)),
                    Instance(), nullptr);
    ++n;
  }
}
}  // namespace

INT_PTR CALLBACK CustomToolPageDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      ShowHelp(dlg, IDS_TOOLPAGE_HELP);
      MakeTiles(dlg);
      return TRUE;
    case kTilePressed:
      if (wParam < static_cast<WPARAM>(kToolCount)) ShowHelp(dlg, 1024 + static_cast<uint32_t>(wParam));
      return TRUE;
    case kTileReleased: {
      const POINT p = {static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
      ToolWndDrop(static_cast<int32_t>(wParam), p);
      ShowHelp(dlg, IDS_TOOLPAGE_HELP);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case 102:
          ToolPageSave();
          EndDialog(dlg, 102);
          return TRUE;
        case 103:
          ToolPageSave();
          ToolWndClick(0);
          EndDialog(dlg, 103);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}
