// CDsFilter: the media filter's state, pin list, clock, graph and name;
// CDsEnumPins: its pin enumerator, versioned by the filter's pin count.
#include "Drv/QvdsBase/dsbase.h"
#include "Inc/base.h"

#include <cwchar>
#include <new>

namespace {
constexpr char SourceFile[] = "Drv/QvdsBase";

// A copy of a wide text on the library heap, or null.
LPWSTR CopyName(LPCWSTR name) {
  if (!name) return nullptr;
  size_t n = wcslen(name) + 1;
  auto* copy = static_cast<LPWSTR>(MemAlloc(n * sizeof(WCHAR)));
  if (copy) wmemcpy(copy, name, n);
  return copy;
}
}  // namespace

const ComInterfaceEntry CDsFilter::Interfaces[] = {
    {&IID_IBaseFilter, ComOffset<CDsFilter, IBaseFilter>()},
    {&IID_IMediaFilter, ComOffset<CDsFilter, IBaseFilter>()},
    {&IID_IPersist, ComOffset<CDsFilter, IBaseFilter>()},
    {nullptr, 0},
};

CDsFilter::CDsFilter(LPCWSTR name, IUnknown* outer, HRESULT* hr, const ComInterfaceEntry* interfaces)
    : CCom(outer, 4000, interfaces) {
  m_name = CopyName(name);
  if (name && !m_name && hr) *hr = E_OUTOFMEMORY;
}

CDsFilter::~CDsFilter() {
  while (CDsPin* pin = m_pins) {
    m_pins = pin->m_next;
    pin->m_next = nullptr;
    pin->NonDelegatingRelease();
  }
  m_graph = nullptr;
  m_sink = nullptr;
  MemFree(m_name);
  if (m_clock) m_clock->Release();
}

CDsPin* CDsFilter::AddPin(CDsPin* pin, HRESULT* hr) {
  if (!pin) {
    *hr = E_OUTOFMEMORY;
    return nullptr;
  }
  if (FAILED(*hr)) {
    pin->NonDelegatingRelease();
    return nullptr;
  }
  Lock();
  ++m_pinCount;
  pin->m_next = m_pins;
  m_pins = pin;
  Unlock();
  return pin;
}

