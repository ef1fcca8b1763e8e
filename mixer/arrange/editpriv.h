// Helpers the arrange editor's edit operations share: refusals, the undo
// step and its withdrawal, the cut of one Part, re-sorting a Part whose
// start moved, and the common finish.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

namespace arredit {

// Shows string `id` as a warning with OK; returns 0 so that a refusal can
// be returned directly.
int Refuse(uint32_t id);
// 1 when the user answered Yes to the question `id` (Yes/No, No the default).
int AskYesNo(uint32_t id, uint32_t flags);

// Records the undo step; 0 when the store failed (it has reported it).
int BeginStep(uint32_t undoName);
// An operation that failed after its step was recorded: the step is undone
// and forgotten, so the arrangement is exactly as before the operation, and
// the failure `id` is shown.
void FailStep(uint32_t id);

// Part lengths from which Audio Parts carry no gain ramp.
constexpr int32_t kLongPartSamples = 8388608;

// Cuts the Part in `slot` of `track` at position p (start < p < end): the
// left piece keeps the slot, the right piece goes into a new slot (*right).
// Audio pieces meet at the gain the Part had at p; the snap point goes with
// the piece that holds it. Both pieces take `leftSel` and `rightSel` as
// their selected bits and the temporary mark; the right piece's crossfade
// links are repaired. The block may grow (*arr may move): callers reserve
// the slots first. 0 with the error id when the right piece cannot be
// inserted (nothing changed).
int CutPartAt(ArrRec** arr, uint32_t slot, uint32_t track, int32_t p, int leftSel, int rightSel,
              uint32_t* right, uint32_t* error);

// Puts the Part in `slot` of `track`, whose start changed, back at its
// sorted place in the track's list (after every Part starting at or before
// it), keeping its slot.
void ResortPart(ArrRec* arr, uint32_t slot, uint32_t track);

// Every selected Part's selected bit becomes KeepSel.
void SelectionToKeepSel(ArrRec* arr);

// With EditMultiOutMode 40896: mutes the Parts on other tracks that share
// the play channel of a selected Part and overlap it.
void MuteSelectedOverlaps(ArrRec* arr, DcHandle dc);

// Play lists, MIDI play lists and automation play maps rebuilt at the now
// position.
void RebuildPlay();

// The common finish: overlap links, crossfade links (marking what they
// change), redraw of the marked Parts, selection to KeepSel, play data
// rebuilt and the change count raised.
void Finish(DcHandle dc);

// The channel-link group of the Part in `slot`, (track, slot) from the
// group's head down; the Part alone when it is not linked, empty when the
// slot holds no Part of a track.
std::vector<std::pair<uint32_t, uint32_t>> LinkGroup(const ArrRec* arr, uint32_t slot);

// 1 when the Part is selected.
inline bool Sel(const PartRec& p) { return (p.Flags & kPartSelected) != 0; }
inline int64_t End(const PartRec& p) { return int64_t{p.Start} + p.Length; }

}  // namespace arredit
