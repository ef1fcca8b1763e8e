// The main menu's state each time it opens: which items are enabled and which
// greyed, by the documents, the transport, the clocks and the sync board.
// Portable: the frame gathers the state and applies the list in its order (a
// later entry for an item wins).
#pragma once

#include <cstdint>
#include <vector>

struct MenuInitState {
  int32_t transport = 2;        // 0 rewind, 1 fast forward, 2 stop, 3 play, 4 record
  int32_t arrChanged = 0;       // arrangement change count is not 0
  int32_t arrNamed = 0;
  int32_t mixChanged = 0;
  int32_t mixNamed = 0;
  int32_t videoOpen = 0;        // a video file is open
  int32_t tempoMap = 0;         // a tempo map is loaded
  int32_t tapeTransBar = 0;     // the tape-transport bar exists
  uint32_t playRecMode = 0;
  uint32_t syncIn = 40501;
  uint32_t mclkUnit1 = 40408;   // unit 1's master clock
  int32_t videoSynced = 0;      // VSyncedMClk
  int32_t syncInTrigOnly = 0;
  int32_t unit1Host = 0;        // unit 1 has a host interface
  int32_t canUndo = 0;
  int32_t canRedo = 0;
  int32_t syncBoard = 0;        // S: unit 1 has a sync board
  int32_t syncSetupFlag = 0;    // the unit layer's sync set-up flag
  int32_t unit1Answer = 0;      // the unit layer's answer for unit 1
  int32_t nineSync = 0;         // a 9-pin sync mode is on
  uint32_t syncOut = 0;
  int32_t arrangeWnd = 0;       // the arrange window is open
  int32_t anyMixDsps = 0;       // some unit has mixer DSPs
  int32_t snapOn = 0;
};

// Items addressed by position: the File pop-up of the menu bar, and the
// sub-menus of the Settings pop-up (position 2) at their positions.
constexpr uint32_t kMenuFilePopup = 0x10000;
constexpr uint32_t kMenuSettingsSub = 0x20000;  // + position in Settings
constexpr uint32_t kMenuSettingsPos = 2;

struct MenuItemState {
  uint32_t id;  // command id, or kMenuFilePopup, or kMenuSettingsSub + position
  bool enabled;
  bool operator==(const MenuItemState& o) const { return id == o.id && enabled == o.enabled; }
};

std::vector<MenuItemState> MainMenuInitItems(const MenuInitState& s);

// The last state the list gives an item; -1 when it names the item nowhere.
int MenuItemFinalState(const std::vector<MenuItemState>& items, uint32_t id);