HRESULT STDMETHODCALLTYPE CDsFilter::Stop() {
  Lock();
  HRESULT result = S_OK;
  if (m_state != State_Stopped) {
    // Every connected pin is told, the first failure remembered.
    for (CDsPin* p = m_pins; p; p = p->m_next) {
      if (!p->IsConnected()) continue;
      HRESULT hr = p->Inactive();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    m_state = State_Stopped;
  }
  Unlock();
  return result;
}

HRESULT STDMETHODCALLTYPE CDsFilter::Pause() {
  Lock();
  if (m_state != State_Paused) {
    for (CDsPin* p = m_pins; p; p = p->m_next) {
      if (!p->IsConnected()) continue;
      HRESULT hr = p->Active();
      if (FAILED(hr)) {
        Unlock();
        return hr;
      }
    }
    m_state = State_Paused;
  }
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::Run(REFERENCE_TIME start) {
  Lock();
  if (m_state != State_Running) {
    if (m_state == State_Stopped) {
      // Through the interface, so that a derived Pause is the one called.
      HRESULT hr = Filter()->Pause();
      if (FAILED(hr)) {
        Unlock();
        return hr;
      }
    }
    m_start = start;
    for (CDsPin* p = m_pins; p; p = p->m_next) {
      if (!p->IsConnected()) continue;
      HRESULT hr = p->Run();
      if (FAILED(hr)) {
        Unlock();
        return hr;
      }
    }
    m_state = State_Running;
  }
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::GetState(DWORD, FILTER_STATE* state) {
  if (NullArgument(state, "pState", SourceFile, __LINE__)) return E_POINTER;
  *state = m_state;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::SetSyncSource(IReferenceClock* clock) {
  Lock();
  if (clock) clock->AddRef();
  if (m_clock) m_clock->Release();
  m_clock = clock;
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::GetSyncSource(IReferenceClock** clock) {
  if (NullArgument(clock, "ppClock", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  *clock = m_clock;
  if (m_clock) m_clock->AddRef();
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::EnumPins(IEnumPins** out) { return CDsEnumPins::Create(this, out); }

HRESULT STDMETHODCALLTYPE CDsFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (NullArgument(id, "PinID", SourceFile, __LINE__)) return E_POINTER;
  if (NullArgument(pin, "ppPin", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  *pin = nullptr;
  for (CDsPin* p = m_pins; p; p = p->m_next) {
    if (p->m_name && wcscmp(p->m_name, id) == 0) {
      *pin = p->Pin();
      (*pin)->AddRef();
      break;
    }
  }
  Unlock();
  return *pin ? S_OK : VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CDsFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (NullArgument(info, "pInfo", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  info->achName[0] = 0;
  if (m_name) lstrcpynW(info->achName, m_name, 128);
  info->pGraph = m_graph;
  if (m_graph) m_graph->AddRef();
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  Lock();
  if (m_state != State_Stopped) {
    Unlock();
    return VFW_E_FILTER_ACTIVE;
  }
  m_sink = nullptr;
  m_graph = nullptr;
  MemFree(m_name);
  m_name = nullptr;
  m_graph = graph;
  if (graph) {
    // The sink is kept without a reference, as the graph is.
    IMediaEventSink* sink = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
      m_sink = sink;
      sink->Release();
    }
    if (name) m_name = CopyName(name);
  }
  Unlock();
  return S_OK;
}

// ---- the pin enumerator ----

const ComInterfaceEntry CDsEnumPins::Interfaces[] = {
    {&IID_IEnumPins, ComOffset<CDsEnumPins, IEnumPins>()},
    {nullptr, 0},
};

CDsEnumPins::CDsEnumPins(CDsFilter* filter, ULONG version, CDsPin* current)
    : CCom(nullptr, 0, Interfaces, true), m_filter(filter), m_version(version), m_current(current) {
  m_filter->Filter()->AddRef();
}

CDsEnumPins::~CDsEnumPins() { m_filter->Filter()->Release(); }

HRESULT CDsEnumPins::Create(CDsFilter* filter, IEnumPins** out) {
  if (NullArgument(out, "ppEnum", SourceFile, __LINE__)) return E_POINTER;
  *out = nullptr;
  if (NullArgument(filter, "pFilter", SourceFile, __LINE__)) return E_POINTER;
  filter->Lock();
  auto* e = new (std::nothrow) CDsEnumPins(filter, filter->m_pinCount, filter->m_pins);
  filter->Unlock();
  if (!e) return E_OUTOFMEMORY;
  *out = e;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (NullArgument(pins, "ppPins", SourceFile, __LINE__)) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  m_filter->Lock();
  if (m_version != m_filter->m_pinCount) {
    m_filter->Unlock();
    return VFW_E_ENUM_OUT_OF_SYNC;
  }
  ULONG n = 0;
  for (; n < count && m_current; ++n, m_current = m_current->m_next) {
    pins[n] = m_current->Pin();
    pins[n]->AddRef();
  }
  m_filter->Unlock();
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CDsEnumPins::Skip(ULONG count) {
  m_filter->Lock();
  if (m_version != m_filter->m_pinCount) {
    m_filter->Unlock();
    return VFW_E_ENUM_OUT_OF_SYNC;
  }
  for (; count && m_current; --count) m_current = m_current->m_next;
  bool atEnd = m_current == nullptr;
  m_filter->Unlock();
  return atEnd ? S_FALSE : S_OK;
}

HRESULT STDMETHODCALLTYPE CDsEnumPins::Reset() {
  m_filter->Lock();
  m_version = m_filter->m_pinCount;
  m_current = m_filter->m_pins;
  m_filter->Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsEnumPins::Clone(IEnumPins** out) {
  if (NullArgument(out, "ppEnum", SourceFile, __LINE__)) return E_POINTER;
  *out = nullptr;
  m_filter->Lock();
  HRESULT hr = S_OK;
  if (m_version != m_filter->m_pinCount) {
    hr = VFW_E_ENUM_OUT_OF_SYNC;
  } else {
    auto* e = new (std::nothrow) CDsEnumPins(m_filter, m_version, m_current);
    if (e) *out = e;
    else hr = E_OUTOFMEMORY;
  }
  m_filter->Unlock();
  return hr;
}
