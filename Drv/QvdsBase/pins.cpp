// CDsPin, CDsInputPin, CDsOutputPin: connection, media-type negotiation and
// the allocator decision; CDsEnumMediaTypes over a pin's types.
#include "Drv/QvdsBase/dsbase.h"
#include "Inc/base.h"

#include <cwchar>
#include <new>

namespace {
constexpr char SourceFile[] = "Drv/QvdsBase";

const CLSID CLSID_StandardMemAllocator = {0x1E651CC0, 0xB199, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};

// Failures that only say "this type will not do".
bool IsRefusal(HRESULT hr) { return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED; }

template <class T>
void ReleaseHeld(T** held) {
  if (*held) (*held)->Release();
  *held = nullptr;
}
}  // namespace

// ---- CDsPin ----

const ComInterfaceEntry CDsPin::Interfaces[] = {
    {&IID_IPin, ComOffset<CDsPin, IPin>()},
    {&IID_IQualityControl, ComOffset<CDsPin, IQualityControl>()},
    {nullptr, 0},
};

CDsPin::CDsPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces)
    : CCom(filter->Filter(), 4000, interfaces), m_filter(filter) {
  if (name) {
    size_t n = wcslen(name) + 1;
    m_name = static_cast<LPWSTR>(MemAlloc(n * sizeof(WCHAR)));
    if (m_name) wmemcpy(m_name, name, n);
    else if (hr) *hr = E_OUTOFMEMORY;
  }
}

CDsPin::~CDsPin() {
  if (IsConnected()) AssertFailed("!IsConnected()", SourceFile, __LINE__);
  if (m_mediaType) CMediaType::Delete(m_mediaType);
  m_mediaType = nullptr;
  MemFree(m_name);
  m_name = nullptr;
  ReleaseHeld(&m_allocator);
  ReleaseHeld(&m_connected);
}

HRESULT STDMETHODCALLTYPE CDsPin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  // The pin's identity is its IPin; every reference counts on the filter.
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = Pin();
    AddRef();
    return S_OK;
  }
  return NonDelegatingQueryInterface(iid, out);
}

HRESULT CDsPin::SetMediaType(const AM_MEDIA_TYPE* pmt) {
  AM_MEDIA_TYPE* copy = CMediaType::Duplicate(pmt);
  if (!copy) return E_OUTOFMEMORY;
  if (m_mediaType) CMediaType::Delete(m_mediaType);
  m_mediaType = copy;
  return S_OK;
}

HRESULT CDsPin::TryMediaTypes(const AM_MEDIA_TYPE* filter, IEnumMediaTypes* types) {
  HRESULT hr = types->Reset();
  if (FAILED(hr)) return hr;
  HRESULT kept = S_OK;
  for (;;) {
    AM_MEDIA_TYPE* type = nullptr;
    ULONG fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || !type) break;
    if (filter && !CMediaType::MatchesPartial(type, filter)) {
      CMediaType::Delete(type);
      continue;
    }
    hr = AttemptConnection(type);
    CMediaType::Delete(type);
    if (hr == S_OK) return S_OK;
    if (FAILED(hr) && !IsRefusal(hr) && kept == S_OK) kept = hr;
  }
  return kept != S_OK ? kept : VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CDsPin::AgreeMediaType(const AM_MEDIA_TYPE* pmt) {
  if (pmt && !CMediaType::IsPartiallySpecified(pmt)) return AttemptConnection(pmt);
  HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int pass = 0; pass < 2; ++pass) {
    IEnumMediaTypes* types = nullptr;
    HRESULT hr = pass == 0 ? EnumMediaTypes(&types) : m_connected->EnumMediaTypes(&types);
    if (FAILED(hr) || !types) continue;
    hr = TryMediaTypes(pmt, types);
    types->Release();
    if (hr == S_OK) return S_OK;
    if (FAILED(hr) && !IsRefusal(hr)) result = hr;
  }
  return result;
}

