#include "speaker.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "strutil.h"

const char* const kSpeakerSuffix[kSpeakerFirstNumbered] = {
    " L", " R", " C", " Cs", " LFE", " Ls", " Rs", " Lc", " Rc",
};

namespace {

constexpr uint32_t Bits(std::initializer_list<int> indices) {
  uint32_t mask = 0;
  for (int i : indices) mask |= 1u << i;
  return mask;
}

constexpr uint32_t NumberedBits(int count) {
  return ((1u << count) - 1) << kSpeakerFirstNumbered;
}

}  // namespace

// In this order: MakeChannelNames takes the first (or last) row of a count.
const ChannelLayout kChannelLayouts[kChannelLayoutCount] = {
    {Bits({0, 1, 2, 4, 5, 6, 7, 8}), 8},  // L R C LFE Ls Rs Lc Rc
    {Bits({0, 1, 2, 5, 6, 7, 8}), 7},     // L R C Ls Rs Lc Rc
    {Bits({0, 1, 2, 4, 5, 6}), 6},        // L R C LFE Ls Rs
    {Bits({0, 1, 2, 5, 6}), 5},           // L R C Ls Rs
    {Bits({0, 1, 2, 3}), 4},              // L R C Cs
    {Bits({0, 1}), 2},                    // L R
    {NumberedBits(8), 8},                 // 1_8 .. 8_8
    {NumberedBits(6), 6},                 // 1_6 .. 6_6
    {NumberedBits(4), 4},                 // 1_4 .. 4_4
};

namespace {

// Named suffixes in the order they are tried after a blank. " L" fails on
// " Ls" and " Lc" because a suffix must be followed by a blank or the end.
constexpr int kNamedSearchOrder[] = {0, 1, 2, 5, 6, 7, 8, 3, 4};

bool EndsToken(char c) { return c == '\0' || c == ' '; }

// Length of the suffix starting at `at` (a blank) and its channel; 0 when
// no suffix starts there.
int SuffixAt(const char* at, int32_t* channel) {
  for (int index : kNamedSearchOrder) {
    const char* text = kSpeakerSuffix[index];
    int len = static_cast<int>(std::strlen(text));
    if (std::strncmp(at, text, static_cast<size_t>(len)) == 0 && EndsToken(at[len])) {
      *channel = index;
      return len;
    }
  }
  // " d_c": d in 1..8 the channel, c in 4, 6, 8 the count.
  // Each test stops before a NUL, so nothing past the name is read.
  char d = at[1];
  if (d >= '1' && d <= '8' && at[2] == '_' && (at[3] == '4' || at[3] == '6' || at[3] == '8') &&
      EndsToken(at[4])) {
    *channel = kSpeakerFirstNumbered - 1 + (d - '0');
    return 4;
  }
  return 0;
}

}  // namespace

int SplitSpeakerSuffix(const char* name, char* suffix, int suffixSize, int32_t* stemEnd,
                       int32_t* suffixEnd, int32_t* channel) {
  for (int at = static_cast<int>(std::strlen(name)) - 1; at >= 0; --at) {
    if (name[at] != ' ') continue;
    int32_t found = 0;
    int len = SuffixAt(name + at, &found);
    if (len == 0) continue;
    if (suffix) StrCopyCount(suffix, name + at, len, suffixSize);
    if (stemEnd) *stemEnd = at;
    if (suffixEnd) *suffixEnd = at + len;
    if (channel) *channel = found;
    return 1;
  }
  return 0;
}

int StripSpeakerSuffix(char* name, char* suffix, int suffixSize) {
  int32_t from = 0, to = 0;
  if (!SplitSpeakerSuffix(name, suffix, suffixSize, &from, &to, nullptr)) return 0;
  std::memmove(name + from, name + to, std::strlen(name + to) + 1);
  return 1;
}

int MakeChannelNames(char* out, int size, int32_t index, int32_t count, int numbered) {
  if (size > 0) out[0] = '\0';
  const ChannelLayout* row = nullptr;
  for (const ChannelLayout& layout : kChannelLayouts) {
    if (layout.count != count) continue;
    row = &layout;
    if (!numbered) break;
  }
  if (!row || index < 0 || index >= row->count) return 0;
  int suffixIndex = -1;
  for (int bit = 0, seen = 0; bit < kSpeakerSuffixCount; ++bit) {
    if (!(row->mask & (1u << bit))) continue;
    if (seen++ == index) {
      suffixIndex = bit;
      break;
    }
  }
  char text[kSpeakerSuffixSize];
  if (suffixIndex < kSpeakerFirstNumbered)
    StrCopyN(text, kSpeakerSuffix[suffixIndex], sizeof text);
  else
    std::snprintf(text, sizeof text, " %d_%d", suffixIndex - kSpeakerFirstNumbered + 1,
                  static_cast<int>(count));
  if (!StrCopyN(out, text, size)) {
    if (size > 0) out[0] = '\0';
    return 0;
  }
  return 1;
}
