// What the arrange window's tests share: the window classes, a fresh
// arrangement with its stores, Parts and Takes made in place, and a memory
// bitmap that the window's drawing paints.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "mixer/arrange/arrview.h"
#include "mixer/arrange/arrzoom.h"
#include "mixer/arrange/win32/arrpaint.h"
#include "mixer/arrange/win32/arrwnd.h"
#include "mixer/model/arr.h"
#include "mixer/model/arrheap.h"
#include "mixer/model/marker.h"
#include "mixer/model/settings.h"
#include "mixer/model/take.h"
#include "mixer/model/trkcolors.h"
#include "mixer/model/win32/draw.h"
#include "mixer/shell/win32/shell.h"
#include "tests/win32/shot.h"

namespace arrwnd_test {

inline void RegisterArrangeClasses() {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  RegisterCtl9Classes(inst);
  RegisterArrWnd(inst);
  RegisterArrColWnd(inst);
  RegisterArrChildWnd(inst);
}

// A new folder under the temporary folder, named after `prefix`, the
// process and a serial number.
inline std::filesystem::path NewTestFolder(const char* prefix) {
  static int serial = 0;
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() /
      (std::string(prefix) + "_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++));
  std::filesystem::create_directories(dir);
  return dir;
}

// An empty arrangement and marker list, default settings at 44.1 kHz,
// locators cleared, the Take store open, the track colours read.
inline void OpenArrangement() {
  ASSERT_EQ(TakeStoreOpen(), 1);
  CurArr = ArrNew(nullptr);
  CurMrkList = MrkListNew(nullptr);
  Settings() = ProjectSettings();
  Settings().SampleRate = 44100;
  Locs() = Locators();
  ReadTrkColors();
  ReadCautomTrkColors();
  ReadMidevTrkColors();
}

inline void CloseArrangement() {
  ArrHeap.Free(CurArr);
  MrkHeap.Free(CurMrkList);
  CurArr = nullptr;
  CurMrkList = nullptr;
  TakeStoreClose();
}

// The view at 512 samples per pixel with rows `rowHeight` high, over a Part
// area w x h, the ruler shown or not.
inline void ResetView(int32_t rowHeight, int ruler, int w, int h) {
  ArrViewRec& v = ArrView();
  v = ArrViewRec();
  v.Hzoom = 512;
  v.Vzoom = rowHeight;
  ArrSetTopCalc(v, ruler);
  ArrResizeCalc(v, w, h);
}

// A Take of `samples` 16-bit samples of `kind` known to the store only (no
// file), named `prefix` with a serial number.
// The arrange frame opened for a hidden owner window (*owner receives it),
// sized so that the Part area is about w x h pixels; null when it failed.
inline HWND OpenArrangeFrame(HWND* owner, int w, int h) {
  *owner = CreateWindowExA(0, "STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
  HWND frame = ArrCreateWnd(*owner);
  if (frame == nullptr) return nullptr;
  RECT r = {0, 0, w + kArrColumnWidth + 16, h + 16};
  AdjustWindowRect(&r, WS_CAPTION | WS_THICKFRAME | WS_SYSMENU, FALSE);
  SetWindowPos(frame, nullptr, 20, 20, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
  UpdateWindow(frame);
  return frame;
}

inline uint32_t MakeTake(const char* prefix, uint32_t samples, uint32_t kind) {
  static int serial = 0;
  TakeImage image{};
  std::snprintf(image.path, sizeof image.path, "C:\\Takes\\%s%d.%s", prefix, ++serial, kind == 3 ? "ATAK" : "CTAK");
  image.kind = kind;
  image.word4 = 2;
  image.word1 = samples;
  image.dataEnd = samples * 2;
  TakeRec* take = TakeAlloc(image);
  EXPECT_NE(take, nullptr);
  return TakeRef(take);
}

// Inserts a Part of `take` at full gain with no links; its slot.
inline uint32_t AddPart(uint32_t track, int32_t start, int32_t length, uint32_t take, uint16_t kind, int32_t channel,
                        const char* name) {
  PartRec p{};
  p.Start = start;
  std::snprintf(p.Name, sizeof p.Name, "%s", name);
  p.PlayChannel = channel;
  p.GainStart = p.GainEnd = 32768;
  p.Take = take;
  p.Length = length;
  p.TakeKind = kind;
  p.OverlapLink = p.XfadeInPartner = p.XfadeOutPartner = kArrNoLink;
  p.XfadeInWindow[1] = p.XfadeOutWindow[1] = 255;
  p.Next = kArrNoSlot;
  uint32_t slot = 0, error = 0;
  EXPECT_EQ(ArrInsertPart(&CurArr, p, &slot, track, &error), 1);
  return slot;
}

// A 32-bit top-down memory bitmap w x h.
struct Bitmap {
  int w, h;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bm = nullptr;
  HGDIOBJ old = nullptr;
  void* bits = nullptr;
  Bitmap(int width, int height) : w(width), h(height) {
    bm = CreateDib32(dc, w, h, &bits);
    old = SelectObject(dc, bm);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;
  ~Bitmap() {
    SelectObject(dc, old);
    DeleteObject(bm);
    DeleteDC(dc);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
  // Pixels of colour c in row y over [x0, x1).
  int Count(int x0, int x1, int y, COLORREF c) const {
    int n = 0;
    for (int x = x0; x < x1; ++x) n += At(x, y) == c;
    return n;
  }
  // Saved as a BMP file when screenshots are asked for (see tests/win32/shot.h).
  void Save(const char* name) const {
    const std::string path = hrl_test::ShotPath(name);
    if (path.empty()) return;
    GdiFlush();
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = w;
    header.biHeight = h;  // bottom-up in the file: rows reversed below
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    const size_t row = static_cast<size_t>(w) * 4;
    std::vector<uint8_t> rows(row * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      std::memcpy(&rows[static_cast<size_t>(h - 1 - y) * row], static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * row,
                  row);
    hrl_test::WriteBmp(path, header, rows.data(), rows.size());
  }
};

}  // namespace arrwnd_test
