// Operations on the selected Parts: channels, mute, snap point, glue,
// delete, phase, timelock, the automation knob, gains, links, the rubber
// band and slip.
#include <cstdio>
#include <memory>
#include <vector>

#include "edit_fixture.h"
#include "mixer/arrange/dragops.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/partops.h"
#include "mixer/model/snap.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/strtab.h"

namespace {

using PartOps = EditFixture;

constexpr uint32_t S = kPartSelected;
constexpr int32_t kLong = 8388608;  // Audio Parts this long carry no gain ramp

// ---- Mute and channels ----

TEST_F(PartOps, MuteFollowsTheClickedPartAndTouchesOnlyTheOtherGroup) {
  struct Case {
    int32_t clicked;
    int32_t before[3];
    int32_t after[3];
  } cases[] = {
      {5, {5, 200, 0}, {197, 200, 0}},     // on a channel: mute 1..192 only
      {200, {5, 200, 384}, {5, 8, 192}},   // muted: unmute everything above 192
      {0, {5, 200, 0}, {5, 8, 0}},         // no output counts as muted
  };
  for (const Case& c : cases) {
    Reset();
    uint32_t clicked = Add(0, NewPart(0, 10, 1, 3, S));
    P(clicked).PlayChannel = c.clicked;
    uint32_t slots[3];
    for (int i = 0; i < 3; ++i) {
      slots[i] = Add(1 + i, NewPart(100 * i, 10, 1, 3, S));
      P(slots[i]).PlayChannel = c.before[i];
    }
    P(clicked).Flags &= ~S;  // the clicked Part itself is left out
    ASSERT_EQ(ArrToggleMute(static_cast<int32_t>(clicked), kTestDc), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(P(slots[i]).PlayChannel, c.after[i]) << c.clicked << " " << i;
    EXPECT_EQ(UndoGetLevel(), 1u);
    EXPECT_EQ(P(slots[0]).Flags & S, 0u);  // KeepSel off
  }
}

TEST_F(PartOps, UnmutedPartMutesWhatItNowOverlapsOnItsChannel) {
  uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  P(a).PlayChannel = 3 + 192;
  uint32_t b = Add(1, NewPart(50, 100));
  P(b).PlayChannel = 3;
  ASSERT_EQ(ArrToggleMute(static_cast<int32_t>(a), nullptr), 1);
  EXPECT_EQ(P(a).PlayChannel, 3);
  EXPECT_EQ(P(b).PlayChannel, 3 + 192);
}

TEST_F(PartOps, OutputsNumberLinkGroupsFromTheClickedMember) {
  // A stereo pair on tracks 2 and 3 and a single Part; the lower member of
  // the pair is clicked with channel 8.
  uint32_t up = Add(2, NewPart(0, 100, 1, 3, S | kPartLinkNext));
  uint32_t low = Add(3, NewPart(0, 100, 1, 3, S | kPartLinkPrev));
  uint32_t single = Add(5, NewPart(0, 100, 1, 3, S));
  uint32_t midi = Add(6, NewPart(0, 100, 1, kTakeMidi, S));
  ASSERT_EQ(ArrAssignOutputs(static_cast<int32_t>(low), kTestDc, kTakeAudio, 8), 1);
  EXPECT_EQ(P(up).PlayChannel, 7);
  EXPECT_EQ(P(low).PlayChannel, 8);
  // Every group starts at the same channel: the pair overlaps the single
  // Part on channel 7, which is muted.
  EXPECT_EQ(P(single).PlayChannel, 7 + 192);
  EXPECT_EQ(P(midi).PlayChannel, 1);  // another kind
  EXPECT_EQ(PlayRebuilds(), 1);

  // Near the limit the group is moved down to end at 128.
  P(up).Flags |= S;
  P(low).Flags |= S;
  ASSERT_EQ(ArrAssignOutputs(static_cast<int32_t>(up), kTestDc, kTakeAudio, 128), 1);
  EXPECT_EQ(P(up).PlayChannel, 127);
  EXPECT_EQ(P(low).PlayChannel, 128);
}

TEST_F(PartOps, OutputsBelowOneMeanNoOutputAndOverlapsAreMuted) {
  uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  uint32_t other = Add(1, NewPart(50, 100));
  P(other).PlayChannel = 4;
  ASSERT_EQ(ArrAssignOutputs(static_cast<int32_t>(a), kTestDc, kTakeAudio, 4), 1);
  EXPECT_EQ(P(a).PlayChannel, 4);
  EXPECT_EQ(P(other).PlayChannel, 4 + 192);
  P(a).Flags |= S;
  ASSERT_EQ(ArrAssignOutputs(static_cast<int32_t>(a), kTestDc, kTakeAutom, -3), 1);
  EXPECT_EQ(P(a).PlayChannel, 4);  // an Audio Part is not of that kind
  uint32_t aut = Add(2, NewPart(0, 10, 1, kTakeAutom, S));
  ASSERT_EQ(ArrAssignOutputs(static_cast<int32_t>(aut), kTestDc, kTakeAutom, -3), 1);
  EXPECT_EQ(P(aut).PlayChannel, 0);
}

// ---- Snap point ----

TEST_F(PartOps, SnapPointLiesStrictlyInsideOrIsCleared) {
  uint32_t a = Add(0, NewPart(100, 100, 1, 3, S));
  KeepSel = 1;
  struct Case {
    int32_t click;
    uint32_t time;
    int32_t snap;
  } cases[] = {{150, 1000, 50}, {100, 3000, 0}, {200, 5000, 0}, {199, 7000, 99},
               {120, 7200, 0} /* double click clears */};
  for (const Case& c : cases) {
    ArrInput in;
    in.Time = c.time;
    ASSERT_EQ(ArrSetSnapPoint(nullptr, c.click, in), 1);
    EXPECT_EQ(P(a).SnapPoint, c.snap) << c.click;
  }
  EXPECT_EQ(UndoGetLevel(), 5u);
}

// ---- Glue ----

TEST_F(PartOps, GlueJoinsPartsThatContinueTheTake) {
  PartRec a = NewPart(0, 100, 1, 3, S);
  PartRec b = NewPart(100, 50);
  b.Offset = 100;
  b.SnapPoint = 10;
  b.Flags |= kPartTimelocked;
  PartRec c = NewPart(150, 30);
  c.Offset = 150;
  c.GainEnd = 1000;
  PartRec gap = NewPart(181, 10);
  gap.Offset = 181;
  uint32_t sa = Add(0, a);
  Add(0, b);
  Add(0, c);
  Add(0, gap);
  ASSERT_EQ(ArrGlueSelected(kTestDc), 1);
  EXPECT_EQ(Spans(0), (std::vector<std::pair<int32_t, int32_t>>{{0, 180}, {181, 10}}));
  EXPECT_EQ(P(sa).SnapPoint, 110);
  EXPECT_EQ(P(sa).GainEnd, 1000u);
  EXPECT_NE(P(sa).Flags & kPartTimelocked, 0u);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

TEST_F(PartOps, GlueStopsAtOtherTakesOffsetsAndGroups) {
  struct Case {
    const char* what;
    uint32_t take;
    int32_t offset;
    uint32_t flags;
  } cases[] = {
      {"another Take", 2, 100, 0},
      {"Take not continued", 1, 101, 0},
      {"another link group place", 1, 100, kPartLinkNext},
  };
  for (const Case& c : cases) {
    Reset();
    Add(0, NewPart(0, 100, 1, 3, S));
    PartRec n = NewPart(100, 50, c.take, 3, c.flags);
    n.Offset = c.offset;
    Add(0, n);
    if (c.flags) Add(1, NewPart(100, 50, 1, 3, kPartLinkPrev));
    ASSERT_EQ(ArrGlueSelected(nullptr), 1);
    EXPECT_EQ(Spans(0).size(), 2u) << c.what;
  }
}

TEST_F(PartOps, GluedLongAudioPartLosesItsRamp) {
  PartRec a = NewPart(0, kLong, 1, 3, S);
  a.GainStart = 1000;
  PartRec b = NewPart(kLong, 10);
  b.Offset = kLong;
  b.GainEnd = 20000;
  uint32_t sa = Add(0, a);
  Add(0, b);
  ASSERT_EQ(ArrGlueSelected(nullptr), 1);
  EXPECT_EQ(P(sa).GainStart, 20000u);
  EXPECT_EQ(P(sa).GainEnd, 20000u);
}

// ---- Delete ----

TEST_F(PartOps, DeleteRefusesTimelockedPartsAndRecordsNothing) {
  Add(0, NewPart(0, 10, 1, 3, S | kPartTimelocked));
  const auto before = Image();
  EXPECT_EQ(ArrDeleteSelected(kTestDc), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_TIMELOCKED_NO_MOVE});
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(PartOps, DeleteAsksAboutUnsharedTakesAndBreaksHalfGroups) {
  uint32_t shared = Add(0, NewPart(0, 10, 5, 3, S));
  Add(0, NewPart(20, 10, 5));
  Add(1, NewPart(0, 10, 6, 3, S | kPartLinkNext));
  uint32_t partner = Add(2, NewPart(0, 10, 1, 3, kPartLinkPrev));
  (void)shared;
  Answer({kIdYes});
  ASSERT_EQ(ArrDeleteSelected(kTestDc), 1);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_ASK_DELETE_UNREF_TAKES});
  EXPECT_EQ(Services().Count("SFManNotify("), 1) << Services().Joined();
  EXPECT_EQ(Spans(0), (std::vector<std::pair<int32_t, int32_t>>{{20, 10}}));
  EXPECT_TRUE(Spans(1).empty());
  EXPECT_EQ(P(partner).Flags & kPartLinkPrev, 0u);
  EXPECT_TRUE(Logged("UpdateScrollRanges()"));
}

// ---- Phase, timelock, automation knob ----

TEST_F(PartOps, PhaseAndTimelockTakeTheOppositeOfTheClickedPart) {
  uint32_t a = Add(0, NewPart(0, 10, 1, 3, S | kPartPhaseInvert | kPartTimelocked));
  uint32_t b = Add(1, NewPart(0, 10, 1, 3, S));
  KeepSel = 1;
  ASSERT_EQ(ArrInvertPhase(static_cast<int32_t>(b), nullptr), 1);
  EXPECT_NE(P(a).Flags & kPartPhaseInvert, 0u);
  EXPECT_NE(P(b).Flags & kPartPhaseInvert, 0u);
  ASSERT_EQ(ArrToggleTimelock(static_cast<int32_t>(a), nullptr), 1);
  EXPECT_EQ((P(a).Flags | P(b).Flags) & kPartTimelocked, 0u);
  EXPECT_EQ(UndoGetLevel(), 2u);
}

TEST_F(PartOps, AudioAndAutomationOnlyOperationsRefuseOtherKinds) {
  uint32_t a = Add(0, NewPart(0, 10, 1, 3, S));
  Add(1, NewPart(0, 10, 2, kTakeMidi, S));
  const auto before = Image();
  EXPECT_EQ(ArrInvertPhase(static_cast<int32_t>(a), nullptr), 0);
  EXPECT_EQ(ArrChooseAutomKnob(1, static_cast<int32_t>(a), nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{IDS_AUDIO_PARTS_ONLY, IDS_AUTOM_PARTS_ONLY}));
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(PartOps, ChosenKnobIsShownWhereATakeHasIt) {
  routines.knobs = {{10, {"Gain", "Pan"}}, {11, {"Pan", "Gain"}}, {12, {"Mute"}}};
  uint32_t a = Add(0, NewPart(0, 10, 10, kTakeAutom, S));
  uint32_t b = Add(1, NewPart(0, 10, 11, kTakeAutom, S));
  uint32_t c = Add(2, NewPart(0, 10, 12, kTakeAutom, S));
  window.menuPicks = {1};
  ASSERT_EQ(ArrChooseAutomKnob(1, static_cast<int32_t>(a), nullptr, nullptr, 5, 5), 1);
  EXPECT_TRUE(Logged("TrackMenu(*Gain,Pan, 0)")) << Services().Joined();
  EXPECT_EQ(P(a).AutoMapValue, 1);
  EXPECT_EQ(P(b).AutoMapValue, 0);
  EXPECT_EQ(P(c).AutoMapValue, 0);
  // No pick: no step.
  P(a).Flags |= S;
  EXPECT_EQ(ArrChooseAutomKnob(1, static_cast<int32_t>(a), nullptr, nullptr, 5, 5), 0);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

// ---- Gains ----

TEST_F(PartOps, GainDeltaMovesTheChosenEndsAndCapsAtUnity) {
  uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  P(a).GainStart = DeciDbToGain(-100);
  P(a).GainEnd = DeciDbToGain(-30);
  uint32_t longPart = Add(1, NewPart(0, 8388608, 1, 3, S));
  uint32_t msg = 0;
  EXPECT_EQ(ArrAddGainDelta(CurArr, 0, DeciDbToGain(-60), DeciDbToGain(0), nullptr, &msg), 1u);
  EXPECT_EQ(GainToDeciDb(P(a).GainStart), -40);
  EXPECT_EQ(GainToDeciDb(P(a).GainEnd), -30);
  EXPECT_EQ(msg, IDS_PARTS_TOO_LONG_TO_FADE);
  EXPECT_EQ(P(longPart).GainStart, 32768u);
  EXPECT_NE(P(longPart).Flags & S, 0u);
  msg = 0;
  EXPECT_EQ(ArrAddGainDelta(CurArr, 2, DeciDbToGain(-60), DeciDbToGain(0), nullptr, &msg), 2u);
  EXPECT_EQ(GainToDeciDb(P(a).GainEnd), 0);  // capped
  EXPECT_EQ(msg, 0u);
}

TEST_F(PartOps, TrackFadeRunsOneRampOverTheSelectedParts) {
  uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  uint32_t b = Add(0, NewPart(100, 100, 1, 3, S));
  uint32_t c = Add(0, NewPart(200, 100));
  EXPECT_EQ(ArrSetTrackFade(nullptr, CurArr, 0, 0, 32768, 0), 2u);
  EXPECT_EQ(P(a).GainStart, 0u);
  EXPECT_EQ(P(a).GainEnd, 16384u);
  EXPECT_EQ(P(b).GainStart, 16384u);
  EXPECT_EQ(P(b).GainEnd, 32768u);
  EXPECT_EQ(P(c).GainStart, 32768u);
  EXPECT_EQ(ArrSetTrackFade(nullptr, CurArr, 0, 2000, 2000, 3), 2u);
  EXPECT_EQ(P(a).GainEnd, 2000u);
  EXPECT_TRUE(Host().boxes.empty());
}

// ---- Links ----

TEST_F(PartOps, StereoLinkFindsAFreePartnerBelowOrOnTheLastTrackAbove) {
  uint32_t a = Add(10, NewPart(0, 100, 1, 3, S));
  uint32_t taken = Add(11, NewPart(0, 100, 1, 3, kPartLinkNext));
  uint32_t free11 = Add(11, NewPart(0, 100));
  Add(12, NewPart(0, 100, 1, 3, kPartLinkPrev));
  ASSERT_EQ(ArrStereoLink(nullptr, CurArr, static_cast<int32_t>(a), 10, 1), 1);
  EXPECT_EQ(P(a).Flags & (kPartLinkNext | kPartLinkPrev | kPartPassMark), kPartLinkNext | kPartPassMark);
  EXPECT_EQ(P(free11).Flags, kPartLinkPrev | kPartPassMark | S);
  EXPECT_EQ(P(taken).Flags, kPartLinkNext);
  EXPECT_EQ(ArrStereoLink(nullptr, CurArr, static_cast<int32_t>(a), 10, 0), 0);  // already linked

  uint32_t last = Add(255, NewPart(500, 10));
  uint32_t above = Add(254, NewPart(500, 10));
  uint32_t mismatch = Add(253, NewPart(500, 11));
  ASSERT_EQ(ArrStereoLink(nullptr, CurArr, static_cast<int32_t>(last), 255, 0), 1);
  EXPECT_EQ(P(above).Flags, kPartLinkNext);
  EXPECT_EQ(P(last).Flags, kPartLinkPrev);
  EXPECT_EQ(P(mismatch).Flags, 0u);
  EXPECT_EQ(ArrCheckPartLinks(CurArr, 0, nullptr), 1);
}

TEST_F(PartOps, MultiChannelLinkWalksBothWaysAndUnlinkBreaksTheGroup) {
  uint32_t s[6];
  for (uint32_t t = 0; t < 6; ++t) s[t] = Add(t, NewPart(0, 100, 1, 3, t == 1 ? 0 : S));
  Add(6, NewPart(0, 99, 1, 3, S));  // not a partner: another length
  // From track 3, selected only: down to 5, up to 2 (track 1 is unselected).
  EXPECT_EQ(ArrMultiChanLink(nullptr, CurArr, static_cast<int32_t>(s[3]), 3, 0, 1), 3u);
  EXPECT_EQ(P(s[1]).Flags & (kPartLinkNext | kPartLinkPrev), 0u);
  EXPECT_EQ(P(s[2]).Flags & (kPartLinkNext | kPartLinkPrev), kPartLinkNext);
  EXPECT_EQ(P(s[4]).Flags & (kPartLinkNext | kPartLinkPrev), kPartLinkNext | kPartLinkPrev);
  EXPECT_EQ(P(s[5]).Flags & (kPartLinkNext | kPartLinkPrev), kPartLinkPrev);
  EXPECT_EQ(ArrCheckPartLinks(CurArr, 0, nullptr), 1);

  P(s[4]).Flags &= ~S;
  EXPECT_EQ(ArrUnlinkGroup(nullptr, CurArr, static_cast<int32_t>(s[4]), 4, 0), 4u);
  for (uint32_t t = 2; t < 6; ++t) EXPECT_EQ(P(s[t]).Flags, 0u) << t;
}

TEST_F(PartOps, LinkGroupSelectionFollowsTheGroup) {
  uint32_t a = Add(0, NewPart(0, 10, 1, 3, kPartLinkNext));
  uint32_t b = Add(1, NewPart(0, 10, 1, 3, kPartLinkPrev | kPartLinkNext));
  uint32_t c = Add(2, NewPart(0, 10, 1, 3, kPartLinkPrev));
  ArrSetLinkGroupSelection(nullptr, CurArr, static_cast<int32_t>(b), 1, 1, 0);
  EXPECT_EQ((P(a).Flags & S) + (P(b).Flags & S) + (P(c).Flags & S), 2u);
  EXPECT_EQ(P(b).Flags & S, 0u);
  EXPECT_EQ(ArrExtendSelectionToLinks(nullptr, CurArr), 1u);
  EXPECT_NE(P(b).Flags & S, 0u);
}

// ---- Rubber band and slip ----

TEST_F(PartOps, RubberBandSelectsTheSameEitherWay) {
  ArrViewRec& v = ArrView();
  v.Hzoom = 100;
  v.Origin = kArrTimeShift;  // x = 0 is position 0
  v.Vzoom = 13;
  v.TopHeight = 16;
  // Rows of 15 pixels from y = 17.
  uint32_t in1 = Add(1, NewPart(1000, 500));
  uint32_t in2 = Add(2, NewPart(2800, 500));
  uint32_t out1 = Add(3, NewPart(1000, 500));
  uint32_t out2 = Add(1, NewPart(3000, 500));
  const ArrBandRect bands[] = {{10, 17 + 15, 29, 17 + 2 * 15 + 3}, {29, 17 + 2 * 15 + 3, 10, 17 + 15}};
  for (const ArrBandRect& band : bands) {
    ArrClearSelection(CurArr, nullptr, 0);
    EXPECT_EQ(ArrRubberBandSelect(nullptr, band), 2u);
    EXPECT_NE(P(in1).Flags & S, 0u);
    EXPECT_NE(P(in2).Flags & S, 0u);
    EXPECT_EQ((P(out1).Flags | P(out2).Flags) & S, 0u);
  }
}

TEST_F(PartOps, SlipMovesTakeOffsetsWithinTheLimit) {
  ArrView().Hzoom = 10;
  uint32_t a = Add(0, NewPart(0, 100, 1, 3, S));
  P(a).Offset = 50;
  KeepSel = 1;
  // Left by 4 pixels = 40 samples, limit 30: the offset grows by 30.
  ASSERT_EQ(ArrSlipCommit(96, nullptr, ArrSlipDrag{100, 30, 1000, 0}), 1);
  EXPECT_EQ(P(a).Offset, 80);
  // Right by 20 pixels, limit 1000: shrinks by 200 but not below 0.
  ASSERT_EQ(ArrSlipCommit(120, nullptr, ArrSlipDrag{100, 0, 1000, 0}), 1);
  EXPECT_EQ(P(a).Offset, 0);
  // Keyboard: the step limits.
  ASSERT_EQ(ArrSlipCommit(90, nullptr, ArrSlipDrag{100, 0, 0, 7}), 1);
  EXPECT_EQ(P(a).Offset, 7);
  EXPECT_EQ(UndoGetLevel(), 3u);
  // No movement: nothing; a timelocked Part: 317.
  EXPECT_EQ(ArrSlipCommit(100, nullptr, ArrSlipDrag{100, 50, 50, 0}), 0);
  P(a).Flags |= kPartTimelocked;
  EXPECT_EQ(ArrSlipCommit(90, nullptr, ArrSlipDrag{100, 50, 50, 0}), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_TIMELOCKED_NO_MOVE});
  EXPECT_EQ(UndoGetLevel(), 3u);
}

TEST_F(PartOps, SlipOutlineShiftStopsAtTheLargestSlip) {
  // Pressed at x 100, 10 samples per pixel; the Take allows 30 samples of
  // slip to the left and 1000 to the right: the outline's shift follows the
  // pointer up to 3 and 100 pixels.
  ArrView().Hzoom = 10;
  ArrSlipDragRec rec;
  rec.Words = {1, 100, 40, 1000, 30};
  const struct {
    int x, shift;
  } cases[] = {{100, 0}, {98, -2}, {90, -3}, {-500, -3}, {150, 50}, {200, 100}, {900, 100}};
  for (const auto& c : cases) EXPECT_EQ(ArrSlipDragShift(rec, c.x), c.shift) << c.x;
}

TEST_F(PartOps, SlipAndTrimKeysMoveBySnapSteps) {
  // One second's snap within reach of the 12-pixel limit: Left from 0
  // starts a leftward slip of one whole step, a second Left makes two, and
  // Right takes one back; the room on each side limits the distance. A
  // keyboard trim steps likewise.
  const ProjectSettings saved = Settings();
  Settings().SnapEnable = 1;
  Settings().SnapMode = kSnapTcSecond;
  ArrView().Hzoom = 100000;
  const int32_t step = SnapLoc(1, 0, kSnapLater, CurArr, CurMrkList, 0, 0);
  ASSERT_GT(step, 1);
  const int32_t one = ArrSlipDragKey(0, 0, 1 << 30, 1 << 30);
  EXPECT_EQ(one, -step);
  const int32_t two = ArrSlipDragKey(one, 0, 1 << 30, 1 << 30);
  EXPECT_LT(two, one);
  EXPECT_EQ(ArrSlipDragKey(two, 1, 1 << 30, 1 << 30), one);
  EXPECT_EQ(ArrSlipDragKey(0, 1, 1 << 30, 1000), 1000);
  // A trimmed edge on a snap point moves by the keys to the points either
  // side of it, within the trim's bounds.
  const uint32_t a = Add(0, 0, 10 * step, S);
  std::unique_ptr<ArrTrimDragRec> rec(ArrTrimDragStart(nullptr, 0, 0, 10 * step, 0));
  ASSERT_NE(rec, nullptr);
  rec->High = 11 * step + 5;
  EXPECT_EQ(ArrTrimDragKey(*rec, 0), SnapLoc(10 * step - 1, 0, kSnapEarlier, CurArr, CurMrkList, 0, 0));
  EXPECT_LT(rec->Nudged, 10 * step);
  EXPECT_EQ(ArrTrimDragKey(*rec, 1), 10 * step);
  EXPECT_EQ(ArrTrimDragKey(*rec, 1), SnapLoc(10 * step + 1, 0, kSnapLater, CurArr, CurMrkList, 0, 0));
  EXPECT_GT(rec->Nudged, 10 * step);
  P(a).Flags &= ~S;
  Settings().SnapEnable = 0;
  EXPECT_EQ(ArrSlipDragKey(0, 0, 1 << 30, 1 << 30), -1);
  Settings() = saved;
}

// A trimmed start edge stays inside its Take; while Parts of a track may
// not overlap it also stays after the Parts before it, except those trimmed
// along with it.
TEST_F(PartOps, TrimStartEdgeStopsAtTheTakeAndAtUntrimmedPartsBefore) {
  struct Case {
    int32_t mode;
    bool trimmedAlong;
    int32_t low;
  } cases[] = {
      {40893, false, 50},   // layers allowed: the Take's beginning
      {40892, false, 100},  // not before the end of the Part before
      {40892, true, 201},   // the Part ending at the edge moves with it
  };
  uint32_t track = 0;
  for (const Case& c : cases) {
    EditOverlapMode = c.mode;
    std::vector<uint32_t> slots{Add(track, 0, 100)};
    if (c.trimmedAlong) slots.push_back(Add(track, 200, 100, S));  // ends at the edge
    const uint32_t mid = Add(track, 300, 100, S);
    slots.push_back(mid);
    P(mid).Offset = 250;  // its Take begins at 50
    std::unique_ptr<ArrTrimDragRec> rec(ArrTrimDragStart(nullptr, 0, 0, 300, 0));
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->Low, c.low) << c.mode << " " << c.trimmedAlong;
    for (uint32_t slot : slots) P(slot).Flags &= ~S;  // out of the next case's trim
    ++track;
  }
  EditOverlapMode = 40893;
}

// A trimmed edge snaps to the edges of the Parts left alone, never to the
// trimmed Parts' own: a trim of less than the snap distance is not pulled
// back onto the edge it left.
TEST_F(PartOps, TrimEdgeSnapsOnlyToUntrimmedPartsEdges) {
  Settings().SnapEnable = 1;
  Settings().SnapMode = 15;  // Part edges
  const int32_t hz = ArrView().Hzoom;
  const uint32_t trimmed = Add(0, 0, 100000, S);
  Add(1, 0, 80000);
  std::unique_ptr<ArrTrimDragRec> rec(ArrTrimDragStart(nullptr, 500, 0, 100000, 0));
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(ArrTrimDragTarget(*rec, 495), 100000 - 5 * hz);  // no edge of another Part near
  EXPECT_EQ(ArrTrimDragTarget(*rec, 485), 80000);            // the other Part's end
  ASSERT_EQ(ArrTrimDragEnd(nullptr, rec.release(), 495), 1);
  EXPECT_EQ(P(trimmed).Length, 100000 - 5 * hz);
}

}  // namespace
