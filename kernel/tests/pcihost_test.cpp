// The PCI DSP boards on the simulated host interface, through the
// user-mode side: boot, mailbox errors and flush, the interrupt and its
// DPC, the stream interface's channel count, device mode and streams, and
// the families' commands.
#include "kernel/pciboard.h"
#include "kernel/striface.h"
#include "kernel/tests/fixture.h"
#include "sim/pcidsp/hostif.h"

#include <cstring>
#include <functional>
#include <thread>

namespace {
constexpr uint32_t ReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr uint32_t Firmware = 0x70430;

simbus::PciIdentity Identity(uint32_t boardId) { return {0x1057, 0x1801, 0x89AB, uint16_t(boardId & 0xFFFF)}; }
const char* UserName(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTvr:
    case BoardIdTv2: return "\\\\.\\Qvtvr0";
    case BoardIdCbl: return "\\\\.\\Qvcbl0";
    default: return "\\\\.\\Qvmio0";
  }
}
const char16_t* KernelName(uint32_t boardId) {
  switch (boardId) {
    case BoardIdTvr:
    case BoardIdTv2: return u"\\Device\\Qvtvr0";
    case BoardIdCbl: return u"\\Device\\Qvcbl0";
    default: return u"\\Device\\Qvmio0";
  }
}

NTSTATUS Ioctl(UmHandle h, uint32_t code, const void* in = nullptr, uint32_t inLen = 0, void* out = nullptr,
               uint32_t outLen = 0, uint32_t* got = nullptr) {
  uint32_t dummy = 0;
  return UmIoControl(h, code, in, inLen, out, outLen, got ? got : &dummy);
}

// The commands of one code the firmware received.
std::vector<simpcidsp::Command> Of(const simpcidsp::HostInterface& hi, uint32_t code) {
  std::vector<simpcidsp::Command> found;
  for (const auto& c : hi.commands)
    if (c.code == code) found.push_back(c);
  return found;
}
}  // namespace

class PciHostTest : public KernelTest {
 protected:
  // Also between the rounds of one test, each on a fresh machine.
  void TearDown() override {
    if (handle) UmClose(handle);
    if (pdo) RemoveNode(pdo);
    KernelTest::TearDown();
    if (hi) simbus::Unplace(hi.get());
    hi.reset();
    handle = 0;
    pdo = nullptr;
    driver = nullptr;
  }
  // One board of the family on its simulated host interface; opened and
  // attached; booted unless asked not to.
  void Arrive(uint32_t boardId, bool boot = true, uint32_t channelCount = 0) {
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    id = boardId;
    hi = std::make_unique<simpcidsp::HostInterface>(boardId);
    simbus::DeviceNode node = simbus::PciNode(Identity(boardId), 1);
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, hi.get());
    vector = node.resources[1].vector;
    if (channelCount)
      km::RegWriteDword(u"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\SIM\\0\\Device Parameters",
                        u"ChannelCount", channelCount);
    km::Arrival a = KernelTest::Arrive(node);
    ASSERT_EQ(a.startStatus, STATUS_SUCCESS);
    pdo = a.pdo;
    ASSERT_EQ(UmOpen(UserName(boardId), ReadWrite, ShareAll, &handle), STATUS_SUCCESS);
    Ioctl(handle, IOCTL_QV_ATTACH);
    if (boot) {
      ASSERT_EQ(Boot(Firmware), STATUS_SUCCESS);
    }
  }
  NTSTATUS Boot(uint32_t firmware) {
    std::vector<uint8_t> image = simpcidsp::BootImageBytes(id, firmware);
    return Ioctl(handle, IOCTL_QV_BOOT, image.data(), uint32_t(image.size()));
  }
  CPciDsp* Dsp() { return static_cast<CPciBoardDevice*>(Board(KernelName(id)))->Dsp(); }
  NTSTATUS DeviceMode(uint32_t rate, uint32_t variSpeed, uint32_t flags) {
    uint32_t record[3] = {rate, variSpeed, flags};
    return Ioctl(handle, IOCTL_QV_DEVICE_MODE, record, sizeof record);
  }

  uint32_t id = 0;
  std::unique_ptr<simpcidsp::HostInterface> hi;
  DEVICE_OBJECT* pdo = nullptr;
  UmHandle handle = 0;
  uint32_t vector = 0;
};

// ---- boot ----------------------------------------------------------------------------------------

TEST_F(PciHostTest, BootStartsTheFirmwareAndABootWhileRunningResetsItFirst) {
  Arrive(BoardIdTvr, false);
  EXPECT_EQ(hi->bootstrapPrograms.size(), 6u) << "the start words went to the bootstrap";
  EXPECT_EQ(hi->bootstrapPrograms[2], 0x08F4BDu);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_BOOT), STATUS_BUS_RESET) << "an empty boot leaves the DSP reset";
  km::ClearEventLog();
  ASSERT_EQ(Boot(Firmware), STATUS_SUCCESS);
  EXPECT_TRUE(hi->Running());
  EXPECT_EQ(hi->Firmware(), Firmware);
  EXPECT_EQ(hi->Pending(), 0u) << "the post words are drained";
  auto log = km::EventLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().code, 0x40060003u);
  EXPECT_EQ(log.back().text, u"Firmware 70430 post data");
  EXPECT_EQ(log.back().dump.size(), 8u);

  hi->hcvrWrites.clear();
  ASSERT_EQ(Boot(0x70431), STATUS_SUCCESS);
  ASSERT_FALSE(hi->hcvrWrites.empty());
  EXPECT_EQ(hi->hcvrWrites.front(), 0x806Du) << "the running firmware is reset first";
  EXPECT_EQ(hi->Firmware(), 0x70431u);
  uint32_t words[3] = {};
  Ioctl(handle, IOCTL_QV_GET_ID, nullptr, 0, words, sizeof words);
  EXPECT_EQ(words[1], 0x70431u);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_BOOT), STATUS_BUS_RESET) << "an empty boot resets a running DSP too";
  EXPECT_FALSE(hi->Running());
}

