#include "mixer/arrange/tests/partcmds_fixture.h"

#include <memory>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/editdisp.h"
#include "mixer/arrange/editpriv.h"
#include "mixer/arrange/mixdown.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/model/arrlist.h"
#include "mixer/model/timecode.h"
#include "mixer/units/services.h"
#include "mixer/model/util/strtab.h"

namespace {

using Spans_ = std::vector<std::pair<int32_t, int32_t>>;

class PartCmds : public CmdFixture {};

// ---- Cut ----

TEST_F(PartCmds, CutAtThePointerSplitsGainsSnapPointsAndUndoesExactly) {
  PartRec a = NewPart(100, 100, 1, 3, S);
  a.GainStart = 0;
  a.GainEnd = 32768;
  a.SnapPoint = 70;  // goes with the right piece, 20 into it
  a.Offset = 5;
  const uint32_t sa = Add(0, a);
  PartRec b = NewPart(120, 100, 1, 3, S);
  b.SnapPoint = 10;  // stays with the left piece
  Add(1, b);
  Add(2, 100, 100);  // not selected: not cut
  const auto before = Image();
  ASSERT_EQ(ArrCutParts(kTestDc, 150, 9), 1);
  EXPECT_EQ(Spans(0), (Spans_{{100, 50}, {150, 50}}));
  EXPECT_EQ(Spans(1), (Spans_{{120, 30}, {150, 70}}));
  EXPECT_EQ(Spans(2), (Spans_{{100, 100}}));
  const PartRec& l = P(sa);
  const PartRec& r = P(l.Next);
  EXPECT_EQ(l.GainEnd, 16384u);
  EXPECT_EQ(r.GainStart, 16384u);
  EXPECT_EQ(l.SnapPoint, 0);
  EXPECT_EQ(r.SnapPoint, 20);
  EXPECT_EQ(r.Offset, 55);
  EXPECT_EQ(P(CurArr->ListHead[1]).SnapPoint, 10);
  EXPECT_EQ(P(ArrPart(CurArr, CurArr->ListHead[1])->Next).SnapPoint, 0);
  EXPECT_EQ(SelBits(0), (std::vector<int>{0, 0}));  // KeepSel off
  ExpectUndoRedo(before);
}

TEST_F(PartCmds, CutAtALocatorTakesOnlyLocatorsStrictlyInsideASelectedPart) {
  struct Case {
    int32_t now, left, right, pointer;
    Spans_ expect;
  } cases[] = {
      {150, 0, 0, 0, {{100, 50}, {150, 50}}},      // the now position
      {0, 130, 0, 0, {{100, 30}, {130, 70}}},      // the left locator
      {0, 0, 170, 0, {{100, 70}, {170, 30}}},      // the right locator
      {120, 180, 0, 175, {{100, 80}, {180, 20}}},  // the one closest to the pointer
      {100, 200, 0, 150, {{100, 100}}},            // at the edges: no candidate, nothing
  };
  for (const Case& c : cases) {
    Reset();
    Add(0, 100, 100, S);
    Locs().NowLoc = c.now;
    Locs().LeftLoc = c.left;
    Locs().RightLoc = c.right;
    ArrCutParts(kTestDc, c.pointer, 10);
    EXPECT_EQ(Spans(0), c.expect) << c.now << " " << c.left << " " << c.right;
    EXPECT_EQ(UndoGetLevel(), c.expect.size() == 2 ? 1u : 0u);
  }
}

// ---- Crop ----

TEST_F(PartCmds, CropRefusalsChangeNothingAndRecordNoStep) {
  struct Case {
    int32_t left, right;
    uint32_t lockedFlags;
    uint32_t message;
  } cases[] = {
      {150, 150, 0, IDS_LOCATORS_NOT_SET},  // L = R
      {500, 600, 0, IDS_LOCATORS_NOT_SET},  // no selected Part in range
      {120, 180, kPartTimelocked, IDS_TIMELOCKED_NO_MOVE},  // a locked Part would be deleted
  };
  for (const Case& c : cases) {
    Reset();
    Add(0, 100, 100, S);
    Add(1, 300, 50, S | c.lockedFlags);
    Locs().LeftLoc = c.left;
    Locs().RightLoc = c.right;
    const auto before = Image();
    EXPECT_EQ(ArrCropParts(kTestDc), 0);
    EXPECT_EQ(BoxIds(), std::vector<uint32_t>{c.message});
    EXPECT_EQ(Image(), before);
    EXPECT_EQ(UndoGetLevel(), 0u);
  }
}

TEST_F(PartCmds, CropTrimsToTheLocatorsAndDeletesWhatLiesOutside) {
  PartRec a = NewPart(100, 100, 1, 3, S);
  a.GainStart = 0;
  a.GainEnd = 32768;
  a.SnapPoint = 40;  // 20 into the cropped Part
  a.Offset = 10;
  const uint32_t sa = Add(0, a);
  Add(0, 400, 50, S);      // wholly outside: deleted
  Add(1, 130, 20, S);      // wholly inside: untouched
  Add(2, 100, 100);        // not selected: untouched
  Locs().LeftLoc = 120;
  Locs().RightLoc = 160;
  const auto before = Image();
  ASSERT_EQ(ArrCropParts(kTestDc), 1);
  EXPECT_EQ(Spans(0), (Spans_{{120, 40}}));
  const PartRec& c = P(CurArr->ListHead[0]);
  EXPECT_EQ(CurArr->ListHead[0], sa);
  EXPECT_EQ(c.Offset, 30);
  EXPECT_EQ(c.GainStart, 6553u);
  EXPECT_EQ(c.GainEnd, 19660u);
  EXPECT_EQ(c.SnapPoint, 20);
  EXPECT_EQ(Spans(1), (Spans_{{130, 20}}));
  EXPECT_EQ(Spans(2), (Spans_{{100, 100}}));
  EXPECT_TRUE(Logged("UpdateScrollRanges()"));
  ExpectUndoRedo(before);
}

// ---- Fades ----

TEST_F(PartCmds, FadesRampOverEachTracksSelectionOrFlattenAnExistingFade) {
  struct Case {
    int op;
    uint32_t clickedStart, clickedEnd;
    uint32_t expect[4];  // start and end gains of the two Parts
  } cases[] = {
      {12, 32768, 32768, {0, 4000, 4000, 8000}},         // fade in to the last end gain
      {13, 32768, 32768, {32768, 16384, 16384, 0}},      // fade out from the first start gain
      {12, 1000, 20000, {20000, 20000, 20000, 20000}},   // a fade removed: the largest gain
  };
  for (const Case& c : cases) {
    Reset();
    PartRec a = NewPart(0, 100, 1, 3, S);
    a.GainStart = c.clickedStart;
    a.GainEnd = c.clickedEnd;
    const uint32_t sa = Add(0, a);
    PartRec b = NewPart(100, 100, 1, 3, S);
    b.GainStart = b.GainEnd = 8000;
    const uint32_t sb = Add(0, b);
    const auto before = Image();
    ASSERT_EQ(ArrFadeParts(static_cast<int32_t>(sa), kTestDc, c.op), 1);
    EXPECT_EQ((std::vector<uint32_t>{P(sa).GainStart, P(sa).GainEnd, P(sb).GainStart, P(sb).GainEnd}),
              (std::vector<uint32_t>(c.expect, c.expect + 4)))
        << c.op;
    ExpectUndoRedo(before);
  }
  // A selected Part that is not Audio: refused.
  Reset();
  const uint32_t sa = Add(0, 0, 100, S);
  Add(1, NewPart(0, 100, 2, 21, S));
  EXPECT_EQ(ArrFadeParts(static_cast<int32_t>(sa), kTestDc, 12), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_AUDIO_PARTS_ONLY});
  EXPECT_EQ(UndoGetLevel(), 0u);
}

