// The module's ten entry points (exported with their decorated names by the
// module definition file) and what its Windows layer adds to them.
#pragma once

#include "elements/HRLCD/hrlcd.h"
#include "elements/elemexports.h"

