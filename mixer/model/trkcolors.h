// Track colour tables of the main ini file (section "MainWnd"), COLORREF
// values 0x00BBGGRR: one colour per play channel of each track kind.
#pragma once

#include <cstdint>

// Colours per ini key, written as 32 decimal numbers separated by blanks.
constexpr int kTrkColorsPerKey = 32;
constexpr int kTrkColorCount = 192;        // "TrkColors1".."TrkColors6", Audio
constexpr int kCautomTrkColorCount = 128;  // "CautomTrkColors1".."4", Automation
constexpr int kMidevTrkColorCount = 128;   // "MidevTrkColors1".."4", Midi

extern uint32_t TrkColors[kTrkColorCount];
extern uint32_t CautomTrkColors[kCautomTrkColorCount];
extern uint32_t MidevTrkColors[kMidevTrkColorCount];

// Each reader fills its table from the main ini file; a key that is missing
// or holds fewer than 32 numbers keeps the generated defaults for the rest.
void ReadTrkColors();
void WriteTrkColors();
void ReadCautomTrkColors();
void WriteCautomTrkColors();
void ReadMidevTrkColors();
void WriteMidevTrkColors();

// Fills `count` colours walking round the hue circle with red, green and
// blue weights 0..256; each channel is bottom + (top - bottom) * weight / 256,
// within 0..255. The coarse walk starts at red and turns in 32 steps; the
// fine walk (fine != 0) starts at green and turns in 128 steps.
void ColorRamp(int32_t top, int32_t fine, int32_t count, uint32_t* table, int32_t bottom);
