// Lists, strings, pool, IRQL and spin locks, dispatcher objects, the
// virtual clock, DPCs and interrupts of the simulated kernel.
#include "kernel/km/km_private.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <thread>

// ---- lists -------------------------------------------------------------

void InitializeListHead(LIST_ENTRY* head) { head->Flink = head->Blink = head; }
bool IsListEmpty(const LIST_ENTRY* head) { return head->Flink == head; }
void InsertTailList(LIST_ENTRY* head, LIST_ENTRY* entry) {
  entry->Flink = head;
  entry->Blink = head->Blink;
  head->Blink->Flink = entry;
  head->Blink = entry;
}
void InsertHeadList(LIST_ENTRY* head, LIST_ENTRY* entry) {
  entry->Blink = head;
  entry->Flink = head->Flink;
  head->Flink->Blink = entry;
  head->Flink = entry;
}
void RemoveEntryList(LIST_ENTRY* entry) {
  entry->Blink->Flink = entry->Flink;
  entry->Flink->Blink = entry->Blink;
  entry->Flink = entry->Blink = entry;
}
LIST_ENTRY* RemoveHeadList(LIST_ENTRY* head) {
  LIST_ENTRY* e = head->Flink;
  RemoveEntryList(e);
  return e;
}

// ---- strings -----------------------------------------------------------

void RtlInitUnicodeString(UNICODE_STRING* s, const WCHAR* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  if (n > 0x7FFE) n = 0x7FFE;
  s->Buffer = const_cast<WCHAR*>(text);
  s->Length = static_cast<uint16_t>(n * 2);
  s->MaximumLength = text ? static_cast<uint16_t>(n * 2 + 2) : 0;
}

bool IsEqualGUID(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// ---- pool --------------------------------------------------------------

namespace {
// Every block carries this header in front, so that freeing checks the tag
// and the accounting knows the size.
struct alignas(16) PoolHeader {
  uint32_t magic;
  uint32_t tag;
  uint64_t bytes;
};
constexpr uint32_t PoolMagic = 0x6C6F6F50;
std::mutex g_poolLock;
std::map<uint32_t, km::PoolUse> g_poolUse;
int32_t g_failAfter = -1;
}  // namespace

void* ExAllocatePoolWithTag(POOL_TYPE, size_t bytes, uint32_t tag) {
  std::lock_guard<std::mutex> lk(g_poolLock);
  if (g_failAfter >= 0 && g_failAfter-- == 0) return nullptr;
  if (bytes > (size_t(1) << 30)) return nullptr;
  auto* h = static_cast<PoolHeader*>(std::malloc(sizeof(PoolHeader) + bytes));
  if (!h) return nullptr;
  // Pool comes back as it was left, never cleared: a fill pattern makes a
  // read of unset pool show.
  std::memset(h + 1, 0xA5, bytes);
  h->magic = PoolMagic;
  h->tag = tag;
  h->bytes = bytes;
  auto& use = g_poolUse[tag];
  use.blocks++;
  use.bytes += static_cast<int64_t>(bytes);
  return h + 1;
}

void ExFreePoolWithTag(void* block, uint32_t) { ExFreePool(block); }

void ExFreePool(void* block) {
  if (!block) return;
  auto* h = static_cast<PoolHeader*>(block) - 1;
  if (h->magic != PoolMagic) km::BugCheck("ExFreePool: not a pool block");
  std::lock_guard<std::mutex> lk(g_poolLock);
  auto& use = g_poolUse[h->tag];
  use.blocks--;
  use.bytes -= static_cast<int64_t>(h->bytes);
  h->magic = 0;
  std::free(h);
}

[[noreturn]] void ExRaiseStatus(NTSTATUS status) { throw KmException{status}; }

namespace km {
PoolUse PoolInUse(uint32_t tag) {
  std::lock_guard<std::mutex> lk(g_poolLock);
  auto it = g_poolUse.find(tag);
  return it == g_poolUse.end() ? PoolUse{0, 0} : it->second;
}
void FailPoolAfter(int32_t n) {
  std::lock_guard<std::mutex> lk(g_poolLock);
  g_failAfter = n;
}
[[noreturn]] void BugCheck(const char* why) {
  std::fprintf(stderr, "simulated kernel stop: %s\n", why);
  std::abort();
}
}  // namespace km

// ---- IRQL, spin locks, interlocked --------------------------------------

namespace {
thread_local KIRQL t_irql = PASSIVE_LEVEL;
std::atomic<uint64_t> g_threadNumbers{0};
thread_local uint64_t t_thread = ++g_threadNumbers;
}  // namespace

KIRQL KeGetCurrentIrql() { return t_irql; }
void KeRaiseIrql(KIRQL to, KIRQL* old) {
  *old = t_irql;
  t_irql = to;
}
void KeLowerIrql(KIRQL to) { t_irql = to; }

void KeInitializeSpinLock(KSPIN_LOCK* lock) { lock->Held.store(0); }
void KeAcquireSpinLock(KSPIN_LOCK* lock, KIRQL* old) {
  KeRaiseIrql(DISPATCH_LEVEL, old);
  while (lock->Held.exchange(1, std::memory_order_acquire)) std::this_thread::yield();
}
void KeReleaseSpinLock(KSPIN_LOCK* lock, KIRQL old) {
  lock->Held.store(0, std::memory_order_release);
  KeLowerIrql(old);
}

int32_t InterlockedIncrement(std::atomic<int32_t>* v) { return ++*v; }
int32_t InterlockedDecrement(std::atomic<int32_t>* v) { return --*v; }
int32_t InterlockedExchange(std::atomic<int32_t>* v, int32_t value) { return v->exchange(value); }
int32_t InterlockedCompareExchange(std::atomic<int32_t>* v, int32_t exchange, int32_t comparand) {
  v->compare_exchange_strong(comparand, exchange);
  return comparand;
}
int32_t InterlockedExchangeAdd(std::atomic<int32_t>* v, int32_t add) { return v->fetch_add(add); }

// ---- dispatcher objects and the clock ----------------------------------------

namespace {
std::mutex g_dispatcher;
std::condition_variable g_signalled;
std::atomic<int64_t> g_now{0};
constexpr int64_t PerformanceFrequency = 3579545;  // Hz
constexpr int64_t SystemTimeBase = 126000000000000000;  // 100 ns since 1601

bool IsSignalled(const DISPATCHER_HEADER* h) {
  if (h->Type == KmMutant) return h->SignalState > 0 || h->OwnerThread == t_thread;
  return h->SignalState > 0;
}
void Acquire(DISPATCHER_HEADER* h) {
  if (h->Type == KmEventSynchronization) h->SignalState = 0;
  if (h->Type == KmMutant) {
    h->SignalState--;
    h->OwnerThread = t_thread;
  }
}
// The absolute virtual time a wait's time-out names.
int64_t Deadline(const int64_t* timeout) {
  return *timeout < 0 ? g_now.load() - *timeout : *timeout - SystemTimeBase;
}
void AdvanceTo(int64_t when) {
  int64_t now = g_now.load();
  while (when > now && !g_now.compare_exchange_weak(now, when)) {
  }
}
}  // namespace

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool state) {
  event->Header.Type = type == NotificationEvent ? KmEventNotification : KmEventSynchronization;
  event->Header.SignalState = state ? 1 : 0;
  event->Header.OwnerThread = 0;
}

