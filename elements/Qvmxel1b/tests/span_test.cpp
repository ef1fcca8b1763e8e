// The surround panner's portable core: tables and knob mapping, the pan
// law's properties, golden matrix words per type, restores and presets,
// the contract, and audio through its programs on the simulated DSP.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "elements/Qvmxel1b/spanapi.h"
#include "elements/harness/elemharness.h"
#include "sim/dsp/simdsp.h"
#include "sim/dsp/simdsprun.h"

using namespace span;

namespace {

constexpr double kPi = 3.14159265358979323846;

class SpanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ELEMMODINFO info{};
    QVInitElemModule(DspCommandBlock, RecordingNotify, &info);
    RecordedNotes().clear();
  }
  void TearDown() override {
    for (ElemHandle h : made_) QVDeleteElement(h);
  }
  Element* Create(uint32_t code) {
    ElemHandle h = QVCreateElement(code, reinterpret_cast<void*>(0x55));
    EXPECT_NE(h, nullptr);
    made_.push_back(h);
    return static_cast<Element*>(h);
  }
  SimDspElement* Load(Element* e, uint32_t code) {
    ELEMTYPEPROPINFO t{};
    QVGetElemTypeProperties(code, &t);
    SimDspElement* p = dsp.Place(t, nullptr);
    EXPECT_EQ(QVLoadElement(e, p, &p->Placement), 1u);
    return p;
  }
  uint32_t SetRowKnob(Element* e, int row, int32_t v) {
    ELEMKNOBVALUE kv{uint32_t(KnobOfRow(e->Type, row)), v};
    return QVSetElement(e, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
  }
  std::vector<uint32_t> Matrix() {
    for (auto it = dsp.Trace().rbegin(); it != dsp.Trace().rend(); ++it)
      if (it->Op == kDspWriteRunning && it->MemIndex == 2) return it->Words;
    return {};
  }
  std::vector<ElemNote> Notes(uint32_t code) {
    std::vector<ElemNote> out;
    for (const ElemNote& n : RecordedNotes())
      if (n.Code == code) out.push_back(n);
    return out;
  }
  SimDsp dsp;
  std::vector<ElemHandle> made_;
};

State Plain() {
  State s{};
  s.Volume = kUnity;
  s.DivF = s.DivR = s.DivFR = s.Center = 100;
  for (uint32_t& on : s.On) on = 1;
  return s;
}

TEST(SpanTables, TypesKnobRowsAndMapping) {
  ELEMMODINFO info{};
  QVInitElemModule(nullptr, nullptr, &info);
  EXPECT_STREQ(info.Name, "Version 2.xx Mixer (Part B)");
  EXPECT_EQ(info.TypeCount, 4u);
  const uint32_t codes[] = {905, 906, 908, 909, 0};
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(QVGetElemType(i), codes[i]);
  ELEMTYPEPROPINFO t{};
  EXPECT_EQ(QVGetElemTypeProperties(907, &t), 0u);
  struct {
    uint32_t code, knobs, outs, matrix, program, load;
    std::vector<int> rows;
  } cases[] = {
      {905, 14, 4, 4, 18, 57, {0, 1, 5, 6, 7, 8, 10, 11, 12, 13, 16, 17, 18, 20}},
      {906, 17, 6, 6, 22, 105, {0, 1, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21}},
      {908, 18, 4, 8, 28, 101, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18, 20}},
      {909, 21, 6, 12, 36, 133, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(QVGetElemTypeProperties(c.code, &t), 1u);
    EXPECT_EQ(t.KnobCount, c.knobs);
    EXPECT_EQ(t.Outputs, c.outs);
    EXPECT_EQ(t.AreaSize[2], c.matrix);
    EXPECT_EQ(t.AreaSize[3], 2u);
    EXPECT_EQ(t.AreaSize[5], c.program);
    EXPECT_EQ(t.Load, c.load);
    EXPECT_EQ(t.StateSize, 364u);
    EXPECT_EQ(t.LittleHeight, 188u);
    const int type = TypeOfCode(c.code);
    for (uint32_t k = 0; k < c.knobs; ++k) {
      ELEMKNOBPROPINFO kp{};
      ASSERT_EQ(QVGetElemTypeKnobProperties(c.code, k, &kp), 1u);
      EXPECT_STREQ(kp.Name, kKnobTable[c.rows[k]].Name);
      EXPECT_EQ(KnobOfRow(type, c.rows[k]), int(k));
    }
    ELEMKNOBPROPINFO kp{};
    EXPECT_EQ(QVGetElemTypeKnobProperties(c.code, c.knobs, &kp), 0u);
  }
  EXPECT_EQ(KnobOfRow(0, kXPanR), -1);  // mono types have one dot
  EXPECT_EQ(KnobOfRow(0, kLsMute), -1);
  // LFE: a gain up to unity, so its display range ends at 0 dB.
  EXPECT_EQ(kKnobTable[kLfe].RawMax, 32768);
  EXPECT_EQ(kKnobTable[kLfe].DisplayMax, 0);
}

