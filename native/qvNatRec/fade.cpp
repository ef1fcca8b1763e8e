#include "native/qvNatRec/fade.h"

#include <algorithm>
#include <atomic>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

const int32_t kFadeRampTable[2 * kRampHalf] = {
    // ramp out
    32694, 32472, 32104, 31594, 30947, 30167, 29263, 28242, 27113, 25888, 24576,
    23190, 21743, 20247, 18716, 17164, 15604, 14052, 12521, 11025, 9578, 8192,
    6880, 5655, 4526, 3505, 2601, 1821, 1174, 664, 296, 74,
    // ramp in
    74, 296, 664, 1174, 1821, 2601, 3505, 4526, 5655, 6880, 8192,
    9578, 11025, 12521, 14052, 15604, 17164, 18716, 20247, 21743, 23190, 24576,
    25888, 27113, 28242, 29263, 30167, 30947, 31594, 32104, 32472, 32694};

namespace {

constexpr int64_t kUnityLevel = -0x800000;
// Levels up to half of unity in size, whose products with any sample fit
// the 53 bits of a double exactly.
constexpr int64_t kExactLevel = 0x400000;

// Shared by every recorder of the process; a row is written by the host at
// start-up while the workers may read it, so points are atomic words.
std::atomic<int32_t> gCurves[kCurveRows][kCurvePoints];

struct CurveInit {
  CurveInit() { FadeCurveReset(); }
} gCurveInit;

// Sample x level / -0x800000, clipped; inlined into the block loops. Gains
// beyond 256 clip every sample anyway; bounding the level keeps the product
// inside 64 bits.
inline int32_t ApplyLevel(int32_t sample, int64_t level) {
  level = std::clamp<int64_t>(level, -(int64_t{1} << 31), int64_t{1} << 31);
  const int64_t v = int64_t{sample} * level / kUnityLevel;
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The ramp gain (1/32768) at position `at` of a ramp of `length` samples. A
// ramp of up to 32 samples walks the whole half-table at a stride of
// 32/length, so it always runs the full way; a longer one holds the end
// value after its first 32 samples.
int64_t RampGain(bool in, int64_t length, int64_t at) {
  const int32_t* half = kFadeRampTable + (in ? kRampHalf : 0);
  if (length > kRampHalf && at >= kRampHalf) return in ? 32768 : 0;
  const int64_t index = length > kRampHalf ? at : at * kRampHalf / length;
  return half[index];
}

int64_t Scaled(int64_t level, int64_t gain32768) { return level * gain32768 / 32768; }

// from + (to - from) x at / length without overflow: the values are 32-bit
// levels or shape points, and a segment longer than 2^30 samples is measured
// in coarser steps.
int64_t Linear(int64_t from, int64_t to, int64_t at, int64_t length) {
  while (length >= (int64_t{1} << 30)) {
    length >>= 1;
    at >>= 1;
  }
  return from + (to - from) * at / length;
}

// Bound k of 16 equal sub-spans of `length`, rounded up.
int64_t SubSpanBound(int64_t length, int64_t k) { return (k * length + 15) / 16; }

// The sub-span 0..15 of a curve of `length` samples that holds `at`.
int64_t CurveSubSpan(int64_t length, int64_t at) {
  int64_t t = at * 16 / length;  // a first guess; the rounded bounds decide
  while (t > 0 && SubSpanBound(length, t) > at) --t;
  while (t < 15 && SubSpanBound(length, t + 1) <= at) ++t;
  return t;
}

// The level of a curve segment for a shape value (0 .. kShapeOne between its
// two levels). Points are the host's: a shape far outside 0..1 is bounded so
// that the product stays inside 64 bits.
int64_t ShapeLevel(const RecSeg& seg, int64_t shape) {
  const int64_t bounded = std::clamp<int64_t>(shape, -(int64_t{1} << 30), int64_t{1} << 30);
  return seg.a + (int64_t{seg.b} - seg.a) * bounded / kShapeOne;
}

int64_t CurveLevel(const RecSeg& seg, int64_t length, int64_t at) {
  const int32_t row = seg.kind - kFadeLinear;
  const int64_t t = CurveSubSpan(length, at);
  const int64_t lo = SubSpanBound(length, t);
  const int64_t hi = SubSpanBound(length, t + 1);
  const int64_t shape = Linear(FadeCurvePoint(row, static_cast<int32_t>(t)),
                               FadeCurvePoint(row, static_cast<int32_t>(t + 1)), at - lo, hi - lo);
  return ShapeLevel(seg, shape);
}

// Linear(from, to, at, length) for at, at + 1, ... without a division per
// step: the quotient and remainder of |to - from| x at / length are carried
// along, so every value is exactly Linear's (truncated toward zero). For
// lengths below 2^30, where Linear does not coarsen its steps; values are
// 32-bit levels or shape points, so the products stay inside 64 bits.
class LinearSteps {
 public:
  LinearSteps(int64_t from, int64_t to, int64_t at, int64_t length)
      : from_(from), length_(length), down_(to < from) {
    const int64_t span = down_ ? from - to : to - from;
    stepQ_ = span / length;
    stepR_ = span % length;
    q_ = span * at / length;
    r_ = span * at % length;
  }
  int64_t value() const { return down_ ? from_ - q_ : from_ + q_; }
  void next() {
    q_ += stepQ_;
    r_ += stepR_;
    if (r_ >= length_) {
      ++q_;
      r_ -= length_;
    }
  }

 private:
  int64_t from_, length_;
  bool down_;
  int64_t stepQ_, stepR_, q_, r_;
};

constexpr int64_t kSteppedLengthLimit = int64_t{1} << 30;

}  // namespace

bool FadeCurveSetRow(int32_t row, const int32_t* points) {
  if (row < 0 || row >= kCurveRows || points == nullptr) return false;
  for (int i = 0; i < 16; ++i) gCurves[row][i].store(points[i], std::memory_order_relaxed);
  return true;
}

int32_t FadeCurvePoint(int32_t row, int32_t point) {
  if (row < 0 || row >= kCurveRows || point < 0 || point >= kCurvePoints) return 0;
  return gCurves[row][point].load(std::memory_order_relaxed);
}

void FadeCurveReset() {
  for (auto& row : gCurves)
    for (int i = 0; i < kCurvePoints; ++i) row[i].store(i * (kShapeOne / 16));
}

int32_t FadeApplyLevel(int32_t sample, int64_t level) { return ApplyLevel(sample, level); }

int64_t FadeLevelAt(const RecSeg& seg, int64_t length, int64_t at) {
  switch (seg.kind) {
    case kFadeLevel:
      return seg.a;
    case kFadeCross:  // a ramp out of 32 samples, then a ramp in over the rest
      if (at < kRampHalf) return Scaled(seg.a, RampGain(false, kRampHalf, at));
      return Scaled(seg.b, RampGain(true, length - kRampHalf, at - kRampHalf));
    case kFadeRampIn:
      return Scaled(seg.b, RampGain(true, length, at));
    case kFadeRampOut:
      return Scaled(seg.a, RampGain(false, length, at));
    default:
      break;
  }
  if (seg.kind == kFadeLinear || (seg.kind > kFadeLinear && seg.kind <= kFadeLastCurve && length <= 15))
    return Linear(seg.a, seg.b, at, length);
  if (seg.kind > kFadeLinear && seg.kind <= kFadeLastCurve) return CurveLevel(seg, length, at);
  return kUnityLevel;
}

namespace {

bool IsUnity(const RecSeg* seg) {
  return seg == nullptr || seg->kind < kFadeLevel || seg->kind > kFadeLastCurve;
}

// Levels up to 2^30 in size, whose products with samples that have a zero
// low byte (every 24-bit or 16-bit Take sample in the ring) still fit the 53
// bits of a double exactly.
constexpr int64_t kByteExactLevel = int64_t{1} << 30;
constexpr double kPerUnity = -1.0 / 8388608.0;  // 1 / -0x800000, a power of two

// Whether every sample of the run has a zero low byte.
bool LowBytesZero(const int32_t* s, uint32_t n) {
  uint32_t any = 0;
  uint32_t i = 0;
#if defined(__SSE2__)
  __m128i acc = _mm_setzero_si128();
  for (; i + 4 <= n; i += 4)
    acc = _mm_or_si128(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
  acc = _mm_or_si128(acc, _mm_shuffle_epi32(acc, 0x4E));
  acc = _mm_or_si128(acc, _mm_shuffle_epi32(acc, 0xB1));
  any = static_cast<uint32_t>(_mm_cvtsi128_si32(acc));
#endif
  for (; i < n; ++i) any |= static_cast<uint32_t>(s[i]);
  return (any & 0xFFu) == 0;
}

// Whether the products of the run's samples with levels up to `largest` in
// size are exact in a double.
bool ProductsExact(const int32_t* s, uint32_t n, int64_t largest) {
  return largest <= kExactLevel || (largest <= kByteExactLevel && LowBytesZero(s, n));
}

// sample x level / -0x800000 from an exact product: the scaling by a power
// of two is exact, the clip is done before the truncating conversion.
inline int32_t ScaleExact(int32_t sample, double level) {
  const double v = std::clamp(static_cast<double>(sample) * level * kPerUnity, -2147483648.0,
                              2147483647.0);
  return static_cast<int32_t>(v);
}

#if defined(__SSE2__)
// Four samples times four levels (two in each half) by the same arithmetic
// as ScaleExact.
inline __m128i ScaleExact4(__m128i samples, __m128d levelLo, __m128d levelHi) {
  const __m128d unity = _mm_set1_pd(kPerUnity);
  const __m128d top = _mm_set1_pd(2147483647.0), bottom = _mm_set1_pd(-2147483648.0);
  __m128d lo = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(samples), levelLo), unity);
  __m128d hi = _mm_mul_pd(_mm_mul_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(samples, 0xEE)), levelHi),
                          unity);
  lo = _mm_max_pd(_mm_min_pd(lo, top), bottom);
  hi = _mm_max_pd(_mm_min_pd(hi, top), bottom);
  return _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
}
#endif

