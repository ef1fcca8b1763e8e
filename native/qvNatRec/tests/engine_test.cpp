// The recorder driven as the native device layer drives it, with a stream
// client in place of a native track insert and an in-memory disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "native/qvNatRec/fade.h"
#include "native/qvNatRec/natplat.h"
#include "native/qvNatRec/recorder.h"
#include "native/qvNatRec/ringclient.h"
#include "native/qvNatRec/tests/natrec_support.h"

namespace {

constexpr int64_t kEnd = INT64_MAX;

int32_t Ramp(uint32_t i) { return static_cast<int32_t>(i * 256u); }

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    DiskReset();
    rec = OpenRecorder(7, &kFakeDiskCallbacks);
    ASSERT_NE(rec, nullptr);
    ASSERT_EQ(RecorderSetPlayRecEndLoc(rec, kEnd), 1);
  }
  void TearDown() override {
    clients.clear();
    EXPECT_EQ(CloseRecorder(rec), 1);
  }
  RingClient& Attach(int32_t track) {
    clients.push_back(std::make_unique<RingClient>(rec, track));
    EXPECT_TRUE(clients.back()->attached());
    return *clients.back();
  }
  void SetLists(int32_t track, const std::vector<RecSeg>& d0, const std::vector<RecSeg>& f0,
                const std::vector<RecSeg>& d1 = {}, const std::vector<RecSeg>& f1 = {}) {
    EXPECT_EQ(RecorderSetDisk0List(rec, track, static_cast<int32_t>(d0.size()), d0.data()), 1);
    EXPECT_EQ(RecorderSetFade0List(rec, track, static_cast<int32_t>(f0.size()), f0.data()), 1);
    EXPECT_EQ(RecorderSetDisk1List(rec, track, static_cast<int32_t>(d1.size()), d1.data()), 1);
    EXPECT_EQ(RecorderSetFade1List(rec, track, static_cast<int32_t>(f1.size()), f1.data()), 1);
  }
  void PrepareAndStart(int64_t at) {
    EXPECT_EQ(RecorderPrepAudPlayBufs(rec, at), 1);
    EXPECT_TRUE(WaitIdleFor(rec));
    EXPECT_EQ(RecorderStartPlayRec(rec), 1);
  }

  VirtualClock clock;
  Recorder* rec = nullptr;
  std::vector<std::unique_ptr<RingClient>> clients;
};

TEST_F(Engine, StatesThroughPrepareStartAndStop) {
  EXPECT_EQ(RecorderGetStatus(rec), kRecIdle);
  EXPECT_EQ(RecorderStop(rec), 1);  // idle: nothing to do
  EXPECT_EQ(RecorderStartPlayRec(rec), 1);
  EXPECT_EQ(RecorderGetStatus(rec), kRecIdle);  // no client: not started
  EXPECT_EQ(RecorderGetAudioBufMinimum(rec), 0x7FFFFFFF);

  RingClient& client = Attach(0);
  DiskMakeTake(1, 100000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderPrepAudPlayBufs(rec, 0), 1);
  const int32_t prepared = RecorderGetStatus(rec);
  EXPECT_TRUE(prepared == kRecPrepared || prepared == kRecIdle);
  EXPECT_EQ(RecorderWaitUntilIdle(rec), 0);
  int64_t back = -1, fill = -1;
  RecorderLayerSpan(rec, 0, 0, &back, &fill);
  EXPECT_EQ(fill - back, kRecRingSamples - 2 * 16384);  // the prefill filled the window

  EXPECT_EQ(RecorderStartPlayRec(rec), 1);
  EXPECT_EQ(RecorderGetStatus(rec), kRecPlaying);
  EXPECT_EQ(PlayFor(client, 1000, nullptr), 1000u);
  const int32_t reserve = RecorderGetAudioBufMinimum(rec);
  EXPECT_GT(reserve, 0);
  EXPECT_LT(reserve, 0x7FFFFFFF);
  EXPECT_EQ(RecorderGetCloc(rec), 1000);

  std::atomic<bool> going{true};
  std::atomic<int> rounds{0};
  std::thread stream([&] {
    while (going) {
      ++rounds;
      if (client.Advance(256, nullptr, nullptr) == 0) std::this_thread::yield();
    }
  });
  // The stream runs before the stop: a thread not yet scheduled is no answer.
  while (rounds < 10) std::this_thread::yield();
  const uint32_t began = VirtualClock::Now();
  EXPECT_EQ(RecorderStop(rec), 1);
  EXPECT_LT(VirtualClock::Now() - began, 1000u);  // answered, not timed out
  EXPECT_TRUE(client.IsStopped());
  EXPECT_TRUE(WaitIdleFor(rec));
  going = false;
  stream.join();
}

