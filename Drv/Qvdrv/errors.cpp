// Error reports: the hook slot, qvDevError's formatting, the default hook
// that writes to the standard error handle, and the last-error text.
#include "Drv/Qvdrv/qvdrv_private.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

QvErrorCallback g_hook = ConsoleErrorReport;  // a plain word

// The insertion strings a report can carry: the error text and this many of
// the caller's.
constexpr DWORD MaxExtraStrings = 32;

void WriteOut(HANDLE out, const char* text) {
  DWORD written;
  WriteFile(out, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

// Drops the line end a message text carries.
void CutLineEnd(char* text) {
  size_t n = std::strlen(text);
  if (n >= 2) text[n - 2] = 0;
}

}  // namespace

extern "C" QvErrorCallback WINAPI qvDevErrFunc(QvErrorCallback f) {
  QvErrorCallback previous = g_hook;
  if (f) g_hook = f;
  return previous;
}

extern "C" void __cdecl qvDevError(DWORD context, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                                   DWORD nStrings, DWORD error, ...) {
  if (error == 0) error = GetLastError();
  if (!module) module = QvdrvModule();
  if (nStrings > MaxExtraStrings) nStrings = MaxExtraStrings;

  LPCSTR strings[MaxExtraStrings + 1];
  va_list extra;
  va_start(extra, error);
  for (DWORD i = 0; i < nStrings; ++i) strings[i + 1] = va_arg(extra, LPCSTR);
  va_end(extra);

  char text[256] = "";
  if (error) {
    char code[32];
    std::snprintf(code, sizeof code, "%lu (0x%lX)", error & 0xFFFFul, static_cast<unsigned long>(error));
    // The arguments of the message: the code text, then the caller's strings.
    DWORD_PTR arguments[MaxExtraStrings + 1];
    arguments[0] = reinterpret_cast<DWORD_PTR>(code);
    for (DWORD i = 0; i < nStrings; ++i) arguments[i + 1] = reinterpret_cast<DWORD_PTR>(strings[i + 1]);
    constexpr DWORD Flags = FORMAT_MESSAGE_ARGUMENT_ARRAY;
    DWORD n = FormatMessageA(Flags | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE, QvdrvModule(), error,
                             0, text, sizeof text, reinterpret_cast<va_list*>(arguments));
    if (!n && GetLastError() == ERROR_MR_MID_NOT_FOUND && module != QvdrvModule()) {
      n = FormatMessageA(Flags | FORMAT_MESSAGE_FROM_HMODULE, module, error, 0, text, sizeof text,
                         reinterpret_cast<va_list*>(arguments));
    }
    if (n) {
      CutLineEnd(text);
    } else {
      std::snprintf(text, sizeof text, "Error %s", code);
    }
  }
  strings[0] = text;
  g_hook(context, module, messageId, data, dataLen, nStrings + 1, strings);
  SetLastError(error);
}

extern "C" void WINAPI ConsoleErrorReport(DWORD, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                                          DWORD nStrings, LPCSTR* strings) {
  HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
  char line[640];
  char time[64] = "";
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, nullptr, nullptr, time, sizeof time);
  std::snprintf(line, sizeof line, "[%s] ", time);
  WriteOut(out, line);
  switch (messageId >> 30) {
    case 2: WriteOut(out, "Warning: "); break;
    case 3: WriteOut(out, "Error: "); break;
    default: break;
  }
  char* message = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           module, messageId, 0, reinterpret_cast<LPSTR>(&message), 0,
                           reinterpret_cast<va_list*>(const_cast<char**>(strings)));
  if (n && message) {
    WriteOut(out, message);
  } else {
    std::snprintf(line, sizeof line, "0x%lX\n", static_cast<unsigned long>(messageId));
    WriteOut(out, line);
    for (DWORD i = 0; i < nStrings; ++i) {
      std::snprintf(line, sizeof line, " %s\n", strings[i] ? strings[i] : "");
      WriteOut(out, line);
    }
  }
  if (message) LocalFree(message);
  if (!data || !dataLen) return;
  // The dump: words when the length is a multiple of 4, else bytes; a line
  // end after every 16 bytes and after the last item.
  const auto* bytes = static_cast<const BYTE*>(data);
  bool words = dataLen % 4 == 0;
  DWORD step = words ? 4 : 1;
  for (DWORD at = 0; at < dataLen; at += step) {
    if (words) {
      DWORD w;
      std::memcpy(&w, bytes + at, 4);
      std::snprintf(line, sizeof line, " %08lX", static_cast<unsigned long>(w));
    } else {
      std::snprintf(line, sizeof line, " %02X", bytes[at]);
    }
    WriteOut(out, line);
    if ((at + step) % 16 == 0 || at + step >= dataLen) WriteOut(out, "\n");
  }
}

extern "C" LPCSTR WINAPI GetLastErrorText() {
  static char text[512];
  DWORD error = GetLastError();
  char* message = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, error, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
  if (n && message && std::strlen(message) + 14 < 513) {
    CutLineEnd(message);
    std::snprintf(text, sizeof text, "%s (%lu)", message, static_cast<unsigned long>(error));
  } else {
    std::snprintf(text, sizeof text, "LastError = %lu", static_cast<unsigned long>(error));
  }
  if (message) LocalFree(message);
  SetLastError(error);
  return text;
}
