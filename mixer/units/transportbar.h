// The transport bar's fields as text: the now position as time code and as
// bars, the locators (time code or bars by the time format), meter, tempo
// and the time-code offset. Portable; the bar window (win32/transportbar_win)
// shows them with the four lamps.
#pragma once

#include <cstddef>
#include <cstdint>

// The bar's fields, one child control each, by control id.
enum TransportField : int {
  kFieldNowTimecode = 0,
  kFieldNowBars = 1,
  kFieldLeft = 2,
  kFieldRight = 3,
  kFieldMeter = 4,
  kFieldTempo = 5,
  kFieldTimecodeOffset = 6,
  kTransportFields = 7,
};

// "%02d:%02d:%02d:%02d" of the position with the time-code offset.
void TransportTimecodeText(char* out, size_t size, int32_t position, uint32_t tcOffset);
// "%04ld.%02d.%03d" bars, beats and ticks of the position.
void TransportBarsText(char* out, size_t size, int32_t position);
// "%02d/%02d"; "04/04" when either part is 0.
void TransportMeterText(char* out, size_t size, uint32_t num, uint32_t den);
// "%03d.%02d" of a tempo in 1/100 BPM; "120.00" for 0.
void TransportTempoText(char* out, size_t size, uint32_t tempo);
