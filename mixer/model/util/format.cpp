#include "format.h"

#include <cstdio>

#include "strtab.h"

int FormatTextV(char* buf, int size, const char* format, va_list args) {
  if (size <= 0) return 0;
  int n = std::vsnprintf(buf, static_cast<size_t>(size), format, args);
  if (n < 0) {
    buf[0] = '\0';
    return 0;
  }
  return n < size ? n : size - 1;
}

int FormatText(char* buf, int size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatTextV(buf, size, format, args);
  va_end(args);
  return n;
}

int FormatByIdV(char* buf, int size, uint32_t id, va_list args) {
  char format[kMsgFormatMax + 1];
  StrLoad(id, format, sizeof format);
  return FormatTextV(buf, size, format, args);
}

int FormatById(char* buf, int size, uint32_t id, ...) {
  va_list args;
  va_start(args, id);
  int n = FormatByIdV(buf, size, id, args);
  va_end(args);
  return n;
}
