// The recorder object, its track channels and the operations its workers and
// exports share. Private to the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "native/qvNatRec/natsync.h"
#include "native/qvNatRec/recclient.h"
#include "native/qvNatRec/recorder.h"
#include "native/qvNatRec/seglist.h"

inline constexpr int32_t kRecTracks = 128;
inline constexpr int64_t kEndOfTime = INT64_MAX;
inline constexpr uint32_t kRecRingBytes = kRecRingSamples * 4;  // 0x100000
inline constexpr uint32_t kTransferBytes = 0xC0000;             // one ring of 24-bit samples
// The transfer buffer is split between the two disk workers, one half each,
// so that their disk transfers never wait for each other; a half holds 3
// bytes a sample of the largest transfer (a record block, below).
inline constexpr uint32_t kTransferHalf = kTransferBytes / 2;

// Fill: a step moves at most kFillBlock samples (recclient.h), and play
// fills run at most kPlayAhead beyond the read position, which leaves two
// blocks of the ring between the fill and the samples a client may still be
// reading.
inline constexpr int64_t kPlayAhead = kRecRingSamples - 2 * int64_t{kFillBlock};
// Scrub fills keep this much buffered on each side of the scrub position.
inline constexpr int64_t kScrubHalf = 0x18000;
// List replacement: audio within this distance of the play head stays.
inline constexpr int64_t kRefillWindow = 193986;
inline constexpr int64_t kRecPullBack = 0x10000;
// Recorded audio goes to disk in blocks of recBlock samples; the block starts
// small after a new record list (the first punch reaches the disk soon) and
// doubles with each write up to 0x10000.
inline constexpr uint32_t kRecBlockStart = 8192;
inline constexpr uint32_t kRecBlockMax = 0x10000;
static_assert(kTransferHalf / 3 >= kRecBlockMax && kTransferHalf / 3 >= kFillBlock);
// A play fill's piece is unpacked and faded in the last kFillBlock words of
// the disk worker's half, beyond the bytes of its own read, while the cache
// holds them, and only then copied into the ring.
inline constexpr uint32_t kStageOffset = kTransferHalf - kFillBlock * 4;
static_assert(kStageOffset >= 3 * kFillBlock && kStageOffset % 64 == 0);
// Off-line jobs process at most this many samples per wake.
inline constexpr uint32_t kJobBlock = 16384;
// Noise-gate scans keep at most this many open stretches.
inline constexpr uint32_t kGateListMax = 16384;

// The DC remover is a one-pole high-pass, y[n] = G (x[n] - x[n-1]) + R y[n-1],
// in 2^-28 fixed point. R puts the corner near 4 Hz at 48 kHz; G = (1 + R) / 2
// makes the gain at high frequencies exactly unity.
inline constexpr int64_t kDcPole = 268294796;  // R = 0.999476
inline constexpr int64_t kDcGain = 268365126;  // G = 0.999738

enum FillMode : uint32_t {
  kFillPrefill = 1,
  kFillPlay = 2,
  kFillScrubPrefill = 4,
  kFillScrub = 5,
};

enum ListKind : uint32_t { kListDisk0, kListDisk1, kListFade0, kListFade1, kListRecord };

struct PlayLayer {
  SegList disk;
  SegList fade;
  LocationHolder fill;  // the ring holds this layer for [back, fill)
  LocationHolder back;
  SilentMarks silent{};  // chunks of the ring known to hold only zeros (recclient.h)
};

struct GateState {
  bool open = false;
  int64_t openStart = 0;
  int64_t quiet = 0;  // samples below the off level since the last loud one
};

struct DcState {
  bool primed = false;
  int64_t x1 = 0;
  int64_t y1 = 0;
};

struct TrackChannel {
  RecorderClient* client = nullptr;
  PlayLayer layer[2];
  SegList rec;
  // Positions, expanded locations; with the layers' four, the nine holders.
  LocationHolder read;      // the client has consumed up to here
  LocationHolder captured;  // the client has recorded up to here
  LocationHolder written;   // recorded audio handed to the disk up to here
  LocationHolder recFrom;   // the record ring's first recorded sample
  LocationHolder start;     // the start location of the last prepare
  uint32_t recBlock = kRecBlockMax;
  // The loop window (time line); disabled: 0, end of time, end of time.
  LocationHolder loopStart;
  LocationHolder loopEnd;
  LocationHolder end;
  // Where the stream stops without a loop: the play end location of the
  // last prepare, or the end of the job; the fill reads nothing past it.
  LocationHolder streamEnd;
  uint32_t* ring[3] = {nullptr, nullptr, nullptr};  // play 0, play 1, record
  bool ringsLocked[3] = {false, false, false};
  RecorderDiskCallbacks disk{nullptr, nullptr};
  uint8_t* transfer = nullptr;
  std::mutex* transferLocks = nullptr;  // one for each half of the transfer buffer
  std::mutex listLock;    // the lists; taken before bufferLock
  std::mutex bufferLock;  // the buffers' positions and the record side
  std::atomic<int32_t> diskError{0};  // Take of the last failed transfer, 0 none
  DcState dc;
  GateState gate;
};

