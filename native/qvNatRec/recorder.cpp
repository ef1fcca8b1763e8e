// The recorder's exports: opening and closing, the lists, the transport
// commands (prepare, start, stop, scrub) and the off-line jobs.
#include "native/qvNatRec/recorder.h"

#include <algorithm>
#include <functional>
#include <new>

#include "native/qvNatRec/fade.h"
#include "native/qvNatRec/natplat.h"
#include "native/qvNatRec/recobj.h"

namespace {

// Every open recorder, in the order opened. Opening and closing happen on
// one thread, so the list has no lock.
Recorder* gRecorders = nullptr;

constexpr uint32_t kEventCount = 17;

uint32_t CountOpen() {
  uint32_t n = 0;
  for (Recorder* r = gRecorders; r != nullptr; r = r->next) ++n;
  return n;
}

void Append(Recorder* rec) {
  Recorder** at = &gRecorders;
  while (*at != nullptr) at = &(*at)->next;
  *at = rec;
}

bool Unlink(Recorder* rec) {
  for (Recorder** at = &gRecorders; *at != nullptr; at = &(*at)->next) {
    if (*at == rec) {
      *at = rec->next;
      return true;
    }
  }
  return false;
}

// The events are members of the recorder; what can fail is only the
// platform's refusal, which tests provoke.
bool CreateEvents() {
  for (uint32_t i = 0; i < kEventCount; ++i)
    if (NatShouldFail(NatFault::kEvent)) return false;
  return true;
}

bool GetTransferBuffer(Recorder& r) {
  r.transfer = static_cast<uint8_t*>(NatCommit(kTransferBytes));
  if (r.transfer == nullptr) return false;
  r.transferLocked = NatLock(r.transfer, kTransferBytes);
  return r.transferLocked;
}

bool BindChannels(Recorder& r, const RecorderDiskCallbacks& disk) {
  for (TrackChannel& ch : r.channels)
    if (!ChannelBind(ch, disk, r.transfer, r.transferLocks)) return false;
  return ChannelGetBuffers(r.channels[0]);
}

// Releases everything a recorder holds, whatever step its opening reached.
void Destroy(Recorder* r) {
  StopWorkers(*r);
  for (TrackChannel& ch : r->channels) ChannelFreeBuffers(ch);
  if (r->transferLocked) NatUnlock(r->transfer, kTransferBytes);
  if (r->transfer != nullptr) NatRelease(r->transfer, kTransferBytes);
  delete r;
}

uint32_t LowByte(uint32_t word) { return word & 0xFF; }

int32_t Status(Recorder& r) {
  return static_cast<int32_t>(std::max(LowByte(r.state[kPlaySide].load()), LowByte(r.state[kRecordSide].load())));
}

void SetStates(Recorder& r, uint32_t state) {
  r.state[kPlaySide].store(state);
  r.state[kRecordSide].store(state);
}

void WaitIdle(Recorder& r) {
  while (Status(r) != 0) NatSleepMs(10);
}

int32_t ActiveCount(Recorder& r) { return std::clamp<int32_t>(r.active.load(), 0, kRecTracks); }
int32_t ConfiguredCount(Recorder& r) { return std::clamp<int32_t>(r.configured.load(), 0, kRecTracks); }

// The clients are called outside the list's lock: a client may call back.
std::vector<RecorderClient*> Clients(Recorder& r) {
  std::lock_guard<std::mutex> hold(r.clientLock);
  return r.clients;
}

void ForEachClient(Recorder& r, const std::function<void(RecorderClient&)>& fn) {
  for (RecorderClient* c : Clients(r)) fn(*c);
}

RecorderClient* FirstClient(Recorder& r) {
  std::lock_guard<std::mutex> hold(r.clientLock);
  return r.clients.empty() ? nullptr : r.clients.front();
}

bool AllStopped(Recorder& r) {
  for (RecorderClient* c : Clients(r))
    if (!c->IsStopped()) return false;
  return true;
}

void ApplyLoopToChannels(Recorder& r, int32_t count) {
  std::lock_guard<std::mutex> hold(r.loopLock);
  for (int32_t c = 0; c < count; ++c) {
    if (r.loopEnable)
      ChannelSetLoop(r.channels[c], r.loopStart, r.loopEnd, r.loopEndLoc);
    else
      ChannelSetFullRange(r.channels[c]);
  }
}

bool LoopEnabled(Recorder& r) {
  std::lock_guard<std::mutex> hold(r.loopLock);
  return r.loopEnable != 0;
}

// Both disk workers' stop command, each after the stop bit on its word.
void SignalStops(Recorder& r) {
  SignalDiskCommand(r, kPlaySide, 3);
  SignalDiskCommand(r, kRecordSide, 3);
}

constexpr uint32_t kStopWaitMs = 1000;

// State 2: every client is told to stop at the current location; the
// clients' own end signals bring the workers to idle. A client that has not
// answered within the wait is halted and the workers are stopped here.
int32_t StopPlaying(Recorder& r) {
  if (FirstClient(r) == nullptr) return 1;
  const int64_t now = RecorderGetCloc(&r);
  ForEachClient(r, [now](RecorderClient& c) {
    c.SetEnd(now);
    c.StopAt(now);
  });
  const uint32_t began = NatTickMs();
  while (!AllStopped(r)) {
    if (NatTickMs() - began > kStopWaitMs) {
      ForEachClient(r, [](RecorderClient& c) { c.Halt(); });
      SignalStops(r);
      return 1;
    }
    NatSleepMs(1);
  }
  return 1;
}

int32_t SetList(Recorder* r, ListKind kind, int32_t track, int32_t count, const RecSeg* entries) {
  if (r == nullptr) return 0;
  if (kind == kListRecord && LowByte(r->state[kPlaySide].load()) == kRecJobRender) {
    // A prepared render takes only the destination (engine track 2), and
    // keeps it on its job channel. A list that records nothing (the record
    // lane of a play list compiled again for engine track 1 while the
    // render holds) leaves the destination as it is.
    if (track != 1) {
      const bool recordsNothing =
          count >= 0 && std::all_of(entries, entries + count, [](const RecSeg& s) { return s.kind == 0; });
      return track == 0 && recordsNothing ? 1 : 0;
    }
    track = 0;
  }
  if (track < 0 || track >= kRecTracks) return 0;
  return ChannelReplaceList(r->channels[track], kind, count, entries, RecorderCurrentExpanded(*r)) ? 1 : 0;
}

struct JobArgs {
  uint32_t job;
  int64_t start;
  int64_t end;
  int32_t word;
  int32_t flag;
  GateParams gate;
};

int32_t StartJob(Recorder* r, const JobArgs& a) {
  if (r == nullptr) return 0;
  WaitIdle(*r);
  r->startLoc.Set(a.start);
  r->jobEnd.Set(a.end);
  r->active.store(1);
  TrackChannel& ch = r->channels[0];
  ChannelSetFullRange(ch);
  ChannelSetStreamEnd(ch, a.end);
  ChannelSetStart(ch, a.start);
  ch.dc = DcState{};
  ch.gate = GateState{};
  if (a.job == kRecJobRender) ChannelCopyRecordList(ch, r->channels[1]);
  SetStates(*r, a.job);
  r->jobPos.Exchange(a.start);
  if (a.job == kRecJobNormalise || a.job == kRecJobRemoveDc) r->peak.store(0);
  r->gateListValid = false;
  r->jobWord.store(a.word);
  r->scrubPrepared = (a.job == kRecJobNormalise || a.job == kRecJobRemoveDc) && a.flag != 0;
  if (a.job == kRecJobNoiseGate) {
    r->gate = a.gate;
    r->gateList.clear();
  }
  r->jobRunning = true;
  SignalDiskCommand(*r, kPlaySide, 2);
  return 1;
}

}  // namespace

