#include "mixer/mix/tests/mixfake.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "mixer/mix/mixaut.h"
#include "mixer/mix/mixdsp.h"

namespace {

struct FakeElem {
  uint32_t type;
  int32_t knobs[2];
  uint32_t stateLen;
};
std::vector<FakeElem*> g_live;
std::vector<std::string> g_inits, g_calls, g_loads;
ElemDspCallback g_dsp = nullptr;

struct TypeRow {
  uint32_t code, kind, knobs, outputs;
  const char* name;
  const char* knob0;
  const char* knob1;
};
const TypeRow kTypesA[] = {
    {kFakeInput, 0, 2, 1, "Input", "Gain", "Mute"},   {kFakeEffect, 2, 1, 1, "Effect", "Drive", ""},
    {kFakeSend, 3, 0, 1, "Send", "", ""},             {kFakeOutput, 4, 2, 1, "Output", "Volume", "Solo"},
    {kFakeNatRec, 6, 0, 2, "Recorder", "", ""},
};
const TypeRow kTypesB[] = {{kFakeInput, 2, 0, 1, "B Input", "", ""}};

const TypeRow* Row(const TypeRow* rows, int n, uint32_t code) {
  for (int i = 0; i < n; ++i)
    if (rows[i].code == code) return &rows[i];
  return nullptr;
}
const TypeRow* AnyRow(uint32_t code) {
  const TypeRow* r = Row(kTypesA, 5, code);
  return r ? r : Row(kTypesB, 1, code);
}

uint32_t InitWith(ELEMMODINFO* info, const char* name, uint32_t version, uint32_t types) {
  g_inits.push_back(name);
  std::strcpy(info->Name, name);
  info->Version = version;
  info->TypeCount = types;
  return 1;
}

uint32_t ELEMAPI InitA(ElemDspCallback dsp, ElemNotifyCallback, ELEMMODINFO* i) {
  g_dsp = dsp;
  return InitWith(i, "A", 103, 5);
}
uint32_t ELEMAPI InitB(ElemDspCallback, ElemNotifyCallback, ELEMMODINFO* i) { return InitWith(i, "B", 103, 1); }
uint32_t ELEMAPI InitOld(ElemDspCallback, ElemNotifyCallback, ELEMMODINFO* i) { return InitWith(i, "Old", 102, 2); }
uint32_t ELEMAPI InitBad(ElemDspCallback, ElemNotifyCallback, ELEMMODINFO* i) { return InitWith(i, "Bad", 101, 0); }

uint32_t ELEMAPI TypeA(uint32_t i) { return i < 5 ? kTypesA[i].code : 0; }
uint32_t ELEMAPI TypeB(uint32_t i) { return i < 1 ? kTypesB[0].code : 0; }
uint32_t ELEMAPI TypeOld(uint32_t i) { return i == 0 ? uint32_t{kFakeOldA} : (i == 1 ? uint32_t{kFakeOldB} : 0u); }

void FillProps(const TypeRow& r, ELEMTYPEPROPINFO* p) {
  std::memset(p, 0, sizeof *p);
  p->Size = kElemTypePropSize;
  p->Kind = r.kind;
  std::strcpy(p->Name, r.name);
  p->LittleHeight = 20;
  p->Flags = r.kind == 0 ? 1u : (r.kind == 4 ? 0x10000u : 0u);  // input meters, output refreshes
  p->StateSize = 16;
  p->KnobCount = r.knobs;
  p->Outputs = r.outputs;
  // An effect costs 100 and uses 300 data words, 200 program words and a
  // 256-word delay line aligned to 256; the others cost 10.
  p->Load = r.kind == 2 ? 100 : 10;
  if (r.kind == 2) {
    const uint32_t types[3] = {kAreaData0, kAreaProgram, kAreaSample};
    const uint32_t sizes[3] = {300, 200, 256};
    for (int i = 0; i < 3; ++i) {
      p->AreaType[i] = types[i];
      p->AreaSize[i] = sizes[i];
    }
    p->AreaFigure[2] = 8;
  }
}
uint32_t ELEMAPI PropsA(uint32_t code, ELEMTYPEPROPINFO* p) {
  const TypeRow* r = Row(kTypesA, 5, code);
  if (!r) return 0;
  FillProps(*r, p);
  return 1;
}
uint32_t ELEMAPI PropsB(uint32_t code, ELEMTYPEPROPINFO* p) {
  const TypeRow* r = Row(kTypesB, 1, code);
  if (!r) return 0;
  FillProps(*r, p);
  return 1;
}
// The older 300-byte record.
uint32_t ELEMAPI PropsOld(uint32_t code, ELEMTYPEPROPINFO* p) {
  if (code != kFakeOldA && code != kFakeOldB) return 0;
  uint8_t* o = reinterpret_cast<uint8_t*>(p);
  std::memset(o + 4, 0xEE, 296);  // every byte the host must not pass on is marked
  auto put = [o](int off, uint32_t v) { std::memcpy(o + off, &v, 4); };
  put(4, 2);
  std::memset(o + 8, 0, 128);
  std::strcpy(reinterpret_cast<char*>(o + 8), "Old Effect");
  std::strcpy(reinterpret_cast<char*>(o + 72), "Old Maker");
  put(200, 30);
  put(204, 0x80);
  for (int i = 0; i < 10; ++i) put(208 + 4 * i, 40 + i);  // 208..244
  for (int i = 0; i < 6; ++i) put(248 + 4 * i, 50 + i);   // area sizes
  for (int i = 0; i < 6; ++i) put(272 + 4 * i, 60 + i);   // six ints: 284 holds 63
  put(284, 3);
  put(296, 99);
  return 1;
}

uint32_t ELEMAPI KnobProps(uint32_t code, uint32_t knob, ELEMKNOBPROPINFO* out) {
  const TypeRow* r = AnyRow(code);
  if (!r || knob >= r->knobs) return 0;
  std::memset(out, 0, sizeof *out);
  out->Size = kElemKnobPropSize;
  std::strcpy(out->Name, knob == 0 ? r->knob0 : r->knob1);
  const bool isSwitch = std::strcmp(out->Name, "Mute") == 0 || std::strcmp(out->Name, "Solo") == 0;
  out->Kind = isSwitch ? kKnobSwitch : kKnobContinuous;
  out->RawMin = code == kFakeInput && knob == 0 ? -0x1000000 : 0;
  out->RawMax = isSwitch ? 1 : code == kFakeInput ? 0x1000000 : 65536;
  return 1;
}

ElemHandle ELEMAPI Create(uint32_t code, void*) {
  FakeElem* e = new FakeElem{code, {0, 0}, 16};
  g_live.push_back(e);
  return e;
}
uint32_t ELEMAPI Delete(ElemHandle h) {
  FakeElem* e = static_cast<FakeElem*>(h);
  for (size_t i = 0; i < g_live.size(); ++i)
    if (g_live[i] == e) g_live.erase(g_live.begin() + static_cast<long>(i));
  delete e;
  return 1;
}
// An effect writes its 300 data words when it is placed.
uint32_t ELEMAPI Load(ElemHandle h, void* dsp, void*) {
  FakeElem* e = static_cast<FakeElem*>(h);
  const MixDspPlacement* p = static_cast<const MixDspPlacement*>(dsp);
  g_loads.push_back(std::to_string(e->type) + (p ? " dsp " + std::to_string(p->Dsp + 1) : " off"));
  if (!p || e->type != kFakeEffect) return 1;
  std::vector<uint32_t> words(300, 7);
  return g_dsp && g_dsp(dsp, kDspWrite, 0, 0, 300, words.data()) == kDspOk;
}
uint32_t ELEMAPI Set(ElemHandle h, uint32_t code, uintptr_t v) {
  FakeElem* e = static_cast<FakeElem*>(h);
  char text[64];
  switch (code) {
    case kSetKnob: {
      const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(v);
      if (kv->Index < 2) e->knobs[kv->Index] = kv->Value;
      std::snprintf(text, sizeof text, "set 7 %u %d", kv->Index, kv->Value);
      break;
    }
    case kSetState: {
      const uint32_t* s = reinterpret_cast<const uint32_t*>(v);
      if (s[0] != e->stateLen) return 0;
      e->knobs[0] = static_cast<int32_t>(s[2]);
      e->knobs[1] = static_cast<int32_t>(s[3]);
      std::snprintf(text, sizeof text, "set 6");
      break;
    }
    case kSetTrackColors: {
      const uint32_t* c = reinterpret_cast<const uint32_t*>(v);
      std::snprintf(text, sizeof text, "set 4 %x %x", c[0], c[1]);
      break;
    }
    case kSetMeter: {
      const uint32_t* m = reinterpret_cast<const uint32_t*>(v);
      std::snprintf(text, sizeof text, "set 23 %u/%u", m[0], m[1]);
      break;
    }
    default: std::snprintf(text, sizeof text, "set %u %u", code, static_cast<uint32_t>(v));
  }
  g_calls.push_back(text);
  return 1;
}
uint32_t ELEMAPI Get(ElemHandle h, uint32_t code, void* out) {
  FakeElem* e = static_cast<FakeElem*>(h);
  switch (code) {
    case kGetStateLength: *static_cast<uint32_t*>(out) = e->stateLen; return 1;
    case kGetState: {
      uint32_t s[4] = {e->stateLen, e->type, static_cast<uint32_t>(e->knobs[0]), static_cast<uint32_t>(e->knobs[1])};
      std::memcpy(out, s, 16);
      return 1;
    }
    case kGetKnob: {
      ELEMKNOBVALUE* kv = static_cast<ELEMKNOBVALUE*>(out);
      kv->Value = kv->Index < 2 ? e->knobs[kv->Index] : 0;
      return 1;
    }
    case kGetVolume:
      if (e->type != kFakeOutput) return 0;
      g_calls.push_back("get 5");
      *static_cast<uint32_t*>(out) = 777;
      return 1;
    case kGetKnobText: {
      ELEMKNOBTEXT* kt = static_cast<ELEMKNOBTEXT*>(out);
      std::snprintf(kt->Text, sizeof kt->Text, "K%u=%d", kt->Index, e->knobs[kt->Index & 1]);
      return 1;
    }
    default: return 0;
  }
}
WndHandle ELEMAPI Windows(ElemHandle, WndHandle, ElemPoint*, int32_t) { return nullptr; }

void* EntryOf(const std::string& kind, int i) {
  void* common[kEntCount] = {nullptr,
                             nullptr,
                             nullptr,
                             reinterpret_cast<void*>(&KnobProps),
                             reinterpret_cast<void*>(&Create),
                             reinterpret_cast<void*>(&Delete),
                             reinterpret_cast<void*>(&Load),
                             reinterpret_cast<void*>(&Set),
                             reinterpret_cast<void*>(&Get),
                             reinterpret_cast<void*>(&Windows)};
  if (kind == "Missing" && i == kEntGetElement) return nullptr;
  if (i >= kEntGetElemTypeKnobProperties) return common[i];
  if (kind == "B") {
    void* b[] = {reinterpret_cast<void*>(&InitB), reinterpret_cast<void*>(&TypeB), reinterpret_cast<void*>(&PropsB)};
    return b[i];
  }
  if (kind == "Old") {
    void* o[] = {reinterpret_cast<void*>(&InitOld), reinterpret_cast<void*>(&TypeOld),
                 reinterpret_cast<void*>(&PropsOld)};
    return o[i];
  }
  void* a[] = {reinterpret_cast<void*>(kind == "BadVersion" ? &InitBad : &InitA), reinterpret_cast<void*>(&TypeA),
               reinterpret_cast<void*>(&PropsA)};
  return a[i];
}

}  // namespace

