// The stream engines' shared clock: blocks of several boards run in the
// order their clocks made them, whatever the slices of time they are given.
#include "sim/pcidsp/streams.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

// A board without sample memory that writes its name into a shared log at
// every block its engine raises.
class LoggingBoard : public simpcidsp::StreamBoard {
 public:
  LoggingBoard(std::string* log, char name) : m_log(log), m_name(name) {}
  uint64_t StreamMemory() override { return 0; }
  std::mutex& BusLock() override { return m_lock; }
  void RaiseBlock() override { m_log->push_back(m_name); }
  void AttachEngine(simpcidsp::StreamEngine*) override {}

 private:
  std::string* m_log;
  char m_name;
  std::mutex m_lock;
};

constexpr int64_t BlockTime48k = 64 * 10000000 / 48000;  // 100-ns units, rounded down

// Uneven slices, some shorter than a block and some worth many blocks.
const std::vector<int64_t> Slices = {1, 7000, 30000, 13333, 120000, 2, 50000, 999, 64000, 200000, 5, 26667};

TEST(StreamClock, BlocksOfSeveralBoardsRunInTheOrderTheirClocksMadeThem) {
  std::string log;
  LoggingBoard boardA(&log, 'A'), boardB(&log, 'B');
  simpcidsp::StreamEngine a(&boardA, 16), b(&boardB, 16);
  // B's clock is half a block ahead of A's: each of its blocks comes first.
  EXPECT_EQ(b.Advance(BlockTime48k / 2), 0u);
  for (int64_t slice : Slices) simpcidsp::StreamEngine::RunInStep({&a, &b}, slice);
  ASSERT_GE(log.size(), 40u);
  for (size_t i = 0; i + 1 < log.size(); ++i) ASSERT_NE(log[i], log[i + 1]) << i << " " << log;
  EXPECT_EQ(log[0], 'B');
  EXPECT_EQ(a.Blocks() + b.Blocks(), log.size());
}

TEST(StreamClock, BlocksMadeAtTheSameInstantRunInTheEnginesOrder) {
  std::string log;
  LoggingBoard boardA(&log, 'A'), boardB(&log, 'B');
  simpcidsp::StreamEngine a(&boardA, 16), b(&boardB, 16);
  for (int64_t slice : Slices) simpcidsp::StreamEngine::RunInStep({&b, &a}, slice);
  ASSERT_GE(log.size(), 40u);
  for (size_t i = 0; i < log.size(); ++i) ASSERT_EQ(log[i], i % 2 == 0 ? 'B' : 'A') << i << " " << log;
}

TEST(StreamClock, ABoardAtTwiceTheRateRunsTwoBlocksForEachOfTheOther) {
  std::string log;
  LoggingBoard boardA(&log, 'A'), boardB(&log, 'B');
  simpcidsp::StreamEngine a(&boardA, 16), b(&boardB, 16);
  b.rate = 96000;
  EXPECT_EQ(a.Advance(BlockTime48k / 4), 0u);  // A's blocks fall between two of B's
  for (int64_t slice : Slices) simpcidsp::StreamEngine::RunInStep({&a, &b}, slice);
  ASSERT_GE(log.size(), 60u);
  for (size_t i = 0; i + 3 <= log.size(); i += 3) ASSERT_EQ(log.substr(i, 3), "BAB") << i << " " << log;
}

}  // namespace
