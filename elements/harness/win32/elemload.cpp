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
