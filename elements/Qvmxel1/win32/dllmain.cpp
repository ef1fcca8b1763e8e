// Qvmxel1.dll: its library entry, the module services over the element
// utilities (private heap, screen metrics), the window classes and the
// dispatch from the element core to its windows.
#include <cstdio>

#include "elements/Qvmxel1/qvmxel1api.h"
#include "elements/Qvmxel1/win32/qvwin.h"

namespace {

struct ClassName {
  const char* Name;
  WNDPROC Proc;
  bool Big;
};

// The thirteen classes: ten little, three big.
const ClassName kClasses[] = {
    {"QVINPXX_LWC", LittleProc, false}, {"QVRECXX_LWC", LittleProc, false}, {"QV2EQXX_LWC", LittleProc, false},
    {"QVFADXX_LWC", LittleProc, false}, {"QVSDLXX_LWC", LittleProc, false}, {"QVPEKXX_LWC", LittleProc, false},
    {"QVSNDXX_LWC", LittleProc, false}, {"QVOUTXX_LWC", LittleProc, false}, {"QVDOTXX_LWC", LittleProc, false},
    {"QVDUMXX_LWC", LittleProc, false}, {"QVRECXX_BWC", LevelBigProc, true}, {"QV2EQXX_BWC", EqBigProc, true},
    {"QVSNDXX_BWC", LevelBigProc, true},
};

bool g_registered = false;

}  // namespace

void ModuleRegisterWindows() {
  if (g_registered) return;
  ElemModuleGlobals& m = ElemModule();
  for (const ClassName& c : kClasses) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = c.Proc;
    wc.cbWndExtra = sizeof(LONG_PTR);  // the window's data block
    wc.hInstance = m.Instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground =
        CreateSolidBrush(m.Skin.Colors[c.Big ? kCol_BigWindow_Background : kCol_LittleWindow_Background]);
    wc.lpszClassName = c.Name;
    RegisterClassA(&wc);
  }
  g_registered = true;
}

namespace {

void UnregisterWindows(HINSTANCE instance) {
  if (!g_registered) return;
  for (const ClassName& c : kClasses) {
    WNDCLASSA wc{};
    if (GetClassInfoA(instance, c.Name, &wc)) {
      UnregisterClassA(c.Name, instance);
      DeleteObject(wc.hbrBackground);
    }
  }
  g_registered = false;
}

}  // namespace

WndHandle ModuleCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width, int32_t height) {
  return CreateWindowExA(0, LittleClassOfRow(e->Row), e->Name, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, at.x, at.y,
                         width, height, parent, reinterpret_cast<HMENU>(e), ElemModule().Instance, e);
}

void ModuleCentred(int32_t cw, int32_t ch, int32_t* x, int32_t* y) {
  const ElemModuleGlobals& m = ElemModule();
  *x = (GetSystemMetrics(SM_CXSCREEN) - 2 * m.FrameWidth - cw) / 2;
  *y = (GetSystemMetrics(SM_CYSCREEN) - 2 * m.FrameHeight - m.CaptionHeight - ch) / 2;
}

void* ModuleAlloc(size_t size) { return ElemAlloc(size); }
void ModuleFree(void* block) { ElemFree(block); }

void ElemUi(Element* e, UiEvent what) {
  switch (what) {
    case kUiOpenBig:
      OpenBigWindow(e);
      return;
    case kUiCloseBig:
      CloseBigWindow(e);
      return;
    case kUiRefresh:
      if (e->Little) SendMessageA(e->Little, WMU_ELEM_REFRESH, 0, 0);
      return;
    case kUiLabel:
    case kUiValues:
      if (e->Little) SendMessageA(e->Little, WM_USER + what, 0, 0);
      if (e->Big) SendMessageA(e->Big, WM_USER + what, 0, 0);
      return;
  }
}

int ElemUiMetersShown(Element* e) {
  if (!e->Little || !IsWindowVisible(e->Little)) return 0;
  return !IsIconic(GetAncestor(e->Little, GA_ROOT));
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      if (!ElemModuleAttach(instance)) return FALSE;
      if (!CtlRegisterClasses(instance, kCtlTen)) {
        ElemModuleDetach();
        return FALSE;
      }
      break;
    case DLL_PROCESS_DETACH:
      UnregisterWindows(instance);
      CtlUnregisterClasses(instance, kCtlTen);
      ElemModuleDetach();
      break;
  }
  return TRUE;
}
