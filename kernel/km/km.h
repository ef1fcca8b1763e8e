// The simulated kernel: the kernel facilities the driver calls, under their
// kernel names, implemented in user mode over standard threads. The driver's
// code is written against these declarations exactly as it would be against
// the real kernel; only kernel/km/ knows that the machine is simulated.
//
// Simplifications that the driver never observes:
// - one dispatcher lock for every wait object;
// - IRQL is a per-thread number, spin locks are plain mutexes;
// - time is virtual: it moves only when a thread sleeps or a timed wait runs
//   out, so a time-out happens at once and always at the same virtual time.
#pragma once
#include "kernel/km/ntstatus.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

using WCHAR = char16_t;
using KIRQL = uint8_t;
using HANDLE = void*;
using ACCESS_MASK = uint32_t;

constexpr KIRQL PASSIVE_LEVEL = 0;
constexpr KIRQL APC_LEVEL = 1;
constexpr KIRQL DISPATCH_LEVEL = 2;

// ---- lists -------------------------------------------------------------

struct LIST_ENTRY {
  LIST_ENTRY* Flink;
  LIST_ENTRY* Blink;
};
void InitializeListHead(LIST_ENTRY* head);
bool IsListEmpty(const LIST_ENTRY* head);
void InsertTailList(LIST_ENTRY* head, LIST_ENTRY* entry);
void InsertHeadList(LIST_ENTRY* head, LIST_ENTRY* entry);
void RemoveEntryList(LIST_ENTRY* entry);
LIST_ENTRY* RemoveHeadList(LIST_ENTRY* head);

template <class T>
T* ContainingRecord(LIST_ENTRY* entry, size_t offset) {
  return reinterpret_cast<T*>(reinterpret_cast<char*>(entry) - offset);
}

// ---- strings -----------------------------------------------------------

struct UNICODE_STRING {
  uint16_t Length;         // bytes, without a terminating zero
  uint16_t MaximumLength;  // bytes
  WCHAR* Buffer;
};
void RtlInitUnicodeString(UNICODE_STRING* s, const WCHAR* text);

// ---- pool --------------------------------------------------------------

enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1 };
void* ExAllocatePoolWithTag(POOL_TYPE type, size_t bytes, uint32_t tag);
void ExFreePoolWithTag(void* block, uint32_t tag);
void ExFreePool(void* block);

// Raised (thrown) by kernel routines that raise an exception; caught by the
// driver's exception handlers.
struct KmException {
  NTSTATUS Code;
};
[[noreturn]] void ExRaiseStatus(NTSTATUS status);

// ---- IRQL, spin locks, interlocked --------------------------------------

struct KSPIN_LOCK {
  std::atomic<int32_t> Held{0};
};
KIRQL KeGetCurrentIrql();
void KeInitializeSpinLock(KSPIN_LOCK* lock);
void KeAcquireSpinLock(KSPIN_LOCK* lock, KIRQL* old);
void KeReleaseSpinLock(KSPIN_LOCK* lock, KIRQL old);
void KeRaiseIrql(KIRQL to, KIRQL* old);
void KeLowerIrql(KIRQL to);

int32_t InterlockedIncrement(std::atomic<int32_t>* v);
int32_t InterlockedDecrement(std::atomic<int32_t>* v);
int32_t InterlockedExchange(std::atomic<int32_t>* v, int32_t value);
int32_t InterlockedCompareExchange(std::atomic<int32_t>* v, int32_t exchange, int32_t comparand);
int32_t InterlockedExchangeAdd(std::atomic<int32_t>* v, int32_t add);

// ---- dispatcher objects ------------------------------------------------

enum KmObjectType : int32_t { KmEventNotification = 0, KmEventSynchronization = 1, KmMutant = 2, KmThread = 6 };

struct DISPATCHER_HEADER {
  int32_t Type;
  int32_t SignalState;
  uint64_t OwnerThread;  // mutexes: the owning thread's number, 0 when free
};

enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
struct KEVENT {
  DISPATCHER_HEADER Header;
};
struct KMUTEX {
  DISPATCHER_HEADER Header;
};
enum KWAIT_REASON { Executive = 0 };
enum KPROCESSOR_MODE : int8_t { KernelMode = 0, UserMode = 1 };
constexpr int32_t IO_NO_INCREMENT = 0;
constexpr int32_t IO_SOUND_INCREMENT = 8;

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool state);
int32_t KeSetEvent(KEVENT* event, int32_t increment, bool wait);
void KeClearEvent(KEVENT* event);
int32_t KeResetEvent(KEVENT* event);
int32_t KeReadStateEvent(KEVENT* event);
void KeInitializeMutex(KMUTEX* mutex, uint32_t level);
int32_t KeReleaseMutex(KMUTEX* mutex, bool wait);
// timeout: null waits for ever; a negative value is relative, in 100 ns.
NTSTATUS KeWaitForSingleObject(void* object, KWAIT_REASON reason, KPROCESSOR_MODE mode, bool alertable,
                               const int64_t* timeout);
NTSTATUS KeDelayExecutionThread(KPROCESSOR_MODE mode, bool alertable, const int64_t* interval);
// A busy wait: the virtual clock moves on by the time asked.
void KeStallExecutionProcessor(uint32_t microseconds);

// ---- clock -------------------------------------------------------------

int64_t KeQueryPerformanceCounter(int64_t* frequency);
void KeQuerySystemTime(int64_t* time);

// ---- DPCs --------------------------------------------------------------

