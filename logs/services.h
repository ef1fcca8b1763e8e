// Services of the MIDI and automation log libraries, as the program calls
// them. No result of these calls is used.
#pragma once

#include <cstdint>

// Prepares the MIDI library's play buffers at a position in samples.
void QVMIV_PrepPlayBufs(int32_t position);
// Knob touch timeout and auto return (match) time, in ms.
void QVMXA_SetTouchTimeout(uint32_t ms);
void QVMXA_SetMatchTime(uint32_t ms);

// Start and end of the libraries, and the settings start-up hands them.
void QVMXA_Init();
void QVMIV_Init();
void QVMIV_Quit();
void QVMXA_SetFadeResolTime(uint32_t ms);
void QVMXA_SetSampleRate(uint32_t hz);
void QVMIV_SetSampleRate(uint32_t hz);
void QVMIV_SetTimeCodeOffset(uint32_t samples);
