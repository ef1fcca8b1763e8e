// The library's portable parts: device names to paths, image framing and
// DSP memory records, the clock's arithmetic, the processor-feature decision
// from scripted CPUID answers, the converters' values and clipping, and the
// ASIO driver's sizes, channel tables, map record and switch counts.
#include "Drv/Qvcom/asiocore.h"
#include "Drv/Qvdrv/clock.h"
#include "Drv/Qvdrv/cpufeat.h"
#include "Drv/Qvdrv/devname.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

TEST(DeviceNames, NamesBecomePaths) {
  struct Case {
    const char* name;
    qvname::PathKind kind;
    const char* path;
    const char* server;
  };
  const Case cases[] = {
      {"Qvtvr0", qvname::PathKind::Local, "\\\\.\\Qvtvr0", ""},
      {"\\Qvtvr0", qvname::PathKind::Local, "\\\\.\\Qvtvr0", ""},
      {"\\\\.\\Qvdev0", qvname::PathKind::Local, "\\\\.\\Qvdev0", ""},
      {"\\\\?\\Qvdev0", qvname::PathKind::Local, "\\\\?\\Qvdev0", ""},
      {"\\\\studio\\Qvdev1", qvname::PathKind::Remote, "\\\\.\\Qvdev1", "studio"},
      {"\\\\studio", qvname::PathKind::BadRemote, "", ""},
      {"\\\\studio\\", qvname::PathKind::BadRemote, "", ""},
  };
  for (const Case& c : cases) {
    qvname::DevicePath p = qvname::PathOfName(c.name);
    EXPECT_EQ(p.kind, c.kind) << c.name;
    EXPECT_STREQ(p.path, c.path) << c.name;
    EXPECT_STREQ(p.server, c.server) << c.name;
  }
}

TEST(DeviceNames, LongNamesAreCutNotOverrun) {
  std::string name(400, 'x');
  qvname::DevicePath p = qvname::PathOfName(name.c_str());
  EXPECT_EQ(std::strlen(p.path), sizeof p.path - 1);
  std::string remote = "\\\\" + std::string(300, 's') + "\\dev";
  p = qvname::PathOfName(remote.c_str());
  EXPECT_EQ(p.kind, qvname::PathKind::Remote);
  EXPECT_EQ(std::strlen(p.server), sizeof p.server - 1);
  EXPECT_STREQ(p.path, "\\\\.\\dev");
}

TEST(BoardFraming, ProgramFilesLoseMarkAndTailOthersGoWhole) {
  const uint8_t program[] = {0x10, 0xF3, 0x29, 1, 2, 3, 4, 0xEE, 0xFF};
  qvframe::ImageFrame f = qvframe::FrameImage(program, sizeof program);
  EXPECT_EQ(f.kind, qvframe::ImageKind::ProgramFile);
  EXPECT_EQ(f.offset, 3u);
  EXPECT_EQ(f.length, sizeof program - 5);
  // Five bytes: mark and tail only, an empty load.
  f = qvframe::FrameImage(program, 5);
  EXPECT_EQ(f.kind, qvframe::ImageKind::ProgramFile);
  EXPECT_EQ(f.length, 0u);
  // Shorter than mark and tail: the whole image as a boot image, never a
  // negative length.
  f = qvframe::FrameImage(program, 4);
  EXPECT_EQ(f.kind, qvframe::ImageKind::BootImage);
  EXPECT_EQ(f.length, 4u);
  const uint8_t raw[] = {8, 0, 0, 0, 2, 0, 0, 0};
  f = qvframe::FrameImage(raw, sizeof raw);
  EXPECT_EQ(f.kind, qvframe::ImageKind::BootImage);
  EXPECT_EQ(f.offset, 0u);
  EXPECT_EQ(f.length, sizeof raw);
}

TEST(BoardFraming, DumpClearsAndLoadSetsTheWriteBit) {
  qvframe::MemoryRequest d = qvframe::DumpRequest(0x800003);
  EXPECT_EQ(d.control, 3u);
  EXPECT_EQ(d.inBytes, 8u);
  EXPECT_EQ(d.outBytes, 12u);
  qvframe::MemoryRequest l = qvframe::LoadRequest(3);
  EXPECT_EQ(l.control, 0x800003u);
  EXPECT_EQ(l.inBytes, 20u);
  EXPECT_EQ(l.outBytes, 0u);
  // Bits above the count do not count as words.
  EXPECT_EQ(qvframe::DumpRequest(0xFF000002).outBytes, 8u);
}

