// The two-band EQ: its state, coefficient words, load, knob and rate
// changes, state restore and preset files.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/Qvmxel1/qvmxel1api.h"
#include "elements/Qvmxel1/strings.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kWordScale = 8388608.0;  // 2^23: a DSP fraction of 1
constexpr double kGainScale = 2097152.0;  // 2^21: gain words carry a quarter
constexpr double kGainMax = 3.999996;

int32_t MaxFreq(uint32_t rate) { return std::clamp<int32_t>(int32_t(rate / 2) - 1, 20, 23999); }

int32_t Trunc(double v) { return std::isfinite(v) ? int32_t(std::clamp(v, -8388608.0, 8388607.0)) : 0; }

// The fields of a knob, in knob order: 0 bypass, 1 freq1, 2 q1, 3 gain1,
// 4 freq2, 5 q2, 6 gain2.
int32_t* Field(EqState& s, uint32_t k) {
  int32_t* f[7] = {reinterpret_cast<int32_t*>(&s.Bypass), &s.Freq1, &s.Q1, &s.Gain1, &s.Freq2, &s.Q2, &s.Gain2};
  return f[k];
}

void WriteBand(Element* e, int band) {
  uint32_t w[4];
  EqBandWords(e->St.Eq, e->SampleRate, band, w);
  Dsp(e, kDspWrite, 1, 4 * band, 4, w);
}

// A band's bandwidth raised to its minimum; reported when `report`.
void EnforceQMin(Element* e, int band, int report) {
  EqState& s = e->St.Eq;
  int32_t& q = band ? s.Q2 : s.Q1;
  const int32_t qMin = EqQMin(band ? s.Freq2 : s.Freq1, e->SampleRate);
  if (q < qMin) {
    q = qMin;
    if (report) ReportKnob(e, band ? 5 : 2);
  }
}

// Every field back into its range (states come from hosts and files).
void Sanitise(Element* e) {
  EqState& s = e->St.Eq;
  s.Length = sizeof(EqState);
  s.Bypass = s.Bypass != 0;
  for (int32_t* f : {&s.Freq1, &s.Freq2}) *f = std::clamp(*f, 20, MaxFreq(e->SampleRate));
  for (int32_t* q : {&s.Q1, &s.Q2}) *q = std::clamp(*q, 10, 800);
  for (int32_t* g : {&s.Gain1, &s.Gain2}) *g = std::clamp(*g, -240, 140);
  s.PresetPath[kPresetPathSize - 1] = '\0';
  s.BigOpen = s.BigOpen != 0;
  EnforceQMin(e, 0, 0);
  EnforceQMin(e, 1, 0);
}

}  // namespace

int32_t EqQMin(int32_t freq, uint32_t sampleRate) {
  if (sampleRate == 0) return 10;
  return std::max<int32_t>(10, int32_t(int64_t{freq} * 400 / sampleRate + 1));
}

void EqBandWords(const EqState& s, uint32_t sampleRate, int band, uint32_t words[4]) {
  const double f = band ? s.Freq2 : s.Freq1, q = std::max(band ? s.Q2 : s.Q1, 1);
  const double w = 2 * kPi * f / (sampleRate ? sampleRate : 44100);
  const double t = std::tan(w / (2 * q / 100));
  const double k = (1 - t) / (1 + t) * 0.5;
  words[0] = uint32_t(Trunc((0.25 - k * 0.5) * kWordScale));
  words[1] = uint32_t(Trunc(k * kWordScale));
  words[2] = uint32_t(Trunc(std::cos(w) * (k + 0.5) * kWordScale));
  if (s.Bypass) {
    words[3] = 0;
  } else {
    const double g = std::min(std::pow(10.0, (band ? s.Gain2 : s.Gain1) / 200.0) - 1, kGainMax);
    words[3] = uint32_t(Trunc(g * kGainScale));
  }
}

void EqDefaults(Element* e) {
  EqState& s = e->St.Eq;
  s.Length = sizeof(EqState);
  s.Freq1 = 65;
  s.Freq2 = 16000;
  s.Q1 = s.Q2 = 200;
  std::snprintf(s.PresetPath, sizeof s.PresetPath, "%s%s", ModStrText(IDS_EQ_FOLDER), kUntitled);
  ModuleCentred(432, 273, &s.BigX, &s.BigY);
}

