// Wave streams through \\.\Qvwave on two simulated Mixer I/O boards with
// their stream engines: the samples recorded and played, the status
// record, stop, the map's errors, sharing, grouping and rates.
#include "kernel/pciboard.h"
#include "kernel/striface.h"
#include "kernel/streamengine.h"
#include "kernel/streamlayout.h"
#include "kernel/wavestream.h"
#include "kernel/tests/fixture.h"
#include "sim/pcidsp/dunvell.h"
#include "sim/pcidsp/hostif.h"
#include "sim/pcidsp/streams.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#if defined(_WIN64)
extern "C" __declspec(dllimport) void* __stdcall VirtualAlloc(void* address, size_t size, unsigned long type,
                                                              unsigned long protect);
extern "C" __declspec(dllimport) int __stdcall VirtualFree(void* address, size_t size, unsigned long type);
#elif !defined(_WIN32)
#include <sys/mman.h>
#endif

namespace {
constexpr uint32_t ReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr uint32_t ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr uint32_t Firmware = 0x70430;

// Client buffers travel as 32-bit addresses in the channel map: 64-bit
// programs take them from the low 2 GB, 32-bit ones from the heap.
struct LowBuffer {
  explicit LowBuffer(size_t n) : size(n) {
#if defined(_WIN64)
    for (uintptr_t a = 0x20000000; !data && a < 0x80000000u; a += 0x01000000)
      data = static_cast<uint8_t*>(VirtualAlloc(reinterpret_cast<void*>(a), n, 0x3000, 4));
#elif defined(__x86_64__)
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    data = p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
#else
    data = new uint8_t[n]();
#endif
  }
  ~LowBuffer() {
#if defined(_WIN64)
    VirtualFree(data, 0, 0x8000);
#elif defined(__x86_64__)
    munmap(data, size);
#else
    delete[] data;
#endif
  }
  uint32_t Address() const { return uint32_t(reinterpret_cast<uintptr_t>(data)); }
  uint8_t* data = nullptr;
  size_t size;
};

std::vector<uint8_t> Map(uint8_t bytes, uint8_t first, uint8_t second, uint32_t frames, uint32_t buffer,
                         std::vector<uint8_t> channels, uint8_t grouped = 0) {
  std::vector<uint8_t> m(12);
  m[0] = bytes, m[1] = first, m[2] = second, m[3] = grouped;
  std::memcpy(&m[4], &frames, 4);
  std::memcpy(&m[8], &buffer, 4);
  m.insert(m.end(), channels.begin(), channels.end());
  if (m.size() < 13) m.push_back(0);
  return m;
}

struct SimBoard {
  std::unique_ptr<simpcidsp::HostInterface> hi;
  std::unique_ptr<simpcidsp::StreamEngine> engine;
  DEVICE_OBJECT* pdo = nullptr;
  UmHandle handle = 0;
  uint32_t vector = 0;
};
}  // namespace

class WaveStreamTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    for (uint32_t i = 0; i < 2; ++i) AddBoard(i);
    ASSERT_EQ(UmOpen("\\\\.\\Qvwave", ReadWrite, ShareAll, &wave), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (wave) UmClose(wave);
    for (SimBoard& b : boards) {
      if (b.handle) UmClose(b.handle);
      if (b.pdo) RemoveNode(b.pdo);
    }
    KernelTest::TearDown();
    for (SimBoard& b : boards) simbus::Unplace(b.hi.get());
  }
  void AddBoard(uint32_t i) {
    SimBoard& b = boards[i];
    b.hi = std::make_unique<simpcidsp::HostInterface>(BoardIdMio);
    simbus::DeviceNode node = simbus::PciNode({0x1057, 0x1801, 0x89AB, uint16_t(BoardIdMio & 0xFFFF)}, i + 1);
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, b.hi.get());
    b.vector = node.resources[1].vector + 0x30;  // as the bus translates it
    km::Arrival a = Arrive(node);
    ASSERT_EQ(a.startStatus, STATUS_SUCCESS);
    b.pdo = a.pdo;
    std::string name = "\\\\.\\Qvmio" + std::to_string(i);
    ASSERT_EQ(UmOpen(name.c_str(), ReadWrite, ShareAll, &b.handle), STATUS_SUCCESS);
    Ioctl(b.handle, IOCTL_QV_ATTACH);
    std::vector<uint8_t> image = simpcidsp::BootImageBytes(BoardIdMio, Firmware);
    ASSERT_EQ(Ioctl(b.handle, IOCTL_QV_BOOT, image.data(), uint32_t(image.size())), STATUS_SUCCESS);
    ASSERT_TRUE(b.hi->StreamProgram());
    b.engine = std::make_unique<simpcidsp::StreamEngine>(b.hi.get(), 16);
    uint32_t vector = b.vector;
    b.hi->interruptLine = [vector] { km::RaiseInterrupt(vector); };
  }
  static NTSTATUS Ioctl(UmHandle h, uint32_t code, const void* in = nullptr, uint32_t inLen = 0, void* out = nullptr,
                        uint32_t outLen = 0, uint32_t* got = nullptr) {
    uint32_t dummy = 0;
    return UmIoControl(h, code, in, inLen, out, outLen, got ? got : &dummy);
  }
  NTSTATUS Open(UmHandle h, const std::vector<uint8_t>& map, qvChannelInfo* info = nullptr) {
    return Ioctl(h, IOCTL_QV_WAVE_MAP, map.data(), uint32_t(map.size()), info, info ? sizeof *info : 0);
  }
  // One block on every board, the second board first, so that the primary
  // on the first board finds both at the same block.
  void Blocks(uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
      boards[1].engine->Block();
      boards[0].engine->Block();
    }
  }
  // A wait, the blocks that fill the next half, the answer.
  NTSTATUS WaitHalf(UmHandle h, uint32_t blocks, QvStatusRecord* record) {
    UmRequest* r = UmIoControlBegin(h, IOCTL_QV_WAVE_WAIT, nullptr, 0, record, sizeof *record);
    Blocks(blocks);
    uint32_t got = 0;
    NTSTATUS status = UmWait(r, &got);
    if (NT_SUCCESS(status)) {
      EXPECT_EQ(got, 32u);
    }
    return status;
  }

  SimBoard boards[2];
  UmHandle wave = 0;
};

