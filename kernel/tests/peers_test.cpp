// The two kernel-mode peers on a simulated Mixer I/O board. The GSIF
// interface driven as a sampler host drives it: the entry routine, the
// commands and their errors, the buffer configuration from the interface
// key, and a stream whose rings record and play the board's audio sample
// for sample with a callback every buffer. The WDM driver's direct-call
// interface driven as its port stream drives it: the interface record,
// formats, states, framing, and packets moved through the board sample
// for sample.
#include "kernel/gsif.h"
#include "kernel/wdmiface.h"
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

TEST_F(GsifTest, ThePublishedRoutineFindsTheEntryRoutineDownTheBoardsStack) {
  GsifEntryRecord record{};
  ASSERT_EQ(GsifGetInterface(&record, u"Qvmio0"), STATUS_SUCCESS);
  EXPECT_STREQ(record.name, "CKeGsif");
  EXPECT_EQ(reinterpret_cast<CKeGsif*>(uintptr_t(record.object)), gsif) << "the board's one object";
  reinterpret_cast<CKeGsif*>(uintptr_t(record.object))->Release();
  EXPECT_EQ(GsifGetInterface(&record, u"Qvnone0"), STATUS_OBJECT_NAME_NOT_FOUND);
  GsifInterfaceRecord r{};
  EXPECT_EQ(KsQueryDeviceInterface(u"Qvmio0", &GUID_QvGsifInterface, sizeof r - 1, 0, &r.header),
            STATUS_INVALID_PARAMETER);
  EXPECT_EQ(KsQueryDeviceInterface(u"Qvmio0", &GUID_QvGsifInterface, sizeof r, 1, &r.header),
            STATUS_INVALID_PARAMETER);
  // The interface key names the entry routine and the board while GSIF is
  // on, and 0 for both while it is off.
  auto values = [&](uint32_t* entryWord, uint32_t* boardWord) {
    HANDLE key;
    ASSERT_EQ(board->GsifKey(&key), STATUS_SUCCESS);
    KsRegReadDword(key, u"GetInterfaceCallback", entryWord);
    KsRegReadDword(key, u"DeviceExtension", boardWord);
    KsRegClose(key);
  };
  uint32_t entryWord = 0, boardWord = 0;
  ASSERT_EQ(board->SetInterfaces(true), STATUS_SUCCESS);
  ASSERT_TRUE(board->GsifOn());
  values(&entryWord, &boardWord);
  EXPECT_EQ(entryWord, uint32_t(reinterpret_cast<uintptr_t>(&GsifEntry)));
  EXPECT_EQ(boardWord, uint32_t(reinterpret_cast<uintptr_t>(board)));
  board->SetInterfaces(false);
  values(&entryWord, &boardWord);
  EXPECT_EQ(entryWord, 0u);
  EXPECT_EQ(boardWord, 0u);
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

// ---- the WDM driver's direct-call interface ----------------------------------------------------------

namespace {
// The fake port stream of the WDM driver: its three interfaces, its sink.
struct FakePort : QvWdmSink {
  struct Iface : CKsInterface {};
  CKsInterface* port[3] = {new Iface, new Iface, new Iface};
  std::vector<uint8_t*> done;
  uint32_t notified = 0;
  void Close() {
    for (CKsInterface*& p : port) {
      if (p) p->Release();
      p = nullptr;
    }
  }
  void PacketDone(uint8_t* data, uint32_t) override { done.push_back(data); }
  void Notify(const GUID& what) override {
    EXPECT_TRUE(IsEqualGUID(what, GUID_QvWdmInterface));
    ++notified;
  }
};

// A kernel-streaming wave format: the 64-byte header, the wave format and,
// when extensible, its 22-byte extension.
std::vector<uint8_t> Format(uint16_t channels, uint16_t bytes, uint32_t rate, uint32_t mask = 0,
                            const GUID& sub = KSDATAFORMAT_SUBTYPE_PCM_QV) {
  bool ext = mask != 0;
  std::vector<uint8_t> f(ext ? 104 : 82);
  uint32_t size = uint32_t(f.size());
  std::memcpy(&f[0], &size, 4);
  std::memcpy(&f[16], &KSDATAFORMAT_TYPE_AUDIO_QV, 16);
  std::memcpy(&f[32], &sub, 16);
  std::memcpy(&f[48], &KSDATAFORMAT_SPECIFIER_WAVEFORMATEX_QV, 16);
  uint16_t tag = ext ? 0xFFFE : 1, align = uint16_t(channels * bytes), bits = uint16_t(bytes * 8), cb = ext ? 22 : 0;
  uint32_t avg = rate * align;
  std::memcpy(&f[64], &tag, 2);
  std::memcpy(&f[66], &channels, 2);
  std::memcpy(&f[68], &rate, 4);
  std::memcpy(&f[72], &avg, 4);
  std::memcpy(&f[76], &align, 2);
  std::memcpy(&f[78], &bits, 2);
  std::memcpy(&f[80], &cb, 2);
  if (ext) {
    std::memcpy(&f[84], &mask, 4);
    std::memcpy(&f[88], &sub, 16);
  }
  return f;
}
}  // namespace

class WdmTest : public GsifTest {
 protected:
  void TearDown() override {
    if (stream) stream->Release();
    port.Close();
    GsifTest::TearDown();
  }
  NTSTATUS Open(const std::vector<uint8_t>& f, bool capture) {
    return QvWdmOpenStream(board, &stream, &portStream, f.data(), uint32_t(f.size()), capture, port.port, &port);
  }
  FakePort port;
  int portStream = 0;
  CQvWdmStream* stream = nullptr;
};

TEST_F(WdmTest, TheBoardAnswersTheQueryForItsInterfaceRecord) {
  QvWdmInterfaceRecord r{};
  const uint16_t size = sizeof r;
  auto query = [&](uint16_t s, uint16_t version, void* record) {
    return KsQueryDeviceInterface(u"Qvmio0", &GUID_QvWdmInterface, s, version,
                                  static_cast<INTERFACE*>(record));
  };
  EXPECT_EQ(query(size - 1, 0, &r), STATUS_INVALID_PARAMETER) << "too small";
  EXPECT_EQ(query(size, 1, &r), STATUS_INVALID_PARAMETER) << "version";
  EXPECT_EQ(query(size, 0, nullptr), STATUS_INVALID_PARAMETER) << "no record";
  ASSERT_EQ(query(size, 0, &r), STATUS_SUCCESS);
  EXPECT_EQ(r.size, size);
  EXPECT_EQ(r.version, 0);
  EXPECT_EQ(r.context, board->DeviceObject());
  EXPECT_EQ(r.board, board);
  EXPECT_EQ(r.bytes[0], 0);
  EXPECT_EQ(r.bytes[2], 16);
  EXPECT_EQ(r.open, &QvWdmOpenStream);
  r.dereference(r.context);
}

TEST_F(WdmTest, OpenTakesOnlyTheFormatsTheBoardSupports) {
  std::vector<uint8_t> good = Format(2, 2, 44100);
  EXPECT_EQ(QvWdmOpenStream(board, &stream, nullptr, good.data(), 82, false, port.port, &port),
            STATUS_INVALID_PARAMETER) << "no port stream";
  EXPECT_EQ(QvWdmOpenStream(board, &stream, &portStream, good.data(), 82, false, port.port, nullptr),
            STATUS_INVALID_PARAMETER) << "no sink";
  struct Case {
    const char* what;
    std::vector<uint8_t> format;
    NTSTATUS status;
    uint32_t offset, channels;
  };
  std::vector<Case> cases = {
      {"PCM stereo 16-bit", good, STATUS_SUCCESS, 0, 2},
      {"the board's own sub-format", Format(1, 4, 44100, 0, KSDATAFORMAT_SUBTYPE_QVBOARD), STATUS_SUCCESS, 0, 1},
      {"extensible, offset from the mask", Format(2, 3, 46000, 0x30), STATUS_SUCCESS, 4, 2},
      {"81 bytes", std::vector<uint8_t>(good.begin(), good.end() - 1), STATUS_NOT_SUPPORTED, 0, 0},
      {"another major type", good, STATUS_NOT_SUPPORTED, 0, 0},
      {"another sub-type", Format(2, 2, 44100, 0, KSDATAFORMAT_TYPE_AUDIO_QV), STATUS_NOT_SUPPORTED, 0, 0},
      {"extensible in 103 bytes", Format(2, 2, 44100, 3), STATUS_NOT_SUPPORTED, 0, 0},
      {"extension under 22 bytes", Format(2, 2, 44100, 3), STATUS_NOT_SUPPORTED, 0, 0},
      {"no channels", Format(0, 2, 44100), STATUS_NOT_SUPPORTED, 0, 0},
      {"beyond channel 16", Format(2, 2, 44100, 0x8000), STATUS_NOT_SUPPORTED, 0, 0},
      {"rate below 95 %", Format(2, 2, 41000), STATUS_NOT_SUPPORTED, 0, 0},
      {"rate above 105 %", Format(2, 2, 46400), STATUS_NOT_SUPPORTED, 0, 0},
      {"five bytes a sample", Format(1, 5, 44100), STATUS_NOT_SUPPORTED, 0, 0},
  };
  cases[4].format[16] ^= 1;
  cases[6].format.pop_back();
  cases[7].format[80] = 21;
  for (Case& c : cases) {
    NTSTATUS status = Open(c.format, false);
    EXPECT_EQ(status, c.status) << c.what;
    if (status == STATUS_SUCCESS) {
      EXPECT_EQ(stream->ChannelOffset(), c.offset) << c.what;
      EXPECT_EQ(stream->Channels(), c.channels) << c.what;
      stream->Release();
      stream = nullptr;
    } else {
      EXPECT_EQ(stream, nullptr) << c.what;
    }
  }
}

TEST_F(WdmTest, StatesFollowTheirTransitionsAndRefuseTheOthers) {
  ASSERT_EQ(Open(Format(2, 2, 44100), false), STATUS_SUCCESS);
  uint32_t framing[6] = {};
  stream->Framing(framing);
  EXPECT_EQ(framing[0], 0x80000002u);
  EXPECT_EQ(framing[3], 64u * 4);
  EXPECT_EQ(framing[1] | framing[2] | framing[4] | framing[5], 0u);
  void* iface = nullptr;
  for (const GUID* g : {&IID_QvWdmStream, &IID_QvWdmStreamBoard, &KsIidBase}) {
    ASSERT_EQ(stream->QueryInterface(*g, &iface), STATUS_SUCCESS);
    stream->Release();
  }
  EXPECT_NE(stream->QueryInterface(GUID_QvWdmInterface, &iface), STATUS_SUCCESS);

  struct Step {
    uint32_t to;
    NTSTATUS status;
  };
  const Step steps[] = {{QvKsPause, STATUS_INVALID_DEVICE_REQUEST}, {QvKsRun, STATUS_INVALID_DEVICE_REQUEST},
                        {QvKsStop, STATUS_SUCCESS},                  {QvKsAcquire, STATUS_SUCCESS},
                        {QvKsRun, STATUS_INVALID_DEVICE_REQUEST},   {QvKsAcquire, STATUS_SUCCESS},
                        {QvKsPause, STATUS_SUCCESS},                 {QvKsRun, STATUS_SUCCESS},
                        {QvKsPause, STATUS_SUCCESS},                 {QvKsRun, STATUS_SUCCESS},
                        {QvKsAcquire, STATUS_SUCCESS},               {QvKsStop, STATUS_SUCCESS},
                        {QvKsAcquire, STATUS_SUCCESS},               {QvKsStop, STATUS_SUCCESS}};
  uint32_t state = QvKsStop;
  for (const Step& s : steps) {
    EXPECT_EQ(stream->SetState(s.to), s.status) << state << " -> " << s.to;
    if (s.status == STATUS_SUCCESS) state = s.to;
    EXPECT_EQ(stream->State(), state);
    if (state != QvKsStop) {
      std::vector<uint8_t> f = Format(2, 2, 44100);
      EXPECT_EQ(stream->SetFormat(f.data(), uint32_t(f.size())), STATUS_INVALID_DEVICE_REQUEST) << state;
    }
  }
  EXPECT_EQ(NTSTATUS(0xC0000010), STATUS_INVALID_DEVICE_REQUEST);
}

TEST_F(WdmTest, PacketsPlayThroughTheBoardSampleExactAcrossBlocks) {
  ASSERT_EQ(Open(Format(2, 2, 44100, 0x0C), false), STATUS_SUCCESS);
  ASSERT_EQ(stream->ChannelOffset(), 2u);
  // Three packets of 100, 50 and 300 frames: each of the first two ends
  // within a block.
  const uint32_t frames[3] = {100, 50, 300};
  std::vector<std::vector<int16_t>> packets;
  int16_t v = 1;
  for (uint32_t n : frames) {
    packets.emplace_back(2 * n);
    for (int16_t& s : packets.back()) s = v++;
  }
  ASSERT_EQ(stream->SetState(QvKsAcquire), STATUS_SUCCESS);
  for (auto& p : packets)
    ASSERT_EQ(stream->AddPacket(reinterpret_cast<uint8_t*>(p.data()), uint32_t(p.size() * 2)), STATUS_SUCCESS);
  engine->Block();  // the first interrupt takes the board's positions
  ASSERT_EQ(stream->SetState(QvKsPause), STATUS_SUCCESS);
  ASSERT_EQ(stream->SetState(QvKsRun), STATUS_SUCCESS);
  for (uint32_t b = 0; b < 10; ++b) engine->Block();
  ASSERT_EQ(port.done.size(), 3u);
  EXPECT_EQ(port.done[1], reinterpret_cast<uint8_t*>(packets[1].data())) << "completed in order";
  EXPECT_EQ(port.notified, 1u) << "told once when no packet is left";
  EXPECT_EQ(stream->Position(), 8u * 64 * 4) << "450 frames: eight blocks, the last padded";
  // The prefilled blocks play right after the block that started it.
  std::vector<uint32_t> expect;
  for (auto& p : packets)
    for (int16_t s : p) expect.push_back(uint32_t(int32_t(s)) << 16);
  for (uint32_t c = 0; c < 2; ++c) {
    const auto& played = engine->Played(2 + c);
    ASSERT_EQ(played.size(), 11u * 64);
    for (uint32_t n = 0; n < 64; ++n) ASSERT_EQ(played[n], 0u);
    for (uint32_t n = 0; n < 450; ++n) ASSERT_EQ(played[64 + n], expect[2 * n + c]) << n;
    for (uint32_t n = 64 + 450; n < played.size(); ++n) ASSERT_EQ(played[n], 0u) << "silence after the packets";
    EXPECT_TRUE(engine->Played(1) == std::vector<uint32_t>(11 * 64, 0)) << "other channels untouched";
  }
  ASSERT_EQ(stream->SetState(QvKsStop), STATUS_SUCCESS);
}

TEST_F(WdmTest, CapturedPacketsHoldTheBoardsInputsSampleExact) {
  engine->input = simpcidsp::StreamEngine::Input::Ramp;
  ASSERT_EQ(Open(Format(3, 3, 44100, 0x70), true), STATUS_SUCCESS);
  ASSERT_EQ(stream->ChannelOffset(), 4u);
  std::vector<uint8_t> a(70 * 9), b(90 * 9);
  ASSERT_EQ(stream->SetState(QvKsAcquire), STATUS_SUCCESS);
  ASSERT_EQ(stream->SetState(QvKsPause), STATUS_SUCCESS);
  ASSERT_EQ(stream->SetState(QvKsRun), STATUS_SUCCESS);
  ASSERT_EQ(stream->AddPacket(a.data(), uint32_t(a.size())), STATUS_SUCCESS);
  ASSERT_EQ(stream->AddPacket(b.data(), uint32_t(b.size())), STATUS_SUCCESS);
  engine->Block();
  for (uint32_t k = 0; k < 4; ++k) engine->Block();
  ASSERT_EQ(port.done.size(), 2u);
  // A stop hands back the packets still queued.
  std::vector<uint8_t> c(64 * 9);
  ASSERT_EQ(stream->AddPacket(c.data(), uint32_t(c.size())), STATUS_SUCCESS);
  ASSERT_EQ(stream->SetState(QvKsStop), STATUS_SUCCESS);
  ASSERT_EQ(port.done.size(), 3u);
  EXPECT_EQ(port.done[2], c.data());
  std::vector<uint8_t> all(a);
  all.insert(all.end(), b.begin(), b.end());
  auto sample = [&](uint32_t frame, uint32_t c) {
    const uint8_t* p = &all[frame * 9 + c * 3];
    return uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24;
  };
  // Find the board frame of the first captured frame from its ramp value.
  uint32_t first = sample(0, 0) >> 8 >> 4;
  for (uint32_t n = 0; n < 160; ++n)
    for (uint32_t c = 0; c < 3; ++c)
      ASSERT_EQ(sample(n, c), simpcidsp::StreamEngine::RampSample(first + n, 4 + c)) << n << " " << c;
  EXPECT_EQ(first % 64, 0u) << "from a block's start";
}

TEST_F(WdmTest, AnotherStreamsExclusiveChannelRefusesBothPeersAndLeavesThemStopped) {
  // A grouped wave stream that plays board channel 2 alone.
  UmHandle wave = 0;
  ASSERT_EQ(UmOpen("\\\\.\\Qvwave", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &wave),
            STATUS_SUCCESS);
  uint8_t map[13] = {4, 0, 1 | 0x80, 1};
  uint32_t rate = 44100, got = 0;
  std::memcpy(map + 4, &rate, 4);
  map[12] = 2;
  ASSERT_EQ(UmIoControl(wave, IOCTL_QV_WAVE_MAP, map, sizeof map, nullptr, 0, &got), STATUS_SUCCESS);

  GsifStreamRecord r = Record({0}, {2});
  EXPECT_EQ(gsif->Command(GsifOpen, &r, sizeof r, nullptr, 0), STATUS_SHARING_VIOLATION);
  EXPECT_EQ(gsif->Command(GsifIsOpen, nullptr, 0, nullptr, 0), STATUS_INVALID_DEVICE_STATE);
  ASSERT_EQ(Open(Format(1, 2, 44100, 0x4), false), STATUS_SUCCESS);
  EXPECT_EQ(stream->SetState(QvKsAcquire), STATUS_SHARING_VIOLATION);
  EXPECT_EQ(stream->State(), uint32_t(QvKsStop)) << "a failure leaves the stream stopped";

  UmClose(wave);
  EXPECT_EQ(gsif->Command(GsifOpen, &r, sizeof r, nullptr, 0), STATUS_SUCCESS);
  EXPECT_EQ(stream->SetState(QvKsAcquire), STATUS_SUCCESS) << "outputs mix with the GSIF stream's";
  EXPECT_EQ(gsif->Command(GsifClose, nullptr, 0, nullptr, 0), STATUS_SUCCESS);
}
