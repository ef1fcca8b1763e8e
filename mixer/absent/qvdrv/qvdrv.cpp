// The device library's services that the program uses before the library
// itself exists: a periodic multimedia timer that sets an auto-reset event
// and counts ticks, and the text of the thread's last error.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "mixer/shell/win32/qvdrv.h"

namespace {

void CALLBACK TimerTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* timer = reinterpret_cast<QVTIMER*>(user);
  InterlockedIncrement(reinterpret_cast<volatile LONG*>(&timer->ticks));
  SetEvent(timer->event);
}

}  // namespace

extern "C" int CreateTimer(QVTIMER* timer, UINT period) {
  if (!timer || period == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  timer->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!timer->event) return 0;
  timer->period = period;
  timer->ticks = 0;
  timeBeginPeriod(period);
  timer->id = timeSetEvent(period, 0, TimerTick, reinterpret_cast<DWORD_PTR>(timer),
                           TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
  if (timer->id) return 1;
  timeEndPeriod(period);
  CloseHandle(timer->event);
  timer->event = nullptr;
  return 0;
}

extern "C" void DeleteTimer(QVTIMER* timer) {
  if (!timer) return;
  if (timer->id) {
    timeKillEvent(timer->id);
    timeEndPeriod(timer->period);
    timer->id = 0;
  }
  if (timer->event) CloseHandle(timer->event);
  timer->event = nullptr;
}

extern "C" const char* GetLastErrorText() {
  static char text[512];
  DWORD error = GetLastError();
  char message[512];
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, message, sizeof message, nullptr);
  while (n > 0 && (message[n - 1] == '\r' || message[n - 1] == '\n')) message[--n] = 0;
  if (n == 0 || n > 498) {
    std::snprintf(text, sizeof text, "LastError = %lu", static_cast<unsigned long>(error));
  } else {
    std::snprintf(text, sizeof text, "%s (%lu)", message, static_cast<unsigned long>(error));
  }
  SetLastError(error);
  return text;
}
