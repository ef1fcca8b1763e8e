// The module's constant tables: 40 element types (34 offered, then the
// placeholder and the hidden delay compensation), the knobs of each
// family, and the window class names of each row.
#include <cstring>

#include "elements/Qvmxel1/qvmxel1.h"

namespace {

constexpr char kMaker[] = "Quorvale";

constexpr void Copy(char* dst, const char* src, int size) {
  for (int i = 0; src[i] && i < size - 1; ++i) dst[i] = src[i];
}

struct Area {
  uint32_t Type, Size;
};

// One row: areas 1, 2, 3 and the program size of area 5; figures of areas 2
// and 3.
constexpr ELEMTYPEPROPINFO Row(const char* name, uint32_t kind, uint32_t height, uint32_t flags, uint32_t state,
                               uint32_t knobs, uint32_t in, uint32_t out, Area a1, Area a2, Area a3,
                               uint32_t program, uint32_t fig2, uint32_t fig3, uint32_t load) {
  ELEMTYPEPROPINFO t{};
  t.Size = kElemTypePropSize;
  t.Kind = kind;
  Copy(t.Name, name, kElemTextSize);
  Copy(t.Maker, kMaker, kElemTextSize);
  t.LittleHeight = height;
  t.Flags = flags;
  t.StateSize = state;
  t.KnobCount = knobs;
  t.Inputs = in;
  t.Outputs = out;
  t.AreaType[1] = a1.Type;
  t.AreaSize[1] = a1.Size;
  t.AreaType[2] = a2.Type;
  t.AreaSize[2] = a2.Size;
  t.AreaType[3] = a3.Type;
  t.AreaSize[3] = a3.Size;
  t.AreaType[5] = kAreaProgram;
  t.AreaSize[5] = program;
  t.AreaWord = 2;
  t.AreaFigure[2] = fig2;
  t.AreaFigure[3] = fig3;
  t.Load = load;
  return t;
}

constexpr Area N{0, 0};

}  // namespace

