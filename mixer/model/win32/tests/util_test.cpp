// The system's own MulDiv against the portable copy, heap growth, the
// progress bar of a run dialog, and date texts.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cstring>
#include <vector>

#include "mixer/model/numbers.h"
#include "mixer/model/win32/datetime.h"
#include "mixer/model/win32/progressbar.h"
#include "mixer/model/win32/sysutil.h"
#include "mixer/model/win32/winstr.h"
#include "tests/fakes/units_fake.h"

namespace {

TEST(MulDiv, PortableCopyAgreesWithTheSystem) {
  struct Case {
    int32_t a, b, c;
  } cases[] = {
      {5, 1, 2},          {-5, 1, 2},        {5, -1, 2},      {-5, -1, 2},     {5, 1, -2},
      {3, 1, 2},          {-3, 1, 2},        {7, 1, -2},      {1, 1, 3},       {2, 1, 3},
      {-2, 1, 3},         {100, 3, 7},       {-100, 3, 7},    {0, 5, 3},       {-1, 1, 1},
      {INT_MAX, 2, 2},    {INT_MAX, 2, 1},   {INT_MAX, 1, -1}, {-INT_MAX, 1, 1}, {INT_MIN, 1, 1},
      {INT_MIN, 1, -1},   {INT_MIN, -1, 1},  {INT_MIN, 1, 2},  {INT_MIN, 2, 4}, {1, 1, 0},
      {0, 0, 0},          {INT_MAX, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, 1},
      {65536, 65536, 2},  {46341, 46341, 1}, {1 << 30, 4, 2},
  };
  // Left out: INT_MIN as divisor together with INT_MIN as multiplicand,
  // where the system under test negates INT_MIN with wrap-around and
  // returns -2147483647 for an exact result (INT_MIN) that is out of range;
  // the portable copy gives -1 there as for every other overflow.
  for (const Case& c : cases)
    EXPECT_EQ(MulDivNearest(c.a, c.b, c.c), MulDiv(c.a, c.b, c.c)) << c.a << " * " << c.b << " / " << c.c;
}

TEST(HeapGrow, GrowsInStepsAndKeepsTheContents) {
  HANDLE heap = GetProcessHeap();
  auto* block = static_cast<char*>(HeapGrow(heap, 0, nullptr, 1, kHeapGrowStep));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), kHeapGrowStep);
  std::memcpy(block, "take", 5);
  block = static_cast<char*>(HeapGrow(heap, 0, block, kHeapGrowStep + 1, kHeapGrowStep));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(heap, 0, block), 2 * kHeapGrowStep);
  EXPECT_STREQ(block, "take");
  // A size whose rounding leaves 32 bits is refused; the block stays.
  EXPECT_EQ(HeapGrow(heap, 0, block, 0xFFFFFFFFu, kHeapGrowStep), nullptr);
  EXPECT_STREQ(block, "take");
  HeapFree(heap, 0, block);
}

TEST(StrFindChar, GivesTheOneBasedPosition) {
  EXPECT_EQ(StrFindChar("Drums L.wav", '.'), 8);
  EXPECT_EQ(StrFindChar("Drums", 'D'), 1);
  EXPECT_EQ(StrFindChar("Drums", 'x'), 0);
  EXPECT_EQ(StrFindChar("", 'x'), 0);
}

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

FILETIME MakeFileTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME st = {year, month, 0, day, hour, minute, second, 0};
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return ft;
}

TEST(FileTimeText, ShowsTheUtcTimeInTheUsersFormat) {
  const FILETIME ft = MakeFileTime(2024, 3, 7, 21, 5, 7);
  char text[64];
  UserIntlTime = IntlTime{};
  lstrcpyA(UserIntlTime.s1159, "AM");
  lstrcpyA(UserIntlTime.s2359, "PM");
  EXPECT_EQ(FileTimeText(ft, text, sizeof text), 23);
  EXPECT_STREQ(text, "Mar 7, 2024, 9:05:07 PM");
  UserIntlTime.iTime = 1;
  UserIntlTime.s2359[0] = '\0';
  FileTimeTimeText(ft, text, sizeof text);
  EXPECT_STREQ(text, "21:05:07");
  FileTimeDateText(ft, text, sizeof text);
  EXPECT_STREQ(text, "Mar 7, 2024");

  char small[8];
  FileTimeText(ft, small, sizeof small);
  EXPECT_STREQ(small, "Mar 7, ");
}

TEST(LocalTimeStamp, IsSixDigitsADashAndSixDigits) {
  char text[32];
  ASSERT_EQ(LocalTimeStamp(text, sizeof text), 13);
  for (int i = 0; i < 13; ++i) EXPECT_TRUE(i == 6 ? text[i] == '-' : text[i] >= '0' && text[i] <= '9') << text;
}

}  // namespace
