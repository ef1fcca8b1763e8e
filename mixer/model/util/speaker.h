// Channel suffixes of multi-channel Take names (" L", " LFE", " 3_8" ...) and
// the channel layouts they form.
#pragma once

#include <cstdint>

// Suffix indices: 0 " L", 1 " R", 2 " C", 3 " Cs", 4 " LFE", 5 " Ls", 6 " Rs",
// 7 " Lc", 8 " Rc", 9..16 the numbered channels " 1_" .. " 8_" followed by
// the channel count.
constexpr int kSpeakerSuffixCount = 17;
constexpr int kSpeakerFirstNumbered = 9;

// Text of the named suffixes 0..8 (blank included); "" for numbered ones.
extern const char* const kSpeakerSuffix[kSpeakerFirstNumbered];

// One channel layout: the suffix indices it uses (bit i = suffix i) and its
// channel count. Its channels are the mask's bits in ascending order.
struct ChannelLayout {
  uint32_t mask;
  int32_t count;
};

constexpr int kChannelLayoutCount = 9;
extern const ChannelLayout kChannelLayouts[kChannelLayoutCount];

// Longest suffix text with its NUL (" LFE", " 8_8").
constexpr int kSpeakerSuffixSize = 8;

// Finds, from the end of the name, a blank followed by a channel suffix that
// ends the name or is followed by a blank. On success returns 1 and gives
// the suffix text (blank included; into `suffix` of `suffixSize` bytes when
// not null), the offsets where the suffix starts (the end of the stem) and
// ends, and the suffix index as the channel. Returns 0 when there is none.
// Every out-parameter may be null.
int SplitSpeakerSuffix(const char* name, char* suffix, int suffixSize, int32_t* stemEnd,
                       int32_t* suffixEnd, int32_t* channel);

// Removes the suffix that SplitSpeakerSuffix finds (the text after it stays)
// and gives it in `suffix` when not null; 1 when one was found.
int StripSpeakerSuffix(char* name, char* suffix, int suffixSize);

// The suffix of channel `index` (0-based) of the first layout with `count`
// channels, or of the last such layout (the numbered one) with `numbered`
// set; empty when no layout has that count or the index is outside it.
// Returns 1 when a suffix was written, 0 otherwise (out empty).
int MakeChannelNames(char* out, int size, int32_t index, int32_t count, int numbered);
