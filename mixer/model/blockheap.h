// A private heap of growable blocks, as the arrangement and the marker list
// use them: a block is allocated zero-filled and grows by re-allocation to
// its needed size rounded up to kHeapGrowStep, so it may move; its owner
// keeps indexes, never pointers, into it. Portable, so that the model's code
// and its tests run the same in every build.
#pragma once

#include <cstdint>

class BlockHeap {
 public:
  BlockHeap() = default;
  BlockHeap(const BlockHeap&) = delete;
  BlockHeap& operator=(const BlockHeap&) = delete;

  // A zero-filled block of at least `size` bytes (size rounded up to the
  // step); null when the heap has no room.
  void* Alloc(uint32_t size);

  // Re-allocates `block` to `size` rounded up to the step, keeping its bytes
  // and zero-filling the new tail; a null block is allocated. Null when the
  // heap has no room, the block then unchanged and still owned by the caller.
  // A block never shrinks.
  void* Grow(void* block, uint32_t size);

  void Free(void* block);

  // Bytes the block holds (its rounded size); 0 for null.
  static uint32_t Size(const void* block);

  // Blocks allocated and not yet freed.
  uint32_t Blocks() const { return blocks_; }

  // Makes the next Alloc or Grow fail as if the heap had no room (tests of
  // the memory-exhaustion paths).
  void FailNext() { failNext_ = true; }

 private:
  bool TakeFailure();

  uint32_t blocks_ = 0;
  bool failNext_ = false;
};
