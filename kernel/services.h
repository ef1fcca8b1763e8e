// The driver's kernel services layer: the one door from the driver's own
// code to the kernel. Pool with the driver's tag, counted strings, the
// clock, the event log, the cancel-safe request queue, user buffers, other
// devices, the registry, reference-counted interfaces, threads, work items.
#pragma once
#include "kernel/km/km.h"

#include <cstddef>
#include <cstdint>

// ---- pool ---------------------------------------------------------------

constexpr uint32_t KsPoolTag = 0x76656451;      // "Qdev"
constexpr uint32_t KsInitPoolTag = 0x74696E49;  // "Init"

// Zero-filled blocks with the driver's tag; null when pool is exhausted.
void* KsAllocate(size_t bytes);
void* KsAllocatePool(POOL_TYPE type, size_t bytes);
void* KsAllocateTail(size_t bytes, size_t tail);
// Start-up allocations: paged, tagged "Init"; raise STATUS_INSUFFICIENT_RESOURCES
// when pool is exhausted.
void* KsAllocateInit(size_t bytes);
void KsFree(void* block);  // null is accepted

// Objects of the driver's classes live in its pool.
struct KsPoolObject {
  static void* operator new(size_t bytes) noexcept { return KsAllocate(bytes); }
  static void* operator new(size_t, void* at) noexcept { return at; }
  static void operator delete(void* p) noexcept { KsFree(p); }
  static void operator delete(void*, void*) noexcept {}
};

// ---- counted strings --------------------------------------------------------

// A counted wide string whose buffer follows its header in one block.
UNICODE_STRING* KsStringAlloc(uint16_t capacityChars, bool init = false);
void KsStringFree(UNICODE_STRING* s);
NTSTATUS KsStringAppend(UNICODE_STRING* s, const UNICODE_STRING* tail);
NTSTATUS KsStringAppendText(UNICODE_STRING* s, const WCHAR* text);
NTSTATUS KsStringAppendChar(UNICODE_STRING* s, WCHAR c);
NTSTATUS KsStringAppendNumber(UNICODE_STRING* s, uint32_t value, uint32_t base);
bool KsStringEqual(const UNICODE_STRING* a, const UNICODE_STRING* b, bool ignoreCase);
// Whether prefix (its stored length decides) starts s.
bool KsStringPrefix(const UNICODE_STRING* prefix, const UNICODE_STRING* s, bool ignoreCase);
// Recomputes the length from the first terminating zero within the buffer.
void KsStringFixLength(UNICODE_STRING* s);
// A string view over zero-terminated text (no copy).
UNICODE_STRING KsStringOf(const WCHAR* text);

// ---- clock ----------------------------------------------------------------

void KsClockStart();
int64_t KsTime100ns();
uint32_t KsTimeMs();
// Waits ms milliseconds (none for 0) and returns the time in milliseconds.
uint32_t KsSleepMs(uint32_t ms);

// a × b / c rounded to nearest, signs honoured; 0 when a is 0; -1 (0xFFFFFFFF)
// when c is 0 or the result does not fit.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// ---- event log --------------------------------------------------------------

constexpr uint16_t KsEventCategory = 6;
// object: a device or driver object; null means the driver object.
void KsLogEvent(void* object, uint32_t messageId, NTSTATUS finalStatus, const WCHAR* text, uint32_t dumpLength,
                const void* dump);
void KsLogException(const WCHAR* routine, const void* record, uint32_t recordLength);
void KsSetLogDriver(DRIVER_OBJECT* driver);

// ---- cancel-safe request queue ----------------------------------------------------

struct KsQueue {
  LIST_ENTRY Head;
  KINTERRUPT* Interrupt;  // its routine also touches the queue, or null
};
void KsQueueInit(KsQueue* q, KINTERRUPT* interrupt);
// STATUS_PENDING when queued; STATUS_CANCELLED (queue unchanged) when the
// request's cancel flag is set. cancel: null for the default routine.
NTSTATUS KsQueueInsert(KsQueue* q, IRP* irp, DRIVER_CANCEL cancel);
IRP* KsQueueRemoveFirst(KsQueue* q);
// Completes every queued request (or those of one file object) through its
// cancel routine.
void KsQueueFlush(KsQueue* q, FILE_OBJECT* file);
// Unlinks a request and completes it with STATUS_CANCELLED and no data.
void KsDefaultCancel(DEVICE_OBJECT* device, IRP* irp);

// Copies up to the request's output length of a record into its system
// buffer and sets Information (0 without buffer or record).
void KsCopyOutput(IRP* irp, const void* record, uint32_t length);

// ---- user buffers --------------------------------------------------------------

