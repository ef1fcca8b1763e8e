// The arrange window's rulers and grids as the other windows use them: the
// grid of the current zoom, the ruler bands, the grid lines over the rows
// and grid ticks inside a band of a window laid out like the Part area.
#pragma once

#include <windows.h>

#include "mixer/arrange/arrzoom.h"
#include "mixer/model/marker.h"

// The musical and the time-code grid of the current zoom.
ArrGridRec ArrBbtGrid();
ArrGridRec ArrTcGrid();
// The ruler band at the top of the Part area; with showPunch the punch
// range is hatched.
void ArrDrawBbtRuler(HDC dc, const ArrGridRec& g, int showPunch);
void ArrDrawTcRuler(HDC dc, const ArrGridRec& g, int showPunch);
// Vertical grid lines over the rows and the row separators.
void ArrDrawBbtGrid(HDC dc, const ArrGridRec& g);
void ArrDrawTcGrid(HDC dc, const ArrGridRec& g);
// The ruler's ticks inside `band` (x = band.left + the Part area's pixel
// column): labelled ticks over the whole band, the others over its lower
// half.
void ArrDrawBbtTicks(HDC dc, const ArrGridRec& g, const RECT& band);
void ArrDrawTcTicks(HDC dc, const ArrGridRec& g, const RECT& band);
// The marker strip below the ruler: each marker's flag, number and name;
// with drawLocators the locators' lines inverted over it.
void ArrDrawMarkerStrip(HDC dc, const MrkList* markers, int drawLocators);
