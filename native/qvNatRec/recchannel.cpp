// A track channel: its buffers, the fill of its play layers from disk with
// their fades, the hand-over of recorded audio to disk, and list replacement.
#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "native/qvNatRec/fade.h"
#include "native/qvNatRec/natplat.h"
#include "native/qvNatRec/recobj.h"

namespace {

// Where an expanded location lies on the time line, and how many samples
// follow before the loop folds back.
struct Folded {
  int64_t t;
  int64_t run;
};

Folded Fold(TrackChannel& ch, int64_t expanded) {
  const int64_t ls = ch.loopStart.Get();
  const int64_t le = ch.loopEnd.Get();
  if (le == kEndOfTime || le <= ls) return {expanded, kEndOfTime};
  if (expanded < le) return {expanded, le - expanded};
  const int64_t t = ls + (expanded - le) % (le - ls);
  return {t, le - t};
}

// The expanded location where the stream ends: the end location, unless a
// loop comes first and never lets the time line reach it.
int64_t ExpandedLimit(TrackChannel& ch) {
  const int64_t ls = ch.loopStart.Get();
  const int64_t le = ch.loopEnd.Get();
  const int64_t end = ch.end.Get();
  if (le != kEndOfTime && le > ls) return end > le ? kEndOfTime : end;
  return std::min(end, ch.streamEnd.Get());
}

uint64_t SourcePosition(const RecSeg& seg) {
  return static_cast<uint64_t>(static_cast<uint32_t>(seg.b)) << 32 | static_cast<uint32_t>(seg.a);
}

uint32_t TransferHalf(WorkerSide side) { return side == kRecordSide ? 1 : 0; }

// One disk transfer through the disk worker's half of the transfer buffer.
bool Transfer(TrackChannel& ch, WorkerSide side, RecorderTransferFn fn, const RecSeg& seg,
              int64_t into, uint32_t* words, uint32_t n) {
  if (fn == nullptr) return false;
  const uint32_t half = TransferHalf(side);
  std::lock_guard<std::mutex> hold(ch.transferLocks[half]);
  return fn(seg.kind, SourcePosition(seg) + static_cast<uint64_t>(into), static_cast<int32_t>(n),
            words, n, 0, ch.transfer + half * kTransferHalf) != 0;
}

// A planned fill: `count` samples from expanded location `from`; never more
// than kFillBlock, the size of the staging words.
struct FillPiece {
  int64_t from;
  uint32_t count;
  bool forward;
};

// Samples the play fill moves next for a layer filled up to `hi` while its
// client reads at `read`; 0 when none. Whole blocks only, except the last
// piece before the limit: a client that read a little leaves far more than
// a block buffered, and small pieces cost a Take transfer each.
uint32_t PlayFillLength(TrackChannel& ch, int64_t read, int64_t hi) {
  const int64_t limit = ExpandedLimit(ch);
  const int64_t target = read > limit - kPlayAhead ? limit : read + kPlayAhead;
  if (hi >= target || (target < limit && target - hi < kFillBlock)) return 0;
  return static_cast<uint32_t>(std::min<int64_t>(kFillBlock, target - hi));
}

bool PlanPlayFill(TrackChannel& ch, PlayLayer& pl, FillPiece* piece) {
  const int64_t read = ch.read.Get();
  int64_t hi = pl.fill.Get();
  if (hi < read) {
    // The client overtook the fill: what lies behind it is of no use.
    hi = read;
    pl.fill.Set(read);
    pl.back.Set(read);
  }
  const uint32_t n = PlayFillLength(ch, read, hi);
  if (n == 0) return false;
  *piece = {hi, n, true};
  return true;
}

// Without locks: whether a running play fill of the layer finds work now.
// The positions are atomic words; a stale answer only moves the fill to the
// client's next wake-up, and it spares the fill loop two locks per layer on
// each pass over every channel.
bool PlayFillDue(TrackChannel& ch, PlayLayer& pl) {
  const int64_t read = ch.read.Get();
  return PlayFillLength(ch, read, std::max(pl.fill.Get(), read)) != 0;
}

// Scrub fills keep [centre - kScrubHalf, centre + kScrubHalf) buffered round
// the client's position, forward first; a position far outside the buffered
// window starts the window again there.
bool PlanScrubFill(TrackChannel& ch, PlayLayer& pl, FillPiece* piece) {
  const int64_t centre = ch.read.Get();
  int64_t hi = pl.fill.Get();
  int64_t lo = pl.back.Get();
  if (centre + kScrubHalf < lo || centre - kScrubHalf > hi) {
    hi = lo = centre;
    pl.fill.Set(centre);
    pl.back.Set(centre);
  }
  if (hi < centre + kScrubHalf) {
    *piece = {hi, static_cast<uint32_t>(std::min<int64_t>(kFillBlock, centre + kScrubHalf - hi)), true};
    return true;
  }
  if (lo > centre - kScrubHalf) {
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(kFillBlock, lo - (centre - kScrubHalf)));
    *piece = {lo - n, n, false};
    return true;
  }
  return false;
}

