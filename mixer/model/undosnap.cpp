#include "undosnap.h"

#include <cstring>

#include "arrheap.h"
#include "blockheap.h"
#include "host.h"
#include "mixer/model/util/strtab.h"
#include "undo.h"

// Invariants of a SnapList: entries above top_ are null; entries
// current_+1..top_ are the states that Redo goes forward through; equal
// pointers only ever sit in consecutive entries, and a block is freed when
// the last entry holding it lets go.

namespace {

// Bytes of the live list that may be read: its own count decides, but never
// beyond the heap block that holds it (a damaged count reads no further).
uint32_t ReadableBytes(const void* list, SnapList::BytesOf bytesOf) {
  uint32_t want = bytesOf(list);
  uint32_t have = BlockHeap::Size(list);
  return want < have ? want : have;
}

uint32_t ArrBytes(const void* list) {
  return ArrBlockSize(static_cast<const ArrRec*>(list)->PartCount);
}

uint32_t MrkBytes(const void* list) {
  return MrkBlockSize(static_cast<const MrkList*>(list)->Count);
}

}  // namespace

void* SnapList::Copy(const void* live) {
  if (live == nullptr) return nullptr;
  uint32_t bytes = ReadableBytes(live, bytesOf_);
  void* current = entry_[current_];
  if (current_ > 0 && current != nullptr && bytesOf_(current) == bytesOf_(live) &&
      std::memcmp(current, live, bytes) == 0)
    return current;
  void* copy = heap_.Alloc(bytesOf_(live));
  if (copy != nullptr) std::memcpy(copy, live, bytes);
  return copy;
}

void SnapList::Release(uint32_t i) {
  void* block = entry_[i];
  entry_[i] = nullptr;
  if (block == nullptr) return;
  for (uint32_t j = 1; j <= kUndoMaxLevels; ++j)
    if (entry_[j] == block) return;  // another entry still shares it
  heap_.Free(block);
}

void SnapList::Forget() {
  for (void*& entry : entry_) entry = nullptr;
  current_ = top_ = 0;
}

void SnapList::ReleaseAbove(uint32_t i) {
  while (top_ > i) Release(top_--);
}

// The array is full: the oldest entry goes, the others move down one.
void SnapList::ShiftDown() {
  if (top_ == 0) return;
  Release(1);
  for (uint32_t j = 1; j < top_; ++j) entry_[j] = entry_[j + 1];
  entry_[top_] = nullptr;
}

int SnapList::Store(const void* live, uint32_t levels) {
  void* snapshot = Copy(live);
  if (snapshot == nullptr) return 0;
  if (current_ < levels) {
    ReleaseAbove(current_);
    entry_[++current_] = snapshot;
    top_ = current_;
  } else {
    ShiftDown();
    entry_[current_] = snapshot;
  }
  return 1;
}

// A snapshot's block may hold more slots than the live block: the live one
// is grown (it may move) before anything is copied into it.
int SnapList::GrowToHold(void** live, const void* snapshot) {
  uint32_t bytes = bytesOf_(snapshot);
  if (*live != nullptr && BlockHeap::Size(*live) >= bytes) return 1;
  void* grown = heap_.Grow(*live, bytes);
  if (grown == nullptr) return 0;
  *live = grown;
  return 1;
}

void SnapList::PutBack(void** live, const void* snapshot) {
  std::memcpy(*live, snapshot, bytesOf_(snapshot));
}

int SnapList::PrepareStep(void** live, int keep, int restore, uint32_t levels) {
  if (current_ == 0) return 1;
  // The entry put back below is the one current now, even when the store
  // shifts it down one place.
  const void* back = entry_[current_];
  if (keep && current_ == top_) {
    void* present = Copy(*live);
    if (present == nullptr) return 0;
    if (top_ < levels) {
      entry_[++top_] = present;
    } else {
      ShiftDown();
      entry_[top_] = present;
      --current_;
    }
  }
  return restore ? GrowToHold(live, back) : 1;
}

void SnapList::FinishStep(void** live, int keep, int restore) {
  if (!keep) ReleaseAbove(current_);
  if (current_ == 0) return;
  if (restore) PutBack(live, entry_[current_]);
  if (keep) {
    --current_;
  } else {
    Release(current_);
    top_ = current_ = current_ - 1;
  }
}

int SnapList::PrepareRedo(void** live) {
  if (top_ < current_ + 2) return 1;
  return GrowToHold(live, entry_[current_ + 2]);
}

void SnapList::FinishRedo(void** live) {
  if (top_ < current_ + 2) return;
  PutBack(live, entry_[current_ + 2]);
  ++current_;
}

void SnapList::Drop(uint32_t n) {
  for (uint32_t i = 0; i < n && top_ > 0; ++i) FinishStep(nullptr, 0, 0);
}

SnapList& ArrSnaps() {
  static SnapList list(ArrHeap, ArrBytes);
  return list;
}

SnapList& MrkSnaps() {
  static SnapList list(MrkHeap, MrkBytes);
  return list;
}

namespace {

void ShowHeapFailure() { MessageBoxById(nullptr, IDS_HEAP_ALLOC_FAILED, kMbWarnOk); }

int StoreLive(SnapList& snaps, const void* live) {
  if (live == nullptr || !snaps.Store(live, UndoLevelCount())) {
    ShowHeapFailure();
    return 0;
  }
  return 1;
}

int StepLive(SnapList& snaps, void** live, int keep, int restore) {
  if (!snaps.PrepareStep(live, keep, restore, UndoLevelCount())) {
    ShowHeapFailure();
    return 0;
  }
  snaps.FinishStep(live, keep, restore);
  return 1;
}

int RedoLive(SnapList& snaps, void** live) {
  if (!snaps.PrepareRedo(live)) {
    ShowHeapFailure();
    return 0;
  }
  snaps.FinishRedo(live);
  return 1;
}

}  // namespace

int UndoSnapStore(const ArrRec* arr) { return StoreLive(ArrSnaps(), arr); }
int MrkSnapStore(const MrkList* list) { return StoreLive(MrkSnaps(), list); }

int UndoSnapStep(ArrRec** arr, int keep, int restore) {
  void* live = *arr;
  int ok = StepLive(ArrSnaps(), &live, keep, restore);
  *arr = static_cast<ArrRec*>(live);
  return ok;
}

int MrkSnapStep(MrkList** list, int keep, int restore) {
  void* live = *list;
  int ok = StepLive(MrkSnaps(), &live, keep, restore);
  *list = static_cast<MrkList*>(live);
  return ok;
}

int UndoSnapRedo(ArrRec** arr) {
  void* live = *arr;
  int ok = RedoLive(ArrSnaps(), &live);
  *arr = static_cast<ArrRec*>(live);
  return ok;
}

int MrkSnapRedo(MrkList** list) {
  void* live = *list;
  int ok = RedoLive(MrkSnaps(), &live);
  *list = static_cast<MrkList*>(live);
  return ok;
}

void UndoSnapDrop(uint32_t n) { ArrSnaps().Drop(n); }
void MrkSnapDrop(uint32_t n) { MrkSnaps().Drop(n); }
