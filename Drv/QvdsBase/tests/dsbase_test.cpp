// The media-filter bases through a small test filter with scripted pins:
// state changes, the pin enumerator, connection and type negotiation, the
// allocator decision, media-type ownership and the allocator base.
#include "Drv/QvdsBase/dsbase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const GUID TypeAudio = {0x11110001, 0, 0, {1, 1, 1, 1, 1, 1, 1, 1}};
const GUID SubA = {0x22220001, 0, 0, {2, 2, 2, 2, 2, 2, 2, 2}};
const GUID SubB = {0x22220002, 0, 0, {2, 2, 2, 2, 2, 2, 2, 2}};
const GUID SubC = {0x22220003, 0, 0, {2, 2, 2, 2, 2, 2, 2, 2}};
const GUID FormatX = {0x33330001, 0, 0, {3, 3, 3, 3, 3, 3, 3, 3}};

std::vector<std::string> g_log;

const char* NameOf(const GUID& sub) {
  if (IsEqualGUID(sub, SubA)) return "A";
  if (IsEqualGUID(sub, SubB)) return "B";
  if (IsEqualGUID(sub, SubC)) return "C";
  return "?";
}

AM_MEDIA_TYPE* NewType(const GUID& sub) {
  auto* t = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  CMediaType::Init(t);
  t->majortype = TypeAudio;
  t->subtype = sub;
  t->formattype = FormatX;
  return t;
}

// The scripted parts of a pin: the types offered and accepted, the results
// of the state hooks; every call logged with the pin's name.
struct Script {
  std::vector<GUID> offered, accepted;
  HRESULT refusal = S_FALSE;  // CheckMediaType's answer for a type not accepted
  HRESULT active = S_OK, inactive = S_OK, run = S_OK;
  ULONG version = 1;
};

template <class Base>
class TestPin : public Base {
 public:
  TestPin(LPCWSTR name, CDsFilter* filter, HRESULT* hr) : Base(name, filter, hr), m_tag(Narrow(name)) {}
  static std::string Narrow(LPCWSTR w) { return std::string(w, w + wcslen(w)); }
  HRESULT Active() override { return Log("Active", s.active); }
  HRESULT Inactive() override { return Log("Inactive", s.inactive); }
  HRESULT Run() override { return Log("Run", s.run); }
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
    g_log.push_back(m_tag + ".Check " + NameOf(pmt->subtype));
    for (const GUID& g : s.accepted)
      if (IsEqualGUID(g, pmt->subtype)) return S_OK;
    return s.refusal;
  }
  ULONG GetMediaTypeVersion() override { return s.version; }
  AM_MEDIA_TYPE* GetMediaType(ULONG index) override {
    return index < s.offered.size() ? NewType(s.offered[index]) : nullptr;
  }
  HRESULT Log(const char* what, HRESULT hr) {
    g_log.push_back(m_tag + "." + what);
    return hr;
  }
  Script s;
  std::string m_tag;
};

class Allocator : public CDsAllocator {
 public:
  Allocator() : CDsAllocator(L"test allocator", nullptr) {}
  ~Allocator() override {
    Free();
  }
};

class InPin : public TestPin<CDsInputPin> {
 public:
  using TestPin::TestPin;
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return BaseBeginFlush(); }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return BaseEndFlush(); }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double r) override {
    return BaseNewSegment(a, b, r);
  }
  HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
    ++received;
    return sample == reinterpret_cast<IMediaSample*>(2) ? S_FALSE : S_OK;
  }
  // A test allocator, the platform's standard one, or none.
  HRESULT InitAllocator() override {
    if (noAllocator) return E_FAIL;
    if (useStandard) return TestPin::InitAllocator();
    if (!m_allocator) m_allocator = static_cast<IMemAllocatorCallbackTemp*>(new Allocator);
    return S_OK;
  }
  int received = 0;
  bool noAllocator = false, useStandard = false;
};

