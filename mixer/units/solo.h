// What solo play, scrub and the crossfade audition of the arrange editor
// ask of the play-list compiler and the transport, beside services.h.
// Positions are samples; engine tracks and play channels count from 1.
#pragma once

#include <cstdint>

struct ArrRec;

// Clears the units' play flags and silences every audio play channel
// 1..192.
void SoloSilenceAll();
// Compiles onto engine track `engineTrack` (1..192), from `from`, the Parts
// that play on `playChannel`, only those of Virtual Track `track` (-1: of
// every track), and sends the list. 0 when it cannot be built.
int SoloCompileTrack(const ArrRec* arr, int32_t engineTrack, int32_t from, int32_t playChannel,
                     int32_t track);
// Builds the MIDI play lists of channel `channel` (1..128; 129 none), only
// from Virtual Track `track` (-1: every track).
void SoloBuildMidi(const ArrRec* arr, int32_t channel, int32_t track);
// Recompiles and sends the play lists of channels 1..192 from the position.
void RebuildAllPlayLists(ArrRec* arr, int32_t position, int flag);

// Starts the transport in solo mode: the mixer's record state 1, the
// current position set to `start`, no loop, the cards synchronised, the
// play buffers of units, video, automation and MIDI prepared, the 9-pin
// machine told, the position shown, the play end set to `end`, and video,
// units, automation and MIDI started. The solo flag makes stopping restore
// the normal play lists.
void TransportStartSolo(int32_t start, int32_t end);
// Sets the scrub flag and prepares the units' scrub buffers from the
// position to the end of time; in mode 2 (the transport follows a 9-pin
// machine) sets sync mode 40505 with the flags of the sync settings first;
// then starts scrubbing in mode 0, 1 or 2.
void TransportStartScrub(int32_t position, int mode);
// 1 when the 9-pin sync mode is 4 or 6 (the transport follows the machine).
int NinePinIsLockMode();

// A crossfade audition of the channels just compiled: the mixer's record
// state 1, the units' loop and punch off, the cards synchronised at the
// project rate, the play buffers prepared from `from`, the units idle, the
// play end at `to`, and playback started. 1 when it started.
int TransportStartAudition(int32_t from, int32_t to);
// Ends it: the units stopped, the play flags of the current sync mode back,
// the record state 0 and the loop range on again.
void TransportStopAudition();
// Sends engine track `engineTrack` (1..192) the audition list of a module
// (entries in order, Take 0 = silence, offsets from the Take's data start),
// with the program's deglitch fades. 0 when it could not be sent.
struct PlayTakeEntry;
int SoloPlayTakeList(int32_t engineTrack, uint32_t n, const PlayTakeEntry* entries);
