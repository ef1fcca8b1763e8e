// Committed, locked memory and the working set through the virtual-memory
// calls: a locked page stays resident, so the stream thread never waits for
// a page of a ring.
#include <windows.h>

#include <algorithm>

#include "native/qvNatRec/natplat.h"

void* NatCommit(size_t bytes) {
  if (NatShouldFail(NatFault::kCommit)) return nullptr;
  void* block = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (block != nullptr) NatCountBlock(1);
  return block;
}

void NatRelease(void* block, size_t) {
  if (block == nullptr) return;
  NatCountBlock(-1);
  VirtualFree(block, 0, MEM_RELEASE);
}

bool NatLock(void* block, size_t bytes) {
  if (NatShouldFail(NatFault::kLock)) return false;
  return VirtualLock(block, bytes) != 0;
}

void NatUnlock(void* block, size_t bytes) {
  if (block != nullptr) VirtualUnlock(block, bytes);
}

bool NatRaiseWorkingSet(uint64_t minBytes, uint64_t maxBytes) {
  if (NatShouldFail(NatFault::kWorkingSet)) return false;
  HANDLE self = GetCurrentProcess();
  SIZE_T curMin = 0, curMax = 0;
  if (!GetProcessWorkingSetSize(self, &curMin, &curMax)) return false;
  const uint64_t largest = static_cast<SIZE_T>(-1);
  const SIZE_T wantMin = static_cast<SIZE_T>(std::max<uint64_t>(curMin, std::min(minBytes, largest)));
  const SIZE_T wantMax = static_cast<SIZE_T>(std::max<uint64_t>(curMax, std::min(maxBytes, largest)));
  return SetProcessWorkingSetSize(self, wantMin, wantMax) != 0;
}
