// The mixer device list of a mixer graph: one unit object per board that
// offers the mixer device interface, kept in name order, the graph's rate
// record and clock source, arrival and removal of boards, and the clock
// thread whose timer drives the units' periodic job.
#pragma once
#include "Drv/QvMixDev/mixdev_core.h"
#include "Drv/Qvcom/qvdevice.h"
#include "Drv/Qvdrv/jobqueue.h"
#include "Inc/ccom.h"

#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>
#include <strmif.h>

extern const GUID GUID_QvMixerDeviceClass;  // {5AC6EFF0-4264-11D2-AC7F-00A024CFC258}

constexpr UINT WM_QV_SETRATE = 0x8602;  // wParam: source unit, lParam: rate record

// What the list asks of the graph that owns it.
class CMixGraphHost {
 public:
  virtual HWND GraphWindow() = 0;
  virtual void LockGraph() = 0;
  virtual void UnlockGraph() = 0;
  virtual HRESULT StopGraph() = 0;                        // stops streaming for a clock change
  virtual void SetGraphClock(IReferenceClock* clock) = 0;  // the new sync source, or none
  virtual void GraphClockChanged() = 0;                   // EC_CLOCK_CHANGED to the graph's event sink
  virtual HWND TreeWindow() = 0;                          // the attached device tree, or null
};

// What a unit tells its rate listeners.
struct IQVRateSink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reserved1() = 0;
  virtual HRESULT STDMETHODCALLTYPE Reserved2() = 0;
  virtual HRESULT STDMETHODCALLTYPE RateApplied(const qvmix::RateRecord* record) = 0;  // operation 3
};

// The common base of the board unit objects.
class CMixDevUnit : public CCom, public IReferenceClock, public qvmix::RateUnit {
 public:
  CMixDevUnit(IUnknown* outer, CQvDevice* device, CMixGraphHost* host, const qvmix::ChannelEntry* channelTemplate,
              HRESULT* result, const ComInterfaceEntry* interfaces = Interfaces);
  ~CMixDevUnit() override;
  CCOM_DELEGATING_UNKNOWN

  // IReferenceClock: the high-resolution clock; timed advice is not offered.
  HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* time) override;
  HRESULT STDMETHODCALLTYPE AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) override;
  HRESULT STDMETHODCALLTYPE AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD_PTR cookie) override;

  // The board's own operations, given by each unit class. By default the
  // first activation acquires the device and the stop (at the last
  // deactivation, or while the graph is suspended) gives it up; a run of an
  // active unit after a stop acquires it again.
  virtual HRESULT StartUnit() { return Acquire(m_clockSource); }
  virtual void StopUnit() { DetachDevice(); }
  virtual void RunUnit() { Acquire(m_clockSource); }
  // The board's rate operation: the record through the unit's format.
  virtual HRESULT DeviceRate(const qvmix::RateRecord& record);
  virtual void OnRateChanged() {}
  // The periodic status poll of the board.
  virtual HRESULT Poll() { return S_OK; }
  // Brings what the unit knows of its board up to date.
  virtual HRESULT Refresh() { return S_OK; }
  // The rate the board reports; S_OK with the claim bit set makes it a
  // candidate for the clock.
  virtual HRESULT ReportedRate(qvmix::RateRecord* record) {
    (void)record;
    return E_NOTIMPL;
  }

  // qvmix::RateUnit
  bool IsActive() override { return m_active.Count() > 0; }
  int32_t Activate() override;
  void Deactivate() override;
  int32_t ApplyRate(const qvmix::RateRecord& record) override;
  void RateChanged() override { OnRateChanged(); }

  HRESULT Acquire(bool clockSource);
  HRESULT DetachDevice();
  HRESULT SendDeviceMode(const uint32_t mode[3]);
  // The unit's current format: its device-mode record {rate, vari-speed,
  // flags}. Get: S_FALSE (and zeros) while none is known. Set keeps it and,
  // while the unit is active, sends it to the board; with `rateOnly` only
  // its rate is known and sent (the board keeps its other words).
  virtual HRESULT GetFormat(uint32_t mode[3]);
  virtual HRESULT SetFormat(const uint32_t mode[3], bool rateOnly = false);
  HRESULT AdviseSink(IQVRateSink* sink, DWORD_PTR* cookie);
  HRESULT CheckSelection(const qvmix::Selection* request, qvmix::Selection* selection);
  HMENU BuildChannelMenu(const qvmix::Selection& request, const POINT* position);
  HRESULT FormatSourceName(int entry, int form, wchar_t* out, size_t size);

  virtual void AddToTree(HTREEITEM after);
  virtual void RemoveFromTree();
  void UpdateTreeCheck();

  const wchar_t* Name() const { return m_name; }
  // The graph's lock, or the unit's own while no graph holds the unit.
  void HostLock() { m_host ? m_host->LockGraph() : CCom::Lock(); }
  void HostUnlock() { m_host ? m_host->UnlockGraph() : CCom::Unlock(); }

  static const ComInterfaceEntry Interfaces[];

  CMixDevUnit* m_next = nullptr;  // the list's link
  CQvDevice* m_device;
  CMixGraphHost* m_host;
  wchar_t m_name[64] = {};
  uint8_t m_unitIndex = 0;
  qvmix::ActiveCount m_active;
  bool m_online = false;
  uint8_t m_status[180] = {};
  qvmix::ChannelEntry m_channels[qvmix::kChannelEntries] = {};
  uint8_t m_channelInfo[4] = {};
  qvmix::Selection m_selection = {};
  uint32_t m_mode[3] = {};
  bool m_haveMode = false;
  IQVRateSink** m_sinks = nullptr;
  uint32_t m_sinkCount = 0, m_sinkCapacity = 0;
  HTREEITEM m_item = nullptr, m_serialItem = nullptr;
  uint32_t m_serialLow = 0, m_serialHigh = 0;
  DWORD m_flags = 0;  // bit 31: the unit is used
  bool m_clockSource = false;
  bool m_holdsDevice = false;  // false when the device aggregates the unit
};

