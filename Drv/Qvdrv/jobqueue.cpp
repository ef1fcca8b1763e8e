#include "Drv/Qvdrv/jobqueue.h"

#include "Drv/Qvdrv/qvdrv_private.h"
#include "Inc/base.h"

#include <objbase.h>

namespace {
// Marks the pending word when the queue stops: a pending job with no owner.
CJob* const StopMark = reinterpret_cast<CJob*>(1);
constexpr DWORD ThrownObject = 0xE06D7363;
}  // namespace

CJobQueue::CJobQueue()
    : m_wake(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_owner(nullptr),
      m_pending(nullptr),
      m_stop(0),
      m_active(0),
      m_lock(0),
      m_port(nullptr),
      m_apcThread(nullptr),
      m_apcEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CJobQueue::~CJobQueue() {
  Stop();
  if (m_wake) CloseHandle(m_wake);
  if (m_apcEvent) CloseHandle(m_apcEvent);
}

DWORD WINAPI CJobQueue::ApcWait() { return WaitForSingleObjectEx(m_apcEvent, INFINITE, TRUE); }

BOOL WINAPI CJobQueue::Start(LONG count) {
  if (m_port) return TRUE;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  DWORD processors = si.dwNumberOfProcessors;
  DWORD_PTR mask = 0;
  if (count < 1) {
    count = static_cast<LONG>(processors);
    // Pair the logical processors of one core: worker n runs on processors
    // n and n + processors / 2.
    if (processors > 1 && (GetCpuFeatures() & 0x80)) {
      count /= 2;
      mask = (DWORD_PTR{1} << (processors / 2)) + 1;
    }
  }
  m_stop = 0;
  m_owner = nullptr;
  m_pending = nullptr;
  m_lock = 0;
  m_port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, static_cast<DWORD>(count));
  if (!m_port) return FALSE;
  m_workers = static_cast<HANDLE*>(MemAlloc(sizeof(HANDLE) * static_cast<size_t>(count)));
  for (LONG i = 0; m_workers && i < count; ++i) {
    HANDLE t = CreateThread(nullptr, 0, WorkerStart, this, CREATE_SUSPENDED, nullptr);
    if (!t) break;
    SetThreadPriority(t, THREAD_PRIORITY_TIME_CRITICAL);
    if (mask) {
      SetThreadAffinityMask(t, mask);
      mask <<= 1;
    }
    m_workers[m_workerCount++] = t;
    ResumeThread(t);
  }
  m_apcThread = CreateThread(nullptr, 0, ApcStart, this, 0, nullptr);
  if (!m_apcThread) {
    Stop();
    return FALSE;
  }
  return TRUE;
}

void WINAPI CJobQueue::Stop() {
  if (!m_port) return;
  InterlockedExchange(&m_stop, 1);
  PostQueuedCompletionStatus(m_port, 0, 0, nullptr);
  if (m_apcThread) SetEvent(m_apcEvent);
  // The workers are waited for by their handles, never on the wake event
  // they pass among themselves; the port stays open until the last is gone.
  for (LONG at = 0; at < m_workerCount; at += MAXIMUM_WAIT_OBJECTS) {
    LONG n = m_workerCount - at < MAXIMUM_WAIT_OBJECTS ? m_workerCount - at : MAXIMUM_WAIT_OBJECTS;
    WaitForMultipleObjects(static_cast<DWORD>(n), m_workers + at, TRUE, INFINITE);
  }
  for (LONG i = 0; i < m_workerCount; ++i) CloseHandle(m_workers[i]);
  MemFree(m_workers);
  m_workers = nullptr;
  m_workerCount = 0;
  if (m_apcThread) {
    WaitForSingleObject(m_apcThread, INFINITE);
    CloseHandle(m_apcThread);
    m_apcThread = nullptr;
  }
  CloseHandle(m_port);
  m_port = nullptr;
}

DWORD WINAPI CJobQueue::WorkerStart(LPVOID queue) { return static_cast<CJobQueue*>(queue)->Worker(); }
DWORD WINAPI CJobQueue::ApcStart(LPVOID queue) { return static_cast<CJobQueue*>(queue)->ApcWorker(); }

void CJobQueue::TakeLock() {
  while (InterlockedCompareExchange(&m_lock, 1, 0) != 0) WaitForSingleObject(m_wake, INFINITE);
}

void CJobQueue::FreeLock() {
  InterlockedExchange(&m_lock, 0);
  SetEvent(m_wake);
}

// Called holding the lock; frees it before the job runs.
void CJobQueue::RunPending() {
  CJob* job = m_pending;
  m_pending = job->m_next;
  CJobOwner* done = nullptr;
  if (!m_pending) {
    done = m_owner;
    m_owner = nullptr;
  }
  FreeLock();
  job->Run();
  if (done) done->JobsDone(0, 0);
}

void CJobQueue::StopFromWorker() {
  InterlockedExchange(&m_stop, 1);
  PostQueuedCompletionStatus(m_port, 0, 0, nullptr);
}

DWORD CJobQueue::Worker() {
  InterlockedIncrement(&m_active);  // once per thread
  bool holding = false;
  try {
    for (;;) {
      TakeLock();
      holding = true;
      if (m_pending) {
        if (!m_owner) break;  // the queue stops
        holding = false;
        RunPending();
        continue;
      }
      // One worker waits on the port holding the lock; the others wait for it.
      DWORD bytes = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* ov = nullptr;
      BOOL ok = GetQueuedCompletionStatus(m_port, &bytes, &key, &ov, INFINITE);
      if (!ov && (!ok || key == 0)) {
        // The stop request (or a port that failed): every other worker ends
        // at the pending check.
        m_pending = StopMark;
        m_owner = nullptr;
        break;
      }
      DWORD error = ok ? 0 : GetLastError();
      CJobOwner* owner = CJobOwner::FromOverlapped(ov);
      CJob* first = ok ? owner->FirstJob(key) : nullptr;
      if (!first) {
        holding = false;
        FreeLock();
        owner->JobsDone(key, error);
        continue;
      }
      m_owner = owner;
      m_pending = first;
      holding = false;
      RunPending();
    }
  } catch (...) {
    // A job or an owner threw: report it, free the lock if this worker held
    // it, and stop the whole queue.
    DebugTrace("CJobQueue::Worker: exception 0x%08X, the queue stops\n", ThrownObject);
    StopFromWorker();
    InterlockedDecrement(&m_active);
    if (holding) FreeLock();
    return ThrownObject;
  }
  InterlockedDecrement(&m_active);
  FreeLock();
  return 0;
}

DWORD CJobQueue::ApcWorker() {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(hr)) return static_cast<DWORD>(hr);
  DWORD error = 0;
  try {
    for (;;) {
      DWORD r = ApcWait();
      if (r != 0 && r != WAIT_IO_COMPLETION) {
        error = GetLastError();
        if (error) break;
      }
      if (m_stop) break;
    }
  } catch (...) {
    DebugTrace("CJobQueue::ApcWorker: exception 0x%08X\n", ThrownObject);
    return ThrownObject;
  }
  CoUninitialize();
  return error;
}
