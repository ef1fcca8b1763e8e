// The sync settings the transport sends the units outside its own play:
// the sync mode of a scrub that follows the 9-pin machine and the play
// flags restored after solo play and auditions.
#include "mixer/shell/mainopts.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/units/services.h"
#include "mixer/units/win32/transport_host.h"

namespace {
constexpr uint32_t kSyncInNinePin = 40505;
constexpr uint32_t kVideoSyncedFlags = 0x20000, kChaseFlags = 0x10000;
}  // namespace

void ProgramScrubSyncMode() {
  const uint32_t flags = VSyncedMClk ? kVideoSyncedFlags : (SyncInTrigOnly ? 0 : kChaseFlags);
  UnitsSetSyncMode(kSyncInNinePin, flags, UnitGroups[kUgMClk].value);
}

void ProgramRestorePlayFlags() { UnitsSetPlayFlags(static_cast<uint32_t>(SyncOut)); }
