// Dialog MARKERINFO: a marker's name and position, the position typed as
// time code or as bars.beats.ticks.
#include <algorithm>
#include <cstring>

#include "mixer/model/util/format.h"
#include "mixer/model/settings.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/textfields.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/model/win32/dlgitems.h"
#include "mixer/model/win32/mrkdir.h"
#include "mixer/shell/wndtable.h"

MrkRec MrkInfoResult = {};

namespace {

constexpr int kFieldTextMax = 64;
constexpr int kNameMax = 63;  // characters, the NUL not counted

// The position the dialog works on; the fields are shown from it. The
// dialog is modal, so one is open at a time.
int32_t WorkingLoc = 0;

void ShowLoc(HWND dlg) {
  TcRec tc;
  LocToTimeCode(&tc, WorkingLoc, Settings().TcOffset);
  SetDlgItemTimeCode(dlg, kMrkInfoTimeCode, tc, 0);
  BbtRec bbt;
  LocToBbt(&bbt, WorkingLoc, 1);
  SetDlgItemBbt(dlg, kMrkInfoBbt, bbt);
}

// Reads the typed position of field 452 or 453 into WorkingLoc and shows
// both fields again from it. A typed time beyond the time line is held at
// the last position that can be set.
void ReadLocField(HWND dlg, int item) {
  char text[kFieldTextMax];
  GetDlgItemTextA(dlg, item, text, sizeof text);
  int32_t loc;
  if (item == kMrkInfoTimeCode) {
    TcRec tc;
    TextToTimeCode(text, &tc, 1);
    loc = TimeCodeToLoc(tc, Settings().TcOffset);
  } else {
    BbtRec bbt;
    TextToBbt(text, &bbt, 1);
    loc = BbtToLoc(bbt, 1);
  }
  WorkingLoc = std::clamp<int32_t>(loc, 0, kMaxSettableLoc);
  ShowLoc(dlg);
}

bool IsLocField(int item) { return item == kMrkInfoTimeCode || item == kMrkInfoBbt; }

BOOL OnInit(HWND dlg, uint32_t n) {
  CenterOverWindow(WndTable[kMainWnd], dlg);
  const MrkRec* mrk = MrkIsValid(CurMrkList, n) ? MrkSlot(CurMrkList, n - 1) : nullptr;
  if (mrk == nullptr) {  // nothing to edit: the marker went away
    EndDialog(dlg, IDCANCEL);
    return TRUE;
  }
  WorkingLoc = mrk->Position;
  char text[kMsgFormatMax + 1];
  FormatById(text, sizeof text, IDS_MARKER_N, static_cast<int>(n));
  SetDlgItemTextA(dlg, kMrkInfoCaption, text);
  char name[kNameMax + 1];
  const size_t length = strnlen(mrk->Name, kNameMax);  // a stored name may lack its NUL
  std::memcpy(name, mrk->Name, length);
  name[length] = '\0';
  SendDlgItemMessageA(dlg, kMrkInfoName, EM_LIMITTEXT, kNameMax, 0);
  SetDlgItemTextA(dlg, kMrkInfoName, name);
  ShowLoc(dlg);
  return TRUE;
}

void OnOk(HWND dlg) {
  const int focused = GetDlgCtrlID(GetFocus());
  if (IsLocField(focused)) ReadLocField(dlg, focused);
  MrkInfoResult = {};
  MrkInfoResult.Position = WorkingLoc;
  GetDlgItemTextA(dlg, kMrkInfoName, MrkInfoResult.Name, sizeof MrkInfoResult.Name);
  EndDialog(dlg, IDOK);
}

}  // namespace

INT_PTR CALLBACK MarkerInfoDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInit(dlg, static_cast<uint32_t>(lParam));
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          OnOk(dlg);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
        case kMrkInfoTimeCode:
        case kMrkInfoBbt:
          if (HIWORD(wParam) == EN_KILLFOCUS) ReadLocField(dlg, LOWORD(wParam));
          return TRUE;
      }
      break;
  }
  return FALSE;
}
