// The shell's outside links that are not built yet.
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"

void TakeDirWndRepaint() {}
