// Playing automation: glide values, steps back and forth, view placement,
// fade resolution, and what the callback may and may not do.
#include "logs/qvMxAut/tests/autlog_fixture.h"

namespace {

class AutPlayTest : public AutFixture {
 protected:
  // One knob on track 0 driven by key 0 of a log through one view at 0.
  AutKnobHandle Rig(uint32_t glide, std::initializer_list<AutLogKnobEvent> events) {
    AutKnobHandle knob = NewKnob(1, glide);
    log = NewLog(events);
    list = NewList(0, 0);
    AddView(list, log, PlayMap(knob));
    return knob;
  }

  struct StepCase {
    const char* name;
    std::vector<uint32_t> steps;
    std::vector<int32_t> values;  // after each step
  };

  // From the start, each step a timer tick (20 ms) after the last, and the
  // knob's value after it.
  void RunSteps(AutKnobHandle knob, const StepCase& c) {
    ASSERT_EQ(eng.SetLocator(0, 1), 1);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      sys.now += 20;
      EXPECT_EQ(Step(knob, c.steps[i]), c.values[i]) << c.name << ", step " << i << " to " << c.steps[i];
    }
  }

  AutLogHandle log = 0;
  AutViewListHandle list = 0;
};

TEST_F(AutPlayTest, GlideKnobFollowsTheLineBetweenEventsBothWays) {
  const StepCase cases[] = {
      {"forward to the middle", {500}, {50}},
      {"forward in steps", {250, 500, 750, 1000, 1500}, {25, 50, 75, 100, 100}},
      {"back inside the glide", {500, 250}, {50, 25}},
      {"back over the end event", {1500, 500}, {100, 50}},
      {"halves round away from the start going forward", {335}, {34}},
      {"... and away from the end going back", {1500, 335}, {100, 33}},
      {"back to the first event", {700, 0}, {70, 0}},
  };
  for (const StepCase& c : cases) {
    AutKnobHandle knob = Rig(1, {{0, 0, 0, 0}, {0, 1000, 100, 0}});
    RunSteps(knob, c);
    eng.DeleteAllViewLists(0);
    eng.DeleteKnob(knob);
    eng.DeleteLog(log);
  }
}

TEST_F(AutPlayTest, StepKnobJumpsAtEventsAndBackWhenTheLocatorReturns) {
  const StepCase cases[] = {
      {"before the event", {500, 999}, {0, 0}},
      {"at the event", {1000}, {100}},
      {"back just before it", {1000, 999}, {100, 0}},
      {"back from beyond it", {1500, 500}, {100, 0}},
      {"back onto it", {1500, 1000}, {100, 100}},
      {"back and forth", {1200, 800, 1100, 0}, {100, 0, 100, 0}},
  };
  for (const StepCase& c : cases) {
    AutKnobHandle knob = Rig(0, {{0, 0, 0, 0}, {0, 1000, 100, 0}});
    RunSteps(knob, c);
    eng.DeleteAllViewLists(0);
    eng.DeleteKnob(knob);
    eng.DeleteLog(log);
  }
}

TEST_F(AutPlayTest, CallbackOnlyForChangedValues) {
  AutKnobHandle knob = Rig(0, {{0, 0, 0, 0}, {0, 1000, 100, 0}});
  for (uint32_t at : {500u, 1000u, 1200u, 1300u, 500u, 1000u}) eng.SetLocator(at, 0);
  EXPECT_EQ(calls, (std::vector<KnobCall>{{1, 100}, {1, 0}, {1, 100}}));
  EXPECT_EQ(Value(knob), 100);
}

TEST_F(AutPlayTest, ViewPlacesItsStretchOfTheLogOnTheTimeLine) {
  AutKnobHandle knob = NewKnob(1, 0);
  log = NewLog({{0, 50, 1, 0}, {0, 100, 5, 0}, {0, 600, 9, 0}, {0, 1200, 77, 0}});
  list = NewList(0, 0);
  AddView(list, log, PlayMap(knob), /*start*/ 5000, /*length*/ 1000, /*offset*/ 100);
  const StepCase c{"placed view", {4999, 5000, 5499, 5500, 7000, 5200}, {0, 5, 5, 9, 9, 5}};
  RunSteps(knob, c);
}

TEST_F(AutPlayTest, GlideRunsOnIntoTheNextViewOfTheList) {
  AutKnobHandle knob = NewKnob(1, 1);
  AutMapHandle map = PlayMap(knob);
  AutLogHandle a = NewLog({{0, 0, 0, 0}});
  AutLogHandle b = NewLog({{0, 0, 100, 0}});
  list = NewList(0, 0);
  AddView(list, b, map, 2000, 1000, 0);
  AddView(list, a, map, 0, 1000, 0);  // sorted in by start
  RunSteps(knob, {"across views", {1000, 2000, 2500}, {50, 100, 100}});
}