TEST_F(PciHostTest, BadImagesAndAStartThatNeverComesLeaveTheDspReset) {
  Arrive(BoardIdTvr, false);
  std::vector<uint8_t> good = simpcidsp::BootImageBytes(BoardIdTvr, Firmware);
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    NTSTATUS status;
  };
  std::vector<uint8_t> other = simpcidsp::BootImageBytes(BoardIdMio, Firmware);
  const Case cases[] = {
      {"20 bytes cannot hold word 5", std::vector<uint8_t>(good.begin(), good.begin() + 20), STATUS_BUFFER_TOO_SMALL},
      {"23 bytes neither", std::vector<uint8_t>(good.begin(), good.begin() + 23), STATUS_BUFFER_TOO_SMALL},
      {"another board's image", other, STATUS_INVALID_PARAMETER},
  };
  for (const auto& c : cases) {
    hi->hcvrWrites.clear();
    EXPECT_EQ(Ioctl(handle, IOCTL_QV_BOOT, c.image.data(), uint32_t(c.image.size())), c.status) << c.what;
    ASSERT_FALSE(hi->hcvrWrites.empty()) << c.what;
    EXPECT_EQ(hi->hcvrWrites.back(), 0x806Du) << c.what;
  }
  hi->failBoots = 1;
  EXPECT_EQ(Boot(Firmware), STATUS_IO_TIMEOUT);
  EXPECT_FALSE(hi->Running());
  EXPECT_EQ(Boot(Firmware), STATUS_SUCCESS) << "the next boot goes through";
}

// ---- the mailbox -----------------------------------------------------------------------------------

TEST_F(PciHostTest, MailboxErrorsAreReportedAndFlushedBeforeTheNextCommand) {
  Arrive(BoardIdTvr);
  const uint32_t code = 0x83AE3224;  // command 0x800011
  uint32_t word = 7, reply = 0, got = 0;

  hi->errorHeader = 0x810000;
  EXPECT_EQ(Ioctl(handle, code, &word, 4, &reply, 4), NTSTATUS(0xC0060081));

  hi->overlong = true;
  EXPECT_EQ(Ioctl(handle, code, &word, 4, &reply, 4), STATUS_DATA_ERROR);
  EXPECT_EQ(hi->Pending(), 0u) << "the reply's rest is flushed";
  EXPECT_GE(hi->flushes, 1u) << "the firmware asked for the flush";

  ASSERT_EQ(Ioctl(handle, code, &word, 4, &reply, 4, &got), STATUS_SUCCESS) << "the next command starts clean";
  EXPECT_EQ(got, 4u);
  EXPECT_EQ(reply, 7u);

  hi->silence = true;
  EXPECT_EQ(Ioctl(handle, code, &word, 4, &reply, 4), STATUS_IO_TIMEOUT);
  hi->silence = false;
  hi->stall = true;
  EXPECT_EQ(Ioctl(handle, code, &word, 4, &reply, 4), STATUS_IO_TIMEOUT);
}

TEST_F(PciHostTest, PassThroughCommandsPerFamily) {
  struct Case {
    uint32_t boardId, command;
  };
  for (Case c : {Case{BoardIdTvr, 0x800011}, Case{BoardIdMio, 0x800089}}) {
    SCOPED_TRACE(c.boardId);
    Arrive(c.boardId);
    uint32_t words[2] = {0x11, 0x22};
    ASSERT_EQ(Ioctl(handle, 0x83AE3224, words, 8), STATUS_SUCCESS);
    ASSERT_FALSE(hi->commands.empty());
    const auto& sent = hi->commands.back();
    EXPECT_EQ(sent.code, c.command);
    EXPECT_EQ(sent.count, 4u);
    EXPECT_EQ(sent.words, (std::vector<uint32_t>{0x11, 0x22}));
    TearDown();
    SetUp();
  }
}

TEST_F(PciHostTest, DspMemoryWritesBeyondTheMailboxGoInPieces) {
  Arrive(BoardIdTvr);
  std::vector<uint32_t> in = {0x800000 | 25, 100};
  for (uint32_t i = 0; i < 25; ++i) in.push_back(0x1000 + i);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_DSP_MEMORY, in.data(), uint32_t(in.size() * 4)), STATUS_SUCCESS);
  auto sent = Of(*hi, 2);
  ASSERT_EQ(sent.size(), 3u);
  for (const auto& c : sent) EXPECT_LE(c.count, 14u);
  EXPECT_EQ(hi->DspMemory(100), 0x1000u);
  EXPECT_EQ(hi->DspMemory(124), 0x1000u + 24);
  uint32_t read[2] = {2, 123}, out[2] = {};
  uint32_t got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_DSP_MEMORY, read, 8, out, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 8u);
  EXPECT_EQ(out[1], 0x1000u + 24);
}

TEST_F(PciHostTest, LoadSendsTheProgramBytesAndAppliesTheModeAgain) {
  Arrive(BoardIdTvr);
  auto* board = static_cast<CPciBoardDevice*>(Board(KernelName(id)));
  EXPECT_EQ(board->Inputs(), 16u) << "the board's channels are known from its start";
  EXPECT_FALSE(board->WdmOn());
  std::vector<uint8_t> program = simpcidsp::LoadImage(0x70430, 3, 4);
  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_LOAD, program.data(), uint32_t(program.size())), STATUS_SUCCESS);
  EXPECT_EQ(hi->UnitWord(), 0x70430u);
  ASSERT_GE(hi->commands.size(), 2u);
  EXPECT_EQ(hi->commands[0].code, 1u);
  EXPECT_EQ(hi->commands[1].code, 10u) << "the device mode is applied again";
  EXPECT_TRUE(board->WdmOn()) << "a loaded program switches the board's interfaces on";
  EXPECT_TRUE(board->GsifOn());
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_LOAD, program.data(), 3), STATUS_INVALID_PARAMETER);
}

