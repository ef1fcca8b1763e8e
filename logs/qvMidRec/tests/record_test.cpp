// Recorded short messages written into the log of a record view.
#include <vector>

#include "logs/qvMidRec/tests/midlog_fixture.h"

namespace {

using Events = std::vector<MidiLogEvent>;

class RecordTest : public MidiLogTest {
 protected:
  // A sample log seen by a record view at 1000 (log origin at 1000).
  void SetUp() override {
    MidiLogTest::SetUp();
    log_ = MakeLog();
    list_ = MakeList(0, 1, {MidiView{1000, 1000, 0, log_}});
    view_ = MidiFirstView(list_);
  }
  int32_t Write(uint32_t position, uint32_t message, uint32_t cap = 5000) {
    return WriteRecordedEvent(view_, position, message, cap);
  }

  MidiLogHandle log_ = 0;
  MidiViewListHandle list_ = 0;
  MidiViewHandle view_ = 0;
};

TEST_F(RecordTest, EachMessageBecomesItsEvent) {
  struct {
    uint32_t position, message, cap;
    int32_t result;
    Events stored;
  } const cases[] = {
      {1100, Msg(0x90, 60, 100), 5000, 1, {Note(100, 60, 100, 3900)}},  // lasts to the cap
      {1100, Msg(0x9F, 60, 100), 1101, 1, {Note(100, 60, 100, 1)}},
      {1100, Msg(0x90, 60, 100), 1100, 0, {}},  // no length left before the cap
      {1100, Msg(0x90, 60, 100), 1099, 0, {}},  // cap before the message
      {1100, Msg(0xA0, 60, 33), 0, 1, {Ev(100, kMidiKeyPressure, 60, 33)}},
      {1100, Msg(0xB3, 7, 100), 0, 1, {Ev(100, kMidiControl, 7, 100)}},
      {1100, Msg(0xC0, 12), 0, 1, {Ev(100, kMidiProgram, 0, 12)}},
      {1100, Msg(0xD0, 90), 0, 1, {Ev(100, kMidiChannelPressure, 0, 90)}},
      {1100, Msg(0xE0, 0x7F, 0x40), 0, 1, {Ev(100, kMidiPitchBend, 0, 0x407F)}},
      {1100, Msg(0xF8, 0), 5000, 0, {}},
      {1100, Msg(0x45, 1, 1), 5000, 0, {}},          // not a status byte
      {1100, Msg(0x80, 60, 64), 5000, 0, {}},        // note-off without a note
      {999, Msg(0xB0, 7, 1), 5000, 0, {}},           // before the log's origin
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Write(c.position, c.message, c.cap), c.result) << std::hex << c.message;
    EXPECT_EQ(Stored(log_), c.stored) << std::hex << c.message;
    MidiDeleteAllLogEvents(log_);
  }
}

TEST_F(RecordTest, NoteOffShortensTheNearestNoteOfItsNumber) {
  ASSERT_EQ(Write(1100, Msg(0x90, 60, 100)), 1);
  ASSERT_EQ(Write(1120, Msg(0x90, 62, 90)), 1);
  ASSERT_EQ(Write(1130, Msg(0x90, 60, 80)), 1);
  EXPECT_EQ(Write(1150, Msg(0x80, 60, 0)), 1);  // ends the second 60
  EXPECT_EQ(Write(1160, Msg(0x90, 62, 0)), 1);  // a note-on of velocity 0 is a note-off
  EXPECT_EQ(Write(1170, Msg(0x80, 61, 0)), 0);  // no note 61
  EXPECT_EQ(Write(1180, Msg(0x80, 60, 0)), 1);  // the nearest 60 again: no longer than it was
  EXPECT_EQ(Stored(log_), (Events{Note(100, 60, 100, 3900), Note(120, 62, 90, 40), Note(130, 60, 80, 20)}));
}

TEST_F(RecordTest, NoteOffAtItsNotesPositionRemovesTheNote) {
  ASSERT_EQ(Write(1100, Msg(0x90, 60, 100)), 1);
  ASSERT_EQ(Write(1100, Msg(0x90, 61, 100)), 1);
  EXPECT_EQ(Write(1100, Msg(0x80, 60, 0)), 0);
  EXPECT_EQ(Stored(log_), (Events{Note(100, 61, 100, 3900)}));
  ASSERT_EQ(Write(1200, Msg(0xB0, 1, 1)), 1);
  EXPECT_EQ(Stored(log_), (Events{Note(100, 61, 100, 3900), Ev(200, kMidiControl, 1, 1)}));
}

