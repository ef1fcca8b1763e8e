#include "mixer/shell/timer.h"

#include "mixer/arrange/services.h"
#include "mixer/mix/services.h"
#include "mixer/model/engineopts.h"
#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/timecode.h"
#include "mixer/shell/services.h"
#include "mixer/shell/mainopts.h"
#include "mixer/units/services.h"

namespace {

// Transport commands the timer sends.
enum : int {
  kCmdHalt = 3,     // with 5: stop sequence after an error or a range end
  kCmdEndWind = 4,  // with 5: stop after a wind or the end of a range
  kCmdStop = 5,
  kCmdPlay = 13,
  kCmdNextPass = 17,
};

// Sync status bits of the first unit.
constexpr uint32_t kTcPresent = 0x800000;
constexpr uint32_t kTcStopped = 0x400000;
constexpr uint32_t kTcUnlocked = 0x200000;
constexpr uint32_t kSyncInNone = 40501;
// The scrub mode in which the 9-pin machine follows a scrub on its own.
constexpr uint32_t kScrubModeMachine = 40874;

constexpr uint32_t kMsgPlayListsLate = 239;
constexpr uint32_t kMsgEngineLimit = 237;

void Stop(int first) {
  TransportCommand(first);
  TransportCommand(kCmdStop);
}

void RefreshPlayListsReport(MainTimerState& t, int32_t position) {
  if (RefreshPlayLists(position) || t.playListGuard) return;
  t.playListGuard = 1;
  MessageBoxById(nullptr, kMsgPlayListsLate, kMbWarnOk);
  t.playListGuard = 0;
}

void SlowTick(MainTimerState& t, int state) {
  UnitsWriteDebugLog();
  if (!t.takeErrGuard) {
    t.takeErrGuard = 1;
    int failed = TakeCheckIoError();
    t.takeErrGuard = 0;
    if (failed && state != kTransportStopped) Stop(kCmdHalt);
  }
  CheckUnitSyncStatus();
  // A solo play and a scrub may run behind without a report: they play
  // nothing that is recorded.
  const bool soloOrScrub = ArrSoloPlaying() || ArrScrubbing();
  if (state == kTransportPlaying || state == kTransportRecording || ProcMixdownRunning() ||
      EopAuditionPlaying() || soloOrScrub) {
    int32_t reserve = NatDevGetAudioBufMinimum();
    if (reserve < 1 && !soloOrScrub && !t.engineGuard) {
      Stop(kCmdHalt);
      t.engineGuard = 1;
      MessageBoxById(nullptr, kMsgEngineLimit, kMbWarnOk);
      t.engineGuard = 0;
    }
    TimerShowAudioReserve(reserve);
  }
  MixCheckDspLimitTick();
}

void AutoSaveTick(MainTimerState& t, int state) {
  if (AutoSave <= 0) return;
  if (t.now - t.lastAutoSave <= static_cast<uint32_t>(AutoSave) * 60000u) return;
  if (ConsoleMotionMode() != 0 || TimerMouseCaptured() || state != kTransportStopped) return;
  if (TimerModalOpen()) return;
  DocAutoSave();
  t.lastAutoSave = t.now;
}

void WindTick(MainTimerState& t, int forward) {
  int32_t position = 0;
  int status = 0;
  int32_t start = 0;
  uint32_t began = 0;
  int steps = TransportWindStart(&start, &began);
  if (NinePinWindPosition(&position, &status)) {
    Locs().NowLoc = position;
    VideoSetScrubLoc(position);
    TimerShowNow(position);
    if (status && t.now - began > 1000) Stop(kCmdEndWind);
    return;
  }
  int32_t now = Locs().NowLoc;
  if (forward ? now >= kLastUsableLoc : now <= 0) {
    Stop(kCmdEndWind);
    return;
  }
  if (steps) return;
  now = WindPosition(start, t.now - began, Settings().SampleRate, WindFast, forward);
  Locs().NowLoc = now;
  VideoSetScrubLoc(now);
  TimerShowNow(now);
}

// The end of the play range and the wrap of a seamless loop.
void RangeEndTick(MainTimerState& t, int state) {
  const uint32_t mode = Settings().PlayRecMode;
  const int32_t now = Locs().NowLoc;
  const bool recording = state == kTransportRecording;
  const bool passLimit = recording && (mode & kModeAutoStopLoop);
  if (now >= TransportEndLoc() && UnitsAllIdle() && NatDevAllIdle()) {
    if (state == kTransportPlaying && PlayTillNxtMrk) {
      Stop(kCmdHalt);
    } else if (mode & kModeLoop) {
      if (passLimit && TransportPassCount() >= TransportPassLimit() - 1) {
        Stop(kCmdHalt);
      } else {
        TransportCommand(kCmdNextPass);
      }
    } else {
      Stop(kCmdEndWind);
    }
    return;
  }
  if (IsSeamlessLoopOn() && now < t.prevNow) {
    if (passLimit && TransportPassCount() >= TransportPassLimit() - 2) {
      TransportSetPassCount(TransportPassCount() + 1);
      Stop(kCmdHalt);
      Locs().NowLoc = TransportEndLoc();
    } else {
      TransportCommand(kCmdNextPass);
    }
  }
}

// While stopped with auto play: incoming time code that starts after it
// stopped starts playback. Returns 1 when playback was started.
int AutoPlayTick(MainTimerState& t) {
  if (!t.slowTick || !SyncInAutoPlayStop || GetSyncIn() == kSyncInNone) return 0;
  if (TimerMouseCaptured() || TimerModalOpen() || ConsoleMotionMode() != 0) return 0;
  if (NinePinLeadsTransport() || NinePinArmedToDrive()) return 0;
  uint32_t status = 0, first = 0;
  int32_t position = 0;
  UnitGetSyncStatus(&status, &position, &first);
  if ((status & kTcPresent) && !(status & kTcStopped)) {
    if (!t.autoPlayArmed) return 0;
    TransportCommand(kCmdPlay);
    t.autoPlayArmed = 0;
    return 1;
  }
  t.autoPlayArmed = 1;
  return 0;
}

// The incoming position, prepared SlvMtcPrepDurat ahead and cut to whole
// frames.
int32_t ChaseTarget(int32_t incoming) {
  const uint32_t rate = Settings().SampleRate;
  int64_t ahead = int64_t{incoming} + MsToSamples(SlvMtcPrepDurat, static_cast<int32_t>(rate));
  if (ahead > kEndOfTime) ahead = kEndOfTime;
  TcRec tc;
  LocToTimeCode(&tc, static_cast<int32_t>(ahead), Settings().TcOffset);
  tc.SubFrames = 0;
  return TimeCodeToLoc(tc, Settings().TcOffset);
}

// Slow-tick work while playing or recording: chase incoming time code, or
// re-send the play lists the position has left. Returns 1 when it stopped
// the transport.
int ChaseTick(MainTimerState& t, int state, int32_t now) {
  uint32_t status = 0, first = 0;
  int32_t incoming = 0;
  const bool chase = GetSyncIn() != kSyncInNone;
  if (chase) UnitGetSyncStatus(&status, &incoming, &first);
  bool running = (status & kTcPresent) && !(status & kTcUnlocked);
  if (chase && first != 1 && first != 2 && running) {
    int32_t target = ChaseTarget(incoming);
    int32_t limit = state == kTransportRecording ? TransportPunchInLoc() : TransportEndLoc();
    if (target <= limit) {
      SendPlayListsAt(target);
      CardsSyncCommand(Settings().SampleRate, GetSyncIn(), target, 0, 0, 0);
      UnitsArmChase(target);
      t.chaseArmed = 1;
    } else {
      RefreshPlayListsReport(t, now);
    }
  } else {
    RefreshPlayListsReport(t, now);
  }
  if (SyncInAutoPlayStop && t.chaseArmed && chase && !(status & kTcPresent) &&
      !NinePinLeadsTransport()) {
    Stop(kCmdEndWind);
    t.autoPlayArmed = 1;
    return 1;
  }
  return 0;
}

// The record-ready lamps of a recording and of the hold after a pass.
void RecLampsTick(int state, int32_t now) {
  const uint32_t mode = Settings().PlayRecMode;
  if (state == kTransportRecording) {
    const int32_t in = TransportPunchInLoc(), out = TransportPunchOutLoc();
    const int32_t tenth = static_cast<int32_t>(Settings().SampleRate / 10);
    MixSetRecLamps(now >= in - tenth && now < out ? 2 : 1);
    if (!(mode & (kModeLoop | kModeAutoStopPunch)) && now >= out) TransportCommand(kCmdPlay);
    return;
  }
  const int32_t hold = TransportLampHoldLoc();
  if (hold >= 0 && now > hold && int64_t{now} - hold > RecPartSpan()) {
    MixSetRecLamps(1);
    TransportSetLampHoldLoc(-1);
  }
}

void PlayTick(MainTimerState& t, int state) {
  t.prevNow = Locs().NowLoc;
  int32_t now = GetCurrentLoc();
  Locs().NowLoc = now;
  VideoSyncLoc(now);
  QVMXA_SetLocator(now);
  if (t.slowTick && ChaseTick(t, state, now)) return;
  if (now >= kEndOfTime) {
    Locs().NowLoc = kLastUsableLoc;
    Stop(kCmdEndWind);
    return;
  }
  TimerShowNow(now);
  RecLampsTick(state, now);
  RangeEndTick(t, state);
  if (AutoScrollArrWnd) MixIdleTick(CurMixDoc());
}

// A solo play or a scrub moves the now position while the transport is
// stopped.
void SoloOrScrubTick(MainTimerState& t, int motion) {
  const int32_t now = GetCurrentLoc();
  Locs().NowLoc = now;
  if (ArrSoloPlaying()) {
    VideoSyncLoc(now);
  } else {
    const bool machineScrubs =
        motion == 2 || (motion == 0 && GetScrubMode() == kScrubModeMachine && !AutoScrollArrWnd);
    if (NinePinLeadsTransport() && machineScrubs) NinePinTransportEvent(0, now);
    VideoSetScrubLoc(now);
  }
  QVMXA_SetLocator(now);
  TimerShowNow(now);
  if (t.slowTick) RefreshPlayListsReport(t, now);
  if (motion == 2) ConsoleMotionTick();
  if (AutoScrollArrWnd) MixIdleTick(CurMixDoc());
}

// While the transport is stopped, or winds in speed steps: the console's
// shuttle, solo plays and scrubs, and the off-line runs and auditions that
// play through the engine.
void StoppedTick(MainTimerState& t) {
  const int state = TransportState();
  if (state != kTransportStopped) {
    int32_t start = 0;
    uint32_t began = 0;
    const bool winding = state == kTransportRewind || state == kTransportFastForward;
    if (!winding || !TransportWindStart(&start, &began)) return;
  }
  const int motion = ConsoleMotionMode();
  if (motion == 4) ConsoleShuttleTick();
  if (ArrSoloPlaying() || ArrScrubbing()) {
    SoloOrScrubTick(t, motion);
  } else if (ArrSoloPlayState() == 3) {
    const int32_t now = GetCurrentLoc();
    if (t.slowTick) RefreshPlayListsReport(t, now);
  } else if (ProcRunActive()) {
    const int32_t location = NatDevGetCloc();
    ProcRunProgress(location);
    if (ProcMixdownRunning() && t.slowTick) RefreshPlayListsReport(t, location);
  } else if (EopAuditionPlaying() && t.slowTick) {
    RefreshPlayListsReport(t, GetCurrentLoc());
  }
}

}  // namespace

