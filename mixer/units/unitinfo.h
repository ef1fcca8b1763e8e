// What the units subsystem tells about the installed units.
#pragma once

#include <cstdint>

constexpr int kMaxUnits = 4;

// The two identification texts of unit `unit` (0..3) as the About box shows
// them, each copied bounded into its buffer. Returns 0, and leaves the
// buffers alone, when there is no such unit.
int UnitAboutTexts(int unit, char* first, int firstSize, char* second, int secondSize);
