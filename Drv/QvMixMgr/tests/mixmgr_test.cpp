// The mixer graph object under the platform's COM and window manager: its
// interfaces, the owner thread, windows, the stream, the device tree; the
// mixer device list's clock thread, rate reading and ticks.
#include "Drv/QvMixMgr/mixmgr.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <vfwmsgs.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_assertions{0};
LONG CALLBACK ContinueAssertions(EXCEPTION_POINTERS* p) {
  if (p->ExceptionRecord->ExceptionCode != 87) return EXCEPTION_CONTINUE_SEARCH;
  ++g_assertions;
  return EXCEPTION_CONTINUE_EXECUTION;
}
const PVOID g_handler = AddVectoredExceptionHandler(1, ContinueAssertions);

class MixGraph : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    MixGraphStartHook(nullptr);
    HRESULT hr = S_OK;
    m_unknown = CreateMixGraph(&CLSID_QvMixGraph, nullptr, &hr);
    ASSERT_EQ(S_OK, hr);
    ASSERT_TRUE(m_unknown);
    m_unknown->QueryInterface(IID_IQVMixBuilder, reinterpret_cast<void**>(&m_builder));
    ASSERT_TRUE(m_builder);
  }
  void TearDown() override {
    if (m_builder) {
      m_builder->Clear();
      m_builder->Release();
    }
    // The host's window goes first: the drop registrations of the mixer's
    // windows hold the object.
    if (m_parent) DestroyWindow(m_parent);
    if (m_unknown) {
      EXPECT_EQ(0u, m_unknown->Release());
    }
    OleUninitialize();
  }
  CMixMgr* Object() { return static_cast<CMixMgr*>(reinterpret_cast<CCom*>(m_unknown)); }
  HWND Parent() {
    if (!m_parent)
      m_parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400, nullptr, nullptr,
                                 nullptr, nullptr);
    return m_parent;
  }
  std::vector<LONG> Indices() {
    std::vector<LONG> out;
    for (CMixColumn* c = Object()->m_head; c; c = c->m_next) out.push_back(c->m_index);
    return out;
  }
  void AddColumns(std::initializer_list<LONG> at) {
    for (LONG i : at) {
      IUnknown* c = nullptr;
      ASSERT_EQ(S_OK, m_builder->AddColumn(i, &c));
      ASSERT_TRUE(c);
      c->Release();
    }
  }
  IUnknown* m_unknown = nullptr;
  IQVMixBuilder* m_builder = nullptr;
  HWND m_parent = nullptr;
};

TEST_F(MixGraph, QueryInterfaceTable) {
  struct Case {
    const IID* iid;
    size_t part;  // the interface part's offset in the object
  } own[] = {
      {&IID_IQVMixBuilder, ComOffset<CMixMgr, IQVMixBuilder>()},
      {&IID_IPersistStream, ComOffset<CMixMgr, IPersistStream>()},
      {&IID_IPersist, ComOffset<CMixMgr, IPersistStream>()},
      {&IID_IDropTarget, ComOffset<CMixMgr, IDropTarget>()},
      {&IID_IQVDeviceTree, ComOffset<CMixMgr, IQVDeviceTree>()},
      {&IID_IDistributorNotify, ComOffset<CMixMgr, IDistributorNotify>()},
  };
  for (const Case& c : own) {
    void* p = nullptr;
    ASSERT_EQ(S_OK, m_unknown->QueryInterface(*c.iid, &p));
    EXPECT_EQ(reinterpret_cast<BYTE*>(Object()) + c.part, p);
    static_cast<IUnknown*>(p)->Release();
  }
  // The filter graph's own interfaces, through the aggregated graph, lead
  // back to the same object.
  for (const IID* iid : {&IID_IGraphBuilder, &IID_IFilterGraph, &IID_IMediaFilter}) {
    IUnknown* p = nullptr;
    ASSERT_EQ(S_OK, m_unknown->QueryInterface(*iid, reinterpret_cast<void**>(&p)));
    IUnknown* back = nullptr;
    ASSERT_EQ(S_OK, p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)));
    EXPECT_EQ(m_unknown, back);
    back->Release();
    IQVMixBuilder* b = nullptr;
    EXPECT_EQ(S_OK, p->QueryInterface(IID_IQVMixBuilder, reinterpret_cast<void**>(&b)));
    b->Release();
    p->Release();
  }
  EXPECT_EQ(static_cast<IGraphBuilder*>(nullptr) != Object()->m_graph, true);
  const IID nobody = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, m_unknown->QueryInterface(nobody, &p));
  EXPECT_EQ(nullptr, p);
  // IPersist answers the class; the distributor notices change nothing.
  IPersistStream* ps = nullptr;
  m_unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&ps));
  CLSID clsid = {};
  EXPECT_EQ(S_OK, ps->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(CLSID_QvMixGraph, clsid));
  int before = g_assertions;
  EXPECT_EQ(E_POINTER, ps->GetClassID(nullptr));
  EXPECT_EQ(before + 1, g_assertions);
  ps->Release();
}

