// Consolidation over real Take files: one new Take per play channel, the
// Parts re-pointed, and the failure paths leaving everything as it was.
#include <filesystem>
#include <set>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/partedit.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/undo.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

int g_renderAnswer = kIdOk;
std::vector<ConsChannel> g_seen;
int Render(ConsChannel* table) {
  g_seen.assign(table, table + kConsChannels);
  return g_renderAnswer;
}

class Consolidate : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("cons_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    g_renderAnswer = kIdOk;
    g_seen.clear();
    ConsSetRenderer(Render);
    KeepSel = 1;
  }
  void TearDown() override {
    ConsSetRenderer(nullptr);
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  uint32_t Source(const char* name) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, 100000, 0, 48000, 0, 1, name, "",
                                 nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    return TakeRef(t);
  }
  uint32_t AddPart(uint32_t track, int32_t start, int32_t length, uint32_t take, int32_t channel) {
    PartRec p = NewPart(start, length, take, kTakeAudio, kPartSelected);
    p.PlayChannel = channel;
    p.Offset = 10;
    p.GainStart = 20000;
    p.Flags |= kPartPhaseInvert;
    return Add(track, p);
  }
  bool ProcEmpty() { return fs::is_empty(root_ / "proc"); }
  fs::path root_;
};

TEST_F(Consolidate, EachChannelRendersIntoOneTake) {
  const uint32_t vox = Source("Vox");
  const uint32_t gtr = Source("Gtr");
  const uint32_t a = AddPart(0, 1000, 500, vox, 1);
  const uint32_t b = AddPart(0, 3000, 200, gtr, 1);
  const uint32_t c = AddPart(1, 200, 100, gtr, 2);
  ASSERT_EQ(ArrConsolidate(kTestDc), 1);
  ASSERT_EQ(g_seen.size(), 192u);
  EXPECT_EQ(g_seen[0].FirstPart, static_cast<int32_t>(a));
  EXPECT_EQ(g_seen[0].Start, 1000);
  EXPECT_EQ(g_seen[0].End, 3200);
  EXPECT_EQ(g_seen[1].Start, 200);
  EXPECT_EQ(g_seen[2].FirstPart, -1);
  // a and b continue one another in the new Take across a free gap: they
  // are glued into one Part.
  EXPECT_EQ(Spans(0), (std::vector<std::pair<int32_t, int32_t>>{{1000, 2200}}));
  (void)b;
  EXPECT_NE(P(a).Take, P(c).Take);
  EXPECT_EQ(P(a).Offset, 0);
  EXPECT_EQ(P(c).Offset, 0);
  // The Take holds exactly the channel's span, at the recording width.
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(a).Take), kTakeAttrLength), 2200u);
  EXPECT_EQ(TakeGetAttr(TakeFromRef(P(a).Take), kTakeAttrBytesPerSample), 3u);
  EXPECT_EQ(P(a).GainStart, 32768u);
  EXPECT_EQ(P(a).Flags & kPartPhaseInvert, 0u);
  EXPECT_EQ(std::string(P(a).Name), "P1000 #01");
  EXPECT_EQ(std::string(P(c).Name), "P200 #01");  // Gtr #01
}

TEST_F(Consolidate, AFailedTakeOrCancelLeavesEverythingAsItWas) {
  const uint32_t vox = Source("Vox");
  AddPart(0, 0, 100, vox, 1);
  AddPart(3, 0, 0x7FFFFF00, vox, 2);  // its Take would pass the file size limit
  const std::vector<uint8_t> before = Image();
  const uint32_t levels = UndoGetLevel();

  EXPECT_EQ(ArrConsolidate(kTestDc), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{206}));
  EXPECT_TRUE(g_seen.empty());
  EXPECT_EQ(Image(), before);
  EXPECT_EQ(UndoGetLevel(), levels);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_TRUE(ProcEmpty());

  Host().Reset();
  ArrForEachTrackPart(CurArr, 3, [&](uint32_t slot, const PartRec&) { P(slot).Length = 50; });
  const std::vector<uint8_t> small = Image();
  g_renderAnswer = kIdCancel;
  EXPECT_EQ(ArrConsolidate(kTestDc), 0);
  EXPECT_EQ(g_seen.size(), 192u);
  EXPECT_EQ(Image(), small);
  EXPECT_EQ(UndoGetLevel(), levels);
  EXPECT_TRUE(ProcEmpty());

  ProcOpts().folder += "gone\\";
  g_renderAnswer = kIdOk;
  EXPECT_EQ(ArrConsolidate(kTestDc), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{178}));
  EXPECT_EQ(Image(), small);
  EXPECT_EQ(UndoGetLevel(), levels);
}

TEST_F(Consolidate, MutedPartsAreRefusedOrLeftAlone) {
  const uint32_t vox = Source("Vox");
  const uint32_t muted = AddPart(0, 0, 100, vox, 0);
  EXPECT_EQ(ArrConsolidate(kTestDc), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{243}));
  Host().Reset();
  const uint32_t live = AddPart(1, 0, 100, vox, 5);
  Answer({kIdNo});
  ASSERT_EQ(ArrConsolidate(kTestDc), 1);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{244}));
  EXPECT_EQ(P(muted).Take, vox);
  EXPECT_NE(P(live).Take, vox);
}

}  // namespace

