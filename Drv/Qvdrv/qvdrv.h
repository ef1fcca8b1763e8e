// The device interface library: open a board or unit of the kernel driver by
// name, send it I/O control, close it; the error-report hook, the last-error
// text and the periodic timer; and the exported device classes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The I/O-control codes and the records of their buffers.
#include "kernel/protocol.h"

// Functions are exported by the module-definition file under their plain
// names (and bound through the import library); the classes by the compiler.
#ifdef QVDRV_BUILD
#define QVDRV_API __declspec(dllexport)
#else
#define QVDRV_API __declspec(dllimport)
#endif
#define QVDRV_FUNC
// The exported functions keep their plain names on every width: on 32-bit x86
// the symbol is the name without the standard convention's @n suffix, so
// that the library's exports and its callers' references are the same name.
#if defined(__i386__)
#define QVDRV_PLAIN(name) __asm__("_" #name)
#else
#define QVDRV_PLAIN(name)
#endif

// An open device: local (a file handle on the driver's device, the platform's
// device I/O and close) or remote (a context handle of the remote service and
// its wrappers). Owned by the library until qvDevClose.
using QvIoControlFunc = BOOL(WINAPI*)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
using QvCloseFunc = BOOL(WINAPI*)(HANDLE);
struct QvDevBlock {
  HANDLE handle;
  QvIoControlFunc IoControl;
  QvCloseFunc Close;
};
static_assert(sizeof(void*) != 4 || sizeof(QvDevBlock) == 12);
using QVDEVHANDLE = QvDevBlock*;

// The periodic timer block, owned by the caller: the auto-reset event set
// once per period, the timer id (0 while none runs), the period in ms (also
// the timer resolution), a word the library leaves alone, the tick count.
struct QVTIMER {
  HANDLE event;
  UINT id;
  UINT period;
  DWORD reserved;
  DWORD ticks;
};
static_assert(sizeof(void*) != 4 || sizeof(QVTIMER) == 20);

// The error-report hook: context, module of the message table, message id,
// raw data and its length, insertion-string count and array.
using QvErrorCallback = void(WINAPI*)(DWORD context, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                                      DWORD nStrings, LPCSTR* strings);

extern "C" {
QVDRV_FUNC QVDEVHANDLE WINAPI qvDevOpen(LPCSTR name, DWORD access, DWORD share, DWORD flags) QVDRV_PLAIN(qvDevOpen);
QVDRV_FUNC BOOL WINAPI qvDevClose(QVDEVHANDLE h) QVDRV_PLAIN(qvDevClose);
QVDRV_FUNC BOOL WINAPI qvDevIoControl(QVDEVHANDLE h, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen,
                                     LPDWORD bytesReturned, LPOVERLAPPED ov) QVDRV_PLAIN(qvDevIoControl);
QVDRV_FUNC HANDLE WINAPI qvDevLocal(QVDEVHANDLE h) QVDRV_PLAIN(qvDevLocal);
QVDRV_FUNC QvErrorCallback WINAPI qvDevErrFunc(QvErrorCallback f) QVDRV_PLAIN(qvDevErrFunc);
// Variable arguments, caller cleans the stack: the strings after error are
// further insertion strings; a null pointer ends them.
QVDRV_FUNC void __cdecl qvDevError(DWORD context, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                                  DWORD nStrings, DWORD error, ...) QVDRV_PLAIN(qvDevError);
QVDRV_FUNC LPCSTR WINAPI GetLastErrorText() QVDRV_PLAIN(GetLastErrorText);
QVDRV_FUNC BOOL WINAPI CreateTimer(QVTIMER* t, UINT periodMs) QVDRV_PLAIN(CreateTimer);
QVDRV_FUNC void WINAPI DeleteTimer(QVTIMER* t) QVDRV_PLAIN(DeleteTimer);
// The remote device service of this computer: start it (with dontWait FALSE
// the call blocks until the service stops), stop it, and find the servers
// that exported themselves to the RPC name service (the callback gets a, b,
// c and the string binding of each).
using QvServerEnumCallback = void(WINAPI*)(LPVOID a, LPVOID b, LPVOID c, LPCSTR stringBinding);
QVDRV_FUNC BOOL WINAPI qvServerListen(BOOL dontWait) QVDRV_PLAIN(qvServerListen);
QVDRV_FUNC void WINAPI qvServerEnd() QVDRV_PLAIN(qvServerEnd);
QVDRV_FUNC BOOL WINAPI qvServerEnum(QvServerEnumCallback callback, LPVOID a, LPVOID b, LPVOID c)
    QVDRV_PLAIN(qvServerEnum);
// The default hook: the report as text on the standard error handle.
void WINAPI ConsoleErrorReport(DWORD context, HMODULE module, DWORD messageId, LPVOID data, DWORD dataLen,
                                         DWORD nStrings, LPCSTR* strings);
}

