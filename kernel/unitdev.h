// The device objects of the recorder units behind host ports: the unit on
// I/O ports, the two-unit PCI card, and the units on a system parallel port
// or on a PCI parallel-port card.
#pragma once
#include "kernel/dspboard.h"
#include "kernel/epplink.h"

class CUnitDevice : public CDspBoardDevice {
 public:
  CUnitDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
              uint32_t number);
  ~CUnitDevice() override;

  NTSTATUS StartHardware() override;
  void Stop() override;

  CDspDevice* UnitDsp(uint32_t n) override { return n < m_units ? &m_dsp[n] : nullptr; }
  static bool HasUnits(uint32_t boardId);

  // The two-unit card's first memory range, as the board-memory handle maps it.
  struct MemoryRange {
    uint64_t physical;
    uint32_t length;
    uint32_t interfaceType;
  };
  bool FirstMemoryRange(MemoryRange* range) const;

 protected:
  CDspDevice* BindDsp(FILE_OBJECT* file) override;
  NTSTATUS OpenDsp(CDspDevice* dsp, IRP* irp) override;
  void CloseDsp(CDspDevice* dsp, IRP* irp) override;
  NTSTATUS DispatchCode(IRP* irp, CDspDevice* dsp, bool* handled) override;

 private:
  bool OnParallelPort() const { return m_link == PortLink::Epp; }

  uint32_t m_units;
  PortLink m_link;
  bool m_pciCard;                 // EPP: the port of a PCI parallel-port card
  uintptr_t m_cardPort = 0;       // EPP on a PCI card: its port's registers
  uint32_t m_portNumber = 0;      // EPP on a system port: n of \Device\ParallelPort<n>
  bool m_portCounted = false;     // EPP: the number came from the driver-wide count
  EppLink m_epp{};
  CDspDevice m_dsp[2];
};
