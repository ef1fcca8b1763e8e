// Record passes over real Take files: the Parts and Takes one pass lays,
// loop passes stacked on Virtual Tracks, and the stop.
#include <filesystem>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/recchan.h"
#include "mixer/arrange/recpass.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"
#include "mixer/model/util/speaker.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

int32_t g_width = 1;
std::vector<std::string> g_played;

class RecordPass : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("recpass_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_);
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_) + "\\";
    ProcOpts().rec24Bit = 0;
    RecTrkState() = RecTrkStateTable{};
    g_width = 1;
    g_played.clear();
    RecPassSeams s;
    s.groupWidth = [](int32_t) { return g_width; };
    s.columnName = [](int32_t r) { return r == 3 ? "Bass:Line" : ""; };
    s.playTake = [](int32_t r, uint32_t, int32_t start) {
      g_played.push_back(std::to_string(r) + "@" + std::to_string(start));
    };
    RecSetPassSeams(s);
  }
  void TearDown() override {
    RecSetPassSeams(RecPassSeams());
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  void Arm(uint32_t track, int32_t rec) {
    CurArr->Trk[track].RecTrack = static_cast<uint32_t>(rec);
    CurArr->Trk[track].RecKind = kRecKindAudio;
    RecTrkSetState(kRecKindAudio, rec, kRecTrkReady);
  }
  std::vector<PartRec> PartsOn(uint32_t track) {
    std::vector<PartRec> v;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) { v.push_back(p); });
    return v;
  }
  size_t TakeFiles() {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(root_)) n += e.is_regular_file() ? 1 : 0;
    return n;
  }
  fs::path root_;
};

TEST_F(RecordPass, OnePassLaysAPartPerArmedTrackAboveWhatItCovers) {
  Arm(0, 1);
  Arm(2, 3);
  const uint32_t under = Add(2, NewPart(500, 1000, 1, kTakeAudio));
  P(under).PlayChannel = 3;
  int32_t start = 1000, end = 1480;
  int conflict = -1;
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, &conflict), 1);
  EXPECT_EQ(conflict, 1);  // the new Part on track 2 covers a Part playing channel 3
  const std::vector<PartRec> t0 = PartsOn(0);
  ASSERT_EQ(t0.size(), 1u);
  EXPECT_EQ(t0[0].Start, 1000);
  EXPECT_EQ(t0[0].Length, 480);
  EXPECT_EQ(t0[0].Offset, 0);
  EXPECT_EQ(t0[0].PlayChannel, -1);
  EXPECT_EQ(t0[0].Layer, 0);
  EXPECT_EQ(std::string(t0[0].Name), "Audio #01");
  TakeRec* take = TakeFromRef(t0[0].Take);
  ASSERT_NE(take, nullptr);
  EXPECT_EQ(TakeGetAttr(take, kTakeAttrLength), 480u);
  EXPECT_EQ(TakeGetAttr(take, kTakeAttrBytesPerSample), 2u);
  const std::vector<PartRec> t2 = PartsOn(2);
  ASSERT_EQ(t2.size(), 2u);
  EXPECT_EQ(t2[1].Layer, 1);  // above the Part it covers
  EXPECT_EQ(std::string(t2[1].Name), "Bass Line #01");
  EXPECT_EQ(g_played, (std::vector<std::string>{"1@1000", "3@1000"}));

  ASSERT_EQ(ArrRecordStop(1300, 0), 1);
  const std::vector<PartRec> after = PartsOn(0);
  EXPECT_EQ(after[0].PlayChannel, 1);
  EXPECT_EQ(after[0].Length, 300);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(after[0].Take), kTakeAttrLength), 300u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(after[0].Take), kTakeAttrCreatorValue), 100u);
  // One step undoes the whole recording.
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_TRUE(PartsOn(0).empty());
}

