// The program's link to its native devices: one device per 128 output
// tracks, each given the Take store's disk callbacks, the hand-over of a
// track's compiled play list to the device that serves it, and the calls
// the transport makes on every device (prepare, start, stop, clock).
//
// The link calls the device layer through a table: the portable build binds
// the layer linked in (natlink_static.cpp), the program binds qvNatDev.dll
// by its export names (win32/natdev_bind.cpp).
#pragma once

#include <cstdint>

#include "native/qvNatDev/natdev.h"

inline constexpr int32_t kNatTracksPerDevice = 128;
inline constexpr int32_t kNatMaxDevices = 2;

struct NatDevApi {
  decltype(&OpenNatDevice) open;
  decltype(&CloseNatDevice) close;
  decltype(&NatXGetStatus) getStatus;
  decltype(&NatXWaitUntilIdle) waitIdle;
  decltype(&Nat1GetDiskErrorStat) getDiskError;
  decltype(&Nat1GetCloc) getCloc;
  decltype(&Nat1GetAudioBufMinimum) getBufMinimum;
  decltype(&Nat1Stop) stop;
  decltype(&Nat1SyncStartPlayRecPhase3) start;
  decltype(&Nat1GetEnvelopes) getEnvelopes;
  decltype(&Nat1SetAudPlayList) setPlayList;
  decltype(&Nat1SetSrate) setSrate;
  decltype(&Nat1SetTimeCodeStatics) setTimeCode;
  decltype(&Nat1SetPlayRecEndLoc) setEnd;
  decltype(&Nat1PrepAudPlayBufs) prep;
  decltype(&Nat1SetSeamlessLoopParams) setLoop;
  decltype(&Nat1SetFadeCurvTable) setFadeCurve;
  decltype(&Nat1SetAudTrkCfg) setTrkCfg;
  decltype(&Nat1GetAudioRecTfrLocs) getRecTfrLocs;
};
// The layer linked into this binary.
const NatDevApi* NatDevStaticApi();
// Chooses the binding; null unbinds (every call then finds no device).
void NatLinkBind(const NatDevApi* api);
const NatDevApi* NatLinkApi();

// Opens enough devices for `tracks` output tracks (1..256). 1, or 0 with the
// devices opened so far closed again and the layer's error in *error.
int NatLinkOpenAll(int32_t tracks, const RecorderDiskCallbacks* callbacks, int32_t* error);
void NatLinkCloseAll();
// The device serving output track `channel` (1-based) and the device's own
// track number (1..128); null when none is open for it.
NatDevice* NatLinkDevice(int32_t channel, int32_t* deviceTrack);
int32_t NatLinkDeviceCount();
// The end of the stretch of time line (from 0) that the play list last sent
// for output track `channel` covers: the sum of its main lane's lengths; -1
// when none was sent.
int64_t NatLinkListWindowEnd(int32_t channel);

// Every open device: the sample rate, the time-code values, the end
// location, the loop, the 8 fade shapes of the curve table.
void NatLinkSetSrate(uint32_t rate);
void NatLinkSetTimeCode(int32_t value);
void NatLinkSetEnd(int32_t location);
void NatLinkSetLoop(int32_t enable, int32_t loopStart, int32_t loopEnd, int32_t end);
void NatLinkSetFadeCurves();
// The lowest location up to which the recorded audio of the listed output
// tracks (1-based) has reached the disk; `fallback` when no device serves
// them.
int64_t NatLinkRecTransferLoc(const int32_t* channels, int32_t count, int64_t fallback);
// Prepares every device's play buffers at the location.
void NatLinkPrepAll(int32_t location);
// Waits until no device is in the prepared state any more (its buffers are
// filled), polling every `pollMs` ms, at most `limitMs`; 1 when they all left
// it. `sleep` is the caller's wait (null: spin).
int NatLinkWaitPrepared(uint32_t pollMs, uint32_t limitMs, void (*sleep)(uint32_t ms));
void NatLinkStartAll();
void NatLinkStopAll();
// The clock of device 0; 0 without a device.
int32_t NatLinkGetCloc();
// 1 when every device is idle (also when none is open).
int NatLinkAllIdle();
// Waits until every device is idle, polling every `pollMs` ms, at most
// `limitMs`; 1 when they all became idle. `sleep` is the caller's wait
// (null: spin).
int NatLinkWaitIdle(uint32_t pollMs, uint32_t limitMs, void (*sleep)(uint32_t ms));
// 1 when any device is in the prepared state.
int NatLinkAnyPrepared();
// The smallest buffer reserve of the devices (0x7FFFFFFF without devices).
int32_t NatLinkBufMinimum();
// 1 with the Take whose transfer failed on any device.
int NatLinkDiskError(int32_t* take);
// Envelope points of a Take (its store reference) read through device 0.
int NatLinkEnvelopes(int32_t count, int32_t samplesPerPoint, int32_t take, uint32_t position,
                     NatEnvelopePoint* out);
