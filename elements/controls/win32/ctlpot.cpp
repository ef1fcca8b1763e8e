// RotPot8: a rotary pot over 270 degrees, dragged, turned by the wheel or
// typed in (shown centred on half its range).
#include <algorithm>
#include <cstdio>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"
#include "mixer/model/util/numtext.h"

namespace {

// The drag in progress (one for the class) and the value before the last
// change, for a double-click.
bool g_drag = false;
int32_t g_remembered = 0;

COLORREF FaceColor(const RotPot8Data* d) {
  if (d->Blocked) return d->FaceBlocked;
  return RotPot8AtDetent(d) ? d->FaceDetent : d->Face;
}

void Ellipse(HDC dc, const RECT& r, COLORREF pen, COLORREF brush) {
  HPEN p = CreatePen(PS_SOLID, 1, pen);
  HBRUSH b = CreateSolidBrush(brush);
  HGDIOBJ op = SelectObject(dc, p), ob = SelectObject(dc, b);
  ::Ellipse(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(p);
  DeleteObject(b);
}

void PaintPointer(HDC m, const RotPot8Data* d) {
  const int n = d->Diameter;
  const RECT face = d->Look3D ? RectInset(RECT{0, 0, n, n}, 2) : RECT{0, 0, n, n};
  Ellipse(m, face, FaceColor(d), FaceColor(d));
  int32_t x, y;
  RotPot8PointerEnd(d, &x, &y);
  CtlLine(m, n / 2, n / 2, x, y, d->Blocked ? d->PointerBlocked : d->Pointer);
}

void PaintBody(HDC m, const RotPot8Data* d) {
  const int n = d->Diameter;
  const RECT all{0, 0, n, n};
  CtlFill(m, all, d->Background);
  if (d->CrossOn) {
    CtlLine(m, 0, 0, n, n, d->Cross);
    CtlLine(m, n - 1, 0, -1, n, d->Cross);
  }
  if (d->Look3D) {
    Ellipse(m, all, d->Blocked ? d->OutlineBlocked : d->Outline, d->Shadow);
    // The upper-left half lit, the lower-right half in shadow; the face
    // (inset 2) comes with the pointer.
    const RECT in = RectInset(all, 1);
    for (int half = 0; half < 2; ++half) {
      const COLORREF c = half ? d->Shadow : d->Highlight;
      HPEN p = CreatePen(PS_SOLID, 1, c);
      HBRUSH b = CreateSolidBrush(c);
      HGDIOBJ op = SelectObject(m, p), ob = SelectObject(m, b);
      if (half) Chord(m, in.left, in.top, in.right, in.bottom, in.left, in.bottom, in.right, in.top);
      else Chord(m, in.left, in.top, in.right, in.bottom, in.right, in.top, in.left, in.bottom);
      SelectObject(m, op);
      SelectObject(m, ob);
      DeleteObject(p);
      DeleteObject(b);
    }
  } else {
    Ellipse(m, all, d->Face, d->Face);
  }
  PaintPointer(m, d);
}

void Draw(HDC dc, RotPot8Data* d, bool all) {
  CtlBuffer buf(dc, d->Diameter, d->Diameter);
  // The pointer alone goes over what the window shows.
  if (!all) BitBlt(buf.Dc(), 0, 0, d->Diameter, d->Diameter, dc, 0, 0, SRCCOPY);
  if (all) PaintBody(buf.Dc(), d);
  else PaintPointer(buf.Dc(), d);
  buf.CopyTo(dc);
}

void SetValue(HWND wnd, RotPot8Data* d, int32_t v) {
  d->Value = std::clamp(v, 0, d->Maximum);
  RotPot8DrawPointer(d);
  CtlNotify(wnd, WMU_CTL_ROTMOVE);
}

void EndDrag(HWND wnd) {
  if (!g_drag) return;
  g_drag = false;
  ReleaseCapture();
  CtlNotify(wnd, WMU_CTL_ROTDONE);
}

}  // namespace

void RotPot8DrawPointer(RotPot8Data* d) {
  if (!d->Wnd) return;
  HDC dc = GetDC(d->Wnd);
  Draw(dc, d, false);
  ReleaseDC(d->Wnd, dc);
}

LRESULT CALLBACK RotPot8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  RotPot8Data* d = CtlData<RotPot8Data>(wnd);
  switch (msg) {
    case WM_CREATE:
      CtlAttach<RotPot8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      if (GetCapture() == wnd) g_drag = false;
      CtlDetach<RotPot8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (!d) return 0;
      SetCapture(wnd);
      g_drag = true;
      [[fallthrough]];
    case WM_MOUSEMOVE:
      if (!d || !g_drag) return 0;
      g_remembered = d->Value;
      SetValue(wnd, d, RotPot8PointToValue(short(LOWORD(lParam)), short(HIWORD(lParam)), d->Diameter, d->Maximum));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      EndDrag(wnd);
      return 0;
    case WM_LBUTTONDBLCLK: {
      if (!d) return 0;
      EndDrag(wnd);
      d->Value = g_remembered;
      RotPot8DrawPointer(d);
      char text[32];
      std::snprintf(text, sizeof text, "%d", int(d->Value - d->Maximum / 2));
      if (CtlAskValue(wnd, text)) {
        d->Value = std::clamp(TextToNumber(ElemModule().ValueText, 1) + d->Maximum / 2, 0, d->Maximum);
        RotPot8DrawPointer(d);
      }
      CtlNotify(wnd, WMU_CTL_ROTMOVE);
      CtlNotify(wnd, WMU_CTL_ROTDONE);
      return 0;
    }
    case WM_MOUSEWHEEL:
      if (d) SetValue(wnd, d, d->Value + WheelStep(short(HIWORD(wParam)), LOWORD(wParam) == MK_SHIFT));
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) Draw(dc, d, true);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}
