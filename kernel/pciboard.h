// The PCI DSP boards: the DSP device class of each family (Tavrion,
// second-generation Tavrion, Corbelle, Mixer I/O, Dunvell) over CDspDevice,
// and the device object of each family with the ring, the interfaces the
// board publishes and the WDM interface's channel limits.
#pragma once
#include "kernel/dspboard.h"

#include <atomic>

class CStrIface;
class CKeGsif;

// One mailbox exchange with the running firmware: n payload words (2 to
// 14), the first two in the record, the rest from `extra`; up to
// `capacity` reply words into `reply`.
struct QvMailbox {
  uint32_t replyBytes;   // out
  uint32_t* reply;
  const uint32_t* extra;
  uint32_t count;        // n
  uint32_t capacity;     // reply words
  uint32_t word0, word1;
};

// The board class: the DSP device of a PCI DSP board, its kind word the
// board id. Requests that reach the board's own command path go through
// PassThroughCommand and BoardRequest. The host interface's routines
// (boot, writers and readers, flush, mailbox, interrupt) live here.
class CPciDsp : public CDspDevice {
 public:
  CPciDsp(CDspBoardDevice* device, uint32_t boardId);
  ~CPciDsp() override;
  void SetOwner(FILE_OBJECT* owner) override;               // 0
  void Stop() override;                                     // 2
  NTSTATUS Request(IRP* irp) override;                      // 3
  NTSTATUS Open(IRP* irp) override;                         // 4
  NTSTATUS Close(IRP* irp) override;                        // 5
  NTSTATUS Boot(const void* image, uint32_t length) override;  // 6
  NTSTATUS Start(const HwRegs& regs, const HwRegs& board) override;  // 7
  NTSTATUS Probe() override;                                // 8: the ready check
  virtual NTSTATUS Command(QvMailbox* m);                   // 9: the stream interface's command
  virtual NTSTATUS BufferCommand(uint32_t code, IRP* irp);  // 10
  virtual uint8_t InterruptStep();                          // 11: the stream engine's step
  virtual void DpcStep();                                   // 12
  virtual uint32_t ControlPoll();                           // 13
  // The device mode record applied to the board (slot 16).
  virtual NTSTATUS ApplyDeviceMode(bool forced);
  // The key of "DeviceMode" and "DeviceConfig" exists and the device mode
  // was read: a board that keeps its own settings there takes them.
  virtual void ModeKeyReady() {}
  uint32_t BoardId() const { return Kind(); }

  // ---- the host interface ----
  uint32_t ReadStatus();
  NTSTATUS BootFirmware(const void* image, uint32_t length);
  NTSTATUS WriteWords(const uint32_t* words, uint32_t count, uint32_t* done);
  NTSTATUS WriteBytes(const uint8_t* bytes, uint32_t count, uint32_t* done);
  NTSTATUS ReadWords(uint32_t* words, uint32_t count, uint32_t* done);
  void Flush();
  NTSTATUS Mailbox(QvMailbox* m);
  uint32_t LogHostRegisters(const WCHAR* source, uint32_t seen);
  // The firmware start of the expansion and Mixer I/O cards (command 0),
  // when the firmware speaks the stream protocol.
  NTSTATUS FirmwareStart(uint32_t commonBuffer);
  // Connects the board's interrupt; the state DPC and the second DPC.
  void InitBoardDpcs();
  static bool BoardIsr(KINTERRUPT* interrupt, void* context);
  static bool BoardIsrDnv(KINTERRUPT* interrupt, void* context);
  static void BoardDpc(KDPC* dpc, void* context, void* arg1, void* arg2);
  CStrIface* Stream() const { return m_stream; }
  void WriteHostCommand(uint32_t value);
  NTSTATUS Stall(uint32_t start) const { return StallCheck(start); }
  void ArmSecondDpc() { m_armSecond = true; }
  int64_t LastInterrupt() const { return m_lastInterrupt; }
  // The host interface's registers, which the stream engine reads at the interrupt.
  const HwRegs& HostRegisters() const { return Registers(); }
  // The stream positions a board's interrupt took from its registers (the
  // Dunvell's), in 24-bit counters; the stream engine reads them in its
  // interrupt step.
  struct BoardPositions {
    uint32_t input, inputBase;
    uint32_t output, outputBase;
    uint32_t third;
  };
  const volatile BoardPositions& Positions() const { return m_positions; }

