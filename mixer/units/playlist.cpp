#include "mixer/units/playlist.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "mixer/arrange/partedit.h"
#include "mixer/model/arr.h"
#include "mixer/model/host.h"
#include "mixer/model/take.h"
#include "mixer/model/takeattr.h"
#include "mixer/model/taketime.h"
#include "mixer/model/util/numbers.h"

namespace {

constexpr uint32_t kMsgNoListMemory = 195;
constexpr uint32_t kMsgNoGrowMemory = 196;

// ---- The play-list heap: zero-filled blocks that know their size ----

int32_t gFailAfter = -1;
int32_t gBlocks = 0;

struct BlockHead {
  uint64_t size;
};

void* HeapAlloc(size_t bytes) {
  if (gFailAfter == 0) return nullptr;
  if (gFailAfter > 0) --gFailAfter;
  auto* head = static_cast<BlockHead*>(std::calloc(1, sizeof(BlockHead) + bytes));
  if (head == nullptr) return nullptr;
  head->size = bytes;
  ++gBlocks;
  return head + 1;
}

size_t HeapSize(const void* block) { return static_cast<size_t>((static_cast<const BlockHead*>(block) - 1)->size); }

void HeapFree(void* block) {
  if (block == nullptr) return;
  std::free(static_cast<BlockHead*>(block) - 1);
  --gBlocks;
}

// A zero-filled block of `bytes` holding the first `keep` bytes of `block`;
// the old block is freed only on success.
void* HeapRealloc(void* block, size_t bytes, size_t keep) {
  void* grown = HeapAlloc(bytes);
  if (grown == nullptr) return nullptr;
  if (block != nullptr) {
    std::memcpy(grown, block, std::min(keep, HeapSize(block)));
    HeapFree(block);
  }
  return grown;
}

// Grows one array of a list for `more` events beyond `count`.
bool GrowArray(PlayEvent*& array, uint32_t count, uint32_t more, size_t step) {
  const size_t need = (size_t{count} + more) * sizeof(PlayEvent);
  if (array == nullptr) {
    if (more == 0) return true;
    array = static_cast<PlayEvent*>(HeapAlloc(size_t{more} * sizeof(PlayEvent)));
    return array != nullptr;
  }
  if (HeapSize(array) >= need) return true;
  const size_t bytes = (need + step - 1) / step * step;
  void* grown = HeapRealloc(array, bytes, size_t{count} * sizeof(PlayEvent));
  if (grown == nullptr) return false;
  array = static_cast<PlayEvent*>(grown);
  return true;
}

// ---- Takes ----

// The first sample of the Take's data as play lists count it.
int64_t TakeDataStartSamples(uint32_t ref) {
  TakeRec* take = TakeFromRef(ref);
  if (take == nullptr) return 0;
  const auto start = static_cast<int32_t>(TakeGetAttr(take, kTakeAttrDataStart));
  const auto bytes = static_cast<int32_t>(TakeGetAttr(take, kTakeAttrBytesPerSample));
  return bytes > 0 ? start / bytes : 0;
}

// ---- Building the lanes of one list ----

// One lane (0 or 1) of the list being built and how far it reaches.
struct Lane {
  PlayList** list;
  int which;
  int64_t cursor = 0;

