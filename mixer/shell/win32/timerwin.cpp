// The timer procedure's Windows side: the callback itself and what it asks
// of the windows.
#include <windows.h>
#include <mmsystem.h>

#include "mixer/model/win32/appwnd.h"
#include "mixer/shell/timer.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {
// The window that asked for the blink message, if any.
HWND blinkWnd = nullptr;
}  // namespace

void SetBlinkWnd(HWND wnd) { blinkWnd = wnd; }

void CALLBACK MainTimerProc(HWND, UINT, UINT_PTR, DWORD) { MainTimerTick(timeGetTime()); }

void TimerPostBlink() {
  if (blinkWnd) PostMessageA(blinkWnd, WMU_BLINK, 0, 0);
}
int TimerMouseCaptured() { return GetCapture() ? 1 : 0; }
int TimerModalOpen() { return ModalCount() > 0 ? 1 : 0; }
void TimerShowAudioReserve(int32_t reserve) {
  if (WndTable[kAudBufWnd]) AudBufUpdate(reserve < 0 ? 0u : static_cast<uint32_t>(reserve));
}
void TimerShowNow(int32_t) {
  TransportShowNowBars();
  TransportShowNowTimecode();
}
