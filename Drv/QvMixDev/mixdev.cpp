// The mixer device list, its units' common base and the clock thread.
#include "Drv/QvMixDev/mixdev.h"

#include "Drv/Qvdrv/deviceio.h"
#include "Drv/Qvdrv/qvdrv.h"
#include "Inc/base.h"
#include "kernel/protocol.h"

#include <dbt.h>
#include <mmsystem.h>

#include <cstdio>
#include <cwchar>

using qvmix::RateRecord;

const GUID GUID_QvMixerDeviceClass = {0x5AC6EFF0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

namespace {
const char kSource[] = "P:\\Drv\\QvMixDev\\QvMixDev.cpp";

HRESULT PointerFault(const char* what, unsigned line) {
  AssertFailed(what, kSource, line);
  return E_POINTER;
}
}  // namespace

// ---- the unit base ----

const ComInterfaceEntry CMixDevUnit::Interfaces[] = {
    {&IID_IReferenceClock, ComOffset<CMixDevUnit, IReferenceClock>()},
    {nullptr, 0},
};

CMixDevUnit::CMixDevUnit(IUnknown* outer, CQvDevice* device, CMixGraphHost* host,
                         const qvmix::ChannelEntry* channelTemplate, HRESULT* result,
                         const ComInterfaceEntry* interfaces)
    : CCom(outer, 4000, interfaces), m_device(device), m_host(host) {
  timeBeginPeriod(1);
  if (!device) {
    *result = PointerFault("pDevice", __LINE__);
    return;
  }
  // A unit aggregated by its device lives inside it and holds no reference.
  m_holdsDevice = outer != device->Unknown();
  if (m_holdsDevice) device->Unknown()->AddRef();
  device->m_unit = this;
  if (channelTemplate) memcpy(m_channels, channelTemplate, sizeof m_channels);
  uint32_t id = 0;
  m_online = SUCCEEDED(device->Attach(&id));
  VARIANT name;
  VariantInit(&name);
  HRESULT hr = device->GetProperty(12, &name);
  if (SUCCEEDED(hr) && name.vt == VT_BSTR && name.bstrVal) {
    wcsncpy(m_name, name.bstrVal, 63);
    size_t n = wcslen(m_name);
    if (n) m_unitIndex = static_cast<uint8_t>(m_name[n - 1] - L'1');
  }
  VariantClear(&name);
  if (SUCCEEDED(hr)) {
    DWORD length = sizeof m_status;
    hr = device->IoControl(IOCTL_QV_GET_STATUS, nullptr, 0, m_status, length, &length, nullptr);
  }
  if (SUCCEEDED(hr)) {
    uint8_t info[36] = {};
    DWORD length = 0;
    hr = device->IoControl(IOCTL_QV_WAVE_MAP, nullptr, 0, info, sizeof info, &length, nullptr);
    if (SUCCEEDED(hr)) memcpy(m_channelInfo, info, 4);
  }
  *result = hr;
}

CMixDevUnit::~CMixDevUnit() {
  for (uint32_t i = 0; i < m_sinkCount; ++i) m_sinks[i]->Release();
  delete[] m_sinks;
  if (m_device) {
    if (m_device->m_unit == this) m_device->m_unit = nullptr;
    if (m_holdsDevice) m_device->Unknown()->Release();
  }
  timeEndPeriod(1);
}

HRESULT STDMETHODCALLTYPE CMixDevUnit::GetTime(REFERENCE_TIME* time) {
  if (!time) return PointerFault("pTime", __LINE__);
  *time = static_cast<REFERENCE_TIME>(CSysTime::Timer());
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixDevUnit::AdviseTime(REFERENCE_TIME, REFERENCE_TIME, HEVENT, DWORD_PTR*) {
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE CMixDevUnit::AdvisePeriodic(REFERENCE_TIME, REFERENCE_TIME, HSEMAPHORE, DWORD_PTR*) {
  return E_NOTIMPL;
}

// The rate sinks share IReferenceClock's Unadvise: a cookie is a sink.
HRESULT STDMETHODCALLTYPE CMixDevUnit::Unadvise(DWORD_PTR cookie) {
  if (!cookie) return static_cast<HRESULT>(0x80040200);
  Lock();
  HRESULT hr = static_cast<HRESULT>(0x80040200);
  for (uint32_t i = 0; i < m_sinkCount; ++i) {
    if (reinterpret_cast<DWORD_PTR>(m_sinks[i]) != cookie) continue;
    IQVRateSink* sink = m_sinks[i];
    memmove(m_sinks + i, m_sinks + i + 1, (m_sinkCount - i - 1) * sizeof *m_sinks);
    if (--m_sinkCount == 0) {
      delete[] m_sinks;
      m_sinks = nullptr;
      m_sinkCapacity = 0;
    }
    sink->Release();
    hr = S_OK;
    break;
  }
  Unlock();
  return hr;
}

HRESULT CMixDevUnit::AdviseSink(IQVRateSink* sink, DWORD_PTR* cookie) {
  if (!sink) return PointerFault("pSink", __LINE__);
  if (!cookie) return PointerFault("pdwCookie", __LINE__);
  Lock();
  if (m_sinkCount == m_sinkCapacity) {
    auto* grown = new (std::nothrow) IQVRateSink*[m_sinkCapacity + 4];
    if (!grown) {
      Unlock();
      return E_OUTOFMEMORY;
    }
    if (m_sinks) memcpy(grown, m_sinks, m_sinkCount * sizeof *m_sinks);
    delete[] m_sinks;
    m_sinks = grown;
    m_sinkCapacity += 4;
  }
  sink->AddRef();
  m_sinks[m_sinkCount++] = sink;
  *cookie = reinterpret_cast<DWORD_PTR>(sink);
  Unlock();
  return S_OK;
}

int32_t CMixDevUnit::Activate() {
  HostLock();
  bool first = false;
  HRESULT hr = m_active.Activate([this] { return StartUnit(); }, &first);
  if (first && m_item) UpdateTreeCheck();
  HostUnlock();
  return hr;
}

void CMixDevUnit::Deactivate() {
  HostLock();
  if (m_active.Deactivate()) {
    if (m_item) UpdateTreeCheck();
    StopUnit();
  }
  HostUnlock();
}

HRESULT CMixDevUnit::Acquire(bool clockSource) {
  HostLock();
  uint32_t id = 0;
  HRESULT hr = m_device->Attach(&id);
  if (SUCCEEDED(hr) && m_haveMode) {
    uint32_t mode[3] = {m_mode[0], m_mode[1], m_mode[2] | (clockSource ? qvmix::kClaimBit : 0)};
    hr = SendDeviceMode(mode);
    if (FAILED(hr)) m_device->Detach();
  }
  HostUnlock();
  return hr;
}

HRESULT CMixDevUnit::DetachDevice() {
  HostLock();
  HRESULT hr = m_device->Detach();
  HostUnlock();
  return hr;
}

HRESULT CMixDevUnit::SendDeviceMode(const uint32_t mode[3]) {
  if (!mode) return PointerFault("pMode", __LINE__);
  uint32_t in[3] = {mode[0], mode[1], mode[2]};
  return m_device->IoControl(IOCTL_QV_DEVICE_MODE, in, sizeof in, nullptr, 0, nullptr, nullptr);
}

// Unknown until set, the format is asked of the board (its current device
// mode) once.
HRESULT CMixDevUnit::GetFormat(uint32_t mode[3]) {
  if (!mode) return PointerFault("pMode", __LINE__);
  HostLock();
  if (!m_haveMode) {
    uint32_t board[3] = {};
    DWORD got = 0;
    if (SUCCEEDED(m_device->IoControl(IOCTL_QV_DEVICE_MODE, nullptr, 0, board, sizeof board, &got, nullptr)) &&
        got == sizeof board) {
      board[2] &= ~qvmix::kClaimBit;  // the unit adds the claim when it is the clock
      memcpy(m_mode, board, sizeof m_mode);
      m_haveMode = true;
    }
  }
  memcpy(mode, m_mode, sizeof m_mode);
  bool known = m_haveMode;
  HostUnlock();
  return known ? S_OK : S_FALSE;
}

// The graph's rate record as the board's device mode: rate, vari-speed and
// frame-rate code, the mode's other flag bits kept.
HRESULT CMixDevUnit::DeviceRate(const RateRecord& record) {
  uint32_t mode[3] = {};
  GetFormat(mode);
  mode[0] = record.sampleRate;
  mode[1] = record.variSpeed;
  mode[2] = (mode[2] & 0x7FFF0000u) | (record.frameRate & 0xFFFFu);
  return SetFormat(mode);
}

HRESULT CMixDevUnit::SetFormat(const uint32_t mode[3], bool rateOnly) {
  if (!mode) return PointerFault("pMode", __LINE__);
  HostLock();
  HRESULT hr = S_OK;
  if (rateOnly) {
    m_mode[0] = mode[0];
    if (IsActive()) hr = m_device->IoControl(IOCTL_QV_DEVICE_MODE, m_mode, 4, nullptr, 0, nullptr, nullptr);
  } else {
    memcpy(m_mode, mode, sizeof m_mode);
    m_haveMode = true;
    if (IsActive()) {
      uint32_t sent[3] = {m_mode[0], m_mode[1], m_mode[2] | (m_clockSource ? qvmix::kClaimBit : 0)};
      hr = SendDeviceMode(sent);
    }
  }
  HostUnlock();
  return hr;
}

int32_t CMixDevUnit::ApplyRate(const RateRecord& record) {
  HRESULT hr = DeviceRate(record);
  if (FAILED(hr)) return hr;
  HostLock();
  for (uint32_t i = 0; i < m_sinkCount; ++i) m_sinks[i]->RateApplied(&record);
  HostUnlock();
  return hr;
}

HRESULT CMixDevUnit::CheckSelection(const qvmix::Selection* request, qvmix::Selection* selection) {
  if (!request) return PointerFault("pRequest", __LINE__);
  if (!selection) return PointerFault("pSelection", __LINE__);
  return qvmix::CheckSelection(m_channels, request, selection);
}

HMENU CMixDevUnit::BuildChannelMenu(const qvmix::Selection& request, const POINT* position) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  int checked = -1, n = 0;
  for (const qvmix::MenuItem& item : qvmix::ChannelMenuItems(m_channels, request, m_selection)) {
    wchar_t text[32];
    unsigned entry = item.id >> 8, first = item.id & 0xFF;
    qvmix::FormatGroupName(static_cast<int>(entry), 1, first, request.count < 2 ? 1 : 2, text, 32);
    UINT flags = MF_STRING | (item.checked ? MF_CHECKED : 0) | (item.columnBreak ? MF_MENUBARBREAK : 0);
    AppendMenuW(menu, flags, item.id, text);
    if (item.checked) checked = n;
    ++n;
  }
  // The menu opens with its checked item under the position.
  if (position && checked >= 0) {
    auto* p = const_cast<POINT*>(position);
    p->y -= (checked % 32) * GetSystemMetrics(SM_CYMENUSIZE);
    p->x -= (checked / 32) * 64;
  }
  return menu;
}

HRESULT CMixDevUnit::FormatSourceName(int entry, int form, wchar_t* out, size_t size) {
  if (!out) return PointerFault("pText", __LINE__);
  unsigned first = m_selection.offset + 1u, count = m_selection.count ? m_selection.count : 1;
  return qvmix::FormatGroupName(entry, form, first, count, out, size) ? S_OK : E_INVALIDARG;
}

void CMixDevUnit::AddToTree(HTREEITEM after) {
  HWND tree = m_host ? m_host->TreeWindow() : nullptr;
  if (!tree) return;
  TVINSERTSTRUCTW in = {};
  in.hParent = TVI_ROOT;
  in.hInsertAfter = after ? after : TVI_FIRST;
  in.item.mask = TVIF_TEXT | TVIF_STATE | TVIF_PARAM;
  in.item.pszText = m_name;
  in.item.state = INDEXTOSTATEIMAGEMASK(IsActive() ? 2 : 1);
  in.item.stateMask = TVIS_STATEIMAGEMASK;
  in.item.lParam = reinterpret_cast<LPARAM>(this);
  m_item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
  if (!m_item) return;
  char serial[16] = "";
  FormatUnitSerial(m_serialLow, m_serialHigh, serial);
  wchar_t text[64];
  swprintf(text, 64, L"Serial Number: %hs", serial);
  in.hParent = m_item;
  in.hInsertAfter = TVI_LAST;
  in.item.mask = TVIF_TEXT;
  in.item.pszText = text;
  m_serialItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&in)));
  UpdateWindow(tree);
}

