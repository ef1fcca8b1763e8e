// The time module's sample processing: the raised-cosine crossfade table,
// the similarity search, fitting a piece into a longer or shorter span, the
// time-domain stretcher's block driver, the polyphase windowed-sinc filter
// and resampler. Samples are 32-bit words; every product of a sample and a
// table value, and of positions and ratios, is computed in 64 bits.
#pragma once

#include <cstdint>
#include <vector>

namespace tmod {

inline constexpr int kXfadeLen = 220;
inline constexpr int32_t kXfadeOne = 1 << 23;
// Entry i = floor(2^23 (1 - cos(pi (i + 1) / 220)) / 2), exactly.
extern const int32_t kXfadeTable[kXfadeLen];

// Best offset in lo..hi for the reference ref[0..n) against sig[k..k + n)
// (sum of absolute differences, 64-bit, a candidate's sum abandoned once it
// passes the best so far): a coarse pass every `step`, then every offset
// within `step` of the best. Ties go to the largest tying offset below the
// preferred offset, else the smallest at or above it. *preferred receives
// the best offset; the result is its cost. The caller keeps sig[hi + n - 1]
// inside its buffer.
int64_t TmSearch(const int32_t* ref, const int32_t* sig, int32_t n, int32_t lo, int32_t hi,
                 int32_t step, int32_t* preferred);

// Fits a source of a samples into n output samples: copied when n = a; a
// longer output plays the source's last n - a samples again after a
// crossfade; a shorter one crossfades into the source's last samples so
// that it ends with the source's end.
void TmFitPiece(const int32_t* src, int32_t a, int32_t* out, int32_t n);

// One block of the stretcher. in[c] and out[c] are the channels' buffers,
// analysis the signal the search runs on (channel 0's input for a single
// channel). A and B are the input and output positions of the block's
// first samples, avail the input samples in the buffers, room the output
// room, g : h the ratio old length : new length.
struct TmStretchBlock {
  int32_t channels;
  int32_t* const* in;
  int32_t* const* out;
  const int32_t* analysis;
  int64_t A;
  int64_t B;
  int32_t avail;
  int32_t room;
  int64_t g;
  int64_t h;
};
struct TmStretchResult {
  int32_t used;
  int32_t written;
};
inline constexpr int32_t kStretchCandidates = 4;
inline constexpr int32_t kStretchStepPct = 75;
inline constexpr int32_t kStretchSegment = 1500;
inline constexpr int32_t kStretchRange = 600;
inline constexpr int32_t kStretchCoarse = 5;
TmStretchResult TmStretch(const TmStretchBlock& b);

// Sums the channels sample by sample into dst, each shifted right by
// ceil(log2(channels)) bits so that the sum cannot overflow.
void TmAnalysisSignal(int32_t channels, const int32_t* const* in, int32_t n, int32_t* dst);

inline constexpr int32_t kResTaps = 32;
inline constexpr int32_t kResPhases = 1008;

// The resampling filter for input length a and output length e: 1008 phases
// of 32 taps, a windowed sinc with its pass band at 200/441 of the input
// rate (scaled down by the ratio when the output is shorter).
std::vector<double> TmDesignFilter(int64_t a, int64_t e);

// The polyphase resampler from input length a to output length e. Its
// state runs across the blocks of one run; a block at input position 0
// starts it afresh.
class TmResampler {
 public:
  TmResampler(const double* filter, int64_t a, int64_t e);
  // c: input position of in[.][0]; n: input samples available; room: output
  // room. used: the input index of the last sample produced (0 when none),
  // where the next block starts.
  TmStretchResult Run(int32_t channels, const int32_t* const* in, int64_t c, int32_t n,
                      int32_t* const* out, int32_t room);

 private:
  const double* h_;
  int64_t e_;
  int64_t step_;
  int64_t stepRem_;
  int64_t phase_ = 0;
  int64_t rem_ = 0;
  int64_t index_ = 0;
};

}  // namespace tmod
