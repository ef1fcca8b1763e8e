// CUSTOMSMARTTOOL: the dialog that edits the six context tool sets. (The
// automation thinning values are asked by REDUCE_EVENTS with the other
// processing dialogs.)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "mixer/arrange/csetools.h"
#include "mixer/arrange/win32/arrchild.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/util/numtext.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/shell/wndtable.h"

namespace {

enum : int {
  kCseSetCombo = 800,
  kCseZoneCombo = 801,  // .. 812, zones 0..11
  kCseSave = 102,
};

constexpr int kNone = 43;
// The tools a zone may hold, in the order the combos list them.
constexpr int kZoneTools[] = {kNone, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 46, 11, 12, 13, 14, 16, 17, 19, 20, 22, 44,
                              23, 27, 39, 28};

// The dialog's edit copy of the user entries and the set last shown.
int32_t editCopy[kCseSets][kCseUserEntries];
int shownSet = 0;

void FillZoneCombo(HWND combo) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  for (const int tool : kZoneTools) {
    // The tool tip's first line names the tool; 43 here means none.
    char text[256] = "";
    StrLoad(tool == kNone ? IDS_CSE_TOOL_NONE : 1024 + static_cast<uint32_t>(tool), text, sizeof text);
    if (char* lf = std::strchr(text, '\n')) *lf = '\0';
    const LRESULT i = SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (i >= 0) SendMessageA(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), tool);
  }
}

void ShowSet(HWND dlg, int set) {
  for (int z = 0; z < kCseUserEntries; ++z) CseSelectTool(GetDlgItem(dlg, kCseZoneCombo + z), editCopy[set][z]);
}

void StoreSet(HWND dlg, int set) {
  for (int z = 0; z < kCseUserEntries; ++z) editCopy[set][z] = CseComboTool(GetDlgItem(dlg, kCseZoneCombo + z));
}

HWND Owner() { return WndTable[kMainWnd]; }

}  // namespace

int CseSelectTool(HWND combo, int tool) {
  const LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i)
    if (SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == tool) {
      SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return 1;
    }
  SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  return 0;
}

int CseComboTool(HWND combo) {
  const LRESULT i = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (i < 0) return kNone;
  return static_cast<int>(SendMessageA(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
}

INT_PTR CALLBACK CustomSmartToolDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG: {
      if (Owner()) CenterOverWindow(Owner(), dlg);
      for (int k = 0; k < kCseSets; ++k) std::copy(CseTools[k], CseTools[k] + kCseUserEntries, editCopy[k]);
      HWND sets = GetDlgItem(dlg, kCseSetCombo);
      for (int k = 0; k < kCseSets; ++k) {
        char name[128] = "";
        StrLoad(IDS_CSE_SET1 + static_cast<uint32_t>(k), name, sizeof name);
        const LRESULT i = SendMessageA(sets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        if (i >= 0) SendMessageA(sets, CB_SETITEMDATA, static_cast<WPARAM>(i), k);
      }
      shownSet = std::clamp(shownSet, 0, kCseSets - 1);
      SendMessageA(sets, CB_SETCURSEL, static_cast<WPARAM>(shownSet), 0);
      for (int z = 0; z < kCseUserEntries; ++z) FillZoneCombo(GetDlgItem(dlg, kCseZoneCombo + z));
      ShowSet(dlg, shownSet);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kCseSetCombo:
          if (HIWORD(wParam) == CBN_SELCHANGE) {
            StoreSet(dlg, shownSet);
            const LRESULT i = SendDlgItemMessageA(dlg, kCseSetCombo, CB_GETCURSEL, 0, 0);
            if (i >= 0) shownSet = static_cast<int>(SendDlgItemMessageA(dlg, kCseSetCombo, CB_GETITEMDATA,
                                                                        static_cast<WPARAM>(i), 0));
            shownSet = std::clamp(shownSet, 0, kCseSets - 1);
            ShowSet(dlg, shownSet);
          }
          return TRUE;
        case IDOK:
        case kCseSave:
          StoreSet(dlg, shownSet);
          for (int k = 0; k < kCseSets; ++k) CseNormalize(k, editCopy[k]);
          if (LOWORD(wParam) == kCseSave) CseWriteSets();
          EndDialog(dlg, LOWORD(wParam));
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

int ArrRunCustomSmartToolDlg(HWND owner) {
  return static_cast<int>(DoDialogParam(owner, "CUSTOMSMARTTOOL", CustomSmartToolDlgProc, 0));
}