int32_t KeSetEvent(KEVENT* event, int32_t, bool) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  int32_t old = event->Header.SignalState;
  event->Header.SignalState = 1;
  g_signalled.notify_all();
  return old;
}

void KeClearEvent(KEVENT* event) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  event->Header.SignalState = 0;
}

int32_t KeResetEvent(KEVENT* event) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  int32_t old = event->Header.SignalState;
  event->Header.SignalState = 0;
  return old;
}

int32_t KeReadStateEvent(KEVENT* event) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  return event->Header.SignalState;
}

void KeInitializeMutex(KMUTEX* mutex, uint32_t) {
  mutex->Header.Type = KmMutant;
  mutex->Header.SignalState = 1;
  mutex->Header.OwnerThread = 0;
}

int32_t KeReleaseMutex(KMUTEX* mutex, bool) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  if (mutex->Header.OwnerThread != t_thread) km::BugCheck("KeReleaseMutex: not the owner");
  int32_t old = mutex->Header.SignalState;
  if (++mutex->Header.SignalState == 1) {
    mutex->Header.OwnerThread = 0;
    g_signalled.notify_all();
  }
  return old;
}

NTSTATUS KeWaitForSingleObject(void* object, KWAIT_REASON, KPROCESSOR_MODE, bool, const int64_t* timeout) {
  auto* h = static_cast<DISPATCHER_HEADER*>(object);
  std::unique_lock<std::mutex> lk(g_dispatcher);
  if (!IsSignalled(h)) {
    if (timeout) {
      // Virtual time: nobody else moves the clock while this thread waits,
      // so the wait runs out at once at its deadline.
      AdvanceTo(Deadline(timeout));
      return STATUS_TIMEOUT;
    }
    g_signalled.wait(lk, [h] { return IsSignalled(h); });
  }
  Acquire(h);
  return STATUS_SUCCESS;
}

NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE, bool, const int64_t* interval) {
  AdvanceTo(Deadline(interval));
  std::this_thread::yield();
  return STATUS_SUCCESS;
}

int64_t KeQueryPerformanceCounter(int64_t* frequency) {
  if (frequency) *frequency = PerformanceFrequency;
  // 100-ns units to counter ticks without overflow for centuries of uptime.
  int64_t t = g_now.load();
  return t / 10000000 * PerformanceFrequency + t % 10000000 * PerformanceFrequency / 10000000;
}

void KeQuerySystemTime(int64_t* time) { *time = SystemTimeBase + g_now.load(); }

void KeStallExecutionProcessor(uint32_t microseconds) { g_now += int64_t(microseconds) * 10; }

