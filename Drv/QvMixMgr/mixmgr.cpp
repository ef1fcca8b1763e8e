// The mixer graph object: its interfaces, the graph's start and stop, the
// column list and windows, the stream, drops and the device tree.
#include "Drv/QvMixMgr/mixmgr.h"

#include "Drv/Qvdrv/qvdrv.h"
#include "Inc/base.h"

#include <control.h>
#include <evcode.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <uuids.h>
#include <vfwmsgs.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

const CLSID CLSID_QvMixGraph = {0x3323C797, 0xC820, 0x40FB, {0xA1, 0x8B, 0xF7, 0x32, 0x1B, 0xF4, 0x14, 0x53}};
const IID IID_IQVMixBuilder = {0x652F84C4, 0x90F3, 0x49B1, {0x8D, 0x6C, 0x9E, 0x08, 0x0B, 0xAB, 0x0A, 0x35}};
const IID IID_IQVDeviceTree = {0x2D54372A, 0x3E69, 0x4FD8, {0xAE, 0x19, 0xFD, 0x4C, 0x14, 0xBC, 0x61, 0xAE}};

DWORD g_registerDS = 0;

namespace {

const char kSource[] = "P:\\Drv\\QvMixMgr\\QvMixMgr.cpp";
constexpr LONG kHeaderSize = 52;
constexpr WORD kVersion = 0x0100;
constexpr LONG kHeaderBand = 16;  // the column header above the client's columns

// Module-wide state of the class.
HFONT g_smallFont, g_helvFont;
HCURSOR g_cursors[9];
UINT g_clipMixer, g_clipColumn, g_clipPlugin;
ATOM g_overlayClass, g_mixerClass, g_columnClass;
CRITICAL_SECTION g_moduleLock;  // the element-module list
bool g_moduleLockReady = false;

HMODULE ThisModule() {
  HMODULE m = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&ThisModule), &m);
  return m;
}

HRESULT LastErrorResult() {
  DWORD e = GetLastError();
  return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

HRESULT PointerFault(const char* what, unsigned line) {
  AssertFailed(what, kSource, line);
  return E_POINTER;
}

// Fonts, cursors, clipboard formats and window classes, once per process.
HRESULT CreateModuleResources() {
  if (g_mixerClass) return S_OK;
  HMODULE module = ThisModule();
  g_smallFont = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            PROOF_QUALITY, FF_SWISS, "Small Fonts");
  g_helvFont = CreateFontA(14, 6, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           PROOF_QUALITY, FF_SWISS, "Helv");
  if (!g_smallFont || !g_helvFont) return LastErrorResult();
  // The mixer's own cursors are not in the library's resources: each takes
  // the standard arrow, as an id of 0 does; the last is the wait cursor.
  for (int i = 0; i < 8; ++i) g_cursors[i] = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  g_cursors[8] = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
  g_clipMixer = RegisterClipboardFormatA("Quorvale Mixer ClipFormat");
  g_clipColumn = RegisterClipboardFormatA("Quorvale Column ClipFormat");
  g_clipPlugin = RegisterClipboardFormatA("Quorvale Plugin ClipFormat");
  if (!g_clipMixer || !g_clipColumn || !g_clipPlugin) return LastErrorResult();
  WNDCLASSA wc = {};
  wc.lpfnWndProc = CWindow::StaticWndProc;
  wc.hInstance = module;
  wc.hCursor = g_cursors[0];
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = "QVMixOvly.WC";
  g_overlayClass = RegisterClassA(&wc);
  if (!g_overlayClass) return LastErrorResult();
  wc.style = 0;
  wc.hIcon = LoadIconA(module, MAKEINTRESOURCEA(101));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "QVMixColumn.WC";
  g_columnClass = RegisterClassA(&wc);
  if (!g_columnClass) return LastErrorResult();
  wc.lpszClassName = "QVMixer.WC";
  g_mixerClass = RegisterClassA(&wc);
  if (!g_mixerClass) return LastErrorResult();
  return S_OK;
}

// The wait cursor while the graph changes state.
class WaitCursor {
 public:
  WaitCursor() : m_old(SetCursor(g_cursors[8] ? g_cursors[8] : LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)))) {}
  ~WaitCursor() { SetCursor(m_old); }

 private:
  HCURSOR m_old;
};

// An enumerator over a snapshot of the columns.
class CColumnEnum : public CCom, public IEnumUnknown {
 public:
  CColumnEnum() : CCom(nullptr, 0, Interfaces, true) {}
  ~CColumnEnum() override {
    for (IUnknown* u : m_items) u->Release();
  }
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IUnknown** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    if (!fetched && count > 1) return E_INVALIDARG;
    ULONG n = 0;
    for (; n < count && m_at < m_items.size(); ++n, ++m_at) {
      out[n] = m_items[m_at];
      out[n]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
    m_at += n;
    return m_at <= m_items.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    m_at = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** out) override {
    if (!out) return E_POINTER;
    auto* e = new (std::nothrow) CColumnEnum;
    if (!e) return E_OUTOFMEMORY;
    for (IUnknown* u : m_items) {
      u->AddRef();
      e->m_items.push_back(u);
    }
    e->m_at = m_at;
    *out = e;
    return S_OK;
  }
  static const ComInterfaceEntry Interfaces[];
  std::vector<IUnknown*> m_items;
  size_t m_at = 0;
};
const ComInterfaceEntry CColumnEnum::Interfaces[] = {
    {&IID_IEnumUnknown, ComOffset<CColumnEnum, IEnumUnknown>()},
    {nullptr, 0},
};

const ComInterfaceEntry kColumnInterfaces[] = {{nullptr, 0}};

