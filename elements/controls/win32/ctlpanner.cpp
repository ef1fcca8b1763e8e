// SurPanner8: a surround field with a trapezoid of the speaker layout and
// one or two position dots.
#include <algorithm>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

namespace {

bool g_drag = false;

int Inset(const RECT& client) { return client.right >= 32 ? 3 : 1; }

RECT Inner(HWND wnd) {
  RECT r;
  GetClientRect(wnd, &r);
  return RectInset(r, Inset(r));
}

RECT Spot(int x, int y) { return RECT{x - 3, y - 3, x + 4, y + 4}; }

void Paint(HWND wnd, HDC dc, const SurPanner8Data* d) {
  RECT client;
  GetClientRect(wnd, &client);
  CtlBuffer buf(dc, client.right, client.bottom);
  HDC m = buf.Dc();
  CtlFill(m, client, d->Background);
  const RECT in = RectInset(client, Inset(client));
  const int w = in.right - in.left, h = in.bottom - in.top, div = client.right < 32 ? 2 : 4;
  for (int i = 0; i <= div; ++i) {
    const int x = in.left + (w - 1) * i / div, y = in.top + (h - 1) * i / div;
    for (int t = 0; t < h; t += div)
      for (int k = 0; k < div / 2; ++k) SetPixel(m, x, in.top + t + k, d->GridColor);
    for (int t = 0; t < w; t += div)
      for (int k = 0; k < div / 2; ++k) SetPixel(m, in.left + t + k, y, d->GridColor);
  }
  const int cx = (in.left + in.right) / 2, cy = (in.top + in.bottom) / 2;
  const int f = MulDiv(w - 2, d->Front, 200), r = MulDiv(w - 2, d->Rear, 200), hh = MulDiv(h - 2, d->Depth, 200);
  const POINT trap[5] = {{cx - f, cy - hh}, {cx + f, cy - hh}, {cx + r, cy + hh}, {cx - r, cy + hh}, {cx - f, cy - hh}};
  HPEN pen = CreatePen(PS_SOLID, 1, d->Trapezoid);
  HGDIOBJ old = SelectObject(m, pen);
  Polyline(m, trap, 5);
  SelectObject(m, old);
  DeleteObject(pen);
  for (int dot = d->Stereo ? 1 : 0; dot >= 0; --dot) {
    const COLORREF c = dot ? d->Dot2 : d->Dot1;
    if (client.right < 32) {
      CtlFill(m, RECT{d->X[dot] - 1, d->Y[dot] - 1, d->X[dot] + 2, d->Y[dot] + 2}, c);
    } else {
      HPEN p = CreatePen(PS_SOLID, 1, c);
      HBRUSH b = CreateSolidBrush(c);
      HGDIOBJ op = SelectObject(m, p), ob = SelectObject(m, b);
      Ellipse(m, d->X[dot] - 3, d->Y[dot] - 3, d->X[dot] + 4, d->Y[dot] + 4);
      SelectObject(m, op);
      SelectObject(m, ob);
      DeleteObject(p);
      DeleteObject(b);
    }
  }
  buf.CopyTo(dc);
}

// Moves a dot (0 dot 1, 1 dot 2) and invalidates its old and new spot.
void MoveDot(SurPanner8Data* d, int dot, int x, int y) {
  if (d->Wnd) {
    const RECT a = Spot(d->X[dot], d->Y[dot]);
    InvalidateRect(d->Wnd, &a, FALSE);
  }
  d->X[dot] = x;
  d->Y[dot] = y;
  if (d->Wnd) {
    const RECT b = Spot(x, y);
    InvalidateRect(d->Wnd, &b, FALSE);
  }
}

}  // namespace

void SurPanner8SetShape(SurPanner8Data* d, int front, int rear, int depth) {
  if (d->Front == front && d->Rear == rear && d->Depth == depth) return;
  d->Front = front;
  d->Rear = rear;
  d->Depth = depth;
  if (d->Wnd) InvalidateRect(d->Wnd, nullptr, TRUE);
}

void SurPanner8SetDot(SurPanner8Data* d, int32_t x32, int32_t y32, int which) {
  if (!d->Wnd) return;
  const RECT in = Inner(d->Wnd);
  const int k = in.left;
  MoveDot(d, which ? 0 : 1, SurPannerPixel(x32, in.right - in.left, k), SurPannerPixel(y32, in.bottom - in.top, k));
}

void SurPanner8GetDot(const SurPanner8Data* d, int32_t* x32, int32_t* y32, int which) {
  if (!d->Wnd) {
    *x32 = *y32 = 0;
    return;
  }
  const RECT in = Inner(d->Wnd);
  const int dot = which ? 0 : 1;
  *x32 = SurPannerValue(d->X[dot], in.right - in.left, in.left);
  *y32 = SurPannerValue(d->Y[dot], in.bottom - in.top, in.left);
}

LRESULT CALLBACK SurPanner8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  SurPanner8Data* d = CtlData<SurPanner8Data>(wnd);
  switch (msg) {
    case WM_CREATE:
      CtlAttach<SurPanner8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      if (GetCapture() == wnd) g_drag = false;
      CtlDetach<SurPanner8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (!d) return 0;
      SetCapture(wnd);
      CtlNotify(wnd, msg == WM_LBUTTONDOWN ? WMU_CTL_DRAG_LBUTTONDOWN : WMU_CTL_DRAG_RBUTTONDOWN);
      g_drag = true;
      [[fallthrough]];
    case WM_MOUSEMOVE: {
      if (!d || !g_drag) return 0;
      const RECT in = Inner(wnd);
      const int x = std::clamp<int>(short(LOWORD(lParam)), in.left, in.right - 1);
      const int y = std::clamp<int>(short(HIWORD(lParam)), in.top, in.bottom - 1);
      // The right button, or the left with Shift or Ctrl, moves dot 2.
      const int dot = !d->Stereo || wParam == MK_LBUTTON ? 0 : 1;
      MoveDot(d, dot, x, y);
      CtlNotify(wnd, WMU_CTL_DRAGMOVE);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      if (!g_drag) return 0;
      ReleaseCapture();
      CtlNotify(wnd, msg == WM_RBUTTONUP ? WMU_CTL_DRAG_RBUTTONUP : WMU_CTL_DRAG_LBUTTONUP);
      g_drag = false;
      CtlNotify(wnd, WMU_CTL_DRAGEND);
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
