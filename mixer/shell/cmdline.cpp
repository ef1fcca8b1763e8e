#include "mixer/shell/cmdline.h"

#include <cstring>

namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Moves the cursor `width` characters on, stopping at the end of the line.
const char* Advance(const char* p, int width) {
  while (width-- > 0 && *p) ++p;
  return p;
}

// The digit 1..9 at p, else 0.
int SwitchDigit(char c) { return (c >= '1' && c <= '9') ? c - '0' : 0; }

// One switch word at p (p[0] == '-'); returns the cursor after it.
const char* ParseOne(const char* p, StartSwitches* sw) {
  switch (Upper(p[1])) {
    case 'A':
      return Advance(p, 2);
    case 'B':
      if (p[2] == '9' && p[3] == '8') {
        sw->XpLook = 0;
      } else if (p[2] && Upper(p[2]) == 'X' && Upper(p[3]) == 'P') {
        sw->XpLook = 1;
      }
      return Advance(p, 4);
    case 'F':
      if (int d = SwitchDigit(p[2])) sw->FadeResolTime = 10 * d;
      return Advance(p, 3);
    case 'O':
      sw->KeepTakesOpen = 1;
      return Advance(p, 2);
    case 'P':
      sw->StartMode = 3;
      return Advance(p, 2);
    case 'Q':
      sw->SyncFlashQuery = 1;
      return Advance(p, 2);
    case 'R':
      sw->StartMode = 4;
      return Advance(p, 2);
    case 'S':
      if (int d = SwitchDigit(p[2])) sw->DevTimerPeriod = d;
      return Advance(p, 3);
    default:
      // Unknown word: skipped up to the next blank.
      ++p;
      while (*p && *p != ' ') ++p;
      return p;
  }
}

}  // namespace

const char* ParseSwitches(const char* line, StartSwitches* sw) {
  const char* p = line;
  while (*p == ' ') ++p;
  while (*p == '-') {
    p = ParseOne(p, sw);
    while (*p == ' ') ++p;
  }
  return p;
}

int ChooseIniPath(const char* curDir, const char* name, int (*isFile)(const char* path),
                  char* out) {
  out[0] = 0;
  size_t dirLen = std::strlen(curDir);
  bool slash = dirLen > 0 && curDir[dirLen - 1] == '\\';
  size_t total = dirLen + (slash ? 0 : 1) + std::strlen(name);
  if (total >= static_cast<size_t>(kIniPathSize)) return 0;
  std::memcpy(out, curDir, dirLen);
  size_t n = dirLen;
  if (!slash) out[n++] = '\\';
  std::strcpy(out + n, name);
  if (isFile(out)) return 1;

  static const char kDefault[] = "HRLMixerDef.INI";
  char* last = std::strrchr(out, '\\');
  size_t keep = last ? static_cast<size_t>(last - out) + 1 : 0;
  if (keep + sizeof kDefault > static_cast<size_t>(kIniPathSize)) {
    out[0] = 0;
    return 0;
  }
  std::memcpy(out + keep, kDefault, sizeof kDefault);
  return 1;
}

int IniVersionOk(const char* value) { return std::strcmp(value, kIniVersion) == 0 ? 1 : 0; }

#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"

int MainIniVersionOk() {
  char value[9];
  ReadIniString(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, value, sizeof value);
  return IniVersionOk(value);
}
