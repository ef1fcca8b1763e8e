// The processing list that the off-line processing driver hands to a
// processing routine, and the "#nn" naming of the Takes it creates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// One stretch of a source Take and the new Take that receives it.
struct ProcSpan {
  uint32_t Take;       // source Take reference
  uint32_t OffsetLo;   // first sample of the stretch in the source Take
  uint32_t OffsetHi;
  uint32_t Length;     // samples
  uint32_t NewTake;    // destination Take reference, 0 until created

  int64_t Offset() const { return static_cast<int64_t>((uint64_t{OffsetHi} << 32) | OffsetLo); }
  void SetOffset(int64_t v) {
    OffsetLo = static_cast<uint32_t>(static_cast<uint64_t>(v));
    OffsetHi = static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32);
  }
  int64_t End() const { return Offset() + Length; }
};
static_assert(sizeof(ProcSpan) == 20);

inline constexpr int32_t kProcSpanMax = 255;

struct ProcList {
  int32_t Mode;         // 1 scan pass (measure only), 0 process pass
  uint32_t PlayGain;    // gain on every source span while it is read, 32768 = unity
  int32_t ProcessGain;  // gain handed to the engine's process call
  int32_t Result;       // peak the engine reports after a pass
  int32_t Count;        // spans in use, 0..255
  ProcSpan Span[kProcSpanMax];
};
static_assert(sizeof(ProcList) == 5120);
static_assert(offsetof(ProcList, Count) == 16);
static_assert(offsetof(ProcList, Span) == 20);

// Adds the stretch [offset, offset + length) of `take`. A stretch that
// touches or overlaps an entry of the same Take joins it (and so may join
// entries it bridges); otherwise a new entry is appended. 1, or 0 when the
// list is full (nothing changed). A stretch of length 0 is ignored (1).
int ProcListAdd(ProcList* list, uint32_t take, int64_t offset, int64_t length);
// The entry whose stretch holds [offset, offset + length) of `take`, or -1.
int ProcListFind(const ProcList* list, uint32_t take, int64_t offset, int64_t length);

// Rewrites `name` (a 64-byte field) to its first "#nn" variant that no Take
// of the folder bears. `folderNames` calls its argument once for every Take
// name of the folder (it stops early when the callback returns 0). At most
// 1297 candidates are collected.
using TakeNameVisitor = std::function<void(const std::function<int(const char*)>&)>;
void NewTakeNameIn(char* name, const TakeNameVisitor& folderNames);
// The same over the Takes of a folder on disk (folder ends in '\'); 1.
int NewTakeName(const char* folder, char* name);

// Copies the last "#nn" suffix of a Take name onto a Part name (64-byte
// field); nothing changes when the Take name has none.
void CarryTakeSuffix(char* partName, const char* takeName);