  PlayEvent*& array() { return which == 0 ? (*list)->List0 : (*list)->List1; }
  uint32_t& count() { return which == 0 ? (*list)->Count0 : (*list)->Count1; }
  // Room for two more events; false (the list freed and cleared) on failure.
  bool Room() {
    if (PlayListGrow(*list, which == 0 ? 2 : 0, which == 0 ? 0 : 2)) return true;
    *list = nullptr;
    return false;
  }
  bool Append(const PlayEvent& e) {
    if (!Room()) return false;
    array()[count()++] = e;
    return true;
  }
  // Silence up to `to`.
  bool FillTo(int64_t to, uint16_t flags) {
    if (cursor >= to) return true;
    PlayEvent e{};
    e.Length = static_cast<uint32_t>(to - cursor);
    e.Flags = flags;
    cursor = to;
    return Append(e);
  }
};

uint16_t ClampGain(int64_t gain) { return static_cast<uint16_t>(std::clamp<int64_t>(gain, 0, 0xFFFF)); }

// Fade modes of one piece of a section.
enum Mode {
  kBody = 0,
  kInBefore = 1,  // crossfade-in: before its window, silent
  kInRamp = 2,    // crossfade-in: the window, from 0 up to the Part's gain
  kInAfter = 3,   // crossfade-in: after the window, the gain at its end
  kOutBefore = 4, // crossfade-out: before its window, the gain at its start
  kOutRamp = 5,   // crossfade-out: the window, from the gain down to 0
  kOutAfter = 6,  // crossfade-out: after the window, silent
};

// A fade window [start, end) of a crossfade and its curve.
struct Window {
  int64_t start;
  int64_t end;
  int curve;
};

struct Piece {
  const PartRec* part;
  int64_t start;
  int64_t end;
};

uint32_t PartGain(const PartRec& part, int64_t at) {
  return ArrPartGainAt(static_cast<int32_t>(at - part.Start), part);
}

int32_t FadeAt(int64_t at, const Window& w, int32_t from, int32_t to) {
  return FadeCurveValue(static_cast<int32_t>(at - w.start), w.curve, from, to,
                        static_cast<int32_t>(w.end - w.start));
}

// Appends the piece to the lane in the given mode: a silence first where the
// lane has a gap, then the event, continued into or merged with the event
// before it where the audio runs on unbroken.
bool Fill(Lane& lane, const Piece& p, Mode mode, const Window& w, uint16_t fadeFlag) {
  if (!lane.FillTo(p.start, fadeFlag)) return false;
  const int64_t start = std::max(p.start, lane.cursor);
  if (p.end <= start) return true;
  const PartRec& part = *p.part;
  int64_t g0 = 0, g1 = 0;
  int curve = part.FadeCurve;
  switch (mode) {
    case kBody:
      g0 = PartGain(part, start);
      g1 = PartGain(part, p.end);
      break;
    case kInBefore:
      curve = part.XfadeInCurve;
      break;
    case kInRamp: {
      curve = part.XfadeInCurve;
      const int32_t top = static_cast<int32_t>(PartGain(part, w.end));
      g0 = FadeAt(start, w, 0, top);
      g1 = FadeAt(p.end, w, 0, top);
      break;
    }
    case kInAfter:
      curve = part.XfadeInCurve;
      g0 = g1 = PartGain(part, w.end);
      break;
    case kOutBefore:
      curve = part.XfadeOutCurve & 0xFF;
      g0 = g1 = PartGain(part, w.start);
      break;
    case kOutRamp: {
      curve = part.XfadeOutCurve & 0xFF;
      const int32_t top = static_cast<int32_t>(PartGain(part, w.start));
      g0 = FadeAt(start, w, top, 0);
      g1 = FadeAt(p.end, w, top, 0);
      break;
    }
    case kOutAfter:
      curve = part.XfadeOutCurve & 0xFF;
      break;
  }
  PlayEvent e{};
  e.Take = part.Take;
  e.Offset = static_cast<uint64_t>(TakeDataStartSamples(part.Take) + part.Offset + (start - part.Start));
  e.Length = static_cast<uint32_t>(p.end - start);
  e.GainStart = ClampGain(g0);
  e.GainEnd = ClampGain(g1);
  e.Flags = static_cast<uint16_t>(((part.Flags & kPartPhaseInvert) ? kPlayEventGainForm : 0) |
                                  ((curve & 0xFF) << 1) |
                                  (part.PlayChannel < 0 ? kPlayEventRecord : 0) | fadeFlag);
  lane.cursor = p.end;
  if (lane.count() > 0) {
    PlayEvent& prev = lane.array()[lane.count() - 1];
    // The audio runs on from the event before at the gain it ended with: no
    // fade at the joint.
    if (prev.Take == e.Take && e.Take != 0 && prev.Offset + prev.Length == e.Offset &&
        prev.GainEnd == e.GainStart) {
      e.Flags &= ~kPlayEventFade;
      const uint16_t same = kPlayEventGainForm | kPlayEventRecord;
      if (prev.GainStart == e.GainStart && prev.GainEnd == e.GainEnd &&
          (prev.Flags & same) == (e.Flags & same) &&
          uint64_t{prev.Length} + e.Length <= kPlayListEnd) {
        prev.Length += e.Length;
        return true;
      }
    }
  }
  return lane.Append(e);
}

bool FillPieces(Lane& lane, const Piece& p, const Window& w, Mode before, Mode ramp, Mode after,
                uint16_t fadeFlag) {
  const int64_t cuts[4] = {p.start, std::clamp(w.start, p.start, p.end),
                           std::clamp(w.end, p.start, p.end), p.end};
  const Mode modes[3] = {before, ramp, after};
  for (int k = 0; k < 3; ++k) {
    if (cuts[k + 1] <= cuts[k]) continue;
    if (!Fill(lane, {p.part, cuts[k], cuts[k + 1]}, modes[k], w, fadeFlag)) return false;
  }
  return true;
}

const PartRec* Partner(const ArrRec* arr, uint16_t slot) {
  if (slot == kArrNoLink) return nullptr;
  const PartRec* part = ArrPart(arr, slot);
  return part != nullptr && part->Start != kPartFreeStart ? part : nullptr;
}

int64_t End(const PartRec& part) { return int64_t{part.Start} + part.Length; }

int64_t WindowBound(int64_t start, int64_t length, uint8_t fraction) {
  return start + MulDivNearest(static_cast<int32_t>(length), fraction, 255);
}

// The stretch [a, b) where Part `out` crossfades into Part `in`: the fade-out
// of `out` on lane 0, the fade-in of `in` on lane 1.
bool Crossfade(Lane lanes[2], const PartRec& out, const PartRec& in, int64_t a, int64_t b,
               uint16_t fadeFlag) {
  const int64_t from = in.Start, length = End(out) - in.Start;
  const Window wout{WindowBound(from, length, out.XfadeOutWindow[0]),
                    WindowBound(from, length, out.XfadeOutWindow[1]), out.XfadeOutCurve & 0xFF};
  const Window win{WindowBound(from, length, in.XfadeInWindow[0]),
                   WindowBound(from, length, in.XfadeInWindow[1]), in.XfadeInCurve};
  return FillPieces(lanes[0], {&out, a, b}, wout, kOutBefore, kOutRamp, kOutAfter, fadeFlag) &&
         FillPieces(lanes[1], {&in, a, b}, win, kInBefore, kInRamp, kInAfter, fadeFlag);
}

// One visible section of a Part: its body on lane 0, and where it lies in a
// crossfade with the Part before or after it, both Parts of that crossfade.
bool FillSection(const ArrRec* arr, Lane lanes[2], const PartRec& part, int64_t s, int64_t e) {
  const uint16_t fade = kPlayEventFade;
  if (part.PlayChannel < 0) e = std::min<int64_t>(e, kPlayRecordEnd);
  const PartRec* before = Partner(arr, part.XfadeInPartner);
  const PartRec* after = Partner(arr, part.XfadeOutPartner);
  // [part start, end of the Part before) and [start of the Part after, part end).
  const int64_t inEnd = before && End(*before) > part.Start ? End(*before) : part.Start;
  const int64_t outStart = after && after->Start < End(part) ? after->Start : End(part);
  int64_t at = s;
  while (at < e) {
    int64_t next;
    bool ok;
    if (at < inEnd) {
      next = std::min(e, inEnd);
      ok = Crossfade(lanes, *before, part, at, next, fade);
    } else if (at >= outStart) {
      next = e;
      ok = Crossfade(lanes, part, *after, at, next, fade);
    } else {
      next = std::min(e, outStart);
      ok = Fill(lanes[0], {&part, at, next}, kBody, Window{}, fade);
    }
    if (!ok) return false;
    at = next;
  }
  return true;
}

bool PlaysChannel(const PartRec& part, int32_t channel) {
  return part.TakeKind == kTakeAudio && (part.PlayChannel == channel || part.PlayChannel == -channel);
}

// A silence on one lane where the other lane carries on, at the same gain,
// the Take that the first lane played before it: the audio only changes
// lanes, so neither edge fades. Lane 0 hands over to lane 1 where a Part
// continues in a crossfade's second lane, lane 1 back to lane 0 where a
// crossfade ends and the Part's body goes on.
void ClearLaneChangeFades(PlayEvent* from, uint32_t fromCount, PlayEvent* to, uint32_t toCount) {
  int64_t atFrom = 0, atTo = 0;
  uint32_t j = 0;
  for (uint32_t i = 0; i < fromCount; atFrom += from[i].Length, ++i) {
    PlayEvent& silence = from[i];
    if (i == 0 || silence.Take != 0) continue;
    const PlayEvent& prev = from[i - 1];
    while (j < toCount && atTo < atFrom) atTo += to[j++].Length;
    if (j >= toCount || atTo != atFrom) continue;
    PlayEvent& other = to[j];
    if (prev.Take != 0 && other.Take == prev.Take && other.Offset == prev.Offset + prev.Length &&
        other.GainStart == prev.GainEnd) {
      silence.Flags &= ~kPlayEventFade;
      other.Flags &= ~kPlayEventFade;
    }
  }
}

void ClearLaneChangeFades(PlayList* list) {
  ClearLaneChangeFades(list->List0, list->Count0, list->List1, list->Count1);
  ClearLaneChangeFades(list->List1, list->Count1, list->List0, list->Count0);
}

// The list being built or waiting for its send, by output track.
PlayList* gLists[kPlayChannels + 1];

bool ValidChannel(int32_t channel) { return channel >= 1 && channel <= kPlayChannels; }

PlayList*& Slot(int32_t channel) { return gLists[channel]; }

// Sends the channel's list and frees it, whatever the send answers: the
// builder is its only owner.
int SendAndFree(int32_t channel, PlayList*& slot, int32_t arg) {
  const int sent = SendTrackPlayList(channel, slot, arg);
  PlayListFree(slot);
  slot = nullptr;
  return sent != 0 ? 1 : 0;
}

PlayList* NewOrWarn(uint32_t count0, uint32_t count1) {
  PlayList* list = PlayListNew(count0, count1);
  if (list == nullptr) MessageBoxById(nullptr, kMsgNoListMemory, kMbWarnOk);
  return list;
}

PlayEvent TakeEvent(uint32_t take, int64_t offset, uint32_t length, uint16_t flags) {
  PlayEvent e{};
  e.Take = take;
  e.Offset = static_cast<uint64_t>(TakeDataStartSamples(take) + offset);
  e.Length = length;
  e.GainStart = e.GainEnd = kPlayUnity;
  e.Flags = flags;
  return e;
}

// Lead-in, the Take and closing silence.
int PlayTake(int32_t channel, uint32_t leadIn, uint32_t take, uint16_t takeFlags,
             uint16_t closingFlags, int32_t arg) {
  if (!ValidChannel(channel)) return 0;
  PlayList*& slot = Slot(channel);
  PlayListFree(slot);
  slot = NewOrWarn(3, 0);
  if (slot == nullptr) return 0;
  leadIn = std::min(leadIn, kPlayListEnd - 1);
  uint32_t n = 0;
  if (leadIn != 0) slot->List0[n++].Length = leadIn;
  const int32_t have = std::max(TakeLenAtKind(TakeFromRef(take), kTakeAudio, static_cast<int32_t>(leadIn)), 0);
  const uint32_t length = std::min<uint32_t>(static_cast<uint32_t>(have), kPlayListEnd - 1 - leadIn);
  slot->List0[n++] = TakeEvent(take, 0, length, takeFlags);
  PlayEvent& closing = slot->List0[n++];
  closing.Length = kPlayListEnd - length - leadIn;
  closing.Flags = closingFlags;
  slot->Count0 = n;
  return SendAndFree(channel, slot, arg);
}

}  // namespace

