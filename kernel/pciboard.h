// The PCI DSP boards: the DSP device class of each family (Tavrion,
// second-generation Tavrion, Corbelle, Mixer I/O, Dunvell) over CDspDevice,
// and the device object of each family with the ring, the interfaces the
// board publishes and the WDM interface's channel limits.
#pragma once
#include "kernel/dspboard.h"

// The board class: the DSP device of a PCI DSP board, its kind word the
// board id. Requests that reach the board's own command path go through
// PassThroughCommand and BoardRequest.
class CPciDsp : public CDspDevice {
 public:
  CPciDsp(CDspBoardDevice* device, uint32_t boardId);
  NTSTATUS Request(IRP* irp) override;                      // 3
  NTSTATUS Open(IRP* irp) override;                         // 4
  NTSTATUS Close(IRP* irp) override;                        // 5
  NTSTATUS Boot(const void* image, uint32_t length) override;  // 6
  NTSTATUS Start(const HwRegs& regs, const HwRegs& board) override;  // 7
  NTSTATUS Probe() override;                                // 8: the ready check
  uint32_t BoardId() const { return Kind(); }

 protected:
  // The command a pass-through carries, on the worker: the board's command
  // path is not served yet, so every command is refused.
  virtual NTSTATUS PassThroughCommand(const QvBoardCommand& command, IRP* irp);
  // Queued codes other than pass-through: those of the board family.
  virtual NTSTATUS BoardRequest(IRP* irp);
  // DSPs behind the board's controller (the Dunvell board), else 1.
  virtual uint32_t DspCount() const { return 1; }
};

// The families on the DSP host interface.
class CBoardTvr : public CPciDsp {
 public:
  explicit CBoardTvr(CDspBoardDevice* device) : CPciDsp(device, BoardIdTvr) {}
};
class CBoardTv2 : public CPciDsp {
 public:
  explicit CBoardTv2(CDspBoardDevice* device) : CPciDsp(device, BoardIdTv2) {}
};
class CBoardCbl : public CPciDsp {
 public:
  explicit CBoardCbl(CDspBoardDevice* device) : CPciDsp(device, BoardIdCbl) {}
};
class CBoardMio : public CPciDsp {
 public:
  explicit CBoardMio(CDspBoardDevice* device) : CPciDsp(device, BoardIdMio) {}
  // A pass-through from a handle that does not own the board.
  NTSTATUS NotOwner(uint32_t code, bool otherOwner) const override;
};
class CBoardDnv : public CPciDsp {
 public:
  explicit CBoardDnv(CDspBoardDevice* device) : CPciDsp(device, BoardIdDnv) {}
  NTSTATUS Probe() override;
  NTSTATUS NotOwner(uint32_t code, bool otherOwner) const override;

 protected:
  uint32_t DspCount() const override;
  // The board has no DSP program loader and no converter unit.
  NTSTATUS BoardRequest(IRP* irp) override;

 private:
  static constexpr uint8_t NoDsps = 0xD0;  // 0xD1 to 0xD4: one to four DSPs
  uint8_t m_dspCountByte = NoDsps;
};

// The device object of a PCI DSP board.
class CPciBoardDevice : public CDspBoardDevice {
 public:
  CPciBoardDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
                  uint32_t number);
  ~CPciBoardDevice() override;

  NTSTATUS Start(IRP* irp) override;
  void Stop() override;
  NTSTATUS StartHardware() override;
  NTSTATUS SetInterfaces(bool on) override;
  void IdentityWords(uint32_t words[3]) const override;
  void MediaLimits(uint32_t* index, uint32_t* count) override;

  CPciDsp* Dsp() const { return static_cast<CPciDsp*>(DefaultDsp()); }
  bool GsifOn() const { return m_gsifOn; }

 private:
  // The board's device interfaces, where the system offers them.
  void RegisterInterfaces();
  void SetGsif(bool wanted);
  UNICODE_STRING m_mixerLink{};  // the mixer-device interface
  UNICODE_STRING m_wdmLink{};    // the WDM interface, whose key holds the channel limits
  UNICODE_STRING m_gsifLink{};
  bool m_gsifOn = false;
  CKsInterfacePtr m_gsif;        // the GSIF object, released when the interface goes off
};

// One class per family, each embedding its board's DSP device.
template <class Board> class CPciBoardOf : public CPciBoardDevice {
 public:
  CPciBoardOf(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
              uint32_t number)
      : CPciBoardDevice(device, pdo, lower, row, number), m_board(this) {
    SetDefaultDsp(&m_board);
  }

 private:
  Board m_board;
};
using CTvrDevice = CPciBoardOf<CBoardTvr>;
using CTv2Device = CPciBoardOf<CBoardTv2>;
using CCblDevice = CPciBoardOf<CBoardCbl>;
using CMioDevice = CPciBoardOf<CBoardMio>;
using CDnvDevice = CPciBoardOf<CBoardDnv>;

// Creates the device object class of a PCI DSP board in place; the size
// of its extension.
CBoardDevice* NewPciBoard(void* extension, DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower,
                          const BoardRow* row, uint32_t number);
uint32_t PciBoardSize(uint32_t boardId);

extern const GUID GUID_QvWdmInterface;
extern const GUID CLSID_QvMixerDevice;
extern const GUID GUID_QvGsifInterface;
