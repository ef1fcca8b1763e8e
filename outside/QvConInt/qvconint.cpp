// Our own stand-in for the outside console-interface library. It links one
// program at a time, records every call it gets in a text log (the file the
// environment variable QVCIN_LOG names; none without it) and lets a test
// drive the program as a control surface would: a message-only window of
// class "QvConIntWnd", made on the registering thread, turns a posted
// message WM_APP + kind (wParam = a, lParam = b) into a call of the
// program's command callback on that thread.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#define QVCIN_API __stdcall

using CommandFn = int32_t(QVCIN_API*)(int32_t kind, int32_t a, intptr_t b);
using QueryFn = int32_t(QVCIN_API*)(int32_t kind, int32_t a, intptr_t out);

namespace {

constexpr int32_t kVersion = 0x2010000;
constexpr char kClass[] = "QvConIntWnd";
constexpr UINT kFirstKind = WM_APP;
constexpr UINT kLastKind = WM_APP + 10;

HINSTANCE gInstance = nullptr;
CommandFn gCommand = nullptr;
QueryFn gQuery = nullptr;
HWND gWnd = nullptr;

void Log(const char* fmt, long long a, long long b, long long c) {
  char path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableA("QVCIN_LOG", path, sizeof path);
  if (n == 0 || n >= sizeof path) return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, fmt, a, b, c);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

LRESULT CALLBACK WndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= kFirstKind && msg <= kLastKind && gCommand != nullptr) {
    const auto kind = static_cast<int32_t>(msg - kFirstKind);
    const int32_t r = gCommand(kind, static_cast<int32_t>(wParam), static_cast<intptr_t>(lParam));
    Log("command %lld %lld -> %lld", kind, static_cast<long long>(wParam), r);
    return r;
  }
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

}  // namespace

extern "C" {

int32_t QVCIN_API QVCIN_RegisterConsole(int32_t zero, CommandFn command, QueryFn query) {
  if (zero != 0 || command == nullptr || query == nullptr || gCommand != nullptr) return 0;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WndProc;
  wc.hInstance = gInstance;
  wc.lpszClassName = kClass;
  RegisterClassA(&wc);
  gWnd = CreateWindowA(kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, gInstance, nullptr);
  if (gWnd == nullptr) return 0;
  gCommand = command;
  gQuery = query;
  Log("register%.0lld%.0lld%.0lld", 0, 0, 0);
  return kVersion;
}

void QVCIN_API QVCIN_NotifyConsole(int32_t kind, int32_t a, intptr_t b) {
  // Records come by address: the marker's position, the strip's or
  // element's first word, the knob number are logged in their place.
  long long shown = b;
  const bool record = kind == 5 || kind == 7 || (kind == 6 && (a == 1 || a == 2));
  if (record && b != 0) shown = *reinterpret_cast<const int32_t*>(b);
  Log("notify %lld %lld %lld", kind, a, shown);
}

void QVCIN_API QVCIN_UnRegisterConsole() {
  if (gWnd != nullptr) DestroyWindow(gWnd);
  gWnd = nullptr;
  gCommand = nullptr;
  gQuery = nullptr;
  Log("unregister%.0lld%.0lld%.0lld", 0, 0, 0);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) gInstance = instance;
  return TRUE;
}

}  // extern "C"
