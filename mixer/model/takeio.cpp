#include "mixer/model/takeio.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

#include "mixer/model/options.h"
#include "mixer/model/take.h"

namespace {

// A ring the transfer may touch: present, not empty, the start inside it.
bool RingUsable(const uint32_t* ring, uint32_t ringLen, uint32_t start) {
  return ring != nullptr && ringLen != 0 && start < ringLen;
}

// Splits `count` ring words from `start` into contiguous runs and calls
// fn(ring index, index within the transfer, run length) for each; a count
// above the ring length simply goes round again.
template <class Fn>
void ForEachRun(uint32_t ringLen, uint32_t start, uint32_t count, Fn fn) {
  uint32_t done = 0;
  uint32_t at = start;
  while (done < count) {
    const uint32_t n = std::min(count - done, ringLen - at);
    fn(at, done, n);
    done += n;
    at = 0;
  }
}

// Bytes per sample of an Audio Take, 0 for anything the transfer cannot
// pack (another kind, or damaged kind words).
uint32_t SampleBytes(const TakeRec& take) {
  if (take.kind != kTakeAudio) return 0;
  return take.word4 == 2 || take.word4 == 3 ? take.word4 : 0;
}

// Samples that fit between `position` and the end of the data, at most `want`.
uint32_t SamplesLeft(const TakeRec& take, uint32_t bytesPerSample, uint64_t position,
                     uint32_t want) {
  const uint64_t inFile = take.dataEnd / bytesPerSample;
  if (position >= inFile) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(want, inFile - position));
}

// The Take's transfer handle, opened on demand. A handle kept open across
// calls may serve a later write, so it is opened for writing when possible.
bool EnsureOpen(TakeRec& take, bool forWrite) {
  if (take.file != kFioInvalid) return true;
  if (forWrite || KeepTakesOpen) take.file = FioOpen(take.path, kFioReadWrite);
  if (take.file == kFioInvalid && !forWrite) take.file = FioOpen(take.path, kFioRead);
  return take.file != kFioInvalid;
}

void CloseUnlessKept(TakeRec& take) {
  if (!KeepTakesOpen) TakeCloseHandle(&take);
}

uint64_t SampleOffset(uint64_t position, uint32_t bytesPerSample) {
  return kTakeDataOffset + position * bytesPerSample;
}

// File bytes a kept handle's view shows at most: many transfers' worth, and
// small enough for the recorder's 128 Takes streaming at once in a 32-bit
// address space (256 MB of views in all).
constexpr uint32_t kViewWindow = 2u << 20;

// The `bytes` bytes from file offset `offset` in a kept handle's view,
// mapping a new window of kViewWindow bytes when the present one does not
// hold them all. *shown receives how many the view holds (fewer where the
// file ends before them). Null when there is no view: a handle closed after
// each transfer (its map and unmap measured slower than a read at every
// transfer size, native build), a request too long for a window, a file
// that ends before the offset, or the system refused; the caller then
// reads. A window is cut at the file's size when it is made, so a file
// shorter than its header reads short, as a read would; a request past a
// window's cut end maps afresh.
// A window's pages are faulted in as the unpack reaches them. Setting them
// all up when the window is mapped, setting up each request's pages before
// its unpack, or asking the system to read ahead measured no faster (native
// build): the work per page (mapping it, unmapping it) stays the same, and
// it is most of what a transfer through a window costs beyond its unpack.
const uint8_t* ViewOf(TakeRec& take, uint64_t offset, uint32_t bytes, uint32_t* shown) {
  if (!KeepTakesOpen) return nullptr;
  FioView& view = take.view;
  if (view.data == nullptr || offset < view.offset || offset + bytes > view.offset + view.size) {
    FioUnmapView(&view);
    const uint64_t start = offset - offset % kFioViewAlign;
    if (offset + bytes - start > kViewWindow) return nullptr;
    if (!FioMapView(take.file, start, kViewWindow, &view)) return nullptr;
  }
  const uint64_t end = view.offset + view.size;
  *shown = offset < end ? static_cast<uint32_t>(std::min<uint64_t>(bytes, end - offset)) : 0;
  return view.data + (offset < end ? offset - view.offset : 0);
}

