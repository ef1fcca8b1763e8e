// Sample transfer between Audio Take files and the recorder's rings.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"
#include "takeattr_fixture.h"

namespace {

constexpr uint32_t kJunk = 0xA5A5A5A5u;  // ring words a transfer must not touch

// ---- packing, no files ----

TEST(TakeRing, WordLayoutBothWidths) {
  struct Case {
    uint32_t bytesPerSample;
    std::vector<uint8_t> bytes;
    uint32_t word;  // as unpacked
    uint32_t packed;  // a word whose low bits the packing must drop
  } cases[] = {
      {3, {0x56, 0x34, 0x12}, 0x12345600u, 0x12345678u},
      {3, {0xFF, 0xFF, 0xFF}, 0xFFFFFF00u, 0xFFFFFFFFu},  // -1
      {3, {0x00, 0x00, 0x80}, 0x80000000u, 0x800000FFu},  // most negative
      {2, {0x34, 0x12}, 0x12340000u, 0x12345678u},
      {2, {0x00, 0x80}, 0x80000000u, 0x8000FFFFu},
  };
  for (const Case& c : cases) {
    uint32_t ring[1] = {kJunk};
    RingUnpackSamples(c.bytes.data(), 1, c.bytesPerSample, ring, 1, 0);
    EXPECT_EQ(ring[0], c.word) << c.bytesPerSample;
    uint8_t out[3] = {0, 0, 0};
    RingPackSamples(&c.packed, 1, 0, 1, c.bytesPerSample, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + c.bytesPerSample), c.bytes) << c.bytesPerSample;
  }
}

TEST(TakeRing, TransfersWrapAtTheRingEnd) {
  for (uint32_t bytesPerSample : {2u, 3u}) {
    // Samples 1..6 into a ring of 8 from index 5: 5,6,7 then 0,1,2.
    std::vector<uint8_t> src(6 * bytesPerSample, 0);
    for (uint32_t i = 0; i < 6; ++i) src[i * bytesPerSample + bytesPerSample - 1] = uint8_t(i + 1);
    std::vector<uint32_t> ring(8, kJunk);
    RingUnpackSamples(src.data(), 6, bytesPerSample, ring.data(), 8, 5);
    const std::vector<uint32_t> expect = {4u << 24, 5u << 24, 6u << 24, kJunk,
                                          kJunk,    1u << 24, 2u << 24, 3u << 24};
    EXPECT_EQ(ring, expect) << bytesPerSample;

    std::vector<uint8_t> back(6 * bytesPerSample, 0xEE);
    RingPackSamples(ring.data(), 8, 5, 6, bytesPerSample, back.data());
    EXPECT_EQ(back, src) << bytesPerSample;
  }
  std::vector<uint32_t> ring(4, kJunk);
  RingFillSilence(ring.data(), 4, 3, 2);
  EXPECT_EQ(ring, (std::vector<uint32_t>{0, kJunk, kJunk, 0}));
}

// Every run length around the unpacker's block sizes, over bytes that vary
// in every position, against the word layout computed one sample at a time;
// the input buffer ends exactly at the last sample, so a read past it would
// show under the address sanitizer.
TEST(TakeRing, Unpack24MatchesTheLayoutAtEveryLength) {
  for (uint32_t n = 0; n <= 80; ++n) {
    std::vector<uint8_t> src(size_t{n} * 3);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + n);
    std::vector<uint32_t> ring(n + 1, kJunk);
    RingUnpackSamples(src.data(), n, 3, ring.data(), n + 1, 0);
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t want = uint32_t{src[3 * i]} << 8 | uint32_t{src[3 * i + 1]} << 16 |
                            uint32_t{src[3 * i + 2]} << 24;
      ASSERT_EQ(ring[i], want) << "n " << n << " sample " << i;
    }
    EXPECT_EQ(ring[n], kJunk) << n;
  }
}

TEST(TakeRing, UnusableRingsAreNeverTouched) {
  uint32_t ring[2] = {kJunk, kJunk};
  const uint8_t src[6] = {1, 2, 3, 4, 5, 6};
  RingFillSilence(ring, 0, 0, 2);
  RingFillSilence(ring, 2, 2, 2);  // start outside the ring
  RingUnpackSamples(src, 2, 3, ring, 2, 7);
  EXPECT_EQ(ring[0], kJunk);
  EXPECT_EQ(ring[1], kJunk);
}

