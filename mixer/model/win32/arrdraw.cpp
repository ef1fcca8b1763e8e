#include "mixer/model/win32/arrdraw.h"

#include "mixer/arrange/arrview.h"
#include "mixer/model/util/fade.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLightGrey = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kDarkGrey = RGB(0x80, 0x80, 0x80);

// The curve a fade-out is drawn with: the log and exp curves (2..7) swap
// with their pair so the fade-out mirrors the fade-in.
int FadeOutCurve(int curve) { return curve >= 2 ? curve ^ 1 : curve; }

// Height of curve `curve` at column i of w, in pixels of a height h:
// floor(shape x h / 2^23); the shape is 0..2^23, so the product fits 64 bits.
int FadeCurveHeight(int curve, int i, int w, int h) {
  const int64_t shape = FadeShape(curve, i, w);
  return static_cast<int>((shape * h) >> 23);
}

struct ButtonLook {
  COLORREF frame;
  COLORREF fill;
};

ButtonLook FadeButtonLook(int pushed, int highlighted, int disabled, COLORREF colourA,
                          COLORREF colourB) {
  if (pushed) return {disabled ? kLightGrey : kWhite, highlighted ? colourA : colourB};
  const COLORREF frame = highlighted ? colourA : disabled ? kDarkGrey : kBlack;
  return {frame, disabled ? kLightGrey : kWhite};
}

}  // namespace

void DrawFadeCurve(HDC dc, const RECT& rect, int curve, int fadeOut) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (fadeOut) curve = FadeOutCurve(curve);
  MoveToEx(dc, rect.left, fadeOut ? rect.top : rect.bottom - 1, nullptr);
  for (int i = 1; i <= w; ++i) {
    const int v = FadeCurveHeight(curve, i, w, h);
    LineTo(dc, rect.left + i, fadeOut ? rect.top + v : rect.bottom - 1 - v);
  }
}

void DrawFadeShapeButton(HDC dc, const RECT& rect, int curve, int pushed, int highlighted,
                         int disabled, int fadeOut, COLORREF colourA, COLORREF colourB) {
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  if (mem == nullptr || bitmap == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    if (mem) DeleteDC(mem);
    return;
  }
  const ButtonLook look = FadeButtonLook(pushed, highlighted, disabled, colourA, colourB);
  HPEN pen = CreatePen(PS_SOLID, 1, look.frame);
  HBRUSH brush = CreateSolidBrush(look.fill);
  HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
  HGDIOBJ oldPen = SelectObject(mem, pen);
  HGDIOBJ oldBrush = SelectObject(mem, brush);

  Rectangle(mem, 0, 0, w, h);
  const RECT inside = {1, 1, w - 1, h - 1};
  DrawFadeCurve(mem, inside, curve, fadeOut);
  BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);

  SelectObject(mem, oldBrush);
  SelectObject(mem, oldPen);
  SelectObject(mem, oldBitmap);
  DeleteObject(brush);
  DeleteObject(pen);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

BOOL BlitResBitmap(HDC dc, const RECT& rect, const char* name) {
  HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), name);
  if (bitmap == nullptr) return FALSE;
  HDC mem = CreateCompatibleDC(dc);
  BOOL done = FALSE;
  if (mem) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    done = BitBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, mem, 0, 0,
                  SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  DeleteObject(bitmap);
  return done;
}

void ArrPartToRect(int32_t track, const PartRec& part, RECT* out) {
  const ArrViewRec& view = ArrView();
  const ArrRectView geometry = {view.Origin, view.Hzoom, view.FirstTrack, view.Vzoom, view.TopHeight};
  const ArrRectPx r = ArrPartToRectCalc(track, part, geometry);
  *out = {r.Left, r.Top, r.Right, r.Bottom};
}
