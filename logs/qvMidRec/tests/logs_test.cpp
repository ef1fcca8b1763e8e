// MIDI logs: insert with merging, ordering, reading back and searching.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "logs/qvMidRec/tests/midlog_fixture.h"

namespace {

using Events = std::vector<MidiLogEvent>;

struct AddCase {
  const char* name;
  Events adds;
  Events expected;
};

class AddLogEventTest : public MidiLogTest, public ::testing::WithParamInterface<AddCase> {};

TEST_P(AddLogEventTest, StoresInPositionOrder) {
  const MidiLogHandle log = MakeLog(0, GetParam().adds);
  EXPECT_EQ(Stored(log), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddLogEventTest,
    ::testing::Values(
        AddCase{"SameKeyUpdatesData2AndValue",
                {Note(10, 60, 100, 5), Note(10, 60, 30, 7)},
                {Note(10, 60, 30, 7)}},
        AddCase{"DifferentData1KeptInOrderAdded",
                {Note(10, 62, 100, 5), Note(10, 60, 90, 5)},
                {Note(10, 62, 100, 5), Note(10, 60, 90, 5)}},
        AddCase{"DifferentKindSameData1Kept",
                {Ev(10, kMidiControl, 7, 100), Ev(10, kMidiKeyPressure, 7, 50)},
                {Ev(10, kMidiControl, 7, 100), Ev(10, kMidiKeyPressure, 7, 50)}},
        AddCase{"SameKeyAtOtherPositionNotMerged",
                {Ev(10, kMidiControl, 7, 1), Ev(11, kMidiControl, 7, 2)},
                {Ev(10, kMidiControl, 7, 1), Ev(11, kMidiControl, 7, 2)}},
        AddCase{"MergeFindsEarlierOfSeveralAtThatPosition",
                {Ev(10, kMidiControl, 1, 1), Ev(10, kMidiControl, 2, 2), Ev(10, kMidiControl, 3, 3),
                 Ev(30, kMidiControl, 1, 9), Ev(10, kMidiControl, 1, 4)},
                {Ev(10, kMidiControl, 1, 4), Ev(10, kMidiControl, 2, 2), Ev(10, kMidiControl, 3, 3),
                 Ev(30, kMidiControl, 1, 9)}},
        AddCase{"EarlierPositionGoesToHead",
                {Ev(50, kMidiProgram, 0, 1), Ev(20, kMidiProgram, 0, 2), Ev(5, kMidiProgram, 0, 3)},
                {Ev(5, kMidiProgram, 0, 3), Ev(20, kMidiProgram, 0, 2), Ev(50, kMidiProgram, 0, 1)}},
        AddCase{"InsertBetweenAfterEqualPositions",
                {Ev(10, 3, 1, 0), Ev(30, 3, 1, 0), Ev(20, 3, 1, 0), Ev(20, 3, 2, 0), Ev(10, 3, 5, 0)},
                {Ev(10, 3, 1, 0), Ev(10, 3, 5, 0), Ev(20, 3, 1, 0), Ev(20, 3, 2, 0), Ev(30, 3, 1, 0)}}),
    [](const ::testing::TestParamInfo<AddCase>& info) { return std::string(info.param.name); });

// Inserting through the cursor, wherever it stands, gives what a plain
// ordered list gives: stable by position, merged on (position, kind, data1).
TEST_F(MidiLogTest, RandomInsertsMatchAPlainOrderedList) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<uint32_t> pos(0, 300), d1(0, 3), kind(1, 3), d2(0, 127);
  const MidiLogHandle log = MakeLog();
  Events model;
  for (int i = 0; i < 3000; ++i) {
    const MidiLogEvent e = Ev(pos(rng), static_cast<uint8_t>(kind(rng)), static_cast<uint8_t>(d1(rng)),
                              static_cast<int16_t>(d2(rng)), static_cast<uint32_t>(i));
    ASSERT_EQ(MidiAddLogEvent(log, &e), 1);
    auto same = std::find_if(model.begin(), model.end(), [&](const MidiLogEvent& m) {
      return m.position == e.position && m.kind == e.kind && m.data1 == e.data1;
    });
    if (same != model.end()) {
      same->data2 = e.data2;
      same->value = e.value;
    } else {
      model.insert(std::upper_bound(model.begin(), model.end(), e,
                                    [](const MidiLogEvent& a, const MidiLogEvent& b) { return a.position < b.position; }),
                   e);
    }
  }
  EXPECT_EQ(Stored(log), model);
  EXPECT_EQ(Count(log), static_cast<int32_t>(model.size()));
}

TEST_F(MidiLogTest, GetAllLogEventsCopiesAtMostTheCapacity) {
  const Events five = {Ev(1, 3, 1, 1), Ev(2, 3, 1, 2), Ev(3, 3, 1, 3), Ev(4, 3, 1, 4), Ev(5, 3, 1, 5)};
  const MidiLogHandle log = MakeLog(0, five);
  const MidiLogHandle empty = MakeLog();
  struct {
    MidiLogHandle log;
    int32_t capacity;
    int32_t copied;
  } const cases[] = {{log, 3, 3}, {log, 5, 5}, {log, 9, 5}, {log, 0, 0}, {log, -4, 0}, {empty, 3, 0}};
  for (const auto& c : cases) {
    Events out(10, Ev(0xEEEE, 0, 0, 0));
    int32_t n = c.capacity;
    EXPECT_EQ(MidiGetAllLogEvents(c.log, &n, out.data()), 1);
    ASSERT_EQ(n, c.copied) << "capacity " << c.capacity;
    EXPECT_EQ(Events(out.begin(), out.begin() + n), Events(five.begin(), five.begin() + n));
    EXPECT_EQ(out[static_cast<size_t>(n)], Ev(0xEEEE, 0, 0, 0)) << "wrote past the copied events";
  }
  int32_t n = 2;
  EXPECT_EQ(MidiGetAllLogEvents(log, &n, nullptr), 0);
  EXPECT_EQ(MidiGetAllLogEvents(log, nullptr, nullptr), 0);
}

TEST_F(MidiLogTest, FirstEqualOrNextFindsByPositionAndKind) {
  const Events events = {Ev(10, kMidiControl, 7, 1), Note(10, 60, 90, 5), Ev(20, kMidiProgram, 0, 3),
                         Note(30, 62, 80, 5), Ev(40, kMidiControl, 7, 2)};
  const MidiLogHandle log = MakeLog(0, events);
  struct {
    uint8_t kind;
    uint32_t position;
    int expectedIndex;  // -1: none
  } const cases[] = {
      {0, 0, 0},  {0, 10, 0}, {kMidiNote, 10, 1}, {0, 11, 2}, {kMidiNote, 11, 3}, {kMidiControl, 31, 4},
      {0, 40, 4}, {0, 41, -1}, {kMidiProgram, 21, -1}, {kMidiPitchBend, 0, -1},
      {0, 5, 0},  // back again: the cursor stood after it
  };
  for (const auto& c : cases) {
    MidiLogEvent out{};
    MidiEventHandle node = 12345;
    const int32_t found = MidiGetLogFirstEqualOrNxtEventFromTickPos(log, c.kind, c.position, &out, &node);
    if (c.expectedIndex < 0) {
      EXPECT_EQ(found, 0) << "kind " << int{c.kind} << " at " << c.position;
      EXPECT_EQ(node, 0u);
    } else {
      ASSERT_EQ(found, 1) << "kind " << int{c.kind} << " at " << c.position;
      EXPECT_EQ(out, events[static_cast<size_t>(c.expectedIndex)]);
      EXPECT_NE(node, 0u);
    }
  }
  MidiLogEvent out{};
  EXPECT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log, 0, 0, &out, nullptr), 1);
  EXPECT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(MakeLog(), 0, 0, &out, nullptr), 0);
}

