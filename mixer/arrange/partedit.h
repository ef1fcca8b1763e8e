// Queries of single Parts and of the arrangement that the Part edit
// operations, the flatten copy and the arrangement file writer share.
#pragma once

#include <cstdint>

#include "mixer/model/arr.h"

// Gain of an Audio Part at `offset` samples from its start: the fade along
// its gain curve from its start gain to its end gain over its length (32768
// = unity; stored gains above 65536 count as 65536). 0 for other kinds.
uint32_t ArrPartGainAt(int32_t offset, const PartRec& part);

// 1 when two Parts on different tracks have the same Take kind and the same
// valid play channel (1..192 Audio, 1..128 other kinds) and share a sample,
// else 0. Parts without samples (length 0 or less) share none.
int ArrHasPlayChanOverlap(const ArrRec* arr);
