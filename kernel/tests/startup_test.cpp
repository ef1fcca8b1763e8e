// Driver start-up: both start paths, the kernel routines, hardware-id
// matching, device names and counters, the legacy units and the PCI scan.
#include "kernel/tests/fixture.h"

class StartupTest : public KernelTest {};

TEST_F(StartupTest, PlugAndPlayStartCreatesOnlyTheWaveDevice) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  EXPECT_EQ(km::DeviceCount(driver), 1u);
  EXPECT_NE(km::FindDevice(u"\\Device\\Qvwave"), nullptr);
  EXPECT_EQ(km::LinkTarget(u"\\??\\Qvwave"), u"\\Device\\Qvwave");
  EXPECT_NE(driver->DriverExtension->AddDevice, nullptr);
}

TEST_F(StartupTest, KernelRoutinesMustAllBeFound) {
  struct Case {
    const char* missing;
    const char* kernelFile;
    NTSTATUS want;
  };
  const Case cases[] = {
      {nullptr, "ntkrnlpa.exe", STATUS_SUCCESS},
      {"IoOpenDeviceInterfaceRegistryKey", "ntoskrnl.exe", STATUS_PROCEDURE_NOT_FOUND},
      {"PoCallDriver", "NTOSKRNL.EXE", STATUS_PROCEDURE_NOT_FOUND},
      {nullptr, "ntkrnlmp.exe", STATUS_PROCEDURE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    km::Reset();
    if (c.missing) simbus::Bus().missingRoutines.insert(c.missing);
    simbus::Bus().kernelFileName = c.kernelFile;
    EXPECT_EQ(Load(), c.want) << c.kernelFile << " " << (c.missing ? c.missing : "");
    if (c.want != STATUS_SUCCESS) {
      EXPECT_EQ(driver, nullptr);
      EXPECT_EQ(km::FindDevice(u"\\Device\\Qvwave"), nullptr);
    } else {
      km::UnloadDriver(driver);
      driver = nullptr;
    }
  }
}

TEST_F(StartupTest, HardwareIdDecidesTheBoardByPrefix) {
  struct Case {
    const char16_t* id;
    uint32_t boardId;  // 0: no row
  };
  const Case cases[] = {
      {u"PCI\\VEN_1057&DEV_1801&SUBSYS_234589AB&REV_01", BoardIdTvr},
      {u"pci\\ven_1057&dev_1801&subsys_192089ab", BoardIdTv2},
      {u"PCI\\VEN_1556&DEV_1101&SUBSYS_00000000&REV_02", BoardIdDnv},
      {u"PCI\\VEN_1409&DEV_7268&SUBSYS_01031409", BoardIdTkeEppPci},
      {u"Qvepp", BoardIdTkeEpp},
      {u"PCI\\VEN_1057&DEV_1801", 0},
      {u"PCI\\VEN_1057&DEV_1801&SUBSYS_FFFF89AB", 0},
      {u"", 0},
  };
  for (const auto& c : cases) {
    UNICODE_STRING id = KsStringOf(c.id);
    const BoardRow* row = MatchHardwareId(&id);
    EXPECT_EQ(row ? row->boardId : 0u, c.boardId) << std::string(c.id, c.id + std::char_traits<char16_t>::length(c.id));
  }
}

TEST_F(StartupTest, OnlyTheFirstHardwareIdCounts) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  simbus::DeviceNode second;
  second.hardwareIds = simbus::HardwareIdList({u"PCI\\VEN_9999&DEV_0001", u"PCI\\VEN_1057&DEV_1801&SUBSYS_234589AB"});
  EXPECT_EQ(Arrive(second).addStatus, STATUS_UNSUCCESSFUL);
  simbus::DeviceNode unknown;
  unknown.hardwareIds = simbus::HardwareIdList({u"PCI\\VEN_1234&DEV_5678"});
  EXPECT_EQ(Arrive(unknown).addStatus, STATUS_UNSUCCESSFUL);
  // An id list longer than the 512 bytes read is refused, not cut.
  simbus::DeviceNode huge;
  huge.hardwareIds = simbus::HardwareIdList({u"PCI\\VEN_1057&DEV_1801&SUBSYS_234589AB" + std::u16string(300, u'x')});
  EXPECT_EQ(Arrive(huge).addStatus, STATUS_UNSUCCESSFUL);
  EXPECT_EQ(km::DeviceCount(driver), 1u);
}

