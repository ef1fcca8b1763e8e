// The automation log library is not linked into the program yet.
#include "logs/services.h"

void QVMXA_SetTouchTimeout(uint32_t) {}
void QVMXA_SetMatchTime(uint32_t) {}
