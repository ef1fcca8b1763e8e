// The undo store driving the Take file journal on real files in a scratch
// folder: a step that created a Take moves its file into "qvReBin" on Undo
// and back on Redo, a new step deletes it for good, and a file that cannot
// be moved is reported after the lists were put back.
#include <filesystem>
#include <string>

#include "mixer/model/util/fileio.h"
#include "mixer/model/take.h"
#include "undo_fixture.h"

namespace {

namespace fs = std::filesystem;

class UndoJournal : public UndoTest {
 protected:
  void SetUp() override {
    UndoTest::SetUp();
    static int serial = 0;
    root_ = fs::temp_directory_path() / ("undo_journal_" + std::to_string(serial++));
    fs::remove_all(root_);
    fs::create_directories(root_);
    dir_ = root_.string() + "/";
    for (char& c : dir_)
      if (c == '/') c = '\\';
    ASSERT_EQ(TakeStoreOpen(), 1);
  }
  void TearDown() override {
    UndoTest::TearDown();
    TakeStoreClose();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // A step that adds a Part and creates the Take "Take".
  void RecordCreation() {
    ASSERT_EQ(UndoRecord(IDS_UNDO_DELETE), 1);
    uint32_t error = 0;
    ASSERT_NE(TakeCreateAudio(dir_.c_str(), 2, 4, 0, 48000, 0, 0, "Take", "", nullptr, nullptr,
                              &error),
              nullptr)
        << error;
    AddPart(0, 0);
  }

  static bool Exists(const std::string& path) { return FioFileExists(path.c_str()) != 0; }
  static void Remove(const std::string& path) { FioDelete(path.c_str()); }
  std::string Live() const { return dir_ + "Take.ATAK"; }
  std::string Binned() const { return dir_ + "qvReBin\\Take.ATAK"; }

  fs::path root_;
  std::string dir_;
};

TEST_F(UndoJournal, UndoRedoAndANewStepMoveTheCreatedTake) {
  RecordCreation();
  ASSERT_TRUE(Exists(Live()));
  ASSERT_EQ(UndoApply(1), 1);
  EXPECT_FALSE(Exists(Live()));
  EXPECT_TRUE(Exists(Binned()));
  ASSERT_EQ(RedoApply(), 1);
  EXPECT_TRUE(Exists(Live()));
  EXPECT_FALSE(Exists(Binned()));

  ASSERT_EQ(UndoApply(1), 1);
  ASSERT_EQ(UndoRecord(IDS_UNDO_INFO_CHANGE), 1);
  EXPECT_FALSE(Exists(Live()));
  EXPECT_FALSE(Exists(Binned()));
  EXPECT_TRUE(Host().boxes.empty());
}

TEST_F(UndoJournal, DiscardMakesAnUndoneCreationFinal) {
  RecordCreation();
  ASSERT_EQ(UndoApply(1), 1);
  ASSERT_EQ(UndoDiscard(0), 1);
  EXPECT_FALSE(Exists(Binned()));
  EXPECT_EQ(RedoApply(), 0);
}

// The step records follow the copies even when the journal fails: an Undo
// that stopped before them would leave the step index above the copy it
// shows, so that the step could not be redone and the next Undo would step
// the copies from the wrong place.
TEST_F(UndoJournal, AFileThatCannotBeMovedIsReportedAfterTheListsAreBack) {
  UndoImage before = LiveImage();
  RecordCreation();
  UndoImage after = LiveImage();
  Remove(Live());
  EXPECT_EQ(UndoApply(1), 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, uint32_t{IDS_FILE_NOT_MOVED});
  EXPECT_EQ(LiveImage(), before);
  EXPECT_EQ(UndoGetLevel(), 0u);
  EXPECT_EQ(UndoHasRedo(), 1);
  EXPECT_EQ(Services().Count("MainCursorWait()"), Services().Count("MainCursorRestore()"));
  // The step can be redone (its file is still missing, which is reported).
  EXPECT_EQ(RedoApply(), 0);
  EXPECT_EQ(LiveImage(), after);
  EXPECT_EQ(UndoGetLevel(), 1u);
  EXPECT_EQ(UndoApply(1), 0);
  EXPECT_EQ(LiveImage(), before);
}

TEST_F(UndoJournal, ARedoThatCannotMoveTheFileIsReported) {
  RecordCreation();
  UndoImage after = LiveImage();
  ASSERT_EQ(UndoApply(1), 1);
  Remove(Binned());
  EXPECT_EQ(RedoApply(), 0);
  ASSERT_EQ(Host().boxes.size(), 1u);
  EXPECT_EQ(Host().boxes[0].id, uint32_t{IDS_FILE_NOT_MOVED});
  EXPECT_EQ(LiveImage(), after);
  EXPECT_EQ(UndoGetLevel(), 1u);
}

}  // namespace
