// Kernel routines that only Plug and Play kernels export, found at run time
// in the kernel image so that one driver image loads on both generations.
#include "kernel/services.h"

#include <cstring>

KsRoutines g_KsRoutines;

namespace {
// In the table's order.
const char* const RoutineNames[KsRoutineCount] = {
    "PoCallDriver",          "PoSetPowerState",           "PoRequestPowerIrp",
    "PoStartNextPowerIrp",   "IoGetDmaAdapter",           "IoGetDeviceProperty",
    "IoGetDeviceInterfaces", "IoOpenDeviceRegistryKey",   "IoRegisterDeviceInterface",
    "IoSetDeviceInterfaceState", "IoInvalidateDeviceRelations", "IoGetAttachedDeviceReference",
    "IoOpenDeviceInterfaceRegistryKey",
};
constexpr uint32_t ModuleRecordSize = sizeof(RTL_PROCESS_MODULE_INFORMATION);

uint32_t Read32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool SameNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
    char y = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// The module whose file name is name, or null; every offset read from the
// list is checked against the list's own size.
const RTL_PROCESS_MODULE_INFORMATION* FindModule(const uint8_t* list, uint32_t size, const char* name) {
  if (size < 4) return nullptr;
  uint32_t count = Read32(list);
  if (count > (size - 4) / ModuleRecordSize) count = (size - 4) / ModuleRecordSize;
  for (uint32_t i = 0; i < count; ++i) {
    auto* m = reinterpret_cast<const RTL_PROCESS_MODULE_INFORMATION*>(list + 4 + i * ModuleRecordSize);
    char path[sizeof m->FullPathName + 1];
    std::memcpy(path, m->FullPathName, sizeof m->FullPathName);
    path[sizeof m->FullPathName] = 0;
    uint32_t off = m->OffsetToFileName < sizeof m->FullPathName ? m->OffsetToFileName : 0;
    if (SameNoCase(path + off, name)) return m;
  }
  return nullptr;
}

// The image bytes at an RVA, null when outside the image.
const uint8_t* At(uint32_t base, uint32_t imageSize, uint32_t rva, uint32_t length) {
  if (rva > imageSize || length > imageSize - rva) return nullptr;
  return KmKernelAddress(base + rva, length);
}

// Looks each routine up among the exported names; a forwarder (an address
// inside the export directory) does not count.
NTSTATUS ResolveFromImage(uint32_t base, uint32_t imageSize) {
  const uint8_t* dos = At(base, imageSize, 0, 0x40);
  if (!dos) return STATUS_PROCEDURE_NOT_FOUND;
  uint32_t nt = Read32(dos + 0x3C);
  const uint8_t* dir = At(base, imageSize, nt + 24 + 96, 8);
  if (!dir) return STATUS_PROCEDURE_NOT_FOUND;
  uint32_t expRva = Read32(dir), expSize = Read32(dir + 4);
  const uint8_t* exp = At(base, imageSize, expRva, 40);
  if (!exp) return STATUS_PROCEDURE_NOT_FOUND;
  uint32_t nFuncs = Read32(exp + 20), nNames = Read32(exp + 24);
  const uint8_t* funcs = At(base, imageSize, Read32(exp + 28), nFuncs * 4);
  const uint8_t* names = At(base, imageSize, Read32(exp + 32), nNames * 4);
  const uint8_t* ords = At(base, imageSize, Read32(exp + 36), nNames * 2);
  if (!funcs || !names || !ords || nFuncs > imageSize / 4 || nNames > imageSize / 4) return STATUS_PROCEDURE_NOT_FOUND;
  void* found[KsRoutineCount] = {};
  for (uint32_t i = 0; i < nNames; ++i) {
    uint32_t nameRva = Read32(names + i * 4);
    const uint8_t* text = At(base, imageSize, nameRva, 1);
    if (!text) continue;
    size_t room = imageSize - nameRva;
    size_t len = strnlen(reinterpret_cast<const char*>(text), room);
    if (len == room) continue;
    uint16_t ord = Read16(ords + i * 2);
    if (ord >= nFuncs) continue;
    uint32_t rva = Read32(funcs + ord * 4);
    if (rva >= expRva && rva < expRva + expSize) continue;  // forwarder
    for (int r = 0; r < KsRoutineCount; ++r)
      if (std::strcmp(reinterpret_cast<const char*>(text), RoutineNames[r]) == 0) found[r] = KmKernelEntry(base + rva);
  }
  for (void* f : found)
    if (!f) return STATUS_PROCEDURE_NOT_FOUND;
  static_assert(sizeof found == sizeof g_KsRoutines);
  std::memcpy(&g_KsRoutines, found, sizeof found);
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS KsResolveRoutines() {
  g_KsRoutines = {};
  uint32_t size = 0;
  ZwQuerySystemInformation(SystemModuleInformation, nullptr, 0, &size);
  if (size == 0) return STATUS_PROCEDURE_NOT_FOUND;
  auto* list = static_cast<uint8_t*>(KsAllocatePool(PagedPool, size));
  if (!list) return STATUS_INSUFFICIENT_RESOURCES;
  NTSTATUS status = ZwQuerySystemInformation(SystemModuleInformation, list, size, &size);
  if (NT_SUCCESS(status)) {
    const RTL_PROCESS_MODULE_INFORMATION* m = FindModule(list, size, "Ntoskrnl.exe");
    if (!m) m = FindModule(list, size, "Ntkrnlpa.exe");
    status = m ? ResolveFromImage(m->ImageBase, m->ImageSize) : STATUS_PROCEDURE_NOT_FOUND;
  }
  KsFree(list);
  if (!NT_SUCCESS(status)) g_KsRoutines = {};
  return status;
}