// ---- Making neighbours overlap ----

TEST_F(PartCmds, AdjacentCrossfadeIsCentredOnTheGapUnlessATakeEndLimitsIt) {
  const uint32_t take = Take(1000000);
  struct Case {
    int32_t aOffset, aTakeRoom;  // A's Take ends aTakeRoom samples after A's end (-1: long Take)
    int32_t bOffset;
    int32_t x;
    int32_t aEnd, bStart;  // expected
  } cases[] = {
      {0, -1, 5000, 100, 1150, 1050},   // gap 1000..1200 centred on 1100
      {0, -1, 5000, 300, 1250, 950},    // a longer crossfade, still centred
      {0, 0, 5000, 100, 1000, 900},     // A cannot grow: B reaches back to it
  };
  // Each case on its own fixture; the Take of A decides its room.
  for (const Case& c : cases) {
    Reset();
    const uint32_t t = c.aTakeRoom < 0 ? Take(1000000) : Take(1000);
    PartRec a = NewPart(0, 1000, t, 3, S);
    a.Offset = c.aOffset;
    PartRec b = NewPart(1200, 1000, take, 3, S);
    b.Offset = c.bOffset;
    b.SnapPoint = 500;
    const uint32_t sa = Add(0, a);
    uint32_t sb = Add(0, b);
    const int32_t got = ArrMakeAdjXfade(&CurArr, sa, &sb, 0, c.x);
    EXPECT_EQ(got, c.x);
    EXPECT_EQ(arredit::End(P(sa)), c.aEnd) << c.x;
    EXPECT_EQ(P(sb).Start, c.bStart) << c.x;
    EXPECT_EQ(P(sb).Offset, c.bOffset - (1200 - c.bStart));
    EXPECT_EQ(P(sb).SnapPoint, 500 + (1200 - c.bStart));
    EXPECT_EQ(arredit::End(P(sb)), 2200);
  }
  // B's Take start limits it: B may reach back 30 samples, A fills the rest.
  Reset();
  const uint32_t sa = Add(0, NewPart(0, 1000, Take(1000000), 3, S));
  PartRec b = NewPart(1200, 1000, take, 3, S);
  b.Offset = 30;
  uint32_t sb = Add(0, b);
  EXPECT_EQ(ArrMakeAdjXfade(&CurArr, sa, &sb, 0, 100), 100);
  EXPECT_EQ(P(sb).Start, 1170);
  EXPECT_EQ(arredit::End(P(sa)), 1270);
  // Neither can move: fails and changes nothing.
  Reset();
  const uint32_t sc = Add(0, NewPart(0, 1000, Take(1000), 3, S));
  uint32_t sd = Add(0, NewPart(1200, 1000, Take(1000), 3, S));
  const auto before = Image();
  EXPECT_EQ(ArrMakeAdjXfade(&CurArr, sc, &sd, 0, 100), 0);
  EXPECT_EQ(ArrMakeAdjXfade(&CurArr, sc, &sd, 0, 0), 0);
  EXPECT_EQ(Image(), before);
}

