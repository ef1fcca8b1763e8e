// The level, routing and delay families (the EQ is eq.cpp): defaults, DSP
// words, loads, set and get codes.
#include <algorithm>
#include <cstring>

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/Qvmxel1/qvmxel1api.h"
#include "elements/dspcode.h"

namespace {

// Set codes each family handles (9 is the module's); any other changes
// nothing and answers 1.
constexpr uint32_t Bits(std::initializer_list<int> codes) {
  uint32_t m = 0;
  for (int c : codes) m |= 1u << c;
  return m;
}
const uint32_t kSetMask[kFamilyCount] = {
    Bits({0, 1, 6, 7, 17}),                         // Input
    Bits({0, 1, 4, 5, 6, 7, 8, 10, 17}),            // Track
    Bits({0, 1, 2, 6, 7, 8, 10}),                   // EQ
    Bits({1, 6, 7}),                                // Fader
    Bits({1, 6, 7}),                                // Sample Delay Line
    Bits({1, 6}),                                   // Peakmeter
    Bits({0, 1, 6, 7, 8, 10, 11, 12, 13, 17}),      // Send
    Bits({0, 1, 3, 6, 7, 14, 15, 16, 17}),          // Output w/Fader
    Bits({0, 1, 6, 7, 15, 17}),                     // Output
    Bits({1, 6, 20}),                               // placeholder
    0,                                              // delay compensation
};

// Families whose state restore takes a shorter state (the tail keeps its
// values); the others want their state size exactly.
bool ShortStateAllowed(Family f) { return f == kFamEq || f == kFamSend || f == kFamOutFader || f == kFamOutput; }

// The largest state block a placeholder keeps for a missing module.
constexpr uint32_t kPlaceholderMax = 1u << 24;

const ELEMTYPEPROPINFO& Props(const Element* e) { return kTypeTable[e->Row].Props; }
uint32_t Code(const Element* e) { return kTypeTable[e->Row].Code; }

uint32_t* BigOpenFlag(Element* e) {
  switch (e->Fam) {
    case kFamEq: return &e->St.Eq.BigOpen;
    case kFamTrack: return &e->St.Track.BigOpen;
    case kFamSend: return &e->St.Send.BigOpen;
    default: return nullptr;
  }
}

bool IsEpp(const Element* e) { const uint32_t c = Code(e); return c == 811 || c == 812 || c == 911 || c == 912; }
bool IsPanned(const Element* e) { return Props(e).Outputs == 2 && Props(e).AreaSize[2] == 2; }

// --- DSP words ---------------------------------------------------------------

int32_t WriteSwitch(Element* e) {
  uint32_t w[2];
  w[0] = w[1] = e->St.Switch.Mute ? 0 : kSwitchOn;
  return Dsp(e, kDspWriteRunning, 2, 0, Props(e).AreaSize[2] == 2 ? 2 : 1, w);
}

int32_t WriteTrack(Element* e) {
  const TrackState& s = e->St.Track;
  uint32_t w[2];
  if (s.Record == 1 || s.Record == 3) {
    w[0] = kSwitchOn;
    w[1] = 0;
  } else {
    w[0] = s.MixAlways ? kSwitchOn : 0;
    w[1] = kSwitchOn;
  }
  return Dsp(e, kDspWriteRunning, 3, 0, 2, w);
}

int32_t WriteFader(Element* e) {
  uint32_t w = GainWord128(e->St.Fader.Volume);
  return Dsp(e, kDspWriteRunning, 2, 0, 1, &w);
}

int32_t WriteSdlDelay(Element* e) {
  uint32_t w = e->St.Sdl.Delay;
  return Dsp(e, kDspWrite, 1, Props(e).Outputs == 1 ? 1 : 2, 1, &w);
}

int32_t WriteSdlPhase(Element* e) {
  const bool mono = Props(e).Outputs == 1;
  uint32_t w[2] = {e->St.Sdl.Phase ? DspNeg(0) : kDspNop, e->St.Sdl.Phase ? DspNeg(1) : kDspNop};
  return Dsp(e, kDspWrite, 5, mono ? kSdlPhaseMono : kSdlPhaseStereo, mono ? 1 : 2, w);
}

int32_t WriteSend(Element* e) {
  const SendState& s = e->St.Send;
  const int64_t g = SendGain(e);
  int64_t l = g, r = g;
  if (Props(e).Outputs == 2) (IsEpp(e) ? PanEpp : PanLinear)(g, s.Pan, &l, &r);
  uint32_t w[2] = {GainWord256(l), GainWord256(r)};
  if (s.Mute) w[0] = w[1] = 0;
  return Dsp(e, kDspWriteRunning, 2, 0, Props(e).Outputs == 2 ? 2 : 1, w);
}

int32_t WriteOut(Element* e) {
  const OutFaderState& s = e->St.Out;
  const int64_t v = s.Volume;
  int64_t l = v, r = v;
  if (IsPanned(e)) (IsEpp(e) ? PanEpp : PanLinear)(v, s.Pan, &l, &r);
  uint32_t w[2] = {GainWord128(l), GainWord128(r)};
  if (s.Mute || s.Solo == 2) w[0] = w[1] = 0;
  return Dsp(e, kDspWriteRunning, 2, 0, IsPanned(e) ? 2 : 1, w);
}

int32_t WriteWords(Element* e) {
  switch (e->Fam) {
    case kFamInput:
    case kFamOutput: return WriteSwitch(e);
    case kFamTrack: return WriteTrack(e);
    case kFamFader: return WriteFader(e);
    case kFamSdl: WriteSdlDelay(e); return WriteSdlPhase(e);
    case kFamSend: return WriteSend(e);
    case kFamOutFader: return WriteOut(e);
    default: return kDspOk;
  }
}

int32_t Program(Element* e, uint32_t op) {
  uint32_t n = 0;
  const uint32_t* p = ProgramOfRow(e->Row, &n);
  uint32_t words[64];
  n = std::min<uint32_t>(n, 64);
  std::memcpy(words, p, n * sizeof(uint32_t));
  return Dsp(e, op, 5, 0, n, words);
}

int32_t ReadMeterWords(Element* e, uint32_t area, uint32_t count, int32_t* out) {
  uint32_t w[8] = {};
  count = std::min<uint32_t>(count, 8);
  const int32_t r = Dsp(e, kDspReadMeter, area, 0, count, w);
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t v = r == kDspOk ? int32_t(w[i]) : 0;
    out[i] = v < 0 ? -v : v;
  }
  return r;
}

