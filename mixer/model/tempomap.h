// The tempo and meter map imported from a standard MIDI file, and the
// conversions between sample positions, ticks and bars/beats/ticks through
// it.
//
// Time inside the conversions is the sum of (ticks x microseconds per
// quarter) over the tempo segments, i.e. microseconds x ppq, so that walking
// the events never rounds. Every conversion keeps where it ended in a cache
// of its own and starts from there when the next position is not earlier,
// so a left-to-right sweep walks each event list once; an earlier position
// walks again from tick 0 and gives the same answer.
//
// A map always holds a tempo and a meter event at tick 0, no tempo of 0
// microseconds and no meter outside 1..255 beats of a power-of-two note
// value up to 128: the builders refuse those, so no conversion divides by
// a value from the file.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/model/musical.h"

struct TempoEvent {
  int32_t Tick;           // at least 0
  uint32_t UsPerQuarter;  // microseconds per quarter note, never 0
};

struct MeterEvent {
  int32_t Tick;  // at least 0
  uint32_t Num;  // beats per bar, 1..255
  uint32_t Den;  // note value of a beat (4 = quarter), a power of two, 1..128
};

// Where a walk over the tempo events stands: the segment that starts at
// SegTick with its tempo, Time summed up to SegTick, and the index of the
// next event (the list's size when there is none).
struct TempoWalk {
  uint64_t Time;
  int32_t SegTick;
  uint32_t Tempo;
  uint32_t Next;
};

// The same over the meter events: Seg is SegTick as bars/beats/ticks.
struct MeterWalk {
  BbtRec Seg;
  int32_t SegTick;
  uint32_t Num, Den;
  uint32_t Next;
};

// The caches are keyed by what was converted last: the target time (rather
// than the sample position, so that a change of rate cannot reuse a walk
// that went too far), the tick, or the musical position.
struct TempoTimeCache {
  uint64_t Key;
  TempoWalk Walk;
};
struct TempoTickCache {
  int32_t Key;
  TempoWalk Walk;
};
struct MeterTickCache {
  int32_t Key;
  MeterWalk Walk;
};
struct MeterBbtCache {
  BbtRec Key;
  MeterWalk Walk;
};

struct TempoMapRec {
  uint32_t Ppq = 0;  // ticks per quarter note
  std::vector<TempoEvent> Tempos;  // ascending by tick, one per tick
  std::vector<MeterEvent> Meters;  // ascending by tick, one per tick
  mutable TempoTimeCache SamplesToTicks{};
  mutable MeterTickCache TicksToBars{};
  mutable MeterBbtCache BarsToTicks{};
  mutable TempoTickCache TicksToSamples{};
  mutable TempoTimeCache SamplesToTicksF{};
  mutable TempoTickCache TicksToSamplesF{};
};

// The loaded map; none (fixed tempo and meter) when null. The command
// dispatcher replaces and frees it.
extern TempoMapRec* TempoMap;

// Building a map: an empty map (null when out of memory), its resolution
// (at most 65535), and the events in any order. Adding an event at a tick
// that has one replaces it. An event with a tick below 0 counts at tick 0;
// a tempo of 0 microseconds or an impossible meter is refused. The adders return 0 when out of memory, else 1 (a refused
// event included).
TempoMapRec* TempoMapNew();
void TempoMapSetPpq(TempoMapRec* map, uint32_t ppq);
int TempoMapAddTempo(TempoMapRec* map, int32_t tick, uint32_t usPerQuarter);
int TempoMapAddMeter(TempoMapRec* map, int32_t tick, uint32_t num, uint32_t den);
// Completes a map: the project tempo (1/100 BPM) and meter fill tick 0 when
// the file left it empty, and the caches start over. A tempo of 0 counts as
// 120 BPM and an unusable meter as 4/4. Returns 0 when out of memory.
int TempoMapFinish(TempoMapRec* map, uint32_t tempo, uint32_t meterNum, uint32_t meterDen);
void TempoMapFree(TempoMapRec* map);

uint32_t TempoGetPpq(const TempoMapRec* map);

// Sample position p at rate r to ticks, truncated; saturates at
// 0x7FFFFFFF, 0 for a zero rate.
int32_t TempoSamplesToTicks(const TempoMapRec* map, uint32_t rate, uint32_t p);
// Ticks (below 0 counting as 0) to the first sample at or after them,
// at most 0x7FFFFFFF.
int32_t TempoTicksToSamples(const TempoMapRec* map, uint32_t rate, int32_t ticks);
// The same with fractions of ticks. Positions at or below 0 run at the
// first tempo, so they give negative ticks and samples.
double TempoSamplesToTicksF(const TempoMapRec* map, uint32_t rate, int64_t p);
int64_t TempoTicksToSamplesF(const TempoMapRec* map, uint32_t rate, double ticks);

// Ticks (below 0 counting as 0) to bars/beats/ticks counted from 0, and
// back (a position before bar 0 gives tick 0).
void TempoTicksToBbt(const TempoMapRec* map, int32_t ticks, BbtRec* out);
int32_t TempoBbtToTicks(const TempoMapRec* map, const BbtRec& bbt);

// Carries ticks into beats (4 x ppq / den ticks each) and beats into bars
// (num beats each); fields below their limit stay. A meter or resolution
// that would give an empty beat or bar counts as one tick per beat or one
// beat per bar.
void TempoNormBbt(uint32_t num, uint32_t den, uint32_t ppq, BbtRec* bbt);

// Tempo in 1/100 BPM at the last samples-to-ticks conversion (the first
// tempo event's before any), and the meter at the last ticks-to-bars
// conversion (the first meter event's before any).
void TempoGetBpm(const TempoMapRec* map, uint32_t* bpm);
void TempoGetMeter(const TempoMapRec* map, uint32_t* num, uint32_t* den);
