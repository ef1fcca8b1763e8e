// A run of the time module: the selected chain of linked Parts collected
// through the host, the new length from the parameter dialog (or the
// project's rate), new Takes created and put in the Parts, and the sample
// work of the progress dialog block by block.
#pragma once

#include <cstdint>
#include <string>

#include "timemodule/eop.h"
#include "timemodule/tmconv.h"

namespace tmod {

inline constexpr int32_t kTmMaxParts = 32;
inline constexpr int32_t kTmBlock = 64768;
inline constexpr int32_t kTmPitchBlock = 64800;

struct TmPartRun {
  int32_t offset;    // the Part's offset into its old Take
  uint32_t oldTake;
  uint32_t newTake;
  uint32_t readBits; // the old Take's bits per sample
};

// The run record the progress dialog works from.
struct TmRun {
  uint32_t mode;
  int32_t parts;
  int32_t L0;
  int64_t interm;     // Pitch Shift: L1 + 1
  int64_t N;          // new Take length
  uint32_t writeBits; // bits of the new Takes
  TmPartRun part[kTmMaxParts];
};

// What a run needs of the user interface.
class TmUi {
 public:
  virtual ~TmUi() = default;
  // The process's parameter dialog; L1, or 0 for Cancel.
  virtual int32_t ParamDialog(TmParams& params, const std::string& partName) = 0;
  // A message box with the exclamation icon titled with the process name.
  virtual void Message(const std::string& text, const std::string& title) = 0;
  // The progress dialog: shows itself and calls TmProcessBlocks; its result.
  virtual int32_t Progress(const TmRun& run, const EOPHOSTFUNCS& host) = 0;
  // Inside the progress dialog: the Take names, the bar (0..100), and the
  // bounded message pump after each block; Pump gives 1 once "Abort" was
  // pressed.
  virtual void ShowTakes(const std::string& oldNames, const std::string& newNames) {}
  virtual void SetProgress(int32_t percent) {}
  virtual int Pump() { return 0; }
};

// The process names, by mode.
const char* TmProcessName(uint32_t mode);

// The whole run of process `mode`; 0 cancelled or failed, 1 done.
int32_t TmRunProcess(uint32_t mode, uint32_t noDialog, const EOPHOSTFUNCS& host, TmUi& ui);

// The progress dialog's work: every Part read, processed and written, the
// new Takes filled to exactly N samples. 1 done, 0 aborted or failed.
int32_t TmProcessBlocks(const TmRun& run, const EOPHOSTFUNCS& host, TmUi& ui);

}  // namespace tmod
