#include "Inc/dump.h"

#include <cstdio>
#include <cstring>

std::string DumpBytes(const uint8_t* data, uint32_t length) {
  std::string out;
  char item[16];
  for (uint32_t line = 0; line < length; line += 8) {
    std::snprintf(item, sizeof item, "%04X:", line);
    out += item;
    for (uint32_t i = line; i < line + 8; ++i) {
      if (i < length) {
        std::snprintf(item, sizeof item, " %02X", data[i]);
        out += item;
      } else {
        out += "   ";
      }
    }
    out += ' ';
    for (uint32_t i = line; i < line + 8 && i < length; ++i) out += data[i] < 32 ? '.' : static_cast<char>(data[i]);
    out += "\r\n";
  }
  return out;
}

std::string DumpWords(const uint8_t* data, uint32_t length) {
  std::string out;
  char item[16];
  for (uint32_t line = 0; line + 4 <= length; line += 16) {
    std::snprintf(item, sizeof item, "%04X:", line);
    out += item;
    for (uint32_t i = line; i < line + 16 && i + 4 <= length; i += 4) {
      uint32_t w;
      std::memcpy(&w, data + i, 4);
      std::snprintf(item, sizeof item, " %08X", w);
      out += item;
    }
    out += "\r\n";
  }
  return out;
}