TEST(Clock, ScaleAndTimeFromInjectedFrequency) {
  // 10 MHz: one count is one 100-ns unit.
  uint32_t scale = qvclock::ScaleFor(10000000);
  EXPECT_EQ(scale, 268435456u);
  EXPECT_EQ(qvclock::TimeOf(12345, scale, 10000000), 12345u);
  // 3.579545 MHz: a second of counts is 10^7 units, give or take the
  // quotient's truncation.
  scale = qvclock::ScaleFor(3579545);
  uint64_t t = qvclock::TimeOf(3579545, scale, 3579545);
  EXPECT_NEAR(static_cast<double>(t), 1e7, 2.0);
  // Counts above 32 bits keep their high part.
  t = qvclock::TimeOf(uint64_t{3579545} * 5000, scale, 3579545);
  EXPECT_NEAR(static_cast<double>(t), 5e10, 1e4);
  // A frequency with zero low bits leaves the scale 0.
  EXPECT_EQ(qvclock::ScaleFor(uint64_t{1} << 32), 0u);
}

TEST(Clock, SlowCountersFallBackToTheFrequency) {
  EXPECT_EQ(qvclock::ScaleFor(625000), 0u);
  EXPECT_EQ(qvclock::ScaleFor(1000), 0u);
  EXPECT_EQ(qvclock::TimeOf(1500, 0, 1000), 15000000u);
  EXPECT_EQ(qvclock::TimeOf(1500, 0, 0), 0u);
}

TEST(Clock, DeltaAcrossTheWrapIsSmallAndPositive) {
  EXPECT_EQ(qvclock::Delta(0x100000005ull, 0xFFFFFFFBu), 10u);
  EXPECT_EQ(qvclock::Delta(1000, 400), 600u);
}

// CPUID answers by leaf.
class ScriptedCpu : public qvcpu::CpuidSource {
 public:
  bool present = true;
  std::map<uint32_t, qvcpu::CpuidRegs> leaves;
  int queries = 0;
  bool Present() override { return present; }
  qvcpu::CpuidRegs Query(uint32_t leaf) override {
    ++queries;
    auto it = leaves.find(leaf);
    return it == leaves.end() ? qvcpu::CpuidRegs{} : it->second;
  }
  void Vendor(const char (&name)[13]) {
    qvcpu::CpuidRegs r{};
    std::memcpy(&r.ebx, name, 4);
    std::memcpy(&r.edx, name + 4, 4);
    std::memcpy(&r.ecx, name + 8, 4);
    leaves[0] = r;
  }
};

constexpr uint32_t Mmx = 1u << 23, Sse = 1u << 25, Sse2 = 1u << 26, Htt = 1u << 28, Amd3dNow = 1u << 31;

