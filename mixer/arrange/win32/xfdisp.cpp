#include "xfdisp.h"

#include <algorithm>
#include <new>

#include "mixer/arrange/win32/xfadedlg.h"
#include "mixer/arrange/xfade.h"
#include "mixer/model/arr.h"
#include "mixer/model/win32/arrdraw.h"

namespace {

constexpr char kClass[] = "XFDisp_WC";
constexpr char kProp[] = "HrlXfDisp";
constexpr COLORREF kFirstWave = 0xA54632;
constexpr COLORREF kSecondWave = 0x808000;
constexpr COLORREF kInLine = 0xA0A020;
constexpr COLORREF kOutLine = 0xC56652;

struct Display {
  XfadeWaves waves;
  int dragSide = -1;
  int dragEnd = 0;
};

Display* DisplayOf(HWND wnd) { return static_cast<Display*>(GetPropA(wnd, kProp)); }
XfadeDlg* DialogOf(HWND wnd) { return CrossfadeDlgState(GetParent(wnd)); }

bool Inverted(const XfadeDlg& d, int second) {
  if (d.First() < 0) return false;
  const PartRec* f = ArrPart(CurArr, static_cast<uint32_t>(d.First()));
  if (f == nullptr) return false;
  const PartRec* p = second ? ArrPart(CurArr, f->XfadeOutPartner) : f;
  return p != nullptr && (p->Flags & kPartPhaseInvert) != 0;
}

// One vertical line per column from its maximum to its minimum, scaled to
// the half-height about the centre line.
void DrawWave(HDC dc, const std::vector<int16_t>& points, int centre, int half, bool inverted,
              COLORREF colour) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  const int sign = inverted ? -1 : 1;
  for (size_t i = 0; i + 1 < points.size(); i += 2) {
    const int x = static_cast<int>(i / 2);
    const int top = centre - sign * points[i] * half / 32768;
    const int bottom = centre - sign * points[i + 1] * half / 32768;
    MoveToEx(dc, x, std::min(top, bottom), nullptr);
    LineTo(dc, x, std::max(top, bottom) + 1);
  }
  SelectObject(dc, old);
  DeleteObject(pen);
}

void Cross(HDC dc, int x, int y, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  const RECT a = {x - 2, y - 3, x + 2, y + 3}, b = {x - 3, y - 2, x + 3, y + 2};
  FillRect(dc, &a, brush);
  FillRect(dc, &b, brush);
  DeleteObject(brush);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

void PaintInto(HDC dc, const XfadeDlg* d, Display& s, int w, int h) {
  const RECT all = {0, 0, w, h};
  FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
  if (d == nullptr) return;
  const XfadeSettings& v = d->Values();
  XfadeWaves waves = s.waves;
  if (v.View == kXfViewSeparateFaded || v.View == kXfViewOverlaid) XfadeFadeWaves(v, w, &waves);
  if (v.View == kXfViewOverlaid) {
    DrawWave(dc, waves.First, h / 2, h / 2 - 3, Inverted(*d, 0), kFirstWave);
    DrawWave(dc, waves.Second, h / 2, h / 2 - 3, Inverted(*d, 1), kSecondWave);
  } else if (v.View != kXfViewNone) {
    DrawWave(dc, waves.First, h / 4 - 3, h / 4 - 3, Inverted(*d, 0), kFirstWave);
    DrawWave(dc, waves.Second, 3 * h / 4 - 3, h / 4 - 3, Inverted(*d, 1), kSecondWave);
  }
  const int top = 3, bottom = h - 3;
  const int inS = XfadeHandleX(w, v.InStart), inE = XfadeHandleX(w, v.InEnd);
  const int outS = XfadeHandleX(w, v.OutStart), outE = XfadeHandleX(w, v.OutEnd);
  HPEN inPen = CreatePen(PS_SOLID, 2, kInLine), outPen = CreatePen(PS_SOLID, 2, kOutLine);
  HGDIOBJ old = SelectObject(dc, inPen);
  Line(dc, 0, bottom, inS, bottom);
  const RECT inBox = {inS, 3, std::max(inS + 1, inE), h - 2};
  DrawFadeCurve(dc, inBox, v.InCurve, 0);
  Line(dc, inE, top, w, top);
  SelectObject(dc, outPen);
  Line(dc, 0, top, outS, top);
  const RECT outBox = {outS, 3, std::max(outS + 1, outE), h - 2};
  DrawFadeCurve(dc, outBox, v.OutCurve, 1);
  Line(dc, outE, bottom, w, bottom);
  SelectObject(dc, old);
  DeleteObject(inPen);
  DeleteObject(outPen);
  if (v.Link == kXfLinkNone) {
    Cross(dc, outS, top, kOutLine);
    Cross(dc, outE, bottom, kOutLine);
    Cross(dc, inS, bottom, kInLine);
    Cross(dc, inE, top, kInLine);
  }
}

void Paint(HWND wnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(wnd, &ps);
  RECT rc;
  GetClientRect(wnd, &rc);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1));
  if (mem != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    if (Display* s = DisplayOf(wnd)) PaintInto(mem, DialogOf(wnd), *s, rc.right, rc.bottom);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  if (mem != nullptr) DeleteDC(mem);
  EndPaint(wnd, &ps);
}

