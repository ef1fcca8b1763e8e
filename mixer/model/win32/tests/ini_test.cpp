// The ini layer over the Windows profile functions, against a temporary file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mixer/model/ini.h"
#include "mixer/model/util/profile.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/iniwin.h"

namespace {

class WindowsIni : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[MAX_PATH];
    ASSERT_NE(GetTempPathA(sizeof dir, dir), 0u);
    char file[MAX_PATH];
    ASSERT_NE(GetTempFileNameA(dir, "ini", 0, file), 0u);
    path_ = file;
    other_ = path_ + ".other.ini";
    SetProfile(&WindowsProfile());
    SetMainIniPath(path_.c_str());
  }
  void TearDown() override {
    SetProfile(nullptr);
    DeleteFileA(path_.c_str());
    DeleteFileA(other_.c_str());
  }
  // The raw text of a key, as the file holds it.
  std::string Raw(const std::string& file, const char* section, const char* key) {
    char buf[1024];
    GetPrivateProfileStringA(section, key, "(none)", buf, sizeof buf, file.c_str());
    return buf;
  }
  std::string path_;
  std::string other_;
};

TEST_F(WindowsIni, DefaultsAliasesAndNumbersThroughTheFile) {
  char buf[64];
  EXPECT_EQ(ReadIniString(path_.c_str(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, buf, sizeof buf), 7);
  EXPECT_STREQ(buf, "IFFV1.3");
  EXPECT_EQ(ReadIniString(other_.c_str(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_IFFV, buf, sizeof buf), 0);

  WritePrivateProfileStringA("MainWnd", "UndoLevels", "$Drums", path_.c_str());
  WritePrivateProfileStringA("Aliases", "Drums", "$Kit", path_.c_str());
  WritePrivateProfileStringA("Aliases", "Kit", "0x20", path_.c_str());
  EXPECT_EQ(ReadIniInt(path_.c_str(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, 0, 0, 100), 32);

  WriteIniLong(path_.c_str(), IDS_INI_SEC_MRK_DIR_WND, IDS_INI_KEY_TOP_INDX, -7);
  EXPECT_EQ(Raw(path_, "MrkDirWnd", "TopIndx"), "-7");
}

TEST_F(WindowsIni, WindowRecordsOfLiveWindows) {
  HWND wnd = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 10, 20, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  WriteIniWindowPos(other_.c_str(), IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, wnd);
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  ASSERT_TRUE(GetWindowPlacement(wnd, &placement));
  EXPECT_EQ(Raw(other_, "DirWnd", "Window"),
            "1 10 20 300 200 " + std::to_string(placement.showCmd));
  DestroyWindow(wnd);

  WriteIniWindowPos(other_.c_str(), IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, nullptr);
  WindowPosRec pos = {};
  ReadIniWindowPos(other_.c_str(), IDS_INI_SEC_DIR_WND, IDS_INI_KEY_WINDOW, &pos);
  EXPECT_EQ(pos.visible, 0);
  EXPECT_EQ(pos.x, 10);
  EXPECT_EQ(pos.height, 200);

  WriteIniWindowPos(path_.c_str(), IDS_INI_SEC_BIG_CLOC_WND, IDS_INI_KEY_WINDOW, nullptr);
  EXPECT_EQ(Raw(path_, "BigClocWnd", "Window"), "0   19  404  382  103");
}

}  // namespace
