// Window records of the ini file: "visible x y width height show".
#include "mixer/model/ini.h"

namespace {

// Room for a stored window record and then some.
constexpr int kWindowRecMax = 128;

// The next number, or `fallback` once the text has run out.
int32_t NextOr(const char** cursor, int32_t fallback) {
  return IniTextLeft(*cursor) ? ParseNumber(cursor) : fallback;
}

}  // namespace

void ReadIniWindowPos(const char* file, uint32_t section, uint32_t key, WindowPosRec* pos) {
  if (pos == nullptr) return;
  char text[kWindowRecMax];
  ReadIniString(file, section, key, text, sizeof text);
  const char* cursor = text;
  pos->visible = NextOr(&cursor, 0);
  pos->x = NextOr(&cursor, kCwUseDefault);
  pos->y = NextOr(&cursor, kCwUseDefault);
  pos->width = NextOr(&cursor, kCwUseDefault);
  pos->height = NextOr(&cursor, kCwUseDefault);
  pos->show = NextOr(&cursor, kSwShowNormal);
}

void WriteIniWindowRecord(const char* file, uint32_t section, uint32_t key,
                          const WindowPosRec* pos) {
  if (pos != nullptr) {
    WriteIniValue(file, section, key, "1 %d %d %d %d %d", static_cast<int>(pos->x),
                  static_cast<int>(pos->y), static_cast<int>(pos->width),
                  static_cast<int>(pos->height), static_cast<int>(pos->show));
    return;
  }
  // A closed window keeps its place and size; only the visible flag drops.
  char text[kIniValueMax + 1];
  if (ReadIniString(file, section, key, text, sizeof text) == 0) {
    WriteIniValue(file, section, key, "0");
    return;
  }
  text[0] = '0';
  WriteIniValue(file, section, key, "%s", text);
}
