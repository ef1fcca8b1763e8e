// The native device layer (qvNatDev): drives a native recorder the way the
// program drives a DSP unit, through a device handle, 32-bit locations,
// status codes and the program's own play lists. One recorder per device;
// most calls are forwarded, and each track's two lanes of play events
// become the recorder's five segment lists.
//
// The exports use the standard-call convention of the 32-bit library and
// are exported under their decorated names. 32-bit locations are
// sign-extended to the recorder's 64-bit ones.
#pragma once

#include <cstdint>

#include "mixer/units/playlist.h"
#include "native/qvNatRec/recorder.h"

#if defined(_WIN32) && !defined(_WIN64)
#define HRL_NATAPI __attribute__((stdcall))
#else
#define HRL_NATAPI
#endif

// The device: the caller's disk callbacks, the sample rate and the recorder.
struct NatDevice {
  RecorderDiskCallbacks callbacks;
  uint32_t rate;
  Recorder* recorder;
};
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(NatDevice) == 16);
#endif

// Errors written through OpenNatDevice's error pointer.
enum NatError : int32_t {
  kNatErrNone = 0,
  kNatErrRecorder = 150,  // the recorder failed to open
  kNatErrMemory = 192,    // out of memory
};

// NatXGetStatus.
enum NatDevStatus : int32_t {
  kNatDevIdle = 4096,
  kNatDevPrepared = 4099,
  kNatDevBusy = 4100,
};
NatDevStatus NatStatusOfRecorder(int32_t recorderState);

// The handle OpenNatDevice gives on failure.
inline NatDevice* NatBadDevice() { return reinterpret_cast<NatDevice*>(~uintptr_t{0}); }

// One point of a waveform envelope.
struct NatEnvelopePoint {
  int16_t maximum;
  int16_t minimum;
};
static_assert(sizeof(NatEnvelopePoint) == 4);

// The recorder exports the layer calls, bound statically in the portable
// library and by name in the DLL.
struct NatRecApi {
  decltype(&OpenRecorder) open;
  decltype(&CloseRecorder) close;
  decltype(&RecorderSetDisk0List) setDisk0;
  decltype(&RecorderSetDisk1List) setDisk1;
  decltype(&RecorderSetFade0List) setFade0;
  decltype(&RecorderSetFade1List) setFade1;
  decltype(&RecorderSetDiskRList) setDiskR;
  decltype(&RecorderSetFadeCurvTable) setFadeCurve;
  decltype(&RecorderGetStatus) getStatus;
  decltype(&RecorderWaitUntilIdle) waitIdle;
  decltype(&RecorderGetDiskErrorStat) getDiskError;
  decltype(&RecorderGetCloc) getCloc;
  decltype(&RecorderGetExpandedCloc) getExpandedCloc;
  decltype(&RecorderGetAudioBufMinimum) getBufMinimum;
  decltype(&RecorderGetAudioRecTfrLocs) getRecTfrLocs;
  decltype(&RecorderGetPlayListState) getPlayListState;
  decltype(&RecorderSetAudTrkCfg) setTrkCfg;
  decltype(&RecorderSetTimeCodeStatics) setTimeCode;
  decltype(&RecorderSetPlayRecEndLoc) setEnd;
  decltype(&RecorderSetSeamlessLoopParams) setLoop;
  decltype(&RecorderPrepAudPlayBufs) prep;
  decltype(&RecorderStartPlayRec) start;
  decltype(&RecorderStop) stop;
  decltype(&RecorderSetScrubParam) setScrub;
  decltype(&RecorderPrepScrubBufs) prepScrub;
  decltype(&RecorderStartScrub) startScrub;
  decltype(&RecorderSetAsyncHoldLoc) setHold;
  decltype(&RecorderNORMProcess) normalise;
  decltype(&RecorderREMDCProcess) removeDc;
  decltype(&RecorderRenderProcess) render;
  decltype(&RecorderNoiseGateScan) gateScan;
  decltype(&RecorderGetMaxPeak) getPeak;
  decltype(&RecorderGetNoiseGateOnList) getGateList;
  decltype(&RecorderTimeCodeSlaveArmPlayRec) slaveArm;
};
// The binding in use; null when the recorder library is missing.
const NatRecApi* NatRec();