// ---- the interrupt -----------------------------------------------------------------------------------

namespace {
// A Tavrion whose stream engine reports a given state byte.
struct EngineProbe : CBoardTvr {
  EngineProbe() : CBoardTvr(nullptr) {}
  uint8_t InterruptStep() override { return state; }
  void DpcStep() override { ++dpcs; }
  uint8_t state = 0;
  int dpcs = 0;
};
}  // namespace

TEST_F(PciHostTest, TheInterruptIgnoresOtherBoardsAndQueuesTheDpcOnlyOnAChange) {
  simpcidsp::HostInterface board(BoardIdTvr);
  constexpr uint64_t Base = 0xE8000000;
  simbus::Place(simbus::ResKind::Memory, Base, 0x10000, &board);
  void* regs = MmMapIoSpace(Base, 0x10000, 0);
  ASSERT_NE(regs, nullptr);
  {
    EngineProbe probe;
    probe.CDspDevice::Start(HwRegs{reinterpret_cast<uintptr_t>(regs), false}, HwRegs{});
    probe.InitBoardDpcs();
    EXPECT_FALSE(CPciDsp::BoardIsr(nullptr, &probe)) << "bit 6 clear: another board's interrupt";
    EXPECT_EQ(probe.LastInterrupt(), 0);

    struct Step {
      uint8_t state;
      int dpcs;
    };
    // The DPC clears the last state, so the same state after it runs counts
    // as a change again; a state the DPC has not seen yet does not.
    const Step steps[] = {{0, 0}, {1, 1}, {1, 2}, {2, 3}};
    for (const Step& s : steps) {
      probe.state = s.state;
      board.RaiseBlock();
      EXPECT_TRUE(CPciDsp::BoardIsr(nullptr, &probe));
      EXPECT_FALSE(board.InterruptPending()) << "acknowledged";
      KeFlushQueuedDpcs();
      EXPECT_EQ(probe.dpcs, s.dpcs) << int(s.state);
    }
    EXPECT_NE(probe.LastInterrupt(), 0);
    probe.CDspDevice::Stop();
  }
  MmUnmapIoSpace(regs, 0x10000);
  simbus::Unplace(&board);
}

TEST_F(PciHostTest, TheConnectedInterruptServesOnlyItsOwnBoard) {
  Arrive(BoardIdTvr);
  hi->interruptLine = [this] { km::RaiseInterrupt(vector + 0x30); };
  hi->RaiseForeign();
  EXPECT_EQ(Dsp()->LastInterrupt(), 0) << "this board shows no request";
  hi->RaiseBlock();
  EXPECT_FALSE(hi->InterruptPending());
  EXPECT_NE(Dsp()->LastInterrupt(), 0);
}

// ---- the stream interface --------------------------------------------------------------------------------

TEST_F(PciHostTest, ChannelCountLowersTheBoardRoundedUpToEven) {
  struct Case {
    uint32_t value;
    uint8_t channels;
  };
  for (Case c : {Case{7, 8}, Case{2, 2}, Case{16, 16}, Case{40, 16}, Case{0xFFFFFFFF, 16}}) {
    Arrive(BoardIdTvr, false, c.value);
    EXPECT_EQ(Dsp()->Stream()->ChannelCount(), c.channels) << c.value;
    TearDown();
    SetUp();
  }
}

TEST_F(PciHostTest, DeviceModeChangesAreFlaggedStoredAndSentOnce) {
  Arrive(BoardIdTvr);
  CStrIface* s = Dsp()->Stream();
  DeviceModeRecord base = s->Mode();
  struct Case {
    const char* what;
    uint32_t rate;
    int16_t variSpeed;
    uint32_t flags;
    uint32_t changes;
  };
  const uint32_t f = base.flags;
  const Case cases[] = {
      {"the same record", base.rate, base.variSpeed, f, 0},
      {"rate", 48000, base.variSpeed, f, ModeRateChanged},
      {"vari-speed", 48000, 100, f, ModeRateChanged},
      {"frame word", 48000, 100, (f & ~0xFFFFu) | 30000, ModeFrameChanged},
      {"bit 31", 48000, 100, ((f & ~0xFFFFu) | 30000) | ModeSystemRate, ModeSyncChanged},
      {"nibbles", 48000, 100, ((f & ~0xFFFFu) | 30000) | ModeSystemRate | 0x00350000,
       ModeNibbleHighChanged | ModeNibbleLowChanged},
      {"rate with bit 31", 96000, 100, ((f & ~0xFFFFu) | 30000) | ModeSystemRate | 0x00350000, ModeRateChanged},
  };
  for (const auto& c : cases) {
    size_t before = hi->commands.size();
    uint32_t changes = 99;
    Dsp()->Lock();
    EXPECT_EQ(s->SetDeviceMode({c.rate, c.variSpeed, c.flags, {}}, &changes), STATUS_SUCCESS) << c.what;
    Dsp()->Unlock();
    EXPECT_EQ(changes, c.changes) << c.what;
    EXPECT_EQ(hi->commands.size(), before + (c.changes ? 1 : 0)) << c.what;
  }
  auto rate = Of(*hi, 10);
  ASSERT_FALSE(rate.empty());
  EXPECT_EQ(rate.back().words, (std::vector<uint32_t>{96000, 96096, 0})) << "rate + rate x vari-speed / 100000";
  // Bit 31 set: "DeviceMode" written back, and the rates are the system's.
  auto* board = static_cast<CPciBoardDevice*>(Board(KernelName(id)));
  ASSERT_NE(board->ModeLink(), nullptr);
  HANDLE key;
  ASSERT_EQ(KsOpenInterfaceKey(board->ModeLink(), &key), STATUS_SUCCESS);
  uint32_t mode = 0;
  EXPECT_EQ(KsRegReadDword(key, u"DeviceMode", &mode), STATUS_SUCCESS);
  KsRegClose(key);
  EXPECT_EQ(mode, 1u);
  EXPECT_EQ(g_QvWave->SampleRate(), 96000u) << "bit 31: the board's rate is the system's";

  // Through the request: the same record sends nothing; rate 0 is refused.
  size_t before = hi->commands.size();
  const DeviceModeRecord& now = s->Mode();
  EXPECT_EQ(DeviceMode(now.rate, uint16_t(now.variSpeed), now.flags), STATUS_SUCCESS);
  EXPECT_EQ(hi->commands.size(), before);
  EXPECT_EQ(DeviceMode(0, 0, 0), STATUS_INVALID_PARAMETER);
  uint32_t out[3] = {};
  uint32_t got = 0;
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_DEVICE_MODE, nullptr, 0, out, sizeof out, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 12u);
  EXPECT_EQ(out[0], 96000u);
}

