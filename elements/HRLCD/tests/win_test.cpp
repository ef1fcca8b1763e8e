// HRLCD.dll loaded by name: the contract with real windows, the windows
// driven with mouse messages, the colour-depth refusal, and a screenshot of
// the big window taken from inside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "elements/harness/win32/elemload.h"
#include "tests/win32/shot.h"

namespace {

constexpr char kModule[] = "HRLCD.dll";

TEST(HrlcdWin, KeepsTheContractWithWindows) {
  ElemModuleCalls calls;
  HMODULE m = ElemModuleLoad(kModule, &calls);
  ASSERT_NE(m, nullptr);
  HWND column = CreateWindowExA(0, "STATIC", "column", WS_POPUP, 0, 0, 120, 600, nullptr, nullptr, nullptr, nullptr);
  ElemContractOptions options;
  options.MakeParent = [&] { return column; };
  options.DestroyWindow = [](WndHandle w) { DestroyWindow(w); };
  SimDsp dsp;
  const ElemContractReport r = RunElemContract(calls, dsp, options);
  std::string all;
  for (const std::string& f : r.Faults) all += f + "\n";
  EXPECT_TRUE(r.Faults.empty()) << all;
  EXPECT_EQ(r.WindowsMade, 4u);
  DestroyWindow(column);
  // The knobs' film strips are one bitmap a frame, 72 frames a family, and
  // the pictures drawn over the body carry alpha (32 bits a pixel).
  auto bits = [m](int id) {
    HBITMAP b = static_cast<HBITMAP>(LoadImageA(m, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (b == nullptr) return 0;
    BITMAP info{};
    GetObjectA(b, sizeof info, &info);
    DeleteObject(b);
    return info.bmWidth == 0 ? 0 : int(info.bmBitsPixel);
  };
  for (int base : {200, 300}) {
    for (int k = 0; k < 72; ++k) EXPECT_EQ(bits(base + k), 32) << base + k;
    EXPECT_EQ(bits(base + 72), 0) << base;
  }
  for (int id : {139, 140, 141, 142, 153}) EXPECT_EQ(bits(id), 32) << id;
  EXPECT_EQ(bits(133), 24);
  FreeLibrary(m);
}

class Dyn : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ElemModuleLoad(kModule, &c);
    ASSERT_NE(module_, nullptr);
    ELEMMODINFO info{};
    c.Init(DspCommandBlock, RecordingNotify, &info);
    column = CreateWindowExA(0, "STATIC", "column", WS_POPUP | WS_VISIBLE, 10, 10, 120, 40, nullptr, nullptr,
                             nullptr, nullptr);
    h = c.CreateElement(0xE42, reinterpret_cast<void*>(1));
    ElemPoint at{0, 0};
    little = c.CreateElementWindows(h, column, &at, 120);
    ELEMTYPEPROPINFO t{};
    c.GetElemTypeProperties(0xE42, &t);
    placed = dsp.Place(t);
    c.LoadElement(h, placed, &placed->Placement);
  }
  void TearDown() override {
    DestroyWindow(column);
    c.DeleteElement(h);
    FreeLibrary(module_);
  }
  int32_t Knob(uint32_t k) {
    ELEMKNOBVALUE kv{k, -99999};
    c.GetElement(h, kGetKnob, &kv);
    return kv.Value;
  }
  static int Depth() {
    HDC dc = GetDC(nullptr);
    const int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return bits;
  }
  ElemModuleCalls c;
  HMODULE module_ = nullptr;
  HWND column = nullptr, little = nullptr;
  ElemHandle h = nullptr;
  SimDsp dsp;
  SimDspElement* placed = nullptr;
};

constexpr char kClass[] = "5B5ADF4522B84f739D318BD0AB8D1F7D_WC";

// The big window: the class's top-level window (the little one is a child).
HWND BigOf(HWND) { return FindWindowExA(nullptr, nullptr, kClass, nullptr); }

TEST_F(Dyn, BigWindowKnobsSwitchesAndBypass) {
  if (Depth() < 24) GTEST_SKIP() << "display below 24 bits per pixel";
  ASSERT_NE(little, nullptr);
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  RECT r;
  GetClientRect(big, &r);
  EXPECT_EQ(r.right, 689);
  EXPECT_EQ(r.bottom, 236);
  // Drag the input gain knob (centre 80, 31 + 129) to 12 o'clock: 0 dB;
  // then to 3 o'clock, 90 of its 300 degrees further: +12 dB.
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 160 - 15));
  SendMessageA(big, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(80, 160 - 15));
  EXPECT_EQ(Knob(0), 0);
  SendMessageA(big, WM_LBUTTONUP, 0, MAKELPARAM(95, 160));
  EXPECT_EQ(Knob(0), 1200);
  // The Peak Compressor switch (hit rectangle at 134, 31 + 48).
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(140, 84));
  EXPECT_EQ(Knob(10), 1);
  // The little window's bypass button.
  SendMessageA(little, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 8));
  EXPECT_EQ(Knob(9), 0);
  // The big window's Bypass switch (305, 31 + 48) follows and toggles back;
  // a double click toggles too, not with another button held.
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(310, 84));
  EXPECT_EQ(Knob(9), 1);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(140, 84));
  EXPECT_EQ(Knob(10), 1);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(140, 84));
  EXPECT_EQ(Knob(10), 0);
  // Closed by its close box: the host hears of it.
  SendMessageA(big, WM_CLOSE, 0, 0);
  EXPECT_EQ(BigOf(little), nullptr);
  uint32_t closed = 0;
  c.GetElement(h, kGetBigClosed, &closed);
  EXPECT_EQ(closed, 1u);
}

