// The tape-transport bar: a child window along the bottom of the main
// frame with the transport's four lamps (rewind, fast forward, play,
// record) and its seven fields, one static control each (ids 0..6, see
// TransportField).
#include <windows.h>

#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"
#include "mixer/units/transport.h"
#include "mixer/units/transportbar.h"
#include "mixer/units/win32/transportbar_win.h"

namespace {

constexpr char kClass[] = "TapeTransWnd_WC";
constexpr int kLampWidth = 34;
constexpr int kFieldWidths[kTransportFields] = {92, 92, 92, 92, 48, 56, 92};

void LampRect(int i, RECT* r) {
  *r = {4 + i * (kLampWidth + 4), 5, 4 + i * (kLampWidth + 4) + kLampWidth, kTransportBarHeight - 5};
}

void PaintLamps(HWND wnd, HDC dc) {
  const TransportLamps& l = TransportLampState();
  const bool on[4] = {l.rewind, l.fastForward, l.play, l.record};
  static const char* const kNames[4] = {"<<", ">>", ">", "O"};
  static const COLORREF kLit[4] = {RGB(255, 200, 0), RGB(255, 200, 0), RGB(0, 220, 0), RGB(240, 0, 0)};
  SetBkMode(dc, TRANSPARENT);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  for (int i = 0; i < 4; ++i) {
    RECT r;
    LampRect(i, &r);
    HBRUSH brush = CreateSolidBrush(on[i] ? kLit[i] : RGB(64, 64, 64));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    SetTextColor(dc, on[i] ? RGB(0, 0, 0) : RGB(160, 160, 160));
    DrawTextA(dc, kNames[i], -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  (void)wnd;
}

LRESULT CALLBACK BarProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lParam);
      int x = 4 + 4 * (kLampWidth + 4) + 8;
      for (int id = 0; id < kTransportFields; ++id) {
        HWND field = CreateWindowA("STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER | SS_SUNKEN | SS_CENTERIMAGE,
                                   x, 4, kFieldWidths[id], kTransportBarHeight - 8, wnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), cs->hInstance, nullptr);
        SendMessageA(field, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
        x += kFieldWidths[id] + 4;
      }
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      PaintLamps(wnd, dc);
      EndPaint(wnd, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      RECT r;
      GetClientRect(wnd, &r);
      FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
      PaintLamps(wnd, dc);
      return 0;
    }
    case WM_DESTROY:
      if (WndTable[kTapeTransBar] == wnd) WndTable[kTapeTransBar] = nullptr;
      return 0;
    default: return DefWindowProcA(wnd, msg, wParam, lParam);
  }
}

}  // namespace

void RegisterTapeTransWnd(void* instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = BarProc;
  wc.hInstance = static_cast<HINSTANCE>(instance);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
}

HWND TransportBarCreate(HWND frame) {
  if (WndTable[kTapeTransBar]) return WndTable[kTapeTransBar];
  RECT c;
  GetClientRect(frame, &c);
  HWND bar = CreateWindowExA(0, kClass, "", 0x50000000, c.left, c.bottom - kTransportBarHeight,
                             c.right - c.left, kTransportBarHeight, frame, nullptr,
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(frame, GWLP_HINSTANCE)), nullptr);
  WndTable[kTapeTransBar] = bar;
  if (bar) TransportBarShowAll();
  return bar;
}

void TransportBarShowAll() {
  TransportShowNowTimecode();
  TransportShowNowBars();
  TransportShowLeftLoc();
  TransportShowRightLoc();
  TransportShowMeter(1);
  TransportShowTempo(1);
  TransportShowTimecodeOffset();
  TransportShowModeLamps();
}
