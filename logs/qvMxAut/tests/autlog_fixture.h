// A scripted system (clock, mouse capture), a recording knob-value callback
// and small builders of logs, knobs and views for the automation tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <ostream>
#include <vector>

#include "logs/qvMxAut/autlog.h"

class FakeAutSystem : public AutSystem {
 public:
  uint32_t now = 100000;  // a clock that has run a while: 0 means "no touch"
  bool captured = false;
  uint32_t NowMs() override { return now; }
  bool MouseCaptured() override { return captured; }
};

struct KnobCall {
  uint32_t id;
  int32_t value;
  bool operator==(const KnobCall&) const = default;
};

inline bool operator==(const AutLogKnobEvent& a, const AutLogKnobEvent& b) {
  return a.key == b.key && a.location == b.location && a.value == b.value && a.reserved == b.reserved;
}

inline std::ostream& operator<<(std::ostream& os, const AutLogKnobEvent& e) {
  return os << "{key " << e.key << " @" << e.location << " = " << e.value << "}";
}

inline std::ostream& operator<<(std::ostream& os, const KnobCall& c) {
  return os << "{knob " << c.id << " = " << c.value << "}";
}

class AutFixture : public ::testing::Test {
 protected:
  explicit AutFixture(uint32_t eventLimit = AutEngine::kDefaultEventLimit) : eng(sys, eventLimit) {
    eng.Init(&AutFixture::Record, this);
  }

  static void Record(void* context, uint32_t id, int32_t value) {
    auto* self = static_cast<AutFixture*>(context);
    self->calls.push_back({id, value});
    if (self->onCall) self->onCall(id, value);
  }

  AutLogHandle NewLog(std::initializer_list<AutLogKnobEvent> events) {
    AutLogHandle log = 0;
    EXPECT_EQ(eng.CreateLog(&log), 1);
    for (const AutLogKnobEvent& e : events) EXPECT_EQ(eng.AddLogKnobEvent(log, &e), 1);
    return log;
  }

  std::vector<AutLogKnobEvent> EventsOf(AutLogHandle log) {
    int32_t n = 0;
    EXPECT_EQ(eng.GetLogKnobEventCnt(log, &n), 1);
    std::vector<AutLogKnobEvent> out(static_cast<size_t>(n));
    EXPECT_EQ(eng.GetAllLogKnobEvents(log, &n, out.data()), 1);
    out.resize(static_cast<size_t>(n));
    return out;
  }

  AutKnobHandle NewKnob(uint32_t id, uint32_t glide, uint32_t track = 0, uint32_t index = 0, uint32_t mode = 1) {
    AutKnobDesc desc{glide, {0, 0, 0}};
    AutKnobHandle k = 0;
    EXPECT_EQ(eng.CreateKnob(id, &desc, &k), 1);
    EXPECT_EQ(eng.SetKnobTrkAndIndx(k, track, index), 1);
    EXPECT_EQ(eng.SetKnobAutomEnableMode(k, mode), 1);
    return k;
  }

  // A play map of `count` keys with the given knob on key 0.
  AutMapHandle PlayMap(AutKnobHandle knob, int32_t count = 1) {
    AutMapHandle m = 0;
    EXPECT_EQ(eng.CreatePlayLogKnobMap(count, &m), 1);
    EXPECT_EQ(eng.SetPlayLogKnobMapValue(m, 0, knob), 1);
    return m;
  }

  AutViewListHandle NewList(uint32_t track, uint32_t kind) {
    AutViewListHandle l = 0;
    EXPECT_EQ(eng.CreateViewList(track, kind, &l), 1);
    return l;
  }

  void AddView(AutViewListHandle list, AutLogHandle log, AutMapHandle map, uint32_t start = 0,
               uint32_t length = 0x7FFFFFFF, uint32_t offset = 0) {
    AutView v{start, length, offset, log, map};
    EXPECT_EQ(eng.AddView(list, &v), 1);
  }

  int32_t Value(AutKnobHandle knob) {
    int32_t v = 0;
    EXPECT_EQ(eng.GetKnobValue(knob, &v), 1);
    return v;
  }

  int32_t Step(AutKnobHandle knob, uint32_t location) {
    EXPECT_EQ(eng.SetLocator(location, 0), 1);
    return Value(knob);
  }

  FakeAutSystem sys;
  AutEngine eng;
  std::vector<KnobCall> calls;
  std::function<void(uint32_t, int32_t)> onCall;
};
