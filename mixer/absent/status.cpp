// The status bar is not built yet: there is nothing to redraw.
#include "mixer/shell/services.h"

void StatusRedrawAll() {}
