// BpEqFs8: the magnitude curve of up to eight bands over a log frequency
// axis, with an optional grid and band markers.
#include <algorithm>
#include <cstdlib>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

namespace {

int32_t CurveY(const BpEqFs8Data* d, int32_t v) { return d->Height / 2 - std::clamp(v, -d->Height / 2, d->Height / 2); }

void DrawCurve(HDC m, const BpEqFs8Data* d, const int32_t* curve, int dx, int dy, COLORREF c) {
  for (int p = 1; p < d->Points; ++p)
    CtlLine(m, dx + p - 1, dy + CurveY(d, curve[p - 1]), dx + p, dy + CurveY(d, curve[p]), c);
}

void DrawBuffered(HDC dc, const BpEqFs8Data* d) {
  CtlBuffer buf(dc, d->Points, d->Height);
  HDC m = buf.Dc();
  CtlFill(m, RECT{0, 0, d->Points, d->Height}, d->CurveBackground);
  if (d->Mode == kEqModeGrid) {
    for (int i = 1; i <= 10; ++i)
      for (int x = 0; x < d->Points; x += 2) SetPixel(m, x, i * d->Height / 10, d->Grid);
    HGDIOBJ old = SelectObject(m, CtlFont(2));
    SetBkMode(m, TRANSPARENT);
    SetTextColor(m, d->BandMarker);
    SetTextAlign(m, TA_LEFT | TA_BOTTOM);
    const int bands = std::clamp(d->Bands, 0, kEqBands);
    for (int i = 0; i < bands; ++i) {
      const int x = LogFreqToX(d->Points, d->Freq[i], 20, d->SampleRate / 2.0);
      CtlLine(m, x, 0, x, d->Height, d->BandMarker);
      const char label = char('1' + i);
      TextOutA(m, x > d->Points - 10 ? x - 8 : x + 2, i < (bands + 1) / 2 ? 10 : d->Height, &label, 1);
    }
    SelectObject(m, old);
  }
  DrawCurve(m, d, d->Current, 0, 0, d->Curve);
  buf.CopyTo(dc, d->X, d->Y);
}

void Draw(HDC dc, const BpEqFs8Data* d) {
  if (d->Mode == kEqModePlain || d->Mode == kEqModeGrid) {
    DrawBuffered(dc, d);
    return;
  }
  // Line mode: the old curve wiped, the new one drawn, straight on the window.
  DrawCurve(dc, d, d->Previous, d->X, d->Y, d->CurveBackground);
  DrawCurve(dc, d, d->Current, d->X, d->Y, d->Curve);
}

}  // namespace

void BpEqFs8Draw(BpEqFs8Data* d, int recompute) {
  if (!d->Wnd) return;
  if (recompute) {
    std::swap(d->Current, d->Previous);
    BpEqFs8ComputeCurve(d);
  }
  HDC dc = GetDC(d->Wnd);
  Draw(dc, d);
  ReleaseDC(d->Wnd, dc);
}

LRESULT CALLBACK BpEqFs8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  BpEqFs8Data* d = CtlData<BpEqFs8Data>(wnd);
  switch (msg) {
    case WM_CREATE: {
      d = CtlAttach<BpEqFs8Data>(wnd, lParam);
      if (!d || d->Points <= 0) return -1;
      int32_t* curves = static_cast<int32_t*>(std::calloc(2 * size_t(d->Points), sizeof(int32_t)));
      if (!curves) {
        d->Wnd = nullptr;
        return -1;
      }
      d->Current = curves;
      d->Previous = curves + d->Points;
      BpEqFs8ComputeCurve(d);
      return 0;
    }
    case WM_DESTROY:
      if (d) {
        // One block holds both curves: free it from whichever half is first.
        std::free(std::min(d->Current, d->Previous));
        d->Current = d->Previous = nullptr;
      }
      CtlDetach<BpEqFs8Data>(wnd);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) {
        RECT r;
        GetClientRect(wnd, &r);
        CtlFill(dc, r, d->Background);
        if (d->FrameOn) ElemDrawFrame3D(dc, d->FrameLeft, d->FrameTop, d->FrameRight, d->FrameBottom, r);
        Draw(dc, d);
      }
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