TEST_F(PciHostTest, StreamsSendTheActiveBlocksWordAndTheLastStopSendsThree) {
  Arrive(BoardIdTvr, true, 0);
  CStrIface* s = Dsp()->Stream();
  hi->commands.clear();
  Dsp()->Lock();
  EXPECT_EQ(s->StreamStart(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStart(0, 0), STATUS_SUCCESS) << "same word: nothing sent";
  EXPECT_EQ(s->StreamStart(0, 1), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStop(0, 1), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_INVALID_PARAMETER) << "no stream left";
  EXPECT_EQ(s->StreamStart(1, 0), STATUS_INVALID_PARAMETER) << "a block the board does not have";
  Dsp()->Unlock();
  std::vector<std::pair<uint32_t, uint32_t>> sent;
  for (const auto& c : hi->commands) sent.push_back({c.code, c.words.empty() ? 0xFFFFFFFF : c.words[0]});
  EXPECT_EQ(sent, (std::vector<std::pair<uint32_t, uint32_t>>{{4, 2}, {4, 3}, {4, 2}, {3, 0}}));
  EXPECT_EQ(s->RunningStreams(), 0u);
}

// ---- the families ------------------------------------------------------------------------------------------

TEST_F(PciHostTest, SecondGenerationClockWords) {
  Arrive(BoardIdTv2);
  struct Case {
    uint32_t rate, flags, c, t;
  };
  const Case cases[] = {{96000, 0, 48000, 0xA00A3}, {44100, 0, 44100, 0xA3}, {192000, 0, 48000, 0xE00A3},
                        {22050, 0, 22050, 0x100A3}};
  for (const auto& k : cases) {
    hi->commands.clear();
    ASSERT_EQ(DeviceMode(k.rate, 0, k.flags), STATUS_SUCCESS) << k.rate;
    auto rate = Of(*hi, 10), clock = Of(*hi, 11);
    ASSERT_EQ(rate.size(), 1u) << k.rate;
    ASSERT_EQ(clock.size(), 1u) << k.rate;
    EXPECT_EQ(rate[0].words[1], k.c) << k.rate;
    EXPECT_EQ(clock[0].words[3], k.t) << k.rate;
    EXPECT_EQ(clock[0].words[1], k.rate < 100000 ? 0x240021u : 0x400021u) << k.rate;
  }
  hi->commands.clear();
  ASSERT_EQ(DeviceMode(48000, 0, 0), STATUS_SUCCESS);
  uint32_t internal = Of(*hi, 11).at(0).words[0];
  hi->commands.clear();
  ASSERT_EQ(DeviceMode(48000, 0, ModeSystemRate), STATUS_SUCCESS);
  auto clock = Of(*hi, 11);
  ASSERT_EQ(clock.size(), 1u);
  EXPECT_NE(clock[0].words[0], internal) << "external sync sends its own word";
  EXPECT_TRUE(clock[0].words[0] & 0x1000);

  // SET_PARAM stores both words as "DeviceConfig".
  uint32_t words[2] = {0x800064, 0x801064}, out[2] = {};
  uint32_t got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_PARAM, words, 8, out, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 8u);
  EXPECT_EQ(out[0], 0x800064u & CBoardTv2::ClockMask);
  uint32_t status[4] = {};
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, status, 2, &got), STATUS_BUFFER_TOO_SMALL);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, status, 16, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 16u);
  EXPECT_EQ(hi->clockWords.size(), 4u);

  // Lost clocks that the stored words select (sources 4 and 5) are re-armed
  // by one word; another lost clock is left alone.
  uint32_t sources[2] = {0x000400, 0x000500};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_PARAM, sources, 8), STATUS_SUCCESS);
  hi->status[1] = (1u << 5) | (1u << 7);
  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, status, 16, &got), STATUS_SUCCESS);
  auto rearm = Of(*hi, 11);
  ASSERT_EQ(rearm.size(), 1u);
  EXPECT_EQ(rearm[0].words, std::vector<uint32_t>{1u << 5});
  EXPECT_EQ(hi->status[1], 1u << 7);
  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, status, 16, &got), STATUS_SUCCESS);
  EXPECT_TRUE(Of(*hi, 11).empty());
}

