// The undo store on the real arrangement and marker list: steps, sharing of
// unchanged copies, the full array, the Edit menu, change counters, suspend
// and the heap failure paths.
#include <cstdio>
#include <filesystem>

#include "mixer/model/ini.h"
#include "mixer/model/util/strtab.h"
#include "undo_fixture.h"

namespace {

using Item = std::pair<std::string, int>;

TEST_F(UndoTest, UndoAndRedoPutBothListsBackAndWriteTheMenu) {
  UndoImage empty = LiveImage();
  ASSERT_EQ(UndoRecord(IDS_UNDO_INFO_CHANGE), 1);
  AddPart(3, 1000);
  AddMarker(2, 500);
  UndoImage edited = LiveImage();
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Undo Info Change\tCtrl+Z", 1));
  EXPECT_EQ(MenuItem(kMenuEditRedo), Item("Can't Redo", 0));

  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), empty);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Can't Undo", 0));
  EXPECT_EQ(MenuItem(kMenuEditRedo), Item("Redo Info Change\tCtrl+Y", 1));
  EXPECT_EQ(Services().Count("MainCursorWait()"), 1);
  EXPECT_EQ(Services().Count("MainCursorRestore()"), 1);

  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(LiveImage(), edited);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Undo Info Change\tCtrl+Z", 1));
  EXPECT_EQ(MenuItem(kMenuEditRedo), Item("Can't Redo", 0));
  EXPECT_EQ(RedoApply(), 0);
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(UndoTest, NothingToUndoOrRedoChangesNothing) {
  UndoImage before = LiveImage();
  EXPECT_EQ(UndoApply(1), 0);
  EXPECT_EQ(RedoApply(), 0);
  EXPECT_EQ(LiveImage(), before);
  EXPECT_EQ(Services().Count("MainCursor"), 0);
}

TEST_F(UndoTest, ThreeLevelsUndoTheTwoNewestOfFiveSteps) {
  Restart(3);
  std::vector<UndoImage> before;  // the lists before step i
  for (uint32_t i = 0; i < 5; ++i) {
    before.push_back(LiveImage());
    ASSERT_EQ(UndoRecord(IDS_UNDO_INFO_CHANGE + i % 2), 1);
    AddPart(i, 100 * i);
  }
  UndoImage after = LiveImage();
  EXPECT_EQ(UndoGetLevel(), 3u);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), before[4]);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), before[3]);
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Can't Undo", 0));
  EXPECT_EQ(UndoApply(1), 0);

  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(LiveImage(), before[4]);
  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(LiveImage(), after);
  EXPECT_EQ(UndoHasRedo(), 0);
}

// The Take file journal keeps one level fewer than the step array (the
// array also holds the present state), so the oldest step can have no
// journal level to go forward through. Redo then still redoes the step.
TEST_F(UndoTest, RedoOfAStepOlderThanTheJournalSucceeds) {
  Restart(3);
  std::vector<UndoImage> before;
  for (uint32_t i = 0; i < 3; ++i) {
    before.push_back(LiveImage());
    ASSERT_EQ(UndoRecord(IDS_UNDO_INFO_CHANGE), 1);
    AddPart(i, 100 * i);
  }
  ASSERT_EQ(UndoApply(0), 1);
  ASSERT_EQ(UndoApply(1), 1);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), before[0]);
  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(LiveImage(), before[1]);
  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(LiveImage(), before[2]);
  EXPECT_EQ(UndoGetLevel(), 2u);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(UndoTest, UndoWithoutKeepForgetsTheStep) {
  UndoImage empty = LiveImage();
  UndoRecord(IDS_UNDO_DELETE);
  AddPart(0, 0);
  UndoRecord(IDS_UNDO_DELETE);
  AddPart(1, 0);
  ASSERT_EQ(UndoApply(0), 1);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_EQ(MenuItem(kMenuEditRedo), Item("Can't Redo", 0));
  EXPECT_EQ(UndoGetLevel(), 1u);
  ASSERT_EQ(UndoApply(0), 1);
  EXPECT_EQ(LiveImage(), empty);
  EXPECT_EQ(ArrSnaps().Top(), 0u);
  EXPECT_EQ(MrkSnaps().Top(), 0u);
}