// ---- transfer against Take files ----

class TakeIoTest : public TakeFileTest {
 protected:
  // Fills a Take's data with the byte pattern (offset x 7 + 1) mod 256.
  void Pattern(const TakeRec* take) {
    std::vector<uint8_t> bytes(take->dataEnd);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = PatternByte(i);
    WriteBytes(take, kTakeDataOffset, bytes);
  }
  static uint8_t PatternByte(size_t dataOffset) { return uint8_t(dataOffset * 7 + 1); }
  // The ring word of sample `n` of a patterned Take.
  static uint32_t PatternWord(uint64_t n, uint32_t bytesPerSample) {
    uint32_t word = 0;
    for (uint32_t b = 0; b < bytesPerSample; ++b)
      word |= uint32_t{PatternByte(n * bytesPerSample + b)} << (8 * (4 - bytesPerSample + b));
    return word;
  }
};

TEST_F(TakeIoTest, ShortReadIsPaddedWithSilence) {
  for (uint32_t bytesPerSample : {2u, 3u}) {
    TakeRec* take = Audio(bytesPerSample, 200);
    ASSERT_NE(take, nullptr);
    Pattern(take);
    std::vector<uint32_t> ring(128, kJunk);
    std::vector<uint8_t> scratch(100 * bytesPerSample);
    // 60 samples left from position 140; the ring starts 5 words before its end.
    ASSERT_EQ(TakeReadSamples(take, 140, 100, ring.data(), 128, 123, scratch.data()), 1);
    for (uint32_t i = 0; i < 100; ++i) {
      const uint32_t at = (123 + i) % 128;
      const uint32_t expect = i < 60 ? PatternWord(140 + i, bytesPerSample) : 0;
      ASSERT_EQ(ring[at], expect) << "bps " << bytesPerSample << " sample " << i;
    }
    for (uint32_t at = 95; at < 123; ++at) ASSERT_EQ(ring[at], kJunk) << at;
    EXPECT_EQ(take->file, kFioInvalid);  // closed after the call
  }
}

// Reads at every length around the unpackers' block sizes (16-bit and
// 24-bit), whole and cut short by the end of the data: the words are the
// samples, then zeros, and the words around the request keep what they held.
TEST_F(TakeIoTest, ReadsIntoTheRingAtEveryLength) {
  for (uint32_t bytesPerSample : {2u, 3u}) {
    TakeRec* take = Audio(bytesPerSample, 200);
    ASSERT_NE(take, nullptr);
    Pattern(take);
    for (uint32_t n = 1; n <= 80; ++n) {
      for (uint64_t position : {uint64_t{3}, uint64_t{200 - n / 2}}) {
        std::vector<uint32_t> ring(n + 4, kJunk);
        std::vector<uint8_t> scratch(size_t{n} * bytesPerSample);
        ASSERT_EQ(TakeReadSamples(take, position, static_cast<int32_t>(n), ring.data(), n + 4, 2,
                                  scratch.data()),
                  1);
        for (uint32_t i = 0; i < n; ++i) {
          const uint32_t expect = position + i < 200 ? PatternWord(position + i, bytesPerSample) : 0;
          ASSERT_EQ(ring[2 + i], expect)
              << "bps " << bytesPerSample << " n " << n << " at " << position << " sample " << i;
        }
        const uint32_t around[] = {ring[0], ring[1], ring[n + 2], ring[n + 3]};
        for (uint32_t word : around) ASSERT_EQ(word, kJunk) << "bps " << bytesPerSample << " n " << n;
      }
    }
  }
}

