#include "mixer/model/drvversion.h"

int DrvLibVersionOk(const FileVersion& version) {
  if (version.ms != kDrvLibMinVersion.ms) return version.ms > kDrvLibMinVersion.ms ? 1 : 0;
  return version.ls >= kDrvLibMinVersion.ls ? 1 : 0;
}
