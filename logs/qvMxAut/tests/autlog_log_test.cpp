// Automation logs: ordered insertion, searches, removal, copies, thinning,
// collapsing to first and last values, capacity and stale handles.
#include "logs/qvMxAut/tests/autlog_fixture.h"

namespace {

using E = AutLogKnobEvent;
using Events = std::vector<E>;

using AutLogTest = AutFixture;

TEST_F(AutLogTest, EventsKeepLocationOrderAndSameKeyAtSameLocationUpdates) {
  AutLogHandle log = NewLog({{0, 500, 5, 0}, {1, 100, 1, 0}, {2, 500, 6, 0}, {0, 300, 3, 0},
                             {1, 500, 7, 0}, {0, 500, 9, 0}, {0, 0, 0, 0}});
  // Equal locations stay in the order they came; key 0 at 500 was updated.
  EXPECT_EQ(EventsOf(log), (Events{{0, 0, 0, 0}, {1, 100, 1, 0}, {0, 300, 3, 0},
                                 {0, 500, 9, 0}, {2, 500, 6, 0}, {1, 500, 7, 0}}));
}

TEST_F(AutLogTest, SearchesFromLocationFindTheKeysNeighbours) {
  AutLogHandle log = NewLog({{0, 100, 1, 0}, {1, 150, 9, 0}, {0, 200, 2, 0}, {1, 250, 8, 0}, {0, 300, 3, 0}});
  struct Case {
    bool next;
    int32_t key;
    uint32_t location;
    int32_t result;
    int32_t value;
  } cases[] = {
      {false, 0, 99, 0, 0},  {false, 0, 100, 1, 1}, {false, 0, 299, 1, 2}, {false, 0, 5000, 1, 3},
      {false, 1, 249, 1, 9}, {true, 0, 101, 1, 2},  {true, 0, 300, 1, 3},  {true, 0, 301, 0, 0},
      {true, 1, 0, 1, 9},    {true, 2, 0, 0, 0},    {false, 0, 150, 1, 1}, {true, 1, 151, 1, 8},
  };
  for (const Case& c : cases) {
    E out{};
    const int32_t r = c.next ? eng.GetNxtLogKnobEventFromLoc(log, c.key, c.location, &out)
                             : eng.GetPrvLogKnobEventFromLoc(log, c.key, c.location, &out);
    EXPECT_EQ(r, c.result) << c.next << " key " << c.key << " @" << c.location;
    if (r == 1) {
      EXPECT_EQ(out.value, c.value) << c.next << " key " << c.key << " @" << c.location;
    }
  }
}

TEST_F(AutLogTest, DeleteRemovesOnlyThatKeyAtThatLocation) {
  AutLogHandle log = NewLog({{0, 100, 1, 0}, {1, 100, 2, 0}, {0, 200, 3, 0}});
  EXPECT_EQ(eng.DeleteLogKnobEvent(log, 0, 100), 1);
  EXPECT_EQ(eng.DeleteLogKnobEvent(log, 0, 150), 1);  // nothing there: no change
  EXPECT_EQ(EventsOf(log), (Events{{1, 100, 2, 0}, {0, 200, 3, 0}}));
  E out{};
  EXPECT_EQ(eng.GetPrvLogKnobEventFromLoc(log, 0, 199, &out), 0);
}

// A view's event cursor left on a deleted event must not lead a later walk
// into the chain of whichever log reuses the node.
TEST_F(AutLogTest, DeletedEventUnderAViewCursorIsNeverFollowed) {
  AutKnobHandle knob = NewKnob(7, 0);
  AutLogHandle log = NewLog({{0, 100, 10, 0}, {0, 200, 20, 0}, {0, 300, 30, 0}});
  AutViewListHandle list = NewList(0, 0);
  AddView(list, log, PlayMap(knob));
  EXPECT_EQ(Step(knob, 200), 20);  // the view's cursor now rests on the event at 200
  EXPECT_EQ(eng.DeleteLogKnobEvent(log, 0, 200), 1);
  // The freed node goes to another log, far along its time axis.
  AutLogHandle other = NewLog({{0, 900000, 99, 0}});
  EXPECT_EQ(Step(knob, 250), 20);  // no event passed
  EXPECT_EQ(Step(knob, 300), 30);
  EXPECT_EQ(Step(knob, 150), 10);
  EXPECT_EQ(EventsOf(other), (Events{{0, 900000, 99, 0}}));
}

TEST_F(AutLogTest, CopyTakesTheHalfOpenRangeShiftedToZero) {
  AutLogHandle src = NewLog({{0, 999, 1, 0}, {0, 1000, 2, 0}, {1, 1500, 3, 0}, {0, 1999, 4, 0}, {0, 2000, 5, 0}});
  struct Case {
    uint32_t start, end;
    Events want;
  } cases[] = {
      {1000, 2000, {{0, 0, 2, 0}, {1, 500, 3, 0}, {0, 999, 4, 0}}},
      {0, 1000, {{0, 999, 1, 0}}},
      {2001, 5000, {}},
      {1500, 1000, {}},
  };
  for (const Case& c : cases) {
    AutLogHandle copy = 0;
    ASSERT_EQ(eng.CopyLog(&copy, src, c.start, c.end), 1);
    EXPECT_EQ(EventsOf(copy), c.want) << c.start << ".." << c.end;
    EXPECT_EQ(eng.DeleteLog(copy), 1);
  }
  EXPECT_EQ(EventsOf(src).size(), 5u);
  AutLogHandle copy = 123;
  EXPECT_EQ(eng.CopyLog(&copy, 0, 0, 10), 0);
  EXPECT_EQ(copy, 0u);
}

TEST_F(AutLogTest, ThinningDropsEventsOnTheLineWithinTolerance) {
  struct Case {
    const char* name;
    Events in;
    uint32_t start, end, tolerance;
    Events want;
  } cases[] = {
      {"three on a line, tolerance 0",
       {{0, 0, 0, 0}, {0, 500, 50, 0}, {0, 1000, 100, 0}}, 0, 5000, 0,
       {{0, 0, 0, 0}, {0, 1000, 100, 0}}},
      {"off the line by one sample, tolerance 0",
       {{0, 0, 0, 0}, {0, 501, 50, 0}, {0, 1000, 100, 0}}, 0, 5000, 0,
       {{0, 0, 0, 0}, {0, 501, 50, 0}, {0, 1000, 100, 0}}},
      {"off the line by one sample, tolerance 1",
       {{0, 0, 0, 0}, {0, 501, 50, 0}, {0, 1000, 100, 0}}, 0, 5000, 1,
       {{0, 0, 0, 0}, {0, 1000, 100, 0}}},
      {"a corner stays",
       {{0, 0, 0, 0}, {0, 100, 100, 0}, {0, 200, 100, 0}, {0, 300, 0, 0}}, 0, 5000, 0,
       {{0, 0, 0, 0}, {0, 100, 100, 0}, {0, 200, 100, 0}, {0, 300, 0, 0}}},
      {"a flat run keeps its ends",
       {{0, 0, 7, 0}, {0, 10, 7, 0}, {0, 20, 7, 0}, {0, 30, 7, 0}, {0, 40, 8, 0}}, 0, 5000, 0,
       {{0, 0, 7, 0}, {0, 30, 7, 0}, {0, 40, 8, 0}}},
      {"tolerance is measured in location: a late step within it is smoothed",
       {{0, 0, 7, 0}, {0, 30, 7, 0}, {0, 40, 8, 0}}, 0, 5000, 30,
       {{0, 0, 7, 0}, {0, 40, 8, 0}}},
      {"... and beyond it stays",
       {{0, 0, 7, 0}, {0, 30, 7, 0}, {0, 40, 8, 0}}, 0, 5000, 29,
       {{0, 0, 7, 0}, {0, 30, 7, 0}, {0, 40, 8, 0}}},
      {"descending line",
       {{0, 0, 90, 0}, {0, 10, 60, 0}, {0, 20, 30, 0}, {0, 30, 0, 0}}, 0, 5000, 0,
       {{0, 0, 90, 0}, {0, 30, 0, 0}}},
      {"other keys untouched",
       {{0, 0, 0, 0}, {1, 5, 3, 0}, {0, 500, 50, 0}, {1, 6, 3, 0}, {1, 7, 3, 0}, {0, 1000, 100, 0}}, 0, 5000, 0,
       {{0, 0, 0, 0}, {1, 5, 3, 0}, {1, 6, 3, 0}, {1, 7, 3, 0}, {0, 1000, 100, 0}}},
      {"the far event stays before the end",
       {{0, 0, 0, 0}, {0, 500, 50, 0}, {0, 1000, 100, 0}}, 0, 1000, 0,
       {{0, 0, 0, 0}, {0, 500, 50, 0}, {0, 1000, 100, 0}}},
      {"events before the start stay",
       {{0, 0, 0, 0}, {0, 500, 50, 0}, {0, 1000, 100, 0}, {0, 1500, 150, 0}}, 500, 5000, 0,
       {{0, 0, 0, 0}, {0, 500, 50, 0}, {0, 1500, 150, 0}}},
      {"extreme values and locations",
       {{0, 0, INT32_MIN, 0}, {0, 0x80000000u, 0, 0}, {0, 0xFFFFFFFEu, INT32_MAX - 1, 0}}, 0, 0xFFFFFFFFu, 0,
       {{0, 0, INT32_MIN, 0}, {0, 0xFFFFFFFEu, INT32_MAX - 1, 0}}},
  };
  for (const Case& c : cases) {
    AutLogHandle log = 0;
    ASSERT_EQ(eng.CreateLog(&log), 1);
    for (const E& e : c.in) ASSERT_EQ(eng.AddLogKnobEvent(log, &e), 1);
    EXPECT_EQ(eng.ReduceLogKnobEvents(log, 0, c.start, c.end, c.tolerance), 1);
    EXPECT_EQ(EventsOf(log), c.want) << c.name;
    eng.DeleteLog(log);
  }
}

TEST_F(AutLogTest, ApplyLastFromBeginCollapsesTheKey) {
  const Events in{{0, 50, 1, 0}, {1, 60, 8, 0}, {0, 70, 2, 0}, {0, 90, 3, 0}};
  struct Case {
    int32_t key, keepFirst;
    Events want;
  } cases[] = {
      {0, 1, {{0, 0, 1, 0}, {0, 1, 3, 0}, {1, 60, 8, 0}}},
      {0, 0, {{0, 0, 3, 0}, {1, 60, 8, 0}}},
      {1, 1, {{0, 50, 1, 0}, {1, 0, 8, 0}, {0, 70, 2, 0}, {0, 90, 3, 0}}},
      {5, 1, in},
  };
  for (const Case& c : cases) {
    AutLogHandle log = 0;
    ASSERT_EQ(eng.CreateLog(&log), 1);
    for (const E& e : in) ASSERT_EQ(eng.AddLogKnobEvent(log, &e), 1);
    EXPECT_EQ(eng.ApplyLastLogKnobEventsFromBegin(log, c.key, c.keepFirst), 1);
    Events got = EventsOf(log);
    std::stable_sort(got.begin(), got.end(), [](const E& a, const E& b) { return a.location < b.location; });
    Events want = c.want;
    std::stable_sort(want.begin(), want.end(), [](const E& a, const E& b) { return a.location < b.location; });
    EXPECT_EQ(got, want) << "key " << c.key << " keepFirst " << c.keepFirst;
    eng.DeleteLog(log);
  }
}

TEST_F(AutLogTest, GetAllCopiesAtMostTheGivenCount) {
  AutLogHandle log = NewLog({{0, 1, 1, 0}, {0, 2, 2, 0}, {0, 3, 3, 0}});
  E out[3]{};
  int32_t n = 2;
  EXPECT_EQ(eng.GetAllLogKnobEvents(log, &n, out), 1);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(out[1], (E{0, 2, 2, 0}));
  n = -4;
  EXPECT_EQ(eng.GetAllLogKnobEvents(log, &n, out), 1);
  EXPECT_EQ(n, 0);
}

TEST_F(AutLogTest, HandlesOfDeletedObjectsOrOfAnotherKindFindNothing) {
  AutLogHandle log = NewLog({{0, 1, 1, 0}});
  AutMapHandle map = 0;
  ASSERT_EQ(eng.CreatePlayLogKnobMap(2, &map), 1);
  int32_t n = 0;
  EXPECT_EQ(eng.GetLogKnobEventCnt(map, &n), 0);
  EXPECT_EQ(eng.DeleteRecordLogKnobMap(map), 0);
  EXPECT_EQ(eng.DeleteLog(log), 1);
  EXPECT_EQ(eng.DeleteLog(log), 0);
  AutLogHandle again = NewLog({});
  EXPECT_NE(again, log);  // the slot is reused under a new generation
  E e{0, 5, 5, 0};
  EXPECT_EQ(eng.AddLogKnobEvent(log, &e), 0);
  EXPECT_EQ(eng.SetPlayLogKnobMapValue(map, 2, 0), 0);
  EXPECT_EQ(eng.SetPlayLogKnobMapValue(map, -1, 0), 0);
  int32_t key = 0;
  EXPECT_EQ(eng.GetRecordLogKnobMapValue(map, 0, &key, nullptr), 0);
  EXPECT_EQ(eng.CreatePlayLogKnobMap(-1, &map), 0);
}

TEST_F(AutLogTest, LastLogReleasesTheEventHeapAndTheNextStartsAfresh) {
  AutLogHandle a = NewLog({{0, 1, 1, 0}, {0, 2, 2, 0}});
  AutLogHandle b = NewLog({{0, 3, 3, 0}});
  EXPECT_EQ(eng.DeleteLog(a), 1);
  EXPECT_EQ(EventsOf(b), (Events{{0, 3, 3, 0}}));
  EXPECT_EQ(eng.DeleteLog(b), 1);
  AutLogHandle c = NewLog({{0, 4, 4, 0}});
  EXPECT_EQ(EventsOf(c), (Events{{0, 4, 4, 0}}));
}

class AutCapacityTest : public AutFixture {
 protected:
  AutCapacityTest() : AutFixture(1000) {}
};

TEST_F(AutCapacityTest, AFailedCarvingLeavesTheLogUnchanged) {
  AutLogHandle log = NewLog({});
  for (uint32_t i = 0; i < 1000; ++i) {
    E e{0, i, static_cast<int32_t>(i), 0};
    ASSERT_EQ(eng.AddLogKnobEvent(log, &e), 1);
  }
  E extra{0, 5000, 1, 0};
  EXPECT_EQ(eng.AddLogKnobEvent(log, &extra), 0);
  E update{0, 10, -1, 0};
  EXPECT_EQ(eng.AddLogKnobEvent(log, &update), 1);  // an update needs no node
  Events all = EventsOf(log);
  ASSERT_EQ(all.size(), 1000u);
  EXPECT_EQ(all.back(), (E{0, 999, 999, 0}));
  EXPECT_EQ(all[10].value, -1);
  AutLogHandle copy = 77;
  EXPECT_EQ(eng.CopyLog(&copy, log, 0, 10), 0);
  EXPECT_EQ(copy, 0u);
  EXPECT_EQ(eng.DeleteLogKnobEvent(log, 0, 3), 1);
  EXPECT_EQ(eng.AddLogKnobEvent(log, &extra), 1);  // the freed node serves again
}

}  // namespace
