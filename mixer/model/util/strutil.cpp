#include "strutil.h"

#include <cstdio>
#include <cstring>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

int Length(const char* text) { return static_cast<int>(std::strlen(text)); }

// Length of the text, or `limit` when no NUL comes before it.
int LengthWithin(const char* text, int limit) {
  int n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

// Copies n characters and a NUL into dst of `size` bytes, cutting to fit;
// 1 when nothing was cut.
int CopyCut(char* dst, const char* src, int n, int size) {
  if (size <= 0) return 0;
  int fit = n < size ? n : size - 1;
  std::memmove(dst, src, static_cast<size_t>(fit));
  dst[fit] = '\0';
  return fit == n;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

void StrLowerTail(char* text) {
  if (text[0] == '\0') return;
  for (char* p = text + 1; *p; ++p) *p = LowerAscii(*p);
}

void StrClear(char* text) { text[0] = '\0'; }

int StrIsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

int StrAddSecondNul(char* text, int size) {
  int n = LengthWithin(text, size);
  if (n + 2 > size) return -1;
  text[n + 1] = '\0';
  return n;
}

void StrTrimLeft(char* text) {
  int skip = 0;
  while (text[skip] == ' ') ++skip;
  if (skip > 0) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void StrTrimRight(char* text) {
  int n = Length(text);
  while (n > 0 && text[n - 1] == ' ') --n;
  text[n] = '\0';
}

void StrMenuLabel(char* text) {
  char* out = text;
  for (const char* in = text; *in && *in != '\t'; ++in)
    if (*in != '&') *out++ = *in;
  *out = '\0';
}

void StrCutAtNewline(char* text) {
  if (char* lf = std::strchr(text, '\n')) *lf = '\0';
}

int StrFindNoCase(const char* text, const char* pattern) {
  int n = Length(text), m = Length(pattern);
  for (int at = 0; at + m <= n; ++at) {
    int i = 0;
    while (i < m && (pattern[i] == '?' || LowerAscii(pattern[i]) == LowerAscii(text[at + i]))) ++i;
    if (i == m) return at;
  }
  return -1;
}

int WildcardMatch(const char* text, const char* pattern) {
  // Greedy scan with one backtrack point: on a mismatch the last '*' takes
  // one more character of the text. Linear in practice, never exponential.
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*text) {
    if (*pattern == '*') {
      star = pattern++;
      resume = text;
    } else if (*pattern == '?' || (*pattern && *pattern == *text)) {
      ++pattern;
      ++text;
    } else if (star) {
      pattern = star + 1;
      text = ++resume;
    } else {
      return 0;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

int StrCopyN(char* dst, const char* src, int size) { return CopyCut(dst, src, Length(src), size); }

int StrCatN(char* dst, const char* src, int size) {
  if (size <= 0) return 0;
  int used = LengthWithin(dst, size);
  if (used >= size) {  // not terminated inside its buffer: end it there
    dst[size - 1] = '\0';
    return 0;
  }
  return CopyCut(dst + used, src, Length(src), size - used);
}

int StrCopyCount(char* dst, const char* src, int n, int size) {
  if (n < 0) n = 0;
  int len = LengthWithin(src, n);
  return CopyCut(dst, src, len, size);
}

int32_t StrTakeNumber(char* text) {
  int n = Length(text);
  if (n < 3 || text[n - 1] != ')') return 0;
  int open = n - 2;
  while (open >= 0 && text[open] >= '0' && text[open] <= '9') --open;
  int digits = n - 2 - open;
  if (open < 0 || text[open] != '(' || digits == 0) return 0;
  int32_t value = 0;
  for (int i = open + 1; i < n - 1; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kStrNumberMax) return 0;
  }
  if (value < 1) return 0;
  while (open > 0 && text[open - 1] == ' ') --open;
  text[open] = '\0';
  return value;
}

int StrSetNumber(char* text, int32_t n, int size) {
  char number[16];
  int numberLen = std::snprintf(number, sizeof number, "(%d)", static_cast<int>(n));
  if (size <= 0 || numberLen > size - 1) return 0;
  int len = LengthWithin(text, size);
  if (len + 1 < size) text[len++] = ' ';
  int keep = size - 1 - numberLen;
  if (len > keep) len = keep;
  std::memcpy(text + len, number, static_cast<size_t>(numberLen) + 1);
  return 1;
}

void ParseHexWords(const char* text, uint32_t* words, int n) {
  for (int i = 0; i < n; ++i) words[i] = 0;
  int digits = Length(text);
  // Digit k from the end goes to word k / 8, nibble k % 8.
  for (int k = 0; k < digits && k < 8 * n; ++k) {
    uint32_t d = static_cast<uint32_t>(HexDigit(text[digits - 1 - k]));
    words[k / 8] |= d << (4 * (k % 8));
  }
}

void ParseHex48(const char* text, uint32_t* low, uint32_t* high) {
  uint32_t w[2];
  ParseHexWords(text, w, 2);
  *low = w[0] & 0xFFFFFFu;
  *high = ((w[0] >> 24) | (w[1] << 8)) & 0xFFFFFFu;
}
