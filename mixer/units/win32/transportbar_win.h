// The tape-transport bar window.
#pragma once

#include <windows.h>

inline constexpr int kTransportBarHeight = 29;

// Creates the bar along the bottom of the frame's client area (it is kept
// in the window table); the bar already open when there is one.
HWND TransportBarCreate(HWND frame);
// Redraws every field and the lamps.
void TransportBarShowAll();
