// The log libraries are not linked into the program yet.
#include "logs/services.h"

void QVMXA_Init() {}
void QVMIV_Init() {}
void QVMIV_Quit() {}
void QVMXA_SetFadeResolTime(uint32_t) {}
void QVMXA_SetSampleRate(uint32_t) {}
void QVMIV_SetSampleRate(uint32_t) {}
void QVMIV_SetTimeCodeOffset(uint32_t) {}
