// The NT 4 start: host-interface units from the parameters key and a scan
// of the PCI buses for the boards.
#include "kernel/qvdev.h"

#include <cstdio>
#include <cstring>

namespace {
constexpr uint32_t QvEventTavrionFound = 0x400600C8;
constexpr uint32_t QvEventCorbelleFound = 0x400600C9;
constexpr uint32_t QvEventHostPciFound = 0x400600CA;
constexpr uint32_t QvEventOxCardFound = 0x400600CB;
constexpr uint32_t QvEventEppCardFound = 0x400600CC;

constexpr uint32_t SubkeyNameChars = 256;
constexpr uint32_t ParallelPort1 = 0x378, ParallelPort2 = 0x278;

enum class PciResources { DspWindow, HostWindow, PortPair };
struct PciMatch {
  uint16_t vendor, device, subsystem, subsystemVendor;
  uint32_t boardId;
  PciResources resources;
  uint32_t event;
};
const PciMatch PciMatches[] = {
    {0x1057, 0x1801, 0x2345, 0x89AB, BoardIdTvr, PciResources::DspWindow, QvEventTavrionFound},
    {0x1057, 0x1801, 0x1920, 0x89AB, BoardIdTv2, PciResources::DspWindow, QvEventTavrionFound},
    {0x1057, 0x1801, 0x6935, 0x89AB, BoardIdCbl, PciResources::DspWindow, QvEventCorbelleFound},
    {0x1057, 0x1801, 0x0001, 0x8917, BoardIdTkePci, PciResources::HostWindow, QvEventHostPciFound},
    {0x1415, 0x8403, 0x0000, 0x1415, BoardIdTkeEppPci, PciResources::PortPair, QvEventOxCardFound},
    {0x1409, 0x7268, 0x0103, 0x1409, BoardIdTkeEppPci, PciResources::PortPair, QvEventEppCardFound},
};

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | uint32_t(Get16(p + 2)) << 16; }

void AddPort(CM_RESOURCE_LIST* l, uint64_t start, uint32_t length) {
  if (l->Count == KmMaxDescriptors) return;
  auto& d = l->Descriptors[l->Count++];
  d = {};
  d.Type = CmResourceTypePort;
  d.ShareDisposition = CmResourceShareDriverExclusive;
  d.Flags = CM_RESOURCE_PORT_IO;
  d.Start = start;
  d.Length = length;
}

void AddMemory(CM_RESOURCE_LIST* l, uint64_t start, uint32_t length) {
  if (l->Count == KmMaxDescriptors) return;
  auto& d = l->Descriptors[l->Count++];
  d = {};
  d.Type = CmResourceTypeMemory;
  d.ShareDisposition = CmResourceShareDriverExclusive;
  d.Flags = CM_RESOURCE_MEMORY_READ_WRITE;
  d.Start = start;
  d.Length = length;
}

void AddInterrupt(CM_RESOURCE_LIST* l, uint32_t line) {
  if (l->Count == KmMaxDescriptors) return;
  auto& d = l->Descriptors[l->Count++];
  d = {};
  d.Type = CmResourceTypeInterrupt;
  d.ShareDisposition = CmResourceShareShared;
  d.Level = d.Vector = line;
}

// Claims the list for the device, starts it, and destroys it on failure.
NTSTATUS ClaimAndStart(CBoardDevice* board, const CM_RESOURCE_LIST* list, bool claim) {
  if (claim) {
    bool conflict = false;
    NTSTATUS status = IoReportResourceUsage(nullptr, board->DeviceObject()->DriverObject, nullptr, 0,
                                            board->DeviceObject(), list, sizeof *list, false, &conflict);
    if (NT_SUCCESS(status) && conflict) status = STATUS_DEVICE_CONFIGURATION_ERROR;
    if (!NT_SUCCESS(status)) {
      board->Destroy();
      return status;
    }
    board->SetLegacyResources(true);
  }
  board->SetResources(list, list);
  NTSTATUS status = board->StartLegacy();
  if (!NT_SUCCESS(status)) board->Destroy();
  return status;
}

