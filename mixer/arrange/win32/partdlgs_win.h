// The Part dialogs on the Windows side: VOLUME and the three Part
// information dialogs, driving a VolumeDlg or an InfoDlg (partdlg.h), and
// the runners the arrange window's seam calls.
#pragma once

#include <windows.h>

#include <cstdint>

class VolumeDlg;
class InfoDlg;

// Control ids shared by VOLUME and the information dialogs.
enum : int {
  kPdName = 120,
  kPdBeginBar = 132,
  kPdBeginText = 133,
  kPdEndBar = 134,
  kPdEndText = 135,
  kPdLayer = 136,
  kPdLink = 137,
  kPdOutput = 138,
  kPdFade = 139,      // VOLUME: the curve's name; Audio information: the fade list
  kPdKnob = 140,      // Automation information
  kPdCurve0 = 140,    // VOLUME: 140..147 curve buttons
  kPdTimelock = 141,
  kPdPhase = 142,
  kPdGlobalFade = 148,
  kPdUpdatePrev = 149,
  kPdUpdateNext = 150,
  kPdTakeName = 402,
  kPdTakeType = 403,
  kPdTakeLength = 408,
};

INT_PTR CALLBACK VolumeDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PartInfoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);

// Run the dialogs modally over `owner`; 1 OK, 0 Cancel.
int ArrRunCrossfadeDlg(HWND owner, int32_t first);
int ArrRunVolumeDlg(HWND owner, VolumeDlg& dlg);
int ArrRunInfoDlg(HWND owner, InfoDlg& dlg);