TEST_F(UndoTest, RecordingAfterUndoDropsTheRedoCopies) {
  UndoRecord(IDS_UNDO_DELETE);
  AddPart(0, 0);
  UndoRecord(IDS_UNDO_DELETE);
  AddPart(0, 5000);
  UndoApply(1);
  UndoApply(1);
  EXPECT_EQ(ArrSnaps().Top(), 3u);
  UndoRecord(IDS_UNDO_INFO_CHANGE);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_EQ(ArrSnaps().Top(), 1u);
  EXPECT_EQ(MenuItem(kMenuEditRedo), Item("Can't Redo", 0));
  // The live lists plus one copy each.
  EXPECT_EQ(ArrHeap.Blocks(), arrBlocks_ + 2);
  EXPECT_EQ(MrkHeap.Blocks(), mrkBlocks_ + 2);
}

// Unchanged lists share one copy; every way of letting go of the entries
// (undo, discard, the full array pushing the oldest out) frees it once.
TEST_F(UndoTest, UnchangedListsShareOneCopyFreedOnce) {
  UndoRecord(IDS_UNDO_DELETE);
  UndoRecord(IDS_UNDO_DELETE);
  EXPECT_EQ(ArrSnaps().Entry(1), ArrSnaps().Entry(2));
  EXPECT_EQ(MrkSnaps().Entry(1), MrkSnaps().Entry(2));
  EXPECT_EQ(ArrHeap.Blocks(), arrBlocks_ + 2);
  ASSERT_EQ(UndoApply(0), 1);
  ASSERT_EQ(UndoApply(0), 1);
  EXPECT_EQ(ArrHeap.Blocks(), arrBlocks_ + 1);
}

TEST_F(UndoTest, AFullArrayOfSharedCopiesKeepsTheSharedCopy) {
  Restart(3);
  UndoImage empty = LiveImage();
  for (int i = 0; i < 6; ++i) ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);
  EXPECT_EQ(ArrHeap.Blocks(), arrBlocks_ + 2);
  AddPart(7, 100);
  AddMarker(9, 100);
  ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);  // compares with, then drops, shared entries
  AddPart(8, 200);
  ASSERT_EQ(UndoApply(1), 1);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), empty);
  ASSERT_EQ(RedoApply(), 1);
  ASSERT_EQ(RedoApply(), 1);
  EXPECT_EQ(CurArr->PartCount, 2u);
}

// A copy of a larger list is put back into a live block that was replaced by
// a smaller one: the live block grows first.
TEST_F(UndoTest, UndoGrowsALiveBlockTooSmallForTheCopy) {
  for (uint32_t i = 0; i < 600; ++i) AddPart(i % 4, 1000 * i);
  for (uint32_t n = 1; n <= 900; n += 2) AddMarker(n, 10 * n);
  UndoImage big = LiveImage();
  ASSERT_GT(BlockHeap::Size(CurArr), 65536u);
  ASSERT_GT(BlockHeap::Size(CurMrkList), 65536u);
  ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);
  ArrHeap.Free(CurArr);
  MrkHeap.Free(CurMrkList);
  CurArr = ArrNew(nullptr);
  CurMrkList = MrkListNew(nullptr);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(LiveImage(), big);
}

TEST_F(UndoTest, HeapFailuresDiscardEveryStepAndKeepTheLiveLists) {
  struct Case {
    const char* what;
    BlockHeap* heap;
    int duringUndo;  // fail the copy of the present state at the first Undo
  };
  const Case cases[] = {
      {"arrangement copy", &ArrHeap, 0},
      {"marker copy", &MrkHeap, 0},
      {"present arrangement", &ArrHeap, 1},
      {"present markers", &MrkHeap, 1},
  };
  for (const Case& c : cases) {
    Restart(11);
    UndoRecord(IDS_UNDO_DELETE);
    AddPart(0, 10);
    AddMarker(1, 10);
    UndoImage live = LiveImage();
    c.heap->FailNext();
    int result = c.duringUndo ? UndoApply(1) : UndoRecord(IDS_UNDO_INFO_CHANGE);
    EXPECT_EQ(result, 0) << c.what;
    ASSERT_EQ(Host().boxes.size(), 1u) << c.what;
    EXPECT_EQ(Host().boxes[0].id, uint32_t{IDS_HEAP_ALLOC_FAILED}) << c.what;
    EXPECT_EQ(Host().boxes[0].flags, uint32_t{kMbWarnOk}) << c.what;
    EXPECT_EQ(UndoGetLevel(), 0u) << c.what;
    EXPECT_EQ(UndoHasRedo(), 0) << c.what;
    EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Can't Undo", 0)) << c.what;
    EXPECT_EQ(LiveImage(), live) << c.what;
    EXPECT_EQ(Services().Count("MainCursorWait()"), Services().Count("MainCursorRestore()"));
  }
}

