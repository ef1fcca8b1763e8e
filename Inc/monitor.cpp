// The monitor a rectangle lies on, through the monitor functions when the
// platform has them, else the one screen and its work area.
#include "Inc/place.h"
#include "Inc/window.h"

namespace {

using MonitorFromRectFn = HMONITOR(WINAPI*)(LPCRECT, DWORD);
using GetMonitorInfoFn = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);

struct MonitorFunctions {
  MonitorFromRectFn fromRect = nullptr;
  GetMonitorInfoFn info = nullptr;
  MonitorFunctions() {
    HMODULE user = GetModuleHandleA("USER32");
    if (!user) return;
    fromRect = reinterpret_cast<MonitorFromRectFn>(reinterpret_cast<void*>(GetProcAddress(user, "MonitorFromRect")));
    info = reinterpret_cast<GetMonitorInfoFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetMonitorInfoA")));
    if (!fromRect || !info) fromRect = nullptr, info = nullptr;
  }
};

const MonitorFunctions& Monitors() {
  static const MonitorFunctions functions;
  return functions;
}

RECT MonitorArea(const RECT& rect, bool whole) {
  const MonitorFunctions& m = Monitors();
  if (m.fromRect) {
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (m.info(m.fromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return whole ? info.rcMonitor : info.rcWork;
  }
  RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (!whole) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  return area;
}

}  // namespace

void ClipRectToMonitor(RECT* rect, UINT flags) {
  RECT probe = *rect;
  if (probe.right < 0 && probe.bottom < 0) OffsetRect(&probe, 32768, 32768);
  const RECT a = MonitorArea(probe, (flags & kPlaceWholeMonitor) != 0);
  PlaceRect placed = PlaceInArea(PlaceRect{rect->left, rect->top, rect->right, rect->bottom},
                                 PlaceRect{a.left, a.top, a.right, a.bottom}, flags);
  SetRect(rect, placed.left, placed.top, placed.right, placed.bottom);
}
