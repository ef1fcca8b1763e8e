// The mixer at start-up and shutdown: element libraries, the current
// document, the save prompt.
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"
#include "mixer/mix/win32/winlib.h"
#include "mixer/model/util/strtab.h"

// Element windows and meters are not built yet: nothing to refresh.
void MixIdleTick(MixDoc*) {}
void MixCheckDspLimitTick() { MixCheckDspLimit(); }
void QVMXA_SetLocator(int32_t position) {
  MixProgramSetUp();
  MxaLocate(position);
}
void MixLoadElemLibs(const char* folder) {
  MixProgramSetUp();
  static Win32ElemLoader loader;
  ScanElementFolder(loader, folder);
}
void MixFreeElemLibs() { FreeElementLibraries(); }
void MixDocCreateCurrent() {
  MixProgramSetUp();
  MixDocDestroyCurrent();
  MixCurrentDoc() = MixDocCreate(1);
  MixCurrentPath().clear();
}
void MixDocDestroyCurrent() {
  MixDocDestroy(MixCurrentDoc());
  MixCurrentDoc() = nullptr;
}
void MixDspLayoutFree() {}
int MixOfferSave() {
  MixDoc* doc = MixCurrentDoc();
  if (!doc || !MixIsChanged(doc)) return 1;
  const int answer = MixHostGet().Message(IDS_SAVE_MIX_CHANGES, kMixMsgYesNoCancel, nullptr);
  if (answer == kMixAnswerCancel) return 0;
  if (answer != kMixAnswerYes) return 1;
  // A mix that has no file yet is saved through the document commands'
  // Save As; closing waits for it.
  if (MixCurrentPath().empty()) return 0;
  if (!MixWriteFile(doc, MixCurrentPath().c_str())) return 0;
  MixSnapshotStates(doc);
  return 1;
}
void MixSetRecLamps(int) {}
