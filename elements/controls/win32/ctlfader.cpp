// VFader8 and HFader8: a cap on a slotted travel. One implementation over
// an axis: "along" is down for the vertical fader and right for the
// horizontal one. The faders know only pixels; owners map them to values.
#include <algorithm>

#include "elements/controls/win32/ctlwin.h"
#include "elements/win32/elemwin.h"

namespace {

// The drag in progress of each class: 0 none, 1 left, 2 right.
int g_drag[2] = {0, 0};

struct Axis {
  bool Horizontal;
  int Along(const Fader8Data* d) const { return Horizontal ? d->Width : d->Height; }
  int Across(const Fader8Data* d) const { return Horizontal ? d->Height : d->Width; }
  // A rectangle given along/across, turned into client coordinates.
  RECT Rect(int a0, int c0, int a1, int c1) const { return Horizontal ? RECT{a0, c0, a1, c1} : RECT{c0, a0, c1, a1}; }
  void Line(HDC dc, int a0, int c0, int a1, int c1, COLORREF col) const {
    if (Horizontal) CtlLine(dc, a0, c0, a1, c1, col);
    else CtlLine(dc, c0, a0, c1, a1, col);
  }
};

COLORREF Pick(const Fader8Data* d, COLORREF normal, COLORREF blocked) { return d->Blocked ? blocked : normal; }

void PaintAll(const Axis& ax, HDC m, const Fader8Data* d) {
  const int len = ax.Along(d), wid = ax.Across(d), cap = d->CapLen;
  CtlFill(m, ax.Rect(0, 0, len, wid), Pick(d, d->SlotBackground, d->SlotBackgroundBlocked));
  if (d->SlotFrameOn)
    ElemDrawFrame3D(m, d->SlotLeft, d->SlotTop, d->SlotRight, d->SlotBottom,
                    ax.Rect(cap / 2, wid / 2 - 2, len - cap / 2, wid / 2 + 2));
  const COLORREF slot = Pick(d, d->Slot, d->SlotBlocked);
  ax.Line(m, cap / 2 + 1, wid / 2 - 1, len - cap / 2 - 1, wid / 2 - 1, slot);
  ax.Line(m, cap / 2 + 1, wid / 2, len - cap / 2 - 1, wid / 2, slot);
  for (int i = 0; d->Marks > 1 && i < d->Marks; ++i) {
    const int a = (len - cap) * i / (d->Marks - 1) + cap / 2;
    ax.Line(m, a, 2, a, wid / 2 - 4, d->MarkColor);
    ax.Line(m, a, wid / 2 + 4, a, wid - 2, d->MarkColor);
  }
  // The cap.
  const int p = d->Pos;
  const RECT capRect = ax.Rect(p, 0, p + cap, wid);
  const COLORREF line = Pick(d, d->CapLine, d->CapLineBlocked);
  if (d->CapFrameOn) {
    HPEN pen = CreatePen(PS_SOLID, 1, Pick(d, d->CapOutline, d->CapOutlineBlocked));
    HBRUSH brush = CreateSolidBrush(Pick(d, d->CapBackground, d->CapBackgroundBlocked));
    HGDIOBJ op = SelectObject(m, pen), ob = SelectObject(m, brush);
    Rectangle(m, capRect.left, capRect.top, capRect.right, capRect.bottom);
    SelectObject(m, op);
    SelectObject(m, ob);
    DeleteObject(pen);
    DeleteObject(brush);
    ElemDrawFrame3D(m, d->CapOuterLeft, d->CapOuterTop, d->CapOuterRight, d->CapOuterBottom, RectInset(capRect, 1));
    ElemDrawFrame3D(m, d->CapInnerLeft, d->CapInnerTop, d->CapInnerRight, d->CapInnerBottom, RectInset(capRect, 2));
    ax.Line(m, p + cap / 2, 3, p + cap / 2, wid - 3, line);
  } else {
    CtlFill(m, capRect, Pick(d, d->CapBackground, d->CapBackgroundBlocked));
    ax.Line(m, p + cap / 2, 0, p + cap / 2, wid, line);
  }
}

void Paint(const Axis& ax, HDC dc, const Fader8Data* d, const RECT* strip) {
  CtlBuffer buf(dc, d->Width, d->Height);
  PaintAll(ax, buf.Dc(), d);
  if (strip) buf.CopyPart(dc, *strip);
  else buf.CopyTo(dc);
}

void SetPos(const Axis& ax, int pos, Fader8Data* d) {
  if (!d->Wnd) {
    d->Pos = pos;
    return;
  }
  const int old = d->Pos;
  d->Pos = FaderClampPos(pos, ax.Along(d), d->CapLen);
  if (d->Pos == old) return;
  // Only the strip the cap left and entered.
  const int lo = std::min(old, d->Pos), hi = std::max(old, d->Pos) + d->CapLen;
  const RECT strip = ax.Rect(lo, 0, hi, ax.Across(d));
  HDC dc = GetDC(d->Wnd);
  Paint(ax, dc, d, &strip);
  ReleaseDC(d->Wnd, dc);
}

LRESULT FaderProc(const Axis& ax, HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Fader8Data* d = CtlData<Fader8Data>(wnd);
  int& drag = g_drag[ax.Horizontal ? 1 : 0];
  const int mouse = ax.Horizontal ? short(LOWORD(lParam)) : short(HIWORD(lParam));
  switch (msg) {
    case WM_CREATE:
      CtlAttach<Fader8Data>(wnd, lParam);
      return 0;
    case WM_DESTROY:
      if (GetCapture() == wnd) drag = 0;
      CtlDetach<Fader8Data>(wnd);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
      if (!d) return 0;
      SetCapture(wnd);
      CtlNotify(wnd, msg == WM_LBUTTONDOWN ? WMU_CTL_DRAG_LBUTTONDOWN : WMU_CTL_DRAG_RBUTTONDOWN);
      drag = msg == WM_LBUTTONDOWN ? 1 : 2;
      [[fallthrough]];
    case WM_MOUSEMOVE:
      if (!d || !drag) return 0;
      SetPos(ax, FaderClampPos(mouse - d->CapLen / 2, ax.Along(d), d->CapLen), d);
      CtlNotify(wnd, WMU_CTL_DRAGMOVE);
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_CANCELMODE:
      if (!drag) return 0;
      ReleaseCapture();
      CtlNotify(wnd, msg == WM_RBUTTONUP ? WMU_CTL_DRAG_RBUTTONUP : WMU_CTL_DRAG_LBUTTONUP);
      drag = 0;
      CtlNotify(wnd, WMU_CTL_DRAGEND);
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      CtlNotify(wnd, WMU_CTL_DRAG_DBLCLK);
      return 0;
    case WM_MOUSEWHEEL: {
      if (!d) return 0;
      const int step = WheelStep(short(HIWORD(wParam)), LOWORD(wParam) == MK_SHIFT);
      // Up for the vertical fader is towards 0; right for the horizontal.
      SetPos(ax, FaderClampPos(d->Pos + (ax.Horizontal ? step : -step), ax.Along(d), d->CapLen), d);
      CtlNotify(wnd, WMU_CTL_DRAGMOVE);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      if (d) Paint(ax, dc, d, nullptr);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

void VFader8SetPos(int pos, Fader8Data* d) { SetPos(Axis{false}, pos, d); }
void HFader8SetPos(int pos, Fader8Data* d) { SetPos(Axis{true}, pos, d); }

LRESULT CALLBACK VFader8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return FaderProc(Axis{false}, wnd, msg, wParam, lParam);
}
LRESULT CALLBACK HFader8Proc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return FaderProc(Axis{true}, wnd, msg, wParam, lParam);
}
