// The Dunvell board on its simulated controller, through the user-mode
// side: start, interrupt, clock set-up, DSP and flash boots, pass-through
// operations with their time-out and "ResetOnError", the stream commands,
// the parameter codes and the router.
#include "kernel/pciboard.h"
#include "kernel/striface.h"
#include "kernel/tests/fixture.h"
#include "sim/pcidsp/dunvell.h"
#include "sim/pcidsp/hostif.h"

#include <cstring>
#include <memory>
#include <set>

namespace {
constexpr uint32_t ReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr uint32_t Firmware = 0x70430;

NTSTATUS Ioctl(UmHandle h, uint32_t code, const void* in = nullptr, uint32_t inLen = 0, void* out = nullptr,
               uint32_t outLen = 0, uint32_t* got = nullptr) {
  uint32_t dummy = 0;
  return UmIoControl(h, code, in, inLen, out, outLen, got ? got : &dummy);
}
uint32_t PassThrough(uint32_t dsp, uint32_t op) { return IOCTL_QV_DSP + (dsp * 64 + op) * 4; }
uint32_t Route(uint8_t type, uint8_t index, uint16_t value) {
  return uint32_t(type) | uint32_t(index) << 8 | uint32_t(value) << 16;
}
}  // namespace

class DunvellTest : public KernelTest {
 protected:
  void TearDown() override {
    if (handle) UmClose(handle);
    if (pdo) RemoveNode(pdo);
    KernelTest::TearDown();
    if (board) simbus::Unplace(board.get());
  }
  NTSTATUS Arrive(uint32_t dsps, bool wide = false, std::function<void(simpcidsp::Dunvell&)> before = {}) {
    EXPECT_EQ(Load(), STATUS_SUCCESS);
    board = std::make_unique<simpcidsp::Dunvell>(dsps, wide);
    if (before) before(*board);
    simbus::DeviceNode node = simbus::PciNode({0x1556, 0x1101, 0, 0}, 1);
    vector = node.resources[1].vector;
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, board.get());
    km::Arrival a = KernelTest::Arrive(node);
    pdo = a.pdo;
    if (a.startStatus != STATUS_SUCCESS) return a.startStatus;
    EXPECT_EQ(UmOpen("\\\\.\\Qvdnv0", ReadWrite, ShareAll, &handle), STATUS_SUCCESS);
    Ioctl(handle, IOCTL_QV_ATTACH);
    return STATUS_SUCCESS;
  }
  NTSTATUS Boot(const std::vector<uint8_t>& image) {
    return Ioctl(handle, IOCTL_QV_BOOT, image.data(), uint32_t(image.size()));
  }
  NTSTATUS BootDsps() { return Boot(simpcidsp::BootImageBytes(BoardIdDnv, Firmware)); }
  CBoardDnv* Dnv() { return static_cast<CBoardDnv*>(static_cast<CPciBoardDevice*>(Board(u"\\Device\\Qvdnv0"))->Dsp()); }
  size_t Sent() const { return board->commands.size(); }

  std::unique_ptr<simpcidsp::Dunvell> board;
  DEVICE_OBJECT* pdo = nullptr;
  UmHandle handle = 0;
  uint32_t vector = 0;
};

// ---- start, interrupt, boot -------------------------------------------------------------------------

