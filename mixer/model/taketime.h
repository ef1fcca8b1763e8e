// Time of Takes as Parts use them: the position of a Take's recorded
// time-code stamp, and its length in samples (a Midi Take with a tick
// resolution counts its length in ticks).
#pragma once

#include <cstdint>

struct TakeRec;

// Position of the Take's time-code stamp (at the Take's own rate and
// frame-rate code, 0 standing for the project's) less the offset; a stamp
// before the offset is taken as the next day, at the project's rate and
// code. Clamped to [0, 2147483647]; 0 without a Take.
int32_t TakeTcToLoc(TakeRec* take, uint32_t offset);

// The tick resolution of a Midi Take whose length counts ticks; 0 for any
// other Take or kind, and for a Take without one.
int32_t TakeTickResolution(TakeRec* take, uint32_t kind);

// Length in samples of the Take as a Part of kind `kind` starting at
// `start` uses it.
int32_t TakeLenAtKind(TakeRec* take, uint32_t kind, int32_t start);

// Sets the Take's length (attribute 13) from a length in samples as a Part
// starting at `start` uses it; 1, or 0 with a string id in *error.
int TakeSetLenAtKind(TakeRec* take, uint32_t kind, int32_t start, int32_t length, uint32_t* error);
