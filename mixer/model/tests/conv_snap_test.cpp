#include "mixer/model/snap.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "mixer/arrange/arrview.h"
#include "mixer/model/settings.h"
#include "mixer/model/timecode.h"

namespace {

// An arrangement block built in place: n slots, Parts appended to their
// track's list in the order given.
class ArrBlock {
 public:
  explicit ArrBlock(uint32_t slots) : mem_(ArrBlockSize(slots) / 4, 0) {
    Arr()->PartCount = slots;
    for (uint32_t& head : Arr()->ListHead) head = kArrNoSlot;
    for (uint32_t i = 0; i < slots; ++i) ArrPart(Arr(), i)->Start = kPartFreeStart;
  }
  ArrRec* Arr() { return reinterpret_cast<ArrRec*>(mem_.data()); }
  void Add(uint32_t track, int32_t start, int32_t length, int32_t snapPoint = 0, uint32_t flags = 0) {
    PartRec* part = ArrPart(Arr(), used_);
    part->Start = start;
    part->Length = length;
    part->SnapPoint = snapPoint;
    part->Flags = flags;
    part->Next = kArrNoSlot;
    uint32_t* link = &Arr()->ListHead[track];
    while (*link != kArrNoSlot) link = &ArrPart(Arr(), *link)->Next;
    *link = used_++;
  }

 private:
  std::vector<uint32_t> mem_;
  uint32_t used_ = 0;
};

// A marker list whose markers are chained in the order given.
class MrkBlock {
 public:
  explicit MrkBlock(std::vector<int32_t> positions) : mem_(MrkBlockSize(uint32_t(positions.size())) / 4, 0) {
    MrkList* list = List();
    list->Count = uint32_t(positions.size());
    list->First = positions.empty() ? kMrkNoSlot : 0;
    for (uint32_t i = 0; i < list->Count; ++i) {
      MrkSlot(list, i)->Position = positions[i];
      MrkSlot(list, i)->Next = i + 1 < list->Count ? i + 1 : kMrkNoSlot;
    }
  }
  MrkList* List() { return reinterpret_cast<MrkList*>(mem_.data()); }

 private:
  std::vector<uint32_t> mem_;
};

// Snapping on, 120 BPM 4/4 at 48000, 25 frames: a bar is 96000 samples.
class SnapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings() = ProjectSettings{};
    Settings().SampleRate = 48000;
    Settings().SnapEnable = 1;
    ArrView().Hzoom = 1024;
    Locs() = Locators{};
  }
  static int32_t Snap(uint32_t mode, int32_t p, int32_t direction, int32_t length = 0) {
    Settings().SnapMode = mode;
    return SnapLoc(p, length, direction, nullptr, nullptr, kSnapExcludeNone, 1);
  }
};

struct GridCase {
  uint32_t mode;
  int32_t p;
  int32_t nearest, later, earlier;
};

void ExpectGrid(const GridCase& c) {
  Settings().SnapMode = c.mode;
  EXPECT_EQ(SnapLoc(c.p, 0, kSnapNearest, nullptr, nullptr, 0, 1), c.nearest) << "mode " << c.mode << " p " << c.p;
  EXPECT_EQ(SnapLoc(c.p, 0, kSnapLater, nullptr, nullptr, 0, 1), c.later) << "mode " << c.mode << " p " << c.p;
  EXPECT_EQ(SnapLoc(c.p, 0, kSnapEarlier, nullptr, nullptr, 0, 1), c.earlier) << "mode " << c.mode << " p " << c.p;
}

