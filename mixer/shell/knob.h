// Rotary knob arithmetic: angles in degrees, clockwise from the positive x
// axis in window coordinates (y grows downwards); the sweep is centred on
// the bottom of the knob.
#pragma once

#include <cstdint>

// Angle of value 0: (360 - sweep) / 2 + 90.
double KnobStartAngle(int32_t sweep);
// Angle the pointer shows for `value`.
double KnobValueAngle(int32_t value, int32_t maximum, int32_t sweep);
// The value a drag to (dx, dy) from the knob's centre sets: the angle past
// the start converted to 0..maximum; in the dead zone below the knob the
// nearer end of the sweep.
int32_t KnobValueAt(int32_t dx, int32_t dy, int32_t sweep, int32_t maximum);
// A typed entry relative to the centre, kept within 0..maximum.
int32_t KnobValueFromEntry(int32_t entered, int32_t maximum);
