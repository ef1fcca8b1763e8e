// The COM server: interface-table queries, counts, the class factory and
// class lookup, registration in a test hive; the device objects on the
// simulated machine with scripted boards and streams.
#include "Drv/Qvcom/qvcom.h"
#include "Drv/Qvcom/qvdevice.h"
#include "Drv/Qvcom/mixunits.h"
#include "Drv/QvMixMgr/mixmgr.h"
#include "Drv/Qvdrv/deviceio.h"
#include "Drv/Qvdrv/tests/scripted.h"
#include "kernel/protocol.h"
#include "sim/machine/simmachine.h"

#include <dbt.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

// Assertions raise a continuable exception that the library's filter
// reports; here they are only counted.
std::atomic<int> g_assertions{0};
LONG CALLBACK ContinueAssertions(EXCEPTION_POINTERS* p) {
  if (p->ExceptionRecord->ExceptionCode != 87) return EXCEPTION_CONTINUE_SEARCH;
  ++g_assertions;
  return EXCEPTION_CONTINUE_EXECUTION;
}
const PVOID g_handler = AddVectoredExceptionHandler(1, ContinueAssertions);

// ---- a small class with every kind of table entry ----

const IID IID_A = {0x11111111, 1, 1, {1, 1, 1, 1, 1, 1, 1, 1}};
const IID IID_B = {0x22222222, 2, 2, {2, 2, 2, 2, 2, 2, 2, 2}};  // in the chained base table
const IID IID_F = {0x33333333, 3, 3, {3, 3, 3, 3, 3, 3, 3, 3}};  // answered by a function
const IID IID_X = {0x44444444, 4, 4, {4, 4, 4, 4, 4, 4, 4, 4}};  // nobody has it

struct IA : IUnknown {};
struct IB : IUnknown {};

int g_functionCalls = 0;
HRESULT AnswerF(CCom* object, REFIID, void** out) {
  ++g_functionCalls;
  *out = object->Unknown();
  object->NonDelegatingAddRef();
  return S_FALSE;  // marks that the function answered
}

class Sample : public CCom, public IA, public IB {
 public:
  static const ComInterfaceEntry Base[];
  static const ComInterfaceEntry Own[];
  explicit Sample(IUnknown* outer) : CCom(outer, 4000, Own) {}
  ~Sample() override { ++destroyed; }
  CCOM_DELEGATING_UNKNOWN
  static int destroyed;
};
int Sample::destroyed = 0;
const ComInterfaceEntry Sample::Base[] = {{&IID_B, ComOffset<Sample, IB>()}, {nullptr, 0}};
const ComInterfaceEntry Sample::Own[] = {
    {&IID_A, ComOffset<Sample, IA>()}, {&IID_F, ComFunction(AnswerF)}, {nullptr, ComNext(Base)}};

TEST(Com, QueryWalksOffsetsFunctionsChainsAndTheInnerObject) {
  Sample* s = new Sample(nullptr);
  IUnknown* u = s->Unknown();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(u->QueryInterface(IID_A, nullptr), E_POINTER);
  ASSERT_EQ(u->QueryInterface(IID_A, &out), S_OK);
  EXPECT_EQ(out, static_cast<IA*>(s));
  ASSERT_EQ(u->QueryInterface(IID_B, &out), S_OK);
  EXPECT_EQ(out, static_cast<IB*>(s));
  ASSERT_EQ(u->QueryInterface(IID_F, &out), S_FALSE);
  EXPECT_EQ(g_functionCalls, 1);
  ASSERT_EQ(u->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, u);
  EXPECT_EQ(u->QueryInterface(IID_X, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(s->m_refs, 5);

  // The inner object answers what no table has; interface parts delegate.
  Sample* inner = new Sample(u);
  s->m_inner = reinterpret_cast<IUnknown*>(new Sample(nullptr));
  (void)inner;
  ASSERT_EQ(u->QueryInterface(IID_A, &out), S_OK);
  EXPECT_EQ(static_cast<IA*>(out)->AddRef(), 7u);  // through the outer's count
  s->m_inner->Release();
  s->m_inner = nullptr;
  delete inner;
  int before = Sample::destroyed;
  for (int i = 0; i < 7; ++i) u->Release();
  EXPECT_EQ(Sample::destroyed, before + 1);
  EXPECT_EQ(ComObjectCount(), 0);
}

TEST(Com, InnerObjectAnswersWhatTheTablesLack) {
  Sample* outer = new Sample(nullptr);
  Sample* inner = new Sample(outer->Unknown());
  static const ComInterfaceEntry none[] = {{nullptr, 0}};
  outer->m_interfaces = none;
  outer->m_inner = inner->Unknown();
  void* out = nullptr;
  ASSERT_EQ(outer->Unknown()->QueryInterface(IID_A, &out), S_OK);
  EXPECT_EQ(out, static_cast<IA*>(inner));
  static_cast<IA*>(out)->Release();  // delegates to the outer
  EXPECT_EQ(outer->m_refs, 1);
  outer->Unknown()->Release();  // releases the inner one too
  EXPECT_EQ(ComObjectCount(), 0);
}

// ---- class lookup and the factory ----

const CLSID kDevice = {0x5AC6EF01, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

TEST(Com, ClassObjectLookup) {
  const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  const CLSID plugin7 = {0xDF870007, 0x8085, 0x42C0, {0xB4, 0xBF, 0xA1, 0xD6, 0x7B, 0x7C, 0x07, 0x32}};
  CLSID otherHigh = plugin7;
  otherHigh.Data1 = 0xDF880007;
  CLSID otherTail = plugin7;
  otherTail.Data4[7] = 0x33;
  EXPECT_TRUE(MatchPluginClsid(&plugin7));
  EXPECT_FALSE(MatchPluginClsid(&otherHigh));
  EXPECT_FALSE(MatchPluginClsid(&otherTail));

  void* out = nullptr;
  EXPECT_EQ(DllGetClassObject(kDevice, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(DllGetClassObject(unknown, IID_IDispatch, &out), E_NOINTERFACE);  // before the search
  EXPECT_EQ(DllGetClassObject(unknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(DllGetClassObject(plugin7, IID_IClassFactory, &out), S_OK);
  static_cast<IClassFactory*>(out)->Release();

  ASSERT_EQ(DllGetClassObject(kDevice, IID_IUnknown, &out), S_OK);
  auto* f = static_cast<IClassFactory*>(out);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  f->LockServer(TRUE);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  f->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  // Without an outer object: the asked interface, the creation reference gone.
  IUnknown* made = nullptr;
  ASSERT_EQ(f->CreateInstance(nullptr, IID_IQVDevice, reinterpret_cast<void**>(&made)), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  EXPECT_EQ(made->Release(), 0u);
  int assertions = g_assertions;
  EXPECT_EQ(f->CreateInstance(nullptr, IID_IQVDevice, nullptr), E_POINTER);
  EXPECT_EQ(g_assertions, assertions + 1);
  EXPECT_EQ(ComObjectCount(), 0);  // nothing made, nothing leaked

  // Aggregated: only IUnknown, and the inner unknown as it is.
  Sample* outer = new Sample(nullptr);
  EXPECT_EQ(f->CreateInstance(outer->Unknown(), IID_IQVDevice, reinterpret_cast<void**>(&made)),
            CLASS_E_NOAGGREGATION);
  ASSERT_EQ(f->CreateInstance(outer->Unknown(), IID_IUnknown, reinterpret_cast<void**>(&made)), S_OK);
  void* device = nullptr;
  ASSERT_EQ(made->QueryInterface(IID_IQVDevice, &device), S_OK);
  EXPECT_EQ(outer->m_refs, 2);  // the interface part counts on the outer
  static_cast<IUnknown*>(device)->Release();
  EXPECT_EQ(made->Release(), 0u);
  outer->Unknown()->Release();

  // A class whose objects are built elsewhere says why it made nothing.
  const CLSID tv2Page = {0xD4AB1920, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
  IClassFactory* af = nullptr;
  ASSERT_EQ(DllGetClassObject(tv2Page, IID_IClassFactory, reinterpret_cast<void**>(&af)), S_OK);
  EXPECT_EQ(af->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&made)), CLASS_E_CLASSNOTAVAILABLE);
  af->Release();
  EXPECT_EQ(f->Release(), 0u);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

// ---- registration in a test hive ----

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kHive);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kHive, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr), 0);
  }
  void TearDown() override {
    RegCloseKey(root);
    RegDeleteTreeA(HKEY_CURRENT_USER, kHive);
  }
  std::string Value(const char* key, const char* name = nullptr) {
    char text[300] = {};
    DWORD size = sizeof text;
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, text, &size))
      return "<none>";
    return text;
  }
  static constexpr const char* kHive = "Software\\HrlQvcomTest";
  HKEY root = nullptr;
};

TEST_F(Registration, EveryClassRoundTrip) {
  CDebugReporter reporter;
  QvRegContext context(nullptr, "C:\\drv\\Qvdrv.dll", &reporter);
  EXPECT_STREQ(context.m_fileName, "Qvdrv.dll");
  context.m_root.Attach(root);
  ASSERT_EQ(RegisterAllClasses(&context), S_OK);
  const char* dev = "Software\\Classes\\CLSID\\{5AC6EF01-4264-11D2-AC7F-00A024CFC258}";
  EXPECT_EQ(Value(dev), "HRL Quorvale device class");
  EXPECT_EQ(Value((std::string(dev) + "\\InprocServer32").c_str()), "C:\\drv\\Qvdrv.dll");
  EXPECT_EQ(Value((std::string(dev) + "\\InprocServer32").c_str(), "ThreadingModel"), "Both");
  EXPECT_EQ(Value((std::string(dev) + "\\ProgId").c_str()), "Quorvale.Device");
  EXPECT_EQ(Value("Software\\Classes\\Quorvale.Device\\CLSID"), "{5AC6EF01-4264-11D2-AC7F-00A024CFC258}");
  EXPECT_EQ(Value("Software\\Classes\\Quorvale.LumoraPreset.Prop"), "HRL Quorvale Brightwell Preset Property Page");
  EXPECT_EQ(Value("Software\\Classes\\CLSID\\{D4AB2345-A36F-11D4-B0E6-00A024CFC258}\\ProgId"),
            "Quorvale.DeviceTvr.Prop");
  // The enumerator's registration removes its keys.
  EXPECT_EQ(Value("Software\\Classes\\Quorvale.DeviceEnum"), "<none>");

  ASSERT_EQ(UnregisterAllClasses(&context), S_OK);
  EXPECT_EQ(Value(dev), "<none>");
  EXPECT_EQ(Value("Software\\Classes\\Quorvale.Device"), "<none>");
  ASSERT_EQ(UnregisterAllClasses(&context), S_OK);  // never registered: still fine
  context.m_root.m_key = nullptr;  // the fixture closes it
}

TEST(Com, DeviceClassHookInstallsTheDefaultReporter) {
  DeviceStartHook(nullptr);
  CReporter* reporter = QvDefaultReporter();
  ASSERT_TRUE(reporter);
  EXPECT_STREQ("Quorvale Driver", reporter->m_caption);
  EXPECT_EQ(GetConsoleCP() != 0, dynamic_cast<CDebugReporter*>(reporter) == nullptr);
}

TEST_F(Registration, EventLogSource) {
  ASSERT_TRUE(AddEventLogSource(root, "Quorvale", "C:\\drv\\Qvdrv.dll"));
  const char* key = "System\\CurrentControlSet\\Services\\EventLog\\System\\Quorvale";
  EXPECT_EQ(Value(key, "EventMessageFile"), "C:\\drv\\Qvdrv.dll");
  DWORD count = 0, size = sizeof count;
  EXPECT_EQ(RegGetValueA(root, key, "CategoryCount", RRF_RT_REG_DWORD, nullptr, &count, &size), 0);
  EXPECT_EQ(count, 11u);
  EXPECT_TRUE(RemoveEventLogSource(root, "Quorvale"));
  EXPECT_EQ(Value(key, "EventMessageFile"), "<none>");
}

// ---- the property-page base ----

class Site : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    changes.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  ULONG refs = 1;
  std::vector<DWORD> changes;
};

