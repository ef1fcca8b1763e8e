// The profile store over the Windows profile functions, against a temporary
// file.
#include "mixer/model/util/win32/profile_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

class WindowsProfileFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof dir, dir), 0u);
    char file[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(dir, "ini", 0, file), 0u);
    path_ = file;
    other_ = path_ + ".other.ini";
  }
  void TearDown() override { DeleteFileA(path_.c_str()); }
  // The raw text of a key, as the file holds it.
  std::string Raw(const std::string& file, const char* section, const char* key) {
    char buf[1024];
    GetPrivateProfileStringA(section, key, "(none)", buf, sizeof buf, file.c_str());
    return buf;
  }
  std::string path_;
  std::string other_;  // never created
};

TEST_F(WindowsProfileFile, ReadsWhatItWrites) {
  Profile& p = WindowsProfile();
  char buf[16];
  EXPECT_EQ(p.GetString(path_.c_str(), "MainWnd", "Snap", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(p.GetString(other_.c_str(), "MainWnd", "Snap", buf, sizeof buf), 0);  // no file

  p.WriteString(path_.c_str(), "MainWnd", "Snap", "0123456789abcdefXYZ");
  EXPECT_EQ(Raw(path_, "MAINWND", "snap"), "0123456789abcdefXYZ");
  EXPECT_EQ(p.GetString(path_.c_str(), "MainWnd", "Snap", buf, sizeof buf), 15);
  EXPECT_STREQ(buf, "0123456789abcde");
  EXPECT_EQ(p.GetString(path_.c_str(), "MainWnd", "Snap", buf, 0), 0);
}

}  // namespace
