// The pan law, the matrix words it gives, the DSP programs that apply them,
// the scalings between pan values and controls, and the preset file.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "elements/Qvmxel1b/span.h"
#include "elements/dspcode.h"
#include "mixer/model/util/numbers.h"

namespace span {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Each of the values becomes (1 - d) + d x itself, rescaled so that the
// power of the set is kept. A set without power stays silent: blending it
// towards equal shares would send sound to speakers the dot is away from.
void Diverge(double* v[], int n, double d) {
  double before = 0;
  for (int i = 0; i < n; ++i) before += *v[i] * *v[i];
  if (before == 0) return;
  double after = 0;
  for (int i = 0; i < n; ++i) {
    *v[i] = (1 - d) + d * *v[i];
    after += *v[i] * *v[i];
  }
  const double scale = std::sqrt(after / before);
  for (int i = 0; i < n; ++i) *v[i] /= scale;
}

uint32_t Word(uint32_t volume, double gain) { return uint32_t(-128 * int64_t(int32_t(volume * gain))); }

}  // namespace

Gains PanLaw(int32_t x32, int32_t y32, const State& s, bool surround51) {
  const double y = (y32 + 32767.0) / 65534.0, x = (x32 + 32767.0) / 65534.0;
  const double a = (std::asin(s.DivFR / 100.0) / (kPi / 2) * (y - 0.5) + 0.5) * kPi / 2;
  const double front = std::sin(a), rear = std::cos(a);
  const double b = (1 - 2 * x) * kPi / 2;
  Gains g{};
  g.L = std::fmax(std::sin(b) * front, 0);
  g.C = std::cos(b) * front;
  g.R = std::fmax(-std::sin(b) * front, 0);
  if (surround51) {
    g.Ls = rear * std::cos(x * kPi / 2);
    g.Rs = rear * std::sin(x * kPi / 2);
  } else {
    g.S = rear;
  }
  double* fr[] = {&g.L, &g.C, &g.R};
  Diverge(fr, 3, s.DivF / 100.0);
  const double e = s.DivR / 100.0;
  if (surround51) {
    double* rr[] = {&g.Ls, &g.Rs};
    Diverge(rr, 2, e);
  } else {
    double* rr[] = {&g.S};
    Diverge(rr, 1, e);  // a single speaker: its magnitude is kept
  }
  const double c2 = std::sqrt(g.C * g.C * (s.Center / 100.0));
  const double o = (g.C * g.C - c2 * c2) / 2;
  g.L = std::sqrt(g.L * g.L + o);
  g.R = std::sqrt(g.R * g.R + o);
  g.C = c2;
  return g;
}

uint32_t MatrixWords(int type, const State& s, uint32_t out[12]) {
  const bool silent = s.Mute || s.Solo == 2;
  const bool s51 = Is51(type);
  const bool stereo = IsStereo(type);
  const uint32_t lfe = (silent || s.LfeMute) ? 0 : uint32_t(-128 * int64_t(MulDivNearest(int32_t(s.Volume), int32_t(s.Lfe), 0x8000)));
  const Gains dots[2] = {PanLaw(s.X1, s.Y1, s, s51), PanLaw(s.X2, s.Y2, s, s51)};
  const int ins = stereo ? 2 : 1;
  uint32_t n = 0;
  auto put = [&](double Gains::*gain, int spk) {
    for (int i = 0; i < ins; ++i)
      out[n++] = (silent || !s.On[spk]) ? 0 : Word(s.Volume, dots[i].*gain);
  };
  put(&Gains::L, kSpkL);
  put(&Gains::R, kSpkR);
  put(&Gains::C, kSpkC);
  if (s51) {
    for (int i = 0; i < ins; ++i) out[n++] = lfe;
    put(&Gains::Ls, kSpkLs);
    put(&Gains::Rs, kSpkRs);
  } else {
    put(&Gains::S, kSpkCs);
  }
  return n;
}

