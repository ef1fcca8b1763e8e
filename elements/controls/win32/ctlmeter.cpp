// Peak8: rows of LED meters with a falling bar and a held peak. Painted
// straight onto the window, LED by LED, only where an LED changes.
#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

namespace {

RECT LedRect(const Peak8Data* d, int m, int j) {
  const int n = d->Leds;
  const bool last = j == n - 1;
  if (!d->Vertical) {
    const int x = d->X + 3 * j, y = d->Y + m * d->Pitch;
    return RECT{x, y, x + (last ? 6 : 2), y + d->Thickness};
  }
  const int x = d->X + m * d->Pitch;
  if (last) return RECT{x, d->Y, x + d->Thickness, d->Y + 18};
  const int y = d->Y + 11 + 4 * (n - j);
  return RECT{x, y, x + d->Thickness, y + 3};
}

struct LedTarget {
  HDC Dc;
};

void DrawLed(void* ctx, const Peak8Data* d, int m, int j, Peak8LedColor c) {
  COLORREF col = d->Blocked ? d->LedOffBlocked : d->LedOff;
  if (c == kLedOn) col = d->LedOn;
  if (c == kLedPeak) col = d->LedPeak;
  if (c == kLedOverload) col = d->LedOverload;
  CtlFill(static_cast<LedTarget*>(ctx)->Dc, LedRect(d, m, j), col);
}

}  // namespace

void Peak8Clear(Peak8Data* d) {
  if (!d->Wnd) {
    Peak8Clear(d, nullptr, nullptr);
    return;
  }
  LedTarget t{GetDC(d->Wnd)};
  Peak8Clear(d, DrawLed, &t);
  ReleaseDC(d->Wnd, t.Dc);
}

void Peak8Update(Peak8Data* d) {
  if (!d->Wnd) return;
  LedTarget t{GetDC(d->Wnd)};
  Peak8Update(d, DrawLed, &t);
  ReleaseDC(d->Wnd, t.Dc);
}

LRESULT CALLBACK Peak8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Peak8Data* d = CtlData<Peak8Data>(wnd);
  switch (msg) {
    case WM_CREATE:
      CtlAttach<Peak8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      CtlDetach<Peak8Data>(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) {
        RECT r;
        GetClientRect(wnd, &r);
        CtlFill(dc, r, d->Blocked ? d->BackgroundBlocked : d->Background);
        if (d->FrameOn) ElemDrawFrame3D(dc, d->FrameLeft, d->FrameTop, d->FrameRight, d->FrameBottom, r);
        // The whole meter again from the levels the owner holds.
        int32_t levels[kPeakMeters];
        for (int m = 0; m < kPeakMeters; ++m) levels[m] = d->Level[m];
        LedTarget t{dc};
        Peak8Clear(d, DrawLed, &t);
        for (int m = 0; m < kPeakMeters; ++m) d->Level[m] = levels[m];
        Peak8Update(d, DrawLed, &t);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
