#include "native/qvNatRec/natplat.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<int32_t> gLive{0};
std::atomic<int32_t> gFaults[static_cast<uint32_t>(NatFault::kCount)] = {-1, -1, -1, -1, -1};

// a x n + b, saturated at `limit`.
uint64_t Saturated(uint64_t a, uint32_t n, uint64_t b, uint64_t limit) {
  if (n != 0 && a > (limit - std::min(limit, b)) / n) return limit;
  return std::min(limit, a * n + b);
}

}  // namespace

int32_t NatLiveBlocks() { return gLive.load(); }
void NatCountBlock(int32_t delta) { gLive.fetch_add(delta); }

void NatFailAfter(NatFault fault, int32_t after) {
  gFaults[static_cast<uint32_t>(fault)].store(after);
}

bool NatShouldFail(NatFault fault) {
  std::atomic<int32_t>& left = gFaults[static_cast<uint32_t>(fault)];
  int32_t now = left.load();
  while (now >= 0 && !left.compare_exchange_weak(now, now - 1)) {
  }
  return now == 0;
}

// Per recorder already open: 0x3C0000 more for the minimum, 0x180C0000 more
// for the maximum. On a 32-bit system the maximum passes 4 GB at the eleventh
// recorder; the request then stays at the largest size instead of wrapping
// round to a small one.
NatWorkingSet NatWorkingSetRequest(uint32_t open, uint32_t sizeBits) {
  const uint64_t limit = sizeBits >= 64 ? UINT64_MAX : (uint64_t{1} << sizeBits) - 1;
  return {Saturated(0x3C0000, open, 0x5C0000, limit), Saturated(0x180C0000, open, 0x182C0000, limit)};
}

#if !defined(_WIN32)

void* NatCommit(size_t bytes) {
  if (NatShouldFail(NatFault::kCommit)) return nullptr;
  void* block = std::calloc(1, bytes);
  if (block != nullptr) NatCountBlock(1);
  return block;
}

void NatRelease(void* block, size_t) {
  if (block == nullptr) return;
  NatCountBlock(-1);
  std::free(block);
}

// The portable build cannot pin pages without privileges; it makes every
// page of the block resident now, so that the first pass of a stream does
// not fault them in one by one.
bool NatLock(void* block, size_t bytes) {
  if (NatShouldFail(NatFault::kLock)) return false;
  volatile uint8_t* p = static_cast<uint8_t*>(block);
  for (size_t at = 0; at < bytes; at += 4096) p[at] = p[at];
  return true;
}
void NatUnlock(void*, size_t) {}

bool NatRaiseWorkingSet(uint64_t, uint64_t) { return !NatShouldFail(NatFault::kWorkingSet); }

#endif