 protected:
  // The command a pass-through carries, on the worker: BufferCommand.
  virtual NTSTATUS PassThroughCommand(const QvBoardCommand& command, IRP* irp);
  // Queued codes other than pass-through: those of the board family.
  virtual NTSTATUS BoardRequest(IRP* irp);
  // DSPs behind the board's controller (the Dunvell board), else 1.
  virtual uint32_t DspCount() const { return 1; }
  // The host-interface board's own start after the common one.
  virtual NTSTATUS StartBoard() { return STATUS_SUCCESS; }
  NTSTATUS Load(IRP* irp);
  NTSTATUS DspMemory(IRP* irp);
  // Sends a stream command (code, second word 0, parameter words) with a
  // reply capacity; the reply words into `reply`.
  NTSTATUS StreamCommand(uint32_t code, const uint32_t* words, uint32_t count, uint32_t* reply = nullptr,
                         uint32_t capacity = 0, uint32_t* replied = nullptr);

  CStrIface* m_stream = nullptr;
  bool DpcsReady() const { return m_dpcsReady; }

 private:
  NTSTATUS WaitRoom(uint32_t start, uint32_t done, uint32_t* doneOut);
  volatile BoardPositions m_positions{};
  KDPC m_stateDpc{};
  KDPC m_secondDpc{};
  bool m_dpcsReady = false;
  // Set at stop under the interrupt's lock: the interrupt then touches
  // neither the registers nor the streams and queues no DPC.
  bool m_quiet = true;
  // Shared by the interrupt routine and the DPC.
  std::atomic<bool> m_armSecond{false};
  std::atomic<uint8_t> m_lastState{0};
  int64_t m_lastInterrupt = 0;
};

// The families on the DSP host interface.
class CBoardTvr : public CPciDsp {
 public:
  explicit CBoardTvr(CDspBoardDevice* device, uint32_t boardId = BoardIdTvr) : CPciDsp(device, boardId) {}
  NTSTATUS ApplyDeviceMode(bool forced) override;

 protected:
  NTSTATUS StartBoard() override;
  NTSTATUS BoardRequest(IRP* irp) override;
  NTSTATUS ExtQuery(IRP* irp);
  // Command 10 with {rate, rate adjusted by the vari-speed, 0}.
  NTSTATUS RateCommand(uint32_t r);
};

// The second-generation Tavrion: clock words instead of the rate command.
class CBoardTv2 : public CBoardTvr {
 public:
  explicit CBoardTv2(CDspBoardDevice* device) : CBoardTvr(device, BoardIdTv2) {}
  NTSTATUS ApplyDeviceMode(bool forced) override;
  static constexpr uint32_t ClockMask = 0xC0CF1C;

 protected:
  NTSTATUS StartBoard() override { return STATUS_SUCCESS; }
  NTSTATUS BoardRequest(IRP* irp) override;

 private:
  NTSTATUS SetParam(IRP* irp);
  NTSTATUS GetParam(IRP* irp);
  uint32_t m_clock[2] = {0x800060, 0x801060};  // internal, external
  bool m_sent = false;
  uint32_t m_last[3] = {};                      // word, c, h
};

// The Corbelle's expansion link: router matrix, converter and its route
// tables.
struct CblExpansion : KsPoolObject {
  uint32_t flags = 0;        // bit 31 configuration pending, 30 external clock, 29 owner has set, 28 valid
  uint16_t format = 5, subCode = 0;
  uint32_t setting = 0xF0210;
  uint8_t lockMode = 0;
  uint8_t converterMode = 0;
  uint8_t pendingBanks = 0;  // bit per bank 0 to 3
  uint8_t routes[256];       // converter destinations: bits 6..7 bank, 0..5 channel; 0x7F none
  uint8_t lastRoutes[256];
  uint8_t banks[4][64] = {};
  uint8_t bankCount[4] = {};
  struct Entry {
    uint8_t source, flag;    // flag bit 7 changed, bit 6 off
  } matrix[2][416];
  uint32_t applied = 0;      // the setting word last sent
  uint32_t lastConfig[4] = {};
  uint32_t latency[2] = {};
  CblExpansion();
};