TEST_F(PartCmds, LongPartsLoseTheirRampInACrossfade) {
  PartRec a = NewPart(0, 8388608, Take(9000000), 3, S);
  a.GainStart = 1000;
  a.GainEnd = 3000;
  const uint32_t sa = Add(0, a);
  uint32_t sb = Add(0, NewPart(8388608, 1000, Take(9000000), 3, S));
  ASSERT_GT(ArrMakeAdjXfade(&CurArr, sa, &sb, 0, 100), 0);
  EXPECT_EQ(P(sa).GainStart, 3000u);
  EXPECT_EQ(P(sa).GainEnd, 3000u);
}

TEST_F(PartCmds, CrossfadeAtPointerJoinsRunsAndReportsTheLeftovers) {
  XfadeDefaults.Length = 100;
  XfadeDefaults.OutCurve = 3;
  XfadeDefaults.InCurve = 2;
  const uint32_t t = Take(1000000);
  const uint32_t a = Add(0, NewPart(0, 1000, t, 3, S));
  const uint32_t b = Add(0, NewPart(900, 1000, t, 3, S));   // overlaps A already
  PartRec pc = NewPart(2000, 1000, t, 3, S);  // a gap of 100 after B
  pc.Offset = 1000;
  const uint32_t c = Add(0, pc);
  const uint32_t lone = Add(1, NewPart(0, 1000, t, 3, S));  // no neighbour: 265
  const auto before = Image();
  ASSERT_EQ(ArrCrossfadeAtPointer(kTestDc), 1);
  EXPECT_EQ(P(a).XfadeOutPartner, b);
  EXPECT_EQ(P(b).XfadeInPartner, a);
  EXPECT_EQ(P(b).XfadeOutPartner, c);
  EXPECT_EQ(P(c).XfadeInPartner, b);
  EXPECT_EQ(P(a).XfadeOutCurve, 3);
  EXPECT_EQ(P(b).XfadeInCurve, 2);
  // B and C meet over 100 samples centred on the middle of their gap.
  EXPECT_EQ(arredit::End(P(b)), 2000);
  EXPECT_EQ(P(c).Start, 1900);
  EXPECT_EQ(P(lone).XfadeOutPartner, kArrNoLink);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_XFADE_FAILED});
  ExpectUndoRedo(before);
}

// ---- Repeat ----

