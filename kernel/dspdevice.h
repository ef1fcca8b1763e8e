// CDspDevice: the DSP of one recorder unit behind a host port. Owner,
// time-out, link, kind word, mutex, port and movers; the codes all DSP
// units share; host commands and block transfers; linked units and the
// group command.
#pragma once
#include "kernel/hostport.h"
#include "kernel/services.h"

class CUnitDevice;

class CDspDevice {
 public:
  CDspDevice(CUnitDevice* device, PortLink link, uint32_t unit);
  CDspDevice(const CDspDevice&) = delete;
  CDspDevice& operator=(const CDspDevice&) = delete;
  virtual void SetOwner(FILE_OBJECT* owner);          // 0
  virtual ~CDspDevice();                              // 1
  virtual void Stop();                                // 2
  virtual NTSTATUS Request(IRP* irp);                 // 3: DspCommandIoctl
  virtual NTSTATUS Open(IRP* irp);                    // 4
  virtual NTSTATUS Close(IRP* irp);                   // 5
  virtual NTSTATUS Boot(const void* image, uint32_t length);  // 6
  virtual NTSTATUS Start(const HwRegs& regs, const HwRegs& board);  // 7
  virtual NTSTATUS Probe();                           // 8

  CUnitDevice* Device() const { return m_device; }
  FILE_OBJECT* Owner() const { return m_owner; }
  uint32_t Kind() const { return m_kind; }
  uint32_t Timeout() const { return m_timeout; }
  bool Linked() const { return m_link != nullptr; }
  uint32_t Unit() const { return m_unit; }
  void Lock();
  void Unlock();

  // The codes every DSP unit answers on the dispatch path; others
  // STATUS_INVALID_DEVICE_REQUEST.
  NTSTATUS DspDeviceIoctl(IRP* irp);
  NTSTATUS DspCommandIoctl(IRP* irp);

  static constexpr uint32_t DefaultTimeout = 2000;
  static constexpr uint32_t MaxTimeout = 60000;

 private:
  NTSTATUS Link(IRP* irp);
  NTSTATUS PassThrough(IRP* irp, uint32_t code);
  NTSTATUS IssueCommand(uint32_t vector);
  NTSTATUS WaitCommandReady();
  NTSTATUS TransferLoop(bool write, uint32_t format, uint8_t* buffer, uint32_t length, uint32_t* done);
  NTSTATUS GroupCommand(uint32_t vector);
  // The time-out rule between tries: STATUS_IO_TIMEOUT once the stall
  // reaches the time-out; a sleep of 1 ms after its first 2 ms.
  NTSTATUS StallCheck(uint32_t start) const;

  CDspDevice* m_next = nullptr;   // the driver-wide list
  CUnitDevice* m_device;
  FILE_OBJECT* m_owner = nullptr;
  uint32_t m_timeout = DefaultTimeout;
  CDspDevice* m_link = nullptr;   // the cookie: a master's address
  uint32_t m_kind = 0;
  KMUTEX m_mutex;
  HostPort m_port{};
  HwRegs m_regs{};                // the port's mapped range; base 0 when none
  HwRegs m_board{};
  PortLink m_linkKind;
  uint32_t m_unit;                // 0 or 1 on the two-unit card
  friend class CDspList;
};