TEST_F(PciHostTest, ExpansionQuerySpreadsTheValueAndChecksTheAnswer) {
  Arrive(BoardIdTvr);
  uint32_t value = 0x12345, answer = 0, got = 0;
  uint32_t eight[2] = {1, 2};
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_EXT_QUERY, eight, 8, &answer, 4), STATUS_INVALID_BUFFER_SIZE);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_EXT_QUERY, &value, 4, eight, 8), STATUS_INVALID_BUFFER_SIZE);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_EXT_QUERY, &value, 4, &answer, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(Of(*hi, 9).back().words[0], 0xF12345u) << "the carries go above the 20 bits";
  EXPECT_EQ(answer, 0x12345u);
  EXPECT_EQ(got, 4u);
  hi->extAnswer = [](uint32_t) { return 0x00300000u; };
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_EXT_QUERY, &value, 4, &answer, 4), STATUS_DATA_ERROR);
}

TEST_F(PciHostTest, CorbelleBootIsTriedFiveTimesWhileTheFirmwareRefusesItsStart) {
  Arrive(BoardIdCbl, false);
  hi->refuseStarts = -1;
  EXPECT_EQ(Boot(Firmware), STATUS_DATA_ERROR);
  EXPECT_EQ(Of(*hi, 0).size(), 5u);
  hi->commands.clear();
  hi->refuseStarts = 2;
  EXPECT_EQ(Boot(Firmware), STATUS_SUCCESS);
  EXPECT_EQ(Of(*hi, 0).size(), 3u);
  EXPECT_EQ(hi->hctr, 0x4920u) << "the stream program runs";
  ASSERT_NE(static_cast<CBoardCbl*>(Dsp())->Expansion(), nullptr);
}

// Only the expansion and Mixer I/O cards' boots start the stream program
// with the common buffer's address (command 0). The Tavrion classes boot
// without it: their firmware never learns where the sample memory is, so
// the board moves no audio through it and their streams hear silence.
TEST_F(PciHostTest, OnlyTheExpansionAndMixerIoBootsHandTheFirmwareTheCommonBuffer) {
  struct Case {
    uint32_t boardId;
    bool started;
  } cases[] = {{BoardIdTvr, false}, {BoardIdTv2, false}, {BoardIdCbl, true}, {BoardIdMio, true}};
  for (const Case& c : cases) {
    Arrive(c.boardId);
    EXPECT_EQ(Of(*hi, 0).size(), c.started ? 1u : 0u) << std::hex << c.boardId;
    EXPECT_EQ(hi->StreamMemory() != 0, c.started) << std::hex << c.boardId;
    if (c.started) {
      EXPECT_EQ(hi->StreamMemory(), Dsp()->Stream()->CommonBufferAddress());
    }
    TearDown();
    SetUp();
  }
}

TEST_F(PciHostTest, TheRunningStreamProgramTakesCommandsInTheSharedMailbox) {
  Arrive(BoardIdMio);
  EXPECT_EQ(g_KsDmaOperations.Size, 0u) << "Plug and Play kernels use the adapters' own operations";
  EXPECT_EQ(km::CommonBufferCount(), 1u);
  ASSERT_TRUE(hi->StreamProgram());
  EXPECT_EQ(hi->CommonBuffer(), Dsp()->Stream()->CommonBufferAddress()) << "command 0 gave the bus address";
  uint32_t word = 0x55, reply = 0, got = 0;
  ASSERT_EQ(Ioctl(handle, 0x83AE3004, &word, 4, &reply, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(hi->sharedCommands, 1u);
  EXPECT_EQ(reply, 0x55u);
  EXPECT_EQ(got, 4u);
  hi->errorHeader = 0x810000;
  EXPECT_EQ(Ioctl(handle, 0x83AE3004, &word, 4, &reply, 4), NTSTATUS(0xC0060081));
  hi->silence = true;
  hi->hcvrWrites.clear();
  EXPECT_EQ(Ioctl(handle, 0x83AE3004, &word, 4, &reply, 4), STATUS_IO_TIMEOUT);
  EXPECT_EQ(hi->hcvrWrites.back(), 0x8069u) << "a timed-out program is stopped";
  hi->silence = false;
  TearDown();
  EXPECT_EQ(km::CommonBufferCount(), 0u);
  EXPECT_EQ(km::DmaAdapterCount(), 0u);
  SetUp();
}

TEST_F(PciHostTest, CorbelleDestinations) {
  struct Case {
    uint8_t type, index;
    uint32_t destination;
  };
  const Case cases[] = {{0, 0, 16}, {0, 5, 26 + 1 + 16}, {1, 7, 26 + 3 + 20}, {2, 0, 0},
                        {2, 3, 1 + 26}, {9, 31, 1 + 15 * 26 + 14}, {0, 63, 15 * 26 + 3 + 16}};
  for (const auto& c : cases)
    EXPECT_EQ(CBoardCbl::Destination(c.type, c.index), c.destination) << int(c.type) << "/" << int(c.index);
}

TEST_F(PciHostTest, CorbelleRoutesAreCheckedFirstAndSentTenToACommand) {
  Arrive(BoardIdCbl);
  auto entry = [](uint8_t type, uint8_t index, uint16_t value) {
    return uint32_t(type) | uint32_t(index) << 8 | uint32_t(value) << 16;
  };
  // Twelve bank-0 routes: types 2 and 3, sources 5 (twice, neighbours), then 6..
  std::vector<uint32_t> routes;
  for (uint8_t i = 0; i < 12; ++i) routes.push_back(entry(2, i, i < 2 ? 5 : uint16_t(4 + i)));
  std::vector<uint32_t> bad = routes;
  bad.push_back(entry(2, 32, 1));  // index beyond 31
  hi->commands.clear();
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, bad.data(), uint32_t(bad.size() * 4)), STATUS_INVALID_PARAMETER);
  EXPECT_TRUE(Of(*hi, 6).empty()) << "nothing changed";

  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), uint32_t(routes.size() * 4)), STATUS_SUCCESS);
  auto sent = Of(*hi, 6);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].words.size(), 10u);
  EXPECT_EQ(sent[1].words.size(), 2u);
  // Destinations 0 and 1 both from source 5: the first starts it, the
  // second follows its neighbour.
  EXPECT_EQ(sent[0].words[0], ((0u | 0x2000) << 8 | 5) | 0x80000 | 0x40000);
  EXPECT_EQ(sent[0].words[1], ((1u | 0x2000) << 8 | 5) | 0x80000 | 0x20000);
  for (uint8_t i = 0; i < 12; ++i) {
    const auto& r = hi->router[0][CBoardCbl::Destination(2, i)];
    EXPECT_TRUE(r.on) << int(i);
    EXPECT_EQ(r.source, i < 2 ? 5 : 4 + i) << int(i);
  }
  // A bank-1 route that is off.
  hi->commands.clear();
  uint32_t off = entry(3, 0, 0xC000 | 9);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, &off, 4), STATUS_SUCCESS);
  sent = Of(*hi, 6);
  ASSERT_EQ(sent.size(), 1u);
  uint32_t d = CBoardCbl::Destination(3, 0);
  EXPECT_EQ(sent[0].words, (std::vector<uint32_t>{(((d | 0x4000) << 8) | 0xFF) | 0x20000}));
  EXPECT_FALSE(hi->router[1][d].on);
}

