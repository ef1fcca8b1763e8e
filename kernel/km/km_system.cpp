// System threads, work items, the event log, the kernel's version and module
// list, the HAL's bus access and the legacy resource claims of the
// simulated kernel.
#include "kernel/km/km_private.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <new>
#include <thread>
#include <vector>

// ---- system threads ------------------------------------------------------

namespace {
// The thread object: a wait object signalled when the routine returns.
struct ThreadObject {
  DISPATCHER_HEADER Header;
  std::atomic<int32_t> References;
  std::thread Thread;
  int32_t Priority;
};
struct TerminateThread {};

void FreeThread(ThreadObject* t) {
  km::UnregisterObject(t);
  if (t->Thread.get_id() == std::this_thread::get_id())
    t->Thread.detach();
  else if (t->Thread.joinable())
    t->Thread.join();
  delete t;
}
}  // namespace

namespace km {
void ReferenceThread(void* thread) { ++static_cast<ThreadObject*>(thread)->References; }
void DereferenceThread(void* thread) {
  auto* t = static_cast<ThreadObject*>(thread);
  if (--t->References == 0) FreeThread(t);
}
}  // namespace km

NTSTATUS PsCreateSystemThread(HANDLE* thread, ACCESS_MASK, OBJECT_ATTRIBUTES*, HANDLE, void*,
                              PKSTART_ROUTINE routine, void* context) {
  auto* t = new (std::nothrow) ThreadObject();
  if (!t) return STATUS_INSUFFICIENT_RESOURCES;
  t->Header.Type = KmThread;
  t->References = 2;  // the handle's and the running thread's
  t->Priority = 8;
  km::RegisterObject(t, km::ObjectKind::Thread);
  *thread = km::NewHandle(km::HandleKind::Thread, t);
  t->Thread = std::thread([t, routine, context] {
    try {
      routine(context);
    } catch (const TerminateThread&) {
    }
    km::SignalThreadObject(&t->Header);
    km::DereferenceThread(t);
  });
  return STATUS_SUCCESS;
}

NTSTATUS PsTerminateSystemThread(NTSTATUS) { throw TerminateThread{}; }

NTSTATUS ObReferenceObjectByHandle(HANDLE handle, ACCESS_MASK, void*, KPROCESSOR_MODE, void** object, void*) {
  void* t = km::HandleObject(handle, km::HandleKind::Thread);
  if (!t) return STATUS_INVALID_HANDLE;
  km::ReferenceThread(t);
  *object = t;
  return STATUS_SUCCESS;
}

int32_t KeSetPriorityThread(void* thread, int32_t priority) {
  auto* t = static_cast<ThreadObject*>(thread);
  int32_t old = t->Priority;
  t->Priority = priority;
  return old;
}

// ---- work items -----------------------------------------------------------

struct IO_WORKITEM {
  DEVICE_OBJECT* Device;
  PIO_WORKITEM_ROUTINE Routine;
  void* Context;
};

namespace {
// The delayed work queue: one worker thread, items in queue order.
km::SerialQueue<IO_WORKITEM> g_work(nullptr, [](IO_WORKITEM* item) {
  item->Routine(item->Device, item->Context);
  ObDereferenceObject(item->Device);
});
}  // namespace

namespace km {
void StopDpcThread();
void StopServiceThreads() {
  StopDpcThread();
  g_work.Quiesce();
}
}  // namespace km

IO_WORKITEM* IoAllocateWorkItem(DEVICE_OBJECT* device) {
  auto* item = new (std::nothrow) IO_WORKITEM{device, nullptr, nullptr};
  return item;
}

void IoQueueWorkItem(IO_WORKITEM* item, PIO_WORKITEM_ROUTINE routine, WORK_QUEUE_TYPE, void* context) {
  item->Routine = routine;
  item->Context = context;
  ObReferenceObject(item->Device);  // the device stays while the item waits
  std::lock_guard<std::mutex> lk(g_work.Lock());
  g_work.PushLocked(item);
}

void IoFreeWorkItem(IO_WORKITEM* item) { delete item; }

// ---- event log --------------------------------------------------------------

namespace {
std::mutex g_logLock;
// The log has a fixed size and wraps: the oldest entries make room.
std::deque<km::LogEntry> g_log;
size_t g_logBytes = 0;
size_t EntryBytes(const km::LogEntry& e) { return ErrorLogPacketHeader + e.text.size() * 2 + e.dump.size(); }
struct LogPacket {
  void* object;
};
}  // namespace