HRESULT ReadExact(IStream* stream, void* buffer, ULONG size) {
  ULONG got = 0;
  HRESULT hr = stream->Read(buffer, size, &got);
  return FAILED(hr) || got != size ? E_FAIL : S_OK;
}

HRESULT WriteExact(IStream* stream, const void* buffer, ULONG size) {
  ULONG put = 0;
  HRESULT hr = stream->Write(buffer, size, &put);
  if (FAILED(hr)) return hr;
  return put == size ? S_OK : STG_E_MEDIUMFULL;
}

}  // namespace

// ---- columns ----

CMixColumn::CMixColumn(CMixMgr* mixer) : CCom(nullptr, 0, kColumnInterfaces, true), m_mixer(mixer) {}

CMixColumn::~CMixColumn() {
  RemovePlugins();
  if (m_hwnd) DestroyWindow(m_hwnd);
}

LRESULT CMixColumn::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(m_hwnd, message, wParam, lParam);
}

namespace {
// A plug-in's state as it writes it, in a memory stream; null without
// IPersistStream.
HRESULT PluginState(IBaseFilter* filter, std::vector<BYTE>* out) {
  out->clear();
  IPersistStream* persist = nullptr;
  if (FAILED(filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)))) return S_OK;
  IStream* memory = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
  if (SUCCEEDED(hr)) hr = persist->Save(memory, FALSE);
  STATSTG st = {};
  if (SUCCEEDED(hr)) hr = memory->Stat(&st, STATFLAG_NONAME);
  if (SUCCEEDED(hr) && st.cbSize.QuadPart > CMixColumn::kMaxState) hr = E_OUTOFMEMORY;
  if (SUCCEEDED(hr)) {
    out->resize(static_cast<size_t>(st.cbSize.QuadPart));
    LARGE_INTEGER zero = {};
    memory->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (!out->empty()) hr = ReadExact(memory, out->data(), static_cast<ULONG>(out->size()));
  }
  if (memory) memory->Release();
  persist->Release();
  return hr;
}
}  // namespace

HRESULT CMixColumn::SaveTo(IStream* stream) {
  uint32_t count = static_cast<uint32_t>(m_plugins.size());
  HRESULT hr = WriteExact(stream, &count, 4);
  std::vector<BYTE> state;
  for (size_t i = 0; SUCCEEDED(hr) && i < m_plugins.size(); ++i) {
    hr = PluginState(m_plugins[i].filter, &state);
    uint32_t length = static_cast<uint32_t>(state.size());
    if (SUCCEEDED(hr)) hr = WriteExact(stream, &m_plugins[i].clsid, sizeof(CLSID));
    if (SUCCEEDED(hr)) hr = WriteExact(stream, &length, 4);
    if (SUCCEEDED(hr) && length) hr = WriteExact(stream, state.data(), length);
  }
  return hr;
}

ULONGLONG CMixColumn::SizeMax() const {
  ULONGLONG n = 4;
  for (const Plugin& p : m_plugins) {
    n += sizeof(CLSID) + 4;
    IPersistStream* persist = nullptr;
    if (FAILED(p.filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)))) continue;
    ULARGE_INTEGER size = {};
    if (SUCCEEDED(persist->GetSizeMax(&size))) n += size.QuadPart;
    persist->Release();
  }
  return n;
}

