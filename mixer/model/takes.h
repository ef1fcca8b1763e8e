// Services of the Take store that the rest of the model calls.
#pragma once

#include <cstdint>

// Four fifths of the free bytes available on the volume of the folder new
// recordings go to; 0 when it cannot be read.
uint64_t TakeRecFolderFreeBytes();

// Attribute `number` (0..33) of a Take; unknown numbers give 0. `take` is the
// Take store's reference as a Part holds it (PartRec::Take).
uint32_t TakeGetAttr(uint32_t take, uint32_t number);
// Moves the Take's file into the "qvReBin" folder of its directory; 1 or 0.
int TakeMoveToReBin(uint32_t take);
