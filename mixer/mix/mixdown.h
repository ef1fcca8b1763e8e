// What a mixdown asks of the mixer: the outputs it can record, their
// routing text, and the temporary mixer that records one of them onto
// record tracks while the user's mixer waits as a memory image.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/mix/mixdoc.h"

// An output of the document that can be mixed down: an OUTPUT element's
// routing code and the channels its type puts out (at least 1).
struct MixdownOutput {
  int32_t Routing;
  int32_t Channels;
};
// The routed OUTPUT elements, in column order and top to bottom, each
// routing code once.
std::vector<MixdownOutput> MixdownOutputs(MixDoc* doc);

// The text of `channels` routing codes from `output` on ("BUS 3 U1", or
// "BUS 3-4 U1" for several), cut to `size` bytes with its terminator.
void MixFormatRouting(char* text, int32_t output, int32_t channels, int size);

// The temporary mixdown mixer: one column per channel, each an INPUT
// element taking channel i of the output and a native recorder element on
// record track recTracks[i], its DSPs allocated (the program's DSP state
// tells whether they fitted). Null when the output's channels leave its
// routing class or no module offers a mono input or a recorder type.
MixDoc* MixBuildMixdownMixer(int32_t output, int32_t channels, const int32_t* recTracks);

// The user's mixer while the mixdown mixer stands in for it: its image and
// its element-state snapshot, so that change detection goes on across the
// run.
struct MixdownSavedMixer {
  bool active = false;
  bool hadDoc = false;
  std::vector<uint8_t> image;
  uint32_t length = 0;
  std::vector<uint8_t> snapshot;
  int32_t hasSnapshot = 0;
};
// Keeps *current as an image, destroys it (its elements give their DSPs up)
// and makes the mixdown mixer current. 0 when either fails; *current is
// then the user's mixer again.
int MixdownSwapIn(MixDoc** current, MixdownSavedMixer* saved, int32_t output, int32_t channels,
                  const int32_t* recTracks);
// Destroys the mixdown mixer and reopens the user's from its image; 1 when
// the mixdown mixer's DSPs held through the run.
int MixdownSwapOut(MixDoc** current, MixdownSavedMixer* saved);