TEST(SpanTables, KeepsTheElementContract) {
  ElemModuleCalls calls{QVInitElemModule, QVGetElemType, QVGetElemTypeProperties, QVGetElemTypeKnobProperties,
                        QVCreateElement, QVCreateElementWindows, QVLoadElement, QVSetElement, QVGetElement,
                        QVDeleteElement};
  SimDsp dsp;
  ElemContractOptions options;
  // "Solo" set by the host is a request: the state follows the host's
  // answer (set code 3), which the harness does not send.
  options.KnobsMayClamp = true;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  std::string all;
  for (const std::string& f : r.Faults) all += f + "\n";
  EXPECT_TRUE(r.Faults.empty()) << all;
  EXPECT_EQ(r.Codes.size(), 4u);
  EXPECT_EQ(LiveCount(), 0);
}

double FrontPower(const Gains& g) { return g.L * g.L + g.C * g.C + g.R * g.R; }

TEST(SpanPanLaw, FrontDivergenceKeepsPowerAndZeroSpreadsEqually) {
  for (int32_t x : {-32767, -20000, 0, 12345, 32767})
    for (int32_t y : {-30000, 0, 20000, 32767}) {
      State s = Plain();
      s.DivF = 100;
      const Gains full = PanLaw(x, y, s, true);
      for (uint32_t d : {0u, 30u, 70u}) {
        s.DivF = d;
        const Gains g = PanLaw(x, y, s, true);
        EXPECT_NEAR(FrontPower(g), FrontPower(full), 1e-9) << x << "," << y << " d=" << d;
        if (d == 0) {
          EXPECT_NEAR(g.L, g.C, 1e-9);
          EXPECT_NEAR(g.C, g.R, 1e-9);
        }
      }
      // Rear divergence on 5.1 keeps the rear power too.
      s = Plain();
      const double rear = full.Ls * full.Ls + full.Rs * full.Rs;
      s.DivR = 40;
      const Gains g = PanLaw(x, y, s, true);
      EXPECT_NEAR(g.Ls * g.Ls + g.Rs * g.Rs, rear, 1e-9);
    }
}

TEST(SpanPanLaw, FrontRearDivergenceZeroGivesEqualShares) {
  State s = Plain();
  s.DivFR = 0;
  for (int32_t y : {-32767, -100, 0, 32767}) {
    const Gains g = PanLaw(0, y, s, false);  // centre: front is all C
    EXPECT_NEAR(g.C, std::sqrt(0.5), 1e-9) << y;
    EXPECT_NEAR(g.S, std::sqrt(0.5), 1e-9) << y;
  }
  s.DivFR = 100;
  const Gains front = PanLaw(0, 32767, s, false);
  EXPECT_NEAR(front.C, 1, 1e-9);
  EXPECT_NEAR(front.S, 0, 1e-9);
}

TEST(SpanPanLaw, CentreZeroSplitsItsPowerEquallyToTheSides) {
  for (int32_t x : {-10000, 0, 9000}) {
    State s = Plain();
    const Gains full = PanLaw(x, 32767, s, false);
    s.Center = 0;
    const Gains g = PanLaw(x, 32767, s, false);
    EXPECT_NEAR(g.C, 0, 1e-12);
    EXPECT_NEAR(g.L * g.L - full.L * full.L, full.C * full.C / 2, 1e-9) << x;
    EXPECT_NEAR(g.R * g.R - full.R * full.R, full.C * full.C / 2, 1e-9) << x;
  }
}

TEST(SpanPanLaw, SilentShareStaysSilentUnderDivergence) {
  // Fully rear with the front divergence at 0: no sound may leak forward.
  State s = Plain();
  s.DivF = 0;
  const Gains g = PanLaw(0, -32767, s, true);
  EXPECT_NEAR(FrontPower(g), 0, 1e-12);
  EXPECT_NEAR(g.Ls * g.Ls + g.Rs * g.Rs, 1, 1e-9);
}