struct KDPC;
using PKDEFERRED_ROUTINE = void (*)(KDPC* dpc, void* context, void* arg1, void* arg2);
struct KDPC {
  PKDEFERRED_ROUTINE DeferredRoutine;
  void* DeferredContext;
  void* SystemArgument1;
  void* SystemArgument2;
  bool Inserted;
  LIST_ENTRY DpcListEntry;
};
void KeInitializeDpc(KDPC* dpc, PKDEFERRED_ROUTINE routine, void* context);
bool KeInsertQueueDpc(KDPC* dpc, void* arg1, void* arg2);
bool KeRemoveQueueDpc(KDPC* dpc);
// Returns once the DPCs queued before the call and the one running then
// have run (at once on the DPC thread itself).
void KeFlushQueuedDpcs();

// ---- interrupts --------------------------------------------------------

struct KINTERRUPT;
using PKSERVICE_ROUTINE = bool (*)(KINTERRUPT* interrupt, void* context);
using PKSYNCHRONIZE_ROUTINE = bool (*)(void* context);
enum KINTERRUPT_MODE { LevelSensitive = 0, Latched = 1 };
struct KINTERRUPT {
  PKSERVICE_ROUTINE ServiceRoutine;
  void* ServiceContext;
  uint32_t Vector;
  KIRQL Irql;
  KINTERRUPT_MODE Mode;
  bool ShareVector;
  KSPIN_LOCK Lock;
};
NTSTATUS IoConnectInterrupt(KINTERRUPT** out, PKSERVICE_ROUTINE routine, void* context, KSPIN_LOCK* spinLock,
                            uint32_t vector, KIRQL irql, KIRQL syncIrql, KINTERRUPT_MODE mode, bool shareVector,
                            uint64_t affinity, bool floatingSave);
void IoDisconnectInterrupt(KINTERRUPT* interrupt);
bool KeSynchronizeExecution(KINTERRUPT* interrupt, PKSYNCHRONIZE_ROUTINE routine, void* context);
KIRQL KeAcquireInterruptSpinLock(KINTERRUPT* interrupt);
void KeReleaseInterruptSpinLock(KINTERRUPT* interrupt, KIRQL old);

// ---- resources and the HAL ---------------------------------------------

enum INTERFACE_TYPE : int32_t { Internal = 0, Isa = 1, PCIBus = 5 };
enum : uint8_t { CmResourceTypeNull = 0, CmResourceTypePort = 1, CmResourceTypeInterrupt = 2, CmResourceTypeMemory = 3 };
enum : uint8_t { CmResourceShareDeviceExclusive = 1, CmResourceShareDriverExclusive = 2, CmResourceShareShared = 3 };
constexpr uint16_t CM_RESOURCE_INTERRUPT_LATCHED = 1;
constexpr uint16_t CM_RESOURCE_PORT_IO = 1;
constexpr uint16_t CM_RESOURCE_MEMORY_READ_WRITE = 0;

struct CM_PARTIAL_RESOURCE_DESCRIPTOR {
  uint8_t Type;
  uint8_t ShareDisposition;
  uint16_t Flags;
  uint64_t Start;   // port or memory: bus address
  uint32_t Length;  // port or memory: bytes
  uint32_t Level;   // interrupt
  uint32_t Vector;  // interrupt
  uint64_t Affinity;
};
// One bus's resources of one device: a fixed number of descriptors keeps the
// record a plain value.
constexpr uint32_t KmMaxDescriptors = 8;
struct CM_RESOURCE_LIST {
  INTERFACE_TYPE InterfaceType;
  uint32_t BusNumber;
  uint32_t Count;
  CM_PARTIAL_RESOURCE_DESCRIPTOR Descriptors[KmMaxDescriptors];
};

uint32_t HalGetBusDataByOffset(int32_t busDataType, uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                               uint32_t length);
uint32_t HalSetBusDataByOffset(int32_t busDataType, uint32_t bus, uint32_t slot, const void* buffer,
                               uint32_t offset, uint32_t length);
constexpr int32_t PCIConfiguration = 4;
uint32_t HalGetInterruptVector(INTERFACE_TYPE type, uint32_t bus, uint32_t level, uint32_t vector, KIRQL* irql,
                               uint64_t* affinity);
// addressSpace: in 1 for I/O space, 0 for memory; out the space translated to.
bool HalTranslateBusAddress(INTERFACE_TYPE type, uint32_t bus, uint64_t busAddress, uint32_t* addressSpace,
                            uint64_t* translated);
void* MmMapIoSpace(uint64_t physical, size_t bytes, int32_t cacheType);
void MmUnmapIoSpace(void* base, size_t bytes);
constexpr int32_t MmNonCached = 0;

// Port and register accesses. A port is its number carried as an address;
// a register is an address of a range mapped with MmMapIoSpace.
uint8_t READ_PORT_UCHAR(uint8_t* port);
uint16_t READ_PORT_USHORT(uint16_t* port);
void WRITE_PORT_UCHAR(uint8_t* port, uint8_t value);
void WRITE_PORT_USHORT(uint16_t* port, uint16_t value);
void READ_PORT_BUFFER_USHORT(uint16_t* port, uint16_t* buffer, uint32_t count);
uint8_t READ_REGISTER_UCHAR(volatile uint8_t* reg);
uint16_t READ_REGISTER_USHORT(volatile uint16_t* reg);
uint32_t READ_REGISTER_ULONG(volatile uint32_t* reg);
void WRITE_REGISTER_UCHAR(volatile uint8_t* reg, uint8_t value);
void WRITE_REGISTER_USHORT(volatile uint16_t* reg, uint16_t value);
void WRITE_REGISTER_ULONG(volatile uint32_t* reg, uint32_t value);

