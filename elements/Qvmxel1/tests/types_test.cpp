// The type and knob tables as a host reads them, and the module walked
// through the element contract.
#include <cstring>
#include <string>

#include "elements/Qvmxel1/tests/modfixture.h"

namespace {

struct Expected {
  uint32_t code;
  const char* name;
  uint32_t kind, height, flags, state, knobs, in, out;
  uint32_t a1t, a1s, a2t, a2s, a3t, a3s, a5s, fig2, fig3, load;
};

// clang-format off
const Expected kRows[40] = {
  {100, "Input\t(Mono)", 0, 24, 0, 8, 1, 1, 1, 0,0, 1,1, 0,0, 8, 0,0, 10},
  {102, "Input\t(Stereo)", 0, 24, 0, 8, 1, 2, 2, 0,0, 1,1, 0,0, 18, 0,0, 19},
  {104, "Input\t(4 chan)", 0, 24, 0, 8, 1, 4, 4, 0,0, 1,1, 0,0, 12, 0,0, 45},
  {106, "Input\t(6 chan)", 0, 24, 0, 8, 1, 6, 6, 0,0, 1,1, 0,0, 12, 0,0, 65},
  {108, "Input\t(8 chan)", 0, 24, 0, 8, 1, 8, 8, 0,0, 1,1, 0,0, 12, 0,0, 85},
  {200, "Track\t(Mono)", 1, 20, 0, 24, 1, 1, 1, 0,0, 0,0, 1,2, 18, 0,0, 18},
  {202, "Track\t(Stereo)", 1, 20, 0, 24, 1, 2, 2, 0,0, 0,0, 1,2, 39, 0,0, 39},
  {300, "EQ 2-Band\t(Mono)", 2, 68, 0, 304, 7, 1, 1, 0,8, 5,4, 0,0, 30, 1,0, 112},
  {302, "EQ 2-Band\t(Stereo)", 2, 68, 0, 304, 7, 2, 2, 0,8, 5,4, 5,4, 56, 1,1, 215},
  {600, "Fader\t(Mono)", 2, 20, 0, 8, 1, 1, 1, 0,0, 1,1, 0,0, 11, 0,0, 13},
  {602, "Fader\t(Stereo)", 2, 20, 0, 8, 1, 2, 2, 0,0, 1,1, 0,0, 21, 0,0, 23},
  {610, "Sample Delay Line\t(Mono)", 2, 20, 0, 12, 2, 1, 1, 0,2, 3,256, 0,0, 14, 8,0, 49},
  {612, "Sample Delay Line\t(Stereo)", 2, 20, 0, 12, 2, 2, 2, 0,3, 3,256, 3,256, 26, 8,8, 75},
  {700, "Peakmeter\t(Mono)", 2, 20, 1, 4, 0, 1, 0, 0,0, 1,2, 0,0, 6, 0,0, 9},
  {702, "Peakmeter\t(Stereo)", 2, 20, 1, 4, 0, 2, 0, 0,0, 1,2, 0,0, 12, 0,0, 16},
  {800, "Send Pre/Post\t(Mono)", 3, 36, 0, 32, 4, 1, 1, 0,0, 1,1, 0,0, 13, 0,0, 14},
  {801, "Send Pre/Post\t(Mono->Stereo)", 3, 36, 0, 32, 4, 1, 2, 0,0, 1,2, 0,0, 9, 0,0, 31},
  {802, "Send Pre/Post\t(Stereo)", 3, 36, 0, 32, 4, 2, 2, 0,0, 1,2, 0,0, 27, 0,0, 28},
  {811, "Send Pre/Post EPP\t(Mono->Stereo)", 3, 36, 0, 32, 4, 1, 2, 0,0, 1,2, 0,0, 23, 0,0, 25},
  {812, "Send Pre/Post EPP\t(Stereo)", 3, 36, 0, 32, 4, 2, 2, 0,0, 1,2, 0,0, 27, 0,0, 32},
  {900, "Output w/Fader\t(Mono)", 4, 188, 1, 28, 6, 1, 1, 0,0, 1,1, 1,2, 26, 0,0, 27},
  {901, "Output w/Fader\t(Mono->Stereo)", 4, 188, 1, 28, 6, 1, 2, 0,0, 1,2, 1,2, 12, 0,0, 42},
  {902, "Output w/Fader\t(Stereo)", 4, 188, 1, 28, 6, 2, 2, 0,0, 1,2, 1,2, 15, 0,0, 55},
  {904, "Output w/Fader\t(4 chan)", 4, 188, 1, 28, 6, 4, 4, 0,0, 1,1, 1,4, 28, 0,0, 109},
  {916, "Output w/Fader\t(6 chan)", 4, 188, 1, 28, 6, 6, 6, 0,0, 1,1, 1,6, 28, 0,0, 161},
  {918, "Output w/Fader\t(8 chan)", 4, 188, 1, 28, 6, 8, 8, 0,0, 1,1, 1,8, 28, 0,0, 213},
  {911, "Output w/Fader EPP\t(Mono->Stereo)", 4, 188, 1, 28, 6, 1, 2, 0,0, 1,2, 1,2, 47, 0,0, 48},
  {912, "Output w/Fader EPP\t(Stereo)", 4, 188, 1, 28, 6, 2, 2, 0,0, 1,2, 1,2, 61, 0,0, 63},
  {920, "Output\t(Mono)", 4, 28, 0, 8, 1, 1, 1, 0,0, 1,1, 1,0, 13, 0,0, 14},
  {921, "Output\t(Mono->Stereo)", 4, 28, 0, 8, 1, 1, 2, 0,0, 1,2, 1,0, 9, 0,0, 31},
  {922, "Output\t(Stereo)", 4, 28, 0, 8, 1, 2, 2, 0,0, 1,2, 1,0, 27, 0,0, 28},
  {924, "Output\t(4 chan)", 4, 28, 0, 8, 1, 4, 4, 0,0, 1,1, 1,0, 20, 0,0, 77},
  {926, "Output\t(6 chan)", 4, 28, 0, 8, 1, 6, 6, 0,0, 1,1, 1,0, 20, 0,0, 113},
  {928, "Output\t(8 chan)", 4, 28, 0, 8, 1, 8, 8, 0,0, 1,1, 1,0, 20, 0,0, 149},
  {1990, "???", 2, 20, 0, 0, 0, 0, 0, 0,0, 1,0, 0,0, 0, 0,0, 0},
  {2000, "Delay Compensation (Hidden)\t(Mono)", 2, 0, 0, 0, 0, 1, 1, 0,3, 3,0, 0,0, 24, 0,0, 39},
  {2001, "Delay Compensation (Hidden)\t(Stereo)", 2, 0, 0, 0, 0, 2, 2, 0,3, 3,0, 0,0, 19, 0,0, 65},
  {2002, "Delay Compensation (Hidden)\t(4 chan)", 2, 0, 0, 0, 0, 4, 4, 0,5, 3,0, 0,0, 25, 0,0, 132},
  {2003, "Delay Compensation (Hidden)\t(6 chan)", 2, 0, 0, 0, 0, 6, 6, 0,5, 3,0, 0,0, 25, 0,0, 172},
  {2004, "Delay Compensation (Hidden)\t(8 chan)", 2, 0, 0, 0, 0, 8, 8, 0,5, 3,0, 0,0, 25, 0,0, 212},
};
// clang-format on

TEST(Qvmxel1Types, FortyRowsAnsweredInOrderThirtyFourOffered) {
  ELEMMODINFO info{};
  info.Size = sizeof info;
  ASSERT_EQ(QVInitElemModule(nullptr, nullptr, &info), 1u);
  EXPECT_EQ(info.Version, 103u);
  EXPECT_EQ(info.TypeCount, 34u);
  EXPECT_STREQ(info.Name, "Version 2.xx Mixer");
  EXPECT_NE(std::string(info.Maker).find(", Version 1.06"), std::string::npos);

  for (uint32_t i = 0; i < 40; ++i) {
    const Expected& x = kRows[i];
    SCOPED_TRACE(x.code);
    EXPECT_EQ(QVGetElemType(i), x.code);
    ELEMTYPEPROPINFO t{};
    ASSERT_EQ(QVGetElemTypeProperties(x.code, &t), 1u);
    EXPECT_EQ(t.Size, 324u);
    EXPECT_STREQ(t.Name, x.name);
    EXPECT_STREQ(t.Maker, "Quorvale");
    EXPECT_STREQ(t.Spare, "");
    EXPECT_EQ(t.Kind, x.kind);
    EXPECT_EQ(t.LittleHeight, x.height);
    EXPECT_EQ(t.Flags, x.flags);
    EXPECT_EQ(t.StateSize, x.state);
    EXPECT_EQ(t.KnobCount, x.knobs);
    EXPECT_EQ(t.Inputs, x.in);
    EXPECT_EQ(t.Outputs, x.out);
    const uint32_t types[6] = {0, x.a1t, x.a2t, x.a3t, 0, 2}, sizes[6] = {0, x.a1s, x.a2s, x.a3s, 0, x.a5s};
    for (int a = 0; a < 6; ++a) {
      EXPECT_EQ(t.AreaType[a], types[a]) << "area " << a;
      EXPECT_EQ(t.AreaSize[a], sizes[a]) << "area " << a;
    }
    EXPECT_EQ(t.AreaWord, 2u);
    EXPECT_EQ(t.Zero1, 0u);
    EXPECT_EQ(t.Zero2, 0u);
    EXPECT_EQ(t.AreaFigure[2], x.fig2);
    EXPECT_EQ(t.AreaFigure[3], x.fig3);
    EXPECT_EQ(t.Load, x.load);
  }
  EXPECT_EQ(QVGetElemType(40), 0u);
  ELEMTYPEPROPINFO t{};
  EXPECT_EQ(QVGetElemTypeProperties(301, &t), 0u);
  EXPECT_EQ(QVCreateElement(301, nullptr), nullptr);
}

TEST(Qvmxel1Types, KnobRowsByFamily) {
  struct Case {
    uint32_t code, knob;
    const char* name;
    int32_t lo, hi, dlo, dhi, div;
    uint32_t law, meter;
  } cases[] = {
      {104, 0, "Mute", 0, 1, 0, 1, 1, 0, 0},
      {202, 0, "Rec Arm", 0, 1, 0, 1, 1, 0, 0},
      {300, 1, "Freq 1", 20, 23999, 20, 23999, 1, 1, 0},
      {302, 5, "Q 2", 10, 800, 10, 800, 100, 0, 0},
      {302, 6, "Gain 2", -240, 140, -240, 140, 10, 0, 0},
      {602, 0, "Volume", 0, 65536, -960, 60, 10, 2, 0},
      {612, 1, "Phase Inversion", 0, 1, 0, 1, 1, 0, 0},
      {811, 0, "Pan", 0, 128, -64, 64, 1, 0, 0},
      {800, 1, "Volume", 0, 32768, -960, 0, 10, 2, 0},
      {918, 1, "Solo", 0, 2, 0, 2, 1, 0, 0},
      {900, 5, "R Peak Meter", 0, 32767, -960, 0, 10, 1, 1},
      {926, 0, "Mute", 0, 1, 0, 1, 1, 0, 0},
  };
  for (const Case& c : cases) {
    ELEMKNOBPROPINFO k{};
    ASSERT_EQ(QVGetElemTypeKnobProperties(c.code, c.knob, &k), 1u) << c.code;
    EXPECT_STREQ(k.Name, c.name);
    EXPECT_EQ(k.RawMin, c.lo);
    EXPECT_EQ(k.RawMax, c.hi);
    EXPECT_EQ(k.DisplayMin, c.dlo);
    EXPECT_EQ(k.DisplayMax, c.dhi);
    EXPECT_EQ(k.DisplayDivisor, c.div);
    EXPECT_EQ(k.Law, c.law);
    EXPECT_EQ(k.Meter, c.meter);
    EXPECT_EQ(k.ReadOnly, c.meter);
  }
  ELEMKNOBPROPINFO k{};
  for (uint32_t code : {700u, 702u, 1990u, 2000u})
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(QVGetElemTypeKnobProperties(code, i, &k), 0u) << code;
  EXPECT_EQ(QVGetElemTypeKnobProperties(300, 7, &k), 0u);
  EXPECT_EQ(QVGetElemTypeKnobProperties(900, 6, &k), 0u);
}

std::string Joined(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  return all;
}

TEST(Qvmxel1Types, KeepsTheElementContract) {
  ElemModuleCalls calls{QVInitElemModule, QVGetElemType, QVGetElemTypeProperties, QVGetElemTypeKnobProperties,
                        QVCreateElement, QVCreateElementWindows, QVLoadElement, QVSetElement, QVGetElement,
                        QVDeleteElement};
  SimDsp dsp;
  ElemContractOptions options;
  options.KnobsMayClamp = true;  // EQ bandwidths are raised to their minimum
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  EXPECT_TRUE(r.Faults.empty()) << Joined(r.Faults);
  EXPECT_EQ(r.Codes.size(), 34u);
  EXPECT_GT(r.DspCalls, 0u);
  EXPECT_EQ(ModuleLiveCount(), 0);
}

}  // namespace
