// The device interface library's services that the shell uses.
#pragma once

#include <windows.h>

// The periodic timer block: the event, the timer id, the period, a word the
// library leaves alone and the tick count.
struct QVTIMER {
  HANDLE event;
  UINT id;
  UINT period;
  DWORD reserved;
  DWORD ticks;
};

extern "C" {
// Creates the auto-reset event and a periodic multimedia timer that counts a
// tick and sets it; 1, or 0 after undoing what it did.
int CreateTimer(QVTIMER* timer, UINT period);
// Kills the timer and closes the event; a null block is ignored.
void DeleteTimer(QVTIMER* timer);
// The thread's last error as text, in the library's one buffer.
const char* GetLastErrorText();
}
