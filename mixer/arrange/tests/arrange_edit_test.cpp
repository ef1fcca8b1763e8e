// The arrange editor's routines under the arrangement file: Part gains,
// play-channel overlaps, link, name and record-track checks, the selection,
// the ring of Takes in use and the copy and move of selected Parts.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "mixer/arrange/arrcopy.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/partlink.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/takerefs.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/tests/arr_fixture.h"

namespace {

DcHandle const kDc = reinterpret_cast<DcHandle>(0x1000);

class EditTest : public ArrTest {
 protected:
  void SetUp() override {
    ArrTest::SetUp();
    ASSERT_EQ(TakeStoreOpen(), 1);
    KeepSel = 0;
    EditOverlapMode = 40892;
    EditMultiOutMode = 40896;
    Settings() = ProjectSettings();
  }
  void TearDown() override {
    TakeStoreClose();
    ArrTest::TearDown();
  }
  // An open Take record with no file behind it: Audio of 2 bytes per sample
  // and `samples` samples, or a Midi Take with a tick resolution.
  uint32_t Take(uint32_t samples = 1000000, const char* name = "Take", uint32_t kind = 3,
                uint32_t tickResolution = 0) {
    static int serial = 0;
    TakeImage image{};
    std::snprintf(image.path, sizeof image.path, "C:\\Takes\\%s%d.ATAK", name, ++serial);
    image.kind = kind;
    image.word4 = kind == 3 ? 2 : 0;
    image.word2 = tickResolution;
    image.word1 = samples;
    image.dataEnd = kind == 3 ? samples * 2 : 0;
    TakeRec* take = TakeAlloc(image);
    EXPECT_NE(take, nullptr);
    return TakeRef(take);
  }
  ArrRec* NewArr() {
    ArrRec* a = ArrNew(nullptr);
    EXPECT_NE(a, nullptr);
    return a;
  }
  std::vector<uint8_t> Image() const {
    const auto* bytes = reinterpret_cast<const uint8_t*>(arr);
    return {bytes, bytes + ArrBlockSize(arr->PartCount)};
  }
};

// ---- Part gain ----

TEST_F(EditTest, PartGainFollowsTheCurveOfAudioPartsOnly) {
  PartRec p = MakePart(0, 100);
  p.GainStart = 0;
  p.GainEnd = 32768;
  struct Case {
    uint16_t kind;
    uint32_t gainStart, gainEnd;
    int32_t offset;
    uint32_t expect;
  } cases[] = {
      {3, 0, 32768, 0, 0},          {3, 0, 32768, 50, 16384},   {3, 0, 32768, 100, 32768},
      {3, 0, 32768, 500, 32768},    {3, 0, 32768, -5, 0},       {3, 32768, 32768, 70, 32768},
      {3, 0xFFFFFFFF, 0, 0, 65536}, {20, 0, 32768, 50, 0},      {21, 32768, 32768, 0, 0},
  };
  for (const Case& c : cases) {
    p.TakeKind = c.kind;
    p.GainStart = c.gainStart;
    p.GainEnd = c.gainEnd;
    EXPECT_EQ(ArrPartGainAt(c.offset, p), c.expect) << c.kind << " at " << c.offset;
  }
}

// ---- Play-channel overlaps ----

TEST_F(EditTest, PlayChannelOverlapCases) {
  struct Side {
    uint32_t track;
    int32_t start, length, channel;
    uint16_t kind;
  };
  struct Case {
    Side a, b;
    int expect;
    const char* why;
  } cases[] = {
      {{0, 0, 100, 5, 3}, {1, 50, 100, 5, 3}, 1, "overlap on one channel"},
      {{0, 0, 100, 5, 3}, {1, 100, 100, 5, 3}, 0, "end meets start"},
      {{0, 0, 100, 5, 3}, {0, 200, 100, 5, 3}, 0, "same track"},
      {{0, 0, 100, 5, 3}, {0, 50, 100, 5, 3}, 0, "same track, overlapping"},
      {{0, 0, 100, 5, 3}, {1, 50, 100, 6, 3}, 0, "other channel"},
      {{0, 0, 100, 5, 3}, {1, 50, 100, 5, 20}, 0, "other kind"},
      {{0, 0, 100, 197, 3}, {1, 50, 100, 197, 3}, 0, "muted"},
      {{0, 0, 100, 0, 3}, {1, 50, 100, 0, 3}, 0, "no channel"},
      {{0, 0, 100, 150, 3}, {1, 50, 100, 150, 3}, 1, "Audio channel 150"},
      {{0, 0, 100, 150, 21}, {1, 50, 100, 150, 21}, 0, "Midi has no channel 150"},
      {{0, 0, 100, 128, 21}, {1, 10, 10, 128, 21}, 1, "contained Midi"},
      {{0, 0, 100, 5, 3}, {1, 50, 0, 5, 3}, 0, "no samples"},
  };
  for (const Case& c : cases) {
    ArrRec* a = NewArr();
    for (const Side& s : {c.a, c.b}) {
      PartRec p = MakePart(s.start, s.length, 0, 0, 1, s.kind);
      p.PlayChannel = s.channel;
      ASSERT_EQ(ArrInsertPart(&a, p, nullptr, s.track, nullptr), 1);
    }
    EXPECT_EQ(ArrHasPlayChanOverlap(a), c.expect) << c.why;
    ArrHeap.Free(a);
  }
}

TEST_F(EditTest, PlayChannelOverlapAgreesWithEveryPairCompared) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    ArrRec* a = NewArr();
    struct P {
      uint32_t track;
      PartRec part;
    };
    std::vector<P> parts;
    const int count = 2 + rng() % 12;
    for (int i = 0; i < count; ++i) {
      PartRec p = MakePart(rng() % 1000, 1 + rng() % 200, 0, 0, 1, rng() % 4 ? 3 : 21);
      p.PlayChannel = 1 + rng() % 3;
      const uint32_t track = rng() % 4;
      ASSERT_EQ(ArrInsertPart(&a, p, nullptr, track, nullptr), 1);
      parts.push_back({track, p});
    }
    int expect = 0;
    for (size_t i = 0; i < parts.size(); ++i)
      for (size_t j = i + 1; j < parts.size(); ++j) {
        const PartRec &x = parts[i].part, &y = parts[j].part;
        if (parts[i].track != parts[j].track && x.TakeKind == y.TakeKind &&
            x.PlayChannel == y.PlayChannel && x.Start < y.Start + y.Length && y.Start < x.Start + x.Length)
          expect = 1;
      }
    EXPECT_EQ(ArrHasPlayChanOverlap(a), expect) << "round " << round;
    ArrHeap.Free(a);
  }
}

