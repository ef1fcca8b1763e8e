// Play lists from the play view lists, and chase lists from play lists.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "logs/qvMidRec/tests/midlog_fixture.h"

namespace {

using Entries = std::vector<MidiPlayEntry>;

TEST_F(MidiLogTest, NoteBecomesNoteOnAndNoteOffOnTheTracksChannel) {
  const MidiLogHandle log = MakeLog(0, {Note(100, 60, 100, 50)});
  MakeList(2, 0, {MidiView{1000, 500, 0, log}});
  const Entries expected = {{1100, 0x92 | 60 << 8 | 100 << 16}, {1150, 0x92 | 60 << 8}};
  EXPECT_EQ(Take(BuildPlayList(0, 0, 3)), expected) << "omni: track 2 is channel index 2";
  EXPECT_EQ(Take(BuildPlayList(3, 2, 1)), expected) << "channel 3 is channel index 2";
  EXPECT_EQ(Take(BuildPlayList(3, 2, 0)), Entries{}) << "no tracks";
}

TEST_F(MidiLogTest, EachKindBecomesItsShortMessage) {
  struct {
    MidiLogEvent event;
    Entries expected;  // on channel 6 (index 5), view at 0
  } const cases[] = {
      {Note(10, 64, 127, 3), {{10, Msg(0x95, 64, 127)}, {13, Msg(0x95, 64)}}},
      {Ev(10, kMidiKeyPressure, 64, 33), {{10, Msg(0xA5, 64, 33)}}},
      {Ev(10, kMidiControl, 7, 100), {{10, Msg(0xB5, 7, 100)}}},
      {Ev(10, kMidiProgram, 0, 12), {{10, Msg(0xC5, 12)}}},
      {Ev(10, kMidiChannelPressure, 0, 90), {{10, Msg(0xD5, 90)}}},
      {Ev(10, kMidiPitchBend, 0, 0x4000), {{10, Msg(0xE5, 0x00, 0x40)}}},
      {Ev(10, kMidiPitchBend, 0, 0x7F7F), {{10, Msg(0xE5, 0x7F, 0x7F)}}},
      {Ev(10, 0, 1, 1), {}},
      {Ev(10, 7, 1, 1), {}},
      {Ev(10, 200, 1, 1), {}},
  };
  for (const auto& c : cases) {
    const MidiLogHandle log = MakeLog(0, {c.event});
    const MidiViewListHandle list = MakeList(5, 0, {MidiView{0, 100, 0, log}});
    EXPECT_EQ(Take(BuildPlayList(6, 5, 1)), c.expected) << "kind " << int{c.event.kind};
    MidiDeleteViewList(list);
    MidiDeleteLog(log);
  }
}

TEST_F(MidiLogTest, ViewPlaysItsLogRangeStartIncludedEndExcluded) {
  // Log range [200, 700) placed at 1000.
  const MidiLogHandle log = MakeLog(0, {Ev(199, kMidiControl, 1, 1), Ev(200, kMidiControl, 2, 2),
                                        Note(650, 60, 9, 100), Ev(699, kMidiControl, 3, 3),
                                        Ev(700, kMidiControl, 4, 4)});
  MakeList(0, 0, {MidiView{1000, 500, 200, log}});
  const Entries expected = {{1000, Msg(0xB0, 2, 2)},
                            {1450, Msg(0x90, 60, 9)},
                            {1499, Msg(0xB0, 3, 3)},
                            {1550, Msg(0x90, 60)}};  // a note's end may lie past the view
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), expected);
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), expected) << "built again from the views' cursors";
}

