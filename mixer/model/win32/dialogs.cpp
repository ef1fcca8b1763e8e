#include "dialogs.h"

#include <commdlg.h>

#include "appwnd.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

INT_PTR DoDialog(HWND owner, const char* name, DLGPROC proc) {
  return DoDialogParam(owner, name, proc, 0);
}

INT_PTR DoDialogParam(HWND owner, const char* name, DLGPROC proc, LPARAM param) {
  ModalScope modal;
  EnableAppWindows(0);
  INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), name, owner, proc, param);
  EnableAppWindows(1);
  return result;
}

static HWND g_openDialog = nullptr;

HWND OpenDialog() { return g_openDialog; }

INT_PTR CALLBACK SimpleDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      g_openDialog = dlg;
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (g_openDialog == dlg) g_openDialog = nullptr;
      return FALSE;
  }
  return FALSE;
}

static void ShowUnitTexts(HWND dlg) {
  for (int unit = 0; unit < kMaxUnits; ++unit) {
    char first[128];
    char second[128];
    if (!UnitAboutTexts(unit, first, sizeof first, second, sizeof second)) {
      lstrcpyA(first, "-");
      lstrcpyA(second, "-");
    }
    SetDlgItemTextA(dlg, kAboutFirstText + unit, first);
    SetDlgItemTextA(dlg, kAboutSecondText + unit, second);
  }
}

INT_PTR CALLBACK AboutDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      ShowUnitTexts(dlg);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        EndDialog(dlg, 1);
        return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

static void ScreenRect(RECT* rc) {
  SetRect(rc, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

static void MoveTopLeft(HWND wnd, int left, int top) {
  SetWindowPos(wnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CenterOnScreen(HWND wnd) {
  RECT screen, rc;
  ScreenRect(&screen);
  if (!GetWindowRect(wnd, &rc)) return;
  MoveTopLeft(wnd, (screen.right - (rc.right - rc.left)) / 2,
              (screen.bottom - (rc.bottom - rc.top)) / 2);
}

void CenterOverWindow(HWND reference, HWND wnd) {
  RECT screen, ref, rc;
  ScreenRect(&screen);
  if (!GetWindowRect(wnd, &rc)) return;
  if (!reference || !GetWindowRect(reference, &ref)) ref = screen;
  int width = rc.right - rc.left;
  int height = rc.bottom - rc.top;
  int left = ref.left + ((ref.right - ref.left) - width) / 2;
  int top = ref.top + ((ref.bottom - ref.top) - height) / 2;
  // Right and bottom first, so that a window larger than the screen keeps
  // its caption and left edge visible.
  if (left + width > screen.right) left = screen.right - width;
  if (top + height > screen.bottom) top = screen.bottom - height;
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  MoveTopLeft(wnd, left, top);
}

COLORREF PickColor(HWND owner, COLORREF initial) {
  static COLORREF custom[16];
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = owner;
  cc.rgbResult = initial;
  cc.lpCustColors = custom;
  cc.Flags = CC_FULLOPEN | CC_RGBINIT;
  ModalScope modal;
  return ChooseColorA(&cc) ? cc.rgbResult : initial;
}

LOGFONTA PickFont(HWND owner, const LOGFONTA& font, COLORREF* colour) {
  LOGFONTA copy = font;
  CHOOSEFONTA cf = {};
  cf.lStructSize = sizeof cf;
  cf.hwndOwner = owner;
  cf.lpLogFont = &copy;
  cf.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST;
  cf.rgbColors = colour ? *colour : 0;
  ModalScope modal;
  if (!ChooseFontA(&cf)) return font;
  if (colour) *colour = cf.rgbColors;
  return copy;
}
