#include "mixer/model/progress.h"

#include <gtest/gtest.h>

#include <utility>

TEST(ProgressRange, ShiftKeepsTheBarWithin1024Steps) {
  struct {
    int32_t low, high, shift, barLow, barHigh;
  } cases[] = {
      {0, 10000000, 14, 0, 610},
      {0, 1000, 0, 0, 1000},
      {0, 1024, 0, 0, 1024},
      {0, 1025, 1, 0, 512},
      {4096, 4096 + 2048, 1, 2048, 3072},
      {500, 100, 0, 500, 100},  // reversed range: no shift
      {0, 0x7FFFFFFF, 21, 0, 1023},
      {INT32_MIN, 0x7FFFFFFF, 22, -512, 511},
  };
  for (const auto& c : cases) {
    ProgressState state;
    ProgressRange range = ProgressApplyRange(state, c.low, c.high);
    EXPECT_EQ(state.shift, c.shift) << c.low << ".." << c.high;
    EXPECT_EQ(range.low, c.barLow) << c.low << ".." << c.high;
    EXPECT_EQ(range.high, c.barHigh) << c.low << ".." << c.high;
  }
}

TEST(ProgressRange, MinusOneSetsTheRememberedRangeAgain) {
  ProgressState state;
  ProgressApplyRange(state, 0, 10000000);
  for (auto [low, high] : {std::pair{-1, 5}, std::pair{5, -1}, std::pair{-1, -1}}) {
    ProgressRange range = ProgressApplyRange(state, low, high);
    EXPECT_EQ(range.low, 0);
    EXPECT_EQ(range.high, 610);
    EXPECT_EQ(state.high, 10000000);
  }
}

TEST(ProgressStep, SetsTheBarOnlyWhenItsValueChanges) {
  ProgressState state;
  ProgressApplyRange(state, 0, 10000000);  // shift 14: 16384 positions a step
  struct {
    int32_t position;
    int32_t setPos, pos;
  } steps[] = {
      {0, 1, 0},  // the first step always sets the bar
      {100, 0, 0},
      {16383, 0, 0},
      {16384, 1, 1},
      {20000, 0, 0},
      {0, 1, 0},
  };
  for (const auto& s : steps) {
    ProgressAction a = ProgressDecideStep(state, s.position);
    EXPECT_EQ(a.setPos, s.setPos) << s.position;
    if (s.setPos) {
      EXPECT_EQ(a.pos, s.pos) << s.position;
    }
  }
  ProgressApplyRange(state, -1, -1);  // a re-set range shows the position again
  EXPECT_EQ(ProgressDecideStep(state, 0).setPos, 1);
}

TEST(ProgressStep, StallIsReportedOnTheTwentiethRepeatOnce) {
  ProgressState state;
  ProgressApplyRange(state, 0, 1000);
  int sentAt = -1, sends = 0;
  // Call 1 sets the position; calls 2.. repeat it. The 21st call in a row at
  // one position is its 20th repeat.
  for (int call = 1; call <= 60; ++call)
    if (ProgressDecideStep(state, 7).sendStall) {
      ++sends;
      if (sentAt < 0) sentAt = call;
    }
  EXPECT_EQ(sentAt, 21);
  EXPECT_EQ(sends, 1);

  // A move starts the count again, and a new standstill is reported again.
  sentAt = -1;
  for (int call = 1; call <= 21; ++call)
    if (ProgressDecideStep(state, 8).sendStall) sentAt = call;
  EXPECT_EQ(sentAt, 21);

  // One differing call in a run of equal ones resets the count.
  ProgressApplyRange(state, 0, 1000);
  for (int call = 1; call <= 20; ++call) EXPECT_EQ(ProgressDecideStep(state, 3).sendStall, 0);
  EXPECT_EQ(ProgressDecideStep(state, 4).sendStall, 0);  // 19 repeats of 3 forgotten
  for (int call = 1; call <= 19; ++call) EXPECT_EQ(ProgressDecideStep(state, 4).sendStall, 0);
  EXPECT_EQ(ProgressDecideStep(state, 4).sendStall, 1);
}

TEST(ProgressStep, ReportsReachingTheHighEnd) {
  ProgressState state;
  ProgressApplyRange(state, 0, 10000000);
  EXPECT_EQ(ProgressDecideStep(state, 9999999).atEnd, 0);
  EXPECT_EQ(ProgressDecideStep(state, 10000000).atEnd, 1);
  EXPECT_EQ(ProgressDecideStep(state, 10000001).atEnd, 1);
}
