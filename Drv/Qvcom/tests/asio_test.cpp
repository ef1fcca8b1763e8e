// The ASIO driver object as a small host of our own drives it: settings in
// the registry, init on the simulated machine and its fallback, the error
// codes, the buffer switches a block asks for, the time-code sequence, and a
// sine streamed through a board in loopback and compared sample for sample.
#include "Drv/Qvcom/asio.h"
#include "Drv/Qvcom/qvcom.h"
#include "kernel/protocol.h"
#include "sim/machine/simmachine.h"
#include "sim/pcidsp/streams.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The test program's own settings key (GlobalSettings 0: per host program).
HKEY HostKey() {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Asio\\Quorvale ASIO\\Qvcom_test", 0, nullptr, 0, KEY_ALL_ACCESS,
                  nullptr, &key, nullptr);
  return key;
}

void SetDword(const char* name, DWORD value) {
  HKEY key = HostKey();
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
  RegCloseKey(key);
}

bool ReadDword(const char* name, DWORD* value) {
  HKEY key = HostKey();
  DWORD size = 4;
  bool ok = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  return ok;
}

// The driver as a host gets it: the class's create function, then the
// driver interface by the class id.
struct Driver {
  Driver() {
    HRESULT hr = S_OK;
    IUnknown* u = CreateQvAsio(&CLSID_QvAsio, nullptr, &hr);
    u->QueryInterface(CLSID_QvAsio, reinterpret_cast<void**>(&asio));
    u->QueryInterface(IID_IQvAsioSettings, reinterpret_cast<void**>(&settings));
    object = static_cast<CQvAsio*>(reinterpret_cast<CCom*>(u));
    u->Release();
  }
  ~Driver() {
    settings->Release();
    asio->Release();
  }
  IASIO* asio = nullptr;
  IQvAsioSettings* settings = nullptr;
  CQvAsio* object = nullptr;
};

class Asio : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironmentVariableA("QVDRV_SIMULATION", "1");
    CSysTime::Init();
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Asio\\Quorvale ASIO");
    AsioCloseSettings();
    simmachine::Reset();
  }
  void TearDown() override { simmachine::Shutdown(); }
};

// ---- a host's callbacks, recording what the driver calls ----

struct Call {
  int32_t index;
  uint32_t position;
  uint32_t flags, tcFlags;
  uint64_t tcSamples;
};
std::vector<Call> g_calls;
std::vector<int32_t> g_messages;
int32_t g_timeInfo = 0, g_timeCode = 0;

void Switch(int32_t index, ASIOBool) { g_calls.push_back({index, 0, 0, 0, 0}); }
void RateChanged(ASIOSampleRate) {}
int32_t Message(int32_t selector, int32_t, void*, double*) {
  g_messages.push_back(selector);
  if (selector == kAsioSupportsTimeInfo) return g_timeInfo;
  if (selector == kAsioSupportsTimeCode) return g_timeCode;
  return 0;
}
ASIOTime* SwitchTimeInfo(ASIOTime* t, int32_t index, ASIOBool) {
  g_calls.push_back({index, t->timeInfo.samplePosition.lo, t->timeInfo.flags, t->timeCode.flags,
                     uint64_t(t->timeCode.timeCodeSamples.hi) << 32 | t->timeCode.timeCodeSamples.lo});
  return t;
}
ASIOCallbacks g_callbacks = {Switch, RateChanged, Message, SwitchTimeInfo};

}  // namespace

