// The engine's operating-system objects over Win32: critical sections,
// manual-reset events, and the allocator thread fed by asynchronous
// procedure calls.
#include <windows.h>

#include <new>

#include "logs/qvMidRec/engine_os.h"

struct MidiOsLock {
  CRITICAL_SECTION section;
};

MidiOsLock* MidiOsLockCreate() {
  MidiOsLock* lock = new (std::nothrow) MidiOsLock;
  if (lock != nullptr) InitializeCriticalSection(&lock->section);
  return lock;
}

void MidiOsLockDestroy(MidiOsLock* lock) {
  if (lock == nullptr) return;
  DeleteCriticalSection(&lock->section);
  delete lock;
}

void MidiOsLockEnter(MidiOsLock* lock) { EnterCriticalSection(&lock->section); }
bool MidiOsLockTryEnter(MidiOsLock* lock) { return TryEnterCriticalSection(&lock->section) != FALSE; }
void MidiOsLockLeave(MidiOsLock* lock) { LeaveCriticalSection(&lock->section); }

// The event is the handle itself.
MidiOsEvent* MidiOsEventCreate() { return reinterpret_cast<MidiOsEvent*>(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }
void MidiOsEventDestroy(MidiOsEvent* event) {
  if (event != nullptr) CloseHandle(reinterpret_cast<HANDLE>(event));
}
void MidiOsEventSet(MidiOsEvent* event) { SetEvent(reinterpret_cast<HANDLE>(event)); }
void MidiOsEventReset(MidiOsEvent* event) { ResetEvent(reinterpret_cast<HANDLE>(event)); }
void MidiOsEventWait(MidiOsEvent* event) { WaitForSingleObject(reinterpret_cast<HANDLE>(event), INFINITE); }

struct MidiOsWorker {
  HANDLE thread = nullptr;
  HANDLE wake = nullptr;  // auto reset: signalled once to end the thread
  void (*work)(void*) = nullptr;
  void* context = nullptr;
};

namespace {

// Every queued call runs while the thread waits alertably; the wait ends
// for good when the wake event is signalled.
DWORD WINAPI WorkerThread(LPVOID param) {
  MidiOsWorker* worker = static_cast<MidiOsWorker*>(param);
  while (WaitForSingleObjectEx(worker->wake, INFINITE, TRUE) == WAIT_IO_COMPLETION) {
  }
  return 0;
}

VOID CALLBACK WorkerCall(ULONG_PTR param) {
  MidiOsWorker* worker = reinterpret_cast<MidiOsWorker*>(param);
  worker->work(worker->context);
}

}  // namespace

MidiOsWorker* MidiOsWorkerStart(void (*work)(void*), void* context) {
  MidiOsWorker* worker = new (std::nothrow) MidiOsWorker;
  if (worker == nullptr) return nullptr;
  worker->work = work;
  worker->context = context;
  worker->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (worker->wake != nullptr) worker->thread = CreateThread(nullptr, 0, WorkerThread, worker, 0, nullptr);
  if (worker->thread == nullptr) {
    if (worker->wake != nullptr) CloseHandle(worker->wake);
    delete worker;
    return nullptr;
  }
  return worker;
}

void MidiOsWorkerQueue(MidiOsWorker* worker) {
  QueueUserAPC(WorkerCall, worker->thread, reinterpret_cast<ULONG_PTR>(worker));
}

void MidiOsWorkerStop(MidiOsWorker* worker) {
  SetEvent(worker->wake);
  WaitForSingleObject(worker->thread, INFINITE);
  CloseHandle(worker->thread);
  CloseHandle(worker->wake);
  delete worker;
}
