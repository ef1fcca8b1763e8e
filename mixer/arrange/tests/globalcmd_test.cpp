// The arrangement-wide commands: global cuts between the locators, moving
// and copying to the left locator, the selection and locator commands and
// flattening.
#include "edit_fixture.h"
#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/globalcmd.h"
#include "mixer/model/tempomap.h"
#include "mixer/arrange/partedit.h"
#include "mixer/model/util/strtab.h"

namespace {

constexpr uint32_t S = kPartSelected;
using Spans_ = std::vector<std::pair<int32_t, int32_t>>;

class GlobalCmd : public EditFixture {
 protected:
  void SetLocs(int32_t l, int32_t r, int32_t now = 0) {
    Locs().LeftLoc = l;
    Locs().RightLoc = r;
    Locs().NowLoc = now;
  }
  // Answers that choose every track and go ahead.
  static ArrGlobalAnswers All() {
    ArrGlobalAnswers a;
    std::fill(std::begin(a.Tracks), std::end(a.Tracks), 1);
    a.Proceed = 1;
    a.ReBin = 0;
    return a;
  }
  std::vector<uint32_t> Selected() const {
    std::vector<uint32_t> sel;
    ArrForEachPart(CurArr, [&](uint32_t, uint32_t slot, const PartRec& p) {
      if (p.Flags & S) sel.push_back(slot);
    });
    return sel;
  }
  // Undo brings back exactly `before`; Redo exactly `after`.
  void ExpectUndoRedo(const std::vector<uint8_t>& before) {
    const auto after = Image();
    ASSERT_EQ(UndoApply(1), 1);
    EXPECT_EQ(Image(), before);
    ASSERT_EQ(RedoApply(), 1);
    EXPECT_EQ(Image(), after);
  }
};

// ---- Global cuts ----

TEST_F(GlobalCmd, CutAndSelectCutsAtBothLocatorsAndSelectsBetween) {
  SetLocs(50, 150);
  Add(0, 0, 100);
  Add(0, 60, 20);
  Add(0, 90, 110);
  Add(0, 300, 100);
  Add(1, 0, 300);
  Add(2, 50, 100);  // exactly [L, R]: selected whole
  const auto before = Image();
  KeepSel = 1;
  ASSERT_EQ(ArrGlobalCutAndSelect(), 1);
  EXPECT_EQ(Spans(0), (Spans_{{0, 50}, {50, 50}, {60, 20}, {90, 60}, {150, 50}, {300, 100}}));
  EXPECT_EQ(SelBits(0), (std::vector<int>{0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(Spans(1), (Spans_{{0, 50}, {50, 100}, {150, 150}}));
  EXPECT_EQ(SelBits(1), (std::vector<int>{0, 1, 0}));
  EXPECT_EQ(Spans(2), (Spans_{{50, 100}}));
  EXPECT_EQ(SelBits(2), (std::vector<int>{1}));
  EXPECT_TRUE(Host().boxes.empty());  // no selection: no tracks question
  EXPECT_EQ(PlayRebuilds(), 1);
  ExpectUndoRedo(before);
}

TEST_F(GlobalCmd, CutAndSelectWithEqualLocatorsCutsOnceAndSelectsNothing) {
  SetLocs(50, 50);
  Add(0, 0, 100);
  ASSERT_EQ(ArrGlobalCutAndSelect(), 1);
  EXPECT_EQ(Spans(0), (Spans_{{0, 50}, {50, 50}}));
  EXPECT_TRUE(Selected().empty());
  SetLocs(60, 50);
  EXPECT_EQ(ArrGlobalCutAndSelect(), 0);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

TEST_F(GlobalCmd, CutPiecesMeetAtTheGainAndKeepTheirSnapPoints) {
  SetLocs(0, 0, 50);
  PartRec p = NewPart(0, 100);
  p.GainStart = 0;
  p.GainEnd = 32768;
  p.SnapPoint = 70;
  p.Offset = 1000;
  uint32_t left = Add(0, p);
  ASSERT_EQ(ArrGlobalCutAtNowLocApply(All()), 1);
  const uint32_t right = CurArr->ListHead[0] == left ? P(left).Next : CurArr->ListHead[0];
  EXPECT_EQ(P(left).Length, 50);
  EXPECT_EQ(P(left).GainEnd, 16384u);
  EXPECT_EQ(P(left).SnapPoint, 0);
  EXPECT_EQ(P(right).Start, 50);
  EXPECT_EQ(P(right).Offset, 1050);
  EXPECT_EQ(P(right).GainStart, 16384u);
  EXPECT_EQ(P(right).SnapPoint, 20);
  EXPECT_TRUE(Selected().empty());
}

TEST_F(GlobalCmd, ChosenTracksLimitTheCut) {
  SetLocs(0, 0, 50);
  Add(0, NewPart(0, 100, 1, 3, S));
  Add(1, 0, 100);
  Answer({kIdYes});  // only tracks with selected Parts
  ASSERT_EQ(ArrGlobalCutAtNowLoc(), 1);
  EXPECT_EQ(Spans(0).size(), 2u);
  EXPECT_EQ(Spans(1).size(), 1u);
  EXPECT_EQ(Host().boxes.size(), 1u);
}

TEST_F(GlobalCmd, CutAndInsertOpensTheRangeAndMovesMarkers) {
  SetLocs(50, 80);
  Add(0, 0, 100);
  Add(0, 200, 100);
  Add(1, 10, 20);  // before L: stays
  MrkRec m{};
  m.Position = 60;
  ASSERT_EQ(MrkInsert(&CurMrkList, m, 1, nullptr), 1);
  const auto before = Image();
  ASSERT_EQ(ArrGlobalCutAndInsert(), 1);
  EXPECT_EQ(Spans(0), (Spans_{{0, 50}, {80, 50}, {230, 100}}));
  EXPECT_EQ(Spans(1), (Spans_{{10, 20}}));
  EXPECT_EQ(MrkGetLoc(CurMrkList, 1), 90);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(MrkGetLoc(CurMrkList, 1), 60);
}

TEST_F(GlobalCmd, TimelockedPartsAskBeforeTheyMove) {
  SetLocs(50, 80);
  Add(0, 200, 100, kPartTimelocked);
  const auto before = Image();
  Answer({kIdNo});
  EXPECT_EQ(ArrGlobalCutAndInsert(), 0);
  Answer({kIdNo});
  EXPECT_EQ(ArrGlobalCutAndDelete(), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{IDS_ASK_MOVE_TIMELOCKED, IDS_ASK_MOVE_TIMELOCKED}));
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
}

TEST_F(GlobalCmd, CutAndDeleteRemovesTheRangeAndClosesTheGap) {
  SetLocs(100, 200);
  PartRec span = NewPart(0, 300);
  span.Offset = 5000;
  span.SnapPoint = 250;
  Add(0, span);
  Add(1, 120, 30);  // within: goes
  Add(2, 50, 100);  // ends within: shortened
  PartRec late = NewPart(150, 100);
  late.Offset = 10;
  Add(3, late);     // starts within: begins at R, then moves to L
  Add(4, 400, 100); // after: moves back
  MrkRec m{};
  m.Position = 150;
  ASSERT_EQ(MrkInsert(&CurMrkList, m, 1, nullptr), 1);
  m.Position = 250;
  ASSERT_EQ(MrkInsert(&CurMrkList, m, 2, nullptr), 1);
  const auto before = Image();
  ASSERT_EQ(ArrGlobalCutAndDelete(), 1);
  EXPECT_EQ(Spans(0), (Spans_{{0, 100}, {100, 100}}));
  const PartRec& tail = P(P(CurArr->ListHead[0]).Next);
  EXPECT_EQ(tail.Offset, 5200);
  EXPECT_EQ(tail.SnapPoint, 50);
  EXPECT_TRUE(Spans(1).empty());
  EXPECT_EQ(Spans(2), (Spans_{{50, 50}}));
  EXPECT_EQ(Spans(3), (Spans_{{100, 50}}));
  EXPECT_EQ(P(CurArr->ListHead[3]).Offset, 60);
  EXPECT_EQ(Spans(4), (Spans_{{300, 100}}));
  EXPECT_FALSE(MrkIsValid(CurMrkList, 1));
  EXPECT_EQ(MrkGetLoc(CurMrkList, 2), 150);
  ExpectUndoRedo(before);
}

TEST_F(GlobalCmd, CutAndDeleteAsksAboutTakesOnlyTheRangeUses) {
  SetLocs(100, 200);
  Add(0, NewPart(120, 10, 7));
  Add(0, NewPart(300, 10, 8));
  Answer({kIdNo});
  ASSERT_EQ(ArrGlobalCutAndDelete(), 1);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_ASK_DELETE_UNREF_TAKES});
  Host().Reset();
  Add(0, NewPart(120, 10, 8));
  ASSERT_EQ(ArrGlobalCutAndDelete(), 1);
  EXPECT_TRUE(Host().boxes.empty());  // Take 8 is used on after the range
}

TEST_F(GlobalCmd, CutAndDeleteRefusesNearThePartLimitBeforeAnyChange) {
  // Two Parts spanning the range need two new slots; the two Parts inside
  // it free two, but only after the first new piece is placed. One slot is
  // free: the command refuses up front.
  SetLocs(100, 200);
  Add(0, 0, 300);
  Add(0, 1000, 300);  // not spanning
  Add(5, 0, 300);
  Add(1, 120, 10);
  Add(1, 130, 10);
  // The rest of the slots straight into the block, one list per track
  // from 10 on (inserting one by one would search for free slots each time).
  const uint32_t full = kArrMaxParts - 1;
  ASSERT_EQ(ArrReserveParts(&CurArr, full - CurArr->PartCount, 1, nullptr), 1);
  uint32_t tail[kArrTracks];
  std::fill(std::begin(tail), std::end(tail), kArrNoSlot);
  for (uint32_t slot = CurArr->PartCount; slot < full; ++slot) {
    const uint32_t t = 10 + slot % 200;
    CurArr->PartCount = slot + 1;
    PartRec& filler = *ArrPart(CurArr, slot);
    filler = NewPart(1000000 + static_cast<int32_t>(slot) * 10, 5);
    filler.PlayChannel = 0;  // keeps the automatic muting of the moved Parts short
    if (tail[t] == kArrNoSlot)
      CurArr->ListHead[t] = slot;
    else
      ArrPart(CurArr, tail[t])->Next = slot;
    tail[t] = slot;
  }
  const auto before = Image();
  EXPECT_EQ(ArrGlobalCutAndDeleteApply(All()), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_MAX_PARTS_REACHED});
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
  // With one Part fewer the command has its room.
  ArrUnlinkPart(CurArr, CurArr->ListHead[10], 10);
  EXPECT_EQ(ArrGlobalCutAndDeleteApply(All()), 1);
}

// ---- Move or copy to the left locator ----

TEST_F(GlobalCmd, MoveAndCopyToTheLeftLocatorAlignTheEarliestSnapPosition) {
  SetLocs(1000, 2000);
  PartRec a = NewPart(100, 50, 1, 3, S);
  a.SnapPoint = 20;  // snap position 120
  Add(0, a);
  Add(1, NewPart(130, 50, 1, 3, S));
  ASSERT_EQ(ArrMoveCopySelToLeftLoc(1), 1);
  EXPECT_EQ(Spans(0), (Spans_{{100, 50}, {980, 50}}));
  EXPECT_EQ(Spans(1), (Spans_{{130, 50}, {1010, 50}}));
  EXPECT_TRUE(Selected().empty());  // KeepSel off

  EXPECT_EQ(ArrMoveCopySelToLeftLoc(0), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_SELECT_PART_FIRST});
  EXPECT_EQ(UndoGetLevel(), 1u);
}