TEST_F(SnapTest, BarsAndNoteValues) {
  const GridCase cases[] = {
      {kSnapBar, 0, 0, 0, 0},
      {kSnapBar, 47999, 0, 96000, 0},
      {kSnapBar, 48000, 96000, 96000, 0},  // a tie goes to the later bar
      {kSnapBar, 96000, 96000, 96000, 96000},
      {kSnapBar, 100000, 96000, 192000, 96000},
      {kSnapBar, -500, 0, 0, 0},
      {1, 3 * 24000 + 1, 72000, 96000, 72000},  // quarters
      {2, 3 * 12000 + 1, 36000, 48000, 36000},  // eighths
      {3, 3 * 6000 + 1, 18000, 24000, 18000},
      {4, 3 * 3000 + 1, 9000, 12000, 9000},
      {5, 3 * 16000 + 9000, 64000, 64000, 48000},  // quarter triplets
      {6, 3 * 8000 + 1, 24000, 32000, 24000},
      {7, 3 * 4000 + 1, 12000, 16000, 12000},
      {8, 3 * 2000 + 1, 6000, 8000, 6000},
  };
  for (const GridCase& c : cases) ExpectGrid(c);
  // 3/4 at 90 BPM and 44100: a bar is 3 x 29400 samples.
  Settings().SampleRate = 44100;
  Settings().Tempo = 9000;
  Settings().MeterNum = 3;
  ExpectGrid({kSnapBar, 88199, 88200, 88200, 0});
  ExpectGrid({kSnapBar, 88200 + 30000, 88200, 176400, 88200});
}

TEST_F(SnapTest, TimeCodeSecondsAndHalfSeconds) {
  const GridCase cases[] = {
      {kSnapTcSecond, 5 * 48000 + 100, 240000, 288000, 240000},
      {kSnapTcSecond, 5 * 48000, 240000, 240000, 240000},
      {kSnapTcHalfSecond, 2 * 48000 + 10000, 96000, 120000, 96000},
      {kSnapTcHalfSecond, 130000, 120000, 144000, 120000},
  };
  for (const GridCase& c : cases) ExpectGrid(c);
  // The seconds of the time code, not of the position, with an offset.
  Settings().TcOffset = 1000;
  ExpectGrid({kSnapTcSecond, 100000, 95000, 143000, 95000});
  // Drop-frame: the minute starts at its frame 2.
  Settings().TcOffset = 0;
  Settings().CurFrameRate = kFr2997Df;
  TcRec minute{0, 1, 0, 2, 0};
  const int32_t m1 = TimeCodeToLoc(minute, 0);
  EXPECT_EQ(Snap(kSnapTcSecond, m1 + 5, kSnapEarlier), m1);
}

TEST_F(SnapTest, TimeCodeSecondsAcrossMidnight) {
  Settings().SampleRate = 22050;  // a whole day fits a position
  const int32_t day = 86400 * 22050;
  ExpectGrid({kSnapTcSecond, day - 11025, day, day, day - 22050});
  // Past a day the time code starts again; the grid follows the position.
  ExpectGrid({kSnapTcSecond, day + 3 * 22050 + 5, day + 3 * 22050, day + 4 * 22050, day + 3 * 22050});
}

TEST_F(SnapTest, FramesAndFrameParts) {
  const GridCase cases[] = {
      {11, 3 * 1920 + 1, 5760, 7680, 5760},  // 1920 samples a frame
      {12, 3 * 480 + 100, 1440, 1920, 1440},
      {13, 192 + 97, 384, 384, 192},
      {14, 100, 96, 116, 96},  // hundredths of 19.2 samples, rounded up
  };
  for (const GridCase& c : cases) ExpectGrid(c);
  Settings().CurFrameRate = kFr2997;  // frames of 1601.6 samples
  ExpectGrid({11, 1700, 1602, 3204, 1602});
  // Frames are counted on the time code: with an offset they shift, not
  // before position 0.
  Settings().CurFrameRate = kFr25;
  Settings().TcOffset = 1000;
  ExpectGrid({11, 100, 0, 920, 0});
  ExpectGrid({11, 2000, 2840, 2840, 920});
}

