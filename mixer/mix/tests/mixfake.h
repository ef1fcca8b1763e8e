// Stand-ins for the mixer's tests: element modules in the process behind a
// loader of fake folders, a host that records messages and answers for the
// units, and an automation library that records every call.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "logs/qvMxAut/autlog.h"
#include "mixer/mix/elemmod.h"
#include "mixer/mix/mixhost.h"

// Type codes of the fake modules.
enum : uint32_t {
  kFakeInput = 100,   // kind 0: knob 0 "Gain" (range +-0x1000000), knob 1 "Mute" (switch)
  kFakeEffect = 101,  // kind 2: knob 0 "Drive"
  kFakeSend = 102,    // kind 3
  kFakeOutput = 103,  // kind 4: knob 0 "Volume", knob 1 "Solo" (switch)
  kFakeNatRec = 104,  // kind 6, stereo
  kFakeOldA = 0x901,  // offered by the version-102 module
  kFakeOldB = 0x802,
};

// Module kinds a fake folder can hold: "A" (version 103, types 100-104),
// "B" (version 103, type 100 again with another name), "Old" (version 102),
// "BadVersion" (reports 101), "Missing" (lacks _QVGetElement@12).
struct FakeFile {
  std::string name;
  std::string kind;
};

class FakeLoader : public ElemLoader {
 public:
  std::map<std::string, std::vector<FakeFile>> folders;
  std::vector<std::string> loaded, freed, listed;
  std::vector<std::string> ListDlls(const std::string& folder) override;
  void* Load(const std::string& path) override;
  void* Find(void* module, const char* name) override;
  void Free(void* module) override;

 private:
  std::vector<std::string> kinds_;  // handle - 1 -> kind
};

// Number of times the "B" module's init ran, and the last order of inits.
std::vector<std::string>& FakeInits();
// Element-side counters.
int FakeLiveElements();
std::vector<std::string>& FakeElemCalls();  // "set 19 12000" and so on
// Placements the fake elements were loaded with ("100 dsp 1" or "100 off").
std::vector<std::string>& FakeLoads();
// Sets knob k of every live fake element of that type, for tests.
void FakeSetKnob(uint32_t type, uint32_t knob, int32_t value);

class RecordingHost : public MixHost {
 public:
  std::vector<uint32_t> messages;
  int answer = kMixAnswerYes;
  int units = 1;
  int mixerDsps = 1;  // per unit
  int transport = 2;
  int32_t left = 0, right = 0;
  int autReady = -1;  // automation track in state 2
  int recordPassResult = 1;
  MixAutRecordSettings rec;
  std::vector<std::string> events;
  int audioStates[192] = {};
  uint32_t recordSetting = 7;

  int Message(uint32_t id, uint32_t, const char*) override {
    messages.push_back(id);
    return answer;
  }
  int UnitCount() override { return units; }
  int UnitHasMixerDsps(int) override { return mixerDsps > 0; }
  int UnitMixerDspCount(int) override { return mixerDsps; }
  int UnitChannelCount(int) override { return 16; }
  int TransportState() override { return transport; }
  int32_t LeftLocator() override { return left; }
  int32_t RightLocator() override { return right; }
  int AutRecTrackState(int t) override { return t == autReady ? 2 : 0; }
  int AudioRecTrackState(int t) override { return audioStates[t]; }
  void SetAudioRecTrackState(int t, int s) override { audioStates[t] = s; }
  uint32_t SwapRecordSetting(uint32_t v) override {
    const uint32_t old = recordSetting;
    recordSetting = v;
    return old;
  }
  MixAutRecordSettings AutRecordSettings() override { return rec; }
  int RecordPass(int32_t s, int32_t e) override;
  void RecordStop(int32_t e) override;

  // The mixer DSPs: capacity, and every block sent ("u0 d1 op5 @12 x3").
  MixDspCapacity dspCap;
  int dspAccept = 1;
  std::vector<std::string> dspBlocks;
  MixDspCapacity DspCapacity(int) override { return dspCap; }
  int DspBlock(int unit, int dsp, uint32_t op, uint32_t address, uint32_t count, uint32_t* words) override;
  uint32_t AudioTrackColor(int t) override { return 0x100u + static_cast<uint32_t>(t); }

