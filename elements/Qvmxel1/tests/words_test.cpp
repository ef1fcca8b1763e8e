// The words each family writes, as the simulated DSP saw them, and the
// set and get codes around them.
#include <cmath>
#include <cstring>

#include "elements/Qvmxel1/tests/modfixture.h"
#include "elements/dspcode.h"

namespace {

using W = std::vector<uint32_t>;

TEST_F(ModTest, EqBandWordsFollowGainBypassAndRate) {
  ElemHandle eq = Create(300);
  SimDspElement* p = Load(eq, 300);
  // Load: both bands, the filter states of both banks zeroed, the program.
  const auto& t = dsp.Trace();
  ASSERT_GE(t.size(), 5u);
  EXPECT_EQ(t[0].Op, kDspWrite);
  EXPECT_EQ(t[0].MemIndex, 1u);
  EXPECT_EQ(t[1].Offset, 4u);
  EXPECT_EQ(t[2].MemIndex, 2u);
  EXPECT_EQ(t[3].Offset, kElemSecondBank);
  EXPECT_EQ(t.back().MemIndex, 5u);
  EXPECT_EQ(t.back().Count, 30u);

  ASSERT_EQ(SetKnob(eq, 3, 140), 1u);  // +14 dB: 10^0.7 - 1 limited to 3.999996
  EXPECT_EQ(dsp.Word(p, 1, 3), 8388599);
  ASSERT_EQ(SetKnob(eq, 6, -240), 1u);
  EXPECT_EQ(dsp.Word(p, 1, 7), -1964830);
  ASSERT_EQ(SetKnob(eq, 0, 1), 1u);
  EXPECT_EQ(dsp.Word(p, 1, 3), 0);
  EXPECT_EQ(dsp.Word(p, 1, 7), 0);
  SetKnob(eq, 0, 0);

  // The minimum bandwidth at 44.1 kHz: 146 at 16 kHz, 91 at 10 kHz.
  EXPECT_EQ(EqQMin(16000, 44100), 146);
  SetKnob(eq, 5, 10);
  EXPECT_EQ(Knob(eq, 5), 146);
  RecordedNotes().clear();
  SetKnob(eq, 4, 10000);
  SetKnob(eq, 5, 10);
  EXPECT_EQ(Knob(eq, 5), 91);
  EXPECT_TRUE(Notes(kNotifyKnob).empty());  // a knob the host sets is not reported back

  SetKnob(eq, 1, 23999);
  EXPECT_EQ(Knob(eq, 1), 22049);
  ASSERT_EQ(QVSetElement(eq, kSetSampleRate, 48000), 1u);
  SetKnob(eq, 1, 23999);
  EXPECT_EQ(Knob(eq, 1), 23999);
  // Down to 32 kHz: the frequency comes down and its bandwidth goes up, both reported.
  RecordedNotes().clear();
  ASSERT_EQ(QVSetElement(eq, kSetSampleRate, 32000), 1u);
  EXPECT_EQ(Knob(eq, 1), 15999);
  EXPECT_EQ(Knob(eq, 2), 200);
  bool q1Reported = false;
  for (const ElemNote& n : Notes(kNotifyKnob)) q1Reported |= n.Knob.Index == 2;
  EXPECT_FALSE(q1Reported);  // 200 already above 15999 x 400 / 32000 + 1 = 200
  EXPECT_EQ(QVSetElement(eq, kSetSampleRate, 0), 0u);
}

TEST_F(ModTest, EqWordsAreTheBandFormula) {
  EqState s{};
  s.Freq1 = 1000;
  s.Q1 = 200;
  s.Gain1 = 60;
  uint32_t w[4];
  EqBandWords(s, 48000, 0, w);
  const double pi = 3.14159265358979323846, wc = 2 * pi * 1000 / 48000, t = std::tan(wc / 4);
  const double k = (1 - t) / (1 + t) / 2;
  EXPECT_EQ(int32_t(w[0]), int32_t((0.25 - k / 2) * 8388608));
  EXPECT_EQ(int32_t(w[1]), int32_t(k * 8388608));
  EXPECT_EQ(int32_t(w[2]), int32_t(std::cos(wc) * (k + 0.5) * 8388608));
  EXPECT_EQ(int32_t(w[3]), int32_t((std::pow(10.0, 0.3) - 1) * 2097152));
}

TEST_F(ModTest, EqStateRestoreChecksLengthAndPresetFiles) {
  ElemHandle eq = Create(302);
  EqState s{};
  ASSERT_EQ(QVGetElement(eq, kGetState, &s), 1u);
  EXPECT_EQ(s.Length, 304u);
  EXPECT_EQ(s.Freq1, 65);
  EXPECT_EQ(s.Freq2, 16000);
  EXPECT_STREQ(s.PresetPath, ".\\MixElem\\QVEq\\(untitled)");

  uint8_t big[320] = {};
  reinterpret_cast<ELEMSTATE*>(big)->Length = 305;
  EXPECT_EQ(QVSetElement(eq, kSetState, reinterpret_cast<uintptr_t>(big)), 0u);
  // A shorter state sets its head and keeps the tail; the length is forced back.
  struct Head {
    uint32_t Length, Bypass;
    int32_t Freq1;
  } head{12, 1, 440};
  ASSERT_EQ(QVSetElement(eq, kSetState, reinterpret_cast<uintptr_t>(&head)), 1u);
  ASSERT_EQ(QVGetElement(eq, kGetState, &s), 1u);
  EXPECT_EQ(s.Length, 304u);
  EXPECT_EQ(s.Bypass, 1u);
  EXPECT_EQ(s.Freq1, 440);
  EXPECT_EQ(s.Freq2, 16000);

  // Values outside their ranges from a state are brought into them.
  s.Q1 = 0;
  s.Freq2 = -5;
  s.Gain1 = 9999;
  std::memset(s.PresetPath, 'x', sizeof s.PresetPath);
  ASSERT_EQ(QVSetElement(eq, kSetState, reinterpret_cast<uintptr_t>(&s)), 1u);
  EXPECT_EQ(Knob(eq, 2), EqQMin(440, 44100));
  EXPECT_EQ(Knob(eq, 4), 20);
  EXPECT_EQ(Knob(eq, 3), 140);
  ASSERT_EQ(QVGetElement(eq, kGetState, &s), 1u);
  EXPECT_EQ(std::strlen(s.PresetPath), 259u);

  uint8_t file[kEqPresetSize + 1];
  EqPresetBuild(s, file);
  EqState back{};
  EXPECT_EQ(EqPresetParse(file, kEqPresetSize, &back), 1);
  EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);
  EXPECT_EQ(EqPresetParse(file, kEqPresetSize + 1, &back), 0);  // 322 bytes, right magic: incompatible
  EXPECT_EQ(EqPresetParse(file, kEqPresetSize - 1, &back), 0);
  file[3] = 'X';
  EXPECT_EQ(EqPresetParse(file, kEqPresetSize, &back), 0);
}