// Silence into n words of a ring. A long run goes straight to memory: the
// client reads it only after the fill has gone round most of the ring, so
// the cache would only have to write it back, after reading the old words
// in first.
void ZeroWords(uint32_t* words, uint32_t n) {
#if defined(__SSE2__)
  if (n >= 4096) {
    uint32_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(words + i) & 15) != 0; ++i) words[i] = 0;
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
      __m128i* p = reinterpret_cast<__m128i*>(words + i);
      _mm_stream_si128(p, zero);
      _mm_stream_si128(p + 1, zero);
      _mm_stream_si128(p + 2, zero);
      _mm_stream_si128(p + 3, zero);
    }
    // Ordered before the piece is published to the client.
    _mm_sfence();
    std::fill_n(words + i, n - i, 0u);
    return;
  }
#endif
  std::fill_n(words, n, 0u);
}

// n words copied into a ring. A long run goes straight to memory, for the
// same reason as silence above: the cache would read every line of the ring
// in before the words replace it.
void CopyWords(uint32_t* to, const uint32_t* from, uint32_t n) {
#if defined(__SSE2__)
  if (n >= 4096) {
    uint32_t i = 0;
    for (; i < n && (reinterpret_cast<uintptr_t>(to + i) & 15) != 0; ++i) to[i] = from[i];
    for (; i + 16 <= n; i += 16) {
      __m128i* p = reinterpret_cast<__m128i*>(to + i);
      const __m128i* q = reinterpret_cast<const __m128i*>(from + i);
      _mm_stream_si128(p, _mm_loadu_si128(q));
      _mm_stream_si128(p + 1, _mm_loadu_si128(q + 1));
      _mm_stream_si128(p + 2, _mm_loadu_si128(q + 2));
      _mm_stream_si128(p + 3, _mm_loadu_si128(q + 3));
    }
    // Ordered before the piece is published to the client.
    _mm_sfence();
    std::copy_n(from + i, n - i, to + i);
    return;
  }
#endif
  std::copy_n(from, n, to);
}

// Disk audio of a piece of a layer, faded: read, unpacked and faded in the
// disk worker's staging words, where they stay in the cache, then copied
// into the ring at `at`. False when the read failed.
bool LoadAudio(TrackChannel& ch, PlayLayer& pl, uint32_t cursor, WorkerSide side,
               const RecSeg& seg, int64_t t, int64_t into, uint32_t* ring, uint32_t at,
               uint32_t n) {
  if (ch.disk.read == nullptr) return false;
  const uint32_t half = TransferHalf(side);
  uint8_t* own = ch.transfer + half * kTransferHalf;
  uint32_t* stage = reinterpret_cast<uint32_t*>(own + kStageOffset);
  std::lock_guard<std::mutex> hold(ch.transferLocks[half]);
  if (ch.disk.read(seg.kind, SourcePosition(seg) + static_cast<uint64_t>(into),
                   static_cast<int32_t>(n), stage, n, 0, own) == 0)
    return false;
  FadeRingBlock(pl.fade, cursor, t, stage, n, 0, n);
  CopyWords(ring + at, stage, n);
  return true;
}