uint32_t OutMeterCount(const Element* e) { return std::max<uint32_t>(Props(e).Outputs, 2); }

// Delay compensation: pointers into the sample memory the host placed.
int32_t LoadDelayComp(Element* e, const void* placement) {
  if (!placement) return kDspFailed;
  const uint32_t a = static_cast<const ElemPlacementRecord*>(placement)->SampleBase;
  const uint32_t c = Props(e).Outputs;
  const uint64_t words = uint64_t{c} * e->Delay;
  // The DSP addresses 24 bits: a line that would run past them is refused.
  if (a + words > 0xFFFFFF) return kDspFailed;
  const uint32_t end = a + uint32_t(words);
  uint32_t block[5] = {c, 1, end, a, a};
  if (c <= 2) Dsp(e, kDspWrite, 1, 0, 3, block + 2);
  else Dsp(e, kDspWrite, 1, 0, 5, block);
  if (words) Dsp(e, kDspClear, 2, 0, uint32_t(words), nullptr);
  return Program(e, kDspProgram);
}

// --- Knobs ---------------------------------------------------------------------

int32_t OutSoloKnob(uint32_t solo) { return solo == 3 ? 2 : solo == 1 ? 1 : 0; }

}  // namespace

uint32_t GainWord256(int64_t g) { return uint32_t(-(g * 256)); }
uint32_t GainWord128(int64_t v) { return uint32_t(-(v * 128)); }

void PanLinear(int64_t g, uint32_t d, int64_t* left, int64_t* right) {
  *left = d >= 65 ? g * (128 - int64_t{d}) / 64 : g;
  *right = d < 64 ? g * d / 64 : g;
}

void PanEpp(int64_t g, uint32_t d, int64_t* left, int64_t* right) {
  const int64_t dd = d;
  *left = dd >= 65 ? g * (128 - dd) / 128 : g / 2 + int64_t((64 - dd) * g * 0.4142136 / 128);
  *right = dd < 64 ? g * dd / 128 : g / 2 + int64_t((dd - 64) * g * 0.4142136 / 128);
}

