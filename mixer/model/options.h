// Program options read by the model's services: on/off words holding 0 or 1.
#pragma once

#include <cstdint>

// The arrange view scrolls continuously with the current position.
extern int32_t AutoScrollArrWnd;
// Every key goes to the active mixer element window instead of the
// program's accelerators.
extern int32_t AllKeyInpToMixElem;
// Command-line switch -O: a Take's sample-transfer handle stays open between
// transfers instead of being opened and closed for each.
extern int32_t KeepTakesOpen;