TEST_F(ModTest, OutputWithFaderGainWordsPanAndSolo) {
  ElemHandle out = Create(902);
  SimDspElement* p = Load(out, 902);
  // Pan 64, volume 32768: -(32768 x 128) in both words.
  EXPECT_EQ(LastWords(kDspWriteRunning, 2, 0), (W{0xC00000, 0xC00000}));
  EXPECT_EQ(dsp.Trace().back().Op, kDspProgram);
  EXPECT_EQ(dsp.Trace().back().Count, 15u);
  SetKnob(out, 0, 0);
  EXPECT_EQ(dsp.Word(p, 2, 0), -0x400000);
  EXPECT_EQ(dsp.Word(p, 2, 1), 0);

  // Solo from the host: muted by another solo writes zeros and says so.
  RecordedNotes().clear();
  ASSERT_EQ(QVSetElement(out, kSetSolo, 2), 1u);
  EXPECT_EQ(dsp.Word(p, 2, 0), 0);
  ASSERT_EQ(Notes(kNotifySoloMuted).size(), 1u);
  EXPECT_EQ(Notes(kNotifySoloMuted)[0].Value, 1u);
  ASSERT_EQ(Notes(kNotifyKnob).size(), 1u);
  EXPECT_EQ(Notes(kNotifyKnob)[0].Knob.Index, 1u);
  EXPECT_EQ(Notes(kNotifyKnob)[0].Knob.Value, 0);
  EXPECT_EQ(QVSetElement(out, kSetSolo, 4), 0u);

  // The solo knob set by the host becomes a request; an equal value does nothing.
  QVSetElement(out, kSetSolo, 0);
  RecordedNotes().clear();
  SetKnob(out, 1, 0);
  EXPECT_TRUE(RecordedNotes().empty());
  SetKnob(out, 1, 2);
  ASSERT_EQ(Notes(kNotifySolo).size(), 1u);
  EXPECT_EQ(Notes(kNotifySolo)[0].Value, 3u);
  uint32_t solo = 9;
  ASSERT_EQ(QVGetElement(out, kGetSolo, &solo), 1u);
  EXPECT_EQ(solo, 0u);  // the element waits for the host's set code 3
}