TEST_F(Engine, SilentClientIsHaltedAfterASecond) {
  RingClient& client = Attach(0);
  client.SetSilent(true);
  PrepareAndStart(0);
  const uint32_t began = VirtualClock::Now();
  EXPECT_EQ(RecorderStop(rec), 1);
  const uint32_t waited = VirtualClock::Now() - began;
  EXPECT_GT(waited, 1000u);
  EXPECT_LT(waited, 1100u);
  EXPECT_TRUE(client.IsStopped());
  EXPECT_TRUE(WaitIdleFor(rec));
}

// The client's layer sum clips to 32 bits exactly like a 64-bit sum would.
TEST(RingClientSum, ClipsLikeAWideSum) {
  const int32_t values[] = {0, 1, -1, 0x40000000, -0x40000000, INT32_MAX, INT32_MIN,
                            INT32_MAX - 5, INT32_MIN + 5, 0x12345600, -0x7FFFFF00};
  for (int32_t a : values)
    for (int32_t b : values) {
      const int64_t wide = std::clamp<int64_t>(int64_t{a} + b, INT32_MIN, INT32_MAX);
      EXPECT_EQ(RingLayerSum(static_cast<uint32_t>(a), static_cast<uint32_t>(b)), wide) << a << " + " << b;
    }
}

// The run form (four words per step and a tail) gives the same words for
// every pair of the table, wherever a run starts and however long it is.
TEST(RingClientSum, RunsClipLikeTheWordSum) {
  const int32_t values[] = {0, 1, -1, 0x40000000, -0x40000000, INT32_MAX, INT32_MIN,
                            INT32_MAX - 5, INT32_MIN + 5, 0x12345600, -0x7FFFFF00};
  std::vector<uint32_t> a, b;
  for (int32_t x : values)
    for (int32_t y : values) {
      a.push_back(static_cast<uint32_t>(x));
      b.push_back(static_cast<uint32_t>(y));
    }
  for (uint32_t from : {0u, 1u, 3u})
    for (uint32_t n : {0u, 3u, 4u, 7u, static_cast<uint32_t>(a.size()) - 3}) {
      std::vector<int32_t> out(n + 1, 0x5A5A5A5A);
      RingLayerSumRun(a.data() + from, b.data() + from, out.data(), n);
      for (uint32_t i = 0; i < n; ++i)
        ASSERT_EQ(out[i], RingLayerSum(a[from + i], b[from + i])) << from << " " << i;
      EXPECT_EQ(out[n], 0x5A5A5A5A) << "wrote past the run";
    }
}

TEST_F(Engine, PlaysBothLayersFadedAndSummed) {
  RingClient& client = Attach(3);
  DiskMakeTake(1, 60000, Ramp);
  DiskMakeTake(2, 60000, [](uint32_t) { return 0x10000000; });
  // Layer 0: Take 1 from source 1000 at location 500, silence before.
  // Layer 1: Take 2 at half level from 0, ending at 20000.
  SetLists(3, {DiskSeg(0, 0, 0), DiskSeg(500, 1, 1000), DiskSeg(50000, 0, 0, true)}, {},
           {DiskSeg(0, 2, 0), DiskSeg(20000, 0, 0, true)},
           {FadeSeg(0, kFadeLevel, -0x400000, 0), FadeSeg(20000, 0, 0, 0, true)});
  PrepareAndStart(0);
  std::vector<int32_t> out(40000);
  ASSERT_EQ(PlayFor(client, 40000, out.data()), 40000u);
  for (uint32_t t = 0; t < 40000; ++t) {
    const int32_t l0 = t < 500 ? 0 : Ramp(t - 500 + 1000);
    const int32_t l1 = t < 20000 ? 0x08000000 : 0;
    ASSERT_EQ(out[t], l0 + l1) << t;
  }
}

