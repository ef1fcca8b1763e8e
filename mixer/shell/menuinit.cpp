#include "mixer/shell/menuinit.h"

namespace {

class Items {
 public:
  explicit Items(std::vector<MenuItemState>& out) : out_(out) {}
  void Set(uint32_t id, bool enabled) { out_.push_back({id, enabled}); }
  void Range(uint32_t first, uint32_t last, bool enabled) {
    for (uint32_t id = first; id <= last; ++id) Set(id, enabled);
  }

 private:
  std::vector<MenuItemState>& out_;
};

constexpr int kStop = 2, kPlay = 3, kRecord = 4;
constexpr uint32_t kSyncInInternal = 40501;
constexpr uint32_t kClockInternal = 40408;

void Documents(const MenuInitState& s, Items& m) {
  m.Set(41003, s.arrChanged && s.arrNamed);
  m.Set(41010, s.mixChanged && s.mixNamed);
  m.Set(41016, s.videoOpen != 0);
  m.Set(41018, s.tempoMap != 0);
}

void Transport(const MenuInitState& s, Items& m) {
  const bool stopped = s.transport == kStop;
  if (!stopped || !s.tapeTransBar) {
    m.Range(41421, 41427, false);
  } else {
    m.Range(41421, 41424, true);
    m.Set(41427, true);
    m.Range(41425, 41426, !s.tempoMap);
  }
  if (s.transport == kRecord) {
    m.Range(41428, 41430, false);
    if (!(s.playRecMode & 0x80)) m.Range(41431, 41432, false);
    m.Set(41560, false);
    m.Range(41824, 41827, false);
  } else {
    m.Range(41428, 41429, true);
    m.Set(41430, s.syncIn == kSyncInInternal);
    m.Range(41431, 41432, true);
    m.Set(41560, s.transport != kPlay);
    m.Range(41824, 41827, s.transport != kPlay);
  }
  // The File menu and the Settings sub-menus Master Clock, W/S Clock Out,
  // I/O mode and Sample Rate.
  m.Set(kMenuFilePopup, stopped);
  for (uint32_t pos : {0u, 1u, 2u, 4u}) m.Set(kMenuSettingsSub + pos, stopped);
  if (stopped) {
    m.Set(41443, true);
    m.Set(41846, true);
    m.Set(41847, !s.tempoMap);
    m.Set(41608, s.unit1Host != 0);
    m.Range(41609, 41610, true);
    m.Range(41813, 41814, true);
    m.Set(41840, true);
    m.Set(41841, s.videoOpen != 0);
    m.Set(41440, s.canUndo != 0);
    m.Set(41441, s.canRedo != 0);
  } else {
    m.Set(41443, false);
    m.Range(41846, 41847, false);
    m.Range(41608, 41610, false);
    m.Range(41813, 41814, false);
    m.Range(41840, 41841, false);
    m.Set(41440, false);
    m.Set(41441, false);
  }
}

void Clocks(const MenuInitState& s, Items& m) {
  const bool internal = s.mclkUnit1 == kClockInternal;
  m.Set(41600, internal && !s.videoSynced && (s.syncInTrigOnly || s.syncIn == kSyncInInternal));
  m.Range(41580, 41590, internal);
}

void Sync(const MenuInitState& s, Items& m) {
  const bool S = s.syncBoard != 0;
  const bool stopped = s.transport == kStop;
  const bool linked = !s.syncSetupFlag && s.unit1Answer;
  for (uint32_t unit = 1; unit < 4; ++unit) m.Set(40408 + 14 * unit, !linked);
  m.Set(40490, S);
  m.Set(40512, s.mclkUnit1 == kClockInternal && !s.videoSynced);
  m.Range(40501, 40502, stopped);
  m.Set(40503, S && stopped);
  m.Set(40504, S);
  m.Set(40505, S && s.nineSync);
  m.Set(40506, (S || s.syncIn == kSyncInInternal) && !(s.syncOut & 0x40) && !s.tempoMap);
  m.Set(40507, S || s.syncIn == kSyncInInternal);
  m.Range(40508, 40509, S);
  m.Range(42305, 42306, s.arrangeWnd != 0);
  m.Set(42316, s.videoOpen != 0);
  m.Set(41823, s.anyMixDsps != 0);
  m.Set(41828, s.anyMixDsps && stopped);
  m.Range(40520, 40538, s.snapOn != 0);
  m.Set(42317, S);
}

}  // namespace

std::vector<MenuItemState> MainMenuInitItems(const MenuInitState& s) {
  std::vector<MenuItemState> out;
  Items m(out);
  Documents(s, m);
  Transport(s, m);
  Clocks(s, m);
  Sync(s, m);
  return out;
}

int MenuItemFinalState(const std::vector<MenuItemState>& items, uint32_t id) {
  int state = -1;
  for (const MenuItemState& item : items)
    if (item.id == id) state = item.enabled ? 1 : 0;
  return state;
}
