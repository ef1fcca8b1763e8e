// Windows side of the ini layer: window records taken from live windows.
// The store over the profile functions is the utilities' (profile_win.h).
#pragma once

#include <cstdint>

#include "mixer/model/host.h"
#include "mixer/model/util/win32/profile_win.h"

// With a window: "1 x y width height show" from its normal-position
// rectangle and show command (GetWindowPlacement). With nullptr: the stored
// record marked hidden (WriteIniWindowRecord).
void WriteIniWindowPos(const char* file, uint32_t section, uint32_t key, WndHandle wnd);
