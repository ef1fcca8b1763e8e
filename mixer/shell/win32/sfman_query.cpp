#include "mixer/shell/services.h"

// Queries and commands of the file manager: nothing is open in it. Apart
// from its hooks, so that the module host's Take scan takes in only these.
int SFManQueryTake(uint32_t) { return 0; }
int SFManQueryArr(uint32_t) { return 0; }
int SFManCommand(uint32_t) { return 0; }
