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

#include "mixer/arrange/services.h"
#include "mixer/model/host.h"
#include "mixer/model/settings.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"
#include "mixer/units/services.h"

namespace {
constexpr uint32_t kMsgNoExtClock = 235;
constexpr uint32_t kMsgNoVideoSync = 236;

// Master clock choices, relative to the first unit's group.
constexpr uint32_t kClockGroupStep = 14;
constexpr uint32_t kClockInternal = 40408;
constexpr uint32_t kClockAes = 40409;
constexpr uint32_t kClockTdifA = 40410;
constexpr uint32_t kClockTdifB = 40412;
constexpr uint32_t kClockTdifC = 40413;

constexpr uint32_t kStatusClockInvalid = 0x100;
constexpr uint32_t kStatusAesRate = 0xC0;
constexpr uint32_t kSyncVideoPresent = 0x100000;

enum Check { kClockOk, kClockLost, kVideoLost };

uint32_t UnitClock(int unit) {
  return GetMClkUnit(unit) - kClockGroupStep * static_cast<uint32_t>(unit);
}

// Nothing plays, records, mixes down, solo-plays, scrubs or auditions.
bool ProgramIdle() {
  const int state = TransportState();
  if (state == kTransportPlaying || state == kTransportRecording) return false;
  return !ProcMixdownRunning() && !ArrSoloPlaying() && !ArrScrubbing() && !EopAuditionPlaying();
}

// The first unit's external rate becomes the project's.
void AdoptRate(uint32_t rate) {
  if (rate == 0 || rate == Settings().SampleRate) return;
  if (SetArrParam(0, rate)) ConsoleNotifySampleRate(rate);
}

Check CheckCardOnly(int unit) {
  CardParams params = {};
  if (!UnitCardGetParam(unit, &params) || !params.clockValid) return kClockLost;
  if (UnitHasMixDsps(unit + 1) && !CardSetSyncFlags(unit)) return kClockLost;
  if (unit == 0 && ProgramIdle() && !TimerModalOpen()) AdoptRate(params.sampleRate);
  return kClockOk;
}

uint32_t AesRate(uint32_t status) {
  switch (status & kStatusAesRate) {
    case 0x00: return 44100;
    case 0x80: return 48000;
    case 0xC0: return 32000;
    default: return 0;  // nothing comes in
  }
}

Check CheckAes(int unit) {
  const uint32_t status = UnitGetStatus(unit);
  if (status & kStatusClockInvalid) return kClockLost;
  if (unit != 0 || IgnoreExtSRate || !ProgramIdle()) return kClockOk;
  const uint32_t rate = AesRate(status);
  if (rate == 0 || rate == Settings().SampleRate) return kClockOk;
  if (!TimerModalOpen()) {
    AdoptRate(rate);
  } else {
    // A dialog may be reading the settings: store the rate quietly and
    // let the units follow it.
    Settings().SampleRate = rate;
    UnitsSetSampleRate(3, rate, static_cast<int32_t>(Settings().SyncSource), 0);
  }
  return kClockOk;
}

int TdifInput(uint32_t clock) {
  if (clock == kClockTdifA) return 0;
  if (clock == kClockTdifB) return 1;
  if (clock == kClockTdifC) return 2;
  return -1;
}

Check CheckOtherExternal(int unit, uint32_t clock) {
  if (!CardClearSyncFlags(unit)) return kClockLost;
  if (UnitHasMixDsps(unit + 1) && !CardSetSyncFlags(unit)) return kClockLost;
  const int input = TdifInput(clock);
  if (unit == 0 && input >= 0 && !IgnoreExtSRate && ProgramIdle() && !TimerModalOpen())
    AdoptRate(CardInputSrate(unit, input));
  return kClockOk;
}

Check CheckInternal(int unit) {
  if (unit != 0 || !VSyncedMClk) return kClockOk;
  uint32_t status = 0, first = 0;
  int32_t position = 0;
  UnitGetSyncStatus(&status, &position, &first);
  return (status & kSyncVideoPresent) ? kClockOk : kVideoLost;
}

Check CheckUnit(int unit) {
  if (!UnitHasHostUnit(unit + 1)) return CheckCardOnly(unit);
  const uint32_t clock = UnitClock(unit);
  if (clock == kClockAes) return CheckAes(unit);
  if (clock != kClockInternal) return CheckOtherExternal(unit, clock);
  return CheckInternal(unit);
}

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
    const Check result = CheckUnit(unit);
    if (!SyncWatchTick(&watch, unit, result != kClockOk)) continue;
    MessageBoxById(nullptr, result == kVideoLost ? kMsgNoVideoSync : kMsgNoExtClock, kMbWarnOk,
                   unit + 1);
    SyncWatchReported(&watch);
    return;
  }
}
