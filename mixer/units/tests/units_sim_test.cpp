// The unit layer through the real device library on the simulated machine.
#include <gtest/gtest.h>
#include <windows.h>

#include "mixer/model/timecode.h"
#include "mixer/model/settings.h"
#include "mixer/units/ninepin.h"
#include "mixer/units/services.h"
#include "mixer/units/unitmotion.h"
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

// The transport's movements reach the unit's firmware through the real
// device library and driver: the unit locates, prepares, plays, stops,
// winds and scrubs as told, and answers idle.
TEST_F(UnitsOnSim, TheTransportDrivesTheUnit) {
  ASSERT_EQ(OpenUnitsFrom("Qvdev0", "", numbers, &multiPc), 1);
  simunit::UnitTransport* t = simmachine::UnitTransportOf(0);
  ASSERT_NE(t, nullptr);
  using S = simunit::UnitTransport::State;
  Locs().NowLoc = 0x1234567;
  UnitsLocate(0x2345678);
  EXPECT_EQ(t->Location(), 0x2345678);
  UnitsSetPlayRecEndLoc(0x3000001);
  EXPECT_EQ(t->End(), 0x3000001);
  UnitsPrepPlayBufs(48000);
  EXPECT_EQ(t->GetState(), S::Prepared);
  EXPECT_EQ(t->Location(), 48000);
  EXPECT_EQ(UnitsAllIdle(), 1);
  EXPECT_EQ(UnitsStartPlayRec(0), 1);
  EXPECT_EQ(t->GetState(), S::Playing);
  UnitsStop();
  EXPECT_EQ(t->GetState(), S::Stopped);
  UnitsWind(-6553);  // rewinding at two steps
  EXPECT_EQ(t->WindSpeed(), -6553);
  EXPECT_EQ(t->Location(), 0x1234567);
  UnitsWind(0);
  EXPECT_EQ(t->WindSpeed(), 0);
  UnitsPrepScrubBufs(5000, 0x7FFF05FF);
  EXPECT_EQ(t->GetState(), S::ScrubPrepared);
  UnitsStartScrub(1);
  EXPECT_EQ(t->GetState(), S::Scrubbing);
  // A busy spell is waited out before the preparation.
  t->SetBusy(3);
  UnitsPrepPlayBufs(100);
  EXPECT_EQ(t->GetState(), S::Prepared);
  EXPECT_EQ(UnitsAllIdle(), 1);
  std::vector<std::string> motions;
  for (const char* m : t->Motions()) motions.push_back(m);
  EXPECT_EQ(motions, (std::vector<std::string>{"locate", "end", "prep", "start", "stop", "wind", "wind", "end",
                                               "scrubloc", "scrubprep", "scrubstart", "prep"}));
  EXPECT_TRUE(fatals.empty());
}

// The 9-pin engine of unit 1's firmware, through the senders.
TEST_F(UnitsOnSim, NinePinEngineOfUnitOne) {
  simunit::NinePinEngine* engine = simmachine::NinePin();
  ASSERT_NE(engine, nullptr);
  int status = 0;
  EXPECT_EQ(NinePinSend(0x20, &status), 0);  // no unit 1 yet
  EXPECT_EQ(status, 255);
  EXPECT_TRUE(engine->Taken().empty());

  ASSERT_EQ(OpenUnitsFrom("Qvdev0", "", numbers, &multiPc), 1);
  engine->SetDeviceType(0x20E0);
  int32_t type = 0;
  ASSERT_EQ(NinePinQuery19(&type, &status), 1);
  EXPECT_EQ(type, 0x20E0);

  const TcRec start = {12, 34, 56, 7, 0};
  ASSERT_EQ(NinePinSendTimecode(0x30, start, &status), 1);
  ASSERT_EQ(NinePinSend(0x21, &status), 1);  // play
  EXPECT_TRUE(engine->Playing());
  TcRec tc{};
  ASSERT_EQ(NinePinQueryTimecode(0x3F, &tc, &status), 1);
  EXPECT_EQ(tc.Hours, 12);
  EXPECT_EQ(tc.Minutes, 34);
  EXPECT_EQ(tc.Seconds, 56);
  EXPECT_EQ(tc.Frames, 8);  // it advances while playing

  ASSERT_EQ(NinePinSend(0x87, &status), 1);
  ASSERT_EQ(NinePinSend(0x8A, &status), 1);
  EXPECT_TRUE(engine->FlagA());
  EXPECT_FALSE(engine->FlagB());
  uint8_t a = 0, b = 0;
  ASSERT_EQ(NinePinQuery9F(&a, &b, &tc, &status), 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(tc.Hours, 12);

  engine->SetValue(0x0F, {0x34, 0x12});
  uint32_t value = 0;
  ASSERT_EQ(NinePinQueryValue(0x0F, &value, &status), 1);
  EXPECT_EQ(value, 0x1234u);

  std::vector<std::vector<uint8_t>> taken = engine->Taken();
  ASSERT_GE(taken.size(), 2u);
  EXPECT_EQ(taken[1], (std::vector<uint8_t>{0x30, 0x12, 0x34, 0x56, 0x07}));

  engine->SetBusy(1000);
  size_t before = engine->Taken().size();
  EXPECT_EQ(NinePinSend(0x20, &status), 1);
  EXPECT_EQ(engine->Taken().size() - before, 1001u);

  engine->SetRefusal(2);
  EXPECT_EQ(NinePinSend(0x20, &status), 0);
  EXPECT_EQ(status, 2);
  engine->SetRefusal(0);

  // A reply longer than the buffer fails in the unit layer, not fatally.
  engine->SetOversize(9);
  EXPECT_EQ(NinePinQueryValue(0x0F, &value, &status), 0);
  EXPECT_EQ(status, 255);
  EXPECT_EQ(UnitNinePinError(), kNinePinTooLong);
  EXPECT_TRUE(fatals.empty());
  // The refused data left nothing behind on the port.
  engine->SetOversize(0);
  ASSERT_EQ(NinePinQueryValue(0x0F, &value, &status), 1);
  EXPECT_EQ(value, 0x1234u);
}

}  // namespace
