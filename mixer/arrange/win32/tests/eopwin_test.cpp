// The module host with the real time module under Wine: Qveolp1.dll loaded
// from its module folder, its three processes listed, the main menu's
// placeholders removed, and each process run on a Part through its real
// parameter and progress dialogs.
#include <windows.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "mixer/arrange/procdrv.h"
#include "mixer/arrange/tests/edit_fixture.h"
#include "mixer/arrange/win32/eopwin.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/takeio.h"

namespace fs = std::filesystem;

namespace {

std::string ExeFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof path);
  *(std::strrchr(path, '\\') + 1) = 0;
  return path;
}

// Answers the parameter dialog: types `text` into control `field`, takes it
// as Enter would, notes what the dialog then shows, and presses OK. The
// progress dialog closes itself.
struct DialogAnswer {
  int field = 0;
  std::string text;
  std::string caption;
  std::string ratioShown;
  int state = 0;
};
DialogAnswer* g_answer = nullptr;

BOOL CALLBACK FindParamDialog(HWND wnd, LPARAM out) {
  char cls[16];
  if (IsWindowVisible(wnd) && GetClassNameA(wnd, cls, sizeof cls) && lstrcmpA(cls, "#32770") == 0 &&
      GetDlgItem(wnd, 254)) {
    *reinterpret_cast<HWND*>(out) = wnd;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerTimer(HWND, UINT, UINT_PTR, DWORD) {
  if (g_answer == nullptr) return;
  HWND dlg = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindParamDialog, reinterpret_cast<LPARAM>(&dlg));
  if (dlg == nullptr) return;
  char buf[128] = {};
  if (g_answer->state == 0) {
    GetWindowTextA(dlg, buf, sizeof buf);
    g_answer->caption = buf;
    SetFocus(GetDlgItem(dlg, g_answer->field));
    SetDlgItemTextA(dlg, g_answer->field, g_answer->text.c_str());
    g_answer->state = 1;
  } else {
    GetDlgItemTextA(dlg, 254, buf, sizeof buf);
    g_answer->ratioShown = buf;
  }
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

class EopWin : public EditFixture {
 protected:
  void SetUp() override {
    EditFixture::SetUp();
    root_ = fs::temp_directory_path() / ("eopwin_" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "src");
    fs::create_directories(root_ / "proc");
    ProcOpts() = ProcOptions();
    ProcOpts().folder = root_.string() + "\\proc\\";
    ProcOpts().delUnRefATk = 40884;
    Settings().SampleRate = 48000;
    EopSetPlatform(&EopWinPlatform());
    EopScanModules(ExeFolder() + "modules\\");
  }
  void TearDown() override {
    EopFreeModules();
    EopSetPlatform(nullptr);
    EditFixture::TearDown();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  uint32_t SinePart(uint32_t n, uint32_t rate) {
    uint32_t error = 0;
    TakeRec* t = TakeCreateAudio((root_.string() + "\\src\\").c_str(), 2, n, 0, rate, 0, 1, "Tone", "", nullptr,
                                 nullptr, &error);
    EXPECT_NE(t, nullptr) << error;
    std::vector<uint32_t> ring(n);
    std::vector<uint8_t> scratch(size_t{n} * 4);
    for (uint32_t i = 0; i < n; ++i)
      ring[i] = static_cast<uint32_t>(static_cast<int32_t>(10000 * std::sin(i * 0.05))) << 16;
    TakeWriteSamples(t, 0, static_cast<int32_t>(n), ring.data(), n, 0, scratch.data());
    PartRec p = NewPart(0, static_cast<int32_t>(n), TakeRef(t), kTakeAudio, kPartSelected);
    return Add(0, p);
  }
  int RunWithAnswer(int slot, DialogAnswer& answer) {
    g_answer = &answer;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, AnswerTimer);
    const int r = EopRunToolAt(nullptr, 0, 0, static_cast<uint32_t>(slot), -3);
    KillTimer(nullptr, timer);
    g_answer = nullptr;
    return r;
  }
  fs::path root_;
};

TEST_F(EopWin, LoadsTheTimeModuleAndListsItsProcesses) {
  ASSERT_EQ(EopModuleCount(), 1);
  EXPECT_EQ(EopModule(0)->Info.Version, 102u);
  EXPECT_STREQ(EopModule(0)->Info.Name, "Time Module (Exvora)");
  ASSERT_EQ(EopPlugInCount(), 3);
  const char* names[] = {"Time Stretch", "Samplerate Convert", "Pitch Shift"};
  for (int s = 0; s < 3; ++s) {
    EOPPLUGININFO info{};
    ASSERT_EQ(EopGetPlugInInfo(s, &info), 1);
    EXPECT_STREQ(info.Name, names[s]);
    EXPECT_EQ(info.Kind, kEopKindTool);
    EXPECT_EQ(info.ProcessId, 200u + s);
  }

  // No main-menu process: the placeholders go and item 12 of the first
  // pop-up is greyed.
  HMENU bar = CreateMenu();
  HMENU first = CreatePopupMenu();
  for (UINT i = 0; i < 14; ++i) AppendMenuA(first, MF_STRING, 100 + i, "item");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(first), "File");
  HMENU tools = CreatePopupMenu();
  for (UINT id = 41320; id <= 41335; ++id) AppendMenuA(tools, MF_STRING, id, "placeholder");
  AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(tools), "Tools");
  HWND wnd = CreateWindowA("STATIC", "main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, bar, nullptr, nullptr);
  ASSERT_NE(wnd, nullptr);
  EopFillMainMenu(wnd);
  EXPECT_EQ(GetMenuItemCount(tools), 0);
  EXPECT_NE(GetMenuState(first, 12, MF_BYPOSITION) & MF_GRAYED, 0u);
  EXPECT_EQ(GetMenuState(first, 11, MF_BYPOSITION) & MF_GRAYED, 0u);
  DestroyWindow(wnd);

  // The context menu's sub-menu lists kind-0 processes only: none here.
  HMENU ctx = CreatePopupMenu();
  EopAddSubMenu(ctx, 5000);
  ASSERT_EQ(GetMenuItemCount(ctx), 1);
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(ctx, 0)), 0);
  DestroyMenu(ctx);

  // The Part context menu: the module sub-menu goes into the last pop-up
  // ("Process"), after its own entries, under its name.
  HMENU part = CreatePopupMenu();
  AppendMenuA(part, MF_STRING, 41522, "In&fo");
  HMENU process = CreatePopupMenu();
  AppendMenuA(process, MF_STRING, 41530, "&Normalize");
  AppendMenuA(part, MF_POPUP, reinterpret_cast<UINT_PTR>(process), "Pr&ocess");
  EopAttachPartMenu(part);
  ASSERT_EQ(GetMenuItemCount(process), 2);
  ASSERT_NE(GetSubMenu(process, 1), nullptr);
  char text[64] = {};
  GetMenuStringA(process, 1, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "External Off-Line (Exvora)");
  // Command ids back to what the dispatcher takes: operations as they are,
  // module entries as their slots (0 included), nothing as -1.
  struct {
    UINT cmd;
    int32_t want;
  } commands[] = {{0, -1}, {1, 0}, {3, 2}, {4, -1}, {41530, 41530}};
  for (const auto& c : commands) EXPECT_EQ(EopPartMenuCommand(c.cmd), c.want) << c.cmd;
  // Tracking ends without a choice when the menu is dismissed.
  HWND child = CreateWindowA("STATIC", "arr", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  const UINT_PTR dismiss = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) CALLBACK { EndMenu(); });
  EXPECT_EQ(EopTrackPartMenu(child, part, 10, 10), -1);
  KillTimer(nullptr, dismiss);
  DestroyWindow(child);
  DestroyMenu(part);
}