TEST_F(Asio, SettingsReadRoundedWithDefaultsWritten) {
  Driver d;
  DWORD v = 0;
  // Missing values read as their defaults and are written.
  EXPECT_EQ(d.settings->GetBufferSize(&v), S_OK);
  EXPECT_EQ(v, 512u);
  EXPECT_TRUE(ReadDword("BufferSize", &v) && v == 512);
  EXPECT_EQ(d.settings->GetSampleType(&v), S_OK);
  EXPECT_EQ(v, 18u);
  EXPECT_EQ(d.settings->GetDevice(&v), S_OK);
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(ReadDword("Device", &v) && v == 0);
  BYTE map[32];
  EXPECT_EQ(d.settings->GetInputMap(map), S_OK);
  EXPECT_EQ(map[0], 0xFF);
  EXPECT_EQ(map[31], 0xFF);
  EXPECT_EQ(d.settings->GetBufferSize(nullptr), E_POINTER);

  const struct {
    DWORD stored, read;
  } sizes[] = {{100, 128}, {0, 64}, {70000, 65536}, {64, 64}, {65, 128}, {0xFFFFFFFF, 65536}};
  for (const auto& s : sizes) {
    SetDword("BufferSize", s.stored);
    ASSERT_EQ(d.settings->GetBufferSize(&v), S_OK);
    EXPECT_EQ(v, s.read) << s.stored;
    int32_t lo, hi, preferred, step;
    d.asio->getBufferSize(&lo, &hi, &preferred, &step);
    EXPECT_EQ(preferred, int32_t(s.read));
    EXPECT_EQ(lo, 64);
    EXPECT_EQ(hi, 65536);
    EXPECT_EQ(step, 64);
  }
  // A sample type other than 16 and 18 becomes 18 and is written.
  SetDword("SampleType", 17);
  EXPECT_EQ(d.settings->GetSampleType(&v), S_OK);
  EXPECT_EQ(v, 18u);
  EXPECT_TRUE(ReadDword("SampleType", &v) && v == 18);
  EXPECT_EQ(d.settings->SetSampleType(16), S_OK);
  EXPECT_EQ(d.settings->SetSampleType(17), HRESULT(0x80070057));
  EXPECT_EQ(d.settings->GetSampleType(&v), S_OK);
  EXPECT_EQ(v, 16u);

  // A stored mask of four 0xFF bytes means every channel; a short one is
  // padded with zero bits.
  HKEY key = HostKey();
  BYTE four[4] = {0xFF, 0xFF, 0xFF, 0xFF}, two[2] = {0x0F, 0x01};
  RegSetValueExA(key, "OutputMap", 0, REG_BINARY, four, 4);
  d.settings->GetOutputMap(map);
  EXPECT_EQ(map[31], 0xFF);
  RegSetValueExA(key, "OutputMap", 0, REG_BINARY, two, 2);
  d.settings->GetOutputMap(map);
  EXPECT_EQ(map[0], 0x0F);
  EXPECT_EQ(map[1], 0x01);
  EXPECT_EQ(map[2], 0x00);
  RegCloseKey(key);
}

TEST_F(Asio, InitOnAllBoardsAndChannelNames) {
  ASSERT_NE(simmachine::AddPciBoard(BoardIdTvr), nullptr);
  ASSERT_NE(simmachine::AddPciBoard(BoardIdTvr), nullptr);
  SetDword("Device", 0xFFFFFFFF);
  BYTE outputs[32] = {0x20};  // bit 5 only: the pair 4, 5
  Driver d;
  ASSERT_EQ(d.settings->SetOutputMap(outputs), S_OK);
  ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
  int32_t in = 0, out = 0;
  ASSERT_EQ(d.asio->getChannels(&in, &out), ASE_OK);
  EXPECT_EQ(in, 32);
  EXPECT_EQ(out, 2);
  char name[40];
  d.asio->getDriverName(name);
  EXPECT_STREQ(name, "HRL Quorvale ASIO");
  EXPECT_EQ(d.asio->getDriverVersion(), 2);
  // A long "Description" is cut to the host's 32 bytes.
  HKEY key = HostKey();
  const std::string longName(100, 'x');
  RegSetValueExA(key, "Description", 0, REG_SZ, reinterpret_cast<const BYTE*>(longName.c_str()), 101);
  RegCloseKey(key);
  std::memset(name, '#', sizeof name);
  d.asio->getDriverName(name);
  EXPECT_EQ(std::string(name), std::string(31, 'x'));
  EXPECT_EQ(name[32], '#') << "nothing written past 32 bytes";

  const struct {
    int32_t channel;
    ASIOBool input;
    const char* name;
  } channels[] = {{0, ASIOFalse, "STR 5  Tavrion"},
                  {1, ASIOFalse, "STR 6  Tavrion"},
                  {0, ASIOTrue, "STR 1  Tavrion"},
                  {17, ASIOTrue, "STR 18  Tavrion 2"}};
  for (const auto& c : channels) {
    ASIOChannelInfo info{};
    info.channel = c.channel;
    info.isInput = c.input;
    ASSERT_EQ(d.asio->getChannelInfo(&info), ASE_OK);
    EXPECT_STREQ(info.name, c.name);
    EXPECT_EQ(info.type, 18);
    EXPECT_EQ(info.isActive, ASIOTrue);
  }
  ASIOChannelInfo bad{};
  bad.channel = 2;
  EXPECT_EQ(d.asio->getChannelInfo(&bad), ASE_InvalidParameter);
  bad.channel = -1;
  EXPECT_EQ(d.asio->getChannelInfo(&bad), ASE_InvalidParameter);
}

