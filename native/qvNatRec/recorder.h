// The native recorder: a multitrack disk player and recorder that runs on the
// host processor. Up to 128 track channels play Take audio from segment lists,
// record into Takes through a record list, scrub, and run the off-line jobs
// (normalise, DC removal, render, noise-gate scan) on channel 0. Audio moves
// only through the host's two disk callbacks; the recorder's clock is the
// stream position of the first attached stream client (recclient.h).
//
// Every export takes the recorder handle first and uses the standard-call
// convention of the 32-bit library. Locations are signed 64-bit sample
// counts; on the 32-bit stack an int64_t argument is the two words, low first.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define HRL_RECAPI __attribute__((stdcall))
#else
#define HRL_RECAPI
#endif

struct Recorder;

// Disk callbacks of the host. `take` is the 32-bit Take reference of the
// segment list; `position` counts samples from the start of the Take's data.
// The recorder always hands a contiguous piece of its ring: ring = the first
// word, ringLen = count, ringStart = 0. `scratch` holds 3 bytes a sample.
// Nonzero on success.
using RecorderTransferFn = int32_t (*)(int32_t take, uint64_t position, int32_t count,
                                       uint32_t* ring, uint32_t ringLen, uint32_t ringStart,
                                       void* scratch);

struct RecorderDiskCallbacks {
  RecorderTransferFn read;
  RecorderTransferFn write;
};
static_assert(sizeof(RecorderDiskCallbacks) == 2 * sizeof(void*));

// One entry of a segment list; the wire format of the native device layer.
struct RecSeg {
  int64_t start;  // location of the segment on the time line, samples
  int32_t a;      // disk lists: low word of the source position; fade lists: first level
  int32_t b;      // disk lists: high word of the source position; fade lists: second level
  int32_t kind;   // disk lists: Take reference (0 = silence); fade lists: RecFadeKind
  uint32_t flags; // kRecSegClosing on the last entry of every list
};
static_assert(sizeof(RecSeg) == 24);
static_assert(offsetof(RecSeg, a) == 8);
static_assert(offsetof(RecSeg, b) == 12);
static_assert(offsetof(RecSeg, kind) == 16);
static_assert(offsetof(RecSeg, flags) == 20);

inline constexpr uint32_t kRecSegClosing = 1;

enum RecFadeKind : int32_t {
  kFadeUnity = 0,
  kFadeLevel = 1,
  kFadeCross = 2,
  kFadeRampIn = 3,
  kFadeRampOut = 4,
  kFadeLinear = 5,  // 5 + n: shape n of the curve table; 5 itself is linear
  kFadeLastCurve = 12,
};

// RecorderGetStatus values: the low byte of a state word.
enum RecorderState : int32_t {
  kRecIdle = 0,
  kRecPrepared = 1,
  kRecPlaying = 2,
  kRecScrubPrepared = 3,
  kRecScrubbing = 4,
  kRecJobNormalise = 5,
  kRecJobRemoveDc = 6,
  kRecJobRender = 7,
  kRecJobNoiseGate = 8,
};
inline constexpr uint32_t kRecStopBit = 0x100;

// One stretch where the noise gate was open, [start, end).
struct RecGateOn {
  int64_t start;
  int64_t end;
};
static_assert(sizeof(RecGateOn) == 16);

extern "C" {

Recorder* HRL_RECAPI OpenRecorder(uint32_t context, const RecorderDiskCallbacks* callbacks);
int32_t HRL_RECAPI CloseRecorder(Recorder* rec);

int32_t HRL_RECAPI RecorderSetDisk0List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries);
int32_t HRL_RECAPI RecorderSetDisk1List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries);
int32_t HRL_RECAPI RecorderSetFade0List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries);
int32_t HRL_RECAPI RecorderSetFade1List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries);
int32_t HRL_RECAPI RecorderSetDiskRList(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries);
int32_t HRL_RECAPI RecorderSetFadeCurvTable(Recorder* rec, int32_t row, const int32_t* points);

int32_t HRL_RECAPI RecorderGetStatus(Recorder* rec);
int32_t HRL_RECAPI RecorderWaitUntilIdle(Recorder* rec);
int32_t HRL_RECAPI RecorderGetDiskErrorStat(Recorder* rec, int32_t* takeId);
int64_t HRL_RECAPI RecorderGetCloc(Recorder* rec);
int64_t HRL_RECAPI RecorderGetExpandedCloc(Recorder* rec);
int32_t HRL_RECAPI RecorderGetAudioBufMinimum(Recorder* rec);
int32_t HRL_RECAPI RecorderGetAudioRecTfrLocs(Recorder* rec, int64_t* locations);
int32_t HRL_RECAPI RecorderGetPlayListState(Recorder* rec);

int32_t HRL_RECAPI RecorderSetAudTrkCfg(Recorder* rec, int32_t tracks);
int32_t HRL_RECAPI RecorderSetTimeCodeStatics(Recorder* rec, int32_t a, int32_t b);
int32_t HRL_RECAPI RecorderSetPlayRecEndLoc(Recorder* rec, int64_t end);
int32_t HRL_RECAPI RecorderSetSeamlessLoopParams(Recorder* rec, int32_t enable, int64_t loopStart,
                                                 int64_t loopEnd, int64_t end);
int32_t HRL_RECAPI RecorderPrepAudPlayBufs(Recorder* rec, int64_t start);
int32_t HRL_RECAPI RecorderStartPlayRec(Recorder* rec);
int32_t HRL_RECAPI RecorderStop(Recorder* rec);

int32_t HRL_RECAPI RecorderSetScrubParam(Recorder* rec, int64_t target, int32_t speed);
int32_t HRL_RECAPI RecorderPrepScrubBufs(Recorder* rec, int64_t location, int32_t a, int32_t b);
int32_t HRL_RECAPI RecorderStartScrub(Recorder* rec, int32_t mode);

int32_t HRL_RECAPI RecorderSetAsyncHoldLoc(Recorder* rec, int64_t location);
int32_t HRL_RECAPI RecorderNORMProcess(Recorder* rec, int64_t start, int64_t end, int32_t word,
                                       int32_t flag);
int32_t HRL_RECAPI RecorderREMDCProcess(Recorder* rec, int64_t start, int64_t end, int32_t word,
                                        int32_t flag);
int32_t HRL_RECAPI RecorderRenderProcess(Recorder* rec, int64_t start, int64_t end);
int32_t HRL_RECAPI RecorderNoiseGateScan(Recorder* rec, int64_t start, int64_t end, int32_t p1,
                                         int32_t p2, int32_t p3);
int32_t HRL_RECAPI RecorderGetMaxPeak(Recorder* rec);
const RecGateOn* HRL_RECAPI RecorderGetNoiseGateOnList(Recorder* rec, int32_t* count);

int32_t HRL_RECAPI RecorderTimeCodeSlaveArmPlayRec(Recorder* rec, int64_t location, int32_t prepare,
                                                   int32_t ignored);

}  // extern "C"