void CMixDevUnit::RemoveFromTree() {
  HWND tree = m_host ? m_host->TreeWindow() : nullptr;
  if (tree && m_item) SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(m_item));
  m_item = m_serialItem = nullptr;
}

void CMixDevUnit::UpdateTreeCheck() {
  HWND tree = m_host ? m_host->TreeWindow() : nullptr;
  if (!tree || !m_item) return;
  TVITEMW item = {};
  item.mask = TVIF_STATE;
  item.hItem = m_item;
  item.state = INDEXTOSTATEIMAGEMASK(IsActive() ? 2 : 1);
  item.stateMask = TVIS_STATEIMAGEMASK;
  SendMessageW(tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

BOOL FormatUnitSerial(DWORD low, DWORD high, char* out) {
  return qvmix::FormatUnitSerial(low, high, out, 16) ? TRUE : FALSE;
}

LONG OpenUnitKey(DWORD low, DWORD high, LPCSTR subkey, HKEY* key) {
  *key = nullptr;
  char path[64];
  if (!qvmix::UnitKeyPath(low, high, path, sizeof path)) return ERROR_INVALID_PARAMETER;
  HKEY unit = nullptr;
  LONG e = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &unit, nullptr);
  if (e != ERROR_SUCCESS) return e;
  if (!subkey) {
    *key = unit;
    return ERROR_SUCCESS;
  }
  e = RegCreateKeyExA(unit, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key, nullptr);
  RegCloseKey(unit);
  if (e != ERROR_SUCCESS) *key = nullptr;
  return e;
}

// ---- the list ----

CMixDevList::CMixDevList(CMixGraphHost* host, BOOL enumerate)
    : m_host(host),
      m_stopEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_queueEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_regEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_timer(CreateWaitableTimerA(nullptr, FALSE, nullptr)) {
  // The program's path without its extension.
  GetModuleFileNameA(nullptr, m_modulePath, MAX_PATH);
  char* dot = strrchr(m_modulePath, '.');
  char* slash = strrchr(m_modulePath, '\\');
  char* fslash = strrchr(m_modulePath, '/');
  if (fslash > slash) slash = fslash;
  if (dot && dot > slash) *dot = 0;
  if (!enumerate) return;
  // The list is empty where the device installer cannot be asked.
  DWORD token = 0;
  BSTR first = DeviceInterfacePath(&GUID_QvMixerDeviceClass, nullptr, 0, &token, nullptr);
  if (!first && GetLastError() != ERROR_NO_MORE_ITEMS) return;
  m_enumerated = true;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\MultiMedia", 0, KEY_READ | KEY_NOTIFY, &m_mmKey);
  ReadRate();
  Start(0);
  m_poll.m_list = this;
  m_periodic = &m_poll;
  for (DWORD i = 1; first; ++i) {
    AddDevice(first, token);
    SysFreeString(first);
    first = DeviceInterfacePath(&GUID_QvMixerDeviceClass, nullptr, i, &token, nullptr);
  }
  QueueTimerStart();
}

CMixDevList::~CMixDevList() {
  Close();
  CJobQueue::Stop();
  m_periodic = nullptr;
  if (m_clock) m_clock->Release();
  if (m_timer) {
    CancelWaitableTimer(m_timer);
    CloseHandle(m_timer);
  }
  if (m_regEvent) CloseHandle(m_regEvent);
  if (m_mmKey) RegCloseKey(m_mmKey);
  RegisterNotify(nullptr);
  if (m_stopEvent) CloseHandle(m_stopEvent);
  if (m_queueEvent) CloseHandle(m_queueEvent);
}

// The clock thread: rate reading on registry changes, APCs otherwise.
DWORD WINAPI CMixDevList::ApcWait() {
  HANDLE events[3] = {m_apcEvent, m_stopEvent, m_regEvent};
  DWORD r = WaitForMultipleObjectsEx(3, events, FALSE, INFINITE, TRUE);
  if (r == WAIT_OBJECT_0 + 2) {
    ReadRate();
    return 0;
  }
  if (r == WAIT_IO_COMPLETION) return r;
  if (r == WAIT_OBJECT_0 + 1) InterlockedExchange(&m_stop, 1);
  return r == WAIT_FAILED ? r : 0;
}

BOOL CMixDevList::QueueTimerStart() {
  return m_apcThread && QueueUserAPC(StartTimer, m_apcThread, reinterpret_cast<ULONG_PTR>(this));
}

void CALLBACK CMixDevList::StartTimer(ULONG_PTR list) {
  auto* self = reinterpret_cast<CMixDevList*>(list);
  LARGE_INTEGER due;
  due.QuadPart = -2500000;  // 250 ms, then every 500 ms
  SetWaitableTimer(self->m_timer, &due, 500, TimerTick, self, FALSE);
}

void CALLBACK CMixDevList::TimerTick(LPVOID list, DWORD, DWORD) {
  auto* self = static_cast<CMixDevList*>(list);
  CPeriodicJob* job = self->m_periodic;
  if (!job || !self->Port() || !job->m_gate.TryQueue()) return;  // the last tick still runs: dropped
  if (!PostQueuedCompletionStatus(self->Port(), 0, reinterpret_cast<ULONG_PTR>(job), job->Overlapped()))
    job->m_gate.Done();
}

void WINAPI CPollJob::Run() {
  m_list->m_host->LockGraph();
  for (CMixDevUnit* u = m_list->m_head; u; u = u->m_next) u->Poll();
  m_list->m_host->UnlockGraph();
}

void CMixDevList::ReadRate() {
  if (!m_mmKey) return;
  RegNotifyChangeKeyValue(m_mmKey, FALSE, REG_NOTIFY_CHANGE_LAST_SET, m_regEvent, TRUE);
  uint32_t values[3];
  const uint32_t* read[3] = {};
  const char* names[3] = {"SampleRate", "VariSpeed", "FrameRate"};
  for (int i = 0; i < 3; ++i) {
    DWORD type = 0, size = 4;
    if (RegQueryValueExA(m_mmKey, names[i], nullptr, &type, reinterpret_cast<BYTE*>(&values[i]), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == 4)
      read[i] = &values[i];
  }
  m_host->LockGraph();
  RateRecord current = m_rate.m_current;
  RateRecord next = qvmix::MergeRegistryRate(current, read[0], read[1], read[2]);
  auto* source = static_cast<CMixDevUnit*>(m_rate.m_source);
  bool toSource = false;
  if (!qvmix::SameRate(next, current)) {
    if (source) {
      toSource = true;
      static_cast<IReferenceClock*>(source)->AddRef();
    } else {
      m_rate.m_current = next;
    }
  }
  m_host->UnlockGraph();
  // The clock source's request, outside the lock: it may go to the graph's
  // window and be applied on the graph's thread.
  if (toSource) {
    SetRate(source, &next);
    static_cast<IReferenceClock*>(source)->Release();
  }
}

BOOL CMixDevList::RegisterNotify(HWND window) {
  if (m_notify) {
    UnregisterDeviceNotification(m_notify);
    m_notify = nullptr;
  }
  if (!window) return TRUE;
  DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
  filter.dbcc_size = 32;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = GUID_QvMixerDeviceClass;
  m_notify = RegisterDeviceNotificationW(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  return m_notify != nullptr;
}

BOOL CMixDevList::OnDeviceChange(WPARAM event, LPARAM data) {
  auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data);
  if (event != DBT_DEVICEARRIVAL || !b || b->dbcc_devicetype != DBT_DEVTYP_DEVICEINTERFACE || !m_enumerated)
    return TRUE;  // a unit whose device left stays until Close
  // The arrived interface's number, as the enumeration gives it.
  DWORD token = 0;
  for (DWORD i = 0;; ++i) {
    BSTR path = DeviceInterfacePath(&GUID_QvMixerDeviceClass, nullptr, i, &token, nullptr);
    if (!path) return TRUE;
    bool same = lstrcmpiW(path, b->dbcc_name) == 0;
    SysFreeString(path);
    if (same) break;
  }
  AddDevice(b->dbcc_name, token);
  return TRUE;
}

HRESULT CMixDevList::AddDevice(LPCWSTR path, DWORD serial) {
  HRESULT hr = S_OK;
  IUnknown* object = CreateQvDevice(&CLSID_QvMixerDevice, nullptr, &hr);
  if (!object) return hr;
  auto* device = static_cast<CQvDevice*>(reinterpret_cast<CCom*>(object));
  hr = device->Open(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  CMixDevUnit* unit = device->m_unit;
  if (SUCCEEDED(hr) && unit) {
    if (Port()) CreateIoCompletionPort(device->m_handle, Port(), reinterpret_cast<ULONG_PTR>(unit), 0);
    unit->m_serialLow = serial;
    AddUnit(unit);
  } else if (SUCCEEDED(hr)) {
    hr = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
  }
  object->Release();
  return hr;
}

void CMixDevList::AddUnit(CMixDevUnit* unit) {
  m_host->LockGraph();
  unit->m_host = m_host;
  // Held through the controlling unknown: the device, when it aggregates the unit.
  static_cast<IReferenceClock*>(unit)->AddRef();
  // Adding holds one activation while the unit is probed for the clock.
  unit->Activate();
  qvmix::InsertByName(m_head, unit);
  if (!m_rate.m_source) {
    RateRecord r;
    if (unit->ReportedRate(&r) == S_OK && qvmix::Claims(r)) ApplyRate(unit, r);
  }
  unit->Deactivate();
  if (m_host->TreeWindow()) {
    CMixDevUnit* before = nullptr;
    for (CMixDevUnit* u = m_head; u && u != unit; u = u->m_next) before = u;
    unit->AddToTree(before ? before->m_item : nullptr);
  }
  m_host->UnlockGraph();
}

CMixDevUnit* CMixDevList::FindUnit(DWORD serial) {
  m_host->LockGraph();
  CMixDevUnit* u = m_head;
  if (serial)
    while (u && u->m_serialLow != serial) u = u->m_next;
  m_host->UnlockGraph();
  return u;
}

LONG CMixDevList::Run() {
  m_host->LockGraph();
  if (!m_running) timeBeginPeriod(1);
  m_running = true;
  for (CMixDevUnit* u = m_head; u; u = u->m_next)
    if (u->IsActive()) u->RunUnit();
  QueueTimerStart();
  m_host->UnlockGraph();
  return 0;
}

LONG CMixDevList::Stop() {
  m_host->LockGraph();
  CancelWaitableTimer(m_timer);
  for (CMixDevUnit* u = m_head; u; u = u->m_next)
    if (u->IsActive()) u->StopUnit();
  if (m_running) timeEndPeriod(1);
  m_running = false;
  m_host->UnlockGraph();
  return 0;
}

void CMixDevList::Close() {
  m_host->LockGraph();
  if (m_clock) {
    m_clock->Release();
    m_clock = nullptr;
  }
  m_rate.m_source = nullptr;
  m_master = nullptr;
  if (m_timer) CancelWaitableTimer(m_timer);
  RegisterNotify(nullptr);
  while (CMixDevUnit* u = m_head) {
    m_head = u->m_next;
    u->m_next = nullptr;
    u->RemoveFromTree();
    static_cast<IReferenceClock*>(u)->Release();
  }
  m_host->UnlockGraph();
}

HRESULT CMixDevList::SetRate(CMixDevUnit* source, const RateRecord* record) {
  if (!record) return E_POINTER;
  m_host->LockGraph();
  bool allowed = m_rate.MayRequest(source, *record);
  m_host->UnlockGraph();
  if (!allowed) return E_FAIL;
  HWND window = m_host->GraphWindow();
  if (window && GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId())
    return static_cast<HRESULT>(
        SendMessageW(window, WM_QV_SETRATE, reinterpret_cast<WPARAM>(source), reinterpret_cast<LPARAM>(record)));
  return ApplyRate(source, *record);
}

HRESULT CMixDevList::ApplyRate(CMixDevUnit* source, const RateRecord& record) {
  m_host->LockGraph();
  qvmix::RateUnit* units[64];
  size_t n = 0;
  for (CMixDevUnit* u = m_head; u && n < 64; u = u->m_next) units[n++] = u;
  // The new source acquires its board as the clock while it is activated;
  // afterwards the flags follow the source the rate state holds.
  bool claims = source && qvmix::Claims(record);
  for (size_t i = 0; i < n; ++i) static_cast<CMixDevUnit*>(units[i])->m_clockSource = claims && units[i] == source;
  HRESULT hr = m_rate.Apply(source, record, units, n, *this);
  for (size_t i = 0; i < n; ++i) static_cast<CMixDevUnit*>(units[i])->m_clockSource = units[i] == m_rate.m_source;
  m_host->UnlockGraph();
  return hr;
}

void CMixDevList::SetSyncSource(qvmix::RateUnit* source) {
  IReferenceClock* clock = source ? static_cast<IReferenceClock*>(static_cast<CMixDevUnit*>(source)) : nullptr;
  if (clock) clock->AddRef();
  if (m_clock) m_clock->Release();
  m_clock = clock;
  m_host->SetGraphClock(clock);
}

// The master unit, when one is chosen and claims, else the first unit that
// reports a claimed rate, becomes the clock.
void CMixDevList::SelectClock() {
  m_host->LockGraph();
  CMixDevUnit* chosen = nullptr;
  RateRecord r = {};
  for (CMixDevUnit* u = m_master ? m_master : m_head; u && !chosen; u = m_master ? nullptr : u->m_next)
    if (u->ReportedRate(&r) == S_OK && qvmix::Claims(r)) chosen = u;
  if (chosen)
    ApplyRate(chosen, r);
  else if (m_rate.m_source) {
    RateRecord none = m_rate.m_current;
    none.frameRate &= ~qvmix::kClaimBit;
    ApplyRate(nullptr, none);
  }
  m_host->UnlockGraph();
}