// Where the processor has 32-byte vectors the loops below also run four
// doubles per step, with the same operations in the same order (no fused
// multiply-add), so that every result is the same.
#if defined(__SSE2__) && (defined(__i386__) || defined(__x86_64__))
#define HRL_FADE_WIDE 1

bool HasWideVectors() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

__attribute__((target("avx2"))) inline __m128i ScaleExactWide(__m128i samples, __m256d levels) {
  const __m256d v = _mm256_mul_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(samples), levels),
                                  _mm256_set1_pd(kPerUnity));
  return _mm256_cvttpd_epi32(_mm256_max_pd(_mm256_min_pd(v, _mm256_set1_pd(2147483647.0)),
                                           _mm256_set1_pd(-2147483648.0)));
}

// ScaleExact of each sample with its own level; returns the samples done.
__attribute__((target("avx2"))) uint32_t ApplyLevelsWide(int32_t* s, const double* levels,
                                                         uint32_t n) {
  uint32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(s + i);
    _mm_storeu_si128(p, ScaleExactWide(_mm_loadu_si128(p), _mm256_loadu_pd(levels + i)));
  }
  return i;
}

// ScaleExact of each sample with one level; returns the samples done.
__attribute__((target("avx2"))) uint32_t ApplyConstantWide(int32_t* s, uint32_t n, double level) {
  const __m256d lanes = _mm256_set1_pd(level);
  uint32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m128i* p = reinterpret_cast<__m128i*>(s + i);
    _mm_storeu_si128(p, ScaleExactWide(_mm_loadu_si128(p), lanes));
    _mm_storeu_si128(p + 1, ScaleExactWide(_mm_loadu_si128(p + 1), lanes));
  }
  return i;
}
#endif

