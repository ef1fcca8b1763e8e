#include "mixer/units/transport.h"

namespace {

TransportHost* gHost = nullptr;
TransportLamps gLamps;
int32_t gSpeed = 0;       // -8..8, 0 when not winding
int gStateAtStopStep = 2; // the state read by the first step of a stop
// Solo play and scrub run on play lists of their own: the next stop brings
// the normal ones back.
bool gSolo = false;
bool gScrub = false;

constexpr int32_t kMaxSpeed = 8;
constexpr int kStopped = 2, kPlaying = 3, kRecording = 4;
constexpr int32_t kEndOfTime = 0x7FFF05FF;

int State() { return TransportStateOf(gLamps); }

void SetWindLamps() {
  gLamps.rewind = gSpeed < 0;
  gLamps.fastForward = gSpeed > 0;
}

void WindOff(TransportHost& h) {
  if (gSpeed == 0) return;
  gSpeed = 0;
  SetWindLamps();
  h.UnitsWind(0);
}

// After solo play or scrub: the play lists of the arrangement, the play
// flags, the loop and the record state as they were before.
void RestoreNormalPlay(TransportHost& h) {
  gSolo = false;
  gScrub = false;
  h.RebuildAllPlayLists();
  h.MidiBuildPlayLists(0);
  h.RestorePlayFlags();
  h.UnitsSetLoop(1, h.LoopOn(), 0);
  h.MixSetRecMonState(0);
}

// Leaves the transport stopped: units and native devices stop, the location
// is read back, automation, MIDI and video stop, and a recording is closed.
void StopSequence(TransportHost& h) {
  const bool wasRecording = State() == kRecording;
  const bool wasMoving = gLamps.play;
  h.UnitsStop();
  h.NatDevStopAll();
  gLamps.play = false;
  gLamps.record = false;
  const int32_t location = h.NatDevGetClocAll();
  // Where play stopped becomes the now position.
  if (wasMoving) h.SetNowLoc(location);
  const int32_t now = h.NowLoc();
  h.MxaStopPlayRec(now);
  h.MidiStopPlayRec(now);
  h.VideoStop();
  if (wasRecording) {
    h.ArrRecordStop(now);
    h.ArrUpdateRuler();
    h.UpdateRecLamps();
    h.UnitsSetLoop(1, h.LoopOn(), 0);
    h.MidiSetLoop(h.LoopOn() ? 1 : 0, 0);
    h.MxaWriteChangedTakes();
    h.MidiSaveLogs();
  }
  if (gSolo) RestoreNormalPlay(h);
}

// Everything that plays is placed at the now position and primed.
void Prime(TransportHost& h, int32_t now) {
  h.UnitsLocate(now);
  h.RefreshPlayLists(now);
  h.CardsSyncCommand(now);
  h.UnitsPrepPlayBufs(now);
  h.NatDevPrepAll(now);
  h.VideoPrepPlay(now);
  h.MxaSetNowLoc(now);
  h.MidiPrepPlayBufs(now);
}

void AnnounceState(TransportHost& h, int32_t now) {
  h.MixSetTrkRecState();
  h.ConsoleNotifyTransport(State());
  h.NinePinTransportEvent(0, now);
  h.StatusRefresh();
  h.ShowLamps();
}

void Reprime(TransportHost& h) {
  const int32_t now = h.NowLoc();
  h.ShowNowBars();
  h.ShowNowTimecode();
  Prime(h, now);
  AnnounceState(h, now);
}

// The start after priming: units and native devices once their buffers are
// full, then (or, in Video Sync, after the video) the rest.
int Start(TransportHost& h, bool record, bool videoSync) {
  h.UnitsWaitUntilIdle();
  h.NatDevWaitPrepared();
  if (videoSync) h.VideoStart();
  if (!h.UnitsStartPlayRec(record ? 1 : 0)) {
    // A unit refused: nothing else starts, and what was prepared is stopped.
    h.UnitsStop();
    if (videoSync) h.VideoStop();
    return 0;
  }
  h.NatDevStartAll();
  if (!videoSync) h.VideoStart();
  h.MxaStartPlayRec();
  h.MidiStartPlayRec();
  return 1;
}

void Wind(TransportHost& h, int cmd) {
  if (h.NinePinLeads()) {
    h.NinePinWind(cmd);
    return;
  }
  if (gSpeed == 0) StopSequence(h);
  if (cmd == kTcRewind && gSpeed > -kMaxSpeed) --gSpeed;
  if (cmd == kTcFastForward && gSpeed < kMaxSpeed) ++gSpeed;
  SetWindLamps();
  h.UnitsWind(gSpeed * 32768 / 10);
  h.ShowLamps();
}

void Relocate(TransportHost& h) {
  WindOff(h);
  if (h.NinePinLeads()) {
    const int32_t pos = h.NinePinGetMachinePos();
    h.SetNowLoc(pos);
    h.NinePinTransportEvent(0, pos);
  }
  Reprime(h);
}

void Stop(TransportHost& h) {
  WindOff(h);
  StopSequence(h);
  Reprime(h);
  h.ArrRefreshAfterLocate();
  h.ArrGenTakeWaveforms();
}

int32_t LocateTarget(TransportHost& h, int cmd, int32_t now) {
  switch (cmd) {
    case kTcLocatePrevEdge: return h.ArrPrevSectionEdge(now);
    case kTcLocateNextEdge: return h.ArrNxtSectionEdge(now);
    case kTcLocateSnapBack: return h.SnapStep(now, -1);
    case kTcLocateSnapForward: return h.SnapStep(now, 1);
    case kTcLocateStart: return h.ArrStartLoc();
    default: return h.ArrEndLoc();
  }
}

void Locate(TransportHost& h, int cmd) {
  WindOff(h);
  StopSequence(h);
  const int32_t target = LocateTarget(h, cmd, h.NowLoc());
  if (target >= 0) h.SetNowLoc(target);
  Reprime(h);
}

void Play(TransportHost& h, bool videoSync) {
  WindOff(h);
  if (h.MixHasNatRecElem()) {
    const int32_t location = h.NatDevGetClocAll();
    h.MxaLocate(location);
  }
  if (State() != kStopped) StopSequence(h);
  h.UpdateEndLoc();
  const int32_t now = h.NowLoc();
  h.ShowNowBars();
  h.ShowNowTimecode();
  Prime(h, now);
  if (Start(h, false, videoSync)) {
    gLamps.play = true;
    h.NinePinTransportEvent(3, now);
  }
  AnnounceState(h, now);
}

void Record(TransportHost& h, bool videoSync) {
  WindOff(h);
  if (h.RecTimeAvailable() < kTransportMinRecTime || !h.RecTracksFit()) return;
  if (h.SeamlessLoopOn()) {
    h.UnitsSetLoop(2, 1, 1);
    h.MidiSetLoop(2, 0);
  } else {
    h.UnitsSetLoop(1, h.LoopOn(), 0);
    h.MidiSetLoop(h.LoopOn() ? 1 : 0, 0);
  }
  h.ConsoleNotifyModes();
  StopSequence(h);
  Reprime(h);
  const int32_t now = h.NowLoc();
  if (!h.ArrRecordPass(now, h.RightLoc())) {
    AnnounceState(h, now);
    return;
  }
  h.UnitsPrepPlayBufs(now);
  h.NatDevPrepAll(now);
  if (!Start(h, true, videoSync)) {
    // Nothing was started: the pass laid out for it is closed again.
    h.ArrRecordStop(now);
    h.UpdateRecLamps();
    AnnounceState(h, now);
    return;
  }
  gLamps.record = true;
  gLamps.play = true;
  h.UpdateRecLamps();
  AnnounceState(h, now);
  h.UpdateEndLoc();
}

void PassEnd(TransportHost& h) {
  if (State() != kRecording) return;
  const int32_t now = h.NowLoc();
  h.MxaStopPlayRec(now);
  h.VideoStop();
  h.ArrRecordLoopStep();
  h.RebuildAllPlayLists();
  h.MxaRebuildPlayMaps();
  h.MidiBuildPlayLists(1);
  h.ArrRedrawRecordParts();
  if (h.SeamlessLoopOn()) {
    h.RefreshPlayLists(now);
    h.VideoStart();
    h.MxaStartPlayRec();
    h.NinePinTransportEvent(4, now);
    return;
  }
  h.UnitsStop();
  h.NatDevStopAll();
  const int32_t start = h.LeftLoc();
  h.SetNowLoc(start);
  h.UnitsLocate(start);
  h.UnitsPrepPlayBufs(start);
  h.NatDevPrepAll(start);
  h.VideoPrepPlay(start);
  h.UnitsWaitUntilIdle();
  h.NatDevWaitPrepared();
  h.VideoStart();
  h.MxaStartPlayRec();
  if (!h.UnitsStartPlayRec(1)) {
    h.UnitsStop();
    StopSequence(h);
    AnnounceState(h, start);
    return;
  }
  h.NatDevStartAll();
}

}  // namespace

