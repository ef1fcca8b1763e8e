// The project settings and edit-view values that every position, time-code,
// musical and snapping conversion reads, and the three locators.
#pragma once

#include <cstdint>

// The twenty project settings, by their index 0..19 (the comments give the
// index), with the values of a new project. Only the settings entry point
// writes them; the conversions treat every value, zero included, as possible
// and never divide by one unchecked.
struct ProjectSettings {
  uint32_t SampleRate = 44100;       // 0: Hz
  // 1: the units' sync-source value; the shell enters it as the varispeed
  // in 1/100 percent (-1000..1000, stored as its 32-bit pattern), which the
  // units receive with the rate.
  uint32_t SyncSource = 0;
  uint32_t CurFrameRate = 25;        // 2: a FrameRateCode
  uint16_t MeterNum = 4;             // 3: high 16 bits of the stored word
  uint16_t MeterDen = 4;             // 3: low 16 bits
  uint32_t Tempo = 12000;            // 4: 1/100 BPM
  uint32_t TcOffset = 0;             // 5: samples; the time code of position 0
  uint32_t SnapMode = 15;            // 6: 0..18
  uint32_t PlayRecMode = 0;          // 7: mode flag bits
  uint32_t PreRoll = 0;              // 8: samples
  uint32_t PostRoll = 0;             // 9: samples
  uint32_t MaxRecTime = 0;           // 10: samples per track, 0 = maximum
  uint32_t AutoTouchTimeout = 0;     // 11: ms
  uint32_t AutoReturnTime = 0;       // 12: ms
  uint32_t AutoThinFactor = 0;       // 13: 0..1000
  uint16_t AutoRecMode = 0;          // 14: 0 normal, 1 touch, 2 touch till stop
  uint16_t AutoFlags = 0;            // 15: bit 0 cycle end mode
  uint32_t SnapshotPartLen = 0;      // 16: samples, 0 = from the locators
  uint32_t SnapshotFadeIn = 0;       // 17: ms
  uint32_t SnapshotFadeOut = 0;      // 18: ms
  uint32_t SnapshotFlags = 0;        // 19: bits 0..2

  // The snap on/off option, an edit option rather than a project setting,
  // read by the grid snapping with the others.
  uint32_t SnapEnable = 0;
};

// The program-wide settings.
ProjectSettings& Settings();

// PlayRecMode bits.
enum : uint32_t {
  kModeLoop = 1u << 0,
  kModePreRoll = 1u << 1,
  kModePostRoll = 1u << 2,
  kModeOption3 = 1u << 3,      // shown as menu check 41428
  kModeOption4 = 1u << 4,      // shown as menu check 41429
  kModeAutoStopPunch = 1u << 5,
  kModeAutoStopLoop = 1u << 6,
  kModeArmDuringRec = 1u << 7,  // arm changes during record: count every present track
  kModeSeamless = 1u << 8,
};

// The now position and the left and right locators, in samples.
struct Locators {
  int32_t NowLoc = 0;
  int32_t LeftLoc = 0;
  int32_t RightLoc = 0;
};

// The program-wide locators.
Locators& Locs();

// Applies project setting `index` (0..19, as in ProjectSettings) with its
// further effects on the menus, displays, units, engines, mixer and
// automation. While the transport runs only indexes 1 and 6 are applied.
// A value the conversions cannot use is refused whatever its source: a rate
// not in the rate menu, a frame-rate code not in the table, a meter outside
// 1..15 over 4, 8 or 16, tempo 0, snap mode above 18, thin factor above
// 1000, automation record mode above 2, and a 16-bit setting above 65535.
// Returns 1 when applied; 0 when refused, ignored or unchanged, which
// changes nothing and calls no service.
int SetArrParam(int32_t index, uint32_t value);

// Locator indexes of SetLocator.
enum : int32_t {
  kLocNowView = 0,    // the now position as the running transport reports it
  kLocNowLocate = 1,  // the now position, locating the units (stopped only)
  kLocLeft = 2,
  kLocLeftPrime = 3,  // left, re-priming the play buffers under a seamless loop
  kLocRight = 4,
  kLocRightPrime = 5,
};

// Sets locator `index` (0..5) to `position` with its effects on the
// displays, units, engines, console and 9-pin link. A position outside
// 0..kMaxSettableLoc, an unknown index, index 1 while the transport runs
// and indexes 2..5 while recording are refused: they change nothing and call
// no service. Returns 1 when the locator was set, else 0.
int SetLocator(int32_t index, int32_t position);

// 1 when the play/record mode has both the loop and the seamless bits set.
inline int IsSeamlessLoopOn() {
  constexpr uint32_t kLoopAndSeamless = kModeLoop | kModeSeamless;
  return (Settings().PlayRecMode & kLoopAndSeamless) == kLoopAndSeamless ? 1 : 0;
}