constexpr uint32_t kU = 0xC00000u;  // unity (24-bit words)
constexpr uint32_t kH = 0xD2BF00u;    // -128 x 23170: 0.7071
constexpr uint32_t kQ = 0xE00000u;    // 0.5

TEST_F(SpanTest, GoldenMatricesPerType) {
  struct {
    uint32_t code;
    std::vector<uint32_t> words;
  } cases[] = {
      // Dot 1 centred: C and S at 0.7071.
      {905, {0, 0, kH, kH}},
      {906, {0, 0, kH, kU, kQ, kQ}},
      // Dot 1 front-left, dot 2 centred.
      {908, {kU, 0, 0, 0, 0, kH, 0, kH}},
      {909, {kU, 0, 0, 0, 0, kH, kU, kU, 0, kQ, 0, kQ}},
  };
  for (const auto& c : cases) {
    Element* e = Create(c.code);
    Load(e, c.code);
    if (Is51(e->Type)) SetRowKnob(e, kLfe, 0x8000);
    if (IsStereo(e->Type)) {
      SetRowKnob(e, kXPan, -32767);
      SetRowKnob(e, kYPan, 32767);
    }
    EXPECT_EQ(Matrix(), c.words) << c.code;
  }
}

TEST_F(SpanTest, MuteSoloSpeakerAndLfeMutesClearTheirWords) {
  Element* e = Create(906);
  Load(e, 906);
  SetRowKnob(e, kLfe, 0x8000);
  SetRowKnob(e, kCMute, 1);
  EXPECT_EQ(Matrix(), (std::vector<uint32_t>{0, 0, 0, kU, kQ, kQ}));
  SetRowKnob(e, kLfeMute, 1);
  EXPECT_EQ(Matrix(), (std::vector<uint32_t>{0, 0, 0, 0, kQ, kQ}));
  SetRowKnob(e, kLfeMute, 0);
  QVSetElement(e, kSetSolo, 2);
  EXPECT_EQ(Matrix(), std::vector<uint32_t>(6, 0));
  QVSetElement(e, kSetSolo, 0);
  QVSetElement(e, kSetGroupMute, 1);
  EXPECT_EQ(Matrix(), std::vector<uint32_t>(6, 0));
  EXPECT_EQ(QVSetElement(e, kSetSolo, 4), 0u);
}

TEST_F(SpanTest, PanModesMirrorTheOtherDot) {
  Element* e = Create(908);
  struct {
    uint32_t mode;
    int32_t x2, y2;
  } cases[] = {{1, -1000, 2000}, {2, 1000, -2000}, {3, -1000, -2000}};
  for (const auto& c : cases) {
    SetRowKnob(e, kPanMode, int32_t(c.mode));
    SetRowKnob(e, kXPan, 1000);
    SetRowKnob(e, kYPan, 2000);
    EXPECT_EQ(e->St.X2, c.x2) << c.mode;
    EXPECT_EQ(e->St.Y2, c.y2) << c.mode;
  }
  // Editing dot 2 moves dot 1.
  SetRowKnob(e, kXPanR, 500);
  EXPECT_EQ(e->St.X1, -500);
}

TEST_F(SpanTest, SoloKnobAsksTheHostAndOnlyItsAnswerChangesTheState) {
  Element* e = Create(905);
  RecordedNotes().clear();
  EXPECT_EQ(SetRowKnob(e, kSolo, 2), 1u);  // the recording host answers nonzero
  ASSERT_EQ(Notes(kNotifySolo).size(), 1u);
  EXPECT_EQ(Notes(kNotifySolo)[0].Value, 3u);
  EXPECT_EQ(e->St.Solo, 0u);
  QVSetElement(e, kSetSolo, 3);
  ELEMKNOBVALUE kv{uint32_t(KnobOfRow(0, kSolo)), 0};
  QVGetElement(e, kGetKnob, &kv);
  EXPECT_EQ(kv.Value, 2);
  RecordedNotes().clear();
  EXPECT_EQ(SetRowKnob(e, kSolo, 2), 1u);  // unchanged: no request
  EXPECT_TRUE(Notes(kNotifySolo).empty());
}