TEST(PropPage, PageInfoSiteAndDirtyState) {
  // The library's own resources (beside the test as the image library)
  // give a real dialog template.
  HMODULE resources = LoadLibraryExA("Qvimg.bin", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(resources, nullptr);
  CPropPage* page = new CPropPage(nullptr, 130, resources);
  IPropertyPage* p = static_cast<IPropertyPage*>(page);

  PROPPAGEINFO info;
  memset(&info, 0xAB, sizeof info);
  info.cb = 20;
  EXPECT_EQ(p->GetPageInfo(&info), E_UNEXPECTED);
  EXPECT_EQ(info.cb, 20u);
  EXPECT_EQ(reinterpret_cast<uint8_t*>(&info)[sizeof info - 1], 0xAB);  // nothing written
  info.cb = sizeof info;
  ASSERT_EQ(p->GetPageInfo(&info), S_OK);
  EXPECT_GT(info.size.cx, 0);
  EXPECT_GT(info.size.cy, 0);
  ASSERT_NE(info.pszTitle, nullptr);
  CoTaskMemFree(info.pszTitle);
  EXPECT_EQ(info.pszHelpFile, nullptr);

  Site site, other;
  ASSERT_EQ(p->SetPageSite(&site), S_OK);
  EXPECT_EQ(p->SetPageSite(&other), E_UNEXPECTED);
  EXPECT_EQ(site.refs, 2u);
  EXPECT_EQ(p->IsPageDirty(), S_FALSE);
  page->SetDirty(TRUE);
  page->SetDirty(TRUE);  // no change: no notice
  EXPECT_EQ(p->IsPageDirty(), S_OK);
  page->SetDirty(FALSE);
  EXPECT_EQ(site.changes, (std::vector<DWORD>{3, 0}));

  EXPECT_EQ(p->Show(SW_SHOW), E_UNEXPECTED);  // no window yet
  EXPECT_EQ(p->Move(nullptr), E_POINTER);
  EXPECT_EQ(p->Help(nullptr), E_NOTIMPL);
  RECT r = {0, 0, 200, 100};
  EXPECT_EQ(p->Activate(nullptr, &r, FALSE), E_INVALIDARG);
  MSG msg = {};
  msg.message = WM_TIMER;
  EXPECT_EQ(p->TranslateAccelerator(&msg), S_FALSE);
  EXPECT_EQ(p->SetPageSite(nullptr), S_OK);
  EXPECT_EQ(site.refs, 1u);
  page->Unknown()->Release();
  FreeLibrary(resources);
}

// ---- device objects ----

TEST(Device, PathRules) {
  struct Case {
    const wchar_t* name;
    const wchar_t* path;
  } cases[] = {
      {L"Qvdev0", L"\\\\.\\Qvdev0"},
      {L"\\Qvdev0", L"\\\\.\\Qvdev0"},
      {L"\\\\.\\Qvwave", L"\\\\.\\Qvwave"},
      {L"\\\\server\\x", L"\\\\server\\x"},
      {L"@device:pnp:\\\\?\\pci#ven_1&dev_2#3#{guid}", L"\\\\?\\pci#ven_1&dev_2#3#{guid}"},
  };
  for (const Case& c : cases) {
    WCHAR path[MAX_PATH];
    QvDevicePath(c.name, path);
    EXPECT_STREQ(path, c.path) << c.name;
  }
  std::wstring longName(400, L'x');
  WCHAR path[MAX_PATH];
  QvDevicePath(longName.c_str(), path);
  EXPECT_EQ(lstrlenW(path), 259);
}

TEST(Device, PropertyValuesAndVariants) {
  VARIANT v;
  VariantInit(&v);
  const BYTE text[] = {'a', 0, 'b', 0};
  ASSERT_EQ(VariantFromRegistry(REG_SZ, text, 4, &v), S_OK);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(SysStringByteLen(v.bstrVal), 4u);
  EXPECT_STREQ(v.bstrVal, L"ab");
  const DWORD word = 0x12345678;
  ASSERT_EQ(VariantFromRegistry(REG_DWORD, reinterpret_cast<const BYTE*>(&word), 4, &v), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 0x12345678);
  const BYTE bytes[3] = {1, 2, 3};
  ASSERT_EQ(VariantFromRegistry(REG_BINARY, bytes, 3, &v), S_OK);
  EXPECT_EQ(v.vt, VT_ARRAY);  // no element type bits
  EXPECT_EQ(v.parray->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<BYTE*>(v.parray->pvData)[2], 3);
  ASSERT_EQ(VariantFromRegistry(REG_NONE, nullptr, 0, &v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(VariantFromRegistry(REG_QWORD, bytes, 3, &v), E_FAIL);

  // Back: strings lose their terminator; an array gives its bytes.
  DWORD type = 0, size = 0;
  const BYTE* data = nullptr;
  VARIANT s;
  s.vt = VT_BSTR;
  s.bstrVal = SysAllocString(L"Board");
  ASSERT_EQ(RegistryFromVariant(&s, &type, &data, &size), S_OK);
  EXPECT_EQ(type, DWORD{REG_SZ});
  EXPECT_EQ(size, 10u);
  VariantClear(&s);
  VARIANT b;
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  ASSERT_EQ(RegistryFromVariant(&b, &type, &data, &size), S_OK);
  EXPECT_EQ(type, DWORD{REG_DWORD});
  EXPECT_EQ(size, 4u);
  VARIANT a;
  a.vt = VT_ARRAY;
  a.parray = SafeArrayCreateVector(VT_I2, 0, 5);
  ASSERT_EQ(RegistryFromVariant(&a, &type, &data, &size), S_OK);
  EXPECT_EQ(type, DWORD{REG_BINARY});
  EXPECT_EQ(size, 10u);
  SafeArrayDestroy(a.parray);
  VARIANT r;
  r.vt = VT_R8;
  EXPECT_EQ(RegistryFromVariant(&r, &type, &data, &size), E_FAIL);

  // A device object without a path has no properties.
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  int assertions = g_assertions;
  EXPECT_EQ(d->GetProperty(12, nullptr), E_POINTER);
  EXPECT_EQ(g_assertions, assertions + 1);
  EXPECT_EQ(d->GetProperty(12, &v), E_FAIL);
  EXPECT_EQ(d->SetProperty(12, &v), E_FAIL);
  // No device interface of a class that nothing offers: an error, still closed.
  const GUID none = {0x0BADF00D, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_LT(d->OpenInterface(&none, nullptr), 0);
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  EXPECT_EQ(FindDeviceInterface(&none, nullptr, nullptr), nullptr);
  d->Unknown()->Release();
}

class Machine : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
    simmachine::Reset();
    scripted::Load();
  }
  void TearDown() override {
    scripted::Unload();
    simmachine::Shutdown();
  }
};

size_t CountOf(const std::vector<scripted::Request>& requests, uint32_t code) {
  size_t n = 0;
  for (const scripted::Request& r : requests) n += r.code == code;
  return n;
}

TEST_F(Machine, OpenReopenAndErrors) {
  scripted::AddBoard("Qvtvr0", 0xAB2345);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  EXPECT_EQ(d->Open(nullptr, 0, 0, 0), E_POINTER);
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  EXPECT_EQ(d->Open(L"NoSuchUnit", 0, 0, 0), HRESULT(0x80070014));  // bad unit
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  ASSERT_EQ(d->Open(L"Qvtvr0", 0, 0, 0), S_OK);
  EXPECT_EQ(d->IsClosed(), S_OK);
  EXPECT_STREQ(d->m_path, L"\\\\.\\Qvtvr0");

  // Holding a unit, the object stays with its board: the same path in any
  // spelling reopens, another one is refused.
  Sample* unit = new Sample(nullptr);
  d->m_inner = unit->Unknown();
  EXPECT_EQ(d->Open(L"QVTVR0", 0, 0, 0), S_OK);
  EXPECT_EQ(d->Open(L"\\\\.\\qvtvr0", 0, 0, 0), S_OK);
  EXPECT_EQ(d->Open(L"Qvtvr1", 0, 0, 0), HRESULT(0x8007006E));
  EXPECT_EQ(d->Close(), S_OK);
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  d->Unknown()->Release();
  EXPECT_EQ(ComObjectCount(), 0);
}

// A property bag as the mixer graph hands one over: its moniker names the
// device, its "CLSID" the class.
class Bag : public IPropertyBag {
 public:
  Bag(IMoniker* moniker, const wchar_t* clsid) : m_moniker(moniker), m_clsid(clsid) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IMoniker)) return m_moniker->QueryInterface(iid, out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* v, IErrorLog*) override {
    if (lstrcmpW(name, L"CLSID") != 0) return E_INVALIDARG;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(m_clsid);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
  IMoniker* m_moniker;
  const wchar_t* m_clsid;
};

TEST_F(Machine, LoadFromAPropertyBag) {
  scripted::AddBoard("Qvtvr0", 0xAB2345);
  IMoniker* moniker = nullptr;
  ASSERT_EQ(CreateFileMoniker(L"\\\\.\\Qvtvr0", &moniker), S_OK);
  Bag bag(moniker, L"{5AC6EF01-4264-11D2-AC7F-00A024CFC258}");
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvMixerDevice, nullptr, &hr));
  IPersistPropertyBag* p = static_cast<IPersistPropertyBag*>(d);
  // The open succeeds; the unit cannot be made, since the platform gives the
  // board no device name here.
  EXPECT_LT(p->Load(&bag, nullptr), 0);
  CLSID clsid;
  EXPECT_EQ(p->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_QvDevice));  // taken from the bag
  EXPECT_STREQ(d->m_path, L"\\\\.\\Qvtvr0");
  EXPECT_EQ(d->IsClosed(), S_OK);
  EXPECT_EQ(p->Load(&bag, nullptr), E_FAIL);  // already open
  d->Unknown()->Release();
  moniker->Release();
}