TEST_F(MixGraph, CreateWindowsOnceAndOwnerThread) {
  // Before Create every thread is the owner.
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = m_builder->Lock();
    if (SUCCEEDED(other)) m_builder->Unlock();
  }).join();
  EXPECT_EQ(S_OK, other);

  EXPECT_EQ(E_INVALIDARG, m_builder->Create(nullptr, 7, nullptr));
  RECT r = {10, 20, 400, 300};
  ASSERT_EQ(S_OK, m_builder->Create(Parent(), 7, &r));
  HWND mixer = Object()->m_hwnd, overlay = Object()->m_overlay.m_hwnd;
  ASSERT_TRUE(mixer && overlay);
  char name[32];
  GetClassNameA(mixer, name, sizeof name);
  EXPECT_STREQ("QVMixer.WC", name);
  GetClassNameA(overlay, name, sizeof name);
  EXPECT_STREQ("QVMixOvly.WC", name);
  EXPECT_EQ(7, GetDlgCtrlID(mixer));
  EXPECT_TRUE(GetWindowLongA(mixer, GWL_STYLE) & WS_HSCROLL);
  EXPECT_TRUE(GetWindowLongA(overlay, GWL_EXSTYLE) & WS_EX_TRANSPARENT);
  // A second Create makes nothing.
  EXPECT_EQ(S_FALSE, m_builder->Create(Parent(), 8, nullptr));
  EXPECT_EQ(mixer, Object()->m_hwnd);
  EXPECT_EQ(overlay, Object()->m_overlay.m_hwnd);

  // Now only the window's thread may change the graph.
  std::vector<HRESULT> results;
  std::thread([&] {
    IUnknown* c = reinterpret_cast<IUnknown*>(1);
    results = {m_builder->Lock(), m_builder->Suspend(), m_builder->Clear(), m_builder->AddColumn(0, &c),
               m_builder->RemoveColumn(0), m_builder->Create(Parent(), 9, nullptr)};
    results.push_back(c == nullptr ? S_OK : E_FAIL);
  }).join();
  for (size_t i = 0; i + 1 < results.size(); ++i) EXPECT_EQ(E_UNEXPECTED, results[i]) << i;
  EXPECT_EQ(S_OK, results.back());  // the out pointer is cleared
  AddColumns({0});
  EXPECT_EQ(std::vector<LONG>{0}, Indices());
  // Unlock without the lock is refused.
  EXPECT_EQ(E_UNEXPECTED, m_builder->Unlock());
}

TEST_F(MixGraph, ColumnsPlacementAndEditing) {
  AddColumns({2, 0, -1, 2});  // the second 2 pushes the first one up
  EXPECT_EQ((std::vector<LONG>{0, 2, 3, 4}), Indices());
  EXPECT_TRUE(Object()->m_state & CMixMgr::kRunning);  // Unlock after an edit runs the graph
  EXPECT_TRUE(Object()->m_state & CMixMgr::kDirty);
  EXPECT_EQ(VFW_E_NOT_FOUND, m_builder->RemoveColumn(1));
  EXPECT_EQ(S_OK, m_builder->RemoveColumn(3));
  EXPECT_EQ((std::vector<LONG>{0, 2, 4}), Indices());
  IEnumUnknown* e = nullptr;
  ASSERT_EQ(S_OK, m_builder->EnumColumns(&e));
  IUnknown* got[4] = {};
  ULONG n = 0;
  EXPECT_EQ(S_FALSE, e->Next(4, got, &n));
  EXPECT_EQ(3u, n);
  EXPECT_EQ(Object()->m_head->Unknown(), got[0]);
  for (ULONG i = 0; i < n; ++i) got[i]->Release();
  EXPECT_EQ(E_INVALIDARG, e->Next(2, got, nullptr));
  e->Release();
  int before = g_assertions;
  EXPECT_EQ(E_POINTER, m_builder->AddColumn(0, nullptr));
  EXPECT_EQ(before + 1, g_assertions);

  // Suspend holds the lock and stops the graph until Unlock.
  ASSERT_EQ(S_OK, m_builder->Suspend());
  EXPECT_FALSE(Object()->m_state & CMixMgr::kRunning);
  EXPECT_TRUE(Object()->m_state & CMixMgr::kSuspended);
  EXPECT_EQ(S_OK, m_builder->Unlock());
  EXPECT_EQ(CMixMgr::kRunning, Object()->m_state & (CMixMgr::kRunning | CMixMgr::kSuspended));

  // Wide columns rescale the visible count.
  Object()->m_visibleCount = 9;
  EXPECT_FALSE(m_builder->SetWideColumns(TRUE));
  EXPECT_TRUE(m_builder->GetWideColumns());
  LONG first = -1, count = 0;
  m_builder->GetScroll(&first, &count);
  EXPECT_EQ(0, first);
  EXPECT_EQ((9 * 56 + 45) / 90, count);
  EXPECT_TRUE(m_builder->SetWideColumns(FALSE));
  EXPECT_EQ(FALSE, m_builder->SetOverlay(TRUE));
  EXPECT_EQ(TRUE, m_builder->SetOverlay(FALSE));
  EXPECT_EQ(S_FALSE, m_builder->HostQuery(&first));

  EXPECT_EQ(S_OK, m_builder->Clear());
  EXPECT_TRUE(Indices().empty());
  EXPECT_FALSE(Object()->m_state & CMixMgr::kDirty);
}

