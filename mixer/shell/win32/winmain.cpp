// The entry point of HRL Mixer.exe.
#include <windows.h>

#include "mixer/shell/win32/shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR cmdLine, int show) {
  return HrlWinMain(instance, cmdLine, show);
}
