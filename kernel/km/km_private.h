// What the files of the simulated kernel share.
#pragma once
#include "kernel/km/kmsim.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace km {

[[noreturn]] void BugCheck(const char* why);
uint64_t CurrentThreadNumber();
void SignalThreadObject(DISPATCHER_HEADER* h);
void ResetClock();
void ResetRegistry();
void ResetIo();
void ResetSystem();
void ResetViews();
// The system buffer of a buffered or direct I/O-control request: `size`
// bytes from the pool with the input copied to its front (nothing for size
// 0). False when the pool has none; the request is then the caller's to free.
bool AttachSystemBuffer(IRP* irp, const void* in, uint32_t inLen, uint32_t size);

// Kernel handles: registry keys and threads.
enum class HandleKind { Key, Thread, Section };
HANDLE NewHandle(HandleKind kind, void* object);
void* HandleObject(HANDLE h, HandleKind kind);
bool CloseHandleEntry(HANDLE h, HandleKind* kind, void** object);

// Objects that ObReferenceObject and ObDereferenceObject accept.
enum class ObjectKind { Device, File, Thread };
void RegisterObject(void* object, ObjectKind kind);
void UnregisterObject(void* object);
void DereferenceThread(void* thread);
void ReferenceThread(void* thread);

// The name of a unicode string as a standard string.
std::u16string Str(const UNICODE_STRING* s);
// Copies text into a pool-allocated unicode string (freed with ExFreePool on Buffer).
bool MakePoolString(const std::u16string& text, UNICODE_STRING* out);

// The last step of a request's completion, by who built it.
enum IrpOrigin : int32_t { IrpAllocated = 0, IrpBuiltSync = 1, IrpUser = 2 };
void FinishUserIrp(IRP* irp);  // in um.cpp

NTSTATUS OpenFile(const std::u16string& name, ACCESS_MASK access, uint32_t share, FILE_OBJECT** out);
NTSTATUS SendFileRequest(FILE_OBJECT* file, uint8_t major, ACCESS_MASK access, uint32_t share);

// The bus driver behind every physical device object.
DRIVER_OBJECT* BusDriver();

// A worker thread, started at the first item, that runs queued items one at
// a time in queue order: the DPC queue and the work-item queue. `taken` runs
// under the queue's lock as an item leaves the queue; `run` runs unlocked.
template <typename T> class SerialQueue {
 public:
  using Fn = void (*)(T*);
  SerialQueue(Fn taken, Fn run) : taken_(taken), run_(run) {}
  ~SerialQueue() {
    {
      std::lock_guard<std::mutex> lk(lock_);
      stop_ = true;
    }
    wake_.notify_all();
#if defined(_WIN32)
    // A library's statics go after the process's other threads were ended:
    // the thread cannot be joined any more.
    if (thread_.joinable()) thread_.detach();
#else
    if (thread_.joinable()) thread_.join();
#endif
  }
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  std::mutex& Lock() { return lock_; }
  // With Lock() held.
  void PushLocked(T* item) {
    items_.push_back({item, ++next_});
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    wake_.notify_all();
  }
  // With Lock() held: takes a waiting item out; false when it is not queued.
  bool EraseLocked(T* item) {
    for (auto it = items_.begin(); it != items_.end(); ++it)
      if (it->item == item) {
        items_.erase(it);
        wake_.notify_all();
        return true;
      }
    return false;
  }
  // Runs what is queued, then ends the thread; the next item starts another.
  void Quiesce() {
    {
      std::lock_guard<std::mutex> lk(lock_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lk(lock_);
    stop_ = false;
  }
  // Returns once every item queued before the call, and the one running
  // then, has run or was taken out; items queued later are not waited for,
  // so a queue that other threads keep feeding cannot hold the caller. On
  // the queue's own thread it returns at once: the running item is the
  // caller itself.
  void WaitDone() {
    std::unique_lock<std::mutex> lk(lock_);
    if (thread_.joinable() && std::this_thread::get_id() == thread_.get_id()) return;
    uint64_t last = next_;
    wake_.wait(lk, [this, last] {
      return (items_.empty() || items_.front().ticket > last) && !(running_ && runningTicket_ <= last);
    });
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lk(lock_);
    for (;;) {
      wake_.wait(lk, [this] { return stop_ || !items_.empty(); });
      if (items_.empty()) return;
      T* item = items_.front().item;
      runningTicket_ = items_.front().ticket;
      items_.pop_front();
      if (taken_) taken_(item);
      running_ = true;
      lk.unlock();
      run_(item);
      lk.lock();
      running_ = false;
      wake_.notify_all();
    }
  }

  Fn taken_;
  Fn run_;
  std::mutex lock_;
  std::condition_variable wake_;
  struct Entry {
    T* item;
    uint64_t ticket;  // its place in the order of queueing
  };
  std::deque<Entry> items_;
  uint64_t next_ = 0;
  uint64_t runningTicket_ = 0;
  bool running_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace km
