// The Windows layer of the element utilities: attach and detach, skin
// files read through the system's profile functions, folders, frames,
// the INPUT dialog and message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "elements/win32/elemwin.h"
#include "mixer/model/util/win32/profile_win.h"

namespace {

std::string TempFolder(const char* name) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  std::string dir = std::string(base) + name + "\\";
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

void WriteFile(const std::string& path, const char* text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs(text, f);
  std::fclose(f);
}

// Answers the next dialog or box of this thread from a timer inside its
// message loop: `act` sees it, then the button is pressed.
struct DialogAnswer {
  static inline std::function<void(HWND)> act;
  static inline int button = IDOK;
  static inline bool seen = false;
  static BOOL CALLBACK Find(HWND wnd, LPARAM found) {
    char cls[16] = "";
    GetClassNameA(wnd, cls, sizeof cls);
    if (std::string(cls) != "#32770" || !IsWindowVisible(wnd)) return TRUE;
    *reinterpret_cast<HWND*>(found) = wnd;
    return FALSE;
  }
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dlg = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), Find, reinterpret_cast<LPARAM>(&dlg));
    if (!dlg || seen) return;
    seen = true;
    KillTimer(nullptr, id);
    if (act) act(dlg);
    PostMessageA(dlg, WM_COMMAND, button, 0);
  }
  DialogAnswer(int b, std::function<void(HWND)> a) {
    button = b;
    act = std::move(a);
    seen = false;
    SetTimer(nullptr, 0, 30, OnTimer);
  }
};

std::string Text(HWND wnd) {
  char buf[256] = "";
  GetWindowTextA(wnd, buf, sizeof buf);
  return buf;
}

class ElemWinTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(ElemModuleAttach(GetModuleHandleA(nullptr))); }
  void TearDown() override { ElemModuleDetach(); }
};

}  // namespace

TEST_F(ElemWinTest, AttachMakesHeapFontsAndDefaults) {
  ElemModuleGlobals& m = ElemModule();
  EXPECT_NE(m.Heap, nullptr);
  for (HFONT f : m.Fonts) EXPECT_NE(f, nullptr);
  EXPECT_GT(m.CaptionHeight, 0);
  EXPECT_EQ(m.Skin.Colors[kCol_LittleWindow_Background], 0xC0C0C0u);
  auto* block = static_cast<uint8_t*>(ElemAlloc(64));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
  ElemFree(block);
}

TEST_F(ElemWinTest, SkinFileThroughTheProfileFunctions) {
  const std::string dir = TempFolder("hrl_elem_skin");
  WriteFile(dir + "mute.bmp", "BM");
  WriteFile(dir + "Qvmxel1.skn",
            "[Common]\r\ncol_Label_Text = $Ink\r\ncol_Title_Border_On=5\r\nimg_Mute_Button=mute.bmp\r\n"
            "img_Solo_Button=solo.bmp\r\n[Aliases]\r\nInk=$Orange\r\nOrange=#FF8000\r\n"
            "[EQ 2-Band]\r\ncol_LCD_Background=0x123456\r\n");
  WriteFile(dir + "Host.ini", ("[MainWnd]\r\nSkinPath=" + dir + "\r\n").c_str());

  char path[kElemPathSize];
  ElemSkinPath((dir + "Host.ini").c_str(), "C:\\windows", "C:\\x\\Qvmxel1.dll", WindowsProfile(), ElemFilesWin(), path,
               sizeof path);
  EXPECT_EQ(std::string(path), dir + "Qvmxel1.skn");

  SkinFile file{};
  ElemCopyString(file.Path, sizeof file.Path, path);
  file.Store = &WindowsProfile();
  file.Files = &ElemFilesWin();
  ElemSkin skin;
  SkinLoad(&skin, file);
  EXPECT_EQ(skin.Colors[kCol_Label_Text], 0x0080FFu);
  EXPECT_EQ(skin.Colors[kCol_Title_Border_On], 1u);
  EXPECT_EQ(skin.Colors[kColEq_LCD_Background], 0x123456u);
  EXPECT_EQ(skin.Colors[kCol_Label_Background], 0xC0C0C0u);
  EXPECT_EQ(std::string(skin.Images[kImgMute]), dir + "mute.bmp");
  EXPECT_STREQ(skin.Images[kImgSolo], "");
}

