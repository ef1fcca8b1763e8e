// Gain laws: linear gain (32768 = unity, 0 dB; 65536 = the ceiling, +6 dB)
// against dB in fixed-point units, and the fader and noise-gate slider laws.
#pragma once

#include <cstdint>

constexpr uint32_t kGainUnity = 32768;
constexpr uint32_t kGainMax = 65536;

// One point of a slider law: a slider position and the value there.
struct LawPoint {
  int32_t Pos;
  int32_t Value;
};

// The fader law, position 0..1000 top to bottom: 0 dB at the top, then -5,
// -10, -15, -20, -30, -40, -50, -60, -70 dB, silence at 1000.
constexpr int kFaderLawCount = 11;
extern const LawPoint FaderLawTable[kFaderLawCount];
// The +6 dB fader law, position 0..1190 top to bottom: +6 dB at the top,
// 0 dB at 190, then the points of the 0 dB law moved down by 190.
constexpr int kFader6LawCount = 12;
extern const LawPoint Fader6LawTable[kFader6LawCount];
// The noise-gate slider law, position 0..568.
constexpr int kNgLawCount = 5;
extern const LawPoint NgLawTable[kNgLawCount];

// Gain of v in 0.1 dB (floor below 0 dB, ceiling above), at most 65536.
uint32_t DeciDbToGain(int32_t v);
// Gain in 0.1 dB, truncated; -960 for silence.
int32_t GainToDeciDb(uint32_t g);
// Gain of v in 0.001 dB, as DeciDbToGain.
uint32_t MilliDbToGain(int32_t v);
// Gain in 0.001 dB, truncated; -96000 for silence.
int32_t GainToMilliDb(uint32_t g);
// value scaled by v in 0.01 dB, truncated and clamped to the 32-bit range.
int32_t ScaleByCentiDb(int32_t v, int32_t value);
// a / b in 0.01 dB, truncated; -9600 for a = 0, 9600 for b = 0.
int32_t RatioToCentiDb(uint32_t a, uint32_t b);

// Gain at a fader position of 0..range (top to bottom; inverted, bottom to
// top), interpolated linearly between the law's points. A range of 0 or
// below gives unity.
uint32_t FaderPosToGain(int32_t position, int32_t range, int invert);
// Fader position 0..range of a gain, the inverse of FaderPosToGain.
int32_t GainToFaderPos(int32_t gain, int32_t range, int invert);
// The same two laws over the +6 dB fader table.
uint32_t Fader6PosToGain(int32_t position, int32_t range, int invert);
int32_t GainToFader6Pos(int32_t gain, int32_t range, int invert);
// The same two laws over the noise-gate table.
int32_t NgPosToValue(int32_t position, int32_t range);
int32_t NgValueToPos(int32_t value, int32_t range);
