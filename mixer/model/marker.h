// The marker list: one block holding the slot count, the head of the
// position-ordered chain and one record per marker number (record i holds
// marker i + 1). The same image is stored in the arrangement file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "block.h"

constexpr uint32_t kMrkMaxNumber = 999;
constexpr uint32_t kMrkNoSlot = 0xFFFFFFFF;  // ends the chain, or an empty chain
constexpr int32_t kMrkUnused = -1;           // position of a number not in use

struct MrkRec {
  int32_t Position;      // samples, or kMrkUnused
  char Name[64];         // NUL-terminated
  uint8_t Reserved[16];  // zero when added; saved and restored unchanged
  uint32_t Next;         // next slot in position order, or kMrkNoSlot
};
static_assert(sizeof(MrkRec) == 88);
static_assert(offsetof(MrkRec, Name) == 4);
static_assert(offsetof(MrkRec, Reserved) == 68);
static_assert(offsetof(MrkRec, Next) == 84);

// Header of the list block; Count MrkRec records follow it in the same block.
struct MrkList {
  uint32_t Count;  // the highest marker number that has a slot
  uint32_t First;  // first slot in position order, or kMrkNoSlot
};
static_assert(sizeof(MrkList) == 8);
static_assert(offsetof(MrkList, First) == 4);

// Bytes of a list block with n slots.
constexpr uint32_t MrkBlockSize(uint32_t n) { return BlockBytes<MrkList, MrkRec>(n); }

// Slot `slot` of the list; null when the slot does not exist.
inline MrkRec* MrkSlot(MrkList* list, uint32_t slot) {
  return list ? BlockSlot<MrkRec>(list, list->Count, slot) : nullptr;
}
inline const MrkRec* MrkSlot(const MrkList* list, uint32_t slot) {
  return MrkSlot(const_cast<MrkList*>(list), slot);
}

// Calls fn(number, marker) for every marker of the chain, in position order.
// A damaged chain (an index out of range, or a cycle) ends the walk; a
// damaged count is never taken beyond kMrkMaxNumber slots.
template <typename Fn> void MrkForEach(const MrkList* list, Fn fn) {
  if (list == nullptr) return;
  uint32_t slots = list->Count < kMrkMaxNumber ? list->Count : kMrkMaxNumber;
  WalkChain(list->First, slots,
            [list, slots](uint32_t i) { return i < slots ? MrkSlot(list, i) : nullptr; },
            [&fn](uint32_t slot, const MrkRec& mrk) { fn(slot + 1, mrk); });
}

class BlockHeap;

// The heap every marker list (the current one and the undo copies) comes
// from.
extern BlockHeap MrkHeap;

// The current marker list; null until the program makes it.
extern MrkList* CurMrkList;

// Operations of MrkEdit.
enum : uint32_t {
  kMrkEditAdd = 0,     // value: the position
  kMrkEditMove = 1,    // value: the new position
  kMrkEditDelete = 2,  // value unused
  kMrkEditRename = 3,  // value: the address of the NUL-terminated name
};

// Every operation below accepts a null or damaged list: indexes are checked,
// walks of the chain take at most one step per slot, and a list is never
// taken to hold more than kMrkMaxNumber slots.

// An empty list; null with error 192 (stored in *error) when the heap has no
// room.
MrkList* MrkListNew(uint32_t* error);

// Adds a copy of `rec` as marker n: 0 when n is outside 1..999, already in
// use, or rec's position is kMrkUnused. Grows the list to n slots when
// needed (*list may move; error 193 and the list unchanged when it cannot
// grow). The marker goes after every marker at or before its position.
int MrkInsert(MrkList** list, const MrkRec& rec, uint32_t n, uint32_t* error);

// Unlinks marker n and frees its number; 0 when it is not in the chain.
int MrkDelete(MrkList* list, uint32_t n);

// Position of the first marker after `position`; EndOfTime when none.
int32_t MrkNxtLoc(const MrkList* list, int32_t position);

// Number of the first marker at or after `position`; 0 when none.
uint32_t MrkAtOrAfterLoc(const MrkList* list, int32_t position);

// The first free / used number from max(n, 1) up to 999; 0 when none.
uint32_t MrkFirstFree(const MrkList* list, uint32_t n);
uint32_t MrkFirstUsed(const MrkList* list, uint32_t n);

// 1 when 1 <= n <= the slot count and marker n is in use.
int MrkIsValid(const MrkList* list, uint32_t n);

// Moves marker n to `position`, after every marker at or before it; 0 when
// n is not in use or the position is kMrkUnused.
int MrkMove(MrkList* list, int32_t position, uint32_t n);

// Sets marker n's name, cut to 63 characters; 0 when n is not in use or the
// name is null.
int MrkRename(MrkList* list, const char* name, uint32_t n);

// Position of marker n; the now position when n is not in use.
int32_t MrkGetLoc(const MrkList* list, uint32_t n);

// The user's edit of marker n of CurMrkList (kMrkEditAdd...). After a
// change the marker ruler is redrawn, the marker directory updated and the
// arrangement change count raised; a failure to add shows its message. The
// control surface is told marker n in every case. 1 when the list changed.
int MrkEdit(uint32_t operation, uint32_t n, intptr_t value);

// Global Cut & Insert and Global Cut & Delete between the left and the right
// locator, on CurMrkList; nothing unless the left locator is before the
// right. Insert moves the markers at or after the left locator later by the
// span, deleting those that would reach kTimeLineLimit; Delete deletes the
// markers in [left, right) and moves later ones earlier by the span.
void MrkShiftForInsert();
void MrkShiftForRemove();
