// The mixdown's mixer in the program: the user's document waits as a
// memory image while the mixdown mixer is the current document, and comes
// back from the image afterwards.
#include <vector>

#include "mixer/mix/mixdown.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"

namespace {

struct SavedMixer {
  bool active = false;
  bool hadDoc = false;
  std::vector<uint8_t> image;
  uint32_t length = 0;
  std::vector<uint8_t> snapshot;  // change detection goes on across the run
  int32_t hasSnapshot = 0;
};
SavedMixer g_saved;

void RestoreUserMixer() {
  MixDoc* doc = nullptr;
  if (g_saved.hadDoc) {
    doc = MixOpenFromMemory(&g_saved.image, g_saved.length, 1);
    if (doc != nullptr) {
      doc->Snapshot = g_saved.snapshot;
      doc->HasSnapshot = g_saved.hasSnapshot;
    }
  }
  MixCurrentDoc() = doc;
  g_saved = SavedMixer();
}

}  // namespace

int MixStartMixdownMixer(int32_t output, int32_t channels, const int32_t* recTracks) {
  MixProgramSetUp();
  if (g_saved.active) return 0;
  MixDoc* user = MixCurrentDoc();
  g_saved.hadDoc = user != nullptr;
  if (user != nullptr) {
    if (!MixBuildImage(user, &g_saved.image, &g_saved.length)) {
      g_saved = SavedMixer();
      return 0;
    }
    g_saved.snapshot = user->Snapshot;
    g_saved.hasSnapshot = user->HasSnapshot;
  }
  // The user's elements give their DSPs up to the mixdown mixer's.
  MixDocDestroy(user);
  MixCurrentDoc() = nullptr;
  MixDoc* mixdown = MixBuildMixdownMixer(output, channels, recTracks);
  if (mixdown == nullptr) {
    RestoreUserMixer();
    return 0;
  }
  MixCurrentDoc() = mixdown;
  g_saved.active = true;
  return 1;
}

int MixEndMixdownMixer() {
  if (!g_saved.active) return 0;
  const int held = MixDspState() == 1;
  MixDocDestroy(MixCurrentDoc());
  MixCurrentDoc() = nullptr;
  RestoreUserMixer();
  return held;
}

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