// Reads a unit's configuration from its subkey and creates its device.
NTSTATUS StartUnit(QvStartRecord* r, HANDLE parameters, const UNICODE_STRING* subkey) {
  WCHAR keyName[SubkeyNameChars + 1] = {};
  std::memcpy(keyName, subkey->Buffer, subkey->Length);
  UNICODE_STRING rel{subkey->Length, subkey->Length, keyName};
  OBJECT_ATTRIBUTES a;
  InitializeObjectAttributes(&a, &rel, OBJ_CASE_INSENSITIVE, parameters, nullptr);
  HANDLE key;
  if (!NT_SUCCESS(ZwOpenKey(&key, KEY_READ, &a))) {
    KsLogEvent(nullptr, QvEventNoConfiguration, STATUS_SUCCESS, keyName, 0, nullptr);
    return STATUS_UNSUCCESSFUL;
  }
  uint32_t ioAddress = 0, busType = Isa, busNumber = 0, type = 0, got = 0;
  WCHAR name[SubkeyNameChars + 1] = {};
  NTSTATUS status = STATUS_SUCCESS;
  for (auto [value, target] : {std::pair{u"IoAddress", &ioAddress}, {u"BusType", &busType}, {u"BusNumber", &busNumber}}) {
    NTSTATUS s = KsRegReadDword(key, value, target);
    if (!NT_SUCCESS(s) && s != STATUS_OBJECT_NAME_NOT_FOUND) status = s;
  }
  NTSTATUS s = KsRegReadValue(key, u"Name", name, sizeof name - 2, &type, &got);
  if (s == STATUS_OBJECT_NAME_NOT_FOUND) {
    std::memcpy(name, keyName, sizeof keyName);
  } else if (!NT_SUCCESS(s) || type != REG_SZ) {
    status = NT_SUCCESS(s) ? STATUS_OBJECT_TYPE_MISMATCH : s;
  }
  KsRegClose(key);
  if (!NT_SUCCESS(status)) {
    KsLogEvent(nullptr, QvEventNoConfiguration, STATUS_SUCCESS, keyName, 0, nullptr);
    return status;
  }
  if (ioAddress == 0) return STATUS_NO_SUCH_DEVICE;
  bool parallel = ioAddress == ParallelPort1 || ioAddress == ParallelPort2;
  uint32_t boardId = parallel ? BoardIdTkeEpp : BoardIdTke;
  auto* list = static_cast<CM_RESOURCE_LIST*>(KsAllocate(sizeof(CM_RESOURCE_LIST)));
  if (!list) return STATUS_INSUFFICIENT_RESOURCES;
  list->InterfaceType = static_cast<INTERFACE_TYPE>(busType);
  list->BusNumber = busNumber;
  AddPort(list, ioAddress, parallel ? 5 : 8);
  UNICODE_STRING unitName = KsStringOf(name);
  QvStartRecord unit{r->driver, nullptr, nullptr, nullptr, nullptr, list};
  CBoardDevice* board = nullptr;
  // Device and link names come from "Name", not from the stem counters.
  {
    uint16_t chars = static_cast<uint16_t>(unitName.Length / 2 + 9);
    unit.deviceName = KsStringAlloc(chars);
    unit.linkName = KsStringAlloc(chars);
    if (unit.deviceName && unit.linkName) {
      KsStringAppendText(unit.deviceName, u"\\Device\\");
      KsStringAppend(unit.deviceName, &unitName);
      KsStringAppendText(unit.linkName, u"\\??\\");
      KsStringAppend(unit.linkName, &unitName);
      board = CreateBoardDevice(&unit, boardId);
    }
  }
  // The parallel port belongs to the parallel-port driver: no claim.
  status = board ? ClaimAndStart(board, list, !parallel) : STATUS_INSUFFICIENT_RESOURCES;
  QvFreeStartRecord(&unit);
  return status;
}

