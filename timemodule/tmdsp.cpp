#include "timemodule/tmdsp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tmod {

// A raised-cosine fade-in from 427 to exactly 2^23, computed once in exact
// arithmetic: double arithmetic gives 4194303 for entry 109, whose exact
// value is 2^22.
const int32_t kXfadeTable[kXfadeLen] = {
    427, 1710, 3848, 6840, 10686, 15385, 20937, 27339,
    34591, 42691, 51638, 61430, 72064, 83539, 95852, 109001,
    122983, 137796, 153435, 169898, 187182, 205283, 224198, 243922,
    264452, 285782, 307910, 330831, 354539, 379030, 404300, 430342,
    457151, 484723, 513051, 542130, 571953, 602515, 633810, 665830,
    698571, 732023, 766182, 801040, 836590, 872825, 909737, 947318,
    985562, 1024460, 1064004, 1104187, 1145000, 1186435, 1228483, 1271135,
    1314384, 1358220, 1402635, 1447619, 1493162, 1539257, 1585893, 1633061,
    1680751, 1728953, 1777659, 1826857, 1876538, 1926692, 1977308, 2028376,
    2079885, 2131826, 2184188, 2236959, 2290129, 2343688, 2397624, 2451927,
    2506584, 2561586, 2616921, 2672578, 2728544, 2784810, 2841363, 2898192,
    2955286, 3012632, 3070218, 3128035, 3186068, 3244307, 3302740, 3361355,
    3420139, 3479082, 3538170, 3597392, 3656736, 3716189, 3775740, 3835376,
    3895085, 3954856, 4014675, 4074531, 4134411, 4194304, 4254196, 4314076,
    4373932, 4433751, 4493522, 4553231, 4612867, 4672418, 4731871, 4791215,
    4850437, 4909525, 4968468, 5027252, 5085867, 5144300, 5202539, 5260572,
    5318389, 5375975, 5433321, 5490415, 5547244, 5603797, 5660063, 5716029,
    5771686, 5827021, 5882023, 5936680, 5990983, 6044919, 6098478, 6151648,
    6204419, 6256781, 6308722, 6360231, 6411299, 6461915, 6512069, 6561750,
    6610948, 6659654, 6707856, 6755546, 6802714, 6849350, 6895445, 6940988,
    6985972, 7030387, 7074223, 7117472, 7160124, 7202172, 7243607, 7284420,
    7324603, 7364147, 7403045, 7441289, 7478870, 7515782, 7552017, 7587567,
    7622425, 7656584, 7690036, 7722777, 7754797, 7786092, 7816654, 7846477,
    7875556, 7903884, 7931456, 7958265, 7984307, 8009577, 8034068, 8057776,
    8080697, 8102825, 8124155, 8144685, 8164409, 8183324, 8201425, 8218709,
    8235172, 8250811, 8265624, 8279606, 8292755, 8305068, 8316543, 8327177,
    8336969, 8345916, 8354016, 8361268, 8367670, 8373222, 8377921, 8381767,
    8384759, 8386897, 8388180, 8388608,
};

namespace {

// Absolute difference sum of ref and sig over n samples, abandoned (any
// value above `limit`) once it passes `limit`.
int64_t Cost(const int32_t* ref, const int32_t* sig, int32_t n, int64_t limit) {
  int64_t sum = 0;
  for (int32_t i = 0; i < n; ++i) {
    const int64_t d = int64_t{ref[i]} - sig[i];
    sum += d < 0 ? -d : d;
    if (sum > limit) return sum;
  }
  return sum;
}

// 1 when offset k beats the best so far on an equal cost: offsets below the
// preferred one come first, the largest of them; then the smallest at or
// above it.
bool TieBetter(int32_t k, int32_t best, int32_t preferred) {
  const bool kBelow = k < preferred, bestBelow = best < preferred;
  if (kBelow != bestBelow) return kBelow;
  return kBelow ? k > best : k < best;
}

}  // namespace

