#include "appwnd.h"

#include "mixer/model/options.h"
#include "mixer/shell/wndtable.h"

static int g_modalCount = 0;
static int g_disableCount = 0;

int ModalCount() { return g_modalCount; }

ModalScope::ModalScope() { ++g_modalCount; }
ModalScope::~ModalScope() { --g_modalCount; }

void FloatWndsZOrder(int behind) {
  HWND order = behind ? HWND_NOTOPMOST : HWND_TOPMOST;
  for (int i = 0; i < kFloatWndCount; ++i) {
    HWND wnd = WndTable[kFloatWnds[i]];
    if (wnd && AlwaysOnTop[i]) SetWindowPos(wnd, order, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  }
}

static void EnableAll(BOOL enable) {
  for (WndId id : kAppWnds)
    if (WndTable[id]) EnableWindow(WndTable[id], enable);
}

void EnableAppWindows(int enable) {
  if (enable) {
    // An unmatched enable must not drive the count below 0: the windows
    // would then stay enabled through the next long operation.
    if (g_disableCount == 0) return;
    if (--g_disableCount == 0) {
      EnableAll(TRUE);
      FloatWndsZOrder(0);
      return;
    }
  } else if (++g_disableCount == 1) {
    FloatWndsZOrder(1);
  }
  EnableAll(FALSE);
}

int AppWindowsDisabled() { return g_disableCount != 0; }

void DisableAppWindowsAgain() {
  if (g_disableCount) EnableAll(FALSE);
}

static bool IsAppWindow(HWND wnd) {
  if (!wnd) return false;
  for (WndId id : kAppWnds)
    if (WndTable[id] == wnd) return true;
  return false;
}

int IsModalState() {
  if (GetCapture()) return 1;
  return AllKeyInpToMixElem && !IsAppWindow(GetActiveWindow());
}
