// The module's constant tables: module information, the four types, the
// 22 knob rows and which rows each type offers, and its texts.
#include <cstring>

#include "elements/Qvmxel1b/span.h"

namespace span {
namespace {

constexpr char kMaker[] = "Quorvale";

constexpr void Copy(char* dst, const char* src, int size) {
  for (int i = 0; src[i] && i < size - 1; ++i) dst[i] = src[i];
}

constexpr ELEMTYPEPROPINFO Type(const char* name, uint32_t in, uint32_t out, uint32_t matrix, uint32_t program,
                                uint32_t load) {
  ELEMTYPEPROPINFO t{};
  t.Size = kElemTypePropSize;
  t.Kind = kElemKindOutput;
  Copy(t.Name, name, kElemTextSize);
  Copy(t.Maker, kMaker, kElemTextSize);
  t.LittleHeight = 188;
  t.Flags = kElemFlagPeakMeters;
  t.StateSize = kStateSize;
  t.Inputs = in;
  t.Outputs = out;
  t.AreaType[2] = 1;
  t.AreaType[3] = 1;
  t.AreaType[5] = kAreaProgram;
  t.AreaWord = 2;
  t.AreaSize[2] = matrix;
  t.AreaSize[3] = 2;
  t.AreaSize[5] = program;
  t.Load = load;
  return t;
}

constexpr ELEMKNOBPROPINFO Knob(const char* name, uint32_t kind, int32_t rmin, int32_t rmax, int32_t dmin,
                                int32_t dmax, const char* unit = "", int32_t div = 1, uint32_t law = 0,
                                uint32_t meter = 0) {
  ELEMKNOBPROPINFO k{};
  k.Size = kElemKnobPropSize;
  k.Kind = kind;
  Copy(k.Name, name, kElemKnobNameSize);
  k.ReadOnly = meter;
  k.Meter = meter;
  k.RawMin = rmin;
  k.RawMax = rmax;
  Copy(k.Unit, unit, kElemUnitSize);
  k.DisplayMin = dmin;
  k.DisplayMax = dmax;
  k.DisplayDivisor = div;
  k.Law = law;
  return k;
}

// The rows of each type, in the order of its knob indexes.
constexpr int kRows905[] = {0, 1, 5, 6, 7, 8, 10, 11, 12, 13, 16, 17, 18, 20};
constexpr int kRows906[] = {0, 1, 5, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21};
constexpr int kRows908[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16, 17, 18, 20};
constexpr int kRows909[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21};

struct Rows {
  const int* Row;
  uint32_t Count;
};
constexpr Rows kRows[kTypes] = {{kRows905, 14}, {kRows906, 17}, {kRows908, 18}, {kRows909, 21}};

struct Str {
  uint32_t Id;
  const char* Text;
};
constexpr Str kStrings[] = {
#define MOD_STR(symbol, id, text) {id, text},
#include "elements/Qvmxel1b/res/spanstrings.inc"
#undef MOD_STR
};

}  // namespace

const TypeRow kTypeTable[kTypes] = {
    {905, Type("Output w/Fader\t(Mono->LRCS)", 1, 4, 4, 18, 57)},
    {906, Type("Output w/Fader\t(Mono->5.1)", 1, 6, 6, 22, 105)},
    {908, Type("Output w/Fader\t(Stereo->LRCS)", 2, 4, 8, 28, 101)},
    {909, Type("Output w/Fader\t(Stereo->5.1)", 2, 6, 12, 36, 133)},
};

// "LFE" is a gain below unity only (raw 32768 is 0 dB, the top of its fader
// and spin box), so its display range ends at 0 dB.
const ELEMKNOBPROPINFO kKnobTable[kKnobRows] = {
    Knob("XPan", 0, -32767, 32767, -100, 100),
    Knob("YPan", 0, -32767, 32767, -100, 100),
    Knob("XPan R", 0, -32767, 32767, -100, 100),
    Knob("YPan R", 0, -32767, 32767, -100, 100),
    Knob("Pan Mode", 2, 0, 3, 0, 3),
    Knob("Solo", 1, 0, 2, 0, 2),
    Knob("Volume", 0, 0, 65536, -960, 60, "dB", 10, kLawFader),
    Knob("Mute", 1, 0, 1, 0, 1),
    Knob("Peak Meter", 0, 0, 32767, -960, 0, "dB", 10, kLawLog, 1),
    Knob("Peak Meter R", 0, 0, 32767, -960, 0, "dB", 10, kLawLog, 1),
    Knob("Div F", 0, 0, 100, 0, 100, "%"),
    Knob("Div R", 0, 0, 100, 0, 100, "%"),
    Knob("Div F/R", 0, 0, 100, 0, 100, "%"),
    Knob("Center", 0, 0, 100, 0, 100, "%"),
    Knob("LFE", 0, 0, 32768, -960, 0, "dB", 10, kLawFader),
    Knob("LFE Mute", 1, 0, 1, 0, 1),
    Knob("L Mute", 1, 0, 1, 0, 1),
    Knob("C Mute", 1, 0, 1, 0, 1),
    Knob("R Mute", 1, 0, 1, 0, 1),
    Knob("Ls Mute", 1, 0, 1, 0, 1),
    Knob("Cs Mute", 1, 0, 1, 0, 1),
    Knob("Rs Mute", 1, 0, 1, 0, 1),
};

const ELEMMODINFO& ModuleInfo() {
  static const ELEMMODINFO info = [] {
    ELEMMODINFO m{};
    m.Size = kElemModInfoSize;
    m.Kind = kElemModInfoKind;
    m.Version = kElemIfVersion;
    Copy(m.Name, "Version 2.xx Mixer (Part B)", kElemTextSize);
    Copy(m.Maker, "Quorvale, Version 1.07", kElemTextSize);
    m.TypeCount = kTypes;
    return m;
  }();
  return info;
}

int TypeOfCode(uint32_t code) {
  for (int t = 0; t < kTypes; ++t)
    if (kTypeTable[t].Code == code) return t;
  return -1;
}

bool IsStereo(int type) { return type >= 2; }
bool Is51(int type) { return type == 1 || type == 3; }
uint32_t KnobCount(int type) { return type >= 0 && type < kTypes ? kRows[type].Count : 0; }

int KnobOfRow(int type, int row) {
  if (type < 0 || type >= kTypes) return -1;
  for (uint32_t k = 0; k < kRows[type].Count; ++k)
    if (kRows[type].Row[k] == row) return int(k);
  return -1;
}

int RowOfKnob(int type, uint32_t knob) {
  if (type < 0 || type >= kTypes || knob >= kRows[type].Count) return -1;
  return kRows[type].Row[knob];
}

const char* StrText(uint32_t id) {
  for (const Str& s : kStrings)
    if (s.Id == id) return s.Text;
  return "";
}

}  // namespace span