TEST_F(WaveStreamTest, RecordsAndPlaysSampleExactAcrossTwoBoards) {
  constexpr uint32_t Frames = 256, Half = Frames / 2;
  for (SimBoard& b : boards) b.engine->input = simpcidsp::StreamEngine::Input::Ramp;
  // Inputs: channel 0 of board 0 and channel 1 of board 1 (17); outputs: 1 and 16.
  LowBuffer buffer(Frames * 4 * 4);
  ASSERT_NE(buffer.data, nullptr);
  auto* runs = reinterpret_cast<uint32_t*>(buffer.data);
  for (uint32_t f = 0; f < Frames; ++f) {
    runs[2 * Frames + f] = 0x01000000u + f * 0x100;
    runs[3 * Frames + f] = 0x02000000u + f * 0x100;
  }
  qvChannelInfo info{};
  ASSERT_EQ(Open(wave, Map(4, 2, 2, Frames, buffer.Address(), {0, 17, 1, 16}), &info), STATUS_SUCCESS);
  EXPECT_EQ(info.outputs, 16);
  EXPECT_EQ(info.programWord[1], 64u) << "a delay of one block";
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  Blocks(1);  // the first interrupt takes the boards' positions
  // Then board block k fills client frames (k - 1) * 64 on.
  for (uint32_t half = 0; half < 4; ++half) {
    QvStatusRecord record{};
    ASSERT_EQ(WaitHalf(wave, Half / 64, &record), STATUS_SUCCESS);
    EXPECT_EQ(record.position, (half + 1) * Half);
    EXPECT_EQ(record.rate, 44100u);
    uint32_t start = (half % 2) * Half;
    for (uint32_t f = 0; f < Half; ++f) {
      uint64_t boardFrame = uint64_t(half) * Half + f + 64;  // block k = client block + 1
      ASSERT_EQ(runs[start + f], simpcidsp::StreamEngine::RampSample(boardFrame, 0)) << half << " " << f;
      ASSERT_EQ(runs[Frames + start + f], simpcidsp::StreamEngine::RampSample(boardFrame, 1)) << half << " " << f;
    }
  }
  // Client block c is played at board block c + 1 + the delay of one block.
  const auto& a = boards[0].engine->Played(1);
  const auto& b = boards[1].engine->Played(0);
  ASSERT_EQ(a.size(), 9u * 64);
  for (uint32_t n = 0; n < a.size() - 128; ++n) {
    ASSERT_EQ(a[n + 128], runs[2 * Frames + n % Frames]) << n;
    ASSERT_EQ(b[n + 128], runs[3 * Frames + n % Frames]) << n;
  }
  for (uint32_t n = 0; n < 128; ++n) ASSERT_EQ(a[n], 0u) << "silence before the stream's first block";
}

// The delay the open reports (by buffer length) is the delay played.
TEST_F(WaveStreamTest, OutputsPlayAfterTheDelayTheOpenReports) {
  struct Case {
    uint32_t frames, delay;
  } cases[] = {{1408, 1}, {1536, 2}, {2048, 3}, {256, 1}};
  LowBuffer buffer(2048 * 4);
  auto* samples = reinterpret_cast<uint32_t*>(buffer.data);
  for (uint32_t f = 0; f < 2048; ++f) samples[f] = 0x00100000u * (f % 64 + 1);
  for (const Case& c : cases) {
    qvChannelInfo info{};
    ASSERT_EQ(Open(wave, Map(4, 0, 1, c.frames, buffer.Address(), {1}), &info), STATUS_SUCCESS);
    EXPECT_EQ(info.programWord[1], c.delay * 64) << c.frames;
    size_t start = boards[0].engine->Played(1).size();
    ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
    Blocks(6);
    // The board's first stream start takes the positions at the first block.
    const auto& played = boards[0].engine->Played(1);
    size_t first = start;
    while (first < played.size() && !played[first]) ++first;
    EXPECT_EQ(first - start, (1 + c.delay) * 64) << c.frames;
    ASSERT_LT(first, played.size());
    EXPECT_EQ(played[first], samples[0]) << c.frames;
    ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
    Blocks(4);  // what the stream left in the play ring has played
  }
}

