// The ten entry points every element module exports (with their decorated
// names, through the module's definition file). A module defines them; the
// host binds them by name through the pointer types of elemif.h.
#pragma once

#include "elements/elemif.h"

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
