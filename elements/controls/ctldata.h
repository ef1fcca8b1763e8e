// The skinned "8" controls: the data records their owners keep, the
// notification messages they send their parents, and the pure arithmetic
// behind them (spin steps, pot angles, meter LEDs, the EQ curve, fader and
// surround-field positions). A record starts with the control's window
// handle: 0 means no window, and the update operations then only store
// values. Colours are 0x00BBGGRR.
#pragma once

#include <cstdint>

#include "mixer/model/util/wndhandle.h"

// Notifications to the parent: wParam the control id, lParam its window.
enum : uint32_t {
  WMU_CTL_LBUTTONUP = 3125,
  WMU_CTL_LBUTTONDOWN = 3126,
  WMU_CTL_RBUTTONUP = 3127,
  WMU_CTL_RBUTTONDOWN = 3128,
  WMU_CTL_SPINSTEP = 3129,
  WMU_CTL_SPINDONE = 3130,
  WMU_CTL_DRAG_LBUTTONUP = 3133,
  WMU_CTL_DRAG_LBUTTONDOWN = 3134,
  WMU_CTL_DRAG_RBUTTONUP = 3135,
  WMU_CTL_DRAG_RBUTTONDOWN = 3136,
  WMU_CTL_DRAGMOVE = 3137,
  WMU_CTL_DRAGEND = 3138,
  WMU_CTL_DRAG_DBLCLK = 3139,
  WMU_CTL_ROTMOVE = 3140,
  WMU_CTL_ROTDONE = 3141,
};

struct Label8Data {
  WndHandle Wnd;
  uint32_t Text, Background, Blocked;
};

struct ColBox8Data {
  WndHandle Wnd;
  uint32_t Text, TextBlocked, LeftBackground, RightBackground, BackgroundBlocked;
  uint32_t FrameOn, FrameLeft, FrameTop, FrameRight, FrameBottom;
  uint32_t Blocked, TooltipOn;
};

enum : uint32_t { kBmButtonOn = 1, kBmButtonIcon = 2 };
struct BmButton8Data {
  WndHandle Wnd;
  uint32_t Flags;
  const char* OffImage;  // module resource names
  const char* OnImage;
  uint32_t Background;  // icon mode
  uint32_t Greyed;
};

enum : uint32_t {
  kHBmOn = 1,
  kHBmHover = 2,
  kHBmThird = 4,    // third image of the row: the owners' blocked look
  kHBmOnRow = 8,    // the on state shows the next row
  kHBmFile = 16,    // Bitmap is a file path
};
struct HBmButton8Data {
  WndHandle Wnd;
  uint32_t Flags;
  const char* Bitmap;  // resource name or file path; null: no image
  int32_t Row;
  uint32_t MaskColor;
  void* ImageList;  // made by the control
};

enum : uint32_t { kSpinLog = 1 };
struct SpinBox8Data {
  WndHandle Wnd;
  uint32_t Text, TextBlocked, Background, BackgroundBlocked;
  uint32_t FrameOn;
  uint32_t FrameInnerLeft, FrameOuterLeft, FrameInnerTop, FrameOuterTop;
  uint32_t FrameInnerRight, FrameOuterRight, FrameInnerBottom, FrameOuterBottom;
  int32_t Value, Minimum, Maximum, StepCount;
  uint32_t Flags;
  int32_t Divisor;  // 1, 10 or 100: the value is shown with that many parts per unit
  uint32_t Blocked;
};

struct Fader8Data {
  WndHandle Wnd;
  int32_t Width, Height;
  int32_t Pos;     // cap edge in pixels along the travel
  int32_t CapLen;  // cap length along the travel
  int32_t Marks;
  uint32_t CapLine, CapLineBlocked, CapBackground, CapBackgroundBlocked;
  uint32_t CapFrameOn, CapOutline, CapOutlineBlocked;
  uint32_t CapInnerLeft, CapOuterLeft, CapInnerTop, CapOuterTop;
  uint32_t CapInnerRight, CapOuterRight, CapInnerBottom, CapOuterBottom;
  uint32_t Slot, SlotBlocked, SlotBackground, SlotBackgroundBlocked, MarkColor;
  uint32_t SlotFrameOn, SlotLeft, SlotTop, SlotRight, SlotBottom;
  uint32_t Blocked;
};

struct RotPot8Data {
  WndHandle Wnd;
  int32_t Diameter, Value, Maximum;
  uint32_t CrossOn, Background, Pointer, PointerBlocked, Face, FaceDetent, FaceBlocked, Cross;
  uint32_t Look3D, Outline, OutlineBlocked, Highlight, Shadow;
  uint32_t Blocked;
};

