// The library base under Wine: failures as HRESULTs, the registry key's type
// rules and trees, split string lists sent to a real list box, the stop
// wait's steps, and the exception report's reading of an assertion.
#include "Inc/base.h"
#include "Inc/regkey.h"
#include "Inc/report.h"
#include "Inc/scm.h"
#include "Inc/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Base, HResultFromLastError) {
  SetLastError(0);
  EXPECT_EQ(static_cast<DWORD>(HResultFromLastError()), 0x80070000u);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(HResultFromLastError()), 0x80070005u);
  SetLastError(0x8004000Eu);
  EXPECT_EQ(static_cast<DWORD>(HResultFromLastError()), 0x8004000Eu);
}

TEST(Base, MemoryIsZeroFilledAndGrowsZeroFilled) {
  auto* p = static_cast<unsigned char*>(MemAlloc(16));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);
  p[0] = 7;
  p = static_cast<unsigned char*>(MemRealloc(64, p));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[0], 7);
  for (int i = 16; i < 64; ++i) EXPECT_EQ(p[i], 0);
  MemFree(p);
  MemFree(nullptr);
  volatile LONG v = 5;
  EXPECT_EQ(AtomicAdd(&v, 3), 8);
  EXPECT_EQ(AtomicCompareExchange(&v, 1, 8), 8);
  EXPECT_EQ(v, 1);
}

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, "Software\\HrlBaseTest")); }
  void TearDown() override {
    key.Close();
    CRegKey root;
    ASSERT_TRUE(root.Open(HKEY_CURRENT_USER, "Software", KEY_ALL_ACCESS));
    root.DeleteTree("HrlBaseTest");
  }
  CRegKey key;
};

TEST_F(Registry, DwordsAreOnlyFourByteDwords) {
  DWORD v = 0;
  ASSERT_TRUE(key.SetDword("Rate", 48000));
  EXPECT_TRUE(key.QueryDword("Rate", &v));
  EXPECT_EQ(v, 48000u);
  const BYTE four[4] = {1, 2, 3, 4};
  ASSERT_TRUE(key.SetBinary("Blob", four, 4));
  EXPECT_FALSE(key.QueryDword("Blob", &v));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATATYPE));
  EXPECT_FALSE(key.QueryDword("Missing", &v));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  char text[32];
  DWORD size = sizeof text;
  EXPECT_FALSE(key.QueryString("Rate", text, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATATYPE));
}

TEST_F(Registry, MultiStringsAppendAndTreesGoDepthFirst) {
  ASSERT_TRUE(AppendMultiString(&key, "Plugins", "A.dll"));
  ASSERT_TRUE(AppendMultiString(&key, "Plugins", "B.dll"));
  char block[64] = {};
  DWORD type = 0, size = sizeof block;
  ASSERT_TRUE(key.QueryValue("Plugins", &type, block, &size));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(std::string(block, size), std::string("A.dll\0B.dll\0\0", 13));
  ASSERT_TRUE(key.SetString("Plain", "x"));
  EXPECT_FALSE(AppendMultiString(&key, "Plain", "y"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATATYPE));

  CRegKey deep;
  ASSERT_TRUE(deep.Create(key.m_key, "One\\Two\\Three"));
  deep.Close();
  EXPECT_TRUE(key.DeleteTree("One"));
  EXPECT_FALSE(deep.Open(key.m_key, "One"));
}

class ListHost : public CWindow {};

TEST(Window, AddStringsSplitsAtTheLastCharacter) {
  HWND list = CreateWindowExA(0, "LISTBOX", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(list, nullptr);
  ListHost host;
  host.m_hwnd = list;
  EXPECT_TRUE(host.AddStrings("Red,Green,Blue,", LB_ADDSTRING));
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  char item[16];
  SendMessageA(list, LB_GETTEXT, 2, reinterpret_cast<LPARAM>(item));
  EXPECT_STREQ(item, "Blue");
  EXPECT_TRUE(host.AddStrings("x", LB_ADDSTRING));  // one character: nothing sent
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 3);
  host.m_hwnd = nullptr;
  DestroyWindow(list);
}

TEST(Scm, StopWaitsInHalfSecondStepsUpToTheLimit) {
  std::vector<DWORD> steps;
  for (DWORD waited = 0, step; (step = ScmStopStep(waited, 1200)) != 0; waited += step) steps.push_back(step);
  EXPECT_EQ(steps, (std::vector<DWORD>{500, 500, 200}));
  EXPECT_EQ(ScmStopStep(100000, INFINITE), 500u);
}

