#include "elements/testmod/testmod.h"

// The portable build has no windows.
WndHandle TestElemLittleWindow(ElemHandle, WndHandle, const ElemPoint&, int32_t, int32_t) { return nullptr; }
