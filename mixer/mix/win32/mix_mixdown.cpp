// The mixdown's mixer in the program: the user's document waits as a
// memory image while the mixdown mixer is the current document.
#include "mixer/mix/mixdown.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"

namespace {
MixdownSavedMixer g_saved;
}  // namespace

int MixStartMixdownMixer(int32_t output, int32_t channels, const int32_t* recTracks) {
  MixProgramSetUp();
  return MixdownSwapIn(&MixCurrentDoc(), &g_saved, output, channels, recTracks);
}

int MixEndMixdownMixer() { return MixdownSwapOut(&MixCurrentDoc(), &g_saved); }

void MixMixdownRoutingText(int32_t output, int32_t channels, char* text, int size) {
  MixFormatRouting(text, output, channels, size);
}

int MixMixdownOutputs(int32_t* routing, int32_t* channels, int max) {
  int n = 0;
  for (const MixdownOutput& o : MixdownOutputs(MixCurrentDoc())) {
    if (n >= max) break;
    routing[n] = o.Routing;
    channels[n] = o.Channels;
    ++n;
  }
  return n;
}
