// The module's ten entry points (exported with their decorated names by
// Qvmxel1.def) and what its Windows layer adds to them.
#pragma once

#include "elements/Qvmxel1/qvmxel1.h"
#include "elements/elemexports.h"

// Registers the element window classes (once; nothing without Windows).
void ModuleRegisterWindows();
// The little window of an element; null without Windows.
WndHandle ModuleCreateLittle(Element* e, WndHandle parent, const ElemPoint& at, int32_t width, int32_t height);
// Live elements, for tests of the module's list.
int ModuleLiveCount();
// The centred position of a big window of that client size.
void ModuleCentred(int32_t clientWidth, int32_t clientHeight, int32_t* x, int32_t* y);
