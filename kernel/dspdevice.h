// CDspDevice: the DSP of one recorder unit behind a host port, and the base
// of the PCI boards' DSP devices. Owner, time-out, link, kind word, mutex,
// port and movers; the codes all DSP units share; host commands and block
// transfers; linked units and the group command.
#pragma once
#include "kernel/hostport.h"
#include "kernel/services.h"

class CDspBoardDevice;

class CDspDevice {
 public:
  CDspDevice(CDspBoardDevice* device, PortLink link, uint32_t unit);
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

  CDspBoardDevice* Device() const { return m_device; }
  FILE_OBJECT* Owner() const { return m_owner; }
  uint32_t Kind() const { return m_kind; }
  uint32_t Timeout() const { return m_timeout; }
  bool Linked() const { return m_link != nullptr; }
  uint32_t Unit() const { return m_unit; }
  // The version word of the program the DSP runs, 0 when none is known.
  uint32_t ProgramWord() const { return m_programWord; }
  // The answer to an owner-only code from a handle that does not own the
  // unit: STATUS_DEVICE_BUSY when another handle does, else
  // STATUS_INVALID_DEVICE_STATE.
  virtual NTSTATUS NotOwner(uint32_t code, bool otherOwner) const;
  void Lock();
  void Unlock();

  // The codes every DSP unit answers on the dispatch path; others
  // STATUS_INVALID_DEVICE_REQUEST.
  NTSTATUS DspDeviceIoctl(IRP* irp);
  NTSTATUS DspCommandIoctl(IRP* irp);

  static constexpr uint32_t DefaultTimeout = 2000;
  static constexpr uint32_t MaxTimeout = 60000;

 protected:
  // The board classes: the kind word holds the board id from the start.
  void SetKind(uint32_t kind) { m_kind = kind; }
  void SetProgramWord(uint32_t word) { m_programWord = word; }
  const HwRegs& Registers() const { return m_regs; }
  // The time-out rule between tries: STATUS_IO_TIMEOUT once the stall
  // reaches the time-out; a sleep of 1 ms after its first 2 ms.
  NTSTATUS StallCheck(uint32_t start) const;

 private:
  NTSTATUS Link(IRP* irp);
  NTSTATUS PassThrough(IRP* irp, uint32_t code);
  NTSTATUS IssueCommand(uint32_t vector);
  NTSTATUS WaitCommandReady();
  NTSTATUS TransferLoop(bool write, uint32_t format, uint8_t* buffer, uint32_t length, uint32_t* done);
  NTSTATUS GroupCommand(uint32_t vector);

  CDspDevice* m_next = nullptr;   // the driver-wide list
  CDspBoardDevice* m_device;
  FILE_OBJECT* m_owner = nullptr;
  uint32_t m_timeout = DefaultTimeout;
  CDspDevice* m_link = nullptr;   // the cookie: a master's address
  uint32_t m_kind = 0;
  uint32_t m_programWord = 0;
  KMUTEX m_mutex;
  HostPort m_port{};
  HwRegs m_regs{};                // the port's mapped range; base 0 when none
  HwRegs m_board{};
  PortLink m_linkKind;
  uint32_t m_unit;                // 0 or 1 on the two-unit card
  friend class CDspList;
};
