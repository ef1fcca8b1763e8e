// The element's behaviour: defaults, knob rows, set and get codes, state
// restore, the window edits, meters, and the ten entry points.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "elements/Qvmxel1b/span.h"
#include "elements/Qvmxel1b/spanapi.h"

namespace span {
namespace {

int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return kDspNoResource; }
int32_t ELEMAPI NoNotify(void*, uint32_t, uintptr_t) { return 0; }

ElemList g_live;

Element* Live(ElemHandle h) {
  return h && ElemListHas(&g_live, static_cast<ElemLink*>(h)) ? static_cast<Element*>(h) : nullptr;
}

int32_t Dsp(Element* e, uint32_t op, uint32_t area, uint32_t offset, uint32_t count, uint32_t* words) {
  return e->DspHandle ? ModuleHooks().Dsp(e->DspHandle, op, area, offset, count, words) : kDspNoResource;
}

template <typename T>
T Clamp(T v, T lo, T hi) {
  return v < lo ? lo : v > hi ? hi : v;
}

// Solo knob value of a solo state: 1 solo, 2 exclusive, else 0.
int32_t SoloKnob(uint32_t state) { return state == 1 ? 1 : state == 3 ? 2 : 0; }

void SetPath(State* s, const char* folder, const char* name) {
  std::snprintf(s->PresetPath, kPathSize, "%s%s", folder, name);
}

}  // namespace

Hooks& ModuleHooks() {
  static Hooks hooks{NoDsp, NoNotify};
  return hooks;
}

int32_t Notify(Element* e, uint32_t code, uintptr_t value) { return ModuleHooks().Notify(e->HostContext, code, value); }

void Sanitize(State* s) {
  s->Length = kStateSize;
  s->X1 = Clamp(s->X1, -kPanMax, kPanMax);
  s->Y1 = Clamp(s->Y1, -kPanMax, kPanMax);
  s->X2 = Clamp(s->X2, -kPanMax, kPanMax);
  s->Y2 = Clamp(s->Y2, -kPanMax, kPanMax);
  s->Solo = Clamp<uint32_t>(s->Solo, 0, 3);
  s->Volume = Clamp<uint32_t>(s->Volume, 0, 65536);
  s->Mute = s->Mute != 0;
  s->SoloGroup = Clamp<uint32_t>(s->SoloGroup, 0, 98);
  s->FaderGroup = Clamp<uint32_t>(s->FaderGroup, 0, 98);
  s->PresetPath[kPathSize - 1] = 0;
  s->BigOpen = s->BigOpen != 0;
  s->PanMode = Clamp<uint32_t>(s->PanMode, 0, 3);
  s->DivF = Clamp<uint32_t>(s->DivF, 0, 100);
  s->DivR = Clamp<uint32_t>(s->DivR, 0, 100);
  s->DivFR = Clamp<uint32_t>(s->DivFR, 0, 100);
  s->Center = Clamp<uint32_t>(s->Center, 0, 100);
  s->Lfe = Clamp<uint32_t>(s->Lfe, 0, 32768);
  s->LfeMute = s->LfeMute != 0;
  for (uint32_t& on : s->On) on = on != 0;
}

void Defaults(Element* e) {
  State& s = e->St;
  s = State{};
  s.Length = kStateSize;
  s.Volume = kUnity;
  s.DivF = s.DivR = s.DivFR = s.Center = 100;
  for (uint32_t& on : s.On) on = 1;
  SetPath(&s, StrText(IDS_SPAN_FOLDER), kUntitled);
  UiCentred(315, 586, &s.BigX, &s.BigY);
  e->SelectedDot1 = 1;
  e->Dot1Color = UiSkinDotColor(1);
  e->Dot2Color = UiSkinDotColor(2);
  for (uint32_t& c : e->KnobColor) c = kNoColor;
}

