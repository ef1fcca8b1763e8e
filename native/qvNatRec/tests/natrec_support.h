// Test support: an in-memory disk of Takes behind the recorder's callbacks,
// a virtual millisecond clock, and helpers that drive a stream client.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "native/qvNatRec/recclient.h"
#include "native/qvNatRec/ringclient.h"

// Takes as vectors of 32-bit ring words, by reference number.
struct FakeDisk {
  std::mutex lock;
  std::map<int32_t, std::vector<int32_t>> takes;
  std::set<int32_t> failing;  // transfers of these Takes fail
  uint64_t reads = 0;
  uint64_t writes = 0;
};
FakeDisk& Disk();
void DiskReset();
// A Take of `length` samples whose sample i is fn(i).
template <class Fn>
void DiskMakeTake(int32_t take, uint32_t length, Fn fn) {
  std::lock_guard<std::mutex> hold(Disk().lock);
  std::vector<int32_t>& v = Disk().takes[take];
  v.resize(length);
  for (uint32_t i = 0; i < length; ++i) v[i] = fn(i);
}
extern const RecorderDiskCallbacks kFakeDiskCallbacks;

// A clock whose sleeps pass a fifth of their time.
struct VirtualClock {
  VirtualClock();
  ~VirtualClock();
  static uint32_t Now();
};

// Segment-list entries.
RecSeg DiskSeg(int64_t start, int32_t take, uint64_t source, bool closing = false);
RecSeg FadeSeg(int64_t start, int32_t kind, int32_t a, int32_t b, bool closing = false);
inline constexpr int32_t kUnity = -0x800000;

// Plays `count` samples through the client, waiting for the fill (at most
// a few real seconds); answers the samples played.
uint32_t PlayFor(RingClient& client, uint32_t count, int32_t* out, const int32_t* in = nullptr);
// Polls until the recorder's status is 0 (at most a few real seconds).
bool WaitIdleFor(Recorder* rec);
