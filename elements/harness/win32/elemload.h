// Loading an element module by name as a host does: LoadLibrary, then each
// of the ten entry points by its exact exported name.
#pragma once

#include <windows.h>

#include "elements/harness/elemharness.h"

// The loaded module with all ten entry points bound in calls; null (and
// the library released) when it cannot be loaded or lacks one.
HMODULE ElemModuleLoad(const char* name, ElemModuleCalls* calls);
