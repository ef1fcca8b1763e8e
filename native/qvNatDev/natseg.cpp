#include "native/qvNatDev/natseg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

int32_t gFailAfter = -1;
int32_t gBlocks = 0;

struct HeapHead {
  uint64_t size;
};

uint32_t BlockSize(const void* block) {
  return static_cast<uint32_t>((static_cast<const HeapHead*>(block) - 1)->size);
}

constexpr uint32_t kGrowStep = 4096;
constexpr uint32_t kRampLength = 32;
constexpr int32_t kKindMaxShape = kFadeLastCurve - kFadeLinear;

RecSeg& Last(RecSegList* list) { return list->entries()[list->count - 1]; }

// Room for one more entry after the open run.
bool Room(RecSegList*& list) {
  const uint64_t need = sizeof(RecSegList) + (uint64_t{list ? list->count : 0} + 1) * sizeof(RecSeg);
  if (need > 0x7FFFF000u) {
    SegFree(list);
    return false;
  }
  if (list != nullptr && BlockSize(list) >= need) return true;
  const uint32_t bytes = static_cast<uint32_t>((need + kGrowStep - 1) / kGrowStep * kGrowStep);
  void* grown = list ? NatHeapRealloc(list, bytes) : NatHeapAlloc(bytes);
  if (grown == nullptr) {
    SegFree(list);
    return false;
  }
  list = static_cast<RecSegList*>(grown);
  return true;
}

// A new entry after the open run, which it closes; it becomes the open run.
bool Append(RecSegList*& list, int32_t kind, int32_t a, int32_t b, uint32_t length) {
  if (!Room(list)) return false;
  RecSeg& e = list->entries()[list->count];
  e.start = list->count == 0 ? 0 : Last(list).start + list->open;
  e.a = a;
  e.b = b;
  e.kind = kind;
  e.flags = 0;
  ++list->count;
  list->open = length;
  return true;
}

bool Empty(const RecSegList* list) { return list == nullptr || list->count == 0; }

// The open run may take `length` more samples without passing 32 bits.
bool Fits(const RecSegList* list, uint32_t length) { return uint64_t{list->open} + length <= 0xFFFFFFFFu; }

}  // namespace

void* NatHeapAlloc(uint32_t bytes) {
  if (gFailAfter == 0) return nullptr;
  if (gFailAfter > 0) --gFailAfter;
  auto* head = static_cast<HeapHead*>(std::calloc(1, sizeof(HeapHead) + bytes));
  if (head == nullptr) return nullptr;
  head->size = bytes;
  ++gBlocks;
  return head + 1;
}

void* NatHeapRealloc(void* block, uint32_t bytes) {
  void* grown = NatHeapAlloc(bytes);
  if (grown == nullptr) return nullptr;
  std::memcpy(grown, block, std::min(bytes, BlockSize(block)));
  NatHeapFree(block);
  return grown;
}

void NatHeapFree(void* block) {
  if (block == nullptr) return;
  std::free(static_cast<HeapHead*>(block) - 1);
  --gBlocks;
}

void NatHeapFailAfter(int32_t n) { gFailAfter = n; }
int32_t NatHeapBlocks() { return gBlocks; }

void SegFree(RecSegList*& list) {
  NatHeapFree(list);
  list = nullptr;
}

bool SegSilence(RecSegList*& list, uint32_t length) {
  if (length == 0) return true;
  if (!Empty(list) && Last(list).kind == kFadeUnity && Fits(list, length)) {
    list->open += length;
    return true;
  }
  return Append(list, kFadeUnity, 0, 0, length);
}

bool SegDisk(RecSegList*& list, int32_t take, uint64_t position, uint32_t length) {
  if (length == 0) return true;
  if (take == 0) return SegSilence(list, length);
  if (!Empty(list)) {
    const RecSeg& last = Last(list);
    const uint64_t lastPos = uint64_t{static_cast<uint32_t>(last.a)} |
                             uint64_t{static_cast<uint32_t>(last.b)} << 32;
    if (last.kind == take && lastPos + list->open == position && Fits(list, length)) {
      list->open += length;
      return true;
    }
  }
  return Append(list, take, static_cast<int32_t>(static_cast<uint32_t>(position)),
                static_cast<int32_t>(static_cast<uint32_t>(position >> 32)), length);
}

bool SegLevel(RecSegList*& list, int32_t level, uint32_t length) {
  if (length == 0) return true;
  if (!Empty(list) && Last(list).kind == kFadeLevel && Last(list).a == level && Fits(list, length)) {
    list->open += length;
    return true;
  }
  return Append(list, kFadeLevel, level, level, length);
}

bool SegShape(RecSegList*& list, int32_t shape, int32_t from, int32_t to, uint32_t length) {
  if (length == 0) return true;
  // Only the table's rows exist; any other shape plays linear.
  if (shape < 0 || shape > kKindMaxShape) shape = 0;
  return Append(list, kFadeLinear + shape, from, to, length);
}

