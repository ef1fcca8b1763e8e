// Take files and the Take store over real files in a temporary folder (runs
// natively and under Wine).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "mixer/model/take.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/takes.h"
#include "tests/fakes/host_fake.h"
#include "tests/fakes/services_fake.h"

namespace fs = std::filesystem;

namespace {

// The model's path text for a file-system path ('\' between folders).
std::string ModelPath(const fs::path& p) {
  std::string s = p.string();
  for (char& c : s)
    if (c == '/') c = '\\';
  return s;
}

class TakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    root_ = fs::temp_directory_path() /
            ("take_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" +
             std::to_string(serial++));
    fs::remove_all(root_);
    fs::create_directories(root_);
    dir_ = ModelPath(root_) + "\\";
    Services().Reset();
    Host().Reset();
    for (int i = 0; i < 8; ++i) TakeSetDomainDirectory(i, "");
    TakeJournalSetUndoLevels(99);
    ASSERT_EQ(TakeStoreOpen(), 1);
  }
  void TearDown() override {
    TakeStoreClose();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string Sub(const std::string& rel) { return dir_ + rel; }
  static bool Exists(const std::string& path) { return FioFileExists(path.c_str()) != 0; }

  TakeRec* Audio(const char* name, const std::string& dir = "", uint32_t samples = 4,
                 const TakeId* id = nullptr) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((dir.empty() ? dir_ : dir).c_str(), 2, samples, 0, 48000, 0, 0,
                                 name, "desc", nullptr, id, &error);
    EXPECT_NE(t, nullptr) << "error " << error;
    return t;
  }

  fs::path root_;
  std::string dir_;
};

// A valid Audio head with 4 data bytes.
TakeFileHead AudioHead() {
  TakeFileHead head{};
  std::memcpy(head.Version, "TFFV1.5", 8);
  TakeHeader& h = head.Header;
  std::strcpy(h.Description, "a description");
  h.Id = {{1, 2, 3, 4, 5, 6, 7, 8}};
  h.CreatorValue = 77;
  h.SampleRate = 44100;
  h.FrameRate = 3;
  h.TcStamp = {1, 2, 3, 4, 5};
  h.Kind = kTakeAudio;
  h.Word1 = 1;
  h.Word3 = 16;
  h.Word4 = 2;
  h.DataStart = 0;
  h.DataEnd = 4;
  return head;
}