TEST_F(PartCmds, RepeatPlacesCopiesAfterTheSelectionAndStopsAtTheSlotLimit) {
  PartRec a = NewPart(100, 50, 1, 3, S);
  a.PlayChannel = 0;
  Add(0, a);
  cmdWindow.inputValue = 3;
  const auto before = Image();
  ASSERT_EQ(ArrRepeatParts(kTestDc), 1);
  EXPECT_EQ(Spans(0), (Spans_{{100, 50}, {150, 50}, {200, 50}, {250, 50}}));
  EXPECT_EQ(ArrRepeatCount, 3);
  ExpectUndoRedo(before);

  // A count below 1 repeats once; Cancel does nothing.
  Reset();
  Add(0, a);
  cmdWindow.inputValue = 0;
  ASSERT_EQ(ArrRepeatParts(kTestDc), 1);
  EXPECT_EQ(Spans(0).size(), 2u);
  EXPECT_EQ(ArrRepeatCount, 1);
  cmdWindow.inputResult = 2;
  EXPECT_EQ(ArrRepeatParts(kTestDc), 0);
  cmdWindow.inputResult = 1;

  // Two slots left: two repetitions fit, the third stops with 216, and
  // Undo takes all of them back.
  Reset();
  Add(0, a);
  const uint32_t full = kArrMaxParts - 2;
  ASSERT_EQ(ArrReserveParts(&CurArr, full - CurArr->PartCount, 1, nullptr), 1);
  uint32_t tail = kArrNoSlot;
  for (uint32_t slot = CurArr->PartCount; slot < full; ++slot) {
    CurArr->PartCount = slot + 1;
    PartRec& filler = *ArrPart(CurArr, slot);
    filler = NewPart(1000000 + static_cast<int32_t>(slot) * 10, 5);
    filler.PlayChannel = 0;
    if (tail == kArrNoSlot) CurArr->ListHead[9] = slot;
    else ArrPart(CurArr, tail)->Next = slot;
    tail = slot;
  }
  cmdWindow.inputValue = 3;
  const auto nearFull = Image();
  ASSERT_EQ(ArrRepeatParts(kTestDc), 1);
  EXPECT_EQ(Spans(0).size(), 3u);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_MAX_PARTS_REACHED});
  EXPECT_EQ(KeepSel, 0);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(Image(), nearFull);
}

// ---- Links ----

TEST_F(PartCmds, LinkCommandsLinkOrUnlinkBySelectionAndCountFailures) {
  const uint32_t a = Add(0, 0, 100, S);
  Add(1, 0, 100, S);
  Add(2, 0, 100, S);  // stereo: its partner on track 3 is missing
  const auto before = Image();
  ASSERT_EQ(ArrStereoLinkCmd(static_cast<int32_t>(a), kTestDc), 1);
  EXPECT_TRUE(P(a).Flags & kPartLinkNext);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_STEREO_LINK_FAILED});
  EXPECT_EQ(ArrCheckPartLinks(CurArr, 0, nullptr), 1);
  ExpectUndoRedo(before);

  // Multi-channel on the three, then the same command unlinks them.
  Reset();
  const uint32_t m = Add(0, 0, 100, S);
  Add(1, 0, 100, S);
  Add(2, 0, 100, S);
  KeepSel = 1;
  ASSERT_EQ(ArrMultiLinkCmd(static_cast<int32_t>(m), kTestDc), 1);
  uint32_t head = 0;
  EXPECT_EQ(ArrLinkCount(CurArr, m, 0, &head), 3u);
  EXPECT_TRUE(Host().boxes.empty());
  ASSERT_EQ(ArrMultiLinkCmd(static_cast<int32_t>(m), kTestDc), 1);
  EXPECT_FALSE(PartIsChannelLinked(P(m)));
}

// ---- Play-channel menu ----

