// The time module: its records, the dialogs' arithmetic and limits, the
// time conversions, the crossfade table, and whole runs against a small
// host: exact new lengths, linked Parts cut alike, the order of the Part
// changes, refusals, failures and an abort.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tm_fakehost.h"
#include "timemodule/tmconv.h"
#include "timemodule/tmdsp.h"
#include "timemodule/tmmodule.h"

using namespace tmod;

namespace {

TEST(TimeModuleRecords, CopiedAtTheCallersSize) {
  EOPMODINFO m;
  std::memset(&m, 0xEE, sizeof m);
  m.Size = 100;
  EXPECT_EQ(TmGetModuleInfo(&m), 1);
  EXPECT_EQ(m.Size, 100u);
  EXPECT_EQ(m.Version, 102u);
  EXPECT_STREQ(m.Name, "Time Module (Exvora)");
  EXPECT_EQ(reinterpret_cast<uint8_t*>(&m)[100], 0xEE);  // nothing past 100 bytes
  struct {
    EOPMODINFO m;
    uint8_t more[80];
  } big;
  std::memset(&big, 0xEE, sizeof big);
  big.m.Size = 300;
  TmGetModuleInfo(&big.m);
  EXPECT_EQ(big.m.Size, 220u);
  EXPECT_EQ(big.m.ProcessCount, 3u);
  EXPECT_EQ(big.more[0], 0xEE);

  EOPPLUGININFO p;
  std::memset(&p, 0xEE, sizeof p);
  p.Size = 300;
  EXPECT_EQ(TmGetPlugInInfo(3, &p), 0);
  EXPECT_EQ(p.Size, 300u);
  EXPECT_EQ(p.Kind, 0xEEEEEEEEu);
  for (uint32_t i = 0; i < 3; ++i) {
    p.Size = 300;
    EXPECT_EQ(TmGetPlugInInfo(i, &p), 1);
    EXPECT_EQ(p.Size, 204u);
    EXPECT_EQ(p.ProcessId, 200 + i);
  }
  EXPECT_STREQ(p.Name, "Pitch Shift");
}

TEST(TimeModuleDialogs, LimitsByProcess) {
  const TmDialogFacts stretch{kEopTimeStretch, 100000, 48000, 48000, 1, 12000, 4, 4};
  TmParams s(stretch);
  s.SetRatioText("200");
  EXPECT_EQ(s.L1(), 150000);
  EXPECT_EQ(s.RatioText(), "150.00");
  s.SetRatioText("10");
  EXPECT_EQ(s.L1(), 67000);
  s.SetRatioText("125.5");
  EXPECT_EQ(s.L1(), 125500);
  s.SetNewTempoText("240");  // twice the tempo: half the length, held at 67 %
  EXPECT_EQ(s.L1(), 67000);
  s.SetNewTempoText("100");
  EXPECT_EQ(s.L1(), 120000);
  EXPECT_EQ(s.NewTempoText(), "100.00");
  s.SetNewTcText("00:00:02:12");  // 2.48 s at 25 fps = 119040
  EXPECT_EQ(s.L1(), 119040);
  s.SetNewBbtText("1.0.0");  // one 4/4 bar at 120 BPM = 2 s
  EXPECT_EQ(s.L1(), 96000);

  TmParams r({kEopRateConvert, 100000, 48000, 44100, 1, 12000, 4, 4});
  r.SetRatioText("10");
  EXPECT_EQ(r.L1(), 25000);
  r.SetRatioText("500");
  EXPECT_EQ(r.L1(), 400000);
  r.SetNewRateText("48000");
  EXPECT_EQ(r.L1(), TmMulDiv(100000, 48000, 44100));
  EXPECT_EQ(r.NewRateText(), "48000");

  TmParams p({kEopPitchShift, 100000, 48000, 48000, 1, 12000, 4, 4});
  p.SetSemitonesText("+12.00");
  EXPECT_EQ(p.L1(), 150000);
  p.SetSemitonesText("-1");
  EXPECT_EQ(p.L1(), 94387);  // 2^(-1/12)
  EXPECT_EQ(p.SemitonesText(), "-1.00");
  p.SetL1(0);
  EXPECT_EQ(p.L1(), 67000);
  TmParams tiny({kEopTimeStretch, 1, 48000, 48000, 1, 12000, 4, 4});
  tiny.SetRatioText("67");
  EXPECT_EQ(tiny.L1(), 1);  // 0 becomes 1
}

TEST(TimeModuleConversions, TimeCodeAndMusicalLengths) {
  EXPECT_EQ(TmTcText(TmSamplesToTc(48000, 48000, 1, false)), "00:00:01:00.0000");
  // Drop-frame numbering: frame 1800 is the third frame of minute 1.
  const int64_t frame1800 = static_cast<int64_t>(std::ceil(1800 * 48000.0 * 100 / 2997));
  TmTimeCode df = TmSamplesToTc(frame1800, 48000, 3, false);
  EXPECT_EQ(TmTcText(df), "00:01:00:02.0000");
  EXPECT_EQ(TmTcToSamples(df, 48000, 3), frame1800);
  // Ten minutes of drop-frame are 17982 frames.
  EXPECT_EQ(TmSamplesToTc(TmTcToSamples({0, 10, 0, 0, 0}, 48000, 3), 48000, 3, false).Minutes, 10);
  // Hours wrap only when asked.
  EXPECT_EQ(TmSamplesToTc(int64_t{25} * 3600 * 48000, 48000, 1, true).Hours, 1);
  EXPECT_EQ(TmSamplesToTc(int64_t{25} * 3600 * 48000, 48000, 1, false).Hours, 25);
  // Text: clamped fields, the dropped frame numbers moved on, sub-frames
  // below one frame's samples.
  TmTimeCode t = TmTextToTc("30:75:01:40.99999", 48000, 1);
  EXPECT_EQ(TmTcText(t), "23:59:01:24.1919");
  EXPECT_EQ(TmTcText(TmTextToTc("0:01:00:00", 48000, 3)), "00:01:00:02.0000");
  EXPECT_EQ(TmTcText(TmTextToTc("0:10:00:00", 48000, 3)), "00:10:00:00.0000");

  TmBbt b = TmSamplesToBbt(48000 * 5, 48000, 12000, 4, 4, 0);  // 10 beats
  EXPECT_EQ(TmBbtText(b), "   2. 2.  0");
  EXPECT_EQ(TmBbtToSamples(b, 48000, 12000, 4, 4, 0), 240000);
  EXPECT_EQ(TmBbtToSamples({0, 0, 1}, 48000, 12000, 4, 4, 0), 25);  // a whole note of 2 s / 3840
  EXPECT_EQ(TmBbtToSamples({0, 0, 1}, 44100, 12000, 4, 4, 0), 23);  // 22.97, rounded up
  EXPECT_EQ(TmBbtText(TmTextToBbt("40000.9.2000", 4, 4, 0)), "32767. 4.959");
  EXPECT_EQ(TmReadHundredths("12.5"), 1250);
  EXPECT_EQ(TmReadHundredths("12.05"), 1205);
  EXPECT_EQ(TmReadHundredths("-3.1"), -310);
}

TEST(TimeModuleDsp, CrossfadeTableIsExact) {
  EXPECT_EQ(kXfadeTable[0], 427);
  EXPECT_EQ(kXfadeTable[109], 4194304);
  EXPECT_EQ(kXfadeTable[219], 8388608);
  for (int i = 1; i < kXfadeLen; ++i) EXPECT_LT(kXfadeTable[i - 1], kXfadeTable[i]);
}

TEST(TimeModuleDsp, SearchTiesAndFits) {
  // A flat signal ties everywhere: the largest tie below the preferred
  // offset wins, else the smallest at or above it.
  std::vector<int32_t> flat(400, 7);
  int32_t p = 50;
  EXPECT_EQ(TmSearch(flat.data(), flat.data(), 100, 10, 200, 5, &p), 0);
  EXPECT_EQ(p, 49);
  p = 5;
  TmSearch(flat.data(), flat.data(), 100, 10, 200, 5, &p);
  EXPECT_EQ(p, 10);
  // A period of 37 samples is found.
  std::vector<int32_t> saw(600);
  for (int i = 0; i < 600; ++i) saw[i] = (i % 37) * 1000;
  p = 30;
  EXPECT_EQ(TmSearch(saw.data(), saw.data(), 200, 20, 60, 5, &p), 0);
  EXPECT_EQ(p, 37);

  // Fitting: lengthening repeats the last samples after the crossfade,
  // shortening ends with the source's end.
  std::vector<int32_t> src(1000);
  for (int i = 0; i < 1000; ++i) src[i] = i * 100;
  std::vector<int32_t> out(1300, -1);
  TmFitPiece(src.data(), 1000, out.data(), 1300);
  EXPECT_EQ(out[1000 - 221], src[1000 - 221]);
  EXPECT_EQ(out[1299], src[999]);
  EXPECT_EQ(out[1000], src[700]);
  out.assign(1300, -1);
  TmFitPiece(src.data(), 1000, out.data(), 700);
  EXPECT_EQ(out[699], src[999]);
  EXPECT_EQ(out[479], src[479]);
  EXPECT_EQ(out[700], -1);
}

// ---- Whole runs ----

class TimeModuleRun : public ::testing::Test {
 protected:
  void SetUp() override { Fake() = FakeHostState(); }
  // A selected Part over a new Take of n samples; sample i from fn(i).
  template <typename F> uint32_t AddPart(int32_t n, uint32_t bits, uint32_t rate, F fn, int32_t offset = 0) {
    FakeTake t;
    t.bits = bits;
    t.rate = rate;
    t.name = "Src" + std::to_string(Fake().takes.size() + 1);
    for (int32_t i = 0; i < n + offset; ++i) t.words.push_back(fn(i - offset));
    Fake().takes.push_back(t);
    FakePart p;
    p.length = n;
    p.take = static_cast<uint32_t>(Fake().takes.size());
    p.offset = offset;
    p.name = "Part" + std::to_string(Fake().parts.size() + 1);
    Fake().parts.push_back(p);
    return static_cast<uint32_t>(Fake().parts.size());
  }
  int32_t Run(uint32_t mode, TestUi& ui, uint32_t noDialog = 0) {
    EOPHOSTFUNCS h = FakeTable();
    return TmProcess(mode, noDialog, &h, ui);
  }
  const FakeTake& NewTakeOf(uint32_t part) { return Fake().takes[Fake().parts[part - 1].take - 1]; }
};

int32_t Sine(int32_t i, double freq, uint32_t rate, int32_t amp) {
  return static_cast<int32_t>(amp * std::sin(2 * 3.14159265358979 * freq * i / rate));
}

TEST_F(TimeModuleRun, EveryNewTakeIsExactlyNSamples) {
  struct Case {
    uint32_t mode;
    int32_t L0;
    int32_t pct100;
    uint32_t bits;
  } cases[] = {
      {kEopTimeStretch, 5000, 15000, 24},  {kEopTimeStretch, 200000, 6700, 16},
      {kEopTimeStretch, 150001, 12500, 24}, {kEopTimeStretch, 3, 6700, 24},
      {kEopRateConvert, 4410, 10884, 24},  {kEopRateConvert, 130000, 9188, 16},
      {kEopRateConvert, 70000, 40000, 24}, {kEopRateConvert, 90000, 2500, 24},
      {kEopPitchShift, 6000, 15000, 24},   {kEopPitchShift, 140000, 6700, 24},
      {kEopPitchShift, 100000, 11225, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " L0 " << c.L0 << " pct " << c.pct100);
    SetUp();
    const int32_t amp = c.bits == 16 ? 20000 : 1 << 29;
    AddPart(c.L0, c.bits, 48000, [&](int32_t i) { return Sine(i, 440, 48000, amp); });
    TestUi ui;
    ui.answer = TmMulDiv(c.L0, c.pct100, 10000);
    ASSERT_EQ(Run(c.mode, ui), 1) << (ui.messages.empty() ? "" : ui.messages[0]);
    const int64_t N = (c.mode == kEopPitchShift ? c.L0 : ui.answer) + 1;
    const FakeTake& t = NewTakeOf(1);
    ASSERT_EQ(static_cast<int64_t>(t.words.size()), N);
    for (size_t i = 0; i < t.written.size(); ++i) ASSERT_EQ(t.written[i], 1) << "sample " << i;
    EXPECT_EQ(Fake().parts[0].length, c.mode == kEopPitchShift ? c.L0 : ui.answer);
    EXPECT_EQ(Fake().parts[0].offset, 0);
  }
}

TEST_F(TimeModuleRun, StretchKeepsThePitchAndPitchShiftKeepsTheLength) {
  auto crossings = [](const std::vector<int32_t>& v, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from + 1; i < to; ++i) n += (v[i - 1] < 0) != (v[i] < 0);
    return n;
  };
  const int32_t L0 = 96000;
  AddPart(L0, 24, 48000, [](int32_t i) { return Sine(i, 441, 48000, 1 << 28); });
  TestUi ui;
  ui.answer = 120000;
  ASSERT_EQ(Run(kEopTimeStretch, ui), 1);
  // Stretched to 125 %: the same frequency over the longer time.
  const double per = crossings(NewTakeOf(1).words, 0, 119000) / 119000.0;
  EXPECT_NEAR(per, 2 * 441 / 48000.0, 0.0005);

