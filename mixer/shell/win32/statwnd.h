// What the status bar's window and its update functions share.
#pragma once

#include "mixer/shell/win32/controls.h"
#include "mixer/shell/wndlogic.h"

// Descriptors of fields 0..5 and the layout of the bar.
extern SelDat9Desc statusFields[6];
extern StatusLayoutRec statusLayout;
// Gives the descriptors their starting values once.
void InitStatusFields();
