#include "mixer/model/util/win32/profile_win.h"

#include <windows.h>

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
