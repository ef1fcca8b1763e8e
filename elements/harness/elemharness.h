// The contract harness of element modules: walks any module through the
// interface in the order a host uses it (init, types and knobs, create,
// windows, load, set and get, delete) against the simulated DSP and a
// recording notify callback, and reports every place where the module
// breaks the contract. Element modules are tested through it; the module
// is reached through its ten entry points only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "elements/elemif.h"
#include "sim/dsp/simdsp.h"

struct ElemModuleCalls {
  QVInitElemModuleFn Init = nullptr;
  QVGetElemTypeFn GetElemType = nullptr;
  QVGetElemTypePropertiesFn GetElemTypeProperties = nullptr;
  QVGetElemTypeKnobPropertiesFn GetElemTypeKnobProperties = nullptr;
  QVCreateElementFn CreateElement = nullptr;
  QVCreateElementWindowsFn CreateElementWindows = nullptr;
  QVLoadElementFn LoadElement = nullptr;
  QVSetElementFn SetElement = nullptr;
  QVGetElementFn GetElement = nullptr;
  QVDeleteElementFn DeleteElement = nullptr;
};

// The entry points in the order of kElemExportNames, for binding by name.
void** ElemCallSlot(ElemModuleCalls* calls, int index);
// 1 when all ten are bound.
int ElemCallsComplete(const ElemModuleCalls& calls);

// One notification as the host received it; for code 2 the knob record is
// copied while the pointer is valid.
struct ElemNote {
  void* HostContext;
  uint32_t Code;
  uintptr_t Value;
  ELEMKNOBVALUE Knob;
};

// The recording notify callback: answers as the mixer does (codes 0 to 8
// nonzero, others 0) and keeps every call.
int32_t ELEMAPI RecordingNotify(void* hostContext, uint32_t code, uintptr_t value);
std::vector<ElemNote>& RecordedNotes();

struct ElemContractOptions {
  // Makes the parent of the little windows; empty: windows are skipped.
  std::function<WndHandle()> MakeParent;
  // Destroys a little window (the host does this before deleting).
  std::function<void(WndHandle)> DestroyWindow;
  uint32_t SampleRate = 48000;
  // Knob values a module may store limited further than the knob's raw
  // range (a bandwidth raised to its minimum, say): only the range is then
  // checked on read-back.
  bool KnobsMayClamp = false;
};

struct ElemContractReport {
  ELEMMODINFO Info{};
  std::vector<uint32_t> Codes;  // offered type codes
  std::vector<std::string> Faults;
  uint32_t DspCalls = 0;  // calls the module made, for a sanity check by the caller
  uint32_t WindowsMade = 0;
};

ElemContractReport RunElemContract(const ElemModuleCalls& calls, SimDsp& dsp, const ElemContractOptions& options);
