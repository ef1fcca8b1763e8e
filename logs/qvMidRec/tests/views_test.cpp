// View lists: the two chains, views ordered by start, and their heap.
#include <vector>

#include "logs/qvMidRec/tests/midlog_fixture.h"

namespace {

std::vector<MidiViewListHandle> Chain(uint32_t isRecord) {
  std::vector<MidiViewListHandle> out;
  for (MidiViewListHandle h = MidiFirstViewList(isRecord); h != 0; h = MidiNextViewList(h)) out.push_back(h);
  return out;
}

std::vector<uint32_t> Starts(MidiViewListHandle list) {
  std::vector<uint32_t> out;
  for (MidiViewHandle v = MidiFirstView(list); v != 0; v = MidiNextView(v)) {
    MidiView view{};
    EXPECT_EQ(MidiGetView(v, &view), 1);
    out.push_back(view.start);
  }
  return out;
}

TEST_F(MidiLogTest, ListsJoinTheTailOfTheirOwnChain) {
  const MidiViewListHandle p1 = MakeList(3, 0);
  const MidiViewListHandle r1 = MakeList(3, 1);
  const MidiViewListHandle p2 = MakeList(1, 0);
  const MidiViewListHandle r2 = MakeList(5, 7);  // any nonzero value is a record list
  const MidiViewListHandle p3 = MakeList(0, 0);
  EXPECT_EQ(Chain(0), (std::vector{p1, p2, p3}));
  EXPECT_EQ(Chain(1), (std::vector{r1, r2}));
  uint32_t track = 99;
  ASSERT_EQ(MidiGetViewListTrack(p2, &track), 1);
  EXPECT_EQ(track, 1u);

  // Unlinking the middle and the tail keeps the chain whole and its tail right.
  ASSERT_EQ(MidiDeleteViewList(p2), 1);
  ASSERT_EQ(MidiDeleteViewList(p3), 1);
  const MidiViewListHandle p4 = MakeList(2, 0);
  EXPECT_EQ(Chain(0), (std::vector{p1, p4}));
  ASSERT_EQ(MidiDeleteViewList(p1), 1);
  EXPECT_EQ(Chain(0), (std::vector{p4}));

  EXPECT_EQ(MidiDeleteAllViewLists(1), 1);
  EXPECT_TRUE(Chain(1).empty());
  EXPECT_EQ(Chain(0), (std::vector{p4}));
  EXPECT_EQ(MidiDeleteViewList(r1), 0) << "a deleted list's handle is refused";
  EXPECT_EQ(MidiGetViewListTrack(r1, &track), 0);
}

TEST_F(MidiLogTest, ViewsStayInStartOrderEqualStartsAsAdded) {
  const MidiLogHandle log = MakeLog();
  const MidiViewListHandle list = MakeList(0, 0);
  const uint32_t starts[] = {500, 100, 300, 100, 900, 0, 300};
  std::vector<MidiViewHandle> added;
  for (uint32_t i = 0; i < std::size(starts); ++i) {
    const MidiView v{starts[i], 10 + i, i, log};
    ASSERT_EQ(MidiAddView(list, &v), 1);
  }
  EXPECT_EQ(Starts(list), (std::vector<uint32_t>{0, 100, 100, 300, 300, 500, 900}));
  // Equal starts: told apart by the length given (10 + the order added).
  std::vector<uint32_t> lengths;
  for (MidiViewHandle v = MidiFirstView(list); v != 0; v = MidiNextView(v)) {
    MidiView view{};
    MidiGetView(v, &view);
    lengths.push_back(view.length);
  }
  EXPECT_EQ(lengths, (std::vector<uint32_t>{15, 11, 13, 12, 16, 10, 14}));
}

TEST_F(MidiLogTest, AddViewRefusesBadArgumentsAndAFullHeap) {
  MidiSetHeapBlockLimit(MidiHeapKind::kViews, 1);
  const MidiLogHandle log = MakeLog();
  const MidiViewListHandle list = MakeList(0, 0);
  const MidiView good{0, 10, 0, log};
  const MidiView noLog{0, 10, 0, log + 1};
  EXPECT_EQ(MidiAddView(list, nullptr), 0);
  EXPECT_EQ(MidiAddView(list + 1, &good), 0);
  EXPECT_EQ(MidiAddView(list, &noLog), 0);
  for (uint32_t i = 0; i < kViewsPerBlock; ++i) ASSERT_EQ(MidiAddView(list, &good), 1) << i;
  EXPECT_EQ(MidiAddView(list, &good), 0);
  EXPECT_EQ(Starts(list).size(), kViewsPerBlock);
  MidiViewListHandle out = 5;
  EXPECT_EQ(MidiCreateViewList(0, 0, nullptr), 0);
  // Deleting the list recycles its views for the next.
  ASSERT_EQ(MidiCreateViewList(1, 0, &out), 1);
  ASSERT_EQ(MidiDeleteViewList(list), 1);
  for (uint32_t i = 0; i < kViewsPerBlock; ++i) ASSERT_EQ(MidiAddView(out, &good), 1) << i;
}

TEST_F(MidiLogTest, LastListTakesTheViewHeapWithIt) {
  const MidiLogHandle log = MakeLog();
  const MidiView v{0, 10, 0, log};
  const MidiViewListHandle a = MakeList(0, 0, {v, v});
  const MidiViewListHandle b = MakeList(0, 1, {v});
  const MidiViewHandle oldView = MidiFirstView(b);
  ASSERT_EQ(MidiDeleteAllViewLists(0), 1);
  EXPECT_TRUE(Lib().views.Exists());
  ASSERT_EQ(MidiDeleteViewList(b), 1);
  EXPECT_FALSE(Lib().views.Exists());
  MidiView out{};
  EXPECT_EQ(MidiGetView(oldView, &out), 0);
  EXPECT_EQ(MidiFirstView(a), 0u);
  const MidiViewListHandle c = MakeList(0, 0, {v});
  EXPECT_EQ(MidiFirstView(c), 1u) << "a fresh heap hands out its first node first";
}

}  // namespace