  SetUp();
  AddPart(L0, 24, 48000, [](int32_t i) { return Sine(i, 441, 48000, 1 << 28); });
  ui.answer = 120000;
  ASSERT_EQ(Run(kEopPitchShift, ui), 1);
  // Pitch up by 1.25 in the same length (the filter's edges aside).
  const double up = crossings(NewTakeOf(1).words, 2000, 90000) / 88000.0;
  EXPECT_NEAR(up, 1.25 * 2 * 441 / 48000.0, 0.0008);
}

TEST_F(TimeModuleRun, LinkedPartsGetTheSameCuts) {
  // Three channels: the second is the first negated, the third silent.
  const int32_t L0 = 50000;
  auto noise = [](int32_t i) { return static_cast<int32_t>((static_cast<uint32_t>(i) * 2654435761u) >> 4) - (1 << 27); };
  uint32_t a = AddPart(L0, 24, 48000, noise);
  uint32_t b = AddPart(L0, 24, 48000, [&](int32_t i) { return -noise(i); });
  uint32_t c = AddPart(L0, 24, 48000, [](int32_t) { return 0; });
  Fake().parts[a - 1].partner = b;
  Fake().parts[b - 1].partner = c;
  TestUi ui;
  ui.answer = 61000;
  ASSERT_EQ(Run(kEopTimeStretch, ui), 1);
  const auto& x = NewTakeOf(a).words;
  const auto& y = NewTakeOf(b).words;
  const auto& z = NewTakeOf(c).words;
  ASSERT_EQ(x.size(), 61001u);
  for (size_t i = 0; i < x.size(); ++i) {
    ASSERT_EQ(y[i], -x[i]) << i;
    ASSERT_EQ(z[i], 0) << i;
  }
  EXPECT_EQ(ui.oldNames, "Src1...Src3");
  EXPECT_EQ(ui.newNames, "New#4...New#6");
}

