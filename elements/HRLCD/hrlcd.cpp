// The channel dynamics element's behaviour.
#include "elements/HRLCD/hrlcd.h"

#include "elements/dspcode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace hrlcd {
namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr char kMaker[] = "Harlowen (v1.00)";
constexpr char kMagic[] = "HRLCDFPSV001.00";
constexpr char kFolder[] = ".\\MixElem\\HRLCD\\";

int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return kDspNoResource; }
int32_t ELEMAPI NoNotify(void*, uint32_t, uintptr_t) { return 0; }
uint32_t NoTick() { return 0; }

constexpr void Copy(char* dst, const char* src, int size) {
  for (int i = 0; src[i] && i < size - 1; ++i) dst[i] = src[i];
}

constexpr ELEMKNOBPROPINFO Knob(const char* name, uint32_t kind, int32_t lo, int32_t hi, const char* unit,
                                int32_t div, uint32_t law) {
  ELEMKNOBPROPINFO k{};
  k.Size = kElemKnobPropSize;
  k.Kind = kind;
  Copy(k.Name, name, kElemKnobNameSize);
  k.RawMin = k.DisplayMin = lo;
  k.RawMax = k.DisplayMax = hi;
  Copy(k.Unit, unit, kElemUnitSize);
  k.DisplayDivisor = div;
  k.Law = law;
  return k;
}

constexpr int32_t kDefaults[kKnobs] = {0, 1000, 10, 10, 10, -3000, 0, 0, 0};
// Dirty coefficient bits of each knob and of switches 1-6.
constexpr uint32_t kKnobDirty[kKnobs] = {0x0001, 0x4002, 0x0050, 0x4004, 0x1000, 0x0100, 0x0400, 0x0800, 0x8000};
constexpr uint32_t kSwitchDirty[kSwitches] = {0, 0x0008, 0x0020, 0x0280, 0x2000, 0, 0};
constexpr uint32_t kTimeBits = 0x3870;

constexpr int32_t kConstants[39] = {
    0x066666, 0xCC19B8, 0x690000, 0x1A4000, 0x08C000, 0x034800, 0x015000, 0x008C00, 0x003C00, 0x4E04E0,
    0x58B90C, 0x05999A, 0x4CCCCD, 0x276000, 0x09D800, 0x01A400, 0x003480, 0x000540, 0x000070, 0x000008,
    0x680680, 0x000001, 0xFFF502, 0xFFEDE0, 0xFFE21F, 0xFFCEBC, 0xFFAEC7, 0xFF7A16, 0xFF2336, 0xFE93FB,
    0xFDA7D5, 0xFC227E, 0xF9A094, 0xF57E3D, 0xEEAD55, 0xE37079, 0xD0E954, 0xB25D34, 0x800000};
constexpr uint32_t kMonoInit[10] = {0, 0, 0, 0, 0x400000, 0, 0, 0x400000, 0x80000, 0x80000};
constexpr uint32_t kStereoInit[17] = {0, 0, 0, 0, 0x400000, 0, 0, 0x400000, 0, 0, 0, 0x400000, 0, 0, 0x400000,
                                      0x80000, 0x80000};
constexpr uint32_t kProgramSize[kTypes] = {202, 385, 205, 389};

int64_t Round(double x) { return int64_t(std::floor(x + 0.5)); }

int32_t Dsp(Element* e, uint32_t op, uint32_t area, uint32_t offset, uint32_t count, const void* words) {
  if (!e->DspHandle) return kDspNoResource;
  uint32_t buf[400];
  if (words) std::memcpy(buf, words, count * sizeof(uint32_t));
  return ModuleHooks().Dsp(e->DspHandle, op, area, offset, count, words ? buf : nullptr);
}

void Notify(Element* e, uint32_t code, uintptr_t value) { ModuleHooks().Notify(e->HostContext, code, value); }
void Report(Element* e, uint32_t index, int32_t value) {
  ELEMKNOBVALUE kv{index, value};
  Notify(e, kNotifyKnob, reinterpret_cast<uintptr_t>(&kv));
}

uint32_t BankWord(bool bank1) { return bank1 ? 0x227400u : 0u; }
uint32_t BypassWord(int type, bool bypassed) {
  static const uint32_t off[kTypes] = {0x44C800, 0x44D800, 0x72D000, 0x72D000};
  return off[type] | (bypassed ? 0 : 0x80);
}
uint32_t ScInputWord(int type, bool on) {
  if (type == 2) return on ? kDspDynScInputOn[0] : 0x21C400;
  return on ? kDspDynScInputOn[1] : 0x205800;
}
uint32_t ScListenWord(int type, bool on) {
  if (type == 2) return on ? kDspDynScListenOn[0] : 0x564900;
  return on ? kDspDynScListenOn[1] : 0;
}
void PatchWord(Element* e, uint32_t offset, uint32_t word) { Dsp(e, kDspWrite, 5, offset, 1, &word); }

