// The few services of the operating system the recorder needs beyond
// threads: committed memory locked against paging (so that the stream thread
// never faults on a ring) and the process working set that must grow to hold
// it. The Windows build implements them with the virtual-memory calls, the
// portable build with the heap (it has no working set to raise).
//
// Each service can be told to fail, so that every failure path of opening a
// recorder can be exercised; production code never sets a failure.
#pragma once

#include <cstddef>
#include <cstdint>

// Zeroed, committed memory; null on failure. NatLiveBlocks counts the blocks
// committed and not yet released, so that tests can see a failed open give
// back everything.
int32_t NatLiveBlocks();
void* NatCommit(size_t bytes);
void NatCountBlock(int32_t delta);  // for the platform implementations
void NatRelease(void* block, size_t bytes);
bool NatLock(void* block, size_t bytes);
void NatUnlock(void* block, size_t bytes);
// Raises the working set to at least these sizes; sizes already higher stay.
bool NatRaiseWorkingSet(uint64_t minBytes, uint64_t maxBytes);

enum class NatFault : uint32_t {
  kEvent,       // creating the recorder's events
  kThread,      // starting a worker
  kWorkingSet,  // raising the working set
  kCommit,      // committing a buffer
  kLock,        // locking a buffer
  kCount,
};
// The fault's next `after` uses succeed and the one after fails; -1 (the
// start value) never fails.
void NatFailAfter(NatFault fault, int32_t after);
// Counts one use of the fault's service; true when it is to fail.
bool NatShouldFail(NatFault fault);

// The working-set request for a recorder opened beside `open` others,
// saturated at the largest size of a `sizeBits`-bit address space.
struct NatWorkingSet {
  uint64_t minBytes;
  uint64_t maxBytes;
};
NatWorkingSet NatWorkingSetRequest(uint32_t open, uint32_t sizeBits);