MDL* KsBuildUserMdl(void* address, uint32_t length);
// Probes and locks the descriptor's pages; false when the probe raised.
bool KsLockUserMdl(MDL* mdl, LOCK_OPERATION op);
void KsUnlockFreeMdl(MDL* mdl, bool locked);
// The system address of a locked descriptor, null when it cannot be mapped.
void* KsMapLockedMdl(MDL* mdl);

// ---- other devices -------------------------------------------------------------

// Opens "\Device\" + name; returns a referenced file object and its device.
NTSTATUS KsOpenDevice(const WCHAR* name, ACCESS_MASK access, FILE_OBJECT** file, DEVICE_OBJECT** device);
NTSTATUS KsSendIoctl(DEVICE_OBJECT* device, uint32_t code, void* in, uint32_t inLen, void* out, uint32_t outLen,
                     bool internal, uintptr_t* information);
// A new PnP (or power) request built from a stack location, sent to the top
// of target's stack (or to target itself when forwarding down) and waited
// for; status preset and information given in and out.
NTSTATUS KsSendPnp(DEVICE_OBJECT* target, const IO_STACK_LOCATION* params, NTSTATUS preset,
                   uintptr_t* information, bool toTop = true);
NTSTATUS KsQueryDeviceInterface(const WCHAR* name, const GUID* type, uint16_t size, uint16_t version,
                                INTERFACE* record);

// ---- physical-memory views -------------------------------------------------

// A range of physical memory mapped into the calling process.
struct KsPhysicalView {
  HANDLE Section;  // \Device\PhysicalMemory, held while mapped
  void* Base;      // the view as mapped, from the range's page
  void* Address;   // the range's first byte in the process
};
// Maps `length` bytes from `physical` read-write and uncached into the
// calling process; on failure nothing stays open.
NTSTATUS KsMapPhysicalView(uint64_t physical, uint32_t length, KsPhysicalView* view);
// Unmaps the view and lets the section go; an empty view is accepted.
void KsUnmapPhysicalView(KsPhysicalView* view);

// ---- registry ----------------------------------------------------------------------

// path relative to "\Registry\Machine\".
NTSTATUS KsRegOpen(const WCHAR* path, HANDLE* key);
NTSTATUS KsRegCreate(const WCHAR* path, HANDLE* key);
// An absolute path (the driver's parameters key).
NTSTATUS KsRegOpenAbsolute(const UNICODE_STRING* path, HANDLE* key);
// The same, for reading and writing (the key must exist).
NTSTATUS KsRegOpenAbsoluteWritable(const UNICODE_STRING* path, HANDLE* key);
// Missing value: the default is left untouched, the status says not found.
NTSTATUS KsRegReadDword(HANDLE key, const WCHAR* name, uint32_t* value);
// Missing value: written with the caller's default, which is kept.
NTSTATUS KsRegReadOrCreateDword(HANDLE key, const WCHAR* name, uint32_t* value);
NTSTATUS KsRegReadValue(HANDLE key, const WCHAR* name, void* buffer, uint32_t length, uint32_t* type,
                        uint32_t* resultLength);
NTSTATUS KsRegWriteDword(HANDLE key, const WCHAR* name, uint32_t value);
NTSTATUS KsRegWriteString(HANDLE key, const WCHAR* name, const WCHAR* text);
NTSTATUS KsRegWriteValue(HANDLE key, const WCHAR* name, uint32_t type, const void* data, uint32_t size);
void KsRegClose(HANDLE key);
// Keys reached through the kernel routines resolved at start-up.
NTSTATUS KsOpenDeviceKey(DEVICE_OBJECT* pdo, HANDLE* key);
NTSTATUS KsOpenInterfaceKey(const UNICODE_STRING* link, HANDLE* key);

// ---- reference-counted interfaces ------------------------------------------------------

extern const GUID KsIidBase;  // {00000000-0000-0000-C000-000000000046}

class CKsInterface : public KsPoolObject {
 public:
  virtual NTSTATUS QueryInterface(const GUID& iid, void** out);
  virtual uint32_t AddRef();
  virtual uint32_t Release();  // destroys at zero

 protected:
  virtual ~CKsInterface() = default;

 private:
  std::atomic<int32_t> m_refs{1};
};

// Holds one reference; assigning references the new object before
// releasing the old one.
class CKsInterfacePtr {
 public:
  CKsInterfacePtr() = default;
  ~CKsInterfacePtr() { Set(nullptr); }
  CKsInterfacePtr(const CKsInterfacePtr&) = delete;
  CKsInterfacePtr& operator=(const CKsInterfacePtr&) = delete;
  void Set(CKsInterface* p);
  CKsInterface* Get() const { return m_p; }

 private:
  CKsInterface* m_p = nullptr;
};