bool SwitchOn(const Element* e, int sw) {
  if (sw == 0) return !(e->St.Flags & kFlagBypassed);
  return e->St.Flags & (1u << (sw + 1));
}

double KnobDouble(const Element* e, int k) { return double(e->St.Knob[k]); }

void Recompute(Element* e) {
  const int32_t* k = e->St.Knob;
  // Gains first, written on their own.
  const int32_t in = e->Gain[0], out = e->Gain[1];
  if (e->Dirty & 0x0001) e->Gain[0] = GainWord(k[0]);
  if (e->Dirty & 0x8000) e->Gain[1] = GainWord(k[8]);
  e->Dirty &= ~0x8001u;
  const bool inCh = in != e->Gain[0], outCh = out != e->Gain[1];
  if (inCh || outCh)
    Dsp(e, kDspWriteRunning, 4, inCh ? 0 : 1, inCh && outCh ? 2 : 1, &e->Gain[inCh ? 0 : 1]);
  if (!e->Dirty) return;
  const double fs = double(e->SampleRate);
  int32_t* active = e->Bank1Active ? e->Bank1 : e->Bank2;
  int32_t* inactive = e->Bank1Active ? e->Bank2 : e->Bank1;
  int32_t w[kBankWords];
  std::memcpy(w, active, sizeof w);
  const uint32_t d = e->Dirty;
  if (d & 0x0002) w[0] = int32_t(Round((KnobDouble(e, 1) / 100 - 18) * 1048576.0 * kLn10 / 20));
  if (d & 0x0004) w[1] = k[3] == 1000 ? 0 : int32_t(-Round(83886080.0 / k[3]));
  if (d & 0x0008) w[2] = SwitchOn(e, 1) ? 0x800000 : 0;
  if (d & 0x0010) {
    const int64_t h = Round(100.0 / (fs * k[2]) * 17592186044416.0 * kLn10);
    w[3] = int32_t(h >> 24);
    w[4] = int32_t(h & 0xFFFFFF);
  }
  if (d & 0x0020) w[5] = int32_t(Round(536870912000.0 / ((SwitchOn(e, 2) ? 3 : 30) * fs)));
  if (d & 0x0040) w[6] = int32_t(Round(1717986918400.0 / (fs * k[2])));
  if (d & 0x0080) w[7] = SwitchOn(e, 3) ? 0 : 205227;
  if (d & 0x0100) w[8] = int32_t(Round((KnobDouble(e, 5) / 100 - 18) * 524288.0 * kLn10 / 20));
  if (d & 0x0200) w[9] = SwitchOn(e, 3) ? -56361 : -5898240;
  if (d & 0x0400) w[10] = int32_t(Round(RangeDb(k[6]) * 1048576.0 * kLn10 / 20));
  if (d & 0x0800) w[11] = int32_t(std::floor(fs * k[7] / 100));
  if (d & 0x1000) w[12] = int32_t(Round(1717986918400.0 / (fs * k[4])));
  if (d & 0x2000) w[13] = int32_t(Round(16777216000.0 / ((SwitchOn(e, 4) ? 0.1 : 1.5) * fs)));
  if (d & 0x4000) {
    const double c = std::clamp((k[1] * kLn10 / 2000) * ((k[3] == 1000 ? 0.0 : 10.0 / k[3]) - 1), 0.0,
                                4.144653167389283);
    w[14] = int32_t(Round(std::exp(c) * 0x80000));
  }
  e->Dirty = 0;
  if (std::memcmp(w, active, sizeof w) == 0) return;
  int starts[kBankWords], lengths[kBankWords];
  const int runs = BankRuns(w, inactive, starts, lengths);
  std::memcpy(inactive, w, sizeof w);
  const uint32_t area = e->Bank1Active ? 2 : 1;
  for (int r = 0; r < runs; ++r) Dsp(e, kDspWrite, area, uint32_t(starts[r]), uint32_t(lengths[r]), inactive + starts[r]);
  e->Bank1Active = !e->Bank1Active;
  PatchWord(e, 1, BankWord(e->Bank1Active));
}

void CompareOff(Element* e) { e->Compare = false; }


void SetKnob(Element* e, int k, int32_t v, bool defer) {
  if (e->Compare) CompareOff(e);
  v = std::clamp(v, kKnobTable[k].RawMin, kKnobTable[k].RawMax);
  e->St.Knob[k] = v;
  e->Dirty |= kKnobDirty[k];
  if (!defer) Recompute(e);
}

