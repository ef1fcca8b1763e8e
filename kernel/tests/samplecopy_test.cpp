// The copy and mix routines against a plain reference written from the
// sample formats: every format and direction over random board words and
// client samples (a quarter of the mixes overflow), then the bounds, the
// unsigned 8-bit offset and the dither sequence.
#include "kernel/samplecopy.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr uint32_t Frames = 67;  // not a multiple of anything the routines might unroll by

int32_t Widen(const uint8_t* p, uint32_t bytes) {
  switch (bytes) {
    case 1: return (int32_t(p[0]) - 128) * (1 << 24);
    case 2: return int32_t(int16_t(p[0] | p[1] << 8)) * (1 << 16);
    case 3: return int32_t(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24);
    default: return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
  }
}
void Narrow(uint32_t word, uint8_t* p, uint32_t bytes) {
  switch (bytes) {
    case 1: p[0] = uint8_t((word >> 24) ^ 0x80); break;  // the top byte, offset by 128
    case 2: p[0] = uint8_t(word >> 16), p[1] = uint8_t(word >> 24); break;
    case 3: p[0] = uint8_t(word >> 8), p[1] = uint8_t(word >> 16), p[2] = uint8_t(word >> 24); break;
    default: std::memcpy(p, &word, 4);
  }
}
uint32_t Mix(uint32_t word, int32_t sample) {
  int64_t sum = int64_t(int32_t(word)) + sample;
  if (sum > INT32_MAX) return 0x7FFFFF00;
  if (sum < INT32_MIN) return 0x80000100;
  return uint32_t(int32_t(sum));
}

struct Buffers {
  std::vector<uint32_t> board;
  std::vector<uint8_t> client;
};
Buffers Random(uint32_t clientBytes, uint32_t seed) {
  std::mt19937 rng(seed);
  Buffers b{std::vector<uint32_t>(Frames * 16), std::vector<uint8_t>(clientBytes)};
  for (auto& w : b.board) w = rng();
  for (auto& c : b.client) c = uint8_t(rng());
  return b;
}

enum class Dir { In, Mix, Pair };
struct InterleavedCase {
  uint32_t bytes, channels, offset;  // offset: the first board channel
  Dir dir;
};

class InterleavedTest : public ::testing::TestWithParam<InterleavedCase> {};

TEST_P(InterleavedTest, MatchesTheReference) {
  const InterleavedCase c = GetParam();
  uint32_t clientChannels = c.dir == Dir::Pair ? 1 : c.channels;
  uint32_t frameBytes = clientChannels * c.bytes + 1;  // a stride wider than the samples: the pad byte stays
  Buffers got = Random(Frames * frameBytes, c.bytes * 100 + c.channels);
  Buffers want = got;
  for (uint32_t f = 0; f < Frames; ++f) {
    uint32_t* b = &want.board[f * 16 + c.offset];
    uint8_t* p = &want.client[f * frameBytes];
    for (uint32_t ch = 0; ch < c.channels; ++ch) {
      if (c.dir == Dir::In) Narrow(b[ch], p + ch * c.bytes, c.bytes);
      else b[ch] = Mix(b[ch], Widen(p + (c.dir == Dir::Pair ? 0 : ch * c.bytes), c.bytes));
    }
  }
  QvInterleavedRoutine r = QvPickInterleaved(c.bytes, c.dir != Dir::In, c.dir == Dir::Pair);
  ASSERT_NE(r, nullptr);
  r(&got.board[c.offset], got.client.data(), Frames, c.channels, frameBytes);
  EXPECT_EQ(got.board, want.board);
  EXPECT_EQ(got.client, want.client);
}

std::vector<InterleavedCase> InterleavedCases() {
  std::vector<InterleavedCase> cases;
  for (uint32_t bytes = 1; bytes <= 4; ++bytes) {
    for (uint32_t channels : {1u, 2u, 3u, 16u}) {
      uint32_t offset = channels == 16 ? 0 : 5;
      cases.push_back({bytes, channels, offset, Dir::In});
      cases.push_back({bytes, channels, offset, Dir::Mix});
    }
    cases.push_back({bytes, 2, 14, Dir::Pair});
  }
  return cases;
}
INSTANTIATE_TEST_SUITE_P(AllFormats, InterleavedTest, ::testing::ValuesIn(InterleavedCases()));

TEST(PlanarTest, RunsOfEachSizeAndDirection) {
  struct Case {
    uint32_t bytes;
    bool output, store;
  } cases[] = {{2, false, false}, {4, false, false}, {2, true, false}, {4, true, false}, {4, true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bytes << (c.output ? " out" : " in") << (c.store ? " store" : ""));
    Buffers got = Random(Frames * c.bytes, c.bytes + c.output * 10 + c.store * 20);
    Buffers want = got;
    for (uint32_t f = 0; f < Frames; ++f) {
      uint32_t& w = want.board[f * 16 + 9];
      uint8_t* p = &want.client[f * c.bytes];
      if (!c.output) Narrow(w, p, c.bytes);
      else w = c.store ? uint32_t(Widen(p, 4)) : Mix(w, Widen(p, c.bytes));
    }
    QvPickPlanar(c.bytes, c.output, c.store)(&got.board[9], got.client.data(), Frames);
    EXPECT_EQ(got.board, want.board);
    EXPECT_EQ(got.client, want.client);
  }
  EXPECT_EQ(QvPickPlanar(3, true, false), nullptr);
  EXPECT_EQ(QvPickInterleaved(5, false, false), nullptr);
}

