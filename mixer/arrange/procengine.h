// The run passes of normalize and DC removal on the native engine: the
// processing list becomes the play and record lists of engine track 1, the
// engine's job runs over them, and its peak comes back into the list.
#pragma once

#include <cstdint>

#include "mixer/arrange/procnorm.h"

// Sends the spans as the play list and the destination Takes as the record
// list of engine track 1; the number of samples to process, or 0 after
// message 195.
int64_t ProcSendSpanLists(const ProcList* list);

// One run pass (kProcNormProcess or kProcRemDcProcess) on native device 0,
// waited for to the end: IDOK with list->Result set, or IDCANCEL when there
// is nothing to run or the engine refused. The run dialogs do the same
// while they show the progress.
int ProcEngineRunPass(ProcDialog dialog, ProcList* list);

// The same pass in steps, for a run dialog that shows its progress: starts
// it without waiting and returns the number of samples it covers (0 when
// nothing was started); the position runs from 0 to that number, which it
// reads once the engine is idle again.
int32_t ProcEngineStartPass(ProcDialog dialog, ProcList* list);
int32_t ProcEnginePosition();
int ProcEngineIdle();
// The pass's peak, on the normalize scale.
int32_t ProcEnginePeak(ProcDialog dialog);
// Stops the pass and waits until the engine has let go of the Takes.
void ProcEngineStop();