TEST_F(TakeIoTest, ReadsThatFindNothing) {
  TakeRec* take = Audio(3, 50);
  ASSERT_NE(take, nullptr);
  Pattern(take);
  std::vector<uint32_t> ring(16, kJunk);
  std::vector<uint8_t> scratch(64 * 3);

  // At or past the end: read, but all silence.
  EXPECT_EQ(TakeReadSamples(take, 50, 4, ring.data(), 16, 14, scratch.data()), 1);
  EXPECT_EQ(ring[14], 0u);
  EXPECT_EQ(ring[1], 0u);
  EXPECT_EQ(ring[2], kJunk);
  EXPECT_EQ(TakeReadSamples(take, uint64_t{1} << 62, 2, ring.data(), 16, 2, scratch.data()), 1);
  EXPECT_EQ(ring[2], 0u);

  // Nothing asked for.
  ring.assign(16, kJunk);
  EXPECT_EQ(TakeReadSamples(take, 0, 0, ring.data(), 16, 0, scratch.data()), 0);
  EXPECT_EQ(TakeReadSamples(take, 0, -5, ring.data(), 16, 0, scratch.data()), 0);
  EXPECT_EQ(ring[0], kJunk);

  // The file vanished behind the record: the whole request is silence.
  std::filesystem::remove(Native(take->path));
  EXPECT_EQ(TakeReadSamples(take, 0, 3, ring.data(), 16, 15, scratch.data()), 0);
  EXPECT_EQ(ring[15], 0u);
  EXPECT_EQ(ring[1], 0u);
  EXPECT_EQ(ring[2], kJunk);
}

TEST_F(TakeIoTest, FreedTakeReadsSilenceAndRefusesWrites) {
  TakeRec* take = Audio(2, 50);
  ASSERT_NE(take, nullptr);
  ASSERT_EQ(TakeFree(take), 1);
  EXPECT_EQ(take->path[0], '\0');
  std::vector<uint32_t> ring(8, kJunk);
  std::vector<uint8_t> scratch(16);
  EXPECT_EQ(TakeReadSamples(take, 0, 4, ring.data(), 8, 6, scratch.data()), 0);
  EXPECT_EQ(ring, (std::vector<uint32_t>{0, 0, kJunk, kJunk, kJunk, kJunk, 0, 0}));
  EXPECT_EQ(TakeWriteSamples(take, 0, 4, ring.data(), 8, 0, scratch.data()), 0);
}

TEST_F(TakeIoTest, OtherKindsAreNotSampleData) {
  uint32_t error = 0;
  TakeRec* take = TakeCreateAutom(dir.c_str(), 10, 0, 0, 40, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr, &error);
  ASSERT_NE(take, nullptr) << error;
  std::vector<uint32_t> ring(4, kJunk);
  std::vector<uint8_t> scratch(16);
  EXPECT_EQ(TakeReadSamples(take, 0, 4, ring.data(), 4, 0, scratch.data()), 0);
  EXPECT_EQ(ring, (std::vector<uint32_t>(4, 0)));
  EXPECT_EQ(TakeWriteSamples(take, 0, 4, ring.data(), 4, 0, scratch.data()), 0);
}

TEST_F(TakeIoTest, WritesStopAtTheEndOfTheData) {
  for (uint32_t bytesPerSample : {2u, 3u}) {
    TakeRec* take = Audio(bytesPerSample, 100);
    ASSERT_NE(take, nullptr);
    const uint64_t size = FileSize(take);
    std::vector<uint32_t> ring(100);
    for (uint32_t i = 0; i < 100; ++i) ring[i] = 0x01020304u * (i + 1);
    std::vector<uint8_t> scratch(100 * bytesPerSample);

    // 100 samples at 10 before the end: 10 written, taken from ring index 95 on.
    ASSERT_EQ(TakeWriteSamples(take, 90, 100, ring.data(), 100, 95, scratch.data()), 1);
    EXPECT_EQ(FileSize(take), size);
    const std::vector<uint8_t> bytes =
        ReadBytes(take, kTakeDataOffset + 90 * bytesPerSample, 10 * bytesPerSample);
    ASSERT_EQ(bytes.size(), 10u * bytesPerSample);
    for (uint32_t i = 0; i < 10; ++i) {
      const uint32_t word = ring[(95 + i) % 100];
      for (uint32_t b = 0; b < bytesPerSample; ++b)
        ASSERT_EQ(bytes[i * bytesPerSample + b], uint8_t(word >> (8 * (4 - bytesPerSample + b))))
            << "bps " << bytesPerSample << " sample " << i;
    }
    // At or past the end there is nothing to write, which is no failure.
    EXPECT_EQ(TakeWriteSamples(take, 100, 5, ring.data(), 100, 0, scratch.data()), 1);
    EXPECT_EQ(TakeWriteSamples(take, 1u << 31, 5, ring.data(), 100, 0, scratch.data()), 1);
    EXPECT_EQ(FileSize(take), size);
  }
}