TEST_F(DunvellTest, StartIdentifiesTheBoardAndTheInterruptTakesThePositions) {
  ASSERT_EQ(Arrive(0, true), STATUS_SUCCESS);
  ASSERT_GE(Sent(), 2u);
  EXPECT_EQ(board->commands[0].header, 0x4100);
  EXPECT_EQ(board->commands[0].payload, (std::vector<uint16_t>{0x62E4, 11, 7}));
  EXPECT_EQ(board->commands[1].header, 0x2300);
  CBoardDnv* dnv = Dnv();
  EXPECT_EQ(dnv->Stream()->ChannelCount(), 64) << "a fourth word of 0xA0xx gives 64 channels";
  EXPECT_EQ(board->regs[CBoardDnv::StreamBlocks / 4], 16u) << "stopped at start";
  EXPECT_EQ(board->regs[0], dnv->Stream()->CommonBufferAddress());
  EXPECT_EQ(board->regs[2], board->regs[0]);
  // Command 7: the clock/format words formed from the 0x2300 reply, then
  // two board information words.
  uint32_t reply[4] = {};
  QvMailbox m{0, reply, nullptr, 2, 4, 0, 7};
  dnv->Lock();
  EXPECT_EQ(dnv->Stream()->Command(&m), STATUS_SUCCESS);
  dnv->Unlock();
  EXPECT_EQ(m.replyBytes, 16u);
  EXPECT_EQ(reply[0], 0xBC5678u) << "byte 4 << 16 | word 1";
  EXPECT_EQ(reply[1], 0x9Au | 0xDEF0u << 8) << "byte 5 | word 3 << 8";
  EXPECT_EQ(reply[2], 0x1101u);

  // The stream start and stop commands set the stream registers; the
  // interrupt reads the positions.
  dnv->Lock();
  QvMailbox start{0, nullptr, nullptr, 2, 0, 0, 4};
  EXPECT_EQ(dnv->Stream()->Command(&start), STATUS_SUCCESS);
  dnv->Unlock();
  EXPECT_EQ(board->regs[CBoardDnv::StreamBlocks / 4], (4u << 16) + 16);
  EXPECT_TRUE(board->Running());
  board->regs[4] = 0x1ABCDEF - 16;
  board->regs[5] = 0x500001 - 4;
  board->Block();
  km::RaiseInterrupt(vector + 0x30);
  EXPECT_EQ(dnv->Positions().input, 0xABCDEFu);
  EXPECT_EQ(dnv->Positions().output, 0x400004u) << "4-byte units, 24 bits";
  int64_t seen = dnv->LastInterrupt();
  km::RaiseInterrupt(vector + 0x30);
  EXPECT_EQ(dnv->LastInterrupt(), seen) << "status bit 0 clear: not this board's";
  dnv->Lock();
  QvMailbox stop{0, nullptr, nullptr, 2, 0, 0, 3};
  EXPECT_EQ(dnv->Stream()->Command(&stop), STATUS_SUCCESS);
  QvMailbox other{0, nullptr, nullptr, 2, 0, 0, 5};
  EXPECT_EQ(dnv->Stream()->Command(&other), STATUS_NOT_SUPPORTED);
  dnv->Unlock();
  EXPECT_FALSE(board->Running());
  EXPECT_EQ(board->regs[CBoardDnv::StreamBlocks / 4], 16u);
}

TEST_F(DunvellTest, ABoardThatDoesNotIdentifyItselfFailsItsStart) {
  EXPECT_EQ(Arrive(0, false, [](simpcidsp::Dunvell& b) { b.garble = true; }), STATUS_ADAPTER_HARDWARE_ERROR);
  EXPECT_EQ(board->controlWrites.back(), 0x1000) << "the controller left clean";
}

TEST_F(DunvellTest, AControllerThatNeverAnswersTimesOutAndIsLeftClean) {
  EXPECT_EQ(Arrive(0, false, [](simpcidsp::Dunvell& b) { b.silent = true; }), STATUS_ADAPTER_HARDWARE_ERROR);
  EXPECT_EQ(board->commands.size(), 1u) << "the identification, once";
  EXPECT_EQ(board->controlWrites.back(), 0x1000);
}