int64_t RecorderCurrentExpanded(Recorder& r) {
  if (r.jobRunning.load()) return r.jobPos.Get();
  if (RecorderClient* c = FirstClient(r)) return c->ExpandedLocation();
  return r.startLoc.Get();
}

extern "C" {

Recorder* HRL_RECAPI OpenRecorder(uint32_t context, const RecorderDiskCallbacks* callbacks) {
  if (callbacks == nullptr) return nullptr;
  const uint32_t open = CountOpen();
  Recorder* r = new (std::nothrow) Recorder;
  if (r == nullptr) return nullptr;
  const NatWorkingSet ws = NatWorkingSetRequest(open, sizeof(size_t) * 8);
  if (!CreateEvents() || !StartWorkers(*r) || !NatRaiseWorkingSet(ws.minBytes, ws.maxBytes) ||
      !GetTransferBuffer(*r) || !BindChannels(*r, *callbacks)) {
    Destroy(r);
    return nullptr;
  }
  r->context = context;
  Append(r);
  return r;
}

int32_t HRL_RECAPI CloseRecorder(Recorder* rec) {
  if (rec == nullptr) return 0;
  Unlink(rec);
  Destroy(rec);
  return 1;
}

int32_t HRL_RECAPI RecorderSetDisk0List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries) {
  return SetList(rec, kListDisk0, track, count, entries);
}

