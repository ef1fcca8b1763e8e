// The version check of the device interface library made at start-up.
#pragma once

#include "mixer/model/drvversion.h"

// Reads the fixed file version of the file `path` (a bare name is searched
// as the system loads libraries). Returns 0 when the file or its version
// block cannot be read, else 1 with *version set.
int ReadFileVersion(const char* path, FileVersion* version);

// 1 when "QVDRV.DLL" carries version 2.7.420.51116 or later; 0 when it is
// older or its version cannot be read.
int CheckDrvLibVersion();