// What a read under the Take's lock found.
struct LockedRead {
  uint32_t samples = 0;         // whole samples read
  uint32_t bytesPerSample = 0;
  bool inScratch = false;       // left in the scratch buffer, not yet unpacked
};

// The file access of a read, under the Take's lock. Samples shown by the
// Take's view are unpacked into the ring here, while the lock keeps the
// view; samples read into the scratch buffer are left there, to be unpacked
// after the lock is released. 0 when nothing could be read.
int ReadLocked(TakeRec& take, uint64_t position, uint32_t want, void* scratch, uint32_t* ring,
               uint32_t ringLen, uint32_t ringStart, LockedRead* read) {
  const uint32_t bytesPerSample = SampleBytes(take);
  read->bytesPerSample = bytesPerSample;
  if (take.path[0] == '\0' || want == 0 || bytesPerSample == 0 || scratch == nullptr) return 0;
  if (!EnsureOpen(take, false)) return 0;
  // The data end bounds the request, so its byte count fits in 32 bits.
  const uint32_t n = SamplesLeft(take, bytesPerSample, position, want);
  if (n != 0) {
    const uint64_t offset = SampleOffset(position, bytesPerSample);
    uint32_t got = 0;
    if (const uint8_t* shown = ViewOf(take, offset, n * bytesPerSample, &got)) {
      read->samples = got / bytesPerSample;
      RingUnpackSamples(shown, read->samples, bytesPerSample, ring, ringLen, ringStart);
    } else {
      if (!FioReadAt(take.file, offset, scratch, n * bytesPerSample, &got)) {
        TakeCloseHandle(&take);
        return 0;
      }
      read->samples = got / bytesPerSample;
      read->inScratch = true;
    }
  }
  CloseUnlessKept(take);
  return 1;
}

uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void Store2(uint32_t* out, uint32_t low, uint32_t high) {
  const uint64_t v = uint64_t{high} << 32 | low;
  std::memcpy(out, &v, sizeof v);
}

// 24-bit samples to left-justified words, eight samples (24 bytes) per step
// from three 64-bit little-endian loads, the words stored in pairs.
void Unpack24Scalar(const uint8_t* in, uint32_t n, uint32_t* out) {
  static_assert(std::endian::native == std::endian::little);
  constexpr uint32_t kTop24 = 0xFFFFFF00u;
  uint32_t i = 0;
  for (; i + 8 <= n; i += 8, in += 24) {
    const uint64_t a = Load64(in);       // bytes 0..7: samples 0, 1 and two bytes of 2
    const uint64_t b = Load64(in + 8);   // bytes 8..15: the rest of 2, samples 3, 4, a byte of 5
    const uint64_t c = Load64(in + 16);  // bytes 16..23: the rest of 5, samples 6, 7
    Store2(out + i, static_cast<uint32_t>(a << 8) & kTop24, static_cast<uint32_t>(a >> 16) & kTop24);
    Store2(out + i + 2,
           (static_cast<uint32_t>(a >> 40) & 0x00FFFF00u) | static_cast<uint32_t>(b << 24),
           static_cast<uint32_t>(b) & kTop24);
    Store2(out + i + 4, static_cast<uint32_t>(b >> 24) & kTop24,
           (static_cast<uint32_t>(b >> 48) & 0x0000FF00u) | static_cast<uint32_t>(c << 16));
    Store2(out + i + 6, static_cast<uint32_t>(c >> 8) & kTop24,
           static_cast<uint32_t>(c >> 32) & kTop24);
  }
  for (; i < n; ++i, in += 3)
    out[i] = uint32_t{in[0]} << 8 | uint32_t{in[1]} << 16 | uint32_t{in[2]} << 24;
}

