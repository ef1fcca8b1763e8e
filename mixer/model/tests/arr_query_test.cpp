// Queries of the arrangement: the top Part at a position, overlap of spans,
// rectangles, selection counts, lists and neighbours, Take sharing, snapping
// of a range, the track question, extents, layers and overlap links.
#include "arr_fixture.h"
#include "mixer/model/settings.h"
#include "mixer/model/snap.h"
#include "mixer/model/take.h"

#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kSel = kPartSelected;

TEST_F(ArrTest, TopPartAtLocAndThePartUnder) {
  uint32_t a = Add(2, 0, 100, 1);
  uint32_t b = Add(2, 10, 50, 3);
  uint32_t c = Add(2, 20, 10, 2);  // under b
  uint32_t d = Add(2, 200, 10, 0);
  struct Case {
    int32_t position, top, under;
  } cases[] = {
      {5, int32_t(a), -1},      // a is first: nothing before it
      {15, int32_t(b), int32_t(a)},
      {25, int32_t(b), int32_t(a)},  // c is lower than b
      {99, int32_t(a), -1},
      {100, -1, -1},
      {205, int32_t(d), int32_t(c)},  // the Part just before it in the list
  };
  for (const Case& k : cases) {
    int32_t under = 77;
    EXPECT_EQ(ArrTopPartAtLoc(arr, 2, k.position, &under), k.top) << k.position;
    EXPECT_EQ(under, k.under) << k.position;
  }
  // Equal layers: the first in list order.
  uint32_t e = Add(3, 0, 10, 4);
  Add(3, 5, 10, 4);
  EXPECT_EQ(ArrTopPartAtLoc(arr, 3, 7, nullptr), int32_t(e));
  EXPECT_EQ(ArrTrackOfPart(arr, c), 2);
  EXPECT_EQ(ArrTrackOfPart(arr, e), 3);
  EXPECT_EQ(ArrTrackOfPart(arr, 9999), -1);
}

TEST(PartOverlapsRange, TheOverlapRule) {
  struct Case {
    int32_t start, length, from, to, overlaps;
  } cases[] = {
      {10, 10, 0, 10, 0},   {10, 10, 0, 11, 1},  {10, 10, 19, 30, 1}, {10, 10, 20, 30, 0},
      {10, 10, 12, 15, 1},  {10, 10, 0, 100, 1}, {10, 10, 10, 20, 1},
      // Ends computed in 64 bits: no wrap near the end of the time line.
      {0x7FFFFF00, 0x7FFFFFFF, 0, 100, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PartOverlapsRange(c.from, c.to, MakePart(c.start, c.length)), c.overlaps)
        << c.start << "+" << c.length << " vs [" << c.from << ", " << c.to << ")";
}

TEST(ArrPartToRectCalc, ColumnsRowsAndLimits) {
  ArrRectView view = {44100 + 1000, 100, 2, 13, 16};
  ArrRectPx r = ArrPartToRectCalc(5, MakePart(3000, 500), view);
  EXPECT_EQ(r.Left, 20);
  EXPECT_EQ(r.Right, 25);
  EXPECT_EQ(r.Top, 3 * 15 + 16 + 1);
  EXPECT_EQ(r.Bottom, r.Top + 14);
  // Far right: held at 32767 (64-bit arithmetic, no wrap); zoom 0 counts as 1.
  view.Hzoom = 0;
  view.Origin = 0;
  r = ArrPartToRectCalc(2, MakePart(0x7FFF0000, 0x7FFF0000), view);
  EXPECT_EQ(r.Left, 32767);
  EXPECT_EQ(r.Right, 32767);
  EXPECT_EQ(r.Top, 17);
  view.Origin = 0x7FFFFFFF;
  EXPECT_EQ(ArrPartToRectCalc(0, MakePart(0, 10), view).Left, -32768);
}

TEST_F(ArrTest, SelectionCountsListsAndMarks) {
  uint32_t a = Add(0, MakePart(0, 10, 0, kSel | kPartTempMark, 1, 3));
  Add(0, MakePart(20, 10, 0, kPartPassMark, 1, 3));
  uint32_t c = Add(4, MakePart(0, 10, 0, kSel | kPartPassMark, 2, 21));
  uint32_t d = Add(1, MakePart(5, 10, 0, kSel, 3, 20));
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountAll, 0), 3u);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountKind, 21), 1u);
  EXPECT_EQ(ArrCountSelParts(arr, kArrCountNotKind, 21), 2u);

  uint32_t* list = ArrSelPartList(arr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list[0], a);  // track 0 first
  EXPECT_EQ(list[1], d);
  EXPECT_EQ(list[2], c);
  EXPECT_EQ(list[3], kArrNoSlot);
  ArrSelPartListFree(list);
  ArrSlotListFailNext();
  EXPECT_EQ(ArrSelPartList(arr), nullptr);

  ArrClearTempMarks(arr);
  ArrClearWriteMarks(arr);
  for (uint32_t s = 0; s < arr->PartCount; ++s)
    EXPECT_EQ(P(s).Flags & (kPartTempMark | kPartPassMark), 0u);
  EXPECT_EQ(P(a).Flags, kSel);
}

