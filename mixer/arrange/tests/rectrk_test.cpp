// The track column's record-track model: link groups, selection by record
// track, loop stacks and the drop of dragged assignments.
#include <vector>

#include "mixer/arrange/rectrk.h"
#include "mixer/model/take.h"
#include "mixer/model/tests/arr_fixture.h"

namespace {

class RecTrkTest : public ArrTest {
 protected:
  // "A3 A4" style picture of tracks from..to-1: number, kind letter, link
  // marks ('>' linked down, '<' linked up), '*' selected; "-" unassigned.
  std::string Picture(uint32_t from, uint32_t to) const {
    std::string s;
    for (uint32_t t = from; t < to; ++t) {
      const TrkRec& r = arr->Trk[t];
      if (!s.empty()) s += ' ';
      if (r.RecTrack == 0) {
        s += '-';
      } else {
        s += r.RecKind == kTakeAudio ? 'A' : r.RecKind == kTakeAutom ? 'C' : 'M';
        s += std::to_string(r.RecTrack);
        if (r.Flags & kTrkLinkPrev) s += '<';
        if (r.Flags & kTrkLinkNext) s += '>';
      }
      if (r.Flags & kTrkSelected) s += '*';
    }
    return s;
  }
};

TEST_F(RecTrkTest, GroupWalksAndLookUps) {
  ASSERT_EQ(ArrTrkAssignGroup(arr, 4, kTakeAudio, 3, 4), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 9, kTakeAutom, 3, 1), 0u);
  struct Case {
    uint32_t track;
    int head;
    uint32_t groupHead;
    int32_t next;
  } const cases[] = {{4, 1, 4, 5}, {5, 0, 4, 6}, {7, 0, 4, -1}, {8, 1, 8, -1}, {9, 1, 9, -1}, {255, 1, 255, -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(ArrTrkIsGroupHead(arr, c.track), c.head) << c.track;
    EXPECT_EQ(ArrTrkGroupHead(arr, c.track), c.groupHead) << c.track;
    EXPECT_EQ(ArrTrkGroupNext(arr, c.track), c.next) << c.track;
  }
  uint32_t kind = 0;
  EXPECT_EQ(ArrTrkGetRecTrk(arr, 6, &kind), 5u);
  EXPECT_EQ(kind, uint32_t{kTakeAudio});
  EXPECT_EQ(ArrTrkGetRecTrk(arr, 300, &kind), 0u);
  EXPECT_EQ(kind, 0u);
  uint32_t last = 0;
  EXPECT_EQ(ArrFindRecTrkGroup(arr, kTakeAudio, 5, &last), 6);
  EXPECT_EQ(last, 7u);
  EXPECT_EQ(ArrFindRecTrkGroup(arr, kTakeAutom, 3, &last), 9);
  EXPECT_EQ(last, 9u);
  EXPECT_EQ(ArrFindRecTrkGroup(arr, kTakeMidi, 3, &last), -1);
  // Number 0 counts 1, and so does a record track nobody carries.
  EXPECT_EQ(ArrCountRecTrks(arr, kTakeAudio, 0), 1u);
  EXPECT_EQ(ArrCountRecTrks(arr, kTakeAudio, 90), 1u);
  EXPECT_EQ(ArrTrkSetLoopStack(arr, 9, 3), 0u);
  EXPECT_EQ(ArrCountRecTrks(arr, kTakeAutom, 3), 3u);
}

TEST_F(RecTrkTest, SelectionTakesEveryGroupOfTheRecordTrack) {
  ASSERT_EQ(ArrTrkAssignGroup(arr, 2, kTakeAudio, 1, 2), 0u);
  ASSERT_EQ(ArrTrkSetLoopStack(arr, 2, 2), 0u);  // A1-A2 on 2-3 and 4-5
  ASSERT_EQ(ArrTrkAssignGroup(arr, 7, kTakeAudio, 9, 1), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 10, kTakeAutom, 1, 1), 0u);
  ArrTrkSelect(arr, 3, 1);
  EXPECT_EQ(Picture(1, 11), "- A1>* A2<* A1>* A2<* - A9 - - C1");
  ArrTrkSelect(arr, 4, 2);  // toggled off by the state of track 4
  EXPECT_EQ(Picture(1, 11), "- A1> A2< A1> A2< - A9 - - C1");
  ArrTrkSelect(arr, 8, 2);  // a track without a record track: just itself
  EXPECT_EQ(Picture(7, 9), "A9 -*");
  ArrTrkDeselectAll(arr);
  // A range from A9 up to A1-A2: every track with a record track between.
  ArrTrkSelect(arr, 7, 1);
  ArrTrkSelectRange(arr, 2);
  EXPECT_EQ(Picture(1, 11), "- A1>* A2<* A1>* A2<* - A9* - - C1");
  ArrTrkSelectRange(arr, 10);
  EXPECT_EQ(Picture(9, 11), "- C1*");
}

