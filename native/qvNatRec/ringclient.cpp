#include "native/qvNatRec/ringclient.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// The two layers' words added and clipped to 32 bits, in 32-bit operations
// only so that the run loop below vectorises: the sum overflowed when both
// words differ in sign from it, and then clips to the first word's side.
int32_t SumWords(uint32_t a, uint32_t b) {
  const uint32_t sum = a + b;
  const uint32_t overflow = static_cast<uint32_t>(static_cast<int32_t>((a ^ sum) & (b ^ sum)) >> 31);
  const uint32_t clipped = static_cast<uint32_t>(static_cast<int32_t>(a) >> 31) ^ 0x7FFFFFFFu;
  return static_cast<int32_t>((sum & ~overflow) | (clipped & overflow));
}

#if defined(__i386__) || defined(__x86_64__)
// SumWords eight words per step with 32-byte vectors; returns the words done.
__attribute__((target("avx2"))) uint32_t SumRunWide(const uint32_t* a, const uint32_t* b,
                                                    int32_t* out, uint32_t n) {
  const __m256i maxWord = _mm256_set1_epi32(0x7FFFFFFF);
  uint32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    const __m256i sum = _mm256_add_epi32(x, y);
    const __m256i overflow = _mm256_srai_epi32(
        _mm256_and_si256(_mm256_xor_si256(x, sum), _mm256_xor_si256(y, sum)), 31);
    const __m256i clipped = _mm256_xor_si256(_mm256_srai_epi32(x, 31), maxWord);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_blendv_epi8(sum, clipped, overflow));
  }
  return i;
}

bool HasWideVectors() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

// Asks for every cache line of n ring words at once. The fill streams the
// rings past the cache, so a run is read from memory; requested together,
// its lines arrive in parallel instead of one page's worth at a time as the
// processor's own prefetch finds them.
void PrefetchRun(const uint32_t* a, uint32_t n) {
  constexpr uint32_t kLineWords = 16;
  for (uint32_t i = 0; i < n; i += kLineWords) __builtin_prefetch(a + i);
}

// One layer's words as the played sum, or zeros with a null layer. The
// library's block copy reads the ring's words at close to the memory's speed,
// where the compiler's own loop, four words at a time, waits on each line in
// turn.
void CopyRun(const uint32_t* a, int32_t* out, uint32_t n) {
  if (a == nullptr) {
    std::memset(out, 0, size_t{n} * sizeof(int32_t));
    return;
  }
  std::memcpy(out, a, size_t{n} * sizeof(int32_t));
}

}  // namespace

int32_t RingLayerSum(uint32_t a, uint32_t b) { return SumWords(a, b); }

// The compiler vectorises the plain loop four words wide at best; with
// 32-byte vectors where the processor has them the layer sum, which every
// played sample of every track goes through, takes half the instructions.
void RingLayerSumRun(const uint32_t* a, const uint32_t* b, int32_t* out, uint32_t n) {
  uint32_t i = 0;
#if defined(__i386__) || defined(__x86_64__)
  if (HasWideVectors()) i = SumRunWide(a, b, out, n);
#endif
  for (; i < n; ++i) out[i] = SumWords(a[i], b[i]);
}

RingClient::RingClient(Recorder* rec, int32_t track) : rec_(rec), track_(track) {
  attached_ = RecorderAttachClient(rec, this, track) != 0 &&
              RecorderGetChannelView(rec, track, &view_) != 0;
  if (attached_ && RecorderGetSilentMarks(rec, track, silence_) == 0) silence_[0] = silence_[1] = nullptr;
}

