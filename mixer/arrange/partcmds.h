// The operations that the edit dispatcher hands over for one click on the
// selected Parts of the current arrangement: the play-channel menu, cut,
// crop, fades, the crossfade of neighbouring Parts, repeat, the link
// commands, and the starts of the move/copy and slip drags with their drag
// records. Each editing operation records its one undo step before it
// changes anything; a refusal shows its message and changes nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/arrange/editseams.h"
#include "mixer/model/arr.h"

// 1 when a Part that is not selected uses the Take; with `select` every such
// Part is selected (and redrawn into dc).
int ArrTakeSharedByUnsel(ArrRec* arr, uint32_t take, int select, DcHandle dc = nullptr);

// The move/copy drag record: ten header words, then five per Part (index
// and window rectangle relative to the union rectangle's left and top).
// Word 1 is 1 when the drag holds a source arrangement of its own (kept in
// Source, which the record frees), 0 for the current one.
struct ArrMoveDragRec {
  std::vector<int32_t> Words;
  ArrRec* Source = nullptr;
  ~ArrMoveDragRec();
};
enum : int32_t {
  kMoveDragMode = 0,
  kMoveDragSource,
  kMoveDragCount,
  kMoveDragDx,
  kMoveDragDy,
  kMoveDragOp,
  kMoveDragCopy,
  kMoveDragSpan,
  kMoveDragSnap,
  kMoveDragRate,
  kMoveDragHeader
};
// Builds the record over the selected Parts of `source` (null: CurArr) and
// draws the first outline; null when no Part is selected. The source
// arrangement belongs to the record (and is freed on failure).
ArrMoveDragRec* ArrBeginMoveCopy(DcHandle dc, int x, int y, int op, int copy, int mode,
                                 ArrRec* source, int rateConversion);

// The slip drag record: n, pointer x and y, the largest slip to the right
// and to the left, then five words per Part (index and window rectangle
// relative to the pointer).
struct ArrSlipDragRec {
  std::vector<int32_t> Words;
};
ArrSlipDragRec* ArrBeginSlip(DcHandle dc, int x, int y);

// The number of entries of the play-channel menu for a Take kind.
int32_t ArrIoMenuChannels(uint32_t kind);
// The play-channel popup for the clicked Part; 1 when a channel was chosen
// (and assigned to the selected Parts of the Part's kind).
int ArrIoAssignMenu(WndHandle wnd, DcHandle dc, int x, int y, int32_t part, int button);

// Cut at the pointer position (op 9, snapped to the grid) or at the now
// position or a locator inside a selected Part closest to the pointer (op 10).
int ArrCutParts(DcHandle dc, int32_t position, int op);
// Crop the selected Parts to [left locator, right locator).
int ArrCropParts(DcHandle dc);
// Fade in (op 12) or out (op 13) over the selected Parts of each track, or
// remove the fade when the clicked Part has one.
int ArrFadeParts(int32_t part, DcHandle dc, int op);

// Makes the left Part `a` and the right Part *b of `track` overlap by
// `length` samples centred on the middle of their gap, within their Takes
// and neighbouring crossfades. Returns the overlap reached (0: failed) and
// B's slot through *b (B is re-inserted). *arr may move.
int32_t ArrMakeAdjXfade(ArrRec** arr, uint32_t a, uint32_t* b, uint32_t track, int32_t length);
// Joins each selected Part with the next selected one of its track as
// crossfade partners, making them overlap first when they do not.
int ArrCrossfadeAtPointer(DcHandle dc);

// Repeats the selection `count` times (below 1: once), each copy after the
// previous on the grid. ArrRepeatParts asks the count first.
int ArrRepeatParts(DcHandle dc);
int ArrRepeatPartsApply(DcHandle dc, int32_t count);
// The count ArrRepeatParts shows next.
extern int32_t ArrRepeatCount;

int ArrStereoLinkCmd(int32_t part, DcHandle dc);
int ArrMultiLinkCmd(int32_t part, DcHandle dc);

