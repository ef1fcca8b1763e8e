#include "mixer/mix/mixaut.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "mixer/mix/mixhost.h"
#include "mixer/model/util/strtab.h"

namespace {

struct MxaState {
  uint32_t setting = 0;
  uint32_t recordMode = 0;
  uint32_t recordModeLast = 0;
  int32_t now = 0;
  int knobChanged = 0;
  uint32_t recTime = 0;
  uint32_t recTimer = 0;
  bool recTimeValid = false;
  MxaTake* takes = nullptr;
  std::vector<MixKnob*> ids;  // host knob id - 1 -> knob
};
MxaState g_mxa;

constexpr int32_t kMxaRangeMax = 0xFFFFFF;
constexpr uint32_t kMxaEndLimit = 0x7FFF05FF;

uint32_t RegisterId(MixKnob* knob) {
  for (size_t i = 0; i < g_mxa.ids.size(); ++i)
    if (!g_mxa.ids[i]) {
      g_mxa.ids[i] = knob;
      return static_cast<uint32_t>(i + 1);
    }
  g_mxa.ids.push_back(knob);
  return static_cast<uint32_t>(g_mxa.ids.size());
}

void ReleaseId(uint32_t id) {
  if (id >= 1 && id <= g_mxa.ids.size()) g_mxa.ids[id - 1] = nullptr;
}

ELEMKNOBPROPINFO KnobInfo(const MixElem* e, int k) {
  ELEMKNOBPROPINFO info{};
  info.Size = kElemKnobPropSize;
  FindElemTypeKnob(e->Type, static_cast<uint32_t>(k), &info);
  return info;
}

int32_t ReadKnob(const MixElem* e, int k) {
  ELEMKNOBVALUE kv{static_cast<uint32_t>(k), 0};
  if (e->Ref) CallGetElement(e->Ref, kGetKnob, &kv);
  return kv.Value;
}

int32_t Shifted(const MixKnob* k, int32_t value) { return value >> k->ValueShift; }

template <typename Fn> void ForEachKnob(MixDoc* doc, Fn fn) {
  if (!doc) return;
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* e = c->First; e; e = e->Next)
      if (e->Knobs)
        for (int k = 0; k < e->KnobCount; ++k) fn(&e->Knobs[k]);
}

}  // namespace

int MxaInit() {
  g_mxa = MxaState{};
  return 1;
}
int MxaStoreSettingValue(uint32_t value) {
  g_mxa.setting = value;
  return 1;
}
uint32_t MxaSetting() { return g_mxa.setting; }

void MxaSetRecordModeValue(uint32_t mode, uint32_t second) {
  g_mxa.recordMode = mode;
  g_mxa.recordModeLast = second;
  MixAutLibGet().SetRecordMode(mode);
}

void MxaStartPlayRec(int relocate) {
  if (relocate && g_mxa.knobChanged) {
    MixAutLibGet().SetLocator(static_cast<uint32_t>(g_mxa.now), 1);
    g_mxa.knobChanged = 0;
  }
  MixAutLibGet().StartPlayRec();
}

void MxaStopPlayRec(int32_t position) {
  MixAutLibGet().StopPlayRec(position >= 0 ? 1 : 0, static_cast<uint32_t>(position));
}

void MxaLocate(int32_t position) { MixAutLibGet().SetLocator(static_cast<uint32_t>(position), 0); }

void MxaSetNowLocValue(int32_t position) {
  g_mxa.now = position;
  MixAutLibGet().SetLocator(static_cast<uint32_t>(position), g_mxa.knobChanged ? 1 : 0);
  g_mxa.knobChanged = 0;
}

int32_t MxaNowLoc() { return g_mxa.now; }
int MxaKnobChanged() { return g_mxa.knobChanged; }

