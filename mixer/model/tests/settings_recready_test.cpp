#include <cstdint>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/recready.h"
#include "mixer/model/timecode.h"
#include "settings_fixture.h"

namespace {

// A recording test with an arrangement whose Virtual Tracks the test assigns
// to record tracks.
class RecReadyTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    block_.assign(ArrBlockSize(0), 0);
    CurArr = reinterpret_cast<ArrRec*>(block_.data());
  }
  void TearDown() override { CurArr = nullptr; }

  static void Assign(uint32_t track, int32_t kind, uint32_t recTrack) {
    CurArr->Trk[track].RecKind = static_cast<uint32_t>(kind);
    CurArr->Trk[track].RecTrack = recTrack;
  }
  static void States(int32_t kind, std::vector<std::pair<int32_t, int32_t>> states) {
    for (auto [n, s] : states) RecTrkSetState(kind, n, s);
  }
  static int32_t Audio(int32_t n) { return RecTrkGetState(kRecKindAudio, n); }

  std::vector<uint8_t> block_;
};

TEST_F(RecReadyTest, ToggleDisarmsTheTrackWithItsGroupAndStereoPartner) {
  // Virtual Tracks 10 and 11 form a link group carrying record tracks 5
  // and 6; record track 7 is 5's stereo partner; 8 is unrelated.
  Assign(10, kRecKindAudio, 5);
  Assign(11, kRecKindAudio, 6);
  Services().recTrkGroup[{kRecKindAudio, 5}] = {10, 11};
  Services().stereoPartner[5] = 7;
  States(kRecKindAudio, {{5, kRecTrkReady}, {6, kRecTrkReady}, {7, kRecTrkReady}, {8, kRecTrkReady}});

  EXPECT_EQ(SetRecReady(kRecKindAudio, 5, 5, kRecReadyToggle), 1);
  EXPECT_EQ(Audio(5), kRecTrkSafe);
  EXPECT_EQ(Audio(6), kRecTrkSafe);
  EXPECT_EQ(Audio(7), kRecTrkSafe);
  EXPECT_EQ(Audio(8), kRecTrkReady);
  for (int n : {5, 6, 7}) {
    for (const std::string& call :
         {"ArrRedrawRecTrkHeaders(3, " + std::to_string(n) + ")", "MixSendTrkRecReady(" + std::to_string(n) + ")",
          "ConsoleNotifyRecReady(" + std::to_string(n) + ")", "NinePinTrackReady(" + std::to_string(n) + ")"})
      EXPECT_TRUE(Log().Called(call)) << call << "\n" << Log().Joined();
  }
  EXPECT_EQ(Log().Count("ArrRedrawRecTrkHeaders"), 3);
}

TEST_F(RecReadyTest, ToggleTargetComesFromTheFirstPresentTrack) {
  States(kRecKindAudio, {{2, kRecTrkSafe}, {3, kRecTrkReady}});
  EXPECT_EQ(SetRecReady(kRecKindAudio, 1, 3, kRecReadyToggle), 1);
  EXPECT_EQ(Audio(1), kRecTrkAbsent);
  EXPECT_EQ(Audio(2), kRecTrkReady);
  EXPECT_EQ(Audio(3), kRecTrkReady);
  EXPECT_EQ(Log().Count("ArrRedrawRecTrkHeaders"), 1);
}

TEST_F(RecReadyTest, NothingToDoReturnsZeroAndCallsNothing) {
  States(kRecKindAudio, {{4, kRecTrkReady}});
  struct Case {
    int32_t kind, first, last, mode;
  };
  const Case cases[] = {
      {kRecKindAudio, 5, 4, kRecReadyArm},    // first after last
      {kRecKindAudio, 1, 3, kRecReadyArm},    // nothing present
      {kRecKindAudio, 4, 4, kRecReadyArm},    // already ready
      {kRecKindMidi, 4, 4, kRecReadyArm},     // another kind's table
      {4, 4, 4, kRecReadyArm},                // no such kind
      {kRecKindAudio, 4, 4, 3},               // no such mode
      {kRecKindAudio, 193, 100000, kRecReadySafe},  // past the table
      {kRecKindAudio, -100000, 0, kRecReadySafe},   // before it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetRecReady(c.kind, c.first, c.last, c.mode), 0) << c.kind << " " << c.first << " " << c.last;
    EXPECT_EQ(Audio(4), kRecTrkReady);
    EXPECT_TRUE(Log().log.empty()) << Log().Joined();
  }
}

TEST_F(RecReadyTest, RangeIsClippedToTheKindsTable) {
  States(kRecKindMidi, {{128, kRecTrkSafe}});
  EXPECT_EQ(SetRecReady(kRecKindMidi, 100, 1000, kRecReadyArm), 1);
  EXPECT_EQ(RecTrkGetState(kRecKindMidi, 128), kRecTrkReady);
  // Midi tracks are neither in the mixer nor on the control surface.
  EXPECT_EQ(Log().log, std::vector<std::string>{"ArrRedrawRecTrkHeaders(21, 128)"});
}

TEST_F(RecReadyTest, NinePinHearsOnlyOfTheFirst32Tracks) {
  States(kRecKindAudio, {{32, kRecTrkSafe}, {33, kRecTrkSafe}});
  EXPECT_EQ(SetRecReady(kRecKindAudio, 32, 33, kRecReadyArm), 1);
  EXPECT_TRUE(Log().Called("NinePinTrackReady(32)"));
  EXPECT_EQ(Log().Count("NinePinTrackReady"), 1);
  EXPECT_EQ(Log().Count("ConsoleNotifyRecReady"), 2);
}

