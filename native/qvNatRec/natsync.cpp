#include "native/qvNatRec/natsync.h"

#include <atomic>
#include <chrono>
#include <thread>

void EventGroup::Set(uint32_t index) {
  if (index >= count_) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    // Setting a set event changes nothing and wakes no one.
    if (set_ >> index & 1u) return;
    set_ |= 1u << index;
  }
  wake_.notify_one();
}

void EventGroup::Reset(uint32_t index) {
  if (index >= count_) return;
  std::lock_guard<std::mutex> hold(lock_);
  set_ &= ~(1u << index);
}

bool EventGroup::IsSet(uint32_t index) {
  std::lock_guard<std::mutex> hold(lock_);
  return index < count_ && (set_ >> index & 1u) != 0;
}

uint32_t EventGroup::WaitAny() {
  std::unique_lock<std::mutex> hold(lock_);
  wake_.wait(hold, [this] { return set_ != 0; });
  uint32_t index = 0;
  while ((set_ >> index & 1u) == 0) ++index;
  if (autoMask_ >> index & 1u) set_ &= ~(1u << index);
  return index;
}

namespace {

uint32_t RealTick() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void RealSleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

constexpr NatClock kRealClock{RealTick, RealSleep};
std::atomic<const NatClock*> gClock{&kRealClock};

}  // namespace

void NatSetClock(const NatClock* clock) { gClock.store(clock != nullptr ? clock : &kRealClock); }
uint32_t NatTickMs() { return gClock.load()->tick(); }
void NatSleepMs(uint32_t ms) { gClock.load()->sleep(ms); }
