// Normalize and DC removal end to end: real Take files, the processing
// driver, the span lists, and the native engine's own jobs.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>

#include "edit_fixture.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/arrange/procengine.h"
#include "mixer/model/engineopts.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/timecode.h"
#include "mixer/model/undo.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "native/qvNatRec/takedisk.h"

namespace fs = std::filesystem;

namespace {

std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

const char* g_typedTarget = "0";

// The run dialogs without windows: the passes on the engine, the parameter
// dialog answered with the typed target.
int EngineRun(ProcDialog d, ProcList* list) {
  if (d == kProcNormParam) {
    list->ProcessGain = NormApplyTarget(g_typedTarget, list->Result);
    return kIdOk;
  }
  return ProcEngineRunPass(d, list);
}

class EngineProc : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("procengine_" + std::to_string(serial++) + "_" +
                                         std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = ModelPath(root_ / "proc") + "\\";
    ProcOpts().delUnRefATk = 40884;
    int32_t error = 0;
    NatLinkBind(NatDevStaticApi());
    ASSERT_EQ(NatLinkOpenAll(kPlayChannels, &kTakeDiskCallbacks, &error), 1) << error;
    ProcSetRunSeams({EngineRun, nullptr});
    g_typedTarget = "0";
  }
  void TearDown() override {
    ProcSetRunSeams({});
    NatLinkCloseAll();
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // A 16-bit Take of the given samples, and a selected Part playing all of it.
  uint32_t PartOver(const std::vector<int16_t>& v, uint32_t track = 0) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((ModelPath(root_ / "src") + "\\").c_str(), 2, static_cast<uint32_t>(v.size()), 0,
                                 48000, 0, 1, ("T" + std::to_string(track)).c_str(), "", nullptr, nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    EXPECT_EQ(TakeDataIo(t, 1, 0, static_cast<uint32_t>(v.size() * 2), const_cast<int16_t*>(v.data()), &error), 1);
    PartRec p = NewPart(0, static_cast<int32_t>(v.size()), TakeRef(t), kTakeAudio, kPartSelected);
    return Add(track, p);
  }
  std::vector<int16_t> Samples(uint32_t slot) {
    TakeRec* t = TakeFromRef(P(slot).Take);
    std::vector<int16_t> v(TakeGetAttr(t, kTakeAttrLength));
    uint32_t error = 0;
    EXPECT_EQ(TakeDataIo(t, 0, 0, static_cast<uint32_t>(v.size() * 2), v.data(), &error), 1);
    return v;
  }
  // Two Parts of one play channel on two tracks consolidated by the engine.
  void RenderTwoParts();
  fs::path root_;
};

std::vector<int16_t> Sine(size_t n, double amplitude, double offset = 0) {
  std::vector<int16_t> v(n);
  for (size_t i = 0; i < n; ++i)
    v[i] = static_cast<int16_t>(std::lround(offset + amplitude * std::sin(static_cast<double>(i) * 0.05)));
  return v;
}

TEST_F(EngineProc, NormalizeBringsThePeakToTheTarget) {
  struct Case {
    const char* typed;
    double expectDb;
  } cases[] = {{"0", 0.0}, {"-6", -6.0}, {"3", 0.0}};
  for (const Case& c : cases) {
    Reset();
    g_typedTarget = c.typed;
    const std::vector<int16_t> in = Sine(20000, 8000);
    const uint32_t slot = PartOver(in);
    ASSERT_EQ(ArrProcessAudioParts(kTestDc, 107, ProcNormalize), 1) << c.typed;
    EXPECT_TRUE(Host().boxes.empty());
    const std::vector<int16_t> out = Samples(slot);
    ASSERT_EQ(out.size(), in.size());
    int peak = 0;
    for (int16_t s : out) peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_NEAR(20 * std::log10(peak / 32766.0), c.expectDb, 0.01) << c.typed;
    // Every sample scaled by the same gain.
    const double gain = static_cast<double>(peak) / 8000;
    for (size_t i = 0; i < in.size(); i += 97) EXPECT_NEAR(out[i], in[i] * gain, 2.0) << i;  // truncated twice
  }
}

TEST_F(EngineProc, NormalizeRefusesFullAndOverloadedParts) {
  struct Case {
    int16_t peak;
    uint32_t message;
  } cases[] = {{32767, 248}, {32762, 249}, {100, 250}};
  for (const Case& c : cases) {
    Reset();
    KeepSel = 1;  // a refused run sets the selection to KeepSel
    std::vector<int16_t> in(5000, 0);
    in[1234] = c.peak;
    const uint32_t slot = PartOver(in);
    const std::vector<uint8_t> before = Image();
    EXPECT_EQ(ArrProcessAudioParts(kTestDc, 107, ProcNormalize), 0);
    EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{c.message})) << c.peak;
    EXPECT_EQ(Image(), before);
    EXPECT_TRUE(fs::is_empty(root_ / "proc"));
    EXPECT_NE(TakeFromRef(P(slot).Take), nullptr);
  }
}

