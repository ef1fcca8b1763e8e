// Noise-gate settings files and the host's shaping and analysis of the
// engine's on-lists.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "mixer/arrange/noisegate.h"
#include "tests/fakes/host_fake.h"

namespace fs = std::filesystem;

namespace {

class NgtFile : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = fs::temp_directory_path() / ("ngt_test_" + std::to_string(serial++) + "_" +
                                        std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
    Host().Reset();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const char* name) {
    std::string s = (dir_ / name).string();
    for (char& c : s)
      if (c == '/') c = '\\';
    return s;
  }
  std::string Bytes(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Put(const char* name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  fs::path dir_;
};

TEST_F(NgtFile, RoundTripWritesTheExactLayout) {
  NoiseGateSettings s;
  NoiseGateDefaults(&s);
  s.OnLevel = 0x1234;
  s.FadeOut = 300;
  s.Mode = kGateFloor;
  ASSERT_EQ(NgtWriteFile(Path("a.ngt").c_str(), s), 1);
  const std::string b = Bytes("a.ngt");
  ASSERT_EQ(b.size(), 33u);
  EXPECT_EQ(std::memcmp(b.data(), "NGATFFV1.0\0", 11), 0);
  EXPECT_EQ(static_cast<uint8_t>(b[11]), 0x34);
  EXPECT_EQ(static_cast<uint8_t>(b[12]), 0x12);
  EXPECT_EQ(static_cast<uint8_t>(b[31]), 2);  // mode, word 10

  NoiseGateSettings back;
  std::memset(&back, 0xEE, sizeof back);
  ASSERT_EQ(NgtReadFile(Path("a.ngt").c_str(), &back), 1);
  EXPECT_EQ(std::memcmp(&back, &s, sizeof s), 0);
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(NgtFile, DamagedFilesChangeNothing) {
  NoiseGateSettings good;
  NoiseGateDefaults(&good);
  ASSERT_EQ(NgtWriteFile(Path("good.ngt").c_str(), good), 1);
  const std::string valid = Bytes("good.ngt");
  auto withWord = [&](int word, uint16_t v) {
    std::string b = valid;
    b[11 + 2 * word] = static_cast<char>(v & 0xFF);
    b[12 + 2 * word] = static_cast<char>(v >> 8);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
    uint32_t message;
  } cases[] = {
      {"32 bytes", valid.substr(0, 32), 226},
      {"header only", valid.substr(0, 11), 226},
      {"short header", valid.substr(0, 5), 140},
      {"wrong version", "NGATFFV2.0" + valid.substr(10), 140},
      {"mode 3", withWord(10, 3), 140},
      {"level above unity", withWord(0, 40000), 140},
      {"time above 10 s", withWord(8, 10001), 140},
      {"hold below 10 ms", withWord(7, 9), 140},
  };
  NoiseGateSettings current;
  NoiseGateDefaults(&current);
  current.MinOn = 77;
  const NoiseGateSettings before = current;
  for (const Case& c : cases) {
    Host().Reset();
    Put("bad.ngt", c.bytes);
    EXPECT_EQ(NgtReadFile(Path("bad.ngt").c_str(), &current), 0) << c.what;
    EXPECT_EQ(std::memcmp(&current, &before, sizeof current), 0) << c.what;
    ASSERT_EQ(Host().boxes.size(), 1u) << c.what;
    EXPECT_EQ(Host().boxes[0].id, c.message) << c.what;
  }
  Host().Reset();
  EXPECT_EQ(NgtReadFile(Path("missing.ngt").c_str(), &current), 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, 225u);
}

TEST(GateLists, UnionOfLinkedChannels) {
  const std::vector<GatePair> a = {{0, 10}, {20, 5}, {100, 10}};
  const std::vector<GatePair> b = {{8, 4}, {25, 5}, {50, 1}};
  const std::vector<GatePair> u = GateOnListUnion(a, b);
  ASSERT_EQ(u.size(), 4u);
  EXPECT_EQ(u[0].start, 0);
  EXPECT_EQ(u[0].length, 12);
  EXPECT_EQ(u[1].start, 20);
  EXPECT_EQ(u[1].length, 10);  // [20,25) and [25,30) touch
  EXPECT_EQ(u[2].start, 50);
  EXPECT_EQ(u[3].start, 100);
  // Linked channels gate together: each side's union is the same list.
  const std::vector<GatePair> v = GateOnListUnion(b, a);
  ASSERT_EQ(v.size(), u.size());
  for (size_t i = 0; i < u.size(); ++i) {
    EXPECT_EQ(v[i].start, u[i].start);
    EXPECT_EQ(v[i].length, u[i].length);
  }
}

TEST(GateLists, ShapingDropsShortDetectionsAndFillsShortGaps) {
  GateTiming t{};
  t.minDetect = 5;
  t.hold = 5;
  t.preTrigger = 20;
  std::vector<GatePair> l = {{100, 9}, {200, 50}, {260, 40}, {400, 10}};
  GateOnListShape(&l, t, 190);
  // [100,109) is too short; [200,250) moves to 190 (the channel start);
  // [260,300) moves to 250 and joins it; [400,410) moves to 380.
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].start, 190);
  EXPECT_EQ(l[0].length, 110);
  EXPECT_EQ(l[1].start, 380);
  t.minOff = 81;
  GateOnListShape(&l, t, 0);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0].start, 170);
  EXPECT_EQ(l[0].End(), 410);
  t = GateTiming{};
  t.minOn = 100;
  l = {{0, 10}, {50, 10}, {150, 10}};
  GateOnListShape(&l, t, 0);
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].End(), 100);
  EXPECT_EQ(l[1].start, 150);
}

