// List primitives: creation, reserving, sorted insertion, unlinking, the
// slot limit and the heap's failures, and random edit sequences checked
// against a model of the lists after every step.
#include <algorithm>
#include <map>
#include <random>

#include "arr_fixture.h"
#include "mixer/model/util/strtab.h"

TEST_F(ArrTest, NewArrangementIsEmpty) {
  EXPECT_EQ(arr->PartCount, 0u);
  EXPECT_GE(BlockHeap::Size(arr), 13316u);
  for (uint32_t t = 0; t < kArrTracks; ++t) {
    EXPECT_EQ(arr->ListHead[t], kArrNoSlot);
    EXPECT_EQ(arr->Trk[t].Flags, 0u);
  }
  EXPECT_EQ(ArrStartLoc(arr), 0);
  EXPECT_EQ(ArrEndLoc(arr), 0);
}

TEST_F(ArrTest, InsertKeepsStartOrderAndInsertionOrderOnTies) {
  uint32_t a = Add(3, 100, 10);
  uint32_t b = Add(3, 50, 10);
  uint32_t c = Add(3, 100, 5);  // same start as a: after it
  uint32_t d = Add(3, 100, 7);
  uint32_t e = Add(3, 200, 1);
  EXPECT_EQ(List(3), (std::vector<uint32_t>{b, a, c, d, e}));
  EXPECT_TRUE(List(2).empty());
}

TEST_F(ArrTest, UnlinkFreesTheSlotAndInsertReusesTheLowest) {
  uint32_t a = Add(0, 0, 10);
  uint32_t b = Add(0, 10, 10);
  uint32_t c = Add(1, 20, 10);
  ArrRec* before = arr;
  uint32_t size = BlockHeap::Size(arr);

  EXPECT_EQ(ArrUnlinkPart(arr, b, 1), 0);  // not on that track
  EXPECT_EQ(ArrUnlinkPart(arr, c, kArrNoSlot), 1);
  EXPECT_EQ(ArrUnlinkPart(arr, a, 0), 1);
  EXPECT_EQ(ArrUnlinkPart(arr, a, 0), 0);  // already gone
  EXPECT_EQ(P(a).Start, kPartFreeStart);
  EXPECT_EQ(P(c).Start, kPartFreeStart);
  EXPECT_EQ(List(0), (std::vector<uint32_t>{b}));
  EXPECT_TRUE(List(1).empty());

  EXPECT_EQ(Add(5, 7, 1), a);  // the lowest free slot
  EXPECT_EQ(Add(5, 8, 1), c);
  EXPECT_EQ(arr->PartCount, 3u);
  EXPECT_EQ(arr, before);
  EXPECT_EQ(BlockHeap::Size(arr), size);
}

TEST_F(ArrTest, InsertRefusesBadCallerValues) {
  uint32_t error = 0;
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(0, 10), nullptr, kArrTracks, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_INTERNAL_CODE_ERROR));
  error = 0;
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(kPartFreeStart, 10), nullptr, 0, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_INTERNAL_CODE_ERROR));
  EXPECT_EQ(arr->PartCount, 0u);
  EXPECT_EQ(ArrUnlinkPart(arr, 0, 0), 0);
  EXPECT_EQ(ArrUnlinkPart(arr, 0, 999), 0);
}

TEST_F(ArrTest, BlockGrowsInSteps) {
  // A fresh block has room for (65536 - 13316) / 128 = 407 slots.
  for (int i = 0; i < 407; ++i) Add(i % 7, i, 1);
  EXPECT_EQ(BlockHeap::Size(arr), 65536u);
  Add(0, 1000, 1);
  EXPECT_EQ(BlockHeap::Size(arr), 131072u);
  EXPECT_EQ(arr->PartCount, 408u);
  EXPECT_EQ(P(407).Start, 1000);  // the slot after the growth is the new one
}

// Fills the arrangement with kArrMaxParts slots, `free` of them free.
static void FillSlots(ArrRec** arr, uint32_t free) {
  ASSERT_EQ(ArrReserveParts(arr, kArrMaxParts, 1, nullptr), 1);
  (*arr)->PartCount = kArrMaxParts;
  for (uint32_t slot = 0; slot < kArrMaxParts; ++slot)
    *ArrPart(*arr, slot) = MakePart(slot < free ? kPartFreeStart : 0, 1);
}

