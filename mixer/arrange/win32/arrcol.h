// The track column ArrColWnd_WC: record-track headers, their context menu,
// arming, selection and the drag of assignments to other rows.
#pragma once

#include <windows.h>

#include <cstdint>

// Commands of the header context menu: Audio of width index w (1, 2, 4, 6,
// 8 channels) and record track n are kArrTrkCmdAudio + 200 w + n, n 199
// being "All"; Automation kArrTrkCmdAutom + n; reassign kArrTrkCmdReassign
// + n; loop stack depth d kArrTrkCmdStack + d; delete kArrTrkCmdDelete.
enum : UINT {
  kArrTrkCmdAudio = 10000,
  kArrTrkCmdAutom = 11000,
  kArrTrkCmdAll = 199,
  kArrTrkCmdReassign = 12000,
  kArrTrkCmdStack = 13000,
  kArrTrkCmdDelete = 14000,
};

// Carries out a command of the header context menu for the track: one undo
// step "Record Track Edit", the links checked, the mixer told, the headers
// redrawn. A refusal shows its message.
void ArrTrkMenuCommand(int32_t track, UINT cmd);
// Builds the header context menu of a track (the caller destroys it).
HMENU ArrTrkBuildMenu(int32_t track);
// The header context menu at client point (x, y) of the column, tracked with
// the pressing button (1 left, 2 right).
void ArrTrkContextMenu(HWND wnd, int x, int y, int button, int32_t track);

// The running track drag, for tests: dragged tracks and the offset shown.
struct ArrTrkDragState {
  int Running = 0;
  uint32_t Count = 0;
  int32_t Offset = 0;
};
ArrTrkDragState ArrTrkDragGet();
