// The track column on real windows: presses select, arm and disarm record
// tracks; the header menu's commands assign, stack and delete; a drag of the
// selected assignments drops them rows away in one undo step, scrolling the
// column while the pointer is held beyond it; a picture of the column with
// record tracks and loop stacks.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/rectrk.h"
#include "mixer/arrange/win32/arrcol.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/recready.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/undo.h"
#include "mixer/shell/win32/settings.h"
#include "mixer/shell/win32/shell.h"
#include "mixer/arrange/win32/tests/arrwnd_fixture.h"
#include "tests/win32/shot.h"

namespace {

constexpr int kW = 600, kH = 300;

// Shift and Ctrl as the column reads them (the thread's key state).
void HoldKeys(bool shift, bool ctrl) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  keys[VK_CONTROL] = ctrl ? 0x80 : 0;
  SetKeyboardState(keys);
}

class ArrColTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  HWND owner = nullptr;
  HWND col = nullptr;

  static void SetUpTestSuite() { arrwnd_test::RegisterArrangeClasses(); }

  void SetUp() override {
    dir = arrwnd_test::NewTestFolder("arrcol");
    std::snprintf(Folders[kFolderWvForm], sizeof Folders[kFolderWvForm], "%s\\", dir.string().c_str());
    UndoSuspend(0);
    UndoLevels = 100;
    UndoDiscard(0);
    arrwnd_test::OpenArrangement();
    FastRedraw = 0;
    RecTrkState() = RecTrkStateTable{};
    HoldKeys(false, false);
    arrwnd_test::ResetView(13, 1, kW, kH);
    ArrView().Color[0] = 0xFFFFFF;
    // A stereo record track A1-A2 stacked three deep on tracks 0-5,
    // Automation C4 on 7, Midi M2 on 9 and a mono A9 on 10.
    ASSERT_EQ(ArrTrkAssignGroup(CurArr, 0, kTakeAudio, 1, 2), 0u);
    ASSERT_EQ(ArrTrkSetLoopStack(CurArr, 0, 3), 0u);
    ASSERT_EQ(ArrTrkAssignGroup(CurArr, 7, kTakeAutom, 4, 1), 0u);
    ASSERT_EQ(ArrTrkAssignGroup(CurArr, 9, kTakeMidi, 2, 1), 0u);
    ASSERT_EQ(ArrTrkAssignGroup(CurArr, 10, kTakeAudio, 9, 1), 0u);
    for (int32_t n : {1, 2, 9, 10}) RecTrkSetState(kRecKindAudio, n, kRecTrkSafe);
    RecTrkSetState(kRecKindAutom, 4, kRecTrkReady);
    ASSERT_NE(arrwnd_test::OpenArrangeFrame(&owner, kW, kH), nullptr);
    col = ArrColumnWnd();
    ASSERT_NE(col, nullptr);
  }

  void TearDown() override {
    HoldKeys(false, false);
    SendMessageA(col, WM_CANCELMODE, 0, 0);
    if (owner) DestroyWindow(owner);
    UndoDiscard(0);
    RecTrkState() = RecTrkStateTable{};
    arrwnd_test::CloseArrangement();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  int RowY(int track, int into = 4) const { return ArrRowTop(ArrView(), track - ArrView().FirstTrack) + into; }

  void Click(int x, int y, UINT down = WM_LBUTTONDOWN, UINT up = WM_LBUTTONUP) {
    SendMessageA(col, down, 0, MAKELPARAM(x, y));
    SendMessageA(col, up, 0, MAKELPARAM(x, y));
  }

  std::string Selected() const {
    std::string s;
    for (uint32_t t = 0; t < 12; ++t) s += (CurArr->Trk[t].Flags & kTrkSelected) ? '*' : '.';
    return s;
  }
};

TEST_F(ArrColTest, PressesSelectByRecordTrackAndArmByTheButton) {
  // The name strip: a press selects every group carrying the record track
  // (the whole stack), Ctrl toggles, Shift selects the range between.
  Click(5, RowY(3));
  EXPECT_EQ(Selected(), "******......");
  HoldKeys(false, true);
  Click(5, RowY(0));
  EXPECT_EQ(Selected(), "............");
  Click(5, RowY(7));
  EXPECT_EQ(Selected(), ".......*....");
  HoldKeys(true, false);
  Click(5, RowY(10));
  EXPECT_EQ(Selected(), ".......*.**.");
  HoldKeys(false, false);
  Click(5, RowY(8));  // a track without a record track clears the selection
  EXPECT_EQ(Selected(), "............");
  // The record button: left toggles the track, right arms every present
  // track of the kind, and disarms them all when the clicked one is armed.
  Click(34, RowY(10));
  EXPECT_EQ(RecTrkGetState(kRecKindAudio, 9), kRecTrkReady);
  EXPECT_EQ(RecTrkGetState(kRecKindAudio, 1), kRecTrkSafe);
  Click(34, RowY(0), WM_RBUTTONDOWN, WM_RBUTTONUP);
  EXPECT_EQ(RecTrkGetState(kRecKindAudio, 1), kRecTrkReady);
  EXPECT_EQ(RecTrkGetState(kRecKindAudio, 10), kRecTrkReady);
  EXPECT_EQ(RecTrkGetState(kRecKindAudio, 3), kRecTrkAbsent);
  Click(34, RowY(10), WM_RBUTTONDOWN, WM_RBUTTONUP);
  for (int32_t n : {1, 2, 9, 10}) EXPECT_EQ(RecTrkGetState(kRecKindAudio, n), kRecTrkSafe) << n;
  EXPECT_EQ(RecTrkGetState(kRecKindAutom, 4), kRecTrkReady);  // another kind stays
  EXPECT_EQ(Selected(), "............");
}

