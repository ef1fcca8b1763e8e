// The ini access layer: aliases, built-in defaults, numbers and writing.
#include "mixer/model/ini.h"

#include <cstring>
#include <string>

#include "mixer/model/util/format.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"

namespace {

constexpr int kMainIniPathMax = 260;
char MainIni[kMainIniPathMax] = "HRLMixerDef.INI";

// Section of the alias entries named by '$' values.
constexpr const char* kAliasSection = "Aliases";
// ReadIniInt reads at most this many characters.
constexpr int kIniNumberMax = 15;

// A section or key name, cut to kIniNameMax characters.
struct IniName {
  char text[kIniNameMax + 1];
  explicit IniName(uint32_t id) { StrLoad(id, text, sizeof text); }
};

int FoldCase(int c) { return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c; }

int SameNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (FoldCase(static_cast<unsigned char>(*a)) != FoldCase(static_cast<unsigned char>(*b)))
      return 0;
  return *a == *b;
}

// Value of digit character c, or a number not below any base when c is none.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// Base named by a base character, 0 when c is none; '#' gives 16 and sets
// *colour.
int BaseOf(char c, int* colour) {
  switch (c) {
    case 'B': case 'b': return 2;
    case 'O': case 'o': case 'Q': case 'q': return 8;
    case 'D': case 'd': return 10;
    case 'H': case 'h': case 'X': case 'x': return 16;
    case '#': *colour = 1; return 16;
    default: return 0;
  }
}

// 0x00RRGGBB as written after '#' to a COLORREF, 0x00BBGGRR.
uint32_t SwapRedBlue(uint32_t v) {
  return (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
}

}  // namespace

const char* MainIniPath() { return MainIni; }

void SetMainIniPath(const char* path) { StrCopyN(MainIni, path ? path : "", sizeof MainIni); }

int IsMainIniFile(const char* file) { return file != nullptr && SameNoCase(file, MainIni); }

int ReadIniStringAlias(const char* file, uint32_t section, const char* key, char* buf, int size) {
  if (buf == nullptr || size < 1) return 0;
  const IniName sectionName(section);
  int length = CurProfile().GetString(file, sectionName.text, key, buf, size);
  for (int hop = 0; hop < kIniAliasHops && buf[0] == '$'; ++hop) {
    const std::string alias(buf + 1);  // the read below overwrites buf
    length = CurProfile().GetString(file, kAliasSection, alias.c_str(), buf, size);
  }
  return length;
}

int ReadIniString(const char* file, uint32_t section, uint32_t key, char* buf, int size) {
  if (buf == nullptr || size < 1) return 0;
  const IniName keyName(key);
  const int length = ReadIniStringAlias(file, section, keyName.text, buf, size);
  if (length > 0 || !IsMainIniFile(file)) return length;
  return IniDefaultFor(section, key, buf, size);
}

int32_t ReadIniInt(const char* file, uint32_t section, uint32_t key, int32_t defaultValue,
                   int32_t minimum, int32_t maximum) {
  char text[kIniNumberMax + 1];
  int32_t value = defaultValue;
  if (ReadIniString(file, section, key, text, sizeof text) > 0) {
    const char* cursor = text;
    value = ParseNumber(&cursor);
  }
  // Minimum first, so that a minimum not below the maximum yields the maximum.
  if (value < minimum) value = minimum;
  if (value > maximum) value = maximum;
  return value;
}

void WriteIniValueV(const char* file, uint32_t section, uint32_t key, const char* format,
                    va_list args) {
  char text[kIniValueMax + 1];
  FormatTextV(text, sizeof text, format, args);
  const IniName sectionName(section);
  const IniName keyName(key);
  CurProfile().WriteString(file, sectionName.text, keyName.text, text);
}

void WriteIniValue(const char* file, uint32_t section, uint32_t key, const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteIniValueV(file, section, key, format, args);
  va_end(args);
}

void WriteIniLong(const char* file, uint32_t section, uint32_t key, int32_t number) {
  WriteIniValue(file, section, key, "%ld", static_cast<long>(number));
}

int32_t ParseNumber(const char** cursor) {
  const char* p = *cursor;
  while (*p == ' ' || *p == '\t') ++p;
  int negative = 0;
  int colour = 0;
  int base = 10;
  if (*p == '-') {
    negative = 1;
    ++p;
  } else {
    if (*p == '0') ++p;
    const int named = BaseOf(*p, &colour);
    if (named != 0) {
      base = named;
      ++p;
    }
  }
  // Unsigned: text longer than 32 bits wraps instead of overflowing.
  uint32_t value = 0;
  for (int digit; (digit = DigitValue(*p)) < base; ++p)
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  *cursor = p;
  if (colour) value = SwapRedBlue(value);
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

int IniTextLeft(const char* cursor) {
  while (*cursor == ' ' || *cursor == '\t') ++cursor;
  return *cursor != '\0';
}

int IniDefaultFor(uint32_t section, uint32_t key, char* buf, int size) {
  if (buf == nullptr || size < 1) return 0;
  buf[0] = '\0';
  for (int i = 0; i < kIniDefaultCount; ++i) {
    if (IniDefaults[i].section != section || IniDefaults[i].key != key) continue;
    StrCopyN(buf, IniDefaults[i].value, size);
    return static_cast<int>(std::strlen(buf));
  }
  return 0;
}
