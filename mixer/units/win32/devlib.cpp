// The unit layer's device calls on the device library.
#include "mixer/units/win32/devlib.h"

#include <windows.h>

#include "Drv/Qvdrv/qvdrv.h"

namespace {

QVDEVHANDLE Dev(UnitHandle h) { return reinterpret_cast<QVDEVHANDLE>(h); }

UnitHandle Open(const char* path, uint32_t access, uint32_t share, uint32_t flags) {
  QVDEVHANDLE h = qvDevOpen(path, access, share, flags);
  if (h == reinterpret_cast<QVDEVHANDLE>(INVALID_HANDLE_VALUE) || !h) return kNoUnitHandle;
  return reinterpret_cast<UnitHandle>(h);
}

int Ioctl(UnitHandle h, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
          uint32_t* returned) {
  DWORD n = 0;
  BOOL ok = qvDevIoControl(Dev(h), code, const_cast<void*>(in), inLen, out, outLen, &n, nullptr);
  *returned = n;
  return ok ? 1 : 0;
}

int Close(UnitHandle h) { return qvDevClose(Dev(h)) ? 1 : 0; }
const char* ErrorText() { return GetLastErrorText(); }
void SetError(uint32_t e) { SetLastError(e); }
void Pause(uint32_t ms) { Sleep(ms); }

}  // namespace

UnitDevApi DeviceLibraryUnitApi(int (*fatal)(UnitHandle h, int code)) {
  return UnitDevApi{Open, Ioctl, Close, ErrorText, SetError, Pause, fatal, nullptr, nullptr};
}