TEST_F(MidiLogTest, NextEventWalksOnByKindWithoutMovingTheCursor) {
  const Events events = {Note(10, 60, 90, 5), Ev(15, kMidiControl, 7, 1), Note(20, 61, 90, 5),
                         Ev(25, kMidiControl, 7, 2), Note(30, 62, 90, 5)};
  const MidiLogHandle log = MakeLog(0, events);
  MidiLogEvent out{};
  MidiEventHandle node = 0;
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log, kMidiNote, 0, &out, &node), 1);
  Events notes = {out};
  while (MidiGetLogNxtEvent(node, kMidiNote, &out, &node) == 1) notes.push_back(out);
  EXPECT_EQ(node, 0u);
  EXPECT_EQ(notes, (Events{events[0], events[2], events[4]}));

  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log, 0, 0, &out, &node), 1);
  ASSERT_EQ(MidiGetLogNxtEvent(node, kMidiControl, &out, nullptr), 1);
  EXPECT_EQ(out, events[1]);
  // The log's cursor still stands at the first event: an add at 12 lands there.
  const MidiLogEvent add = Ev(12, kMidiControl, 1, 0);
  ASSERT_EQ(MidiAddLogEvent(log, &add), 1);
  EXPECT_EQ(Stored(log)[1], add);
}

