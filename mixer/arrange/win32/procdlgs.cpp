#include "mixer/arrange/win32/procdlgs.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "mixer/arrange/consolidate.h"
#include "mixer/arrange/noisegate.h"
#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/procengine.h"
#include "mixer/model/host.h"
#include "mixer/model/progress.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/gain.h"
#include "mixer/model/util/numtext.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/filedlg.h"
#include "mixer/model/win32/progressbar.h"
#include "mixer/shell/wndtable.h"

namespace {

HWND MainFrame() { return WndTable[kMainWnd]; }

// Runs a modal dialog of the program over the main frame: IDOK, or IDCANCEL
// however else it ended.
int ProcModal(const char* name, DLGPROC proc, void* param) {
  return DoDialogParam(MainFrame(), name, proc, reinterpret_cast<LPARAM>(param)) == IDOK ? IDOK : IDCANCEL;
}

// The copy of the record a dialog edits, so that Cancel changes nothing:
// made when the dialog opens (the record is its parameter), kept in the
// dialog's user data until it is destroyed; OK writes it back.
template <typename Rec> struct DlgCopy {
  Rec* target;
  Rec work;
  // At WM_INITDIALOG; the dialog is centred over the main frame.
  static DlgCopy* Open(HWND dlg, LPARAM param) {
    Rec* target = reinterpret_cast<Rec*>(param);
    auto* c = new DlgCopy{target, *target};
    SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(c));
    CenterOverWindow(MainFrame(), dlg);
    return c;
  }
  // Null before WM_INITDIALOG and after WM_DESTROY.
  static DlgCopy* Of(HWND dlg) { return reinterpret_cast<DlgCopy*>(GetWindowLongPtrA(dlg, DWLP_USER)); }
  // At WM_DESTROY.
  static void Close(HWND dlg) {
    delete Of(dlg);
    SetWindowLongPtrA(dlg, DWLP_USER, 0);
  }
};

ProcList* ListOf(HWND dlg) { return reinterpret_cast<ProcList*>(GetWindowLongPtrA(dlg, DWLP_USER)); }

// ---------------------------------------------------------------- normalize

INT_PTR NormParamInit(HWND dlg, ProcList* list) {
  SetWindowLongPtrA(dlg, DWLP_USER, reinterpret_cast<LONG_PTR>(list));
  CenterOverWindow(MainFrame(), dlg);
  char text[32];
  NormPeakText(list->Result, text, sizeof text);
  SetDlgItemTextA(dlg, kPdlPeak, text);
  NormTargetText(NormTargetLevel(), text, sizeof text);
  SetDlgItemTextA(dlg, kPdlTarget, text);
  return TRUE;
}

