// The module without windows (the portable build): no classes, no windows,
// memory from the C heap.
#include <cstdlib>

#include "elements/Qvmxel1/qvmxel1api.h"

void ModuleRegisterWindows() {}
WndHandle ModuleCreateLittle(Element*, WndHandle, const ElemPoint&, int32_t, int32_t) { return nullptr; }
void ModuleCentred(int32_t, int32_t, int32_t* x, int32_t* y) { *x = *y = 0; }
void ElemUi(Element*, UiEvent) {}
int ElemUiMetersShown(Element*) { return 0; }
void* ModuleAlloc(size_t size) { return std::calloc(1, size); }
void ModuleFree(void* block) { std::free(block); }
