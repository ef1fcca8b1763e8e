// qvMxAut.dll: the exports over the portable engine, with the system's
// millisecond clock and mouse capture. One engine for the process, used on
// the host's thread only.
#include <windows.h>

#include "logs/qvMxAut/qvmxaut.h"

namespace {

class WinAutSystem : public AutSystem {
 public:
  uint32_t NowMs() override { return GetTickCount(); }
  // The host's thread is the caller, so its capture is the one that counts.
  bool MouseCaptured() override { return GetCapture() != nullptr; }
};

WinAutSystem g_system;
AutEngine g_engine(g_system);
AutInitRecord g_init{};

void CallHost(void*, uint32_t hostKnobId, int32_t value) { g_init.knobValue(hostKnobId, value, 0); }

}  // namespace

QVMXA_API QVMXA_Init(const AutInitRecord* init) {
  if (init == nullptr) return 0;
  g_init = *init;
  return g_engine.Init(g_init.knobValue != nullptr ? &CallHost : nullptr, nullptr);
}

QVMXA_API QVMXA_SetSampleRate(uint32_t hz) { return g_engine.SetSampleRate(hz); }
QVMXA_API QVMXA_SetTouchTimeout(uint32_t ms) { return g_engine.SetTouchTimeout(ms); }
QVMXA_API QVMXA_SetFadeResolTime(uint32_t ms) { return g_engine.SetFadeResolTime(ms); }
QVMXA_API QVMXA_SetMatchTime(uint32_t ms) { return g_engine.SetMatchTime(ms); }
QVMXA_API QVMXA_SetRecordMode(uint32_t mode) { return g_engine.SetRecordMode(mode); }

QVMXA_API QVMXA_CreateLog(AutLogHandle* out) { return g_engine.CreateLog(out); }
QVMXA_API QVMXA_DeleteLog(AutLogHandle log) { return g_engine.DeleteLog(log); }
QVMXA_API QVMXA_AddLogKnobEvent(AutLogHandle log, const AutLogKnobEvent* event) {
  return g_engine.AddLogKnobEvent(log, event);
}
QVMXA_API QVMXA_GetLogKnobEventCnt(AutLogHandle log, int32_t* count) { return g_engine.GetLogKnobEventCnt(log, count); }
QVMXA_API QVMXA_GetAllLogKnobEvents(AutLogHandle log, int32_t* count, AutLogKnobEvent* out) {
  return g_engine.GetAllLogKnobEvents(log, count, out);
}
QVMXA_API QVMXA_GetPrvLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out) {
  return g_engine.GetPrvLogKnobEventFromLoc(log, key, location, out);
}
QVMXA_API QVMXA_GetNxtLogKnobEventFromLoc(AutLogHandle log, int32_t key, uint32_t location, AutLogKnobEvent* out) {
  return g_engine.GetNxtLogKnobEventFromLoc(log, key, location, out);
}
QVMXA_API QVMXA_DeleteLogKnobEvent(AutLogHandle log, int32_t key, uint32_t location) {
  return g_engine.DeleteLogKnobEvent(log, key, location);
}
QVMXA_API QVMXA_CopyLog(AutLogHandle* out, AutLogHandle source, uint32_t start, uint32_t end) {
  return g_engine.CopyLog(out, source, start, end);
}
QVMXA_API QVMXA_ReduceLogKnobEvents(AutLogHandle log, int32_t key, uint32_t start, uint32_t end, uint32_t tolerance) {
  return g_engine.ReduceLogKnobEvents(log, key, start, end, tolerance);
}
QVMXA_API QVMXA_ApplyLastLogKnobEventsFromBegin(AutLogHandle log, int32_t key, int32_t keepFirst) {
  return g_engine.ApplyLastLogKnobEventsFromBegin(log, key, keepFirst);
}

QVMXA_API QVMXA_CreateRecordLogKnobMap(int32_t count, AutMapHandle* out) {
  return g_engine.CreateRecordLogKnobMap(count, out);
}
QVMXA_API QVMXA_GetRecordLogKnobMapValue(AutMapHandle map, int32_t index, int32_t* key, int32_t* written) {
  return g_engine.GetRecordLogKnobMapValue(map, index, key, written);
}
QVMXA_API QVMXA_DeleteRecordLogKnobMap(AutMapHandle map) { return g_engine.DeleteRecordLogKnobMap(map); }
QVMXA_API QVMXA_DeleteAllRecordLogKnobMaps() { return g_engine.DeleteAllRecordLogKnobMaps(); }
QVMXA_API QVMXA_CreatePlayLogKnobMap(int32_t count, AutMapHandle* out) { return g_engine.CreatePlayLogKnobMap(count, out); }
QVMXA_API QVMXA_SetPlayLogKnobMapValue(AutMapHandle map, int32_t index, AutKnobHandle knob) {
  return g_engine.SetPlayLogKnobMapValue(map, index, knob);
}
QVMXA_API QVMXA_DeletePlayLogKnobMap(AutMapHandle map) { return g_engine.DeletePlayLogKnobMap(map); }
QVMXA_API QVMXA_DeleteAllPlayLogKnobMaps() { return g_engine.DeleteAllPlayLogKnobMaps(); }

QVMXA_API QVMXA_CreateKnob(uint32_t hostKnobId, const AutKnobDesc* desc, AutKnobHandle* out) {
  return g_engine.CreateKnob(hostKnobId, desc, out);
}
QVMXA_API QVMXA_SetKnobTrkAndIndx(AutKnobHandle knob, uint32_t track, uint32_t index) {
  return g_engine.SetKnobTrkAndIndx(knob, track, index);
}
QVMXA_API QVMXA_SetKnobAutomEnableMode(AutKnobHandle knob, uint32_t mode) {
  return g_engine.SetKnobAutomEnableMode(knob, mode);
}
QVMXA_API QVMXA_GetKnobValue(AutKnobHandle knob, int32_t* value) { return g_engine.GetKnobValue(knob, value); }
QVMXA_API QVMXA_InvalidateKnobDspCmds(AutKnobHandle knob) { return g_engine.InvalidateKnobDspCmds(knob); }
QVMXA_API QVMXA_DeleteKnob(AutKnobHandle knob) { return g_engine.DeleteKnob(knob); }

QVMXA_API QVMXA_CreateViewList(uint32_t track, uint32_t kind, AutViewListHandle* out) {
  return g_engine.CreateViewList(track, kind, out);
}
QVMXA_API QVMXA_AddView(AutViewListHandle list, const AutView* view) { return g_engine.AddView(list, view); }
QVMXA_API QVMXA_DeleteViewList(AutViewListHandle list) { return g_engine.DeleteViewList(list); }
QVMXA_API QVMXA_DeleteAllViewLists(uint32_t kind) { return g_engine.DeleteAllViewLists(kind); }

QVMXA_API QVMXA_StartPlayRec() { return g_engine.StartPlayRec(); }
QVMXA_API QVMXA_SetLocator(uint32_t location, uint32_t fromStart) { return g_engine.SetLocator(location, fromStart); }
QVMXA_API QVMXA_SetKnobValue(AutKnobHandle knob, int32_t value, uint32_t location, uint32_t flags) {
  return g_engine.SetKnobValue(knob, value, location, flags);
}
QVMXA_API QVMXA_StopPlayRec(uint32_t flag, uint32_t location) { return g_engine.StopPlayRec(flag, location); }