int TransportStateOf(const TransportLamps& lamps) {
  if (lamps.play) return lamps.record ? kRecording : kPlaying;
  if (lamps.rewind) return 0;
  if (lamps.fastForward) return 1;
  return kStopped;
}

void TransportBind(TransportHost* host) { gHost = host; }

const TransportLamps& TransportLampState() { return gLamps; }
int32_t TransportWindSpeed() { return gSpeed; }

void TransportReset() {
  gLamps = TransportLamps{};
  gSpeed = 0;
  gStateAtStopStep = kStopped;
  gSolo = false;
  gScrub = false;
}

// Whatever ran before solo play, scrub or an audition is stopped without
// touching the play lists the caller has just compiled.
static void StopForSolo(TransportHost& h) {
  WindOff(h);
  gSolo = false;
  gScrub = false;
  if (State() != kStopped) StopSequence(h);
}

int TransportRunSolo(int32_t start, int32_t end) {
  if (gHost == nullptr) return 0;
  TransportHost& h = *gHost;
  StopForSolo(h);
  h.MixSetRecMonState(1);
  h.SetNowLoc(start);
  const int32_t now = h.NowLoc();
  h.UnitsSetLoop(1, 0, 0);
  h.CardsSyncCommand(now);
  h.UnitsPrepPlayBufs(now);
  h.NatDevPrepAll(now);
  h.VideoPrepPlay(now);
  h.MxaSetNowLoc(now);
  h.MidiPrepPlayBufs(now);
  h.NinePinTransportEvent(0, now);
  h.ShowNowBars();
  h.ShowNowTimecode();
  h.SetPlayEnd(end);
  // The video starts first, then units, devices, automation and MIDI.
  if (!Start(h, false, true)) {
    RestoreNormalPlay(h);
    AnnounceState(h, now);
    return 0;
  }
  gSolo = true;
  gLamps.play = true;
  h.NinePinTransportEvent(3, now);
  AnnounceState(h, now);
  return 1;
}