// The removed node goes back to the free list and is handed to the next log
// that adds; neither the log's cursor nor any other view may still stand on it.
TEST_F(RecordTest, RemovedNoteLeavesNoCursorOnItsRecycledNode) {
  const MidiLogEvent before = Ev(50, kMidiControl, 1, 1);
  ASSERT_EQ(MidiAddLogEvent(log_, &before), 1);
  ASSERT_EQ(Write(1100, Msg(0x90, 60, 100)), 1);
  MakeList(0, 0, {MidiView{1000, 1000, 0, log_}});
  MidiLogEvent out{};
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log_, kMidiNote, 0, &out, nullptr), 1);  // log cursor on it
  FreePlayList(BuildPlayList(0, 0, 1));  // play view cursor on it
  ASSERT_EQ(Write(1100, Msg(0x80, 60, 0)), 0);

  const MidiLogHandle other = MakeLog(0, {Ev(100, kMidiControl, 9, 9)});  // takes the recycled node
  const MidiLogEvent after = Ev(300, kMidiControl, 2, 2);
  ASSERT_EQ(MidiAddLogEvent(log_, &after), 1);
  EXPECT_EQ(Stored(log_), (Events{before, after}));
  EXPECT_EQ(Stored(other), (Events{Ev(100, kMidiControl, 9, 9)}));
  EXPECT_EQ(Take(BuildPlayList(0, 0, 1)), (std::vector<MidiPlayEntry>{{1050, Msg(0xB0, 1, 1)}, {1300, Msg(0xB0, 2, 2)}}));
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log_, 0, 100, &out, nullptr), 1);
  EXPECT_EQ(out, after);
  ASSERT_EQ(Write(1400, Msg(0xB0, 3, 3)), 1);
  EXPECT_EQ(Stored(log_).back(), Ev(400, kMidiControl, 3, 3));
}

TEST_F(RecordTest, EqualEventsAreNotMerged) {
  ASSERT_EQ(Write(1100, Msg(0xB0, 7, 1)), 1);
  ASSERT_EQ(Write(1100, Msg(0xB0, 7, 2)), 1);
  ASSERT_EQ(Write(1050, Msg(0xB0, 7, 0)), 1);
  EXPECT_EQ(Stored(log_), (Events{Ev(50, kMidiControl, 7, 0), Ev(100, kMidiControl, 7, 1), Ev(100, kMidiControl, 7, 2)}));
}

TEST_F(RecordTest, TickLogIsWrittenThroughTheHostConversion) {
  // Origin 24000, 25 samples a tick.
  const MidiLogHandle ticks = MakeLog(960);
  const MidiViewListHandle list = MakeList(1, 1, {MidiView{48000, 48000, 24000, ticks}});
  const MidiViewHandle view = MidiFirstView(list);
  ASSERT_EQ(WriteRecordedEvent(view, 48000, Msg(0x90, 60, 1), 72000), 1);
  ASSERT_EQ(WriteRecordedEvent(view, 49000, Msg(0x90, 60, 0), 72000), 1);
  EXPECT_EQ(Stored(ticks), (Events{Note(960, 60, 1, 40)}));
}

TEST_F(RecordTest, RefusesViewsThatAreGoneAndFullHeaps) {
  MidiSetHeapBlockLimit(MidiHeapKind::kEvents, 1);
  for (uint32_t i = 0; i < kEventsPerBlock; ++i) ASSERT_EQ(Write(1000 + i, Msg(0xB0, 7, 1)), 1);
  EXPECT_EQ(Write(1000, Msg(0xB0, 7, 1)), 0);
  EXPECT_EQ(Count(log_), static_cast<int32_t>(kEventsPerBlock));
  EXPECT_EQ(WriteRecordedEvent(0, 1000, Msg(0xB0, 7, 1), 5000), 0);
  ASSERT_EQ(MidiDeleteLog(log_), 1);
  EXPECT_EQ(Write(1000, Msg(0xB0, 7, 1)), 0) << "the view's log is gone";
  ASSERT_EQ(MidiDeleteViewList(list_), 1);
  EXPECT_EQ(Write(1000, Msg(0xB0, 7, 1)), 0) << "the view is gone";
}

}  // namespace
