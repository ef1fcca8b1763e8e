// The file open/save dialog and the folder browser.
#pragma once

#include <windows.h>

#include <cstdint>

// File dialog modes: open, save (any other value), open titled "Delete".
enum : int { kFileDlgOpen = 0, kFileDlgDelete = 2, kFileDlgSave = 1 };

// The open (kFileDlgOpen, kFileDlgDelete) or save dialog. `path` (buffer of
// `size` bytes) gives the initial directory and receives the choice; without
// `keepName` the name field starts empty and the path is restored on
// cancel. The filter text's last character separates its fields ("WAV Files
// (*.WAV)|*.wav|All Files (*.*)|*.*|"). `flags` are OFN flags added to the
// program's own. Returns the dialog's result: non-zero when a file was
// chosen.
int FileDialog(int mode, DWORD flags, int keepName, char* path, int size, const char* filter,
               const char* defExt, HWND owner);

// The same with the filter and the default extension given by string id.
int FileDialogById(int mode, DWORD flags, int keepName, char* path, int size, uint32_t filterId,
                   uint32_t defExtId, HWND owner);

// The folder browser over the main window, starting at the folder in `path`
// (buffer of `size` bytes), titled by string `titleId`. The chosen folder, or
// the unchanged one, ends with '\'. 1 when a folder was chosen.
int BrowseFolder(char* path, int size, uint32_t titleId);
