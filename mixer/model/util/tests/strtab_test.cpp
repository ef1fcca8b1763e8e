#include "mixer/model/util/strtab.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mixer/model/util/format.h"

TEST(StrTable, LooksUpTextsById) {
  EXPECT_STREQ(StrText(IDS_MAX_PATH_EXCEEDED), "Maximum path size exceeded!");
  EXPECT_STREQ(StrText(284), "You must specify a name.");
  EXPECT_STREQ(StrText(1), "");  // no such id
}

TEST(StrTable, LoadIsBoundedByTheBuffer) {
  char buf[8];
  EXPECT_EQ(StrLoad(IDS_MAX_PATH_EXCEEDED, buf, sizeof buf), 7);
  EXPECT_STREQ(buf, "Maximum");
  EXPECT_EQ(StrLoad(1, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
}

TEST(StrTable, EveryTextFitsAMessageFormat) {
  StrForEach([](uint32_t id, const char* text) {
    EXPECT_LE(std::strlen(text), static_cast<size_t>(kMsgFormatMax)) << "string " << id;
  });
}

TEST(Format, ByIdSubstitutesArgumentsAndCuts) {
  char buf[64];
  EXPECT_EQ(FormatById(buf, sizeof buf, IDS_AUDIO_TAKE_RW_ERROR, "C:\\t\\a.ATAK"),
            static_cast<int>(std::strlen("Audio Take 'C:\\t\\a.ATAK' read/write error!")));
  EXPECT_STREQ(buf, "Audio Take 'C:\\t\\a.ATAK' read/write error!");

  char small[10];
  EXPECT_EQ(FormatById(small, sizeof small, IDS_AUDIO_TAKE_RW_ERROR, "x"), 9);
  EXPECT_STREQ(small, "Audio Tak");
}
