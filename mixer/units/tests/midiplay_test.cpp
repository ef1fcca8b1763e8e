// MIDI record and playback over the real log library and real Midi Take
// files: matching, the compile of view lists, saving and loading logs, and
// the seamless-loop range.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/tests/takeattr_fixture.h"
#include "mixer/units/midiplay.h"
#include "mixer/units/playlist.h"

// No native device here: audio play lists are not sent.
int SendTrackPlayList(int32_t, const PlayList*, int32_t) { return 0; }

namespace {

struct HostState {
  int transport = 2, passLaidOut = 0, seamless = 0;
  int32_t now = 0, left = 1000, right = 5000, preRoll = 100, postRoll = 200;
  uint32_t mode = 0;
  int32_t pass = 0, passes = 1;
  std::vector<std::string> messages;
  int loopCalls = 0;
  int prepCalls = 0;
};
HostState g;

const MidiPlayHost kHost = {
    [] { return g.transport; },
    [] { return g.passLaidOut; },
    [] { return g.seamless; },
    [] { return g.now; },
    [] { return g.left; },
    [] { return g.right; },
    [] { return g.mode; },
    [] { return g.preRoll; },
    [] { return g.postRoll; },
    [] { return g.pass; },
    [] { return g.passes; },
    [](uint32_t id, const char* arg) { g.messages.push_back(std::to_string(id) + (arg ? std::string(" ") + arg : "")); },
};

// The library as linked, with the loop and prepare calls counted.
MidiLibApi CountingApi() {
  MidiLibApi api = *MidiLibStaticApi();
  api.setSeamlessLoopParams = [](uint32_t e, uint32_t s, uint32_t n, uint32_t p) {
    ++g.loopCalls;
    return MidiLibStaticApi()->setSeamlessLoopParams(e, s, n, p);
  };
  api.prepPlayBufs = [](uint32_t p) {
    ++g.prepCalls;
    return MidiLibStaticApi()->prepPlayBufs(p);
  };
  return api;
}

int32_t QVMIV_CALLBACK SpanToTicks(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }
uint32_t QVMIV_CALLBACK TicksToLoc(uint32_t, uint32_t, uint32_t, uint32_t) { return 0; }

MidiLogEvent Note(uint32_t at, uint8_t note) { return {at, kMidiNote, note, 100, 50}; }

class MidiPlay : public TakeFileTest {
 protected:
  void SetUp() override {
    TakeFileTest::SetUp();
    g = HostState{};
    MidiLibRelease();
    static const MidiInitRecord init{SpanToTicks, TicksToLoc};
    MidiSetInitRecord(&init);
    api = CountingApi();
    MidiBindLib(&api);
    MidiSetHost(&kHost);
    arr = ArrNew(nullptr);
    ASSERT_NE(arr, nullptr);
  }
  void TearDown() override {
    MidiPlayReset();
    MidiBindLib(nullptr);
    MidiLibRelease();
    ArrHeap.Free(arr);
    EXPECT_EQ(PlayListHeapBlocks(), 0);
    TakeFileTest::TearDown();
  }
  // A Midi Take in sample positions (resolution 0) holding `events`.
  TakeRec* MidiTake(const std::vector<MidiLogEvent>& events) {
    uint32_t error = 0;
    const auto bytes = static_cast<uint32_t>(events.size() * sizeof(MidiLogEvent));
    TakeRec* take = TakeCreateMidi(dir.c_str(), 0, 0, 0, bytes, 0, 0, 0, 0, nullptr, nullptr,
                                   nullptr, nullptr, &error);
    EXPECT_NE(take, nullptr) << error;
    if (!events.empty()) {
      EXPECT_EQ(TakeDataIo(take, 1, 0, bytes, const_cast<MidiLogEvent*>(events.data()), &error), 1);
    }
    EXPECT_EQ(TakeSetAttr(take, kTakeAttrMidiWord3, events.size(), &error), 1);
    return take;
  }
  uint32_t AddPart(uint32_t track, int32_t start, int32_t length, TakeRec* take, int32_t channel) {
    PartRec p;
    std::memset(&p, 0, sizeof p);
    p.Start = start;
    p.Length = length;
    p.Take = TakeRef(take);
    p.TakeKind = kTakeMidi;
    p.PlayChannel = channel;
    p.GainStart = p.GainEnd = 32768;
    p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
    p.Next = kArrNoSlot;
    uint32_t slot = kArrNoSlot;
    EXPECT_EQ(ArrInsertPart(&arr, p, &slot, track, nullptr), 1);
    ArrRelinkOverlaps(arr);
    return slot;
  }
  static MidiTakeLog* LogOf(TakeRec* take) { return MidiTakeLogOf(take); }
  // The views of a play (0) or record (1) list: {start, length, log}.
  static std::vector<std::vector<uint32_t>> Views(MidiViewListHandle list) {
    std::vector<std::vector<uint32_t>> out;
    for (MidiViewHandle v = list ? MidiFirstView(list) : 0; v != 0; v = MidiNextView(v)) {
      MidiView view{};
      MidiGetView(v, &view);
      out.push_back({view.start, view.length, view.offset, view.log});
    }
    return out;
  }
  static std::vector<MidiLogEvent> Stored(TakeRec* take) {
    const auto n = static_cast<uint32_t>(TakeGetAttr(take, kTakeAttrMidiWord3));
    std::vector<MidiLogEvent> out(n);
    uint32_t error = 0;
    if (n) {
      EXPECT_EQ(TakeDataIo(take, 0, 0, n * 12, out.data(), &error), 1);
    }
    return out;
  }