TEST_F(ArrColTest, MenuCommandsAssignStackAndDeleteInOneUndoStepEach) {
  HMENU menu = ArrTrkBuildMenu(2);
  ASSERT_NE(menu, nullptr);
  // Create, Reassign, Record Loop Stack (three deep checked), Delete.
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  char text[64] = "";
  GetMenuStringA(menu, 2, text, sizeof text, MF_BYPOSITION);
  EXPECT_STREQ(text, "Record Loop Stack");
  HMENU stack = GetSubMenu(menu, 2);
  EXPECT_EQ(GetMenuItemCount(stack), 9);
  EXPECT_TRUE(GetMenuState(stack, kArrTrkCmdStack + 3, MF_BYCOMMAND) & MF_CHECKED);
  EXPECT_FALSE(GetMenuState(stack, kArrTrkCmdStack + 1, MF_BYCOMMAND) & MF_CHECKED);
  HMENU reassign = GetSubMenu(menu, 1);
  EXPECT_EQ(GetMenuItemCount(reassign), 64);  // stereo pairs 1-2 .. 127-128
  EXPECT_TRUE(GetMenuState(reassign, kArrTrkCmdReassign + 1, MF_BYCOMMAND) & MF_CHECKED);
  DestroyMenu(menu);
  menu = ArrTrkBuildMenu(8);
  EXPECT_EQ(GetMenuItemCount(menu), 1);  // a track without a record track: Create only
  DestroyMenu(menu);

  const uint32_t level = UndoGetLevel();
  ArrTrkMenuCommand(4, kArrTrkCmdStack + 2);  // from the lowest copy: the stack shrinks
  EXPECT_EQ(ArrTrkLoopStackDepth(CurArr, 0), 2u);
  EXPECT_EQ(CurArr->Trk[4].RecTrack, 0u);
  EXPECT_EQ(UndoGetLevel(), level + 1);
  ArrTrkMenuCommand(8, kArrTrkCmdAudio + 200 * 0 + 30);  // mono A30 on track 8
  EXPECT_EQ(CurArr->Trk[8].RecTrack, 30u);
  ArrTrkMenuCommand(10, kArrTrkCmdReassign + 31);
  EXPECT_EQ(CurArr->Trk[10].RecTrack, 31u);
  ArrTrkMenuCommand(7, kArrTrkCmdAutom + kArrTrkCmdAll);  // C1.. on 7 and every track below
  EXPECT_EQ(CurArr->Trk[7].RecTrack, 1u);
  EXPECT_EQ(CurArr->Trk[134].RecKind, uint32_t{kTakeAutom});
  EXPECT_EQ(CurArr->Trk[134].RecTrack, 128u);
  EXPECT_EQ(UndoGetLevel(), level + 4);
  // Delete takes the selected groups away; undo brings them back.
  Click(5, RowY(0));
  ArrTrkMenuCommand(0, kArrTrkCmdDelete);
  EXPECT_EQ(CurArr->Trk[0].RecTrack, 0u);
  EXPECT_EQ(CurArr->Trk[3].RecTrack, 0u);
  ASSERT_EQ(UndoApply(0), 1);
  EXPECT_EQ(CurArr->Trk[3].RecTrack, 2u);
  EXPECT_EQ(CurArr->Trk[3].Flags & kTrkLinkPrev, uint32_t{kTrkLinkPrev});
}