void* IoAllocateErrorLogEntry(void* object, uint8_t size) {
  if (size < ErrorLogPacketHeader || size > ERROR_LOG_MAXIMUM_SIZE) return nullptr;
  // The object travels in front of the packet the driver fills.
  auto* block = static_cast<uint8_t*>(ExAllocatePoolWithTag(NonPagedPool, sizeof(LogPacket) + size, km::Tag("KmEl")));
  if (!block) return nullptr;
  reinterpret_cast<LogPacket*>(block)->object = object;
  auto* packet = block + sizeof(LogPacket);
  std::memset(packet, 0, size);  // the kernel hands out error-log packets cleared
  reinterpret_cast<IO_ERROR_LOG_PACKET*>(packet)->SequenceNumber = size;  // kept until written: the packet size
  return packet;
}

void IoWriteErrorLogEntry(void* entry) {
  auto* packet = static_cast<uint8_t*>(entry);
  auto* block = packet - sizeof(LogPacket);
  auto* p = reinterpret_cast<IO_ERROR_LOG_PACKET*>(packet);
  uint32_t size = p->SequenceNumber;
  km::LogEntry e{p->ErrorCode, p->FinalStatus, p->EventCategory, {}, {}, reinterpret_cast<LogPacket*>(block)->object};
  if (ErrorLogPacketHeader + p->DumpDataSize > size) km::BugCheck("event log dump beyond the packet");
  e.dump.assign(packet + ErrorLogPacketHeader, packet + ErrorLogPacketHeader + p->DumpDataSize);
  if (p->NumberOfStrings) {
    if (p->StringOffset >= size) km::BugCheck("event log string beyond the packet");
    for (uint32_t at = p->StringOffset; at + 1 < size; at += 2) {
      char16_t c;
      std::memcpy(&c, packet + at, 2);
      if (!c) break;
      e.text += c;
    }
  }
  {
    std::lock_guard<std::mutex> lk(g_logLock);
    g_logBytes += EntryBytes(e);
    g_log.push_back(std::move(e));
    while (g_logBytes > km::EventLogCapacity) {
      g_logBytes -= EntryBytes(g_log.front());
      g_log.pop_front();
    }
  }
  ExFreePool(block);
}

namespace km {
std::vector<LogEntry> EventLog() {
  std::lock_guard<std::mutex> lk(g_logLock);
  return {g_log.begin(), g_log.end()};
}
void ClearEventLog() {
  std::lock_guard<std::mutex> lk(g_logLock);
  g_log.clear();
  g_logBytes = 0;
}
}  // namespace km

// ---- version and the kernel image -----------------------------------------------

bool PsGetVersion(uint32_t* major, uint32_t* minor, uint32_t* build, UNICODE_STRING*) {
  if (major) *major = simbus::Bus().kernelMajor;
  if (minor) *minor = simbus::Bus().kernelMinor;
  if (build) *build = 2600;
  return false;
}

