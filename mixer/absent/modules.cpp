// Without the module host (the tests of the shell): no modules are found,
// the menu keeps its placeholders and nothing auditions. Each group of
// stand-ins sits in its own file, so that a program linking the real host
// or a test linking a recording fake of some of them takes none of these.
#include "mixer/shell/services.h"

void ExvScanModules(const char*) {}
void ExvFreeModules() {}
