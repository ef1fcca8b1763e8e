// The job queue on a real completion port: chains run in order with one done
// call after the last job, completions without a chain, Stop twice, a
// stress run with a watchdog, and a job that throws.
#include "Drv/Qvdrv/jobqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

struct Owner;

struct RecordingJob : CJob {
  Owner* owner = nullptr;
  int index = 0;
  void WINAPI Run() override;
};

struct Owner : CJobOwner {
  explicit Owner(int jobs, bool throwing = false) : jobs_(jobs), throwing_(throwing) {
    done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  ~Owner() override { CloseHandle(done); }
  CJob* WINAPI FirstJob(ULONG_PTR key) override {
    keys.push_back(key);
    if (!jobs_) return nullptr;
    chain.assign(jobs_, RecordingJob{});
    for (int i = 0; i < jobs_; ++i) {
      chain[i].owner = this;
      chain[i].index = i;
      chain[i].m_next = i + 1 < jobs_ ? &chain[i + 1] : nullptr;
    }
    return &chain[0];
  }
  void WINAPI JobsDone(ULONG_PTR key, DWORD error) override {
    {
      std::lock_guard<std::mutex> lk(lock);
      doneCalls.push_back({key, error, ran.load()});
    }
    SetEvent(done);
  }
  struct Done {
    ULONG_PTR key;
    DWORD error;
    int ranBefore;
  };
  int jobs_;
  bool throwing_;
  std::vector<RecordingJob> chain;
  std::vector<ULONG_PTR> keys;
  std::mutex lock;
  std::vector<int> started;
  std::vector<Done> doneCalls;
  std::atomic<int> ran{0};
  HANDLE done;
};

void WINAPI RecordingJob::Run() {
  {
    std::lock_guard<std::mutex> lk(owner->lock);
    owner->started.push_back(index);
  }
  if (owner->throwing_ && index == 1) throw 1;
  ++owner->ran;
}

// One worker, so that the order the jobs are taken in is the order they run.
TEST(JobQueue, AChainRunsInOrderWithOneDoneCallAfterItsLastJob) {
  CJobQueue q;
  ASSERT_TRUE(q.Start(1));
  Owner owner(3);
  ASSERT_TRUE(PostQueuedCompletionStatus(q.Port(), 0, 42, owner.Overlapped()));
  ASSERT_EQ(WaitForSingleObject(owner.done, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(owner.keys, std::vector<ULONG_PTR>{42});
  EXPECT_EQ(owner.started, (std::vector<int>{0, 1, 2}));
  ASSERT_EQ(owner.doneCalls.size(), 1u);
  EXPECT_EQ(owner.doneCalls[0].key, 0u);
  EXPECT_EQ(owner.doneCalls[0].error, 0u);
  EXPECT_EQ(owner.doneCalls[0].ranBefore, 3);
  q.Stop();
  EXPECT_EQ(q.m_active, 0);
  q.Stop();  // a second Stop does nothing
  EXPECT_EQ(q.Port(), nullptr);
}

TEST(JobQueue, ACompletionWithoutAChainGetsOneDoneCallWithItsKey) {
  CJobQueue q;
  ASSERT_TRUE(q.Start(2));
  Owner owner(0);
  ASSERT_TRUE(PostQueuedCompletionStatus(q.Port(), 0, 9, owner.Overlapped()));
  ASSERT_EQ(WaitForSingleObject(owner.done, 5000), WAIT_OBJECT_0);
  q.Stop();
  ASSERT_EQ(owner.doneCalls.size(), 1u);
  EXPECT_EQ(owner.doneCalls[0].key, 9u);
  EXPECT_TRUE(owner.started.empty());
}

TEST(JobQueue, IdleStopEndsEveryWorkerAndTheQueueStartsAgain) {
  CJobQueue q;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(q.Start(0));
    Sleep(5);
    EXPECT_GT(q.m_active, 0);
    q.Stop();
    EXPECT_EQ(q.m_active, 0);
  }
}

// Many owners, each posting many chains, against a watchdog: every chain
// must finish and Stop must return.
TEST(JobQueue, StressRunFinishesEveryChain) {
  constexpr int Owners = 8, Rounds = 200;
  CJobQueue q;
  ASSERT_TRUE(q.Start(4));
  std::vector<std::unique_ptr<Owner>> owners;
  for (int i = 0; i < Owners; ++i) owners.push_back(std::make_unique<Owner>(1 + i % 4));
  for (int round = 0; round < Rounds; ++round) {
    for (auto& o : owners) ASSERT_TRUE(PostQueuedCompletionStatus(q.Port(), 0, 1 + round, o->Overlapped()));
    for (auto& o : owners) ASSERT_EQ(WaitForSingleObject(o->done, 10000), WAIT_OBJECT_0) << "round " << round;
  }
  // Earlier jobs of a chain may still run after its done call: count once
  // every worker has ended.
  HANDLE stopper = CreateThread(
      nullptr, 0,
      [](LPVOID p) WINAPI -> DWORD {
        static_cast<CJobQueue*>(p)->Stop();
        return 0;
      },
      &q, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(stopper, 10000), WAIT_OBJECT_0) << "Stop hangs";
  CloseHandle(stopper);
  for (auto& o : owners) {
    EXPECT_EQ(o->doneCalls.size(), static_cast<size_t>(Rounds));
    EXPECT_EQ(o->ran, Rounds * o->jobs_);
  }
}

TEST(JobQueue, AThrowingJobStopsTheQueueWithoutHoldingTheLock) {
  CJobQueue q;
  ASSERT_TRUE(q.Start(2));
  Owner owner(3, true);
  ASSERT_TRUE(PostQueuedCompletionStatus(q.Port(), 0, 5, owner.Overlapped()));
  for (int i = 0; i < 500 && q.m_stop == 0; ++i) Sleep(10);
  EXPECT_EQ(q.m_stop, 1);
  for (int i = 0; i < 500 && owner.ran < 2; ++i) Sleep(10);
  EXPECT_EQ(owner.ran, 2);  // jobs 0 and 2 ran; job 1 threw
  q.Stop();
  EXPECT_EQ(q.m_lock, 0);
  EXPECT_EQ(q.m_active, 0);
}

}  // namespace