TEST_F(ArrTest, NeighboursOfTheSelection) {
  // Track 0: selected a [100, 150) and b [100, 140) layer 2 starting with
  // it; c [140, 160) selected; Parts ending at 100 and starting at 160.
  uint32_t before1 = Add(0, 50, 50, 1);
  uint32_t before2 = Add(0, 60, 40, 3);
  Add(0, 70, 31, 9);  // ends after 100
  uint32_t a = Add(0, 100, 50, 0, kSel);
  uint32_t b = Add(0, 100, 40, 2, kSel);
  Add(0, 100, 40, 7);  // not selected
  uint32_t c = Add(0, 140, 10, 1, kSel);
  uint32_t after1 = Add(0, 150, 10, 0);
  uint32_t after2 = Add(0, 150, 5, 4);
  EXPECT_EQ(TrkFirstSelPart(arr, 0), int32_t(b));
  // a and c both end at 150; c is later in the list with a layer not lower.
  EXPECT_EQ(TrkLastSelPart(arr, 0), int32_t(c));
  P(c).Layer = -1;
  EXPECT_EQ(TrkLastSelPart(arr, 0), int32_t(a));
  EXPECT_EQ(TrkPartBeforeSel(arr, 0), int32_t(before2));
  P(before2).Layer = 1;
  EXPECT_EQ(TrkPartBeforeSel(arr, 0), int32_t(before1));  // first on equal layers
  EXPECT_EQ(TrkPartAfterSel(arr, 0), int32_t(after2));
  P(after2).Layer = 0;
  EXPECT_EQ(TrkPartAfterSel(arr, 0), int32_t(after1));
  for (auto fn : {TrkFirstSelPart, TrkLastSelPart, TrkPartBeforeSel, TrkPartAfterSel})
    EXPECT_EQ(fn(arr, 1), -1);
}