// The plug-ins come back in their order; any failure leaves the column
// without plug-ins (its caller then drops it).
HRESULT CMixColumn::LoadFrom(IStream* stream) {
  uint32_t count = 0;
  if (FAILED(ReadExact(stream, &count, 4)) || count > kMaxPlugins) return E_FAIL;
  std::vector<BYTE> state;
  for (uint32_t i = 0; i < count; ++i) {
    CLSID clsid;
    uint32_t length = 0;
    HRESULT hr = ReadExact(stream, &clsid, sizeof clsid);
    if (SUCCEEDED(hr)) hr = ReadExact(stream, &length, 4);
    if (SUCCEEDED(hr) && length > kMaxState) hr = E_FAIL;
    if (SUCCEEDED(hr)) {
      state.resize(length);
      if (length) hr = ReadExact(stream, state.data(), length);
    }
    IStream* memory = nullptr;
    if (SUCCEEDED(hr) && length) {
      memory = SHCreateMemStream(state.data(), length);
      if (!memory) hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) hr = InsertPlugin(m_plugins.size(), clsid, memory);
    if (memory) memory->Release();
    if (FAILED(hr)) {
      RemovePlugins();
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT CMixColumn::InsertPlugin(size_t position, REFCLSID clsid, IStream* state) {
  IGraphBuilder* graph = m_mixer->m_graph;
  if (!graph) return E_UNEXPECTED;
  IBaseFilter* filter = nullptr;
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
  if (FAILED(hr)) return hr;
  if (state) {
    IPersistStream* persist = nullptr;
    hr = filter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
    if (SUCCEEDED(hr)) {
      hr = persist->Load(state);
      persist->Release();
    }
  }
  if (SUCCEEDED(hr)) {
    wchar_t name[40];
    swprintf(name, 40, L"Plugin %p", static_cast<void*>(filter));
    hr = graph->AddFilter(filter, name);
  }
  if (FAILED(hr)) {
    filter->Release();
    return hr;
  }
  if (position > m_plugins.size()) position = m_plugins.size();
  m_plugins.insert(m_plugins.begin() + static_cast<std::ptrdiff_t>(position), Plugin{clsid, filter});
  return S_OK;
}

void CMixColumn::RemovePlugins() {
  for (Plugin& p : m_plugins) {
    if (m_mixer->m_graph) m_mixer->m_graph->RemoveFilter(p.filter);
    p.filter->Release();
  }
  m_plugins.clear();
}

// ---- the object ----

const ComInterfaceEntry CMixMgr::Interfaces[] = {
    {&IID_IQVMixBuilder, ComOffset<CMixMgr, IQVMixBuilder>()},
    {&IID_IPersistStream, ComOffset<CMixMgr, IPersistStream>()},
    {&IID_IPersist, ComOffset<CMixMgr, IPersistStream>()},
    {&IID_IDropTarget, ComOffset<CMixMgr, IDropTarget>()},
    {&IID_IQVDeviceTree, ComOffset<CMixMgr, IQVDeviceTree>()},
    {&IID_IDistributorNotify, ComOffset<CMixMgr, IDistributorNotify>()},
    {nullptr, 0},
};

CMixMgr::CMixMgr(IUnknown* outer, HRESULT* result) : CCom(outer, 4000, Interfaces) {
  HRESULT hr = S_OK;
  if (outer) {
    hr = outer->QueryInterface(IID_IGraphBuilder, reinterpret_cast<void**>(&m_graph));
    if (SUCCEEDED(hr)) m_graph->Release();  // the outer object holds us, not the reverse
  } else {
    hr = CreateInner(CLSID_FilterGraph);
    if (SUCCEEDED(hr)) hr = m_inner->QueryInterface(IID_IGraphBuilder, reinterpret_cast<void**>(&m_graph));
    if (SUCCEEDED(hr)) m_outer->Release();  // the inner object's reference on us
  }
  if (SUCCEEDED(hr)) {
    m_devices = new (std::nothrow) CMixDevList(this);
    if (!m_devices) hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr) && m_devices->Clock()) SetGraphClock(m_devices->Clock());
  *result = hr;
}

CMixMgr::~CMixMgr() {
  if (m_head) AssertFailed("!ColumnHead()", kSource, __LINE__);
  if (m_refHead) AssertFailed("!m_pRefHead", kSource, __LINE__);
  if (m_hwnd && m_timerId) KillTimer(m_hwnd, m_timerId);
  if (m_devices) {
    m_devices->Close();
    delete m_devices;
  }
  if (m_overlay.m_hwnd) DestroyWindow(m_overlay.m_hwnd);
  if (m_hwnd) DestroyWindow(m_hwnd);
  // Columns left by a host that did not clear: released with their windows.
  while (CMixColumn* c = m_head) {
    m_head = c->m_next;
    c->Unknown()->Release();
  }
  if (m_graph && !(m_outer != Unknown())) {
    m_outer->AddRef();  // the graph's reference is on us
    m_graph->Release();
  }
}

bool CMixMgr::IsOwner() const {
  return !m_hwnd || GetWindowThreadProcessId(m_hwnd, nullptr) == GetCurrentThreadId();
}

LONG CMixMgr::VisibleColumns() const { return m_visibleCount; }

HRESULT CMixMgr::StartGraph() {
  IMediaControl* control = nullptr;
  HRESULT hr = m_graph ? m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)) : E_FAIL;
  if (FAILED(hr)) return hr;
  WaitCursor wait;
  OAFilterState state = 0;
  hr = control->Pause();
  for (int i = 0; hr == S_FALSE && i < 50; ++i)
    if (SUCCEEDED(control->GetState(50, &state)) && state == State_Paused) hr = S_OK;
  if (SUCCEEDED(hr)) {
    hr = control->Run();
    for (int i = 0; hr == S_FALSE && i < 50; ++i)
      if (SUCCEEDED(control->GetState(50, &state)) && state == State_Running) hr = S_OK;
  }
  control->Release();
  return hr;
}

HRESULT CMixMgr::StopGraph() {
  if (!(m_state & kRunning)) return S_OK;
  IMediaControl* control = nullptr;
  HRESULT hr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
  if (FAILED(hr)) return hr;
  WaitCursor wait;
  hr = control->Stop();
  control->Release();
  if (SUCCEEDED(hr)) m_state &= ~kRunning;
  return hr;
}

HRESULT CMixMgr::StopForEdit() {
  HRESULT hr = StopGraph();
  m_state |= kDirty;
  return hr;
}

void CMixMgr::SetGraphClock(IReferenceClock* clock) {
  IMediaFilter* filter = nullptr;
  if (m_graph && SUCCEEDED(m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter)))) {
    filter->SetSyncSource(clock);
    filter->Release();
  }
}

void CMixMgr::GraphClockChanged() {
  IMediaEventSink* sink = nullptr;
  if (m_graph && SUCCEEDED(m_graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)))) {
    sink->Notify(EC_CLOCK_CHANGED, 0, 0);
    sink->Release();
  }
}

// ---- IQVMixBuilder ----

