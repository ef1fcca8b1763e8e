#include "options.h"

int32_t AutoScrollArrWnd = 0;
int32_t AllKeyInpToMixElem = 0;
int32_t KeepTakesOpen = 0;
int32_t KeepSel = 0;
int32_t EditOverlapMode = 40892;
int32_t EditMultiOutMode = 40896;
int32_t Deglitch = 1;
int32_t AdoptVtrkOutput = 0;
