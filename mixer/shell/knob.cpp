#include "mixer/shell/knob.h"

#include <cmath>

namespace {
constexpr double kPi = 3.14159265358979323846;
}

double KnobStartAngle(int32_t sweep) { return (360 - sweep) / 2.0 + 90.0; }

double KnobValueAngle(int32_t value, int32_t maximum, int32_t sweep) {
  if (maximum <= 0) return KnobStartAngle(sweep);
  return KnobStartAngle(sweep) + static_cast<double>(value) * sweep / maximum;
}

int32_t KnobValueAt(int32_t dx, int32_t dy, int32_t sweep, int32_t maximum) {
  if (sweep <= 0 || maximum <= 0) return 0;
  double angle = std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * 180.0 / kPi;
  angle -= KnobStartAngle(sweep);
  angle = std::fmod(angle, 360.0);
  if (angle < 0) angle += 360.0;
  double value = angle * maximum / sweep;
  if (value <= maximum) return static_cast<int32_t>(value);
  // Past the end of the sweep: the dead zone is split at its middle, the
  // angle sweep + (360 - sweep) / 2.
  double split = static_cast<double>(maximum) * (sweep + (360 - sweep) / 2.0) / sweep;
  return value <= split ? maximum : 0;
}

int32_t KnobValueFromEntry(int32_t entered, int32_t maximum) {
  int64_t v = static_cast<int64_t>(entered) + maximum / 2;
  if (v < 0) return 0;
  if (v > maximum) return maximum;
  return static_cast<int32_t>(v);
}