TEST_F(TimeModuleRun, PartChangesInOrder) {
  AddPart(10000, 24, 48000, [](int32_t i) { return i; }, 500);
  Fake().takes[0].stamp = EopTimeCode{1, 0, 0, 0, 0, 1};
  TestUi ui;
  ui.answer = 8000;
  ASSERT_EQ(Run(kEopTimeStretch, ui), 1);
  ASSERT_GE(Fake().log.size(), 3u);
  EXPECT_EQ(Fake().log[0], "create 2 length 8001");
  EXPECT_EQ(Fake().log[1], "part 1 length 8000");
  EXPECT_EQ(Fake().log[2], "part 1 take 2");
  // The new Take's stamp is the old one moved by the Part's offset.
  EXPECT_EQ(Fake().takes[1].stamp.Hours, 1);
  EXPECT_EQ(Fake().takes[1].stamp.SubFrames, 500);

  SetUp();
  AddPart(10000, 24, 48000, [](int32_t i) { return i; });
  ui.answer = 12000;
  ASSERT_EQ(Run(kEopTimeStretch, ui), 1);
  EXPECT_EQ(Fake().log[1], "part 1 take 2");
  EXPECT_EQ(Fake().log[2], "part 1 length 12000");
}

TEST_F(TimeModuleRun, RateConversionWithoutDialog) {
  AddPart(44100, 16, 44100, [](int32_t i) { return Sine(i, 1000, 44100, 10000); });
  TestUi ui;
  ASSERT_EQ(Run(kEopRateConvert, ui, 1), 1);
  const int32_t L1 = TmMulDiv(44100, 48000, 44100);
  EXPECT_EQ(NewTakeOf(1).words.size(), static_cast<size_t>(L1 + 1));
  EXPECT_EQ(NewTakeOf(1).rate, 48000u);
  EXPECT_EQ(Fake().parts[0].length, L1);
  // The converted tone keeps its level (16-bit words in and out).
  int32_t peak = 0;
  for (size_t i = 1000; i < 40000; ++i) peak = std::max(peak, std::abs(NewTakeOf(1).words[i]));
  EXPECT_NEAR(peak, 10000, 150);
}

