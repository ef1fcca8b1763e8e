// Tempo maps built in place for the tests, freed with the test.
#pragma once

#include <initializer_list>
#include <memory>

#include "mixer/model/tempomap.h"

struct TempoMapDeleter {
  void operator()(TempoMapRec* m) const { TempoMapFree(m); }
};
using TempoMapPtr = std::unique_ptr<TempoMapRec, TempoMapDeleter>;

inline TempoMapPtr BuildTempoMap(uint32_t ppq, std::initializer_list<TempoEvent> tempos,
                                 std::initializer_list<MeterEvent> meters, uint32_t projectTempo = 12000,
                                 uint32_t num = 4, uint32_t den = 4) {
  TempoMapPtr map(TempoMapNew());
  TempoMapSetPpq(map.get(), ppq);
  for (const TempoEvent& e : tempos) TempoMapAddTempo(map.get(), e.Tick, e.UsPerQuarter);
  for (const MeterEvent& e : meters) TempoMapAddMeter(map.get(), e.Tick, e.Num, e.Den);
  TempoMapFinish(map.get(), projectTempo, num, den);
  return map;
}

// 960 ticks per quarter at 48000 samples per second: 120 BPM (25 samples a
// tick) to tick 3840, 240 BPM (12.5) to tick 7680, then 60 BPM (50); 4/4 to
// tick 3840 (bar 1), 6/8 to tick 9600 (bar 3), then 3/4.
inline TempoMapPtr ChangingMap() {
  return BuildTempoMap(960, {{0, 500000}, {3840, 250000}, {7680, 1000000}},
                       {{0, 4, 4}, {3840, 6, 8}, {9600, 3, 4}});
}
