// Laying a recorded Part: the range it covers is cleared of what lay there,
// with the channel-link groups of the Parts cut, and a timelocked Part
// inside the range refuses the track.
#include <utility>
#include <vector>

#include "mixer/arrange/partedit.h"
#include "mixer/arrange/reclay.h"
#include "mixer/model/options.h"
#include "mixer/model/tests/arr_fixture.h"

namespace {

class RecLayTest : public ArrTest {
 protected:
  void SetUp() override {
    ArrTest::SetUp();
    KeepSel = 0;
  }
  // The spans {start, length} of the track's Parts, in list order.
  std::vector<std::pair<int32_t, int32_t>> Spans(uint32_t track) const {
    std::vector<std::pair<int32_t, int32_t>> s;
    ArrForEachTrackPart(arr, track, [&](uint32_t, const PartRec& p) { s.push_back({p.Start, p.Length}); });
    return s;
  }
  using Spans_t = std::vector<std::pair<int32_t, int32_t>>;
  // A recorded Part: it carries the pass mark, as the record pass lays it.
  uint32_t Recorded(uint32_t track, int32_t start, int32_t length, uint32_t links = 0) {
    return Add(track, MakePart(start, length, 1, kPartPassMark | links));
  }
};

TEST_F(RecLayTest, PartsUnderTheRangeAreCutBackOrRemovedWithTheirGroups) {
  // Track 0: one Part reaching into the range (linked to its partner on
  // track 1), one inside it, one reaching out of it, one beyond it.
  const uint32_t a = Add(0, MakePart(0, 3000, 0, kPartLinkNext));
  Add(1, MakePart(0, 3000, 0, kPartLinkPrev));
  Add(0, 1500, 500);
  const uint32_t c = Add(0, 4000, 3000);
  Add(0, 9000, 100);
  P(c).Offset = 200;
  const uint32_t n = Recorded(0, 1000, 4000);
  uint32_t result = 99;
  ASSERT_EQ(ArrLayRecordedPart(nullptr, &result, &arr, n, 1000, 5000, 0), 1);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Spans(0), (Spans_t{{0, 1000}, {1000, 4000}, {5000, 2000}, {9000, 100}}));
  EXPECT_EQ(Spans(1), (Spans_t{{0, 1000}}));  // the partner follows its group
  EXPECT_EQ(P(a).Length, 1000);
  ArrForEachTrackPart(arr, 0, [&](uint32_t, const PartRec& p) {
    if (p.Start == 5000) {
      EXPECT_EQ(p.Offset, 1200);
    }
    EXPECT_EQ(p.Flags & kPartSelected, 0u);
  });
}

TEST_F(RecLayTest, APartSpanningTheRangeKeepsBothEndsWithTheirGains) {
  PartRec s = MakePart(0, 10000);
  s.GainStart = 32768;
  s.GainEnd = 0;
  const uint32_t slot = Add(2, s);
  const uint32_t n = Recorded(2, 2000, 2000);
  const uint32_t at2000 = ArrPartGainAt(2000, s), at4000 = ArrPartGainAt(4000, s);
  uint32_t result = 0;
  ASSERT_EQ(ArrLayRecordedPart(nullptr, &result, &arr, n, 2000, 4000, 2), 1);
  EXPECT_EQ(Spans(2), (Spans_t{{0, 2000}, {2000, 2000}, {4000, 6000}}));
  EXPECT_EQ(P(slot).GainEnd, at2000);
  ArrForEachTrackPart(arr, 2, [&](uint32_t, const PartRec& p) {
    if (p.Start != 4000) return;
    EXPECT_EQ(p.Offset, 4000);
    EXPECT_EQ(p.GainStart, at4000);
    EXPECT_EQ(p.GainEnd, 0u);
  });
}

TEST_F(RecLayTest, ATimelockedPartInsideRefusesItsTrackOnly) {
  // A stereo recording on tracks 4-5; track 5 holds a timelocked Part inside
  // the range beside one that would be cut.
  const uint32_t head = Recorded(4, 1000, 4000, kPartLinkNext);
  Recorded(5, 1000, 4000, kPartLinkPrev);
  Add(4, 0, 2000);
  Add(5, 0, 2000);
  Add(5, 2500, 500, 0, kPartTimelocked);
  uint32_t result = 0;
  EXPECT_EQ(ArrLayRecordedParts(nullptr, &result, &arr, head, 1000, 5000, 4), 0);
  EXPECT_EQ(result, 317u);
  EXPECT_EQ(Spans(4), (Spans_t{{0, 1000}, {1000, 4000}}));
  EXPECT_EQ(Spans(5), (Spans_t{{0, 2000}, {1000, 4000}, {2500, 500}}));
  // A timelocked Part that only reaches into the range is cut like any.
  const uint32_t n = Recorded(6, 1000, 1000);
  Add(6, 0, 1500, 0, kPartTimelocked);
  EXPECT_EQ(ArrLayRecordedParts(nullptr, &result, &arr, n, 1000, 2000, 6), 1);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(Spans(6), (Spans_t{{0, 1000}, {1000, 1000}}));
  // Bad arguments lay nothing.
  EXPECT_EQ(ArrLayRecordedPart(nullptr, &result, &arr, n, 2000, 1000, 6), 0);
  EXPECT_EQ(ArrLayRecordedPart(nullptr, &result, &arr, n, 0, 1000, 256), 0);
}

}  // namespace
