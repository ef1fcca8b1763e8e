#include "mixer/model/win32/drvlibcheck.h"

#include <windows.h>

namespace {

// Takes the fixed version out of a version block; 0 when its root value is
// missing or shorter than the record.
int FixedVersionOf(const void* block, FileVersion* version) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block, "\\", reinterpret_cast<void**>(&fixed), &length)) return 0;
  if (!fixed || length < sizeof(VS_FIXEDFILEINFO)) return 0;
  version->ms = fixed->dwFileVersionMS;
  version->ls = fixed->dwFileVersionLS;
  return 1;
}

}  // namespace

int ReadFileVersion(const char* path, FileVersion* version) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (size == 0) return 0;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) return 0;
  int ok = 0;
  if (void* block = GlobalLock(memory)) {
    ok = GetFileVersionInfoA(path, 0, size, block) && FixedVersionOf(block, version);
    GlobalUnlock(memory);
  }
  GlobalFree(memory);
  return ok;
}

int CheckDrvLibVersion() {
  FileVersion version;
  return ReadFileVersion("QVDRV.DLL", &version) && DrvLibVersionOk(version) ? 1 : 0;
}