TEST(PairWordTest, SixteenBitPairsAndThirtyTwoBitPairs) {
  Buffers got = Random(Frames * 8, 7);
  Buffers want = got;
  std::vector<uint32_t> words(Frames * 2), wantWords(Frames * 2);
  std::memcpy(words.data(), got.client.data(), Frames * 8);
  wantWords = words;
  for (uint32_t f = 0; f < Frames; ++f) {
    uint32_t* b = &want.board[f * 16 + 2];
    b[0] = Mix(b[0], int32_t(words[f] << 16));
    b[1] = Mix(b[1], int32_t(words[f] & 0xFFFF0000));
  }
  QvPairMix16(&got.board[2], words.data(), Frames);
  EXPECT_EQ(got.board, want.board);

  for (uint32_t f = 0; f < Frames; ++f)
    wantWords[f] = (want.board[f * 16 + 2] >> 16) | (want.board[f * 16 + 3] & 0xFFFF0000);
  QvPairIn16(&got.board[2], words.data(), Frames);
  EXPECT_EQ(std::vector<uint32_t>(words.begin(), words.begin() + Frames),
            std::vector<uint32_t>(wantWords.begin(), wantWords.begin() + Frames));

  for (uint32_t f = 0; f < Frames; ++f) {
    uint32_t* b = &want.board[f * 16 + 6];
    b[0] = Mix(b[0], int32_t(words[2 * f]));
    b[1] = Mix(b[1], int32_t(words[2 * f + 1]));
  }
  QvPairMix32(&got.board[6], words.data(), Frames);
  EXPECT_EQ(got.board, want.board);
}

TEST(MixBoundsTest, OverflowStoresTheSymmetricBound) {
  struct Case {
    uint32_t word;
    int16_t sample;
    uint32_t stored;
  } cases[] = {
      {0x7FFFFF00, 1, 0x7FFFFF00},          // wraps negative
      {0x80000000, -1, 0x80000100},         // wraps positive
      {0x7FFF0000, 0x7FFF, 0x7FFFFF00},
      {0x80000000, 0, 0x80000000},          // no overflow: kept as it is
      {0x7FFEFFFF, 1, 0x7FFFFFFF},          // the largest sum that fits is stored, not bounded
  };
  for (const Case& c : cases) {
    uint32_t board[16] = {c.word};
    QvMix16(board, reinterpret_cast<uint8_t*>(const_cast<int16_t*>(&c.sample)), 1, 1, 2);
    EXPECT_EQ(board[0], c.stored) << std::hex << c.word << " + " << c.sample;
  }
}

TEST(EightBitTest, InputOffsetsByHalfTheRange) {
  uint32_t board[32] = {0};
  board[16] = 0x7F000000;
  uint8_t out[2];
  QvIn8(board, out, 2, 1, 1);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[1], 255);
}

TEST(DitherTest, FollowsTheSharedSequenceAndStaysWithinOneStep) {
  constexpr uint32_t Channels = 3, N = 40;
  QvDitherSeed(12345);
  std::vector<uint32_t> board(N * 16, 0);
  board[16] = 0x00010000;  // a word exactly one 16-bit step up
  int16_t undithered[N * Channels], dithered[N * Channels];
  QvIn16(board.data(), reinterpret_cast<uint8_t*>(undithered), N, Channels, Channels * 2);
  QvIn16Dither(board.data(), reinterpret_cast<uint8_t*>(dithered), N, Channels, Channels * 2);
  uint64_t x = 12345;
  auto next = [&] { return x = x * 422527 % 8388593; };
  bool sawMinusOne = false;
  for (uint32_t i = 0; i < N * Channels; ++i) {
    int64_t a = int64_t(next()), b = int64_t(next());
    int64_t word = int64_t(int32_t(board[(i / Channels) * 16 + i % Channels])) + (a - b) / 128 - ((a - b) % 128 < 0);
    int16_t want = int16_t(word >> 16);
    EXPECT_EQ(dithered[i], want) << i;
    EXPECT_TRUE(dithered[i] - undithered[i] == 0 || dithered[i] - undithered[i] == -1) << i;
    sawMinusOne |= dithered[i] == -1;
  }
  EXPECT_EQ(undithered[0], 0);
  EXPECT_TRUE(sawMinusOne);
}

TEST(ClearTest, ZeroesOnlyTheStreamsChannels) {
  std::vector<uint32_t> board(64 * 16, 0xAAAAAAAA);
  QvClearChannels(board.data(), 14, 4, 64);  // clipped to the block's last two channels
  for (uint32_t i = 0; i < board.size(); ++i) EXPECT_EQ(board[i], i % 16 >= 14 ? 0u : 0xAAAAAAAAu) << i;
}

}  // namespace