int64_t SendGain(const Element* e) {
  const SendState& s = e->St.Send;
  if (!s.Post) return s.Volume;
  const int64_t b = e->ColumnMute || e->ColumnSoloMuted ? 0 : e->ColumnVolume;
  return std::min<int64_t>(int64_t{s.Volume} * b / 32768, 32768);
}

int32_t KnobValue(Element* e, uint32_t k) {
  switch (e->Fam) {
    case kFamInput:
    case kFamOutput: return int32_t(e->St.Switch.Mute);
    case kFamTrack: return e->St.Track.Record != 0;
    case kFamEq: {
      const EqState& s = e->St.Eq;
      const int32_t v[7] = {int32_t(s.Bypass), s.Freq1, s.Q1, s.Gain1, s.Freq2, s.Q2, s.Gain2};
      return k < 7 ? v[k] : 0;
    }
    case kFamFader: return int32_t(e->St.Fader.Volume);
    case kFamSdl: return int32_t(k == 0 ? e->St.Sdl.Delay : e->St.Sdl.Phase);
    case kFamSend: {
      const SendState& s = e->St.Send;
      const uint32_t v[4] = {s.Pan, s.Volume, s.Mute, s.Post};
      return k < 4 ? int32_t(v[k]) : 0;
    }
    case kFamOutFader: {
      const OutFaderState& s = e->St.Out;
      const int32_t v[6] = {int32_t(s.Pan), OutSoloKnob(s.Solo), int32_t(s.Volume), int32_t(s.Mute),
                            std::min(e->Peaks[0], 32767), std::min(e->Peaks[1], 32767)};
      return k < 6 ? v[k] : 0;
    }
    default: return 0;
  }
}

void FamilyDefaults(Element* e, uintptr_t arg) {
  const ELEMTYPEPROPINFO& t = Props(e);
  e->St.Length = t.StateSize;
  e->PanColor = e->VolumeColor = 0xFFFFFFFFu;
  switch (e->Fam) {
    case kFamTrack:
      ModuleCentred(300, 83, &e->St.Track.BigX, &e->St.Track.BigY);
      break;
    case kFamEq:
      e->SampleRate = 44100;
      EqDefaults(e);
      break;
    case kFamFader:
      e->St.Fader.Volume = 32768;
      break;
    case kFamSend:
      e->St.Send.Pan = 64;
      ModuleCentred(300, 83, &e->St.Send.BigX, &e->St.Send.BigY);
      e->ColumnVolume = 32768;
      break;
    case kFamOutFader:
      e->St.Out.Pan = 64;
      e->St.Out.Volume = 32768;
      break;
    case kFamDelayComp:
      e->Delay = uint32_t(arg);
      return;
    default:
      break;
  }
  ReportAllKnobs(e);
  if (BigOpenFlag(e)) Notify(e, kNotifyBigWindow, 1);
}

uint32_t FamilyLoad(Element* e, const void* placement) {
  int32_t r = kDspOk;
  switch (e->Fam) {
    case kFamInput:
    case kFamFader:
    case kFamSend:
      WriteWords(e);
      r = Program(e, kDspWrite);
      break;
    case kFamOutput:
      WriteWords(e);
      r = Program(e, kDspProgram);
      break;
    case kFamTrack:
      Program(e, kDspWrite);
      r = WriteTrack(e);
      break;
    case kFamEq:
      r = EqLoad(e);
      break;
    case kFamSdl: {
      const uint32_t ch = Props(e).Outputs;
      Dsp(e, kDspClear, 1, 0, ch == 1 ? 2 : 3, nullptr);
      for (uint32_t c = 0; c < ch; ++c) Dsp(e, kDspClear, 2 + c, 0, kDspDelayWords, nullptr);
      Program(e, kDspWrite);
      WriteSdlDelay(e);
      r = WriteSdlPhase(e);
      break;
    }
    case kFamPeak: {
      int32_t m[2];
      ReadMeterWords(e, 2, 2, m);
      r = Program(e, kDspWrite);
      break;
    }
    case kFamOutFader: {
      WriteOut(e);
      int32_t m[8];
      ReadMeterWords(e, 3, OutMeterCount(e), m);
      r = Program(e, kDspProgram);
      break;
    }
    case kFamDelayComp:
      r = LoadDelayComp(e, placement);
      break;
    default:
      break;
  }
  return r == kDspOk;
}