// A map sent to a board device's own handle opens the stream on that
// board, its channels counted on the board; while it is bound the handle
// loads no program.
TEST_F(WaveStreamTest, AStreamOnABoardsOwnHandleCountsChannelsOnThatBoard) {
  constexpr uint32_t Frames = 128;
  boards[1].engine->input = simpcidsp::StreamEngine::Input::Ramp;
  LowBuffer buffer(Frames * 4 * 2);
  auto* runs = reinterpret_cast<uint32_t*>(buffer.data);
  for (uint32_t f = 0; f < Frames; ++f) runs[Frames + f] = 0x03000000u + f * 0x100;
  UmHandle h = boards[1].handle;
  EXPECT_EQ(Open(h, Map(4, 1, 1, Frames, buffer.Address(), {16, 0})), STATUS_INVALID_PARAMETER)
      << "16 is beyond the board's channels";
  qvChannelInfo info{};
  ASSERT_EQ(Open(h, Map(4, 1, 1, Frames, buffer.Address(), {1, 0}), &info), STATUS_SUCCESS);
  EXPECT_EQ(info.programWord[1], 64u);
  std::vector<uint8_t> image = simpcidsp::LoadImage(Firmware, 3, 4);
  EXPECT_EQ(Ioctl(h, IOCTL_QV_LOAD, image.data(), uint32_t(image.size())), STATUS_DEVICE_BUSY);
  ASSERT_EQ(Ioctl(h, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  Blocks(1);
  QvStatusRecord record{};
  ASSERT_EQ(WaitHalf(h, 1, &record), STATUS_SUCCESS);
  EXPECT_EQ(record.position, 64u);
  for (uint32_t f = 0; f < 64; ++f)
    ASSERT_EQ(runs[f], simpcidsp::StreamEngine::RampSample(64 + f, 1)) << f;
  Blocks(2);
  const auto& played = boards[1].engine->Played(0);
  ASSERT_EQ(played.size(), 4u * 64);
  for (uint32_t n = 0; n < 128; ++n) ASSERT_EQ(played[128 + n], runs[Frames + n]) << n;
  EXPECT_TRUE(boards[0].engine->Played(0) == std::vector<uint32_t>(4 * 64, 0)) << "the first board plays nothing";
  // An empty map releases it.
  ASSERT_EQ(Ioctl(h, IOCTL_QV_WAVE_MAP, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(Ioctl(h, IOCTL_QV_WAVE_START), STATUS_INVALID_DEVICE_REQUEST);
}

TEST_F(WaveStreamTest, StatusRecordMarksRateAndFrameChanges) {
  LowBuffer buffer(256 * 4);
  ASSERT_EQ(Open(wave, Map(4, 0, 1, 256, buffer.Address(), {3})), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  Blocks(1);
  QvStatusRecord r{};
  ASSERT_EQ(WaitHalf(wave, 2, &r), STATUS_SUCCESS);
  EXPECT_TRUE(r.mode & QvStatusRateChanged) << "the first record shows the rate as new";
  ASSERT_EQ(WaitHalf(wave, 2, &r), STATUS_SUCCESS);
  EXPECT_EQ(r.mode & (QvStatusRateChanged | QvStatusFrameChanged), 0u);
  uint32_t mode[3] = {48000, 0, 25025};
  ASSERT_EQ(Ioctl(boards[0].handle, IOCTL_QV_DEVICE_MODE, mode, sizeof mode), STATUS_SUCCESS);
  ASSERT_EQ(WaitHalf(wave, 2, &r), STATUS_SUCCESS);
  EXPECT_EQ(r.rate, 48000u);
  EXPECT_EQ(r.mode & (QvStatusRateChanged | QvStatusFrameChanged), QvStatusRateChanged);
  mode[2] = QvModeTimeCodeWords | 30000;
  ASSERT_EQ(Ioctl(boards[0].handle, IOCTL_QV_DEVICE_MODE, mode, sizeof mode), STATUS_SUCCESS);
  ASSERT_EQ(WaitHalf(wave, 2, &r), STATUS_SUCCESS);
  EXPECT_EQ(r.mode & (QvStatusRateChanged | QvStatusFrameChanged), QvStatusFrameChanged);
  EXPECT_EQ(r.mode & 0xFFFF, 30000u);
}

TEST_F(WaveStreamTest, StopCompletesTheWaitsAndRefusesNewOnesUntilStarted) {
  LowBuffer buffer(256 * 4);
  ASSERT_EQ(Open(wave, Map(4, 1, 0, 256, buffer.Address(), {5})), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  QvStatusRecord r{};
  UmRequest* waiting = UmIoControlBegin(wave, IOCTL_QV_WAVE_WAIT, nullptr, 0, &r, sizeof r);
  Blocks(1);
  EXPECT_FALSE(UmIsDone(waiting));
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
  uint32_t got = 0;
  EXPECT_EQ(UmWait(waiting, &got), STATUS_CANCELLED);
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_WAIT, nullptr, 0, &r, sizeof r), STATUS_CANCELLED);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  ASSERT_EQ(WaitHalf(wave, 2, &r), STATUS_SUCCESS);
  EXPECT_EQ(r.position, 128u) << "the stop reset the counter";
  // A half that became ready with nobody waiting answers the next wait at once.
  Blocks(2);
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_WAIT, nullptr, 0, &r, sizeof r, &got), STATUS_SUCCESS);
  EXPECT_EQ(r.position, 256u);
}

TEST_F(WaveStreamTest, MapErrors) {
  LowBuffer buffer(128 * 4 * 2);
  uint32_t a = buffer.Address();
  struct Case {
    const char* what;
    std::vector<uint8_t> map;
    NTSTATUS status;
  } cases[] = {
      {"12 bytes", std::vector<uint8_t>(12, 0), STATUS_INVALID_BUFFER_SIZE},
      {"no channels", Map(4, 0, 0, 128, a, {0}), STATUS_INVALID_PARAMETER},
      {"no buffer", Map(4, 1, 0, 128, 0, {0}), STATUS_INVALID_PARAMETER},
      {"100 frames", Map(4, 1, 0, 100, a, {0}), STATUS_INVALID_USER_BUFFER},
      {"list cut short", Map(4, 2, 1, 128, a, {0, 1}), STATUS_INVALID_BUFFER_SIZE},
      {"3-byte samples", Map(3, 1, 0, 128, a, {0}), STATUS_INVALID_PARAMETER},
      {"back to an earlier board", Map(4, 2, 0, 128, a, {17, 1}), STATUS_INVALID_PARAMETER},
      {"beyond every board", Map(4, 1, 0, 128, a, {40}), STATUS_INVALID_PARAMETER},
  };
  for (const Case& c : cases) EXPECT_EQ(Open(wave, c.map), c.status) << c.what;
  EXPECT_EQ(Open(wave, Map(4, 1, 1, 128, a, {2, 18})), STATUS_SUCCESS) << "the handle still opens a good map";
  EXPECT_EQ(Open(wave, {}), STATUS_SUCCESS) << "no input releases";
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_INVALID_DEVICE_REQUEST) << "no stream any more";
}

TEST_F(WaveStreamTest, ExclusiveChannelsAreNotShared) {
  LowBuffer buffer(128 * 4 * 2);
  UmHandle other = 0, third = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", ReadWrite, ShareAll, &other), STATUS_SUCCESS);
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", ReadWrite, ShareAll, &third), STATUS_SUCCESS);
  struct Case {
    uint8_t firstOut, secondOut;
    uint8_t firstChannel, secondChannel;
    NTSTATUS status;
  } cases[] = {
      {1, 1, 4, 4, STATUS_SUCCESS},               // mixed together
      {0x81, 1, 4, 4, STATUS_SHARING_VIOLATION},  // the first asked for it alone
      {1, 0x81, 4, 4, STATUS_SHARING_VIOLATION},  // the second does
      {0x81, 0x81, 4, 5, STATUS_SUCCESS},         // other channels
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Open(other, Map(4, 0, c.firstOut, 128, buffer.Address(), {c.firstChannel})), STATUS_SUCCESS);
    EXPECT_EQ(Open(third, Map(4, 0, c.secondOut, 128, buffer.Address(), {c.secondChannel})), c.status)
        << int(c.firstOut) << " " << int(c.secondOut);
    Open(third, {});
    Open(other, {});
  }
  // Inputs follow the same rule on their own masks: an exclusive input beside a shared output.
  ASSERT_EQ(Open(other, Map(4, 0x81, 0, 128, buffer.Address(), {4})), STATUS_SUCCESS);
  EXPECT_EQ(Open(third, Map(4, 0, 1, 128, buffer.Address(), {4})), STATUS_SUCCESS);
  EXPECT_EQ(Open(wave, Map(4, 1, 0, 128, buffer.Address(), {4})), STATUS_SHARING_VIOLATION);
  UmClose(other);
  UmClose(third);
}