int32_t RowValue(Element* e, int row) {
  const State& s = e->St;
  switch (row) {
    case kXPan: return s.X1;
    case kYPan: return s.Y1;
    case kXPanR: return s.X2;
    case kYPanR: return s.Y2;
    case kPanMode: return int32_t(s.PanMode);
    case kSolo: return SoloKnob(s.Solo);
    case kVolume: return int32_t(s.Volume);
    case kMute: return s.Mute ? 1 : 0;
    case kDivF: return int32_t(s.DivF);
    case kDivR: return int32_t(s.DivR);
    case kDivFR: return int32_t(s.DivFR);
    case kCenter: return int32_t(s.Center);
    case kLfe: return int32_t(s.Lfe);
    case kLfeMute: return s.LfeMute ? 1 : 0;
    default:
      if (row >= kLMute && row <= kRsMute) return s.On[row - kLMute] ? 0 : 1;
      return 0;
  }
}

void ReportRow(Element* e, int row) {
  const int k = KnobOfRow(e->Type, row);
  if (k < 0) return;
  ELEMKNOBVALUE kv{uint32_t(k), RowValue(e, row)};
  Notify(e, kNotifyKnob, reinterpret_cast<uintptr_t>(&kv));
}

uint32_t WriteMatrix(Element* e) {
  uint32_t words[12];
  const uint32_t n = MatrixWords(e->Type, e->St, words);
  return Dsp(e, kDspWriteRunning, 2, 0, n, words) == kDspOk;
}

uint32_t Load(Element* e) {
  WriteMatrix(e);
  uint32_t meters[2];
  Dsp(e, kDspReadMeter, 3, 0, 2, meters);
  uint32_t count = 0;
  const uint32_t* prog = Program(e->Type, &count);
  std::vector<uint32_t> copy(prog, prog + count);
  return Dsp(e, kDspProgram, 5, 0, count, copy.data()) == kDspOk;
}

void ApplyPanMode(Element* e, int fromDot1) {
  State& s = e->St;
  const int32_t x = fromDot1 ? s.X1 : s.X2, y = fromDot1 ? s.Y1 : s.Y2;
  int32_t ox, oy;
  switch (s.PanMode) {
    case 1: ox = -x, oy = y; break;
    case 2: ox = x, oy = -y; break;
    case 3: ox = -x, oy = -y; break;
    default: return;
  }
  (fromDot1 ? s.X2 : s.X1) = ox;
  (fromDot1 ? s.Y2 : s.Y1) = oy;
}

void SetRow(Element* e, int row, int32_t v) {
  State& s = e->St;
  const ELEMKNOBPROPINFO& k = kKnobTable[row];
  v = Clamp(v, k.RawMin, k.RawMax);
  switch (row) {
    case kXPan: s.X1 = v; ApplyPanMode(e, 1); break;
    case kYPan: s.Y1 = v; ApplyPanMode(e, 1); break;
    case kXPanR: s.X2 = v; ApplyPanMode(e, 0); break;
    case kYPanR: s.Y2 = v; ApplyPanMode(e, 0); break;
    case kPanMode: s.PanMode = uint32_t(v); ApplyPanMode(e, int(e->SelectedDot1)); break;
    case kVolume: s.Volume = uint32_t(v); break;
    case kMute: s.Mute = uint32_t(v); break;
    case kDivF: s.DivF = uint32_t(v); break;
    case kDivR: s.DivR = uint32_t(v); break;
    case kDivFR: s.DivFR = uint32_t(v); break;
    case kCenter: s.Center = uint32_t(v); break;
    case kLfe: s.Lfe = uint32_t(v); break;
    case kLfeMute: s.LfeMute = uint32_t(v); break;
    default:
      if (row >= kLMute && row <= kRsMute) s.On[row - kLMute] = v ? 0 : 1;
      break;
  }
}

void SoloRequest(Element* e, uint32_t request) {
  e->OwnRequest = 1;
  Notify(e, kNotifySolo, request);
  e->OwnRequest = 0;
}

