// The mixer's DSP allocation: every element of the document is placed on a
// mixer DSP of the unit its routing names, with room for its processing load
// and its memory areas; the placement is the handle the element gets in
// QVLoadElement, and the element's DSP requests come back through
// DspCommandBlock, which turns them into command blocks for that DSP.
#pragma once

#include <cstdint>

#include "elements/elemif.h"

struct MixDoc;
struct MixElem;

// Where an element runs. The word at offset 8 is the base of its sample
// memory (delay-compensation elements build their delay pointers from it).
struct MixDspPlacement {
  uint32_t Unit;        // unit index
  uint32_t Dsp;         // 0-based mixer DSP of the unit
  uint32_t SampleBase;  // base of the first sample-memory area
  uint32_t AreaType[kElemAreaCount];
  uint32_t AreaBase[kElemAreaCount];
  uint32_t AreaSize[kElemAreaCount];  // words of one bank
};
static_assert(offsetof(MixDspPlacement, SampleBase) == 8);
static_assert(sizeof(MixDspPlacement) == 84);

// In an area of the two-bank type, offsets from here address the second bank.
constexpr uint32_t kDspSecondBank = 0x20000;
// Words of one DSP command block.
constexpr uint32_t kDspBlockWords = 255;

// What one mixer DSP holds: processing load and words of memory per area
// type (0 and 1 data, 2 program, 3 sample, 5 two-bank data).
struct MixDspCapacity {
  uint32_t Load = 1000;
  uint32_t Words[kElemAreaCount] = {0x4000, 0x4000, 0x8000, 0x40000, 0, 0x4000};
};

// Places every element of the document (and unloads those that lose their
// place). 1 when every element that can run found room; the limits met are
// reported with messages 304 (data memory), 305 (program memory) and 308 (a
// unit without mixer DSPs), each at most once per run.
int MixerDspAllocate(MixDoc* doc);
// Unloads the element from its DSP and frees its placement.
void MixDspRelease(MixElem* elem);

// The host DSP callback of the element modules: 0 when every block was
// accepted, -1 for a null handle, -2 for a refused request or a failed
// block.
int32_t ELEMAPI DspCommandBlock(void* dspHandle, uint32_t op, uint32_t memIndex, uint32_t offset, uint32_t count,
                                uint32_t* words);

// The mixer DSP state after the last allocation, checked from the timer:
// message 303 once each time the processing limit is newly reached.
int MixCheckDspLimit();