// Three real Takes in a temporary folder, in an open Take store.
struct ReBinTakes {
  std::filesystem::path root;
  std::string dir;
  uint32_t t7 = 0, t8 = 0, t9 = 0;
  ReBinTakes() {
    root = std::filesystem::temp_directory_path() / "arr_query_rebin";
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    dir = root.string() + "/";
    for (char& ch : dir)
      if (ch == '/') ch = '\\';
    TakeStoreOpen();
    for (uint32_t* t : {&t7, &t8, &t9})
      *t = TakeRef(TakeCreateAudio(dir.c_str(), 2, 4, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                                   nullptr, nullptr));
  }
  ~ReBinTakes() {
    TakeStoreClose();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  bool InReBin(uint32_t take) const {
    const TakeRec* rec = TakeFromRef(take);
    return rec && std::string(rec->path).find("\\qvReBin\\") != std::string::npos;
  }
};

TEST_F(ArrTest, TakeSharingAndReBin) {
  ReBinTakes takes;
  const uint32_t t7 = takes.t7, t8 = takes.t8, t9 = takes.t9;
  ASSERT_TRUE(t7 && t8 && t9);
  Add(0, MakePart(0, 10, 0, kSel, t7));
  Add(0, MakePart(20, 10, 0, kSel, t7));   // 7: only selected Parts
  uint32_t c = Add(1, MakePart(0, 10, 0, kSel, t8));
  Add(2, MakePart(0, 10, 0, 0, t8));       // 8: also unselected
  uint32_t e = Add(2, MakePart(30, 10, 0, 0, t9));
  EXPECT_EQ(ArrTakeIsUnreferenced(arr, 5), 1);
  EXPECT_EQ(ArrTakeIsUnreferenced(arr, t9), 0);
  EXPECT_EQ(ArrPartTakeIsUnshared(arr, e), 1);
  EXPECT_EQ(ArrPartTakeIsUnshared(arr, c), 0);
  EXPECT_EQ(ArrSelHasUnsharedTakes(arr), 1);

  EXPECT_EQ(ArrReBinUnsharedSelTakes(arr, 1), 1u);
  EXPECT_TRUE(takes.InReBin(t7));  // only Take 7 went to the rebin folder
  EXPECT_FALSE(takes.InReBin(t8));
  EXPECT_FALSE(takes.InReBin(t9));
  EXPECT_EQ(Services().Count("SFManNotify("), 1);
  Services().ClearLog();
  EXPECT_EQ(ArrReBinUnsharedSelTakes(arr, 0), 1u);
  EXPECT_EQ(Services().Count("SFManNotify("), 0);

  P(c).Take = t7;  // every selected Take is 7, and no unselected Part uses it
  P(e).Take = t7;
  EXPECT_EQ(ArrSelHasUnsharedTakes(arr), 0);
}

TEST_F(ArrTest, SnapRangeToGridWithinTheDistance) {
  ProjectSettings saved = Settings();
  Settings().SampleRate = 48000;
  Settings().TcOffset = 0;
  Settings().SnapEnable = 1;
  Settings().SnapMode = kSnapTcSecond;
  struct Case {
    int32_t distance, start, end, offset;
    int32_t wantStart, wantEnd, wantOffset;
  } cases[] = {
      {1000, 47500, 96600, 10, 48000, 96000, 510},  // both snap; the offset follows
      {400, 47500, 96300, 10, 47500, 96000, 10},    // the start is too far
      {0, 48000, 96001, 0, 48000, 96001, 0},
      {1000, 48600, 200000, 700, 48000, 200000, 100},
  };
  for (const Case& c : cases) {
    int32_t start = c.start, end = c.end, offset = c.offset;
    SnapRangeToGrid(c.distance, &start, &end, &offset, kSnapNearest, arr, nullptr,
                    kSnapExcludeNone, 1);
    EXPECT_EQ(start, c.wantStart) << c.start;
    EXPECT_EQ(end, c.wantEnd) << c.end;
    EXPECT_EQ(offset, c.wantOffset) << c.start;
  }
  Settings() = saved;
}

TEST_F(ArrTest, AskTracksWithSelectedParts) {
  uint8_t mask[kArrTracks];
  CurArr = arr;
  AskTrksWithSelParts(mask);  // nothing selected: no question, every track
  EXPECT_TRUE(Host().boxes.empty());
  for (uint8_t m : mask) EXPECT_EQ(m, 1);

  Add(3, 0, 10, 0, kSel);
  Add(200, 0, 10, 0, kSel);
  Add(4, 0, 10);
  Host().answers = {kIdYes, kIdNo};
  AskTrksWithSelParts(mask);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].text, "Apply only to Virtual Tracks that have Parts selected?");
  EXPECT_EQ(Host().boxes[0].flags, static_cast<uint32_t>(kMbAskYesNoYes));
  for (uint32_t t = 0; t < kArrTracks; ++t) EXPECT_EQ(mask[t], t == 3 || t == 200 ? 1 : 0) << t;
  AskTrksWithSelParts(mask);
  for (uint8_t m : mask) EXPECT_EQ(m, 1);
}

TEST_F(ArrTest, Extents) {
  Add(7, 500, 100);
  Add(7, 900, 10);
  Add(9, 300, 50);
  Add(9, 320, 1000);
  EXPECT_EQ(ArrStartLoc(arr), 300);
  EXPECT_EQ(ArrEndLoc(arr), 1320);
  Add(1, 0x7FFFFF00, 0x1000);  // a damaged end is held at 0x7FFFFFFF
  EXPECT_EQ(ArrEndLoc(arr), 0x7FFFFFFF);
}

