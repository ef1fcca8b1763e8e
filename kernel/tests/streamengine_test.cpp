// The stream engine's arithmetic: time code, lock, position time, status
// record, phase, rate converter and caller-memory ring.
#include "kernel/streamengine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

uint32_t Tc0(uint32_t type, uint32_t hours, uint32_t minutes) { return type << 13 | hours << 8 | minutes; }
uint32_t Tc1(uint32_t seconds, uint32_t frames, int8_t offset = 0) {
  return seconds << 16 | frames << 8 | uint8_t(offset);
}

TEST(TimeCodeTest, FramesOfEachType) {
  struct Case {
    uint32_t w0, w1;
    int64_t frames;
  } cases[] = {
      {Tc0(1, 1, 0), Tc1(0, 0), 90000},    // 25
      {Tc0(2, 1, 0), Tc1(0, 0), 107892},   // 30 drop-frame
      {Tc0(3, 1, 0), Tc1(0, 0), 108000},   // 30
      {Tc0(0, 1, 0), Tc1(0, 0), 86400},    // 24
      {Tc0(2, 0, 10), Tc1(0, 0), 17982},   // ten minutes drop nine pairs
      {Tc0(2, 0, 1), Tc1(0, 2), 1800},     // 00:01:00;02 is the first frame of minute 1
      {Tc0(1, 0, 0), Tc1(1, 3, -2), 26},   // the signed offset
  };
  for (const Case& c : cases) {
    int64_t n = -1;
    ASSERT_TRUE(QvTimeCodeFrames(c.w0, c.w1, &n));
    EXPECT_EQ(n, c.frames) << std::hex << c.w0 << " " << c.w1;
  }
  int64_t n;
  EXPECT_FALSE(QvTimeCodeFrames(Tc0(4, 0, 0), 0, &n));
}

TEST(TimeCodeTest, SamplePositionOfAFrameRoundsToNearest) {
  EXPECT_EQ(QvFrameSample(90000, 48000, 25025), 172800000);
  EXPECT_EQ(QvFrameSample(1, 44100, 30000), 1471);   // 1471.47
  EXPECT_EQ(QvFrameSample(2, 44100, 30000), 2943);   // 2942.94
  EXPECT_EQ(QvFrameSample(-2, 44100, 30000), -2943);
}

class LockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QvPositionReset(&p);
    r = {};
    r.running = 1;
    r.rate = 48000;
    r.stamp = 1000;
    QvPositionUpdate(&p, r);  // the first interrupt takes the positions
    p.flags = (p.flags & ~QvPosFrameCodeMask) | 25025;
  }
  // A frame arrives, latched at the input position, then the input has moved on 16 units.
  void Frame(uint32_t n) {
    r.tcLatch = r.input + 4;
    r.frameCount = n;
    r.input += 16;
    r.output += 16;
    r.stamp += 13333;
    QvPositionUpdate(&p, r);
  }
  QvPositionRecord p{};
  QvBoardReading r{};
};

TEST_F(LockTest, SmallStepsKeepTheLockAndJumpsOfThreeUnlockThenRelock) {
  Frame(100);
  ASSERT_TRUE(p.flags & QvPosLocked);
  // The frame's sample, plus the 12 units the input ran past the latch, less a block.
  EXPECT_EQ(p.counter, uint64_t(100 * 1920 + 12 * 4 - 64));
  struct Step {
    uint32_t frame;
    bool locked, backwards;
  } steps[] = {{101, true, false}, {103, true, false}, {102, true, true}, {105, false, false},
               {106, true, false}, {104, true, true}, {101, false, false}};
  for (const Step& s : steps) {
    Frame(s.frame);
    EXPECT_EQ(bool(p.flags & QvPosLocked), s.locked) << s.frame;
    EXPECT_EQ(bool(p.flags & QvPosBackwards), s.backwards) << s.frame;
  }
  Frame(102);
  EXPECT_EQ(p.counter, uint64_t(102 * 1920 + 12 * 4 - 64)) << "relocked at the new position";
}

