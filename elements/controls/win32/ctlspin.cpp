// SpinBox8: a number stepped by the mouse buttons (left down, right up;
// both held repeat faster) and typed in through the INPUT dialog on a
// double-click.
#include <cstring>

#include "elements/controls/win32/ctlwin.h"
#include "elements/elemstr.h"
#include "elements/win32/elemwin.h"

namespace {

constexpr UINT_PTR kSpinTimer = 1;
constexpr UINT kFirstDelay = 400, kRepeat = 100;

// The spin in progress (one for the class): 0 idle, -1/+1 one button
// held (down/up), -2/+2 both held; the value at the last press, for a
// double-click; whether the timer has ticked yet.
int g_spin = 0;
int32_t g_remembered = 0;
bool g_ticked = false;

void Paint(HWND wnd, HDC dc, const SpinBox8Data* d) {
  RECT r;
  GetClientRect(wnd, &r);
  CtlBuffer buf(dc, r.right, r.bottom);
  HDC m = buf.Dc();
  const COLORREF bg = d->Blocked ? d->BackgroundBlocked : d->Background;
  CtlFill(m, r, bg);
  if (d->FrameOn) {
    ElemDrawFrame3D(m, d->FrameOuterLeft, d->FrameOuterTop, d->FrameOuterRight, d->FrameOuterBottom,
                    RECT{0, 0, r.right, r.bottom});
    ElemDrawFrame3D(m, d->FrameInnerLeft, d->FrameInnerTop, d->FrameInnerRight, d->FrameInnerBottom,
                    RECT{1, 1, r.right - 1, r.bottom - 1});
  }
  char text[32];
  SpinBox8FormatValue(d->Value, d->Divisor, text, sizeof text);
  const RECT clip = RectInset(r, 2);
  HGDIOBJ old = SelectObject(m, CtlFont(5));
  SetTextColor(m, d->Blocked ? d->TextBlocked : d->Text);
  SetBkColor(m, bg);
  SetBkMode(m, OPAQUE);
  SetTextAlign(m, TA_CENTER | TA_TOP);
  ExtTextOutA(m, (clip.left + clip.right) / 2, clip.top, ETO_CLIPPED | ETO_OPAQUE, &clip, text,
              UINT(std::strlen(text)), nullptr);
  SelectObject(m, old);
  buf.CopyTo(dc);
}

// One step; a changed value is stored, drawn and reported.
void Step(HWND wnd, SpinBox8Data* d, int down, int divisor) {
  const int32_t v = SpinBox8Step(d, down, divisor);
  if (v == d->Value) return;
  d->Value = v;
  SpinBox8Redraw(d);
  CtlNotify(wnd, WMU_CTL_SPINSTEP);
}

void ButtonDown(HWND wnd, SpinBox8Data* d, int sign) {
  if (g_spin != 0) {
    g_spin = g_spin < 0 ? -2 : 2;
    return;
  }
  SetCapture(wnd);
  g_spin = sign;
  g_remembered = d->Value;
  g_ticked = false;
  const int32_t before = d->Value;
  Step(wnd, d, sign < 0, 1);
  if (d->Value != before && !SetTimer(wnd, kSpinTimer, kFirstDelay, nullptr))
    ElemMessageBox(wnd, IDS_TOO_MANY_TIMERS, MB_ICONEXCLAMATION);
}

void ButtonUp(HWND wnd) {
  if (g_spin == 0) return;
  g_spin += g_spin < 0 ? 1 : -1;
  if (g_spin != 0) return;
  ReleaseCapture();
  KillTimer(wnd, kSpinTimer);
  CtlNotify(wnd, WMU_CTL_SPINDONE);
}

void DoubleClick(HWND wnd, SpinBox8Data* d) {
  // The double-click's first press stepped the value: put it back.
  while (g_spin != 0) ButtonUp(wnd);
  d->Value = g_remembered;
  SpinBox8Redraw(d);
  char text[32];
  SpinBox8FormatValue(d->Value, d->Divisor, text, sizeof text);
  if (CtlAskValue(wnd, text)) {
    d->Value = SpinBox8ParseValue(d, ElemModule().ValueText);
    SpinBox8Redraw(d);
  }
  CtlNotify(wnd, WMU_CTL_SPINSTEP);
  CtlNotify(wnd, WMU_CTL_SPINDONE);
}

}  // namespace

void SpinBox8Redraw(SpinBox8Data* d) {
  if (!d->Wnd) return;
  HDC dc = GetDC(d->Wnd);
  Paint(d->Wnd, dc, d);
  ReleaseDC(d->Wnd, dc);
}

LRESULT CALLBACK SpinBox8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SpinBox8Data* d = CtlData<SpinBox8Data>(wnd);
  switch (msg) {
    case WM_CREATE:
      CtlAttach<SpinBox8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      if (GetCapture() == wnd) g_spin = 0;
      KillTimer(wnd, kSpinTimer);
      CtlDetach<SpinBox8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (d) ButtonDown(wnd, d, msg == WM_LBUTTONDOWN ? -1 : 1);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      ButtonUp(wnd);
      return 0;
    case WM_LBUTTONDBLCLK:
      if (d) DoubleClick(wnd, d);
      return 0;
    case WM_RBUTTONDBLCLK:
      if (d) ButtonDown(wnd, d, 1);
      return 0;
    case WM_TIMER:
      if (wParam != kSpinTimer || !d || g_spin == 0) return 0;
      if (!g_ticked) {
        g_ticked = true;
        SetTimer(wnd, kSpinTimer, kRepeat, nullptr);
      }
      Step(wnd, d, g_spin < 0, g_spin == 2 || g_spin == -2 ? 30 : 10);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) Paint(wnd, dc, d);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
