// The simulated DSP: 24-bit words, areas and banks, the operations and
// their refusals, command blocks, injected failures and the trace.
#include <gtest/gtest.h>

#include <vector>

#include "sim/dsp/simdsp.h"

namespace {

// An element with a data area (1: type 1, 4 words), a two-bank area (2:
// type 5, 3 words a bank), sample memory (3: type 3, sized by the host)
// and a program area (5: 600 words, three command blocks).
ELEMTYPEPROPINFO TestType() {
  ELEMTYPEPROPINFO t{};
  t.Size = kElemTypePropSize;
  t.AreaType[1] = kAreaData1;
  t.AreaSize[1] = 4;
  t.AreaType[2] = kAreaTwoBank;
  t.AreaSize[2] = 3;
  t.AreaType[3] = kAreaSample;
  t.AreaType[5] = kAreaProgram;
  t.AreaSize[5] = 600;
  return t;
}

class SimDspTest : public ::testing::Test {
 protected:
  SimDsp dsp;
  const uint32_t hostSizes[6] = {0, 0, 0, 256, 0, 0};
  SimDspElement* e = dsp.Place(TestType(), hostSizes);

  int32_t Call(uint32_t op, uint32_t area, uint32_t offset, std::vector<uint32_t>& words) {
    return DspCommandBlock(e, op, area, offset, static_cast<uint32_t>(words.size()), words.data());
  }
};

}  // namespace

TEST(DspWords, LowTwentyFourBitsInSignExtendedOut) {
  EXPECT_EQ(DspWordStore(0xFF800000u), 0x800000u);
  EXPECT_EQ(DspWordStore(0x00800000u), 0x800000u);
  EXPECT_EQ(DspWordLoad(0x800000u), -0x800000);  // -1.0
  EXPECT_EQ(DspWordLoad(0x400000u), 0x400000);   // 0.5
  EXPECT_EQ(DspWordLoad(0xFFFFFFu), -1);
  EXPECT_EQ(DspWordLoad(0x7FFFFFu), 0x7FFFFF);
}

TEST_F(SimDspTest, WritesKeepTwentyFourBitsAndReadsSignExtend) {
  std::vector<uint32_t> w = {0xFF800000u, 0x00800000u, 0x400000u, 0x12345678u};
  EXPECT_EQ(Call(kDspWrite, 1, 0, w), kDspOk);
  EXPECT_EQ(dsp.Raw(e, 1, 3), 0x345678u);
  std::vector<uint32_t> r(4, 0);
  for (uint32_t op : {kDspRead, kDspReadAlt, kDspReadMeter}) {
    EXPECT_EQ(Call(op, 1, 0, r), kDspOk);
    EXPECT_EQ(r, (std::vector<uint32_t>{0xFF800000u, 0xFF800000u, 0x400000u, 0x345678u}));
  }
  // The meter read took the peaks: the words start again from 0.
  EXPECT_EQ(Call(kDspRead, 1, 0, r), kDspOk);
  EXPECT_EQ(r, (std::vector<uint32_t>{0, 0, 0, 0}));
  std::vector<uint32_t> one = {0xABCDEF};
  EXPECT_EQ(Call(kDspWriteRunning, 1, 2, one), kDspOk);
  EXPECT_EQ(dsp.Word(e, 1, 2), int32_t(0xFFABCDEF));
}

TEST_F(SimDspTest, TwoBankAreasAddressTheSecondBankFrom0x20000) {
  std::vector<uint32_t> a = {1, 2, 3}, b = {4, 5, 6};
  EXPECT_EQ(Call(kDspWrite, 2, 0, a), kDspOk);
  EXPECT_EQ(Call(kDspWrite, 2, kElemSecondBank, b), kDspOk);
  EXPECT_EQ(dsp.Raw(e, 2, 2), 3u);
  EXPECT_EQ(dsp.Raw(e, 2, kElemSecondBank + 2), 6u);
  EXPECT_EQ(DspCommandBlock(e, kDspClear, 2, kElemSecondBank + 1, 2, nullptr), kDspOk);
  EXPECT_EQ(dsp.Raw(e, 2, kElemSecondBank + 1), 0u);
  EXPECT_EQ(dsp.Raw(e, 2, 1), 2u);
  // Between the banks, past a bank's end, and 0x20000 in a one-bank area.
  std::vector<uint32_t> one = {7};
  EXPECT_EQ(Call(kDspWrite, 2, 3, one), kDspFailed);
  EXPECT_EQ(Call(kDspWrite, 2, kElemSecondBank + 3, one), kDspFailed);
  EXPECT_EQ(Call(kDspWrite, 1, kElemSecondBank, one), kDspFailed);
}