TEST_F(RecordPass, MultiChannelTrackGetsOneTakePerChannelOnConsecutiveTracks) {
  g_width = 2;
  Arm(4, 10);
  CurArr->Trk[5].RecTrack = 10;
  CurArr->Trk[5].RecKind = kRecKindAudio;
  CurArr->Trk[4].Flags = kTrkLinkNext;
  CurArr->Trk[5].Flags = kTrkLinkPrev;
  int32_t start = 0, end = 100;
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
  const std::vector<PartRec> a = PartsOn(4), b = PartsOn(5);
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(a[0].PlayChannel, -10);
  EXPECT_EQ(b[0].PlayChannel, -58);  // 48 record tracks further
  EXPECT_EQ(a[0].Flags & kPartLinkNext, kPartLinkNext);
  EXPECT_EQ(b[0].Flags & kPartLinkPrev, kPartLinkPrev);
  EXPECT_NE(a[0].Take, b[0].Take);
  ASSERT_EQ(ArrRecordStop(100, 0), 1);
  EXPECT_EQ(PartsOn(5)[0].PlayChannel, 58);
}

// With time-stamp naming the stamp follows the stem, before the channel
// suffix; without it the names stay plain.
TEST_F(RecordPass, TimeStampNamingPutsTheStampBetweenStemAndChannel) {
  RecPassSeams s;
  s.groupWidth = [](int32_t) { return 2; };
  s.localTimeStamp = [](char* out, int size) { return std::snprintf(out, static_cast<size_t>(size), "261211-034501"); };
  char left[12] = {}, right[12] = {};
  MakeChannelNames(left, sizeof left, 0, 2, 0);
  MakeChannelNames(right, sizeof right, 1, 2, 0);
  for (int stamp : {0, 1}) {
    Reset();
    RecSetPassSeams(s);
    ProcOpts().appendLocalTime = stamp;
    Arm(4, 10);
    CurArr->Trk[5].RecTrack = 10;
    CurArr->Trk[5].RecKind = kRecKindAudio;
    int32_t start = 0, end = 100;
    ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
    const std::string mid = stamp ? " 261211-034501" : "";
    EXPECT_EQ(std::string(PartsOn(4)[0].Name), "Audio" + mid + left + " #01");
    EXPECT_EQ(std::string(PartsOn(5)[0].Name), "Audio" + mid + right + " #01");
    ASSERT_EQ(ArrRecordStop(100, 0), 1);
  }
}

TEST_F(RecordPass, LoopPassesStackAndTheStopKeepsTheLastAudible) {
  // Two stacks of one Virtual Track each for record track 1.
  Arm(0, 1);
  CurArr->Trk[1].RecTrack = 1;
  CurArr->Trk[1].RecKind = kRecKindAudio;
  // The loop [1000, 2000) comes round three times.
  for (int32_t pass = 0; pass < 3; ++pass) ASSERT_EQ(ArrRecordLoopStep(1000, 2000, pass, 2), 1);
  ASSERT_EQ(PartsOn(0).size(), 2u);
  ASSERT_EQ(PartsOn(1).size(), 1u);
  EXPECT_EQ(RecChannelPass(PartsOn(1)[0].PlayChannel), 1);
  EXPECT_EQ(PartsOn(0)[1].Layer, 1);  // pass 2 lies over pass 0
  EXPECT_EQ(TakeFiles(), 3u);
  ASSERT_EQ(ArrRecordStop(1500, 2), 1);
  const std::vector<PartRec> t0 = PartsOn(0), t1 = PartsOn(1);
  EXPECT_EQ(t0[0].PlayChannel, 1 + 192);  // pass 0: a silent member of the stack
  EXPECT_EQ(t0[0].Length, 1000);
  EXPECT_EQ(t1[0].PlayChannel, 1 + 192);  // pass 1
  EXPECT_EQ(t0[1].PlayChannel, 1);        // the last pass plays, up to the stop
  EXPECT_EQ(t0[1].Length, 500);
}