TEST_F(LockTest, StoppingOrLosingTheTimeCodeUnlocks) {
  Frame(10);
  ASSERT_TRUE(p.flags & QvPosLocked);
  for (int i = 0; i < 5; ++i) QvPositionBlock(&p);
  EXPECT_EQ(p.counter, uint64_t(10 * 1920 + 12 * 4 - 64 + 5 * 64));
  r.input += 5001;  // no time code for more than 5000 units
  QvPositionUpdate(&p, r);
  EXPECT_FALSE(p.flags & QvPosLocked);

  Frame(20);
  ASSERT_TRUE(p.flags & QvPosLocked);
  r.running = 0;
  QvPositionUpdate(&p, r);
  EXPECT_FALSE(p.flags & QvPosLocked);
  EXPECT_EQ(p.counter, 0u);
}

TEST(PositionTest, TheTimeAddsTheLatchDistanceAsTime) {
  struct Case {
    uint32_t output, latch, rate;
    int64_t time;
  } cases[] = {
      {0x100, 0xF0, 48000, 1000000 + 13333},        // 16 units = 64 samples
      {0xF0, 0x100, 48000, 1000000 - 13333},        // the latch ahead of the output
      {0x000008, 0xFFFFF8, 44100, 1000000 + 14512}, // across the counter's wrap: 64 samples at 44100
  };
  for (const Case& c : cases) {
    QvPositionRecord p{};
    QvPositionReset(&p);
    QvBoardReading r{};
    r.output = c.output;
    r.latch = c.latch;
    r.rate = c.rate;
    r.stamp = 1000000;
    QvPositionUpdate(&p, r);
    EXPECT_EQ(p.time, c.time);
  }
}

TEST(PositionTest, AdvancesWrapAtTwentyFourBits) {
  QvPositionRecord p{};
  QvPositionReset(&p);
  QvBoardReading r{};
  r.input = 0xFFFFF0;
  r.output = 0xFFFFE0;
  r.stamp = 1;
  QvPositionUpdate(&p, r);
  EXPECT_EQ(p.block, 0xFFFFF0u);
  r.input = 0x10;
  r.output = 0x08;
  EXPECT_EQ(QvPositionUpdate(&p, r), 0x20u);
  EXPECT_EQ(p.outputAdvance, 0x28u);
  EXPECT_EQ(p.ratio, 0x14000u);
}

TEST(StatusRecordTest, ChangeBitsAndTheTimeCodeWords) {
  QvStatusRecord rec{};
  QvModeWords m{44100, 0, 0x00120000 | 25025, {7, 8}};
  QvFillStatus(&rec, 0x100000040ull, 5000, 0, 16, 0, m);
  EXPECT_EQ(rec.position, 0x40u);
  EXPECT_EQ(rec.mode, 0x00120000u | QvStatusRateChanged) << "first record: the rate is new; no frame word without bit 24";
  EXPECT_EQ(rec.extra[0], 0u);
  QvFillStatus(&rec, 0x80, 5000, 0, 16, 0, m);
  EXPECT_EQ(rec.mode, 0x00120000u) << "nothing changed";
  m.variSpeed = 5;
  QvFillStatus(&rec, 0xC0, 5000, 0, 16, 0, m);
  EXPECT_EQ(rec.mode & (QvStatusRateChanged | QvStatusFrameChanged), QvStatusRateChanged);
  m.mode |= QvModeTimeCodeWords;
  QvFillStatus(&rec, 0x100, 5000, 0, 16, 0, m);
  EXPECT_EQ(rec.mode, 0x01120000u | 25025 | QvStatusFrameChanged);
  EXPECT_EQ(rec.extra[1], 8u);
  QvFillStatus(&rec, 0x140, 5000, 0, 16, 0, m);
  EXPECT_EQ(rec.mode, 0x01120000u | 25025);
  // The stamp goes back by the part of the interval that has run.
  QvFillStatus(&rec, 0x180, 100000, 4, 16, 13334, m);
  EXPECT_EQ(rec.stampLow, uint32_t(100000 - 4 * 3334 / 16));
  QvFillStatus(&rec, 0x180, 100000, 16, 16, 13334, m);
  EXPECT_EQ(rec.stampLow, 100000u) << "a difference of a whole interval is not applied";
}