int ReadMeters(Element* e) {
  if (e->Fam == kFamPeak) {
    ReadMeterWords(e, 2, 2, e->Meter);
    return int(Props(e).Inputs);
  }
  if (e->Fam != kFamOutFader) return 0;
  const uint32_t n = OutMeterCount(e);
  ReadMeterWords(e, 3, n, e->Meter);
  e->Peaks[0] = std::max(e->Peaks[0], e->Meter[0]);
  e->Peaks[1] = std::max(e->Peaks[1], e->Meter[Props(e).Outputs == 1 ? 0 : 1]);
  return int(Props(e).Outputs);
}

// --- Edits shared by the windows and the set codes -----------------------------------

void SwitchToggleMute(Element* e) {
  e->St.Switch.Mute = !e->St.Switch.Mute;
  ReportKnob(e, 0);
  if (e->Fam == kFamOutput) Notify(e, kNotifyMute, e->St.Switch.Mute);
  WriteSwitch(e);
  ElemUi(e, kUiValues);
}

void TrackRequestArm(Element* e) {
  e->OwnRequest = 1;
  Notify(e, kNotifyRecArm, e->St.Track.Record == 0);
}

void TrackToggleMixAlways(Element* e) {
  e->St.Track.MixAlways = !e->St.Track.MixAlways;
  WriteTrack(e);
  ElemUi(e, kUiValues);
}

void FaderSetVolume(Element* e, uint32_t v) {
  e->St.Fader.Volume = std::min<uint32_t>(v, 65536);
  ReportKnob(e, 0);
  WriteFader(e);
}

void SdlSet(Element* e, uint32_t delay, uint32_t phase) {
  const bool dChanged = delay != e->St.Sdl.Delay, pChanged = phase != e->St.Sdl.Phase;
  e->St.Sdl.Delay = std::min<uint32_t>(delay, 255);
  e->St.Sdl.Phase = phase != 0;
  if (dChanged) ReportKnob(e, 0);
  if (pChanged) ReportKnob(e, 1);
  WriteSdlDelay(e);
  WriteSdlPhase(e);
}

void SendSet(Element* e, uint32_t knob, uint32_t value) {
  SendState& s = e->St.Send;
  switch (knob) {
    case 0: s.Pan = std::min<uint32_t>(value, 128); break;
    case 1: s.Volume = std::min<uint32_t>(value, 32768); break;
    case 2: s.Mute = value != 0; break;
    case 3: s.Post = value != 0; break;
    default: return;
  }
  ReportKnob(e, knob);
  WriteSend(e);
}

void OutSetPan(Element* e, uint32_t pan) {
  e->St.Out.Pan = std::min<uint32_t>(pan, 128);
  ReportKnob(e, 0);
  WriteOut(e);
}

void OutSetVolume(Element* e, uint32_t volume) {
  e->St.Out.Volume = std::min<uint32_t>(volume, 65536);
  ReportKnob(e, 2);
  Notify(e, kNotifyVolume, e->St.Out.Volume);
  WriteOut(e);
}

void OutToggleMute(Element* e, int gesture) {
  if (gesture) Notify(e, kNotifyTouch, 1);
  e->St.Out.Mute = !e->St.Out.Mute;
  Notify(e, kNotifyMute, e->St.Out.Mute);
  ReportKnob(e, 3);
  if (gesture) Notify(e, kNotifyTouch, 0);
  WriteOut(e);
  ElemUi(e, kUiValues);
}

void OutSoloButton(Element* e, int ctrl, int gesture) {
  const uint32_t lit = e->St.Out.Solo == 1 || e->St.Out.Solo == 3;
  if (gesture) Notify(e, kNotifyTouch, 1);
  e->OwnRequest = 1;
  Notify(e, kNotifySolo, lit ? 0 : ctrl ? 3 : 1);
  if (gesture) Notify(e, kNotifyTouch, 0);
}

