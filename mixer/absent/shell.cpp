// The shell's own windows of later work (status bar, tool window, file
// manager, document commands) and its outside links are not built yet.
#include "mixer/shell/services.h"
#include "mixer/shell/timer.h"

namespace {
uint32_t arrChanges = 0;
uint32_t mixChanges = 0;
}  // namespace

void StatusUpdate(int, uint32_t, int) {}
void SFManNotify(uint32_t, uint32_t) {}
void ArrChangeCountRaise() { ++arrChanges; }
uint32_t ArrChangeCountGet() { return arrChanges; }
void ArrChangeCountSet(uint32_t count) { arrChanges = count; }
uint32_t MixChangeCountGet() { return mixChanges; }
void MixChangeCountSet(uint32_t count) { mixChanges = count; }
void TakeDirWndRepaint() {}
int ContextEditToolActive() { return 0; }
void DocWriteLastFiles() {}
void DocAutoSave() {}
void DocOpenLastMix() {}
