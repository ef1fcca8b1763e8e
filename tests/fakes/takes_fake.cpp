// Stand-in for the Take store, for tests of code that calls it. Its own object
// file, so that a test linking the real Take store never pulls it in.
#include "mixer/model/takes.h"

#include "tests/fakes/services_fake.h"

uint64_t TakeRecFolderFreeBytes() { return Services().recFolderFreeBytes; }
uint32_t TakeGetAttr(uint32_t take, uint32_t number) {
  auto it = Services().takeAttr.find({take, number});
  return it == Services().takeAttr.end() ? 0 : it->second;
}
int TakeMoveToReBin(uint32_t take) {
  FakeLog("TakeMoveToReBin(%u)", take);
  return Services().takeMoveToReBinResult;
}