TEST(CpuFeatures, DecisionTable) {
  struct Case {
    const char* vendor;
    uint32_t leaf1Edx;
    uint32_t logical;  // EBX bits 16-23 of leaf 1
    uint32_t maxExtended;
    uint32_t extEdx;
    uint32_t expected;
  };
  const Case cases[] = {
      {"GenuineIntel", Mmx | Sse | Sse2, 1, 0, 0, 0x07},
      {"GenuineIntel", Mmx | Sse | Sse2 | Htt, 2, 0, 0, 0x87},
      {"GenuineIntel", Mmx | Sse | Sse2 | Htt, 1, 0, 0, 0x07},
      {"GenuineIntel", Mmx | Sse | Sse2, 2, 0, 0, 0x07},
      {"GenuineIntel", Mmx | Sse, 1, 0, 0, 0x06},
      {"GenuineIntel", Sse | Sse2, 1, 0, 0, 0},  // no MMX
      {"AuthenticAMD", Mmx | Sse | Sse2 | Htt, 2, 0x80000008, Mmx | Amd3dNow, 0x0E},
      {"AuthenticAMD", Mmx, 4, 0x80000008, Mmx, 0x06},
      {"AuthenticAMD", Mmx | Sse2 | Htt, 2, 0x80000000, 0, 0x85},  // no extended leaf: the standard path
      {"AuthenticAMD", Mmx, 1, 0x80000001, Amd3dNow, 0},           // no MMX in the extended leaf
      {"CentaurHauls", Mmx | Sse | Sse2, 1, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ScriptedCpu cpu;
    cpu.Vendor(reinterpret_cast<const char(&)[13]>(*c.vendor));
    cpu.leaves[1] = {0, c.logical << 16, 0, c.leaf1Edx};
    cpu.leaves[0x80000000] = {c.maxExtended, 0, 0, 0};
    cpu.leaves[0x80000001] = {0, 0, 0, c.extEdx};
    EXPECT_EQ(qvcpu::FeaturesFrom(cpu), c.expected) << c.vendor << " edx " << std::hex << c.leaf1Edx;
  }
  ScriptedCpu none;
  none.present = false;
  EXPECT_EQ(qvcpu::FeaturesFrom(none), 0u);
}

TEST(CpuFeatures, CachesANonZeroWordAndProbesAZeroOneAgain) {
  qvcpu::ForgetCpuFeatures();
  ScriptedCpu cpu;
  cpu.Vendor("GenuineIntel");
  cpu.leaves[1] = {0, 0, 0, Sse | Sse2};  // no MMX: 0
  EXPECT_EQ(qvcpu::GetCpuFeatures(cpu), 0u);
  EXPECT_EQ(qvcpu::InstalledConverters().toInt, qvcpu::ConvertersOf(qvcpu::PairPortable).toInt);
  int before = cpu.queries;
  cpu.leaves[1] = {0, 0, 0, Mmx | Sse};
  EXPECT_EQ(qvcpu::GetCpuFeatures(cpu), 0x06u);
  EXPECT_GT(cpu.queries, before);
  EXPECT_EQ(qvcpu::InstalledConverters().toInt, qvcpu::ConvertersOf(qvcpu::PairSse).toInt);
  before = cpu.queries;
  EXPECT_EQ(qvcpu::GetCpuFeatures(cpu), 0x06u);
  EXPECT_EQ(cpu.queries, before);
  qvcpu::ForgetCpuFeatures();
}

struct alignas(16) Samples {
  int32_t ints[8];
  float floats[8];
};

class Converters : public ::testing::TestWithParam<qvcpu::ConverterPair> {};

TEST_P(Converters, IntegerToFloat) {
  Samples s{{0x40000000, INT32_MIN, 0, -0x40000000, INT32_MAX, 1, -1, 0x20000000}, {}};
  qvcpu::ConvertersOf(GetParam()).toFloat(8, s.ints, s.floats);
  const float expected[8] = {0.5f, -1.0f, 0.0f, -0.5f, 1.0f, 1.0f / 2147483648.0f, -1.0f / 2147483648.0f, 0.25f};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s.floats[i], expected[i]) << i;
}

TEST_P(Converters, FloatToIntegerRoundsAndClips) {
  bool portable = GetParam() == qvcpu::PairPortable;
  Samples s{{}, {1.0f, -2.0f, 0.5f, -1.0f, 0.0f, 4.0f, 0.25f, -0.25f}};
  qvcpu::ConvertersOf(GetParam()).toInt(8, s.floats, s.ints);
  const int32_t top = portable ? INT32_MAX : 2147483520;
  const int32_t expected[8] = {top, INT32_MIN, 0x40000000, INT32_MIN, 0, top, 0x20000000, -0x20000000};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(s.ints[i], expected[i]) << i;
}

