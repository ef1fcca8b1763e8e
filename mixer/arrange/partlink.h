// Checks of the Parts' channel links and names, the selection, automatic
// muting of Parts that share a play channel, and the redraw of marked Parts.
// A null device context draws nothing.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/arr.h"

// 1 when every channel-link bit has its partner: bit 1 a Part with bit 2 on
// the next track, bit 2 a Part with bit 1 on the previous track (ArrLinkNxt,
// ArrLinkPrv); else 0. With `repair` every bit without a partner is cleared
// (until none is left) and its Part redrawn.
int ArrCheckPartLinks(ArrRec* arr, int repair, DcHandle dc);

// 1 when every Part name is usable: terminated within its 64 bytes, not
// empty, not beginning with a blank, none of ? * < > / \ : | ". Else 0;
// with `repair` each bad name is mended (terminated, bad characters made
// blanks, leading blanks dropped; a name left empty takes its Take's name)
// and its Part redrawn.
int ArrCheckPartNames(ArrRec* arr, int repair, DcHandle dc);

// Clears the selected bit of every Part; returns how many were selected.
// With `redraw`, each changed Part is redrawn into dc, or, without one, the
// arrange windows when anything changed.
uint32_t ArrClearSelection(ArrRec* arr, DcHandle dc, int redraw);

// For a Part on a valid play channel (1..192 Audio, 1..128 other kinds):
// every Part of the same kind on another track on the same channel that
// shares a sample with it is muted (channel + 192) and redrawn, unselected
// when drawUnselected is set. 1 when a Part was muted.
int ArrMuteSameOutputOverlaps(ArrRec* arr, uint32_t slot, uint32_t track, DcHandle dc,
                              int drawUnselected);

// Redraws every Part that carries the temporary mark, and every Part whose
// crossfade partner on a lower layer carries it. Selected Parts are drawn
// unselected while KeepSel is off.
void ArrRedrawMarked(DcHandle dc, ArrRec* arr);
