// The module's ten entry points over the dynamics element.
#include "elements/HRLCD/hrlcdapi.h"

using namespace hrlcd;

extern "C" {

uint32_t ELEMAPI QVInitElemModule(ElemDspCallback dsp, ElemNotifyCallback notify, ELEMMODINFO* info) {
  if (dsp) ModuleHooks().Dsp = dsp;
  if (notify) ModuleHooks().Notify = notify;
  if (info) *info = ModuleInfo();
  return 1;
}

uint32_t ELEMAPI QVGetElemType(uint32_t index) { return index < kTypes ? TypeCode(int(index)) : 0; }

uint32_t ELEMAPI QVGetElemTypeProperties(uint32_t code, ELEMTYPEPROPINFO* out) {
  const int t = TypeOfCode(code);
  if (t < 0 || !out) return 0;
  *out = TypeProps(t);
  return 1;
}

uint32_t ELEMAPI QVGetElemTypeKnobProperties(uint32_t code, uint32_t knob, ELEMKNOBPROPINFO* out) {
  const int t = TypeOfCode(code);
  if (t < 0 || !out || knob >= TypeProps(t).KnobCount) return 0;
  *out = kKnobTable[knob];
  return 1;
}

ElemHandle ELEMAPI QVCreateElement(uint32_t code, void* hostContext) {
  const int t = TypeOfCode(code);
  return t < 0 ? nullptr : Create(t, hostContext);
}

WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width) {
  return element && position ? UiCreateLittle(static_cast<Element*>(element), parent, *position, width) : nullptr;
}

uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void*) {
  return element ? Load(static_cast<Element*>(element), dspHandle) : 0;
}

uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value) {
  return element ? Set(static_cast<Element*>(element), code, value) : 0;
}

uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* out) {
  return element && out ? Get(static_cast<Element*>(element), code, out) : 0;
}

uint32_t ELEMAPI QVDeleteElement(ElemHandle element) {
  if (element) Destroy(static_cast<Element*>(element));
  return 1;
}

}  // extern "C"
