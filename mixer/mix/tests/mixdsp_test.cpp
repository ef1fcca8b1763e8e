#include <gtest/gtest.h>

#include "mixer/mix/mixdoc.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/tests/mixfake.h"
#include "mixer/model/util/strtab.h"

namespace {

struct Dsp : ::testing::Test {
  MixFixture f;
  MixDoc* doc = nullptr;
  void SetUp() override {
    f.host.mixerDsps = 2;
    doc = MixDocCreate(0);
    FakeLoads().clear();
  }
  void TearDown() override { MixDocDestroy(doc); }
  // A column of an input on unit `unit` and n effects.
  MixColumn* Strip(int number, int effects, int unit = 0) {
    MixColumn* c = MixColumnCreate(doc, number, "s", 0, 0);
    MixElemCreate(kFakeInput, c, 0, 0, 0, 0)->Routing = MixEncodeRouting(unit, 1, 0);
    for (int i = 0; i < effects; ++i) MixElemCreate(kFakeEffect, c, 30 + 30 * i, 0, 0, 0);
    return c;
  }
  std::vector<MixElem*> Elems(MixColumn* c) {
    std::vector<MixElem*> v;
    for (MixElem* e = c->First; e; e = e->Next) v.push_back(e);
    return v;
  }
};

TEST_F(Dsp, ElementsFillTheirPreferredDspThenTheNextWithAlignedAreas) {
  f.host.dspCap.Load = 230;
  MixColumn* c = Strip(0, 4);
  f.host.dspBlocks.clear();
  ASSERT_EQ(MixerDspAllocate(doc), 1);
  std::vector<MixElem*> e = Elems(c);
  std::vector<int> dsps;
  for (MixElem* x : e) dsps.push_back(x->DspNumber);
  // Loads 10 + 100 + 100 fit the first DSP's 230; the third effect goes on.
  EXPECT_EQ(dsps, (std::vector<int>{1, 1, 1, 2, 2}));
  EXPECT_EQ(e[1]->Dsp->AreaBase[0], 0u);
  EXPECT_EQ(e[2]->Dsp->AreaBase[0], 300u);
  EXPECT_EQ(e[2]->Dsp->SampleBase, 256u);  // 256-word delay lines aligned to 256
  EXPECT_EQ(e[3]->Dsp->SampleBase, 0u);
  // Each effect wrote its 300 words on load, in blocks of 255 and 45.
  EXPECT_EQ(f.host.dspBlocks[2], "u0 d0 op5 @300 x255");
  EXPECT_EQ(f.host.dspBlocks[3], "u0 d0 op5 @555 x45");
  EXPECT_TRUE(f.host.messages.empty());

  // A new allocation takes every element off its DSP first; deleting one
  // unloads it.
  FakeLoads().clear();
  MixerDspAllocate(doc);
  EXPECT_EQ(FakeLoads()[0], "100 off");
  EXPECT_EQ(FakeLoads()[5], "100 dsp 1");
  FakeLoads().clear();
  MixElemDelete(e[4]);
  EXPECT_EQ(FakeLoads(), (std::vector<std::string>{"101 off"}));
}

TEST_F(Dsp, LimitsReachedAreReportedOnceAndLeaveTheStateAtTwo) {
  struct Case {
    const char* what;
    uint32_t load, data, program;
    int dsps;
    std::vector<uint32_t> messages;
  } cases[] = {
      {"processing", 150, 0x4000, 0x8000, 2, {}},
      {"data memory", 1000, 500, 0x8000, 2, {IDS_MIX_DSP_MEMORY}},
      {"program memory", 1000, 0x4000, 100, 2, {IDS_MIX_DSP_PROGRAM}},
      {"no mixer DSP", 1000, 0x4000, 0x8000, 0, {IDS_MIX_NO_DSP}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    f.host.dspCap.Load = k.load;
    f.host.dspCap.Words[kAreaData0] = k.data;
    f.host.dspCap.Words[kAreaProgram] = k.program;
    f.host.mixerDsps = k.dsps;
    MixColumn* c = Strip(0, 3);
    f.host.messages.clear();
    MixSetDspState(MixerDspAllocate(doc) ? 1 : 2);
    EXPECT_EQ(f.host.messages, k.messages);
    EXPECT_EQ(MixDspState(), 2);
    f.host.messages.clear();
    EXPECT_EQ(MixCheckDspLimit(), 1);
    EXPECT_EQ(MixCheckDspLimit(), 1);
    EXPECT_EQ(f.host.messages, (std::vector<uint32_t>{IDS_MIX_DSP_LIMIT}));
    // Elements that found no room are not loaded.
    for (MixElem* e = c->First; e && k.dsps > 0; e = e->Next) {
      if (!e->Dsp) {
        EXPECT_EQ(e->Kind, kMixEffect);
      }
    }
    MixColumnDelete(doc, 0);
    MixSetDspState(MixerDspAllocate(doc) ? 1 : 2);
    EXPECT_EQ(MixCheckDspLimit(), 0);
  }
}

TEST_F(Dsp, BlockedElementsAndUnitsThatAreNotThereAreNotPlaced) {
  MixColumn* gone = Strip(0, 1, 3);  // unit 3 of 1
  MixColumn* c = MixColumnCreate(doc, 1, "b", 0, 0);
  MixElem* blocked = MixElemCreate(kFakeEffect, c, 0, 1, 0, 0);
  MixElem* rec = MixElemCreate(kFakeNatRec, c, 30, 0, 0, 0);
  EXPECT_EQ(MixerDspAllocate(doc), 1);
  for (MixElem* e : {gone->First, gone->First->Next, blocked, rec}) EXPECT_EQ(e->Dsp, nullptr);
  EXPECT_TRUE(FakeLoads().empty());
}

TEST(DspCallback, RequestsBecomeBlocksWithinTheElementsAreas) {
  MixFixture f;
  MixDspPlacement p{};
  p.Unit = 1;
  p.Dsp = 2;
  const uint32_t types[4] = {kAreaData0, kAreaProgram, kAreaSample, kAreaTwoBank};
  const uint32_t bases[4] = {100, 0, 512, 40};
  const uint32_t sizes[4] = {10, 300, 256, 8};
  for (int i = 0; i < 4; ++i) {
    p.AreaType[i] = types[i];
    p.AreaBase[i] = bases[i];
    p.AreaSize[i] = sizes[i];
  }
  uint32_t words[300] = {};
  struct Case {
    uint32_t op, area, offset, count;
    int32_t result;
    std::vector<std::string> blocks;
  } cases[] = {
      {kDspWrite, 0, 2, 8, 0, {"u1 d2 op5 @102 x8"}},
      {kDspWrite, 0, 2, 9, -2, {}},  // one word past the area
      {kDspWriteRunning, 3, 0x20000 + 3, 5, 0, {"u1 d2 op15 @51 x5"}},  // second bank
      {kDspProgram, 1, 0, 300, 0, {"u1 d2 op45 @0 x255", "u1 d2 op45 @255 x45"}},
      {kDspProgram, 0, 0, 1, -2, {}},
      {kDspReadMeter, 1, 0, 1, -2, {}},
      {kDspClear, 2, 0, 256, 0, {"u1 d2 op40 @512 x255 null", "u1 d2 op40 @767 x1 null"}},
      {99, 0, 0, 1, -2, {}},
      {kDspWrite, 6, 0, 1, -2, {}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.op) + " area " + std::to_string(k.area));
    f.host.dspBlocks.clear();
    EXPECT_EQ(DspCommandBlock(&p, k.op, k.area, k.offset, k.count, words), k.result);
    EXPECT_EQ(f.host.dspBlocks, k.blocks);
  }
  EXPECT_EQ(DspCommandBlock(nullptr, kDspWrite, 0, 0, 1, words), -1);
  // Words read back arrive sign-extended; a refused block fails the call.
  ASSERT_EQ(DspCommandBlock(&p, kDspRead, 0, 0, 2, words), 0);
  EXPECT_EQ(words[1], 0xFFFFFFFFu);
  f.host.dspAccept = 0;
  EXPECT_EQ(DspCommandBlock(&p, kDspWrite, 0, 0, 1, words), -2);
}

}  // namespace
