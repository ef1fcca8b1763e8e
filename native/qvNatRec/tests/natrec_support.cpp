#include "native/qvNatRec/tests/natrec_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "native/qvNatRec/natsync.h"

namespace {

FakeDisk gDisk;

int32_t FakeTransfer(bool write, int32_t take, uint64_t position, int32_t count, uint32_t* ring,
                     uint32_t ringLen, uint32_t ringStart, void* scratch) {
  std::lock_guard<std::mutex> hold(gDisk.lock);
  // The recorder hands contiguous pieces and a transfer buffer of 3 bytes a
  // sample; anything else is a fault of the engine.
  if (ringLen != static_cast<uint32_t>(count) || ringStart != 0 || scratch == nullptr || count <= 0)
    return 0;
  (write ? gDisk.writes : gDisk.reads) += static_cast<uint64_t>(count);
  auto it = gDisk.takes.find(take);
  if (it == gDisk.takes.end() || gDisk.failing.count(take) != 0) return 0;
  std::vector<int32_t>& v = it->second;
  for (int32_t i = 0; i < count; ++i) {
    const uint64_t at = position + static_cast<uint64_t>(i);
    if (write) {
      if (at < v.size()) v[at] = static_cast<int32_t>(ring[i]);
    } else {
      ring[i] = at < v.size() ? static_cast<uint32_t>(v[at]) : 0;
    }
  }
  return 1;
}

int32_t FakeRead(int32_t take, uint64_t position, int32_t count, uint32_t* ring, uint32_t ringLen,
                 uint32_t ringStart, void* scratch) {
  return FakeTransfer(false, take, position, count, ring, ringLen, ringStart, scratch);
}

int32_t FakeWrite(int32_t take, uint64_t position, int32_t count, uint32_t* ring, uint32_t ringLen,
                  uint32_t ringStart, void* scratch) {
  return FakeTransfer(true, take, position, count, ring, ringLen, ringStart, scratch);
}

std::atomic<uint32_t> gVirtualMs{0};

uint32_t VirtualTick() { return gVirtualMs.load(); }
// Five times faster than real time: a one-second time-out passes in 200 ms,
// which still leaves a loaded machine's threads time to answer.
// (A real millisecond every fifth virtual one: shorter sleeps round down to
// nothing on some platforms.)
void VirtualSleep(uint32_t ms) {
  const uint32_t before = gVirtualMs.fetch_add(ms);
  const uint32_t real = (before + ms) / 5 - before / 5;
  if (real != 0) std::this_thread::sleep_for(std::chrono::milliseconds(real));
  else std::this_thread::yield();
}
constexpr NatClock kVirtual{VirtualTick, VirtualSleep};

bool TimedOut(std::chrono::steady_clock::time_point began) {
  return std::chrono::steady_clock::now() - began > std::chrono::seconds(20);
}

}  // namespace

const RecorderDiskCallbacks kFakeDiskCallbacks{FakeRead, FakeWrite};

FakeDisk& Disk() { return gDisk; }

void DiskReset() {
  std::lock_guard<std::mutex> hold(gDisk.lock);
  gDisk.takes.clear();
  gDisk.failing.clear();
  gDisk.reads = gDisk.writes = 0;
}

VirtualClock::VirtualClock() { NatSetClock(&kVirtual); }
VirtualClock::~VirtualClock() { NatSetClock(nullptr); }
uint32_t VirtualClock::Now() { return gVirtualMs.load(); }

RecSeg DiskSeg(int64_t start, int32_t take, uint64_t source, bool closing) {
  return {start, static_cast<int32_t>(source & 0xFFFFFFFFu), static_cast<int32_t>(source >> 32), take,
          closing ? kRecSegClosing : 0u};
}

RecSeg FadeSeg(int64_t start, int32_t kind, int32_t a, int32_t b, bool closing) {
  return {start, a, b, kind, closing ? kRecSegClosing : 0u};
}

uint32_t PlayFor(RingClient& client, uint32_t count, int32_t* out, const int32_t* in) {
  const auto began = std::chrono::steady_clock::now();
  uint32_t done = 0;
  while (done < count && client.running() && !TimedOut(began)) {
    const uint32_t n = client.Advance(std::min<uint32_t>(count - done, 4096), out ? out + done : nullptr,
                                      in ? in + done : nullptr);
    if (n == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    done += n;
  }
  return done;
}

bool WaitIdleFor(Recorder* rec) {
  const auto began = std::chrono::steady_clock::now();
  while (RecorderGetStatus(rec) != 0) {
    if (TimedOut(began)) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}
