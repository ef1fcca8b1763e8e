// Services of the undo store.
#pragma once

#include <cstdint>

// Records an undo step named by a string id; 1, or 0 after a failure, which
// discards all undo steps.
int UndoRecord(uint32_t actionName);
// Drops that many of the newest levels (0 = all).
void UndoDiscard(uint32_t levels);
