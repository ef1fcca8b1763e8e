#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "mixer/model/settings.h"
#include "settings_fixture.h"

namespace {

static_assert(std::has_unique_object_representations_v<ProjectSettings>);

bool SameSettings(const ProjectSettings& a, const ProjectSettings& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A valid value for every index that differs from a new project's.
constexpr uint32_t kNewValue[20] = {
    96000, 5, 30, (3u << 16) | 8, 14000, 1000, 12, 0x108, 4410, 4411,
    100000, 250, 300, 500, 2, 1, 88200, 40, 50, 7,
};

using SettingsParamTest = SettingsTest;

TEST_F(SettingsParamTest, OnlySyncSourceAndSnapApplyWhileTheTransportRuns) {
  for (int state : {kTransportRewind, kTransportFastForward, kTransportPlaying, kTransportRecording}) {
    for (int32_t index = 0; index < 20; ++index) {
      SetUp();
      SetTransport(state);
      const ProjectSettings before = Settings();
      const int applied = SetArrParam(index, kNewValue[index]);
      const bool runs = index == 1 || index == 6;
      EXPECT_EQ(applied, runs ? 1 : 0) << "state " << state << " index " << index;
      if (!runs) {
        EXPECT_TRUE(SameSettings(before, Settings())) << "index " << index;
        EXPECT_TRUE(Log().log.empty()) << Log().Joined();
      }
    }
  }
}

TEST_F(SettingsParamTest, EveryIndexAppliesWhileStoppedAndRaisesTheChangeCount) {
  for (int32_t index = 0; index < 20; ++index) {
    SetUp();
    EXPECT_EQ(SetArrParam(index, kNewValue[index]), 1) << "index " << index;
    EXPECT_EQ(Log().Count("ArrChangeCountRaise()"), 1) << "index " << index;
  }
}

TEST_F(SettingsParamTest, SampleRateWhilePlayingDoesNothingWhileStoppedChecksItsItem) {
  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetArrParam(0, 96000), 0);
  EXPECT_EQ(Settings().SampleRate, 44100u);
  EXPECT_TRUE(Log().log.empty());

  SetTransport(kTransportStopped);
  Locs().NowLoc = 4800;
  Settings().TcOffset = 77;
  EXPECT_EQ(SetArrParam(0, 96000), 1);
  EXPECT_EQ(Settings().SampleRate, 96000u);
  for (const char* call : {"MainMenuCheckRadio(41580, 41590, 41590)", "StatusUpdate(2, 41590, 0)",
                           "QVVPLAYER_SetSampleRate(96000)", "VideoSetOffset(77)", "NatDevSetSrate(96000)",
                           "UnitsSetSampleRate(3, 96000, 0, 0)", "UnitsLocate(4800)",
                           "UnitsPrepPlayBufs(4800)", "CardsSyncCommand(96000, 0, 4800, 77, 0, 0)",
                           "ArrRedrawWindows()", "MrkDirRefresh(3, 0)", "MixReallocDsp()",
                           "MixSendTrkColors()", "MixGreyUnavailableIo()", "ArrChangeCountRaise()"})
    EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
}

TEST_F(SettingsParamTest, RateRaisesTheChangeCountOnlyOnUnitOnesInternalClock) {
  Services().mclkUnit[0] = 40409;
  EXPECT_EQ(SetArrParam(0, 48000), 1);
  EXPECT_EQ(Log().Count("ArrChangeCountRaise"), 0);
}

TEST_F(SettingsParamTest, SnapModeAppliesWhilePlaying) {
  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetArrParam(6, 12), 1);
  EXPECT_EQ(Settings().SnapMode, 12u);
  EXPECT_TRUE(Log().Called("MainMenuCheckRadio(40520, 40538, 40532)")) << Log().Joined();
  EXPECT_TRUE(Log().Called("StatusUpdate(0, 40532, 0)"));
}

TEST_F(SettingsParamTest, AnUnchangedValueIsANoOp) {
  const ProjectSettings s;
  const uint32_t current[] = {s.SampleRate, s.SyncSource, s.CurFrameRate,
                              uint32_t{s.MeterNum} << 16 | s.MeterDen, s.Tempo, s.TcOffset, s.SnapMode};
  for (int32_t index = 0; index < 7; ++index) {
    EXPECT_EQ(SetArrParam(index, current[index]), 0) << "index " << index;
    EXPECT_TRUE(Log().log.empty()) << Log().Joined();
  }
}

// Values a conversion would divide by, or that leave their range: refused
// whatever their source, changing nothing and calling nothing.
TEST_F(SettingsParamTest, ValuesTheConversionsCannotUseAreRefused) {
  struct Case {
    int32_t index;
    uint32_t value;
  };
  const Case cases[] = {
      {0, 0},           {0, 44101},           {0, 192000},          {2, 0},
      {2, 26},          {3, 0},               {3, 4u << 16},        {3, 4},
      {3, (4u << 16) | 3}, {3, (4u << 16) | 2}, {3, (16u << 16) | 4}, {4, 0},
      {6, 19},          {6, 0xFFFFFFFF},      {13, 1001},           {14, 3},
      {15, 0x10000},    {-1, 0},              {20, 0},
  };
  for (const Case& c : cases) {
    SetUp();
    const ProjectSettings before = Settings();
    EXPECT_EQ(SetArrParam(c.index, c.value), 0) << c.index << " " << c.value;
    EXPECT_TRUE(SameSettings(before, Settings())) << c.index << " " << c.value;
    EXPECT_TRUE(Log().log.empty()) << Log().Joined();
  }
}

