#include "sysutil.h"

#include <cstdarg>

#include "mixer/model/util/format.h"
#include "mixer/model/util/numbers.h"

void* HeapGrow(HANDLE heap, DWORD flags, void* block, uint32_t size, uint32_t step) {
  uint32_t grown = HeapGrowSize(size, step);
  if (grown == 0 && size != 0) return nullptr;
  return block ? HeapReAlloc(heap, flags, block, grown) : HeapAlloc(heap, flags, grown);
}

static uint32_t StableTickCount() {
  DWORD a = GetTickCount();
  for (;;) {
    DWORD b = GetTickCount();
    if (a == b) return a;
    a = b;
  }
}

uint32_t TicksSince(uint32_t start) { return StableTickCount() - start; }

void WaitTicks(uint32_t ms) {
  const uint32_t start = StableTickCount();
  while (TicksSince(start) < ms) {
  }
}

int IsKeyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

static int64_t QpcFrequency() {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return f.QuadPart;
}

static int64_t QpcCounter() {
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return c.QuadPart;
}

// a * b / c without overflowing the product for counter-sized values: the
// whole multiples of c first, then the remainder.
static int64_t ScaleCount(int64_t a, int64_t b, int64_t c) {
  return a / c * b + a % c * b / c;
}

int64_t UsToQpcTicks(int64_t us) { return ScaleCount(us, QpcFrequency(), 1000000); }

void QpcWait(int64_t ticks) {
  const int64_t start = QpcCounter();
  while (QpcCounter() - start < ticks) {
  }
}

int64_t QpcNow100ns() { return ScaleCount(QpcCounter(), 10000000, QpcFrequency()); }

void DebugPrint(const char* format, ...) {
  char text[260];
  va_list args;
  va_start(args, format);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
}
