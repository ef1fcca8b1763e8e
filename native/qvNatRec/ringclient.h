// A plain stream client for tests and benchmarks: it stands where a native
// track insert would, reading its channel's rings at the pace its caller
// chooses (Advance), summing the two play layers, recording input, moving
// the recorder's clock, and honouring the end, the loop and a stop request.
// A client made silent ignores stop requests, as a hung stream would.
#pragma once

#include <cstdint>
#include <mutex>

#include "native/qvNatRec/recclient.h"

// The two play layers' words of one sample added and clipped to 32 bits.
int32_t RingLayerSum(uint32_t a, uint32_t b);
// RingLayerSum of n pairs of words of two runs into `out`.
void RingLayerSumRun(const uint32_t* a, const uint32_t* b, int32_t* out, uint32_t n);

class RingClient : public RecorderClient {
 public:
  RingClient(Recorder* rec, int32_t track);
  ~RingClient() override;
  bool attached() const { return attached_; }
  void SetSilent(bool silent);

  // Plays up to `count` samples that the fill has made ready: the layers'
  // sum into `out` (when not null), `in` (when not null) into the record
  // ring. Stops at the end, the stop location or a full record ring; at the
  // end of the stream reports itself stopped and stops the disk workers.
  // Answers the number of samples played.
  uint32_t Advance(uint32_t count, int32_t* out, const int32_t* in);
  // Scrub: moves up to `count` samples toward the recorder's scrub target,
  // playing what the rings hold there (silence where they hold nothing).
  uint32_t ScrubStep(uint32_t count, int32_t* out);
  bool running();

  int64_t Location() override;
  int64_t ExpandedLocation() override;
  void SetEnd(int64_t end) override;
  void SetLoop(int32_t enable, int64_t loopStart, int64_t loopEnd, int64_t end) override;
  void Locate(int64_t location) override;
  void Start(bool timeCodeSlave, int32_t tcA, int32_t tcB) override;
  void StopAt(int64_t location) override;
  void Halt() override;
  bool IsStopped() override;
  void PrepareScrub(int32_t a, int32_t b) override;
  void Scrub() override;

 private:
  int64_t FoldLocked(int64_t expanded) const;
  int64_t LimitLocked() const;
  uint32_t Ready(int64_t from, uint32_t want, bool recording, int64_t* filled);
  void Play(uint32_t at, uint32_t n, int32_t* out) const;

  std::mutex lock_;
  Recorder* rec_;
  int32_t track_;
  bool attached_ = false;
  bool silent_ = false;
  bool running_ = false;
  bool stopped_ = true;
  bool scrubbing_ = false;
  int64_t expanded_ = 0;
  int64_t end_ = INT64_MAX;
  bool loop_ = false;
  int64_t loopStart_ = 0;
  int64_t loopEnd_ = INT64_MAX;
  int64_t stopAt_ = INT64_MAX;  // expanded location of a requested stop
  int64_t kicked_ = 0;          // where the disk workers were last woken
  RecorderChannelView view_{};
  const SilentMarks* silence_[2] = {nullptr, nullptr};  // none: both layers are always read
};
