// Overview file format, stamp names and the cache folder. The purge runs on a
// real folder through the model's file layer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mixer/model/take.h"
#include "mixer/model/wvf.h"
#include "mixer/model/wvfcache.h"

namespace {

namespace fs = std::filesystem;

using Id = std::vector<uint8_t>;

// 25 Dec 2024 13:45:59, tick 1, counter 2.
const Id kId = {0x25, 0x12, 124, 0x13, 0x45, 0x59, 0x01, 0x02};

std::string Stamp(const Id& id) {
  char name[kWvfStampNameLength + 1];
  std::memset(name, '*', sizeof name);
  EncodeStampName(id.data(), name);
  return name;
}

// A whole file image: header and `entries` entries {i, -i}.
std::vector<uint8_t> Image(const Id& id, uint32_t entries) {
  std::vector<uint8_t> file(WvfFileSize(entries));
  WvfEncodeHeader(id.data(), entries, file.data());
  std::vector<WvfEntry> e(entries);
  for (uint32_t i = 0; i < entries; ++i) e[i] = {int16_t(i * 100), int16_t(-int32_t(i) * 100)};
  WvfEncodeEntries(e.data(), entries, file.data() + kWvfHeaderSize);
  return file;
}

TEST(WvfFormat, EntryCountsAndFileSizes) {
  struct {
    uint32_t samples, entries;
    uint64_t bytes;
  } cases[] = {
      {0, 0, 21},          {1, 1, 25},       {512, 1, 25},
      {513, 2, 29},        {1000000, 1954, 7837},
      {0xFFFFFFFFu, 8388608, 21 + 4ull * 8388608},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WvfEntryCount(c.samples), c.entries) << c.samples;
    EXPECT_EQ(WvfFileSize(c.entries), c.bytes) << c.samples;
  }
}

