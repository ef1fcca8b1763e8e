// The automation log library is not linked into the program yet.
#include "logs/services.h"

void QVMXA_Init() {}
void QVMXA_SetFadeResolTime(uint32_t) {}
void QVMXA_SetSampleRate(uint32_t) {}
