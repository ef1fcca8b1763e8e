// The ASIO driver interface as its published description gives it (slot
// order, records, codes), and the driver object "Quorvale.Asio" over a
// CQvWave stream of the wave device or of one board.
#pragma once
#include "Drv/Qvcom/asiocore.h"
#include "Drv/Qvdrv/qvdrv.h"
#include "Inc/ccom.h"

#include <ocidl.h>

#include <cstdint>

// ---- the published interface -----------------------------------------------

typedef int32_t ASIOBool;
typedef int32_t ASIOError;
typedef double ASIOSampleRate;
typedef int32_t ASIOSampleType;

enum : ASIOError {
  ASE_OK = 0,
  ASE_SUCCESS = 0x3F4847A0,
  ASE_NotPresent = -1000,
  ASE_HWMalfunction = -999,
  ASE_InvalidParameter = -998,
  ASE_InvalidMode = -997,
  ASE_SPNotAdvancing = -996,
  ASE_NoClock = -995,
  ASE_NoMemory = -994,
};
enum : ASIOBool { ASIOFalse = 0, ASIOTrue = 1 };
enum : ASIOSampleType { ASIOSTInt16LSB = 16, ASIOSTInt32LSB = 18 };

// Selectors of asioMessage (host side) and of future (driver side).
enum : int32_t {
  kAsioSelectorSupported = 1,
  kAsioEngineVersion = 2,
  kAsioResetRequest = 3,
  kAsioBufferSizeChange = 4,
  kAsioResyncRequest = 5,
  kAsioLatenciesChanged = 6,
  kAsioSupportsTimeInfo = 7,
  kAsioSupportsTimeCode = 8,
};
enum : int32_t {
  kAsioEnableTimeCodeRead = 1,
  kAsioDisableTimeCodeRead = 2,
  kAsioSetInputMonitor = 3,
  kAsioCanInputMonitor = 9,
  kAsioCanTimeInfo = 10,
  kAsioCanTimeCode = 11,
};
// Time-info and time-code flags.
enum : uint32_t {
  kSystemTimeValid = 1,
  kSamplePositionValid = 2,
  kSampleRateValid = 4,
  kSpeedValid = 8,
  kSampleRateChanged = 16,
  kClockSourceChanged = 32,
};
enum : uint32_t { kTcValid = 1, kTcRunning = 2 };

#pragma pack(push, 4)
struct ASIOSamples {
  uint32_t hi, lo;
};
struct ASIOTimeStamp {
  uint32_t hi, lo;
};
struct ASIOClockSource {
  int32_t index;
  int32_t associatedChannel;
  int32_t associatedGroup;
  ASIOBool isCurrentSource;
  char name[32];
};
struct ASIOChannelInfo {
  int32_t channel;
  ASIOBool isInput;
  ASIOBool isActive;
  int32_t channelGroup;
  ASIOSampleType type;
  char name[32];
};
struct ASIOBufferInfo {
  ASIOBool isInput;
  int32_t channelNum;
  void* buffers[2];
};
struct AsioTimeInfo {
  double speed;
  ASIOTimeStamp systemTime;
  ASIOSamples samplePosition;
  ASIOSampleRate sampleRate;
  uint32_t flags;
  char reserved[12];
};
struct ASIOTimeCode {
  double speed;
  ASIOSamples timeCodeSamples;
  uint32_t flags;
  char future[64];
};
struct ASIOTime {
  int32_t reserved[4];
  AsioTimeInfo timeInfo;
  ASIOTimeCode timeCode;
};
struct ASIOInputMonitor {
  int32_t input;  // -1: all inputs
  int32_t output;
  int32_t gain;   // 0 to 0x7FFFFFFF, 0x20000000 is 0 dB
  ASIOBool state;
  int32_t pan;    // 0 left to 0x7FFFFFFF right
};
struct ASIOCallbacks {
  void (*bufferSwitch)(int32_t index, ASIOBool directProcess);
  void (*sampleRateDidChange)(ASIOSampleRate rate);
  int32_t (*asioMessage)(int32_t selector, int32_t value, void* message, double* opt);
  ASIOTime* (*bufferSwitchTimeInfo)(ASIOTime* params, int32_t index, ASIOBool directProcess);
};
#pragma pack(pop)
static_assert(sizeof(AsioTimeInfo) == 48 && sizeof(ASIOTime) == 148);
static_assert(sizeof(ASIOChannelInfo) == 52 && sizeof(ASIOClockSource) == 48);