TEST_F(MixGraph, ColumnFromPoint) {
  RECT r = {0, 0, 300, 200};
  ASSERT_EQ(S_OK, m_builder->Create(Parent(), 1, &r));
  AddColumns({0, 2});
  RECT client;
  GetClientRect(Object()->m_hwnd, &client);
  struct Case {
    POINT p;
    HRESULT hr;
    LONG index;  // -1: none found
  } cases[] = {
      {{10, 5}, VFW_E_NOT_FOUND, -1},               // the header band
      {{10, client.bottom + 5}, VFW_E_NOT_FOUND, -1},  // below the client area
      {{-1, 50}, VFW_E_NOT_FOUND, -1},
      {{10, 50}, S_OK, 0},
      {{56 + 10, 50}, S_OK, -1},  // no column 1
      {{112 + 3, 16}, S_OK, 2},
  };
  for (const Case& c : cases) {
    IUnknown* col = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(c.hr, m_builder->ColumnFromPoint(&c.p, &col)) << c.p.x << "," << c.p.y;
    if (c.index < 0) {
      EXPECT_EQ(nullptr, col);
      continue;
    }
    ASSERT_TRUE(col);
    EXPECT_EQ(c.index, static_cast<CMixColumn*>(reinterpret_cast<CCom*>(col))->m_index);
    col->Release();
  }
  IUnknown* col = nullptr;
  EXPECT_EQ(E_POINTER, m_builder->ColumnFromPoint(nullptr, &col));
  // Column windows sit at (index - first visible) x width, below the band.
  HWND w = Object()->m_tail->m_hwnd;
  ASSERT_TRUE(w);
  RECT wr;
  GetWindowRect(w, &wr);
  MapWindowPoints(nullptr, Object()->m_hwnd, reinterpret_cast<POINT*>(&wr), 2);
  EXPECT_EQ(112, wr.left);
  EXPECT_EQ(16, wr.top);
  EXPECT_EQ(56, wr.right - wr.left);
  EXPECT_EQ(239, wr.bottom - wr.top);
}

// A rate request from another thread is applied on the window's thread.
TEST_F(MixGraph, SetRateFromAnotherThreadGoesThroughTheWindow) {
  ASSERT_EQ(S_OK, m_builder->Create(Parent(), 1, nullptr));
  CMixDevList* list = Object()->m_devices;
  ASSERT_TRUE(list);
  qvmix::RateRecord r = {96000, 0, 3};
  HRESULT result = E_FAIL;
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread caller([&] {
    result = list->SetRate(nullptr, &r);
    SetEvent(done);
  });
  // The window thread answers the sent message while it waits; a record
  // from no source without the claim is taken as it is.
  while (MsgWaitForMultipleObjects(1, &done, FALSE, 5000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&msg);
    }
  }
  caller.join();
  CloseHandle(done);
  EXPECT_EQ(S_OK, result);
  EXPECT_EQ(96000u, list->m_rate.m_current.sampleRate);
}

IStream* NewStream() {
  IStream* s = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &s);
  return s;
}

void Rewind(IStream* s) {
  LARGE_INTEGER zero = {};
  s->Seek(zero, STREAM_SEEK_SET, nullptr);
}

std::vector<BYTE> Bytes(IStream* s) {
  STATSTG st = {};
  s->Stat(&st, STATFLAG_NONAME);
  std::vector<BYTE> b(static_cast<size_t>(st.cbSize.QuadPart));
  Rewind(s);
  ULONG got = 0;
  s->Read(b.data(), static_cast<ULONG>(b.size()), &got);
  Rewind(s);
  return b;
}

