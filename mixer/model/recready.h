// Record-ready bookkeeping of the record tracks of each Take kind, and the
// two values derived from it: the most Virtual Tracks recording onto one
// record track, and the recording time the record folder still holds.
#pragma once

#include <cstdint>

// Take kinds that have record tracks.
enum : int32_t {
  kRecKindAudio = 3,
  kRecKindAutom = 20,
  kRecKindMidi = 21,
};

// Record tracks per kind.
constexpr int32_t kRecTrksAudio = 192;
constexpr int32_t kRecTrksAutom = 128;
constexpr int32_t kRecTrksMidi = 128;

// State of one record track.
enum : uint8_t {
  kRecTrkAbsent = 0,
  kRecTrkSafe = 1,   // present, not armed
  kRecTrkReady = 2,  // armed for recording
};

// Per kind a table indexed by record-track number - 1.
struct RecTrkStateTable {
  uint8_t Audio[kRecTrksAudio];
  uint8_t Autom[kRecTrksAutom];
  uint8_t Midi[kRecTrksMidi];
};

// The program-wide record-track states.
RecTrkStateTable& RecTrkState();

// Record tracks of a kind; 0 for a kind without record tracks.
int32_t RecTrkCount(int32_t kind);
// State of record track `number` (1-based) of a kind; kRecTrkAbsent for a
// kind or number out of range.
int32_t RecTrkGetState(int32_t kind, int32_t number);
// Stores a state; a kind or number out of range is ignored.
void RecTrkSetState(int32_t kind, int32_t number, int32_t state);

// SetRecReady modes.
enum : int32_t { kRecReadySafe = 0, kRecReadyArm = 1, kRecReadyToggle = 2 };

// Sets the record tracks first..last (1-based) of a kind safe, ready or
// toggled (by the first present track of the range), with their link groups
// and, for Audio, their stereo partners; while recording the changed tracks
// are punched out or in. Returns 1 when a state changed; 0 when nothing in
// the range is present or differs, or the recording engine refuses a
// punch-in.
int SetRecReady(int32_t kind, int32_t first, int32_t last, int32_t mode);

// The largest number of Virtual Tracks of CurArr that record onto one
// record-ready record track (with PlayRecMode bit 7: present), at least 1.
int32_t MaxTrksPerRecTrack();

// Samples per track that the record folder's free space still holds for
// the record-ready Audio record tracks.
uint32_t RecTimeAvailable();