void OutSetGroup(Element* e, int fader, uint32_t group) {
  (fader ? e->St.Out.FaderGroup : e->St.Out.SoloGroup) = group;
  Notify(e, fader ? kNotifyFaderGroup : kNotifySoloGroup, group);
}

// --- Set and get -----------------------------------------------------------------------

namespace {

uint32_t SetBig(Element* e, uintptr_t value) {
  uint32_t* flag = BigOpenFlag(e);
  if (!flag) return 1;
  if (value == 0 && e->Little && !e->Big) {
    ElemUi(e, kUiOpenBig);
    *flag = e->Big != nullptr;
  } else if (value == 1 && e->Big) {
    ElemUi(e, kUiCloseBig);
    *flag = 0;
  }
  return 1;
}

uint32_t SetKnobValue(Element* e, const ELEMKNOBVALUE* kv) {
  uint32_t n = 0;
  const ELEMKNOBPROPINFO* knobs = FamilyKnobs(e->Fam, &n);
  if (!kv || kv->Index >= n || knobs[kv->Index].ReadOnly) return 0;
  const uint32_t k = kv->Index;
  const int32_t v = std::clamp(kv->Value, knobs[k].RawMin, knobs[k].RawMax);
  switch (e->Fam) {
    case kFamInput:
    case kFamOutput:
      e->St.Switch.Mute = uint32_t(v);
      if (e->Fam == kFamOutput) Notify(e, kNotifyMute, e->St.Switch.Mute);
      WriteSwitch(e);
      break;
    case kFamTrack:
      // The host arms the track itself (set code 5); a changed knob asks it to.
      if ((v != 0) != (e->St.Track.Record != 0)) Notify(e, kNotifyRecArm, uint32_t(v));
      return 1;
    case kFamEq:
      EqSetKnob(e, k, v, 0);
      return 1;
    case kFamFader:
      e->St.Fader.Volume = uint32_t(v);
      WriteFader(e);
      break;
    case kFamSdl:
      (k == 0 ? e->St.Sdl.Delay : e->St.Sdl.Phase) = uint32_t(v);
      WriteSdlDelay(e);
      WriteSdlPhase(e);
      break;
    case kFamSend: {
      SendState& s = e->St.Send;
      uint32_t* f[4] = {&s.Pan, &s.Volume, &s.Mute, &s.Post};
      *f[k] = uint32_t(v);
      WriteSend(e);
      break;
    }
    case kFamOutFader: {
      OutFaderState& s = e->St.Out;
      if (k == 1) {
        // The host answers a solo request with set code 3.
        if (v != OutSoloKnob(s.Solo)) Notify(e, kNotifySolo, v == 2 ? 3 : uint32_t(v));
        return 1;
      }
      if (k == 0) s.Pan = uint32_t(v);
      if (k == 2) {
        s.Volume = uint32_t(v);
        Notify(e, kNotifyVolume, s.Volume);
      }
      if (k == 3) {
        s.Mute = uint32_t(v);
        Notify(e, kNotifyMute, s.Mute);
      }
      WriteOut(e);
      break;
    }
    default:
      return 0;
  }
  ElemUi(e, kUiValues);
  return 1;
}

uint32_t SetPlaceholderState(Element* e, const void* state) {
  const uint32_t n = e->St.Length;  // the length announced by set code 20
  if (n && !state) return 0;
  uint8_t* blob = nullptr;
  if (n) {
    blob = static_cast<uint8_t*>(ModuleAlloc(n));
    if (!blob) return 0;
    std::memcpy(blob, state, n);
  }
  ModuleFree(e->Blob);
  e->Blob = blob;
  e->BlobLength = n;
  return 1;
}

uint32_t SetState(Element* e, const ELEMSTATE* s) {
  if (e->Fam == kFamPlaceholder) return SetPlaceholderState(e, s);
  if (!s) return 0;
  const uint32_t size = Props(e).StateSize;
  if (e->Fam == kFamEq) return EqRestore(e, s, s->Length, 0);
  if (ShortStateAllowed(e->Fam) ? s->Length > size : s->Length != size) return 0;
  const uint32_t oldSolo = e->St.Out.Solo;
  std::memcpy(e->St.Bytes, s, s->Length);
  e->St.Length = size;
  switch (e->Fam) {
    case kFamFader: e->St.Fader.Volume = std::min<uint32_t>(e->St.Fader.Volume, 65536); break;
    case kFamSdl: e->St.Sdl.Delay = std::min<uint32_t>(e->St.Sdl.Delay, 255); e->St.Sdl.Phase = e->St.Sdl.Phase != 0; break;
    case kFamSend: {
      SendState& t = e->St.Send;
      t.Pan = std::min<uint32_t>(t.Pan, 128);
      t.Volume = std::min<uint32_t>(t.Volume, 32768);
      t.Mute = t.Mute != 0;
      t.Post = t.Post != 0;
      if (!t.BigOpen && e->Big) ElemUi(e, kUiCloseBig);
      if (t.BigOpen && e->Little && !e->Big) ElemUi(e, kUiOpenBig);
      break;
    }
    case kFamTrack:
      if (!e->St.Track.BigOpen && e->Big) ElemUi(e, kUiCloseBig);
      if (e->St.Track.BigOpen && e->Little && !e->Big) ElemUi(e, kUiOpenBig);
      break;
    case kFamOutFader: {
      OutFaderState& t = e->St.Out;
      t.Pan = std::min<uint32_t>(t.Pan, 128);
      t.Volume = std::min<uint32_t>(t.Volume, 65536);
      t.Mute = t.Mute != 0;
      const uint32_t stored = t.Solo;
      t.Solo = oldSolo;  // solo belongs to the host's solo logic: ask for it
      Notify(e, kNotifyVolume, t.Volume);
      Notify(e, kNotifyMute, t.Mute);
      Notify(e, kNotifySoloGroup, t.SoloGroup);
      Notify(e, kNotifyFaderGroup, t.FaderGroup);
      ReportKnob(e, 0);
      ReportKnob(e, 2);
      if (stored != oldSolo && stored <= 3) Notify(e, kNotifySolo, stored == 1 ? 3 : stored);
      WriteOut(e);
      ElemUi(e, kUiValues);
      return 1;
    }
    default:
      break;
  }
  WriteWords(e);
  ReportAllKnobs(e);
  ElemUi(e, kUiValues);
  return 1;
}

}  // namespace