TEST_F(EngineProc, DcRemovalTakesOutAKnownOffset) {
  const std::vector<int16_t> in = Sine(48000, 6000, 3000.0);
  const uint32_t slot = PartOver(in);
  ASSERT_EQ(ArrProcessAudioParts(kTestDc, 108, ProcRemoveDc), 1);
  const std::vector<int16_t> out = Samples(slot);
  ASSERT_EQ(out.size(), in.size());
  // Over the second half (the filter has settled) the mean is gone and the
  // signal is kept.
  double mean = 0, inPeak = 0, outPeak = 0;
  for (size_t i = 24000; i < out.size(); ++i) {
    mean += out[i];
    outPeak = std::max(outPeak, std::abs(static_cast<double>(out[i])));
    inPeak = std::max(inPeak, std::abs(in[i] - 3000.0));
  }
  mean /= 24000;
  EXPECT_LT(std::abs(mean), 30.0);
  EXPECT_NEAR(outPeak, inPeak, inPeak * 0.05);
}

}  // namespace

namespace {

int g_windowCalls = 0;
std::vector<int32_t> g_holdsMet;

// Lists whose window covers 2500 samples more at each compile, the first
// one ending so that the render holds at 3000: holds at 3000 and 5500, then
// the channel's end (8000) is in reach.
int64_t GrowingWindow(int32_t) {
  const int64_t end = int64_t{AudBufSize()} + 32 + 3000 + 2500 * int64_t{g_windowCalls++};
  g_holdsMet.push_back(static_cast<int32_t>(NatLinkGetCloc()));
  return end;
}
// A window that never moves on: the render cannot go past its hold.
int64_t StuckWindow(int32_t) { return int64_t{AudBufSize()} + 32 + 3000; }

}  // namespace

