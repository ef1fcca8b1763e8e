#include "elements/harness/elemharness.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <set>

void** ElemCallSlot(ElemModuleCalls* c, int index) {
  void** slots[kElemExportCount] = {
      reinterpret_cast<void**>(&c->Init),
      reinterpret_cast<void**>(&c->GetElemType),
      reinterpret_cast<void**>(&c->GetElemTypeProperties),
      reinterpret_cast<void**>(&c->GetElemTypeKnobProperties),
      reinterpret_cast<void**>(&c->CreateElement),
      reinterpret_cast<void**>(&c->CreateElementWindows),
      reinterpret_cast<void**>(&c->LoadElement),
      reinterpret_cast<void**>(&c->SetElement),
      reinterpret_cast<void**>(&c->GetElement),
      reinterpret_cast<void**>(&c->DeleteElement),
  };
  return index >= 0 && index < kElemExportCount ? slots[index] : nullptr;
}

int ElemCallsComplete(const ElemModuleCalls& calls) {
  ElemModuleCalls c = calls;
  for (int i = 0; i < kElemExportCount; ++i)
    if (!*ElemCallSlot(&c, i)) return 0;
  return 1;
}

std::vector<ElemNote>& RecordedNotes() {
  static std::vector<ElemNote> notes;
  return notes;
}

int32_t ELEMAPI RecordingNotify(void* hostContext, uint32_t code, uintptr_t value) {
  ElemNote note{hostContext, code, value, {}};
  if (code == kNotifyKnob && value) std::memcpy(&note.Knob, reinterpret_cast<const void*>(value), sizeof note.Knob);
  RecordedNotes().push_back(note);
  return code <= kNotifySoloGroup ? 1 : 0;
}

namespace {

// Indexes past the offered count within which the table must end.
constexpr uint32_t kTypeSearchLimit = 4096;
// A code no module offers, for the refusal checks.
constexpr uint32_t kNoSuchType = 0xFFFFFFF0u;
// Bytes behind a state buffer that a get must leave alone.
constexpr size_t kGuardBytes = 16;
constexpr uint8_t kGuardByte = 0xA5;
constexpr int32_t kUntouched = 0x5A5A5A5A;

bool Terminated(const char* text, size_t size) { return std::memchr(text, '\0', size) != nullptr; }

// The record the harness hands a module as an element's host context.
struct HostRecord {
  uint32_t Code;
  ELEMTYPEPROPINFO Type;
  std::vector<ELEMKNOBPROPINFO> Knobs;
  ElemHandle Element = nullptr;
  WndHandle Little = nullptr;
  SimDspElement* Placed = nullptr;
};

class Contract {
 public:
  Contract(const ElemModuleCalls& calls, SimDsp& dsp, const ElemContractOptions& options)
      : c_(calls), dsp_(dsp), opt_(options) {}

  ElemContractReport Run() {
    RecordedNotes().clear();
    dsp_.ClearTrace();
    if (!ElemCallsComplete(c_)) {
      Fault("the module lacks one of the ten entry points");
      return std::move(r_);
    }
    if (!Init()) return std::move(r_);
    Types();
    Refusals();
    for (HostRecord& h : hosts_) Element(h);
    r_.DspCalls = static_cast<uint32_t>(dsp_.Trace().size());
    return std::move(r_);
  }

 private:
  void Fault(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    r_.Faults.emplace_back(text);
  }

  bool Init() {
    ELEMMODINFO& info = r_.Info;
    std::memset(&info, 0xCC, sizeof info);
    info.Size = kElemModInfoSize;
    if (c_.Init(DspCommandBlock, RecordingNotify, &info) != 1) Fault("init did not answer 1");
    if (info.Size != kElemModInfoSize) Fault("module info size %u, not 216", info.Size);
    if (info.Kind != kElemModInfoKind) Fault("module info kind %u, not 3", info.Kind);
    if (info.Version != kElemIfVersion && info.Version != kElemIfVersionOld) {
      Fault("interface version %u: a host unloads the module", info.Version);
      return false;
    }
    if (!Terminated(info.Name, sizeof info.Name) || !Terminated(info.Maker, sizeof info.Maker) ||
        !Terminated(info.Spare, sizeof info.Spare))
      Fault("a text of the module info has no terminator");
    if (info.Reserved[0] || info.Reserved[1]) Fault("reserved words of the module info are not zero");
    if (info.TypeCount == 0) Fault("the module offers no types");
    return info.TypeCount != 0;
  }

