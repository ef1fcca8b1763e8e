// The watch over the units' external clocks: one failure counter per unit
// and a flag held while a report is on screen.
#pragma once

#include <cstdint>

constexpr int kSyncWatchUnits = 4;
// Failing ticks in a row that raise a report.
constexpr int32_t kSyncFailReport = 4;
// Counter value after a report, so that a lasting fault is reported again
// after 20 more failing ticks.
constexpr int32_t kSyncFailRearm = -16;

struct SyncWatch {
  int32_t fails[kSyncWatchUnits] = {};
  int32_t reporting = 0;
};

// Records one tick's result of `unit` (0..3; others are ignored). Returns 1
// when the caller must show the report now; it then calls SyncWatchReported
// once the user closed it.
int SyncWatchTick(SyncWatch* watch, int unit, int failed);
// The report was closed: every counter starts again from kSyncFailRearm.
void SyncWatchReported(SyncWatch* watch);

// The program's watch.
SyncWatch& UnitSyncWatch();