IStream* StreamOf(const std::vector<BYTE>& b) {
  IStream* s = NewStream();
  ULONG put = 0;
  s->Write(b.data(), static_cast<ULONG>(b.size()), &put);
  Rewind(s);
  return s;
}

TEST_F(MixGraph, StreamRoundTrip) {
  AddColumns({0, 3, 4});
  m_builder->SetWideColumns(TRUE);
  IPersistStream* ps = nullptr;
  m_unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&ps));
  EXPECT_EQ(S_OK, ps->IsDirty());
  ULARGE_INTEGER max = {};
  ASSERT_EQ(S_OK, ps->GetSizeMax(&max));
  IStream* s = NewStream();
  ASSERT_EQ(S_OK, ps->Save(s, TRUE));
  EXPECT_EQ(S_FALSE, ps->IsDirty());
  std::vector<BYTE> b = Bytes(s);
  EXPECT_EQ(max.QuadPart, b.size());  // the size counts every column's index word
  ASSERT_EQ(52u + 3 * 8, b.size());
  uint32_t w[13];
  memcpy(w, b.data(), 52);
  EXPECT_EQ(0x01000034u, w[0]);  // size 52, version 0x0100
  EXPECT_EQ(0u, w[1]);
  EXPECT_EQ(0, memcmp(&CLSID_QvMixGraph, b.data() + 8, 16));
  EXPECT_EQ(90u, w[8]);
  EXPECT_EQ(0u, w[11]);
  EXPECT_EQ(4u, w[12]);
  uint32_t index2;
  memcpy(&index2, b.data() + 52 + 8, 4);
  EXPECT_EQ(3u, index2);
  ps->Release();

  // Into a new graph: the same columns and view.
  HRESULT hr = S_OK;
  IUnknown* other = CreateMixGraph(&CLSID_QvMixGraph, nullptr, &hr);
  ASSERT_TRUE(other);
  IPersistStream* ops = nullptr;
  other->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&ops));
  ASSERT_EQ(S_OK, ops->Load(s));
  auto* o = static_cast<CMixMgr*>(reinterpret_cast<CCom*>(other));
  std::vector<LONG> got;
  for (CMixColumn* c = o->m_head; c; c = c->m_next) got.push_back(c->m_index);
  EXPECT_EQ((std::vector<LONG>{0, 3, 4}), got);
  EXPECT_EQ(90, o->m_columnWidth);
  IStream* again = NewStream();
  ASSERT_EQ(S_OK, ops->Save(again, FALSE));
  EXPECT_EQ(b, Bytes(again));
  again->Release();
  IQVMixBuilder* ob = nullptr;
  other->QueryInterface(IID_IQVMixBuilder, reinterpret_cast<void**>(&ob));
  ob->Clear();
  ob->Release();
  ops->Release();
  EXPECT_EQ(0u, other->Release());
  s->Release();
}

TEST_F(MixGraph, StreamRefusalsLoseNothing) {
  // A good stream of two columns to spoil.
  IPersistStream* ps = nullptr;
  m_unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&ps));
  AddColumns({0, 1});
  IStream* s = NewStream();
  ASSERT_EQ(S_OK, ps->Save(s, FALSE));
  const std::vector<BYTE> good = Bytes(s);
  s->Release();
  ASSERT_EQ(S_OK, m_builder->Clear());
  AddColumns({0, 5});  // what is there before each load

  struct Case {
    const char* what;
    size_t at;
    std::vector<BYTE> bytes;  // written at `at`
    size_t cut;               // kept length (0: all)
  } cases[] = {
      {"class id", 8, {0x98}, 0},
      {"version above 0x0100", 2, {0x01, 0x01}, 0},
      {"header below 52", 0, {51, 0}, 0},
      {"short header", 0, {}, 20},
      {"short rest of header", 0, {}, 40},
      {"missing column", 0, {}, 52 + 8},
      {"column index beyond last", 52 + 8, {9}, 0},
      {"column index going back", 52 + 8, {0}, 0},
      {"column with plug-ins", 52 + 4, {1}, 0},
  };
  for (const Case& c : cases) {
    std::vector<BYTE> b = good;
    for (size_t i = 0; i < c.bytes.size(); ++i) b[c.at + i] = c.bytes[i];
    if (c.cut) b.resize(c.cut);
    IStream* bad = StreamOf(b);
    EXPECT_EQ(E_FAIL, ps->Load(bad)) << c.what;
    bad->Release();
    EXPECT_EQ((std::vector<LONG>{0, 5}), Indices()) << c.what;
    // The lock is free again: another thread takes it at once.
    bool free = false;
    std::thread([&] {
      free = TryEnterCriticalSection(Object()->m_lock);
      if (free) LeaveCriticalSection(Object()->m_lock);
    }).join();
    EXPECT_TRUE(free) << c.what;
    EXPECT_EQ(0, Object()->m_lockDepth) << c.what;
  }
  // A good load goes in front of what is there.
  IStream* ok = StreamOf(good);
  EXPECT_EQ(S_OK, ps->Load(ok));
  ok->Release();
  EXPECT_EQ((std::vector<LONG>{0, 1, 2, 7}), Indices());
  ps->Release();
}