TEST_F(GlobalCmd, FailedMoveUndoesItsStep) {
  SetLocs(0, 100);
  PartRec a = NewPart(100, 50, 1, 3, S);
  a.SnapPoint = 40;
  Add(0, a);
  Add(1, NewPart(110, 50, 1, 3, S));  // the first Part would start at -10
  const auto before = Image();
  EXPECT_EQ(ArrMoveCopySelToLeftLoc(0), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_PARTS_OUT_OF_RANGE});
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_FALSE(UndoHasRedo());
}

// ---- Selection and locators ----

TEST_F(GlobalCmd, SelectionCommandsChooseTheirParts) {
  // 0: [0,100) take 1 ch 1 selected; 1: [200,300) take 2 ch 1;
  // 2 (track 1): [50,60) take 1 ch 0 timelocked; 3 (track 2): [400,500) take 3 ch 200;
  // 4, 5 (tracks 3, 4): a linked pair [0,10) ch 5.
  auto fixture = [&]() {
    Reset();
    SetLocs(250, 450);
    Add(0, NewPart(0, 100, 1, 3, S));
    Add(0, NewPart(200, 100, 2));
    PartRec c = NewPart(50, 10, 1, 3, kPartTimelocked);
    c.PlayChannel = 0;
    Add(1, c);
    PartRec d = NewPart(400, 100, 3);
    d.PlayChannel = 200;
    Add(2, d);
    PartRec e = NewPart(0, 10, 4, 3, kPartLinkNext);
    e.PlayChannel = 5;
    Add(3, e);
    e.Flags = kPartLinkPrev;
    Add(4, e);
  };
  struct Case {
    const char* name;
    int (*cmd)();
    std::vector<uint32_t> selected;
  } cases[] = {
      {"all", ArrSelectAllParts, {0, 1, 2, 3, 4, 5}},
      {"invert", ArrInvertPartSelection, {1, 2, 3, 4, 5}},
      {"from first", ArrSelectPartsFromFirstSel, {0, 1, 2, 3, 4, 5}},
      {"same take", ArrSelectPartsOfSameTake, {0, 2}},
      {"same channel", ArrSelectPartsOfSamePlayChan, {0, 1}},
      {"on selected tracks", ArrSelectPartsOnSelTrks, {0, 1}},
      {"without channel", ArrSelectPartsWithoutPlayChan, {2, 3}},
      {"timelocked", ArrSelectTimelockedParts, {2}},
      {"locator range", ArrSelectPartsInLocRange, {1, 3}},
      {"after left", ArrSelectPartsAfterLeftLoc, {1, 3}},
      {"deselect", ArrDeselectAllCmd, {}},
  };
  for (const Case& c : cases) {
    fixture();
    Answer({kIdNo});  // chosen-track commands: all tracks
    c.cmd();
    EXPECT_EQ(Selected(), c.selected) << c.name;
    EXPECT_EQ(UndoGetLevel(), 0u);
  }
  // Groups: a selected member selects its partner.
  fixture();
  P(4).PlayChannel = 0;
  Answer({kIdNo});
  ArrSelectPartsWithoutPlayChan();
  EXPECT_EQ(Selected(), (std::vector<uint32_t>{2, 3, 4, 5}));
}