TEST_F(Asio, InitFallsBackAndReportsMissingBoards) {
  {
    // No boards at all.
    Driver d;
    EXPECT_EQ(d.asio->init(nullptr), ASIOFalse);
    char text[124];
    d.asio->getErrorMessage(text);
    EXPECT_STREQ(text, "No ASIO compatible device found");
  }
  ASSERT_NE(simmachine::AddPciBoard(BoardIdTvr), nullptr);
  {
    // An index beyond the boards: the stream stays on the wave device with
    // the last board named, and "Device" is written back as 0.
    SetDword("Device", 5);
    Driver d;
    ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
    DWORD v = 7;
    EXPECT_TRUE(ReadDword("Device", &v));
    EXPECT_EQ(v, 0u);
    ASIOChannelInfo info{};
    info.isInput = ASIOTrue;
    ASSERT_EQ(d.asio->getChannelInfo(&info), ASE_OK);
    EXPECT_STREQ(info.name, "STR 1  Tavrion");
  }
  {
    // The board itself: its own device is the stream.
    Driver d;
    ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
    char text[124] = "x";
    d.asio->getErrorMessage(text);
    EXPECT_STREQ(text, "");
  }
}

TEST_F(Asio, ErrorCodes) {
  Driver d;
  ASIOBufferInfo b[2] = {{ASIOTrue, 0, {}}, {ASIOFalse, 0, {}}};
  // Before init there is no device.
  EXPECT_EQ(d.asio->start(), ASE_NotPresent);
  EXPECT_EQ(d.asio->stop(), ASE_NotPresent);
  EXPECT_EQ(d.asio->createBuffers(b, 2, 256, &g_callbacks), ASE_NotPresent);
  EXPECT_EQ(d.asio->canSampleRate(44100), ASE_NotPresent);
  EXPECT_EQ(d.asio->outputReady(), ASE_NotPresent);
  EXPECT_EQ(d.asio->setClockSource(0), ASE_OK);
  EXPECT_EQ(d.asio->setClockSource(1), ASE_InvalidParameter);
  EXPECT_EQ(d.asio->future(kAsioEnableTimeCodeRead, nullptr), ASE_InvalidParameter);
  EXPECT_EQ(d.asio->future(kAsioCanTimeCode, nullptr), ASE_SUCCESS);
  EXPECT_EQ(d.asio->future(77, nullptr), ASE_InvalidParameter);
  ASIOClockSource clock[1];
  int32_t n = 0;
  EXPECT_EQ(d.asio->getClockSources(clock, &n), ASE_OK);
  EXPECT_EQ(n, 1);
  EXPECT_STREQ(clock[0].name, "HRL Quorvale Mixer");

  ASSERT_NE(simmachine::AddPciBoard(BoardIdTvr), nullptr);
  SetDword("Device", 0xFFFFFFFF);
  ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
  EXPECT_EQ(d.asio->start(), ASE_InvalidMode) << "no buffers";
  EXPECT_EQ(d.asio->canSampleRate(96000), ASE_OK);
  ASIOSampleRate rate = 0;
  EXPECT_EQ(d.asio->getSampleRate(&rate), ASE_OK);
  EXPECT_EQ(rate, 44100.0);
  EXPECT_EQ(d.asio->setSampleRate(44100.2), ASE_OK) << "the current rate";
  EXPECT_EQ(d.asio->setSampleRate(48000), ASE_NoClock) << "the wave device takes no device mode";
  EXPECT_EQ(d.asio->createBuffers(b, 0, 256, &g_callbacks), ASE_InvalidParameter);
  EXPECT_EQ(d.asio->createBuffers(b, 509, 256, &g_callbacks), ASE_InvalidParameter);
  EXPECT_EQ(d.asio->createBuffers(b, 2, 0, &g_callbacks), ASE_InvalidParameter);
  EXPECT_EQ(d.asio->createBuffers(b, 2, 256, nullptr), ASE_InvalidParameter);
  ASIOBufferInfo beyond = {ASIOTrue, 16, {}};
  EXPECT_EQ(d.asio->createBuffers(&beyond, 1, 256, &g_callbacks), ASE_InvalidParameter);
  ASIOBufferInfo twice[17];
  for (auto& t : twice) t = {ASIOTrue, 0, {}};
  EXPECT_EQ(d.asio->createBuffers(twice, 17, 256, &g_callbacks), ASE_InvalidParameter) << "more than 16 inputs";
  // A buffer length off the driver's 128-frame grid is refused by the driver.
  EXPECT_EQ(d.asio->createBuffers(b, 2, 100, &g_callbacks), ASE_InvalidMode);
}