TEST_F(WaveStreamTest, GroupedStreamsWidenMonoOutputsAndCheckTheRate) {
  const std::u16string MultiMedia = u"\\Registry\\Machine\\Software\\Quorvale\\MultiMedia";
  UmHandle other = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", ReadWrite, ShareAll, &other), STATUS_SUCCESS);
  LowBuffer buffer(128 * 4);
  struct Case {
    uint32_t grouping;
    uint8_t channel;
    bool nextTaken;  // the channel after the stream's own
  } cases[] = {{2, 2, true}, {2, 3, false}, {1, 2, false}};
  for (const Case& c : cases) {
    km::RegWriteDword(MultiMedia, u"Grouping", c.grouping);
    ASSERT_EQ(Open(wave, Map(2, 0, 1, 44100, 0, {c.channel}, 1)), STATUS_SUCCESS);
    NTSTATUS s = Open(other, Map(4, 0, 0x81, 128, buffer.Address(), {uint8_t(c.channel + 1)}));
    EXPECT_EQ(s, c.nextTaken ? STATUS_SHARING_VIOLATION : STATUS_SUCCESS) << c.grouping << " " << int(c.channel);
    Open(other, {});
    Open(wave, {});
  }
  UmClose(other);

  // The board runs at 44100: an input at 48000 is refused; an output gets the converter.
  EXPECT_EQ(Open(wave, Map(2, 1, 0, 48000, 0, {0}, 1)), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(Open(wave, Map(2, 1, 0, 45000, 0, {0}, 1)), STATUS_SUCCESS) << "within 3%";
  qvChannelInfo info{};
  ASSERT_EQ(Open(wave, Map(2, 0, 1, 48000, 0, {0}, 1), &info), STATUS_SUCCESS);
  EXPECT_EQ(info.programWord[0], 8u);
  EXPECT_EQ(info.programWord[1], 320u);
  uint32_t rate = 0, got = 0;
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_RATE, nullptr, 0, &rate, 4, &got), STATUS_SUCCESS);
  EXPECT_EQ(rate, 0x116A3u);
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_RATE), STATUS_BUFFER_TOO_SMALL);
  uint32_t zero = 0xFF;
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_VOLUME, &rate, 4, &zero, 4), STATUS_SUCCESS);
  EXPECT_EQ(zero, 0u);
  uint8_t control[12] = {};
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_CONTROL, control, 12), STATUS_NOT_SUPPORTED);
}