TEST_F(Machine, AttachBootsByBoardId) {
  struct Case {
    uint32_t id;
    size_t boots, loads;
    HRESULT result;
  } cases[] = {
      {0xAB2345, 1, 1, S_OK},
      {0xAB1920, 1, 1, S_OK},
      {0x561101, 1, 0, S_OK},
      {0xAB6935, 1, 1, S_OK},                 // loader, the card's identity, program
      {0x123456, 1, 0, HRESULT(0x80070457)},  // unknown board: an empty boot, not booted
  };
  int n = 0;
  for (const Case& c : cases) {
    std::string name = "Qvb" + std::to_string(n++);
    scripted::AddBoard(name.c_str(), c.id);
    HRESULT hr = S_OK;
    auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
    std::wstring wname(name.begin(), name.end());
    ASSERT_EQ(d->Open(wname.c_str(), 0, 0, 0), S_OK);
    uint32_t id[3] = {9, 9, 9};
    EXPECT_EQ(d->Attach(id), c.result) << std::hex << c.id;
    EXPECT_EQ(id[2], c.id);
    auto requests = scripted::BoardRequests(name.c_str());
    EXPECT_EQ(CountOf(requests, IOCTL_QV_BOOT), c.boots) << std::hex << c.id;
    EXPECT_EQ(CountOf(requests, IOCTL_QV_LOAD), c.loads) << std::hex << c.id;
    if (c.id == 0xAB6935) {
      std::vector<uint32_t> codes;
      for (const scripted::Request& r : requests) codes.push_back(r.code);
      EXPECT_EQ((std::vector<uint32_t>{IOCTL_QV_ATTACH, IOCTL_QV_GET_ID, IOCTL_QV_BOOT, IOCTL_QV_GET_ID,
                                       IOCTL_QV_LOAD}),
                codes);
    }
    if (c.result == S_OK) {
      // A program file loses its 3-byte head and 2 tail bytes.
      for (const scripted::Request& r : requests)
        if (r.code == IOCTL_QV_LOAD) {
          EXPECT_EQ(r.input.size(), 9u);
        }
    }
    d->Unknown()->Release();
  }
}

TEST_F(Machine, AFailedImageEndsTheBootWithAnEmptyBoot) {
  scripted::AddBoard("Qvtvr0", 0xAB2345, 0);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  ASSERT_EQ(d->Open(L"Qvtvr0", 0, 0, 0), S_OK);
  EXPECT_LT(d->Attach(nullptr), 0);
  auto requests = scripted::BoardRequests("Qvtvr0");
  ASSERT_EQ(CountOf(requests, IOCTL_QV_BOOT), 2u);
  EXPECT_EQ(CountOf(requests, IOCTL_QV_LOAD), 0u);
  EXPECT_TRUE(requests.back().input.empty());
  d->Unknown()->Release();
}