// The played sum of ring words [at, at + n), which do not wrap. Where the
// silent marks show a layer's chunk silent the other layer is the sum (a
// word plus zero never clips), so a silent layer is not read at all.
void RingClient::Play(uint32_t at, uint32_t n, int32_t* out) const {
  const uint32_t end = at + n;
  while (at < end) {
    bool quiet[2] = {false, false};
    uint32_t to = end;
    if (silence_[0] != nullptr) {
      // The run of chunks from here on whose marks agree with this one's.
      uint32_t c = at / kSilentChunk;
      quiet[0] = SilentChunk(*silence_[0], c);
      quiet[1] = SilentChunk(*silence_[1], c);
      for (++c; c * kSilentChunk < end; ++c)
        if (SilentChunk(*silence_[0], c) != quiet[0] || SilentChunk(*silence_[1], c) != quiet[1]) break;
      to = std::min(end, c * kSilentChunk);
    }
    const uint32_t k = to - at;
    for (int layer = 0; layer < 2; ++layer)
      if (!quiet[layer]) PrefetchRun(view_.play[layer] + at, k);
    if (quiet[0] && quiet[1]) CopyRun(nullptr, out, k);
    else if (quiet[1]) CopyRun(view_.play[0] + at, out, k);
    else if (quiet[0]) CopyRun(view_.play[1] + at, out, k);
    else RingLayerSumRun(view_.play[0] + at, view_.play[1] + at, out, k);
    out += k;
    at = to;
  }
}

RingClient::~RingClient() {
  if (attached_) RecorderDetachClient(rec_, this);
}

void RingClient::SetSilent(bool silent) {
  std::lock_guard<std::mutex> hold(lock_);
  silent_ = silent;
}

int64_t RingClient::FoldLocked(int64_t expanded) const {
  if (!loop_ || expanded < loopEnd_) return expanded;
  return loopStart_ + (expanded - loopEnd_) % (loopEnd_ - loopStart_);
}

// The expanded location where this stream ends.
int64_t RingClient::LimitLocked() const {
  const int64_t end = loop_ && end_ > loopEnd_ ? INT64_MAX : end_;
  return std::min(end, stopAt_);
}

// Samples from `from` that both layers hold (and the record ring has room
// for), at most `want`; `filled` is where the layers are both filled up to.
uint32_t RingClient::Ready(int64_t from, uint32_t want, bool recording, int64_t* filled) {
  int64_t n = want;
  *filled = INT64_MAX;
  for (int32_t layer = 0; layer < 2; ++layer) {
    int64_t back = 0, fill = 0;
    RecorderLayerSpan(rec_, track_, layer, &back, &fill);
    n = back > from ? 0 : std::min(n, fill - from);
    *filled = std::min(*filled, fill);
  }
  if (recording) n = std::min(n, RecorderGetWritten(rec_, track_) + kRecRingSamples - from);
  return static_cast<uint32_t>(std::max<int64_t>(n, 0));
}

uint32_t RingClient::Advance(uint32_t count, int32_t* out, const int32_t* in) {
  bool ended = false;
  bool kick = false;
  uint32_t n = 0;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!running_ || !attached_) return 0;
    const int64_t limit = LimitLocked();
    n = static_cast<uint32_t>(std::clamp<int64_t>(limit - expanded_, 0, count));
    int64_t filled = 0;
    n = Ready(expanded_, n, in != nullptr, &filled);
    // Run by run up to the rings' end, so the inner loops are plain.
    for (uint32_t done = 0; done < n;) {
      const uint32_t at = RecRingIndex(expanded_ + done);
      const uint32_t run = std::min(n - done, kRecRingSamples - at);
      if (out != nullptr) Play(at, run, out + done);
      if (in != nullptr) std::memcpy(view_.record + at, in + done, size_t{run} * sizeof(uint32_t));
      done += run;
    }
    expanded_ += n;
    RecorderSetReadPosition(rec_, track_, expanded_);
    if (in != nullptr) RecorderSetCaptured(rec_, track_, expanded_);
    if (expanded_ >= limit) {
      running_ = false;
      stopped_ = true;
      ended = true;
    }
    // The fill refills whole blocks, and keeps far more than kWakeSpan
    // buffered: waking it for less is wasted. Nor is it woken for a stream
    // filled to its end, unless it is to take recorded audio to disk: each
    // wake costs the disk workers a pass over every channel and the stream
    // thread two switches to them and back.
    const bool fillDone = in == nullptr && filled >= limit;
    kick = n == 0 || (expanded_ - kicked_ >= kWakeSpan && !fillDone);
    if (kick) kicked_ = expanded_;
  }
  if (kick) RecorderKickFill(rec_, false);
  if (ended) RecorderClientEnded(rec_);
  return n;
}