TEST_F(ElemWinTest, FoldersAndAbsolutePaths) {
  const std::string dir = TempFolder(("hrl_elem_dirs" + std::to_string(GetCurrentProcessId())).c_str());
  const std::string deep = dir + "a\\b\\c\\";
  ASSERT_EQ(ElemCreateFolderPath(deep.c_str()), 1);
  EXPECT_EQ(ElemFilesWin().FolderExists(deep.c_str()), 1);
  EXPECT_EQ(ElemFilesWin().FileExists(deep.c_str()), 0);

  char before[MAX_PATH], after[MAX_PATH];
  GetCurrentDirectoryA(sizeof before, before);
  char p[MAX_PATH] = "..\\b\\x.bmp";
  EXPECT_EQ(ElemFilesWin().MakeAbsolute(p, sizeof p, (dir + "a\\b\\c").c_str()), 1);
  EXPECT_EQ(std::string(p), dir + "a\\b\\b\\x.bmp");
  GetCurrentDirectoryA(sizeof after, after);
  EXPECT_STREQ(before, after);
  char q[MAX_PATH] = "x";
  EXPECT_EQ(ElemFilesWin().MakeAbsolute(q, sizeof q, (dir + "missing").c_str()), 0);
  EXPECT_STREQ(q, "x");

  // A folder that cannot be made (its name is not valid) leaves nothing of
  // the path behind.
  EXPECT_EQ(ElemCreateFolderPath((dir + "new\\bad|name\\sub\\").c_str()), 0);
  EXPECT_EQ(ElemFilesWin().FolderExists((dir + "new").c_str()), 0);
}

TEST_F(ElemWinTest, FramesDrawEachEdgeInItsColourInOrder) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, 10, 10);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  const RECT r{0, 0, 10, 10};
  ElemDrawFrame3D(dc, RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0), r);
  EXPECT_EQ(GetPixel(dc, 0, 5), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 5, 0), RGB(0, 255, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 255, 0));    // top drawn after left
  EXPECT_EQ(GetPixel(dc, 9, 5), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dc, 9, 0), RGB(0, 0, 255));    // right after top
  EXPECT_EQ(GetPixel(dc, 9, 9), RGB(255, 255, 0));  // bottom last
  ElemDrawFrame3D(dc, RGB(1, 1, 1), RGB(2, 2, 2), r);
  EXPECT_EQ(GetPixel(dc, 9, 9), RGB(2, 2, 2));
  EXPECT_EQ(GetPixel(dc, 0, 9), RGB(1, 1, 1));      // top-left drawn last
  EXPECT_EQ(GetPixel(dc, 9, 0), RGB(1, 1, 1));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
}

TEST_F(ElemWinTest, InputDialogShowsAndTakesTheValueText) {
  ElemCopyString(ElemModule().ValueText, kElemValueTextSize, "12.5");
  std::string caption, shown;
  DialogAnswer answer(IDOK, [&](HWND dlg) {
    caption = Text(dlg);
    shown = Text(GetDlgItem(dlg, kElemInputEdit));
    SetDlgItemTextA(dlg, kElemInputEdit, std::string(300, '7').c_str());
  });
  EXPECT_EQ(ElemDialogBoxParam(ElemInputDlgProc, "INPUT", nullptr, reinterpret_cast<LPARAM>("Gain")), IDOK);
  EXPECT_EQ(caption, "Gain");
  EXPECT_EQ(shown, "12.5");
  EXPECT_EQ(std::string(ElemModule().ValueText), std::string(kElemValueTextSize - 1, '7'));

  DialogAnswer cancel(IDCANCEL, [](HWND dlg) { SetDlgItemTextA(dlg, kElemInputEdit, "1"); });
  EXPECT_EQ(ElemDialogBoxParam(ElemInputDlgProc, "INPUT", nullptr, reinterpret_cast<LPARAM>("Gain")), IDCANCEL);
  EXPECT_EQ(ElemModule().ValueText[0], '7');
}

TEST_F(ElemWinTest, MessageBoxTakesItsCaptionFromTheParent) {
  HWND parent = CreateWindowExA(0, "STATIC", "Column 3", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  std::string caption, text;
  DialogAnswer answer(IDOK, [&](HWND box) {
    caption = Text(box);
    text = Text(GetDlgItem(box, 0xFFFF));
  });
  EXPECT_EQ(ElemMessageBox(parent, IDS_SKIN_SEND, MB_OK), IDOK);
  EXPECT_EQ(caption, "Column 3");
  EXPECT_EQ(text, "Send Pre/Post");
  DestroyWindow(parent);
}

TEST_F(ElemWinTest, FileDialogNeedsItsStrings) {
  char path[MAX_PATH] = "C:\\x.qv2eq";
  EXPECT_EQ(FileDialog(1, 0, 1, path, sizeof path, 9001, IDS_SKIN_EXT, nullptr), 0);
  EXPECT_EQ(FileDialog(1, 0, 1, path, sizeof path, IDS_SKIN_EXT, 9002, nullptr), 0);
  EXPECT_STREQ(path, "C:\\x.qv2eq");
}
