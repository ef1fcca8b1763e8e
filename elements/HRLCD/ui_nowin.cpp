// The module without windows (the portable build).
#include "elements/HRLCD/hrlcdapi.h"

namespace hrlcd {
WndHandle UiCreateLittle(Element*, WndHandle, const ElemPoint&, int32_t) { return nullptr; }
}  // namespace hrlcd

namespace hrlcd {
void UiShowBig(Element*) {}
void UiRefresh(Element*) {}
void UiDelete(Element*) {}
void UiMoveBig(Element*) {}
bool UiOpenBig(Element*) { return false; }
void UiLoadPreset(Element*, WndHandle) {}
void UiSavePreset(Element*, WndHandle) {}
void UiCentred(int32_t* x, int32_t* y) { *x = *y = 0; }
}  // namespace hrlcd
