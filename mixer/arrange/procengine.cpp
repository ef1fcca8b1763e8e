#include "mixer/arrange/procengine.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <memory>
#include <new>

#include "mixer/model/arrheap.h"
#include "mixer/model/engineopts.h"
#include "mixer/model/timecode.h"
#include "mixer/model/host.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"

namespace {

constexpr uint32_t kIdsHeapAlloc = 195;
constexpr int32_t kEngineTrack = 1;

// Samples before the valid data of a Take (its data start in samples).
uint64_t DataStartSamples(uint32_t ref) {
  TakeRec* t = TakeFromRef(ref);
  if (t == nullptr) return 0;
  const uint64_t bps = TakeGetAttr(t, kTakeAttrBytesPerSample);
  return bps ? TakeGetAttr(t, kTakeAttrDataStart) / bps : 0;
}

}  // namespace

int64_t ProcSendSpanLists(const ProcList* list) {
  const int32_t count = list->Count;
  if (count <= 0 || count > kProcSpanMax) return 0;
  PlayList* events = PlayListNew(static_cast<uint32_t>(count), 0);
  if (events == nullptr) {
    MessageBoxById(nullptr, kIdsHeapAlloc, kMbWarnOk);
    return 0;
  }
  int64_t total = 0;
  const uint16_t gain = static_cast<uint16_t>(list->PlayGain & 0xFFFF);
  for (int32_t i = 0; i < count; ++i) {
    const ProcSpan& s = list->Span[i];
    PlayEvent& e = events->List0[i];
    e.Take = s.Take;
    e.Offset = DataStartSamples(s.Take) + static_cast<uint64_t>(s.Offset());
    e.Length = s.Length;
    e.GainStart = e.GainEnd = gain;
    e.Flags = 0;
    total += s.Length;
  }
  int ok = SendTrackPlayList(kEngineTrack, events, 0);
  for (int32_t i = 0; i < count; ++i) {
    const ProcSpan& s = list->Span[i];
    PlayEvent& e = events->List0[i];
    e.Take = s.NewTake;
    e.Offset = DataStartSamples(s.NewTake);
    e.Length = s.Length;
    e.GainStart = e.GainEnd = gain;
    e.Flags = kPlayEventRecord;
  }
  int32_t track = 0;
  NatDevice* dev = NatLinkDevice(kEngineTrack, &track);
  ok = ok && dev != nullptr && Nat1SetAudPlayListRecOnly(dev, 0, track, count, events->List0);
  PlayListFree(events);
  return ok ? total : 0;
}

namespace {
int32_t g_passTotal = 0;  // where the running job's position ends
int32_t g_passStart = 0;
NatDevice* EngineDevice() {
  int32_t track = 0;
  return NatLinkDevice(kEngineTrack, &track);
}
}  // namespace

int32_t ProcEngineStartPass(ProcDialog dialog, ProcList* list) {
  g_passTotal = 0;
  if (dialog != kProcNormProcess && dialog != kProcRemDcProcess) return 0;
  const int64_t total = ProcSendSpanLists(list);
  NatDevice* dev = EngineDevice();
  if (total <= 0 || total > INT32_MAX || dev == nullptr) return 0;
  const int32_t end = static_cast<int32_t>(total);
  const int started = dialog == kProcNormProcess
                          ? Nat1NORMProcess(dev, 0, end, list->ProcessGain, list->Mode)
                          : Nat1REMDCProcess(dev, 0, end, list->ProcessGain, list->Mode);
  if (!started) return 0;
  g_passStart = 0;
  g_passTotal = end;
  return end;
}

int ProcEngineIdle() {
  NatDevice* dev = EngineDevice();
  // Busy (4100) and prepared (4099) share the idle value's bit: compare whole.
  return dev == nullptr || NatXGetStatus(dev) == kNatDevIdle;
}

int32_t ProcEnginePosition() {
  NatDevice* dev = EngineDevice();
  if (dev == nullptr || ProcEngineIdle()) return g_passTotal;
  const int32_t at = Nat1GetCloc(dev);
  return at < g_passStart ? g_passStart : (at > g_passTotal ? g_passTotal : at);
}

int32_t ProcEnginePeak(ProcDialog dialog) {
  NatDevice* dev = EngineDevice();
  if (dev == nullptr) return 0;
  NatXWaitUntilIdle(dev);
  const int32_t peak = Nat1GetMaxPeak(dev);
  return dialog == kProcRemDcProcess ? peak >> 5 : peak;
}

void ProcEngineStop() {
  if (NatDevice* dev = EngineDevice()) {
    Nat1Stop(dev);
    NatXWaitUntilIdle(dev);
  }
}

int ProcEngineRunPass(ProcDialog dialog, ProcList* list) {
  if (ProcEngineStartPass(dialog, list) <= 0) return kIdCancel;
  list->Result = ProcEnginePeak(dialog);
  return kIdOk;
}

namespace {

constexpr int32_t kRecordTrack = 2;
constexpr uint32_t kIdsGlobalAlloc = 192;

void StartJobRange(int32_t from, int32_t to) {
  g_passStart = from;
  g_passTotal = to;
}

}  // namespace

int ProcEngineCompileChannel(const ArrRec* arr, int32_t channel) {
  // A copy of the arrangement in which only the channel's selected Parts
  // play, all on output track 1.
  const size_t bytes = ArrBlockSize(arr->PartCount);
  std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[bytes]);
  if (!block) return 0;
  std::memcpy(block.get(), arr, bytes);
  ArrRec* copy = reinterpret_cast<ArrRec*>(block.get());
  for (uint32_t t = 0; t < kArrTracks; ++t)
    ArrForEachTrackPart(copy, t, [&](uint32_t slot, const PartRec& p) {
      PartRec* q = ArrPart(copy, slot);
      q->PlayChannel = ((p.Flags & kPartSelected) && p.PlayChannel == channel) ? kEngineTrack : 0;
    });
  return CompileTrackPlayList(copy, kEngineTrack, -1);
}

