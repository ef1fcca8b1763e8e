// The exports of qvMxAut as the host program calls them (stdcall; 1 for
// success, 0 for failure). Logs, view lists, knobs and knob maps are 32-bit
// handles the library hands out; AutView carries them in its last two words.
#pragma once

#include <cstdint>

#include "logs/qvMxAut/autlog.h"

#define QVMXA_API extern "C" int32_t __stdcall

// The host's knob-value callback: set the knob with that id to the value
// (third argument 0); its result is not used.
typedef int32_t(__stdcall* AutKnobValueCallback)(uint32_t hostKnobId, int32_t value, uint32_t zero);

struct AutInitRecord {
  AutKnobValueCallback knobValue;
  uint32_t unread[3];  // kept, never read
};
#if !defined(_WIN64)
static_assert(sizeof(AutInitRecord) == 16);
#endif

QVMXA_API QVMXA_Init(const AutInitRecord* init);
QVMXA_API QVMXA_SetSampleRate(uint32_t hz);
QVMXA_API QVMXA_SetTouchTimeout(uint32_t ms);
QVMXA_API QVMXA_SetFadeResolTime(uint32_t ms);
QVMXA_API QVMXA_SetMatchTime(uint32_t ms);
QVMXA_API QVMXA_SetRecordMode(uint32_t mode);

QVMXA_API QVMXA_CreateLog(AutLogHandle* out);
QVMXA_API QVMXA_DeleteLog(AutLogHandle log);
QVMXA_API QVMXA_AddLogKnobEvent(AutLogHandle log, const AutLogKnobEvent* event);
QVMXA_API QVMXA_GetLogKnobEventCnt(AutLogHandle log, int32_t* count);
QVMXA_API QVMXA_GetAllLogKnobEvents(AutLogHandle log, int32_t* count, AutLogKnobEvent* out);
QVMXA_API QVMXA_GetPrvLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out);
QVMXA_API QVMXA_GetNxtLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out);
QVMXA_API QVMXA_DeleteLogKnobEvent(AutLogHandle log, int32_t key, uint32_t location);
QVMXA_API QVMXA_CopyLog(AutLogHandle* out, AutLogHandle source, uint32_t start, uint32_t end);
QVMXA_API QVMXA_ReduceLogKnobEvents(AutLogHandle log, int32_t key, uint32_t start, uint32_t end, uint32_t tolerance);
QVMXA_API QVMXA_ApplyLastLogKnobEventsFromBegin(AutLogHandle log, int32_t key, int32_t keepFirst);

QVMXA_API QVMXA_CreateRecordLogKnobMap(int32_t count, AutMapHandle* out);
QVMXA_API QVMXA_GetRecordLogKnobMapValue(AutMapHandle map, int32_t index, int32_t* key, int32_t* written);
QVMXA_API QVMXA_DeleteRecordLogKnobMap(AutMapHandle map);
QVMXA_API QVMXA_DeleteAllRecordLogKnobMaps();
QVMXA_API QVMXA_CreatePlayLogKnobMap(int32_t count, AutMapHandle* out);
QVMXA_API QVMXA_SetPlayLogKnobMapValue(AutMapHandle map, int32_t index, AutKnobHandle knob);
QVMXA_API QVMXA_DeletePlayLogKnobMap(AutMapHandle map);
QVMXA_API QVMXA_DeleteAllPlayLogKnobMaps();

QVMXA_API QVMXA_CreateKnob(uint32_t hostKnobId, const AutKnobDesc* desc, AutKnobHandle* out);
QVMXA_API QVMXA_SetKnobTrkAndIndx(AutKnobHandle knob, uint32_t track, uint32_t index);
QVMXA_API QVMXA_SetKnobAutomEnableMode(AutKnobHandle knob, uint32_t mode);
QVMXA_API QVMXA_GetKnobValue(AutKnobHandle knob, int32_t* value);
QVMXA_API QVMXA_InvalidateKnobDspCmds(AutKnobHandle knob);
QVMXA_API QVMXA_DeleteKnob(AutKnobHandle knob);

QVMXA_API QVMXA_CreateViewList(uint32_t track, uint32_t kind, AutViewListHandle* out);
QVMXA_API QVMXA_AddView(AutViewListHandle list, const AutView* view);
QVMXA_API QVMXA_DeleteViewList(AutViewListHandle list);
QVMXA_API QVMXA_DeleteAllViewLists(uint32_t kind);

QVMXA_API QVMXA_StartPlayRec();
QVMXA_API QVMXA_SetLocator(uint32_t location, uint32_t fromStart);
QVMXA_API QVMXA_SetKnobValue(AutKnobHandle knob, int32_t value, uint32_t location, uint32_t flags);
QVMXA_API QVMXA_StopPlayRec(uint32_t flag, uint32_t location);
