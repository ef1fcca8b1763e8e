// Tick logs placed through the arrangement's own conversions (fixed tempo
// of the project settings, no tempo map), handed over as the host does.
#include <gtest/gtest.h>

#include <vector>

#include "logs/qvMidRec/midlog.h"
#include "mixer/model/musical.h"
#include "mixer/model/settings.h"

namespace {

// The host's callbacks over the arrangement services: positions here stay
// below 2^31, so the high words are 0.
int32_t QVMIV_CALLBACK SpanToTicks(uint32_t startLo, uint32_t, uint32_t resolution, uint32_t endLo, uint32_t) {
  return static_cast<int32_t>(LocSpanToMidiTicks(static_cast<int32_t>(startLo), static_cast<int32_t>(resolution),
                                                 static_cast<int32_t>(endLo)));
}

uint32_t QVMIV_CALLBACK TicksToLoc(uint32_t startLo, uint32_t, uint32_t resolution, uint32_t ticks) {
  return static_cast<uint32_t>(MidiTicksToLocEnd(static_cast<int32_t>(startLo), static_cast<int32_t>(resolution), ticks));
}

TEST(MidiLogArrangementTicks, RecordedNotePlaysBackWhereItWasPlayed) {
  MidiLibRelease();
  Settings().SampleRate = 48000;
  Settings().Tempo = 12000;  // 120 BPM: 24000 samples a quarter note
  const MidiInitRecord init{SpanToTicks, TicksToLoc};
  ASSERT_EQ(MidiSetInitRecord(&init), 1);

  MidiLogHandle log = 0;
  ASSERT_EQ(MidiCreateLog(&log, 480), 1);
  MidiViewListHandle rec = 0;
  MidiViewListHandle play = 0;
  ASSERT_EQ(MidiCreateViewList(0, 1, &rec), 1);
  ASSERT_EQ(MidiCreateViewList(0, 0, &play), 1);
  const MidiView view{48000, 96000, 24000, log};  // origin 24000
  ASSERT_EQ(MidiAddView(rec, &view), 1);
  ASSERT_EQ(MidiAddView(play, &view), 1);

  const MidiViewHandle v = MidiFirstView(rec);
  ASSERT_EQ(WriteRecordedEvent(v, 60000, 0x90 | 60 << 8 | 100 << 16, 144000), 1);
  ASSERT_EQ(WriteRecordedEvent(v, 72000, 0x80 | 60 << 8, 144000), 1);
  MidiLogEvent e{};
  ASSERT_EQ(MidiGetLogFirstEqualOrNxtEventFromTickPos(log, 0, 0, &e, nullptr), 1);
  EXPECT_EQ(e.position, 720u);  // 1.5 quarters after the origin
  EXPECT_EQ(e.value, 240u);

  std::vector<MidiPlayEntry> got;
  const MidiPlayList list = BuildPlayList(0, 0, 1);
  for (uint32_t n = list; n != 0; n = MidiPlayNodeNext(n)) {
    MidiPlayEntry p{};
    MidiGetPlayNode(n, &p);
    got.push_back(p);
  }
  FreePlayList(list);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].position, 60000u);
  EXPECT_EQ(got[0].message, 0x90u | 60 << 8 | 100 << 16);
  EXPECT_EQ(got[1].position, 72000u);
  EXPECT_EQ(got[1].message, 0x90u | 60 << 8);
  MidiLibRelease();
}

}  // namespace
