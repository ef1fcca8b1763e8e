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
// A damaged chain (an index out of range, or a cycle) ends the walk.
template <typename Fn> void MrkForEach(const MrkList* list, Fn fn) {
  if (list == nullptr) return;
  WalkChain(list->First, list->Count, [list](uint32_t i) { return MrkSlot(list, i); },
            [&fn](uint32_t slot, const MrkRec& mrk) { fn(slot + 1, mrk); });
}