// ---- I/O objects -------------------------------------------------------

struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct FILE_OBJECT;
struct IRP;
struct KmDeviceNode;  // the simulated Plug and Play node behind a PDO

constexpr uint32_t DO_BUFFERED_IO = 0x4;
constexpr uint32_t DO_DIRECT_IO = 0x10;
constexpr uint32_t DO_DEVICE_INITIALIZING = 0x80;
constexpr uint32_t DO_POWER_PAGABLE = 0x2000;

struct DEVICE_OBJECT {
  DRIVER_OBJECT* DriverObject;
  DEVICE_OBJECT* NextDevice;      // the driver's list
  DEVICE_OBJECT* AttachedDevice;  // the device above on the stack
  uint32_t Flags;
  uint32_t Characteristics;
  void* DeviceExtension;
  uint32_t DeviceType;
  int8_t StackSize;
  // kernel bookkeeping
  std::atomic<int32_t> ReferenceCount;  // open files and object references
  bool DeletePending;
  DEVICE_OBJECT* AttachedTo;  // the device below on the stack
  std::u16string Name;        // full object name, empty when unnamed
  KmDeviceNode* Node;         // set on a physical device object
};

using DRIVER_DISPATCH = NTSTATUS (*)(DEVICE_OBJECT* device, IRP* irp);
using DRIVER_ADD_DEVICE = NTSTATUS (*)(DRIVER_OBJECT* driver, DEVICE_OBJECT* pdo);
using DRIVER_UNLOAD = void (*)(DRIVER_OBJECT* driver);

constexpr int IRP_MJ_CREATE = 0x00;
constexpr int IRP_MJ_CLOSE = 0x02;
constexpr int IRP_MJ_READ = 0x03;
constexpr int IRP_MJ_WRITE = 0x04;
constexpr int IRP_MJ_QUERY_INFORMATION = 0x05;
constexpr int IRP_MJ_SET_INFORMATION = 0x06;
constexpr int IRP_MJ_FLUSH_BUFFERS = 0x09;
constexpr int IRP_MJ_DEVICE_CONTROL = 0x0e;
constexpr int IRP_MJ_INTERNAL_DEVICE_CONTROL = 0x0f;
constexpr int IRP_MJ_CLEANUP = 0x12;
constexpr int IRP_MJ_POWER = 0x16;
constexpr int IRP_MJ_SYSTEM_CONTROL = 0x17;
constexpr int IRP_MJ_PNP = 0x1b;
constexpr int IRP_MJ_MAXIMUM_FUNCTION = 0x1b;

struct DRIVER_EXTENSION {
  DRIVER_ADD_DEVICE AddDevice;
};
struct DRIVER_OBJECT {
  DEVICE_OBJECT* DeviceObject;  // head of the driver's device list
  DRIVER_EXTENSION* DriverExtension;
  DRIVER_UNLOAD DriverUnload;
  DRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1];
  DRIVER_EXTENSION Extension;
};

struct FILE_OBJECT {
  DEVICE_OBJECT* DeviceObject;
  void* FsContext;
  void* FsContext2;
  UNICODE_STRING FileName;  // the part of the opened name below the device
  bool ReadAccess, WriteAccess, DeleteAccess;
  bool SharedRead, SharedWrite, SharedDelete;
  // kernel bookkeeping
  std::atomic<int32_t> ReferenceCount;
  std::u16string NameStorage;
  ACCESS_MASK GrantedAccess;  // what the open asked for and got, generic rights mapped
};

// ---- I/O requests ------------------------------------------------------

struct IO_STATUS_BLOCK {
  NTSTATUS Status;
  uintptr_t Information;
};

struct MDL {
  void* UserAddress;
  uint32_t ByteCount;
  bool Locked;
  void* MappedSystemVa;  // set once locked: the system's view of the pages
};
MDL* IoAllocateMdl(void* address, uint32_t length, bool secondary, bool chargeQuota, IRP* irp);
void IoFreeMdl(MDL* mdl);
enum LOCK_OPERATION { IoReadAccess = 0, IoWriteAccess = 1, IoModifyAccess = 2 };
void MmProbeAndLockPages(MDL* mdl, KPROCESSOR_MODE mode, LOCK_OPERATION op);  // raises on a bad buffer
void MmUnlockPages(MDL* mdl);
void* MmGetSystemAddressForMdlSafe(MDL* mdl, int32_t priority);
constexpr int32_t NormalPagePriority = 16;

enum DEVICE_RELATION_TYPE { BusRelations = 0, EjectionRelations = 1, PowerRelations = 2, RemovalRelations = 3,
                            TargetDeviceRelation = 4 };
struct DEVICE_RELATIONS {
  uint32_t Count;
  DEVICE_OBJECT* Objects[1];  // Count entries, allocated behind the header
};
size_t DeviceRelationsSize(uint32_t count);
DEVICE_OBJECT** DeviceRelationsObjects(DEVICE_RELATIONS* r);

enum BUS_QUERY_ID_TYPE { BusQueryDeviceID = 0, BusQueryHardwareIDs = 1, BusQueryCompatibleIDs = 2,
                         BusQueryInstanceID = 3, BusQueryDeviceSerialNumber = 4 };
