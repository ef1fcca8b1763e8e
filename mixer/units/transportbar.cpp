#include "mixer/units/transportbar.h"

#include <cstdio>

#include "mixer/model/musical.h"
#include "mixer/model/timecode.h"

void TransportTimecodeText(char* out, size_t size, int32_t position, uint32_t tcOffset) {
  TcRec tc{};
  LocToTimeCode(&tc, position, tcOffset);
  std::snprintf(out, size, "%02d:%02d:%02d:%02d", tc.Hours, tc.Minutes, tc.Seconds, tc.Frames);
}

void TransportBarsText(char* out, size_t size, int32_t position) {
  BbtRec bbt{};
  LocToBbt(&bbt, position, 1);
  std::snprintf(out, size, "%04ld.%02d.%03d", static_cast<long>(bbt.Bar), bbt.Beat, bbt.Tick);
}

void TransportMeterText(char* out, size_t size, uint32_t num, uint32_t den) {
  if (num == 0 || den == 0) num = den = 4;
  std::snprintf(out, size, "%02u/%02u", num, den);
}

void TransportTempoText(char* out, size_t size, uint32_t tempo) {
  if (tempo == 0) tempo = 12000;
  std::snprintf(out, size, "%03u.%02u", tempo / 100, tempo % 100);
}