TEST_F(Asio, BuffersLayoutMonitorAndTimeCodeSwitch) {
  ASSERT_NE(simmachine::AddPciBoard(BoardIdTvr), nullptr);
  SetDword("Device", 0xFFFFFFFF);
  Driver d;
  ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
  // Two inputs and two outputs of 256 samples of 4 bytes: 8192 bytes,
  // inputs first, each with its two halves.
  ASIOBufferInfo b[4] = {{ASIOFalse, 2, {}}, {ASIOTrue, 3, {}}, {ASIOFalse, 3, {}}, {ASIOTrue, 5, {}}};
  g_timeInfo = g_timeCode = 0;
  g_messages.clear();
  ASSERT_EQ(d.asio->createBuffers(b, 4, 256, &g_callbacks), ASE_OK);
  auto* base = static_cast<uint8_t*>(b[1].buffers[0]);
  EXPECT_EQ(static_cast<uint8_t*>(b[1].buffers[1]), base + 1024);
  EXPECT_EQ(static_cast<uint8_t*>(b[3].buffers[0]), base + 2048);
  EXPECT_EQ(static_cast<uint8_t*>(b[0].buffers[0]), base + 4096);
  EXPECT_EQ(static_cast<uint8_t*>(b[2].buffers[1]), base + 7168);
  EXPECT_EQ(g_messages, (std::vector<int32_t>{kAsioSupportsTimeInfo, kAsioSupportsTimeCode}));
  EXPECT_EQ(d.asio->future(kAsioEnableTimeCodeRead, nullptr), ASE_InvalidParameter) << "the host has no time code";

  // Input monitor: ASIO channels become positions in the stream's lists.
  const struct {
    int32_t input, output;
    ASIOError result;
  } monitors[] = {{5, 3, ASE_SUCCESS}, {-1, 2, ASE_SUCCESS}, {4, 2, ASE_InvalidParameter},
                  {3, 0, ASE_InvalidParameter}, {99, 2, ASE_InvalidParameter}};
  for (const auto& m : monitors) {
    ASIOInputMonitor request = {m.input, m.output, 0x20000000, ASIOTrue, 0x3FFFFFFF};
    EXPECT_EQ(d.asio->future(kAsioSetInputMonitor, &request), m.result) << m.input << " " << m.output;
  }

  // A block three buffers ahead: three switches, indices alternating.
  g_calls.clear();
  DWORD block[8] = {768, 0, 0, 44100, 0, 0, 0, 0};
  block[1] = static_cast<DWORD>(CSysTime::Timer());
  ASSERT_TRUE(d.object->OnBlock(block));
  ASSERT_EQ(g_calls.size(), 3u);
  EXPECT_EQ(g_calls[0].index, 0);
  EXPECT_EQ(g_calls[1].index, 1);
  EXPECT_EQ(g_calls[2].index, 0);
  // Positions out of step: one switch, no spinning, position taken over.
  g_calls.clear();
  block[0] = 768 + 100;
  ASSERT_TRUE(d.object->OnBlock(block));
  EXPECT_EQ(g_calls.size(), 1u);
  g_calls.clear();
  block[0] = 768 + 100 + 256;
  ASSERT_TRUE(d.object->OnBlock(block));
  EXPECT_EQ(g_calls.size(), 1u) << "back in step";
  g_calls.clear();
  block[0] = 768 + 100 + 256 - 512;  // behind
  ASSERT_TRUE(d.object->OnBlock(block));
  EXPECT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].index, 1);

  // A host with time info and time code.
  g_timeInfo = g_timeCode = 1;
  ASSERT_EQ(d.asio->createBuffers(b, 4, 256, &g_callbacks), ASE_OK);
  EXPECT_EQ(d.asio->future(kAsioEnableTimeCodeRead, nullptr), ASE_SUCCESS);
  g_calls.clear();
  d.object->m_position = 0;
  d.object->m_switches = 0;
  DWORD running[8] = {512, static_cast<DWORD>(CSysTime::Timer()), 0, 48000, 0, 2u << 24, 1000, 0};
  ASSERT_TRUE(d.object->OnBlock(running));
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[0].flags, 0x17u) << "the rate changed";
  EXPECT_EQ(g_calls[0].position, 0u);
  EXPECT_EQ(g_calls[1].position, 256u);
  EXPECT_EQ(g_calls[0].tcFlags, kTcValid | kTcRunning);
  EXPECT_EQ(g_calls[0].tcSamples, 1000u);
  EXPECT_EQ(g_calls[1].tcSamples, 1256u) << "time code advances with each further switch";
  ASIOSampleRate rate = 0;
  d.asio->getSampleRate(&rate);
  EXPECT_EQ(rate, 48000.0);
  // Time code stops: both flags go, and a valid, not running code is held
  // back for a second after the stop.
  DWORD stopped[8] = {768, static_cast<DWORD>(CSysTime::Timer()), 0, 48000, 0, 1u << 24, 2000, 0};
  g_calls.clear();
  ASSERT_TRUE(d.object->OnBlock(stopped));
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].flags, 7u);
  EXPECT_EQ(g_calls[0].tcFlags, 0u);
  EXPECT_NE(d.object->m_timeCodeStop, 0u);
  ASIOSamples position;
  ASIOTimeStamp stamp;
  d.asio->getSamplePosition(&position, &stamp);
  EXPECT_EQ(position.lo, 768u);
  EXPECT_EQ(d.asio->disposeBuffers(), ASE_OK);
}

