// A private heap of growable blocks, as the arrangement and the marker list
// use them: a block is allocated zero-filled and grows by re-allocation to
// its needed size rounded up to kHeapGrowStep, so it may move; its owner
// keeps indexes, never pointers, into it. Portable, so that the model's code
// and its tests run the same in every build.
//
// The program creates each heap as a private heap of its own (a Win32 heap in
// the Windows builds) and destroys it at the end, which returns every block
// still in it. A heap that was never created takes its blocks from the
// process allocator, as the model's tests use it; each block remembers which
// of the two it came from.
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

  // Makes the heap private; 0 when the system refuses it (or after
  // FailNext). Blocks allocated before stay where they are.
  int Create();
  // Ends the private heap with every block still in it; later blocks come
  // from the process allocator again.
  void Destroy();
  bool Created() const { return sys_ != nullptr; }

  // Bytes the block holds (its rounded size); 0 for null.
  static uint32_t Size(const void* block);

  // Blocks allocated and not yet freed.
  uint32_t Blocks() const { return blocks_; }

  // Makes the next Alloc, Grow or Create fail as if the heap had no room
  // (tests of the memory-exhaustion paths).
  void FailNext() { failNext_ = true; }

 private:
  bool TakeFailure();

  uint32_t blocks_ = 0;
  uint32_t privateBlocks_ = 0;  // of blocks_, those in the private heap
  void* sys_ = nullptr;         // the private heap, null before Create
  bool failNext_ = false;
};