void SetSwitch(Element* e, int sw, bool on, bool defer) {
  if (e->Compare && sw != 0) CompareOff(e);
  if (sw == 0) {
    if (on) e->St.Flags &= ~kFlagBypassed;
    else e->St.Flags |= kFlagBypassed;
    if (e->BypassActive != !on) {
      e->BypassActive = !on;
      PatchWord(e, BypassOffset(e->Type), BypassWord(e->Type, e->BypassActive));
    }
  } else {
    const uint32_t bit = 1u << (sw + 1);
    if (on) e->St.Flags |= bit;
    else e->St.Flags &= ~bit;
    e->Dirty |= kSwitchDirty[sw];
    if (sw == 5 && e->ScInput != on) {
      e->ScInput = on;
      PatchWord(e, e->Type == 2 ? 10 : 13, ScInputWord(e->Type, on));
    }
    if (sw == 6 && e->ScListen != on) {
      e->ScListen = on;
      PatchWord(e, e->Type == 2 ? 203 : 385, ScListenWord(e->Type, on));
    }
  }
  if (!defer) Recompute(e);
}

// Knobs and switches 1.. of a set that differ, reported, then one recompute.
void ApplySet(Element* e, const int32_t* knobs, uint32_t bits) {
  for (int k = 0; k < kKnobs; ++k) {
    const int32_t v = std::clamp(knobs[k], kKnobTable[k].RawMin, kKnobTable[k].RawMax);
    if (v == e->St.Knob[k]) continue;
    SetKnob(e, k, v, true);
    Report(e, uint32_t(k), v);
  }
  for (int sw = 1; sw < int(SwitchCount(e->Type)); ++sw) {
    const bool on = bits & (1u << (sw + 1));
    if (on == SwitchOn(e, sw)) continue;
    SetSwitch(e, sw, on, true);
    Report(e, uint32_t(kKnobs + sw), on);
  }
  Recompute(e);
}

CompareSlot Current(const Element* e) {
  CompareSlot s{};
  std::memcpy(s.Knob, e->St.Knob, sizeof s.Knob);
  s.Bits = e->St.Flags & ~3u;
  return s;
}

void PollMeters(Element* e) {
  auto peak = [e](uint32_t offset) {
    uint32_t w = 0;
    if (!e->DspHandle || ModuleHooks().Dsp(e->DspHandle, kDspReadAlt, 3, offset, 1, &w) != kDspOk) return int32_t(0);
    const int32_t v = int32_t(w << 8) >> 8;
    return v < 0 ? -v : v;
  };
  e->InPeak = peak(kElemSecondBank);
  e->OutPeak = peak(IsStereo(e->Type) ? 0x20010u : 0x20009u);
  uint32_t gr[2] = {0x400000, 0x400000};
  if (e->BypassActive || !e->DspHandle || ModuleHooks().Dsp(e->DspHandle, kDspRead, 4, 2, 2, gr) != kDspOk)
    gr[0] = gr[1] = 0x400000;
  e->CompGain = int32_t(gr[0]);
  e->GateGain = int32_t(gr[1]);
  const uint32_t now = ModuleHooks().Tick();
  auto hold = [e, now](bool clip, bool* lit, uint32_t* tick) {
    if (clip) {
      *lit = true;
      *tick = now;
    } else if (*lit && e->HoldMs >= 0 && now - *tick >= uint32_t(e->HoldMs)) {
      *lit = false;
    }
  };
  hold(e->InPeak >= 0x7FFFFF, &e->InClip, &e->InClipTick);
  hold(e->OutPeak > 0x7FFFFE, &e->OutClip, &e->OutClipTick);
}

}  // namespace

const ELEMKNOBPROPINFO kKnobTable[16] = {
    Knob("Gain Input", 0, -2000, 2000, "dB", 100, 0),      Knob("Thold Compressor", 0, -2000, 1000, "dB", 100, 0),
    Knob("Release Compressor", 0, 10, 400, "S", 100, 1),   Knob("Ratio Compressor", 0, 10, 1000, "", 10, 1),
    Knob("Release Gate/Exp", 0, 10, 400, "S", 100, 1),     Knob("Thold Gate/Exp", 0, -3000, 1000, "dB", 100, 0),
    Knob("Range Gate/Exp", 0, 0, 4000, "dB", 100, 0),      Knob("Hold Gate/Exp", 0, 0, 400, "S", 100, 1),
    Knob("Gain Output", 0, -2000, 2000, "dB", 100, 0),     Knob("Bypass", 1, 0, 1, "", 1, 0),
    Knob("Peak Compressor", 1, 0, 1, "", 1, 0),            Knob("Fast Attack Compressor", 1, 0, 1, "", 1, 0),
    Knob("Expander", 1, 0, 1, "", 1, 0),                   Knob("Fast Attack Gate/Exp", 1, 0, 1, "", 1, 0),
    Knob("SC Input", 1, 0, 1, "", 1, 0),                   Knob("SC Listen", 1, 0, 1, "", 1, 0),
};