TEST_F(GlobalCmd, LocatorsFollowTheSelection) {
  Add(0, NewPart(100, 50, 1, 3, S));
  Add(1, NewPart(300, 20, 1, 3, S));
  Add(2, NewPart(10, 20));
  ASSERT_EQ(ArrSetLocsToSelection(), 1);
  EXPECT_EQ(Locs().LeftLoc, 100);
  EXPECT_EQ(Locs().RightLoc, 320);
  ASSERT_EQ(ArrSetLeftLocToSelEnd(), 1);
  EXPECT_EQ(Locs().LeftLoc, 320);
  Locs().RightLoc = 0;
  ASSERT_EQ(ArrSetRightLocToSelStart(), 1);
  EXPECT_EQ(Locs().RightLoc, 100);
  ArrDeselectAllCmd();
  EXPECT_EQ(ArrSetLocsToSelection(), 0);
}

// ---- Flatten ----

TEST_F(GlobalCmd, FlattenNeedsOverlapsAndAsksAboutCrossfades) {
  Add(0, 0, 100);
  EXPECT_EQ(ArrFlatten(), 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{IDS_NO_OVERLAPS});
  EXPECT_EQ(UndoGetLevel(), 0u);

  Host().Reset();
  PartRec top = NewPart(50, 100, 1, 3, S);
  top.Layer = 1;
  uint32_t t = Add(0, top);
  ArrRelinkOverlaps(CurArr);
  P(t).XfadeInPartner = static_cast<uint16_t>(CurArr->ListHead[0]);
  P(CurArr->ListHead[0]).XfadeOutPartner = static_cast<uint16_t>(t);
  const bool xfades = ArrHasXfades(CurArr, 0) != 0;
  const auto before = Image();
  if (xfades) {
    Answer({kIdNo});
    EXPECT_EQ(ArrFlatten(), 0);
    EXPECT_EQ(Image(), before);
    Answer({kIdYes});
  }
  ASSERT_EQ(ArrFlatten(), 1);
  EXPECT_EQ(Spans(0), (Spans_{{0, 50}, {50, 100}}));
  EXPECT_EQ(ArrHasOverlaps(CurArr, 0), 0);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(Image(), before);
}

}  // namespace

namespace {

TEST_F(GlobalCmd, RetimeRunsOnlyAfterATempoChangeAndSelectsTheMidiPartsItMoves) {
  uint32_t audio = Add(0, NewPart(0, 100, 1, 3, S));
  // Unchanged map and tempo: nothing, the selection stays.
  ArrPrevTempo = {TempoMap, Settings().Tempo, Settings().SampleRate};
  EXPECT_EQ(ArrRetimeMidiParts(&CurArr), 0);
  EXPECT_NE(P(audio).Flags & S, 0u);
  // Another tempo without tempo-following Midi Parts: the selection is
  // emptied and nothing moves.
  ArrPrevTempo = {TempoMap, Settings().Tempo / 2, Settings().SampleRate};
  EXPECT_EQ(ArrRetimeMidiParts(&CurArr), 0);
  EXPECT_EQ(P(audio).Flags & S, 0u);
  EXPECT_EQ(Spans(0), (Spans_{{0, 100}}));
  EXPECT_EQ(UndoGetLevel(), 0u);
  ArrPrevTempo = {nullptr, 0, 0};
}

}  // namespace