TEST_F(UndoTest, AFailureToGrowTheLiveBlockLeavesEverything) {
  for (uint32_t i = 0; i < 600; ++i) AddPart(0, 1000 * i);
  ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);
  ArrHeap.Free(CurArr);
  CurArr = ArrNew(nullptr);
  UndoImage small = LiveImage();
  ArrHeap.FailNext();
  EXPECT_EQ(UndoApply(0), 0);  // no copy of the present state: the grow is what fails
  EXPECT_EQ(LiveImage(), small);
  EXPECT_EQ(UndoGetLevel(), 0u);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, uint32_t{IDS_HEAP_ALLOC_FAILED});
}

TEST_F(UndoTest, ChangeCountersNeverFallBelowTheRecordedOnes) {
  struct Case {
    uint32_t atRecord, atUndo, expected;
  };
  const Case cases[] = {{5, 0, 5}, {5, 5, 5}, {5, 7, 7}};
  for (const Case& c : cases) {
    Services().arrChangeCount = c.atRecord;
    Services().mixChangeCount = c.atRecord + 100;
    UndoRecord(IDS_UNDO_DELETE);
    Services().arrChangeCount = c.atUndo;
    Services().mixChangeCount = c.atUndo + 100;
    UndoApply(1);
    EXPECT_EQ(Services().arrChangeCount, c.expected) << c.atUndo;
    EXPECT_EQ(Services().mixChangeCount, c.expected + 100) << c.atUndo;
    UndoDiscard(0);
  }
}

TEST_F(UndoTest, SuspendedStoreReportsSuccessAndChangesNothing) {
  UndoRecord(IDS_UNDO_DELETE);
  AddPart(0, 0);
  UndoImage live = LiveImage();
  Services().menuItems.clear();
  UndoSuspend(1);
  EXPECT_EQ(UndoRecord(IDS_UNDO_INFO_CHANGE), 1);
  EXPECT_EQ(UndoApply(1), 1);
  EXPECT_EQ(RedoApply(), 1);
  EXPECT_EQ(UndoDiscard(0), 1);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(LiveImage(), live);
  EXPECT_TRUE(Services().menuItems.empty());
  UndoSuspend(0);
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_EQ(CurArr->PartCount, 0u);
}

TEST_F(UndoTest, DiscardDropsTheNewestLevels) {
  for (int i = 0; i < 4; ++i) {
    UndoRecord(IDS_UNDO_INFO_CHANGE + (i == 1));
    AddPart(0, i);
  }
  UndoApply(1);
  ASSERT_EQ(UndoDiscard(2), 1);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(UndoHasRedo(), 0);
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Undo Info Change\tCtrl+Z", 1));
  EXPECT_EQ(ArrSnaps().Top(), 1u);
  ASSERT_EQ(UndoDiscard(5), 1);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(MenuItem(kMenuEditUndo), Item("Can't Undo", 0));
}

TEST_F(UndoTest, ANewLevelCountDropsTheStepsKeptUnderTheOldOne) {
  UndoRecord(IDS_UNDO_DELETE);
  UndoRecord(IDS_UNDO_DELETE);
  UndoLevels = 500;  // read as 100
  EXPECT_EQ(UndoLevelCount(), 100u);
  ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);
  EXPECT_EQ(UndoGetLevel(), 1u);
  UndoLevels = -3;
  EXPECT_EQ(UndoLevelCount(), 2u);
}

TEST_F(UndoTest, LevelsComeFromTheIniFilePlusOne) {
  std::string path = (std::filesystem::temp_directory_path() / "hrl_undo_levels.ini").string();
  const char* main = MainIniPath();
  std::string saved = main ? main : "";
  SetMainIniPath(path.c_str());
  const std::pair<int32_t, int32_t> cases[] = {{4, 5}, {250, 100}, {0, 2}};
  for (auto [stored, expected] : cases) {
    WriteIniLong(path.c_str(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, stored);
    UndoLoadLevels();
    EXPECT_EQ(UndoLevels, expected) << stored;
  }
  WriteIniValue(path.c_str(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, "%s", "");
  UndoLoadLevels();
  EXPECT_EQ(UndoLevels, 11);  // empty: the user's default 10
  std::remove(path.c_str());
  SetMainIniPath(saved.c_str());
}

}  // namespace
