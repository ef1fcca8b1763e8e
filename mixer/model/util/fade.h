// Fade curves: the gain of shapes 0..7 ("Linear", "Cosine", "Log (a)",
// "Exp (a)", "Log (b)", "Exp (b)", "Log (c)", "Exp (c)") along a fade.
#pragma once

#include <cstdint>

// Full gain in the curves' fixed point: 2^23.
constexpr int32_t kFadeOne = 1 << 23;

constexpr int kFadeShapeCount = 8;

// Gain of `shape` at x = position / length, in 2^23 fixed point, computed in
// double and truncated toward 0:
//   0: x;  1: 0.5 - 0.5 cos(pi x) with pi as 3.14159265359;
//   2, 4, 6: log10(k x + 1) / log10(k + 1) with k = 4, 16, 128;
//   3, 5, 7: 1 - log10(k (1 - x) + 1) / log10(k + 1) with the same k;
//   any other shape: 0.
// x is held within 0..1; a length of 0 or less counts as a fade already
// complete (x = 1).
int32_t FadeShape(int32_t shape, int32_t position, int32_t length);
