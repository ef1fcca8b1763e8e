#include "options.h"

int32_t AutoScrollArrWnd = 0;
int32_t AllKeyInpToMixElem = 0;
int32_t KeepTakesOpen = 0;
