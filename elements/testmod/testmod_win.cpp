#include <windows.h>

#include "elements/testmod/testmod.h"
#include "elements/win32/elemwin.h"

namespace {

constexpr char kLittleClass[] = "QVTSTXX_LWC";

LRESULT CALLBACK LittleProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(wnd, &ps);
      RECT r;
      GetClientRect(wnd, &r);
      DrawLittleWindowBorder(dc, r);
      EndPaint(wnd, &ps);
      return 0;
    }
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

bool Registered() {
  WNDCLASSA wc{};
  if (GetClassInfoA(ElemModule().Instance, kLittleClass, &wc)) return true;
  wc.lpfnWndProc = LittleProc;
  wc.hInstance = ElemModule().Instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = CreateSolidBrush(ElemModule().Skin.Colors[kCol_LittleWindow_Background]);
  wc.lpszClassName = kLittleClass;
  return RegisterClassA(&wc) != 0;
}

}  // namespace

WndHandle TestElemLittleWindow(ElemHandle element, WndHandle parent, const ElemPoint& at, int32_t width,
                               int32_t height) {
  if (!Registered()) return nullptr;
  return CreateWindowExA(0, kLittleClass, "", WS_CHILD | WS_VISIBLE, at.x, at.y, width, height, parent,
                         reinterpret_cast<HMENU>(element), ElemModule().Instance, element);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return ElemModuleAttach(instance);
    case DLL_PROCESS_DETACH:
      UnregisterClassA(kLittleClass, instance);
      ElemModuleDetach();
      break;
  }
  return TRUE;
}
