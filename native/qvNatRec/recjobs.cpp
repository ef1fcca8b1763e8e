// The off-line jobs on the job channels: normalise scan, DC removal, render
// and noise-gate scan, one block per wake of the job worker. A job reads the
// sum of the channel's two faded play layers; the writing jobs put their
// result into the record ring, from where the play-side fill loop hands it to
// the record list's Takes.
#include <algorithm>
#include <cstdlib>

#include "native/qvNatRec/recobj.h"

namespace {

int32_t Clip32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The played sample at `pos`: both layers summed, clipped to 32 bits.
int32_t Played(const TrackChannel& ch, int64_t pos) {
  const uint32_t at = RecRingIndex(pos);
  return Clip32(int64_t{static_cast<int32_t>(ch.ring[0][at])} + static_cast<int32_t>(ch.ring[1][at]));
}

void Record(TrackChannel& ch, int64_t pos, int32_t v) {
  ch.ring[2][RecRingIndex(pos)] = static_cast<uint32_t>(v);
}

int64_t Magnitude(int64_t v) { return v < 0 ? -v : v; }

// A peak as the jobs report it: `shift` bits below the 32-bit word (16: the
// 16-bit scale of the normalise scan; 11: the 32 times finer scale of DC
// removal), at most 32 bits.
int32_t PeakOf(int64_t v, int shift) {
  return static_cast<int32_t>(std::min<int64_t>(Magnitude(v) >> shift, INT32_MAX));
}

void Captured(TrackChannel& ch, int64_t end) {
  std::lock_guard<std::mutex> hold(ch.bufferLock);
  ch.captured.Set(end);
}

void GateEmit(std::vector<RecGateOn>& list, int64_t start, int64_t end) {
  if (list.size() < kGateListMax) list.push_back({start, end});
}

}  // namespace

int64_t ChannelJobAvailable(TrackChannel& ch, int64_t pos, bool writes) {
  if (ch.ring[0] == nullptr) return 0;
  int64_t n = ChannelPlayBuffered(ch);
  if (std::max(ch.layer[0].back.Get(), ch.layer[1].back.Get()) > pos) return 0;
  if (writes) n = std::min(n, ChannelRecordRoom(ch));
  return std::max<int64_t>(n, 0);
}

int32_t ChannelPeakBlock(TrackChannel& ch, int64_t pos, uint32_t n, int32_t word, bool write) {
  int32_t peak = 0;
  for (uint32_t i = 0; i < n; ++i) {
    // word: the gain in 1/32768 (32768 = unity).
    const int64_t v = int64_t{Played(ch, pos + i)} * word / 32768;
    peak = std::max(peak, PeakOf(v, 16));
    if (write) Record(ch, pos + i, Clip32(v));
  }
  if (write) Captured(ch, pos + n);
  return peak;
}

int32_t ChannelDcBlock(TrackChannel& ch, int64_t pos, uint32_t n, int32_t word, bool write) {
  DcState& dc = ch.dc;
  int32_t peak = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const int64_t x = Played(ch, pos + i);
    // The filter starts on the first sample, so a constant offset does not
    // turn into a step at the start of the job.
    if (!dc.primed) {
      dc.x1 = x;
      dc.y1 = 0;
      dc.primed = true;
    }
    const int64_t y = ((x - dc.x1) * kDcGain + dc.y1 * kDcPole) >> 28;
    dc.x1 = x;
    dc.y1 = y;
    const int64_t v = y * word / 32768;
    peak = std::max(peak, PeakOf(v, 11));
    if (write) Record(ch, pos + i, Clip32(v));
  }
  if (write) Captured(ch, pos + n);
  return peak;
}

void ChannelRenderBlock(TrackChannel& ch, int64_t pos, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) Record(ch, pos + i, Played(ch, pos + i));
  Captured(ch, pos + n);
}

