// Records handed to the host by handle: a slot table whose handles carry the
// slot's generation, so that a handle of a freed record is refused even
// after its slot is reused.
#pragma once

#include <cstdint>
#include <new>
#include <vector>

template <class Rec>
class HandleTable {
 public:
  // Handle = generation << kSlotBits | (slot + 1); never 0.
  static constexpr uint32_t kSlotBits = 20;
  static constexpr uint32_t kMaxSlots = (1u << kSlotBits) - 1;
  static constexpr uint32_t kGenMask = (1u << (32 - kSlotBits)) - 1;

  // A zeroed record; 0 when no slot can be had.
  uint32_t Add() {
    uint32_t slot;
    if (!freeSlots_.empty()) {
      slot = freeSlots_.back();
      freeSlots_.pop_back();
    } else {
      if (slots_.size() >= kMaxSlots) return 0;
      try {
        freeSlots_.reserve(slots_.size() + 1);  // so that Remove never allocates
        slots_.push_back(Slot{});
      } catch (const std::bad_alloc&) {
        return 0;
      }
      slot = static_cast<uint32_t>(slots_.size() - 1);
    }
    Slot& s = slots_[slot];
    s.rec = Rec{};
    s.used = true;
    ++count_;
    return s.gen << kSlotBits | (slot + 1);
  }

  void Remove(uint32_t h) {
    Slot* s = Find(h);
    if (s == nullptr) return;
    s->used = false;
    s->gen = (s->gen + 1) & kGenMask;
    freeSlots_.push_back(static_cast<uint32_t>(s - slots_.data()));
    --count_;
  }

  // The record of a live handle; null for 0, a freed or a foreign handle.
  Rec* Get(uint32_t h) {
    Slot* s = Find(h);
    return s != nullptr ? &s->rec : nullptr;
  }

  uint32_t Count() const { return count_; }

  // Removes every record; their handles stay refused.
  void Clear() {
    for (uint32_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].used) Remove(slots_[i].gen << kSlotBits | (i + 1));
    }
  }

 private:
  struct Slot {
    Rec rec{};
    uint32_t gen = 0;
    bool used = false;
  };

  Slot* Find(uint32_t h) {
    const uint32_t slot = (h & kMaxSlots) - 1;  // 0 wraps to a slot never there
    if (slot >= slots_.size()) return nullptr;
    Slot& s = slots_[slot];
    return s.used && s.gen == h >> kSlotBits ? &s : nullptr;
  }

  std::vector<Slot> slots_;
  std::vector<uint32_t> freeSlots_;
  uint32_t count_ = 0;
};
