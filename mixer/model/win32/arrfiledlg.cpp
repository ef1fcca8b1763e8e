#include "arrfiledlg.h"

#include "dialogs.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/strtab.h"
#include "mixer/shell/wndtable.h"
#include "progressbar.h"

namespace {

// Messages handed on after each Part.
constexpr int kMessagesPerPart = 20;

// Set by Cancel and by WM_DESTROY, cleared when a read starts; read by the
// reader after each Part.
int ReadArrCancel = 0;

class DialogProgress : public ArrReadProgress {
 public:
  explicit DialogProgress(HWND dlg) : dlg_(dlg) {}
  void SetRange(int32_t parts) override { ProgressSetRange(dlg_, kReadArrProgressItem, 0, parts); }
  int Step(int32_t done) override {
    ProgressSetPos(dlg_, kReadArrProgressItem, done);
    PumpWaitingMessages(kMessagesPerPart);
    return ReadArrCancel;
  }

 private:
  HWND dlg_;
};

}  // namespace

INT_PTR CALLBACK ReadArrFileDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterOverWindow(WndTable[kMainWnd], dlg);
      ReadArrCancel = 0;
      PostMessageA(dlg, kReadArrStartMsg, 0, lParam);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) {
        EnableWindow(GetDlgItem(dlg, IDCANCEL), FALSE);
        SetDlgItemTextA(dlg, kReadArrStatusItem, StrText(IDS_ABORTED));
        ReadArrCancel = 1;
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      ReadArrCancel = 1;
      return FALSE;
    case kReadArrStartMsg: {
      const auto* request = reinterpret_cast<const ArrReadRequest*>(lParam);
      SetDlgItemTextA(dlg, kReadArrNameItem, request->Path ? PathFindName(request->Path) : "");
      DialogProgress progress(dlg);
      EndDialog(dlg, ReadArrFile(*request, &progress));
      return TRUE;
    }
  }
  return FALSE;
}

int ReadArrFileDlg(const ArrReadRequest& request) {
  return DoDialogParam(WndTable[kMainWnd], "READARRFILE", ReadArrFileDlgProc,
                       reinterpret_cast<LPARAM>(&request)) == 1;
}
