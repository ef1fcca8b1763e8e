// The per-unit options of the main ini file: word-clock output, the 64 to
// 96 kHz I/O mode and the master clock, each stored as the command id of its
// menu choice and remapped to what the unit's hardware offers. Ids are taken
// relative to unit 1's numbers (unit n's ids minus 6 n or 14 n).
#pragma once

#include <cstdint>

struct UnitHardware {
  int32_t hasHost;     // the unit has a host-interface unit
  int32_t hasMixDsps;  // the unit has mixer DSPs
  int32_t kind;        // hardware kind; 2 and 3 matter here
};

// Word-clock output 40360..40365: without a host interface, +90 degrees and
// super clock become word clock.
uint32_t RemapClockOut(uint32_t id, const UnitHardware& unit);
// The 64 to 96 kHz I/O mode 40384..40389.
uint32_t RemapIo96K(uint32_t id, const UnitHardware& unit);
// The master clock 40408..40421.
uint32_t RemapMasterClock(uint32_t id, const UnitHardware& unit);

// A unit's option flag word: its MIDI configuration word (bit 0 the MIDI
// set-up's choice) with bit 1 carrying the sync set-up's SyncInMTCQF48.
constexpr uint32_t kOptionMtcQf48 = 0x2;
uint32_t UnitOptionFlags(int32_t midiCfg, int32_t mtcQf48);
