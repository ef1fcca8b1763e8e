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

namespace {

// "%02X:%08X " of the section that holds the address and the offset within
// it, then the file name of the module.
void PlaceOf(const void* address, char* text, size_t size) {
  HMODULE module = nullptr;
  char file[MAX_PATH] = "";
  unsigned section = 0;
  ULONG_PTR offset = reinterpret_cast<ULONG_PTR>(address);
  if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(address), &module)) {
    GetModuleFileNameA(module, file, sizeof file);
    auto base = reinterpret_cast<const BYTE*>(module);
    ULONG_PTR rva = reinterpret_cast<ULONG_PTR>(address) - reinterpret_cast<ULONG_PTR>(base);
    offset = rva;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
      const IMAGE_SECTION_HEADER& sh = sections[i];
      DWORD length = sh.Misc.VirtualSize ? sh.Misc.VirtualSize : sh.SizeOfRawData;
      if (rva >= sh.VirtualAddress && rva < sh.VirtualAddress + length) {
        section = i + 1;
        offset = rva - sh.VirtualAddress;
        break;
      }
    }
  }
  std::snprintf(text, size, "%02X:%08lX %s", section, static_cast<unsigned long>(offset), file);
}

// The delay-load record of a missing module or function: its size, the
// attributes, the module name, ... and the name or ordinal asked for.
struct DelayLoadInfo {
  DWORD size;
  const void* record;
  void* thunk;
  LPCSTR moduleName;
  void* module;
  BOOL byName;
  union {
    LPCSTR name;
    DWORD ordinal;
  } procedure;
};

}  // namespace

int ExceptionReport(CReporter* reporter, DWORD code, EXCEPTION_POINTERS* pointers, LPCSTR context) {
  if (code == 0xE06D7363 || code == 0x80000003) return 0;
  const EXCEPTION_RECORD* r = pointers ? pointers->ExceptionRecord : nullptr;
  if (!context) context = "";
  char place[MAX_PATH + 32] = "";
  if (r) {
    // For raised assertions and failures the return address of the raise is
    // the place; the platform gives it as the exception address there too.
    PlaceOf(r->ExceptionAddress, place, sizeof place);
  }
  const ULONG_PTR* p = r ? r->ExceptionInformation : nullptr;
  DWORD n = r ? r->NumberParameters : 0;
  if (code == ERROR_INVALID_PARAMETER && n >= 3) {
    char line[16];
    std::snprintf(line, sizeof line, "%lu", static_cast<unsigned long>(p[2]));
    LPCSTR strings[5] = {place, context, reinterpret_cast<LPCSTR>(p[0]), reinterpret_cast<LPCSTR>(p[1]), line};
    return reporter->Report(0xC000FFFF, 0, nullptr, 5, strings);
  }
  if (code == 0x8000FFFF && n >= 8) {
    // {message id or 0, data length, data, HRESULT, last error, function, file, line}
    SetLastError(static_cast<DWORD>(p[4]));
    LPCSTR function = reinterpret_cast<LPCSTR>(p[5]);
    if (p[0]) {
      LPCSTR strings[3] = {place, context, function};
      return reporter->Report(static_cast<DWORD>(p[0]), static_cast<DWORD>(p[1]), reinterpret_cast<const void*>(p[2]),
                              3, strings);
    }
    char hr[16], error[16], line[16];
    std::snprintf(hr, sizeof hr, "0x%lX", static_cast<unsigned long>(p[3]));
    std::snprintf(error, sizeof error, "%ld", static_cast<long>(p[4]));
    std::snprintf(line, sizeof line, "%lu", static_cast<unsigned long>(p[7]));
    LPCSTR strings[7] = {place, hr, error, function, context, reinterpret_cast<LPCSTR>(p[6]), line};
    return reporter->Report(0xC000FFFB, 0, nullptr, 7, strings);
  }
  if ((code == 0xC06D007E || code == 0xC06D007F) && n >= 1 && p[0]) {
    const auto* info = reinterpret_cast<const DelayLoadInfo*>(p[0]);
    char ordinal[16];
    LPCSTR function = info->procedure.name;
    if (!info->byName) {
      std::snprintf(ordinal, sizeof ordinal, "#%lu", static_cast<unsigned long>(info->procedure.ordinal));
      function = ordinal;
    }
    LPCSTR strings[4] = {place, context, function, info->moduleName};
    return reporter->Report(0xC000FFE6, 0, nullptr, 4, strings);
  }
  LPCSTR strings[3] = {"", context, place};
  return reporter->Report(0xC0050064, n * static_cast<DWORD>(sizeof(ULONG_PTR)), p, 3, strings);
}

int ReportLastErrorData(CReporter* reporter, DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, ...) {
  char text[512];
  LastErrorText(reporter->m_module, text, sizeof text);
  LPCSTR strings[16];
  if (nStrings > 15) nStrings = 15;
  strings[0] = text;
  va_list args;
  va_start(args, nStrings);
  for (DWORD i = 1; i < nStrings; ++i) strings[i] = va_arg(args, LPCSTR);
  va_end(args);
  return reporter->Report(messageId, dataLen, data, nStrings ? nStrings : 1, strings);
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
