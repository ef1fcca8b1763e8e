// Pictures of windows as BMP files, for a look at what a Windows test drew.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace hrl_test {

// Where a window's picture is taken from.
enum class ShotFrom {
  kScreen,  // the screen under the window's rectangle, as it shows
  kWindow,  // the window's own DC, frame included
  kClient,  // the window's client area
};

// Redraws the window and writes its picture to `path` as a 24-bit
// bottom-up BMP. False when the window has no area or the file could not
// be written.
bool SaveWindowShot(HWND wnd, const std::string& path, ShotFrom from = ShotFrom::kScreen);

// `<folder>\<name>.bmp` with the folder from the environment variable `var`,
// or "" when it is unset.
std::string ShotPath(const std::string& name, const char* var = "HRL_SHOT");

// Writes a BMP file: the file header, `info` and `size` bytes of bits.
bool WriteBmp(const std::string& path, const BITMAPINFOHEADER& info, const void* bits, size_t size);

}  // namespace hrl_test