// ---- exported device classes ------------------------------------------------

// The device handle of a stream object, placed after the virtual-table pointer.
class QVDRV_API CFileObject {
 public:
  HANDLE m_device = INVALID_HANDLE_VALUE;
};

// The client side of one stream of the wave device: a time-critical thread
// waits for each block and hands it to the block callback (virtual slot
// after Thread), which a subclass supplies.
class QVDRV_API CQvWave : public CFileObject {
 public:
  CQvWave();
  virtual ~CQvWave();
  BOOL WINAPI Open(LPCSTR name, DWORD access, DWORD share, DWORD flags, SECURITY_ATTRIBUTES* sa);
  void WINAPI Close();
  BOOL WINAPI IoControl(DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen, LPDWORD bytesReturned);
  BOOL WINAPI Start();
  BOOL WINAPI Pause();
  BOOL WINAPI Stop();
  BOOL WINAPI Map(qvChannelMap* map, qvChannelInfo* info);
  // The stream loop; returns the thread's exit code.
  virtual DWORD WINAPI Thread();
  // Once per block on the stream thread, with the block in m_status and the
  // previous one in m_previous: non-zero keeps the stream running. The base
  // raises ERROR_CALL_NOT_IMPLEMENTED.
  virtual BOOL WINAPI Block();

  HANDLE m_thread = nullptr;
  HANDLE m_ready = nullptr;
  CRITICAL_SECTION m_lock;
  OVERLAPPED m_overlapped;
  DWORD m_previous[3];
  DWORD m_status[8];  // word 0 position in frames, words 1-2 the time stamp
  DWORD m_spare;
  DWORD m_maxWake;  // 100-ns units
  DWORD m_maxDone;  // 100-ns units

 private:
  CQvWave(const CQvWave&) = delete;
  CQvWave& operator=(const CQvWave&) = delete;
};

// A high-resolution clock in 100-ns units.
class QVDRV_API CSysTime {
 public:
  static void WINAPI Init();
  static ULONGLONG WINAPI Timer();
  static DWORD WINAPI Delta(DWORD stamp);
  static DWORD m_scale;  // 0 until Init ran
};

// The record of a DSP memory transfer.
struct CDspMemory {
  DWORD control;  // count in bits 0-22, bit 23 set for a write
  DWORD address;  // DSP word address
  DWORD data[1];  // count words, each one 24-bit DSP word
};
static_assert(offsetof(CDspMemory, data) == 8);

// Boot, DSP memory and information requests on an opened board.
class QVDRV_API CTavrion {
 public:
  explicit CTavrion(QVDEVHANDLE device) : m_device(device) {}
  BOOL WINAPI Boot(const BYTE* image, DWORD length) const;
  BOOL WINAPI Boot(LPCSTR path) const;
  BOOL WINAPI Boot(LPCSTR name, HINSTANCE module) const;
  BOOL WINAPI Dump(CDspMemory* m) const;
  BOOL WINAPI Load(CDspMemory* m) const;
  BOOL WINAPI Info(void* out, DWORD outLen, DWORD* returned) const;

  QVDEVHANDLE m_device;
};
static_assert(sizeof(CTavrion) == sizeof(void*));