NTSTATUS StartUnits(QvStartRecord* r) {
  HANDLE parameters;
  NTSTATUS status = KsRegOpenAbsolute(r->parametersPath, &parameters);
  if (status == STATUS_OBJECT_NAME_NOT_FOUND) return STATUS_SUCCESS;
  if (!NT_SUCCESS(status)) {
    KsLogEvent(nullptr, QvEventNoSubkey, status, u"Parameters", 0, nullptr);
    return status;
  }
  constexpr uint32_t InfoBytes = KeyBasicInformationHeader + SubkeyNameChars * 2;
  auto* info = static_cast<KEY_BASIC_INFORMATION*>(KsAllocatePool(PagedPool, InfoBytes));
  if (!info) {
    KsRegClose(parameters);
    return STATUS_INSUFFICIENT_RESOURCES;
  }
  for (uint32_t i = 0;; ++i) {
    uint32_t got = 0;
    status = ZwEnumerateKey(parameters, i, KeyBasicInformation, info, InfoBytes, &got);
    if (status == STATUS_NO_MORE_ENTRIES) {
      status = STATUS_SUCCESS;
      break;
    }
    if (!NT_SUCCESS(status)) {
      KsLogEvent(nullptr, QvEventSubkeyAccess, status, u"Parameters", 0, nullptr);
      break;
    }
    uint32_t bytes = info->NameLength < SubkeyNameChars * 2 ? info->NameLength : SubkeyNameChars * 2;
    UNICODE_STRING subkey{static_cast<uint16_t>(bytes), static_cast<uint16_t>(bytes),
                          reinterpret_cast<WCHAR*>(reinterpret_cast<uint8_t*>(info) + KeyBasicInformationHeader)};
    StartUnit(r, parameters, &subkey);  // a unit that fails is skipped
  }
  KsFree(info);
  KsRegClose(parameters);
  return status;
}

void ListPciResources(const PciMatch& m, const uint8_t* config, CM_RESOURCE_LIST* list) {
  uint32_t bar0 = Get32(config + 0x10), bar1 = Get32(config + 0x14);
  switch (m.resources) {
    case PciResources::DspWindow:
      AddMemory(list, bar0 & ~0xFu, 0x10000);
      AddInterrupt(list, config[0x3C]);
      break;
    case PciResources::HostWindow: AddMemory(list, bar0 & ~0xFu, 0x1000000); break;
    case PciResources::PortPair:
      AddPort(list, bar0 & ~1u, 5);
      AddPort(list, bar1 & ~1u, 3);
      break;
  }
}

// The bus number and a colon (only off bus 0), then the slot, in decimal.
void LocationText(uint32_t bus, uint32_t slot, WCHAR* out, size_t chars) {
  char text[24];
  if (bus)
    std::snprintf(text, sizeof text, "%u:%u", bus, slot);
  else
    std::snprintf(text, sizeof text, "%u", slot);
  size_t i = 0;
  for (; text[i] && i + 1 < chars; ++i) out[i] = static_cast<unsigned char>(text[i]);
  out[i] = 0;
}

void StartPciBoard(QvStartRecord* r, const PciMatch& m, uint32_t bus, uint32_t slot, const uint8_t* config) {
  CM_RESOURCE_LIST list{};
  list.InterfaceType = PCIBus;
  list.BusNumber = bus;
  ListPciResources(m, config, &list);
  QvStartRecord board{r->driver, nullptr, nullptr, nullptr, nullptr, nullptr};
  CBoardDevice* device = CreateBoardDevice(&board, m.boardId);
  QvFreeStartRecord(&board);
  if (!device) return;
  device->SetPciLocation(bus, slot);
  if (!NT_SUCCESS(ClaimAndStart(device, &list, true))) return;
  WCHAR where[24];
  LocationText(bus, slot, where, 24);
  KsLogEvent(nullptr, m.event, STATUS_SUCCESS, where, 64, config);
}

void ScanPci(QvStartRecord* r) {
  for (uint32_t bus = 0; bus < 8; ++bus)
    for (uint32_t slot = 0; slot < 32; ++slot) {
      uint8_t config[64];
      if (HalGetBusDataByOffset(PCIConfiguration, bus, slot, config, 0, sizeof config) != sizeof config) continue;
      for (const auto& m : PciMatches)
        if (Get16(config) == m.vendor && Get16(config + 2) == m.device && Get16(config + 0x2E) == m.subsystem &&
            Get16(config + 0x2C) == m.subsystemVendor) {
          StartPciBoard(r, m, bus, slot, config);
          break;
        }
    }
}
}  // namespace

NTSTATUS QvLegacyStart(QvStartRecord* r) {
  NTSTATUS status = StartUnits(r);
  if (!NT_SUCCESS(status)) return status;
  ScanPci(r);
  return STATUS_SUCCESS;
}
