// The dialog that builds one waveform overview file (template
// ATAKE2WVFRMFILE): it shows the Take's name and a progress bar while the
// native device layer delivers the peaks in chunks of 256 entries, and keeps
// the program responsive between chunks.
#pragma once

#include <windows.h>

// Items of the dialog.
enum : int {
  kWvfBuildNameItem = 402,
  kWvfBuildProgressItem = 160,
};

// Posted to the dialog by WM_INITDIALOG so that it is shown before the work
// starts; lParam is the TakeRec.
enum : UINT { kWvfBuildStartMsg = 3024 };

// Dialog procedure; the dialog's parameter is the TakeRec* of an Audio Take.
// Writes the Take's overview into the WvFormFilePath folder. Ends with 1
// when the file was written whole; with 0 on failure or cancel, having shown
// the failure's message and left no file behind.
INT_PTR CALLBACK WvfBuildDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
