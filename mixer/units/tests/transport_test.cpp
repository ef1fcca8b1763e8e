// The transport's branches through a host that records every call.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mixer/units/transport.h"

namespace {

class LogHost : public TransportHost {
 public:
  std::vector<std::string> log;
  int32_t now = 1000, left = 500, right = 9000, cloc = 4321;
  int seamless = 0, loop = 0, nineLeads = 0, natRec = 0, unitsAccept = 1, recPass = 1;
  uint32_t recTime = 100000;
  int tracksFit = 1;

  void L(const std::string& s) { log.push_back(s); }
  static std::string N(int64_t v) { return std::to_string(v); }

  int32_t NowLoc() override { return now; }
  void SetNowLoc(int32_t p) override { now = p; L("SetNowLoc(" + N(p) + ")"); }
  int32_t LeftLoc() override { return left; }
  int32_t RightLoc() override { return right; }
  int SeamlessLoopOn() override { return seamless; }
  int LoopOn() override { return loop; }
  int32_t SampleRate() override { return 48000; }
  void UnitsStop() override { L("UnitsStop"); }
  void UnitsLocate(int32_t p) override { L("UnitsLocate(" + N(p) + ")"); }
  void UnitsPrepPlayBufs(int32_t p) override { L("UnitsPrepPlayBufs(" + N(p) + ")"); }
  void UnitsWaitUntilIdle() override { L("UnitsWaitUntilIdle"); }
  int UnitsStartPlayRec(int r) override {
    L("UnitsStartPlayRec(" + N(r) + ")");
    return unitsAccept;
  }
  void UnitsWind(int32_t s) override { L("UnitsWind(" + N(s) + ")"); }
  void UnitsSetLoop(int k, int on, int f) override {
    L("UnitsSetLoop(" + N(k) + "," + N(on) + "," + N(f) + ")");
  }
  void CardsSyncCommand(int32_t p) override { L("CardsSyncCommand(" + N(p) + ")"); }
  int32_t NatDevGetClocAll() override {
    L("NatDevGetClocAll");
    return cloc;
  }
  void NatDevStopAll() override { L("NatDevStopAll"); }
  void NatDevPrepAll(int32_t p) override { L("NatDevPrepAll(" + N(p) + ")"); }
  void NatDevWaitPrepared() override { L("NatDevWaitPrepared"); }
  void NatDevStartAll() override { L("NatDevStartAll"); }
  void RefreshPlayLists(int32_t p) override { L("RefreshPlayLists(" + N(p) + ")"); }
  void RebuildAllPlayLists() override { L("RebuildAllPlayLists"); }
  void SetPlayEnd(int32_t p) override { L("SetPlayEnd(" + N(p) + ")"); }
  void UnitsPrepScrubBufs(int32_t f, int32_t t) override {
    L("UnitsPrepScrubBufs(" + N(f) + "," + N(t) + ")");
  }
  void UnitsStartScrub(int m) override { L("UnitsStartScrub(" + N(m) + ")"); }
  void SetScrubSyncMode() override { L("SetScrubSyncMode"); }
  void RestorePlayFlags() override { L("RestorePlayFlags"); }
  void UnitsLoopPunchOff() override { L("UnitsLoopPunchOff"); }
  void MxaStopPlayRec(int32_t p) override { L("MxaStopPlayRec(" + N(p) + ")"); }
  void MxaStartPlayRec() override { L("MxaStartPlayRec"); }
  void MxaSetNowLoc(int32_t p) override { L("MxaSetNowLoc(" + N(p) + ")"); }
  void MxaLocate(int32_t p) override { L("MxaLocate(" + N(p) + ")"); }
  void MxaWriteChangedTakes() override { L("MxaWriteChangedTakes"); }
  void MxaRebuildPlayMaps() override { L("MxaRebuildPlayMaps"); }
  int MixHasNatRecElem() override { return natRec; }
  void MixSetTrkRecState() override { L("MixSetTrkRecState"); }
  void MixSetRecMonState(int st) override { L("MixSetRecMonState(" + N(st) + ")"); }
  void MidiStopPlayRec(int32_t p) override { L("MidiStopPlayRec(" + N(p) + ")"); }
  void MidiPrepPlayBufs(int32_t p) override { L("MidiPrepPlayBufs(" + N(p) + ")"); }
  void MidiStartPlayRec() override { L("MidiStartPlayRec"); }
  void MidiSetLoop(int k, int p) override { L("MidiSetLoop(" + N(k) + "," + N(p) + ")"); }
  void MidiSaveLogs() override { L("MidiSaveLogs"); }
  void MidiBuildPlayLists(int a) override { L("MidiBuildPlayLists(" + N(a) + ")"); }
  void VideoStop() override { L("VideoStop"); }
  void VideoPrepPlay(int32_t p) override { L("VideoPrepPlay(" + N(p) + ")"); }
  void VideoStart() override { L("VideoStart"); }
  int NinePinLeads() override { return nineLeads; }
  void NinePinWind(int c) override { L("NinePinWind(" + N(c) + ")"); }
  int32_t NinePinGetMachinePos() override {
    L("NinePinGetMachinePos");
    return 777;
  }
  void NinePinTransportEvent(int e, int32_t p) override {
    L("NinePinTransportEvent(" + N(e) + "," + N(p) + ")");
  }
  void ConsoleNotifyTransport(int s) override { L("ConsoleNotifyTransport(" + N(s) + ")"); }
  void ConsoleNotifyModes() override { L("ConsoleNotifyModes"); }
  void ArrRecordStop(int32_t p) override { L("ArrRecordStop(" + N(p) + ")"); }
  void ArrUpdateRuler() override { L("ArrUpdateRuler"); }
  int ArrRecordPass(int32_t s, int32_t e) override {
    L("ArrRecordPass(" + N(s) + "," + N(e) + ")");
    return recPass;
  }
  void ArrRecordLoopStep() override { L("ArrRecordLoopStep"); }
  void ArrRedrawRecordParts() override { L("ArrRedrawRecordParts"); }
  void ArrRefreshAfterLocate() override { L("ArrRefreshAfterLocate"); }
  void ArrGenTakeWaveforms() override { L("ArrGenTakeWaveforms"); }
  int32_t ArrNxtSectionEdge(int32_t p) override { return p + 100; }
  int32_t ArrPrevSectionEdge(int32_t p) override { return p - 100; }
  int32_t SnapStep(int32_t p, int d) override { return p + d * 10; }
  int32_t ArrStartLoc() override { return 50; }
  int32_t ArrEndLoc() override { return 60000; }
  uint32_t RecTimeAvailable() override { return recTime; }
  int RecTracksFit() override { return tracksFit; }
  void ShowNowBars() override { L("ShowNowBars"); }
  void ShowNowTimecode() override { L("ShowNowTimecode"); }
  void ShowLamps() override { L("ShowLamps"); }
  void UpdateRecLamps() override { L("UpdateRecLamps"); }
  void StatusRefresh() override { L("StatusRefresh"); }
  void UpdateEndLoc() override { L("UpdateEndLoc"); }
};

using Log = std::vector<std::string>;

class Transport : public ::testing::Test {
 protected:
  void SetUp() override {
    TransportReset();
    TransportBind(&host);
  }
  void TearDown() override { TransportBind(nullptr); }
  // Runs the command with an empty log and answers what it called.
  Log Run(int cmd) {
    host.log.clear();
    TransportRun(cmd);
    return host.log;
  }
  int State() { return TransportStateOf(TransportLampState()); }
  LogHost host;
};

const Log kStopWhileStopped = {"UnitsStop", "NatDevStopAll", "NatDevGetClocAll",
                               "MxaStopPlayRec(1000)", "MidiStopPlayRec(1000)", "VideoStop"};

Log Reprime(int32_t at, int state) {
  const std::string p = std::to_string(at);
  return {"ShowNowBars",        "ShowNowTimecode",
          "UnitsLocate(" + p + ")", "RefreshPlayLists(" + p + ")",
          "CardsSyncCommand(" + p + ")", "UnitsPrepPlayBufs(" + p + ")",
          "NatDevPrepAll(" + p + ")", "VideoPrepPlay(" + p + ")",
          "MxaSetNowLoc(" + p + ")", "MidiPrepPlayBufs(" + p + ")",
          "MixSetTrkRecState",  "ConsoleNotifyTransport(" + std::to_string(state) + ")",
          "NinePinTransportEvent(0," + p + ")", "StatusRefresh",
          "ShowLamps"};
}

Log Cat(std::initializer_list<Log> parts) {
  Log out;
  for (const Log& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(Transport, PlayPrimesEverythingThenStartsInOrder) {
  EXPECT_EQ(Run(kTcPlay),
            Log({"UpdateEndLoc", "ShowNowBars", "ShowNowTimecode", "UnitsLocate(1000)",
                 "RefreshPlayLists(1000)", "CardsSyncCommand(1000)", "UnitsPrepPlayBufs(1000)",
                 "NatDevPrepAll(1000)", "VideoPrepPlay(1000)", "MxaSetNowLoc(1000)",
                 "MidiPrepPlayBufs(1000)", "UnitsWaitUntilIdle", "NatDevWaitPrepared",
                 "UnitsStartPlayRec(0)", "NatDevStartAll", "VideoStart", "MxaStartPlayRec",
                 "MidiStartPlayRec", "NinePinTransportEvent(3,1000)", "MixSetTrkRecState",
                 "ConsoleNotifyTransport(3)", "NinePinTransportEvent(0,1000)", "StatusRefresh",
                 "ShowLamps"}));
  EXPECT_EQ(State(), 3);

  // Video Sync: the video starts before the units; a native record element
  // gives automation the native location first.
  TransportReset();
  host.natRec = 1;
  const Log sync = Run(kTcPlayVideoSync);
  ASSERT_GE(sync.size(), 3u);
  EXPECT_EQ(sync[0], "NatDevGetClocAll");
  EXPECT_EQ(sync[1], "MxaLocate(4321)");
  const auto at = [&](const char* name) { return std::find(sync.begin(), sync.end(), name) - sync.begin(); };
  EXPECT_LT(at("NatDevWaitPrepared"), at("VideoStart"));
  EXPECT_LT(at("VideoStart"), at("UnitsStartPlayRec(0)"));
}

TEST_F(Transport, StopWhilePlayingTakesTheClockAsNowAndReprimes) {
  Run(kTcPlay);
  EXPECT_EQ(Run(kTcStop),
            Cat({{"UnitsStop", "NatDevStopAll", "NatDevGetClocAll", "SetNowLoc(4321)",
                  "MxaStopPlayRec(4321)", "MidiStopPlayRec(4321)", "VideoStop"},
                 Reprime(4321, 2),
                 {"ArrRefreshAfterLocate", "ArrGenTakeWaveforms"}}));
  EXPECT_EQ(State(), 2);

  // The menu's stop is the two steps; pressed while stopped, only the second
  // step's displays follow.
  EXPECT_EQ(Run(kTcStopStep1), Log{});
  EXPECT_EQ(Run(kTcStopStep2), Log({"ShowLamps", "ConsoleNotifyTransport(2)"}));
}

TEST_F(Transport, StopAfterRecordingClosesThePass) {
  host.loop = 1;
  Run(kTcRecord);
  ASSERT_EQ(State(), 4);
  const Log stop = Run(kTcStop);
  const Log head(stop.begin(), stop.begin() + 14);
  EXPECT_EQ(head, Log({"UnitsStop", "NatDevStopAll", "NatDevGetClocAll", "SetNowLoc(4321)",
                       "MxaStopPlayRec(4321)", "MidiStopPlayRec(4321)", "VideoStop",
                       "ArrRecordStop(4321)", "ArrUpdateRuler", "UpdateRecLamps",
                       "UnitsSetLoop(1,1,0)", "MidiSetLoop(1,0)", "MxaWriteChangedTakes",
                       "MidiSaveLogs"}));
}

TEST_F(Transport, RecordStartsAfterThePassIsLaidOut) {
  host.seamless = 1;
  const Log rec = Run(kTcRecord);
  EXPECT_EQ(Log(rec.begin(), rec.begin() + 3),
            Log({"UnitsSetLoop(2,1,1)", "MidiSetLoop(2,0)", "ConsoleNotifyModes"}));
  const auto at = [&](const std::string& name) { return std::find(rec.begin(), rec.end(), name) - rec.begin(); };
  EXPECT_LT(at("ArrRecordPass(1000,9000)"), at("UnitsStartPlayRec(1)"));
  EXPECT_LT(at("UnitsStartPlayRec(1)"), at("NatDevStartAll"));
  EXPECT_LT(at("NatDevStartAll"), at("MxaStartPlayRec"));
  EXPECT_EQ(rec.back(), "UpdateEndLoc");
  EXPECT_EQ(State(), 4);
}

TEST_F(Transport, RecordThatCannotStartStartsNothing) {
  struct Case {
    const char* name;
    uint32_t recTime;
    int tracksFit, recPass, unitsAccept;
  };
  for (const Case& c : {Case{"no time", 0, 1, 1, 1}, Case{"too many tracks", 100000, 0, 1, 1},
                        Case{"nothing to record", 100000, 1, 0, 1},
                        Case{"unit refuses", 100000, 1, 1, 0}}) {
    TransportReset();
    host.recTime = c.recTime;
    host.tracksFit = c.tracksFit;
    host.recPass = c.recPass;
    host.unitsAccept = c.unitsAccept;
    const Log rec = Run(kTcRecord);
    for (const char* started : {"NatDevStartAll", "MxaStartPlayRec", "MidiStartPlayRec", "VideoStart"})
      EXPECT_EQ(std::count(rec.begin(), rec.end(), started), 0) << c.name << ": " << started;
    EXPECT_EQ(State(), 2) << c.name;
    if (c.recTime == 0 || !c.tracksFit) {
      EXPECT_TRUE(rec.empty()) << c.name;
    }
    if (!c.unitsAccept) {
      // The pass laid out for the refused start is closed again.
      EXPECT_EQ(std::count(rec.begin(), rec.end(), "ArrRecordStop(1000)"), 1) << c.name;
    }
  }
}

TEST_F(Transport, WindSpeedsAndLamps) {
  struct Step {
    int cmd;
    int32_t speed;
    int state;
  };
  const Step steps[] = {{kTcRewind, -1, 0}, {kTcRewind, -2, 0}, {kTcFastForward, -1, 0},
                        {kTcFastForward, 0, 2}, {kTcFastForward, 1, 1}, {kTcFastForward, 2, 1}};
  for (const Step& s : steps) {
    Run(s.cmd);
    EXPECT_EQ(TransportWindSpeed(), s.speed);
    EXPECT_EQ(State(), s.state);
    EXPECT_TRUE(std::find(host.log.begin(), host.log.end(),
                          "UnitsWind(" + std::to_string(s.speed * 32768 / 10) + ")") != host.log.end());
  }
  for (int i = 0; i < 12; ++i) Run(kTcFastForward);
  EXPECT_EQ(TransportWindSpeed(), 8);
  for (int i = 0; i < 20; ++i) Run(kTcRewind);
  EXPECT_EQ(TransportWindSpeed(), -8);
  EXPECT_EQ(host.log.back(), "ShowLamps");

  // From a standing start the stop sequence runs first; while winding it
  // does not.
  TransportReset();
  EXPECT_EQ(Run(kTcRewind), Cat({kStopWhileStopped, {"UnitsWind(-3276)", "ShowLamps"}}));
  EXPECT_EQ(Run(kTcRewind), Log({"UnitsWind(-6553)", "ShowLamps"}));
  // Relocate ends the wind.
  EXPECT_EQ(Run(kTcRelocate), Cat({{"UnitsWind(0)"}, Reprime(1000, 2)}));
  EXPECT_EQ(TransportWindSpeed(), 0);

  // With the 9-pin machine leading, the machine winds and relocate reads it.
  host.nineLeads = 1;
  EXPECT_EQ(Run(kTcFastForward), Log({"NinePinWind(1)"}));
  EXPECT_EQ(Run(kTcRelocate), Cat({{"NinePinGetMachinePos", "SetNowLoc(777)",
                                     "NinePinTransportEvent(0,777)"},
                                    Reprime(777, 2)}));
}

TEST_F(Transport, LocateMovesStopThenPrimeAtTheTarget) {
  const struct {
    int cmd;
    int32_t target;
  } cases[] = {{kTcLocatePrevEdge, 900}, {kTcLocateNextEdge, 1100}, {kTcLocateSnapBack, 990},
               {kTcLocateSnapForward, 1010}, {kTcLocateStart, 50}, {kTcLocateEnd, 60000}};
  for (const auto& c : cases) {
    host.now = 1000;
    EXPECT_EQ(Run(c.cmd), Cat({kStopWhileStopped, {"SetNowLoc(" + std::to_string(c.target) + ")"},
                               Reprime(c.target, 2)}))
        << c.cmd;
  }
  EXPECT_EQ(Run(kTcLocateDone), Log({"ShowLamps"}));
}

TEST_F(Transport, PassEndSeamlessOrRestart) {
  // Outside a recording a pass end does nothing.
  EXPECT_EQ(Run(kTcPassEnd), Log{});
  host.seamless = 1;
  Run(kTcRecord);
  EXPECT_EQ(Run(kTcPassEnd),
            Log({"MxaStopPlayRec(1000)", "VideoStop", "ArrRecordLoopStep", "RebuildAllPlayLists",
                 "MxaRebuildPlayMaps", "MidiBuildPlayLists(1)", "ArrRedrawRecordParts",
                 "RefreshPlayLists(1000)", "VideoStart", "MxaStartPlayRec",
                 "NinePinTransportEvent(4,1000)"}));
  host.seamless = 0;
  EXPECT_EQ(Run(kTcPassEnd),
            Log({"MxaStopPlayRec(1000)", "VideoStop", "ArrRecordLoopStep", "RebuildAllPlayLists",
                 "MxaRebuildPlayMaps", "MidiBuildPlayLists(1)", "ArrRedrawRecordParts",
                 "UnitsStop", "NatDevStopAll", "SetNowLoc(500)", "UnitsLocate(500)",
                 "UnitsPrepPlayBufs(500)", "NatDevPrepAll(500)", "VideoPrepPlay(500)",
                 "UnitsWaitUntilIdle", "NatDevWaitPrepared", "VideoStart", "MxaStartPlayRec",
                 "UnitsStartPlayRec(1)", "NatDevStartAll"}));
  EXPECT_EQ(State(), 4);
}

TEST_F(Transport, CommandsOutsideTheTableDoNothing) {
  for (int cmd : {18, 100, -1}) EXPECT_EQ(Run(cmd), Log{}) << cmd;
  EXPECT_EQ(State(), 2);
}

TEST(TransportState, ReadFromTheLamps) {
  const struct {
    TransportLamps lamps;
    int state;
  } cases[] = {{{false, false, false, false}, 2}, {{true, false, false, false}, 0},
               {{false, true, false, false}, 1}, {{true, true, false, false}, 0},
               {{true, false, true, false}, 3}, {{false, false, true, true}, 4},
               {{false, false, false, true}, 2}};
  for (const auto& c : cases) EXPECT_EQ(TransportStateOf(c.lamps), c.state);
}

}  // namespace

// What a stop after solo play or scrub adds to the plain stop: the normal
// play lists, play flags, loop and record state come back.
const Log kRestoreNormal = {"RebuildAllPlayLists", "MidiBuildPlayLists(0)", "RestorePlayFlags",
                            "UnitsSetLoop(1,1,0)", "MixSetRecMonState(0)"};

TEST_F(Transport, SoloPlayRunsItsSequenceAndAStopRestoresTheNormalPlayLists) {
  host.loop = 1;
  host.log.clear();
  ASSERT_EQ(TransportRunSolo(2000, 3000), 1);
  EXPECT_EQ(host.log,
            Log({"MixSetRecMonState(1)", "SetNowLoc(2000)", "UnitsSetLoop(1,0,0)",
                 "CardsSyncCommand(2000)", "UnitsPrepPlayBufs(2000)", "NatDevPrepAll(2000)",
                 "VideoPrepPlay(2000)", "MxaSetNowLoc(2000)", "MidiPrepPlayBufs(2000)",
                 "NinePinTransportEvent(0,2000)", "ShowNowBars", "ShowNowTimecode",
                 "SetPlayEnd(3000)", "UnitsWaitUntilIdle", "NatDevWaitPrepared", "VideoStart",
                 "UnitsStartPlayRec(0)", "NatDevStartAll", "MxaStartPlayRec", "MidiStartPlayRec",
                 "NinePinTransportEvent(3,2000)", "MixSetTrkRecState", "ConsoleNotifyTransport(3)",
                 "NinePinTransportEvent(0,2000)", "StatusRefresh", "ShowLamps"}));
  EXPECT_EQ(State(), 3);
  EXPECT_EQ(TransportSoloActive(), 1);

  const Log stop = Run(kTcStop);
  EXPECT_EQ(Log(stop.begin(), stop.begin() + 12),
            Cat({{"UnitsStop", "NatDevStopAll", "NatDevGetClocAll", "SetNowLoc(4321)",
                  "MxaStopPlayRec(4321)", "MidiStopPlayRec(4321)", "VideoStop"},
                 kRestoreNormal}));
  EXPECT_EQ(TransportSoloActive(), 0);

  // Only the first stop restores: a plain play and stop after it does not.
  Run(kTcPlay);
  const Log plain = Run(kTcStop);
  EXPECT_EQ(std::count(plain.begin(), plain.end(), "RebuildAllPlayLists"), 0);
}

TEST_F(Transport, SoloReplacingARunningPlayKeepsTheSoloLists) {
  Run(kTcPlay);
  host.log.clear();
  ASSERT_EQ(TransportRunSolo(0, 100), 1);
  // The play that ran is stopped, but the caller's freshly compiled lists
  // stay: nothing is rebuilt until the solo play stops.
  EXPECT_EQ(host.log.front(), "UnitsStop");
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "RebuildAllPlayLists"), 0);
  // A second solo over the first is the same.
  host.log.clear();
  ASSERT_EQ(TransportRunSolo(10, 100), 1);
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "RebuildAllPlayLists"), 0);
  // The menu's two-step stop ends it too.
  const Log stop = Run(kTcStopStep1);
  EXPECT_EQ(std::count(stop.begin(), stop.end(), "RebuildAllPlayLists"), 1);
}

