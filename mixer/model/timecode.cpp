#include "mixer/model/timecode.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "mixer/model/settings.h"

const FrameRateInfo kFrameRates[kFrameRateCount] = {
    {kFr24, 24, 1, 24, false, 41601},     {kFr25, 25, 1, 25, false, 41602},
    {kFr2997, 2997, 100, 30, false, 41604}, {kFr2997Df, 2997, 100, 30, true, 41605},
    {kFr30, 30, 1, 30, false, 41603},     {kFr30Df, 30, 1, 30, true, 41606},
};

const FrameRateInfo* FrameRateFind(uint32_t code) {
  for (const FrameRateInfo& fr : kFrameRates)
    if (fr.Code == code) return &fr;
  return nullptr;
}

const FrameRateInfo& FrameRateOf(uint32_t code) {
  const FrameRateInfo* fr = FrameRateFind(code);
  return fr != nullptr ? *fr : *FrameRateFind(kFr25);
}

namespace {

constexpr uint64_t kU64Max = std::numeric_limits<uint64_t>::max();

// Drop-frame numbering: a 10-minute block of 17982 frames whose first minute
// has 1800 frames and each of the other nine 1798.
constexpr uint64_t kDfBlock = 17982;
constexpr uint64_t kDfFirstMinute = 1800;
constexpr uint64_t kDfMinute = 1798;
constexpr uint64_t kDfHour = 107892;

struct U128 {
  uint64_t hi, lo;
};

U128 Mul64(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
}

// Quotient of a 128-bit value by c (> 0) with its remainder; false when the
// quotient does not fit 64 bits.
bool Div128(U128 n, uint64_t c, uint64_t* q, uint64_t* r) {
  if (n.hi == 0) {
    *q = n.lo / c;
    *r = n.lo % c;
    return true;
  }
  if (n.hi >= c) return false;
  uint64_t rem = n.hi, quo = 0, lo = n.lo;
  for (int bit = 0; bit < 64; ++bit) {
    const bool carry = (rem >> 63) != 0;
    rem = (rem << 1) | (lo >> 63);
    lo <<= 1;
    quo <<= 1;
    if (carry || rem >= c) {
      rem -= c;
      quo |= 1;
    }
  }
  *q = quo;
  *r = rem;
  return true;
}

int32_t ClampLoc(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kMaxLoc)); }

int32_t ClampI32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

int64_t ToI64(uint64_t v) {
  return static_cast<int64_t>(std::min<uint64_t>(v, std::numeric_limits<int64_t>::max()));
}

// Samples per frame are rate x Scale / Numerator: frame F of a position p
// is floor(p x Numerator / (rate x Scale)), and starts at sample
// ceil(F x rate x Scale / Numerator).
uint64_t PosToFrame(uint64_t p, uint32_t rate, const FrameRateInfo& fr) {
  return ScaleFloor(p, fr.Numerator, uint64_t{rate} * fr.Scale);
}

uint64_t FrameStart(uint64_t frame, uint32_t rate, const FrameRateInfo& fr) {
  return ScaleCeil(frame, uint64_t{rate} * fr.Scale, fr.Numerator);
}

uint64_t FramesPerDay(const FrameRateInfo& fr) {
  return fr.DropFrame ? 24 * kDfHour : uint64_t{86400} * fr.Nominal;
}

// Fills hh:mm:ss:ff of a frame count and returns the hours before wrapping;
// hours wrap at 24 only with `wrap` (else they saturate at 255).
uint64_t FramesToTc(TcRec* out, uint64_t frames, const FrameRateInfo& fr, bool wrap) {
  uint64_t hours, minutes, seconds, ff;
  if (fr.DropFrame) {
    const uint64_t blocks = frames / kDfBlock;
    uint64_t m = frames % kDfBlock, k = 0;
    if (m >= kDfFirstMinute) {
      k = (m - kDfFirstMinute) / kDfMinute + 1;
      m -= kDfMinute * k;
    }
    hours = blocks / 6;
    minutes = (blocks % 6) * 10 + k;
    seconds = m / 30;
    ff = m % 30;
  } else {
    const uint64_t s = frames / fr.Nominal;
    ff = frames % fr.Nominal;
    hours = s / 3600;
    minutes = (s / 60) % 60;
    seconds = s % 60;
  }
  out->Hours = static_cast<uint8_t>(wrap ? hours % 24 : std::min<uint64_t>(hours, 255));
  out->Minutes = static_cast<uint8_t>(minutes);
  out->Seconds = static_cast<uint8_t>(seconds);
  out->Frames = static_cast<uint8_t>(ff);
  return hours;
}

