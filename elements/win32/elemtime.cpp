#include <cstdarg>

#include "elements/win32/elemwin.h"
#include "mixer/model/util/format.h"

int ElemKeyDown(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) ? 1 : 0; }

DWORD ElemTicksSince(DWORD start) {
  // Two equal reads in a row: the count did not change under the read.
  DWORD now = GetTickCount();
  for (DWORD again = GetTickCount(); again != now; again = GetTickCount()) now = again;
  return now - start;
}

void ElemWaitCounts(int64_t n) {
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  do {
    QueryPerformanceCounter(&now);
  } while (now.QuadPart - start.QuadPart < n);
}

void ElemDebugPrint(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  FormatTextV(text, sizeof text, format, args);
  va_end(args);
  OutputDebugStringA(text);
}
