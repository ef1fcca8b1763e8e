#include "chanmenu.h"

#include "mixer/arrange/partcmds.h"

namespace {
constexpr int kRightButton = 2;
}  // namespace

HMENU ArrBuildColumnMenu(const ArrMenuItem* items, int count) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (int i = 0; i < count; ++i) {
    UINT flags = MF_STRING | (items[i].Checked ? MF_CHECKED : MF_UNCHECKED);
    if (ArrMenuColumnBreak(i)) flags |= MF_MENUBARBREAK;
    if (!AppendMenuA(menu, flags, static_cast<UINT_PTR>(i + 1), items[i].Text)) {
      DestroyMenu(menu);
      return nullptr;
    }
  }
  return menu;
}

int ArrTrackColumnMenu(HWND wnd, const ArrMenuItem* items, int count, int current, int x, int y,
                       int button) {
  HMENU menu = ArrBuildColumnMenu(items, count);
  if (menu == nullptr) return -1;
  POINT pt = {x, y};
  ClientToScreen(wnd, &pt);
  const ArrMenuPlacement at = ArrMenuPlace(count, current, pt.x, pt.y, GetSystemMetrics(SM_CYMENU) - 3,
                                           GetSystemMetrics(SM_CYSCREEN));
  const bool right = button == kRightButton;
  PostMessageA(wnd, WM_MOUSEMOVE, right ? MK_RBUTTON : MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(wnd, WM_CANCELMODE, 0, 0);
  const UINT flags = TPM_CENTERALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_NONOTIFY |
                     (right ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
  const int picked = static_cast<int>(TrackPopupMenu(menu, flags, at.X, at.Y, 0, wnd, nullptr));
  DestroyMenu(menu);
  return picked >= 1 && picked <= count ? picked - 1 : -1;
}