// The silent marks of the chunks that lie wholly inside ring words
// [at, at + n): the first such chunk and the count.
struct ChunkRange {
  uint32_t first;
  uint32_t count;
};

ChunkRange WholeChunks(uint32_t at, uint32_t n) {
  const uint32_t first = (at + kSilentChunk - 1) / kSilentChunk;
  const uint32_t end = (at + n) / kSilentChunk;
  return {first, end > first ? end - first : 0};
}

// Audio is about to go into ring words [at, at + n): every chunk it touches
// loses its mark first.
void Unmark(SilentMarks& marks, uint32_t at, uint32_t n) {
  if (n == 0) return;
  for (uint32_t c = at / kSilentChunk; c <= (at + n - 1) / kSilentChunk; ++c)
    marks[c / 32].fetch_and(~(1u << (c & 31)), std::memory_order_relaxed);
}

// Silence into ring words [at, at + n): chunks already marked silent are
// left alone (a silent layer costs no memory traffic once its ring has gone
// round), the others are zeroed, and whole chunks are marked afterwards.
// Partial chunks at the ends are zeroed and keep their marks: a marked one
// is still all zeros, an unmarked one may hold audio outside the piece.
void ZeroRange(SilentMarks& marks, uint32_t* ring, uint32_t at, uint32_t n) {
  const ChunkRange whole = WholeChunks(at, n);
  uint32_t i = at;
  const uint32_t end = at + n;
  for (uint32_t c = whole.first; c < whole.first + whole.count; ++c) {
    const uint32_t from = c * kSilentChunk;
    if (!SilentChunk(marks, c)) continue;
    ZeroWords(ring + i, from - i);
    i = from + kSilentChunk;
  }
  ZeroWords(ring + i, end - i);
  for (uint32_t c = whole.first; c < whole.first + whole.count; ++c)
    marks[c / 32].fetch_or(1u << (c & 31), std::memory_order_relaxed);
}

// Disk audio and fades of one piece into the layer's ring. Pieces are cut
// where the loop folds, where a disk segment ends and at the ring's end.
void LoadPiece(TrackChannel& ch, uint32_t layer, const FillPiece& piece, WorkerSide side) {
  PlayLayer& pl = ch.layer[layer];
  uint32_t* ring = ch.ring[layer];
  const uint32_t cursor = piece.forward ? 0 : 1;
  uint32_t done = 0;
  while (done < piece.count) {
    const int64_t e = piece.from + done;
    const Folded f = Fold(ch, e);
    const SegSpan span = SegFind(pl.disk, cursor, f.t);
    const uint32_t at = RecRingIndex(e);
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(
        {int64_t{piece.count} - done, int64_t{kRecRingSamples} - at, span.end - f.t, f.run}));
    const bool silent = span.seg == nullptr || span.seg->kind == 0;
    if (!silent) Unmark(pl.silent, at, n);
    if (silent || !LoadAudio(ch, pl, cursor, side, *span.seg, f.t, f.t - span.start, ring, at, n)) {
      // Silence stays silence under any fade: the fade is skipped.
      ZeroRange(pl.silent, ring, at, n);
      if (!silent) ch.diskError.store(span.seg->kind);
    }
    done += n;
  }
}

void PublishPiece(TrackChannel& ch, PlayLayer& pl, const FillPiece& piece) {
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  const int64_t end = piece.from + piece.count;
  if (piece.forward) {
    pl.fill.Set(end);
    pl.back.Set(std::max(pl.back.Get(), end - kRecRingSamples));
  } else {
    pl.back.Set(piece.from);
    pl.fill.Set(std::min(pl.fill.Get(), piece.from + kRecRingSamples));
  }
}

// Recorded audio of [from, from + n) to the record list's Takes; time line
// stretches of silence entries are not recorded.
void StorePiece(TrackChannel& ch, int64_t from, uint32_t n, WorkerSide side) {
  uint32_t done = 0;
  while (done < n) {
    const int64_t e = from + done;
    const Folded f = Fold(ch, e);
    const SegSpan span = SegFind(ch.rec, 0, f.t);
    const uint32_t at = RecRingIndex(e);
    const uint32_t k = static_cast<uint32_t>(
        std::min<int64_t>({int64_t{n} - done, int64_t{kRecRingSamples} - at, span.end - f.t, f.run}));
    if (span.seg != nullptr && span.seg->kind != 0 &&
        !Transfer(ch, side, ch.disk.write, *span.seg, f.t - span.start, ch.ring[2] + at, k))
      ch.diskError.store(span.seg->kind);
    done += k;
  }
}

