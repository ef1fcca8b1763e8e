// The shell's later windows and dialogs: documents, setup dialogs, the tool
// window and the big clock are not built yet. The mouse slots are kept, so
// that their settings are restored and saved.
#include "mixer/shell/services.h"

namespace {
int slots[4] = {20, 0, 19, 1};
}

void DocCommand(void*, uint32_t) {}
void SetupDialog(void*, uint32_t) {}
void ToolSelect(int slot, int tool) {
  if (slot >= 0 && slot < 4 && tool >= 0 && tool <= 48) slots[slot] = tool;
}
int ToolGet(int slot) { return slot >= 0 && slot < 4 ? slots[slot] : 0; }
void ToolWndCreate(void*) {}
void BigClockCommand(void*, uint32_t) {}
void BigClockShowBars(int) {}
