// Qveolp1.dll: the three exports, the parameter dialogs and the progress
// dialog over the portable run.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "timemodule/tmmodule.h"
#include "timemodule/win32/tmres.h"

namespace {

HINSTANCE g_instance = nullptr;
constexpr UINT kStartWork = 3024;
constexpr int kPumpMessages = 20;

// Centred over the parent and kept inside the work area.
void CenterOverParent(HWND dlg) {
  RECT r, p, work;
  GetWindowRect(dlg, &r);
  HWND parent = GetParent(dlg);
  if (!parent || !GetWindowRect(parent, &p)) SystemParametersInfoA(SPI_GETWORKAREA, 0, &p, 0);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  const int w = r.right - r.left, h = r.bottom - r.top;
  int x = p.left + (p.right - p.left - w) / 2, y = p.top + (p.bottom - p.top - h) / 2;
  if (x + w > work.right) x = work.right - w;
  if (y + h > work.bottom) y = work.bottom - h;
  if (x < work.left) x = work.left;
  if (y < work.top) y = work.top;
  SetWindowPos(dlg, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

std::string ItemText(HWND dlg, int id) {
  char buf[128] = {};
  GetDlgItemTextA(dlg, id, buf, sizeof buf);
  return buf;
}

// ---- Parameter dialogs ----

struct ParamDlg {
  tmod::TmParams* params;
  std::string name;
  bool refreshing = false;
  int dirty = 0;  // the edit changed since the fields were last filled
};

void Fill(HWND dlg, ParamDlg& d) {
  const tmod::TmParams& p = *d.params;
  d.refreshing = true;
  SetDlgItemTextA(dlg, IDC_TM_PARTNAME, d.name.c_str());
  SetDlgItemTextA(dlg, IDC_TM_RATIO, p.RatioText().c_str());
  const uint32_t mode = p.Facts().mode;
  if (mode == kEopPitchShift) {
    SetDlgItemTextA(dlg, IDC_TM_SEMITONES, p.SemitonesText().c_str());
  } else {
    SetDlgItemTextA(dlg, IDC_TM_SRC_TC, p.SourceTcText().c_str());
    SetDlgItemTextA(dlg, IDC_TM_SRC_BBT, p.SourceBbtText().c_str());
    SetDlgItemTextA(dlg, IDC_TM_NEW_TC, p.NewTcText().c_str());
    SetDlgItemTextA(dlg, IDC_TM_NEW_BBT, p.NewBbtText().c_str());
    if (mode == kEopTimeStretch) {
      SetDlgItemTextA(dlg, IDC_TM_SRC_TEMPO, p.SourceTempoText().c_str());
      SetDlgItemTextA(dlg, IDC_TM_NEW_TEMPO, p.NewTempoText().c_str());
    } else {
      SetDlgItemTextA(dlg, IDC_TM_SRC_RATE, p.SourceRateText().c_str());
      SetDlgItemTextA(dlg, IDC_TM_NEW_RATE, p.NewRateText().c_str());
    }
  }
  d.refreshing = false;
  d.dirty = 0;
}

void Apply(HWND dlg, ParamDlg& d, int id) {
  const std::string text = ItemText(dlg, id);
  tmod::TmParams& p = *d.params;
  switch (id) {
    case IDC_TM_RATIO: p.SetRatioText(text.c_str()); break;
    case IDC_TM_NEW_TC: p.SetNewTcText(text.c_str()); break;
    case IDC_TM_NEW_BBT: p.SetNewBbtText(text.c_str()); break;
    case IDC_TM_NEW_TEMPO: p.SetNewTempoText(text.c_str()); break;
    case IDC_TM_NEW_RATE: p.SetNewRateText(text.c_str()); break;
    case IDC_TM_SEMITONES: p.SetSemitonesText(text.c_str()); break;
    default: return;
  }
  Fill(dlg, d);
}

INT_PTR CALLBACK ParamProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* d = reinterpret_cast<ParamDlg*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      d = reinterpret_cast<ParamDlg*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterOverParent(dlg);
      Fill(dlg, *d);
      return TRUE;
    case WM_COMMAND: {
      if (d == nullptr) break;
      const int id = LOWORD(wParam), code = HIWORD(wParam);
      if (code == EN_CHANGE && !d->refreshing) d->dirty = id;
      if (code == EN_KILLFOCUS && d->dirty == id) Apply(dlg, *d, id);
      if (id == IDOK && code == BN_CLICKED) {
        // Enter in an edited field takes its value first.
        const int focus = GetDlgCtrlID(GetFocus());
        if (d->dirty && d->dirty == focus) {
          Apply(dlg, *d, focus);
          return TRUE;
        }
        if (d->dirty) Apply(dlg, *d, d->dirty);
        EndDialog(dlg, d->params->L1());
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dlg, 0);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

// ---- Progress dialog ----

class WinUi : public tmod::TmUi {
 public:
  explicit WinUi(HWND parent) : parent_(parent) {}

  int32_t ParamDialog(tmod::TmParams& params, const std::string& name) override {
    static const char* const kTemplates[] = {"STRETCH_PARAM", "SRCONVERT_PARAM", "PSHIFT_PARAM"};
    ParamDlg d{&params, name};
    const INT_PTR r = DialogBoxParamA(g_instance, kTemplates[params.Facts().mode], parent_, ParamProc,
                                      reinterpret_cast<LPARAM>(&d));
    return r > 0 ? static_cast<int32_t>(r) : 0;
  }
  void Message(const std::string& text, const std::string& title) override {
    MessageBeep(MB_ICONEXCLAMATION);
    MessageBoxA(dlg_ ? dlg_ : parent_, text.c_str(), title.c_str(), MB_OK | MB_ICONEXCLAMATION);
  }
  int32_t Progress(const tmod::TmRun& run, const EOPHOSTFUNCS& host) override {
    run_ = &run;
    host_ = &host;
    const INT_PTR r =
        DialogBoxParamA(g_instance, "TIMPI_PROCESS", parent_, ProgressProc, reinterpret_cast<LPARAM>(this));
    dlg_ = nullptr;
    return r == 1 ? 1 : 0;
  }
  void ShowTakes(const std::string& oldNames, const std::string& newNames) override {
    SetDlgItemTextA(dlg_, IDC_TM_OLD_TAKES, oldNames.c_str());
    SetDlgItemTextA(dlg_, IDC_TM_NEW_TAKES, newNames.c_str());
  }
  void SetProgress(int32_t percent) override { SendDlgItemMessageA(dlg_, IDC_TM_PROGRESS, PBM_SETPOS, percent, 0); }
  int Pump() override {
    MSG msg;
    for (int i = 0; i < kPumpMessages && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        abort_ = true;
        break;
      }
      if (!dlg_ || !IsDialogMessageA(dlg_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    return abort_ ? 1 : 0;
  }

 private:
  static INT_PTR CALLBACK ProgressProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* ui = reinterpret_cast<WinUi*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
      case WM_INITDIALOG:
        ui = reinterpret_cast<WinUi*>(lParam);
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        ui->dlg_ = dlg;
        ui->abort_ = false;
        CenterOverParent(dlg);
        SetWindowTextA(dlg, tmod::TmProcessName(ui->run_->mode));
        SendDlgItemMessageA(dlg, IDC_TM_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        PostMessageA(dlg, kStartWork, 0, 0);
        return TRUE;
      case kStartWork: {
        const int32_t r = tmod::TmProcessBlocks(*ui->run_, *ui->host_, *ui);
        EndDialog(dlg, r == 1 && !ui->abort_ ? 1 : 0);
        return TRUE;
      }
      case WM_COMMAND:
        if (ui && LOWORD(wParam) == IDCANCEL) {
          ui->abort_ = true;
          return TRUE;
        }
        break;
      case WM_DESTROY:
        if (ui) ui->abort_ = true;
        break;
    }
    return FALSE;
  }

  HWND parent_;
  HWND dlg_ = nullptr;
  bool abort_ = false;
  const tmod::TmRun* run_ = nullptr;
  const EOPHOSTFUNCS* host_ = nullptr;
};

}  // namespace

extern "C" {

int32_t EOP_CALL QVEOP_GetModuleInfo(EOPMODINFO* info) { return tmod::TmGetModuleInfo(info); }

int32_t EOP_CALL QVEOP_GetPlugInInfo(uint32_t index, EOPPLUGININFO* info) {
  return tmod::TmGetPlugInInfo(index, info);
}

int32_t EOP_CALL QVEOP_Process(uint32_t mode, uintptr_t window, uint32_t noDialog, const EOPHOSTFUNCS* host) {
  WinUi ui(reinterpret_cast<HWND>(window));
  return tmod::TmProcess(mode, noDialog, host, ui);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_instance = instance;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
  }
  return TRUE;
}

}  // extern "C"
