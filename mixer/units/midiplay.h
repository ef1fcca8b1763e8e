// The program's side of MIDI record and playback: one event log per Midi
// Take in use, loaded from and saved to the Take's data, the arrangement's
// Midi Parts compiled into the library's play and record view lists, the
// seamless-loop range, and a Part's events read for drawing.
//
// The MIDI log library is reached through MidiLibApi: the portable build
// binds the library linked in, the program binds qvMidRec.dll by name.
#pragma once

#include <cstdint>

#include "logs/qvMidRec/midlog.h"

struct ArrRec;
struct TakeRec;
struct PartRec;

// The library calls this side makes.
struct MidiLibApi {
  int32_t (*createLog)(MidiLogHandle* out, uint32_t resolution);
  int32_t (*deleteLog)(MidiLogHandle log);
  int32_t (*addLogEvent)(MidiLogHandle log, const MidiLogEvent* event);
  int32_t (*deleteAllLogEvents)(MidiLogHandle log);
  int32_t (*getLogEventCnt)(MidiLogHandle log, int32_t* count);
  int32_t (*getAllLogEvents)(MidiLogHandle log, int32_t* count, MidiLogEvent* out);
  int32_t (*firstEvent)(MidiLogHandle log, uint8_t kind, uint32_t position, MidiLogEvent* out,
                        MidiEventHandle* node);
  int32_t (*nextEvent)(MidiEventHandle node, uint8_t kind, MidiLogEvent* out,
                       MidiEventHandle* outNode);
  int32_t (*createViewList)(uint32_t track, uint32_t isRecord, MidiViewListHandle* out);
  int32_t (*deleteAllViewLists)(uint32_t isRecord);
  int32_t (*addView)(MidiViewListHandle list, const MidiView* view);
  int32_t (*setRecordMode)(uint32_t mode);
  int32_t (*setSeamlessLoopParams)(uint32_t enable, uint32_t start, uint32_t end, uint32_t position);
  int32_t (*buildPlaylists)();
  int32_t (*setRecordEnable)();
  int32_t (*prepPlayBufs)(uint32_t position);
  int32_t (*startPlayRec)();
  int32_t (*stopPlayRec)(uint32_t flag, uint32_t position);
  int32_t (*convertRecordlistsIntoLogs)(uint32_t flag);
};
const MidiLibApi* MidiLibStaticApi();
void MidiBindLib(const MidiLibApi* api);

// What this side asks of the rest of the program.
struct MidiPlayHost {
  int (*transportState)();        // TransportState
  int (*recordPassLaidOut)();     // a recording pass is being laid out
  int (*seamlessLoopOn)();        // IsSeamlessLoopOn
  int32_t (*nowLoc)();
  int32_t (*leftLoc)();
  int32_t (*rightLoc)();
  uint32_t (*playRecMode)();
  int32_t (*preRoll)();
  int32_t (*postRoll)();
  int32_t (*loopPass)();   // the loop recording's current pass
  int32_t (*loopPasses)(); // its number of passes
  // Shows message `id` (exclamation), with an optional text argument.
  void (*message)(uint32_t id, const char* arg);
};
void MidiSetHost(const MidiPlayHost* host);

// One per Midi Take that has a log in memory.
struct MidiTakeLog {
  TakeRec* Take;
  MidiLogHandle Log;
  int32_t Recording;
  int32_t InUse;
  int32_t Dirty;
  int32_t EventCount;
  MidiTakeLog* Next;
  // Events the Take holds that are not in the log yet: its log was made
  // while the transport ran, when they could not be read. They are read
  // before the log is saved, so that a save keeps them.
  int32_t Pending;
  uint32_t Id;  // what the Take's MIDI-log attribute holds: 0 none
};

inline constexpr uint32_t kMidiMsgHeap = 195;
inline constexpr uint32_t kMidiMsgNoSpace = 328;
inline constexpr uint32_t kMidiMsgLoopStack = 343;
inline constexpr int32_t kMidiTracks = 128;
inline constexpr int32_t kMidiFilterNone = 129;
inline constexpr int32_t kMidiEndOfTime = 0x7FFF05FF;

void MidiSetRecMode(uint32_t mode);
void MidiStopPlayRec(int32_t position);
void MidiStartPlay();
void MidiPrepPlay(int32_t position);
// Loop kind 1 between the locators, 2 loop record with rolls, other off;
// the program's MidiSetLoop service. 0 after message 343 when the range
// cannot be looped.
int MidiSetLoopRange(int kind, int prepare);
int MidiBuildPlayLists(ArrRec* arr, int afterRecording, int clearRecordLogs, int32_t track,
                       int32_t filter, int32_t wantedChannel);
int MidiRebuildAndPrepLists(ArrRec* arr, int32_t position);
int MidiSaveLogs(int sizeOnly);
int MidiSaveLog(MidiTakeLog* rec, int sizeOnly);
int MidiLoadLog(MidiTakeLog* rec);
int MidiCollectRecorded();
void MidiClearInUse(int recordSide);
int MidiDeleteLogRecord(MidiTakeLog* rec);
void MidiFreeUnusedLogs();
// Part matching: 1 when the Part plays (or records onto) MIDI channel
// `wanted`, with the loop pass of a Part recorded in a loop pass.
int MidiPartMatch(const PartRec& part, int32_t wanted, int32_t* loopPass);

// Drawing: note events (status 1) and the others of a Part's log.
MidiEventHandle MidiPartFirstEvent(MidiTakeLog* rec, int32_t origin, int32_t* position,
                                   int32_t* length, int32_t* note);
MidiEventHandle MidiPartNextEvent(MidiTakeLog* rec, int32_t origin, MidiEventHandle node,
                                  int32_t* position, int32_t* length, int32_t* note);
// Every event but notes, with its value (the data word; a pitch bend's high
// byte).
MidiEventHandle MidiPartFirstEventEx(MidiTakeLog* rec, int32_t origin, int32_t* position, int32_t* value);
MidiEventHandle MidiPartNextEventEx(MidiTakeLog* rec, int32_t origin, MidiEventHandle node,
                                    int32_t* position, int32_t* value);

// The view-list slots and the log records (tests and the transport).
MidiViewListHandle MidiPlaySlot(int32_t track);
MidiViewListHandle MidiRecordSlot(int32_t track);
MidiTakeLog* MidiTakeLogs();
// The record of a Take (its MIDI-log attribute); null when none.
MidiTakeLog* MidiTakeLogOf(TakeRec* take);
// Frees every record and forgets the slots and the loop sent (tests).
void MidiPlayReset();