// Each sample times its own level; the levels are whole numbers held in
// doubles, at most `largest` in size.
void ApplyLevels(int32_t* s, const double* levels, uint32_t n, int64_t largest) {
  if (!ProductsExact(s, n, largest)) {
    for (uint32_t i = 0; i < n; ++i) s[i] = ApplyLevel(s[i], static_cast<int64_t>(levels[i]));
    return;
  }
  uint32_t i = 0;
#if defined(HRL_FADE_WIDE)
  if (HasWideVectors()) i = ApplyLevelsWide(s, levels, n);
#endif
#if defined(__SSE2__)
  for (; i + 4 <= n; i += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(s + i);
    _mm_storeu_si128(p, ScaleExact4(_mm_loadu_si128(p), _mm_loadu_pd(levels + i),
                                    _mm_loadu_pd(levels + i + 2)));
  }
#endif
  for (; i < n; ++i) s[i] = ScaleExact(s[i], levels[i]);
}

int64_t Magnitude(int64_t v) { return v < 0 ? -v : v; }

// Every sample times one level.
void ApplyConstant(int32_t* s, uint32_t n, int64_t level) {
  if (!ProductsExact(s, n, Magnitude(level))) {
    for (uint32_t i = 0; i < n; ++i) s[i] = ApplyLevel(s[i], level);
    return;
  }
  const double l = static_cast<double>(level);
  uint32_t i = 0;
#if defined(HRL_FADE_WIDE)
  if (HasWideVectors()) i = ApplyConstantWide(s, n, l);
#endif
#if defined(__SSE2__)
  const __m128d lanes = _mm_set1_pd(l);
  for (; i + 4 <= n; i += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(s + i);
    _mm_storeu_si128(p, ScaleExact4(_mm_loadu_si128(p), lanes, lanes));
  }
#endif
  for (; i < n; ++i) s[i] = ScaleExact(s[i], l);
}