// A stereo pair assigned in the track column (record tracks 1 and 2 linked
// on tracks 0-1) and stacked twice: both record tracks are armed, the pair
// records once per pass from its head, each pass on its own copy.
TEST_F(RecordPass, AColumnPairStackedTwiceRecordsEachPassOnItsCopy) {
  g_width = 2;
  ASSERT_EQ(ArrTrkAssignGroup(CurArr, 0, kTakeAudio, 1, 2), 0u);
  ASSERT_EQ(ArrTrkSetLoopStack(CurArr, 0, 2), 0u);
  ArrTrkAssign(CurArr, 5, kTakeAutom, 1, 0, 0);  // another kind's record track 1
  RecTrkSetState(kRecKindAudio, 1, kRecTrkReady);
  RecTrkSetState(kRecKindAudio, 2, kRecTrkReady);
  for (int32_t pass = 0; pass < 2; ++pass) ASSERT_EQ(ArrRecordLoopStep(1000, 2000, pass, 2), 1);
  for (uint32_t t = 0; t < 4; ++t) EXPECT_EQ(PartsOn(t).size(), 1u) << t;
  EXPECT_EQ(PartsOn(0)[0].PlayChannel, RecPlayChannel(1, 0));
  EXPECT_EQ(PartsOn(2)[0].PlayChannel, RecPlayChannel(1, 1));
  EXPECT_TRUE(PartsOn(5).empty());
  ASSERT_EQ(ArrRecordStop(2000, 1), 1);
}

TEST_F(RecordPass, StopAtTheStartOfALoopPassKeepsThePassBefore) {
  Arm(0, 1);
  ASSERT_EQ(ArrRecordLoopStep(1000, 2000, 0, 1), 1);
  ASSERT_EQ(ArrRecordLoopStep(1000, 2000, 1, 1), 1);
  ASSERT_EQ(ArrRecordStop(1000, 1), 1);
  const std::vector<PartRec> t0 = PartsOn(0);
  ASSERT_EQ(t0.size(), 1u);
  EXPECT_EQ(t0[0].PlayChannel, 1);
  EXPECT_EQ(t0[0].Length, 1000);
  EXPECT_EQ(TakeFiles(), 1u);
}

TEST_F(RecordPass, RefusalsAndRollbackLeaveNothing) {
  Arm(0, 1);
  const std::vector<uint8_t> before = Image();
  const uint32_t levels = UndoGetLevel();
  int32_t start = 500, end = 500;
  EXPECT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 0);
  ProcOpts().folder += "gone\\";
  end = 600;
  EXPECT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{267, 178}));
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), levels);
  // A recording that stops before its start removes its Parts and Takes.
  ProcOpts().folder = ModelPath(root_) + "\\";
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
  ASSERT_EQ(ArrRecordStop(500, 0), 1);
  EXPECT_TRUE(PartsOn(0).empty());
  EXPECT_EQ(TakeFiles(), 0u);
}

TEST_F(RecordPass, ManyArmedTracksMarkTheirParts) {
  for (int32_t r = 1; r <= 17; ++r) Arm(static_cast<uint32_t>(r), r);
  int32_t start = 0, end = 10;
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
  EXPECT_EQ(PartsOn(1)[0].Flags & kPartPassMark, kPartPassMark);
  ArrRecordStop(10, 0);
  UndoApply(0);
  RecTrkSetState(kRecKindAudio, 17, kRecTrkSafe);
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
  EXPECT_EQ(PartsOn(1)[0].Flags & kPartPassMark, 0u);
}

}  // namespace

namespace {
int32_t g_transfer = 0;
std::vector<int32_t> g_shown;
int g_sleeps = 0;
}  // namespace

