// Audio through the programs the elements load, run on the simulated DSP
// and compared with what each type should do, computed here on its own.
#include <cmath>
#include <complex>

#include "elements/Qvmxel1/tests/modfixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFull = 8388608.0;

std::vector<int32_t> Process(SimDspElement* p, const std::vector<int32_t>& in, uint32_t inCh, uint32_t outCh) {
  const uint32_t frames = uint32_t(in.size() / inCh);
  std::vector<int32_t> out(size_t{frames} * outCh);
  SimDspProcess(p, in.data(), inCh, out.data(), outCh, frames);
  return out;
}

std::vector<int32_t> Sine(double f, double rate, double amp, uint32_t frames) {
  std::vector<int32_t> s(frames);
  for (uint32_t i = 0; i < frames; ++i) s[i] = int32_t(std::lround(amp * kFull * std::sin(2 * kPi * f * i / rate)));
  return s;
}

// Amplitude (of full scale) of frequency f in channel ch, over the second half.
double Amplitude(const std::vector<int32_t>& x, uint32_t ch, uint32_t chans, double f, double rate) {
  const size_t frames = x.size() / chans, from = frames / 2;
  double s = 0, c = 0;
  for (size_t i = from; i < frames; ++i) {
    const double ph = 2 * kPi * f * double(i) / rate, v = x[i * chans + ch] / kFull;
    s += v * std::sin(ph);
    c += v * std::cos(ph);
  }
  return 2 * std::hypot(s, c) / double(frames - from);
}

// The peaking band's response as a textbook filter: an all-pass A of
// bandwidth and centre, H = (1 + A)/2 + G (1 - A)/2.
double PeakingGain(double f, double f0, double q100, double gainTenths, double rate) {
  const double w0 = 2 * kPi * f0 / rate, t = std::tan(w0 / (2 * q100 / 100)), a = (1 - t) / (1 + t);
  const double b = std::cos(w0), G = std::pow(10.0, gainTenths / 200);
  const std::complex<double> z1 = std::polar(1.0, -2 * kPi * f / rate), z2 = z1 * z1;
  const std::complex<double> A = (a - b * (1 + a) * z1 + z2) / (1.0 - b * (1 + a) * z1 + a * z2);
  return std::abs((1.0 + A) / 2.0 + G * (1.0 - A) / 2.0);
}

TEST_F(ModTest, EqResponseMatchesThePeakingFilter) {
  ElemHandle eq = Create(302);
  SimDspElement* p = Load(eq, 302);
  SetKnob(eq, 1, 1000);  // band 1: 1 kHz, 1.00, +12 dB
  SetKnob(eq, 2, 100);
  SetKnob(eq, 3, 120);
  SetKnob(eq, 4, 8000);  // band 2: 8 kHz, 2.00, -6 dB
  SetKnob(eq, 6, -60);
  for (double f : {100.0, 700.0, 1000.0, 3000.0, 8000.0, 15000.0}) {
    std::vector<int32_t> in(2 * 16384);
    const std::vector<int32_t> s = Sine(f, 44100, 0.1, 16384);
    for (size_t i = 0; i < s.size(); ++i) in[2 * i] = in[2 * i + 1] = s[i];
    QVLoadElement(eq, p, &p->Placement);  // fresh filter state
    const std::vector<int32_t> out = Process(p, in, 2, 2);
    const double want = PeakingGain(f, 1000, 100, 120, 44100) * PeakingGain(f, 8000, 200, -60, 44100);
    EXPECT_NEAR(Amplitude(out, 0, 2, f, 44100) / 0.1, want, 0.01 * want) << f << " Hz";
    EXPECT_NEAR(Amplitude(out, 1, 2, f, 44100) / 0.1, want, 0.01 * want) << f << " Hz";
  }
  // At the centre the band gives its gain: +12 dB is 3.98.
  EXPECT_NEAR(PeakingGain(1000, 1000, 100, 120, 44100), std::pow(10.0, 0.6), 1e-9);
  // Bypassed, the signal passes unchanged.
  SetKnob(eq, 0, 1);
  const std::vector<int32_t> in = Sine(440, 44100, 0.3, 2048);
  std::vector<int32_t> stereo(2 * in.size());
  for (size_t i = 0; i < in.size(); ++i) stereo[2 * i] = stereo[2 * i + 1] = in[i];
  EXPECT_EQ(Process(p, stereo, 2, 2), stereo);
}

TEST_F(ModTest, DelayLineShiftsAndInverts) {
  ElemHandle sdl = Create(612);
  SimDspElement* p = Load(sdl, 612);
  SetKnob(sdl, 0, 37);
  std::vector<int32_t> in(2 * 100, 0);
  in[2 * 5] = 1000;
  in[2 * 9 + 1] = -2000;
  std::vector<int32_t> out = Process(p, in, 2, 2);
  for (size_t i = 0; i < 100; ++i) {
    EXPECT_EQ(out[2 * i], i == 42 ? 1000 : 0) << i;
    EXPECT_EQ(out[2 * i + 1], i == 46 ? -2000 : 0) << i;
  }
  SetKnob(sdl, 0, 0);
  SetKnob(sdl, 1, 1);
  out = Process(p, in, 2, 2);
  EXPECT_EQ(out[2 * 5], -1000);
  EXPECT_EQ(out[2 * 9 + 1], 2000);
}

