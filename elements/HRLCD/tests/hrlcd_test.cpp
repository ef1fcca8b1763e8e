// The dynamics module's portable core: golden coefficient words, the two
// banks and their run-split writes, restore order, compare, clip hold with
// an injected clock, presets, knob laws and numeric entry, the contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "elements/HRLCD/hrlcdapi.h"
#include "elements/harness/elemharness.h"
#include "sim/dsp/simdsp.h"
#include "sim/dsp/simdsprun.h"

#include <cmath>

using namespace hrlcd;

namespace {

uint32_t g_now = 0;
uint32_t TestTick() { return g_now; }

class Dyn : public ::testing::Test {
 protected:
  void SetUp() override {
    ELEMMODINFO info{};
    QVInitElemModule(DspCommandBlock, RecordingNotify, &info);
    ModuleHooks().Tick = TestTick;
    RecordedNotes().clear();
  }
  void TearDown() override {
    for (ElemHandle h : made_) QVDeleteElement(h);
  }
  Element* Make(int type, bool load = true) {
    Element* e = ElementOf(QVCreateElement(TypeCode(type), reinterpret_cast<void*>(0x77)));
    made_.push_back(e->Object);
    if (load) {
      placed = dsp.Place(TypeProps(type));
      EXPECT_EQ(QVLoadElement(e->Object, placed, &placed->Placement), 1u);
    }
    dsp.ClearTrace();
    return e;
  }
  // Writes to the coefficient banks (areas 1 and 2) and the bank word.
  std::vector<SimDspCall> Writes(uint32_t area) {
    std::vector<SimDspCall> out;
    for (const SimDspCall& c : dsp.Trace())
      if (c.MemIndex == area && (c.Op == kDspWrite || c.Op == kDspWriteRunning)) out.push_back(c);
    return out;
  }
  SimDsp dsp;
  SimDspElement* placed = nullptr;
  std::vector<ElemHandle> made_;
};

TEST(DynTables, TypesKnobsAndInfo) {
  EXPECT_EQ(QVGetElemType(0), 0xE41u);
  EXPECT_EQ(QVGetElemType(4), 0u);
  ELEMKNOBPROPINFO k{};
  EXPECT_EQ(QVGetElemTypeKnobProperties(0xE41, 14, &k), 0u);
  ASSERT_EQ(QVGetElemTypeKnobProperties(0xE43, 14, &k), 1u);
  EXPECT_STREQ(k.Name, "SC Input");
  ELEMTYPEPROPINFO t{};
  ASSERT_EQ(QVGetElemTypeProperties(0xE44, &t), 1u);
  EXPECT_EQ(t.AreaSize[5], 389u);
  EXPECT_EQ(t.AreaType[3], 5u);
  EXPECT_EQ(t.StateSize, 312u);
}

TEST(DynTables, KeepsTheElementContract) {
  ElemModuleCalls calls{QVInitElemModule, QVGetElemType, QVGetElemTypeProperties, QVGetElemTypeKnobProperties,
                        QVCreateElement, QVCreateElementWindows, QVLoadElement, QVSetElement, QVGetElement,
                        QVDeleteElement};
  SimDsp dsp;
  ElemContractOptions options;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  std::string all;
  for (const std::string& f : r.Faults) all += f + "\n";
  EXPECT_TRUE(r.Faults.empty()) << all;
  EXPECT_EQ(r.Codes.size(), 4u);
}

TEST_F(Dyn, GoldenWordsAtCreationAndAfterEdits) {
  Element* e = Make(0, false);
  const int32_t* bank = e->Bank1Active ? e->Bank1 : e->Bank2;
  const int32_t want[kBankWords] = {-965774, -8388608, 0, 547, 8238208, 405798, 3895662, 205227,
                                    -2897323, -5898240, -1207, 0, 3895662, 253624, 0x80000};
  for (int i = 0; i < kBankWords; ++i) EXPECT_EQ(bank[i], want[i]) << "word " << i;
  // Threshold -20 dB with an infinite ratio: slope 0, make-up exp(ln 10).
  EditKnob(e, 1, -2000);
  EditKnob(e, 3, 1000);
  EditKnob(e, 6, 4000);
  bank = e->Bank1Active ? e->Bank1 : e->Bank2;
  EXPECT_EQ(bank[0], -4587427);
  EXPECT_EQ(bank[1], 0);
  EXPECT_EQ(bank[14], 0x500000);
  EXPECT_EQ(bank[10], -5772915);  // range 40 dB: -47.82 dB exactly
  EXPECT_DOUBLE_EQ(RangeDb(4000), -47.82);
  EXPECT_DOUBLE_EQ(RangeDb(0), -0.01);
  EXPECT_EQ(GainWord(-550), 278336);
  EXPECT_EQ(GainWord(0), 0x80000);
}

TEST_F(Dyn, BanksAlternateAndIdenticalWordsWriteNothing) {
  Element* e = Make(1);
  ASSERT_TRUE(e->Bank1Active);  // the words made at creation went to bank 1
  EditKnob(e, 1, 0);
  ASSERT_EQ(Writes(2).size(), 1u);
  EXPECT_TRUE(Writes(1).empty());
  EXPECT_FALSE(e->Bank1Active);
  ASSERT_EQ(Writes(5).size(), 1u);
  EXPECT_EQ(Writes(5)[0].Offset, 1u);
  EXPECT_EQ(Writes(5)[0].Words, std::vector<uint32_t>{0});
  dsp.ClearTrace();
  EditKnob(e, 1, -100);
  EXPECT_EQ(Writes(1).size(), 1u);
  EXPECT_EQ(Writes(5)[0].Words, std::vector<uint32_t>{0x227400});
  EXPECT_TRUE(e->Bank1Active);
  // The same value again: the same words, so no write and no flip.
  dsp.ClearTrace();
  EditKnob(e, 1, -100);
  EXPECT_TRUE(Writes(1).empty());
  EXPECT_TRUE(Writes(2).empty());
  EXPECT_TRUE(Writes(5).empty());
  EXPECT_TRUE(e->Bank1Active);
  // Gains go to area 4 alone, on their own path.
  dsp.ClearTrace();
  EditKnob(e, 8, 600);
  ASSERT_EQ(Writes(4).size(), 1u);
  EXPECT_EQ(Writes(4)[0].Offset, 1u);
  EXPECT_TRUE(Writes(5).empty());
}

TEST(DynBanks, RunsSplitOnTwoEqualWords) {
  struct {
    std::string diff;  // 'x' differs, '.' equal
    std::vector<std::pair<int, int>> runs;
  } cases[] = {
      {"...............", {}},
      {"x..............", {{0, 1}}},
      {"x.x............", {{0, 3}}},           // one equal word between stays inside
      {"x..x...........", {{0, 1}, {3, 1}}},   // two equal words split
      {"..............x", {{14, 1}}},
      {".............x.", {{13, 1}}},          // an equal last word ends the run
      {"xxxxxxxxxxxxxxx", {{0, 15}}},
  };
  for (const auto& c : cases) {
    int32_t now[kBankWords], shadow[kBankWords] = {};
    for (int i = 0; i < kBankWords; ++i) now[i] = c.diff[i] == 'x' ? 1 : 0;
    int starts[kBankWords], lengths[kBankWords];
    const int n = BankRuns(now, shadow, starts, lengths);
    std::vector<std::pair<int, int>> got;
    for (int i = 0; i < n; ++i) got.push_back({starts[i], lengths[i]});
    EXPECT_EQ(got, c.runs) << c.diff;
  }
}

// The position in the trace of the first call matching.
int IndexOf(const std::vector<SimDspCall>& t, uint32_t area, uint32_t offset, int from = 0, bool last = false) {
  int found = -1;
  for (int i = from; i < int(t.size()); ++i)
    if (t[i].MemIndex == area && t[i].Offset == offset && t[i].Op == kDspWrite) {
      found = i;
      if (!last) break;
    }
  return found;
}

TEST_F(Dyn, RestoreEngagesBypassFirstAndReleasesItLast) {
  Element* e = Make(0);
  State s{};
  Get(e, kGetState, &s);
  s.Knob[1] = -1500;
  s.Flags |= kFlagBypassed;
  ASSERT_EQ(QVSetElement(e->Object, kSetState, reinterpret_cast<uintptr_t>(&s)), 1u);
  const auto& t = dsp.Trace();
  const int bypass = IndexOf(t, 5, BypassOffset(0));
  const int bank = IndexOf(t, 2, 0);
  ASSERT_GE(bypass, 0);
  ASSERT_GE(bank, 0);
  EXPECT_LT(bypass, bank);
  EXPECT_EQ(t[size_t(bypass)].Words, std::vector<uint32_t>{0x44C800});
  // Released: after the parameters.
  dsp.ClearTrace();
  s.Knob[1] = -1000;
  s.Flags &= ~kFlagBypassed;
  ASSERT_EQ(QVSetElement(e->Object, kSetState, reinterpret_cast<uintptr_t>(&s)), 1u);
  const int bank2 = IndexOf(t, 1, 0);
  const int released = IndexOf(t, 5, BypassOffset(0));
  ASSERT_GE(bank2, 0);
  EXPECT_GT(released, bank2);
  EXPECT_EQ(t[size_t(released)].Words, std::vector<uint32_t>{0x44C880});
  // Any other length is refused.
  s.Length = 311;
  EXPECT_EQ(QVSetElement(e->Object, kSetState, reinterpret_cast<uintptr_t>(&s)), 0u);
}

TEST_F(Dyn, SampleRateRewritesTimeWordsOnly) {
  Element* e = Make(0);
  EXPECT_EQ(QVSetElement(e->Object, kSetSampleRate, 44100), 1u);
  EXPECT_TRUE(dsp.Trace().empty());
  const int32_t* before = e->Bank1Active ? e->Bank1 : e->Bank2;
  int32_t old[kBankWords];
  std::memcpy(old, before, sizeof old);
  QVSetElement(e->Object, kSetSampleRate, 48000);
  const int32_t* now = e->Bank1Active ? e->Bank1 : e->Bank2;
  for (int i : {0, 1, 8, 9, 10, 14}) EXPECT_EQ(now[i], old[i]) << i;
  for (int i : {3, 5, 6, 12, 13}) EXPECT_NE(now[i], old[i]) << i;
}

TEST_F(Dyn, CompareSwitchesBetweenStoredAndLive) {
  Element* e = Make(0);
  EditKnob(e, 0, 300);
  StorePreset(e);
  EditKnob(e, 0, -300);  // an edit makes the shown setting live
  EXPECT_FALSE(e->Compare);
  RecallPreset(e, true);
  EXPECT_EQ(e->St.Knob[0], 300);
  RecallPreset(e, false);
  EXPECT_EQ(e->St.Knob[0], -300);
}

TEST_F(Dyn, ClipsHoldForTheirTimeOrForever) {
  Element* e = Make(1);
  g_now = 1000;
  dsp.Poke(placed, 3, kElemSecondBank, 0x7FFFFF);
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_TRUE(e->InClip);
  EXPECT_FALSE(e->OutClip);
  dsp.Poke(placed, 3, kElemSecondBank, 0x100);
  g_now = 1999;
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_TRUE(e->InClip);
  g_now = 2000;
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_FALSE(e->InClip);
  // Infinite: stays until reset; a finite hold chosen later times from then.
  SetClipHold(e, -1);
  dsp.Poke(placed, 3, 0x20010, 0x7FFFFF);
  QVSetElement(e->Object, kSetRefresh, 0);
  dsp.Poke(placed, 3, 0x20010, 0);
  g_now = 900000;
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_TRUE(e->OutClip);
  SetClipHold(e, 6000);
  g_now = 905999;
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_TRUE(e->OutClip);
  g_now = 906000;
  QVSetElement(e->Object, kSetRefresh, 0);
  EXPECT_FALSE(e->OutClip);
  SetClipHold(e, -1);
  dsp.Poke(placed, 3, 0x20010, 0x7FFFFF);
  QVSetElement(e->Object, kSetRefresh, 0);
  ResetClips(e);
  EXPECT_FALSE(e->OutClip);
}

TEST(DynEntry, NumericEntryTable) {
  struct {
    int knob;
    const char* text;
    int ok;
    int32_t raw;
  } cases[] = {
      {3, "100", 1, 1000},   {3, "100.05", 0, 0},  {0, "-5.5", 1, -550},  {0, "- 5.5", 0, 0},
      {0, "5.5.1", 0, 0},    {0, " 12,25 ", 1, 1225}, {0, ".5", 0, 0},    {0, "20.01", 0, 0},
      {0, "-0.005", 1, -1},  {7, "4", 1, 400},      {5, "x", 0, 0},       {0, "", 0, 0},
  };
  for (const auto& c : cases) {
    int32_t raw = 0;
    EXPECT_EQ(ParseEntry(c.knob, c.text, &raw), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(raw, c.raw) << c.text;
    }
  }
  // The refusal's range, with a special value only where it is not an end.
  const std::string head = "The entered value is invalid or out of range.\r\nValid range: ";
  EXPECT_EQ(EntryRangeMessage(3), head + "1.0 ~ 100.0");
  EXPECT_EQ(EntryRangeMessage(0), head + "-20.00 ~ 20.00");
  const int32_t special = -150;
  EXPECT_EQ(EntryRangeMessage(2, -2000, 2000, &special), head + "-20.00 ~ 20.00, -1.50");
}

TEST(DynEntry, KnobLawTable) {
  struct {
    int knob;
    double angle;
    int32_t value;
  } cases[] = {{0, 120, -2000}, {0, 270, 0},   {0, 420, 2000}, {1, 120, 1000}, {1, 420, -2000},
               {2, 360, 200},   {2, 375, 250}, {3, 291.43, 100}, {3, 420, 1000}, {7, 360, 100},
               {7, 420, 400},   {7, 390, 200}};
  for (const auto& c : cases) {
    EXPECT_EQ(KnobValueAt(c.knob, c.angle), c.value) << c.knob << "@" << c.angle;
    EXPECT_NEAR(KnobAngle(c.knob, c.value), c.angle, 0.01) << c.knob << "=" << c.value;
  }
}

TEST_F(Dyn, PresetsAndKnobTexts) {
  Element* e = Make(2, false);
  State s{};
  Get(e, kGetState, &s);
  uint8_t file[kPresetSize + 1] = {};
  PresetBuild(s, file);
  State got{};
  EXPECT_EQ(PresetParse(file, kPresetSize, &got), 1);
  EXPECT_EQ(PresetParse(file, kPresetSize + 1, &got), 0);
  file[0] ^= 1;
  EXPECT_EQ(PresetParse(file, kPresetSize, &got), 0);
  ELEMKNOBTEXT t{3, {}};
  QVGetElement(e->Object, kGetKnobText, &t);
  EXPECT_STREQ(t.Text, "1.0");
  t.Index = 5;
  QVGetElement(e->Object, kGetKnobText, &t);
  EXPECT_STREQ(t.Text, "-30.00dB");
  t.Index = 9;
  QVGetElement(e->Object, kGetKnobText, &t);
  EXPECT_STREQ(t.Text, "On");
}

// Level in dBFS of a steady sine in the second half of a run.
double SineDb(const std::vector<int32_t>& x) {
  double peak = 0;
  for (size_t i = x.size() / 2; i < x.size(); ++i) peak = std::max(peak, std::fabs(double(x[i])));
  return 20 * std::log10(peak / 8388608.0);
}

std::vector<int32_t> Sine(double dbfs, uint32_t frames) {
  std::vector<int32_t> s(frames);
  const double amp = 8388608.0 * std::pow(10, dbfs / 20);
  // 1102.5 Hz at 44.1 kHz: 40 samples a period, a sample on every peak.
  for (uint32_t i = 0; i < frames; ++i) s[i] = int32_t(std::lround(amp * std::sin(2 * 3.14159265358979 * i / 40 + 3.14159265358979 / 2)));
  return s;
}

TEST_F(Dyn, AudioThroughTheSimulatedDspCompressesAndGates) {
  Element* e = Make(0);
  // Peak detection, slow release: the envelope sits on the sine's peak.
  EditSwitch(e, 1, true);
  EditKnob(e, 2, 400);
  EditKnob(e, 1, -2000);  // -20 dB on the dial: -38 dBFS
  EditKnob(e, 3, 40);     // 4:1
  const uint32_t frames = 8000;
  std::vector<int32_t> out(frames);
  for (double in : {-50.0, -30.0, -10.0}) {
    std::vector<int32_t> x = Sine(in, frames);
    SimDspProcess(placed, x.data(), 1, out.data(), 1, frames);
    // Independently: above the threshold the level rises 1/ratio as fast;
    // the make-up gain is what the ratio takes off a signal at 0 dB on the dial.
    const double thr = -20 - 18, ratio = 4, makeup = -20 * (1 / ratio - 1);
    const double want = (in > thr ? thr + (in - thr) / ratio : in) + makeup;
    EXPECT_NEAR(SineDb(out), want, 0.1) << in;
  }
  // Gate: below its threshold the signal falls by the range.
  EditKnob(e, 1, 1000);
  EditKnob(e, 3, 10);
  EditKnob(e, 5, 0);     // 0 dB on the dial: -18 dBFS
  EditKnob(e, 6, 2000);  // 20 dB of range
  EditKnob(e, 2, 10);    // a quick release lets the envelope fall to a quieter input
  for (double in : {-30.0, -10.0}) {
    // The gate closes at its release rate (0.1 s): a longer run.
    std::vector<int32_t> x = Sine(in, 3 * frames);
    out.resize(x.size());
    SimDspProcess(placed, x.data(), 1, out.data(), 1, uint32_t(x.size()));
    const double want = in < -18 ? in + RangeDb(2000) : in;
    EXPECT_NEAR(SineDb(out), want, 0.1) << in;
  }
  // Bypassed: untouched.
  SetBypass(e, true);
  std::vector<int32_t> x = Sine(-30, frames);
  out.resize(frames);
  SimDspProcess(placed, x.data(), 1, out.data(), 1, frames);
  EXPECT_NEAR(SineDb(out), -30, 0.01);
}

// The side chain keys the detector when "SC Input" is on, and "SC Listen"
// puts the side chain itself on the output.
TEST_F(Dyn, SideChainKeysTheCompressorAndListenHearsIt) {
  Element* e = Make(2);  // Mono-SC: main on input 0, side chain on input 1
  EditSwitch(e, 1, true);
  EditKnob(e, 2, 400);
  EditKnob(e, 1, -2000);  // -38 dBFS
  EditKnob(e, 3, 40);     // 4:1, make-up 15 dB
  const uint32_t frames = 8000;
  const std::vector<int32_t> main = Sine(-50, frames), key = Sine(-10, frames);
  std::vector<int32_t> in(2 * frames), out(frames);
  for (uint32_t i = 0; i < frames; ++i) in[2 * i] = main[i], in[2 * i + 1] = key[i];
  const double thr = -38, ratio = 4, makeup = -20 * (1 / ratio - 1);
  struct Case {
    bool scInput, scListen;
    double want;
  } cases[] = {
      {false, false, -50 + makeup},                            // the quiet main stays below the threshold
      {true, false, -50 - (-10 - thr) * (1 - 1 / ratio) + makeup},  // the loud key pulls it down
      {true, true, -10},                                       // listening: the key as it comes
      {false, true, -50},  // without the key input the detector hears the main, untouched
  };
  for (const Case& c : cases) {
    EditSwitch(e, 5, c.scInput);
    EditSwitch(e, 6, c.scListen);
    SimDspProcess(placed, in.data(), 2, out.data(), 1, frames);
    EXPECT_NEAR(SineDb(out), c.want, 0.1) << c.scInput << c.scListen;
  }
}

// The gate stays open for its hold time after the level falls below its
// threshold and the hysteresis, then falls to the range at its release
// rate, and opens again at its attack rate; the expander's gentle slope.
TEST_F(Dyn, GateHoldsReleasesAndAttacksAtItsRates) {
  Element* e = Make(0);
  EditSwitch(e, 1, true);  // peak detection: the envelope rises at once
  EditKnob(e, 2, 10);      // 0.1 s compressor release: the envelope's fall
  EditKnob(e, 5, 0);       // gate threshold -18 dBFS
  EditKnob(e, 6, 2000);    // range
  EditKnob(e, 7, 50);      // hold 0.5 s
  EditKnob(e, 4, 10);      // gate release 0.1 s
  const double fs = 44100, floorGain = std::pow(10, RangeDb(2000) / 20);
  auto gateGain = [&] { return DspWordLoad(placed->Areas[4].Banks[0][3]) / 4194304.0; };
  auto run = [&](const std::vector<int32_t>& x, std::vector<double>* gains) {
    int32_t y = 0;
    for (int32_t s : x) {
      SimDspProcess(placed, &s, 1, &y, 1, 1);
      if (gains) gains->push_back(gateGain());
    }
  };
  run(Sine(-10, 4000), nullptr);
  EXPECT_NEAR(gateGain(), 1.0, 1e-6);
  std::vector<double> g;
  run(Sine(-40, 40000), &g);
  // Independently: the envelope falls from -10 dBFS by 4 / (fs x release) a
  // sample until it passes the threshold less the hysteresis (0.3914 neper).
  const double fall = -std::log(1 - 4 / (fs * 0.1));
  const double closes = (std::log(std::pow(10, -10 / 20.0)) - (std::log(std::pow(10, -18 / 20.0)) - 205227 / 524288.0)) / fall;
  const size_t held = size_t(closes + fs * 0.5);
  EXPECT_NEAR(g[held - 30], 1.0, 1e-6);
  EXPECT_LT(g[held + 30], 0.999);
  // One time constant (a quarter of the release time) later: 1/e of the way left.
  EXPECT_NEAR(g[held + size_t(fs * 0.1 / 4)], floorGain + (1 - floorGain) * std::exp(-1.0), 0.02);
  EXPECT_NEAR(g.back(), floorGain, 0.002);
  // Attack: the gain climbs linearly, a full step in 1.5 ms, or 0.1 ms with
  // "Fast Attack Gate/Exp".
  for (bool fast : {false, true}) {
    EditSwitch(e, 4, fast);
    run(Sine(-40, 40000), nullptr);
    g.clear();
    run(Sine(-10, 200), &g);
    const double steps = (1 - floorGain) / (1000 / ((fast ? 0.1 : 1.5) * fs));
    const size_t open = size_t(std::find_if(g.begin(), g.end(), [](double v) { return v > 0.999999; }) - g.begin());
    EXPECT_NEAR(double(open), steps, 1.5) << fast;
  }
  // Steady levels below the threshold, no hold: the gate drops by its range,
  // the expander by its gentle slope (0.215 dB a dB).
  EditKnob(e, 7, 0);
  for (bool expander : {false, true}) {
    EditSwitch(e, 3, expander);
    std::vector<int32_t> x = Sine(-22, 20000), out(x.size());
    SimDspProcess(placed, x.data(), 1, out.data(), 1, uint32_t(x.size()));
    const double want = expander ? -22 - 4 * 56361 / 262144.0 : -22 + RangeDb(2000);
    EXPECT_NEAR(SineDb(out), want, 0.1) << expander;
  }
}

}  // namespace
