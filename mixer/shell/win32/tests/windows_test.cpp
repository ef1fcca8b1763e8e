// The documents, setup dialogs and small windows on the running program
// with the recording stand-ins of the other subsystems: each dialog opened
// by its command, filled and confirmed or cancelled from another thread;
// an arrangement saved and opened again through the document commands and
// the file dialogs; the status bar, big clock, audio buffer and tool window
// opened, checked and captured.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "mixer/model/docnames.h"
#include "mixer/model/inirecords.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/shell/docs.h"
#include "mixer/shell/mainopts.h"
#include "mixer/shell/services.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/shell/win32/smallwnd.h"
#include "mixer/shell/wndlogic.h"
#include "mixer/shell/wndtable.h"
#include "tests/fakes/startup_fake.h"
#include "tests/win32/shot.h"

extern "C" BOOL WINAPI CreateTimer(QVTIMER*, UINT) { return 0; }
extern "C" void WINAPI DeleteTimer(QVTIMER*) {}
extern "C" LPCSTR WINAPI GetLastErrorText() { return "LastError = 0"; }

namespace {

std::string TempFolder(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  std::string path = std::string(dir) + name;
  CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

// Runs the program in this thread while `work` runs in another with the
// main frame; the frame is closed afterwards.
void WithProgram(const char* folder, std::function<void(HWND)> work) {
  Startup().Reset();
  Startup().unitCount = 1;
  Startup().mixSaveAnswer = 1;
  const std::string dir = TempFolder(folder);
  SetCurrentDirectoryA(dir.c_str());
  DeleteFileA("HRLMixerDef.INI");
  std::thread worker([work] {
    HWND wnd = nullptr;
    for (int i = 0; i < 500; ++i) {
      wnd = FindWindowA("QV_WC200", nullptr);
      if (wnd && IsWindowVisible(wnd)) break;
      Sleep(20);
    }
    ASSERT_NE(wnd, nullptr);
    work(wnd);
    PostMessageA(wnd, WM_CLOSE, 0, 0);
  });
  HrlWinMain(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL);
  worker.join();
}

// The window of this process with the caption, once it shows.
HWND WaitFor(const char* cls, const char* caption) {
  for (int i = 0; i < 250; ++i) {
    // A dialog shows once its controls are filled.
    HWND w = FindWindowA(cls, caption);
    if (w && IsWindowVisible(w)) return w;
    Sleep(20);
  }
  return nullptr;
}

void WaitGone(HWND wnd) {
  for (int i = 0; i < 250 && IsWindow(wnd); ++i) Sleep(20);
}

// Opens a modal dialog by its command.
HWND OpenDialog(HWND frame, UINT id, const char* caption) {
  PostMessageA(frame, WM_COMMAND, id, 0);
  return WaitFor("#32770", caption);
}

std::string Text(HWND dlg, int id) {
  char text[64] = "";
  GetDlgItemTextA(dlg, id, text, sizeof text);
  return text;
}

// Types into a field and leaves it, as the user does.
void Type(HWND dlg, int id, const char* text) {
  SetDlgItemTextA(dlg, id, text);
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
               reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

void Press(HWND dlg, int id) {
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
  WaitGone(dlg);
}

TEST(SetupDialogs, FilledAndConfirmedOrCancelled) {
  WithProgram("hrl_setup_dialogs", [](HWND frame) {
    SendMessageA(frame, WM_COMMAND, 41585, 0);  // 48 kHz
    ASSERT_EQ(Settings().SampleRate, 48000u);

    HWND dlg = OpenDialog(frame, 41608, "Sync Setup");
    ASSERT_NE(dlg, nullptr);
    Type(dlg, 801, "50");
    EXPECT_EQ(Text(dlg, 801), "100");
    Type(dlg, 801, "5000");
    EXPECT_EQ(Text(dlg, 801), "4000");
    Type(dlg, 802, "30000");
    EXPECT_EQ(Text(dlg, 802), "20000");  // 960000 samples, the limit
    CheckDlgButton(dlg, 804, BST_CHECKED);
    CheckDlgButton(dlg, 803, BST_UNCHECKED);
    // No sync board: the decoder's choices cannot be changed.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 805)));
    Press(dlg, IDOK);
    EXPECT_EQ(SlvMtcPrepDurat, 4000);
    EXPECT_EQ(SyncInDropOut, 960000);
    EXPECT_EQ(SyncInMTCQF48, 1);
    EXPECT_GE(Startup().Count("UnitSetOptionFlags(0, 2)"), 1);

    // Cancel changes nothing.
    dlg = OpenDialog(frame, 41608, "Sync Setup");
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(Text(dlg, 801), "4000");
    Type(dlg, 801, "300");
    Press(dlg, IDCANCEL);
    EXPECT_EQ(SlvMtcPrepDurat, 4000);

    // A position at or past the end of the time line is kept just below it.
    dlg = OpenDialog(frame, 41609, "Play/Record Setup");
    ASSERT_NE(dlg, nullptr);
    Type(dlg, 810, "99:59:59:29");
    CheckDlgButton(dlg, 808, BST_CHECKED);
    Press(dlg, IDOK);
    EXPECT_EQ(Settings().PreRoll, 0x7FFF05FEu);
    EXPECT_TRUE(Settings().PlayRecMode & kModePreRoll);

    dlg = OpenDialog(frame, 41610, "Automation Setup");
    ASSERT_NE(dlg, nullptr);
    CheckDlgButton(dlg, 829, BST_UNCHECKED);
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(829, BN_CLICKED), 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 831)));
    Type(dlg, 820, "250");
    CheckRadioButton(dlg, 823, 825, 825);
    Press(dlg, IDOK);
    EXPECT_EQ(Settings().AutoTouchTimeout, 250u);
    EXPECT_EQ(Settings().AutoRecMode, 2u);
    EXPECT_EQ(Settings().SnapshotFlags & 1, 1u);  // fade in unchecked sets bit 0

    dlg = OpenDialog(frame, 41611, "MIDI Setup");
    ASSERT_NE(dlg, nullptr);
    CheckDlgButton(dlg, 845, BST_CHECKED);
    Press(dlg, IDOK);
    EXPECT_EQ(ReadMidiCfgUnit(1) & 1, 1);
  });
}

