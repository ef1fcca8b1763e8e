// Pressing Play on the native devices: an arrangement with a gain fade, a
// crossfade and a phase-inverted Part is compiled to play lists, sent through
// the native device layer to the recorder, played by a stream client into a
// WAV file, and compared sample by sample with the sound computed here from
// the Parts' gains and the recorder's documented fade arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "mixer/arrange/partedit.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/take.h"
#include "mixer/units/natlink.h"
#include "mixer/units/playlist.h"
#include "mixer/units/tests/wavdata.h"
#include "native/qvNatRec/fade.h"
#include "native/qvNatRec/tests/natrec_support.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

namespace {

constexpr int32_t kTakeA = 1, kTakeB = 2;
constexpr int64_t kPlay = 32000;
constexpr int64_t kUnity = -0x800000;

int32_t TakeWord(int32_t take, uint32_t i) {
  const int32_t v = take == kTakeA ? static_cast<int32_t>((i * 7919u) % 40001u) - 20000
                                   : static_cast<int32_t>((i * 104729u) % 30011u) - 15000;
  return v * 16384 + static_cast<int32_t>(i & 0xFF) * 64;
}

PartRec MakePart(int32_t start, int32_t length, uint32_t take, int32_t offset) {
  PartRec p;
  std::memset(&p, 0, sizeof p);
  p.Start = start;
  p.Length = length;
  p.Take = take;
  p.Offset = offset;
  p.TakeKind = kTakeAudio;
  p.PlayChannel = 1;
  p.GainStart = p.GainEnd = 32768;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.Next = kArrNoSlot;
  return p;
}

// 16-bit format tag 1 (integer PCM), one channel of 32-bit words.
void WriteWav(const std::string& path, const std::vector<int32_t>& samples, uint32_t rate) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint32_t data = static_cast<uint32_t>(samples.size() * 4);
  auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
  auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
  std::fwrite("RIFF", 1, 4, f);
  u32(36 + data);
  std::fwrite("WAVEfmt ", 1, 8, f);
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 4);
  u16(4);
  u16(32);
  std::fwrite("data", 1, 4, f);
  u32(data);
  std::fwrite(samples.data(), 4, samples.size(), f);
  std::fclose(f);
}

// ---- The expected sound ----

// A play event's gain (0x8000 = unity) as a recorder level.
int64_t Level(uint32_t gain, bool inverted) { return inverted ? int64_t{gain} * 256 : -int64_t{gain} * 256; }
int64_t Linear(int64_t from, int64_t to, int64_t at, int64_t length) { return from + (to - from) * at / length; }
int64_t RampIn(int64_t level, int64_t at) { return level * kFadeRampTable[32 + at] / 32768; }
int64_t RampOut(int64_t level, int64_t at) { return level * kFadeRampTable[at] / 32768; }
int32_t Apply(int32_t sample, int64_t level) {
  return static_cast<int32_t>(std::clamp<int64_t>(int64_t{sample} * level / kUnity, INT32_MIN, INT32_MAX));
}

class NativePlay : public ::testing::Test {
 protected:
  void SetUp() override {
    Services().Reset();
    Host().Reset();
    DiskReset();
    DiskMakeTake(kTakeA, 40000, [](uint32_t i) { return TakeWord(kTakeA, i); });
    DiskMakeTake(kTakeB, 20000, [](uint32_t i) { return TakeWord(kTakeB, i); });
    arr = ArrNew(nullptr);
    ASSERT_NE(arr, nullptr);
    int32_t error = 0;
    NatLinkBind(NatDevStaticApi());
    ASSERT_EQ(NatLinkOpenAll(kPlayChannels, &kFakeDiskCallbacks, &error), 1);
  }
  void TearDown() override {
    NatLinkCloseAll();
    ArrHeap.Free(arr);
    EXPECT_EQ(PlayListHeapBlocks(), 0);
  }
  uint32_t Add(const PartRec& part) {
    uint32_t slot = kArrNoSlot;
    EXPECT_EQ(ArrInsertPart(&arr, part, &slot, 0, nullptr), 1);
    ArrRelinkOverlaps(arr);
    return slot;
  }

  VirtualClock clock;
  ArrRec* arr = nullptr;
};

TEST_F(NativePlay, DevicesServeTheirTracks) {
  EXPECT_EQ(NatLinkDeviceCount(), 2);
  int32_t track = 0;
  EXPECT_EQ(NatLinkDevice(1, &track), NatLinkDevice(128, nullptr));
  EXPECT_EQ(track, 1);
  EXPECT_NE(NatLinkDevice(130, &track), NatLinkDevice(1, nullptr));
  EXPECT_EQ(track, 2);
  EXPECT_EQ(NatLinkDevice(257, nullptr), nullptr);
  for (int32_t channel = 1; channel <= kPlayChannels; ++channel)
    EXPECT_EQ(CompileTrackPlayList(arr, channel, -1), 1) << channel;
}