TEST_F(ModTest, EppAndLinearPanLaws) {
  int64_t l, r;
  PanEpp(32768, 64, &l, &r);
  EXPECT_EQ(l, 16384);
  EXPECT_EQ(r, 16384);
  PanEpp(32768, 0, &l, &r);
  EXPECT_EQ(l, 16384 + int64_t(64 * 32768 * 0.4142136 / 128));
  EXPECT_EQ(r, 0);
  PanLinear(32768, 96, &l, &r);
  EXPECT_EQ(l, 16384);
  EXPECT_EQ(r, 32768);
}

TEST_F(ModTest, PostSendFollowsTheColumnOutputCappedAtUnity) {
  ElemHandle send = Create(800);
  SimDspElement* p = Load(send, 800);
  EXPECT_EQ(dsp.Word(p, 2, 0), 0);  // default volume 0
  SetKnob(send, 1, 32768);
  EXPECT_EQ(dsp.Word(p, 2, 0), -0x800000);
  SetKnob(send, 3, 1);
  QVSetElement(send, kSetColumnVolume, 65536);
  EXPECT_EQ(dsp.Word(p, 2, 0), -0x800000);  // 32768 x 65536 / 32768 capped at 32768
  QVSetElement(send, kSetColumnVolume, 16384);
  EXPECT_EQ(dsp.Word(p, 2, 0), -0x400000);
  QVSetElement(send, kSetColumnSoloMuted, 1);
  EXPECT_EQ(dsp.Word(p, 2, 0), 0);
  SetKnob(send, 3, 0);  // pre: the column output no longer counts
  EXPECT_EQ(dsp.Word(p, 2, 0), -0x800000);
  SetKnob(send, 2, 1);
  EXPECT_EQ(dsp.Word(p, 2, 0), 0);
}

TEST_F(ModTest, OutputMeterKnobGivesThePeakThenZero) {
  ElemHandle out = Create(900);
  SimDspElement* p = Load(out, 900);
  dsp.Poke(p, 3, 0, 20000);
  EXPECT_EQ(Knob(out, 4), 20000);
  EXPECT_EQ(Knob(out, 4), 0);
  dsp.Poke(p, 3, 0, 40000);
  EXPECT_EQ(Knob(out, 4), 32767);
}

TEST_F(ModTest, TrackArmsOnlyThroughTheHost) {
  ElemHandle tr = Create(202);
  SimDspElement* p = Load(tr, 202);
  EXPECT_EQ(LastWords(kDspWriteRunning, 3, 0), (W{0, 0x800000}));  // playback
  RecordedNotes().clear();
  SetKnob(tr, 0, 1);
  ASSERT_EQ(Notes(kNotifyRecArm).size(), 1u);
  EXPECT_EQ(Notes(kNotifyRecArm)[0].Value, 1u);
  EXPECT_EQ(Knob(tr, 0), 0);
  ASSERT_EQ(QVSetElement(tr, kSetRecord, 3), 1u);
  EXPECT_EQ(dsp.Raw(p, 3, 0), 0x800000u);
  EXPECT_EQ(dsp.Raw(p, 3, 1), 0u);
  EXPECT_EQ(Knob(tr, 0), 1);
  uint32_t rec = 0;
  ASSERT_EQ(QVGetElement(tr, kGetRecord, &rec), 1u);
  EXPECT_EQ(rec, 3u);
  RecordedNotes().clear();
  SetKnob(tr, 0, 1);  // equal to the current state: nothing
  EXPECT_TRUE(RecordedNotes().empty());
}

TEST_F(ModTest, DelayLinePhaseSwitchesOneProgramWord) {
  ElemHandle sdl = Create(610);
  SimDspElement* p = Load(sdl, 610);
  EXPECT_EQ(dsp.Raw(p, 5, kSdlPhaseMono), kDspNop);
  SetKnob(sdl, 0, 37);
  EXPECT_EQ(dsp.Word(p, 1, 1), 37);
  SetKnob(sdl, 1, 1);
  EXPECT_EQ(dsp.Raw(p, 5, kSdlPhaseMono), DspNeg(0));
  ElemHandle st = Create(612);
  SimDspElement* q = Load(st, 612);
  SetKnob(st, 1, 1);
  EXPECT_EQ(dsp.Raw(q, 5, kSdlPhaseStereo), DspNeg(0));
  EXPECT_EQ(dsp.Raw(q, 5, kSdlPhaseStereo + 1), DspNeg(1));
}

