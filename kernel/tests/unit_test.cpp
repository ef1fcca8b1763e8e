// Recorder units through the user-mode side: opening and binding, the
// ownership and time-out codes, host commands and block transfers over
// each port variant, links and group commands, stalls, cancellation, and
// the protocol's buffer rules.
#include "kernel/tests/fixture.h"
#include "sim/units/hostunit.h"
#include "sim/units/parport.h"

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

using simunit::Generation;
using simunit::HostUnit;

namespace {
constexpr uint32_t ReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;

// A pass-through code: host-command nibble, write format, read format.
constexpr uint32_t Dsp(uint32_t nibble, uint32_t write, uint32_t read) {
  return 0x83AE3000 | nibble << 8 | write << 5 | read << 2;
}

struct Result {
  NTSTATUS status;
  uint32_t returned;
  uintptr_t information;
};

Result Ioctl(UmHandle h, uint32_t code, const void* in, uint32_t inLen, void* out, uint32_t outLen) {
  Result r{};
  r.status = UmIoControl(h, code, in, inLen, out, outLen, &r.returned, &r.information);
  return r;
}

NTSTATUS Simple(UmHandle h, uint32_t code) { return Ioctl(h, code, nullptr, 0, nullptr, 0).status; }

simunit::Faults Silent() {
  simunit::Faults f;
  f.silent = true;
  return f;
}
}  // namespace

class UnitTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
  }
  void TearDown() override {
    for (UmHandle h : handles) UmClose(h);
    KernelTest::TearDown();
    if (portDriver) km::UnloadDriver(portDriver);
  }

  // A unit on eight I/O ports of a host card; its device is \Device\Qvdev<n>.
  HostUnit* IoUnit(Generation g, uint64_t port = 0x300, bool wide = true) {
    units.push_back(std::make_unique<HostUnit>(g, wide));
    links.push_back(std::make_unique<simunit::IoLink>(units.back().get(), port));
    simbus::DeviceNode node;
    node.hardwareIds = simbus::HardwareIdList({u"Qvtke"});
    node.resources.push_back({simbus::ResKind::Port, port, 8, 0, 0, false, false});
    EXPECT_EQ(Arrive(node).startStatus, STATUS_SUCCESS);
    return units.back().get();
  }

  // The two-unit PCI card in a slot; unit1 may be left out.
  HostUnit* PciUnits(Generation g, bool unit1, uint32_t slot = 3) {
    units.push_back(std::make_unique<HostUnit>(g));
    HostUnit* u0 = units.back().get();
    HostUnit* u1 = nullptr;
    if (unit1) {
      units.push_back(std::make_unique<HostUnit>(g));
      u1 = units.back().get();
    }
    simbus::DeviceNode node = simbus::PciNode({0x1057, 0x1801, 0x8917, 0x0001}, slot);
    cards.push_back(std::make_unique<simunit::PciCard>(u0, u1, g, node.resources[0].start, node.resources[0].length));
    EXPECT_EQ(Arrive(node).startStatus, STATUS_SUCCESS);
    return u0;
  }

  // A parallel port n at base with a unit (or none) on its EPP cycles.
  simunit::ParallelPort* Port(uint32_t n, uint64_t base, HostUnit* unit) {
    ports.push_back(std::make_unique<simunit::ParallelPort>(n, base, unit));
    return ports.back().get();
  }
  // The system's parallel-port driver, which names the ports made so far.
  void LoadPortDriver() {
    ASSERT_EQ(km::LoadDriver(simunit::ParallelPortDriverEntry, u"\\Registry\\Machine\\System\\Parport", &portDriver),
              STATUS_SUCCESS);
  }
  // The EPP unit's node, with a port resource at base or none (base 0).
  NTSTATUS EppNode(uint64_t base) {
    simbus::DeviceNode node;
    node.hardwareIds = simbus::HardwareIdList({u"Qvepp"});
    if (base) node.resources.push_back({simbus::ResKind::Port, base, 8, 0, 0, false, false});
    return Arrive(node).startStatus;
  }
  // A unit behind system parallel port n (0: 0x378, 1: 0x278).
  HostUnit* EppUnit(Generation g, uint32_t n = 0) {
    if (!portDriver) LoadPortDriver();
    units.push_back(std::make_unique<HostUnit>(g));
    uint64_t base = n ? 0x278 : 0x378;
    Port(n, base, units.back().get());
    EXPECT_EQ(EppNode(base), STATUS_SUCCESS);
    return units.back().get();
  }

  UmHandle Open(const char* name, uint32_t access = ReadWrite) {
    UmHandle h = 0;
    EXPECT_EQ(UmOpen(name, access, ShareAll, &h), STATUS_SUCCESS) << name;
    handles.push_back(h);
    return h;
  }
  void Close(UmHandle h) {
    UmClose(h);
    std::erase(handles, h);
  }
  uint32_t Kind(UmHandle h) {
    uint32_t words[3] = {};
    EXPECT_EQ(Ioctl(h, IOCTL_QV_GET_ID, nullptr, 0, words, sizeof words).status, STATUS_SUCCESS);
    return words[2];
  }

  std::vector<std::unique_ptr<HostUnit>> units;
  std::vector<std::unique_ptr<simunit::IoLink>> links;
  std::vector<std::unique_ptr<simunit::PciCard>> cards;
  std::vector<std::unique_ptr<simunit::ParallelPort>> ports;
  std::vector<UmHandle> handles;
  DRIVER_OBJECT* portDriver = nullptr;
};