HRESULT STDMETHODCALLTYPE CMixMgr::Lock() {
  if (!IsOwner()) return E_UNEXPECTED;
  CCom::Lock();
  if (m_lockDepth++ == 0) m_lockThread = GetCurrentThreadId();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Unlock() {
  if (!IsLocked()) return E_UNEXPECTED;
  HRESULT hr = S_OK;
  if (m_lockDepth == 1 && !(m_state & kRunning)) {
    if (m_state & kSuspended) {
      m_state &= ~kSuspended;
      if (m_devices) m_devices->Run();
    }
    hr = StartGraph();
    if (SUCCEEDED(hr)) m_state |= kRunning;
  }
  if (--m_lockDepth == 0) m_lockThread = 0;
  CCom::Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Suspend() {
  HRESULT hr = Lock();
  if (FAILED(hr)) return hr;
  StopGraph();
  if (!(m_state & kSuspended)) {
    m_state |= kSuspended;
    if (m_devices) m_devices->Stop();
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Clear() {
  if (!IsOwner()) return E_UNEXPECTED;
  CCom::Lock();
  ++m_lockDepth;
  m_lockThread = GetCurrentThreadId();
  StopGraph();
  {
    WaitCursor wait;
    for (CMixColumn* c = m_head; c && m_hwnd; c = c->m_next)
      if (c->m_hwnd) ShowWindow(c->m_hwnd, SW_HIDE);
    while (CMixColumn* c = m_head) {
      UnlinkColumn(c);
      c->Unknown()->Release();
    }
  }
  m_firstVisible = 0;
  m_extent = 0;
  m_height = 239;
  UpdateScrollRange();
  m_state &= ~kDirty;
  if (--m_lockDepth == 0) m_lockThread = 0;
  CCom::Unlock();
  return S_OK;
}

// The mixer graph's file: its stream image. A file name of null asks for
// one; position -1 appends after the last column.
HRESULT STDMETHODCALLTYPE CMixMgr::Load(LPCWSTR file, LONG position) {
  if (!IsOwner()) return E_UNEXPECTED;
  WCHAR chosen[MAX_PATH] = L"";
  if (!file) {
    if (!AskMixFile(false, chosen)) return S_FALSE;
    file = chosen;
  }
  IStream* stream = nullptr;
  HRESULT hr = SHCreateStreamOnFileW(file, STGM_READ | STGM_SHARE_DENY_WRITE, &stream);
  if (FAILED(hr)) return hr;
  if (position < 0) {
    CCom::Lock();
    position = m_tail ? m_tail->m_index + 1 : 0;
    CCom::Unlock();
  }
  hr = LoadAt(stream, position);
  stream->Release();
  if (SUCCEEDED(hr)) m_state |= kDirty;  // an import is an edit
  return hr;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Save() {
  if (!IsOwner()) return E_UNEXPECTED;
  WCHAR file[MAX_PATH] = L"";
  if (!AskMixFile(true, file)) return S_FALSE;
  return SaveToFile(file);
}

// The open or save dialog over the mixer window; false when cancelled.
bool CMixMgr::AskMixFile(bool save, WCHAR* file) {
  OPENFILENAMEW ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = m_hwnd;
  ofn.lpstrFilter = L"Mixer graphs (*.qmg)\0*.qmg\0All files (*.*)\0*.*\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = L"qmg";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  return (save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)) != FALSE;
}

// Written beside the file first and put in its place once whole, so that
// a failed save leaves the old file as it was.
HRESULT CMixMgr::SaveToFile(LPCWSTR file) {
  if (!file) return PointerFault("pszFile", __LINE__);
  WCHAR temp[MAX_PATH + 8];
  if (swprintf(temp, MAX_PATH + 8, L"%ls.new", file) < 0) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  IStream* stream = nullptr;
  HRESULT hr = SHCreateStreamOnFileW(temp, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, &stream);
  if (FAILED(hr)) return hr;
  hr = Save(stream, FALSE);
  if (SUCCEEDED(hr)) hr = stream->Commit(STGC_DEFAULT);
  stream->Release();
  if (SUCCEEDED(hr) && !MoveFileExW(temp, file, MOVEFILE_REPLACE_EXISTING)) hr = LastErrorResult();
  if (FAILED(hr)) {
    DeleteFileW(temp);
    return hr;
  }
  CCom::Lock();
  m_state &= ~kDirty;
  CCom::Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Create(HWND parent, UINT id, const RECT* rect) {
  if (!IsOwner()) return E_UNEXPECTED;
  if (m_hwnd) return S_FALSE;
  if (!parent) return E_INVALIDARG;
  HRESULT hr = CreateModuleResources();
  if (FAILED(hr)) return hr;
  RECT r;
  if (rect)
    r = *rect;
  else
    GetClientRect(parent, &r);
  HMODULE module = ThisModule();
  if (!CreateWindowExA(WS_EX_CLIENTEDGE, "QVMixer.WC", "",
                       WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_HSCROLL, r.left, r.top,
                       r.right - r.left, r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                       module, static_cast<CWindow*>(this)))
    return LastErrorResult();
  RegisterDragDrop(m_hwnd, static_cast<IDropTarget*>(this));
  if (!CreateWindowExA(WS_EX_TRANSPARENT, "QVMixOvly.WC", "", WS_CHILD | WS_VISIBLE, r.left, r.top,
                       r.right - r.left, r.bottom - r.top, parent, nullptr, module,
                       static_cast<CWindow*>(&m_overlay))) {
    hr = LastErrorResult();
    RevokeDragDrop(m_hwnd);
    DestroyWindow(m_hwnd);
    return hr;
  }
  RegisterDragDrop(m_overlay.m_hwnd, static_cast<IDropTarget*>(this));
  if (m_devices) m_devices->RegisterNotify(m_hwnd);
  // Columns made before the window get theirs now.
  for (CMixColumn* c = m_head; c; c = c->m_next) PositionColumn(c);
  UpdateScrollRange();
  return S_OK;
}

HRESULT CMixMgr::NewColumn(LONG index, IStream* from, CMixColumn** out) {
  if (!IsLocked()) AssertFailed("IsLocked()", kSource, __LINE__);
  auto* c = new (std::nothrow) CMixColumn(this);
  if (!c) return E_OUTOFMEMORY;
  if (from && FAILED(c->LoadFrom(from))) {
    c->Unknown()->Release();
    return E_FAIL;
  }
  PlaceColumn(c, index);
  *out = c;
  return S_OK;
}

void CMixMgr::InsertColumn(CMixColumn* column) {
  if (!IsLocked()) AssertFailed("IsLocked()", kSource, __LINE__);
  CMixColumn* after = m_head;
  while (after && after->m_index <= column->m_index) after = after->m_next;
  column->m_next = after;
  column->m_prev = after ? after->m_prev : m_tail;
  (column->m_prev ? column->m_prev->m_next : m_head) = column;
  (after ? after->m_prev : m_tail) = column;
  ++m_changes;
}

void CMixMgr::UnlinkColumn(CMixColumn* column) {
  if (!IsLocked()) AssertFailed("IsLocked()", kSource, __LINE__);
  (column->m_prev ? column->m_prev->m_next : m_head) = column->m_next;
  (column->m_next ? column->m_next->m_prev : m_tail) = column->m_prev;
  column->m_prev = column->m_next = nullptr;
  ++m_changes;
}

// The column goes to `index`; a column already there and those following
// it with consecutive indices move up by one.
void CMixMgr::PlaceColumn(CMixColumn* column, LONG index) {
  if (index < 0) index = m_tail ? m_tail->m_index + 1 : 0;
  bool linked = column->m_prev || column->m_next || m_head == column;
  if (linked) UnlinkColumn(column);
  CMixColumn* c = m_head;
  while (c && c->m_index < index) c = c->m_next;
  for (LONG expect = index; c && c->m_index == expect; c = c->m_next, ++expect) {
    ++c->m_index;
    PositionColumn(c);
  }
  column->m_index = index;
  InsertColumn(column);
  PositionColumn(column);
  UpdateScrollRange();
}

void CMixMgr::PositionColumn(CMixColumn* column) {
  if (!m_hwnd) return;
  int x = (column->m_index - m_firstVisible) * m_columnWidth;
  int y = m_voffset + kHeaderBand;
  if (!column->m_hwnd) {
    CreateWindowExA(0, "QVMixColumn.WC", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, m_columnWidth, m_height,
                    m_hwnd, nullptr, ThisModule(), static_cast<CWindow*>(column));
    return;
  }
  SetWindowPos(column->m_hwnd, nullptr, x, y, m_columnWidth, m_height, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(column->m_hwnd, nullptr, TRUE);
}

void CMixMgr::UpdateScrollRange() {
  if (!m_hwnd) return;
  SCROLLINFO si = {};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  si.nMin = 0;
  si.nMax = m_visibleCount + (m_tail ? m_tail->m_index : 0);
  si.nPage = static_cast<UINT>(m_visibleCount);
  si.nPos = m_firstVisible;
  SetScrollInfo(m_hwnd, SB_HORZ, &si, TRUE);
}

HRESULT STDMETHODCALLTYPE CMixMgr::AddColumn(LONG position, IUnknown** column) {
  if (!column) return PointerFault("ppColumn", __LINE__);
  *column = nullptr;
  HRESULT hr = Lock();
  if (FAILED(hr)) return hr;
  StopForEdit();
  CMixColumn* c = nullptr;
  hr = NewColumn(position, nullptr, &c);
  if (SUCCEEDED(hr)) {
    *column = c->Unknown();
    (*column)->AddRef();
  }
  HRESULT run = Unlock();
  return FAILED(hr) ? hr : run;
}

HRESULT STDMETHODCALLTYPE CMixMgr::RemoveColumn(LONG index) {
  HRESULT hr = Lock();
  if (FAILED(hr)) return hr;
  CMixColumn* c = m_head;
  while (c && c->m_index != index) c = c->m_next;
  if (!c) {
    --m_lockDepth ? void() : void(m_lockThread = 0);
    CCom::Unlock();
    return VFW_E_NOT_FOUND;
  }
  StopForEdit();
  UnlinkColumn(c);
  c->Unknown()->Release();
  UpdateScrollRange();
  return Unlock();
}

HRESULT STDMETHODCALLTYPE CMixMgr::EnumColumns(IEnumUnknown** columns) {
  if (!columns) return PointerFault("ppEnum", __LINE__);
  auto* e = new (std::nothrow) CColumnEnum;
  if (!e) return E_OUTOFMEMORY;
  CCom::Lock();
  for (CMixColumn* c = m_head; c; c = c->m_next) {
    c->Unknown()->AddRef();
    e->m_items.push_back(c->Unknown());
  }
  CCom::Unlock();
  *columns = e;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::ColumnFromPoint(const POINT* point, IUnknown** column) {
  if (!point) return PointerFault("pPoint", __LINE__);
  if (!column) return PointerFault("ppColumn", __LINE__);
  *column = nullptr;
  RECT client = {};
  if (m_hwnd) GetClientRect(m_hwnd, &client);
  if (!PtInRect(&client, *point) || point->y < kHeaderBand) return VFW_E_NOT_FOUND;
  LONG index = point->x / m_columnWidth + m_firstVisible;
  CCom::Lock();
  for (CMixColumn* c = m_head; c; c = c->m_next)
    if (c->m_index == index) {
      *column = c->Unknown();
      (*column)->AddRef();
      break;
    }
  CCom::Unlock();
  return S_OK;
}

BOOL STDMETHODCALLTYPE CMixMgr::SetOverlay(BOOL overlay) {
  WORD old = m_overlayFlag;
  WORD now = overlay ? 1 : 0;
  m_overlayFlag = now;
  if (now != (old ? 1 : 0) && m_hwnd && m_overlay.m_hwnd) {
    SetWindowPos(m_overlay.m_hwnd, now ? HWND_TOP : m_hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (!now) SetWindowPos(m_hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    POINT p;
    RECT r;
    if (GetCursorPos(&p) && GetWindowRect(m_overlay.m_hwnd, &r) && PtInRect(&r, p)) {
      ScreenToClient(m_overlay.m_hwnd, &p);
      PostMessageA(m_overlay.m_hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
    }
  }
  return old;
}

BOOL STDMETHODCALLTYPE CMixMgr::SetWideColumns(BOOL wide) {
  BOOL was = m_columnWidth > 56;
  LONG width = wide ? 90 : 56;
  if (width != m_columnWidth) {
    LONG count = (m_visibleCount * m_columnWidth + width / 2) / width;
    m_visibleCount = count < 1 ? 1 : count;
    m_columnWidth = width;
    for (CMixColumn* c = m_head; c; c = c->m_next) PositionColumn(c);
    UpdateScrollRange();
  }
  return was;
}

HRESULT STDMETHODCALLTYPE CMixMgr::GetScroll(LONG* first, LONG* count) {
  if (first) *first = m_firstVisible;
  if (count) *count = m_visibleCount;
  return S_OK;
}

LONG STDMETHODCALLTYPE CMixMgr::SetScroll(LONG first) {
  if (first < 0) first = 0;
  if (first != m_firstVisible) {
    if (m_hwnd)
      ScrollWindowEx(m_hwnd, (m_firstVisible - first) * m_columnWidth, 0, nullptr, nullptr, nullptr, nullptr,
                     SW_SCROLLCHILDREN | SW_INVALIDATE);
    m_firstVisible = first;
    UpdateScrollRange();
  }
  return m_visibleCount;
}

// No plug-in host object lives in this library.
HRESULT STDMETHODCALLTYPE CMixMgr::HostQuery(void* argument) {
  if (!argument) return PointerFault("pArg", __LINE__);
  return S_FALSE;
}

// ---- IPersistStream ----

HRESULT STDMETHODCALLTYPE CMixMgr::GetClassID(CLSID* clsid) {
  if (!clsid) return PointerFault("pClsid", __LINE__);
  *clsid = CLSID_QvMixGraph;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::IsDirty() { return (m_state & kDirty) ? S_OK : S_FALSE; }

#pragma pack(push, 1)
struct MixGraphHeader {
  uint16_t size;
  uint16_t version;
  uint32_t zero;
  GUID clsid;
  uint32_t firstVisible, visibleCount, columnWidth, vscroll, voffset;
  uint32_t firstColumn, lastColumn;
};
#pragma pack(pop)
static_assert(sizeof(MixGraphHeader) == kHeaderSize, "the stream header is 52 bytes");
static_assert(offsetof(MixGraphHeader, firstVisible) == 24, "view fields follow the class id");

namespace {
// The first 24 bytes of a graph stream this reader takes.
bool HeaderAccepted(const MixGraphHeader& h) {
  return h.clsid == CLSID_QvMixGraph && h.version <= kVersion && h.size >= kHeaderSize;
}
}  // namespace

bool IsMixGraphFile(LPCWSTR file) {
  IStream* stream = nullptr;
  if (!file || FAILED(SHCreateStreamOnFileW(file, STGM_READ | STGM_SHARE_DENY_NONE, &stream))) return false;
  MixGraphHeader h = {};
  bool ok = SUCCEEDED(ReadExact(stream, &h, 24)) && HeaderAccepted(h);
  stream->Release();
  return ok;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Load(IStream* stream) {
  if (!stream) return PointerFault("pStream", __LINE__);
  return LoadAt(stream, 0);
}

// The columns of the stream are placed from `position` on; the columns
// there move on to make room.
HRESULT CMixMgr::LoadAt(IStream* stream, LONG position) {
  MixGraphHeader h = {};
  if (FAILED(ReadExact(stream, &h, 24))) return E_FAIL;
  if (!HeaderAccepted(h)) return E_FAIL;
  if (FAILED(ReadExact(stream, reinterpret_cast<BYTE*>(&h) + 24, kHeaderSize - 24))) return E_FAIL;
  for (ULONG rest = h.size - kHeaderSize; rest;) {  // a longer header of a later writer
    BYTE skip[64];
    ULONG n = rest < sizeof skip ? rest : sizeof skip;
    if (FAILED(ReadExact(stream, skip, n))) return E_FAIL;
    rest -= n;
  }
  HRESULT hr = Lock();
  if (FAILED(hr)) return hr;
  LONG first = static_cast<LONG>(h.firstColumn), last = static_cast<LONG>(h.lastColumn);
  LONG span = last - first + 1;
  bool wasEmpty = m_head == nullptr;
  std::vector<CMixColumn*> loaded;
  hr = S_OK;
  if (span > 0) {
    StopForEdit();
    for (CMixColumn* c = m_tail; c && c->m_index >= position; c = c->m_prev) {
      c->m_index += span;
      PositionColumn(c);
    }
    // Columns follow in ascending order up to the last index.
    for (LONG previous = first - 1; previous != last;) {
      uint32_t index = 0;
      CMixColumn* c = nullptr;
      if (FAILED(ReadExact(stream, &index, 4)) || static_cast<LONG>(index) <= previous ||
          static_cast<LONG>(index) > last ||
          FAILED(NewColumn(static_cast<LONG>(index) + (position - first), stream, &c))) {
        hr = E_FAIL;
        break;
      }
      loaded.push_back(c);
      previous = static_cast<LONG>(index);
    }
    if (FAILED(hr)) {
      // Nothing of a stream that fails stays: its columns go, the others
      // move back.
      for (CMixColumn* c : loaded) {
        UnlinkColumn(c);
        c->Unknown()->Release();
      }
      for (CMixColumn* c = m_head; c; c = c->m_next)
        if (c->m_index >= position + span) {
          c->m_index -= span;
          PositionColumn(c);
        }
    }
  }
  if (SUCCEEDED(hr) && wasEmpty) {
    if (h.columnWidth == 56 || h.columnWidth == 90) m_columnWidth = static_cast<LONG>(h.columnWidth);
    if (h.firstVisible < 0x10000) m_firstVisible = static_cast<LONG>(h.firstVisible);
    if (h.visibleCount >= 1 && h.visibleCount < 0x10000) m_visibleCount = static_cast<LONG>(h.visibleCount);
    m_vscroll = static_cast<LONG>(h.vscroll);
    m_voffset = static_cast<LONG>(h.voffset);
    for (CMixColumn* c = m_head; c; c = c->m_next) PositionColumn(c);
  }
  UpdateScrollRange();
  HRESULT run = Unlock();  // on every path
  return FAILED(hr) ? hr : run;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Save(IStream* stream, BOOL clearDirty) {
  if (!stream) return PointerFault("pStream", __LINE__);
  CCom::Lock();
  MixGraphHeader h = {};
  h.size = kHeaderSize;
  h.version = kVersion;
  h.clsid = CLSID_QvMixGraph;
  h.firstVisible = static_cast<uint32_t>(m_firstVisible);
  h.visibleCount = static_cast<uint32_t>(m_visibleCount);
  h.columnWidth = static_cast<uint32_t>(m_columnWidth);
  h.vscroll = static_cast<uint32_t>(m_vscroll);
  h.voffset = static_cast<uint32_t>(m_voffset);
  h.firstColumn = m_head ? static_cast<uint32_t>(m_head->m_index) : 0;
  h.lastColumn = m_tail ? static_cast<uint32_t>(m_tail->m_index) : 0xFFFFFFFFu;
  HRESULT hr = WriteExact(stream, &h, sizeof h);
  for (CMixColumn* c = m_head; SUCCEEDED(hr) && c; c = c->m_next) {
    uint32_t index = static_cast<uint32_t>(c->m_index);
    hr = WriteExact(stream, &index, 4);
    if (SUCCEEDED(hr)) hr = c->SaveTo(stream);
  }
  if (SUCCEEDED(hr) && clearDirty) m_state &= ~kDirty;
  CCom::Unlock();
  return hr;
}

// The header, then each column's index word and its own stream.
HRESULT STDMETHODCALLTYPE CMixMgr::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return PointerFault("pcbSize", __LINE__);
  CCom::Lock();
  ULONGLONG n = kHeaderSize;
  for (CMixColumn* c = m_head; c; c = c->m_next) n += 4 + c->SizeMax();  // its index word and its stream
  CCom::Unlock();
  size->QuadPart = n;
  return S_OK;
}

// ---- IDropTarget ----

// A drop is taken when its first file is a mixer graph file.
bool CMixMgr::ProbeDrop(IDataObject* data, WCHAR* file) {
  FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM medium = {};
  if (FAILED(data->GetData(&format, &medium))) return false;
  auto drop = static_cast<HDROP>(GlobalLock(medium.hGlobal));
  bool named = drop && DragQueryFileW(drop, 0, file, MAX_PATH) > 0;
  if (drop) GlobalUnlock(medium.hGlobal);
  ReleaseStgMedium(&medium);
  return named && IsMixGraphFile(file);
}

HRESULT STDMETHODCALLTYPE CMixMgr::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (!data) return PointerFault("pDataObject", __LINE__);
  if (!effect) return PointerFault("pdwEffect", __LINE__);
  WCHAR file[MAX_PATH];
  m_dropAccepted = ProbeDrop(data, file);
  return DragOver(keys, point, effect);
}

HRESULT STDMETHODCALLTYPE CMixMgr::DragOver(DWORD keys, POINTL, DWORD* effect) {
  if (!effect) return PointerFault("pdwEffect", __LINE__);
  *effect = !m_dropAccepted ? DROPEFFECT_NONE : (keys & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::DragLeave() {
  m_dropAccepted = FALSE;
  SetCursor(g_cursors[0]);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) {
  if (!data) return PointerFault("pDataObject", __LINE__);
  if (!effect) return PointerFault("pdwEffect", __LINE__);
  WCHAR file[MAX_PATH];
  if (m_dropAccepted && ProbeDrop(data, file)) {
    LONG position = -1;
    if (keys & MK_CONTROL) {
      POINT p = {point.x, point.y};
      if (m_hwnd) ScreenToClient(m_hwnd, &p);
      position = p.x / m_columnWidth + m_firstVisible;
    }
    static_cast<IQVMixBuilder*>(this)->Load(file, position);
  }
  m_dropAccepted = FALSE;
  *effect = DROPEFFECT_NONE;
  return S_OK;
}

// ---- IQVDeviceTree ----

BOOL STDMETHODCALLTYPE CMixMgr::Attach(HWND tree) {
  if (!tree || m_tree) return 0;
  m_tree = tree;
  HIMAGELIST states = ImageList_LoadImageA(ThisModule(), MAKEINTRESOURCEA(207), 16, 6, CLR_DEFAULT, IMAGE_BITMAP, 0);
  if (!states) states = ImageList_Create(16, 16, ILC_COLOR, 6, 0);
  SendMessageA(tree, TVM_SETIMAGELIST, TVSIL_STATE, reinterpret_cast<LPARAM>(states));
  if (m_devices) {
    CCom::Lock();
    CMixDevUnit* before = nullptr;
    for (CMixDevUnit* u = m_devices->m_head; u; before = u, u = u->m_next) u->AddToTree(before ? before->m_item : nullptr);
    CCom::Unlock();
  }
  return 1;
}

HRESULT STDMETHODCALLTYPE CMixMgr::Detach() {
  if (!m_tree) return S_FALSE;
  if (m_devices) {
    CCom::Lock();
    for (CMixDevUnit* u = m_devices->m_head; u; u = u->m_next) u->RemoveFromTree();
    CCom::Unlock();
  }
  for (WPARAM which : {static_cast<WPARAM>(TVSIL_NORMAL), static_cast<WPARAM>(TVSIL_STATE)}) {
    auto old = reinterpret_cast<HIMAGELIST>(SendMessageA(m_tree, TVM_SETIMAGELIST, which, 0));
    if (old) ImageList_Destroy(old);
  }
  m_tree = nullptr;
  return S_OK;
}

LRESULT STDMETHODCALLTYPE CMixMgr::OnNotify(NMHDR* header) {
  if (!header || !m_tree || (header->code != NM_RCLICK && header->code != NM_DBLCLK)) return 0;
  TVHITTESTINFO hit = {};
  GetCursorPos(&hit.pt);
  POINT screen = hit.pt;
  ScreenToClient(m_tree, &hit.pt);
  auto item = reinterpret_cast<HTREEITEM>(SendMessageA(m_tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  if (!item) return 0;
  SendMessageA(m_tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  TVITEMA data = {};
  data.mask = TVIF_PARAM;
  data.hItem = item;
  SendMessageA(m_tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
  auto* unit = reinterpret_cast<CMixDevUnit*>(data.lParam);
  if (!unit) return 0;
  if (header->code == NM_DBLCLK) {
    if (!TryEnterCriticalSection(unit->m_lock)) return 0;
    ShowPropertyFrame(unit->Unknown(), m_tree, unit->Name());
    unit->CCom::Unlock();
    return -1;
  }
  return UnitMenu(unit, screen);
}

LRESULT CMixMgr::UnitMenu(CMixDevUnit* unit, POINT at) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return 0;
  HMODULE module = ThisModule();
  const struct {
    UINT id;
    const char* fallback;
    bool checked;
  } items[] = {{45, "  &Master Device", m_devices && m_devices->m_master == unit},
               {46, "  &Use Device", (unit->m_flags & 0x80000000u) != 0},
               {42, "  P&roperties...", false}};
  for (const auto& i : items) {
    char text[64];
    if (!LoadStringA(module, i.id, text, sizeof text)) lstrcpynA(text, i.fallback, sizeof text);
    AppendMenuA(menu, MF_STRING | (i.checked ? MF_CHECKED : 0), i.id, text);
  }
  UINT choice = static_cast<UINT>(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0,
                                                 m_tree, nullptr));
  DestroyMenu(menu);
  if (choice == 42) {
    ShowPropertyFrame(unit->Unknown(), m_tree, unit->Name());
  } else if (choice == 45 && m_devices) {
    m_devices->m_master = m_devices->m_master == unit ? nullptr : unit;
    m_devices->SelectClock();
  } else if (choice == 46) {
    unit->m_flags ^= 0x80000000u;
  }
  return -1;
}

// ---- the mixer window ----

LRESULT CMixMgr::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QV_SETRATE:
      if (!m_devices || !lParam) return E_POINTER;
      return m_devices->ApplyRate(reinterpret_cast<CMixDevUnit*>(wParam),
                                  *reinterpret_cast<const qvmix::RateRecord*>(lParam));
    case WM_DEVICECHANGE:
      return m_devices ? m_devices->OnDeviceChange(wParam, lParam) : TRUE;
    case WM_SIZE: {
      LONG count = LOWORD(lParam) / m_columnWidth;
      m_visibleCount = count < 1 ? 1 : count;
      UpdateScrollRange();
      return 0;
    }
    case WM_HSCROLL: {
      LONG first = m_firstVisible;
      switch (LOWORD(wParam)) {
        case SB_LINELEFT: --first; break;
        case SB_LINERIGHT: ++first; break;
        case SB_PAGELEFT: first -= m_visibleCount; break;
        case SB_PAGERIGHT: first += m_visibleCount; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: first = HIWORD(wParam); break;
      }
      SetScroll(first);
      return 0;
    }
    case WM_DESTROY:
      RevokeDragDrop(m_hwnd);
      if (m_devices) m_devices->RegisterNotify(nullptr);
      break;
  }
  return DefWindowProcA(m_hwnd, message, wParam, lParam);
}

// ---- the class ----

IUnknown* CreateMixGraph(const CLSID*, IUnknown* outer, HRESULT* result) {
  HRESULT hr = S_OK;
  auto* m = new (std::nothrow) CMixMgr(outer, &hr);
  if (!m) {
    *result = E_OUTOFMEMORY;
    return nullptr;
  }
  if (FAILED(hr)) {
    *result = hr;
    m->Unknown()->Release();
    return nullptr;
  }
  return m->Unknown();
}

void MixGraphStartHook(const QvClassDesc*) {
  if (!g_moduleLockReady) {
    InitializeCriticalSection(&g_moduleLock);
    g_moduleLockReady = true;
  }
  CSysTime::Init();
  typedef BOOL(WINAPI * InitControls)(const INITCOMMONCONTROLSEX*);
  if (HMODULE comctl = LoadLibraryA("comctl32.dll")) {
    auto init = reinterpret_cast<InitControls>(reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES};
    if (init) init(&icc);
  }
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvale", 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD value = 0, size = 4, type = 0;
    if (RegQueryValueExA(key, "RegisterDS", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD)
      g_registerDS = value;
    RegCloseKey(key);
  }
}

void MixGraphEndHook(const QvClassDesc*) {
  if (g_moduleLockReady) {
    DeleteCriticalSection(&g_moduleLock);
    g_moduleLockReady = false;
  }
}