void WriteRaw(const std::string& modelPath, const void* data, size_t size) {
  std::string p = modelPath;
#ifndef _WIN32
  for (char& c : p)
    if (c == '\\') c = '/';
#endif
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Writes the head, then `dataBytes` data bytes (any count, to make the size
// disagree).
void WriteTake(const std::string& path, const TakeFileHead& head, size_t dataBytes) {
  std::vector<char> bytes(sizeof head + dataBytes, 0);
  std::memcpy(bytes.data(), &head, sizeof head);
  WriteRaw(path, bytes.data(), bytes.size());
}

TEST_F(TakeTest, HeaderAcceptRejectTable) {
  struct Case {
    const char* what;
    void (*change)(TakeFileHead&);
    size_t dataBytes;
    const char* stem;
    int valid;
  };
  const std::string stem63(63, 'n'), stem64(64, 'n');
  const Case cases[] = {
      {"valid audio", [](TakeFileHead&) {}, 4, "t", 1},
      {"one byte more than the data end", [](TakeFileHead&) {}, 5, "t", 0},
      {"one byte less", [](TakeFileHead&) {}, 3, "t", 0},
      {"no data at all", [](TakeFileHead& h) { h.Header.DataEnd = 0; }, 0, "t", 1},
      {"bad version", [](TakeFileHead& h) { h.Version[6] = '6'; }, 4, "t", 0},
      {"version without NUL", [](TakeFileHead& h) { h.Version[7] = 'x'; }, 4, "t", 0},
      {"20 bits", [](TakeFileHead& h) { h.Header.Word3 = 20; }, 4, "t", 0},
      {"4 bytes per sample", [](TakeFileHead& h) { h.Header.Word4 = 4; }, 4, "t", 0},
      {"two channels", [](TakeFileHead& h) { h.Header.Word1 = 2; }, 4, "t", 0},
      {"audio word2 set", [](TakeFileHead& h) { h.Header.Word2 = 1; }, 4, "t", 0},
      {"24 bits in 3 bytes", [](TakeFileHead& h) { h.Header.Word3 = 24, h.Header.Word4 = 3; }, 4,
       "t", 1},
      {"kind 7 unchecked",
       [](TakeFileHead& h) { h.Header.Kind = 7, h.Header.Word1 = 9, h.Header.Word3 = 99; }, 4, "t",
       1},
      {"automation word2 set", [](TakeFileHead& h) { h.Header.Kind = kTakeAutom, h.Header.Word2 = 1; },
       4, "t", 0},
      {"midi negative resolution",
       [](TakeFileHead& h) { h.Header.Kind = kTakeMidi, h.Header.Word2 = 0xFFFFFFFFu; }, 4, "t", 0},
      {"midi 960 ticks", [](TakeFileHead& h) { h.Header.Kind = kTakeMidi, h.Header.Word2 = 960; },
       4, "t", 1},
      {"data start past data end", [](TakeFileHead& h) { h.Header.DataStart = 5; }, 4, "t", 0},
      {"stem of 63", [](TakeFileHead&) {}, 4, stem63.c_str(), 1},
      {"stem of 64", [](TakeFileHead&) {}, 4, stem64.c_str(), 0},
  };
  for (const Case& c : cases) {
    TakeFileHead head = AudioHead();
    c.change(head);
    std::string path = Sub(std::string(c.stem) + ".ATAK");
    WriteTake(path, head, c.dataBytes);
    EXPECT_EQ(ReadTakeHeader(path.c_str(), nullptr), c.valid) << c.what;
  }
  // Shorter than the head: never valid, never read past the end.
  TakeFileHead head = AudioHead();
  WriteRaw(Sub("short.ATAK"), &head, 300);
  EXPECT_EQ(ReadTakeHeader(Sub("short.ATAK").c_str(), nullptr), 0);
  EXPECT_EQ(ReadTakeHeader(Sub("missing.ATAK").c_str(), nullptr), 0);
}

TEST_F(TakeTest, ReadFillsImageAndMidiDropsWord4) {
  TakeFileHead head = AudioHead();
  head.Header.Kind = kTakeMidi;
  head.Header.Word1 = 12;
  head.Header.Word2 = 480;
  head.Header.Word3 = 5;
  head.Header.Word4 = 0xDEAD;  // not stored for Midi
  std::memset(head.Header.Description, 'd', sizeof head.Header.Description);  // no NUL
  WriteTake(Sub("m.MTAK"), head, 4);
  TakeImage image;
  ASSERT_EQ(ReadTakeHeader(Sub("m.MTAK").c_str(), &image), 1);
  EXPECT_EQ(std::string(image.path), Sub("m.MTAK"));
  EXPECT_EQ(std::strlen(image.description), 127u);
  EXPECT_EQ(image.kind, uint32_t{kTakeMidi});
  EXPECT_EQ(image.word1, 12u);
  EXPECT_EQ(image.word2, 480u);
  EXPECT_EQ(image.word3, 5u);
  EXPECT_EQ(image.word4, 0u);
  EXPECT_EQ(image.creatorValue, 77u);
  EXPECT_EQ(image.tcStamp.Frames, 4);
  EXPECT_EQ(image.dataOffset, kTakeDataOffset);
  EXPECT_EQ(image.dataEnd, 4u);
  EXPECT_EQ(std::memcmp(&image.id, &head.Header.Id, 8), 0);
}

TEST_F(TakeTest, CreateWritesAValidFileOfItsFullSize) {
  TcRec tc{10, 20, 30, 5, 7};
  TakeId id{{9, 9, 9, 9, 9, 9, 9, 9}};
  uint32_t error = 0;
  TakeRec* t = TakeCreateAudio(dir_.c_str(), 3, 1000, 42, 96000, 2, 1, "Bass", "low end", &tc,
                               &id, &error);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->path), Sub("Bass.ATAK"));
  EXPECT_EQ(fs::file_size(root_ / "Bass.ATAK"), 522u + 3000u);
  EXPECT_EQ(TakeInRing(t), 1);
  EXPECT_EQ(TakeFromRef(TakeRef(t)), t);
  EXPECT_EQ(TakeLookupPath(t->path), t);
  TakeImage image;
  ASSERT_EQ(ReadTakeHeader(t->path, &image), 1);
  EXPECT_EQ(image.word3, 24u);
  EXPECT_EQ(image.word4, 3u);
  EXPECT_EQ(image.dataEnd, 3000u);
  EXPECT_EQ(image.creatorValue, 42u);
  EXPECT_EQ(image.sampleRate, 96000u);
  EXPECT_EQ(image.tcStamp.SubFrames, 7);
  EXPECT_STREQ(image.description, "low end");
  EXPECT_EQ(std::memcmp(&image.id, &id, 8), 0);
  // The header's name field holds the stem.
  std::ifstream f(root_ / "Bass.ATAK", std::ios::binary);
  TakeFileHead head;
  f.read(reinterpret_cast<char*>(&head), sizeof head);
  EXPECT_STREQ(head.Header.Name, "Bass");
  EXPECT_EQ(std::memcmp(&head.Header.Modified, &t->modified, 8), 0);

  // Updating checks the version.
  EXPECT_EQ(WriteTakeHeader(t, 0), 1);
  WriteRaw(t->path, "XXXXXXXX", 8);
  EXPECT_EQ(WriteTakeHeader(t, 0), 0);
}

