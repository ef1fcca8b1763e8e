// The surround-panner module: four output types that pan a mono or stereo
// input onto four (L, R, C, S) or six (L, R, C, LFE, Ls, Rs) outputs. Its
// tables, the element record and state blob, the pan law and the matrix
// words, the preset file, and the seam to its windows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "elements/elemif.h"
#include "elements/elemlist.h"

namespace span {

constexpr int kTypes = 4;
constexpr int kKnobRows = 22;
constexpr uint32_t kStateSize = 364;
constexpr uint32_t kPresetSize = 381;
constexpr uint32_t kPresetMagicSize = 17;
constexpr int kPathSize = 260;
constexpr int32_t kPanMax = 32767;
constexpr uint32_t kUnity = 0x8000;
constexpr uint32_t kNoColor = 0xFFFFFFFFu;

// Knob rows.
enum Row : int {
  kXPan, kYPan, kXPanR, kYPanR, kPanMode, kSolo, kVolume, kMute, kPeak, kPeakR,
  kDivF, kDivR, kDivFR, kCenter, kLfe, kLfeMute, kLMute, kCMute, kRMute, kLsMute, kCsMute, kRsMute,
};
// Speakers in the order of the on flags.
enum Speaker : int { kSpkL, kSpkC, kSpkR, kSpkLs, kSpkCs, kSpkRs, kSpeakers };

struct State {
  uint32_t Length;
  int32_t X1, Y1;
  uint32_t Solo, Volume, Mute, SoloGroup, FaderGroup;
  char PresetPath[kPathSize];
  uint32_t BigOpen;
  int32_t BigX, BigY;
  int32_t X2, Y2;
  uint32_t PanMode, DivF, DivR, DivFR, Center, Lfe, LfeMute;
  uint32_t On[kSpeakers];
};
static_assert(sizeof(State) == kStateSize);
static_assert(offsetof(State, PresetPath) == 32);
static_assert(offsetof(State, BigOpen) == 292);
static_assert(offsetof(State, X2) == 304);
static_assert(offsetof(State, PanMode) == 312);
static_assert(offsetof(State, Lfe) == 332);
static_assert(offsetof(State, On) == 340);

struct Element {
  ElemLink Link;  // first: the live list links elements by it
  WndHandle Little, Big;
  uint32_t Blocked;
  uint32_t Column, Index;
  char Name[kElemTextSize];
  void* DspHandle;
  void* HostContext;
  int Type;  // 0..3
  State St;
  uint32_t Greyed;
  uint32_t SelectedDot1;  // 1: dot 1 selected, 0: dot 2
  int32_t Peaks[2];       // per input, since the last read
  int32_t Meter[2];       // last meter words read, for the meter control
  uint32_t Dot1Color, Dot2Color;
  uint32_t KnobColor[5];  // XPan, XPan R, YPan, YPan R, Volume; kNoColor: none
  uint32_t OwnRequest;    // set while the element's own solo request is with the host
};

// --- Tables ---------------------------------------------------------------------

struct TypeRow {
  uint32_t Code;
  ELEMTYPEPROPINFO Props;
};
extern const TypeRow kTypeTable[kTypes];
extern const ELEMKNOBPROPINFO kKnobTable[kKnobRows];
const ELEMMODINFO& ModuleInfo();
int TypeOfCode(uint32_t code);  // -1 for codes the module lacks
bool IsStereo(int type);
bool Is51(int type);
uint32_t KnobCount(int type);
// Knob index of a row in a type (-1 when the type lacks it) and back (-1
// beyond the type's count).
int KnobOfRow(int type, int row);
int RowOfKnob(int type, uint32_t knob);

enum StrId : uint32_t {
#define MOD_STR(symbol, id, text) symbol = id,
#include "elements/Qvmxel1b/res/spanstrings.inc"
#undef MOD_STR
};
const char* StrText(uint32_t id);
inline constexpr char kUntitled[] = "(untitled)";

// --- Pan law and words -----------------------------------------------------------

struct Gains {
  double L, C, R, Ls, S, Rs;
};
// The six speaker gains of a dot under the state's divergence and centre.
Gains PanLaw(int32_t x, int32_t y, const State& s, bool surround51);
// The matrix words of a state in the type's order (4, 6, 8 or 12 words).
uint32_t MatrixWords(int type, const State& s, uint32_t out[12]);
// The type's DSP program and its length in words.
const uint32_t* Program(int type, uint32_t* count);

// Value and position on an N-step scale, and the percent of a pan value.
int32_t PanToPos(int32_t v, int32_t steps, int reversed);
int32_t PosToPan(int32_t p, int32_t steps, int reversed);
int32_t PanPercent(int32_t v);
int32_t PanFromPercent(int32_t pct);
// A dot and the 32-bit values of the surround field control.
void DotToPanner(int32_t x, int32_t y, int32_t* x32, int32_t* y32);
void PannerToDot(int32_t x32, int32_t y32, int32_t* x, int32_t* y);
// Centre image row of the C speaker button, and a gain's label text.
int CenterImageRow(int32_t percent);
void GainLabel(double gain, char out[16]);

// --- Element operations (entry points and windows) -------------------------------

struct Hooks {
  ElemDspCallback Dsp;
  ElemNotifyCallback Notify;
};
Hooks& ModuleHooks();
void* ModuleAlloc(size_t size);
void ModuleFree(void* block);

int32_t Notify(Element* e, uint32_t code, uintptr_t value);
void Defaults(Element* e);
void ReportRow(Element* e, int row);
int32_t RowValue(Element* e, int row);
uint32_t WriteMatrix(Element* e);
uint32_t Load(Element* e);
uint32_t Set(Element* e, uint32_t code, uintptr_t value);
uint32_t Get(Element* e, uint32_t code, void* out);
// Brings every field of a state from a host or file into its range.
void Sanitize(State* s);
// Restore of a state of length bytes (at most 364); 0 refused.
uint32_t Restore(Element* e, const void* data, uint32_t length);
// Edits as the windows make them.
void SetRow(Element* e, int row, int32_t value);  // stores, applies, no report
void ApplyPanMode(Element* e, int fromDot1);
void SoloRequest(Element* e, uint32_t request);
void ToggleMute(Element* e, int gesture);
void SpeakerSolo(Element* e, int speaker);  // right click on a speaker button
// Meter words into e->Meter and the peaks; channels read.
int ReadMeters(Element* e);

// Preset file: 381 bytes into a state (0: wrong size or header), and back.
int PresetParse(const uint8_t* bytes, size_t size, State* out);
void PresetBuild(const State& s, uint8_t out[kPresetSize]);
// Applies a parsed preset loaded from path: the element's window place kept.
uint32_t PresetApply(Element* e, const State& loaded, const char* path);

// --- Window seam --------------------------------------------------------------------

enum UiEvent { kUiLabel, kUiValues, kUiOpenBig, kUiCloseBig, kUiRefresh, kUiColors };
void Ui(Element* e, UiEvent what);
int UiMetersShown(Element* e);
void UiRegister();
WndHandle UiCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width);
void UiCentred(int32_t w, int32_t h, int32_t* x, int32_t* y);
uint32_t UiSkinDotColor(int dot);  // the skin's dot colours

}  // namespace span
