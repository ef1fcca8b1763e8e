// The driver Qvdev: start-up, the board table, board devices, the wave
// device and the WDM child device.
#pragma once
#include "kernel/kedevice.h"
#include "kernel/protocol.h"

// ---- event-log message ids -----------------------------------------------------------

constexpr uint32_t QvEventFatalException = 0xC0060004;
constexpr uint32_t QvEventNoConfiguration = 0xC0060065;
constexpr uint32_t QvEventNoDevice = 0xC0060066;
constexpr uint32_t QvEventNoLink = 0xC0060067;
constexpr uint32_t QvEventNoSubkey = 0xC0060069;
constexpr uint32_t QvEventSubkeyAccess = 0xC006006A;
constexpr uint32_t QvEventIoctlFailed = 0xC006006C;
constexpr uint32_t QvEventTimeout = 0xC0040009;
constexpr uint32_t QvEventReset = 0xC0040013;

// ---- the board table -------------------------------------------------------------------


struct BoardRow {
  uint32_t boardId;
  const WCHAR* productName;
  const WCHAR* hardwareId;  // PnP hardware id prefix, or service name
};
constexpr int BoardTableRows = 10;
extern const BoardRow BoardTable[BoardTableRows];
// The row that decides a node's first hardware id, or null.
const BoardRow* MatchHardwareId(const UNICODE_STRING* firstId);
const BoardRow* BoardRowOf(uint32_t boardId);
bool IsPciDspBoard(uint32_t boardId);

// ---- start-up ------------------------------------------------------------------------------

// One per DriverEntry and per AddDevice call; freed at the end of the call.
struct QvStartRecord {
  DRIVER_OBJECT* driver;
  DEVICE_OBJECT* pdo;               // PnP only
  UNICODE_STRING* parametersPath;   // the service key path + "\Parameters"
  UNICODE_STRING* deviceName;       // \Device\... being built
  UNICODE_STRING* linkName;         // \??\... being built
  CM_RESOURCE_LIST* legacyList;     // NT 4 only
};
void QvFreeStartRecord(QvStartRecord* r);
// The name counters start again at 0 with each load of the driver.
void QvResetCounters();

NTSTATUS DriverEntry(DRIVER_OBJECT* driver, const UNICODE_STRING* registryPath);
NTSTATUS AddDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* pdo);
void DriverUnload(DRIVER_OBJECT* driver);
NTSTATUS QvLegacyStart(QvStartRecord* r);

class CBoardDevice;
class CWaveDevice;
CBoardDevice* CreateBoardDevice(QvStartRecord* r, uint32_t boardId);
NTSTATUS CreateWaveDevice(QvStartRecord* r);
// Makes the wave device again after it was retired (a board's start).
NTSTATUS QvEnsureWaveDevice(DRIVER_OBJECT* driver);

// Driver-wide state.
extern uint32_t g_QvMajorVersion;
extern UNICODE_STRING* g_QvRegistryPath;  // the service key, kept for AddDevice
extern CWaveDevice* g_QvWave;
extern uint32_t g_QvBusCounter;           // names of WDM child devices

// ---- board devices ---------------------------------------------------------------------------

class CBoardDevice : public CKeDevice {
 public:
  CBoardDevice(DEVICE_OBJECT* device, DEVICE_OBJECT* pdo, DEVICE_OBJECT* lower, const BoardRow* row,
               uint32_t number);
  ~CBoardDevice() override;

  NTSTATUS Start(IRP* irp) override;
  void Stop() override;
  NTSTATUS DeviceControl(IRP* irp) override;

  uint32_t BoardId() const { return m_row->boardId; }
  const BoardRow* Row() const { return m_row; }
  uint32_t Number() const { return m_number; }
  // The identity words of IOCTL_QV_GET_ID: version, DSP program word, kind word.
  virtual void IdentityWords(uint32_t words[3]) const;
  // The part of the board's channels offered to the system: the first
  // channel index and the count (all: 0xFFFFFFFF).
  virtual void MediaLimits(uint32_t* index, uint32_t* count) {
    *index = 0;
    *count = 0xFFFFFFFF;
  }

  // Resources: a legacy start sets them before StartLegacy; a PnP start
  // takes them from the start request.
  void SetResources(const CM_RESOURCE_LIST* raw, const CM_RESOURCE_LIST* translated);
  uint32_t PciSlot() const { return m_pciSlot; }
  const CM_RESOURCE_LIST& RawResources() const { return m_raw; }
  const CM_RESOURCE_LIST& TranslatedResources() const { return m_translated; }
  NTSTATUS StartLegacy();
  // The hardware behind the device, once its resources are known.
  virtual NTSTATUS StartHardware() { return STATUS_SUCCESS; }
  bool ConnectBoardInterrupt(PKSERVICE_ROUTINE routine, void* context);
  void* MapRegisterWindow(uint32_t n, uint32_t* length);
  // Port and memory ranges among the resources.
  uint32_t RegisterWindowCount() const;
  bool PciConfigRead(uint32_t offset, void* buffer, uint32_t length);
  bool PciConfigWrite(uint32_t offset, const void* buffer, uint32_t length);
  void SetPciLocation(uint32_t bus, uint32_t slot) {
    m_pciBus = bus;
    m_pciSlot = slot;
  }