// ---- Record-track assignments ----

struct TrkSpec {
  uint32_t track, number, kind, flags;
};

TEST_F(EditTest, RecTrackAssignmentsFromAFileAreRepaired) {
  constexpr uint32_t N = kTrkLinkNext, P = kTrkLinkPrev;
  struct Case {
    std::vector<TrkSpec> in;
    std::vector<uint32_t> kept;  // tracks that keep their assignment
    const char* why;
  } cases[] = {
      {{{4, 1, 3, N}, {5, 2, 3, P}}, {4, 5}, "valid stereo group"},
      {{{4, 1, 3, N}, {5, 3, 3, P}}, {}, "numbers not consecutive"},
      {{{4, 1, 3, N}, {5, 2, 20, P}}, {}, "kinds differ"},
      {{{4, 1, 3, N}, {5, 2, 3, 0}}, {5}, "lower track not linked back: it stays alone"},
      {{{7, 129, 3, 0}, {8, 5, 20, 0}}, {8}, "number above 128"},
      {{{7, 5, 9, 0}}, {}, "unknown kind"},
      {{{1, 3, 3, N}, {2, 4, 3, N | P}, {3, 5, 3, N | P}, {4, 200, 3, P}}, {}, "damaged last channel takes the group"},
      {{{1, 3, 3, N}, {2, 300, 3, N | P}, {3, 5, 3, P}, {9, 1, 21, 0}}, {9}, "damaged middle channel"},
      {{{255, 1, 3, N}}, {}, "linked past the last track"},
      {{{0, 1, 3, P}}, {}, "linked before the first track"},
      {{{6, 0, 0, N}, {7, 1, 3, P}}, {}, "a link without a record track"},
  };
  for (const Case& c : cases) {
    ArrRec* a = NewArr();
    for (const TrkSpec& t : c.in) {
      a->Trk[t.track].RecTrack = t.number;
      a->Trk[t.track].RecKind = t.kind;
      a->Trk[t.track].Flags = t.flags | kTrkSelected;
    }
    ArrCheckRecTrkAssign(a);
    for (const TrkSpec& t : c.in) {
      const TrkRec& trk = a->Trk[t.track];
      const bool kept = std::find(c.kept.begin(), c.kept.end(), t.track) != c.kept.end();
      EXPECT_EQ(trk.RecTrack, kept ? t.number : 0u) << c.why << ", track " << t.track;
      EXPECT_EQ(trk.Flags, kept ? (t.flags | kTrkSelected) : uint32_t{kTrkSelected}) << c.why;
      if (!kept) {
        EXPECT_EQ(trk.RecKind, 0u) << c.why;
      }
    }
    ArrHeap.Free(a);
  }
}