const ELEMTYPEPROPINFO& TypeProps(int type) {
  static const struct Rows {
    ELEMTYPEPROPINFO R[kTypes];
    Rows() {
      static const char* const names[kTypes] = {"HRL Gainmoor\t(Mono)", "HRL Gainmoor\t(Stereo)",
                                                "HRL Gainmoor\t(Mono-SC)", "HRL Gainmoor\t(Stereo-SC)"};
      static const uint32_t ins[kTypes] = {1, 2, 2, 4}, outs[kTypes] = {1, 2, 1, 2}, loads[kTypes] = {1002, 1902, 1002, 1910};
      static const uint32_t types[6] = {0, 1, 1, 5, 1, 2};
      for (int t = 0; t < kTypes; ++t) {
        ELEMTYPEPROPINFO& p = R[t];
        p = ELEMTYPEPROPINFO{};
        p.Size = kElemTypePropSize;
        p.Kind = kElemKindInsert;
        Copy(p.Name, names[t], kElemTextSize);
        Copy(p.Maker, kMaker, kElemTextSize);
        p.LittleHeight = 36;
        p.Flags = 2;
        p.StateSize = kStateSize;
        p.KnobCount = t & 2 ? 16 : 14;
        p.Inputs = ins[t];
        p.Outputs = outs[t];
        const uint32_t sizes[6] = {39, 15, 15, t & 1 ? 17u : 10u, 4, kProgramSize[t]};
        for (int a = 0; a < 6; ++a) {
          p.AreaType[a] = types[a];
          p.AreaSize[a] = sizes[a];
        }
        p.AreaWord = 2;
        p.Load = loads[t];
      }
    }
  } rows;
  return rows.R[type];
}

uint32_t TypeCode(int type) { return 0xE41u + uint32_t(type); }
int TypeOfCode(uint32_t code) { return code >= 0xE41 && code <= 0xE44 ? int(code - 0xE41) : -1; }
bool IsSideChain(int type) { return type & 2; }
bool IsStereo(int type) { return type & 1; }
uint32_t SwitchCount(int type) { return IsSideChain(type) ? 7 : 5; }

const ELEMMODINFO& ModuleInfo() {
  static const ELEMMODINFO info = [] {
    ELEMMODINFO m{};
    m.Size = kElemModInfoSize;
    m.Kind = kElemModInfoKind;
    m.Version = kElemIfVersion;
    Copy(m.Name, "HRL Gainmoor", kElemTextSize);
    Copy(m.Maker, "Harlowen", kElemTextSize);
    m.TypeCount = kTypes;
    return m;
  }();
  return info;
}

Hooks& ModuleHooks() {
  static Hooks hooks{NoDsp, NoNotify, NoTick};
  return hooks;
}

int32_t GainWord(int32_t t) { return int32_t(Round(std::exp(t * kLn10 / 2000) * 0x80000)); }

double RangeDb(int32_t range) {
  static const double table[11] = {-0.01, -0.02, -5.17, -10.72, -16.47, -22.63, -28.63, -34.48, -40.16, -45.38, -47.82};
  const double v = range * 10.0 / 4000;
  if (v >= 10) return -47.82;
  if (v <= 0) return -0.01;
  const int i = int(v);
  return table[i] + (table[i + 1] - table[i]) * (v - i);
}

int BankRuns(const int32_t* now, const int32_t* shadow, int starts[kBankWords], int lengths[kBankWords]) {
  int runs = 0;
  for (int i = 0; i < kBankWords;) {
    if (now[i] == shadow[i]) {
      ++i;
      continue;
    }
    int j = i + 1;
    while (j < kBankWords && !(now[j] == shadow[j] && (j == kBankWords - 1 || now[j + 1] == shadow[j + 1]))) ++j;
    starts[runs] = i;
    lengths[runs] = j - i;
    ++runs;
    i = j;
  }
  return runs;
}

// The program: the words the element patches are data, each after a SKIP;
// one DYN does the processing.
std::vector<uint32_t> Program(int type) {
  std::vector<uint32_t> p(kProgramSize[type], kDspNop);
  auto data = [&p](uint32_t at, uint32_t word) {
    p[at - 1] = DspSkip();
    p[at] = word;
  };
  data(1, BankWord(false));
  p[2] = DspDyn(IsStereo(type) ? 2 : 1, BypassOffset(type));
  data(BypassOffset(type), BypassWord(type, false));
  if (IsSideChain(type)) {
    // The side-chain DYN reads its two switch words, named by its operand.
    p[2] |= kDspDynSideChain;
    p[3] = DspDynSideChainOperand(type == 2 ? 10 : 13, type == 2 ? 203 : 385);
    data(type == 2 ? 10 : 13, ScInputWord(type, false));
    data(type == 2 ? 203 : 385, ScListenWord(type, false));
  }
  return p;
}

