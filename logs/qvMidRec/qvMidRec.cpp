// The exports of qvMidRec.dll for the log and view-list calls of the host, a
// thin layer over the portable core. Logs, view lists and event nodes cross
// as pointer-sized opaque values that hold the core's 32-bit handles.
#include <windows.h>

#include <cstdint>

#include "logs/qvMidRec/midlog.h"

namespace {

// A value the host got from us; anything wider than 32 bits never was one.
uint32_t HandleOf(const void* p) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(p);
  return v <= UINT32_MAX ? static_cast<uint32_t>(v) : 0;
}

void* AsPointer(uint32_t h) { return reinterpret_cast<void*>(static_cast<uintptr_t>(h)); }

void StoreHandle(void** out, uint32_t h) {
  if (out != nullptr) *out = AsPointer(h);
}

}  // namespace

extern "C" {

int32_t WINAPI QVMIV_CreateLog(void** out, uint32_t resolution) {
  if (out == nullptr) return 0;
  MidiLogHandle log = 0;
  const int32_t ok = MidiCreateLog(&log, resolution);
  StoreHandle(out, log);
  return ok;
}

int32_t WINAPI QVMIV_DeleteLog(void* log) { return MidiDeleteLog(HandleOf(log)); }

int32_t WINAPI QVMIV_AddLogEvent(void* log, const MidiLogEvent* event) {
  return MidiAddLogEvent(HandleOf(log), event);
}

int32_t WINAPI QVMIV_DeleteAllLogEvents(void* log) { return MidiDeleteAllLogEvents(HandleOf(log)); }

int32_t WINAPI QVMIV_GetLogEventCnt(void* log, int32_t* count) { return MidiGetLogEventCnt(HandleOf(log), count); }

int32_t WINAPI QVMIV_GetAllLogEvents(void* log, int32_t* count, MidiLogEvent* out) {
  return MidiGetAllLogEvents(HandleOf(log), count, out);
}

int32_t WINAPI QVMIV_GetLogFirstEqualOrNxtEventFromTickPos(void* log, uint8_t kind, uint32_t position,
                                                           MidiLogEvent* out, void** outNode) {
  MidiEventHandle node = 0;
  const int32_t found = MidiGetLogFirstEqualOrNxtEventFromTickPos(HandleOf(log), kind, position, out, &node);
  StoreHandle(outNode, node);
  return found;
}

int32_t WINAPI QVMIV_GetLogNxtEvent(void* node, uint8_t kind, MidiLogEvent* out, void** outNode) {
  MidiEventHandle next = 0;
  const int32_t found = MidiGetLogNxtEvent(HandleOf(node), kind, out, &next);
  StoreHandle(outNode, next);
  return found;
}

int32_t WINAPI QVMIV_CreateViewList(uint32_t track, uint32_t isRecord, void** out) {
  if (out == nullptr) return 0;
  MidiViewListHandle list = 0;
  const int32_t ok = MidiCreateViewList(track, isRecord, &list);
  StoreHandle(out, list);
  return ok;
}

int32_t WINAPI QVMIV_DeleteViewList(void* list) { return MidiDeleteViewList(HandleOf(list)); }

int32_t WINAPI QVMIV_DeleteAllViewLists(uint32_t isRecord) { return MidiDeleteAllViewLists(isRecord); }

int32_t WINAPI QVMIV_AddView(void* list, const MidiView* view) { return MidiAddView(HandleOf(list), view); }

// Unloading frees what the library still holds, as destroying its private
// heap would; at process exit the system takes it all back anyway.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) MidiLibRelease();
  return TRUE;
}

}  // extern "C"
