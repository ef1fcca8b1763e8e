// The sample converters. Integer to float multiplies by 2^-31; float to
// integer multiplies by 2^31, rounds to nearest and clips above (at
// 2147483647 in the portable pair, at the float 2147483520.0 in the SIMD
// pairs, whose compare is in single precision); anything at or below -2^31
// gives the processor's integer-indefinite value 0x80000000.
#include "Drv/Qvdrv/cpufeat.h"

#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <mmintrin.h>
#include <xmmintrin.h>

namespace qvcpu {
namespace {

constexpr float IntToFloatScale = 1.0f / 2147483648.0f;
constexpr float FloatToIntScale = 2147483648.0f;
constexpr int32_t IntegerIndefinite = INT32_MIN;

void PortableToFloat(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const int32_t*>(source);
  auto* out = static_cast<float*>(destination);
  for (uint32_t i = 0; i < count; i += 4) {
    for (uint32_t k = 0; k < 4; ++k) out[i + k] = static_cast<float>(in[i + k]) * IntToFloatScale;
  }
}

// One sample per step, in double so that the clip at 2^31 - 1 is exact.
void PortableToInt(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const float*>(source);
  auto* out = static_cast<int32_t*>(destination);
  for (uint32_t i = 0; i < count; ++i) {
    double v = static_cast<double>(in[i]) * FloatToIntScale;
    if (v >= 2147483647.0) {
      out[i] = INT32_MAX;
    } else if (!(v > -2147483648.5)) {  // below the range, or not a number
      out[i] = IntegerIndefinite;
    } else {
      out[i] = static_cast<int32_t>(std::nearbyint(v));
    }
  }
}

__attribute__((target("sse2"))) void Sse2ToFloat(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const __m128i*>(source);
  auto* out = static_cast<__m128*>(destination);
  const __m128 scale = _mm_set1_ps(IntToFloatScale);
  for (uint32_t i = 0; i < count / 4; ++i) _mm_store_ps(reinterpret_cast<float*>(out + i), _mm_mul_ps(_mm_cvtepi32_ps(_mm_load_si128(in + i)), scale));
}

__attribute__((target("sse2"))) void Sse2ToInt(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const float*>(source);
  auto* out = static_cast<__m128i*>(destination);
  const __m128 scale = _mm_set1_ps(FloatToIntScale);
  const __m128 top = _mm_set1_ps(2147483520.0f);
  for (uint32_t i = 0; i < count / 4; ++i) {
    __m128 v = _mm_min_ps(_mm_mul_ps(_mm_load_ps(in + 4 * i), scale), top);
    _mm_store_si128(out + i, _mm_cvtps_epi32(v));
  }
}

// The SSE pair converts through MMX registers two samples at a time and
// clears the MMX state on return.
__attribute__((target("sse,mmx"))) void SseToFloat(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const __m64*>(source);
  auto* out = static_cast<float*>(destination);
  const __m128 scale = _mm_set1_ps(IntToFloatScale);
  for (uint32_t i = 0; i < count / 4; ++i) {
    __m128 v = _mm_cvtpi32x2_ps(in[2 * i], in[2 * i + 1]);
    _mm_store_ps(out + 4 * i, _mm_mul_ps(v, scale));
  }
  _mm_empty();
}

__attribute__((target("sse,mmx"))) void SseToInt(uint32_t count, const void* source, void* destination) {
  const auto* in = static_cast<const float*>(source);
  auto* out = static_cast<__m64*>(destination);
  const __m128 scale = _mm_set1_ps(FloatToIntScale);
  const __m128 top = _mm_set1_ps(2147483520.0f);
  for (uint32_t i = 0; i < count / 4; ++i) {
    __m128 v = _mm_min_ps(_mm_mul_ps(_mm_load_ps(in + 4 * i), scale), top);
    out[2 * i] = _mm_cvtps_pi32(v);
    out[2 * i + 1] = _mm_cvtps_pi32(_mm_movehl_ps(v, v));
  }
  _mm_empty();
}

}  // namespace

ConverterTable ConvertersOf(ConverterPair pair) {
  switch (pair) {
    case PairSse2: return {Sse2ToFloat, Sse2ToInt};
    case PairSse: return {SseToFloat, SseToInt};
    default: return {PortableToFloat, PortableToInt};
  }
}

}  // namespace qvcpu