std::vector<std::string>& FakeInits() { return g_inits; }
int FakeLiveElements() { return static_cast<int>(g_live.size()); }
std::vector<std::string>& FakeElemCalls() { return g_calls; }
std::vector<std::string>& FakeLoads() { return g_loads; }
void FakeSetKnob(uint32_t type, uint32_t knob, int32_t value) {
  for (FakeElem* e : g_live)
    if (e->type == type && knob < 2) e->knobs[knob] = value;
}

std::vector<std::string> FakeLoader::ListDlls(const std::string& folder) {
  listed.push_back(folder);
  std::vector<std::string> names;
  for (const FakeFile& f : folders[folder]) names.push_back(f.name);
  return names;
}

void* FakeLoader::Load(const std::string& path) {
  for (auto& [folder, files] : folders)
    for (const FakeFile& f : files)
      if (folder + f.name == path) {
        if (f.kind == "Unloadable") return nullptr;
        loaded.push_back(path);
        kinds_.push_back(f.kind);
        return reinterpret_cast<void*>(kinds_.size());
      }
  return nullptr;
}

void* FakeLoader::Find(void* module, const char* name) {
  const std::string& kind = kinds_[reinterpret_cast<uintptr_t>(module) - 1];
  for (int i = 0; i < kEntCount; ++i)
    if (std::strcmp(name, kElemBindNames[i]) == 0) return EntryOf(kind, i);
  return nullptr;
}

