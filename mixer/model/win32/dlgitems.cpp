#include "mixer/model/win32/dlgitems.h"

#include "mixer/model/util/format.h"

namespace {

// Longest text these items show: "hh:mm:ss:ff.ssss" or a bars.beats.ticks
// of full 32-bit fields.
constexpr int kItemTextMax = 48;

}  // namespace

BOOL SetDlgItemTimeCode(HWND dlg, int item, const TcRec& tc, int shortForm) {
  char text[kItemTextMax];
  if (shortForm)
    FormatText(text, sizeof text, "%02d:%02d:%02d", tc.Hours, tc.Minutes, tc.Seconds);
  else
    FormatText(text, sizeof text, "%02d:%02d:%02d:%02d.%04d", tc.Hours, tc.Minutes, tc.Seconds,
               tc.Frames, static_cast<int16_t>(tc.SubFrames));  // sub-frames read back signed
  return SetDlgItemTextA(dlg, item, text);
}

BOOL SetDlgItemBbt(HWND dlg, int item, const BbtRec& bbt) {
  char text[kItemTextMax];
  FormatText(text, sizeof text, "%4d.%2d.%3d", static_cast<int>(bbt.Bar), static_cast<int>(bbt.Beat),
             static_cast<int>(bbt.Tick));
  return SetDlgItemTextA(dlg, item, text);
}

BOOL SetDlgItemNoBbt(HWND dlg, int item) { return SetDlgItemTextA(dlg, item, "   -. -.---"); }
