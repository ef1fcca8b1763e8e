// The time module's three entry points, portable: the information records
// copied at the size the caller has room for, and Process over the host's
// table through a user-interface seam.
#pragma once

#include "timemodule/eop.h"
#include "timemodule/tmrun.h"

namespace tmod {

int32_t TmGetModuleInfo(EOPMODINFO* info);
int32_t TmGetPlugInInfo(uint32_t index, EOPPLUGININFO* info);
// Clears the module's copy of the host table, copies min(host size, its
// size) bytes into it and runs the process.
int32_t TmProcess(uint32_t mode, uint32_t noDialog, const EOPHOSTFUNCS* host, TmUi& ui);

}  // namespace tmod
