// The log libraries are not linked into the program yet.
#include "logs/services.h"

void QVMIV_PrepPlayBufs(int32_t) {}
void QVMXA_SetTouchTimeout(uint32_t) {}
void QVMXA_SetMatchTime(uint32_t) {}