enum DEVICE_TEXT_TYPE { DeviceTextDescription = 0, DeviceTextLocationInformation = 1 };
enum SYSTEM_POWER_STATE { PowerSystemWorking = 1, PowerSystemSleeping3 = 4, PowerSystemHibernate = 5 };
enum DEVICE_POWER_STATE { PowerDeviceUnspecified = 0, PowerDeviceD0 = 1, PowerDeviceD3 = 4 };
enum POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 };
union POWER_STATE {
  SYSTEM_POWER_STATE SystemState;
  DEVICE_POWER_STATE DeviceState;
};

struct DEVICE_CAPABILITIES {
  uint16_t Size;
  uint16_t Version;
  uint32_t Flags;  // the bits below
  uint32_t Address;
  uint32_t UINumber;
  uint32_t DeviceState[7];
  uint32_t SystemWake;
  uint32_t DeviceWake;
  uint32_t D1Latency, D2Latency, D3Latency;
};
static_assert(sizeof(DEVICE_CAPABILITIES) == 64);
constexpr uint32_t CAP_Removable = 1u << 4;
constexpr uint32_t CAP_UniqueID = 1u << 6;
constexpr uint32_t CAP_SilentInstall = 1u << 7;
constexpr uint32_t CAP_SurpriseRemovalOK = 1u << 9;

struct GUID {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
};
bool IsEqualGUID(const GUID& a, const GUID& b);

struct INTERFACE {
  uint16_t Size;
  uint16_t Version;
  void* Context;
  void (*InterfaceReference)(void* context);
  void (*InterfaceDereference)(void* context);
};

enum FILE_INFORMATION_CLASS { FileBasicInformation = 4, FileStandardInformation = 5, FilePositionInformation = 14,
                              FileAllocationInformation = 19, FileEndOfFileInformation = 20 };
struct FILE_STANDARD_INFORMATION {
  int64_t AllocationSize;
  int64_t EndOfFile;
  uint32_t NumberOfLinks;
  uint8_t DeletePending;
  uint8_t Directory;
  uint8_t Pad[2];
};
static_assert(sizeof(FILE_STANDARD_INFORMATION) == 24);
struct FILE_POSITION_INFORMATION {
  int64_t CurrentByteOffset;
};

constexpr uint8_t IRP_MN_START_DEVICE = 0x00;
constexpr uint8_t IRP_MN_QUERY_REMOVE_DEVICE = 0x01;
constexpr uint8_t IRP_MN_REMOVE_DEVICE = 0x02;
constexpr uint8_t IRP_MN_CANCEL_REMOVE_DEVICE = 0x03;
constexpr uint8_t IRP_MN_STOP_DEVICE = 0x04;
constexpr uint8_t IRP_MN_QUERY_STOP_DEVICE = 0x05;
constexpr uint8_t IRP_MN_CANCEL_STOP_DEVICE = 0x06;
constexpr uint8_t IRP_MN_QUERY_DEVICE_RELATIONS = 0x07;
constexpr uint8_t IRP_MN_QUERY_INTERFACE = 0x08;
constexpr uint8_t IRP_MN_QUERY_CAPABILITIES = 0x09;
constexpr uint8_t IRP_MN_QUERY_RESOURCES = 0x0A;
constexpr uint8_t IRP_MN_QUERY_RESOURCE_REQUIREMENTS = 0x0B;
constexpr uint8_t IRP_MN_QUERY_DEVICE_TEXT = 0x0C;
constexpr uint8_t IRP_MN_FILTER_RESOURCE_REQUIREMENTS = 0x0D;
constexpr uint8_t IRP_MN_READ_CONFIG = 0x0F;
constexpr uint8_t IRP_MN_WRITE_CONFIG = 0x10;
constexpr uint8_t IRP_MN_EJECT = 0x11;
constexpr uint8_t IRP_MN_SET_LOCK = 0x12;
constexpr uint8_t IRP_MN_QUERY_ID = 0x13;
constexpr uint8_t IRP_MN_QUERY_PNP_DEVICE_STATE = 0x14;
constexpr uint8_t IRP_MN_QUERY_BUS_INFORMATION = 0x15;
constexpr uint8_t IRP_MN_SURPRISE_REMOVAL = 0x17;
constexpr uint8_t IRP_MN_QUERY_LEGACY_BUS_INFORMATION = 0x18;
constexpr uint8_t IRP_MN_SET_POWER = 0x02;
constexpr uint8_t IRP_MN_QUERY_POWER = 0x03;

using IO_COMPLETION_ROUTINE = NTSTATUS (*)(DEVICE_OBJECT* device, IRP* irp, void* context);
constexpr uint8_t SL_PENDING_RETURNED = 0x01;
constexpr uint8_t SL_INVOKE_ON_CANCEL = 0x20;
constexpr uint8_t SL_INVOKE_ON_SUCCESS = 0x40;
constexpr uint8_t SL_INVOKE_ON_ERROR = 0x80;

