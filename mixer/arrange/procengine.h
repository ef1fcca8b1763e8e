// The run passes of normalize and DC removal on the native engine: the
// processing list becomes the play and record lists of engine track 1, the
// engine's job runs over them, and its peak comes back into the list.
#pragma once

#include <cstdint>

#include <vector>

#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/noisegate.h"
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

// The selected Parts of play channel `channel` compiled onto engine track 1;
// 0 when the list could not be made or sent.
int ProcEngineCompileChannel(const ArrRec* arr, int32_t channel);

// Consolidation of one channel: its selected Parts onto engine track 1, the
// new Take as the record list of engine track 2 from the channel's lowest
// start, and the render job over the channel's span started. The job's
// position then runs from the start to the end of the span, pausing at
// *hold (EndOfTime: no pause) when the list's window ends before the span.
int ProcEngineStartRender(const ArrRec* arr, int32_t channel, const ConsChannel& ch, int32_t* hold);
// The render paused at *hold: the channel compiled again and the next hold
// set; 0 when the list could not be made.
int ProcEngineRenderResume(const ArrRec* arr, int32_t channel, const ConsChannel& ch, int32_t* hold);
// No hold any more (EndOfTime), at the end of a consolidation.
void ProcEngineReleaseHold();
// Where the end of the window of a track's list comes from: the native
// link's record of the lists it sent; tests choose smaller windows.
using ProcWindowEndFn = int64_t (*)(int32_t channel);
void ProcEngineSetWindowEndSource(ProcWindowEndFn fn);

// The noise gate's scan of one channel over [from, to) with the on and off
// levels and the hold in samples, started; the on-list of the finished scan
// (IDOK), or a message id.
int ProcEngineStartGateScan(const ArrRec* arr, int32_t channel, int32_t from, int32_t to, int32_t onLevel,
                            int32_t offLevel, int32_t holdSamples);
int ProcEngineGateList(std::vector<GatePair>* onList);

// The same runs without windows, each job waited for: a renderer for
// ConsSetRenderer and a scanner for GateSetScanner.
int ProcEngineRenderAll(ConsChannel* table);
int ProcEngineGateScan(int32_t channel, int32_t from, int32_t to, int32_t onLevel, int32_t offLevel,
                       int32_t holdSamples, std::vector<GatePair>* onList);