// The class procedure hands each window to its object at WM_NCCREATE and
// steps aside: the window's own procedure is no longer the class's.
TEST_F(Dyn, WindowsAreHandedToTheirObjects) {
  ASSERT_NE(little, nullptr);
  WNDCLASSA wc{};
  ASSERT_TRUE(GetClassInfoA(module_, kClass, &wc));
  EXPECT_NE(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(little, GWLP_WNDPROC)), wc.lpfnWndProc);
  EXPECT_NE(GetWindowLongPtrA(little, 0), 0);
  EXPECT_EQ(wc.style & CS_DBLCLKS, UINT(CS_DBLCLKS));
  // A window made without an object gets the default handling only.
  HWND bare = CreateWindowExA(0, kClass, "bare", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, module_, nullptr);
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(GetWindowLongPtrA(bare, 0), 0);
  SendMessageA(bare, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  DestroyWindow(bare);
}

// Header buttons: Store is momentary (a release outside cancels, inside it
// stores and lights Recall); Recall and Bypass latch on the press.
TEST_F(Dyn, HeaderButtonsLatchOrCaptureTheMouse) {
  if (Depth() < 24) GTEST_SKIP();
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  const LPARAM store = MAKELPARAM(600, 10), away = MAKELPARAM(300, 10);
  SendMessageA(big, WM_MOUSEMOVE, 0, store);
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, store);
  EXPECT_EQ(GetCapture(), big);
  SendMessageA(big, WM_MOUSEMOVE, MK_LBUTTON, away);
  SendMessageA(big, WM_LBUTTONUP, 0, away);
  EXPECT_EQ(GetCapture(), nullptr);
  // Released inside: the setting (gain 0) is stored.
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, store);
  SendMessageA(big, WM_LBUTTONUP, 0, store);
  EXPECT_EQ(GetCapture(), nullptr);
  const ELEMKNOBVALUE gain{0, 600};
  c.SetElement(h, kSetKnob, reinterpret_cast<uintptr_t>(&gain));
  // Recall (latching) switches to the stored setting, and back.
  const LPARAM recall = MAKELPARAM(630, 10);
  SendMessageA(big, WM_MOUSEMOVE, 0, recall);
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, recall);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(Knob(0), 0);
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, recall);
  EXPECT_EQ(Knob(0), 600);
  // Bypass latches and the little window's button follows.
  const uint32_t before = uint32_t(Knob(9));
  const LPARAM bypass = MAKELPARAM(665, 10);
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, bypass);
  EXPECT_NE(uint32_t(Knob(9)), before);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON, bypass);
  EXPECT_EQ(uint32_t(Knob(9)), before);
  // Alt held: ignored.
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_MENU] = 0x80;
  SetKeyboardState(keys);
  SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, bypass);
  keys[VK_MENU] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(uint32_t(Knob(9)), before);
}

