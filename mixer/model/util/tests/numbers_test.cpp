#include "mixer/model/util/numbers.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(HighestBit, KeepsTheSign) {
  struct {
    int32_t x, bit;
  } cases[] = {
      {0, 0},          {1, 1},         {-1, -1},           {-12, -8},
      {12, 8},         {1024, 1024},   {0x7FFFFFFF, 0x40000000}, {-0x7FFFFFFF, -0x40000000},
      {INT32_MIN, 0},  // |x| has no bit below 31
  };
  for (const auto& c : cases) EXPECT_EQ(HighestBit(c.x), c.bit) << c.x;
}

TEST(RoundUp, RoundsToTheStep) {
  EXPECT_EQ(RoundUp(0, 65536), 0u);
  EXPECT_EQ(RoundUp(1, 65536), 65536u);
  EXPECT_EQ(RoundUp(65536, 65536), 65536u);
  EXPECT_EQ(RoundUp(13316 + 128, 65536), 65536u);
  EXPECT_EQ(RoundUp(7, 0), 7u);
  EXPECT_EQ(RoundUp(0xFFFFFFFFu, 65536), 0u);  // past 32 bits
  EXPECT_EQ(HeapGrowSize(65537, kHeapGrowStep), 131072u);
  EXPECT_EQ(HeapGrowSize(0xFFFF0001u, kHeapGrowStep), 0u);
}

TEST(MulDiv, UnsignedTruncatedAndRounded) {
  EXPECT_EQ(MulDiv32(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);  // wide intermediate
  EXPECT_EQ(MulDiv32(7, 3, 2), 10u);
  EXPECT_EQ(MulDivRound(7, 3, 2), 11u);
  EXPECT_EQ(MulDivRound(5, 1, 3), 2u);
  EXPECT_EQ(MulDivRound(4, 1, 3), 1u);
  EXPECT_EQ(MulDivRound(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(MulDiv32(1, 1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(MulDivRound(1, 1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(MulDiv32(0x80000000u, 4, 1), 0xFFFFFFFFu);  // quotient past 32 bits
}

TEST(MulDivNearest, RoundsHalvesAwayFromZero) {
  struct {
    int32_t a, b, c, r;
  } cases[] = {
      {5, 1, 2, 3},     {-5, 1, 2, -3},   {5, -1, 2, -3},   {5, 1, -2, -3},
      {-5, -1, -2, -3}, {7, 1, 3, 2},     {8, 1, 3, 3},     {-8, 1, 3, -3},
      {3, 1, 2, 2},     {1, 1, 2, 1},     {-1, 1, 2, -1},   {1, 1, 3, 0},
      {0, -5, 2, 0},    {100000, 100000, 100000, 100000},
      {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
      {INT32_MAX, 2, 2, INT32_MAX},
      {1, 1, 0, -1},    {INT32_MAX, 2, 1, -1},  {INT32_MIN, 1, 1, -1},
      {-INT32_MAX, 1, 1, -INT32_MAX}, {INT32_MIN, 1, 2, -1073741824},
      {INT32_MIN, -1, -1, -1},
      // Where the system's 32-bit negation of the divisor and multiplicand
      // wraps, its own results (not exact rounding) are reproduced.
      {INT32_MIN, 1, INT32_MIN, 0}, {1, 1073741824, INT32_MIN, 0}, {INT32_MIN, 1, -3, -715827883},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDivNearest(c.a, c.b, c.c), c.r) << c.a << " * " << c.b << " / " << c.c;
}