namespace km {

int64_t Now() { return g_now.load(); }
void Advance(int64_t units) { g_now += units; }
void ResetClock() { g_now = 0; }
void SignalThreadObject(DISPATCHER_HEADER* h) {
  std::lock_guard<std::mutex> lk(g_dispatcher);
  h->SignalState = 1;
  g_signalled.notify_all();
}
uint64_t CurrentThreadNumber() { return t_thread; }
}  // namespace km

// ---- DPCs --------------------------------------------------------------

namespace {
std::atomic<uint32_t> g_dpcDelay{0};  // microseconds
// The DPC being run, as it was when it left the queue: an interrupt may
// queue it again (with new arguments) while its routine runs.
struct DpcCall {
  PKDEFERRED_ROUTINE routine;
  void *context, *arg1, *arg2;
} g_dpcCall;  // the DPC thread's alone
// One DPC thread runs queued DPCs in order at dispatch level.
km::SerialQueue<KDPC> g_dpcs(
    [](KDPC* dpc) {
      dpc->Inserted = false;
      g_dpcCall = {dpc->DeferredRoutine, dpc->DeferredContext, dpc->SystemArgument1, dpc->SystemArgument2};
    },
    [](KDPC* dpc) {
      DpcCall call = g_dpcCall;
      if (uint32_t us = g_dpcDelay) std::this_thread::sleep_for(std::chrono::microseconds(us));
      KIRQL old;
      KeRaiseIrql(DISPATCH_LEVEL, &old);
      call.routine(dpc, call.context, call.arg1, call.arg2);
      KeLowerIrql(old);
    });
}  // namespace

void KeInitializeDpc(KDPC* dpc, PKDEFERRED_ROUTINE routine, void* context) {
  dpc->DeferredRoutine = routine;
  dpc->DeferredContext = context;
  dpc->Inserted = false;
}

bool KeInsertQueueDpc(KDPC* dpc, void* arg1, void* arg2) {
  std::lock_guard<std::mutex> lk(g_dpcs.Lock());
  if (dpc->Inserted) return false;
  dpc->Inserted = true;
  dpc->SystemArgument1 = arg1;
  dpc->SystemArgument2 = arg2;
  g_dpcs.PushLocked(dpc);
  return true;
}

bool KeRemoveQueueDpc(KDPC* dpc) {
  std::lock_guard<std::mutex> lk(g_dpcs.Lock());
  if (!dpc->Inserted) return false;
  g_dpcs.EraseLocked(dpc);
  dpc->Inserted = false;
  return true;
}

void KeFlushQueuedDpcs() { g_dpcs.WaitDone(); }

namespace km {
void StopDpcThread() { g_dpcs.Quiesce(); }
void DelayDpcs(uint32_t microseconds) { g_dpcDelay = microseconds; }
}  // namespace km

// ---- interrupts --------------------------------------------------------

namespace {
std::mutex g_interruptLock;
std::vector<KINTERRUPT*> g_interrupts;
}  // namespace

NTSTATUS IoConnectInterrupt(KINTERRUPT** out, PKSERVICE_ROUTINE routine, void* context, KSPIN_LOCK*,
                            uint32_t vector, KIRQL irql, KIRQL, KINTERRUPT_MODE mode, bool shareVector,
                            uint64_t, bool) {
  std::lock_guard<std::mutex> lk(g_interruptLock);
  for (KINTERRUPT* i : g_interrupts)
    if (i->Vector == vector && !(i->ShareVector && shareVector)) return STATUS_INVALID_PARAMETER;
  auto* i = new (std::nothrow) KINTERRUPT();
  if (!i) return STATUS_INSUFFICIENT_RESOURCES;
  i->ServiceRoutine = routine;
  i->ServiceContext = context;
  i->Vector = vector;
  i->Irql = irql;
  i->Mode = mode;
  i->ShareVector = shareVector;
  g_interrupts.push_back(i);
  *out = i;
  return STATUS_SUCCESS;
}

void IoDisconnectInterrupt(KINTERRUPT* interrupt) {
  std::lock_guard<std::mutex> lk(g_interruptLock);
  std::erase(g_interrupts, interrupt);
  delete interrupt;
}

bool KeSynchronizeExecution(KINTERRUPT* interrupt, PKSYNCHRONIZE_ROUTINE routine, void* context) {
  KIRQL old;
  KeAcquireSpinLock(&interrupt->Lock, &old);
  bool r = routine(context);
  KeReleaseSpinLock(&interrupt->Lock, old);
  return r;
}

KIRQL KeAcquireInterruptSpinLock(KINTERRUPT* interrupt) {
  KIRQL old;
  KeAcquireSpinLock(&interrupt->Lock, &old);
  return old;
}

void KeReleaseInterruptSpinLock(KINTERRUPT* interrupt, KIRQL old) { KeReleaseSpinLock(&interrupt->Lock, old); }

void km::RaiseInterrupt(uint32_t vector) {
  std::lock_guard<std::mutex> lk(g_interruptLock);
  for (KINTERRUPT* i : g_interrupts) {
    if (i->Vector != vector) continue;
    KIRQL old;
    KeAcquireSpinLock(&i->Lock, &old);
    i->ServiceRoutine(i, i->ServiceContext);
    KeReleaseSpinLock(&i->Lock, old);
  }
}
