// Windows side of the ini layer: the profile functions as the store, and
// window records taken from live windows.
#pragma once

#include <cstdint>

#include "mixer/model/host.h"
#include "mixer/model/profile.h"

// The store over GetPrivateProfileStringA and WritePrivateProfileStringA;
// the program installs it with SetProfile at start-up.
Profile& WindowsProfile();

// With a window: "1 x y width height show" from its normal-position
// rectangle and show command (GetWindowPlacement). With nullptr: the stored
// record marked hidden (WriteIniWindowRecord).
void WriteIniWindowPos(const char* file, uint32_t section, uint32_t key, WndHandle wnd);
