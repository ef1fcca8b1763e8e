// The window classes of the video, 9-pin and mixer
// windows, registered with the default window procedure until those
// windows are built, so that the program's class list is whole.
#include <windows.h>

#include <initializer_list>

#include "mixer/mix/services.h"
#include "mixer/units/services.h"

namespace {
void RegisterPlain(void* instance, const char* name) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = static_cast<HINSTANCE>(instance);
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  RegisterClassA(&wc);
}
}  // namespace

void RegisterVideoWnd(void* instance) { RegisterPlain(instance, "VideoWnd_WC"); }
void Register9PinWnd(void* instance) { RegisterPlain(instance, "9PinWnd_WC"); }
void RegisterMixerWindows(void* instance) {
  for (const char* name : {"MixWnd_WC", "MixChildWnd_WC", "MixColWnd_WC"})
    RegisterPlain(instance, name);
}