PlayList* PlayListNew(uint32_t count0, uint32_t count1) {
  auto* list = static_cast<PlayList*>(HeapAlloc(sizeof(PlayList)));
  if (list == nullptr) return nullptr;
  if (!PlayListGrow(list, count0, count1)) return nullptr;
  list->Count0 = count0;
  list->Count1 = count1;
  return list;
}

int PlayListGrow(PlayList* list, uint32_t more0, uint32_t more1) {
  if (list == nullptr) return 0;
  if (GrowArray(list->List0, list->Count0, more0, 4096) &&
      GrowArray(list->List1, list->Count1, more1, 8192))
    return 1;
  PlayListFree(list);
  return 0;
}

int PlayListFree(PlayList* list) {
  if (list == nullptr) return 0;
  HeapFree(list->List0);
  HeapFree(list->List1);
  HeapFree(list);
  return 1;
}

namespace {

// Compiles output track `channel` from the Parts of play channel `source`
// on the Virtual Tracks in `tracks`.
int CompileFromTracks(const ArrRec* arr, int32_t channel, int32_t source, const uint8_t* tracks,
                      uint32_t count) {
  PlayList*& slot = Slot(channel);
  PlayListFree(slot);
  slot = NewOrWarn(0, 0);
  if (slot == nullptr) return 0;
  Lane lanes[2] = {{&slot, 0}, {&slot, 1}};

  // Each Virtual Track with its next visible section on this output track.
  struct Source {
    uint32_t track;
    ArrSection next;
  };
  Source sources[kArrTracks];
  uint32_t n = 0;
  auto advance = [&](Source& src) {
    while (ArrNxtVisibleSection(arr, src.track, &src.next)) {
      const PartRec* part = ArrPart(arr, static_cast<uint32_t>(src.next.Part));
      if (part != nullptr && PlaysChannel(*part, source) && src.next.Length > 0) return true;
    }
    return false;
  };
  for (uint32_t k = 0; k < count; ++k) {
    sources[n] = {tracks[k], {-1, 0, 0}};
    if (advance(sources[n])) ++n;
  }

  bool ok = true;
  while (ok && n > 0) {
    uint32_t best = 0;
    for (uint32_t k = 1; k < n; ++k)
      if (sources[k].next.Start < sources[best].next.Start) best = k;
    const ArrSection s = sources[best].next;
    if (!PlayListGrow(slot, 8, 8)) {
      slot = nullptr;
      MessageBoxById(nullptr, kMsgNoGrowMemory, kMbWarnOk);
      return 0;
    }
    const PartRec& part = *ArrPart(arr, static_cast<uint32_t>(s.Part));
    ok = FillSection(arr, lanes, part, s.Start, int64_t{s.Start} + s.Length);
    if (!advance(sources[best])) sources[best] = sources[--n];
  }
  // Both lanes run to the end of the time line; lane 1 only when it plays.
  ok = ok && lanes[0].FillTo(kPlayListEnd, kPlayEventFade);
  ok = ok && (slot->Count1 == 0 || lanes[1].FillTo(kPlayListEnd, kPlayEventFade));
  if (!ok) {
    MessageBoxById(nullptr, kMsgNoGrowMemory, kMbWarnOk);
    return 0;
  }
  ClearLaneChangeFades(slot);
  return SendAndFree(channel, slot, 0);
}

}  // namespace

