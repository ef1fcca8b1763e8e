// The library base: memory from the library heap, interlocked counters,
// critical sections with spin counts, assertions and trace, raised failures
// and their reports, and split string resources.
#pragma once
#include <windows.h>

void* MemAlloc(SIZE_T size);                 // zero-filled
void* MemRealloc(SIZE_T size, void* block);  // zero-fills what grows; null allocates
void MemFree(void* block);                   // null ignored

LONG AtomicAdd(volatile LONG* address, LONG delta);  // the new value
LONG AtomicCompareExchange(volatile LONG* address, LONG exchange, LONG comparand);  // the old value

// With a spin count, InitializeCriticalSectionAndSpinCount when the system
// has it; else InitializeCriticalSection.
void InitCriticalSection(CRITICAL_SECTION* section, DWORD spinCount);
BOOL IsWinNT();

// The value of a failed check: traces it, raises the continuable exception
// 87 with the expression, file and line, sets the last error 87, returns 0.
int AssertFailed(const char* expression, const char* file, unsigned line);
// "%03X " of the thread id and the text to the debugger; the last error kept.
int DebugTrace(const char* format, ...);
// A non-continuable exception with the given parameters.
void RaiseFailure(DWORD code, DWORD count, ...);
// 0x80070000 | last error for errors below 0x10000; others unchanged.
HRESULT HResultFromLastError();

// Reporters: slot 0 Report, slot 1 Write.
class CReporter {
 public:
  virtual int WINAPI Report(DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, LPCSTR* strings);
  virtual void WINAPI Write(LPCSTR text);
  virtual ~CReporter() = default;
  WORD m_language = 0;
  LPCSTR m_caption = nullptr;
  HMODULE m_module = nullptr;  // message and string tables
  HWND m_owner = nullptr;
};
// Writes to the standard output.
class CTextReporter : public CReporter {};
// Writes to the debugger.
class CDebugReporter : public CReporter {
 public:
  void WINAPI Write(LPCSTR text) override;
};

// Reports with the last error's text as insertion string 1.
// nStrings counts the error text too: the caller's strings are 2 and on.
int ReportLastError(CReporter* reporter, DWORD messageId, DWORD nStrings, ...);
int ReportLastErrorData(CReporter* reporter, DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, ...);
// The exception filter of the library: reports the exception with the
// context text and returns the reporter's answer (0: not reported).
int ExceptionReport(CReporter* reporter, DWORD code, EXCEPTION_POINTERS* pointers, LPCSTR context);

// Splits the text (or string resource) at its last character, which serves
// as separator, in place: "A|B|C|" gives three pieces. The piece count.
int LoadStringSplit(HMODULE module, UINT id, char* buffer, int size);
int SplitAtLastCharacter(char* text);
