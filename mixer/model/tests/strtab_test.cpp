#include "mixer/model/strtab.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mixer/model/format.h"
#include "tests/fakes/host_fake.h"

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

TEST(HostFake, RecordsBoxesAndAnswersFromItsScript) {
  Host().Reset();
  Host().answers.push_back(kIdNo);
  EXPECT_EQ(MessageBoxById(nullptr, IDS_AUDIO_TAKE_RW_ERROR, kMbAskYesNo, "T1"), kIdNo);
  EXPECT_EQ(MessageBoxText(nullptr, "%d Takes", kMbWarnOk, 3), kIdOk);
  ASSERT_EQ(Host().boxes.size(), 2u);
  EXPECT_EQ(Host().boxes[0].text, "Audio Take 'T1' read/write error!");
  EXPECT_EQ(Host().boxes[0].flags, kMbAskYesNo);
  EXPECT_EQ(Host().boxes[1].text, "3 Takes");
  EXPECT_EQ(Host().boxes[1].id, 0u);
}
