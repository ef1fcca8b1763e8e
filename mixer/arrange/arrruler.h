// The tick positions of the arrange window's rulers and grids: bars/beats
// (through the tempo and meter map when one is loaded, else the fixed tempo
// and meter) and time code (drop-frame numbering included), with the label
// each tick would carry. Portable: the windows draw what this computes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mixer/arrange/arrzoom.h"

struct TempoMapRec;

// What the ruler arithmetic reads of the project: rate, tempo (1/100 BPM),
// meter, frame-rate code and time-code offset, and the tempo map (null: the
// fixed tempo and meter).
struct ArrRulerCtx {
  uint32_t Rate;
  uint32_t Tempo;
  int32_t MeterNum;
  int32_t MeterDen;
  uint32_t FrameRate;
  uint32_t TcOffset;
  const TempoMapRec* Map;
};
// The current project's settings and map.
ArrRulerCtx ArrRulerCtxNow();

struct ArrRulerTick {
  int64_t Pos;     // samples on the time line
  int32_t Label;   // 1 when the tick falls on a multiple of the label step
  char Text[24];   // its label: "bar", "bar.beat", "bar.beat.tick" or "hh:mm:ss:ff"
};

// The ticks of grid pair `pair` (0 label, 1 tick, 2 grid) that lie in
// [from, to] (samples, from at least 0), in order; at most `limit` of them.
void ArrBbtTicks(const ArrRulerCtx& c, const ArrGridRec& g, int pair, int64_t from, int64_t to,
                 std::vector<ArrRulerTick>* out, size_t limit = 20000);
void ArrTcTicks(const ArrRulerCtx& c, const ArrGridRec& g, int pair, int64_t from, int64_t to,
                std::vector<ArrRulerTick>* out, size_t limit = 20000);

// The first grid position at or after a position (at least 0): bars/beats
// with unit 0 bar, 1 beat, 2 beat fraction (step n: 1/n beat), 3 tick (960
// per quarter note); time code with unit 0 frame, 1 second, 2 minute. The
// end of the time line when there is none before it.
int64_t BbtGridCeil(const ArrRulerCtx& c, int32_t unit, int32_t step, int64_t position);
int64_t TcGridCeil(const ArrRulerCtx& c, int32_t unit, int32_t step, int64_t position);