TEST_F(MidiLogTest, DeleteAllLogEventsEmptiesAndReportsAnEmptyLog) {
  const MidiLogHandle log = MakeLog(0, {Note(1, 60, 1, 1), Note(2, 60, 1, 1)});
  MidiLogEvent out{};
  MidiEventHandle node = 0;
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log, 0, 0, &out, &node), 1);
  EXPECT_EQ(MidiDeleteAllLogEvents(log), 1);
  EXPECT_EQ(Count(log), 0);
  EXPECT_EQ(MidiDeleteAllLogEvents(log), 0);
  // The host's node of the emptied log is refused, not walked into the free list.
  EXPECT_EQ(MidiGetLogNxtEvent(node, 0, &out, &node), 0);
  EXPECT_EQ(node, 0u);
  const MidiLogEvent again = Note(5, 61, 2, 2);
  ASSERT_EQ(MidiAddLogEvent(log, &again), 1);
  EXPECT_EQ(Stored(log), Events{again});
}

TEST_F(MidiLogTest, HandlesOfDeletedOrUnknownLogsAreRefused) {
  const MidiLogHandle log = MakeLog(0, {Note(1, 60, 1, 1)});
  const MidiLogHandle other = MakeLog(0, {Note(1, 61, 1, 1)});
  ASSERT_EQ(MidiDeleteLog(log), 1);
  const MidiLogHandle reused = MakeLog();  // may take the deleted log's slot
  MidiLogEvent e = Note(3, 60, 1, 1);
  int32_t n = 0;
  for (MidiLogHandle bad : {log, MidiLogHandle{0}, MidiLogHandle{0xFFFFFFFF}, other + 1000}) {
    EXPECT_EQ(MidiAddLogEvent(bad, &e), 0);
    EXPECT_EQ(MidiGetLogEventCnt(bad, &n), 0);
    EXPECT_EQ(MidiGetAllLogEvents(bad, &n, &e), 0);
    EXPECT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(bad, 0, 0, &e, nullptr), 0);
    EXPECT_EQ(MidiDeleteAllLogEvents(bad), 0);
    EXPECT_EQ(MidiDeleteLog(bad), 0);
  }
  EXPECT_EQ(Count(reused), 0);
  EXPECT_EQ(Count(other), 1);
  MidiLogHandle out = 77;
  EXPECT_EQ(MidiCreateLog(nullptr, 0), 0);
  EXPECT_EQ(MidiAddLogEvent(other, nullptr), 0);
  EXPECT_EQ(MidiCreateLog(&out, 0), 1);
}

TEST_F(MidiLogTest, LastLogTakesTheEventHeapWithIt) {
  const MidiLogHandle a = MakeLog(0, {Note(1, 60, 1, 1), Note(2, 60, 1, 1), Note(3, 60, 1, 1)});
  ASSERT_EQ(MidiDeleteLog(a), 1);
  EXPECT_FALSE(Lib().events.Exists());
  const MidiLogHandle b = MakeLog(0, {Note(7, 60, 1, 1)});
  MidiLogEvent out{};
  MidiEventHandle node = 0;
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(b, 0, 0, &out, &node), 1);
  EXPECT_EQ(node, 1u) << "a fresh heap hands out its first node first";
}

TEST_F(MidiLogTest, FullHeapRefusesNewEventsButStillMerges) {
  MidiSetHeapBlockLimit(MidiHeapKind::kEvents, 1);
  const MidiLogHandle log = MakeLog();
  for (uint32_t i = 0; i < kEventsPerBlock; ++i) {
    const MidiLogEvent e = Ev(i, kMidiControl, 7, 1);
    ASSERT_EQ(MidiAddLogEvent(log, &e), 1) << i;
  }
  const Events before = Stored(log);
  const MidiLogEvent extra = Ev(5, kMidiControl, 8, 1);
  EXPECT_EQ(MidiAddLogEvent(log, &extra), 0);
  EXPECT_EQ(Stored(log), before) << "a failed add changes nothing";
  const MidiLogEvent update = Ev(5, kMidiControl, 7, 99);
  EXPECT_EQ(MidiAddLogEvent(log, &update), 1);
  EXPECT_EQ(Stored(log)[5], update);
  // Deleted events are recycled.
  ASSERT_EQ(MidiDeleteAllLogEvents(log), 1);
  const MidiLogHandle second = MakeLog();
  for (uint32_t i = 0; i < kEventsPerBlock; ++i) {
    const MidiLogEvent e = Ev(i, kMidiControl, 7, 1);
    ASSERT_EQ(MidiAddLogEvent(second, &e), 1) << i;
  }
  EXPECT_EQ(Count(second), static_cast<int32_t>(kEventsPerBlock));
}

}  // namespace