  void Types() {
    std::set<uint32_t> seen;
    for (uint32_t i = 0; i < r_.Info.TypeCount; ++i) {
      const uint32_t code = c_.GetElemType(i);
      if (code == 0) {
        Fault("type index %u of the %u offered answers 0", i, r_.Info.TypeCount);
        continue;
      }
      if (!seen.insert(code).second) Fault("type code %u offered twice", code);
      r_.Codes.push_back(code);
      HostRecord h{code, {}, {}};
      if (TypeRecord(h) && KnobRecords(h)) hosts_.push_back(std::move(h));
    }
    uint32_t i = r_.Info.TypeCount;
    while (i < r_.Info.TypeCount + kTypeSearchLimit && c_.GetElemType(i) != 0) ++i;
    if (i == r_.Info.TypeCount + kTypeSearchLimit) Fault("the type table never ends (index %u still answers)", i);
  }

  bool TypeRecord(HostRecord& h) {
    ELEMTYPEPROPINFO& t = h.Type;
    std::memset(&t, 0xCC, sizeof t);
    if (c_.GetElemTypeProperties(h.Code, &t) != 1) {
      Fault("type %u: properties refused", h.Code);
      return false;
    }
    if (t.Size != kElemTypePropSize) Fault("type %u: record size %u, not 324", h.Code, t.Size);
    if (!Terminated(t.Name, sizeof t.Name) || !Terminated(t.Maker, sizeof t.Maker) ||
        !Terminated(t.Spare, sizeof t.Spare)) {
      Fault("type %u: a text has no terminator", h.Code);
      return false;
    }
    if (!std::strchr(t.Name, '\t')) Fault("type %u: name \"%s\" has no tab before its channel format", h.Code, t.Name);
    for (int a = 0; a < kElemAreaCount; ++a) {
      const uint32_t type = t.AreaType[a];
      if (type != kAreaData0 && type != kAreaData1 && type != kAreaProgram && type != kAreaSample &&
          type != kAreaTwoBank)
        Fault("type %u: area %d has unknown type %u", h.Code, a, type);
    }
    if (t.StateSize != 0 && t.StateSize < sizeof(ELEMSTATE)) Fault("type %u: state size %u", h.Code, t.StateSize);
    if (t.StateSize > 0x100000) {
      Fault("type %u: state size %u is beyond reason", h.Code, t.StateSize);
      return false;
    }
    if (t.KnobCount > 1024) {
      Fault("type %u: %u knobs is beyond reason", h.Code, t.KnobCount);
      return false;
    }
    return true;
  }

  bool KnobRecords(HostRecord& h) {
    for (uint32_t k = 0; k < h.Type.KnobCount; ++k) {
      ELEMKNOBPROPINFO kp;
      std::memset(&kp, 0xCC, sizeof kp);
      if (c_.GetElemTypeKnobProperties(h.Code, k, &kp) != 1) {
        Fault("type %u: knob %u refused", h.Code, k);
        return false;
      }
      if (kp.Size != kElemKnobPropSize) Fault("type %u knob %u: record size %u, not 120", h.Code, k, kp.Size);
      if (!Terminated(kp.Name, sizeof kp.Name) || !Terminated(kp.Spare, sizeof kp.Spare) ||
          !Terminated(kp.Unit, sizeof kp.Unit))
        Fault("type %u knob %u: a text has no terminator", h.Code, k);
      if (kp.Kind > kKnobSelector) Fault("type %u knob %u: kind %u", h.Code, k, kp.Kind);
      if (kp.RawMin > kp.RawMax) Fault("type %u knob %u: raw range %d..%d", h.Code, k, kp.RawMin, kp.RawMax);
      if (kp.DisplayDivisor == 0) Fault("type %u knob %u: display divisor 0", h.Code, k);
      if (kp.Law > kLawFader) Fault("type %u knob %u: law %u", h.Code, k, kp.Law);
      h.Knobs.push_back(kp);
    }
    ELEMKNOBPROPINFO past;
    if (c_.GetElemTypeKnobProperties(h.Code, h.Type.KnobCount, &past) != 0)
      Fault("type %u: knob index %u past the count is answered", h.Code, h.Type.KnobCount);
    return true;
  }

  void Refusals() {
    ELEMTYPEPROPINFO t;
    ELEMKNOBPROPINFO k;
    if (c_.GetElemTypeProperties(kNoSuchType, &t) != 0) Fault("properties of an unknown type are answered");
    if (c_.GetElemTypeKnobProperties(kNoSuchType, 0, &k) != 0) Fault("knobs of an unknown type are answered");
    HostRecord none{kNoSuchType, {}, {}};
    if (ElemHandle e = c_.CreateElement(kNoSuchType, &none)) {
      Fault("an element of an unknown type was created");
      c_.DeleteElement(e);
    }
  }

