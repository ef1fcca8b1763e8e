// The modal dialog that reads an arrangement file: the file name, a
// progress bar moving once per Part, and Cancel.
#pragma once

#include <windows.h>

#include "mixer/model/arrfile.h"

enum : int {
  kReadArrStatusItem = 400,  // "Aborted..." after Cancel
  kReadArrNameItem = 401,    // the file name part of the path
  kReadArrProgressItem = 160,
};

// The private message that starts the read once the dialog shows; its
// lParam is the request.
constexpr UINT kReadArrStartMsg = 3024;

// Runs dialog READARRFILE over the main window for the request; 1 read, 0
// failed (its message shown) or cancelled.
int ReadArrFileDlg(const ArrReadRequest& request);
INT_PTR CALLBACK ReadArrFileDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
