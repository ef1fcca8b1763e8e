// Without the module host: no module's menu item runs (see modules.cpp).
#include "mixer/arrange/services.h"

void EopRunTool(void*, uint32_t) {}