void FakeLoader::Free(void* module) { freed.push_back(std::to_string(reinterpret_cast<uintptr_t>(module))); }

int RecordingHost::RecordPass(int32_t s, int32_t e) {
  events.push_back("pass " + std::to_string(s) + " " + std::to_string(e));
  return recordPassResult;
}
void RecordingHost::RecordStop(int32_t e) { events.push_back("stop " + std::to_string(e)); }

int RecordingHost::DspBlock(int unit, int dsp, uint32_t op, uint32_t address, uint32_t count, uint32_t* words) {
  dspBlocks.push_back("u" + std::to_string(unit) + " d" + std::to_string(dsp) + " op" + std::to_string(op) + " @" +
                      std::to_string(address) + " x" + std::to_string(count) + (words ? "" : " null"));
  if (words && (op == kDspRead || op == kDspReadMeter || op == kDspReadAlt))
    for (uint32_t i = 0; i < count; ++i) words[i] = 0xFFFFFF;  // -1 as the DSP gives it
  return dspAccept;
}

uint32_t RecordingHost::TakeWord(void* take, uint32_t attr) {
  FakeTake* t = static_cast<FakeTake*>(take);
  if (attr == kMxaAttrDataBytes) return static_cast<uint32_t>(t->data.size());
  auto it = t->words.find(attr);
  return it == t->words.end() ? 0 : it->second;
}
int RecordingHost::TakeSetWord(void* take, uint32_t attr, uint32_t value) {
  FakeTake* t = static_cast<FakeTake*>(take);
  if (attr == kMxaAttrDataBytes)
    t->data.resize(value);
  else
    t->words[attr] = value;
  return 1;
}
int RecordingHost::TakeData(void* take, int write, uint32_t pos, uint32_t count, void* buf) {
  FakeTake* t = static_cast<FakeTake*>(take);
  if (uint64_t{pos} + count > t->data.size() || (write && t->failWrite)) return 0;
  if (write)
    std::memcpy(t->data.data() + pos, buf, count);
  else
    std::memcpy(buf, t->data.data() + pos, count);
  return 1;
}

