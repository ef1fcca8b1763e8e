// The engine's operating-system objects over the standard library, for the
// builds without Win32.
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

#include "logs/qvMidRec/engine_os.h"

struct MidiOsLock {
  std::mutex mutex;
};

MidiOsLock* MidiOsLockCreate() { return new (std::nothrow) MidiOsLock; }
void MidiOsLockDestroy(MidiOsLock* lock) { delete lock; }
void MidiOsLockEnter(MidiOsLock* lock) { lock->mutex.lock(); }
bool MidiOsLockTryEnter(MidiOsLock* lock) { return lock->mutex.try_lock(); }
void MidiOsLockLeave(MidiOsLock* lock) { lock->mutex.unlock(); }

// Setting never blocks: a real-time thread sets the event when it lets go of
// the last reference to a list.
struct MidiOsEvent {
  std::atomic<uint32_t> set{0};
};

MidiOsEvent* MidiOsEventCreate() { return new (std::nothrow) MidiOsEvent; }
void MidiOsEventDestroy(MidiOsEvent* event) { delete event; }

void MidiOsEventSet(MidiOsEvent* event) {
  event->set.store(1);
  event->set.notify_all();
}

void MidiOsEventReset(MidiOsEvent* event) { event->set.store(0); }

void MidiOsEventWait(MidiOsEvent* event) {
  while (event->set.load() == 0) event->set.wait(0);
}

// Requests are a count; the top bit asks the thread to end. The queueing
// side only adds and notifies: it takes no lock.
struct MidiOsWorker {
  static constexpr uint32_t kStop = 0x80000000u;
  std::atomic<uint32_t> requests{0};
  void (*work)(void*) = nullptr;
  void* context = nullptr;
  std::thread thread;

  void Run() {
    for (;;) {
      uint32_t r = requests.load();
      if ((r & kStop) != 0) return;
      if (r == 0) {
        requests.wait(0);
        continue;
      }
      requests.fetch_sub(1);
      work(context);
    }
  }
};

MidiOsWorker* MidiOsWorkerStart(void (*work)(void*), void* context) {
  MidiOsWorker* worker = new (std::nothrow) MidiOsWorker;
  if (worker == nullptr) return nullptr;
  worker->work = work;
  worker->context = context;
  try {
    worker->thread = std::thread([worker] { worker->Run(); });
  } catch (...) {
    delete worker;
    return nullptr;
  }
  return worker;
}

void MidiOsWorkerQueue(MidiOsWorker* worker) {
  worker->requests.fetch_add(1);
  worker->requests.notify_one();
}

void MidiOsWorkerStop(MidiOsWorker* worker) {
  worker->requests.fetch_or(MidiOsWorker::kStop);
  worker->requests.notify_all();
  worker->thread.join();
  delete worker;
}