uint64_t TcToFrames(const TcRec& tc, const FrameRateInfo& fr) {
  if (fr.DropFrame) {
    uint64_t f = (uint64_t{tc.Minutes} / 10 + uint64_t{tc.Hours} * 6) * kDfBlock;
    if (tc.Minutes % 10 > 0) f += (tc.Minutes % 10) * kDfMinute;
    return f + uint64_t{tc.Seconds} * 30 + tc.Frames;
  }
  return ((uint64_t{tc.Hours} * 60 + tc.Minutes) * 60 + tc.Seconds) * fr.Nominal + tc.Frames;
}

// Sample count after a frame's first sample, as the 16-bit field holds it;
// only a damaged rate setting gives frames longer than 32767 samples.
uint16_t SubFrameField(uint64_t samples) {
  return static_cast<uint16_t>(std::min<uint64_t>(samples, 0x7FFF));
}

uint64_t Pos64ToTc(TcRec* out, uint64_t p, uint32_t rate, const FrameRateInfo& fr, bool wrap) {
  const uint64_t frame = PosToFrame(p, rate, fr);
  out->SubFrames = SubFrameField(p - std::min(p, FrameStart(frame, rate, fr)));
  return FramesToTc(out, frame, fr, wrap);
}

// Position of a time code (frames plus the signed sub-frame samples), at
// least 0.
uint64_t TcToPos64(const TcRec& tc, uint32_t rate, const FrameRateInfo& fr) {
  const int64_t pos = ToI64(FrameStart(TcToFrames(tc, fr), rate, fr)) + static_cast<int16_t>(tc.SubFrames);
  return static_cast<uint64_t>(std::max<int64_t>(pos, 0));
}

void DropFrameSkip(TcRec* tc, const FrameRateInfo& fr) {
  if (fr.DropFrame && tc->Seconds == 0 && tc->Minutes % 10 != 0 && tc->Frames < 2) tc->Frames += 2;
}

uint32_t SatU32(uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, 0xFFFFFFFFu)); }

}  // namespace

uint64_t ScaleFloor(uint64_t a, uint64_t b, uint64_t c) {
  uint64_t q, r;
  if (c == 0) return 0;
  if (!Div128(Mul64(a, b), c, &q, &r)) return kU64Max;
  return q;
}

uint64_t ScaleCeil(uint64_t a, uint64_t b, uint64_t c) {
  uint64_t q, r;
  if (c == 0) return 0;
  if (!Div128(Mul64(a, b), c, &q, &r)) return kU64Max;
  return r != 0 && q != kU64Max ? q + 1 : q;
}

uint32_t LocToTimeCode(TcRec* out, int32_t position, uint32_t offset) {
  const ProjectSettings& s = Settings();
  const uint64_t p = static_cast<uint64_t>(std::max(position, 0)) + offset;
  return SatU32(Pos64ToTc(out, p, s.SampleRate, FrameRateOf(s.CurFrameRate), true) / 24);
}

uint32_t FramesToTimeCode(TcRec* out, uint64_t frames) {
  return SatU32(FramesToTc(out, frames, FrameRateOf(Settings().CurFrameRate), true) / 24);
}

uint32_t TimeCodeToFrames(const TcRec& tc) {
  return SatU32(TcToFrames(tc, FrameRateOf(Settings().CurFrameRate)));
}

