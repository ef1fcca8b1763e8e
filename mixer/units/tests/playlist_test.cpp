// The play-list compiler and the Take builders, with the lists caught where
// the native device link would take them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/units/playlist.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

bool operator==(const PlayEvent& a, const PlayEvent& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
std::ostream& operator<<(std::ostream& os, const PlayEvent& e) {
  return os << "{take " << e.Take << " at " << e.Offset << " len " << e.Length << " gains " << e.GainStart
            << ".." << e.GainEnd << " flags 0x" << std::hex << e.Flags << std::dec << "}";
}

namespace {

struct Sent {
  int32_t channel;
  int32_t arg;
  std::vector<PlayEvent> lane[2];
};
std::vector<Sent> gSent;
int gSendResult = 1;


PlayEvent Ev(uint32_t take, uint64_t offset, uint32_t length, uint16_t g0, uint16_t g1, uint16_t flags) {
  PlayEvent e;
  e.Take = take;
  e.Offset = offset;
  e.Length = length;
  e.GainStart = g0;
  e.GainEnd = g1;
  e.Flags = flags;
  return e;
}
PlayEvent Silence(uint32_t length, uint16_t flags = kPlayEventFade) { return Ev(0, 0, length, 0, 0, flags); }

uint64_t Total(const std::vector<PlayEvent>& lane) {
  uint64_t sum = 0;
  for (const PlayEvent& e : lane) sum += e.Length;
  return sum;
}

constexpr uint16_t kF = kPlayEventFade;
constexpr uint16_t kU = kPlayUnity;

PartRec MakePart(int32_t start, int32_t length, uint32_t take, int32_t offset, int32_t channel = 1) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  p.Start = start;
  p.Length = length;
  p.Take = take;
  p.Offset = offset;
  p.TakeKind = kTakeAudio;
  p.PlayChannel = channel;
  p.GainStart = p.GainEnd = 32768;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.Next = kArrNoSlot;
  return p;
}

}  // namespace

int SendTrackPlayList(int32_t channel, const PlayList* list, int32_t arg) {
  Sent s{channel, arg, {}};
  s.lane[0].assign(list->List0, list->List0 + list->Count0);
  s.lane[1].assign(list->List1, list->List1 + list->Count1);
  gSent.push_back(s);
  return gSendResult;
}

namespace {

class PlayLists : public ::testing::Test {
 protected:
  void SetUp() override {
    Services().Reset();
    Host().Reset();
    gSent.clear();
    gSendResult = 1;
    PlayListHeapFailAfter(-1);
    arr = ArrNew(nullptr);
    ASSERT_NE(arr, nullptr);
  }
  void TearDown() override {
    ArrHeap.Free(arr);
    PlayListHeapFailAfter(-1);
    EXPECT_EQ(PlayListHeapBlocks(), 0);
  }
  uint32_t Add(uint32_t track, const PartRec& part) {
    uint32_t slot = kArrNoSlot;
    EXPECT_EQ(ArrInsertPart(&arr, part, &slot, track, nullptr), 1);
    ArrRelinkOverlaps(arr);
    return slot;
  }
  PartRec& P(uint32_t slot) { return *ArrPart(arr, slot); }
  // Links a crossfade from Part `out` into Part `in` with the fade windows.
  void Crossfade(uint32_t out, uint32_t in, uint8_t w0 = 0, uint8_t w1 = 255) {
    P(out).XfadeOutPartner = static_cast<uint16_t>(in);
    P(in).XfadeInPartner = static_cast<uint16_t>(out);
    P(out).XfadeOutWindow[0] = P(in).XfadeInWindow[0] = w0;
    P(out).XfadeOutWindow[1] = P(in).XfadeInWindow[1] = w1;
  }
  const Sent& Compile(int32_t channel = 1, int32_t track = -1) {
    gSent.clear();
    EXPECT_EQ(CompileTrackPlayList(arr, channel, track), 1);
    EXPECT_EQ(gSent.size(), 1u);
    EXPECT_EQ(Total(gSent.back().lane[0]), kPlayListEnd);
    if (!gSent.back().lane[1].empty()) {
      EXPECT_EQ(Total(gSent.back().lane[1]), kPlayListEnd);
    }
    return gSent.back();
  }

