// The module host's services of the program's shell (arrange/services.h,
// shell/services.h), compiled into the program itself so that they take the
// place of the stand-ins of mixer/absent; tests with recording stand-ins of
// them link the host without this file.
#include "mixer/arrange/win32/eopwin.h"
#include "mixer/shell/services.h"

// The shell's start-up scans the folder of the ini key ExvoraLibPath and
// frees the modules at shutdown.
void ExvScanModules(const char* folder) {
  EopSetPlatform(&EopWinPlatform());
  EopScanModules(folder ? folder : "");
}
void ExvFreeModules() { EopFreeModules(); }

void EopUpdateMenu(void* mainWnd) { EopFillMainMenu(static_cast<HWND>(mainWnd)); }

void EopRunTool(void* mainWnd, uint32_t id) { EopRunToolAt(static_cast<HWND>(mainWnd), 0, 0, id, -2); }

int EopAuditionPlaying() { return EopAuditionIsPlaying(); }
