// A small element module built for the contract harness: a gain insert, a
// stereo meter output and one hidden type, each using the parts of the
// interface that the real modules use (program download, running writes,
// clears of a two-bank area, meter reads, state restore, notifications).
#pragma once

#include "elements/elemif.h"

enum : uint32_t {
  kTestGainCode = 5000,
  kTestMeterCode = 5001,
  kTestHiddenCode = 5002,
};

extern "C" {
uint32_t ELEMAPI QVInitElemModule(ElemDspCallback dsp, ElemNotifyCallback notify, ELEMMODINFO* info);
uint32_t ELEMAPI QVGetElemType(uint32_t index);
uint32_t ELEMAPI QVGetElemTypeProperties(uint32_t typeCode, ELEMTYPEPROPINFO* out);
uint32_t ELEMAPI QVGetElemTypeKnobProperties(uint32_t typeCode, uint32_t knobIndex, ELEMKNOBPROPINFO* out);
ElemHandle ELEMAPI QVCreateElement(uint32_t typeCode, void* hostContext);
WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width);
uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void* placement);
uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value);
uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* inOut);
uint32_t ELEMAPI QVDeleteElement(ElemHandle element);
}

// The little window of an element (win32/testmod_win.cpp; none in the
// portable build). Registers its class on first use.
WndHandle TestElemLittleWindow(ElemHandle element, WndHandle parent, const ElemPoint& at, int32_t width,
                               int32_t height);
// Number of live elements, for tests of the module's own list.
int TestElemLiveCount();
