// Stand-ins for the mixer's tests: element modules in the process behind a
// loader of fake folders, a host that records messages and answers for the
// units, and an automation library that records every call.
#pragma once

#include <map>
#include <string>
#include <vector>

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

// Loads module "A" (and "Old") from a fake folder with the given host and
// automation stand-ins installed.
struct MixFixture {
  FakeLoader loader;
  RecordingHost host;
  RecordingAut aut;
  explicit MixFixture(bool withOld = true);
  ~MixFixture();
};
