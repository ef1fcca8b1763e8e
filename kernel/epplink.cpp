// Parallel-port links of the EPP recorder units.
#include "kernel/epplink.h"

#include "kernel/services.h"

namespace {
constexpr uintptr_t SystemPort0 = 0x378, SystemPort1 = 0x278;
constexpr uint32_t CountedPorts = 2;
constexpr uint32_t EcrOffset = 0x402;
constexpr uint8_t EcrEppMode = 0x80;
// The PCI card's own extended control register, in its second port range.
constexpr uint32_t CardEcrOffset = 2;
constexpr uint8_t CardEcrEppMode = 0x81;
// Ports the system's parallel-port driver names, \Device\ParallelPort0 up.
constexpr uint32_t MaxParallelPorts = 10;

// Ports handed out by number to units without a port resource.
uint32_t g_countedTaken;  // bit n: number n taken

bool SystemPort(uintptr_t a) { return a == SystemPort0 || a == SystemPort1; }

// A write of the register passes through 0 first, each write read back, as
// the chip wants between mode changes.
void EcrSet(const HwRegs& port, uint8_t value) {
  HwWrite8(port, EcrOffset, 0);
  HwRead8(port, EcrOffset);
  HwWrite8(port, EcrOffset, value);
  HwRead8(port, EcrOffset);
}

void ReleaseInfo(EppLink* link) {
  KsSendIoctl(link->port, IOCTL_INTERNAL_RELEASE_PARALLEL_PORT_INFO, nullptr, 0, nullptr, 0, true, nullptr);
}
}  // namespace

NTSTATUS EppPortNumber(bool hasResource, uintptr_t base, uint32_t* number, bool* counted) {
  *counted = false;
  if (hasResource) {
    if (!SystemPort(base)) return STATUS_DEVICE_CONFIGURATION_ERROR;
    *number = base == SystemPort0 ? 0 : 1;
    return STATUS_SUCCESS;
  }
  for (uint32_t n = 0; n < CountedPorts; ++n) {
    if (g_countedTaken & (1u << n)) continue;
    g_countedTaken |= 1u << n;
    *number = n;
    *counted = true;
    return STATUS_SUCCESS;
  }
  return STATUS_DEVICE_CONFIGURATION_ERROR;
}

void EppPortRelease(uint32_t number) {
  if (number < CountedPorts) g_countedTaken &= ~(1u << number);
}

namespace {
// Opens port n's object and fetches its information; on failure nothing is
// kept.
NTSTATUS OpenNumbered(EppLink* link, uint32_t number) {
  *link = {};
  WCHAR text[24] = {};
  UNICODE_STRING name{0, sizeof text - 2, text};
  KsStringAppendText(&name, u"ParallelPort");
  KsStringAppendNumber(&name, number, 10);
  NTSTATUS status = KsOpenDevice(text, FILE_READ_DATA, &link->file, &link->port);
  if (!NT_SUCCESS(status)) {
    *link = {};
    return status;
  }
  uintptr_t got = 0;
  status = KsSendIoctl(link->port, IOCTL_INTERNAL_GET_PARALLEL_PORT_INFO, nullptr, 0, &link->info,
                       sizeof link->info, true, &got);
  if (NT_SUCCESS(status) && (got < sizeof link->info || !link->info.TryAllocatePort || !link->info.FreePort)) {
    // An answer without the routines cannot lend the port.
    ReleaseInfo(link);
    status = STATUS_DEVICE_CONFIGURATION_ERROR;
  }
  if (!NT_SUCCESS(status)) {
    ObDereferenceObject(link->file);
    *link = {};
  }
  return status;
}

void Drop(EppLink* link) {
  ReleaseInfo(link);
  ObDereferenceObject(link->file);
  *link = {};
}

// Allocates the opened port and, on a system port, switches it to EPP mode
// with its extended control register saved.
NTSTATUS Borrow(EppLink* link) {
  if (!link->info.TryAllocatePort(link->info.Context)) {
    Drop(link);
    return STATUS_DEVICE_BUSY;
  }
  HwRegs port = EppLinkRegisters(*link);
  if (SystemPort(port.base)) {
    link->ecr = HwRead8(port, EcrOffset);
    link->ecrSaved = true;
    EcrSet(port, EcrEppMode);
  }
  return STATUS_SUCCESS;
}
}  // namespace

NTSTATUS EppLinkOpen(EppLink* link, uint32_t number) {
  NTSTATUS status = OpenNumbered(link, number);
  return NT_SUCCESS(status) ? Borrow(link) : status;
}

NTSTATUS EppLinkOpenController(EppLink* link, uintptr_t controller) {
  for (uint32_t n = 0; n < MaxParallelPorts; ++n) {
    if (!NT_SUCCESS(OpenNumbered(link, n))) continue;
    if (reinterpret_cast<uintptr_t>(link->info.Controller) == controller) return Borrow(link);
    Drop(link);
  }
  return STATUS_OBJECT_NAME_NOT_FOUND;
}

void EppCardEppMode(const HwRegs& extended) { HwWrite8(extended, CardEcrOffset, CardEcrEppMode); }

void EppLinkClose(EppLink* link) {
  if (!link->file) return;
  if (link->ecrSaved) EcrSet(EppLinkRegisters(*link), link->ecr);
  link->info.FreePort(link->info.Context);
  ReleaseInfo(link);
  ObDereferenceObject(link->file);
  *link = {};
}

HwRegs EppLinkRegisters(const EppLink& link) {
  return HwRegs{reinterpret_cast<uintptr_t>(link.info.Controller), true};
}
