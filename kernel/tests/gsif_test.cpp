// The GSIF kernel interface of a simulated Mixer I/O board, driven as a
// kernel-mode sampler host drives it: the entry routine, the commands and
// their errors, the buffer configuration from the interface key, and a
// stream whose rings record and play the board's audio sample for sample
// with a callback every buffer.
#include "kernel/gsif.h"
#include "kernel/pciboard.h"
#include "kernel/striface.h"
#include "kernel/tests/fixture.h"
#include "sim/pcidsp/hostif.h"
#include "sim/pcidsp/streams.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {
constexpr uint32_t Firmware = 0x70430;

// The fake host: the calls of its callback.
struct FakeHost {
  uint32_t calls = 0, bytes = 0;
  uint64_t positionAtCall = 0;
  CKeGsif* gsif = nullptr;
  static void Callback(void* argument, void* context, uint32_t bytes) {
    auto* self = static_cast<FakeHost*>(argument);
    EXPECT_EQ(context, &self->bytes);
    ++self->calls;
    self->bytes = bytes;
    self->positionAtCall = self->gsif->FramePosition();
  }
};
}  // namespace

class GsifTest : public KernelTest {
 protected:
  void SetUp() override {
    KernelTest::SetUp();
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    hi = std::make_unique<simpcidsp::HostInterface>(BoardIdMio);
    simbus::DeviceNode node = simbus::PciNode({0x1057, 0x1801, 0x89AB, uint16_t(BoardIdMio & 0xFFFF)}, 1);
    simbus::Place(simbus::ResKind::Memory, node.resources[0].start, node.resources[0].length, hi.get());
    km::Arrival a = Arrive(node);
    ASSERT_EQ(a.startStatus, STATUS_SUCCESS);
    pdo = a.pdo;
    ASSERT_EQ(UmOpen("\\\\.\\Qvmio0", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &handle),
              STATUS_SUCCESS);
    uint32_t got = 0;
    UmIoControl(handle, IOCTL_QV_ATTACH, nullptr, 0, nullptr, 0, &got);
    std::vector<uint8_t> image = simpcidsp::BootImageBytes(BoardIdMio, Firmware);
    ASSERT_EQ(UmIoControl(handle, IOCTL_QV_BOOT, image.data(), uint32_t(image.size()), nullptr, 0, &got),
              STATUS_SUCCESS);
    engine = std::make_unique<simpcidsp::StreamEngine>(hi.get(), 16);
    uint32_t vector = node.resources[1].vector + 0x30;
    hi->interruptLine = [vector] { km::RaiseInterrupt(vector); };
    board = static_cast<CPciBoardDevice*>(Board(u"\\Device\\Qvmio0"));
    ASSERT_EQ(GsifEntry(&entry, board), STATUS_SUCCESS);
    gsif = reinterpret_cast<CKeGsif*>(uintptr_t(entry.object));
  }
  void TearDown() override {
    if (gsif) gsif->Release();
    if (handle) UmClose(handle);
    if (pdo) RemoveNode(pdo);
    KernelTest::TearDown();
    if (hi) simbus::Unplace(hi.get());
  }
  // A value of the board's GSIF interface key; 0xFFFFFFFF deletes nothing
  // but writes the value as it is.
  void KeyDword(const WCHAR* name, uint32_t value) {
    HANDLE key;
    ASSERT_EQ(board->GsifKey(&key), STATUS_SUCCESS);
    KsRegWriteDword(key, name, value);
    KsRegClose(key);
  }
  static GsifStreamRecord Record(std::vector<uint32_t> record, std::vector<uint32_t> play) {
    GsifStreamRecord r{};
    for (uint32_t c : record) r.recordFlags[c] = 1;
    for (uint32_t c : play) r.playFlags[c] = 1;
    r.bytesPerChannel = 4096;
    r.format = 0x400;
    return r;
  }

  std::unique_ptr<simpcidsp::HostInterface> hi;
  std::unique_ptr<simpcidsp::StreamEngine> engine;
  DEVICE_OBJECT* pdo = nullptr;
  UmHandle handle = 0;
  CPciBoardDevice* board = nullptr;
  GsifEntryRecord entry{};
  CKeGsif* gsif = nullptr;
};