TEST(PhaseTest, ANewPhaseIsTakenAfterFourSightingsAndThenGrowsStable) {
  QvPositionRecord p{};
  QvPositionReset(&p);
  for (int i = 0; i < 3; ++i) {
    QvPhaseStep(&p, 10, 0, 13333);
    EXPECT_EQ(p.phase, 0u) << i;
  }
  QvPhaseStep(&p, 10, 0, 13333);
  EXPECT_EQ(p.phase, 40u);
  EXPECT_FALSE(p.flags & QvPosPhaseStable);
  for (int i = 0; i < 4; ++i) QvPhaseStep(&p, 10, 0, 13333);
  EXPECT_TRUE(p.flags & QvPosPhaseStable);
  QvPhaseStep(&p, 10, 13333, 13333);  // a block of time later: 64 samples less, mod 512
  EXPECT_EQ(p.phaseCandidate, (40u - 64) & 511);
}

// ---- rate converter ----

struct Source {
  uint32_t next = 0;
  uint32_t blocksLeft = 1000;
  static int32_t Sample(uint32_t frame, uint32_t channel) {
    return int32_t(std::lround(0x30000000 * std::sin(frame * 0.05 + channel)));
  }
  static bool Fetch(void* ctx, uint32_t* block) {
    auto* s = static_cast<Source*>(ctx);
    if (!s->blocksLeft) return false;
    --s->blocksLeft;
    for (uint32_t f = 0; f < 64; ++f, ++s->next)
      for (uint32_t c = 0; c < 16; ++c) block[f * 16 + c] = uint32_t(Sample(s->next, c));
    return true;
  }
};

TEST(RateConverterTest, InterpolatesLikeALinearResampler) {
  for (uint32_t rate : {0x8000u, 0x18000u, 0x10000u, 0x11111u}) {
    SCOPED_TRACE(rate);
    QvRateConverter conv;
    ASSERT_TRUE(conv.SetRate(rate));
    Source src;
    std::vector<uint32_t> out(64 * 16);
    double position = 0;
    for (int block = 0; block < 6; ++block) {
      std::fill(out.begin(), out.end(), 0);
      ASSERT_TRUE(conv.Mix(out.data(), 2, 3, Source::Fetch, &src));
      for (uint32_t f = 0; f < 64; ++f) {
        uint32_t i = uint32_t(position);
        double frac = position - i;
        for (uint32_t c = 0; c < 16; ++c) {
          int32_t got = int32_t(out[f * 16 + c]);
          if (c < 2 || c >= 5) {
            EXPECT_EQ(got, 0) << "channel outside the stream";
            continue;
          }
          double want = Source::Sample(i, c) * (1 - frac) + Source::Sample(i + 1, c) * frac;
          EXPECT_NEAR(got, want, 0x30000000 / 16384.0) << "block " << block << " frame " << f;
        }
        position += rate / 65536.0;
      }
    }
    EXPECT_EQ(conv.Consumed(), uint32_t(position));
  }
}