struct IO_STACK_LOCATION {
  uint8_t MajorFunction;
  uint8_t MinorFunction;
  uint8_t Flags;
  uint8_t Control;
  struct {
    struct {
      ACCESS_MASK DesiredAccess;
      uint32_t Options;
      uint16_t ShareAccess;
    } Create;
    struct {
      uint32_t OutputBufferLength;
      uint32_t InputBufferLength;
      uint32_t IoControlCode;
      void* Type3InputBuffer;
    } DeviceIoControl;
    struct {
      uint32_t Length;
      int64_t ByteOffset;
    } Read, Write;
    struct {
      uint32_t Length;
      FILE_INFORMATION_CLASS FileInformationClass;
    } QueryFile, SetFile;
    struct {
      DEVICE_RELATION_TYPE Type;
    } QueryDeviceRelations;
    struct {
      const GUID* InterfaceType;
      uint16_t Size;
      uint16_t Version;
      INTERFACE* Interface;
      void* InterfaceSpecificData;
    } QueryInterface;
    struct {
      DEVICE_CAPABILITIES* Capabilities;
    } DeviceCapabilities;
    struct {
      BUS_QUERY_ID_TYPE IdType;
    } QueryId;
    struct {
      DEVICE_TEXT_TYPE DeviceTextType;
      uint32_t LocaleId;
    } QueryDeviceText;
    struct {
      CM_RESOURCE_LIST* AllocatedResources;
      CM_RESOURCE_LIST* AllocatedResourcesTranslated;
    } StartDevice;
    struct {
      POWER_STATE_TYPE Type;
      POWER_STATE State;
    } Power;
  } Parameters;
  DEVICE_OBJECT* DeviceObject;
  FILE_OBJECT* FileObject;
  IO_COMPLETION_ROUTINE CompletionRoutine;
  void* Context;
};

using DRIVER_CANCEL = void (*)(DEVICE_OBJECT* device, IRP* irp);

struct IRP {
  MDL* MdlAddress;
  uint32_t Flags;
  struct {
    void* SystemBuffer;
  } AssociatedIrp;
  IO_STATUS_BLOCK IoStatus;
  KPROCESSOR_MODE RequestorMode;
  bool PendingReturned;
  int8_t StackCount;
  int8_t CurrentLocation;
  std::atomic<bool> Cancel;
  KIRQL CancelIrql;
  std::atomic<DRIVER_CANCEL> CancelRoutine;
  void* UserBuffer;
  IO_STATUS_BLOCK* UserIosb;
  KEVENT* UserEvent;
  struct {
    struct {
      LIST_ENTRY ListEntry;
      void* DriverContext[4];
      IO_STACK_LOCATION* CurrentStackLocation;
      FILE_OBJECT* OriginalFileObject;
    } Overlay;
  } Tail;
  // kernel bookkeeping
  IO_STACK_LOCATION* Stack;  // StackCount locations
  int32_t Origin;            // who frees it and how its output goes back
  uint32_t UserOutputLength;
  void* KmRequest;           // the user-mode request this IRP carries
};

IRP* IoAllocateIrp(int8_t stackSize, bool chargeQuota);
void IoFreeIrp(IRP* irp);
IRP* IoBuildDeviceIoControlRequest(uint32_t code, DEVICE_OBJECT* device, void* in, uint32_t inLen, void* out,
                                   uint32_t outLen, bool internal, KEVENT* event, IO_STATUS_BLOCK* iosb);
IO_STACK_LOCATION* IoGetCurrentIrpStackLocation(IRP* irp);
IO_STACK_LOCATION* IoGetNextIrpStackLocation(IRP* irp);
void IoSkipCurrentIrpStackLocation(IRP* irp);
void IoCopyCurrentIrpStackLocationToNext(IRP* irp);
void IoSetCompletionRoutine(IRP* irp, IO_COMPLETION_ROUTINE routine, void* context, bool onSuccess,
                            bool onError, bool onCancel);
void IoMarkIrpPending(IRP* irp);
NTSTATUS IoCallDriver(DEVICE_OBJECT* device, IRP* irp);
void IoCompleteRequest(IRP* irp, int32_t priorityBoost);
DRIVER_CANCEL IoSetCancelRoutine(IRP* irp, DRIVER_CANCEL routine);
bool IoCancelIrp(IRP* irp);
void IoAcquireCancelSpinLock(KIRQL* irql);
void IoReleaseCancelSpinLock(KIRQL irql);

// ---- device objects and names ------------------------------------------

NTSTATUS IoCreateDevice(DRIVER_OBJECT* driver, uint32_t extensionSize, const UNICODE_STRING* name,
                        uint32_t deviceType, uint32_t characteristics, bool exclusive, DEVICE_OBJECT** out);
void IoDeleteDevice(DEVICE_OBJECT* device);
NTSTATUS IoCreateSymbolicLink(const UNICODE_STRING* link, const UNICODE_STRING* target);
NTSTATUS IoDeleteSymbolicLink(const UNICODE_STRING* link);
DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target);
void IoDetachDevice(DEVICE_OBJECT* target);
DEVICE_OBJECT* IoGetAttachedDeviceReference(DEVICE_OBJECT* device);
NTSTATUS IoGetDeviceObjectPointer(const UNICODE_STRING* name, ACCESS_MASK access, FILE_OBJECT** file,
                                  DEVICE_OBJECT** device);
void ObReferenceObject(void* object);   // a DEVICE_OBJECT, FILE_OBJECT or thread
void ObDereferenceObject(void* object);

struct SHARE_ACCESS {
  uint32_t OpenCount, Readers, Writers, Deleters, SharedRead, SharedWrite, SharedDelete;
};
NTSTATUS IoCheckShareAccess(ACCESS_MASK desired, uint32_t shareAccess, FILE_OBJECT* file, SHARE_ACCESS* share,
                            bool update);
void IoRemoveShareAccess(FILE_OBJECT* file, SHARE_ACCESS* share);