uint32_t BypassOffset(int type) {
  static const uint32_t off[kTypes] = {193, 370, 194, 372};
  return off[type];
}

Element* Create(int type, void* hostContext) {
  auto* o = new (std::nothrow) CHRLCD;
  if (!o) return nullptr;
  Element* e = &o->E;
  e->Object = o;
  e->Type = type;
  e->HostContext = hostContext;
  e->St.Length = kStateSize;
  std::snprintf(e->St.PresetPath, kPathSize, "%s(untitled)", kFolder);
  std::memcpy(e->St.Knob, kDefaults, sizeof kDefaults);
  UiCentred(&e->St.BigX, &e->St.BigY);
  e->A = Current(e);
  e->Gain[0] = e->Gain[1] = 0x80000;
  e->Gain[2] = e->Gain[3] = 0x400000;
  e->SampleRate = 44100;
  e->HoldMs = 1000;
  e->Dirty = 0x7FFE;
  Recompute(e);
  Notify(e, kNotifyBigWindow, 1);
  return e;
}

void Destroy(Element* e) { delete e->Object; }

Element* ElementOf(ElemHandle handle) {
  return handle ? &static_cast<CHRLCD*>(static_cast<CElem*>(handle))->E : nullptr;
}

// The big window follows flags bit 0; the host hears which it is.
void ShowBigWindow(Element* e) {
  UiShowBig(e);
  Notify(e, kNotifyBigWindow, (e->St.Flags & kFlagBigOpen) ? 0 : 1);
}

CHRLCD::~CHRLCD() { UiDelete(&E); }
uint32_t CHRLCD::Load(void* dspHandle) { return hrlcd::Load(&E, dspHandle); }
uint32_t CHRLCD::Set(uint32_t code, uintptr_t data) { return hrlcd::Set(&E, code, data); }
uint32_t CHRLCD::Get(uint32_t code, void* out) { return hrlcd::Get(&E, code, out); }
WndHandle CHRLCD::CreateWindows(WndHandle parent, const ElemPoint& pos, int32_t width) {
  return UiCreateLittle(&E, parent, pos, width);
}
void CHRLCD::SetBypass(bool on) { hrlcd::SetBypass(&E, on); }
void CHRLCD::ShowBigWindow() { hrlcd::ShowBigWindow(&E); }
void CHRLCD::InvalidateTitle() { UiRefresh(&E); }
bool CHRLCD::OpenBigWindow() { return UiOpenBig(&E); }
void CHRLCD::LoadPreset(WndHandle owner) { UiLoadPreset(&E, owner); }
void CHRLCD::SavePreset(WndHandle owner) { UiSavePreset(&E, owner); }
void CHRLCD::StorePreset() { hrlcd::StorePreset(&E); }
void CHRLCD::RecallPreset(bool on) { hrlcd::RecallPreset(&E, on); }

uint32_t Load(Element* e, void* dspHandle) {
  e->DspHandle = dspHandle;
  if (!dspHandle) return 1;
  const bool st = IsStereo(e->Type);
  const uint32_t n3 = st ? 17 : 10;
  std::vector<uint32_t> program = Program(e->Type);
  uint32_t word;
  if (Dsp(e, kDspWrite, 3, 0, n3, st ? kStereoInit : kMonoInit) != kDspOk) return 0;
  if (Dsp(e, kDspClear, 3, kElemSecondBank, n3, nullptr) != kDspOk) return 0;
  if (Dsp(e, kDspWrite, 0, 0, 39, kConstants) != kDspOk) return 0;
  if (Dsp(e, kDspProgram, 5, 0, kProgramSize[e->Type], program.data()) != kDspOk) return 0;
  if (Dsp(e, kDspWrite, 2, 0, kBankWords, e->Bank2) != kDspOk) return 0;
  if (Dsp(e, kDspWrite, 1, 0, kBankWords, e->Bank1) != kDspOk) return 0;
  if (Dsp(e, kDspWrite, 4, 0, 4, e->Gain) != kDspOk) return 0;
  word = BankWord(e->Bank1Active);
  if (Dsp(e, kDspWrite, 5, 1, 1, &word) != kDspOk) return 0;
  word = BypassWord(e->Type, e->BypassActive);
  if (Dsp(e, kDspWrite, 5, BypassOffset(e->Type), 1, &word) != kDspOk) return 0;
  if (IsSideChain(e->Type)) {
    word = ScInputWord(e->Type, e->ScInput);
    if (Dsp(e, kDspWrite, 5, e->Type == 2 ? 10 : 13, 1, &word) != kDspOk) return 0;
    word = ScListenWord(e->Type, e->ScListen);
    if (Dsp(e, kDspWrite, 5, e->Type == 2 ? 203 : 385, 1, &word) != kDspOk) return 0;
  }
  return 1;
}