class CBoardCbl : public CPciDsp {
 public:
  explicit CBoardCbl(CDspBoardDevice* device) : CPciDsp(device, BoardIdCbl) {}
  ~CBoardCbl() override;
  void SetOwner(FILE_OBJECT* owner) override;
  void Stop() override;
  NTSTATUS Boot(const void* image, uint32_t length) override;
  NTSTATUS ApplyDeviceMode(bool forced) override;
  CblExpansion* Expansion() const { return m_exp; }
  // A route-destination number of the matrix from an entry's type and index.
  static uint32_t Destination(uint8_t type, uint8_t index);

 protected:
  NTSTATUS BoardRequest(IRP* irp) override;

 private:
  NTSTATUS SetRoutes(IRP* irp);
  NTSTATUS SetParam(IRP* irp);
  NTSTATUS GetParam(IRP* irp);
  NTSTATUS ExpSetting(IRP* irp);
  NTSTATUS SendSetting(uint32_t word);
  NTSTATUS SendMatrix();
  NTSTATUS Reconfigure(uint32_t setting);
  NTSTATUS StatusPoll(uint32_t* reply);
  NTSTATUS SendRouteTable();
  NTSTATUS RefreshBanks();
  // Route pairs {destination, source} as batches of ten by command 9.
  NTSTATUS SendPairs(const uint8_t (*pairs)[2], uint32_t count);
  NTSTATUS Batch(const uint8_t (*pairs)[2], uint32_t count);
  CblExpansion* m_exp = nullptr;
};

class CBoardMio : public CBoardTvr {
 public:
  explicit CBoardMio(CDspBoardDevice* device) : CBoardTvr(device, BoardIdMio) {}
  // A pass-through from a handle that does not own the board.
  NTSTATUS NotOwner(uint32_t code, bool otherOwner) const override;
  NTSTATUS Boot(const void* image, uint32_t length) override;
  NTSTATUS ApplyDeviceMode(bool forced) override;

 protected:
  NTSTATUS StartBoard() override { return STATUS_SUCCESS; }
  NTSTATUS BoardRequest(IRP* irp) override { return CPciDsp::BoardRequest(irp); }
};

// The Dunvell's router: two banks of 896 destinations, each entry bits
// 0..9 the source (1023 nothing), bit 14 changed, bit 15 off.
struct DnvRouter : KsPoolObject {
  static constexpr uint32_t Destinations = 896;
  static constexpr uint16_t Unset = 0xC3FF;
  uint16_t bank[2][Destinations];
  DnvRouter() { Reset(); }
  void Reset() {
    for (auto& b : bank)
      for (uint16_t& e : b) e = Unset;
  }
};

// The Dunvell board: a controller reached through a 16-bit control and a
// 16-bit data register, up to four DSPs behind it, its own stream
// commands and its router.
class CBoardDnv : public CPciDsp {
 public:
  explicit CBoardDnv(CDspBoardDevice* device) : CPciDsp(device, BoardIdDnv) {}
  ~CBoardDnv() override;
  NTSTATUS Start(const HwRegs& regs, const HwRegs& board) override;
  void Stop() override;
  NTSTATUS Probe() override;
  NTSTATUS Boot(const void* image, uint32_t length) override;
  NTSTATUS Command(QvMailbox* m) override;
  uint32_t ControlPoll() override { return 1; }
  NTSTATUS ApplyDeviceMode(bool forced) override;
  void ModeKeyReady() override;
  NTSTATUS NotOwner(uint32_t code, bool otherOwner) const override;