TEST_F(TakeIoTest, WriteFailsWhenTheFileIsGone) {
  TakeRec* take = Audio(3, 10);
  ASSERT_NE(take, nullptr);
  std::filesystem::remove(Native(take->path));
  std::vector<uint32_t> ring(4, 0);
  std::vector<uint8_t> scratch(12);
  EXPECT_EQ(TakeWriteSamples(take, 0, 4, ring.data(), 4, 0, scratch.data()), 0);
}

TEST_F(TakeIoTest, WrittenSamplesReadBackWithTheirUpperBits) {
  for (int keep : {0, 1}) {
    KeepTakesOpen = keep;
    for (uint32_t bytesPerSample : {2u, 3u}) {
      TakeRec* take = Audio(bytesPerSample, 1000);
      ASSERT_NE(take, nullptr);
      std::vector<uint32_t> ring(64);
      for (uint32_t i = 0; i < 64; ++i) ring[i] = 0x9E3779B9u * (i + 1);
      std::vector<uint8_t> scratch(64 * 3);
      // A read first, so that a kept handle serves the write after it.
      ASSERT_EQ(TakeReadSamples(take, 0, 8, ring.data(), 64, 0, scratch.data()), 1);
      for (uint32_t i = 0; i < 64; ++i) ring[i] = 0x9E3779B9u * (i + 1);
      ASSERT_EQ(TakeWriteSamples(take, 500, 40, ring.data(), 64, 50, scratch.data()), 1);
      EXPECT_EQ(take->file != kFioInvalid, keep == 1);
      std::vector<uint32_t> back(64, kJunk);
      ASSERT_EQ(TakeReadSamples(take, 500, 40, back.data(), 64, 30, scratch.data()), 1);
      const uint32_t mask = bytesPerSample == 3 ? 0xFFFFFF00u : 0xFFFF0000u;
      for (uint32_t i = 0; i < 40; ++i)
        ASSERT_EQ(back[(30 + i) % 64], ring[(50 + i) % 64] & mask)
            << "keep " << keep << " bps " << bytesPerSample << " sample " << i;
    }
  }
}

// ---- mapped views of the file ----

// True when the process has the file mapped (Linux only; on Windows the
// rename, the cut and the delete below fail while a view of the file
// exists, which the tests see instead).
bool Mapped(const std::filesystem::path& file) {
#if defined(__linux__)
  std::ifstream maps("/proc/self/maps");
  const std::string name = std::filesystem::weakly_canonical(file).string();
  for (std::string line; std::getline(maps, line);) {
    const size_t at = line.size() - std::min(line.size(), name.size());
    if (line.compare(at, std::string::npos, name) == 0) return true;
  }
#else
  (void)file;
#endif
  return false;
}

// Streams a Take of more than one view window in transfers that are long
// enough for views of their own, from an odd position, into a ring that
// wraps inside transfers: with kept handles and without, 16- and 24-bit,
// every sample arrives, across every window boundary.
TEST_F(TakeIoTest, StreamsAcrossViewWindows) {
  constexpr uint32_t kSamples = 1100000;  // 2.2 MB and 3.3 MB: past one 2 MB window
  constexpr uint32_t kBlock = 65536, kRingLen = kBlock * 5 / 2;
  for (uint32_t bytesPerSample : {2u, 3u}) {
    TakeRec* take = Audio(bytesPerSample, kSamples);
    ASSERT_NE(take, nullptr);
    Pattern(take);
    for (int keep : {0, 1}) {
      KeepTakesOpen = keep;
      std::vector<uint32_t> ring(kRingLen);
      std::vector<uint8_t> scratch(kBlock * bytesPerSample);
      uint32_t ringStart = 7;
      for (uint64_t position = 1001; position < kSamples; position += kBlock) {
        ASSERT_EQ(TakeReadSamples(take, position, kBlock, ring.data(), kRingLen, ringStart,
                                  scratch.data()),
                  1);
        for (uint32_t i = 0; i < kBlock; ++i) {
          const uint32_t expect =
              position + i < kSamples ? PatternWord(position + i, bytesPerSample) : 0;
          ASSERT_EQ(ring[(ringStart + i) % kRingLen], expect)
              << "bps " << bytesPerSample << " keep " << keep << " sample " << position + i;
        }
        ringStart = (ringStart + kBlock) % kRingLen;
      }
      TakeCloseHandle(take);
    }
  }
}