// A 48000 Hz output on the 44100 Hz board plays its buffers through the
// rate converter: each played frame interpolates the two client frames
// around its position.
TEST_F(WaveStreamTest, ConvertedOutputPlaysInterpolatedClientFrames) {
  ASSERT_EQ(Open(wave, Map(4, 0, 1, 48000, 0, {1}, 1)), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  std::vector<int32_t> data(400);
  for (int i = 0; i < 400; ++i) data[i] = (i * 7919 % 2001 - 1000) * 0x10000;
  Blocks(1);
  UmRequest* r = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, data.data(), 1600);
  Blocks(4);
  const auto& played = boards[0].engine->Played(1);
  ASSERT_EQ(played.size(), 5u * 64);
  // Board block 1 made the first converted block, played at block 3.
  for (uint32_t n = 0; n < 128; ++n) {
    uint64_t at = uint64_t(n) * 0x116A3;
    uint32_t i = uint32_t(at >> 16), f = uint32_t(at & 0xFFFF);
    double v = (double(data[i]) * (0xFFFF - f) + double(data[i + 1]) * f) / 65536.0;
    ASSERT_NEAR(double(int32_t(played[192 + n])), v, 4.0) << n;
  }
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
  uint32_t got = 0;
  EXPECT_EQ(UmWait(r, &got), STATUS_SUCCESS);
}

TEST_F(WaveStreamTest, RateChangesAreRefusedOnInputStreams) {
  LowBuffer buffer(128 * 4 * 2);
  ASSERT_EQ(Open(wave, Map(4, 1, 1, 128, buffer.Address(), {0, 0})), STATUS_SUCCESS);
  uint32_t rate = 0x18000;
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_RATE, &rate, 4), STATUS_INVALID_PARAMETER);
  rate = 0x10000;
  uint32_t before = 0;
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_RATE, &rate, 4, &before, 4), STATUS_SUCCESS);
  EXPECT_EQ(before, 0x10000u);
  uint8_t control[12] = {255, 1};
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_CONTROL, control, 12), STATUS_INVALID_PARAMETER) << "output index beyond the stream";
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_CONTROL, control, 8), STATUS_INVALID_BUFFER_SIZE);
}

TEST_F(WaveStreamTest, GroupedBuffersPlayInOrderThenSilenceAndRecordPacked) {
  for (SimBoard& b : boards) b.engine->input = simpcidsp::StreamEngine::Input::Ramp;
  // A mono 16-bit output on channel 4, widened to 4 and 5; two buffers of 100 frames.
  ASSERT_EQ(Open(wave, Map(2, 0, 1, 0, 0, {4}, 1)), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  std::vector<int16_t> data[2] = {std::vector<int16_t>(100), std::vector<int16_t>(100)};
  for (int i = 0; i < 200; ++i) data[i / 100][i % 100] = int16_t(1000 + i);
  Blocks(1);
  UmRequest* r[2];
  for (int i = 0; i < 2; ++i) r[i] = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, data[i].data(), 200);
  Blocks(6);
  for (int i = 0; i < 2; ++i) {
    uint32_t got = 0;
    uintptr_t info = 0;
    EXPECT_EQ(UmWait(r[i], &got, &info), STATUS_SUCCESS);
    EXPECT_EQ(info, 200u) << "the bytes used";
  }
  uint32_t position = 0;
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_POSITION, nullptr, 0, &position, 4), STATUS_SUCCESS);
  EXPECT_EQ(position, 200u) << "the frames the queue could not give are not counted";
  // Board block 1 took the buffers into the slot it plays at block 3.
  for (uint32_t ch : {4u, 5u}) {
    const auto& played = boards[0].engine->Played(ch);
    ASSERT_EQ(played.size(), 7u * 64);
    for (uint32_t n = 0; n < played.size(); ++n) {
      uint32_t want = n >= 192 && n < 392 ? uint32_t(1000 + n - 192) << 16 : 0;
      ASSERT_EQ(played[n], want) << ch << " " << n;
    }
  }
  EXPECT_TRUE(boards[0].engine->Played(6) == std::vector<uint32_t>(7 * 64, 0));

  // A stereo 24-bit input on channels 18 and 19 (board 1's 2 and 3).
  ASSERT_EQ(Open(wave, Map(6, 2, 0, 0, 0, {18}, 1)), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  Blocks(1);  // the second board's first interrupt since it carries a stream
  std::vector<uint8_t> in(64 * 6, 0xEE);
  UmRequest* rec = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, in.data(), uint32_t(in.size()));
  uint64_t block = boards[1].engine->Blocks();
  Blocks(1);
  uint32_t got = 0;
  ASSERT_EQ(UmWait(rec, &got), STATUS_SUCCESS);
  for (uint32_t f = 0; f < 64; ++f)
    for (uint32_t c = 0; c < 2; ++c) {
      uint32_t word = simpcidsp::StreamEngine::RampSample(block * 64 + f, 2 + c);
      const uint8_t* p = &in[f * 6 + c * 3];
      ASSERT_EQ(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24, word) << f << " " << c;
    }
  // Stop hands back a buffer still queued, with what it holds so far.
  std::vector<uint8_t> left(64 * 6);
  rec = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, left.data(), uint32_t(left.size()));
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
  uintptr_t info = 1;
  EXPECT_EQ(UmWait(rec, &got, &info), STATUS_SUCCESS);
  EXPECT_EQ(info, 0u);
}