TEST_F(PciHostTest, CorbelleParametersFromTheOwner) {
  Arrive(BoardIdCbl, false);
  uint32_t word = 0x40F0210;
  ASSERT_EQ(Boot(Firmware), STATUS_SUCCESS);
  ASSERT_TRUE(hi->Running());
  uint32_t out = 0, got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_PARAM, &word, 4, &out, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(out, word);
  uint32_t status[4] = {};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, status, 16, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 16u);
  uint8_t mode = 1, back = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_EXP_SETTING, &mode, 1, &back, 1), STATUS_SUCCESS);
  EXPECT_EQ(back, 1);
}

// The second word follows the other boards' rule: the halved rate (from
// 50000 on) adjusted by the vari-speed.
TEST_F(PciHostTest, CorbelleRateCommandKeepsTheVariSpeed) {
  Arrive(BoardIdCbl);
  struct Case {
    uint32_t rate;
    int16_t variSpeed;
    uint32_t second;
  };
  for (Case c : {Case{96000, 100, 48048}, Case{48000, -100, 47952}, Case{50000, 0, 25000}, Case{44100, 0, 44100}}) {
    hi->commands.clear();
    ASSERT_EQ(DeviceMode(c.rate, uint16_t(c.variSpeed), 25025), STATUS_SUCCESS) << c.rate;
    auto rate = Of(*hi, 10);
    ASSERT_EQ(rate.size(), 1u) << c.rate;
    EXPECT_EQ(rate[0].words[0], c.rate);
    EXPECT_EQ(rate[0].words[1], c.second) << c.rate;
    EXPECT_EQ(rate[0].words[2], 25025u) << "25025 ^ (25025 >> 4) ^ ((25025 << 8) >> 12)";
  }
}

TEST_F(PciHostTest, CorbelleConverterRoutesGoInBatchesOfTenPairs) {
  Arrive(BoardIdCbl);
  uint32_t external = 0x40000000 | 0xF0210;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_PARAM, &external, 4), STATUS_SUCCESS);
  // Released and taken again: the converter's configuration is pending.
  Ioctl(handle, IOCTL_QV_DETACH);
  Ioctl(handle, IOCTL_QV_ATTACH);
  std::vector<uint32_t> routes;
  for (uint8_t i = 0; i < 12; ++i) routes.push_back(64u | uint32_t(i) << 8 | uint32_t(0x4000 | (0x40 + i)) << 16);
  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), uint32_t(routes.size() * 4)), STATUS_SUCCESS);
  std::vector<simpcidsp::Command> batches;
  for (const auto& c : Of(*hi, 9))
    if (!c.words.empty() && c.words[0] == 6) batches.push_back(c);
  ASSERT_EQ(batches.size(), 2u);
  EXPECT_EQ(batches[0].words[1], 9u) << "ten pairs";
  EXPECT_EQ(batches[1].words[1], 1u) << "two pairs";
  EXPECT_EQ(batches[1].words.size(), 12u) << "a batch always carries ten entries";
  EXPECT_EQ(hi->converterBatchEnds, 1u) << "only the short batch is followed by the word 5";
  for (uint8_t i = 0; i < 12; ++i) EXPECT_EQ(hi->converterRoutes[i], 0x40 + i) << int(i);
  EXPECT_EQ(hi->converterRoutes[12], 0x7F);

  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), uint32_t(routes.size() * 4)), STATUS_SUCCESS);
  auto again = Of(*hi, 9);
  ASSERT_EQ(again.size(), 1u) << "an unchanged table sends an empty batch's end alone";
  EXPECT_EQ(again[0].words, std::vector<uint32_t>{5});
}

// ---- stream starts -----------------------------------------------------------------------------------

namespace {
// The stream engine's side, recorded; `onReset` runs inside the reset.
struct RecordingEngine : CStreamEngineLink {
  std::vector<std::pair<int32_t, int32_t>> resets;
  int started = 0;
  bool bound = false;
  uint8_t state = 0;
  int steps = 0, dpcs = 0;
  std::function<void()> onReset;
  uint8_t InterruptStep() override {
    ++steps;
    return state;
  }
  void DpcStep() override { ++dpcs; }
  void ResetPosition(int32_t in, int32_t out) override {
    resets.push_back({in, out});
    if (onReset) onReset();
  }
  void FirstStartDone() override { ++started; }
  bool StreamBound(FILE_OBJECT*) override { return bound; }
};
const std::u16string SharedKey = u"\\Registry\\Machine\\Software\\Quorvale\\MultiMedia";
}  // namespace