TEST_F(RecReadyTest, WhileRecordingTracksArePunchedOutAndIn) {
  SetTransport(kTransportRecording);
  Locs().NowLoc = 5000;
  Services().recordStartLoc = 8000;
  States(kRecKindAudio, {{1, kRecTrkReady}, {2, kRecTrkReady}, {3, kRecTrkSafe}});

  EXPECT_EQ(SetRecReady(kRecKindAudio, 1, 2, kRecReadySafe), 1);
  EXPECT_TRUE(Log().Called("ArrTrimRecordParts(5000, [1 2], [], [])")) << Log().Joined();

  Services().ClearLog();
  EXPECT_EQ(SetRecReady(kRecKindAudio, 3, 3, kRecReadyArm), 1);
  EXPECT_TRUE(Log().Called("ArrRecordLoopTakes(8000, [3], [], [])")) << Log().Joined();
  EXPECT_EQ(Audio(3), kRecTrkReady);

  // A refused punch-in leaves every state as it was.
  Services().ClearLog();
  Services().recordLoopTakesResult = 0;
  EXPECT_EQ(SetRecReady(kRecKindAudio, 1, 2, kRecReadyArm), 0);
  EXPECT_EQ(Audio(1), kRecTrkSafe);
  EXPECT_EQ(Audio(2), kRecTrkSafe);
  EXPECT_EQ(Log().Count("ArrRedrawRecTrkHeaders"), 0);
}

TEST_F(RecReadyTest, ArmingWhilePlayingRecomputesTheRecordLimit) {
  struct Case {
    int32_t kind;
    int transport;
    uint32_t mode;
    bool recomputes;
  };
  const Case cases[] = {
      {kRecKindAudio, kTransportPlaying, 0, true},
      {kRecKindAudio, kTransportPlaying, kModeArmDuringRec, false},
      {kRecKindAudio, kTransportStopped, 0, false},
      {kRecKindAutom, kTransportPlaying, 0, false},
  };
  for (const Case& c : cases) {
    SetUp();
    SetTransport(c.transport);
    Settings().PlayRecMode = c.mode;
    States(c.kind, {{1, kRecTrkSafe}});
    EXPECT_EQ(SetRecReady(c.kind, 1, 1, kRecReadyArm), 1);
    EXPECT_EQ(Log().Count("TransportSetRecLimit"), c.recomputes ? 1 : 0) << Log().Joined();
  }
}

TEST_F(RecReadyTest, MaxTrksPerRecTrackCountsTracksOfArmedRecordTracks) {
  EXPECT_EQ(MaxTrksPerRecTrack(), 1);
  for (uint32_t t : {0u, 1u, 2u}) Assign(t, kRecKindAudio, 5);
  for (uint32_t t : {3u, 4u}) Assign(t, kRecKindMidi, 5);
  Assign(5, kRecKindAudio, 500);  // out of range: ignored
  Assign(6, 7, 5);                // no such kind: ignored
  States(kRecKindAudio, {{5, kRecTrkSafe}});
  States(kRecKindMidi, {{5, kRecTrkReady}});
  EXPECT_EQ(MaxTrksPerRecTrack(), 2);
  Settings().PlayRecMode = kModeArmDuringRec;  // present ones count
  EXPECT_EQ(MaxTrksPerRecTrack(), 3);
  CurArr = nullptr;
  EXPECT_EQ(MaxTrksPerRecTrack(), 1);
}

TEST_F(RecReadyTest, RecTimeAvailableDividesTheFreeSpaceAmongTheArmedTracks) {
  constexpr uint32_t kLimit16 = 0x7FFF05FE;          // min(0xFFFFFFFF / 2, 0x7FFF05FE)
  constexpr uint32_t kLimit24 = 0xFFFFFFFFu / 3;     // below 0x7FFF05FE
  Services().recFolderFreeBytes = 1000000;
  EXPECT_EQ(RecTimeAvailable(), kLimit16);
  Services().recResol = 40356;
  EXPECT_EQ(RecTimeAvailable(), kLimit24);

  States(kRecKindAudio, {{1, kRecTrkReady}, {2, kRecTrkReady}, {3, kRecTrkSafe}});
  EXPECT_EQ(RecTimeAvailable(), 1000000u / (2 * 3));
  Services().recResol = 40355;
  EXPECT_EQ(RecTimeAvailable(), 1000000u / (2 * 2));
  // Looping: each record track counts its Virtual Tracks.
  Services().recTrkCount[{kRecKindAudio, 1}] = 3;
  Settings().PlayRecMode = kModeLoop;
  EXPECT_EQ(RecTimeAvailable(), 1000000u / (4 * 2));
  // Arm changes during record: present tracks count too.
  Settings().PlayRecMode = kModeArmDuringRec;
  EXPECT_EQ(RecTimeAvailable(), 1000000u / (3 * 2));
  // A drive larger than the time line holds is capped.
  Services().recFolderFreeBytes = uint64_t{1} << 40;
  EXPECT_EQ(RecTimeAvailable(), kLimit16);
  Services().recFolderFreeBytes = 0;
  EXPECT_EQ(RecTimeAvailable(), 0u);
}

}  // namespace