// Cancelled data buffers leave the queue at once with the bytes they had
// given; the buffers queued later play from their start.
TEST_F(WaveStreamTest, CancelledDataBuffersLeaveTheQueue) {
  ASSERT_EQ(Open(wave, Map(2, 0, 1, 0, 0, {4}, 1)), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  std::vector<int16_t> data[3];
  for (int b = 0; b < 3; ++b)
    for (int i = 0; i < 100; ++i) data[b].push_back(int16_t(1000 * (b + 1) + i));
  Blocks(1);
  UmRequest* r[2];
  for (int i = 0; i < 2; ++i) r[i] = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, data[i].data(), 200);
  Blocks(1);  // 64 frames of the first
  ASSERT_EQ(UmCancelIo(wave), STATUS_SUCCESS);
  uint32_t got = 0;
  uintptr_t info = 0;
  EXPECT_EQ(UmWait(r[0], &got, &info), STATUS_CANCELLED);
  EXPECT_EQ(info, 128u) << "the bytes it had given";
  EXPECT_EQ(UmWait(r[1], &got, &info), STATUS_CANCELLED);
  EXPECT_EQ(info, 0u);
  UmRequest* next = UmIoControlBegin(wave, IOCTL_QV_WAVE_BUFFER, nullptr, 0, data[2].data(), 200);
  Blocks(4);
  EXPECT_EQ(UmWait(next, &got, &info), STATUS_SUCCESS);
  EXPECT_EQ(info, 200u);
  const auto& played = boards[0].engine->Played(4);
  ASSERT_EQ(played.size(), 6u * 64);
  for (uint32_t n = 0; n < played.size(); ++n) {
    // Board block 1 took the first buffer into the slot played at block 3.
    uint32_t want = n >= 192 && n < 256 ? uint32_t(1000 + n - 192) << 16
                    : n >= 256 && n < 356 ? uint32_t(3000 + n - 256) << 16
                                          : 0;
    ASSERT_EQ(played[n], want) << n;
  }
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
}

TEST_F(WaveStreamTest, CallerMemoryRingPlaysWhatWasWrittenAndCountsMisses) {
  LowBuffer buffer(128 * 4);
  ASSERT_EQ(Open(wave, Map(4, 0, 1, 128, buffer.Address(), {6})), STATUS_SUCCESS);
  constexpr uint32_t B = 64 * 4;  // one block of one channel
  LowBuffer memory(32 + 4 * B);
  auto* control = reinterpret_cast<QvCallerControl*>(memory.data);
  auto* ring = reinterpret_cast<uint32_t*>(memory.data + 32);
  control->reserved0 = memory.Address() + 32;
  auto message = [&](uint32_t m, uint32_t address) {
    uint32_t words[3] = {m, 0, address};
    return Ioctl(wave, IOCTL_QV_WAVE_MESSAGE, words, sizeof words);
  };
  control->length = 100;
  EXPECT_EQ(message(20000, memory.Address()), STATUS_INVALID_PARAMETER) << "not a whole number of blocks";
  EXPECT_EQ(message(20000, 0), STATUS_INVALID_PARAMETER);
  control->length = 4 * B;
  ASSERT_EQ(message(20100, memory.Address()), STATUS_SUCCESS);
  EXPECT_EQ(message(20000, memory.Address()), STATUS_UNSUCCESSFUL) << "one caller-memory stream per handle";

  for (uint32_t i = 0; i < 4 * 64; ++i) ring[i] = 0x10000000u + i * 0x100;
  control->writeOffset = 2 * B;  // two blocks written
  ASSERT_EQ(message(20002, 0), STATUS_SUCCESS);
  Blocks(1 + 3 + 4);  // the first interrupt, three blocks of wait, then four blocks
  EXPECT_EQ(control->moved, 128u);
  EXPECT_EQ(control->missed, 128u) << "an empty ring plays nothing";
  EXPECT_EQ(control->readOffset, 2 * B);
  const auto& played = boards[0].engine->Played(6);
  // The first transfer at board block 4 is played at block 6.
  for (uint32_t n = 0; n < played.size(); ++n) {
    uint32_t want = n >= 6 * 64 && n < 8 * 64 ? ring[n - 6 * 64] : 0;
    ASSERT_EQ(played[n], want) << n;
  }
  ASSERT_EQ(message(20103, 0), STATUS_SUCCESS);
  Blocks(2);
  EXPECT_EQ(control->missed, 128u) << "a stopped stream counts nothing";
}