namespace {
// The kernel image as the module list shows it: a PE image whose export
// directory names the routines the kernel offers. Each export's address
// holds no code; KmKernelEntry maps it to the routine.
constexpr uint32_t KernelBase = 0x80400000;
constexpr uint32_t HalBase = 0x806D0000;
constexpr uint32_t ExportDirRva = 0x200;
constexpr uint32_t EntryRva = 0x4000;  // routine i sits at EntryRva + 16 i

struct Export {
  const char* name;
  void* entry;
};

#define KM_EXPORT(r) {#r, reinterpret_cast<void*>(&r)}
const Export g_exports[] = {
    KM_EXPORT(IoGetDeviceInterfaces),    KM_EXPORT(IoGetDeviceProperty),
    KM_EXPORT(IoGetDmaAdapter),          KM_EXPORT(IoInvalidateDeviceRelations),
    KM_EXPORT(IoOpenDeviceInterfaceRegistryKey), KM_EXPORT(IoOpenDeviceRegistryKey),
    KM_EXPORT(IoRegisterDeviceInterface), KM_EXPORT(IoSetDeviceInterfaceState),
    KM_EXPORT(IoGetAttachedDeviceReference), KM_EXPORT(PoCallDriver),
    KM_EXPORT(PoRequestPowerIrp),        KM_EXPORT(PoSetPowerState),
    KM_EXPORT(PoStartNextPowerIrp),
};
#undef KM_EXPORT
// Forwarded to another module: an address inside the export directory.
const char* const g_forwarded = "ExForwardedRoutine";

std::vector<uint8_t> g_image;

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

// Builds the image for the routines the machine offers, names sorted as the
// export directory keeps them.
void BuildImage() {
  std::vector<std::pair<std::string, uint32_t>> names;  // name, function index
  std::vector<uint32_t> functions;
  for (size_t i = 0; i < std::size(g_exports); ++i) {
    if (simbus::Bus().missingRoutines.count(g_exports[i].name)) continue;
    names.push_back({g_exports[i].name, static_cast<uint32_t>(functions.size())});
    functions.push_back(EntryRva + static_cast<uint32_t>(i) * 16);
  }
  names.push_back({g_forwarded, static_cast<uint32_t>(functions.size())});
  std::sort(names.begin(), names.end());
  uint32_t n = static_cast<uint32_t>(names.size());
  uint32_t funcs = ExportDirRva + 40, nameRvas = funcs + n * 4, ords = nameRvas + n * 4, text = ords + n * 2;
  uint32_t forwarderText = text;
  g_image.assign(EntryRva + std::size(g_exports) * 16, 0);
  g_image[0] = 'M';
  g_image[1] = 'Z';
  Put32(g_image, 0x3C, 0x80);
  std::memcpy(&g_image[0x80], "PE\0\0", 4);
  Put16(g_image, 0x80 + 4 + 16, 224);        // optional header size
  Put16(g_image, 0x98, 0x10B);               // PE32
  Put32(g_image, 0x98 + 96, ExportDirRva);   // export data directory
  Put32(g_image, 0x98 + 100, 0);             // its size, set below
  for (const auto& [name, index] : names) text += static_cast<uint32_t>(name.size() + 1);
  functions.push_back(forwarderText);
  Put32(g_image, ExportDirRva + 20, n);
  Put32(g_image, ExportDirRva + 24, n);
  Put32(g_image, ExportDirRva + 28, funcs);
  Put32(g_image, ExportDirRva + 32, nameRvas);
  Put32(g_image, ExportDirRva + 36, ords);
  uint32_t at = forwarderText + static_cast<uint32_t>(std::strlen("HAL.ExForwardedRoutine") + 1);
  std::memcpy(&g_image[forwarderText], "HAL.ExForwardedRoutine", 22);
  for (uint32_t i = 0; i < n; ++i) {
    Put32(g_image, funcs + names[i].second * 4, functions[names[i].second]);
    Put32(g_image, nameRvas + i * 4, at);
    Put16(g_image, ords + i * 2, names[i].second);
    std::memcpy(&g_image[at], names[i].first.c_str(), names[i].first.size() + 1);
    at += static_cast<uint32_t>(names[i].first.size() + 1);
  }
  Put32(g_image, 0x98 + 100, at - ExportDirRva);
}

void FillModule(RTL_PROCESS_MODULE_INFORMATION* m, const std::string& path, uint32_t base, uint32_t size,
                uint16_t index) {
  std::memset(m, 0, sizeof *m);
  m->ImageBase = base;
  m->ImageSize = size;
  m->LoadOrderIndex = index;
  std::strncpy(m->FullPathName, path.c_str(), sizeof m->FullPathName - 1);
  m->OffsetToFileName = static_cast<uint16_t>(path.rfind('\\') + 1);
}
}  // namespace

NTSTATUS ZwQuerySystemInformation(uint32_t cls, void* buffer, uint32_t length, uint32_t* resultLength) {
  if (cls != SystemModuleInformation) return STATUS_NOT_IMPLEMENTED;
  BuildImage();
  constexpr uint32_t count = 2;
  uint32_t needed = 4 + count * sizeof(RTL_PROCESS_MODULE_INFORMATION);
  if (resultLength) *resultLength = needed;
  if (length < needed || !buffer) return STATUS_INFO_LENGTH_MISMATCH;
  auto* b = static_cast<uint8_t*>(buffer);
  std::memcpy(b, &count, 4);
  auto* m = reinterpret_cast<RTL_PROCESS_MODULE_INFORMATION*>(b + 4);
  FillModule(&m[0], "\\SystemRoot\\system32\\" + simbus::Bus().kernelFileName, KernelBase,
             static_cast<uint32_t>(g_image.size()), 0);
  FillModule(&m[1], "\\SystemRoot\\system32\\hal.dll", HalBase, 0x1000, 1);
  return STATUS_SUCCESS;
}

const uint8_t* KmKernelAddress(uint32_t address, uint32_t length) {
  if (address < KernelBase) return nullptr;
  uint64_t off = address - KernelBase;
  if (off + length > g_image.size()) return nullptr;
  return g_image.data() + off;
}

void* KmKernelEntry(uint32_t address) {
  if (address < KernelBase + EntryRva) return nullptr;
  uint32_t off = address - KernelBase - EntryRva;
  if (off % 16 || off / 16 >= std::size(g_exports)) return nullptr;
  return g_exports[off / 16].entry;
}

