#include "Inc/base.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void* MemAlloc(SIZE_T size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }

void* MemRealloc(SIZE_T size, void* block) {
  if (!block) return MemAlloc(size);
  return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size);
}

void MemFree(void* block) {
  if (block) HeapFree(GetProcessHeap(), 0, block);
}

LONG AtomicAdd(volatile LONG* address, LONG delta) { return InterlockedExchangeAdd(address, delta) + delta; }

LONG AtomicCompareExchange(volatile LONG* address, LONG exchange, LONG comparand) {
  return InterlockedCompareExchange(address, exchange, comparand);
}

void InitCriticalSection(CRITICAL_SECTION* section, DWORD spinCount) {
  using WithSpin = BOOL(WINAPI*)(CRITICAL_SECTION*, DWORD);
  if (spinCount) {
    if (HMODULE kernel = GetModuleHandleA("Kernel32.dll")) {
      auto init = reinterpret_cast<WithSpin>(
          reinterpret_cast<void*>(GetProcAddress(kernel, "InitializeCriticalSectionAndSpinCount")));
      if (init && init(section, spinCount)) return;
    }
  }
  InitializeCriticalSection(section);
}

BOOL IsWinNT() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
}

int DebugTrace(const char* format, ...) {
  DWORD error = GetLastError();
  char text[1024];
  int n = std::snprintf(text, sizeof text, "%03lX ", static_cast<unsigned long>(GetCurrentThreadId()));
  va_list args;
  va_start(args, format);
  int m = std::vsnprintf(text + n, sizeof text - static_cast<size_t>(n), format, args);
  va_end(args);
  OutputDebugStringA(text);
  SetLastError(error);
  return n + (m > 0 ? m : 0);
}

int AssertFailed(const char* expression, const char* file, unsigned line) {
  DebugTrace("Assertion '%s' failed in %s, line %u\n", expression, file, line);
  ULONG_PTR parameters[3] = {reinterpret_cast<ULONG_PTR>(expression), reinterpret_cast<ULONG_PTR>(file), line};
  RaiseException(ERROR_INVALID_PARAMETER, 0, 3, parameters);
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

void RaiseFailure(DWORD code, DWORD count, ...) {
  ULONG_PTR parameters[EXCEPTION_MAXIMUM_PARAMETERS];
  if (count > EXCEPTION_MAXIMUM_PARAMETERS) count = EXCEPTION_MAXIMUM_PARAMETERS;
  va_list args;
  va_start(args, count);
  for (DWORD i = 0; i < count; ++i) parameters[i] = va_arg(args, ULONG_PTR);
  va_end(args);
  RaiseException(code, EXCEPTION_NONCONTINUABLE, count, parameters);
}

HRESULT HResultFromLastError() {
  DWORD error = GetLastError();
  if (error & 0xFFFF0000u) return static_cast<HRESULT>(error);
  return static_cast<HRESULT>(0x80070000u | error);
}

namespace {

const char* SeverityWord(DWORD messageId) {
  switch (messageId >> 30) {
    case 2: return "Warning: ";
    case 3: return "Error: ";
    default: return "";
  }
}

// The text of the last error for a report: the code as " %u" or " 0x%X".
void LastErrorText(HMODULE module, char* text, size_t size) {
  DWORD error = GetLastError();
  char code[16];
  std::snprintf(code, sizeof code, error > 0xFFFF ? " 0x%lX" : " %lu", static_cast<unsigned long>(error));
  DWORD n = 0;
  if (error > 0xFFFF && module) {
    n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       module, error, 0, text, static_cast<DWORD>(size), nullptr);
  }
  if (!n) {
    n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                       static_cast<DWORD>(size), nullptr);
  }
  if (n >= 2) {
    text[n - 2] = 0;
  } else {
    std::snprintf(text, size, "Error:%s", code);
  }
}

}  // namespace

