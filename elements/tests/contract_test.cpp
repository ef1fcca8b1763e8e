// The contract harness over the test module linked in directly: a module
// that keeps the contract passes, and each kind of breach is reported.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "elements/harness/elemharness.h"
#include "elements/testmod/testmod.h"

namespace {

ElemModuleCalls TestModule() {
  ElemModuleCalls c;
  c.Init = QVInitElemModule;
  c.GetElemType = QVGetElemType;
  c.GetElemTypeProperties = QVGetElemTypeProperties;
  c.GetElemTypeKnobProperties = QVGetElemTypeKnobProperties;
  c.CreateElement = QVCreateElement;
  c.CreateElementWindows = QVCreateElementWindows;
  c.LoadElement = QVLoadElement;
  c.SetElement = QVSetElement;
  c.GetElement = QVGetElement;
  c.DeleteElement = QVDeleteElement;
  return c;
}

std::string Joined(const std::vector<std::string>& faults) {
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  return all;
}

}  // namespace

TEST(ElemContract, TheTestModuleKeepsIt) {
  SimDsp dsp;
  const ElemContractReport r = RunElemContract(TestModule(), dsp, {});
  EXPECT_TRUE(r.Faults.empty()) << Joined(r.Faults);
  EXPECT_EQ(r.Info.Version, kElemIfVersion);
  EXPECT_EQ(r.Codes, (std::vector<uint32_t>{kTestGainCode, kTestMeterCode}));
  EXPECT_GT(r.DspCalls, 0u);
  EXPECT_EQ(TestElemLiveCount(), 0);
}

TEST(ElemContract, NotificationsAndDspWordsOfTheTestModule) {
  SimDsp dsp;
  ElemModuleCalls c = TestModule();
  ELEMMODINFO info{};
  info.Size = kElemModInfoSize;
  ASSERT_EQ(c.Init(DspCommandBlock, RecordingNotify, &info), 1u);
  RecordedNotes().clear();
  int context = 0;
  ElemHandle e = c.CreateElement(kTestGainCode, &context);
  ASSERT_NE(e, nullptr);
  // Both knobs reported from inside create, before the handle is known.
  ASSERT_EQ(RecordedNotes().size(), 2u);
  EXPECT_EQ(RecordedNotes()[0].HostContext, &context);
  EXPECT_EQ(RecordedNotes()[0].Knob.Value, 32768);

  ELEMTYPEPROPINFO t;
  c.GetElemTypeProperties(kTestGainCode, &t);
  SimDspElement* placed = dsp.Place(t);
  ASSERT_EQ(c.LoadElement(e, placed, &placed->Placement), 1u);
  EXPECT_EQ(placed->ProgramWords, 4u);
  EXPECT_EQ(dsp.Word(placed, 1, 0), -0x400000);  // unity: minus one half
  ELEMKNOBVALUE six{0, 65536};
  c.SetElement(e, kSetKnob, reinterpret_cast<uintptr_t>(&six));
  EXPECT_EQ(dsp.Trace().back().Op, kDspWriteRunning);
  EXPECT_EQ(dsp.Word(placed, 1, 0), -0x800000);  // +6 dB: minus one
  c.DeleteElement(e);
}

namespace {

}  // namespace

struct Breach {
  const char* name;
  void (*apply)(ElemModuleCalls&);
  const char* fault;
};

