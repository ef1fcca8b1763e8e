// The timer procedure on a fake clock: the blink and slow ticks, the wind,
// the end of the play range and the loop, the reports and auto-save.
#include "mixer/shell/timer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/shell/mainopts.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"
#include "tests/fakes/startup_fake.h"

// The window side of the timer, recorded.
int blinks = 0;
int autoSaves = 0;
void TimerPostBlink() { ++blinks; }
int TimerMouseCaptured() { return Startup().mouseCaptured; }
int TimerModalOpen() { return Startup().modalOpen; }
void TimerShowAudioReserve(int32_t reserve) {}
void DocAutoSave() { ++autoSaves; }
void TimerShowNow(int32_t position) {}

namespace {

class TimerTest : public testing::Test {
 protected:
  void SetUp() override {
    Services().Reset();
    Startup().Reset();
    Host().Reset();
    TimerState() = MainTimerState();
    FatalErrorState = 0;
    Settings() = ProjectSettings();
    Locs() = Locators();
    blinks = autoSaves = 0;
    AutoSave = 0;
    WindFast = 0;
    PlayTillNxtMrk = 0;
    AutoScrollArrWnd = 0;
  }
  // Runs the timer every `step` ms from `from` to `to`.
  void Run(uint32_t from, uint32_t to, uint32_t step = 20) {
    for (uint32_t t = from; t <= to; t += step) MainTimerTick(t);
  }
  std::vector<std::string> Commands() {
    std::vector<std::string> out;
    for (const auto& l : Startup().log)
      if (l.rfind("TransportCommand", 0) == 0) out.push_back(l.substr(17, l.size() - 18));
    return out;
  }
};

TEST_F(TimerTest, BlinkEvery250AndSlowWorkEvery500Milliseconds) {
  Run(1000, 2990);
  EXPECT_EQ(blinks, 8);  // runs at 20 ms steps: a post every 260 ms
  EXPECT_EQ(Startup().Count("UnitsWriteDebugLog"), 4);
  EXPECT_EQ(Startup().Count("MixCheckDspLimitTick"), 4);
}

TEST_F(TimerTest, FatalErrorStopsEverything) {
  FatalErrorState = 1;
  Run(1000, 3000);
  EXPECT_EQ(blinks, 0);
  EXPECT_TRUE(Services().log.empty());
  EXPECT_TRUE(Startup().log.empty());
}

TEST_F(TimerTest, WindPositionIn64Bits) {
  // One second of rewind at 20x moves 20 seconds of samples.
  EXPECT_EQ(WindPosition(2000000, 1000, 44100, 0, 0), 2000000 - 882000);
  EXPECT_EQ(WindPosition(2000000, 1000, 44100, 1, 1), 2000000 + 3675000);
  EXPECT_EQ(WindPosition(100, 1000, 44100, 0, 0), 0);
  // 100 s at 192 kHz overflows 32 bits as milliseconds x rate.
  EXPECT_EQ(WindPosition(0, 100000, 192000, 0, 1), 384000000);
  EXPECT_EQ(WindPosition(kLastUsableLoc - 10, 1000, 48000, 1, 1), kLastUsableLoc);
}

TEST_F(TimerTest, RewindFollowsTheClockAndStopsAtZero) {
  Services().transportState = 0;
  Startup().windStart = 1000000;
  Startup().windTick = 5000;
  Locs().NowLoc = 1000000;
  MainTimerTick(5500);
  EXPECT_EQ(Locs().NowLoc, 1000000 - 441000);
  MainTimerTick(6500);
  EXPECT_EQ(Locs().NowLoc, 0);
  EXPECT_TRUE(Commands().empty());
  MainTimerTick(6520);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"4", "5"}));
}

TEST_F(TimerTest, FastForwardStopsAtTheLastPosition) {
  Services().transportState = 1;
  WindFast = 1;
  Startup().windStart = kLastUsableLoc - 1000;
  Startup().windTick = 0;
  MainTimerTick(1000);
  EXPECT_EQ(Locs().NowLoc, kLastUsableLoc);
  MainTimerTick(1020);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"4", "5"}));
}

TEST_F(TimerTest, WindInSpeedStepsLeavesThePositionAlone) {
  Services().transportState = 0;
  Startup().windSteps = 1;
  Locs().NowLoc = 5000;
  MainTimerTick(9000);
  EXPECT_EQ(Locs().NowLoc, 5000);
}

