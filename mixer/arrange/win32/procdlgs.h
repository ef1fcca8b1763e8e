// The dialogs of off-line processing on the Windows side: the normalize
// target, the run dialogs that show an engine pass's progress, and the noise
// gate's settings and scan dialogs. Installed into the processing routines'
// seams by ProcInstallDialogs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/arrange/procnorm.h"

// Items of the dialogs.
enum : int {
  kPdlRouting = 151,  // mixdown: the mixer output being recorded
  kPdlPeak = 157,     // NORM_PARAM: the selection's peak
  kPdlTarget = 158,   // NORM_PARAM: the target in dB
  kPdlStatus = 159,   // run dialogs: what runs
  kPdlProgress = 160,
  kNgBarFirst = 207,   // NOISGAT_PARAM: scroll bars 207..216 of words 0..9
  kNgTextFirst = 217,  // and their texts 217..226
  kNgModeFirst = 227,  // radios 227..229 of the mode
  kNgOpen = 230,
  kNgSave = 231,
};

inline constexpr int kNgLevelRange = 512;
inline constexpr int kNgTimeRange = 568;
inline constexpr int kNgPageStep = 20;

// Parameter: the ProcList of the run.
INT_PTR CALLBACK NormParamDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK NormRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK RemDcRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Parameter: the consolidation run (its table); renders channel after
// channel into the new Takes.
INT_PTR CALLBACK ConsRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Parameter: one channel's scan.
INT_PTR CALLBACK GateScanDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Parameter: the ReduceEventsResult of the thinning (its selected-curve
// switch and thin factor written on OK).
INT_PTR CALLBACK ReduceEventsDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// Parameter: the NoiseGateSettings to edit (written back on OK).
INT_PTR CALLBACK NoiseGateDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam);
// The current .NGT path: it starts as the folder of the MainWnd ini key
// NgtFilePath (made absolute against the current directory) followed by
// "(untitled)"; its folder part is what the program writes back to the key.
void NgtSetPathFolder(const char* folder);
void NgtPathFolder(char* out, int size);
const char* NgtCurrentPath();
// Title "NoiseGate Function Settings - <file name of the current path>".
void NoiseGateCaption(HWND dlg);

// The ProcRunSeams on the real dialogs over the main window with the
// engine's stop as unitsStop, the consolidation renderer on CONS_PROCESS and
// the noise gate's scanner on NOISGAT_SCAN, and the noise gate's and the
// thinning's parameter dialogs for the processing tools.
int ProcRunDialogWin(ProcDialog dialog, ProcList* list);
void ProcInstallDialogs();

// Tool 30: the settings dialog over the current settings; OK runs the gate.
// 1 when the gate ran.
int ArrNoiseGateTool(void* dc);

// One tick of the main timer procedure while an off-line run shows its
// dialog: the engine's position moves the bar and ends the dialog.
void ProcRunTimerTick();
