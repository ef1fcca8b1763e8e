// The COM device objects: a board device (IQVDevice, IPersistPropertyBag),
// the device enumerator (IQVDeviceEnum) and the wave object (IQVWave).
#pragma once
#include "Inc/ccom.h"

#include <ocidl.h>
#include <mmsystem.h>
#include <setupapi.h>

#include <cstdint>

extern const CLSID CLSID_QvDevice;       // "Quorvale.Device"
extern const CLSID CLSID_QvMixerDevice;  // "Quorvale.MixerDevice"
extern const CLSID CLSID_QvDeviceEnum;   // "Quorvale.DeviceEnum"
extern const CLSID CLSID_QvWave;         // "Quorvale.Wave"
extern const CLSID CLSID_QvTvrPage;      // "Quorvale.DeviceTvr.Prop"
extern const IID IID_IQVDevice;
extern const IID IID_IQVDeviceEnum;
extern const IID IID_IQVWave;

struct IQVDevice : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Open(LPCWSTR name, DWORD access, DWORD share, DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenInterface(const GUID* interfaceClass, LPCWSTR enumerator) = 0;
  virtual HRESULT STDMETHODCALLTYPE Check(LPCWSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
  virtual HRESULT STDMETHODCALLTYPE IsClosed() = 0;
  virtual HRESULT STDMETHODCALLTYPE Attach(uint32_t* idOut) = 0;  // 3 words
  virtual HRESULT STDMETHODCALLTYPE Detach() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetProperty(DWORD_PTR id, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProperty(DWORD_PTR id, const VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(void* out, DWORD* inOutLength) = 0;
  virtual HRESULT STDMETHODCALLTYPE IoControl(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                                              DWORD* returned, OVERLAPPED* overlapped) = 0;
};

// The board status record of the enumerator.
struct QvBoardStatus {
  uint8_t bytes[60];
};
static_assert(sizeof(QvBoardStatus) == 60);

struct IQVDeviceEnum : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, QvBoardStatus* out, ULONG* fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG n) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IQVDeviceEnum** out) = 0;
};

// The map block: the channel-map header, then (while mapped) the channel
// numbers and later the stream status record, the two pointer arrays and
// the data area. Pointers are of the process's width.
struct QvWaveMapBlock {
  uint8_t sampleSize;  // 2 or 4
  uint8_t inputs;      // low 7 bits count
  uint8_t outputs;     // low 7 bits count
  uint8_t grouped;
  uint32_t frames;     // per channel, 128 to 0x100000 in steps of 128
  uint32_t address;    // 0 from the client; the block's data / due half's array
  union {
    uint8_t channels[32];
    uint32_t status[8];
  };
};
static_assert(sizeof(QvWaveMapBlock) == 44);

struct IQVWaveCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE OnBuffer(QvWaveMapBlock* block) = 0;
};