uint32_t RingClient::ScrubStep(uint32_t count, int32_t* out) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!scrubbing_ || !attached_) return 0;
    int32_t speed = 0;
    const int64_t target = RecorderGetScrubTarget(rec_, &speed);
    const int64_t step = std::min<int64_t>(count, target > expanded_ ? target - expanded_ : expanded_ - target);
    const int64_t dir = target >= expanded_ ? 1 : -1;
    for (int64_t i = 0; i < step; ++i) {
      const int64_t pos = expanded_ + dir * i;
      int64_t back = 0, fill = 0;
      RecorderLayerSpan(rec_, track_, 0, &back, &fill);
      const uint32_t at = RecRingIndex(pos);
      if (out != nullptr) out[i] = pos >= back && pos < fill ? SumWords(view_.play[0][at], view_.play[1][at]) : 0;
    }
    expanded_ += dir * step;
    RecorderSetReadPosition(rec_, track_, expanded_);
    count = static_cast<uint32_t>(step);
  }
  RecorderKickFill(rec_, true);
  return count;
}

bool RingClient::running() {
  std::lock_guard<std::mutex> hold(lock_);
  return running_;
}

int64_t RingClient::Location() {
  std::lock_guard<std::mutex> hold(lock_);
  return FoldLocked(expanded_);
}

int64_t RingClient::ExpandedLocation() {
  std::lock_guard<std::mutex> hold(lock_);
  return expanded_;
}

void RingClient::SetEnd(int64_t end) {
  std::lock_guard<std::mutex> hold(lock_);
  end_ = end;
}

void RingClient::SetLoop(int32_t enable, int64_t loopStart, int64_t loopEnd, int64_t end) {
  std::lock_guard<std::mutex> hold(lock_);
  loop_ = enable != 0;
  loopStart_ = loop_ ? loopStart : 0;
  loopEnd_ = loop_ ? loopEnd : INT64_MAX;
  end_ = end;
}

void RingClient::Locate(int64_t location) {
  std::lock_guard<std::mutex> hold(lock_);
  expanded_ = location;
  kicked_ = location;
  stopAt_ = INT64_MAX;
  RecorderSetReadPosition(rec_, track_, location);
}

void RingClient::Start(bool, int32_t, int32_t) {
  std::lock_guard<std::mutex> hold(lock_);
  running_ = true;
  stopped_ = false;
  scrubbing_ = false;
  stopAt_ = INT64_MAX;
}

// The stop location is on the time line; with a loop the stream stops when
// it next gets there, or at once when it is already past it.
void RingClient::StopAt(int64_t location) {
  std::lock_guard<std::mutex> hold(lock_);
  if (silent_) return;
  stopAt_ = expanded_ + std::max<int64_t>(0, location - FoldLocked(expanded_));
  if (!running_) stopped_ = true;
}

void RingClient::Halt() {
  std::lock_guard<std::mutex> hold(lock_);
  running_ = false;
  scrubbing_ = false;
  stopped_ = true;
}

bool RingClient::IsStopped() {
  std::lock_guard<std::mutex> hold(lock_);
  return stopped_;
}

void RingClient::PrepareScrub(int32_t, int32_t) {}

void RingClient::Scrub() {
  std::lock_guard<std::mutex> hold(lock_);
  scrubbing_ = true;
  stopped_ = false;
}