TEST_F(StartupTest, BoardsAreNamedAndCountedPerStem) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  km::Arrival first = ArriveBoard(TavrionId(), 1);
  km::Arrival second = ArriveBoard(TavrionId(), 2);
  km::Arrival expansion = ArriveBoard(CorbelleId(), 3);
  ASSERT_EQ(first.startStatus, STATUS_SUCCESS);
  ASSERT_EQ(second.startStatus, STATUS_SUCCESS);
  ASSERT_EQ(expansion.startStatus, STATUS_SUCCESS);
  EXPECT_EQ(km::LinkTarget(u"\\??\\Qvtvr1"), u"\\Device\\Qvtvr1");
  EXPECT_NE(km::FindDevice(u"\\Device\\Qvcbl0"), nullptr);
  EXPECT_EQ(km::RegReadString(DeviceKey(first.pdo), u"FriendlyName"), u"Tavrion");
  EXPECT_EQ(km::RegReadString(DeviceKey(second.pdo), u"FriendlyName"), u"Tavrion 2");
  EXPECT_EQ(km::RegReadString(DeviceKey(second.pdo), u"DeviceName"), u"Qvtvr1");
  EXPECT_EQ(km::RegReadString(DeviceKey(expansion.pdo), u"FriendlyName"), u"Corbelle");
  // The ring holds the PCI DSP boards in the order they started.
  EXPECT_EQ(QvRingBoard(0), Board(u"\\Device\\Qvtvr0"));
  EXPECT_EQ(QvRingBoard(2), Board(u"\\Device\\Qvcbl0"));
  EXPECT_EQ(QvRingBoard(3), nullptr);

  RemoveNode(first.pdo);
  EXPECT_EQ(km::FindDevice(u"\\Device\\Qvtvr0"), nullptr);
  EXPECT_EQ(km::LinkTarget(u"\\??\\Qvtvr0"), u"");
  km::Arrival again = ArriveBoard(TavrionId(), 1);
  EXPECT_EQ(again.startStatus, STATUS_SUCCESS);
  EXPECT_NE(km::FindDevice(u"\\Device\\Qvtvr2"), nullptr) << "a re-added card takes the next number";
  EXPECT_EQ(km::RegReadString(DeviceKey(again.pdo), u"FriendlyName"), u"Tavrion 3");
  for (auto* pdo : {second.pdo, expansion.pdo, again.pdo}) RemoveNode(pdo);
}

TEST_F(StartupTest, WaveDeviceGoesWithTheLastBoardAndReturnsWithTheNext) {
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  km::Arrival a = ArriveBoard(TavrionId());
  RemoveNode(a.pdo);
  EXPECT_EQ(km::FindDevice(u"\\Device\\Qvwave"), nullptr);
  EXPECT_EQ(km::DeviceCount(driver), 0u);
  km::Arrival b = ArriveBoard(TavrionId());
  EXPECT_EQ(b.startStatus, STATUS_SUCCESS);
  EXPECT_NE(km::FindDevice(u"\\Device\\Qvwave"), nullptr);
  RemoveNode(b.pdo);
}

TEST_F(StartupTest, WaveDeviceReadsItsRates) {
  struct Case {
    uint32_t rate, frame, wantRate, wantFrame;
  };
  const Case cases[] = {{48000, 0x1E, 48000, 25025}, {7999, 30000, 44100, 30000}, {96000, 0x100003E9, 96000, 0x100003E9}};
  for (const auto& c : cases) {
    km::Reset();
    km::RegWriteDword(ParametersKey, u"SampleRate", c.rate);
    km::RegWriteDword(ParametersKey, u"FrameRate", c.frame);
    km::RegWriteDword(ParametersKey, u"VariSpeed", 12);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    EXPECT_EQ(g_QvWave->SampleRate(), c.wantRate);
    EXPECT_EQ(g_QvWave->FrameWord(), c.wantFrame);
    EXPECT_EQ(g_QvWave->VariSpeed(), 12u);
    km::UnloadDriver(driver);
    driver = nullptr;
  }
}

