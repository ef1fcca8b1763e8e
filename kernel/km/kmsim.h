// Controls of the simulated kernel for tests, the fuzz target and the
// user-mode side: loading the driver, Plug and Play arrivals and removals,
// the registry's contents, the event log, pool accounting and the clock.
#pragma once
#include "kernel/km/km.h"
#include "sim/bus/simbus.h"

#include <optional>
#include <string>
#include <vector>

// The simulated Plug and Play node behind a physical device object.
struct KmDeviceNode {
  simbus::DeviceNode node;
  std::u16string registryPath;  // the node's instance key
  uint32_t invalidatedRelations = 0;
  POWER_STATE power{};
};

namespace km {

// Back to a clean kernel (registry, names, event log, clock, pool counts)
// on a reset bus. No driver may be loaded.
void Reset();

// Ends the DPC and work-item threads once their queues are empty (a process
// that loaded the kernel in a library calls this before it exits); the next
// DPC or work item starts them again.
void StopServiceThreads();
// Fault switch: every DPC, once the DPC thread has taken it, waits this
// long in real time before its routine runs, as one held up behind other
// work on its processor (0: none; Reset clears it).
void DelayDpcs(uint32_t microseconds);

// Virtual time, 100-ns units since start.
int64_t Now();
void Advance(int64_t units);

// Pool: blocks and bytes in use under a tag; a fault switch that makes the
// n-th allocation from now fail (0: the next one; -1: none).
struct PoolUse {
  int64_t blocks;
  int64_t bytes;
};
PoolUse PoolInUse(uint32_t tag);
void FailPoolAfter(int32_t n);
constexpr uint32_t Tag(const char (&t)[5]) {
  return uint32_t(uint8_t(t[0])) | uint32_t(uint8_t(t[1])) << 8 | uint32_t(uint8_t(t[2])) << 16 |
         uint32_t(uint8_t(t[3])) << 24;
}

// Drivers.
using DriverEntryRoutine = NTSTATUS (*)(DRIVER_OBJECT* driver, const UNICODE_STRING* registryPath);
// Runs the entry; on failure the driver object is gone and *driver is null.
NTSTATUS LoadDriver(DriverEntryRoutine entry, const std::u16string& servicePath, DRIVER_OBJECT** driver);
void UnloadDriver(DRIVER_OBJECT* driver);
// Device objects by full name ("\Device\Qvtvr0"), null when none.
DEVICE_OBJECT* FindDevice(const std::u16string& name);
std::u16string LinkTarget(const std::u16string& link);
size_t DeviceCount(DRIVER_OBJECT* driver);

// Device interfaces as the user-mode installer lists them: the index-th
// interface of a class on a present device, in link order; the PDO behind a
// link ("\??\SIM#..."), null when none.
struct InterfaceInfo {
  std::u16string link;      // lower case, "\??\SIM#<n>#{class}"
  std::u16string instance;  // the device's instance id, "SIM\<n>"
  uint32_t token;
  bool enabled;
  DEVICE_OBJECT* pdo;
};
bool DeviceInterfaceAt(const GUID& cls, size_t index, InterfaceInfo* out);
DEVICE_OBJECT* DeviceInterfacePdo(const std::u16string& link);

// Plug and Play: a node arrives (PDO, AddDevice, start), requests to a stack,
// the node leaves (PDO deleted after its remove request).
struct Arrival {
  DEVICE_OBJECT* pdo;
  NTSTATUS addStatus;
  NTSTATUS startStatus;
};
Arrival PnpArrive(DRIVER_OBJECT* driver, const simbus::DeviceNode& node);
NTSTATUS PnpRequest(DEVICE_OBJECT* pdo, uint8_t minor);
std::vector<DEVICE_OBJECT*> PnpBusRelations(DEVICE_OBJECT* pdo, NTSTATUS* status);
void PnpDeleteNode(DEVICE_OBJECT* pdo);
// A PnP request sent to one device object (for a child the driver created).
NTSTATUS PnpSendTo(DEVICE_OBJECT* device, IO_STACK_LOCATION params, uintptr_t* information);
// A power request to the top of a node's stack.
NTSTATUS PowerRequest(DEVICE_OBJECT* pdo, uint8_t minor, POWER_STATE_TYPE type, POWER_STATE state);

// Registry under absolute paths ("\Registry\Machine\...").
void RegWrite(const std::u16string& path, const std::u16string& name, uint32_t type, const void* data,
              uint32_t size);
void RegWriteDword(const std::u16string& path, const std::u16string& name, uint32_t value);
void RegCreateKey(const std::u16string& path);
bool RegKeyExists(const std::u16string& path);
std::optional<uint32_t> RegReadDword(const std::u16string& path, const std::u16string& name);
std::optional<std::u16string> RegReadString(const std::u16string& path, const std::u16string& name);

// The event log.
struct LogEntry {
  uint32_t code;
  NTSTATUS status;
  uint16_t category;
  std::u16string text;
  std::vector<uint8_t> dump;
  void* object;
};
// The log holds this many bytes of entries (header, text and data each) and
// then drops its oldest ones, as a log of fixed size that wraps.
constexpr size_t EventLogCapacity = 512 * 1024;
std::vector<LogEntry> EventLog();
void ClearEventLog();

// Interrupts of the simulated machine: runs every routine connected to the vector.
void RaiseInterrupt(uint32_t vector);
// Resource claims made through IoReportResourceUsage, as owner count.
size_t ResourceClaims();

// Views of physical memory mapped into the process and not yet unmapped.
size_t ViewCount();
// DMA adapters and common buffers handed out and not yet given back.
size_t DmaAdapterCount();
size_t CommonBufferCount();

std::u16string Lower(std::u16string s);
std::u16string U16(const char* ascii);

}  // namespace km