TEST_P(Converters, RoundTripKeepsTwentyFourBitSamples) {
  Samples s{};
  for (int i = 0; i < 8; ++i) s.ints[i] = (i * 0x123457 - 0x400000) << 8;
  Samples back = s;
  qvcpu::ConverterTable t = qvcpu::ConvertersOf(GetParam());
  t.toFloat(8, s.ints, s.floats);
  t.toInt(8, s.floats, back.ints);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(back.ints[i], s.ints[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(EveryPair, Converters,
                         ::testing::Values(qvcpu::PairPortable, qvcpu::PairSse, qvcpu::PairSse2));


TEST(Asio, BufferSizesAndMasks) {
  const uint32_t sizes[][2] = {{100, 128}, {0, 64}, {70000, 65536}, {64, 64}, {129, 192}, {0xFFFFFFFF, 65536}};
  for (const auto& s : sizes) EXPECT_EQ(AsioBufferSize(s[0]), s[1]) << s[0];

  uint8_t mask[32];
  const uint8_t all4[4] = {0xFF, 0xFF, 0xFF, 0xFF}, two[2] = {0x21, 0x80};
  AsioMaskOfStored(nullptr, 0, mask);
  EXPECT_EQ(mask[31], 0xFF);
  AsioMaskOfStored(all4, 4, mask);
  EXPECT_EQ(mask[31], 0xFF) << "four 0xFF bytes mean every channel";
  AsioMaskOfStored(two, 2, mask);
  EXPECT_EQ(mask[0], 0x21);
  EXPECT_EQ(mask[1], 0x80);
  EXPECT_EQ(mask[2], 0);

  uint8_t table[254];
  // Bits 0, 5 and 15: whole stereo pairs for the outputs, single inputs.
  EXPECT_EQ(AsioOutputTable(mask, table, 254), 6u);
  EXPECT_EQ(std::vector<uint8_t>(table, table + 6), (std::vector<uint8_t>{0, 1, 4, 5, 14, 15}));
  EXPECT_EQ(AsioInputTable(mask, table, 254), 3u);
  EXPECT_EQ(std::vector<uint8_t>(table, table + 3), (std::vector<uint8_t>{0, 5, 15}));
  // Every bit: 254 channels, but a stream carries at most 127 per direction.
  std::memset(mask, 0xFF, 32);
  EXPECT_EQ(AsioInputTable(mask, table, 254), 254u);
  EXPECT_EQ(table[253], 253);
  EXPECT_EQ(AsioInputTable(mask, table, AsioStreamChannels), 127u);
  EXPECT_EQ(AsioOutputTable(mask, table, AsioStreamChannels), 126u) << "whole pairs only";
}

TEST(Asio, ChannelMapImage) {
  uint8_t map[12 + 254];
  const uint8_t ins[2] = {3, 5}, outs[2] = {0, 1};
  ASSERT_EQ(AsioBuildMap(map, sizeof map, 4, ins, 2, outs, 2, 256, 0x12345678), 16u);
  const uint8_t image[16] = {4, 2, 2, 0, 0x00, 0x02, 0, 0, 0x78, 0x56, 0x34, 0x12, 3, 5, 0, 1};
  EXPECT_EQ(std::memcmp(map, image, 16), 0) << "buffer length covers both halves; inputs first";
  // 127 channels fit the 7-bit count; 128 would read as an exclusive map.
  uint8_t many[128] = {};
  EXPECT_EQ(AsioBuildMap(map, sizeof map, 2, many, 127, nullptr, 0, 64, 1), 139u);
  EXPECT_EQ(map[1], 127);
  EXPECT_EQ(AsioBuildMap(map, sizeof map, 2, many, 128, nullptr, 0, 64, 1), 0u);
  EXPECT_EQ(AsioBuildMap(map, sizeof map, 2, nullptr, 0, many, 128, 64, 1), 0u);
  EXPECT_EQ(AsioBuildMap(map, 15, 4, ins, 2, outs, 2, 256, 1), 0u) << "room for the record";
}

TEST(Asio, SwitchCountsAndMonitorRecords) {
  const struct {
    uint32_t host, block, size, calls;
    bool resync;
  } cases[] = {
      {0, 768, 256, 3, false},  {0, 256, 256, 1, false},           {0xFFFFFF00u, 0x100, 256, 2, false},
      {0, 100, 256, 1, true},   {1024, 512, 256, 1, true},         {0, 0, 256, 1, true},
      {0, 17 * 256, 256, 1, true}, {0, 16 * 256, 256, 16, false},
  };
  for (const auto& c : cases) {
    bool resync = false;
    EXPECT_EQ(AsioSwitchCount(c.host, c.block, c.size, &resync), c.calls) << c.host << " " << c.block;
    EXPECT_EQ(resync, c.resync) << c.host << " " << c.block;
  }

  const uint8_t ins[2] = {3, 5}, outs[2] = {2, 3};
  AsioMonitorRecord r;
  ASSERT_TRUE(AsioMonitor(5, 3, 0x20000000, 1, 77, ins, 2, outs, 2, &r));
  EXPECT_EQ(r.input, 1);
  EXPECT_EQ(r.output, 1);
  EXPECT_EQ(r.gain, 0x40000000u);
  EXPECT_EQ(r.pan, 77u);
  ASSERT_TRUE(AsioMonitor(-1, 2, 0x40000000, 1, 0, ins, 2, outs, 2, &r));
  EXPECT_EQ(r.input, 255) << "every input";
  EXPECT_EQ(r.gain, 0x7FFFFFFFu);
  ASSERT_TRUE(AsioMonitor(3, 2, 0x40000000, 0, 0, ins, 2, outs, 2, &r));
  EXPECT_EQ(r.gain, 0u) << "monitor off";
  EXPECT_FALSE(AsioMonitor(4, 2, 0, 1, 0, ins, 2, outs, 2, &r)) << "not a stream input";
  EXPECT_FALSE(AsioMonitor(3, 9, 0, 1, 0, ins, 2, outs, 2, &r)) << "not a stream output";
  EXPECT_FALSE(AsioMonitor(-1, 2, 0, 1, 0, ins, 0, outs, 2, &r)) << "no inputs to monitor";
}

}  // namespace
