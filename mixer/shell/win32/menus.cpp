// The shell services of the main menu, the wait cursor and the message pump
// that the model calls.
#include <windows.h>

#include "mixer/model/win32/dialogs.h"
#include "mixer/shell/services.h"
#include "mixer/shell/wndtable.h"

namespace {

HMENU MainMenu() { return WndTable[kMainWnd] ? GetMenu(WndTable[kMainWnd]) : nullptr; }

HCURSOR savedCursor = nullptr;

}  // namespace

void MainMenuCheckRadio(uint32_t first, uint32_t last, uint32_t chosen) {
  if (HMENU menu = MainMenu()) CheckMenuRadioItem(menu, first, last, chosen, MF_BYCOMMAND);
}

void MainMenuCheck(uint32_t id, int checked) {
  if (HMENU menu = MainMenu())
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MainMenuSetItem(uint32_t id, const char* text, int enabled) {
  HMENU menu = MainMenu();
  if (!menu) return;
  UINT flags = MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED);
  ModifyMenuA(menu, id, flags, id, text);
}

void MainCursorWait() { savedCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

void MainCursorArrow() { savedCursor = SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

void MainCursorRestore() { SetCursor(savedCursor); }

void DispatchPendingMessages() {
  // Bounded, so that a flood of messages cannot hold the caller's walk.
  PumpWaitingMessages(64);
}