void ToggleMute(Element* e, int gesture) {
  if (gesture) Notify(e, kNotifyTouch, 1);
  e->St.Mute = !e->St.Mute;
  Notify(e, kNotifyMute, e->St.Mute);
  if (gesture) Notify(e, kNotifyTouch, 0);
  ReportRow(e, kMute);
  WriteMatrix(e);
  Ui(e, kUiValues);
}

void SpeakerSolo(Element* e, int speaker) {
  State& s = e->St;
  bool otherOn = false;
  for (int i = 0; i < kSpeakers; ++i)
    if (i != speaker && s.On[i] && KnobOfRow(e->Type, kLMute + i) >= 0) otherOn = true;
  for (int i = 0; i < kSpeakers; ++i) s.On[i] = otherOn ? (i == speaker) : 1;
  for (int r = kLMute; r <= kRsMute; ++r) ReportRow(e, r);
  WriteMatrix(e);
  Ui(e, kUiValues);
}

int ReadMeters(Element* e) {
  uint32_t w[2] = {0, 0};
  if (Dsp(e, kDspReadMeter, 3, 0, 2, w) != kDspOk) return 0;
  const int n = IsStereo(e->Type) ? 2 : 1;
  for (int i = 0; i < n; ++i) {
    int32_t v = int32_t(w[i] << 8) >> 8;
    v = v < 0 ? -v : v;
    e->Meter[i] = v;
    e->Peaks[i] = std::max(e->Peaks[i], v);
  }
  return n;
}

uint32_t Restore(Element* e, const void* data, uint32_t length) {
  if (!data || length > kStateSize) return 0;
  const uint32_t solo = e->St.Solo;
  State s = e->St;
  std::memcpy(&s, data, length);
  Sanitize(&s);
  const uint32_t wanted = s.Solo;
  s.Solo = solo;
  e->St = s;
  // The solo state itself belongs to the host: a different one is asked
  // for. "Muted by another element's solo" is not something to ask for.
  if (wanted != solo && wanted != 2) SoloRequest(e, wanted == 1 ? 3 : wanted);
  Ui(e, e->St.BigOpen ? kUiOpenBig : kUiCloseBig);
  Ui(e, kUiValues);
  Notify(e, kNotifyVolume, e->St.Volume);
  Notify(e, kNotifyMute, e->St.Mute);
  Notify(e, kNotifySoloGroup, e->St.SoloGroup);
  Notify(e, kNotifyFaderGroup, e->St.FaderGroup);
  static const int rows[] = {kVolume, kMute, kXPan, kYPan, kXPanR, kYPanR, kPanMode, kDivF, kDivR, kDivFR,
                             kCenter, kLfe, kLfeMute, kLMute, kCMute, kRMute, kLsMute, kCsMute, kRsMute};
  for (int r : rows) ReportRow(e, r);
  Notify(e, kNotifyBigWindow, e->St.BigOpen ? 0 : 1);
  WriteMatrix(e);
  return 1;
}

uint32_t PresetApply(Element* e, const State& loaded, const char* path) {
  State s = loaded;
  std::snprintf(s.PresetPath, kPathSize, "%s", path);
  s.BigOpen = e->St.BigOpen;
  s.BigX = e->St.BigX;
  s.BigY = e->St.BigY;
  return Restore(e, &s, kStateSize);
}