int MxaCreateElemKnobs(MixElem* elem) {
  if (elem->KnobCount <= 0) return 1;
  MixKnob* knobs = static_cast<MixKnob*>(std::calloc(static_cast<size_t>(elem->KnobCount), sizeof(MixKnob)));
  if (!knobs) return 0;
  MixAutLib& lib = MixAutLibGet();
  const MixDoc* doc = elem->Column ? elem->Column->Doc : nullptr;
  for (int k = 0; k < elem->KnobCount; ++k) {
    const ELEMKNOBPROPINFO info = KnobInfo(elem, k);
    MixKnob& kn = knobs[k];
    kn.HostId = RegisterId(&kn);
    AutKnobDesc desc{};
    desc.glide = info.Kind == 0 ? 1 : 0;
    if (!lib.CreateKnob(kn.HostId, &desc, &kn.Handle)) {
      ReleaseId(kn.HostId);
      for (int j = 0; j < k; ++j) {
        lib.DeleteKnob(knobs[j].Handle);
        ReleaseId(knobs[j].HostId);
      }
      std::free(knobs);
      return 0;
    }
    kn.Index = k;
    kn.Elem = elem;
    kn.EnableMode = (elem->Kind == kMixOutput && std::strcmp(info.Name, "Solo") == 0) ? 0 : 2;
    lib.SetKnobAutomEnableMode(kn.Handle, (doc && doc->AutomEnable) ? kn.EnableMode : 0);
    // The range is fitted in 24 bits before the first value goes out, so
    // that every value the library sees is on the same scale.
    int64_t lo = info.RawMin, hi = info.RawMax;
    while (std::llabs(lo) > kMxaRangeMax || std::llabs(hi) > kMxaRangeMax) {
      lo /= 2;
      hi /= 2;
      ++kn.ValueShift;
    }
    lib.SetKnobValue(kn.Handle, Shifted(&kn, ReadKnob(elem, k)), 0, 0);
    g_mxa.knobChanged = 1;
  }
  elem->Knobs = knobs;
  return 1;
}

void MxaDeleteElemKnobs(MixElem* elem, int rebuild) {
  if (!elem->Knobs) return;
  MixAutLib& lib = MixAutLibGet();
  for (int k = 0; k < elem->KnobCount; ++k) {
    lib.DeleteKnob(elem->Knobs[k].Handle);
    ReleaseId(elem->Knobs[k].HostId);
  }
  std::free(elem->Knobs);
  elem->Knobs = nullptr;
  if (rebuild && elem->Column) MxaRebuildPlayMaps(elem->Column->Doc, 1);
}

void MxaSetKnobEnable(MixKnob* knob) {
  g_mxa.knobChanged = 1;
  const MixDoc* doc = knob->Elem->Column ? knob->Elem->Column->Doc : nullptr;
  MixAutLibGet().SetKnobAutomEnableMode(knob->Handle,
                                        (doc && doc->AutomEnable) ? static_cast<uint32_t>(knob->EnableMode) : 0);
}

void MxaApplyEnableAll(MixDoc* doc) {
  ForEachKnob(doc, [](MixKnob* k) { MxaSetKnobEnable(k); });
}

int MxaKnobAutomatable(const MixKnob* knob) {
  const MixElem* e = knob->Elem;
  if (e->Kind == kMixNatRec) return 0;
  if (e->Type == 420 || e->Type == 422) return knob->Index >= 0 && knob->Index <= 3;
  return 1;
}

int MxaSetKnobValue(MixKnob* knob, int32_t value, uint32_t code) {
  if (!MxaKnobAutomatable(knob)) return 1;
  MixHost& host = MixHostGet();
  uint32_t time;
  if (host.TransportState() == 4) {
    const uint32_t timer = host.TimerCount();
    if (g_mxa.recTimeValid && timer == g_mxa.recTimer && knob->Elem->Kind != kMixNatEffect) {
      time = g_mxa.recTime;
    } else {
      time = host.RecordingUnitClock();
      g_mxa.recTime = time;
      g_mxa.recTimer = timer;
      g_mxa.recTimeValid = true;
    }
  } else {
    time = static_cast<uint32_t>(g_mxa.now);
  }
  g_mxa.knobChanged = 1;
  return MixAutLibGet().SetKnobValue(knob->Handle, Shifted(knob, value), time, code);
}

void MxaSendAllKnobs(MixDoc* doc, int cls, uint32_t code) {
  ForEachKnob(doc, [cls, code](MixKnob* k) {
    const ELEMKNOBPROPINFO info = KnobInfo(k->Elem, k->Index);
    if (info.ReadOnly) return;
    if (cls == 1 && info.Kind != 0) return;
    if (cls == 2 && info.Kind == 0) return;
    MxaSetKnobValue(k, ReadKnob(k->Elem, k->Index), code);
  });
}

int32_t MxaKnobTrack(const MixKnob* knob) {
  if (knob->TrackOverride > 0) return knob->TrackOverride - 1;
  return knob->Elem->Column ? knob->Elem->Column->Number : 0;
}