TEST_F(Transport, SoloThatCannotStartBringsTheNormalListsBackAtOnce) {
  host.unitsAccept = 0;
  host.log.clear();
  EXPECT_EQ(TransportRunSolo(2000, 3000), 0);
  EXPECT_EQ(State(), 2);
  EXPECT_EQ(TransportSoloActive(), 0);
  const auto at = [&](const char* name) {
    return std::find(host.log.begin(), host.log.end(), name) - host.log.begin();
  };
  EXPECT_LT(at("UnitsStartPlayRec(0)"), at("VideoStop"));
  EXPECT_LT(at("VideoStop"), at("RebuildAllPlayLists"));
  EXPECT_LT(at("RebuildAllPlayLists"), at("MixSetRecMonState(0)"));
}

TEST_F(Transport, ScrubPreparesToTheEndOfTimeAndSetsTheSyncModeOnlyWhenFollowingTheMachine) {
  struct Case {
    int mode;
    Log expected;
  };
  const Case cases[] = {
      {0, {"UnitsPrepScrubBufs(5000,2147419647)", "UnitsStartScrub(0)"}},
      {1, {"UnitsPrepScrubBufs(5000,2147419647)", "UnitsStartScrub(1)"}},
      {2, {"UnitsPrepScrubBufs(5000,2147419647)", "SetScrubSyncMode", "UnitsStartScrub(2)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    TransportReset();
    host.loop = 1;
    host.log.clear();
    TransportRunScrub(5000, c.mode);
    EXPECT_EQ(host.log, c.expected);
    EXPECT_EQ(TransportScrubbing(), 1);
    // The lamps stay out, yet the menu's stop ends the scrub and restores.
    const Log stop = Run(kTcStopStep1);
    EXPECT_EQ(Log(stop.begin(), stop.begin() + 11), Cat({kStopWhileStopped, kRestoreNormal}));
    EXPECT_EQ(TransportScrubbing(), 0);
  }
}

TEST_F(Transport, MixdownRecordsOutsideTheLampsAndItsEndPutsTheTransportBack) {
  host.loop = 1;
  host.log.clear();
  ASSERT_EQ(TransportRunMixdown(488, 3065), 1);
  EXPECT_EQ(host.log, Log({"UnitsLocate(488)", "UnitsLoopPunchOff", "MidiSetLoop(0,0)", "CardsSyncCommand(488)",
                           "RebuildAllPlayLists", "UnitsPrepPlayBufs(488)", "NatDevPrepAll(488)", "MxaLocate(488)",
                           "MidiPrepPlayBufs(488)", "UnitsWaitUntilIdle", "NatDevWaitPrepared",
                           "SetPlayEnd(3065)", "UnitsStartPlayRec(1)", "NatDevStartAll", "MxaStartPlayRec",
                           "MidiStartPlayRec"}));
  EXPECT_EQ(State(), 2);
  host.log.clear();
  TransportEndMixdown(2000);
  ASSERT_GE(host.log.size(), 4u);
  EXPECT_EQ(host.log[1], "UnitsStop");
  EXPECT_EQ(host.log[2], "NatDevStopAll");
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "UnitsSetLoop(1,1,0)"), host.log.end());
  EXPECT_NE(std::find(host.log.begin(), host.log.end(), "UpdateEndLoc"), host.log.end());
  EXPECT_EQ(host.log.back(), "MidiPrepPlayBufs(2000)");

  host.unitsAccept = 0;
  host.log.clear();
  EXPECT_EQ(TransportRunMixdown(488, 3065), 0);
  EXPECT_EQ(host.log.back(), "UnitsStop");
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "MxaStartPlayRec"), 0);
}