// Layer 0 plays audio for more than a ring, then silence for more than a
// ring, then audio again; layer 1 plays audio across the first change only.
// The silence must reach the client over the stale audio still in the ring,
// whether it reads the rings through the silent marks or directly, and a
// mark may only ever stand over zero words.
TEST_F(Engine, SilenceAfterAudioIsZeroInTheRingAndMarked) {
  RingClient& client = Attach(4);
  constexpr uint32_t kLength = 800000;
  DiskMakeTake(1, kLength, Ramp);
  DiskMakeTake(2, kLength, [](uint32_t i) { return static_cast<int32_t>(i % 777) - 300; });
  SetLists(4, {DiskSeg(0, 1, 0), DiskSeg(300000, 0, 0), DiskSeg(600000, 1, 600000)}, {},
           {DiskSeg(0, 0, 0), DiskSeg(250000, 2, 250000), DiskSeg(350000, 0, 0)}, {});
  PrepareAndStart(0);
  auto expect = [](uint32_t t) {
    const int32_t l0 = t < 300000 || t >= 600000 ? Ramp(t) : 0;
    const int32_t l1 = t >= 250000 && t < 350000 ? static_cast<int32_t>(t % 777) - 300 : 0;
    return l0 + l1;
  };
  std::vector<int32_t> out(kLength);
  ASSERT_EQ(PlayFor(client, 560000, out.data()), 560000u);
  // The fill stands still once it is a ring ahead; then every mark is checked.
  int64_t last[2] = {-1, -1};
  for (int stable = 0, polls = 0; stable < 3 && polls < 500; ++polls) {
    int64_t fill[2] = {0, 0};
    for (int32_t layer = 0; layer < 2; ++layer) RecorderLayerSpan(rec, 4, layer, nullptr, &fill[layer]);
    stable = fill[0] == last[0] && fill[1] == last[1] ? stable + 1 : 0;
    last[0] = fill[0];
    last[1] = fill[1];
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  RecorderChannelView view{};
  const SilentMarks* marks[2] = {nullptr, nullptr};
  ASSERT_EQ(RecorderGetChannelView(rec, 4, &view), 1);
  ASSERT_EQ(RecorderGetSilentMarks(rec, 4, marks), 1);
  uint32_t marked[2] = {0, 0};
  for (int32_t layer = 0; layer < 2; ++layer)
    for (uint32_t c = 0; c < kRecRingSamples / kSilentChunk; ++c) {
      if (!SilentChunk(*marks[layer], c)) continue;
      ++marked[layer];
      for (uint32_t i = c * kSilentChunk; i < (c + 1) * kSilentChunk; ++i)
        ASSERT_EQ(view.play[layer][i], 0u) << "layer " << layer << " chunk " << c;
    }
  // Locations 560000..600000 of layer 0 are silence in the ring now, over the
  // audio of 298144..338144; layer 1 holds nothing but silence past 350000.
  EXPECT_GE(marked[0], (600000u - 560000u) / kSilentChunk - 1);
  EXPECT_GE(marked[1], (kRecRingSamples - 100000u) / kSilentChunk - 1);
  for (uint32_t t = 560000; t < 600000; ++t) ASSERT_EQ(view.play[0][RecRingIndex(t)], 0u) << t;

  ASSERT_EQ(PlayFor(client, kLength - 560000, out.data() + 560000), kLength - 560000);
  for (uint32_t t = 0; t < kLength; ++t) ASSERT_EQ(out[t], expect(t)) << t;
}

TEST_F(Engine, EndStopsTheStreamAndTheWorkers) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 100000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderSetPlayRecEndLoc(rec, 30000), 1);
  PrepareAndStart(0);
  EXPECT_EQ(PlayFor(client, 50000, nullptr), 30000u);
  EXPECT_TRUE(client.IsStopped());
  EXPECT_TRUE(WaitIdleFor(rec));
}

TEST_F(Engine, LoopUnfoldsTheClock) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 100000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderSetSeamlessLoopParams(rec, 1, 1000, 5000, 100000), 1);
  PrepareAndStart(0);
  std::vector<int32_t> out(12000);
  ASSERT_EQ(PlayFor(client, 12000, out.data()), 12000u);
  for (uint32_t e = 0; e < 12000; ++e) {
    const uint32_t t = e < 5000 ? e : 1000 + (e - 5000) % 4000;
    ASSERT_EQ(out[e], Ramp(t)) << e;
  }
  EXPECT_EQ(RecorderGetExpandedCloc(rec), 12000);
  EXPECT_EQ(RecorderGetCloc(rec), 1000 + (12000 - 5000) % 4000);
}

TEST_F(Engine, LoopStartAtLoopEndDisablesTheLoop) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 100000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderSetSeamlessLoopParams(rec, 1, 3000, 3000, 100000), 1);
  PrepareAndStart(0);
  std::vector<int32_t> out(6000);
  ASSERT_EQ(PlayFor(client, 6000, out.data()), 6000u);
  EXPECT_EQ(out[5000], Ramp(5000));
  EXPECT_EQ(RecorderGetCloc(rec), 6000);
}