TEST_F(WaveStreamTest, IncomingTimeCodeLocksTheBoardsSampleCounter) {
  LowBuffer buffer(128 * 4);
  // The input time-code offset is read at the board's first stream start.
  km::RegWriteDword(u"\\Registry\\Machine\\Software\\Quorvale\\MultiMedia", u"MtcInpOffset", 12);
  ASSERT_EQ(Open(wave, Map(4, 1, 0, 128, buffer.Address(), {0})), STATUS_SUCCESS);
  auto* board = static_cast<CPciBoardDevice*>(Board(u"\\Device\\Qvmio0"));
  const QvPositionRecord& p = board->Dsp()->Stream()->engine->position;
  EXPECT_TRUE(p.flags & QvPosPhaseStable) << "marked by the first start";
  EXPECT_EQ(p.inputOffset, 12);
  uint32_t mode[3] = {48000, 0, 25025};
  ASSERT_EQ(Ioctl(boards[0].handle, IOCTL_QV_DEVICE_MODE, mode, sizeof mode), STATUS_SUCCESS);
  boards[0].engine->rate = 48000;
  Blocks(2);
  EXPECT_FALSE(p.flags & QvPosLocked);
  // 01:00:00:00 at 25 frames per second from source 1, arriving now.
  boards[0].engine->TimeCode(1u << 13 | 1u << 8, 0, 1);
  Blocks(1);
  ASSERT_TRUE(p.flags & QvPosLocked);
  EXPECT_EQ(p.flags >> QvPosSourceShift & 15, 1u);
  // Frame 90000 is sample 172800000, plus the offset; the counter follows
  // the input position, which ran one block past the latch.
  EXPECT_EQ(p.counter, 172800000ull + 12 + 64);
  Blocks(3);
  EXPECT_EQ(p.counter, 172800000ull + 12 + 4 * 64) << "64 a block while locked";
  boards[0].engine->TimeCode(1u << 13 | 1u << 8, 5u << 8, 1);  // five frames on: a jump
  Blocks(1);
  EXPECT_FALSE(p.flags & QvPosLocked);
}

