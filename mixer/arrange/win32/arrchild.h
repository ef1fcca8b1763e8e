// The Part area's mouse side beyond arrwnd.h: dropped files, the automation
// event drag, the scrub and solo play that follow the button, and the
// dialogs of the context tool sets and of automation thinning.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>

#include "mixer/arrange/editseams.h"

struct TakeRec;

// ---- Dropped files ----

// A file dropped on the Part area: only while the transport is stopped and
// only a single file; a Take goes to ArrDropTake, an arrangement file to
// ArrDropArr, anything else is ignored. Always ends with DragFinish.
void ArrDropFiles(HWND wnd, HDROP drop);
// Start a copy drag of the dropped Take's channel set (or of the Parts of an
// arrangement file) at the client point (x, y) in mode 6, 7 or 8 (copy,
// copy vertical, copy at the closest locator); the Parts follow the pointer
// until the next click places them. 1 when the drag started.
int ArrDropTake(TakeRec* take, int x, int y, int capture, int mode);
int ArrDropArr(const char* path, int x, int y, int capture, int mode);
// The drag that a drop started (record of ArrBeginMoveCopy over its own
// arrangement) handed to the Part area, pressed at (x, y).
void ArrChildBeginDropDrag(void* rec, int x, int y, int capture);
// 1 while a dropped arrangement's Parts follow the pointer.
int ArrDropDragActive();

// ---- Automation event drag ----

struct ArrAutomDragRec {
  int DoubleClick = 0;      // started by a double click: a new event
  uint32_t Slot = 0;        // the Part
  uint32_t Track = 0;
  uint32_t Take = 0;        // its Take and knob
  int32_t Knob = 0;
  int PressX = 0, PressY = 0;
  uint32_t PressTime = 0;
  int32_t Height = 0;       // the curve's height in pixels: the value range
  int32_t Bottom = 0;       // the y of value 0
  int32_t First = 0;        // the Part's first and last sample
  int32_t Last = 0;
  int32_t Grabbed = -1;     // the grabbed event's time-line position, -1 none
  int GrabDx = 0, GrabDy = 0;  // the pointer's offset from the grabbed node
  int32_t Low = 0, High = 0;   // allowed range of the node (the neighbours)
  int32_t PrevPos = -1, PrevValue = 0;  // neighbouring nodes (-1 none)
  int32_t NextPos = -1, NextValue = 0;
  // The feedback last drawn, for erasing it.
  int Drawn = 0;
  int32_t LastPos = 0, LastValue = 0;
};

// Tool 41 pressed at (x, y) on the Part: grabs the knob's event within 4
// pixels, or on a double click makes a new one; null when no drag starts
// (322 for a Part that is not an Automation Part).
ArrAutomDragRec* ArrAutomEditStart(HDC dc, int x, int y, int32_t part, const ArrInput& input);
// The node's position and value for the pointer at (x, y).
void ArrAutomEditTarget(const ArrAutomDragRec& rec, int x, int y, int32_t* position, int32_t* value);
// Moves the XOR feedback of the node to the pointer (redrawn only when the
// node's place changed); erase alone takes it away.
void ArrAutomEditFeedback(HDC dc, ArrAutomDragRec& rec, int x, int y, int eraseOnly);
// The release: a quick release without movement only refreshes the
// automation play maps; otherwise the event is edited (one undo step).
// Frees the record. 1 when the arrangement changed.
int ArrAutomEditDrop(HDC dc, ArrAutomDragRec* rec, int x, int y, uint32_t time, uint32_t doubleClickTime);
// The XOR node feedback: lines from the previous node to the node and on to
// the next (-1 x: none; stepped unless straight), the node's marks and its
// value label (drawn a second time, all of it is taken away again).
void DrawXorNodeLine(HDC dc, POINT previous, POINT next, POINT node, int straight, const char* label,
                     int labelBelow);

// ---- Scrub and solo play by the pointer ----

// 1 while a Part plays solo for as long as the button is held.
int ArrSoloPlaying();

// ---- Gain envelope feedback ----

// The gain envelope of a ramp drawn as the Part area draws it (extra pixels
// of half-height), for the XOR feedback of the volume drag.
void ArrDrawGainEnvelope(HDC dc, int64_t start, int64_t length, int centre, int half, uint32_t g0, uint32_t g1,
                         int curve, int extra);

// ---- Dialogs ----

// CUSTOMSMARTTOOL: the context tool sets.
INT_PTR CALLBACK CustomSmartToolDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs CUSTOMSMARTTOOL over `owner` (the tool window's second press of the
// Context Sensitive Edit tool); IDOK, 102 (saved) or IDCANCEL.
int ArrRunCustomSmartToolDlg(HWND owner);
int CseSelectTool(HWND combo, int tool);
int CseComboTool(HWND combo);