int32_t HRL_RECAPI RecorderSetDisk1List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries) {
  return SetList(rec, kListDisk1, track, count, entries);
}

int32_t HRL_RECAPI RecorderSetFade0List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries) {
  return SetList(rec, kListFade0, track, count, entries);
}

int32_t HRL_RECAPI RecorderSetFade1List(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries) {
  return SetList(rec, kListFade1, track, count, entries);
}

int32_t HRL_RECAPI RecorderSetDiskRList(Recorder* rec, int32_t track, int32_t count,
                                        const RecSeg* entries) {
  return SetList(rec, kListRecord, track, count, entries);
}

int32_t HRL_RECAPI RecorderSetFadeCurvTable(Recorder*, int32_t row, const int32_t* points) {
  return FadeCurveSetRow(row, points) ? 1 : 0;
}

int32_t HRL_RECAPI RecorderGetStatus(Recorder* rec) { return rec != nullptr ? Status(*rec) : 0; }

int32_t HRL_RECAPI RecorderWaitUntilIdle(Recorder* rec) {
  if (rec != nullptr) WaitIdle(*rec);
  return 0;
}

int32_t HRL_RECAPI RecorderGetDiskErrorStat(Recorder* rec, int32_t* takeId) {
  if (rec == nullptr || takeId == nullptr) return 0;
  const int32_t active = ActiveCount(*rec);
  for (int32_t c = 0; c < active; ++c) {
    const int32_t take = rec->channels[c].diskError.exchange(0);
    if (take != 0) {
      *takeId = take;
      return 1;
    }
  }
  return 0;
}

int64_t HRL_RECAPI RecorderGetCloc(Recorder* rec) {
  if (rec == nullptr) return 0;
  if (rec->jobRunning.load()) return rec->jobPos.Get();
  if (RecorderClient* c = FirstClient(*rec)) return c->Location();
  return rec->startLoc.Get();
}

int64_t HRL_RECAPI RecorderGetExpandedCloc(Recorder* rec) {
  return rec != nullptr ? RecorderCurrentExpanded(*rec) : 0;
}

int32_t HRL_RECAPI RecorderGetAudioBufMinimum(Recorder* rec) {
  constexpr int64_t kNone = 0x7FFFFFFF;
  if (rec == nullptr || rec->state[kPlaySide].load() != kRecPlaying ||
      rec->state[kRecordSide].load() != kRecPlaying)
    return static_cast<int32_t>(kNone);
  int64_t least = kNone;
  const int32_t active = ActiveCount(*rec);
  for (int32_t c = 0; c < active; ++c) {
    TrackChannel& ch = rec->channels[c];
    if (ch.ring[0] == nullptr) continue;
    least = std::min({least, ChannelPlayBuffered(ch), ChannelRecordRoom(ch)});
  }
  return static_cast<int32_t>(std::max<int64_t>(least, INT32_MIN));
}

int32_t HRL_RECAPI RecorderGetAudioRecTfrLocs(Recorder* rec, int64_t* locations) {
  if (rec == nullptr || locations == nullptr) return 0;
  const int64_t start = rec->startLoc.Get();
  const int32_t active = ActiveCount(*rec);
  for (int32_t c = 0; c < active; ++c) locations[c] = std::max(rec->channels[c].written.Get(), start);
  return 1;
}

int32_t HRL_RECAPI RecorderGetPlayListState(Recorder*) { return 1; }

int32_t HRL_RECAPI RecorderSetAudTrkCfg(Recorder* rec, int32_t tracks) {
  if (rec == nullptr || tracks < 0 || tracks > kRecTracks) return 0;
  WaitIdle(*rec);
  rec->configured.store(tracks);
  rec->active.store(tracks);
  for (int32_t c = tracks; c < kRecTracks; ++c) ChannelClear(rec->channels[c]);
  return 1;
}

int32_t HRL_RECAPI RecorderSetTimeCodeStatics(Recorder* rec, int32_t a, int32_t b) {
  if (rec == nullptr) return 0;
  rec->tcA.store(a);
  rec->tcB.store(b);
  return 1;
}

