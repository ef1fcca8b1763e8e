// Reading time code, bars.beats.ticks and meters out of text, clamped to
// their ranges rather than refused. The digit fields they are read from and
// plain typed numbers are the utilities' (numtext.h).
#pragma once

#include <cstdint>

#include "mixer/model/musical.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/numtext.h"

// hh mm ss ff [sub] by the current rate and frame-rate code, each field
// clamped to its range (negatives read as 0); in minutes not divisible by 10
// drop-frame frames 0 and 1 of second 0 become 2 and 3. Sub-frame samples are
// read only with withSubFrames, else 0.
void TextToTimeCode(const char* text, TcRec* out, int withSubFrames);

// bar beat tick: bar and beat at least `lowest`, bar at most 32767, beat at
// most MeterNum; tick 0 .. ticks per beat - 1.
void TextToBbt(const char* text, BbtRec* out, int32_t lowest);

struct MeterValue {
  int32_t Num;  // 1..15
  int32_t Den;  // 4, 8 or 16
};

// num/den with the numerator clamped to 1..15 and the denominator rounded up
// to 4, 8 or 16.
void TextToMeter(const char* text, MeterValue* out);
