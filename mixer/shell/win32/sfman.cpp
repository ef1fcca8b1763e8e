#include "mixer/shell/services.h"

// The file manager has no function in this program: its hooks do nothing.
void SFManStartHook() {}
void SFManExitHook() {}
void SFManSettingsHook() {}