TEST_F(TakeTest, CreateNamesAreUniqueAndKeepChannelSuffix) {
  const char* expect[] = {"Audio Take.ATAK", "Audio Take (2).ATAK", "Audio Take (3).ATAK"};
  for (const char* name : expect) {
    TakeRec* t = Audio(nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(std::string(t->path), Sub(name));
  }
  Audio("Vox L");
  TakeRec* again = Audio("Vox L");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(std::string(again->path), Sub("Vox (2) L.ATAK"));
  uint32_t error = 0;
  TakeRec* m = TakeCreateMidi(dir_.c_str(), 960, 3, 0, 12, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr, &error);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(std::string(m->path), Sub("Midi Take.MTAK"));
  TakeRec* a = TakeCreateAutom(dir_.c_str(), 3, 0, 0, 12, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                               nullptr, &error);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(std::string(a->path), Sub("Automation Take.CTAK"));
}

TEST_F(TakeTest, CreateErrors) {
  struct Case {
    const char* what;
    std::string dir;
    std::string name;
    uint32_t samples;
    uint32_t error;
  };
  const Case cases[] = {
      {"name of 64 characters", dir_, std::string(64, 'x'), 4, IDS_TAKE_NAME_TOO_LONG},
      {"path beyond 260", dir_ + std::string(200, 'd') + "\\", std::string(60, 'x'), 4,
       IDS_MAX_PATH_EXCEEDED},
      {"data bytes beyond 32 bits", dir_, "big", 0x80000000u, IDS_TAKE_SIZE_LIMIT},
      {"missing folder", dir_ + "nowhere\\", "t", 4, IDS_NO_DISK_SPACE_ON},
  };
  for (const Case& c : cases) {
    uint32_t error = 0;
    EXPECT_EQ(TakeCreateAudio(c.dir.c_str(), 2, c.samples, 0, 0, 0, 0, c.name.c_str(), nullptr,
                              nullptr, nullptr, &error),
              nullptr)
        << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
  EXPECT_TRUE(fs::is_empty(root_));
  EXPECT_EQ(TakeJournalLevel(), -1);
}

TEST(TakeIdTest, UniquePast256PerTick) {
  std::set<std::string> seen;
  for (int i = 0; i < 700; ++i) {
    TakeId id;
    NewTakeId(&id);
    EXPECT_TRUE(seen.insert(std::string(reinterpret_cast<char*>(id.Bytes), 8)).second) << i;
    // Day and month are BCD.
    EXPECT_LE(id.Bytes[0] & 0x0F, 9);
    EXPECT_LE(id.Bytes[1], 0x12);
  }
}

TEST(TakeIdTest, DateTimeTickAndCounterBytes) {
  auto tick = [] {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count() /
                                 55);
  };
  auto bcd = [](int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); };
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const uint32_t tickBefore = tick();
    TakeId a, b;
    NewTakeId(&a);
    NewTakeId(&b);
    const uint32_t tickAfter = tick();
    if (std::time(nullptr) != before) continue;  // a second boundary: try again
    std::tm now{};
#ifdef _WIN32
    localtime_s(&now, &before);
#else
    localtime_r(&before, &now);
#endif
    EXPECT_EQ(a.Bytes[2], static_cast<uint8_t>(now.tm_year));  // year - 1900, mod 256
    EXPECT_EQ(a.Bytes[3], bcd(now.tm_hour));
    EXPECT_EQ(a.Bytes[4], bcd(now.tm_min));
    EXPECT_EQ(a.Bytes[5], bcd(now.tm_sec));
    // The low byte of the 55 ms tick, read between the two clock reads.
    EXPECT_LE(static_cast<uint8_t>(a.Bytes[6] - static_cast<uint8_t>(tickBefore)),
              static_cast<uint8_t>(tickAfter - tickBefore));
    // The sequence counter counts every id.
    EXPECT_EQ(static_cast<uint8_t>(b.Bytes[7] - a.Bytes[7]), 1);
    return;
  }
  GTEST_SKIP() << "the clock kept crossing second boundaries";
}

