// The program's link to its native devices: one device per 128 output
// tracks, each given the Take store's disk callbacks, and the hand-over of a
// track's compiled play list to the device that serves it.
#pragma once

#include <cstdint>

#include "native/qvNatDev/natdev.h"

inline constexpr int32_t kNatTracksPerDevice = 128;
inline constexpr int32_t kNatMaxDevices = 2;

// Opens enough devices for `tracks` output tracks (1..256). 1, or 0 with the
// devices opened so far closed again and the layer's error in *error.
int NatLinkOpenAll(int32_t tracks, const RecorderDiskCallbacks* callbacks, int32_t* error);
void NatLinkCloseAll();
// The device serving output track `channel` (1-based) and the device's own
// track number (1..128); null when none is open for it.
NatDevice* NatLinkDevice(int32_t channel, int32_t* deviceTrack);
int32_t NatLinkDeviceCount();