constexpr ACCESS_MASK FILE_READ_DATA = 0x0001;
constexpr ACCESS_MASK FILE_WRITE_DATA = 0x0002;
constexpr ACCESS_MASK FILE_APPEND_DATA = 0x0004;
constexpr ACCESS_MASK DELETE = 0x00010000;
constexpr ACCESS_MASK GENERIC_READ = 0x80000000;
constexpr ACCESS_MASK GENERIC_WRITE = 0x40000000;
constexpr ACCESS_MASK GENERIC_ALL = 0x10000000;
constexpr ACCESS_MASK KEY_READ = 0x20019;
constexpr ACCESS_MASK KEY_ALL_ACCESS = 0xF003F;
constexpr uint32_t FILE_SHARE_READ = 1;
constexpr uint32_t FILE_SHARE_WRITE = 2;
constexpr uint32_t FILE_SHARE_DELETE = 4;

// I/O-control codes: device type, function, method, access.
constexpr uint32_t METHOD_BUFFERED = 0;
constexpr uint32_t METHOD_IN_DIRECT = 1;
constexpr uint32_t METHOD_OUT_DIRECT = 2;
constexpr uint32_t METHOD_NEITHER = 3;
constexpr uint32_t IoctlMethod(uint32_t code) { return code & 3; }
// The access a code requires of the handle (bits 14-15).
constexpr uint32_t FILE_ANY_ACCESS = 0;
constexpr uint32_t FILE_READ_ACCESS = 1;
constexpr uint32_t FILE_WRITE_ACCESS = 2;
constexpr uint32_t IoctlAccess(uint32_t code) { return (code >> 14) & 3; }

// ---- the system parallel-port driver's interface ---------------------------

// Internal requests to \Device\ParallelPort<n>: the port's information
// (the port stays lent to the caller until it releases the information).
constexpr uint32_t IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO = 0x160030;
constexpr uint32_t IOCTL_INTERNAL_RELEASE_PARALLEL_PORT_INFO = 0x16003C;

using PPARALLEL_TRY_ALLOCATE_ROUTINE = bool (*)(void* context);
using PPARALLEL_FREE_ROUTINE = void (*)(void* context);
using PPARALLEL_QUERY_WAITERS_ROUTINE = uint32_t (*)(void* context);

struct PARALLEL_PORT_INFORMATION {
  uint64_t OriginalController;  // bus address of the port
  uint8_t* Controller;          // its registers as the driver reaches them
  uint32_t SpanOfController;    // bytes
  PPARALLEL_TRY_ALLOCATE_ROUTINE TryAllocatePort;
  PPARALLEL_FREE_ROUTINE FreePort;
  PPARALLEL_QUERY_WAITERS_ROUTINE QueryNumWaiters;
  void* Context;
};
static_assert(sizeof(void*) != 4 || sizeof(PARALLEL_PORT_INFORMATION) == 32);

// ---- Plug and Play and power --------------------------------------------

enum DEVICE_REGISTRY_PROPERTY { DevicePropertyDeviceDescription = 0, DevicePropertyHardwareID = 1,
                                DevicePropertyAddress = 0x10 };
NTSTATUS IoGetDeviceProperty(DEVICE_OBJECT* pdo, DEVICE_REGISTRY_PROPERTY property, uint32_t length, void* buffer,
                             uint32_t* resultLength);
constexpr uint32_t PLUGPLAY_REGKEY_DEVICE = 1;
constexpr uint32_t PLUGPLAY_REGKEY_DRIVER = 2;
NTSTATUS IoOpenDeviceRegistryKey(DEVICE_OBJECT* pdo, uint32_t which, ACCESS_MASK access, HANDLE* key);
NTSTATUS IoRegisterDeviceInterface(DEVICE_OBJECT* pdo, const GUID* cls, const UNICODE_STRING* reference,
                                   UNICODE_STRING* symbolicLink);
NTSTATUS IoSetDeviceInterfaceState(const UNICODE_STRING* symbolicLink, bool enable);
NTSTATUS IoGetDeviceInterfaces(const GUID* cls, DEVICE_OBJECT* pdo, uint32_t flags, WCHAR** list);
NTSTATUS IoOpenDeviceInterfaceRegistryKey(const UNICODE_STRING* symbolicLink, ACCESS_MASK access, HANDLE* key);
void IoInvalidateDeviceRelations(DEVICE_OBJECT* pdo, DEVICE_RELATION_TYPE type);
NTSTATUS PoCallDriver(DEVICE_OBJECT* device, IRP* irp);
POWER_STATE PoSetPowerState(DEVICE_OBJECT* device, POWER_STATE_TYPE type, POWER_STATE state);
using REQUEST_POWER_COMPLETE = void (*)(DEVICE_OBJECT*, uint8_t, POWER_STATE, void*, IO_STATUS_BLOCK*);
NTSTATUS PoRequestPowerIrp(DEVICE_OBJECT* pdo, uint8_t minor, POWER_STATE state, REQUEST_POWER_COMPLETE done,
                           void* context, IRP** irp);
void PoStartNextPowerIrp(IRP* irp);
// DMA: an adapter for a bus-master device and its common buffers.
struct DEVICE_DESCRIPTION {
  uint32_t Version;
  bool Master;
  bool ScatterGather;
  bool Dma32BitAddresses;
  INTERFACE_TYPE InterfaceType;
  uint32_t MaximumLength;
};
struct DMA_ADAPTER;
enum IO_ALLOCATION_ACTION { KeepObject = 1, DeallocateObject = 2, DeallocateObjectKeepRegisters = 3 };
using DRIVER_CONTROL = IO_ALLOCATION_ACTION (*)(DEVICE_OBJECT* device, IRP* irp, void* mapRegisterBase,
                                                void* context);