// Output k is the sum over the inputs of input i through matrix word
// k x inputs + i (the unity volume 0x8000 gives a word of -0.5, doubled by
// shift 1); the inputs' peaks go to the two meter words of area 3.
const uint32_t* Program(int type, uint32_t* count) {
  static const struct Progs {
    std::vector<uint32_t> P[kTypes];
    Progs() {
      for (int t = 0; t < kTypes; ++t) {
        const ELEMTYPEPROPINFO& row = kTypeTable[t].Props;
        const uint32_t ins = row.Inputs;
        for (uint32_t i = 0; i < ins; ++i) P[t].insert(P[t].end(), {DspLd(i), DspPeak(3, i)});
        for (uint32_t k = 0; k < row.Outputs; ++k) {
          P[t].push_back(DspZero());
          for (uint32_t i = 0; i < ins; ++i) P[t].push_back(DspMac(i, 2, k * ins + i, 1));
          P[t].push_back(DspSt(k));
        }
        P[t].resize(row.AreaSize[5], kDspNop);
      }
    }
  } progs;
  if (type < 0 || type >= kTypes) {
    *count = 0;
    return nullptr;
  }
  *count = uint32_t(progs.P[type].size());
  return progs.P[type].data();
}

int32_t PanToPos(int32_t v, int32_t steps, int reversed) {
  const int32_t p = MulDivNearest(v + 32767, steps, 65534);
  return reversed ? steps - p : p;
}

int32_t PosToPan(int32_t p, int32_t steps, int reversed) {
  if (reversed) p = steps - p;
  return MulDivNearest(p, 65534, steps) - 32767;
}

int32_t PanPercent(int32_t v) { return MulDivNearest(v + 32767, 200, 65534) - 100; }
int32_t PanFromPercent(int32_t pct) { return PosToPan(pct + 100, 200, 0); }

int CenterImageRow(int32_t c) {
  if (c == 100) return 0;
  if (c > 90) return 2;
  if (c <= 0) return 26;
  static const int32_t lower[] = {83, 75, 66, 58, 50, 41, 33, 25, 16, 8, 1};
  for (int i = 0; i < 11; ++i)
    if (c >= lower[i]) return 4 + 2 * i;
  return 26;
}

void GainLabel(double gain, char out[16]) {
  // Gains are at most 1 here; the label is at most "-96.0".
  if (!(gain >= std::pow(10.0, -4.8))) {
    std::snprintf(out, 16, "-INF");
    return;
  }
  const int t = int(200 * std::log10(std::fmin(gain, 1e6)));
  if (t < 0)
    std::snprintf(out, 16, "-%d.%01d", (-t / 10) % 100000, -t % 10);
  else
    std::snprintf(out, 16, "%d.%01d", (t / 10) % 100000, t % 10);
}

int PresetParse(const uint8_t* bytes, size_t size, State* out) {
  const char* magic = StrText(IDS_SPAN_MAGIC);
  if (!bytes || size != kPresetSize || std::memcmp(bytes, magic, kPresetMagicSize) != 0) return 0;
  std::memcpy(out, bytes + kPresetMagicSize, kStateSize);
  return 1;
}

void PresetBuild(const State& s, uint8_t out[kPresetSize]) {
  std::memcpy(out, StrText(IDS_SPAN_MAGIC), kPresetMagicSize);
  std::memcpy(out + kPresetMagicSize, &s, kStateSize);
}

}  // namespace span

namespace span {

void DotToPanner(int32_t x, int32_t y, int32_t* x32, int32_t* y32) {
  const uint64_t full = 0xFFFFFFFFull;
  *x32 = int32_t(int64_t((uint64_t(32767 - x) * full + 32767) / 65534) - 0x80000000ll);
  *y32 = int32_t(int64_t((uint64_t(y + 32767) * full + 32767) / 65534) - 0x80000000ll);
}

void PannerToDot(int32_t x32, int32_t y32, int32_t* x, int32_t* y) {
  const uint64_t full = 0xFFFFFFFFull;
  const uint64_t fx = uint32_t(0x7FFFFFFFu - uint32_t(x32)), fy = uint32_t(0x7FFFFFFFu - uint32_t(y32));
  *x = 32767 - int32_t((fx * 65534 + 0x80000001ull) / full);
  *y = int32_t((fy * 65534 + 0x80000001ull) / full) - 32767;
}

}  // namespace span