// The common file dialog of the program, answered with a path.
void AnswerFileDialog(const char* caption, const std::string& path) {
  HWND dlg = WaitFor("#32770", caption);
  ASSERT_NE(dlg, nullptr) << caption;
  SetDlgItemTextA(dlg, 0x47c, path.c_str());  // the file-name field
  SetDlgItemTextA(dlg, 0x480, path.c_str());
  SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
  WaitGone(dlg);
}

TEST(Documents, SaveAndOpenAnArrangement) {
  const std::string path = TempFolder("hrl_doc_roundtrip") + "\\song.ARR";
  DeleteFileA(path.c_str());
  WithProgram("hrl_doc_roundtrip", [&](HWND frame) {
    for (UINT key : {42391u, 42392u, 42400u}) SendMessageA(frame, WM_COMMAND, key, 0);  // marker 12
    ASSERT_EQ(MrkIsValid(CurMrkList, 12), 1);
    EXPECT_EQ(ArrIsNamed(), 0);
    // Save of the never-named arrangement asks for a name.
    PostMessageA(frame, WM_COMMAND, 41003, 0);
    AnswerFileDialog("Save As", path);
    for (int i = 0; i < 250 && ArrIsNamed() == 0; ++i) Sleep(20);
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    char name[kDocNameSize];
    ArrNameGet(name, sizeof name);
    EXPECT_STREQ(name, path.c_str());
    EXPECT_EQ(ArrIsNamed(), 1);

    // Marker 13 after the save is gone once the file is opened again.
    for (UINT key : {42391u, 42393u, 42400u}) SendMessageA(frame, WM_COMMAND, key, 0);
    ASSERT_EQ(MrkIsValid(CurMrkList, 13), 1);
    PostMessageA(frame, WM_COMMAND, 41001, 0);
    AnswerFileDialog("Open", path);
    for (int i = 0; i < 250 && MrkIsValid(CurMrkList, 13); ++i) Sleep(20);
    EXPECT_EQ(MrkIsValid(CurMrkList, 12), 1);
    EXPECT_EQ(MrkIsValid(CurMrkList, 13), 0);
    ArrNameGet(name, sizeof name);
    EXPECT_STREQ(name, path.c_str());
  });
}