// The adapter's operations, thirteen entries in the platform's order.
struct DMA_OPERATIONS {
  uint32_t Size;
  void (*PutDmaAdapter)(DMA_ADAPTER* adapter);
  void* (*AllocateCommonBuffer)(DMA_ADAPTER* adapter, uint32_t length, uint64_t* physical, bool cacheEnabled);
  void (*FreeCommonBuffer)(DMA_ADAPTER* adapter, uint32_t length, uint64_t physical, void* address,
                           bool cacheEnabled);
  NTSTATUS (*AllocateAdapterChannel)(DMA_ADAPTER* adapter, DEVICE_OBJECT* device, uint32_t mapRegisters,
                                     DRIVER_CONTROL routine, void* context);
  bool (*FlushAdapterBuffers)(DMA_ADAPTER* adapter, MDL* mdl, void* mapRegisterBase, void* virtualAddress,
                              uint32_t length, bool writeToDevice);
  void (*FreeAdapterChannel)(DMA_ADAPTER* adapter);
  void (*FreeMapRegisters)(DMA_ADAPTER* adapter, void* mapRegisterBase, uint32_t count);
  uint64_t (*MapTransfer)(DMA_ADAPTER* adapter, MDL* mdl, void* mapRegisterBase, void* virtualAddress,
                          uint32_t* length, bool writeToDevice);
  uint32_t (*GetDmaAlignment)(DMA_ADAPTER* adapter);
  uint32_t (*ReadDmaCounter)(DMA_ADAPTER* adapter);
  void* GetScatterGatherList;
  void* PutScatterGatherList;
};
static_assert(sizeof(void*) != 4 || sizeof(DMA_OPERATIONS) == 52, "thirteen entries of 4 bytes");
struct DMA_ADAPTER {
  uint16_t Version;
  uint16_t Size;
  DMA_OPERATIONS* DmaOperations;
};
DMA_ADAPTER* IoGetDmaAdapter(DEVICE_OBJECT* pdo, DEVICE_DESCRIPTION* description, uint32_t* mapRegisters);
// The NT 4 way: an adapter from the HAL and its common-buffer routines.
DMA_ADAPTER* HalGetAdapter(DEVICE_DESCRIPTION* description, uint32_t* mapRegisters);
void* HalAllocateCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t* physical, bool cacheEnabled);
void HalFreeCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t physical, void* address,
                         bool cacheEnabled);
// The adapter-channel routines of NT 4. The simulated HAL keeps an adapter
// only as long as its channel: freeing the channel releases it.
NTSTATUS IoAllocateAdapterChannel(DMA_ADAPTER* adapter, DEVICE_OBJECT* device, uint32_t mapRegisters,
                                  DRIVER_CONTROL routine, void* context);
bool IoFlushAdapterBuffers(DMA_ADAPTER* adapter, MDL* mdl, void* mapRegisterBase, void* virtualAddress,
                           uint32_t length, bool writeToDevice);
void IoFreeAdapterChannel(DMA_ADAPTER* adapter);
void IoFreeMapRegisters(DMA_ADAPTER* adapter, void* mapRegisterBase, uint32_t count);
uint64_t IoMapTransfer(DMA_ADAPTER* adapter, MDL* mdl, void* mapRegisterBase, void* virtualAddress,
                       uint32_t* length, bool writeToDevice);

// ---- legacy resources ---------------------------------------------------

NTSTATUS IoReportResourceUsage(const UNICODE_STRING* className, DRIVER_OBJECT* driver,
                               const CM_RESOURCE_LIST* driverList, uint32_t driverListSize,
                               DEVICE_OBJECT* device, const CM_RESOURCE_LIST* deviceList,
                               uint32_t deviceListSize, bool overrideConflict, bool* conflictDetected);

// ---- registry ------------------------------------------------------------

struct OBJECT_ATTRIBUTES {
  HANDLE RootDirectory;
  const UNICODE_STRING* ObjectName;
  uint32_t Attributes;
};
constexpr uint32_t OBJ_CASE_INSENSITIVE = 0x40;
constexpr uint32_t OBJ_KERNEL_HANDLE = 0x200;
void InitializeObjectAttributes(OBJECT_ATTRIBUTES* a, const UNICODE_STRING* name, uint32_t attributes,
                                HANDLE root, void* security);

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;
constexpr uint32_t REG_OPTION_NON_VOLATILE = 0;

enum KEY_INFORMATION_CLASS { KeyBasicInformation = 0 };
struct KEY_BASIC_INFORMATION {
  int64_t LastWriteTime;
  uint32_t TitleIndex;
  uint32_t NameLength;  // bytes
  WCHAR Name[1];        // NameLength bytes follow the fixed part
};
constexpr size_t KeyBasicInformationHeader = offsetof(KEY_BASIC_INFORMATION, Name);
enum KEY_VALUE_INFORMATION_CLASS { KeyValuePartialInformation = 2 };
struct KEY_VALUE_PARTIAL_INFORMATION {
  uint32_t TitleIndex;
  uint32_t Type;
  uint32_t DataLength;
  uint8_t Data[1];  // DataLength bytes follow the fixed part
};
constexpr size_t KeyValuePartialHeader = offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data);

NTSTATUS ZwOpenKey(HANDLE* key, ACCESS_MASK access, const OBJECT_ATTRIBUTES* attributes);
NTSTATUS ZwCreateKey(HANDLE* key, ACCESS_MASK access, const OBJECT_ATTRIBUTES* attributes, uint32_t titleIndex,
                     const UNICODE_STRING* cls, uint32_t options, uint32_t* disposition);