  MidiLibApi api{};
  ArrRec* arr = nullptr;
};

TEST_F(MidiPlay, PartMatching) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  p.TakeKind = kTakeMidi;
  struct Case {
    const char* name;
    int kind, seamless;
    int32_t channel, wanted, pass, passes;
    int match;
    int32_t loopPass;
  };
  const Case cases[] = {
      {"same channel", kTakeMidi, 0, 5, 5, 0, 1, 1, 0},
      {"other channel", kTakeMidi, 0, 5, 6, 0, 1, 0, 0},
      {"audio Part", kTakeAudio, 0, 5, 5, 0, 1, 0, 0},
      {"channel above 128 is 0", kTakeMidi, 0, 200, 5, 0, 1, 0, 0},
      {"channel above 128 against 0", kTakeMidi, 0, 200, 0, 0, 1, 1, 0},
      {"seamless, pass 2 of channel 5", kTakeMidi, 1, -(192 * 2 + 5), 5, 0, 1, 1, 2},
      {"seamless, other channel", kTakeMidi, 1, -(192 * 2 + 5), 6, 0, 1, 0, 0},
      {"stacked, current pass", kTakeMidi, 0, -(192 * 1 + 5), 5, 4, 3, 1, 0},
      {"stacked, another pass", kTakeMidi, 0, -(192 * 2 + 5), 5, 4, 3, 0, 0},
  };
  for (const Case& c : cases) {
    p.TakeKind = static_cast<uint8_t>(c.kind);
    p.PlayChannel = c.channel;
    g.seamless = c.seamless;
    g.pass = c.pass;
    g.passes = c.passes;
    int32_t pass = -1;
    EXPECT_EQ(MidiPartMatch(p, c.wanted, &pass), c.match) << c.name;
    if (c.match) {
      EXPECT_EQ(pass, c.loopPass) << c.name;
    }
  }
}