int CompileTrackPlayList(const ArrRec* arr, int32_t channel, int32_t track) {
  return CompileChannelOnTrack(arr, channel, channel, track);
}

int CompileChannelOnTrack(const ArrRec* arr, int32_t channel, int32_t source, int32_t track) {
  if (!ValidChannel(channel)) return 0;
  uint8_t tracks[kArrTracks];
  uint32_t count = 0;
  const uint32_t first = track < 0 ? 0 : static_cast<uint32_t>(track);
  const uint32_t last = track < 0 ? kArrTracks : std::min<uint32_t>(first + 1, kArrTracks);
  for (uint32_t t = first; t < last; ++t) {
    bool plays = false;
    ArrWalkList(arr, arr ? arr->ListHead[t] : kArrNoSlot, [&](uint32_t, const PartRec& part) {
      plays = PlaysChannel(part, source);
      return !plays;
    });
    if (plays) tracks[count++] = static_cast<uint8_t>(t);
  }
  return CompileFromTracks(arr, channel, source, tracks, count);
}

int CompileAllPlayLists(const ArrRec* arr) {
  // One pass over the Parts finds which Virtual Tracks play each output.
  static uint8_t plays[kPlayChannels + 1][kArrTracks];
  std::memset(plays, 0, sizeof plays);
  ArrForEachPart(arr, [](uint32_t track, uint32_t, const PartRec& part) {
    if (part.TakeKind != kTakeAudio) return;
    const int64_t channel = part.PlayChannel < 0 ? -int64_t{part.PlayChannel} : part.PlayChannel;
    if (channel >= 1 && channel <= kPlayChannels) plays[channel][track] = 1;
  });
  int all = 1;
  for (int32_t channel = 1; channel <= kPlayChannels; ++channel) {
    uint8_t tracks[kArrTracks];
    uint32_t count = 0;
    for (uint32_t t = 0; t < kArrTracks; ++t)
      if (plays[channel][t]) tracks[count++] = static_cast<uint8_t>(t);
    if (!CompileFromTracks(arr, channel, channel, tracks, count)) all = 0;
  }
  return all;
}

