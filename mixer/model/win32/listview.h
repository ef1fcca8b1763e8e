// List-view column and selection helpers, and the destruction of a
// window's children.
#pragma once

#include <windows.h>

// Inserts `count` left-aligned columns: column i shows field i of `header`,
// has width widths[i] and sub-item i. The header's last character separates
// the fields ("Name;Loc;"); a field longer than 259 characters is cut.
// Returns 0 when a column cannot be inserted, or when the header has fewer
// than `count` fields (the columns before it stay); else 1.
int LvInsertColumns(HWND lv, int count, const int* widths, const char* header);

// Sets (on = 1) or clears (on = 0) the selected state of `item`.
BOOL LvSelectItem(HWND lv, int item, int on);

// Sets (on = 1) or clears (on = 0) the focused state of `item`.
BOOL LvFocusItem(HWND lv, int item, int on);

// The item whose icon, label or state image lies under `pt` (client
// coordinates), or under the cursor when `pt` is null; -1 when none.
int LvHitTest(HWND lv, const POINT* pt);

// Destroys every child window of `wnd` (with its own children).
void DestroyChildWindows(HWND wnd);

// EnumChildWindows callback of DestroyChildWindows; `parent` is the window
// whose children go. Always goes on.
BOOL CALLBACK DestroyChildProc(HWND child, LPARAM parent);
