// The channel dynamics module: its tables, the element (input gain,
// compressor, gate/expander, output gain, optional side-chain), the
// coefficient words and their two alternating banks, compare A/B, meters
// and clip hold, preset files, and the knob laws and numeric entry of its
// windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "elements/elemif.h"

namespace hrlcd {

constexpr int kTypes = 4;
constexpr int kKnobs = 9;      // continuous knobs 0-8
constexpr int kSwitches = 7;   // knobs 9-15
constexpr int kBankWords = 15;
constexpr uint32_t kHeaderSize = 276;
constexpr uint32_t kStateSize = 312;
constexpr uint32_t kPresetMagicSize = 16;
constexpr uint32_t kPresetSize = kPresetMagicSize + kStateSize;
constexpr int kPathSize = 260;

struct State {
  uint32_t Length;
  char PresetPath[kPathSize];
  int32_t BigX, BigY;
  uint32_t Flags;  // bit 0 big window open, bit 1 bypassed, bits 2-7 the switches
  int32_t Knob[kKnobs];
};
static_assert(sizeof(State) == kStateSize);
static_assert(offsetof(State, Flags) == 272);
static_assert(offsetof(State, Knob) == kHeaderSize);

enum : uint32_t { kFlagBigOpen = 1, kFlagBypassed = 2 };

struct CompareSlot {
  int32_t Knob[kKnobs];
  uint32_t Bits;
};

// The host clock in milliseconds (replaced in tests).
using TickFn = uint32_t (*)();

class CElem;

struct Element {
  CElem* Object;  // the object the host holds as the element handle
  int Type;
  void* HostContext;
  void* DspHandle;
  uint32_t Blocked;
  int32_t Column, Index;
  WndHandle Little, Big;
  State St;
  CompareSlot A, B;
  int32_t Bank1[kBankWords], Bank2[kBankWords];
  int32_t Gain[4];
  bool Bank1Active, Compare, BypassActive, ScInput, ScListen;
  uint32_t SampleRate;
  uint32_t Dirty;
  bool InClip, OutClip;
  int32_t HoldMs;  // -1: infinite
  uint32_t InClipTick, OutClipTick;
  // What the windows show, from the last meter poll.
  int32_t InPeak, OutPeak, CompGain, GateGain;
  void* Ui;  // the window objects (Windows layer)
};

extern const ELEMKNOBPROPINFO kKnobTable[16];
const ELEMTYPEPROPINFO& TypeProps(int type);
uint32_t TypeCode(int type);
int TypeOfCode(uint32_t code);
bool IsSideChain(int type);
bool IsStereo(int type);
uint32_t SwitchCount(int type);
const ELEMMODINFO& ModuleInfo();

struct Hooks {
  ElemDspCallback Dsp;
  ElemNotifyCallback Notify;
  TickFn Tick;
};
Hooks& ModuleHooks();

// The element object behind a handle: the framework's operations in slot
// order (the deleting destructor first).
class CElem {
 public:
  virtual ~CElem() = default;
  virtual uint32_t Load(void* dspHandle) = 0;
  virtual uint32_t Set(uint32_t code, uintptr_t data) = 0;
  virtual uint32_t Get(uint32_t code, void* out) = 0;
  virtual WndHandle CreateWindows(WndHandle parent, const ElemPoint& pos, int32_t width) = 0;
  virtual void SetBypass(bool on) = 0;
  virtual void ShowBigWindow() = 0;
  virtual void InvalidateTitle() = 0;
  virtual bool OpenBigWindow() = 0;
  virtual void LoadPreset(WndHandle owner) = 0;
  virtual void SavePreset(WndHandle owner) = 0;
  virtual void StorePreset() = 0;
  virtual void RecallPreset(bool) {}
};

// The dynamics element: the record the core works on, inside its object.
class CHRLCD final : public CElem {
 public:
  ~CHRLCD() override;
  uint32_t Load(void* dspHandle) override;
  uint32_t Set(uint32_t code, uintptr_t data) override;
  uint32_t Get(uint32_t code, void* out) override;
  WndHandle CreateWindows(WndHandle parent, const ElemPoint& pos, int32_t width) override;
  void SetBypass(bool on) override;
  void ShowBigWindow() override;
  void InvalidateTitle() override;
  bool OpenBigWindow() override;
  void LoadPreset(WndHandle owner) override;
  void SavePreset(WndHandle owner) override;
  void StorePreset() override;
  void RecallPreset(bool on) override;
  Element E{};
};

// Creation (the record inside a new CHRLCD) and deletion.
Element* Create(int type, void* hostContext);
void Destroy(Element* e);
// The record behind an element handle.
Element* ElementOf(ElemHandle handle);
// Opens or closes the big window to match flags bit 0 and tells the host.
void ShowBigWindow(Element* e);
uint32_t Load(Element* e, void* dspHandle);
uint32_t Set(Element* e, uint32_t code, uintptr_t data);
uint32_t Get(Element* e, uint32_t code, void* out);

// Edits as the element's own controls make them (reported to the host).
void EditKnob(Element* e, int knob, int32_t value);
void EditSwitch(Element* e, int sw, bool on);
void SetBypass(Element* e, bool on);
void StorePreset(Element* e);
void RecallPreset(Element* e, bool on);
void ResetClips(Element* e);
void SetClipHold(Element* e, int32_t ms);

// The words of the coefficient path (exposed for tests).
int32_t GainWord(int32_t hundredthsDb);
double RangeDb(int32_t range);
// Runs of a bank write: words that differ from the shadow, with single equal
// words between differing ones kept inside a run. Returns the run count;
// starts and lengths in the arrays.
int BankRuns(const int32_t* now, const int32_t* shadow, int starts[kBankWords], int lengths[kBankWords]);
// The type's DSP program, and the program word offsets the element patches.
std::vector<uint32_t> Program(int type);
uint32_t BypassOffset(int type);

// Preset file: 328 bytes into a state; 0 for a wrong size or magic.
int PresetParse(const uint8_t* bytes, size_t size, State* out);
void PresetBuild(const State& s, uint8_t out[kPresetSize]);
// Where the preset file dialog starts: the directory part of the preset
// path without its trailing separator, and the file name (saving only, and
// empty when it is "(untitled)"; always empty when loading).
void DialogStart(const char* presetPath, bool saving, char dir[kPathSize], char name[kPathSize]);
// A chosen save path with its extension (from the name's last point, or its
// end) replaced by ".HCD"; 0 when that does not fit.
int WithPresetExtension(char path[kPathSize]);

// Knob laws: value to angle (degrees, 120 clockwise to 420) and back.
double KnobAngle(int knob, int32_t value);
int32_t KnobValueAt(int knob, double angle);
// Numeric entry: 1 and the raw value when the text is a number within the
// knob's range (or its special value); 0 otherwise.
int KnobDecimals(int knob);
// A knob's value in a new element.
int32_t KnobDefault(int knob);
int ParseEntry(int knob, const char* text, int32_t* raw);
// The message of a refused entry: the valid range in the knob's decimals and,
// when the knob has a special value different from both ends, that value.
std::string EntryRangeMessage(int decimals, int32_t low, int32_t high, const int32_t* special);
std::string EntryRangeMessage(int knob);
// The value as text with its unit (get code 9).
void KnobText(const Element* e, uint32_t index, char out[64]);

// The window seam (win32/ draws them; the portable build has none).
// Opens or closes the big window to match flags bit 0; bit 0 is cleared
// when it cannot open.
void UiShowBig(Element* e);
// Where a new element's big window goes: centred on the screen.
void UiCentred(int32_t* x, int32_t* y);
// Values, meters or the blocked look changed: the windows repaint.
void UiRefresh(Element* e);
// The big window (when open) goes to the stored x, y, keeping its size.
void UiMoveBig(Element* e);
// The little window (the portable build has none).
WndHandle UiCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width);
// Creates the big window; false when it cannot.
bool UiOpenBig(Element* e);
// The header's Load and Save: the preset file through the file dialogs.
void UiLoadPreset(Element* e, WndHandle owner);
void UiSavePreset(Element* e, WndHandle owner);
// The element is being freed: its window objects go with it.
void UiDelete(Element* e);

}  // namespace hrlcd
