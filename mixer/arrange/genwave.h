// Waveform overviews of the arrangement's Audio Takes: each Take without
// one takes its file from the overview cache, or has it built under the
// progress dialog while the transport stands still.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"

struct TakeRec;

// What building overviews asks of the program.
struct WaveformSeams {
  // 1 when the cache folder holds the Take's overview file.
  int (*cacheHas)(const TakeRec* take) = nullptr;
  // Builds the file under the progress dialog; 1 when written whole, 0
  // when it failed or was cancelled.
  int (*build)(TakeRec* take) = nullptr;
  // 1 while the transport is stopped.
  int (*stopped)() = nullptr;
  // Invalidates the Part area, and the Take list window.
  void (*invalidateParts)() = nullptr;
  void (*invalidateTakeList)() = nullptr;
};
void ArrSetWaveformSeams(const WaveformSeams& seams);

// A build left for later because the transport was running.
int ArrWaveformsPending();

// Builds the missing overviews of the Audio Takes the arrangement plays.
// With onlyIfPending it runs only when a build was left for later. With dc
// and redraw, the Parts whose Take got its overview are redrawn; without
// dc, redraw invalidates the Part area; redrawOther invalidates the Take
// list too. Returns the number of Takes done.
int ArrGenTakeWaveforms(DcHandle dc, int redraw, int redrawOther, int onlyIfPending);