// ---- Part links, names, selection ----

TEST_F(EditTest, PartLinkCheckRepairsBitsWithoutPartners) {
  const uint32_t t = Take();
  // A-B a valid pair; B also claims C below, which is no partner (other
  // length) but claims B back; D claims a partner on the track above that
  // has none.
  const uint32_t a = Add(0, MakePart(100, 50, 0, kPartLinkNext, t));
  const uint32_t b = Add(1, MakePart(100, 50, 0, kPartLinkPrev | kPartLinkNext, t));
  const uint32_t c = Add(2, MakePart(100, 60, 0, kPartLinkPrev, t));
  const uint32_t d = Add(5, MakePart(0, 10, 0, kPartLinkPrev, t));
  EXPECT_EQ(ArrCheckPartLinks(arr, 0, nullptr), 0);
  EXPECT_EQ(P(b).Flags, uint32_t{kPartLinkPrev | kPartLinkNext}) << "no repair without the flag";

  EXPECT_EQ(ArrCheckPartLinks(arr, 1, kDc), 0);
  EXPECT_EQ(P(a).Flags, uint32_t{kPartLinkNext});
  EXPECT_EQ(P(b).Flags, uint32_t{kPartLinkPrev});
  EXPECT_EQ(P(c).Flags, 0u);
  EXPECT_EQ(P(d).Flags, 0u);
  EXPECT_EQ(Services().Count("ArrDrawPart("), 3);
  EXPECT_EQ(ArrCheckPartLinks(arr, 1, kDc), 1);
}

TEST_F(EditTest, PartNameCheckMendsBadNames) {
  const uint32_t t = Take(1000, "Vocals");
  const std::string takeName = reinterpret_cast<const char*>(TakeGetAttr(TakeFromRef(t), kTakeAttrName));
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Lead", "Lead"},
      {"", takeName},
      {"  Lead", "Lead"},
      {"a/b:c", "a b c"},
      {" ?", takeName},
      {std::string(64, 'x'), std::string(63, 'x')},  // no terminator in its 64 bytes
  };
  std::vector<uint32_t> slots;
  for (const Case& c : cases) {
    PartRec p = MakePart(0, 10, 0, 0, t);
    std::memcpy(p.Name, c.in.data(), std::min<size_t>(c.in.size(), sizeof p.Name));
    slots.push_back(Add(3, p));
  }
  EXPECT_EQ(ArrCheckPartNames(arr, 0, nullptr), 0);
  EXPECT_EQ(std::string(P(slots[3]).Name), "a/b:c") << "no repair without the flag";
  EXPECT_EQ(ArrCheckPartNames(arr, 1, kDc), 0);
  for (size_t i = 0; i < slots.size(); ++i)
    EXPECT_EQ(std::string(P(slots[i]).Name), cases[i].out) << i;
  EXPECT_EQ(Services().Count("ArrDrawPart("), 5);
  EXPECT_EQ(ArrCheckPartNames(arr, 0, nullptr), 1);
}

TEST_F(EditTest, ClearSelectionCountsAndRedraws) {
  Add(0, 0, 10, 0, kPartSelected);
  Add(0, 20, 10, 0, 0);
  Add(7, 0, 10, 0, kPartSelected | kPartTimelocked);
  EXPECT_EQ(ArrClearSelection(arr, nullptr, 1), 2u);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 0u);
  EXPECT_EQ(Services().Count("ArrRedrawWindows()"), 1);
  EXPECT_EQ(ArrClearSelection(arr, nullptr, 1), 0u);
  EXPECT_EQ(Services().Count("ArrRedrawWindows()"), 1) << "nothing changed, nothing redrawn";

  Add(2, 0, 10, 0, kPartSelected);
  EXPECT_EQ(ArrClearSelection(arr, kDc, 1), 1u);
  EXPECT_EQ(Services().Count("ArrDrawPart("), 1);
}