// The report an assertion makes, as a recording reporter sees it.
class RecordingReporter : public CReporter {
 public:
  int WINAPI Report(DWORD messageId, DWORD, const void*, DWORD nStrings, LPCSTR* strings) override {
    id = messageId;
    for (DWORD i = 0; i < nStrings; ++i) texts.emplace_back(strings[i]);
    return -1;
  }
  DWORD id = 0;
  std::vector<std::string> texts;
};

TEST(Reports, AnAssertionReportsItsExpressionFileAndLine) {
  ULONG_PTR parameters[3] = {reinterpret_cast<ULONG_PTR>("pWnd"), reinterpret_cast<ULONG_PTR>("P:\\Inc\\CWindow"), 42};
  EXCEPTION_RECORD record{};
  record.ExceptionCode = ERROR_INVALID_PARAMETER;
  record.NumberParameters = 3;
  record.ExceptionAddress = reinterpret_cast<void*>(&HResultFromLastError);
  for (int i = 0; i < 3; ++i) record.ExceptionInformation[i] = parameters[i];
  EXCEPTION_POINTERS pointers{&record, nullptr};
  RecordingReporter r;
  EXPECT_EQ(ExceptionReport(&r, ERROR_INVALID_PARAMETER, &pointers, "CJobQueue::Worker"), -1);
  EXPECT_EQ(r.id, 0xC000FFFFu);
  ASSERT_EQ(r.texts.size(), 5u);
  EXPECT_EQ(r.texts[1], "CJobQueue::Worker");
  EXPECT_EQ(r.texts[2], "pWnd");
  EXPECT_EQ(r.texts[4], "42");
  // A failed call raised with no message id reports the call-failed text.
  ULONG_PTR failure[8] = {0, 0, 0, 0x80004005, ERROR_ACCESS_DENIED, reinterpret_cast<ULONG_PTR>("OpenKey"),
                          reinterpret_cast<ULONG_PTR>("P:\\Inc\\Base"), 77};
  record.ExceptionCode = 0x8000FFFF;
  record.NumberParameters = 8;
  for (int i = 0; i < 8; ++i) record.ExceptionInformation[i] = failure[i];
  RecordingReporter failed;
  ExceptionReport(&failed, 0x8000FFFF, &pointers, "ctx");
  EXPECT_EQ(failed.id, 0xC000FFFBu);
  EXPECT_EQ(failed.texts, (std::vector<std::string>{failed.texts[0], "0x80004005", "5", "OpenKey", "ctx",
                                                     "P:\\Inc\\Base", "77"}));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // The place names the module's section and file.
  EXPECT_NE(failed.texts[0].find("base_win_test.exe"), std::string::npos) << failed.texts[0];
  EXPECT_EQ(failed.texts[0].substr(0, 3), "01:") << failed.texts[0];
  // Thrown objects and breakpoints are not reported.
  RecordingReporter none;
  EXPECT_EQ(ExceptionReport(&none, 0xE06D7363, &pointers, "x"), 0);
  EXPECT_EQ(ExceptionReport(&none, 0x80000003, &pointers, "x"), 0);
  EXPECT_EQ(none.id, 0u);
}

}  // namespace

namespace {

// Closes the next message box and answers it with a given button.
struct BoxAnswer {
  int button;
  std::string title;
};
BoxAnswer g_answer;
VOID CALLBACK CloseBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = FindWindowA("#32770", nullptr);
  if (!box) return;
  char title[256];
  GetWindowTextA(box, title, sizeof title);
  g_answer.title = title;
  PostMessageA(box, WM_COMMAND, g_answer.button, 0);
  KillTimer(nullptr, id);
}

TEST(Reports, MessageBoxAnswersMapToContinueOrNot) {
  CMessageBoxReporter r;
  r.m_caption = "Base test";
  LPCSTR strings[1] = {"x"};
  const struct {
    DWORD id;
    int button;
    int result;
  } cases[] = {
      {0xC000FFFF, IDYES, -1},  // an assertion asks whether to continue
      {0xC000FFFF, IDNO, 0},
      {0x80000001, IDOK, 1},
  };
  for (const auto& c : cases) {
    g_answer = {c.button, ""};
    UINT_PTR timer = SetTimer(nullptr, 0, 50, CloseBox);
    EXPECT_EQ(r.Report(c.id, 0, nullptr, 1, strings), c.result) << std::hex << c.id;
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_answer.title, "Base test");
  }
}

}  // namespace
