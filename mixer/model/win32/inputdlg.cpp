#include "mixer/model/win32/inputdlg.h"

#include "mixer/model/util/format.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/shell/wndtable.h"

namespace {

char g_inputText[kInputTextSize];

void InitInputDlg(HWND dlg, const char* caption) {
  CenterOverWindow(WndTable[kMainWnd], dlg);
  if (caption) SetWindowTextA(dlg, caption);
  SetDlgItemTextA(dlg, kInputEdit, g_inputText);
}

// An entry longer than the buffer is cut: GetDlgItemTextA copies at most
// size - 1 characters and always terminates.
void TakeInputText(HWND dlg) {
  if (!GetDlgItemTextA(dlg, kInputEdit, g_inputText, kInputTextSize)) g_inputText[0] = '\0';
}

}  // namespace

void SetInputText(const char* text) { FormatText(g_inputText, kInputTextSize, "%s", text ? text : ""); }

const char* InputText() { return g_inputText; }

INT_PTR CALLBACK InputDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      InitInputDlg(dlg, reinterpret_cast<const char*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          TakeInputText(dlg);
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
