// The library's module handle and the platform's version record, kept when
// the library is loaded (read on first use where the code is linked
// statically, as in tests).
#include "Drv/Qvdrv/qvdrv_private.h"

namespace {
HMODULE g_module = nullptr;
OSVERSIONINFOA g_version{};

void ReadVersion() {
  g_version.dwOSVersionInfoSize = sizeof g_version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&g_version);
#pragma GCC diagnostic pop
}
}  // namespace

void QvdrvAttach(HMODULE module) {
  g_module = module;
  ReadVersion();
}

HMODULE QvdrvModule() { return g_module; }

bool QvdrvIsNt() {
  if (!g_version.dwOSVersionInfoSize) ReadVersion();
  return g_version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}
