// The user's hand on the knobs: touch then match, writing moves, the record
// map's keys, carrying played events over into the record log.
#include "logs/qvMxAut/tests/autlog_fixture.h"

namespace {

using E = AutLogKnobEvent;
using Events = std::vector<E>;

// Track 0 with a play list over `playLog` (key 0 drives the knob) and a
// record list over `recLog` from time-line 0 (record map of 4 knobs; the
// knob has index 3); record mode 1.
class AutTouchTest : public AutFixture {
 protected:
  AutKnobHandle Rig(uint32_t glide, uint32_t mode, std::initializer_list<E> play, uint32_t recordStart = 0) {
    AutKnobHandle knob = NewKnob(9, glide, 0, 3, mode);
    playLog = NewLog(play);
    AddView(NewList(0, 0), playLog, PlayMap(knob));
    recLog = NewLog({});
    EXPECT_EQ(eng.CreateRecordLogKnobMap(4, &recMap), 1);
    AddView(NewList(0, 1), recLog, recMap, recordStart, 0, 0);
    eng.SetSampleRate(1000);  // one sample a millisecond
    eng.SetMatchTime(100);
    eng.SetTouchTimeout(1000);
    eng.SetRecordMode(1);
    return knob;
  }
  AutLogHandle playLog = 0, recLog = 0;
  AutMapHandle recMap = 0;
};

TEST_F(AutTouchTest, DragHoldsTheKnobThenTheTimeoutThenAMatchGlideBack) {
  AutKnobHandle knob = Rig(1, 1, {{0, 0, 500, 0}, {0, 1000000, 500, 0}});
  eng.StartPlayRec();
  EXPECT_EQ(Step(knob, 100), 500);
  // While the mouse is captured, playback never overwrites the knob.
  sys.captured = true;
  EXPECT_EQ(eng.SetKnobValue(knob, 800, 200, 0), 1);
  for (uint32_t at : {300u, 0u, 400u}) {
    sys.now += 5000;
    EXPECT_EQ(Step(knob, at), 800) << at;
  }
  // Released with a last move: untouched until the time-out has passed.
  sys.captured = false;
  EXPECT_EQ(eng.SetKnobValue(knob, 800, 450, 0), 1);
  const uint32_t released = sys.now;
  sys.now = released + 999;
  EXPECT_EQ(Step(knob, 500), 800);
  sys.now = released + 1000;
  // Time-out over: a glide from (600, 800) to (700, the automation's 500).
  struct {
    uint32_t at;
    int32_t value;
  } glide[] = {{600, 800}, {650, 650}, {675, 575}, {700, 500}, {800, 500}};
  for (const auto& g : glide) EXPECT_EQ(Step(knob, g.at), g.value) << g.at;
  EXPECT_EQ(calls.back(), (KnobCall{9, 500}));
}

TEST_F(AutTouchTest, CaptureEndingWithoutAMoveEndsTheTouchAtTheNextStep) {
  AutKnobHandle knob = Rig(0, 1, {{0, 0, 500, 0}});
  eng.StartPlayRec();
  sys.captured = true;
  eng.SetKnobValue(knob, 800, 100, 0);
  sys.now += 100000;
  EXPECT_EQ(Step(knob, 200), 800);
  sys.captured = false;
  EXPECT_EQ(Step(knob, 300), 500);  // a step knob goes back at once
}

TEST_F(AutTouchTest, StopEndsEveryTouch) {
  AutKnobHandle knob = Rig(0, 1, {{0, 0, 500, 0}, {0, 1000, 600, 0}});
  eng.StartPlayRec();
  sys.captured = true;
  eng.SetKnobValue(knob, 800, 100, 0);
  EXPECT_EQ(eng.StopPlayRec(0, 0), 1);
  EXPECT_EQ(Step(knob, 1000), 600);
}

TEST_F(AutTouchTest, RecordMapGivesKeysOnFirstWrite) {
  AutKnobHandle knob = Rig(0, 2, {});
  int32_t key = 5, written = 5;
  ASSERT_EQ(eng.GetRecordLogKnobMapValue(recMap, -1, &key, nullptr), 1);
  EXPECT_EQ(key, -1);
  ASSERT_EQ(eng.GetRecordLogKnobMapValue(recMap, 3, &key, &written), 1);
  EXPECT_EQ(key, -1);
  EXPECT_EQ(written, 0);
  eng.StartPlayRec();
  EXPECT_EQ(eng.SetKnobValue(knob, 42, 1000, 0), 1);
  ASSERT_EQ(eng.GetRecordLogKnobMapValue(recMap, 3, &key, &written), 1);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(written, 1);
  ASSERT_EQ(eng.GetRecordLogKnobMapValue(recMap, -1, &key, nullptr), 1);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(EventsOf(recLog), (Events{{0, 1000, 42, 0}}));
  EXPECT_EQ(eng.GetRecordLogKnobMapValue(recMap, 4, &key, nullptr), 0);
}

TEST_F(AutTouchTest, GlideMovesWriteAStepOnlyWhenANewGestureStarts) {
  AutKnobHandle knob = Rig(1, 2, {});
  eng.StartPlayRec();
  struct Move {
    uint32_t laterMs, at;
    int32_t value;
  } moves[] = {{0, 1000, 10}, {150, 1100, 20}, {200, 1200, 30}, {201, 1300, 40}, {10, 1400, 40}};
  for (const Move& m : moves) {
    sys.now += m.laterMs;
    ASSERT_EQ(eng.SetKnobValue(knob, m.value, m.at, 0), 1);
  }
  EXPECT_EQ(EventsOf(recLog), (Events{{0, 1000, 0, 0}, {0, 1001, 10, 0},     // first move: old, then new
                                    {0, 1100, 20, 0}, {0, 1200, 30, 0},     // within 200 ms: one each
                                    {0, 1300, 30, 0}, {0, 1301, 40, 0},     // after 201 ms: a step again
                                    {0, 1400, 40, 0}}));                    // unchanged: still written
  ASSERT_EQ(eng.SetKnobValue(knob, 40, 1500, kAutMoveSkipSame), 1);
  ASSERT_EQ(eng.SetKnobValue(knob, 50, 1600, kAutMoveNoWrite), 1);
  EXPECT_EQ(EventsOf(recLog).size(), 7u);
}

TEST_F(AutTouchTest, PlayedEventsAreCarriedIntoTheRecordLogAsModesAllow) {
  struct Case {
    const char* name;
    bool running;
    uint32_t recordMode, enableMode;
    int touch;  // 0 none, 1 current, 2 run out
    Events want;
  } cases[] = {
      {"plays and records", true, 1, 1, 0, {{0, 100, 10, 0}, {0, 200, 20, 0}}},
      {"record mode 0", true, 0, 1, 0, {}},
      {"enable mode 0", true, 1, 0, 0, {}},
      {"stopped", false, 1, 1, 0, {}},
      {"user knob untouched", true, 1, 2, 0, {{0, 100, 10, 0}, {0, 200, 20, 0}}},
      {"user knob touched", true, 1, 2, 1, {}},
      {"user knob, touch run out: carried, then back to automation",
       true, 1, 2, 2, {{0, 100, 10, 0}, {0, 200, 20, 0}, {0, 250, 20, 0}}},
      {"user knob, touch run out, record mode 2", true, 2, 2, 2, {}},
  };
  for (const Case& c : cases) {
    AutKnobHandle knob = Rig(0, c.enableMode, {{0, 100, 10, 0}, {0, 200, 20, 0}});
    eng.SetRecordMode(c.recordMode);
    if (c.running) eng.StartPlayRec();
    if (c.touch != 0) {
      eng.SetKnobValue(knob, 5, 0, kAutMoveNoWrite);
      if (c.touch == 2) sys.now += 1000;
    }
    eng.SetLocator(250, 0);
    EXPECT_EQ(EventsOf(recLog), c.want) << c.name;
    eng.StopPlayRec(0, 0);
    eng.SetLocator(0, 1);
    eng.DeleteAllViewLists(0);
    eng.DeleteAllViewLists(1);
    eng.DeleteAllPlayLogKnobMaps();
    eng.DeleteAllRecordLogKnobMaps();
    eng.DeleteKnob(knob);
    eng.DeleteLog(playLog);
    eng.DeleteLog(recLog);
  }
}

TEST_F(AutTouchTest, RecordModeZeroKeepsPlaybackOutOfTheRecordView) {
  AutKnobHandle knob = Rig(0, 1, {{0, 100, 10, 0}, {0, 200, 20, 0}, {0, 1100, 30, 0}}, /*recordStart*/ 1000);
  eng.SetRecordMode(0);
  eng.StartPlayRec();
  EXPECT_EQ(Step(knob, 250), 20);
  EXPECT_EQ(Step(knob, 1200), 20);
  eng.StopPlayRec(0, 0);
  EXPECT_EQ(Step(knob, 1100), 30);  // stopped: playback only
}

TEST_F(AutTouchTest, MoveToAutomationTakesTheValueAtTheLocation) {
  AutKnobHandle knob = Rig(1, 1, {{0, 100, 0, 0}, {0, 300, 100, 0}});
  EXPECT_EQ(eng.SetKnobValue(knob, 7, 50, kAutMoveToAutomation), 1);
  EXPECT_EQ(Value(knob), 7);  // no event at or before 50
  EXPECT_EQ(eng.SetKnobValue(knob, 7, 150, kAutMoveToAutomation), 1);
  EXPECT_EQ(Value(knob), 25);  // on the line to the next event
}

}  // namespace