TEST_F(ArrTest, ReserveCountsFreeSlotsFirst) {
  FillSlots(&arr, 10);
  uint32_t error = 0;
  EXPECT_EQ(ArrReserveParts(&arr, 10, 1, &error), 1);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(ArrReserveParts(&arr, 11, 1, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_MAX_PARTS_REACHED));
  EXPECT_STREQ(StrText(error), "Maximum number of Parts reached!");
  EXPECT_EQ(arr->PartCount, kArrMaxParts);

  // The ten free slots take new Parts; the eleventh is refused.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Add(0, i, 1), static_cast<uint32_t>(i));
  error = 0;
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(0, 1), nullptr, 0, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_MAX_PARTS_REACHED));
}

TEST_F(ArrTest, ReserveWithoutGrowthLeavesTheBlock) {
  uint32_t size = BlockHeap::Size(arr);
  EXPECT_EQ(ArrReserveParts(&arr, 5000, 0, nullptr), 1);
  EXPECT_EQ(BlockHeap::Size(arr), size);
  EXPECT_EQ(ArrReserveParts(&arr, 5000, 1, nullptr), 1);
  EXPECT_GE(BlockHeap::Size(arr), ArrBlockSize(5000));
  EXPECT_EQ(BlockHeap::Size(arr) % 65536, 0u);
  EXPECT_EQ(arr->PartCount, 0u);
  EXPECT_EQ(ArrReserveParts(&arr, 0xFFFFFFFF, 1, nullptr), 0);
}

TEST_F(ArrTest, HeapFailuresLeaveTheArrangementUnchanged) {
  uint32_t error = 0;
  ArrHeap.FailNext();
  EXPECT_EQ(ArrNew(&error), nullptr);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_GLOBAL_ALLOC_FAILED));

  for (int i = 0; i < 407; ++i) Add(i % 3, 407 - i, 5, static_cast<int16_t>(i));
  std::vector<uint8_t> image(reinterpret_cast<uint8_t*>(arr),
                             reinterpret_cast<uint8_t*>(arr) + ArrBlockSize(arr->PartCount));
  ArrRec* before = arr;

  error = 0;
  ArrHeap.FailNext();
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(1, 1), nullptr, 0, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_GLOBAL_REALLOC_FAILED));
  error = 0;
  ArrHeap.FailNext();
  EXPECT_EQ(ArrReserveParts(&arr, 1, 1, &error), 0);
  EXPECT_EQ(error, static_cast<uint32_t>(IDS_GLOBAL_REALLOC_FAILED));

  ASSERT_EQ(arr, before);
  EXPECT_EQ(0, std::memcmp(image.data(), arr, image.size()));
  // Without the failure the same insertion goes through.
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(1, 1), nullptr, 0, nullptr), 1);
}

TEST_F(ArrTest, DamagedListsEndTheWalks) {
  uint32_t a = Add(0, 0, 10);
  uint32_t b = Add(0, 5, 10);
  Add(1, 0, 10);
  P(b).Next = a;  // a cycle
  P(a).OverlapLink = 60000;
  P(b).XfadeInPartner = 50000;
  arr->ListHead[2] = 123456;
  ArrRelinkOverlaps(arr);
  ArrCheckXfades(arr, 1);
  EXPECT_EQ(P(b).XfadeInPartner, kArrNoLink);
  EXPECT_LT(Sections(0).size(), 10u);
  EXPECT_TRUE(Sections(2).empty());
  EXPECT_EQ(ArrTrackOfPart(arr, b), 0);
  EXPECT_EQ(ArrTopPartAtLoc(arr, 2, 0, nullptr), -1);
  EXPECT_EQ(ArrInsertPart(&arr, MakePart(7, 1), nullptr, 0, nullptr), 1);
  EXPECT_EQ(ArrUnlinkPart(arr, 999, kArrNoSlot), 0);
}

