// Mixer device decisions: rate merge, unit serial, selection, menu ids,
// group names, the name order of units, clock election and rate
// application over fake units, and the gate that drops ticks.
#include "Drv/QvMixDev/mixdev_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qvmix;

TEST(MixDev, RegistryRateMerge) {
  uint32_t zero = 0, r48 = 48000, vari = 7, frame25 = 0x0002, frameHigh = 0x80050000;
  struct Case {
    RateRecord current;
    const uint32_t *rate, *vari, *frame;
    RateRecord want;
  } cases[] = {
      {{0, 0, 0}, &zero, nullptr, &zero, {44100, 0, 0x61C1}},                  // nothing anywhere: defaults
      {{0, 0, 0}, nullptr, nullptr, nullptr, {44100, 0, 0x61C1}},              // missing values too
      {{96000, 3, 0x80000004}, &zero, nullptr, &zero, {96000, 3, 0x80000004}},  // zeros keep current
      {{96000, 3, 0x80000004}, &r48, &vari, &frame25, {48000, 7, 0x80000002}},  // claim bit stays current
      {{96000, 3, 4}, nullptr, nullptr, &frameHigh, {96000, 3, 0x00050004}},    // claim bit dropped, code kept
  };
  for (const Case& c : cases) {
    RateRecord got = MergeRegistryRate(c.current, c.rate, c.vari, c.frame);
    EXPECT_TRUE(SameRate(got, c.want)) << got.sampleRate << " " << got.variSpeed << " " << std::hex << got.frameRate;
  }
}

TEST(MixDev, UnitSerialAndKey) {
  char s[16];
  ASSERT_TRUE(FormatUnitSerial(1, 0, s, sizeof s));
  EXPECT_STREQ("H0000001", s);
  ASSERT_TRUE(FormatUnitSerial(0x123456, 0xABC, s, sizeof s));
  EXPECT_STREQ("OABC123456", s);
  ASSERT_TRUE(FormatUnitSerial(0, 0, s, sizeof s));
  EXPECT_STREQ("G0000000", s);
  EXPECT_FALSE(FormatUnitSerial(0x1000000, 0, s, sizeof s));
  EXPECT_FALSE(FormatUnitSerial(1, 0, s, 8));  // too small a buffer

  char key[64];
  ASSERT_TRUE(UnitKeyPath(0x123456, 0xABC, key, sizeof key));
  EXPECT_STREQ("Software\\Quorvale\\Units\\000ABC123456", key);
  EXPECT_FALSE(UnitKeyPath(0, 1, key, sizeof key));
  EXPECT_FALSE(UnitKeyPath(1, 0x1000000, key, sizeof key));
  EXPECT_FALSE(UnitKeyPath(0x1000000, 1, key, sizeof key));
}

static void Table(ChannelEntry t[kChannelEntries], const uint8_t caps[kChannelEntries]) {
  for (int i = 0; i < kChannelEntries; ++i) t[i] = ChannelEntry{{0, 0, caps[i]}};
}

TEST(MixDev, CheckSelection) {
  const uint8_t caps[9] = {8, 8, 4, 4, 24, 24, 2, 2, 0};
  ChannelEntry t[kChannelEntries];
  Table(t, caps);
  Selection sel{1, 2, 0, 5};
  Selection req{0, 0, 4, 0};  // zero fields keep the selection's, the index always moves
  EXPECT_EQ(kOk, CheckSelection(t, &req, &sel));
  EXPECT_EQ((Selection{1, 2, 4, 5}).index, sel.index);
  EXPECT_EQ(1, sel.offset);
  EXPECT_EQ(2, sel.count);
  EXPECT_EQ(5, sel.flags);
  req = {22, 2, 4, 1};  // exactly the capacity
  EXPECT_EQ(kOk, CheckSelection(t, &req, &sel));
  EXPECT_EQ(22, sel.offset);
  EXPECT_EQ(1, sel.flags);
  Selection before = sel;
  for (Selection bad : {Selection{3, 2, 2, 0}, Selection{0, 1, 9, 0}, Selection{0, 1, 8, 0}, Selection{255, 255, 0, 0}}) {
    EXPECT_EQ(kFail, CheckSelection(t, &bad, &sel));
    EXPECT_EQ(0, memcmp(&before, &sel, sizeof sel));
  }
  EXPECT_EQ(kPointer, CheckSelection(t, nullptr, &sel));
}

