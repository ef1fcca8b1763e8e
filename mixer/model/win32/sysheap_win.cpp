// Private heaps as Win32 heaps: each created growable with no options, so
// that destroying one returns all its blocks at once.
#include <windows.h>

#include "mixer/model/sysheap.h"

void* SysHeapCreate() { return HeapCreate(0, 0, 0); }

void SysHeapDestroy(void* heap) {
  if (heap) HeapDestroy(static_cast<HANDLE>(heap));
}

void* SysHeapRealloc(void* heap, void* raw, size_t size) {
  HANDLE h = static_cast<HANDLE>(heap);
  return raw ? HeapReAlloc(h, 0, raw, size) : HeapAlloc(h, 0, size);
}

void SysHeapFree(void* heap, void* raw) {
  if (raw) HeapFree(static_cast<HANDLE>(heap), 0, raw);
}