TEST_F(MidiLogTest, TracksMapToConsecutiveChannels) {
  const MidiLogHandle log = MakeLog(0, {Ev(0, kMidiControl, 7, 1)});
  for (uint32_t track : {3u, 4u, 9u, 15u, 16u, 17u}) MakeList(track, 0, {MidiView{track, 10, 0, log}});
  MakeList(5, 1, {MidiView{5, 10, 0, log}});  // record lists are never played
  struct {
    const char* name;
    uint32_t channel, firstTrack, count;
    Entries expected;
  } const cases[] = {
      {"omni from track 4", 0, 4, 12, {{4, Msg(0xB0, 7, 1)}, {9, Msg(0xB5, 7, 1)}, {15, Msg(0xBB, 7, 1)}}},
      {"channel 5, track 3", 5, 3, 1, {{3, Msg(0xB4, 7, 1)}}},
      {"channel 16, track 16", 16, 16, 1, {{16, Msg(0xBF, 7, 1)}}},
      {"no channel past 16", 0, 0, 20,
       {{3, Msg(0xB3, 7, 1)}, {4, Msg(0xB4, 7, 1)}, {9, Msg(0xB9, 7, 1)}, {15, Msg(0xBF, 7, 1)}}},
      {"channel 16 takes one track", 16, 15, 3, {{15, Msg(0xBF, 7, 1)}}},
      {"channel 2 from track 15", 2, 15, 3, {{15, Msg(0xB1, 7, 1)}, {16, Msg(0xB2, 7, 1)}, {17, Msg(0xB3, 7, 1)}}},
      {"channel 17 does not exist", 17, 3, 1, {}},
      {"first track near the end of the range", 0, 0xFFFFFFFF, 16, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Take(BuildPlayList(c.channel, c.firstTrack, c.count)), c.expected) << c.name;
}

// Whatever the order of tracks, views and notes, the list is the stable sort
// by position of the messages in the order they were built.
TEST_F(MidiLogTest, PlayListIsOrderedAndStableAcrossTracksAndViews) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<uint32_t> pos(0, 2000), len(0, 300), d(0, 127), kind(1, 6);
  Entries model;
  for (uint32_t track = 0; track < 3; ++track) {
    std::vector<MidiLogEvent> events;
    for (int i = 0; i < 300; ++i) {
      events.push_back(Ev(pos(rng), static_cast<uint8_t>(kind(rng)), static_cast<uint8_t>(d(rng)),
                          static_cast<int16_t>(d(rng)), 0));
      if (events.back().kind == kMidiNote) events.back().value = len(rng);
      else if (events.back().kind >= kMidiProgram) events.back().data1 = 0;
    }
    const MidiLogHandle log = MakeLog(0, events);
    const std::vector<MidiView> views = {{5000, 1000, 500, log}, {100, 800, 0, log}, {100, 300, 1500, log}};
    MakeList(track, 0, views);
    // The views as the list orders them: by start, equal starts as added.
    for (const MidiView& v : {views[1], views[2], views[0]}) {
      for (const MidiLogEvent& e : Stored(log)) {
        if (e.position < v.offset || e.position >= v.offset + v.length) continue;
        uint32_t m = 0;
        const uint32_t d1 = e.data1, d2 = static_cast<uint16_t>(e.data2);
        switch (e.kind) {
          case 1: m = Msg(0x90 | track, d1, d2 & 0xFF); break;
          case 2: m = Msg(0xA0 | track, d1, d2 & 0xFF); break;
          case 3: m = Msg(0xB0 | track, d1, d2 & 0xFF); break;
          case 4: m = Msg(0xC0 | track, d2 & 0xFF); break;
          case 5: m = Msg(0xD0 | track, d2 & 0xFF); break;
          case 6: m = (0xE0 | track) | d2 << 8; break;
        }
        model.push_back({e.position - v.offset + v.start, m});
        if (e.kind == 1) model.push_back({e.position + e.value - v.offset + v.start, m & 0xFF9F});
      }
    }
  }
  std::stable_sort(model.begin(), model.end(),
                   [](const MidiPlayEntry& a, const MidiPlayEntry& b) { return a.position < b.position; });
  EXPECT_EQ(Take(BuildPlayList(0, 0, 3)), model);
}

TEST_F(MidiLogTest, TickLogIsPlacedThroughTheHostConversions) {
  // 960 ticks per quarter, 24000 samples per quarter: 25 samples a tick.
  // Origin 24000; the view shows ticks [960, 2880).
  const MidiLogHandle log = MakeLog(960, {Ev(959, kMidiControl, 1, 1), Note(960, 60, 1, 96),
                                          Ev(2879, kMidiControl, 2, 2), Ev(2880, kMidiControl, 3, 3)});
  MakeList(0, 0, {MidiView{48000, 48000, 24000, log}});
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), (Entries{{48000, Msg(0x90, 60, 1)},
                                                   {50400, Msg(0x90, 60)},
                                                   {24000 + 2879 * 25, Msg(0xB0, 2, 2)}}));
  // Without the host's conversions a tick log plays nothing; a sample log still does.
  const MidiInitRecord none{};
  MidiSetInitRecord(&none);
  const MidiLogHandle samples = MakeLog(0, {Ev(0, kMidiControl, 4, 4)});
  MakeList(1, 0, {MidiView{7, 10, 0, samples}});
  EXPECT_EQ(Take(BuildPlayList(0, 0, 2)), (Entries{{7, Msg(0xB1, 4, 4)}}));
}

TEST_F(MidiLogTest, PlayListLacksWhatTheHeapCannotHold) {
  MidiSetHeapBlockLimit(MidiHeapKind::kPlayNodes, 1);
  std::vector<MidiLogEvent> notes;
  for (uint32_t i = 0; i < 600; ++i) notes.push_back(Note(i * 10, 60, 1, 5));
  MakeList(0, 0, {MidiView{0, 100000, 0, MakeLog(0, notes)}});
  const MidiPlayList list = BuildPlayList(0, 0, 1);
  EXPECT_EQ(BuildPlayList(0, 0, 1), 0u) << "every node is in use";
  const Entries got = Take(list);
  EXPECT_EQ(got.size(), kPlayNodesPerBlock);
  EXPECT_TRUE(std::is_sorted(got.begin(), got.end(),
                             [](const MidiPlayEntry& a, const MidiPlayEntry& b) { return a.position < b.position; }));
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)).size(), kPlayNodesPerBlock) << "freed nodes are used again";
  EXPECT_EQ(FreePlayList(0), 0);
}

