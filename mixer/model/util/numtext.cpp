#include "mixer/model/util/numtext.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int32_t kFieldMax = std::numeric_limits<int32_t>::max();

}  // namespace

int SplitDigitFields(const char* text, int n, int32_t* values, int32_t* lzCounts) {
  if (values == nullptr || n <= 0) return 0;
  for (int i = 0; i < n; ++i) {
    values[i] = 0;
    if (lzCounts != nullptr) lzCounts[i] = 0;
  }
  if (text == nullptr) return 0;
  int cur = 0, lastWithDigits = -1;
  bool open = true;   // the current field takes the next digit
  int negField = -1;  // the field the latest '-' marked; its digits may still come
  bool minus = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c >= '0' && *c <= '9') {
      if (!open) {
        cur = lastWithDigits + 1;
        open = true;
      }
      lastWithDigits = cur;
      if (cur >= n) continue;
      const int digit = *c - '0';
      int64_t mag = values[cur] < 0 ? -int64_t{values[cur]} : values[cur];
      if (digit == 0 && mag == 0) {
        if (lzCounts != nullptr) ++lzCounts[cur];
        continue;
      }
      mag = std::min<int64_t>(mag * 10 + digit, kFieldMax);
      values[cur] = static_cast<int32_t>(negField == cur ? -mag : mag);
    } else if (*c == '-') {
      minus = true;
      negField = open ? cur : lastWithDigits + 1;
      if (negField < n && values[negField] > 0) values[negField] = -values[negField];
    } else {
      open = false;
    }
  }
  return minus ? 1 : 0;
}

int32_t TextToNumber(const char* text, int32_t scale) {
  int32_t v[2], lz[2];
  const bool minus = SplitDigitFields(text, 2, v, lz) != 0;
  const int64_t sc = std::max(scale, 1);
  int64_t whole = v[0] < 0 ? -int64_t{v[0]} : v[0];
  int64_t frac = v[1] < 0 ? -int64_t{v[1]} : v[1];
  // Bring the fraction's digits to the scale's width, then shift it right
  // once per leading zero ("05" is five hundredths). A zero fraction stays 0.
  if (frac != 0) {
    while (frac < sc / 10) frac *= 10;
    while (frac >= sc) frac /= 10;
    for (int i = 0; i < lz[1] && frac != 0; ++i) frac /= 10;
  }
  const int64_t r = std::min<int64_t>(whole * sc + frac, int64_t{kFieldMax} + 1);
  return static_cast<int32_t>(std::clamp<int64_t>(minus ? -r : r, std::numeric_limits<int32_t>::min(), kFieldMax));
}
