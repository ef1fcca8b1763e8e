// The shell services of the main menu, the wait cursor and the message pump
// that the model calls.
#include <windows.h>

#include "mixer/model/docnames.h"
#include "mixer/model/options.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/undo.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/mix/services.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/menuinit.h"
#include "mixer/shell/menusetup.h"
#include "mixer/model/util/win32/winstr.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

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

namespace {

MenuInitState GatherMenuState() {
  MenuInitState s;
  s.transport = TransportState();
  s.arrChanged = ArrChangeCountGet() != 0;
  s.arrNamed = ArrIsNamed();
  s.mixChanged = MixChangeCountGet() != 0;
  s.mixNamed = MixIsNamed();
  s.videoOpen = VideoFileIsOpen();
  s.tempoMap = TempoMap != nullptr;
  s.tapeTransBar = WndTable[kTapeTransBar] != nullptr;
  s.playRecMode = Settings().PlayRecMode;
  s.syncIn = GetSyncIn();
  s.mclkUnit1 = GetMClkUnit(0);
  s.videoSynced = VSyncedMClk;
  s.syncInTrigOnly = SyncInTrigOnly;
  s.unit1Host = UnitCount() > 0 && UnitHasHostUnit(1);
  s.canUndo = UndoGetLevel() > 0;
  s.canRedo = UndoHasRedo();
  s.syncBoard = UnitCount() > 0 && UnitHasSyncBoard(0);
  s.syncSetupFlag = 0;
  s.unit1Answer = UnitsClockLinkedToFirst();
  s.nineSync = NinePinSyncEnabled();
  s.syncOut = static_cast<uint32_t>(SyncOut);
  s.arrangeWnd = WndTable[kArrangeWnd] != nullptr;
  for (int u = 0; u < UnitCount() && u < 4; ++u) s.anyMixDsps |= UnitHasMixDsps(u + 1) ? 1 : 0;
  s.snapOn = Settings().SnapEnable != 0;
  return s;
}

void EnableItem(HMENU menu, const MenuItemState& item) {
  const UINT state = item.enabled ? MF_ENABLED : MF_GRAYED;
  if (item.id == kMenuFilePopup) {
    EnableMenuItem(menu, 0, MF_BYPOSITION | state);
  } else if (item.id >= kMenuSettingsSub && item.id < kMenuSettingsSub + 0x100) {
    if (HMENU settings = GetSubMenu(menu, kMenuSettingsPos))
      EnableMenuItem(settings, item.id - kMenuSettingsSub, MF_BYPOSITION | state);
  } else {
    EnableMenuItem(menu, item.id, MF_BYCOMMAND | state);
  }
}

}  // namespace

void MainMenuInit(HWND wnd) {
  if (DetMixElemChanges && MixChangeCountGet() == 0 && MixElemStatesChanged())
    MixChangeCountSet(1);
  HMENU menu = GetMenu(wnd);
  if (!menu) return;
  for (const MenuItemState& item : MainMenuInitItems(GatherMenuState())) EnableItem(menu, item);
}

namespace {

HMENU SettingsSubMenu(HMENU bar, const MenuPath& path) {
  HMENU sub = GetSubMenu(GetSubMenu(bar, kMenuSettingsPos), path.settings);
  return path.io >= 0 && sub ? GetSubMenu(sub, path.io) : sub;
}

void ApplyEdit(HMENU bar, const MenuEdit& e) {
  switch (e.kind) {
    case kMenuDeleteId:
      DeleteMenu(bar, e.id, MF_BYCOMMAND);
      break;
    case kMenuRenameId:
      MenuSetTextById(bar, e.id, MF_BYCOMMAND, e.id, e.text);
      break;
    case kMenuDeletePos:
      if (HMENU sub = SettingsSubMenu(bar, e.path)) DeleteMenu(sub, e.pos, MF_BYPOSITION);
      break;
    case kMenuGreyPos:
      if (HMENU sub = SettingsSubMenu(bar, e.path))
        EnableMenuItem(sub, e.pos, MF_BYPOSITION | MF_GRAYED);
      break;
    case kMenuGreyId:
      EnableMenuItem(bar, e.id, MF_BYCOMMAND | MF_GRAYED);
      break;
  }
}

}  // namespace

void MainMenuTailor() {
  HMENU bar = MainMenu();
  if (!bar) return;
  MenuUnit units[4] = {};
  const int count = UnitCount() < 4 ? UnitCount() : 4;
  for (int u = 0; u < count; ++u)
    units[u] = {UnitHasHostUnit(u + 1) ? 0 : 1, int32_t(UnitIoType(u + 1)), UnitHwKind(u + 1), UnitHasMixDsps(u + 1),
                UnitRate96kCapable(u + 1)};
  for (const MenuEdit& e : MainMenuSetupEdits(units, count)) ApplyEdit(bar, e);
}
