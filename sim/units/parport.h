// A parallel port of the simulated machine with a recorder unit on its EPP
// cycles, and the system's parallel-port driver that lends such ports to
// other drivers as \Device\ParallelPort<n>.
#pragma once
#include "kernel/km/km.h"
#include "sim/units/hostunit.h"

#include <cstdint>

namespace simunit {

// Eight registers from `base` (data, status, control, EPP address, EPP
// data) and the extended control register block at base + 0x400. EPP
// cycles reach the unit only while the extended control register selects
// EPP mode (bits 5..7 = 100); the status register shows the unit's lines,
// or all ones when no unit is attached.
class ParallelPort {
 public:
  ParallelPort(uint32_t number, uint64_t base, HostUnit* unit, uint8_t ecr = 0x35);
  ~ParallelPort();
  ParallelPort(const ParallelPort&) = delete;
  ParallelPort& operator=(const ParallelPort&) = delete;

  uint32_t Number() const { return m_number; }
  uint64_t Base() const { return m_base; }
  uint8_t Ecr();
  bool Allocated();
  uint32_t InfoHeld();  // information requests not yet released
  // Fault: another driver holds the port, so every try to allocate it fails.
  void AllocatedElsewhere(bool held);
  // Fault: the driver answers the information request with 16 bytes only.
  void ShortInformation(bool shortAnswer);
  bool ShortInformation();

  // The parallel-port driver's side.
  bool TryAllocate();
  void Free();
  void InfoTaken(int delta);

 private:
  struct Registers : simbus::RegisterDevice {
    ParallelPort* port;
    uint32_t Read(uint32_t offset, uint32_t width) override;
    void Write(uint32_t offset, uint32_t width, uint32_t value) override;
  };
  struct Extended : simbus::RegisterDevice {
    ParallelPort* port;
    uint32_t Read(uint32_t offset, uint32_t width) override;
    void Write(uint32_t offset, uint32_t width, uint32_t value) override;
  };
  bool EppMode() const { return (m_ecr & 0xE0) == 0x80; }

  uint32_t m_number;
  uint64_t m_base;
  HostUnit* m_unit;
  Registers m_registers;
  Extended m_extended;
  std::mutex m_lock;
  uint8_t m_data = 0, m_control = 0x0C, m_address = 0;
  uint8_t m_ecr;
  bool m_allocated = false, m_heldElsewhere = false, m_shortInfo = false;
  uint32_t m_infoHeld = 0;

 public:
  DEVICE_OBJECT* m_device = nullptr;  // \Device\ParallelPort<n> while the driver is loaded
};

// The system parallel-port driver: a device \Device\ParallelPort<n> for
// every ParallelPort alive while it is loaded, answering the
// port-information requests; its unload deletes them.
NTSTATUS ParallelPortDriverEntry(DRIVER_OBJECT* driver, const UNICODE_STRING* registryPath);

}  // namespace simunit
