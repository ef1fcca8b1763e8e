// Growable heap blocks, tick and performance-counter timing, the keyboard
// state and debugger output.
#pragma once

#include <windows.h>

#include <cstdint>

// HeapReAlloc of `block` to `size` rounded up to a multiple of `step`
// (kHeapGrowStep for the program's blocks); a null block is allocated.
// Returns the block, or 0 when the heap refuses or the rounded size exceeds
// 32 bits.
void* HeapGrow(HANDLE heap, DWORD flags, void* block, uint32_t size, uint32_t step);

// Milliseconds from `start` (a GetTickCount value) to now; the tick count is
// read until two reads agree.
uint32_t TicksSince(uint32_t start);

// Busy-waits `ms` milliseconds.
void WaitTicks(uint32_t ms);

// 1 while the key is held down.
int IsKeyDown(int key);

// Microseconds as performance-counter ticks.
int64_t UsToQpcTicks(int64_t us);

// Busy-waits until the performance counter has advanced by `ticks`.
void QpcWait(int64_t ticks);

// The performance counter in units of 100 ns.
int64_t QpcNow100ns();

// Sets `fn` to the library's export `name` (null for a null library or a
// missing export); true when it was found.
template <class Fn>
bool BindExport(HMODULE lib, Fn& fn, const char* name) {
  fn = lib ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name))) : nullptr;
  return fn != nullptr;
}

// Loads `dll` on the first call and binds its exports into one table with
// `bind(lib, table)`; later calls answer from that first try. Null when the
// library is missing or lacks an export (the library is then freed).
template <class Table, class Bind>
const Table* BindLibraryOnce(const char* dll, Bind bind) {
  static Table table;
  static const bool bound = [&] {
    HMODULE lib = LoadLibraryA(dll);
    if (lib == nullptr) return false;
    if (bind(lib, table)) return true;
    FreeLibrary(lib);
    return false;
  }();
  return bound ? &table : nullptr;
}

// OutputDebugStringA of the formatted text, cut to 259 characters.
void DebugPrint(const char* format, ...);
