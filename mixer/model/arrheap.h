// The arrangement heap: the current arrangement and every undo copy of it
// come from here, and grow in 65536-byte steps. Lists of slots handed to
// callers (selected Parts, link groups) come from a block store of their
// own, since they are small and short-lived.
#pragma once

#include <cstdint>

#include "blockheap.h"

extern BlockHeap ArrHeap;

// A zero-filled list of `entries` slot indexes; null when there is no
// memory.
uint32_t* ArrSlotListAlloc(uint32_t entries);
void ArrSlotListFree(uint32_t* list);

// Makes the next ArrSlotListAlloc fail (tests of the out-of-memory paths).
void ArrSlotListFailNext();
