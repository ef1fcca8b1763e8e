#include "elements/HRLCD/hrlcdskin.h"

#include <cstring>

#include "mixer/model/util/paths.h"
#include "mixer/model/util/strutil.h"

namespace hrlcd {
namespace {

constexpr char kDefaultSkinDir[] = "..\\..\\Skins\\";

struct SkinRow {
  const char* Section;
  const char* Key;
  uint32_t Default;
};
constexpr SkinRow kSkinRows[kSkinSlots] = {
    {"Common", "col_LittleWindow_Border_Left", 0xFFFFFF},
    {"Common", "col_LittleWindow_Border_Top", 0xFFFFFF},
    {"Common", "col_LittleWindow_Border_InnerRight", 0x808080},
    {"Common", "col_LittleWindow_Border_OuterRight", 0x000000},
    {"Common", "col_LittleWindow_Border_InnerBottom", 0x808080},
    {"Common", "col_LittleWindow_Border_OuterBottom", 0x000000},
    {"Common", "col_LittleWindow_Background", 0xC0C0C0},
    {"Common", "col_Title_Text", 0x000000},
    {"Common", "col_Title_Text_Blocked", 0x808080},
    {"Common", "col_Title_Background", 0xC0C0C0},
    {"Common", "col_Title_Background_Blocked", 0xC0C0C0},
    {"Common", "col_Title_Border_Left", 0x808080},
    {"Common", "col_Title_Border_Top", 0x808080},
    {"Common", "col_Title_Border_Right", 0xFFFFFF},
    {"Common", "col_Title_Border_Bottom", 0xFFFFFF},
    {"Common", "col_Title_Border_On", 1},
    {"Common", "col_BigWindow_Background", 0xEFEFEF},
    {"Common", "col_BigWindow_Header_Text", 0x000000},
    {"Common", "col_BigWindow_Header_Background", 0xFFFFFF},
    {"Common", "col_BigWindow_Header_Bar", 0x808080},
    {"Common", "col_BigWindow_Header_Upper_Line", 0x808080},
    {"Common", "col_BigWindow_Header_Lower_Line", 0xFFFFFF},
    {"Common", "col_BigWindow_Header_Border_InnerLeft", 0x000000},
    {"Common", "col_BigWindow_Header_Border_OuterLeft", 0x808080},
    {"Common", "col_BigWindow_Header_Border_InnerTop", 0x000000},
    {"Common", "col_BigWindow_Header_Border_OuterTop", 0x808080},
    {"Common", "col_BigWindow_Header_Border_InnerRight", 0xC0C0C0},
    {"Common", "col_BigWindow_Header_Border_OuterRight", 0xFFFFFF},
    {"Common", "col_BigWindow_Header_Border_InnerBottom", 0xC0C0C0},
    {"Common", "col_BigWindow_Header_Border_OuterBottom", 0xFFFFFF},
    {"Common", "col_BigWindow_Header_Border_On", 1},
    {"HRLCD", "col_Meter_Border_Left", 0x000000},
    {"HRLCD", "col_Meter_Border_Top", 0x000000},
    {"HRLCD", "col_Meter_Border_Right", 0xFFFFFF},
    {"HRLCD", "col_Meter_Border_Bottom", 0xFFFFFF},
};

bool IsSwitchSlot(int slot) { return slot == kTitleBorderOn || slot == kBwHeaderBorderOn; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Exactly `n` hex digits and then the end of the text.
bool HexExact(const char* t, int n, uint32_t* out) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) {
    const int d = HexDigit(t[i]);
    if (d < 0) return false;
    v = v * 16 + uint32_t(d);
  }
  if (t[n]) return false;
  *out = v;
  return true;
}

// Decimal digits (at least one, at most `maxDigits`) at *t; the cursor moves
// past them.
bool Decimal(const char** t, int maxDigits, uint32_t* out) {
  uint32_t v = 0;
  int n = 0;
  for (; **t >= '0' && **t <= '9'; ++*t) {
    if (++n > maxDigits) return false;
    v = v * 10 + uint32_t(**t - '0');
  }
  *out = v;
  return n > 0;
}

bool IsAbsolute(const char* p) { return p[0] == '\\' || (p[0] && p[1] == ':'); }

// folder + "\" + rel unless rel is absolute; 0 when it does not fit.
int Join(char* out, int size, const char* folder, const char* rel) {
  if (IsAbsolute(rel) || !folder || !*folder) return StrCopyN(out, rel, size);
  if (!StrCopyN(out, folder, size)) return 0;
  const size_t n = std::strlen(out);
  if (out[n - 1] != '\\' && !StrCatN(out, "\\", size)) return 0;
  return StrCatN(out, rel, size);
}

}  // namespace

