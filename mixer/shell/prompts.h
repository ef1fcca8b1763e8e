// The command dispatcher's number prompts: the text each prompt starts with
// and the value its entry gives. Entries are clamped to their range, never
// refused; any text is accepted.
#pragma once

#include <cstdint>

// Varispeed in 1/100 percent shown as "%02d.%02d", "-%02d.%02d" when
// negative (-50 shows "-00.50").
void VarispeedPromptText(int32_t value, char* out, int size);
// The entry at two decimals, kept within -1000..1000.
int32_t VarispeedFromEntry(const char* text);

// The undo levels the user types (1..99) are stored one higher (2..100).
int32_t UndoLevelsFromEntry(const char* text);
// Minutes between automatic saves, 0..60.
int32_t AutoSaveFromEntry(const char* text);
// The native elements' sample buffer: cut toward zero to a multiple of 64,
// kept within 64..8192.
int32_t SmpBufSizeFromEntry(const char* text);
// The bar count for the tempo from the locators: at least 1.
int32_t BarsFromEntry(const char* text);

// The tempo in 1/100 BPM that makes `bars` bars of the meter num/den fill
// the samples from left to right at `rate` Hz, kept within 3000..24000.
// Needs left < right.
int32_t TempoFromLocators(int32_t bars, uint32_t num, uint32_t den, uint32_t rate, int32_t left,
                          int32_t right);

// The Audio tracks a record-ready command sets from the typed numbers: with
// no typed last track 1..192; with a last track n (1..192) from the typed
// first track when it lies in 1..n-1, else n alone, up to n. False when the
// typed number is above 192 (nothing is set).
bool RecReadyRange(int32_t typedFirst, int32_t typedLast, int32_t* first, int32_t* last);
