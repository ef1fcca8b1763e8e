// The progress bar of the running off-line operation (item 160 of its
// dialog), moved in at most 1024 steps.
#pragma once

#include <windows.h>

#include <cstdint>

// Item of the progress bar in every run dialog.
enum : int { kProgressBarItem = 160 };

// The running off-line operation's dialog, 0 while none runs. The run dialog
// sets it when it starts and clears it when it is destroyed.
extern HWND RunOpDlg;

// Remembers the range and its shift and sets the shifted range on the bar;
// with low or high = -1 sets the remembered range again.
void ProgressSetRange(HWND dlg, int item, int32_t low, int32_t high);

void ProgressSetPos(HWND dlg, int item, int32_t pos);

// One tick of the running operation at `position` (in the range's units):
// moves the bar of RunOpDlg when its step changed, sends WM_COMMAND 11 when
// the position has stood still for 20 calls, and WM_COMMAND IDOK once the
// position reached the high end while the native devices are all idle.
void ProgressStep(int32_t position);