TEST(GateLists, FadesShareAShortGapInTheRatioOfTheirLengths) {
  NoiseGateSettings s;
  NoiseGateDefaults(&s);
  s.FadeIn = 100;
  s.FadeOut = 300;
  s.Mode = kGateMute;
  const GateTiming t = GateTimingAt(s, 1000);  // 1 sample per ms
  const std::vector<GatePair> l = {{1000, 500}, {1700, 300}};
  const std::vector<GateSpan> spans = GateAnalyseChannel(l, t, s, 0, 3000);
  struct Want {
    int32_t kind, start, length;
  } want[] = {
      {kGateOff, 0, 900},      {kGateFadeIn, 900, 100}, {kGateOn, 1000, 500},
      {kGateFadeOut, 1500, 150}, {kGateFadeIn, 1650, 50}, {kGateOn, 1700, 300},
      {kGateFadeOut, 2000, 300}, {kGateOff, 2300, 700},
  };
  ASSERT_EQ(spans.size(), std::size(want));
  for (size_t i = 0; i < spans.size(); ++i) {
    EXPECT_EQ(spans[i].kind, want[i].kind) << i;
    EXPECT_EQ(spans[i].start, want[i].start) << i;
    EXPECT_EQ(spans[i].length, want[i].length) << i;
  }
  EXPECT_EQ(spans[0].gainStart, 32768u);  // mute mode: offs keep unity, the Parts get muted
  EXPECT_EQ(spans[1].gainStart, 0u);
  EXPECT_EQ(spans[3].gainEnd, 0u);
}

TEST(GateLists, ModesDecideTheOffSpans) {
  NoiseGateSettings s;
  NoiseGateDefaults(&s);
  const GateTiming t = GateTimingAt(s, 48000);
  for (uint16_t mode : {kGateRemove, kGateMute, kGateFloor}) {
    s.Mode = mode;
    const std::vector<GateSpan> never = GateAnalyseChannel({}, t, s, 0, 1000);
    if (mode == kGateRemove) {
      EXPECT_TRUE(never.empty());
    } else {
      ASSERT_EQ(never.size(), 1u);
      EXPECT_EQ(never[0].kind, kGateOff);
      EXPECT_EQ(never[0].gainStart, mode == kGateMute ? 32768u : 16384u);
    }
  }
}

}  // namespace