void ChannelGateBlock(TrackChannel& ch, int64_t pos, uint32_t n, const GateParams& p,
                      std::vector<RecGateOn>& list) {
  GateState& g = ch.gate;
  const int64_t hold = std::max<int64_t>(p.hold, 1);
  for (uint32_t i = 0; i < n; ++i) {
    const int64_t level = Magnitude(Played(ch, pos + i));
    if (!g.open) {
      if (level >= p.on) {
        g.open = true;
        g.openStart = pos + i;
        g.quiet = 0;
      }
    } else if (level >= p.off) {
      g.quiet = 0;
    } else if (++g.quiet >= hold) {
      // Closes at the first sample of the quiet stretch.
      GateEmit(list, g.openStart, pos + i + 1 - g.quiet);
      g.open = false;
    }
  }
}

void ChannelGateFinish(TrackChannel& ch, int64_t end, std::vector<RecGateOn>& list) {
  if (ch.gate.open) GateEmit(list, ch.gate.openStart, end);
  ch.gate = GateState{};
}

namespace {

bool JobWrites(Recorder& r, uint32_t job) {
  if (job == kRecJobRender) return true;
  return (job == kRecJobNormalise || job == kRecJobRemoveDc) && !r.scrubPrepared.load();
}

void ProcessBlock(Recorder& r, uint32_t job, TrackChannel& ch, int64_t pos, uint32_t n) {
  const bool write = JobWrites(r, job);
  int32_t peak = 0;
  switch (job) {
    case kRecJobNormalise:
      peak = ChannelPeakBlock(ch, pos, n, r.jobWord.load(), write);
      break;
    case kRecJobRemoveDc:
      peak = ChannelDcBlock(ch, pos, n, r.jobWord.load(), write);
      break;
    case kRecJobRender:
      ChannelRenderBlock(ch, pos, n);
      break;
    default:
      ChannelGateBlock(ch, pos, n, r.gate, r.gateList);
      break;
  }
  int32_t now = r.peak.load();
  while (peak > now && !r.peak.compare_exchange_weak(now, peak)) {
  }
}

// The job is done: the gate list is complete, and both disk workers are told
// to stop, which hands the last recorded block to disk and clears the state.
void FinishJob(Recorder& r, uint32_t job) {
  if (job == kRecJobNoiseGate) {
    const int32_t active = std::clamp<int32_t>(r.active.load(), 0, kRecTracks);
    for (int32_t c = 0; c < active; ++c) ChannelGateFinish(r.channels[c], r.jobEnd.Get(), r.gateList);
    r.gateListValid = true;
  }
  SignalDiskCommand(r, kPlaySide, 3);
  SignalDiskCommand(r, kRecordSide, 3);
}

}  // namespace

void RunJobBlock(Recorder& r, uint32_t job) {
  const uint32_t st = r.state[kPlaySide].load();
  if ((st & kRecStopBit) != 0 || (st & 0xFF) != job) return;
  const int64_t pos = r.jobPos.Get();
  const int64_t hold = r.hold.Get();
  const int64_t end = r.jobEnd.Get();
  if (pos >= end) {
    FinishJob(r, job);
    return;
  }
  if (pos >= hold) return;  // until RecorderSetAsyncHoldLoc moves the hold
  const int32_t active = std::clamp<int32_t>(r.active.load(), 0, kRecTracks);
  int64_t n = std::min<int64_t>({kJobBlock, end - pos, hold - pos});
  for (int32_t c = 0; c < active; ++c)
    n = std::min(n, ChannelJobAvailable(r.channels[c], pos, JobWrites(r, job)));
  if (n > 0) {
    for (int32_t c = 0; c < active; ++c) {
      ProcessBlock(r, job, r.channels[c], pos, static_cast<uint32_t>(n));
      r.channels[c].read.Set(pos + n);
    }
    r.jobPos.Exchange(pos + n);
  }
  if (pos + n >= end) {
    FinishJob(r, job);
  } else if (pos + n < hold) {
    SignalDiskCommand(r, kPlaySide, 2);  // refill behind the block, then the next block
  }
}