void ResetPositions(TrackChannel& ch, int64_t location) {
  for (PlayLayer& pl : ch.layer) {
    pl.fill.Set(location);
    pl.back.Set(location);
  }
  ch.read.Exchange(location);
  ch.captured.Set(location);
  ch.written.Set(location);
  ch.recFrom.Set(location);
  ch.start.Set(location);
  ch.rec.cursor[0] = ch.rec.cursor[1] = 0;
}

}  // namespace

bool ChannelBind(TrackChannel& ch, const RecorderDiskCallbacks& disk, uint8_t* transfer,
                 std::mutex* transferLocks) {
  if (transfer == nullptr || transferLocks == nullptr) return false;
  ch.disk = disk;
  ch.transfer = transfer;
  ch.transferLocks = transferLocks;
  ChannelSetFullRange(ch);
  ChannelSetStreamEnd(ch, kEndOfTime);
  return true;
}

bool ChannelGetBuffers(TrackChannel& ch) {
  std::lock_guard<std::mutex> lists(ch.listLock);
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  for (int i = 0; i < 3; ++i) {
    if (ch.ring[i] != nullptr) continue;
    ch.ring[i] = static_cast<uint32_t*>(NatCommit(kRecRingBytes));
    if (ch.ring[i] == nullptr) return false;
    ch.ringsLocked[i] = NatLock(ch.ring[i], kRecRingBytes);
    if (!ch.ringsLocked[i]) return false;
    // A new ring is committed zeroed: a play ring starts all silent.
    if (i < 2)
      for (std::atomic<uint32_t>& word : ch.layer[i].silent) word.store(~0u, std::memory_order_relaxed);
  }
  return true;
}

void ChannelFreeBuffers(TrackChannel& ch) {
  std::lock_guard<std::mutex> lists(ch.listLock);
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  for (int i = 0; i < 3; ++i) {
    if (ch.ringsLocked[i]) NatUnlock(ch.ring[i], kRecRingBytes);
    if (ch.ring[i] != nullptr) NatRelease(ch.ring[i], kRecRingBytes);
    ch.ring[i] = nullptr;
    ch.ringsLocked[i] = false;
  }
}

bool ChannelFillLayer(TrackChannel& ch, uint32_t layer, FillMode mode, WorkerSide side) {
  if (layer > 1 || ch.ring[layer] == nullptr) return false;
  if (mode == kFillPlay && !PlayFillDue(ch, ch.layer[layer])) return false;
  // The running fill loops skip a channel the other disk worker is filling;
  // a prefill waits for it, so that a prefill that ends has left every
  // channel full.
  std::unique_lock<std::mutex> lists(ch.listLock, std::defer_lock);
  if (mode == kFillPlay || mode == kFillScrub) {
    if (!lists.try_lock()) return false;
  } else {
    lists.lock();
  }
  PlayLayer& pl = ch.layer[layer];
  FillPiece piece{};
  {
    std::lock_guard<std::mutex> hold(ch.bufferLock);
    const bool scrub = mode == kFillScrubPrefill || mode == kFillScrub;
    if (!(scrub ? PlanScrubFill(ch, pl, &piece) : PlanPlayFill(ch, pl, &piece))) return false;
  }
  // The piece lies outside [back, fill), where no client reads, so it is
  // loaded without the buffer lock; the list lock keeps the lists and the
  // positions' owners (list replacement, prepare) out meanwhile.
  LoadPiece(ch, layer, piece, side);
  PublishPiece(ch, pl, piece);
  return true;
}