  ArrRec* arr = nullptr;
};

TEST_F(PlayLists, EmptyTrackIsOneSilenceToTheEnd) {
  Add(5, MakePart(100, 50, 7, 0, 2));  // another output track only
  for (int32_t track : {-1, 0, 5}) {
    const Sent& s = Compile(1, track);
    EXPECT_EQ(s.channel, 1);
    ASSERT_EQ(s.lane[0].size(), 1u);
    EXPECT_EQ(s.lane[0][0], Silence(kPlayListEnd));
    EXPECT_TRUE(s.lane[1].empty());
  }
}

TEST_F(PlayLists, GapPartAndClosingSilence) {
  PartRec p = MakePart(1000, 4000, 7, 250);
  p.Flags = kPartPhaseInvert;
  p.FadeCurve = 3;
  Add(0, p);
  const Sent& s = Compile();
  const std::vector<PlayEvent> want = {Silence(1000), Ev(7, 250, 4000, kU, kU, kF | 1 | 3 << 1),
                                       Silence(kPlayListEnd - 5000)};
  EXPECT_EQ(s.lane[0], want);
}

TEST_F(PlayLists, SectionsFromSeveralTracksInTimeOrder) {
  Add(3, MakePart(5000, 100, 8, 0));
  Add(0, MakePart(0, 100, 7, 0));
  Add(1, MakePart(200, 100, 9, 0, 3));  // plays output track 3
  const Sent& s = Compile();
  ASSERT_EQ(s.lane[0].size(), 4u);
  EXPECT_EQ(uint32_t{s.lane[0][0].Take}, 7u);
  EXPECT_EQ(s.lane[0][1], Silence(4900));
  EXPECT_EQ(uint32_t{s.lane[0][2].Take}, 8u);
}

TEST_F(PlayLists, AllTracksAtOnceMatchEachTrack) {
  Add(3, MakePart(5000, 100, 8, 0));
  Add(0, MakePart(0, 100, 7, 0));
  Add(1, MakePart(200, 100, 9, 0, 3));
  Add(1, MakePart(900, 100, 9, 0, -3));  // records onto output track 3
  Add(2, MakePart(200, 100, 9, 0, 200)); // no such output track
  gSent.clear();
  ASSERT_EQ(CompileAllPlayLists(arr), 1);
  const std::vector<Sent> all = gSent;
  ASSERT_EQ(all.size(), size_t(kPlayChannels));
  for (int32_t channel : {1, 2, 3, kPlayChannels}) {
    const Sent& one = Compile(channel);
    EXPECT_EQ(all[channel - 1].channel, channel);
    EXPECT_EQ(all[channel - 1].lane[0], one.lane[0]) << channel;
    EXPECT_EQ(all[channel - 1].lane[1], one.lane[1]) << channel;
  }
  EXPECT_EQ(all[2].lane[0].size(), 5u);  // silence, play, silence, record, silence
}

TEST_F(PlayLists, JoinsOfOneTakeMergeOrContinue) {
  struct Case {
    const char* name;
    int32_t secondOffset;
    uint32_t firstEndGain;
    uint32_t secondGain;
    size_t events;      // Take events in the list
    uint16_t joinFade;  // fade flag of the second event
  };
  const Case cases[] = {
      {"contiguous, equal gains: one event", 1000, 32768, 32768, 1, 0},
      {"a jump in the Take: a fade at the edge", 1500, 32768, 32768, 2, kF},
      {"contiguous, gain ends where it goes on: no fade", 1000, 16384, 16384, 2, 0},
      {"contiguous, gain jumps: a fade at the edge", 1000, 32768, 16384, 2, kF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ArrHeap.Free(arr);
    arr = ArrNew(nullptr);
    PartRec a = MakePart(0, 1000, 7, 0);
    a.GainEnd = c.firstEndGain;
    PartRec b = MakePart(1000, 500, 7, c.secondOffset);
    b.GainStart = b.GainEnd = c.secondGain;
    Add(0, a);
    Add(0, b);
    const Sent& s = Compile();
    ASSERT_EQ(s.lane[0].size(), c.events + 1);
    if (c.events == 1) {
      EXPECT_EQ(s.lane[0][0], Ev(7, 0, 1500, kU, kU, kF));
    } else {
      EXPECT_EQ(s.lane[0][1].Flags & kF, c.joinFade);
      EXPECT_EQ(uint64_t{s.lane[0][1].Offset}, static_cast<uint64_t>(c.secondOffset));
    }
  }
}

TEST_F(PlayLists, CrossfadeInGoesToTheSecondLane) {
  const uint32_t a = Add(0, MakePart(0, 10000, 7, 0));
  PartRec bp = MakePart(8000, 12000, 8, 100);
  bp.Layer = 1;
  const uint32_t b = Add(0, bp);
  Crossfade(a, b);
  const Sent& s = Compile();
  const std::vector<PlayEvent> lane0 = {
      Ev(7, 0, 8000, kU, kU, kF),      // A's body
      Ev(7, 8000, 2000, kU, 0, 0),     // A fades out, continuing its body
      Ev(8, 2100, 10000, kU, kU, 0),   // B goes on from lane 1: no fade
      Silence(kPlayListEnd - 20000)};
  const std::vector<PlayEvent> lane1 = {Silence(8000), Ev(8, 100, 2000, 0, kU, kF),
                                        Silence(kPlayListEnd - 10000, 0)};
  EXPECT_EQ(s.lane[0], lane0);
  EXPECT_EQ(s.lane[1], lane1);
}

TEST_F(PlayLists, CrossfadeWindowsHoldBeforeAndAfter) {
  // The windows cover the middle half of the 2040-sample overlap, so each
  // Part holds its level outside its window: silent or full.
  const uint32_t a = Add(0, MakePart(0, 10000, 7, 0));
  PartRec bp = MakePart(7960, 12040, 8, 0);
  bp.XfadeInCurve = 2;
  const uint32_t b = Add(0, bp);
  P(a).XfadeOutCurve = 1;
  Crossfade(a, b, 64, 191);
  const Sent& s = Compile();
  const std::vector<PlayEvent> lane1 = {
      Silence(7960), Ev(8, 0, 512, 0, 0, kF | 2 << 1),
      Ev(8, 512, 1016, 0, kU, 2 << 1),  // MulDiv(2040, 64 | 191, 255) = 512 | 1528
      Ev(8, 1528, 512, kU, kU, 2 << 1), Silence(kPlayListEnd - 10000, 0)};
  EXPECT_EQ(s.lane[1], lane1);
  // A, on top, holds its level into the window (merged with its body), falls
  // to 0 across it and stays silent to its end; B's body follows.
  const std::vector<PlayEvent> lane0 = {
      Ev(7, 0, 8472, kU, kU, kF), Ev(7, 8472, 1016, kU, 0, 1 << 1), Ev(7, 9488, 512, 0, 0, 1 << 1),
      Ev(8, 2040, 10000, kU, kU, 0), Silence(kPlayListEnd - 20000)};
  EXPECT_EQ(s.lane[0], lane0);
}

TEST_F(PlayLists, RecordPartsAreRecordEntriesHeldBelowTheEnd) {
  PartRec p = MakePart(0x7FFF0000, 0xFFFF, 7, 0, -1);
  Add(0, p);
  const Sent& s = Compile();
  ASSERT_EQ(s.lane[0].size(), 3u);
  EXPECT_EQ(s.lane[0][1], Ev(7, 0, 0x5FF, kU, kU, kF | kPlayEventRecord));
}

TEST_F(PlayLists, HeapFailuresWarnAndLeaveNothing) {
  const uint32_t a = Add(0, MakePart(0, 10000, 7, 0));
  for (int32_t k = 0; k < 40; ++k) Add(0, MakePart(20000 + k * 3000, 1000, 9, k * 5000));
  const uint32_t b = Add(0, MakePart(8000, 12000, 8, 0));
  Crossfade(a, b);
  int32_t k = 0;
  for (;; ++k) {
    SCOPED_TRACE(k);
    Host().Reset();
    gSent.clear();
    PlayListHeapFailAfter(k);
    const int result = CompileTrackPlayList(arr, 1, -1);
    EXPECT_EQ(PlayListHeapBlocks(), 0);
    if (result == 1) break;
    EXPECT_TRUE(gSent.empty());
    ASSERT_EQ(Host().boxes.size(), 1u);
    EXPECT_EQ(Host().boxes[0].id, k == 0 ? 195u : 196u);
  }
  EXPECT_GT(k, 3);
}

TEST_F(PlayLists, FailedSendStillFreesTheList) {
  gSendResult = 0;
  Add(0, MakePart(0, 100, 7, 0));
  EXPECT_EQ(CompileTrackPlayList(arr, 1, -1), 0);
  EXPECT_EQ(SilenceTrack(2), 0);
  const PlayTakeEntry entries[] = {{7, 0, 100}};
  EXPECT_EQ(PlayTakeListOnTrack(3, 1, entries, 0), 0);
  EXPECT_EQ(gSent.size(), 3u);
  EXPECT_EQ(PlayListHeapBlocks(), 0);
}

TEST_F(PlayLists, BadChannelsSendNothing) {
  EXPECT_EQ(CompileTrackPlayList(arr, 0, -1), 0);
  EXPECT_EQ(SilenceTrack(kPlayChannels + 1), 0);
  EXPECT_EQ(PlayOneTake(-3, 0, 7, 0), 0);
  EXPECT_TRUE(gSent.empty());
}

class TakeBuilders : public PlayLists {
 protected:
  void SetUp() override {
    PlayLists::SetUp();
    folder = std::filesystem::temp_directory_path() / "hrl-playlist-takes";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ASSERT_EQ(TakeStoreOpen(), 1);
    uint32_t error = 0;
    const std::string dir = folder.string() + "\\";
    TakeRec* t = TakeCreateAudio(dir.c_str(), 3, kTakeLen, 0, 48000, 25, 0, "Builder", nullptr,
                                 nullptr, nullptr, &error);
    ASSERT_NE(t, nullptr);
    take = TakeRef(t);
  }
  void TearDown() override {
    TakeStoreClose();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    PlayLists::TearDown();
  }
  static constexpr uint32_t kTakeLen = 1000;
  std::filesystem::path folder;
  uint32_t take = 0;
};

TEST_F(TakeBuilders, OneTakeWithLeadInAndClosingSilence) {
  ASSERT_EQ(PlayOneTake(4, 500, take, 1), 1);
  const std::vector<PlayEvent> faded = {Silence(500, 0), Ev(take, 0, kTakeLen, kU, kU, kF),
                                        Silence(kPlayListEnd - kTakeLen - 500, kF)};
  EXPECT_EQ(gSent.back().lane[0], faded);
  EXPECT_EQ(gSent.back().channel, 4);

  ASSERT_EQ(PlayOneTake(4, 0, take, 0), 1);
  const std::vector<PlayEvent> plain = {Ev(take, 0, kTakeLen, kU, kU, 0),
                                        Silence(kPlayListEnd - kTakeLen, 0)};
  EXPECT_EQ(gSent.back().lane[0], plain);

  // A lead-in near the end leaves the Take only the room before it.
  ASSERT_EQ(PlayOneTake(4, 0x7FFFFFFE - 10, take, 0), 1);
  EXPECT_EQ(uint32_t{gSent.back().lane[0][1].Length}, 10u);
  EXPECT_EQ(Total(gSent.back().lane[0]), kPlayListEnd);
}

TEST_F(TakeBuilders, RecordTakeSilenceAndTakeLists) {
  ASSERT_EQ(PlayTakeOnTrack(2, 100, take, 77), 1);
  const std::vector<PlayEvent> rec = {Silence(100, 0), Ev(take, 0, kTakeLen, kU, kU, kPlayEventRecord),
                                      Silence(kPlayListEnd - kTakeLen - 100, 0)};
  EXPECT_EQ(gSent.back().lane[0], rec);
  EXPECT_EQ(gSent.back().arg, 77);

  ASSERT_EQ(SilenceTrack(2), 1);
  EXPECT_EQ(gSent.back().lane[0], std::vector<PlayEvent>{Silence(kPlayListEnd, 0)});

  const PlayTakeEntry some[] = {{take, 10, 300}, {0, 0, 50}};
  ASSERT_EQ(PlayTakeListOnTrack(2, 2, some, 1), 1);
  const std::vector<PlayEvent> listed = {Ev(take, 10, 300, kU, kU, kF), Silence(50, 0),
                                         Silence(kPlayListEnd - 350, 0)};
  EXPECT_EQ(gSent.back().lane[0], listed);

  const PlayTakeEntry exact[] = {{take, 0, 0x7FFFFF00}, {0, 0, 0xFF}};
  ASSERT_EQ(PlayTakeListOnTrack(2, 2, exact, 0), 1);
  EXPECT_EQ(gSent.back().lane[0].size(), 2u);
}

TEST_F(TakeBuilders, OffsetsCountFromTheTakesDataStart) {
  ASSERT_EQ(TakeSetAttr(TakeFromRef(take), kTakeAttrDataStart, 300, nullptr), 1);  // 100 samples
  Add(0, MakePart(0, 200, take, 20));
  const Sent& s = Compile();
  EXPECT_EQ(uint64_t{s.lane[0][0].Offset}, 120u);
  ASSERT_EQ(PlayOneTake(1, 0, take, 0), 1);
  EXPECT_EQ(uint64_t{gSent.back().lane[0][0].Offset}, 100u);
}

}  // namespace

namespace {

TEST_F(PlayLists, AChannelsPartsGoOntoAnotherOutputTrack) {
  // Solo play puts Parts without an output of their own (channel 0) on a
  // spare one, only those of the chosen track.
  Add(2, MakePart(1000, 400, 7, 0, 0));
  Add(4, MakePart(3000, 400, 8, 0, 0));
  Add(2, MakePart(5000, 400, 9, 0, 1));  // plays output 1, not soloed
  gSent.clear();
  ASSERT_EQ(CompileChannelOnTrack(arr, 190, 0, 2), 1);
  ASSERT_EQ(gSent.size(), 1u);
  EXPECT_EQ(gSent[0].channel, 190);
  const std::vector<PlayEvent> want = {Silence(1000), Ev(7, 0, 400, kU, kU, kF),
                                       Silence(kPlayListEnd - 1400)};
  EXPECT_EQ(gSent[0].lane[0], want);

  // Every track; the output must still be a real one.
  gSent.clear();
  ASSERT_EQ(CompileChannelOnTrack(arr, 190, 0, -1), 1);
  EXPECT_EQ(gSent[0].lane[0].size(), 5u);
  EXPECT_EQ(CompileChannelOnTrack(arr, 0, 0, -1), 0);
  EXPECT_EQ(CompileChannelOnTrack(arr, 193, 1, -1), 0);
}

}  // namespace