TEST_F(WaveStreamTest, ABoardRemovedUnderAStreamLeavesItToBeClosed) {
  LowBuffer buffer(128 * 4 * 2);
  ASSERT_EQ(Open(wave, Map(4, 1, 1, 128, buffer.Address(), {2, 17})), STATUS_SUCCESS);
  ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  Blocks(2);
  UmClose(boards[1].handle);
  // A board whose streams run is not given up; pulled out, it goes anyway.
  EXPECT_EQ(km::PnpRequest(boards[1].pdo, IRP_MN_QUERY_REMOVE_DEVICE), STATUS_UNSUCCESSFUL);
  EXPECT_EQ(km::PnpRequest(boards[1].pdo, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
  EXPECT_EQ(km::PnpRequest(boards[1].pdo, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
  km::PnpDeleteNode(boards[1].pdo);
  boards[1].handle = 0;
  boards[1].pdo = nullptr;
  boards[0].engine->Block();
  EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
  EXPECT_EQ(UmClose(wave), STATUS_SUCCESS);
  wave = 0;  // the engine left behind goes with the stream: the pool check at the end sees it
}

// A board pulled out while its interrupts keep coming and its DPC runs:
// the stop quiets the interrupt and waits for the running DPC, so nothing
// touches the board once it is freed (AddressSanitizer watches natively).
TEST_F(WaveStreamTest, ABoardStoppedWhileItsDpcRunsIsNotTouchedAfterwards) {
#if defined(_WIN32)
  constexpr int Rounds = 20;
#else
  constexpr int Rounds = 100;
#endif
  for (int round = 0; round < Rounds; ++round) {
    if (round) {
      TearDown();
      for (SimBoard& b : boards) {
        b.engine.reset();
        b.hi.reset();
      }
      SetUp();
      for (SimBoard& b : boards) ASSERT_NE(b.handle, UmHandle(0));
    }
    km::DelayDpcs(round % 2 ? 300 : 0);  // a DPC taken before the stop runs its routine during it
    LowBuffer buffer(128 * 4);
    ASSERT_EQ(Open(wave, Map(4, 0, 1, 128, buffer.Address(), {3})), STATUS_SUCCESS);
    ASSERT_EQ(Ioctl(wave, IOCTL_QV_WAVE_START), STATUS_SUCCESS);
    std::atomic<bool> stop{false};
    std::atomic<uint32_t> blocks{0};
    simpcidsp::StreamEngine* engine = boards[0].engine.get();
    std::thread clock([&] {
      while (!stop) {
        engine->Block();
        ++blocks;
      }
    });
    while (blocks < 8 + uint32_t(round % 8) * 4) std::this_thread::yield();
    UmClose(boards[0].handle);
    boards[0].handle = 0;
    EXPECT_EQ(km::PnpRequest(boards[0].pdo, IRP_MN_SURPRISE_REMOVAL), STATUS_SUCCESS);
    EXPECT_EQ(km::PnpRequest(boards[0].pdo, IRP_MN_REMOVE_DEVICE), STATUS_SUCCESS);
    km::PnpDeleteNode(boards[0].pdo);
    boards[0].pdo = nullptr;
    stop = true;
    clock.join();
    EXPECT_EQ(Ioctl(wave, IOCTL_QV_WAVE_STOP), STATUS_SUCCESS);
    EXPECT_EQ(UmClose(wave), STATUS_SUCCESS);
    wave = 0;
  }
}

// ---- the Dunvell ------------------------------------------------------------------------------------

// A 64-channel Dunvell without DSPs: its controller streams through the
// ring at the buffer address it was given, and its interrupt's positions
// (+16, +20, +24) drive the streams.
class DunvellWaveTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    board = std::make_unique<simpcidsp::Dunvell>(0, true);
    simbus::DeviceNode node = simbus::PciNode({0x1556, 0x1101, 0, 0}, 1);
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, board.get());
    uint32_t vector = node.resources[1].vector + 0x30;
    km::Arrival a = Arrive(node);
    ASSERT_EQ(a.startStatus, STATUS_SUCCESS);
    pdo = a.pdo;
    engine = std::make_unique<simpcidsp::StreamEngine>(board.get(), 64);
    board->interruptLine = [vector] { km::RaiseInterrupt(vector); };
    ASSERT_EQ(UmOpen("\\\\.\\Qvwave", ReadWrite, ShareAll, &wave), STATUS_SUCCESS);
  }
  void TearDown() override {
    if (wave) UmClose(wave);
    if (pdo) RemoveNode(pdo);
    KernelTest::TearDown();
    engine.reset();
    simbus::Unplace(board.get());
  }
  NTSTATUS Ioctl(uint32_t code, const void* in = nullptr, uint32_t inLen = 0, void* out = nullptr,
                 uint32_t outLen = 0) {
    uint32_t got = 0;
    return UmIoControl(wave, code, in, inLen, out, outLen, &got);
  }
  std::unique_ptr<simpcidsp::Dunvell> board;
  std::unique_ptr<simpcidsp::StreamEngine> engine;
  DEVICE_OBJECT* pdo = nullptr;
  UmHandle wave = 0;
};

TEST_F(DunvellWaveTest, RecordsAndPlaysSampleExactInItsFirstAndLastBlocks) {
  constexpr uint32_t Frames = 256, Half = Frames / 2;
  engine->input = simpcidsp::StreamEngine::Input::Ramp;
  LowBuffer buffer(Frames * 4 * 4);
  ASSERT_NE(buffer.data, nullptr);
  auto* runs = reinterpret_cast<uint32_t*>(buffer.data);
  for (uint32_t f = 0; f < Frames; ++f) {
    runs[2 * Frames + f] = 0x01000000u + f * 0x100;
    runs[3 * Frames + f] = 0x02000000u + f * 0x100;
  }
  // Inputs 1 and 50, outputs 2 and 63: the board's first and fourth block.
  std::vector<uint8_t> map = Map(4, 2, 2, Frames, buffer.Address(), {1, 50, 2, 63});
  qvChannelInfo info{};
  uint32_t got = 0;
  ASSERT_EQ(UmIoControl(wave, IOCTL_QV_WAVE_MAP, map.data(), uint32_t(map.size()), &info, sizeof info, &got),
            STATUS_SUCCESS);
  EXPECT_EQ(info.outputs, 64);
  EXPECT_EQ(board->regs[CBoardDnv::StreamBlocks / 4], (4u << 16) + 16) << "the stream started on the board";
  ASSERT_EQ(Ioctl(IOCTL_QV_WAVE_START), STATUS_SUCCESS);
  engine->Block();  // the first interrupt takes the board's positions
  for (uint32_t half = 0; half < 4; ++half) {
    QvStatusRecord record{};
    UmRequest* r = UmIoControlBegin(wave, IOCTL_QV_WAVE_WAIT, nullptr, 0, &record, sizeof record);
    for (uint32_t b = 0; b < Half / 64; ++b) engine->Block();
    // A wait the engine never answers fails here instead of hanging: the
    // stop completes it.
    for (int i = 0; i < 500 && !UmIsDone(r); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!UmIsDone(r)) Ioctl(IOCTL_QV_WAVE_STOP);
    ASSERT_EQ(UmWait(r, &got), STATUS_SUCCESS) << half;
    EXPECT_EQ(record.position, (half + 1) * Half);
    uint32_t start = (half % 2) * Half;
    for (uint32_t f = 0; f < Half; ++f) {
      uint64_t boardFrame = uint64_t(half) * Half + f + 64;
      ASSERT_EQ(runs[start + f], simpcidsp::StreamEngine::RampSample(boardFrame, 1)) << half << " " << f;
      ASSERT_EQ(runs[Frames + start + f], simpcidsp::StreamEngine::RampSample(boardFrame, 50)) << half << " " << f;
    }
  }
  // Client block c plays at board block c + 1 + the delay of one block.
  const auto& a = engine->Played(2);
  const auto& b = engine->Played(63);
  ASSERT_EQ(a.size(), 9u * 64);
  for (uint32_t n = 0; n < 128; ++n) ASSERT_EQ(a[n], 0u) << "silence before the stream's first block";
  for (uint32_t n = 0; n + 128 < a.size(); ++n) {
    ASSERT_EQ(a[n + 128], runs[2 * Frames + n % Frames]) << n;
    ASSERT_EQ(b[n + 128], runs[3 * Frames + n % Frames]) << n;
  }
  EXPECT_TRUE(engine->Played(3) == std::vector<uint32_t>(9 * 64, 0)) << "a channel nobody plays stays silent";
  ASSERT_EQ(UmClose(wave), STATUS_SUCCESS);
  wave = 0;
  EXPECT_FALSE(board->Running()) << "the last stream's stop stops the board";
  EXPECT_EQ(board->regs[CBoardDnv::StreamBlocks / 4], 16u);
}