TEST_F(MidiPlay, CompileChoosesTheLowerTrackAndClipsOverlaps) {
  TakeRec* a = MidiTake({Note(0, 60)});
  TakeRec* b = MidiTake({Note(0, 62), Note(10, 64)});
  TakeRec* c = MidiTake({});
  AddPart(3, 1000, 2000, a, 1);  // lower track, same start: plays
  AddPart(7, 1000, 3000, b, 1);  // plays on after the first ends
  AddPart(2, 10000, 500, c, 2);  // MIDI track 2
  AddPart(4, 20000, 500, c, 200);  // channel above 128: nowhere
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, 0, 0), 1);
  const MidiTakeLog* la = LogOf(a);
  const MidiTakeLog* lb = LogOf(b);
  ASSERT_NE(la, nullptr);
  ASSERT_NE(lb, nullptr);
  EXPECT_EQ(Views(MidiPlaySlot(1)), (std::vector<std::vector<uint32_t>>{{1000, 2000, 0, la->Log},
                                                                       {3000, 1000, 2000, lb->Log}}));
  EXPECT_EQ(Views(MidiPlaySlot(2)).size(), 1u);
  for (int32_t m = 3; m <= kMidiTracks; ++m) EXPECT_EQ(MidiPlaySlot(m), 0u) << m;
  // Logs were loaded from the Takes while stopped.
  EXPECT_EQ(la->EventCount, 1);
  EXPECT_EQ(lb->EventCount, 2);
  EXPECT_TRUE(g.messages.empty());

  // Filter 129 empties every list and frees no log.
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, kMidiFilterNone, 0), 1);
  for (int32_t m = 1; m <= kMidiTracks; ++m) EXPECT_EQ(MidiPlaySlot(m), 0u) << m;
  EXPECT_EQ(LogOf(a), la);
  EXPECT_EQ(LogOf(b), lb);

  // A full compile of an arrangement without the Parts frees the logs.
  ArrRec* empty = ArrNew(nullptr);
  ASSERT_EQ(MidiBuildPlayLists(empty, 0, 0, -1, 0, 0), 1);
  ArrHeap.Free(empty);
  EXPECT_EQ(LogOf(a), nullptr);
  EXPECT_EQ(MidiTakeLogs(), nullptr);
}

TEST_F(MidiPlay, RecordedPartGetsARecordViewAndCutsThePlayedOne) {
  TakeRec* played = MidiTake({Note(0, 60)});
  TakeRec* rec = MidiTake({});
  AddPart(0, 0, 4000, played, 1);
  AddPart(1, 1500, 1000, rec, -1);  // recorded onto channel 1
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 1, -1, 0, 0), 1);
  EXPECT_EQ(Views(MidiPlaySlot(1)), (std::vector<std::vector<uint32_t>>{
                                        {0, 1500, 0, LogOf(played)->Log},
                                        {2500, 1500, 2500, LogOf(played)->Log}}));
  EXPECT_EQ(Views(MidiRecordSlot(1)),
            (std::vector<std::vector<uint32_t>>{{1500, 1000, 0, LogOf(rec)->Log}}));
  const MidiTakeLog* lr = LogOf(rec);
  EXPECT_EQ(lr->Recording, 1);
  EXPECT_EQ(lr->Dirty, 1);
}

TEST_F(MidiPlay, SaveAndLoadRoundTrip) {
  const std::vector<MidiLogEvent> events = {Note(5, 60), Note(20, 62), {30, kMidiControl, 7, 90, 0}};
  TakeRec* take = MidiTake({});
  AddPart(0, 0, 1000, take, 1);
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, 0, 0), 1);
  MidiTakeLog* rec = LogOf(take);
  ASSERT_NE(rec, nullptr);

  // Count 0: nothing is written; the dirty flag is cleared.
  rec->Dirty = 1;
  ASSERT_EQ(MidiSaveLogs(0), 1);
  EXPECT_EQ(rec->Dirty, 0);
  EXPECT_EQ(TakeGetAttr(take, kTakeAttrDataBytes), 0u);

  for (const MidiLogEvent& e : events) ASSERT_EQ(api.addLogEvent(rec->Log, &e), 1);
  rec->EventCount = 3;
  rec->Dirty = 1;
  ASSERT_EQ(MidiSaveLogs(0), 1);
  EXPECT_EQ(rec->Dirty, 0);
  EXPECT_EQ(TakeGetAttr(take, kTakeAttrDataBytes), 36u);
  const std::vector<MidiLogEvent> stored = Stored(take);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(std::memcmp(stored.data(), events.data(), 36), 0);

  // Loaded back into a fresh log.
  MidiPlayReset();
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, 0, 0), 1);
  rec = LogOf(take);
  ASSERT_NE(rec, nullptr);
  std::vector<MidiLogEvent> back(3);
  int32_t n = 3;
  ASSERT_EQ(api.getAllLogEvents(rec->Log, &n, back.data()), 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(std::memcmp(back.data(), events.data(), 36), 0);

  // A Take file that cannot grow: 181 is shown as 328 with the drive.
  rec->EventCount = 4;
  rec->Dirty = 1;
  std::strcpy(take->path, (dir + "gone\\x.mid").c_str());
  EXPECT_EQ(MidiSaveLogs(0), 0);
  ASSERT_EQ(g.messages.size(), 1u);
  EXPECT_EQ(g.messages[0].substr(0, 3), "328");
  EXPECT_EQ(rec->Dirty, 1);
}