// clang-format off
const TypeRow kTypeTable[kTypeRows] = {
  {100, Row("Input\t(Mono)", 0, 24, 0, 8, 1, 1, 1, N, {1, 1}, N, 8, 0, 0, 10)},
  {102, Row("Input\t(Stereo)", 0, 24, 0, 8, 1, 2, 2, N, {1, 1}, N, 18, 0, 0, 19)},
  {104, Row("Input\t(4 chan)", 0, 24, 0, 8, 1, 4, 4, N, {1, 1}, N, 12, 0, 0, 45)},
  {106, Row("Input\t(6 chan)", 0, 24, 0, 8, 1, 6, 6, N, {1, 1}, N, 12, 0, 0, 65)},
  {108, Row("Input\t(8 chan)", 0, 24, 0, 8, 1, 8, 8, N, {1, 1}, N, 12, 0, 0, 85)},
  {200, Row("Track\t(Mono)", 1, 20, 0, 24, 1, 1, 1, N, N, {1, 2}, 18, 0, 0, 18)},
  {202, Row("Track\t(Stereo)", 1, 20, 0, 24, 1, 2, 2, N, N, {1, 2}, 39, 0, 0, 39)},
  {300, Row("EQ 2-Band\t(Mono)", 2, 68, 0, 304, 7, 1, 1, {0, 8}, {5, 4}, N, 30, 1, 0, 112)},
  {302, Row("EQ 2-Band\t(Stereo)", 2, 68, 0, 304, 7, 2, 2, {0, 8}, {5, 4}, {5, 4}, 56, 1, 1, 215)},
  {600, Row("Fader\t(Mono)", 2, 20, 0, 8, 1, 1, 1, N, {1, 1}, N, 11, 0, 0, 13)},
  {602, Row("Fader\t(Stereo)", 2, 20, 0, 8, 1, 2, 2, N, {1, 1}, N, 21, 0, 0, 23)},
  {610, Row("Sample Delay Line\t(Mono)", 2, 20, 0, 12, 2, 1, 1, {0, 2}, {3, 256}, N, 14, 8, 0, 49)},
  {612, Row("Sample Delay Line\t(Stereo)", 2, 20, 0, 12, 2, 2, 2, {0, 3}, {3, 256}, {3, 256}, 26, 8, 8, 75)},
  {700, Row("Peakmeter\t(Mono)", 2, 20, 1, 4, 0, 1, 0, N, {1, 2}, N, 6, 0, 0, 9)},
  {702, Row("Peakmeter\t(Stereo)", 2, 20, 1, 4, 0, 2, 0, N, {1, 2}, N, 12, 0, 0, 16)},
  {800, Row("Send Pre/Post\t(Mono)", 3, 36, 0, 32, 4, 1, 1, N, {1, 1}, N, 13, 0, 0, 14)},
  {801, Row("Send Pre/Post\t(Mono->Stereo)", 3, 36, 0, 32, 4, 1, 2, N, {1, 2}, N, 9, 0, 0, 31)},
  {802, Row("Send Pre/Post\t(Stereo)", 3, 36, 0, 32, 4, 2, 2, N, {1, 2}, N, 27, 0, 0, 28)},
  {811, Row("Send Pre/Post EPP\t(Mono->Stereo)", 3, 36, 0, 32, 4, 1, 2, N, {1, 2}, N, 23, 0, 0, 25)},
  {812, Row("Send Pre/Post EPP\t(Stereo)", 3, 36, 0, 32, 4, 2, 2, N, {1, 2}, N, 27, 0, 0, 32)},
  {900, Row("Output w/Fader\t(Mono)", 4, 188, 1, 28, 6, 1, 1, N, {1, 1}, {1, 2}, 26, 0, 0, 27)},
  {901, Row("Output w/Fader\t(Mono->Stereo)", 4, 188, 1, 28, 6, 1, 2, N, {1, 2}, {1, 2}, 12, 0, 0, 42)},
  {902, Row("Output w/Fader\t(Stereo)", 4, 188, 1, 28, 6, 2, 2, N, {1, 2}, {1, 2}, 15, 0, 0, 55)},
  {904, Row("Output w/Fader\t(4 chan)", 4, 188, 1, 28, 6, 4, 4, N, {1, 1}, {1, 4}, 28, 0, 0, 109)},
  {916, Row("Output w/Fader\t(6 chan)", 4, 188, 1, 28, 6, 6, 6, N, {1, 1}, {1, 6}, 28, 0, 0, 161)},
  {918, Row("Output w/Fader\t(8 chan)", 4, 188, 1, 28, 6, 8, 8, N, {1, 1}, {1, 8}, 28, 0, 0, 213)},
  {911, Row("Output w/Fader EPP\t(Mono->Stereo)", 4, 188, 1, 28, 6, 1, 2, N, {1, 2}, {1, 2}, 47, 0, 0, 48)},
  {912, Row("Output w/Fader EPP\t(Stereo)", 4, 188, 1, 28, 6, 2, 2, N, {1, 2}, {1, 2}, 61, 0, 0, 63)},
  {920, Row("Output\t(Mono)", 4, 28, 0, 8, 1, 1, 1, N, {1, 1}, {1, 0}, 13, 0, 0, 14)},
  {921, Row("Output\t(Mono->Stereo)", 4, 28, 0, 8, 1, 1, 2, N, {1, 2}, {1, 0}, 9, 0, 0, 31)},
  {922, Row("Output\t(Stereo)", 4, 28, 0, 8, 1, 2, 2, N, {1, 2}, {1, 0}, 27, 0, 0, 28)},
  {924, Row("Output\t(4 chan)", 4, 28, 0, 8, 1, 4, 4, N, {1, 1}, {1, 0}, 20, 0, 0, 77)},
  {926, Row("Output\t(6 chan)", 4, 28, 0, 8, 1, 6, 6, N, {1, 1}, {1, 0}, 20, 0, 0, 113)},
  {928, Row("Output\t(8 chan)", 4, 28, 0, 8, 1, 8, 8, N, {1, 1}, {1, 0}, 20, 0, 0, 149)},
  {1990, Row("???", 2, 20, 0, 0, 0, 0, 0, N, {1, 0}, N, 0, 0, 0, 0)},
  {2000, Row("Delay Compensation (Hidden)\t(Mono)", 2, 0, 0, 0, 0, 1, 1, {0, 3}, {3, 0}, N, 24, 0, 0, 39)},
  {2001, Row("Delay Compensation (Hidden)\t(Stereo)", 2, 0, 0, 0, 0, 2, 2, {0, 3}, {3, 0}, N, 19, 0, 0, 65)},
  {2002, Row("Delay Compensation (Hidden)\t(4 chan)", 2, 0, 0, 0, 0, 4, 4, {0, 5}, {3, 0}, N, 25, 0, 0, 132)},
  {2003, Row("Delay Compensation (Hidden)\t(6 chan)", 2, 0, 0, 0, 0, 6, 6, {0, 5}, {3, 0}, N, 25, 0, 0, 172)},
  {2004, Row("Delay Compensation (Hidden)\t(8 chan)", 2, 0, 0, 0, 0, 8, 8, {0, 5}, {3, 0}, N, 25, 0, 0, 212)},
};
// clang-format on

