#include "undo.h"

#include "arr.h"
#include "host.h"
#include "ini.h"
#include "marker.h"
#include "mixer/shell/services.h"
#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "take.h"
#include "undosnap.h"

int32_t UndoLevels = 11;

uint32_t UndoLevelCount() {
  if (UndoLevels < 2) return 2;
  if (UndoLevels > static_cast<int32_t>(kUndoMaxLevels)) return kUndoMaxLevels;
  return static_cast<uint32_t>(UndoLevels);
}

void UndoLoadLevels() {
  UndoLevels = ReadIniInt(MainIniPath(), IDS_INI_SEC_MAIN_WND, IDS_INI_KEY_UNDO_LEVELS, 10, 1, 99) + 1;
}

namespace {

// One step; the entry at the step count above the undone steps stands for
// the present state (name 0) while steps are undone.
struct UndoStepRec {
  uint32_t Name;        // string id of the action
  uint32_t ArrChanges;  // arrangement change counter when recorded
  uint32_t MixChanges;  // mix change counter when recorded
};

// The step array and both snapshot arrays always hold the same number of
// levels: the step index equals each snapshot array's current index.
UndoStepRec Steps[kUndoMaxLevels + 1];  // entry 0 unused
uint32_t StepIndex = 0;
uint32_t StepCount = 0;
int Suspended = 0;
uint32_t ActiveLevels = 0;  // the level count the arrays were filled under; 0 before first use

constexpr int kMenuTextSize = 128;

void SetMenuText(uint32_t item, uint32_t prefix, uint32_t action, uint32_t key) {
  char text[kMenuTextSize];
  StrLoad(prefix, text, kMenuTextSize);
  StrCatN(text, StrText(action), kMenuTextSize);
  StrCatN(text, StrText(key), kMenuTextSize);
  MainMenuSetItem(item, text, 1);
}

void SetMenuGrayed(uint32_t item, uint32_t textId) {
  char text[kMenuTextSize];
  StrLoad(textId, text, kMenuTextSize);
  MainMenuSetItem(item, text, 0);
}

void ShowUndoItem() {
  if (StepIndex > 0)
    SetMenuText(kMenuEditUndo, IDS_MENU_UNDO, Steps[StepIndex].Name, IDS_MENU_UNDO_KEY);
  else
    SetMenuGrayed(kMenuEditUndo, IDS_MENU_CANT_UNDO);
}

void ShowRedoItem() {
  if (UndoHasRedo())
    SetMenuText(kMenuEditRedo, IDS_MENU_REDO, Steps[StepIndex + 1].Name, IDS_MENU_REDO_KEY);
  else
    SetMenuGrayed(kMenuEditRedo, IDS_MENU_CANT_REDO);
}

// A counter that has not moved past the one recorded with a step takes the
// recorded value, so that going back never reads as "unchanged" (0).
void FollowCounters(const UndoStepRec& step) {
  if (ArrChangeCountGet() <= step.ArrChanges) ArrChangeCountSet(step.ArrChanges);
  if (MixChangeCountGet() <= step.MixChanges) MixChangeCountSet(step.MixChanges);
}

UndoStepRec PresentStep(uint32_t name) { return {name, ArrChangeCountGet(), MixChangeCountGet()}; }

// The array is full: the oldest step goes, the others move down one.
void ShiftStepsDown() {
  for (uint32_t i = 1; i < ActiveLevels; ++i) Steps[i] = Steps[i + 1];
}

void ShowError(uint32_t id) { MessageBoxById(nullptr, id, kMbWarnOk); }

int DiscardLevels(uint32_t n) {
  uint32_t levels = n == 0 ? ActiveLevels : n;
  ArrSnaps().Drop(levels);
  MrkSnaps().Drop(levels);
  TakeJournalDiscard(n);
  if (StepIndex > 0) {
    StepIndex = levels >= StepIndex ? 0 : StepIndex - levels;
    FollowCounters(Steps[StepIndex + 1]);
  }
  StepCount = StepIndex;
  ShowUndoItem();
  SetMenuGrayed(kMenuEditRedo, IDS_MENU_CANT_REDO);
  return 1;
}

}  // namespace

void UndoForgetAll() {
  ArrSnaps().Forget();
  MrkSnaps().Forget();
  StepIndex = StepCount = 0;
  ActiveLevels = 0;
}

