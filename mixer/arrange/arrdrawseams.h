// What drawing the arrangement asks of the parts of the program the
// arrange window does not link: the mixer's automation logs and record
// state, and the native devices' sample peaks and status. The program
// installs the implementations at start-up; until then (and in tests that
// install none) there are no automation curves, no waveforms from samples,
// the mixer counts as idle and the devices as idle.
#pragma once

#include <cstdint>

struct TakeRec;

// One event of an automation knob: its location in the Take (samples from
// the Take's start) and its value scaled to 0..scale.
struct ArrAutomPoint {
  int32_t Location;
  int32_t Value;
};

struct ArrDrawSeams {
  // The events of knob `knob` of an Automation Take (a Take reference) that
  // lie in [from, to) of the Take, in order, preceded by the last event
  // before `from` when there is one. Writes at most `max` and returns how
  // many; 0 when the Take has no log or no such knob.
  int (*automEvents)(uint32_t take, int32_t knob, int32_t from, int32_t to, int32_t scale, ArrAutomPoint* out,
                     int max) = nullptr;
  // Sample peaks of an Audio Take for drawing: `count` pairs {maximum,
  // minimum} of `samplesPerEntry` samples each from Take sample `position`
  // into out (2 x count values); 0 when no device can read them now.
  int (*samplePeaks)(TakeRec* take, uint32_t count, uint32_t samplesPerEntry, uint32_t position,
                     int16_t* out) = nullptr;
  // The mixer's record/monitor state: 0 idle, 1 audition, 2 recording.
  int (*mixRecState)() = nullptr;
  // 1 when a native device has its play buffers prepared (status code 3):
  // it reads no more from the disk until it starts.
  int (*devicesPrepared)() = nullptr;
  // Waits up to `ms` milliseconds for every native device to become idle;
  // 1 when they all did, 0 on the time-out.
  int (*waitDevicesIdle)(uint32_t ms) = nullptr;
};
void ArrSetDrawSeams(const ArrDrawSeams& seams);
const ArrDrawSeams& ArrDrawSeamsNow();
