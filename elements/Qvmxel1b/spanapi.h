// The module's ten entry points (exported with their decorated names by the
// module definition file) and what its Windows layer adds to them.
#pragma once

#include "elements/Qvmxel1b/span.h"
#include "elements/elemexports.h"

namespace span {
// Live elements, for tests of the module's list.
int LiveCount();
}  // namespace span
