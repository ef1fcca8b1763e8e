// No mixer window yet.
#include "mixer/mix/services.h"

int MixWndView() { return -1; }
void MixWndCreate(int) {}