TEST(WvfFormat, HeaderBytesAreExact) {
  uint8_t file[kWvfHeaderSize];
  WvfEncodeHeader(kId.data(), 0x01020304, file);
  const uint8_t expected[21] = {'W', 'F', 'F', 'F', 'V', '1', '.', '0', 0,
                                0x25, 0x12, 124, 0x13, 0x45, 0x59, 0x01, 0x02,
                                0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(0, std::memcmp(file, expected, sizeof expected));
}

TEST(WvfFormat, RoundTripReadsEntriesAndRanges) {
  std::vector<uint8_t> file = Image(kId, 300);
  WvfHeader header;
  ASSERT_TRUE(WvfParseHeader(file.data(), file.size(), file.size(), &header));
  EXPECT_EQ(header.entries, 300u);
  EXPECT_EQ(0, std::memcmp(header.id, kId.data(), 8));

  WvfEntry out[3];
  ASSERT_TRUE(WvfReadEntries(file.data(), file.size(), 297, 3, out));
  EXPECT_EQ(out[0].max, 29700);
  EXPECT_EQ(out[2].min, -29900);
  // Little-endian on disk: entry 1 is {100, -100}.
  const uint8_t* e1 = file.data() + 21 + 4;
  EXPECT_EQ(e1[0], 100);
  EXPECT_EQ(e1[1], 0);
  EXPECT_EQ(e1[2], 0x9C);
  EXPECT_EQ(e1[3], 0xFF);

  EXPECT_TRUE(WvfReadEntries(file.data(), file.size(), 300, 0, out));
  EXPECT_FALSE(WvfReadEntries(file.data(), file.size(), 298, 3, out));
  EXPECT_FALSE(WvfReadEntries(file.data(), file.size(), 301, 0, out));
  EXPECT_FALSE(WvfReadEntries(file.data(), file.size(), 1, 0xFFFFFFFFu, out));
}

TEST(WvfFormat, DamagedFilesAreRefused) {
  struct {
    const char* what;
    void (*damage)(std::vector<uint8_t>&);
  } cases[] = {
      {"one byte short", [](std::vector<uint8_t>& f) { f.pop_back(); }},
      {"one byte long", [](std::vector<uint8_t>& f) { f.push_back(0); }},
      {"count too high", [](std::vector<uint8_t>& f) { f[17] = 11; }},
      {"count wraps 32-bit size", [](std::vector<uint8_t>& f) { f[20] = 0x40; }},
      {"foreign version", [](std::vector<uint8_t>& f) { f[7] = '1'; }},
      {"version without NUL", [](std::vector<uint8_t>& f) { f[8] = 'x'; }},
      {"header cut", [](std::vector<uint8_t>& f) { f.resize(20); }},
      {"empty", [](std::vector<uint8_t>& f) { f.clear(); }},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> file = Image(kId, 10);
    c.damage(file);
    WvfHeader header{};
    header.entries = 77;
    EXPECT_FALSE(WvfParseHeader(file.data(), file.size(), file.size(), &header)) << c.what;
    EXPECT_EQ(header.entries, 77u) << c.what;
    WvfEntry out[10];
    EXPECT_FALSE(WvfReadEntries(file.data(), file.size(), 0, 1, out)) << c.what;
  }
  // A header read alone is judged by the size of the whole file.
  std::vector<uint8_t> file = Image(kId, 10);
  WvfHeader header;
  EXPECT_TRUE(WvfParseHeader(file.data(), 21, 61, &header));
  EXPECT_FALSE(WvfParseHeader(file.data(), 21, 60, &header));
}

TEST(WvfStampName, EncodesDateTickAndCounter) {
  EXPECT_EQ(Stamp(kId), "R@B(105D");
  EXPECT_EQ(Stamp({0x01, 0x01, 0, 0, 0, 0, 0, 0}), "00000000");
  EXPECT_EQ(Stamp({0x31, 0x12, 0x7F, 0x23, 0x59, 0x59, 0xFF, 0xFF}), "_TQIQREM");
}

TEST(WvfStampName, KeepsTheBcdQuirksOfDayAndMonth) {
  // Day 10 and day 16 both read as index 15; month 10 as month 16.
  Id day10 = kId, day16 = kId;
  day10[0] = 0x10;
  day16[0] = 0x16;
  EXPECT_EQ(Stamp(day10), Stamp(day16));
  Id oct = kId, month16 = kId;
  oct[1] = 0x10;
  month16[1] = 0x16;
  EXPECT_EQ(Stamp(oct), Stamp(month16));
  // Year bits above the lowest three do not count; the counter byte does.
  Id year = kId;
  year[2] ^= 0x08;
  EXPECT_EQ(Stamp(year), Stamp(kId));
  Id counter = kId;
  counter[7] ^= 1;
  EXPECT_NE(Stamp(counter), Stamp(kId));
}

TEST(WvfStampName, AnyBytesGiveEightAlphabetCharacters) {
  const std::string alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ~!@#$&()_-{}'";
  for (uint8_t b : {0x00, 0x9A, 0xFF}) {
    std::string name = Stamp(Id(8, b));
    ASSERT_EQ(name.size(), 8u);
    EXPECT_EQ(name.find_first_not_of(alphabet), std::string::npos) << name;
  }
}

TEST(WvfCacheName, ReplacesTheFileNamePart) {
  struct {
    const char* before;
    size_t size;
    const char* after;
  } cases[] = {
      {".\\Wvf\\", 64, ".\\Wvf\\R@B(105D.WVF"},
      {"C:\\Wvf\\old.WVF", 64, "C:\\Wvf\\R@B(105D.WVF"},
      {"/tmp/w/", 64, "/tmp/w/R@B(105D.WVF"},
      {"noslash", 64, "R@B(105D.WVF"},
      {"C:\\W\\", 18, "C:\\W\\R@B(105D.WVF"},  // exactly fits with its NUL
      {"C:\\W\\", 17, "C:\\W\\"},              // one short: unchanged
  };
  for (const auto& c : cases) {
    char path[64] = {};
    std::strcpy(path, c.before);
    int ok = WvfCacheNameForId(kId.data(), path, c.size);
    EXPECT_EQ(ok, std::strcmp(c.after, c.before) != 0) << c.before;
    EXPECT_STREQ(path, c.after) << c.before;
  }
}

class WvfFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("wvf_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Dir() const { return dir_.string() + "/"; }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(dir_ / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  bool Has(const std::string& name) const { return fs::exists(dir_ / name); }

  fs::path dir_;
};

TEST_F(WvfFolder, ExistsOnlyForAFileOfTheTakesName) {
  TakeRec take;
  std::memcpy(take.id.Bytes, kId.data(), 8);
  char path[kTakePathSize];
  std::strcpy(path, Dir().c_str());
  EXPECT_FALSE(WvfCacheExists(&take, path, sizeof path));
  EXPECT_EQ(std::string(path), Dir() + "R@B(105D.WVF");

  fs::create_directory(dir_ / "R@B(105D.WVF");  // a folder is no overview
  std::strcpy(path, Dir().c_str());
  EXPECT_FALSE(WvfCacheExists(&take, path, sizeof path));
  fs::remove(dir_ / "R@B(105D.WVF");

  Write("R@B(105D.WVF", Image(kId, 1));
  std::strcpy(path, Dir().c_str());
  EXPECT_TRUE(WvfCacheExists(&take, path, sizeof path));
}

Id IdWithCounter(uint8_t counter) {
  Id id = kId;
  id[7] = counter;
  return id;
}

int OpenIsCounterOne(const TakeId& id, void*) { return id.Bytes[7] == 1; }

TEST_F(WvfFolder, PurgeDeletesEveryOverviewOfAClosedTake) {
  Write("open.WVF", Image(IdWithCounter(1), 4));
  Write("closed.WVF", Image(IdWithCounter(2), 4));
  Write("lower.wvf", Image(IdWithCounter(3), 4));        // the pattern ignores case
  Write("notes.txt", Image(IdWithCounter(4), 4));        // other extensions are not touched
  Write("long.WVFX", Image(IdWithCounter(5), 4));
  std::vector<uint8_t> damaged = Image(IdWithCounter(6), 4);
  damaged.pop_back();
  Write("damaged.WVF", damaged);                          // a cache: rebuilt on demand
  std::vector<uint8_t> damagedOpen = Image(IdWithCounter(1), 4);
  damagedOpen.push_back(0);
  Write("damagedopen.WVF", damagedOpen);                  // its Take is open: kept
  Write("short.WVF", {1, 2, 3});                          // no id: no Take of its own
  fs::create_directory(dir_ / "sub.WVF");

  WvfCachePurgeIf(Dir().c_str(), OpenIsCounterOne, nullptr);

  EXPECT_TRUE(Has("open.WVF"));
  EXPECT_FALSE(Has("closed.WVF"));
  EXPECT_FALSE(Has("lower.wvf"));
  EXPECT_TRUE(Has("notes.txt"));
  EXPECT_TRUE(Has("long.WVFX"));
  EXPECT_FALSE(Has("damaged.WVF"));
  EXPECT_TRUE(Has("damagedopen.WVF"));
  EXPECT_FALSE(Has("short.WVF"));
  EXPECT_TRUE(Has("sub.WVF"));
}

TEST_F(WvfFolder, PurgeAsksTheTakeStoresOpenRecords) {
  ASSERT_TRUE(TakeStoreOpen());
  TakeImage image{};
  std::memcpy(image.id.Bytes, IdWithCounter(1).data(), 8);
  std::strcpy(image.path, (Dir() + "kept.ATAK").c_str());
  TakeRec* kept = TakeAlloc(image);
  ASSERT_NE(kept, nullptr);
  std::memcpy(image.id.Bytes, IdWithCounter(2).data(), 8);
  std::strcpy(image.path, (Dir() + "gone.ATAK").c_str());
  TakeRec* freed = TakeAlloc(image);
  ASSERT_NE(freed, nullptr);
  ASSERT_TRUE(TakeFree(freed));

  Write("a.WVF", Image(IdWithCounter(1), 2));
  Write("b.WVF", Image(IdWithCounter(2), 2));
  WvfCachePurge(Dir().c_str());
  EXPECT_TRUE(Has("a.WVF"));
  EXPECT_FALSE(Has("b.WVF"));
  TakeStoreClose();
}

}  // namespace
