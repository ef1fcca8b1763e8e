// The physical-memory section and its views in the simulated process. The
// process's address space is simulated: a view gets a 32-bit address range
// of its own, and accesses through it go to the machine's memory as the
// board would see them.
#include "kernel/km/km_private.h"
#include "kernel/km/um.h"

#include <map>
#include <mutex>

namespace {
constexpr uint32_t PageBytes = 0x1000;
constexpr uint32_t Granularity = 0x10000;  // views start on 64-KiB boundaries
constexpr uint32_t FirstAddress = 0x10000000;
constexpr uint32_t LastAddress = 0x7FFF0000;
int g_physicalMemory;  // the section object

struct View {
  uint32_t length;  // bytes, whole pages
  uint64_t physical;
};
std::mutex g_viewLock;
std::map<uint32_t, View> g_views;  // by address

uint32_t RoundUp(uint64_t v, uint32_t to) { return static_cast<uint32_t>((v + to - 1) / to * to); }

// The first free range of `length` bytes; 0 when the space is full.
uint32_t FindRoom(uint32_t length) {
  uint64_t at = FirstAddress;
  for (const auto& [address, view] : g_views) {
    if (at + length <= address) break;
    at = RoundUp(uint64_t(address) + view.length, Granularity);
  }
  return at + length <= LastAddress ? static_cast<uint32_t>(at) : 0;
}

// The physical address behind [address, address + width), or false.
bool PhysicalOf(uint32_t address, uint32_t width, uint64_t* physical) {
  std::lock_guard<std::mutex> lk(g_viewLock);
  auto it = g_views.upper_bound(address);
  if (it == g_views.begin()) return false;
  --it;
  if (uint64_t(address) + width > uint64_t(it->first) + it->second.length) return false;
  *physical = it->second.physical + (address - it->first);
  return true;
}
}  // namespace

NTSTATUS ZwOpenSection(HANDLE* section, ACCESS_MASK, const OBJECT_ATTRIBUTES* attributes) {
  *section = nullptr;
  if (!attributes || !attributes->ObjectName) return STATUS_OBJECT_NAME_INVALID;
  if (km::Lower(km::Str(attributes->ObjectName)) != u"\\device\\physicalmemory") return STATUS_OBJECT_NAME_NOT_FOUND;
  *section = km::NewHandle(km::HandleKind::Section, &g_physicalMemory);
  return *section ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
}

NTSTATUS ZwMapViewOfSection(HANDLE section, HANDLE process, void** base, uintptr_t, size_t, int64_t* sectionOffset,
                            size_t* viewSize, SECTION_INHERIT, uint32_t, uint32_t) {
  if (!km::HandleObject(section, km::HandleKind::Section)) return STATUS_INVALID_HANDLE;
  if (process != ZwCurrentProcess()) return STATUS_INVALID_HANDLE;
  if (!base || *base || !sectionOffset || *sectionOffset < 0 || !viewSize || !*viewSize)
    return STATUS_INVALID_PARAMETER;
  if (*viewSize > LastAddress - FirstAddress) return STATUS_INVALID_VIEW_SIZE;
  uint64_t offset = static_cast<uint64_t>(*sectionOffset);
  uint64_t page = offset / PageBytes * PageBytes;
  uint64_t bytes = RoundUp(offset - page + *viewSize, PageBytes);
  if (bytes > LastAddress - FirstAddress) return STATUS_INVALID_VIEW_SIZE;
  std::lock_guard<std::mutex> lk(g_viewLock);
  uint32_t at = FindRoom(static_cast<uint32_t>(bytes));
  if (!at) return STATUS_NO_MEMORY;
  g_views[at] = {static_cast<uint32_t>(bytes), page};
  *base = reinterpret_cast<void*>(static_cast<uintptr_t>(at));
  *sectionOffset = static_cast<int64_t>(page);
  *viewSize = bytes;
  return STATUS_SUCCESS;
}

NTSTATUS ZwUnmapViewOfSection(HANDLE process, void* base) {
  if (process != ZwCurrentProcess()) return STATUS_INVALID_HANDLE;
  std::lock_guard<std::mutex> lk(g_viewLock);
  auto address = reinterpret_cast<uintptr_t>(base);
  if (address > UINT32_MAX || !g_views.erase(static_cast<uint32_t>(address))) return STATUS_NOT_MAPPED_VIEW;
  return STATUS_SUCCESS;
}

bool UmMemoryRead(uint32_t address, uint32_t width, uint32_t* value) {
  uint64_t physical;
  if ((width != 1 && width != 2 && width != 4) || !PhysicalOf(address, width, &physical)) return false;
  // Memory where no device answers reads as an empty bus does.
  if (!simbus::MemoryRead(physical, width, value)) *value = width == 4 ? 0xFFFFFFFF : (1u << (8 * width)) - 1;
  return true;
}

bool UmMemoryWrite(uint32_t address, uint32_t width, uint32_t value) {
  uint64_t physical;
  if ((width != 1 && width != 2 && width != 4) || !PhysicalOf(address, width, &physical)) return false;
  simbus::MemoryWrite(physical, width, value);
  return true;
}

namespace km {
size_t ViewCount() {
  std::lock_guard<std::mutex> lk(g_viewLock);
  return g_views.size();
}
void ResetViews() {
  std::lock_guard<std::mutex> lk(g_viewLock);
  g_views.clear();
}
}  // namespace km
