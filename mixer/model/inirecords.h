// Small settings records of section "MainWnd" of the main ini file.
#pragma once

#include <cstdint>

// Units 1..4 carry a MIDI configuration word ("MidiCfgSUnit1".."4"); 0 when
// absent or for a unit out of range, which is never written.
constexpr int kMidiCfgUnits = 4;
int32_t ReadMidiCfgUnit(int unit);
void WriteMidiCfgUnit(int32_t value, int unit);

// The five numbers of the VITC decoder set-up ("SyncInVITCDec").
constexpr int kSyncInVitcDecCount = 5;
// Defaults of numbers missing from the record, in order.
constexpr int32_t kSyncInVitcDecDefaults[kSyncInVitcDecCount] = {0, 8, 0, 10, 0};
void ReadSyncInVitcDec(int32_t values[kSyncInVitcDecCount]);
void WriteSyncInVitcDec(const int32_t values[kSyncInVitcDecCount]);

// How the program last ended ("ExitStatus"): 0 while it runs, 1 once it has
// closed; 0 when absent.
int32_t ReadExitStatus();
void WriteExitStatus(int32_t status);
