// The marker directory window (class MrkDirWnd_WC): a list box of every
// marker of CurMrkList, kept sorted, from which markers are edited with the
// MARKERINFO dialog, deleted and located to. MrkDirRefresh (mixer/model/
// mrkdir.h) keeps it in step with the list.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/model/marker.h"
#include "mixer/model/mrkdir.h"

constexpr char kMrkDirClass[] = "MrkDirWnd_WC";

// Private messages. WMU_MRKDIRCMD carries a command and, for edit and
// locate, the marker number.
enum : UINT { WMU_MRKDIRCMD = 3024, WMU_SAVESETTINGS = 3146 };
enum : WPARAM { kMrkDirCmdEdit = 19, kMrkDirCmdDelete = 20, kMrkDirCmdLocate = 100 };

// Sort orders of the directory, as the command ids of their menu choice.
enum : int32_t { kMrkSortByNumber = 40729, kMrkSortByName = 40730, kMrkSortByPosition = 40731 };

// The directory's sort order (ini `Sort` of section MrkDirWnd); a change
// takes effect with MrkDirRefresh(kMrkDirRebuild, 0).
extern int32_t MrkDirSort;

// Registers MrkDirWnd_WC for the module `instance`.
ATOM RegisterMrkDirWnd(HINSTANCE instance);
LRESULT CALLBACK MrkDirWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The directory's line of marker n:
// " n\tname\thh:mm:ss:ff\tbbbb.bb.ttt" (time code of the position plus
// TcOffset; bars and beats counted from 1). Returns the length written.
int MrkDirLineText(uint32_t n, const MrkRec& mrk, char* buf, int size);

// Order of markers a and b (numbers na, nb) under `sort`: < 0 when a comes
// first. Name ties go by position, position ties by name; the number decides
// what is left.
int MrkDirCompare(int32_t sort, uint32_t na, const MrkRec& a, uint32_t nb, const MrkRec& b);

// Dialog MARKERINFO, opened with the marker number as its parameter: OK
// ends it with 1 after storing the typed position and name into
// MrkInfoResult, Cancel with 2.
INT_PTR CALLBACK MarkerInfoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
enum : int { kMrkInfoCaption = 450, kMrkInfoName = 451, kMrkInfoTimeCode = 452, kMrkInfoBbt = 453 };

// The marker record as the last MARKERINFO ended with OK: position and name.
extern MrkRec MrkInfoResult;

// Edits marker n with MARKERINFO as one undo step ("Info Change"): nothing
// is left behind unless the dialog ends with OK.
void MrkDirEditMarker(HWND owner, uint32_t n);

// After asking, deletes the markers selected in the directory as one undo
// step ("Delete").
void MrkDirDeleteSelected(HWND owner);
