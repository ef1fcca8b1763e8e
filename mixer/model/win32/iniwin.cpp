#include "mixer/model/win32/iniwin.h"

#include <windows.h>

#include "mixer/model/ini.h"

void WriteIniWindowPos(const char* file, uint32_t section, uint32_t key, WndHandle wnd) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (wnd == nullptr || !GetWindowPlacement(wnd, &placement)) {
    WriteIniWindowRecord(file, section, key, nullptr);
    return;
  }
  const RECT& r = placement.rcNormalPosition;
  const WindowPosRec pos = {1, r.left, r.top, r.right - r.left, r.bottom - r.top,
                            static_cast<int32_t>(placement.showCmd)};
  WriteIniWindowRecord(file, section, key, &pos);
}
