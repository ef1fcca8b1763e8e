// The eight fonts of the element windows, made once at attach and deleted
// at detach (win32/elemfonts_win.cpp).
#pragma once

#include <cstdint>

struct ElemFontDesc {
  int32_t Height;
  int32_t Width;
  int32_t Weight;
  uint8_t PitchAndFamily;
  const char* Face;
};

constexpr int kElemFontCount = 8;
// Every font is drawn with the same quality (PROOF_QUALITY).
constexpr uint8_t kElemFontQuality = 2;

inline constexpr ElemFontDesc kElemFonts[kElemFontCount] = {
    {8, 4, 200, 0x22, "Small"},       {10, 4, 200, 0x22, "Small"},
    {10, 5, 200, 0x22, "Modern"},     {11, 5, 400, 0x22, "Modern"},
    {14, 6, 400, 0x20, "Helv"},       {12, 0, 400, 0x20, "Small Fonts"},
    {14, 6, 700, 0x20, "Helv"},       {14, 7, 400, 0x31, "Tms Rmn"},
};
