// The log libraries are not linked into the program yet.
#include "logs/services.h"

void QVMXA_Init() {}
void QVMIV_Init() {}
void QVMIV_Quit() {}
void QVMXA_SetFadeResolTime(uint32_t) {}