TEST_F(Machine, EnumeratorArgumentsAndAnEmptyRing) {
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  CQvDeviceEnum* e = new CQvDeviceEnum(nullptr, static_cast<IQVDevice*>(d), 0);
  QvBoardStatus out[2];
  ULONG fetched = 9;
  EXPECT_EQ(e->Next(2, out, nullptr), E_INVALIDARG);
  EXPECT_EQ(e->Next(1, nullptr, &fetched), E_POINTER);
  EXPECT_EQ(d->IsClosed(), S_FALSE);
  // The wave device is opened for the walk; a machine without boards ends it.
  EXPECT_EQ(e->Next(2, out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(d->IsClosed(), S_OK);
  EXPECT_STREQ(d->m_path, L"\\\\.\\Qvwave");
  EXPECT_EQ(e->Next(1, out, nullptr), S_FALSE);
  d->Unknown()->Release();
  e->Skip(5);
  EXPECT_EQ(e->m_index, 5u);
  IQVDeviceEnum* clone = nullptr;
  EXPECT_EQ(e->Clone(nullptr), E_POINTER);
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(static_cast<CQvDeviceEnum*>(clone)->m_index, 5u);
  EXPECT_EQ(static_cast<CQvDeviceEnum*>(clone)->m_device, e->m_device);
  clone->Release();
  e->Unknown()->Release();
  EXPECT_EQ(ComObjectCount(), 0);
}

// ---- the wave object ----

TEST(Wave, HalfSwapRule) {
  // Position steps of a 256-frame buffer: half swaps, a whole buffer (or no
  // step) keeps the same half due, anything else swaps.
  struct Case {
    uint32_t delta;
    bool swaps;
  } cases[] = {{128, true}, {256, false}, {0, false}, {512, false}, {384, true}, {100, true}};
  for (const Case& c : cases) EXPECT_EQ(QvWaveHalvesSwap(c.delta, 256), c.swaps) << c.delta;
}

class Callback : public IQVWaveCallback {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE OnBuffer(QvWaveMapBlock* block) override {
    due.push_back(block->address);
    ++calls;
    return calls == failAt ? E_ABORT : S_OK;
  }
  std::atomic<ULONG> refs{1};
  std::atomic<int> calls{0};
  int failAt = 0;
  std::vector<uint32_t> due;
};

TEST_F(Machine, WaveMapValidation) {
  HRESULT hr = S_OK;
  auto* w = reinterpret_cast<CQvWaveObject*>(CreateQvWaveObject(&CLSID_QvWave, nullptr, &hr));
  scripted::AddStream("Qvwave2", 0);
  ASSERT_EQ(w->OpenLocked(L"Qvwave2", 0, 0, 0), S_OK);
  QvWaveMapBlock good = {};
  good.sampleSize = 4;
  good.inputs = 0x81;  // the high bit is not counted
  good.outputs = 1;
  good.frames = 256;
  good.channels[0] = 3;
  good.channels[1] = 7;
  ASSERT_EQ(w->Map(&good, nullptr), S_OK);
  ASSERT_NE(w->m_map, nullptr);
  EXPECT_EQ(w->m_map->channels[1], 7);
  EXPECT_EQ(static_cast<uint8_t*>(w->m_arrayA[1]) - static_cast<uint8_t*>(w->m_arrayA[0]), 1024);
  EXPECT_EQ(static_cast<uint8_t*>(w->m_arrayB[0]) - static_cast<uint8_t*>(w->m_arrayA[0]), 512);

  struct Bad {
    uint32_t frames;
    uint8_t grouped;
    uint32_t address;
  } bad[] = {{0, 0, 0}, {256, 1, 0}, {256, 0, 0x1000}};
  for (const Bad& b : bad) {
    QvWaveMapBlock m = good;
    m.frames = b.frames;
    m.grouped = b.grouped;
    m.address = b.address;
    EXPECT_EQ(w->Map(&m, nullptr), E_INVALIDARG);
    EXPECT_EQ(w->m_map, nullptr);  // the earlier map was closed
  }

  // Forty channels: every channel number survives the pointer arrays.
  struct Big {
    QvWaveMapBlock m;
    uint8_t more[8];
  } big = {};
  big.m.sampleSize = 2;
  big.m.outputs = 40;
  big.m.frames = 128;
  for (int c = 0; c < 32; ++c) big.m.channels[c] = static_cast<uint8_t>(c + 1);
  for (int c = 0; c < 8; ++c) big.more[c] = static_cast<uint8_t>(33 + c);
  ASSERT_EQ(w->Map(&big.m, nullptr), S_OK);
  auto* numbers = reinterpret_cast<uint8_t*>(w->m_map) + 12;
  for (int c = 0; c < 40; ++c) EXPECT_EQ(numbers[c], c + 1);
  auto requests = scripted::StreamRequests("Qvwave2");
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().input.size(), 52u);
  EXPECT_EQ(requests.back().input[51], 40);

  // The grouped single-channel maps that MapInput and MapOutput make.
  WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, 2, 48000, 48000 * 8, 8, 32, 0};
  EXPECT_EQ(w->MapInput(5, &pcm), S_OK);
  WAVEFORMATEX other = pcm;
  other.wFormatTag = 3;
  EXPECT_EQ(w->MapOutput(5, &other), E_INVALIDARG);
  EXPECT_EQ(w->MapOutput(5, nullptr), S_OK);
  EXPECT_EQ(w->m_map, nullptr);
  w->Unknown()->Release();
}

TEST_F(Machine, WaveStreamSwapsHalvesAndStops) {
  HRESULT hr = S_OK;
  auto* w = reinterpret_cast<CQvWaveObject*>(CreateQvWaveObject(&CLSID_QvWave, nullptr, &hr));
  // The scripted stream advances 128 frames per wait: half of 256.
  scripted::AddStream("Qvwave2", 3);
  ASSERT_EQ(w->OpenLocked(L"Qvwave2", 0, 0, 0), S_OK);
  QvWaveMapBlock m = {};
  m.sampleSize = 4;
  m.outputs = 1;
  m.frames = 256;
  ASSERT_EQ(w->Map(&m, nullptr), S_OK);
  Callback cb;
  ASSERT_EQ(w->Start(&cb), S_OK);
  EXPECT_EQ(cb.refs, 2u);
  for (int i = 0; i < 500 && cb.calls < 3; ++i) Sleep(10);
  EXPECT_EQ(w->Wait(0), E_PENDING);
  EXPECT_EQ(w->Stop(), S_OK);
  EXPECT_EQ(cb.refs, 1u);
  ASSERT_EQ(cb.due.size(), 3u);
  uint32_t a = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w->m_arrayA));
  uint32_t b = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(w->m_arrayB));
  EXPECT_EQ(cb.due[0], a);
  EXPECT_EQ(cb.due[1], b);
  EXPECT_EQ(cb.due[2], a);
  EXPECT_EQ(w->Wait(0), S_OK);  // no thread
  EXPECT_EQ(w->Map(nullptr, nullptr), S_OK);
  EXPECT_EQ(w->m_map, nullptr);
  w->Unknown()->Release();
}

TEST_F(Machine, CallbackFailureEndsTheStream) {
  HRESULT hr = S_OK;
  auto* w = reinterpret_cast<CQvWaveObject*>(CreateQvWaveObject(&CLSID_QvWave, nullptr, &hr));
  scripted::AddStream("Qvwave2", 5);
  ASSERT_EQ(w->OpenLocked(L"Qvwave2", 0, 0, 0), S_OK);
  QvWaveMapBlock m = {};
  m.sampleSize = 2;
  m.inputs = 1;
  m.frames = 256;
  ASSERT_EQ(w->Map(&m, nullptr), S_OK);
  Callback cb;
  cb.failAt = 2;
  ASSERT_EQ(w->Start(&cb), S_OK);
  EXPECT_EQ(w->Wait(5000), E_ABORT);
  EXPECT_EQ(cb.calls, 2);
  EXPECT_EQ(w->Stop(), E_ABORT);
  w->Unknown()->Release();
}

}  // namespace

