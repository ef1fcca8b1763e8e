// The audio-buffer, big-clock, directory and file-manager windows, the
// registration of the shell's window classes and the frame's commands
// that open and close its free-standing windows.
#include "mixer/shell/win32/smallwnd.h"

#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "mixer/model/engineopts.h"
#include "mixer/model/ini.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/draw.h"
#include "mixer/model/win32/iniwin.h"
#include "mixer/model/win32/mrkdir.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/controls.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

constexpr UINT kMsgStartWork = 3024;

HINSTANCE Instance() { return Shell().instance ? Shell().instance : GetModuleHandleA(nullptr); }

void Uncheck(UINT id) {
  if (HWND main = WndTable[kMainWnd]) CheckMenuItem(GetMenu(main), id, MF_BYCOMMAND | MF_UNCHECKED);
}
void Check(UINT id) {
  if (HWND main = WndTable[kMainWnd]) CheckMenuItem(GetMenu(main), id, MF_BYCOMMAND | MF_CHECKED);
}

// ---- Audio buffer ----
struct AudBufState {
  uint32_t last, lowest;
  int32_t target, drawn;
  HBmButton9Desc reset;
} audBuf = {};

uint32_t BufSize() { return static_cast<uint32_t>(AudBufSize()); }

void AudBufDraw(HWND wnd, bool full) {
  HDC dc = GetDC(wnd);
  HBRUSH on = GetSysColorBrush(21), off = GetSysColorBrush(15);
  if (full) {
    HGDIOBJ old = SelectObject(dc, on);
    PatBlt(dc, 11, 9, audBuf.target, 18, PATCOPY);
    SelectObject(dc, old);
    audBuf.drawn = kAudBufBar;
    if (audBuf.target < kAudBufBar) {
      SelectObject(dc, off);
      PatBlt(dc, 11 + audBuf.target, 9, kAudBufBar - audBuf.target, 18, PATCOPY);
      SelectObject(dc, old);
    }
    audBuf.drawn = audBuf.target;
  }
  if (audBuf.target != audBuf.drawn) {
    HGDIOBJ old = SelectObject(dc, audBuf.target > audBuf.drawn ? on : off);
    PatBlt(dc, 11 + audBuf.drawn, 9, audBuf.target - audBuf.drawn, 18, PATCOPY);
    SelectObject(dc, old);
    audBuf.drawn = audBuf.target;
  }
  if (full || audBuf.last < audBuf.lowest) {
    if (audBuf.last < audBuf.lowest) audBuf.lowest = audBuf.last;
    char text[16];
    AudBufPercentText(audBuf.lowest, BufSize(), text, sizeof text);
    SetTextAlign(dc, TA_CENTER);
    SetBkColor(dc, GetSysColor(15));
    RECT r = {65, 41, 120, 59};
    ExtTextOutA(dc, 92, 42, ETO_OPAQUE, &r, text, static_cast<UINT>(std::strlen(text)), nullptr);
  }
  ReleaseDC(wnd, dc);
}

void AudBufReset() {
  audBuf.last = audBuf.lowest = BufSize();
  audBuf.target = kAudBufBar;
}

