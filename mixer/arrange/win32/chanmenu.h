// The play-channel popup of the arrange window: entries in columns of 32,
// placed so that the current entry lies under the pointer.
#pragma once

#include <windows.h>

#include "mixer/arrange/editseams.h"

// A popup with one entry per item (command ids 1..count); each column after
// the first begins with a menu-bar break; checked items carry a check.
HMENU ArrBuildColumnMenu(const ArrMenuItem* items, int count);
// Tracks it for the window at its client point (x, y): a mouse-move (with
// the button held, 2 = the right button, else the left) and a cancel-mode
// message are posted to the window first, then the menu is tracked centred
// on the placed point. Returns the chosen index or -1.
int ArrTrackColumnMenu(HWND wnd, const ArrMenuItem* items, int count, int current, int x, int y,
                       int button);
