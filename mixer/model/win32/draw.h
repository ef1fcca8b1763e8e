// Drawing helpers, colours and the program's fonts. Every helper that draws
// lines makes its own solid pen of width 1 and puts the DC's previous pen
// back.
#pragma once

#include <windows.h>

// Colour b along the bottom and right side, colour a along the top and left
// side: a raised frame with a light a and a dark b.
void Draw3dFrame(HDC dc, COLORREF a, COLORREF b, int left, int top, int right, int bottom);

// Each side in its own colour: colours[0] left, [1] top, [2] right, [3] bottom.
void Draw3dFrame4(HDC dc, const COLORREF colours[4], int left, int top, int right, int bottom);

// The line in colour1 and the same line one pixel to the right in colour2.
void DrawDoubleLine(HDC dc, COLORREF colour1, COLORREF colour2, int x1, int y1, int x2, int y2);

void DrawLine(HDC dc, COLORREF colour, int x1, int y1, int x2, int y2);

// A small triangle pointing down: rows of 7, 5, 3 and 1 pixels from y - 1 to
// y + 2, centred on x.
void DrawArrowDown(HDC dc, COLORREF colour, int x, int y);

// A 16 x 16 size grip whose top-left corner is (x, y).
void DrawGripLines(HDC dc, int x, int y);

// The text opaque and clipped in the rectangle, from its centre for
// TA_CENTER alignment, else from its left edge.
void DrawTextOpaque(HDC dc, const RECT& rect, UINT align, COLORREF text, COLORREF background,
                    HFONT font, const char* str);

// The program's shared text font for DrawTextBitmap; 0 uses the system font.
extern HFONT SharedTextFont;

// DrawTextA of the text (length as DrawTextA takes it), white on black in a
// memory bitmap of the rectangle's size, then blitted onto the rectangle
// with raster operation `rop`.
void DrawTextBitmap(HDC dc, const char* str, int length, const RECT& rect, UINT flags, DWORD rop);

// MoveToEx and LineTo with both coordinates kept within -23767..23767, where
// every GDI implementation still draws.
void ClampedMoveTo(HDC dc, int x, int y);
void ClampedLineTo(HDC dc, int x, int y);

// Each of red, green and blue becomes MulDiv(byte, num, den) + add, within
// 0..255.
COLORREF ColorScale(COLORREF colour, int num, int den, int add);

// Font `index` (0..8) of the program's table; 0 for any other index. The
// caller deletes it.
HFONT CreateAppFont(int index);

// A 32-bit top-down DIB section of width x height pixels for memory DCs
// made from `dc` (null: the screen); *bits receives its pixels, rows of
// `width` words from the top. Null when the system refuses.
HBITMAP CreateDib32(HDC dc, int width, int height, void** bits);
