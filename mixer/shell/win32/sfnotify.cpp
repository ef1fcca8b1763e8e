// The file manager's notification hook: it has nothing to update.
#include "mixer/shell/services.h"

void SFManNotify(uint32_t, uint32_t) {}
