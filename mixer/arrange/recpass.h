// The record pass: one new Take per channel of every armed Audio record
// track (and one per armed Midi and Automation record track), laid as Parts
// on the Virtual Tracks that hold the record track, above whatever they
// overlap; loop passes stacked on groups of Virtual
// Tracks; and the stop, which hands the Parts of the last pass their record
// tracks and trims them to the stop position.
#pragma once

#include <cstdint>

#include "mixer/arrange/services.h"
#include "mixer/model/timecode.h"

// What the record pass asks of the transport and the mixer.
struct RecPassSeams {
  // Channels of the record track's link group (1 for a mono track).
  int32_t (*groupWidth)(int32_t recTrack) = nullptr;
  // The mixer column name of the recorder element of the record track; ""
  // or null for the default name.
  const char* (*columnName)(int32_t recTrack) = nullptr;
  // Directs the recording of the record track into the Take from `start`.
  void (*playTake)(int32_t recTrack, uint32_t take, int32_t start) = nullptr;
  // The local time as "YYMMDD-hhmmss" into out; used when
  // ProcOpts().appendLocalTime is set.
  int (*localTimeStamp)(char* out, int size) = nullptr;
  // The native recorder: its current location, and the lowest location up
  // to which the recorded audio of every track has reached the disk.
  int32_t (*currentLoc)() = nullptr;
  int32_t (*recTransferLoc)() = nullptr;
  // The position displays (bars, time code, video, automation) follow the
  // location while the pass waits for the recorder.
  void (*showPosition)(int32_t location) = nullptr;
  // Sleeps for the given milliseconds between two looks.
  void (*sleep)(int ms) = nullptr;
  // The mixer's record time code of the recording's start position; 0
  // when it has none (the Takes then carry no time stamp).
  int (*recordTimeCode)(int32_t start, TcRec* out) = nullptr;
  // The knob reference of the log an Automation Take recorded; its Part
  // keeps it at the stop.
  uint16_t (*automKnobRef)(uint32_t take) = nullptr;
};
void RecSetPassSeams(const RecPassSeams& seams);

// Lays the Parts of a recording of [*start, *end). 1 when laid; 0 after a
// message, with the arrangement rolled back. *conflict (when not null) is
// set to 1 when a laid Part overlaps an Audio Part on its track that plays
// on the same channel.
int ArrRecordPass(int32_t* start, int32_t* end, int createTakes, int* conflict);

// A loop or punch pass `pass` (0-based) starting at `position`: the Parts of
// the previous pass are trimmed there, then a new Take per channel is laid
// on the pass's stack of Virtual Tracks (stack = pass mod stacks).
int ArrRecordLoopStep(int32_t position, int32_t end, int32_t pass, int32_t stacks);

// The end of the recording at `stopPosition`; `lastPass` is the pass that
// was recording. 1 when Parts were recorded.
int ArrRecordStop(int32_t stopPosition, int32_t lastPass);

// Undoes the pass when it fails; 1 when it rolled back.
int ArrRecordRollback();

// Trims the Parts being recorded on the listed Audio record tracks in the
// current pass at `position`: a Part starting there or later is removed
// with its Take file, one reaching past it ends there (its Take's length
// with it). Nothing happens unless a pass is pending.
void ArrTrimRecordParts(int32_t position, const int32_t* audioTracks, int32_t count);
// Redraws every Part being recorded (negative play channel) while a pass is
// pending.
void ArrRedrawRecordParts(DcHandle dc);