// A knob under the pointer turns by one film-strip frame (5 degrees) per
// wheel notch; Ctrl + double click puts it back to its default.
TEST_F(Dyn, KnobWheelAndDefault) {
  if (Depth() < 24) GTEST_SKIP();
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  const LPARAM gain = MAKELPARAM(80, 31 + 129);
  SendMessageA(big, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), gain);  // nothing hovered yet
  EXPECT_EQ(Knob(0), 0);
  SendMessageA(big, WM_MOUSEMOVE, 0, gain);
  SendMessageA(big, WM_MOUSEWHEEL, MAKEWPARAM(0, 120 * 3), gain);
  EXPECT_EQ(Knob(0), 200);  // 15 of 300 degrees over 40 dB
  SendMessageA(big, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(-120)), gain);
  EXPECT_EQ(Knob(0), 133);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON | MK_CONTROL, gain);
  EXPECT_EQ(Knob(0), 0);
  // Leaving the window forgets the hovered knob: the wheel does nothing.
  SendMessageA(big, WM_MOUSELEAVE, 0, 0);
  SendMessageA(big, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), gain);
  EXPECT_EQ(Knob(0), 0);
}

// A restored state with the big window open moves it to the state's place.
TEST_F(Dyn, RestoredStateMovesTheOpenBigWindow) {
  if (Depth() < 24) GTEST_SKIP();
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  uint8_t blob[312];
  ASSERT_EQ(c.GetElement(h, kGetState, blob), 1u);
  const int32_t place[2] = {210, 140};
  std::memcpy(blob + 264, place, sizeof place);  // big-window x, y
  ASSERT_EQ(c.SetElement(h, kSetState, reinterpret_cast<uintptr_t>(blob)), 1u);
  RECT r;
  GetWindowRect(big, &r);
  EXPECT_EQ(r.left, 210);
  EXPECT_EQ(r.top, 140);
  EXPECT_EQ(BigOf(little), big);
}

// Save offers no name for an untitled preset and always writes the module's
// extension; a file of the wrong size is refused on load and the preset
// becomes untitled.
TEST_F(Dyn, PresetFilesThroughTheDialogs) {
  if (Depth() < 24) GTEST_SKIP();
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  const std::string txt = std::string(dir) + "dyn31.txt", hcd = std::string(dir) + "dyn31.HCD";
  DeleteFileA(hcd.c_str());
  auto press = [&](int x) {
    SendMessageA(big, WM_MOUSEMOVE, 0, MAKELPARAM(x, 10));
    SendMessageA(big, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 10));
    SendMessageA(big, WM_LBUTTONUP, 0, MAKELPARAM(x, 10));
  };
  ElemDialogAnswer save{txt.c_str()};
  HANDLE t = ElemAnswerDialogs(&save);
  press(40);
  WaitForSingleObject(t, 3000);
  CloseHandle(t);
  EXPECT_STREQ(save.Offered, "");
  HANDLE f = CreateFileA(hcd.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileSize(f, nullptr), 328u);
  CloseHandle(f);
  uint8_t blob[312];
  c.GetElement(h, kGetState, blob);
  EXPECT_STREQ(reinterpret_cast<char*>(blob + 4), hcd.c_str());

  // One byte longer: refused, and the preset is untitled again.
  f = CreateFileA(hcd.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD put = 0;
  WriteFile(f, "x", 1, &put, nullptr);
  CloseHandle(f);
  ElemDialogAnswer load{hcd.c_str()};
  t = ElemAnswerDialogs(&load);
  press(10);
  WaitForSingleObject(t, 3000);
  CloseHandle(t);
  EXPECT_STREQ(load.Offered, "");
  EXPECT_STREQ(load.BoxText, "Incompatible Element Preset file!");
  c.GetElement(h, kGetState, blob);
  EXPECT_STREQ(reinterpret_cast<char*>(blob + 4), (std::string(dir) + "(untitled)").c_str());
  DeleteFileA(hcd.c_str());
}

// Answers the "Numerical Entry" dialog: keeps the text and limit it had,
// types Answer, confirms, then keeps and closes a message box if one comes.
struct EntryAnswer {
  const char* Answer;
  char Offered[64] = "?";
  LRESULT Limit = 0;
  char BoxText[256] = "";
};

DWORD WINAPI AnswerEntry(LPVOID param) {
  auto* a = static_cast<EntryAnswer*>(param);
  HWND dlg = nullptr;
  for (int i = 0; i < 300 && !dlg; ++i, Sleep(10)) dlg = FindWindowA("#32770", "Numerical Entry");
  if (!dlg) return 0;
  Sleep(50);
  GetDlgItemTextA(dlg, 99, a->Offered, sizeof a->Offered);
  a->Limit = SendDlgItemMessageA(dlg, 99, EM_GETLIMITTEXT, 0, 0);
  SetDlgItemTextA(dlg, 99, a->Answer);
  PostMessageA(dlg, WM_COMMAND, IDOK, 0);
  for (int i = 0; i < 50; ++i, Sleep(10)) {
    HWND box = FindWindowA("#32770", "Numerical Entry");
    if (!box || box == dlg || GetDlgItem(box, 99)) continue;
    GetDlgItemTextA(box, 0xFFFF, a->BoxText, sizeof a->BoxText);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 1;
  }
  return 1;
}

