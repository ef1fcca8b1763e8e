// What the program's timer asks of an off-line run: whether a run dialog is
// up, and the progress step at each tick (the run's engine knows how far it
// is; the location the timer read is for the transport's runs).
#include "mixer/arrange/services.h"
#include "mixer/arrange/win32/procdlgs.h"
#include "mixer/model/win32/progressbar.h"

int ProcRunActive() { return RunOpDlg != nullptr; }

void ProcRunProgress(int32_t) { ProcRunTimerTick(); }
