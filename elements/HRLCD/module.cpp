// The module's ten entry points over the dynamics element.
#include "elements/HRLCD/hrlcdapi.h"

using namespace hrlcd;

namespace {
// The handle is the element object; each call goes to its slot.
CElem* Obj(ElemHandle element) { return static_cast<CElem*>(element); }
}  // namespace

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
  if (t < 0) return nullptr;
  Element* e = Create(t, hostContext);
  return e ? static_cast<CElem*>(e->Object) : nullptr;
}

WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width) {
  return element && position ? Obj(element)->CreateWindows(parent, *position, width) : nullptr;
}

uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void*) {
  return element ? Obj(element)->Load(dspHandle) : 0;
}

uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value) {
  return element ? Obj(element)->Set(code, value) : 0;
}

uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* out) {
  return element && out ? Obj(element)->Get(code, out) : 0;
}

uint32_t ELEMAPI QVDeleteElement(ElemHandle element) {
  delete Obj(element);
  return 1;
}

}  // extern "C"