TEST_F(SnapTest, PartEdgesMarkersAndLocators) {
  ArrBlock arr(4);
  arr.Add(0, 10000, 5000, 2000, kPartSelected);  // edges 10000, 12000, 15000
  arr.Add(3, 30000, 1000);                       // edges 30000, 31000
  arr.Add(3, 40000, 500);
  MrkBlock markers({5000, 20000, 20000, 60000});
  Locs() = Locators{1000, 2000, 45000};

  const struct {
    uint32_t mode;
    int32_t exclusion, p, direction, want;
  } cases[] = {
      {kSnapPartEdges, 0, 12500, kSnapNearest, 12000},
      {kSnapPartEdges, 0, 14000, kSnapLater, 15000},
      {kSnapPartEdges, 0, 31000, kSnapLater, 31000},
      {kSnapPartEdges, 0, 50000, kSnapLater, 50000},  // nothing later: unchanged
      {kSnapPartEdges, 0, 5000, kSnapEarlier, 5000},  // nothing earlier
      {kSnapPartEdges, kSnapOnlyUnselParts, 12500, kSnapNearest, 30000},
      {kSnapPartEdges, kSnapOnlyUnselParts, 12500, kSnapEarlier, 12500},
      {kSnapMarkers, 0, 12000, kSnapNearest, 5000},
      {kSnapMarkers, 0, 20000, kSnapLater, 20000},
      {kSnapMarkers, 0, 20001, kSnapLater, 60000},
      {kSnapLocators, 0, 1900, kSnapNearest, 2000},
      {kSnapLocators, kSnapExcludeLeft, 1900, kSnapNearest, 1000},
      {kSnapLocators, kSnapExcludeNow, 1100, kSnapEarlier, 1100},
      {kSnapLocators, kSnapExcludeRight, 30000, kSnapLater, 30000},
      {kSnapAllTargets, 0, 44000, kSnapNearest, 45000},
      {kSnapAllTargets, 0, 19000, kSnapNearest, 20000},
      {kSnapAllTargets, 0, 1400, kSnapNearest, 1000},
      {kSnapAllTargets, kSnapNoTargets, 12500, kSnapNearest, 12500},
  };
  for (const auto& c : cases) {
    Settings().SnapMode = c.mode;
    EXPECT_EQ(SnapLoc(c.p, 0, c.direction, arr.Arr(), markers.List(), c.exclusion, 1), c.want)
        << "mode " << c.mode << " exclusion " << c.exclusion << " p " << c.p;
  }
  // Without an arrangement or markers there is nothing to snap to.
  for (uint32_t mode : {kSnapPartEdges, kSnapMarkers}) {
    Settings().SnapMode = mode;
    EXPECT_EQ(SnapLoc(12500, 0, kSnapNearest, nullptr, nullptr, 0, 1), 12500);
  }
}

TEST_F(SnapTest, DamagedChainsEndTheWalk) {
  ArrBlock arr(2);
  arr.Add(0, 1000, 100);
  arr.Add(0, 3000, 100);
  ArrPart(arr.Arr(), 1)->Next = 0;  // a cycle
  arr.Arr()->ListHead[1] = 77;      // a slot that does not exist
  MrkBlock markers({500});
  MrkSlot(markers.List(), 0)->Next = 0;
  Settings().SnapMode = kSnapAllTargets;
  EXPECT_EQ(SnapLoc(2000, 0, kSnapLater, arr.Arr(), markers.List(), 0, 1), 3000);
}

TEST_F(SnapTest, WithALengthTheCloserEdgeWins) {
  // Bars of 96000: the end's snap moves the start when it is closer.
  EXPECT_EQ(Snap(kSnapBar, 90000, kSnapNearest, 100000), 92000);
  EXPECT_EQ(Snap(kSnapBar, 95000, kSnapNearest, 100000), 96000);
  EXPECT_EQ(Snap(kSnapBar, 94000, kSnapNearest, 100000), 96000);  // equal: the start's
  // Only the end finds a target: the left locator before the end.
  Locs() = Locators{70000, 50000, 80000};
  Settings().SnapMode = kSnapLocators;
  EXPECT_EQ(SnapLoc(40000, 20000, kSnapEarlier, nullptr, nullptr, 0, 1), 30000);
  EXPECT_EQ(SnapLoc(40000, 5000, kSnapEarlier, nullptr, nullptr, 0, 1), 40000);
  // A start moved before position 0 stops there.
  Locs() = Locators{4000, 4000, 4000};
  EXPECT_EQ(SnapLoc(100, 5000, kSnapNearest, nullptr, nullptr, 0, 1), 0);
}