TEST_F(ModTest, DelayCompensationLaysOutItsLine) {
  ElemHandle dc = QVCreateElement(2002, reinterpret_cast<void*>(100));
  ASSERT_NE(dc, nullptr);
  made_.push_back(dc);
  EXPECT_TRUE(RecordedNotes().empty());
  const uint32_t sizes[6] = {0, 0, 400, 0, 0, 0};
  SimDspElement* p = Load(dc, 2002, sizes);
  const uint32_t a = p->Placement.SampleBase;
  EXPECT_EQ(LastWords(kDspWrite, 1, 0), (W{4, 1, a + 400, a, a}));
  bool cleared = false;
  for (const SimDspCall& c : dsp.Trace()) cleared |= c.Op == kDspClear && c.MemIndex == 2 && c.Count == 400;
  EXPECT_TRUE(cleared);
  EXPECT_EQ(dsp.Trace().back().Count, 25u);
  EXPECT_EQ(QVSetElement(dc, kSetName, 0), 1u);
  uint32_t any = 0;
  EXPECT_EQ(QVGetElement(dc, kGetState, &any), 0u);

  // A line that would run past the DSP's 24-bit addresses is refused.
  ElemHandle huge = QVCreateElement(2004, reinterpret_cast<void*>(0x400000));
  made_.push_back(huge);
  ELEMTYPEPROPINFO t{};
  QVGetElemTypeProperties(2004, &t);
  SimDspElement* h = dsp.Place(t);
  EXPECT_EQ(QVLoadElement(huge, h, &h->Placement), 0u);
}

TEST_F(ModTest, StateLengthsAreChecked) {
  struct Case {
    uint32_t code, length, accepted;
  } cases[] = {
      {100, 8, 1}, {100, 7, 0}, {100, 9, 0}, {200, 24, 1}, {200, 20, 0}, {600, 8, 1}, {610, 11, 0},
      {700, 4, 1}, {700, 8, 0}, {800, 32, 1}, {800, 16, 1}, {800, 33, 0}, {900, 28, 1}, {900, 29, 0},
      {920, 4, 1}, {920, 12, 0}, {300, 305, 0},
  };
  for (const Case& c : cases) {
    ElemHandle h = Create(c.code);
    uint8_t buf[320] = {};
    ASSERT_EQ(QVGetElement(h, kGetState, buf), 1u);
    reinterpret_cast<ELEMSTATE*>(buf)->Length = c.length;
    EXPECT_EQ(QVSetElement(h, kSetState, reinterpret_cast<uintptr_t>(buf)), c.accepted) << c.code << "/" << c.length;
  }
}

TEST_F(ModTest, PlaceholderKeepsTheStateItIsGiven) {
  ElemHandle ph = Create(1990);
  const char blob[] = "state of a missing module";
  ASSERT_EQ(QVSetElement(ph, kSetStateLength, sizeof blob), 1u);
  ASSERT_EQ(QVSetElement(ph, kSetState, reinterpret_cast<uintptr_t>(blob)), 1u);
  uint32_t n = 0;
  ASSERT_EQ(QVGetElement(ph, kGetStateLength, &n), 1u);
  EXPECT_EQ(n, sizeof blob);
  char back[64] = {};
  ASSERT_EQ(QVGetElement(ph, kGetState, back), 1u);
  EXPECT_STREQ(back, blob);
  EXPECT_EQ(QVSetElement(ph, kSetStateLength, 0x7FFFFFFF), 0u);  // no absurd blocks
  ASSERT_EQ(QVSetElement(ph, kSetStateLength, 0), 1u);
  ASSERT_EQ(QVSetElement(ph, kSetState, 0), 1u);
  ASSERT_EQ(QVGetElement(ph, kGetStateLength, &n), 1u);
  EXPECT_EQ(n, 0u);
}

TEST_F(ModTest, CreationReportsEveryKnobAndTheClosedBigWindow) {
  Create(802);
  const auto knobs = Notes(kNotifyKnob);
  ASSERT_EQ(knobs.size(), 4u);
  EXPECT_EQ(knobs[0].Knob.Value, 64);
  ASSERT_EQ(Notes(kNotifyBigWindow).size(), 1u);
  EXPECT_EQ(Notes(kNotifyBigWindow)[0].Value, 1u);
  RecordedNotes().clear();
  Create(600);
  EXPECT_EQ(Notes(kNotifyKnob).size(), 1u);
  EXPECT_TRUE(Notes(kNotifyBigWindow).empty());
  // Set code 9 answers 1 without a window; an unknown set code changes nothing.
  EXPECT_EQ(QVSetElement(made_.back(), kSetRefresh, 0), 1u);
  EXPECT_EQ(QVSetElement(made_.back(), 22, 0), 1u);
  uint32_t v = 0;
  EXPECT_EQ(QVGetElement(made_.back(), kGetVolume, &v), 0u);
}

}  // namespace
