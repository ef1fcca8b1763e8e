// Stand-in for the Take store, for tests of code that calls it. Its own object
// file, so that a test linking the real Take store never pulls it in.
#include "mixer/model/takes.h"

#include "tests/fakes/services_fake.h"

uint64_t TakeRecFolderFreeBytes() { return Services().recFolderFreeBytes; }
