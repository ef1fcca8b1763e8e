// The off-line jobs on channel 0: normalise scan and processing, DC removal,
// render (with hold and resume) and the noise-gate scan, and a two-Take
// crossfade rendered from segment lists against a reference built from the
// gains alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "native/qvNatRec/fade.h"
#include "native/qvNatRec/recorder.h"
#include "native/qvNatRec/tests/natrec_support.h"

namespace {

class Jobs : public ::testing::Test {
 protected:
  void SetUp() override {
    DiskReset();
    rec = OpenRecorder(0, &kFakeDiskCallbacks);
    ASSERT_NE(rec, nullptr);
  }
  void TearDown() override { CloseRecorder(rec); }
  // Plays Take `take` on channel 0 and records into Take `dest` at the same
  // positions, as the span lists of the processing dialogs do.
  void SpanLists(int32_t take, int32_t dest, int64_t length) {
    const RecSeg play[] = {DiskSeg(0, take, 0), DiskSeg(length, 0, 0, true)};
    const RecSeg record[] = {DiskSeg(0, dest, 0), DiskSeg(length, 0, 0, true)};
    ASSERT_EQ(RecorderSetDisk0List(rec, 0, 2, play), 1);
    ASSERT_EQ(RecorderSetDiskRList(rec, 0, 2, record), 1);
  }
  const std::vector<int32_t>& TakeData(int32_t take) { return Disk().takes[take]; }