namespace {

// Adopts a changed UndoLevels: the steps kept under the old size go first.
void SyncLevels() {
  uint32_t levels = UndoLevelCount();
  if (levels == ActiveLevels) return;
  if (ActiveLevels != 0) DiscardLevels(0);
  ActiveLevels = levels;
  TakeJournalSetUndoLevels(static_cast<int32_t>(levels) - 1);
}

// Both lists are made ready (copies stored, live blocks grown) before either
// is changed, so a failure leaves the live lists as they were.
int PrepareBoth(int keep) {
  void* arr = CurArr;
  void* mrk = CurMrkList;
  int ok = ArrSnaps().PrepareStep(&arr, keep, 1, ActiveLevels) &&
           MrkSnaps().PrepareStep(&mrk, keep, 1, ActiveLevels);
  CurArr = static_cast<ArrRec*>(arr);
  CurMrkList = static_cast<MrkList*>(mrk);
  return ok;
}

void FinishBoth(int keep) {
  void* arr = CurArr;
  void* mrk = CurMrkList;
  ArrSnaps().FinishStep(&arr, keep, 1);
  MrkSnaps().FinishStep(&mrk, keep, 1);
  CurArr = static_cast<ArrRec*>(arr);
  CurMrkList = static_cast<MrkList*>(mrk);
}

int PrepareRedoBoth() {
  void* arr = CurArr;
  void* mrk = CurMrkList;
  int ok = ArrSnaps().PrepareRedo(&arr) && MrkSnaps().PrepareRedo(&mrk);
  CurArr = static_cast<ArrRec*>(arr);
  CurMrkList = static_cast<MrkList*>(mrk);
  return ok;
}

void FinishRedoBoth() {
  void* arr = CurArr;
  void* mrk = CurMrkList;
  ArrSnaps().FinishRedo(&arr);
  MrkSnaps().FinishRedo(&mrk);
  CurArr = static_cast<ArrRec*>(arr);
  CurMrkList = static_cast<MrkList*>(mrk);
}

// The step records of an Undo, after the copies were put back.
void StepBack(int keep) {
  if (keep && StepIndex == StepCount) {
    if (StepCount == ActiveLevels) {
      ShiftStepsDown();
      --StepIndex;
    } else {
      ++StepCount;
    }
    Steps[StepCount] = PresentStep(0);
  }
  FollowCounters(Steps[StepIndex]);
  --StepIndex;
  if (!keep) StepCount = StepIndex;
}

}  // namespace

int UndoRecord(uint32_t actionName) {
  if (Suspended) return 1;
  SyncLevels();
  if (!UndoSnapStore(CurArr) || !MrkSnapStore(CurMrkList)) {
    DiscardLevels(0);
    return 0;
  }
  TakeJournalNewLevel();
  if (StepIndex < ActiveLevels)
    ++StepIndex;
  else
    ShiftStepsDown();
  StepCount = StepIndex;
  Steps[StepIndex] = PresentStep(actionName);
  ShowUndoItem();
  SetMenuGrayed(kMenuEditRedo, IDS_MENU_CANT_REDO);
  return 1;
}

int UndoApply(int keepForRedo) {
  if (Suspended) return 1;
  SyncLevels();
  if (StepIndex == 0) return 0;
  int keep = keepForRedo ? 1 : 0;
  MainCursorWait();
  if (!PrepareBoth(keep)) {
    MainCursorRestore();
    ShowError(IDS_HEAP_ALLOC_FAILED);
    DiscardLevels(0);
    return 0;
  }
  FinishBoth(keep);
  uint32_t error = 0;
  TakeJournalUndo(keep, 1, &error);
  // The copies are back whatever the journal did, so the step records
  // follow them before a file that could not be moved is reported.
  StepBack(keep);
  ShowUndoItem();
  ShowRedoItem();
  MainCursorRestore();
  if (error != 0) {
    ShowError(error);
    return 0;
  }
  return 1;
}

int RedoApply() {
  if (Suspended) return 1;
  SyncLevels();
  if (!UndoHasRedo()) return 0;
  MainCursorWait();
  if (!PrepareRedoBoth()) {
    MainCursorRestore();
    ShowError(IDS_HEAP_ALLOC_FAILED);
    return 0;
  }
  FinishRedoBoth();
  // The journal keeps one level fewer than the step array, so the oldest
  // step may have no journal level to go forward through; that is no
  // failure.
  int moved = TakeJournalLevel() == TakeJournalTop() ? 1 : TakeJournalRedo();
  FollowCounters(Steps[StepIndex + 2]);
  ++StepIndex;
  ShowUndoItem();
  ShowRedoItem();
  MainCursorRestore();
  if (!moved) {
    ShowError(IDS_FILE_NOT_MOVED);
    return 0;
  }
  return 1;
}

int UndoDiscard(uint32_t levels) {
  if (Suspended) return 1;
  SyncLevels();
  return DiscardLevels(levels);
}

void UndoSuspend(int suspend) { Suspended = suspend ? 1 : 0; }

uint32_t UndoGetLevel() { return StepIndex; }

int UndoHasRedo() { return StepCount >= StepIndex + 2 ? 1 : 0; }
