// The native device layer: a track's play events as the recorder's five
// segment lists, envelopes over the read callback, status codes, and no
// blocks left behind when memory fails.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "native/qvNatDev/natdev.h"
#include "native/qvNatDev/natseg.h"

bool operator==(const RecSeg& a, const RecSeg& b) {
  return a.start == b.start && a.a == b.a && a.b == b.b && a.kind == b.kind && a.flags == b.flags;
}
std::ostream& operator<<(std::ostream& os, const RecSeg& s) {
  return os << "{at " << s.start << " a " << s.a << " b " << s.b << " kind " << s.kind << " flags "
            << s.flags << "}";
}

namespace {

constexpr uint16_t kF = kPlayEventFade;
constexpr uint16_t kU = kPlayUnity;
constexpr int32_t kUnityLevel = -0x800000;
constexpr int64_t kEnd = kPlayListEnd;

PlayEvent Ev(uint32_t take, uint64_t offset, uint32_t length, uint16_t g0, uint16_t g1, uint16_t flags) {
  PlayEvent e;
  e.Take = take;
  e.Offset = offset;
  e.Length = length;
  e.GainStart = g0;
  e.GainEnd = g1;
  e.Flags = flags;
  return e;
}
PlayEvent Silence(uint32_t length, uint16_t flags = kF) { return Ev(0, 0, length, 0, 0, flags); }

RecSeg Seg(int64_t start, int32_t kind, int32_t a = 0, int32_t b = 0, uint32_t flags = 0) {
  return RecSeg{start, a, b, kind, flags};
}
RecSeg Closing(int64_t at) { return Seg(at, 0, 0, 0, kRecSegClosing); }

std::vector<RecSeg> Entries(const RecSegList* list) {
  if (list == nullptr) return {};
  return std::vector<RecSeg>(list->entries(), list->entries() + list->count);
}

class Convert : public ::testing::Test {
 protected:
  void SetUp() override {
    NatHeapFailAfter(-1);
    blocks = NatHeapBlocks();
  }
  void TearDown() override {
    NatFreeTrack(lists);
    NatHeapFailAfter(-1);
    EXPECT_EQ(NatHeapBlocks(), blocks);
  }
  NatTrackLists lists;
  int32_t blocks = 0;
};

TEST_F(Convert, EmptyListsGiveFiveClosingEntries) {
  ASSERT_TRUE(NatConvertTrack(nullptr, 0, nullptr, 0, lists));
  for (RecSegList* l : lists.list) EXPECT_EQ(Entries(l), std::vector<RecSeg>{Closing(0)});
}

TEST_F(Convert, GoldenTrack) {
  const PlayEvent lane0[] = {
      Silence(100),
      Ev(7, 1000, 200, kU, kU, kF),                           // fades in; unity body
      Ev(7, 1200, 100, kU, kU, 0),                            // continues it; fades out
      Ev(8, 0, 300, 0x4000, 0x2000, kF | 1 | 2 << 1),         // inverted, curve 2: crossfades in
      Ev(9, 50, 100, kU, kU, kPlayEventRecord),               // recorded, not played
      Silence(uint32_t(kEnd - 800)),
  };
  const PlayEvent lane1[] = {
      Silence(500),
      Ev(8, 0, 100, 0, kU, kF),  // starts silent: no ramp in; ramps out before the silence
      Silence(uint32_t(kEnd - 600)),
  };
  ASSERT_TRUE(NatConvertTrack(lane0, 6, lane1, 3, lists));
  const std::vector<RecSeg> disk0 = {Seg(0, 0), Seg(100, 7, 1000), Seg(400, 8, 0), Seg(700, 0),
                                     Closing(kEnd)};
  const std::vector<RecSeg> fade0 = {
      Seg(0, kFadeLevel),                                   // silence plays at level 0
      Seg(100, kFadeRampIn, 0, kUnityLevel),                // 32-sample ramp in
      Seg(132, kFadeUnity),                                 // 0x8000 with bit 0 clear
      Seg(368, kFadeCross, kUnityLevel, 0x400000),          // ramp out of 32 + ramp in
      Seg(432, kFadeLinear + 2, 0x400000, 0x200000),        // the curve, polarity inverted
      Seg(700, kFadeUnity),                                 // the record entry
      Seg(800, kFadeLevel),
      Closing(kEnd)};
  const std::vector<RecSeg> diskR = {Seg(0, 0), Seg(700, 9, 50), Seg(800, 0), Closing(kEnd)};
  const std::vector<RecSeg> disk1 = {Seg(0, 0), Seg(500, 8), Seg(600, 0), Closing(kEnd)};
  const std::vector<RecSeg> fade1 = {Seg(0, kFadeUnity), Seg(500, kFadeLinear, 0, kUnityLevel),
                                     Seg(568, kFadeRampOut, kUnityLevel, 0), Seg(600, kFadeUnity),
                                     Closing(kEnd)};
  EXPECT_EQ(Entries(lists.list[kNatDisk0]), disk0);
  EXPECT_EQ(Entries(lists.list[kNatFade0]), fade0);
  EXPECT_EQ(Entries(lists.list[kNatDiskR]), diskR);
  EXPECT_EQ(Entries(lists.list[kNatDisk1]), disk1);
  EXPECT_EQ(Entries(lists.list[kNatFade1]), fade1);
}

TEST_F(Convert, LevelRunsAndShortRamps) {
  // Equal levels merge into one run, which ramps out into the next Take's
  // ramp in (one crossfade); a short event shares its length between its
  // two ramps; a level of 0x8000 with bit 0 set is a level.
  const PlayEvent lane0[] = {
      Ev(7, 0, 100, 0x4000, 0x4000, 0), Ev(7, 100, 100, 0x4000, 0x4000, 0),
      Ev(8, 0, 10, 0x4000, 0x4000, kF), Ev(9, 0, 100, kU, kU, kF | 1), Silence(50)};
  ASSERT_TRUE(NatConvertTrack(lane0, 5, nullptr, 0, lists));
  const std::vector<RecSeg> fade0 = {
      Seg(0, kFadeLevel, -0x400000, -0x400000),
      Seg(168, kFadeCross, -0x400000, -0x400000),  // 32 out, then 5 of the 10 in
      // 10 samples: 5 in, 5 out
      Seg(205, kFadeRampOut, -0x400000, 0),
      Seg(210, kFadeRampIn, 0, 0x800000),
      Seg(242, kFadeLevel, 0x800000, 0x800000),
      Seg(278, kFadeRampOut, 0x800000, 0),
      Seg(310, kFadeLevel),
      Closing(360)};
  EXPECT_EQ(Entries(lists.list[kNatFade0]), fade0);
}

TEST_F(Convert, StoredLevels) {
  struct Case {
    uint16_t gain;
    uint16_t flags;
    int32_t level;
  };
  const Case cases[] = {{kU, 0, kUnityLevel},   {kU, 1, 0x800000},     {0x4000, 0, -0x400000},
                        {0xFFFF, 1, 0xFFFF00},   {0, 1, 0},             {1, kF, -256}};
  for (const Case& c : cases) EXPECT_EQ(NatStoredLevel(c.gain, c.flags), c.level) << c.gain << " " << c.flags;
}

TEST_F(Convert, RecordOnlyList) {
  const PlayEvent events[] = {Ev(7, 0, 100, kU, kU, 0), Ev(9, 40, 60, kU, kU, kPlayEventRecord),
                              Ev(9, 100, 40, kU, kU, kPlayEventRecord), Silence(10)};
  RecSegList* record = nullptr;
  ASSERT_TRUE(NatConvertRecordOnly(events, 4, record));
  EXPECT_EQ(Entries(record), (std::vector<RecSeg>{Seg(0, 0), Seg(100, 9, 40), Seg(200, 0), Closing(210)}));
  SegFree(record);
}

TEST_F(Convert, MemoryFailuresLeaveNothing) {
  std::vector<PlayEvent> lane0;
  for (uint32_t k = 0; k < 400; ++k) lane0.push_back(Ev(7 + k % 3, k * 1000, 500, kU, 0x4000, kF));
  int32_t k = 0;
  for (;; ++k) {
    NatHeapFailAfter(k);
    const bool ok = NatConvertTrack(lane0.data(), uint32_t(lane0.size()), lane0.data(), 3, lists);
    NatHeapFailAfter(-1);
    if (ok) break;
    EXPECT_EQ(NatHeapBlocks(), blocks) << k;
    for (RecSegList* l : lists.list) EXPECT_EQ(l, nullptr);
  }
  EXPECT_GT(k, 5);  // the lists grew several times
}

// ---- The device ----

struct ReadLog {
  int32_t take = 0;
  uint64_t position = 0;
  int32_t count = 0;
  bool fail = false;
} gRead;

int32_t FakeRead(int32_t take, uint64_t position, int32_t count, uint32_t* ring, uint32_t, uint32_t,
                 void*) {
  gRead.take = take;
  gRead.position = position;
  gRead.count = count;
  if (gRead.fail) return 0;
  // Sample i: upper half (i x 37) mod 2001 - 1000, lower half noise.
  for (int32_t i = 0; i < count; ++i)
    ring[i] = static_cast<uint32_t>((static_cast<int32_t>((i * 37) % 2001) - 1000) * 65536 + 0x1234);
  return 1;
}
int32_t NoWrite(int32_t, uint64_t, int32_t, uint32_t*, uint32_t, uint32_t, void*) { return 0; }

class Device : public ::testing::Test {
 protected:
  void SetUp() override {
    gRead = ReadLog{};
    int32_t error = 0;
    dev = OpenNatDevice(0, &disk, &error);
    ASSERT_NE(dev, NatBadDevice());
    EXPECT_EQ(dev->rate, 44100u);
  }
  void TearDown() override { EXPECT_EQ(CloseNatDevice(dev), 1); }
  const RecorderDiskCallbacks disk{FakeRead, NoWrite};
  NatDevice* dev = nullptr;
};

TEST_F(Device, EnvelopesFoldTheUpperHalfOfEachSample) {
  constexpr int32_t kPoints = 5, kPer = 100;
  NatEnvelopePoint out[kPoints];
  ASSERT_EQ(Nat1GetEnvelopes(dev, kPoints, kPer, 42, 0x10, 0x2, out), 1);
  EXPECT_EQ(gRead.take, 42);
  EXPECT_EQ(gRead.position, 0x200000010u);
  EXPECT_EQ(gRead.count, kPoints * kPer);
  for (int32_t p = 0; p < kPoints; ++p) {
    int16_t hi = -32768, lo = 32767;
    for (int32_t i = p * kPer; i < (p + 1) * kPer; ++i) {
      const int16_t v = static_cast<int16_t>((i * 37) % 2001 - 1000);
      hi = std::max(hi, v);
      lo = std::min(lo, v);
    }
    EXPECT_EQ(out[p].maximum, hi) << p;
    EXPECT_EQ(out[p].minimum, lo) << p;
  }
}

TEST_F(Device, EnvelopeFailuresGiveZeroedPoints) {
  NatEnvelopePoint out[3];
  auto fill = [&] { std::memset(out, 0x55, sizeof out); };
  auto zeroed = [&] {
    for (const NatEnvelopePoint& p : out)
      if (p.maximum != 0 || p.minimum != 0) return false;
    return true;
  };
  gRead.fail = true;
  fill();
  EXPECT_EQ(Nat1GetEnvelopes(dev, 3, 10, 1, 0, 0, out), 0);
  EXPECT_TRUE(zeroed());
  gRead = ReadLog{};
  fill();
  EXPECT_EQ(Nat1GetEnvelopes(dev, 3, 0x7FFFFFFF, 1, 0, 0, out), 0);  // beyond any reading
  EXPECT_TRUE(zeroed());
  fill();
  EXPECT_EQ(Nat1GetEnvelopes(dev, 3, -1, 1, 0, 0, out), 0);
  EXPECT_TRUE(zeroed());
  EXPECT_EQ(gRead.count, 0);  // neither was read
}

TEST_F(Device, StatusMap) {
  struct Case {
    int32_t state;
    int32_t status;
  };
  const Case cases[] = {{kRecIdle, 4096}, {kRecPrepared, 4099}, {kRecPlaying, 4100},
                        {kRecScrubPrepared, 4100}, {kRecJobNoiseGate, 4100}};
  for (const Case& c : cases) EXPECT_EQ(NatStatusOfRecorder(c.state), c.status) << c.state;
  EXPECT_EQ(NatXGetStatus(dev), kNatDevIdle);
}

TEST_F(Device, PlayListsOnlyForItsTracks) {
  const PlayEvent silence = Silence(kPlayListEnd);
  EXPECT_EQ(Nat1SetAudPlayList(dev, 0, 1, 1, &silence, 0, nullptr), 1);
  EXPECT_EQ(Nat1SetAudPlayList(dev, 0, 128, 0, nullptr, 1, &silence), 1);
  EXPECT_EQ(Nat1SetAudPlayList(dev, 0, 0, 1, &silence, 0, nullptr), 0);
  EXPECT_EQ(Nat1SetAudPlayList(dev, 0, 129, 1, &silence, 0, nullptr), 0);
  EXPECT_EQ(Nat1SetAudPlayList(dev, 0, 1, 2, nullptr, 0, nullptr), 0);
  EXPECT_EQ(Nat1SetAudPlayListRecOnly(dev, 0, 2, 1, &silence), 1);
  EXPECT_EQ(Nat1SetAudPlayListRecOnly(dev, 0, 2, -1, &silence), 0);
}

TEST_F(Device, GateListBeforeAnyScanIsEmpty) {
  int32_t error = 0;
  void* block = Nat1GetNoiseGateOnList(dev, &error);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(NatGlobalLock(block)[0], 0);
  NatGlobalUnlock(block);
  NatGlobalFree(block);
}

TEST(DeviceOpen, FailuresReportAndLeaveNothing) {
  const RecorderDiskCallbacks disk{FakeRead, NoWrite};
  const int32_t blocks = NatHeapBlocks();
  int32_t error = 0;
  NatHeapFailAfter(0);
  EXPECT_EQ(OpenNatDevice(0, &disk, &error), NatBadDevice());
  NatHeapFailAfter(-1);
  EXPECT_EQ(error, kNatErrMemory);
  error = 0;
  EXPECT_EQ(OpenNatDevice(0, nullptr, &error), NatBadDevice());
  EXPECT_EQ(error, kNatErrRecorder);
  EXPECT_EQ(NatHeapBlocks(), blocks);
  EXPECT_EQ(CloseNatDevice(NatBadDevice()), 0);
  EXPECT_EQ(CloseNatDevice(nullptr), 0);
}

}  // namespace