namespace {

// A settings sink that counts its calls and keeps the last record.
struct CountingSink : IQVSettingsSink {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE SettingsChanged(const uint32_t* record) override {
    ++calls;
    last = record[0];
    return S_OK;
  }
  ULONG refs = 1;
  int calls = 0;
  uint32_t last = 0;
};

std::vector<GUID> Pages(CDevFamilyUnit* unit) {
  CAUUID pages = {};
  EXPECT_EQ(S_OK, unit->GetPages(&pages));
  std::vector<GUID> out(pages.pElems, pages.pElems + pages.cElems);
  CoTaskMemFree(pages.pElems);
  return out;
}

}  // namespace

// The unit objects over a board: pages per family, the Tv2 selection remap,
// settings that reach the board before they are kept.
TEST_F(Machine, BoardUnitObjects) {
  scripted::AddBoard("Qvu0", 0xAB1920);
  scripted::AddBoard("Qvdev9", 0x170000);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  // A board without a unit class: its identity says so, no unit is made.
  ASSERT_EQ(d->Open(L"Qvdev9", 0, 0, 0), S_OK);
  EXPECT_EQ(HRESULT(0x80070103), CreateMixDevUnit(d));
  EXPECT_EQ(nullptr, d->m_inner);
  EXPECT_EQ(IOCTL_QV_GET_STATUS, scripted::BoardRequests("Qvdev9").back().code);
  d->Close();
  ASSERT_EQ(d->Open(L"Qvu0", 0, 0, 0), S_OK);
  // The platform offers no device name here, so the units report that; they
  // are whole objects all the same.
  auto* dnv = new CDevDnvUnit(nullptr, d, &hr);
  auto* tv2 = new CDevTv2Unit(nullptr, d, &hr);
  auto* cbl = new CDevCblUnit(nullptr, d, &hr);
  auto* tvr = new CDevTvrUnit(nullptr, d, &hr);

  const GUID dnvPage = {0xD4561101, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
  const GUID tvrPage = {0xD4AB2345, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
  const GUID presetPage = {0xD4E5F300, 0xA36F, 0x11D4, {0xB0, 0xE6, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};
  auto dnvPages = Pages(dnv);
  ASSERT_EQ(2u, dnvPages.size());
  EXPECT_TRUE(IsEqualGUID(dnvPage, dnvPages[0]));
  EXPECT_EQ(1u, Pages(tv2).size());
  EXPECT_TRUE(Pages(cbl).empty());  // no converter: no pages
  cbl->m_converter->m_state.present = true;
  cbl->m_online = false;
  auto cblPages = Pages(cbl);
  ASSERT_EQ(1u, cblPages.size());  // the device page only while the unit holds its device
  EXPECT_TRUE(IsEqualGUID(presetPage, cblPages[0]));
  g_registerDS = 0;
  EXPECT_TRUE(Pages(tvr).empty());
  g_registerDS = 1;
  ASSERT_EQ(1u, Pages(tvr).size());
  EXPECT_TRUE(IsEqualGUID(tvrPage, Pages(tvr)[0]));
  g_registerDS = 0;
  ISpecifyPropertyPages* spp = nullptr;
  EXPECT_EQ(S_OK, tv2->Unknown()->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&spp)));
  EXPECT_EQ(E_POINTER, spp->GetPages(nullptr));
  spp->Release();
  IReferenceClock* clock = nullptr;
  EXPECT_EQ(S_OK, tv2->Unknown()->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&clock)));
  clock->Release();

  // Track groups are checked as stream groups.
  tv2->m_channels[6].bytes[2] = 8;
  qvmix::Selection sel = {}, req = {0, 8, 4, 0};
  EXPECT_EQ(S_OK, tv2->CheckTv2Selection(&req, &sel));
  EXPECT_EQ(6, sel.index);
  req.index = 2;  // others unchanged: an empty bus group refuses 8 channels
  EXPECT_EQ(E_FAIL, tv2->CheckTv2Selection(&req, &sel));

  // Settings: the board refuses them, so they are not kept and the same
  // words go out again; the Tv2 sinks hear of every send.
  CountingSink sink, second, third;
  DWORD_PTR cookie = 0, cookie2 = 0, cookie3 = 7;
  ASSERT_EQ(S_OK, tv2->AdviseSettings(&sink, &cookie));
  ASSERT_EQ(S_OK, tv2->AdviseSettings(&second, &cookie2));
  EXPECT_EQ(HRESULT(0x80040201), tv2->AdviseSettings(&third, &cookie3));  // both slots taken
  EXPECT_EQ(0u, cookie3);
  EXPECT_EQ(S_OK, tv2->UnadviseSettings(cookie2));
  EXPECT_EQ(HRESULT(0x80040200), tv2->UnadviseSettings(cookie2 + 64));  // a slot cookie of no slot
  // Other cookies are the base's rate sinks.
  struct RateSink : IQVRateSink {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE Reserved1() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved2() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RateApplied(const qvmix::RateRecord*) override { return S_OK; }
    ULONG refs = 1;
  } rateSink;
  DWORD_PTR rateCookie = 0;
  ASSERT_EQ(S_OK, tv2->AdviseSink(&rateSink, &rateCookie));
  EXPECT_EQ(S_OK, tv2->UnadviseSettings(rateCookie));
  EXPECT_EQ(1u, rateSink.refs);
  EXPECT_EQ(HRESULT(0x80040200), tv2->UnadviseSettings(rateCookie));
  const uint32_t words[2] = {7, 9};
  EXPECT_TRUE(FAILED(tv2->SetSettings(words)));
  EXPECT_TRUE(FAILED(tv2->SetSettings(words)));
  EXPECT_EQ(2u, CountOf(scripted::BoardRequests("Qvu0"), IOCTL_QV_SET_PARAM));
  EXPECT_EQ(2, sink.calls);
  uint32_t record[4] = {1, 1, 1, 1};
  EXPECT_EQ(S_OK, tv2->GetSettings(record));
  EXPECT_EQ(0u, record[2] | record[3]);
  EXPECT_EQ(E_POINTER, tv2->GetSettings(nullptr));
  const uint32_t one[1] = {5};
  EXPECT_TRUE(FAILED(dnv->SetSettings(one)));  // the Dnv sinks only hear of a success
  EXPECT_EQ(S_OK, tv2->UnadviseSettings(cookie));
  // A status poll that fails changes nothing.
  EXPECT_TRUE(FAILED(dnv->Poll()));
  EXPECT_EQ(0u, dnv->m_words[0]);

  for (CDevFamilyUnit* u : {static_cast<CDevFamilyUnit*>(dnv), static_cast<CDevFamilyUnit*>(tv2),
                            static_cast<CDevFamilyUnit*>(cbl), static_cast<CDevFamilyUnit*>(tvr)})
    EXPECT_EQ(0u, u->Unknown()->Release());
  EXPECT_EQ(0u, d->Unknown()->Release());
}

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> b(words.size() * 4);
  size_t i = 0;
  for (uint32_t w : words) memcpy(&b[4 * i++], &w, 4);
  return b;
}

// The request codes a board saw from `from` on.
std::vector<uint32_t> CodesSince(const char* board, size_t from) {
  std::vector<uint32_t> codes;
  auto requests = scripted::BoardRequests(board);
  for (size_t i = from; i < requests.size(); ++i) codes.push_back(requests[i].code);
  return codes;
}

// A graph that has a device tree and nothing else.
struct TreeHost : CMixGraphHost {
  HWND GraphWindow() override { return nullptr; }
  void LockGraph() override {}
  void UnlockGraph() override {}
  HRESULT StopGraph() override { return S_OK; }
  void SetGraphClock(IReferenceClock*) override {}
  void GraphClockChanged() override {}
  HWND TreeWindow() override { return tree; }
  HWND tree = nullptr;
};

std::wstring ItemText(HWND tree, HTREEITEM item) {
  wchar_t text[64] = L"";
  TVITEMW t = {};
  t.mask = TVIF_TEXT;
  t.hItem = item;
  t.pszText = text;
  t.cchTextMax = 64;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&t));
  return text;
}

}  // namespace