TEST_F(DunvellTest, DspBootLoadsEveryDspAndSendsTheStartAndRateMessages) {
  ASSERT_EQ(Arrive(2), STATUS_SUCCESS);
  std::vector<uint8_t> good = simpcidsp::BootImageBytes(BoardIdDnv, Firmware);
  std::vector<uint8_t> other = simpcidsp::BootImageBytes(BoardIdTvr, Firmware);
  struct Case {
    const char* what;
    std::vector<uint8_t> image;
    NTSTATUS status;
  };
  const Case refused[] = {
      {"20 bytes cannot hold word 5", std::vector<uint8_t>(good.begin(), good.begin() + 20), STATUS_INVALID_USER_BUFFER},
      {"23 bytes neither", std::vector<uint8_t>(good.begin(), good.begin() + 23), STATUS_INVALID_USER_BUFFER},
      {"another board's image", other, STATUS_INVALID_USER_BUFFER},
  };
  for (const Case& c : refused) {
    size_t before = Sent();
    EXPECT_EQ(Boot(c.image), c.status) << c.what;
    EXPECT_EQ(Sent(), before) << c.what << ": nothing sent";
  }
  uint32_t param[2] = {};
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, param, 8), STATUS_BUS_RESET) << "DSPs present and not booted";

  ASSERT_EQ(BootDsps(), STATUS_SUCCESS);
  std::vector<uint32_t> words = simpcidsp::BootImage(BoardIdDnv, Firmware);
  for (uint32_t d = 0; d < 2; ++d) {
    const auto& dsp = board->dsp[d];
    EXPECT_EQ(dsp.image, words) << d;
    EXPECT_TRUE(dsp.out.empty()) << "the posted word was read and dropped";
    ASSERT_EQ(dsp.longCommands.size(), 2u) << d;
    EXPECT_EQ(dsp.longCommands[0].code, 0u);
    EXPECT_EQ(dsp.longCommands[0].payload, (std::vector<uint32_t>{0xBC5678u, 0x9Au | 0xDEF0u << 8, d}));
    EXPECT_EQ(dsp.longCommands[1].code, 10u) << "the rate message";
    EXPECT_EQ(dsp.longCommands[1].payload, (std::vector<uint32_t>{44100, 0, 25025}));
  }
  EXPECT_FALSE(board->dsp[2].running) << "only the DSPs the board has";
  uint32_t id[3] = {};
  Ioctl(handle, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id);
  EXPECT_EQ(id[1], Firmware);
  EXPECT_EQ(board->modeByte & 0x80, 0x80) << "DSPs present";

  // A DSP whose bootstrap does not answer is reset and the boot fails.
  board->dsp[1].deaf = true;
  EXPECT_EQ(BootDsps(), STATUS_DEVICE_NOT_READY);
  EXPECT_EQ(board->dsp[1].resets, 1u);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_BOOT), STATUS_SUCCESS) << "no image: a reset";
  EXPECT_EQ(board->controlWrites.back() & 0xFF00, 0x4000);
}

TEST_F(DunvellTest, ADspImageOnABoardWithoutDspsIsNotSupported) {
  ASSERT_EQ(Arrive(0), STATUS_SUCCESS);
  EXPECT_EQ(BootDsps(), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_LOAD, "abcd", 4), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_EXT_QUERY, "abcd", 4), STATUS_NOT_SUPPORTED);
}

