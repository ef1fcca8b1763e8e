// Musical time: bars.beats.ticks and ticks through the fixed tempo and meter
// of the project settings. Ticks run at 960 per quarter note; a beat is one
// unit of the meter's denominator.
//
// Where a tempo map is given, or for the forms without a map argument while
// one is loaded (TempoMap), the conversions run through the map at the
// project rate, in the map's own ticks per quarter; otherwise through the
// fixed tempo and meter.
// With a zero rate, tempo or meter the conversions give 0 instead of
// dividing by it.
#pragma once

#include <cstdint>

struct TempoMapRec;

constexpr uint32_t kTicksPerQuarter = 960;
constexpr uint32_t kTicksPerWhole = 3840;

struct BbtRec {
  int32_t Bar;
  int32_t Beat;
  int32_t Tick;
};

// Ticks in one beat of the current meter (3840 / MeterDen); 0 without a meter.
uint32_t TicksPerBeat();

// Bars.beats.ticks of a position (a negative position counts as 0), with
// base added to bar and beat.
void LocToBbt(BbtRec* out, int32_t position, int32_t base);
// Position of bars.beats.ticks counted from base, clamped to [0, kMaxLoc].
int32_t BbtToLoc(const BbtRec& bbt, int32_t base);

// Ticks at a 64-bit sample count, tempo in 1/100 BPM.
double LocToTicks(const TempoMapRec* map, uint32_t tempo, uint32_t rate, int64_t samples);
// Samples of a tick count, rounded up.
int64_t TicksToLoc(const TempoMapRec* map, uint32_t tempo, uint32_t rate, double ticks);
// Ticks of map A re-counted in the resolution of map B.
int64_t RescaleTicks(const TempoMapRec* mapA, const TempoMapRec* mapB, int64_t ticks);

// Length of the span [from, to) in ticks of a Midi Take's own resolution.
int64_t LocSpanToMidiTicks(int32_t from, int32_t resolution, int32_t to);
// End position of a span of ticks at a Take's resolution beginning at start,
// clamped to [0, kMaxLoc]; start itself when the resolution is not positive.
int32_t MidiTicksToLocEnd(int32_t start, int32_t resolution, int64_t ticks);

// The grid of 1/n whole notes through the current tempo and rate: the index
// of the grid unit holding position p (at least 0), and the first sample of
// unit k. False / 0 when the tempo, rate or n is zero.
bool NoteGridValid(uint32_t n);
uint64_t NoteUnitAt(int64_t p, uint32_t n);
int64_t NoteUnitStart(uint64_t k, uint32_t n);