// Dunvell activation: the device acquired, the firmware step, a refresh
// that reads the status; a failing step gives the device up again.
TEST_F(Machine, DunvellActivation) {
  scripted::AddBoard("Qvdnv0", 0x561101);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  ASSERT_EQ(S_OK, d->Open(L"Qvdnv0", 0, 0, 0));
  auto* dnv = new CDevDnvUnit(nullptr, d, &hr);
  ASSERT_TRUE(dnv->m_online);

  size_t from = scripted::BoardRequests("Qvdnv0").size();
  EXPECT_TRUE(FAILED(dnv->Activate()));  // the board answers no status
  EXPECT_FALSE(dnv->IsActive());
  EXPECT_EQ(CodesSince("Qvdnv0", from), (std::vector<uint32_t>{IOCTL_QV_ATTACH, IOCTL_QV_GET_ID, IOCTL_QV_GET_PARAM,
                                                               IOCTL_QV_DETACH}));

  scripted::SetAnswer("Qvdnv0", IOCTL_QV_GET_PARAM, true, Bytes({0xC0000001, 0x4}));
  scripted::SetAnswer("Qvdnv0", IOCTL_QV_DETACH, true);
  from = scripted::BoardRequests("Qvdnv0").size();
  EXPECT_EQ(S_OK, dnv->Activate());
  EXPECT_TRUE(dnv->IsActive());
  EXPECT_EQ(CodesSince("Qvdnv0", from),
            (std::vector<uint32_t>{IOCTL_QV_ATTACH, IOCTL_QV_GET_ID, IOCTL_QV_GET_PARAM, IOCTL_QV_DEVICE_MODE,
                                   IOCTL_QV_DEVICE_MODE}));  // the format asked, the rate sent
  EXPECT_EQ(0xC0000001u, dnv->m_words[0]);  // the refresh read the status and took its rate
  // A rate the active board detects: its format goes back with that rate,
  // the rate alone while no format is known.
  scripted::SetAnswer("Qvdnv0", IOCTL_QV_DEVICE_MODE, true);
  scripted::SetAnswer("Qvdnv0", IOCTL_QV_GET_PARAM, true, Bytes({0xC0000003, 0x4}));
  CountingSink sink;
  DWORD_PTR cookie = 0;
  ASSERT_EQ(S_OK, dnv->AdviseSettings(&sink, &cookie));
  EXPECT_EQ(0, dnv->Poll());
  auto requests = scripted::BoardRequests("Qvdnv0");
  EXPECT_EQ(IOCTL_QV_DEVICE_MODE, requests.back().code);
  EXPECT_EQ(Bytes({96000}), requests.back().input);
  EXPECT_EQ(1, sink.calls);  // the sinks hear the new words
  EXPECT_EQ(0xC0000003u, sink.last);
  EXPECT_EQ(0, dnv->Poll());
  EXPECT_EQ(1, sink.calls);  // unchanged words: nothing to tell
  EXPECT_EQ(S_OK, dnv->UnadviseSettings(cookie));
  const uint32_t mode[3] = {44100, 0, 0x00700005};
  EXPECT_EQ(S_OK, dnv->SetFormat(mode));
  scripted::SetAnswer("Qvdnv0", IOCTL_QV_GET_PARAM, true, Bytes({0xC0000001, 0x4}));
  EXPECT_EQ(0, dnv->Poll());
  requests = scripted::BoardRequests("Qvdnv0");
  EXPECT_EQ(Bytes({48000, 0, 0x00700005}), requests.back().input);
  // A suspended graph's stop gives the board up, its run takes it again.
  from = scripted::BoardRequests("Qvdnv0").size();
  dnv->StopUnit();
  dnv->RunUnit();
  EXPECT_EQ(CodesSince("Qvdnv0", from),
            (std::vector<uint32_t>{IOCTL_QV_DETACH, IOCTL_QV_ATTACH, IOCTL_QV_DEVICE_MODE}));
  from = scripted::BoardRequests("Qvdnv0").size();
  dnv->Deactivate();
  EXPECT_EQ(CodesSince("Qvdnv0", from), (std::vector<uint32_t>{IOCTL_QV_DETACH}));

  EXPECT_EQ(0u, dnv->Unknown()->Release());
  EXPECT_EQ(0u, d->Unknown()->Release());

  // The firmware step refuses a board of another family.
  scripted::AddBoard("Qvtvr0", 0xAB2345);
  auto* t = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  ASSERT_EQ(S_OK, t->Open(L"Qvtvr0", 0, 0, 0));
  auto* tvr = new CDevTvrUnit(nullptr, t, &hr);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BAD_UNIT), UpdateTv2Firmware(tvr, 0));
  EXPECT_EQ(0u, tvr->Unknown()->Release());
  EXPECT_EQ(0u, t->Unknown()->Release());
}

// Corbelle activation: firmware step (which reads the converter), the
// converter's settings word, the stored route table, a refresh and the
// card's 258-entry initial routing; each failure ends it, and the settings
// word is kept only once the card has it, so a retry sends it again.
TEST_F(Machine, CorbelleActivationConverterAndTreeItem) {
  scripted::AddBoard("Qvcbl0", 0xAB6935);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  ASSERT_EQ(S_OK, d->Open(L"Qvcbl0", 0, 0, 0));
  auto* cbl = new CDevCblUnit(nullptr, d, &hr);
  ASSERT_TRUE(cbl->m_converter);
  EXPECT_EQ(cbl->m_converter->Unknown(), cbl->m_inner);

  scripted::SetAnswer("Qvcbl0", IOCTL_QV_GET_PARAM, true, Bytes({0x10000000, 0x00230007, 0x200F0210, 0}));
  scripted::SetAnswer("Qvcbl0", IOCTL_QV_SET_PARAM, true);
  scripted::SetAnswer("Qvcbl0", IOCTL_QV_SET_ROUTES, false);
  scripted::SetAnswer("Qvcbl0", IOCTL_QV_DETACH, true);
  size_t from = scripted::BoardRequests("Qvcbl0").size();
  EXPECT_TRUE(FAILED(cbl->Activate()));
  EXPECT_FALSE(cbl->IsActive());
  EXPECT_EQ(CodesSince("Qvcbl0", from),
            (std::vector<uint32_t>{IOCTL_QV_ATTACH, IOCTL_QV_GET_ID, IOCTL_QV_GET_PARAM, IOCTL_QV_SET_PARAM,
                                   IOCTL_QV_GET_PARAM, IOCTL_QV_SET_ROUTES, IOCTL_QV_DETACH}));
  auto requests = scripted::BoardRequests("Qvcbl0");
  EXPECT_EQ(Bytes({0x400F0210}), requests[from + 3].input);  // bit 30 set, bit 29 cleared
  const auto& routes = requests[from + 5].input;
  ASSERT_EQ(258u * 4, routes.size());
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0, 0x00, 0x10}), std::vector<uint8_t>(routes.begin(), routes.begin() + 4));
  EXPECT_EQ((std::vector<uint8_t>{0xFF, 0, 0x09, 0x20}), std::vector<uint8_t>(routes.end() - 4, routes.end()));

  // The route table kept in the unit's key goes out before the routing;
  // a damaged one ends the activation.
  cbl->m_serialLow = 0x123;
  cbl->m_serialHigh = 0x45;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, OpenUnitKey(0x123, 0x45, nullptr, &key));
  const BYTE bad[6] = {};
  RegSetValueExA(key, "LumoraRouteTable", 0, REG_BINARY, bad, sizeof bad);
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), cbl->Activate());
  const auto table = Bytes({0x00010203, 0x04050607});
  RegSetValueExA(key, "LumoraRouteTable", 0, REG_BINARY, table.data(), static_cast<DWORD>(table.size()));
  scripted::SetAnswer("Qvcbl0", IOCTL_QV_SET_ROUTES, true);
  from = scripted::BoardRequests("Qvcbl0").size();
  ASSERT_EQ(S_OK, cbl->Activate());
  requests = scripted::BoardRequests("Qvcbl0");
  EXPECT_EQ(CodesSince("Qvcbl0", from),
            (std::vector<uint32_t>{IOCTL_QV_ATTACH, IOCTL_QV_GET_ID, IOCTL_QV_GET_PARAM, IOCTL_QV_SET_PARAM,
                                   IOCTL_QV_SET_ROUTES, IOCTL_QV_GET_PARAM, IOCTL_QV_SET_ROUTES}));
  EXPECT_EQ(Bytes({0x400F0210}), requests[from + 3].input);
  EXPECT_EQ(table, requests[from + 4].input);
  EXPECT_EQ(0x400F0210u, cbl->m_converter->m_settings);
  RegDeleteValueA(key, "LumoraRouteTable");
  RegCloseKey(key);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Units\\000045000123");

  // The tree: the converter's child item made with the unit's, renamed,
  // removed when the converter goes; the pages follow it too.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_TREEVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  TreeHost host;
  host.tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(host.tree);
  cbl->m_host = &host;
  cbl->AddToTree(nullptr);
  ASSERT_TRUE(cbl->m_converterItem);
  EXPECT_EQ(L"Lumora ADA8 V2.3", ItemText(host.tree, cbl->m_converterItem));
  EXPECT_EQ(2u, Pages(cbl).size());

  // A locked card at 48 kHz, a newer converter firmware; the active unit's
  // converter puts its settings back on the card.
  scripted::SetAnswer("Qvcbl0", IOCTL_QV_GET_PARAM, true, Bytes({0xD0000001, 0x00240007, 0x000F0210, 0}));
  from = scripted::BoardRequests("Qvcbl0").size();
  EXPECT_EQ(0, cbl->Poll());  // bit 31: locked
  EXPECT_EQ(48000u, cbl->m_rateNow);
  EXPECT_EQ(L"Lumora ADA8 V2.4", ItemText(host.tree, cbl->m_converterItem));
  requests = scripted::BoardRequests("Qvcbl0");
  EXPECT_EQ(CodesSince("Qvcbl0", from),
            (std::vector<uint32_t>{IOCTL_QV_GET_PARAM, IOCTL_QV_SET_PARAM, IOCTL_QV_DEVICE_MODE,
                                   IOCTL_QV_DEVICE_MODE}));
  EXPECT_EQ(Bytes({0x400F0210}), requests[requests.size() - 3].input);
  EXPECT_EQ(Bytes({48000}), requests.back().input);  // after the lock was left

  scripted::SetAnswer("Qvcbl0", IOCTL_QV_GET_PARAM, true, Bytes({0x00000001, 0x00240007, 0x400F0210, 0}));
  EXPECT_EQ(1, cbl->Poll());
  EXPECT_EQ(nullptr, cbl->m_converterItem);
  EXPECT_EQ(nullptr, reinterpret_cast<HTREEITEM>(SendMessageW(host.tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                              reinterpret_cast<LPARAM>(cbl->m_serialItem))));
  EXPECT_TRUE(Pages(cbl).empty());

  cbl->Deactivate();
  cbl->RemoveFromTree();
  cbl->m_host = nullptr;
  DestroyWindow(host.tree);
  EXPECT_EQ(0u, cbl->Unknown()->Release());
  EXPECT_EQ(0u, d->Unknown()->Release());
}