NTSTATUS ZwQueryValueKey(HANDLE key, const UNICODE_STRING* name, KEY_VALUE_INFORMATION_CLASS cls, void* info,
                         uint32_t length, uint32_t* resultLength);
NTSTATUS ZwSetValueKey(HANDLE key, const UNICODE_STRING* name, uint32_t titleIndex, uint32_t type,
                       const void* data, uint32_t size);
NTSTATUS ZwEnumerateKey(HANDLE key, uint32_t index, KEY_INFORMATION_CLASS cls, void* info, uint32_t length,
                        uint32_t* resultLength);
NTSTATUS ZwClose(HANDLE handle);

// ---- sections and views ---------------------------------------------------

// The one section here is \Device\PhysicalMemory: a view of it maps a range
// of physical addresses into the calling process.
constexpr ACCESS_MASK SECTION_MAP_WRITE = 0x0002;
constexpr ACCESS_MASK SECTION_MAP_READ = 0x0004;
constexpr uint32_t PAGE_READWRITE = 0x04;
constexpr uint32_t PAGE_NOCACHE = 0x200;
enum SECTION_INHERIT { ViewShare = 1, ViewUnmap = 2 };
inline HANDLE ZwCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
NTSTATUS ZwOpenSection(HANDLE* section, ACCESS_MASK access, const OBJECT_ATTRIBUTES* attributes);
// *base in: 0 (any address); out: the view's address in the process. The
// offset is rounded down to its page and *viewSize up to whole pages.
NTSTATUS ZwMapViewOfSection(HANDLE section, HANDLE process, void** base, uintptr_t zeroBits, size_t commitSize,
                            int64_t* sectionOffset, size_t* viewSize, SECTION_INHERIT inherit,
                            uint32_t allocationType, uint32_t protect);
NTSTATUS ZwUnmapViewOfSection(HANDLE process, void* base);

// ---- event log -----------------------------------------------------------

constexpr uint32_t ERROR_LOG_MAXIMUM_SIZE = 240;
struct IO_ERROR_LOG_PACKET {
  uint8_t MajorFunctionCode;
  uint8_t RetryCount;
  uint16_t DumpDataSize;     // bytes of DumpData
  uint16_t NumberOfStrings;
  uint16_t StringOffset;     // from the packet's start
  uint16_t EventCategory;
  uint16_t Reserved;
  uint32_t ErrorCode;
  uint32_t UniqueErrorValue;
  NTSTATUS FinalStatus;
  uint32_t SequenceNumber;
  uint32_t IoControlCode;
  int64_t DeviceOffset;
  uint32_t DumpData[1];
};
constexpr size_t ErrorLogPacketHeader = offsetof(IO_ERROR_LOG_PACKET, DumpData);
// object: a DEVICE_OBJECT or DRIVER_OBJECT; size includes the packet header.
void* IoAllocateErrorLogEntry(void* object, uint8_t size);
void IoWriteErrorLogEntry(void* entry);

// ---- system information ----------------------------------------------------

struct RTL_OSVERSION {
  uint32_t Major, Minor, Build;
};
bool PsGetVersion(uint32_t* major, uint32_t* minor, uint32_t* build, UNICODE_STRING* csd);
constexpr uint32_t SystemModuleInformation = 11;
// One loaded module, as the module list reports it (284 bytes). Addresses are
// 32-bit kernel addresses of the simulated machine; KmKernelAddress gives the
// host's view of one.
struct RTL_PROCESS_MODULE_INFORMATION {
  uint32_t Section;
  uint32_t MappedBase;
  uint32_t ImageBase;
  uint32_t ImageSize;
  uint32_t Flags;
  uint16_t LoadOrderIndex;
  uint16_t InitOrderIndex;
  uint16_t LoadCount;
  uint16_t OffsetToFileName;
  char FullPathName[256];
};
static_assert(sizeof(RTL_PROCESS_MODULE_INFORMATION) == 284);
NTSTATUS ZwQuerySystemInformation(uint32_t cls, void* buffer, uint32_t length, uint32_t* resultLength);
// The host memory behind a kernel address of a loaded image, or null.
const uint8_t* KmKernelAddress(uint32_t address, uint32_t length);
// The routine whose entry a kernel address of the kernel image is, or null.
void* KmKernelEntry(uint32_t address);

// ---- threads and work items ----------------------------------------------------

using PKSTART_ROUTINE = void (*)(void* context);
constexpr ACCESS_MASK THREAD_ALL_ACCESS = 0x1F03FF;
NTSTATUS PsCreateSystemThread(HANDLE* thread, ACCESS_MASK access, OBJECT_ATTRIBUTES* attributes, HANDLE process,
                              void* clientId, PKSTART_ROUTINE routine, void* context);
NTSTATUS PsTerminateSystemThread(NTSTATUS status);
// Resolves a thread handle to its referenced thread object (a wait object).
NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK access, void* type, KPROCESSOR_MODE mode,
                                   void** object, void* info);
int32_t KeSetPriorityThread(void* thread, int32_t priority);

struct IO_WORKITEM;
using PIO_WORKITEM_ROUTINE = void (*)(DEVICE_OBJECT* device, void* context);
enum WORK_QUEUE_TYPE { CriticalWorkQueue = 0, DelayedWorkQueue = 1 };
IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* device);
void IoQueueWorkItem(IO_WORKITEM* item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE queue, void* context);
void IoFreeWorkItem(IO_WORKITEM* item);
