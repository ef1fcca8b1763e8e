// CQvWave on a scripted stream device of the simulated machine: start,
// blocks handed to the callback, pause and resume on the same thread, stop
// codes, and a stream whose thread ended being started afresh.
#include "Drv/Qvdrv/qvdrv.h"
#include "Drv/Qvdrv/tests/scripted.h"
#include "sim/machine/simmachine.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class CountingWave : public CQvWave {
 public:
  BOOL WINAPI Block() override {
    positions[blocks % 16] = m_status[0];
    ++blocks;
    if (blocks != stopAfter) return TRUE;
    SetLastError(endWith);
    return FALSE;
  }
  std::atomic<uint32_t> blocks{0};
  uint32_t stopAfter = 0;  // 0: never
  DWORD endWith = 0;       // the thread's exit code when the callback ends it
  uint32_t positions[16] = {};
};

size_t Count(const char* name, uint32_t code, bool withInput) {
  size_t n = 0;
  for (const scripted::Request& r : scripted::StreamRequests(name))
    n += r.code == code && (r.input.empty() != withInput);
  return n;
}

class Wave : public ::testing::Test {
 protected:
  void SetUp() override {
    simmachine::Reset();
    scripted::Load();
  }
  void TearDown() override {
    scripted::Unload();
    simmachine::Shutdown();
  }
  static void WaitFor(const std::atomic<uint32_t>& v, uint32_t at_least) {
    for (int i = 0; i < 500 && v < at_least; ++i) Sleep(10);
  }
};

TEST_F(Wave, StartPauseResumeStop) {
  scripted::AddStream("Qvstream", 3);
  CountingWave w;
  ASSERT_TRUE(w.Open("Qvstream", GENERIC_READ | GENERIC_WRITE, 0, 0, nullptr));
  ASSERT_TRUE(w.Start());
  HANDLE thread = w.m_thread;
  ASSERT_NE(thread, nullptr);
  WaitFor(w.blocks, 3);
  EXPECT_EQ(w.blocks, 3u);
  EXPECT_EQ(w.positions[2], 3u * 128);
  EXPECT_EQ(w.m_previous[0], 3u * 128);
  // The thread's start request carries its handle and the driver priority 24.
  std::vector<scripted::Request> r = scripted::StreamRequests("Qvstream");
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r[0].code, IOCTL_QV_WAVE_START);
  ASSERT_EQ(r[0].input.size(), 8u);
  EXPECT_EQ(r[0].input[4], 24);

  EXPECT_TRUE(w.Pause());
  EXPECT_TRUE(w.Start());  // resumes: no second thread, one start without input
  EXPECT_EQ(w.m_thread, thread);
  EXPECT_EQ(Count("Qvstream", IOCTL_QV_WAVE_START, false), 1u);
  EXPECT_EQ(Count("Qvstream", IOCTL_QV_WAVE_START, true), 1u);

  // Stopping cancels the pending wait: the thread ends with 995 and Stop
  // reports success.
  EXPECT_TRUE(w.Stop());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_EQ(w.m_thread, nullptr);
  EXPECT_TRUE(w.Stop());  // no thread: nothing to do
  w.Close();
  EXPECT_EQ(w.m_device, INVALID_HANDLE_VALUE);
}

TEST_F(Wave, ACallbackEndsTheThreadAndTheNextStartRunsANewOne) {
  scripted::AddStream("Qvstream", 0);
  CountingWave w;
  w.stopAfter = 1;
  w.endWith = STILL_ACTIVE;  // an exit code that must not read as a running thread
  ASSERT_TRUE(w.Open("\\\\.\\Qvstream", GENERIC_READ | GENERIC_WRITE, 0, 0, nullptr));
  ASSERT_TRUE(w.Start());
  HANDLE first = w.m_thread;
  scripted::AddBlocks("Qvstream", 1);
  ASSERT_EQ(WaitForSingleObject(first, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(w.blocks, 1u);

  // The thread is gone: Start runs a new one instead of resuming nobody.
  w.stopAfter = 0;
  ASSERT_TRUE(w.Start());
  EXPECT_NE(w.m_thread, nullptr);
  EXPECT_EQ(Count("Qvstream", IOCTL_QV_WAVE_START, true), 2u);
  scripted::AddBlocks("Qvstream", 4);
  WaitFor(w.blocks, 5);
  EXPECT_EQ(w.blocks, 5u);
  EXPECT_TRUE(w.Stop());
  w.Close();
}

TEST_F(Wave, StopAfterTheCallbackEndedReportsTheThreadsCode) {
  scripted::AddStream("Qvstream", 0);
  CountingWave w;
  w.stopAfter = 1;
  ASSERT_TRUE(w.Open("Qvstream", GENERIC_READ | GENERIC_WRITE, 0, 0, nullptr));
  ASSERT_TRUE(w.Start());
  scripted::AddBlocks("Qvstream", 1);
  ASSERT_EQ(WaitForSingleObject(w.m_thread, 5000), WAIT_OBJECT_0);
  // The thread ended on its own with code 0, which is not a stop.
  EXPECT_FALSE(w.Stop());
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(w.m_thread, nullptr);
}

TEST_F(Wave, AFailingWaitEndsTheThreadWithItsReason) {
  scripted::AddStream("Qvstream", 0);
  scripted::FailStreamWaits("Qvstream");
  CountingWave w;
  ASSERT_TRUE(w.Open("Qvstream", GENERIC_READ | GENERIC_WRITE, 0, 0, nullptr));
  // The thread started the stream and ended on its first wait, either before
  // Start looked or after.
  BOOL started = w.Start();
  if (!started) {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  }
  EXPECT_FALSE(w.Stop());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  EXPECT_EQ(w.blocks, 0u);
}

TEST_F(Wave, MapSendsTheHeaderAndOneByteperChannel) {
  scripted::AddStream("Qvstream", 0);
  CountingWave w;
  ASSERT_TRUE(w.Open("Qvstream", GENERIC_READ | GENERIC_WRITE, 0, 0, nullptr));
  alignas(4) uint8_t bytes[32] = {4, 3, 2, 0};
  auto* map = reinterpret_cast<qvChannelMap*>(bytes);
  qvChannelInfo info{};
  EXPECT_TRUE(w.Map(map, &info));
  bytes[1] = 0x83;  // bit 7 (exclusive) does not count
  bytes[2] = 0x82;
  EXPECT_TRUE(w.Map(map, nullptr));
  EXPECT_TRUE(w.Map(nullptr, nullptr));
  std::vector<size_t> lengths;
  for (const scripted::Request& r : scripted::StreamRequests("Qvstream"))
    if (r.code == IOCTL_QV_WAVE_MAP) lengths.push_back(r.input.size());
  EXPECT_EQ(lengths, (std::vector<size_t>{17, 17, 0}));
}

TEST(SysTime, ClockRunsIn100NsUnits) {
  CSysTime::Init();
  EXPECT_NE(CSysTime::m_scale, 0u);
  ULONGLONG a = CSysTime::Timer();
  Sleep(50);
  DWORD d = CSysTime::Delta(static_cast<DWORD>(a));
  EXPECT_GE(d, 400000u);
  EXPECT_LT(d, 50000000u);
}

}  // namespace
