// Blocks of a header followed by an array of fixed-size slots, and the index
// chains that link slots inside them (the arrangement's Part lists, the
// marker chain). Slots are addressed by index, never by pointer, so that a
// block can move when it grows and be copied or written whole.
#pragma once

#include <cstdint>

// Bytes of a block with n slots after its header.
template <typename Head, typename Slot> constexpr uint32_t BlockBytes(uint32_t n) {
  return static_cast<uint32_t>(sizeof(Head)) + n * static_cast<uint32_t>(sizeof(Slot));
}

// Slot `slot` of a block holding `count` slots; null when there is no such slot.
template <typename Slot, typename Head> Slot* BlockSlot(Head* head, uint32_t count, uint32_t slot) {
  static_assert(sizeof(Head) % alignof(Slot) == 0, "slots must stay aligned after the header");
  if (head == nullptr || slot >= count) return nullptr;
  return reinterpret_cast<Slot*>(reinterpret_cast<uint8_t*>(head) + sizeof(Head)) + slot;
}

// Calls fn(slot, record) along the chain that starts at `first`, where
// slotAt(i) gives slot i or null. A damaged chain (an index out of range, or
// a cycle) ends the walk: no chain is longer than the slot count.
template <typename SlotAt, typename Fn>
void WalkChain(uint32_t first, uint32_t count, SlotAt slotAt, Fn fn) {
  uint32_t slot = first;
  for (uint32_t steps = 0; steps < count; ++steps) {
    const auto* rec = slotAt(slot);
    if (rec == nullptr) return;
    fn(slot, *rec);
    slot = rec->Next;
  }
}
