// How model code reaches the user: message boxes built from string ids, and
// questions answered by the button pressed. The program links the Win32
// implementation (win32/msgbox.cpp); tests link the recording fake
// (tests/fakes/host_fake.cpp) with scripted answers.
#pragma once

#include <cstdint>

#include "mixer/model/util/wndhandle.h"

// Flag words of the program's boxes (MessageBox flags).
enum : uint32_t {
  kMbOk = 0x0,
  kMbWarnOk = 0x30,           // exclamation icon, OK
  kMbAskYesNoCancel = 0x123,  // question icon, Yes/No/Cancel, No is the default
  kMbAskYesNo = 0x124,        // question icon, Yes/No, No is the default
  kMbAskYesNoYes = 0x24,      // question icon, Yes/No, Yes is the default
  kMbWarnYesNo = 0x134,       // exclamation icon, Yes/No, No is the default
};

// Buttons a box returns.
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Shows string `id` (a printf-style format, at most 255 characters) formatted
// with the arguments; returns the button pressed.
int MessageBoxById(WndHandle owner, uint32_t id, uint32_t flags, ...);

// The same with the format text itself.
int MessageBoxText(WndHandle owner, const char* format, uint32_t flags, ...);