namespace {

constexpr ELEMKNOBPROPINFO Knob(const char* name, uint32_t kind, int32_t lo, int32_t hi, const char* unit,
                                int32_t dlo, int32_t dhi, int32_t div, uint32_t law, uint32_t meter = 0) {
  ELEMKNOBPROPINFO k{};
  k.Size = kElemKnobPropSize;
  k.Kind = kind;
  Copy(k.Name, name, kElemKnobNameSize);
  k.ReadOnly = meter;
  k.RawMin = lo;
  k.RawMax = hi;
  k.Meter = meter;
  Copy(k.Unit, unit, kElemUnitSize);
  k.DisplayMin = dlo;
  k.DisplayMax = dhi;
  k.DisplayDivisor = div;
  k.Law = law;
  return k;
}

constexpr uint32_t C = kKnobContinuous, S = kKnobSwitch;

// The 23 knob rows, family after family.
constexpr ELEMKNOBPROPINFO kKnobs[23] = {
    Knob("Mute", S, 0, 1, "", 0, 1, 1, 0),  // Input
    Knob("Rec Arm", S, 0, 1, "", 0, 1, 1, 0),  // Track
    Knob("Bypass", S, 0, 1, "", 0, 1, 1, 0),  // EQ
    Knob("Freq 1", C, 20, 23999, "Hz", 20, 23999, 1, 1),
    Knob("Q 1", C, 10, 800, "1/Oct", 10, 800, 100, 0),
    Knob("Gain 1", C, -240, 140, "dB", -240, 140, 10, 0),
    Knob("Freq 2", C, 20, 23999, "Hz", 20, 23999, 1, 1),
    Knob("Q 2", C, 10, 800, "1/Oct", 10, 800, 100, 0),
    Knob("Gain 2", C, -240, 140, "dB", -240, 140, 10, 0),
    Knob("Volume", C, 0, 65536, "dB", -960, 60, 10, 2),  // Fader
    Knob("Delay", C, 0, 255, "samples", 0, 255, 1, 0),  // Sample Delay Line
    Knob("Phase Inversion", S, 0, 1, "", 0, 1, 1, 0),
    Knob("Pan", C, 0, 128, "", -64, 64, 1, 0),  // Send
    Knob("Volume", C, 0, 32768, "dB", -960, 0, 10, 2),
    Knob("Mute", S, 0, 1, "", 0, 1, 1, 0),
    Knob("Post", S, 0, 1, "", 0, 1, 1, 0),
    Knob("Pan", C, 0, 128, "", -64, 64, 1, 0),  // Output w/Fader
    Knob("Solo", S, 0, 2, "", 0, 2, 1, 0),
    Knob("Volume", C, 0, 65536, "dB", -960, 60, 10, 2),
    Knob("Mute", S, 0, 1, "", 0, 1, 1, 0),
    Knob("L Peak Meter", C, 0, 32767, "dB", -960, 0, 10, 1, 1),
    Knob("R Peak Meter", C, 0, 32767, "dB", -960, 0, 10, 1, 1),
    Knob("Mute", S, 0, 1, "", 0, 1, 1, 0),  // Output
};

struct FamilyKnobRange {
  int First;
  uint32_t Count;
};
constexpr FamilyKnobRange kFamilyKnobs[kFamilyCount] = {
    {0, 1}, {1, 1}, {2, 7}, {9, 1}, {10, 2}, {0, 0}, {12, 4}, {16, 6}, {22, 1}, {0, 0}, {0, 0},
};

struct RowRange {
  int Last;  // last row of the family
  Family Fam;
  const char* Little;
  const char* Big;
};
// Rows in order; the name tables of the windows (the little and big class
// of every row; only the registered classes are ever created).
constexpr RowRange kRanges[] = {
    {4, kFamInput, "QVINPXX_LWC", "QVINPXX_BWC"},
    {6, kFamTrack, "QVRECXX_LWC", "QVRECXX_BWC"},
    {8, kFamEq, "QV2EQXX_LWC", "QV2EQXX_BWC"},
    {10, kFamFader, "QVFADXX_LWC", "QVFADXX_BWC"},
    {12, kFamSdl, "QVSDLXX_LWC", "QVSDLXX_BWC"},
    {14, kFamPeak, "QVPEKXX_LWC", "QVPEKXX_BWC"},
    {19, kFamSend, "QVSNDXX_LWC", "QVSNDXX_BWC"},
    {27, kFamOutFader, "QVOUTXX_LWC", "QVOUTXX_BWC"},
    {33, kFamOutput, "QVDOTXX_LWC", "QVDOTXX_BWC"},
    {34, kFamPlaceholder, "QVDUMXX_LWC", "QVDUMXX_BWC"},
    {39, kFamDelayComp, "QVDLCXX_LWC", "QVDLCXX_BWC"},
};

const RowRange* RangeOf(int row) {
  for (const RowRange& r : kRanges)
    if (row <= r.Last) return &r;
  return nullptr;
}

}  // namespace

