// The crossfade dialog's preview window (class XFDisp_WC, control 709 of
// CROSSFADE): the overlap of the pair from left to right with the two
// waveforms, the fade lines and, with link None, handles that the mouse
// drags. It works on the XfadeDlg of its parent dialog.
#pragma once

#include <windows.h>

// Loads the waveforms for the current view and width; returns 1 when they
// are available (or none are asked for), 0 when the view must fall back to
// None.
enum : UINT { kXfdLoadWavesMsg = 3024 };

LRESULT CALLBACK XFDispWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Registers XFDisp_WC: class style 0, the arrow cursor, no background brush,
// no extra bytes. TRUE when registered now or already; a registration of
// the name with another window procedure is replaced.
BOOL RegisterXfadeDisplayClass(HINSTANCE instance);