TEST_F(PartCmds, PlayChannelMenuShowsTheStoredChannelAndAssignsTheChoice) {
  PartRec p = NewPart(0, 100, 1, 3, S);
  p.PlayChannel = 200;  // muted channel 8
  const uint32_t s = Add(0, p);
  cmdWindow.menuPicks = {4};
  ASSERT_EQ(ArrIoAssignMenu(nullptr, kTestDc, 0, 0, static_cast<int32_t>(s), 1), 1);
  EXPECT_TRUE(Services().Joined().find("*Track 8") != std::string::npos);
  EXPECT_EQ(P(s).PlayChannel, 5);
  // Channel 150 lies beyond the menu: nothing is checked.
  P(s).PlayChannel = 150;
  P(s).Flags |= S;
  Services().Reset();
  EXPECT_EQ(ArrIoAssignMenu(nullptr, kTestDc, 0, 0, static_cast<int32_t>(s), 1), 0);
  EXPECT_EQ(Services().Joined().find("*"), std::string::npos);
  EXPECT_EQ(P(s).PlayChannel, 150);
  // Mixed kinds: refused.
  Add(1, NewPart(0, 100, 2, 21, S));
  EXPECT_EQ(ArrIoAssignMenu(nullptr, kTestDc, 0, 0, static_cast<int32_t>(s), 1), 0);
  EXPECT_EQ(BoxIds().back(), IDS_EQUAL_TAKE_TYPES_ONLY);
}

TEST_F(PartCmds, PlayChannelMenuStandsInColumnsWithTheCurrentEntryUnderThePointer) {
  struct Case {
    int32_t count, current, x, y;
    ArrMenuPlacement expect;
  } cases[] = {
      // One column: centred on the pointer, the entry's middle on it.
      {32, 0, 500, 300, {500, 300 - 8, 1}},
      {32, 5, 500, 300, {500, 300 - 8 - 5 * 17, 1}},
      // Four columns: entry 70 is row 6 of column 2.
      {128, 69, 500, 300, {500 + 3 * 42 - 2 * 84, 300 - 8 - 5 * 17, 4}},
      {128, 127, 500, 300, {500 + 3 * 42 - 3 * 84, 0, 4}},  // clamped to the top
      // No current entry: as the first.
      {128, -1, 500, 300, {500 + 3 * 42, 300 - 8, 4}},
      // Low on the screen: the whole column stays on it.
      {128, 0, 500, 1000, {500 + 3 * 42, 1024 - 32 * 17 - 6, 4}},
  };
  for (const Case& c : cases) {
    const ArrMenuPlacement p = ArrMenuPlace(c.count, c.current, c.x, c.y, 17, 1024);
    EXPECT_EQ(p.X, c.expect.X) << c.current;
    EXPECT_EQ(p.Y, c.expect.Y) << c.current;
    EXPECT_EQ(p.Columns, c.expect.Columns) << c.current;
  }
  EXPECT_FALSE(ArrMenuColumnBreak(0));
  EXPECT_FALSE(ArrMenuColumnBreak(31));
  EXPECT_TRUE(ArrMenuColumnBreak(32));
  EXPECT_TRUE(ArrMenuColumnBreak(96));
}

// ---- Crossfade display levels ----

TEST_F(PartCmds, QuantisedDisplayValuesKeepTheirSign) {
  // Four levels, shift 4: thresholds 128, 2048, 65535.
  int16_t v[] = {0, 128, 129, -128, -2048, 2049, -32768, 32767};
  XfdQuantise(4, 4, 4, v);
  EXPECT_EQ((std::vector<int16_t>(v, v + 8)), (std::vector<int16_t>{0, 0, 1, 0, -1, 2, -2, 2}));
  // Five levels, shift 8: thresholds 0, 0, 128, 65535; shifts past the
  // value's width give 0, not undefined shifts.
  int16_t w[] = {0, 1, -1, 300};
  XfdQuantise(2, 5, 8, w);
  EXPECT_EQ((std::vector<int16_t>(w, w + 4)), (std::vector<int16_t>{0, 2, -2, 3}));
  // Indices beyond a 16-bit value are not stored wrapped.
  int16_t big[] = {-32768, 32767};
  XfdQuantise(1, 100000, 1, big);
  EXPECT_EQ(big[0], -32767);
  EXPECT_EQ(big[1], 32767);
  // Fewer than two levels: no thresholds, nothing changes.
  int16_t u[] = {5, -5};
  XfdQuantise(1, 1, 4, u);
  EXPECT_EQ(u[0], 5);
}

// ---- Drag records ----

