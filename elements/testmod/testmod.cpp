#include "elements/testmod/testmod.h"

#include <cstring>
#include <new>

#include "elements/elemlist.h"
#include "elements/elemscale.h"

namespace {

constexpr uint32_t kTypeCount = 3;
constexpr uint32_t kOffered = 2;

// Gain words go to the DSP as minus the linear gain in 24 bits: unity
// (32768) is -0x400000 and +6 dB is -0x800000, both a fraction of -1.
constexpr int32_t kGainShift = 7;

struct TypeRow {
  uint32_t Code;
  ELEMTYPEPROPINFO Props;
  const ELEMKNOBPROPINFO* Knobs;
};

constexpr ELEMKNOBPROPINFO Knob(const char* name, uint32_t kind, int32_t lo, int32_t hi, const char* unit, int32_t dlo,
                                int32_t dhi, int32_t div, uint32_t law, uint32_t meter) {
  ELEMKNOBPROPINFO k{};
  k.Size = kElemKnobPropSize;
  k.Kind = kind;
  for (int i = 0; name[i] && i < kElemKnobNameSize - 1; ++i) k.Name[i] = name[i];
  k.ReadOnly = meter;
  k.RawMin = lo;
  k.RawMax = hi;
  k.Meter = meter;
  for (int i = 0; unit[i] && i < kElemUnitSize - 1; ++i) k.Unit[i] = unit[i];
  k.DisplayMin = dlo;
  k.DisplayMax = dhi;
  k.DisplayDivisor = div;
  k.Law = law;
  return k;
}

constexpr ELEMKNOBPROPINFO kGainKnobs[] = {
    Knob("Volume", kKnobContinuous, 0, 65536, "dB", -960, 60, 10, kLawFader, 0),
    Knob("Mute", kKnobSwitch, 0, 1, "", 0, 1, 1, kLawLinear, 0),
};
constexpr ELEMKNOBPROPINFO kMeterKnobs[] = {
    Knob("L Peak Meter", kKnobContinuous, 0, 32767, "dB", -960, 0, 10, kLawLog, 1),
    Knob("R Peak Meter", kKnobContinuous, 0, 32767, "dB", -960, 0, 10, kLawLog, 1),
};

constexpr ELEMTYPEPROPINFO Type(const char* name, uint32_t kind, uint32_t height, uint32_t flags, uint32_t state,
                                uint32_t knobs, uint32_t io, uint32_t dataType, uint32_t dataSize,
                                uint32_t programSize) {
  ELEMTYPEPROPINFO t{};
  t.Size = kElemTypePropSize;
  t.Kind = kind;
  for (int i = 0; name[i] && i < kElemTextSize - 1; ++i) t.Name[i] = name[i];
  const char maker[] = "HRL test elements";
  for (int i = 0; maker[i]; ++i) t.Maker[i] = maker[i];
  t.LittleHeight = height;
  t.Flags = flags;
  t.StateSize = state;
  t.KnobCount = knobs;
  t.Inputs = io;
  t.Outputs = io;
  t.AreaType[1] = dataType;
  t.AreaSize[1] = dataSize;
  t.AreaType[5] = kAreaProgram;
  t.AreaSize[5] = programSize;
  t.AreaWord = 2;
  t.Load = 10;
  return t;
}

// Area 1 holds the data words, area 5 the program.
constexpr uint32_t kDataArea = 1;
constexpr uint32_t kProgramArea = 5;

const TypeRow kTypes[kTypeCount] = {
    {kTestGainCode, Type("Test Gain\t(Mono)", kElemKindInsert, 20, 0, 12, 2, 1, kAreaData1, 2, 4), kGainKnobs},
    {kTestMeterCode, Type("Test Meter\t(Stereo)", kElemKindOutput, 28, kElemFlagPeakMeters, 8, 2, 2, kAreaTwoBank, 2, 6),
     kMeterKnobs},
    {kTestHiddenCode, Type("Test Hidden\t(Mono)", kElemKindInsert, 0, 0, 4, 0, 1, kAreaData0, 1, 2), nullptr},
};

const ELEMMODINFO kModInfo = [] {
  ELEMMODINFO m{};
  m.Size = kElemModInfoSize;
  m.Kind = kElemModInfoKind;
  m.Version = kElemIfVersion;
  std::strcpy(m.Name, "Test Elements");
  std::strcpy(m.Maker, "HRL test elements, Version 1.00");
  m.TypeCount = kOffered;
  return m;
}();

// The DSP program of each type: fixed words the simulated DSP stores.
constexpr uint32_t kProgram[6] = {0x0AF080, 0x0C0001, 0x56F400, 0xFF0000, 0x000000, 0x0C0000};

// Callbacks until the host gives its own: no DSP, notifications ignored.
int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return kDspNoResource; }
int32_t ELEMAPI NoNotify(void*, uint32_t, uintptr_t) { return 0; }