TEST_F(StartupTest, ReportedRatesAreKeptAndWrittenToBothKeys) {
  km::RegWriteDword(ParametersKey, u"FrameRate", 30000);
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  const std::u16string shared = u"\\Registry\\Machine\\Software\\Quorvale\\MultiMedia";
  // A frame word with low 16 bits of 0 leaves the frame rate alone.
  g_QvWave->StoreRates(48000, 0x12345, 0x30000);
  EXPECT_EQ(g_QvWave->SampleRate(), 48000u);
  EXPECT_EQ(g_QvWave->FrameWord(), 30000u);
  for (const auto& key : {ParametersKey, shared}) {
    EXPECT_EQ(km::RegReadDword(key, u"SampleRate"), 48000u);
    EXPECT_EQ(km::RegReadDword(key, u"VariSpeed"), 0x2345u) << "16 bits";
  }
  EXPECT_EQ(km::RegReadDword(ParametersKey, u"FrameRate"), 30000u);
  EXPECT_FALSE(km::RegReadDword(shared, u"FrameRate").has_value());
  g_QvWave->StoreRates(44100, 0, 0x20000 | 25000);
  EXPECT_EQ(g_QvWave->FrameWord(), 0x20000u | 25000);
  for (const auto& key : {ParametersKey, shared}) EXPECT_EQ(km::RegReadDword(key, u"FrameRate"), 25000u);
}

TEST_F(StartupTest, StartUpPoolExhaustionIsAFatalException) {
  km::FailPoolAfter(0);
  EXPECT_EQ(Load(), STATUS_INSUFFICIENT_RESOURCES);
  auto log = km::EventLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().code, QvEventFatalException);
  EXPECT_EQ(log.back().text, u"DriverEntry");
}

// ---- NT 4 ----------------------------------------------------------------------

class LegacyTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    simbus::Bus().kernelMajor = 4;
  }
  static void Unit(const char16_t* subkey, uint32_t ioAddress, const char16_t* name = nullptr) {
    std::u16string key = ParametersKey + u"\\" + subkey;
    km::RegWriteDword(key, u"IoAddress", ioAddress);
    if (name) km::RegWrite(key, u"Name", REG_SZ, name, static_cast<uint32_t>((std::char_traits<char16_t>::length(name) + 1) * 2));
  }
};

TEST_F(LegacyTest, NothingFoundMeansNoDriver) {
  EXPECT_EQ(Load(), STATUS_NO_SUCH_DEVICE);
  EXPECT_EQ(driver, nullptr);
  km::RegCreateKey(ParametersKey);
  Unit(u"Zero", 0);
  EXPECT_EQ(Load(), STATUS_NO_SUCH_DEVICE);
}

TEST_F(LegacyTest, ParallelPortUnitClaimsNoPorts) {
  Unit(u"Unit1", 0x378, u"Qvdev7");
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  CBoardDevice* b = Board(u"\\Device\\Qvdev7");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->BoardId(), BoardIdTkeEpp);
  EXPECT_EQ(b->State(), KeStateStarted);
  EXPECT_EQ(km::ResourceClaims(), 0u);
  EXPECT_EQ(km::FindDevice(u"\\Device\\Qvwave"), nullptr) << "no PCI DSP board, no wave device";
}

TEST_F(LegacyTest, IsaUnitClaimsItsPortsAndAConflictDropsIt) {
  Unit(u"Isa", 0x300);
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  CBoardDevice* b = Board(u"\\Device\\Isa");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->BoardId(), BoardIdTke);
  EXPECT_EQ(km::ResourceClaims(), 1u);
  km::UnloadDriver(driver);
  driver = nullptr;
  EXPECT_EQ(km::ResourceClaims(), 0u);

  simbus::Bus().foreignClaims.push_back({simbus::ResKind::Port, 0x304, 2, 0, 0, false, false});
  EXPECT_EQ(Load(), STATUS_NO_SUCH_DEVICE);
}

