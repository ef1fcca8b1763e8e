#include "mixer/model/marker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/blockheap.h"
#include "mixer/model/mrkdir.h"
#include "mixer/model/settings.h"
#include "mixer/model/timecode.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::vector<uint32_t> Chain(const MrkList* list) {
  std::vector<uint32_t> numbers;
  MrkForEach(list, [&](uint32_t n, const MrkRec&) { numbers.push_back(n); });
  return numbers;
}

MrkRec At(int32_t position, const char* name = "") {
  MrkRec rec{};
  rec.Position = position;
  std::strncpy(rec.Name, name, sizeof rec.Name - 1);
  return rec;
}

class MarkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Services().Reset();
    Host().Reset();
    Locs() = Locators{};
    uint32_t error = 0;
    CurMrkList = MrkListNew(&error);
    ASSERT_NE(CurMrkList, nullptr);
    ASSERT_EQ(error, 0u);
  }
  void TearDown() override {
    MrkHeap.Free(CurMrkList);
    CurMrkList = nullptr;
  }

  // Adds markers as (number, position) pairs, in the order given.
  void Add(std::initializer_list<std::pair<uint32_t, int32_t>> markers) {
    for (auto [n, position] : markers) {
      uint32_t error = 0;
      ASSERT_EQ(MrkInsert(&CurMrkList, At(position), n, &error), 1) << "marker " << n;
    }
    Services().ClearLog();
  }

  int32_t Pos(uint32_t n) const { return MrkSlot(CurMrkList, n - 1)->Position; }
};

TEST(BlockHeapTest, GrowsInStepsKeepingBytesAndFailsOnRequest) {
  BlockHeap heap;
  auto* block = static_cast<uint8_t*>(heap.Alloc(8));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(BlockHeap::Size(block), 65536u);
  EXPECT_EQ(block[65535], 0);
  block[100] = 7;

  auto* grown = static_cast<uint8_t*>(heap.Grow(block, 65537));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(BlockHeap::Size(grown), 131072u);
  EXPECT_EQ(grown[100], 7);
  EXPECT_EQ(grown[131071], 0);  // the new tail is zero-filled

  heap.FailNext();
  EXPECT_EQ(heap.Grow(grown, 200000), nullptr);
  EXPECT_EQ(BlockHeap::Size(grown), 131072u);  // the block stays as it was
  EXPECT_EQ(heap.Grow(grown, 0xFFFFFFFF), nullptr);  // cannot be rounded up in 32 bits
  heap.FailNext();
  EXPECT_EQ(heap.Alloc(1), nullptr);
  EXPECT_EQ(heap.Blocks(), 1u);
  heap.Free(grown);
  EXPECT_EQ(heap.Blocks(), 0u);
}

// A block keeps to the heap it came from: one allocated before the private
// heap was created is freed by the process allocator, and destroying the
// private heap takes its blocks with it.
TEST(BlockHeapTest, PrivateHeapHoldsItsBlocksUntilDestroyed) {
  BlockHeap heap;
  void* before = heap.Alloc(8);
  heap.FailNext();
  EXPECT_EQ(heap.Create(), 0);
  EXPECT_FALSE(heap.Created());
  ASSERT_EQ(heap.Create(), 1);
  auto* inside = static_cast<uint8_t*>(heap.Alloc(8));
  ASSERT_NE(inside, nullptr);
  inside[5] = 9;
  inside = static_cast<uint8_t*>(heap.Grow(inside, 70000));
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside[5], 9);
  void* dropped = heap.Alloc(8);
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ(heap.Blocks(), 3u);
  heap.Free(inside);
  heap.Free(before);
  EXPECT_EQ(heap.Blocks(), 1u);
  heap.Destroy();  // takes `dropped` with it
  EXPECT_EQ(heap.Blocks(), 0u);
  void* after = heap.Alloc(8);
  EXPECT_EQ(heap.Blocks(), 1u);
  heap.Free(after);
}

TEST_F(MarkerTest, NewListIsEmptyAndReportsAllocFailure) {
  EXPECT_EQ(CurMrkList->Count, 0u);
  EXPECT_EQ(CurMrkList->First, kMrkNoSlot);
  EXPECT_EQ(MrkNxtLoc(CurMrkList, 0), EndOfTime);
  EXPECT_EQ(MrkAtOrAfterLoc(CurMrkList, 0), 0u);

  uint32_t error = 0;
  MrkHeap.FailNext();
  EXPECT_EQ(MrkListNew(&error), nullptr);
  EXPECT_EQ(error, 192u);
}