  VirtualClock clock;
  Recorder* rec = nullptr;
};

int32_t Wave(uint32_t i) { return static_cast<int32_t>((i % 200) * 0x00400000) - 0x20000000; }

TEST_F(Jobs, NormaliseScansThenProcesses) {
  const uint32_t n = 100000;
  DiskMakeTake(1, n, [](uint32_t i) { return i == 70000 ? -0x40000000 : Wave(i); });
  DiskMakeTake(2, n, [](uint32_t) { return 7; });
  SpanLists(1, 2, n);
  ASSERT_EQ(RecorderNORMProcess(rec, 0, n, 32768, 1), 1);  // measure only
  ASSERT_TRUE(WaitIdleFor(rec));
  EXPECT_EQ(RecorderGetMaxPeak(rec), 0x4000);  // 16-bit scale
  EXPECT_EQ(RecorderGetCloc(rec), n);          // the progress stays at the end
  EXPECT_EQ(TakeData(2)[500], 7);              // nothing written

  ASSERT_EQ(RecorderNORMProcess(rec, 0, n, 49152, 0), 1);  // x 1.5, written
  ASSERT_TRUE(WaitIdleFor(rec));
  EXPECT_EQ(RecorderGetMaxPeak(rec), 0x6000);
  for (uint32_t i : {0u, 123u, 69999u, 70000u, n - 1})
    EXPECT_EQ(TakeData(2)[i], static_cast<int32_t>(int64_t{TakeData(1)[i]} * 49152 / 32768)) << i;
}

TEST_F(Jobs, DcRemovalTakesOutAConstantOffset) {
  const uint32_t n = 200000;
  DiskMakeTake(1, n, [](uint32_t i) { return 0x10000000 + (i % 2 ? 0x01000000 : -0x01000000); });
  DiskMakeTake(2, n, [](uint32_t) { return 0; });
  SpanLists(1, 2, n);
  ASSERT_EQ(RecorderREMDCProcess(rec, 0, n, 32768, 0), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  int64_t sum = 0;
  for (uint32_t i = n - 1000; i < n; ++i) sum += TakeData(2)[i];
  EXPECT_LT(std::abs(sum / 1000), 0x10000);  // the offset 0x10000000 is gone
  EXPECT_NEAR(std::abs(TakeData(2)[n - 1]), 0x01000000, 0x20000);  // the signal stays
  // Peak on a 32 times finer scale than 16 bits: about 0x01000000 >> 11.
  EXPECT_NEAR(RecorderGetMaxPeak(rec) >> 5, 0x0100 * 2, 0x40);
}

TEST_F(Jobs, RenderHoldsAndResumes) {
  const uint32_t n = 120000;
  DiskMakeTake(1, n, [](uint32_t i) { return static_cast<int32_t>(i * 512); });
  DiskMakeTake(3, n, [](uint32_t) { return 0; });
  const RecSeg play[] = {DiskSeg(0, 1, 0), DiskSeg(n, 0, 0, true)};
  ASSERT_EQ(RecorderSetDisk0List(rec, 0, 2, play), 1);
  const RecSeg dest[] = {DiskSeg(0, 3, 0), DiskSeg(n, 0, 0, true)};
  ASSERT_EQ(RecorderSetDiskRList(rec, 1, 2, dest), 1);  // named on engine track 2
  ASSERT_EQ(RecorderSetAsyncHoldLoc(rec, 50000), 1);
  ASSERT_EQ(RecorderRenderProcess(rec, 0, n), 1);
  const auto began = std::chrono::steady_clock::now();
  while (RecorderGetCloc(rec) < 50000 && std::chrono::steady_clock::now() - began < std::chrono::seconds(10))
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  EXPECT_EQ(RecorderGetCloc(rec), 50000);
  EXPECT_EQ(RecorderGetStatus(rec), kRecJobRender);
  // While the render is prepared only engine track 2's record list is taken.
  EXPECT_EQ(RecorderSetDiskRList(rec, 0, 2, dest), 0);
  EXPECT_EQ(RecorderSetDiskRList(rec, 1, 2, dest), 1);
  // Engine track 1's play list sent again at the hold: its record lane,
  // which records nothing, leaves the destination alone.
  const RecSeg none[] = {DiskSeg(0, 0, 0, true)};
  EXPECT_EQ(RecorderSetDiskRList(rec, 0, 1, none), 1);
  EXPECT_EQ(RecorderSetDisk0List(rec, 0, 2, play), 1);
  ASSERT_EQ(RecorderSetAsyncHoldLoc(rec, INT64_MAX), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  EXPECT_EQ(RecorderGetCloc(rec), n);
  EXPECT_EQ(TakeData(3), TakeData(1));
}

TEST_F(Jobs, StopAbandonsAJob) {
  const uint32_t n = 100000;
  DiskMakeTake(1, n, Wave);
  SpanLists(1, 0, n);
  ASSERT_EQ(RecorderSetAsyncHoldLoc(rec, 20000), 1);
  ASSERT_EQ(RecorderNORMProcess(rec, 0, n, 32768, 1), 1);
  EXPECT_EQ(RecorderStop(rec), 1);
  EXPECT_TRUE(WaitIdleFor(rec));
  EXPECT_LE(RecorderGetCloc(rec), 20000);
}

TEST_F(Jobs, EmptyRangeFinishesWithoutProcessing) {
  DiskMakeTake(1, 1000, [](uint32_t) { return 0x40000000; });
  SpanLists(1, 0, 1000);
  ASSERT_EQ(RecorderNORMProcess(rec, 500, 500, 32768, 1), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  EXPECT_EQ(RecorderGetMaxPeak(rec), 0);
  EXPECT_EQ(RecorderGetCloc(rec), 500);
}

TEST_F(Jobs, NoiseGateListsTheOpenStretches) {
  const uint32_t n = 8000;
  auto loud = [](uint32_t i) { return (i >= 1000 && i < 2000) || (i >= 5000 && i < 5100) || i == 2050; };
  DiskMakeTake(1, n, [&](uint32_t i) { return loud(i) ? 0x30000000 : 0x00100000; });
  SpanLists(1, 0, n);
  // On at 0x2000 << 16, off below 0x1000 << 16, closing after 100 quiet samples.
  ASSERT_EQ(RecorderNoiseGateScan(rec, 0, n, 0x2000 << 16, 0x1000 << 16, 100), 1);
  int32_t count = 0;
  const RecGateOn* list = RecorderGetNoiseGateOnList(rec, &count);  // waits until idle
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(list[0].start, 1000);
  EXPECT_EQ(list[0].end, 2051);  // the lone loud sample at 2050 keeps it open
  EXPECT_EQ(list[1].start, 5000);
  EXPECT_EQ(list[1].end, 5100);
}

// Part A (Take 1) from 0 to 10000 crossfades over 32 samples into Part B
// (Take 2, at half level) from 9968. The render of the two layers must equal,
// sample for sample, each Take times its gain, truncated, summed.
TEST_F(Jobs, RendersATwoTakeCrossfadeExactly) {
  const int64_t xf = 9968, aEnd = 10000, bEnd = 20000;
  DiskMakeTake(1, 20000, [](uint32_t i) { return static_cast<int32_t>(i * 0x10001u) - 0x3000000; });
  DiskMakeTake(2, 20000, [](uint32_t i) { return 0x50000000 - static_cast<int32_t>(i * 0x12345u); });
  DiskMakeTake(3, 20000, [](uint32_t) { return 0; });
  const RecSeg d0[] = {DiskSeg(0, 1, 0), DiskSeg(aEnd, 0, 0, true)};
  const RecSeg f0[] = {FadeSeg(0, kFadeUnity, 0, 0), FadeSeg(xf, kFadeRampOut, kUnity, 0),
                       FadeSeg(aEnd, 0, 0, 0, true)};
  const RecSeg d1[] = {DiskSeg(0, 0, 0), DiskSeg(xf, 2, 0), DiskSeg(bEnd, 0, 0, true)};
  const RecSeg f1[] = {FadeSeg(0, kFadeUnity, 0, 0), FadeSeg(xf, kFadeRampIn, 0, -0x400000),
                       FadeSeg(aEnd, kFadeLevel, -0x400000, 0), FadeSeg(bEnd, 0, 0, 0, true)};
  ASSERT_EQ(RecorderSetDisk0List(rec, 0, 2, d0), 1);
  ASSERT_EQ(RecorderSetFade0List(rec, 0, 3, f0), 1);
  ASSERT_EQ(RecorderSetDisk1List(rec, 0, 3, d1), 1);
  ASSERT_EQ(RecorderSetFade1List(rec, 0, 4, f1), 1);
  const RecSeg dest[] = {DiskSeg(0, 3, 0), DiskSeg(bEnd, 0, 0, true)};
  ASSERT_EQ(RecorderSetDiskRList(rec, 1, 2, dest), 1);
  ASSERT_EQ(RecorderRenderProcess(rec, 0, bEnd), 1);
  ASSERT_TRUE(WaitIdleFor(rec));

  // Part A's gain in 1/32768 (the ramp-out entries), Part B's in 1/65536
  // (half level: the ramp-in entries, then 32768).
  const std::vector<int32_t>& a = TakeData(1);
  const std::vector<int32_t>& b = TakeData(2);
  for (int64_t t = 0; t < bEnd; ++t) {
    const int64_t gainA = t < xf ? 32768 : t < aEnd ? kFadeRampTable[t - xf] : 0;
    const int64_t gainB = t < xf ? 0 : t < aEnd ? kFadeRampTable[32 + t - xf] : 32768;
    const int64_t fromB = t < xf ? 0 : int64_t{b[t - xf]};  // Part B plays Take 2 from its start
    const int64_t sum = int64_t{a[t]} * gainA / 32768 + fromB * gainB / 65536;
    ASSERT_EQ(TakeData(3)[t], std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX))
        << t;
  }
}

}  // namespace
