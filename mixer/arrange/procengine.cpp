#include "mixer/arrange/procengine.h"

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
int32_t g_passTotal = 0;
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
  g_passTotal = end;
  return end;
}

int ProcEngineIdle() {
  NatDevice* dev = EngineDevice();
  return dev == nullptr || (NatXGetStatus(dev) & kNatDevIdle) != 0;
}

int32_t ProcEnginePosition() {
  NatDevice* dev = EngineDevice();
  if (dev == nullptr || ProcEngineIdle()) return g_passTotal;
  const int32_t at = Nat1GetCloc(dev);
  return at < 0 ? 0 : (at > g_passTotal ? g_passTotal : at);
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
