// Tailoring of the main menu to the units found: the clock and I/O items a
// unit does not have are deleted, those that mean something else on its
// type are renamed, and what no unit can use is greyed. Portable: the plan
// is a list of edits that the frame applies to its menu in order.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

struct MenuUnit {
  int32_t cardOnly;    // a card without host interface
  int32_t ioType;      // I/O unit type code: 5..17 or 100
  int32_t hwKind;      // hardware kind; 2 and 3 matter here
  int32_t mixDsps;     // the card has mixer DSPs
  int32_t rate96k;     // the unit layer's 64-96 kHz test
};

enum MenuEditKind : int32_t {
  kMenuDeleteId,    // delete item `id`
  kMenuRenameId,    // item `id` takes string `text`
  kMenuDeletePos,   // delete the entry at `pos` of the sub-menu at `path`
  kMenuGreyPos,     // grey the entry at `pos` of the sub-menu at `path`
  kMenuGreyId,      // grey item `id`
};

// Sub-menus of Settings: Master Clock (0), W/S Clock Out (1), I/O mode (2)
// and its 64-96KHz (0), MADI 64-96KHz (1), MADI (2) and AES (3).
struct MenuPath {
  int32_t settings;  // position in Settings
  int32_t io;        // position in I/O mode, -1 for the Settings sub-menu itself
};

struct MenuEdit {
  MenuEditKind kind;
  uint32_t id;
  uint32_t text;
  MenuPath path;
  int32_t pos;
};

// The edits for `count` units (0..4) of `units`, in the order start-up makes
// them: the clock and I/O items per unit, the absent units, the greying of
// unsupported I/O, the tracks above 128.
std::vector<MenuEdit> MainMenuSetupEdits(const MenuUnit* units, int count);
