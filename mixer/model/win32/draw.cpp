#include "draw.h"

#include <algorithm>
#include <cstring>
#include <iterator>

HFONT SharedTextFont = nullptr;

namespace {

// Selects a new solid pen for its lifetime.
class PenScope {
 public:
  PenScope(HDC dc, COLORREF colour)
      : dc_(dc), pen_(CreatePen(PS_SOLID, 1, colour)), old_(SelectObject(dc, pen_)) {}
  ~PenScope() {
    SelectObject(dc_, old_);
    DeleteObject(pen_);
  }
  PenScope(const PenScope&) = delete;
  PenScope& operator=(const PenScope&) = delete;

 private:
  HDC dc_;
  HPEN pen_;
  HGDIOBJ old_;
};

void Segment(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

}  // namespace

void Draw3dFrame(HDC dc, COLORREF a, COLORREF b, int left, int top, int right, int bottom) {
  {
    PenScope pen(dc, b);
    MoveToEx(dc, left, bottom, nullptr);
    LineTo(dc, right, bottom);
    LineTo(dc, right, top);
  }
  PenScope pen(dc, a);
  LineTo(dc, left, top);
  LineTo(dc, left, bottom);
}

void Draw3dFrame4(HDC dc, const COLORREF colours[4], int left, int top, int right, int bottom) {
  DrawLine(dc, colours[0], left, top, left, bottom);
  DrawLine(dc, colours[1], left, top, right, top);
  DrawLine(dc, colours[2], right, top, right, bottom);
  DrawLine(dc, colours[3], left, bottom, right, bottom);
}

void DrawDoubleLine(HDC dc, COLORREF colour1, COLORREF colour2, int x1, int y1, int x2, int y2) {
  DrawLine(dc, colour1, x1, y1, x2, y2);
  DrawLine(dc, colour2, x1 + 1, y1, x2 + 1, y2);
}

void DrawLine(HDC dc, COLORREF colour, int x1, int y1, int x2, int y2) {
  PenScope pen(dc, colour);
  Segment(dc, x1, y1, x2, y2);
}

void DrawArrowDown(HDC dc, COLORREF colour, int x, int y) {
  PenScope pen(dc, colour);
  // LineTo leaves out its end point, so each row ends one pixel further.
  for (int row = 0; row < 4; ++row) {
    int half = 3 - row;
    Segment(dc, x - half, y - 1 + row, x + half + 1, y - 1 + row);
  }
}

void DrawGripLines(HDC dc, int x, int y) {
  // Four ridges from the bottom edge to the right edge, each a highlight
  // line followed by two shadow lines.
  const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
  const COLORREF dark = GetSysColor(COLOR_BTNSHADOW);
  for (int start = 1; start < 16; start += 4) {
    DrawLine(dc, light, x + start, y + 15, x + 16, y + start - 1);
    DrawLine(dc, dark, x + start + 1, y + 15, x + 16, y + start);
    DrawLine(dc, dark, x + start + 2, y + 15, x + 16, y + start + 1);
  }
}

void DrawTextOpaque(HDC dc, const RECT& rect, UINT align, COLORREF text, COLORREF background,
                    HFONT font, const char* str) {
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SetTextAlign(dc, align);
  SetTextColor(dc, text);
  SetBkColor(dc, background);
  int x = (align & TA_CENTER) == TA_CENTER ? (rect.left + rect.right) / 2 : rect.left;
  UINT length = str ? static_cast<UINT>(std::strlen(str)) : 0;
  ExtTextOutA(dc, x, rect.top, ETO_OPAQUE | ETO_CLIPPED, &rect, str ? str : "", length, nullptr);
  if (old) SelectObject(dc, old);
}

void DrawTextBitmap(HDC dc, const char* str, int length, const RECT& rect, UINT flags, DWORD rop) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0 || !str) return;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  HGDIOBJ oldBitmap = SelectObject(mem, bitmap);
  HGDIOBJ oldFont = SelectObject(mem, SharedTextFont ? SharedTextFont : GetStockObject(SYSTEM_FONT));
  PatBlt(mem, 0, 0, width, height, BLACKNESS);
  SetTextColor(mem, RGB(255, 255, 255));
  SetBkColor(mem, RGB(0, 0, 0));
  SetBkMode(mem, OPAQUE);
  RECT local = {0, 0, width, height};
  DrawTextA(mem, str, length, &local, flags);
  BitBlt(dc, rect.left, rect.top, width, height, mem, 0, 0, rop);
  SelectObject(mem, oldFont);
  SelectObject(mem, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(mem);
}

static int ClampCoord(int v) { return std::clamp(v, -23767, 23767); }

void ClampedMoveTo(HDC dc, int x, int y) { MoveToEx(dc, ClampCoord(x), ClampCoord(y), nullptr); }

void ClampedLineTo(HDC dc, int x, int y) { LineTo(dc, ClampCoord(x), ClampCoord(y)); }

static int ScaleByte(int byte, int num, int den, int add) {
  // MulDiv gives -1 for a zero divisor or an overflow; the clamp turns that
  // into a dark channel like any other result below 0.
  long long v = static_cast<long long>(MulDiv(byte, num, den)) + add;
  return static_cast<int>(std::clamp<long long>(v, 0, 255));
}

COLORREF ColorScale(COLORREF colour, int num, int den, int add) {
  return RGB(ScaleByte(GetRValue(colour), num, den, add), ScaleByte(GetGValue(colour), num, den, add),
             ScaleByte(GetBValue(colour), num, den, add));
}

namespace {

struct AppFontSpec {
  int height, width, weight;
  const char* face;
  BYTE pitchAndFamily;
  BYTE outPrecision;
};

constexpr AppFontSpec kAppFonts[] = {
    {8, 4, 200, "Small", 0x22, OUT_DEFAULT_PRECIS},
    {10, 4, 200, "Small", 0x22, OUT_DEFAULT_PRECIS},
    {10, 5, 200, "Modern", 0x22, OUT_TT_ONLY_PRECIS},
    {11, 5, 400, "Modern", 0x22, OUT_DEFAULT_PRECIS},
    {14, 6, 400, "Helv", 0x20, OUT_DEFAULT_PRECIS},
    {12, 0, 400, "Small Fonts", 0x20, OUT_DEFAULT_PRECIS},
    {14, 6, 700, "Helv", 0x20, OUT_DEFAULT_PRECIS},
    {14, 7, 400, "Tms Rmn", 0x31, OUT_DEFAULT_PRECIS},
    {15, 0, 400, "Arial", 0x22, OUT_DEFAULT_PRECIS},
};
static_assert(OUT_TT_ONLY_PRECIS == 7);

}  // namespace

HFONT CreateAppFont(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kAppFonts))) return nullptr;
  const AppFontSpec& f = kAppFonts[index];
  return CreateFontA(f.height, f.width, 0, 0, f.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     f.outPrecision, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, f.pitchAndFamily, f.face);
}

HBITMAP CreateDib32(HDC dc, int width, int height, void** bits) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  *bits = nullptr;
  return CreateDIBSection(dc, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}