uint32_t FamilySet(Element* e, uint32_t code, uintptr_t value) {
  if (code >= 32 || !(kSetMask[e->Fam] & (1u << code))) return 1;
  switch (code) {
    case kSetName: {
      const char* name = reinterpret_cast<const char*>(value);
      size_t i = 0;
      for (; name && name[i] && i < sizeof e->Name - 1; ++i) e->Name[i] = name[i];
      e->Name[i] = '\0';
      ElemUi(e, kUiLabel);
      return 1;
    }
    case kSetBlocked:
      e->Blocked = value != 0;
      ElemUi(e, kUiLabel);
      return 1;
    case kSetGreyed:
      e->Greyed = value != 0;
      ElemUi(e, kUiLabel);
      return 1;
    case kSetPosition: {
      const uint32_t* p = reinterpret_cast<const uint32_t*>(value);
      if (!p) return 0;
      e->Column = p[0];
      e->Index = p[1];
      ElemUi(e, kUiLabel);
      return 1;
    }
    case kSetBigWindow:
      return SetBig(e, value);
    case kSetState:
      return SetState(e, reinterpret_cast<const ELEMSTATE*>(value));
    case kSetKnob:
      return SetKnobValue(e, reinterpret_cast<const ELEMKNOBVALUE*>(value));
    case kSetSampleRate:
      return EqSetSampleRate(e, uint32_t(value));
    case kSetTrackColors: {
      const uint32_t* c = reinterpret_cast<const uint32_t*>(value);
      if (!c) return 0;
      e->TrackColors[0] = c[0];
      e->TrackColors[1] = Props(e).Outputs == 1 ? c[0] : c[1];
      ElemUi(e, kUiLabel);
      return 1;
    }
    case kSetRecord: {
      if (value > 3) return 0;
      TrackState& s = e->St.Track;
      s.Record = uint32_t(value);
      if (!e->OwnRequest) ReportKnob(e, 0);
      e->OwnRequest = 0;
      WriteTrack(e);
      ElemUi(e, kUiValues);
      return 1;
    }
    case kSetSolo: {
      if (value > 3) return 0;
      OutFaderState& s = e->St.Out;
      s.Solo = uint32_t(value);
      if (!e->OwnRequest) ReportKnob(e, 1);
      e->OwnRequest = 0;
      Notify(e, kNotifySoloMuted, s.Solo == 2);
      WriteOut(e);
      ElemUi(e, kUiValues);
      return 1;
    }
    case kSetColumnVolume:
    case kSetColumnMute:
    case kSetColumnSoloMuted:
      (code == kSetColumnVolume ? e->ColumnVolume : code == kSetColumnMute ? e->ColumnMute : e->ColumnSoloMuted) =
          uint32_t(code == kSetColumnVolume ? std::min<uintptr_t>(value, 65536) : value != 0);
      if (e->St.Send.Post) WriteSend(e);
      return 1;
    case kSetGroupVolume:
      e->St.Out.Volume = uint32_t(std::min<uintptr_t>(value, 65536));
      ReportKnob(e, 2);
      WriteOut(e);
      ElemUi(e, kUiValues);
      return 1;
    case kSetGroupMute:
      if (e->Fam == kFamOutput) {
        e->St.Switch.Mute = value != 0;
        ReportKnob(e, 0);
        WriteSwitch(e);
      } else {
        e->St.Out.Mute = value != 0;
        ReportKnob(e, 3);
        WriteOut(e);
      }
      ElemUi(e, kUiValues);
      return 1;
    case kSetKnobColor: {
      const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(value);
      if (!kv) return 0;
      if (kv->Index == 0) e->PanColor = uint32_t(kv->Value);
      if (kv->Index == 2) e->VolumeColor = uint32_t(kv->Value);
      ElemUi(e, kUiValues);
      return 1;
    }
    case kSetStateLength:
      if (value > kPlaceholderMax) return 0;
      e->St.Length = uint32_t(value);
      return 1;
    default:
      return 1;
  }
}

