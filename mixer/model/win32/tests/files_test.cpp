// Files, directories, unique names and the directory walk in a temporary
// folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "mixer/model/win32/appwnd.h"
#include "mixer/model/win32/files.h"
#include "modal_closer.h"

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Deletes a tree through the long-path form, which also reaches paths
// beyond 259 characters.
void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring path = dir + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

void Touch(const std::string& path) {
  HANDLE h = CreateFileW((L"\\\\?\\" + Wide(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
  CloseHandle(h);
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    root_ = std::string(tmp) + "hrl_files_" + std::to_string(GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(L"\\\\?\\" + Wide(root_.substr(0, root_.size() - 1))); }

  std::string root_;  // ends in '\'
};

TEST_F(TempDir, ExistenceTestsTellFilesFromDirectories) {
  Touch(root_ + "f.wav");
  EXPECT_EQ(FileExists((root_ + "f.wav").c_str()), 1);
  EXPECT_EQ(FileExists(root_.c_str()), 0);
  EXPECT_EQ(FileExists((root_ + "none.wav").c_str()), 0);
  EXPECT_EQ(DirExists(root_.c_str()), 1);  // trailing '\'
  EXPECT_EQ(DirExists(root_.substr(0, root_.size() - 1).c_str()), 1);
  EXPECT_EQ(DirExists((root_ + "f.wav").c_str()), 0);
  EXPECT_EQ(DirExists((root_ + "none\\").c_str()), 0);
}

TEST_F(TempDir, CreateDirTreeMakesEveryMissingLevel) {
  EXPECT_EQ(CreateDirTree((root_ + "a\\b\\c\\").c_str()), 1);
  EXPECT_EQ(DirExists((root_ + "a\\b\\c").c_str()), 1);
  EXPECT_EQ(CreateDirTree((root_ + "a\\b\\c\\").c_str()), 1);  // all there already
  EXPECT_EQ(CreateDirTree((root_ + "a\\d\\name.wav").c_str()), 1);
  EXPECT_EQ(DirExists((root_ + "a\\d").c_str()), 1);
  EXPECT_EQ(FileExists((root_ + "a\\d\\name.wav").c_str()), 0);  // a file name is no directory
  Touch(root_ + "file");
  EXPECT_EQ(CreateDirTree((root_ + "file\\x\\").c_str()), 0);
}

TEST_F(TempDir, MakeUniquePathCountsPastTakenNames) {
  Touch(root_ + "Take.wav");
  Touch(root_ + "Take (2).wav");
  char path[MAX_PATH];
  lstrcpyA(path, (root_ + "Take.wav").c_str());
  EXPECT_EQ(MakeUniquePath(path, sizeof path, 0), 1);
  EXPECT_EQ(std::string(path), root_ + "Take (3).wav");

  Touch(root_ + "Drums L.wav");
  lstrcpyA(path, (root_ + "Drums L.wav").c_str());
  EXPECT_EQ(MakeUniquePath(path, sizeof path, 1), 1);
  EXPECT_EQ(std::string(path), root_ + "Drums (2) L.wav");
}

TEST_F(TempDir, PathMakeAbsoluteResolvesAgainstTheBaseAndRestoresTheCurrentDirectory) {
  CreateDirTree((root_ + "sub\\").c_str());
  char before[MAX_PATH], after[MAX_PATH];
  GetCurrentDirectoryA(sizeof before, before);

  char path[MAX_PATH] = "sub\\f.wav";
  EXPECT_EQ(PathMakeAbsolute(path, sizeof path, root_.c_str()), 1);
  EXPECT_EQ(std::string(path), root_ + "sub\\f.wav");

  char missing[MAX_PATH] = "nodir\\f.wav";
  EXPECT_EQ(PathMakeAbsolute(missing, sizeof missing, root_.c_str()), 0);
  EXPECT_STREQ(missing, "nodir\\f.wav");

  char small[12] = "sub\\f.wav";  // the absolute path does not fit
  EXPECT_EQ(PathMakeAbsolute(small, sizeof small, root_.c_str()), 0);
  EXPECT_STREQ(small, "sub\\f.wav");

  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(after, before);
}

struct Visits {
  std::vector<std::string> paths;
  size_t stopAfter = 0;  // 0: never stop
};

int Visit(const char* path, void* user) {
  auto* v = static_cast<Visits*>(user);
  v->paths.push_back(path);
  return v->stopAfter == 0 || v->paths.size() < v->stopAfter;
}

TEST_F(TempDir, WalkDirTreeGoesDepthFirstAndSkipsDotDirectories) {
  CreateDirTree((root_ + "w\\sub\\deep\\").c_str());
  CreateDirTree((root_ + "w\\.cache\\").c_str());
  Touch(root_ + "w\\A.WAV");
  Touch(root_ + "w\\sub\\B.WAV");
  Touch(root_ + "w\\sub\\deep\\C.WAV");
  Touch(root_ + "w\\.cache\\D.WAV");
  Touch(root_ + "w\\z.wav");
  const std::string w = root_ + "w";

  Visits all;
  EXPECT_EQ(WalkDirTree(w.c_str(), Visit, &all), 1);
  ASSERT_EQ(all.paths.size(), 4u);
  // A sub-directory's files come together, in place of the directory.
  std::vector<std::string> expected = {w + "\\A.wav", w + "\\sub\\B.wav", w + "\\sub\\deep\\C.wav",
                                       w + "\\z.wav"};
  EXPECT_EQ(all.paths, expected);
  EXPECT_EQ(ModalCount(), 0);
  EXPECT_FALSE(AppWindowsDisabled());

  Visits two;
  two.stopAfter = 2;
  EXPECT_EQ(WalkDirTree((w + "\\").c_str(), Visit, &two), 0);
  EXPECT_EQ(two.paths.size(), 2u);
}

TEST_F(TempDir, WalkDirTreeStopsAtAPathTooLong) {
  std::string dir = root_ + "long";
  while (dir.size() < 230) dir += "\\" + std::string(20, 'd');
  CreateDirTree((dir + "\\").c_str());
  Touch(dir + "\\" + std::string(260 - dir.size(), 'n'));  // dir + '\' + name = 261

  Visits visits;
  ModalCloser closer(IDOK);
  EXPECT_EQ(WalkDirTree((root_ + "long").c_str(), Visit, &visits), 0);
  EXPECT_TRUE(visits.paths.empty());
  EXPECT_EQ(closer.seen().text, "Maximum path size exceeded!");
}

}  // namespace