TEST_F(TakeTest, ScanReturnsValidTakesAndEndsOnAStrangerRecord) {
  TakeRec* a = Audio("a");
  TakeRec* b = Audio("b");
  WriteRaw(Sub("junk.ATAK"), "junk", 4);
  WriteRaw(Sub("notes.txt"), "x", 1);
  fs::create_directories(root_ / "dir.ATAK");
  // The scan's pattern is "*.?TAK*": any letter before TAK, any case; the
  // header decides whether the file is a Take.
  WriteTake(Sub("q.qtak1"), AudioHead(), 4);
  WriteTake(Sub("w.WAV"), AudioHead(), 4);
  std::set<TakeRec*> found;
  for (TakeRec* t = TakeFindFirst(dir_.c_str()); t; t = TakeFindNext(t)) found.insert(t);
  TakeRec* q = TakeOpenFile(Sub("q.qtak1").c_str());
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(found, (std::set<TakeRec*>{a, b, q}));
  EXPECT_EQ(TakeOpenFile(a->path), a);  // the open record, not a second one
  EXPECT_EQ(TakeOpenFile(Sub("junk.ATAK").c_str()), nullptr);

  TakeRec* first = TakeFindFirst(dir_.c_str());
  ASSERT_NE(first, nullptr);
  TakeRec* other = first == a ? b : a;
  EXPECT_EQ(TakeFindNext(other), nullptr);
  EXPECT_EQ(TakeFindNext(first), nullptr);  // the scan has ended
}

TEST_F(TakeTest, FindByStampOverNestedFolders) {
  fs::create_directories(root_ / "base" / "one" / "two");
  fs::create_directories(root_ / ".hidden");
  fs::create_directories(root_ / "domain" / "x");
  TakeId deep{{1, 1, 1, 1, 1, 1, 1, 1}}, hidden{{2, 2, 2, 2, 2, 2, 2, 2}},
      far{{3, 3, 3, 3, 3, 3, 3, 3}};
  Audio("deep", Sub("base\\one\\two\\"), 4, &deep);
  Audio("hidden", Sub("base\\"), 4, &hidden);
  fs::rename(root_ / "base" / "hidden.ATAK", root_ / ".hidden" / "hidden.ATAK");
  Audio("far", Sub("domain\\x\\"), 4, &far);
  // Forget the open records: the search must read the files.
  TakeStoreClose();
  ASSERT_EQ(TakeStoreOpen(), 1);
  std::string inBase = Sub("base\\whatever.ARR");

  TakeRec* t = TakeFindByStamp(deep, kTakeAudio, inBase.c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->path), Sub("base\\one\\two\\deep.ATAK"));
  EXPECT_EQ(TakeFindByStamp(deep, kTakeMidi, Sub("elsewhere\\a").c_str()), nullptr);
  EXPECT_EQ(TakeFindByStamp(deep, kTakeAudio, inBase.c_str()), t);  // open list
  EXPECT_EQ(TakeFindByStamp(hidden, kTakeAudio, dir_.c_str()), nullptr);  // '.' folders skipped
  EXPECT_EQ(TakeFindByStamp(far, kTakeAudio, inBase.c_str()), nullptr);
  TakeSetDomainDirectory(5, Sub("domain").c_str());
  TakeRec* f = TakeFindByStamp(far, 0, inBase.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(std::string(f->path), Sub("domain\\x\\far.ATAK"));
}

