// Library load: the version record and the module handle, then the remote
// access settings; thread notifications are not wanted.
#include "Drv/Qvdrv/qvdrv_private.h"

namespace {
HMODULE g_module = nullptr;
OSVERSIONINFOA g_version{};
}  // namespace

HMODULE QvdrvModule() { return g_module; }
bool QvdrvIsNt() { return g_version.dwPlatformId == VER_PLATFORM_WIN32_NT; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    g_version.dwOSVersionInfoSize = sizeof g_version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&g_version);
#pragma GCC diagnostic pop
    ReadRemoteSettings();
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