// ---- Takes in use ----

TEST_F(EditTest, SyncTakeRefsRebuildsTheRingFromTheParts) {
  const uint32_t used1 = Take(), used2 = Take(), old = Take();
  TakeRingAdd(TakeFromRef(old));
  Add(0, MakePart(0, 10, 0, 0, used1));
  Add(1, MakePart(0, 10, 0, 0, used2));
  Add(2, MakePart(50, 10, 0, 0, used1));
  Add(3, MakePart(80, 10, 0, 0, 9999));  // no such Take
  ArrSyncTakeRefs(arr, 0);
  int members = 0;
  for (TakeRec* t = TakeRingFirst(); t; t = TakeRingNext(t)) ++members;
  EXPECT_EQ(members, 2);
  EXPECT_TRUE(TakeInRing(TakeFromRef(used1)));
  EXPECT_TRUE(TakeInRing(TakeFromRef(used2)));
  EXPECT_FALSE(TakeInRing(TakeFromRef(old)));
  EXPECT_EQ(Services().Count("TakeDirWndRepaint()"), 0);

  ArrSyncTakeRefs(arr, 1);
  EXPECT_EQ(Services().Count("TakeDirWndRepaint()"), 1);
  ArrRec* empty = NewArr();
  ArrSyncTakeRefs(empty, 0);
  EXPECT_EQ(TakeRingFirst(), nullptr);
  ArrHeap.Free(empty);
}

// ---- Copy and move ----

class CopyTest : public EditTest {
 protected:
  uint32_t error = 0;
  int32_t offset = 0;
  ArrRec* Copy(ArrRec* dest, ArrRec* src, int32_t timeOffset, int32_t trackOffset, int copy,
               int shift = 0, int keepGoing = 0, int channel = 0, DcHandle dc = nullptr) {
    offset = timeOffset;
    return ArrCopyParts(dc, dest, src, &offset, trackOffset, copy, 0, shift, keepGoing, 0, channel,
                        &error);
  }
  // Start of every Part of the track, in list order.
  std::vector<int32_t> Starts(const ArrRec* a, uint32_t track) const {
    std::vector<int32_t> starts;
    ArrForEachTrackPart(a, track, [&](uint32_t, const PartRec& p) { starts.push_back(p.Start); });
    return starts;
  }
};

TEST_F(CopyTest, MoveWithinTheArrangementByTimeAndTrack) {
  const uint32_t a = Add(0, 1000, 100, 0, kPartSelected);
  Add(0, 5000, 100, 0, 0);
  Add(1, 2000, 100, 0, kPartSelected);
  P(a).SnapPoint = 30;
  arr = Copy(arr, arr, 500, 2, 0);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(Starts(arr, 0), (std::vector<int32_t>{5000}));
  EXPECT_EQ(Starts(arr, 2), (std::vector<int32_t>{1500}));
  EXPECT_EQ(Starts(arr, 3), (std::vector<int32_t>{2500}));
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 0u) << "KeepSel 0 deselects";
  const PartRec& moved = *ArrPart(arr, List(2)[0]);
  EXPECT_EQ(moved.SnapPoint, 30);
  EXPECT_EQ(moved.Offset, 0);

  KeepSel = 1;
  arr = Copy(arr, arr, 0, 0, 1);  // nothing selected: nothing happens
  EXPECT_EQ(arr->PartCount, 3u);
}

