// Where the arrange editor's edit operations meet what lies outside them:
// the arrange window (redraws beyond single Parts, cursors, pop-up menus,
// scroll ranges), and the editing routines that live with the window (the
// drags, the dialogs, the processing runs, the context tool sets). The
// window installs its own implementations when it opens; until then, and in
// tests that do not replace them, every seam does nothing and answers "no".
// Single Parts are drawn through ArrDrawPart and ArrErasePart
// (services.h); questions go through MessageBoxById (host.h).
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"
#include "mixer/model/util/wndhandle.h"

class VolumeDlg;
class InfoDlg;

// The state of the keyboard and the clock at the input event that started
// an operation, as the window read it.
struct ArrInput {
  int Shift = 0;
  int Ctrl = 0;
  int Alt = 0;
  uint32_t Time = 0;             // event time, milliseconds
  uint32_t DoubleClickTime = 500;  // the system's double-click interval, milliseconds
};

// One entry of a pop-up menu that an operation shows.
struct ArrMenuItem {
  const char* Text;
  int Checked;
};

// The arrange window, as the edit operations see it.
class ArrEditWindow {
 public:
  virtual ~ArrEditWindow() = default;
  // 1 while the arrange child window exists.
  virtual int Exists() { return 0; }
  // Recomputes the horizontal scroll range from the current arrangement
  // (and the vertical one with it).
  virtual void UpdateScrollRanges() {}
  // Redraws the child window at once (not through the message queue).
  virtual void RedrawNow() {}
  // Removes the slip drag's feedback from the screen.
  virtual void EraseSlipFeedback(DcHandle) {}
  // The cursor of a tool over a hit zone; null while there is none.
  virtual void* ToolCursor(int /*tool*/, int /*zone*/) { return nullptr; }
  // Shows a cursor; null shows the arrow.
  virtual void ShowCursor(void* /*cursor*/) {}
  // Tracks a pop-up menu of `count` entries placed so that entry `current`
  // lies under the point (x, y) (client coordinates of the child window);
  // returns the chosen entry or -1.
  virtual int TrackMenu(const ArrMenuItem* /*items*/, int /*count*/, int /*current*/, int /*x*/,
                        int /*y*/, int /*button*/) {
    return -1;
  }
  // Tracks the Part context menu resource `menuId` at (x, y); returns the
  // command id chosen (an operation's, 41500 and above, or the slot of an
  // external module's process, from 0), -1 for none.
  virtual int32_t TrackPartMenu(uint32_t /*menuId*/, int /*x*/, int /*y*/) { return -1; }
  // A click on empty space: the current position follows the pointer when
  // the button is released (`moveNow`), and the rubber band starts at the
  // point.
  virtual void BeginRubberBand(int /*x*/, int /*y*/, int /*moveNow*/) {}
  // The first outline of a move/copy drag and the first slip feedback,
  // from their drag records' words.
  virtual void DrawMoveOutline(DcHandle, const int32_t* /*words*/) {}
  virtual void DrawSlipFeedback(DcHandle, const int32_t* /*words*/) {}
  // The number input dialog with caption string `caption`, showing *value;
  // returns the dialog's result (1 OK) and the entered number in *value.
  virtual int InputNumber(uint32_t /*caption*/, int32_t* /*value*/) { return 0; }
  // Runs the crossfade dialog on the pair whose first Part is `first`
  // (-1: the defaults); 1 OK, 0 Cancel.
  virtual int RunCrossfadeDialog(int32_t /*first*/) { return 0; }
  // Run the volume and fade dialog and the Part information dialog over
  // their working state; 1 OK, 0 Cancel.
  virtual int RunVolumeDialog(VolumeDlg&) { return 0; }
  // Builds the waveform overview file of the Take (a Take reference) with
  // its progress dialog; 1 when the file was written.
  virtual int BuildWaveform(uint32_t /*take*/) { return 0; }
  virtual int RunInfoDialog(InfoDlg&) { return 0; }
};

