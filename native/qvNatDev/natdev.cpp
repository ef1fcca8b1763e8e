#include "native/qvNatDev/natdev.h"

#include <algorithm>
#include <cstring>

#include "native/qvNatDev/natseg.h"

namespace {

constexpr uint32_t kStartRate = 44100;
constexpr uint32_t kEnvelopeScratch = 3;  // bytes a sample of the read's scratch block
// The most samples one envelope request reads.
constexpr uint64_t kEnvelopeMaxSamples = 0x4000000;

bool Live(const NatDevice* dev) { return dev != nullptr && dev != NatBadDevice() && NatRec() != nullptr; }

int32_t Cut(int64_t location) { return static_cast<int32_t>(location); }

bool SendList(NatDevice* dev, decltype(&RecorderSetDisk0List) send, int32_t channel,
              const RecSegList* list) {
  return list != nullptr && send(dev->recorder, channel, static_cast<int32_t>(list->count), list->entries()) != 0;
}

}  // namespace

NatDevStatus NatStatusOfRecorder(int32_t state) {
  if (state == kRecIdle) return kNatDevIdle;
  if (state == kRecPrepared) return kNatDevPrepared;
  return kNatDevBusy;
}

extern "C" {

NatDevice* HRL_NATAPI OpenNatDevice(uint32_t index, const RecorderDiskCallbacks* callbacks,
                                    int32_t* error) {
  auto fail = [error](int32_t code) {
    if (error != nullptr) *error = code;
    return NatBadDevice();
  };
  if (callbacks == nullptr || NatRec() == nullptr) return fail(kNatErrRecorder);
  auto* dev = static_cast<NatDevice*>(NatHeapAlloc(sizeof(NatDevice)));
  if (dev == nullptr) return fail(kNatErrMemory);
  dev->callbacks = *callbacks;
  dev->rate = kStartRate;
  dev->recorder = NatRec()->open(index, callbacks);
  if (dev->recorder == nullptr) {
    NatHeapFree(dev);
    return fail(kNatErrRecorder);
  }
  return dev;
}

int32_t HRL_NATAPI CloseNatDevice(NatDevice* dev) {
  if (!Live(dev)) return 0;
  NatRec()->close(dev->recorder);
  NatHeapFree(dev);
  return 1;
}

int32_t HRL_NATAPI NatXGetStatus(NatDevice* dev) {
  if (!Live(dev)) return kNatDevBusy;
  return NatStatusOfRecorder(NatRec()->getStatus(dev->recorder));
}

int32_t HRL_NATAPI NatXWaitUntilIdle(NatDevice* dev) {
  return Live(dev) ? NatRec()->waitIdle(dev->recorder) : 0;
}

int32_t HRL_NATAPI Nat1GetDiskErrorStat(NatDevice* dev, int32_t* take) {
  return Live(dev) ? NatRec()->getDiskError(dev->recorder, take) : 0;
}

int32_t HRL_NATAPI Nat1GetCloc(NatDevice* dev) {
  return Live(dev) ? Cut(NatRec()->getCloc(dev->recorder)) : 0;
}

int32_t HRL_NATAPI Nat1GetExpandedCloc(NatDevice* dev) {
  return Live(dev) ? Cut(NatRec()->getExpandedCloc(dev->recorder)) : 0;
}

int32_t HRL_NATAPI Nat1GetAudioBufMinimum(NatDevice* dev) {
  return Live(dev) ? NatRec()->getBufMinimum(dev->recorder) : 0x7FFFFFFF;
}

int32_t HRL_NATAPI Nat1GetAudioRecTfrLocs(NatDevice* dev, int64_t* locations) {
  return Live(dev) && locations != nullptr ? NatRec()->getRecTfrLocs(dev->recorder, locations) : 0;
}

int32_t HRL_NATAPI Nat1GetPlayListState(NatDevice* dev) {
  return Live(dev) ? NatRec()->getPlayListState(dev->recorder) : 0;
}

int32_t HRL_NATAPI Nat1GetMaxPeak(NatDevice* dev) {
  return Live(dev) ? NatRec()->getPeak(dev->recorder) : 0;
}

int32_t HRL_NATAPI Nat1Stop(NatDevice* dev) { return Live(dev) ? NatRec()->stop(dev->recorder) : 0; }

int32_t HRL_NATAPI Nat1SyncStartPlayRecPhase3(NatDevice* dev) {
  return Live(dev) ? NatRec()->start(dev->recorder) : 0;
}

int32_t HRL_NATAPI Nat1GetEnvelopes(NatDevice* dev, int32_t count, int32_t samplesPerPoint,
                                    int32_t take, int32_t positionLow, int32_t positionHigh,
                                    NatEnvelopePoint* out) {
  if (count <= 0 || out == nullptr) return 0;
  std::memset(out, 0, sizeof(NatEnvelopePoint) * static_cast<uint32_t>(count));
  if (!Live(dev) || samplesPerPoint <= 0 || dev->callbacks.read == nullptr) return 0;
  const uint64_t total = uint64_t(uint32_t(count)) * uint32_t(samplesPerPoint);
  if (total > kEnvelopeMaxSamples) return 0;
  NatRec()->waitIdle(dev->recorder);
  const auto n = static_cast<uint32_t>(total);
  auto* samples = static_cast<uint32_t*>(NatHeapAlloc(n * 4));
  void* scratch = NatHeapAlloc(n * kEnvelopeScratch);
  bool ok = samples != nullptr && scratch != nullptr;
  const uint64_t position = uint64_t{static_cast<uint32_t>(positionLow)} |
                            uint64_t{static_cast<uint32_t>(positionHigh)} << 32;
  ok = ok && dev->callbacks.read(take, position, static_cast<int32_t>(n), samples, n, 0, scratch) != 0;
  if (ok) {
    const uint32_t per = static_cast<uint32_t>(samplesPerPoint);
    for (uint32_t p = 0; p < static_cast<uint32_t>(count); ++p) {
      int16_t hi = -32768, lo = 32767;
      for (uint32_t k = 0; k < per; ++k) {
        const auto v = static_cast<int16_t>(samples[p * per + k] >> 16);
        hi = std::max(hi, v);
        lo = std::min(lo, v);
      }
      out[p] = {hi, lo};
    }
  }
  NatHeapFree(samples);
  NatHeapFree(scratch);
  return ok ? 1 : 0;
}

int32_t HRL_NATAPI Nat1SetAudPlayList(NatDevice* dev, int32_t, int32_t track, int32_t count0,
                                      const PlayEvent* list0, int32_t count1,
                                      const PlayEvent* list1) {
  if (!Live(dev) || track < 1 || track > 128 || count0 < 0 || count1 < 0 ||
      (count0 > 0 && list0 == nullptr) || (count1 > 0 && list1 == nullptr))
    return 0;
  NatTrackLists lists;
  if (!NatConvertTrack(list0, static_cast<uint32_t>(count0), list1, static_cast<uint32_t>(count1), lists))
    return 0;
  const NatRecApi& rec = *NatRec();
  const int32_t channel = track - 1;
  // All five are sent even after one fails, so that the channel's lists
  // never mix two play lists' worth of state more than the failure forces.
  bool ok = SendList(dev, rec.setDisk0, channel, lists.list[kNatDisk0]);
  ok = SendList(dev, rec.setDisk1, channel, lists.list[kNatDisk1]) && ok;
  ok = SendList(dev, rec.setFade0, channel, lists.list[kNatFade0]) && ok;
  ok = SendList(dev, rec.setFade1, channel, lists.list[kNatFade1]) && ok;
  ok = SendList(dev, rec.setDiskR, channel, lists.list[kNatDiskR]) && ok;
  NatFreeTrack(lists);
  return ok ? 1 : 0;
}

int32_t HRL_NATAPI Nat1SetAudPlayListRecOnly(NatDevice* dev, int32_t, int32_t track, int32_t count,
                                             const PlayEvent* list) {
  if (!Live(dev) || track < 1 || track > 128 || count < 0 || (count > 0 && list == nullptr)) return 0;
  RecSegList* record = nullptr;
  if (!NatConvertRecordOnly(list, static_cast<uint32_t>(count), record)) return 0;
  const bool ok = SendList(dev, NatRec()->setDiskR, track - 1, record);
  SegFree(record);
  return ok ? 1 : 0;
}

int32_t HRL_NATAPI Nat1SetSrate(NatDevice* dev, uint32_t rate) {
  if (!Live(dev)) return 0;
  dev->rate = rate;
  return 1;
}

int32_t HRL_NATAPI Nat1SetTimeCodeStatics(NatDevice* dev, int32_t a) {
  return Live(dev) ? NatRec()->setTimeCode(dev->recorder, a, 0) : 0;
}

int32_t HRL_NATAPI Nat1SetAsyncHoldLoc(NatDevice* dev, int32_t location) {
  return Live(dev) ? NatRec()->setHold(dev->recorder, location) : 0;
}

int32_t HRL_NATAPI Nat1SetPlayRecEndLoc(NatDevice* dev, int32_t location) {
  return Live(dev) ? NatRec()->setEnd(dev->recorder, location) : 0;
}

int32_t HRL_NATAPI Nat1PrepAudPlayBufs(NatDevice* dev, int32_t location) {
  return Live(dev) ? NatRec()->prep(dev->recorder, location) : 0;
}

int32_t HRL_NATAPI Nat1SetSeamlessLoopParams(NatDevice* dev, int32_t enable, int32_t loopStart,
                                             int32_t loopEnd, int32_t end) {
  return Live(dev) ? NatRec()->setLoop(dev->recorder, enable, loopStart, loopEnd, end) : 0;
}

int32_t HRL_NATAPI Nat1TimeCodeSlaveArmPlayRec(NatDevice* dev, int32_t location, int32_t prepare,
                                               int32_t word) {
  return Live(dev) ? NatRec()->slaveArm(dev->recorder, location, prepare, word) : 0;
}

int32_t HRL_NATAPI Nat1SetFadeCurvTable(NatDevice* dev, int32_t row, const int32_t* points) {
  return Live(dev) && points != nullptr ? NatRec()->setFadeCurve(dev->recorder, row, points) : 0;
}

int32_t HRL_NATAPI Nat1SetAudTrkCfg(NatDevice* dev, int32_t tracks) {
  return Live(dev) ? NatRec()->setTrkCfg(dev->recorder, tracks) : 0;
}

int32_t HRL_NATAPI Nat1NORMProcess(NatDevice* dev, int32_t start, int32_t end, int32_t word,
                                   int32_t flag) {
  return Live(dev) ? NatRec()->normalise(dev->recorder, start, end, word, flag) : 0;
}

int32_t HRL_NATAPI Nat1REMDCProcess(NatDevice* dev, int32_t start, int32_t end, int32_t word,
                                    int32_t flag) {
  return Live(dev) ? NatRec()->removeDc(dev->recorder, start, end, word, flag) : 0;
}

int32_t HRL_NATAPI Nat1RenderProcess(NatDevice* dev, int32_t start, int32_t end) {
  return Live(dev) ? NatRec()->render(dev->recorder, start, end) : 0;
}

int32_t HRL_NATAPI Nat1NoiseGateScan(NatDevice* dev, int32_t start, int32_t end, int32_t level1,
                                     int32_t level2, int32_t value) {
  if (!Live(dev)) return 0;
  auto scale = [](int32_t level) {
    return static_cast<int32_t>(static_cast<uint32_t>(std::min(level, 0x7FFF)) << 16);
  };
  return NatRec()->gateScan(dev->recorder, start, end, scale(level1), scale(level2), value);
}

int32_t HRL_NATAPI Nat1SetScrubLoc(NatDevice* dev, int32_t location, int32_t speed) {
  return Live(dev) ? NatRec()->setScrub(dev->recorder, location, speed) : 0;
}

int32_t HRL_NATAPI Nat1PrepScrubBufs(NatDevice* dev, int32_t location, int32_t a, int32_t b) {
  return Live(dev) ? NatRec()->prepScrub(dev->recorder, location, a, b) : 0;
}

int32_t HRL_NATAPI Nat1StartScrub(NatDevice* dev, int32_t mode) {
  return Live(dev) ? NatRec()->startScrub(dev->recorder, mode) : 0;
}

void* HRL_NATAPI Nat1GetNoiseGateOnList(NatDevice* dev, int32_t* error) {
  if (!Live(dev)) return nullptr;
  int32_t count = 0;
  const RecGateOn* gates = NatRec()->getGateList(dev->recorder, &count);
  // A count beyond what a 32-bit block can hold reads as none.
  if (gates == nullptr || count < 0 || count > 0x0FFFFFFF) count = 0;
  void* block = NatGlobalAlloc(4 + static_cast<uint32_t>(count) * 8);
  int32_t* words = block ? NatGlobalLock(block) : nullptr;
  if (words == nullptr) {
    NatGlobalFree(block);
    if (error != nullptr) *error = kNatErrMemory;
    return nullptr;
  }
  words[0] = count;
  for (int32_t i = 0; i < count; ++i) {
    words[1 + 2 * i] = Cut(gates[i].start);
    words[2 + 2 * i] = Cut(gates[i].end);
  }
  NatGlobalUnlock(block);
  return block;
}

}  // extern "C"
