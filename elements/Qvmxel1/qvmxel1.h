// The main element module: its type and knob tables, the element record its
// families share, the families' DSP words and state, and the seam to its
// windows (win32/ draws them; the portable build has none).
#pragma once

#include <cstddef>
#include <cstdint>

#include "elements/elemif.h"
#include "elements/elemlist.h"

// --- Type table -------------------------------------------------------------

constexpr int kTypeRows = 40;
constexpr uint32_t kOfferedTypes = 34;

enum Family : int {
  kFamInput, kFamTrack, kFamEq, kFamFader, kFamSdl, kFamPeak, kFamSend, kFamOutFader, kFamOutput,
  kFamPlaceholder, kFamDelayComp, kFamilyCount
};

struct TypeRow {
  uint32_t Code;
  ELEMTYPEPROPINFO Props;
};

extern const TypeRow kTypeTable[kTypeRows];
// Row index of a type code, -1 when the module has no such type.
int RowOfCode(uint32_t code);
Family FamilyOfRow(int row);
// The family's knob rows and their count (0 for families without knobs).
const ELEMKNOBPROPINFO* FamilyKnobs(Family f, uint32_t* count);
// Window class names of a row; "" names no class.
const char* LittleClassOfRow(int row);
const char* BigClassOfRow(int row);
const ELEMMODINFO& ModuleInfo();

// --- States ------------------------------------------------------------------

constexpr int kPresetPathSize = 260;

struct EqState {
  uint32_t Length, Bypass;
  int32_t Freq1, Freq2, Q1, Q2, Gain1, Gain2;
  char PresetPath[kPresetPathSize];
  uint32_t BigOpen;
  int32_t BigX, BigY;
};
static_assert(sizeof(EqState) == 304);
static_assert(offsetof(EqState, PresetPath) == 32);
static_assert(offsetof(EqState, BigOpen) == 292);

struct SwitchState {  // Input, Output
  uint32_t Length, Mute;
};
struct TrackState {
  uint32_t Length, BigOpen;
  int32_t BigX, BigY;
  uint32_t Record, MixAlways;
};
static_assert(sizeof(TrackState) == 24);
struct FaderState {
  uint32_t Length, Volume;
};
struct SdlState {
  uint32_t Length, Delay, Phase;
};
static_assert(sizeof(SdlState) == 12);
struct SendState {
  uint32_t Length, Pan, Volume, Mute, Post, BigOpen;
  int32_t BigX, BigY;
};
static_assert(sizeof(SendState) == 32);
struct OutFaderState {
  uint32_t Length, Pan, Solo, Volume, Mute, SoloGroup, FaderGroup;
};
static_assert(sizeof(OutFaderState) == 28);

union ElemStateBlock {
  uint32_t Length;
  EqState Eq;
  SwitchState Switch;
  TrackState Track;
  FaderState Fader;
  SdlState Sdl;
  SendState Send;
  OutFaderState Out;
  uint8_t Bytes[304];
};

// --- Element record ------------------------------------------------------------

struct Element {
  ElemLink Link;  // first: the live list links elements by it
  WndHandle Little;
  WndHandle Big;
  uint32_t Blocked;
  uint32_t Greyed;
  uint32_t Column, Index;  // zero-based, set code 10
  char Name[kElemTextSize];
  void* DspHandle;
  void* HostContext;
  int Row;
  Family Fam;
  ElemStateBlock St;
  // Outside the state:
  uint32_t SampleRate;          // EQ
  uint32_t TrackColors[2];      // Track, set code 4
  uint32_t ColumnVolume;        // Send: the column output's volume, mute, solo-mute
  uint32_t ColumnMute, ColumnSoloMuted;
  int32_t Peaks[2];             // Output w/Fader: peaks kept for knobs 4 and 5
  int32_t Meter[8];             // last meter words read, for the meter control
  uint32_t PanColor, VolumeColor;  // Output w/Fader slider colours, 0xFFFFFFFF: the skin's
  uint32_t RememberedVolume;
  uint32_t Delay;               // delay compensation: samples per channel
  uint8_t* Blob;                // placeholder: the kept state
  uint32_t BlobLength;
  uint32_t OwnRequest;          // set while the element waits for the host's answer to its own request
};

// --- Module globals and services ------------------------------------------------

struct ModuleHooks {
  ElemDspCallback Dsp;
  ElemNotifyCallback Notify;
};
ModuleHooks& Hooks();

// Memory of the module's heap (the private heap under Windows), zeroed.
void* ModuleAlloc(size_t size);
void ModuleFree(void* block);