TEST_F(ArrTest, LayersInRangeAndOverlapLinksOfOneTrack) {
  uint32_t a = Add(0, 0, 100, 1);
  uint32_t b = Add(0, 50, 100, 4);
  uint32_t c = Add(0, 300, 100, 2);
  P(b).PlayChannel = -193;  // being recorded
  EXPECT_EQ(TrkTopLayerInRange(0, arr, 60, 70, 0), 4);
  EXPECT_EQ(TrkTopLayerInRange(0, arr, 60, 70, 1), 1);
  EXPECT_EQ(TrkTopLayerInRange(0, arr, 150, 300, 0), -1);
  EXPECT_EQ(TrkTopLayerInRange(1, arr, 0, 1000, 0), -1);

  EXPECT_EQ(ArrHasOverlaps(arr, 0), 0);
  // Only Parts from the first overlapping [280, 320) on get new links.
  uint32_t d = Add(0, 320, 10, 3);
  TrkFindOverlap(0, arr, 280, 320);
  EXPECT_EQ(P(a).OverlapLink, kArrNoLink);  // outside the range: untouched
  EXPECT_EQ(P(c).OverlapLink, d);
  EXPECT_EQ(P(d).OverlapLink, kArrNoLink);  // starts at the range's end
  ArrRelinkOverlaps(arr);
  EXPECT_EQ(P(a).OverlapLink, b);
  EXPECT_EQ(P(b).OverlapLink, a);
  EXPECT_EQ(P(d).OverlapLink, c);
  EXPECT_EQ(ArrHasOverlaps(arr, 1), 0);
  P(d).Flags |= kSel;
  EXPECT_EQ(ArrHasOverlaps(arr, 1), 1);
}

TEST_F(ArrTest, RaiseSelectedLayers) {
  // Unselected u1 (layer 5) and u2 (layer 2) under selected s1 (2) and s2 (3).
  uint32_t u1 = Add(0, 0, 100, 5);
  uint32_t s1 = Add(0, 10, 30, 2, kSel);
  uint32_t s2 = Add(0, 20, 30, 3, kSel);
  uint32_t u2 = Add(1, 0, 100, 2);
  uint32_t s3 = Add(1, 500, 10, 0, kSel);  // overlaps nothing
  ArrRelinkOverlaps(arr);
  // H = 5, L = 0: every selected layer rises by 6 and keeps its order.
  EXPECT_EQ(ArrRaiseSelLayers(arr, 0, 0), 1);
  EXPECT_EQ(P(s1).Layer, 8);
  EXPECT_EQ(P(s2).Layer, 9);
  EXPECT_EQ(P(s3).Layer, 6);
  EXPECT_EQ(P(u1).Layer, 5);
  EXPECT_EQ(P(u2).Layer, 2);
  // Already above: nothing changes.
  EXPECT_EQ(ArrRaiseSelLayers(arr, 0, 0), 0);
  EXPECT_EQ(P(s1).Layer, 8);

  // Only on conflict: no selected Part shares a layer with one it overlaps.
  P(s1).Layer = 1;
  P(s2).Layer = 3;
  EXPECT_EQ(ArrRaiseSelLayers(arr, 1, 0), 0);
  P(s2).Layer = 5;  // shares u1's layer
  EXPECT_EQ(ArrRaiseSelLayers(arr, 1, 0), 1);
  EXPECT_EQ(P(s1).Layer, 6);  // L = 1, H = 5: 5 added
  EXPECT_EQ(P(s2).Layer, 10);

  // First pass: selected Parts sharing a layer are separated first.
  P(s1).Layer = 7;
  P(s2).Layer = 7;
  P(s3).Layer = 7;
  EXPECT_EQ(ArrRaiseSelLayers(arr, 0, 1), 1);
  EXPECT_NE(P(s1).Layer, P(s2).Layer);

  // A rise past 32767 would lose the order: refused.
  P(s1).Layer = 32767;
  P(s2).Layer = 1;
  EXPECT_EQ(ArrRaiseSelLayers(arr, 0, 0), 0);
  EXPECT_EQ(P(s2).Layer, 1);
}

}  // namespace