// Levels are made a run at a time by `fill` (fill(levels, m, offset) writes
// the levels of the m samples from `offset` of the piece and answers the
// largest in size), then applied to the run in one pass.
constexpr uint32_t kLevelRun = 256;

template <class Fill>
void ApplyStepped(int32_t* s, uint32_t n, Fill fill) {
  double levels[kLevelRun];
  for (uint32_t done = 0; done < n;) {
    const uint32_t m = std::min(n - done, kLevelRun);
    ApplyLevels(s + done, levels, m, fill(levels, m, done));
    done += m;
  }
}

// The larger in size of the first and last of m levels: the largest of a
// run whose levels only rise or only fall.
int64_t LargestAtEnds(const double* levels, uint32_t m) {
  return std::max(Magnitude(static_cast<int64_t>(levels[0])),
                  Magnitude(static_cast<int64_t>(levels[m - 1])));
}

// Shape points up to 2^29 in size keep every product and step of CurveRun
// inside 63 bits; the host's rows hold points between 0 and 2^23.
constexpr int64_t kSteppedPointLimit = int64_t{1} << 29;

// The curve levels ShapeLevel(seg, shape) of m positions from `at` of a
// sub-span of `length` samples, the shape running from point `from` to point
// `to` as LinearSteps(from, to, at, length) does. The product (b - a) x shape
// is stepped instead of the shape, and its truncating division by 2^23 is a
// shift with the rounding toward zero made explicit. The levels only rise or
// only fall; their largest in size is returned.
int64_t CurveRun(const RecSeg& seg, int64_t from, int64_t to, int64_t at, int64_t length,
                 double* out, uint32_t m) {
  const int64_t d = int64_t{seg.b} - seg.a;
  const bool down = to < from;
  const int64_t span = down ? from - to : to - from;
  const int64_t stepR = span % length;
  const int64_t q = span * at / length;
  int64_t r = span * at % length;
  const int64_t signedD = down ? -d : d;
  const int64_t small = signedD * (span / length), big = small + signedD;
  int64_t product = d * (down ? from - q : from + q);
  for (uint32_t k = 0; k < m; ++k) {
    const int64_t shifted = (product + ((product >> 63) & (kShapeOne - 1))) >> 23;
    out[k] = static_cast<double>(seg.a + shifted);
    r += stepR;
    const bool carry = r >= length;
    r -= carry ? length : 0;
    product += carry ? big : small;
  }
  return LargestAtEnds(out, m);
}