// The host callbacks for an element; DSP calls without a handle give -1.
int32_t Dsp(Element* e, uint32_t op, uint32_t area, uint32_t offset, uint32_t count, uint32_t* words);
int32_t Notify(Element* e, uint32_t code, uintptr_t value);
// Reports knob k's current value (notify code 2).
void ReportKnob(Element* e, uint32_t k);
void ReportAllKnobs(Element* e);

// The raw value of knob k (index already checked against the family).
int32_t KnobValue(Element* e, uint32_t k);

// --- Families ---------------------------------------------------------------------

// Defaults of a new element (state, values outside it); `arg` is the second
// argument of the create call (the delay of delay compensation).
void FamilyDefaults(Element* e, uintptr_t arg);
// Load: the element's words and program through the DSP callback; the
// result of the last call judges it.
uint32_t FamilyLoad(Element* e, const void* placement);
uint32_t FamilySet(Element* e, uint32_t code, uintptr_t value);
uint32_t FamilyGet(Element* e, uint32_t code, void* inOut);
void FamilyFree(Element* e);

// Words the families write, computed from the state (exposed for tests).
constexpr uint32_t kSwitchOn = 0xFF800000u;
// -(g x 256): a gain in the 0 dB scale.
uint32_t GainWord256(int64_t g);
// -(v x 128): a volume in the fader scale (65536 = +6 dB).
uint32_t GainWord128(int64_t v);
// Left and right gains of a pan d (0..128) over gain g: linear or
// equal-power (EPP).
void PanLinear(int64_t g, uint32_t d, int64_t* left, int64_t* right);
void PanEpp(int64_t g, uint32_t d, int64_t* left, int64_t* right);
// The send's gain after the column's output (post mode), at most 32768.
int64_t SendGain(const Element* e);

// EQ: the four words of band b (0 or 1) at the element's rate and state.
void EqBandWords(const EqState& s, uint32_t sampleRate, int band, uint32_t words[4]);
int32_t EqQMin(int32_t freq, uint32_t sampleRate);
// A preset file's 321 bytes into a state; 0 when the size or magic is wrong.
constexpr uint32_t kEqPresetSize = 321;
constexpr uint32_t kEqPresetMagicSize = 17;
int EqPresetParse(const uint8_t* bytes, size_t size, EqState* out);
void EqPresetBuild(const EqState& s, uint8_t out[kEqPresetSize]);
// Applies a state as a restore (Set code 6): length at most 304.
uint32_t EqRestore(Element* e, const void* state, uint32_t length, int keepWindow);
// The EQ's knob and DSP edits as its windows make them.
void EqSetKnob(Element* e, uint32_t k, int32_t v, int report);
void EqSetBigOpen(Element* e, int open);
void EqDefaults(Element* e);
int32_t EqLoad(Element* e);
uint32_t EqSetSampleRate(Element* e, uint32_t rate);
// The EQ's both bands written again (after an edit of the bypass).
void EqWriteBands(Element* e);

// The DSP program of a row (its area 5 size in words), 0 words for the
// placeholder.
const uint32_t* ProgramOfRow(int row, uint32_t* count);
// Offsets of the phase-inversion words of the delay line's program.
constexpr uint32_t kSdlPhaseMono = 10, kSdlPhaseStereo = 18;

// Output w/Fader and send edits as the windows make them.
void SwitchToggleMute(Element* e);
void TrackRequestArm(Element* e);
void TrackToggleMixAlways(Element* e);
void FaderSetVolume(Element* e, uint32_t v);
void SdlSet(Element* e, uint32_t delay, uint32_t phase);
void SendSet(Element* e, uint32_t knob, uint32_t value);
void SendSetBigOpen(Element* e, int open);
void TrackSetBigOpen(Element* e, int open);
void OutSetPan(Element* e, uint32_t pan);
void OutSetVolume(Element* e, uint32_t volume);
void OutToggleMute(Element* e, int gesture);
void OutSoloButton(Element* e, int ctrl, int gesture);
void OutSetGroup(Element* e, int fader, uint32_t group);
// Reads the meter words (Peakmeter, Output w/Fader) into e->Meter; the
// count of channels read.
int ReadMeters(Element* e);

// --- Window seam -------------------------------------------------------------------

enum UiEvent {
  kUiLabel,      // name, blocked or greyed look changed
  kUiValues,     // state values changed: controls follow
  kUiOpenBig,
  kUiCloseBig,
  kUiRefresh,    // set code 9: the little window reads its meters
};
void ElemUi(Element* e, UiEvent what);
// 1 when the element's little window is shown and its top-level window not
// minimised (meters then come from its refresh).
int ElemUiMetersShown(Element* e);
