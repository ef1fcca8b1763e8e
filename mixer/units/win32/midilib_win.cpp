// qvMidRec.dll bound by its decorated export names, loaded on first use from
// the program's folder. The library hands its logs, view lists and event
// nodes out as pointer-sized handles that carry 32-bit values; MIDI keeps
// them as those values.
#include <windows.h>

#include "mixer/model/musical.h"
#include "mixer/model/util/win32/sysutil.h"
#include "mixer/units/win32/transport_host.h"

namespace {

using Handle = void*;

struct MidiDll {
  int32_t(WINAPI* init)(const MidiInitRecord*);
  int32_t(WINAPI* quit)();
  int32_t(WINAPI* setSampleRate)(uint32_t);
  int32_t(WINAPI* setTimeCodeOffset)(uint32_t);
  int32_t(WINAPI* createLog)(Handle*, uint32_t);
  int32_t(WINAPI* deleteLog)(Handle);
  int32_t(WINAPI* addLogEvent)(Handle, const MidiLogEvent*);
  int32_t(WINAPI* deleteAllLogEvents)(Handle);
  int32_t(WINAPI* getLogEventCnt)(Handle, int32_t*);
  int32_t(WINAPI* getAllLogEvents)(Handle, int32_t*, MidiLogEvent*);
  int32_t(WINAPI* firstEvent)(Handle, uint8_t, uint32_t, MidiLogEvent*, Handle*);
  int32_t(WINAPI* nextEvent)(Handle, uint8_t, MidiLogEvent*, Handle*);
  int32_t(WINAPI* createViewList)(uint32_t, uint32_t, Handle*);
  int32_t(WINAPI* deleteAllViewLists)(uint32_t);
  int32_t(WINAPI* addView)(Handle, const MidiView*);
  int32_t(WINAPI* setRecordMode)(uint32_t);
  int32_t(WINAPI* setSeamlessLoopParams)(uint32_t, uint32_t, uint32_t, uint32_t);
  int32_t(WINAPI* buildPlaylists)();
  int32_t(WINAPI* setRecordEnable)();
  int32_t(WINAPI* prepPlayBufs)(uint32_t);
  int32_t(WINAPI* startPlayRec)();
  int32_t(WINAPI* stopPlayRec)(uint32_t, uint32_t);
  int32_t(WINAPI* convertRecordlistsIntoLogs)(uint32_t);
};


const MidiDll* Dll() {
  return BindLibraryOnce<MidiDll>("qvMidRec.dll", [](HMODULE lib, MidiDll& d) {
    return
      BindExport(lib, d.init, "_QVMIV_Init@4") && BindExport(lib, d.quit, "_QVMIV_Quit@0") &&
      BindExport(lib, d.setSampleRate, "_QVMIV_SetSampleRate@4") &&
      BindExport(lib, d.setTimeCodeOffset, "_QVMIV_SetTimeCodeOffset@4") &&
      BindExport(lib, d.createLog, "_QVMIV_CreateLog@8") && BindExport(lib, d.deleteLog, "_QVMIV_DeleteLog@4") &&
      BindExport(lib, d.addLogEvent, "_QVMIV_AddLogEvent@8") &&
      BindExport(lib, d.deleteAllLogEvents, "_QVMIV_DeleteAllLogEvents@4") &&
      BindExport(lib, d.getLogEventCnt, "_QVMIV_GetLogEventCnt@8") &&
      BindExport(lib, d.getAllLogEvents, "_QVMIV_GetAllLogEvents@12") &&
      BindExport(lib, d.firstEvent, "_QVMIV_GetLogFirstEqualOrNxtEventFromTickPos@20") &&
      BindExport(lib, d.nextEvent, "_QVMIV_GetLogNxtEvent@16") &&
      BindExport(lib, d.createViewList, "_QVMIV_CreateViewList@12") &&
      BindExport(lib, d.deleteAllViewLists, "_QVMIV_DeleteAllViewLists@4") &&
      BindExport(lib, d.addView, "_QVMIV_AddView@8") && BindExport(lib, d.setRecordMode, "_QVMIV_SetRecordMode@4") &&
      BindExport(lib, d.setSeamlessLoopParams, "_QVMIV_SetSeamlessLoopParams@16") &&
      BindExport(lib, d.buildPlaylists, "_QVMIV_BuildPlaylists@0") &&
      BindExport(lib, d.setRecordEnable, "_QVMIV_SetRecordEnable@0") &&
      BindExport(lib, d.prepPlayBufs, "_QVMIV_PrepPlayBufs@4") &&
      BindExport(lib, d.startPlayRec, "_QVMIV_StartPlayRec@0") &&
      BindExport(lib, d.stopPlayRec, "_QVMIV_StopPlayRec@8") &&
      BindExport(lib, d.convertRecordlistsIntoLogs, "_QVMIV_ConvertRecordlistsIntoLogs@4");
  });
}

Handle H(uint32_t v) { return reinterpret_cast<Handle>(static_cast<uintptr_t>(v)); }
uint32_t V(Handle h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

const MidiLibApi kApi = {
    [](MidiLogHandle* out, uint32_t res) {
      Handle h = nullptr;
      const int32_t r = Dll()->createLog(&h, res);
      *out = V(h);
      return r;
    },
    [](MidiLogHandle log) { return Dll()->deleteLog(H(log)); },
    [](MidiLogHandle log, const MidiLogEvent* e) { return Dll()->addLogEvent(H(log), e); },
    [](MidiLogHandle log) { return Dll()->deleteAllLogEvents(H(log)); },
    [](MidiLogHandle log, int32_t* n) { return Dll()->getLogEventCnt(H(log), n); },
    [](MidiLogHandle log, int32_t* n, MidiLogEvent* out) { return Dll()->getAllLogEvents(H(log), n, out); },
    [](MidiLogHandle log, uint8_t kind, uint32_t position, MidiLogEvent* out, MidiEventHandle* node) {
      Handle h = nullptr;
      const int32_t r = Dll()->firstEvent(H(log), kind, position, out, &h);
      *node = V(h);
      return r;
    },
    [](MidiEventHandle node, uint8_t kind, MidiLogEvent* out, MidiEventHandle* next) {
      Handle h = nullptr;
      const int32_t r = Dll()->nextEvent(H(node), kind, out, &h);
      *next = V(h);
      return r;
    },
    [](uint32_t track, uint32_t isRecord, MidiViewListHandle* out) {
      Handle h = nullptr;
      const int32_t r = Dll()->createViewList(track, isRecord, &h);
      *out = V(h);
      return r;
    },
    [](uint32_t isRecord) { return Dll()->deleteAllViewLists(isRecord); },
    [](MidiViewListHandle list, const MidiView* view) { return Dll()->addView(H(list), view); },
    [](uint32_t mode) { return Dll()->setRecordMode(mode); },
    [](uint32_t e, uint32_t s, uint32_t n, uint32_t p) { return Dll()->setSeamlessLoopParams(e, s, n, p); },
    [] { return Dll()->buildPlaylists(); },
    [] { return Dll()->setRecordEnable(); },
    [](uint32_t p) { return Dll()->prepPlayBufs(p); },
    [] { return Dll()->startPlayRec(); },
    [](uint32_t f, uint32_t p) { return Dll()->stopPlayRec(f, p); },
    [](uint32_t f) { return Dll()->convertRecordlistsIntoLogs(f); },
};

// The program's time conversions for the library's Midi Takes with a
// recorded tempo.
int32_t WINAPI SpanToTicks(uint32_t startLo, uint32_t, uint32_t resolution, uint32_t endLo, uint32_t) {
  return static_cast<int32_t>(LocSpanToMidiTicks(static_cast<int32_t>(startLo), static_cast<int32_t>(resolution),
                                                 static_cast<int32_t>(endLo)));
}
uint32_t WINAPI TicksToLoc(uint32_t startLo, uint32_t, uint32_t resolution, uint32_t ticks) {
  return static_cast<uint32_t>(
      MidiTicksToLocEnd(static_cast<int32_t>(startLo), static_cast<int32_t>(resolution), ticks));
}

}  // namespace

const MidiLibApi* ProgramMidiLib() { return Dll() ? &kApi : nullptr; }

void ProgramMidiInit() {
  static const MidiInitRecord record{SpanToTicks, TicksToLoc};
  if (Dll()) Dll()->init(&record);
}

void ProgramMidiQuit() {
  if (Dll()) Dll()->quit();
}

void ProgramMidiSetSampleRate(uint32_t rate) {
  if (Dll()) Dll()->setSampleRate(rate);
}

void ProgramMidiSetTimeCodeOffset(uint32_t offset) {
  if (Dll()) Dll()->setTimeCodeOffset(offset);
}