  // The notifications received for one host record since `from`.
  std::vector<ElemNote> NotesOf(const HostRecord& h, size_t from) const {
    std::vector<ElemNote> out;
    const auto& all = RecordedNotes();
    for (size_t i = from; i < all.size(); ++i)
      if (all[i].HostContext == &h) out.push_back(all[i]);
    return out;
  }

  void CheckKnobNotes(const HostRecord& h, size_t from, const char* when) {
    for (const ElemNote& n : NotesOf(h, from)) {
      if (n.Code != kNotifyKnob) continue;
      if (n.Knob.Index >= h.Knobs.size()) {
        Fault("type %u: %s reports knob %u of %zu", h.Code, when, n.Knob.Index, h.Knobs.size());
        continue;
      }
      const ELEMKNOBPROPINFO& k = h.Knobs[n.Knob.Index];
      if (n.Knob.Value < k.RawMin || n.Knob.Value > k.RawMax)
        Fault("type %u: %s reports knob %u at %d, outside %d..%d", h.Code, when, n.Knob.Index, n.Knob.Value, k.RawMin,
              k.RawMax);
    }
  }

  // Every DSP call of the element since `from` must have been accepted.
  void CheckDspCalls(const HostRecord& h, size_t from, const char* when) {
    const auto& trace = dsp_.Trace();
    for (size_t i = from; i < trace.size(); ++i) {
      const SimDspCall& call = trace[i];
      if (call.Result != kDspOk)
        Fault("type %u: %s made a DSP call that was refused: op %u area %u offset 0x%X count %u", h.Code, when, call.Op,
              call.MemIndex, call.Offset, call.Count);
    }
  }

  std::vector<uint8_t> GetState(const HostRecord& h) {
    std::vector<uint8_t> buf(h.Type.StateSize + kGuardBytes, kGuardByte);
    if (c_.GetElement(h.Element, kGetState, buf.data()) != 1) {
      Fault("type %u: get code 2 (state) refused", h.Code);
      return {};
    }
    uint32_t length;
    std::memcpy(&length, buf.data(), sizeof length);
    if (length != h.Type.StateSize) Fault("type %u: state length word %u, state size %u", h.Code, length, h.Type.StateSize);
    for (size_t i = h.Type.StateSize; i < buf.size(); ++i) {
      if (buf[i] != kGuardByte) {
        Fault("type %u: get code 2 wrote past the state size", h.Code);
        break;
      }
    }
    buf.resize(h.Type.StateSize);
    return buf;
  }

  void State(HostRecord& h) {
    if (h.Type.StateSize < sizeof(ELEMSTATE)) return;
    std::vector<uint8_t> state = GetState(h);
    if (state.empty()) return;
    if (c_.SetElement(h.Element, kSetState, reinterpret_cast<uintptr_t>(state.data())) != 1)
      Fault("type %u: its own state was refused by set code 6", h.Code);
    if (GetState(h) != state) Fault("type %u: restoring its own state changed it", h.Code);
    std::vector<uint8_t> longer(state);
    longer.resize(state.size() + sizeof(uint32_t), 0);
    const uint32_t tooLong = static_cast<uint32_t>(longer.size());
    std::memcpy(longer.data(), &tooLong, sizeof tooLong);
    if (c_.SetElement(h.Element, kSetState, reinterpret_cast<uintptr_t>(longer.data())) != 0)
      Fault("type %u: a state longer than the state size was accepted", h.Code);
    if (GetState(h) != state) Fault("type %u: a refused state changed the element", h.Code);
  }

  void SetKnob(HostRecord& h, uint32_t k, int32_t value) {
    const size_t from = RecordedNotes().size();
    ELEMKNOBVALUE kv{k, value};
    if (c_.SetElement(h.Element, kSetKnob, reinterpret_cast<uintptr_t>(&kv)) != 1)
      Fault("type %u: set code 7 refused knob %u = %d", h.Code, k, value);
    for (const ElemNote& n : NotesOf(h, from))
      if (n.Code == kNotifyKnob && n.Knob.Index == k)
        Fault("type %u: set code 7 on knob %u answered with notify code 2 for it", h.Code, k);
    CheckKnobNotes(h, from, "set code 7");
    ELEMKNOBVALUE back{k, kUntouched};
    if (c_.GetElement(h.Element, kGetKnob, &back) != 1) {
      Fault("type %u: get code 3 refused knob %u", h.Code, k);
      return;
    }
    const ELEMKNOBPROPINFO& kp = h.Knobs[k];
    if (back.Value < kp.RawMin || back.Value > kp.RawMax)
      Fault("type %u: knob %u reads back %d, outside %d..%d", h.Code, k, back.Value, kp.RawMin, kp.RawMax);
    else if (!opt_.KnobsMayClamp && back.Value != value)
      Fault("type %u: knob %u set to %d reads back %d", h.Code, k, value, back.Value);
  }