TEST(SmallWindows, OpenUpdateAndCapture) {
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  std::string dir = exe;
  dir.resize(dir.rfind('\\') + 1);
  WithProgram("hrl_small_windows", [&](HWND frame) {
    SendMessageA(frame, WM_COMMAND, 42303, 0);
    HWND status = WndTable[kStatusBar];
    ASSERT_NE(status, nullptr);
    SendMessageA(frame, WM_COMMAND, 42315, 0);
    HWND clock = WndTable[kBigClocWnd];
    ASSERT_NE(clock, nullptr);
    SendMessageA(frame, WM_COMMAND, 42314, 0);
    HWND buffer = WndTable[kAudBufWnd];
    ASSERT_NE(buffer, nullptr);
    // The tool window holds the default page; Ctrl+2's tool takes every
    // slot and the next tool gives them back.
    ASSERT_NE(WndTable[kToolWnd], nullptr);
    EXPECT_EQ(ToolAtIndex(0), 0);
    EXPECT_EQ(ToolAtIndex(kToolPageSlots), kToolEmpty);
    const int before[4] = {ToolGet(0), ToolGet(1), ToolGet(2), ToolGet(3)};
    SendMessageA(frame, WM_COMMAND, 41547, 0);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(ToolGet(s), 43);
    SendMessageA(frame, WM_COMMAND, 41509, 0);  // Cut on the left button
    EXPECT_EQ(ToolGet(1), 9);
    EXPECT_EQ(ToolGet(0), before[0]);
    EXPECT_EQ(ToolGet(3), before[3]);
    // A second press of the Context Sensitive Edit tool opens its dialog.
    PostMessageA(WndTable[kToolWnd], WMU_CTL_LBUTTONDOWN, 43, 0);
    PostMessageA(WndTable[kToolWnd], WMU_CTL_LBUTTONDOWN, 43, 0);
    HWND cse = WaitFor("#32770", "Customize Context Sensitive Edit Tool");
    ASSERT_NE(cse, nullptr);
    Press(cse, IDCANCEL);
    EXPECT_FALSE(IsWindow(cse));
    SendMessageA(frame, WM_COMMAND, 41509, 0);
    for (HWND w : {status, clock, buffer, WndTable[kToolWnd]}) {
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    SendMessageA(frame, WM_NULL, 0, 0);
    Sleep(200);
    // The client areas as 24-bit BMP files beside the test.
    hrl_test::SaveWindowShot(status, dir + "shot_status.bmp", hrl_test::ShotFrom::kClient);
    hrl_test::SaveWindowShot(clock, dir + "shot_bigclock.bmp", hrl_test::ShotFrom::kClient);
    hrl_test::SaveWindowShot(buffer, dir + "shot_audbuf.bmp", hrl_test::ShotFrom::kClient);
    hrl_test::SaveWindowShot(WndTable[kToolWnd], dir + "shot_toolwnd.bmp", hrl_test::ShotFrom::kClient);
    // Closing them clears their checks and their entries.
    SendMessageA(frame, WM_COMMAND, 42315, 0);
    EXPECT_EQ(WndTable[kBigClocWnd], nullptr);
    SendMessageA(frame, WM_COMMAND, 42303, 0);
    EXPECT_EQ(WndTable[kStatusBar], nullptr);
  });
}

}  // namespace