TEST_F(SettingsParamTest, MeterStoresBothHalvesAndTellsTheMixer) {
  EXPECT_EQ(SetArrParam(3, (7u << 16) | 8), 1);
  EXPECT_EQ(Settings().MeterNum, 7);
  EXPECT_EQ(Settings().MeterDen, 8);
  EXPECT_TRUE(Log().Called("MixSendTempoToElems()"));
  EXPECT_TRUE(Log().Called("TransportShowMeter(1)"));
}

// The left and right displays are redrawn only when they show what changed.
TEST_F(SettingsParamTest, LocatorDisplaysFollowTheTimeFormat) {
  constexpr uint32_t kBars = 40518, kTimeCode = 40519;
  struct Case {
    int32_t index;
    uint32_t value;
    uint32_t format;
    bool shown;
  };
  const Case cases[] = {
      {2, 30, kBars, false},        {2, 30, kTimeCode, true},
      {3, (3u << 16) | 4, kBars, true}, {3, (3u << 16) | 4, kTimeCode, false},
      {4, 9000, kBars, true},       {4, 9000, kTimeCode, false},
      {5, 100, kBars, true},        {5, 100, kTimeCode, true},
  };
  for (const Case& c : cases) {
    SetUp();
    Services().timeFormat = c.format;
    EXPECT_EQ(SetArrParam(c.index, c.value), 1);
    EXPECT_EQ(Log().Called("TransportShowLeftLoc()"), c.shown) << c.index << " " << c.format;
    EXPECT_EQ(Log().Called("TransportShowRightLoc()"), c.shown) << c.index << " " << c.format;
  }
}

TEST_F(SettingsParamTest, FrameRateChecksItsItemAndStatusField) {
  EXPECT_EQ(SetArrParam(2, 29), 1);
  EXPECT_TRUE(Log().Called("MainMenuCheckRadio(41601, 41606, 41605)")) << Log().Joined();
  EXPECT_TRUE(Log().Called("StatusUpdate(3, 41605, 0)"));
}

TEST_F(SettingsParamTest, SyncSourceSyncsTheCardsAtTheNowPosition) {
  Locs().NowLoc = 1234;
  Settings().TcOffset = 99;
  SetTransport(kTransportPlaying);
  EXPECT_EQ(SetArrParam(1, 250), 1);
  for (const char* call : {"StatusUpdate(2, 41583, 1)", "MixUpdateMainCaption()",
                           "UnitsSetSampleRate(3, 44100, 250, 0)", "UnitsSetSync()",
                           "CardsSyncCommand(44100, 250, 1234, 99, 0, 0)"})
    EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
}

TEST_F(SettingsParamTest, LoopBitIsKeptOnlyUnderInternalSync) {
  Services().syncIn = 40502;
  EXPECT_EQ(SetArrParam(7, 0x109), 1);
  EXPECT_EQ(Settings().PlayRecMode, 0x108u);
  EXPECT_TRUE(Log().Called("MainMenuCheck(41430, 0)")) << Log().Joined();
  EXPECT_TRUE(Log().Called("MainMenuCheck(41428, 1)"));
  EXPECT_TRUE(Log().Called("UnitsSetLoop(1, 0, 0)"));
  // Only the loop bit differs from the stored mode: nothing changes.
  Services().ClearLog();
  EXPECT_EQ(SetArrParam(7, 0x109), 0);
  EXPECT_TRUE(Log().log.empty()) << Log().Joined();

  Services().syncIn = 40501;
  EXPECT_EQ(SetArrParam(7, 0x119), 1);
  EXPECT_EQ(Settings().PlayRecMode, 0x119u);
  for (const char* call : {"MainMenuCheck(41430, 1)", "MainMenuCheck(41429, 1)", "UnitsSetLoop(1, 1, 0)",
                           "MidiSetLoop(1, 0)", "TransportShowModeLamps()", "ConsoleNotifyModes(281, 25)",
                           "NinePinSetMachineFlags(281, 24)"})
    EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
}

TEST_F(SettingsParamTest, AutomationSettingsReachTheAutomationLibrary) {
  struct Case {
    int32_t index;
    uint32_t value;
    const char* call;  // null: stored only
  };
  const Case cases[] = {
      {11, 250, "QVMXA_SetTouchTimeout(250)"}, {12, 300, "QVMXA_SetMatchTime(300)"},
      {13, 1000, "MxaStoreSetting(1000)"},     {14, 2, "MxaSetRecordMode(2, 0)"},
      {15, 1, "MxaSetRecordMode(0, 1)"},       {8, 10, nullptr},
      {9, 10, nullptr},                        {10, 10, nullptr},
      {16, 10, nullptr},                       {17, 10, nullptr},
      {18, 10, nullptr},                       {19, 7, nullptr},
  };
  for (const Case& c : cases) {
    SetUp();
    EXPECT_EQ(SetArrParam(c.index, c.value), 1) << c.index;
    std::vector<std::string> expected = {"ArrChangeCountRaise()"};
    if (c.call) expected.emplace_back(c.call);
    EXPECT_EQ(Log().log, expected) << c.index;
  }
}

}  // namespace
