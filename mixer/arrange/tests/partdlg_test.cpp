#include "mixer/arrange/tests/partcmds_fixture.h"

#include <filesystem>
#include <string>

#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/util/speaker.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"

namespace {

using Spans_ = std::vector<std::pair<int32_t, int32_t>>;

class PartDlg : public CmdFixture {
 protected:
  static int32_t Db(uint32_t g) { return GainToDeciDb(g); }
  PartRec Audio(int32_t start, int32_t length, int32_t beginDb, int32_t endDb, uint32_t flags = S) {
    PartRec p = NewPart(start, length, 1, 3, flags);
    p.GainStart = DeciDbToGain(beginDb);
    p.GainEnd = DeciDbToGain(endDb);
    return p;
  }
};

TEST_F(PartDlg, LevelsShowInTenthsOfADecibelBelowUnity) {
  struct Case {
    uint32_t gain;
    const char* text;
  } cases[] = {{32768, "-0.0 dB"}, {DeciDbToGain(-5), "-0.5 dB"}, {DeciDbToGain(-123), "-12.3 dB"},
               {65536, "-0.0 dB"}};
  for (const Case& c : cases) {
    char text[32];
    ArrLevelText(c.gain, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST_F(PartDlg, LinkedFadersKeepTheirDifferenceWithinTheRange) {
  LevelPair l(DeciDbToGain(-30), DeciDbToGain(-90));
  l.SetLink(1);
  l.Move(0, kVolFaderRange);  // begin to the top
  EXPECT_EQ(Db(l.Gain(0)), 0);
  EXPECT_EQ(Db(l.Gain(1)), -60);
  l.Move(1, kVolFaderRange);  // end up by more than the begin allows
  EXPECT_EQ(Db(l.Gain(1)), 0);
  EXPECT_EQ(Db(l.Gain(0)), 0);
  // Without the link, each fader moves alone and the difference is measured again.
  LevelPair u(DeciDbToGain(-30), DeciDbToGain(-90));
  u.Move(0, kVolFaderRange);
  EXPECT_EQ(Db(u.Gain(1)), -90);
  EXPECT_FALSE(u.MovedTogether());
}

TEST_F(PartDlg, VolumeOkAppliesItsRulesAsOneStep) {
  struct Case {
    const char* name;
    int link, global, prev, next;
    int moveSide;
    std::vector<int32_t> expect;  // dB of: A begin, A end, B begin, B end, before-end, after-begin
  } cases[] = {
      // Linked: both faders up 3 dB, every gain of every selected Part too.
      {"together", 1, 0, 0, 0, 0, {-30, -60, -60, -30, -90, -90}},
      // Begin alone: start gains only.
      {"begin", 0, 0, 0, 0, 0, {-30, -90, -60, -60, -90, -90}},
      // One fade over the track from the moved first begin to the last end.
      {"global", 0, 1, 0, 0, 0, {-30, -45, -45, -60, -90, -90}},
      // Neighbours that meet the selection take its gains.
      {"neighbours", 0, 0, 1, 1, 1, {-60, -60, -90, -30, -60, -30}},
  };
  for (const Case& c : cases) {
    Reset();
    const uint32_t before = Add(0, Audio(0, 100, -90, -90, 0));
    const uint32_t a = Add(0, Audio(100, 100, -60, -90));
    const uint32_t b = Add(0, Audio(200, 100, -90, -60));
    const uint32_t after = Add(0, Audio(300, 100, -90, -90, 0));
    VolGlobalFade = c.global;
    VolUpdatePrev = c.prev;
    VolUpdateNext = c.next;
    const auto image = Image();
    cmdWindow.volumeDialog = [&](VolumeDlg& d) {
      d.Levels.SetLink(c.link);
      // The clicked Part A opens at -6.0 / -9.0 dB; the moved fader goes up 3 dB.
      const int32_t target = c.moveSide == 0 ? -30 : -60;
      d.Levels.Move(c.moveSide, GainToFaderPos(static_cast<int32_t>(DeciDbToGain(target)), kVolFaderRange, 1));
      EXPECT_NEAR(Db(d.Levels.Gain(c.moveSide)), target, 3);  // fader positions are coarse
      return 1;
    };
    ASSERT_EQ(ArrVolumeTool(static_cast<int32_t>(a), kTestDc), 1);
    std::vector<int32_t> got = {Db(P(a).GainStart),      Db(P(a).GainEnd),     Db(P(b).GainStart),
                                Db(P(b).GainEnd),        Db(P(before).GainEnd), Db(P(after).GainStart)};
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.expect[i], 3) << c.name << " " << i;
    EXPECT_EQ(SelBits(0), (std::vector<int>{0, 0, 0, 0})) << c.name;
    ExpectUndoRedo(image);
  }
}

TEST_F(PartDlg, VolumeRefusalsAndCancel) {
  const uint32_t a = Add(0, Audio(0, 100, -60, -60));
  PartRec longPart = Audio(1000, 8388608, -60, -60);
  const uint32_t lp = Add(1, longPart);
  cmdWindow.volumeDialog = [&](VolumeDlg& d) {
    d.Levels.Move(0, kVolFaderRange);
    return 1;
  };
  ASSERT_EQ(ArrVolumeTool(static_cast<int32_t>(a), kTestDc), 1);
  EXPECT_EQ(P(a).GainStart, 32768u);
  EXPECT_EQ(P(lp).GainStart, longPart.GainStart);  // too long to fade
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_PARTS_TOO_LONG_TO_FADE});

  // Cancel: no step, the selection cleared.
  Reset();
  const uint32_t c = Add(0, Audio(0, 100, -60, -60));
  cmdWindow.volumeDialog = [](VolumeDlg& d) {
    d.Levels.Move(0, kVolFaderRange);
    return 0;
  };
  EXPECT_EQ(ArrVolumeTool(static_cast<int32_t>(c), kTestDc), 0);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(Db(P(c).GainStart), -60);
  EXPECT_EQ(SelBits(0), std::vector<int>{0});

  // A selected Part that is not Audio: 321 and no dialog.
  Add(0, NewPart(500, 10, 2, 21, S));
  EXPECT_EQ(ArrVolumeTool(static_cast<int32_t>(c), kTestDc), 0);
  EXPECT_EQ(BoxIds().back(), IDS_AUDIO_PARTS_ONLY);
}

// ---- Part information ----

TEST_F(PartDlg, InfoTimeFieldRefusalsChangeNothing) {
  struct Case {
    const char* name;
    int field;
    int32_t value;
    uint32_t message;
    uint32_t extraFlags;
  } cases[] = {
      {"locked start", kInfoStart, 200, IDS_TIMELOCKED_NO_MOVE, kPartTimelocked},
      {"before 0", kInfoStart, 50, IDS_PARTS_OUT_OF_RANGE, 0},  // the other Part would start at -50
      {"overlap", kInfoStart, 950, IDS_PARTS_CANNOT_OVERLAP, 0},
      {"zero length", kInfoLength, 0, IDS_PART_ZERO_LENGTH, 0},
      {"past the Take", kInfoLength, 6000, IDS_TAKE_RANGE_EXCEEDED, 0},
      {"other too short", kInfoLength, 10, IDS_PART_ZERO_LENGTH, 0},  // the other Part: 50 - 90
      {"locked offset", kInfoOffset, 10, IDS_TIMELOCKED_NO_MOVE, kPartTimelocked},
      {"offset", kInfoOffset, 4950, IDS_TAKE_RANGE_EXCEEDED, 0},
      {"snap", kInfoSnap, 60, IDS_SNAP_OUTSIDE_PART, 0},  // beyond the other Part's 50
  };
  for (const Case& c : cases) {
    Reset();
    EditOverlapMode = 40892;
    const uint32_t t = Take(5000);
    PartRec a = NewPart(100, 100, t, 3, S | c.extraFlags);
    const uint32_t sa = Add(0, a);
    Add(1, NewPart(0, 50, t, 3, S));
    Add(0, NewPart(1000, 100, t, 3, 0));  // unselected, same layer
    InfoDlg dlg(static_cast<int32_t>(sa));
    const auto before = Image();
    EXPECT_EQ(dlg.ApplyField(c.field, c.value, kTestDc), 0) << c.name;
    EXPECT_EQ(BoxIds(), std::vector<uint32_t>{c.message}) << c.name;
    EXPECT_EQ(Image(), before) << c.name;
  }
}

TEST_F(PartDlg, InfoTimeFieldsMoveEverySelectedPartByTheDifference) {
  const uint32_t t = Take(5000);
  const uint32_t a = Add(0, NewPart(100, 100, t, 3, S));
  Add(0, NewPart(150, 30, t, 3, 0));
  const uint32_t b = Add(1, NewPart(0, 200, t, 3, S));
  InfoDlg dlg(static_cast<int32_t>(a));
  ASSERT_EQ(dlg.ApplyField(kInfoStart, 300, kTestDc), 1);
  EXPECT_EQ(Spans(0), (Spans_{{150, 30}, {300, 100}}));  // re-sorted
  EXPECT_EQ(Spans(1), (Spans_{{200, 200}}));
  // A length of 5 becomes 10.
  ASSERT_EQ(dlg.ApplyField(kInfoLength, 5, kTestDc), 1);
  EXPECT_EQ(P(a).Length, 10);
  EXPECT_EQ(P(b).Length, 200 - 90);
}

TEST_F(PartDlg, InfoOkKeepsAChannelTheListCannotShow) {
  PartRec a = NewPart(0, 100, 1, 3, S);
  a.PlayChannel = 150;
  const uint32_t sa = Add(0, a);
  const auto before = Image();
  cmdWindow.infoDialog = [&](InfoDlg& d) {
    EXPECT_EQ(d.OutputIndex(), 0);  // shows "Muted"
    std::snprintf(d.Name, sizeof d.Name, "Vocal  ");
    d.Timelock = 1;
    return d.Ok(kTestDc);
  };
  ASSERT_EQ(ArrInfoTool(static_cast<int32_t>(sa), kTestDc), 1);
  EXPECT_EQ(P(sa).PlayChannel, 150);
  EXPECT_STREQ(P(sa).Name, "Vocal");
  EXPECT_TRUE(P(sa).Flags & kPartTimelocked);
  ExpectUndoRedo(before);

  // A muted channel above 192 stays too; a chosen entry replaces it.
  for (int choose : {-1, 0, 3}) {
    Reset();
    PartRec m = NewPart(0, 100, 1, 3, S);
    m.PlayChannel = 300;
    const uint32_t sm = Add(0, m);
    cmdWindow.infoDialog = [&](InfoDlg& d) {
      if (choose >= 0) d.ChooseOutput(choose);
      return d.Ok(kTestDc);
    };
    ASSERT_EQ(ArrInfoTool(static_cast<int32_t>(sm), kTestDc), 1);
    EXPECT_EQ(P(sm).PlayChannel, choose < 0 ? 300 : choose);
  }
}

TEST_F(PartDlg, InfoNamesGoToTheSelectionWithSpeakerSuffixes) {
  const uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  const uint32_t b = Add(1, NewPart(0, 100, 1, 3, S));
  ASSERT_EQ(ArrStereoLink(nullptr, CurArr, static_cast<int32_t>(a), 0, 0), 1);
  InfoUpdateAllNames = 1;
  InfoAppendSpeakerExt = 1;
  int tries = 0;
  cmdWindow.infoDialog = [&](InfoDlg& d) {
    d.Name[0] = '\0';
    EXPECT_EQ(d.Ok(kTestDc), 0);  // refused: the dialog stays open
    ++tries;
    std::snprintf(d.Name, sizeof d.Name, "%s", std::string(70, 'x').c_str());
    return d.Ok(kTestDc);
  };
  ASSERT_EQ(ArrInfoTool(static_cast<int32_t>(a), kTestDc), 1);
  EXPECT_EQ(tries, 1);
  EXPECT_EQ(BoxIds().front(), IDS_NAME_MISSING);
  char ext[16];
  ASSERT_EQ(MakeChannelNames(ext, sizeof ext, 1, 2, 0), 1);
  EXPECT_EQ(std::string(P(b).Name), std::string(61, 'x') + ext);
}

TEST_F(PartDlg, InfoCancelLeavesAStepOnlyForFieldsAlreadyApplied) {
  const uint32_t t = Take(5000);
  const uint32_t a = Add(0, NewPart(100, 100, t, 3, S));
  const auto before = Image();
  cmdWindow.infoDialog = [](InfoDlg& d) {
    d.Timelock = 1;
    return 0;
  };
  EXPECT_EQ(ArrInfoTool(static_cast<int32_t>(a), kTestDc), 0);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(Image(), before);
  cmdWindow.infoDialog = [&](InfoDlg& d) {
    EXPECT_EQ(d.ApplyField(kInfoOffset, 40, kTestDc), 1);
    return 0;
  };
  ArrInfoTool(static_cast<int32_t>(a), kTestDc);
  EXPECT_EQ(P(a).Offset, 40);
  ExpectUndoRedo(before);
}

}  // namespace

