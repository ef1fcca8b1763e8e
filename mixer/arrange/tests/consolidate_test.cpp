// Consolidation over real Take files: one new Take per play channel, the
// Parts re-pointed, and the failure paths leaving everything as it was.
#include <filesystem>
#include <set>
#include <string>

#include "edit_fixture.h"
#include "mixer/arrange/consolidate.h"
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
  EXPECT_EQ(P(a).Take, P(b).Take);
  EXPECT_NE(P(a).Take, P(c).Take);
  EXPECT_EQ(P(a).Offset, 0);
  EXPECT_EQ(P(b).Offset, 2000);
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