int MxaAssignKnobTrks(MixDoc* doc) {
  std::map<int32_t, uint32_t> next;
  ForEachKnob(doc, [&next](MixKnob* k) {
    const int32_t track = MxaKnobTrack(k);
    const uint32_t index = next[track]++;
    k->TrackIndex = static_cast<int32_t>(index);
    MixAutLibGet().SetKnobTrkAndIndx(k->Handle, static_cast<uint32_t>(track), index);
  });
  return MxaRebuildPlayMaps(doc, 1);
}

MixKnob* MxaKnobById(uint32_t hostId) {
  return (hostId >= 1 && hostId <= g_mxa.ids.size()) ? g_mxa.ids[hostId - 1] : nullptr;
}

void MxaKnobValueCallback(uint32_t hostId, int32_t value) {
  MixKnob* k = MxaKnobById(hostId);
  if (!k || !k->Elem->Ref) return;
  ELEMKNOBVALUE kv{static_cast<uint32_t>(k->Index),
                   static_cast<int32_t>(static_cast<uint32_t>(value) << k->ValueShift)};
  CallSetElement(k->Elem->Ref, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
}

// Automation Takes.

int32_t MxaEntWord(const MxaKnobEntry& e, int word) {
  int32_t v;
  std::memcpy(&v, e.Bytes + 4 * word, 4);
  return v;
}
void MxaEntSetWord(MxaKnobEntry* e, int word, int32_t value) { std::memcpy(e->Bytes + 4 * word, &value, 4); }
void MxaEntSetText(MxaKnobEntry* e, int at, int size, const char* text) {
  std::memset(e->Bytes + at, 0, static_cast<size_t>(size));
  std::strncpy(reinterpret_cast<char*>(e->Bytes + at), text, static_cast<size_t>(size - 1));
}

namespace {
const MxaKnobEntry* Entry(const MxaTake* take, int i) {
  if (!take || !take->Knobs || i < 0 || i >= take->KnobCount) return nullptr;
  return &take->Knobs[i];
}
// A text field of an entry, bounded by the field's end.
std::string EntText(const MxaKnobEntry& e, int at, int size) {
  const char* p = reinterpret_cast<const char*>(e.Bytes + at);
  return std::string(p, strnlen(p, static_cast<size_t>(size)));
}
int64_t Range(const MxaKnobEntry& e) {
  return int64_t{MxaEntWord(e, kMxaEntRawMax)} - MxaEntWord(e, kMxaEntRawMin);
}
}  // namespace

int32_t MxaTakeKnobCount(const MxaTake* take) { return take ? take->KnobCount : 0; }
int32_t MxaTakeKnobId(const MxaTake* take, int i) {
  const MxaKnobEntry* e = Entry(take, i);
  return e ? MxaEntWord(*e, kMxaEntKnobId) : 0;
}
int32_t MxaTakeKnobEnabled(const MxaTake* take, int i) {
  const MxaKnobEntry* e = Entry(take, i);
  return e ? MxaEntWord(*e, kMxaEntDisabled) == 0 : 0;
}

void MxaTakeKnobName(const MxaTake* take, int i, char* buf, int size) {
  if (size <= 0) return;
  buf[0] = '\0';
  const MxaKnobEntry* e = Entry(take, i);
  if (!e) return;
  std::string text = EntText(*e, kMxaEntNameAt, kMxaEntParamAt - kMxaEntNameAt - 4);
  const int32_t instance = MxaEntWord(*e, kMxaEntInstance);
  if (instance > 0) text += " #" + std::to_string(int64_t{instance} + 1);
  text += " - ";
  text += EntText(*e, kMxaEntParamAt, 4 * kMxaEntRawMin - kMxaEntParamAt);
  std::snprintf(buf, static_cast<size_t>(size), "%s", text.c_str());
}

int32_t MxaTakeRecMapValue(MxaTake* take) {
  int32_t key = -1;
  if (take->RecMap) MixAutLibGet().GetRecordLogKnobMapValue(take->RecMap, -1, &key, nullptr);
  take->RecMapValue = key == -1 ? 0 : key;
  return take->RecMapValue;
}

int MxaTakeKnobEventNear(const MxaTake* take, int previous, int i, int32_t scale, uint32_t* location,
                         int32_t* value) {
  const MxaKnobEntry* e = Entry(take, i);
  if (!e) return 0;
  AutLogKnobEvent ev{};
  MixAutLib& lib = MixAutLibGet();
  const int32_t key = i;
  const int ok = previous ? lib.GetPrvLogKnobEventFromLoc(take->Log, key, *location, &ev)
                          : lib.GetNxtLogKnobEventFromLoc(take->Log, key, *location, &ev);
  if (!ok) return 0;
  *location = ev.location;
  const int64_t range = Range(*e);
  *value = range != 0 ? static_cast<int32_t>((int64_t{ev.value} - MxaEntWord(*e, kMxaEntRawMin)) * scale / range)
                      : 0;
  return 1;
}

void MxaTakeKnobScale(const MxaTake* take, int i, int32_t scale, int32_t* value) {
  const MxaKnobEntry* e = Entry(take, i);
  const int64_t range = e ? Range(*e) : 0;
  if (range == 0 || scale == 0) return;
  const int64_t raw = int64_t{*value} * range / scale;
  *value = static_cast<int32_t>(raw * scale / range);
}

namespace {

// The live knob of a Take's knob entry on a track: the n-th element of the
// entry's type on that track, its knob of the entry's index.
MixKnob* LiveKnob(MixDoc* doc, const MxaKnobEntry& e, int32_t track) {
  const uint32_t type = static_cast<uint32_t>(MxaEntWord(e, kMxaEntType));
  const int32_t index = MxaEntWord(e, kMxaEntKnobId);
  int32_t n = MxaEntWord(e, kMxaEntInstance);
  for (MixColumn* c = doc->First; c; c = c->Next)
    for (MixElem* el = c->First; el; el = el->Next) {
      if (el->Type != type || !el->Knobs || index < 0 || index >= el->KnobCount) continue;
      if (MxaKnobTrack(&el->Knobs[index]) != track) continue;
      if (n-- == 0) return &el->Knobs[index];
    }
  return nullptr;
}

void PrintScaled(char* buf, int size, int64_t shown, int32_t divisor) {
  const bool neg = shown < 0;
  const uint64_t mag = neg ? static_cast<uint64_t>(-shown) : static_cast<uint64_t>(shown);
  const char* sign = neg ? "-" : "";
  int digits = 0;
  switch (divisor) {
    case 10: digits = 1; break;
    case 100: digits = 2; break;
    case 1000: digits = 3; break;
    case 10000: digits = 4; break;
    default: break;
  }
  if (digits == 0) {
    std::snprintf(buf, static_cast<size_t>(size), "%s%llu", sign, static_cast<unsigned long long>(mag));
    return;
  }
  const uint64_t d = static_cast<uint64_t>(divisor);
  std::snprintf(buf, static_cast<size_t>(size), "%s%llu.%0*llu", sign, static_cast<unsigned long long>(mag / d),
                digits, static_cast<unsigned long long>(mag % d));
}

}  // namespace

int MxaKnobValueText(const MxaTake* take, int i, int32_t scale, int32_t value, MixDoc* doc, int32_t track,
                     char* buf, int size) {
  if (size <= 0) return 0;
  buf[0] = '\0';
  const MxaKnobEntry* e = Entry(take, i);
  if (!e || MxaEntWord(*e, kMxaEntDisabled) != 0 || scale == 0) return 0;
  const int64_t range = Range(*e);
  const int64_t raw = int64_t{value} * range / scale;
  const int32_t rawMin = MxaEntWord(*e, kMxaEntRawMin);

  if (doc && track >= 0 && doc->AutomEnable) {
    MixKnob* live = LiveKnob(doc, *e, track);
    if (live && live->EnableMode != 0 && live->Elem->Ref) {
      ELEMKNOBVALUE kv{static_cast<uint32_t>(live->Index), static_cast<int32_t>(raw + rawMin)};
      CallSetElement(live->Elem->Ref, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
      MixAutLibGet().SetKnobValue(live->Handle, Shifted(live, kv.Value), static_cast<uint32_t>(g_mxa.now), 0);
      g_mxa.knobChanged = 1;
      ELEMKNOBTEXT kt{};
      kt.Index = static_cast<uint32_t>(live->Index);
      if (CallGetElement(live->Elem->Ref, kGetKnobText, &kt) && kt.Text[0]) {
        kt.Text[kElemTextSize - 1] = '\0';
        std::snprintf(buf, static_cast<size_t>(size), "%s", kt.Text);
        return 1;
      }
    }
  }

  const int32_t dmin = MxaEntWord(*e, kMxaEntDispMin);
  const int32_t dmax = MxaEntWord(*e, kMxaEntDispMax);
  const int32_t divisor = MxaEntWord(*e, kMxaEntDivisor);
  const int32_t kind = MxaEntWord(*e, kMxaEntScaleKind);
  int64_t shown;
  if (kind == 0 || kind == 1) {
    shown = range != 0 ? raw * (int64_t{dmax} - dmin) / range + dmin : dmin;
  } else if (kind == 2) {
    // The gain law has no value at or below 0: it shows the display minimum.
    shown = raw <= 0 ? dmin
                     : static_cast<int64_t>(20.0 * divisor * std::log10(static_cast<double>(raw) / 32768.0));
  } else {
    return 0;
  }
  char number[48];
  PrintScaled(number, sizeof number, shown, divisor);
  const std::string unit = EntText(*e, kMxaEntUnitAt, 16);
  std::snprintf(buf, static_cast<size_t>(size), "%s%s", number, unit.c_str());
  return 1;
}

// Play maps.

int MxaRebuildPlayMaps(MixDoc* doc, int flag) {
  MixAutLib& lib = MixAutLibGet();
  std::vector<MixAutPart> parts;
  MixHostGet().AutomationParts(&parts);
  std::stable_sort(parts.begin(), parts.end(),
                   [](const MixAutPart& a, const MixAutPart& b) { return a.track < b.track; });
  lib.DeleteAllViewLists(0);
  lib.DeleteAllPlayLogKnobMaps();
  int ok = 1;
  AutViewListHandle list = 0;
  int32_t listTrack = -1;
  for (const MixAutPart& part : parts) {
    const MxaTake* take = MxaReadTake(part.take);
    if (!take || part.track < 0 || part.length == 0) continue;
    if (part.track != listTrack) {
      listTrack = part.track;
      list = 0;
      if (!lib.CreateViewList(static_cast<uint32_t>(part.track), 0, &list)) ok = 0;
    }
    AutMapHandle map = 0;
    if (!list || !lib.CreatePlayLogKnobMap(take->KnobCount, &map)) {
      ok = 0;
      continue;
    }
    for (int k = 0; doc && k < take->KnobCount; ++k)
      if (const MixKnob* live = LiveKnob(doc, take->Knobs[k], part.track))
        lib.SetPlayLogKnobMapValue(map, k, live->Handle);
    const AutView view{part.start, part.length, part.offset, take->Log, map};
    if (!lib.AddView(list, &view)) ok = 0;
  }
  if (flag && ok) {
    lib.SetLocator(static_cast<uint32_t>(g_mxa.now), 1);
    g_mxa.knobChanged = 0;
  }
  return ok;
}

// Take records.

MxaTake* MxaTakeList() { return g_mxa.takes; }

void MxaTakeAppend(MxaTake* take) {
  take->Next = nullptr;
  MxaTake** link = &g_mxa.takes;
  while (*link) link = &(*link)->Next;
  *link = take;
}

namespace {
void Unlink(MxaTake* take) {
  for (MxaTake** link = &g_mxa.takes; *link; link = &(*link)->Next)
    if (*link == take) {
      *link = take->Next;
      take->Next = nullptr;
      return;
    }
}

void ReleaseContents(MxaTake* take) {
  MixAutLib& lib = MixAutLibGet();
  if (take->Log) lib.DeleteLog(take->Log);
  if (take->RecMap) lib.DeleteRecordLogKnobMap(take->RecMap);
  std::free(take->Knobs);
  Unlink(take);
  std::memset(take, 0, sizeof *take);
}

// The target record, emptied, or a new one; null after 195.
MxaTake* Target(MxaTake** target, void** owner) {
  *owner = nullptr;
  if (*target) {
    *owner = (*target)->Owner;
    ReleaseContents(*target);
    return *target;
  }
  *target = static_cast<MxaTake*>(std::calloc(1, sizeof(MxaTake)));
  if (!*target) MixHostGet().Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
  return *target;
}

int Fail(MxaTake** target) {
  MixHostGet().Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
  if (*target) {
    ReleaseContents(*target);
    std::free(*target);
    *target = nullptr;
  }
  return 0;
}

int FinishCopy(MxaTake** target, MxaTake* t, const MxaTake* source, void* owner) {
  t->Owner = owner;
  t->RecMap = 0;
  t->TakeId = source->TakeId;
  t->Changed = 1;
  t->KnobCount = source->KnobCount;
  t->RecMapValue = source->RecMapValue;
  if (source->KnobCount > 0) {
    t->Knobs = static_cast<MxaKnobEntry*>(std::malloc(sizeof(MxaKnobEntry) * static_cast<size_t>(source->KnobCount)));
    if (!t->Knobs) return Fail(target);
    std::memcpy(t->Knobs, source->Knobs, sizeof(MxaKnobEntry) * static_cast<size_t>(source->KnobCount));
  }
  MxaTakeAppend(t);
  return 1;
}
}  // namespace

int MxaCopyTakeRange(MxaTake** target, const MxaTake* source, uint32_t start, uint32_t end, int32_t filter,
                     uint32_t reduceMs) {
  void* owner = nullptr;
  MxaTake* t = Target(target, &owner);
  if (!t) return 0;
  MixAutLib& lib = MixAutLibGet();
  if (!lib.CopyLog(&t->Log, source->Log, start, end)) return Fail(target);
  const uint32_t tolerance =
      static_cast<uint32_t>(uint64_t{MixHostGet().SampleRate()} * reduceMs / 1000);
  for (int i = 0; i < source->KnobCount; ++i) {
    if (filter != -1 && filter != i) continue;
    if (!MxaTakeKnobEnabled(source, i)) continue;
    lib.ReduceLogKnobEvents(t->Log, i, 0, kMxaEndLimit, tolerance);
  }
  return FinishCopy(target, t, source, owner);
}

int MxaCopyTakeEdit(MxaTake** target, const MxaTake* source, uint32_t start, uint32_t end, int i,
                    int32_t deleteLocation, int32_t newLocation, int32_t value, int32_t scale) {
  void* owner = nullptr;
  MxaTake* t = Target(target, &owner);
  if (!t) return 0;
  MixAutLib& lib = MixAutLibGet();
  if (!lib.CopyLog(&t->Log, source->Log, start, end)) return Fail(target);
  if (deleteLocation >= 0) lib.DeleteLogKnobEvent(t->Log, i, static_cast<uint32_t>(deleteLocation));
  const MxaKnobEntry* e = Entry(source, i);
  if (newLocation >= 0 && e && scale != 0) {
    AutLogKnobEvent ev{};
    ev.key = i;
    ev.location = static_cast<uint32_t>(newLocation);
    ev.value = static_cast<int32_t>(int64_t{value} * Range(*e) / scale + MxaEntWord(*e, kMxaEntRawMin));
    lib.AddLogKnobEvent(t->Log, &ev);
  }
  return FinishCopy(target, t, source, owner);
}

int MxaFreeTakeRec(MxaTake* take) {
  if (!take) return 1;
  ReleaseContents(take);
  std::free(take);
  return 1;
}

MxaTake* MxaTakeByLog(AutLogHandle log) {
  for (MxaTake* t = g_mxa.takes; t; t = t->Next)
    if (t->Log == log) return t;
  return nullptr;
}

MxaTake* MxaTakeByOwner(const void* owner) {
  if (!owner) return nullptr;
  for (MxaTake* t = g_mxa.takes; t; t = t->Next)
    if (t->Owner == owner) return t;
  return nullptr;
}

// Automation Take files.

namespace {
constexpr uint32_t kEventBytes = 16;
constexpr uint32_t kReadChunk = 4096;  // events read at a time

void PutEvent(uint8_t* at, const AutLogKnobEvent& ev) {
  const int32_t w[4] = {ev.key, static_cast<int32_t>(ev.location), ev.value, 0};
  std::memcpy(at, w, kEventBytes);
}
AutLogKnobEvent GetEvent(const uint8_t* at) {
  int32_t w[4];
  std::memcpy(w, at, kEventBytes);
  return AutLogKnobEvent{w[0], static_cast<uint32_t>(w[1]), w[2], 0};
}

// Reads the events of a Take's data into a new log; 0 when the data cannot be
// read or names a knob the Take does not have.
int ReadEvents(void* owner, uint32_t at, uint32_t count, int32_t knobs, AutLogHandle log) {
  MixHost& host = MixHostGet();
  MixAutLib& lib = MixAutLibGet();
  std::vector<uint8_t> chunk;
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(kReadChunk, count - done);
    chunk.resize(size_t{n} * kEventBytes);
    if (!host.TakeData(owner, 0, at + done * kEventBytes, n * kEventBytes, chunk.data())) return 0;
    for (uint32_t i = 0; i < n; ++i) {
      const AutLogKnobEvent ev = GetEvent(chunk.data() + size_t{i} * kEventBytes);
      if (ev.key < 0 || ev.key >= knobs) return 0;
      if (!lib.AddLogKnobEvent(log, &ev)) return 0;
    }
    done += n;
  }
  return 1;
}
}  // namespace

MxaTake* MxaReadTake(void* owner) {
  if (!owner) return nullptr;
  if (MxaTake* known = MxaTakeByOwner(owner)) return known;
  MixHost& host = MixHostGet();
  const uint32_t knobs = host.TakeWord(owner, kMxaAttrKnobCount);
  const uint32_t events = host.TakeWord(owner, kMxaAttrLength);
  const uint32_t bytes = host.TakeWord(owner, kMxaAttrDataBytes);
  // The data holds exactly the knob table and the events it states.
  if (knobs > kMxaMaxTakeKnobs ||
      uint64_t{knobs} * kMxaKnobEntrySize + uint64_t{events} * kEventBytes != bytes)
    return nullptr;
  MxaTake* t = static_cast<MxaTake*>(std::calloc(1, sizeof(MxaTake)));
  if (t && knobs) t->Knobs = static_cast<MxaKnobEntry*>(std::calloc(knobs, sizeof(MxaKnobEntry)));
  if (!t || (knobs && !t->Knobs)) {
    if (t) std::free(t);
    host.Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return nullptr;
  }
  t->Owner = owner;
  t->KnobCount = static_cast<int32_t>(knobs);
  t->RecMapValue = static_cast<int32_t>(host.TakeWord(owner, kMxaAttrMapValue));
  const uint32_t table = knobs * kMxaKnobEntrySize;
  bool ok = !knobs || host.TakeData(owner, 0, 0, table, t->Knobs);
  ok = ok && MixAutLibGet().CreateLog(&t->Log);
  ok = ok && ReadEvents(owner, table, events, t->KnobCount, t->Log);
  if (!ok) {
    MxaFreeTakeRec(t);
    return nullptr;
  }
  host.TakeSetWord(owner, kMxaAttrLog, t->Log);
  MxaTakeAppend(t);
  return t;
}

int MxaWriteTake(MxaTake* take) {
  if (!take || !take->Owner || take->KnobCount < 0) return 0;
  MixHost& host = MixHostGet();
  MixAutLib& lib = MixAutLibGet();
  int32_t count = 0;
  if (!lib.GetLogKnobEventCnt(take->Log, &count) || count < 0) return 0;
  const uint64_t bytes =
      uint64_t{static_cast<uint32_t>(take->KnobCount)} * kMxaKnobEntrySize + uint64_t{static_cast<uint32_t>(count)} * kEventBytes;
  if (bytes > UINT32_MAX) return 0;
  std::vector<uint8_t> data;
  std::vector<AutLogKnobEvent> events;
  try {
    data.resize(static_cast<size_t>(bytes));
    events.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    host.Message(IDS_HEAP_ALLOC_FAILED, kMixMsgExclamation, nullptr);
    return 0;
  }
  if (count && (!lib.GetAllLogKnobEvents(take->Log, &count, events.data()) || count < 0 ||
                static_cast<size_t>(count) > events.size()))
    return 0;
  const size_t table = size_t{static_cast<uint32_t>(take->KnobCount)} * kMxaKnobEntrySize;
  if (table) std::memcpy(data.data(), take->Knobs, table);
  for (int32_t i = 0; i < count; ++i) PutEvent(data.data() + table + size_t{static_cast<uint32_t>(i)} * kEventBytes, events[i]);
  const uint32_t used = static_cast<uint32_t>(table + size_t{static_cast<uint32_t>(count)} * kEventBytes);
  void* owner = take->Owner;
  if (!host.TakeSetWord(owner, kMxaAttrDataBytes, used)) return 0;
  if (used && !host.TakeData(owner, 1, 0, used, data.data())) return 0;
  if (!host.TakeSetWord(owner, kMxaAttrLength, static_cast<uint32_t>(count)) ||
      !host.TakeSetWord(owner, kMxaAttrKnobCount, static_cast<uint32_t>(take->KnobCount)) ||
      !host.TakeSetWord(owner, kMxaAttrMapValue, static_cast<uint32_t>(take->RecMapValue)))
    return 0;
  host.TakeSetWord(owner, kMxaAttrLog, take->Log);
  take->Changed = 0;
  return 1;
}

int MxaWriteChangedTakes(int write) {
  for (MxaTake* t = g_mxa.takes; t; t = t->Next) {
    if (!t->Changed) continue;
    if (!write || !MxaWriteTake(t)) return 0;
  }
  return 1;
}

int MxaCopyTakeRangeOf(void* targetTake, void* sourceTake, uint32_t start, uint32_t end, int32_t filter,
                       uint32_t reduceMs) {
  const MxaTake* source = MxaReadTake(sourceTake);
  if (!source || !targetTake || targetTake == sourceTake) return 0;
  MxaTake* target = MxaTakeByOwner(targetTake);
  if (!MxaCopyTakeRange(&target, source, start, end, filter, reduceMs)) return 0;
  target->Owner = targetTake;
  MixHostGet().TakeSetWord(targetTake, kMxaAttrLog, target->Log);
  return 1;
}

// The automation record command.

int MixAutomRecordCmd(MixDoc* doc) {
  MixHost& host = MixHostGet();
  const int state = host.TransportState();
  if (state == 3 || state == 4 || state == 0 || state == 1) {
    MxaSendAllKnobs(doc, 0, 0);
    return 1;
  }
  int ready = -1;
  for (int t = 0; t < 128 && ready < 0; ++t)
    if (host.AutRecTrackState(t) == 2) ready = t;
  if (ready < 0) return 0;

  const MixAutRecordSettings set = host.AutRecordSettings();
  int64_t start, end;
  if (set.stepLength > 0) {
    start = g_mxa.now;
    end = start + set.stepLength;
    if (end > kMxaEndLimit) end = kMxaEndLimit;
  } else {
    start = host.LeftLocator();
    end = host.RightLocator();
  }
  if (end - start < 4) return 0;

  int saved[192];
  for (int t = 0; t < 192; ++t) {
    saved[t] = host.AudioRecTrackState(t);
    host.SetAudioRecTrackState(t, 0);
  }
  const uint32_t savedSetting = host.SwapRecordSetting(24);
  const uint32_t rate = host.SampleRate();
  int result = 0;
  if (host.RecordPass(static_cast<int32_t>(start), static_cast<int32_t>(end))) {
    MixAutLib& lib = MixAutLibGet();
    const uint32_t savedMode = g_mxa.recordMode;
    g_mxa.recordMode = 0;
    lib.SetRecordMode(0);
    MxaStartPlayRec(0);
    MxaSendAllKnobs(doc, 2, 2);
    if (!(set.options & kMxaRecOptOnce)) {
      g_mxa.now = static_cast<int32_t>(start);
      MxaSendAllKnobs(doc, 1, 3);
      int64_t at = start + int64_t{set.firstTimeMs} * rate / 1000 + 1;
      if (at > end - 3) at = end - 3;
      g_mxa.now = static_cast<int32_t>(at);
      MxaSendAllKnobs(doc, 1, 6);
    } else {
      MxaSendAllKnobs(doc, 1, 2);
    }
    if (set.options & kMxaRecOptEnd) {
      if (set.options & kMxaRecOptReturn) {
        int64_t at = end - int64_t{set.secondTimeMs} * rate / 1000 - 2;
        if (at < start + 2) at = start + 2;
        g_mxa.now = static_cast<int32_t>(at);
        MxaSendAllKnobs(doc, 1, 2);
        g_mxa.now = static_cast<int32_t>(end - 1);
        MxaSendAllKnobs(doc, 2, 7);
      } else {
        g_mxa.now = static_cast<int32_t>(end - 1);
      }
      MxaSendAllKnobs(doc, 1, (set.options & kMxaRecOptReturn) ? 7 : 2);
    }
    g_mxa.now = static_cast<int32_t>(end);
    MxaStopPlayRec(static_cast<int32_t>(end));
    host.RecordStop(g_mxa.now);
    g_mxa.recordMode = savedMode;
    lib.SetRecordMode(savedMode);
    if ((set.options & kMxaRecOptEnd) && (set.options & kMxaRecOptReturn))
      lib.SetLocator(static_cast<uint32_t>(start), 0);
    result = 1;
  }
  host.RefreshDisplays();
  host.SwapRecordSetting(savedSetting);
  for (int t = 0; t < 192; ++t) host.SetAudioRecTrackState(t, saved[t]);
  return result;
}

int MxaRefreshAfterEditDoc(MixDoc* doc, int32_t position) {
  MixHost& host = MixHostGet();
  if (!MxaRebuildPlayMaps(doc, 1)) return 0;
  const int state = host.TransportState();
  if (state == 3 || state == 4 || host.TransportBusyFlag()) return 1;
  MxaSetNowLocValue(position);
  return 1;
}