// ---- threads and work items --------------------------------------------------------------

struct KsThread {
  void* Object;  // the referenced thread, null when none runs
  KEVENT Stop;   // signalled to ask the routine to end
  // Set by the stopping thread, read by the routine between its waits.
  std::atomic<bool> StopFlag{false};
};
NTSTATUS KsThreadStart(KsThread* t, PKSTART_ROUTINE routine, void* context);
// Signals the stop, waits for the routine to end and drops the thread.
void KsThreadStop(KsThread* t);

using KsWorkRoutine = NTSTATUS (*)(void* context);
// Runs routine on the delayed work queue and waits for its status.
NTSTATUS KsRunWorkItem(DEVICE_OBJECT* device, KsWorkRoutine routine, void* context);

// ---- kernel routines resolved at run time ------------------------------------------------------

using KsPoCallDriverRoutine = decltype(&PoCallDriver);
using KsPoSetPowerStateRoutine = decltype(&PoSetPowerState);
using KsPoRequestPowerIrpRoutine = decltype(&PoRequestPowerIrp);
using KsPoStartNextPowerIrpRoutine = decltype(&PoStartNextPowerIrp);
using KsIoGetDmaAdapterRoutine = decltype(&IoGetDmaAdapter);
using KsIoGetDevicePropertyRoutine = decltype(&IoGetDeviceProperty);
using KsIoGetDeviceInterfacesRoutine = decltype(&IoGetDeviceInterfaces);
using KsIoOpenDeviceRegistryKeyRoutine = decltype(&IoOpenDeviceRegistryKey);
using KsIoRegisterDeviceInterfaceRoutine = decltype(&IoRegisterDeviceInterface);
using KsIoSetDeviceInterfaceStateRoutine = decltype(&IoSetDeviceInterfaceState);
using KsIoInvalidateDeviceRelationsRoutine = decltype(&IoInvalidateDeviceRelations);
using KsIoGetAttachedDeviceReferenceRoutine = decltype(&IoGetAttachedDeviceReference);
using KsIoOpenDeviceInterfaceRegistryKeyRoutine = decltype(&IoOpenDeviceInterfaceRegistryKey);
struct KsRoutines {
  KsPoCallDriverRoutine PoCallDriver;
  KsPoSetPowerStateRoutine PoSetPowerState;
  KsPoRequestPowerIrpRoutine PoRequestPowerIrp;
  KsPoStartNextPowerIrpRoutine PoStartNextPowerIrp;
  KsIoGetDmaAdapterRoutine IoGetDmaAdapter;
  KsIoGetDevicePropertyRoutine IoGetDeviceProperty;
  KsIoGetDeviceInterfacesRoutine IoGetDeviceInterfaces;
  KsIoOpenDeviceRegistryKeyRoutine IoOpenDeviceRegistryKey;
  KsIoRegisterDeviceInterfaceRoutine IoRegisterDeviceInterface;
  KsIoSetDeviceInterfaceStateRoutine IoSetDeviceInterfaceState;
  KsIoInvalidateDeviceRelationsRoutine IoInvalidateDeviceRelations;
  KsIoGetAttachedDeviceReferenceRoutine IoGetAttachedDeviceReference;
  KsIoOpenDeviceInterfaceRegistryKeyRoutine IoOpenDeviceInterfaceRegistryKey;
};
constexpr int KsRoutineCount = 13;
static_assert(sizeof(KsRoutines) == KsRoutineCount * sizeof(void*));
// Filled by DriverEntry on Plug and Play kernels; all null on NT 4.
extern KsRoutines g_KsRoutines;

// ---- DMA ---------------------------------------------------------------------------

// A bus-master adapter for a PCI device (32-bit addresses, scatter-gather,
// up to `pages` pages of 4096 bytes): through IoGetDmaAdapter on Plug and
// Play kernels, through the HAL on NT 4; null when none is given.
DMA_ADAPTER* KsGetDmaAdapter(DEVICE_OBJECT* pdo, uint32_t pages);
void KsPutDmaAdapter(DMA_ADAPTER* adapter);
// A zero-filled common buffer and its bus address; null when none.
void* KsAllocateCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t* physical);
void KsFreeCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t physical, void* address);
// NT 4: the DMA operations record that the calls above go through in place
// of an adapter's own operations (the HAL's adapters bring none). Built on
// NT 4, cleared (size 0) on Plug and Play kernels.
extern DMA_OPERATIONS g_KsDmaOperations;
void KsBuildDmaOperations(bool nt4);
// Finds the routines in the kernel image's exports; STATUS_PROCEDURE_NOT_FOUND
// when the kernel module or any routine is missing (the table is then cleared).
NTSTATUS KsResolveRoutines();
