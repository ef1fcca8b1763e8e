// The setup dialogs SYNCSETUP, PLAYRECSETUP, CAMSETUP and MIDISETUP and the
// custom tool page: each works on the dialog's controls while it is open
// and stores its settings only on OK.
#include <windows.h>

#include <cstdio>

#include "mixer/model/inirecords.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"
#include "mixer/model/tempomap.h"
#include "mixer/model/textfields.h"
#include "mixer/model/timecode.h"
#include "mixer/model/util/numtext.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/unitopts.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

int32_t ReadNumber(HWND dlg, int id) {
  char text[64] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return TextToNumber(text, 1);
}

void ShowNumber(HWND dlg, int id, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  SetDlgItemTextA(dlg, id, text);
}

bool Checked(HWND dlg, int id) { return IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
void SetCheck(HWND dlg, int id, bool on) { CheckDlgButton(dlg, id, on ? BST_CHECKED : BST_UNCHECKED); }

// Position pairs: a time-code field and, beside it, bars.beats.ticks. The
// position itself is kept per pair (by the time-code field's id), since a
// time code wraps at 24 hours and cannot give back every position.
int32_t pairPosition[64];

int32_t& PairPosition(int tcId) { return pairPosition[(tcId - 800) & 63]; }

void ShowPosition(HWND dlg, int tcId, int32_t position) {
  PairPosition(tcId) = position;
  TcRec tc;
  LocToTimeCode(&tc, position, Settings().TcOffset);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", tc.Hours, tc.Minutes, tc.Seconds, tc.Frames);
  SetDlgItemTextA(dlg, tcId, text);
  if (TempoMap) {
    SetDlgItemTextA(dlg, tcId + 1, "");
    EnableWindow(GetDlgItem(dlg, tcId + 1), FALSE);
    return;
  }
  BbtRec b;
  LocToBbt(&b, position, 1);
  std::snprintf(text, sizeof text, "%d.%d.%d", static_cast<int>(b.Bar), static_cast<int>(b.Beat),
                static_cast<int>(b.Tick));
  SetDlgItemTextA(dlg, tcId + 1, text);
}

int32_t ReadPosition(HWND dlg, int id, bool bbtField) {
  char text[64] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  int32_t position;
  if (bbtField) {
    BbtRec b;
    TextToBbt(text, &b, 1);
    position = BbtToLoc(b, 1);
  } else {
    TcRec tc;
    TextToTimeCode(text, &tc, 0);
    position = TimeCodeToLoc(tc, Settings().TcOffset);
  }
  return SetupPositionLimit(position);
}

// A position field lost the focus: its entry shown in both fields.
void PositionFocusLost(HWND dlg, int id, int tcId) {
  ShowPosition(dlg, tcId, ReadPosition(dlg, id, id != tcId));
}

// On OK a field that still has the focus is first told it lost it.
void CommitFocus(HWND dlg) {
  HWND focus = GetFocus();
  if (focus && GetParent(focus) == dlg)
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), EN_KILLFOCUS),
                 reinterpret_cast<LPARAM>(focus));
}

