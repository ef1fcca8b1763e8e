// The recording host that tests link in place of the program's message boxes.
#include "tests/fakes/host_fake.h"

#include <gtest/gtest.h>

#include "mixer/model/util/strtab.h"

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
