#include "progressbar.h"

#include <commctrl.h>

#include "mixer/model/progress.h"
#include "mixer/units/services.h"

HWND RunOpDlg = nullptr;

static ProgressState g_progress;

void ProgressSetRange(HWND dlg, int item, int32_t low, int32_t high) {
  ProgressRange range = ProgressApplyRange(g_progress, low, high);
  SendDlgItemMessageA(dlg, item, PBM_SETRANGE32, static_cast<WPARAM>(range.low),
                      static_cast<LPARAM>(range.high));
}

void ProgressSetPos(HWND dlg, int item, int32_t pos) {
  SendDlgItemMessageA(dlg, item, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void ProgressStep(int32_t position) {
  ProgressAction action = ProgressDecideStep(g_progress, position);
  HWND dlg = RunOpDlg;
  if (!dlg) return;
  if (action.setPos) ProgressSetPos(dlg, kProgressBarItem, action.pos);
  if (action.sendStall) SendMessageA(dlg, WM_COMMAND, kProgressStallCommand, 0);
  if (action.atEnd && NatDevAllIdle()) SendMessageA(dlg, WM_COMMAND, IDOK, 0);
}
