// Services of the Take store that the rest of the model calls.
#pragma once

#include <cstdint>

// Four fifths of the free bytes available on the volume of the folder new
// recordings go to; 0 when it cannot be read.
uint64_t TakeRecFolderFreeBytes();

// TakeGetAttr, TakeSetAttr and TakeDataIo: numbered attributes of a Take.
#include "mixer/model/takeattr.h"
// Moves the Take's file into the "qvReBin" folder of its directory; 1 or 0.
int TakeMoveToReBin(uint32_t take);