TEST_F(TimerTest, NinePinMachineSuppliesTheWindPosition) {
  Services().transportState = 1;
  Startup().nineSupplies = 1;
  Startup().ninePosition = 777;
  Startup().nineStatus = 1;
  Startup().windTick = 1000;
  MainTimerTick(1900);
  EXPECT_EQ(Locs().NowLoc, 777);
  EXPECT_TRUE(Commands().empty());  // status set, but under a second
  MainTimerTick(2100);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"4", "5"}));
}

struct RangeCase {
  int state;
  uint32_t mode;
  int playTillMarker;
  int passCount, passLimit;
  int idle;
  std::vector<std::string> want;
};

TEST_F(TimerTest, EndOfPlayRange) {
  const uint32_t loop = kModeLoop, limit = kModeAutoStopLoop;
  const RangeCase cases[] = {
      {3, 0, 0, 0, 0, 1, {"4", "5"}},              // play past the end: stop
      {3, 0, 0, 0, 0, 0, {}},                      // not yet idle: wait
      {3, 0, 1, 0, 0, 1, {"3", "5"}},              // play till the next marker
      {3, loop, 0, 0, 0, 1, {"17"}},               // loop: next pass
      {4, loop, 0, 5, 3, 1, {"17"}},               // no pass limit bit
      {4, loop | limit, 0, 1, 3, 1, {"17"}},       // second pass ends
      {4, loop | limit, 0, 2, 3, 1, {"3", "5"}},   // third pass ends: stop
      {3, loop | limit, 0, 2, 3, 1, {"17"}},       // the limit applies to recording
  };
  for (const auto& c : cases) {
    SetUp();
    Services().transportState = c.state;
    Settings().PlayRecMode = c.mode;
    PlayTillNxtMrk = c.playTillMarker;
    Startup().passCount = c.passCount;
    Startup().passLimit = c.passLimit;
    Startup().unitsAllIdle = c.idle;
    Startup().endLoc = 100000;
    Startup().currentLoc = 100000;
    MainTimerTick(100);
    SCOPED_TRACE(testing::Message() << "state " << c.state << " mode " << c.mode);
    EXPECT_EQ(Commands(), c.want);
  }
}

TEST_F(TimerTest, SeamlessLoopWrap) {
  const uint32_t seamless = kModeLoop | kModeSeamless;
  struct Case {
    int state;
    uint32_t mode;
    int passCount;
    std::vector<std::string> want;
    int passAfter;
  } cases[] = {
      {3, seamless, 0, {"17"}, 0},
      {4, seamless | kModeAutoStopLoop, 0, {"17"}, 0},
      {4, seamless | kModeAutoStopLoop, 1, {"3", "5"}, 2},  // 3 passes: stop after the third
  };
  for (const auto& c : cases) {
    SetUp();
    Services().transportState = c.state;
    Settings().PlayRecMode = c.mode;
    Startup().passCount = c.passCount;
    Startup().passLimit = 3;
    Startup().endLoc = 500000;
    Startup().currentLoc = 400000;
    MainTimerTick(100);
    EXPECT_TRUE(Commands().empty());
    Startup().currentLoc = 1000;  // wrapped back to the loop start
    MainTimerTick(120);
    EXPECT_EQ(Commands(), c.want);
    EXPECT_EQ(Startup().passCount, c.passAfter);
    if (c.want.size() == 2) {
      EXPECT_EQ(Locs().NowLoc, 500000);
    }
  }
}

TEST_F(TimerTest, EndOfTimeStops) {
  Services().transportState = 3;
  Startup().currentLoc = kEndOfTime;
  Startup().endLoc = kEndOfTime;
  MainTimerTick(100);
  EXPECT_EQ(Locs().NowLoc, kLastUsableLoc);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"4", "5"}));
}

TEST_F(TimerTest, PlayListsLateAndEngineLimitAreReportedOnce) {
  Services().transportState = 3;
  Services().refreshPlayListsResult = 0;
  Startup().audioReserve = 0;
  Startup().endLoc = 1 << 30;
  Run(1000, 1000);
  ASSERT_EQ(Host().boxes.size(), 2u);
  EXPECT_EQ(Host().boxes[0].id, 237u);
  EXPECT_EQ(Host().boxes[1].id, 239u);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"3", "5"}));
}

