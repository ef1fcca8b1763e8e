// The off-line processing driver: gathers the Take stretches the selected
// Audio Parts play, creates one new Take per stretch in the processing
// folder, lets a processing routine fill them, and points the Parts at the
// results under one undo step. Every failure leaves the arrangement, the
// undo store and the processing folder as they were.
#pragma once

#include <cstdint>
#include <string>

#include "mixer/arrange/proclist.h"
#include "mixer/arrange/procthin.h"
#include "mixer/arrange/reduceevents.h"
#include "mixer/arrange/services.h"

// Settings of off-line processing (values are menu command ids).
struct ProcOptions {
  int32_t refATk = 40882;       // sharing Parts: 40881 processed too, 40882 ask, 40880 not
  int32_t delUnRefATk = 40885;  // unused source Takes: 40883 delete, 40885 ask, 40884 keep
  int32_t refCTk = 40887;       // the same for Automation Takes: 40887 processed too, 40888 ask, 40886 not
  int32_t delUnRefCTk = 40889;  // 40889 delete, 40891 ask, 40890 keep
  int32_t refMTk = 43301;       // the same for Midi Takes: 43301 processed too, 43302 ask, 43300 not
  int32_t delUnRefMTk = 43303;  // 43303 delete, 43305 ask, 43304 keep
  int32_t autoGenWaveforms = 0; // build overviews of the new Takes at once
  int32_t rec24Bit = 1;         // new Takes: 3 bytes per sample, else 2
  int32_t streamSmpBufSize = 128;  // samples of the engine's stream buffers (mixdown pre-roll)
  int32_t appendLocalTime = 0;  // recorded and mixdown Takes: a blank and the local time after the name
  std::string folder;           // recording/processing folder, ends in '\'
};
ProcOptions& ProcOpts();

// An off-line run (a run dialog pumping messages) is in progress: edit
// commands that arrive through the message loop meanwhile are refused, so
// that nothing changes the arrangement under the run.
int ArrOfflineRunActive();
class OfflineRunScope {
 public:
  OfflineRunScope();
  ~OfflineRunScope();
  OfflineRunScope(const OfflineRunScope&) = delete;
  OfflineRunScope& operator=(const OfflineRunScope&) = delete;
};

// Gathers the stretches of the selected Parts of `arr` into `list` (which
// it clears). 0 when done, else the message id: 241 more than 255 stretches.
uint32_t ProcGatherStretches(const ArrRec* arr, ProcList* list);

using ProcRoutine = int (*)(ProcList*);
// The audio driver. 1 when the selected Parts were switched to new Takes.
int ArrProcessAudioParts(DcHandle dc, uint32_t undoName, ProcRoutine routine);

// The automation driver: the same steps over the selected Automation Parts;
// `paramDialog` (REDUCE_EVENTS, filling *params) is asked after the folder
// check, and anything but IDOK stops before the undo step. The routine gets
// the stretches with the knob of each one's first Part and the thinning
// values of *params.
using ThinRoutine = int (*)(ThinList*);

// The thinning dialog's values, kept for the life of the program.
ReduceEventsResult& ReduceEventsCurrent();

// The parameter dialogs that the processing tools ask before they run: the
// noise gate's over NoiseGateCurrent() and the thinning dialog over
// ReduceEventsCurrent(); IDOK when confirmed. The program installs its
// dialogs; without them those tools do nothing.
struct ProcParamDialogs {
  int (*noiseGate)() = nullptr;
  int (*reduceEvents)() = nullptr;
};
void ProcSetParamDialogs(const ProcParamDialogs& dialogs);
const ProcParamDialogs& ProcParamDlgs();
int ArrProcessAutomParts(DcHandle dc, uint32_t undoName, ReduceEventsResult* params, int (*paramDialog)(),
                         ThinRoutine routine);

// One event edit of an Automation Part, at the end of its drag: the Part
// (and, when so chosen, the Parts sharing its Take) is pointed at a new
// Automation Take holding the Part's stretch of its Take with the knob's
// event at `from` (-1: none) taken away and one of `value` (out of
// `scale`) set at `to`; `from` and `to` are time-line positions inside the
// Part. Undo step 118; the selection is as it was afterwards. 1 when done.
// The editor copies [start, start + length) of the source Take's log into
// the new Take with that change, locations on the new Take's axis; the
// program installs the automation library's.
using AutomEditFn = int (*)(uint32_t newTake, uint32_t sourceTake, uint32_t start, uint32_t length, int32_t knob,
                            int32_t deleteAt, int32_t setAt, int32_t value, int32_t scale);
void ArrSetAutomEditor(AutomEditFn fn);
int ArrAutomEventEdit(DcHandle dc, uint32_t slot, int32_t from, int32_t to, int32_t value, int32_t scale);
