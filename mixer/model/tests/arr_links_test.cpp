// Channel-link groups of Parts on consecutive tracks.
#include "arr_fixture.h"

#include <cstdio>

#include "mixer/model/take.h"

namespace {

class LinkTest : public ArrTest {
 protected:
  void SetUp() override {
    ArrTest::SetUp();
    ASSERT_EQ(TakeStoreOpen(), 1);
  }
  void TearDown() override {
    TakeStoreClose();
    ArrTest::TearDown();
  }
  // A record of the real Take store (no file behind it) with the given kind
  // and kind words; its reference, as a Part holds it.
  uint32_t MakeTake(uint32_t kind, uint32_t word2, uint32_t word4) {
    static int serial = 0;
    TakeImage image{};
    std::snprintf(image.path, sizeof image.path, "C:\\Takes\\t%d.ATAK", ++serial);
    image.kind = kind;
    image.word2 = word2;
    image.word4 = word4;
    TakeRec* take = TakeAlloc(image);
    EXPECT_NE(take, nullptr);
    return TakeRef(take);
  }
  uint32_t AudioTake(uint32_t bytesPerSample) { return MakeTake(3, 0, bytesPerSample); }
  // A group of n channels on tracks first.., each Part [1000, 1500), Take
  // first + i, all 3 bytes per sample; the slots from the head down.
  std::vector<uint32_t> Group(uint32_t first, uint32_t n) {
    std::vector<uint32_t> slots;
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t flags = (i > 0 ? uint32_t{kPartLinkPrev} : 0u) | (i + 1 < n ? uint32_t{kPartLinkNext} : 0u);
      uint32_t take = AudioTake(3);
      slots.push_back(Add(first + i, MakePart(1000, 500, 0, flags, take)));
    }
    return slots;
  }
  // The groups as runs of channel numbers from 1, read back by the queries.
  std::vector<uint32_t> Counts(uint32_t first, const std::vector<uint32_t>& slots) {
    std::vector<uint32_t> counts;
    for (uint32_t i = 0; i < slots.size(); ++i) counts.push_back(ArrLinkCount(arr, slots[i], first + i, nullptr));
    return counts;
  }
};

TEST_F(LinkTest, PartnerRule) {
  const uint32_t t1 = AudioTake(2), t2 = AudioTake(2), t3 = AudioTake(3);
  PartRec a = MakePart(10, 20, 1, 0, t1);
  EXPECT_EQ(PartsAreChannelPartners(a, MakePart(10, 20, 1, 0, t2)), 1);
  struct Case {
    PartRec b;
    const char* why;
  } refused[] = {
      {MakePart(11, 20, 1, 0, t2), "start"},  {MakePart(10, 21, 1, 0, t2), "length"},
      {MakePart(10, 20, 2, 0, t2), "layer"},  {MakePart(10, 20, 1, 0, t3), "bytes per sample"},
      {MakePart(10, 20, 1, 0, t2, 21), "kind"},
  };
  for (const Case& c : refused) EXPECT_EQ(PartsAreChannelPartners(a, c.b), 0) << c.why;
  EXPECT_EQ(PartIsChannelLinked(MakePart(0, 1, 0, kPartLinkPrev)), 1);
  EXPECT_EQ(PartIsChannelLinked(MakePart(0, 1, 0, kPartSelected)), 0);
  EXPECT_EQ(PartIsLinkHead(MakePart(0, 1, 0, kPartLinkNext)), 1);
  EXPECT_EQ(PartIsLinkHead(MakePart(0, 1, 0, kPartLinkPrev)), 0);
}

