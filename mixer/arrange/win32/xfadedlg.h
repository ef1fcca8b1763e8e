// The crossfade dialog CROSSFADE on the Windows side: its procedure drives
// an XfadeDlg (xfade.h) from the dialog's controls, shows the pair in its
// preview window (xfdisp.h) and runs the auditions with their progress bar.
#pragma once

#include <windows.h>

// Control ids of CROSSFADE.
enum : int {
  kXfOutCurve0 = 700,  // 700..707 fade-out curve buttons
  kXfOutName = 708,
  kXfPreview = 709,
  kXfInCurve0 = 710,   // 710..717 fade-in curve buttons
  kXfInName = 718,
  kXfAudition0 = 719,  // 719..723
  kXfProgress = 160,
  kXfLengthTc = 731,
  kXfLengthBbt = 732,
};

// The init parameter is the first Part of the pair, or -1 for the defaults.
// OK ends the dialog with 1 (the defaults stored when it had no Part),
// Cancel with 0.
INT_PTR CALLBACK CrossfadeDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// The working state of an open CROSSFADE dialog; null for any other window.
class XfadeDlg;
XfadeDlg* CrossfadeDlgState(HWND dlg);