TEST_F(GsifTest, EntryRoutineAndCommandsWithoutAStream) {
  EXPECT_STREQ(entry.name, "CKeGsif");
  EXPECT_EQ(entry.one, 1u);
  EXPECT_EQ(GsifEntry(nullptr, board), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(GsifEntry(&entry, nullptr), STATUS_INVALID_PARAMETER);
  void* same = nullptr;
  ASSERT_EQ(gsif->QueryInterface(KsIidBase, &same), STATUS_SUCCESS);
  EXPECT_EQ(same, gsif) << "one object per board";
  gsif->Release();
  EXPECT_NE(gsif->QueryInterface(GUID_QvWdmInterface, &same), STATUS_SUCCESS);

  uint32_t info[5] = {};
  ASSERT_EQ(gsif->Command(GsifDriverInfo, nullptr, 0, info, sizeof info), STATUS_SUCCESS);
  EXPECT_EQ(std::vector<uint32_t>(info, info + 5), (std::vector<uint32_t>{4, 32, 1056, 0, 0x20000}));
  EXPECT_EQ(gsif->Command(GsifDriverInfo, nullptr, 0, info, 16), STATUS_INVALID_PARAMETER) << "short output";
  EXPECT_EQ(gsif->Command(0x1008, nullptr, 0, nullptr, 0), STATUS_INVALID_PARAMETER);
  EXPECT_EQ(gsif->Command(GsifNothing, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
  for (uint32_t code : {GsifClose, GsifStart, GsifStop, GsifIsOpen})
    EXPECT_EQ(gsif->Command(code, nullptr, 0, nullptr, 0), STATUS_INVALID_DEVICE_STATE) << std::hex << code;

  KeyDword(u"ChannelCount", 5);
  GsifCapabilities caps{};
  ASSERT_EQ(gsif->Command(GsifCmdCapabilities, nullptr, 0, &caps, sizeof caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.channels, 6u) << "rounded up to even";
  EXPECT_EQ(caps.channels32, 6u);
  EXPECT_EQ(caps.ringFrames, 1024u);
  EXPECT_EQ(caps.outputPresent[5], 1u);
  EXPECT_EQ(caps.outputPresent[6], 0u);
  EXPECT_EQ(caps.bufferBytes[1], 4096u);
  KeyDword(u"ChannelCount", 0xFFFFFFFF);
  ASSERT_EQ(gsif->Command(GsifCmdCapabilities, nullptr, 0, &caps, sizeof caps), STATUS_SUCCESS);
  EXPECT_EQ(caps.channels, 16u) << "the board's own count";
}

TEST_F(GsifTest, BufferConfigurationRoundsTheKeysValues) {
  struct Case {
    uint32_t frameSize, playOffset, frames, offset;
  };
  const Case cases[] = {{1, 0, 64, 16},      {64, 1, 64, 16},     {65, 64, 128, 16}, {128, 65, 128, 32},
                        {200, 129, 256, 48}, {1000, 1000, 256, 48}, {256, 192, 256, 48}};
  for (const Case& c : cases) {
    KeyDword(u"FrameSize", c.frameSize);
    KeyDword(u"PlayOffset", c.playOffset);
    uint32_t words[4] = {};
    ASSERT_EQ(gsif->Command(GsifBufferConfig, nullptr, 0, words, sizeof words), STATUS_SUCCESS);
    EXPECT_EQ(words[1], c.frames) << c.frameSize;
    EXPECT_EQ(words[2], c.offset) << c.playOffset;
    EXPECT_EQ(gsif->BufferFrames(), c.frames);
  }
}

TEST_F(GsifTest, OpenChecksTheRecordAndBuildsNothingOnAFailure) {
  struct Case {
    const char* what;
    GsifStreamRecord record;
  };
  std::vector<Case> cases = {{"bytes per channel", Record({0}, {})}, {"format", Record({0}, {})},
                             {"a channel the board lacks", Record({16}, {})}, {"nothing wanted", Record({}, {})}};
  cases[0].record.bytesPerChannel = 2048;
  cases[1].record.format = 0x300;
  for (Case& c : cases) {
    EXPECT_EQ(gsif->Command(GsifOpen, &c.record, sizeof c.record, nullptr, 0), STATUS_INVALID_PARAMETER) << c.what;
    EXPECT_EQ(gsif->Command(GsifIsOpen, nullptr, 0, nullptr, 0), STATUS_INVALID_DEVICE_STATE) << c.what;
  }
  GsifStreamRecord r = Record({0}, {1});
  EXPECT_EQ(gsif->Command(GsifOpen, &r, sizeof r - 4, nullptr, 0), STATUS_INVALID_PARAMETER) << "short record";
  ASSERT_EQ(gsif->Command(GsifOpen, &r, sizeof r, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(gsif->Command(GsifIsOpen, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(r.recordBuffers[0], uint32_t(reinterpret_cast<uintptr_t>(gsif->ChannelBuffer(true, 0))));
  EXPECT_EQ(r.playBuffers[0], 0u);
  EXPECT_EQ(gsif->ChannelBuffer(true, 0) + 1024, gsif->ChannelBuffer(false, 1)) << "record rings first";
  ASSERT_EQ(gsif->Command(GsifClose, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(gsif->Command(GsifIsOpen, nullptr, 0, nullptr, 0), STATUS_INVALID_DEVICE_STATE);
}

TEST_F(GsifTest, AStreamRecordsAndPlaysSampleExactWithACallbackEveryBuffer) {
  engine->input = simpcidsp::StreamEngine::Input::Ramp;
  GsifStreamRecord r = Record({0, 1}, {2, 3});
  ASSERT_EQ(gsif->Command(GsifOpen, &r, sizeof r, nullptr, 0), STATUS_SUCCESS);
  uint32_t words[4] = {};
  ASSERT_EQ(gsif->Command(GsifBufferConfig, nullptr, 0, words, sizeof words), STATUS_SUCCESS);
  ASSERT_EQ(gsif->BufferFrames(), 128u);
  FakeHost host;
  host.gsif = gsif;
  ASSERT_EQ(gsif->SetCallback(FakeHost::Callback, &host, &host.bytes), STATUS_SUCCESS);
  uint32_t* play[2] = {gsif->ChannelBuffer(false, 2), gsif->ChannelBuffer(false, 3)};
  for (uint32_t f = 0; f < 1024; ++f) {
    play[0][f] = 0x01000000u + f * 0x100;
    play[1][f] = 0x02000000u + f * 0x100;
  }
  ASSERT_EQ(gsif->Command(GsifStart, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
  engine->Block();  // the first interrupt takes the board's positions
  constexpr uint32_t Blocks = 20;
  for (uint32_t b = 0; b < Blocks; ++b) engine->Block();
  EXPECT_EQ(gsif->FramePosition(), Blocks * 64u);
  EXPECT_EQ(host.calls, Blocks / 2) << "one call per 128 frames";
  EXPECT_EQ(host.bytes, 512u);
  EXPECT_EQ(host.positionAtCall, Blocks * 64u);
  // The rings wrap at 1024 frames: frame n of the stream sits at n % 1024.
  uint32_t* rec[2] = {gsif->ChannelBuffer(true, 0), gsif->ChannelBuffer(true, 1)};
  for (uint32_t n = 1024; n < Blocks * 64; ++n)
    for (uint32_t c = 0; c < 2; ++c)
      ASSERT_EQ(rec[c][n % 1024], simpcidsp::StreamEngine::RampSample(n + 64, c)) << n << " " << c;
  for (uint32_t n = Blocks * 64 - 1024; n < 1024; ++n)
    ASSERT_EQ(rec[0][n], simpcidsp::StreamEngine::RampSample(n + 64, 0)) << n;
  // Stream block k is played three blocks later.
  for (uint32_t c = 0; c < 2; ++c) {
    const auto& played = engine->Played(2 + c);
    ASSERT_EQ(played.size(), (Blocks + 1) * 64u);
    for (uint32_t n = 0; n < 192; ++n) ASSERT_EQ(played[n], 0u) << "silence before the stream's first block";
    for (uint32_t n = 0; n + 192 < played.size(); ++n) ASSERT_EQ(played[n + 192], play[c][n % 1024]) << n;
  }

  ASSERT_EQ(gsif->Command(GsifStop, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
  uint32_t calls = host.calls;
  for (uint32_t b = 0; b < 4; ++b) engine->Block();
  EXPECT_EQ(host.calls, calls) << "no callbacks while stopped";
  // The stream stays open until closed; a second open closes it first.
  ASSERT_EQ(gsif->Command(GsifOpen, &r, sizeof r, nullptr, 0), STATUS_SUCCESS);
  ASSERT_EQ(gsif->Command(GsifClose, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
}