bool ChannelWriteRecorded(TrackChannel& ch, bool finish, WorkerSide side) {
  if (ch.ring[2] == nullptr) return false;
  // Nothing captured beyond what was written: no lock needed to know it.
  if (ch.captured.Get() <= ch.written.Get()) return false;
  std::unique_lock<std::mutex> lists(ch.listLock, std::defer_lock);
  if (finish) {
    lists.lock();
  } else if (!lists.try_lock()) {
    return false;
  }
  bool did = false;
  for (;;) {
    const int64_t from = ch.written.Get();
    const int64_t pending = ch.captured.Get() - from;
    if (pending <= 0 || (!finish && pending < ch.recBlock)) break;
    const uint32_t n = static_cast<uint32_t>(std::min<int64_t>(pending, ch.recBlock));
    StorePiece(ch, from, n, side);
    {
      std::lock_guard<std::mutex> hold(ch.bufferLock);
      ch.written.Set(from + n);
      ch.recBlock = std::min(kRecBlockMax, ch.recBlock * 2);
    }
    did = true;
    if (!finish) break;
  }
  return did;
}

bool ChannelReplaceList(TrackChannel& ch, ListKind which, int32_t count, const RecSeg* entries,
                        int64_t current) {
  std::lock_guard<std::mutex> lists(ch.listLock);
  SegList* list = which == kListRecord  ? &ch.rec
                  : which == kListDisk0 ? &ch.layer[0].disk
                  : which == kListDisk1 ? &ch.layer[1].disk
                  : which == kListFade0 ? &ch.layer[0].fade
                                        : &ch.layer[1].fade;
  const bool ok = SegListAssign(*list, count, entries);
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  if (which == kListRecord) {
    // Recorded audio not yet on disk near the head goes again through the
    // new list; never further back than the ring still holds.
    const int64_t w = ch.written.Get();
    const int64_t floor = std::max(ch.recFrom.Get(), ch.captured.Get() - kRecRingSamples);
    const int64_t pulled = std::min(w, std::max<int64_t>(current - kRecPullBack, 0));
    ch.written.Set(std::max(pulled, std::min(w, floor)));
    ch.recBlock = kRecBlockStart;
    return ok;
  }
  PlayLayer& pl = ch.layer[which == kListDisk0 || which == kListFade0 ? 0 : 1];
  const int64_t fill = std::min(pl.fill.Get(), current + kRefillWindow);
  pl.fill.Set(fill);
  pl.back.Set(std::min(fill, std::max(pl.back.Get(), current - kRefillWindow)));
  return ok;
}

void ChannelSetLoop(TrackChannel& ch, int64_t loopStart, int64_t loopEnd, int64_t end) {
  ch.loopStart.Exchange(loopStart);
  ch.loopEnd.Exchange(loopEnd);
  ch.end.Exchange(end);
}

void ChannelSetFullRange(TrackChannel& ch) { ChannelSetLoop(ch, 0, kEndOfTime, kEndOfTime); }

void ChannelSetStreamEnd(TrackChannel& ch, int64_t end) { ch.streamEnd.Exchange(end); }

void ChannelSetStart(TrackChannel& ch, int64_t location) {
  std::lock_guard<std::mutex> lists(ch.listLock);
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  ResetPositions(ch, location);
}

void ChannelClear(TrackChannel& ch) {
  std::lock_guard<std::mutex> lists(ch.listLock);
  SegListClear(ch.layer[0].disk);
  SegListClear(ch.layer[0].fade);
  SegListClear(ch.layer[1].disk);
  SegListClear(ch.layer[1].fade);
  SegListClear(ch.rec);
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  ResetPositions(ch, ch.read.Get());
}

int64_t ChannelPlayBuffered(TrackChannel& ch) {
  return std::min(ch.layer[0].fill.Get(), ch.layer[1].fill.Get()) - ch.read.Get();
}

int64_t ChannelRecordRoom(TrackChannel& ch) {
  return kRecRingSamples - (ch.captured.Get() - ch.written.Get());
}

void ChannelCopyRecordList(TrackChannel& to, TrackChannel& from) {
  if (&to == &from) return;
  std::scoped_lock both(to.listLock, from.listLock);
  const uint32_t n = SegCountToClosing(from.rec);
  if (n == 0) return;
  SegListAssign(to.rec, static_cast<int32_t>(n), from.rec.entries.data());
}
