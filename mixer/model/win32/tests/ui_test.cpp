// Message boxes, dialogs, the window-disable counter and dialog placement,
// on real windows under the system's own box and dialog code.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "mixer/model/host.h"
#include "mixer/model/options.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/win32/appwnd.h"
#include "mixer/model/win32/dialogs.h"
#include "mixer/shell/wndtable.h"
#include "modal_closer.h"
#include "tests/fakes/units_fake.h"

namespace {

bool IsTopmost(HWND wnd) { return GetWindowLongA(wnd, GWL_EXSTYLE) & WS_EX_TOPMOST; }

// The main frame, the arrange window and the mixer (a floating window that
// stays on top) as real top-level windows in the window table.
class AppWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = Make(kMainWnd, "Main", 0);
    arrange_ = Make(kArrangeWnd, "Arrange", 0);
    mixer_ = Make(kMixWnd, "Mixer", WS_EX_TOPMOST);
    for (int32_t& on : AlwaysOnTop) on = 1;
    AutoScrollArrWnd = 0;
    AllKeyInpToMixElem = 0;
    Units().Reset();
  }
  void TearDown() override {
    EXPECT_FALSE(AppWindowsDisabled()) << "the test left the windows disabled";
    EXPECT_EQ(ModalCount(), 0);
    for (HWND& wnd : WndTable) {
      if (wnd) DestroyWindow(wnd);
      wnd = nullptr;
    }
  }
  static HWND Make(WndId id, const char* title, DWORD exStyle) {
    HWND wnd = CreateWindowExA(exStyle, "STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                               300, 200, nullptr, nullptr, nullptr, nullptr);
    WndTable[id] = wnd;
    return wnd;
  }
  bool AllEnabled() const {
    return IsWindowEnabled(main_) && IsWindowEnabled(arrange_) && IsWindowEnabled(mixer_);
  }
  bool NoneEnabled() const {
    return !IsWindowEnabled(main_) && !IsWindowEnabled(arrange_) && !IsWindowEnabled(mixer_);
  }

  HWND main_, arrange_, mixer_;
};

TEST_F(AppWindows, MessageBoxByIdShowsTheStringTaskModalOverTheProgram) {
  AutoScrollArrWnd = 1;
  bool mainEnabled = true, mixerTopmost = true;
  int32_t autoScroll = -1;
  ModalCloser closer(IDNO, [&](HWND) {
    mainEnabled = IsWindowEnabled(main_);  // task-modal: the thread's windows are off
    mixerTopmost = IsTopmost(mixer_);
    autoScroll = AutoScrollArrWnd;
  });
  int button = MessageBoxById(nullptr, IDS_AUDIO_TAKE_RW_ERROR, kMbWarnYesNo, "C:\\Takes\\Drums L.ATAK");

  ASSERT_TRUE(closer.seen().found);
  EXPECT_EQ(closer.seen().caption, "HRL Mixer");
  EXPECT_EQ(closer.seen().text, "Audio Take 'C:\\Takes\\Drums L.ATAK' read/write error!");
  EXPECT_EQ(closer.seen().modalCount, 1);
  EXPECT_FALSE(mainEnabled);
  EXPECT_FALSE(mixerTopmost);
  EXPECT_EQ(autoScroll, 0);
  EXPECT_EQ(button, IDNO);
  EXPECT_EQ(ModalCount(), 0);
  EXPECT_TRUE(IsTopmost(mixer_));
  EXPECT_EQ(AutoScrollArrWnd, 1);
  EXPECT_TRUE(AllEnabled());
}

TEST_F(AppWindows, MessageBoxTextTakesTheOwnersCaptionAndKeepsALongOperationsWindowsOff) {
  EnableAppWindows(0);
  ModalCloser closer(IDOK);
  int button = MessageBoxText(arrange_, "%d Takes", kMbWarnOk, 3);

  EXPECT_EQ(closer.seen().caption, "Arrange");
  EXPECT_EQ(closer.seen().text, "3 Takes");
  EXPECT_EQ(button, IDOK);
  // The system enabled the thread's windows when the box closed; the long
  // operation still runs, so they must be off again.
  EXPECT_TRUE(NoneEnabled());
  EnableAppWindows(1);
  EXPECT_TRUE(AllEnabled());
}

