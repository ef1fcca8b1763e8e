// The mixer's own menu commands on the current document.
#include "mixer/mix/mixdoc.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"

void MixEditModeCmd() {
  MixProgramSetUp();
  MixDocToggleEditMode(MixCurrentDoc());
}
void MixAutomationEnableCmd() {
  MixProgramSetUp();
  MixDocToggleAutomEnable(MixCurrentDoc());
}
void MixDelayCompCmd() {
  MixProgramSetUp();
  MixDocToggleDelayComp(MixCurrentDoc());
}