bool SegRampIn(RecSegList*& list, int32_t level, uint32_t length) {
  if (length == 0) return true;
  if (!Empty(list) && Last(list).kind == kFadeRampOut && list->open == kRampLength &&
      Fits(list, length)) {
    // Straight after a full ramp out: one crossfade segment holds both.
    Last(list).kind = kFadeCross;
    Last(list).b = level;
    list->open += length;
    return true;
  }
  return Append(list, kFadeRampIn, 0, level, length);
}

bool SegRampOut(RecSegList*& list, int32_t level, uint32_t length) {
  if (length == 0) return true;
  return Append(list, kFadeRampOut, level, 0, length);
}

bool SegClose(RecSegList*& list) {
  if (Empty(list) || list->open != 0) {
    if (!Append(list, kFadeUnity, 0, 0, 0)) return false;
  }
  Last(list).flags |= kRecSegClosing;
  return true;
}

int32_t NatStoredLevel(uint16_t gain, uint16_t flags) {
  // The recorder plays a level l at gain l / -2^23: a gain of 0x8000 is
  // stored as -0x800000. The gain-form bit asks for inverted polarity, which
  // is the same magnitude with the sign turned.
  const int32_t magnitude = int32_t{gain} * 256;
  return (flags & kPlayEventGainForm) ? magnitude : -magnitude;
}

namespace {

bool IsFadeEdge(const PlayEvent& e) { return (e.Flags & kPlayEventFade) != 0; }

// The disk and fade lists of one lane, and the record list from lane 0.
bool ConvertLane(const PlayEvent* events, uint32_t count, bool main, RecSegList*& disk,
                 RecSegList*& fade, RecSegList** record) {
  for (uint32_t i = 0; i < count; ++i) {
    const PlayEvent& e = events[i];
    const uint32_t length = e.Length;
    if (e.Take == 0) {
      if (!SegSilence(disk, length)) return false;
      if (!(main ? SegLevel(fade, 0, length) : SegSilence(fade, length))) return false;
      if (record && !SegSilence(*record, length)) return false;
      continue;
    }
    if (e.Flags & kPlayEventRecord) {
      if (!SegSilence(disk, length) || !SegSilence(fade, length)) return false;
      if (record && !SegDisk(*record, static_cast<int32_t>(e.Take), e.Offset, length)) return false;
      continue;
    }
    if (!SegDisk(disk, static_cast<int32_t>(e.Take), e.Offset, length)) return false;
    const bool fadesIn = IsFadeEdge(e) && e.GainStart != 0;
    uint32_t out = 0;
    if (i + 1 < count && IsFadeEdge(events[i + 1]) && e.GainEnd != 0)
      out = std::min(length / (fadesIn ? 2 : 1), kRampLength);
    const uint32_t in = fadesIn ? std::min(length / (out != 0 ? 2 : 1), kRampLength) : 0;
    const int32_t from = NatStoredLevel(e.GainStart, e.Flags);
    const int32_t to = NatStoredLevel(e.GainEnd, e.Flags);
    const uint32_t rest = length - in - out;
    if (!SegRampIn(fade, from, in)) return false;
    bool ok;
    if (e.GainStart != e.GainEnd)
      ok = SegShape(fade, PlayEventCurve(e), from, to, rest);
    else if (e.GainStart == kPlayUnity && !(e.Flags & kPlayEventGainForm))
      ok = SegSilence(fade, rest);
    else
      ok = SegLevel(fade, from, rest);
    if (!ok || !SegRampOut(fade, to, out)) return false;
    if (record && !SegSilence(*record, length)) return false;
  }
  return true;
}

}  // namespace

void NatFreeTrack(NatTrackLists& lists) {
  for (RecSegList*& l : lists.list) SegFree(l);
}

bool NatConvertTrack(const PlayEvent* list0, uint32_t count0, const PlayEvent* list1,
                     uint32_t count1, NatTrackLists& out) {
  NatTrackLists& l = out;
  bool ok = ConvertLane(list0, count0, true, l.list[kNatDisk0], l.list[kNatFade0], &l.list[kNatDiskR]) &&
            ConvertLane(list1, count1, false, l.list[kNatDisk1], l.list[kNatFade1], nullptr);
  for (RecSegList*& one : l.list) ok = ok && SegClose(one);
  if (!ok) NatFreeTrack(l);
  return ok;
}

bool NatConvertRecordOnly(const PlayEvent* list, uint32_t count, RecSegList*& out) {
  for (uint32_t i = 0; i < count; ++i) {
    const PlayEvent& e = list[i];
    const bool ok = (e.Take != 0 && (e.Flags & kPlayEventRecord))
                        ? SegDisk(out, static_cast<int32_t>(e.Take), e.Offset, e.Length)
                        : SegSilence(out, e.Length);
    if (!ok) return false;
  }
  if (SegClose(out)) return true;
  return false;
}
