// Library load: the version record and the module handle, then the remote
// access settings; thread notifications are not wanted.
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvdrv/qvdrv_private.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    QvdrvAttach(instance);
    ReadRemoteSettings();
    DisableThreadLibraryCalls(instance);
    QvComStart();
  } else if (reason == DLL_PROCESS_DETACH) {
    QvComEnd();
  }
  return TRUE;
}
