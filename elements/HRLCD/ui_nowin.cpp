// The module without windows (the portable build).
#include "elements/HRLCD/hrlcdapi.h"

namespace hrlcd {
WndHandle UiCreateLittle(Element*, WndHandle, const ElemPoint&, int32_t) { return nullptr; }
}  // namespace hrlcd

namespace hrlcd {
void UiShowBig(Element*) {}
void UiRefresh(Element*) {}
}  // namespace hrlcd