void EndDrag(HWND wnd, Display& s) {
  if (s.dragSide < 0) return;
  s.dragSide = -1;
  if (XfadeDlg* d = DialogOf(wnd)) d->ReleaseHandles();
  InvalidateRect(wnd, nullptr, FALSE);
}

}  // namespace

LRESULT CALLBACK XFDispWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Display* s = DisplayOf(wnd);
  switch (msg) {
    case WM_CREATE:
      s = new (std::nothrow) Display;
      if (s == nullptr) return -1;
      SetPropA(wnd, kProp, s);
      return 0;
    case kXfdLoadWavesMsg: {
      XfadeDlg* d = DialogOf(wnd);
      if (s == nullptr || d == nullptr) return 1;
      RECT rc;
      GetClientRect(wnd, &rc);
      const int ok = XfadeLoadWaves(*d, rc.right, &s->waves);
      InvalidateRect(wnd, nullptr, FALSE);
      return ok;
    }
    case WM_PAINT: Paint(wnd); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN: {
      XfadeDlg* d = DialogOf(wnd);
      if (s == nullptr || d == nullptr || d->Values().Link != kXfLinkNone) return 0;
      RECT rc;
      GetClientRect(wnd, &rc);
      int side = 0, end = 0;
      const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
      if (XfadeHandleAt(d->Values(), rc.right, rc.bottom, x, y, &side, &end)) {
        s->dragSide = side;
        s->dragEnd = end;
        SetCapture(wnd);
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      XfadeDlg* d = DialogOf(wnd);
      if (s == nullptr || d == nullptr || s->dragSide < 0) return 0;
      RECT rc;
      GetClientRect(wnd, &rc);
      d->DragHandle(s->dragSide, s->dragEnd, XfadeFractionAt(rc.right, static_cast<short>(LOWORD(lParam))));
      InvalidateRect(wnd, nullptr, FALSE);
      return 0;
    }
    case WM_LBUTTONUP:
      if (s != nullptr && s->dragSide >= 0) {
        EndDrag(wnd, *s);
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (s != nullptr) EndDrag(wnd, *s);
      return 0;
    case WM_DESTROY:
      RemovePropA(wnd, kProp);
      delete s;
      return 0;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

BOOL RegisterXfadeDisplayClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, kClass, &wc)) {
    if (wc.lpfnWndProc == XFDispWndProc) return TRUE;
    // A stand-in registration of the class name (with no window of it
    // open) gives way to the real one.
    if (!UnregisterClassA(kClass, instance)) return FALSE;
    wc = WNDCLASSA{};
  }
  wc.style = 0;
  wc.lpfnWndProc = XFDispWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kClass;
  return RegisterClassA(&wc) != 0;
}