TEST_F(PartCmds, DragRecordsHoldTheirWords) {
  ArrView().Hzoom = 10;
  ArrView().Origin = 44100;  // position p at x = p / 10
  ArrView().Vzoom = 13;
  ArrView().TopHeight = 16;
  const uint32_t t = Take(10000);
  PartRec a = NewPart(1000, 500, t, 3, S);
  a.SnapPoint = 100;
  a.Offset = 300;  // room to the left 300; to the right 10000 - 300 - 500
  const uint32_t sa = Add(2, a);
  PartRec b = NewPart(1200, 1000, t, 3, S);
  b.Offset = 8000;  // room to the right 1000
  const uint32_t sb = Add(3, b);
  Add(4, 0, 100);  // not selected
  std::unique_ptr<ArrMoveDragRec> m(ArrBeginMoveCopy(kTestDc, 150, 70, 7, 1, 1, nullptr, 0));
  ASSERT_NE(m, nullptr);
  const std::vector<int32_t> expect = {
      1, 0, 2, 150 - 100, 70 - 47, 7, 1, 1200, 100, 0,  // header
      static_cast<int32_t>(sa), 0, 0, 50, 14,                        // A: x 100..150, row 2
      static_cast<int32_t>(sb), 20, 15, 120, 29};                   // B: x 120..220, row 3
  EXPECT_EQ(m->Words, expect);
  EXPECT_TRUE(Logged("DrawMoveOutline(2)"));

  std::unique_ptr<ArrSlipDragRec> s(ArrBeginSlip(kTestDc, 130, 40));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ((std::vector<int32_t>(s->Words.begin(), s->Words.begin() + 5)),
            (std::vector<int32_t>{2, 130, 40, 490, 300}));
  EXPECT_EQ(s->Words[6], 100 - 130);

  ArrClearSelection(CurArr, nullptr, 0);
  EXPECT_EQ(ArrBeginMoveCopy(kTestDc, 0, 0, 3, 0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(ArrBeginSlip(kTestDc, 0, 0), nullptr);
}

// ---- The dispatcher reaches the commands through the seam ----

TEST_F(PartCmds, TheRoutinesSeamCallsTheCommands) {
  ArrPartEditRoutines r;
  ArrSetEditSeams(&cmdWindow, &r);
  Add(0, 100, 100, S);
  EXPECT_EQ(ArrEditRtn().CutParts(kTestDc, 150, 9), 1);
  EXPECT_EQ(Spans(0).size(), 2u);
}

int g_paramAsked = 0;
int g_pickAsked = 0;
int ParamDialogOk() {
  ++g_paramAsked;
  return kIdOk;
}

// The processing tools go from the dispatcher to their routines: a Midi
// Part in the selection is refused by each with its own message, the
// parameter dialogs are asked only where installed, and mixdown offers its
// routing menu when clicked between the locators.
TEST_F(PartCmds, TheProcessingToolsReachTheirRoutines) {
  ArrPartEditRoutines r;
  ArrSetEditSeams(&cmdWindow, &r);
  struct Case {
    int op;
    bool dialogs;
    std::vector<uint32_t> boxes;
    int asked;
  } cases[] = {
      {25, false, {321}, 0}, {31, false, {321}, 0}, {47, false, {321}, 0}, {40, true, {322}, 0},
      {40, false, {}, 0},    {30, true, {321}, 1},  {30, false, {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    Reset();
    ArrSetEditSeams(&cmdWindow, &r);
    g_paramAsked = 0;
    ProcParamDialogs d;
    if (c.dialogs) d.noiseGate = d.reduceEvents = ParamDialogOk;
    ProcSetParamDialogs(d);
    P(Add(0, 100, 100, S)).TakeKind = kTakeMidi;
    ArrChildCommand(c.op, nullptr, kTransportStopped, kTestDc, 0, 0, 0, 0, 0, 150, 1, ArrInput());
    EXPECT_EQ(BoxIds(), c.boxes);
    EXPECT_EQ(g_paramAsked, c.asked);
  }
  ProcSetParamDialogs(ProcParamDialogs());

  Reset();
  ArrSetEditSeams(&cmdWindow, &r);
  MixdownSeams m;
  m.pickOutput = [](int32_t*) {
    ++g_pickAsked;
    return int32_t{-1};
  };
  MixdownSetSeams(m);
  const uint32_t sel = Add(0, 100, 100, S);
  Locs().LeftLoc = 0;
  Locs().RightLoc = EndOfTime;
  ArrChildCommand(kToolMixdown, nullptr, kTransportStopped, kTestDc, 0, 0, -1, kZoneNone, 0, 0, 1, ArrInput());
  EXPECT_EQ(g_pickAsked, 1);
  EXPECT_EQ(P(sel).Flags & kPartSelected, 0u);  // mixdown starts by clearing the selection
  MixdownSetSeams(MixdownSeams());
}

}  // namespace
