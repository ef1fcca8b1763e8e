// The transport bar's field texts.
#include <gtest/gtest.h>

#include <string>

#include "mixer/model/settings.h"
#include "mixer/units/transportbar.h"

namespace {

TEST(TransportBar, FieldTexts) {
  Settings() = ProjectSettings{};
  Settings().SampleRate = 48000;
  Settings().CurFrameRate = 25;
  char text[32];
  const struct {
    int32_t position;
    uint32_t offset;
    const char* want;
  } codes[] = {{0, 0, "00:00:00:00"},
               {48000 * 61 + 1920 * 3, 0, "00:01:01:03"},
               {-5, 0, "00:00:00:00"},
               {0, 48000u * 3600, "01:00:00:00"}};
  for (const auto& c : codes) {
    TransportTimecodeText(text, sizeof text, c.position, c.offset);
    EXPECT_STREQ(text, c.want) << c.position;
  }
  TransportBarsText(text, sizeof text, 0);
  EXPECT_STREQ(text, "0001.01.000");
  // One 4/4 bar at 120 BPM is two seconds.
  TransportBarsText(text, sizeof text, 96000);
  EXPECT_STREQ(text, "0002.01.000");
  TransportMeterText(text, sizeof text, 3, 4);
  EXPECT_STREQ(text, "03/04");
  TransportMeterText(text, sizeof text, 0, 8);
  EXPECT_STREQ(text, "04/04");
  TransportTempoText(text, sizeof text, 13350);
  EXPECT_STREQ(text, "133.50");
  TransportTempoText(text, sizeof text, 0);
  EXPECT_STREQ(text, "120.00");
}

}  // namespace