TEST_F(MarkerTest, AddingTenToEmptyListMakesNineFreeSlots) {
  Add({{10, 500}});
  EXPECT_EQ(CurMrkList->Count, 10u);
  for (uint32_t n = 1; n <= 9; ++n) {
    EXPECT_FALSE(MrkIsValid(CurMrkList, n)) << n;
    EXPECT_EQ(Pos(n), kMrkUnused) << n;
  }
  EXPECT_TRUE(MrkIsValid(CurMrkList, 10));
  EXPECT_EQ(MrkFirstFree(CurMrkList, 1), 1u);
  EXPECT_EQ(MrkFirstFree(CurMrkList, 0), 1u);
  EXPECT_EQ(MrkFirstFree(CurMrkList, 10), 11u);  // beyond the slot count is free
  EXPECT_EQ(MrkFirstUsed(CurMrkList, 1), 10u);
  EXPECT_EQ(MrkFirstUsed(CurMrkList, 11), 0u);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(10u));
}

TEST_F(MarkerTest, FirstFreeIsZeroWhenEveryNumberFromStartIsUsed) {
  Add({{998, 1}, {999, 2}});
  EXPECT_EQ(MrkFirstFree(CurMrkList, 998), 0u);
  EXPECT_EQ(MrkFirstFree(CurMrkList, 5000), 0u);
}

TEST_F(MarkerTest, InsertRefusesBadNumbersAndUsedOnes) {
  Add({{3, 100}});
  struct Case {
    uint32_t n;
    int32_t position;
  } cases[] = {{0, 5}, {1000, 5}, {0xFFFFFFFF, 5}, {3, 7}, {2, kMrkUnused}};
  for (const Case& c : cases) {
    uint32_t error = 0;
    EXPECT_EQ(MrkInsert(&CurMrkList, At(c.position), c.n, &error), 0) << c.n;
    EXPECT_EQ(error, 0u) << c.n;
  }
  EXPECT_EQ(CurMrkList->Count, 3u);
  EXPECT_EQ(Pos(3), 100);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(3u));
}

TEST_F(MarkerTest, MarkersAtOnePositionKeepTheOrderTheyCameIn) {
  Add({{3, 100}, {1, 50}, {7, 100}, {2, 100}, {5, 0}, {4, 50}});
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(5u, 1u, 4u, 3u, 7u, 2u));
}

TEST_F(MarkerTest, InsertGrowsPastOneHeapStep) {
  // 999 slots need more than one 65536-byte step; the sanitizer build
  // catches a block that did not grow far enough.
  Add({{999, 40}, {1, 20}});
  EXPECT_EQ(CurMrkList->Count, 999u);
  EXPECT_GE(BlockHeap::Size(CurMrkList), MrkBlockSize(999));
  EXPECT_EQ(MrkFirstFree(CurMrkList, 1), 2u);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(1u, 999u));
}

TEST_F(MarkerTest, GrowthFailureLeavesListUnchanged) {
  Add({{10, 500}, {4, 100}});
  MrkList* before = CurMrkList;
  uint32_t error = 0;
  MrkHeap.FailNext();
  EXPECT_EQ(MrkInsert(&CurMrkList, At(300), 20, &error), 0);
  EXPECT_EQ(error, 193u);
  EXPECT_EQ(CurMrkList, before);
  EXPECT_EQ(CurMrkList->Count, 10u);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(4u, 10u));

  // A number inside the slot count needs no growth.
  MrkHeap.FailNext();
  EXPECT_EQ(MrkInsert(&CurMrkList, At(300), 7, &error), 1);
  EXPECT_EQ(MrkHeap.Alloc(1), nullptr);  // the failure was still pending
}

TEST_F(MarkerTest, InsertCopiesTheRecordAndTerminatesItsName) {
  MrkRec rec = At(100);
  std::memset(rec.Name, 'x', sizeof rec.Name);
  rec.Reserved[3] = 9;
  uint32_t error = 0;
  ASSERT_EQ(MrkInsert(&CurMrkList, rec, 2, &error), 1);
  const MrkRec* mrk = MrkSlot(CurMrkList, 1);
  EXPECT_EQ(std::strlen(mrk->Name), 63u);
  EXPECT_EQ(mrk->Reserved[3], 9);
}

