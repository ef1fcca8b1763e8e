#include "mixer/model/util/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "mixer/model/util/fileio.h"
#include "mixer/model/util/strtab.h"

TEST(PathParts, FindsNameExtensionAndBackslash) {
  struct {
    const char* path;
    const char* name;
    const char* lastExt;
    const char* firstExt;
  } cases[] = {
      {"C:\\dir.x\\take.a.wav", "take.a.wav", ".wav", ".a.wav"},
      {"C:take.wav", "take.wav", ".wav", ".wav"},
      {"C:\\dir.x\\take", "take", "", ""},  // a dot in the folder is no extension
      {"take", "take", "", ""},
      {"C:\\dir\\", "", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(PathFindName(c.path), c.name) << c.path;
    EXPECT_STREQ(PathFindExt(c.path, 0), c.lastExt) << c.path;
    EXPECT_STREQ(PathFindExt(c.path, 1), c.firstExt) << c.path;
  }
  const char* path = "C:\\a\\b";
  EXPECT_EQ(PathFindBackslash(path), path + 2);
  EXPECT_EQ(PathFindBackslash("C:take"), nullptr);
}

TEST(PathParts, DriveAndDirectoryCopiesAreAllOrNothing) {
  char out[32];
  struct {
    const char* path;
    const char* drive;
    const char* dir;
  } cases[] = {
      {"C:\\Takes\\t.wav", "C:", "C:\\Takes\\"},
      {"\\\\server\\share\\t.wav", "", "\\\\server\\share\\"},
      {"t.wav", "", ""},
      {"D:t.wav", "D:", "D:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathGetDrive(c.path, out, sizeof out), 1);
    EXPECT_STREQ(out, c.drive) << c.path;
    EXPECT_EQ(PathGetDir(c.path, out, sizeof out), 1);
    EXPECT_STREQ(out, c.dir) << c.path;
  }

  std::memset(out, '#', sizeof out);
  EXPECT_EQ(PathGetDir("C:\\Takes\\t.wav", out, 9), 0);  // "C:\Takes\" needs 10
  EXPECT_STREQ(out, "");
  EXPECT_EQ(out[1], '#');
  EXPECT_EQ(PathGetDrive("C:\\t", out, 2), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(PathGetDir("C:\\Takes\\t.wav", out, 10), 1);
  EXPECT_STREQ(out, "C:\\Takes\\");
}

TEST(PathUpOneLevel, DropsTheFolderHoldingTheName) {
  struct {
    const char* in;
    const char* out;
    const char* name;
  } cases[] = {
      {"C:\\a\\b\\f", "C:\\a\\f", "f"},
      {"C:\\a\\f", "C:\\f", "f"},
      {"a\\f", "f", "f"},
      {"C:a\\f", "C:f", "f"},
      {"C:\\f", "C:\\f", "f"},  // already in the root
      {"\\f", "\\f", "f"},
      {"f", "\\", ""},
      {"C:f", "\\", ""},
      {"", "\\", ""},
  };
  for (const auto& c : cases) {
    char buf[32];
    std::strcpy(buf, c.in);
    char* name = PathUpOneLevel(buf, sizeof buf);
    ASSERT_NE(name, nullptr) << c.in;
    EXPECT_STREQ(buf, c.out) << c.in;
    EXPECT_STREQ(name, c.name) << c.in;
  }
  char one[2] = "";
  EXPECT_EQ(PathUpOneLevel(one, 1), nullptr);  // "\" needs two bytes
  EXPECT_STREQ(one, "");
}

TEST(NameChars, ChecksAndReplaces) {
  struct {
    const char* name;
    uint32_t id;  // 0: accepted
  } cases[] = {
      {"Drums", 0},
      {"Drums (2) L", 0},
      {"", IDS_NAME_MISSING},
      {" Drums", IDS_NAME_BAD_CHARS},
      {"C:Drums", IDS_NAME_BAD_CHARS},
      {"a?b", IDS_NAME_BAD_CHARS},
      {"a*b", IDS_NAME_BAD_CHARS},
      {"a<b", IDS_NAME_BAD_CHARS},
      {"a>b", IDS_NAME_BAD_CHARS},
      {"a/b", IDS_NAME_BAD_CHARS},
      {"a\\b", IDS_NAME_BAD_CHARS},
      {"a|b", IDS_NAME_BAD_CHARS},
      {"a\"b", IDS_NAME_BAD_CHARS},
  };
  for (const auto& c : cases) {
    uint32_t id = 0;
    EXPECT_EQ(CheckNameChars(c.name, &id), c.id == 0) << c.name;
    EXPECT_EQ(id, c.id) << c.name;
  }
  EXPECT_EQ(CheckNameChars("", nullptr), 0);

  char name[] = "a?b*c<d>e/f\\g:h|i\"j k";
  ReplaceBadNameChars(name);
  EXPECT_STREQ(name, "a b c d e f g h i j k");
}

namespace {

struct FakeDisk {
  std::set<std::string> files;
  PathExistsFn Exists() {
    return [this](const char* path) { return files.count(path) ? 1 : 0; };
  }
};

}  // namespace

TEST(MakeUniquePath, NumbersTheNameUntilItIsFree) {
  struct {
    std::set<std::string> files;
    const char* path;
    int keepSuffix;
    const char* out;
  } cases[] = {
      {{}, "C:\\T\\Drums.wav", 0, "C:\\T\\Drums.wav"},
      {{"C:\\T\\Drums.wav"}, "C:\\T\\Drums.wav", 0, "C:\\T\\Drums (2).wav"},
      {{"C:\\T\\Drums.wav", "C:\\T\\Drums (2).wav"}, "C:\\T\\Drums.wav", 0,
       "C:\\T\\Drums (3).wav"},
      {{"C:\\T\\Drums (7).wav"}, "C:\\T\\Drums (7).wav", 0, "C:\\T\\Drums (8).wav"},
      {{"C:\\T\\Drums L.wav"}, "C:\\T\\Drums L.wav", 1, "C:\\T\\Drums (2) L.wav"},
      {{"C:\\T\\Drums L.wav"}, "C:\\T\\Drums L.wav", 0, "C:\\T\\Drums L (2).wav"},
      {{"C:\\T\\Drums (2) LFE.wav", "C:\\T\\Drums (3) LFE.wav"}, "C:\\T\\Drums (2) LFE.wav", 1,
       "C:\\T\\Drums (4) LFE.wav"},
      {{"C:\\T\\Drums 3_8.wav"}, "C:\\T\\Drums 3_8.wav", 1, "C:\\T\\Drums (2) 3_8.wav"},
      {{"C:\\T\\Drums"}, "C:\\T\\Drums", 0, "C:\\T\\Drums (2)"},
  };
  for (const auto& c : cases) {
    FakeDisk disk{c.files};
    char path[64];
    std::strcpy(path, c.path);
    EXPECT_EQ(MakeUniquePathWith(path, sizeof path, c.keepSuffix, disk.Exists()), 1) << c.path;
    EXPECT_STREQ(path, c.out) << c.path;
  }
}

TEST(MakeUniquePath, StaysWithinTheBuffer) {
  FakeDisk disk{{"C:\\T\\Drums L.wav"}};
  const char* in = "C:\\T\\Drums L.wav";
  // "C:\T\Drums (2) L.wav" is 20 characters: 21 bytes fit it whole.
  char path[32];
  std::strcpy(path, in);
  EXPECT_EQ(MakeUniquePathWith(path, 21, 1, disk.Exists()), 1);
  EXPECT_STREQ(path, "C:\\T\\Drums (2) L.wav");

  // One byte less cuts the name, never the folder, suffix or extension.
  std::memset(path, '#', sizeof path);
  std::strcpy(path, in);
  EXPECT_EQ(MakeUniquePathWith(path, 20, 1, disk.Exists()), 1);
  EXPECT_STREQ(path, "C:\\T\\Drums(2) L.wav");
  EXPECT_EQ(path[20], '#');

  // No room for even "(2)" beside folder, suffix and extension (11 bytes).
  std::strcpy(path, in);
  EXPECT_EQ(MakeUniquePathWith(path, 17, 1, disk.Exists()), 1);
  EXPECT_STREQ(path, "C:\\T\\Dr(2) L.wav");
  std::strcpy(path, in);
  EXPECT_EQ(MakeUniquePathWith(path, 14, 1, disk.Exists()), 0);
  EXPECT_STREQ(path, in);
}

TEST(MakeUniquePath, GivesUpAfterTheLastNumber) {
  char path[64] = "C:\\T\\a (99999).wav";
  EXPECT_EQ(MakeUniquePathWith(path, sizeof path, 0, [](const char*) { return 1; }), 0);
  EXPECT_STREQ(path, "C:\\T\\a (99999).wav");

  char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(MakeUniquePathWith(unterminated, sizeof unterminated, 0, [](const char*) { return 0; }),
            0);
}

#if !defined(_WIN32)
// The file layer opens existing regular files only: a folder or a pipe is
// refused at once (a pipe without a writer must not hold the open up).
TEST(FileLayer, OpensRegularFilesOnly) {
  char folder[] = "/tmp/hrl-fio-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string base = folder;
  const std::string file = base + "/take.bin", pipe = base + "/pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  FioHandle h = FioOpen(file.c_str(), kFioCreateNew);
  ASSERT_NE(h, kFioInvalid);
  FioClose(h);
  for (FioMode mode : {kFioRead, kFioReadWrite}) {
    h = FioOpen(file.c_str(), mode);
    EXPECT_NE(h, kFioInvalid);
    FioClose(h);
    EXPECT_EQ(FioOpen(base.c_str(), mode), kFioInvalid);
    EXPECT_EQ(FioOpen(pipe.c_str(), mode), kFioInvalid);
    EXPECT_EQ(FioOpen((base + "/missing").c_str(), mode), kFioInvalid);
  }
  std::remove(pipe.c_str());
  std::remove(file.c_str());
  rmdir(folder);
}
#endif
