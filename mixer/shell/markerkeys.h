// Marker number entry on the keyboard: a signed accumulator, 0 when empty.
// A positive value is a number being typed; -n is the number offered for the
// next marker after one was placed or moved.
#pragma once

#include <cstdint>

// Highest marker number.
constexpr int32_t kMarkerKeyMax = 999;

// Digit d typed: appended while the accumulator holds 1..99, else it starts
// again with d.
int32_t MarkerKeyDigit(int32_t acc, int d);

// The marker number a place or move starts searching from: the
// accumulator's magnitude, or 1 when it is empty.
uint32_t MarkerKeySearchFrom(int32_t acc);

// The accumulator after marker `number` was placed or moved: the next number
// offered, -(number + 1), at most -999 in magnitude.
int32_t MarkerKeyAfterUse(uint32_t number);
