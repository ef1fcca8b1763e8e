// Installation and registration of the library: the MME wave driver slot,
// the mixer graph's interface key, the element modules as plug-in filters,
// the services, and the registration and installer exports.
#include "Drv/Qvcom/install.h"
#include "Drv/Qvcom/qvdevice.h"

#include "Drv/Qvdrv/qvdrv_private.h"
#include "elements/elemif.h"

#include <setupapi.h>
#include <strmif.h>
#include <uuids.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

const char kWaveDriverLibrary[] = "QvMMedia.dll";

namespace {

const char kDrivers32[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

bool NamesLibrary(HKEY key, const char* value, LPCSTR library, bool* empty) {
  char data[MAX_PATH] = {};
  DWORD type = 0, size = sizeof data - 1;
  LONG r = RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  *empty = r != ERROR_SUCCESS || size < 2;
  return !*empty && (type == REG_SZ || type == REG_EXPAND_SZ) && !lstrcmpiA(data, library);
}

}  // namespace

HRESULT AddWaveDriver(HKEY drivers32, LPCSTR library) {
  char freeSlot[8] = "";
  for (int i = 1; i <= 9; ++i) {
    char name[8];
    snprintf(name, sizeof name, "Wave%d", i);
    bool empty = false;
    if (NamesLibrary(drivers32, name, library, &empty)) return S_OK;
    if (empty && !freeSlot[0]) strcpy(freeSlot, name);
  }
  if (!freeSlot[0]) return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
  LONG r = RegSetValueExA(drivers32, freeSlot, 0, REG_SZ, reinterpret_cast<const BYTE*>(library),
                          static_cast<DWORD>(strlen(library) + 1));
  return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(r);
}

HRESULT RemoveWaveDriver(HKEY drivers32, LPCSTR library) {
  for (int i = 0; i <= 9; ++i) {
    char name[8];
    if (i == 0)
      strcpy(name, "Wave");
    else
      snprintf(name, sizeof name, "Wave%d", i);
    bool empty = false;
    if (!NamesLibrary(drivers32, name, library, &empty)) continue;
    LONG r = RegSetValueExA(drivers32, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    if (r != ERROR_SUCCESS) return HRESULT_FROM_WIN32(r);
  }
  return S_OK;
}

// ---- the mixer graph's interface ----

namespace {
const char kMixBuilderKey[] = "Software\\Classes\\Interface\\{652F84C4-90F3-49B1-8D6C-9E080BAB0A35}";
}

HRESULT RegisterMixGraphClass(QvRegContext* c) {
  HRESULT hr = RegisterClassBoth(c);
  if (FAILED(hr)) return hr;
  // The interface by name; the class that hands it out is its distributor.
  CRegKey key;
  if (!key.Create(c->m_root.m_key, kMixBuilderKey) || !key.SetString(nullptr, "IQVMixBuilder") ||
      !key.SetString("Distributor", c->m_clsidText))
    return HResultFromLastError();
  return S_OK;
}

HRESULT UnregisterMixGraphClass(QvRegContext* c) {
  LONG r = RegDeleteTreeA(c->m_root.m_key, kMixBuilderKey);
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) return HRESULT_FROM_WIN32(r);
  return UnregisterClass(c);
}

// ---- plug-in registration ----

namespace {

const CLSID kPluginCategory = {0x44FCFFB7, 0x10E2, 0x441E, {0x94, 0x82, 0x6D, 0xD1, 0x0F, 0xC2, 0x51, 0x1D}};
const CLSID kTypeA = {0xD1016B11, 0x232D, 0x49E4, {0xBC, 0x42, 0x0D, 0x57, 0x87, 0x94, 0xA0, 0xF7}};
const CLSID kTypeB = {0xD1016B10, 0x232D, 0x49E4, {0xBC, 0x42, 0x0D, 0x57, 0x87, 0x94, 0xA0, 0xF7}};
const CLSID kMajorQv = {0x5AC6EF80, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const CLSID kMajorAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const CLSID kSubFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const CLSID kSubPcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const CLSID kMapper = {0xE436EBB2, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const IID kIMapper = {0x56A868A3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const CLSID kMapper2 = {0xCDA42200, 0xBD88, 0x11D0, {0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const IID kIMapper2 = {0xB79BB0B0, 0x33C1, 0x11D1, {0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
constexpr DWORD kPluginMerit = 0x200000;

const REGPINTYPES kAudioTypes[] = {{&kMajorQv, &kTypeA}, {&kMajorAudio, &kSubFloat}, {&kMajorAudio, &kSubPcm}};
const REGPINTYPES kAuxTypes[] = {{&kMajorQv, &kTypeB}};

struct PinRow {
  const wchar_t* name;
  DWORD flags;  // bit 0 zero allowed, 1 rendered, 2 many, 3 output
  const REGPINTYPES* types;
  UINT typeCount;
};
struct PinTable {
  const PinRow* pins;
  UINT count;
};
const PinRow kInputPins[] = {{L"Inp", 1, kAudioTypes, 3}, {L"Out", 8, kAudioTypes, 3}, {L"Aux", 0, kAuxTypes, 1}};
const PinRow kTrackPins[] = {{L"Inp", 0, kAudioTypes, 3},
                             {L"Out", 8, kAudioTypes, 3},
                             {L"Aux", 0, kAuxTypes, 1},
                             {L"", 8, kAuxTypes, 1}};
const PinRow kInsertPins[] = {{L"Inp", 0, kAudioTypes, 3}, {L"Out", 8, kAudioTypes, 3}};
const PinRow kBusPins[] = {{L"Inp", 2, kAudioTypes, 3}, {L"Out", 9, kAudioTypes, 3}, {L"Aux", 8, kAuxTypes, 1}};
const PinTable kPinTables[5] = {{kInputPins, 3}, {kTrackPins, 4}, {kInsertPins, 2}, {kBusPins, 3}, {kBusPins, 3}};

// The two filter mappers of the media framework; either may be missing.
struct Mappers {
  Mappers() {
    CoCreateInstance(kMapper, nullptr, CLSCTX_INPROC_SERVER, kIMapper, reinterpret_cast<void**>(&old));
    CoCreateInstance(kMapper2, nullptr, CLSCTX_INPROC_SERVER, kIMapper2, reinterpret_cast<void**>(&current));
  }
  ~Mappers() {
    if (old) old->Release();
    if (current) current->Release();
  }
  IFilterMapper* old = nullptr;
  IFilterMapper2* current = nullptr;
};

// One element module, bound by its ten exports for as long as it is held.
class ElementModule {
 public:
  explicit ElementModule(const char* path) {
    m_module = LoadLibraryA(path);
    if (!m_module) return;
    for (int i = 0; i < kElemExportCount; ++i)
      if (!(m_procs[i] = reinterpret_cast<void*>(GetProcAddress(m_module, kElemExportNames[i])))) return;
    ELEMMODINFO info{};
    info.Size = kElemModInfoSize;
    auto init = reinterpret_cast<QVInitElemModuleFn>(m_procs[0]);
    if (!init(NoDsp, NoNotify, &info) || info.Size < kElemModInfoSize ||
        (info.Version != kElemIfVersionOld && info.Version != kElemIfVersion))
      return;
    m_info = info;
    m_ok = true;
  }
  ~ElementModule() {
    if (m_module) FreeLibrary(m_module);
  }
  bool ok() const { return m_ok; }
  const ELEMMODINFO& info() const { return m_info; }
  uint32_t TypeCode(uint32_t index) const { return reinterpret_cast<QVGetElemTypeFn>(m_procs[1])(index); }
  bool Properties(uint32_t code, ELEMTYPEPROPINFO* out) const {
    std::memset(out, 0, sizeof *out);
    out->Size = kElemTypePropSize;
    return reinterpret_cast<QVGetElemTypePropertiesFn>(m_procs[2])(code, out) != 0;
  }

 private:
  static int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return -1; }
  static int32_t ELEMAPI NoNotify(void*, uint32_t, uintptr_t) { return 0; }
  HMODULE m_module = nullptr;
  void* m_procs[kElemExportCount] = {};
  ELEMMODINFO m_info{};
  bool m_ok = false;
};

// The 16 hexadecimal digits of a library's key: a 64-bit FNV-1a hash of the
// module's own name (so both folders' copies of one module share a key).
void LibraryKeyName(const char* moduleName, char* out) {
  uint64_t h = 0xCBF29CE484222325ull;
  for (const char* p = moduleName; *p; ++p) {
    h ^= static_cast<unsigned char>(*p >= 'a' && *p <= 'z' ? *p - 32 : *p);
    h *= 0x100000001B3ull;
  }
  snprintf(out, 17, "%08lX%08lX", static_cast<unsigned long>(h >> 32), static_cast<unsigned long>(h));
}

HRESULT RegisterType(QvRegContext* c, Mappers& m, CRegKey& classes, CRegKey& library, const char* path,
                     uint32_t code, const ELEMTYPEPROPINFO& p) {
  const CLSID clsid = PluginClsid(code);
  char clsidText[40];
  GuidToString(clsid, clsidText);
  char typeName[kElemTextSize + 1];
  snprintf(typeName, sizeof typeName, "%.*s", kElemTextSize - 1, p.Name);

  CRegKey key, server, element;
  char name[64];
  snprintf(name, sizeof name, "CLSID\\%s", clsidText);
  if (!key.Create(classes.m_key, name) || !key.SetString(nullptr, typeName) ||
      !server.Create(key.m_key, "InprocServer32") || !server.SetString(nullptr, c->m_modulePath) ||
      !server.SetString("ThreadingModel", "Both") || !element.Create(key.m_key, "Element") ||
      !element.SetString(nullptr, typeName) || !element.SetString("Path", path))
    return HResultFromLastError();

  // "Quorvale " and the type name, tabs as blanks.
  wchar_t friendly[kElemTextSize + 16] = L"Quorvale ";
  size_t n = wcslen(friendly);
  for (const char* s = typeName; *s && n + 1 < sizeof friendly / sizeof friendly[0]; ++s)
    friendly[n++] = *s == '\t' ? L' ' : static_cast<wchar_t>(static_cast<unsigned char>(*s));
  friendly[n] = 0;

  const PinTable& table = kPinTables[p.Kind];
  if (m.current) {
    REGFILTERPINS2 pins[4] = {};
    for (UINT i = 0; i < table.count; ++i) {
      pins[i].dwFlags = table.pins[i].flags;
      pins[i].nMediaTypes = table.pins[i].typeCount;
      pins[i].lpMediaType = table.pins[i].types;
    }
    REGFILTER2 filter{};
    filter.dwVersion = 2;
    filter.dwMerit = kPluginMerit;
    filter.cPins2 = table.count;
    filter.rgPins2 = pins;
    m.current->UnregisterFilter(&kPluginCategory, nullptr, clsid);
    HRESULT hr = m.current->RegisterFilter(clsid, friendly, nullptr, &kPluginCategory, nullptr, &filter);
    if (FAILED(hr)) return hr;
  }
  if (m.old) {
    for (UINT i = 0; i < table.count; ++i) {
      const PinRow& pin = table.pins[i];
      LPWSTR pinName = const_cast<LPWSTR>(pin.name);
      if (FAILED(m.old->RegisterPin(clsid, pinName, (pin.flags & 2) != 0, (pin.flags & 8) != 0,
                                    (pin.flags & 1) != 0, (pin.flags & 4) != 0, GUID_NULL, nullptr)))
        continue;  // the old mapper keeps no unnamed pin
      for (UINT t = 0; t < pin.typeCount; ++t)
        m.old->RegisterPinType(clsid, pinName, *pin.types[t].clsMajorType, *pin.types[t].clsMinorType);
    }
  }
  if (p.Kind == kElemKindInput || p.Kind == kElemKindOutput) {
    CRegKey list;
    snprintf(name, sizeof name, "Quorvale.Plugins\\%s", p.Kind == kElemKindInput ? "Inputs" : "Outputs");
    if (!list.Create(classes.m_key, name) || !list.SetString(clsidText, typeName)) return HResultFromLastError();
  }
  if (!library.SetDword(clsidText, code)) return HResultFromLastError();
  return S_OK;
}

HRESULT RegisterLibrary(QvRegContext* c, Mappers& m, const char* path, const char* fileName) {
  ElementModule module(path);
  if (!module.ok()) {
    if (c->m_reporter) {
      LPCSTR p = path;
      SetLastError(ERROR_BAD_FORMAT);
      ReportLastError(c->m_reporter, 0xC00A0001, 2, p);
    }
    return S_FALSE;  // not an element module: the others are still registered
  }
  CRegKey classes, plugins;
  if (!classes.Create(c->m_root.m_key, "Software\\Classes") || !plugins.Create(classes.m_key, "Quorvale.Plugins"))
    return HResultFromLastError();
  for (const char* sub : {"DirectShow", "VstPlugins", "Inputs", "Outputs", "Libraries"}) {
    CRegKey k;
    if (!k.Create(plugins.m_key, sub)) return HResultFromLastError();
  }
  char keyName[40] = "Libraries\\";
  LibraryKeyName(module.info().Name, keyName + strlen(keyName));
  CRegKey library;
  if (!library.Create(plugins.m_key, keyName)) return HResultFromLastError();
  char stored[512] = {};
  DWORD size = sizeof stored - 1;
  std::string value = fileName;
  if (library.QueryString(nullptr, stored, &size) && stored[0] && !strstr(stored, fileName)) {
    // Another module of that name already: the names are joined.
    std::string joined = stored;
    size_t close = joined.find(')');
    std::string tail = close == std::string::npos ? "" : joined.substr(close);
    if (close != std::string::npos) joined.resize(close);
    value = joined + ", " + fileName + tail;
  } else if (stored[0]) {
    value = stored;
  }
  if (!library.SetString(nullptr, value.c_str())) return HResultFromLastError();
  if (m.current) m.current->CreateCategory(kPluginCategory, kPluginMerit, const_cast<LPWSTR>(L"Quorvale DSP plugins"));

  for (uint32_t i = 0; i < module.info().TypeCount; ++i) {
    const uint32_t code = module.TypeCode(i);
    ELEMTYPEPROPINFO p;
    if (!module.Properties(code, &p) || p.Kind >= 5) continue;
    HRESULT hr = RegisterType(c, m, classes, library, path, code, p);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

bool IsPluginKey(const char* name, CLSID* clsid) {
  if (name[0] != '{') return false;
  wchar_t wide[40];
  MultiByteToWideChar(CP_ACP, 0, name, -1, wide, 40);
  return SUCCEEDED(CLSIDFromString(wide, clsid)) && MatchPluginClsid(clsid) &&
         clsid->Data1 != PluginClsid(0).Data1;
}

}  // namespace

CLSID PluginClsid(uint32_t typeCode) {
  return {0xDF870000u | (typeCode & 0xFFFF), 0x8085, 0x42C0, {0xB4, 0xBF, 0xA1, 0xD6, 0x7B, 0x7C, 0x07, 0x32}};
}

HRESULT UnregisterPluginClass(QvRegContext* c) {
  Mappers m;
  CRegKey classes, clsidKey;
  if (classes.Open(c->m_root.m_key, "Software\\Classes", KEY_ALL_ACCESS) &&
      clsidKey.Open(classes.m_key, "CLSID", KEY_ALL_ACCESS)) {
    // Only the plug-in filters' classes (the plug-in class's pattern); every
    // other class of the computer stays.
    std::vector<std::string> names;
    char name[64];
    for (DWORD i = 0; clsidKey.EnumKey(i, name, sizeof name); ++i) {
      CLSID clsid;
      if (IsPluginKey(name, &clsid)) names.push_back(name);
    }
    for (const std::string& n : names) {
      CLSID clsid;
      IsPluginKey(n.c_str(), &clsid);
      if (m.current) m.current->UnregisterFilter(&kPluginCategory, nullptr, clsid);
      if (m.old) m.old->UnregisterFilter(clsid);
      clsidKey.DeleteTree(n.c_str());
    }
    RegDeleteTreeA(classes.m_key, "Quorvale.Plugins");
  }
  return UnregisterClass(c);
}

HRESULT RegisterPluginClass(QvRegContext* c) {
  HRESULT hr = UnregisterPluginClass(c);
  if (FAILED(hr)) return hr;
  hr = RegisterClassBoth(c);
  if (FAILED(hr)) return hr;
  Mappers m;
  CRegKey quorvale;
  if (!quorvale.Open(c->m_root.m_key, "Software\\Quorvale", KEY_QUERY_VALUE)) return S_OK;
  for (const char* value : {"Mixer Element Path V1.02", "Mixer Element Path V1.03"}) {
    char folder[MAX_PATH] = {};
    DWORD size = sizeof folder - 2;
    if (!quorvale.QueryString(value, folder, &size) || strlen(folder) <= 1) continue;
    if (folder[strlen(folder) - 1] != '\\') strcat(folder, "\\");
    std::string pattern = std::string(folder) + "*.dll";
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      std::string path = std::string(folder) + found.cFileName;
      hr = RegisterLibrary(c, m, path.c_str(), found.cFileName);
    } while (SUCCEEDED(hr) && FindNextFileA(find, &found));
    FindClose(find);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// ---- services ----

namespace {

struct ServiceRow {
  const char* binary;
  const char* name;
  const char* display;
  const char* description;
  const char* dependencies;  // a multi-string
  DWORD type;
  DWORD start;
};
// The kernel driver starts with the system; the remote-device server
// starts automatically once RPC runs.
const ServiceRow kServices[] = {
    {"System32\\Drivers\\Qvdev.sys", "Quorvale", "Quorvale Driver", nullptr, nullptr, SERVICE_KERNEL_DRIVER,
     SERVICE_SYSTEM_START},
    {"Qvdev.exe", "Quorvale Server", "Quorvale Server", "Handles remote RPC requests", "RpcSS\0",
     SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START},
};

// Event codes of the installation reports.
constexpr DWORD kNoManager = 0xC00503EE, kCreateFailed = 0xC00503EF, kNoDescription = 0xC00503F0,
                kKeyNotOpened = 0xC00503F1, kNoParameters = 0xC00503F5, kRemoveFailed = 0xC00503F6,
                kStopFailed = 0x800503F2, kInstalled = 0x400503E8, kRemoved = 0x400503E9;

ServiceCalls g_services = PlatformServiceCalls();

HRESULT Fail(QvRegContext* c, DWORD event, const char* name) {
  HRESULT hr = HResultFromLastError();
  if (c->m_reporter) ReportLastError(c->m_reporter, event, 2, name);
  return hr;
}

void Success(QvRegContext* c, DWORD event, const char* name) {
  if (!GetConsoleWindow() || !c->m_reporter) return;
  SetLastError(0);
  ReportLastError(c->m_reporter, event, 2, name);
}

}  // namespace

ServiceCalls PlatformServiceCalls() {
  return {OpenSCManagerA, CreateServiceA, OpenServiceA, StartServiceA, ControlService, DeleteService,
          CloseServiceHandle};
}
ServiceCalls& ServiceSeams() { return g_services; }

namespace {
// The NT major version, 0 on a platform that is not NT.
DWORD NtMajorVersion() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&v);
#pragma GCC diagnostic pop
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT ? v.dwMajorVersion : 0;
}
}  // namespace

bool ServicesInstalledHere() { return NtMajorVersion() == 4; }

HRESULT InstallServices(QvRegContext* c) {
  const char* machine = c->m_remote ? c->m_computer : nullptr;
  SC_HANDLE manager = g_services.openManager(machine, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return Fail(c, kNoManager, machine ? machine : "");
  AddEventLogSource(c->m_root.m_key, "Quorvale", c->m_modulePath);
  HRESULT result = S_OK;
  for (const ServiceRow& row : kServices) {
    char path[MAX_PATH];
    if (row.type == SERVICE_KERNEL_DRIVER) {
      snprintf(path, sizeof path, "%s", row.binary);
    } else {
      snprintf(path, sizeof path, "%.*s%s", static_cast<int>(c->m_fileName - c->m_modulePath), c->m_modulePath,
               row.binary);
    }
    SC_HANDLE service = g_services.create(manager, row.name, row.display, SERVICE_ALL_ACCESS, row.type, row.start,
                                          SERVICE_ERROR_NORMAL, path, nullptr, nullptr, row.dependencies, nullptr,
                                          nullptr);
    if (!service && GetLastError() == ERROR_SERVICE_EXISTS)
      service = g_services.open(manager, row.name, SERVICE_ALL_ACCESS);
    if (!service) {
      if (GetLastError() == ERROR_SERVICE_EXISTS) SetLastError(0);
      HRESULT hr = Fail(c, kCreateFailed, row.name);
      if (SUCCEEDED(result)) result = hr;
      continue;
    }
    char keyName[MAX_PATH];
    snprintf(keyName, sizeof keyName, "System\\CurrentControlSet\\Services\\%s", row.name);
    CRegKey key, parameters;
    DWORD start = row.start;
    HRESULT hr = S_OK;
    if (!key.Open(c->m_root.m_key, keyName, KEY_ALL_ACCESS))
      hr = Fail(c, kKeyNotOpened, row.name);
    else if (row.description && !key.SetString("Description", row.description))
      hr = Fail(c, kNoDescription, row.name);
    else if (!parameters.Create(key.m_key, "Parameters"))
      hr = Fail(c, kNoParameters, row.name);
    if (key.m_key) key.QueryDword("Start", &start);
    if (SUCCEEDED(hr) && start < SERVICE_DEMAND_START && !g_services.start(service, 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
      hr = Fail(c, kCreateFailed, row.name);
    if (SUCCEEDED(hr)) Success(c, kInstalled, row.name);
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    g_services.close(service);
  }
  g_services.close(manager);
  return result;
}

HRESULT RemoveServices(QvRegContext* c) {
  const char* machine = c->m_remote ? c->m_computer : nullptr;
  SC_HANDLE manager = g_services.openManager(machine, nullptr, SC_MANAGER_ALL_ACCESS);
  if (!manager) return Fail(c, kNoManager, machine ? machine : "");
  HRESULT result = S_OK;
  for (const ServiceRow& row : kServices) {
    SC_HANDLE service = g_services.open(manager, row.name, SERVICE_ALL_ACCESS);
    if (!service) {
      if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) continue;  // not installed: nothing to remove
      HRESULT hr = Fail(c, kRemoveFailed, row.name);
      if (SUCCEEDED(result)) result = hr;
      continue;
    }
    SERVICE_STATUS status{};
    if (!g_services.control(service, SERVICE_CONTROL_STOP, &status) &&
        GetLastError() != ERROR_SERVICE_NOT_ACTIVE && c->m_reporter)
      ReportLastError(c->m_reporter, kStopFailed, 2, row.name);
    if (!g_services.remove(service)) {
      HRESULT hr = Fail(c, kRemoveFailed, row.name);
      if (SUCCEEDED(result)) result = hr;
    } else {
      Success(c, kRemoved, row.name);
    }
    g_services.close(service);
  }
  g_services.close(manager);
  return result;
}

// ---- the exports ----

namespace {

HRESULT WaveEntry(bool add) {
  CRegKey drivers;
  if (!(add ? drivers.Create(HKEY_LOCAL_MACHINE, kDrivers32) : drivers.Open(HKEY_LOCAL_MACHINE, kDrivers32,
                                                                            KEY_ALL_ACCESS)))
    return add ? HResultFromLastError() : S_OK;
  return add ? AddWaveDriver(drivers.m_key, kWaveDriverLibrary) : RemoveWaveDriver(drivers.m_key, kWaveDriverLibrary);
}

// A message box for the rundll exports: failures with a stop sign,
// warnings with an exclamation mark; nothing else is shown.
class CBoxReporter : public CReporter {
 public:
  CBoxReporter() { m_caption = "Quorvale Driver"; }
  int WINAPI Report(DWORD messageId, DWORD dataLen, const void* data, DWORD nStrings, LPCSTR* strings) override {
    const DWORD severity = messageId >> 30;
    if (severity < 2) return 0;
    char text[1024] = "";
    DWORD_PTR args[8] = {};
    for (DWORD i = 0; i < nStrings && i < 8; ++i) args[i] = reinterpret_cast<DWORD_PTR>(strings[i]);
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, QvdrvModule(), messageId, 0,
                        text, sizeof text, reinterpret_cast<va_list*>(args)))
      snprintf(text, sizeof text, "0x%08lX\n%s", messageId, nStrings && strings[0] ? strings[0] : "");
    (void)dataLen;
    (void)data;
    MessageBoxA(m_owner, text, m_caption, MB_OK | (severity == 3 ? MB_ICONSTOP : MB_ICONEXCLAMATION));
    return 1;
  }
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  HRESULT init = CoInitialize(nullptr);
  CDebugReporter fallback;
  QvRegContext context(nullptr, nullptr, QvDefaultReporter() ? QvDefaultReporter() : &fallback);
  HRESULT hr = WaveEntry(true);
  if (SUCCEEDED(hr)) hr = RegisterAllClasses(&context);
  if (SUCCEEDED(init)) CoUninitialize();
  return hr;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  HRESULT init = CoInitialize(nullptr);
  CDebugReporter fallback;
  QvRegContext context(nullptr, nullptr, QvDefaultReporter() ? QvDefaultReporter() : &fallback);
  HRESULT hr = WaveEntry(false);
  HRESULT classes = UnregisterAllClasses(&context);
  if (SUCCEEDED(hr)) hr = classes;
  if (SUCCEEDED(init)) CoUninitialize();
  return hr;
}

extern "C" DWORD WINAPI ClassInstall(DWORD function, void*, void*) {
  if (function == 32) DllRegisterServer();  // install the device interfaces
  return 0xE000020E;                         // the system does the default
}

extern "C" void CALLBACK qvDevInstall(HWND window, HINSTANCE, LPSTR, int) {
  CBoxReporter reporter;
  reporter.m_owner = window;
  QvRegContext context(nullptr, nullptr, &reporter);
  if (ServicesInstalledHere() && FAILED(InstallServices(&context))) return;
  if (FAILED(DllRegisterServer())) {
    SetLastError(ERROR_GEN_FAILURE);
    ReportLastError(&reporter, 0xC000000B, 3, "Qvdrv", context.m_computer);
  }
}

extern "C" void CALLBACK qvDevRemove(HWND window, HINSTANCE, LPSTR, int) {
  CBoxReporter reporter;
  reporter.m_owner = window;
  QvRegContext context(nullptr, nullptr, &reporter);
  if (ServicesInstalledHere()) RemoveServices(&context);
  if (FAILED(DllUnregisterServer())) {
    SetLastError(ERROR_GEN_FAILURE);
    ReportLastError(&reporter, 0xC000000C, 3, "Qvdrv", context.m_computer);
  }
}

// ---- device-class removal ----

namespace {

const GUID kMediaClass = {0x4D36E96C, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
const GUID kQuorvaleClass = {0x5AC6EF00, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
const char kWdmHardwareId[] = "Qvwdm";
const char kWdmService[] = "Qvwdm";  // shown as "HRL Quorvale WDM/KS Driver"
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvale Driver";

bool AtLeastNt5() { return NtMajorVersion() >= 5; }

bool HasHardwareId(HDEVINFO set, SP_DEVINFO_DATA* device, const char* id) {
  char ids[1024] = {};
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, nullptr, reinterpret_cast<BYTE*>(ids),
                                         sizeof ids - 2, nullptr))
    return false;
  for (const char* p = ids; *p; p += strlen(p) + 1)
    if (!lstrcmpiA(p, id)) return true;
  return false;
}

// Removes the devices of a class (those with the hardware id when one is
// given), queueing each one's INF "Class.Remove" section and the INF with
// its precompiled twin for deletion.
void RemoveClassDevices(const GUID& cls, const char* hardwareId, HSPFILEQ queue) {
  HDEVINFO set = SetupDiGetClassDevsA(&cls, nullptr, nullptr, 0);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    if (hardwareId && !HasHardwareId(set, &device, hardwareId)) continue;
    HKEY driverKey = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
    if (driverKey != INVALID_HANDLE_VALUE) {
      char inf[MAX_PATH] = {};
      DWORD size = sizeof inf - 1;
      if (RegQueryValueExA(driverKey, "InfPath", nullptr, nullptr, reinterpret_cast<BYTE*>(inf), &size) ==
              ERROR_SUCCESS &&
          inf[0]) {
        HINF handle = SetupOpenInfFileA(inf, nullptr, INF_STYLE_WIN4, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
          SetupQueueDeleteSectionA(queue, handle, nullptr, "Class.Remove");
          SetupCloseInfFile(handle);
        }
        char folder[MAX_PATH];
        GetWindowsDirectoryA(folder, sizeof folder);
        strcat(folder, "\\Inf");
        char pnf[MAX_PATH];
        snprintf(pnf, sizeof pnf, "%s", inf);
        if (char* dot = strrchr(pnf, '.')) strcpy(dot, ".PNF");
        SetupQueueDeleteA(queue, folder, inf);
        SetupQueueDeleteA(queue, folder, pnf);
      }
      RegCloseKey(driverKey);
    }
    SetupDiCallClassInstaller(DIF_REMOVE, set, &device);
  }
  SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

// rundll: the system's own device class and the WDM driver's devices are
// removed with their INF files, the WDM service deleted, the uninstall
// entry dropped; the user is asked to restart when the system says so.
extern "C" void CALLBACK ClassRemove(HWND window, HINSTANCE, LPSTR, int) {
  CBoxReporter reporter;
  reporter.m_owner = window;
  HSPFILEQ queue = SetupOpenFileQueue();
  if (queue == INVALID_HANDLE_VALUE) {
    ReportLastError(&reporter, kRemoveFailed, 2, "Class.Remove");
    return;
  }
  const bool nt5 = AtLeastNt5();
  if (nt5) RemoveClassDevices(kMediaClass, kWdmHardwareId, queue);
  RemoveClassDevices(kQuorvaleClass, nullptr, queue);
  if (nt5) {
    SC_HANDLE manager = g_services.openManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager) {
      SC_HANDLE service = g_services.open(manager, kWdmService, SERVICE_ALL_ACCESS);
      if (service) {
        SERVICE_STATUS status{};
        g_services.control(service, SERVICE_CONTROL_STOP, &status);
        if (!g_services.remove(service)) ReportLastError(&reporter, kRemoveFailed, 2, kWdmService);
        g_services.close(service);
      } else if (GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
        ReportLastError(&reporter, kRemoveFailed, 2, kWdmService);
      }
      g_services.close(manager);
    }
  }
  // The class key's "Link" names a further key of the class: it goes too.
  HKEY classKey = SetupDiOpenClassRegKey(&kQuorvaleClass, KEY_ALL_ACCESS);
  if (classKey != INVALID_HANDLE_VALUE) {
    char link[MAX_PATH] = {};
    DWORD size = sizeof link - 1;
    if (RegQueryValueExA(classKey, "Link", nullptr, nullptr, reinterpret_cast<BYTE*>(link), &size) ==
            ERROR_SUCCESS &&
        link[0])
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, link);
    RegCloseKey(classKey);
  }
  LONG r = RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
  if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) {
    SetLastError(r);
    ReportLastError(&reporter, kRemoveFailed, 2, kUninstallKey);
  }
  void* context = SetupInitDefaultQueueCallback(window);
  if (!SetupCommitFileQueueA(window, queue, SetupDefaultQueueCallbackA, context))
    ReportLastError(&reporter, kRemoveFailed, 2, "Class.Remove");
  SetupTermDefaultQueueCallback(context);
  // Asked of the queue first (scan only): the user is prompted only when
  // files in use make a restart necessary.
  int reboot = SetupPromptReboot(queue, window, TRUE);
  SetupCloseFileQueue(queue);
  if (reboot > 0 && (reboot & (SPFILEQ_REBOOT_RECOMMENDED | SPFILEQ_FILE_IN_USE))) SetupPromptReboot(nullptr, window, FALSE);
}