TEST_F(UnitTest, OneOwnerAtATimeAndEveryCloseUnprobes) {
  IoUnit(Generation::First);
  UmHandle a = Open("\\\\.\\Qvdev0"), b = Open("\\\\.\\Qvdev0");
  EXPECT_EQ(Kind(a), 0u);
  EXPECT_EQ(Simple(b, Dsp(3, 0, 0)), STATUS_INVALID_DEVICE_STATE) << "nobody owns the unit";
  EXPECT_EQ(Simple(a, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Kind(a), UnitKindPort1);
  EXPECT_EQ(Simple(b, IOCTL_QV_ATTACH), STATUS_DEVICE_BUSY);
  EXPECT_EQ(Simple(b, Dsp(3, 0, 0)), STATUS_DEVICE_BUSY);
  EXPECT_EQ(Simple(b, IOCTL_QV_DETACH), STATUS_SUCCESS) << "detach by a non-owner changes nothing";
  EXPECT_EQ(Simple(b, IOCTL_QV_ATTACH), STATUS_DEVICE_BUSY);
  EXPECT_EQ(Simple(a, IOCTL_QV_DETACH), STATUS_SUCCESS);
  EXPECT_EQ(Simple(b, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Simple(a, IOCTL_QV_ATTACH), STATUS_DEVICE_BUSY);
  // Closing the owner frees the unit; closing any handle unprobes it.
  Close(b);
  EXPECT_EQ(Kind(a), 0u);
  EXPECT_EQ(Simple(a, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Kind(a), UnitKindPort1);
  UmHandle c;
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0", ReadWrite, ShareAll, &c), STATUS_SHARING_VIOLATION)
      << "no new handle while the unit is probed";
}

TEST_F(UnitTest, TimeoutIsClampedAndAnswersThePreviousValue) {
  IoUnit(Generation::First);
  UmHandle h = Open("\\\\.\\Qvdev0");
  struct Case {
    uint32_t set, previous;
  };
  const Case cases[] = {{100, 2000}, {100000, 2000}, {5000, 60000}, {0, 5000}};
  for (const auto& c : cases) {
    uint32_t old = 0;
    Result r = Ioctl(h, IOCTL_QV_TIMEOUT, &c.set, 4, &old, 4);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.returned, 4u);
    EXPECT_EQ(old, c.previous) << c.set;
  }
  uint32_t now = 0;
  EXPECT_EQ(Ioctl(h, IOCTL_QV_TIMEOUT, nullptr, 0, &now, 4).status, STATUS_SUCCESS);
  EXPECT_EQ(now, 2000u) << "0 is clamped to 2000";
}

TEST_F(UnitTest, BufferRulesOfTheCodes) {
  IoUnit(Generation::First);
  UmHandle h = Open("\\\\.\\Qvdev0");
  uint32_t words[3] = {1, 1, 1};
  Result r = Ioctl(h, IOCTL_QV_GET_ID, nullptr, 0, words, 4);
  EXPECT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.returned, 4u);
  EXPECT_EQ(words[0], QvInterfaceVersion);
  EXPECT_EQ(words[1], 1u) << "only the first word is written";
  EXPECT_EQ(Ioctl(h, IOCTL_QV_GET_ID, nullptr, 0, words, 3).status, STATUS_BUFFER_TOO_SMALL);
  r = Ioctl(h, IOCTL_QV_GET_INFO, nullptr, 0, words, 2);
  EXPECT_EQ(r.status, STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(r.information, 16u) << "the size to offer";

  struct Case {
    uint32_t code;
    uint32_t in, out;
    NTSTATUS status;
  };
  uint8_t buffer[64] = {};
  const Case cases[] = {
      {IOCTL_QV_DSP_MEMORY, 7, 0, STATUS_INVALID_PARAMETER},
      {IOCTL_QV_DEVICE_MODE, 3, 0, STATUS_INVALID_BUFFER_SIZE},
      {IOCTL_QV_DEVICE_MODE, 8, 0, STATUS_INVALID_PARAMETER},  // a zero rate behind the skipped zero word
      {IOCTL_QV_SET_PARAM, 5, 0, STATUS_INVALID_PARAMETER},
      {IOCTL_QV_GET_PARAM, 0, 4, STATUS_BUFFER_TOO_SMALL},
      {IOCTL_QV_WAVE_MESSAGE, 11, 0, STATUS_INVALID_PARAMETER},
      {IOCTL_QV_WAVE_CONTROL, 11, 0, STATUS_INVALID_BUFFER_SIZE},
      {IOCTL_QV_LOAD, 3, 0, STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Ioctl(h, c.code, buffer, c.in, buffer, c.out).status, c.status) << std::hex << c.code;
  // A memory read whose count does not fit the output.
  uint32_t request[2] = {4, 0x100};
  EXPECT_EQ(Ioctl(h, IOCTL_QV_DSP_MEMORY, request, 8, buffer, 12).status, STATUS_BUFFER_TOO_SMALL);
}

TEST_F(UnitTest, AccessRulesOfTheHandle) {
  IoUnit(Generation::First);
  UmHandle none = Open("\\\\.\\Qvdev0", 0);
  UmHandle readOnly = Open("\\\\.\\Qvdev0", GENERIC_READ);
  uint32_t word = 0;
  // The I/O manager checks a code's own access bits against the handle.
  EXPECT_EQ(Ioctl(none, 0x83AE6000, nullptr, 0, &word, 4).status, STATUS_ACCESS_DENIED);
  EXPECT_EQ(Ioctl(readOnly, 0x83AEA000, &word, 4, nullptr, 0).status, STATUS_ACCESS_DENIED);
  // The unit's rule: output needs read access, input write access.
  EXPECT_EQ(Ioctl(none, IOCTL_QV_GET_ID, nullptr, 0, &word, 4).status, STATUS_ACCESS_DENIED);
  EXPECT_EQ(Ioctl(readOnly, IOCTL_QV_GET_ID, nullptr, 0, &word, 4).status, STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(readOnly, IOCTL_QV_TIMEOUT, &word, 4, nullptr, 0).status, STATUS_ACCESS_DENIED);
  EXPECT_EQ(Simple(none, IOCTL_QV_ATTACH), STATUS_SUCCESS) << "no buffers, no access needed";
}

TEST_F(UnitTest, PassThroughWritesThenReadsWithoutCommandOnNibbleOne) {
  HostUnit* u = IoUnit(Generation::First);
  UmHandle h = Open("\\\\.\\Qvdev0");
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  u->Queue({0x123456, 0xFEDCBA});
  uint32_t io[2] = {0x0A0B0C, 0x0D0E0F};
  Result r = Ioctl(h, Dsp(1, 1, 1), io, 8, io, 8);
  EXPECT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.returned, 8u);
  EXPECT_TRUE(u->Commands().empty());
  EXPECT_EQ(u->Received(), (std::vector<uint32_t>{0x0A0B0C, 0x0D0E0F}));
  EXPECT_EQ(io[0], 0x123456u);
  EXPECT_EQ(io[1], 0xFEDCBAu);

  // LOAD is pass-through 0x83AE3200: host command 0x12, bytes as format 0.
  const uint8_t image[5] = {1, 2, 3, 4, 0xFF};
  EXPECT_EQ(Ioctl(h, IOCTL_QV_LOAD, image, 5, nullptr, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(u->Commands(), std::vector<uint8_t>{0x12});
  std::vector<uint32_t> got = u->Received();
  EXPECT_EQ(std::vector<uint32_t>(got.begin() + 2, got.end()), (std::vector<uint32_t>{1, 2, 3, 4, 0xFF}));
}

TEST_F(UnitTest, WordFormatsOnEveryPortVariant) {
  enum class Link { Io, Pci, Epp };
  struct Variant {
    const char* what;
    Generation g;
    Link link;
    bool wide;
  };
  const Variant variants[] = {{"first, I/O, 8-bit", Generation::First, Link::Io, false},
                              {"first, I/O, 16-bit", Generation::First, Link::Io, true},
                              {"second, I/O", Generation::Second, Link::Io, true},
                              {"first, memory", Generation::First, Link::Pci, true},
                              {"second, memory", Generation::Second, Link::Pci, true},
                              {"first, EPP", Generation::First, Link::Epp, true},
                              {"second, EPP", Generation::Second, Link::Epp, true}};
  struct ReadCase {
    uint32_t format, bytes, want;
  };
  const ReadCase reads[] = {{0, 4, 0xFF800001}, {1, 4, 0x00800001}, {2, 2, 0x8000}, {3, 2, 0x8000},
                            {4, 2, 0x0001},     {5, 2, 0x0001}};
  uint64_t port = 0x300;
  uint32_t slot = 3, n = 0, epp = 0;
  for (const auto& v : variants) {
    SCOPED_TRACE(v.what);
    HostUnit* u = v.link == Link::Pci   ? PciUnits(v.g, false, slot++)
                  : v.link == Link::Epp ? EppUnit(v.g, epp++)
                                        : IoUnit(v.g, port += 0x10, v.wide);
    std::string name = "\\\\.\\Qvdev" + std::to_string(n++);
    UmHandle h = Open(name.c_str());
    ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
    EXPECT_EQ(Kind(h), v.g == Generation::First ? UnitKindPort1 : UnitKindPort2);
    for (const auto& c : reads) {
      u->Queue({0x800001});
      uint32_t value = 0;
      Result r = Ioctl(h, Dsp(1, 0, c.format), nullptr, 0, &value, c.bytes);
      EXPECT_EQ(r.status, STATUS_SUCCESS) << c.format;
      EXPECT_EQ(value, c.want) << "read format " << c.format;
    }
    // 0x1234 in format 2: high 0x12, middle 0x34, low 0; in format 4: middle
    // 0x12 and low 0x34 with the high byte as the port left it.
    // (A probe of the other generation may have left words on the unit.)
    size_t before = u->Received().size();
    const uint16_t value = 0x1234;
    ASSERT_EQ(Ioctl(h, Dsp(1, 2, 0), &value, 2, nullptr, 0).status, STATUS_SUCCESS);
    ASSERT_EQ(Ioctl(h, Dsp(1, 4, 0), &value, 2, nullptr, 0).status, STATUS_SUCCESS);
    std::vector<uint32_t> got = u->Received();
    ASSERT_EQ(got.size(), before + 2);
    EXPECT_EQ(got[before], 0x123400u);
    uint32_t high = v.g == Generation::First ? 0x12 : 0;
    EXPECT_EQ(got[before + 1], high << 16 | 0x1234) << "format 4";
    uint8_t byte = 0;
    if (v.g == Generation::Second) {
      u->Queue({0x800001});
      EXPECT_EQ(Ioctl(h, Dsp(1, 0, 6), nullptr, 0, &byte, 1).status, STATUS_SUCCESS);
      EXPECT_EQ(byte, 0x01);
    } else {
      EXPECT_EQ(Ioctl(h, Dsp(1, 0, 6), nullptr, 0, &byte, 1).status, STATUS_INVALID_PARAMETER)
          << "no byte mover on the first generation";
    }
  }
}

TEST_F(UnitTest, EppUnitBorrowsItsPortAndGivesItBack) {
  HostUnit* u = EppUnit(Generation::First);
  simunit::ParallelPort* port = ports.back().get();
  const uint8_t ecr = port->Ecr();
  UmHandle h = Open("\\\\.\\Qvdev0");
  EXPECT_TRUE(port->Allocated());
  EXPECT_EQ(port->Ecr() & 0xE0, 0x80) << "EPP mode while open";
  UmHandle second;
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0", ReadWrite, ShareAll, &second), STATUS_ACCESS_DENIED);

  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Kind(h), UnitKindPort1);
  EXPECT_EQ(Simple(h, IOCTL_QV_BOOT), STATUS_SUCCESS);
  EXPECT_EQ(u->Resets(), 1u) << "the reset line through the address byte";
  u->Answer(0x15, {0x000102});
  uint32_t word = 0;
  Result r = Ioctl(h, Dsp(5, 0, 1), nullptr, 0, &word, 4);
  EXPECT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(word, 0x000102u);
  EXPECT_EQ(u->Commands(), std::vector<uint8_t>{0x15});

  Close(h);
  EXPECT_EQ(port->Ecr(), ecr) << "the extended control register as before the open";
  EXPECT_FALSE(port->Allocated());
  EXPECT_EQ(port->InfoHeld(), 0u);

  // A port another driver holds, or an information answer too short to
  // hold the port's routines: refused, and nothing kept or changed.
  port->AllocatedElsewhere(true);
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0", ReadWrite, ShareAll, &second), STATUS_DEVICE_BUSY);
  port->AllocatedElsewhere(false);
  port->ShortInformation(true);
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0", ReadWrite, ShareAll, &second), STATUS_DEVICE_CONFIGURATION_ERROR);
  EXPECT_EQ(port->InfoHeld(), 0u);
  EXPECT_FALSE(port->Allocated());
  EXPECT_EQ(port->Ecr(), ecr);
}

TEST_F(UnitTest, EppPortNumbersAndAnEmptyPort) {
  LoadPortDriver();
  Port(0, 0x378, nullptr);
  // Units without a port resource take ports 0 and 1; a third has none
  // until one of them leaves. A resource must be one of the two system ports.
  simbus::DeviceNode bare;
  bare.hardwareIds = simbus::HardwareIdList({u"Qvepp"});
  EXPECT_EQ(Arrive(bare).startStatus, STATUS_SUCCESS);
  km::Arrival second = Arrive(bare);
  EXPECT_EQ(second.startStatus, STATUS_SUCCESS);
  EXPECT_EQ(Arrive(bare).startStatus, STATUS_DEVICE_CONFIGURATION_ERROR);
  EXPECT_EQ(EppNode(0x3BC), STATUS_DEVICE_CONFIGURATION_ERROR);
  RemoveNode(second.pdo);
  EXPECT_EQ(Arrive(bare).startStatus, STATUS_SUCCESS) << "port 1 is free again";
  // Port 0 has no unit: both probes fail; the last unit's port 1 does not exist.
  UmHandle h = Open("\\\\.\\Qvdev0");
  EXPECT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_DEVICE_NOT_READY);
  UmHandle none;
  EXPECT_NE(UmOpen("\\\\.\\Qvdev4", ReadWrite, ShareAll, &none), STATUS_SUCCESS) << "no port 1 here";
}

TEST_F(UnitTest, StallAfterThreeWordsTimesOutWithTheBytesDone) {
  HostUnit* u = IoUnit(Generation::Second);
  UmHandle h = Open("\\\\.\\Qvdev0");
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  u->Queue({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  u->StallAfter(3);
  km::ClearEventLog();
  int64_t before = km::Now();
  uint32_t out[10];
  Result r = Ioctl(h, Dsp(1, 0, 1), nullptr, 0, out, 40);
  EXPECT_EQ(r.status, STATUS_IO_TIMEOUT);
  EXPECT_EQ(r.information, 12u);
  EXPECT_GE(km::Now() - before, 2000 * 10000);
  auto log = km::EventLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].code, QvEventTimeout);
  EXPECT_EQ(log[0].status, STATUS_IO_TIMEOUT);
}

TEST_F(UnitTest, BootResetsAndRefusesAnImage) {
  HostUnit* u = IoUnit(Generation::Second);
  UmHandle h = Open("\\\\.\\Qvdev0");
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  uint8_t image[4] = {1, 2, 3, 4};
  EXPECT_EQ(Ioctl(h, IOCTL_QV_BOOT, image, 4, nullptr, 0).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Simple(h, IOCTL_QV_BOOT), STATUS_SUCCESS);
  EXPECT_EQ(u->Resets(), 1u);
}

TEST_F(UnitTest, ProbesFailAfterTwoSecondsOfVirtualTime) {
  HostUnit* u = IoUnit(Generation::First);
  simunit::Faults f;
  f.initNeverClears = true;
  u->SetFaults(f);
  UmHandle h = Open("\\\\.\\Qvdev0");
  int64_t before = km::Now();
  EXPECT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_DEVICE_NOT_READY);
  int64_t waited = (km::Now() - before) / 10000;
  EXPECT_GE(waited, 2000);
  EXPECT_LT(waited, 2100);
  EXPECT_EQ(Kind(h), 0u);

  f = {};
  f.wrongProbe = true;
  u->SetFaults(f);
  EXPECT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_DEVICE_NOT_READY);
  u->SetFaults({});
  EXPECT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
}

