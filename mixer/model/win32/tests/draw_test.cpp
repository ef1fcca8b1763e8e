// Drawing helpers on a memory DC, read back pixel by pixel; colours and fonts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "mixer/model/win32/draw.h"
#include "mixer/model/win32/tests/canvas.h"

namespace {

TEST_F(Canvas, Draw3dFrameIsLightTopLeftAndDarkBottomRight) {
  Draw3dFrame(dc_, kRed, kBlue, 2, 2, 10, 10);
  EXPECT_EQ(At(5, 2), kRed);    // top
  EXPECT_EQ(At(2, 5), kRed);    // left
  EXPECT_EQ(At(5, 10), kBlue);  // bottom
  EXPECT_EQ(At(10, 5), kBlue);  // right
  EXPECT_EQ(At(5, 5), kWhite);  // inside untouched
}

TEST_F(Canvas, Draw3dFrame4GivesEachSideItsColour) {
  const COLORREF colours[4] = {kRed, kGreen, kBlue, RGB(0, 0, 0)};
  Draw3dFrame4(dc_, colours, 2, 2, 12, 12);
  EXPECT_EQ(At(2, 6), kRed);
  EXPECT_EQ(At(6, 2), kGreen);
  EXPECT_EQ(At(12, 6), kBlue);
  EXPECT_EQ(At(6, 12), RGB(0, 0, 0));
}

TEST_F(Canvas, DrawDoubleLinePutsTheSecondColourOnePixelRight) {
  DrawDoubleLine(dc_, kRed, kBlue, 5, 1, 5, 20);
  EXPECT_EQ(At(5, 10), kRed);
  EXPECT_EQ(At(6, 10), kBlue);
  EXPECT_EQ(At(7, 10), kWhite);
}

TEST_F(Canvas, DrawArrowDownNarrowsFromSevenPixelsToOne) {
  DrawArrowDown(dc_, kRed, 20, 10);
  const int widths[4] = {7, 5, 3, 1};
  for (int row = 0; row < 4; ++row) {
    const int y = 9 + row, half = widths[row] / 2;
    EXPECT_EQ(At(20 - half, y), kRed) << "row " << row;
    EXPECT_EQ(At(20 + half, y), kRed) << "row " << row;
    EXPECT_EQ(At(20 - half - 1, y), kWhite) << "row " << row;
    EXPECT_EQ(At(20 + half + 1, y), kWhite) << "row " << row;
  }
  EXPECT_EQ(At(20, 13), kWhite);
  EXPECT_EQ(At(20, 8), kWhite);
}

TEST_F(Canvas, ClampedMoveToKeepsCoordinatesInRange) {
  POINT p;
  ClampedMoveTo(dc_, 100000, -100000);
  GetCurrentPositionEx(dc_, &p);
  EXPECT_EQ(p.x, 23767);
  EXPECT_EQ(p.y, -23767);
  ClampedMoveTo(dc_, 0, 5);
  ClampedLineTo(dc_, 1 << 30, 5);
  GetCurrentPositionEx(dc_, &p);
  EXPECT_EQ(p.x, 23767);
  EXPECT_NE(At(40, 5), kWhite);
}

TEST_F(Canvas, DrawTextOpaqueFillsOnlyItsRectangle) {
  RECT rc = {10, 4, 50, 24};
  DrawTextOpaque(dc_, rc, TA_CENTER, kWhite, kBlue, nullptr, "A");
  EXPECT_EQ(At(11, 22), kBlue);
  EXPECT_EQ(At(49, 5), kBlue);
  EXPECT_EQ(At(9, 10), kWhite);
  EXPECT_EQ(At(50, 10), kWhite);
}

TEST_F(Canvas, DrawTextBitmapBlitsWhiteOnBlack) {
  RECT rc = {8, 4, 56, 28};
  DrawTextBitmap(dc_, "HRL", -1, rc, DT_LEFT | DT_TOP | DT_SINGLELINE, SRCCOPY);
  int white = 0, black = 0;
  for (int y = rc.top; y < rc.bottom; ++y)
    for (int x = rc.left; x < rc.right; ++x) (At(x, y) == kWhite ? white : black) += 1;
  EXPECT_GT(white, 10);  // the letters
  EXPECT_GT(black, white);
  EXPECT_EQ(At(7, 10), kWhite);  // outside: untouched
  EXPECT_EQ(At(56, 10), kWhite);
}

TEST(ColorScale, ScalesEachChannelAndClamps) {
  struct Case {
    COLORREF in;
    int num, den, add;
    COLORREF out;
  } cases[] = {
      {RGB(100, 200, 50), 1, 2, 0, RGB(50, 100, 25)},
      {RGB(100, 200, 50), 2, 1, 0, RGB(200, 255, 100)},  // above 255
      {RGB(10, 20, 30), 1, 1, 5, RGB(15, 25, 35)},
      {RGB(10, 20, 30), 1, 1, -25, RGB(0, 0, 5)},          // below 0
      {RGB(3, 5, 7), 1, 2, 0, RGB(2, 3, 4)},               // halves round up
      {RGB(200, 100, 50), 1, 0, 10, RGB(9, 9, 9)},         // zero divisor: -1 + add
      {RGB(255, 255, 255), 0x7FFFFFFF, 1, 0, RGB(0, 0, 0)},  // overflow gives -1
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColorScale(c.in, c.num, c.den, c.add), c.out) << c.num << "/" << c.den << "+" << c.add;
}

TEST(CreateAppFont, MakesTheTablesFontsAndNoOther) {
  struct Case {
    int index, height, weight;
    BYTE pitchAndFamily;
    const char* face;
  } cases[] = {
      {0, 8, 200, 0x22, "Small"}, {2, 10, 200, 0x22, "Modern"}, {6, 14, 700, 0x20, "Helv"},
      {7, 14, 400, 0x31, "Tms Rmn"}, {8, 15, 400, 0x22, "Arial"},
  };
  for (const Case& c : cases) {
    HFONT font = CreateAppFont(c.index);
    ASSERT_NE(font, nullptr) << c.index;
    LOGFONTA lf;
    ASSERT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, c.height) << c.index;
    EXPECT_EQ(lf.lfWeight, c.weight) << c.index;
    EXPECT_EQ(lf.lfPitchAndFamily, c.pitchAndFamily) << c.index;
    EXPECT_EQ(lf.lfCharSet, ANSI_CHARSET) << c.index;
    EXPECT_EQ(lf.lfQuality, PROOF_QUALITY) << c.index;
    EXPECT_STREQ(lf.lfFaceName, c.face) << c.index;
    DeleteObject(font);
  }
  EXPECT_EQ(CreateAppFont(-1), nullptr);
  EXPECT_EQ(CreateAppFont(9), nullptr);
}

}  // namespace