HRESULT CDsPin::AttemptConnection(const AM_MEDIA_TYPE* pmt) {
  HRESULT hr = CheckMediaType(pmt);
  if (hr != S_OK) return FAILED(hr) && !IsRefusal(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  hr = SetMediaType(pmt);
  if (FAILED(hr)) return hr;
  hr = m_connected->ReceiveConnection(Pin(), pmt);
  if (FAILED(hr)) return hr;
  hr = CompleteConnect();
  if (FAILED(hr)) {
    m_connected->Disconnect();
    return hr;
  }
  return S_OK;
}

HRESULT CDsPin::CheckConnect() {
  PIN_DIRECTION mine, theirs;
  HRESULT hr = QueryDirection(&mine);
  if (FAILED(hr)) return hr;
  hr = m_connected->QueryDirection(&theirs);
  if (FAILED(hr)) return hr;
  return mine == theirs ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CDsPin::BreakConnect() {
  if (m_allocator) {
    HRESULT hr = m_allocator->Decommit();
    if (FAILED(hr)) return hr;
    ReleaseHeld(&m_allocator);
  }
  if (m_mediaType) CMediaType::Delete(m_mediaType);
  m_mediaType = nullptr;
  ReleaseHeld(&m_connected);
  return S_OK;
}

HRESULT CDsPin::InitAllocator() {
  if (m_allocator) return S_OK;
  return CoCreateInstance(CLSID_StandardMemAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(&m_allocator));
}

// Both ends of a connection start alike: a pin takes a peer only while it
// has none and its filter is stopped; the peer is kept and held.
HRESULT CDsPin::BeginConnect(IPin* peer) {
  if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
  if (m_filter->m_state != State_Stopped) return VFW_E_NOT_STOPPED;
  m_connected = peer;
  peer->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) {
  if (NullArgument(receivePin, "pReceivePin", SourceFile, __LINE__)) return E_POINTER;
  LockConnection();
  HRESULT hr = BeginConnect(receivePin);
  if (hr == S_OK) {
    hr = CheckConnect();
    if (SUCCEEDED(hr)) hr = AgreeMediaType(pmt);
    if (FAILED(hr)) BreakConnect();
  }
  UnlockConnection();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) {
  if (NullArgument(connector, "pConnector", SourceFile, __LINE__)) return E_POINTER;
  if (NullArgument(pmt, "pMediaType", SourceFile, __LINE__)) return E_POINTER;
  LockConnection();
  HRESULT hr = BeginConnect(connector);
  if (hr == S_OK) {
    hr = CheckConnect();
    if (SUCCEEDED(hr)) {
      hr = CheckMediaType(pmt);
      if (hr == S_FALSE || IsRefusal(hr)) hr = VFW_E_TYPE_NOT_ACCEPTED;
      else if (SUCCEEDED(hr) && hr != S_OK) hr = VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (SUCCEEDED(hr)) hr = SetMediaType(pmt);
    if (SUCCEEDED(hr)) hr = CompleteConnect();
    if (FAILED(hr)) BreakConnect();
  }
  UnlockConnection();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsPin::Disconnect() {
  LockConnection();
  HRESULT hr;
  if (m_filter->m_state != State_Stopped) hr = VFW_E_NOT_STOPPED;
  else hr = IsConnected() ? BreakConnect() : S_FALSE;
  UnlockConnection();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsPin::ConnectedTo(IPin** pin) {
  if (NullArgument(pin, "ppPin", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  *pin = m_connected;
  if (m_connected) m_connected->AddRef();
  Unlock();
  return *pin ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT STDMETHODCALLTYPE CDsPin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
  if (NullArgument(pmt, "pMediaType", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  HRESULT hr;
  if (IsConnected() && m_mediaType) {
    CMediaType::Init(pmt);
    hr = CMediaType::Copy(pmt, m_mediaType);
  } else {
    CMediaType::Init(pmt);
    hr = VFW_E_NOT_CONNECTED;
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsPin::QueryPinInfo(PIN_INFO* info) {
  if (NullArgument(info, "pInfo", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  info->achName[0] = 0;
  if (m_name) lstrcpynW(info->achName, m_name, 128);
  QueryDirection(&info->dir);
  info->pFilter = m_filter->Filter();
  info->pFilter->AddRef();
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsPin::QueryId(LPWSTR* id) {
  if (NullArgument(id, "Id", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  HRESULT hr = CoStrDupW(id, m_name ? m_name : L"");
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsPin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
  if (NullArgument(pmt, "pMediaType", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  HRESULT hr = CheckMediaType(pmt);
  Unlock();
  // A refusal is an answer, never a failure.
  return hr == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CDsPin::EnumMediaTypes(IEnumMediaTypes** out) { return CDsEnumMediaTypes::Create(this, out); }

HRESULT STDMETHODCALLTYPE CDsPin::Notify(IBaseFilter* self, Quality) { return self ? S_OK : E_POINTER; }

HRESULT STDMETHODCALLTYPE CDsPin::SetSink(IQualityControl* sink) {
  Lock();
  m_qualitySink = sink;
  Unlock();
  return S_OK;
}

// ---- CDsInputPin ----

const ComInterfaceEntry CDsInputPin::Interfaces[] = {
    {&IID_IMemInputPin, ComOffset<CDsInputPin, IMemInputPin>()},
    {nullptr, ComNext(CDsPin::Interfaces)},
};

CDsInputPin::CDsInputPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces)
    : CDsPin(name, filter, hr, interfaces) {}

HRESULT STDMETHODCALLTYPE CDsInputPin::QueryDirection(PIN_DIRECTION* direction) {
  if (NullArgument(direction, "pPinDir", SourceFile, __LINE__)) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsInputPin::GetAllocator(IMemAllocator** allocator) {
  if (NullArgument(allocator, "ppAllocator", SourceFile, __LINE__)) return E_POINTER;
  *allocator = nullptr;
  Lock();
  HRESULT hr = m_allocator ? S_OK : InitAllocator();
  if (SUCCEEDED(hr) && m_allocator) {
    *allocator = m_allocator;
    m_allocator->AddRef();
  } else if (SUCCEEDED(hr)) {
    hr = E_FAIL;
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  Lock();
  if (allocator) allocator->AddRef();
  if (m_allocator) m_allocator->Release();
  m_allocator = allocator;
  m_flags = (m_flags & ~2u) | (readOnly ? 2u : 0u);
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsInputPin::Receive(IMediaSample*) { return S_OK; }

HRESULT STDMETHODCALLTYPE CDsInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (NullArgument(samples, "ppSamples", SourceFile, __LINE__)) return E_POINTER;
  HRESULT hr = S_OK;
  long done = 0;
  IMemInputPin* self = this;
  for (long i = 0; i < count; ++i) {
    hr = self->Receive(samples[i]);
    if (hr != S_OK) break;
    ++done;
  }
  if (processed) *processed = done;
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT CDsInputPin::BaseBeginFlush() {
  if (IsFlushing()) AssertFailed("!IsFlushing()", SourceFile, __LINE__);
  m_flags |= 1;
  return S_OK;
}

HRESULT CDsInputPin::BaseEndFlush() {
  if (!IsFlushing()) AssertFailed("IsFlushing()", SourceFile, __LINE__);
  m_flags &= ~1u;
  return S_OK;
}

HRESULT CDsInputPin::BaseNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  m_segmentStart = start;
  m_segmentStop = stop;
  m_rate = rate;
  return S_OK;
}

// ---- CDsOutputPin ----

CDsOutputPin::CDsOutputPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces)
    : CDsPin(name, filter, hr, interfaces) {}

HRESULT STDMETHODCALLTYPE CDsOutputPin::QueryDirection(PIN_DIRECTION* direction) {
  if (NullArgument(direction, "pPinDir", SourceFile, __LINE__)) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsOutputPin::QueryInternalConnections(IPin** pins, ULONG* count) {
  return pins && count ? E_NOTIMPL : E_POINTER;
}

HRESULT CDsOutputPin::CheckConnect() {
  HRESULT hr = CDsPin::CheckConnect();
  if (FAILED(hr)) return hr;
  ReleaseHeld(&m_input);
  return m_connected->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_input));
}

HRESULT CDsOutputPin::BreakConnect() {
  ReleaseHeld(&m_input);
  return CDsPin::BreakConnect();
}

HRESULT CDsOutputPin::CompleteConnect() {
  if (m_allocator) return S_OK;
  ALLOCATOR_PROPERTIES requirements = {};
  m_input->GetAllocatorRequirements(&requirements);
  if (requirements.cbAlign == 0) requirements.cbAlign = 1;
  HRESULT hr = m_input->GetAllocator(&m_allocator);
  if (FAILED(hr)) {
    m_allocator = nullptr;
    hr = InitAllocator();
    if (FAILED(hr)) return hr;
  }
  hr = DecideBufferSize(&requirements);
  if (SUCCEEDED(hr)) hr = m_input->NotifyAllocator(m_allocator, FALSE);
  if (FAILED(hr)) {
    ReleaseHeld(&m_allocator);
    return hr;
  }
  return S_OK;
}

// ---- CDsEnumMediaTypes ----

const ComInterfaceEntry CDsEnumMediaTypes::Interfaces[] = {
    {&IID_IEnumMediaTypes, ComOffset<CDsEnumMediaTypes, IEnumMediaTypes>()},
    {nullptr, 0},
};

CDsEnumMediaTypes::CDsEnumMediaTypes(CDsPin* pin, ULONG version, ULONG position)
    : CCom(nullptr, 0, Interfaces, true), m_pin(pin), m_version(version), m_position(position) {
  m_pin->AddRef();
}

CDsEnumMediaTypes::~CDsEnumMediaTypes() { m_pin->Release(); }

HRESULT CDsEnumMediaTypes::Create(CDsPin* pin, IEnumMediaTypes** out) {
  if (NullArgument(out, "ppEnum", SourceFile, __LINE__)) return E_POINTER;
  *out = nullptr;
  if (NullArgument(pin, "pPin", SourceFile, __LINE__)) return E_POINTER;
  pin->Lock();
  auto* e = new (std::nothrow) CDsEnumMediaTypes(pin, pin->GetMediaTypeVersion(), 0);
  pin->Unlock();
  if (!e) return E_OUTOFMEMORY;
  *out = e;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (NullArgument(types, "ppTypes", SourceFile, __LINE__)) return E_POINTER;
  if (!fetched && count > 1) return E_INVALIDARG;
  m_pin->Lock();
  if (m_version != m_pin->GetMediaTypeVersion()) {
    m_pin->Unlock();
    return VFW_E_ENUM_OUT_OF_SYNC;
  }
  ULONG n = 0;
  HRESULT hr = S_OK;
  for (; n < count; ++n) {
    types[n] = m_pin->GetMediaType(m_position);
    if (!types[n]) {
      hr = S_FALSE;
      break;
    }
    ++m_position;
  }
  m_pin->Unlock();
  if (fetched) *fetched = n;
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsEnumMediaTypes::Skip(ULONG count) {
  m_pin->Lock();
  if (m_version != m_pin->GetMediaTypeVersion()) {
    m_pin->Unlock();
    return VFW_E_ENUM_OUT_OF_SYNC;
  }
  HRESULT hr = S_OK;
  for (; count; --count) {
    ++m_position;
    AM_MEDIA_TYPE* type = m_pin->GetMediaType(m_position);
    if (!type) {
      hr = S_FALSE;
      break;
    }
    CMediaType::Delete(type);
  }
  m_pin->Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsEnumMediaTypes::Reset() {
  m_pin->Lock();
  m_version = m_pin->GetMediaTypeVersion();
  m_position = 0;
  m_pin->Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsEnumMediaTypes::Clone(IEnumMediaTypes** out) {
  if (NullArgument(out, "ppEnum", SourceFile, __LINE__)) return E_POINTER;
  *out = nullptr;
  m_pin->Lock();
  HRESULT hr = S_OK;
  if (m_version != m_pin->GetMediaTypeVersion()) {
    hr = VFW_E_ENUM_OUT_OF_SYNC;
  } else {
    auto* e = new (std::nothrow) CDsEnumMediaTypes(m_pin, m_version, m_position);
    if (e) *out = e;
    else hr = E_OUTOFMEMORY;
  }
  m_pin->Unlock();
  return hr;
}