TEST_F(CopyTest, CopyIntoANewArrangementKeepsPlacesAndPairs) {
  // A crossfade pair and a Part whose partner stays behind.
  const uint32_t a = Add(4, 1000, 200, 0, kPartSelected);
  const uint32_t b = Add(4, 1100, 200, 1, kPartSelected);
  const uint32_t c = Add(6, 0, 100, 0, 0);
  const uint32_t d = Add(6, 50, 200, 1, kPartSelected);
  P(a).XfadeOutPartner = static_cast<uint16_t>(b);
  P(b).XfadeInPartner = static_cast<uint16_t>(a);
  P(c).XfadeOutPartner = static_cast<uint16_t>(d);
  P(d).XfadeInPartner = static_cast<uint16_t>(c);
  P(a).PlayChannel = 3;
  EditMultiOutMode = 40897;
  ArrRec* dest = NewArr();
  dest = Copy(dest, arr, 0, 0, 1);
  ASSERT_EQ(error, 0u);
  ASSERT_EQ(dest->PartCount, 3u);
  const auto on4 = [&] {
    std::vector<uint32_t> s;
    ArrForEachTrackPart(dest, 4, [&](uint32_t slot, const PartRec&) { s.push_back(slot); });
    return s;
  }();
  ASSERT_EQ(on4.size(), 2u);
  const PartRec &ca = *ArrPart(dest, on4[0]), &cb = *ArrPart(dest, on4[1]);
  EXPECT_EQ(ca.Start, 1000);
  EXPECT_EQ(ca.PlayChannel, 3);
  EXPECT_EQ(ca.XfadeOutPartner, on4[1]);
  EXPECT_EQ(cb.XfadeInPartner, on4[0]);
  EXPECT_EQ(ca.Flags & kPartSelected, 0u);
  EXPECT_EQ(Starts(dest, 6), (std::vector<int32_t>{50}));
  ArrForEachTrackPart(dest, 6, [](uint32_t, const PartRec& p) {
    EXPECT_EQ(p.XfadeInPartner, kArrNoLink) << "its partner was not copied";
  });
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 0u) << "sources of a copy are deselected";
  EXPECT_EQ(arr->PartCount, 4u);
  ArrHeap.Free(dest);
}

TEST_F(CopyTest, RefusalsChangeNothing) {
  Add(0, 1000, 100, 0, kPartSelected);
  Add(250, 3000, 100, 0, kPartSelected);
  Add(2, 4000, 100, 0, 0);
  struct Case {
    int32_t time, track;
    uint32_t expect;
    const char* why;
  } cases[] = {
      {-1001, 0, 186, "start before 0"},
      {2147419647 - 3100 + 1, 0, 186, "end past the last position"},
      {INT32_MAX, 0, 186, "end past 32 bits"},
      {0, 6, 186, "track past 255"},
      {0, -1, 186, "track before 0"},
      {3000, 2, 187, "onto a Part of the destination track"},
  };
  const std::vector<uint8_t> before = Image();
  for (const Case& c : cases) {
    error = 0;
    arr = Copy(arr, arr, c.time, c.track, 1);
    EXPECT_EQ(error, c.expect) << c.why;
    EXPECT_EQ(Image(), before) << c.why;
    arr = Copy(arr, arr, c.time, c.track, 0);
    EXPECT_EQ(error, c.expect) << c.why << " (move)";
    EXPECT_EQ(Image(), before) << c.why << " (move)";
  }
}

TEST_F(CopyTest, OverlapModeAndShiftOnOverlap) {
  // A selected Part [1000, 1100) on track 0 is copied to track 1, where the
  // blocker lies.
  struct Case {
    int32_t time, blockerStart;
    int shift;
    uint32_t expectError;
    int32_t expectStart;  // of the copy, -1 for none
  } cases[] = {
      {2000, 1050, 0, 0, 3000},   // a free stretch
      {0, 1050, 0, 187, -1},      // onto the blocker
      {60, 1050, 1, 0, 1150},     // starts inside it: lands right after it
      {-40, 1050, 1, 0, 950},     // starts before it: ends right at its start
      {-990, 30, 1, 187, -1},     // would have to start before 0
  };
  for (const Case& c : cases) {
    ArrRec* a = NewArr();
    ASSERT_EQ(ArrInsertPart(&a, MakePart(1000, 100, 0, kPartSelected), nullptr, 0, nullptr), 1);
    ASSERT_EQ(ArrInsertPart(&a, MakePart(c.blockerStart, 100), nullptr, 1, nullptr), 1);
    offset = c.time;
    a = ArrCopyParts(nullptr, a, a, &offset, 1, 1, 0, c.shift, 0, 0, 0, &error);
    EXPECT_EQ(error, c.expectError) << c.time;
    std::vector<int32_t> expect = {c.blockerStart};
    if (c.expectStart >= 0) {
      expect.push_back(c.expectStart);
      std::sort(expect.begin(), expect.end());
      EXPECT_EQ(offset, c.expectStart - 1000) << "the offset comes back shifted";
    }
    EXPECT_EQ(Starts(a, 1), expect) << c.time;
    ArrHeap.Free(a);
  }
}

