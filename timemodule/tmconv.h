// The time module's conversions: samples to and from time code and
// bars/beats/ticks, the texts of its dialogs' fields, and the parameter
// arithmetic of its three dialogs (ratio, lengths, tempo, rate, semitones)
// with their limits.
#pragma once

#include <cstdint>
#include <string>

#include "timemodule/eop.h"

namespace tmod {

struct TmTimeCode {
  int32_t Hours;
  int32_t Minutes;
  int32_t Seconds;
  int32_t Frames;
  int32_t SubFrames;
};
struct TmBbt {
  int32_t Bar;
  int32_t Beat;
  int32_t Tick;
};

// MulDiv: a x b / c rounded to the nearest, in 64 bits; -1 when c is 0 or
// the result does not fit 32 bits.
int32_t TmMulDiv(int32_t a, int32_t b, int32_t c);

// Frames counted per second by frame-rate type, as numerator / 100 (2997
// for the 29.97 types); the nominal frames per second of the numbering.
int64_t TmFps100(uint32_t type);
int32_t TmNominalFps(uint32_t type);

TmTimeCode TmSamplesToTc(int64_t samples, uint32_t rate, uint32_t type, bool wrap);
int64_t TmTcToSamples(const TmTimeCode& tc, uint32_t rate, uint32_t type);
// Up to five numbers separated by anything else, clamped to the fields'
// ranges at that rate and type.
TmTimeCode TmTextToTc(const char* text, uint32_t rate, uint32_t type);
std::string TmTcText(const TmTimeCode& tc);

// Musical lengths: tempo in 1/100 BPM, meter num / den, ticks 3840 per
// whole note, bars and beats counted from `first`.
TmBbt TmSamplesToBbt(int64_t samples, uint32_t rate, uint32_t tempo, uint32_t num, uint32_t den,
                     int32_t first);
int64_t TmBbtToSamples(const TmBbt& m, uint32_t rate, uint32_t tempo, uint32_t num, uint32_t den,
                       int32_t first);
TmBbt TmTextToBbt(const char* text, uint32_t num, uint32_t den, int32_t first);
std::string TmBbtText(const TmBbt& m);

// A whole.fraction field in hundredths ("12.5" 1250, "12.05" 1205), a
// leading '-' negating it.
int32_t TmReadHundredths(const char* text);

// The state of one parameter dialog: the source length L0 and the new
// length L1 with everything its fields show.
struct TmDialogFacts {
  uint32_t mode;       // EopProcessMode
  int32_t L0;
  uint32_t rate;       // project rate: lengths shown as time code at it
  uint32_t takeRate;   // the first Take's rate (Samplerate Convert)
  uint32_t frameType;  // project frame-rate type
  uint32_t tempo;      // 1/100 BPM
  uint32_t num;
  uint32_t den;
};

class TmParams {
 public:
  explicit TmParams(const TmDialogFacts& f) : f_(f), L1_(f.L0) { Clamp(); }
  int32_t L1() const { return L1_; }
  const TmDialogFacts& Facts() const { return f_; }

  // Edits of the fields; each sets L1 and holds it in the mode's limits.
  void SetRatioText(const char* text);
  void SetNewTcText(const char* text);
  void SetNewBbtText(const char* text);
  void SetNewTempoText(const char* text);
  void SetNewRateText(const char* text);
  void SetSemitonesText(const char* text);
  void SetL1(int64_t l1);

  // The fields' texts.
  std::string RatioText() const;
  std::string SourceTcText() const;
  std::string SourceBbtText() const;
  std::string NewTcText() const;
  std::string NewBbtText() const;
  std::string SourceTempoText() const;
  std::string NewTempoText() const;
  std::string SourceRateText() const;
  std::string NewRateText() const;
  std::string SemitonesText() const;

 private:
  void Clamp();
  TmDialogFacts f_;
  int32_t L1_;
};

// Limits in 1/100 per cent of L0 by mode: 67..150 % (stretch, pitch shift),
// 25..400 % (rate conversion).
void TmLimits(uint32_t mode, int32_t* loPct100, int32_t* hiPct100);

}  // namespace tmod