uint32_t Set(Element* e, uint32_t code, uintptr_t data) {
  switch (code) {
    case kSetSampleRate: {
      const uint32_t rate = uint32_t(data);
      if (rate != e->SampleRate && rate != 0) {
        e->SampleRate = rate;
        e->Dirty |= kTimeBits;
        Recompute(e);
      }
      return 1;
    }
    case kSetState: {
      const State* in = reinterpret_cast<const State*>(data);
      if (!in || in->Length != kStateSize) return 0;
      State s = *in;
      s.PresetPath[kPathSize - 1] = 0;
      const bool blobBypassed = s.Flags & kFlagBypassed;
      // Bypass goes on before anything changes and comes off after all of it,
      // so the DSP never runs a half-applied setting.
      if (blobBypassed && !(e->St.Flags & kFlagBypassed)) {
        SetSwitch(e, 0, false, true);
        Report(e, 9, 0);
      }
      ApplySet(e, s.Knob, s.Flags);
      if (!blobBypassed && (e->St.Flags & kFlagBypassed)) {
        SetSwitch(e, 0, true, false);
        Report(e, 9, 1);
      }
      std::memcpy(e->St.PresetPath, s.PresetPath, kPathSize);
      if (s.BigX != e->St.BigX || s.BigY != e->St.BigY) {
        e->St.BigX = s.BigX;
        e->St.BigY = s.BigY;
        if (s.Flags & kFlagBigOpen) UiMoveBig(e);
      }
      if ((s.Flags ^ e->St.Flags) & kFlagBigOpen) {
        e->St.Flags ^= kFlagBigOpen;
        ShowBigWindow(e);
      }
      UiRefresh(e);
      return 1;
    }
    case kSetKnob: {
      const ELEMKNOBVALUE* kv = reinterpret_cast<const ELEMKNOBVALUE*>(data);
      if (!kv) return 1;
      if (kv->Index < uint32_t(kKnobs)) {
        const int32_t v = std::clamp(kv->Value, kKnobTable[kv->Index].RawMin, kKnobTable[kv->Index].RawMax);
        if (v != e->St.Knob[kv->Index]) SetKnob(e, int(kv->Index), v, false);
        UiRefresh(e);
      } else if (kv->Index < uint32_t(kKnobs) + SwitchCount(e->Type)) {
        const int sw = int(kv->Index) - kKnobs;
        if (SwitchOn(e, sw) != (kv->Value != 0)) SetSwitch(e, sw, kv->Value != 0, false);
        UiRefresh(e);
      }
      return 1;
    }
    case kSetRefresh:
      PollMeters(e);
      UiRefresh(e);
      return 1;
    case kSetBigWindow: {
      const bool open = data == 0;
      if (open != bool(e->St.Flags & kFlagBigOpen)) {
        e->St.Flags ^= kFlagBigOpen;
        ShowBigWindow(e);
      }
      return 1;
    }
    case kSetBlocked:
      e->Blocked = data != 0;
      UiRefresh(e);
      return 1;
    case kSetPosition: {
      const int32_t* pos = reinterpret_cast<const int32_t*>(data);
      if (pos) {
        e->Column = pos[0];
        e->Index = pos[1];
        UiRefresh(e);
      }
      return 1;
    }
    default:
      return 1;
  }
}

uint32_t Get(Element* e, uint32_t code, void* out) {
  switch (code) {
    case kGetState:
      std::memcpy(out, &e->St, kStateSize);
      return 1;
    case kGetKnob: {
      ELEMKNOBVALUE* kv = static_cast<ELEMKNOBVALUE*>(out);
      if (kv->Index < uint32_t(kKnobs)) kv->Value = e->St.Knob[kv->Index];
      else if (kv->Index < uint32_t(kKnobs) + SwitchCount(e->Type)) kv->Value = SwitchOn(e, int(kv->Index) - kKnobs);
      else return 0;
      return 1;
    }
    case kGetBigClosed:
      *static_cast<uint32_t*>(out) = (e->St.Flags & kFlagBigOpen) ? 0 : 1;
      return 1;
    case kGetKnobText: {
      ELEMKNOBTEXT* t = static_cast<ELEMKNOBTEXT*>(out);
      KnobText(e, t->Index, t->Text);
      return 1;
    }
    default:
      return 1;
  }
}

void EditKnob(Element* e, int knob, int32_t value) {
  SetKnob(e, knob, value, false);
  Report(e, uint32_t(knob), e->St.Knob[knob]);
}

void EditSwitch(Element* e, int sw, bool on) {
  SetSwitch(e, sw, on, false);
  Report(e, uint32_t(kKnobs + sw), on);
}

void SetBypass(Element* e, bool on) {
  SetSwitch(e, 0, !on, false);
  Report(e, 9, !on);
}