// Switches the waveforms of the selected Parts' Takes on (when the clicked
// Part's Take shows none) or off, building missing overview files on the
// way; the Parts sharing those Takes are selected first. 0 when refused or
// when a build failed (the Takes before it keep their switch).
int ArrToggleWaveforms(int32_t part, DcHandle dc);

// Scales n minimum/maximum pairs: pairs before k by gain a, k..k+m-1 by the
// curve value from a to b, the rest by b (gains over 32768).
void XfdApplyFade(int32_t n, int32_t k, int32_t m, int32_t a, int32_t b, int32_t curve,
                  int16_t* pairs);

// Replaces each value of n minimum/maximum pairs by the index of the first
// of `levels` - 1 thresholds that is not below its magnitude, with the
// value's sign. The thresholds fall from the top in steps of `shift` bits:
// the last is 65535, the one before it 32768 >> shift, then 32768 >> 2 x
// shift, and so on. Fewer than 2 levels leave the pairs alone.
void XfdQuantise(int32_t n, int32_t levels, int32_t shift, int16_t* pairs);

// Where the play-channel menu goes: its entries stand in columns of 32, the
// menu is tracked centred on X, and Y is its top, so that the current entry
// lies under the pointer.
struct ArrMenuPlacement {
  int32_t X;
  int32_t Y;
  int32_t Columns;
};
constexpr int32_t kArrMenuColumn = 32;
// For `count` entries with entry `current` (-1: none) under the pointer
// (x, y), entries `entryHeight` pixels high on a screen `screenHeight` high.
ArrMenuPlacement ArrMenuPlace(int32_t count, int32_t current, int32_t x, int32_t y,
                              int32_t entryHeight, int32_t screenHeight);
// 1 when entry i begins a new column (a menu-bar break).
inline int ArrMenuColumnBreak(int32_t i) { return i > 0 && i % kArrMenuColumn == 0; }

// The edit routines of this file (and of the crossfade and Part dialogs)
// as the dispatcher reaches them.
class ArrPartEditRoutines : public ArrEditRoutines {
 public:
  int IoAssignMenu(WndHandle w, DcHandle dc, int x, int y, int32_t p, int b) override;
  void* BeginMoveCopy(DcHandle dc, int x, int y, int mode, int copy) override;
  void* BeginSlip(DcHandle dc, int x, int y) override;
  int CutParts(DcHandle dc, int32_t position, int op) override;
  int CropParts(DcHandle dc) override;
  int FadeParts(int32_t p, DcHandle dc, int op) override;
  int CrossfadeAtPointer(DcHandle dc) override;
  int CrossfadeDialog(int32_t position, int32_t p, uint32_t track, DcHandle dc) override;
  int VolumeDialog(int32_t p, DcHandle dc) override;
  int InfoDialog(int32_t p, DcHandle dc) override;
  int RepeatParts(DcHandle dc) override;
  int StereoLinkCmd(int32_t p, DcHandle dc) override;
  int MultiLinkCmd(int32_t p, DcHandle dc) override;
  int ToggleWaveforms(int32_t p, DcHandle dc) override;
  int SoloPart(DcHandle dc, int32_t p, uint32_t t, int32_t position) override;
  int SoloPartSpan(int32_t position, DcHandle dc, int32_t p, uint32_t t) override;
  int SoloScrub(DcHandle dc, uint32_t t, int x, int y, int32_t p, int32_t position) override;
  int ScrubAll(DcHandle dc, int32_t position, int x, int y) override;
  // The external modules' processes (the module host's EopRunToolFrom).
  int ToolRunner(WndHandle child, int x, int y, int32_t id, int32_t tool) override;
  // The off-line processing tools: the drivers with normalize, DC removal
  // and thinning, the noise gate, consolidation, and mixdown at the point
  // (its position and Virtual Track from the hit test). The parameter
  // dialogs are the program's (ProcSetParamDialogs).
  int ProcessAudio(DcHandle dc, uint32_t undoName, int routine) override;
  int ProcessAutomation(DcHandle dc, uint32_t undoName) override;
  int NoiseGateDialog() override;
  int NoiseGateScan(DcHandle dc) override;
  int Consolidate(DcHandle dc) override;
  int Mixdown(WndHandle child, DcHandle dc, int x, int y, int button) override;
};
