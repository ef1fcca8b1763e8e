#include "tests/win32/shot.h"

#include <cstdio>
#include <cstdlib>

namespace hrl_test {

bool WriteBmp(const std::string& path, const BITMAPINFOHEADER& info, const void* bits, size_t size) {
  BITMAPFILEHEADER fh = {};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof info;
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(size);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(&fh, sizeof fh, 1, f) == 1 && std::fwrite(&info, sizeof info, 1, f) == 1 &&
                  (size == 0 || std::fwrite(bits, size, 1, f) == 1);
  return std::fclose(f) == 0 && ok;
}

std::string ShotPath(const std::string& name, const char* var) {
  const char* dir = std::getenv(var);
  if (dir == nullptr) return "";
  return std::string(dir) + "\\" + name + ".bmp";
}

bool SaveWindowShot(HWND wnd, const std::string& path, ShotFrom from) {
  RedrawWindow(wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  RECT r;
  if (from == ShotFrom::kClient) {
    GetClientRect(wnd, &r);
  } else {
    GetWindowRect(wnd, &r);
  }
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HWND owner = from == ShotFrom::kScreen ? nullptr : wnd;
  HDC src = from == ShotFrom::kWindow ? GetWindowDC(wnd) : GetDC(owner);
  const int x = from == ShotFrom::kScreen ? r.left : 0, y = from == ShotFrom::kScreen ? r.top : 0;
  HDC mem = CreateCompatibleDC(src);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(src, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (bmp != nullptr) {
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, src, x, y, SRCCOPY);
    GdiFlush();
    const size_t size = ((static_cast<size_t>(w) * 3 + 3) & ~size_t{3}) * static_cast<size_t>(h);
    ok = WriteBmp(path, bi.bmiHeader, bits, size);
    SelectObject(mem, old);
    DeleteObject(bmp);
  }
  DeleteDC(mem);
  ReleaseDC(owner, src);
  return ok;
}

}  // namespace hrl_test
