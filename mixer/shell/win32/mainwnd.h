// What the main frame's files share.
#pragma once

#include <windows.h>

#include <cstdint>

// The command that opens the tool bar.
constexpr UINT kCmdOpenToolBar = 42300;

// Reads the remembered folders and files of section MainWnd.
void ReadRememberedFolders();
// Restores the options from the main ini file, sending radio choices to the
// frame as commands.
void RestoreOptions(HWND wnd);
// The marker-key accumulator (0 empty, n typed, -n offered).
int32_t MarkerKeyAccumulator();
