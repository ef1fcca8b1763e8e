// The arrange child window's edit dispatcher: the tool and operation ids,
// the dispatch of one operation on the Part under the pointer, the click
// that chooses the Part and the operation, the hit test and cursor over
// Parts, the right-button zoom and scroll drag and the Part context menu.
// Everything acts on the current arrangement (CurArr) and the arrange view
// (ArrView); the window reaches in through the seams of editseams.h.
#pragma once

#include <cstdint>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/editseams.h"
#include "mixer/model/arr.h"

// Tool and operation ids; the tool tip of tool n is string 1024 + n.
enum ArrToolId : int {
  kToolCreate = 0,
  kToolIoAssign = 1,
  kToolMute = 2,
  kToolMove = 3,
  kToolMoveVertical = 4,
  kToolMoveToLocator = 5,
  kToolCopy = 6,
  kToolCopyVertical = 7,
  kToolCopyToLocator = 8,
  kToolCut = 9,
  kToolCutAtLocator = 10,
  kToolGlue = 11,
  kToolFadeIn = 12,
  kToolFadeOut = 13,
  kToolVolume = 14,
  kToolMixdown = 15,
  kToolSolo = 16,
  kToolSoloSpan = 17,
  kToolWaveform = 18,
  kToolInfo = 19,
  kToolDelete = 20,
  kToolStereoLink = 21,
  kToolTrim = 22,
  kToolSlip = 23,
  kToolPhase = 24,
  kToolNormalize = 25,
  kToolRepeat = 26,
  kToolGainDrag = 27,
  kToolSoloScrub = 28,
  kToolScrubAll = 29,
  kToolNoiseGate = 30,
  kToolDcRemoval = 31,
  kToolTimeStretch = 32,
  kToolSrConvert = 33,
  kToolPitchShift = 34,
  kToolReverse = 35,
  kToolUnused = 36,
  kToolExternal = 37,
  kToolTimelock = 38,
  kToolAutomCurve = 39,
  kToolThinAutom = 40,
  kToolAutomEdit = 41,
  kToolCrop = 42,
  kToolContext = 43,
  kToolTrimAdjacent = 44,
  kToolCrossfade = 45,
  kToolSnapPoint = 46,
  kToolConsolidate = 47,
  kToolMultiLink = 48,
};
constexpr int kArrToolCount = 49;

// Hit zones: 0..11 inside a Part; 12..15 just before a Part's start and
// 16..19 just after its end (top margin, upper half, lower half, bottom
// margin); 20 nothing.
constexpr int kZoneBefore = 12;
constexpr int kZoneAfter = 16;
constexpr int kZoneNone = 20;

// The drags an operation starts; a null handle: no drag runs. The window
// reads them on the following mouse messages and clears them when the drag
// ends.
struct ArrDragHandles {
  void* MoveCopy = nullptr;   // ops 3..8
  void* Trim = nullptr;       // 22, 44
  void* Slip = nullptr;       // 23
  void* GainDrag = nullptr;   // 27
  void* AutomEdit = nullptr;  // 41
};
ArrDragHandles& ArrDrags();

// 1 when the operation needs the transport stopped.
int ArrToolNeedsStop(int op);
// The operation of a Part context menu command id (41500 and above); -1 for
// none.
int ArrMenuCmdToTool(uint32_t cmd);

// Dispatches one operation on the Part under the pointer (-1 none).
void ArrChildCommand(int op, WndHandle child, int transportState, DcHandle dc, int x, int y,
                     int32_t part, int zone, uint32_t track, int32_t position, int extra,
                     const ArrInput& input);

// The left-button press on the track area.
void ArrChildClick(WndHandle child, DcHandle dc, int x, int y, int transportState, int extra,
                   int tool, const ArrInput& input);

// The right-button press on the current Part (-1: none) of `track`.
void ArrPartContextMenu(WndHandle child, DcHandle dc, int x, int y, int transportState, int extra,
                        int32_t currentPart, const ArrInput& input);

// The hit zone of a client point of the child window; the Part (-1), track
// and position under it through the out-parameters that are not null.
int ArrHitTest(const ArrRec* arr, int x, int y, int32_t* part, uint32_t* track, int32_t* position);

// The cursor over the point when no drag runs: the cached tool cursor of
// the Part's kind and zone, or the arrow. ArrHitCursorReset empties the
// caches (when the tool sets change).
void ArrHitCursor(int x, int y, const ArrInput& input);
void ArrHitCursorReset();

// The right-button drag's state, kept by the window.
struct ArrZoomDrag {
  int State = 1;  // 1 armed, 2 zooming, 3 scrolling
  int PressX = 0;
  int PressY = 0;
  int32_t SavedHzoom = 0;
  int32_t SavedVzoom = 0;
  int32_t SavedOrigin = 0;
  int32_t SavedFirstTrack = 0;
};
// One step of the drag at (x, y): 1 when the view changed or the drag holds
// the cursor.
int ArrZoomScrollDrag(int x, int y, ArrZoomDrag& drag, const ArrInput& input);
