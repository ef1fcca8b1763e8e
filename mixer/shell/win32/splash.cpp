// The splash window shown while the program starts.
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
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/win32/statwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {
constexpr UINT kMsgStartWork = 3024;
HINSTANCE Instance() { return Shell().instance ? Shell().instance : GetModuleHandleA(nullptr); }

// ---- Splash ----
HWND splash = nullptr;
char splashText[260] = "Initializing...";
HFONT splashFont = nullptr;

void PaintSplash(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT c;
  GetClientRect(wnd, &c);
  if (HBITMAP bm = LoadBitmapA(Instance(), MAKEINTRESOURCEA(106))) {
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bm);
    BitBlt(dc, 0, 0, c.right, c.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(bm);
  } else {
    HBRUSH b = CreateSolidBrush(RGB(32, 40, 64));
    FillRect(dc, &c, b);
    DeleteObject(b);
  }
  HGDIOBJ oldFont = SelectObject(dc, splashFont ? splashFont : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 9, 192, "Version 6.0", 11);
  static const char kNotice[] = "HRL Mixer - multitrack recording, editing and mixing";
  TextOutA(dc, 484, 4, kNotice, static_cast<int>(sizeof kNotice - 1));
  SelectObject(dc, oldFont);
  EndPaint(wnd, &ps);
}

void DrawSplashProgress(HWND wnd) {
  HDC dc = GetDC(wnd);
  HGDIOBJ oldFont = SelectObject(dc, splashFont ? splashFont : GetStockObject(DEFAULT_GUI_FONT));
  const COLORREF back = GetPixel(dc, 332, 217);
  SetBkColor(dc, back == CLR_INVALID ? RGB(32, 40, 64) : back);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT r = {332, 218, 588, 234};
  ExtTextOutA(dc, 332, 218, ETO_OPAQUE | ETO_CLIPPED, &r, splashText,
              static_cast<UINT>(std::strlen(splashText)), nullptr);
  SelectObject(dc, oldFont);
  ReleaseDC(wnd, dc);
}

LRESULT CALLBACK SplashProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      splashFont = CreateAppFont(8);
      CenterOnScreen(wnd);
      return 0;
    case WM_PAINT:
      PaintSplash(wnd);
      DrawSplashProgress(wnd);
      return 0;
    case kMsgStartWork:
      DrawSplashProgress(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DESTROY:
      if (splashFont) DeleteObject(splashFont);
      splashFont = nullptr;
      splash = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

void SplashCreate(void* instance) {
  if (splash) return;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = SplashProc;
  wc.style = Shell().sw.XpLook ? CS_DROPSHADOW : 0;
  wc.hInstance = static_cast<HINSTANCE>(instance);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "StartUpWnd_WC";
  RegisterClassA(&wc);
  const int fx = GetSystemMetrics(SM_CXDLGFRAME), fy = GetSystemMetrics(SM_CYDLGFRAME);
  splash = CreateWindowExA(0, "StartUpWnd_WC", "HRL Mixer", WS_POPUP | WS_VISIBLE | WS_DLGFRAME, 0, 0,
                           755 + 2 * fx, 240 + 2 * fy, nullptr, nullptr,
                           static_cast<HINSTANCE>(instance), nullptr);
  if (!splash) return;
  BringWindowToTop(splash);
  UpdateWindow(splash);
}

void SplashDestroy() {
  if (splash) DestroyWindow(splash);
  splash = nullptr;
}

void SetStartupText(const char* text, int now) {
  if (!splash) return;
  if (text) std::snprintf(splashText, sizeof splashText, "%s", text);
  if (now) {
    InvalidateRect(splash, nullptr, TRUE);
    UpdateWindow(splash);
  } else {
    SendMessageA(splash, kMsgStartWork, 0, 0);
  }
}

