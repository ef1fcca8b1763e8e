// The gate run over a scripted engine scan: Parts cut to the on stretches,
// the off stretches removed or muted, linked channels cut alike.
#include <map>

#include "edit_fixture.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/model/undo.h"

namespace {

std::map<int32_t, std::vector<GatePair>> g_on;  // by channel
int GateScript(int32_t channel, int32_t, int32_t, int32_t, int32_t, int32_t, std::vector<GatePair>* out) {
  *out = g_on[channel];
  return kIdOk;
}

class GateRun : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    Settings().SampleRate = 1000;  // one sample per millisecond
    NoiseGateDefaults(&NoiseGateCurrent());
    NoiseGateCurrent().PreTrigger = 0;
    NoiseGateCurrent().Hold = 10;
    g_on.clear();
    GateSetScanner(GateScript);
  }
  void TearDown() override {
    GateSetScanner(nullptr);
    EditFixture::TearDown();
  }
  std::vector<std::tuple<int32_t, int32_t, int32_t>> Pieces(uint32_t track) {
    std::vector<std::tuple<int32_t, int32_t, int32_t>> v;
    ArrForEachTrackPart(CurArr, track, [&](uint32_t, const PartRec& p) { v.emplace_back(p.Start, p.Length, p.PlayChannel); });
    return v;
  }
};

using Pieces3 = std::vector<std::tuple<int32_t, int32_t, int32_t>>;

TEST_F(GateRun, ModesShapeTheOffStretches) {
  for (uint16_t mode : {kGateRemove, kGateMute}) {
    Reset();
    NoiseGateCurrent().Mode = mode;
    PartRec p = NewPart(0, 10000, 1, kTakeAudio, kPartSelected);
    p.Offset = 500;
    Add(0, p);
    Add(1, NewPart(0, 10000, 1, kTakeAudio, kPartSelected));  // the gate never opens on channel 2
    ArrForEachTrackPart(CurArr, 1, [&](uint32_t slot, const PartRec&) { P(slot).PlayChannel = 2; });
    g_on[1] = {{2000, 1000}, {6000, 1000}};
    ASSERT_EQ(ArrNoiseGate(kTestDc), 1) << mode;
    if (mode == kGateRemove) {
      EXPECT_EQ(Pieces(0), (Pieces3{{2000, 1000, 1}, {6000, 1000, 1}}));
      EXPECT_TRUE(Pieces(1).empty());
    } else {
      EXPECT_EQ(Pieces(0), (Pieces3{{0, 2000, 193}, {2000, 1000, 1}, {3000, 3000, 193}, {6000, 1000, 1},
                                    {7000, 3000, 193}}));
      EXPECT_EQ(Pieces(1), (Pieces3{{0, 10000, 194}}));
    }
    // The pieces play the same Take samples as before.
    ArrForEachTrackPart(CurArr, 0, [&](uint32_t, const PartRec& q) { EXPECT_EQ(q.Offset, q.Start + 500); });
    ASSERT_EQ(UndoApply(1), 1);
    EXPECT_EQ(Pieces(0), (Pieces3{{0, 10000, 1}}));
  }
}

TEST_F(GateRun, LinkedChannelsGetIdenticalCutPoints) {
  Add(0, NewPart(0, 10000, 1, kTakeAudio, kPartSelected | kPartLinkNext));
  Add(1, NewPart(0, 10000, 2, kTakeAudio, kPartSelected | kPartLinkPrev));
  ArrForEachTrackPart(CurArr, 1, [&](uint32_t slot, const PartRec&) { P(slot).PlayChannel = 2; });
  g_on[1] = {{1000, 500}};
  g_on[2] = {{1400, 600}, {5000, 100}};
  ASSERT_EQ(ArrNoiseGate(kTestDc), 1);
  const Pieces3 left = Pieces(0), right = Pieces(1);
  ASSERT_EQ(left.size(), 2u);
  ASSERT_EQ(left.size(), right.size());
  for (size_t i = 0; i < left.size(); ++i) {
    EXPECT_EQ(std::get<0>(left[i]), std::get<0>(right[i]));
    EXPECT_EQ(std::get<1>(left[i]), std::get<1>(right[i]));
  }
  EXPECT_EQ(std::get<0>(left[0]), 1000);
  EXPECT_EQ(std::get<1>(left[0]), 1000);
}

TEST_F(GateRun, RefusalsChangeNothing) {
  Add(0, NewPart(0, 100, 1, kTakeAudio, kPartSelected));
  Add(0, NewPart(50, 100, 1, kTakeAudio, kPartSelected));
  const std::vector<uint8_t> before = Image();
  EXPECT_EQ(ArrNoiseGate(kTestDc), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{336}));
  EXPECT_EQ(Image(), before);

  // Channel 1 plays once in a stereo group with channel 2 and once alone:
  // 277, and nothing changes.
  Reset();
  Add(0, NewPart(0, 100, 1, kTakeAudio, kPartSelected | kPartLinkNext));
  Add(1, NewPart(0, 100, 2, kTakeAudio, kPartSelected | kPartLinkPrev));
  ArrForEachTrackPart(CurArr, 1, [&](uint32_t slot, const PartRec&) { P(slot).PlayChannel = 2; });
  Add(0, NewPart(500, 100, 1, kTakeAudio, kPartSelected));
  const std::vector<uint8_t> mixed = Image();
  EXPECT_EQ(ArrNoiseGate(kTestDc), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{277}));
  EXPECT_EQ(Image(), mixed);
}

}  // namespace
