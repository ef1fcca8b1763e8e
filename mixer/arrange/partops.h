// Operations on the selected Parts of the current arrangement (CurArr):
// output channels, mute, phase, timelock, snap point, the shown automation
// knob and gains changed in place; glue and delete; selection by rubber
// band and by channel-link group; stereo and multi-channel links. Each
// operation that changes the arrangement records its one undo step before
// the change and ends by raising the change count; a refusal shows its
// message and changes nothing. Parts are drawn into `dc` (null: nothing is
// drawn). The checks of links and names, ArrClearSelection, automatic
// muting and the redraw of marked Parts are in partlink.h.
#pragma once

#include <cstdint>

#include "mixer/arrange/editseams.h"
#include "mixer/model/arr.h"

// Gives the selected Parts of Take kind `kind` output channels: each
// selected link-group head (or Part without links) gives its group
// consecutive channels from the start channel, moved down so that the
// group ends at channel 128 at the most; for Audio the start is first
// lowered by the clicked Part's place in its group, so that the clicked
// Part gets `channel`. A channel below 1 becomes 0 (no output). Undo step
// "Output Change". 1 when done.
int ArrAssignOutputs(int32_t firstPart, DcHandle dc, uint32_t kind, int32_t channel);

// The clicked Part decides: on a channel 1..192, every selected Part on 1..192
// is muted (channel + 192); otherwise every selected Part above 192 is
// unmuted (- 192). Undo step "Output Mute". 1 when done.
int ArrToggleMute(int32_t part, DcHandle dc);

// A click within the double-click time of the previous one clears the snap
// points of the selected Parts; otherwise the click position, snapped to
// the edit grid, becomes the snap point of each selected Part that holds it
// strictly inside (else 0). Undo step "Snap Point Edit".
int ArrSetSnapPoint(DcHandle dc, int32_t position, const ArrInput& input);

// Joins each selected Part with the Parts that continue it exactly (next in
// its list, starting at its end, same Take and kind, the Take continuing,
// the same place in a link group of the same size). Undo step "Glue"; 192
// when the work table cannot be had, before any change.
int ArrGlueSelected(DcHandle dc);

// Deletes the selected Parts. 317 and nothing when one is timelocked. When
// a selected Part uses a Take that no unselected Part uses, the user is
// asked 184 whether to move those Takes into their "qvReBin" folders.
// Undo step "Delete".
int ArrDeleteSelected(DcHandle dc);
// The same with the answer given: `rebin` 1 moves the Takes, `asked` 1
// when the question was put (the ring of Takes in use is then rebuilt).
int ArrDeleteSelectedApply(DcHandle dc, int rebin, int asked);

// Every selected Part gets the opposite of the clicked Part's phase flag;
// 321 and nothing when a selected Part is not Audio. Undo "Phase Inversion".
int ArrInvertPhase(int32_t part, DcHandle dc);

// Every selected Part gets the opposite of the clicked Part's timelock
// flag. Undo "Timelock Status Change".
int ArrToggleTimelock(int32_t part, DcHandle dc);

// A pop-up menu of the clicked Automation Part's knobs, the shown one
// checked; the chosen knob is shown on every selected Automation Part whose
// Take has a knob of the same name and identity. 322 and nothing when a
// selected Part is not Automation. Undo "Automation Curve Selection Change".
int ArrChooseAutomKnob(int button, int32_t part, WndHandle window, DcHandle dc, int x, int y);

// Moves the start gain (which 0 or 2) and the end gain (1 or 2) of each
// selected Audio Part by the level change new - old in 0.1 dB, capped at
// 0.0 dB. For which 0 or 1, Parts of 8388608 samples or more are left as
// they are and stay selected, and *message (when not null) gets 273. No
// undo step: the caller records it. Returns the Parts changed.
uint32_t ArrAddGainDelta(ArrRec* arr, int which, uint32_t oldLevel, uint32_t newLevel, DcHandle dc,
                         uint32_t* message);

// One fade over the selected Audio Parts of a track from the earliest
// selected start to the latest selected end: equal gains give each Part
// both; otherwise each Part takes the span fade's gains at its ends and the
// curve. Parts of 8388608 samples or more stay as they are and selected,
// and 273 is shown at the end. No undo step. Returns the Parts changed.
uint32_t ArrSetTrackFade(DcHandle dc, ArrRec* arr, uint32_t track, uint32_t startGain,
                         uint32_t endGain, int curve);

// Sets the selected bit of the members of the Part's channel-link group to
// `value` (the Part itself only with includeSelf), redrawing them.
void ArrSetLinkGroupSelection(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int value,
                              int includeSelf);
// Selects the whole link group of every selected Part; returns the Parts
// newly selected.
uint32_t ArrExtendSelectionToLinks(DcHandle dc, ArrRec* arr);

// Links an Audio Part without links to its channel partner (without links
// itself) on the next track, on track 255 the previous one; the partner
// takes the Part's selected bit; `mark` sets the link-change mark on both.
// 1 when linked.
int ArrStereoLink(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark);
// Links partners track by track downward, then upward from the Part, until
// a track has none (with selectedOnly: no selected one). Returns the
// number of links made.
uint32_t ArrMultiChanLink(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark,
                          int selectedOnly);
// Breaks the Part's link group: every member loses both link bits and takes
// the Part's selected bit. Returns the members.
uint32_t ArrUnlinkGroup(DcHandle dc, ArrRec* arr, int32_t part, uint32_t track, int mark);

// The rubber band's rectangle in client coordinates of the child window.
struct ArrBandRect {
  int32_t X0, Y0, X1, Y1;
};
// Selects every Part of the band's tracks that overlaps its time range;
// returns how many Parts lie in it.
uint32_t ArrRubberBandSelect(DcHandle dc, const ArrBandRect& band);

// The slip drag record that the slip's start builds.
struct ArrSlipDrag {
  int32_t PressX;      // client x of the press
  int32_t LimitLeft;   // most samples the Take offsets may grow (mouse moved left)
  int32_t LimitRight;  // most samples they may shrink (mouse moved right)
  int32_t KeyStep;     // a slip from the keyboard: its step in samples; 0 for the mouse
};
// Ends a slip: the distance |x - PressX| x samples per pixel, snapped and
// limited, moves the Take offset of every selected Part (left: later in the
// Take, right: earlier; never below 0). 317 when a selected Part is
// timelocked. Undo "Slip". 1 when offsets moved.
int ArrSlipCommit(int32_t x, DcHandle dc, const ArrSlipDrag& drag);