TEST_F(LegacyTest, PciScanFindsBoardsAndLogsWhere) {
  simbus::AddPciBoard(1, 3, TavrionId(), 0xE0000000, 0, 11);
  simbus::AddPciBoard(0, 5, {0x1057, 0x1801, 0x8917, 0x0001}, 0xE1000000, 0, 12);
  simbus::AddPciBoard(0, 6, {0x1057, 0x1801, 0x89AB, 0x7777}, 0xE2000000, 0, 13);  // no such board
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  CBoardDevice* tavrion = Board(u"\\Device\\Qvtvr0");
  ASSERT_NE(tavrion, nullptr);
  EXPECT_NE(Board(u"\\Device\\Qvdev0"), nullptr);
  EXPECT_EQ(km::DeviceCount(driver), 3u) << "two boards and the wave device";
  std::vector<km::LogEntry> found;
  for (const auto& e : km::EventLog())
    if ((e.code & 0xFFFFFF00) == 0x40060000) found.push_back(e);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].code, 0x400600CAu);
  EXPECT_EQ(found[0].text, u"5");
  EXPECT_EQ(found[1].code, 0x400600C8u);
  EXPECT_EQ(found[1].text, u"1:3");
  EXPECT_EQ(found[1].dump.size(), 64u);
  uint8_t config[4];
  EXPECT_TRUE(tavrion->PciConfigRead(0, config, 4));
  EXPECT_EQ(config[0], 0x57);
  uint32_t length = 0;
  EXPECT_NE(tavrion->MapRegisterWindow(0, &length), nullptr);
  EXPECT_EQ(length, 0x10000u);
}

TEST_F(LegacyTest, ShortConfigurationReadIsNoBoard) {
  simbus::AddPciBoard(0, 2, TavrionId(), 0xE0000000, 0, 11).readableBytes = 32;
  EXPECT_EQ(Load(), STATUS_NO_SUCH_DEVICE);
}

TEST_F(LegacyTest, BoardsTakeTheirCommonBufferThroughTheDmaOperationsRecord) {
  simbus::AddPciBoard(1, 3, TavrionId(), 0xE0000000, 0, 11);
  ASSERT_EQ(Load(), STATUS_SUCCESS);
  const DMA_OPERATIONS& o = g_KsDmaOperations;
  EXPECT_EQ(o.Size, sizeof(DMA_OPERATIONS));
  EXPECT_EQ(o.PutDmaAdapter, &IoFreeAdapterChannel);
  EXPECT_EQ(o.AllocateCommonBuffer, &HalAllocateCommonBuffer);
  EXPECT_EQ(o.FreeCommonBuffer, &HalFreeCommonBuffer);
  EXPECT_EQ(o.AllocateAdapterChannel, &IoAllocateAdapterChannel);
  EXPECT_EQ(o.FlushAdapterBuffers, &IoFlushAdapterBuffers);
  EXPECT_EQ(o.FreeAdapterChannel, &IoFreeAdapterChannel);
  EXPECT_EQ(o.FreeMapRegisters, &IoFreeMapRegisters);
  EXPECT_EQ(o.MapTransfer, &IoMapTransfer);
  EXPECT_EQ(o.GetDmaAlignment, nullptr);
  EXPECT_EQ(o.ReadDmaCounter, nullptr);
  EXPECT_EQ(o.GetScatterGatherList, nullptr);
  EXPECT_EQ(o.PutScatterGatherList, nullptr);
  EXPECT_EQ(km::DmaAdapterCount(), 1u) << "from the HAL, without a device node";
  EXPECT_EQ(km::CommonBufferCount(), 1u);
  km::UnloadDriver(driver);
  driver = nullptr;
  EXPECT_EQ(km::CommonBufferCount(), 0u);
  EXPECT_EQ(km::DmaAdapterCount(), 0u) << "put back through the record";
}