TEST_F(CopyTest, EachPartShiftsOnceAndALaterConflictFails) {
  // Shifting the first Part past the first blocker lands the second on the
  // second blocker; shifting before that lands the first on the first again.
  Add(0, 0, 50, 0, kPartSelected);
  Add(0, 100, 50, 0, kPartSelected);
  Add(1, 0, 40, 0, 0);
  Add(1, 180, 120, 0, 0);
  arr = Copy(arr, arr, 0, 1, 1, 1);
  EXPECT_EQ(error, 187u);
  EXPECT_EQ(Starts(arr, 1), (std::vector<int32_t>{0, 180}));
}

TEST_F(CopyTest, NoOverlapCheckInFreeModeRaisesLayers) {
  EditOverlapMode = 40893;
  Add(0, 1000, 100, 0, kPartSelected);
  const uint32_t under = Add(0, 1020, 100, 0, 0);
  arr = Copy(arr, arr, 50, 0, 1);
  ASSERT_EQ(error, 0u);
  ASSERT_EQ(arr->PartCount, 3u);
  const uint32_t copy = 2;
  EXPECT_EQ(P(copy).Start, 1050);
  EXPECT_GT(P(copy).Layer, P(under).Layer) << "the copy covers what it landed on";
  EXPECT_NE(P(copy).OverlapLink, kArrNoLink);
}

TEST_F(CopyTest, KeepGoingSkipsWhatCannotBePlaced) {
  Add(0, 100, 50, 0, kPartSelected);
  Add(0, 5000, 50, 0, kPartSelected);
  Add(0, 6000, 50, 0, kPartSelected | kPartLinkNext);  // link without partner
  arr = Copy(arr, arr, -1000, 0, 0, 0, 1);
  EXPECT_EQ(error, 238u);
  EXPECT_EQ(Starts(arr, 0), (std::vector<int32_t>{100, 4000, 5000}));
  ArrForEachTrackPart(arr, 0, [](uint32_t, const PartRec& p) {
    EXPECT_EQ(p.Flags & kPartLinkNext, 0u) << "links checked";
  });
}

TEST_F(CopyTest, TooManyPartsChangesNothing) {
  ArrRec* full = NewArr();
  ASSERT_EQ(ArrReserveParts(&full, kArrMaxParts, 1, nullptr), 1);
  for (uint32_t i = 0; i < kArrMaxParts; ++i)
    ASSERT_EQ(ArrInsertPart(&full, MakePart(int32_t(i) * 10, 5), nullptr, i % 256, nullptr), 1);
  Add(0, 0, 10, 0, kPartSelected);
  const uint32_t count = full->PartCount;
  full = Copy(full, arr, 1000, 0, 1);  // onto a free stretch of track 0
  EXPECT_EQ(error, 216u);
  EXPECT_EQ(full->PartCount, count);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 1u);
  ArrHeap.Free(full);
}

TEST_F(CopyTest, CopyWithinAGrowingBlockFollowsTheMove) {
  // Fill the first 65536-byte block, then copy within it so that it grows.
  const uint32_t fit = (65536 - sizeof(ArrRec)) / sizeof(PartRec);
  for (uint32_t i = 0; i < fit; ++i) Add(i % 8, int32_t(i) * 100, 50, 0, i % 3 == 0 ? uint32_t{kPartSelected} : 0u);
  ASSERT_EQ(ArrBlockSize(arr->PartCount), 13316 + 128 * fit);
  const uint32_t selected = ArrCountSelParts(arr, kArrCountAll, 0);
  KeepSel = 1;
  arr = Copy(arr, arr, 0, 8, 1);
  ASSERT_EQ(error, 0u);
  EXPECT_EQ(arr->PartCount, fit + selected);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), selected);
  for (uint32_t t = 0; t < 8; ++t) EXPECT_EQ(Starts(arr, t + 8).size() > 0, true) << t;
}

TEST_F(CopyTest, MovingAPairWithinTheArrangementKeepsItJoined) {
  Add(0, 0, 10, 0, 0);  // an unmoved Part in the lowest slot
  const uint32_t a = Add(3, 1000, 200, 0, kPartSelected);
  const uint32_t b = Add(3, 1100, 200, 1, kPartSelected);
  P(a).XfadeOutPartner = static_cast<uint16_t>(b);
  P(b).XfadeInPartner = static_cast<uint16_t>(a);
  ArrUnlinkPart(arr, 0, 0);  // slot 0 free: the moved Parts change slots
  arr = Copy(arr, arr, 300, 1, 0);
  ASSERT_EQ(error, 0u);
  const auto on4 = List(4);
  ASSERT_EQ(on4.size(), 2u);
  EXPECT_EQ(P(on4[0]).XfadeOutPartner, on4[1]);
  EXPECT_EQ(P(on4[1]).XfadeInPartner, on4[0]);
  EXPECT_EQ(P(on4[0]).Start, 1300);
}