// The stop settles the recording with what lay under it when Parts may not
// overlap (a timelocked Part stays, with 317), clears older pass marks, and
// waits for the recorder's transfers to reach its location, moving the
// position displays meanwhile. ArrTrimRecordParts trims only the listed
// record tracks.
TEST_F(RecordPass, StopSettlesOverlapsWaitsForTheDiskAndTrimsListedTracks) {
  RecPassSeams s;
  s.currentLoc = [] { return int32_t{5000}; };
  s.recTransferLoc = [] { return g_transfer += 1000; };
  s.showPosition = [](int32_t at) { g_shown.push_back(at); };
  s.sleep = [](int) { ++g_sleeps; };
  RecSetPassSeams(s);
  g_transfer = 0;
  g_shown.clear();
  g_sleeps = 0;
  EditOverlapMode = 40892;
  Arm(0, 1);
  Arm(1, 2);
  const uint32_t under = Add(0, NewPart(0, 3000, 1, kTakeAudio));
  P(under).PlayChannel = 1;
  PartRec locked = NewPart(1200, 100, 1, kTakeAudio, kPartTimelocked);
  locked.PlayChannel = 5;
  Add(1, locked);
  PartRec old = NewPart(8000, 100, 1, kTakeAudio, kPartPassMark);
  Add(3, old);
  int32_t start = 1000, end = 2000;
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);

  const int32_t tracks[] = {2};
  ArrTrimRecordParts(1500, tracks, 1);
  EXPECT_EQ(PartsOn(0).back().Length, 1000);  // record track 1 is not listed
  EXPECT_EQ(PartsOn(1)[0].Length, 500);

  ASSERT_EQ(ArrRecordStop(2000, 0), 1);
  // Track 0: the old Part is cut around the recording.
  std::vector<std::pair<int32_t, int32_t>> spans;
  for (const PartRec& p : PartsOn(0)) spans.push_back({p.Start, p.Length});
  EXPECT_EQ(spans, (std::vector<std::pair<int32_t, int32_t>>{{0, 1000}, {1000, 1000}, {2000, 1000}}));
  // Track 1: the timelocked Part stays under the recording.
  EXPECT_EQ(PartsOn(1).size(), 2u);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{317}));
  EXPECT_EQ(PartsOn(3)[0].Flags & kPartPassMark, 0u);
  EXPECT_NE(PartsOn(0)[1].Flags & kPartPassMark, 0u);
  // Transfers at 1000 .. 4000 are short of 5000; the fifth look passes.
  EXPECT_EQ(g_shown, (std::vector<int32_t>(4, 5000)));
  EXPECT_EQ(g_sleeps, 4);
}

// A recorder whose transfers stop moving short of the stop location does
// not hang the stop: after three seconds of looks without progress it ends
// the wait and settles the Parts.
TEST_F(RecordPass, AStalledRecorderEndsTheWait) {
  RecPassSeams s;
  s.currentLoc = [] { return int32_t{5000}; };
  s.recTransferLoc = [] { return int32_t{1200}; };
  s.sleep = [](int ms) { g_sleeps += ms; };
  RecSetPassSeams(s);
  g_sleeps = 0;
  Arm(0, 1);
  int32_t start = 1000, end = 2000;
  ASSERT_EQ(ArrRecordPass(&start, &end, 0, nullptr), 1);
  ASSERT_EQ(ArrRecordStop(1500, 0), 1);
  EXPECT_EQ(g_sleeps, 3000);
  EXPECT_EQ(PartsOn(0)[0].PlayChannel, 1);
}

// Takes made ahead: named from the time stamp and the track, recording from
// the given start; the start moves up to the recorder's location, the Take's
// data start with it, and the Part takes the pass's name. A location at or
// past the end records nothing.
TEST_F(RecordPass, TakesMadeAheadFollowTheRecorderLocation) {
  RecPassSeams s;
  s.localTimeStamp = [](char* out, int size) { return std::snprintf(out, static_cast<size_t>(size), "261211-034501"); };
  s.playTake = [](int32_t r, uint32_t take, int32_t start) {
    g_played.push_back(std::to_string(r) + "@" + std::to_string(start) + ":" +
                       reinterpret_cast<const char*>(TakeGetAttr(TakeFromRef(take), kTakeAttrName)));
  };
  static int32_t location = 1200;
  s.currentLoc = [] { return location; };
  RecSetPassSeams(s);
  Arm(0, 1);
  int32_t start = 1000, end = 2000;
  ASSERT_EQ(ArrRecordPass(&start, &end, 1, nullptr), 1);
  EXPECT_EQ(start, 1200);
  EXPECT_EQ(g_played, (std::vector<std::string>{"1@1000:261211-034501 1 #01"}));
  const PartRec p = PartsOn(0)[0];
  EXPECT_EQ(p.Start, 1200);
  EXPECT_EQ(p.Length, 800);
  EXPECT_EQ(std::string(p.Name), "Audio #01");
  TakeRec* t = TakeFromRef(p.Take);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(TakeGetAttr(t, kTakeAttrName))), "Audio #01");
  EXPECT_EQ(TakeGetAttr(t, kTakeAttrLength), 800u);
  EXPECT_EQ(TakeFiles(), 1u);
  ASSERT_EQ(ArrRecordStop(2000, 0), 1);

  location = 2000;
  start = 1000;
  const size_t parts = PartsOn(0).size();
  EXPECT_EQ(ArrRecordPass(&start, &end, 1, nullptr), 0);
  EXPECT_EQ(PartsOn(0).size(), parts);
}

