// The arrangement-wide commands of the main menu on the current arrangement
// (CurArr): the global cuts between the locators or at the now position,
// moving or copying the selection to the left locator, the selection and
// locator commands and flattening. Each command without arguments asks its
// questions first and then runs its Apply routine with the answers; the
// Apply routines take the answers as arguments and ask nothing. They return
// 1 when they changed the arrangement.
//
// A command that fails after recording its undo step undoes that step
// again, so that the arrangement, the markers and the undo store are as
// before the command, and shows the failure.
#pragma once

#include <cstdint>

#include "mixer/model/arr.h"

// The answers of a global command.
struct ArrGlobalAnswers {
  uint8_t Tracks[kArrTracks];  // the chosen Virtual Tracks: 1 included
  int Proceed;                 // the timelock or crossfade question: 1 Yes
  int ReBin;                   // Global Cut & Delete: move unreferenced Takes away
};

// Fills the answers of a command that works on chosen tracks: the tracks
// question (AskTrksWithSelParts), and for `timelock` 318 when a Part of the
// chosen tracks is timelocked and ends after the left locator.
void ArrAskGlobal(ArrGlobalAnswers* answers, int timelock);

int ArrGlobalCutAndSelect();
int ArrGlobalCutAndSelectApply(const ArrGlobalAnswers& answers);
int ArrGlobalCutAtNowLoc();
int ArrGlobalCutAtNowLocApply(const ArrGlobalAnswers& answers);
int ArrGlobalCutAndInsert();
int ArrGlobalCutAndInsertApply(const ArrGlobalAnswers& answers);
int ArrGlobalCutAndDelete();
int ArrGlobalCutAndDeleteApply(const ArrGlobalAnswers& answers);

// Moves (copy 0) or copies the selected Parts so that the earliest snap
// position of the first selected Parts of the tracks lands on the left
// locator. 268 without a selection; moving timelocked Parts asks 318.
int ArrMoveCopySelToLeftLoc(int copy);
int ArrMoveCopySelToLeftLocApply(int copy, int proceed);

// Selection commands: no undo step; the arrange windows are redrawn when
// the selection changed.
int ArrSelectAllParts();
int ArrSelectPartsInLocRange();
int ArrSelectPartsAfterLeftLoc();
int ArrSelectPartsWithoutPlayChan();
int ArrSelectTimelockedParts();
int ArrSelectPartsOnSelTrks();
int ArrSelectPartsOfSamePlayChan();
int ArrSelectPartsOfSameTake();
int ArrSelectPartsFromFirstSel();
int ArrDeselectAllCmd();
int ArrInvertPartSelection();
// The same for the chosen-track commands with the tracks given.
int ArrSelectPartsInLocRangeOn(const uint8_t tracks[kArrTracks]);
int ArrSelectPartsAfterLeftLocOn(const uint8_t tracks[kArrTracks]);
int ArrSelectPartsWithoutPlayChanOn(const uint8_t tracks[kArrTracks]);
int ArrSelectTimelockedPartsOn(const uint8_t tracks[kArrTracks]);

// Locators from the selection; nothing without one.
int ArrSetLocsToSelection();
int ArrSetLeftLocToSelEnd();
int ArrSetRightLocToSelStart();

// Keeps only the visible sections of every track. 335 when no Parts
// overlap; with crossfades asks 337 first.
int ArrFlatten();
int ArrFlattenApply(int proceed);

// After a change of the tempo map or the sample rate: the tempo-following
// Midi Parts are moved so that each keeps its musical position; they end
// up the selection.
int ArrRetimeMidiParts(ArrRec** arr);