  std::vector<MixAutPart> autParts;
  void AutomationParts(std::vector<MixAutPart>* out) override { *out = autParts; }

  uint32_t TakeWord(void* take, uint32_t attr) override;
  int TakeSetWord(void* take, uint32_t attr, uint32_t value) override;
  int TakeData(void* take, int write, uint32_t pos, uint32_t count, void* buf) override;
};

// A Take as the store holds it: its words and its data.
struct FakeTake {
  std::map<uint32_t, uint32_t> words;
  std::vector<uint8_t> data;
  bool failWrite = false;
};

class RecordingAut : public MixAutLib {
 public:
  std::vector<std::string> calls;
  bool failCreate = false;
  int createAfter = -1;  // fail the knob created after this many
  uint32_t nextHandle = 1;
  std::map<uint32_t, uint32_t> hostIds;  // knob handle -> host id

  int32_t SetRecordMode(uint32_t m) override;
  int32_t StartPlayRec() override;
  int32_t StopPlayRec(uint32_t f, uint32_t l) override;
  int32_t SetLocator(uint32_t l, uint32_t c) override;
  int32_t CreateKnob(uint32_t id, const AutKnobDesc* d, AutKnobHandle* out) override;
  int32_t DeleteKnob(AutKnobHandle k) override;
  int32_t SetKnobAutomEnableMode(AutKnobHandle k, uint32_t m) override;
  int32_t SetKnobValue(AutKnobHandle k, int32_t v, uint32_t l, uint32_t c) override;
  int32_t SetKnobTrkAndIndx(AutKnobHandle k, uint32_t t, uint32_t i) override;
  std::map<uint32_t, std::vector<AutLogKnobEvent>> logs;  // logs made by CreateLog and their events
  int32_t CreateViewList(uint32_t t, uint32_t k, AutViewListHandle* out) override;
  int32_t AddView(AutViewListHandle l, const AutView* v) override;
  int32_t DeleteAllViewLists(uint32_t k) override;
  int32_t CreatePlayLogKnobMap(int32_t n, AutMapHandle* out) override;
  int32_t SetPlayLogKnobMapValue(AutMapHandle m, int32_t i, AutKnobHandle k) override;
  int32_t DeleteAllPlayLogKnobMaps() override;
  int32_t CreateLog(AutLogHandle* out) override;
  int32_t GetLogKnobEventCnt(AutLogHandle l, int32_t* n) override;
  int32_t GetAllLogKnobEvents(AutLogHandle l, int32_t* n, AutLogKnobEvent* out) override;
  int32_t CopyLog(AutLogHandle* out, AutLogHandle s, uint32_t a, uint32_t b) override;
  int32_t ReduceLogKnobEvents(AutLogHandle l, int32_t k, uint32_t a, uint32_t b, uint32_t t) override;
  int32_t AddLogKnobEvent(AutLogHandle l, const AutLogKnobEvent* e) override;
  int32_t DeleteLogKnobEvent(AutLogHandle l, int32_t k, uint32_t loc) override;
  int32_t DeleteLog(AutLogHandle l) override;
  int32_t DeleteRecordLogKnobMap(AutMapHandle m) override;
  int32_t GetRecordLogKnobMapValue(AutMapHandle m, int32_t i, int32_t* k, int32_t* w) override;
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* out) override;
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* out) override;
  // Calls whose text starts with prefix.
  std::vector<std::string> Matching(const std::string& prefix) const;
};