// The directory of the last hit is searched first while the base directory
// stays the same; a new base directory is searched before it.
TEST_F(TakeTest, FindByStampPrefersTheLastFoundFolderForTheSameBase) {
  const TakeId found{{4, 4, 4, 4, 4, 4, 4, 4}}, twice{{5, 5, 5, 5, 5, 5, 5, 5}},
      again{{6, 6, 6, 6, 6, 6, 6, 6}};
  for (const char* sub : {"other", "base", "base2"}) fs::create_directories(root_ / sub);
  Audio("found", Sub("other\\"), 4, &found);
  Audio("twice", Sub("other\\"), 4, &twice);
  Audio("twice", Sub("base\\"), 4, &twice);
  TakeStoreClose();
  ASSERT_EQ(TakeStoreOpen(), 1);
  TakeSetDomainDirectory(0, Sub("other").c_str());

  TakeRec* t = TakeFindByStamp(found, kTakeAudio, Sub("base\\a.ARR").c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->path), Sub("other\\found.ATAK"));
  t = TakeFindByStamp(twice, kTakeAudio, Sub("base\\a.ARR").c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->path), Sub("other\\twice.ATAK"));
  // Written now, so that no earlier walk has opened them.
  TakeFileHead head = AudioHead();
  head.Header.Id = again;
  WriteTake(Sub("other\\again.ATAK"), head, 4);
  WriteTake(Sub("base2\\again.ATAK"), head, 4);
  t = TakeFindByStamp(again, kTakeAudio, Sub("base2\\a.ARR").c_str());
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(std::string(t->path), Sub("base2\\again.ATAK"));
}

TEST_F(TakeTest, RenameAndMoveRekeyTheRecord) {
  TakeRec* t = Audio("old");
  uint32_t ref = TakeRef(t);
  uint32_t error = 0;
  ASSERT_EQ(TakeRenameFile(t, Sub("new.ATAK").c_str(), &error, 1), 1);
  EXPECT_EQ(TakeLookupPath(Sub("old.ATAK").c_str()), nullptr);
  EXPECT_EQ(TakeLookupPath(Sub("new.ATAK").c_str()), t);
  EXPECT_EQ(TakeFromRef(ref), t);
  EXPECT_FALSE(Exists(Sub("old.ATAK")));

  Audio("taken");
  EXPECT_EQ(TakeRenameFile(t, Sub("taken.ATAK").c_str(), &error, 1), 0);
  EXPECT_EQ(error, uint32_t{IDS_FILE_NOT_MOVED});

  // A move renames on a collision and reports the name used.
  char dest[kTakePathSize];
  std::strcpy(dest, Sub("taken.ATAK").c_str());
  ASSERT_EQ(TakeMoveFile(t, dest, 1, &error, 0), 1);
  EXPECT_STREQ(dest, Sub("taken (2).ATAK").c_str());
  EXPECT_EQ(std::string(t->path), dest);
  EXPECT_TRUE(Exists(dest));
  EXPECT_TRUE(Exists(Sub("taken.ATAK")));
}

