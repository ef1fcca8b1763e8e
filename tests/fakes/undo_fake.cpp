// Stand-in for the undo store, for tests of code that calls it. Its own object
// file, so that a test linking the real undo store never pulls it in.
#include "mixer/model/undo.h"

#include "tests/fakes/services_fake.h"

int UndoRecord(uint32_t actionName) {
  FakeLog("UndoRecord(%u)", actionName);
  return Services().undoRecordResult;
}
void UndoDiscard(uint32_t levels) { FakeLog("UndoDiscard(%u)", levels); }