int32_t HRL_RECAPI RecorderSetPlayRecEndLoc(Recorder* rec, int64_t end) {
  if (rec == nullptr) return 0;
  rec->endLoc.Set(end);
  ForEachClient(*rec, [end](RecorderClient& c) { c.SetEnd(end); });
  // A running job keeps its own end; otherwise a later end lets the fill on.
  if (!rec->jobRunning.load())
    for (int32_t c = 0; c < ConfiguredCount(*rec); ++c) ChannelSetStreamEnd(rec->channels[c], end);
  return 1;
}

int32_t HRL_RECAPI RecorderSetSeamlessLoopParams(Recorder* rec, int32_t enable, int64_t loopStart,
                                                 int64_t loopEnd, int64_t end) {
  if (rec == nullptr) return 0;
  const int32_t on = enable != 0 && loopStart < loopEnd && loopStart < end ? 1 : 0;
  {
    std::lock_guard<std::mutex> hold(rec->loopLock);
    rec->loopEnable = on;
    rec->loopStart = loopStart;
    rec->loopEnd = loopEnd;
    rec->loopEndLoc = end;
  }
  ForEachClient(*rec, [=](RecorderClient& c) { c.SetLoop(on, loopStart, loopEnd, end); });
  ApplyLoopToChannels(*rec, ConfiguredCount(*rec));
  return 1;
}

int32_t HRL_RECAPI RecorderPrepAudPlayBufs(Recorder* rec, int64_t start) {
  if (rec == nullptr) return 0;
  WaitIdle(*rec);
  rec->startLoc.Set(start);
  const int64_t end = rec->endLoc.Get();
  ForEachClient(*rec, [end](RecorderClient& c) { c.SetEnd(end); });
  rec->active.store(rec->configured.load());
  if (LoopEnabled(*rec)) ApplyLoopToChannels(*rec, ActiveCount(*rec));
  const int32_t active = ActiveCount(*rec);
  for (int32_t c = 0; c < active; ++c) {
    ChannelSetStreamEnd(rec->channels[c], end);
    ChannelSetStart(rec->channels[c], start);
  }
  SetStates(*rec, kRecPrepared);
  rec->gateListValid = false;
  rec->scrubPrepared = false;
  rec->jobRunning = false;
  ForEachClient(*rec, [start](RecorderClient& c) { c.Locate(start); });
  SignalDiskCommand(*rec, kPlaySide, 1);
  SignalDiskCommand(*rec, kRecordSide, 1);
  return 1;
}

int32_t HRL_RECAPI RecorderStartPlayRec(Recorder* rec) {
  if (rec == nullptr) return 0;
  if (FirstClient(*rec) == nullptr) return 1;
  SetStates(*rec, kRecPlaying);
  const int32_t a = rec->tcA.load(), b = rec->tcB.load();
  ForEachClient(*rec, [a, b](RecorderClient& c) { c.Start(false, a, b); });
  return 1;
}

int32_t HRL_RECAPI RecorderStop(Recorder* rec) {
  if (rec == nullptr) return 0;
  const uint32_t play = rec->state[kPlaySide].load();
  if (play != rec->state[kRecordSide].load()) return 1;
  switch (play) {
    case kRecPrepared:
    case kRecScrubPrepared:
      SetStates(*rec, play | kRecStopBit);
      return 1;
    case kRecPlaying:
      return StopPlaying(*rec);
    case kRecScrubbing:
      ForEachClient(*rec, [](RecorderClient& c) { c.Halt(); });
      SignalStops(*rec);
      return 1;
    case kRecJobNormalise:
    case kRecJobRemoveDc:
    case kRecJobRender:
    case kRecJobNoiseGate:
      SignalStops(*rec);
      return 1;
    default:
      return 1;
  }
}

int32_t HRL_RECAPI RecorderSetScrubParam(Recorder* rec, int64_t target, int32_t speed) {
  if (rec == nullptr) return 0;
  rec->scrubSpeed.store(speed);
  rec->scrubTarget.Exchange(target);
  return 1;
}

int32_t HRL_RECAPI RecorderPrepScrubBufs(Recorder* rec, int64_t location, int32_t a, int32_t b) {
  if (rec == nullptr) return 0;
  WaitIdle(*rec);
  rec->startLoc.Set(location);
  rec->active.store(rec->configured.load());
  const int32_t active = ActiveCount(*rec);
  for (int32_t c = 0; c < active; ++c) {
    ChannelSetFullRange(rec->channels[c]);
    ChannelSetStreamEnd(rec->channels[c], kEndOfTime);
    ChannelSetStart(rec->channels[c], location);
  }
  rec->gateListValid = false;
  rec->jobRunning = false;
  SetStates(*rec, kRecScrubPrepared);
  rec->scrubPrepared = true;
  ForEachClient(*rec, [=](RecorderClient& c) {
    c.PrepareScrub(a, b);
    c.Locate(location);
  });
  SignalDiskCommand(*rec, kPlaySide, 4);
  SignalDiskCommand(*rec, kRecordSide, 4);
  return 1;
}

