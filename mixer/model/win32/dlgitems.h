// Positions written into dialog items as time code or bars.beats.ticks.
#pragma once

#include <windows.h>

#include "mixer/model/musical.h"
#include "mixer/model/timecode.h"

// "hh:mm:ss:ff.ssss" (sub-frame samples), or "hh:mm:ss" with `shortForm`.
BOOL SetDlgItemTimeCode(HWND dlg, int item, const TcRec& tc, int shortForm);

// "bbbb.bb.ttt", each field right-aligned in spaces.
BOOL SetDlgItemBbt(HWND dlg, int item, const BbtRec& bbt);

// The placeholder shown instead of bars.beats.ticks while a tempo map is in
// use.
BOOL SetDlgItemNoBbt(HWND dlg, int item);