TEST(MixDev, ChannelTableFromTheBoardsChannelCounts) {
  const uint8_t info[4] = {0, 0, 16, 8};  // 16 inputs, 8 outputs
  ChannelEntry t[kChannelEntries];
  memset(t, 0xAA, sizeof t);
  ChannelTableFromInfo(info, t);
  const uint8_t expected[9] = {16, 8, 0, 0, 0, 0, 16, 8, 0};
  for (int i = 0; i < kChannelEntries; ++i) EXPECT_EQ(expected[i], t[i].bytes[2]) << i;
  EXPECT_EQ(0, t[0].bytes[0] | t[0].bytes[11]);
  Selection sel{}, req{14, 2, 0, 0};
  EXPECT_EQ(kOk, CheckSelection(t, &req, &sel));
  req = {7, 2, 1, 0};  // past the eighth output
  EXPECT_EQ(kFail, CheckSelection(t, &req, &sel));
}

TEST(MixDev, ChannelMenu) {
  const uint8_t caps[9] = {4, 4, 2, 2, 40, 40, 3, 3, 0};
  ChannelEntry t[kChannelEntries];
  Table(t, caps);
  // Stereo over inputs and buses: pairs of entries 0 and 2.
  auto items = ChannelMenuItems(t, Selection{0, 2, 0, 0}, Selection{2, 2, 0, 0});
  std::vector<uint32_t> ids;
  for (auto& i : items) ids.push_back(i.id);
  EXPECT_EQ((std::vector<uint32_t>{0x001, 0x003, 0x201}), ids);
  EXPECT_TRUE(items[1].checked);
  EXPECT_FALSE(items[0].checked || items[2].checked);
  // Mono over tracks and streams, with a break every 32 items.
  items = ChannelMenuItems(t, Selection{0, 1, 0, kMenuAllEntries}, Selection{0, 1, 6, 0});
  ASSERT_EQ(43u, items.size());
  EXPECT_EQ(0x401u, items[0].id);
  EXPECT_EQ(0x428u, items[39].id);
  EXPECT_EQ(0x601u, items[40].id);
  EXPECT_TRUE(items[40].checked);
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(i == 32, items[i].columnBreak) << i;
}

TEST(MixDev, GroupNames) {
  struct Case {
    int entry, form;
    unsigned first, count;
    const wchar_t* want;
  } cases[] = {
      {0, 0, 1, 1, L"e1"},      {1, 1, 3, 2, L"EXT 3-4"},  {2, 1, 5, 1, L"BUS 5"},
      {5, 0, 9, 2, L"t9-10"},   {7, 1, 1, 8, L"STR 1-8"},  {8, 1, 2, 1, L"??? 2"},
  };
  for (const Case& c : cases) {
    wchar_t out[32];
    ASSERT_TRUE(FormatGroupName(c.entry, c.form, c.first, c.count, out, 32));
    EXPECT_EQ(std::wstring(c.want), std::wstring(out));
  }
}

namespace {
struct Node {
  const wchar_t* name;
  Node* m_next = nullptr;
  const wchar_t* Name() const { return name; }
};
}  // namespace

TEST(MixDev, UnitsSortByNameKeepingArrivalOrder) {
  Node a{L"Qvtvr2"}, b{L"qvDNV1"}, c{L"QVTVR2"}, d{L"Qvcbl1"}, e{L"qvtvr2"};
  Node* head = nullptr;
  for (Node* n : {&a, &b, &c, &d, &e}) InsertByName(head, n);
  std::vector<Node*> order;
  for (Node* n = head; n; n = n->m_next) order.push_back(n);
  EXPECT_EQ((std::vector<Node*>{&d, &b, &a, &c, &e}), order);
}

namespace {
struct FakeUnit : RateUnit {
  explicit FakeUnit(std::vector<std::string>* log, std::string name) : log(log), name(std::move(name)) {}
  bool IsActive() override { return count.Count() > 0; }
  int32_t Activate() override {
    bool first;
    return count.Activate([&] { log->push_back(name + " start"); return startResult; }, &first);
  }
  void Deactivate() override {
    if (count.Deactivate()) log->push_back(name + " stop");
  }
  int32_t ApplyRate(const RateRecord& r) override {
    applied.push_back(r);
    return applyResult;
  }
  void RateChanged() override { ++changedCalls; }
  std::vector<std::string>* log;
  std::string name;
  ActiveCount count;
  int32_t startResult = kOk, applyResult = kOk;
  std::vector<RateRecord> applied;
  int changedCalls = 0;
};
struct FakeGraph : RateGraph {
  int32_t StopStreaming() override {
    ++stops;
    return stopResult;
  }
  void SetSyncSource(RateUnit* s) override { sync.push_back(s); }
  void ClockChanged() override { ++clockChanged; }
  int stops = 0, clockChanged = 0;
  int32_t stopResult = kOk;
  std::vector<RateUnit*> sync;
};
}  // namespace