// The automation engine itself behind the mixer's calls.
class EngineAutLib : public MixAutLib {
 public:
  EngineAutLib();
  AutEngine& Engine() { return engine_; }
  int32_t SetRecordMode(uint32_t m) override { return engine_.SetRecordMode(m); }
  int32_t StartPlayRec() override { return engine_.StartPlayRec(); }
  int32_t StopPlayRec(uint32_t f, uint32_t l) override { return engine_.StopPlayRec(f, l); }
  int32_t SetLocator(uint32_t l, uint32_t c) override { return engine_.SetLocator(l, c); }
  int32_t CreateKnob(uint32_t id, const AutKnobDesc* d, AutKnobHandle* o) override {
    return engine_.CreateKnob(id, d, o);
  }
  int32_t DeleteKnob(AutKnobHandle k) override { return engine_.DeleteKnob(k); }
  int32_t SetKnobAutomEnableMode(AutKnobHandle k, uint32_t m) override {
    return engine_.SetKnobAutomEnableMode(k, m);
  }
  int32_t SetKnobValue(AutKnobHandle k, int32_t v, uint32_t l, uint32_t c) override {
    return engine_.SetKnobValue(k, v, l, c);
  }
  int32_t SetKnobTrkAndIndx(AutKnobHandle k, uint32_t t, uint32_t i) override {
    return engine_.SetKnobTrkAndIndx(k, t, i);
  }
  int32_t CreateViewList(uint32_t t, uint32_t k, AutViewListHandle* o) override {
    return engine_.CreateViewList(t, k, o);
  }
  int32_t AddView(AutViewListHandle l, const AutView* v) override { return engine_.AddView(l, v); }
  int32_t DeleteAllViewLists(uint32_t k) override { return engine_.DeleteAllViewLists(k); }
  int32_t CreatePlayLogKnobMap(int32_t n, AutMapHandle* o) override { return engine_.CreatePlayLogKnobMap(n, o); }
  int32_t SetPlayLogKnobMapValue(AutMapHandle m, int32_t i, AutKnobHandle k) override {
    return engine_.SetPlayLogKnobMapValue(m, i, k);
  }
  int32_t DeleteAllPlayLogKnobMaps() override { return engine_.DeleteAllPlayLogKnobMaps(); }
  int32_t CreateLog(AutLogHandle* o) override { return engine_.CreateLog(o); }
  int32_t GetLogKnobEventCnt(AutLogHandle l, int32_t* n) override { return engine_.GetLogKnobEventCnt(l, n); }
  int32_t GetAllLogKnobEvents(AutLogHandle l, int32_t* n, AutLogKnobEvent* o) override {
    return engine_.GetAllLogKnobEvents(l, n, o);
  }
  int32_t CopyLog(AutLogHandle* o, AutLogHandle s, uint32_t a, uint32_t b) override {
    return engine_.CopyLog(o, s, a, b);
  }
  int32_t ReduceLogKnobEvents(AutLogHandle l, int32_t k, uint32_t a, uint32_t b, uint32_t t) override {
    return engine_.ReduceLogKnobEvents(l, k, a, b, t);
  }
  int32_t AddLogKnobEvent(AutLogHandle l, const AutLogKnobEvent* ev) override { return engine_.AddLogKnobEvent(l, ev); }
  int32_t DeleteLogKnobEvent(AutLogHandle l, int32_t k, uint32_t loc) override {
    return engine_.DeleteLogKnobEvent(l, k, loc);
  }
  int32_t DeleteLog(AutLogHandle l) override { return engine_.DeleteLog(l); }
  int32_t DeleteRecordLogKnobMap(AutMapHandle m) override { return engine_.DeleteRecordLogKnobMap(m); }
  int32_t GetRecordLogKnobMapValue(AutMapHandle m, int32_t i, int32_t* k, int32_t* w) override {
    return engine_.GetRecordLogKnobMapValue(m, i, k, w);
  }
  int32_t GetPrvLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* o) override {
    return engine_.GetPrvLogKnobEventFromLoc(l, k, loc, o);
  }
  int32_t GetNxtLogKnobEventFromLoc(AutLogHandle l, int32_t k, uint32_t loc, AutLogKnobEvent* o) override {
    return engine_.GetNxtLogKnobEventFromLoc(l, k, loc, o);
  }

 private:
  class StillClock : public AutSystem {
   public:
    uint32_t NowMs() override { return 0; }
    bool MouseCaptured() override { return false; }
  };
  StillClock clock_;
  AutEngine engine_;
};

// Loads module "A" (and "Old") from a fake folder with the given host and
// automation stand-ins installed.
struct MixFixture {
  FakeLoader loader;
  RecordingHost host;
  RecordingAut aut;
  explicit MixFixture(bool withOld = true);
  ~MixFixture();
};