TEST_F(MarkerTest, DeleteUnlinksAndFreesTheNumber) {
  Add({{1, 10}, {2, 20}, {3, 30}});
  EXPECT_EQ(MrkDelete(CurMrkList, 2), 1);
  EXPECT_EQ(MrkDelete(CurMrkList, 2), 0);
  EXPECT_EQ(MrkDelete(CurMrkList, 0), 0);
  EXPECT_EQ(MrkDelete(CurMrkList, 50), 0);
  EXPECT_EQ(Pos(2), kMrkUnused);
  EXPECT_EQ(CurMrkList->Count, 3u);  // freeing never shrinks the list
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(1u, 3u));
  EXPECT_EQ(MrkDelete(CurMrkList, 1), 1);  // the head
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(3u));
  EXPECT_EQ(MrkFirstFree(CurMrkList, 1), 1u);
}

TEST_F(MarkerTest, SearchesByPosition) {
  Add({{2, 100}, {1, 200}, {4, 200}});
  struct Case {
    int32_t position;
    int32_t next;
    uint32_t atOrAfter;
  } cases[] = {
      {-5, 100, 2}, {99, 100, 2}, {100, 200, 2}, {101, 200, 1},
      {200, EndOfTime, 1}, {201, EndOfTime, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MrkNxtLoc(CurMrkList, c.position), c.next) << c.position;
    EXPECT_EQ(MrkAtOrAfterLoc(CurMrkList, c.position), c.atOrAfter) << c.position;
  }
}

TEST_F(MarkerTest, MoveGoesAfterTheMarkersAtItsNewPosition) {
  Add({{1, 100}, {2, 200}, {3, 300}});
  EXPECT_EQ(MrkMove(CurMrkList, 300, 1), 1);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(2u, 3u, 1u));
  EXPECT_EQ(Pos(1), 300);
  EXPECT_EQ(MrkMove(CurMrkList, 50, 3), 1);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(3u, 2u, 1u));

  EXPECT_EQ(MrkMove(CurMrkList, 10, 4), 0);           // no slot
  EXPECT_EQ(MrkMove(CurMrkList, kMrkUnused, 2), 0);   // would look free yet stay linked
  EXPECT_EQ(MrkDelete(CurMrkList, 2), 1);
  EXPECT_EQ(MrkMove(CurMrkList, 10, 2), 0);           // free
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(3u, 1u));
}

TEST_F(MarkerTest, RenameCutsLongNamesAndNeedsAMarkerInUse) {
  Add({{1, 100}});
  std::string longName(100, 'a');
  EXPECT_EQ(MrkRename(CurMrkList, longName.c_str(), 1), 1);
  EXPECT_EQ(std::string(MrkSlot(CurMrkList, 0)->Name), std::string(63, 'a'));
  EXPECT_EQ(MrkRename(CurMrkList, "Verse", 1), 1);
  EXPECT_STREQ(MrkSlot(CurMrkList, 0)->Name, "Verse");
  EXPECT_EQ(MrkRename(CurMrkList, "x", 2), 0);
  EXPECT_EQ(MrkRename(CurMrkList, nullptr, 1), 0);
  EXPECT_STREQ(MrkSlot(CurMrkList, 0)->Name, "Verse");
}

TEST_F(MarkerTest, GetLocFallsBackToNowPosition) {
  Add({{3, 700}});
  Locs().NowLoc = 4410;
  EXPECT_EQ(MrkGetLoc(CurMrkList, 3), 700);
  EXPECT_EQ(MrkGetLoc(CurMrkList, 2), 4410);
  EXPECT_EQ(MrkGetLoc(CurMrkList, 999), 4410);
  EXPECT_EQ(MrkGetLoc(nullptr, 1), 4410);
}