TEST_F(UnitTest, SilentUnitTimesOutItsCommand) {
  HostUnit* u = IoUnit(Generation::First);
  UmHandle h = Open("\\\\.\\Qvdev0");
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  u->SetFaults(Silent());
  EXPECT_EQ(Simple(h, Dsp(5, 0, 0)), STATUS_SUCCESS) << "written; the unit never takes it";
  EXPECT_EQ(Simple(h, Dsp(6, 0, 0)), STATUS_IO_TIMEOUT);
  EXPECT_TRUE(u->Commands().empty());
}

TEST_F(UnitTest, TwoUnitCardBindsByName) {
  HostUnit* u0 = PciUnits(Generation::Second, true);
  UmHandle h;
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0\\UNIT2", ReadWrite, ShareAll, &h), STATUS_NO_SUCH_DEVICE);
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0\\Unit", ReadWrite, ShareAll, &h), STATUS_NO_SUCH_DEVICE);
  UmHandle card = Open("\\\\.\\Qvdev0");
  UmHandle one = Open("\\\\.\\QVDEV0\\UNIT1");
  ASSERT_EQ(Simple(card, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  ASSERT_EQ(Simple(one, IOCTL_QV_ATTACH), STATUS_SUCCESS) << "the units have owners of their own";
  EXPECT_EQ(Simple(card, Dsp(4, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(Simple(one, Dsp(6, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(u0->Commands(), std::vector<uint8_t>{0x14});
  EXPECT_EQ(units[1]->Commands(), std::vector<uint8_t>{0x16});
  EXPECT_EQ(cards[0]->BoardRegister(), 0) << "the second-generation probe clears the card register";
}

TEST_F(UnitTest, FirstGenerationCardHasNoSecondUnit) {
  PciUnits(Generation::First, true);
  UmHandle zero = Open("\\\\.\\Qvdev0\\Unit0");
  UmHandle one = Open("\\\\.\\Qvdev0\\Unit1");
  ASSERT_EQ(Simple(zero, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Kind(zero), UnitKindPort1);
  EXPECT_EQ(Simple(one, IOCTL_QV_ATTACH), STATUS_DEVICE_NOT_READY);
}

TEST_F(UnitTest, LinkRulesAndGroupCommandUnlinks) {
  HostUnit* a = IoUnit(Generation::First, 0x300);
  HostUnit* b = IoUnit(Generation::Second, 0x310);
  UmHandle ha = Open("\\\\.\\Qvdev0"), hb = Open("\\\\.\\Qvdev1");
  ASSERT_EQ(Simple(ha, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  ASSERT_EQ(Simple(hb, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  uint32_t cookie = 0, bogus = 0x1234;
  EXPECT_EQ(Ioctl(hb, IOCTL_QV_LINK, &bogus, 4, nullptr, 0).status, STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Ioctl(hb, IOCTL_QV_LINK, &bogus, 3, nullptr, 0).status, STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(Ioctl(ha, IOCTL_QV_LINK, nullptr, 0, &cookie, 2).status, STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(Simple(ha, IOCTL_QV_LINK), STATUS_INVALID_PARAMETER);
  Result r = Ioctl(ha, IOCTL_QV_LINK, nullptr, 0, &cookie, 4);
  ASSERT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.returned, 4u);
  ASSERT_EQ(Ioctl(hb, IOCTL_QV_LINK, &cookie, 4, nullptr, 0).status, STATUS_SUCCESS);
  uint32_t word = 0;
  EXPECT_EQ(Ioctl(hb, Dsp(3, 1, 1), &word, 4, nullptr, 0).status, STATUS_INVALID_PARAMETER)
      << "a linked unit takes bare commands only";

  EXPECT_EQ(Simple(hb, Dsp(3, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(a->Commands(), std::vector<uint8_t>{0x13});
  EXPECT_EQ(b->Commands(), std::vector<uint8_t>{0x13});
  // The group went with the command: the next one reaches one unit.
  EXPECT_EQ(Simple(ha, Dsp(4, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(a->Commands(), (std::vector<uint8_t>{0x13, 0x14}));
  EXPECT_EQ(b->Commands(), std::vector<uint8_t>{0x13});

  // Unlinking with cookie 0.
  ASSERT_EQ(Ioctl(ha, IOCTL_QV_LINK, nullptr, 0, &cookie, 4).status, STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(hb, IOCTL_QV_LINK, &cookie, 4, nullptr, 0).status, STATUS_SUCCESS);
  const uint32_t zero = 0;
  ASSERT_EQ(Ioctl(hb, IOCTL_QV_LINK, &zero, 4, nullptr, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(Simple(ha, Dsp(4, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(b->Commands(), std::vector<uint8_t>{0x13});
  // A member whose last command is still pending makes the group not ready.
  b->SetFaults(Silent());
  EXPECT_EQ(Simple(hb, Dsp(6, 0, 0)), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(ha, IOCTL_QV_LINK, nullptr, 0, &cookie, 4).status, STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(hb, IOCTL_QV_LINK, &cookie, 4, nullptr, 0).status, STATUS_SUCCESS);
  uint32_t seen = static_cast<uint32_t>(a->Commands().size());
  EXPECT_EQ(Simple(ha, Dsp(5, 0, 0)), STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(a->Commands().size(), seen) << "nobody gets the command";
}

TEST_F(UnitTest, GroupCommandsOfTwoMembersAtOnceComplete) {
  IoUnit(Generation::First, 0x300);
  IoUnit(Generation::Second, 0x310);
  UmHandle ha = Open("\\\\.\\Qvdev0"), hb = Open("\\\\.\\Qvdev1");
  ASSERT_EQ(Simple(ha, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  ASSERT_EQ(Simple(hb, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  auto run = std::async(std::launch::async, [&] {
    for (int i = 0; i < 200; ++i) {
      uint32_t cookie = 0;
      if (Ioctl(ha, IOCTL_QV_LINK, nullptr, 0, &cookie, 4).status != STATUS_SUCCESS) return false;
      if (Ioctl(hb, IOCTL_QV_LINK, &cookie, 4, nullptr, 0).status != STATUS_SUCCESS) return false;
      UmRequest* first = UmIoControlBegin(ha, Dsp(3, 0, 0), nullptr, 0, nullptr, 0);
      UmRequest* second = UmIoControlBegin(hb, Dsp(3, 0, 0), nullptr, 0, nullptr, 0);
      NTSTATUS s1 = UmWait(first, nullptr), s2 = UmWait(second, nullptr);
      if (!NT_SUCCESS(s1) || !NT_SUCCESS(s2)) return false;
    }
    return true;
  });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "group commands deadlocked";
  EXPECT_TRUE(run.get());
}

TEST_F(UnitTest, QueuedRequestsAreCancelledAndFlushedAtClose) {
  HostUnit* u = IoUnit(Generation::Second);
  UmHandle h = Open("\\\\.\\Qvdev0");
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  u->HoldBus(true);
  UmRequest* busy = UmIoControlBegin(h, Dsp(3, 0, 0), nullptr, 0, nullptr, 0);
  // The worker is inside the first request, waiting for the bus.
  for (int i = 0; i < 5000 && !u->BusWaiters(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(u->BusWaiters(), 1u);
  UmRequest* queued = UmIoControlBegin(h, Dsp(4, 0, 0), nullptr, 0, nullptr, 0);
  EXPECT_FALSE(UmIsDone(queued));
  UmCancelIo(h);
  EXPECT_EQ(UmWait(queued, nullptr), STATUS_CANCELLED);
  u->HoldBus(false);
  EXPECT_EQ(UmWait(busy, nullptr), STATUS_SUCCESS);
  EXPECT_EQ(u->Commands(), std::vector<uint8_t>{0x13});

  // Closing the handle flushes what is still queued.
  u->HoldBus(true);
  busy = UmIoControlBegin(h, Dsp(5, 0, 0), nullptr, 0, nullptr, 0);
  for (int i = 0; i < 5000 && !u->BusWaiters(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  queued = UmIoControlBegin(h, Dsp(6, 0, 0), nullptr, 0, nullptr, 0);
  Close(h);
  EXPECT_EQ(UmWait(queued, nullptr), STATUS_CANCELLED);
  u->HoldBus(false);
  EXPECT_EQ(UmWait(busy, nullptr), STATUS_SUCCESS);
}

TEST_F(UnitTest, ChannelMapChecks) {
  UmHandle w = Open("\\\\.\\Qvwave");
  struct Case {
    const char* what;
    uint32_t length;
    qvChannelMap map;
    NTSTATUS status;
  };
  const Case cases[] = {
      {"12 bytes", 12, {4, 1, 1, 0, 128, 0x1000, {0}}, STATUS_INVALID_BUFFER_SIZE},
      {"no channels", 13, {4, 0x80, 0x80, 0, 128, 0x1000, {0}}, STATUS_INVALID_PARAMETER},
      {"buffer at 0", 14, {4, 1, 1, 0, 128, 0, {0}}, STATUS_INVALID_PARAMETER},
      {"100 frames", 14, {4, 1, 1, 0, 100, 0x1000, {0}}, STATUS_INVALID_USER_BUFFER},
      {"lists beyond the buffer", 13, {4, 2, 2, 0, 128, 0x1000, {0}}, STATUS_INVALID_BUFFER_SIZE},
      {"3 bytes a sample", 14, {3, 1, 1, 0, 128, 0x1000, {0}}, STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    uint8_t bytes[32] = {};
    std::memcpy(bytes, &c.map, sizeof c.map);
    EXPECT_EQ(Ioctl(w, IOCTL_QV_WAVE_MAP, bytes, c.length, nullptr, 0).status, c.status) << c.what;
  }
}

TEST_F(UnitTest, ChannelBasesFollowTheRing) {
  ArriveBoard(TavrionId(), 1);
  Board(u"\\Device\\Qvtvr0")->SetChannels(16, 8);
  ArriveBoard(TavrionId(), 2);
  CBoardDevice* second = Board(u"\\Device\\Qvtvr1");
  EXPECT_EQ(Board(u"\\Device\\Qvtvr0")->FirstInput(), 0u);
  EXPECT_EQ(second->FirstInput(), 16u);
  EXPECT_EQ(second->FirstOutput(), 8u);
  second->SetChannels(4, 4);
  UmHandle w = Open("\\\\.\\Qvwave");
  qvChannelInfo info{};
  uint8_t n = 1;
  Result r = Ioctl(w, IOCTL_QV_WAVE_MAP, &n, 1, &info, sizeof info);
  ASSERT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.returned, 36u);
  EXPECT_EQ(info.firstInput, 16);
  EXPECT_EQ(info.inputs, 4);
  EXPECT_EQ(info.boardId, BoardIdTvr);
  EXPECT_EQ(Ioctl(w, IOCTL_QV_WAVE_MAP, nullptr, 0, &info, sizeof info).status, STATUS_SUCCESS);
  EXPECT_EQ(info.inputs, 20);
  EXPECT_EQ(info.sampleRate, 44100u);
  n = 2;
  EXPECT_EQ(Ioctl(w, IOCTL_QV_WAVE_MAP, &n, 1, &info, sizeof info).status, STATUS_NO_MORE_ENTRIES);
}

TEST_F(UnitTest, EppUnitOnAPciCardUsesTheSystemPortAtTheCardsAddress) {
  // The system's parallel-port driver serves the card's port among its own.
  Port(0, 0x378, nullptr);
  units.push_back(std::make_unique<HostUnit>(Generation::Second));
  HostUnit* u = units.back().get();
  simunit::ParallelPort* card = Port(1, 0xD000, u);
  LoadPortDriver();
  simbus::DeviceNode node = simbus::PciNode({0x1415, 0x8403, 0x1415, 0x0000}, 4);
  node.resources = {{simbus::ResKind::Port, 0xD000, 8, 0, 0, false, false},
                    {simbus::ResKind::Port, 0xD400, 3, 0, 0, false, false}};
  ASSERT_EQ(Arrive(node).startStatus, STATUS_SUCCESS);
  EXPECT_EQ(card->Ecr() & 0xE0, 0x80) << "the card's start selects EPP mode";

  UmHandle h = Open("\\\\.\\Qvdev0");
  EXPECT_TRUE(card->Allocated());
  EXPECT_FALSE(ports[0]->Allocated());
  ASSERT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_SUCCESS);
  EXPECT_EQ(Kind(h), UnitKindPort2);
  EXPECT_EQ(Simple(h, Dsp(7, 0, 0)), STATUS_SUCCESS);
  EXPECT_EQ(u->Commands(), std::vector<uint8_t>{0x17});
  Close(h);
  EXPECT_FALSE(card->Allocated());
  EXPECT_EQ(card->InfoHeld(), 0u);

  // Without a system port at the card's address the unit cannot open.
  km::UnloadDriver(portDriver);
  portDriver = nullptr;
  ports.pop_back();
  LoadPortDriver();
  UmHandle none;
  EXPECT_EQ(UmOpen("\\\\.\\Qvdev0", ReadWrite, ShareAll, &none), STATUS_OBJECT_NAME_NOT_FOUND);
  EXPECT_FALSE(ports[0]->Allocated());
}

TEST_F(UnitTest, BoardMemoryHandleMapsTheCardAndAnswersItsConfiguration) {
  PciUnits(Generation::Second, true, 5);
  simbus::PciFunction& config = simbus::AddPciBoard(0, 5, {0x1057, 0x1801, 0x8917, 0x0001}, 0xE0500000, 0, 11);
  UmHandle h = Open("\\\\.\\Qvdev0\\Unit1");
  uint8_t small[3];
  EXPECT_EQ(Ioctl(h, IOCTL_QV_PCI_CONFIG_GET, nullptr, 0, small, 3).status, STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(km::ViewCount(), 0u);

  // The four location words, then the configuration space that fits.
  uint8_t out[16 + 80] = {};
  Result r = Ioctl(h, IOCTL_QV_PCI_CONFIG_GET, nullptr, 0, out, sizeof out);
  ASSERT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.returned, 16u + 64u);
  uint32_t words[4];
  std::memcpy(words, out, sizeof words);
  EXPECT_NE(words[0], 0u);
  EXPECT_EQ(words[1], 0x10000u) << "the card's memory range";
  EXPECT_EQ(words[2], uint32_t(PCIBus));
  EXPECT_EQ(words[3], 5u) << "the PCI device number";
  EXPECT_EQ(std::memcmp(out + 16, config.config, 64), 0);
  EXPECT_EQ(km::ViewCount(), 1u);

  // The view reaches the card: its own register at +0x200.
  uint32_t value = 0;
  ASSERT_TRUE(UmMemoryWrite(words[0] + 0x200, 1, 0x5A));
  EXPECT_EQ(cards[0]->BoardRegister(), 0x5A);
  ASSERT_TRUE(UmMemoryRead(words[0] + 0x200, 1, &value));
  EXPECT_EQ(value, 0x5Au);
  EXPECT_FALSE(UmMemoryRead(words[0] + 0x10000, 1, &value)) << "beyond the view";

  // Short buffers get the words they hold; the handle answers nothing else.
  r = Ioctl(h, IOCTL_QV_PCI_CONFIG_GET, nullptr, 0, out, 6);
  EXPECT_EQ(r.status, STATUS_SUCCESS);
  EXPECT_EQ(r.information, 4u);
  const uint8_t latency = 0x40;
  uint8_t header[14] = {};
  std::memcpy(header, config.config, 13);
  header[13] = latency;
  EXPECT_EQ(Ioctl(h, IOCTL_QV_PCI_CONFIG_SET, header, 14, nullptr, 0).status, STATUS_SUCCESS);
  EXPECT_EQ(config.config[13], latency);
  EXPECT_EQ(Simple(h, IOCTL_QV_ATTACH), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(km::ViewCount(), 1u) << "one view per handle";
  Close(h);
  EXPECT_EQ(km::ViewCount(), 0u) << "the view goes with the handle";
}