namespace {
std::string Fmt(const char* f, long long a = 0, long long b = 0, long long c = 0, long long d = 0) {
  char t[128];
  std::snprintf(t, sizeof t, f, a, b, c, d);
  return t;
}
}  // namespace

int32_t RecordingAut::SetRecordMode(uint32_t m) { calls.push_back(Fmt("mode %lld", m)); return 1; }
int32_t RecordingAut::StartPlayRec() { calls.push_back("start"); return 1; }
int32_t RecordingAut::StopPlayRec(uint32_t f, uint32_t l) { calls.push_back(Fmt("stop %lld %lld", f, l)); return 1; }
int32_t RecordingAut::SetLocator(uint32_t l, uint32_t c) { calls.push_back(Fmt("locate %lld %lld", l, c)); return 1; }
int32_t RecordingAut::CreateKnob(uint32_t id, const AutKnobDesc* d, AutKnobHandle* out) {
  if (failCreate || createAfter == 0) return 0;
  if (createAfter > 0) --createAfter;
  *out = nextHandle++;
  hostIds[*out] = id;
  calls.push_back(Fmt("create %lld glide %lld", *out, d->glide));
  return 1;
}
int32_t RecordingAut::DeleteKnob(AutKnobHandle k) { calls.push_back(Fmt("delete %lld", k)); return 1; }
int32_t RecordingAut::SetKnobAutomEnableMode(AutKnobHandle k, uint32_t m) {
  calls.push_back(Fmt("enable %lld %lld", k, m));
  return 1;
}
int32_t RecordingAut::SetKnobValue(AutKnobHandle k, int32_t v, uint32_t l, uint32_t c) {
  calls.push_back(Fmt("value %lld %lld at %lld code %lld", k, v, l, c));
  return 1;
}
int32_t RecordingAut::SetKnobTrkAndIndx(AutKnobHandle k, uint32_t t, uint32_t i) {
  calls.push_back(Fmt("track %lld %lld %lld", k, t, i));
  return 1;
}
int32_t RecordingAut::CreateViewList(uint32_t t, uint32_t k, AutViewListHandle* out) {
  *out = 700 + t;
  calls.push_back(Fmt("list %lld %lld", t, k));
  return 1;
}
int32_t RecordingAut::AddView(AutViewListHandle l, const AutView* v) {
  calls.push_back(Fmt("view %lld %lld %lld %lld", l, v->start, v->length, v->offset) +
                  Fmt(" log %lld map %lld", v->log, v->knobMap));
  return 1;
}
int32_t RecordingAut::DeleteAllViewLists(uint32_t k) { calls.push_back(Fmt("dellists %lld", k)); return 1; }
int32_t RecordingAut::CreatePlayLogKnobMap(int32_t n, AutMapHandle* out) {
  *out = 800 + static_cast<uint32_t>(n);
  calls.push_back(Fmt("playmap %lld", n));
  return 1;
}
int32_t RecordingAut::SetPlayLogKnobMapValue(AutMapHandle m, int32_t i, AutKnobHandle k) {
  calls.push_back(Fmt("mapvalue %lld %lld %lld", m, i, k));
  return 1;
}
int32_t RecordingAut::DeleteAllPlayLogKnobMaps() { calls.push_back("delplaymaps"); return 1; }
int32_t RecordingAut::CreateLog(AutLogHandle* out) {
  *out = 900 + static_cast<uint32_t>(logs.size());
  logs[*out];
  calls.push_back(Fmt("newlog %lld", *out));
  return 1;
}
int32_t RecordingAut::GetLogKnobEventCnt(AutLogHandle l, int32_t* n) {
  auto it = logs.find(l);
  if (it == logs.end()) return 0;
  *n = static_cast<int32_t>(it->second.size());
  return 1;
}
int32_t RecordingAut::GetAllLogKnobEvents(AutLogHandle l, int32_t* n, AutLogKnobEvent* out) {
  auto it = logs.find(l);
  if (it == logs.end()) return 0;
  const int32_t k = std::min<int32_t>(*n, static_cast<int32_t>(it->second.size()));
  for (int32_t i = 0; i < k; ++i) out[i] = it->second[static_cast<size_t>(i)];
  *n = k;
  return 1;
}
int32_t RecordingAut::CopyLog(AutLogHandle* out, AutLogHandle s, uint32_t a, uint32_t b) {
  *out = 500 + s;
  calls.push_back(Fmt("copy %lld %lld %lld", s, a, b));
  return 1;
}
int32_t RecordingAut::ReduceLogKnobEvents(AutLogHandle l, int32_t k, uint32_t a, uint32_t b, uint32_t t) {
  calls.push_back(Fmt("reduce %lld %lld %lld", l, k, t) + Fmt(" %lld %lld", a, b));
  return 1;
}
int32_t RecordingAut::AddLogKnobEvent(AutLogHandle l, const AutLogKnobEvent* e) {
  calls.push_back(Fmt("add %lld %lld %lld %lld", l, e->key, e->location, e->value));
  auto it = logs.find(l);
  if (it != logs.end()) it->second.push_back(*e);
  return 1;
}
int32_t RecordingAut::DeleteLogKnobEvent(AutLogHandle l, int32_t k, uint32_t loc) {
  calls.push_back(Fmt("delevent %lld %lld %lld", l, k, loc));
  return 1;
}
int32_t RecordingAut::DeleteLog(AutLogHandle l) { calls.push_back(Fmt("dellog %lld", l)); return 1; }
int32_t RecordingAut::DeleteRecordLogKnobMap(AutMapHandle m) { calls.push_back(Fmt("delmap %lld", m)); return 1; }
int32_t RecordingAut::GetRecordLogKnobMapValue(AutMapHandle, int32_t, int32_t* k, int32_t*) {
  *k = -1;
  return 1;
}
int32_t RecordingAut::GetPrvLogKnobEventFromLoc(AutLogHandle, int32_t k, uint32_t loc, AutLogKnobEvent* out) {
  *out = AutLogKnobEvent{k, loc - 10, 50, 0};
  return 1;
}
int32_t RecordingAut::GetNxtLogKnobEventFromLoc(AutLogHandle, int32_t k, uint32_t loc, AutLogKnobEvent* out) {
  *out = AutLogKnobEvent{k, loc + 10, 50, 0};
  return 1;
}
std::vector<std::string> RecordingAut::Matching(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& c : calls)
    if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
  return out;
}

EngineAutLib::EngineAutLib() : engine_(clock_) {}

MixFixture::MixFixture(bool withOld) {
  MixSetHost(&host);
  MixSetAutLib(&aut);
  MxaInit();
  loader.folders["lib\\"] = {{"a.dll", "A"}};
  if (withOld) loader.folders["lib\\"].push_back({"old.dll", "Old"});
  ScanElementLibraries(loader, "lib\\", "lib\\");
  FakeInits().clear();
  FakeElemCalls().clear();
}

MixFixture::~MixFixture() {
  FreeElementLibraries();
  MixSetHost(nullptr);
  MixSetAutLib(nullptr);
}
