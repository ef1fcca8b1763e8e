// The arrangement file (.ARR): the arrangement block, the marker list, the
// table of the Takes its Parts play and the project settings, in one of the
// versions "AFFV2.1" to "AFFV2.7". The writer stores the lowest version that
// holds the arrangement; the reader upgrades older versions to the current
// records, binds every Part to its Take again and applies the settings.
//
// Layout (little-endian; n Part slots, m marker slots, t Takes):
//   0                       8 bytes   version text, NUL-padded
//   8                       13316 + 128 n   arrangement block (ArrRec image)
//   then                    8 + 88 m  marker list (MrkList image)
//   then                    4         t
//   then                    8 t       TakeId of each Take; a Part's Take
//                                     field holds its index here
//   then                    168       settings block (ArrFileSettings)
#pragma once

#include <cstddef>
#include <cstdint>

#include "arr.h"
#include "mixer/model/util/fileio.h"
#include "marker.h"

inline constexpr uint32_t kArrFileVersionSize = 8;
inline constexpr uint32_t kArrFileSettingsSize = 168;
inline constexpr uint64_t kArrFileFixedBytes = 180;  // version, t, settings

// The versions, in order; the string-table text of version v is
// IDS_ARR_V21 + v.
enum ArrFileVersion : int32_t {
  kArrV21 = 0,  // no Take kind, automation value, layer, crossfades, snap point
  kArrV22 = 1,  // Take kind, automation value and snap point
  kArrV23 = 2,  // read as 2.2, never written
  kArrV24 = 3,  // layers, overlap links and crossfades
  kArrV25 = 4,  // Parts of different tracks sharing an overlapping play channel
  kArrV26 = 5,  // channel link groups of three or more
  kArrV27 = 6,  // Midi
};

// The settings block. Each value goes back through SetArrParam (or
// SetLocator) when a file is read; the comments give the setting index.
struct ArrFileSettings {
  uint32_t SampleRate;     // 0
  uint32_t FrameRate;      // 2
  uint32_t MeterNum;       // 3, high 16 bits
  uint32_t MeterDen;       // 3, low 16 bits
  uint32_t Tempo;          // 4, 1/100 BPM
  uint32_t PlayRecMode;    // 7
  uint32_t PreRoll;        // 8
  uint32_t One;            // always 1; not read
  uint32_t TcOffset;       // 5
  uint32_t SyncSource;     // 1
  uint32_t PostRoll;       // 9
  uint32_t MaxRecTime;     // 10
  int32_t LeftLoc;         // SetLocator 3
  int32_t RightLoc;        // SetLocator 5
  uint32_t TouchTimeout;   // 11, ms
  uint32_t ReturnTime;     // 12, ms
  uint32_t ThinFactor;     // 13
  uint16_t AutoRecMode;    // 14
  uint16_t AutoFlags;      // 15
  uint32_t SnapshotLen;    // 16, samples
  uint32_t SnapshotFadeIn; // 17, ms
  uint32_t SnapshotFadeOut;// 18, ms
  uint32_t SnapshotFlags;  // 19
  uint8_t Zero[80];
};
static_assert(sizeof(ArrFileSettings) == kArrFileSettingsSize);
static_assert(offsetof(ArrFileSettings, One) == 28);
static_assert(offsetof(ArrFileSettings, LeftLoc) == 48);
static_assert(offsetof(ArrFileSettings, TouchTimeout) == 56);
static_assert(offsetof(ArrFileSettings, AutoRecMode) == 68);
static_assert(offsetof(ArrFileSettings, AutoFlags) == 70);
static_assert(offsetof(ArrFileSettings, SnapshotLen) == 72);
static_assert(offsetof(ArrFileSettings, SnapshotFlags) == 84);
static_assert(offsetof(ArrFileSettings, Zero) == 88);

// Bytes of a whole file with n Part slots, m marker slots and t Takes.
constexpr uint64_t ArrFileSize(uint64_t n, uint64_t m, uint64_t t) {
  return (13316 + 128 * n) + (8 + 88 * m) + 8 * t + kArrFileFixedBytes;
}

// The version of the 8 bytes at the start of a file; -1 when they are none.
int32_t ArrFileVersionOf(const char text[kArrFileVersionSize]);

// The version the writer stores for the arrangement.
ArrFileVersion ArrFileVersionFor(const ArrRec* arr);

// Zeroes the crossfade curves, the overlap link and the layer of every
// Part: the fields that "AFFV2.2" does not hold.
void ArrClearNewFields(ArrRec* arr);

// The current settings as the file stores them.
ArrFileSettings ArrFileSettingsNow();

// Writes the arrangement (or only its selected Parts, as a new arrangement
// of them, unselected) with the marker list to `path`. The file is written
// beside the target under a temporary name that no existing file has, not
// shared, flushed to the disk and closed, and replaces the old file only
// then, so a failed save keeps the previous file. 1 written, 0 failed (its
// message shown).
int WriteArrFile(const char* path, ArrRec* arr, const MrkList* markers, int selectedOnly);

// Checks an open file: the version text, and the file size against the
// sizes its counts give. 1 with the arrangement and marker block sizes (and
// the version text, when `version` is not null) when they agree; the file
// position is then back at offset 8. More markers or Takes than an
// arrangement can hold (999, 16384) are refused as well; more Part slots
// than it holds (16384) are not: the reader refuses those with their own
// message (216) when it reads the arrangement.
int CheckArrFile(FioHandle file, uint32_t* arrSize, uint32_t* mrkSize,
                 char version[kArrFileVersionSize]);
// Opens the file for reading and checks it; 1 or 0.
int IsArrFile(const char* path);

// A read of a file. Null outs are not read (the arrangement) or not handed
// back. On success the previous arrangement and marker list in *arr and
// *markers are freed and replaced; after a failure or a cancel they are
// unchanged.
struct ArrReadRequest {
  const char* Path;
  ArrRec** Arr;
  MrkList** Markers;
  int ApplySettings;
  uint32_t* Tempo;
  uint32_t* Error;  // receives 172 when Parts were dropped; else shown
};

// The reader's progress: the dialog moves its bar and pumps messages.
class ArrReadProgress {
 public:
  virtual ~ArrReadProgress() = default;
  virtual void SetRange(int32_t parts) = 0;
  // After each Part; returns nonzero when the user cancelled.
  virtual int Step(int32_t done) = 0;
};

// Reads the file of the request; 1 read, 0 failed (message shown) or
// cancelled. `progress` may be null.
int ReadArrFile(const ArrReadRequest& request, ArrReadProgress* progress);

// Imports `loaded` into `target`: the target's selection is cleared and
// every Part of `loaded` is copied in at the now position, selected.
// Returns the target (its block may move); on failure *error holds the
// copy's error id.
ArrRec* ArrAppendArr(ArrRec* target, ArrRec* loaded, uint32_t* error);

// A new arrangement of the visible sections of `arr` only, every Part on
// layer 0 with its gains taken at the section ends. The old arrangement is
// freed on success; on failure it is returned unchanged with the error id.
ArrRec* ArrFlattenCopy(ArrRec* arr, uint32_t* error);
