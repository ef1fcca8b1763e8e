// Normalize and DC removal decisions over scripted run passes.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>

#include "mixer/arrange/procnorm.h"
#include "mixer/model/util/gain.h"
#include "tests/fakes/host_fake.h"

namespace {

struct Pass {
  ProcDialog dialog;
  int answer;
  int32_t result = 0;  // peak left by a run pass
  int32_t mode = 0;    // the list's mode seen by the pass
  int32_t processGain = 0;
  uint32_t playGain = 0;
};

std::deque<Pass> g_script;
std::vector<Pass> g_seen;
int g_stops = 0;
std::string g_target = "0";

int ScriptedRun(ProcDialog d, ProcList* list) {
  Pass seen{d, 0, 0, list->Mode, list->ProcessGain, list->PlayGain};
  g_seen.push_back(seen);
  if (g_script.empty()) return 2;
  const Pass p = g_script.front();
  g_script.pop_front();
  EXPECT_EQ(p.dialog, d);
  if (d == kProcNormParam) {
    if (p.answer == 1) list->ProcessGain = NormApplyTarget(g_target.c_str(), list->Result);
  } else {
    list->Result = p.result;
  }
  return p.answer;
}

class ProcNorm : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script.clear();
    g_seen.clear();
    g_stops = 0;
    Host().Reset();
    ProcSetRunSeams({ScriptedRun, [] { ++g_stops; }});
    std::memset(&list_, 0, sizeof list_);
    NormSetTargetLevel(0);
  }
  ProcList list_;
};

TEST_F(ProcNorm, RefusalsAfterTheScan) {
  struct Case {
    int32_t peak;
    uint32_t message;
  } cases[] = {{40000, 248}, {32767, 248}, {32766, 249}, {32760, 249}, {100, 250}, {0, 250}};
  for (const Case& c : cases) {
    SetUp();
    g_script = {{kProcNormProcess, 1, c.peak}};
    EXPECT_EQ(ProcNormalize(&list_), 0) << c.peak;
    ASSERT_EQ(Host().boxes.size(), 1u) << c.peak;
    EXPECT_EQ(Host().boxes[0].id, c.message) << c.peak;
    EXPECT_EQ(g_seen.size(), 1u);  // no parameter dialog, no process pass
    EXPECT_EQ(g_seen[0].mode, 1);
  }
  SetUp();
  g_script = {{kProcNormProcess, 1, 100}};
  ProcNormalize(&list_);
  EXPECT_NE(Host().boxes[0].text.find("-50.30 dB"), std::string::npos) << Host().boxes[0].text;
}

TEST_F(ProcNorm, TargetLevelsGiveTheProcessGain) {
  struct Case {
    const char* typed;
    int32_t peak;
    int32_t target;  // kept, hundredths of a dB
  } cases[] = {{"3", 16383, 0}, {"0", 16383, 0}, {"-6", 8192, -600}, {"-120", 8192, -9600},
               {"-0.5", 30000, -50}};
  for (const Case& c : cases) {
    SetUp();
    g_target = c.typed;
    g_script = {{kProcNormProcess, 1, c.peak}, {kProcNormParam, 1, 0}, {kProcNormProcess, 1, 0}};
    ASSERT_EQ(ProcNormalize(&list_), 1) << c.typed;
    EXPECT_EQ(NormTargetLevel(), c.target) << c.typed;
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[2].mode, 0);
    const int32_t a = std::min(ScaleByCentiDb(c.target, 32766), 32762);
    EXPECT_EQ(g_seen[2].processGain, static_cast<int32_t>(int64_t{a} * 32768 / c.peak)) << c.typed;
    // The processed peak lands on the target within a hundredth of a dB.
    const int64_t out = int64_t{c.peak} * g_seen[2].processGain / 32768;
    EXPECT_LE(out, 32762);
    EXPECT_NEAR(RatioToCentiDb(static_cast<uint32_t>(out), 32766), c.target, 2) << c.typed;
  }
}

TEST_F(ProcNorm, CancelStopsTheUnitsOnlyInARunPass) {
  g_script = {{kProcNormProcess, 2, 0}};
  EXPECT_EQ(ProcNormalize(&list_), 0);
  EXPECT_EQ(g_stops, 1);
  SetUp();
  g_script = {{kProcNormProcess, 1, 8000}, {kProcNormParam, 2, 0}};
  EXPECT_EQ(ProcNormalize(&list_), 0);
  EXPECT_EQ(g_stops, 0);
  SetUp();
  g_script = {{kProcNormProcess, 1, 8000}, {kProcNormParam, 1, 0}, {kProcNormProcess, 2, 0}};
  EXPECT_EQ(ProcNormalize(&list_), 0);
  EXPECT_EQ(g_stops, 1);
}

TEST_F(ProcNorm, DcRemovalRetriesAnOverloadWithScaledLevels) {
  // 2x overload: the process gain is scaled; 10x: the input is divided by 8.
  Host().answers = {kIdYes, kIdYes};
  g_script = {{kProcRemDcProcess, 1, 65534}, {kProcRemDcProcess, 1, 327670}, {kProcRemDcProcess, 1, 30000}};
  EXPECT_EQ(ProcRemoveDc(&list_), 1);
  ASSERT_EQ(g_seen.size(), 3u);
  EXPECT_EQ(g_seen[0].processGain, 32768);
  EXPECT_EQ(g_seen[1].processGain, static_cast<int32_t>(int64_t{32768} * 32762 / 65534));
  EXPECT_EQ(g_seen[1].playGain, 32768u);
  EXPECT_EQ(g_seen[2].processGain, g_seen[1].processGain);
  EXPECT_EQ(g_seen[2].playGain, 4096u);
  ASSERT_EQ(Host().boxes.size(), 2u);
  EXPECT_EQ(Host().boxes[0].id, 255u);
  // No keeps the overloaded result.
  SetUp();
  Host().answers = {kIdNo};
  g_script = {{kProcRemDcProcess, 1, 65534}};
  EXPECT_EQ(ProcRemoveDc(&list_), 1);
  EXPECT_EQ(g_seen.size(), 1u);
}

}  // namespace