namespace {

// The rebuild after the render, on Parts of one Take that already play it
// seamlessly (offset - start the same for all).
class Collect : public EditFixture {
 protected:
  uint32_t Piece(uint32_t track, int32_t start, int32_t length, uint32_t flags = kPartSelected) {
    PartRec p = NewPart(start, length, 7, kTakeAudio, flags);
    p.Offset = start - 1000;
    p.PlayChannel = 1;
    return Add(track, p);
  }
  std::vector<PartRec> On(uint32_t track) {
    std::vector<PartRec> v;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) { v.push_back(p); });
    return v;
  }
};

TEST_F(Collect, VisibleSectionsAreCutAndSeamlessPiecesGlued) {
  KeepSel = 1;
  EditMultiOutMode = 40893;
  // Track 0: two pieces with a free gap glue into one; their anchor and
  // gains follow.
  PartRec a = NewPart(1000, 500, 7, kTakeAudio, kPartSelected);
  a.PlayChannel = 1;
  a.GainStart = 16384;
  a.GainEnd = 32768;
  a.SnapPoint = 100;
  Add(0, a);
  const uint32_t b = Piece(0, 3000, 200);
  P(b).GainEnd = 20000;
  P(b).Flags |= kPartTimelocked;
  // Track 1: an unselected Part on a higher layer covers the middle of a
  // selected one; the two visible pieces stay apart (the gap is not free),
  // with the fade baked at their ends and the anchor dropped where it falls
  // under the cover.
  PartRec c = NewPart(10000, 1000, 7, kTakeAudio, kPartSelected);
  c.Offset = 9000;
  c.PlayChannel = 2;
  c.GainStart = 0;
  c.GainEnd = 32000;
  c.SnapPoint = 500;
  Add(1, c);
  PartRec cover = NewPart(10400, 200, 9, kTakeAudio, 0);
  cover.PlayChannel = 3;
  cover.Layer = 1;
  Add(1, cover);

  uint32_t error = 1;
  ASSERT_EQ(ConsCollectParts(&CurArr, kTestDc, &error), 1);
  EXPECT_EQ(error, 0u);
  const std::vector<PartRec> t0 = On(0);
  ASSERT_EQ(t0.size(), 1u);
  EXPECT_EQ(t0[0].Start, 1000);
  EXPECT_EQ(t0[0].Length, 2200);
  EXPECT_EQ(t0[0].Offset, 0);
  EXPECT_EQ(t0[0].GainStart, 16384u);
  EXPECT_EQ(t0[0].GainEnd, 20000u);
  EXPECT_EQ(t0[0].SnapPoint, 100);
  EXPECT_NE(t0[0].Flags & kPartTimelocked, 0u);

  const std::vector<PartRec> t1 = On(1);
  ASSERT_EQ(t1.size(), 3u);
  const PartRec& left = t1[0];
  const PartRec& right = t1[2];
  EXPECT_EQ(std::make_pair(left.Start, left.Length), std::make_pair(10000, 400));
  EXPECT_EQ(std::make_pair(right.Start, right.Length), std::make_pair(10600, 400));
  EXPECT_EQ(right.Offset, 9600);
  EXPECT_EQ(left.GainStart, 0u);
  EXPECT_EQ(left.GainEnd, ArrPartGainAt(400, c));
  EXPECT_EQ(right.GainStart, ArrPartGainAt(600, c));
  EXPECT_EQ(right.GainEnd, 32000u);
  EXPECT_EQ(left.SnapPoint, 0);  // 500 lies under the cover
  EXPECT_EQ(right.SnapPoint, 0);
  EXPECT_EQ(left.XfadeInPartner, kArrNoLink);
}

// A glued Part longer than 0x7fffff samples plays flat at the louder gain;
// with EditMultiOutMode 40896 a Part of the same channel on another track
// that overlaps the result is muted.
TEST_F(Collect, LongGlueGoesFlatAndSameChannelOverlapsAreMuted) {
  KeepSel = 1;
  EditMultiOutMode = 40896;
  const uint32_t a = Piece(2, 1000, 0x400000);
  P(a).GainStart = 10000;
  P(a).GainEnd = 20000;
  Piece(2, 1000 + 0x400000, 0x400000);
  PartRec other = NewPart(2000, 100, 9, kTakeAudio, 0);
  other.PlayChannel = 1;
  Add(5, other);
  uint32_t error = 0;
  ASSERT_EQ(ConsCollectParts(&CurArr, kTestDc, &error), 1);
  const std::vector<PartRec> t2 = On(2);
  ASSERT_EQ(t2.size(), 1u);
  EXPECT_EQ(t2[0].Length, 0x800000);
  EXPECT_EQ(t2[0].GainStart, 32768u);
  EXPECT_EQ(t2[0].GainEnd, 32768u);
  EXPECT_EQ(On(5)[0].PlayChannel, 193);
}

}  // namespace