void StorePreset(Element* e) {
  e->A = e->B = Current(e);
  e->Compare = true;
}

void RecallPreset(Element* e, bool on) {
  if (on == e->Compare) return;
  if (on) {
    e->B = Current(e);
    ApplySet(e, e->A.Knob, e->A.Bits);
    e->A = Current(e);
    e->Compare = true;
  } else {
    e->Compare = false;
    ApplySet(e, e->B.Knob, e->B.Bits);
  }
}

void ResetClips(Element* e) { e->InClip = e->OutClip = false; }

void SetClipHold(Element* e, int32_t ms) {
  if (e->HoldMs < 0) e->InClipTick = e->OutClipTick = ModuleHooks().Tick();
  e->HoldMs = ms;
}

int PresetParse(const uint8_t* bytes, size_t size, State* out) {
  if (!bytes || size != kPresetSize || std::memcmp(bytes, kMagic, kPresetMagicSize) != 0) return 0;
  std::memcpy(out, bytes + kPresetMagicSize, kStateSize);
  return out->Length == kStateSize;
}

void PresetBuild(const State& s, uint8_t out[kPresetSize]) {
  std::memcpy(out, kMagic, kPresetMagicSize);
  std::memcpy(out + kPresetMagicSize, &s, kStateSize);
}

void DialogStart(const char* presetPath, bool saving, char dir[kPathSize], char name[kPathSize]) {
  const char* file = std::strrchr(presetPath, '\\');
  file = file ? file + 1 : presetPath;
  size_t n = size_t(file - presetPath);
  if (n >= size_t(kPathSize)) n = kPathSize - 1;
  std::memcpy(dir, presetPath, n);
  dir[n] = 0;
  if (n > 0 && dir[n - 1] == '\\') dir[n - 1] = 0;
  name[0] = 0;
  if (saving && std::strcmp(file, "(untitled)") != 0) std::snprintf(name, kPathSize, "%s", file);
}

int WithPresetExtension(char path[kPathSize]) {
  char* file = std::strrchr(path, '\\');
  file = file ? file + 1 : path;
  char* dot = std::strrchr(file, '.');
  const size_t keep = size_t((dot ? dot : file + std::strlen(file)) - path);
  if (keep + 4 > size_t(kPathSize) - 1) return 0;
  std::memcpy(path + keep, ".HCD", 5);
  return 1;
}

// --- Knob laws and numeric entry -------------------------------------------------

namespace {

struct LawRow {
  int Kind;  // 0 end, 1 step, 2 linear, 3 logarithmic
  double Angle;  // degrees, 120 .. 420 clockwise
  int32_t Value;
};

const LawRow* Law(int knob) {
  static const LawRow gain[] = {{2, 120, -2000}, {0, 420, 2000}};
  static const LawRow thold[] = {{2, 120, 1000}, {0, 420, -2000}};
  static const LawRow release[] = {{2, 120, 10},  {2, 150, 20},  {2, 180, 40},  {2, 210, 60},
                                   {2, 240, 80},  {2, 270, 100}, {2, 300, 120}, {2, 330, 150},
                                   {2, 360, 200}, {2, 390, 300}, {0, 420, 400}};
  static const LawRow ratio[] = {{2, 120, 10},     {2, 162.86, 20},  {2, 205.71, 30}, {2, 248.57, 60},
                                 {2, 291.43, 100}, {2, 334.29, 200}, {2, 377.14, 400}, {0, 420, 1000}};
  static const LawRow gate[] = {{2, 120, -3000}, {0, 420, 1000}};
  static const LawRow range[] = {{2, 120, 0}, {0, 420, 4000}};
  static const LawRow hold[] = {{2, 120, 0}, {3, 360, 100}, {0, 420, 400}};
  switch (knob) {
    case 0: case 8: return gain;
    case 1: return thold;
    case 2: case 4: return release;
    case 3: return ratio;
    case 5: return gate;
    case 6: return range;
    default: return hold;
  }
}

}  // namespace

double KnobAngle(int knob, int32_t value) {
  const LawRow* r = Law(knob);
  int n = 0;
  while (r[n].Kind != 0) ++n;
  const int32_t lo = std::min(r[0].Value, r[n].Value), hi = std::max(r[0].Value, r[n].Value);
  value = std::clamp(value, lo, hi);
  for (int i = 0; i < n; ++i) {
    const LawRow &a = r[i], &b = r[i + 1];
    const int32_t mn = std::min(a.Value, b.Value), mx = std::max(a.Value, b.Value);
    if (value < mn || value > mx) continue;
    if (a.Kind == 1) return value - a.Value < b.Value - value ? a.Angle : b.Angle;
    double t = a.Value == b.Value ? 0 : double(value - a.Value) / (b.Value - a.Value);
    if (a.Kind == 3 && a.Value > 0 && b.Value > 0) t = std::log(double(value) / a.Value) / std::log(double(b.Value) / a.Value);
    return a.Angle + t * (b.Angle - a.Angle);
  }
  return r[n].Angle;
}