// The driver methods use the compiler's member-call convention, as hosts
// built against the published description expect.
struct IASIO : public IUnknown {
  virtual ASIOBool init(void* sysHandle) = 0;
  virtual void getDriverName(char* name) = 0;  // 32 bytes
  virtual int32_t getDriverVersion() = 0;
  virtual void getErrorMessage(char* text) = 0;  // 124 bytes
  virtual ASIOError start() = 0;
  virtual ASIOError stop() = 0;
  virtual ASIOError getChannels(int32_t* inputs, int32_t* outputs) = 0;
  virtual ASIOError getLatencies(int32_t* input, int32_t* output) = 0;
  virtual ASIOError getBufferSize(int32_t* minSize, int32_t* maxSize, int32_t* preferred, int32_t* granularity) = 0;
  virtual ASIOError canSampleRate(ASIOSampleRate rate) = 0;
  virtual ASIOError getSampleRate(ASIOSampleRate* rate) = 0;
  virtual ASIOError setSampleRate(ASIOSampleRate rate) = 0;
  virtual ASIOError getClockSources(ASIOClockSource* clocks, int32_t* count) = 0;
  virtual ASIOError setClockSource(int32_t reference) = 0;
  virtual ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) = 0;
  virtual ASIOError getChannelInfo(ASIOChannelInfo* info) = 0;
  virtual ASIOError createBuffers(ASIOBufferInfo* infos, int32_t count, int32_t size, ASIOCallbacks* callbacks) = 0;
  virtual ASIOError disposeBuffers() = 0;
  virtual ASIOError controlPanel() = 0;
  virtual ASIOError future(int32_t selector, void* argument) = 0;
  virtual ASIOError outputReady() = 0;
};

// ---- the driver's settings interface -----------------------------------------

extern const CLSID CLSID_QvAsio;      // "Quorvale.Asio"
extern const CLSID CLSID_QvAsioPage;  // "Quorvale.Asio.Prop"
extern const IID IID_IQvAsioSettings;

struct IQvAsioSettings : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSampleType(DWORD* type) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSampleType(DWORD type) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetBufferSize(DWORD* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBufferSize(DWORD size) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetOutputMap(BYTE* map) = 0;  // 32 bytes
  virtual HRESULT STDMETHODCALLTYPE SetOutputMap(const BYTE* map) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetInputMap(BYTE* map) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInputMap(const BYTE* map) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDevice(DWORD* device) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDevice(DWORD device) = 0;
};

// ---- the driver object ---------------------------------------------------------

class CQvAsio;

// The stream part: its block callback runs the host's buffer switch.
class CQvAsioWave : public CQvWave {
 public:
  explicit CQvAsioWave(CQvAsio* owner) : m_owner(owner) {}
  BOOL WINAPI Block() override;
  CQvAsio* m_owner;
};

class CQvAsio : public CCom, public IASIO, public IQvAsioSettings, public ISpecifyPropertyPages {
 public:
  explicit CQvAsio(IUnknown* outer);
  ~CQvAsio() override;
  CCOM_DELEGATING_UNKNOWN

  // IASIO
  ASIOBool init(void* sysHandle) override;
  void getDriverName(char* name) override;
  int32_t getDriverVersion() override;
  void getErrorMessage(char* text) override;
  ASIOError start() override;
  ASIOError stop() override;
  ASIOError getChannels(int32_t* inputs, int32_t* outputs) override;
  ASIOError getLatencies(int32_t* input, int32_t* output) override;
  ASIOError getBufferSize(int32_t* minSize, int32_t* maxSize, int32_t* preferred, int32_t* granularity) override;
  ASIOError canSampleRate(ASIOSampleRate rate) override;
  ASIOError getSampleRate(ASIOSampleRate* rate) override;
  ASIOError setSampleRate(ASIOSampleRate rate) override;
  ASIOError getClockSources(ASIOClockSource* clocks, int32_t* count) override;
  ASIOError setClockSource(int32_t reference) override;
  ASIOError getSamplePosition(ASIOSamples* position, ASIOTimeStamp* stamp) override;
  ASIOError getChannelInfo(ASIOChannelInfo* info) override;
  ASIOError createBuffers(ASIOBufferInfo* infos, int32_t count, int32_t size, ASIOCallbacks* callbacks) override;
  ASIOError disposeBuffers() override;
  ASIOError controlPanel() override;
  ASIOError future(int32_t selector, void* argument) override;
  ASIOError outputReady() override;

