// The message pump of long operations inside dialogs. A file of its own:
// it reaches the shell's accelerator table, which only the callers need.
#include "dialogs.h"
#include "mixer/shell/services.h"
#include "mixer/shell/wndtable.h"

void PumpWaitingMessages(int count) {
  HACCEL accel = static_cast<HACCEL>(MainAccelTable());
  HWND main = WndTable[kMainWnd];
  MSG msg;
  for (int i = 0; i < count && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (accel && main && TranslateAcceleratorA(main, accel, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
