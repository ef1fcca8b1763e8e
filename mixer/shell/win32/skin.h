// The skin file: its path and the colours of the mixer and tool windows.
#pragma once

#include "mixer/shell/win32/shell.h"

// Chooses the skin path and reads the skin colours into the state.
void ReadSkin(ShellState& s);