TEST_F(SnapTest, TwelvePixelLimit) {
  Settings().SnapMode = kSnapBar;
  ArrView().Hzoom = 100;  // 1200 samples
  const struct {
    int32_t p, noLimit, want;
  } cases[] = {
      {95000, 0, 96000}, {94800, 0, 96000}, {94799, 0, 94799}, {90000, 0, 90000}, {90000, 1, 96000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SnapLoc(c.p, 0, kSnapNearest, nullptr, nullptr, 0, c.noLimit), c.want) << c.p;
  // With a length the limit applies to the distance the start moves.
  EXPECT_EQ(SnapLoc(91000, 100000, kSnapNearest, nullptr, nullptr, 0, 0), 92000);
  EXPECT_EQ(SnapLoc(80000, 100000, kSnapNearest, nullptr, nullptr, 0, 0), 80000);
}

TEST_F(SnapTest, OffOrUnknownModeLeavesThePosition) {
  Settings().SnapMode = kSnapBar;
  Settings().SnapEnable = 0;
  EXPECT_EQ(SnapLoc(-5, 0, kSnapNearest, nullptr, nullptr, 0, 1), -5);
  EXPECT_EQ(SnapLoc(47000, 0, kSnapNearest, nullptr, nullptr, 0, 1), 47000);
  Settings().SnapEnable = 1;
  Settings().SnapMode = 19;
  EXPECT_EQ(SnapLoc(47000, 0, kSnapNearest, nullptr, nullptr, 0, 1), 47000);
}

TEST_F(SnapTest, ZeroRateTempoOrMeterNeverDivides) {
  for (int which = 0; which < 4; ++which) {
    SetUp();
    if (which == 0) Settings().SampleRate = 0;
    if (which == 1) Settings().Tempo = 0;
    if (which == 2) Settings().MeterNum = 0;
    if (which == 3) Settings().MeterDen = 0;
    for (uint32_t mode = 0; mode <= kSnapFrame + 3; ++mode) {
      const int32_t got = Snap(mode, 12345, kSnapNearest, 1000);
      if (which == 0 || (which == 1 && mode <= 8) || (which >= 2 && mode == kSnapBar)) {
        EXPECT_EQ(got, 12345) << "settings " << which << " mode " << mode;
      }
    }
  }
}

TEST_F(SnapTest, DragToTargets) {
  constexpr int32_t kNone = kSnapNoTarget;
  const struct {
    int32_t start, length, t1, t2, t3, want;
  } cases[] = {
      {100, 50, kNone, kNone, kNone, 100},
      {-5, 50, kNone, kNone, kNone, 0},
      {100, 50, 120, kNone, kNone, 120},    // start 20 away, end 30 away
      {100, 50, 140, kNone, kNone, 90},     // end 10 away
      {100, 50, 90, 160, kNone, 90},        // tie between targets: the first
      {100, 20, 110, kNone, kNone, 110},    // tie within a target: the start
      {100, 50, kNone, kNone, 97, 97},
      {-20, 50, 70, kNone, kNone, 20},      // from start 0, the end 20 away
      {10, 100, -50, kNone, kNone, 0},      // not before 0
      {INT_MAX - 100, 100, INT_MAX - 60, kNone, kNone, INT_MAX - 100},  // not past the end
      {INT_MAX - 10, 100, kNone, kNone, INT_MAX, INT_MAX - 100},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SnapDragToTargets(c.start, c.length, c.t1, c.t2, c.t3), c.want)
        << c.start << "+" << c.length << " to " << c.t1 << "," << c.t2 << "," << c.t3;
}

}  // namespace