TEST_F(Engine, NewListRefillsBeyondTheWindowOnly) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 400000, Ramp);
  DiskMakeTake(2, 400000, [](uint32_t i) { return -Ramp(i); });
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  PrepareAndStart(0);
  ASSERT_EQ(PlayFor(client, 10000, nullptr), 10000u);
  const RecSeg fresh[] = {DiskSeg(0, 2, 0)};
  ASSERT_EQ(RecorderSetDisk0List(rec, 0, 1, fresh), 1);
  std::vector<int32_t> out(200000);
  ASSERT_EQ(PlayFor(client, 200000, out.data()), 200000u);
  const uint32_t kept = 193986;  // samples past the play head that stay
  EXPECT_EQ(out[kept - 1], Ramp(10000 + kept - 1));
  EXPECT_EQ(out[kept], -Ramp(10000 + kept));
}

TEST_F(Engine, RecordsThroughTheRecordList) {
  RingClient& client = Attach(2);
  DiskMakeTake(9, 40000, [](uint32_t) { return 0; });
  // Recorded from 1000 to 21000 into Take 9 from its sample 500.
  const RecSeg record[] = {DiskSeg(0, 0, 0), DiskSeg(1000, 9, 500), DiskSeg(21000, 0, 0, true)};
  ASSERT_EQ(RecorderSetDiskRList(rec, 2, 3, record), 1);
  PrepareAndStart(0);
  std::vector<int32_t> in(30000);
  for (uint32_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>((i + 1) * 512);
  ASSERT_EQ(PlayFor(client, 30000, nullptr, in.data()), 30000u);
  EXPECT_EQ(RecorderStop(rec), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  std::vector<int64_t> locs(128);
  EXPECT_EQ(RecorderGetAudioRecTfrLocs(rec, locs.data()), 1);
  EXPECT_EQ(locs[2], 30000);
  EXPECT_EQ(locs[3], 0);  // never below the start location
  const std::vector<int32_t>& take = Disk().takes[9];
  EXPECT_EQ(take[499], 0);
  for (uint32_t t = 1000; t < 21000; ++t) ASSERT_EQ(take[t - 500], in[t]) << t;
  EXPECT_EQ(take[20500], 0);
}

TEST_F(Engine, DiskErrorsAreCollectedOnce) {
  RingClient& client = Attach(1);
  DiskMakeTake(4, 50000, Ramp);
  Disk().failing.insert(4);
  SetLists(1, {DiskSeg(0, 4, 0)}, {});
  PrepareAndStart(0);
  std::vector<int32_t> out(100);
  ASSERT_EQ(PlayFor(client, 100, out.data()), 100u);
  EXPECT_EQ(out[50], 0);  // a failed read plays silence
  RecorderStop(rec);
  ASSERT_TRUE(WaitIdleFor(rec));
  int32_t take = 0;
  EXPECT_EQ(RecorderGetDiskErrorStat(rec, &take), 1);
  EXPECT_EQ(take, 4);
  EXPECT_EQ(RecorderGetDiskErrorStat(rec, &take), 0);
  EXPECT_EQ(RecorderGetDiskErrorStat(rec, nullptr), 0);
}

TEST_F(Engine, ListAndCountArgumentsAreChecked) {
  const RecSeg one[] = {DiskSeg(0, 1, 0, true)};
  EXPECT_EQ(RecorderSetDisk0List(rec, 128, 1, one), 0);
  EXPECT_EQ(RecorderSetDisk0List(rec, -1, 1, one), 0);
  EXPECT_EQ(RecorderSetDisk0List(rec, 0, 178956971, one), 0);
  EXPECT_EQ(RecorderSetFade1List(rec, 0, 1, nullptr), 0);
  EXPECT_EQ(RecorderSetFade1List(rec, 0, 0, nullptr), 1);
  EXPECT_EQ(RecorderSetAudTrkCfg(rec, 129), 0);
  EXPECT_EQ(RecorderSetAudTrkCfg(rec, -1), 0);
  EXPECT_EQ(RecorderSetFadeCurvTable(rec, 8, nullptr), 0);
  EXPECT_EQ(RecorderGetStatus(nullptr), 0);
  EXPECT_EQ(CloseRecorder(nullptr), 0);
  int32_t count = -1;
  EXPECT_EQ(RecorderGetNoiseGateOnList(rec, &count), nullptr);  // no scan yet
  EXPECT_EQ(count, 0);
}

TEST_F(Engine, FullTrackCountKeepsTheLists) {
  RingClient& client = Attach(127);
  DiskMakeTake(1, 50000, Ramp);
  SetLists(127, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderSetAudTrkCfg(rec, 128), 1);
  PrepareAndStart(0);
  std::vector<int32_t> out(10);
  ASSERT_EQ(PlayFor(client, 10, out.data()), 10u);
  EXPECT_EQ(out[9], Ramp(9));
}

TEST_F(Engine, ScrubFillsRoundThePosition) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 400000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderPrepScrubBufs(rec, 200000, 0, 0), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  int64_t back = 0, fill = 0;
  RecorderLayerSpan(rec, 0, 0, &back, &fill);
  EXPECT_EQ(back, 200000 - 0x18000);
  EXPECT_EQ(fill, 200000 + 0x18000);
  EXPECT_EQ(RecorderStartScrub(rec, 1), 1);
  EXPECT_EQ(RecorderGetStatus(rec), kRecScrubbing);
  EXPECT_EQ(RecorderSetScrubParam(rec, 199000, 4), 1);
  std::vector<int32_t> out(1000);
  ASSERT_EQ(client.ScrubStep(1000, out.data()), 1000u);
  EXPECT_EQ(out[0], Ramp(200000));
  EXPECT_EQ(out[999], Ramp(199001));  // backwards
  EXPECT_EQ(RecorderStop(rec), 1);
  EXPECT_TRUE(WaitIdleFor(rec));
  EXPECT_TRUE(client.IsStopped());
}

TEST_F(Engine, TimeCodeSlaveArmStartsEveryClient) {
  RingClient& client = Attach(0);
  DiskMakeTake(1, 100000, Ramp);
  SetLists(0, {DiskSeg(0, 1, 0)}, {});
  EXPECT_EQ(RecorderTimeCodeSlaveArmPlayRec(rec, 5000, 1, 0), 1);
  EXPECT_EQ(RecorderGetStatus(rec), kRecPlaying);
  std::vector<int32_t> out(10);
  ASSERT_EQ(PlayFor(client, 10, out.data()), 10u);
  EXPECT_EQ(out[0], Ramp(5000));
}

// Every failure while opening gives back what was made before it.
TEST(OpenRecorder, FailuresReleaseEverything) {
  VirtualClock clock;
  struct Case {
    NatFault fault;
    int32_t after;
  };
  const Case cases[] = {{NatFault::kEvent, 0},      {NatFault::kEvent, 16}, {NatFault::kThread, 0},
                        {NatFault::kThread, 2},     {NatFault::kWorkingSet, 0}, {NatFault::kCommit, 0},
                        {NatFault::kCommit, 2},     {NatFault::kLock, 0},   {NatFault::kLock, 3}};
  const int32_t live = NatLiveBlocks();
  for (const Case& c : cases) {
    NatFailAfter(c.fault, c.after);
    EXPECT_EQ(OpenRecorder(1, &kFakeDiskCallbacks), nullptr) << static_cast<int>(c.fault) << "/" << c.after;
    NatFailAfter(c.fault, -1);
    EXPECT_EQ(NatLiveBlocks(), live);
  }
  EXPECT_EQ(OpenRecorder(1, nullptr), nullptr);
  Recorder* rec = OpenRecorder(1, &kFakeDiskCallbacks);
  ASSERT_NE(rec, nullptr);
  EXPECT_EQ(NatLiveBlocks(), live + 4);  // the transfer buffer and channel 0's three rings
  CloseRecorder(rec);
  EXPECT_EQ(NatLiveBlocks(), live);
}

TEST(OpenRecorder, WorkingSetGrowsPerRecorderAndSaturates) {
  EXPECT_EQ(NatWorkingSetRequest(0, 32).minBytes, 0x5C0000u);
  EXPECT_EQ(NatWorkingSetRequest(2, 32).maxBytes, 2 * 0x180C0000ull + 0x182C0000ull);
  EXPECT_EQ(NatWorkingSetRequest(10, 32).maxBytes, 0xFFFFFFFFull);  // would wrap past 4 GB
  EXPECT_EQ(NatWorkingSetRequest(10, 64).maxBytes, 10 * 0x180C0000ull + 0x182C0000ull);
}

}  // namespace