int64_t TmSearch(const int32_t* ref, const int32_t* sig, int32_t n, int32_t lo, int32_t hi,
                 int32_t step, int32_t* preferred) {
  const int32_t p = *preferred;
  if (step < 1) step = 1;
  int64_t bestCost = std::numeric_limits<int64_t>::max();
  int32_t best = -1;
  auto consider = [&](int32_t k) {
    const int64_t cost = Cost(ref, sig + k, n, bestCost);
    if (best < 0 || cost < bestCost || (cost == bestCost && TieBetter(k, best, p))) {
      bestCost = cost;
      best = k;
    }
  };
  for (int32_t k = lo; k < hi; k += step) consider(k);
  const int32_t centre = best < 0 ? lo : best;
  const int32_t from = std::max(centre - step, lo), to = std::min(hi, centre + step);
  for (int32_t k = from; k <= to; ++k) consider(k);
  *preferred = best < 0 ? lo : best;
  return bestCost;
}

void TmFitPiece(const int32_t* src, int32_t a, int32_t* out, int32_t n) {
  auto mix = [](int32_t x, int32_t y, int32_t w) {
    return static_cast<int32_t>((int64_t{x} * (kXfadeOne - w)) / kXfadeOne + (int64_t{y} * w) / kXfadeOne);
  };
  if (n == a) {
    std::memcpy(out, src, sizeof(int32_t) * static_cast<size_t>(n));
  } else if (n > a) {
    int32_t k = 2 * a - n;
    if (k > kXfadeLen || k < 0) k = kXfadeLen;
    if (k > a) k = a;
    const int32_t extra = n - a;
    std::memcpy(out, src, sizeof(int32_t) * static_cast<size_t>(a - k));
    for (int32_t i = 0; i < k; ++i) {
      const int32_t j = a - k + i;
      // Before the start of the source there is nothing to fade from: the
      // repeat then begins at the source's first sample.
      const int32_t back = j - extra < 0 ? 0 : j - extra;
      out[j] = mix(src[j], src[back], kXfadeTable[i]);
    }
    for (int32_t j = a; j < n; ++j) out[j] = src[j - extra < 0 ? 0 : j - extra];
  } else {
    const int32_t k = std::min(n, kXfadeLen);
    std::memcpy(out, src, sizeof(int32_t) * static_cast<size_t>(n - k));
    for (int32_t i = 0; i < k; ++i) out[n - k + i] = mix(src[n - k + i], src[a - k + i], kXfadeTable[i]);
  }
}

void TmAnalysisSignal(int32_t channels, const int32_t* const* in, int32_t n, int32_t* dst) {
  int shift = 0;
  while ((1 << shift) < channels) ++shift;
  for (int32_t i = 0; i < n; ++i) {
    int32_t sum = 0;
    for (int32_t c = 0; c < channels; ++c) sum += in[c][i] >> shift;
    dst[i] = sum;
  }
}

TmStretchResult TmStretch(const TmStretchBlock& b) {
  const bool expanding = b.g < b.h;
  // Positions are compared on the output's scale when expanding and on the
  // input's scale, stretched by old : new, when compressing.
  const int64_t rn = expanding ? b.h : b.g, rd = expanding ? b.g : b.h;
  constexpr int32_t d = kStretchSegment, e = kStretchRange;
  constexpr int32_t maxShift = d - kXfadeLen;
  int32_t o = 0, m = 0;
  int32_t limit = kStretchCandidates;
  bool full = false;
  auto target = [&]() -> int64_t {
    const int64_t bm = b.B + m;
    if (expanding || bm == 0) return bm;
    const int64_t ao = b.A + o;
    return ao * ao / bm;
  };
  auto copy = [&](int32_t from, int32_t to, int32_t count) {
    for (int32_t c = 0; c < b.channels; ++c)
      std::memcpy(b.out[c] + to, b.in[c] + from, sizeof(int32_t) * static_cast<size_t>(count));
  };
  if (rd <= 0 || rn <= 0) return {0, 0};
  for (;;) {
    const int64_t u = target();
    int32_t count = 0;
    for (int32_t j = limit - 1; j >= 0; --j) {
      const int64_t C = int64_t{d} * (kStretchStepPct * j) / 100;
      const int64_t D = (d + C + b.A + o) * rn / rd;
      const int64_t need = std::min<int64_t>(C + 2 * d - kXfadeLen, std::max<int64_t>(e + D - u, 0)) + o;
      if (b.avail >= need) {
        count = j + 1;
        break;
      }
    }
    if (count == 0) break;
    if (full && count < limit) break;
    if (count == limit) full = true;
    limit = count;

    int64_t bestCost = std::numeric_limits<int64_t>::max();
    int32_t bestT = -1, bestShift = 0;
    for (int32_t k = 0; k < count; ++k) {
      const int32_t sh = d * (kStretchStepPct * k) / 100;
      const int32_t t = o + sh;
      int64_t I = (b.A + d + t) * rn / rd - (u + sh + d);
      if (I < 0) I = 0;
      const int32_t pref = static_cast<int32_t>(std::min<int64_t>(I, std::numeric_limits<int32_t>::max() / 2));
      const int32_t lo = std::min(std::max(pref - e, 0), maxShift);
      // Kept inside the block: the search and the piece never read past the
      // input that is there.
      const int32_t hi = std::min({maxShift, e + pref, b.avail - t - d});
      if (hi < lo) continue;
      int32_t p = pref;
      const int64_t cost = TmSearch(b.analysis + t, b.analysis + t, d, lo, hi, kStretchCoarse, &p);
      if (cost < bestCost) {
        bestCost = cost;
        bestT = t;
        bestShift = p;
      }
      if (cost == 0) break;
    }
    if (bestT < 0) break;
    if (m + (bestT - o) > b.room) break;
    copy(o, m, bestT - o);
    m += bestT - o;
    o = bestT;
    const int32_t a = expanding ? d : d + bestShift;
    const int32_t n = expanding ? d + bestShift : d;
    if (m + n > b.room || o + a > b.avail) break;
    for (int32_t c = 0; c < b.channels; ++c) TmFitPiece(b.in[c] + o, a, b.out[c] + m, n);
    m += n;
    o += a;
  }
  if (m == 0) {
    const int32_t k = std::max(0, std::min(b.avail, b.room));
    copy(0, 0, k);
    o = m = k;
  }
  return {o, m};
}