TEST_F(TimerTest, AutoSaveOnlyWhenQuiet) {
  AutoSave = 0;
  Run(0, 200000, 1000);
  EXPECT_EQ(autoSaves, 0);
  AutoSave = 1;
  Run(0, 180000, 1000);
  EXPECT_EQ(autoSaves, 2);  // after 61 s and 122 s
  Startup().modalOpen = 1;
  Run(181000, 400000, 1000);
  EXPECT_EQ(autoSaves, 2);
  Startup().modalOpen = 0;
  Services().transportState = 3;
  Startup().endLoc = 1 << 30;
  Run(401000, 500000, 1000);
  EXPECT_EQ(autoSaves, 2);
}

TEST_F(TimerTest, IncomingTimeCodeStartsAndStopsPlayback) {
  SyncInAutoPlayStop = 1;
  Services().syncIn = 40502;
  MainTimerTick(1000);  // stopped, no time code: arm
  EXPECT_TRUE(Commands().empty());
  Startup().syncStatus = 0x800000;
  MainTimerTick(1200);  // not a slow tick
  EXPECT_TRUE(Commands().empty());
  MainTimerTick(1600);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"13"}));
  // Playing and chasing: the target is 2.5 s ahead, cut to whole frames.
  Startup().log.clear();
  Services().transportState = 3;
  Startup().syncPosition = 44100 * 10 + 100;
  Startup().endLoc = 1 << 30;
  MainTimerTick(2200);
  const int32_t frame = 44100 / 25;
  const int32_t target = (44100 * 10 + 100 + 110250) / frame * frame;
  EXPECT_GE(Startup().IndexOf("UnitsArmChase(" + std::to_string(target) + ")"), 0)
      << Startup().Joined();
  // Time code stops: playback stops and waits for it again.
  Startup().syncStatus = 0;
  Startup().log.clear();
  MainTimerTick(2800);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"4", "5"}));
  SyncInAutoPlayStop = 0;
}

TEST_F(TimerTest, RecordLampsAroundThePunchRange) {
  Services().transportState = 4;
  Startup().punchIn = 100000;
  Startup().punchOut = 200000;
  Startup().endLoc = 1 << 30;
  Startup().currentLoc = 90000;  // more than a tenth of a second before
  MainTimerTick(100);
  Startup().currentLoc = 96000;
  MainTimerTick(120);
  Startup().currentLoc = 200000;
  MainTimerTick(140);
  std::vector<std::string> lamps;
  for (const auto& l : Startup().log)
    if (l.rfind("MixSetRecLamps", 0) == 0) lamps.push_back(l);
  EXPECT_EQ(lamps, (std::vector<std::string>{"MixSetRecLamps(1)", "MixSetRecLamps(2)",
                                             "MixSetRecLamps(1)"}));
  EXPECT_EQ(Commands(), (std::vector<std::string>{"13"}));  // past the punch-out: back to play
}

TEST_F(TimerTest, NinePinPollOnlyWithASyncBoard) {
  MainTimerTick(100);
  EXPECT_EQ(Startup().Count("NinePinPoll"), 0);
  Startup().syncBoard[0] = 1;
  MainTimerTick(120);
  EXPECT_GE(Startup().IndexOf("NinePinPoll(120)"), 0);
}