TEST_F(ModTest, HiddenDelayCompensationDelaysEveryChannel) {
  ElemHandle dc = QVCreateElement(2002, reinterpret_cast<void*>(100));
  made_.push_back(dc);
  const uint32_t sizes[6] = {0, 0, 400, 0, 0, 0};
  SimDspElement* p = Load(dc, 2002, sizes);
  std::vector<int32_t> in(4 * 300, 0);
  for (uint32_t c = 0; c < 4; ++c) in[4 * (10 + c) + c] = int32_t(100 * (c + 1));
  const std::vector<int32_t> out = Process(p, in, 4, 4);
  for (uint32_t i = 0; i < 300; ++i)
    for (uint32_t c = 0; c < 4; ++c) EXPECT_EQ(out[4 * i + c], i == 110 + c ? int32_t(100 * (c + 1)) : 0) << i;
}

TEST_F(ModTest, SendsPanByTheirLaws) {
  struct Case {
    uint32_t code, pan;
    double left, right;
  } cases[] = {
      {801, 64, 1.0, 1.0}, {801, 32, 1.0, 0.5}, {801, 128, 0.0, 1.0},      // linear: full on the near side
      {811, 64, 0.5, 0.5}, {811, 0, 0.70711, 0.0}, {811, 128, 0.0, 0.70711},  // equal power
  };
  for (const Case& c : cases) {
    ElemHandle s = Create(c.code);
    SimDspElement* p = Load(s, c.code);
    SetKnob(s, 1, 32768);
    SetKnob(s, 0, int32_t(c.pan));
    const std::vector<int32_t> out = Process(p, Sine(1000, 48000, 0.5, 4800), 1, 2);
    EXPECT_NEAR(Amplitude(out, 0, 2, 1000, 48000), 0.5 * c.left, 1e-3) << c.code << " pan " << c.pan;
    EXPECT_NEAR(Amplitude(out, 1, 2, 1000, 48000), 0.5 * c.right, 1e-3) << c.code << " pan " << c.pan;
  }
}

TEST_F(ModTest, LevelsSwitchesAndMeters) {
  const std::vector<int32_t> one = Sine(1000, 48000, 0.25, 4800);
  // Fader: -6 dB halves, +6 dB doubles.
  ElemHandle fd = Create(600);
  SimDspElement* fp = Load(fd, 600);
  SetKnob(fd, 0, 16384);
  EXPECT_NEAR(Amplitude(Process(fp, one, 1, 1), 0, 1, 1000, 48000), 0.125, 1e-4);
  SetKnob(fd, 0, 65536);
  EXPECT_NEAR(Amplitude(Process(fp, one, 1, 1), 0, 1, 1000, 48000), 0.5, 1e-4);

  // Input: passes unchanged, nothing when muted.
  ElemHandle ip = Create(100);
  SimDspElement* ipp = Load(ip, 100);
  EXPECT_EQ(Process(ipp, one, 1, 1), one);
  SetKnob(ip, 0, 1);
  EXPECT_EQ(Process(ipp, one, 1, 1), std::vector<int32_t>(one.size(), 0));

  // Peakmeter: the words hold the peak over 256.
  ElemHandle pk = Create(700);
  SimDspElement* pp = Load(pk, 700);
  Process(pp, one, 1, 0);
  EXPECT_NEAR(dsp.Word(pp, 2, 0), 0.25 * kFull / 256, 2);
  ASSERT_EQ(ReadMeters(static_cast<Element*>(pk)), 1);
  EXPECT_EQ(dsp.Word(pp, 2, 0), 0);  // the read took the peak

  // Output w/Fader, 4 channels: unity gain on each, one meter each.
  ElemHandle of = Create(904);
  SimDspElement* op = Load(of, 904);
  std::vector<int32_t> four(4 * one.size());
  for (size_t i = 0; i < one.size(); ++i)
    for (int c = 0; c < 4; ++c) four[4 * i + c] = one[i] / (c + 1);
  EXPECT_EQ(Process(op, four, 4, 4), four);
  for (uint32_t c = 0; c < 4; ++c) EXPECT_NEAR(dsp.Word(op, 3, c), 0.25 * kFull / 256 / (c + 1), 2) << c;
  EXPECT_NEAR(Knob(of, 4), 0.25 * kFull / 256, 2);

  // Track: the playback until armed, then the live input.
  ElemHandle tr = Create(200);
  SimDspElement* tp = Load(tr, 200);
  std::vector<int32_t> liveAndTape(2 * 480);
  for (size_t i = 0; i < 480; ++i) {
    liveAndTape[2 * i] = int32_t(i);
    liveAndTape[2 * i + 1] = -int32_t(i);
  }
  std::vector<int32_t> out = Process(tp, liveAndTape, 2, 1);
  EXPECT_EQ(out[100], -100);
  QVSetElement(tr, kSetRecord, 1);
  out = Process(tp, liveAndTape, 2, 1);
  EXPECT_EQ(out[100], 100);
}

}  // namespace
