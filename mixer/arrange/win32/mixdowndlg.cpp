#include "mixer/arrange/win32/mixdowndlg.h"

#include <algorithm>
#include <cstdio>

#include "mixer/arrange/win32/procdlgs.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/progressbar.h"
#include "mixer/shell/wndtable.h"

namespace {

MixdownMixerHooks g_hooks;
int32_t g_fadeResolTime = 40;

struct MixdownRun {
  int32_t output;
  int32_t preRoll;
  int32_t end;
  HANDLE timer;
};

int32_t Location() { return g_hooks.location ? g_hooks.location() : 0; }

void EndRun(HWND dlg, int id) {
  if (g_hooks.setFadeResolution) g_hooks.setFadeResolution(g_fadeResolTime);
  EndDialog(dlg, id);
}

// One step of the work loop.
void WorkStep(HWND dlg, MixdownRun& run) {
  const int32_t at = Location();
  if (g_hooks.work) g_hooks.work(at);
  // One waiting message of the program, so that its windows stay alive and
  // Cancel can be pressed.
  MSG msg;
  if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (!IsDialogMessageA(dlg, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  if (!IsWindow(dlg)) return;
  if (run.timer != nullptr) {
    MsgWaitForMultipleObjects(1, &run.timer, FALSE, INFINITE, QS_ALLINPUT);
  } else {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  // What the main timer procedure does for a running off-line operation.
  ProgressStep(Location());
  if (IsWindow(dlg) && RunOpDlg == dlg) PostMessageA(dlg, kWmuStartWork, 0, 0);
}

}  // namespace

void MixdownSetMixerHooks(const MixdownMixerHooks& hooks) { g_hooks = hooks; }
void MixdownSetFadeResolTime(int32_t ms) { g_fadeResolTime = ms; }

INT_PTR CALLBACK MixdownRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  MixdownRun* run = reinterpret_cast<MixdownRun*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      run = reinterpret_cast<MixdownRun*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterOverWindow(WndTable[kMainWnd], dlg);
      char routing[256] = "";
      if (g_hooks.routingText) g_hooks.routingText(run->output, routing, sizeof routing);
      SetDlgItemTextA(dlg, kPdlRouting, routing);
      RunOpDlg = dlg;
      ProgressSetRange(dlg, kPdlProgress, run->preRoll, run->end);
      const int32_t resol = std::min<int32_t>(g_fadeResolTime, 20);
      if (g_hooks.setFadeResolution) g_hooks.setFadeResolution(resol / 4);
      run->timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
      if (run->timer != nullptr) {
        LARGE_INTEGER due;
        const LONG period = std::max<LONG>(resol / 2, 1);
        due.QuadPart = -10000LL * period;
        if (!SetWaitableTimer(run->timer, &due, period, nullptr, nullptr, FALSE)) {
          CloseHandle(run->timer);
          run->timer = nullptr;
        }
      }
      // The work loop keeps the queue busy, so the dialog loop would never
      // find the idle moment at which it shows the dialog.
      ShowWindow(dlg, SW_SHOW);
      PostMessageA(dlg, kWmuStartWork, 0, 0);
      return TRUE;
    }
    case kWmuStartWork:
      if (run) WorkStep(dlg, *run);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndRun(dlg, LOWORD(wParam));
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (run && run->timer) {
        CancelWaitableTimer(run->timer);
        CloseHandle(run->timer);
        run->timer = nullptr;
      }
      if (RunOpDlg == dlg) RunOpDlg = nullptr;
      return FALSE;
  }
  return FALSE;
}

int MixdownRunWin(int32_t output, const int32_t* recTracks, int32_t n, int32_t preRoll, int32_t end) {
  if (!g_hooks.start || !g_hooks.start(output, recTracks, n, preRoll, end)) {
    if (g_hooks.finish) g_hooks.finish(0);
    return IDCANCEL;
  }
  const char* name = n == 1 ? "MONOMERGE_PROCESS" : n == 2 ? "STEREOMERGE_PROCESS" : "MULTICHANMERGE_PROCESS";
  MixdownRun run{output, preRoll, end, nullptr};
  const INT_PTR answer = DoDialogParam(WndTable[kMainWnd], name, MixdownRunDlgProc, reinterpret_cast<LPARAM>(&run));
  const int ok = answer == IDOK;
  const int stands = g_hooks.finish ? g_hooks.finish(ok) : ok;
  return ok && stands ? IDOK : IDCANCEL;
}
