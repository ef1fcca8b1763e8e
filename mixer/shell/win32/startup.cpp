// Start-up, the message loop and shutdown of the program.
#include <windows.h>

#include "mixer/arrange/win32/arrwnd.h"
#include <mmsystem.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstring>
#include <initializer_list>

#include "logs/services.h"
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/xfdisp.h"
#include "mixer/mix/services.h"
#include "mixer/model/host.h"
#include "mixer/model/ini.h"
#include "mixer/model/options.h"
#include "mixer/model/util/paths.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/takeio.h"
#include "mixer/model/win32/appwnd.h"
#include "mixer/model/win32/drvlibcheck.h"
#include "mixer/model/win32/iniwin.h"
#include "mixer/model/win32/mrkdir.h"
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/win32/skin.h"
#include "mixer/shell/wndtable.h"
#include "mixer/units/services.h"

namespace {

constexpr UINT kWindowTimerPeriod = 50;
constexpr int kNativeTracks = 128;
constexpr UINT kMsgTooManyTimers = 147;
constexpr UINT kMsgUnitsSeveralPcs = 331;

void ReadSystemMetrics(ShellState& s) {
  s.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  s.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  s.captionHeight = GetSystemMetrics(SM_CYCAPTION);
  s.frameWidth = GetSystemMetrics(SM_CXFRAME);
  s.frameHeight = GetSystemMetrics(SM_CYFRAME);
  s.arrScrollWidth = s.arrScrollHeight = 16;
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExA(&version);
  s.sw.XpLook = version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
                (version.dwMajorVersion > 5 ||
                 (version.dwMajorVersion == 5 && version.dwMinorVersion > 0));
  INITCOMMONCONTROLSEX icc = {sizeof icc, 0xFF};
  InitCommonControlsEx(&icc);
}

void InitCom(ShellState& s) {
  using CoInitExFn = HRESULT(WINAPI*)(LPVOID, DWORD);
  HMODULE ole = GetModuleHandleA("OLE32");
  auto coInitEx = ole ? reinterpret_cast<CoInitExFn>(
                            reinterpret_cast<void*>(GetProcAddress(ole, "CoInitializeEx")))
                      : nullptr;
  if (coInitEx) {
    coInitEx(nullptr, COINIT_APARTMENTTHREADED);
    s.comEx = 1;
  } else {
    CoInitialize(nullptr);
  }
}

int IsOrdinaryFile(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Chooses the main ini file and installs the Windows profile store over it.
int OpenIniFile(ShellState& s, const char* name) {
  char dir[MAX_PATH];
  DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
  if (n == 0 || n >= sizeof dir) return 0;
  if (!ChooseIniPath(dir, name, IsOrdinaryFile, s.iniPath)) return 0;
  SetProfile(&WindowsProfile());
  SetMainIniPath(s.iniPath);
  return MainIniVersionOk();
}

// Registers the main frame class and every other class of the program, in
// the program's order; a failed registration is not reported.
void RegisterClasses(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = MainWndProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
  wc.lpszClassName = kMainClass;
  RegisterClassA(&wc);
  RegisterCtl9Classes(instance);
  for (const char* name : {"ToolWnd_WC", "DragnDropWnd_WC", "StatWnd_WC"})
    RegisterShellClass(instance, name);
  RegisterTapeTransWnd(instance);
  RegisterArrWnd(instance);
  RegisterArrColWnd(instance);
  RegisterArrChildWnd(instance);
  for (const char* name : {"DirWnd_WC", "SFManWnd_WC"}) RegisterShellClass(instance, name);
  RegisterMrkDirWnd(instance);
  for (const char* name : {"AudBufWnd_WC", "BigClocWnd_WC"}) RegisterShellClass(instance, name);
  RegisterVideoWnd(instance);
  Register9PinWnd(instance);
  RegisterMixerWindows(instance);
  RegisterXfadeDisplayClass(instance);
}

HWND CreateMainFrame(ShellState& s) {
  WindowPosRec pos;
  ReadIniWindowPos(s.iniPath, IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_WINDOW, &pos);
  s.lastX = pos.x;
  s.lastY = pos.y;
  HWND wnd = CreateWindowExA(0, kMainClass, "HRL Mixer",
                             WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                                 WS_MINIMIZEBOX,
                             pos.x, pos.y, pos.width, pos.height, nullptr, nullptr, s.instance,
                             &s.showCmd);
  if (wnd && pos.show != s.showCmd) {
    ShowWindow(wnd, pos.show);
    UpdateWindow(wnd);
  }
  return wnd;
}

// The 50 ms window timer; 0 when the user gave up.
int StartWindowTimer(ShellState& s) {
  while (!(s.windowTimer = SetTimer(nullptr, 0, kWindowTimerPeriod, MainTimerProc))) {
    if (MessageBoxById(nullptr, kMsgTooManyTimers, MB_RETRYCANCEL | MB_ICONEXCLAMATION) !=
        IDRETRY)
      return 0;
  }
  return 1;
}

// Releasing Alt over these windows must not open the menu bar.
bool AltUpSwallowed(const MSG& msg) {
  static const WndId kOwn[] = {kMainWnd, kDirWnd, kAudBufWnd, kBigClocWnd,
                               kVideoWnd, k9PinWnd, kMixWnd};
  static const WndId kParents[] = {kArrangeWnd, kFileManagerWnd, kMrkDirWnd};
  for (WndId id : kOwn)
    if (WndTable[id] && msg.hwnd == WndTable[id]) return true;
  HWND parent = GetParent(msg.hwnd);
  for (WndId id : kParents)
    if (WndTable[id] && parent == WndTable[id]) return true;
  return false;
}

// The keyboard filter while the context-sensitive edit tool is in the left
// mouse slot. Returns true when the message is discarded.
bool FilterModifierKeys(const MSG& msg) {
  if (!WndTable[kArrangeWnd] || !ContextEditToolActive()) return false;
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_SYSKEYDOWN &&
      msg.message != WM_SYSKEYUP)
    return false;
  if (msg.wParam != VK_SHIFT && msg.wParam != VK_CONTROL && msg.wParam != VK_MENU) return false;
  ArrUpdateToolCursor();
  return msg.message == WM_SYSKEYUP && msg.wParam == VK_MENU && AltUpSwallowed(msg);
}

void DispatchOne(ShellState& s, MSG& msg) {
  if (FilterModifierKeys(msg)) return;
  ++s.dispatched;
  if (MainAcceleratorsApply() && s.accel && WndTable[kMainWnd] &&
      TranslateAcceleratorA(WndTable[kMainWnd], s.accel, &msg))
    return;
  TranslateMessage(&msg);
  DispatchMessageA(&msg);
}

void IdleWait(ShellState& s, uint32_t& idle) {
  idle += s.devTimer.period ? s.devTimer.period : s.sw.DevTimerPeriod;
  if (idle >= 20) {
    idle = 0;
    MixIdleTick(CurMixDoc());
  }
  if (s.devTimer.event) {
    MsgWaitForMultipleObjects(1, &s.devTimer.event, FALSE, INFINITE, QS_ALLINPUT);
    MainTimerProc(nullptr, 0, 0, 0);
  } else {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

WPARAM MessageLoop(ShellState& s) {
  MSG msg;
  uint32_t idle = 0;
  for (;;) {
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return msg.wParam;
      DispatchOne(s, msg);
    } else if (!FatalErrorState) {
      IdleWait(s, idle);
    }
  }
}

// A frame destroyed during start-up has posted WM_QUIT from its WM_DESTROY;
// no loop will read it, so it must not outlive the failed start-up.
void DropPendingQuit() {
  MSG msg;
  PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
}

// Undoes what start-up opened before the main frame's message loop ran.
enum UndoLevel { kUndoCom, kUndoUnits, kUndoTimerPeriod };
int FailStartup(UndoLevel level) {
  if (level >= kUndoUnits) {
    CloseUnits();
    NatDevCloseAll();
  }
  if (level >= kUndoTimerPeriod) timeEndPeriod(1);
  CoUninitialize();
  return 0;
}

void Shutdown(ShellState& s) {
  if (s.devTimer.event) DeleteTimer(&s.devTimer);
  KillTimer(nullptr, s.windowTimer);
  s.windowTimer = 0;
  UnitsStop();
  CloseUnits();
  ReleaseProcessServices();
}

}  // namespace

void ReleaseProcessServices() {
  timeEndPeriod(1);
  CoUninitialize();
  MixFreeElemLibs();
  QVMIV_Quit();
  NatDevCloseAll();
  SFManExitHook();
}

int HrlWinMain(HINSTANCE instance, const char* cmdLine, int show) {
  ShellState& s = Shell();
  s.instance = instance;
  s.showCmd = show;
  ReadSystemMetrics(s);
  const char* iniName = ParseSwitches(cmdLine ? cmdLine : "", &s.sw);
  KeepTakesOpen = s.sw.KeepTakesOpen;
  InitCom(s);
  if (!OpenIniFile(s, iniName)) {
    MessageBoxById(nullptr, IDS_INI_INVALID, MB_ICONEXCLAMATION);
    return FailStartup(kUndoCom);
  }
  ReadSkin(s);
  if (!CheckDrvLibVersion()) {
    MessageBoxById(nullptr, IDS_OLD_DRIVER, MB_ICONEXCLAMATION);
    return FailStartup(kUndoCom);
  }
  SplashCreate(instance);
  int severalPcs = 0;
  if (!OpenUnits(&severalPcs) && UnitsConfigDialog()) OpenUnits(&severalPcs);
  s.severalPcs = severalPcs;
  if (severalPcs) MessageBoxById(nullptr, kMsgUnitsSeveralPcs, MB_ICONEXCLAMATION);
  const NatDiskCallbacks disk = {TakeReadSamples, TakeWriteSamples};
  if (!NatDevOpenAll(kNativeTracks, &disk)) return FailStartup(kUndoUnits);
  timeBeginPeriod(1);
  RegisterClasses(instance);
  if (!CreateMainFrame(s)) {
    DropPendingQuit();
    return FailStartup(kUndoTimerPeriod);
  }
  if (!StartWindowTimer(s)) {
    // Leave no frame behind: its WM_DESTROY tears down what WM_CREATE built.
    if (WndTable[kMainWnd]) DestroyWindow(WndTable[kMainWnd]);
    DropPendingQuit();
    return FailStartup(kUndoTimerPeriod);
  }
  if (!CreateTimer(&s.devTimer, s.sw.DevTimerPeriod)) s.devTimer = QVTIMER{};
  s.accel = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDA_MAIN));
  WPARAM result = MessageLoop(s);
  Shutdown(s);
  return static_cast<int>(result);
}

// The main frame's accelerators apply unless the mouse is captured, or
// unless every key goes to the mixer elements and the active window is
// none of the program's own (a mixer element's window then gets them all).
bool MainAcceleratorsApply() {
  if (GetCapture()) return false;
  if (!AllKeyInpToMixElem) return true;
  static const WndId kProgram[] = {kMainWnd,    kArrangeWnd, kDirWnd,   kFileManagerWnd,
                                   kMrkDirWnd,  kAudBufWnd,  kBigClocWnd, kVideoWnd,
                                   k9PinWnd,    kMixWnd};
  const HWND active = GetActiveWindow();
  for (WndId id : kProgram)
    if (WndTable[id] && active == WndTable[id]) return true;
  return false;
}

void* MainAccelTable() { return Shell().accel; }