namespace {

TEST_F(PartDlg, InfoListsTheTakesOfThePartsKindInItsFolder) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() /
                        ("infotakes_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
  fs::remove_all(root);
  fs::create_directories(root);
  std::string dir = root.string() + "/";
  for (char& c : dir)
    if (c == '/') c = '\\';
  uint32_t error = 0;
  TakeRec* own = nullptr;
  for (const char* name : {"Beta", "Alpha", "Gamma"}) {
    TakeRec* t = TakeCreateAudio(dir.c_str(), 2, 100, 0, 48000, 0, 1, name, "", nullptr, nullptr, &error);
    ASSERT_NE(t, nullptr) << error;
    if (std::string(name) == "Gamma") own = t;
  }
  ASSERT_NE(TakeCreateAutom(dir.c_str(), 0, 0, 0, 0, 0, 48000, 0, 1, "Knobs", "", nullptr, nullptr, &error),
            nullptr)
      << error;
  const uint32_t s = Add(0, NewPart(0, 100, TakeRef(own), 3, S));
  int current = -1;
  const std::vector<std::string> names = ArrInfoTakeList(static_cast<int32_t>(s), &current);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha.ATAK", "Beta.ATAK", "Gamma.ATAK"}));
  EXPECT_EQ(current, 2);
  // A Take whose folder cannot be read lists itself alone.
  const uint32_t lone = Add(1, NewPart(0, 100, Take(100), 3, S));
  EXPECT_EQ(ArrInfoTakeList(static_cast<int32_t>(lone), &current).size(), 1u);
  EXPECT_EQ(current, 0);
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace
