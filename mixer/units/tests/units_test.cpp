// The unit table, the unit operations and the 9-pin senders over a
// recording fake of the device calls.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "mixer/model/timecode.h"
#include "mixer/model/settings.h"
#include "mixer/units/ninepin.h"
#include "mixer/units/services.h"
#include "mixer/units/unitmotion.h"
#include "mixer/units/unitops.h"
#include "mixer/units/unittable.h"
#include "tests/fakes/host_fake.h"

namespace {

struct Call {
  UnitHandle h;
  uint32_t code;
  std::vector<uint8_t> in;
  uint32_t outLen;
};

// A device per path: its GET_ID words and what its other calls answer.
struct FakeDevice {
  uint32_t id[3] = {0x70430, 0, kUnitTypeHost};
  uint32_t idBytes = 12;
  uint32_t status[45] = {};
  uint32_t map[9] = {};
};

struct Fake {
  std::map<std::string, FakeDevice> devices;
  std::vector<std::string> handles;  // handle n -> path
  std::vector<Call> calls;
  std::vector<std::pair<UnitHandle, int>> fatals;
  std::vector<UnitHandle> closed;
  uint32_t lastError = 0;
  // Answers the pass-through calls; default: success with a zeroed reply.
  std::function<int(const Call&, void*, uint32_t*)> answer;
};
Fake* fake;

UnitHandle FakeOpen(const char* path, uint32_t access, uint32_t share, uint32_t flags) {
  EXPECT_EQ(access, 0u);
  EXPECT_EQ(share, 3u);
  EXPECT_EQ(flags, 0x4000000u);
  if (!fake->devices.count(path)) return kNoUnitHandle;
  fake->handles.push_back(path);
  return fake->handles.size();
}

int FakeIoctl(UnitHandle h, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen,
              uint32_t* returned) {
  Call c{h, code, {}, outLen};
  if (in) c.in.assign(static_cast<const uint8_t*>(in), static_cast<const uint8_t*>(in) + inLen);
  fake->calls.push_back(c);
  *returned = 0;
  if (h >= 1 && h <= fake->handles.size()) {
    FakeDevice& d = fake->devices[fake->handles[h - 1]];
    if (code == kIoGetId) {
      uint32_t n = d.idBytes < outLen ? d.idBytes : outLen;
      std::memcpy(out, d.id, n);
      *returned = n;
      return 1;
    }
    if (code == kIoGetStatus) return std::memcpy(out, d.status, outLen), *returned = outLen, 1;
    if (code == kIoWaveMap) return std::memcpy(out, d.map, outLen), *returned = outLen, 1;
  }
  if (code == kIoTimeout) return 1;
  if (out) std::memset(out, 0, outLen);
  if (fake->answer) return fake->answer(c, out, returned);
  *returned = outLen;
  return 1;
}

int FakeClose(UnitHandle h) {
  fake->closed.push_back(h);
  return 1;
}
const char* FakeText() { return "fake error"; }
void FakeSetLastError(uint32_t e) { fake->lastError = e; }
void FakeSleep(uint32_t) {}
int FakeFatal(UnitHandle h, int code) {
  fake->fatals.push_back({h, code});
  return 0;
}
uint32_t FakeIoType(UnitHandle) { return 1; }

const UnitDevApi kFakeApi = {FakeOpen, FakeIoctl, FakeClose, FakeText, FakeSetLastError,
                             FakeSleep, FakeFatal, nullptr,  FakeIoType};

class Units : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = &f;
    SetUnitDevApi(&kFakeApi);
    Host().Reset();
  }
  void TearDown() override { CloseUnitTable(); }
  FakeDevice& Dev(const std::string& path, uint32_t type = kUnitTypeHost) {
    FakeDevice& d = f.devices[path];
    d.id[2] = type;
    return d;
  }
  int Open(const char* hosts, const char* cards) { return OpenUnitsFrom(hosts, cards, numbers, &multiPc); }
  std::vector<uint32_t> BoxIds() {
    std::vector<uint32_t> ids;
    for (auto& b : Host().boxes) ids.push_back(b.id);
    return ids;
  }
  Fake f;
  int numbers[4] = {};
  int multiPc = -1;
};

TEST_F(Units, FivePathsOpenFourUnitsAndRepeatedBlanksAreOneSeparator) {
  for (const char* p : {"\\\\.\\Qvdev0", "\\\\.\\Qvdev1", "\\\\.\\Qvdev2", "\\\\.\\Qvdev3", "\\\\.\\Qvdev4"})
    Dev(p);
  EXPECT_EQ(Open("  \\\\.\\Qvdev0    \\\\.\\Qvdev1 \\\\.\\Qvdev2   \\\\.\\Qvdev3 \\\\.\\Qvdev4", ""), 4);
  EXPECT_EQ(std::vector<int>(numbers, numbers + 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(f.handles.size(), 4u);
  EXPECT_EQ(CountHostUnits(), 4);
  EXPECT_TRUE(Host().boxes.empty());
  // Each accepted device got the 2000 ms time-out.
  int timeouts = 0;
  for (auto& c : f.calls) {
    if (c.code != kIoTimeout) continue;
    ++timeouts;
    EXPECT_EQ(c.in, (std::vector<uint8_t>{0xD0, 0x07, 0, 0}));
  }
  EXPECT_EQ(timeouts, 4);
}

TEST_F(Units, AFailedPathIsReportedAndTheNextTriesTheSameSlot) {
  Dev("B");
  EXPECT_EQ(Open("A B", ""), 1);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, kMsgHostOpen);
  EXPECT_EQ(UnitDevHandle(1), 1u);
  EXPECT_EQ(FirstHostUnit(), 1);
}

TEST_F(Units, AnOldDriverEndsTheHostScanWithMessage151) {
  Dev("A").id[0] = 0x70429;
  Dev("B");
  EXPECT_EQ(Open("A B", ""), 0);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{kMsgOldDriver}));
  EXPECT_EQ(f.closed, (std::vector<UnitHandle>{1}));
  EXPECT_EQ(f.handles.size(), 1u);  // B was never tried
}

TEST_F(Units, ElevenByteIdOrWrongBoardIsRefusedAsNotOpened) {
  Dev("A").idBytes = 11;
  Dev("C", kUnitTypeCorbelle);
  uint32_t error = 0;
  EXPECT_EQ(OpenUnitDevice("A", kUnitTypeHost, &error), kNoUnitHandle);
  EXPECT_EQ(error, kMsgHostOpen);
  EXPECT_EQ(OpenUnitDevice("C", kUnitTypeHost, &error), kNoUnitHandle);
  EXPECT_EQ(error, kMsgHostOpen);
  EXPECT_EQ(OpenUnitDevice("A", kUnitTypeCorbelle, &error), kNoUnitHandle);
  EXPECT_EQ(error, kMsgCardOpen);
  EXPECT_EQ(f.closed.size(), 3u);
}

TEST_F(Units, UnitZeroAndOneOfOnePcAreOnePcAnotherHostIsNot) {
  struct Case {
    const char* paths;
    int multi;
  } cases[] = {
      {"\\\\studio\\QVDEV\\UNIT0 \\\\STUDIO\\qvdev\\unit1", 0},
      {"\\\\studio\\QVDEV\\UNIT0 \\\\studio\\QVDEV\\UNIT0", 0},
      {"\\\\studio\\QVDEV\\UNIT0 \\\\booth\\QVDEV\\UNIT1", 1},
      {"\\\\studio\\QVDEV\\UNIT0 \\\\studio\\QVDEV\\UNIT2", 1},
  };
  for (auto& c : cases) {
    f.devices.clear();
    f.handles.clear();
    std::string all = c.paths;
    size_t space = all.find(' ');
    Dev(all.substr(0, space));
    Dev(all.substr(space + 1));
    EXPECT_EQ(Open(c.paths, ""), 2) << c.paths;
    EXPECT_EQ(multiPc, c.multi) << c.paths;
  }
}

TEST_F(Units, CardPopulationStreamCountAndSlots) {
  Dev("H");
  Dev("H2");
  FakeDevice& card = Dev("\\\\.\\Qvcbl0", kUnitTypeCorbelle);
  card.status[3] = 0x0A;  // DSPs at positions 1 and 3
  card.map[0] = 200;
  card.map[1] = 0x1234;
  FakeDevice& dnv = Dev("\\\\.\\qvdnv0", kUnitTypeDunvell);
  dnv.status[3] = 0x01;
  dnv.map[0] = 64;
  // Two blanks: the empty word between them moves on while below the host
  // count, so the Dunvell goes to unit 3 and three slots were walked.
  EXPECT_EQ(Open("H H2", "\\\\.\\Qvcbl0  \\\\.\\qvdnv0"), 3);
  EXPECT_EQ(UnitMixDspCount(1), 2u);
  EXPECT_EQ(UnitMixDspSlot(1, 0), 1u);
  EXPECT_EQ(UnitMixDspSlot(1, 1), 3u);
  EXPECT_EQ(UnitMixDspSlot(1, 2), 0u);  // beyond the count
  EXPECT_EQ(UnitStreamCount(1), 128u);
  EXPECT_EQ(UnitStreamCount(3), 64u);
  EXPECT_EQ(UnitCardIsDunvell(3), 1u);
  EXPECT_STREQ(UnitCardPath(3), "\\\\.\\qvdnv0");
  EXPECT_EQ(UnitCardHandle(2), kNoUnitHandle);
  EXPECT_TRUE(UnitIsCardOnly(3));
  EXPECT_EQ(UnitIoType(3), 1u);
  EXPECT_EQ(FirstCardOnlyUnit(), 3);
  EXPECT_EQ(FirstUnitWithMixDsps(), 1);
  EXPECT_EQ(std::vector<int>(numbers, numbers + 4), (std::vector<int>{1, 2, 3, 0}));
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(Units, CardWithoutDspsOrPastTheHostCountAndClose) {
  Dev("H");
  Dev("C1", kUnitTypeCorbelle);
  Dev("C2", kUnitTypeCorbelle).status[3] = 1;
  // Past the host count empty words move nothing: C2 lands in slot 2.
  EXPECT_EQ(Open("H", "C1   C2 X"), 3);
  EXPECT_NE(UnitCardHandle(2), kNoUnitHandle);
  EXPECT_EQ(BoxIds(), (std::vector<uint32_t>{kMsgNoDsps, kMsgCardOpen}));
  EXPECT_EQ(Host().boxes[0].text, "RQ7/Corbelle unit 1: no DSP's found!");
  CloseUnitTable();
  // The host unit closes through its operation table, the cards directly.
  EXPECT_EQ(f.closed.size(), 3u);
  EXPECT_EQ(FirstHostUnit(), 0);
}

// Every slot's requests: the code and the input bytes of each call.
struct Expect {
  uint32_t code;
  std::vector<uint8_t> in;
};
std::vector<uint8_t> W(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> b;
  for (uint32_t w : words)
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return b;
}

struct SlotCase {
  int slot;
  std::function<void(UnitHandle)> run;
  std::vector<Expect> calls;
  int fatal;  // the code a failure of the first call hands to the fatal report (0: none)
};

std::vector<SlotCase> SlotCases() {
  const UnitOps& o = kUnitOps;
  static uint32_t u32[16];
  static uint8_t bytes[549504];
  static const uint32_t params[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  static UnitFlags flags;
  static int64_t loc;
  static uint16_t u16;
  static char text[32];
  const uint32_t F = kPtFamily, P = kPtPlay;
  return {
      {1, [&](UnitHandle h) { o.reset(h); }, {{kIoBoot, {}}}, 0},
      {2, [&](UnitHandle h) { o.getHwVersion(h, u32); }, {{kPtHwVersion, W({0})}}, 0},
      {6, [&](UnitHandle h) { o.memTest(h); }, {{kPtCommand, W({17})}}, 0},
      {7, [&](UnitHandle h) { o.cmd18(h, u32, u32 + 1); }, {{kPtCommand, W({18})}}, 5},
      {8, [&](UnitHandle h) { o.readWords(h, 0x100, u32, 4); },
       {{kPtReadWords, W({16, 0x100, 4})}, {kPtCompletion, {}}}, 0},
      {9, [&](UnitHandle h) { o.writeBlock(h, params, bytes); },
       {{F, W({1, 2, 3})}, {kPtSize, std::vector<uint8_t>(256)}, {kPtCompletion, {}}}, 0},
      {10, [&](UnitHandle h) { o.blkSetup(h); },
       {{kIoTimeout, W({40000})}, {kPtBlockCmd, W({0, 0})}, {kIoTimeout, W({2000})}, {kPtCompletion, {}}}, 10},
      {11, [&](UnitHandle h) { o.blkWrite(h, 7, bytes); },
       {{kPtBlockCmd, W({2, 7})}, {kPtBlockWrite, std::vector<uint8_t>(512)}, {kPtCompletion, {}}}, 30},
      {12, [&](UnitHandle h) { o.blkRead(h, 7, bytes); }, {{kPtBlockCmd, W({3, 7})}, {kPtBlockRead, {}}}, 40},
      {13, [&](UnitHandle h) { o.blk4(h, 1); }, {{kPtBlockCmd, W({4, 1})}}, 50},
      {14, [&](UnitHandle h) { o.blkReadN(h, 7, 2, bytes); }, {{kPtBlockCmd, W({5, 7, 2})}, {kPtBlockRead, {}}}, 60},
      {15, [&](UnitHandle h) { o.blk6(h, 1); }, {{kPtBlockCmd, W({6, 1})}}, 70},
      {16, [&](UnitHandle h) { o.blk7(h, 1); }, {{kPtBlockCmd, W({7, 1})}}, 80},
      {17, [&](UnitHandle h) { o.getStatus(h, u32); }, {{kPtStatus, {}}}, 90},
      {18, [&](UnitHandle h) { o.waitIdle(h); }, {{kPtStatus, {}}}, 90},
      {19, [&](UnitHandle h) { o.getFlags(h, &flags); }, {{kPtCommand, W({1})}}, 100},
      {20, [&](UnitHandle h) { o.getCloc(h, &loc); }, {{kPtCloc, {}}}, 110},
      {21, [&](UnitHandle h) { o.getExpandedCloc(h, &loc); }, {{kPtCommand, W({4})}}, 111},
      {22, [&](UnitHandle h) { o.readN(h, u32, 3); }, {{kPtCommand, W({15, 3})}}, 120},
      {23, [&](UnitHandle h) { o.getSerial(h, text, sizeof text); }, {{kPtCommand, W({0})}}, 130},
      {24, [&](UnitHandle h) { o.lockedTransfer(h, params, 8, u32, 4); },
       {{kIoTimeout, W({40000})}, {kPtLocked, W({1, 2})}, {kIoTimeout, W({2000})}}, 150},
      {25, [&](UnitHandle h) { o.getSyncStatus(h, u32); }, {{kPtCommand, W({2})}}, 160},
      {26, [&](UnitHandle h) { o.cmd13(h); }, {{kPtCommand, W({13})}}, 180},
      {27, [&](UnitHandle h) { o.getInfo264(h, bytes); }, {{kPtCommand, W({16})}}, 185},
      {28, [&](UnitHandle h) { o.cmd18b(h, u32); }, {{kPtCommand, W({18})}}, 187},
      {30, [&](UnitHandle h) { o.getDebugStatus(h, u32); }, {{kPtCommand, W({3})}}, 186},
      {31, [&](UnitHandle h) { o.cmdList(h, params, 1); },
       {{F, W({31, 1, 0, 0, 0})}, {kPtSize, W({1, 2, 3, 4})}}, 0},
      {32, [&](UnitHandle h) { o.sendCmdList(h, params, bytes, 1); },
       {{F, W({1, 2, 3, 4, 5})}, {kPtSize, std::vector<uint8_t>(16)}}, 190},
      {33, [&](UnitHandle h) { o.setSrate(h, 1, 48000, 10000); }, {{F, W({5, 1, 5, 8388608})}}, 200},
      {34, [&](UnitHandle h) { o.setVideoSync(h, 9); }, {{F, W({6, 1})}}, 210},
      {35, [&](UnitHandle h) { o.setOptionFlags(h, 0x10, 1); }, {{F, W({1, 0x12})}}, 220},
      {36, [&](UnitHandle h) { o.setSync(h, params); }, {{F, W({0, 1, 2, 3, 4, 5, 6, 7})}}, 230},
      {37, [&](UnitHandle h) { o.setSyncMode(h, 3, 4); }, {{F, W({2, 3, 4})}}, 240},
      {38, [&](UnitHandle h) { o.cmd4(h); }, {{F, W({4})}}, 250},
      {39, [&](UnitHandle h) { o.setPlayFlags(h, 0x81); }, {{F, W({7, 0x81})}}, 260},
      {40, [&](UnitHandle h) { o.locate(h, 0x123456789AB); }, {{F, W({3, 0x6789AB, 0x12345})}}, 270},
      {41, [&](UnitHandle h) { o.cmd8(h); }, {{F, W({8})}}, 265},
      {42, [&](UnitHandle h) { o.cmd11Block(h, params, 8); }, {{F, W({11, 8})}, {kPtSize, W({1, 2})}}, 280},
      {43, [&](UnitHandle h) { o.cmd23(h); }, {{kPtStatus, {}}, {F, W({23})}}, 90},
      {44, [&](UnitHandle h) { o.setPlayRecEndLoc(h, 0x2000001); }, {{F, W({17, 1, 2})}}, 355},
      {45, [&](UnitHandle h) { o.setLoop(h, params); }, {{F, W({18, 1, 2, 3, 4, 5, 6, 7, 8})}}, 356},
      {47, [&](UnitHandle h) { o.prepPlayBufs(h, params); },
       {{kPtStatus, {}}, {P, W({0, 1, 2, 3, 4, 5, 6, 7, 8, 9})}}, 90},
      {48, [&](UnitHandle h) { o.startPlayRec(h); }, {{P, W({1})}}, 370},
      {49, [&](UnitHandle h) { u32[0] = 0x55; o.link(h, u32, 0); }, {{kIoLink, W({0x55})}}, 380},
      {50, [&](UnitHandle h) { o.go(h); }, {{kPtGo, {}}}, 390},
      {51, [&](UnitHandle h) { o.cmdA3(h); }, {{P, W({3})}}, 395},
      {52, [&](UnitHandle h) { o.timeCodeSlaveArm(h, params); }, {{P, W({2, 1, 2, 3})}}, 400},
      {53, [&](UnitHandle h) { o.stop(h); }, {{kPtStop, {}}}, 420},
      {54, [&](UnitHandle h) { o.cmd9Read(h, u32, 2); }, {{kPtCmdRead, W({9})}}, 650},
      {55, [&](UnitHandle h) { o.cmd10Read(h, bytes); }, {{kPtCommand, W({10})}, {kPtCompletion, {}}}, 0},
      {56, [&](UnitHandle h) { o.cmdA7(h); }, {{P, W({7})}}, 660},
      {57, [&](UnitHandle h) { o.cmdA8(h, params); }, {{P, W({8, 1, 2, 3, 4, 5, 6})}}, 670},
      {58, [&](UnitHandle h) { o.cmdA9(h, params); }, {{P, W({9, 1, 2, 3, 4})}}, 671},
      {59, [&](UnitHandle h) { o.cmdA10(h, params); }, {{P, W({10, 1, 2, 3, 4, 5, 6, 7})}}, 680},
      {60, [&](UnitHandle h) { o.setScrubLoc(h, 0x1000005, -2); }, {{F, W({16, 5, 1, 0xFFFFFFFE})}}, 720},
      {61, [&](UnitHandle h) { o.prepScrubBufs(h); }, {{P, W({11})}}, 730},
      {62, [&](UnitHandle h) { o.startScrub(h); }, {{P, W({12})}}, 740},
      {63, [&](UnitHandle h) { o.mixDspWrite(h, 0x40, 0x1234, &u16); }, {{kPtMixWrite, W({0x40, 0x1234})}}, 330},
      {64, [&](UnitHandle h) { o.mixDspRead(h, bytes); }, {{kPtMixRead, {}}}, 340},
  };
}

TEST_F(Units, EverySlotSendsItsRequestBytes) {
  for (auto& c : SlotCases()) {
    f.calls.clear();
    c.run(42);
    ASSERT_EQ(f.calls.size(), c.calls.size()) << "slot " << c.slot;
    for (size_t i = 0; i < c.calls.size(); ++i) {
      EXPECT_EQ(f.calls[i].h, 42u) << "slot " << c.slot;
      EXPECT_EQ(f.calls[i].code, c.calls[i].code) << "slot " << c.slot << " call " << i;
      EXPECT_EQ(f.calls[i].in, c.calls[i].in) << "slot " << c.slot << " call " << i;
    }
  }
  EXPECT_TRUE(f.fatals.empty());
}

TEST_F(Units, AFailingSlotHandsItsCodeToTheFatalReport) {
  f.answer = [](const Call&, void*, uint32_t*) { return 0; };
  for (auto& c : SlotCases()) {
    if (c.calls[0].code == kIoTimeout && c.slot != 10 && c.slot != 24) continue;
    f.fatals.clear();
    c.run(42);
    if (!c.fatal) {
      EXPECT_TRUE(f.fatals.empty()) << "slot " << c.slot;
      continue;
    }
    ASSERT_FALSE(f.fatals.empty()) << "slot " << c.slot;
    // Slots 10 and 24 start with the time-out, which the fake accepts.
    int expected = c.slot == 10 ? 11 : c.slot == 24 ? 151 : c.fatal;
    EXPECT_EQ(f.fatals[0], (std::pair<UnitHandle, int>{42, expected})) << "slot " << c.slot;
  }
  uint32_t kind = 0;
  EXPECT_EQ(kUnitOps.reset(42), kMsgUnitComm);
  EXPECT_EQ(kUnitOps.getHwVersion(42, &kind), kMsgUnitComm);
  uint8_t reply[16];
  EXPECT_EQ(kUnitOps.cmd10Read(42, reply), kMsgUnitComm);
}

TEST_F(Units, RepliesAreSplitAndJoined) {
  f.answer = [](const Call& c, void* out, uint32_t* n) {
    uint32_t* w = static_cast<uint32_t*>(out);
    if (c.code == kPtCloc) w[0] = 0xAB123456, w[1] = 0x000012;  // bits above 24 ignored
    if (c.code == kPtCommand && c.in[0] == 1) w[0] = 7, w[1] = 0x00345678, w[2] = 0x2812;
    if (c.code == kPtCommand && c.in[0] == 0) w[0] = 0xABCDEF1, w[1] = 0x23;
    if (c.code == kPtHwVersion) w[0] = c.in[0] ? 2 : 4098;
    *n = c.outLen;
    return 1;
  };
  int64_t loc = 0;
  ASSERT_TRUE(kUnitOps.getCloc(1, &loc));
  EXPECT_EQ(loc, 0x12123456);
  UnitFlags fl{};
  ASSERT_TRUE(kUnitOps.getFlags(1, &fl));
  EXPECT_EQ(fl.flag, 7u);
  EXPECT_EQ(fl.value, 0x2812345678ull);
  EXPECT_EQ(fl.field, 5u);
  char serial[16];
  ASSERT_TRUE(kUnitOps.getSerial(1, serial, sizeof serial));
  EXPECT_STREQ(serial, "ABCDEF1000023");
  uint32_t kind = 0;
  EXPECT_EQ(kUnitOps.getHwVersion(1, &kind), 0u);
  EXPECT_EQ(kind, 3u);
}

TEST_F(Units, ProgramFilesGoDownWithTheirTimeOutOrAreRefused) {
  const char* name = "units_test_program.l56";
  auto write = [&](std::vector<uint8_t> bytes) {
    std::FILE* file = std::fopen(name, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  };
  write({0x10, 0xF3, 0x29, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(kUnitOps.loadL56(5, name, 0), 0u);
  ASSERT_EQ(f.calls.size(), 4u);
  EXPECT_EQ(f.calls[0].in, W({300000}));
  EXPECT_EQ(f.calls[1].code, kPtLoadL56);
  EXPECT_EQ(f.calls[1].in, W({2}));
  EXPECT_EQ(f.calls[2].code, kPtData);
  EXPECT_EQ(f.calls[2].in, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(f.calls[3].in, W({2000}));

  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t id;
  } cases[] = {
      {{0x10, 0xF3, 0x28, 1, 2, 3}, kMsgDspFile},  // no mark
      {{0x10, 0xF3, 0x29, 1, 2}, kMsgDspFile},     // a ragged word
      {{0x10, 0xF3, 0x29}, kMsgDspFile},           // no body
  };
  for (auto& c : cases) {
    write(c.bytes);
    f.calls.clear();
    EXPECT_EQ(kUnitOps.loadL56(5, name, 1000), c.id);
    EXPECT_EQ(kUnitOps.loadL56Boot(5, name), c.id);
    EXPECT_TRUE(f.calls.empty());
  }
  std::remove(name);
  EXPECT_EQ(kUnitOps.loadL56(5, name, 0), kMsgDspFile);  // no file
  f.answer = [](const Call&, void*, uint32_t*) { return 0; };
  write({0x10, 0xF3, 0x29, 1, 2, 3});
  EXPECT_EQ(kUnitOps.loadL56(5, name, 0), kMsgUnitComm);
  EXPECT_EQ(kUnitOps.loadProgram(5, name), kMsgUnitComm);
  std::remove(name);
  EXPECT_TRUE(f.fatals.empty());  // start-up slots report, they do not end the program
}

TEST_F(Units, RateCodesAndSpeedWord) {
  const uint32_t rates[] = {22050, 32000, 44056, 44100, 47952, 48000, 64000, 88112, 88200, 95904, 96000};
  for (int i = 0; i < 11; ++i) EXPECT_EQ(UnitRateCode(rates[i]), i);
  EXPECT_EQ(UnitRateCode(192000), -1);
  EXPECT_EQ(UnitSpeedWord(10000), 8388608u);
  EXPECT_EQ(UnitSpeedWord(1), 839u);  // 838.86 rounds up
  EXPECT_EQ(kUnitOps.setSrate(1, 0, 12345, 10000), 0);
  EXPECT_EQ(f.lastError, kErrorInvalidParameter);
  EXPECT_TRUE(f.calls.empty());
}

TEST_F(Units, BusyStatusLowSixBitsWaitsIdle) {
  int reads = 0;
  f.answer = [&](const Call& c, void* out, uint32_t* n) {
    if (c.code == kPtStatus) *static_cast<uint32_t*>(out) = ++reads < 3 ? 0x41 : 0x40;
    *n = c.outLen;
    return 1;
  };
  EXPECT_TRUE(kUnitOps.waitIdle(1));
  EXPECT_EQ(reads, 3);
}

// The transport's movements on two open units: each goes to unit 1, then
// unit 2, as the pass-through calls below (code and first request word,
// the command number of a family).
class Motion : public Units {
 protected:
  void SetUp() override {
    Units::SetUp();
    Dev("U1");
    Dev("U2");
    ASSERT_EQ(Open("U1 U2", ""), 2);
    f.calls.clear();
  }
  // The calls as "handle:code/command" ("handle:code" without a request).
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    for (const Call& c : f.calls) {
      char text[48];
      if (c.in.size() >= 4) {
        uint32_t first = 0;
        std::memcpy(&first, c.in.data(), 4);
        std::snprintf(text, sizeof text, "%u:%X/%u", unsigned(c.h), unsigned(c.code), unsigned(first));
      } else {
        std::snprintf(text, sizeof text, "%u:%X", unsigned(c.h), unsigned(c.code));
      }
      out.push_back(text);
    }
    f.calls.clear();
    return out;
  }
  std::vector<uint32_t> Words(size_t call) {
    std::vector<uint32_t> w(f.calls[call].in.size() / 4);
    std::memcpy(w.data(), f.calls[call].in.data(), w.size() * 4);
    return w;
  }
};

TEST_F(Motion, EveryMovementReachesEachUnitInOrder) {
  using V = std::vector<std::string>;
  struct Case {
    const char* name;
    std::function<void()> run;
    V sent;
  };
  const std::vector<Case> cases = {
      {"stop", [] { UnitsStop(); }, V{"1:83AE3C00", "2:83AE3C00"}},
      {"locate", [] { UnitsLocate(0x1234567); }, V{"1:83AE3920/3", "2:83AE3920/3"}},
      {"prepare", [] { UnitsPrepPlayBufs(1000); },
       V{"1:83AE3704", "1:83AE3A20/0", "2:83AE3704", "2:83AE3A20/0"}},
      {"start", [] { EXPECT_EQ(UnitsStartPlayRec(1), 1); }, V{"1:83AE3A20/1", "2:83AE3A20/1"}},
      {"wind", [] { UnitsWind(-6553); }, V{"1:83AE3920/16", "2:83AE3920/16"}},
      {"end", [] { UnitsSetPlayRecEndLoc(9000); }, V{"1:83AE3920/17", "2:83AE3920/17"}},
      {"loop", [] { UnitsSetLoop(1, 1, 0); }, V{"1:83AE3920/18", "2:83AE3920/18"}},
      {"scrub prepare", [] { UnitsPrepScrubBufs(5000, 0x7FFF05FF); },
       V{"1:83AE3704", "1:83AE3920/17", "1:83AE3920/16", "1:83AE3A20/11", "2:83AE3704", "2:83AE3920/17",
         "2:83AE3920/16", "2:83AE3A20/11"}},
      {"scrub start", [] { UnitsStartScrub(1); }, V{"1:83AE3A20/12", "2:83AE3A20/12"}},
      {"idle", [] { EXPECT_EQ(UnitsAllIdle(), 1); }, V{"1:83AE3704", "2:83AE3704"}},
  };
  Locs().LeftLoc = 1000;
  Locs().RightLoc = 0x2000000;
  Locs().NowLoc = 0x1000001;
  for (const Case& c : cases) {
    c.run();
    EXPECT_EQ(Sent(), c.sent) << c.name;
  }
  EXPECT_TRUE(f.fatals.empty());
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(Motion, PositionsTravelAsLow24BitsAndTheBitsAbove) {
  Settings().PlayRecMode = kModeLoop | kModePreRoll;
  Locs().LeftLoc = 0x1000002;
  Locs().RightLoc = 0x3000004;
  Locs().NowLoc = 0x2000003;
  UnitsLocate(0x1234567);
  EXPECT_EQ(Words(0), (std::vector<uint32_t>{3, 0x234567, 1}));
  f.calls.clear();
  UnitsPrepPlayBufs(0x5000006);
  EXPECT_EQ(Words(1), (std::vector<uint32_t>{0, 6, 5, kModeLoop | kModePreRoll, 2, 1, 4, 3, 0, 0}));
  f.calls.clear();
  UnitsWind(-6553);  // rewinding from the now position
  EXPECT_EQ(Words(0), (std::vector<uint32_t>{16, 3, 2, static_cast<uint32_t>(-6553)}));
  f.calls.clear();
  UnitsWind(0);  // parked
  EXPECT_EQ(Words(0), (std::vector<uint32_t>{16, 0xFFFFFF, 0xFFFFFFFF, 0}));
  f.calls.clear();
  UnitsSetLoop(2, 1, 7);
  EXPECT_EQ(Words(0), (std::vector<uint32_t>{18, 2, 1, 2, 1, 4, 3, 7, 0}));
  Settings().PlayRecMode = 0;
}

// A unit that refuses the start (its call fails: fatal in the program, a
// return here) leaves every unit stopped; a loop that cannot be looped is
// refused with 343 and sent switched off.
TEST_F(Motion, ARefusedStartStopsEveryUnitAndAnImpossibleLoopIsOff) {
  f.answer = [](const Call& c, void*, uint32_t* n) {
    *n = c.outLen;
    uint32_t first = 0;
    if (c.in.size() >= 4) std::memcpy(&first, c.in.data(), 4);
    return c.h == 2 && c.code == kPtPlay && first == 1 ? 0 : 1;
  };
  EXPECT_EQ(UnitsStartPlayRec(1), 0);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"1:83AE3A20/1", "2:83AE3A20/1", "1:83AE3C00", "2:83AE3C00"}));
  ASSERT_EQ(f.fatals.size(), 1u);
  EXPECT_EQ(f.fatals[0], (std::pair<UnitHandle, int>{2, 370}));

  Locs().LeftLoc = 1000;
  Locs().RightLoc = 0x7FFF0600;
  UnitsSetLoop(1, 1, 0);
  EXPECT_EQ(BoxIds(), std::vector<uint32_t>{343});
  EXPECT_EQ(Words(0)[2], 0u);  // off
}

// The 9-pin engine behind the fake: each exchange is answered from a script
// of replies {kind, data...}.
class NinePin : public Units {
 protected:
  void SetUp() override {
    Units::SetUp();
    Dev("U1");
    ASSERT_EQ(Open("U1", ""), 1);
    f.calls.clear();
    f.answer = [this](const Call& c, void* out, uint32_t* n) {
      if (failAll) return 0;
      if (c.code == kPtNinePin) {
        ++exchanges;
        return 1;
      }
      if (c.code != kPtNinePinReply) return 1;
      const std::vector<uint8_t>& r = script.empty() ? last : script.front();
      uint8_t* o = static_cast<uint8_t*>(out);
      if (headNext) {
        o[0] = r[0];
        o[1] = static_cast<uint8_t>(r.size() - 1);
        *n = 2;
        headNext = r.size() == 1;
        if (headNext && !script.empty()) script.erase(script.begin());
        return 1;
      }
      std::memcpy(o, r.data() + 1, r.size() - 1);
      *n = static_cast<uint32_t>(r.size() - 1);
      headNext = true;
      if (!script.empty()) script.erase(script.begin());
      return 1;
    };
  }
  std::vector<std::vector<uint8_t>> script;
  std::vector<uint8_t> last = {0};
  bool headNext = true;
  bool failAll = false;
  int exchanges = 0;
};

TEST_F(NinePin, ExchangeBytesAndTimeCode) {
  TcRec tc{12, 34, 56, 7, 99};
  int status = -1;
  EXPECT_EQ(NinePinSendTimecode(0x30, tc, &status), 1);
  ASSERT_EQ(f.calls.size(), 2u);
  EXPECT_EQ(f.calls[0].code, kPtNinePin);
  EXPECT_EQ(f.calls[0].in, (std::vector<uint8_t>{19, 0x30, 4}));
  EXPECT_EQ(f.calls[1].code, kPtNinePinReply);
  EXPECT_EQ(f.calls[1].in, (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x07}));
  EXPECT_EQ(status, -1);  // untouched on success

  script = {{0, 0x01, 0x02, 0x03}};
  uint32_t value = 9;
  EXPECT_EQ(NinePinQueryValue(0x0F, &value, &status), 1);
  EXPECT_EQ(value, 0x030201u);
  script = {{0}};
  EXPECT_EQ(NinePinQueryValue(0x0F, &value, &status), 1);
  EXPECT_EQ(value, 0u);  // kind 0 without data

  script = {{0, 0x23, 0x59, 0x58, 0x29}};
  TcRec got{};
  EXPECT_EQ(NinePinQueryTimecode(0x3F, &got, nullptr), 1);
  EXPECT_EQ(got.Hours, 23);
  EXPECT_EQ(got.Frames, 29);
  EXPECT_EQ(got.SubFrames, 0);

  script = {{0, 0x12, 0x34}};
  int32_t v19 = 0;
  EXPECT_EQ(NinePinQuery19(&v19, nullptr), 1);
  EXPECT_EQ(v19, 0x1234);
  script = {{0, 0x12, 0x34}};
  uint32_t v4f = 0;
  EXPECT_EQ(NinePinQuery4F(&v4f, nullptr), 1);
  EXPECT_EQ(v4f, 0x3412u);

  // 0x9F: two bytes, then the time code in its own four bytes.
  script = {{0, 0xA1, 0xB2, 0x01, 0x02, 0x03, 0x04}};
  uint8_t a = 0, b = 0;
  EXPECT_EQ(NinePinQuery9F(&a, &b, &got, nullptr), 1);
  EXPECT_EQ(a, 0xA1);
  EXPECT_EQ(b, 0xB2);
  EXPECT_EQ(got.Hours, 1);
  EXPECT_EQ(got.Minutes, 2);
  EXPECT_EQ(got.Seconds, 3);
  EXPECT_EQ(got.Frames, 4);

  f.calls.clear();
  EXPECT_EQ(NinePinSend80(0xBEEF, nullptr), 1);
  EXPECT_EQ(f.calls[1].in, (std::vector<uint8_t>{0xBE, 0xEF}));
  f.calls.clear();
  EXPECT_EQ(NinePinSend39(1, 1, nullptr), 1);
  EXPECT_EQ(f.calls[1].in, (std::vector<uint8_t>{3}));
  f.calls.clear();
  EXPECT_EQ(NinePinSend0D(5, 6, nullptr), 1);
  EXPECT_EQ(f.calls[0].in, (std::vector<uint8_t>{19, 0x0D, 3}));
  EXPECT_EQ(f.calls[1].in, (std::vector<uint8_t>{0, 5, 6}));
}

TEST_F(NinePin, BusyRetriesAndStatuses) {
  script.assign(1000, {1, 5});
  script.push_back({0});
  int status = -1;
  EXPECT_EQ(NinePinSend(0x20, &status), 1);
  EXPECT_EQ(exchanges, 1001);

  exchanges = 0;
  script.clear();
  last = {1, 5};
  EXPECT_EQ(NinePinSend(0x20, &status), 0);
  EXPECT_EQ(status, 5);
  EXPECT_EQ(exchanges, 1001);

  for (uint8_t s : {1, 2, 3, 4}) {
    exchanges = 0;
    last = {1, s};
    uint32_t value = 7;
    EXPECT_EQ(NinePinQueryValue(0x0F, &value, &status), 0);
    EXPECT_EQ(status, s);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(exchanges, 1);  // never retried
  }
  last = {1, 2};
  int32_t v19 = 0;
  EXPECT_EQ(NinePinQuery19(&v19, nullptr), 0);  // null status pointer
  EXPECT_EQ(v19, -1);
}

TEST_F(NinePin, FailuresReadAsStatus255WithoutEndingTheProgram) {
  // More data than the query's four bytes: refused in the unit layer.
  script = {{0, 1, 2, 3, 4, 5}};
  uint32_t value = 0;
  int status = 0;
  EXPECT_EQ(NinePinQueryValue(0x0F, &value, &status), 0);
  EXPECT_EQ(status, 255);
  EXPECT_EQ(UnitNinePinError(), kNinePinTooLong);
  EXPECT_EQ(f.lastError, kErrorInvalidParameter);

  failAll = true;
  EXPECT_EQ(NinePinSend(0x20, &status), 0);
  EXPECT_EQ(status, 255);
  EXPECT_EQ(UnitNinePinError(), kNinePinIoFailed);
  EXPECT_TRUE(f.fatals.empty());

  CloseUnitTable();  // no unit 1
  failAll = false;
  f.calls.clear();
  EXPECT_EQ(NinePinSend(0x20, &status), 0);
  EXPECT_EQ(status, 255);
  EXPECT_TRUE(f.calls.empty());
}

TEST(NinePinText, DeviceNameAndStatusLine) {
  char name[16] = "x";
  NinePinDeviceName(-1, name, sizeof name);
  EXPECT_STREQ(name, "");
  NinePinDeviceName(0x1A34, name, sizeof name);
  EXPECT_STREQ(name, "1034");  // second-highest nibble ignored
  NinePinDeviceName(0xF5FF, name, sizeof name);
  EXPECT_STREQ(name, "Quorvale");

  struct Case {
    int cls;
    uint32_t code;
    const char* text;
    uint32_t color;
    int hold;
  } cases[] = {
      {3, 1, "APP ERR: Unknown Command or Invalid Parameters!", 0x0000FF, 40},
      {3, 4, "No tape!", 0, 40},
      {3, 255, "FIRMW ERR: Unknown code! (0x000000FF)", 0x0000FF, 40},
      {4, 0x1242, "Initializing device (Time sense)", 0, 0},
      {4, 0x1234E6, "Invalid device response! (0x001234) -> Inactive", 0x0000FF, 0},
      {4, 0xE5, "Device response: Time out!", 0, 40},
      {4, 0x77, "FIRMW ERR: Unknown status code! (0x00000077)", 0x0000FF, 40},
      {5, 2, "Device PLAY command adopted.", 0xFF0000, 40},
      {6, 0, "Inactive", 0, 0},
  };
  for (auto& c : cases) {
    EXPECT_EQ(NinePinShowStatus(c.cls, c.code, nullptr), c.cls);
    EXPECT_STREQ(NinePinStatus().text, c.text);
    EXPECT_EQ(NinePinStatus().color, c.color) << c.text;
    EXPECT_EQ(NinePinStatus().hold, c.hold) << c.text;
  }
  // A hold runs out after its ticks and clears the line.
  NinePinShowStatus(5, 0, nullptr);
  for (int i = 0; i < 39; ++i) EXPECT_EQ(NinePinShowStatus(1, 0, nullptr), 5);
  EXPECT_EQ(NinePinShowStatus(1, 0, nullptr), 0);
  // An "-> Inactive" message is kept; others give way to "Inactive".
  NinePinShowStatus(4, 211, nullptr);
  EXPECT_EQ(NinePinShowStatus(7, 0, nullptr), 4);
  NinePinShowStatus(3, 2, nullptr);
  EXPECT_EQ(NinePinShowStatus(7, 0, nullptr), 6);
  EXPECT_STREQ(NinePinStatus().text, "Inactive");
}

}  // namespace
