// The ten entry points: type and knob tables answered from the constant
// rows, elements created, loaded, set, read and deleted by their family.
#include <cstring>

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/Qvmxel1/qvmxel1api.h"

namespace {

// Until the host gives its callbacks: no DSP, notifications ignored.
int32_t ELEMAPI NoDsp(void*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t*) { return kDspNoResource; }
int32_t ELEMAPI NoNotify(void*, uint32_t, uintptr_t) { return 0; }

ElemList g_live;

Element* Live(ElemHandle h) {
  return h && ElemListHas(&g_live, static_cast<ElemLink*>(h)) ? static_cast<Element*>(h) : nullptr;
}

}  // namespace

ModuleHooks& Hooks() {
  static ModuleHooks hooks{NoDsp, NoNotify};
  return hooks;
}

int32_t Dsp(Element* e, uint32_t op, uint32_t area, uint32_t offset, uint32_t count, uint32_t* words) {
  return e->DspHandle ? Hooks().Dsp(e->DspHandle, op, area, offset, count, words) : kDspNoResource;
}

int32_t Notify(Element* e, uint32_t code, uintptr_t value) { return Hooks().Notify(e->HostContext, code, value); }

void ReportKnob(Element* e, uint32_t k) {
  ELEMKNOBVALUE kv{k, KnobValue(e, k)};
  Notify(e, kNotifyKnob, reinterpret_cast<uintptr_t>(&kv));
}

void ReportAllKnobs(Element* e) {
  uint32_t n = 0;
  FamilyKnobs(e->Fam, &n);
  for (uint32_t k = 0; k < n; ++k) ReportKnob(e, k);
}

int ModuleLiveCount() {
  int n = 0;
  for (ElemLink* l = g_live.Head; l; l = l->Next) ++n;
  return n;
}

extern "C" {

uint32_t ELEMAPI QVInitElemModule(ElemDspCallback dsp, ElemNotifyCallback notify, ELEMMODINFO* info) {
  Hooks().Dsp = dsp ? dsp : NoDsp;
  Hooks().Notify = notify ? notify : NoNotify;
  ModuleRegisterWindows();
  if (info) *info = ModuleInfo();
  return 1;
}

uint32_t ELEMAPI QVGetElemType(uint32_t index) { return index < kTypeRows ? kTypeTable[index].Code : 0; }

uint32_t ELEMAPI QVGetElemTypeProperties(uint32_t typeCode, ELEMTYPEPROPINFO* out) {
  const int row = RowOfCode(typeCode);
  if (row < 0 || !out) return 0;
  *out = kTypeTable[row].Props;
  return 1;
}

uint32_t ELEMAPI QVGetElemTypeKnobProperties(uint32_t typeCode, uint32_t knobIndex, ELEMKNOBPROPINFO* out) {
  const int row = RowOfCode(typeCode);
  if (row < 0 || !out) return 0;
  uint32_t n = 0;
  const ELEMKNOBPROPINFO* knobs = FamilyKnobs(FamilyOfRow(row), &n);
  if (knobIndex >= n) return 0;
  *out = knobs[knobIndex];
  return 1;
}

ElemHandle ELEMAPI QVCreateElement(uint32_t typeCode, void* hostContext) {
  const int row = RowOfCode(typeCode);
  if (row < 0) return nullptr;
  Element* e = static_cast<Element*>(ModuleAlloc(sizeof(Element)));
  if (!e) return nullptr;
  e->Row = row;
  e->Fam = FamilyOfRow(row);
  // Delay compensation gets its delay in place of a host context.
  e->HostContext = e->Fam == kFamDelayComp ? nullptr : hostContext;
  ElemListAppend(&g_live, &e->Link);
  FamilyDefaults(e, reinterpret_cast<uintptr_t>(hostContext));
  return e;
}

WndHandle ELEMAPI QVCreateElementWindows(ElemHandle element, WndHandle parent, ElemPoint* position, int32_t width) {
  Element* e = Live(element);
  if (!e || !position || kTypeTable[e->Row].Props.LittleHeight == 0 || !*LittleClassOfRow(e->Row)) return nullptr;
  return ModuleCreateLittle(e, parent, *position, width, int32_t(kTypeTable[e->Row].Props.LittleHeight));
}

uint32_t ELEMAPI QVLoadElement(ElemHandle element, void* dspHandle, void* placement) {
  Element* e = Live(element);
  if (!e) return 0;
  e->DspHandle = dspHandle;
  return dspHandle ? FamilyLoad(e, placement) : 1;
}

uint32_t ELEMAPI QVSetElement(ElemHandle element, uint32_t code, uintptr_t value) {
  Element* e = Live(element);
  if (!e) return 0;
  if (code == kSetRefresh) {
    if (e->Little) ElemUi(e, kUiRefresh);
    return 1;
  }
  if (e->Fam == kFamDelayComp) return 1;
  return FamilySet(e, code, value);
}

uint32_t ELEMAPI QVGetElement(ElemHandle element, uint32_t code, void* inOut) {
  Element* e = Live(element);
  if (!e || !inOut || e->Fam == kFamDelayComp) return 0;
  return FamilyGet(e, code, inOut);
}

uint32_t ELEMAPI QVDeleteElement(ElemHandle element) {
  Element* e = Live(element);
  if (!e) return 0;
  FamilyFree(e);
  ElemListUnlink(&g_live, &e->Link);
  ModuleFree(e);
  return 1;
}

}  // extern "C"
