// The module without windows (the portable build): no classes, no windows,
// memory from the C heap, the skin's default dot colours.
#include <cstdlib>

#include "elements/Qvmxel1b/span.h"

namespace span {
void UiRegister() {}
WndHandle UiCreateLittle(Element*, WndHandle, const ElemPoint&, int32_t) { return nullptr; }
void UiCentred(int32_t, int32_t, int32_t* x, int32_t* y) { *x = *y = 0; }
void Ui(Element*, UiEvent) {}
int UiMetersShown(Element*) { return 0; }
uint32_t UiSkinDotColor(int dot) { return dot == 1 ? 0xFFFFFF : 0x0000FF; }
void* ModuleAlloc(size_t size) { return std::calloc(1, size); }
void ModuleFree(void* block) { std::free(block); }
}  // namespace span
