// The private heaps the program's blocks come from: a Win32 heap of its own
// per BlockHeap in the Windows builds, the process allocator elsewhere.
#pragma once

#include <cstddef>

// A new growable heap with no options; null when the system refuses it.
void* SysHeapCreate();
// Ends the heap and every block still in it.
void SysHeapDestroy(void* heap);
// Re-allocates `raw` (null: allocates) to `size` bytes in `heap`, keeping
// its bytes; null when the heap has no room, `raw` then unchanged.
void* SysHeapRealloc(void* heap, void* raw, size_t size);
void SysHeapFree(void* heap, void* raw);