TEST_F(TakeTest, UndoRedoAndFinaliseMoveFilesThroughReBin) {
  TakeJournalNewLevel();  // the step that creates the Take
  TakeRec* t = Audio("Take");
  std::string live = Sub("Take.ATAK"), binned = Sub("qvReBin\\Take.ATAK");

  uint32_t error = 0;
  ASSERT_EQ(TakeJournalUndo(1, 1, &error), 1);
  EXPECT_FALSE(Exists(live));
  EXPECT_TRUE(Exists(binned));
  EXPECT_EQ(std::string(t->path), binned);
  EXPECT_EQ(TakeJournalLevel(), -1);
  EXPECT_EQ(TakeJournalUndo(1, 1, &error), 0);  // nothing left to undo

  ASSERT_EQ(TakeJournalRedo(), 1);
  EXPECT_TRUE(Exists(live));
  EXPECT_FALSE(Exists(binned));
  EXPECT_EQ(TakeLookupPath(live.c_str()), t);
  EXPECT_EQ(TakeJournalRedo(), 0);

  // A new step after a redo keeps the live Take.
  TakeJournalNewLevel();
  EXPECT_TRUE(Exists(live));
  TakeJournalUndo(1, 1, &error);  // level 1: nothing of ours
  TakeJournalUndo(1, 1, &error);  // level 0: the creation
  EXPECT_TRUE(Exists(binned));
  uint32_t ref = TakeRef(t);
  TakeJournalNewLevel();  // recording after the undo deletes it for good
  EXPECT_FALSE(Exists(binned));
  EXPECT_FALSE(Exists(live));
  EXPECT_EQ(TakeFromRef(ref), nullptr);
  EXPECT_EQ(TakeJournalLevel(), 0);
  EXPECT_EQ(TakeJournalTop(), 0);
}

TEST_F(TakeTest, UndoOfARenameAndDiscardOfAll) {
  TakeJournalNewLevel();
  TakeRec* t = Audio("first");
  TakeJournalNewLevel();
  uint32_t error = 0;
  ASSERT_EQ(TakeRenameFile(t, Sub("second.ATAK").c_str(), &error, 1), 1);
  ASSERT_EQ(TakeJournalUndo(1, 1, &error), 1);
  EXPECT_EQ(std::string(t->path), Sub("first.ATAK"));
  ASSERT_EQ(TakeJournalRedo(), 1);
  EXPECT_EQ(std::string(t->path), Sub("second.ATAK"));
  ASSERT_EQ(TakeJournalUndo(1, 1, &error), 1);
  ASSERT_EQ(TakeJournalUndo(1, 1, &error), 1);
  EXPECT_TRUE(Exists(Sub("qvReBin\\first.ATAK")));
  TakeJournalDiscard(0);
  EXPECT_FALSE(Exists(Sub("qvReBin\\first.ATAK")));
  EXPECT_EQ(TakeJournalLevel(), -1);
  EXPECT_EQ(TakeJournalRedo(), 0);
}

TEST_F(TakeTest, OneUndoLevelFinalisesThePreviousStep) {
  TakeJournalSetUndoLevels(1);
  TakeJournalNewLevel();
  Audio("a");
  uint32_t error = 0;
  TakeJournalUndo(1, 1, &error);
  EXPECT_TRUE(Exists(Sub("qvReBin\\a.ATAK")));
  TakeJournalNewLevel();
  EXPECT_FALSE(Exists(Sub("qvReBin\\a.ATAK")));
  Audio("b");
  TakeJournalNewLevel();  // gives up level 0: b stays
  EXPECT_EQ(TakeJournalLevel(), 0);
  EXPECT_TRUE(Exists(Sub("b.ATAK")));
  EXPECT_EQ(TakeJournalUndo(1, 1, &error), 1);
  EXPECT_TRUE(Exists(Sub("b.ATAK")));
}

TEST_F(TakeTest, UndoWithoutRedoMakesFinalAtOnce) {
  TakeJournalNewLevel();
  Audio("gone");
  uint32_t error = 0;
  ASSERT_EQ(TakeJournalUndo(0, 1, &error), 1);
  EXPECT_FALSE(Exists(Sub("gone.ATAK")));
  EXPECT_FALSE(Exists(Sub("qvReBin\\gone.ATAK")));
  EXPECT_EQ(TakeJournalRedo(), 0);
}