  void Knobs(HostRecord& h) {
    for (uint32_t k = 0; k < h.Knobs.size(); ++k) {
      if (h.Knobs[k].ReadOnly) continue;
      SetKnob(h, k, h.Knobs[k].RawMax);
      SetKnob(h, k, h.Knobs[k].RawMin);
    }
    ELEMKNOBVALUE past{static_cast<uint32_t>(h.Knobs.size()), kUntouched};
    if (c_.GetElement(h.Element, kGetKnob, &past) != 0 && past.Value != kUntouched)
      Fault("type %u: get code 3 answers a knob index past the count", h.Code);
  }

  void SetCodes(HostRecord& h) {
    char name[128];
    std::memset(name, 'N', sizeof name - 1);
    name[sizeof name - 1] = '\0';
    c_.SetElement(h.Element, kSetName, reinterpret_cast<uintptr_t>(name));
    uint32_t position[2] = {1, 2};
    c_.SetElement(h.Element, kSetPosition, reinterpret_cast<uintptr_t>(position));
    c_.SetElement(h.Element, kSetBlocked, 1);
    c_.SetElement(h.Element, kSetBlocked, 0);
    c_.SetElement(h.Element, kSetSampleRate, opt_.SampleRate);
    if (c_.SetElement(h.Element, kSetRefresh, 0) != 1) Fault("type %u: set code 9 did not answer 1", h.Code);
  }

  void Load(HostRecord& h) {
    h.Placed = dsp_.Place(h.Type);
    size_t from = dsp_.Trace().size();
    if (c_.LoadElement(h.Element, h.Placed, &h.Placed->Placement) != 1) Fault("type %u: load answered 0", h.Code);
    CheckDspCalls(h, from, "load");
    const bool wrote = dsp_.Trace().size() > from;

    from = dsp_.Trace().size();
    Knobs(h);
    c_.SetElement(h.Element, kSetSampleRate, opt_.SampleRate);
    CheckDspCalls(h, from, "a knob edit while placed");

    dsp_.InjectFault({kSimAnyOp, 0, true});
    if (wrote && c_.LoadElement(h.Element, h.Placed, &h.Placed->Placement) != 0)
      Fault("type %u: load answered 1 although every DSP call failed", h.Code);
    dsp_.ClearFault();
    if (c_.LoadElement(h.Element, h.Placed, &h.Placed->Placement) != 1) Fault("type %u: reload answered 0", h.Code);

    if (c_.LoadElement(h.Element, nullptr, nullptr) != 1) Fault("type %u: unload answered 0", h.Code);
    from = dsp_.Trace().size();
    Knobs(h);
    State(h);
    if (dsp_.Trace().size() != from) Fault("type %u: DSP calls while not placed", h.Code);
    dsp_.Remove(h.Placed);
    h.Placed = nullptr;
  }

  void Windows(HostRecord& h) {
    if (!opt_.MakeParent || h.Type.LittleHeight == 0) return;
    WndHandle parent = opt_.MakeParent();
    ElemPoint at{0, 0};
    h.Little = c_.CreateElementWindows(h.Element, parent, &at, 100);
    if (!h.Little) Fault("type %u: no little window", h.Code);
    else ++r_.WindowsMade;
  }

  void Element(HostRecord& h) {
    const size_t from = RecordedNotes().size();
    h.Element = c_.CreateElement(h.Code, &h);
    if (!h.Element) {
      Fault("type %u: create failed", h.Code);
      return;
    }
    CheckKnobNotes(h, from, "create");
    Windows(h);
    SetCodes(h);
    State(h);
    Knobs(h);
    Load(h);
    if (h.Little && opt_.DestroyWindow) opt_.DestroyWindow(h.Little);
    if (c_.DeleteElement(h.Element) == 0) Fault("type %u: delete answered 0", h.Code);
  }

  const ElemModuleCalls& c_;
  SimDsp& dsp_;
  const ElemContractOptions& opt_;
  ElemContractReport r_;
  std::vector<HostRecord> hosts_;
};

}  // namespace

ElemContractReport RunElemContract(const ElemModuleCalls& calls, SimDsp& dsp, const ElemContractOptions& options) {
  return Contract(calls, dsp, options).Run();
}