// A pass held by the engine is neither idle nor at its end: the position
// the run dialog shows is where the engine stands.
TEST_F(EngineProc, APassInProgressReportsWhereTheEngineStands) {
  const uint32_t slot = PartOver(Sine(60000, 3000), 0);
  ProcList list{};
  list.Mode = 1;
  list.PlayGain = list.ProcessGain = 32768;
  ASSERT_EQ(ProcListAdd(&list, P(slot).Take, 0, 60000), 1);
  list.Span[0].NewTake = P(PartOver(std::vector<int16_t>(60000), 1)).Take;
  int32_t track = 0;
  NatDevice* dev = NatLinkDevice(1, &track);
  ASSERT_NE(dev, nullptr);
  Nat1SetAsyncHoldLoc(dev, 20000);
  ASSERT_EQ(ProcEngineStartPass(kProcNormProcess, &list), 60000);
  for (int i = 0; i < 2000 && Nat1GetCloc(dev) < 20000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(ProcEngineIdle(), 0);
  EXPECT_EQ(ProcEnginePosition(), 20000);
  Nat1SetAsyncHoldLoc(dev, EndOfTime);
  NatXWaitUntilIdle(dev);
  EXPECT_EQ(ProcEngineIdle(), 1);
  EXPECT_EQ(ProcEnginePosition(), 60000);
}

// The hold position: a buffer and 32 samples before the list's window end,
// never below 0; no list or a window past the time line: no hold.
TEST(ConsHold, HoldPositionFromTheWindowEnd) {
  struct Case {
    int64_t windowEnd;
    int32_t buf;
    int32_t hold;
  } cases[] = {
      {-1, 262144, EndOfTime},          {262144 + 32 + 5000, 262144, 5000}, {131072 + 32, 131072, 0},
      {1000, 262144, 0},                {int64_t{kPlayListEnd}, 262144, int32_t{kPlayListEnd} - 262144 - 32},
      {int64_t{EndOfTime} + 262176, 262144, EndOfTime},
  };
  for (const Case& c : cases) EXPECT_EQ(ConsHoldPosition(c.windowEnd, c.buf), c.hold) << c.windowEnd;
}

namespace {

// Consolidation rendered by the engine's render job: each channel's Take
// holds its Parts' samples at their places on the time line, silence in
// the gaps; the same when the lists' windows end inside the channel and
// the render pauses at each hold position to have its list compiled again.
TEST_F(EngineProc, ConsolidationRendersEachChannelIntoItsTake) {
  for (const bool windowed : {false, true}) {
    SCOPED_TRACE(windowed ? "windowed" : "whole time line");
    if (windowed) {
      Reset();
      g_windowCalls = 0;
      g_holdsMet.clear();
      ProcEngineSetWindowEndSource(GrowingWindow);
    }
    RenderTwoParts();
    if (windowed) {
      // The first compile before the render, one at each hold.
      EXPECT_EQ(g_windowCalls, 3);
      ASSERT_EQ(g_holdsMet.size(), 3u);
      EXPECT_EQ(g_holdsMet[1], 3000);
      EXPECT_EQ(g_holdsMet[2], 5500);
    }
    ProcEngineSetWindowEndSource(nullptr);
  }
}

// A window that does not move on ends the run instead of holding it for
// ever; the consolidation is then undone.
TEST_F(EngineProc, ConsolidationStopsWhenTheWindowDoesNotMoveOn) {
  ConsSetRenderer(ProcEngineRenderAll);
  KeepSel = 1;
  const uint32_t pa = PartOver(Sine(3000, 5000), 0);
  P(pa).Start = 1000;
  P(pa).PlayChannel = 1;
  P(pa).Flags |= kPartSelected;
  const uint32_t take = P(pa).Take;
  ProcEngineSetWindowEndSource(StuckWindow);
  EXPECT_EQ(ArrConsolidate(kTestDc), 0);
  ProcEngineSetWindowEndSource(nullptr);
  EXPECT_EQ(P(pa).Take, take);
  EXPECT_EQ(UndoGetLevel(), 0u);
  ConsSetRenderer(nullptr);
}

void EngineProc::RenderTwoParts() {
  ConsSetRenderer(ProcEngineRenderAll);
  KeepSel = 1;
  ProcOpts().rec24Bit = 0;
  const std::vector<int16_t> a = Sine(3000, 5000), b = Sine(2000, 7000);
  const uint32_t pa = PartOver(a, 0);
  const uint32_t pb = PartOver(b, 1);
  P(pa).Start = 1000;
  P(pa).PlayChannel = 1;
  P(pb).Start = 6000;
  P(pb).PlayChannel = 1;
  // One channel over two tracks.
  ArrRelinkOverlaps(CurArr);
  ASSERT_EQ(ArrConsolidate(kTestDc), 1) << ::testing::PrintToString(BoxIds());
  ASSERT_EQ(P(pa).Take, P(pb).Take);
  const std::vector<int16_t> out = Samples(pa);
  ASSERT_EQ(out.size(), 7000u);  // 1000 .. 8000
  // The play lists fade each Part's last samples into the silence after it.
  for (size_t i = 0; i + 64 < a.size(); i += 53) EXPECT_EQ(out[i], a[i]) << i;
  for (size_t i = 0; i + 64 < b.size(); i += 53) EXPECT_EQ(out[5000 + i], b[i]) << i;
  for (size_t i = 3000; i < 5000; i += 101) EXPECT_EQ(out[i], 0) << i;
  EXPECT_EQ(P(pb).Offset, 5000);
  ConsSetRenderer(nullptr);
}

// The gate over the engine's scan: a Part of silence, a loud stretch and
// silence again keeps only the loud stretch in remove mode.
TEST_F(EngineProc, NoiseGateKeepsWhereTheEngineFoundSignal) {
  GateSetScanner(ProcEngineGateScan);
  KeepSel = 1;
  std::vector<int16_t> in(48000, 0);
  for (size_t i = 12000; i < 24000; ++i) in[i] = static_cast<int16_t>(i % 2 ? 20000 : -20000);
  const uint32_t slot = PartOver(in);
  P(slot).PlayChannel = 1;
  NoiseGateSettings& s = NoiseGateCurrent();
  NoiseGateDefaults(&s);
  s.PreTrigger = 0;
  ASSERT_EQ(ArrNoiseGate(kTestDc), 1);
  const auto spans = Spans(0);
  ASSERT_EQ(spans.size(), 1u);
  EXPECT_EQ(spans[0].first, 12000);
  // Hold (20 ms) closes the gate that long after the signal ends.
  EXPECT_NEAR(spans[0].second, 12000, 960 + 1);
  GateSetScanner(nullptr);
}

}  // namespace