// Solo play, scrub, off-line runs and auditions while the transport is
// stopped.
TEST_F(TimerTest, SoloPlayFollowsTheEngineWhileStopped) {
  Startup().soloPlaying = 1;
  Startup().currentLoc = 5000;
  MainTimerTick(1000);  // a slow tick
  Startup().currentLoc = 6000;
  MainTimerTick(1020);
  EXPECT_EQ(Locs().NowLoc, 6000);
  EXPECT_GE(Startup().IndexOf("VideoSyncLoc(6000)"), 0);
  EXPECT_GE(Startup().IndexOf("QVMXA_SetLocator(6000)"), 0);
  EXPECT_EQ(Services().Count("VideoSetScrubLoc"), 0);
  // Play lists are re-sent on slow ticks only.
  EXPECT_EQ(Services().Count("RefreshPlayLists"), 1);
  EXPECT_TRUE(Services().Called("RefreshPlayLists(5000)"));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(TimerTest, ScrubDrivesTheMachineAndTheConsole) {
  struct Case {
    int leads, motion;
    uint32_t scrubMode;
    int autoScroll;
    bool machineEvent, motionStep, idleRefresh;
  } cases[] = {
      {1, 2, 40875, 0, true, true, false},   // the console scrubs
      {1, 0, 40874, 0, true, false, false},  // the machine follows the scrub
      {1, 0, 40875, 0, false, false, false},
      {1, 0, 40874, 1, false, false, true},  // auto-scroll leaves the machine alone
      {0, 2, 40874, 0, false, true, false},  // the machine does not lead
      {1, 1, 40874, 0, false, false, false},
  };
  for (const auto& c : cases) {
    SetUp();
    Startup().scrubbing = 1;
    Startup().nineLeads = c.leads;
    Startup().consoleMotion = c.motion;
    Services().scrubMode = c.scrubMode;
    AutoScrollArrWnd = c.autoScroll;
    Startup().currentLoc = 4410;
    MainTimerTick(100);
    SCOPED_TRACE(testing::Message() << "leads " << c.leads << " motion " << c.motion << " mode "
                                    << c.scrubMode << " auto " << c.autoScroll);
    EXPECT_EQ(Services().Called("NinePinTransportEvent(0, 4410)"), c.machineEvent);
    EXPECT_EQ(Startup().Count("ConsoleMotionTick") == 1, c.motionStep);
    EXPECT_EQ(Startup().Count("MixIdleTick") == 1, c.idleRefresh);
    EXPECT_TRUE(Services().Called("VideoSetScrubLoc(4410)"));
    EXPECT_GE(Startup().IndexOf("QVMXA_SetLocator(4410)"), 0);
    EXPECT_EQ(Locs().NowLoc, 4410);
  }
  AutoScrollArrWnd = 0;
}

TEST_F(TimerTest, ConsoleShuttleWhileStoppedOrWindingInSteps) {
  struct Case {
    int state, windSteps;
    bool shuttle;
  } cases[] = {{2, 0, true}, {0, 1, true}, {1, 1, true}, {0, 0, false}, {3, 0, false}};
  for (const auto& c : cases) {
    SetUp();
    Services().transportState = c.state;
    Startup().windSteps = c.windSteps;
    Startup().windStart = 1 << 20;
    Locs().NowLoc = 1 << 20;
    Startup().endLoc = 1 << 30;
    Startup().consoleMotion = 4;
    MainTimerTick(100);
    SCOPED_TRACE(testing::Message() << "state " << c.state << " steps " << c.windSteps);
    EXPECT_EQ(Startup().Count("ConsoleShuttleTick") == 1, c.shuttle);
  }
}

TEST_F(TimerTest, OffLineRunsAndAuditionsKeepTheirPlayListsFed) {
  struct Case {
    int procRun, mixdown, audition, soloState;
    bool progress;
    int32_t refreshAt;  // -1: no re-send
  } cases[] = {
      {1, 0, 0, 0, true, -1},      // normalize: the progress bar only
      {1, 1, 0, 0, true, 777},     // mixdown: at the engine's location
      {0, 0, 1, 0, false, 5000},   // module audition: at the current location
      {0, 0, 0, 3, false, 5000},   // a span solo play waiting for its start
      {0, 0, 0, 0, false, -1},
  };
  for (const auto& c : cases) {
    SetUp();
    Startup().procRun = c.procRun;
    Startup().mixdownRun = c.mixdown;
    Startup().exvAudition = c.audition;
    Startup().soloPlayState = c.soloState;
    Startup().natDevCloc = 777;
    Startup().currentLoc = 5000;
    MainTimerTick(1000);  // slow tick
    MainTimerTick(1020);  // fast tick
    SCOPED_TRACE(testing::Message() << "run " << c.procRun << " mixdown " << c.mixdown
                                    << " audition " << c.audition << " solo " << c.soloState);
    EXPECT_EQ(Startup().Count("ProcRunProgress(777)"), c.progress ? 2 : 0);
    if (c.refreshAt < 0) {
      EXPECT_EQ(Services().Count("RefreshPlayLists"), 0);
    } else {
      EXPECT_EQ(Services().Count("RefreshPlayLists"), 1);
      EXPECT_TRUE(Services().Called("RefreshPlayLists(" + std::to_string(c.refreshAt) + ")"));
    }
    EXPECT_EQ(Locs().NowLoc, 0);  // only a solo play or a scrub moves it
  }
}

TEST_F(TimerTest, EngineLimitDuringRunsButNotDuringScrubs) {
  Startup().audioReserve = 0;
  Startup().scrubbing = 1;
  MainTimerTick(1000);
  EXPECT_TRUE(Host().boxes.empty());
  EXPECT_TRUE(Commands().empty());
  SetUp();
  Startup().audioReserve = 0;
  Startup().procRun = Startup().mixdownRun = 1;
  MainTimerTick(1000);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, 237u);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"3", "5"}));
}

}  // namespace