void AddItems(HWND combo, int count, int first) {
  for (int i = 0; i < count; ++i) {
    char text[8];
    std::snprintf(text, sizeof text, "%d", first + i);
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
}

int Selection(HWND dlg, int id) {
  return static_cast<int>(SendDlgItemMessageA(dlg, id, CB_GETCURSEL, 0, 0));
}

// ---- SYNCSETUP ----
void SyncInit(HWND dlg) {
  SetCheck(dlg, 800, SyncInAutoPlayStop != 0);
  ShowNumber(dlg, 801, SlvMtcPrepDurat);
  ShowNumber(dlg, 802, SamplesToMs(SyncInDropOut, static_cast<int32_t>(Settings().SampleRate)));
  CheckRadioButton(dlg, 803, 804, SyncInMTCQF48 ? 804 : 803);
  HWND vitc = GetDlgItem(dlg, 805);
  for (int i = 0; i < 3; ++i) {
    const LRESULT at = SendMessageA(vitc, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(StrText(IDS_VITC_AUTO + i)));
    SendMessageA(vitc, CB_SETITEMDATA, static_cast<WPARAM>(at), i);
    if (SyncInVITCDec[0] == i) SendMessageA(vitc, CB_SETCURSEL, static_cast<WPARAM>(at), 0);
  }
  for (int id : {806, 808}) AddItems(GetDlgItem(dlg, id), 32, 1);
  for (int id : {807, 809}) AddItems(GetDlgItem(dlg, id), 2, 1);
  AddItems(GetDlgItem(dlg, 810), 10, 1);
  for (int k = 1; k <= 4; ++k) SendDlgItemMessageA(dlg, 805 + k, CB_SETCURSEL, static_cast<WPARAM>(SyncInVITCDec[k]), 0);
  SendDlgItemMessageA(dlg, 810, CB_SETCURSEL, static_cast<WPARAM>(SyncOutBITCPos - 1), 0);
  const bool board = UnitHasSyncBoard(1) != 0;
  for (int id = 805; id <= 810; ++id) EnableWindow(GetDlgItem(dlg, id), board);
}

void SyncFocusLost(HWND dlg, int id) {
  if (id == 801) ShowNumber(dlg, 801, SlvMtcPrepFromEntry(ReadNumber(dlg, 801)));
  if (id == 802) {
    const int32_t rate = static_cast<int32_t>(Settings().SampleRate);
    ShowNumber(dlg, 802, SamplesToMs(DropOutFromMs(ReadNumber(dlg, 802), static_cast<uint32_t>(rate)), rate));
  }
}

void SyncApply(HWND dlg) {
  SyncInAutoPlayStop = Checked(dlg, 800);
  SlvMtcPrepDurat = SlvMtcPrepFromEntry(ReadNumber(dlg, 801));
  SyncInDropOut = DropOutFromMs(ReadNumber(dlg, 802), Settings().SampleRate);
  SyncInMTCQF48 = Checked(dlg, 804);
  const int vitc = Selection(dlg, 805);
  if (vitc >= 0) SyncInVITCDec[0] = static_cast<int32_t>(SendDlgItemMessageA(dlg, 805, CB_GETITEMDATA, static_cast<WPARAM>(vitc), 0));
  for (int k = 1; k <= 4; ++k) {
    const int sel = Selection(dlg, 805 + k);
    if (sel >= 0) SyncInVITCDec[k] = sel;
  }
  const int bitc = Selection(dlg, 810);
  if (bitc >= 0) SyncOutBITCPos = bitc + 1;
  for (int n = 0; n < UnitCount() && n < 4; ++n)
    UnitSetOptionFlags(n, UnitOptionFlags(ReadMidiCfgUnit(n + 1), SyncInMTCQF48));
  UnitsSetSync();
}

INT_PTR CALLBACK SyncSetupDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      SyncInit(dlg);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_KILLFOCUS) {
        SyncFocusLost(dlg, LOWORD(wParam));
        return TRUE;
      }
      if (LOWORD(wParam) == IDOK) {
        CommitFocus(dlg);
        SyncApply(dlg);
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

// ---- PLAYRECSETUP ----
const int kModeBoxes[6] = {808, 809, 816, 817, 818, 819};
const int kModeBits[6] = {1, 2, 5, 6, 7, 8};

INT_PTR CALLBACK PlayRecSetupDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      CenterOverWindow(WndTable[kMainWnd], dlg);
      const ProjectSettings& p = Settings();
      for (int i = 0; i < 6; ++i) SetCheck(dlg, kModeBoxes[i], (p.PlayRecMode >> kModeBits[i]) & 1);
      ShowPosition(dlg, 810, static_cast<int32_t>(p.PreRoll));
      ShowPosition(dlg, 812, static_cast<int32_t>(p.PostRoll));
      ShowPosition(dlg, 814, static_cast<int32_t>(p.MaxRecTime));
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == EN_KILLFOCUS) {
        if (id >= 810 && id <= 815) PositionFocusLost(dlg, id, id - (id - 810) % 2);
        return TRUE;
      }
      if (id == IDOK) {
        CommitFocus(dlg);
        uint32_t mode = Settings().PlayRecMode;
        for (int i = 0; i < 6; ++i) {
          mode &= ~(1u << kModeBits[i]);
          if (Checked(dlg, kModeBoxes[i])) mode |= 1u << kModeBits[i];
        }
        const int32_t pos[3] = {PairPosition(810), PairPosition(812), PairPosition(814)};
        SetArrParam(7, mode);
        for (int i = 0; i < 3; ++i) SetArrParam(8 + i, static_cast<uint32_t>(pos[i]));
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

// ---- CAMSETUP ----
void CamEnable(HWND dlg) {
  const bool a = Checked(dlg, 829), b = Checked(dlg, 833), c = Checked(dlg, 834);
  for (int id = 830; id <= 832; ++id) EnableWindow(GetDlgItem(dlg, id), a);
  EnableWindow(GetDlgItem(dlg, 834), b);
  for (int id = 835; id <= 837; ++id) EnableWindow(GetDlgItem(dlg, id), b && c);
}

INT_PTR CALLBACK CamSetupDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      CenterOverWindow(WndTable[kMainWnd], dlg);
      const ProjectSettings& p = Settings();
      ShowNumber(dlg, 820, static_cast<int32_t>(p.AutoTouchTimeout));
      ShowNumber(dlg, 821, static_cast<int32_t>(p.AutoReturnTime));
      ShowNumber(dlg, 822, static_cast<int32_t>(p.AutoThinFactor));
      CheckRadioButton(dlg, 823, 825, 823 + (p.AutoRecMode > 2 ? 0 : p.AutoRecMode));
      SetCheck(dlg, 826, p.AutoFlags & 1);
      ShowPosition(dlg, 827, static_cast<int32_t>(p.SnapshotPartLen));
      ShowNumber(dlg, 831, static_cast<int32_t>(p.SnapshotFadeIn));
      ShowNumber(dlg, 836, static_cast<int32_t>(p.SnapshotFadeOut));
      SetCheck(dlg, 829, !(p.SnapshotFlags & 1));
      SetCheck(dlg, 833, (p.SnapshotFlags >> 1) & 1);
      SetCheck(dlg, 834, (p.SnapshotFlags >> 2) & 1);
      CamEnable(dlg);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == EN_KILLFOCUS) {
        if (id == 827 || id == 828) PositionFocusLost(dlg, id, 827);
        else if (id >= 820 && id <= 836) ShowNumber(dlg, id, ReadNumber(dlg, id));
        return TRUE;
      }
      if (id == 829 || id == 833 || id == 834) {
        CamEnable(dlg);
        return TRUE;
      }
      if (id == IDOK) {
        CommitFocus(dlg);
        const ProjectSettings p = Settings();
        int radio = 0;
        for (int k = 0; k < 3; ++k)
          if (Checked(dlg, 823 + k)) radio = k;
        uint32_t flags = p.SnapshotFlags & ~7u;
        if (!Checked(dlg, 829)) flags |= 1;
        if (Checked(dlg, 833)) flags |= 2;
        if (Checked(dlg, 834)) flags |= 4;
        const uint32_t values[9] = {static_cast<uint32_t>(ReadNumber(dlg, 820)),
                                    static_cast<uint32_t>(ReadNumber(dlg, 821)),
                                    static_cast<uint32_t>(ReadNumber(dlg, 822)),
                                    static_cast<uint32_t>(radio),
                                    (p.AutoFlags & ~1u) | (Checked(dlg, 826) ? 1u : 0u),
                                    static_cast<uint32_t>(PairPosition(827)),
                                    static_cast<uint32_t>(ReadNumber(dlg, 831)),
                                    static_cast<uint32_t>(ReadNumber(dlg, 836)),
                                    flags};
        for (int i = 0; i < 9; ++i) SetArrParam(11 + i, values[i]);
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

// ---- MIDISETUP ----
INT_PTR CALLBACK MidiSetupDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      SetWindowLongPtrA(dlg, DWLP_USER, lParam);
      SetCheck(dlg, 845, ReadMidiCfgUnit(static_cast<int>(lParam) + 1) & 1);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        const int unit = static_cast<int>(GetWindowLongPtrA(dlg, DWLP_USER));
        int32_t word = ReadMidiCfgUnit(unit + 1) & ~1;
        if (Checked(dlg, 845)) word |= 1;
        WriteMidiCfgUnit(word, unit + 1);
        UnitSetOptionFlags(unit, UnitOptionFlags(word, SyncInMTCQF48));
        EndDialog(dlg, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, IDCANCEL);
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace

void SetupDialog(void* mainWnd, uint32_t id) {
  HWND wnd = static_cast<HWND>(mainWnd);
  switch (id) {
    case 41608: DoDialogParam(wnd, "SYNCSETUP", SyncSetupDlgProc, 0); return;
    case 41609: DoDialogParam(wnd, "PLAYRECSETUP", PlayRecSetupDlgProc, 0); return;
    case 41610: DoDialogParam(wnd, "CAMSETUP", CamSetupDlgProc, 0); return;
    case 41611: case 41612: case 41613: case 41614:
      DoDialogParam(wnd, "MIDISETUP", MidiSetupDlgProc, static_cast<LPARAM>(id - 41611));
      return;
    case 41800:
      if (WndTable[kToolWnd]) DoDialogParam(wnd, "CUSTOMTOOLPAGE", CustomToolPageDlgProc, 0);
      return;
  }
}
