// The native device link's waits and status questions over a scripted
// device layer: the status each device reports is set by the test, and the
// wait's sleep is a counter, so a device that never becomes idle ends the
// wait at its limit without any real time passing.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "mixer/units/natlink.h"

namespace {

NatDevice devices[kNatMaxDevices];
int32_t status[kNatMaxDevices];
// The device that becomes idle after this many polls of its status; -1
// never.
int idleAfterPolls = -1;
int polls = 0;
std::vector<uint32_t> sleeps;

int32_t Index(NatDevice* dev) { return static_cast<int32_t>(dev - devices); }

NatDevice* HRL_NATAPI Open(uint32_t index, const RecorderDiskCallbacks*, int32_t*) { return &devices[index]; }
int32_t HRL_NATAPI Close(NatDevice*) { return 1; }
int32_t HRL_NATAPI GetStatus(NatDevice* dev) {
  const int32_t k = Index(dev);
  if (k == 0 && idleAfterPolls >= 0 && polls++ >= idleAfterPolls) status[0] = kNatDevIdle;
  return status[k];
}
void Sleep(uint32_t ms) { sleeps.push_back(ms); }

NatDevApi ScriptedApi() {
  NatDevApi api{};
  api.open = Open;
  api.close = Close;
  api.getStatus = GetStatus;
  return api;
}

class NatLinkTest : public ::testing::Test {
 protected:
  NatDevApi api = ScriptedApi();
  RecorderDiskCallbacks callbacks{};
  void SetUp() override {
    for (int32_t& s : status) s = kNatDevIdle;
    idleAfterPolls = -1;
    polls = 0;
    sleeps.clear();
    NatLinkBind(&api);
    int32_t error = 0;
    ASSERT_EQ(NatLinkOpenAll(256, &callbacks, &error), 1);
    ASSERT_EQ(NatLinkDeviceCount(), 2);
  }
  void TearDown() override { NatLinkBind(nullptr); }
};

TEST_F(NatLinkTest, WaitIdleEndsWhenTheDevicesAreIdleOrAtItsLimit) {
  // Idle at once: no sleep.
  EXPECT_EQ(NatLinkWaitIdle(10, 5000, Sleep), 1);
  EXPECT_TRUE(sleeps.empty());
  // Busy for three polls: three sleeps of the poll interval.
  status[0] = kNatDevBusy;
  idleAfterPolls = 3;
  EXPECT_EQ(NatLinkWaitIdle(10, 5000, Sleep), 1);
  EXPECT_EQ(sleeps, std::vector<uint32_t>(3, 10));
  // A device that never becomes idle: 0 after the limit's worth of sleeps.
  sleeps.clear();
  idleAfterPolls = -1;
  status[1] = kNatDevBusy;
  EXPECT_EQ(NatLinkWaitIdle(10, 5000, Sleep), 0);
  EXPECT_EQ(sleeps.size(), 500u);
  // Without a sleep it spins to the same limit.
  EXPECT_EQ(NatLinkWaitIdle(10, 50, nullptr), 0);
}

TEST_F(NatLinkTest, AnyPreparedAsksEveryDevice) {
  EXPECT_EQ(NatLinkAnyPrepared(), 0);
  status[1] = kNatDevPrepared;
  EXPECT_EQ(NatLinkAnyPrepared(), 1);
  EXPECT_EQ(NatLinkAllIdle(), 0);
  status[1] = kNatDevBusy;
  EXPECT_EQ(NatLinkAnyPrepared(), 0);
  NatLinkCloseAll();
  EXPECT_EQ(NatLinkAnyPrepared(), 0);  // no device
  EXPECT_EQ(NatLinkWaitIdle(10, 5000, Sleep), 1);
}

}  // namespace
