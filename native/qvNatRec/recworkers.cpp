// The three workers of a recorder: the play-side and record-side disk
// workers, which fill the channels' play layers (the play side also hands
// recorded audio to disk), and the job worker, which runs the off-line jobs
// a block at a time. Each sleeps on its own events until a command arrives.
#include <algorithm>
#include <system_error>

#include "native/qvNatRec/natplat.h"
#include "native/qvNatRec/recobj.h"

namespace {

enum DiskCommand : uint32_t {
  kQuit = 0,
  kPrefill = 1,
  kFill = 2,
  kStop = 3,
  kScrubPrefill = 4,
  kScrubFill = 5,
};

bool StopRequested(Recorder& r, WorkerSide side) {
  return (r.state[side].load() & kRecStopBit) != 0;
}

int32_t ActiveCount(Recorder& r) { return std::clamp<int32_t>(r.active.load(), 0, kRecTracks); }

// The outcome of one pass over the active channels.
struct Pass {
  bool didWork = false;
  bool someIdle = false;  // a step found nothing to do
  bool stopped = false;   // abandoned on the stop bit
};

// Runs the steps of a pass: for each active channel, fill layer 0, fill
// layer 1 and, when asked, hand recorded audio to disk. After any step that
// did work the pass is abandoned when the stop bit is set.
Pass RunPass(Recorder& r, WorkerSide side, FillMode mode, bool writeRecorded) {
  Pass pass;
  const int32_t active = ActiveCount(r);
  for (int32_t c = 0; c < active && !pass.stopped; ++c) {
    TrackChannel& ch = r.channels[c];
    for (uint32_t step = 0; step < 3 && !pass.stopped; ++step) {
      if (step == 2 && !writeRecorded) break;
      const bool did = step < 2 ? ChannelFillLayer(ch, step, mode, side)
                            : ChannelWriteRecorded(ch, false, side);
      pass.didWork |= did;
      pass.someIdle |= !did;
      if (did && StopRequested(r, side)) pass.stopped = true;
    }
  }
  return pass;
}

void Idle(Recorder& r, WorkerSide side, uint32_t command) {
  r.events[side].Reset(command);
  r.state[side].store(0);
}

// Commands 1 and 4. The play side fills until a whole pass finds every
// channel full; the record side helps only while its steps find work.
void Prefill(Recorder& r, WorkerSide side, uint32_t command, FillMode mode) {
  for (;;) {
    const Pass pass = RunPass(r, side, mode, false);
    if (pass.stopped || !pass.didWork) break;
    if (side == kRecordSide && pass.someIdle) break;
  }
  Idle(r, side, command);
}

// Commands 2 and 5. The event is reset before each pass rather than after
// the last one: a client's wake-up that arrives during the last pass then
// leaves the event set and is answered, instead of being wiped out.
void FillLoop(Recorder& r, WorkerSide side, uint32_t command, FillMode mode) {
  const bool writeRecorded = side == kPlaySide && mode == kFillPlay && !r.scrubPrepared.load();
  for (;;) {
    r.events[side].Reset(command);
    if (ActiveCount(r) <= 0) break;
    const Pass pass = RunPass(r, side, mode, writeRecorded);
    if (pass.stopped || !pass.didWork) break;
  }
  if (side != kPlaySide || mode != kFillPlay) return;
  const uint32_t st = r.state[side].load();
  if ((st & kRecStopBit) == 0 && (st & 0xFF) >= kRecJobNormalise && (st & 0xFF) <= kRecJobNoiseGate)
    SignalJob(r, (st & 0xFF) - 4);
}

// Command 3: the play side hands the rest of the recorded audio to disk
// (measure-only jobs and scrubs record nothing), then the state is idle.
void Stop(Recorder& r, WorkerSide side) {
  if (side == kPlaySide && !r.scrubPrepared.load()) {
    const int32_t active = ActiveCount(r);
    for (int32_t c = 0; c < active; ++c) ChannelWriteRecorded(r.channels[c], true, side);
  }
  Idle(r, side, kStop);
}

void DiskWorker(Recorder* r, WorkerSide side) {
  for (;;) {
    switch (r->events[side].WaitAny()) {
      case kQuit:
        return;
      case kPrefill:
        Prefill(*r, side, kPrefill, kFillPrefill);
        break;
      case kFill:
        FillLoop(*r, side, kFill, kFillPlay);
        break;
      case kStop:
        Stop(*r, side);
        break;
      case kScrubPrefill:
        Prefill(*r, side, kScrubPrefill, kFillScrubPrefill);
        break;
      default:
        FillLoop(*r, side, kScrubFill, kFillScrub);
        break;
    }
  }
}

void JobWorker(Recorder* r) {
  for (;;) {
    const uint32_t e = r->events[kJobWorker].WaitAny();
    if (e == kQuit) return;
    r->events[kJobWorker].Reset(e);
    RunJobBlock(*r, e + 4);
  }
}

}  // namespace

void SignalDiskCommand(Recorder& r, WorkerSide side, uint32_t command) {
  if (side > kRecordSide || command < 1 || command > 5) return;
  if (command == kStop) r.state[side].fetch_or(kRecStopBit);
  r.events[side].Set(command);
}

void SignalJob(Recorder& r, uint32_t job) {
  if (job < 1 || job > 4) return;
  r.events[kJobWorker].Set(job);
}

bool StartWorkers(Recorder& r) {
  for (uint32_t w = 0; w < 3; ++w) {
    if (NatShouldFail(NatFault::kThread)) return false;
    try {
      r.workers[w] = w == kJobWorker ? std::thread(JobWorker, &r)
                                     : std::thread(DiskWorker, &r, static_cast<WorkerSide>(w));
    } catch (const std::system_error&) {
      return false;
    }
  }
  return true;
}

// Each worker: its quit event, then a wait without limit for its end.
void StopWorkers(Recorder& r) {
  for (uint32_t w = 0; w < 3; ++w) {
    if (!r.workers[w].joinable()) continue;
    r.events[w].Set(kQuit);
    r.workers[w].join();
  }
}