// The drawing readers over one log of notes and other events (sample
// positions, origin 1000): the plain forms see notes only, the Ex forms every
// other event with its value (a pitch bend's high byte).
TEST_F(MidiPlay, DrawingReadersSplitNotesFromTheOtherEvents) {
  const std::vector<MidiLogEvent> events = {
      Note(5, 60), {10, kMidiControl, 7, 90, 0}, Note(20, 62),
      {30, kMidiPitchBend, 0, 0x4123, 0}, {40, kMidiProgram, 0, 12, 0}, Note(50, 64)};
  TakeRec* take = MidiTake(events);
  AddPart(0, 1000, 1000, take, 1);
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, 0, 0), 1);
  MidiTakeLog* rec = LogOf(take);
  ASSERT_NE(rec, nullptr);

  std::vector<std::vector<int32_t>> notes, others;
  int32_t pos = 1000 + 6, len = 0, note = 0, value = 0;
  for (MidiEventHandle n = MidiPartFirstEvent(rec, 1000, &pos, &len, &note); n != 0;
       n = MidiPartNextEvent(rec, 1000, n, &pos, &len, &note))
    notes.push_back({pos, len, note});
  EXPECT_EQ(notes, (std::vector<std::vector<int32_t>>{{1020, 50, 62}, {1050, 50, 64}}));

  pos = 1000;
  for (MidiEventHandle n = MidiPartFirstEventEx(rec, 1000, &pos, &value); n != 0;
       n = MidiPartNextEventEx(rec, 1000, n, &pos, &value))
    others.push_back({pos, value});
  EXPECT_EQ(others, (std::vector<std::vector<int32_t>>{{1010, 90}, {1030, 0x41}, {1040, 12}}));

  // Past the last event other than a note: nothing.
  pos = 1041;
  EXPECT_EQ(MidiPartFirstEventEx(rec, 1000, &pos, &value), 0u);
}

TEST_F(MidiPlay, ViewMadeWhileRunningKeepsTheStoredEventsOnSave) {
  const std::vector<MidiLogEvent> old = {Note(5, 60), Note(20, 62)};
  TakeRec* take = MidiTake(old);
  AddPart(0, 0, 1000, take, 1);
  g.transport = 3;  // playing: the log cannot be read now
  ASSERT_EQ(MidiBuildPlayLists(arr, 0, 0, -1, 0, 0), 1);
  MidiTakeLog* rec = LogOf(take);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(rec->EventCount, 0);
  // Something new lands in the log, and the log is saved.
  const MidiLogEvent fresh = Note(40, 64);
  ASSERT_EQ(api.addLogEvent(rec->Log, &fresh), 1);
  rec->EventCount = 1;
  rec->Dirty = 1;
  ASSERT_EQ(MidiSaveLogs(0), 1);
  const std::vector<MidiLogEvent> stored = Stored(take);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0].position, 5u);
  EXPECT_EQ(stored[1].position, 20u);
  EXPECT_EQ(stored[2].position, 40u);
}

TEST_F(MidiPlay, LoopIsSentOnceAndRefusedPastTheEnd) {
  g.seamless = 1;
  ASSERT_EQ(MidiSetLoopRange(1, 1), 1);
  ASSERT_EQ(MidiSetLoopRange(1, 1), 1);
  EXPECT_EQ(g.loopCalls, 1);
  EXPECT_EQ(g.prepCalls, 1);
  // Loop record with rolls: S = 1000 - 100, E = 5000 + 200 + 1.
  g.mode = 6;
  g.passes = 3;
  ASSERT_EQ(MidiSetLoopRange(2, 0), 1);
  EXPECT_EQ(g.loopCalls, 2);
  // A stack of passes past the end of time is refused, nothing sent.
  g.passes = 600000;
  EXPECT_EQ(MidiSetLoopRange(2, 0), 0);
  EXPECT_EQ(g.loopCalls, 2);
  EXPECT_EQ(g.messages, std::vector<std::string>{"343"});
  // Off, then off again.
  g.seamless = 0;
  ASSERT_EQ(MidiSetLoopRange(1, 0), 1);
  ASSERT_EQ(MidiSetLoopRange(0, 0), 1);
  EXPECT_EQ(g.loopCalls, 3);
}

}  // namespace