TEST_F(TakeTest, DeleteFreesLogsRecordAndJournal) {
  uint32_t error = 0;
  TakeJournalNewLevel();
  TakeRec* m = TakeCreateMidi(dir_.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, "m", nullptr, nullptr,
                              nullptr, &error);
  ASSERT_NE(m, nullptr);
  m->word4 = 31;  // the in-memory MIDI log
  uint32_t ref = TakeRef(m);
  ASSERT_EQ(TakeDeleteFile(m), 1);
  EXPECT_TRUE(Services().Called("MidiDeleteTakeLog(31)")) << Services().Joined();
  EXPECT_FALSE(Exists(Sub("m.MTAK")));
  EXPECT_EQ(TakeFromRef(ref), nullptr);
  EXPECT_EQ(TakeIsOpen(m), 0);
  EXPECT_EQ(TakeDelete(m, 1), 0);  // no longer in the name set
  // The journal forgot it: undo has nothing to move.
  EXPECT_EQ(TakeJournalUndo(1, 1, &error), 1);

  TakeRec* a = TakeCreateAutom(dir_.c_str(), 0, 0, 0, 0, 0, 0, 0, 0, "c", nullptr, nullptr,
                               nullptr, &error);
  ASSERT_NE(a, nullptr);
  a->word5 = 12;
  EXPECT_EQ(FileDeleteByPath(a->path), 1);
  EXPECT_TRUE(Services().Called("MxaFreeTake(12)"));
  WriteRaw(Sub("plain.txt"), "x", 1);
  EXPECT_EQ(FileDeleteByPath(Sub("plain.txt").c_str()), 1);
  EXPECT_FALSE(Exists(Sub("plain.txt")));
}

TEST_F(TakeTest, RingOfTakesInUse) {
  TakeRec* a = Audio("a");
  TakeRec* b = Audio("b");
  TakeRec* c = Audio("c");
  for (TakeRec* t : {a, b, c}) TakeRingAdd(t);
  TakeRingAdd(b);  // already a member
  std::vector<TakeRec*> order;
  for (TakeRec* t = TakeRingFirst(); t; t = TakeRingNext(t)) order.push_back(t);
  EXPECT_EQ(order, (std::vector<TakeRec*>{a, c, b}));  // new members follow the head

  ASSERT_EQ(TakeFree(a), 1);  // the head's predecessor becomes the head
  EXPECT_EQ(TakeRingFirst(), b);
  EXPECT_EQ(TakeFree(a), 0);

  c->file = FioOpen(c->path, kFioRead);
  b->file = FioOpen(b->path, kFioRead);
  TakeRingClear();
  EXPECT_EQ(TakeRingFirst(), nullptr);
  EXPECT_TRUE(c->flags & kTakeWasInRing);
  TakeRingAdd(b);
  TakeRingCloseOthers(1);
  EXPECT_EQ(c->file, kFioInvalid);  // left the ring: handle closed
  EXPECT_NE(b->file, kFioInvalid);
  EXPECT_EQ(c->flags & kTakeWasInRing, 0u);
  EXPECT_TRUE(Services().Called("TakeDirWndRepaint()"));
  EXPECT_TRUE(Services().Called("SFManNotify(3, 1)"));
}

TEST_F(TakeTest, MoveToReBinByReferenceAndIoErrorReport) {
  TakeRec* t = Audio("x");
  EXPECT_EQ(TakeMoveToReBin(TakeRef(t)), 1);
  EXPECT_TRUE(Exists(Sub("qvReBin\\x.ATAK")));
  EXPECT_EQ(TakeMoveToReBin(uint32_t{0}), 0);

  EXPECT_EQ(TakeCheckIoError(), 0);
  Services().diskErrorTake = TakeRef(t);
  EXPECT_EQ(TakeCheckIoError(), 1);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, uint32_t{IDS_AUDIO_TAKE_RW_ERROR});
  EXPECT_EQ(Host().boxes[0].text, "Audio Take '" + Sub("qvReBin\\x.ATAK") + "' read/write error!");
  // The box is shown with the arrow cursor, and the cursor put back after it.
  EXPECT_EQ(Services().Count("MainCursorArrow()"), 1);
  EXPECT_EQ(Services().Count("MainCursorRestore()"), 1);
}

