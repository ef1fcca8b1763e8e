// CSysTime: the performance counter in 100-ns units.
#include "Drv/Qvdrv/clock.h"
#include "Drv/Qvdrv/qvdrv_private.h"

DWORD CSysTime::m_scale = 0;

namespace {
// Kept for counters too slow for the 32-bit scale word.
ULONGLONG g_frequency = 0;
}  // namespace

void WINAPI CSysTime::Init() {
  // The frequency is read on processor 0: on some machines each processor
  // has its own counter.
  HANDLE self = GetCurrentThread();
  DWORD_PTR previous = SetThreadAffinityMask(self, 1);
  LARGE_INTEGER f{};
  QueryPerformanceFrequency(&f);
  if (previous) SetThreadAffinityMask(self, previous);
  g_frequency = static_cast<ULONGLONG>(f.QuadPart);
  if (static_cast<DWORD>(f.QuadPart)) m_scale = qvclock::ScaleFor(g_frequency);
}

ULONGLONG WINAPI CSysTime::Timer() {
  LARGE_INTEGER c{};
  QueryPerformanceCounter(&c);
  return qvclock::TimeOf(static_cast<uint64_t>(c.QuadPart), m_scale, g_frequency);
}

DWORD WINAPI CSysTime::Delta(DWORD stamp) { return qvclock::Delta(Timer(), stamp); }