TEST_F(MixGraph, DeviceTreeAttachOnce) {
  HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 100, 100, Parent(), nullptr, nullptr, nullptr);
  HWND second = CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD, 0, 0, 100, 100, Parent(), nullptr, nullptr, nullptr);
  ASSERT_TRUE(tree && second);
  IQVDeviceTree* t = nullptr;
  ASSERT_EQ(S_OK, m_unknown->QueryInterface(IID_IQVDeviceTree, reinterpret_cast<void**>(&t)));
  EXPECT_EQ(0, t->Attach(nullptr));
  EXPECT_EQ(1, t->Attach(tree));
  EXPECT_EQ(0, t->Attach(second));
  EXPECT_EQ(tree, Object()->m_tree);
  EXPECT_TRUE(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0));
  NMHDR other = {tree, 0, static_cast<UINT>(NM_CLICK)};
  EXPECT_EQ(0, t->OnNotify(&other));
  EXPECT_EQ(S_OK, t->Detach());
  EXPECT_FALSE(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_STATE, 0));
  EXPECT_EQ(1, t->Attach(second));
  t->Detach();
  t->Release();
}

TEST_F(MixGraph, DropsNothingTheProbeDoesNotKnow) {
  IDropTarget* d = nullptr;
  m_unknown->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&d));
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(S_OK, d->DragOver(MK_CONTROL, POINTL{0, 0}, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  POINTL p = {0, 0};
  EXPECT_EQ(E_POINTER, d->DragEnter(nullptr, 0, p, &effect));
  EXPECT_EQ(E_POINTER, d->Drop(nullptr, 0, p, &effect));
  EXPECT_EQ(S_OK, d->DragLeave());
  d->Release();
  EXPECT_TRUE(Indices().empty());
}

// ---- plug-ins: a filter class of the test, with a state of bytes ----

const CLSID CLSID_TestPlugin = {0x7E57F117, 0x1, 0x2, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
const CLSID CLSID_TestPluginNoState = {0x7E57F117, 0x1, 0x3, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
std::atomic<int> g_livePlugins{0};

class NoPins final : public IEnumPins {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumPins) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --m_refs;
    if (!n) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG, IPin**, ULONG* fetched) override {
    if (fetched) *fetched = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override {
    *out = new NoPins;
    return S_OK;
  }
  std::atomic<ULONG> m_refs{1};
};

class TestPlugin final : public IBaseFilter, public IPersistStream {
 public:
  explicit TestPlugin(bool persists) : m_persists(persists) { ++g_livePlugins; }
  ~TestPlugin() { --g_livePlugins; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBaseFilter) || IsEqualIID(iid, IID_IMediaFilter) ||
        IsEqualIID(iid, IID_IPersist))
      *out = static_cast<IBaseFilter*>(this);
    else if (m_persists && IsEqualIID(iid, IID_IPersistStream))
      *out = static_cast<IPersistStream*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG n = --m_refs;
    if (!n) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = m_persists ? CLSID_TestPlugin : CLSID_TestPluginNoState;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override {
    *state = State_Stopped;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override {
    *clock = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override {
    *pins = new NoPins;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin** pin) override {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    lstrcpynW(info->achName, m_name, MAX_FILTER_NAME);
    info->pGraph = m_graph;
    if (m_graph) m_graph->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override {
    m_graph = graph;  // not counted, as a filter holds its graph
    lstrcpynW(m_name, name ? name : L"", MAX_FILTER_NAME);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE Load(IStream* stream) override {
    char buffer[64];
    ULONG got = 0;
    stream->Read(buffer, sizeof buffer, &got);
    m_state.assign(buffer, got);
    return m_state == "refuse" ? E_FAIL : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL) override {
    ULONG put = 0;
    return stream->Write(m_state.data(), static_cast<ULONG>(m_state.size()), &put);
  }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override {
    size->QuadPart = m_state.size();
    return S_OK;
  }
  bool m_persists;
  std::atomic<ULONG> m_refs{1};
  IFilterGraph* m_graph = nullptr;
  wchar_t m_name[MAX_FILTER_NAME] = {};
  std::string m_state;
};

class TestPluginFactory : public IClassFactory {
 public:
  explicit TestPluginFactory(bool persists) : m_persists(persists) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* p = new TestPlugin(m_persists);
    HRESULT hr = p->QueryInterface(iid, out);
    p->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
  bool m_persists;
};

// A graph stream of one column at index 0 holding the given plug-ins
// {CLSID, state}.
std::vector<BYTE> GraphWithPlugins(const std::vector<std::pair<CLSID, std::string>>& plugins) {
  std::vector<BYTE> b(52);
  uint32_t w[13] = {0x01000034, 0, 0, 0, 0, 0, 0, 1, 56, 0, 0, 0, 0};
  memcpy(b.data(), w, 52);
  memcpy(b.data() + 8, &CLSID_QvMixGraph, 16);
  auto put = [&b](const void* p, size_t n) { b.insert(b.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n); };
  uint32_t index = 0, count = static_cast<uint32_t>(plugins.size());
  put(&index, 4);
  put(&count, 4);
  for (const auto& [clsid, state] : plugins) {
    uint32_t length = static_cast<uint32_t>(state.size());
    put(&clsid, 16);
    put(&length, 4);
    put(state.data(), length);
  }
  return b;
}

ULONG FiltersInGraph(IUnknown* graph) {
  IFilterGraph* g = nullptr;
  graph->QueryInterface(IID_IFilterGraph, reinterpret_cast<void**>(&g));
  IEnumFilters* e = nullptr;
  g->EnumFilters(&e);
  ULONG n = 0;
  IBaseFilter* f = nullptr;
  while (e->Next(1, &f, nullptr) == S_OK) {
    ++n;
    f->Release();
  }
  e->Release();
  g->Release();
  return n;
}

// Columns carry plug-ins: filters of the graph made by CLSID with their
// state, saved back as they came; a plug-in that cannot be made or take
// its state drops the whole load.
TEST_F(MixGraph, ColumnsCarryPlugins) {
  TestPluginFactory withState(true), withoutState(false);
  DWORD c1 = 0, c2 = 0;
  ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_TestPlugin, &withState, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &c1));
  ASSERT_EQ(S_OK, CoRegisterClassObject(CLSID_TestPluginNoState, &withoutState, CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &c2));
  IPersistStream* ps = nullptr;
  m_unknown->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&ps));

  const std::vector<BYTE> good =
      GraphWithPlugins({{CLSID_TestPlugin, "EQ state"}, {CLSID_TestPluginNoState, ""}, {CLSID_TestPlugin, ""}});
  IStream* s = StreamOf(good);
  ASSERT_EQ(S_OK, ps->Load(s));
  s->Release();
  ASSERT_EQ(1u, Indices().size());
  const auto& plugins = Object()->m_head->m_plugins;
  ASSERT_EQ(3u, plugins.size());
  EXPECT_EQ("EQ state", static_cast<TestPlugin*>(plugins[0].filter)->m_state);
  EXPECT_TRUE(IsEqualCLSID(CLSID_TestPluginNoState, plugins[1].clsid));
  EXPECT_EQ(3u, FiltersInGraph(m_unknown));
  EXPECT_EQ(3, g_livePlugins.load());

  ULARGE_INTEGER max = {};
  ASSERT_EQ(S_OK, ps->GetSizeMax(&max));
  IStream* back = NewStream();
  ASSERT_EQ(S_OK, ps->Save(back, FALSE));
  EXPECT_EQ(good, Bytes(back));
  EXPECT_EQ(max.QuadPart, good.size());
  back->Release();

  // Refused: an unknown class, a state its plug-in refuses, state for a
  // plug-in that keeps none, a state longer than the stream.
  const CLSID unknown = {0x7E57F117, 0x1, 0x9, {0x80, 0, 0, 0, 0, 0, 0, 0x42}};
  std::vector<std::vector<BYTE>> refused = {
      GraphWithPlugins({{CLSID_TestPlugin, "a"}, {unknown, ""}}),
      GraphWithPlugins({{CLSID_TestPlugin, "refuse"}}),
      GraphWithPlugins({{CLSID_TestPluginNoState, "x"}}),
  };
  std::vector<BYTE> cut = GraphWithPlugins({{CLSID_TestPlugin, "abcdef"}});
  cut.resize(cut.size() - 2);
  refused.push_back(cut);
  for (const std::vector<BYTE>& b : refused) {
    IStream* bad = StreamOf(b);
    EXPECT_EQ(E_FAIL, ps->Load(bad));
    bad->Release();
    EXPECT_EQ(1u, Indices().size());
    EXPECT_EQ(3u, FiltersInGraph(m_unknown));
    EXPECT_EQ(3, g_livePlugins.load());
  }

  // A column removed takes its plug-ins out of the graph.
  EXPECT_EQ(S_OK, m_builder->RemoveColumn(0));
  EXPECT_EQ(0u, FiltersInGraph(m_unknown));
  EXPECT_EQ(0, g_livePlugins.load());
  ps->Release();
  CoRevokeClassObject(c1);
  CoRevokeClassObject(c2);
}

// A data object offering one dropped file.
class FileDrop : public IDataObject {
 public:
  explicit FileDrop(const std::wstring& file) : m_file(file) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
    size_t bytes = sizeof(DROPFILES) + (m_file.size() + 2) * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(g));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, m_file.c_str(), m_file.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = g;
    medium->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  std::wstring m_file;
};

