#include "mixer/model/win32/iniwin.h"

#include <windows.h>

#include "mixer/model/ini.h"

namespace {

class WinProfile : public Profile {
 public:
  int GetString(const char* file, const char* section, const char* key, char* buf,
                int size) override {
    if (buf == nullptr || size < 1) return 0;
    buf[0] = '\0';
    return static_cast<int>(
        GetPrivateProfileStringA(section, key, "", buf, static_cast<DWORD>(size), file));
  }
  void WriteString(const char* file, const char* section, const char* key,
                   const char* value) override {
    WritePrivateProfileStringA(section, key, value, file);
  }
};

}  // namespace

Profile& WindowsProfile() {
  static WinProfile profile;
  return profile;
}

void WriteIniWindowPos(const char* file, uint32_t section, uint32_t key, WndHandle wnd) {
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  if (wnd == nullptr || !GetWindowPlacement(wnd, &placement)) {
    WriteIniWindowRecord(file, section, key, nullptr);
    return;
  }
  const RECT& r = placement.rcNormalPosition;
  const WindowPosRec pos = {1, r.left, r.top, r.right - r.left, r.bottom - r.top,
                            static_cast<int32_t>(placement.showCmd)};
  WriteIniWindowRecord(file, section, key, &pos);
}