void EqWriteBands(Element* e) {
  WriteBand(e, 0);
  WriteBand(e, 1);
}

int32_t EqLoad(Element* e) {
  EqWriteBands(e);
  uint32_t zero[4] = {};
  const uint32_t areas = kTypeTable[e->Row].Props.Outputs == 2 ? 3 : 2;
  for (uint32_t a = 2; a <= areas; ++a) {
    Dsp(e, kDspWrite, a, 0, 4, zero);
    Dsp(e, kDspWrite, a, kElemSecondBank, 4, zero);
  }
  uint32_t n = 0;
  const uint32_t* p = ProgramOfRow(e->Row, &n);
  uint32_t words[64];
  n = std::min<uint32_t>(n, 64);
  std::memcpy(words, p, n * sizeof(uint32_t));
  return Dsp(e, kDspWrite, 5, 0, n, words);
}

void EqSetKnob(Element* e, uint32_t k, int32_t v, int report) {
  if (k > 6) return;
  EqState& s = e->St.Eq;
  const int band = k >= 4 ? 1 : 0;
  switch (k) {
    case 0:
      s.Bypass = v != 0;
      break;
    case 1:
    case 4:
      *Field(s, k) = std::clamp(v, 20, MaxFreq(e->SampleRate));
      break;
    case 2:
    case 5:
      *Field(s, k) = std::clamp(v, EqQMin(band ? s.Freq2 : s.Freq1, e->SampleRate), 800);
      break;
    default:
      *Field(s, k) = std::clamp(v, -240, 140);
      break;
  }
  if (report) ReportKnob(e, k);
  if (k == 1 || k == 4) EnforceQMin(e, band, 1);
  if (k == 0) EqWriteBands(e);
  else WriteBand(e, band);
  ElemUi(e, kUiValues);
}

uint32_t EqSetSampleRate(Element* e, uint32_t rate) {
  // A rate below the lowest band frequency's Nyquist has no meaning.
  if (rate < 42) return 0;
  e->SampleRate = rate;
  EqState& s = e->St.Eq;
  s.Freq1 = std::min(s.Freq1, MaxFreq(rate));
  s.Freq2 = std::min(s.Freq2, MaxFreq(rate));
  ReportKnob(e, 1);
  ReportKnob(e, 4);
  EnforceQMin(e, 0, 1);
  EnforceQMin(e, 1, 1);
  EqWriteBands(e);
  ElemUi(e, kUiValues);
  return 1;
}

uint32_t EqRestore(Element* e, const void* state, uint32_t length, int keepWindow) {
  if (!state || length > sizeof(EqState)) return 0;
  EqState& s = e->St.Eq;
  const uint32_t bigOpen = s.BigOpen;
  const int32_t x = s.BigX, y = s.BigY;
  std::memcpy(&s, state, length);
  if (keepWindow) {
    s.BigOpen = bigOpen;
    s.BigX = x;
    s.BigY = y;
  }
  Sanitise(e);
  if (s.BigOpen && e->Little && !e->Big) ElemUi(e, kUiOpenBig);
  if (!s.BigOpen && e->Big) ElemUi(e, kUiCloseBig);
  ReportAllKnobs(e);
  Notify(e, kNotifyBigWindow, e->Big ? 0 : 1);
  EqWriteBands(e);
  ElemUi(e, kUiValues);
  return 1;
}

void EqSetBigOpen(Element* e, int open) { e->St.Eq.BigOpen = open != 0; }

int EqPresetParse(const uint8_t* bytes, size_t size, EqState* out) {
  const char* magic = ModStrText(IDS_EQ_MAGIC);
  if (!bytes || size != kEqPresetSize || std::memcmp(bytes, magic, kEqPresetMagicSize) != 0) return 0;
  std::memcpy(out, bytes + kEqPresetMagicSize, sizeof(EqState));
  out->Length = sizeof(EqState);
  return 1;
}

void EqPresetBuild(const EqState& s, uint8_t out[kEqPresetSize]) {
  std::memcpy(out, ModStrText(IDS_EQ_MAGIC), kEqPresetMagicSize);
  std::memcpy(out + kEqPresetMagicSize, &s, sizeof(EqState));
}