TEST_F(DunvellTest, AFlashImageGoesInChunksWithTheBoardsDspCount) {
  ASSERT_EQ(Arrive(3), STATUS_SUCCESS);
  std::vector<uint8_t> image(746300);
  for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 7 + (i >> 9));
  auto put16 = [&](size_t at, uint16_t v) {
    image[at] = uint8_t(v);
    image[at + 1] = uint8_t(v >> 8);
  };
  put16(746212, 0x2222);
  put16(746214, 0xDBEB);
  put16(746216, 0x3333);
  put16(746218, 0x00D1);
  ASSERT_EQ(Boot(image), STATUS_SUCCESS);
  EXPECT_EQ(board->flashPages, 12u) << "746300 bytes in 64 KB pages";
  const auto& pages = board->commands[board->commands.size() - board->chunkLengths.size() - 1];
  EXPECT_EQ(pages.header, 0x5100);
  ASSERT_EQ(pages.payload.size(), 1u + 2 * 12);
  EXPECT_EQ(pages.payload[0], 11);
  EXPECT_EQ(pages.payload[3], 0) << "page 1 at 0x10000: low";
  EXPECT_EQ(pages.payload[4], 1) << "page 1 at 0x10000: high";
  ASSERT_EQ(board->chunkLengths.size(), (746300u + 127) / 128);
  EXPECT_EQ(board->chunkLengths.front(), 128u);
  EXPECT_EQ(board->chunkLengths.back(), 746300u % 128);
  std::vector<uint8_t> expect = image;
  expect[746218] = 0xD3;  // the board's own count replaces the image's
  expect[746219] = 0x00;
  EXPECT_TRUE(std::equal(expect.begin(), expect.end(), board->flash.begin())) << "the flash holds the image";
  uint32_t info[4] = {};
  QvMailbox m{0, info, nullptr, 2, 4, 0, 7};
  Dnv()->Lock();
  Dnv()->Command(&m);
  Dnv()->Unlock();
  EXPECT_EQ(info[2], 0x2222u);
  EXPECT_EQ(info[3], 0x3333u);

  board->refuseChunk = 5;
  EXPECT_EQ(Boot(image), STATUS_DATA_ERROR);
  EXPECT_EQ(board->chunkLengths.size(), 6u) << "nothing after the refused chunk";
  image.resize(16 * 65536 + 1);
  size_t before = Sent();
  EXPECT_EQ(Boot(image), STATUS_INVALID_USER_BUFFER) << "more pages than the flash has";
  EXPECT_EQ(Sent(), before);
}

// ---- clock ----------------------------------------------------------------------------------------

TEST_F(DunvellTest, TheClockSetUpHalvesTheRateAndSetsTheLatency) {
  ASSERT_EQ(Arrive(0), STATUS_SUCCESS);
  struct Case {
    uint32_t rate;
    uint8_t halvings;
    bool family441;
    uint16_t latency;
  };
  const Case cases[] = {{44100, 0, true, 7}, {48000, 0, false, 7}, {96000, 1, false, 8},
                        {88200, 1, true, 8}, {192000, 2, false, 10}, {384000, 3, false, 14}};
  for (const Case& c : cases) {
    uint32_t record[3] = {c.rate, 0, 0};
    ASSERT_EQ(Ioctl(handle, IOCTL_QV_DEVICE_MODE, record, sizeof record), STATUS_SUCCESS) << c.rate;
    EXPECT_EQ(board->modeByte & 3, c.halvings) << c.rate;
    EXPECT_EQ((board->modeByte & 0x10) != 0, c.family441) << c.rate;
    EXPECT_EQ(Dnv()->LatencyBlocks(0), c.latency) << c.rate;
    EXPECT_EQ(Dnv()->LatencyBlocks(1), c.latency) << c.rate;
  }
  EXPECT_EQ(board->modeByte & 0x80, 0) << "no DSPs";

  // SET_PARAM: the clock/mode word (source 2, external source 3, divider
  // 0x40) is applied and stored.
  uint32_t word = 0x400E, out = 0, got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_PARAM, &word, 4, &out, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(out, word);
  EXPECT_EQ(board->divider, 0x40u);
  EXPECT_EQ((board->modeByte >> 2) & 3, 2);
  std::u16string key;
  uint32_t record[3] = {48000, 0, ModeSystemRate};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_DEVICE_MODE, record, sizeof record), STATUS_SUCCESS);
  EXPECT_EQ((board->modeByte >> 2) & 3, 3) << "external sync takes the other source";
  // A time-code reference: clock nibble 7 with its two words.
  uint32_t reference[5] = {48000, 0, 0x700000u | 1u << 25, 0x11, 0x22}, mode[3] = {};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_DEVICE_MODE, reference, sizeof reference, mode, sizeof mode), STATUS_SUCCESS);
  EXPECT_EQ(Dnv()->Stream()->Mode().flags & (3u << 24), 1u << 24);
  EXPECT_EQ(Dnv()->Stream()->Mode().extra[0], 0x11u);
  uint32_t param[2] = {};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_PARAM, nullptr, 0, param, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 8u);
  EXPECT_EQ(param[0] & 0x80000000u, 0x80000000u);
  EXPECT_EQ(param[1], word);
  EXPECT_NE(Ioctl(handle, IOCTL_QV_SET_PARAM, &word, 2), STATUS_SUCCESS) << "a short word";
  UmHandle other = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvdnv0", ReadWrite, ShareAll, &other), STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(other, IOCTL_QV_SET_PARAM, &word, 4), STATUS_DEVICE_BUSY);
  UmClose(other);
}