void TransportRunScrub(int32_t position, int mode) {
  if (gHost == nullptr) return;
  TransportHost& h = *gHost;
  StopForSolo(h);
  gSolo = true;
  gScrub = true;
  h.UnitsPrepScrubBufs(position, kEndOfTime);
  if (mode == 2) h.SetScrubSyncMode();
  h.UnitsStartScrub(mode);
}

int TransportSoloActive() { return gSolo ? 1 : 0; }
int TransportScrubbing() { return gScrub ? 1 : 0; }

int TransportRunAudition(int32_t from, int32_t to) {
  if (gHost == nullptr) return 0;
  TransportHost& h = *gHost;
  StopForSolo(h);
  h.MixSetRecMonState(1);
  h.UnitsLoopPunchOff();
  h.CardsSyncCommand(from);
  h.UnitsPrepPlayBufs(from);
  h.NatDevPrepAll(from);
  h.UnitsWaitUntilIdle();
  h.NatDevWaitPrepared();
  h.SetPlayEnd(to);
  if (!h.UnitsStartPlayRec(0)) {
    h.UnitsStop();
    return 0;
  }
  h.NatDevStartAll();
  return 1;
}

void TransportEndAudition() {
  if (gHost == nullptr) return;
  TransportHost& h = *gHost;
  h.UnitsStop();
  h.NatDevStopAll();
  h.RestorePlayFlags();
  h.MixSetRecMonState(0);
  h.UnitsSetLoop(1, h.LoopOn(), 0);
  // The play end of the transport's own play and record comes back.
  h.UpdateEndLoc();
}

int TransportRunMixdown(int32_t from, int32_t to) {
  if (gHost == nullptr) return 0;
  TransportHost& h = *gHost;
  StopForSolo(h);
  h.UnitsLocate(from);
  h.UnitsLoopPunchOff();
  h.MidiSetLoop(0, 0);
  h.CardsSyncCommand(from);
  h.RebuildAllPlayLists();
  h.UnitsPrepPlayBufs(from);
  h.NatDevPrepAll(from);
  h.MxaLocate(from);
  h.MidiPrepPlayBufs(from);
  h.UnitsWaitUntilIdle();
  h.NatDevWaitPrepared();
  h.SetPlayEnd(to);
  if (!h.UnitsStartPlayRec(1)) {
    h.UnitsStop();
    return 0;
  }
  h.NatDevStartAll();
  h.MxaStartPlayRec();
  h.MidiStartPlayRec();
  return 1;
}

void TransportEndMixdown(int32_t back) {
  if (gHost == nullptr) return;
  TransportHost& h = *gHost;
  const int32_t at = h.NatDevGetClocAll();
  h.UnitsStop();
  h.NatDevStopAll();
  h.MxaStopPlayRec(at);
  h.MidiStopPlayRec(at);
  h.UnitsLocate(back);
  h.UnitsSetLoop(1, h.LoopOn(), 0);
  h.MidiSetLoop(h.LoopOn() ? 1 : 0, 0);
  h.UpdateEndLoc();
  h.RebuildAllPlayLists();
  h.MxaLocate(back);
  h.MidiPrepPlayBufs(back);
}

void TransportRun(int cmd) {
  if (gHost == nullptr || cmd < 0 || cmd > kTransportLastCmd) return;
  TransportHost& h = *gHost;
  switch (cmd) {
    case kTcRewind:
    case kTcFastForward: Wind(h, cmd); break;
    case kTcRelocate: Relocate(h); break;
    case kTcStopStep1:
      gStateAtStopStep = State();
      if (gStateAtStopStep != kStopped || gSolo) Stop(h);
      break;
    case kTcStop: Stop(h); break;
    case kTcStopStep2:
      h.ShowLamps();
      h.ConsoleNotifyTransport(State());
      break;
    case kTcLocateDone: h.ShowLamps(); break;
    case kTcPlay:
    case kTcPlayVideoSync: Play(h, cmd == kTcPlayVideoSync); break;
    case kTcRecord:
    case kTcRecordVideoSync: Record(h, cmd == kTcRecordVideoSync); break;
    case kTcPassEnd: PassEnd(h); break;
    default: Locate(h, cmd); break;
  }
}
