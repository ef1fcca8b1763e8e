// Drawing of the arrangement's pieces: fade curves, fade-shape buttons,
// bitmap resources, and where a Part lies in the arrange Part area.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/model/arr.h"

// One line per pixel column from the rectangle's left edge across its
// width, with the DC's current pen: a fade-in rises from the bottom row to
// the top, a fade-out falls from the top row to the bottom. For a fade-out,
// curves 2..7 are drawn with their pair (2 with 3, 4 with 5, 6 with 7), so
// a fade-out mirrors the fade-in of the same curve.
void DrawFadeCurve(HDC dc, const RECT& rect, int curve, int fadeOut);

// A fade-shape button of the rectangle's size, painted off screen and copied
// to the DC's top-left corner: a frame with its fill, and the curve in the
// frame's pen one pixel inside it. Pushed: white frame (light grey when
// disabled) filled with colourA when highlighted, else colourB. Not pushed:
// frame in colourA when highlighted, else dark grey when disabled, else
// black; filled light grey when disabled, else white.
void DrawFadeShapeButton(HDC dc, const RECT& rect, int curve, int pushed, int highlighted,
                         int disabled, int fadeOut, COLORREF colourA, COLORREF colourB);

// Copies the program's bitmap resource `name` into the rectangle, from the
// bitmap's top-left corner; FALSE when there is no such bitmap.
BOOL BlitResBitmap(HDC dc, const RECT& rect, const char* name);

// The rectangle of a Part of `track` in the arrange Part area, by the
// current arrange view.
void ArrPartToRect(int32_t track, const PartRec& part, RECT* out);