// ---- pass-through ---------------------------------------------------------------------------------

TEST_F(DunvellTest, PassThroughOperationsReachTheDspsAndFailuresResetTheBoard) {
  ASSERT_EQ(Arrive(2), STATUS_SUCCESS);
  ASSERT_EQ(BootDsps(), STATUS_SUCCESS);
  size_t before = Sent();
  uint32_t in[3] = {0x800001, 2, 3}, out[3] = {}, got = 0;
  EXPECT_EQ(Ioctl(handle, PassThrough(0, 5), in, 12, out, 12), STATUS_NOT_SUPPORTED);
  EXPECT_EQ(Ioctl(handle, PassThrough(2, 14), in, 12, out, 12), STATUS_NOT_SUPPORTED) << "DSP 2 of 2";
  EXPECT_EQ(Sent(), before) << "nothing sent";

  ASSERT_EQ(Ioctl(handle, PassThrough(1, 14), in, 12, out, 12, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 12u);
  EXPECT_EQ(out[0], 0xFF800001u) << "bit 23 copied into the high byte";
  EXPECT_EQ(out[2], 3u);
  EXPECT_EQ(board->dsp[1].longCommands.back().code, 14u) << "the DSP number goes in the header";
  // Operations 0 and 1 carry bit 23: a memory write and read.
  uint32_t write[3] = {100, 0x111111, 0x222222}, address[2] = {100, 2}, read[2] = {};
  ASSERT_EQ(Ioctl(handle, PassThrough(0, 0), write, 12), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(handle, PassThrough(0, 1), address, 8, read, 8, &got), STATUS_SUCCESS);
  EXPECT_EQ(read[1], 0x222222u);
  EXPECT_EQ(board->dsp[0].longCommands.back().code, 0x800001u);
  // A reply larger than the output keeps to the output's room.
  ASSERT_EQ(Ioctl(handle, PassThrough(1, 14), in, 12, out, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 4u);
  std::vector<uint32_t> tooMany(257);
  EXPECT_EQ(Ioctl(handle, PassThrough(0, 14), tooMany.data(), 257 * 4), STATUS_INVALID_BUFFER_SIZE);

  // With "ResetOnError" 0 a failing command leaves the firmware running.
  km::RegWriteDword(DeviceKey(pdo), u"ResetOnError", 0);
  board->dsp[0].errorCode = 0x21;
  EXPECT_EQ(Ioctl(handle, PassThrough(0, 15), in, 4, out, 4), NTSTATUS(0xC00600A1));
  uint32_t id[3] = {};
  Ioctl(handle, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id);
  EXPECT_EQ(id[1], Firmware);
  // By default the board is reset and the next request finds it not booted.
  km::RegWriteDword(DeviceKey(pdo), u"ResetOnError", 1);
  EXPECT_EQ(Ioctl(handle, PassThrough(0, 15), in, 4, out, 4), NTSTATUS(0xC00600A1));
  Ioctl(handle, IOCTL_QV_GET_ID, nullptr, 0, id, sizeof id);
  EXPECT_EQ(id[1], 0u);
  EXPECT_EQ(Ioctl(handle, PassThrough(1, 14), in, 12, out, 12), STATUS_BUS_RESET);
}

TEST_F(DunvellTest, ADspThatDoesNotAnswerGetsTheResetSequence) {
  ASSERT_EQ(Arrive(2), STATUS_SUCCESS);
  ASSERT_EQ(BootDsps(), STATUS_SUCCESS);
  km::RegWriteDword(DeviceKey(pdo), u"ResetOnError", 0);
  board->dsp[1].silent = true;
  size_t before = Sent();
  uint32_t aborts = board->aborts;
  uint32_t in = 1, out = 0;
  EXPECT_EQ(Ioctl(handle, PassThrough(1, 16), &in, 4, &out, 4), STATUS_IO_TIMEOUT);
  EXPECT_EQ(board->aborts, aborts + 1) << "control 0xF000";
  std::vector<uint16_t> headers;
  for (size_t i = before; i < Sent(); ++i) headers.push_back(board->commands[i].header);
  const std::vector<uint16_t> expect = {0x3250, 0x1241, 0x2240, 0x2241, 0x2242, 0x2243,
                                        0x2244, 0x2245, 0x2246, 0x2247};
  EXPECT_EQ(headers, expect);
  EXPECT_EQ(board->commands[before + 1].payload, std::vector<uint16_t>{0xB4});
  EXPECT_EQ(board->dsp[1].resets, 1u);
  EXPECT_EQ(board->controlWrites.back(), 0x1000) << "the controller left clean";
}

// ---- the stream commands to a DSP ------------------------------------------------------------------

TEST_F(DunvellTest, StreamCommandsToADspGoThroughItsDataPort) {
  ASSERT_EQ(Arrive(2), STATUS_SUCCESS);
  ASSERT_EQ(BootDsps(), STATUS_SUCCESS);
  CBoardDnv* dnv = Dnv();
  uint32_t words[3] = {0x10, 0x20, 0x30}, reply[2] = {};
  QvMailbox m{0, reply, words, 5, 2, 9, 11 | 1 << 6};
  dnv->Lock();
  EXPECT_EQ(dnv->Stream()->Command(&m), STATUS_SUCCESS);
  dnv->Unlock();
  ASSERT_EQ(board->dsp[1].streamCommands.size(), 1u);
  EXPECT_EQ(board->dsp[1].streamCommands[0], (std::vector<uint32_t>{5, 2, 9, 11 | 1 << 6, 0x10, 0x20, 0x30}));
  EXPECT_EQ(m.replyBytes, 8u) << "three words answered, two asked for";
  EXPECT_EQ(reply[1], 0x20u);
  EXPECT_TRUE(board->dsp[1].out.empty()) << "the rest read and dropped";
  board->dsp[0].errorCode = 0x12;
  QvMailbox e{0, reply, words, 3, 0, 0, 10};
  dnv->Lock();
  EXPECT_EQ(dnv->Stream()->Command(&e), NTSTATUS(0xC0060092));
  dnv->Unlock();
}

// ---- the router ------------------------------------------------------------------------------------

TEST_F(DunvellTest, DestinationMappingsAreOneToOneWithinEachBank) {
  struct Kind {
    uint8_t type;
    uint32_t indices;
  };
  const Kind kinds[] = {{0, 64}, {1, 64}, {2, 64}, {3, 64}, {4, 128}, {5, 64}, {6, 64}, {7, 64}, {8, 128}};
  for (uint32_t bank = 0; bank < 2; ++bank) {
    std::set<uint32_t> seen;
    for (const Kind& k : kinds)
      for (uint32_t i = 0; i < k.indices; ++i) {
        uint32_t d = CBoardDnv::Destination(bank, k.type, uint8_t(i));
        EXPECT_LT(d, 896u);
        EXPECT_TRUE(seen.insert(d).second) << bank << " " << int(k.type) << " " << i;
      }
  }
  EXPECT_EQ(CBoardDnv::Destination(0, 0, 2), 28u) << "a stride of 28 per pair of indices";
}

TEST_F(DunvellTest, RouteUpdatesCheckEveryEntryFirstAndSendTheChangedRuns) {
  ASSERT_EQ(Arrive(0), STATUS_SUCCESS);
  uint32_t d0 = CBoardDnv::Destination(0, 0, 0), d1 = CBoardDnv::Destination(0, 0, 1);
  uint32_t e1 = CBoardDnv::Destination(1, 5, 3);
  std::vector<uint32_t> routes = {Route(0, 0, 7), Route(0, 1, 7), Route(5, 3, 0x4000 | 9)};
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), uint32_t(routes.size() * 4)), STATUS_SUCCESS);
  EXPECT_TRUE(board->router[0][d0].on);
  EXPECT_EQ(board->router[0][d0].word, 0x1800 | 7) << "first destination of source 7";
  EXPECT_EQ(board->router[0][d1].word, 0x1400 | 7) << "the previous destination has the same source";
  EXPECT_TRUE(board->router[1][e1].on);
  EXPECT_EQ(board->router[1][e1].source, 9);
  EXPECT_EQ(board->routeRuns, 2u * 14) << "every entry starts changed: the first update sends both banks whole";

  // One bad entry: nothing changes and nothing is sent.
  const std::vector<std::vector<uint32_t>> bad = {
      {Route(0, 0, 8), Route(0, 64, 8)},       // index beyond 64
      {Route(0, 0, 8), Route(4, 128, 8)},      // index beyond 128
      {Route(0, 0, 8), Route(1, 0, 1023)},     // source above 1022
      {Route(0, 0, 8), Route(9, 0, 1)},        // no such type
  };
  for (const auto& list : bad) {
    size_t before = Sent();
    EXPECT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, list.data(), uint32_t(list.size() * 4)),
              STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Sent(), before);
    EXPECT_EQ(board->router[0][d0].source, 7);
  }
  uint32_t odd[2] = {};
  EXPECT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, odd, 6), STATUS_INVALID_PARAMETER);

  // Off: bank 1 sends the source with 0x400; the control entry's bit 4
  // resets both banks, and every destination goes again.
  routes = {Route(5, 3, 0xC000 | 9)};
  uint32_t runs = board->routeRuns;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), 4), STATUS_SUCCESS);
  EXPECT_EQ(board->routeRuns, runs + 1) << "only the changed entry";
  EXPECT_FALSE(board->router[1][e1].on);
  EXPECT_EQ(board->router[1][e1].word, 0x400 | 9);
  routes = {Route(255, 0, 0x1000)};
  runs = board->routeRuns;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_SET_ROUTES, routes.data(), 4), STATUS_SUCCESS);
  EXPECT_EQ(board->routeRuns, runs + 2 * 14) << "896 entries in runs of 64 per bank";
  EXPECT_FALSE(board->router[0][d0].on);
  EXPECT_EQ(board->router[0][d0].source, 1023);

  UmHandle other = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvdnv0", ReadWrite, ShareAll, &other), STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(other, IOCTL_QV_SET_ROUTES, routes.data(), 4), STATUS_DEVICE_BUSY);
  UmClose(other);
}

TEST_F(DunvellTest, InformationGivesStatisticsThenTheBufferRegisters) {
  ASSERT_EQ(Arrive(0), STATUS_SUCCESS);
  uint32_t words[8] = {}, got = 0;
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_INFO, nullptr, 0, words, sizeof words, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 32u);
  EXPECT_EQ(words[0], 0u);
  EXPECT_EQ(words[4], board->regs[0]);
  EXPECT_EQ(words[7], board->regs[3]);
  ASSERT_EQ(Ioctl(handle, IOCTL_QV_GET_INFO, nullptr, 0, words, 6, &got), STATUS_SUCCESS);
  EXPECT_EQ(got, 4u);
}