TEST_F(TimeModuleRun, RefusalsChangeNothing) {
  // A selected Part outside the chain.
  AddPart(1000, 24, 48000, [](int32_t) { return 0; });
  AddPart(1000, 24, 48000, [](int32_t) { return 0; });
  TestUi ui;
  ui.answer = 1200;
  EXPECT_EQ(Run(kEopTimeStretch, ui), 0);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0], "Time Stretch: Too many parts selected!");
  EXPECT_TRUE(Fake().log.empty());

  // 33 linked Parts.
  SetUp();
  for (int i = 0; i < 33; ++i) AddPart(100, 24, 48000, [](int32_t) { return 0; });
  for (int i = 0; i < 32; ++i) Fake().parts[i].partner = i + 2;
  ui.messages.clear();
  EXPECT_EQ(Run(kEopPitchShift, ui), 0);
  EXPECT_EQ(ui.messages.at(0), "Pitch Shift: Too many parts selected!");

  SetUp();
  AddPart(1000, 24, 48000, [](int32_t) { return 0; });
  Fake().parts[0].timelocked = true;
  ui.messages.clear();
  EXPECT_EQ(Run(kEopRateConvert, ui), 0);
  EXPECT_EQ(ui.messages.at(0),
            "Samplerate Convert: Timelocked Part(s) cannot be moved in time, slipped or deleted!");
  EXPECT_TRUE(Fake().log.empty());

  // Cancel, and the same length: nothing to do.
  SetUp();
  AddPart(1000, 24, 48000, [](int32_t) { return 0; });
  ui.answer = 0;
  EXPECT_EQ(Run(kEopTimeStretch, ui), 0);
  ui.answer = 1000;
  EXPECT_EQ(Run(kEopTimeStretch, ui), 1);
  EXPECT_TRUE(Fake().log.empty());
  EXPECT_EQ(Run(7, ui), 0);
}

