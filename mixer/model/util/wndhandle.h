// A window handle as portable code passes it along, without <windows.h>.
#pragma once

// The same type as HWND.
using WndHandle = struct HWND__*;