TEST_F(ArrColTest, DragDropsTheSelectionRowsAwayInOneUndoStep) {
  const int pitch = ArrView().Vzoom + kArrRowGap;
  Click(5, RowY(9));  // selects M2
  const uint32_t level = UndoGetLevel();
  SendMessageA(col, WM_LBUTTONDOWN, 0, MAKELPARAM(5, RowY(10)));  // adds A9, starts the drag
  EXPECT_EQ(ArrTrkDragGet().Running, 1);
  EXPECT_EQ(ArrTrkDragGet().Count, 2u);
  SendMessageA(col, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, RowY(10) + pitch / 2 - 1));
  EXPECT_EQ(ArrTrkDragGet().Offset, 0);
  SendMessageA(col, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, RowY(10) + 3 * pitch));
  EXPECT_EQ(ArrTrkDragGet().Offset, 3);
  SendMessageA(col, WM_LBUTTONUP, 0, MAKELPARAM(5, RowY(10) + 3 * pitch));
  EXPECT_EQ(ArrTrkDragGet().Running, 0);
  EXPECT_EQ(CurArr->Trk[9].RecTrack, 0u);
  EXPECT_EQ(CurArr->Trk[12].RecTrack, 2u);
  EXPECT_EQ(CurArr->Trk[12].RecKind, uint32_t{kTakeMidi});
  EXPECT_EQ(CurArr->Trk[13].RecTrack, 9u);
  EXPECT_EQ(UndoGetLevel(), level + 1);
  // A release outside the column drops nothing.
  SendMessageA(col, WM_LBUTTONDOWN, 0, MAKELPARAM(5, RowY(12)));
  SendMessageA(col, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, RowY(12) + pitch));
  SendMessageA(col, WM_LBUTTONUP, 0, MAKELPARAM(kArrColumnWidth + 30, RowY(12) + pitch));
  EXPECT_EQ(CurArr->Trk[12].RecTrack, 2u);
  EXPECT_EQ(UndoGetLevel(), level + 1);
}

TEST_F(ArrColTest, ADragHeldBelowTheColumnScrollsIt) {
  ArrViewRec& v = ArrView();
  const int32_t rows = v.VisibleRows;
  ASSERT_GT(rows, 4);
  RECT c;
  GetClientRect(col, &c);
  SendMessageA(col, WM_LBUTTONDOWN, 0, MAKELPARAM(5, RowY(7)));
  SendMessageA(col, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, c.bottom + 5));
  SendMessageA(col, kArrMsgAutoScroll, 0, 0);
  EXPECT_EQ(v.FirstTrack, rows / 4);
  SendMessageA(col, kArrMsgAutoScroll, 0, 0);
  EXPECT_EQ(v.FirstTrack, 2 * (rows / 4));
  // Back inside, at the row where the drag began: the drop lands as many
  // tracks lower as the column scrolled.
  const int y = ArrRowTop(v, 7) + 4;
  SendMessageA(col, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, y));
  SendMessageA(col, WM_LBUTTONUP, 0, MAKELPARAM(5, y));
  const uint32_t to = 7 + 2 * static_cast<uint32_t>(rows / 4);
  EXPECT_EQ(CurArr->Trk[7].RecTrack, 0u);
  EXPECT_EQ(CurArr->Trk[to].RecTrack, 4u);
  EXPECT_EQ(CurArr->Trk[to].RecKind, uint32_t{kTakeAutom});
  // Without a drag a tick does nothing.
  SendMessageA(col, kArrMsgAutoScroll, 0, 0);
  EXPECT_EQ(v.FirstTrack, 2 * (rows / 4));
}

TEST_F(ArrColTest, PictureOfTheColumnWithStacks) {
  Click(5, RowY(7));
  RecTrkSetState(kRecKindAudio, 9, kRecTrkReady);
  ArrZoomV(17, 0, 0);
  // Labels in the kinds' colours: the selected Automation track is grey.
  arrwnd_test::Bitmap bitmap(kArrColumnWidth, kH);
  HDC dc = bitmap.dc;
  ArrPaintColumn(dc, kArrColumnWidth, kH);
  EXPECT_EQ(GetPixel(dc, 2, RowY(7, 2)), 0x808080u);
  EXPECT_EQ(GetPixel(dc, 2, RowY(4, 2)), TrkColors[0]);  // the third copy of A1
  EXPECT_EQ(GetPixel(dc, 2, RowY(5, 2)), TrkColors[1]);
  // The link bracket joins the two channels of a copy, not two copies.
  const ArrViewRec& v = ArrView();
  EXPECT_EQ(GetPixel(dc, 42, ArrRowTop(v, 1)), GetSysColor(COLOR_BTNTEXT));
  EXPECT_EQ(GetPixel(dc, 41, ArrRowTop(v, 1) + v.Vzoom / 2), GetSysColor(COLOR_BTNTEXT));
  EXPECT_NE(GetPixel(dc, 42, ArrRowTop(v, 2) - 1), GetSysColor(COLOR_BTNTEXT));
  EXPECT_NE(GetPixel(dc, 42, ArrRowTop(v, 10)), GetSysColor(COLOR_BTNTEXT));  // mono A9
  const std::string path = hrl_test::ShotPath("arrange_column");
  if (path.empty()) GTEST_SKIP() << "HRL_SHOT is not set";
  EXPECT_TRUE(hrl_test::SaveWindowShot(ArrFrameWnd(), path, hrl_test::ShotFrom::kWindow));
}

}  // namespace
