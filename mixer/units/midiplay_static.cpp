// The MIDI log library linked into this binary, for the portable build and
// its tests.
#include "logs/qvMidRec/engine.h"
#include "mixer/units/midiplay.h"

const MidiLibApi* MidiLibStaticApi() {
  static const MidiLibApi api = {
      MidiCreateLog,         MidiDeleteLog,
      MidiAddLogEvent,       MidiDeleteAllLogEvents,
      MidiGetLogEventCnt,    MidiGetAllLogEvents,
      MidiGetLogFirstEqualOrNxtEventFromTickPos, MidiGetLogNxtEvent,
      MidiCreateViewList,    MidiDeleteAllViewLists,
      MidiAddView,           MidiSetRecordMode,
      MidiSetSeamlessLoopParams, MidiBuildPlaylists,
      MidiSetRecordEnable,   MidiPrepPlayBufs,
      MidiStartPlayRec,      [](uint32_t, uint32_t) { return ::MidiStopPlayRec(); },
      MidiConvertRecordlistsIntoLogs,
  };
  return &api;
}
