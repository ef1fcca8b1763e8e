// CQvWave: one stream of the wave device, with its time-critical thread.
#include "Drv/Qvdrv/deviceio.h"
#include "Drv/Qvdrv/devname.h"
#include "Drv/Qvdrv/qvdrv_private.h"

#include <cstring>

namespace {

constexpr DWORD DriverThreadPriority = 24;

DWORD WINAPI StreamThreadStart(LPVOID object) { return static_cast<CQvWave*>(object)->Thread(); }

// Device I/O with an OVERLAPPED structure, waited for when it is pending.
BOOL DeviceRequest(HANDLE device, DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen, LPDWORD returned,
                   OVERLAPPED* ov) {
  if (DeviceIo().IoControl(device, code, in, inLen, out, outLen, returned, ov)) return TRUE;
  if (GetLastError() != ERROR_IO_PENDING) return FALSE;
  return GetOverlappedResult(device, ov, returned, TRUE);
}

bool HasEnded(HANDLE thread) { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }

}  // namespace

CQvWave::CQvWave() {
  m_ready = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  InitializeCriticalSection(&m_lock);
  std::memset(&m_overlapped, 0, sizeof m_overlapped);
  m_overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::memset(m_previous, 0, sizeof m_previous);
  std::memset(m_status, 0, sizeof m_status);
  m_spare = m_maxWake = m_maxDone = 0;
}

CQvWave::~CQvWave() {
  Stop();
  if (m_overlapped.hEvent) CloseHandle(m_overlapped.hEvent);
  DeleteCriticalSection(&m_lock);
  if (m_ready) CloseHandle(m_ready);
  if (m_thread) CloseHandle(m_thread);
  if (m_device != INVALID_HANDLE_VALUE) DeviceIo().Close(m_device);
}

BOOL WINAPI CQvWave::Open(LPCSTR name, DWORD access, DWORD share, DWORD flags, SECURITY_ATTRIBUTES* sa) {
  Close();
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The wave device's own name below \\.; no redirection and no remote names.
  qvname::DevicePath path = qvname::PathOfName(name);
  if (path.kind != qvname::PathKind::Local) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (QvdrvIsNt()) {
    flags = (flags & ~FILE_FLAG_DELETE_ON_CLOSE) | FILE_FLAG_OVERLAPPED;
    m_device = DeviceIo().Open(path.path, access, share, sa, OPEN_EXISTING, flags, nullptr);
    return m_device != INVALID_HANDLE_VALUE;
  }
  flags |= FILE_FLAG_OVERLAPPED | FILE_FLAG_DELETE_ON_CLOSE;
  m_device = DeviceIo().Open(path.path, access, share, sa, OPEN_EXISTING, flags, nullptr);
  if (m_device == INVALID_HANDLE_VALUE) return FALSE;
  return IoControl(IOCTL_QV_ATTACH, nullptr, 0, nullptr, 0, nullptr);
}

