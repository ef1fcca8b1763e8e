// Without Win32 heaps, a private heap is a set of blocks from the process
// allocator, so that destroying it returns them all as a Win32 heap does.
#include "sysheap.h"

#include <cstdlib>
#include <new>
#include <set>

namespace {
using Blocks = std::set<void*>;
}

void* SysHeapCreate() { return new (std::nothrow) Blocks; }

void SysHeapDestroy(void* heap) {
  auto* blocks = static_cast<Blocks*>(heap);
  if (!blocks) return;
  for (void* raw : *blocks) std::free(raw);
  delete blocks;
}

void* SysHeapRealloc(void* heap, void* raw, size_t size) {
  auto* blocks = static_cast<Blocks*>(heap);
  void* moved = std::realloc(raw, size);
  if (!moved) return nullptr;
  blocks->erase(raw);
  blocks->insert(moved);
  return moved;
}

void SysHeapFree(void* heap, void* raw) {
  static_cast<Blocks*>(heap)->erase(raw);
  std::free(raw);
}
