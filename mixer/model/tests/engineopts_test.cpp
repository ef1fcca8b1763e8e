// The engine's option getters and the device interface library's version
// comparison.
#include <gtest/gtest.h>

#include "mixer/model/drvversion.h"
#include "mixer/model/engineopts.h"
#include "tests/fakes/units_fake.h"

namespace {

TEST(EngineOpts, BufferSizeFollowsTheSmallBufferFlag) {
  Units().Reset();
  EXPECT_EQ(AudBufSize(), 262144);
  Units().engineSmallBuf = 1;
  EXPECT_EQ(AudBufSize(), 131072);
  Units().Reset();
  EXPECT_EQ(RecPartSpan(), 193986);
}

TEST(EngineOpts, SeamlessLoopNeedsBothTheLoopAndTheSeamlessBit) {
  struct Case {
    uint32_t mode;
    int on;
  } cases[] = {
      {0, 0},         {kModeLoop, 0},           {kModeSeamless, 0},
      {0x101, 1},     {0xFFFFFFFF, 1},          {0xFFFFFFFF & ~kModeLoop, 0},
      {0x1FE, 0},     {0x101 | kModePreRoll, 1},
  };
  for (const Case& c : cases) {
    Settings().PlayRecMode = c.mode;
    EXPECT_EQ(IsSeamlessLoopOn(), c.on) << std::hex << c.mode;
  }
  Settings() = ProjectSettings();
}

TEST(DrvLibVersion, PassesFrom2_7_420_51116On) {
  struct Case {
    uint16_t major, minor, build, revision;
    int ok;
  } cases[] = {
      {2, 7, 420, 51116, 1},  // the oldest that passes
      {2, 7, 420, 51115, 0},
      {2, 7, 420, 65535, 1},
      {2, 7, 421, 0, 1},      // a higher build outweighs any revision
      {2, 7, 419, 65535, 0},
      {2, 8, 0, 0, 1},        // a higher minor outweighs the low word
      {3, 0, 0, 0, 1},
      {2, 6, 65535, 65535, 0},
      {1, 65535, 65535, 65535, 0},
      {0, 0, 0, 0, 0},
      // The words compare unsigned: a top bit set is a high version, not a
      // negative one.
      {0x8000, 0, 0, 0, 1},
      {2, 7, 0x8000, 0, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DrvLibVersionOk(MakeFileVersion(c.major, c.minor, c.build, c.revision)), c.ok)
        << c.major << '.' << c.minor << '.' << c.build << '.' << c.revision;
}

}  // namespace