TEST_F(NativePlay, ArrangementPlaysSampleExactly) {
  // A: a fade from unity to half across the Part; B, on top, crossfades in
  // over A's last 2000 samples at 0x6000; C plays with inverted polarity.
  PartRec a = MakePart(1000, 12000, kTakeA, 500);
  a.GainEnd = 16384;
  PartRec b = MakePart(11000, 12000, kTakeB, 0);
  b.GainStart = b.GainEnd = 24576;
  b.Layer = 1;
  PartRec c = MakePart(26000, 4000, kTakeA, 20000);
  c.Flags = kPartPhaseInvert;
  const uint32_t sa = Add(a), sb = Add(b);
  Add(c);
  PartRec& pa = *ArrPart(arr, sa);
  PartRec& pb = *ArrPart(arr, sb);
  pa.XfadeOutPartner = static_cast<uint16_t>(sb);
  pb.XfadeInPartner = static_cast<uint16_t>(sa);
  pa.XfadeOutWindow[1] = pb.XfadeInWindow[1] = 255;

  NatDevice* dev = NatLinkDevice(1, nullptr);
  ASSERT_NE(dev, nullptr);
  RingClient client(dev->recorder, 0);
  ASSERT_TRUE(client.attached());
  ASSERT_EQ(CompileTrackPlayList(arr, 1, -1), 1);
  ASSERT_EQ(Nat1SetPlayRecEndLoc(dev, static_cast<int32_t>(kPlay)), 1);
  ASSERT_EQ(Nat1PrepAudPlayBufs(dev, 0), 1);
  ASSERT_TRUE(WaitIdleFor(dev->recorder));
  ASSERT_EQ(Nat1SyncStartPlayRecPhase3(dev), 1);
  std::vector<int32_t> out(kPlay);
  ASSERT_EQ(PlayFor(client, kPlay, out.data()), static_cast<uint32_t>(kPlay));
  ASSERT_TRUE(WaitIdleFor(dev->recorder));
  const std::string wav = (std::filesystem::temp_directory_path() / "hrl-natplay.wav").string();
  WriteWav(wav, out, dev->rate);
  const std::vector<int32_t> played = ReadWavData(wav);
  std::remove(wav.c_str());
  ASSERT_EQ(played.size(), out.size());

  // The expected sound. Lane 0: A ramps in over 32 samples to its start
  // gain, then runs linearly to its gain at the crossfade, and from there
  // linearly to 0 at its end; B's body holds 0x6000 and ramps out over 32
  // samples before the silence; C ramps in and out, inverted. Lane 1: B
  // rises linearly from 0 to 0x6000 across the crossfade, and hands over to
  // lane 0 without ramps.
  const int64_t gCross = ArrPartGainAt(10000, pa);
  const int64_t full = Level(32768, false), cross = Level(static_cast<uint32_t>(gCross), false);
  const int64_t bLevel = Level(24576, false), cLevel = Level(32768, true);
  const std::vector<int32_t>& A = Disk().takes[kTakeA];
  const std::vector<int32_t>& B = Disk().takes[kTakeB];
  size_t mismatches = 0;
  for (int64_t t = 0; t < kPlay; ++t) {
    int32_t lane0 = 0, lane1 = 0;
    if (t >= 1000 && t < 13000) {
      const int32_t s = A[500 + (t - 1000)];
      int64_t level;
      if (t < 1032) level = RampIn(full, t - 1000);
      else if (t < 11000) level = Linear(full, cross, t - 1032, 11000 - 1032);
      else level = Linear(cross, 0, t - 11000, 2000);
      lane0 = Apply(s, level);
    } else if (t >= 13000 && t < 23000) {
      const int32_t s = B[t - 11000];
      lane0 = Apply(s, t < 22968 ? bLevel : RampOut(bLevel, t - 22968));
    } else if (t >= 26000 && t < 30000) {
      const int32_t s = A[20000 + (t - 26000)];
      const int64_t level = t < 26032 ? RampIn(cLevel, t - 26000) : t < 29968 ? cLevel : RampOut(cLevel, t - 29968);
      lane0 = Apply(s, level);
    }
    if (t >= 11000 && t < 13000) lane1 = Apply(B[t - 11000], Linear(0, bLevel, t - 11000, 2000));
    const int32_t want = static_cast<int32_t>(std::clamp<int64_t>(int64_t{lane0} + lane1, INT32_MIN, INT32_MAX));
    if (played[t] != want && ++mismatches <= 10)
      ADD_FAILURE() << "sample " << t << ": played " << played[t] << ", expected " << want;
  }
  EXPECT_EQ(mismatches, 0u);
}

}  // namespace