int32_t FatalErrorState = 0;

MainTimerState& TimerState() {
  static MainTimerState state;
  return state;
}

int32_t WindPosition(int32_t start, uint32_t elapsedMs, uint32_t rate, int fast, int forward) {
  // Milliseconds x sample rate overflows 32 bits after a few seconds.
  int64_t moved = static_cast<int64_t>(elapsedMs) * rate / (fast ? 12 : 50);
  int64_t position = forward ? int64_t{start} + moved : int64_t{start} - moved;
  if (position < 0) return 0;
  if (position > kLastUsableLoc) return kLastUsableLoc;
  return static_cast<int32_t>(position);
}

void MainTimerTick(uint32_t now) {
  if (FatalErrorState) return;
  MainTimerState& t = TimerState();
  const int state = TransportState();
  t.now = now;
  if (now - t.lastBlink > 250) {
    t.lastBlink = now;
    TimerPostBlink();
  }
  t.slowTick = 0;
  if (now - t.lastSlow > 500) {
    t.slowTick = 1;
    t.lastSlow = now;
    SlowTick(t, state);
  }
  AutoSaveTick(t, state);
  switch (state) {
    case kTransportRewind:
      WindTick(t, 0);
      break;
    case kTransportFastForward:
      WindTick(t, 1);
      break;
    case kTransportStopped:
      if (AutoPlayTick(t)) PlayTick(t, kTransportPlaying);
      break;
    case kTransportPlaying:
    case kTransportRecording:
      PlayTick(t, state);
      break;
    default:
      break;
  }
  if (UnitHasSyncBoard(0)) NinePinPoll(now);
  StoppedTick(t);
}
