// The module host's services of the program's shell (arrange/services.h),
// apart from the rest so that tests with recording stand-ins of them can
// link the host.
#include "mixer/arrange/win32/eopwin.h"

void EopUpdateMenu(void* mainWnd) { EopFillMainMenu(static_cast<HWND>(mainWnd)); }

void EopRunTool(void* mainWnd, uint32_t id) { EopRunToolAt(static_cast<HWND>(mainWnd), 0, 0, id, -2); }

int EopAuditionPlaying() { return EopAuditionIsPlaying(); }
