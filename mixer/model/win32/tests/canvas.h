// A 64 x 32 white 24-bit memory canvas with a black pen selected, for tests
// of the drawing helpers. Every helper must select the previous pen back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kLightGrey = RGB(0xC0, 0xC0, 0xC0);
constexpr COLORREF kDarkGrey = RGB(0x80, 0x80, 0x80);

class Canvas : public ::testing::Test {
 protected:
  static constexpr int kWidth = 64;
  static constexpr int kHeight = 32;

  void SetUp() override {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    oldPen_ = SelectObject(dc_, GetStockObject(BLACK_PEN));
    pen_ = GetCurrentObject(dc_, OBJ_PEN);
    Fill(kWhite);
  }
  void TearDown() override {
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), pen_) << "the previous pen was not selected back";
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  void Fill(COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_, oldPen_, pen_;
};