// The run dialogs of the two engine passes: the pass starts when the dialog
// opens; the main timer's ticks move the bar and send IDOK at the end.
INT_PTR RunPassDlg(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam, ProcDialog pass) {
  switch (msg) {
    case WM_INITDIALOG: {
      ProcList* list = reinterpret_cast<ProcList*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterOverWindow(MainFrame(), dlg);
      SetDlgItemTextA(dlg, kPdlStatus, StrText(list->Mode > 0 ? IDS_SCANNING_PARTS : IDS_PROCESSING_PARTS));
      const int32_t total = ProcEngineStartPass(pass, list);
      if (total <= 0) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      RunOpDlg = dlg;
      ProgressSetRange(dlg, kPdlProgress, 0, total);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          ListOf(dlg)->Result = ProcEnginePeak(pass);
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (RunOpDlg == dlg) RunOpDlg = nullptr;
      return FALSE;
  }
  return FALSE;
}

// ------------------------------------------------------------ consolidation

struct ConsRun {
  ConsChannel* table;
  int channel;   // index of the channel being rendered, -1 before the first
  int32_t hold;  // where the engine pauses; EndOfTime when it runs to the end
};

bool ConsChannelComplete(const ConsRun& run) { return run.hold >= run.table[run.channel].End; }

void ConsEnd(HWND dlg, int id) {
  ProcEngineReleaseHold();
  EndDialog(dlg, id);
}

// Renders the next channel that has Parts; past the last the dialog ends.
void ConsNextChannel(HWND dlg, ConsRun& run) {
  while (++run.channel < kConsChannels && run.table[run.channel].FirstPart < 0) {
  }
  if (run.channel >= kConsChannels) {
    ConsEnd(dlg, IDOK);
    return;
  }
  const ConsChannel& ch = run.table[run.channel];
  char text[128];
  std::snprintf(text, sizeof text, StrText(IDS_PROCESSING_TRACK), run.channel + 1);
  SetDlgItemTextA(dlg, kPdlStatus, text);
  ProgressSetRange(dlg, kPdlProgress, ch.Start, ch.End);
  if (!ProcEngineStartRender(CurArr, run.channel + 1, ch, &run.hold)) ConsEnd(dlg, IDCANCEL);
}

// The engine stands still: when it waits at the hold position, the channel
// is compiled again from there and the next hold set.
void ConsStalled(HWND dlg, ConsRun& run) {
  if (run.channel < 0 || run.channel >= kConsChannels || ConsChannelComplete(run)) return;
  if (ProcEnginePosition() != run.hold) return;
  if (!ProcEngineRenderResume(CurArr, run.channel + 1, run.table[run.channel], &run.hold)) ConsEnd(dlg, IDCANCEL);
}

INT_PTR CALLBACK ConsRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  ConsRun* run = reinterpret_cast<ConsRun*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG:
      run = reinterpret_cast<ConsRun*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterOverWindow(MainFrame(), dlg);
      RunOpDlg = dlg;
      ConsNextChannel(dlg, *run);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          // The range end is reached only past the last hold.
          if (ConsChannelComplete(*run)) ConsNextChannel(dlg, *run);
          return TRUE;
        case IDCANCEL:
          ConsEnd(dlg, IDCANCEL);
          return TRUE;
        case kProgressStallCommand:
          ConsStalled(dlg, *run);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (RunOpDlg == dlg) RunOpDlg = nullptr;
      return FALSE;
  }
  return FALSE;
}

int ConsRenderWin(ConsChannel* table) {
  ConsRun run{table, -1, EndOfTime};
  return ProcModal("CONS_PROCESS", ConsRunDlgProc, &run);
}

// ----------------------------------------------------------------- gate scan

struct GateScanRun {
  int32_t channel, from, to, onLevel, offLevel, hold;
  std::vector<GatePair>* onList;
};

INT_PTR CALLBACK GateScanDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  GateScanRun* run = reinterpret_cast<GateScanRun*>(GetWindowLongPtrA(dlg, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      run = reinterpret_cast<GateScanRun*>(lParam);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      CenterOverWindow(MainFrame(), dlg);
      char text[128];
      std::snprintf(text, sizeof text, StrText(IDS_SCANNING_TRACK), run->channel);
      SetDlgItemTextA(dlg, kPdlStatus, text);
      if (!ProcEngineStartGateScan(CurArr, run->channel, run->from, run->to, run->onLevel, run->offLevel,
                                   run->hold)) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      RunOpDlg = dlg;
      ProgressSetRange(dlg, kPdlProgress, run->from, run->to);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          const int answer = ProcEngineGateList(run->onList);
          if (answer != IDOK) {
            if (answer != IDCANCEL) MessageBoxById(nullptr, static_cast<uint32_t>(answer), kMbWarnOk);
            EndDialog(dlg, IDCANCEL);
          } else {
            EndDialog(dlg, IDOK);
          }
          return TRUE;
        }
        case IDCANCEL:
          run->onList->clear();
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (RunOpDlg == dlg) RunOpDlg = nullptr;
      return FALSE;
  }
  return FALSE;
}

int GateScanWin(int32_t channel, int32_t from, int32_t to, int32_t onLevel, int32_t offLevel, int32_t hold,
                std::vector<GatePair>* onList) {
  GateScanRun run{channel, from, to, onLevel, offLevel, hold, onList};
  return ProcModal("NOISGAT_SCAN", GateScanDlgProc, &run);
}