struct GateParams {
  int64_t start;
  int64_t end;
  int64_t on;    // a sample this loud (left-justified) opens the gate
  int64_t off;   // samples quieter than this for `hold` samples close it
  int64_t hold;
};

enum WorkerSide : uint32_t { kPlaySide = 0, kRecordSide = 1, kJobWorker = 2 };

struct Recorder {
  Recorder* next = nullptr;
  std::atomic<uint32_t> state[2];  // play side, record side
  std::atomic<int32_t> configured{kRecTracks};
  std::atomic<int32_t> active{kRecTracks};
  LocationHolder startLoc;
  LocationHolder endLoc;
  std::atomic<int32_t> tcA{0};
  std::atomic<int32_t> tcB{0};
  std::mutex loopLock;
  int32_t loopEnable = 0;
  int64_t loopStart = 0;
  int64_t loopEnd = 0;
  int64_t loopEndLoc = 0;
  LocationHolder scrubTarget;
  std::atomic<int32_t> scrubSpeed{0};
  std::atomic<int32_t> scrubMode{0};
  std::mutex speedLock;
  int32_t speedHistory[16] = {};
  uint32_t speedCount = 0;
  LocationHolder hold;
  LocationHolder jobPos;
  LocationHolder jobEnd;
  std::atomic<int32_t> peak{0};
  std::atomic<int32_t> jobWord{0x8000};
  GateParams gate{};
  std::vector<RecGateOn> gateList;
  std::atomic<bool> gateListValid{false};
  std::atomic<bool> scrubPrepared{false};
  std::atomic<bool> jobRunning{false};
  // Events: play side and record side {quit, commands 1..5}, job worker
  // {quit, jobs 1..4}; the quit events reset themselves.
  EventGroup events[3] = {EventGroup(6, 1), EventGroup(6, 1), EventGroup(5, 1)};
  std::thread workers[3];
  uint8_t* transfer = nullptr;
  bool transferLocked = false;
  std::mutex transferLocks[2];
  TrackChannel channels[kRecTracks];
  uint32_t context = 0;
  std::mutex clientLock;
  std::vector<RecorderClient*> clients;

  Recorder() {
    state[0] = 0;
    state[1] = 0;
    hold.Set(kEndOfTime);
  }
};

// Signals (recworkers.cpp).
void SignalDiskCommand(Recorder& r, WorkerSide side, uint32_t command);
void SignalJob(Recorder& r, uint32_t job);
bool StartWorkers(Recorder& r);
void StopWorkers(Recorder& r);

// Channel operations (recchannel.cpp). Each that can do work answers whether
// it did; `side` names the disk worker whose half of the transfer buffer the
// operation's disk transfers use.
bool ChannelBind(TrackChannel& ch, const RecorderDiskCallbacks& disk, uint8_t* transfer,
                 std::mutex* transferLocks);
bool ChannelGetBuffers(TrackChannel& ch);
void ChannelFreeBuffers(TrackChannel& ch);
bool ChannelFillLayer(TrackChannel& ch, uint32_t layer, FillMode mode, WorkerSide side);
bool ChannelWriteRecorded(TrackChannel& ch, bool finish, WorkerSide side);
bool ChannelReplaceList(TrackChannel& ch, ListKind which, int32_t count, const RecSeg* entries,
                        int64_t current);
void ChannelSetLoop(TrackChannel& ch, int64_t loopStart, int64_t loopEnd, int64_t end);
void ChannelSetFullRange(TrackChannel& ch);
void ChannelSetStreamEnd(TrackChannel& ch, int64_t end);
void ChannelSetStart(TrackChannel& ch, int64_t location);
void ChannelClear(TrackChannel& ch);
int64_t ChannelPlayBuffered(TrackChannel& ch);
int64_t ChannelRecordRoom(TrackChannel& ch);
void ChannelCopyRecordList(TrackChannel& to, TrackChannel& from);

// Job block operations (recjobs.cpp), over [pos, pos + n) of the layers.
int64_t ChannelJobAvailable(TrackChannel& ch, int64_t pos, bool writes);
int32_t ChannelPeakBlock(TrackChannel& ch, int64_t pos, uint32_t n, int32_t word, bool write);
int32_t ChannelDcBlock(TrackChannel& ch, int64_t pos, uint32_t n, int32_t word, bool write);
void ChannelRenderBlock(TrackChannel& ch, int64_t pos, uint32_t n);
void ChannelGateBlock(TrackChannel& ch, int64_t pos, uint32_t n, const GateParams& p,
                      std::vector<RecGateOn>& list);
void ChannelGateFinish(TrackChannel& ch, int64_t end, std::vector<RecGateOn>& list);
void RunJobBlock(Recorder& r, uint32_t job);

// The recorder's clock for list replacement and stops (recorder.cpp).
int64_t RecorderCurrentExpanded(Recorder& r);
