// Running a placed element's program on the simulated DSP: the program
// words in its program area are carried out once per sample frame over its
// data areas, as the mixer DSP does (instruction words: elements/dspcode.h).
#pragma once

#include <cstdint>

#include "sim/dsp/simdsp.h"

// Largest 24-bit sample magnitudes.
constexpr int32_t kSimSampleMax = 0x7FFFFF;
constexpr int32_t kSimSampleMin = -0x800000;

// Runs frames sample frames: in holds inChannels interleaved samples per
// frame, out outChannels (cleared first; channels the program does not
// store stay 0). Channels a word names beyond the counts read 0 and store
// nowhere; words naming areas or offsets the element lacks do nothing.
void SimDspProcess(SimDspElement* element, const int32_t* in, uint32_t inChannels, int32_t* out,
                   uint32_t outChannels, uint32_t frames);
