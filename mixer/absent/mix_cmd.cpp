// No mixer: its commands have nothing to act on.
#include "mixer/mix/services.h"

void MixEditModeCmd() {}
void MixAutomationEnableCmd() {}
void MixDelayCompCmd() {}
void MixAutomRecordCmd(MixDoc*) {}
void MixSnapshotStates() {}
void MixFreeSnapshot() {}
int MixWndView() { return -1; }
void MixWndCreate(int) {}