  // The board's interfaces on or off (PCI DSP boards): the WDM interface is
  // on while `on`, the board has inputs and "EnableWdm" (created as 1 when
  // missing) is not 0. A change creates the child device or marks it gone,
  // and has the bus relations asked for again.
  virtual NTSTATUS SetInterfaces(bool on);
  void SetChannels(uint32_t inputs, uint32_t outputs);
  void ForgetChild() {
    m_child = nullptr;
    m_wdmOn = false;
  }
  class CWdmChild* Child() const { return m_child; }
  bool WdmOn() const { return m_wdmOn; }
  uint32_t Inputs() const { return m_inputs; }
  uint32_t Outputs() const { return m_outputs; }

  // The ring of PCI DSP boards, in the order they started.
  CBoardDevice* RingNext() const { return m_ringNext; }
  uint32_t FirstInput() const { return m_firstInput; }
  uint32_t FirstOutput() const { return m_firstOutput; }
  // The board's connected interrupt, null when none is.
  KINTERRUPT* BoardInterrupt() const { return m_interrupt; }

 private:
  void JoinRing();
  void LeaveRing();
  void ReleaseResources();

  const BoardRow* m_row;
  uint32_t m_number;
  CM_RESOURCE_LIST m_raw{};
  CM_RESOURCE_LIST m_translated{};
  uint32_t m_pciBus = 0;
  uint32_t m_pciSlot = 0;
  KINTERRUPT* m_interrupt = nullptr;
  static constexpr uint32_t MaxWindows = 4;
  void* m_windows[MaxWindows] = {};
  uint32_t m_windowLengths[MaxWindows] = {};
  uint32_t m_inputs = 0;
  uint32_t m_outputs = 0;
  uint32_t m_firstInput = 0;
  uint32_t m_firstOutput = 0;
  bool m_inRing = false;
  CBoardDevice* m_ringNext = nullptr;
  class CWdmChild* m_child = nullptr;
  bool m_wdmOn = false;  // the WDM interface's state
};

// The first board of the ring, null when none; changed under the wave
// device's mutex when it exists.
extern CBoardDevice* g_QvRingHead;
CBoardDevice* QvRingBoard(uint32_t n);

// Answers IOCTL_QV_GET_NAME: the name as ANSI text with its terminating zero.
NTSTATUS QvAnswerName(IRP* irp, const UNICODE_STRING* name);

// ---- the wave device -------------------------------------------------------------------------

class CWaveDevice : public CKeDevice {
 public:
  CWaveDevice(DEVICE_OBJECT* device, const UNICODE_STRING* parametersPath);
  ~CWaveDevice() override;
  NTSTATUS Start(IRP* irp) override;
  void Stop() override;
  NTSTATUS DeviceControl(IRP* irp) override;

  uint32_t SampleRate() const { return m_sampleRate; }
  uint32_t VariSpeed() const { return m_variSpeed; }
  uint32_t FrameWord() const { return m_frameWord; }
  // New values a board reports: kept here and written to the parameters key
  // and to the machine-wide multimedia key ("VariSpeed" as 16 bits,
  // "FrameRate" as its low 16 bits and only when they are not 0).
  void StoreRates(uint32_t sampleRate, uint32_t variSpeed, uint32_t frameWord);

 private:
  NTSTATUS BoardIdentity(IRP* irp);
  NTSTATUS StreamMap(IRP* irp);
  NTSTATUS ChannelQuery(IRP* irp, uint32_t in);
  HANDLE m_parameters = nullptr;
  uint32_t m_sampleRate = 44100;
  uint32_t m_variSpeed = 0;
  uint32_t m_frameWord = 25025;
};

// ---- the child device for the WDM driver ------------------------------------------------------

class CWdmChild : public CKeDevice {
 public:
  CWdmChild(DEVICE_OBJECT* device, CBoardDevice* parent, uint32_t busNumber);
  ~CWdmChild() override;
  NTSTATUS Pnp(IRP* irp) override;

  virtual NTSTATUS Capabilities(IRP* irp);     // 13
  virtual NTSTATUS DeviceRelations(IRP* irp);  // 14
  virtual NTSTATUS DeviceText(IRP* irp);       // 15
  virtual NTSTATUS QueryId(IRP* irp);          // 16
  uint32_t BusNumber() const { return m_busNumber; }
  CBoardDevice* Board() const { return m_board; }

 private:
  NTSTATUS ForwardToParent(IRP* irp);
  CBoardDevice* m_board;
  uint32_t m_busNumber;  // its kept name is Qvbus<n>
};