  // Registers of the Dunvell's controller interface.
  static constexpr uint32_t BufferAddress = 0, BufferAddress2 = 4, BufferAddressB = 8, BufferAddressB2 = 12;
  static constexpr uint32_t InputPosition = 16, OutputPosition = 20, ThirdPosition = 24;
  static constexpr uint32_t FirmwareId = 32, StreamBlocks = 36, Control = 40, Data = 44, InterruptStatus = 52;
  // A destination number (0..895) of bank 0 or 1 from a route entry's type
  // and index; the caller has checked them.
  static uint32_t Destination(uint32_t bank, uint8_t type, uint8_t index);
  // The controller's short command: header, payload words, reply words.
  bool ShortCommand(uint16_t header, const uint16_t* payload, uint32_t count, uint16_t* reply = nullptr,
                    uint32_t replyCount = 0);
  // A command to a DSP behind the controller: code bits 0..5 the command,
  // 6..7 the DSP, bit 23 a flag; up to 256 payload and reply words.
  NTSTATUS DnvCommand(uint32_t code, const uint32_t* payload, uint32_t count, uint32_t* reply, uint32_t capacity,
                      uint32_t* replied);
  uint8_t ModeByte() const { return m_modeByte; }
  uint16_t LatencyBlocks(int i) const { return m_latency[i & 1]; }
  uint32_t ClockWord() const { return m_clockWord; }
  const uint16_t* BoardInfo() const { return m_info; }
  DnvRouter* Router() const { return m_router; }

 protected:
  uint32_t DspCount() const override;
  NTSTATUS PassThroughCommand(const QvBoardCommand& command, IRP* irp) override;
  NTSTATUS BoardRequest(IRP* irp) override;

 private:
  static constexpr uint8_t NoDsps = 0xD0;  // 0xD1 to 0xD4: one to four DSPs
  bool WaitDone(uint32_t ms);
  void ResetDsp(uint32_t dsp);
  void ClockSetup();
  NTSTATUS RateMessage();
  void ResetBoard();
  NTSTATUS FlashBoot(const uint8_t* image, uint32_t length);
  NTSTATUS DspBoot(const uint8_t* image, uint32_t length);
  NTSTATUS StreamDspCommand(uint32_t dsp, QvMailbox* m);
  NTSTATUS ReadDspWord(uint16_t c, uint32_t* word);
  NTSTATUS GetInfo(IRP* irp);
  NTSTATUS SetParam(IRP* irp);
  NTSTATUS GetParam(IRP* irp);
  NTSTATUS ExpSetting(IRP* irp);
  NTSTATUS SetRoutes(IRP* irp);
  NTSTATUS SendRoutes();
  bool ResetOnError();

  uint8_t m_dspCountByte = NoDsps;
  uint16_t m_info[4] = {};           // the identification's reply words
  uint32_t m_format[2] = {};         // the clock/format words formed at start
  uint32_t m_clockWord = 0;          // the clock/mode word of SET_PARAM
  uint8_t m_modeByte = 0;
  uint16_t m_latency[2] = {};
  uint32_t m_stats[4] = {};
  DnvRouter* m_router = nullptr;
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
  NTSTATUS DispatchCode(IRP* irp, CDspDevice* dsp, bool* handled) override;
  NTSTATUS Identity(IRP* irp, CDspDevice* dsp) override;
  NTSTATUS Pnp(IRP* irp) override;

  CPciDsp* Dsp() const { return static_cast<CPciDsp*>(DefaultDsp()); }
  // The interface whose key holds "DeviceMode" and "DeviceConfig".
  const UNICODE_STRING* ModeLink() const { return m_mixerLink.Buffer ? &m_mixerLink : nullptr; }
  bool GsifOn() const { return m_gsifOn; }
  // The board's GSIF object, made on first use (null without memory), and
  // its interface key.
  CKeGsif* Gsif();
  NTSTATUS GsifKey(HANDLE* key) const;
  // The WDM interface's key.
  NTSTATUS WdmKey(HANDLE* key) const;

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
