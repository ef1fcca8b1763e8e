// Sample positions and time code: the frame-rate codes, conversions between
// positions (32-bit at the project rate, or 64-bit at an explicit rate) and
// hh:mm:ss:ff time code with sub-frame samples, the 24-hour time-code circle,
// and milliseconds. The current-settings forms read SampleRate, CurFrameRate
// and TcOffset from Settings().
#pragma once

#include <cstdint>

// A position is a signed count of samples from arrangement position 0.
constexpr int32_t EndOfTime = 0x7FFF05FF;        // end of the time line; the empty answer of searches
constexpr int32_t kTimeLineLimit = 0x7FFF0600;   // every position stays below this
constexpr int32_t kMaxSettableLoc = 0x7FFF05FE;  // the largest position that can be set
constexpr int32_t kMaxLoc = 0x7FFFFFFF;          // conversions clamp their results to [0, kMaxLoc]

struct TcRec {
  uint8_t Hours;       // 0..23
  uint8_t Minutes;     // 0..59
  uint8_t Seconds;     // 0..59
  uint8_t Frames;      // 0..nominal - 1
  uint16_t SubFrames;  // samples after the frame's first sample; signed when read back
};
static_assert(sizeof(TcRec) == 6);
static_assert(alignof(TcRec) <= 2);

enum FrameRateCode : uint32_t {
  kFr24 = 24,
  kFr25 = 25,
  kFr2997 = 28,    // 29.97 frames per second, non-drop numbering
  kFr2997Df = 29,  // 29.97, drop-frame numbering
  kFr30 = 30,
  kFr30Df = 31,    // 30, drop-frame numbering
};

// One frame-rate code: samples are counted at Numerator / Scale frames per
// second, frames are numbered at Nominal per second.
struct FrameRateInfo {
  uint32_t Code;
  uint32_t Numerator;
  uint32_t Scale;
  uint32_t Nominal;
  bool DropFrame;
  uint32_t MenuCmd;  // radio item of the frame-rate menu
};
constexpr int kFrameRateCount = 6;
extern const FrameRateInfo kFrameRates[kFrameRateCount];

// The entry of a code; null for a code not in the table.
const FrameRateInfo* FrameRateFind(uint32_t code);
// The entry of a code; a code not in the table reads as 25 frames, so a
// damaged setting never reaches a division.
const FrameRateInfo& FrameRateOf(uint32_t code);

// Exact floor(a x b / c) and ceil(a x b / c) through a 128-bit product; the
// result saturates at UINT64_MAX, and c = 0 gives 0.
uint64_t ScaleFloor(uint64_t a, uint64_t b, uint64_t c);
uint64_t ScaleCeil(uint64_t a, uint64_t b, uint64_t c);

// Time code of position + offset (a negative position counts as 0, the
// offset is normally TcOffset); hours wrap at 24. Returns the whole days.
uint32_t LocToTimeCode(TcRec* out, int32_t position, uint32_t offset);
// hh:mm:ss:ff of a frame count by CurFrameRate, hours wrapped, sub-frames
// untouched. Returns the whole days.
uint32_t FramesToTimeCode(TcRec* out, uint64_t frames);
// Frame count of a time code by CurFrameRate.
uint32_t TimeCodeToFrames(const TcRec& tc);
// Position of a time code less the offset; a time code whose samples fall
// before the offset is taken as the next day. Clamped to [0, kMaxLoc].
int32_t TimeCodeToLoc(const TcRec& tc, uint32_t offset);

// 64-bit forms at an explicit rate and frame-rate code. Loc64ToTimeCode
// reads the position from its low word and, when given, its high word (a
// negative position counts as 0), wraps hours at 24 only with `wrap`, and
// returns the hours before wrapping.
uint32_t Loc64ToTimeCode(TcRec* out, uint32_t low, const uint32_t* high, uint32_t rate,
                         uint32_t code, int wrap);
// 64-bit position of a time code, at least 0; returns the low word and
// stores the high word when asked.
uint32_t TimeCodeToLoc64(const TcRec& tc, uint32_t* high, uint32_t rate, uint32_t code);
// Time code of offset + position, hours wrapped.
void Loc64ToTimeCodeAt(TcRec* out, int32_t offset, uint32_t position, uint32_t rate, uint32_t code);
// Time code of the input's position moved by a signed number of samples
// (not before position 0), hours wrapped.
void Loc64AddToTimeCode(TcRec* out, const TcRec& in, int32_t samples, uint32_t rate, uint32_t code);

// One step of carry by CurFrameRate (frames, seconds, minutes, then hours
// kept below 24) and the drop-frame skip of frames 0 and 1. Returns the days
// carried out of the hours.
uint32_t NormTimeCode(TcRec* tc);

// Samples in n hours of time code at the current rate and code.
double FrameRateValue(int32_t n);
// Signed a - b of two positions on the 24-hour time-code circle, clamped to
// the 32-bit range.
int32_t TcClockDelta(int32_t a, int32_t b);

// ceil(a x b / 1000), e.g. milliseconds at a rate to samples.
int32_t MsToSamples(int32_t a, int32_t b);
// a x 1000 / b, truncated; 0 when b is 0.
int32_t SamplesToMs(int32_t a, int32_t b);
// The rate when it is one the system runs at, else 0.
uint32_t ValidSampleRate(uint32_t rate);
