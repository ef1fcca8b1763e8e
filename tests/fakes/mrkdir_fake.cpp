// Stand-in for the marker directory window's refresh: portable tests of
// code that edits markers link it in place of the Windows layer's.
#include "mixer/model/mrkdir.h"

#include "tests/fakes/services_fake.h"

void MrkDirRefresh(int32_t op, int32_t n) { FakeLog("MrkDirRefresh(%d, %d)", op, n); }
