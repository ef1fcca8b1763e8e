// Pool, counted strings, the clock and multiply-divide of the kernel
// services layer.
#include "kernel/services.h"

#include <cstring>

// ---- pool ---------------------------------------------------------------

// The kernel's pool is not cleared; every block of the driver is.
void* KsAllocatePool(POOL_TYPE type, size_t bytes) {
  void* p = ExAllocatePoolWithTag(type, bytes, KsPoolTag);
  if (p) std::memset(p, 0, bytes);
  return p;
}
void* KsAllocate(size_t bytes) { return KsAllocatePool(NonPagedPool, bytes); }

void* KsAllocateTail(size_t bytes, size_t tail) {
  if (tail > SIZE_MAX - bytes) return nullptr;
  return KsAllocate(bytes + tail);
}

void* KsAllocateInit(size_t bytes) {
  void* p = ExAllocatePoolWithTag(PagedPool, bytes, KsInitPoolTag);
  if (!p) ExRaiseStatus(STATUS_INSUFFICIENT_RESOURCES);
  std::memset(p, 0, bytes);
  return p;
}

void KsFree(void* block) {
  if (block) ExFreePool(block);
}

// ---- counted strings ----------------------------------------------------------

namespace {
WCHAR Upper(WCHAR c) { return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

bool SameChars(const WCHAR* a, const WCHAR* b, size_t n, bool ignoreCase) {
  for (size_t i = 0; i < n; ++i)
    if (ignoreCase ? Upper(a[i]) != Upper(b[i]) : a[i] != b[i]) return false;
  return true;
}

// Room left in chars, keeping one for a terminating zero.
size_t Room(const UNICODE_STRING* s) {
  size_t cap = s->MaximumLength / 2, used = s->Length / 2;
  return cap > used + 1 ? cap - used - 1 : 0;
}

void Terminate(UNICODE_STRING* s) {
  if (s->Length + 2u <= s->MaximumLength) s->Buffer[s->Length / 2] = 0;
}
}  // namespace

UNICODE_STRING* KsStringAlloc(uint16_t capacityChars, bool init) {
  if (capacityChars > 0x7FFE) return nullptr;
  size_t bytes = sizeof(UNICODE_STRING) + size_t(capacityChars) * 2;
  auto* s = static_cast<UNICODE_STRING*>(init ? KsAllocateInit(bytes) : KsAllocate(bytes));
  if (!s) return nullptr;
  s->Buffer = reinterpret_cast<WCHAR*>(s + 1);
  s->Length = 0;
  s->MaximumLength = static_cast<uint16_t>(capacityChars * 2);
  return s;
}

void KsStringFree(UNICODE_STRING* s) { KsFree(s); }

NTSTATUS KsStringAppend(UNICODE_STRING* s, const UNICODE_STRING* tail) {
  size_t n = tail->Length / 2;
  if (n > Room(s)) return STATUS_BUFFER_TOO_SMALL;
  if (n) std::memcpy(s->Buffer + s->Length / 2, tail->Buffer, n * 2);
  s->Length = static_cast<uint16_t>(s->Length + n * 2);
  Terminate(s);
  return STATUS_SUCCESS;
}

NTSTATUS KsStringAppendText(UNICODE_STRING* s, const WCHAR* text) {
  UNICODE_STRING t = KsStringOf(text);
  return KsStringAppend(s, &t);
}

NTSTATUS KsStringAppendChar(UNICODE_STRING* s, WCHAR c) {
  if (Room(s) < 1) return STATUS_BUFFER_TOO_SMALL;
  s->Buffer[s->Length / 2] = c;
  s->Length = static_cast<uint16_t>(s->Length + 2);
  Terminate(s);
  return STATUS_SUCCESS;
}

NTSTATUS KsStringAppendNumber(UNICODE_STRING* s, uint32_t value, uint32_t base) {
  if (base < 2 || base > 16) return STATUS_INVALID_PARAMETER;
  WCHAR digits[33];
  size_t n = 0;
  do {
    uint32_t d = value % base;
    digits[n++] = static_cast<WCHAR>(d < 10 ? u'0' + d : u'A' + d - 10);
    value /= base;
  } while (value);
  if (n > Room(s)) return STATUS_BUFFER_TOO_SMALL;
  while (n) KsStringAppendChar(s, digits[--n]);
  return STATUS_SUCCESS;
}

bool KsStringEqual(const UNICODE_STRING* a, const UNICODE_STRING* b, bool ignoreCase) {
  return a->Length == b->Length && SameChars(a->Buffer, b->Buffer, a->Length / 2, ignoreCase);
}

bool KsStringPrefix(const UNICODE_STRING* prefix, const UNICODE_STRING* s, bool ignoreCase) {
  return prefix->Length <= s->Length && SameChars(prefix->Buffer, s->Buffer, prefix->Length / 2, ignoreCase);
}

void KsStringFixLength(UNICODE_STRING* s) {
  size_t n = 0, cap = s->MaximumLength / 2;
  while (n < cap && s->Buffer[n]) ++n;
  s->Length = static_cast<uint16_t>(n * 2);
}

UNICODE_STRING KsStringOf(const WCHAR* text) {
  UNICODE_STRING s;
  RtlInitUnicodeString(&s, text);
  return s;
}

// ---- clock ---------------------------------------------------------------------

namespace {
// The performance-counter frequency, read once at start-up; times are
// counter ticks scaled by it, split so that no product overflows.
int64_t g_frequency = 1;

int64_t Scale(int64_t ticks, int64_t unitsPerSecond) {
  return ticks / g_frequency * unitsPerSecond + ticks % g_frequency * unitsPerSecond / g_frequency;
}
}  // namespace

void KsClockStart() {
  int64_t frequency;
  KeQueryPerformanceCounter(&frequency);
  g_frequency = frequency > 0 ? frequency : 1;
}

int64_t KsTime100ns() { return Scale(KeQueryPerformanceCounter(nullptr), 10000000); }
uint32_t KsTimeMs() { return static_cast<uint32_t>(Scale(KeQueryPerformanceCounter(nullptr), 1000)); }

uint32_t KsSleepMs(uint32_t ms) {
  if (ms) {
    int64_t interval = -int64_t(ms) * 10000;
    KeDelayExecutionThread(KernelMode, false, &interval);
  }
  return KsTimeMs();
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (a == 0) return 0;
  if (c == 0) return -1;
  int64_t p = int64_t(a) * b;
  int64_t q = p / c, r = p % c;
  // Half away from zero: the remainder is at least half the divisor.
  if (2 * (r < 0 ? -r : r) >= (c < 0 ? -int64_t(c) : c)) q += ((p < 0) != (c < 0)) ? -1 : 1;
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int32_t>(q);
}
