// The progress bar of a run dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "mixer/model/win32/progressbar.h"
#include "tests/fakes/units_fake.h"

namespace {

// A run dialog stand-in: a window with progress bar 160 that records the
// commands it receives.
std::vector<WPARAM> g_commands;

LRESULT CALLBACK RunDlgProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) g_commands.push_back(wParam);
  return DefWindowProcA(wnd, msg, wParam, lParam);
}

class RunDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RunDlgProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HrlRunDlgTest";
    RegisterClassA(&wc);
    dlg_ = CreateWindowExA(0, "HrlRunDlgTest", "Run", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, dlg_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarItem)), nullptr,
                           nullptr);
    RunOpDlg = dlg_;
    g_commands.clear();
    Units().Reset();
  }
  void TearDown() override {
    RunOpDlg = nullptr;
    DestroyWindow(dlg_);
  }
  int Pos() const { return static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0)); }

  HWND dlg_, bar_;
};

TEST_F(RunDialog, RangeIsShiftedToAtMost1024Steps) {
  ProgressSetRange(dlg_, kProgressBarItem, 0, 10000000);
  PBRANGE range;
  SendMessageA(bar_, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 610);  // shift 14
  ProgressStep(5000000);
  EXPECT_EQ(Pos(), 305);

  ProgressSetRange(dlg_, kProgressBarItem, 0, 1000);
  ProgressSetRange(dlg_, kProgressBarItem, -1, -1);  // the remembered range again
  SendMessageA(bar_, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iHigh, 1000);
  ProgressStep(999);
  EXPECT_EQ(Pos(), 999);
}

TEST_F(RunDialog, AStandstillSendsCommand11OnceAndTheEndSendsOkWhenIdle) {
  ProgressSetRange(dlg_, kProgressBarItem, 0, 1000);
  for (int i = 0; i < 30; ++i) ProgressStep(500);
  EXPECT_EQ(g_commands, std::vector<WPARAM>{11});

  g_commands.clear();
  Units().natDevAllIdle = 0;
  ProgressStep(1000);
  EXPECT_TRUE(g_commands.empty());  // the engine still works
  Units().natDevAllIdle = 1;
  ProgressStep(1000);
  EXPECT_EQ(g_commands, std::vector<WPARAM>{IDOK});
  EXPECT_EQ(Pos(), 1000);
}

}  // namespace
