#include "blockheap.h"

#include <cstdlib>
#include <cstring>

#include "mixer/model/util/numbers.h"
#include "sysheap.h"

namespace {

// Each block is preceded by a header carrying its rounded size; the header
// is 16 bytes so that the caller's bytes keep the allocator's alignment.
struct BlockHead {
  uint32_t Size;
  uint32_t Private;  // 1 when the block is in the heap's private heap
  uint32_t Pad[2];
};
static_assert(sizeof(BlockHead) == 16);

BlockHead* HeadOf(void* block) { return static_cast<BlockHead*>(block) - 1; }
const BlockHead* HeadOf(const void* block) { return static_cast<const BlockHead*>(block) - 1; }

// The rounded size of a request; 0 when it cannot be had (the rounding
// passes 32 bits). A request of 0 bytes still gets one step.
uint32_t Rounded(uint32_t size) { return HeapGrowSize(size == 0 ? 1 : size, kHeapGrowStep); }

}  // namespace

bool BlockHeap::TakeFailure() {
  bool fail = failNext_;
  failNext_ = false;
  return fail;
}

void* BlockHeap::Alloc(uint32_t size) { return Grow(nullptr, size); }

void* BlockHeap::Grow(void* block, uint32_t size) {
  if (TakeFailure()) return nullptr;
  uint32_t rounded = Rounded(size);
  if (rounded == 0) return nullptr;
  uint32_t old = Size(block);
  if (rounded <= old) return block;
  // A block stays in the heap it was first allocated from.
  const bool inPrivate = block ? HeadOf(block)->Private != 0 : sys_ != nullptr;
  void* oldRaw = block ? HeadOf(block) : nullptr;
  const size_t bytes = sizeof(BlockHead) + size_t{rounded};
  void* raw = inPrivate ? SysHeapRealloc(sys_, oldRaw, bytes) : std::realloc(oldRaw, bytes);
  if (raw == nullptr) return nullptr;
  auto* head = static_cast<BlockHead*>(raw);
  head->Size = rounded;
  head->Private = inPrivate ? 1 : 0;
  std::memset(reinterpret_cast<uint8_t*>(head + 1) + old, 0, rounded - old);
  if (block == nullptr) {
    ++blocks_;
    if (inPrivate) ++privateBlocks_;
  }
  return reinterpret_cast<uint8_t*>(head + 1);
}

void BlockHeap::Free(void* block) {
  if (block == nullptr) return;
  if (HeadOf(block)->Private) {
    SysHeapFree(sys_, HeadOf(block));
    --privateBlocks_;
  } else {
    std::free(HeadOf(block));
  }
  --blocks_;
}

int BlockHeap::Create() {
  if (sys_) return 1;
  if (TakeFailure()) return 0;
  sys_ = SysHeapCreate();
  return sys_ != nullptr;
}

void BlockHeap::Destroy() {
  if (!sys_) return;
  SysHeapDestroy(sys_);
  sys_ = nullptr;
  blocks_ -= privateBlocks_;
  privateBlocks_ = 0;
}

uint32_t BlockHeap::Size(const void* block) { return block ? HeadOf(block)->Size : 0; }
