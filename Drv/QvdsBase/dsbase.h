// The media-filter base classes of the library: the filter and its pin
// enumerator, the pins with connection and media-type negotiation, the
// media-type enumerator, the media-type operations and stream utilities.
// Concrete filters and pins derive from these and fill the open slots.
#pragma once
#include "Inc/base.h"
#include "Inc/ccom.h"

#include <strmif.h>
#include <vfwmsgs.h>

class CDsPin;

// True, after reporting the failed check `name` at `file`:`line`, when a
// caller's pointer argument is null: the method then returns E_POINTER.
inline bool NullArgument(const void* p, const char* name, const char* file, unsigned line) {
  if (p) return false;
  AssertFailed(name, file, line);
  return true;
}

// ---- media types ----------------------------------------------------------------

// The published AM_MEDIA_TYPE record and its operations.
class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType() { Init(this); }
  // A copy of `source`; a failure goes to `result` when given.
  CMediaType(const AM_MEDIA_TYPE& source, HRESULT* result = nullptr);
  ~CMediaType() { Free(this); }

  // All zero, then fixed-size samples of size 1.
  static void Init(AM_MEDIA_TYPE* pmt);
  // E_POINTER when either is null or both are the same record; the interface
  // reference gets one more reference, the format block is duplicated
  // (failure: format size 0 and E_OUTOFMEMORY).
  static HRESULT Copy(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
  // Frees the format block and releases the interface reference.
  static void Free(AM_MEDIA_TYPE* pmt);
  // Free, then the record itself, with the COM task allocator: what the
  // receiver of an enumerated type does.
  static void Delete(AM_MEDIA_TYPE* pmt);
  // A new record in COM task memory copied from `src`, or null.
  static AM_MEDIA_TYPE* Duplicate(const AM_MEDIA_TYPE* src);
  static BOOL IsPartiallySpecified(const AM_MEDIA_TYPE* pmt);
  static BOOL MatchesPartial(const AM_MEDIA_TYPE* pmt, const AM_MEDIA_TYPE* partial);

  void SetType(const GUID* type) { majortype = *type; }
  void SetSubtype(const GUID* type) { subtype = *type; }
  void SetFormatType(const GUID* type) { formattype = *type; }
  // A format block of `size` bytes: the old bytes kept as far as they fit,
  // the rest zeroed. Null on allocation failure (the old block then kept).
  BYTE* AllocFormat(ULONG size);

 private:
  CMediaType(const CMediaType&) = delete;
  CMediaType& operator=(const CMediaType&) = delete;
};
static_assert(sizeof(void*) != 4 || sizeof(AM_MEDIA_TYPE) == 72);

// Reads or writes exactly n bytes: E_POINTER for a null stream or buffer,
// the stream's failure, E_FAIL when another count was transferred.
HRESULT StreamReadExact(IStream* stream, void* buffer, ULONG n);
HRESULT StreamWriteExact(IStream* stream, const void* buffer, ULONG n);

// ---- the filter ----------------------------------------------------------------------

class CDsFilter : public CCom, public IBaseFilter {
 public:
  CDsFilter(LPCWSTR name, IUnknown* outer, HRESULT* hr, const ComInterfaceEntry* interfaces = Interfaces);
  ~CDsFilter() override;
  CCOM_DELEGATING_UNKNOWN

  // Adds a pin that a derived constructor has just made; null when the pin
  // is null (*hr E_OUTOFMEMORY) or reported failure (the pin is released).
  CDsPin* AddPin(CDsPin* pin, HRESULT* hr);

  // IBaseFilter (GetClassID and QueryVendorInfo are the derived filter's)
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE Pause() override;
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
  HRESULT STDMETHODCALLTYPE GetState(DWORD timeout, FILTER_STATE* state) override;
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** out) override;
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

  IBaseFilter* Filter() { return static_cast<IBaseFilter*>(this); }
  static const ComInterfaceEntry Interfaces[];

  CDsPin* m_pins = nullptr;  // newest first
  ULONG m_pinCount = 0;      // raised by every AddPin: the list's version
  REFERENCE_TIME m_start = 0;
  IFilterGraph* m_graph = nullptr;    // no reference: the graph owns the filter
  IMediaEventSink* m_sink = nullptr;  // no reference
  IReferenceClock* m_clock = nullptr;
  FILTER_STATE m_state = State_Stopped;
  LPWSTR m_name = nullptr;
};

class CDsEnumPins : public CCom, public IEnumPins {
 public:
  // The enumerator's creation: E_POINTER for a null out-pointer or filter.
  static HRESULT Create(CDsFilter* filter, IEnumPins** out);
  CDsEnumPins(CDsFilter* filter, ULONG version, CDsPin* current);
  ~CDsEnumPins() override;
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IPin** pins, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumPins** out) override;
  static const ComInterfaceEntry Interfaces[];

  CDsFilter* m_filter;  // a reference through its IBaseFilter
  ULONG m_version;
  CDsPin* m_current;
};

// ---- pins --------------------------------------------------------------------------

