// The transport bar's display operations: each redraws one field of the
// bar, when the bar is open.
#include <windows.h>
// The shell's time format, not the system's function of that name.
#undef GetTimeFormat

#include "mixer/model/settings.h"
#include "mixer/shell/services.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"
#include "mixer/units/transportbar.h"
#include "mixer/units/win32/transportbar_win.h"

namespace {

constexpr uint32_t kTimeFormatBars = 40518;

void SetField(int id, const char* text) {
  HWND bar = WndTable[kTapeTransBar];
  if (bar == nullptr) return;
  HWND field = GetDlgItem(bar, id);
  char old[32] = {};
  GetWindowTextA(field, old, sizeof old);
  if (lstrcmpA(old, text) != 0) SetWindowTextA(field, text);
}

void ShowLoc(int id, int32_t position) {
  char text[32];
  if (GetTimeFormat() == kTimeFormatBars) TransportBarsText(text, sizeof text, position);
  else TransportTimecodeText(text, sizeof text, position, Settings().TcOffset);
  SetField(id, text);
}

}  // namespace

void TransportShowNowBars() {
  char text[32];
  TransportBarsText(text, sizeof text, Locs().NowLoc);
  SetField(kFieldNowBars, text);
}

void TransportShowNowTimecode() {
  char text[32];
  TransportTimecodeText(text, sizeof text, Locs().NowLoc, Settings().TcOffset);
  SetField(kFieldNowTimecode, text);
}

void TransportShowLeftLoc() { ShowLoc(kFieldLeft, Locs().LeftLoc); }
void TransportShowRightLoc() { ShowLoc(kFieldRight, Locs().RightLoc); }

void TransportShowTimecodeOffset() {
  char text[32];
  TransportTimecodeText(text, sizeof text, 0, Settings().TcOffset);
  SetField(kFieldTimecodeOffset, text);
}

void TransportShowMeter(int) {
  char text[16];
  TransportMeterText(text, sizeof text, Settings().MeterNum, Settings().MeterDen);
  SetField(kFieldMeter, text);
}

void TransportShowTempo(int) {
  char text[16];
  TransportTempoText(text, sizeof text, Settings().Tempo);
  SetField(kFieldTempo, text);
}

void TransportShowModeLamps() {
  if (HWND bar = WndTable[kTapeTransBar]) InvalidateRect(bar, nullptr, TRUE);
}
