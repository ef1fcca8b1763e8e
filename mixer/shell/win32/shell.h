// What the shell's Windows layer shares: the process-wide start-up state,
// the resources and the private messages of the program.
#pragma once

#include <windows.h>

#include <cstdint>

#include "mixer/shell/cmdline.h"
#include "mixer/shell/win32/qvdrv.h"

// Resources of HRL Mixer.exe.
enum : int {
  IDI_MAIN = 100,
  IDM_MAIN = 440,
  IDA_MAIN = 447,
  IDC_FIRST_CURSOR = 400,
  IDC_LAST_CURSOR = 430,
};

// Private messages.
enum : UINT {
  WMU_CTL_LBUTTONUP = 3125,
  WMU_CTL_LBUTTONDOWN = 3126,
  WMU_CTL_RBUTTONUP = 3127,
  WMU_CTL_RBUTTONDOWN = 3128,
  WMU_CTL_EDITDONE = 3129,
  WMU_CTL_POTMOVE = 3131,
  WMU_CTL_POTDONE = 3132,
  WMU_BLINK = 3145,
  WMU_SAVE_SETTINGS = 3146,
};

constexpr char kMainClass[] = "QV_WC200";


// Skin colours of the mixer and tool windows.
struct SkinColours {
  COLORREF mixBackground;
  COLORREF mixColumn[17];  // col_Column_Background .. col_Column_Label_Border_Bottom
  COLORREF toolBackground;
  COLORREF toolBorderTop;
  COLORREF toolBorderBottom;
  COLORREF toolMarker;
  COLORREF toolAltMarker;
};

struct ShellState {
  HINSTANCE instance = nullptr;
  int screenWidth = 0, screenHeight = 0;
  int captionHeight = 0, frameWidth = 0, frameHeight = 0;
  int arrScrollWidth = 16, arrScrollHeight = 16;
  StartSwitches sw;
  int comEx = 0;                     // COM initialised with CoInitializeEx
  char iniPath[kIniPathSize] = {};
  char skinPath[kIniPathSize] = {};
  SkinColours skin = {};
  int showCmd = SW_SHOWNORMAL;       // the show command WinMain received
  int startupComplete = 0;
  int severalPcs = 0;                // the units are spread over several PCs
  uint32_t dispatched = 0;           // messages dispatched by the loop
  HACCEL accel = nullptr;
  QVTIMER devTimer = {};
  UINT_PTR windowTimer = 0;
  int32_t lastX = 0, lastY = 0;      // the main frame's last position
};

ShellState& Shell();

// The program: start-up, the message loop and shutdown. Returns the wParam
// of WM_QUIT, or 0 when start-up failed.
int HrlWinMain(HINSTANCE instance, const char* cmdLine, int show);
// The last steps of every way out of the process, after the units are
// closed: the timer resolution, COM, the element modules, the MIDI library,
// the native devices and the file manager's hook.
void ReleaseProcessServices();

LRESULT CALLBACK MainWndProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
void CALLBACK MainTimerProc(HWND wnd, UINT msg, UINT_PTR id, DWORD time);

// Handles a menu or accelerator command; 0 when it is not one it knows.
int MainCmdDispatch(HWND wnd, UINT id);

// The main frame's accelerators apply to the next message: not while the
// mouse is captured, nor while every key goes to the mixer elements and the
// active window is none of the program's own.
bool MainAcceleratorsApply();

// The WM_INITMENU update of the main menu.
void MainMenuInit(HWND wnd);

// Registers the seven themed control classes.
void RegisterCtl9Classes(HINSTANCE instance);

// Called by the unit operations when a device request fails; ends the
// process once start-up is complete, else returns 0.
int FatalDspError(HANDLE device, int code);

// The window that receives the blink message (3145) every 250 ms; null for
// none.
void SetBlinkWnd(HWND wnd);