namespace {

// Midi and Automation record tracks get one empty log Take and Part each
// beside the Audio ones; every new Take carries the mixer's record time
// code; at the stop the Automation Part keeps its log's knob reference.
// With play/record mode bit 3 no Takes are made ahead.
TEST_F(RecordPass, MidiAndAutomationTracksRecordBesideAudio) {
  RecPassSeams s;
  s.recordTimeCode = [](int32_t start, TcRec* tc) {
    *tc = TcRec{1, 2, 3, static_cast<uint8_t>(start / 25), 0};
    return 1;
  };
  s.automKnobRef = [](uint32_t) { return uint16_t{77}; };
  s.playTake = [](int32_t r, uint32_t, int32_t start) {
    g_played.push_back(std::to_string(r) + "@" + std::to_string(start));
  };
  RecSetPassSeams(s);
  Arm(0, 1);
  CurArr->Trk[3].RecTrack = 5;
  CurArr->Trk[3].RecKind = kRecKindMidi;
  RecTrkSetState(kRecKindMidi, 5, kRecTrkReady);
  CurArr->Trk[6].RecTrack = 2;
  CurArr->Trk[6].RecKind = kRecKindAutom;
  RecTrkSetState(kRecKindAutom, 2, kRecTrkReady);
  // Armed, but no Virtual Track records it: left out.
  RecTrkSetState(kRecKindMidi, 9, kRecTrkReady);

  Settings().PlayRecMode |= kModeOption3;
  int32_t start = 100, end = 600;
  ASSERT_EQ(ArrRecordPass(&start, &end, 1, nullptr), 1);
  Settings().PlayRecMode &= ~kModeOption3;
  EXPECT_EQ(g_played, (std::vector<std::string>{"1@100"}));  // laid, not made ahead

  struct Want {
    uint32_t track;
    uint16_t kind;
    int32_t channel;
    const char* name;
  };
  for (const Want& w : {Want{0, kTakeAudio, -1, "Audio #01"}, Want{3, kTakeMidi, -5, "Midi #01"},
                        Want{6, kTakeAutom, -2, "Autom #01"}}) {
    const std::vector<PartRec> parts = PartsOn(w.track);
    ASSERT_EQ(parts.size(), 1u) << w.track;
    EXPECT_EQ(parts[0].TakeKind, w.kind);
    EXPECT_EQ(parts[0].PlayChannel, w.channel);
    EXPECT_EQ(parts[0].Start, 100);
    EXPECT_EQ(parts[0].Length, 500);
    EXPECT_EQ(std::string(parts[0].Name), w.name);
    TakeRec* take = TakeFromRef(parts[0].Take);
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(TakeGetAttr(take, kTakeAttrKind), w.kind);
    const auto* tc = reinterpret_cast<const TcRec*>(TakeGetAttr(take, kTakeAttrTcStamp));
    ASSERT_NE(tc, nullptr);
    EXPECT_EQ(tc->Hours * 1000000 + tc->Minutes * 10000 + tc->Seconds * 100 + tc->Frames, 1020304);
  }
  EXPECT_EQ(TakeFiles(), 3u);

  ASSERT_EQ(ArrRecordStop(400, 0), 1);
  EXPECT_EQ(PartsOn(3)[0].PlayChannel, 5);
  EXPECT_EQ(PartsOn(3)[0].Length, 300);
  // A log Take's length counts its events: the trim leaves it alone.
  EXPECT_EQ(TakeGetAttr(TakeFromRef(PartsOn(3)[0].Take), kTakeAttrLength), 0u);
  EXPECT_EQ(PartsOn(6)[0].PlayChannel, 2);
  EXPECT_EQ(PartsOn(6)[0].AutoMapValue, 77);
  EXPECT_EQ(PartsOn(0)[0].AutoMapValue, 0);
  // One step undoes all three.
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_TRUE(PartsOn(3).empty());
  EXPECT_TRUE(PartsOn(6).empty());
}

}  // namespace
