// CJobQueue: worker threads on an I/O completion port and one apartment
// thread for asynchronous procedure calls. An owner object completes I/O (or
// posts a completion with a non-zero key) on the port with its embedded
// OVERLAPPED; a worker asks the owner for a chain of jobs, the jobs are
// handed out in chain order to whichever workers are free, and the worker
// that runs the last job tells the owner the chain is done.
#pragma once
#include <windows.h>

#include <cstddef>

class CJob {
 public:
  virtual ~CJob() = default;
  virtual void WINAPI Run() = 0;
  CJob* m_next = nullptr;  // the next job of the chain; null for the last
};

class CJobOwner {
 public:
  virtual ~CJobOwner() = default;
  // The first job of the chain for a completion with this key, or null.
  virtual CJob* WINAPI FirstJob(ULONG_PTR key) = 0;
  // After the last job of a chain ran (0, 0), or for a completion that gave
  // no chain (its key and error).
  virtual void WINAPI JobsDone(ULONG_PTR key, DWORD error) = 0;
  // The OVERLAPPED the owner completes on the queue's port, with the way
  // back from it to the owner.
  struct CompletionSlot {
    OVERLAPPED overlapped;
    CJobOwner* owner;
  };
  static_assert(offsetof(CompletionSlot, overlapped) == 0);
  CompletionSlot m_slot{{}, this};
  OVERLAPPED* Overlapped() { return &m_slot.overlapped; }
  static CJobOwner* FromOverlapped(OVERLAPPED* ov) { return reinterpret_cast<CompletionSlot*>(ov)->owner; }
};

class CJobQueue {
 public:
  CJobQueue();
  virtual ~CJobQueue();
  // One step of the apartment thread, called in a loop: waits alertably.
  virtual DWORD WINAPI ApcWait();

  // count < 1: one worker per processor (one per pair of logical processors
  // with hyper-threading). TRUE when the port exists.
  BOOL WINAPI Start(LONG count);
  // Stops and joins every thread, then closes the port. Does nothing when
  // the queue is not running.
  void WINAPI Stop();
  HANDLE Port() const { return m_port; }

  HANDLE m_wake;             // auto-reset: set whenever the lock is freed
  CJobOwner* m_owner;        // whose chain is being run
  CJob* m_pending;           // the next job of that chain
  volatile LONG m_stop;
  volatile LONG m_active;    // workers running
  volatile LONG m_lock;      // 0 free, 1 taken
  HANDLE m_port;
  HANDLE m_apcThread;
  HANDLE m_apcEvent;

 private:
  static DWORD WINAPI WorkerStart(LPVOID queue);
  static DWORD WINAPI ApcStart(LPVOID queue);
  DWORD Worker();
  DWORD ApcWorker();
  void TakeLock();
  void FreeLock();
  void RunPending();
  void StopFromWorker();

  // The worker threads, kept so that Stop can wait for each to end.
  HANDLE* m_workers = nullptr;
  LONG m_workerCount = 0;
};
