// The time module's processes against outside yardsticks, in the same run:
//
// - sample-rate conversion 44100 -> 48000 and 48000 -> 44100 against the
//   system's libsoxr (its default high quality) on pass-band ripple (tones
//   through the pass band: the spread of their gains), stop-band rejection
//   (tones the output rate cannot hold, or whose images it would: the level
//   of what comes out) and alias energy (white noise with content only
//   where the output must have none: the output's energy there);
// - stretch to 0.8 and 1.25 of the length of a 440 Hz tone and a synthetic
//   drum loop against the rubberband command line program on the result's
//   length and pitch (the tone's frequency; the loop's spectral centroid,
//   which stays where the pitch does);
// - speed of each process in samples per second beside each peer's (the
//   command line program's time includes its start and its file access).
//
// The quality figures are counters of one-iteration benchmarks; a peer that
// is not installed skips its benchmarks with a message.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/scratch_folder.h"
#include "timemodule/tests/tm_fakehost.h"
#include "timemodule/tmconv.h"
#include "timemodule/tmmodule.h"

#if HRL_HAVE_SOXR
#include <soxr.h>
#endif

namespace {

constexpr double kPi = 3.14159265358979323846;
using Signal = std::vector<double>;  // full scale = 1.0

// ---- The time module through its run and a host in memory ----

class QuietUi : public TestUi {
 public:
  void Message(const std::string& text, const std::string&) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

// Runs process `mode` on one 24-bit Part holding x, asking for length L1.
Signal RunModule(uint32_t mode, const Signal& x, int32_t L1, uint32_t rate) {
  Fake() = FakeHostState();
  Fake().projRate = rate;
  FakeTake t;
  t.bits = 24;
  t.rate = rate;
  t.name = "In";
  for (double v : x) t.words.push_back(static_cast<int32_t>(std::lround(std::clamp(v, -1.0, 1.0) * 2147483392.0)) & ~0xff);
  Fake().takes.push_back(t);
  FakePart p;
  p.length = static_cast<int32_t>(x.size());
  p.take = 1;
  Fake().parts.push_back(p);
  QuietUi ui;
  ui.answer = L1;
  EOPHOSTFUNCS h = FakeTable();
  if (tmod::TmProcess(mode, 0, &h, ui) != 1) return {};
  Signal y;
  for (int32_t w : Fake().takes.back().words) y.push_back(w / 2147483648.0);
  return y;
}

Signal ModuleConvert(const Signal& x, uint32_t from, uint32_t to) {
  const int32_t L0 = static_cast<int32_t>(x.size());
  return RunModule(kEopRateConvert, x, tmod::TmMulDiv(L0, static_cast<int32_t>(to), static_cast<int32_t>(from)), from);
}

Signal ModuleStretch(const Signal& x, double factor) {
  return RunModule(kEopTimeStretch, x, static_cast<int32_t>(std::lround(x.size() * factor)), 44100);
}

// ---- Peers ----

#if HRL_HAVE_SOXR
Signal SoxrConvert(const Signal& x, uint32_t from, uint32_t to) {
  Signal y(static_cast<size_t>(std::ceil(x.size() * double(to) / from)) + 64);
  size_t done = 0;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
  const soxr_quality_spec_t q = soxr_quality_spec(SOXR_HQ, 0);
  soxr_oneshot(from, to, 1, x.data(), x.size(), nullptr, y.data(), y.size(), &done, &io, &q, nullptr);
  y.resize(done);
  return y;
}
#endif

void WriteWav(const std::string& path, const Signal& x, uint32_t rate) {
  std::ofstream f(path, std::ios::binary);
  auto u32 = [&](uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF", 4);
  u32(36 + static_cast<uint32_t>(x.size()) * 2);
  f.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  f.write("data", 4);
  u32(static_cast<uint32_t>(x.size()) * 2);
  for (double v : x) u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767))));
}

Signal ReadWav(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<char> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Signal x;
  // Walk the chunks to "data"; 16-bit mono, as written above.
  size_t at = 12;
  while (at + 8 <= b.size()) {
    const uint32_t size = *reinterpret_cast<const uint32_t*>(&b[at + 4]);
    if (std::string(&b[at], 4) == "data") {
      for (size_t i = at + 8; i + 1 < b.size() && i < at + 8 + size; i += 2)
        x.push_back(*reinterpret_cast<const int16_t*>(&b[i]) / 32768.0);
      break;
    }
    at += 8 + size + (size & 1);
  }
  return x;
}

