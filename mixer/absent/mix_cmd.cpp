// No mixer window yet: its commands have nothing to act on.
#include "mixer/mix/services.h"

void MixEditModeCmd() {}
void MixAutomationEnableCmd() {}
void MixDelayCompCmd() {}
int MixWndView() { return -1; }
void MixWndCreate(int) {}