TEST_F(MidiLogTest, RebuildAfterTheLogChangesUnderTheViewsCursor) {
  const MidiLogHandle log = MakeLog(0, {Ev(10, kMidiControl, 1, 1), Ev(20, kMidiControl, 2, 2)});
  MakeList(0, 0, {MidiView{0, 100, 0, log}});
  FreePlayList(BuildPlayList(0, 0, 1));  // the view's cursor now stands on the event at 20
  ASSERT_EQ(MidiDeleteAllLogEvents(log), 1);
  const MidiLogHandle other = MakeLog(0, {Ev(50, kMidiControl, 9, 9), Ev(60, kMidiControl, 9, 9)});
  const MidiLogEvent e = Ev(30, kMidiControl, 3, 3);
  ASSERT_EQ(MidiAddLogEvent(log, &e), 1);
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), (Entries{{30, Msg(0xB0, 3, 3)}}));
  // A deleted log's view plays nothing.
  ASSERT_EQ(MidiDeleteLog(log), 1);
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), Entries{});
  EXPECT_EQ(Count(other), 2);
}

struct ChaseCase {
  const char* name;
  std::vector<MidiLogEvent> track0, track1;
  uint32_t position;
  Entries expected;
};

class ChaseListTest : public MidiLogTest, public ::testing::WithParamInterface<ChaseCase> {};

TEST_P(ChaseListTest, KeepsTheLastValueOfEachControllerBeforeThePosition) {
  const ChaseCase& c = GetParam();
  MakeList(0, 0, {MidiView{0, 100000, 0, MakeLog(0, c.track0)}});
  MakeList(1, 0, {MidiView{0, 100000, 0, MakeLog(0, c.track1)}});
  const MidiPlayList play = BuildPlayList(0, 0, 2);
  EXPECT_EQ(Take(BuildChaseList(play, c.position)), c.expected);
  FreePlayList(play);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChaseListTest,
    ::testing::Values(
        ChaseCase{"BeforeTheFirstEventEmpty", {Ev(100, kMidiControl, 7, 1)}, {}, 100, {}},
        ChaseCase{"LaterValueOfAControllerWins",
                  {Ev(10, kMidiControl, 7, 10), Ev(20, kMidiControl, 7, 20)}, {}, 100,
                  {{100, Msg(0xB0, 7, 20)}}},
        ChaseCase{"ProgramReplacedWhateverItsData",
                  {Ev(10, kMidiProgram, 0, 5), Ev(20, kMidiProgram, 0, 9)}, {}, 100,
                  {{100, Msg(0xC0, 9)}}},
        ChaseCase{"NotesAreNotChased", {Note(10, 60, 100, 5), Note(20, 61, 100, 500)}, {}, 100, {}},
        ChaseCase{"InOrderOfFirstAppearance",
                  {Ev(10, kMidiControl, 7, 1), Ev(20, kMidiControl, 10, 2), Ev(30, kMidiControl, 7, 3)}, {}, 100,
                  {{100, Msg(0xB0, 7, 3)}, {100, Msg(0xB0, 10, 2)}}},
        ChaseCase{"EventsAtThePositionAreLeftToPlay",
                  {Ev(10, kMidiControl, 7, 1), Ev(100, kMidiControl, 7, 2)}, {}, 100,
                  {{100, Msg(0xB0, 7, 1)}}},
        ChaseCase{"KeyPressurePerKeyBendAndPressurePerChannel",
                  {Ev(1, kMidiKeyPressure, 60, 1), Ev(2, kMidiKeyPressure, 61, 2), Ev(3, kMidiKeyPressure, 60, 3),
                   Ev(4, kMidiPitchBend, 0, 0x1010), Ev(5, kMidiChannelPressure, 0, 4),
                   Ev(6, kMidiPitchBend, 0, 0x2020), Ev(7, kMidiChannelPressure, 0, 5)},
                  {}, 50,
                  {{50, Msg(0xA0, 60, 3)}, {50, Msg(0xA0, 61, 2)}, {50, 0xE0 | 0x2020 << 8}, {50, Msg(0xD0, 5)}}},
        ChaseCase{"ChannelsKeptApart",
                  {Ev(10, kMidiControl, 7, 1), Ev(30, kMidiProgram, 0, 3)},
                  {Ev(20, kMidiControl, 7, 2), Ev(40, kMidiProgram, 0, 4)}, 100,
                  {{100, Msg(0xB0, 7, 1)}, {100, Msg(0xB1, 7, 2)}, {100, Msg(0xC0, 3)}, {100, Msg(0xC1, 4)}}}),
    [](const ::testing::TestParamInfo<ChaseCase>& info) { return std::string(info.param.name); });

TEST_F(MidiLogTest, ChaseOfNoListIsEmpty) {
  EXPECT_EQ(BuildChaseList(0, 100), 0u);
  EXPECT_EQ(BuildChaseList(12345, 100), 0u);
}

}  // namespace