bool HaveRubberband() { return std::system("rubberband --version > /dev/null 2>&1") == 0; }

// The command line program's stretch of x by `factor` of its length.
Signal RubberbandStretch(const Signal& x, double factor, uint32_t rate, double* seconds) {
  const std::string in = BenchScratchFolder("hrl-tm-bench-in").string() + ".wav";
  const std::string out = BenchScratchFolder("hrl-tm-bench-out").string() + ".wav";
  WriteWav(in, x, rate);
  char cmd[512];
  std::snprintf(cmd, sizeof cmd, "rubberband -q -t %.6f '%s' '%s' > /dev/null 2>&1", factor, in.c_str(), out.c_str());
  const auto t0 = std::chrono::steady_clock::now();
  const int rc = std::system(cmd);
  if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  Signal stretched = rc == 0 ? ReadWav(out) : Signal{};
  std::error_code ignored;
  std::filesystem::remove(in, ignored);
  std::filesystem::remove(out, ignored);
  return stretched;
}

// ---- Signals and measures ----

Signal Tone(double f, uint32_t rate, size_t n, double amp = 0.5) {
  Signal x(n);
  for (size_t i = 0; i < n; ++i) x[i] = amp * std::sin(2 * kPi * f * i / rate);
  return x;
}

// Amplitude of the component at f over [from, to) (least squares of sine
// and cosine).
double Amplitude(const Signal& y, double f, uint32_t rate, size_t from, size_t to) {
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (size_t i = from; i < to && i < y.size(); ++i) {
    const double s = std::sin(2 * kPi * f * i / rate), c = std::cos(2 * kPi * f * i / rate);
    ss += s * s;
    cc += c * c;
    sc += s * c;
    ys += y[i] * s;
    yc += y[i] * c;
  }
  const double det = ss * cc - sc * sc;
  if (det == 0) return 0;
  const double a = (ys * cc - yc * sc) / det, b = (yc * ss - ys * sc) / det;
  return std::hypot(a, b);
}

double Rms(const Signal& y, size_t from, size_t to) {
  double e = 0;
  size_t n = 0;
  for (size_t i = from; i < to && i < y.size(); ++i, ++n) e += y[i] * y[i];
  return n ? std::sqrt(e / n) : 0;
}

double Db(double ratio) { return 20 * std::log10(std::max(ratio, 1e-12)); }

void Fft(std::vector<std::complex<double>>& a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = 2 * kPi / len * (inverse ? 1 : -1);
    const std::complex<double> wl(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (size_t j = 0; j < len / 2; ++j) {
        const auto u = a[i + j], v = a[i + j + len / 2] * w;
        a[i + j] = u + v;
        a[i + j + len / 2] = u - v;
        w *= wl;
      }
    }
  }
  if (inverse)
    for (auto& v : a) v /= static_cast<double>(n);
}

// White noise with content only between lo and hi Hz.
Signal BandNoise(double lo, double hi, uint32_t rate, size_t n) {
  std::vector<std::complex<double>> a(n);
  uint32_t seed = 1;
  for (size_t k = 1; k < n / 2; ++k) {
    const double f = double(k) * rate / n;
    if (f < lo || f > hi) continue;
    seed = seed * 1664525u + 1013904223u;
    const double ph = 2 * kPi * (seed >> 8) / 16777216.0;
    a[k] = std::polar(1.0, ph);
    a[n - k] = std::conj(a[k]);
  }
  Fft(a, true);
  Signal x(n);
  double peak = 0;
  for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(x[i] = a[i].real()));
  for (double& v : x) v *= 0.5 / peak;
  return x;
}

// Energy of y between lo and hi Hz relative to its whole energy, in dB.
double BandShareDb(const Signal& y, double lo, double hi, uint32_t rate) {
  size_t n = 1;
  while (n * 2 <= y.size()) n *= 2;
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < n; ++i) a[i] = y[i] * (0.5 - 0.5 * std::cos(2 * kPi * i / n));
  Fft(a, false);
  double in = 0, all = 0;
  for (size_t k = 1; k < n / 2; ++k) {
    const double p = std::norm(a[k]), f = double(k) * rate / n;
    all += p;
    if (f >= lo && f <= hi) in += p;
  }
  return 10 * std::log10(std::max(in, 1e-30) / std::max(all, 1e-30));
}