int PlayOneTake(int32_t channel, uint32_t leadIn, uint32_t take, int fade) {
  const uint16_t flags = fade ? kPlayEventFade : 0;
  return PlayTake(channel, leadIn, take, flags, flags, 0);
}

int PlayTakeOnTrack(int32_t channel, uint32_t leadIn, uint32_t take, int32_t arg) {
  return PlayTake(channel, leadIn, take, kPlayEventRecord, 0, arg);
}

int SilenceTrack(int32_t channel) {
  if (!ValidChannel(channel)) return 0;
  PlayList*& slot = Slot(channel);
  PlayListFree(slot);
  slot = NewOrWarn(1, 0);
  if (slot == nullptr) return 0;
  slot->List0[0].Length = kPlayListEnd;
  return SendAndFree(channel, slot, 0);
}

int PlayTakeListOnTrack(int32_t channel, uint32_t n, const PlayTakeEntry* entries, int fade) {
  if (!ValidChannel(channel) || (n != 0 && entries == nullptr) || n >= kPlayListEnd) return 0;
  PlayList*& slot = Slot(channel);
  PlayListFree(slot);
  slot = NewOrWarn(n + 1, 0);
  if (slot == nullptr) return 0;
  uint64_t sum = 0;
  for (uint32_t k = 0; k < n; ++k) {
    const PlayTakeEntry& in = entries[k];
    PlayEvent& e = slot->List0[k];
    if (in.Take != 0) {
      e = TakeEvent(in.Take, in.Offset, in.Length, fade ? kPlayEventFade : 0);
    } else {
      e.Length = in.Length;
    }
    sum += in.Length;
  }
  slot->Count0 = n;
  if (sum < kPlayListEnd) slot->List0[slot->Count0++].Length = static_cast<uint32_t>(kPlayListEnd - sum);
  return SendAndFree(channel, slot, 0);
}

void* PlayListHeapAlloc(size_t bytes) { return HeapAlloc(bytes); }
void PlayListHeapFree(void* block) { HeapFree(block); }

void PlayListHeapFailAfter(int32_t n) { gFailAfter = n; }
int32_t PlayListHeapBlocks() { return gBlocks; }