class CDsPin : public CCom, public IPin, public IQualityControl {
 public:
  // The pin's AddRef and Release count on the filter.
  CDsPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces = Interfaces);
  ~CDsPin() override;

  // IUnknown of the pin's interfaces: the pin's own interfaces, the
  // filter's count.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

  // The pin's slots, base behaviour where the base has one.
  virtual HRESULT Inactive() { return S_OK; }
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Run() { return S_OK; }
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* pmt);
  virtual HRESULT TryMediaTypes(const AM_MEDIA_TYPE* filter, IEnumMediaTypes* types);
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) = 0;
  virtual HRESULT AgreeMediaType(const AM_MEDIA_TYPE* pmt);
  virtual HRESULT AttemptConnection(const AM_MEDIA_TYPE* pmt);
  virtual HRESULT CheckConnect();
  virtual HRESULT BreakConnect();
  virtual HRESULT CompleteConnect() { return S_OK; }
  virtual HRESULT InitAllocator();
  virtual ULONG GetMediaTypeVersion() = 0;
  virtual AM_MEDIA_TYPE* GetMediaType(ULONG index) = 0;
  virtual HRESULT DecideBufferSize(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

  // IPin
  HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* pmt) override;
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** out) override;

  // IQualityControl
  HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* self, Quality quality) override;
  HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

  IPin* Pin() { return static_cast<IPin*>(this); }
  bool IsConnected() const { return m_connected != nullptr; }
  // Takes `peer` as this pin's connection when it has none and its filter is
  // stopped (S_OK); otherwise VFW_E_ALREADY_CONNECTED or VFW_E_NOT_STOPPED.
  // Called under the connection lock.
  HRESULT BeginConnect(IPin* peer);
  // The connection lock: the filter's critical section, then the pin's.
  void LockConnection() {
    m_filter->Lock();
    Lock();
  }
  void UnlockConnection() {
    Unlock();
    m_filter->Unlock();
  }
  static const ComInterfaceEntry Interfaces[];

  CDsFilter* m_filter;
  CDsPin* m_next = nullptr;
  IPin* m_connected = nullptr;
  IMemAllocator* m_allocator = nullptr;
  AM_MEDIA_TYPE* m_mediaType = nullptr;  // COM task memory
  IQualityControl* m_qualitySink = nullptr;  // no reference
  LPWSTR m_name = nullptr;
};

class CDsInputPin : public CDsPin, public IMemInputPin {
 public:
  CDsInputPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces = Interfaces);

  // The IUnknown of IMemInputPin: as the pin's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return CDsPin::QueryInterface(iid, out); }
  ULONG STDMETHODCALLTYPE AddRef() override { return m_outer->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return m_outer->Release(); }

  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  // IMemInputPin
  HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** allocator) override;
  HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override;

  // The base operations behind a derived pin's flush and segment handlers.
  HRESULT BaseBeginFlush();
  HRESULT BaseEndFlush();
  HRESULT BaseNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  bool IsFlushing() const { return m_flags & 1; }
  static const ComInterfaceEntry Interfaces[];

  DWORD m_flags = 0;  // bit 0 flushing, bit 1 read-only allocator
  REFERENCE_TIME m_segmentStart = 0, m_segmentStop = 0;
  double m_rate = 0;
};

class CDsOutputPin : public CDsPin {
 public:
  CDsOutputPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr, const ComInterfaceEntry* interfaces = Interfaces);

  HRESULT CheckConnect() override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect() override;

  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_UNEXPECTED; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_UNEXPECTED; }

  IMemInputPin* m_input = nullptr;  // the connected pin's, one reference
};

class CDsEnumMediaTypes : public CCom, public IEnumMediaTypes {
 public:
  static HRESULT Create(CDsPin* pin, IEnumMediaTypes** out);
  CDsEnumMediaTypes(CDsPin* pin, ULONG version, ULONG position);
  ~CDsEnumMediaTypes() override;
  CCOM_DELEGATING_UNKNOWN
  HRESULT STDMETHODCALLTYPE Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
  HRESULT STDMETHODCALLTYPE Reset() override;
  HRESULT STDMETHODCALLTYPE Clone(IEnumMediaTypes** out) override;
  static const ComInterfaceEntry Interfaces[];

  CDsPin* m_pin;  // a reference held
  ULONG m_version;
  ULONG m_position;
};

// ---- the allocator base ----------------------------------------------------------

extern const IID IID_IQVAllocatorControl;

struct IQVAllocatorControl : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Reset(LONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Alloc() = 0;
  virtual HRESULT STDMETHODCALLTYPE Free() = 0;
};

class CDsAllocator : public CCom, public IMemAllocatorCallbackTemp, public IQVAllocatorControl {
 public:
  CDsAllocator(LPCWSTR name, IUnknown* outer, const ComInterfaceEntry* interfaces = Interfaces);
  ~CDsAllocator() override;
  CCOM_DELEGATING_UNKNOWN

  // IMemAllocatorCallbackTemp
  HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT STDMETHODCALLTYPE Commit() override;
  HRESULT STDMETHODCALLTYPE Decommit() override;
  HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                      DWORD flags) override;
  HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE SetNotify(IMemAllocatorNotifyCallbackTemp* notify) override;
  HRESULT STDMETHODCALLTYPE GetFreeCount(LONG* free) override;

  // IQVAllocatorControl
  HRESULT STDMETHODCALLTYPE Reset(LONG count) override;
  HRESULT STDMETHODCALLTYPE Alloc() override;
  HRESULT STDMETHODCALLTYPE Free() override;

  static const ComInterfaceEntry Interfaces[];
  enum : DWORD { MustAllocate = 1, PropertiesSet = 2, Committed = 4 };

  IMemAllocatorNotifyCallbackTemp* m_notify = nullptr;
  void* m_block = nullptr;
  DWORD m_flags = 0;
  LONG m_free = 0;
  DWORD m_cursor = 0;  // the derived allocator's
  ALLOCATOR_PROPERTIES m_props = {};
};