#if defined(__i386__) || defined(__x86_64__)
// The same with byte shuffles: four samples (12 bytes) become four words
// per shuffle, each word a zero low byte under the sample's three bytes.
// Each load reads 16 bytes for 12, so the vector loop stops while 16 bytes
// are still inside the input; the scalar loop finishes. Returns the samples
// done.
__attribute__((target("ssse3"))) uint32_t Unpack24Shuffle(const uint8_t* in, uint32_t n,
                                                           uint32_t* out) {
  const __m128i spread = _mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
  uint32_t i = 0;
  for (; i + 18 <= n; i += 16) {
    const uint8_t* p = in + size_t{i} * 3;
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 24));
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 36));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_shuffle_epi8(a, spread));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_shuffle_epi8(b, spread));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_shuffle_epi8(c, spread));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 12), _mm_shuffle_epi8(d, spread));
  }
  return i;
}

// Eight samples per shuffle with 32-byte vectors: bytes 0..15 fill the low
// half and bytes 12..27 the high half, then each half spreads its first 12
// bytes as above. Two 16-byte loads per eight samples.
__attribute__((target("avx2"))) inline void Spread8(const uint8_t* in, uint32_t* out) {
  const __m256i spread = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                          -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
  const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_shuffle_epi8(v, spread));
}

// 32 samples (96 bytes) per step, then 16 per step; the last load of a step
// ends at byte 3i + 3 x (samples per step) + 4, never past 3n.
// No software prefetch: asking for bytes ahead measured slower when the
// input is a view of a file's pages.
__attribute__((target("avx2"))) uint32_t Unpack24Wide(const uint8_t* in, uint32_t n,
                                                      uint32_t* out) {
  uint32_t i = 0;
  for (; i + 34 <= n; i += 32) {
    const uint8_t* p = in + size_t{i} * 3;
    Spread8(p, out + i);
    Spread8(p + 24, out + i + 8);
    Spread8(p + 48, out + i + 16);
    Spread8(p + 72, out + i + 24);
  }
  for (; i + 18 <= n; i += 16) {
    const uint8_t* p = in + size_t{i} * 3;
    Spread8(p, out + i);
    Spread8(p + 24, out + i + 8);
  }
  return i;
}

bool HasShuffle() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

bool HasWideShuffle() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

// 16-bit samples to left-justified words, eight per step where the
// processor has 16-byte vectors.
void Unpack16(const uint8_t* in, uint32_t n, uint32_t* out) {
  uint32_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + size_t{i} * 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi16(zero, v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), _mm_unpackhi_epi16(zero, v));
  }
#endif
  for (; i < n; ++i) out[i] = uint32_t{in[2 * i]} << 16 | uint32_t{in[2 * i + 1]} << 24;
}

// 24-bit samples to left-justified words: the hot loop of playback.
void Unpack24(const uint8_t* in, uint32_t n, uint32_t* out) {
  uint32_t done = 0;
#if defined(__i386__) || defined(__x86_64__)
  if (HasWideShuffle()) done = Unpack24Wide(in, n, out);
  else if (HasShuffle()) done = Unpack24Shuffle(in, n, out);
#endif
  Unpack24Scalar(in + size_t{done} * 3, n - done, out + done);
}

}  // namespace

void RingFillSilence(uint32_t* ring, uint32_t ringLen, uint32_t start, uint32_t count) {
  if (!RingUsable(ring, ringLen, start)) return;
  ForEachRun(ringLen, start, count,
             [&](uint32_t at, uint32_t, uint32_t n) { std::fill_n(ring + at, n, 0u); });
}

void RingUnpackSamples(const uint8_t* src, uint32_t count, uint32_t bytesPerSample,
                       uint32_t* ring, uint32_t ringLen, uint32_t start) {
  if (!RingUsable(ring, ringLen, start) || src == nullptr) return;
  ForEachRun(ringLen, start, count, [&](uint32_t at, uint32_t from, uint32_t n) {
    uint32_t* out = ring + at;
    if (bytesPerSample == 3) Unpack24(src + static_cast<size_t>(from) * 3, n, out);
    else Unpack16(src + static_cast<size_t>(from) * 2, n, out);
  });
}