// A recorder thread resolves references and reads paths under each Take's
// lock while the user-interface thread grows the pool and frees records.
TEST_F(TakeTest, ReferencesResolveWhileThePoolGrows) {
  std::atomic<bool> done{false};
  std::atomic<uint32_t> seen{0};
  std::thread recorder([&] {
    while (!done) {
      for (uint32_t ref = 1; ref <= 400; ++ref) {
        if (TakeRec* t = TakeFromRef(ref)) {
          std::lock_guard<std::mutex> guard(t->lock);
          if (t->path[0]) seen += t->path[std::strlen(t->path) - 1] == 'K';
        }
      }
    }
  });
  std::vector<TakeRec*> made;
  for (int i = 0; i < 300; ++i) {
    TakeImage image{};
    std::snprintf(image.path, sizeof image.path, "%sn%d.ATAK", dir_.c_str(), i);
    made.push_back(TakeAlloc(image));
    if (i % 3 == 0) TakeFree(made[i / 2]);
  }
  done = true;
  recorder.join();
  // Freed records were reused; every open one still resolves to itself.
  std::set<uint32_t> refs;
  for (TakeRec* t : made) {
    if (!TakeIsOpen(t)) continue;
    refs.insert(TakeRef(t));
    EXPECT_EQ(TakeFromRef(TakeRef(t)), t);
  }
  EXPECT_GT(*refs.rbegin(), 128u);  // the pool grew past its first block
}

// A new file for a safe save: never one that exists, not shared while it
// is written, flushed and closed with their results.
TEST_F(TakeTest, CreateNewFileNeverReplacesAndIsNotShared) {
  const std::string taken = Sub("taken");
  WriteRaw(taken, "mine", 4);
  EXPECT_EQ(FioOpen(taken.c_str(), kFioCreateNew), kFioInvalid);
  uint64_t size = 0;
  FioHandle check = FioOpen(taken.c_str(), kFioRead);
  ASSERT_NE(check, kFioInvalid);
  EXPECT_EQ(FioGetSize(check, &size), 1);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(FioClose(check), 1);

  const std::string fresh = Sub("fresh");
  FioHandle file = FioOpen(fresh.c_str(), kFioCreateNew);
  ASSERT_NE(file, kFioInvalid);
#ifdef _WIN32
  EXPECT_EQ(FioOpen(fresh.c_str(), kFioRead), kFioInvalid);  // nobody reads it half-written
#endif
  EXPECT_EQ(FioWrite(file, "new", 3), 1);
  EXPECT_EQ(FioFlush(file), 1);
  EXPECT_EQ(FioClose(file), 1);
  EXPECT_EQ(FioClose(kFioInvalid), 0);
  EXPECT_TRUE(Exists(fresh));
}

TEST_F(TakeTest, DiskFreeUsableIsFourFifths) {
  uint64_t all = FioDiskFree(dir_.c_str());
  uint64_t usable = DiskFreeUsable(dir_.c_str());
  ASSERT_GT(all, 0u);
  // The free count may move between the two reads; allow for it.
  EXPECT_NEAR(static_cast<double>(usable), static_cast<double>(all / 5 * 4), all / 100.0);
  EXPECT_EQ(DiskFreeUsable(Sub("no such folder\\").c_str()), 0u);
}

TEST(TakeNamesTest, KindTextsAndExtensionMatch) {
  EXPECT_STREQ(TakeKindExt(kTakeAutom), "CTAK");
  EXPECT_STREQ(TakeKindName(7), "Unknown Take");
  struct Case {
    const char* name;
    uint32_t kind;
    int fits;
  } cases[] = {
      {"a.atak", kTakeAudio, 1}, {"a.ATAK1", kTakeAudio, 1}, {"a.CTAK", kTakeAudio, 0},
      {"a.MTAK", 0, 1},          {"a.XTAK", 0, 0},           {"a.ATAK.bak", kTakeAudio, 0},
      {"ATAK", 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(TakeNameFitsKind(c.name, c.kind), c.fits) << c.name;
}

}  // namespace