#if defined(__SSE2__)
// Whether CurveRunExact may make the levels of a sub-span from point `from`
// to point `to` over `length` samples: span x position (below span x length)
// then stays within 52 bits and (b - a) x shape within 53, so that every
// step below is exact in doubles.
bool CurveRunIsExact(const RecSeg& seg, int64_t from, int64_t to, int64_t length) {
  const int64_t span = Magnitude(to - from);
  const int64_t point = std::max(Magnitude(from), Magnitude(to));
  return span * length <= (int64_t{1} << 52) &&
         Magnitude(int64_t{seg.b} - seg.a) * point < (int64_t{1} << 53);
}

#if defined(HRL_FADE_WIDE)
// CurveRun's levels applied to the first samples of a run of m, in place,
// eight positions per step, for a sub-span where CurveRunIsExact holds. Each
// lane carries its position's remainder of span x position / length (a
// 32-bit integer, below length) and its product (b - a) x shape (a whole
// number below 2^53, exact in a double), and moves them eight positions per
// step as LinearSteps moves its quotient: the product grows by (b - a) x
// (8 span / length) and by b - a more on a carry. The level is a plus the
// product / 2^23 truncated, exact in doubles; it is applied as ApplyLevels
// does. Answers the samples done: a multiple of 8, or 0 when the steps or
// the products with the samples would not be exact.
__attribute__((target("avx2"))) uint32_t CurveApplyWide(const RecSeg& seg, int64_t from,
                                                        int64_t to, int64_t at, int64_t length,
                                                        int32_t* s, uint32_t m) {
  constexpr uint32_t kLanes = 8;
  if (m < kLanes) return 0;
  const bool down = to < from;
  const int64_t span = down ? from - to : to - from;
  const int64_t d = int64_t{seg.b} - seg.a;
  // A step of the products is at most (b - a) x (span + 1), for sub-spans of
  // at least 8 samples.
  if (Magnitude(d) * (span + 1) >= (int64_t{1} << 53)) return 0;
  const auto product = [&](int64_t pos) {
    const int64_t q = span * pos / length;
    return d * (down ? from - q : from + q);
  };
  // The levels only rise or only fall: the run's ends bound them.
  const int64_t largest = std::max(Magnitude(seg.a + product(at) / kShapeOne),
                                   Magnitude(seg.a + product(at + m - 1) / kShapeOne));
  if (!ProductsExact(s, m, largest)) return 0;
  int32_t remainders[kLanes];
  double products[kLanes];
  for (uint32_t j = 0; j < kLanes; ++j) {
    remainders[j] = static_cast<int32_t>(span * (at + j) % length);
    products[j] = static_cast<double>(product(at + j));
  }
  const int64_t steps = kLanes * span / length;
  const int64_t signedD = down ? -d : d;
  const __m256d small = _mm256_set1_pd(static_cast<double>(signedD * steps));
  const __m256d big = _mm256_set1_pd(static_cast<double>(signedD * (steps + 1)));
  const __m256i stepR = _mm256_set1_epi32(static_cast<int32_t>(kLanes * span % length));
  const __m256i len = _mm256_set1_epi32(static_cast<int32_t>(length));
  const __m256i belowLen = _mm256_set1_epi32(static_cast<int32_t>(length - 1));
  const __m256d perShape = _mm256_set1_pd(1.0 / kShapeOne);
  const __m256d aLanes = _mm256_set1_pd(static_cast<double>(seg.a));
  __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(remainders));
  __m256d lo = _mm256_loadu_pd(products), hi = _mm256_loadu_pd(products + 4);
  const uint32_t n = m - m % kLanes;
  for (uint32_t k = 0; k < n; k += kLanes) {
    const __m256d levelLo = _mm256_add_pd(
        aLanes, _mm256_round_pd(_mm256_mul_pd(lo, perShape), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    const __m256d levelHi = _mm256_add_pd(
        aLanes, _mm256_round_pd(_mm256_mul_pd(hi, perShape), _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
    __m128i* p = reinterpret_cast<__m128i*>(s + k);
    _mm_storeu_si128(p, ScaleExactWide(_mm_loadu_si128(p), levelLo));
    _mm_storeu_si128(p + 1, ScaleExactWide(_mm_loadu_si128(p + 1), levelHi));
    r = _mm256_add_epi32(r, stepR);
    const __m256i carry = _mm256_cmpgt_epi32(r, belowLen);
    r = _mm256_sub_epi32(r, _mm256_and_si256(carry, len));
    const __m256d carryLo = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm256_castsi256_si128(carry)));
    const __m256d carryHi = _mm256_castsi256_pd(_mm256_cvtepi32_epi64(_mm256_extracti128_si256(carry, 1)));
    lo = _mm256_add_pd(lo, _mm256_blendv_pd(small, big, carryLo));
    hi = _mm256_add_pd(hi, _mm256_blendv_pd(small, big, carryHi));
  }
  return n;
}
#endif

// CurveRun's levels, two positions per step and each computed on its own:
// the shape's quotient span x position / length is taken from a product
// with the reciprocal and corrected by its remainder (the estimate is off by
// at most one), and (b - a) x shape / 2^23 is truncated like the integer
// division. Only where CurveRunIsExact holds.
int64_t CurveRunExact(const RecSeg& seg, int64_t from, int64_t to, int64_t at, int64_t length,
                      double* out, uint32_t m) {
  const bool down = to < from;
  const int64_t span = down ? from - to : to - from;
  const int64_t d = int64_t{seg.b} - seg.a;
  const __m128d len = _mm_set1_pd(static_cast<double>(length));
  const __m128d inverse = _mm_set1_pd(1.0 / static_cast<double>(length));
  const __m128d spanLanes = _mm_set1_pd(static_cast<double>(span));
  const __m128d sign = _mm_set1_pd(down ? -1.0 : 1.0);
  const __m128d base = _mm_set1_pd(static_cast<double>(from));
  const __m128d dLanes = _mm_set1_pd(static_cast<double>(d));
  const __m128d aLanes = _mm_set1_pd(static_cast<double>(seg.a));
  const __m128d perShape = _mm_set1_pd(1.0 / kShapeOne);
  const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0), zero = _mm_setzero_pd();
  uint32_t k = 0;
  __m128d pos = _mm_set_pd(static_cast<double>(at + 1), static_cast<double>(at));
  for (; k + 2 <= m; k += 2, pos = _mm_add_pd(pos, two)) {
    const __m128d x = _mm_mul_pd(spanLanes, pos);
    __m128d q = _mm_cvtepi32_pd(_mm_cvttpd_epi32(_mm_mul_pd(x, inverse)));
    const __m128d r = _mm_sub_pd(x, _mm_mul_pd(q, len));
    q = _mm_sub_pd(q, _mm_and_pd(_mm_cmplt_pd(r, zero), one));
    q = _mm_add_pd(q, _mm_and_pd(_mm_cmpge_pd(r, len), one));
    const __m128d shape = _mm_add_pd(base, _mm_mul_pd(sign, q));
    const __m128d v = _mm_mul_pd(_mm_mul_pd(dLanes, shape), perShape);
    _mm_storeu_pd(out + k, _mm_add_pd(aLanes, _mm_cvtepi32_pd(_mm_cvttpd_epi32(v))));
  }
  for (; k < m; ++k) {
    const int64_t q = span * (at + k) / length;
    out[k] = static_cast<double>(seg.a + d * (down ? from - q : from + q) / kShapeOne);
  }
  return LargestAtEnds(out, m);
}
#endif

