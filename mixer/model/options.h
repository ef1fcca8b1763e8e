// Program options read by the model's services: on/off words holding 0 or 1.
#pragma once

#include <cstdint>

// The arrange view scrolls continuously with the current position.
extern int32_t AutoScrollArrWnd;
// Every key goes to the active mixer element window instead of the
// program's accelerators.
extern int32_t AllKeyInpToMixElem;