// A double click on a knob opens the entry dialog with its value; a number
// in range is set, one out of range is refused with the valid range.
TEST_F(Dyn, NumericEntryDialog) {
  if (Depth() < 24) GTEST_SKIP();
  ASSERT_EQ(c.SetElement(h, kSetBigWindow, 0), 1u);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  const LPARAM gain = MAKELPARAM(80, 31 + 129), ratio = MAKELPARAM(260, 31 + 129);
  EntryAnswer ok{"-5.5"};
  HANDLE t = CreateThread(nullptr, 0, AnswerEntry, &ok, 0, nullptr);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON, gain);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  EXPECT_STREQ(ok.Offered, "0.00");
  EXPECT_EQ(ok.Limit, 12);
  EXPECT_EQ(Knob(0), -550);
  EntryAnswer bad{"100.05"};
  t = CreateThread(nullptr, 0, AnswerEntry, &bad, 0, nullptr);
  SendMessageA(big, WM_LBUTTONDBLCLK, MK_LBUTTON, ratio);
  WaitForSingleObject(t, 5000);
  CloseHandle(t);
  EXPECT_STREQ(bad.Offered, "1.0");
  EXPECT_STREQ(bad.BoxText, "The entered value is invalid or out of range.\r\nValid range: 1.0 ~ 100.0");
  EXPECT_EQ(Knob(3), 10);
}

DWORD WINAPI CloseBox(LPVOID) {
  for (int i = 0; i < 300; ++i) {
    if (HWND box = FindWindowA("#32770", "Cannot open big window")) {
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return 1;
    }
    Sleep(10);
  }
  return 0;
}

// Needs a display below 24 bits per pixel (Xvfb -screen 0 WxHx16).
TEST_F(Dyn, RefusesTheBigWindowBelow24BitsPerPixel) {
  if (Depth() >= 24) GTEST_SKIP() << "display has " << Depth() << " bits per pixel";
  HANDLE t = CreateThread(nullptr, 0, CloseBox, nullptr, 0, nullptr);
  c.SetElement(h, kSetBigWindow, 0);
  WaitForSingleObject(t, 5000);
  DWORD boxSeen = 0;
  GetExitCodeThread(t, &boxSeen);
  CloseHandle(t);
  EXPECT_EQ(boxSeen, 1u);
  EXPECT_EQ(BigOf(little), nullptr);
  uint32_t closed = 0;
  c.GetElement(h, kGetBigClosed, &closed);
  EXPECT_EQ(closed, 1u);
}

// HRL_SHOT names a folder for the big window's picture.
TEST_F(Dyn, BigWindowShows) {
  if (Depth() < 24) GTEST_SKIP();
  const ELEMKNOBVALUE knobs[] = {{0, 350}, {1, -1200}, {2, 80}, {3, 40}, {5, -2500}, {6, 2400}, {7, 50}, {8, -200},
                                 {10, 1}, {12, 1}};
  for (const ELEMKNOBVALUE& kv : knobs) c.SetElement(h, kSetKnob, reinterpret_cast<uintptr_t>(&kv));
  c.SetElement(h, kSetBigWindow, 0);
  HWND big = BigOf(little);
  ASSERT_NE(big, nullptr);
  SetWindowPos(big, nullptr, 150, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  dsp.Poke(placed, 3, kElemSecondBank, 0x7FFFFF);
  dsp.Poke(placed, 3, 0x20010, 1500000);
  dsp.Poke(placed, 4, 2, 0x200000);
  dsp.Poke(placed, 4, 3, 0x400000);
  c.SetElement(h, kSetRefresh, 0);
  SendMessageA(big, WM_MOUSEMOVE, 0, MAKELPARAM(151, 31 + 129));  // hovered: its value shows
  const DWORD until = GetTickCount() + 300;
  MSG msg;
  while (GetTickCount() < until) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(10);
  }
  if (std::getenv("HRL_SHOT") != nullptr) {
    hrl_test::SaveWindowShot(big, hrl_test::ShotPath("dynamics-big"));
    hrl_test::SaveWindowShot(column, hrl_test::ShotPath("dynamics-little"));
  }
  EXPECT_TRUE(IsWindowVisible(big));
}

}  // namespace
