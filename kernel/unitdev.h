// The device objects of the recorder units behind host ports: the unit on
// I/O ports and the two-unit PCI card. Each binds its handles to a DSP
// device and serves queued requests on its worker thread.
#pragma once
#include "kernel/dspdevice.h"
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

  KsQueue m_queue;
  KEVENT m_wake;
  KsThread m_worker{};
  uint32_t m_units;
  CDspDevice m_dsp[2];
};