TEST_F(SimDspTest, RefusalsLeaveMemoryAlone) {
  std::vector<uint32_t> w = {1, 2};
  struct Case {
    uint32_t op, area, offset, count;
    bool nullWords;
  } cases[] = {
      {kDspWrite, 6, 0, 1, false},            // no such area
      {kDspWrite, 0, 0, 1, false},            // an unused area
      {kDspWrite, 1, 3, 2, false},            // past the end
      {kDspWrite, 1, 0xFFFFFFFFu, 2, false},  // offset + count wraps
      {kDspWrite, 1, 0, 1, true},             // no words
      {kDspRead, 1, 0, 1, true},
      {kDspReadMeter, 5, 0, 1, false},        // meter reads never from a program area
      {kDspProgram, 1, 0, 1, false},          // programs only into a program area
      {0, 1, 0, 1, false},                    // the host's own codes
      {10, 1, 0, 1, false}, {20, 1, 0, 1, false}, {52, 1, 0, 1, false},
      {53, 1, 0, 1, false}, {56, 1, 0, 1, false}, {99, 1, 0, 1, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DspCommandBlock(e, c.op, c.area, c.offset, c.count, c.nullWords ? nullptr : w.data()), kDspFailed)
        << c.op << " " << c.area;
    EXPECT_EQ(dsp.Trace().back().Blocks, 0u);
  }
  EXPECT_EQ(dsp.Raw(e, 1, 0), 0u);
  EXPECT_EQ(DspCommandBlock(nullptr, kDspWrite, 1, 0, 1, w.data()), kDspNoResource);
  int stranger = 0;
  EXPECT_EQ(DspCommandBlock(&stranger, kDspWrite, 1, 0, 1, w.data()), kDspFailed);
  EXPECT_EQ(DspCommandBlock(e, kDspWrite, 1, 0, 0, nullptr), kDspOk);
}

TEST_F(SimDspTest, ProgramsGoInBlocksOfAtMost255Words) {
  std::vector<uint32_t> program(600);
  for (uint32_t i = 0; i < program.size(); ++i) program[i] = i | 0xAB000000u;
  EXPECT_EQ(Call(kDspProgram, 5, 0, program), kDspOk);
  EXPECT_EQ(dsp.Trace().back().Blocks, 3u);
  EXPECT_EQ(e->ProgramWords, 600u);
  EXPECT_EQ(dsp.Raw(e, 5, 599), 599u);
  std::vector<uint32_t> w = {5};
  EXPECT_EQ(Call(kDspWrite, 5, 10, w), kDspOk);  // plain writes into a program area are allowed
}

TEST_F(SimDspTest, AFailingBlockEndsTheCallWithEarlierBlocksDone) {
  std::vector<uint32_t> program(600, 0x11);
  dsp.InjectFault({kDspProgram, 2, false});
  EXPECT_EQ(Call(kDspProgram, 5, 0, program), kDspFailed);
  const SimDspCall& call = dsp.Trace().back();
  EXPECT_EQ(call.Blocks, 2u);
  EXPECT_EQ(call.Words.size(), 510u);
  EXPECT_EQ(dsp.Raw(e, 5, 509), 0x11u);
  EXPECT_EQ(dsp.Raw(e, 5, 510), 0u);
  EXPECT_EQ(e->ProgramWords, 0u);
  // A one-shot fault is spent; other ops never matched it.
  EXPECT_EQ(Call(kDspProgram, 5, 0, program), kDspOk);

  std::vector<uint32_t> w = {1};
  dsp.InjectFault({kSimAnyOp, 1, true});
  EXPECT_EQ(Call(kDspWrite, 1, 0, w), kDspOk);
  EXPECT_EQ(Call(kDspWrite, 1, 0, w), kDspFailed);
  EXPECT_EQ(Call(kDspRead, 1, 0, w), kDspFailed);
  dsp.ClearFault();
  EXPECT_EQ(Call(kDspRead, 1, 0, w), kDspOk);
}

TEST_F(SimDspTest, TraceAndPlacement) {
  dsp.ClearTrace();
  std::vector<uint32_t> w = {0x1FFFFFF};
  Call(kDspWrite, 1, 1, w);
  ASSERT_EQ(dsp.Trace().size(), 1u);
  const SimDspCall& c = dsp.Trace()[0];
  EXPECT_EQ(c.Element, e->Id);
  EXPECT_EQ(c.Op, kDspWrite);
  EXPECT_EQ(c.MemIndex, 1u);
  EXPECT_EQ(c.Offset, 1u);
  EXPECT_EQ(c.Count, 1u);
  EXPECT_EQ(c.Result, kDspOk);
  EXPECT_EQ(c.Words, std::vector<uint32_t>{0xFFFFFF});

  // Sample memory sized by the host, its address in the placement record;
  // a second element's areas follow the first's.
  EXPECT_EQ(e->Areas[3].Size, 256u);
  EXPECT_EQ(e->Placement.SampleBase, e->Areas[3].Base);
  SimDspElement* f = dsp.Place(TestType(), hostSizes);
  EXPECT_EQ(f->Placement.SampleBase, e->Areas[3].Base + 256);
  EXPECT_EQ(f->Areas[1].Base, e->Areas[1].Base + 4);
  dsp.Remove(f);
  EXPECT_EQ(DspCommandBlock(f, kDspWrite, 1, 0, 1, w.data()), kDspFailed);
}