class OutPin : public TestPin<CDsOutputPin> {
 public:
  using TestPin::TestPin;
  HRESULT InitAllocator() override {
    g_log.push_back(m_tag + ".InitAllocator");
    if (!m_allocator) m_allocator = static_cast<IMemAllocatorCallbackTemp*>(new Allocator);
    return S_OK;
  }
  HRESULT DecideBufferSize(ALLOCATOR_PROPERTIES* p) override {
    requirements = *p;
    g_log.push_back(m_tag + ".DecideBufferSize");
    return decide;
  }
  ALLOCATOR_PROPERTIES requirements = {};
  HRESULT decide = S_OK;
};

class TestFilter : public CDsFilter {
 public:
  explicit TestFilter(LPCWSTR name) : CDsFilter(name, nullptr, &hr) {}
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    *clsid = GUID_NULL;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override {
    g_log.push_back("Filter.Pause");
    return pauseFails ? E_FAIL : CDsFilter::Pause();
  }
  template <class P>
  P* Add(LPCWSTR name) {
    HRESULT h = S_OK;
    return static_cast<P*>(AddPin(new P(name, this, &h), &h));
  }
  HRESULT hr = S_OK;
  bool pauseFails = false;
};

// A filter with one output and one input pin, and a second filter with an
// input pin to connect to.
class Media : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    g_log.clear();
    source = new TestFilter(L"source");
    sink = new TestFilter(L"sink");
    out = source->Add<OutPin>(L"Out");
    in = sink->Add<InPin>(L"In");
  }
  void TearDown() override {
    source->Filter()->Stop();
    sink->Filter()->Stop();
    out->Disconnect();
    in->Disconnect();
    source->Filter()->Release();
    sink->Filter()->Release();
    EXPECT_EQ(ComObjectCount(), 0);
    CoUninitialize();
  }
  TestFilter* source;
  TestFilter* sink;
  OutPin* out;
  InPin* in;
};

}  // namespace

TEST_F(Media, StateChangesReachConnectedPinsOnly) {
  in->s.accepted = {SubA};
  out->s.accepted = {SubA};
  out->s.offered = {SubA};
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  InPin* spare = source->Add<InPin>(L"Spare");  // never connected: never told
  ASSERT_NE(spare, nullptr);
  IBaseFilter* f = source->Filter();
  FILTER_STATE state;
  const struct {
    const char* step;
    std::vector<std::string> log;
    HRESULT result;
    FILTER_STATE state;
  } steps[] = {
      {"pause", {"Filter.Pause", "Out.Active"}, S_OK, State_Paused},
      {"pause", {"Filter.Pause"}, S_OK, State_Paused},
      {"run", {"Out.Run"}, S_OK, State_Running},
      {"run", {}, S_OK, State_Running},
      {"stop", {"Out.Inactive"}, S_OK, State_Stopped},
      {"stop", {}, S_OK, State_Stopped},
      {"run", {"Filter.Pause", "Out.Active", "Out.Run"}, S_OK, State_Running},
      {"pause", {"Filter.Pause", "Out.Active"}, S_OK, State_Paused},
  };
  for (const auto& s : steps) {
    g_log.clear();
    std::string step = s.step;
    HRESULT hr = step == "pause" ? f->Pause() : step == "run" ? f->Run(123) : f->Stop();
    EXPECT_EQ(hr, s.result) << step;
    EXPECT_EQ(g_log, s.log) << step;
    ASSERT_EQ(f->GetState(0, &state), S_OK);
    EXPECT_EQ(state, s.state) << step;
  }
  EXPECT_EQ(source->m_start, 123);

  // Failures: Stop tells every pin and stops anyway; Pause and Run keep
  // the earlier state.
  f->Stop();
  out->s.active = E_UNEXPECTED;
  EXPECT_EQ(f->Pause(), E_UNEXPECTED);
  f->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  source->pauseFails = true;
  EXPECT_EQ(f->Run(999), E_FAIL);
  EXPECT_EQ(source->m_start, 123) << "a failed pause leaves the start time";
  source->pauseFails = false;
  out->s.active = S_OK;
  out->s.run = E_ACCESSDENIED;
  EXPECT_EQ(f->Run(5), E_ACCESSDENIED);
  f->GetState(0, &state);
  EXPECT_EQ(state, State_Paused);
  out->s.inactive = E_FAIL;
  EXPECT_EQ(f->Stop(), E_FAIL);
  f->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  out->s.inactive = S_OK;
  EXPECT_EQ(f->GetState(0, nullptr), E_POINTER);
}

