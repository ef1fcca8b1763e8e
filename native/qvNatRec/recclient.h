// What a stream client (a native track insert) sees of the recorder, and
// what the recorder asks of it.
//
// A client attaches to one track channel and consumes that channel's rings
// on its own stream thread:
// - the two play rings hold the channel's play layers, faded, at ring index
//   (expanded location & kRecRingMask); the samples of [back, fill) of a
//   layer are valid (RecorderChannelView), and a client reads up to the
//   smaller fill of the two layers and sums the layers;
// - the record ring takes recorded input at the same indices; the client
//   writes no further ahead than kRecRingSamples beyond the written-up-to
//   position, and publishes how far it has written;
// - after consuming, it moves the channel's read position and wakes the disk
//   workers (RecorderKickFill), which refill behind it;
// - at the end of its stream (its end location, or the location it was told
//   to stop at) it reports itself stopped and signals the stop of both disk
//   workers (RecorderClientEnded).
// The expanded location counts samples as played: with a loop it keeps
// growing where the time line location folds back to the loop start.
#pragma once

#include <atomic>
#include <cstdint>

#include "native/qvNatRec/recorder.h"

inline constexpr uint32_t kRecRingSamples = 0x40000;  // 32-bit words per ring
inline constexpr uint32_t kRecRingMask = kRecRingSamples - 1;

// The play fill moves whole blocks of this many samples (only the last piece
// before the end is shorter), so a client need not wake the fill for less.
inline constexpr uint32_t kFillBlock = 16384;
// A client wakes the fill after consuming this much: the play fill keeps
// nearly a whole ring buffered, so four blocks per wake cost the client
// nothing, and the disk workers wake a quarter as often.
inline constexpr uint32_t kWakeSpan = 4 * kFillBlock;

inline uint32_t RecRingIndex(int64_t expanded) {
  return static_cast<uint32_t>(static_cast<uint64_t>(expanded) & kRecRingMask);
}

// Calls the recorder makes into an attached client. They may come from any
// thread; a client keeps its own state consistent under its own lock.
class RecorderClient {
 public:
  virtual ~RecorderClient() = default;
  virtual int64_t Location() = 0;          // time line location of the stream
  virtual int64_t ExpandedLocation() = 0;  // the same with the loop unfolded
  virtual void SetEnd(int64_t end) = 0;
  virtual void SetLoop(int32_t enable, int64_t loopStart, int64_t loopEnd, int64_t end) = 0;
  virtual void Locate(int64_t location) = 0;
  virtual void Start(bool timeCodeSlave, int32_t tcA, int32_t tcB) = 0;
  virtual void StopAt(int64_t location) = 0;  // finish the stream at the location
  virtual void Halt() = 0;                    // stop at once
  virtual bool IsStopped() = 0;
  virtual void PrepareScrub(int32_t a, int32_t b) = 0;
  virtual void Scrub() = 0;
};

// Attaches the client to track channel `track` (0..127); the channel gets its
// three ring buffers now if it has none. 1, or 0 for a bad track, a channel
// that already has a client, or buffers that cannot be had.
int32_t RecorderAttachClient(Recorder* rec, RecorderClient* client, int32_t track);
// Detaches the client from its channel and from the client list.
void RecorderDetachClient(Recorder* rec, RecorderClient* client);

// A channel's rings and positions as a client uses them.
struct RecorderChannelView {
  const uint32_t* play[2];  // the two play rings
  uint32_t* record;         // the record ring
};
int32_t RecorderGetChannelView(Recorder* rec, int32_t track, RecorderChannelView* view);

// Silent marks of the two play rings, for clients that would rather not read
// silence: the rings are cut into chunks of kSilentChunk words, and bit
// (c & 31) of word c / 32 of a layer's marks set means chunk c of that ring
// holds only zero words. A marked chunk may be skipped; reading it gives the
// same zeros. The fill never marks a chunk that overlaps the valid span of
// its layer, so a mark seen for a chunk inside the span stays true while the
// client reads there.
inline constexpr uint32_t kSilentChunk = 1024;
inline constexpr uint32_t kSilentMarkWords = kRecRingSamples / kSilentChunk / 32;
using SilentMarks = std::atomic<uint32_t>[kSilentMarkWords];
// The marks of both play layers of track `track`; 1, or 0 when the channel
// has no buffers.
int32_t RecorderGetSilentMarks(Recorder* rec, int32_t track, const SilentMarks* marks[2]);
inline bool SilentChunk(const SilentMarks& marks, uint32_t chunk) {
  return (marks[chunk / 32].load(std::memory_order_relaxed) >> (chunk & 31) & 1) != 0;
}
// The valid span [back, fill) of play layer `layer`, expanded locations.
void RecorderLayerSpan(Recorder* rec, int32_t track, int32_t layer, int64_t* back, int64_t* fill);
// The client has consumed up to `location` (expanded).
void RecorderSetReadPosition(Recorder* rec, int32_t track, int64_t location);
// The client has written recorded input up to `location` (expanded).
void RecorderSetCaptured(Recorder* rec, int32_t track, int64_t location);
// Recorded audio handed to the disk up to this expanded location.
int64_t RecorderGetWritten(Recorder* rec, int32_t track);
// Scrub target and speed as the exports last set them.
int64_t RecorderGetScrubTarget(Recorder* rec, int32_t* speed);
// Records one scrub speed in the 16-entry history; the history's mean.
int32_t RecorderNoteScrubSpeed(Recorder* rec, int32_t speed);

// Wakes the fill loops of both disk workers (command 2, or 5 while
// scrubbing), after the client has consumed audio.
void RecorderKickFill(Recorder* rec, bool scrub);
// The client's stream ended: signals the stop command of both disk workers.
void RecorderClientEnded(Recorder* rec);

// The calls above as one table, for stream clients that live outside the
// recorder's library: the library exports RecorderGetClientApi, and such a
// client binds it by that name.
struct RecorderClientApi {
  decltype(&RecorderAttachClient) attach;
  decltype(&RecorderDetachClient) detach;
  decltype(&RecorderGetChannelView) channelView;
  decltype(&RecorderLayerSpan) layerSpan;
  decltype(&RecorderSetReadPosition) setReadPosition;
  decltype(&RecorderSetCaptured) setCaptured;
  decltype(&RecorderGetWritten) getWritten;
  decltype(&RecorderGetScrubTarget) getScrubTarget;
  decltype(&RecorderNoteScrubSpeed) noteScrubSpeed;
  decltype(&RecorderKickFill) kickFill;
  decltype(&RecorderClientEnded) clientEnded;
  decltype(&RecorderGetSilentMarks) silentMarks;  // added last: the older entries keep their places
};
extern "C" const RecorderClientApi* HRL_RECAPI RecorderGetClientApi();
