// The recorder over the real Take store: a 24-bit Take played through the
// engine arrives as left-justified words, and audio recorded through the
// record list lands in a 16-bit Take's file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/model/take.h"
#include "native/qvNatRec/takedisk.h"
#include "native/qvNatRec/tests/natrec_support.h"

namespace {

class TakeDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() / "hrl-natrec-takes";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    ASSERT_EQ(TakeStoreOpen(), 1);
    rec = OpenRecorder(0, &kTakeDiskCallbacks);
    ASSERT_NE(rec, nullptr);
  }
  void TearDown() override {
    CloseRecorder(rec);
    TakeStoreClose();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  TakeRec* Make(const char* name, uint32_t bytesPerSample, uint32_t samples) {
    uint32_t error = 0;
    const std::string dir = folder.string() + "\\";
    return TakeCreateAudio(dir.c_str(), bytesPerSample, samples, 0, 48000, 25, 0, name, nullptr,
                           nullptr, nullptr, &error);
  }
  std::string FileOf(const char* name) { return (folder / (std::string(name) + ".ATAK")).string(); }

  VirtualClock clock;
  std::filesystem::path folder;
  Recorder* rec = nullptr;
};

TEST_F(TakeDisk, PlaysAndRecordsTakeFiles) {
  const uint32_t n = 50000;
  TakeRec* source = Make("Source", 3, n);
  TakeRec* dest = Make("Dest", 2, n);
  ASSERT_NE(source, nullptr);
  ASSERT_NE(dest, nullptr);
  {
    std::vector<uint8_t> bytes(n * 3);
    for (uint32_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    FILE* f = std::fopen(FileOf("Source").c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fseek(f, kTakeDataOffset, SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  const int32_t src = static_cast<int32_t>(TakeRef(source));
  const int32_t dst = static_cast<int32_t>(TakeRef(dest));
  RingClient client(rec, 0);
  const RecSeg play[] = {DiskSeg(0, src, 100), DiskSeg(n - 100, 0, 0, true)};
  const RecSeg record[] = {DiskSeg(0, dst, 0), DiskSeg(n, 0, 0, true)};
  ASSERT_EQ(RecorderSetDisk0List(rec, 0, 2, play), 1);
  ASSERT_EQ(RecorderSetDiskRList(rec, 0, 2, record), 1);
  ASSERT_EQ(RecorderSetPlayRecEndLoc(rec, 30000), 1);
  ASSERT_EQ(RecorderPrepAudPlayBufs(rec, 0), 1);
  ASSERT_TRUE(WaitIdleFor(rec));
  ASSERT_EQ(RecorderStartPlayRec(rec), 1);
  std::vector<int32_t> out(30000), in(30000);
  for (uint32_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>(i * 0x10000u + 0x1234);
  ASSERT_EQ(PlayFor(client, 30000, out.data(), in.data()), 30000u);
  ASSERT_TRUE(WaitIdleFor(rec));
  for (uint32_t t : {0u, 1u, 2u, 12345u, 29999u}) {
    const uint32_t at = (t + 100) * 3;
    const uint32_t b0 = (at * 7 + 1) & 0xFF, b1 = ((at + 1) * 7 + 1) & 0xFF, b2 = ((at + 2) * 7 + 1) & 0xFF;
    EXPECT_EQ(static_cast<uint32_t>(out[t]), b2 << 24 | b1 << 16 | b0 << 8) << t;
  }
  // The 16-bit Take keeps the upper half of each recorded word.
  FILE* f = std::fopen(FileOf("Dest").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint8_t> got(n * 2);
  std::fseek(f, kTakeDataOffset, SEEK_SET);
  ASSERT_EQ(std::fread(got.data(), 1, got.size(), f), got.size());
  std::fclose(f);
  for (uint32_t t : {0u, 7u, 29999u}) EXPECT_EQ(got[t * 2] | got[t * 2 + 1] << 8, static_cast<int>(t & 0xFFFF));
  EXPECT_EQ(got[30000 * 2], 0);
  int32_t take = 0;
  EXPECT_EQ(RecorderGetDiskErrorStat(rec, &take), 0);
}

TEST(TakeDiskCallbacks, UnknownTakeIsSilenceAndAFailure) {
  ASSERT_EQ(TakeStoreOpen(), 1);
  std::vector<uint32_t> ring(8, 0xFFFFFFFFu);
  std::vector<uint8_t> scratch(24);
  EXPECT_EQ(TakeDiskRead(12345, 0, 8, ring.data(), 8, 0, scratch.data()), 0);
  EXPECT_EQ(ring, std::vector<uint32_t>(8, 0));
  EXPECT_EQ(TakeDiskWrite(12345, 0, 8, ring.data(), 8, 0, scratch.data()), 0);
  TakeStoreClose();
}

}  // namespace
