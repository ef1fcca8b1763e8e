// Modal dialogs run with the program's windows disabled around them, their
// placement, and the colour and font pickers.
#pragma once

#include <windows.h>

#include <cstdint>

// DialogBoxParamA of template `name` from the program's resources, with the
// modal count raised and the program's windows disabled around it; returns
// the dialog's result.
INT_PTR DoDialog(HWND owner, const char* name, DLGPROC proc);
INT_PTR DoDialogParam(HWND owner, const char* name, DLGPROC proc, LPARAM param);

// For plain dialogs: centred over the main window, remembered as the open
// dialog while it exists, ended by OK or Cancel with that id.
INT_PTR CALLBACK SimpleDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// The plain dialog open right now (SimpleDlgProc), 0 when none.
HWND OpenDialog();

// Dialog ABOUT: items 948-951 and 952-955 hold the two texts of units 1 to
// 4, "-" for an absent unit. OK ends it with 1.
INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
enum : int { kAboutFirstText = 948, kAboutSecondText = 952 };

void CenterOnScreen(HWND wnd);
// Hands on up to `count` waiting messages of this thread (the main window's
// accelerators first), so that a long operation inside a dialog keeps the
// program responsive and its Cancel button working.
void PumpWaitingMessages(int count);

// Centres `wnd` over `reference` (over the screen when there is none), then
// moves it back onto the screen: left and top at least 0, right and bottom
// at most the screen size.
void CenterOverWindow(HWND reference, HWND wnd);

// The colour chooser, fully open, with the program's 16 custom colours kept
// between calls; returns the chosen colour or else `initial`.
COLORREF PickColor(HWND owner, COLORREF initial);

// The font chooser started from `font`; returns the chosen font, or `font`
// when none was chosen. *colour is the effects colour in and, when a font
// was chosen, out.
LOGFONTA PickFont(HWND owner, const LOGFONTA& font, COLORREF* colour);
