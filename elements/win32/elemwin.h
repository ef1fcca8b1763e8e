// The Windows side of the element utilities: the module's start and end,
// its globals (skin, fonts, heap, live elements), the one-value input
// dialog, message boxes, file dialogs, files and folders, 3-D frames and
// timing. Each element module links it and calls ElemModuleAttach and
// ElemModuleDetach from its library entry.
#pragma once

#include <windows.h>

#include <cstdint>

#include "elements/elemfiles.h"
#include "elements/elemfonts.h"
#include "elements/elemlist.h"
#include "elements/skin.h"

// Characters of the input dialog's shared value text, NUL included.
constexpr int kElemValueTextSize = 256;
constexpr int kElemHostIniSize = 512;
// The INPUT dialog's edit control.
constexpr int kElemInputEdit = 151;

struct ElemModuleGlobals {
  HINSTANCE Instance = nullptr;
  char SkinPath[kElemPathSize] = "";
  char HostIni[kElemHostIniSize] = "";
  char ValueText[kElemValueTextSize] = "";
  ElemSkin Skin{};
  HFONT Fonts[kElemFontCount] = {};
  int CaptionHeight = 0;
  int FrameWidth = 0;
  int FrameHeight = 0;
  HANDLE Heap = nullptr;
  ElemList Live;
};

ElemModuleGlobals& ElemModule();

// Library entry, attach: host ini, skin path and skin values, system
// metrics, fonts, private heap. 0 when the heap cannot be made (the load
// fails).
BOOL ElemModuleAttach(HINSTANCE instance);
// Library entry, detach: the heap and the fonts go.
void ElemModuleDetach();

// Zeroed memory of the module's private heap; null when exhausted.
void* ElemAlloc(size_t size);
void ElemFree(void* block);

// The file system as the element utilities ask it.
ElemFiles& ElemFilesWin();
// Creates every missing folder of path (the first '\', the drive root,
// skipped); 0 with nothing changed when one cannot be made.
int ElemCreateFolderPath(const char* path);

// Dialog INPUT: caption from the init parameter, the edit filled from the
// shared value text and copied back on OK; the result is the button id.
INT_PTR CALLBACK ElemInputDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// A modal dialog from the module's own resources.
INT_PTR ElemDialogBoxParam(DLGPROC proc, const char* templateName, HWND parent, LPARAM initParam);
// String textId of the module formatted with the arguments, captioned with
// the parent's text; beeps with `type` first. The box's result.
int ElemMessageBox(HWND parent, uint32_t textId, UINT type, ...);
// The open or save dialog with the module's filter (filterId; its last
// character separates the fields) and default extension (extId); flags are
// added to the module's own. The chosen path goes to path (max bytes).
// 0 when nothing was chosen or a string is missing.
int FileDialog(int open, DWORD flags, int keepName, char* path, int max, uint32_t filterId, uint32_t extId,
               HWND owner);

void ElemCenterWindow(HWND wnd);
// 1 when any part of the window lies on the screen.
int ElemWindowOnScreen(HWND wnd);
void ElemDestroyChildWindows(HWND wnd);

// Four one-pixel lines inside rect: left, top, right, bottom edge, each in
// its colour, in that order.
void ElemDrawFrame3D(HDC dc, COLORREF left, COLORREF top, COLORREF right, COLORREF bottom, const RECT& rect);
// The two-colour form: bottom and right edge, then top and left.
void ElemDrawFrame3D(HDC dc, COLORREF topLeft, COLORREF bottomRight, const RECT& rect);
void DrawLittleWindowBorder(HDC dc, const RECT& rect);
void DrawFaderBorder(HDC dc, int blocked, const RECT& rect);

// 1 while the virtual key is held down.
int ElemKeyDown(int virtualKey);
// Milliseconds since a tick count.
DWORD ElemTicksSince(DWORD start);
// Busy-waits until the performance counter has advanced by n.
void ElemWaitCounts(int64_t n);
// printf-style text to the debugger, at most 255 characters.
void ElemDebugPrint(const char* format, ...);
