#include "mixer/mix/mixhost.h"

namespace {

// Until the program sets its own: no messages shown, no units.
class QuietHost : public MixHost {
 public:
  int Message(uint32_t, uint32_t kind, const char*) override {
    return kind == kMixMsgExclamation ? kMixAnswerOk : kMixAnswerNo;
  }
};

// Without the automation library every call fails.
class NoAutLib : public MixAutLib {
 public:
  int32_t SetRecordMode(uint32_t) override { return 0; }
  int32_t StartPlayRec() override { return 0; }
  int32_t StopPlayRec(uint32_t, uint32_t) override { return 0; }
  int32_t SetLocator(uint32_t, uint32_t) override { return 0; }
  int32_t CreateKnob(uint32_t, const AutKnobDesc*, AutKnobHandle*) override { return 0; }
  int32_t DeleteKnob(AutKnobHandle) override { return 0; }
  int32_t SetKnobAutomEnableMode(AutKnobHandle, uint32_t) override { return 0; }
  int32_t SetKnobValue(AutKnobHandle, int32_t, uint32_t, uint32_t) override { return 0; }
  int32_t SetKnobTrkAndIndx(AutKnobHandle, uint32_t, uint32_t) override { return 0; }
  int32_t CreateViewList(uint32_t, uint32_t, AutViewListHandle*) override { return 0; }
  int32_t AddView(AutViewListHandle, const AutView*) override { return 0; }
  int32_t DeleteAllViewLists(uint32_t) override { return 0; }
  int32_t CreatePlayLogKnobMap(int32_t, AutMapHandle*) override { return 0; }
  int32_t SetPlayLogKnobMapValue(AutMapHandle, int32_t, AutKnobHandle) override { return 0; }
  int32_t DeleteAllPlayLogKnobMaps() override { return 0; }
  int32_t CreateLog(AutLogHandle*) override { return 0; }
  int32_t GetLogKnobEventCnt(AutLogHandle, int32_t*) override { return 0; }
  int32_t GetAllLogKnobEvents(AutLogHandle, int32_t*, AutLogKnobEvent*) override { return 0; }
  int32_t CopyLog(AutLogHandle*, AutLogHandle, uint32_t, uint32_t) override { return 0; }
  int32_t ReduceLogKnobEvents(AutLogHandle, int32_t, uint32_t, uint32_t, uint32_t) override { return 0; }
  int32_t AddLogKnobEvent(AutLogHandle, const AutLogKnobEvent*) override { return 0; }
  int32_t DeleteLogKnobEvent(AutLogHandle, int32_t, uint32_t) override { return 0; }
  int32_t DeleteLog(AutLogHandle) override { return 0; }
  int32_t DeleteRecordLogKnobMap(AutMapHandle) override { return 0; }
  int32_t GetRecordLogKnobMapValue(AutMapHandle, int32_t, int32_t*, int32_t*) override { return 0; }
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle, int32_t, uint32_t, AutLogKnobEvent*) override { return 0; }
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle, int32_t, uint32_t, AutLogKnobEvent*) override { return 0; }
};

QuietHost g_quiet;
NoAutLib g_noAut;
MixHost* g_host = &g_quiet;
MixAutLib* g_aut = &g_noAut;

}  // namespace

void MixSetHost(MixHost* host) { g_host = host ? host : &g_quiet; }
MixHost& MixHostGet() { return *g_host; }
void MixSetAutLib(MixAutLib* lib) { g_aut = lib ? lib : &g_noAut; }
MixAutLib& MixAutLibGet() { return *g_aut; }
