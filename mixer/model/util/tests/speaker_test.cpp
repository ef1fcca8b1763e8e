#include "mixer/model/util/speaker.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

TEST(SpeakerSuffix, SplitsFromTheEnd) {
  struct {
    const char* name;
    int32_t channel;  // -1: none
    const char* suffix;
    int32_t stemEnd;
    int32_t suffixEnd;
  } cases[] = {
      {"Drums L", 0, " L", 5, 7},
      {"Drums R", 1, " R", 5, 7},
      {"Drums C", 2, " C", 5, 7},
      {"Drums Cs", 3, " Cs", 5, 8},
      {"Drums LFE", 4, " LFE", 5, 9},
      {"Drums Ls", 5, " Ls", 5, 8},
      {"Drums Rs", 6, " Rs", 5, 8},
      {"Drums Lc", 7, " Lc", 5, 8},
      {"Drums Rc", 8, " Rc", 5, 8},
      {"Drums 1_4", 9, " 1_4", 5, 9},
      {"Drums 3_8", 11, " 3_8", 5, 9},
      {"Drums 8_8", 16, " 8_8", 5, 9},
      {"Drums L (2)", 0, " L", 5, 7},   // followed by a blank
      {"Drums (2) R", 1, " R", 9, 11},
      {"Mix L R", 1, " R", 5, 7},       // the last one counts
      {"Lead", -1, "", 0, 0},
      {"L", -1, "", 0, 0},              // no blank before it
      {"Drums Lx", -1, "", 0, 0},
      {"Drums LF", -1, "", 0, 0},
      {"Drums 9_8", -1, "", 0, 0},
      {"Drums 0_8", -1, "", 0, 0},
      {"Drums 3_5", -1, "", 0, 0},
      {"Drums 3_8x", -1, "", 0, 0},
      {"Drums l", -1, "", 0, 0},
      {"", -1, "", 0, 0},
  };
  for (const auto& c : cases) {
    char suffix[kSpeakerSuffixSize] = "";
    int32_t stemEnd = 0, suffixEnd = 0, channel = -1;
    int found = SplitSpeakerSuffix(c.name, suffix, sizeof suffix, &stemEnd, &suffixEnd, &channel);
    EXPECT_EQ(found, c.channel >= 0) << c.name;
    EXPECT_EQ(channel, c.channel) << c.name;
    EXPECT_STREQ(suffix, c.suffix) << c.name;
    EXPECT_EQ(stemEnd, c.stemEnd) << c.name;
    EXPECT_EQ(suffixEnd, c.suffixEnd) << c.name;
  }
  EXPECT_EQ(SplitSpeakerSuffix("Drums LFE", nullptr, 0, nullptr, nullptr, nullptr), 1);
}

TEST(SpeakerSuffix, StripKeepsTheTextAfterIt) {
  char name[] = "Drums L (2)";
  char suffix[kSpeakerSuffixSize];
  EXPECT_EQ(StripSpeakerSuffix(name, suffix, sizeof suffix), 1);
  EXPECT_STREQ(name, "Drums (2)");
  EXPECT_STREQ(suffix, " L");

  char plain[] = "Lead";
  EXPECT_EQ(StripSpeakerSuffix(plain, nullptr, 0), 0);
  EXPECT_STREQ(plain, "Lead");
}

TEST(ChannelNames, TakesTheFirstOrNumberedLayoutOfTheCount) {
  struct {
    int32_t index, count;
    int numbered;
    const char* out;
  } cases[] = {
      {3, 6, 0, " LFE"}, {3, 6, 1, " 4_6"}, {0, 2, 0, " L"},  {1, 2, 1, " R"},  // no numbered 2
      {3, 4, 0, " Cs"},  {3, 4, 1, " 4_4"}, {7, 8, 0, " Rc"}, {7, 8, 1, " 8_8"},
      {3, 7, 0, " Ls"},  {4, 5, 0, " Rs"},  {0, 1, 0, ""},    {0, 3, 0, ""},
      {6, 6, 0, ""},     {-1, 6, 0, ""},
  };
  for (const auto& c : cases) {
    char out[kSpeakerSuffixSize] = "x";
    EXPECT_EQ(MakeChannelNames(out, sizeof out, c.index, c.count, c.numbered), c.out[0] != '\0')
        << c.index << " of " << c.count;
    EXPECT_STREQ(out, c.out) << c.index << " of " << c.count << (c.numbered ? " numbered" : "");
  }
  char small[5];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(MakeChannelNames(small, 4, 3, 6, 0), 0);  // " LFE" needs 5 bytes
  EXPECT_STREQ(small, "");
  EXPECT_EQ(small[4], '#');
}

TEST(ChannelNames, LayoutsUseTheirCountOfChannels) {
  for (const ChannelLayout& layout : kChannelLayouts)
    EXPECT_EQ(std::popcount(layout.mask), layout.count);
}
