// The class table, the class factory, DllGetClassObject/DllCanUnloadNow,
// class registration and the event-log source.
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvcom/qvdevice.h"
#include "Drv/QvMixMgr/mixmgr.h"
#include "Drv/Qvcom/mixunits.h"
#include "Drv/Qvdrv/qvdrv_private.h"

#include <cstdio>
#include <cstring>

namespace {

const CLSID CLSID_QvAsio = {0x5AC6EFA0, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvPlugins = {0xDF870000, 0x8085, 0x42C0, {0xB4, 0xBF, 0xA1, 0xD6, 0x7B, 0x7C, 0x07, 0x32}};
const CLSID CLSID_QvTv2Page = {0xD4AB1920, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvCblPage = {0xD4AB6935, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvDnvPage = {0xD4561101, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvDnvStat = {0xD4561102, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvAsioPage = {0x5AC6EFA2, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvLumoraPage = {0xD4000410, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID CLSID_QvPresetPage = {0xD4E5F300, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

// The classes whose objects are built by other parts of the system (the
// ASIO driver, the mixer graph, the plug-in registry and the device and
// converter pages) are not in this library yet: their create function says so.
IUnknown* CreateAbsent(const CLSID*, IUnknown*, HRESULT* result) {
  *result = CLASS_E_CLASSNOTAVAILABLE;
  return nullptr;
}

void NoOpHook(const QvClassDesc*) {}

const QvClassDesc kAsio = {L"Quorvale ASIO driver", "Quorvale.Asio", &CLSID_QvAsio, CreateAbsent,
                           RegisterClassBoth, UnregisterClass, NoOpHook, NoOpHook, nullptr};
const QvClassDesc kWave = {L"HRL Quorvale wave class", "Quorvale.Wave", &CLSID_QvWave, CreateQvWaveObject,
                           RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kDevice = {L"HRL Quorvale device class", "Quorvale.Device", &CLSID_QvDevice, CreateQvDevice,
                             RegisterClassBoth, UnregisterClass, DeviceStartHook, nullptr, nullptr};
const QvClassDesc kMixerDevice = {L"HRL Quorvale mixer device class", "Quorvale.MixerDevice",
                                  &CLSID_QvMixerDevice, CreateQvDevice, RegisterClassBoth, UnregisterClass,
                                  nullptr, nullptr, nullptr};
const QvClassDesc kMixGraph = {L"HRL Quorvale Mixer class", "Quorvale.MixGraph", &CLSID_QvMixGraph, CreateMixGraph,
                               RegisterMixGraph, UnregisterMixGraph, MixGraphStartHook, MixGraphEndHook, nullptr};
const QvClassDesc kPlugins = {L"HRL Quorvale plugin class", "Quorvale.Plugins", &CLSID_QvPlugins, CreateAbsent,
                              RegisterClassBoth, UnregisterClass, NoOpHook, NoOpHook, MatchPluginClsid};
// Registration of the enumerator removes its keys: it is made through the
// device class, not by its own CLSID.
const QvClassDesc kDeviceEnum = {L"HRL Quorvale device enumerator class", "Quorvale.DeviceEnum",
                                 &CLSID_QvDeviceEnum, CreateQvDeviceEnum, UnregisterClass, UnregisterClass,
                                 nullptr, nullptr, nullptr};
// The Tavrion page is offered by the Tavrion unit, so it is registered like
// the other pages: a property frame creates it by its CLSID.
const QvClassDesc kTvrPage = {L"HRL Quorvale Tavrion Property Page", "Quorvale.DeviceTvr.Prop", &CLSID_QvTvrPage,
                              CreateTvrPage, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kTv2Page = {L"HRL Quorvale Tavrion 192 Property Page", "Quorvale.DeviceTv2.Prop",
                              &CLSID_QvTv2Page, CreateAbsent, RegisterClassBoth, UnregisterClass,
                              nullptr, nullptr, nullptr};
const QvClassDesc kCblPage = {L"HRL Quorvale Corbelle Property Page", "Quorvale.DeviceCbl.Prop", &CLSID_QvCblPage,
                              CreateAbsent, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kDnvPage = {L"HRL Dunvell Property Page", "Quorvale.DeviceDnv.Prop", &CLSID_QvDnvPage,
                              CreateAbsent, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kDnvStat = {L"HRL Dunvell Statistics Page", "Quorvale.DeviceDnv.Stat", &CLSID_QvDnvStat,
                              CreateAbsent, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kAsioPage = {L"Quorvale ASIO property page", "Quorvale.Asio.Prop", &CLSID_QvAsioPage,
                               CreateAbsent, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kLumoraPage = {L"Lumora Property Page", "Quorvale.Lumora.Prop", &CLSID_QvLumoraPage,
                                 CreateAbsent, RegisterClassBoth, UnregisterClass, nullptr, nullptr, nullptr};
const QvClassDesc kPresetPage = {L"HRL Quorvale Brightwell Preset Property Page", "Quorvale.LumoraPreset.Prop",
                                 &CLSID_QvPresetPage, CreateAbsent, RegisterClassBoth, UnregisterClass,
                                 nullptr, nullptr, nullptr};

}  // namespace

const QvClassDesc* const QvClassTable[] = {&kAsio,    &kWave,    &kDevice,  &kMixerDevice, &kMixGraph,
                                           &kPlugins, &kDeviceEnum, &kTvrPage, &kTv2Page,  &kCblPage,
                                           &kDnvPage, &kDnvStat, &kAsioPage, &kLumoraPage, &kPresetPage,
                                           nullptr};

BOOL MatchPluginClsid(const CLSID* clsid) {
  return (clsid->Data1 >> 16) == (CLSID_QvPlugins.Data1 >> 16) &&
         memcmp(&clsid->Data2, &CLSID_QvPlugins.Data2, 12) == 0;
}

void QvComStart() {
  for (const QvClassDesc* const* d = QvClassTable; *d; ++d)
    if ((*d)->start) (*d)->start(*d);
}
void QvComEnd() {
  for (const QvClassDesc* const* d = QvClassTable; *d; ++d)
    if ((*d)->end) (*d)->end(*d);
}

// ---- the class factory ----

namespace {

class CQvClassFactory : public IClassFactory {
 public:
  CQvClassFactory(const QvClassDesc* d, REFCLSID clsid) : m_desc(d), m_clsid(clsid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // The factory can be handed between threads: its count is interlocked.
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG refs = InterlockedDecrement(&m_refs);
    if (!refs) {
      this->~CQvClassFactory();
      MemFree(this);
    }
    return refs;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    // Checked before anything is made, so nothing is left behind.
    if (!out) {
      AssertFailed("ppv", "Drv/Qvcom", __LINE__);
      return E_POINTER;
    }
    *out = nullptr;
    HRESULT hr = S_OK;
    IUnknown* object = m_desc->create(&m_clsid, outer, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
      object->Release();
      return hr;
    }
    if (outer) {
      *out = object;  // the inner unknown, with its creation reference
      return S_OK;
    }
    hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    ComLockServer(lock);
    return S_OK;
  }

 private:
  ~CQvClassFactory() = default;
  volatile LONG m_refs = 0;
  const QvClassDesc* m_desc;
  CLSID m_clsid;
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
  const QvClassDesc* found = nullptr;
  for (const QvClassDesc* const* d = QvClassTable; *d && !found; ++d) {
    bool match = (*d)->match ? (*d)->match(&clsid) != 0 : IsEqualCLSID(clsid, *(*d)->clsid) != 0;
    if (match) found = *d;
  }
  if (!found) return CLASS_E_CLASSNOTAVAILABLE;
  void* block = MemAlloc(sizeof(CQvClassFactory));
  if (!block) return E_OUTOFMEMORY;
  CQvClassFactory* factory = new (block) CQvClassFactory(found, clsid);
  factory->AddRef();
  *out = static_cast<IClassFactory*>(factory);
  return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return (ComLockCount() >= 1 || ComObjectCount() != 0) ? S_FALSE : S_OK;
}

// ---- registration ----

QvRegContext::QvRegContext(LPCSTR computer, LPCSTR modulePath, CReporter* reporter) : m_reporter(reporter) {
  if (computer && computer[0] == '\\' && computer[1] == '\\') computer += 2;
  if (computer && *computer) {
    m_remote = true;
    snprintf(m_computer, sizeof m_computer, "\\\\%.15s", computer);
  } else {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    snprintf(m_computer, sizeof m_computer, "\\\\%.15s", name);
    m_root.Attach(HKEY_LOCAL_MACHINE);
  }
  if (modulePath && *modulePath)
    snprintf(m_modulePath, sizeof m_modulePath, "%s", modulePath);
  else
    GetModuleFileNameA(QvdrvModule(), m_modulePath, sizeof m_modulePath);
  char* slash = strrchr(m_modulePath, '\\');
  m_fileName = slash ? slash + 1 : m_modulePath;
}

BOOL QvRegContext::Connect() {
  if (!m_remote || m_root.m_key) return m_root.m_key != nullptr;
  if (m_root.Connect(m_computer, HKEY_LOCAL_MACHINE)) return TRUE;
  LPCSTR computer = m_computer;
  if (m_reporter) ReportLastError(m_reporter, 0xC00503F4, 2, computer);
  return FALSE;
}

HRESULT RegisterClass(QvRegContext* c, int model) {
  const QvClassDesc* d = c->m_current;
  CRegKey classes, clsid, key, server;
  if (!classes.Create(c->m_root.m_key, "Software\\Classes") || !clsid.Create(classes.m_key, "CLSID") ||
      !key.Create(clsid.m_key, c->m_clsidText))
    return HResultFromLastError();
  char description[260];
  WideCharToMultiByte(CP_ACP, 0, d->description, -1, description, sizeof description, nullptr, nullptr);
  if (!key.SetString(nullptr, description) || !server.Create(key.m_key, "InprocServer32") ||
      !server.SetString(nullptr, c->m_modulePath))
    return HResultFromLastError();
  static const char* const models[] = {nullptr, "Apartment", "Free", "Both"};
  if (model >= 1 && model <= 3 && !server.SetString("ThreadingModel", models[model])) return HResultFromLastError();
  if (d->progId) {
    CRegKey progIdKey, prog, progClsid;
    if (!progIdKey.Create(key.m_key, "ProgId") || !progIdKey.SetString(nullptr, d->progId) ||
        !prog.Create(classes.m_key, d->progId) || !prog.SetString(nullptr, description) ||
        !progClsid.Create(prog.m_key, "CLSID") || !progClsid.SetString(nullptr, c->m_clsidText))
      return HResultFromLastError();
  }
  return S_OK;
}

HRESULT RegisterClassBoth(QvRegContext* c) { return RegisterClass(c, 3); }

HRESULT UnregisterClass(QvRegContext* c) {
  CRegKey classes;
  if (!classes.Open(c->m_root.m_key, "Software\\Classes", KEY_ALL_ACCESS))
    return GetLastError() == ERROR_FILE_NOT_FOUND ? S_OK : HResultFromLastError();
  char name[64];
  snprintf(name, sizeof name, "CLSID\\%s", c->m_clsidText);
  if (!classes.DeleteTree(name) && GetLastError() != ERROR_FILE_NOT_FOUND) return HResultFromLastError();
  if (c->m_current->progId && !classes.DeleteTree(c->m_current->progId) && GetLastError() != ERROR_FILE_NOT_FOUND)
    return HResultFromLastError();
  return S_OK;
}

namespace {
HRESULT ForAllClasses(QvRegContext* c, bool reg) {
  if (!c->Connect()) return HResultFromLastError();
  if (!c->m_root.m_key) {
    AssertFailed("m_Root.IsValid()", "Drv/Qvcom", __LINE__);
    return E_UNEXPECTED;
  }
  for (const QvClassDesc* const* d = QvClassTable; *d; ++d) {
    c->m_current = *d;
    GuidToString(*(*d)->clsid, c->m_clsidText);
    QvRegisterFunction f = reg ? (*d)->registerClass : (*d)->unregisterClass;
    if (!f) continue;
    HRESULT hr = f(c);
    if (hr < 0) {
      SetLastError(static_cast<DWORD>(hr));
      char description[260];
      WideCharToMultiByte(CP_ACP, 0, (*d)->description, -1, description, sizeof description, nullptr, nullptr);
      LPCSTR name = description;
      LPCSTR computer = c->m_computer;
      if (c->m_reporter) ReportLastError(c->m_reporter, reg ? 0xC000000B : 0xC000000C, 3, name, computer);
      return hr;
    }
  }
  return S_OK;
}
}  // namespace

HRESULT RegisterAllClasses(QvRegContext* c) { return ForAllClasses(c, true); }
HRESULT UnregisterAllClasses(QvRegContext* c) { return ForAllClasses(c, false); }

namespace {
void EventLogKeyName(char* name, size_t size, LPCSTR source) {
  snprintf(name, size, "System\\CurrentControlSet\\Services\\EventLog\\System\\%s", source);
}
}  // namespace

BOOL AddEventLogSource(HKEY root, LPCSTR source, LPCSTR messageFile) {
  char name[300];
  EventLogKeyName(name, sizeof name, source);
  CRegKey key;
  if (!key.Create(root, name)) return FALSE;
  DWORD bytes = static_cast<DWORD>(strlen(messageFile) + 1);
  LONG rc = RegSetValueExA(key.m_key, "EventMessageFile", 0, REG_EXPAND_SZ,
                           reinterpret_cast<const BYTE*>(messageFile), bytes);
  if (rc == ERROR_SUCCESS)
    rc = RegSetValueExA(key.m_key, "CategoryMessageFile", 0, REG_EXPAND_SZ,
                        reinterpret_cast<const BYTE*>(messageFile), bytes);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  return key.SetDword("TypesSupported", 7) && key.SetDword("CategoryCount", 11);
}

BOOL RemoveEventLogSource(HKEY root, LPCSTR source) {
  char name[300];
  EventLogKeyName(name, sizeof name, source);
  LONG rc = RegDeleteTreeA(root, name);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return FALSE;
  }
  return TRUE;
}

// The registration exports: this computer, this library, failures to the
// library's default reporter.
extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  CDebugReporter fallback;
  QvRegContext context(nullptr, nullptr, QvDefaultReporter() ? QvDefaultReporter() : &fallback);
  return RegisterAllClasses(&context);
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  CDebugReporter fallback;
  QvRegContext context(nullptr, nullptr, QvDefaultReporter() ? QvDefaultReporter() : &fallback);
  return UnregisterAllClasses(&context);
}
