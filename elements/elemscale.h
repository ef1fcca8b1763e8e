// Value scalings of the element windows: gain against tenths of dB, the two
// fader laws, linear, logarithmic and pan scalings between a knob's range
// and a control's travel, and the numeric text reader. Levels: raw gain
// 32768 is 0 dB and 65536 is +6 dB; pan 0..128 with 64 at the centre.
//
// Where the program's model already has the same law, these are its names
// in the element modules' vocabulary over the model's one implementation.
#pragma once

#include <cstdint>

// Gain of t tenths of dB: 60 gives 65536, cuts round down, boosts round up
// to at most 65536.
uint32_t GainFromTenthsDb(int32_t t);
// 200 x log10(g / 32768) truncated; 0 gives -960.
int32_t TenthsDbFromGain(uint32_t g);

// The 0 dB fader: position 0..range from the top (reversed: from the
// bottom) to gain, 32768 at the top and 0 at the end of the travel, linear
// between the law's points; a range of 0 or below gives the top's gain.
uint32_t FaderGainFromPos(int32_t pos, int32_t range, int reversed);
int32_t FaderPosFromGain(int32_t gain, int32_t range, int reversed);
// The +6 dB fader: 65536 at the top, 32768 at 190 of 1190.
uint32_t FaderGainFromPos6(int32_t pos, int32_t range, int reversed);
int32_t FaderPosFromGain6(int32_t gain, int32_t range, int reversed);

// Position on a travel of `out` of v in 0..range, rounded to nearest; a
// range of 0 or below gives 0.
int32_t ScaleLinear(int32_t v, int32_t range, int32_t out, int reversed);
// The value in 0..range of position p on a travel of `out`; a range of 0
// gives out, a travel of 0 or below gives 0 (range when reversed).
int32_t ScaleLinearInv(int32_t p, int32_t range, int32_t out, int reversed);

// Position on a travel of `out` of v in 0..range on a log10(v + 1) scale,
// truncated; negative values count as 0. A range of 0 or below gives 0
// (out when reversed).
int32_t ScaleLog(int32_t v, int32_t range, int32_t out, int reversed);
// The value of position p; a travel of 0 or below gives 0 (range when
// reversed).
int32_t ScaleLogInv(int32_t p, int32_t range, int32_t out, int reversed);

// Pan v of 0..range to 0..128; a range of 0 or below gives the centre, 64.
int32_t PanToPos(int32_t v, int32_t range, int reversed);
// Pan position p of 0..128 to 0..out.
int32_t PosToPan(int32_t p, int32_t out, int reversed);

// Saturates to -0x80000000..0x7FFFFFFF.
int32_t ClampToInt32(int64_t v);

// MulDivRound (numbers.h) and TextToNumber (numtext.h) are the utilities':
// the element modules use them as they stand.