TEST_F(AutPlayTest, KeysOfOneLogDriveTheirOwnKnobs) {
  AutKnobHandle k1 = NewKnob(1, 0), k2 = NewKnob(2, 0);
  AutMapHandle map = PlayMap(k1, 3);
  ASSERT_EQ(eng.SetPlayLogKnobMapValue(map, 2, k2), 1);
  log = NewLog({{0, 10, 1, 0}, {1, 20, 99, 0}, {2, 30, 2, 0}, {7, 40, 98, 0}});
  AddView(NewList(0, 0), log, map);
  eng.SetLocator(100, 0);
  EXPECT_EQ(calls, (std::vector<KnobCall>{{1, 1}, {2, 2}}));
}

TEST_F(AutPlayTest, FadeResolutionSpacesGlideUpdates) {
  AutKnobHandle knob = Rig(1, {{0, 0, 0, 0}, {0, 1000, 100, 0}});
  eng.SetFadeResolTime(10);
  EXPECT_EQ(Step(knob, 100), 10);
  EXPECT_EQ(Step(knob, 200), 10);  // same millisecond: not yet due
  sys.now += 10;
  EXPECT_EQ(Step(knob, 300), 10);  // exactly the resolution later: still not
  sys.now += 1;
  EXPECT_EQ(Step(knob, 400), 40);
}

TEST_F(AutPlayTest, NothingPlaysForEnableModeZeroOrDeletedKnobsAndMaps) {
  AutKnobHandle knob = Rig(0, {{0, 10, 5, 0}});
  ASSERT_EQ(eng.SetKnobAutomEnableMode(knob, 0), 1);
  eng.SetLocator(100, 0);
  EXPECT_TRUE(calls.empty());
  ASSERT_EQ(eng.SetKnobAutomEnableMode(knob, 1), 1);
  ASSERT_EQ(eng.DeleteKnob(knob), 1);
  eng.SetLocator(0, 1);
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(eng.DeleteAllPlayLogKnobMaps(), 1);
  eng.SetLocator(0, 1);
  EXPECT_TRUE(calls.empty());
}

TEST_F(AutPlayTest, ViewListsGiveTheirKnobsListsAndTakeThemAway) {
  AutKnobHandle knob = NewKnob(1, 0, /*track*/ 4);
  log = NewLog({{0, 10, 5, 0}});
  AutMapHandle map = PlayMap(knob);
  AutViewListHandle other = NewList(3, 0);
  AddView(other, log, map);
  list = NewList(4, 0);
  AddView(list, log, map);
  AutView wrongKind{0, 100, 0, log, map};
  EXPECT_EQ(eng.AddView(NewList(4, 1), &wrongKind), 0);  // a record list takes record maps only
  int32_t target = 0;
  EXPECT_EQ(eng.SetKnobValue(knob, 0, 100, kAutMoveToAutomation), 1);
  ASSERT_EQ(eng.GetKnobValue(knob, &target), 1);
  EXPECT_EQ(target, 5);  // from the automation of its own track's list
  ASSERT_EQ(eng.DeleteViewList(list), 1);
  EXPECT_EQ(eng.SetKnobValue(knob, 1, 100, kAutMoveToAutomation), 1);
  EXPECT_EQ(Value(knob), 1);  // no play list: the given value stands
}

TEST_F(AutPlayTest, InsideTheCallbackNothingTheWalkHoldsChanges) {
  AutKnobHandle knob = Rig(0, {{0, 10, 5, 0}});
  AutMapHandle spare = PlayMap(knob, 2);
  std::vector<int32_t> results;
  onCall = [&](uint32_t, int32_t) {
    int32_t v = 0;
    AutLogHandle l = 0;
    results = {eng.SetKnobValue(knob, 42, 10, 0), eng.GetKnobValue(knob, &v), v,
               eng.SetLocator(500, 0), eng.DeleteLog(log), eng.CreateLog(&l), eng.DeleteKnob(knob),
               eng.SetPlayLogKnobMapValue(spare, 1, knob), eng.SetKnobAutomEnableMode(knob, 2)};
  };
  EXPECT_EQ(eng.SetLocator(100, 0), 1);
  // The move inside the callback sets the value but makes no step.
  EXPECT_EQ(results, (std::vector<int32_t>{0, 1, 42, 0, 0, 0, 0, 1, 1}));
  EXPECT_EQ(calls.size(), 1u);
  onCall = nullptr;
  EXPECT_EQ(eng.DeleteLog(log), 1);
  EXPECT_EQ(eng.SetLocator(0, 1), 1);  // a view over a deleted log plays nothing
  EXPECT_EQ(calls.size(), 1u);
}

}  // namespace