uint32_t FamilyGet(Element* e, uint32_t code, void* inOut) {
  uint32_t* out = static_cast<uint32_t*>(inOut);
  switch (code) {
    case kGetState:
      if (e->Fam == kFamPlaceholder) {
        if (e->BlobLength) std::memcpy(inOut, e->Blob, e->BlobLength);
        return 1;
      }
      std::memcpy(inOut, e->St.Bytes, Props(e).StateSize);
      return 1;
    case kGetKnob: {
      ELEMKNOBVALUE* kv = static_cast<ELEMKNOBVALUE*>(inOut);
      uint32_t n = 0;
      FamilyKnobs(e->Fam, &n);
      if (kv->Index >= n) return 0;
      if (e->Fam == kFamOutFader && kv->Index >= 4) {
        if (kv->Index == 4 && !ElemUiMetersShown(e)) ReadMeters(e);
        int32_t& peak = e->Peaks[kv->Index - 4];
        kv->Value = std::min(peak, 32767);
        peak = 0;
        return 1;
      }
      kv->Value = KnobValue(e, kv->Index);
      return 1;
    }
    case kGetBigClosed:
      if (!BigOpenFlag(e)) return 0;
      *out = e->Big == nullptr;
      return 1;
    case kGetRecord:
      if (e->Fam != kFamTrack) return 0;
      *out = e->St.Track.Record;
      return 1;
    case kGetStateLength:
      if (e->Fam != kFamPlaceholder) return 0;
      *out = e->BlobLength;
      return 1;
    case kGetSolo:
    case kGetVolume:
    case kGetMute:
    case kGetSoloGroup:
    case kGetFaderGroup: {
      if (e->Fam != kFamOutFader) return 0;
      const OutFaderState& s = e->St.Out;
      *out = code == kGetSolo ? s.Solo : code == kGetVolume ? s.Volume : code == kGetMute ? s.Mute
             : code == kGetSoloGroup ? s.SoloGroup : s.FaderGroup;
      return 1;
    }
    default:
      return 0;
  }
}

void FamilyFree(Element* e) {
  if (e->Fam == kFamPlaceholder) {
    ModuleFree(e->Blob);
    e->Blob = nullptr;
    e->BlobLength = 0;
  }
}