TEST(MixDev, ClockElectionAndRateApplication) {
  std::vector<std::string> log;
  FakeUnit a(&log, "a"), b(&log, "b"), c(&log, "c");
  RateUnit* units[] = {&a, &b, &c};
  FakeGraph g;
  RateState s;

  // b claims the clock: it is activated, gets the rate with the claim bit.
  EXPECT_TRUE(s.MayRequest(&b, {48000, 0, kClaimBit | 4}));
  EXPECT_EQ(kOk, s.Apply(&b, {48000, 0, kClaimBit | 4}, units, 3, g));
  EXPECT_EQ(&b, s.m_source);
  EXPECT_EQ(1, b.count.Count());
  ASSERT_EQ(1u, b.applied.size());
  EXPECT_EQ(kClaimBit | 4, b.applied[0].frameRate);
  EXPECT_TRUE(a.applied.empty());
  EXPECT_EQ((std::vector<RateUnit*>{&b}), g.sync);
  EXPECT_EQ(1, b.changedCalls);

  // The same request again: nothing.
  EXPECT_EQ(kOk, s.Apply(&b, {48000, 0, kClaimBit | 4}, units, 3, g));
  EXPECT_EQ(1u, b.applied.size());

  // A non-source without the claim bit is refused; the source itself may.
  EXPECT_FALSE(s.MayRequest(&a, {96000, 0, 4}));
  EXPECT_TRUE(s.MayRequest(&b, {96000, 0, 4}));

  // The source changes its rate: no stop, the clock-changed event.
  EXPECT_EQ(kOk, s.Apply(&b, {96000, 0, kClaimBit | 4}, units, 3, g));
  EXPECT_EQ(1, g.stops);
  EXPECT_EQ(1, g.clockChanged);

  // The clock moves to a, which comes before b in the list, then to c,
  // after b: the old source gives its activation back either way.
  EXPECT_EQ(kOk, s.Apply(&a, {96000, 0, kClaimBit | 4}, units, 3, g));
  EXPECT_EQ(1, a.count.Count());
  EXPECT_EQ(0, b.count.Count());
  EXPECT_EQ(kOk, s.Apply(&c, {96000, 0, kClaimBit | 4}, units, 3, g));
  EXPECT_EQ(0, a.count.Count());
  EXPECT_EQ(1, c.count.Count());
  // Losing the claim: no source, c gives its activation back.
  EXPECT_EQ(kOk, s.Apply(&c, {96000, 0, 4}, units, 3, g));
  EXPECT_EQ(nullptr, s.m_source);
  EXPECT_EQ(0, c.count.Count());
  EXPECT_EQ((std::vector<std::string>{"b start", "a start", "b stop", "a stop", "c start", "c stop"}), log);
  EXPECT_EQ((std::vector<RateUnit*>{&b, &a, &c, nullptr}), g.sync);
}

TEST(MixDev, RateApplicationFailures) {
  std::vector<std::string> log;
  FakeUnit a(&log, "a"), b(&log, "b");
  RateUnit* units[] = {&a, &b};
  FakeGraph g;
  RateState s;
  // A graph that cannot stop: nothing changes.
  g.stopResult = kFail;
  EXPECT_EQ(kFail, s.Apply(&a, {48000, 0, kClaimBit | 1}, units, 2, g));
  EXPECT_EQ(nullptr, s.m_source);
  EXPECT_EQ(0u, s.m_current.sampleRate);
  g.stopResult = kOk;
  // A unit refusing the rate: the first failure is the result, no
  // rate-changed calls.
  bool first;
  b.count.Activate([] { return kOk; }, &first);
  b.applyResult = static_cast<int32_t>(0x80070057);
  EXPECT_EQ(static_cast<int32_t>(0x80070057), s.Apply(&a, {48000, 0, kClaimBit | 1}, units, 2, g));
  EXPECT_EQ(0, a.changedCalls + b.changedCalls);
  EXPECT_EQ(&a, s.m_source);
}

TEST(MixDev, ActivationBalance) {
  ActiveCount n;
  bool first;
  int starts = 0;
  EXPECT_EQ(kFail, n.Activate([&] { ++starts; return kFail; }, &first));
  EXPECT_EQ(0, n.Count());  // a failed start is taken back
  EXPECT_EQ(kOk, n.Activate([&] { ++starts; return kOk; }, &first));
  EXPECT_TRUE(first);
  EXPECT_EQ(kOk, n.Activate([&] { ++starts; return kOk; }, &first));
  EXPECT_FALSE(first);
  EXPECT_EQ(2, starts);
  EXPECT_FALSE(n.Deactivate());
  EXPECT_TRUE(n.Deactivate());
  EXPECT_FALSE(n.Deactivate());  // none left: ignored
  EXPECT_EQ(0, n.Count());
}

TEST(MixDev, TicksAreDroppedWhileOneIsQueued) {
  TickGate gate;
  EXPECT_TRUE(gate.TryQueue());
  EXPECT_FALSE(gate.TryQueue());
  EXPECT_FALSE(gate.TryQueue());
  gate.Done();
  EXPECT_TRUE(gate.TryQueue());
}
