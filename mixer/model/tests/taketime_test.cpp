// Time of Takes as Parts use them: stamp positions and lengths by kind.
#include "mixer/model/taketime.h"

#include <climits>

#include "mixer/model/settings.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/tests/takeattr_fixture.h"

namespace {

class TakeTime : public TakeFileTest {
 protected:
  void SetUp() override {
    TakeFileTest::SetUp();
    saved_ = Settings();
    Settings().SampleRate = 48000;
    Settings().CurFrameRate = 25;
    Settings().Tempo = 12000;  // 120 BPM: a quarter is 24000 samples
  }
  void TearDown() override {
    Settings() = saved_;
    TakeFileTest::TearDown();
  }
  ProjectSettings saved_;
};

TEST_F(TakeTime, StampPositionLessTheOffsetWithTheDayWrap) {
  const TcRec stamp = {0, 0, 2, 0, 0};  // 00:00:02:00
  uint32_t error = 0;
  TakeRec* take = TakeCreateAudio(dir.c_str(), 2, 10, 7, 48000, 25, 0, "Stamped", "d", &stamp,
                                  nullptr, &error);
  ASSERT_NE(take, nullptr) << error;
  EXPECT_EQ(TakeTcToLoc(take, 0), 96000);
  EXPECT_EQ(TakeTcToLoc(take, 48000), 48000);
  // A stamp before the offset is the next day: past the 32-bit range here.
  EXPECT_EQ(TakeTcToLoc(take, 200000), INT32_MAX);
  EXPECT_EQ(TakeTcToLoc(nullptr, 0), 0);
}

TEST_F(TakeTime, MidiLengthCountsTicksAtTheTakesResolution) {
  uint32_t error = 0;
  // 960 entries at 480 ticks per quarter: two quarters.
  TakeRec* midi = TakeCreateMidi(dir.c_str(), 480, 960, 0, 0, 7, 48000, 25, 0, "Notes", "d",
                                 nullptr, nullptr, &error);
  ASSERT_NE(midi, nullptr) << error;
  ASSERT_EQ(TakeGetAttr(midi, kTakeAttrLength), 960u);
  EXPECT_EQ(TakeLenAtKind(midi, kTakeMidi, 0), 48000);
  EXPECT_EQ(TakeLenAtKind(midi, kTakeMidi, 1000), 48000);
  // Used as another kind, the length is the attribute itself.
  EXPECT_EQ(TakeLenAtKind(midi, kTakeAutom, 0), 960);

  TakeRec* audio = Audio(2, 1234);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(TakeLenAtKind(audio, kTakeAudio, 5000), 1234);
}

}  // namespace
