// The file manager's hooks: its window has no function in this program, so
// each hook does nothing.
#include "mixer/shell/services.h"

void SFManStartHook() {}
void SFManExitHook() {}
void SFManSettingsHook() {}
