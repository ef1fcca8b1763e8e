#include "mixer/units/natlink.h"

#include "mixer/units/playlist.h"

namespace {

NatDevice* gDevices[kNatMaxDevices];
int32_t gCount = 0;

}  // namespace

int NatLinkOpenAll(int32_t tracks, const RecorderDiskCallbacks* callbacks, int32_t* error) {
  NatLinkCloseAll();
  if (tracks < 1 || tracks > kNatTracksPerDevice * kNatMaxDevices || callbacks == nullptr) {
    if (error != nullptr) *error = kNatErrRecorder;
    return 0;
  }
  const int32_t want = (tracks + kNatTracksPerDevice - 1) / kNatTracksPerDevice;
  for (int32_t k = 0; k < want; ++k) {
    NatDevice* dev = OpenNatDevice(static_cast<uint32_t>(k), callbacks, error);
    if (dev == NatBadDevice()) {
      NatLinkCloseAll();
      return 0;
    }
    gDevices[gCount++] = dev;
  }
  return 1;
}

void NatLinkCloseAll() {
  while (gCount > 0) {
    CloseNatDevice(gDevices[--gCount]);
    gDevices[gCount] = nullptr;
  }
}

NatDevice* NatLinkDevice(int32_t channel, int32_t* deviceTrack) {
  if (channel < 1) return nullptr;
  const int32_t k = (channel - 1) / kNatTracksPerDevice;
  if (k >= gCount) return nullptr;
  if (deviceTrack != nullptr) *deviceTrack = (channel - 1) % kNatTracksPerDevice + 1;
  return gDevices[k];
}

int32_t NatLinkDeviceCount() { return gCount; }

int SendTrackPlayList(int32_t channel, const PlayList* list, int32_t) {
  int32_t track = 0;
  NatDevice* dev = NatLinkDevice(channel, &track);
  if (dev == nullptr || list == nullptr) return 0;
  return Nat1SetAudPlayList(dev, 0, track, static_cast<int32_t>(list->Count0), list->List0,
                            static_cast<int32_t>(list->Count1), list->List1);
}
