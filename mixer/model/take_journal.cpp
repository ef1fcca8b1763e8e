// The journal of Take file operations per undo level. Undoing a creation
// moves the file into the rebin folder of its directory; redoing moves it
// back; a new step or a discard deletes undone creations for good.
#include <cstring>

#include "mixer/model/util/strtab.h"
#include "mixer/model/util/strutil.h"
#include "mixer/model/take_store.h"

namespace {

int32_t gUndoLevels = 99;

TakeStoreState& S() { return TakeStore(); }

// Deletes the file of an undone creation: the record's file, or the rebin
// path when the entry has no record. A creation that was never undone (no
// rebin path yet) keeps its file.
void MakeFinal(const TakeJournalEntry& e) {
  if (e.op != kJournalCreated || !e.first[0]) return;
  // The record may have been freed and reused since; it counts only while
  // it still holds the rebin path.
  if (e.take && std::strcmp(e.take->path, e.first) == 0 && TakeLookupPath(e.first) == e.take)
    TakeDelete(e.take, 0);
  else
    FioDelete(e.first);
}

// Makes the undone creations at `level` and above final and removes every
// entry at those levels.
void FinaliseFrom(int32_t level) {
  auto& j = S().journal;
  for (auto it = j.begin(); it != j.end();) {
    if (it->level >= level) {
      TakeJournalEntry e = *it;
      it = j.erase(it);
      MakeFinal(e);
    } else {
      ++it;
    }
  }
}

// Moves a file of an entry; the record's path follows when it has one.
// `dest` receives the name actually used.
bool MoveEntryFile(TakeRec* take, const char* from, char* dest) {
  if (take && TakeLookupPath(take->path) == take && std::strcmp(take->path, from) == 0)
    return TakeMoveFile(take, dest, 1, nullptr, 0) != 0;
  return ShellMovePath(from, dest, kTakePathSize) != 0;
}

bool UndoEntry(TakeJournalEntry& e, uint32_t* lastError) {
  if (e.op == kJournalCreated) {
    if (!TakeReBinPath(e.second, e.first, kTakePathSize)) {
      e.first[0] = '\0';
      *lastError = IDS_FILE_NOT_MOVED;
      return false;
    }
    if (!MoveEntryFile(e.take, e.second, e.first)) *lastError = IDS_FILE_NOT_MOVED;
    return true;
  }
  if (!MoveEntryFile(e.take, e.second, e.first)) *lastError = IDS_FILE_NOT_MOVED;
  return true;
}

}  // namespace

void TakeJournalSetUndoLevels(int32_t levels) {
  gUndoLevels = levels < 1 ? 1 : levels > 99 ? 99 : levels;
}
int32_t TakeJournalLevel() { return S().level; }
int32_t TakeJournalTop() { return S().top; }

void TakeJournalAdd(uint32_t op, const char* first, const char* second, TakeRec* take) {
  TakeJournalEntry e{};
  e.level = S().level;
  e.op = op;
  StrCopyN(e.first, first, sizeof e.first);
  StrCopyN(e.second, second, sizeof e.second);
  e.take = take;
  S().journal.push_back(e);
}

void TakeJournalForget(const TakeRec* take) {
  S().journal.remove_if([take](const TakeJournalEntry& e) { return e.take == take; });
}

void TakeJournalNewLevel() {
  TakeStoreState& s = S();
  if (s.level >= gUndoLevels - 1) {
    s.journal.remove_if([](const TakeJournalEntry& e) { return e.level <= 0; });
    for (TakeJournalEntry& e : s.journal) --e.level;
    s.level = gUndoLevels - 1;
  } else {
    ++s.level;
  }
  FinaliseFrom(s.level);
  s.top = s.level;
}

int TakeJournalUndo(int keepForRedo, int doUndo, uint32_t* error) {
  TakeStoreState& s = S();
  if (s.level == -1) return 0;
  uint32_t lastError = 0;
  if (doUndo) {
    auto& j = s.journal;
    for (auto it = j.rbegin(); it != j.rend(); ++it)
      if (it->level == s.level) UndoEntry(*it, &lastError);
  }
  if (!keepForRedo) {
    FinaliseFrom(s.level);
    s.top = s.level - 1;
  }
  --s.level;
  if (error && lastError) *error = lastError;
  return lastError == 0 ? 1 : 0;
}

int TakeJournalRedo() {
  TakeStoreState& s = S();
  if (s.level == s.top) return 0;
  ++s.level;
  int ok = 1;
  for (TakeJournalEntry& e : s.journal) {
    if (e.level != s.level || !e.first[0]) continue;
    if (!MoveEntryFile(e.take, e.first, e.second)) ok = 0;
    // A redone creation is live again: nothing left in the rebin folder.
    else if (e.op == kJournalCreated) e.first[0] = '\0';
  }
  return ok;
}

void TakeJournalDiscard(uint32_t levels) {
  TakeStoreState& s = S();
  int64_t wanted = int64_t{s.level} - levels;
  int32_t level = (levels == 0 || wanted < -1) ? -1 : static_cast<int32_t>(wanted);
  if (level == -1) {
    FinaliseFrom(0);
    s.journal.clear();
  } else {
    s.journal.remove_if([level](const TakeJournalEntry& e) { return e.level > level; });
  }
  s.level = level;
  s.top = level;
}