uint32_t Set(Element* e, uint32_t code, uintptr_t value) {
  State& s = e->St;
  switch (code) {
    case kSetName: {
      const char* name = reinterpret_cast<const char*>(value);
      if (!name) return 0;
      std::snprintf(e->Name, kElemTextSize, "%s", name);
      Ui(e, kUiLabel);
      return 1;
    }
    case kSetBlocked:
      e->Blocked = uint32_t(value != 0);
      Ui(e, kUiLabel);
      return 1;
    case kSetSolo:
      if (value > 3) return 0;
      s.Solo = uint32_t(value);
      Ui(e, kUiValues);
      if (!e->OwnRequest) ReportRow(e, kSolo);
      Notify(e, kNotifySoloMuted, s.Solo == 2);
      WriteMatrix(e);
      return 1;
    case kSetState: {
      const ELEMSTATE* st = reinterpret_cast<const ELEMSTATE*>(value);
      return st ? Restore(e, st, st->Length) : 0;
    }
    case kSetKnob: {
      const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(value);
      if (!kv) return 0;
      const int row = RowOfKnob(e->Type, kv->Index);
      if (row < 0 || row == kPeak || row == kPeakR) return 0;
      if (row == kSolo) {
        const uint32_t req = kv->Value == 1 ? 1 : kv->Value == 2 ? 3 : 0;
        if (SoloKnob(s.Solo) == SoloKnob(req)) return 1;
        e->OwnRequest = 1;
        const int32_t answer = Notify(e, kNotifySolo, req);
        e->OwnRequest = 0;
        return uint32_t(answer);
      }
      SetRow(e, row, kv->Value);
      if (row == kVolume) Notify(e, kNotifyVolume, s.Volume);
      if (row == kMute) Notify(e, kNotifyMute, s.Mute);
      WriteMatrix(e);
      Ui(e, kUiValues);
      return 1;
    }
    case kSetBigWindow:
      if (value == 0 && e->Little && !e->Big) Ui(e, kUiOpenBig);
      if (value == 1) Ui(e, kUiCloseBig);
      s.BigOpen = value == 0 && e->Big ? 1 : value == 1 ? 0 : s.BigOpen;
      return 1;
    case kSetPosition: {
      const uint32_t* pos = reinterpret_cast<const uint32_t*>(value);
      if (!pos) return 0;
      e->Column = pos[0];
      e->Index = pos[1];
      Ui(e, kUiLabel);
      return 1;
    }
    case kSetGroupVolume:
      s.Volume = std::min<uint32_t>(uint32_t(value), 65536);
      Ui(e, kUiValues);
      ReportRow(e, kVolume);
      WriteMatrix(e);
      return 1;
    case kSetGroupMute:
      s.Mute = value != 0;
      Ui(e, kUiValues);
      ReportRow(e, kMute);
      WriteMatrix(e);
      return 1;
    case kSetKnobColor: {
      const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(value);
      if (!kv) return 0;
      const int row = RowOfKnob(e->Type, kv->Index);
      int slot;
      switch (row) {
        case kXPan: slot = 0; break;
        case kXPanR: slot = 1; break;
        case kYPan: slot = 2; break;
        case kYPanR: slot = 3; break;
        case kVolume: slot = 4; break;
        default: return 0;
      }
      e->KnobColor[slot] = kv->Value == -1 ? kNoColor : uint32_t(kv->Value) & 0xFFFFFF;
      // A dot takes its X knob's colour, else its Y knob's, else the skin's.
      for (int d = 0; d < 2; ++d) {
        const uint32_t x = e->KnobColor[d], y = e->KnobColor[2 + d];
        (d ? e->Dot2Color : e->Dot1Color) = x != kNoColor ? x : y != kNoColor ? y : UiSkinDotColor(d + 1);
      }
      Ui(e, kUiColors);
      return 1;
    }
    case kSetGreyed:
      e->Greyed = value != 0;
      Ui(e, kUiLabel);
      return 1;
    default:
      return 1;
  }
}

uint32_t Get(Element* e, uint32_t code, void* out) {
  const State& s = e->St;
  switch (code) {
    case kGetSolo: *static_cast<uint32_t*>(out) = s.Solo; return 1;
    case kGetState: std::memcpy(out, &s, kStateSize); return 1;
    case kGetKnob: {
      ELEMKNOBVALUE* kv = static_cast<ELEMKNOBVALUE*>(out);
      const int row = RowOfKnob(e->Type, kv->Index);
      if (row == kPeak || row == kPeakR) {
        if (row == kPeak && !UiMetersShown(e)) ReadMeters(e);
        const int i = row - kPeak;
        kv->Value = std::min(e->Peaks[i], 32767);
        e->Peaks[i] = 0;
      } else {
        if (row < 0) return 0;
        kv->Value = RowValue(e, row);
      }
      return 1;
    }
    case kGetBigClosed: *static_cast<uint32_t*>(out) = e->Big ? 0 : 1; return 1;
    case kGetVolume: *static_cast<uint32_t*>(out) = s.Volume; return 1;
    case kGetMute: *static_cast<uint32_t*>(out) = s.Mute; return 1;
    case kGetSoloGroup: *static_cast<uint32_t*>(out) = s.SoloGroup; return 1;
    case kGetFaderGroup: *static_cast<uint32_t*>(out) = s.FaderGroup; return 1;
    default: return 0;
  }
}

