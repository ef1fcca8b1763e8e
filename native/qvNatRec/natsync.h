// The recorder's synchronisation in portable form: the events its workers
// wait on, the location holders, and the millisecond clock of its waits.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The events one worker waits on, Win32-style: set and reset by anyone,
// waited on by one thread. WaitAny answers the lowest-numbered set event, so
// a quit request wins over commands and command n over command n + 1; an
// auto-reset event is cleared as it releases the waiter, a manual-reset
// event stays set until Reset.
class EventGroup {
 public:
  EventGroup(uint32_t count, uint32_t autoResetMask) : count_(count), autoMask_(autoResetMask) {}
  void Set(uint32_t index);
  void Reset(uint32_t index);
  bool IsSet(uint32_t index);
  uint32_t WaitAny();

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  uint32_t count_;
  uint32_t autoMask_;
  uint32_t set_ = 0;
};

// A 64-bit sample location read and written only as a whole, so that no
// reader on another thread sees half of a new value. An atomic word: the
// fill loop reads several of them per channel on every pass.
class LocationHolder {
 public:
  int64_t Get() const { return value_.load(); }
  void Set(int64_t value) { value_.store(value); }
  int64_t Exchange(int64_t value) { return value_.exchange(value); }

 private:
  // Naturally aligned, so the processor loads and stores the 8 bytes in one
  // access on both widths. (clang does not call a 64-bit atomic always
  // lock-free on i386 even where it compiles it to one instruction, so the
  // layout is what is checked here.)
  static_assert(sizeof(std::atomic<int64_t>) == 8 && alignof(std::atomic<int64_t>) == 8);
  std::atomic<int64_t> value_{0};
};

// The millisecond tick and sleep of the recorder's timed waits (the stop
// handshake's 1000 ms, the 10 ms idle polls). Tests install a virtual clock
// so that a time-out passes without real waiting; null restores the real one.
struct NatClock {
  uint32_t (*tick)();
  void (*sleep)(uint32_t ms);
};
void NatSetClock(const NatClock* clock);
uint32_t NatTickMs();
void NatSleepMs(uint32_t ms);