TEST_F(EopWin, RunsEachProcessThroughItsDialogs) {
  struct Case {
    int slot;
    uint32_t length;
    int field;
    const char* text;
    const char* caption;
    const char* ratio;
    int32_t partLength;
    uint32_t takeLength;
    uint32_t takeRate;
  } cases[] = {
      {0, 20000, 254, "200", "Time Stretch", "150.00", 30000, 30001, 44100},
      {1, 44100, 262, "48000", "Samplerate Convert", "108.84", 48000, 48001, 48000},
      {2, 20000, 265, "+12.00", "Pitch Shift", "150.00", 20000, 20001, 44100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    Reset();
    const uint32_t slot = SinePart(c.length, 44100);
    DialogAnswer answer;
    answer.field = c.field;
    answer.text = c.text;
    ASSERT_EQ(RunWithAnswer(c.slot, answer), 1);
    EXPECT_EQ(answer.caption, c.caption);
    EXPECT_EQ(answer.ratioShown, c.ratio);
    const PartRec& p = P(slot);
    EXPECT_EQ(p.Length, c.partLength);
    TakeRec* t = TakeFromRef(p.Take);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(TakeGetAttr(t, kTakeAttrLength), c.takeLength);
    EXPECT_EQ(TakeGetAttr(t, kTakeAttrSampleRate), c.takeRate);
    EXPECT_EQ(TakeGetAttr(t, kTakeAttrCreatorValue), 1400u + 100u * c.slot);
  }
}

TEST_F(EopWin, CancelChangesNothing) {
  const uint32_t slot = SinePart(5000, 48000);
  const PartRec before = P(slot);
  const uint32_t levels = UndoGetLevel();
  g_answer = nullptr;
  // Cancel through a closer that presses Cancel on the first dialog.
  struct Cancel {
    static void CALLBACK Timer(HWND, UINT, UINT_PTR, DWORD) {
      HWND dlg = nullptr;
      EnumThreadWindows(GetCurrentThreadId(), FindParamDialog, reinterpret_cast<LPARAM>(&dlg));
      if (dlg) PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
  };
  const UINT_PTR timer = SetTimer(nullptr, 0, 30, Cancel::Timer);
  EXPECT_EQ(EopRunToolAt(nullptr, 0, 0, 0, -3), 0);
  KillTimer(nullptr, timer);
  EXPECT_EQ(P(slot).Take, before.Take);
  EXPECT_EQ(P(slot).Length, before.Length);
  EXPECT_EQ(UndoGetLevel(), levels);
}

}  // namespace