TEST_F(PciHostTest, TheInterruptRunsTheStreamEnginesSteps) {
  Arrive(BoardIdTvr);
  RecordingEngine engine;
  engine.state = 3;
  Dsp()->Stream()->SetEngine(&engine);
  hi->interruptLine = [this] { km::RaiseInterrupt(vector + 0x30); };
  hi->RaiseBlock();
  KeFlushQueuedDpcs();
  EXPECT_EQ(engine.steps, 1);
  EXPECT_EQ(engine.dpcs, 1) << "the state byte changed";
  Dsp()->Stream()->SetEngine(nullptr);
}

TEST_F(PciHostTest, TheFirstStreamResetsThePositionAndClearsTheSampleMemory) {
  Arrive(BoardIdTvr);
  km::RegWriteDword(SharedKey, u"MtcInpOffset", 12);
  km::RegWriteDword(SharedKey, u"MtcOutOffset", uint32_t(-7));
  CStrIface* s = Dsp()->Stream();
  RecordingEngine engine;
  s->SetEngine(&engine);
  uint8_t* memory = s->BlockMemory(0);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(s->BlockRecord(0).busAddress, s->CommonBufferAddress());
  EXPECT_EQ(s->BlockRecord(0).channels, 16u);
  std::memset(memory, 0x5A, CStrIface::BlockBytes);
  ASSERT_NE(s->Scratch(), nullptr);

  EXPECT_EQ(s->StreamStart(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(engine.resets, (std::vector<std::pair<int32_t, int32_t>>{{12, -7}}));
  EXPECT_EQ(engine.started, 1);
  EXPECT_EQ(memory[0], 0) << "the sample memory is cleared";
  EXPECT_EQ(memory[CStrIface::BlockBytes - 1], 0);
  EXPECT_EQ(CStrIface::FirstBoard(), s);
  std::memset(memory, 0x5A, 16);
  EXPECT_EQ(s->StreamStart(0, 1), STATUS_SUCCESS);
  EXPECT_EQ(engine.resets.size(), 1u) << "only the first start resets";
  EXPECT_EQ(memory[0], 0x5A);
  UmClose(handle);
  handle = 0;
  EXPECT_EQ(km::PnpRequest(pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_UNSUCCESSFUL) << "streams run";
  EXPECT_EQ(s->StreamStop(0, 1), STATUS_SUCCESS);
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(CStrIface::FirstBoard(), nullptr);
  ASSERT_EQ(UmOpen(UserName(id), ReadWrite, ShareAll, &handle), STATUS_SUCCESS);
  Ioctl(handle, IOCTL_QV_ATTACH);

  // A first start on a board that runs no program changes nothing.
  Ioctl(handle, IOCTL_QV_BOOT);
  EXPECT_EQ(s->StreamStart(0, 0), STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(s->RunningStreams(), 0u);
  EXPECT_EQ(engine.started, 1);
  EXPECT_EQ(CStrIface::FirstBoard(), nullptr);
  s->SetEngine(nullptr);
}

TEST_F(PciHostTest, TheFirstStartReadsTheSystemRateAndTheStoredMode) {
  Arrive(BoardIdTvr);
  ASSERT_NE(g_QvWave, nullptr);
  g_QvWave->StoreRates(48000, 0, 30000);
  CStrIface* s = Dsp()->Stream();
  hi->commands.clear();
  EXPECT_EQ(s->StreamStart(0, 0), STATUS_SUCCESS);
  EXPECT_EQ(s->Mode().rate, 48000u);
  EXPECT_EQ(s->Mode().flags & 0xFFFF, 30000u);
  auto rates = Of(*hi, 10);
  ASSERT_EQ(rates.size(), 1u) << "the new rate went to the board before the stream started";
  EXPECT_EQ(rates[0].words[0], 48000u);
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_SUCCESS);
  hi->commands.clear();
  EXPECT_EQ(s->StreamStart(0, 0), STATUS_SUCCESS);
  EXPECT_TRUE(Of(*hi, 10).empty()) << "an unchanged mode sends nothing";
  EXPECT_EQ(s->StreamStop(0, 0), STATUS_SUCCESS);
}

TEST_F(PciHostTest, AFirstStartServesTheBoardWhoseStreamsRunFirst) {
  Arrive(BoardIdTvr);
  // A second Tavrion beside the first.
  simpcidsp::HostInterface hi2(BoardIdTvr);
  simbus::DeviceNode node = simbus::PciNode(Identity(BoardIdTvr), 2);
  simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, &hi2);
  km::Arrival a = KernelTest::Arrive(node);
  ASSERT_EQ(a.startStatus, STATUS_SUCCESS);
  UmHandle h2 = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvtvr1", ReadWrite, ShareAll, &h2), STATUS_SUCCESS);
  Ioctl(h2, IOCTL_QV_ATTACH);
  std::vector<uint8_t> image = simpcidsp::BootImageBytes(BoardIdTvr, Firmware);
  ASSERT_EQ(Ioctl(h2, IOCTL_QV_BOOT, image.data(), uint32_t(image.size())), STATUS_SUCCESS);
  CStrIface* first = Dsp()->Stream();
  CStrIface* second = static_cast<CPciBoardDevice*>(Board(u"\\Device\\Qvtvr1"))->Dsp()->Stream();
  EXPECT_EQ(Board(u"\\Device\\Qvtvr1")->FirstInput(), 16u) << "numbered behind the first board's channels";

  // Either board may be the one whose streams run first: the locks are
  // taken in one order whichever it is.
  struct Round {
    CStrIface *runs, *starts;
    simpcidsp::HostInterface *runsHi, *startsHi;
  };
  for (Round r : {Round{first, second, hi.get(), &hi2}, Round{second, first, &hi2, hi.get()}}) {
    ASSERT_EQ(r.runs->StreamStart(0, 0), STATUS_SUCCESS);
    EXPECT_EQ(CStrIface::FirstBoard(), r.runs);
    r.runsHi->commands.clear();
    RecordingEngine engine;
    size_t servedBefore = 0;
    engine.onReset = [&] { servedBefore = Of(*r.runsHi, 4).size(); };
    r.starts->SetEngine(&engine);
    ASSERT_EQ(r.starts->StreamStart(0, 1), STATUS_SUCCESS);
    EXPECT_EQ(servedBefore, 1u) << "the running board got its word again before this one started";
    EXPECT_EQ(Of(*r.runsHi, 4)[0].words[0], 2u);
    EXPECT_EQ(Of(*r.startsHi, 4).back().words[0], 1u);
    EXPECT_EQ(CStrIface::FirstBoard(), r.runs);
    r.starts->SetEngine(nullptr);
    EXPECT_EQ(r.starts->StreamStop(0, 1), STATUS_SUCCESS);
    EXPECT_EQ(r.runs->StreamStop(0, 0), STATUS_SUCCESS);
  }

  // Both boards starting and stopping at once, each serving the other in
  // turn: taken in one order, their locks never wait on each other.
  auto churn = [](CStrIface* s, uint32_t direction, int* failures) {
    for (int i = 0; i < 50; ++i) {
      if (!NT_SUCCESS(s->StreamStart(0, direction)) || !NT_SUCCESS(s->StreamStop(0, direction))) ++*failures;
    }
  };
  int failures[2] = {};
  std::thread one(churn, first, 0, &failures[0]), two(churn, second, 1, &failures[1]);
  one.join();
  two.join();
  EXPECT_EQ(failures[0] + failures[1], 0);
  EXPECT_EQ(first->RunningStreams() + second->RunningStreams(), 0u);
  EXPECT_EQ(CStrIface::FirstBoard(), nullptr);
  UmClose(h2);
  RemoveNode(a.pdo);
  simbus::Unplace(&hi2);
}

TEST_F(PciHostTest, ChannelRecordsAndTheBoardsChannelInfo) {
  Arrive(BoardIdMio, true, 6);
  CStrIface* s = Dsp()->Stream();
  s->SetChannelValues(5, 0x1234, 0x5678);
  s->SetChannelValues(6, 1, 1);  // beyond the board's channels: ignored
  uint16_t values[8][2] = {};
  uint32_t got = 0;
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_GET_CHANNELS, nullptr, 0, values, 20, &got), STATUS_BUFFER_TOO_SMALL);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_CHANNELS, nullptr, 0, values, sizeof values, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 24u);
  EXPECT_EQ(values[5][0], 0x1234);
  EXPECT_EQ(values[5][1], 0x5678);

  qvChannelInfo info{};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_WAVE_MAP, nullptr, 0, &info, sizeof info, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 36u);
  EXPECT_EQ(info.firstInput, 0);
  EXPECT_EQ(info.inputs, 6);
  EXPECT_EQ(info.outputs, 6);
  EXPECT_EQ(info.minFrames, 128u);
  EXPECT_EQ(info.maxFrames, 0x100000u);
  EXPECT_EQ(info.sampleRate, s->Mode().rate);
  EXPECT_EQ(info.boardId, uint32_t(BoardIdMio));
  uint8_t zero = 0, one = 1;
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_WAVE_MAP, &zero, 1, &info, sizeof info), STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_WAVE_MAP, &one, 1, &info, sizeof info), STATUS_INVALID_PARAMETER);
}