int32_t KnobValueAt(int knob, double angle) {
  const LawRow* r = Law(knob);
  int n = 0;
  while (r[n].Kind != 0) ++n;
  angle = std::clamp(angle, r[0].Angle, r[n].Angle);
  for (int i = 0; i < n; ++i) {
    const LawRow &a = r[i], &b = r[i + 1];
    if (angle > b.Angle) continue;
    const double t = (angle - a.Angle) / (b.Angle - a.Angle);
    if (a.Kind == 1) return t < 0.5 ? a.Value : b.Value;
    if (a.Kind == 3 && a.Value > 0 && b.Value > 0) return int32_t(Round(a.Value * std::pow(double(b.Value) / a.Value, t)));
    return int32_t(Round(a.Value + t * (b.Value - a.Value)));
  }
  return r[n].Value;
}

int KnobDecimals(int knob) { return knob == 3 ? 1 : 2; }

int32_t KnobDefault(int knob) { return knob >= 0 && knob < kKnobs ? kDefaults[knob] : 0; }

std::string EntryRangeMessage(int decimals, int32_t low, int32_t high, const int32_t* special) {
  const double div = decimals == 1 ? 10.0 : decimals == 2 ? 100.0 : 1.0;
  char msg[200];
  int n = std::snprintf(msg, sizeof msg, "The entered value is invalid or out of range.\r\nValid range: %.*f ~ %.*f",
                        decimals, low / div, decimals, high / div);
  if (special && *special != low && *special != high && n > 0 && size_t(n) < sizeof msg)
    std::snprintf(msg + n, sizeof msg - size_t(n), ", %.*f", decimals, *special / div);
  return msg;
}

std::string EntryRangeMessage(int knob) {
  if (knob < 0 || knob >= kKnobs) return {};
  // The ratio's special value "Infinite" is its top end.
  const int32_t infinite = 1000;
  return EntryRangeMessage(KnobDecimals(knob), kKnobTable[knob].RawMin, kKnobTable[knob].RawMax,
                           knob == 3 ? &infinite : nullptr);
}

int ParseEntry(int knob, const char* text, int32_t* raw) {
  if (knob < 0 || knob >= kKnobs || !text) return 0;
  const char* p = text;
  while (*p == ' ') ++p;
  bool neg = false;
  if (*p == '-') {
    neg = true;
    ++p;
  }
  if (*p < '0' || *p > '9') return 0;
  // Digits with at most one decimal point, which must follow a digit.
  int64_t whole = 0, frac = 0;
  int fracDigits = 0;
  bool point = false;
  for (; *p; ++p) {
    if (*p >= '0' && *p <= '9') {
      if (point) {
        if (fracDigits < 9) frac = frac * 10 + (*p - '0'), ++fracDigits;
      } else if (whole < 100000000) {
        whole = whole * 10 + (*p - '0');
      } else {
        return 0;
      }
    } else if ((*p == '.' || *p == ',') && !point && p[-1] >= '0' && p[-1] <= '9') {
      point = true;
    } else {
      break;
    }
  }
  while (*p == ' ') ++p;
  if (*p) return 0;
  // Scaled to the knob's decimals, half away from zero.
  int64_t scale = 1;
  for (int i = 0; i < KnobDecimals(knob); ++i) scale *= 10;
  int64_t fscale = 1;
  for (int i = 0; i < fracDigits; ++i) fscale *= 10;
  const int64_t v = whole * scale + (frac * scale * 2 + fscale) / (2 * fscale);
  const int64_t value = neg ? -v : v;
  if (value < kKnobTable[knob].RawMin || value > kKnobTable[knob].RawMax) return 0;
  *raw = int32_t(value);
  return 1;
}

void KnobText(const Element* e, uint32_t index, char out[64]) {
  if (index < uint32_t(kKnobs)) {
    const int32_t v = e->St.Knob[index];
    const int32_t a = v < 0 ? -v : v;
    const char* sign = v < 0 ? "-" : "";
    const char* unit = (index == 2 || index == 4 || index == 7) ? "S" : index == 3 ? "" : "dB";
    if (index == 3) std::snprintf(out, 64, "%s%d.%01d%s", sign, a / 10, a % 10, unit);
    else std::snprintf(out, 64, "%s%d.%02d%s", sign, a / 100, a % 100, unit);
  } else if (index < uint32_t(kKnobs) + SwitchCount(e->Type)) {
    std::snprintf(out, 64, "%s", SwitchOn(e, int(index) - kKnobs) ? "On" : "Off");
  }
}

}  // namespace hrlcd