// A file cut shorter than its header says, not at a sample's end: reads,
// through a kept handle's view or not, stop at the last whole sample and the
// rest is silence; once the file is whole again a kept handle's view shows
// the samples past the old cut.
TEST_F(TakeIoTest, ViewsOfAShortFileReadShort) {
  constexpr uint32_t kBlock = 65536;
  for (int keep : {0, 1}) {
    KeepTakesOpen = keep;
    TakeRec* take = Audio(3, 200000);
    ASSERT_NE(take, nullptr);
    Pattern(take);
    const uint64_t whole = FileSize(take);
    std::filesystem::resize_file(Native(take->path), kTakeDataOffset + 3 * 60000 + 2);
    std::vector<uint32_t> ring(kBlock, kJunk);
    std::vector<uint8_t> scratch(kBlock * 3);
    ASSERT_EQ(TakeReadSamples(take, 70000, 100, ring.data(), kBlock, 0, scratch.data()), 1);
    EXPECT_EQ(ring[0], 0u);
    EXPECT_EQ(ring[99], 0u);
    EXPECT_EQ(ring[100], kJunk);
    ASSERT_EQ(TakeReadSamples(take, 30000, kBlock, ring.data(), kBlock, 0, scratch.data()), 1);
    for (uint32_t i = 0; i < kBlock; ++i)
      ASSERT_EQ(ring[i], i < 30000 ? PatternWord(30000 + i, 3) : 0) << "keep " << keep << " " << i;

    std::filesystem::resize_file(Native(take->path), whole);
    Pattern(take);
    ASSERT_EQ(TakeReadSamples(take, 30000, kBlock, ring.data(), kBlock, 0, scratch.data()), 1);
    for (uint32_t i = 0; i < kBlock; ++i)
      ASSERT_EQ(ring[i], PatternWord(30000 + i, 3)) << "keep " << keep << " " << i;
  }
}

// A kept handle's view never shows stale samples: not after a write through
// the transfer, nor after bytes written through another handle.
TEST_F(TakeIoTest, KeptViewsShowWhatWasWritten) {
  KeepTakesOpen = 1;
  TakeRec* take = Audio(3, 1000);
  ASSERT_NE(take, nullptr);
  Pattern(take);
  std::vector<uint32_t> ring(64);
  std::vector<uint8_t> scratch(64 * 3);
  ASSERT_EQ(TakeReadSamples(take, 0, 64, ring.data(), 64, 0, scratch.data()), 1);
  ASSERT_NE(take->view.data, nullptr);  // what follows checks a view

  for (uint32_t i = 0; i < 64; ++i) ring[i] = 0x01000000u * (i + 1) + 0x4200u;
  ASSERT_EQ(TakeWriteSamples(take, 100, 64, ring.data(), 64, 0, scratch.data()), 1);
  std::vector<uint32_t> back(64, kJunk);
  ASSERT_EQ(TakeReadSamples(take, 100, 64, back.data(), 64, 0, scratch.data()), 1);
  EXPECT_EQ(back, ring);

  ASSERT_EQ(TakeReadSamples(take, 500, 64, back.data(), 64, 0, scratch.data()), 1);
  WriteBytes(take, kTakeDataOffset + 3 * 510, {0x11, 0x22, 0x33});
  ASSERT_EQ(TakeReadSamples(take, 500, 64, back.data(), 64, 0, scratch.data()), 1);
  EXPECT_EQ(back[10], 0x33221100u);
  EXPECT_EQ(back[11], PatternWord(511, 3));
}