struct IQVWave : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Map(QvWaveMapBlock* map, void* channelInfoOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChannelInfo(uint8_t board, void* channelInfoOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE Start(IQVWaveCallback* callback) = 0;
  virtual HRESULT STDMETHODCALLTYPE Pause() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE Wait(DWORD milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE MapInput(uint8_t firstChannel, const WAVEFORMATEX* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE MapOutput(uint8_t firstChannel, const WAVEFORMATEX* format) = 0;
};

// The device path of a name: "@device:pnp:" dropped, "\\..." unchanged,
// else "\\.\" (or "\\." before one backslash) in front; cut to 259.
void QvDevicePath(LPCWSTR name, WCHAR* path /* MAX_PATH */);

class CQvDevice : public CCom, public IQVDevice, public IPersistPropertyBag {
 public:
  CQvDevice(IUnknown* outer, const CLSID& clsid, const ComInterfaceEntry* interfaces = Interfaces);
  ~CQvDevice() override;

  // IQVDevice
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Open(LPCWSTR name, DWORD access, DWORD share, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE OpenInterface(const GUID* interfaceClass, LPCWSTR enumerator) override;
  HRESULT STDMETHODCALLTYPE Check(LPCWSTR name) override;
  HRESULT STDMETHODCALLTYPE Close() override;
  HRESULT STDMETHODCALLTYPE IsClosed() override;
  HRESULT STDMETHODCALLTYPE Attach(uint32_t* idOut) override;
  HRESULT STDMETHODCALLTYPE Detach() override;
  HRESULT STDMETHODCALLTYPE GetProperty(DWORD_PTR id, VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE SetProperty(DWORD_PTR id, const VARIANT* value) override;
  HRESULT STDMETHODCALLTYPE GetStatus(void* out, DWORD* inOutLength) override;
  HRESULT STDMETHODCALLTYPE IoControl(DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                                      DWORD* returned, OVERLAPPED* overlapped) override;
  // IPersistPropertyBag
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // Under the lock: the open, the synchronous request, the boot.
  HRESULT OpenLocked(LPCWSTR name, DWORD access, DWORD share, DWORD flags);
  BOOL Request(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned,
               OVERLAPPED* overlapped);
  BOOL Boot(const BYTE* image, DWORD length);
  BOOL BootResource(WORD id, HMODULE module);
  static const ComInterfaceEntry Interfaces[];

  HANDLE m_handle = INVALID_HANDLE_VALUE;
  OVERLAPPED m_overlapped = {};
  LPWSTR m_path = nullptr;
  CLSID m_clsid;
  // The mixer device unit over this board (not counted: the unit holds the
  // device and clears this when it goes).
  class CMixDevUnit* m_unit = nullptr;
};

class CQvDeviceEnum : public CCom, public IQVDeviceEnum {
 public:
  CQvDeviceEnum(IUnknown* outer, IQVDevice* device, ULONG index);
  ~CQvDeviceEnum() override;
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Next(ULONG count, QvBoardStatus* out, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IQVDeviceEnum** out) override;
  static const ComInterfaceEntry Interfaces[];
  IQVDevice* m_device;
  ULONG m_index;
};

class CQvWaveObject : public CQvDevice, public IQVWave {
 public:
  CQvWaveObject(IUnknown* outer, const CLSID& clsid);
  ~CQvWaveObject() override;
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Map(QvWaveMapBlock* map, void* channelInfoOut) override;
  HRESULT STDMETHODCALLTYPE GetChannelInfo(uint8_t board, void* channelInfoOut) override;
  HRESULT STDMETHODCALLTYPE Start(IQVWaveCallback* callback) override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Wait(DWORD milliseconds) override;
  HRESULT STDMETHODCALLTYPE MapInput(uint8_t firstChannel, const WAVEFORMATEX* format) override;
  HRESULT STDMETHODCALLTYPE MapOutput(uint8_t firstChannel, const WAVEFORMATEX* format) override;

  static const ComInterfaceEntry Interfaces[];
  HRESULT MapLocked(QvWaveMapBlock* map, void* info);
  HRESULT OpenWave();
  HRESULT CloseMap();
  HRESULT StopLocked();
  HRESULT StreamLoop();
  static DWORD WINAPI StreamThread(LPVOID self);

  HANDLE m_thread = nullptr;
  IQVWaveCallback* m_callback = nullptr;
  QvWaveMapBlock* m_map = nullptr;
  uint32_t m_previous[3] = {};
  // The pointer array due next (A or B); the other one is at byte 8.
  void** m_other = nullptr;
  void** m_arrayA = nullptr;
  void** m_arrayB = nullptr;
};

// The swap rule of the stream thread: whether the halves swap when the
// position advanced by `delta` frames with a buffer of `frames`.
bool QvWaveHalvesSwap(uint32_t delta, uint32_t frames);

// A device property's VARIANT from a registry value by its type, and the
// registry value of a VARIANT (strings without their terminator).
void ClearPropertyVariant(VARIANT* value);
HRESULT VariantFromRegistry(DWORD type, const BYTE* data, DWORD size, VARIANT* value);
HRESULT RegistryFromVariant(const VARIANT* value, DWORD* type, const BYTE** data, DWORD* size);

// The path (a BSTR the caller frees) of the first present, active interface
// of the class, for the instance of `data` in `set` when given; else null.
BSTR FindDeviceInterface(const GUID* interfaceClass, HDEVINFO set, SP_DEVINFO_DATA* data);

// Create functions and the device class's load hook.
struct QvClassDesc;
IUnknown* CreateQvDevice(const CLSID* clsid, IUnknown* outer, HRESULT* result);
IUnknown* CreateQvDeviceEnum(const CLSID* clsid, IUnknown* outer, HRESULT* result);
IUnknown* CreateQvWaveObject(const CLSID* clsid, IUnknown* outer, HRESULT* result);
class CReporter;
// Installs the library's default reporter: the text reporter when the
// process has a console, else the debug reporter.
void DeviceStartHook(const QvClassDesc* descriptor);
// The default reporter, or null before the device class's start hook ran.
CReporter* QvDefaultReporter();

// The mixer device's board unit: the seam where the board unit objects
// attach (by board id from the status words). Returns S_OK, the request's
// failure, or 0x80070103 for a board without a unit class.
HRESULT CreateMixDevUnit(CQvDevice* device);
// Boots a Corbelle card: its loader (image 105 of `images`, or of this
// library when null), the card's firmware step, then its program (109).
// FALSE with the last error set on failure.
BOOL BootCblImages(CQvDevice* device, HMODULE images);
