// The document commands' way to the mix file.
#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixfile.h"
#include "mixer/mix/services.h"
#include "mixer/mix/win32/mixwin.h"

int MixOpenCurrent(const char* path) {
  MixProgramSetUp();
  MixDoc* doc = MixReadFile(path, 1);
  if (!doc) return 0;
  MixDocDestroy(MixCurrentDoc());
  MixCurrentDoc() = doc;
  MixCurrentPath() = path;
  return 1;
}

int MixSaveCurrent(const char* path) {
  MixDoc* doc = MixCurrentDoc();
  if (!doc || !MixWriteFile(doc, path)) return 0;
  MixSnapshotStates(doc);
  MixCurrentPath() = path;
  return 1;
}

const char* MixCurrentFile() { return MixCurrentPath().c_str(); }

void MixSnapshotStates() {
  if (MixDoc* doc = MixCurrentDoc()) MixSnapshotStates(doc);
}

void MixFreeSnapshot() {
  if (MixDoc* doc = MixCurrentDoc()) MixFreeSnapshot(doc);
}

int MixElemStatesChanged() {
  MixDoc* doc = MixCurrentDoc();
  return doc ? MixIsChanged(doc) : 0;
}