std::wstring TempPath(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + name;
}

std::string FileBytes(const std::wstring& path) {
  std::string out;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return out;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) out.append(buffer, got);
  CloseHandle(f);
  return out;
}

// The graph's file: saved whole or not at all, imported appended or at a
// column, and dropped onto the mixer when the probe knows it.
TEST_F(MixGraph, GraphFilesSaveImportAndDrop) {
  const std::wstring file = TempPath(L"mixgraph_test.qmg"), other = TempPath(L"mixgraph_test.txt");
  AddColumns({0, 2});
  ASSERT_EQ(S_OK, Object()->SaveToFile(file.c_str()));
  EXPECT_EQ(S_FALSE, Object()->IsDirty());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((file + L".new").c_str()));
  EXPECT_TRUE(IsMixGraphFile(file.c_str()));
  const std::string saved = FileBytes(file);
  EXPECT_EQ(52u + 2 * 8, saved.size());

  // A save that cannot be written leaves the old file as it was.
  ASSERT_TRUE(CreateDirectoryW((file + L".new").c_str(), nullptr));
  AddColumns({5});
  EXPECT_TRUE(FAILED(Object()->SaveToFile(file.c_str())));
  EXPECT_EQ(saved, FileBytes(file));
  RemoveDirectoryW((file + L".new").c_str());

  ASSERT_EQ(S_OK, m_builder->Clear());
  AddColumns({0, 1});
  EXPECT_EQ(S_OK, m_builder->Load(file.c_str(), -1));  // appended after column 1
  EXPECT_EQ((std::vector<LONG>{0, 1, 2, 4}), Indices());
  EXPECT_EQ(S_OK, Object()->IsDirty());
  EXPECT_EQ(S_OK, m_builder->Load(file.c_str(), 1));  // at column 1: the rest moves on by the file's span
  EXPECT_EQ((std::vector<LONG>{0, 1, 3, 4, 5, 7}), Indices());

  // Files that are not graphs: refused, nothing changes.
  HANDLE f = CreateFileW(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, "MFFV2.1\0 not a graph stream of this library", 44, &put, nullptr);
  CloseHandle(f);
  EXPECT_FALSE(IsMixGraphFile(other.c_str()));
  EXPECT_EQ(E_FAIL, m_builder->Load(other.c_str(), -1));
  EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), m_builder->Load(TempPath(L"no_such.qmg").c_str(), -1));
  EXPECT_EQ(6u, Indices().size());

  // Drops: an unknown file shows no-drop and loads nothing; a graph file
  // is taken, moved without Control, and appended.
  ASSERT_EQ(S_OK, m_builder->Clear());
  IDropTarget* d = nullptr;
  m_unknown->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&d));
  POINTL p = {0, 0};
  DWORD effect = DROPEFFECT_COPY;
  FileDrop unknown(other), graph(file);
  EXPECT_EQ(S_OK, d->DragEnter(&unknown, 0, p, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ(S_OK, d->Drop(&unknown, 0, p, &effect));
  EXPECT_TRUE(Indices().empty());
  EXPECT_EQ(S_OK, d->DragEnter(&graph, 0, p, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
  EXPECT_EQ(S_OK, d->DragOver(MK_CONTROL, p, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  EXPECT_EQ(S_OK, d->Drop(&graph, 0, p, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
  EXPECT_EQ((std::vector<LONG>{0, 2}), Indices());
  d->Release();
  DeleteFileW(file.c_str());
  DeleteFileW(other.c_str());
}

// ---- the device list ----

struct FakeHost : CMixGraphHost {
  FakeHost() { InitializeCriticalSection(&lock); }
  ~FakeHost() { DeleteCriticalSection(&lock); }
  HWND GraphWindow() override { return nullptr; }
  void LockGraph() override { EnterCriticalSection(&lock); }
  void UnlockGraph() override { LeaveCriticalSection(&lock); }
  HRESULT StopGraph() override { return S_OK; }
  void SetGraphClock(IReferenceClock*) override {}
  void GraphClockChanged() override {}
  HWND TreeWindow() override { return nullptr; }
  CRITICAL_SECTION lock;
};

struct BlockingJob : CPeriodicJob {
  void WINAPI Run() override {
    ++runs;
    WaitForSingleObject(release, 10000);
  }
  std::atomic<int> runs{0};
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

TEST(MixDevList, TicksAreDroppedWhileOneRuns) {
  FakeHost host;
  CMixDevList list(&host, FALSE);
  ASSERT_TRUE(list.Start(2));
  BlockingJob job;
  list.m_periodic = &job;
  CMixDevList::TimerTick(&list, 0, 0);
  for (int i = 0; i < 200 && job.runs == 0; ++i) Sleep(5);
  ASSERT_EQ(1, job.runs);
  CMixDevList::TimerTick(&list, 0, 0);  // dropped: the first still runs
  CMixDevList::TimerTick(&list, 0, 0);
  Sleep(50);
  EXPECT_EQ(1, job.runs);
  SetEvent(job.release);
  for (int i = 0; i < 200 && job.m_gate.Queued(); ++i) Sleep(5);
  ASSERT_FALSE(job.m_gate.Queued());
  CMixDevList::TimerTick(&list, 0, 0);
  for (int i = 0; i < 200 && job.runs == 1; ++i) Sleep(5);
  EXPECT_EQ(2, job.runs);
  for (int i = 0; i < 200 && job.m_gate.Queued(); ++i) Sleep(5);
  list.m_periodic = nullptr;
  list.CJobQueue::Stop();
  CloseHandle(job.release);
}

TEST(MixDevList, SetRateRefusesANonSourceWithoutTheClaim) {
  FakeHost host;
  CMixDevList list(&host, FALSE);
  auto* stranger = reinterpret_cast<CMixDevUnit*>(uintptr_t{0x1000});  // never touched when refused
  qvmix::RateRecord r = {48000, 0, 4};
  EXPECT_EQ(E_FAIL, list.SetRate(stranger, &r));
  EXPECT_EQ(0u, list.m_rate.m_current.sampleRate);
  EXPECT_EQ(E_POINTER, list.SetRate(nullptr, nullptr));
  // Without a source and without a claim: the record is taken, no clock.
  EXPECT_EQ(S_OK, list.SetRate(nullptr, &r));
  EXPECT_EQ(48000u, list.m_rate.m_current.sampleRate);
  EXPECT_EQ(nullptr, list.Clock());
}

TEST(MixDevList, ReadsTheRateAndFollowsTheKey) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\MultiMedia", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  DWORD zero = 0;
  RegSetValueExA(key, "SampleRate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), 4);
  RegDeleteValueA(key, "FrameRate");
  RegSetValueExA(key, "VariSpeed", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&zero), 2);  // not 4 bytes
  FakeHost host;
  {
    CMixDevList list(&host);  // the platform has no mixer devices: an empty list
    EXPECT_EQ(nullptr, list.FindUnit(0));
    EXPECT_EQ(44100u, list.m_rate.m_current.sampleRate);
    EXPECT_EQ(0x61C1u, list.m_rate.m_current.frameRate);
    DWORD rate = 48000;
    RegSetValueExA(key, "SampleRate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&rate), 4);
    for (int i = 0; i < 400 && list.m_rate.m_current.sampleRate != 48000; ++i) Sleep(5);
    EXPECT_EQ(48000u, list.m_rate.m_current.sampleRate);  // the clock thread read it again
    EXPECT_EQ(0, list.Run());
    EXPECT_EQ(0, list.Stop());
  }
  RegDeleteValueA(key, "SampleRate");
  RegDeleteValueA(key, "VariSpeed");
  RegCloseKey(key);
}

TEST(MixDevUnit, SerialAndUnitKey) {
  char serial[16];
  ASSERT_TRUE(FormatUnitSerial(0x123456, 0xABC, serial));
  EXPECT_STREQ("OABC123456", serial);
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(ERROR_INVALID_PARAMETER, OpenUnitKey(0, 1, nullptr, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_INVALID_PARAMETER, OpenUnitKey(1, 0x1000000, "Sub", &key));
  ASSERT_EQ(ERROR_SUCCESS, OpenUnitKey(0x42, 0x7, "Settings", &key));
  RegCloseKey(key);
  HKEY check;
  EXPECT_EQ(ERROR_SUCCESS,
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Units\\000007000042\\Settings", 0, KEY_READ, &check));
  RegCloseKey(check);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Units\\000007000042\\Settings");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Quorvale\\Units\\000007000042");
}

}  // namespace