// Energy of y relative to the energy of x, in dB.
double EnergyRatioDb(const Signal& y, const Signal& x) {
  const size_t m = std::min(x.size(), y.size());
  return Db(Rms(y, m / 10, m - m / 10) / std::max(Rms(x, m / 10, m - m / 10), 1e-30));
}

// Frequency of a tone from its zero crossings over the middle of y.
double ToneFrequency(const Signal& y, uint32_t rate) {
  const size_t from = y.size() / 10, to = y.size() - y.size() / 10;
  size_t first = 0, last = 0, count = 0;
  for (size_t i = from + 1; i < to; ++i)
    if (y[i - 1] < 0 && y[i] >= 0) {
      if (count == 0) first = i;
      last = i;
      ++count;
    }
  return count > 1 ? (count - 1) * double(rate) / double(last - first) : 0;
}

double Centroid(const Signal& y, uint32_t rate) {
  size_t n = 1;
  while (n * 2 <= y.size()) n *= 2;
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < n; ++i) a[i] = y[i];
  Fft(a, false);
  double num = 0, den = 0;
  for (size_t k = 1; k < n / 2; ++k) {
    const double p = std::abs(a[k]);
    num += p * k * double(rate) / n;
    den += p;
  }
  return den ? num / den : 0;
}

// A two-bar loop at 120 BPM: kick on the beats, noise hats on the off-beats.
Signal DrumLoop(uint32_t rate) {
  const size_t beat = rate / 2, n = beat * 8;
  Signal x(n, 0.0);
  uint32_t seed = 7;
  for (size_t b = 0; b < 8; ++b) {
    for (size_t i = 0; i < beat / 2 && b * beat + i < n; ++i) {
      const double env = std::exp(-double(i) / (rate * 0.08));
      x[b * beat + i] += 0.6 * env * std::sin(2 * kPi * (60 + 60 * std::exp(-double(i) / (rate * 0.02))) * i / rate);
    }
    for (size_t i = 0; i < beat / 4; ++i) {
      seed = seed * 1664525u + 1013904223u;
      const double env = std::exp(-double(i) / (rate * 0.015));
      x[b * beat + beat / 2 + i] += 0.25 * env * ((seed >> 8) / 8388608.0 - 1.0);
    }
  }
  return x;
}

using Converter = Signal (*)(const Signal&, uint32_t, uint32_t);

// Quality of a converter from -> to.
void ConversionQuality(benchmark::State& state, Converter convert, uint32_t from, uint32_t to) {
  const double nyqOut = std::min(from, to) / 2.0;
  const double passTop = 20000.0 * std::min(1.0, double(to) / from);
  double ripple = 0, stop = -300, alias = 0;
  for (auto _ : state) {
    const size_t n = from / 2;
    double lo = 1e9, hi = -1e9;
    for (double f = 100; f <= passTop * 0.95; f += 997) {
      const Signal y = convert(Tone(f, from, n), from, to);
      const double g = Db(Amplitude(y, f, to, y.size() / 8, y.size() - y.size() / 8) / 0.5);
      lo = std::min(lo, g);
      hi = std::max(hi, g);
    }
    ripple = hi - lo;
    // Tones that must not come through: above the output's Nyquist when
    // going down; going up, the images of tones near the input's Nyquist.
    for (double f : {0.94, 0.96, 0.98}) {
      const double in = from > to ? nyqOut + (from / 2.0 - nyqOut) * (f - 0.9) * 10 : from / 2.0 * f;
      const Signal y = convert(Tone(in, from, n), from, to);
      const double img = from > to ? Rms(y, y.size() / 8, y.size() - y.size() / 8) * std::sqrt(2.0)
                                   : Amplitude(y, from - in, to, y.size() / 8, y.size() - y.size() / 8);
      stop = std::max(stop, Db(img / 0.5));
    }
    // Noise only where the output must stay empty.
    const size_t m = 1 << 17;
    if (from > to) {
      const Signal x = BandNoise(nyqOut * 1.02, from / 2.0, from, m);
      alias = EnergyRatioDb(convert(x, from, to), x);
    } else {
      const Signal x = BandNoise(20, from / 2.0 * 0.999, from, m);
      alias = BandShareDb(convert(x, from, to), from / 2.0 * 1.001, to / 2.0, to);
    }
  }
  state.counters["ripple_dB"] = ripple;
  state.counters["stopband_dB"] = -stop;
  state.counters["alias_dB"] = alias;
}