// A free slot left in a list ends every walk at the same place: the public
// walks (the Take ring, the snap targets) once walked through it and handed
// out Parts, and the free slot's start -1, that the repairs never saw.
TEST_F(ArrTest, AFreeSlotEndsEveryWalkAlike) {
  uint32_t a = Add(0, 0, 10, 0, kPartSelected);
  uint32_t b = Add(0, 20, 10, 0, kPartSelected);
  Add(0, 40, 10, 0, kPartSelected);
  P(b).Start = kPartFreeStart;
  std::vector<uint32_t> handedOut;
  ArrForEachPart(arr, [&](uint32_t, uint32_t slot, const PartRec&) { handedOut.push_back(slot); });
  EXPECT_EQ(handedOut, std::vector<uint32_t>{a});
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 1u);
  EXPECT_EQ(ArrEndLoc(arr), 10);
}

// Random inserts, unlinks and moves over a few tracks, each step checked
// against a model of the lists: slot choice, list order, free slots and the
// overlap links.
TEST_F(ArrTest, RandomEditsKeepTheInvariants) {
  constexpr uint32_t kTracks = 4;
  std::mt19937 rng(20240611);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::vector<std::vector<uint32_t>> model(kTracks);
  uint32_t nextLayer = 0;

  auto insertIntoModel = [&](uint32_t track, uint32_t slot, int32_t start) {
    auto& list = model[track];
    auto at = std::find_if(list.begin(), list.end(),
                           [&](uint32_t s) { return ArrPart(arr, s)->Start > start; });
    list.insert(at, slot);
  };
  auto lowestFree = [&]() {
    for (uint32_t s = 0; s < arr->PartCount; ++s)
      if (ArrPart(arr, s)->Start == kPartFreeStart) return s;
    return arr->PartCount;
  };
  auto anyUsed = [&](uint32_t* track, size_t* index) {
    std::vector<std::pair<uint32_t, size_t>> all;
    for (uint32_t t = 0; t < kTracks; ++t)
      for (size_t i = 0; i < model[t].size(); ++i) all.emplace_back(t, i);
    if (all.empty()) return false;
    auto [t, i] = all[pick(0, static_cast<int>(all.size()) - 1)];
    *track = t;
    *index = i;
    return true;
  };

  for (int step = 0; step < 3000; ++step) {
    int op = pick(0, 9);
    uint32_t track;
    size_t index;
    if (op < 5 || !anyUsed(&track, &index)) {
      track = pick(0, kTracks - 1);
      // Unique layers: overlapping Parts never share one.
      PartRec part = MakePart(pick(0, 300), pick(1, 60), static_cast<int16_t>(nextLayer++ % 30000));
      uint32_t expected = lowestFree();
      uint32_t slot = kArrNoSlot;
      ASSERT_EQ(ArrInsertPart(&arr, part, &slot, track, nullptr), 1);
      ASSERT_EQ(slot, expected);
      insertIntoModel(track, slot, part.Start);
    } else {
      uint32_t slot = model[track][index];
      uint32_t wrong = (track + 1) % kTracks;
      ASSERT_EQ(ArrUnlinkPart(arr, slot, wrong), 0);
      ASSERT_EQ(ArrUnlinkPart(arr, slot, op < 8 ? track : kArrNoSlot), 1);
      PartRec moved = *ArrPart(arr, slot);
      model[track].erase(model[track].begin() + static_cast<long>(index));
      if (op >= 8) {  // a move: the same Part elsewhere
        moved.Start = pick(0, 300);
        uint32_t to = pick(0, kTracks - 1);
        uint32_t expected = lowestFree();
        uint32_t again = kArrNoSlot;
        ASSERT_EQ(ArrInsertPart(&arr, moved, &again, to, nullptr), 1);
        ASSERT_EQ(again, expected);
        insertIntoModel(to, again, moved.Start);
      }
    }
    ArrRelinkOverlaps(arr);

    std::vector<int> seen(arr->PartCount, 0);
    for (uint32_t t = 0; t < kArrTracks; ++t) {
      std::vector<uint32_t> list = List(t);
      if (t < kTracks) ASSERT_EQ(list, model[t]) << "step " << step << " track " << t;
      else ASSERT_TRUE(list.empty());
      for (uint32_t s : list) {
        ++seen[s];
        ASSERT_EQ(P(s).OverlapLink, OracleLink(arr, t, s)) << "step " << step;
      }
    }
    for (uint32_t s = 0; s < arr->PartCount; ++s)
      ASSERT_EQ(seen[s], P(s).Start == kPartFreeStart ? 0 : 1) << "slot " << s;
  }
}
