// The module's ten entry points (exported with their decorated names by
// Qvmxel1.def) and what its Windows layer adds to them.
#pragma once

#include "elements/Qvmxel1/qvmxel1.h"

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

// Registers the element window classes (once; nothing without Windows).
void ModuleRegisterWindows();
// The little window of an element; null without Windows.
WndHandle ModuleCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width, int32_t height);
// Live elements, for tests of the module's list.
int ModuleLiveCount();
// The centred position of a big window of that client size.
void ModuleCentred(int32_t clientWidth, int32_t clientHeight, int32_t* x, int32_t* y);
