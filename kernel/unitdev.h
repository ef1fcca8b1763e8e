// The device objects of the recorder units behind host ports: the unit on
// I/O ports, the two-unit PCI card and the unit on a system parallel port.
// Each binds its handles to a DSP device and serves queued requests on its
// worker thread.
#pragma once
#include "kernel/dspdevice.h"
#include "kernel/epplink.h"
#include "kernel/qvdev.h"

class CUnitDevice : public CBoardDevice {
 public:
  CUnitDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
              uint32_t number);
  ~CUnitDevice() override;

  NTSTATUS CreateHook(IRP* irp) override;  // binds the handle to a unit
  NTSTATUS Create(IRP* irp) override;
  NTSTATUS Close(IRP* irp) override;
  NTSTATUS Cleanup(IRP* irp) override;
  NTSTATUS DeviceControl(IRP* irp) override;
  NTSTATUS StartHardware() override;
  void Stop() override;

  // Unit n's DSP device, null when the card has no such unit.
  CDspDevice* UnitDsp(uint32_t n) { return n < m_units ? &m_dsp[n] : nullptr; }
  static bool HasUnits(uint32_t boardId);

 private:
  static void Thread(void* context);
  void StopWorker();
  NTSTATUS Identity(IRP* irp, CDspDevice* dsp);
  // The DSP device's open and close, with the parallel-port link of the
  // EPP unit around them; under the DSP device's mutex.
  NTSTATUS OpenDsp(CDspDevice* dsp, IRP* irp);
  void CloseDsp(CDspDevice* dsp, IRP* irp);

  KsQueue m_queue;
  KEVENT m_wake;
  KsThread m_worker{};
  uint32_t m_units;
  PortLink m_link;
  uint32_t m_portNumber = 0;      // EPP: n of \Device\ParallelPort<n>
  bool m_portCounted = false;     // EPP: the number came from the driver-wide count
  EppLink m_epp{};
  CDspDevice m_dsp[2];
};
