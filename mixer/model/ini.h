// Readers and writers of the ini files. Section and key names are string ids
// (sections 768-778, keys 780-988 of the string table); the main ini file
// falls back on the built-in defaults of `IniDefaults` for missing keys.
#pragma once

#include <cstdarg>
#include <cstdint>

// Path of the program's main ini file, fixed at start-up.
const char* MainIniPath();
// Sets that path (cut to the longest path the program handles).
void SetMainIniPath(const char* path);
// 1 when `file` names the main ini file (compared without regard to case).
int IsMainIniFile(const char* file);

// Longest section or key name loaded from the string table.
constexpr int kIniNameMax = 31;
// Longest text WriteIniValue writes.
constexpr int kIniValueMax = 512;
// Alias lookups in section "Aliases" before a read gives up.
constexpr int kIniAliasHops = 10;

// Reads `key` of section `section` into buf (at most size - 1 characters);
// a value that begins with '$' names a key of section "Aliases" of the same
// file, followed at most kIniAliasHops times. Returns the length of the last
// value read (which still begins with '$' when the chain was too long).
int ReadIniStringAlias(const char* file, uint32_t section, const char* key, char* buf, int size);
// The key's value through ReadIniStringAlias; when it is empty and `file` is
// the main ini file, the built-in default. Returns its length, 0 for none.
int ReadIniString(const char* file, uint32_t section, uint32_t key, char* buf, int size);
// The key's number (ParseNumber), or the default when it is empty, clamped to
// minimum..maximum; when minimum is not below maximum, the result is maximum.
int32_t ReadIniInt(const char* file, uint32_t section, uint32_t key, int32_t defaultValue,
                   int32_t minimum, int32_t maximum);

// printf-style formatting (at most kIniValueMax characters), then written as
// the key's value.
void WriteIniValue(const char* file, uint32_t section, uint32_t key, const char* format, ...);
void WriteIniValueV(const char* file, uint32_t section, uint32_t key, const char* format,
                    va_list args);
// Writes the number in decimal.
void WriteIniLong(const char* file, uint32_t section, uint32_t key, int32_t number);

// A signed number at *cursor, after blanks and tabs: '-' and decimal digits;
// or an optional '0' and a base letter (B binary; O or Q octal; D decimal;
// H or X hexadecimal; '#' a hexadecimal RRGGBB colour, returned as 0x00BBGGRR)
// and its digits; decimal without a base letter. Leaves *cursor on the first
// character not used. Digits beyond 32 bits wrap.
int32_t ParseNumber(const char** cursor);
// 1 when something other than blanks and tabs is left at cursor: a list of
// numbers has not run out.
int IniTextLeft(const char* cursor);

// One entry of the built-in defaults of the main ini file.
struct IniDefault {
  uint32_t section;
  uint32_t key;
  const char* value;
};
extern const IniDefault IniDefaults[];
extern const int kIniDefaultCount;

// Copies the built-in default of the key (at most size - 1 characters) and
// returns its length; 0 when there is none.
int IniDefaultFor(uint32_t section, uint32_t key, char* buf, int size);

// Window record (key "Window" of each window's section): visible, position,
// size and ShowWindow command.
struct WindowPosRec {
  int32_t visible;
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  int32_t show;
};
// Position or size not given: let the system choose.
constexpr int32_t kCwUseDefault = static_cast<int32_t>(0x80000000u);
constexpr int32_t kSwShowNormal = 1;

// Parses a window record: visible 0 for an empty value; x, y, width, height
// kCwUseDefault and show kSwShowNormal once the text has run out.
void ReadIniWindowPos(const char* file, uint32_t section, uint32_t key, WindowPosRec* pos);
// With a record: "1 x y width height show". Without one (the window is
// closed): the stored record with its first character set to '0', or "0"
// when there is none. The Windows layer adds the overload that takes the
// window itself.
void WriteIniWindowRecord(const char* file, uint32_t section, uint32_t key,
                          const WindowPosRec* pos);