constexpr int kPeakMeters = 8;
constexpr int kPeakLeds = 28;
// Updates an LED keeps a peak before it moves.
constexpr int32_t kPeakHold = 50;
struct Peak8Data {
  WndHandle Wnd;
  int32_t X, Y, Pitch, Thickness, Meters, Leds;
  uint32_t Vertical;
  int32_t Level[kPeakMeters];  // 0..32767, written by the owner
  int32_t Work[kPeakMeters];
  int32_t Top[kPeakMeters];   // highest lit LED of the bar
  int32_t Peak[kPeakMeters];
  int32_t Fall[kPeakMeters];
  int32_t Hold[kPeakMeters];
  uint32_t LedOff, LedOffBlocked, LedOn, LedPeak, LedOverload;
  uint32_t Background, BackgroundBlocked;
  uint32_t FrameOn, FrameLeft, FrameTop, FrameRight, FrameBottom;
  uint32_t Blocked;
};

constexpr int kEqBands = 8;
enum : uint32_t { kEqModePlain = 0, kEqModeGrid = 2 };
struct BpEqFs8Data {
  WndHandle Wnd;
  int32_t X, Y, Points, Height, Bands;
  uint32_t Mode;
  uint32_t Curve, CurveBackground, Grid, BandMarker, Background;
  uint32_t FrameOn, FrameLeft, FrameTop, FrameRight, FrameBottom;
  int32_t Freq[kEqBands];  // Hz
  int32_t Width[kEqBands]; // hundredths
  int32_t Gain[kEqBands];  // tenths of dB
  int32_t SampleRate;
  int32_t* Current;   // Points values each, owned by the control
  int32_t* Previous;
};

struct SurPanner8Data {
  WndHandle Wnd;
  uint32_t Stereo;
  int32_t X[2], Y[2];  // client pixels of dot 1 and dot 2
  int32_t Front, Rear, Depth;  // percent
  uint32_t Dot1, Dot2, Trapezoid, GridColor, Background;
};

// --- The arithmetic -------------------------------------------------------

// The value one step from the record's value, down or up; `divisor` thins
// the step count (1 for a click, 10 or 30 while repeating).
int32_t SpinBox8Step(const SpinBox8Data* d, int down, int divisor);
// A typed value in units of 1/divisor, clamped to the record's range.
int32_t SpinBox8ParseValue(const SpinBox8Data* d, const char* text);
// The value as shown: "%ld", "%ld.%01ld" or "%ld.%02ld" by the divisor.
void SpinBox8FormatValue(int32_t value, int32_t divisor, char* out, int size);

// The pot value for a client point: 270 degrees clockwise from lower left;
// in the dead zone below the centre the lower left gives 0, the lower
// right the maximum.
int32_t RotPot8PointToValue(int32_t x, int32_t y, int32_t diameter, int32_t maximum);
// End of the pointer line for the value (the start is the centre).
void RotPot8PointerEnd(const RotPot8Data* d, int32_t* x, int32_t* y);
// 1 when the value stands on a detent (0, half and full).
int RotPot8AtDetent(const RotPot8Data* d);

// A cap position kept on the travel: 0 .. travel - cap (0 when the cap is
// longer than the travel).
int32_t FaderClampPos(int32_t pos, int32_t travel, int32_t cap);
// Pixels (or pot units) a wheel turn moves: Shift alone gives one per
// notch, else four.
int32_t WheelStep(int32_t delta, int shiftAlone);

// The LED thresholds of a meter of n LEDs (the last n of the table that
// fits n).
const int32_t* Peak8Thresholds(int32_t n);
enum Peak8LedColor { kLedOff, kLedOn, kLedPeak, kLedOverload };
// Draws LED `led` of meter `meter`; the Windows layer paints, tests record.
using Peak8LedFn = void (*)(void* ctx, const Peak8Data* d, int meter, int led, Peak8LedColor color);
// All LEDs off, levels, tops, peaks and counters 0 (LEDs through led).
void Peak8Clear(Peak8Data* d, Peak8LedFn led, void* ctx);
// Moves bars and peaks to the levels the owner wrote, drawing only the LEDs
// that change.
void Peak8Update(Peak8Data* d, Peak8LedFn led, void* ctx);

// Recomputes the record's current curve: one value per pixel, pixels above
// the middle, over a log frequency axis from 20 Hz to half the rate.
void BpEqFs8ComputeCurve(BpEqFs8Data* d);
// Pixel of frequency f on that axis.
int32_t LogFreqToX(int32_t count, double f, double lo, double hi);

// Surround-field dot positions against signed 32-bit pan values over an
// inner rectangle of w x h pixels inset by k.
int32_t SurPannerPixel(int32_t v32, int32_t size, int32_t inset);
int32_t SurPannerValue(int32_t pixel, int32_t size, int32_t inset);