// Whatever closes a kept handle releases its view with it; on Windows the
// rename, the cut and the delete would fail while a view remained.
TEST_F(TakeIoTest, ViewsGoWithTheHandle) {
  KeepTakesOpen = 1;
  std::vector<uint32_t> ring(256);
  std::vector<uint8_t> scratch(256 * 3);
  TakeRec* take = Audio(3, 4096, "Kept");
  ASSERT_NE(take, nullptr);
  Pattern(take);
  auto viewed = [&](const char* step) {
    ASSERT_EQ(TakeReadSamples(take, 3000, 256, ring.data(), 256, 0, scratch.data()), 1) << step;
    ASSERT_NE(take->file, kFioInvalid) << step;
  };
  auto released = [&](const char* step, const std::filesystem::path& file) {
    EXPECT_EQ(take->file, kFioInvalid) << step;
    EXPECT_EQ(take->view.data, nullptr) << step;
    EXPECT_FALSE(Mapped(file)) << step;
  };

  uint32_t error = 0;
  viewed("rename");
  ASSERT_EQ(TakeSetAttr(take, kTakeAttrName, reinterpret_cast<uintptr_t>("Renamed"), &error), 1)
      << error;
  released("rename", File("Kept.ATAK"));

  viewed("cut");
  ASSERT_EQ(TakeSetAttr(take, kTakeAttrLength, 3010, &error), 1) << error;
  released("cut", File("Renamed.ATAK"));
  EXPECT_EQ(FileSize(take), kTakeDataOffset + 3 * 3010u);
  ASSERT_EQ(TakeReadSamples(take, 3000, 256, ring.data(), 256, 0, scratch.data()), 1);
  EXPECT_EQ(ring[9], PatternWord(3009, 3));
  EXPECT_EQ(ring[10], 0u);

  ASSERT_EQ(TakeFree(take), 1);
  released("free", File("Renamed.ATAK"));
  EXPECT_TRUE(std::filesystem::remove(File("Renamed.ATAK")));

  take = Audio(3, 4096, "Closed");
  ASSERT_NE(take, nullptr);
  viewed("store close");
  TakeStoreClose();
  EXPECT_FALSE(Mapped(File("Closed.ATAK")));
  EXPECT_TRUE(std::filesystem::remove(File("Closed.ATAK")));
}

// The recorder's threads stream a Take while the user-interface thread
// renames it back and forth: every transfer holds the Take's lock for its
// whole file access, so each one sees one whole path and succeeds; a handle
// kept open is closed under the lock before the file is renamed.
class TakeIoRaceTest : public TakeIoTest, public ::testing::WithParamInterface<int> {};

TEST_P(TakeIoRaceTest, TransfersSurviveConcurrentRenames) {
  KeepTakesOpen = GetParam();
  TakeRec* take = Audio(3, 4096, "Stream");
  ASSERT_NE(take, nullptr);
  Pattern(take);
  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::atomic<int> transfers{0};

  auto reader = [&] {
    std::vector<uint32_t> ring(256);
    std::vector<uint8_t> scratch(256 * 3);
    for (uint64_t n = 0; !stop; ++n) {
      const uint64_t position = (n * 256) % 4096;
      if (!TakeReadSamples(take, position, 256, ring.data(), 256, 0, scratch.data()) ||
          ring[17] != PatternWord(position + 17, 3))
        ++failures;
      ++transfers;
    }
  };
  auto writer = [&] {
    // Rewrites the last 256 samples with the pattern they already hold.
    std::vector<uint32_t> ring(256);
    for (uint32_t i = 0; i < 256; ++i) ring[i] = PatternWord(3840 + i, 3);
    std::vector<uint8_t> scratch(256 * 3);
    while (!stop) {
      if (!TakeWriteSamples(take, 3840, 256, ring.data(), 256, 0, scratch.data())) ++failures;
      ++transfers;
    }
  };
  std::thread threads[] = {std::thread(reader), std::thread(reader), std::thread(writer)};
  uint32_t error = 0;
  for (int i = 0; i < 200; ++i) {
    const char* name = (i % 2) ? "Stream" : "Renamed";
    if (!TakeSetAttr(take, kTakeAttrName, reinterpret_cast<uintptr_t>(name), &error)) {
      ADD_FAILURE() << "rename " << i << " error " << error;
      break;
    }
  }
  while (transfers < 100) std::this_thread::yield();
  stop = true;
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(TakeGetAttr(take, kTakeAttrName)), "Stream");
  EXPECT_TRUE(std::filesystem::exists(File("Stream.ATAK")));
}
INSTANTIATE_TEST_SUITE_P(KeepTakesOpen, TakeIoRaceTest, ::testing::Values(0, 1));

}  // namespace