void LocateSkin(const char* commandLine, const char* currentDir, const char* moduleDir, const char* moduleName,
                Profile& ini, char out[kSkinPathSize]) {
  out[0] = 0;
  // The host's initialisation file: the last blank-separated word.
  char word[kSkinPathSize] = "";
  if (commandLine) {
    const char* end = commandLine + std::strlen(commandLine);
    while (end > commandLine && end[-1] == ' ') --end;
    const char* begin = end;
    while (begin > commandLine && begin[-1] != ' ') --begin;
    if (begin > commandLine && end > begin && end - begin < kSkinPathSize)
      StrCopyCount(word, begin, int(end - begin), sizeof word);
  }
  char skinPath[kSkinPathSize + 1] = "";
  char iniPath[2 * kSkinPathSize];
  if (word[0] && Join(iniPath, sizeof iniPath, currentDir, word))
    ini.GetString(iniPath, "MainWnd", "SkinPath", skinPath, sizeof skinPath);
  if (std::strlen(skinPath) > kSkinPathSize - 1) skinPath[0] = 0;
  // Directory part (the default when there is none) and file-name part.
  char dir[kSkinPathSize];
  const char* name = PathFindName(skinPath);
  if (name == skinPath) {
    StrCopyN(dir, kDefaultSkinDir, sizeof dir);
  } else {
    StrCopyCount(dir, skinPath, int(name - skinPath), sizeof dir);
  }
  char file[kSkinPathSize];
  if (*name) {
    StrCopyN(file, name, sizeof file);
  } else {
    StrCopyN(file, moduleName ? PathFindName(moduleName) : "", sizeof file);
    *PathFindExt(file, 0) = 0;
    if (!StrCatN(file, ".skn", sizeof file)) return;
  }
  char full[3 * kSkinPathSize];
  if (!Join(full, sizeof full, moduleDir, dir) || !StrCatN(full, file, sizeof full)) return;
  if (std::strlen(full) > kSkinPathSize - 1) return;
  StrCopyN(out, full, kSkinPathSize);
}

int SkinValue(Profile& ini, const char* file, const char* section, const char* key, char out[kSkinPathSize]) {
  out[0] = 0;
  if (!file || !*file) return 0;
  ini.GetString(file, section, key, out, kSkinPathSize);
  for (int i = 0; i < kSkinAliasSteps && out[0] == '$'; ++i) {
    char alias[kSkinPathSize];
    StrCopyN(alias, out + 1, sizeof alias);
    ini.GetString(file, "Aliases", alias, out, kSkinPathSize);
  }
  if (out[0] == '$') out[0] = 0;
  return int(std::strlen(out));
}

int ParseSkinColor(const char* t, uint32_t* out) {
  uint32_t v = 0;
  if (t[0] == '#') {
    if (!HexExact(t + 1, 6, &v)) return 0;
    *out = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);
    return 1;
  }
  if (t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    if (!HexExact(t + 2, 6, &v)) return 0;
    *out = v;
    return 1;
  }
  if (t[0] == '(') {
    const char* c = t + 1;
    uint32_t part[3];
    for (int i = 0; i < 3; ++i) {
      if (!Decimal(&c, 3, &part[i]) || part[i] > 255) return 0;
      if (*c++ != (i < 2 ? ',' : ')')) return 0;
    }
    if (*c) return 0;
    *out = part[0] | (part[1] << 8) | (part[2] << 16);
    return 1;
  }
  const char* c = t;
  if (!Decimal(&c, 8, &v) || *c || v > 0xFFFFFF) return 0;
  *out = v;
  return 1;
}

int ParseSkinSwitch(const char* t, uint32_t* out) {
  if ((t[0] != '0' && t[0] != '1') || t[1]) return 0;
  *out = uint32_t(t[0] - '0');
  return 1;
}

void SkinColorDefaults(SkinColors* c) {
  for (int i = 0; i < kSkinSlots; ++i) c->C[i] = kSkinRows[i].Default;
}

void ReadSkinColors(Profile& ini, const char* file, SkinColors* c) {
  SkinColorDefaults(c);
  for (int i = 0; i < kSkinSlots; ++i) {
    char text[kSkinPathSize];
    if (!SkinValue(ini, file, kSkinRows[i].Section, kSkinRows[i].Key, text)) continue;
    uint32_t v;
    if (IsSwitchSlot(i) ? ParseSkinSwitch(text, &v) : ParseSkinColor(text, &v)) c->C[i] = v;
  }
}

SkinColors& ModuleSkin() {
  static SkinColors skin = [] {
    SkinColors s;
    SkinColorDefaults(&s);
    return s;
  }();
  return skin;
}

char* ModuleSkinPath() {
  static char path[kSkinPathSize] = "";
  return path;
}

}  // namespace hrlcd
