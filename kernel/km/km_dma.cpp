// DMA adapters and common buffers of the simulated kernel. A common buffer
// is host memory with a bus address below 4 GB that the simulated boards
// resolve through the bus.
#include "kernel/km/km_private.h"
#include "kernel/km/kmsim.h"
#include "sim/bus/simbus.h"

#include <atomic>
#include <new>
#include <cstring>
#include <mutex>

namespace {
std::mutex g_dmaLock;
size_t g_adapters = 0, g_buffers = 0;
uint64_t g_nextPhysical = 0x10000000;
constexpr uint32_t Page = 4096;

void Put(DMA_ADAPTER* adapter) {
  std::lock_guard<std::mutex> lk(g_dmaLock);
  --g_adapters;
  delete adapter;
}

void* Allocate(DMA_ADAPTER*, uint32_t length, uint64_t* physical, bool) {
  if (!length) return nullptr;
  uint32_t rounded = (length + Page - 1) / Page * Page;
  auto* p = new (std::nothrow) uint8_t[rounded];
  if (!p) return nullptr;
  std::memset(p, 0, rounded);
  std::lock_guard<std::mutex> lk(g_dmaLock);
  *physical = g_nextPhysical;
  g_nextPhysical += rounded + Page;  // a guard page between buffers
  simbus::PlaceSystemMemory(*physical, p, length);
  ++g_buffers;
  return p;
}

void Free(DMA_ADAPTER*, uint32_t, uint64_t physical, void* address, bool) {
  if (!address) return;
  std::lock_guard<std::mutex> lk(g_dmaLock);
  simbus::UnplaceSystemMemory(physical);
  --g_buffers;
  delete[] static_cast<uint8_t*>(address);
}

DMA_OPERATIONS MakeOperations() {
  DMA_OPERATIONS o{};
  o.Size = sizeof(DMA_OPERATIONS);
  o.PutDmaAdapter = Put;
  o.AllocateCommonBuffer = Allocate;
  o.FreeCommonBuffer = Free;
  return o;
}
DMA_OPERATIONS g_operations = MakeOperations();

DMA_ADAPTER* NewAdapter(DEVICE_DESCRIPTION* d, uint32_t* mapRegisters) {
  if (!d || !d->Master) return nullptr;
  auto* a = new (std::nothrow) DMA_ADAPTER{1, sizeof(DMA_ADAPTER), &g_operations};
  if (!a) return nullptr;
  if (mapRegisters) *mapRegisters = (d->MaximumLength + Page - 1) / Page;
  std::lock_guard<std::mutex> lk(g_dmaLock);
  ++g_adapters;
  return a;
}
}  // namespace

DMA_ADAPTER* IoGetDmaAdapter(DEVICE_OBJECT* pdo, DEVICE_DESCRIPTION* description, uint32_t* mapRegisters) {
  return pdo ? NewAdapter(description, mapRegisters) : nullptr;
}

DMA_ADAPTER* HalGetAdapter(DEVICE_DESCRIPTION* description, uint32_t* mapRegisters) {
  return NewAdapter(description, mapRegisters);
}

void* HalAllocateCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t* physical, bool cacheEnabled) {
  return Allocate(adapter, length, physical, cacheEnabled);
}

void HalFreeCommonBuffer(DMA_ADAPTER* adapter, uint32_t length, uint64_t physical, void* address,
                         bool cacheEnabled) {
  Free(adapter, length, physical, address, cacheEnabled);
}

// Bus-master boards use common buffers only: a channel is granted at once
// and a transfer maps nothing.
NTSTATUS IoAllocateAdapterChannel(DMA_ADAPTER*, DEVICE_OBJECT* device, uint32_t, DRIVER_CONTROL routine,
                                  void* context) {
  if (routine) routine(device, nullptr, nullptr, context);
  return STATUS_SUCCESS;
}

bool IoFlushAdapterBuffers(DMA_ADAPTER*, MDL*, void*, void*, uint32_t, bool) { return true; }

void IoFreeAdapterChannel(DMA_ADAPTER* adapter) {
  if (adapter) Put(adapter);
}

void IoFreeMapRegisters(DMA_ADAPTER*, void*, uint32_t) {}

uint64_t IoMapTransfer(DMA_ADAPTER*, MDL*, void*, void*, uint32_t*, bool) { return 0; }

namespace km {
size_t DmaAdapterCount() {
  std::lock_guard<std::mutex> lk(g_dmaLock);
  return g_adapters;
}
size_t CommonBufferCount() {
  std::lock_guard<std::mutex> lk(g_dmaLock);
  return g_buffers;
}
}  // namespace km