// --------------------------------------------------------------- noise gate

char g_ngtPath[MAX_PATH] = "";

void SetFolder(const char* folder) {
  char full[MAX_PATH] = "";
  if (GetFullPathNameA(folder, sizeof full, full, nullptr) == 0) std::snprintf(full, sizeof full, "%s", folder);
  const size_t n = std::strlen(full);
  std::snprintf(g_ngtPath, sizeof g_ngtPath, "%s%s(untitled)", full, n > 0 && full[n - 1] != '\\' ? "\\" : "");
}

char* NgtPath() {
  if (g_ngtPath[0] == '\0') SetFolder(".\\NoiseGate\\");
  return g_ngtPath;
}

void SetPathFileName(const char* name) {
  char* path = NgtPath();
  char* slash = std::strrchr(path, '\\');
  char* at = slash ? slash + 1 : path;
  const size_t room = sizeof g_ngtPath - static_cast<size_t>(at - path);
  std::snprintf(at, room, "%s", name);
}

using GateDlgState = DlgCopy<NoiseGateSettings>;

uint16_t* Word(NoiseGateSettings& s, int i) { return reinterpret_cast<uint16_t*>(&s) + i; }
bool IsLevel(int word) { return word <= 2; }
int RangeOf(int word) { return IsLevel(word) ? kNgLevelRange : kNgTimeRange; }

int PositionOf(int word, uint16_t value) {
  return IsLevel(word) ? GainToFaderPos(value, kNgLevelRange, 0) : NgValueToPos(value, kNgTimeRange);
}

uint16_t ValueAt(int word, int pos) {
  if (IsLevel(word)) {
    const uint32_t g = FaderPosToGain(pos, kNgLevelRange, 0);
    return static_cast<uint16_t>(g > kNgtLevelMax ? kNgtLevelMax : g);
  }
  int32_t ms = NgPosToValue(pos, kNgTimeRange);
  if (ms < 0) ms = 0;
  if (ms > kNgtTimeMax) ms = kNgtTimeMax;
  if (word == 7 && ms < kNgtHoldMin) ms = kNgtHoldMin;
  return static_cast<uint16_t>(ms);
}

void ShowWordText(HWND dlg, int word, uint16_t value) {
  char text[32];
  if (IsLevel(word)) {
    int32_t d = GainToDeciDb(value);
    if (d < 0) d = -d;
    std::snprintf(text, sizeof text, "-%01d.%01d", static_cast<int>(d / 10), static_cast<int>(d % 10));
  } else {
    std::snprintf(text, sizeof text, "%d.%03d", value / 1000, value % 1000);
  }
  SetDlgItemTextA(dlg, kNgTextFirst + word, text);
}

void ShowGate(HWND dlg, GateDlgState& st) {
  for (int w = 0; w < 10; ++w) {
    HWND bar = GetDlgItem(dlg, kNgBarFirst + w);
    SetScrollRange(bar, SB_CTL, 0, RangeOf(w), FALSE);
    SetScrollPos(bar, SB_CTL, PositionOf(w, *Word(st.work, w)), TRUE);
    ShowWordText(dlg, w, *Word(st.work, w));
  }
  const int mode = st.work.Mode <= kGateFloor ? int{st.work.Mode} : int{kGateRemove};
  CheckRadioButton(dlg, kNgModeFirst, kNgModeFirst + 2, kNgModeFirst + mode);
  const BOOL floor = st.work.Mode == kGateFloor;
  EnableWindow(GetDlgItem(dlg, kNgBarFirst + 2), floor);
  EnableWindow(GetDlgItem(dlg, kNgTextFirst + 2), floor);
}