// The gate-on list handed to the caller: a movable global memory block (in
// the portable build, a heap block) of {i32 count, count pairs {start, end}}.
void* NatGlobalAlloc(uint32_t bytes);
int32_t* NatGlobalLock(void* block);
void NatGlobalUnlock(void* block);
void NatGlobalFree(void* block);

extern "C" {

NatDevice* HRL_NATAPI OpenNatDevice(uint32_t index, const RecorderDiskCallbacks* callbacks,
                                    int32_t* error);
int32_t HRL_NATAPI CloseNatDevice(NatDevice* dev);
int32_t HRL_NATAPI NatXGetStatus(NatDevice* dev);
int32_t HRL_NATAPI NatXWaitUntilIdle(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetDiskErrorStat(NatDevice* dev, int32_t* take);
int32_t HRL_NATAPI Nat1GetCloc(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetExpandedCloc(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetAudioBufMinimum(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetAudioRecTfrLocs(NatDevice* dev, int64_t* locations);
int32_t HRL_NATAPI Nat1GetPlayListState(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetMaxPeak(NatDevice* dev);
int32_t HRL_NATAPI Nat1Stop(NatDevice* dev);
int32_t HRL_NATAPI Nat1SyncStartPlayRecPhase3(NatDevice* dev);
int32_t HRL_NATAPI Nat1GetEnvelopes(NatDevice* dev, int32_t count, int32_t samplesPerPoint,
                                    int32_t take, int32_t positionLow, int32_t positionHigh,
                                    NatEnvelopePoint* out);
int32_t HRL_NATAPI Nat1SetAudPlayList(NatDevice* dev, int32_t ignored, int32_t track,
                                      int32_t count0, const PlayEvent* list0, int32_t count1,
                                      const PlayEvent* list1);
int32_t HRL_NATAPI Nat1SetAudPlayListRecOnly(NatDevice* dev, int32_t ignored, int32_t track,
                                             int32_t count, const PlayEvent* list);
int32_t HRL_NATAPI Nat1SetSrate(NatDevice* dev, uint32_t rate);
int32_t HRL_NATAPI Nat1SetTimeCodeStatics(NatDevice* dev, int32_t a);
int32_t HRL_NATAPI Nat1SetAsyncHoldLoc(NatDevice* dev, int32_t location);
int32_t HRL_NATAPI Nat1SetPlayRecEndLoc(NatDevice* dev, int32_t location);
int32_t HRL_NATAPI Nat1PrepAudPlayBufs(NatDevice* dev, int32_t location);
int32_t HRL_NATAPI Nat1SetSeamlessLoopParams(NatDevice* dev, int32_t enable, int32_t loopStart,
                                             int32_t loopEnd, int32_t end);
int32_t HRL_NATAPI Nat1TimeCodeSlaveArmPlayRec(NatDevice* dev, int32_t location, int32_t prepare,
                                               int32_t word);
int32_t HRL_NATAPI Nat1SetFadeCurvTable(NatDevice* dev, int32_t row, const int32_t* points);
int32_t HRL_NATAPI Nat1SetAudTrkCfg(NatDevice* dev, int32_t tracks);
int32_t HRL_NATAPI Nat1NORMProcess(NatDevice* dev, int32_t start, int32_t end, int32_t word,
                                   int32_t flag);
int32_t HRL_NATAPI Nat1REMDCProcess(NatDevice* dev, int32_t start, int32_t end, int32_t word,
                                    int32_t flag);
int32_t HRL_NATAPI Nat1RenderProcess(NatDevice* dev, int32_t start, int32_t end);
int32_t HRL_NATAPI Nat1NoiseGateScan(NatDevice* dev, int32_t start, int32_t end, int32_t level1,
                                     int32_t level2, int32_t value);
int32_t HRL_NATAPI Nat1SetScrubLoc(NatDevice* dev, int32_t location, int32_t speed);
int32_t HRL_NATAPI Nat1PrepScrubBufs(NatDevice* dev, int32_t location, int32_t a, int32_t b);
int32_t HRL_NATAPI Nat1StartScrub(NatDevice* dev, int32_t mode);
void* HRL_NATAPI Nat1GetNoiseGateOnList(NatDevice* dev, int32_t* error);

}  // extern "C"