// Chains a damaged list can hold: each operation must end and stay inside
// the block.
TEST_F(MarkerTest, DamagedChainsNeverHangOrEscape) {
  enum Damage { kCycle, kSelfLoop, kBadIndex, kFreeSlotLinked };
  for (Damage damage : {kCycle, kSelfLoop, kBadIndex, kFreeSlotLinked}) {
    SCOPED_TRACE(damage);
    MrkHeap.Free(CurMrkList);
    CurMrkList = MrkListNew(nullptr);
    Add({{1, 100}, {2, 200}, {3, 300}, {5, 500}});
    MrkDelete(CurMrkList, 5);
    MrkRec* slots = MrkSlot(CurMrkList, 0);
    switch (damage) {
      case kCycle: slots[2].Next = 0; break;                 // 3 leads back to 1
      case kSelfLoop: slots[1].Next = 1; break;              // 2 leads to itself
      case kBadIndex: slots[1].Next = 500; break;            // 2 leads past the slots
      case kFreeSlotLinked: slots[2].Next = 3; slots[3].Next = 4; break;  // free 4 in the chain
    }
    EXPECT_LE(Chain(CurMrkList).size(), 5u);
    MrkNxtLoc(CurMrkList, 1000);
    MrkAtOrAfterLoc(CurMrkList, 1000);
    uint32_t error = 0;
    EXPECT_EQ(MrkInsert(&CurMrkList, At(250), 4, &error), 1);
    auto chain = Chain(CurMrkList);
    EXPECT_EQ(std::count(chain.begin(), chain.end(), 4u), 1);  // linked once, never twice
    EXPECT_EQ(MrkInsert(&CurMrkList, At(900), 9, &error), 1);
    MrkMove(CurMrkList, 50, 3);
    MrkDelete(CurMrkList, 2);
    MrkDelete(CurMrkList, 9);
    EXPECT_LE(Chain(CurMrkList).size(), CurMrkList->Count);
  }
}

TEST_F(MarkerTest, DamagedSlotCountIsNeverTrustedBeyond999) {
  Add({{1, 100}});
  CurMrkList->Count = 0xFFFFFFFF;  // a huge count over a one-slot block
  EXPECT_EQ(MrkIsValid(CurMrkList, 1), 1);
  EXPECT_EQ(MrkIsValid(CurMrkList, 1000), 0);
  EXPECT_EQ(Chain(CurMrkList).size(), 1u);
  EXPECT_EQ(MrkNxtLoc(CurMrkList, 0), 100);
  CurMrkList->First = 5000;  // a head past any block the count could claim
  EXPECT_TRUE(Chain(CurMrkList).empty());
  EXPECT_EQ(MrkNxtLoc(CurMrkList, 0), EndOfTime);
  EXPECT_EQ(MrkDelete(CurMrkList, 1), 0);
  CurMrkList->Count = 1;
}