TEST_F(RecTrkTest, LoopStacksGrowShrinkAndRefuseTheEnd) {
  ASSERT_EQ(ArrTrkAssignGroup(arr, 0, kTakeAudio, 5, 2), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 5, kTakeAudio, 20, 1), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 9, kTakeAudio, 6, 1), 0u);  // takes A6 from the pair
  ASSERT_EQ(ArrTrkAssignGroup(arr, 0, kTakeAudio, 5, 2), 0u);  // and back
  EXPECT_EQ(ArrTrkLoopStackDepth(arr, 1), 1u);
  EXPECT_EQ(ArrTrkLoopStackDepth(arr, 3), 0u);
  // Three deep from a lower copy's track: A20 on track 5 is covered.
  ASSERT_EQ(ArrTrkSetLoopStack(arr, 1, 3), 0u);
  EXPECT_EQ(Picture(0, 8), "A5> A6< A5> A6< A5> A6< - -");
  EXPECT_EQ(ArrTrkLoopStackDepth(arr, 4), 3u);
  EXPECT_EQ(ArrCountRecTrks(arr, kTakeAudio, 6), 3u);
  ASSERT_EQ(ArrTrkSetLoopStack(arr, 5, 1), 0u);
  EXPECT_EQ(Picture(0, 4), "A5> A6< - -");
  // A stack that would pass track 255 changes nothing.
  ASSERT_EQ(ArrTrkAssignGroup(arr, 250, kTakeAudio, 30, 2), 0u);
  EXPECT_EQ(ArrTrkSetLoopStack(arr, 250, 4), 185u);
  EXPECT_EQ(ArrTrkLoopStackDepth(arr, 250), 1u);
  EXPECT_EQ(ArrTrkSetLoopStack(arr, 250, 3), 0u);
  EXPECT_EQ(Picture(250, 256), "A30> A31< A30> A31< A30> A31<");
  EXPECT_EQ(ArrTrkSetLoopStack(arr, 0, 0), 185u);
  EXPECT_EQ(ArrTrkSetLoopStack(arr, 0, 10), 185u);
  // A copy with a broken link is no longer part of the stack.
  arr->Trk[253].Flags &= ~kTrkLinkPrev;
  EXPECT_EQ(ArrTrkCheckLinks(arr), 1u);
  EXPECT_EQ(Picture(250, 256), "A30> A31< - A31 A30> A31<");
  EXPECT_EQ(ArrTrkLoopStackDepth(arr, 250), 1u);
}

TEST_F(RecTrkTest, DropMovesTheSelectedAssignments) {
  ASSERT_EQ(ArrTrkAssignGroup(arr, 2, kTakeAudio, 1, 2), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 4, kTakeMidi, 7, 1), 0u);
  ASSERT_EQ(ArrTrkAssignGroup(arr, 6, kTakeAudio, 3, 2), 0u);
  ArrTrkSelect(arr, 2, 1);
  ArrTrkSelect(arr, 4, 1);
  std::vector<ArrTrkDragItem> items(kArrTracks);
  const uint32_t n = ArrTrkDragCollect(arr, items.data());
  ASSERT_EQ(n, 3u);
  EXPECT_EQ(items[2].Kind, uint32_t{kTakeMidi});
  // Two rows down: the pair lands on 4-5, the Midi track on 6, and the
  // pair A3-A4 that stood on 6-7 goes away whole.
  ASSERT_EQ(ArrTrkDrop(arr, items.data(), n, 2), 0u);
  EXPECT_EQ(Picture(1, 9), "- - - A1>* A2<* M7* - -");
  // Out of range: nothing changes.
  const std::string before = Picture(0, 256);
  EXPECT_EQ(ArrTrkDrop(arr, items.data(), n, 252), 185u);
  EXPECT_EQ(ArrTrkDrop(arr, items.data(), n, -3), 185u);
  EXPECT_EQ(Picture(0, 256), before);
  EXPECT_EQ(ArrTrkDrop(arr, items.data(), 0, 1), 0u);
  EXPECT_EQ(Picture(0, 256), before);
}

TEST_F(RecTrkTest, DropOffsetRoundsToTheNearestRowAndClamps) {
  struct Case {
    uint32_t first;
    int32_t dy, pitch, offset;
  } const cases[] = {
      {10, 0, 15, 0},    {10, 7, 15, 0},     {10, 8, 15, 1},     {10, 22, 15, 1},  {10, 23, 15, 2},
      {10, -7, 15, 0},   {10, -8, 15, -1},   {10, -500, 15, -10}, {250, 300, 15, 5}, {0, -20, 15, 0},
      {10, 100, 0, 0},   {300, 15, 15, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ArrTrkDropOffset(c.first, c.dy, c.pitch), c.offset) << c.first << " " << c.dy;
}

}  // namespace
