#include "mixer/shell/services.h"

// The file manager has no function in this program: its hooks do nothing.
void SFManStartHook() {}
void SFManExitHook() {}
void SFManSettingsHook() {}
// Queries and commands of the file manager: nothing is open in it.
int SFManQueryTake(uint32_t) { return 0; }
int SFManQueryArr(uint32_t) { return 0; }
int SFManCommand(uint32_t) { return 0; }
