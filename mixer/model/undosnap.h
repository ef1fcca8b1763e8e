// Whole-list copies for undo: one array of snapshots of the arrangement block
// and one of the marker list block, each indexed 1..UndoLevels with a
// current and a top index. Consecutive entries may share one copy (when
// nothing changed between two steps); a copy is freed only when no entry
// holds it any more, so a shared copy is freed exactly once.
#pragma once

#include <cstdint>

#include "arr.h"
#include "marker.h"

class BlockHeap;

// The largest number of entries of a snapshot array (UndoLevels 100).
constexpr uint32_t kUndoMaxLevels = 100;

// One snapshot array over the blocks of one heap. `bytesOf` gives the bytes
// of a list block from its own header (its count).
class SnapList {
 public:
  using BytesOf = uint32_t (*)(const void* list);
  SnapList(BlockHeap& heap, BytesOf bytesOf) : heap_(heap), bytesOf_(bytesOf) {}
  SnapList(const SnapList&) = delete;
  SnapList& operator=(const SnapList&) = delete;

  // Stores a copy of `live` as the entry after the current one, dropping the
  // entries above it; when all `levels` entries are in use the oldest goes
  // instead. Shares the current copy when `live` equals it byte for byte. 0
  // when the heap has no room (nothing changes).
  int Store(const void* live, uint32_t levels);

  // Makes the step back possible without a further failure: with `keep` and
  // the current entry at the top, stores the present list as a new entry;
  // then grows *live, when `restore` is set, so that the entry to be put back
  // fits. 0 when either allocation fails.
  int PrepareStep(void** live, int keep, int restore, uint32_t levels);
  // The rest of the step back after PrepareStep: puts the current entry back
  // into *live (with `restore`) and moves the current index down; without
  // `keep` the entries from the current one up are dropped.
  void FinishStep(void** live, int keep, int restore);

  // Grows *live to hold entry current + 2; 0 when it cannot (nothing
  // changes). Redo then puts that entry back and moves the index up.
  int PrepareRedo(void** live);
  void FinishRedo(void** live);

  // Drops the n newest levels (steps back without keep and restore).
  void Drop(uint32_t n);
  // Forgets every entry without freeing it (its heap has ended).
  void Forget();

  uint32_t Current() const { return current_; }
  uint32_t Top() const { return top_; }
  // Entry i (1..top), null outside.
  const void* Entry(uint32_t i) const { return i >= 1 && i <= top_ ? entry_[i] : nullptr; }

 private:
  void* Copy(const void* live);
  void Release(uint32_t i);
  void ReleaseAbove(uint32_t i);
  void ShiftDown();
  int GrowToHold(void** live, const void* snapshot);
  void PutBack(void** live, const void* snapshot);

  BlockHeap& heap_;
  BytesOf bytesOf_;
  void* entry_[kUndoMaxLevels + 1] = {};  // entry 0 unused
  uint32_t current_ = 0;
  uint32_t top_ = 0;
};

// The two snapshot arrays of the undo store.
SnapList& ArrSnaps();
SnapList& MrkSnaps();

// The snapshot primitives on the current arrangement and marker list, over
// the store's UndoLevels entries. The store and step operations return 1, or
// 0 after showing "Heap alloc failed!" (a copy, or the live block grown for
// the copy to be put back, did not fit).
int UndoSnapStore(const ArrRec* arr);
int MrkSnapStore(const MrkList* list);
int UndoSnapStep(ArrRec** arr, int keep, int restore);
int MrkSnapStep(MrkList** list, int keep, int restore);
int UndoSnapRedo(ArrRec** arr);
int MrkSnapRedo(MrkList** list);
void UndoSnapDrop(uint32_t n);
void MrkSnapDrop(uint32_t n);