void GateScroll(HWND dlg, GateDlgState& st, HWND bar, WPARAM wParam) {
  const int w = GetDlgCtrlID(bar) - kNgBarFirst;
  if (w < 0 || w >= 10) return;
  const int range = RangeOf(w);
  int pos = GetScrollPos(bar, SB_CTL);
  switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= kNgPageStep; break;
    case SB_PAGEDOWN: pos += kNgPageStep; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = static_cast<short>(HIWORD(wParam)); break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = range; break;
    default: return;
  }
  if (pos < 0) pos = 0;
  if (pos > range) pos = range;
  const uint16_t v = ValueAt(w, pos);
  *Word(st.work, w) = v;
  // The Hold floor moves the thumb back up to where 10 ms sits.
  SetScrollPos(bar, SB_CTL, w == 7 ? PositionOf(w, v) : pos, TRUE);
  ShowWordText(dlg, w, v);
}

void GateFile(HWND dlg, GateDlgState& st, bool save) {
  char path[MAX_PATH];
  std::snprintf(path, sizeof path, "%s", NgtPath());
  if (!save) {
    if (!FileDialogById(kFileDlgOpen, OFN_FILEMUSTEXIST, 0, path, sizeof path, IDS_NGT_FILTER, IDS_NGT_EXT, dlg))
      return;
    std::snprintf(g_ngtPath, sizeof g_ngtPath, "%s", path);
    if (NgtReadFile(path, &st.work)) ShowGate(dlg, st);
  } else {
    if (!FileDialogById(kFileDlgSave, OFN_OVERWRITEPROMPT, 1, path, sizeof path, IDS_NGT_FILTER, IDS_NGT_EXT, dlg))
      return;
    std::snprintf(g_ngtPath, sizeof g_ngtPath, "%s", path);
    NgtWriteFile(path, st.work);
  }
  NoiseGateCaption(dlg);
}


}  // namespace

INT_PTR CALLBACK NormParamDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      return NormParamInit(dlg, reinterpret_cast<ProcList*>(lParam));
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          ProcList* list = ListOf(dlg);
          char text[64] = "";
          GetDlgItemTextA(dlg, kPdlTarget, text, sizeof text);
          list->ProcessGain = NormApplyTarget(text, list->Result);
          EndDialog(dlg, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR CALLBACK NormRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  return RunPassDlg(dlg, msg, wParam, lParam, kProcNormProcess);
}

INT_PTR CALLBACK RemDcRunDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  return RunPassDlg(dlg, msg, wParam, lParam, kProcRemDcProcess);
}

// The program's noise-gate settings start as the defaults; they are not
// kept in the ini file.
void NgtSetDefaults() { NoiseGateDefaults(&NoiseGateCurrent()); }

void NgtSetPathFolder(const char* folder) { SetFolder(folder && *folder ? folder : ".\\NoiseGate\\"); }

void NgtPathFolder(char* out, int size) {
  if (size <= 0) return;
  const char* path = NgtPath();
  const char* slash = std::strrchr(path, '\\');
  const int n = slash ? static_cast<int>(slash - path + 1) : 0;
  std::snprintf(out, static_cast<size_t>(size), "%.*s", n, path);
}

const char* NgtCurrentPath() { return NgtPath(); }

void NoiseGateCaption(HWND dlg) {
  const char* path = NgtPath();
  const char* slash = std::strrchr(path, '\\');
  char title[MAX_PATH + 64];
  std::snprintf(title, sizeof title, StrText(IDS_NGT_CAPTION), slash ? slash + 1 : path);
  SetWindowTextA(dlg, title);
}

INT_PTR CALLBACK NoiseGateDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  GateDlgState* st = GateDlgState::Of(dlg);
  switch (msg) {
    case WM_INITDIALOG:
      st = GateDlgState::Open(dlg, lParam);
      ShowGate(dlg, *st);
      NoiseGateCaption(dlg);
      return TRUE;
    case WM_VSCROLL:
    case WM_HSCROLL:
      if (st) GateScroll(dlg, *st, reinterpret_cast<HWND>(lParam), wParam);
      return TRUE;
    case WM_COMMAND: {
      if (!st) return FALSE;
      const int id = LOWORD(wParam);
      if (id >= kNgModeFirst && id <= kNgModeFirst + 2) {
        st->work.Mode = static_cast<uint16_t>(id - kNgModeFirst);
        ShowGate(dlg, *st);
        return TRUE;
      }
      switch (id) {
        case kNgOpen: GateFile(dlg, *st, false); return TRUE;
        case kNgSave: GateFile(dlg, *st, true); return TRUE;
        case IDOK:
          *st->target = st->work;
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          SetPathFileName("(untitled)");
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
    }
    case WM_DESTROY:
      GateDlgState::Close(dlg);
      return FALSE;
  }
  return FALSE;
}