TEST_F(TimeModuleRun, FailuresAndAbort) {
  // A Part that stays on its old Take fails the run with the host's text.
  AddPart(5000, 24, 48000, [](int32_t) { return 0; });
  Fake().failSetItem2 = kEopBadTake;
  TestUi ui;
  ui.answer = 6000;
  EXPECT_EQ(Run(kEopTimeStretch, ui), 0);
  EXPECT_EQ(ui.messages.at(0), "Time Stretch: error -8");

  SetUp();
  AddPart(5000, 24, 48000, [](int32_t) { return 0; });
  Fake().failWriteAt = 0;
  ui.messages.clear();
  EXPECT_EQ(Run(kEopRateConvert, ui), 0);
  EXPECT_EQ(ui.messages.at(0), "Samplerate Convert: error -13");

  // Abort after the first block: the run ends there with 0.
  SetUp();
  AddPart(300000, 24, 48000, [](int32_t i) { return Sine(i, 100, 48000, 1 << 20); });
  TestUi abortUi;
  abortUi.answer = 330000;
  abortUi.abortAfter = 1;
  EXPECT_EQ(Run(kEopTimeStretch, abortUi), 0);
  EXPECT_EQ(abortUi.pumps, 1);
  EXPECT_TRUE(abortUi.messages.empty());
  EXPECT_EQ(NewTakeOf(1).written.back(), 0);
}

}  // namespace