// The editing routines that work with the window; each returns as its own
// routine does (1 done, 0 refused; drag starts their drag handle or null).
class ArrEditRoutines {
 public:
  virtual ~ArrEditRoutines() = default;
  // The hit zone 0..11 of a point inside a Part: the row pixel line from 0
  // under the separator and the position.
  virtual int PartZone(const ArrRec*, uint32_t /*slot*/, uint32_t /*track*/, int32_t /*position*/,
                       int32_t /*rowLine*/) {
    return 0;
  }
  // The tool that the context tool set gives for a Part (-1 none), zone and
  // track; -1 when it gives none.
  virtual int ContextTool(int32_t /*part*/, int /*zone*/, uint32_t /*track*/) { return -1; }
  // The tool of the cursor cache entry of a Take kind index (0 Audio, 1
  // Automation, 2 Midi) with or without Alt, for a zone.
  virtual int CursorTool(int /*kindIndex*/, int /*alt*/, int /*zone*/) { return -1; }

  virtual int IoAssignMenu(WndHandle, DcHandle, int, int, int32_t, int) { return 0; }
  virtual void* BeginMoveCopy(DcHandle, int /*x*/, int /*y*/, int /*mode*/, int /*copy*/) {
    return nullptr;
  }
  virtual void* BeginTrim(DcHandle, int, int, int32_t, int /*zone*/, int /*op*/) { return nullptr; }
  virtual void* BeginSlip(DcHandle, int, int) { return nullptr; }
  virtual void* BeginGainDrag(DcHandle, int, int, int32_t) { return nullptr; }
  virtual void* BeginAutomEdit(DcHandle, int, int, int32_t, int /*zone*/) { return nullptr; }
  virtual int CutParts(DcHandle, int32_t /*position*/, int /*op*/) { return 0; }
  virtual int CropParts(DcHandle) { return 0; }
  virtual int FadeParts(int32_t, DcHandle, int /*op*/) { return 0; }
  virtual int CrossfadeAtPointer(DcHandle) { return 0; }
  virtual int CrossfadeDialog(int32_t /*position*/, int32_t /*part*/, uint32_t /*track*/, DcHandle) {
    return 0;
  }
  virtual int VolumeDialog(int32_t, DcHandle) { return 0; }
  virtual int InfoDialog(int32_t, DcHandle) { return 0; }
  virtual int RepeatParts(DcHandle) { return 0; }
  virtual int StereoLinkCmd(int32_t, DcHandle) { return 0; }
  virtual int MultiLinkCmd(int32_t, DcHandle) { return 0; }
  virtual int ToggleWaveforms(int32_t, DcHandle) { return 0; }
  virtual int SoloPart(DcHandle, int32_t, uint32_t, int32_t) { return 0; }
  virtual int SoloPartSpan(int32_t, DcHandle, int32_t, uint32_t) { return 0; }
  virtual int SoloScrub(DcHandle, uint32_t, int, int, int32_t, int32_t) { return 0; }
  virtual int ScrubAll(DcHandle, int32_t, int, int) { return 0; }
  virtual int Mixdown(WndHandle, DcHandle, int, int, int /*button*/) { return 0; }
  virtual int Consolidate(DcHandle) { return 0; }
  // The noise gate's parameter dialog (1 when confirmed) and its scan.
  virtual int NoiseGateDialog() { return 0; }
  virtual int NoiseGateScan(DcHandle) { return 0; }
  // The audio processing driver with an undo name and the routine (0
  // normalize, 1 DC removal); the automation driver with its undo name.
  virtual int ProcessAudio(DcHandle, uint32_t /*undoName*/, int /*routine*/) { return 0; }
  virtual int ProcessAutomation(DcHandle, uint32_t /*undoName*/) { return 0; }
  // The external modules' tool runner.
  virtual int ToolRunner(WndHandle, int, int, int32_t, int32_t) { return 0; }
  // An Automation Take's knobs: count, name (into a buffer), identity word.
  virtual int KnobCount(uint32_t /*take*/) { return 0; }
  virtual void KnobName(uint32_t /*take*/, int /*knob*/, char* buffer, int size) {
    if (size > 0) buffer[0] = '\0';
  }
  virtual uint32_t KnobId(uint32_t /*take*/, int /*knob*/) { return 0; }
};

// The seams in force: never null; the defaults above until replaced.
ArrEditWindow& ArrEditWnd();
ArrEditRoutines& ArrEditRtn();
// Installs implementations; null puts the default back.
void ArrSetEditSeams(ArrEditWindow* window, ArrEditRoutines* routines);
