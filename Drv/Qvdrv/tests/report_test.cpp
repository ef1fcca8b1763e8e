// A report with data through the library's own resources: the Event Detail
// dialog fills its fields from the message table and string table of
// Qvdrv.dll and dumps the data as bytes or words. With HRL_SCREENSHOT set to
// a file name the dialog is also saved as a bitmap.
#include "Drv/Qvdrv/qvdrv.h"
#include "Inc/report.h"
#include "tests/win32/shot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Seen {
  std::string id, type, text, data, title;
  bool wordsChecked = false;
};
Seen g_seen;

std::string Item(HWND dialog, int id) {
  char text[1024] = "";
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// The visible dialog of this thread: another process's dialog on the same
// desktop must not be taken for the report's.
BOOL CALLBACK FindOwnDialog(HWND wnd, LPARAM found) {
  char cls[16] = "";
  GetClassNameA(wnd, cls, sizeof cls);
  if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(wnd)) return TRUE;
  *reinterpret_cast<HWND*>(found) = wnd;
  return FALSE;
}

VOID CALLBACK ReadAndClose(HWND, UINT, UINT_PTR id, DWORD) {
  static int ticks = 0;
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindOwnDialog, reinterpret_cast<LPARAM>(&dialog));
  if (!dialog) return;
  // For a picture, give the dialog time to paint.
  if (std::getenv("HRL_SCREENSHOT") && ++ticks < 10) return;
  KillTimer(nullptr, id);
  g_seen.id = Item(dialog, IDC_EVENT_ID);
  g_seen.type = Item(dialog, IDC_EVENT_TYPE);
  g_seen.text = Item(dialog, IDC_EVENT_TEXT);
  g_seen.data = Item(dialog, IDC_EVENT_DATA);
  g_seen.wordsChecked = IsDlgButtonChecked(dialog, IDC_EVENT_WORDS) == BST_CHECKED;
  char title[256] = "";
  GetWindowTextA(dialog, title, sizeof title);
  g_seen.title = title;
  if (const char* path = std::getenv("HRL_SCREENSHOT"))
    hrl_test::SaveWindowShot(dialog, path, hrl_test::ShotFrom::kWindow);
  PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

TEST(EventDetail, ShowsTheReportAndItsDataFromTheLibrarysResources) {
  CMessageBoxReporter r;
  r.m_module = LoadLibraryA("Qvdrv.dll");
  ASSERT_NE(r.m_module, nullptr);
  LPCSTR strings[2] = {"Access is denied.", "Qvdev0"};
  const uint8_t data[13] = {'H', 'R', 'L', 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  UINT_PTR timer = SetTimer(nullptr, 0, 50, ReadAndClose);
  EXPECT_EQ(r.Report(0xC005138B, sizeof data, data, 2, strings), 1);
  KillTimer(nullptr, timer);
  EXPECT_EQ(g_seen.id, "5003");
  EXPECT_EQ(g_seen.type, "Error");
  EXPECT_EQ(g_seen.text.rfind("Unable to open local device Qvdev0,", 0), 0u) << g_seen.text;
  EXPECT_FALSE(g_seen.wordsChecked);  // 13 bytes are no whole words
  EXPECT_EQ(g_seen.data.rfind("0000: 48 52 4C 00 01 02 03 04 HRL.", 0), 0u) << g_seen.data;
}

}  // namespace
