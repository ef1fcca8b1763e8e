// The periodic timer the main program uses as its clock tick: a multimedia
// timer that counts a tick and then sets an auto-reset event.
#include "Drv/Qvdrv/qvdrv_private.h"

#include <mmsystem.h>

namespace {

void CALLBACK TimerTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* t = reinterpret_cast<QVTIMER*>(user);
  InterlockedIncrement(reinterpret_cast<volatile LONG*>(&t->ticks));
  SetEvent(t->event);
}

}  // namespace

extern "C" BOOL WINAPI CreateTimer(QVTIMER* t, UINT periodMs) {
  if (!t || periodMs == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  t->period = periodMs;
  t->id = 0;
  t->event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (t->event && timeBeginPeriod(periodMs) == TIMERR_NOERROR) {
    t->id = timeSetEvent(periodMs, periodMs, TimerTick, reinterpret_cast<DWORD_PTR>(t),
                         TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
    if (t->id) return TRUE;
    timeEndPeriod(periodMs);
  }
  DWORD error = GetLastError();
  DeleteTimer(t);
  SetLastError(error ? error : ERROR_NOT_ENOUGH_MEMORY);
  return FALSE;
}

// Clears what it closed, so that a failed CreateTimer followed by the
// caller's DeleteTimer closes nothing twice.
extern "C" void WINAPI DeleteTimer(QVTIMER* t) {
  if (!t) return;
  if (t->id) {
    timeKillEvent(t->id);
    timeEndPeriod(t->period);
    t->id = 0;
  }
  if (t->event) CloseHandle(t->event);
  t->event = nullptr;
}