int ProcRunDialogWin(ProcDialog dialog, ProcList* list) {
  const char* name = nullptr;
  DLGPROC proc = nullptr;
  switch (dialog) {
    case kProcNormProcess: name = "NORM_PROCESS"; proc = NormRunDlgProc; break;
    case kProcNormParam: name = "NORM_PARAM"; proc = NormParamDlgProc; break;
    case kProcRemDcProcess: name = "REMDC_PROCESS"; proc = RemDcRunDlgProc; break;
    default: return IDCANCEL;
  }
  return ProcModal(name, proc, list);
}

namespace {

// Parses the thin factor's edit box into the record and shows it again.
void ReduceApplyFactor(HWND dlg, ReduceEventsResult* r) {
  char text[32] = "";
  GetDlgItemTextA(dlg, kReduceThinFactor, text, sizeof text);
  r->ThinFactor = TextToNumber(text, 1);
  SetDlgItemInt(dlg, kReduceThinFactor, static_cast<UINT>(r->ThinFactor), TRUE);
}

int NoiseGateParamWin() { return ProcModal("NOISGAT_PARAM", NoiseGateDlgProc, &NoiseGateCurrent()); }

int ReduceEventsWin() { return ProcModal("REDUCE_EVENTS", ReduceEventsDlgProc, &ReduceEventsCurrent()); }

}  // namespace

INT_PTR CALLBACK ReduceEventsDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  using Work = DlgCopy<ReduceEventsResult>;
  Work* w = Work::Of(dlg);
  switch (msg) {
    case WM_INITDIALOG:
      w = Work::Open(dlg, lParam);
      SetDlgItemInt(dlg, kReduceThinFactor, static_cast<UINT>(w->work.ThinFactor), TRUE);
      CheckRadioButton(dlg, kReduceSelectedCurve, kReduceAllEvents,
                       w->work.SelectedCurve ? kReduceSelectedCurve : kReduceAllEvents);
      return TRUE;
    case WM_COMMAND:
      if (w == nullptr) return FALSE;
      if (LOWORD(wParam) == kReduceThinFactor && HIWORD(wParam) == EN_KILLFOCUS) {
        ReduceApplyFactor(dlg, &w->work);
        return TRUE;
      }
      if (LOWORD(wParam) == IDOK) {
        if (GetFocus() == GetDlgItem(dlg, kReduceThinFactor)) ReduceApplyFactor(dlg, &w->work);
        w->work.SelectedCurve = IsDlgButtonChecked(dlg, kReduceSelectedCurve) == BST_CHECKED ? 1 : 0;
        *w->target = w->work;
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      Work::Close(dlg);
      return FALSE;
  }
  return FALSE;
}

void ProcInstallDialogs() {
  ProcSetRunSeams({ProcRunDialogWin, ProcEngineStop});
  ConsSetRenderer(ConsRenderWin);
  GateSetScanner(GateScanWin);
  ProcParamDialogs params;
  params.noiseGate = NoiseGateParamWin;
  params.reduceEvents = ReduceEventsWin;
  ProcSetParamDialogs(params);
}

int ArrNoiseGateTool(void* dc) {
  if (ArrOfflineRunActive()) return 0;
  if (NoiseGateParamWin() != IDOK) return 0;
  return ArrNoiseGate(dc);
}

void ProcRunTimerTick() {
  if (RunOpDlg != nullptr) ProgressStep(ProcEnginePosition());
}