std::vector<double> TmDesignFilter(int64_t a, int64_t e) {
  constexpr int64_t P = kResPhases, t = kResTaps, N = t * P;
  int64_t c = a < 1 ? 1 : a;
  int64_t f = std::min(a, e) * 200 / 441;
  while (P * c > 2147483647) {
    c /= 2;
    f /= 2;
  }
  std::vector<double> h(static_cast<size_t>(N));
  const double pi = 3.14159265358979323846;
  const double w = 2.0 * static_cast<double>(f) / (static_cast<double>(P) * static_cast<double>(c));
  for (int64_t j = 0; j < N; ++j) {
    const int64_t l = 2 * j + 1 - N;
    const double x = static_cast<double>(l) * pi / 2;
    const double s = x == 0 ? w * P : P * std::sin(w * x) / x;
    const double th = 2 * pi * static_cast<double>(j) / static_cast<double>(N);
    const double win = 0.35875 - 0.48829 * std::cos(th) + 0.14128 * std::cos(2 * th) - 0.01168 * std::cos(3 * th);
    h[static_cast<size_t>(j)] = s * win;
  }
  return h;
}

TmResampler::TmResampler(const double* filter, int64_t a, int64_t e)
    : h_(filter), e_(e < 1 ? 1 : e), step_(kResPhases * a / e_), stepRem_((kResPhases * a) % e_) {}

TmStretchResult TmResampler::Run(int32_t channels, const int32_t* const* in, int64_t c, int32_t n,
                                 int32_t* const* out, int32_t room) {
  if (c == 0) phase_ = rem_ = index_ = 0;
  int32_t written = 0, used = 0;
  while (written < room) {
    const int64_t savePhase = phase_, saveRem = rem_, saveIndex = index_;
    phase_ += step_;
    rem_ += stepRem_;
    if (rem_ >= e_) {
      rem_ -= e_;
      phase_ += 1;
    }
    while (phase_ >= kResPhases) {
      phase_ -= kResPhases;
      ++index_;
    }
    const int64_t j = index_ - c;
    if (int64_t{n} - kResTaps < j || j < 0) {
      phase_ = savePhase;
      rem_ = saveRem;
      index_ = saveIndex;
      break;
    }
    const double* hp = h_ + (kResPhases - phase_ - 1);
    for (int32_t ch = 0; ch < channels; ++ch) {
      const int32_t* x = in[ch] + j;
      long double acc = 0;
      for (int32_t k = 0; k < kResTaps; ++k) acc += static_cast<long double>(x[k]) * hp[kResPhases * k];
      if (acc >= 2147483647.0L) acc = 2147483647.0L;
      if (acc <= -2147483648.0L) acc = -2147483648.0L;
      out[ch][written] = static_cast<int32_t>(std::floor(acc));
    }
    ++written;
    used = static_cast<int32_t>(j);
  }
  return {used, written};
}

}  // namespace tmod