int RowOfCode(uint32_t code) {
  for (int i = 0; i < kTypeRows; ++i)
    if (kTypeTable[i].Code == code) return i;
  return -1;
}

Family FamilyOfRow(int row) {
  const RowRange* r = row >= 0 ? RangeOf(row) : nullptr;
  return r ? r->Fam : kFamPlaceholder;
}

const ELEMKNOBPROPINFO* FamilyKnobs(Family f, uint32_t* count) {
  *count = f >= 0 && f < kFamilyCount ? kFamilyKnobs[f].Count : 0;
  return *count ? &kKnobs[kFamilyKnobs[f].First] : nullptr;
}

const char* LittleClassOfRow(int row) {
  const RowRange* r = row >= 0 ? RangeOf(row) : nullptr;
  return r ? r->Little : "";
}

const char* BigClassOfRow(int row) {
  const RowRange* r = row >= 0 ? RangeOf(row) : nullptr;
  return r ? r->Big : "";
}

const ELEMMODINFO& ModuleInfo() {
  static const ELEMMODINFO info = [] {
    ELEMMODINFO m{};
    m.Size = kElemModInfoSize;
    m.Kind = kElemModInfoKind;
    m.Version = kElemIfVersion;
    std::strcpy(m.Name, "Version 2.xx Mixer");
    std::strcpy(m.Maker, "Quorvale, Version 1.06");
    m.TypeCount = kOfferedTypes;
    return m;
  }();
  return info;
}