// ---- the HAL ---------------------------------------------------------------------

uint32_t HalGetBusDataByOffset(int32_t type, uint32_t bus, uint32_t slot, void* buffer, uint32_t offset,
                               uint32_t length) {
  if (type != PCIConfiguration || bus >= simbus::PciBuses) return 0;
  uint32_t device = slot & 0x1F, function = (slot >> 5) & 7;
  simbus::PciFunction* f = function == 0 ? simbus::Pci(bus, device) : nullptr;
  if (!f) {
    // An empty slot reads as vendor 0xFFFF.
    if (offset != 0 || length < 2) return 0;
    std::memset(buffer, 0xFF, 2);
    return 2;
  }
  if (offset >= f->readableBytes) return 0;
  uint32_t n = std::min(length, f->readableBytes - offset);
  std::memcpy(buffer, f->config + offset, n);
  return n;
}

uint32_t HalSetBusDataByOffset(int32_t type, uint32_t bus, uint32_t slot, const void* buffer, uint32_t offset,
                               uint32_t length) {
  if (type != PCIConfiguration) return 0;
  simbus::PciFunction* f = ((slot >> 5) & 7) == 0 ? simbus::Pci(bus, slot & 0x1F) : nullptr;
  if (!f || offset >= simbus::PciConfigBytes) return 0;
  uint32_t n = std::min(length, simbus::PciConfigBytes - offset);
  std::memcpy(f->config + offset, buffer, n);
  return n;
}

uint32_t HalGetInterruptVector(INTERFACE_TYPE, uint32_t, uint32_t level, uint32_t vector, KIRQL* irql,
                               uint64_t* affinity) {
  *irql = static_cast<KIRQL>(level < 24 ? 27 - level : 3);
  *affinity = 1;
  return vector + 0x30;
}

bool HalTranslateBusAddress(INTERFACE_TYPE, uint32_t, uint64_t busAddress, uint32_t*, uint64_t* translated) {
  *translated = busAddress;
  return true;
}

namespace {
std::mutex g_mapLock;
struct Mapping {
  size_t bytes;
  uint64_t physical;
};
std::map<void*, Mapping> g_mappings;
}  // namespace

void* MmMapIoSpace(uint64_t physical, size_t bytes, int32_t) {
  if (!bytes || bytes > (size_t(64) << 20)) return nullptr;
  // Register windows of the simulated boards: plain zeroed memory until a
  // board model claims the range.
  void* p = ::operator new(bytes, std::nothrow);
  if (!p) return nullptr;
  std::memset(p, 0, bytes);
  std::lock_guard<std::mutex> lk(g_mapLock);
  g_mappings[p] = {bytes, physical};
  return p;
}

void MmUnmapIoSpace(void* base, size_t) {
  std::lock_guard<std::mutex> lk(g_mapLock);
  if (g_mappings.erase(base)) ::operator delete(base);
}

namespace {
// Every bus access takes about a microsecond of the machine's time.
constexpr int64_t BusAccessTime = 10;

// The physical address behind a mapped address, or false when the address
// is not in a mapping.
bool PhysicalOf(const volatile void* reg, uint32_t width, uint64_t* physical) {
  auto* a = const_cast<uint8_t*>(static_cast<const volatile uint8_t*>(reg));
  std::lock_guard<std::mutex> lk(g_mapLock);
  auto it = g_mappings.upper_bound(a);
  if (it == g_mappings.begin()) return false;
  --it;
  auto* base = static_cast<uint8_t*>(it->first);
  if (a < base || a + width > base + it->second.bytes) return false;
  *physical = it->second.physical + static_cast<uint64_t>(a - base);
  return true;
}

uint32_t RegisterRead(const volatile void* reg, uint32_t width) {
  km::Advance(BusAccessTime);
  uint64_t physical;
  uint32_t v = 0;
  if (!PhysicalOf(reg, width, &physical)) km::BugCheck("register access outside every mapping");
  if (simbus::MemoryRead(physical, width, &v)) return v;
  std::memcpy(&v, const_cast<const void*>(reg), width);  // plain memory behind the window
  return v;
}

void RegisterWrite(volatile void* reg, uint32_t width, uint32_t v) {
  km::Advance(BusAccessTime);
  uint64_t physical;
  if (!PhysicalOf(reg, width, &physical)) km::BugCheck("register access outside every mapping");
  if (!simbus::MemoryWrite(physical, width, v)) std::memcpy(const_cast<void*>(reg), &v, width);
}

uint64_t PortOf(const void* port) { return reinterpret_cast<uintptr_t>(port); }
uint32_t PortRead(const void* port, uint32_t width) {
  km::Advance(BusAccessTime);
  return simbus::PortRead(PortOf(port), width);
}
void PortWrite(const void* port, uint32_t width, uint32_t v) {
  km::Advance(BusAccessTime);
  simbus::PortWrite(PortOf(port), width, v);
}
}  // namespace

