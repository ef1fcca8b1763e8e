// Without the module host: the menu keeps its placeholders, nothing
// auditions (see modules.cpp).
#include "mixer/arrange/services.h"

int EopAuditionPlaying() { return 0; }
void EopUpdateMenu(void*) {}
