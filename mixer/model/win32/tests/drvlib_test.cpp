// The device library's version check on real version resources: two test
// libraries built beside this program, one on either side of the oldest
// accepted version.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mixer/model/win32/drvlibcheck.h"

namespace {

// This program's folder, with the trailing backslash.
std::string ExeDir() {
  char path[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  return dir.substr(0, dir.find_last_of("\\/") + 1);
}

TEST(DrvLibCheck, ReadsTheFixedFileVersion) {
  const struct Case {
    const char* file;
    int ok;
    uint32_t ms, ls;
  } cases[] = {
      {"ver_new.dll", 1, 0x00020007, 0x01A4C7AC},
      {"ver_old.dll", 1, 0x00020007, 0x01A4C7AB},
      {"no_such_file.dll", 0, 0, 0},
  };
  for (const Case& c : cases) {
    FileVersion version = {};
    EXPECT_EQ(ReadFileVersion((ExeDir() + c.file).c_str(), &version), c.ok) << c.file;
    EXPECT_EQ(version.ms, c.ms) << c.file;
    EXPECT_EQ(version.ls, c.ls) << c.file;
  }
}

TEST(DrvLibCheck, AFileWithoutVersionResourceFails) {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  FileVersion version = {};
  EXPECT_EQ(ReadFileVersion(self, &version), 0);
}

// The check looks for QVDRV.DLL as the system loads libraries, so first in
// this program's folder.
TEST(DrvLibCheck, ChecksQvdrvBesideTheProgram) {
  const std::string dir = ExeDir();
  const std::string qvdrv = dir + "QVDRV.DLL";
  DeleteFileA(qvdrv.c_str());
  EXPECT_EQ(CheckDrvLibVersion(), 0) << "missing library";

  const struct Case {
    const char* source;
    int ok;
  } cases[] = {{"ver_new.dll", 1}, {"ver_old.dll", 0}};
  for (const Case& c : cases) {
    ASSERT_TRUE(CopyFileA((dir + c.source).c_str(), qvdrv.c_str(), FALSE));
    EXPECT_EQ(CheckDrvLibVersion(), c.ok) << c.source;
  }
  DeleteFileA(qvdrv.c_str());
}

}  // namespace