// "G%X%06X" with its check nibble; FALSE when a half is beyond 24 bits.
BOOL FormatUnitSerial(DWORD low, DWORD high, char* out /* 16 */);
// HKEY_LOCAL_MACHINE\Software\Quorvale\Units\<high><low>[\subkey]; an error code.
LONG OpenUnitKey(DWORD low, DWORD high, LPCSTR subkey, HKEY* key);

// The timer's job: at most one queued at a time.
class CPeriodicJob : public CJob, public CJobOwner {
 public:
  CJob* WINAPI FirstJob(ULONG_PTR) override { return this; }
  void WINAPI JobsDone(ULONG_PTR, DWORD) override { m_gate.Done(); }
  qvmix::TickGate m_gate;
};

class CMixDevList;
// The list's own periodic job: every unit polls its board.
class CPollJob : public CPeriodicJob {
 public:
  void WINAPI Run() override;
  CMixDevList* m_list = nullptr;
};

class CMixDevList : public CJobQueue, public qvmix::RateGraph {
 public:
  // enumerate: FALSE leaves the device set closed (an empty list).
  explicit CMixDevList(CMixGraphHost* host, BOOL enumerate = TRUE);
  ~CMixDevList() override;

  DWORD WINAPI ApcWait() override;  // the clock thread

  BOOL RegisterNotify(HWND window);
  BOOL OnDeviceChange(WPARAM event, LPARAM data);
  CMixDevUnit* FindUnit(DWORD serial);
  LONG Run();
  LONG Stop();
  void Close();
  HRESULT SetRate(CMixDevUnit* source, const qvmix::RateRecord* record);
  HRESULT ApplyRate(CMixDevUnit* source, const qvmix::RateRecord& record);
  // Adds a unit made elsewhere: the name order, the clock election, the tree.
  void AddUnit(CMixDevUnit* unit);
  HRESULT AddDevice(LPCWSTR path, DWORD serial);
  void ReadRate();
  void SelectClock();  // after the master unit changed
  IReferenceClock* Clock() { return m_clock; }

  // qvmix::RateGraph
  int32_t StopStreaming() override { return m_host->StopGraph(); }
  void SetSyncSource(qvmix::RateUnit* source) override;
  void ClockChanged() override { m_host->GraphClockChanged(); }

  // Timer start (an APC to the clock thread) and the timer's APC.
  static void CALLBACK StartTimer(ULONG_PTR list);
  static void CALLBACK TimerTick(LPVOID list, DWORD, DWORD);
  BOOL QueueTimerStart();

  CMixGraphHost* m_host;
  HANDLE m_stopEvent, m_queueEvent, m_regEvent, m_timer;
  HKEY m_mmKey = nullptr;
  bool m_enumerated = false;  // the device installer answered
  HDEVNOTIFY m_notify = nullptr;
  CMixDevUnit* m_head = nullptr;
  CMixDevUnit* m_master = nullptr;
  IReferenceClock* m_clock = nullptr;
  qvmix::RateState m_rate;
  CPeriodicJob* m_periodic = nullptr;
  CPollJob m_poll;
  char m_modulePath[MAX_PATH] = {};
  bool m_running = false;
};