TEST_F(Media, PinEnumeratorFindPinAndGraph) {
  InPin* second = source->Add<InPin>(L"Out");  // the same name as the first pin
  IEnumPins* e = nullptr;
  ASSERT_EQ(source->Filter()->EnumPins(&e), S_OK);
  IPin* pins[3] = {};
  ULONG n = 0;
  EXPECT_EQ(e->Next(2, pins, nullptr), E_INVALIDARG);
  ASSERT_EQ(e->Next(1, pins, nullptr), S_OK);
  EXPECT_EQ(pins[0], static_cast<IPin*>(second)) << "newest first";
  pins[0]->Release();
  IEnumPins* clone = nullptr;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(e->Skip(1), S_FALSE) << "landing on the end";
  ASSERT_EQ(clone->Next(3, pins, &n), S_FALSE);
  ASSERT_EQ(n, 1u);
  EXPECT_EQ(pins[0], static_cast<IPin*>(out)) << "the clone kept the position";
  pins[0]->Release();
  source->Add<InPin>(L"Late");
  EXPECT_EQ(e->Next(1, pins, &n), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(e->Skip(1), VFW_E_ENUM_OUT_OF_SYNC);
  IEnumPins* none = reinterpret_cast<IEnumPins*>(1);
  EXPECT_EQ(e->Clone(&none), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(none, nullptr);
  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  ASSERT_EQ(e->Next(3, pins, &n), S_FALSE);
  EXPECT_EQ(n, 1u);
  pins[0]->Release();
  clone->Release();
  e->Release();

  IPin* found = nullptr;
  ASSERT_EQ(source->Filter()->FindPin(L"Out", &found), S_OK);
  EXPECT_EQ(found, static_cast<IPin*>(second)) << "the later-added of two equal names";
  found->Release();
  EXPECT_EQ(source->Filter()->FindPin(L"out", &found), HRESULT(0x80040216));
  EXPECT_EQ(source->Filter()->FindPin(nullptr, &found), E_POINTER);

  // A graph joins only while stopped.
  FILTER_INFO info;
  ASSERT_EQ(source->Filter()->QueryFilterInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"source");
  EXPECT_EQ(info.pGraph, nullptr);
  ASSERT_EQ(source->Filter()->JoinFilterGraph(nullptr, L"ignored"), S_OK);
  ASSERT_EQ(source->Filter()->QueryFilterInfo(&info), S_OK);
  EXPECT_STREQ(info.achName, L"") << "no graph, no name";
  source->Filter()->Pause();
  source->Filter()->Run(0);
  EXPECT_EQ(source->Filter()->JoinFilterGraph(nullptr, L"x"), HRESULT(0x80040205));
}

TEST_F(Media, ConnectMatrix) {
  in->s.accepted = {SubA};
  out->s.accepted = {SubA, SubB};
  out->s.offered = {SubA};
  InPin* in2 = sink->Add<InPin>(L"In2");
  EXPECT_EQ(in2->Connect(in, nullptr), HRESULT(0x80040208)) << "two inputs";
  EXPECT_FALSE(in2->IsConnected());
  EXPECT_EQ(in->Disconnect(), S_FALSE);
  AM_MEDIA_TYPE mt;
  std::memset(&mt, 0x55, sizeof mt);
  EXPECT_EQ(in->ConnectionMediaType(&mt), HRESULT(0x80040209));
  EXPECT_EQ(mt.bFixedSizeSamples, TRUE);
  EXPECT_EQ(mt.lSampleSize, 1u);
  EXPECT_EQ(mt.pbFormat, nullptr);
  IPin* peer = reinterpret_cast<IPin*>(1);
  EXPECT_EQ(in->ConnectedTo(&peer), HRESULT(0x80040209));
  EXPECT_EQ(peer, nullptr);

  source->Filter()->Pause();
  EXPECT_EQ(out->Connect(in, nullptr), HRESULT(0x80040224)) << "filter not stopped";
  source->Filter()->Stop();
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  EXPECT_EQ(out->Connect(in2, nullptr), HRESULT(0x80040204));
  ASSERT_EQ(out->ConnectedTo(&peer), S_OK);
  EXPECT_EQ(peer, static_cast<IPin*>(in));
  peer->Release();
  ASSERT_EQ(in->ConnectionMediaType(&mt), S_OK);
  EXPECT_TRUE(IsEqualGUID(mt.subtype, SubA));
  CMediaType::Free(&mt);
  sink->Filter()->Pause();
  EXPECT_EQ(in->Disconnect(), HRESULT(0x80040224));
  sink->Filter()->Stop();

  // ReceiveConnection answers a refusal with "type not accepted".
  AM_MEDIA_TYPE* b = NewType(SubB);
  EXPECT_EQ(in2->ReceiveConnection(out, b), HRESULT(0x8004022A));
  in2->s.refusal = E_INVALIDARG;
  EXPECT_EQ(in2->ReceiveConnection(out, b), HRESULT(0x8004022A));
  in2->s.refusal = E_ACCESSDENIED;
  EXPECT_EQ(in2->ReceiveConnection(out, b), E_ACCESSDENIED) << "other failures pass";
  EXPECT_FALSE(in2->IsConnected());
  // QueryAccept never fails.
  EXPECT_EQ(in2->QueryAccept(b), S_FALSE);
  CMediaType::Delete(b);

  PIN_INFO pi;
  ASSERT_EQ(in2->QueryPinInfo(&pi), S_OK);
  EXPECT_STREQ(pi.achName, L"In2");
  EXPECT_EQ(pi.dir, PINDIR_INPUT);
  EXPECT_EQ(pi.pFilter, sink->Filter());
  pi.pFilter->Release();
  LPWSTR id = nullptr;
  ASSERT_EQ(out->QueryId(&id), S_OK);
  EXPECT_STREQ(id, L"Out");
  CoTaskMemFree(id);
  EXPECT_EQ(out->EndOfStream(), E_UNEXPECTED);
  IPin* pins[1];
  ULONG count = 1;
  EXPECT_EQ(out->QueryInternalConnections(pins, &count), E_NOTIMPL);
  EXPECT_EQ(out->QueryInternalConnections(nullptr, &count), E_POINTER);
  EXPECT_EQ(out->Disconnect(), S_OK);
  EXPECT_EQ(in->Disconnect(), S_OK);
}

TEST_F(Media, NegotiationOrder) {
  out->s.offered = {SubA, SubB};
  out->s.accepted = {SubA, SubB, SubC};
  in->s.offered = {SubC};
  in->s.accepted = {SubC};
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  EXPECT_EQ(g_log, (std::vector<std::string>{"Out.Check A", "In.Check A", "Out.Check B", "In.Check B",
                                             "Out.Check C", "In.Check C", "Out.DecideBufferSize"}))
      << "the output's own types first, then the input's";
  out->Disconnect();
  in->Disconnect();

  // A fully specified type is the only one tried.
  g_log.clear();
  AM_MEDIA_TYPE* a = NewType(SubA);
  EXPECT_EQ(out->Connect(in, a), HRESULT(0x8004022A));
  EXPECT_EQ(g_log, (std::vector<std::string>{"Out.Check A", "In.Check A"}));
  EXPECT_FALSE(out->IsConnected());
  // A partial type filters the candidates.
  g_log.clear();
  AM_MEDIA_TYPE* partial = NewType(SubC);
  partial->formattype = GUID_NULL;
  ASSERT_EQ(out->Connect(in, partial), S_OK);
  EXPECT_EQ(g_log, (std::vector<std::string>{"Out.Check C", "In.Check C", "Out.DecideBufferSize"}));
  // No acceptable type at all.
  out->Disconnect();
  in->Disconnect();
  in->s.accepted = {};
  EXPECT_EQ(out->Connect(in, nullptr), HRESULT(0x80040207));
  CMediaType::Delete(a);
  CMediaType::Delete(partial);
}

TEST_F(Media, AllocatorDecision) {
  out->s.offered = {SubA};
  out->s.accepted = in->s.accepted = {SubA};
  // The input pin's allocator is taken when it has one.
  Allocator* mine = new Allocator;
  in->NotifyAllocator(static_cast<IMemAllocatorCallbackTemp*>(mine), TRUE);
  static_cast<IMemAllocatorCallbackTemp*>(mine)->Release();
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  EXPECT_EQ(out->m_allocator, static_cast<IMemAllocator*>(static_cast<IMemAllocatorCallbackTemp*>(mine)));
  EXPECT_EQ(out->requirements.cbAlign, 1) << "alignment 0 becomes 1";
  EXPECT_EQ(in->m_flags & 2, 0u) << "notified as writable";
  out->Disconnect();
  in->Disconnect();
  EXPECT_EQ(in->m_allocator, nullptr);

  // Without one the output pin makes its own.
  in->noAllocator = true;
  g_log.clear();
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  EXPECT_EQ(g_log.back(), "Out.DecideBufferSize");
  EXPECT_EQ(g_log[g_log.size() - 2], "Out.InitAllocator");
  EXPECT_EQ(in->m_allocator, out->m_allocator);
  out->Disconnect();
  in->Disconnect();

  // The base makes the platform's standard memory allocator.
  in->noAllocator = false;
  in->useStandard = true;
  ASSERT_EQ(out->Connect(in, nullptr), S_OK);
  ASSERT_NE(in->m_allocator, nullptr);
  EXPECT_EQ(in->m_allocator, out->m_allocator);
  out->Disconnect();
  in->Disconnect();

  // A buffer-size failure fails the connection and drops the allocator.
  in->noAllocator = true;
  out->decide = E_OUTOFMEMORY;
  AM_MEDIA_TYPE* a = NewType(SubA);
  EXPECT_EQ(out->Connect(in, a), E_OUTOFMEMORY);
  CMediaType::Delete(a);
  EXPECT_EQ(out->m_allocator, nullptr);
  EXPECT_FALSE(out->IsConnected());
  EXPECT_FALSE(in->IsConnected()) << "the input pin was told to disconnect";
}

TEST_F(Media, InputPinReceiveFlushAndTypeEnumerator) {
  IMediaSample* samples[3] = {reinterpret_cast<IMediaSample*>(1), reinterpret_cast<IMediaSample*>(2),
                              reinterpret_cast<IMediaSample*>(1)};
  long done = -1;
  EXPECT_EQ(in->ReceiveMultiple(samples, 3, &done), S_FALSE);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(in->received, 2);
  EXPECT_EQ(in->ReceiveMultiple(samples, 0, nullptr), S_OK);
  EXPECT_EQ(in->GetAllocatorRequirements(nullptr), E_NOTIMPL);
  EXPECT_EQ(in->BeginFlush(), S_OK);
  EXPECT_TRUE(in->IsFlushing());
  EXPECT_EQ(in->EndFlush(), S_OK);
  EXPECT_EQ(in->NewSegment(10, 20, 1.5), S_OK);
  EXPECT_EQ(in->m_segmentStop, 20);

  in->s.offered = {SubA, SubB, SubC};
  IEnumMediaTypes* e = nullptr;
  ASSERT_EQ(in->EnumMediaTypes(&e), S_OK);
  AM_MEDIA_TYPE* t[4] = {};
  ULONG n = 0;
  ASSERT_EQ(e->Next(1, t, nullptr), S_OK);
  EXPECT_TRUE(IsEqualGUID(t[0]->subtype, SubA));
  CMediaType::Delete(t[0]);
  IEnumMediaTypes* clone = nullptr;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(e->Skip(1), S_OK);
  EXPECT_EQ(e->Skip(1), S_FALSE) << "the last type's successor";
  ASSERT_EQ(clone->Next(4, t, &n), S_FALSE);
  ASSERT_EQ(n, 2u);
  EXPECT_TRUE(IsEqualGUID(t[0]->subtype, SubB));
  EXPECT_EQ(t[2], nullptr);
  CMediaType::Delete(t[0]);
  CMediaType::Delete(t[1]);
  in->s.version = 2;
  EXPECT_EQ(clone->Next(1, t, &n), VFW_E_ENUM_OUT_OF_SYNC);
  EXPECT_EQ(clone->Reset(), S_OK);
  EXPECT_EQ(clone->Skip(2), S_OK);
  clone->Release();
  e->Release();
}

namespace {
// An interface reference whose count the test reads.
struct Counted : IUnknown {
  LONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};
}  // namespace

TEST(MediaType, OwnershipAndMatching) {
  Counted unk;
  CMediaType a;
  EXPECT_EQ(a.bFixedSizeSamples, TRUE);
  EXPECT_EQ(a.lSampleSize, 1u);
  a.SetType(&TypeAudio);
  a.SetSubtype(&SubA);
  a.SetFormatType(&FormatX);
  BYTE* f = a.AllocFormat(4);
  ASSERT_NE(f, nullptr);
  std::memcpy(f, "\x01\x02\x03\x04", 4);
  a.pUnk = &unk;
  unk.AddRef();
  {
    HRESULT hr = E_FAIL;
    CMediaType b(a, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_NE(b.pbFormat, a.pbFormat) << "the format block is the copy's own";
    EXPECT_EQ(std::memcmp(b.pbFormat, f, 4), 0);
    EXPECT_EQ(unk.refs, 3);
    EXPECT_TRUE(CMediaType::MatchesPartial(&b, &a));
    b.pbFormat[3] = 9;
    EXPECT_FALSE(CMediaType::MatchesPartial(&b, &a));
  }
  EXPECT_EQ(unk.refs, 2) << "the copy released its reference";
  EXPECT_EQ(CMediaType::Copy(&a, &a), E_POINTER);
  EXPECT_EQ(CMediaType::Copy(nullptr, &a), E_POINTER);

  // Growing keeps the bytes and zeroes the rest; shrinking keeps a block.
  f = a.AllocFormat(8);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::memcmp(f, "\x01\x02\x03\x04\0\0\0\0", 8), 0);
  f = a.AllocFormat(2);
  ASSERT_NE(f, nullptr) << "a smaller size keeps a block of that size";
  EXPECT_EQ(a.cbFormat, 2u);
  EXPECT_EQ(f[1], 2);
  CMediaType c(static_cast<const AM_MEDIA_TYPE&>(a));
  EXPECT_EQ(c.pbFormat[1], 2);
  EXPECT_EQ(a.AllocFormat(0), nullptr);
  EXPECT_EQ(a.cbFormat, 0u);

  // Partial specification looks at major and format type only.
  CMediaType p;
  p.SetType(&TypeAudio);
  p.SetFormatType(&FormatX);
  EXPECT_FALSE(CMediaType::IsPartiallySpecified(&p)) << "a null subtype does not count";
  p.SetFormatType(&GUID_NULL);
  EXPECT_TRUE(CMediaType::IsPartiallySpecified(&p));
  const struct {
    const GUID *major, *sub, *format;
    BOOL match;
  } partials[] = {{&GUID_NULL, &GUID_NULL, &GUID_NULL, TRUE},  {&TypeAudio, &SubA, &GUID_NULL, TRUE},
                  {&TypeAudio, &SubB, &GUID_NULL, FALSE},     {&SubB, &GUID_NULL, &GUID_NULL, FALSE},
                  {&GUID_NULL, &GUID_NULL, &FormatX, FALSE},  // format sizes differ
                  {&GUID_NULL, &GUID_NULL, &SubC, FALSE}};
  for (const auto& m : partials) {
    CMediaType q;
    q.SetType(m.major);
    q.SetSubtype(m.sub);
    q.SetFormatType(m.format);
    EXPECT_EQ(CMediaType::MatchesPartial(&c, &q), m.match) << NameOf(*m.sub);
  }
  a.pUnk->Release();
  a.pUnk = nullptr;
  c.pUnk->Release();
  c.pUnk = nullptr;
  EXPECT_EQ(unk.refs, 1);
}

TEST(MediaType, ExactStreamTransfers) {
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  const char data[4] = {'a', 'b', 'c', 'd'};
  char back[8] = {};
  EXPECT_EQ(StreamWriteExact(stream, data, 4), S_OK);
  LARGE_INTEGER zero = {};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(StreamReadExact(stream, back, 8), E_FAIL) << "four bytes where eight were asked";
  EXPECT_EQ(std::memcmp(back, data, 4), 0);
  EXPECT_EQ(StreamReadExact(nullptr, back, 1), E_POINTER);
  EXPECT_EQ(StreamWriteExact(stream, nullptr, 1), E_POINTER);
  stream->Release();
}

TEST(Allocator, PropertiesCommitAndFree) {
  Allocator* a = new Allocator;
  IMemAllocatorCallbackTemp* m = a;
  IQVAllocatorControl* control = nullptr;
  ASSERT_EQ(m->QueryInterface(IID_IQVAllocatorControl, reinterpret_cast<void**>(&control)), S_OK);
  ALLOCATOR_PROPERTIES request = {3, 100, 16, 8}, actual = {};
  ASSERT_EQ(m->SetProperties(&request, &actual), S_OK);
  EXPECT_EQ(actual.cbBuffer, 112);
  EXPECT_EQ(actual.cBuffers, 3);
  LONG free = 0;
  EXPECT_EQ(m->GetFreeCount(&free), S_OK);
  EXPECT_EQ(free, 3);
  EXPECT_EQ(a->m_flags, DWORD(CDsAllocator::MustAllocate | CDsAllocator::PropertiesSet));

  ASSERT_EQ(m->Commit(), S_OK);
  void* block = a->m_block;
  ASSERT_NE(block, nullptr);
  static_cast<BYTE*>(block)[3 * 120 - 1] = 1;  // count x (prefix + size) bytes
  EXPECT_EQ(m->Commit(), S_OK);
  EXPECT_EQ(a->m_block, block) << "a second commit allocates nothing";
  EXPECT_EQ(m->Decommit(), S_OK);
  EXPECT_EQ(a->m_block, block);
  EXPECT_TRUE(a->m_flags & CDsAllocator::Committed);
  EXPECT_EQ(m->SetProperties(&request, &actual), HRESULT(0x8004020F));
  EXPECT_EQ(m->GetBuffer(nullptr, nullptr, nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(m->ReleaseBuffer(nullptr), E_NOTIMPL);

  // Free, then Commit again without a Reset.
  EXPECT_EQ(control->Free(), S_OK);
  EXPECT_EQ(a->m_block, nullptr);
  ASSERT_EQ(m->Commit(), S_OK);
  EXPECT_NE(a->m_block, nullptr);
  EXPECT_EQ(control->Free(), S_OK);

  // Bad requests.
  ALLOCATOR_PROPERTIES zeroAlign = {1, 100, 0, 0}, none = {0, 100, 1, 0};
  EXPECT_EQ(m->SetProperties(&zeroAlign, &actual), VFW_E_BADALIGN);
  EXPECT_EQ(m->SetProperties(&none, &actual), E_INVALIDARG);
  EXPECT_EQ(m->SetProperties(nullptr, &actual), E_POINTER);

  // Reset: the count known, the sizes unset.
  EXPECT_EQ(control->Reset(4), S_OK);
  ALLOCATOR_PROPERTIES p = {};
  m->GetProperties(&p);
  EXPECT_EQ(p.cBuffers, 4);
  EXPECT_EQ(p.cbBuffer, 0);
  EXPECT_EQ(control->Alloc(), HRESULT(0x80040212));
  control->Reset(0);
  EXPECT_EQ(control->Alloc(), S_OK) << "nothing asked for";
  EXPECT_EQ(a->m_block, nullptr);
  control->Release();
  m->Release();
}