TEST_F(PciHostTest, ALoadIsRefusedWhileAStreamIsBoundToTheHandle) {
  Arrive(BoardIdTvr);
  RecordingEngine engine;
  engine.bound = true;
  Dsp()->Stream()->SetEngine(&engine);
  std::vector<uint8_t> program = simpcidsp::LoadImage(Firmware, 1, 2);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_LOAD, program.data(), uint32_t(program.size())), STATUS_DEVICE_BUSY);
  EXPECT_TRUE(Of(*hi, 1).empty()) << "nothing reached the board";
  engine.bound = false;
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_LOAD, program.data(), uint32_t(program.size())), STATUS_SUCCESS);
  Dsp()->Stream()->SetEngine(nullptr);
}

// ---- status and information -----------------------------------------------------------------------------

TEST_F(PciHostTest, StatusAndInformationWordsFromTheRunningProgram) {
  Arrive(BoardIdTvr);
  hi->status[0] = 0x11;
  hi->status[1] = 0x22;
  hi->status[2] = 0x33;
  uint32_t words[8] = {}, got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_STATUS, nullptr, 0, words, 24, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 24u);
  EXPECT_EQ(words[0], 0x70430u);
  EXPECT_EQ(words[2], uint32_t(BoardIdTvr));
  EXPECT_EQ(words[3], 0x11u) << "command 7's words from +12";
  EXPECT_EQ(words[5], 0x33u);
  hi->commands.clear();
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_STATUS, nullptr, 0, words, 12, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 12u);
  EXPECT_TRUE(hi->commands.empty()) << "no room for status words: nothing asked";

  uint32_t info[8] = {};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_INFO, nullptr, 0, info, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 8u);
  EXPECT_EQ(info[0], 0u) << "nothing reported yet";
  EXPECT_TRUE(hi->commands.empty()) << "a short request is answered at once";
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_INFO, nullptr, 0, info, 32, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 32u);
  EXPECT_EQ(info[0], uint32_t(BoardIdTvr));
  EXPECT_EQ(info[4], uint32_t(BoardIdTvr)) << "command 12's words from +16";
  EXPECT_EQ(info[5], 0x70430u);
  std::memset(info, 0, sizeof info);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_INFO, nullptr, 0, info, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(info[1], 0x70430u) << "the information words are kept";

  Ioctl(handle, IOCTL_QV_BOOT);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_STATUS, nullptr, 0, words, 24, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 12u) << "a board that runs nothing gives its identity alone";
}
