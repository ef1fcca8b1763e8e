// Opening and closing the native devices, their clock and reserve, the fade
// shapes, and the play lists rebuilt from the arrangement.
#include "mixer/model/arr.h"
#include "mixer/units/playlist.h"
#include "mixer/units/services.h"
#include "mixer/units/win32/natdev_win.h"
#include "native/qvNatRec/takedisk.h"

// The devices serve every output track, one per 128; each gets the Take
// store's transfers by Take reference, as the play events name the Takes.
// `tracks` is the number of track channels each device runs.
int NatDevOpenAll(int tracks, const NatDiskCallbacks*) {
  const NatDevApi* api = NatDevLibraryApi();
  if (api == nullptr) return 1;  // no native engine installed: nothing plays natively
  NatLinkBind(api);
  int32_t error = 0;
  if (!NatLinkOpenAll(kPlayChannels, &kTakeDiskCallbacks, &error)) return 0;
  for (int32_t k = 0; k < NatLinkDeviceCount(); ++k) {
    NatDevice* dev = NatLinkDevice(k * kNatTracksPerDevice + 1, nullptr);
    api->setTrkCfg(dev, tracks);
    NatSimAttach(k, dev);
  }
  return 1;
}

void NatDevCloseAll() {
  if (NatLinkApi() == nullptr) return;
  NatLinkStopAll();
  for (int32_t k = NatLinkDeviceCount() - 1; k >= 0; --k) NatSimDetach(k);
  NatLinkCloseAll();
}

int32_t NatDevGetAudioBufMinimum() { return NatLinkApi() ? NatLinkBufMinimum() : 0x7FFFFFFF; }

int32_t NatDevGetCloc() { return NatLinkApi() ? NatLinkGetCloc() : 0; }

void NatDevSetFadeCurves() {
  if (NatLinkApi()) NatLinkSetFadeCurves();
}

void RebuildAndPrepPlayLists(ArrRec* arr, int32_t position) {
  if (NatLinkApi() == nullptr) return;
  if (arr != nullptr) {
    CompileAllPlayLists(arr);
  } else {
    for (int32_t channel = 1; channel <= kPlayChannels; ++channel) SilenceTrack(channel);
  }
  const int state = TransportState();
  if (state == kTransportPlaying || state == kTransportRecording) return;
  UnitsPrepPlayBufs(position);
  NatLinkPrepAll(position);
}

void SendPlayListsAt(int32_t) {
  if (NatLinkApi() != nullptr && CurArr != nullptr) CompileAllPlayLists(CurArr);
}