// The graph's rate reaches the clock's board: the unit that claims becomes
// the clock, acquires its board as such, and the board takes rate,
// vari-speed and frame-rate code with the claim, its other mode bits kept;
// the same unit giving up the claim is no clock and gives its board up.
TEST_F(Machine, GraphRateReachesTheClockBoard) {
  scripted::AddBoard("Qvdnv1", 0x561101);
  scripted::SetAnswer("Qvdnv1", IOCTL_QV_GET_PARAM, true, Bytes({0x80000000, 0}));  // no input locked
  scripted::SetAnswer("Qvdnv1", IOCTL_QV_DEVICE_MODE, true, Bytes({44100, 0, 0x00700005}));
  scripted::SetAnswer("Qvdnv1", IOCTL_QV_DETACH, true);
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  ASSERT_EQ(S_OK, d->Open(L"Qvdnv1", 0, 0, 0));
  auto* dnv = new CDevDnvUnit(nullptr, d, &hr);
  TreeHost host;
  {
    CMixDevList list(&host, FALSE);
    list.AddUnit(dnv);
    EXPECT_FALSE(dnv->IsActive());  // the probe's activation given back
    qvmix::RateRecord r = {48000, 7, 0x80000004};
    EXPECT_EQ(S_OK, list.SetRate(dnv, &r));
    EXPECT_EQ(static_cast<IReferenceClock*>(dnv), list.Clock());
    EXPECT_TRUE(dnv->m_clockSource);
    EXPECT_TRUE(dnv->IsActive());
    auto requests = scripted::BoardRequests("Qvdnv1");
    EXPECT_EQ(IOCTL_QV_DEVICE_MODE, requests.back().code);
    EXPECT_EQ(Bytes({48000, 7, 0x80700004}), requests.back().input);

    // A rate set in the registry goes to the clock, and from it to its board.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\MultiMedia", 0, nullptr, 0,
                                             KEY_READ | KEY_NOTIFY | KEY_SET_VALUE, nullptr, &key, nullptr));
    DWORD rate = 96000;
    RegSetValueExA(key, "SampleRate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate), 4);
    list.m_mmKey = key;  // closed by the list
    list.ReadRate();
    RegDeleteValueA(key, "SampleRate");
    EXPECT_EQ(96000u, list.m_rate.m_current.sampleRate);
    requests = scripted::BoardRequests("Qvdnv1");
    EXPECT_EQ(Bytes({96000, 7, 0x80700004}), requests.back().input);

    r.sampleRate = 48000;
    r.frameRate = 4;
    EXPECT_EQ(S_OK, list.SetRate(dnv, &r));
    EXPECT_EQ(nullptr, list.Clock());
    EXPECT_FALSE(dnv->m_clockSource);
    EXPECT_FALSE(dnv->IsActive());
    requests = scripted::BoardRequests("Qvdnv1");
    EXPECT_EQ(Bytes({48000, 7, 0x00700004}), requests[requests.size() - 2].input);
    EXPECT_EQ(IOCTL_QV_DETACH, requests.back().code);
    list.Close();
  }
  EXPECT_EQ(0u, dnv->Unknown()->Release());
  EXPECT_EQ(0u, d->Unknown()->Release());
}

