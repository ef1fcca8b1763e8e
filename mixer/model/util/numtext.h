// Typed numbers read out of text: decimal digit fields and whole.fraction
// numbers, clamped to their ranges rather than refused.
#pragma once

#include <cstdint>

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
