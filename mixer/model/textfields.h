// Reading typed numbers, time code, bars.beats.ticks and meters out of text,
// clamped to their ranges rather than refused.
#pragma once

#include <cstdint>

#include "mixer/model/musical.h"
#include "mixer/model/timecode.h"

// Splits text into up to n decimal fields. Digits accumulate into the
// current field; a field's leading zeros are counted in lzCounts instead of
// being added; '-' marks the field negative; any other character closes the
// field, and the next digit starts the field after the last one that had
// digits (so runs of separators skip nothing). A field saturates at
// 2147483647 in magnitude. values (required) and lzCounts (may be null) get
// n entries, zeroed first. Returns 1 when a '-' was seen.
int SplitDigitFields(const char* text, int n, int32_t* values, int32_t* lzCounts);

// whole.fraction text as an integer in units of 1/scale (scale a power of
// ten), negated when a '-' was seen; e.g. "1.05" at scale 1000 is 1050.
// Clamped to the 32-bit range; a scale below 1 reads as 1.
int32_t TextToNumber(const char* text, int32_t scale);

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