// The simulated PCI boards seen through the device installer: their mixer
// interfaces listed, opened by their own paths into units, the mixer device
// list built from them, and the enumerator's walk over their records.
TEST_F(Machine, MixerDevicesOfThePciBoards) {
  ASSERT_TRUE(simmachine::AddPciBoard(BoardIdTvr));
  ASSERT_TRUE(simmachine::AddPciBoard(BoardIdCbl));
  ASSERT_TRUE(simmachine::AddPciBoard(BoardIdTvr));
  std::vector<std::wstring> paths;
  std::vector<DWORD> tokens;
  DWORD token = 0, flags = 0;
  for (DWORD i = 0;; ++i) {
    BSTR p = DeviceInterfacePath(&CLSID_QvMixerDevice, nullptr, i, &token, &flags);
    if (!p) break;
    EXPECT_EQ(DeviceInterfaceActive, flags);
    paths.push_back(p);
    tokens.push_back(token);
    SysFreeString(p);
  }
  EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
  ASSERT_EQ(3u, paths.size());
  EXPECT_EQ(0, _wcsnicmp(paths[1].c_str(), L"\\\\?\\SIM#", 8)) << paths[1];
  // Limited to one device instance, or to an enumerator of none.
  BSTR one = DeviceInterfacePath(&CLSID_QvMixerDevice, L"sim\\1", 0, nullptr, nullptr);
  ASSERT_TRUE(one);
  EXPECT_EQ(paths[1], one);
  SysFreeString(one);
  EXPECT_EQ(nullptr, DeviceInterfacePath(&CLSID_QvMixerDevice, L"sim\\1", 1, nullptr, nullptr));
  EXPECT_EQ(nullptr, DeviceInterfacePath(&CLSID_QvMixerDevice, L"PCI", 0, nullptr, nullptr));

  // A mixer device opened by its own path gets its unit, named from the
  // interface's key; the device's own properties come from its node.
  HRESULT hr = S_OK;
  auto* d = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvMixerDevice, nullptr, &hr));
  ASSERT_EQ(S_OK, d->Open(paths[2].c_str(), 0, 0, 0));
  ASSERT_TRUE(d->m_unit);
  EXPECT_STREQ(L"Tavrion 2", d->m_unit->Name());
  VARIANT v;
  VariantInit(&v);
  struct {
    DWORD_PTR id;
    HRESULT hr;
    const wchar_t* text;
  } const properties[] = {
      {12, S_OK, L"Tavrion 2"},
      {SPDRP_DEVICEDESC, S_OK, L"Multimedia controller"},
      {SPDRP_HARDWAREID, S_OK, L"PCI\\VEN_1057&DEV_1801&SUBSYS_234589AB&REV_01"},
      {SPDRP_CLASS, HRESULT_FROM_WIN32(ERROR_INVALID_DATA), nullptr},
  };
  for (const auto& p : properties) {
    EXPECT_EQ(p.hr, d->GetProperty(p.id, &v)) << p.id;
    if (p.text) {
      ASSERT_EQ(VT_BSTR, v.vt);
      EXPECT_STREQ(p.text, v.bstrVal);
    }
    VariantClear(&v);
  }
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(L"Left rack");
  EXPECT_EQ(S_OK, d->SetProperty(12, &v));
  VariantClear(&v);
  EXPECT_EQ(S_OK, d->GetProperty(12, &v));
  EXPECT_STREQ(L"Left rack", v.bstrVal);
  VariantClear(&v);
  v.vt = VT_I4;
  v.lVal = 1;
  EXPECT_LT(d->SetProperty(SPDRP_DEVICEDESC, &v), 0);  // the node's own properties are not written

  // A unit made again replaces the device's earlier one, which goes.
  LONG objects = ComObjectCount();
  CMixDevUnit* earlier = d->m_unit;
  ASSERT_EQ(S_OK, CreateMixDevUnit(d));
  EXPECT_NE(earlier, d->m_unit);
  EXPECT_EQ(objects, ComObjectCount());
  EXPECT_EQ(0u, d->Unknown()->Release());

  // The list finds the three boards, in name order (the renamed one by its
  // new name), each with the installer's number of its interface.
  TreeHost host;
  {
    CMixDevList list(&host, TRUE);
    std::vector<std::wstring> names;
    std::vector<DWORD> serials;
    for (CMixDevUnit* u = list.m_head; u; u = u->m_next) {
      names.push_back(u->Name());
      serials.push_back(u->m_serialLow);
      EXPECT_FALSE(u->IsActive());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Corbelle", L"Left rack", L"Tavrion"}), names);
    EXPECT_EQ((std::vector<DWORD>{tokens[1], tokens[2], tokens[0]}), serials);
    EXPECT_EQ(list.m_head->m_next->m_next, list.FindUnit(tokens[0]));
    EXPECT_EQ(nullptr, list.Clock());  // no board claims the clock by itself
    // A rate with the claim makes the Tavrion the clock: it is activated,
    // acquires its board and takes the rate.
    CMixDevUnit* tvr = list.FindUnit(tokens[0]);
    qvmix::RateRecord r = {48000, 0, 0x80000004};
    EXPECT_EQ(S_OK, list.SetRate(tvr, &r));
    EXPECT_EQ(static_cast<IReferenceClock*>(tvr), list.Clock());
    EXPECT_TRUE(tvr->m_clockSource);
    EXPECT_TRUE(tvr->IsActive());

    // A board that arrives later is added when its interface's arrival is
    // told, with the number the installer lists for it; a removal leaves the
    // unit until Close, and an unknown path adds nothing.
    ASSERT_TRUE(simmachine::AddPciBoard(BoardIdCbl));
    BSTR arrived = DeviceInterfacePath(&CLSID_QvMixerDevice, nullptr, 3, &token, nullptr);
    ASSERT_TRUE(arrived);
    std::vector<BYTE> message(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + MAX_PATH * sizeof(WCHAR));
    auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(message.data());
    b->dbcc_size = static_cast<DWORD>(message.size());
    b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    b->dbcc_classguid = CLSID_QvMixerDevice;
    lstrcpynW(b->dbcc_name, arrived, MAX_PATH);
    SysFreeString(arrived);
    EXPECT_TRUE(list.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(b)));
    CMixDevUnit* second = list.FindUnit(token);
    ASSERT_TRUE(second);
    EXPECT_STREQ(L"Corbelle 2", second->Name());
    EXPECT_EQ(second, list.m_head->m_next);
    EXPECT_TRUE(list.OnDeviceChange(DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<LPARAM>(b)));
    EXPECT_EQ(second, list.FindUnit(token));
    lstrcpyW(b->dbcc_name, L"\\\\?\\SIM#9#{5ac6eff0-4264-11d2-ac7f-00a024cfc258}");
    EXPECT_TRUE(list.OnDeviceChange(DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(b)));
    size_t units = 0;
    for (CMixDevUnit* u = list.m_head; u; u = u->m_next) ++units;
    EXPECT_EQ(4u, units);
    list.Close();
  }

  // The enumerator walks the boards' records through the wave device.
  auto* w = reinterpret_cast<CQvDevice*>(CreateQvDevice(&CLSID_QvDevice, nullptr, &hr));
  CQvDeviceEnum* e = new CQvDeviceEnum(nullptr, static_cast<IQVDevice*>(w), 0);
  QvBoardStatus out[5];
  ULONG fetched = 0;
  EXPECT_EQ(S_FALSE, e->Next(5, out, &fetched));
  ASSERT_EQ(4u, fetched);
  const uint32_t ids[] = {BoardIdTvr, BoardIdCbl, BoardIdTvr, BoardIdCbl};
  for (ULONG i = 0; i < fetched; ++i) {
    uint32_t id;
    memcpy(&id, out[i].bytes + 8, 4);
    EXPECT_EQ(ids[i], id) << i;
  }
  e->Reset();
  EXPECT_EQ(S_OK, e->Next(1, out, nullptr));
  w->Unknown()->Release();
  e->Unknown()->Release();
  EXPECT_EQ(0, ComObjectCount());
}

// A site that gives its locale and nothing else.
struct LocaleSite : IPropertyPageSite {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
    *lcid = 0x409;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
};

TEST(Com, TavrionPage) {
  ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  HRESULT hr = S_OK;
  IUnknown* u = CreateTvrPage(&CLSID_QvTvrPage, nullptr, &hr);
  ASSERT_TRUE(u);
  auto* page = static_cast<CTvrPage*>(reinterpret_cast<CCom*>(u));
  page->m_module = LoadLibraryExA("Qvimg.bin", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  IPropertyPage* p = static_cast<IPropertyPage*>(page);
  IUnknown* device = CreateQvDevice(&CLSID_QvDevice, nullptr, &hr);
  IUnknown* two[2] = {device, device};
  EXPECT_EQ(E_INVALIDARG, p->SetObjects(2, two));
  EXPECT_EQ(E_INVALIDARG, p->SetObjects(0, nullptr));
  HWND parent =
      CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
  RECT r = {0, 0, 200, 100};
  EXPECT_EQ(E_INVALIDARG, p->Activate(nullptr, &r, FALSE));
  EXPECT_EQ(E_INVALIDARG, p->Activate(parent, nullptr, FALSE));
  EXPECT_EQ(E_UNEXPECTED, p->Activate(parent, &r, FALSE));  // no site, no object
  EXPECT_EQ(E_UNEXPECTED, p->Apply());                      // no dialog
  LocaleSite site;
  EXPECT_EQ(S_OK, p->SetPageSite(&site));
  EXPECT_EQ(E_UNEXPECTED, p->Activate(parent, &r, FALSE));  // still no object
  EXPECT_EQ(S_OK, p->SetObjects(1, &device));
  ASSERT_EQ(S_OK, p->Activate(parent, &r, FALSE));
  EXPECT_EQ(0x409u, page->m_locale);
  EXPECT_EQ(parent, page->m_topLevel);
  EXPECT_EQ(S_OK, p->Apply());  // nothing dirty
  PROPPAGEINFO info = {};
  info.cb = sizeof info;
  EXPECT_EQ(S_OK, p->GetPageInfo(&info));
  EXPECT_GT(info.size.cx, 0);
  CoTaskMemFree(info.pszTitle);
  CoTaskMemFree(info.pszDocString);
  CoTaskMemFree(info.pszHelpFile);
  p->Deactivate();
  p->SetPageSite(nullptr);
  EXPECT_EQ(0u, u->Release());
  device->Release();
  DestroyWindow(parent);
  CoUninitialize();
}