LRESULT CALLBACK AudBufProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      WndTable[kAudBufWnd] = wnd;
      audBuf.reset = HBmButton9Desc{};
      audBuf.reset.bitmapRes = 251;
      audBuf.reset.style = kHbButton;
      audBuf.reset.mask = RGB(255, 255, 255);
      CreateWindowExA(0, kHBmButton9Class, "", WS_CHILD | WS_VISIBLE, 132, 40, 48, 20, wnd,
                      nullptr, Instance(), &audBuf.reset);
      AudBufReset();
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      Draw3dFrame(dc, GetSysColor(16), GetSysColor(20), 10, 8, 179, 27);
      Draw3dFrame(dc, GetSysColor(16), GetSysColor(20), 64, 40, 120, 59);
      HFONT font = CreateAppFont(4);
      HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      TextOutA(dc, 10, 44, "Min Cont:", 9);
      SelectObject(dc, old);
      if (font) DeleteObject(font);
      for (int k = 0; k <= 10; ++k) DrawLine(dc, GetSysColor(21), 11 + 167 * k / 10, 30, 11 + 167 * k / 10, 33);
      EndPaint(wnd, &ps);
      SendMessageA(wnd, kMsgStartWork, 1, 0);
      return 0;
    }
    case kMsgStartWork:
      AudBufDraw(wnd, wParam != 0);
      return 0;
    case WMU_CTL_LBUTTONDOWN:
      audBuf.reset.state |= kHbOn;
      if (audBuf.reset.wnd) RedrawWindow(audBuf.reset.wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      AudBufReset();
      SendMessageA(wnd, kMsgStartWork, 1, 0);
      return 0;
    case WMU_CTL_LBUTTONUP:
      audBuf.reset.state &= ~kHbOn;
      if (audBuf.reset.wnd) InvalidateRect(audBuf.reset.wnd, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      Uncheck(42314);
      WndTable[kAudBufWnd] = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

// ---- Big clock ----
struct BigClockState {
  int mode;  // 0 time code, else bars
  BigClockSettings s;
  HFONT font;
  int width, height;
  POINT minTrack;
  RECT cell[12];
  char shown[13];
  bool loaded;
} clockState = {};

LOGFONTA ClockLogFont() {
  LOGFONTA lf = {};
  static_assert(sizeof(LOGFONTA) == 15 * 4, "the font record is 15 words");
  std::memcpy(&lf, clockState.s.font, sizeof lf);
  return lf;
}

int ClockChars() { return clockState.mode ? 12 : 11; }

void ClockText(char out[13]) {
  if (clockState.mode) {
    BbtRec b;
    LocToBbt(&b, Locs().NowLoc, 1);
    BigClockBarsText(b.Bar, b.Beat, b.Tick, out);
  } else {
    TcRec t;
    LocToTimeCode(&t, Locs().NowLoc, Settings().TcOffset);
    BigClockTcText(t.Hours, t.Minutes, t.Seconds, t.Frames, out);
  }
}

void BigClockLoadSettings() {
  char line[512] = "";
  ReadIniString(Shell().iniPath, IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_COLORS_AND_FONT, line, sizeof line);
  BigClockParse(line, GetSysColor(15), &clockState.s);
  clockState.loaded = true;
}

void BigClockSaveSettings() {
  char line[512];
  BigClockFormat(clockState.s, line, sizeof line);
  WriteIniValue(Shell().iniPath, IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_COLORS_AND_FONT, "%s", line);
}

void BigClockLayout(HWND wnd) {
  HDC dc = GetDC(wnd);
  HGDIOBJ old = SelectObject(dc, clockState.font ? clockState.font : GetStockObject(SYSTEM_FONT));
  const char* tmpl = clockState.mode ? "00000.00.000" : "00:00:00:00";
  SIZE t = {}, d = {}, sep = {};
  GetTextExtentPoint32A(dc, tmpl, static_cast<int>(std::strlen(tmpl)), &t);
  clockState.minTrack.x = t.cx * 17 / 16 + 10;
  clockState.minTrack.y = t.cy + GetSystemMetrics(SM_CYCAPTION) + 10;
  RECT w;
  GetWindowRect(wnd, &w);
  if (w.right - w.left < clockState.minTrack.x || w.bottom - w.top < clockState.minTrack.y) {
    POINT p = {w.left, w.top};
    if (HWND parent = GetParent(wnd)) ScreenToClient(parent, &p);
    MoveWindow(wnd, w.left, w.top, clockState.minTrack.x, clockState.minTrack.y, TRUE);
  }
  GetTextExtentPoint32A(dc, "0", 1, &d);
  GetTextExtentPoint32A(dc, ":", 1, &sep);
  SelectObject(dc, old);
  ReleaseDC(wnd, dc);
  static const char kTc[] = "ddsddsddsdd", kBars[] = "dddddsddsddd";
  const char* cells = clockState.mode ? kBars : kTc;
  const int n = ClockChars();
  int total = 0;
  for (int i = 0; i < n; ++i) total += cells[i] == 'd' ? d.cx : sep.cx;
  int x = (clockState.width - total) / 2;
  const int top = (clockState.height - d.cy) / 2;
  for (int i = 0; i < n; ++i) {
    const int cw = cells[i] == 'd' ? d.cx : sep.cx;
    clockState.cell[i] = RECT{x, top, x + cw, top + d.cy};
    x += cw;
  }
}

void BigClockDrawChar(HDC dc, int cell, char now, char old) {
  const RECT& r = clockState.cell[cell];
  const int x = (r.left + r.right) / 2;
  SetTextColor(dc, clockState.s.background);
  ExtTextOutA(dc, x, r.top, 0, nullptr, &old, 1, nullptr);
  SetTextColor(dc, clockState.s.textColour);
  ExtTextOutA(dc, x, r.top, 0, nullptr, &now, 1, nullptr);
}

void MakeClockFont() {
  if (clockState.font) DeleteObject(clockState.font);
  LOGFONTA lf = ClockLogFont();
  clockState.font = CreateFontIndirectA(&lf);
}

LRESULT CALLBACK BigClockProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      WndTable[kBigClocWnd] = wnd;
      MakeClockFont();
      SetWindowPos(wnd, AlwaysOnTop[0] ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      return 0;
    case WM_SIZE:
      clockState.width = static_cast<int16_t>(LOWORD(lParam));
      clockState.height = static_cast<int16_t>(HIWORD(lParam));
      BigClockLayout(wnd);
      InvalidateRect(wnd, nullptr, FALSE);
      return 0;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = clockState.minTrack;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT c;
      GetClientRect(wnd, &c);
      SetBkColor(dc, clockState.s.background);
      ExtTextOutA(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &c, "", 0, nullptr);
      HGDIOBJ old = SelectObject(dc, clockState.font ? clockState.font : GetStockObject(SYSTEM_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextAlign(dc, TA_CENTER);
      for (int i = 0; i < ClockChars(); ++i) BigClockDrawChar(dc, i, clockState.shown[i], ' ');
      SelectObject(dc, old);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WMU_SAVE_SETTINGS:
      BigClockSaveSettings();
      return 0;
    case WM_DESTROY:
      if (clockState.font) DeleteObject(clockState.font);
      clockState.font = nullptr;
      Uncheck(42315);
      WndTable[kBigClocWnd] = nullptr;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND CreateBigClock(HWND owner) {
  BigClockLoadSettings();
  clockState.mode = RadioValue(kGrpTimebar) == 40518 ? 1 : clockState.mode;
  ClockText(clockState.shown);
  WindowPosRec pos;
  ReadIniWindowPos(Shell().iniPath, IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_WINDOW, &pos);
  char title[64];
  StrLoad(IDS_BIG_CLOCK_TITLE, title, sizeof title);
  return CreateWindowExA(0, "BigClocWnd_WC", title,
                         WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, pos.x,
                         pos.y, pos.width, pos.height, owner, nullptr, Instance(), nullptr);
}

// ---- Directory and file-manager windows ----
LRESULT CALLBACK DirProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) WndTable[kDirWnd] = wnd;
  if (msg == WM_DESTROY) {
    Uncheck(42311);
    WndTable[kDirWnd] = nullptr;
    return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

LRESULT CALLBACK SFManProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) WndTable[kFileManagerWnd] = wnd;
  if (msg == WM_DESTROY) {
    Uncheck(42312);
    WndTable[kFileManagerWnd] = nullptr;
    return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

HWND CreateAtRecord(const char* cls, uint32_t section, const char* title, DWORD style, HWND owner) {
  WindowPosRec pos;
  ReadIniWindowPos(Shell().iniPath, section, IDS_INI_KEY_WINDOW, &pos);
  return CreateWindowExA(0, cls, title, style, pos.x, pos.y, pos.width, pos.height, owner, nullptr,
                         Instance(), nullptr);
}

}  // namespace

// Defined with the tool window.
LRESULT CALLBACK ToolWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK DragnDropWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StatusProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

bool RegisterShellClass(HINSTANCE instance, const char* name) {
  WNDCLASSA wc = {};
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  if (std::strcmp(name, "StatWnd_WC") == 0) {
    wc.lpfnWndProc = StatusProc;
    wc.hbrBackground = GetSysColorBrush(15);
  } else if (std::strcmp(name, "AudBufWnd_WC") == 0) {
    wc.lpfnWndProc = AudBufProc;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    wc.hbrBackground = GetSysColorBrush(15);
  } else if (std::strcmp(name, "BigClocWnd_WC") == 0) {
    wc.lpfnWndProc = BigClockProc;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  } else if (std::strcmp(name, "DirWnd_WC") == 0) {
    wc.lpfnWndProc = DirProc;
  } else if (std::strcmp(name, "SFManWnd_WC") == 0) {
    wc.lpfnWndProc = SFManProc;
    wc.style = CS_VREDRAW | CS_HREDRAW;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  } else if (std::strcmp(name, "ToolWnd_WC") == 0) {
    wc.lpfnWndProc = ToolWndProc;
  } else if (std::strcmp(name, "DragnDropWnd_WC") == 0) {
    wc.lpfnWndProc = DragnDropWndProc;
    wc.cbWndExtra = 4;
    wc.hbrBackground = CreateSolidBrush(Shell().skin.toolBackground);
  } else {
    return false;
  }
  RegisterClassA(&wc);
  return true;
}

void ShellWindowToggle(HWND mainWnd, UINT id) {
  static const struct {
    UINT id;
    WndId wnd;
  } kWindows[] = {{42303, kStatusBar}, {42311, kDirWnd},    {42312, kFileManagerWnd},
                  {42313, kMrkDirWnd}, {42314, kAudBufWnd}, {42315, kBigClocWnd}};
  for (const auto& w : kWindows) {
    if (w.id != id) continue;
    if (HWND open = WndTable[w.wnd]) {
      DestroyWindow(open);
      return;
    }
    HWND made = nullptr;
    const DWORD popup = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
    switch (id) {
      case 42303: {
        RECT c;
        GetClientRect(mainWnd, &c);
        made = CreateWindowExA(0, "StatWnd_WC", "", WS_CHILD | WS_VISIBLE, 0,
                               c.top + 1 + (WndTable[kToolWnd] ? 31 : 0), c.right, 21, mainWnd,
                               nullptr, Instance(), nullptr);
        break;
      }
      case 42311:
        made = CreateAtRecord("DirWnd_WC", IDS_INI_SEC_DIR_WND, "", popup | WS_THICKFRAME, mainWnd);
        break;
      case 42312:
        made = CreateAtRecord("SFManWnd_WC", IDS_INI_SEC_SFILE_MANAGER_WND, "SFile Manager",
                              popup | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, mainWnd);
        break;
      case 42313: {
        char title[64];
        StrLoad(IDS_MRKDIR_TITLE, title, sizeof title);
        made = CreateAtRecord(kMrkDirClass, IDS_INI_SEC_MRK_DIR_WND, title, popup | WS_THICKFRAME,
                              mainWnd);
        break;
      }
      case 42314: {
        WindowPosRec pos;
        ReadIniWindowPos(Shell().iniPath, IDS_INI_SEC_AUD_BUF_WND, IDS_INI_KEY_WINDOW, &pos);
        char title[64];
        StrLoad(IDS_AUDBUF_TITLE, title, sizeof title);
        made = CreateWindowExA(0, "AudBufWnd_WC", title, popup, pos.x, pos.y,
                               188 + 2 * Shell().frameWidth,
                               66 + Shell().captionHeight + 2 * Shell().frameHeight, mainWnd,
                               nullptr, Instance(), nullptr);
        break;
      }
      case 42315:
        made = CreateBigClock(mainWnd);
        break;
    }
    if (made) Check(id);
    return;
  }
}

void AudBufUpdate(uint32_t reserve) {
  const uint32_t size = BufSize();
  audBuf.last = reserve > size ? size : reserve;
  audBuf.target = AudBufBarLength(audBuf.last, size);
  HWND wnd = WndTable[kAudBufWnd];
  if (wnd && (audBuf.target != audBuf.drawn || audBuf.last < audBuf.lowest))
    SendMessageA(wnd, kMsgStartWork, 0, 0);
}

void BigClockUpdate(int bars, const void* record) {
  HWND wnd = WndTable[kBigClocWnd];
  if (!wnd) {
    clockState.mode = bars;
    return;
  }
  bool all = false;
  if ((bars != 0) != (clockState.mode != 0)) {
    clockState.mode = bars;
    BigClockLayout(wnd);
    InvalidateRect(wnd, nullptr, FALSE);
    all = true;
  }
  char text[13];
  if (record && !clockState.mode) {
    const TcRec* t = static_cast<const TcRec*>(record);
    BigClockTcText(t->Hours, t->Minutes, t->Seconds, t->Frames, text);
  } else if (record) {
    const BbtRec* b = static_cast<const BbtRec*>(record);
    BigClockBarsText(b->Bar, b->Beat, b->Tick, text);
  } else {
    ClockText(text);
  }
  HDC dc = GetDC(wnd);
  HGDIOBJ old = SelectObject(dc, clockState.font ? clockState.font : GetStockObject(SYSTEM_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextAlign(dc, TA_CENTER);
  for (int i = 0; i < ClockChars(); ++i) {
    if (!all && text[i] == clockState.shown[i]) continue;
    BigClockDrawChar(dc, i, text[i], all ? ' ' : clockState.shown[i]);
    clockState.shown[i] = text[i];
  }
  SelectObject(dc, old);
  ReleaseDC(wnd, dc);
}

void BigClockShowBars(int bars) { BigClockUpdate(bars, nullptr); }

void BigClockGetFont(uint32_t words[15]) {
  if (!clockState.loaded) BigClockLoadSettings();
  std::memcpy(words, clockState.s.font, sizeof clockState.s.font);
}

void BigClockSetFont(const uint32_t words[15]) {
  if (clockState.font) DeleteObject(clockState.font);
  clockState.font = nullptr;
  std::memcpy(clockState.s.font, words, sizeof clockState.s.font);
  reinterpret_cast<char*>(&clockState.s.font[7])[kBigClockFaceWords * 4 - 1] = '\0';
  if (HWND wnd = WndTable[kBigClocWnd]) {
    MakeClockFont();
    BigClockLayout(wnd);
    InvalidateRect(wnd, nullptr, FALSE);
  }
}

void BigClockSetColor(int index, COLORREF colour) {
  if (index == 0) clockState.s.textColour = colour;
  else if (index == 1) clockState.s.background = colour;
  else return;
  if (HWND wnd = WndTable[kBigClocWnd]) InvalidateRect(wnd, nullptr, FALSE);
}

COLORREF BigClockGetColor(int index) {
  if (!clockState.loaded) BigClockLoadSettings();
  return index == 0 ? clockState.s.textColour : index == 1 ? clockState.s.background : 0;
}

void BigClockCommand(void* mainWnd, uint32_t id) {
  HWND owner = WndTable[kBigClocWnd] ? WndTable[kBigClocWnd] : static_cast<HWND>(mainWnd);
  if (id == 41837) {
    LOGFONTA lf = {};
    uint32_t words[15];
    BigClockGetFont(words);
    std::memcpy(&lf, words, sizeof lf);
    CHOOSEFONTA cf = {};
    cf.lStructSize = sizeof cf;
    cf.hwndOwner = owner;
    cf.lpLogFont = &lf;
    cf.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    cf.rgbColors = BigClockGetColor(0);
    if (!ChooseFontA(&cf)) return;
    std::memcpy(words, &lf, sizeof lf);
    BigClockSetFont(words);
    BigClockSetColor(0, cf.rgbColors);
  } else if (id == 41838) {
    static COLORREF custom[16] = {};
    CHOOSECOLORA cc = {};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = owner;
    cc.rgbResult = BigClockGetColor(1);
    cc.lpCustColors = custom;
    cc.Flags = CC_RGBINIT;
    if (ChooseColorA(&cc)) BigClockSetColor(1, cc.rgbResult);
  }
}

