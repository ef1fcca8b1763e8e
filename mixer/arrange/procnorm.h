// Normalize and DC removal: the processing routines that run on a
// processing list. The run dialogs (scan and process passes through the
// native engine) are reached through ProcRunSeams, so the decisions here are
// the same whether a window or a test runs the passes.
#pragma once

#include <cstdint>

#include "mixer/arrange/proclist.h"

// Dialog templates a routine runs.
enum ProcDialog : int {
  kProcNormProcess = 1,  // NORM_PROCESS: a scan (Mode 1) or process (Mode 0) pass
  kProcNormParam = 2,    // NORM_PARAM: asks for the target level
  kProcRemDcProcess = 3, // REMDC_PROCESS
  kProcConsProcess = 4,  // CONS_PROCESS: renders every channel of the consolidation table
};

struct ProcRunSeams {
  // Runs the dialog over the list; returns IDOK (1) or IDCANCEL (2). A run
  // dialog leaves the engine's peak in list->Result; the parameter dialog
  // sets list->ProcessGain.
  int (*run)(ProcDialog dialog, ProcList* list) = nullptr;
  // Stops the units after a cancelled pass.
  void (*unitsStop)() = nullptr;
};
void ProcSetRunSeams(const ProcRunSeams& seams);
// Runs a dialog through the seams (IDCANCEL when none is set).
int ProcRunDialog(ProcDialog dialog, ProcList* list);
void ProcUnitsStop();

// The normalize target in hundredths of a dB (0 at start).
int32_t NormTargetLevel();
void NormSetTargetLevel(int32_t centiDb);

// The answer of the parameter dialog: the typed target (text, in dB) is
// limited to -96.00..0.00 dB and kept as the target; returns the process
// gain that brings `peak` to it.
int32_t NormApplyTarget(const char* text, int32_t peak);
// The peak and target texts of the parameter dialog (" 0.50 dB." style).
void NormPeakText(int32_t peak, char* out, int size);
void NormTargetText(int32_t centiDb, char* out, int size);

// 1 when the destination Takes hold the result, 0 when cancelled or refused.
int ProcNormalize(ProcList* list);
int ProcRemoveDc(ProcList* list);