void WINAPI CQvWave::Close() {
  if (m_device == INVALID_HANDLE_VALUE) return;
  if (!Stop() && m_thread) {
    // The driver refused to stop the stream: the thread cannot be reached.
    TerminateThread(m_thread, 0xFFFFFFFF);
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  DeviceIo().Close(m_device);
  m_device = INVALID_HANDLE_VALUE;
}

BOOL WINAPI CQvWave::IoControl(DWORD code, LPVOID in, DWORD inLen, LPVOID out, DWORD outLen, LPDWORD bytesReturned) {
  DWORD scratch;
  EnterCriticalSection(&m_lock);
  BOOL ok = DeviceRequest(m_device, code, in, inLen, out, outLen, bytesReturned ? bytesReturned : &scratch,
                          &m_overlapped);
  DWORD error = GetLastError();
  LeaveCriticalSection(&m_lock);
  SetLastError(error);
  return ok;
}

BOOL WINAPI CQvWave::Start() {
  if (m_thread && !HasEnded(m_thread)) {
    // The thread runs: the stream is paused and resumes.
    return IoControl(IOCTL_QV_WAVE_START, nullptr, 0, nullptr, 0, nullptr);
  }
  if (m_thread) {
    // The thread ended (its callback said so or its wait failed): reap it
    // and start a new one rather than resume a stream nobody serves.
    CloseHandle(m_thread);
    m_thread = nullptr;
  }
  std::memset(m_previous, 0, sizeof m_previous);
  std::memset(m_status, 0, sizeof m_status);
  m_spare = m_maxWake = m_maxDone = 0;
  ResetEvent(m_ready);
  m_thread = CreateThread(nullptr, 0, StreamThreadStart, this, CREATE_SUSPENDED, nullptr);
  if (!m_thread) return FALSE;
  SetThreadPriority(m_thread, THREAD_PRIORITY_TIME_CRITICAL);
  ResumeThread(m_thread);
  if (WaitForSingleObject(m_ready, INFINITE) != WAIT_OBJECT_0) return FALSE;
  // Whether the thread ended is told by its handle, not by its exit code: a
  // thread may end with any code, 259 included.
  if (!HasEnded(m_thread)) return TRUE;
  DWORD code = 0;
  GetExitCodeThread(m_thread, &code);
  SetLastError(code);
  return FALSE;
}

DWORD WINAPI CQvWave::Thread() {
  OVERLAPPED ov{};
  ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD start[2] = {static_cast<DWORD>(reinterpret_cast<UINT_PTR>(m_thread)), DriverThreadPriority};
  if (IoControl(IOCTL_QV_WAVE_START, start, sizeof start, nullptr, 0, nullptr)) {
    SetEvent(m_ready);
    for (;;) {
      DWORD returned = 0;
      ResetEvent(ov.hEvent);
      if (!DeviceRequest(m_device, IOCTL_QV_WAVE_WAIT, nullptr, 0, m_status, sizeof m_status, &returned, &ov)) break;
      if (returned < sizeof m_status) {
        SetLastError(ERROR_INVALID_DATA);
        break;
      }
      DWORD d = CSysTime::Delta(m_status[1]);
      if (d > m_maxWake) m_maxWake = d;
      if (!Block()) break;
      d = CSysTime::Delta(m_status[1]);
      if (d > m_maxDone) m_maxDone = d;
      std::memcpy(m_previous, m_status, sizeof m_previous);
    }
  }
  DWORD error = GetLastError();
  SetEvent(m_ready);
  if (ov.hEvent) CloseHandle(ov.hEvent);
  return error;
}

BOOL WINAPI CQvWave::Block() {
  RaiseException(ERROR_CALL_NOT_IMPLEMENTED, 0, 0, nullptr);
  return FALSE;
}

BOOL WINAPI CQvWave::Stop() {
  if (!m_thread) return TRUE;
  if (!IoControl(IOCTL_QV_WAVE_STOP, nullptr, 0, nullptr, 0, nullptr)) return FALSE;
  WaitForSingleObject(m_thread, INFINITE);
  DWORD code = 0;
  GetExitCodeThread(m_thread, &code);
  CloseHandle(m_thread);
  m_thread = nullptr;
  SetLastError(code);
  return code == ERROR_OPERATION_ABORTED || code == ERROR_IO_PENDING;
}

BOOL WINAPI CQvWave::Pause() {
  if (!m_thread) return TRUE;
  return IoControl(IOCTL_QV_WAVE_PAUSE, nullptr, 0, nullptr, 0, nullptr);
}

BOOL WINAPI CQvWave::Map(qvChannelMap* map, qvChannelInfo* info) {
  DWORD inLen = map ? 12 + (map->firstCount & QvChannelMask) + (map->secondCount & QvChannelMask) : 0;
  DWORD outLen = info ? sizeof(qvChannelInfo) : 0;
  return IoControl(IOCTL_QV_WAVE_MAP, map, inLen, info, outLen, nullptr);
}
