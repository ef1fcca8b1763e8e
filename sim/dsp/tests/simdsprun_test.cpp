// Programs run on the simulated DSP: the instruction words against hand
// computed samples, saturation, and words that name what the element does
// not have.
#include <gtest/gtest.h>

#include <vector>

#include "elements/dspcode.h"
#include "sim/dsp/simdsprun.h"

namespace {

// Data words in area 1 (8 words), sample memory in area 2 (16 words, sized
// by the host), a program of 16 words in area 5.
class SimDspRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ELEMTYPEPROPINFO t{};
    t.AreaType[1] = kAreaData0;
    t.AreaSize[1] = 8;
    t.AreaType[2] = kAreaSample;
    t.AreaType[5] = kAreaProgram;
    t.AreaSize[5] = 16;
    const uint32_t sizes[6] = {0, 0, 16, 0, 0, 0};
    e = dsp.Place(t, sizes);
  }
  void Program(std::vector<uint32_t> words) {
    words.resize(16, kDspNop);
    ASSERT_EQ(DspCommandBlock(e, kDspProgram, 5, 0, 16, words.data()), kDspOk);
  }
  std::vector<int32_t> Run(const std::vector<int32_t>& in, uint32_t inCh, uint32_t outCh) {
    std::vector<int32_t> out(in.size() / inCh * outCh, 99);
    SimDspProcess(e, in.data(), inCh, out.data(), outCh, uint32_t(in.size() / inCh));
    return out;
  }
  SimDsp dsp;
  SimDspElement* e = nullptr;
};

TEST_F(SimDspRunTest, GainWordsCarryMinusTheGain) {
  dsp.Poke(e, 1, 0, 0xC00000);  // -0.5
  Program({DspLd(0), DspMul(1, 0, 0), DspSt(0), DspLd(0), DspMul(1, 0, 1), DspSt(1), DspLd(0), DspMul(1, 0, 2),
           DspSt(2)});
  EXPECT_EQ(Run({1000, -3000}, 1, 3), (std::vector<int32_t>{500, 1000, 2000, -1500, -3000, -6000}));
  // Doubled past full scale the store saturates.
  EXPECT_EQ(Run({0x700000}, 1, 3), (std::vector<int32_t>{0x380000, 0x700000, 0x7FFFFF}));
}

TEST_F(SimDspRunTest, MixPeakAndInvert) {
  dsp.Poke(e, 1, 0, 0x800000);  // -1.0: unity
  dsp.Poke(e, 1, 1, 0xC00000);
  Program({DspZero(), DspMac(0, 1, 0, 0), DspMac(1, 1, 1, 0), DspPeak(1, 4), DspSt(0), DspNeg(0)});
  EXPECT_EQ(Run({100, 1000, 256 * 300, -256 * 900}, 2, 1), (std::vector<int32_t>{-600, -(256 * 300 - 256 * 450)}));
  EXPECT_EQ(dsp.Word(e, 1, 4), 150);  // the larger |sum| / 256 of the two frames
}

TEST_F(SimDspRunTest, DelayLinesAndWordsOutOfReach) {
  // {end, pointer, base} over 3 words of the sample memory: a delay of 3.
  const uint32_t a = e->Placement.SampleBase;
  dsp.Poke(e, 1, 0, a + 3);
  dsp.Poke(e, 1, 1, a);
  dsp.Poke(e, 1, 2, a);
  Program({DspLd(0), DspDla(0, 2), DspSt(0)});
  EXPECT_EQ(Run({1, 2, 3, 4, 5, 6}, 1, 1), (std::vector<int32_t>{0, 0, 0, 1, 2, 3}));
  // A pointer outside its line, or words the element lacks, pass samples through.
  dsp.Poke(e, 1, 1, a + 7);
  EXPECT_EQ(Run({7, 8}, 1, 1), (std::vector<int32_t>{7, 8}));
  Program({DspLd(5), DspMul(4, 0, 0), DspEq(6, 0, 7, 1), DspSt(0), DspSt(6)});
  EXPECT_EQ(Run({7, 8}, 1, 1), (std::vector<int32_t>{0, 0}));
}

}  // namespace
