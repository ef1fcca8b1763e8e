// The device objects that carry DSP devices: a handle is bound to one DSP
// device at open, requests the caller's thread may not wait for go to the
// object's worker thread, which carries them out one at a time under the
// DSP device's mutex. Base of the recorder-unit devices and of the PCI DSP
// boards.
#pragma once
#include "kernel/dspdevice.h"
#include "kernel/qvdev.h"

class CDspBoardDevice : public CBoardDevice {
 public:
  CDspBoardDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
                  uint32_t number);
  ~CDspBoardDevice() override;

  NTSTATUS CreateHook(IRP* irp) override;  // binds the handle to a DSP device
  NTSTATUS Create(IRP* irp) override;
  NTSTATUS Close(IRP* irp) override;
  NTSTATUS Cleanup(IRP* irp) override;
  NTSTATUS DeviceControl(IRP* irp) override;

  // The DSP device handles are bound to unless the class binds by name.
  CDspDevice* DefaultDsp() const { return m_default; }
  // Unit n's DSP device, null when there is no such unit.
  virtual CDspDevice* UnitDsp(uint32_t n) { return n == 0 ? m_default : nullptr; }
  static CDspDevice* DspOf(FILE_OBJECT* file) {
    return file ? static_cast<CDspDevice*>(file->FsContext2) : nullptr;
  }

 protected:
  void SetDefaultDsp(CDspDevice* dsp) { m_default = dsp; }
  // The DSP device a new handle is bound to; null refuses the name.
  virtual CDspDevice* BindDsp(FILE_OBJECT* file);
  // The DSP device's open and close for a handle, under its mutex.
  virtual NTSTATUS OpenDsp(CDspDevice* dsp, IRP* irp) { return dsp->Open(irp); }
  virtual void CloseDsp(CDspDevice* dsp, IRP* irp) { dsp->Close(irp); }
  // The identity words of GET_ID and GET_STATUS.
  virtual NTSTATUS Identity(IRP* irp, CDspDevice* dsp);
  // Codes a class answers on the dispatch path itself (the board-memory
  // handle of the two-unit card); *handled false for every other code.
  virtual NTSTATUS DispatchCode(IRP* irp, CDspDevice* dsp, bool* handled) {
    *handled = false;
    return STATUS_SUCCESS;
  }

 private:
  static void Thread(void* context);
  void StopWorker();

  KsQueue m_queue;
  KEVENT m_wake;
  KsThread m_worker{};
  CDspDevice* m_default = nullptr;
};