ElemDspCallback g_dsp = NoDsp;
ElemNotifyCallback g_notify = NoNotify;
ElemList g_live;

struct State {
  uint32_t Length;
  int32_t Knob[2];  // gain: volume, mute; meter: held peaks
};

struct Element {
  ElemLink Link;  // first: the live list links elements by it
  const TypeRow* Row;
  void* HostContext;
  void* DspHandle;
  WndHandle Little;
  char Name[kElemTextSize];
  State St;
};
static_assert(offsetof(Element, Link) == 0);

const TypeRow* RowOf(uint32_t code) {
  for (const TypeRow& r : kTypes)
    if (r.Code == code) return &r;
  return nullptr;
}

Element* Live(ElemHandle h) {
  return h && ElemListHas(&g_live, static_cast<ElemLink*>(h)) ? static_cast<Element*>(h) : nullptr;
}

void Report(Element* e, uint32_t knob) {
  ELEMKNOBVALUE kv{knob, e->St.Knob[knob]};
  g_notify(e->HostContext, kNotifyKnob, reinterpret_cast<uintptr_t>(&kv));
}

int32_t Dsp(Element* e, uint32_t op, uint32_t area, uint32_t offset, uint32_t count, uint32_t* words) {
  return e->DspHandle ? g_dsp(e->DspHandle, op, area, offset, count, words) : kDspNoResource;
}

int32_t WriteGain(Element* e, uint32_t op) {
  const int32_t gain = e->St.Knob[1] ? 0 : e->St.Knob[0];
  uint32_t word = static_cast<uint32_t>(-(gain << kGainShift));
  return Dsp(e, op, kDataArea, 0, 1, &word);
}

uint32_t Load(Element* e) {
  const TypeRow& r = *e->Row;
  uint32_t program[6];
  std::memcpy(program, kProgram, sizeof program);
  if (Dsp(e, kDspProgram, kProgramArea, 0, r.Props.AreaSize[kProgramArea], program) != kDspOk) return 0;
  if (r.Code == kTestGainCode) return WriteGain(e, kDspWrite) == kDspOk;
  if (r.Code == kTestMeterCode)
    return Dsp(e, kDspClear, kDataArea, 0, 2, nullptr) == kDspOk &&
           Dsp(e, kDspClear, kDataArea, kElemSecondBank, 2, nullptr) == kDspOk;
  return 1;
}

int32_t Clamp(const ELEMKNOBPROPINFO& k, int32_t v) { return v < k.RawMin ? k.RawMin : v > k.RawMax ? k.RawMax : v; }

uint32_t SetKnob(Element* e, const ELEMKNOBVALUE* kv) {
  if (!kv || kv->Index >= e->Row->Props.KnobCount || e->Row->Knobs[kv->Index].ReadOnly) return 0;
  e->St.Knob[kv->Index] = Clamp(e->Row->Knobs[kv->Index], kv->Value);
  WriteGain(e, kDspWriteRunning);
  return 1;
}

uint32_t SetState(Element* e, const State* s) {
  if (!s || s->Length != e->Row->Props.StateSize) return 0;
  std::memcpy(&e->St, s, s->Length);
  for (uint32_t k = 0; k < e->Row->Props.KnobCount; ++k) Report(e, k);
  if (e->Row->Code == kTestGainCode) WriteGain(e, kDspWrite);
  return 1;
}

