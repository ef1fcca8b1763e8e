// The shell's small windows: splash, status bar, audio buffer, big clock,
// the directory and file-manager windows, the tool window and the tile
// window of the custom tool page.
#pragma once

#include <windows.h>

#include <cstdint>

// Registers one of the shell's window classes by name; false when the name
// is not one of them.
bool RegisterShellClass(HINSTANCE instance, const char* name);

// Opens or closes the window of a frame command: 42303 the status bar,
// 42311 directory, 42312 file manager, 42313 marker directory, 42314 audio
// buffer, 42315 big clock. Other ids do nothing.
void ShellWindowToggle(HWND mainWnd, UINT id);

// The splash window's progress text; redrawn at once with `now`.
void SetStartupText(const char* text, int now);

// Big clock: the display mode and the shown position; settings services.
void BigClockUpdate(int bars, const void* record);
void BigClockGetFont(uint32_t words[15]);
void BigClockSetFont(const uint32_t words[15]);
void BigClockSetColor(int index, COLORREF colour);
COLORREF BigClockGetColor(int index);
// The status bar's locator distance and pointer position.
void PosTextBitmap(int32_t a, int32_t b);
void PosTextBitmapTrk(int32_t position, int32_t track);
// The audio-buffer window's reserve.
void AudBufUpdate(uint32_t reserve);

// Tool window.
void ToolWndClick(int right);
int32_t ToolAtIndex(int n);
// Applies a tile dropped at a screen point to the tool page; 1 when it
// changed.
int ToolWndDrop(int32_t tool, POINT screen);
void ToolPageSave();
INT_PTR CALLBACK CustomToolPageDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// Tile messages to the tile's parent: pressed (wParam the id) and released
// (wParam the id, lParam the screen point of the tile's centre).
constexpr UINT kTilePressed = 3024;
constexpr UINT kTileReleased = 3025;