namespace {

// The streaming host: a sine into output 0, input 0 recorded. Halves of
// about 90 ms leave the host's thread room on a loaded machine.
constexpr int32_t Size = 4096;
std::vector<int32_t> g_recorded;
uint32_t g_played = 0;
ASIOBufferInfo g_buffers[2];
volatile LONG g_switches = 0;

int32_t Sine(uint32_t n) {
  // Whole steps of 256: the sample survives both 24-bit placements.
  return int32_t(std::lround(std::sin(2 * 3.14159265358979 * 441.0 * (n + 1) / 44100.0) * 30000.0)) * 256;
}

void StreamSwitch(int32_t index, ASIOBool) {
  auto* in = static_cast<const int32_t*>(g_buffers[0].buffers[index]);
  auto* out = static_cast<int32_t*>(g_buffers[1].buffers[index]);
  g_recorded.insert(g_recorded.end(), in, in + Size);
  for (int32_t i = 0; i < Size; ++i) out[i] = Sine(g_played++);
  InterlockedIncrement(&g_switches);
}
ASIOCallbacks g_stream = {StreamSwitch, RateChanged, Message, SwitchTimeInfo};

}  // namespace

TEST_F(Asio, SineThroughTheBoardLoopbackIsSampleExact) {
  // The board's inputs hear its own outputs.
  simpcidsp::StreamEngine* board = simmachine::AddPciBoard(BoardIdMio);
  ASSERT_NE(board, nullptr);
  board->input = simpcidsp::StreamEngine::Input::Loopback;
  SetDword("Device", 0xFFFFFFFF);
  g_timeInfo = g_timeCode = 0;
  Driver d;
  ASSERT_EQ(d.asio->init(nullptr), ASIOTrue);
  g_buffers[0] = {ASIOTrue, 0, {}};
  g_buffers[1] = {ASIOFalse, 0, {}};
  g_recorded.clear();
  g_played = 0;
  g_switches = 0;
  ASSERT_EQ(d.asio->createBuffers(g_buffers, 2, Size, &g_stream), ASE_OK);
  // The first output half is played before the first switch fills it.
  for (int h = 0; h < 2; ++h)
    for (int32_t i = 0; i < Size; ++i) static_cast<int32_t*>(g_buffers[1].buffers[h])[i] = 0;
  ASSERT_EQ(d.asio->start(), ASE_OK);
  // About four seconds of stream.
  for (int i = 0; i < 1000 && g_switches < 40; ++i) Sleep(10);
  ASSERT_EQ(d.asio->stop(), ASE_OK);
  ASSERT_GE(g_switches, 40);
  ASIOSamples position;
  d.asio->getSamplePosition(&position, nullptr);
  EXPECT_EQ(position.lo, uint32_t(g_switches) * Size);
  EXPECT_EQ(d.asio->disposeBuffers(), ASE_OK);

  size_t first = 0;
  while (first < g_recorded.size() && g_recorded[first] == 0) ++first;
  ASSERT_LT(first, size_t(4 * Size)) << "the sine comes back within a few buffers";
  ASSERT_GT(g_recorded.size() - first, size_t(35 * Size));
  for (size_t n = first; n < g_recorded.size(); ++n)
    ASSERT_EQ(g_recorded[n], Sine(uint32_t(n - first))) << "sample " << n;
}