int32_t HRL_RECAPI RecorderStartScrub(Recorder* rec, int32_t mode) {
  if (rec == nullptr) return 0;
  {
    std::lock_guard<std::mutex> hold(rec->speedLock);
    std::fill(std::begin(rec->speedHistory), std::end(rec->speedHistory), 0);
    rec->speedCount = 0;
  }
  rec->scrubMode.store(mode);
  rec->scrubTarget.Exchange(0);
  if (FirstClient(*rec) == nullptr) return 1;
  SetStates(*rec, kRecScrubbing);
  ForEachClient(*rec, [](RecorderClient& c) { c.Scrub(); });
  return 1;
}

int32_t HRL_RECAPI RecorderSetAsyncHoldLoc(Recorder* rec, int64_t location) {
  if (rec == nullptr) return 0;
  rec->hold.Exchange(location);
  const uint32_t st = LowByte(rec->state[kPlaySide].load());
  if (st >= kRecJobNormalise && st <= kRecJobNoiseGate) SignalJob(*rec, st - 4);
  return 1;
}

int32_t HRL_RECAPI RecorderNORMProcess(Recorder* rec, int64_t start, int64_t end, int32_t word,
                                       int32_t flag) {
  return StartJob(rec, {kRecJobNormalise, start, end, word, flag, {}});
}

int32_t HRL_RECAPI RecorderREMDCProcess(Recorder* rec, int64_t start, int64_t end, int32_t word,
                                        int32_t flag) {
  return StartJob(rec, {kRecJobRemoveDc, start, end, word, flag, {}});
}

int32_t HRL_RECAPI RecorderRenderProcess(Recorder* rec, int64_t start, int64_t end) {
  if (rec == nullptr) return 0;
  return StartJob(rec, {kRecJobRender, start, end, rec->jobWord.load(), 0, {}});
}

int32_t HRL_RECAPI RecorderNoiseGateScan(Recorder* rec, int64_t start, int64_t end, int32_t p1,
                                         int32_t p2, int32_t p3) {
  if (rec == nullptr) return 0;
  return StartJob(rec, {kRecJobNoiseGate, start, end, rec->jobWord.load(), 0, {start, end, p1, p2, p3}});
}

int32_t HRL_RECAPI RecorderGetMaxPeak(Recorder* rec) { return rec != nullptr ? rec->peak.load() : 0; }

const RecGateOn* HRL_RECAPI RecorderGetNoiseGateOnList(Recorder* rec, int32_t* count) {
  if (rec == nullptr) {
    if (count != nullptr) *count = 0;
    return nullptr;
  }
  WaitIdle(*rec);
  const bool valid = rec->gateListValid.load() && !rec->gateList.empty();
  if (count != nullptr) *count = valid ? static_cast<int32_t>(rec->gateList.size()) : 0;
  return valid ? rec->gateList.data() : nullptr;
}

int32_t HRL_RECAPI RecorderTimeCodeSlaveArmPlayRec(Recorder* rec, int64_t location, int32_t prepare,
                                                   int32_t) {
  if (rec == nullptr) return 0;
  RecorderStop(rec);
  // The stop's own completion comes first: a stop command still queued
  // would otherwise clear the new run's state.
  WaitIdle(*rec);
  if (prepare != 0) {
    RecorderPrepAudPlayBufs(rec, location);
    WaitIdle(*rec);
  } else {
    rec->startLoc.Set(location);
    ForEachClient(*rec, [location](RecorderClient& c) { c.Locate(location); });
    const int64_t end = rec->endLoc.Get();
    for (int32_t c = 0; c < ActiveCount(*rec); ++c) ChannelSetStreamEnd(rec->channels[c], end);
  }
  SetStates(*rec, kRecPlaying);
  const int32_t a = rec->tcA.load(), b = rec->tcB.load();
  ForEachClient(*rec, [a, b](RecorderClient& c) { c.Start(true, a, b); });
  return 1;
}

}  // extern "C"

// What stream clients use of the recorder.

