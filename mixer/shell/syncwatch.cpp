#include "mixer/shell/syncwatch.h"

int SyncWatchTick(SyncWatch* watch, int unit, int failed) {
  if (unit < 0 || unit >= kSyncWatchUnits) return 0;
  if (!failed) {
    watch->fails[unit] = 0;
    return 0;
  }
  if (++watch->fails[unit] < kSyncFailReport || watch->reporting) return 0;
  watch->reporting = 1;
  return 1;
}

void SyncWatchReported(SyncWatch* watch) {
  watch->reporting = 0;
  for (int32_t& f : watch->fails) f = kSyncFailRearm;
}

#include "mixer/model/host.h"
#include "mixer/shell/timer.h"
#include "mixer/units/services.h"

namespace {
constexpr uint32_t kMsgNoExtClock = 235;
constexpr uint32_t kMsgNoVideoSync = 236;
}  // namespace

SyncWatch& UnitSyncWatch() {
  static SyncWatch watch;
  return watch;
}

void CheckUnitSyncStatus() {
  SyncWatch& watch = UnitSyncWatch();
  if (watch.reporting) return;
  int count = UnitCount();
  if (count > kSyncWatchUnits) count = kSyncWatchUnits;
  for (int unit = 0; unit < count; ++unit) {
    int result = UnitSyncCheck(unit);
    if (!SyncWatchTick(&watch, unit, result != 0)) continue;
    MessageBoxById(nullptr, result == 2 ? kMsgNoVideoSync : kMsgNoExtClock, kMbWarnOk, unit + 1);
    SyncWatchReported(&watch);
    return;
  }
}