// MrkEdit on the current list, with marker 4 at 1000 before each case.
TEST_F(MarkerTest, EditNotifiesInEveryCase) {
  struct Case {
    const char* what;
    uint32_t op;
    uint32_t n;
    int32_t position;
    const char* name;
    int result;
    std::vector<std::string> log;
  } cases[] = {
      {"add", kMrkEditAdd, 6, 3000, nullptr, 1,
       {"ArrRedrawMarkerRuler()", "MrkDirRefresh(0, 6)", "ArrChangeCountRaise()",
        "ConsoleNotifyMarker(6, 3000)"}},
      {"add used", kMrkEditAdd, 4, 3000, nullptr, 0, {"ConsoleNotifyMarker(4, 1000)"}},
      {"add 1000", kMrkEditAdd, 1000, 3000, nullptr, 0, {"ConsoleNotifyMarker(1000, -1)"}},
      {"move", kMrkEditMove, 4, 2000, nullptr, 1,
       {"ArrRedrawMarkerRuler()", "MrkDirRefresh(2, 4)", "ArrChangeCountRaise()",
        "ConsoleNotifyMarker(4, 2000)"}},
      {"move free", kMrkEditMove, 3, 2000, nullptr, 0, {"ConsoleNotifyMarker(3, -1)"}},
      {"delete", kMrkEditDelete, 4, 0, nullptr, 1,
       {"ArrRedrawMarkerRuler()", "MrkDirRefresh(1, 4)", "ArrChangeCountRaise()",
        "ConsoleNotifyMarker(4, -1)"}},
      {"delete free", kMrkEditDelete, 2, 0, nullptr, 0, {"ConsoleNotifyMarker(2, -1)"}},
      {"rename", kMrkEditRename, 4, 0, "Chorus", 1,
       {"ArrRedrawMarkerRuler()", "MrkDirRefresh(2, 4)", "ArrChangeCountRaise()",
        "ConsoleNotifyMarker(4, 1000)"}},
      {"rename free", kMrkEditRename, 5, 0, "Chorus", 0, {"ConsoleNotifyMarker(5, -1)"}},
      {"unknown", 4, 4, 0, nullptr, 0, {"ConsoleNotifyMarker(4, 1000)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MrkHeap.Free(CurMrkList);
    CurMrkList = MrkListNew(nullptr);
    Add({{4, 1000}});
    intptr_t value = c.name ? reinterpret_cast<intptr_t>(c.name) : c.position;
    EXPECT_EQ(MrkEdit(c.op, c.n, value), c.result);
    EXPECT_THAT(Services().log, ElementsAreArray(c.log));
    if (c.name && c.result) {
      EXPECT_STREQ(MrkSlot(CurMrkList, c.n - 1)->Name, c.name);
    }
  }
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(MarkerTest, EditShowsMemoryFailureWithExclamation) {
  Add({{4, 1000}});
  MrkHeap.FailNext();
  EXPECT_EQ(MrkEdit(kMrkEditAdd, 20, 500), 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, 193u);
  EXPECT_EQ(Host().boxes[0].flags, kMbWarnOk);
  EXPECT_EQ(Host().boxes[0].text, "Global memory realloc failed!");
  EXPECT_THAT(Services().log, ElementsAre("ConsoleNotifyMarker(20, -1)"));
  EXPECT_EQ(CurMrkList->Count, 4u);
}

TEST_F(MarkerTest, CutAndInsertPushesMarkersAndDeletesThoseAtTheEnd) {
  constexpr int32_t kSpan = 500;
  Add({{1, 500},
       {2, 1000},
       {5, 1000},
       {3, kTimeLineLimit - kSpan},       // would reach the limit: deleted
       {4, kTimeLineLimit - kSpan - 1}});  // ends just below it
  Locs().LeftLoc = 1000;
  Locs().RightLoc = 1000 + kSpan;
  MrkShiftForInsert();
  EXPECT_EQ(Pos(1), 500);
  EXPECT_EQ(Pos(2), 1500);
  EXPECT_EQ(Pos(5), 1500);
  EXPECT_EQ(Pos(3), kMrkUnused);
  EXPECT_EQ(Pos(4), kTimeLineLimit - 1);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(1u, 2u, 5u, 4u));
  EXPECT_THAT(Services().log,
              ElementsAre("ConsoleNotifyMarker(2, 1500)", "ConsoleNotifyMarker(3, -1)",
                          "ConsoleNotifyMarker(4, " + std::to_string(kTimeLineLimit - 1) + ")", "ConsoleNotifyMarker(5, 1500)",
                          "ArrRedrawMarkerRuler()", "MrkDirRefresh(3, 0)",
                          "ArrChangeCountRaise()"));
}

TEST_F(MarkerTest, CutAndDeleteRemovesTheSpanAndPullsLaterMarkersBack) {
  Add({{1, 999}, {2, 1000}, {3, 1999}, {4, 2000}, {5, 2500}, {6, 2000}});
  Locs().LeftLoc = 1000;
  Locs().RightLoc = 2000;
  MrkShiftForRemove();
  EXPECT_EQ(Pos(1), 999);
  EXPECT_EQ(Pos(2), kMrkUnused);
  EXPECT_EQ(Pos(3), kMrkUnused);
  EXPECT_EQ(Pos(4), 1000);  // exactly at the right locator: onto the left one
  EXPECT_EQ(Pos(6), 1000);
  EXPECT_EQ(Pos(5), 1500);
  EXPECT_THAT(Chain(CurMrkList), ElementsAre(1u, 4u, 6u, 5u));
  EXPECT_EQ(Services().Count("ConsoleNotifyMarker("), 5);
  EXPECT_TRUE(Services().Called("MrkDirRefresh(3, 0)"));
}

TEST_F(MarkerTest, ShiftsNeedTheLeftLocatorBeforeTheRight) {
  Add({{1, 1000}});
  for (int32_t right : {1000, 500}) {
    Locs().LeftLoc = 1000;
    Locs().RightLoc = right;
    MrkShiftForInsert();
    MrkShiftForRemove();
  }
  EXPECT_EQ(Pos(1), 1000);
  EXPECT_TRUE(Services().log.empty());
}

}  // namespace