// The levels of a straight fade, LinearSteps(from, to, at, length) for m
// positions; their largest in size is returned.
int64_t LineRun(int64_t from, int64_t to, int64_t at, int64_t length, double* out, uint32_t m) {
  LinearSteps level(from, to, at, length);
  for (uint32_t k = 0; k < m; ++k, level.next()) out[k] = static_cast<double>(level.value());
  return LargestAtEnds(out, m);
}

// One contiguous piece inside one segment.
void FadePiece(const RecSeg& seg, int64_t length, int64_t at, int32_t* s, uint32_t n) {
  if (seg.kind == kFadeLevel) {
    const int64_t level = seg.a;
    if (level == kUnityLevel) return;
    if (level == 0) {
      std::fill_n(s, n, 0);
      return;
    }
    for (uint32_t done = 0; done < n; done += kLevelRun * 4)
      ApplyConstant(s + done, std::min(n - done, kLevelRun * 4), level);
    return;
  }
  const bool curve = seg.kind > kFadeLinear && seg.kind <= kFadeLastCurve;
  if (length < kSteppedLengthLimit && (seg.kind == kFadeLinear || (curve && length <= 15))) {
    ApplyStepped(s, n, [&](double* out, uint32_t m, uint32_t offset) {
      return LineRun(seg.a, seg.b, at + offset, length, out, m);
    });
    return;
  }
  if (length < kSteppedLengthLimit && curve) {
    // Sub-span by sub-span: each is a straight line between two shape points.
    const int32_t row = seg.kind - kFadeLinear;
    for (uint32_t i = 0; i < n;) {
      const int64_t pos = at + i;
      const int64_t t = CurveSubSpan(length, pos);
      const int64_t lo = SubSpanBound(length, t), hi = SubSpanBound(length, t + 1);
      const uint32_t m = static_cast<uint32_t>(std::min<int64_t>(n - i, hi - pos));
      const int64_t from = FadeCurvePoint(row, static_cast<int32_t>(t));
      const int64_t to = FadeCurvePoint(row, static_cast<int32_t>(t + 1));
      if (Magnitude(from) <= kSteppedPointLimit && Magnitude(to) <= kSteppedPointLimit) {
#if defined(__SSE2__)
        if (CurveRunIsExact(seg, from, to, hi - lo)) {
          uint32_t wide = 0;
#if defined(HRL_FADE_WIDE)
          if (HasWideVectors()) wide = CurveApplyWide(seg, from, to, pos - lo, hi - lo, s + i, m);
#endif
          ApplyStepped(s + i + wide, m - wide, [&](double* out, uint32_t k, uint32_t offset) {
            return CurveRunExact(seg, from, to, pos - lo + wide + offset, hi - lo, out, k);
          });
          i += m;
          continue;
        }
#endif
        ApplyStepped(s + i, m, [&](double* out, uint32_t k, uint32_t offset) {
          return CurveRun(seg, from, to, pos - lo + offset, hi - lo, out, k);
        });
      } else {
        LinearSteps shape(from, to, pos - lo, hi - lo);
        ApplyStepped(s + i, m, [&](double* out, uint32_t k, uint32_t) {
          int64_t largest = 0;
          for (uint32_t j = 0; j < k; ++j, shape.next()) {
            const int64_t level = ShapeLevel(seg, shape.value());
            out[j] = static_cast<double>(level);
            largest = std::max(largest, Magnitude(level));
          }
          return largest;
        });
      }
      i += m;
    }
    return;
  }
  ApplyStepped(s, n, [&](double* out, uint32_t m, uint32_t offset) {
    int64_t largest = 0;
    for (uint32_t k = 0; k < m; ++k) {
      const int64_t level = FadeLevelAt(seg, length, at + offset + k);
      out[k] = static_cast<double>(level);
      largest = std::max(largest, Magnitude(level));
    }
    return largest;
  });
}

}  // namespace

void FadeRingBlock(SegList& fades, uint32_t cursor, int64_t location, uint32_t* ring,
                   uint32_t ringLen, uint32_t ringStart, uint32_t count) {
  if (ring == nullptr || ringLen == 0 || ringStart >= ringLen) return;
  uint32_t done = 0;
  while (done < count) {
    const int64_t t = location + done;
    const SegSpan span = SegFind(fades, cursor, t);
    const uint32_t at = (ringStart + done) % ringLen;
    const uint32_t n = static_cast<uint32_t>(
        std::min<int64_t>({count - done, ringLen - at, span.end - t}));
    if (!IsUnity(span.seg))
      FadePiece(*span.seg, span.end - span.start, t - span.start,
                reinterpret_cast<int32_t*>(ring + at), n);
    done += n;
  }
}