TEST_F(SpanTest, RestoreChecksLengthAndValuesAndAsksForSolo) {
  Element* e = Create(909);
  Load(e, 909);
  State s = Plain();
  s.Length = 365;
  EXPECT_EQ(QVSetElement(e, kSetState, reinterpret_cast<uintptr_t>(&s)), 0u);
  s.Length = kStateSize;
  s.X1 = 99999;
  s.Volume = 0xFFFFFFFF;
  s.PanMode = 9;
  s.Center = 250;
  s.Lfe = 70000;
  s.SoloGroup = 5000;
  s.Solo = 1;
  std::memset(s.PresetPath, 'a', sizeof s.PresetPath);
  RecordedNotes().clear();
  ASSERT_EQ(QVSetElement(e, kSetState, reinterpret_cast<uintptr_t>(&s)), 1u);
  State got{};
  QVGetElement(e, kGetState, &got);
  EXPECT_EQ(got.X1, 32767);
  EXPECT_EQ(got.Volume, 65536u);
  EXPECT_EQ(got.PanMode, 3u);
  EXPECT_EQ(got.Center, 100u);
  EXPECT_EQ(got.Lfe, 32768u);
  EXPECT_EQ(got.SoloGroup, 98u);
  EXPECT_EQ(got.PresetPath[kPathSize - 1], 0);
  EXPECT_EQ(got.Solo, 0u);  // kept: the host decides
  ASSERT_EQ(Notes(kNotifySolo).size(), 1u);
  EXPECT_EQ(Notes(kNotifySolo)[0].Value, 3u);  // a stored solo asks for exclusive solo
  EXPECT_FALSE(Matrix().empty());
  // A short blob changes only what it covers.
  uint32_t shortBlob[3] = {12, uint32_t(-5), 7};
  ASSERT_EQ(QVSetElement(e, kSetState, reinterpret_cast<uintptr_t>(shortBlob)), 1u);
  QVGetElement(e, kGetState, &got);
  EXPECT_EQ(got.X1, -5);
  EXPECT_EQ(got.Y1, 7);
  EXPECT_EQ(got.Length, kStateSize);
  EXPECT_EQ(got.Volume, 65536u);
}

TEST_F(SpanTest, PresetFilesAreCheckedAndKeepTheWindowPlace) {
  State s = Plain();
  s.Length = kStateSize;
  s.X1 = 1234;
  s.BigX = 7;
  s.BigY = 8;
  uint8_t file[kPresetSize];
  PresetBuild(s, file);
  EXPECT_EQ(std::memcmp(file, "QVPANXXSETFFV1.0", 17), 0);
  State got{};
  EXPECT_EQ(PresetParse(file, kPresetSize - 1, &got), 0);
  std::vector<uint8_t> longer(file, file + kPresetSize);
  longer.push_back(0);
  EXPECT_EQ(PresetParse(longer.data(), longer.size(), &got), 0);
  file[3] ^= 1;
  EXPECT_EQ(PresetParse(file, kPresetSize, &got), 0);
  file[3] ^= 1;
  ASSERT_EQ(PresetParse(file, kPresetSize, &got), 1);
  Element* e = Create(908);
  e->St.BigX = 300;
  e->St.BigY = 40;
  ASSERT_EQ(PresetApply(e, got, "C:\\p\\one.qvspan"), 1u);
  EXPECT_EQ(e->St.X1, 1234);
  EXPECT_EQ(e->St.BigX, 300);
  EXPECT_EQ(e->St.BigY, 40);
  EXPECT_STREQ(e->St.PresetPath, "C:\\p\\one.qvspan");
}

TEST_F(SpanTest, MeterKnobGivesThePeakThenZero) {
  Element* e = Create(908);
  SimDspElement* p = Load(e, 908);
  std::vector<int32_t> in = {0x100000, -0x200000, 0x80000, 0x10000}, out(8);
  SimDspProcess(p, in.data(), 2, out.data(), 4, 2);
  ELEMKNOBVALUE kv{uint32_t(KnobOfRow(2, kPeak)), 0};
  QVGetElement(e, kGetKnob, &kv);
  EXPECT_EQ(kv.Value, 0x100000 >> 8);
  kv.Index = uint32_t(KnobOfRow(2, kPeakR));
  QVGetElement(e, kGetKnob, &kv);
  EXPECT_EQ(kv.Value, 0x200000 >> 8);
  QVGetElement(e, kGetKnob, &kv);
  EXPECT_EQ(kv.Value, 0);
}