void WINAPI CReporter::Write(LPCSTR text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

void WINAPI CDebugReporter::Write(LPCSTR text) { OutputDebugStringA(text); }

// The text form of a report: time and severity, the message or its id and
// strings, and a dump of the data.
int WINAPI CReporter::Report(DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, LPCSTR* strings) {
  DWORD error = GetLastError();
  char line[1024];
  char time[64] = "";
  GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_FORCE24HOURFORMAT, nullptr, nullptr, time, sizeof time);
  std::snprintf(line, sizeof line, "[%s] %s", time, SeverityWord(messageId));
  Write(line);
  char* message = nullptr;
  DWORD n = m_module ? FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                          FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                      m_module, messageId, m_language, reinterpret_cast<LPSTR>(&message), 0,
                                      reinterpret_cast<va_list*>(const_cast<char**>(strings)))
                     : 0;
  if (n && message) {
    Write(message);
  } else {
    std::snprintf(line, sizeof line, "0x%lX\n", static_cast<unsigned long>(messageId));
    Write(line);
    for (DWORD i = 0; i < nStrings; ++i) {
      std::snprintf(line, sizeof line, " %s\n", strings[i] ? strings[i] : "");
      Write(line);
    }
  }
  if (message) LocalFree(message);
  const auto* bytes = static_cast<const BYTE*>(data);
  bool words = dataLen % 4 == 0;
  DWORD step = words ? 4 : 1, perLine = words ? 32 : 16;
  for (DWORD at = 0; bytes && at < dataLen; at += step) {
    if (at % perLine == 0) {
      std::snprintf(line, sizeof line, "%04lX:", static_cast<unsigned long>(at));
      Write(line);
    }
    if (words) {
      DWORD w;
      std::memcpy(&w, bytes + at, 4);
      std::snprintf(line, sizeof line, " %08lX", static_cast<unsigned long>(w));
    } else {
      std::snprintf(line, sizeof line, " %02X", bytes[at]);
    }
    Write(line);
    if ((at + step) % perLine == 0 || at + step >= dataLen) Write("\n");
  }
  SetLastError(error);
  return 1;
}

int ReportLastError(CReporter* reporter, DWORD messageId, DWORD nStrings, ...) {
  char text[512];
  LastErrorText(reporter->m_module, text, sizeof text);
  LPCSTR strings[16];
  if (nStrings > 15) nStrings = 15;
  strings[0] = text;
  va_list args;
  va_start(args, nStrings);
  for (DWORD i = 1; i < nStrings; ++i) strings[i] = va_arg(args, LPCSTR);
  va_end(args);
  return reporter->Report(messageId, 0, nullptr, nStrings ? nStrings : 1, strings);
}

int ExceptionReport(CReporter* reporter, DWORD code, EXCEPTION_POINTERS* pointers, LPCSTR context) {
  if (code == 0xE06D7363 || code == 0x80000003) return 0;
  const EXCEPTION_RECORD* r = pointers ? pointers->ExceptionRecord : nullptr;
  char place[MAX_PATH + 32] = "";
  if (r) {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(r->ExceptionAddress), &module);
    char file[MAX_PATH] = "";
    if (module) GetModuleFileNameA(module, file, sizeof file);
    auto offset = reinterpret_cast<ULONG_PTR>(r->ExceptionAddress) - reinterpret_cast<ULONG_PTR>(module);
    std::snprintf(place, sizeof place, "%02X:%08lX %s", 0, static_cast<unsigned long>(offset), file);
  }
  if (code == ERROR_INVALID_PARAMETER && r && r->NumberParameters >= 3) {
    char line[16];
    std::snprintf(line, sizeof line, "%lu", static_cast<unsigned long>(r->ExceptionInformation[2]));
    LPCSTR strings[5] = {place, context, reinterpret_cast<LPCSTR>(r->ExceptionInformation[0]),
                         reinterpret_cast<LPCSTR>(r->ExceptionInformation[1]), line};
    return reporter->Report(0xC000FFFF, 0, nullptr, 5, strings);
  }
  LPCSTR strings[3] = {"", context, place};
  DWORD dataLen = r ? r->NumberParameters * static_cast<DWORD>(sizeof(ULONG_PTR)) : 0;
  return reporter->Report(0xC0050064, dataLen, r ? r->ExceptionInformation : nullptr, 3, strings);
}

int SplitAtLastCharacter(char* text) {
  size_t n = std::strlen(text);
  if (n < 2) return 0;
  char separator = text[n - 1];
  int pieces = 0;
  for (size_t i = 0; i < n; ++i) {
    if (text[i] == separator) {
      text[i] = 0;
      ++pieces;
    }
  }
  return pieces;
}

int LoadStringSplit(HMODULE module, UINT id, char* buffer, int size) {
  if (LoadStringA(module, id, buffer, size) <= 0) return 0;
  return SplitAtLastCharacter(buffer);
}