void ConversionSpeed(benchmark::State& state, Converter convert, uint32_t from, uint32_t to) {
  const Signal x = Tone(997, from, from * 10);
  for (auto _ : state) benchmark::DoNotOptimize(convert(x, from, to));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x.size()));
}

void BM_ModuleConvertQuality(benchmark::State& s, uint32_t from, uint32_t to) { ConversionQuality(s, ModuleConvert, from, to); }
void BM_ModuleConvertSpeed(benchmark::State& s, uint32_t from, uint32_t to) { ConversionSpeed(s, ModuleConvert, from, to); }
#if HRL_HAVE_SOXR
void BM_SoxrQuality(benchmark::State& s, uint32_t from, uint32_t to) { ConversionQuality(s, SoxrConvert, from, to); }
void BM_SoxrSpeed(benchmark::State& s, uint32_t from, uint32_t to) { ConversionSpeed(s, SoxrConvert, from, to); }
#else
void BM_SoxrQuality(benchmark::State& s, uint32_t, uint32_t) {
  for (auto _ : s) s.SkipWithError("libsoxr was not found when this benchmark was built: no comparison");
}
void BM_SoxrSpeed(benchmark::State& s, uint32_t f, uint32_t t) { BM_SoxrQuality(s, f, t); }
#endif

// Stretch: length and pitch of the result.
void StretchQuality(benchmark::State& state, bool peer, bool drums, double factor) {
  constexpr uint32_t rate = 44100;
  const Signal x = drums ? DrumLoop(rate) : Tone(440, rate, rate * 3);
  if (peer && !HaveRubberband()) {
    for (auto _ : state) state.SkipWithError("rubberband is not installed: no comparison");
    return;
  }
  Signal y;
  double seconds = 0;
  for (auto _ : state) {
    if (peer) {
      y = RubberbandStretch(x, factor, rate, &seconds);
    } else {
      const auto t0 = std::chrono::steady_clock::now();
      y = ModuleStretch(x, factor);
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
  }
  state.counters["length_ratio"] = double(y.size()) / double(x.size());
  state.counters["length_error"] = double(y.size()) - std::lround(x.size() * factor);
  state.counters["pitch_ratio"] = drums ? Centroid(y, rate) / Centroid(x, rate) : ToneFrequency(y, rate) / 440.0;
  state.counters["samples_per_s"] = seconds > 0 ? x.size() / seconds : 0;
}

void BM_ModuleStretchSpeed(benchmark::State& state, double factor) {
  const Signal x = Tone(440, 44100, 44100 * 10);
  for (auto _ : state) benchmark::DoNotOptimize(ModuleStretch(x, factor));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x.size()));
}

void BM_ModulePitchShiftSpeed(benchmark::State& state) {
  const Signal x = Tone(440, 44100, 44100 * 10);
  for (auto _ : state) benchmark::DoNotOptimize(RunModule(kEopPitchShift, x, static_cast<int32_t>(x.size() * 1.12), 44100));
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * x.size()));
}

void BM_StretchQuality(benchmark::State& s, bool peer, bool drums, double factor) { StretchQuality(s, peer, drums, factor); }

}  // namespace

BENCHMARK_CAPTURE(BM_ModuleConvertQuality, 44100_to_48000, 44100, 48000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoxrQuality, 44100_to_48000, 44100, 48000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleConvertQuality, 48000_to_44100, 48000, 44100)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoxrQuality, 48000_to_44100, 48000, 44100)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleConvertSpeed, 44100_to_48000, 44100, 48000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoxrSpeed, 44100_to_48000, 44100, 48000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleConvertSpeed, 48000_to_44100, 48000, 44100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SoxrSpeed, 48000_to_44100, 48000, 44100)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, module_tone_0_8, false, false, 0.8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, rubberband_tone_0_8, true, false, 0.8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, module_tone_1_25, false, false, 1.25)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, rubberband_tone_1_25, true, false, 1.25)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, module_drums_0_8, false, true, 0.8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, rubberband_drums_0_8, true, true, 0.8)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, module_drums_1_25, false, true, 1.25)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StretchQuality, rubberband_drums_1_25, true, true, 1.25)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleStretchSpeed, 0_8, 0.8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleStretchSpeed, 1_25, 1.25)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModulePitchShiftSpeed)->Unit(benchmark::kMillisecond);