int LiveCount() {
  int n = 0;
  for (ElemLink* l = g_live.Head; l; l = l->Next) ++n;
  return n;
}

}  // namespace span

using namespace span;

extern "C" {

uint32_t ELEMAPI QVInitElemModule(ElemDspCallback dsp, ElemNotifyCallback notify, ELEMMODINFO* info) {
  ModuleHooks().Dsp = dsp ? dsp : NoDsp;
  ModuleHooks().Notify = notify ? notify : NoNotify;
  UiRegister();
  if (info) *info = ModuleInfo();
  return 1;
}

uint32_t ELEMAPI QVGetElemType(uint32_t index) { return index < kTypes ? kTypeTable[index].Code : 0; }

uint32_t ELEMAPI QVGetElemTypeProperties(uint32_t typeCode, ELEMTYPEPROPINFO* out) {
  const int t = TypeOfCode(typeCode);
  if (t < 0 || !out) return 0;
  *out = kTypeTable[t].Props;
  out->KnobCount = KnobCount(t);
  return 1;
}

uint32_t ELEMAPI QVGetElemTypeKnobProperties(uint32_t typeCode, uint32_t knobIndex, ELEMKNOBPROPINFO* out) {
  const int row = RowOfKnob(TypeOfCode(typeCode), knobIndex);
  if (row < 0 || !out) return 0;
  *out = kKnobTable[row];
  return 1;
}

ElemHandle ELEMAPI QVCreateElement(uint32_t typeCode, void* hostContext) {
  const int t = TypeOfCode(typeCode);
  if (t < 0) return nullptr;
  Element* e = static_cast<Element*>(ModuleAlloc(sizeof(Element)));
  if (!e) return nullptr;
  e->Type = t;
  e->HostContext = hostContext;
  ElemListAppend(&g_live, &e->Link);
  Defaults(e);
  Notify(e, kNotifyVolume, e->St.Volume);
  Notify(e, kNotifyMute, e->St.Mute);
  Notify(e, kNotifySoloGroup, e->St.SoloGroup);
  Notify(e, kNotifyFaderGroup, e->St.FaderGroup);
  for (int r = 0; r < kKnobRows; ++r)
    if (r != kPeak && r != kPeakR) ReportRow(e, r);
  Notify(e, kNotifyBigWindow, 1);
  return e;
}

WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width) {
  Element* e = Live(element);
  if (!e || !position) return nullptr;
  return UiCreateLittle(e, parent, *position, width);
}

uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void*) {
  Element* e = Live(element);
  if (!e) return 0;
  e->DspHandle = dspHandle;
  return dspHandle ? Load(e) : 1;
}

uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value) {
  Element* e = Live(element);
  if (!e) return 0;
  if (code == kSetRefresh) {
    if (e->Little) Ui(e, kUiRefresh);
    return 1;
  }
  if (e->Type < 0 || e->Type >= kTypes) return 0;
  return Set(e, code, value);
}

uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* inOut) {
  Element* e = Live(element);
  if (!e || !inOut || e->Type < 0 || e->Type >= kTypes) return 0;
  return Get(e, code, inOut);
}

uint32_t ELEMAPI QVDeleteElement(ElemHandle element) {
  Element* e = Live(element);
  if (!e) return 0;
  ElemListUnlink(&g_live, &e->Link);
  ModuleFree(e);
  return 1;
}

}  // extern "C"
