// The unit layer through the real device library on the simulated machine.
#include <gtest/gtest.h>
#include <windows.h>

#include "mixer/units/unitops.h"
#include "mixer/units/unittable.h"
#include "mixer/units/win32/devlib.h"
#include "sim/machine/simmachine.h"
#include "tests/fakes/host_fake.h"

namespace {

std::vector<std::pair<UnitHandle, int>> fatals;
int RecordFatal(UnitHandle h, int code) {
  fatals.push_back({h, code});
  return 0;
}

class UnitsOnSim : public ::testing::Test {
 protected:
  void SetUp() override {
    simmachine::Reset();
    unit = simmachine::AddIoUnit(simunit::Generation::Second, 0x300);
    api = DeviceLibraryUnitApi(RecordFatal);
    SetUnitDevApi(&api);
    Host().Reset();
    fatals.clear();
  }
  void TearDown() override {
    CloseUnitTable();
    simmachine::Shutdown();
  }
  simunit::HostUnit* unit = nullptr;
  UnitDevApi api{};
  int numbers[4] = {};
  int multiPc = -1;
};

TEST_F(UnitsOnSim, TheRecorderUnitOpensAndAMissingOneIsReported) {
  EXPECT_EQ(OpenUnitsFrom("Qvdev1  Qvdev0", "", numbers, &multiPc), 1);
  EXPECT_NE(UnitDevHandle(1), kNoUnitHandle);
  EXPECT_EQ(UnitHasHostUnit(1), 1);
  EXPECT_EQ(multiPc, 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, kMsgHostOpen);
  EXPECT_EQ(Host().boxes[0].text.rfind("Quorvale unit 1 (Qvdev1) can not be opened!\n(", 0), 0u)
      << Host().boxes[0].text;
  // The unit is owned by this handle: a second open of it is refused.
  uint32_t error = 0;
  EXPECT_EQ(OpenUnitDevice("Qvdev0", kUnitTypeHost, &error), kNoUnitHandle);
  EXPECT_EQ(error, kMsgHostOpen);
  // Asked as a card, the unit's board id does not match.
  CloseUnitTable();
  EXPECT_EQ(OpenUnitDevice("Qvdev0", kUnitTypeCorbelle, &error), kNoUnitHandle);
  EXPECT_EQ(error, kMsgCardOpen);
}

TEST_F(UnitsOnSim, AnOperationReachesTheUnitsFirmware) {
  ASSERT_EQ(OpenUnitsFrom("Qvdev0", "", numbers, &multiPc), 1);
  UnitHandle h = kNoUnitHandle;
  const UnitOps* ops = UnitInterface(1, &h);
  ASSERT_NE(ops, nullptr);
  unit->Answer(0x17, {0x40});  // the status command: busy bits clear
  uint32_t status = 0;
  EXPECT_EQ(ops->getStatus(h, &status), 1);
  EXPECT_EQ(status & 63, 0u);
  EXPECT_TRUE(fatals.empty());
  EXPECT_EQ(unit->Commands(), std::vector<uint8_t>{0x17});
}

TEST_F(UnitsOnSim, ACallTheDriverRefusesIsFatalWithTheSlotsCode) {
  ASSERT_EQ(OpenUnitsFrom("Qvdev0", "", numbers, &multiPc), 1);
  UnitHandle h = kNoUnitHandle;
  const UnitOps* ops = UnitInterface(1, &h);
  ASSERT_NE(ops, nullptr);
  // The firmware never answers: the status read times out in the driver.
  simunit::Faults silent;
  silent.silent = true;
  unit->SetFaults(silent);
  uint32_t status = 0;
  EXPECT_EQ(ops->getStatus(h, &status), 0);
  ASSERT_EQ(fatals.size(), 1u);
  EXPECT_EQ(fatals[0], (std::pair<UnitHandle, int>{h, 90}));
}

}  // namespace