void RingPackSamples(const uint32_t* ring, uint32_t ringLen, uint32_t start, uint32_t count,
                     uint32_t bytesPerSample, uint8_t* dst) {
  if (!RingUsable(ring, ringLen, start) || dst == nullptr) return;
  ForEachRun(ringLen, start, count, [&](uint32_t at, uint32_t to, uint32_t n) {
    const uint32_t* in = ring + at;
    if (bytesPerSample == 3) {
      uint8_t* out = dst + static_cast<size_t>(to) * 3;
      for (uint32_t i = 0; i < n; ++i, out += 3) {
        out[0] = static_cast<uint8_t>(in[i] >> 8);
        out[1] = static_cast<uint8_t>(in[i] >> 16);
        out[2] = static_cast<uint8_t>(in[i] >> 24);
      }
    } else {
      uint8_t* out = dst + static_cast<size_t>(to) * 2;
      for (uint32_t i = 0; i < n; ++i, out += 2) {
        out[0] = static_cast<uint8_t>(in[i] >> 16);
        out[1] = static_cast<uint8_t>(in[i] >> 24);
      }
    }
  });
}

int TakeReadSamples(TakeRec* take, uint64_t position, int32_t count, uint32_t* ring,
                    uint32_t ringLen, uint32_t ringStart, void* scratch) {
  const uint32_t want = count > 0 ? static_cast<uint32_t>(count) : 0;
  LockedRead read;
  int ok = 0;
  if (take != nullptr && RingUsable(ring, ringLen, ringStart)) {
    std::lock_guard<std::mutex> guard(take->lock);
    ok = ReadLocked(*take, position, want, scratch, ring, ringLen, ringStart, &read);
  }
  if (!ok) {
    RingFillSilence(ring, ringLen, ringStart, want);
    return 0;
  }
  // The scratch buffer and the ring are the caller's: unpacking from the
  // scratch buffer needs no lock.
  if (read.inScratch)
    RingUnpackSamples(static_cast<const uint8_t*>(scratch), read.samples, read.bytesPerSample,
                      ring, ringLen, ringStart);
  RingFillSilence(ring, ringLen,
                  static_cast<uint32_t>((uint64_t{ringStart} + read.samples) % ringLen),
                  want - read.samples);
  return 1;
}

int TakeWriteSamples(TakeRec* take, uint64_t position, int32_t count, uint32_t* ring,
                     uint32_t ringLen, uint32_t ringStart, void* scratch) {
  if (take == nullptr) return 0;
  std::lock_guard<std::mutex> guard(take->lock);
  if (take->path[0] == '\0') return 0;
  const uint32_t bytesPerSample = SampleBytes(*take);
  if (bytesPerSample == 0) return 0;
  const uint32_t n =
      SamplesLeft(*take, bytesPerSample, position, count > 0 ? static_cast<uint32_t>(count) : 0);
  if (n == 0) return 1;  // writes never extend a Take: its size is fixed at creation
  if (!RingUsable(ring, ringLen, ringStart) || scratch == nullptr) return 0;
  if (!EnsureOpen(*take, true)) return 0;
  RingPackSamples(ring, ringLen, ringStart, n, bytesPerSample, static_cast<uint8_t*>(scratch));
  const uint64_t offset = SampleOffset(position, bytesPerSample);
  if (!FioSeek(take->file, offset) || !FioWrite(take->file, scratch, n * bytesPerSample)) {
    TakeCloseHandle(take);
    return 0;
  }
  // The view would show the new bytes too, but a read after a write maps
  // afresh rather than rely on that.
  const FioView& view = take->view;
  if (offset < view.offset + view.size && view.offset < offset + n * bytesPerSample)
    FioUnmapView(&take->view);
  CloseUnlessKept(*take);
  return 1;
}