namespace {

ProcWindowEndFn g_windowEnd = NatLinkListWindowEnd;

// Compiles the channel onto engine track 1 and sets the render's hold
// position for the window that list covers. The hold is always sent, so
// that one left from an earlier channel or job cannot stop this one.
int CompileAndHold(NatDevice* dev, const ArrRec* arr, int32_t channel, const ConsChannel& ch, int32_t* hold) {
  if (!ProcEngineCompileChannel(arr, channel)) return 0;
  const int32_t h = ConsHoldPosition(g_windowEnd(kEngineTrack), AudBufSize());
  *hold = h < ch.End ? h : EndOfTime;
  Nat1SetAsyncHoldLoc(dev, *hold);
  return 1;
}

}  // namespace

void ProcEngineSetWindowEndSource(ProcWindowEndFn fn) { g_windowEnd = fn ? fn : NatLinkListWindowEnd; }

int ProcEngineStartRender(const ArrRec* arr, int32_t channel, const ConsChannel& ch, int32_t* hold) {
  g_passTotal = 0;
  *hold = EndOfTime;
  NatDevice* dev = EngineDevice();
  if (dev == nullptr || ch.NewTake == 0 || ch.End <= ch.Start) return 0;
  NatXWaitUntilIdle(dev);
  if (!CompileAndHold(dev, arr, channel, ch, hold)) return 0;
  if (!PlayTakeOnTrack(kRecordTrack, static_cast<uint32_t>(ch.Start), ch.NewTake, 0)) return 0;
  if (!Nat1RenderProcess(dev, ch.Start, ch.End)) return 0;
  StartJobRange(ch.Start, ch.End);
  return 1;
}

int ProcEngineRenderResume(const ArrRec* arr, int32_t channel, const ConsChannel& ch, int32_t* hold) {
  NatDevice* dev = EngineDevice();
  if (dev == nullptr) return 0;
  // A window that ends no further on would hold the render for ever.
  const int32_t was = *hold;
  return CompileAndHold(dev, arr, channel, ch, hold) && *hold > was;
}

void ProcEngineReleaseHold() {
  if (NatDevice* dev = EngineDevice()) Nat1SetAsyncHoldLoc(dev, EndOfTime);
}

int ProcEngineStartGateScan(const ArrRec* arr, int32_t channel, int32_t from, int32_t to, int32_t onLevel,
                            int32_t offLevel, int32_t holdSamples) {
  g_passTotal = 0;
  NatDevice* dev = EngineDevice();
  if (dev == nullptr || to <= from) return 0;
  NatXWaitUntilIdle(dev);
  if (!ProcEngineCompileChannel(arr, channel)) return 0;
  if (!Nat1NoiseGateScan(dev, from, to, onLevel, offLevel, holdSamples)) return 0;
  StartJobRange(from, to);
  return 1;
}

int ProcEngineGateList(std::vector<GatePair>* onList) {
  onList->clear();
  NatDevice* dev = EngineDevice();
  if (dev == nullptr) return kIdCancel;
  NatXWaitUntilIdle(dev);
  int32_t error = 0;
  void* block = Nat1GetNoiseGateOnList(dev, &error);
  if (block == nullptr) return error != 0 ? static_cast<int>(error) : kIdOk;  // no block: the gate never opened
  const int32_t* words = NatGlobalLock(block);
  int answer = kIdOk;
  if (words == nullptr) {
    answer = static_cast<int>(kIdsGlobalAlloc);
  } else {
    const int32_t count = words[0];
    for (int32_t i = 0; i < count && onList->size() < kGateListMax; ++i) {
      const int32_t start = words[1 + 2 * i], end = words[2 + 2 * i];
      if (end > start) onList->push_back({start, end - start});
    }
    NatGlobalUnlock(block);
  }
  NatGlobalFree(block);
  return answer;
}

int ProcEngineRenderAll(ConsChannel* table) {
  int answer = kIdOk;
  for (int c = 0; c < kConsChannels && answer == kIdOk; ++c) {
    if (table[c].FirstPart < 0) continue;
    int32_t hold = EndOfTime;
    if (!ProcEngineStartRender(CurArr, c + 1, table[c], &hold)) {
      answer = kIdCancel;
      break;
    }
    NatDevice* dev = EngineDevice();
    // Paused at the hold: the list is compiled again from there and the
    // next hold set, until the channel's end is in reach.
    while (dev != nullptr && !ProcEngineIdle()) {
      if (hold < table[c].End && Nat1GetCloc(dev) >= hold) {
        if (!ProcEngineRenderResume(CurArr, c + 1, table[c], &hold)) {
          ProcEngineStop();
          answer = kIdCancel;
          break;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Idle status comes before the recorded blocks are on disk.
    if (dev != nullptr) NatXWaitUntilIdle(dev);
  }
  ProcEngineReleaseHold();
  return answer;
}

int ProcEngineGateScan(int32_t channel, int32_t from, int32_t to, int32_t onLevel, int32_t offLevel,
                       int32_t holdSamples, std::vector<GatePair>* onList) {
  if (!ProcEngineStartGateScan(CurArr, channel, from, to, onLevel, offLevel, holdSamples)) return kIdCancel;
  return ProcEngineGateList(onList);
}