TEST_F(LinkTest, WalksAGroup) {
  Add(11, 900, 50);  // an unlinked Part before the group on one track
  auto g = Group(10, 4);
  uint32_t t = 99;
  EXPECT_EQ(ArrLinkHead(arr, g[2], 12, &t), int32_t(g[0]));
  EXPECT_EQ(t, 10u);
  EXPECT_EQ(ArrLinkNxt(arr, g[1], 11, &t), int32_t(g[2]));
  EXPECT_EQ(t, 12u);
  EXPECT_EQ(ArrLinkPrv(arr, g[1], 11, &t), int32_t(g[0]));
  EXPECT_EQ(t, 10u);
  EXPECT_EQ(ArrLinkNxt(arr, g[3], 13, nullptr), -1);
  EXPECT_EQ(ArrLinkPrv(arr, g[0], 10, nullptr), -1);
  EXPECT_EQ(ArrLinkCount(arr, g[3], 13, &t), 4u);
  EXPECT_EQ(t, 10u);

  uint32_t* list = ArrLinkList(arr, g[1], 11);
  ASSERT_NE(list, nullptr);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(list[i], g[i]);
  EXPECT_EQ(list[4], kArrNoSlot);
  ArrLinkListFree(list);
  ArrSlotListFailNext();
  EXPECT_EQ(ArrLinkList(arr, g[1], 11), nullptr);

  // A broken link up: no head, no count, no list.
  P(g[0]).Flags &= ~kPartLinkNext;
  EXPECT_EQ(ArrLinkHead(arr, g[2], 12, nullptr), -1);
  EXPECT_EQ(ArrLinkCount(arr, g[2], 12, nullptr), 0u);
  EXPECT_EQ(ArrLinkList(arr, g[2], 12), nullptr);
  // Bit 2 on track 0 has no track above.
  uint32_t top = Add(0, MakePart(0, 10, 0, kPartLinkPrev));
  EXPECT_EQ(ArrLinkHead(arr, top, 0, nullptr), -1);
  EXPECT_EQ(ArrLinkPrv(arr, top, 0, nullptr), -1);
  uint32_t bottom = Add(255, MakePart(0, 10, 0, kPartLinkNext));
  EXPECT_EQ(ArrLinkNxt(arr, bottom, 255, nullptr), -1);
}

TEST_F(LinkTest, BreakingCutsOutThePair) {
  struct Case {
    uint32_t channels, broken;  // channel numbered from 1 at the head
    std::vector<uint32_t> counts;
  } cases[] = {
      {6, 3, {2, 2, 2, 2, 2, 2}},  // {1, 2}, {3, 4}, {5, 6}
      {6, 4, {2, 2, 2, 2, 2, 2}},
      {6, 1, {2, 2, 4, 4, 4, 4}},  // {1, 2}, {3, 4, 5, 6}
      {5, 5, {4, 4, 4, 4, 1}},     // the last single channel stays alone
      {3, 2, {2, 2, 1}},
      {2, 1, {2, 2}},              // a stereo pair is left as it is
  };
  uint32_t first = 20;
  for (const Case& c : cases) {
    auto g = Group(first, c.channels);
    int cleared = ArrBreakChannelLink(arr, g[c.broken - 1], first + c.broken - 1);
    EXPECT_EQ(cleared, c.channels >= 3 ? 1 : 0) << c.channels << " / " << c.broken;
    EXPECT_EQ(Counts(first, g), c.counts) << c.channels << " / " << c.broken;
    first += c.channels + 1;
  }
}

TEST_F(LinkTest, ArrangementWideFlags) {
  EXPECT_EQ(ArrHasMultiChanLinks(arr), 0);
  EXPECT_EQ(ArrHasMidi(arr), 0);
  auto g = Group(0, 2);
  EXPECT_EQ(ArrHasMultiChanLinks(arr), 0);
  P(g[1]).Flags |= kPartLinkNext;
  EXPECT_EQ(ArrHasMultiChanLinks(arr), 1);
  P(g[1]).Flags &= ~kPartLinkNext;
  // A track in the middle of a record-track group, only with a record track.
  arr->Trk[9].Flags = kTrkLinkNext | kTrkLinkPrev;
  EXPECT_EQ(ArrHasMultiChanLinks(arr), 0);
  arr->Trk[9].RecTrack = 4;
  EXPECT_EQ(ArrHasMultiChanLinks(arr), 1);

  arr->Trk[9].RecKind = 21;
  EXPECT_EQ(ArrHasMidi(arr), 1);
  arr->Trk[9].RecTrack = 0;
  EXPECT_EQ(ArrHasMidi(arr), 0);
  const uint32_t midi = MakeTake(21, 0, 0);
  Add(3, MakePart(0, 10, 0, 0, midi, 21));
  EXPECT_EQ(ArrHasMidi(arr), 1);
  EXPECT_EQ(ArrHasTempoMidiParts(arr), 0);
  TakeFromRef(midi)->word2 = 480;  // a tick resolution
  EXPECT_EQ(ArrHasTempoMidiParts(arr), 1);
}

}  // namespace
