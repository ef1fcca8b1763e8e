// Hundreds of random Part and marker edits, undos (kept and forgotten),
// redos and discards, checked after every operation against a plain model
// of the history: a stack of past states, the present and a stack of states
// to redo. Few levels, so the arrays fill and shift again and again, and
// steps without a change in between, so copies are shared.
#include <random>

#include "undo_fixture.h"

namespace {

struct Past {
  UndoImage image;   // the lists before the step
  uint32_t name;     // the step's action
};

// What the store must show after each operation.
struct History {
  uint32_t levels;
  std::vector<Past> past;     // newest last
  std::vector<Past> future;   // next Redo last: the image it brings back, the step's name
  void Record(const UndoImage& present, uint32_t name) {
    past.push_back({present, name});
    if (past.size() > levels) past.erase(past.begin());
    future.clear();
  }
  // The present image after an Undo.
  UndoImage Undo(const UndoImage& present, bool keep) {
    // Undoing from the top needs an entry for the present state.
    if (keep && future.empty() && past.size() == levels) past.erase(past.begin());
    Past step = past.back();
    past.pop_back();
    if (keep)
      future.push_back({present, step.name});
    else
      future.clear();
    return step.image;
  }
  UndoImage Redo(const UndoImage& present) {
    Past step = future.back();
    future.pop_back();
    past.push_back({present, step.name});
    return step.image;
  }
  void Discard(uint32_t n) {
    if (n == 0 || n > past.size()) n = static_cast<uint32_t>(past.size());
    past.resize(past.size() - n);
    future.clear();
  }
};

class UndoRandom : public UndoTest {
 protected:
  std::mt19937 rng{12345};
  uint32_t Pick(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(rng); }

  // One random edit of the live lists; sometimes none.
  void Edit() {
    switch (Pick(5)) {
      case 0:
        AddPart(Pick(4), static_cast<int32_t>(Pick(100000)), 1 + static_cast<int32_t>(Pick(5000)));
        break;
      case 1: {
        if (CurArr->PartCount == 0) break;
        uint32_t slot = Pick(CurArr->PartCount);
        if (ArrPart(CurArr, slot)->Start != kPartFreeStart) ArrUnlinkPart(CurArr, slot, kArrNoSlot);
        break;
      }
      case 2: {
        uint32_t n = 1 + Pick(60);
        if (!MrkIsValid(CurMrkList, n)) AddMarker(n, static_cast<int32_t>(Pick(100000)));
        break;
      }
      case 3:
        MrkDelete(CurMrkList, 1 + Pick(60));
        break;
      default:
        break;  // a step with no change: its copy is shared
    }
  }

  void Check(const History& h, const UndoImage& present, int op) {
    ASSERT_EQ(LiveImage(), present) << "operation " << op;
    ASSERT_EQ(UndoGetLevel(), h.past.size()) << "operation " << op;
    ASSERT_EQ(UndoHasRedo(), h.future.empty() ? 0 : 1) << "operation " << op;
    std::pair<std::string, int> undo{"Can't Undo", 0}, redo{"Can't Redo", 0};
    if (!h.past.empty()) undo = {"Undo " + std::string(StrText(h.past.back().name)) + "\tCtrl+Z", 1};
    if (!h.future.empty()) redo = {"Redo " + std::string(StrText(h.future.back().name)) + "\tCtrl+Y", 1};
    ASSERT_EQ(MenuItem(kMenuEditUndo), undo) << "operation " << op;
    ASSERT_EQ(MenuItem(kMenuEditRedo), redo) << "operation " << op;
    // No more copies than entries in use, whatever was shared.
    ASSERT_LE(ArrHeap.Blocks(), arrBlocks_ + 1 + ArrSnaps().Top()) << "operation " << op;
    ASSERT_LE(MrkHeap.Blocks(), mrkBlocks_ + 1 + MrkSnaps().Top()) << "operation " << op;
  }

  void Run(int32_t levels, int operations) {
    Restart(levels);
    History h{static_cast<uint32_t>(levels), {}, {}};
    UndoImage present = LiveImage();
    const uint32_t names[] = {IDS_UNDO_INFO_CHANGE, IDS_UNDO_DELETE};
    for (int op = 0; op < operations; ++op) {
      uint32_t dice = Pick(100);
      if (dice < 50) {
        uint32_t name = names[Pick(2)];
        ASSERT_EQ(UndoRecord(name), 1);
        h.Record(present, name);
        Edit();
        present = LiveImage();
      } else if (dice < 72) {
        ASSERT_EQ(UndoApply(1), h.past.empty() ? 0 : 1);
        if (!h.past.empty()) present = h.Undo(present, true);
      } else if (dice < 77) {
        ASSERT_EQ(UndoApply(0), h.past.empty() ? 0 : 1);
        if (!h.past.empty()) present = h.Undo(present, false);
      } else if (dice < 95) {
        ASSERT_EQ(RedoApply(), h.future.empty() ? 0 : 1);
        if (!h.future.empty()) present = h.Redo(present);
      } else {
        uint32_t n = Pick(4);
        ASSERT_EQ(UndoDiscard(n), 1);
        h.Discard(n);
      }
      Check(h, present, op);
      ASSERT_TRUE(Host().boxes.empty()) << "operation " << op;
    }
  }
};

TEST_F(UndoRandom, MatchesTheModelWithTwoThreeAndElevenLevels) {
  for (int32_t levels : {2, 3, 11}) {
    SCOPED_TRACE(levels);
    Run(levels, 600);
  }
}

}  // namespace
