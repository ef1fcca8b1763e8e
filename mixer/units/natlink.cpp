#include "mixer/units/natlink.h"

#include <algorithm>
#include <cstdint>

#include "mixer/model/util/fade.h"
#include "mixer/units/playlist.h"

namespace {

const NatDevApi* gApi = nullptr;
NatDevice* gDevices[kNatMaxDevices];
int32_t gCount = 0;

}  // namespace

void NatLinkBind(const NatDevApi* api) {
  NatLinkCloseAll();
  gApi = api;
}

const NatDevApi* NatLinkApi() { return gApi; }

int NatLinkOpenAll(int32_t tracks, const RecorderDiskCallbacks* callbacks, int32_t* error) {
  NatLinkCloseAll();
  if (gApi == nullptr || tracks < 1 || tracks > kNatTracksPerDevice * kNatMaxDevices ||
      callbacks == nullptr) {
    if (error != nullptr) *error = kNatErrRecorder;
    return 0;
  }
  const int32_t want = (tracks + kNatTracksPerDevice - 1) / kNatTracksPerDevice;
  for (int32_t k = 0; k < want; ++k) {
    NatDevice* dev = gApi->open(static_cast<uint32_t>(k), callbacks, error);
    if (dev == NatBadDevice() || dev == nullptr) {
      NatLinkCloseAll();
      return 0;
    }
    gDevices[gCount++] = dev;
  }
  return 1;
}

void NatLinkCloseAll() {
  while (gCount > 0) {
    gApi->close(gDevices[--gCount]);
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

namespace {
constexpr int32_t kLinkTracks = kNatTracksPerDevice * kNatMaxDevices;
// The end of the stretch of time line that each output track's list, as
// last accepted, covers from 0; -1 before one was sent.
int64_t* WindowEnds() {
  static int64_t ends[kLinkTracks] = {};
  static const bool unset = [] {
    for (int64_t& e : ends) e = -1;
    return true;
  }();
  (void)unset;
  return ends;
}
}  // namespace

int SendTrackPlayList(int32_t channel, const PlayList* list, int32_t) {
  int32_t track = 0;
  NatDevice* dev = NatLinkDevice(channel, &track);
  if (dev == nullptr || list == nullptr) return 0;
  const int32_t sent = gApi->setPlayList(dev, 0, track, static_cast<int32_t>(list->Count0), list->List0,
                                         static_cast<int32_t>(list->Count1), list->List1);
  if (sent && channel >= 1 && channel <= kLinkTracks) {
    int64_t end = 0;
    for (uint32_t i = 0; list->List0 != nullptr && i < list->Count0; ++i) end += list->List0[i].Length;
    WindowEnds()[channel - 1] = end;
  }
  return sent;
}

int64_t NatLinkListWindowEnd(int32_t channel) {
  return channel >= 1 && channel <= kLinkTracks ? WindowEnds()[channel - 1] : -1;
}

void NatLinkSetSrate(uint32_t rate) {
  for (int32_t k = 0; k < gCount; ++k) gApi->setSrate(gDevices[k], rate);
}

void NatLinkSetTimeCode(int32_t value) {
  for (int32_t k = 0; k < gCount; ++k) gApi->setTimeCode(gDevices[k], value);
}

void NatLinkSetEnd(int32_t location) {
  for (int32_t k = 0; k < gCount; ++k) gApi->setEnd(gDevices[k], location);
}

void NatLinkSetLoop(int32_t enable, int32_t loopStart, int32_t loopEnd, int32_t end) {
  for (int32_t k = 0; k < gCount; ++k) gApi->setLoop(gDevices[k], enable, loopStart, loopEnd, end);
}

void NatLinkSetFadeCurves() {
  // Each shape sampled at 16 points along the fade; the recorder holds the
  // 17th, the end of every curve, itself.
  for (int32_t row = 0; row < kFadeShapeCount; ++row) {
    int32_t points[16];
    for (int32_t i = 0; i < 16; ++i) points[i] = FadeShape(row, i, 16);
    for (int32_t k = 0; k < gCount; ++k) gApi->setFadeCurve(gDevices[k], row, points);
  }
}

void NatLinkPrepAll(int32_t location) {
  for (int32_t k = 0; k < gCount; ++k) gApi->prep(gDevices[k], location);
}

int NatLinkWaitPrepared(uint32_t pollMs, uint32_t limitMs, void (*sleep)(uint32_t ms)) {
  for (uint32_t waited = 0;; waited += pollMs) {
    bool prepared = false;
    for (int32_t k = 0; k < gCount; ++k)
      if (gApi->getStatus(gDevices[k]) == kNatDevPrepared) prepared = true;
    if (!prepared) return 1;
    if (waited >= limitMs) return 0;
    if (sleep != nullptr) sleep(pollMs);
  }
}

void NatLinkStartAll() {
  for (int32_t k = 0; k < gCount; ++k) gApi->start(gDevices[k]);
}

void NatLinkStopAll() {
  for (int32_t k = 0; k < gCount; ++k) gApi->stop(gDevices[k]);
}

int64_t NatLinkRecTransferLoc(const int32_t* channels, int32_t count, int64_t fallback) {
  int64_t least = INT64_MAX;
  for (int32_t k = 0; k < gCount; ++k) {
    int64_t locations[kNatTracksPerDevice] = {};
    if (!gApi->getRecTfrLocs(gDevices[k], locations)) continue;
    for (int32_t i = 0; i < count; ++i) {
      int32_t track = 0;
      if (NatLinkDevice(channels[i], &track) == gDevices[k] && track >= 1 && track <= kNatTracksPerDevice)
        least = std::min(least, locations[track - 1]);
    }
  }
  return least == INT64_MAX ? fallback : least;
}

int32_t NatLinkGetCloc() { return gCount > 0 ? gApi->getCloc(gDevices[0]) : 0; }

int NatLinkAllIdle() {
  for (int32_t k = 0; k < gCount; ++k)
    if (gApi->getStatus(gDevices[k]) != kNatDevIdle) return 0;
  return 1;
}

int NatLinkWaitIdle(uint32_t pollMs, uint32_t limitMs, void (*sleep)(uint32_t ms)) {
  for (uint32_t waited = 0;; waited += pollMs) {
    if (NatLinkAllIdle()) return 1;
    if (waited >= limitMs) return 0;
    if (sleep != nullptr) sleep(pollMs);
  }
}

int NatLinkAnyPrepared() {
  for (int32_t k = 0; k < gCount; ++k)
    if (gApi->getStatus(gDevices[k]) == kNatDevPrepared) return 1;
  return 0;
}

int32_t NatLinkBufMinimum() {
  int32_t least = 0x7FFFFFFF;
  for (int32_t k = 0; k < gCount; ++k) {
    const int32_t m = gApi->getBufMinimum(gDevices[k]);
    if (m < least) least = m;
  }
  return least;
}

int NatLinkDiskError(int32_t* take) {
  for (int32_t k = 0; k < gCount; ++k)
    if (gApi->getDiskError(gDevices[k], take)) return 1;
  return 0;
}

int NatLinkEnvelopes(int32_t count, int32_t samplesPerPoint, int32_t take, uint32_t position,
                     NatEnvelopePoint* out) {
  if (gCount == 0) return 0;
  return gApi->getEnvelopes(gDevices[0], count, samplesPerPoint, take,
                            static_cast<int32_t>(position), 0, out);
}