namespace {

// Breaches, each made by wrapping one entry point of the test module.
uint32_t ELEMAPI BadVersionInit(ElemDspCallback d, ElemNotifyCallback n, ELEMMODINFO* info) {
  QVInitElemModule(d, n, info);
  info->Version = 104;
  return 1;
}
uint32_t ELEMAPI EndlessTypes(uint32_t index) { return index < 2 ? QVGetElemType(index) : 7000 + index; }
uint32_t ELEMAPI UnterminatedType(uint32_t code, ELEMTYPEPROPINFO* out) {
  const uint32_t r = QVGetElemTypeProperties(code, out);
  if (r && out) std::memset(out->Maker, 'M', sizeof out->Maker);
  return r;
}
uint32_t ELEMAPI KnobPastCount(uint32_t code, uint32_t knob, ELEMKNOBPROPINFO* out) {
  return QVGetElemTypeKnobProperties(code, knob > 0 ? 0 : knob, out);
}
uint32_t ELEMAPI OutOfAreaLoad(ElemHandle e, void* dsp, void* placement) {
  const uint32_t r = QVLoadElement(e, dsp, placement);
  uint32_t w = 0;
  if (dsp) DspCommandBlock(dsp, kDspWrite, 1, 2, 1, &w);
  return r;
}
uint32_t ELEMAPI IgnoresDspFailure(ElemHandle e, void* dsp, void* placement) {
  QVLoadElement(e, dsp, placement);
  return 1;
}
uint32_t ELEMAPI OverlongStateGet(ElemHandle e, uint32_t code, void* inOut) {
  const uint32_t r = QVGetElement(e, code, inOut);
  if (code == kGetState && r) static_cast<uint8_t*>(inOut)[*static_cast<uint32_t*>(inOut)] = 0;
  return r;
}
uint32_t ELEMAPI AcceptsAnyState(ElemHandle e, uint32_t code, uintptr_t value) {
  const uint32_t r = QVSetElement(e, code, value);
  return code == kSetState ? 1 : r;
}

// Elements by handle, for the breach that must notify its host.
std::map<ElemHandle, void*>& Contexts() {
  static std::map<ElemHandle, void*> m;
  return m;
}
ElemHandle ELEMAPI RememberingCreate(uint32_t code, void* host) {
  ElemHandle e = QVCreateElement(code, host);
  if (e) Contexts()[e] = host;
  return e;
}
uint32_t ELEMAPI EchoingSet(ElemHandle e, uint32_t code, uintptr_t value) {
  const uint32_t r = QVSetElement(e, code, value);
  if (code == kSetKnob && r) RecordingNotify(Contexts()[e], kNotifyKnob, value);
  return r;
}
uint32_t ELEMAPI IgnoresKnobs(ElemHandle e, uint32_t code, uintptr_t value) {
  return code == kSetKnob ? 1 : QVSetElement(e, code, value);
}
uint32_t ELEMAPI DeleteSaysNo(ElemHandle e) {
  QVDeleteElement(e);
  return 0;
}

const Breach kBreaches[] = {
    {"version", [](ElemModuleCalls& c) { c.Init = BadVersionInit; }, "interface version 104"},
    {"endless", [](ElemModuleCalls& c) { c.GetElemType = EndlessTypes; }, "never ends"},
    {"unterminated", [](ElemModuleCalls& c) { c.GetElemTypeProperties = UnterminatedType; }, "no terminator"},
    {"knob past count", [](ElemModuleCalls& c) { c.GetElemTypeKnobProperties = KnobPastCount; }, "past the count"},
    {"out of area", [](ElemModuleCalls& c) { c.LoadElement = OutOfAreaLoad; }, "refused: op 5 area 1 offset 0x2"},
    {"ignores failure", [](ElemModuleCalls& c) { c.LoadElement = IgnoresDspFailure; }, "every DSP call failed"},
    {"overlong get", [](ElemModuleCalls& c) { c.GetElement = OverlongStateGet; }, "past the state size"},
    {"any state", [](ElemModuleCalls& c) { c.SetElement = AcceptsAnyState; }, "longer than the state size"},
    {"echo", [](ElemModuleCalls& c) { c.CreateElement = RememberingCreate; c.SetElement = EchoingSet; },
     "answered with notify code 2"},
    {"ignores knobs", [](ElemModuleCalls& c) { c.SetElement = IgnoresKnobs; }, "reads back"},
    {"delete", [](ElemModuleCalls& c) { c.DeleteElement = DeleteSaysNo; }, "delete answered 0"},
    {"missing", [](ElemModuleCalls& c) { c.GetElement = nullptr; }, "lacks one of the ten"},
};

}  // namespace

class ElemContractBreach : public ::testing::TestWithParam<Breach> {};

TEST_P(ElemContractBreach, IsReported) {
  SimDsp dsp;
  ElemModuleCalls c = TestModule();
  GetParam().apply(c);
  const ElemContractReport r = RunElemContract(c, dsp, {});
  EXPECT_NE(Joined(r.Faults).find(GetParam().fault), std::string::npos) << Joined(r.Faults);
}

INSTANTIATE_TEST_SUITE_P(Breaches, ElemContractBreach, ::testing::ValuesIn(kBreaches),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& ch : n)
                             if (ch == ' ') ch = '_';
                           return n;
                         });