  // IQvAsioSettings
  HRESULT STDMETHODCALLTYPE GetSampleType(DWORD* type) override;
  HRESULT STDMETHODCALLTYPE SetSampleType(DWORD type) override;
  HRESULT STDMETHODCALLTYPE GetBufferSize(DWORD* size) override;
  HRESULT STDMETHODCALLTYPE SetBufferSize(DWORD size) override;
  HRESULT STDMETHODCALLTYPE GetOutputMap(BYTE* map) override;
  HRESULT STDMETHODCALLTYPE SetOutputMap(const BYTE* map) override;
  HRESULT STDMETHODCALLTYPE GetInputMap(BYTE* map) override;
  HRESULT STDMETHODCALLTYPE SetInputMap(const BYTE* map) override;
  HRESULT STDMETHODCALLTYPE GetDevice(DWORD* device) override;
  HRESULT STDMETHODCALLTYPE SetDevice(DWORD device) override;

  // ISpecifyPropertyPages
  HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pages) override;

  static const ComInterfaceEntry Interfaces[];

  // The block callback of the stream part.
  BOOL OnBlock(const DWORD* block);
  bool HasDevice() const { return m_wave.m_device != INVALID_HANDLE_VALUE; }
  // The board name part of a device channel ("HRL Quorvale ASIO" when no
  // board holds it).
  void BoardNameOf(uint32_t deviceChannel, bool input, char* name, size_t size);
  void SetError(const char* format, ...);

  CQvAsioWave m_wave;
  ASIOCallbacks* m_callbacks = nullptr;
  ASIOTime m_time = {};
  uint32_t m_features = 0;  // bit 0 time info, bit 1 time-code reading on, bit 2 time code
  uint32_t m_switches = 0;  // buffer-switch counter
  uint64_t m_position = 0;  // samples handed to the host so far
  HWND m_host = nullptr;
  uint32_t m_bufferSize = 64;
  uint8_t* m_memory = nullptr;
  const char* m_deviceName = nullptr;
  uint8_t m_inputOffset = 0, m_outputOffset = 0;
  uint8_t m_inputs = 0, m_outputs = 0;
  uint32_t m_inputLatency = 0, m_outputLatency = 0;
  uint64_t m_timeCodeStop = 0;  // ns, 0 when none
  uint8_t m_inputTable[AsioMaxChannels] = {};
  uint8_t m_outputTable[AsioMaxChannels] = {};
  uint8_t m_ordinal = 0;  // family ordinal of the opened board, 0xFF all boards
  // The device channels of the created buffers, in stream order.
  uint8_t m_streamInputs[AsioStreamChannels] = {}, m_streamOutputs[AsioStreamChannels] = {};
  uint8_t m_streamInputCount = 0, m_streamOutputCount = 0;
  char m_error[128] = {};
};

IUnknown* CreateQvAsio(const CLSID* clsid, IUnknown* outer, HRESULT* result);
IUnknown* CreateQvAsioPage(const CLSID* clsid, IUnknown* outer, HRESULT* result);
struct QvClassDesc;
struct QvRegContext;
void AsioStartHook(const QvClassDesc* descriptor);
void AsioEndHook(const QvClassDesc* descriptor);
HRESULT RegisterAsio(QvRegContext* context);

// The settings key's location and the process-wide words, for the tests.
constexpr char AsioSettingsKey[] = "Software\\Asio\\Quorvale ASIO";
// Closes the process's settings key so that the next object opens it again.
void AsioCloseSettings();