uint8_t READ_PORT_UCHAR(uint8_t* port) { return static_cast<uint8_t>(PortRead(port, 1)); }
uint16_t READ_PORT_USHORT(uint16_t* port) { return static_cast<uint16_t>(PortRead(port, 2)); }
void WRITE_PORT_UCHAR(uint8_t* port, uint8_t value) { PortWrite(port, 1, value); }
void WRITE_PORT_USHORT(uint16_t* port, uint16_t value) { PortWrite(port, 2, value); }
void READ_PORT_BUFFER_USHORT(uint16_t* port, uint16_t* buffer, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) buffer[i] = READ_PORT_USHORT(port);
}
uint8_t READ_REGISTER_UCHAR(volatile uint8_t* reg) { return static_cast<uint8_t>(RegisterRead(reg, 1)); }
uint16_t READ_REGISTER_USHORT(volatile uint16_t* reg) { return static_cast<uint16_t>(RegisterRead(reg, 2)); }
uint32_t READ_REGISTER_ULONG(volatile uint32_t* reg) { return RegisterRead(reg, 4); }
void WRITE_REGISTER_UCHAR(volatile uint8_t* reg, uint8_t value) { RegisterWrite(reg, 1, value); }
void WRITE_REGISTER_USHORT(volatile uint16_t* reg, uint16_t value) { RegisterWrite(reg, 2, value); }
void WRITE_REGISTER_ULONG(volatile uint32_t* reg, uint32_t value) { RegisterWrite(reg, 4, value); }

// ---- legacy resource claims ---------------------------------------------------------

namespace {
std::mutex g_claimLock;
std::map<void*, std::vector<CM_PARTIAL_RESOURCE_DESCRIPTOR>> g_claims;  // by driver or device object

bool Overlaps(uint64_t a, uint32_t alen, uint64_t b, uint32_t blen) { return a < b + blen && b < a + alen; }

bool Conflicts(void* owner, const CM_PARTIAL_RESOURCE_DESCRIPTOR& d) {
  if (d.Type != CmResourceTypePort && d.Type != CmResourceTypeMemory) return false;
  for (const auto& f : simbus::Bus().foreignClaims)
    if ((f.kind == simbus::ResKind::Port) == (d.Type == CmResourceTypePort) &&
        f.kind != simbus::ResKind::Interrupt && Overlaps(d.Start, d.Length, f.start, f.length))
      return true;
  for (const auto& [other, list] : g_claims) {
    if (other == owner) continue;
    for (const auto& c : list)
      if (c.Type == d.Type && Overlaps(d.Start, d.Length, c.Start, c.Length)) return true;
  }
  return false;
}

bool Claim(void* owner, const CM_RESOURCE_LIST* list) {
  if (!owner) return false;
  g_claims.erase(owner);
  if (!list || list->Count == 0) return false;
  bool conflict = false;
  uint32_t n = std::min(list->Count, KmMaxDescriptors);
  for (uint32_t i = 0; i < n; ++i) conflict |= Conflicts(owner, list->Descriptors[i]);
  if (!conflict) g_claims[owner].assign(list->Descriptors, list->Descriptors + n);
  return conflict;
}
}  // namespace

NTSTATUS IoReportResourceUsage(const UNICODE_STRING*, DRIVER_OBJECT* driver, const CM_RESOURCE_LIST* driverList,
                               uint32_t, DEVICE_OBJECT* device, const CM_RESOURCE_LIST* deviceList, uint32_t,
                               bool, bool* conflictDetected) {
  std::lock_guard<std::mutex> lk(g_claimLock);
  bool conflict = false;
  if (driver && (driverList || !deviceList)) conflict |= Claim(driver, driverList);
  if (device) conflict |= Claim(device, deviceList);
  *conflictDetected = conflict;
  return STATUS_SUCCESS;
}

namespace km {
size_t ResourceClaims() {
  std::lock_guard<std::mutex> lk(g_claimLock);
  return g_claims.size();
}
void ResetSystem() {
  {
    std::lock_guard<std::mutex> lk(g_claimLock);
    g_claims.clear();
  }
  ClearEventLog();
}
}  // namespace km