TEST_F(SpanTest, SpeakerSoloAndCreateReports) {
  Element* e = Create(905);
  // Created: volume, mute, groups, 13 settable knobs, the closed big window.
  EXPECT_EQ(Notes(kNotifyKnob).size(), 13u);
  EXPECT_EQ(Notes(kNotifyBigWindow).back().Value, 1u);
  SpeakerSolo(e, kSpkR);
  EXPECT_EQ(e->St.On[kSpkR], 1u);
  EXPECT_EQ(e->St.On[kSpkL] + e->St.On[kSpkC] + e->St.On[kSpkCs], 0u);
  SpeakerSolo(e, kSpkR);  // the only one on: all come on
  for (uint32_t on : e->St.On) EXPECT_EQ(on, 1u);
}

TEST(SpanScales, PercentsPositionsImagesAndLabels) {
  EXPECT_EQ(PanPercent(-32767), -100);
  EXPECT_EQ(PanPercent(0), 0);
  EXPECT_EQ(PanPercent(32767), 100);
  EXPECT_EQ(PanFromPercent(100), 32767);
  EXPECT_EQ(PanToPos(32767, 224, 1), 0);
  EXPECT_EQ(PosToPan(0, 224, 1), 32767);
  struct {
    int32_t c;
    int row;
  } rows[] = {{100, 0}, {101, 2}, {91, 2}, {90, 4}, {83, 4}, {82, 6}, {50, 12}, {49, 14}, {8, 22}, {7, 24}, {1, 24}, {0, 26}, {-3, 26}};
  for (const auto& r : rows) EXPECT_EQ(CenterImageRow(r.c), r.row) << r.c;
  char t[16];
  GainLabel(1.0, t);
  EXPECT_STREQ(t, "0.0");
  GainLabel(std::sqrt(0.5), t);
  EXPECT_STREQ(t, "-3.0");
  GainLabel(1e-6, t);
  EXPECT_STREQ(t, "-INF");
}

// The pan of a dot with every divergence and the centre at 100, written
// from the geometry: front/rear by Y on a quarter circle, then across.
void Expected(double x01, double y01, double g[4]) {
  const double f = std::sin(y01 * kPi / 2), r = std::cos(y01 * kPi / 2);
  const double b = (1 - 2 * x01) * kPi / 2;
  g[0] = std::max(0.0, std::sin(b)) * f;   // L
  g[1] = std::max(0.0, -std::sin(b)) * f;  // R
  g[2] = std::cos(b) * f;                  // C
  g[3] = r;                                // S
}

TEST_F(SpanTest, StereoPanThroughTheSimulatedDsp) {
  Element* e = Create(908);
  SimDspElement* p = Load(e, 908);
  SetRowKnob(e, kXPan, -16384);
  SetRowKnob(e, kYPan, 10000);
  SetRowKnob(e, kXPanR, 20000);
  SetRowKnob(e, kYPanR, -25000);
  SetRowKnob(e, kVolume, 0x4000);  // -6 dB
  const uint32_t frames = 64;
  std::vector<int32_t> in(frames * 2), out(frames * 4);
  for (uint32_t i = 0; i < frames; ++i) {
    in[2 * i] = int32_t(std::lround(0.5 * 8388607 * std::sin(2 * kPi * i / 16)));
    in[2 * i + 1] = int32_t(std::lround(0.25 * 8388607 * std::cos(2 * kPi * i / 16)));
  }
  SimDspProcess(p, in.data(), 2, out.data(), 4, frames);
  double g1[4], g2[4];
  Expected((-16384 + 32767) / 65534.0, (10000 + 32767) / 65534.0, g1);
  Expected((20000 + 32767) / 65534.0, (-25000 + 32767) / 65534.0, g2);
  for (uint32_t i = 0; i < frames; ++i)
    for (int k = 0; k < 4; ++k) {
      const double want = 0.5 * (in[2 * i] * g1[k] + in[2 * i + 1] * g2[k]);
      // Matrix words hold the gain in steps of 1/32768.
      const double tol = (std::abs(in[2 * i]) + std::abs(in[2 * i + 1])) / 32768.0 + 4;
      EXPECT_NEAR(out[4 * i + k], want, tol) << "frame " << i << " out " << k;
    }
}

}  // namespace