TEST(RateConverterTest, RateLimitsAndSaturation) {
  QvRateConverter conv;
  EXPECT_FALSE(conv.SetRate(0));
  EXPECT_FALSE(conv.SetRate(0x20001));
  EXPECT_TRUE(conv.SetRate(0x20000));
  EXPECT_EQ(conv.Rate(), 0x1FFFFu);

  struct Loud {
    static bool Fetch(void*, uint32_t* block) {
      for (uint32_t i = 0; i < 1024; ++i) block[i] = 0x7FFF0000;
      return true;
    }
  };
  ASSERT_TRUE(conv.SetRate(0x10000));
  std::vector<uint32_t> out(64 * 16, 0x7FFFFF00);
  ASSERT_TRUE(conv.Mix(out.data(), 0, 1, Loud::Fetch, nullptr));
  EXPECT_EQ(out[0], 0x7FFFFF00u);
  EXPECT_EQ(out[1], 0x7FFFFF00u) << "untouched channel";

  Source dry;
  dry.blocksLeft = 1;
  QvRateConverter c2;
  c2.SetRate(0x18000);
  EXPECT_FALSE(c2.Mix(out.data(), 0, 1, Source::Fetch, &dry)) << "a block needs 97 frames, one was given";
}

// ---- caller-memory ring ----

TEST(CallerRingTest, EqualOffsetsAreAnEmptyRingInBothDirections) {
  constexpr uint32_t B = 256, Length = 4 * B;
  std::vector<uint8_t> ring(Length), block(B, 0x11);
  QvCallerControl c{};
  // Playback of an empty ring plays nothing and counts a miss.
  EXPECT_FALSE(QvRingStep(&c, ring.data(), Length, true, block.data(), B));
  EXPECT_EQ(c.missed, 64u);
  EXPECT_EQ(c.readOffset, 0u);
  // The caller writes two blocks: two are played, then the ring is empty again.
  c.writeOffset = 2 * B;
  ring[0] = 1, ring[B] = 2;
  EXPECT_TRUE(QvRingStep(&c, ring.data(), Length, true, block.data(), B));
  EXPECT_EQ(block[0], 1);
  EXPECT_TRUE(QvRingStep(&c, ring.data(), Length, true, block.data(), B));
  EXPECT_EQ(block[0], 2);
  EXPECT_FALSE(QvRingStep(&c, ring.data(), Length, true, block.data(), B));
  EXPECT_EQ(c.moved, 128u);
  EXPECT_EQ(c.missed, 128u);

  // Recording into an undrained ring stops a block short, so that it never
  // looks empty and nothing the caller has not read is overwritten.
  QvCallerControl r{};
  for (int i = 0; i < 3; ++i) {
    std::fill(block.begin(), block.end(), uint8_t(0x20 + i));
    EXPECT_TRUE(QvRingStep(&r, ring.data(), Length, false, block.data(), B)) << i;
  }
  EXPECT_FALSE(QvRingStep(&r, ring.data(), Length, false, block.data(), B));
  EXPECT_EQ(ring[0], 0x20);
  EXPECT_EQ(r.writeOffset, 3 * B);
  EXPECT_EQ(r.missed, 64u);
  r.readOffset = B;  // the caller took one block: room again
  EXPECT_TRUE(QvRingStep(&r, ring.data(), Length, false, block.data(), B));
  EXPECT_EQ(r.writeOffset, 0u);
}

TEST(CallerRingTest, OffsetsOutsideTheRingOrOffTheBlocksMoveNothing) {
  constexpr uint32_t B = 256, Length = 4 * B;
  std::vector<uint8_t> ring(Length), block(B);
  for (auto offsets : {std::pair<uint32_t, uint32_t>{Length, 0}, {0, Length + B}, {10, 2 * B}, {0, 0xFFFFFFFF}}) {
    QvCallerControl c{};
    c.readOffset = offsets.first;
    c.writeOffset = offsets.second;
    EXPECT_FALSE(QvRingStep(&c, ring.data(), Length, true, block.data(), B));
    EXPECT_FALSE(QvRingStep(&c, ring.data(), Length, false, block.data(), B));
    EXPECT_EQ(c.missed, 128u);
  }
}

}  // namespace