// A meter knob reads the peak of its channel from the two-bank area: left
// in the first bank, right in the second; 24-bit fractions scaled to 0..32767.
uint32_t GetMeter(Element* e, ELEMKNOBVALUE* kv) {
  uint32_t word = 0;
  if (Dsp(e, kDspReadMeter, kDataArea, kv->Index ? kElemSecondBank : 0, 1, &word) == kDspOk) {
    const int32_t peak = static_cast<int32_t>(word) >> 8;
    e->St.Knob[kv->Index] = Clamp(e->Row->Knobs[kv->Index], peak < 0 ? -peak : peak);
  }
  kv->Value = e->St.Knob[kv->Index];
  return 1;
}

uint32_t GetKnob(Element* e, ELEMKNOBVALUE* kv) {
  if (!kv || kv->Index >= e->Row->Props.KnobCount) return 0;
  if (e->Row->Knobs[kv->Index].Meter) return GetMeter(e, kv);
  kv->Value = e->St.Knob[kv->Index];
  return 1;
}

}  // namespace

int TestElemLiveCount() {
  int n = 0;
  for (ElemLink* l = g_live.Head; l; l = l->Next) ++n;
  return n;
}

extern "C" {

uint32_t ELEMAPI QVInitElemModule(ElemDspCallback dsp, ElemNotifyCallback notify, ELEMMODINFO* info) {
  g_dsp = dsp ? dsp : NoDsp;
  g_notify = notify ? notify : NoNotify;
  if (info) *info = kModInfo;
  return 1;
}

uint32_t ELEMAPI QVGetElemType(uint32_t index) { return index < kTypeCount ? kTypes[index].Code : 0; }

uint32_t ELEMAPI QVGetElemTypeProperties(uint32_t typeCode, ELEMTYPEPROPINFO* out) {
  const TypeRow* r = RowOf(typeCode);
  if (!r || !out) return 0;
  *out = r->Props;
  return 1;
}

uint32_t ELEMAPI QVGetElemTypeKnobProperties(uint32_t typeCode, uint32_t knobIndex, ELEMKNOBPROPINFO* out) {
  const TypeRow* r = RowOf(typeCode);
  if (!r || !out || knobIndex >= r->Props.KnobCount) return 0;
  *out = r->Knobs[knobIndex];
  return 1;
}

ElemHandle ELEMAPI QVCreateElement(uint32_t typeCode, void* hostContext) {
  const TypeRow* r = RowOf(typeCode);
  if (!r) return nullptr;
  Element* e = new (std::nothrow) Element{};
  if (!e) return nullptr;
  e->Row = r;
  e->HostContext = hostContext;
  e->St.Length = r->Props.StateSize;
  if (typeCode == kTestGainCode) e->St.Knob[0] = static_cast<int32_t>(GainFromTenthsDb(0));
  ElemListAppend(&g_live, &e->Link);
  for (uint32_t k = 0; k < r->Props.KnobCount; ++k) Report(e, k);
  return e;
}

WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width) {
  Element* e = Live(element);
  if (!e || !position || e->Row->Props.LittleHeight == 0) return nullptr;
  e->Little = TestElemLittleWindow(e, parent, *position, width, static_cast<int32_t>(e->Row->Props.LittleHeight));
  return e->Little;
}

uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void* placement) {
  Element* e = Live(element);
  if (!e) return 0;
  e->DspHandle = dspHandle;
  return dspHandle ? Load(e) : 1;
}

uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value) {
  Element* e = Live(element);
  if (!e) return 0;
  switch (code) {
    case kSetName: {
      const char* name = reinterpret_cast<const char*>(value);
      std::strncpy(e->Name, name ? name : "", sizeof e->Name - 1);
      e->Name[sizeof e->Name - 1] = '\0';
      return 1;
    }
    case kSetState:
      return SetState(e, reinterpret_cast<const State*>(value));
    case kSetKnob:
      return SetKnob(e, reinterpret_cast<const ELEMKNOBVALUE*>(value));
    default:
      return 1;
  }
}

uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* inOut) {
  Element* e = Live(element);
  if (!e || !inOut) return 0;
  switch (code) {
    case kGetState:
      std::memcpy(inOut, &e->St, e->St.Length);
      return 1;
    case kGetKnob:
      return GetKnob(e, static_cast<ELEMKNOBVALUE*>(inOut));
    default:
      return 0;
  }
}

uint32_t ELEMAPI QVDeleteElement(ElemHandle element) {
  Element* e = Live(element);
  if (!e) return 0;
  ElemListUnlink(&g_live, &e->Link);
  delete e;
  return 1;
}

}  // extern "C"