TEST_F(CopyTest, ChannelFlagAdoptsTheRecordTrack) {
  ArrRec* dest = NewArr();
  dest->Trk[2].RecTrack = 17;
  dest->Trk[2].RecKind = 3;
  dest->Trk[3].RecTrack = 4;
  dest->Trk[3].RecKind = 20;
  PartRec audio = MakePart(0, 10, 0, kPartSelected);
  audio.PlayChannel = 5;
  PartRec muted = MakePart(100, 10, 0, kPartSelected);
  muted.PlayChannel = 200;
  PartRec wrongKind = MakePart(0, 10, 0, kPartSelected);
  wrongKind.PlayChannel = 9;
  Add(2, audio);
  Add(2, muted);
  Add(3, wrongKind);
  KeepSel = 1;
  dest = Copy(dest, arr, 0, 0, 1, 0, 0, 1);
  ASSERT_EQ(error, 0u);
  std::vector<int32_t> channels;
  for (uint32_t t : {2u, 3u})
    ArrForEachTrackPart(dest, t, [&](uint32_t, const PartRec& p) { channels.push_back(p.PlayChannel); });
  EXPECT_EQ(channels, (std::vector<int32_t>{17, 17 + 192, 9}));
  ArrHeap.Free(dest);
}

TEST_F(CopyTest, AutomaticMutingOfSharedChannels) {
  PartRec moving = MakePart(0, 100, 0, kPartSelected);
  moving.PlayChannel = 5;
  PartRec other = MakePart(500, 100, 0, 0);
  other.PlayChannel = 5;
  Add(0, moving);
  const uint32_t o = Add(1, other);
  arr = Copy(arr, arr, 450, 0, 0);
  ASSERT_EQ(error, 0u);
  EXPECT_EQ(P(o).PlayChannel, 197);
  EditMultiOutMode = 40897;
  P(o).PlayChannel = 5;
  ArrForEachTrackPart(arr, 0, [&](uint32_t slot, const PartRec&) { P(slot).Flags |= kPartSelected; });
  arr = Copy(arr, arr, 10, 0, 0);
  EXPECT_EQ(P(o).PlayChannel, 5);
}

TEST_F(CopyTest, DrawsWhatItMovesWithADeviceContext) {
  Add(0, 0, 100, 0, kPartSelected);
  Add(0, 50, 100, 1, 0);
  arr = Copy(arr, arr, 1000, 0, 0, 0, 0, 0, kDc);
  ASSERT_EQ(error, 0u);
  EXPECT_EQ(Services().Count("ArrErasePart("), 1);
  EXPECT_EQ(Services().Count("ArrDrawPart("), 2) << Services().Joined();
}

TEST_F(CopyTest, TempoFollowingMidiPartsKeepTheirMusicalPosition) {
  // Before: 60 BPM; now: 120 BPM. One beat is 44100 samples before and
  // 22050 now.
  const uint32_t midi = Take(960, "Midi", 21, 480);
  PartRec part = MakePart(44100, 44100, 0, kPartSelected, midi, 21);
  part.Offset = 44100;
  part.SnapPoint = 4410;
  Add(0, part);
  Settings().Tempo = 12000;
  ArrPrevTempo = {nullptr, 6000, 44100};
  int32_t start = 0, end = 0, snap = 0, off = 0;
  ASSERT_EQ(ArrRetimeMidiPart(1, part, 0.0, &start, &end, &snap, &off), 1);
  EXPECT_EQ(start, 22050);
  EXPECT_EQ(end, 44100);
  EXPECT_EQ(snap, 2205);
  EXPECT_EQ(off, 22050);
  EXPECT_EQ(ArrRetimeMidiPart(1, MakePart(0, 10), 0.0, &start, &end, &snap, &off), 0);

  offset = 0;
  arr = ArrCopyParts(nullptr, arr, arr, &offset, 0, 0, 0, 0, 0, 1, 0, &error);
  ASSERT_EQ(error, 0u);
  EXPECT_EQ(P(List(0)[0]).Start, 22050);
  EXPECT_EQ(P(List(0)[0]).Length, 22050);
  ArrPrevTempo = {nullptr, 0, 0};
}

}  // namespace