int32_t TimeCodeToLoc(const TcRec& tc, uint32_t offset) {
  const ProjectSettings& s = Settings();
  const FrameRateInfo& fr = FrameRateOf(s.CurFrameRate);
  const int16_t sub = static_cast<int16_t>(tc.SubFrames);
  uint64_t frames = TcToFrames(tc, fr);
  int64_t x = ToI64(FrameStart(frames, s.SampleRate, fr)) + sub;
  if (x < int64_t{offset}) {
    // Earlier than the time code of position 0: the next day's.
    frames += FramesPerDay(fr);
    x = ToI64(FrameStart(frames, s.SampleRate, fr)) + sub;
  }
  return ClampLoc(x - int64_t{offset});
}

uint32_t Loc64ToTimeCode(TcRec* out, uint32_t low, const uint32_t* high, uint32_t rate,
                         uint32_t code, int wrap) {
  const uint64_t bits = (uint64_t{high != nullptr ? *high : 0u} << 32) | low;
  const int64_t pos = static_cast<int64_t>(bits);
  const uint64_t p = pos < 0 ? 0 : static_cast<uint64_t>(pos);
  return SatU32(Pos64ToTc(out, p, rate, FrameRateOf(code), wrap != 0));
}

uint32_t TimeCodeToLoc64(const TcRec& tc, uint32_t* high, uint32_t rate, uint32_t code) {
  const uint64_t p = TcToPos64(tc, rate, FrameRateOf(code));
  if (high != nullptr) *high = static_cast<uint32_t>(p >> 32);
  return static_cast<uint32_t>(p);
}

void Loc64ToTimeCodeAt(TcRec* out, int32_t offset, uint32_t position, uint32_t rate, uint32_t code) {
  const int64_t p = std::max<int64_t>(int64_t{offset} + position, 0);
  Pos64ToTc(out, static_cast<uint64_t>(p), rate, FrameRateOf(code), true);
}

void Loc64AddToTimeCode(TcRec* out, const TcRec& in, int32_t samples, uint32_t rate, uint32_t code) {
  const FrameRateInfo& fr = FrameRateOf(code);
  const int64_t p = std::max<int64_t>(ToI64(TcToPos64(in, rate, fr)) + samples, 0);
  Pos64ToTc(out, static_cast<uint64_t>(p), rate, fr, true);
}

uint32_t NormTimeCode(TcRec* tc) {
  const FrameRateInfo& fr = FrameRateOf(Settings().CurFrameRate);
  if (tc->Frames > fr.Nominal - 1) {
    tc->Frames = 0;
    ++tc->Seconds;
  }
  if (tc->Seconds > 59) {
    tc->Seconds = 0;
    ++tc->Minutes;
  }
  if (tc->Minutes > 59) {
    tc->Minutes = 0;
    ++tc->Hours;
  }
  const uint32_t days = tc->Hours / 24;
  tc->Hours %= 24;
  DropFrameSkip(tc, fr);
  return days;
}

double FrameRateValue(int32_t n) {
  const ProjectSettings& s = Settings();
  const FrameRateInfo& fr = FrameRateOf(s.CurFrameRate);
  const double framesPerHour = fr.DropFrame ? double(kDfHour) : 3600.0 * fr.Nominal;
  return double(s.SampleRate) * n * framesPerHour * fr.Scale / fr.Numerator;
}

int32_t TcClockDelta(int32_t a, int32_t b) {
  const int64_t half = static_cast<int64_t>(std::ceil(FrameRateValue(12)));
  const int64_t day = static_cast<int64_t>(std::ceil(FrameRateValue(24)));
  int64_t x = a, y = b;
  if (x - y > half)
    y += day;
  else if (y - x > half)
    x += day;
  return ClampI32(x - y);
}

int32_t MsToSamples(int32_t a, int32_t b) {
  const int64_t n = int64_t{a} * b;
  // Ceiling division that also holds for a negative product.
  const int64_t q = n / 1000 + (n % 1000 > 0 ? 1 : 0);
  return ClampI32(q);
}

int32_t SamplesToMs(int32_t a, int32_t b) {
  if (b == 0) return 0;
  return ClampI32(int64_t{a} * 1000 / b);
}

uint32_t ValidSampleRate(uint32_t rate) {
  static constexpr uint32_t kRates[] = {22050, 32000, 44056, 44100, 47952, 48000,
                                        64000, 88112, 88200, 95904, 96000};
  for (uint32_t r : kRates)
    if (r == rate) return rate;
  return 0;
}