TEST_F(AppWindows, EnableAppWindowsNests) {
  EnableAppWindows(0);
  EXPECT_TRUE(NoneEnabled());
  EXPECT_FALSE(IsTopmost(mixer_));
  EnableAppWindows(0);
  EnableAppWindows(1);
  EXPECT_TRUE(NoneEnabled());
  EXPECT_FALSE(IsTopmost(mixer_));
  EnableAppWindows(1);
  EXPECT_TRUE(AllEnabled());
  EXPECT_TRUE(IsTopmost(mixer_));

  // An enable too many is not remembered against the next operation.
  EnableAppWindows(1);
  EnableAppWindows(0);
  EXPECT_TRUE(NoneEnabled());
  EnableAppWindows(1);
  EXPECT_TRUE(AllEnabled());
}

TEST_F(AppWindows, FloatingWindowsWithAlwaysOnTopOffStayWhereTheyAre) {
  AlwaysOnTop[3] = 0;  // the mixer
  SetWindowPos(mixer_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  FloatWndsZOrder(0);
  EXPECT_FALSE(IsTopmost(mixer_));
}

TEST_F(AppWindows, AboutShowsTheUnitsTextsWithTheProgramDisabled) {
  Units().about[0][0] = "Unit 1 ready";
  Units().about[0][1] = "Firmware 2.7";
  std::string items[8];
  bool mainEnabled = true;
  ModalCloser closer(IDOK, [&](HWND dlg) {
    for (int i = 0; i < 8; ++i) {
      char buf[64] = "";
      GetDlgItemTextA(dlg, 948 + i, buf, sizeof buf);
      items[i] = buf;
    }
    mainEnabled = IsWindowEnabled(main_);
  });
  INT_PTR result = DoDialog(main_, "ABOUT", AboutDlgProc);

  ASSERT_TRUE(closer.seen().found);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(closer.seen().modalCount, 1);
  EXPECT_FALSE(mainEnabled);
  const std::string expected[8] = {"Unit 1 ready", "-", "-", "-", "Firmware 2.7", "-", "-", "-"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(items[i], expected[i]) << "item " << 948 + i;
  EXPECT_TRUE(AllEnabled());
}

TEST_F(AppWindows, IsModalStateWhenKeysBelongToAnotherWindow) {
  HWND other = CreateWindowExA(0, "STATIC", "Element", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100,
                               100, nullptr, nullptr, nullptr, nullptr);
  SetActiveWindow(other);
  ASSERT_EQ(GetActiveWindow(), other);
  EXPECT_EQ(IsModalState(), 0);
  AllKeyInpToMixElem = 1;
  EXPECT_EQ(IsModalState(), 1);
  SetActiveWindow(arrange_);
  EXPECT_EQ(IsModalState(), 0);
  SetCapture(arrange_);
  EXPECT_EQ(IsModalState(), 1);
  ReleaseCapture();
  DestroyWindow(other);
}

TEST_F(AppWindows, CenterOverWindowKeepsTheWindowOnScreen) {
  const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    RECT reference;
    POINT expected;  // top-left of the 300 x 200 window
  } cases[] = {
      {{100, 100, 500, 400}, {150, 150}},                          // plain centring
      {{cx - 100, cy - 50, cx + 100, cy + 50}, {cx - 300, cy - 200}},  // past right and bottom
      {{-200, -100, 0, 0}, {0, 0}},                                // past left and top
  };
  for (const Case& c : cases) {
    MoveWindow(main_, c.reference.left, c.reference.top, c.reference.right - c.reference.left,
               c.reference.bottom - c.reference.top, FALSE);
    CenterOverWindow(main_, arrange_);
    RECT rc;
    GetWindowRect(arrange_, &rc);
    EXPECT_EQ(rc.left, c.expected.x) << c.reference.left;
    EXPECT_EQ(rc.top, c.expected.y) << c.reference.top;
    EXPECT_EQ(rc.right - rc.left, 300);
  }
}

// The resource script and the portable code read one list of strings.
TEST(StringResources, EveryStringLoadsAsTheTableHasIt) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  StrForEach([&](uint32_t id, const char* text) {
    char loaded[1024] = "";
    LoadStringA(self, id, loaded, sizeof loaded);
    EXPECT_STREQ(loaded, text) << "string " << id;
  });
}

}  // namespace