TEST_F(Transport, AuditionStartsOutsideTheLampsAndItsEndPutsTheSettingsBack) {
  host.loop = 1;
  host.log.clear();
  ASSERT_EQ(TransportRunAudition(1000, 2000), 1);
  EXPECT_EQ(host.log, Log({"MixSetRecMonState(1)", "UnitsLoopPunchOff", "CardsSyncCommand(1000)",
                           "UnitsPrepPlayBufs(1000)", "NatDevPrepAll(1000)", "UnitsWaitUntilIdle",
                           "NatDevWaitPrepared", "SetPlayEnd(2000)", "UnitsStartPlayRec(0)",
                           "NatDevStartAll"}));
  EXPECT_EQ(State(), 2);
  host.log.clear();
  TransportEndAudition();
  EXPECT_EQ(host.log, Log({"UnitsStop", "NatDevStopAll", "RestorePlayFlags", "MixSetRecMonState(0)",
                           "UnitsSetLoop(1,1,0)", "UpdateEndLoc"}));

  // A unit that refuses: nothing is left running.
  host.unitsAccept = 0;
  host.log.clear();
  EXPECT_EQ(TransportRunAudition(1000, 2000), 0);
  EXPECT_EQ(host.log.back(), "UnitsStop");
  EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "NatDevStartAll"), 0);
}
