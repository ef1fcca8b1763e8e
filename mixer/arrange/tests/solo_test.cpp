#include <filesystem>
#include <fstream>
#include <functional>

#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/solo.h"
#include "mixer/arrange/tests/partcmds_fixture.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/wvfcache.h"

namespace fs = std::filesystem;

namespace {

class SoloWindow : public CmdWindow {
 public:
  int buildResult = 1;
  std::function<void(uint32_t)> onBuild;  // writes the file of a successful build
  int BuildWaveform(uint32_t take) override {
    FakeLog("BuildWaveform(%u)", take);
    if (buildResult && onBuild) onBuild(take);
    return buildResult;
  }
};

class Solo : public CmdFixture {
 protected:
  SoloWindow soloWindow;
  void SetUp() override {
    CmdFixture::SetUp();
    ArrSetEditSeams(&soloWindow, &routines);
    ArrScrubState = ArrScrubPressX = 0;
  }
  // An Audio group on tracks 2..4 with play channels 5 (its own), 0 and 250
  // (none valid: they take solo channels).
  uint32_t Group() {
    const uint32_t t = Take(100000);
    uint32_t s[3];
    const int32_t channels[3] = {5, 0, 250};
    for (uint32_t i = 0; i < 3; ++i) {
      PartRec p = NewPart(1000, 5000, t, 3, S);
      p.PlayChannel = channels[i];
      if (i < 2) p.Flags |= kPartLinkNext;
      if (i > 0) p.Flags |= kPartLinkPrev;
      s[i] = Add(2 + i, p);
    }
    return s[1];
  }
};

TEST_F(Solo, AudioGroupPlaysEachMemberOnItsChannelOrTheNextSoloChannel) {
  const uint32_t clicked = Group();
  Services().mutedSoloAudOut = 191;  // three members: the run starts at 190
  ASSERT_EQ(ArrSoloPart(kTestDc, static_cast<int32_t>(clicked), 3, -20), 1);
  const std::string log = Services().Joined();
  EXPECT_TRUE(Startup().IndexOf("UnitsStop()") >= 0);
  EXPECT_LT(log.find("SoloSilenceAll()"), log.find("SoloCompileTrack("));
  EXPECT_TRUE(Logged("SoloCompileTrack(5, 0, 5, -1)"));  // own channel, no filter under auto-mute
  EXPECT_TRUE(Logged("SoloCompileTrack(190, 0, 0, 3)"));
  EXPECT_TRUE(Logged("SoloCompileTrack(191, 0, 250, 4)"));
  EXPECT_TRUE(Logged("SoloBuildMidi(129, -1)"));
  EXPECT_TRUE(Logged("TransportStartSolo(0, " + std::to_string(EndOfTime) + ")"));
  EXPECT_EQ(P(clicked).Flags & S, 0u);  // the selection is cleared

  // Without auto-mute even a member with its own channel plays its track only;
  // KeepSel keeps the selection.
  Services().Reset();
  EditMultiOutMode = 40897;
  KeepSel = 1;
  P(clicked).Flags |= S;
  ASSERT_EQ(ArrSoloPart(kTestDc, static_cast<int32_t>(clicked), 3, 300), 1);
  EXPECT_TRUE(Logged("SoloCompileTrack(5, 300, 5, 2)"));
  EXPECT_TRUE(Logged("SoloCompileTrack(1, 300, 0, 3)"));
  EXPECT_NE(P(clicked).Flags & S, 0u);

  // A list that cannot be compiled starts nothing and brings the normal
  // play lists back.
  Services().Reset();
  Startup().log.clear();
  Services().soloCompiles = 0;
  EXPECT_EQ(ArrSoloPart(kTestDc, static_cast<int32_t>(clicked), 3, 300), 0);
  EXPECT_EQ(Services().Count("TransportStartSolo"), 0);
  EXPECT_EQ(Startup().Count("RebuildAndPrepPlayLists"), 1);
}

TEST_F(Solo, MidiPartsPlayTheirChannelOrTheMutedSoloChannel) {
  PartRec m = NewPart(0, 1000, 1, 21, S);
  m.PlayChannel = 7;
  const uint32_t own = Add(6, m);
  m.PlayChannel = 200;
  const uint32_t muted = Add(7, m);
  Services().mutedSoloMidiOut = 3;
  ASSERT_EQ(ArrSoloPart(kTestDc, static_cast<int32_t>(own), 6, 10), 1);
  EXPECT_TRUE(Logged("SoloBuildMidi(7, -1)"));
  ASSERT_EQ(ArrSoloPart(kTestDc, static_cast<int32_t>(muted), 7, 10), 1);
  EXPECT_TRUE(Logged("SoloBuildMidi(3, 7)"));
  EXPECT_EQ(Services().Count("SoloCompileTrack"), 0);
  // A span plays only Audio and Midi Parts.
  const uint32_t autom = Add(8, NewPart(0, 1000, 1, 20, S));
  Services().Reset();
  EXPECT_EQ(ArrSoloPartSpan(500, kTestDc, static_cast<int32_t>(autom), 8), 0);
  EXPECT_EQ(Services().Joined(), "");
}

TEST_F(Solo, SpanRunsBetweenTheNearestMarksAroundThePointer) {
  struct Case {
    int32_t pointer, snap, left, right;
    SoloSpan expect;
  } cases[] = {
      {5000, 1000, 3000, 7000, {3000, 7000}},   // both locators inside, pointer nearer the end
      {3500, 1000, 3000, 7000, {3000, 7000}},   // pointer nearer the start
      {6500, 1000, 3000, 7000, {6500, 7000}},   // nearer the end: play from the pointer
      {5000, 1000, 100, 20000, {1000, 10000}},  // locators outside: snap point and Part end
      {3000, 0, 3000, 6000, {0, 6000}},         // a mark at the pointer does not count
      {5000, 9000, 8000, 12000, {5000, 8000}},  // the nearest of two marks after the pointer
  };
  for (const Case& c : cases) {
    const SoloSpan s = ArrSoloSpanAt(c.pointer, 0, 10000, c.snap, c.left, c.right);
    EXPECT_EQ(s.Start, c.expect.Start) << c.pointer << " " << c.left;
    EXPECT_EQ(s.End, c.expect.End) << c.pointer << " " << c.left;
  }
  // The span reaches the transport.
  PartRec p = NewPart(0, 10000, 1, 3, S);
  p.SnapPoint = 1000;
  const uint32_t s = Add(0, p);
  Locs().LeftLoc = 3000;
  Locs().RightLoc = 7000;
  ASSERT_EQ(ArrSoloPartSpan(6500, kTestDc, static_cast<int32_t>(s), 0), 1);
  EXPECT_TRUE(Logged("SoloCompileTrack(1, 6500, 1, -1)"));
  EXPECT_TRUE(Logged("TransportStartSolo(6500, 7000)"));
}

TEST_F(Solo, ScrubStartsInTheModeOfTheSettingsAndClampsThePosition) {
  struct Case {
    uint32_t scrubMode;
    int32_t wind, lock;
    int mode;
    int32_t state;
  } cases[] = {
      {40874, 0, 0, 0, 1},
      {40875, 0, 0, 1, 4},
      {40874, 1, 0, 1, 4},
      {40875, 0, 1, 2, 4},
  };
  const uint32_t s = Add(0, NewPart(0, 1000, 1, 3, S));
  for (const Case& c : cases) {
    Services().Reset();
    Services().scrubMode = c.scrubMode;
    Services().scrubWind = c.wind;
    Services().ninePinLock = c.lock;
    ASSERT_EQ(ArrSoloScrub(kTestDc, 0, 77, 5, static_cast<int32_t>(s), 2147483000), 1);
    EXPECT_TRUE(Logged("SoloCompileTrack(1, 2147419646, 1, -1)"));
    EXPECT_TRUE(Logged("TransportStartScrub(2147419646, " + std::to_string(c.mode) + ")"));
    EXPECT_EQ(ArrScrubState, c.state);
    EXPECT_EQ(ArrScrubPressX, 77);
    // The scrub tool's cursor shows from the start of the set-up.
    EXPECT_LT(Services().Joined().find("ShowCursor(" + std::to_string(0x10000 + kToolSoloScrub * 100) + ")"),
              Services().Joined().find("SoloSilenceAll()"));
  }
  Services().Reset();
  ASSERT_EQ(ArrScrubAll(kTestDc, -40, 12, 5), 1);
  const std::string log = Services().Joined();
  EXPECT_LT(log.find("SoloSilenceAll()"), log.find("RebuildAllPlayLists(0, 0)"));
  EXPECT_LT(log.find("RebuildAllPlayLists(0, 0)"), log.find("TransportStartScrub(0, 0)"));
  EXPECT_EQ(ArrScrubPressX, 12);
}

// ---- The waveform switch ----

class Waveforms : public Solo {
 protected:
  void SetUp() override {
    Solo::SetUp();
    static int serial = 0;
    dir_ = fs::temp_directory_path() / ("wvf_switch_" + std::to_string(serial++) + "_" +
                                        std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
    std::string d = dir_.string() + "/";
    for (char& c : d)
      if (c == '/') c = '\\';
    Services().wvFormFilePath = d;
    soloWindow.onBuild = [this](uint32_t take) { PutOverview(take); };
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
    Solo::TearDown();
  }
  uint32_t NamedTake(uint8_t id) {
    const uint32_t t = Take(100000);
    TakeFromRef(t)->id.Bytes[7] = id;
    return t;
  }
  // Writes a file where the Take's overview belongs.
  void PutOverview(uint32_t take) {
    char path[260];
    std::snprintf(path, sizeof path, "%s", Services().wvFormFilePath.c_str());
    ASSERT_EQ(WvfCacheName(TakeFromRef(take), path, sizeof path), 1);
    std::string p = path;
    for (char& c : p)
      if (c == '\\') c = '/';
    std::ofstream(p, std::ios::binary) << "x";
  }
  static uintptr_t Shown(uint32_t take) { return TakeGetAttr(TakeFromRef(take), kTakeAttrWaveExists); }
  fs::path dir_;
};

TEST_F(Waveforms, SwitchFollowsTheClickedTakeAndBuildsMissingOverviews) {
  const uint32_t t1 = NamedTake(1), t2 = NamedTake(2);
  const uint32_t a = Add(0, NewPart(0, 100, t1, 3, S));
  const uint32_t b = Add(1, NewPart(0, 100, t1, 3, 0));  // shares t1, not selected
  const uint32_t c = Add(2, NewPart(0, 100, t2, 3, S));
  PutOverview(t2);
  TakeSetAttr(TakeFromRef(t1), kTakeAttrWaveExists, 0, nullptr);
  TakeSetAttr(TakeFromRef(t2), kTakeAttrWaveExists, 0, nullptr);
  ASSERT_EQ(ArrToggleWaveforms(static_cast<int32_t>(a), kTestDc), 1);
  // One build for the two Parts of t1; t2 has its file already.
  EXPECT_EQ(Services().Count("BuildWaveform("), 1);
  EXPECT_TRUE(Logged("BuildWaveform(" + std::to_string(t1) + ")"));
  EXPECT_EQ(Shown(t1), 1u);
  EXPECT_EQ(Shown(t2), 1u);
  for (uint32_t s : {a, b, c}) EXPECT_EQ(P(s).Flags & S, 0u) << s;
  EXPECT_TRUE(Logged("RedrawNow()"));

  // Clicked again: off, with no builds.
  Services().Reset();
  P(a).Flags |= S;
  ASSERT_EQ(ArrToggleWaveforms(static_cast<int32_t>(a), kTestDc), 1);
  EXPECT_EQ(Shown(t1), 0u);
  EXPECT_EQ(Services().Count("BuildWaveform("), 0);

  // A build that fails stops the switch at that Part.
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  P(a).Flags |= S;
  P(c).Flags |= S;
  TakeSetAttr(TakeFromRef(t2), kTakeAttrWaveExists, 0, nullptr);
  soloWindow.buildResult = 0;
  EXPECT_EQ(ArrToggleWaveforms(static_cast<int32_t>(a), kTestDc), 0);
  EXPECT_EQ(Shown(t1), 0u);
  EXPECT_EQ(Shown(t2), 0u);

  // Any selected Part that is not Audio: refused.
  Add(3, NewPart(0, 100, 1, 21, S));
  EXPECT_EQ(ArrToggleWaveforms(static_cast<int32_t>(a), kTestDc), 0);
  EXPECT_EQ(BoxIds().back(), IDS_AUDIO_PARTS_ONLY);
}

}  // namespace
