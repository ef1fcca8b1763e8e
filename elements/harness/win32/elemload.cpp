#include "elements/harness/win32/elemload.h"
#include <cstring>

HMODULE ElemModuleLoad(const char* name, ElemModuleCalls* calls) {
  *calls = ElemModuleCalls{};
  HMODULE module = LoadLibraryA(name);
  if (!module) return nullptr;
  for (int i = 0; i < kElemExportCount; ++i) {
    FARPROC proc = GetProcAddress(module, kElemExportNames[i]);
    if (!proc) {
      FreeLibrary(module);
      *calls = ElemModuleCalls{};
      return nullptr;
    }
    *ElemCallSlot(calls, i) = reinterpret_cast<void*>(proc);
  }
  return module;
}

void ElemClick(HWND control, bool right) {
  SendMessageA(control, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, 0);
  SendMessageA(control, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, 0);
}

HWND ElemChild(HWND parent, int id, const char* cls) {
  for (HWND ch = GetWindow(parent, GW_CHILD); ch; ch = GetWindow(ch, GW_HWNDNEXT)) {
    char name[64] = "";
    GetClassNameA(ch, name, sizeof name);
    if (GetDlgCtrlID(ch) == id && std::strcmp(name, cls) == 0) return ch;
  }
  return nullptr;
}

int32_t ElemKnob(ElemModuleCalls& calls, ElemHandle element, uint32_t knob) {
  ELEMKNOBVALUE kv{knob, -1};
  calls.GetElement(element, kGetKnob, &kv);
  return kv.Value;
}

namespace {

// The visible dialog of this process, if any (the last found).
HWND FindOwnDialog() {
  const DWORD pid = GetCurrentProcessId();
  HWND found = nullptr;
  for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w; w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
    DWORD p = 0;
    GetWindowThreadProcessId(w, &p);
    if (p == pid && IsWindowVisible(w)) found = w;
  }
  return found;
}

constexpr int kFileNameBox = 0x47c;  // the file dialog's name field

DWORD WINAPI AnswerDialogs(LPVOID param) {
  auto* a = static_cast<ElemDialogAnswer*>(param);
  for (int i = 0; i < 500; ++i, Sleep(10)) {
    HWND dlg = FindOwnDialog();
    if (!dlg || !GetDlgItem(dlg, kFileNameBox)) continue;
    Sleep(100);  // let it finish filling in its fields
    GetDlgItemTextA(dlg, kFileNameBox, a->Offered, sizeof a->Offered);
    SetDlgItemTextA(dlg, kFileNameBox, a->Answer);
    PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    break;
  }
  for (int i = 0; i < 100; ++i, Sleep(10)) {
    HWND box = FindOwnDialog();
    if (!box || GetDlgItem(box, kFileNameBox)) continue;
    GetDlgItemTextA(box, 0xFFFF, a->BoxText, sizeof a->BoxText);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 1;
  }
  return 0;
}

}  // namespace

HANDLE ElemAnswerDialogs(ElemDialogAnswer* answer) {
  return CreateThread(nullptr, 0, AnswerDialogs, answer, 0, nullptr);
}