int32_t RecorderAttachClient(Recorder* rec, RecorderClient* client, int32_t track) {
  if (rec == nullptr || client == nullptr || track < 0 || track >= kRecTracks) return 0;
  TrackChannel& ch = rec->channels[track];
  std::lock_guard<std::mutex> hold(rec->clientLock);
  if (ch.client != nullptr || !ChannelGetBuffers(ch)) return 0;
  ch.client = client;
  rec->clients.push_back(client);
  return 1;
}

void RecorderDetachClient(Recorder* rec, RecorderClient* client) {
  if (rec == nullptr || client == nullptr) return;
  std::lock_guard<std::mutex> hold(rec->clientLock);
  std::erase(rec->clients, client);
  for (TrackChannel& ch : rec->channels)
    if (ch.client == client) ch.client = nullptr;
}

int32_t RecorderGetChannelView(Recorder* rec, int32_t track, RecorderChannelView* view) {
  if (rec == nullptr || view == nullptr || track < 0 || track >= kRecTracks) return 0;
  TrackChannel& ch = rec->channels[track];
  if (ch.ring[0] == nullptr) return 0;
  *view = {{ch.ring[0], ch.ring[1]}, ch.ring[2]};
  return 1;
}

int32_t RecorderGetSilentMarks(Recorder* rec, int32_t track, const SilentMarks* marks[2]) {
  if (rec == nullptr || marks == nullptr || track < 0 || track >= kRecTracks) return 0;
  TrackChannel& ch = rec->channels[track];
  if (ch.ring[0] == nullptr) return 0;
  marks[0] = &ch.layer[0].silent;
  marks[1] = &ch.layer[1].silent;
  return 1;
}

void RecorderLayerSpan(Recorder* rec, int32_t track, int32_t layer, int64_t* back, int64_t* fill) {
  if (rec == nullptr || track < 0 || track >= kRecTracks || layer < 0 || layer > 1) return;
  TrackChannel& ch = rec->channels[track];
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  if (back != nullptr) *back = ch.layer[layer].back.Get();
  if (fill != nullptr) *fill = ch.layer[layer].fill.Get();
}

void RecorderSetReadPosition(Recorder* rec, int32_t track, int64_t location) {
  if (rec == nullptr || track < 0 || track >= kRecTracks) return;
  rec->channels[track].read.Set(location);
}

void RecorderSetCaptured(Recorder* rec, int32_t track, int64_t location) {
  if (rec == nullptr || track < 0 || track >= kRecTracks) return;
  TrackChannel& ch = rec->channels[track];
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  ch.captured.Set(location);
}

int64_t RecorderGetWritten(Recorder* rec, int32_t track) {
  if (rec == nullptr || track < 0 || track >= kRecTracks) return 0;
  return rec->channels[track].written.Get();
}

int64_t RecorderGetScrubTarget(Recorder* rec, int32_t* speed) {
  if (rec == nullptr) return 0;
  if (speed != nullptr) *speed = rec->scrubSpeed.load();
  return rec->scrubTarget.Get();
}

int32_t RecorderNoteScrubSpeed(Recorder* rec, int32_t speed) {
  if (rec == nullptr) return speed;
  std::lock_guard<std::mutex> hold(rec->speedLock);
  rec->speedHistory[rec->speedCount % 16] = speed;
  ++rec->speedCount;
  const uint32_t n = std::min<uint32_t>(rec->speedCount, 16);
  int64_t sum = 0;
  for (uint32_t i = 0; i < n; ++i) sum += rec->speedHistory[i];
  return static_cast<int32_t>(sum / n);
}

void RecorderKickFill(Recorder* rec, bool scrub) {
  if (rec == nullptr) return;
  SignalDiskCommand(*rec, kPlaySide, scrub ? 5 : 2);
  SignalDiskCommand(*rec, kRecordSide, scrub ? 5 : 2);
}

void RecorderClientEnded(Recorder* rec) {
  if (rec != nullptr) SignalStops(*rec);
}

const RecorderClientApi* HRL_RECAPI RecorderGetClientApi() {
  static const RecorderClientApi api = {
      RecorderAttachClient,   RecorderDetachClient,  RecorderGetChannelView, RecorderLayerSpan,
      RecorderSetReadPosition, RecorderSetCaptured,  RecorderGetWritten,     RecorderGetScrubTarget,
      RecorderNoteScrubSpeed, RecorderKickFill,      RecorderClientEnded,    RecorderGetSilentMarks,
  };
  return &api;
}
